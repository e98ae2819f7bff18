// The bookmark importers and their conversion into the favorites store. Input: a selector byte
// (which importer), then its source: a Chromium Bookmarks JSON ("\n\x01\n" then Preferences), a
// bookmarks HTML export, or Firefox rows, one per line: type, id, parent, position, title,
// dateAdded, guid, url, page title, description separated by tabs; a line "P<tab>text" goes to
// prefs.js. The rows are written to a real places.sqlite: the database file itself is not fuzzed.
#include "FuzzSupport.h"

#include "favorites/BookmarkImport.h"
#include "store/Recordset.h"
#include "store/Schemas.h"

#include <sqlite3.h>

namespace {

void exec(sqlite3 *db, const char *sql)
{
    fuzz::require(sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK);
}

QString writeFirefoxProfile(const QByteArray &rows, bool withDescription)
{
    const QDir &dir = fuzz::workDir();
    fuzz::require(dir.mkpath("firefox/p"));
    fuzz::writeFile("firefox/profiles.ini", "[Profile0]\nName=default\nIsRelative=1\nPath=p\n");
    const QString places = dir.filePath("firefox/p/places.sqlite");
    QFile::remove(places);
    QByteArray prefs;

    sqlite3 *db = nullptr;
    fuzz::require(sqlite3_open(QFile::encodeName(places).constData(), &db) == SQLITE_OK);
    exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; BEGIN;"
             "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER, "
             "parent INTEGER, position INTEGER, title LONGVARCHAR, dateAdded INTEGER, guid "
             "TEXT)");
    exec(db, withDescription ? "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url "
                               "LONGVARCHAR, title LONGVARCHAR, description TEXT)"
                             : "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url "
                               "LONGVARCHAR, title LONGVARCHAR)");
    sqlite3_stmt *bookmark = nullptr, *place = nullptr;
    fuzz::require(sqlite3_prepare_v2(db,
                                     "INSERT OR REPLACE INTO moz_bookmarks VALUES "
                                     "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)",
                                     -1, &bookmark, nullptr) == SQLITE_OK);
    fuzz::require(sqlite3_prepare_v2(db,
                                     withDescription
                                         ? "INSERT INTO moz_places VALUES (?1, ?2, ?3, ?4)"
                                         : "INSERT INTO moz_places VALUES (?1, ?2, ?3)",
                                     -1, &place, nullptr) == SQLITE_OK);
    qint64 fk = 0;
    for (const QByteArray &line : rows.split('\n')) {
        const QList<QByteArray> f = line.split('\t');
        if (f.value(0) == "P") {
            prefs += line.mid(2) + '\n';
            continue;
        }
        ++fk;
        auto number = [&](int i) { return f.value(i).trimmed().toLongLong(); };
        auto text = [&](sqlite3_stmt *st, int column, int i) {
            if (i < f.size())
                sqlite3_bind_text(st, column, f[i].constData(), int(f[i].size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(st, column);
        };
        sqlite3_bind_int64(bookmark, 1, number(1));
        sqlite3_bind_int64(bookmark, 2, number(0));
        sqlite3_bind_int64(bookmark, 3, fk);
        sqlite3_bind_int64(bookmark, 4, number(2));
        sqlite3_bind_int64(bookmark, 5, number(3));
        text(bookmark, 6, 4);
        sqlite3_bind_int64(bookmark, 7, number(5));
        text(bookmark, 8, 6);
        sqlite3_bind_int64(place, 1, fk);
        text(place, 2, 7);
        text(place, 3, 8);
        if (withDescription)
            text(place, 4, 9);
        fuzz::require(sqlite3_step(bookmark) == SQLITE_DONE && sqlite3_step(place) == SQLITE_DONE);
        sqlite3_reset(bookmark);
        sqlite3_reset(place);
    }
    sqlite3_finalize(bookmark);
    sqlite3_finalize(place);
    exec(db, "COMMIT");
    sqlite3_close(db);
    fuzz::writeFile("firefox/p/prefs.js", prefs);
    return dir.filePath("firefox");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t selector = data[0];
    const QByteArray source = fuzz::bytes(data + 1, size - 1);

    BookmarkImport found;
    switch (selector % 3) {
    case 0: {
        const qsizetype split = source.indexOf("\n\x01\n");
        fuzz::require(fuzz::workDir().mkpath("chromium"));
        fuzz::writeFile("chromium/Preferences", split < 0 ? QByteArray() : source.mid(split + 3));
        found = ReadChromiumBookmarks(
            fuzz::writeFile("chromium/Bookmarks", split < 0 ? source : source.left(split)),
            "Chromium");
        break;
    }
    case 1:
        found = ReadBookmarksHtml(fuzz::writeFile("bookmarks.html", source));
        break;
    default:
        found = ReadFirefoxProfile(writeFirefoxProfile(source, selector & 4));
        break;
    }
    fuzz::require(found.ok || found.bookmarks.isEmpty());
    for (const ImportedBookmark &b : found.bookmarks)
        fuzz::require(!b.url.isEmpty() && !b.keywords.endsWith('\\') && b.keywords.size() <= 255);

    Recordset favorites = Recordset::Create(FavoritesSchema());
    const int added = AddImportedBookmarks(favorites, found.bookmarks, selector & 8);
    fuzz::require(added <= found.bookmarks.size() && favorites.RecordCount() == added);
    return 0;
}
