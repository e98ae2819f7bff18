#include "store/StoreFile.h"

#include "store/Table.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace StoreFile {

namespace {

constexpr int kFormat = 1;
const char kTempMarker[] = ".tmp-";

class Db
{
public:
    ~Db()
    {
        if (m_db)
            sqlite3_close_v2(m_db);
    }
    sqlite3 *m_db = nullptr;
};

class Stmt
{
public:
    Stmt(sqlite3 *db, const QByteArray &sql)
    {
        m_rc = sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr);
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    bool ok() const { return m_rc == SQLITE_OK && m_stmt; }
    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

QString dbError(sqlite3 *db, const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, db ? QString::fromUtf8(sqlite3_errmsg(db))
                                                 : QStringLiteral("out of memory"));
}

bool exec(sqlite3 *db, const char *sql, QString *error)
{
    char *msg = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &msg) == SQLITE_OK)
        return true;
    if (error)
        *error = QString::fromUtf8(msg ? msg : "SQLite error");
    sqlite3_free(msg);
    return false;
}

// Memory statistics cost a global lock on every SQLite allocation; the stores never read them.
void configureSqliteOnce()
{
    static const bool configured = [] {
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); // refused harmlessly once SQLite is running
        return true;
    }();
    (void)configured;
}

QByteArray quoted(const QString &name)
{
    QByteArray out = name.toUtf8();
    out.replace('"', "\"\"");
    return '"' + out + '"';
}

// CREATE VIEW for the file's store, its columns under the field names.
QByteArray createView(const QString &path, const Schema &schema)
{
    QByteArray sql = "CREATE VIEW " + quoted(viewName(path)) + " AS SELECT ";
    for (int f = 0; f < schema.size(); ++f)
        sql += (f ? ", c" : "c") + QByteArray::number(f) + " AS " + quoted(schema[f].name);
    return sql + " FROM skl_rows ORDER BY id";
}

bool syncPath(const QByteArray &path, bool directory)
{
    const int fd = ::open(path.constData(), (directory ? O_DIRECTORY : 0) | O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

std::shared_ptr<Table> load(const QString &path, QString *error)
{
    auto failed = [&](const QString &why) -> std::shared_ptr<Table> {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), why);
        return nullptr;
    };
    if (!QFileInfo(path).isFile())
        return failed(QStringLiteral("the file does not exist"));

    configureSqliteOnce();
    Db db;
    const QByteArray native = QFile::encodeName(path);
    if (sqlite3_open_v2(native.constData(), &db.m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        return failed(dbError(db.m_db, QStringLiteral("cannot open")));

    // Reading through a memory map saves copying every page out of the page cache.
    exec(db.m_db, "PRAGMA mmap_size=1073741824", nullptr);
    {
        Stmt st(db.m_db, "SELECT format FROM skl_store");
        if (!st.ok() || sqlite3_step(st.get()) != SQLITE_ROW)
            return failed(dbError(db.m_db, QStringLiteral("not a store file")));
        if (sqlite3_column_int(st.get(), 0) != kFormat)
            return failed(
                QStringLiteral("unknown store format %1").arg(sqlite3_column_int(st.get(), 0)));
    }

    Schema schema;
    {
        Stmt st(db.m_db, "SELECT pos, name, type, size FROM skl_fields ORDER BY pos");
        if (!st.ok())
            return failed(dbError(db.m_db, QStringLiteral("no schema")));
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            FieldDef def;
            const int pos = sqlite3_column_int(st.get(), 0);
            def.name =
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st.get(), 1)));
            def.type = sqlite3_column_int(st.get(), 2);
            def.size = sqlite3_column_int(st.get(), 3);
            if (pos != schema.size() || def.name.isEmpty() || !FieldType::isKnown(def.type) ||
                def.size < 0 || expr::fieldIndex(schema, def.name) >= 0)
                return failed(QStringLiteral("invalid schema entry %1").arg(pos));
            schema.append(def);
        }
        if (rc != SQLITE_DONE)
            return failed(dbError(db.m_db, QStringLiteral("cannot read the schema")));
        if (schema.isEmpty())
            return failed(QStringLiteral("the schema is empty"));
    }

    auto table = std::make_shared<Table>(schema);
    {
        // Ids are dense unless many records were deleted: a good guess for the row count.
        Stmt st(db.m_db, "SELECT max(id) FROM skl_rows");
        if (st.ok() && sqlite3_step(st.get()) == SQLITE_ROW)
            table->reserveRows(size_t(std::clamp<sqlite3_int64>(sqlite3_column_int64(st.get(), 0),
                                                                0, 4 * 1024 * 1024)),
                               size_t(QFileInfo(path).size()));
    }
    QByteArray sql = "SELECT id";
    for (int f = 0; f < schema.size(); ++f)
        sql += ", c" + QByteArray::number(f);
    sql += " FROM skl_rows ORDER BY id";
    Stmt st(db.m_db, sql);
    if (!st.ok())
        return failed(dbError(db.m_db, QStringLiteral("no rows")));
    sqlite3_stmt *s = st.get();
    const int n = int(schema.size());
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        table->beginLoadedRow(sqlite3_column_int64(s, 0));
        for (int f = 0; f < n; ++f) {
            const int col = f + 1;
            const Column &c = table->column(f);
            if (c.isText) {
                // NULL for a Null value; "" for an empty text.
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, col));
                if (text)
                    table->loadText(f, text, size_t(sqlite3_column_bytes(s, col)));
                else
                    table->loadNull(f);
                continue;
            }
            const int kind = sqlite3_column_type(s, col);
            if (kind == SQLITE_NULL) {
                table->loadNull(f);
            } else if (c.isBinary) {
                const void *blob = sqlite3_column_blob(s, col);
                table->loadBytes(
                    f, QByteArray(static_cast<const char *>(blob), sqlite3_column_bytes(s, col)));
            } else {
                if (kind != SQLITE_INTEGER && kind != SQLITE_FLOAT)
                    return failed(QStringLiteral("field \"%1\" holds a value that is not a number")
                                      .arg(c.def.name));
                table->loadNumber(f, sqlite3_column_double(s, col));
            }
        }
    }
    if (rc != SQLITE_DONE)
        return failed(dbError(db.m_db, QStringLiteral("cannot read the rows")));
    table->shrinkToFit();
    table->path = path;
    return table;
}

