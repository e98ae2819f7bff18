#include "FakeBrowserControl.h"
#include "FakePlatform.h"
#include "TempProfile.h"
#include "startup/Main.h"
#include "store/Stores.h"
#include "store/SystemFolders.h"
#include "store/modRegistry.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QtTest>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

struct Folders2
{
    QString data;
    QString common;
    explicit Folders2(const TempProfile &p) : data(p.file("data")), common(p.file("data/common"))
    {
        QDir().mkpath(common);
    }
};

QStringList sklFiles(const QString &folder)
{
    return QDir(folder).entryList({"*.skl"}, QDir::Files, QDir::Name);
}

QStringList urlsIn(const QString &path)
{
    QStringList out;
    auto rs = Recordset::Open(path);
    if (!rs)
        return {"<unreadable>"};
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        out << rs->Field("URL").toString();
    return out;
}

QStringList recovered(Stores &s)
{
    QStringList out;
    if (!s.rsTempSession.State())
        return out;
    for (s.rsTempSession.MoveFirst(); !s.rsTempSession.isEOF(); s.rsTempSession.MoveNext())
        out << s.rsTempSession.Field("URL").toString();
    out.sort();
    return out;
}

bool addPage(Stores &s, const QString &url, int read = 0)
{
    return s.rsCurrentSession.AddNew({"Order", "URL", "bRead", "bLoaded"}, {10001, url, read, 1}) &&
           s.rsCurrentSession.Save();
}

// A program in another process that opens the stores, records one page and keeps running until
// its input closes (then it ends normally) or it is killed.
class Child
{
public:
    bool start(const Folders2 &f, const QString &url)
    {
        m_process.start(QCoreApplication::applicationFilePath(),
                        {"--hold-session", f.data, f.common, url});
        if (!m_process.waitForStarted(20000))
            return false;
        while (m_process.canReadLine() || m_process.waitForReadyRead(20000)) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("ready ")) {
                m_sessionFile = QString::fromUtf8(line.mid(6));
                return true;
            }
        }
        return false;
    }
    void kill()
    {
        m_process.kill();
        m_process.waitForFinished(20000);
    }
    bool endNormally()
    {
        m_process.closeWriteChannel();
        return m_process.waitForFinished(20000) && m_process.exitCode() == 0;
    }
    QString sessionFile() const { return m_sessionFile; }

private:
    QProcess m_process;
    QString m_sessionFile;
};

int holdSession(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ErrorLog log;
    Stores s(log);
    OpenAllStores(s, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (!addPage(s, QString::fromLocal8Bit(argv[4])))
        return 2;
    std::printf("ready %s\n", qPrintable(s.gsCurrentSessionFile));
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    RotateSessionAtExit(s);
    return 0;
}

} // namespace

class TestSessionFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void otherProcess_data()
    {
        QTest::addColumn<bool>("childFirst"); // the child owns the shared file
        QTest::addColumn<bool>("killed");
        QTest::addColumn<QStringList>("recoveredLater");
        QTest::newRow("shared file's owner killed") << true << true << QStringList{"http://child/"};
        QTest::newRow("own file's owner killed") << false << true << QStringList{"http://child/"};
        QTest::newRow("own file's owner ended normally") << false << false << QStringList{};
    }
    void otherProcess()
    {
        QFETCH(bool, childFirst);
        QFETCH(bool, killed);
        QFETCH(QStringList, recoveredLater);
        TempProfile p;
        Folders2 f(p);
        ErrorLog log;
        Child child;
        auto here = std::make_unique<Stores>(log);
        if (childFirst) {
            QVERIFY(child.start(f, "http://child/"));
            OpenAllStores(*here, f.data, f.common);
            QVERIFY(here->gbOwnSessionFile);
        } else {
            OpenAllStores(*here, f.data, f.common);
            QVERIFY(child.start(f, "http://child/"));
            QVERIFY(!here->gbOwnSessionFile);
            QVERIFY(child.sessionFile() != here->gsCurrentSessionFile);
        }
        // Whoever starts second leaves the other's live session alone.
        QVERIFY(recovered(*here).isEmpty());
        QCOMPARE(urlsIn(child.sessionFile()), QStringList{"http://child/"});
        QVERIFY(addPage(*here, "http://here/", 1));

        if (killed)
            child.kill();
        else
            QVERIFY(child.endNormally());
        // A second program that ends first leaves its pages as the past session.
        if (!childFirst && !killed)
            QCOMPARE(urlsIn(here->gsPastSessionFile), QStringList{"http://child/"});
        // A start beside a live program recovers nothing, not even a dead one's file.
        if (!childFirst) {
            Stores beside(log);
            OpenAllStores(beside, f.data, f.common);
            QVERIFY(beside.gbOwnSessionFile);
            QVERIFY(recovered(beside).isEmpty());
            QCOMPARE(QFile::exists(child.sessionFile()), killed);
            RotateSessionAtExit(beside);
        }
        RotateSessionAtExit(*here);
        here.reset();

        Stores later(log);
        OpenAllStores(later, f.data, f.common);
        QVERIFY(!later.gbOwnSessionFile);
        QCOMPARE(recovered(later), recoveredLater);
        QCOMPARE(sklFiles(f.data).filter("-"), QStringList{}); // no own file is left behind
        // Recovered pages are on disk until they have been handed out.
        if (!recoveredLater.isEmpty())
            QCOMPARE(urlsIn(later.gsTempSessionFile), recoveredLater);
    }

    void killedProgramWithBothKindsOfFiles()
    {
        // A crashed program's shared file and a crashed second program's own file come back
        // together as one interrupted session.
        TempProfile p;
        Folders2 f(p);
        ErrorLog log;
        Child child;
        QVERIFY(child.start(f, "http://shared/"));
        Child second;
        QVERIFY(second.start(f, "http://own/"));
        QVERIFY(second.sessionFile() != child.sessionFile());
        child.kill();
        second.kill();
        Stores later(log);
        OpenAllStores(later, f.data, f.common);
        QCOMPARE(recovered(later), (QStringList{"http://own/", "http://shared/"}));
        QVERIFY(!QFile::exists(second.sessionFile()));
        QVERIFY(QFile::exists(later.gsCurrentSessionFile));
    }

    void emptyStoresWaitForTheirFirstSave()
    {
        TempProfile p;
        Folders2 f(p);
        ErrorLog log(p.file("log.txt"));
        Stores s(log);
        OpenAllStores(s, f.data, f.common, EmptyStoreFiles::AtFirstSave);
        // Only the marker of a run in progress is written at once.
        QCOMPARE(sklFiles(f.data), QStringList{"sklCurrentSession.skl"});
        QVERIFY(!QFile::exists(s.gsSessionsFile));
        for (Recordset *rs : {&s.rsFavorites, &s.rsNotes, &s.rsOptions, &s.rsForms})
            QVERIFY(rs->State());

        // A store saved meanwhile keeps what it saved.
        QVERIFY(s.rsOptions.AddNew({"key", "value"}, {"mode", "2"}));
        QVERIFY(s.rsOptions.Save());
        QVERIFY(s.rsOptions.AddNew({"key", "value"}, {"unsaved", "x"}));
        QVERIFY(s.rsNotes.AddNew({"Keywords"}, {"a note"}));
        QVERIFY(s.rsNotes.SetFilter("Keywords = 'none'"));
        CreatePendingStoreFiles(s);
        QCOMPARE(sklFiles(f.data), (QStringList{"Favorites.skl", "Forms.skl", "NotesTxt.skl",
                                                "Options.skl", "sklCurrentSession.skl"}));
        QVERIFY(QFile::exists(s.gsSessionsFile));
        QCOMPARE(Recordset::Open(s.gsOptionsFile)->RecordCount(), 1);
        // The filter of the open cursor does not hide records from the file.
        QCOMPARE(Recordset::Open(s.gsNotesFile)->RecordCount(), 1);
        QCOMPARE(s.rsNotes.Filter(), QString("Keywords = 'none'"));
        QVERIFY(!QFile::exists(log.path()));
    }

    void pastSessionThatCannotBeWrittenKeepsTheCurrentOne()
    {
        TempProfile p;
        Folders2 f(p);
        ErrorLog log;
        {
            Stores s(log);
            OpenAllStores(s, f.data, f.common);
            QVERIFY(addPage(s, "http://unread/"));
            // A folder where the past session's file should go: it can be neither removed nor
            // replaced.
            QVERIFY(QDir().mkpath(s.gsPastSessionFile + "/blocked"));
            RotateSessionAtExit(s);
            QCOMPARE(urlsIn(s.gsCurrentSessionFile), QStringList{"http://unread/"});
        }
        Stores next(log);
        OpenAllStores(next, f.data, f.common);
        QCOMPARE(recovered(next), QStringList{"http://unread/"});
    }

    void startWritesTheRestLater()
    {
        TempProfile profile;
        FakeWeb web;
        FakeBrowserFactory factory(web);
        FakeUi ui;
        StartArguments args;
        args.noFirstRun = true;
        args.shiftHeld = false;
        modMain program({&factory, &ui, nullptr, nullptr}, args);
        QCOMPARE(program.Main(), modMain::Outcome::Running);
        const Folders folders = Folders::resolve();
        Registry reg(folders.userHiveFile, folders.machineHiveFile);
        const auto pa = [&] {
            return reg.RegGetAppValue("PA", RegRoot::HKLM, REG_SZ, QString()).value.toString();
        };
        // Empty stores nobody saved yet have no files; the marker of the run has.
        QVERIFY(sklFiles(folders.data).contains("sklCurrentSession.skl"));
        QVERIFY(!sklFiles(folders.data).contains("NotesTxt.skl"));
        QVERIFY(!QFile::exists(program.context().stores->gsSessionsFile));
        QVERIFY(pa().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!pa().isEmpty(), modMain::kDeferredWritesMs + 10000);
        QCOMPARE(pa(), program.context().gsAppPath + "/");
        QCOMPARE(reg.RegGetAppValue("LCG", RegRoot::HKCU, REG_DWORD, 0).value.toInt(), 0x201);
        QVERIFY(sklFiles(folders.data).contains("NotesTxt.skl"));
        QVERIFY(sklFiles(folders.data).contains("Favorites.skl"));
        QVERIFY(QFile::exists(program.context().stores->gsSessionsFile));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && std::strcmp(argv[1], "--hold-session") == 0)
        return holdSession(argc, argv);
    QApplication app(argc, argv);
    TestSessionFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_session_files.moc"
