#include "reader/CommandLinks.h"
#include "reader/DownloadPath.h"
#include "reader/NavigationRules.h"

#include <QtTest>

// The interception rules of a document window: their order, where a followed link loads in
// each mode, new-window requests, and the command-link table with its guard.
class TestNavRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void routingTable_data();
    void routingTable();
    void ruleOrder_data();
    void ruleOrder();
    void routedLinkEffects();
    void cancelNextOnlyEatsTheEnginesFollowUp();
    void newWindowRequests_data();
    void newWindowRequests();
    void parseCommandLinks_data();
    void parseCommandLinks();
    void commandRegistryAndGuard();
    void downloadPaths_data();
    void downloadPaths();
};

namespace {

// How a link was followed, as the engine reports it.
enum class Click {
    Plain,
    Ctrl,
    Shift,
    Middle,
    TargetBlank,
    NamedFrame,
    FormPost,
    FormGet,
    ShiftFormPost,
    Redirect,
    ScriptLocation,
    FrameLink,
    Https,
    HttpsMiddle,
    HttpsRedirect,
    Program,
};

NavInput activeWindow(int mode)
{
    NavInput in;
    in.url = QStringLiteral("http://site.test/next.html");
    in.bActiveForm = true;
    in.bNavigateInOtherWindow = true;
    in.giBrowsingMode = mode;
    return in;
}

NavInput withClick(NavInput in, Click click)
{
    in.kind = NavigationKind::LinkClicked;
    in.linkClicked = true;
    in.button = Qt::LeftButton;
    switch (click) {
    case Click::Plain:
        break;
    case Click::Ctrl:
        in.modifiers = Qt::ControlModifier;
        in.disposition = WindowDisposition::NewBackgroundTab;
        break;
    case Click::Shift:
        in.modifiers = Qt::ShiftModifier;
        in.disposition = WindowDisposition::NewWindow;
        break;
    case Click::Middle:
        in.button = Qt::MiddleButton;
        in.disposition = WindowDisposition::NewBackgroundTab;
        break;
    case Click::TargetBlank:
        in.targetFrameName = QStringLiteral("_blank");
        in.disposition = WindowDisposition::NewForegroundTab;
        break;
    case Click::NamedFrame:
        in.targetFrameName = QStringLiteral("main");
        break;
    case Click::FormPost:
        in.kind = NavigationKind::FormSubmitted;
        in.isPost = true;
        break;
    case Click::FormGet:
        in.kind = NavigationKind::FormSubmitted;
        break;
    case Click::ShiftFormPost:
        in.kind = NavigationKind::FormSubmitted;
        in.isPost = true;
        in.modifiers = Qt::ShiftModifier;
        break;
    case Click::Redirect:
        in.kind = NavigationKind::Redirect;
        in.linkClicked = false;
        in.button = Qt::NoButton;
        break;
    case Click::ScriptLocation:
        in.kind = NavigationKind::Other;
        in.linkClicked = false;
        in.button = Qt::NoButton;
        break;
    case Click::FrameLink:
        in.isTopFrame = false;
        break;
    case Click::Https:
        in.url = QStringLiteral("https://site.test/secure.html");
        break;
    case Click::HttpsMiddle:
        in.url = QStringLiteral("https://site.test/secure.html");
        in.button = Qt::MiddleButton;
        in.disposition = WindowDisposition::NewBackgroundTab;
        break;
    case Click::HttpsRedirect:
        in.url = QStringLiteral("https://site.test/secure.html");
        in.kind = NavigationKind::Redirect;
        in.linkClicked = false;
        in.button = Qt::NoButton;
        break;
    case Click::Program:
        in.kind = NavigationKind::Program;
        in.linkClicked = false;
        in.button = Qt::NoButton;
        break;
    }
    return in;
}

// Where the link ends up: "here", "background", "new window" (the request that follows), or
// "nowhere".
QString whereItLoads(const NavInput &in, const NavDecision &d)
{
    switch (d.action) {
    case NavAction::Allow:
        return (in.disposition == WindowDisposition::NewWindow ||
                in.disposition == WindowDisposition::NewForegroundTab ||
                in.disposition == WindowDisposition::Popup)
                   ? QStringLiteral("new window")
                   : QStringLiteral("here");
    case NavAction::LoadElsewhere:
        return QStringLiteral("background");
    default:
        return QStringLiteral("nowhere");
    }
}

} // namespace

