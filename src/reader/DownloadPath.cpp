#include "reader/DownloadPath.h"

#include <QDir>
#include <QFileInfo>

QString downloadPath(const QString &folder, const QUrl &url, const QString &suggestedName,
                     const std::function<bool(const QString &)> &exists)
{
    QString name = QFileInfo(suggestedName).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QFileInfo(url.path()).fileName();
    if (name.isEmpty())
        name = QStringLiteral("download");
    const QFileInfo base(name);
    const QDir dir(folder);
    QString path = dir.filePath(name);
    for (int n = 1; exists(path); ++n) {
        const QString suffix = base.completeSuffix();
        path = dir.filePath(base.baseName() + QStringLiteral(" (%1)").arg(n) +
                            (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix));
    }
    return path;
}
