#include "BrowserContract.h"
#include "HttpFixture.h"
#include "WebHarness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWheelEvent>
#include <QtTest>

// The contract, run on the Qt WebEngine control: pages from the HTTP fixture, the user's
// actions through the view's real input widget.
namespace {

// A JavaScript string literal holding text.
QString jsString(const QString &text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

class WebEngineHarness : public ContractHarness
{
public:
    WebEngineHarness(WebEnginePlatform &platform, HttpFixture &http)
        : m_platform(platform), m_http(http), m_control(WebHarness::createShownControl(platform))
    {
        // Paths repeat between checks; each check counts only its own requests.
        m_http.clearRequests();
    }

    BrowserControl &control() override { return *m_control; }
    std::unique_ptr<BrowserControl> createControl() override
    {
        return WebHarness::createShownControl(m_platform);
    }

    QUrl serve(const QString &path, const ServedResponse &served) override
    {
        m_http.addHandler(path, [served](const HttpFixture::Request &) {
            HttpFixture::Response r;
            r.status = served.status;
            r.body = served.body;
            r.contentType = served.contentType;
            if (served.redirectTo.isValid())
                r.headers.append({"Location", served.redirectTo.toEncoded()});
            return r;
        });
        return m_http.url(path);
    }

    QList<ServedRequest> requests(const QString &path) override
    {
        QList<ServedRequest> result;
        for (const HttpFixture::Request &r : m_http.requests(path))
            result.append({r.method, r.path, r.headers, r.body});
        return result;
    }

    bool waitFor(const std::function<bool()> &condition) override
    {
        return WebHarness::waitFor(condition);
    }

    void click(BrowserControl &control, const QString &elementId, Qt::MouseButton button,
               Qt::KeyboardModifiers modifiers, int frameIndex) override
    {
        WebEngineControl &web = engine(control);
        // A frame's document may still be on its way.
        QVERIFY2(WebHarness::waitFor([&] {
                     return WebHarness::elementRect(web, elementId, frameIndex).has_value();
                 }),
                 qPrintable(elementId));
        QVERIFY(WebHarness::clickElement(web, elementId, button, modifiers, frameIndex));
    }

    void contextClick(BrowserControl &control, const QString &elementId) override
    {
        click(control, elementId, Qt::RightButton, Qt::NoModifier, -1);
    }

    void pressKey(BrowserControl &control, int qtKey, Qt::KeyboardModifiers modifiers,
                  const QString &text) override
    {
        WebEngineControl &web = engine(control);
        QWidget *input = WebHarness::inputWidget(web);
        if (!input->hasFocus()) {
            WebHarness::focusControl(web);
            QVERIFY(WebHarness::waitFor([&] { return input->hasFocus(); }));
        }
        // The page's own focus changes (a focus() just written) are done before the key.
        QVERIFY(WebHarness::waitForFrames(web));
        QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
        QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, text);
        QApplication::sendEvent(input, &press);
        QApplication::sendEvent(input, &release);
    }

    void wheel(BrowserControl &control, const QString &elementId, int delta,
               Qt::KeyboardModifiers modifiers) override
    {
        WebEngineControl &web = engine(control);
        const std::optional<QRect> rect = WebHarness::elementRect(web, elementId);
        QVERIFY2(rect, qPrintable(elementId));
        QWidget *input = WebHarness::inputWidget(web);
        const QPoint at = rect->center();
        QWheelEvent event(at, input->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(input, &event);
    }

    void runPageScript(BrowserControl &control, PageScript script, const QString &argument) override
    {
        QString source;
        switch (script) {
        case PageScript::OpenPopup:
            source = QStringLiteral("window.open(%1, '_blank', 'width=300,height=200');")
                         .arg(jsString(argument));
            break;
        case PageScript::DocumentWrite:
            source = QStringLiteral("document.open(); document.write(%1); document.close();")
                         .arg(jsString(argument));
            break;
        case PageScript::CloseWindow:
            source = QStringLiteral("window.close();");
            break;
        case PageScript::SetLocation:
            source = QStringLiteral("location.href = %1;").arg(jsString(argument));
            break;
        case PageScript::SwallowKeys:
            source = QStringLiteral(
                "for (const t of ['keydown', 'keyup']) window.addEventListener(t, e => {"
                " if (e.target.tagName !== 'INPUT') e.preventDefault(); }, true);");
            break;
        }
        // The page's own world: the program's bridge has no part in it.
        WebHarness::runScript(engine(control), source + QStringLiteral(" 1"),
                              QWebEngineScript::MainWorld);
    }

private:
    static WebEngineControl &engine(BrowserControl &control)
    {
        return dynamic_cast<WebEngineControl &>(control);
    }

    WebEnginePlatform &m_platform;
    HttpFixture &m_http;
    std::unique_ptr<WebEngineControl> m_control;
};

} // namespace

class TestBrowserContractWebEngine : public QObject
{
    Q_OBJECT

private:
    // One engine and one server for all checks; each check gets its own control.
    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture *m_http = nullptr;

    void run(void (*check)(ContractHarness &))
    {
        WebEngineHarness harness(*m_platform, *m_http);
        check(harness);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = WebHarness::createPlatform();
        m_http = new HttpFixture(this);
        QVERIFY(m_http->isListening());
    }
    void cleanupTestCase() { m_platform.reset(); }

    void navigationEventOrder() { run(BrowserContract::checkNavigationEventOrder); }
    void cancelledNavigation() { run(BrowserContract::checkCancelledNavigation); }
    void redirect() { run(BrowserContract::checkRedirect); }
    void failedLoadStatusCodes() { run(BrowserContract::checkFailedLoadStatusCodes); }
    void requestHeadersAndBody() { run(BrowserContract::checkRequestHeadersAndBody); }
    void clickKinds() { run(BrowserContract::checkClickKinds); }
    void newWindowRequests() { run(BrowserContract::checkNewWindowRequests); }
    void navigationPolicy() { run(BrowserContract::checkNavigationPolicy); }
    void offline() { run(BrowserContract::checkOffline); }
    void documentSnapshotAndWrites() { run(BrowserContract::checkDocumentSnapshotAndWrites); }
    void domEvents() { run(BrowserContract::checkDomEvents); }
    void eventsAfterDocumentWrite() { run(BrowserContract::checkEventsAfterDocumentWrite); }
    void frameEvents() { run(BrowserContract::checkFrameEvents); }
    void keys() { run(BrowserContract::checkKeys); }
    void wheelAndContextMenu() { run(BrowserContract::checkWheelAndContextMenu); }
    void windowClose() { run(BrowserContract::checkWindowClose); }
    void backForward() { run(BrowserContract::checkBackForward); }
    void writtenPage() { run(BrowserContract::checkWrittenPage); }
    void sleepAndWake() { run(BrowserContract::checkSleepAndWake); }
};

SKL_WEB_TEST_MAIN(TestBrowserContractWebEngine)
#include "test_browser_contract_webengine.moc"