void TestNavRules::routingTable_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("click");
    QTest::addColumn<bool>("sameWindow");
    QTest::addColumn<bool>("readingState");
    QTest::addColumn<QString>("where");

    struct Row
    {
        Click click;
        const char *name;
        const char *skimline, *research, *tabbed;
    };
    const Row rows[] = {
        {Click::Plain, "plain", "background", "background", "here"},
        {Click::Ctrl, "ctrl", "here", "here", "here"},
        {Click::Shift, "shift", "new window", "new window", "new window"},
        {Click::TargetBlank, "target=_blank", "new window", "new window", "new window"},
        {Click::Middle, "middle", "background", "background", "background"},
        {Click::NamedFrame, "named frame", "here", "here", "here"},
        {Click::FormPost, "form post", "here", "here", "here"},
        {Click::FormGet, "form get", "here", "here", "here"},
        {Click::ShiftFormPost, "shift form post", "background", "background", "here"},
        {Click::Redirect, "meta refresh", "nowhere", "nowhere", "here"},
        {Click::ScriptLocation, "script location", "nowhere", "nowhere", "here"},
        {Click::FrameLink, "frame link", "here", "here", "here"},
        {Click::Https, "https link", "background", "background", "here"},
        {Click::HttpsMiddle, "https middle", "background", "background", "background"},
        {Click::HttpsRedirect, "https redirect", "here", "here", "here"},
        {Click::Program, "program navigate", "here", "here", "here"},
    };
    const std::pair<int, const char *> modes[] = {{1, "skimline"}, {2, "research"}, {4, "tabbed"}};
    for (const Row &r : rows) {
        for (const auto &[mode, modeName] : modes) {
            const char *where = mode == 1 ? r.skimline : mode == 2 ? r.research : r.tabbed;
            QTest::addRow("%s/%s", modeName, r.name)
                << mode << int(r.click) << false << true << QString::fromLatin1(where);
        }
    }
    // Open In Same Window, and a window that is not yet reading (its own load, Back, Refresh):
    // everything but Shift and the middle button stays here.
    for (const auto &[mode, modeName] : modes) {
        QTest::addRow("%s/same window plain", modeName)
            << mode << int(Click::Plain) << true << true << "here";
        QTest::addRow("%s/same window redirect", modeName)
            << mode << int(Click::Redirect) << true << true << "here";
        QTest::addRow("%s/not reading plain", modeName)
            << mode << int(Click::Plain) << false << false << "here";
        QTest::addRow("%s/not reading redirect", modeName)
            << mode << int(Click::Redirect) << false << false << "here";
        QTest::addRow("%s/same window shift", modeName)
            << mode << int(Click::Shift) << true << true << "new window";
    }
    // The link a right-click took over in Tabbed Browser mode (transient mode 5).
    QTest::addRow("tabbed once/plain") << 5 << int(Click::Plain) << false << true << "background";
    // Option SecureLinksInPlace: a clicked secure link stays, the middle button still routes.
    QTest::addRow("secure in place/https link")
        << 1 << int(Click::Https) << false << true << "here";
    QTest::addRow("secure in place/https middle")
        << 1 << int(Click::HttpsMiddle) << false << true << "background";
}

void TestNavRules::routingTable()
{
    QFETCH(int, mode);
    QFETCH(int, click);
    QFETCH(bool, sameWindow);
    QFETCH(bool, readingState);
    QFETCH(QString, where);

    NavInput in = withClick(activeWindow(mode), Click(click));
    in.secureLinksInPlace = QByteArray(QTest::currentDataTag()).startsWith("secure in place");
    in.bOpenInSameWindow = sameWindow;
    in.bNavigateInOtherWindow = readingState;
    const NavDecision d = decideNavigation(in);
    QCOMPARE(whereItLoads(in, d), where);
    if (d.action == NavAction::LoadElsewhere) {
        QCOMPARE(d.where, LoadWhere::Background);
        QVERIFY(d.consumeLinkClick);
    }
}

