#include "NavRig.h"
#include "reader/OpenAllLinks.h"

#include <QtTest>

// Followed links, command links, keys, the wheel and menus on document windows of the platform
// double, with the real pool, queue and session store.
class TestNavWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Thousands of links go into the queue over several turns, every one and in page order.
    void manyLinksAreQueuedOverSeveralTurns()
    {
        FakeWeb web;
        FakeDocument page(web);
        QString html;
        for (int i = 0; i < 450; ++i)
            html += QString("<a href=\"/p%1.htm\">%1</a>").arg(i);
        page.beginDocument(QUrl("http://links.test/"), html);
        page.setReadyState(ReadyState::Complete);
        QStringList loaded;
        int done = -1;
        openAllLinks(
            page, OpenLinksKind::All, "http://links.test/", false,
            [&](const QString &address) { loaded << address; }, [&](int count) { done = count; });
        QTRY_COMPARE(done, 450);
        QCOMPARE(loaded.size(), 450);
        QCOMPARE(loaded.first(), QString("http://links.test/p0.htm"));
        QCOMPARE(loaded.last(), QString("http://links.test/p449.htm"));
    }

    void ftpGoesToTheDesktop();
    void rightClickTakesOverALink();
    void newWindowRefusedCancelsTheFollowUp();
    void commandLinksOnlyFromTheProgramsPages();
    void ldfLocAndStr();
    void singleKeys();
    void keysWhileTyping();
    void wheelZoomAndPageScroll();
    void rightButtonSwapAndRocker();
    void detailsToggleAndFocus();
    void newWindowWithNoRoomWaits();
};

namespace {

const QString kPage = QStringLiteral("http://site.test/index.html");

QString linksPage()
{
    return QStringLiteral("<title>Index</title><body>"
                          "<a id=plain href='/a.html'>a</a>"
                          "<a id=blank href='/b.html' target=_blank>b</a>"
                          "<a id=ftp href='ftp://files.test/pub/x.txt'>ftp</a>"
                          "<form id=f method=post action='/post.cgi'><input id=q name=q value=1>"
                          "<input type=submit id=go></form>"
                          "</body>");
}

} // namespace

// Where a redirect, a feed or a form goes is the routing table's and the engine tests'; an FTP
// link leaves for the desktop.
void TestNavWindow::ftpGoesToTheDesktop()
{
    NavRig rig;
    rig.show(kPage, linksPage());
    QVERIFY(rig.control(0)->click(QStringLiteral("ftp")));
    rig.settle();
    QCOMPARE(rig.platform.shell.targetsOf(QStringLiteral("openUrl")),
             QStringList{"ftp://files.test/pub/x.txt"});
    QCOMPARE(rig.reader.pool.slotCount(), 1);
    QCOMPARE(rig.control(0)->locationUrl(), QUrl(kPage));
}

void TestNavWindow::rightClickTakesOverALink()
{
    // Skimline mode: the link a right-click takes over loads in place.
    NavRig skim;
    skim.show(kPage, linksPage());
    QVERIFY(!skim.control(0)->contextClick(QStringLiteral("plain")));
    skim.settle();
    QCOMPARE(skim.control(0)->locationUrl().path(), QStringLiteral("/a.html"));
    QCOMPARE(skim.reader.pool.slotCount(), 1);
    QCOMPARE(skim.ctx.giBrowsingMode, 1);
}

void TestNavWindow::newWindowRefusedCancelsTheFollowUp()
{
    NavRig rig;
    rig.show(kPage, linksPage());
    // A background window's pop-up is refused, and so is its engine's follow-up navigation.
    (void)rig.reader.queue.LoadDocument(QStringLiteral("http://site.test/bg.html"));
    rig.settle();
    DocumentWindow *bg = rig.window(1);
    QVERIFY(bg && !bg->bActiveForm);
    rig.control(1)->scriptOpenWindow(QUrl(QStringLiteral("http://ads.test/pop.html")), true);
    rig.settle();
    QCOMPARE(rig.reader.pool.slotCount(), 2);
    QVERIFY(rig.nav.cancelNextNavigation(*bg));

    // Once it is read, the user's own clicks there are not swallowed.
    rig.reader.pool.ActivateWindow(1);
    rig.settle();
    rig.control(1)->scriptNavigate(QUrl(QStringLiteral("http://ads.test/follow.html")));
    rig.settle();
    QVERIFY(!rig.nav.cancelNextNavigation(*bg));
    QCOMPARE(rig.control(1)->locationUrl().path(), QStringLiteral("/bg.html"));
}

