// Store files: round trips, saving under a filter, unreadable files, and saves killed midway.
#include "StoreTestUtil.h"
#include "TempProfile.h"
#include "store/BackgroundSaves.h"
#include "store/DateValue.h"
#include "store/StoreFile.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <sqlite3.h>

#include <cstdio>

namespace {

Schema everyType()
{
    using namespace FieldType;
    return {{"i32", Integer, 0},        {"dbl", Double, 0},
            {"when", Date, 0},          {"i8", TinyInt, 0},
            {"u8", UnsignedTinyInt, 0}, {"u16", UnsignedSmallInt, 0},
            {"u32", UnsignedInt, 0},    {"ch", Char, 1},
            {"name", WChar, 255},       {"text", LongWChar, 32768},
            {"icon", VarBinary, 256},   {"post", LongVarBinary, 4096}};
}

Schema loopSchema()
{
    return {{"Gen", FieldType::UnsignedInt, 0}, {"Text", FieldType::LongWChar, 4096}};
}

Recordset generation(int gen, int rows)
{
    Recordset rs = Recordset::Create(loopSchema());
    const QString filler = QString("generation %1 ").arg(gen).repeated(12);
    for (int i = 0; i < rows; ++i)
        (void)rs.AddNew({"Gen", "Text"}, {gen, filler});
    return rs;
}

constexpr int kLoopRows = 20000;

int rowsOf(int gen)
{
    return gen == 1 ? kLoopRows : kLoopRows * 3 / 4;
}

// Child process: saves two generations in turn over `path` until it is killed, so the kill
// nearly always lands inside a save.
int saveLoop(const QString &path)
{
    Recordset stores[2] = {generation(1, rowsOf(1)), generation(2, rowsOf(2))};
    for (int i = 0;; ++i) {
        if (!stores[i % 2].Save(path))
            return 2;
        std::printf("saved %d\n", i % 2 + 1);
        std::fflush(stdout);
    }
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void sqlExec(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char *err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    const QString message = QString::fromUtf8(err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(message));
}

// The rows a query gives, their columns joined by "|"; "error: ..." when it fails.
QStringList sqlRows(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QStringList out;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK ||
        sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
        out << QStringLiteral("error: ") + QString::fromUtf8(sqlite3_errmsg(db));
    } else {
        while (sqlite3_step(st) == SQLITE_ROW) {
            QStringList row;
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                row << QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(st, c)));
            out << row.join(QLatin1Char('|'));
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

} // namespace

class TestStoreFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTripKeepsSchemaValuesAndBookmarks();
    void reopenedStoreEditsBeforeFirstSearch();
    void saveUnderFilterWritesVisibleRowsOnly();
    void failedSaveKeepsTheOldFile();
    void unreadableFilesAreRefused_data();
    void unreadableFilesAreRefused();
    void killedSaveLeavesOldOrNewFile();
    void viewShowsTheFieldNames();
    void backgroundSavesLandInOrder();
};

void TestStoreFile::roundTripKeepsSchemaValuesAndBookmarks()
{
    TempProfile profile;
    const QString path = profile.file("all.skl");
    const double when = *DateValue::parseGeneral("2023-07-08 09:10:11");
    const QByteArray blob("\x00\xff\x10 zero", 8);

    const QStringList names{"i32", "dbl", "when", "i8",   "u8",   "u16",
                            "u32", "ch",  "name", "text", "icon", "post"};
    QVariantList values{-2147483647, 0.1, when, -128, 255, 65535, qint64(4294967295LL), "c"};
    values << QString::fromUtf8("Zoë 😀") << "line1\r\nline2\t'quoted' \\ \"x\"" << blob
           << QByteArray("a=1&b=2");
    Recordset rs = Recordset::Create(everyType(), path);
    QVERIFY(rs.AddNew(names, values));
    rs.AddNew(); // all Null
    QVERIFY(rs.AddNew({"name", "text", "post"}, {"", "", QByteArray("")}));
    QVERIFY(rs.SetAbsolutePosition(2));
    const double nullRow = rs.Bookmark();
    QVERIFY(rs.Save());
    QVERIFY(QDir(profile.path()).entryList(QDir::Files) == QStringList{"all.skl"}); // no temp

    QString error;
    auto back = Recordset::Open(path, &error);
    QVERIFY2(back, qPrintable(error));
    QCOMPARE(back->schema(), everyType());
    QCOMPARE(back->path(), path);
    QCOMPARE(back->RecordCount(), 3);
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(back->Field(names[i]).metaType(), values[i].metaType());
        QCOMPARE(back->Field(names[i]), values[i]);
    }

    QVERIFY(back->SetBookmark(nullRow));
    for (int f = 0; f < back->FieldCount(); ++f)
        QVERIFY2(!back->Field(f).isValid(), qPrintable(everyType()[f].name));
    back->MoveNext(); // empty values stay empty, not Null
    QCOMPARE(back->Field("name"), QVariant(QString("")));
    QVERIFY(back->Field("text").isValid());
    QVERIFY(back->Field("post").isValid());
    QVERIFY(!back->Field("i32").isValid());
    QVERIFY(back->SetFilter("name = ''"));
    QCOMPARE(back->RecordCount(), 2);

    // New rows after a reopen never take an id that was handed out before.
    const double last = back->Bookmark();
    back->AddNew();
    QVERIFY(back->Bookmark() > last);
}