void TestNavRules::ruleOrder_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("rule");

    const auto row = [](const char *name, const char *url, const char *setup, NavAction a,
                        NavRule r) {
        QTest::newRow(name) << QString::fromLatin1(url) << QString::fromLatin1(setup) << int(a)
                            << int(r);
    };
    // An inactive window loads anything, even a command link, a feed or an FTP address.
    row("inactive skl", "skl:dbm12", "inactive", NavAction::Allow, NavRule::InactiveWindow);
    row("inactive ftp", "ftp://files.test/a", "inactive", NavAction::Allow,
        NavRule::InactiveWindow);
    row("closing", "skl:rpt", "closing", NavAction::Cancel, NavRule::Closing);
    row("exiting", "http://site.test/", "exiting", NavAction::Cancel, NavRule::Closing);
    row("empty address", "http:///", "", NavAction::CancelFreeSlot, NavRule::EmptyAddress);
    row("resource page", "res://ieframe.dll/x.htm", "", NavAction::Allow, NavRule::ResourcePage);
    row("about blank", "about:blank", "cancelNext", NavAction::Allow, NavRule::ResourcePage);
    row("cancel next before ftp", "ftp://files.test/a", "cancelNext", NavAction::Cancel,
        NavRule::CancelNext);
    row("ftp", "ftp://files.test/pub/a.txt", "", NavAction::OpenWithDesktop, NavRule::Scheme);
    row("https feed", "https://site.test/a.rss", "", NavAction::FeedViewer, NavRule::Feed);
    row("mailto", "mailto:a@b.test", "", NavAction::Allow, NavRule::Scheme);
    row("javascript", "javascript:void(0)", "", NavAction::Allow, NavRule::Scheme);
    row("command", "skl:ldf3", "", NavAction::RunCommand, NavRule::CommandLink);
    row("command before capture", "skl:ldf3", "capture", NavAction::RunCommand,
        NavRule::CommandLink);
    row("capture before feed", "http://site.test/a.rss", "capture", NavAction::Allow,
        NavRule::FormCapture);
    row("post to a feed address", "http://site.test/a.rss", "post", NavAction::Allow,
        NavRule::FormPost);
    row("rss", "http://site.test/news.rss", "", NavAction::FeedViewer, NavRule::Feed);
    row("opml", "http://site.test/list.opml", "", NavAction::FeedViewer, NavRule::Feed);
    row("rss in query only", "http://site.test/feed?x=a.rss", "", NavAction::LoadElsewhere,
        NavRule::Routing);
    row("mp3", "http://site.test/song.mp3", "", NavAction::Allow, NavRule::PlatformExtension);
    row("xml", "http://site.test/a.xml", "", NavAction::Allow, NavRule::PlatformExtension);
    row("html", "http://site.test/a.html", "", NavAction::LoadElsewhere, NavRule::Routing);
}

void TestNavRules::ruleOrder()
{
    QFETCH(QString, url);
    QFETCH(QString, setup);
    QFETCH(int, action);
    QFETCH(int, rule);

    NavInput in = withClick(activeWindow(1), Click::Plain);
    in.url = url;
    if (setup == QLatin1String("inactive"))
        in.bActiveForm = false;
    else if (setup == QLatin1String("closing"))
        in.mbClosing = true;
    else if (setup == QLatin1String("exiting"))
        in.gbExiting = true;
    else if (setup == QLatin1String("cancelNext")) {
        in.mbCancelNextNavigation = true;
        in.kind = NavigationKind::Other; // the engine's own follow-up
        in.linkClicked = false;
    } else if (setup == QLatin1String("capture"))
        in.formCapturePending = true;
    else if (setup == QLatin1String("post")) {
        in.kind = NavigationKind::FormSubmitted;
        in.isPost = true;
    }
    const NavDecision d = decideNavigation(in);
    QCOMPARE(int(d.rule), rule);
    QCOMPARE(int(d.action), action);
    QCOMPARE(d.setNavigatingUrl, in.bActiveForm && d.action != NavAction::LoadElsewhere);
    QCOMPARE(d.captureForm, setup == QLatin1String("capture") && d.rule == NavRule::FormCapture);
}

