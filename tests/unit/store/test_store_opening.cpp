// The opening routines, the favorites upgrade, broken files set aside, the session-file rotation
// and the two exit steps.
#include "StoreTestUtil.h"
#include "TempProfile.h"
#include "store/DateValue.h"
#include "store/Stores.h"

#include <QDir>
#include <QtTest>

namespace {

struct Env
{
    TempProfile profile;
    QString data = profile.file("data");
    QString common = profile.file("data/common");
    ErrorLog log{profile.file("data/common/LoggedErrors.txt")};

    Env() { QDir().mkpath(common); }
    QString logText() const
    {
        QFile f(log.path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QStringList dataFiles() const { return QDir(data).entryList(QDir::Files, QDir::Name); }
};

struct LoadCall
{
    QString url;
    QByteArray postData;
    QString headers;
    bool operator==(const LoadCall &) const = default;
};

void addHistory(Recordset &rs, int count, double newest)
{
    // Ascending minutes apart, stored in a shuffled order.
    for (int i = 0; i < count; ++i) {
        const int k = (i * 7919) % count;
        QVERIFY(rs.AddNew({"Date", "Title", "URL"}, {newest - k / 1440.0, QString("h%1").arg(k),
                                                     QString("http://h/%1").arg(k)}));
    }
}

} // namespace

class TestStoreOpening : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstStartCreatesTheFiles();
    void favoritesFirstRunImport();
    void favoritesOlderSchemaIsConverted();
    void brokenFilesAreSetAsideAndReplaced_data();
    void brokenFilesAreSetAsideAndReplaced();
    void historyFromMemoryOrFile();
    void historyTrimmedAtExit_data();
    void historyTrimmedAtExit();
    void sessionRotationAcrossNormalAndAbortedRuns();
    void interruptedRecoveryKeepsItsPages();
};

void TestStoreOpening::firstStartCreatesTheFiles()
{
    Env env;
    Stores s(env.log);
    OpenAllStores(s, env.data, env.common);

    // The lock marks the current session as this program's while it runs.
    QCOMPARE(env.dataFiles(),
             (QStringList{"Favorites.skl", "Forms.skl", "NotesTxt.skl", "Options.skl",
                          "sklCurrentSession.skl", "sklCurrentSession.skl.lock"}));
    QVERIFY(QFileInfo::exists(env.common + "/Sessions.skl"));

    for (Recordset *rs : {&s.rsFavorites, &s.rsNotes, &s.rsOptions, &s.rsForms, &s.rsCurrentSession,
                          &s.rsCurrentSessionClone, &s.rsSavedFiles})
        QVERIFY(rs->State());
    QVERIFY(!s.rsSessions.State());
    QVERIFY(!s.rsTempSession.State());
    QVERIFY(!s.rsHistory.State()); // only when history is on
    QCOMPARE(s.rsFavorites.schema(), FavoritesSchema());
    QVERIFY(env.logText().isEmpty());

    // The saved-files store gets its file with its first save.
    QVERIFY(s.rsSavedFiles.AddNew({"Title", "Filename"}, {"page", "page.htm"}));
    QVERIFY(s.rsSavedFiles.Save());
    QVERIFY(QFileInfo::exists(s.gsSavedFilesFile));

    // A session record is seen through the clone.
    QVERIFY(s.rsCurrentSession.AddNew({"Order", "URL"}, {10000, "http://x/"}));
    QVERIFY(s.rsCurrentSessionClone.Find("URL = 'http://x/'"));
}

void TestStoreOpening::favoritesFirstRunImport()
{
    Env env;
    int calls = 0;
    {
        Stores s(env.log);
        s.favoritesImport = [&](Recordset &rs) {
            ++calls;
            QVERIFY(rs.AddNew({"Keywords", "Title", "bfFav"}, {"Links", "Quick", 1}));
            QVERIFY(rs.AddNew({"Keywords", "Title", "Period"}, {"", "Home", 1}));
            QVERIFY(rs.SetFilter("Keywords LIKE 'links*'")); // left set: must not limit the save
        };
        // The imported favorites are written at once, the other empty stores at their first save.
        OpenAllStores(s, env.data, env.common, EmptyStoreFiles::AtFirstSave);
        QCOMPARE(calls, 1);
        QCOMPARE(s.rsFavorites.RecordCount(), 2);
        QCOMPARE(s.pendingFiles.size(), 3); // notes, options, forms
    }
    auto back = Recordset::Open(QDir(env.data).filePath("Favorites.skl"));
    QVERIFY(back);
    QCOMPARE(back->RecordCount(), 2);

    Stores again(env.log);
    again.favoritesImport = [&](Recordset &) { ++calls; };
    OpenAllStores(again, env.data, env.common);
    QCOMPARE(calls, 1); // only when no file existed
}

void TestStoreOpening::favoritesOlderSchemaIsConverted()
{
    Env env;
    QDir().mkpath(env.data);
    const QString path = QDir(env.data).filePath("Favorites.skl");
    using namespace FieldType;
    const Schema old = {
        {"Keywords", WChar, 255},       {"Title", WChar, 255},       {"URL", LongWChar, 2048},
        {"Description", WChar, 512},    {"DocKeywords", WChar, 512}, {"Extra", LongWChar, 4096},
        {"Period", UnsignedTinyInt, 0}, {"Gone", Integer, 0},        {"Selected", Integer, 0}};
    {
        Recordset rs = Recordset::Create(old, path);
        QVERIFY(rs.AddNew({"Keywords", "Title", "URL", "Extra", "Period", "Gone", "Selected"},
                          {"News", "Paper", "http://p/", "x", 1, 7, 3}));
        QVERIFY(rs.AddNew({"Title", "Selected"}, {"Too big", 1000})); // no longer fits
        QVERIFY(rs.Save());
    }
    Stores s(env.log);
    bool imported = false;
    s.favoritesImport = [&](Recordset &) { imported = true; };
    OpenAllStores(s, env.data, env.common);
    QVERIFY(!imported);
    QCOMPARE(s.rsFavorites.schema(), FavoritesSchema());
    QCOMPARE(s.rsFavorites.RecordCount(), 2);
    QVERIFY(s.rsFavorites.Find("Title = 'Paper'"));
    QCOMPARE(s.rsFavorites.Field("Keywords").toString(), QString("News"));
    QCOMPARE(s.rsFavorites.Field("URL").toString(), QString("http://p/"));
    QCOMPARE(s.rsFavorites.Field("Extra").toString(), QString("x"));
    QCOMPARE(s.rsFavorites.Field("Period").toInt(), 1);
    QCOMPARE(s.rsFavorites.Field("Selected").toInt(), 3);
    QVERIFY(!s.rsFavorites.Field("Notes").isValid()); // new fields start empty
    QVERIFY(s.rsFavorites.Find("Title = 'Too big'"));
    QVERIFY(!s.rsFavorites.Field("Selected").isValid());

    // The converted file replaced the old one.
    auto back = Recordset::Open(path);
    QVERIFY(back);
    QCOMPARE(back->schema(), FavoritesSchema());
    QCOMPARE(back->RecordCount(), 2);
    QCOMPARE(env.dataFiles().filter("Favorites"), QStringList{"Favorites.skl"});
}

void TestStoreOpening::brokenFilesAreSetAsideAndReplaced_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("context");
    QTest::addColumn<bool>("wrongSchema");
    const auto row = [](const char *name, const char *file, const char *context, bool wrong) {
        QTest::newRow(name) << QString::fromLatin1(file) << QString::fromLatin1(context) << wrong;
    };
    // One store of those opened by the shared routine stands for the others.
    row("favorites garbage", "Favorites.skl", " Opening Favorites Database", false);
    row("notes wrong schema", "NotesTxt.skl", " Opening Notes database.", true);
    row("crashed session garbage", "sklCurrentSession.skl", " Opening Sessions database.", false);
    row("history wrong schema", "History8.skl", " Opening History Database", true);
}

