#pragma once

// Bookmarks as other browsers keep them, made up for tests and benchmarks: a Firefox profile
// (profiles.ini, prefs.js and places.sqlite in Firefox's own tables) and a bookmarks HTML
// export, both from one tree.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>

namespace BookmarkSources {

struct Node
{
    QString name, url; // no url: a folder; "-": a separator
    QList<Node> children = {};
    QString description = {};
};

inline Node *folderIn(QList<Node> &nodes, const QString &name)
{
    for (Node &n : nodes)
        if (n.url.isEmpty() && n.name == name)
            return &n;
    nodes.append({name, QString()});
    return &nodes.last();
}

// `count` links spread over ten folders, each with parts and a deeper level, in the order a
// user would have filed them. Every folder also holds a separator and Firefox's "place:" query
// after its first link, which an import must leave out.
inline QList<Node> nestedFolders(int count, const QString &site, int first = 0)
{
    QList<Node> top;
    for (int i = first; i < first + count; ++i) {
        QStringList path{QStringLiteral("Topic %1").arg(i % 10)};
        if ((i / 10) % 3 >= 1)
            path << QStringLiteral("Part %1").arg((i / 30) % 4);
        if ((i / 10) % 3 == 2)
            path << QStringLiteral("Deep");
        QList<Node> *level = &top;
        for (const QString &part : path)
            level = &folderIn(*level, part)->children;
        // Markup, quotes and non-ASCII text on the way through every file format.
        const QString title = i % 50 == 0 ? QStringLiteral("Caf\u00e9 \"%1\" & <co>").arg(i)
                                          : QStringLiteral("Page %1").arg(i);
        level->append({title, QStringLiteral("https://%1.test/page/%2?n=%2&x=1").arg(site).arg(i)});
        if (level->size() == 1) {
            level->append({QString(), QStringLiteral("-")});
            level->append(
                {QStringLiteral("Most Visited"), QStringLiteral("place:sort=8&maxResults=10")});
        }
    }
    return top;
}

// The favorites the links become: "Keywords|Title|URL|bfFav", folders under `root`.
inline QStringList expectedRows(const QList<Node> &nodes, const QString &root, bool quick)
{
    QStringList rows;
    for (const Node &n : nodes) {
        if (n.url.isEmpty())
            rows << expectedRows(n.children, root.isEmpty() ? n.name : root + '\\' + n.name, quick);
        else if (n.url.startsWith(QLatin1String("http")))
            rows << QStringList{root, n.name, n.url, QString::number(int(quick))}.join('|');
    }
    return rows;
}

inline const QDateTime kAdded = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc());

inline bool writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// The rows of moz_bookmarks and moz_places for the nodes under parent, as SQL.
inline void placesRows(const QList<Node> &nodes, int parent, int &nextId, QString &sql)
{
    const auto q = [](QString text) { return '\'' + text.replace('\'', "''") + '\''; };
    const QString added = QString::number(kAdded.toMSecsSinceEpoch() * 1000);
    for (int i = 0; i < nodes.size(); ++i) {
        const Node &n = nodes[i];
        const int id = nextId++;
        const int type = n.url == QLatin1String("-") ? 3 : n.url.isEmpty() ? 2 : 1;
        const QString guid = QString::number(id).rightJustified(12, '0');
        if (type == 1) {
            QString host = QUrl(n.url).host();
            std::reverse(host.begin(), host.end());
            sql += QStringLiteral("INSERT INTO moz_places (id, url, title, rev_host, guid, "
                                  "url_hash, frecency, description) VALUES (%1, %2, %3, %4, '%5', "
                                  "%1, 100, %6);")
                       .arg(QString::number(id), q(n.url), q(n.name), q(host + '.'), guid,
                            q(n.description));
        }
        sql += QStringLiteral("INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, "
                              "dateAdded, lastModified, guid) VALUES (%1, %2, %3, %4, %5, %6, %7, "
                              "%7, '%8');")
                   .arg(QString::number(id), QString::number(type),
                        type == 1 ? QString::number(id) : QStringLiteral("NULL"),
                        QString::number(parent), QString::number(i),
                        type == 3 ? QStringLiteral("NULL") : q(n.name), added, guid);
        placesRows(n.children, id, nextId, sql);
    }
}

