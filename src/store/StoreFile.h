#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class Table;

// A .skl file is an SQLite database:
//   skl_store(format)                          one row, format 1
//   skl_fields(pos, name, type, size)          the schema in field order
//   skl_rows(id INTEGER PRIMARY KEY, c0 ... cN) one row per record; id is the record's bookmark
//   a view named after the store (viewName) with the rows under their field names, for people
//   who open the file with sqlite3; the program reads skl_rows only
// Files are written whole into a temporary file beside the target, synced, then renamed over it,
// so a crash leaves either the old or the new file.
namespace StoreFile {

std::shared_ptr<Table> load(const QString &path, QString *error);
[[nodiscard]] bool save(const Table &table, const std::vector<int> &slots, const QString &path,
                        QString *error);

// save() in two steps, so that the waiting for the disk can happen on another thread: the rows
// go into a temporary file beside the target (not yet synced), then commit() syncs it and renames
// it over the target. Commits of one target must run in the order their files were written.
struct WrittenTemp
{
    QString temp;
    QString path;
};
[[nodiscard]] std::optional<WrittenTemp>
writeTemp(const Table &table, const std::vector<int> &slots, const QString &path, QString *error);
[[nodiscard]] bool commit(const WrittenTemp &written, QString *error);

// "favorites" for Favorites.skl, "session" for the session files, ...; for a file the program
// does not know, its base name in lower case.
QString viewName(const QString &path);

// Temporary files left by a save that was killed.
void removeStaleTemps(const QString &path);

// Renames an unreadable file to "<name>.broken-yyyyMMdd-HHmmss" (a counter added when taken);
// returns the new path, or an empty string when the rename failed.
QString setAside(const QString &path);

} // namespace StoreFile