// A loaded store folds its text on first use; edits that come before it (and compactions they
// cause) must leave reads and searches right.
void TestStoreFile::reopenedStoreEditsBeforeFirstSearch()
{
    TempProfile profile;
    const QString path = profile.file("h.skl");
    {
        Recordset rs = Recordset::Create(HistorySchema(), path);
        for (int i = 0; i < 50; ++i)
            QVERIFY(rs.AddNew({"Title", "URL", "Visits", "Description"},
                              {QString("Title %1 ÄÖ").arg(i),
                               i % 5 ? QVariant(QString("http://h/%1").arg(i)) : QVariant(), i,
                               QString("Desc %1").arg(i)}));
        QVERIFY(rs.Save());
    }
    auto rs = Recordset::Open(path);
    QVERIFY(rs);
    QVERIFY(rs->SetAbsolutePosition(3));
    QVERIFY(rs->SetField("URL", QString("http://changed/").repeated(200))); // over the size: cut
    rs->MoveNext();
    QVERIFY(rs->SetField("Title", QVariant()));
    // Rewrites big enough to compact the unfolded text.
    for (int round = 0; round < 40; ++round) {
        QVERIFY(rs->SetAbsolutePosition(10));
        QVERIFY(rs->SetField("Description", QString("round %1 ").arg(round).repeated(200)));
        rs->Update();
    }
    QVERIFY(rs->SetAbsolutePosition(2));
    QCOMPARE(rs->Field("Title").toString(), QString::fromUtf8("Title 1 ÄÖ"));
    QVERIFY(rs->SetAbsolutePosition(3));
    QCOMPARE(rs->Field("URL").toString().size(), 2048);

    QVERIFY(rs->SetFilter("URL LIKE '*changed*' OR Title LIKE '*47 äö*'"));
    QCOMPARE(column(*rs, "Visits"), (QStringList{"2", "47"}));
    QVERIFY(rs->SetFilter("Description LIKE '*round 39*' OR Description = 'desc 20'"));
    QCOMPARE(column(*rs, "Visits"), (QStringList{"9", "20"}));
    QVERIFY(rs->SetFilter("Title = ''")); // the emptied title, and no other
    QCOMPARE(column(*rs, "Visits"), QStringList{"3"});
    QVERIFY(rs->SetFilter("URL = ''"));
    QCOMPARE(rs->RecordCount(), 10);
    rs->ClearFilter();
    QVERIFY(rs->Save());
    auto again = Recordset::Open(path);
    QVERIFY(again);
    QCOMPARE(again->RecordCount(), 50);
    QVERIFY(again->SetFilter("Description LIKE 'round 39*'"));
    QCOMPARE(again->RecordCount(), 1);
}

