#include "frame/SelectionCommands.h"

#include "reader/AppContext.h"

#include <QRegularExpression>
#include <QUrl>

namespace SelectionCommands {

QString searchQuery(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = text.trimmed().split(blanks, Qt::SkipEmptyParts);
    QStringList encoded;
    encoded.reserve(words.size());
    for (const QString &word : words)
        encoded << QString::fromLatin1(QUrl::toPercentEncoding(word));
    return encoded.join(QLatin1Char('+'));
}

QString engineCode(int index)
{
    switch (index) {
    case 7:
        return QStringLiteral("g");
    case 8:
        return QStringLiteral("a");
    case 9:
        return QStringLiteral("d");
    case 10:
        return QStringLiteral("w");
    default:
        return QString();
    }
}

std::optional<QString> searchUrl(const SearchEngines &engines, int index, const QString &text)
{
    const QString query = searchQuery(text);
    if (index == kSecondEncyclopediaItem) {
        if (query.isEmpty())
            return std::nullopt;
        return QStringLiteral("https://www.bartleby.com/cgi-bin/texis/webinator/sitesearch?"
                              "FILTER=col65&query=") +
               query + QStringLiteral("&x=11&y=8");
    }
    const QString code = engineCode(index);
    if (code.isEmpty() || query.isEmpty() || !engines.exists(code))
        return std::nullopt;
    return engines.searchUrl(code, query);
}

std::optional<QString> openUrlAddress(const QString &text)
{
    static const QRegularExpression lineBreaks(QStringLiteral("[\\r\\n\\t]+"));
    QString address = text.trimmed();
    address.remove(lineBreaks);
    if (address.isEmpty() || address.contains(QLatin1Char(' ')))
        return std::nullopt;
    // "host:8080/page" is a host with a port, not a scheme.
    static const QRegularExpression port(QStringLiteral("^[^:/]+:\\d+(/|$)"));
    const int colon = address.indexOf(QLatin1Char(':'));
    const bool hasScheme = colon > 0 && !port.match(address).hasMatch();
    if (!hasScheme) {
        // A bare host ("example.com/page", "localhost:8080") becomes a web address.
        const QString host = address.section(QLatin1Char('/'), 0, 0);
        if (!host.contains(QLatin1Char('.')) && colon < 0)
            return std::nullopt;
        address.prepend(QStringLiteral("http://"));
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    const QString s = url.scheme().toLower();
    if (s == QLatin1String("file"))
        return url.toString();
    const bool web =
        s == QLatin1String("http") || s == QLatin1String("https") || s == QLatin1String("ftp");
    if (!web || url.host().isEmpty())
        return std::nullopt;
    return url.toString();
}

} // namespace SelectionCommands
