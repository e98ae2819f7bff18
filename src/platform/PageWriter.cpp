#include "platform/PageWriter.h"

namespace ProgramPages {

QUrl url(const QString &relative)
{
    QUrl base;
    base.setScheme(QLatin1String(kScheme));
    base.setHost(QLatin1String(kHost));
    base.setPath(QStringLiteral("/"));
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    return base.resolved(QUrl(rel));
}

bool isProgramUrl(const QUrl &url)
{
    return url.scheme() == QLatin1String(kScheme) && url.host() == QLatin1String(kHost);
}

bool hasProgramScheme(const QUrl &url)
{
    return url.scheme().compare(QLatin1String(kScheme), Qt::CaseInsensitive) == 0;
}

bool isCommandLink(const QUrl &url)
{
    return url.scheme().compare(QLatin1String(kCommandScheme), Qt::CaseInsensitive) == 0;
}

bool isWrittenPage(const QUrl &url)
{
    return isProgramUrl(url) && url.path().startsWith(QLatin1String("/__page"));
}

} // namespace ProgramPages