// places.sqlite as Firefox writes it: the roots by their fixed guids, folders, separators,
// bookmarks pointing into moz_places, a tag and a page of the history that no bookmark names.
// running: the connection stays open with the bookmarks still in the WAL, as while Firefox runs.
inline QString writePlaces(const QString &file, const QList<Node> &menu, const QList<Node> &toolbar,
                           const QList<Node> &other, sqlite3 **running = nullptr)
{
    QString sql = QStringLiteral(
        "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; BEGIN;"
        "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
        "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
        "typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, "
        "last_visit_date INTEGER , guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash "
        "INTEGER DEFAULT 0 NOT NULL , description TEXT, preview_image_url TEXT, site_name TEXT, "
        "origin_id INTEGER, recalc_frecency INTEGER NOT NULL DEFAULT 0, alt_frecency INTEGER, "
        "recalc_alt_frecency INTEGER NOT NULL DEFAULT 0);"
        "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT "
        "NULL, parent INTEGER, position INTEGER, title LONGVARCHAR, keyword_id INTEGER, "
        "folder_type TEXT, dateAdded INTEGER, lastModified INTEGER, guid TEXT, syncStatus "
        "INTEGER NOT NULL DEFAULT 0, syncChangeCounter INTEGER NOT NULL DEFAULT 1);"
        "INSERT INTO moz_bookmarks (id, type, parent, position, title, guid) VALUES "
        "(1, 2, 0, 0, '', 'root________'), (2, 2, 1, 0, 'menu', 'menu________'), "
        "(3, 2, 1, 1, 'toolbar', 'toolbar_____'), (4, 2, 1, 2, 'tags', 'tags________'), "
        "(5, 2, 1, 3, 'unfiled', 'unfiled_____'), (6, 2, 1, 4, 'mobile', 'mobile______');"
        "INSERT INTO moz_places (id, url, title, guid, visit_count) VALUES "
        "(1, 'https://visited.test/', 'Only visited', 'place0000001', 3);");
    int nextId = 100;
    const QList<Node> tags = {
        {QStringLiteral("reading"),
         QString(),
         {{QStringLiteral("Tagged"), QStringLiteral("https://tagged.test/")}}}};
    for (const auto &[nodes, parent] :
         {std::pair{&menu, 2}, std::pair{&toolbar, 3}, std::pair{&tags, 4}, std::pair{&other, 5}})
        placesRows(*nodes, parent, nextId, sql);
    QFile::remove(file);
    sqlite3 *db = nullptr;
    char *error = nullptr;
    sqlite3_open(QFile::encodeName(file).constData(), &db);
    sqlite3_exec(db, (sql + QStringLiteral("COMMIT;")).toUtf8().constData(), nullptr, nullptr,
                 &error);
    const QString why = error ? QString::fromUtf8(error) : QString();
    sqlite3_free(error);
    if (running)
        *running = db;
    else
        sqlite3_close(db);
    return why;
}

// <firefoxDir>/profiles.ini naming a profile with these bookmarks and home page. "" when written,
// else what went wrong.
inline QString writeFirefoxProfile(const QString &firefoxDir, const QList<Node> &menu,
                                   const QList<Node> &toolbar, const QList<Node> &other,
                                   const QString &homePage = QString(), sqlite3 **running = nullptr)
{
    const QDir dir(firefoxDir);
    if (!writeFile(dir.filePath(QStringLiteral("profiles.ini")),
                   "[Install4F96D1932A9F858E]\nDefault=Profiles/x1y2z3.default-release\n"
                   "Locked=1\n\n[Profile1]\nName=default\nIsRelative=1\nPath=Profiles/"
                   "a0b1c2.default\nDefault=1\n\n[Profile0]\nName=default-release\nIsRelative=1"
                   "\nPath=Profiles/x1y2z3.default-release\n\n[General]\nStartWithLastProfile="
                   "1\nVersion=2\n"))
        return QStringLiteral("profiles.ini not written");
    const QString profile = dir.filePath(QStringLiteral("Profiles/x1y2z3.default-release"));
    QDir().mkpath(profile);
    if (!homePage.isEmpty() &&
        !writeFile(profile + QStringLiteral("/prefs.js"),
                   QStringLiteral("// Mozilla User Preferences\n\nuser_pref(\"browser.startup."
                                  "homepage\", \"%1\");\nuser_pref(\"browser.startup.page\", 1);\n")
                       .arg(homePage)
                       .toUtf8()))
        return QStringLiteral("prefs.js not written");
    return writePlaces(profile + QStringLiteral("/places.sqlite"), menu, toolbar, other, running);
}

inline QString htmlList(const QList<Node> &nodes, const QString &indent)
{
    QString out = indent + QStringLiteral("<DL><p>\n");
    const QString added = QString::number(kAdded.toSecsSinceEpoch());
    for (const Node &n : nodes) {
        if (n.url == QLatin1String("-"))
            out += indent + QStringLiteral("    <HR>\n");
        else if (n.url.isEmpty())
            out += indent +
                   QStringLiteral("    <DT><H3 ADD_DATE=\"%1\">%2</H3>\n")
                       .arg(added, n.name.toHtmlEscaped()) +
                   htmlList(n.children, indent + QStringLiteral("    "));
        else
            out += indent + QStringLiteral("    <DT><A HREF=\"%1\" ADD_DATE=\"%2\">%3</A>%4\n")
                                .arg(n.url.toHtmlEscaped(), added, n.name.toHtmlEscaped(),
                                     n.description.isEmpty() ? QString() : "<DD>" + n.description);
    }
    return out + indent + QStringLiteral("</DL><p>\n");
}

// A bookmarks export as Firefox writes one: the menu's contents, then the toolbar and the other
// bookmarks as marked folders.
inline QString bookmarksHtml(const QList<Node> &menu, const QList<Node> &toolbar,
                             const QList<Node> &other)
{
    QList<Node> all = menu;
    all.append({QStringLiteral("Bookmarks Toolbar"), QString(), toolbar});
    all.append({QStringLiteral("Other Bookmarks"), QString(), other});
    QString list = htmlList(all, QString());
    list.replace(QStringLiteral("\">Bookmarks Toolbar</H3>"),
                 QStringLiteral("\" PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks Toolbar</H3>"))
        .replace(QStringLiteral("\">Other Bookmarks</H3>"),
                 QStringLiteral("\" UNFILED_BOOKMARKS_FOLDER=\"true\">Other Bookmarks</H3>"));
    return QStringLiteral(
               "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<!-- This is an automatically "
               "generated file.\n     It will be read and overwritten.\n     DO NOT "
               "EDIT! -->\n<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; "
               "charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n\n") +
           list;
}

} // namespace BookmarkSources