void TestStoreFile::saveUnderFilterWritesVisibleRowsOnly()
{
    TempProfile profile;
    Recordset rs = makeStore(NotesSchema(), {{{"Note", "keep 1"}, {"Status", 0}},
                                             {{"Note", "drop"}, {"Status", 2}},
                                             {{"Note", "keep 2"}, {"Status", 1}}});
    QVERIFY(rs.SetSort("Note DESC"));
    QVERIFY(rs.SetFilter("Status <> 2"));
    const QString path = profile.file("notes.skl");
    QVERIFY(rs.Save(path));
    QCOMPARE(rs.path(), path); // the store now belongs to that file
    QCOMPARE(rs.RecordCount(), 2);
    rs.ClearFilter();
    QCOMPARE(rs.RecordCount(), 3); // memory keeps every row

    auto back = Recordset::Open(path);
    QVERIFY(back);
    QCOMPARE(column(*back, "Note"), (QStringList{"keep 1", "keep 2"})); // stored order
}

void TestStoreFile::failedSaveKeepsTheOldFile()
{
    TempProfile profile;
    const QString path = profile.file("opts.skl");
    Recordset rs = makeStore(OptionsSchema(), {{{"key", "a"}, {"value", "1"}}});
    QVERIFY(rs.Save(path));

    QVERIFY(!rs.Save(profile.file("missing/dir/opts.skl")));
    QVERIFY(!rs.lastError().isEmpty());
    QCOMPARE(rs.path(), path);

    // A directory in the way: the rename fails, the temporary file goes away.
    QVERIFY(QDir(profile.path()).mkdir("blocked.skl"));
    QVERIFY(!rs.Save(profile.file("blocked.skl")));
    QCOMPARE(QDir(profile.path()).entryList(QDir::Files), QStringList{"opts.skl"});

    auto back = Recordset::Open(path);
    QVERIFY(back);
    QCOMPARE(back->RecordCount(), 1);
}

void TestStoreFile::unreadableFilesAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *k :
         {"missing", "empty", "garbage", "truncated", "other database", "unknown format",
          "unknown type code", "gap in fields", "text in a number field", "missing column"})
        QTest::newRow(k) << QString(k);
}

void TestStoreFile::unreadableFilesAreRefused()
{
    QFETCH(QString, kind);
    TempProfile profile;
    const QString path = profile.file("x.skl");
    auto validFile = [&](int rows) {
        Recordset rs = generation(1, rows);
        QVERIFY(rs.Save(path));
    };

    if (kind == "empty") {
        writeFile(path, {});
    } else if (kind == "garbage") {
        writeFile(path, QByteArray(5000, 'x'));
    } else if (kind == "truncated") {
        validFile(3000);
        QFile f(path);
        QVERIFY(f.resize(f.size() / 2));
    } else if (kind == "other database") {
        sqlExec(path, "CREATE TABLE t(a); INSERT INTO t VALUES(1);");
    } else if (kind == "unknown format") {
        validFile(1);
        sqlExec(path, "UPDATE skl_store SET format = 99");
    } else if (kind == "unknown type code") {
        validFile(1);
        sqlExec(path, "UPDATE skl_fields SET type = 4 WHERE pos = 0");
    } else if (kind == "gap in fields") {
        validFile(1);
        sqlExec(path, "UPDATE skl_fields SET pos = 5 WHERE pos = 1");
    } else if (kind == "text in a number field") {
        validFile(2);
        sqlExec(path, "UPDATE skl_rows SET c0 = 'abc'");
    } else if (kind == "missing column") {
        validFile(1);
        sqlExec(path, "INSERT INTO skl_fields VALUES(2, 'More', 3, 0)");
    }

    QString error;
    auto rs = Recordset::Open(path, &error);
    QVERIFY(!rs);
    QVERIFY(!error.isEmpty());
}

