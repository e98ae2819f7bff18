#include "frame/Icons.h"

#include <QPainter>
#include <QPixmap>

namespace {

// A plain drawn icon for desktops without an icon theme.
QIcon glyphIcon(const QString &glyph)
{
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x3a, 0x5a, 0x80), 1.5));
    p.setBrush(QColor(0xe8, 0xef, 0xf7));
    p.drawRoundedRect(QRectF(1.5, 1.5, 21, 21), 4, 4);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(glyph.size() > 2 ? 8 : 12);
    p.setFont(f);
    p.setPen(QColor(0x23, 0x45, 0x6b));
    p.drawText(QRect(0, 0, 24, 24), Qt::AlignCenter, glyph);
    return QIcon(pm);
}

} // namespace

QIcon themedIcon(const char *name, const char *glyph)
{
    if (QIcon::themeName().isEmpty() || !QIcon::hasThemeIcon(QStringLiteral("go-previous"))) {
        // Offscreen and bare window managers report no theme; the standard one is usually there.
        for (const char *theme : {"Adwaita", "hicolor"}) {
            QIcon::setThemeName(QString::fromLatin1(theme));
            if (QIcon::hasThemeIcon(QStringLiteral("go-previous")))
                break;
        }
    }
    const QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
    return icon.isNull() ? glyphIcon(QString::fromLatin1(glyph)) : icon;
}
