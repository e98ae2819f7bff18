#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Where a download the engine makes is saved: in folder, under the name the server suggests
// or the address's last part. A server never chooses the folder: only the name is taken from
// what it sends. A name already taken gets " (1)", " (2)", ... before its extension.
[[nodiscard]] QString downloadPath(const QString &folder, const QUrl &url,
                                   const QString &suggestedName,
                                   const std::function<bool(const QString &)> &exists);
