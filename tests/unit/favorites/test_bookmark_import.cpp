// Reading bookmarks as Firefox, Chromium and their HTML exports store them, and adding them to
// the favorites store.
#include "TempProfile.h"
#include "favorites/BookmarkImport.h"
#include "store/DateValue.h"
#include "store/Recordset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <sqlite3.h>

namespace {

struct Node
{
    QString name, url; // no url: a folder; "-": a separator
    QList<Node> children = {};
};

// One tree for every source: nested folders, a "\" in a name, a separator, a query, a script.
const QList<Node> kMenu = {
    {"News\\Daily",
     {},
     {{"Paper", "https://paper.test/"}, {"Local", {}, {{"Town", "http://town.test/"}}}}},
    {"Fish & <Chips>", "https://fish.test/?a=1&b=2"},
    {"", "-"},
    {"Recent", "place:sort=8"},
    {"Run", "javascript:void(0)"}};
const QList<Node> kToolbar = {{"Qt", "https://qt.io/"},
                              {"Dev", {}, {{"Docs", "https://doc.qt.io/"}}}};
const QList<Node> kOther = {{"Later", "ftp://files.test/"}};
const QStringList kExpected = {
    "|Fish & <Chips>|https://fish.test/?a=1&b=2|0", "Links|Qt|https://qt.io/|1",
    "Links\\Dev|Docs|https://doc.qt.io/|1",         "News-Daily|Paper|https://paper.test/|0",
    "News-Daily\\Local|Town|http://town.test/|0",   "Other Bookmarks|Later|ftp://files.test/|0"};
const QDateTime kAdded(QDate(2020, 1, 2), QTime(3, 4, 5), QTimeZone::utc());
const QString kDescription = "The toolkit";

// The tree as the readers give it back; every date must be kAdded.
QStringList rendered(const BookmarkImport &import, QString *home = nullptr)
{
    QStringList out;
    for (const ImportedBookmark &b : import.bookmarks) {
        if (b.homePage && home)
            *home = b.url;
        else if (DateValue::toDateTime(b.dateCreated) != kAdded)
            out << "wrong date: " + b.url;
        else
            out << QStringList{b.keywords, b.title, b.url, QString::number(b.quickLink)}.join('|');
    }
    return out;
}

void write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(data) == data.size());
}

int nextId = 10;
void toPlaces(sqlite3 *db, const QList<Node> &nodes, int parent)
{
    auto q = [](QString s) { return "'" + s.replace("'", "''") + "'"; };
    auto n = [](qint64 v) { return QString::number(v); };
    for (int i = 0; i < nodes.size(); ++i) {
        const Node &node = nodes[i];
        const int id = nextId++, type = node.url == "-" ? 3 : node.url.isEmpty() ? 2 : 1;
        QString sql = QString("INSERT INTO moz_bookmarks VALUES(%1,%2,%3,%4,%5,%6,%7,'g%1');")
                          .arg(n(id), n(type), n(type == 1 ? id : 0), n(parent), n(i), q(node.name),
                               n(kAdded.toMSecsSinceEpoch() * 1000));
        if (type == 1)
            sql += QString("INSERT INTO moz_places VALUES(%1,%2,%3,%4);")
                       .arg(n(id), q(node.url), q(node.name),
                            q(node.name == "Qt" ? kDescription : ""));
        QCOMPARE(sqlite3_exec(db, sql.toUtf8(), nullptr, nullptr, nullptr), SQLITE_OK);
        toPlaces(db, node.children, id);
    }
}