void TestStoreOpening::brokenFilesAreSetAsideAndReplaced()
{
    QFETCH(QString, file);
    QFETCH(QString, context);
    QFETCH(bool, wrongSchema);
    Env env;
    QDir().mkpath(env.data);
    const QString path = QDir(env.data).filePath(file);
    if (wrongSchema) {
        Recordset rs = Recordset::Create(OptionsSchema(), path);
        QVERIFY(rs.Save());
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("SQLite format 3\0 but then nothing useful at all........", 56);
    }

    Stores s(env.log);
    bool imported = false;
    s.favoritesImport = [&](Recordset &) { imported = true; };
    OpenAllStores(s, env.data, env.common);
    OpenHistoryStore(s);
    QCOMPARE(imported, file != "Favorites.skl"); // a broken file is not a first run

    // A crashed session's file is renamed to the temporary session before it is read.
    const QString base = file == "sklCurrentSession.skl" ? "sklTempSession.skl" : file;
    const QStringList aside = QDir(env.data).entryList({base + ".broken-*"}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QVERIFY(QRegularExpression(QRegularExpression::escape(base) + R"(\.broken-\d{8}-\d{6})")
                .match(aside[0])
                .hasMatch());
    const QString log = env.logText();
    QVERIFY2(log.contains(aside[0]), qPrintable(log));
    QVERIFY2(log.endsWith(context), qPrintable(log));

    // The program goes on with an empty store.
    for (Recordset *rs : {&s.rsFavorites, &s.rsNotes, &s.rsOptions, &s.rsForms, &s.rsCurrentSession,
                          &s.rsSavedFiles, &s.rsHistory}) {
        QVERIFY(rs->State());
        QCOMPARE(rs->RecordCount(), 0);
    }
    QVERIFY(!s.rsTempSession.State());
    QVERIFY(!s.gbHistoryFromFile || file != "History8.skl");
}

void TestStoreOpening::historyFromMemoryOrFile()
{
    Env env;
    {
        Stores s(env.log);
        OpenAllStores(s, env.data, env.common);
        OpenHistoryStore(s);
        QVERIFY(s.rsHistory.State());
        QVERIFY(!s.gbHistoryFromFile);
        QVERIFY(!QFileInfo::exists(s.gsHistoryFile)); // memory only until exit
        addHistory(s.rsHistory, 3, DateValue::now());
        OpenHistoryStore(s); // switched on again: this run's visits stay
        QCOMPARE(s.rsHistory.RecordCount(), 3);
        SaveHistoryAtExit(s);
        QVERIFY(!s.rsHistory.State());
        QVERIFY(QFileInfo::exists(s.gsHistoryFile));
    }
    Stores s(env.log);
    OpenAllStores(s, env.data, env.common);
    OpenHistoryStore(s);
    QVERIFY(s.gbHistoryFromFile);
    QCOMPARE(s.rsHistory.RecordCount(), 3);
}

void TestStoreOpening::historyTrimmedAtExit_data()
{
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("kept");
    QTest::newRow("600: untouched") << 600 << 600;
    QTest::newRow("601: only those newer than the 600th newest") << 601 << 599;
}

void TestStoreOpening::historyTrimmedAtExit()
{
    QFETCH(int, records);
    QFETCH(int, kept);
    Env env;
    Stores s(env.log);
    BuildStorePaths(s, env.data, env.common);
    QDir().mkpath(env.data);
    OpenHistoryStore(s);
    // Dates with milliseconds: records within the same second as the 600th newest still count
    // as older or newer by their exact time.
    const double newest = *DateValue::parseGeneral("2024-05-05 12:00:00") + 0.25 / 86400;
    addHistory(s.rsHistory, records, newest);
    QVERIFY(s.rsHistory.SetFilter("Title = 'h1'")); // a leftover filter is cleared first
    SaveHistoryAtExit(s);
    QVERIFY(!s.rsHistory.State());

    auto back = Recordset::Open(s.gsHistoryFile);
    QVERIFY(back);
    QCOMPARE(back->RecordCount(), kept);
    QVERIFY(back->SetSort("Date DESC"));
    QCOMPARE(back->Field("Title").toString(), QString("h0"));
    back->MoveLast();
    QCOMPARE(back->Field("Title").toString(), QString("h%1").arg(kept - 1));
    QVERIFY(env.logText().isEmpty());
}

void TestStoreOpening::sessionRotationAcrossNormalAndAbortedRuns()
{
    Env env;
    QDir().mkpath(env.data);

    // Run 1 ends normally.
    {
        Stores s(env.log);
        OpenAllStores(s, env.data, env.common);
        QVERIFY(!s.rsTempSession.State());
        QVERIFY(!QFileInfo::exists(s.gsTempSessionFile));
        QVERIFY(s.rsCurrentSession.AddNew({"Order", "URL", "bRead"}, {10000, "http://one/", 1}));
        QVERIFY(s.rsCurrentSession.SetFilter("bRead = 0")); // cleared before saving
        RotateSessionAtExit(s);
        QVERIFY(!s.rsCurrentSession.State() && !s.rsCurrentSessionClone.State());
        QVERIFY(!QFileInfo::exists(s.gsCurrentSessionFile));
        auto past = Recordset::Open(s.gsPastSessionFile);
        QVERIFY(past);
        QCOMPARE(column(*past, "URL"), QStringList{"http://one/"});
    }

    // Run 2 is killed: its current-session file stays behind.
    {
        Stores s(env.log);
        OpenAllStores(s, env.data, env.common);
        QVERIFY(!s.rsTempSession.State());
        const QList<QVariantList> rows = {
            {10000, "http://read/", 1, QByteArray(), ""},
            {10001, "http://a/", 0, QByteArray("q=1"), "Referer: x\r\n"},
            {10002, "http://b/", 0, QByteArray(), ""},
            {10003, "http://read2/", 1, QByteArray(), ""},
            {10004, "http://c/", 0, QByteArray(), ""},
        };
        for (const QVariantList &r : rows)
            QVERIFY(s.rsCurrentSession.AddNew({"Order", "URL", "bRead", "PostData", "Headers"}, r));
        QVERIFY(s.rsCurrentSession.Save());
    }

    // Run 3 finds it, reloads its unread pages in order, then drops it.
    Stores s(env.log);
    OpenAllStores(s, env.data, env.common);
    QVERIFY(s.rsTempSession.State());
    QCOMPARE(s.rsTempSession.Filter(), QString("bRead = 0"));
    QCOMPARE(s.rsTempSession.RecordCount(), 3);
    QVERIFY(QFileInfo::exists(s.gsTempSessionFile));
    QVERIFY(s.rsCurrentSession.State());
    QCOMPARE(s.rsCurrentSession.RecordCount(), 0); // a fresh current session

    QList<LoadCall> calls;
    ContinueAbortedSession(s, [&](const QString &url, const QByteArray &post, const QString &h) {
        calls.append({url, post, h});
    });
    const QList<LoadCall> expected = {{"http://a/", "q=1", "Referer: x\r\n"},
                                      {"http://b/", QByteArray(), ""},
                                      {"http://c/", QByteArray(), ""}};
    QCOMPARE(calls, expected);
    QVERIFY(!s.rsTempSession.State());
    QVERIFY(!QFileInfo::exists(s.gsTempSessionFile));

    // Nothing to continue: harmless.
    ContinueAbortedSession(s, [&](const QString &, const QByteArray &, const QString &) {
        QFAIL("no session to continue");
    });
    QVERIFY(env.logText().isEmpty());
}

// A run that ends before it has reloaded the pages of the run that crashed before it: the
// next start still has them, together with its own.
void TestStoreOpening::interruptedRecoveryKeepsItsPages()
{
    Env env;
    QDir().mkpath(env.data);
    {
        Stores s(env.log);
        OpenAllStores(s, env.data, env.common);
        QVERIFY(s.rsCurrentSession.AddNew({"Order", "URL", "bRead"}, {10001, "http://one/", 0}));
        QVERIFY(s.rsCurrentSession.Save()); // killed
    }
    {
        Stores s(env.log);
        OpenAllStores(s, env.data, env.common);
        QCOMPARE(column(s.rsTempSession, "URL"), QStringList{"http://one/"});
        QVERIFY(s.rsCurrentSession.AddNew({"Order", "URL", "bRead"}, {10001, "http://two/", 0}));
        QVERIFY(s.rsCurrentSession.Save()); // killed again before reloading anything
    }
    {
        Stores s(env.log);
        OpenAllStores(s, env.data, env.common);
        QCOMPARE(column(s.rsTempSession, "URL"), (QStringList{"http://one/", "http://two/"}));
        QVERIFY(!QFileInfo::exists(s.gsCurrentSessionFile) ||
                s.rsCurrentSession.RecordCount() == 0);
        // The pages could not be kept where they went: the temporary session stays.
        QStringList loaded;
        ContinueAbortedSession(
            s, [&](const QString &url, const QByteArray &, const QString &) { loaded << url; },
            [] { return false; });
        QCOMPARE(loaded, (QStringList{"http://one/", "http://two/"}));
        QVERIFY(QFileInfo::exists(s.gsTempSessionFile));
    }
    Stores s(env.log);
    OpenAllStores(s, env.data, env.common);
    QCOMPARE(s.rsTempSession.RecordCount(), 2);
    ContinueAbortedSession(
        s, [&](const QString &, const QByteArray &, const QString &) {}, [] { return true; });
    QVERIFY(!QFileInfo::exists(s.gsTempSessionFile));
    QVERIFY(env.logText().isEmpty());
}

QTEST_GUILESS_MAIN(TestStoreOpening)
#include "test_store_opening.moc"
