#include "EventLog.h"
#include "HttpFixture.h"
#include "WebHarness.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QWebEnginePage>
#include <QtTest>

using namespace WebHarness;

namespace {

const char kPage[] =
    "<!DOCTYPE html><html><head><title>Doc</title>"
    "<meta name=description content='A page'><meta name=keywords content='a, b'></head>"
    "<body style='height:3000px'><h1 id=h>Heading</h1><h2>Second</h2>"
    "<p id=p class='x y'>Some words to find here.</p>"
    "<a id=link href='/target.htm'><span id=inner>inner</span></a>"
    "<form id=f name=f method=post action='/submit'><input id=field name=field value=v>"
    "<input id=box type=checkbox name=box></form><img src='data:,'>"
    "<div id=spot>spot</div></body></html>";

template <typename T>
T await(const std::function<void(std::function<void(const T &)>)> &query, bool *ranInside)
{
    bool done = false;
    bool inside = true;
    T result{};
    query([&](const T &value) {
        result = value;
        done = true;
        if (inside && ranInside)
            *ranInside = true;
    });
    inside = false;
    waitFor([&] { return done; });
    return result;
}

} // namespace

class TestWebEngineDocument : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture *m_http = nullptr;

    std::unique_ptr<WebEngineControl> loadedControl(EventLog *&log, const QString &path)
    {
        auto control = createShownControl(*m_platform);
        log = new EventLog(*control);
        const QUrl url = m_http->url(path);
        if (!control->navigate(url))
            return nullptr;
        waitFor([&] { return log->has(QStringLiteral("complete ") + url.toString()); });
        return control;
    }
    static std::optional<ElementSnapshot> element(Document &doc, const QString &id)
    {
        return await<std::optional<ElementSnapshot>>([&](auto done) { doc.queryElement(id, done); },
                                                     nullptr);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        m_http = new HttpFixture(this);
        m_http->addSamplePages();
        m_http->addPage(QStringLiteral("/doc.htm"), kPage);
    }
    void cleanupTestCase() { m_platform.reset(); }

    // The contract covers the snapshot and the plain writes; here what only the engine does:
    // scrolling clamped to the page, escaped text, zoom, CSS rules, highlighting, handles.
    void snapshotAfterLoad()
    {
        EventLog *log = nullptr;
        auto control = loadedControl(log, QStringLiteral("/doc.htm"));
        std::unique_ptr<EventLog> owner(log);
        QVERIFY(control);
        Document &doc = control->document();
        QVERIFY(waitFor([&] { return doc.snapshot().readyState == ReadyState::Complete; }));
        QVERIFY(doc.snapshot().scrollHeight > doc.snapshot().clientHeight);
        doc.scrollTo(0, 500);
        QVERIFY(waitFor([&] { return doc.snapshot().scrollTop == 500; }));
        doc.scrollTo(0, 1000000); // clamped to the page
        QVERIFY(waitFor([&] {
            const DocumentSnapshot t = doc.snapshot();
            return t.scrollTop > 500 && t.scrollTop == t.scrollHeight - t.clientHeight;
        }));
    }

    void writesInOrderAndQueries()
    {
        EventLog *log = nullptr;
        auto control = loadedControl(log, QStringLiteral("/doc.htm"));
        std::unique_ptr<EventLog> owner(log);
        Document &doc = control->document();
        doc.setInnerHTML(QStringLiteral("spot"), QStringLiteral("<b id=bold>one</b>"));
        doc.insertAdjacentHTML(QStringLiteral("bold"), QStringLiteral("afterEnd"),
                               QStringLiteral("<i id=it>two</i>"));
        doc.setInnerText(QStringLiteral("it"), QStringLiteral("<not markup>"));
        doc.setOuterHTML(QStringLiteral("h"), QStringLiteral("<h3 id=h>Replaced</h3>"));
        doc.setBodyZoom(QStringLiteral("105%"));
        doc.addCssRule(QStringLiteral(".x"), QStringLiteral("color: red"));
        doc.highlightTerms({QStringLiteral("words")}, {QStringLiteral("color:red")});
        // A write the page cannot apply is counted, and the writes after it still apply.
        doc.insertAdjacentHTML(QStringLiteral("bold"), QStringLiteral("nowhere"),
                               QStringLiteral("<i>lost</i>"));
        ++WebHarness::expectedFailedWrites;

        QCOMPARE(element(doc, QStringLiteral("spot"))->text, QStringLiteral("one<not markup>"));
        QCOMPARE(static_cast<WebEngineDocument &>(doc).failedWriteCount(), 1);
        const auto fonts = await<QList<ElementSnapshot>>(
            [&](auto done) { doc.querySelectorAll(QStringLiteral("#p font"), done); }, nullptr);
        QCOMPARE(fonts.size(), 1);
        QCOMPARE(fonts[0].text, QStringLiteral("words"));
        QVERIFY(waitFor([&] { return doc.snapshot().bodyZoom == QLatin1String("105%"); }));
        const QStringList sheets =
            await<QStringList>([&](auto done) { doc.queryStyleSheets(done); }, nullptr);
        QVERIFY(sheets.join(QString()).contains(QStringLiteral(".x { color: red; }")));

        const auto links =
            await<QList<LinkInfo>>([&](auto done) { doc.queryLinks(done); }, nullptr);
        QCOMPARE(links.value(0).innerHTML, QStringLiteral("<span id=\"inner\">inner</span>"));
        const auto headings =
            await<QList<HeadingInfo>>([&](auto done) { doc.queryHeadings(done); }, nullptr);
        QCOMPARE(headings.size(), 2);
        QCOMPARE(headings[0].level, 3);
        QCOMPARE(headings[1].text, QStringLiteral("Second"));
        // A heading without an id is reachable by its handle.
        doc.setInnerText(ElementRef::fromHandle(headings[1].handle), QStringLiteral("Renamed"));
        const auto h2 = await<QList<ElementSnapshot>>(
            [&](auto done) { doc.querySelectorAll(QStringLiteral("h2"), done); }, nullptr);
        QCOMPARE(h2.value(0).text, QStringLiteral("Renamed"));
    }

    // Events in same-origin frames carry the index of their top-level frame, also after the
    // frame moved to another page and inside a frame's own frame; a frame of another origin
    // stays out of reach.
    void frameDocumentsReportTheirEvents()
    {
        const QString block = QStringLiteral("<style>div,a{display:block;height:40px}</style>");
        const QString foreign =
            QStringLiteral("http://localhost:%1/frame-c.htm").arg(m_http->port());
        m_http->addHtml(QStringLiteral("/frames.htm"), QStringLiteral("Frames"),
                        block + QStringLiteral("<div id=topDiv>top</div>"
                                               "<iframe src='/frame-a.htm' width=500 height=220>"
                                               "</iframe><iframe src='%1' width=300 height=100>"
                                               "</iframe>")
                                    .arg(foreign));
        m_http->addHtml(QStringLiteral("/frame-a.htm"), QStringLiteral("A"),
                        block + QStringLiteral("<div id=inA>a</div><a id=toB href='/frame-b.htm'>"
                                               "b</a><iframe src='/frame-c.htm' width=300 "
                                               "height=80></iframe>"));
        m_http->addHtml(QStringLiteral("/frame-b.htm"), QStringLiteral("B"),
                        block + QStringLiteral("<div id=inB class=b>b</div>"));
        m_http->addHtml(QStringLiteral("/frame-c.htm"), QStringLiteral("C"),
                        block + QStringLiteral("<div id=inC>c</div>"));
        EventLog *log = nullptr;
        auto control = loadedControl(log, QStringLiteral("/frames.htm"));
        std::unique_ptr<EventLog> owner(log);
        QVERIFY(control);
        auto clicked = [&](const QString &id) -> std::optional<DomEvent> {
            if (!waitFor([&] {
                    for (const DomEvent &e : log->domEventsOf(DomEventType::Click)) {
                        if (e.source.id == id)
                            return true;
                    }
                    return false;
                }))
                return std::nullopt;
            for (const DomEvent &e : log->domEventsOf(DomEventType::Click)) {
                if (e.source.id == id)
                    return e;
            }
            return std::nullopt;
        };

        QVERIFY(clickElement(*control, QStringLiteral("inA"), Qt::LeftButton, Qt::NoModifier, 0));
        auto inA = clicked(QStringLiteral("inA"));
        QVERIFY(inA);
        QCOMPARE(inA->frameIndex, 0);
        QCOMPARE(inA->source.tagName, QStringLiteral("DIV"));
        // Clicks in the other-origin frame never reach the program; the top's do, after them.
        const std::optional<QRect> foreignFrame = [&]() -> std::optional<QRect> {
            const QString json =
                runScript(*control,
                          QStringLiteral("(function(){var r=document.querySelectorAll('iframe')[1]"
                                         ".getBoundingClientRect();return JSON.stringify({x:r.left"
                                         "+r.width/2,y:r.top+r.height/2});})()"))
                    .toString();
            const QJsonObject o = QJsonDocument::fromJson(json.toUtf8()).object();
            if (o.isEmpty())
                return std::nullopt;
            return QRect(int(o.value(QLatin1String("x")).toDouble()),
                         int(o.value(QLatin1String("y")).toDouble()), 1, 1);
        }();
        QVERIFY(foreignFrame);
        QTest::mouseClick(inputWidget(*control), Qt::LeftButton, Qt::NoModifier,
                          foreignFrame->topLeft());
        QVERIFY(clickElement(*control, QStringLiteral("topDiv")));
        QCOMPARE(clicked(QStringLiteral("topDiv"))->frameIndex, -1);
        for (const DomEvent &e : log->domEventsOf(DomEventType::Click))
            QVERIFY2(e.frameIndex != 1, qPrintable(e.source.id));

        // A click the page makes up is not reported; a real one in a frame's own frame counts
        // as its top-level frame.
        runScript(*control,
                  QStringLiteral("document.querySelector('iframe').contentDocument"
                                 ".querySelector('iframe').contentDocument"
                                 ".getElementById('inC').click(); 1"),
                  QWebEngineScript::MainWorld);
        QTest::qWait(200);
        for (const DomEvent &e : log->domEventsOf(DomEventType::Click))
            QVERIFY(e.source.id != QLatin1String("inC"));
        const QJsonObject nested =
            QJsonDocument::fromJson(
                runScript(*control,
                          QStringLiteral(
                              "(function(){var f1=document.querySelector('iframe'),"
                              "f2=f1.contentDocument.querySelector('iframe'),"
                              "e=f2.contentDocument.getElementById('inC');"
                              "var a=f1.getBoundingClientRect(),b=f2.getBoundingClientRect(),"
                              "c=e.getBoundingClientRect();return JSON.stringify({"
                              "x:a.left+f1.clientLeft+b.left+f2.clientLeft+c.left+c.width/2,"
                              "y:a.top+f1.clientTop+b.top+f2.clientTop+c.top+c.height/2});})()"))
                    .toString()
                    .toUtf8())
                .object();
        const QPoint inCAt(int(nested.value(QLatin1String("x")).toDouble()),
                           int(nested.value(QLatin1String("y")).toDouble()));
        std::optional<DomEvent> inC;
        for (int attempt = 0; attempt < 10 && !inC; ++attempt) {
            QTest::mouseClick(inputWidget(*control), Qt::LeftButton, Qt::NoModifier, inCAt);
            if (waitFor(
                    [&] {
                        for (const DomEvent &e : log->domEventsOf(DomEventType::Click)) {
                            if (e.source.id == QLatin1String("inC"))
                                return true;
                        }
                        return false;
                    },
                    1000))
                inC = clicked(QStringLiteral("inC"));
        }
        QVERIFY(inC);
        QCOMPARE(inC->frameIndex, 0);

        // The frame moves on: its new document reports too, and the rules hold there.
        EventRule rule;
        rule.type = DomEventType::Click;
        rule.selector = QStringLiteral(".b");
        control->document().setEventRules({rule});
        QVERIFY(clickElement(*control, QStringLiteral("toB"), Qt::LeftButton, Qt::NoModifier, 0));
        QVERIFY(
            waitFor([&] { return elementRect(*control, QStringLiteral("inB"), 0).has_value(); }));
        QVERIFY(clickElement(*control, QStringLiteral("inB"), Qt::LeftButton, Qt::NoModifier, 0));
        auto inB = clicked(QStringLiteral("inB"));
        QVERIFY(inB);
        QCOMPARE(inB->frameIndex, 0);
        QVERIFY(inB->defaultPrevented);

        // A frame that rewrites itself keeps reporting.
        runScript(*control,
                  QStringLiteral("var d = document.querySelector('iframe').contentDocument;"
                                 "d.open(); d.write('<div id=written style=\"height:40px\">w"
                                 "</div>'); d.close(); 1"),
                  QWebEngineScript::MainWorld);
        QVERIFY(waitFor(
            [&] { return elementRect(*control, QStringLiteral("written"), 0).has_value(); }));
        QVERIFY(
            clickElement(*control, QStringLiteral("written"), Qt::LeftButton, Qt::NoModifier, 0));
        auto written = clicked(QStringLiteral("written"));
        QVERIFY(written);
        QCOMPARE(written->frameIndex, 0);
        QCOMPARE(control->locationUrl(), m_http->url(QStringLiteral("/frames.htm")));
    }

    void frameDocumentsAreReportedWhenComplete()
    {
        const QString foreign = QStringLiteral("http://localhost:%1/fr-n.htm").arg(m_http->port());
        m_http->addHtml(QStringLiteral("/fr-top.htm"), QStringLiteral("Top"),
                        QStringLiteral("<p>top</p><iframe id=fa src='/fr-a.htm' width=400 "
                                       "height=300></iframe><iframe src='%1'></iframe>")
                            .arg(foreign));
        m_http->addHtml(QStringLiteral("/fr-a.htm"), QStringLiteral("A"),
                        QStringLiteral("<p>alpha words</p>"
                                       "<iframe src='/fr-n.htm'></iframe>"));
        m_http->addHtml(QStringLiteral("/fr-b.htm"), QStringLiteral("B"),
                        QStringLiteral("<p>beta words, more of them</p>"));
        m_http->addHtml(QStringLiteral("/fr-n.htm"), QStringLiteral("N"),
                        QStringLiteral("<p>nested words</p>"));
        EventLog *log = nullptr;
        auto control = loadedControl(log, QStringLiteral("/fr-top.htm"));
        std::unique_ptr<EventLog> owner(log);
        QVERIFY(control);
        const QString a = m_http->url(QStringLiteral("/fr-a.htm")).toString();
        const QString n = m_http->url(QStringLiteral("/fr-n.htm")).toString();
        const QString top = m_http->url(QStringLiteral("/fr-top.htm")).toString();

        // Inner frames first, every one before the page that holds them completes; the frame
        // of another origin is out of reach and not reported.
        QCOMPARE(log->frames.size(), 2);
        QVERIFY(log->indexOf(QStringLiteral("frame ") + n) <
                log->indexOf(QStringLiteral("frame ") + a));
        QVERIFY(log->indexOf(QStringLiteral("frame ") + a) <
                log->indexOf(QStringLiteral("complete ") + top));
        const FrameDocumentInfo fa = log->frames.at(1);
        QCOMPARE(fa.frameIndex, 0);
        QCOMPARE(log->frames.at(0).frameIndex, 0);
        QVERIFY(fa.bodyTextLength >= 11);
        QVERIFY(fa.frame.handle != 0 && fa.frame.handle != log->frames.at(0).frame.handle);

        // Writes into the frame's document, through the frame element.
        const auto inFrame = [&](const QString &expression) {
            return runScript(*control,
                             QStringLiteral("(function(){var d=document.getElementById('fa')"
                                            ".contentDocument;return String(%1);})()")
                                 .arg(expression),
                             QWebEngineScript::MainWorld)
                .toString();
        };
        control->document().setFrameBodyZoom(fa.frame, QStringLiteral("150%"));
        control->document().highlightFrameTerms(fa.frame, {QStringLiteral("WORDS")},
                                                {QStringLiteral("color:red")});
        QVERIFY(waitFor([&] { return inFrame(QStringLiteral("d.body.style.zoom")) == "150%"; }));
        QVERIFY(waitFor([&] {
            return inFrame(QStringLiteral("d.getElementsByTagName('font').length")) == "1";
        }));
        QCOMPARE(inFrame(QStringLiteral("d.getElementsByTagName('font')[0].textContent")),
                 QStringLiteral("words"));
        // The top document is left alone.
        QCOMPARE(runScript(*control, QStringLiteral("document.getElementsByTagName('font').length"),
                           QWebEngineScript::MainWorld)
                     .toInt(),
                 0);
        // Focusing the frame element gives the frame the keyboard.
        control->document().focus(fa.frame);
        QVERIFY(waitFor([&] {
            return runScript(*control, QStringLiteral("document.activeElement.id"),
                             QWebEngineScript::MainWorld)
                       .toString() == QLatin1String("fa");
        }));

        // The frame moves on: its new document is reported under the same frame element, and
        // writes reach the new document.
        runScript(*control,
                  QStringLiteral("document.getElementById('fa').contentWindow.location"
                                 " = '/fr-b.htm'; 1"),
                  QWebEngineScript::MainWorld);
        const QString b = m_http->url(QStringLiteral("/fr-b.htm")).toString();
        QVERIFY(waitFor([&] { return log->has(QStringLiteral("frame ") + b); }));
        QCOMPARE(log->frames.last().frame.handle, fa.frame.handle);
        QVERIFY(log->frames.last().bodyTextLength > fa.bodyTextLength);
        control->document().setFrameBodyZoom(fa.frame, QStringLiteral("80%"));
        QVERIFY(waitFor([&] { return inFrame(QStringLiteral("d.body.style.zoom")) == "80%"; }));
    }

    // A page closing its window while one of the window's dialogs is open: the request waits
    // for the dialog's end (the window going from under the dialog crashed the program).
    void closeRequestWaitsForTheDialog()
    {
        EventLog *log = nullptr;
        auto control = loadedControl(log, QStringLiteral("/doc.htm"));
        std::unique_ptr<EventLog> owner(log);
        QVERIFY(control);
        int duringDialog = -1;
        bool sawDialog = false;
        QTimer::singleShot(200, [&] {
            sawDialog = QApplication::activeModalWidget() != nullptr;
            runScript(*control, QStringLiteral("window.close(); 1"), QWebEngineScript::MainWorld);
            QTimer::singleShot(600, [&] {
                duringDialog = log->closeRequests;
                if (QWidget *dialog = QApplication::activeModalWidget())
                    dialog->close();
            });
        });
        (void)control->execCommand(BrowserCommand::PageSetup, CommandPrompt::PromptUser);
        QVERIFY(sawDialog);
        QCOMPARE(duringDialog, 0);
        QVERIFY(waitFor([&] { return log->closeRequests == 1; }));
    }
};

SKL_WEB_TEST_MAIN(TestWebEngineDocument)
#include "test_webengine_document.moc"
