// Reading bookmarks as Firefox, Chromium and their HTML exports store them, and adding them to
// the favorites store.
#include "BookmarkSources.h"
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

using BookmarkSources::kAdded;
using BookmarkSources::Node;
const QString kDescription = "The toolkit";

// One tree for every source: nested folders, a "\\" in a name, a separator, a query, a script.
const QList<Node> kMenu = {
    {"News\\Daily",
     {},
     {{"Paper", "https://paper.test/"}, {"Local", {}, {{"Town", "http://town.test/"}}}}},
    {"Fish & <Chips>", "https://fish.test/?a=1&b=2"},
    {"", "-"},
    {"Recent", "place:sort=8"},
    {"Run", "javascript:void(0)"}};
const QList<Node> kToolbar = {{"Qt", "https://qt.io/", {}, kDescription},
                              {"Dev", {}, {{"Docs", "https://doc.qt.io/"}}}};
const QList<Node> kOther = {{"Later", "ftp://files.test/"}};
const QStringList kExpected = {
    "|Fish & <Chips>|https://fish.test/?a=1&b=2|0", "Links|Qt|https://qt.io/|1",
    "Links\\Dev|Docs|https://doc.qt.io/|1",         "News-Daily|Paper|https://paper.test/|0",
    "News-Daily\\Local|Town|http://town.test/|0",   "Other Bookmarks|Later|ftp://files.test/|0"};

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
    QVERIFY(BookmarkSources::writeFile(path, data));
}

// A running Firefox: the bookmarks are still in the WAL, the connection stays open.
sqlite3 *writeFirefox(const TempProfile &p)
{
    sqlite3 *db = nullptr;
    const QString error = BookmarkSources::writeFirefoxProfile(
        p.file("ff"), kMenu, kToolbar, kOther, "https://home.test/|https://b.test/", &db);
    [&] { QCOMPARE(error, QString()); }();
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
    void outOfRangeDateIsUnknown();
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

    // The marked folders are known by their marks, not their names.
    const QString html = BookmarkSources::bookmarksHtml(kMenu, kToolbar, kOther)
                             .replace(">Bookmarks Toolbar<", ">Bar<")
                             .replace(">Other Bookmarks<", ">Unsorted<");
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
    QFile places(p.file("ff/Profiles/x1y2z3.default-release/places.sqlite"));
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

void TestBookmarkImport::outOfRangeDateIsUnknown()
{
    TempProfile p;
    // As milliseconds this count wraps around to a moment in 1970.
    write(p.file("export.html"),
          "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><DT><A "
          "HREF=\"https://a.test/\" ADD_DATE=\"18446744073709552\">A</A></DL>");
    const BookmarkImport import = ReadBookmarksHtml(p.file("export.html"));
    QCOMPARE(import.bookmarks.size(), 1);
    QCOMPARE(import.bookmarks[0].dateCreated, 0.0);
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