void TestNavWindow::commandLinksOnlyFromTheProgramsPages()
{
    NavRig rig;
    QStringList ran;
    QVERIFY(rig.nav.commands().registerHandler(
        QStringLiteral("dbm"), [&](const QString &a, const CommandContext &) { ran << a; }));
    QVERIFY(rig.nav.commands().registerHandler(
        QStringLiteral("del"), [&](const QString &a, const CommandContext &) { ran << a; }));
    const QString html = QStringLiteral(
        "<a id=d href='skl:dbm1'>delete favorite</a><a id=f href='skl:del/home/u/page.htm'>x</a>");

    rig.show("http://evil.test/", html + QStringLiteral("<a id=page href='skl-app:"
                                                        "//pages/Start.htm'>p</a>"));
    QVERIFY(rig.control(0)->click("d"));
    QVERIFY(rig.control(0)->click("f"));
    rig.settle();
    QVERIFY(ran.isEmpty());
    QCOMPARE(rig.control(0)->locationUrl(), QUrl(QStringLiteral("http://evil.test/")));
    // Nor by the other ways of following a page's links: the Tabbed Browser right-click,
    // Open All Links, and the loader itself, whose window would wait for ever.
    rig.ctx.giBrowsingMode = 4;
    for (const char *id : {"d", "page"}) {
        (void)rig.control(0)->contextClick(QString::fromLatin1(id));
        rig.settle();
    }
    rig.ctx.giBrowsingMode = 1;
    rig.nav.mnuOL_OpenAllLinks_Click(0);
    rig.settle();
    QCOMPARE(rig.reader.queue.LoadDocument(QStringLiteral("skl:dbm1")), LoadOutcome::Nothing);
    // Nor a script address, which would run in the page a reused window still shows.
    QCOMPARE(rig.reader.queue.LoadDocument(QStringLiteral("JavaScript:alert(document.cookie)")),
             LoadOutcome::Nothing);
    rig.settle();
    QVERIFY(ran.isEmpty());
    QCOMPARE(rig.reader.pool.slotCount(), 1);
    QCOMPARE(rig.records(), QStringList{QStringLiteral("http://evil.test/:1:1")});

    // The same links in a page the program wrote work.
    rig.control(0)->writePage(html, QStringLiteral("Report.htm"));
    rig.settle();
    QVERIFY(rig.control(0)->click(QStringLiteral("d")));
    QVERIFY(rig.control(0)->click(QStringLiteral("f")));
    QCOMPARE(ran, (QStringList{"1", "/home/u/page.htm"}));
}

void TestNavWindow::ldfLocAndStr()
{
    NavRig rig;
    (void)rig.reader.queue.LoadDocument(QStringLiteral("http://site.test/one.html"));
    rig.settle();
    rig.control(0)->writePage(QStringLiteral("<a id=open href='skl:ldf1'>1</a>"
                                             "<a id=gone href='skl:ldf7'>7</a>"
                                             "<a id=loc href='skl:locwww.site.test/l.html'>l</a>"
                                             "<a id=str href='skl:str11'>next session</a>"
                                             "<a id=frm href='skl:frm'>f</a>"));
    rig.settle();
    rig.window(0)->bNavigateInOtherWindow = true;

    QVERIFY(rig.control(0)->click(QStringLiteral("gone")));
    QCOMPARE(rig.platform.ui.messageTexts(),
             QStringList{"This browser window has been closed, and is no longer in memory."});
    QVERIFY(rig.control(0)->click(QStringLiteral("frm")));
    QCOMPARE(rig.ctx.giCurrentWindow, 0);
    QVERIFY(rig.control(0)->click(QStringLiteral("open")));
    rig.settle();
    QCOMPARE(rig.ctx.giCurrentWindow, 1);

    // "loc" is routed like a click: the program page's window stays, the address loads behind.
    rig.reader.pool.ActivateWindow(0);
    rig.settle();
    QVERIFY(rig.control(0)->click(QStringLiteral("loc")));
    rig.settle();
    QVERIFY(rig.records().contains(QStringLiteral("http://www.site.test/l.html:0:1")));
    QVERIFY(ProgramPages::isWrittenPage(rig.control(0)->locationUrl()));

    // "str" 11 reopens the pages stored for this session.
    QVERIFY(rig.stores.rsOptions.AddNew(
        {QStringLiteral("key"), QStringLiteral("value")},
        {QStringLiteral("nextsessionurl"), QStringLiteral("0`http://site.test/stored.html")}));
    QVERIFY(rig.control(0)->click(QStringLiteral("str")));
    rig.settle();
    QVERIFY(rig.records().join(' ').contains(QLatin1String("stored.html")));

    // "loc" never runs a script in the program's page.
    const int before = int(rig.records().size());
    rig.control(0)->writePage("<a id=js href='skl:locjavascript://x/%0Aalert(1)'>j</a>");
    rig.settle();
    QVERIFY(rig.control(0)->click(QStringLiteral("js")));
    rig.settle();
    QCOMPARE(rig.records().size(), before);
    for (const auto &call : rig.control(0)->navigateCalls())
        QVERIFY(call.url.scheme() != QLatin1String("javascript"));
}

