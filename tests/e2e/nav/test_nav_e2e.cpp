#include "../reader/EngineRig.h"

#include "frame/MDIForm1.h"
#include "platform/PageWriter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>

using namespace WebHarness;

namespace {

// The reading workflow on engine controls; every window answers through the reader's navigator.
struct NavEngineRig : EngineRig
{
    NavEngineRig(WebEnginePlatform &platform, const QString &data)
        : EngineRig(platform, data), nav(reader.nav)
    {
        ctx.shell = &shell;
        window(0)->bActiveForm = true;
    }

    bool wait(const std::function<bool()> &condition) { return waitFor(condition); }
    WebEngineControl &control(int slot) const
    {
        return *static_cast<WebEngineControl *>(host.controls.at(slot).get());
    }
    QString path(int slot) const { return control(slot).locationUrl().path(); }
    int slots() const { return reader.pool.slotCount(); }

    // Window 0 shows the page, complete, in reading state and taking the mouse.
    bool show(const QUrl &url, bool forClicks = true)
    {
        (void)reader.queue.LoadDocument(url.toString(), LoadWhere::Here);
        return wait([&] {
                   DocumentWindow *w = window(0);
                   return w->msURL == url.toString() && w->msReadyState == QLatin1String("c") &&
                          w->bNavigateInOtherWindow;
               }) &&
               (!forClicks || inputReady(control(0)));
    }

    // A fresh page may drop the first input while its renderer starts: click an empty corner
    // until the page has seen a button press.
    static bool inputReady(WebEngineControl &c)
    {
        runScript(c,
                  QStringLiteral("window.__seen = 0; document.addEventListener('mousedown',"
                                 " function(){ window.__seen++; }, true); 1"),
                  QWebEngineScript::MainWorld);
        for (int attempt = 0; attempt < 20; ++attempt) {
            QWidget *input = inputWidget(c);
            QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, QPoint(700, 3));
            if (QTest::qWaitFor(
                    [&] {
                        return runScript(c, QStringLiteral("window.__seen"),
                                         QWebEngineScript::MainWorld)
                                   .toInt() > 0;
                    },
                    1000))
                return true;
        }
        return false;
    }

    // A key to the current window, sent again while it had no effect: a page that has just
    // been shown may drop it.
    bool press(Qt::Key key, Qt::KeyboardModifiers mods, const std::function<bool()> &done)
    {
        for (int attempt = 0; attempt < 10; ++attempt) {
            WebEngineControl &c = control(ctx.giCurrentWindow);
            focusControl(c);
            pressKey(c, key, mods);
            if (QTest::qWaitFor(done, 3000))
                return true;
        }
        return false;
    }

    FakeShell shell;
    Navigator &nav;
};

QString script(WebEngineControl &c, const QString &js)
{
    return runScript(c, js, QWebEngineScript::MainWorld).toString();
}

// The index of the frameset's FRAME that has the keyboard, "-1" for none.
QString keyboardFrame(WebEngineControl &c)
{
    return script(c,
                  QStringLiteral("String(Array.prototype.indexOf.call("
                                 "document.querySelectorAll('frame'), document.activeElement))"));
}

void wheel(WebEngineControl &c, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier,
           Qt::MouseButtons buttons = Qt::NoButton)
{
    QWidget *input = inputWidget(c);
    const QPointF at(200, 200);
    QWheelEvent ev(at, input->mapToGlobal(at), QPoint(), QPoint(0, delta), buttons, mods,
                   Qt::NoScrollPhase, false);
    QApplication::sendEvent(input, &ev);
}

QByteArray linksPage()
{
    return HttpFixture::html(QStringLiteral("Links"),
                             QStringLiteral("<p><a id=plain href='/a.htm'>plain link</a></p>"
                                            "<p><a id=two href='/b.htm'>second link</a></p>"
                                            "<div style='height:4000px'>tall</div>"));
}

} // namespace

