#pragma once

// Helpers for end-to-end tests on the real Qt WebEngine control. Header-only so that the unit
// tests, which share the support library, never link the engine.

#include "platform/webengine/WebEngineControl.h"
#include "platform/webengine/WebEngineDocument.h"
#include "platform/webengine/WebEnginePlatform.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRect>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

namespace WebHarness {

// Generous: only a broken build waits this long; nothing asserts on time.
inline constexpr int kWaitMs = 30000;

// Runs the event loop until condition holds. Not QTest::qWaitFor: it sleeps 10 ms between
// turns, and a page load takes a few hundred turns of the engine's tasks (3 s instead of
// 0.1 s). A coarse timer only wakes the loop to look at the condition again.
inline bool waitFor(const std::function<bool()> &condition, int timeoutMs = kWaitMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.start(5);
    while (!condition()) {
        if (deadline.hasExpired())
            return condition();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// The program's pages in the source tree (set for every test by skl_add_test).
inline QString pagesPath()
{
    return qEnvironmentVariable("SKIMLINE_PAGES");
}

// One platform per test object: an off-the-record profile serving the program's pages.
inline std::unique_ptr<WebEnginePlatform> createPlatform(const QString &pages = pagesPath())
{
    WebEngineOptions options;
    options.pagesPath = pages;
    return std::make_unique<WebEnginePlatform>(options);
}

// A control shown as a top-level window of a fixed size (offscreen in the tests).
inline std::unique_ptr<WebEngineControl> createShownControl(WebEnginePlatform &platform,
                                                            QSize size = QSize(800, 600))
{
    std::unique_ptr<WebEngineControl> control = platform.createWebEngineControl();
    control->widget()->resize(size);
    control->widget()->show();
    return control;
}

// Runs script in the program's isolated world and waits for its (JSON-able) result.
inline QVariant runScript(WebEngineControl &control, const QString &script,
                          quint32 world = QWebEngineScript::ApplicationWorld)
{
    bool done = false;
    QVariant result;
    control.page()->runJavaScript(script, world, [&](const QVariant &v) {
        result = v;
        done = true;
    });
    waitFor([&] { return done; });
    return result;
}

// The element's box in the view's coordinates; frameIndex >= 0 looks inside that frame.
inline std::optional<QRect> elementRect(WebEngineControl &control, const QString &elementId,
                                        int frameIndex = -1)
{
    const QString script =
        QStringLiteral(
            "(function(){var doc=document, dx=0, dy=0; var fi=%2;"
            "if (fi>=0){var fe=document.querySelectorAll('iframe,frame')[fi]; if(!fe) return '';"
            "var fr=fe.getBoundingClientRect(); dx=fr.left+fe.clientLeft; dy=fr.top+fe.clientTop;"
            "doc=fe.contentDocument; if(!doc) return '';}"
            "var e=doc.getElementById(%1); if(!e) return '';"
            "e.scrollIntoView({block:'center', inline:'center'});"
            "var r=e.getBoundingClientRect();"
            "if (fi>=0){var fe2=document.querySelectorAll('iframe,frame')[fi];"
            "var fr2=fe2.getBoundingClientRect(); dx=fr2.left+fe2.clientLeft;"
            "dy=fr2.top+fe2.clientTop;}"
            "return JSON.stringify({x:r.left+dx,y:r.top+dy,w:r.width,h:r.height});})()")
            .arg(QString::fromUtf8(QJsonDocument(QJsonObject{{QStringLiteral("v"), elementId}})
                                       .toJson(QJsonDocument::Compact))
                     .mid(5)
                     .chopped(1))
            .arg(frameIndex);
    const QString json = runScript(control, script).toString();
    if (json.isEmpty())
        return std::nullopt;
    const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
    const double zoom = control.page()->zoomFactor();
    return QRect(int(o.value(QLatin1String("x")).toDouble() * zoom),
                 int(o.value(QLatin1String("y")).toDouble() * zoom),
                 qMax(1, int(o.value(QLatin1String("w")).toDouble() * zoom)),
                 qMax(1, int(o.value(QLatin1String("h")).toDouble() * zoom)));
}

// The widget that takes the user's mouse and keys; waits for the renderer to provide it.
inline QWidget *inputWidget(WebEngineControl &control)
{
    waitFor([&] { return control.view()->focusProxy() != nullptr; });
    return control.inputWidget();
}

inline void focusControl(WebEngineControl &control)
{
    QWidget *w = control.widget();
    w->activateWindow();
    QWidget *input = inputWidget(control);
    input->setFocus(Qt::MouseFocusReason);
}

// Waits until the page has drawn two more frames: until its first frame, the renderer drops
// the user's input, and a scroll must reach the screen before a click lands where meant.
inline bool waitForFrames(WebEngineControl &control)
{
    runScript(control, QStringLiteral("window.__sklFramesDrawn = false;"
                                      "requestAnimationFrame(() => requestAnimationFrame(() => {"
                                      "window.__sklFramesDrawn = true; })); 1"));
    return waitFor([&] {
        return runScript(control, QStringLiteral("window.__sklFramesDrawn === true")).toBool();
    });
}

// A real click at the centre of the element, through the view's input widget.
inline bool clickElement(WebEngineControl &control, const QString &elementId,
                         Qt::MouseButton button = Qt::LeftButton,
                         Qt::KeyboardModifiers modifiers = Qt::NoModifier, int frameIndex = -1)
{
    const std::optional<QRect> rect = elementRect(control, elementId, frameIndex);
    if (!rect || !waitForFrames(control))
        return false;
    QWidget *input = inputWidget(control);
    const QPoint at = rect->center();
    QTest::mouseMove(input, at);
    QTest::mouseClick(input, button, modifiers, at);
    return true;
}

// The same click again while it had no effect: a frameset's frames may drop the first mouse
// input for a while after they were drawn. For clicks whose effect can be repeated.
inline bool clickElementUntil(WebEngineControl &control, const QString &elementId,
                              Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                              int frameIndex, const std::function<bool()> &done)
{
    for (int attempt = 0; attempt < 15; ++attempt) {
        if (!clickElement(control, elementId, button, modifiers, frameIndex))
            return false;
        if (waitFor(done, 1000))
            return true;
    }
    return false;
}

inline void pressKey(WebEngineControl &control, Qt::Key key,
                     Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *input = inputWidget(control);
    QTest::keyClick(input, key, modifiers);
}

inline void typeText(WebEngineControl &control, const QString &text)
{
    QTest::keyClicks(inputWidget(control), text);
}

// At the end of a test program: writes the page bridge could not apply, and script errors of
// the program's own pages, fail the run even when every check passed.
inline int expectedFailedWrites = 0; // provoked on purpose by a test

inline bool pageFaultsReported()
{
    const int writes = WebEngineDocument::failedWritesInProcess() - expectedFailedWrites;
    const int errors = WebEngineControl::programPageErrorsInProcess();
    if (writes == 0 && errors == 0)
        return false;
    std::fprintf(stderr, "FAIL: %d page writes failed, %d script errors in program pages\n", writes,
                 errors);
    return true;
}

} // namespace WebHarness

// main() for an e2e test: the program scheme is registered before the application exists.
#define SKL_WEB_TEST_MAIN(TestObject)                                                              \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        WebEnginePlatform::registerSchemes();                                                      \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                \
        QApplication app(argc, argv);                                                              \
        TestObject test;                                                                           \
        const int failed = QTest::qExec(&test, argc, argv);                                        \
        return WebHarness::pageFaultsReported() ? 1 : failed;                                      \
    }
