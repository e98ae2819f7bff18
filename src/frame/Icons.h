#pragma once

#include <QIcon>

// The icon of the desktop's theme with that freedesktop name, or a drawn glyph where the
// desktop has none (offscreen, bare window managers).
QIcon themedIcon(const char *name, const char *glyph);