// Where followed links go, keys, the wheel and command links, on the real engine.
class TestNavE2E : public QObject
{
    Q_OBJECT

    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture m_http;

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        QVERIFY(m_http.listenSecure());
        m_http.addPage(QStringLiteral("/links.htm"), linksPage());
        for (const char *p : {"/a.htm", "/b.htm", "/c.htm"})
            m_http.addHtml(QString::fromLatin1(p), QString::fromLatin1(p), QStringLiteral("x"));
    }
    void cleanupTestCase() { m_platform.reset(); }

    // A download goes to the download folder; the page stays, and no window is made for it.
    // Secure links are routed like any other when clicked; what no click caused proceeds in
    // place; the option brings the old rule back.
    void downloadsAndSecureLinks()
    {
        TempProfile profile;
        NavEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        HttpFixture::Response zip;
        zip.body = QByteArray(2048, 'z');
        zip.contentType = "application/zip";
        m_http.addHandler("/files/pack.zip", [zip](const HttpFixture::Request &) { return zip; });
        m_http.addHtml("/dl.htm", "Downloads", "<p><a id=zip href='/files/pack.zip'>pack</a></p>");
        QVERIFY(rig.show(m_http.url("/dl.htm")));
        QVERIFY(clickElement(rig.control(0), "zip"));
        const QString saved = QDir(Navigator::downloadFolder()).filePath("pack.zip");
        QVERIFY(saved.startsWith(qEnvironmentVariable("SKIMLINE_HOME")));
        QVERIFY(rig.wait(
            [&] { return rig.host.status.value(3) == QStringLiteral("Downloaded to ") + saved; }));
        QCOMPARE(QFileInfo(saved).size(), 2048);
        QCOMPARE(rig.path(0), QStringLiteral("/dl.htm"));
        QCOMPARE(rig.slots(), 1);

        m_http.addHtml(QStringLiteral("/jump.htm"), QStringLiteral("J"),
                       QStringLiteral("<script>window.addEventListener('load', function () {"
                                      "setTimeout(function () { location.href = '/b.htm'; }, 300);"
                                      "});</script>"));
        const QUrl links = m_http.secureUrl(QStringLiteral("/links.htm"));
        QVERIFY(rig.show(links));
        QVERIFY(clickElement(rig.control(0), QStringLiteral("plain")));
        QVERIFY(rig.wait([&] { return rig.slots() == 2 && rig.state(1) == QLatin1String("c"); }));
        QCOMPARE(rig.control(1).locationUrl(), m_http.secureUrl(QStringLiteral("/a.htm")));
        QCOMPARE(rig.path(0), QStringLiteral("/links.htm"));
        QCOMPARE(rig.host.status.value(2), QStringLiteral("1 of 2"));

        QVERIFY(rig.show(m_http.secureUrl(QStringLiteral("/jump.htm")), false));
        // The window has taken the new page in, not only the engine.
        const QString b = m_http.secureUrl(QStringLiteral("/b.htm")).toString();
        QVERIFY(rig.wait([&] {
            return rig.window(0)->msURL == b && rig.window(0)->msReadyState == QLatin1String("c");
        }));
        QCOMPARE(rig.slots(), 2);

        QVERIFY(rig.file.SetOption(QStringLiteral("SecureLinksInPlace"), true));
        QVERIFY(rig.show(links));
        QVERIFY(clickElement(rig.control(0), QStringLiteral("two")));
        QVERIFY(rig.wait([&] { return rig.path(0) == QLatin1String("/b.htm"); }));
        QCOMPARE(rig.slots(), 2);
    }

    // A target=_blank link and a Shift+click each get their own session record, also in a
    // reused read window (a killed run's session coming back is the reader's program test's);
    // the report's History shows each page under its own title.
    void newWindowPagesAreLogged()
    {
        TempProfile profile;
        NavEngineRig rig(*m_platform, profile.file("data"));
        m_http.addHtml(QStringLiteral("/old.htm"), QStringLiteral("Old page"), QStringLiteral("o"));
        m_http.addHtml(QStringLiteral("/blank.htm"), QStringLiteral("Blank page"), "b");
        m_http.addHtml(QStringLiteral("/shift.htm"), QStringLiteral("Shift page"), "s");
        m_http.addHtml(QStringLiteral("/nw.htm"), QStringLiteral("Opener"),
                       QStringLiteral("<p><a id=blank href='/blank.htm' target=_blank>b</a></p>"
                                      "<p><a id=shift href='/shift.htm'>s</a></p>"));
        const auto url = [&](const char *path) {
            return m_http.url(QString::fromLatin1(path)).toString();
        };
        (void)rig.reader.queue.LoadDocument(url("/old.htm"));
        QVERIFY(rig.wait([&] { return rig.state(1) == QLatin1String("c"); }));
        rig.reader.pool.ActivateWindow(1);
        rig.reader.pool.ActivateWindow(0);
        rig.reader.pool.setState(1, QStringLiteral("f")); // read and left: reusable
        QVERIFY(rig.show(m_http.url(QStringLiteral("/nw.htm"))));
        QVERIFY(clickElement(rig.control(0), QStringLiteral("blank")));
        QVERIFY(rig.wait([&] { return rig.path(1) == "/blank.htm" && rig.state(1) == "c"; }));
        QVERIFY(clickElement(rig.control(0), "shift", Qt::LeftButton, Qt::ShiftModifier));
        QVERIFY(rig.wait([&] { return rig.slots() == 3 && rig.path(2) == "/shift.htm"; }));
        QVERIFY(rig.window(2)->mbNext);
        QVERIFY(rig.wait([&] { return rig.ctx.giLoadingCount == 0; }));
        QCOMPARE(rig.records(QStringLiteral("bRead = 0 AND bLoaded = 1")),
                 (QStringList{url("/blank.htm"), url("/shift.htm")}));

        for (int slot : {2, 1})
            rig.reader.pool.ActivateWindow(slot);
        QVERIFY(rig.reader.pool.unloadWindow(2));
        QVERIFY(rig.reader.pool.unloadWindow(1));
        rig.reader.pool.ActivateWindow(0);
        rig.reader.report.mnuReport_Click();
        QVERIFY(rig.wait([&] { return rig.control(0).title() == SessionReport::kTitle(); }));
        // The text between the headings "History" and "Loaded Documents".
        const QString history =
            script(rig.control(0),
                   QStringLiteral(
                       "(function () { var h = [].find.call(document.querySelectorAll('h3'),"
                       " function (e) { return e.textContent == 'History'; }), t = '';"
                       " for (var n = h.nextSibling; n && n.nodeName != 'H3'; n = n.nextSibling)"
                       " t += n.textContent + '|'; return t; })()"));
        for (const char *title : {"Old page", "Opener", "Blank page", "Shift page"})
            QVERIFY2(history.count(QLatin1String(title)) == 1, qPrintable(history));
    }

    void programMenusInsteadOfTheEngines()
    {
        TempProfile profile;
        NavEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        rig.ctx.reader = &rig.reader;
        MDIForm1 frame(rig.ctx);
        frame.connectReader();
        QMenu *documentMenu = frame.subMenu(QStringLiteral("mnuTools_Selection"));
        QMenu *fieldMenu = frame.subMenu(QStringLiteral("mnuFormData"));
        m_http.addHtml(
            QStringLiteral("/menus.htm"), QStringLiteral("M"),
            QStringLiteral("<p><span id=w style='font-size:40px;color:green'>alphabet</span></p>"
                           "<p><input id=f value=''></p>"
                           "<p><img id=pic width=120 height=120 src='data:image/gif;base64,"
                           "R0lGODlhAQABAIAAAAAAAP///ywAAAAAAQABAAACAUwAOw=='></p>"));
        QVERIFY(rig.show(m_http.url(QStringLiteral("/menus.htm"))));
        WebEngineControl &c = rig.control(0);
        const auto popup = [] { return qobject_cast<QMenu *>(QApplication::activePopupWidget()); };
        const auto style = [&] {
            return script(c, QStringLiteral("document.getElementById('w').getAttribute('style')"));
        };

        // The engine asks for a menu as the right button goes down; it comes on the release,
        // after what was done with the button held: none after a wheel turn.
        const std::optional<QRect> word = elementRect(c, QStringLiteral("w"));
        QVERIFY(word);
        QWidget *input = inputWidget(c);
        QTest::mouseMove(input, word->center());
        QTest::mousePress(input, Qt::RightButton, Qt::NoModifier, word->center());
        QTest::qWait(400);
        QVERIFY(!popup());
        {
            const QPointF at = word->center();
            QWheelEvent turn(at, input->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::RightButton,
                             Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(input, &turn);
        }
        QTest::mouseRelease(input, Qt::RightButton, Qt::NoModifier, word->center());
        QTest::qWait(400);
        QVERIFY(!popup());
        QVERIFY(!rig.nav.gbSuppressContextMenu);
        script(c, QStringLiteral("window.scrollTo(0,0)"));
        // Held a while without a turn: the menu on the release.
        QTest::mousePress(input, Qt::RightButton, Qt::NoModifier, word->center());
        QTest::qWait(400);
        QVERIFY(!popup());
        QTest::mouseRelease(input, Qt::RightButton, Qt::NoModifier, word->center());
        QVERIFY(rig.wait([&] { return popup() != nullptr; }));
        QCOMPARE(popup(), documentMenu);
        documentMenu->hide();
        rig.nav.contextMenuClosed();

        // A word: the program's document menu with the word stored, the word marked meanwhile.
        QVERIFY(clickElement(c, QStringLiteral("w"), Qt::RightButton));
        QVERIFY(rig.wait([&] { return popup() != nullptr; }));
        QCOMPARE(popup(), documentMenu);
        QCOMPARE(rig.nav.gsSelectedText, QStringLiteral("alphabet"));
        QVERIFY(rig.wait([&] { return style().contains(QLatin1String("900")); }));
        documentMenu->hide();
        QVERIFY(rig.wait([&] { return !style().contains(QLatin1String("900")); }));
        QVERIFY(style().contains(QLatin1String("green")));

        // A text field: the form-field menu.
        QVERIFY(clickElement(c, QStringLiteral("f"), Qt::RightButton));
        QVERIFY(rig.wait([&] { return popup() != nullptr; }));
        QCOMPARE(popup(), fieldMenu);
        fieldMenu->hide();

        // An image: the engine's own menu.
        QVERIFY(clickElement(c, QStringLiteral("pic"), Qt::RightButton));
        QVERIFY(rig.wait([&] { return popup() != nullptr; }));
        QVERIFY(popup() != documentMenu && popup() != fieldMenu);
        popup()->close();
    }

    // The pointer over a frame's body gives that frame the keyboard, not the frameset. In
    // Tabbed Browser mode a right-click on a frame's link is taken over and loads behind; the
    // mode stays. (Where the other clicks in a frame go is the contract's and the routing
    // table's.)
    void framesTakeTheMouseAndTheRightClick()
    {
        TempProfile profile;
        NavEngineRig rig(*m_platform, profile.file("data"));
        for (const QString side : {"fl", "fr"})
            m_http.addPage("/" + side + ".htm",
                           QStringLiteral("<html style='height:100%%'><head><title>%1</title>"
                                          "</head><body id=%1 style='height:100%%;margin:0'>"
                                          "<p><a id=%1link href='/a.htm'>link</a></p></body>"
                                          "</html>")
                               .arg(side)
                               .toUtf8());
        m_http.addPage("/fs.htm", "<html><head><title>FS</title></head><frameset cols='50%,50%'>"
                                  "<frame src='/fl.htm'><frame src='/fr.htm'></frameset></html>");
        QVERIFY(rig.show(m_http.url("/fs.htm"), false));
        WebEngineControl &c = rig.control(0);
        QVERIFY(rig.wait([&] { return rig.window(0)->intFrames == 2; }));
        for (const auto &[id, index] : {std::pair{"fr", "1"}, std::pair{"fl", "0"}}) {
            const int frame = QString::fromLatin1(index).toInt();
            std::optional<QRect> rect;
            QVERIFY(rig.wait([&] {
                rect = elementRect(c, QString::fromLatin1(id), frame);
                return rect && rect->height() > 100;
            }));
            QVERIFY(waitForFrames(c));
            bool focused = false;
            for (int attempt = 0; attempt < 10 && !focused; ++attempt) {
                QTest::mouseMove(inputWidget(c), rect->center() + QPoint(attempt, 40));
                focused = QTest::qWaitFor([&] { return keyboardFrame(c) == index; }, 1000);
            }
            QVERIFY2(focused, id);
        }

        rig.ctx.giBrowsingMode = 4;
        QVERIFY(clickElementUntil(c, "fllink", Qt::RightButton, Qt::NoModifier, 0,
                                  [&] { return rig.slots() == 2; }));
        QVERIFY(rig.wait([&] { return rig.path(1) == QLatin1String("/a.htm"); }));
        QCOMPARE(rig.ctx.giBrowsingMode, 4);
        QCOMPARE(script(c, "document.querySelector('frame').contentWindow.location.pathname"),
                 "/fl.htm");
        QCOMPARE(rig.path(0), "/fs.htm");
    }

    // The largest frame of a frameset has the keyboard: keypad 0 pages it down, "C" back up;
    // a wheel notch pages the frame under the pointer. A page's inline frames get the page's
    // zoom, which does not reach into them; Ctrl+wheel zooms both, from the page's zoom even
    // while the page has not yet told what its zoom is.
    void pagingAndZoomInFrames()
    {
        TempProfile profile;
        NavEngineRig rig(*m_platform, profile.file("data"));
        m_http.addHtml("/tall.htm", "T",
                       QStringLiteral("<p>%1</p><div style='height:6000px'>tall</div>")
                           .arg(QString(300, QLatin1Char('x'))));
        m_http.addHtml("/side2.htm", "S", "<p>side</p><div style='height:6000px'></div>");
        m_http.addPage("/paging.htm",
                       "<html><head><title>P</title></head><frameset cols='30%,70%'>"
                       "<frame src='/side2.htm'><frame src='/tall.htm'></frameset></html>");
        QVERIFY(rig.show(m_http.url("/paging.htm"), false));
        WebEngineControl &c = rig.control(0);
        const auto frameInt = [&](int i, const char *what) {
            return script(c, QStringLiteral("String(Math.round(document.querySelectorAll('frame')"
                                            "[%1].%2))")
                                 .arg(i)
                                 .arg(QLatin1String(what)))
                .toInt();
        };
        const auto frameY = [&](int i) { return frameInt(i, "contentWindow.scrollY"); };
        const int height = frameInt(1, "contentDocument.documentElement.clientHeight");
        QVERIFY(height > kPageOverlap);
        QVERIFY(rig.wait([&] { return keyboardFrame(c) == QLatin1String("1"); }));
        QCOMPARE(rig.window(0)->miLargestFrame, 1);
        QVERIFY(rig.press(Qt::Key_0, Qt::KeypadModifier,
                          [&] { return frameY(1) == height - kPageOverlap; }));
        QVERIFY(rig.press(Qt::Key_C, Qt::NoModifier, [&] { return frameY(1) == 0; }));
        QCOMPARE(frameY(0), 0);

        const QJsonArray left =
            QJsonDocument::fromJson(script(c, "JSON.stringify((function(r){return [r.left,r.top,"
                                              "r.width,r.height];})(document.querySelectorAll("
                                              "'frame')[0].getBoundingClientRect()))")
                                        .toUtf8())
                .array();
        QCOMPARE(left.size(), 4);
        QWidget *input = inputWidget(c);
        const QPointF at =
            QRect(left[0].toInt(), left[1].toInt(), left[2].toInt(), left[3].toInt()).center();
        QWheelEvent turn(at, input->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(input, &turn);
        QVERIFY(rig.wait([&] { return frameY(0) > 0; }));
        QCOMPARE(frameY(0),
                 frameInt(0, "contentDocument.documentElement.clientHeight") - kPageOverlap);
        QCOMPARE(frameY(1), 0);

        rig.ctx.gsngPageZoom = 1.2f;
        m_http.addHtml("/inline.htm", "I", "<p>outer</p><iframe id=f src='/side2.htm'></iframe>");
        QVERIFY(rig.show(m_http.url("/inline.htm"), false));
        QCOMPARE(int(rig.window(0)->frames().size()), 1);
        const auto frameZoom = [&] {
            return script(c, "document.getElementById('f').contentDocument.body.style.zoom");
        };
        QVERIFY(rig.wait([&] { return frameZoom() == QLatin1String("120%"); }));
        QCOMPARE(script(c, "document.body.style.zoom"), "120%");
        wheel(c, 120, Qt::ControlModifier);
        QVERIFY(rig.wait([&] { return frameZoom() == QLatin1String("125%"); }));
        QCOMPARE(script(c, "document.body.style.zoom"), "125%");
    }

    // Open All Links on a frameset takes the links of its frames; the links of a selection in
    // a frame of a page with a base address go where that page sends them.
    void openLinksOfFrames()
    {
        TempProfile profile;
        NavEngineRig rig(*m_platform, profile.file("data"));
        m_http.addHtml("/left.htm", "L", "<a href='/a.htm'>a</a>");
        m_http.addHtml("/right.htm", "R", "<a href='/b.htm'>b</a><a href='/c.htm'>c</a>");
        m_http.addPage("/frames.htm",
                       "<html><head><title>F</title></head><frameset cols='50%,50%'>"
                       "<frame src='/left.htm'><frame src='/right.htm'></frameset></html>");
        QVERIFY(rig.show(m_http.url("/frames.htm"), false));
        QVERIFY(rig.wait([&] { return rig.window(0)->intFrames == 2; }));
        rig.nav.mnuOL_OpenAllLinks_Click(0);
        QStringList expected{m_http.url("/a.htm").toString(), m_http.url("/b.htm").toString(),
                             m_http.url("/c.htm").toString()};
        QVERIFY(rig.wait([&] { return rig.count("bRead = 0") == 3; }));
        QCOMPARE(rig.records("bRead = 0"), expected);

        m_http.addPage("/sel/based.htm",
                       "<html><head><title>B</title><base href='/other/'></head><body>"
                       "<p id=para>a <a href='four.htm'>four</a></p></body></html>");
        m_http.addPage("/selframes.htm",
                       "<html><head><title>SF</title></head><frameset cols='50%,50%'>"
                       "<frame src='/sel/based.htm'><frame src='/a.htm'></frameset></html>");
        QVERIFY(rig.show(m_http.url("/selframes.htm"), false));
        script(rig.control(0),
               "(function(){var f=document.querySelectorAll('frame')[0]; f.focus();"
               "var d=f.contentDocument, r=d.createRange();"
               "r.selectNodeContents(d.getElementById('para'));"
               "var s=d.defaultView.getSelection(); s.removeAllRanges(); s.addRange(r);"
               "return '';})()");
        rig.nav.mnuOL_OpenAllLinks_Click(4);
        expected << m_http.url("/other/four.htm").toString();
        QVERIFY(rig.wait([&] { return rig.count("bRead = 0") == 4; }));
        QCOMPARE(rig.records("bRead = 0"), expected);
    }
};

int main(int argc, char **argv)
{
    // The fixture's secure port has a certificate of its own making; this process only.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") + " --ignore-certificate-errors");
    WebEnginePlatform::registerSchemes();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestNavE2E test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_nav_e2e.moc"