void TestNavWindow::singleKeys()
{
    // The switching keys themselves run on the real engine; here what only the double shows.
    NavRig rig;
    rig.show(kPage, linksPage());
    (void)rig.reader.queue.LoadDocument(QStringLiteral("http://site.test/k1.html"));
    rig.settle();
    // Keypad 5 marks the window for closing and moves on; it stays until the next one is left.
    rig.control(0)->pressKey(Qt::Key_5, Qt::KeypadModifier, QStringLiteral("5"));
    rig.settle();
    QCOMPARE(rig.state(0), QStringLiteral("x"));
    QVERIFY(rig.window(0));
    QCOMPARE(rig.ctx.giCurrentWindow, 1);

    // Keys the frame serves go to it; without it they are not consumed.
    QList<KeyCommand> asked;
    rig.nav.hooks.frameCommand = [&](KeyCommand c, DocumentWindow &) {
        asked << c;
        return true;
    };
    rig.control(1)->pressKey(Qt::Key_D, Qt::AltModifier);
    rig.control(1)->pressKey(Qt::Key_W);
    QCOMPARE(asked, (QList<KeyCommand>{KeyCommand::FocusAddressBox, KeyCommand::ShowSidebarNotes}));
}

void TestNavWindow::keysWhileTyping()
{
    NavRig rig;
    rig.show(kPage, linksPage());
    (void)rig.reader.queue.LoadDocument(QStringLiteral("http://site.test/k1.html"));
    rig.settle();

    // Leaving a window from inside a field (the toolbar, the menu): the field's focusout is
    // reported only after the switch, and the keys work in the new window at once.
    rig.reader.pool.ActivateWindow(0);
    rig.control(0)->focusElement(QStringLiteral("q"));
    rig.settle();
    QVERIFY(rig.ctx.gbTextEntry);
    rig.control(1)->fakeDocument().clearWrites();
    rig.reader.pool.ActivateWindow(1);
    QVERIFY(!rig.ctx.gbTextEntry);
    QVERIFY(!rig.control(1)->fakeDocument().writesOf(QStringLiteral("focus")).isEmpty());
    rig.control(0)->focusElement(QStringLiteral("plain"));
    rig.settle();
    QVERIFY(!rig.ctx.gbTextEntry);

    // A field of a background page taking the focus counts for nothing; a page's new
    // document (a form sent with Enter) ends its field's hold.
    rig.control(0)->focusElement(QStringLiteral("q"));
    rig.settle();
    QVERIFY(!rig.ctx.gbTextEntry);
    rig.control(1)->scriptDocumentWrite(QStringLiteral("<input id=f2>"));
    rig.settle();
    rig.control(1)->focusElement(QStringLiteral("f2"));
    rig.settle();
    QVERIFY(rig.ctx.gbTextEntry);
    (void)rig.reader.queue.LoadDocument("http://site.test/sent.html", LoadWhere::Here);
    rig.settle();
    QVERIFY(!rig.ctx.gbTextEntry);
}

