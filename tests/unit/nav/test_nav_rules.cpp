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

NavInput activeWindow(int mode)
{
    NavInput in;
    in.url = QStringLiteral("http://site.test/next.html");
    in.bActiveForm = true;
    in.bNavigateInOtherWindow = true;
    in.giBrowsingMode = mode;
    return in;
}

// A followed link as the engine reports it, from the words of `how`: "ctrl", "shift", "middle",
// "blank" (target=_blank), "named" (a named frame), "post" or "get" (a form sent, in its own
// window also with Shift held), "redirect", "script" (a script set the location), "program"
// (the program's own navigation), "frame" (a link inside a frame), "https".
NavInput withClick(NavInput in, const QString &how)
{
    using D = WindowDisposition;
    const QStringList w = how.split(u' ');
    in.kind = NavigationKind::LinkClicked;
    in.linkClicked = true;
    in.button = Qt::LeftButton;
    if (w.contains("https"))
        in.url = QStringLiteral("https://site.test/secure.html");
    if (w.contains("ctrl"))
        in.modifiers = Qt::ControlModifier, in.disposition = D::NewBackgroundTab;
    if (w.contains("shift"))
        in.modifiers = Qt::ShiftModifier, in.disposition = D::NewWindow;
    if (w.contains("middle"))
        in.button = Qt::MiddleButton, in.disposition = D::NewBackgroundTab;
    if (w.contains("blank"))
        in.targetFrameName = QStringLiteral("_blank"), in.disposition = D::NewForegroundTab;
    if (w.contains("named"))
        in.targetFrameName = QStringLiteral("main");
    if (w.contains("frame"))
        in.isTopFrame = false;
    if (w.contains("post") || w.contains("get")) {
        in.kind = NavigationKind::FormSubmitted;
        in.isPost = w.contains("post");
        in.disposition = D::CurrentWindow;
    }
    const std::pair<const char *, NavigationKind> unclicked[] = {
        {"redirect", NavigationKind::Redirect},
        {"script", NavigationKind::Other},
        {"program", NavigationKind::Program}};
    for (const auto &[word, kind] : unclicked) {
        if (w.contains(QLatin1String(word)))
            in.kind = kind, in.linkClicked = false, in.button = Qt::NoButton;
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
    QTest::addColumn<QString>("click");
    QTest::addColumn<bool>("sameWindow");
    QTest::addColumn<bool>("readingState");
    QTest::addColumn<QString>("where");

    // The click (see withClick) and where it loads in a routing mode (Skimline; Research reads
    // the same rule) and in Tabbed mode.
    const char *const rows[][3] = {
        {"plain", "background", "here"},
        {"ctrl", "here", "here"},
        {"shift", "new window", "new window"},
        {"blank", "new window", "new window"},
        {"middle", "background", "background"},
        {"named", "here", "here"},
        {"get", "here", "here"},
        {"shift post", "background", "here"},
        {"redirect", "nowhere", "here"},
        {"frame", "here", "here"},
        {"https", "background", "here"},
        {"https redirect", "here", "here"},
        {"program", "here", "here"},
    };
    for (const auto &r : rows) {
        QTest::addRow("skimline/%s", r[0]) << 1 << QString(r[0]) << false << true << QString(r[1]);
        QTest::addRow("tabbed/%s", r[0]) << 4 << QString(r[0]) << false << true << QString(r[2]);
    }
    // Open In Same Window, and a window that is not yet reading (its own load, Back, Refresh):
    // everything but Shift and the middle button stays here.
    QTest::addRow("same window plain") << 1 << "plain" << true << true << "here";
    QTest::addRow("same window shift") << 1 << "shift" << true << true << "new window";
    QTest::addRow("not reading plain") << 1 << "plain" << false << false << "here";
    // The link a right-click took over in Tabbed Browser mode (transient mode 5).
    QTest::addRow("tabbed once/plain") << 5 << "plain" << false << true << "background";
    // Option SecureLinksInPlace: a clicked secure link stays, the middle button still routes.
    QTest::addRow("secure in place/https link") << 1 << "https" << false << true << "here";
    QTest::addRow("secure in place/https middle")
        << 1 << "https middle" << false << true << "background";
}

void TestNavRules::routingTable()
{
    QFETCH(int, mode);
    QFETCH(QString, click);
    QFETCH(bool, sameWindow);
    QFETCH(bool, readingState);
    QFETCH(QString, where);

    NavInput in = withClick(activeWindow(mode), click);
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
    // An inactive window loads anything, even a command link.
    row("inactive skl", "skl:dbm12", "inactive", NavAction::Allow, NavRule::InactiveWindow);
    row("closing", "skl:rpt", "closing", NavAction::Cancel, NavRule::Closing);
    row("empty address", "http:///", "", NavAction::CancelFreeSlot, NavRule::EmptyAddress);
    row("about blank", "about:blank", "cancelNext", NavAction::Allow, NavRule::ResourcePage);
    row("cancel next before ftp", "ftp://files.test/a", "cancelNext", NavAction::Cancel,
        NavRule::CancelNext);
    row("ftp", "ftp://files.test/pub/a.txt", "", NavAction::OpenWithDesktop, NavRule::Scheme);
    row("https feed", "https://site.test/a.rss", "", NavAction::FeedViewer, NavRule::Feed);
    row("mailto", "mailto:a@b.test", "", NavAction::Allow, NavRule::Scheme);
    row("command before capture", "skl:ldf3", "capture", NavAction::RunCommand,
        NavRule::CommandLink);
    row("capture before feed", "http://site.test/a.rss", "capture", NavAction::Allow,
        NavRule::FormCapture);
    row("post to a feed address", "http://site.test/a.rss", "post", NavAction::Allow,
        NavRule::FormPost);
    row("rss", "http://site.test/news.rss", "", NavAction::FeedViewer, NavRule::Feed);
    row("rss in query only", "http://site.test/feed?x=a.rss", "", NavAction::LoadElsewhere,
        NavRule::Routing);
    row("mp3", "http://site.test/song.mp3", "", NavAction::Allow, NavRule::PlatformExtension);
    row("html", "http://site.test/a.html", "", NavAction::LoadElsewhere, NavRule::Routing);
}

void TestNavRules::ruleOrder()
{
    QFETCH(QString, url);
    QFETCH(QString, setup);
    QFETCH(int, action);
    QFETCH(int, rule);

    NavInput in = withClick(activeWindow(1), "");
    in.url = url;
    if (setup == QLatin1String("inactive"))
        in.bActiveForm = false;
    else if (setup == QLatin1String("closing"))
        in.mbClosing = true;
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
    NavInput in = withClick(activeWindow(5), "");
    NavDecision d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::LoadElsewhere);
    QVERIFY(d.restoreTabbedMode);
    QVERIFY(d.showUrlInStatus);
    QVERIFY(d.clearNavigatingUrl);
    QVERIFY(!d.setNavigatingUrl);

    // A redirect that would have been routed: cancelled, but no click is used up.
    in = withClick(activeWindow(1), "redirect");
    d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::CancelRouted);
    QVERIFY(!d.consumeLinkClick);
    QVERIFY(!d.restoreTabbedMode);

    // Ctrl-click in Skimline mode keeps the mode and the window's flags alone.
    in = withClick(activeWindow(1), "ctrl");
    d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::Allow);
    QVERIFY(!d.consumeLinkClick);
    QVERIFY(!d.showUrlInStatus);
}

