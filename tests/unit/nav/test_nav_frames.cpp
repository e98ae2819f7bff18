#include "NavRig.h"
#include "reader/cFrame.h"

#include <QtTest>

// The documents inside a window's frames answer like the window's own: focus goes to the frame
// the user works in, never back to the frameset; zoom reaches them.
class TestNavFrames : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clicksAndKeysInAFrameKeepItsFocus();
    void ctrlMiddleResetsAFramesetsZoom();
    void pageZoomReachesAFramesetsFrames();
    void largestFrameTakesTheKeyboard();
};

namespace {

const QString kFrames = QStringLiteral("http://site.test/frames.html");

struct FramesRig : NavRig
{
    FramesRig()
    {
        platform.web.servePage(QStringLiteral("http://site.test/left.html"),
                               QStringLiteral("<body id=lb><p id=lp>left words</p>"
                                              "<a id=ll href='/a.html'>a</a></body>"));
        platform.web.servePage(QStringLiteral("http://site.test/right.html"),
                               QStringLiteral("<body id=rb style='color:blue'><p id=rp>right "
                                              "side text</p></body>"));
        show(kFrames, QStringLiteral("<frameset cols='30%,70%'><frame src='/left.html'>"
                                     "<frame src='/right.html'></frameset>"));
        settle();
    }

    FakeBrowserControl *c() const { return control(0); }
    // The handle of frame element i of the top document, as a write names it.
    QString frameTarget(int i) const
    {
        const QList<DomNode *> frames = c()->dom().document()->querySelectorAll("frame");
        return i < frames.size() ? QStringLiteral("#%1").arg(frames.at(i)->serial()) : QString();
    }
    QStringList focusTargets() const
    {
        QStringList out;
        for (const auto &w : c()->fakeDocument().writesOf(QStringLiteral("focus")))
            out << w.target;
        return out;
    }
};

} // namespace