void TestNavRules::routedLinkEffects()
{
    // A routed click: the URL shows in the status bar, the click is used up, and the transient
    // Tabbed Browser value goes back to 4.
    NavInput in = withClick(activeWindow(5), Click::Plain);
    NavDecision d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::LoadElsewhere);
    QVERIFY(d.restoreTabbedMode);
    QVERIFY(d.showUrlInStatus);
    QVERIFY(d.clearNavigatingUrl);
    QVERIFY(!d.setNavigatingUrl);

    // A redirect that would have been routed: cancelled, but no click is used up.
    in = withClick(activeWindow(1), Click::Redirect);
    d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::CancelRouted);
    QVERIFY(!d.consumeLinkClick);
    QVERIFY(!d.restoreTabbedMode);

    // Ctrl-click in Skimline mode keeps the mode and the window's flags alone.
    in = withClick(activeWindow(1), Click::Ctrl);
    d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::Allow);
    QVERIFY(!d.consumeLinkClick);
    QVERIFY(!d.showUrlInStatus);
}

void TestNavRules::cancelNextOnlyEatsTheEnginesFollowUp()
{
    NavInput in = withClick(activeWindow(4), Click::ScriptLocation);
    in.mbCancelNextNavigation = true;
    NavDecision d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::Cancel);
    QCOMPARE(d.rule, NavRule::CancelNext);
    QVERIFY(d.clearCancelNext);

    // The user's own click afterwards goes through, and the flag is gone with it.
    in = withClick(activeWindow(4), Click::Plain);
    in.mbCancelNextNavigation = true;
    d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::Allow);
    QVERIFY(d.clearCancelNext);
}

void TestNavRules::newWindowRequests_data()
{
    QTest::addColumn<bool>("closing");
    QTest::addColumn<bool>("exiting");
    QTest::addColumn<bool>("active");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("next");

    QTest::newRow("closing") << true << false << true << true << false
                             << int(NewWindowAction::Cancel) << false;
    QTest::newRow("exiting") << false << true << true << true << false
                             << int(NewWindowAction::Cancel) << false;
    QTest::newRow("background window") << false << false << false << true << false
                                       << int(NewWindowAction::CancelAndNextToo) << false;
    QTest::newRow("not yet allowed") << false << false << true << false << false
                                     << int(NewWindowAction::CancelAndNextToo) << false;
    QTest::newRow("target blank") << false << false << true << true << false
                                  << int(NewWindowAction::OpenInPoolWindow) << false;
    QTest::newRow("shift click") << false << false << true << true << true
                                 << int(NewWindowAction::OpenInPoolWindow) << true;
}

void TestNavRules::newWindowRequests()
{
    QFETCH(bool, closing);
    QFETCH(bool, exiting);
    QFETCH(bool, active);
    QFETCH(bool, allowed);
    QFETCH(bool, shift);
    QFETCH(int, action);
    QFETCH(bool, next);

    NewWindowInput in;
    in.mbClosing = closing;
    in.gbExiting = exiting;
    in.bActiveForm = active;
    in.bAllowOpenInNewWindow = allowed;
    in.modifiers = shift ? Qt::ShiftModifier : Qt::NoModifier;
    const NewWindowDecision d = decideNewWindow(in);
    QCOMPARE(int(d.action), action);
    QCOMPARE(d.bNext, next);
}

void TestNavRules::parseCommandLinks_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("isCommand");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("argument");

    QTest::newRow("ldf") << "skl:ldf3" << true << "ldf"
                         << "3";
    QTest::newRow("ubm fraction") << "skl:ubm12.5" << true << "ubm"
                                  << "12.5";
    QTest::newRow("no argument") << "skl:rpt" << true << "rpt"
                                 << "";
    QTest::newRow("encoded search") << "skl:s--big%20cats" << true << "s--"
                                    << "big cats";
    QTest::newRow("loc keeps its address") << "skl:lochttp://site.test/a%20b?q=1" << true << "loc"
                                           << "http://site.test/a%20b?q=1";
    QTest::newRow("upper-case scheme") << "SKL:frm" << true << "frm"
                                       << "";
    QTest::newRow("web address") << "http://site.test/skl:ldf3" << false << ""
                                 << "";
}

void TestNavRules::parseCommandLinks()
{
    QFETCH(QString, url);
    QFETCH(bool, isCommand);
    QFETCH(QString, code);
    QFETCH(QString, argument);

    const auto link = parseCommandLink(url);
    QCOMPARE(link.has_value(), isCommand);
    QCOMPARE(isCommandLinkUrl(url), isCommand);
    if (link) {
        QCOMPARE(link->code, code);
        QCOMPARE(link->argument, argument);
    }
}