// A running Firefox: the bookmarks are still in the WAL, the connection stays open.
sqlite3 *writeFirefox(const TempProfile &p)
{
    write(p.file("ff/profiles.ini"), "[Profile0]\nPath=old\nIsRelative=1\nDefault=1\n[Profile1]\n"
                                     "Path=Profiles/main\nIsRelative=1\n[InstallF1]\n"
                                     "Default=Profiles/main\n");
    write(p.file("ff/Profiles/main/prefs.js"),
          R"(user_pref("browser.startup.homepage", "https://home.test/|https://b.test/");)");
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(p.file("ff/Profiles/main/places.sqlite")), &db);
    sqlite3_exec(
        db,
        "PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0;"
        "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, title TEXT, description TEXT);"
        "CREATE TABLE moz_bookmarks(id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER, parent "
        "INTEGER, position INTEGER, title TEXT, dateAdded INTEGER, guid TEXT);"
        "INSERT INTO moz_bookmarks(id,type,parent,position,guid) VALUES (1,2,0,0,'root________'),"
        "(2,2,1,0,'menu________'),(3,2,1,1,'toolbar_____'),(4,2,1,2,'tags________'),"
        "(5,2,1,3,'unfiled_____'),(6,2,1,4,'mobile______');",
        nullptr, nullptr, nullptr);
    toPlaces(db, kMenu, 2), toPlaces(db, kToolbar, 3), toPlaces(db, kOther, 5);
    toPlaces(db, {{"tag", {}, {{"Tagged", "https://tagged.test/"}}}}, 4);
    return db;
}

QJsonObject toChromium(const Node &n)
{
    QJsonObject o{{"name", n.name}, {"type", n.url.isEmpty() ? "folder" : "url"}, {"url", n.url}};
    o["date_added"] = QString::number((kAdded.toMSecsSinceEpoch() + 11644473600000LL) * 1000);
    QJsonArray children;
    for (const Node &c : n.children)
        children.append(toChromium(c));
    return n.url.isEmpty() ? o.insert("children", children), o : o;
}

QString toHtml(const QList<Node> &nodes)
{
    QString out = "<DL><p>\n";
    for (const Node &n : nodes) {
        const QString dd = n.name == "Qt" ? "<DD>" + kDescription : "";
        if (n.url.isEmpty())
            out += "<DT><H3>" + n.name.toHtmlEscaped() + "</H3>\n" + toHtml(n.children);
        else
            out += n.url == "-"
                       ? QString("<HR>\n")
                       : QString("<DT><A HREF=\"%1\" ADD_DATE=\"%2\">%3</A>%4\n")
                             .arg(n.url.toHtmlEscaped(), QString::number(kAdded.toSecsSinceEpoch()),
                                  n.name.toHtmlEscaped(), dd);
    }
    return out + "</DL><p>\n";
}

QByteArray chromiumJson()
{
    const QJsonObject roots{{"bookmark_bar", toChromium({"Bar", {}, kToolbar})},
                            {"other", toChromium({"Other", {}, kMenu + kOther})}};
    return QJsonDocument(QJsonObject{{"roots", roots}, {"version", 1}}).toJson();
}

} // namespace

class TestBookmarkImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firefoxProfile();
    void chromiumAndHtmlGiveTheSameTree();
    void damagedSourcesGiveNothing();
    void addingToFavorites();
};

void TestBookmarkImport::firefoxProfile()
{
    TempProfile p;
    sqlite3 *running = writeFirefox(p);
    const BookmarkImport import = ReadFirefoxProfile(p.file("ff"));
    sqlite3_close(running);
    QVERIFY2(import.ok, qPrintable(import.error));
    QCOMPARE(import.source, QString("Firefox"));
    QString home;
    QCOMPARE(rendered(import, &home), kExpected);
    QCOMPARE(home, QString("https://home.test/"));
    QCOMPARE(import.bookmarks[2].description, kDescription);
}