void TestNavFrames::clicksAndKeysInAFrameKeepItsFocus()
{
    FramesRig rig;
    const int focusWrites = int(rig.focusTargets().size());
    const int scrolls = int(rig.c()->fakeDocument().writesOf(QStringLiteral("scrollTo")).size());

    // A click on the frame's body: the frame keeps the focus the click gave it.
    QVERIFY(rig.c()->click(QStringLiteral("lb"), Qt::LeftButton, Qt::NoModifier, 0));
    rig.settle();
    QVERIFY(rig.nav.linkClicked(*rig.window(0)));
    QCOMPARE(int(rig.focusTargets().size()), focusWrites);
    // Space and the page keys typed in the frame move neither the focus nor the frameset.
    rig.c()->focusElement(QStringLiteral("ll"), 0);
    rig.settle();
    QCOMPARE(rig.c()->fakeDocument().activeFrame(), 0);
    rig.c()->pressKey(Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    rig.c()->pressKey(Qt::Key_C, Qt::NoModifier, QStringLiteral("c"));
    rig.settle();
    QCOMPARE(int(rig.focusTargets().size()), focusWrites);
    QCOMPARE(int(rig.c()->fakeDocument().writesOf(QStringLiteral("scrollTo")).size()), scrolls);

    // The same click on a plain page's body does take the focus to its document.
    rig.show("http://site.test/plain.html", "<body id=b>text</body>");
    const int plainBefore = int(rig.focusTargets().size());
    QVERIFY(rig.c()->click(QStringLiteral("b")));
    rig.settle();
    QVERIFY(rig.focusTargets().size() > plainBefore);
    QCOMPARE(rig.focusTargets().last(), QString());
}

void TestNavFrames::ctrlMiddleResetsAFramesetsZoom()
{
    FramesRig rig;
    rig.c()->wheel(QStringLiteral("rp"), 120, Qt::ControlModifier, Qt::NoButton, 1);
    rig.c()->wheel(QStringLiteral("rp"), 120, Qt::ControlModifier, Qt::NoButton, 1);
    QCOMPARE(rig.c()->zoomFactor(), 1.10);
    rig.c()->mousePress("rp", Qt::MiddleButton, Qt::MiddleButton, Qt::ControlModifier, 1);
    rig.settle();
    QCOMPARE(rig.c()->zoomFactor(), 1.0);
    QCOMPARE(rig.nav.miZoom, 100);
    // And Ctrl+wheel starts from there again.
    rig.c()->wheel(QStringLiteral("rp"), -120, Qt::ControlModifier, Qt::NoButton, 1);
    QCOMPARE(rig.c()->zoomFactor(), 0.95);
}

void TestNavFrames::pageZoomReachesAFramesetsFrames()
{
    FramesRig rig;
    // Wheel-zoomed frameset, then an ordinary page: the view is back at its own size.
    rig.c()->wheel(QStringLiteral("rp"), 120, Qt::ControlModifier, Qt::NoButton, 1);
    QCOMPARE(rig.c()->zoomFactor(), 1.05);
    rig.show(QStringLiteral("http://site.test/plain.html"), QStringLiteral("<p>text</p>"));
    QCOMPARE(rig.c()->zoomFactor(), 1.0);

    // The page-zoom option: an ordinary page zooms its body, a frameset zooms the view so its
    // frames grow too, and the next ordinary page is not zoomed twice.
    rig.ctx.gsngPageZoom = 1.25f;
    rig.show(QStringLiteral("http://site.test/plain2.html"), QStringLiteral("<p>text</p>"));
    QCOMPARE(rig.c()->document().snapshot().bodyZoom, QStringLiteral("125%"));
    QCOMPARE(rig.c()->zoomFactor(), 1.0);
    rig.show(kFrames, QStringLiteral("<frameset cols='30%,70%'><frame src='/left.html'>"
                                     "<frame src='/right.html'></frameset>"));
    QCOMPARE(rig.c()->zoomFactor(), 1.25);
    QCOMPARE(rig.c()->document().snapshot().bodyZoom, QString());
    // The view zooms the frames already; a body zoom in them would double it.
    QVERIFY(rig.c()->fakeDocument().writesOf(QStringLiteral("frameZoom")).isEmpty());
    rig.show(QStringLiteral("http://site.test/plain3.html"), QStringLiteral("<p>text</p>"));
    QCOMPARE(rig.c()->zoomFactor(), 1.0);
    QCOMPARE(rig.c()->document().snapshot().bodyZoom, QStringLiteral("125%"));
}

// Which frame is largest and its keyboard are the engine test's; here the guards and what
// carries over from one document to the next.
void TestNavFrames::largestFrameTakesTheKeyboard()
{
    FramesRig rig;
    rig.platform.web.servePage(QStringLiteral("http://site.test/long.html"),
                               QStringLiteral("<body><p>%1</p></body>").arg(QString(500, 'w')));
    rig.platform.web.servePage("http://site.test/short.html", "<body><p>short</p></body>");
    const QString frameset = QStringLiteral("<frameset cols='20%,60%,20%'><frame src='/short.html'>"
                                            "<frame src='/long.html'><frame src='/short.html'>"
                                            "</frameset>");
    rig.show(QStringLiteral("http://site.test/inline.html"),
             QStringLiteral("<body id=b>x<iframe src='/long.html'></iframe></body>"));
    DocumentWindow &w = *rig.window(0);
    QCOMPARE(w.miLargestFrame, 0);

    // The frameset right after the page with inline frames is judged by its own frames, and
    // the status bar tells of them as it completes.
    rig.platform.web.servePage("http://site.test/three.html", frameset);
    (void)rig.reader.queue.LoadDocument("http://site.test/three.html", LoadWhere::Here);
    rig.settle();
    QCOMPARE(w.miLargestFrame, 1);
    QCOMPARE(rig.focusTargets().last(), rig.frameTarget(1));
    QCOMPARE(rig.host.status.value(3), "3 Frames - shift-click to open links in new window.");

    // Not while a field has the keyboard, nor for a window in the background.
    rig.c()->fakeDocument().clearWrites();
    rig.ctx.gbTextEntry = true;
    w.LargestFrame_SetFocus();
    rig.ctx.gbTextEntry = false;
    w.bActiveForm = false;
    w.LargestFrame_SetFocus();
    w.bActiveForm = true;
    QVERIFY(rig.focusTargets().isEmpty());

    // A new top document starts without frames.
    rig.show(QStringLiteral("http://site.test/plain.html"), QStringLiteral("<p>plain</p>"));
    QVERIFY(w.frames().empty());
    QCOMPARE(w.miLargestFrame, -1);
    QCOMPARE(w.mlLargestFrameLength, 0);
}

QTEST_MAIN(TestNavFrames)
#include "test_nav_frames.moc"