void TestNavRules::commandRegistryAndGuard()
{
    CommandLinks links;
    QStringList ran;
    QVERIFY(links.registerHandler(
        QStringLiteral("dbm"), [&](const QString &arg, const CommandContext &c) {
            ran << QStringLiteral("dbm ") + arg + QLatin1Char(' ') + QString::number(c.slot);
        }));
    QVERIFY(!links.registerHandler(QStringLiteral("zzz"), [](auto &, auto &) {}));
    QVERIFY(!links.registerHandler(QStringLiteral("rpt"), {}));
    QCOMPARE(CommandLinks::knownCodes().size(), 13);

    CommandContext fromProgram{3, Qt::NoModifier, NavigationSource::ProgramPage};
    CommandContext fromWeb{3, Qt::NoModifier, NavigationSource::WebContent};
    CommandContext fromNowhere{3, Qt::NoModifier, NavigationSource::None};

    // A web page carrying the program's links changes nothing.
    QCOMPARE(links.run(QStringLiteral("skl:dbm1"), fromWeb), CommandResult::Refused);
    QCOMPARE(links.run(QStringLiteral("skl:dbm1"), fromNowhere), CommandResult::Refused);
    QCOMPARE(links.run(QStringLiteral("skl:del/home/user/x.htm"), fromWeb), CommandResult::Refused);
    QVERIFY(ran.isEmpty());

    QCOMPARE(links.run(QStringLiteral("skl:dbm1"), fromProgram), CommandResult::Ran);
    QCOMPARE(ran, QStringList{"dbm 1 3"});
    // Codes are exact and lower case; unknown and unregistered ones only cancel.
    QCOMPARE(links.run(QStringLiteral("skl:DBM1"), fromProgram), CommandResult::Unknown);
    QCOMPARE(links.run(QStringLiteral("skl:xyz"), fromProgram), CommandResult::Unknown);
    QCOMPARE(links.run(QStringLiteral("skl:del/tmp/x"), fromProgram), CommandResult::Unregistered);
    QCOMPARE(links.run(QStringLiteral("http://site.test/"), fromProgram),
             CommandResult::NotACommand);
    QCOMPARE(ran.size(), 1);

    // A handler may unregister itself while it runs.
    QVERIFY(links.registerHandler(QStringLiteral("frm"), [&](const QString &, const auto &) {
        links.unregisterHandler(QStringLiteral("frm"));
        ran << QStringLiteral("frm");
    }));
    QCOMPARE(links.run(QStringLiteral("skl:frm"), fromProgram), CommandResult::Ran);
    QCOMPARE(links.run(QStringLiteral("skl:frm"), fromProgram), CommandResult::Unregistered);
    QCOMPARE(ran.last(), QStringLiteral("frm"));
}

void TestNavRules::downloadPaths_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("suggested");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("path");
    const QString pdf = QStringLiteral("http://site.test/get?id=1");
    QTest::newRow("suggested") << pdf << "report.pdf" << QStringList() << "/dl/report.pdf";
    QTest::newRow("climbing out") << pdf << "../../.bashrc" << QStringList() << "/dl/.bashrc";
    QTest::newRow("absolute") << pdf << "/usr/bin/evil" << QStringList() << "/dl/evil";
    QTest::newRow("dots only") << "http://site.test/a/b.zip"
                               << ".." << QStringList() << "/dl/b.zip";
    QTest::newRow("from the address") << "http://site.test/a/b.zip"
                                      << "" << QStringList() << "/dl/b.zip";
    QTest::newRow("no name at all") << "http://site.test/"
                                    << "" << QStringList() << "/dl/download";
    QTest::newRow("taken twice") << pdf << "a.tar.gz"
                                 << QStringList{"/dl/a.tar.gz", "/dl/a (1).tar.gz"}
                                 << "/dl/a (2).tar.gz";
}

void TestNavRules::downloadPaths()
{
    QFETCH(QString, url);
    QFETCH(QString, suggested);
    QFETCH(QStringList, taken);
    QFETCH(QString, path);
    QCOMPARE(downloadPath(QStringLiteral("/dl"), QUrl(url), suggested,
                          [&taken](const QString &p) { return taken.contains(p); }),
             path);
}

QTEST_GUILESS_MAIN(TestNavRules)
#include "test_nav_rules.moc"