void TestStoreFile::killedSaveLeavesOldOrNewFile()
{
    TempProfile profile;
    const QString path = profile.file("History8.skl");
    {
        Recordset first = generation(1, rowsOf(1));
        QVERIFY(first.Save(path));
    }
    int lastGen = 0;
    for (int round = 0; round < 6; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--save-loop", path});
        QVERIFY(child.waitForStarted());
        // Let it finish `round` saves, so the kill lands inside a later one.
        int lines = 0;
        while (lines <= round && child.waitForReadyRead(60000)) {
            while (child.canReadLine()) {
                child.readLine();
                ++lines;
            }
        }
        QVERIFY(lines > 0);
        QThread::msleep(ulong(round) * 3); // vary where in the save the kill lands
        child.kill();                      // SIGKILL
        QVERIFY(child.waitForFinished());

        QString error;
        auto rs = Recordset::Open(path, &error);
        QVERIFY2(rs, qPrintable(error));
        const int gen = rs->Field("Gen").toInt();
        QVERIFY(gen == 1 || gen == 2);
        QCOMPARE(rs->RecordCount(), rowsOf(gen));
        QVERIFY(rs->SetFilter(QString("Gen <> %1").arg(gen)));
        QCOMPARE(rs->RecordCount(), 0); // one whole generation, never a mix
        lastGen = gen;

        StoreFile::removeStaleTemps(path);
        QCOMPARE(QDir(profile.path()).entryList(QDir::Files), QStringList{"History8.skl"});
    }
    QVERIFY(lastGen >= 1);

    // A save in progress in a live process (pid 1 stands in for one) is left alone.
    writeFile(path + ".tmp-1", "in progress");
    StoreFile::removeStaleTemps(path);
    QVERIFY(QFileInfo::exists(path + ".tmp-1"));
}

// Someone who opens a file with sqlite3 reads the records under their field names, also after
// the schema grew; the program still reads files written before the view.
void TestStoreFile::viewShowsTheFieldNames()
{
    TempProfile profile;
    const QString path = profile.file("Favorites.skl");
    Recordset rs = Recordset::Create(FavoritesSchema(), path);
    QVERIFY(rs.AddNew({"Title", "URL"}, {"It's \"here\"", "http://site.test/a"}));
    QVERIFY(rs.Save());
    QCOMPARE(sqlRows(path, "SELECT Title, URL FROM favorites"),
             QStringList{"It's \"here\"|http://site.test/a"});

    Schema grown = loopSchema();
    grown.append({"Odd \"name\"", FieldType::Integer, 0});
    Recordset upgraded = Recordset::Create(grown, path);
    QVERIFY(upgraded.AddNew({"Gen", "Odd \"name\""}, {7, 8}));
    QVERIFY(upgraded.Save());
    QCOMPARE(sqlRows(path, "SELECT Gen, \"Odd \"\"name\"\"\" FROM favorites"), QStringList{"7|8"});
    QCOMPARE(StoreFile::viewName(profile.file("sklPastSession.skl")), QStringLiteral("session"));

    sqlExec(path, "DROP VIEW favorites");
    auto back = Recordset::Open(path);
    QVERIFY(back);
    QCOMPARE(back->Field("Odd \"name\""), QVariant(8));
}

// Saves finished on another thread: each lands in the order written, the caller hears of each,
// and one that cannot take its place says so and leaves no temporary file behind.
void TestStoreFile::backgroundSavesLandInOrder()
{
    TempProfile profile;
    const QString path = profile.file("sklCurrentSession.skl");
    Recordset rs = Recordset::Create(loopSchema(), path);
    BackgroundSaves saves;
    QStringList heard;
    for (int gen = 1; gen <= 5; ++gen) {
        QVERIFY(rs.AddNew({"Gen", "Text"}, {gen, "row"}));
        QVERIFY(rs.SaveInBackground(saves, [&heard, gen](bool ok, const QString &) {
            heard << QString("%1:%2").arg(gen).arg(ok);
        }));
    }
    saves.waitForDone();
    QCOMPARE(heard, (QStringList{"1:1", "2:1", "3:1", "4:1", "5:1"}));
    auto back = Recordset::Open(path);
    QVERIFY(back);
    QCOMPARE(back->RecordCount(), 5);

    // A folder where the file should go: the rename cannot replace it.
    const QString blocked = profile.file("Blocked.skl");
    QVERIFY(QDir().mkpath(blocked + "/inside"));
    Recordset other = Recordset::Create(loopSchema(), blocked);
    QString error;
    QVERIFY(other.SaveInBackground(
        saves, [&error](bool ok, const QString &why) { error = ok ? QString("saved") : why; }));
    saves.waitForDone();
    QVERIFY2(error.contains("cannot replace"), qPrintable(error));
    QCOMPARE(QDir(profile.path()).entryList(QDir::Files), QStringList{"sklCurrentSession.skl"});
}

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--save-loop") == 0)
        return saveLoop(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestStoreFile test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_store_file.moc"
