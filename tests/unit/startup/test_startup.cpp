#include "FakeBrowserControl.h"
#include "FakePlatform.h"
#include "TempProfile.h"
#include "frame/CommandLine.h"
#include "frame/MDIForm1.h"
#include "reader/frmBrowser.h"
#include "startup/AgreementDialog.h"
#include "startup/Main.h"
#include "startup/OpenURL.h"
#include "startup/Settings.h"
#include "startup/SingleInstance.h"
#include "store/DateValue.h"
#include "store/Stores.h"
#include "store/cFile.h"
#include "store/modRegistry.h"

#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <cstring>
#include <functional>

#include <unistd.h>

namespace {

QString writeShortcut(const TempProfile &profile, const QString &name, const QString &url)
{
    const QString path = profile.file(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write("[InternetShortcut]\r\nURL=" + url.toUtf8() + "\r\n");
    return path;
}

// Every address sent to a window, whichever window the pool chose.
QStringList navigated(FakeBrowserFactory &factory)
{
    QStringList out;
    for (FakeBrowserControl *control : factory.controls())
        for (const auto &call : control->navigateCalls())
            out << call.url.toString();
    out.sort();
    return out;
}

// Window 0's control (the frame's panes have controls of their own).
FakeBrowserControl &windowZero(AppContext &ctx)
{
    return *static_cast<FakeBrowserControl *>(ctx.gBrowsers.at(0)->brwWebBrowser);
}

// The program over the platform double in the current profile; firstRun: without
// --no-first-run.
struct Program
{
    FakeWeb web;
    FakeBrowserFactory factory{web};
    FakeUi ui;
    FakeShell shell;
    FakeHttpClient http;
    modMain main;

    explicit Program(const QStringList &commandLine = {}, bool shift = false, bool firstRun = false)
        : main({&factory, &ui, &shell, &http}, arguments(commandLine, shift, firstRun))
    {}
    static StartArguments arguments(const QStringList &commandLine, bool shift, bool firstRun)
    {
        StartArguments args = StartArguments::parse(commandLine, "/");
        args.noFirstRun = !firstRun;
        args.shiftHeld = shift;
        return args;
    }
};

// A whole run over the platform double in the current profile, ended with File > Exit:
// during() acts between the start and the exit. Every address sent to a window.
QStringList
runToExit(bool shift, const QStringList &commandLine,
          const std::function<void(AppContext &, FakeBrowserControl &, FakeWeb &)> &during = {})
{
    Program program(commandLine, shift);
    if (program.main.Main() != modMain::Outcome::Running)
        return {"<not running>"};
    program.web.settle();
    AppContext &ctx = program.main.context();
    if (during)
        during(ctx, windowZero(ctx), program.web);
    const QStringList out = navigated(program.factory);
    static_cast<MDIForm1 *>(ctx.mainForm)->mnuQuit_Click();
    return out;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

    TempProfile m_desktop; // setup installs the desktop entry here, not in the user's home

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", m_desktop.file("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_desktop.file("config").toUtf8());
    }
    void commandLine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("address");
        const auto row = [](const char *name, const char *text, CommandLineKind kind,
                            const char *address = "") {
            QTest::newRow(name) << QString(text) << int(kind) << QString(address);
        };
        using K = CommandLineKind;
        row("empty", "", K::Empty);
        row("setup", "/Setup", K::Setup);
        row("upgrade runs setup", "/Upgrade", K::Setup);
        row("uninstall", "/Uninstall", K::Uninstall);
        row("other case is an address", "/setup", K::Address, "/setup");
        row("one pair of quotes stripped", "\"\"http://x/\"\"", K::Address, "\"http://x/\"");
        row("shortcut, any case, quoted", "\"SHORTCUT\"", K::Address, "http://example.org/inside");
        row("local file", "LOCALFILE", K::Address, "FILEURL");
        row("missing shortcut stays a name", "gone.url", K::Address, "gone.url");
    }
    void commandLine()
    {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QString, address);
        TempProfile profile;
        const QString shortcut = writeShortcut(profile, QStringLiteral("Page.URL"),
                                               QStringLiteral("http://example.org/inside"));
        const QString local = profile.file(QStringLiteral("page.htm"));
        QFile f(local);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        text.replace(QStringLiteral("SHORTCUT"), shortcut);
        text.replace(QStringLiteral("LOCALFILE"), QStringLiteral("page.htm"));
        address.replace(QStringLiteral("FILEURL"), QUrl::fromLocalFile(local).toString());
        const CommandLineAction action = ParseCommandLine(text, profile.path());
        QCOMPARE(int(action.kind), kind);
        QCOMPARE(action.address, address);
    }

    void handOffMakesRelativeFilesAbsolute()
    {
        TempProfile profile;
        QFile f(profile.file(QStringLiteral("a.htm")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QCOMPARE(AbsoluteIfLocalFile(QStringLiteral("a.htm"), profile.path()),
                 profile.file(QStringLiteral("a.htm")));
        QCOMPARE(AbsoluteIfLocalFile(QStringLiteral("http://x/a.htm"), profile.path()),
                 "http://x/a.htm");
        QCOMPARE(AbsoluteIfLocalFile(QStringLiteral("missing.htm"), profile.path()), "missing.htm");
    }

    void arguments()
    {
        const StartArguments a = StartArguments::parse(
            {"--no-first-run", "http://x/", "--exit-when-idle", "--unknown"}, "/w");
        QVERIFY(a.noFirstRun);
        QVERIFY(a.exitWhenIdle);
        QCOMPARE(a.commandLine, QStringLiteral("http://x/"));
        QCOMPARE(StartArguments::parse({"C:\\My", "Page.url"}, "/").commandLine, "C:\\My Page.url");
    }

    // The whole start over the platform double, from prepared profiles.
    void startUp_data()
    {
        QTest::addColumn<int>("lcg");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<int>("favorites");
        QTest::addColumn<bool>("crashed");
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QStringList>("loaded");
        const QString start = ProgramPages::url("Start.htm").toString();
        const QString quick = ProgramPages::url("sklQuickHelp.htm").toString();
        const auto row = [](const char *name, int lcg, bool shift, int favorites, bool crashed,
                            const char *commandLine, const QStringList &loaded) {
            QTest::newRow(name) << lcg << shift << favorites << crashed << QString(commandLine)
                                << loaded;
        };
        const QStringList unread{"http://unread/1", "http://unread/2"};
        row("accepted, first run: quick help", 1, false, 1, false, "", {quick});
        row("scheduled favorites", 0x201, false, 2, false, "", {"http://fav/0", "http://fav/1"});
        row("shift held: start page, no favorites", 0x201, true, 2, false, "", {start});
        row("crashed run's pages, then the command line; no favorites", 0x201, false, 2, true,
            "http://given/", unread + QStringList{"http://given/"});
        row("setup", 0x201, false, 0, false, "/Setup",
            {ProgramPages::url("sklHelp.htm?Upgrade#NewFeatures").toString()});
    }
    void startUp()
    {
        QFETCH(int, lcg);
        QFETCH(bool, shift);
        QFETCH(int, favorites);
        QFETCH(bool, crashed);
        QFETCH(QString, commandLine);
        QFETCH(QStringList, loaded);
        TempProfile profile;
        const Folders folders = Folders::resolve();
        QVERIFY(folders.create());
        {
            Registry reg(folders.userHiveFile, folders.machineHiveFile);
            if (lcg)
                QVERIFY(reg.RegSaveAppValue("LCG", lcg, RegRoot::HKCU, REG_DWORD).ok());
            ErrorLog log;
            Stores stores(log);
            OpenAllStores(stores, folders.data, folders.commonData);
            for (int i = 0; i < favorites; ++i)
                QVERIFY(stores.rsFavorites.AddNew(
                    {"Keywords", "Title", "URL", "Period"},
                    {"Links", "f", QStringLiteral("http://fav/%1").arg(i), 1}));
            QVERIFY(stores.rsFavorites.AddNew({"Keywords", "Title", "URL", "Period"},
                                              {"Links", "weekly", "http://not-daily/", 2}));
            QVERIFY(stores.rsFavorites.Save());
            if (crashed) {
                QVERIFY(stores.rsCurrentSession.AddNew({"Order", "URL", "bRead", "bLoaded"},
                                                       {1, "http://read/", 1, 0}));
                for (int i = 1; i <= 2; ++i)
                    QVERIFY(stores.rsCurrentSession.AddNew(
                        {"Order", "URL", "bRead", "bLoaded"},
                        {10000 + i, QStringLiteral("http://unread/%1").arg(i), 0, 1}));
                QVERIFY(stores.rsCurrentSession.Save());
            } else {
                RotateSessionAtExit(stores);
            }
        }

        Program program(QStringList{commandLine}.filter(QRegularExpression(".")), shift, true);
        QCOMPARE(program.main.Main(), modMain::Outcome::Running);
        loaded.sort();
        QCOMPARE(navigated(program.factory), loaded);
        AppContext &ctx = program.main.context();
        QCOMPARE(ctx.glLCG, 0x201);
        QCOMPARE(ctx.gsWindowState.value(0), QStringLiteral("a"));
        QCOMPARE(ctx.giLaterOrder >= 10000, true);
        QVERIFY(program.ui.messages().isEmpty()); // every page file is there
        // Scheduled favorites load as favorites: each visit is counted.
        QCOMPARE(QFileInfo::exists(m_desktop.file("data/applications/skimline.desktop")),
                 commandLine == QLatin1String("/Setup"));
        if (loaded.contains(QStringLiteral("http://fav/0"))) {
            Recordset fav = ctx.stores->rsFavorites.Clone();
            QVERIFY(fav.SetFilter(QStringLiteral("Period = 1")));
            for (fav.MoveFirst(); !fav.isEOF(); fav.MoveNext())
                QCOMPARE(fav.Field(QStringLiteral("Accesses")).toInt(), 1);
        }
        QVERIFY(!QFile::exists(ctx.stores->gsTempSessionFile));
        QVERIFY(QFile::exists(ctx.stores->gsCurrentSessionFile));
    }

    // A page kept for the next session comes back at the next start, though not while Shift
    // is held; a program page's skl:ubm link loads its favorite to be read next.
    void nextSessionPageAndFavoriteLink()
    {
        TempProfile profile;
        const QString kept = QStringLiteral("http://kept.test/page");
        runToExit(false, {kept}, [&](AppContext &ctx, FakeBrowserControl &zero, FakeWeb &web) {
            QAction *keep = static_cast<MDIForm1 *>(ctx.mainForm)->menuItem("mnuFav_Sub2");
            QVERIFY(keep->isEnabled());
            keep->trigger();
            Recordset &fav = ctx.stores->rsFavorites;
            QVERIFY(fav.AddNew({"Keywords", "Title", "URL"}, {"Links", "Fav", "http://fav.test/"}));
            zero.writePage(QStringLiteral("<a id=u href='skl:ubm%1'>f</a>").arg(fav.Bookmark()));
            web.settle();
            QVERIFY(zero.click(QStringLiteral("u")));
            web.settle();
            QCOMPARE(fav.Field("Accesses").toInt(), 1);
            Recordset session = ctx.stores->rsCurrentSession.Clone();
            QVERIFY(session.Find(QStringLiteral("URL = 'http://fav.test/'")));
            QVERIFY(session.Field("Order").toInt() < 10000); // next, before the background
        });
        QCOMPARE(runToExit(true, {}), QStringList{ProgramPages::url("Start.htm").toString()});
        QVERIFY(runToExit(false, {}).contains(kept));
    }

    // The exit keeps the sessions before the last one; Earlier Sessions reopens them.
    void earlierSessionsReopen()
    {
        TempProfile profile;
        for (int run = 1; run <= 3; ++run)
            runToExit(false, {QStringLiteral("http://run.test/%1").arg(run)});
        QStringList loaded =
            runToExit(false, {}, [](AppContext &ctx, FakeBrowserControl &, FakeWeb &web) {
                auto *frame = static_cast<MDIForm1 *>(ctx.mainForm);
                Q_EMIT frame->subMenu("mnuOL_LastSession_")->aboutToShow();
                QMenu *newest = frame->subMenu("mnuOL_EarlierSessions_")
                                    ->findChild<QMenu *>("mnuOL_EarlierSession(0)");
                QVERIFY(newest);
                QVERIFY2(newest->title().endsWith(QStringLiteral(" \u2014 1 page")),
                         qPrintable(newest->title()));
                QVERIFY(frame->subMenu("mnuOL_EarlierSessions_")
                            ->findChild<QMenu *>("mnuOL_EarlierSession(1)"));
                newest->findChild<QAction *>("mnuOL_EarlierSession(0,0)")->trigger();
                web.settle();
            });
        QVERIFY2(loaded.contains("http://run.test/2"), qPrintable(loaded.join(' ')));
        QVERIFY(!loaded.contains("http://run.test/1") && !loaded.contains("http://run.test/3"));
    }

    void settingsReadAtStart()
    {
        TempProfile profile;
        const Folders folders = Folders::resolve();
        QVERIFY(folders.create());
        {
            ErrorLog log;
            Stores stores(log);
            OpenAllStores(stores, folders.data, folders.commonData);
            cFile file({}, &stores.rsOptions);
            QVERIFY(file.SetOption("OptionChecks", 1 | 2 | 8));
            QVERIFY(file.SetOption("MaxWindows", 7));
            QVERIFY(file.SetOption("TempZoomSetting", 2.5));
            QVERIFY(file.SetOption("PageZoom", 1.25));
            QVERIFY(file.SetOption("UserAgent", "mine"));
            QVERIFY(stores.rsCurrentSession.AddNew({"Order", "URL", "bRead", "bLoaded"},
                                                   {10001, "http://last/", 1, 1}));
            RotateSessionAtExit(stores); // a past session exists
        }
        Program program;
        QCOMPARE(program.main.Main(), modMain::Outcome::Running);
        AppContext &ctx = program.main.context();
        QCOMPARE(ctx.glOptionChecks, 11);
        QVERIFY(ctx.gbOptBit1 && ctx.gbOptBit2 && ctx.gbOptBit8 && !ctx.gbOptBit4);
        QVERIFY(!ctx.stores->rsHistory.State());
        QCOMPARE(ctx.giMaxWindows, 7);
        QCOMPARE(ctx.gsngTempZoom, 2.5f);
        QCOMPARE(ctx.gsngPageZoom, 1.25f);
        QVERIFY(ctx.giLaterOrder >= 10000);
        // Bit 2: the last session's pages come back at start.
        Recordset session = ctx.stores->rsCurrentSession.Clone();
        QVERIFY(session.Find(QStringLiteral("URL = 'http://last/'")));
        QVERIFY(ctx.gsUserAgentLine.endsWith("; mine"));
        // The control sends the same identity as the header line.
        QCOMPARE(QStringLiteral("User-Agent: ") + windowZero(ctx).userAgent(), ctx.gsUserAgentLine);
    }

    // The options page's values, what is stored in the order of saving, and the variables.
    void optionsPageSaved_data()
    {
        QTest::addColumn<QString>("checks"); // the boxes C1..C4 that are checked
        QTest::addColumn<QString>("T2");
        QTest::addColumn<QString>("T3");
        QTest::addColumn<QString>("T4");
        QTest::addColumn<QString>("stored"); // from "OptionChecks" on
        QTest::addColumn<int>("maxWindows");
        QTest::addColumn<float>("tempZoom");
        QTest::addColumn<float>("pageZoom");
        QTest::addColumn<int>("problems");
        const auto row = [](const char *name, const char *checks, const char *t2, const char *t3,
                            const char *t4, const char *stored, int windows, float tempZoom,
                            float pageZoom, int problems) {
            QTest::newRow(name) << QString(checks) << QString(t2) << QString(t3) << QString(t4)
                                << QString(stored) << windows << tempZoom << pageZoom << problems;
        };
        row("empty zooms", "C1 C4", " 12 ", "", "", "9 12 1 0", 12, 1.0f, 0.0f, 0);
        row("one is none", "C2 C3", "-5", "1", "2,5", "6 4 2.5 0", 4, 2.5f, 0.0f, 0);
        row("windows not a number", "", "abc", "0", "1.4", "0 1.4 0", 50, 1.4f, 0.0f, 1);
        row("page zoom not a number", "", "99999", "x", "2", "0 2", 50, 2.0f, 1.2f, 2);
        row("temp zoom stops the rest", "", "8", "3", "big", "0 8", 8, 1.6f, 1.2f, 1);
    }
    void optionsPageSaved()
    {
        QFETCH(QString, checks);
        OptionsPage page;
        page.C1 = checks.contains("C1");
        page.C2 = checks.contains("C2");
        page.C3 = checks.contains("C3");
        page.C4 = checks.contains("C4");
        QFETCH(QString, T2);
        QFETCH(QString, T3);
        QFETCH(QString, T4);
        page.T1 = "agent";
        page.T2 = T2;
        page.T3 = T3;
        page.T4 = T4;
        OptionSettings before;
        before.gsngTempZoom = 1.6f;
        before.gsngPageZoom = 1.2f;
        const OptionsSave save = SaveOptionsPage(page, before);
        QStringList keys, stored;
        for (const auto &[key, value] : save.writes) {
            keys << key;
            if (keys.size() > 2 && key != "SecureLinksInPlace")
                stored << value.toString();
        }
        QCOMPARE(keys.mid(0, 2), QStringList({"ShowHelp", "UserAgent"}));
        QTEST(stored.join(' '), "stored");
        QTEST(save.settings.giMaxWindows, "maxWindows");
        QTEST(save.settings.gsngTempZoom, "tempZoom");
        QTEST(save.settings.gsngPageZoom, "pageZoom");
        QTEST(int(save.problems.size()), "problems");
        QCOMPARE(save.settings.gsUserAgent, QStringLiteral("agent"));
        // What was saved fills the page with the same boxes and numbers.
        const OptionsPage again = FillOptionsPage(save.settings);
        QCOMPARE(again.C1 + 2 * again.C2 + 4 * again.C3 + 8 * again.C4,
                 save.settings.glOptionChecks);
        QCOMPARE(again.T3.isEmpty(), save.settings.gsngPageZoom == 0);
    }

    void typedAddresses()
    {
        QCOMPARE(CompleteTypedUrl(" news "), QStringLiteral("http://www.news.com/"));
        QCOMPARE(CompleteTypedUrl("about:blank"), QStringLiteral("about:blank"));
        QCOMPARE(CompleteTypedUrl("example.org/a"), QStringLiteral("example.org/a"));
        QCOMPARE(CompleteTypedUrl(""), QString());
        QVERIFY(!RefusedTypedUrl(CompleteTypedUrl("news")));
        for (const char *refused : {"javascript:alert(1)", "JavaScript:x", "skl:dbm1",
                                    "skl-app://pages/Start.htm", "SKL-APP://x/y"})
            QVERIFY2(RefusedTypedUrl(QString::fromLatin1(refused)), refused);
    }

    void missingPagesAreReported()
    {
        TempProfile profile;
        QTemporaryDir pages;
        QFile::copy(QFINDTESTDATA("../../../resources/pages/Readme.htm"),
                    pages.filePath("Readme.htm"));
        const QByteArray before = qgetenv("SKIMLINE_PAGES");
        qputenv("SKIMLINE_PAGES", pages.path().toUtf8());
        Program program;
        const auto outcome = program.main.Main();
        qputenv("SKIMLINE_PAGES", before);
        QCOMPARE(outcome, modMain::Outcome::Running);
        QCOMPARE(program.ui.messages().size(), 1);
        QCOMPARE(program.shell.targetsOf("openFile"), QStringList{pages.filePath("Readme.htm")});
    }

    // The agreement's answer: declined keeps nothing; accepted and run once, the next start
    // shows neither the agreement nor Quick Help.
    void agreementAnswer_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("declined") << false;
        QTest::newRow("accepted") << true;
    }
    void agreementAnswer()
    {
        QFETCH(bool, accept);
        TempProfile profile;
        Program program({}, false, true);
        bool sawDialog = false;
        QTimer::singleShot(0, this, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *d = qobject_cast<AgreementDialog *>(w)) {
                    sawDialog = !d->agreementHtml().isEmpty();
                    (accept ? d->acceptButton() : d->declineButton())->click();
                }
            }
        });
        QCOMPARE(program.main.Main(),
                 accept ? modMain::Outcome::Running : modMain::Outcome::Declined);
        QVERIFY(sawDialog);
        const Folders folders = Folders::resolve();
        Registry reg(folders.userHiveFile, folders.machineHiveFile);
        const QVariant lcg = reg.RegGetAppValue("LCG", RegRoot::HKCU, REG_DWORD, QVariant()).value;
        if (accept) {
            QCOMPARE(lcg.toInt(), 0x201);
            QCOMPARE(navigated(program.factory),
                     QStringList{ProgramPages::url("sklQuickHelp.htm").toString()});
            return;
        }
        QVERIFY(!lcg.isValid());
        QVERIFY(!QFile::exists(folders.data + "/sklCurrentSession.skl"));
        QVERIFY(!QFile::exists(folders.data + "/sklPastSession.skl"));
    }

    void handOffBetweenProcesses()
    {
        TempProfile profile;
        InstanceChannel receiver;
        QVERIFY(receiver.listen());
        QSignalSpy spy(&receiver, &InstanceChannel::received);
        // A second receiver on the same channel does not take it over.
        InstanceChannel second;
        QVERIFY(!second.listen());

        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--send", receiver.name(), "http://example.org/ü ?a=1"});
        QTRY_VERIFY_WITH_TIMEOUT(child.state() == QProcess::NotRunning, 20000);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.constFirst().constFirst().toString(),
                 QStringLiteral("http://example.org/ü ?a=1"));

        // A program that is closing confirms nothing: the later start goes on by itself
        // rather than hand its address to a program that will not show it.
        bool closing = true;
        receiver.setAccepting([&] { return !closing; });
        QProcess late;
        late.start(QCoreApplication::applicationFilePath(),
                   {"--send", receiver.name(), "http://late/"});
        QTRY_VERIFY_WITH_TIMEOUT(late.state() == QProcess::NotRunning, 20000);
        QCOMPARE(late.exitCode(), 1);
        QCOMPARE(spy.size(), 1);
    }

    void channelsDependOnTheDataFolder()
    {
        QString a;
        {
            TempProfile one;
            a = InstanceChannel::defaultName();
        }
        TempProfile two;
        QVERIFY(a != InstanceChannel::defaultName());
        // In a folder only this user can enter, so nobody else can take the name first.
        const QFileInfo folder(QFileInfo(a).absolutePath());
        QVERIFY(QFileInfo(a).isAbsolute());
        QVERIFY(folder.ownerId() == ::getuid());
        QVERIFY(!(folder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                          QFile::ReadOther | QFile::WriteOther | QFile::ExeOther)));
    }

    void errorLogSizeRule_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("kept");
        QTest::newRow("5000 bytes stay") << 5000 << true;
        QTest::newRow("5001 bytes go") << 5001 << false;
    }
    void errorLogSizeRule()
    {
        QFETCH(int, size);
        QFETCH(bool, kept);
        TempProfile profile;
        const QString path = profile.file("LoggedErrors.txt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
        f.close();
        ErrorLog(path).WriteStartEntry(QStringLiteral("last"), QStringLiteral("1.2.3"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QCOMPARE(text.startsWith(QByteArray(size, 'x')), kept);
        QVERIFY(text.contains("last\r\n\r\n1.2.3: "));
    }
};

int main(int argc, char *argv[])
{
    // The other side of the hand-off test: a later start sending its command line.
    if (argc == 4 && std::strcmp(argv[1], "--send") == 0) {
        QCoreApplication app(argc, argv);
        InstanceChannel channel(QString::fromLocal8Bit(argv[2]));
        return channel.handOff(QString::fromUtf8(argv[3]), 5000) ? 0 : 1;
    }
    QApplication app(argc, argv);
    TestStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_startup.moc"