void TestBookmarkImport::chromiumAndHtmlGiveTheSameTree()
{
    TempProfile p;
    QCOMPARE(ReadDefaultBrowserBookmarks(p.path()).error, QString()); // nothing to import
    write(p.file(".config/google-chrome/Default/Bookmarks"), chromiumJson());
    write(p.file(".config/google-chrome/Default/Preferences"),
          R"({"homepage": "https://home.test/", "homepage_is_newtabpage": false})");
    const BookmarkImport chrome = ReadDefaultBrowserBookmarks(p.path());
    QVERIFY2(chrome.ok, qPrintable(chrome.error));
    QCOMPARE(chrome.source, QString("Google Chrome"));
    QString home;
    QCOMPARE(rendered(chrome, &home),
             QStringList({"Links|Qt|https://qt.io/|1", "Links\\Dev|Docs|https://doc.qt.io/|1",
                          "Other Bookmarks|Fish & <Chips>|https://fish.test/?a=1&b=2|0",
                          "Other Bookmarks|Later|ftp://files.test/|0",
                          "Other Bookmarks\\News-Daily|Paper|https://paper.test/|0",
                          "Other Bookmarks\\News-Daily\\Local|Town|http://town.test/|0"}));
    QCOMPARE(home, QString("https://home.test/"));

    QString html = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE><H1>Menu</H1>\n";
    html += toHtml(kMenu + QList<Node>{{"Toolbar", {}, kToolbar}, {"Unsorted", {}, kOther}});
    html.replace("<H3>Toolbar", "<H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Toolbar")
        .replace("<H3>Unsorted", "<H3 UNFILED_BOOKMARKS_FOLDER=\"true\">Unsorted");
    write(p.file("export.html"), html.toUtf8());
    const BookmarkImport exported = ReadBookmarksHtml(p.file("export.html"));
    QVERIFY2(exported.ok, qPrintable(exported.error));
    QCOMPARE(rendered(exported), kExpected);
    QCOMPARE(exported.bookmarks[1].description, kDescription);
}

void TestBookmarkImport::damagedSourcesGiveNothing()
{
    TempProfile p;
    sqlite3_close(writeFirefox(p)); // checkpointed into places.sqlite
    QFile places(p.file("ff/Profiles/main/places.sqlite"));
    QVERIFY(places.size() > 8192 && places.resize(places.size() / 2));
    write(p.file("Bookmarks"), chromiumJson().chopped(40));
    write(p.file("export.html"), "Just some notes, no bookmarks here.\n");
    const QList<QPair<BookmarkImport, QString>> cases = {
        {ReadFirefoxProfile(p.file("ff")), "places.sqlite"},
        {ReadChromiumBookmarks(p.file("Bookmarks"), "Chromium"), "Bookmarks"},
        {ReadBookmarksHtml(p.file("export.html")), "export.html"}};
    for (const auto &[import, file] : cases) {
        QVERIFY2(!import.ok && import.error.contains(file), qPrintable(import.error));
        QVERIFY(import.bookmarks.isEmpty());
    }
}

void TestBookmarkImport::addingToFavorites()
{
    Recordset rs = Recordset::Create(FavoritesSchema());
    QVERIFY(rs.AddNew({"Keywords", "URL"}, {"News", "https://paper.test/"}));
    auto item = [](QString keywords, QString url, bool quick = false, bool home = false) {
        ImportedBookmark b;
        b.keywords = keywords, b.title = url, b.url = url, b.quickLink = quick, b.homePage = home;
        return b;
    };
    const QList<ImportedBookmark> list = {
        item("News", "https://paper.test/"), item("Elsewhere", "https://paper.test/"),
        item("Dev", "https://doc.qt.io/", true), item("Dev", "https://home.test/", false, true)};
    QCOMPARE(AddImportedBookmarks(rs, list, true), 3);
    QCOMPARE(AddImportedBookmarks(rs, list, true), 0);
    QStringList stored;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
        stored << QStringList{rs.Field("Keywords").toString(), rs.Field("URL").toString(),
                              rs.Field("bfFav").toString(), rs.Field("Period").toString()}
                      .join('|');
    QCOMPARE(stored, QStringList({"News|https://paper.test/||", "Elsewhere|https://paper.test/|0|0",
                                  "Links\\Dev|https://doc.qt.io/|1|0", "|https://home.test/|0|1"}));
    QCOMPARE(AddImportedBookmarks(rs, list, false), 4);
}

QTEST_GUILESS_MAIN(TestBookmarkImport)
#include "test_bookmark_import.moc"
