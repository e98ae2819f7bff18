#include "frame/SidebarHtml.h"

#include "reader/Reader.h"
#include "store/Stores.h"

#include <QSet>
#include <QUrl>

namespace SidebarHtml {

namespace {
const QString kCrLf2 = QStringLiteral("\r\n\r\n");

bool startsWithCi(const QString &text, const QString &prefix)
{
    return text.startsWith(prefix, Qt::CaseInsensitive);
}
} // namespace

QString escape(const QString &text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            out += QLatin1String("&amp;");
            break;
        case '<':
            out += QLatin1String("&lt;");
            break;
        case '>':
            out += QLatin1String("&gt;");
            break;
        case '"':
            out += QLatin1String("&quot;");
            break;
        case '\'':
            out += QLatin1String("&#39;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString bookmarkText(double bookmark)
{
    return QString::number(bookmark, 'g', 17);
}

bool boxTextMissing(const QString &boxText)
{
    const QString t = boxText.trimmed();
    return t.isEmpty() || t == kPlaceholder;
}

bool isTrashed(const QString &keywords)
{
    return startsWithCi(keywords.trimmed(), kTrashFolder);
}

std::optional<ListQuery> listQuery(int type, const QString &boxText)
{
    const QString t = FilterText(boxText.trimmed());
    switch (type) {
    case ListType::QuickLinks:
        return ListQuery{ListStore::Favorites, QStringLiteral("bfFav = 1"),
                         QStringLiteral("Title")};
    case ListType::FavoritesFilter:
        if (t.startsWith(QLatin1Char('\\')))
            return ListQuery{ListStore::Favorites,
                             QStringLiteral("Keywords LIKE '*%1*'").arg(t.mid(1)),
                             QStringLiteral("Title")};
        return ListQuery{
            ListStore::Favorites,
            QStringLiteral("Title LIKE '*%1*' OR URL LIKE '*%1*' OR Keywords LIKE '*%1*'").arg(t),
            QStringLiteral("Title")};
    case ListType::HistoryFilter:
        return ListQuery{ListStore::History,
                         QStringLiteral("Title LIKE '*%1*' OR URL LIKE '*%1*' OR Description LIKE "
                                        "'*%1*' OR DocKeywords LIKE '*%1*'")
                             .arg(t),
                         QStringLiteral("Date DESC")};
    case ListType::Scheduled:
        return ListQuery{ListStore::Favorites, QStringLiteral("Period > 0 OR DayOfWeek > 0"),
                         QStringLiteral("Title")};
    case ListType::QuickFolders:
        return ListQuery{ListStore::Options, QStringLiteral("key = 'qf'"), QStringLiteral("value")};
    case ListType::Feeds:
        return ListQuery{ListStore::Favorites, QStringLiteral("bfFav > 1"),
                         QStringLiteral("Title")};
    default:
        return std::nullopt;
    }
}

QString favoriteEntry(double bookmark, const QString &title, const QString &url)
{
    const QString b = bookmarkText(bookmark);
    return QStringLiteral("<div><a id=B") + b + QStringLiteral(" href=skl:L") + b +
           QStringLiteral(" title='") + escape(title + kCrLf2 + url) + QStringLiteral("'>") +
           escape(title) + QStringLiteral("</a></div>");
}

QString historyEntry(const QString &title, const QString &url)
{
    const QString shown = title.isEmpty() ? url : title;
    const bool web = startsWithCi(url, QStringLiteral("http://")) ||
                     startsWithCi(url, QStringLiteral("https://"));
    const QString target = web ? url : QStringLiteral("skl:X") + url;
    return QStringLiteral("<div><a href='") + escape(target) + QStringLiteral("' title='") +
           escape(shown + kCrLf2 + url) + QStringLiteral("'>") + escape(shown) +
           QStringLiteral("</a></div>");
}

QString quickFolderEntry(const QString &folder)
{
    return QStringLiteral("<div class=qf>") + escape(folder) + QStringLiteral("</div>");
}

QString groupEntry(const QString &name)
{
    return QStringLiteral("<div class=gr style='cursor:hand;cursor:pointer'>") + escape(name) +
           QStringLiteral("</div>");
}

QStringList groupNames(const QStringList &keywords)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString &k : keywords) {
        const QString path = k.trimmed();
        if (!startsWithCi(path, kGroupPrefix))
            continue;
        const QString name = path.mid(kGroupPrefix.size());
        if (name.isEmpty() || seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        out << name;
    }
    return out;
}

QString headingId(int n)
{
    return QString::number(n) + QStringLiteral("skl");
}

QString headingEntry(int level, const QString &id, const QString &text)
{
    const int indent = qBound(1, level, 6) - 1;
    // The id travels in the link's address: encoded, so that blanks, quotes and "#" survive.
    const QString arg = QString::fromLatin1(QUrl::toPercentEncoding(id));
    return QStringLiteral("<a href='skl:H") + escape(arg) + QStringLiteral("' title='") +
           escape(text) + QStringLiteral("' style='position:relative;left:") +
           QString::number(indent) + QStringLiteral("ex'>") + escape(text) +
           QStringLiteral("</a><br>");
}

QList<QPair<QString, QString>> windowStyleProperties(const WindowStyle &style)
{
    QList<QPair<QString, QString>> out;
    if (!style.color.isEmpty())
        out.append({QStringLiteral("color"), style.color});
    out.append({QStringLiteral("background-color"),
                style.background.isEmpty() ? QStringLiteral("#ffffee") : style.background});
    out.append({QStringLiteral("font-weight"),
                style.bold ? QStringLiteral("bold") : QStringLiteral("normal")});
    out.append({QStringLiteral("text-decoration"),
                style.strikeThrough ? QStringLiteral("line-through") : QStringLiteral("none")});
    return out;
}

QString windowEntry(int slot, const QString &title, const WindowStyle &style)
{
    QString css;
    for (const auto &p : windowStyleProperties(style))
        css += p.first + QLatin1Char(':') + p.second + QLatin1Char(';');
    return QStringLiteral("<div id=K") + QString::number(slot) +
           QStringLiteral(" class=W style='") + css + QStringLiteral("'>") + escape(title) +
           QStringLiteral("</div>");
}

QString queueEntryId(double bookmark)
{
    return QStringLiteral("q") + bookmarkText(bookmark);
}

QString queueEntry(double bookmark, const QString &title)
{
    return QStringLiteral("<div class=QL id=") + queueEntryId(bookmark) + QLatin1Char('>') +
           escape(title) + QStringLiteral("</div>");
}

QString checkLinksMenu(bool linkCheckerAvailable)
{
    if (linkCheckerAvailable)
        return QStringLiteral("<a href=skl:C>Check All Links</a><br><a href=skl:R>Re-check "
                              "Questionable Links</a><br><a href=skl:Z>Close This Check Links "
                              "Menu</a><hr>");
    const QString off =
        QStringLiteral(" style='color:gray;cursor:default' title='The link checker is not built "
                       "yet: this will check the links of your favorites.'");
    return QStringLiteral("<span id=mC") + off +
           QStringLiteral(">Check All Links</span><br><span id=mR") + off +
           QStringLiteral(">Re-check Questionable Links</span><br><a href=skl:Z>Close This "
                          "Check Links Menu</a><hr>");
}

std::optional<PaneCommand> parsePaneCommand(const QString &url)
{
    if (!startsWithCi(url, QStringLiteral("skl:")) || url.size() < 5)
        return std::nullopt;
    return PaneCommand{url.at(4).toUpper(), url.mid(5)};
}

} // namespace SidebarHtml