std::optional<WrittenTemp> writeTemp(const Table &table, const std::vector<int> &slots,
                                     const QString &path, QString *error)
{
    // A name of its own for every save: the previous one may still be syncing elsewhere.
    static std::atomic<quint64> s_saves{0};
    const QString temp = path + QLatin1String(kTempMarker) +
                         QString::number(QCoreApplication::applicationPid()) + QLatin1Char('.') +
                         QString::number(++s_saves);
    const QByteArray nativeTemp = QFile::encodeName(temp);
    auto failed = [&](const QString &why) -> std::optional<WrittenTemp> {
        if (error)
            *error = QStringLiteral("Saving %1: %2").arg(QDir::toNativeSeparators(path), why);
        QFile::remove(temp);
        return std::nullopt;
    };
    QFile::remove(temp);
    configureSqliteOnce();
    // What users typed, read and saved (form fields, passwords among them) is theirs alone:
    // the file exists with mode 0600 before the first byte goes in, and SQLite keeps it.
    {
        const int fd =
            ::open(nativeTemp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return failed(QStringLiteral("cannot create the file"));
        ::close(fd);
    }

    {
        Db db;
        if (sqlite3_open_v2(nativeTemp.constData(), &db.m_db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK)
            return failed(dbError(db.m_db, QStringLiteral("cannot create the file")));
        QString why;
        const Schema &schema = table.schema();
        const int n = int(schema.size());
        QByteArray create = "CREATE TABLE skl_rows(id INTEGER PRIMARY KEY";
        QByteArray insert = "INSERT INTO skl_rows VALUES(?";
        for (int f = 0; f < n; ++f) {
            create += ", c" + QByteArray::number(f);
            insert += ",?";
        }
        create += ")";
        insert += ")";
        // The file is renamed into place only once complete, so it needs no journal.
        if (!exec(db.m_db,
                  "PRAGMA page_size=16384; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                  "BEGIN;"
                  "CREATE TABLE skl_store(format INTEGER);"
                  "INSERT INTO skl_store VALUES(1);"
                  "CREATE TABLE skl_fields(pos INTEGER PRIMARY KEY, name TEXT NOT NULL,"
                  " type INTEGER NOT NULL, size INTEGER NOT NULL);",
                  &why) ||
            !exec(db.m_db, create.constData(), &why) ||
            !exec(db.m_db, createView(path, schema).constData(), &why))
            return failed(why);
        {
            Stmt st(db.m_db, "INSERT INTO skl_fields VALUES(?,?,?,?)");
            if (!st.ok())
                return failed(dbError(db.m_db, QStringLiteral("schema")));
            for (int f = 0; f < n; ++f) {
                const QByteArray name = schema[f].name.toUtf8();
                sqlite3_bind_int(st.get(), 1, f);
                sqlite3_bind_text(st.get(), 2, name.constData(), int(name.size()),
                                  SQLITE_TRANSIENT);
                sqlite3_bind_int(st.get(), 3, schema[f].type);
                sqlite3_bind_int(st.get(), 4, schema[f].size);
                if (sqlite3_step(st.get()) != SQLITE_DONE)
                    return failed(dbError(db.m_db, QStringLiteral("schema")));
                sqlite3_reset(st.get());
            }
        }
        {
            Stmt st(db.m_db, insert);
            if (!st.ok())
                return failed(dbError(db.m_db, QStringLiteral("rows")));
            sqlite3_stmt *s = st.get();
            for (const int slot : slots) {
                sqlite3_bind_int64(s, 1, table.rowId(slot));
                for (int f = 0; f < n; ++f) {
                    const int col = f + 2;
                    const Column &c = table.column(f);
                    if (table.isNull(slot, f)) {
                        sqlite3_bind_null(s, col);
                    } else if (c.isText) {
                        const std::string_view v = c.text.original(slot);
                        sqlite3_bind_text(s, col, v.data(), int(v.size()), SQLITE_STATIC);
                    } else if (c.isBinary) {
                        const QByteArray &b = c.bytes[size_t(slot)];
                        sqlite3_bind_blob(s, col, b.constData(), int(b.size()), SQLITE_STATIC);
                    } else if (c.def.type == FieldType::Double || c.def.type == FieldType::Date) {
                        sqlite3_bind_double(s, col, c.numbers[size_t(slot)]);
                    } else {
                        sqlite3_bind_int64(s, col, qint64(c.numbers[size_t(slot)]));
                    }
                }
                if (sqlite3_step(s) != SQLITE_DONE)
                    return failed(dbError(db.m_db, QStringLiteral("rows")));
                sqlite3_reset(s);
            }
        }
        if (!exec(db.m_db, "COMMIT", &why))
            return failed(why);
        if (sqlite3_close_v2(db.m_db) != SQLITE_OK)
            return failed(dbError(db.m_db, QStringLiteral("closing")));
        db.m_db = nullptr;
    }
    return WrittenTemp{temp, path};
}

bool commit(const WrittenTemp &written, QString *error)
{
    const QByteArray nativeTemp = QFile::encodeName(written.temp);
    auto failed = [&](const QString &why) {
        if (error)
            *error =
                QStringLiteral("Saving %1: %2").arg(QDir::toNativeSeparators(written.path), why);
        QFile::remove(written.temp);
        return false;
    };
    if (!syncPath(nativeTemp, false))
        return failed(QStringLiteral("cannot sync the file"));
    if (std::rename(nativeTemp.constData(), QFile::encodeName(written.path).constData()) != 0)
        return failed(QStringLiteral("cannot replace the file"));
    syncPath(QFile::encodeName(QFileInfo(written.path).absolutePath()), true);
    return true;
}

bool save(const Table &table, const std::vector<int> &slots, const QString &path, QString *error)
{
    const std::optional<WrittenTemp> written = writeTemp(table, slots, path, error);
    return written && commit(*written, error);
}

QString viewName(const QString &path)
{
    static const std::pair<const char *, const char *> kNames[] = {
        {"favorites.skl", "favorites"},
        {"history8.skl", "history"},
        {"notestxt.skl", "notes"},
        {"options.skl", "options"},
        {"forms.skl", "forms"},
        {"sessions.skl", "sessions"},
        {"sklcurrentsession.skl", "session"},
        {"skltempsession.skl", "session"},
        {"sklpastsession.skl", "session"},
        {"sklsavedhtmfile.skl", "saved_files"},
        {"searches.skl", "searches"}};
    const QString file = QFileInfo(path).fileName().toLower();
    for (const auto &[name, view] : kNames) {
        if (file == QLatin1String(name))
            return QString::fromLatin1(view);
    }
    const QString base = QFileInfo(path).completeBaseName().toLower();
    // The store's own tables keep their names.
    return base.isEmpty() || base.startsWith(QLatin1String("skl_")) ? QStringLiteral("records")
                                                                    : base;
}

void removeStaleTemps(const QString &path)
{
    const QFileInfo info(path);
    QDir dir = info.absoluteDir();
    const QString prefix = info.fileName() + QLatin1String(kTempMarker);
    const QStringList names = dir.entryList({prefix + QLatin1Char('*')}, QDir::Files);
    for (const QString &name : names) {
        // A save still running in another live process keeps its file.
        bool ok = false;
        const qint64 pid = name.mid(prefix.size()).section(QLatin1Char('.'), 0, 0).toLongLong(&ok);
        if (ok && pid > 0 && pid != QCoreApplication::applicationPid() &&
            (::kill(pid_t(pid), 0) == 0 || errno == EPERM))
            continue;
        dir.remove(name);
    }
}

QString setAside(const QString &path)
{
    const QString base = path + QStringLiteral(".broken-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int i = 2; QFileInfo::exists(target); ++i)
        target = base + QLatin1Char('-') + QString::number(i);
    return QFile::rename(path, target) ? target : QString();
}

} // namespace StoreFile
