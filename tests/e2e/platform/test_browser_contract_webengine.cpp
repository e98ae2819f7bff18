#include "BrowserContract.h"
#include "HttpFixture.h"
#include "WebHarness.h"

#include "platform/PageWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
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

    bool clickUntil(BrowserControl &control, const QString &elementId, Qt::MouseButton button,
                    Qt::KeyboardModifiers modifiers, int frameIndex,
                    const std::function<bool()> &done) override
    {
        WebEngineControl &web = engine(control);
        return WebHarness::waitFor([&] {
                   return WebHarness::elementRect(web, elementId, frameIndex).has_value();
               }) &&
               WebHarness::clickElementUntil(web, elementId, button, modifiers, frameIndex, done);
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

    void selectContents(BrowserControl &control, const QString &elementId, int frameIndex) override
    {
        WebHarness::runScript(
            engine(control),
            QStringLiteral("(function(){var d=%1<0?document:document.querySelectorAll("
                           "'iframe,frame')[%1].contentDocument;var r=d.createRange();"
                           "r.selectNodeContents(d.getElementById(%2));var s=d.defaultView"
                           ".getSelection();s.removeAllRanges();s.addRange(r);return 1;})()")
                .arg(frameIndex)
                .arg(jsString(elementId)),
            QWebEngineScript::MainWorld);
    }
    QString frameProbe(BrowserControl &control, int frameIndex, FrameProbe probe) override
    {
        return WebHarness::runScript(
                   engine(control),
                   QStringLiteral("(function(){var d=document.querySelectorAll('iframe,frame')"
                                  "[%1].contentDocument;if(!d||!d.body)return '';return %2?"
                                  "d.body.style.zoom:Array.from(d.getElementsByTagName('font'),"
                                  "f=>f.textContent).join('|');})()")
                       .arg(frameIndex)
                       .arg(probe == FrameProbe::BodyZoom ? 1 : 0),
                   QWebEngineScript::MainWorld)
            .toString();
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

    static inline const QString kAgent = QStringLiteral("Skimline 9.9; Mozilla/5.0 (X11) Test");
    static inline const QString kOtherAgent = QStringLiteral("SkimlineOther/2.0");

    static bool completes(BrowserControl &control, ContractRecorder &rec, const QUrl &url,
                          const QString &headers = QString())
    {
        rec.clear();
        return control.navigate(url, headers) && WebHarness::waitFor([&] {
                   const int i = rec.indexOf(QStringLiteral("documentComplete"), url);
                   return i >= 0 && rec.events[i].isTopFrame;
               });
    }
    static int count(const ContractRecorder &rec, const QString &name, const QUrl &url = QUrl())
    {
        int n = 0;
        for (int i = rec.indexOf(name, url); i >= 0; i = rec.indexOf(name, url, i + 1))
            ++n;
        return n;
    }
    static QString pageScript(WebEngineControl &control, const QString &script)
    {
        return WebHarness::runScript(control, script, QWebEngineScript::MainWorld).toString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = WebHarness::createPlatform();
        m_http = new HttpFixture(this);
        QVERIFY(m_http->isListening());
    }
    void cleanupTestCase() { m_platform.reset(); }

    SKL_CONTRACT_SLOTS

    // ---- what only the engine can get wrong ----

    // With a user agent set every kind of page completes on its bridge's word, never by the
    // bridge wait's fallback, also when a load replaces a live document; the server and the
    // page see the agent; another control keeps its own; a failed load ends on its own bridge.
    void pagesCompleteOnTheirBridgeWithAnAgentSet()
    {
        QTemporaryDir files;
        QFile local(files.filePath(QStringLiteral("local.htm")));
        QVERIFY(local.open(QIODevice::WriteOnly));
        local.write(HttpFixture::html(QStringLiteral("Local"), QStringLiteral("<p>local</p>")));
        local.close();
        m_http->addHtml(QStringLiteral("/agent.htm"), QStringLiteral("Agent"), QStringLiteral("a"));
        const QUrl web = m_http->url(QStringLiteral("/agent.htm"));
        const QString agentLine = QStringLiteral("User-Agent: ") + kAgent + QStringLiteral("\r\n");
        // A profile of its own: the first agent set on a profile is its page agent.
        auto platform = WebHarness::createPlatform();
        auto control = WebHarness::createShownControl(*platform);
        ContractRecorder rec(*control);
        control->setUserAgent(kAgent);
        // As the loading queue sends it, the agent is also among the extra headers.
        const QList<std::pair<QUrl, QString>> loads{
            {web, QString()},
            {web, agentLine},
            {ProgramPages::url(QStringLiteral("Start.htm")), agentLine},
            {QUrl::fromLocalFile(local.fileName()), agentLine}};
        for (const auto &[url, headers] : loads) {
            for (int round = 0; round < 2; ++round) {
                m_http->clearRequests();
                QVERIFY2(completes(*control, rec, url, headers), qPrintable(url.toString()));
                QCOMPARE(control->bridgeFallbackCount(), 0);
                QCOMPARE(count(rec, QStringLiteral("downloadBegin")), 1);
                QCOMPARE(count(rec, QStringLiteral("navigateComplete"), url), 1);
                QVERIFY(rec.errors.isEmpty());
            }
            QCOMPARE(pageScript(*control, QStringLiteral("navigator.userAgent")), kAgent);
            if (url == web)
                QCOMPARE(m_http->requests(url.path()).value(0).header("User-Agent"),
                         kAgent.toUtf8());
        }
        QVERIFY(!control->title().isEmpty());

        auto other = WebHarness::createShownControl(*platform);
        ContractRecorder otherRec(*other);
        other->setUserAgent(kOtherAgent);
        m_http->clearRequests();
        QVERIFY(completes(*other, otherRec, web));
        QCOMPARE(m_http->requests(web.path()).value(0).header("User-Agent"), kOtherAgent.toUtf8());
        QCOMPARE(control->userAgent(), kAgent);
        QCOMPARE(WebHarness::createShownControl(*platform)->userAgent(), kAgent);

        // The engine's error page greets like any document, before or after the failure is
        // known; the load ends once, with no fallback, and no error page address shows.
        const QUrl refused(
            QStringLiteral("http://127.0.0.1:%1/x.htm").arg(HttpFixture::refusedPort()));
        QVERIFY(completes(*control, rec, refused));
        QCOMPARE(rec.errors.size(), 1);
        QCOMPARE(rec.errors.first().second, NavErrorCode::CannotConnect);
        QCOMPARE(count(rec, QStringLiteral("navigateComplete"), refused), 1);
        QVERIFY(rec.indexOf("navigateError") < rec.indexOf("navigateComplete", refused));
        for (const ContractRecorder::Event &e : rec.events)
            QVERIFY(e.url.scheme() != QLatin1String("chrome-error"));
        QVERIFY(completes(*control, rec, web));
        QCOMPARE(control->bridgeFallbackCount(), 0);
    }

    // The profile takes the first agent while another control of it is loading: the engine
    // restarts that load under the new agent, and it still completes once, on its bridge.
    void theFirstAgentArrivesDuringALoad()
    {
        auto platform = WebHarness::createPlatform();
        m_http->addSlow("/slow.htm", HttpFixture::html("Slow", "<p>slow"), 400);
        auto loading = WebHarness::createShownControl(*platform);
        ContractRecorder rec(*loading);
        const QUrl url = m_http->url(QStringLiteral("/slow.htm"));
        QVERIFY(loading->navigate(url));
        QVERIFY(WebHarness::waitFor([&] { return m_http->inFlight() > 0; }));
        auto other = WebHarness::createShownControl(*platform);
        other->setUserAgent(kOtherAgent);
        QVERIFY(
            WebHarness::waitFor([&] { return rec.has(QStringLiteral("documentComplete"), url); }));
        QTest::qWait(300); // a second end would come now
        QCOMPARE(count(rec, QStringLiteral("documentComplete"), url), 1);
        QCOMPARE(loading->bridgeFallbackCount(), 0);
        QCOMPARE(pageScript(*loading, QStringLiteral("navigator.userAgent")), kOtherAgent);
        QCOMPARE(rec.navigations.size(), 1);
    }

    // Nested frames are reported inner first and count as their top-level frame; clicks the
    // page makes up, and clicks in a frame of another origin, never reach the program; a
    // frame that rewrites itself keeps reporting.
    void framesOnlyTheEngineHas()
    {
        const QString block = QStringLiteral("<style>div{display:block;height:40px}</style>");
        const QString foreign =
            QStringLiteral("http://localhost:%1/nest-c.htm").arg(m_http->port());
        m_http->addHtml(QStringLiteral("/nest-top.htm"), QStringLiteral("Top"),
                        block + QStringLiteral("<div id=topDiv>top</div><iframe src='/nest-a.htm' "
                                               "width=500 height=220></iframe><iframe src='%1' "
                                               "width=300 height=100></iframe>")
                                    .arg(foreign));
        m_http->addHtml(QStringLiteral("/nest-a.htm"), QStringLiteral("A"),
                        block + QStringLiteral("<div id=inA>a</div><iframe src='/nest-c.htm' "
                                               "width=300 height=80></iframe>"));
        m_http->addHtml("/nest-c.htm", "C", block + QStringLiteral("<div id=inC>c</div>"));
        auto control = WebHarness::createShownControl(*m_platform);
        ContractRecorder rec(*control);
        const QUrl top = m_http->url(QStringLiteral("/nest-top.htm"));
        QVERIFY(completes(*control, rec, top));
        QCOMPARE(rec.frames.size(), 2);
        QCOMPARE(rec.frames[0].url, m_http->url(QStringLiteral("/nest-c.htm")));
        QCOMPARE(rec.frames[1].url, m_http->url(QStringLiteral("/nest-a.htm")));
        QCOMPARE(rec.frames[0].frameIndex, 0);
        QVERIFY(rec.frames[0].frame.handle != rec.frames[1].frame.handle);
        const auto clicked = [&](const QString &id) -> std::optional<DomEvent> {
            for (const DomEvent &e : rec.domEventsOf(DomEventType::Click)) {
                if (e.source.id == id)
                    return e;
            }
            return std::nullopt;
        };
        const auto centre = [&](const QString &js) {
            const QJsonObject o =
                QJsonDocument::fromJson(pageScript(*control, js).toUtf8()).object();
            return QPoint(int(o.value(QLatin1String("x")).toDouble()),
                          int(o.value(QLatin1String("y")).toDouble()));
        };
        QWidget *input = WebHarness::inputWidget(*control);

        // Another origin's frame first, then the top: only the top's click arrives.
        QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier,
                          centre(QStringLiteral("(function(){var r=document.querySelectorAll("
                                                "'iframe')[1].getBoundingClientRect();return "
                                                "JSON.stringify({x:r.left+r.width/2,y:r.top+"
                                                "r.height/2});})()")));
        QVERIFY(WebHarness::clickElement(*control, QStringLiteral("topDiv")));
        QVERIFY(WebHarness::waitFor([&] { return clicked(QStringLiteral("topDiv")).has_value(); }));
        for (const DomEvent &e : rec.domEventsOf(DomEventType::Click))
            QVERIFY2(e.frameIndex != 1, qPrintable(e.source.id));

        pageScript(*control, QStringLiteral("document.querySelector('iframe').contentDocument"
                                            ".querySelector('iframe').contentDocument"
                                            ".getElementById('inC').click(); 1"));
        QTest::qWait(200);
        QVERIFY(!clicked(QStringLiteral("inC")));
        const QPoint inC = centre(
            QStringLiteral("(function(){var f1=document.querySelector('iframe'),"
                           "f2=f1.contentDocument.querySelector('iframe'),"
                           "e=f2.contentDocument.getElementById('inC');"
                           "var a=f1.getBoundingClientRect(),b=f2.getBoundingClientRect(),"
                           "c=e.getBoundingClientRect();return JSON.stringify({"
                           "x:a.left+f1.clientLeft+b.left+f2.clientLeft+c.left+c.width/2,"
                           "y:a.top+f1.clientTop+b.top+f2.clientTop+c.top+c.height/2});})()"));
        for (int attempt = 0; attempt < 10 && !clicked(QStringLiteral("inC")); ++attempt) {
            QTest::mouseClick(input, Qt::LeftButton, Qt::NoModifier, inC);
            WebHarness::waitFor([&] { return clicked(QStringLiteral("inC")).has_value(); }, 1000);
        }
        QVERIFY(clicked(QStringLiteral("inC")));
        QCOMPARE(clicked(QStringLiteral("inC"))->frameIndex, 0);

        pageScript(*control, QStringLiteral("var d = document.querySelector('iframe')"
                                            ".contentDocument; d.open(); d.write('<div id=written"
                                            " style=\"height:40px\">w</div>'); d.close(); 1"));
        QVERIFY(WebHarness::waitFor([&] {
            return WebHarness::elementRect(*control, QStringLiteral("written"), 0).has_value();
        }));
        QVERIFY(WebHarness::clickElement(*control, "written", Qt::LeftButton, Qt::NoModifier, 0));
        QVERIFY(
            WebHarness::waitFor([&] { return clicked(QStringLiteral("written")).has_value(); }));
        QCOMPARE(clicked(QStringLiteral("written"))->frameIndex, 0);
    }

    // Web content can neither load the program's pages as resources nor go back into one by
    // script (the user's Back can); a page the program wrote reaches the program's sheets.
    void programPagesStayThePrograms()
    {
        auto control = WebHarness::createShownControl(*m_platform);
        ContractRecorder rec(*control);
        const QUrl written = control->writePage(
            QStringLiteral("<html><head><link rel=stylesheet href=sklStyle.css></head><body>"
                           "<p id=w>the program's page</p></body></html>"));
        QVERIFY(WebHarness::waitFor(
            [&] { return rec.has(QStringLiteral("documentComplete"), written); }));
        QList<StyleSheetInfo> sheets;
        bool answered = false;
        control->document().queryStyleSheets([&](const QList<StyleSheetInfo> &s) {
            sheets = s;
            answered = true;
        });
        QVERIFY(WebHarness::waitFor([&] { return answered; }));
        QVERIFY(!sheets.isEmpty() && sheets.constFirst().href.endsWith("sklStyle.css") &&
                !sheets.constFirst().text.isEmpty());

        m_http->addHtml(QStringLiteral("/probe.htm"), QStringLiteral("Probe"), QStringLiteral("p"));
        const QUrl web = m_http->url(QStringLiteral("/probe.htm"));
        QVERIFY(completes(*control, rec, web));
        pageScript(*control, QStringLiteral("window.__probe = 'pending'; var i = new Image();"
                                            "i.onload = function(){ window.__probe = 'loaded'; };"
                                            "i.onerror = function(){ window.__probe = 'refused'; };"
                                            "i.src = 'skl-app://pages/sklStyle.css'; 1"));
        QVERIFY(WebHarness::waitFor(
            [&] { return pageScript(*control, QStringLiteral("window.__probe")) != "pending"; }));
        QCOMPARE(pageScript(*control, QStringLiteral("window.__probe")), QStringLiteral("refused"));

        pageScript(*control, QStringLiteral("history.back(); 1"));
        QTest::qWait(600);
        QCOMPARE(control->locationUrl(), web);
        control->goBack();
        QVERIFY(WebHarness::waitFor([&] { return control->locationUrl() == written; }));
    }

    // A write the page cannot apply is counted, and the writes after it still apply.
    void aFailedWriteIsCounted()
    {
        m_http->addHtml("/writes.htm", "W", "<p id=p>p</p>");
        auto control = WebHarness::createShownControl(*m_platform);
        ContractRecorder rec(*control);
        QVERIFY(completes(*control, rec, m_http->url(QStringLiteral("/writes.htm"))));
        Document &doc = control->document();
        doc.insertAdjacentHTML(QStringLiteral("p"), QStringLiteral("nowhere"), QStringLiteral("x"));
        ++WebHarness::expectedFailedWrites;
        doc.setInnerText(QStringLiteral("p"), QStringLiteral("after"));
        QVERIFY(WebHarness::waitFor([&] {
            return pageScript(*control,
                              QStringLiteral("document.getElementById('p').textContent")) ==
                   QLatin1String("after");
        }));
        QCOMPARE(static_cast<WebEngineDocument &>(doc).failedWriteCount(), 1);
    }

    // A page closing its window while one of the window's dialogs is open: the request waits
    // for the dialog's end (the window going from under the dialog crashed the program).
    void closeRequestWaitsForTheDialog()
    {
        m_http->addHtml(QStringLiteral("/dialog.htm"), QStringLiteral("D"), QStringLiteral("d"));
        auto control = WebHarness::createShownControl(*m_platform);
        ContractRecorder rec(*control);
        QVERIFY(completes(*control, rec, m_http->url(QStringLiteral("/dialog.htm"))));
        int duringDialog = -1;
        bool sawDialog = false;
        QTimer::singleShot(200, [&] {
            sawDialog = QApplication::activeModalWidget() != nullptr;
            pageScript(*control, QStringLiteral("window.close(); 1"));
            QTimer::singleShot(600, [&] {
                duringDialog = rec.closeRequests;
                if (QWidget *dialog = QApplication::activeModalWidget())
                    dialog->close();
            });
        });
        (void)control->execCommand(BrowserCommand::PageSetup, CommandPrompt::PromptUser);
        QVERIFY(sawDialog);
        QCOMPARE(duringDialog, 0);
        QVERIFY(WebHarness::waitFor([&] { return rec.closeRequests == 1; }));
    }
};

SKL_WEB_TEST_MAIN(TestBrowserContractWebEngine)
#include "test_browser_contract_webengine.moc"