void TestNavWindow::wheelZoomAndPageScroll()
{
    NavRig rig;
    rig.show(kPage, linksPage());
    FakeBrowserControl *c = rig.control(0);
    c->fakeDocument().setScrollMetrics(5000, 600);

    // The zoom steps are the decision table's, Ctrl+wheel the engine test's; Ctrl + middle
    // button: back to normal.
    c->wheel(ElementRef(), 120, Qt::ControlModifier);
    QCOMPARE(rig.nav.miZoom, 105);
    c->mousePress(ElementRef(), Qt::MiddleButton, Qt::MiddleButton, Qt::ControlModifier);
    rig.settle();
    QCOMPARE(c->document().snapshot().bodyZoom, QString());

    // One notch: a screen less the overlap, down and back up.
    c->wheel(ElementRef(), -120);
    QCOMPARE(c->document().snapshot().scrollTop, 600 - kPageOverlap);
    c->wheel(ElementRef(), 120);
    QCOMPARE(c->document().snapshot().scrollTop, 0);
    // After the reader went back to the top by other means, the next notch starts there.
    c->wheel(ElementRef(), -120);
    c->fakeDocument().setScrollTop(0);
    c->wheel(ElementRef(), -120);
    QCOMPARE(c->document().snapshot().scrollTop, 600 - kPageOverlap);
    // At the end of the page, more notches add no distance to come back through.
    c->fakeDocument().setScrollTop(4400);
    c->wheel(ElementRef(), -120);
    c->wheel(ElementRef(), -120);
    QCOMPARE(c->document().snapshot().scrollTop, 4400);
    c->wheel(ElementRef(), 120);
    QCOMPARE(c->document().snapshot().scrollTop, 4400 - 600 + kPageOverlap);
    // A touchpad's small steps: a page once they make a notch.
    c->fakeDocument().setScrollTop(0);
    for (int i = 0; i < 3; ++i)
        c->wheel(ElementRef(), -40);
    QCOMPARE(c->document().snapshot().scrollTop, 600 - kPageOverlap);
    // With the option on, the engine's own step.
    c->fakeDocument().setScrollTop(0);
    rig.ctx.gbOptBit8 = true;
    c->wheel(ElementRef(), -120);
    QCOMPARE(c->document().snapshot().scrollTop, 100);
}

void TestNavWindow::rightButtonSwapAndRocker()
{
    NavRig rig;
    rig.show(kPage, linksPage());
    (void)rig.reader.queue.LoadDocument(QStringLiteral("http://site.test/other.html"));
    rig.settle();
    FakeBrowserControl *c = rig.control(0);

    // A double-click with the right button held: no menu on the release.
    QVERIFY(c->doubleClick(QStringLiteral("q"), Qt::RightButton));
    rig.settle();
    QVERIFY(rig.nav.gbSuppressContextMenu);
    QVERIFY(!c->contextClick(QStringLiteral("plain")));

    // The rocker: left held, right clicked closes the current window.
    rig.platform.ui.setMouseButtons(Qt::LeftButton);
    QVERIFY(!c->contextClick(ElementRef()));
    rig.platform.ui.setMouseButtons(Qt::NoButton);
    rig.settle();
    QVERIFY(!rig.window(0));
}

void TestNavWindow::detailsToggleAndFocus()
{
    NavRig rig;
    rig.control(0)->writePage(QStringLiteral(
        "<div class=HShow id=HS1>Show</div><div id=HS1HD style='display:none'>details</div>"
        "<p id=p>text</p>"));
    rig.settle();
    QVERIFY(rig.control(0)->click(QStringLiteral("HS1")));
    rig.settle();
    FakeDom &dom = rig.control(0)->dom();
    QVERIFY(dom.getElementById(QStringLiteral("HS1"))->attribute("style").contains("none"));
    QVERIFY(dom.getElementById(QStringLiteral("HS1HD"))->attribute("style").contains("block"));
    QVERIFY(rig.nav.linkClicked(*rig.window(0)));
}

void TestNavWindow::newWindowWithNoRoomWaits()
{
    // Two windows at most, both unread: a target=_blank link finds no window and waits in the
    // queue, next in reading order.
    NavRig rig(2);
    rig.show(kPage, linksPage());
    (void)rig.reader.queue.LoadDocument(QStringLiteral("http://site.test/other.html"));
    rig.settle();
    QCOMPARE(rig.reader.pool.slotCount(), 2);
    const int order = rig.ctx.giNextOrder;
    QVERIFY(rig.control(0)->click(QStringLiteral("blank")));
    rig.settle();
    QCOMPARE(rig.reader.pool.slotCount(), 2);
    QCOMPARE(rig.control(1)->locationUrl().path(), QStringLiteral("/other.html"));
    QCOMPARE(rig.control(0)->locationUrl(), QUrl(kPage));
    QCOMPARE(rig.records(QStringLiteral("bRead = 0 AND bLoaded = 0")),
             QStringList{QStringLiteral("http://site.test/b.html:0:0")});
    QCOMPARE(rig.ctx.giNextOrder, order + 1);
    QVERIFY(!rig.nav.cancelNextNavigation(*rig.window(0)));
}

QTEST_MAIN(TestNavWindow)
#include "test_nav_window.moc"