void TestNavRules::cancelNextOnlyEatsTheEnginesFollowUp()
{
    NavInput in = withClick(activeWindow(4), "script");
    in.mbCancelNextNavigation = true;
    NavDecision d = decideNavigation(in);
    QCOMPARE(d.action, NavAction::Cancel);
    QCOMPARE(d.rule, NavRule::CancelNext);
    QVERIFY(d.clearCancelNext);

    // The user's own click afterwards goes through, and the flag is gone with it.
    in = withClick(activeWindow(4), "");
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

    using A = NewWindowAction;
    const auto row = [](const char *name, bool closing, bool exiting, bool active, bool allowed,
                        bool shift, A action, bool next) {
        QTest::newRow(name) << closing << exiting << active << allowed << shift << int(action)
                            << next;
    };
    row("closing", true, false, true, true, false, A::Cancel, false);
    row("background window", false, false, false, true, false, A::CancelAndNextToo, false);
    row("target blank", false, false, true, true, false, A::OpenInPoolWindow, false);
    row("shift click", false, false, true, true, true, A::OpenInPoolWindow, true);
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

    const auto row = [](const char *url, bool isCommand, const char *code, const char *arg) {
        QTest::newRow(url) << QString(url) << isCommand << QString(code) << QString(arg);
    };
    row("skl:ldf3", true, "ldf", "3");
    row("skl:rpt", true, "rpt", "");
    row("skl:s--big%20cats", true, "s--", "big cats");
    row("skl:lochttp://site.test/a%20b?q=1", true, "loc", "http://site.test/a%20b?q=1");
    row("SKL:frm", true, "frm", "");
    row("http://site.test/skl:ldf3", false, "", "");
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
    const auto row = [](const char *name, const char *url, const char *suggested,
                        const QStringList &taken, const char *path) {
        QTest::newRow(name) << QString(url) << QString(suggested) << taken << QString(path);
    };
    const char *pdf = "http://site.test/get?id=1";
    row("suggested", pdf, "report.pdf", {}, "/dl/report.pdf");
    row("climbing out", pdf, "../../.bashrc", {}, "/dl/.bashrc");
    row("absolute", pdf, "/usr/bin/evil", {}, "/dl/evil");
    row("dots only", "http://site.test/a/b.zip", "..", {}, "/dl/b.zip");
    row("from the address", "http://site.test/a/b.zip", "", {}, "/dl/b.zip");
    row("no name at all", "http://site.test/", "", {}, "/dl/download");
    row("taken twice", pdf, "a.tar.gz", {"/dl/a.tar.gz", "/dl/a (1).tar.gz"}, "/dl/a (2).tar.gz");
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
