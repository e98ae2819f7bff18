#include "../reader/EngineRig.h"

#include "frame/MDIForm1.h"
#include "frame/Pane.h"
#include "frame/TopBar.h"

#include <QTest>

using namespace WebHarness;

namespace {

WebEngineControl &engine(Pane *pane)
{
    return static_cast<WebEngineControl &>(pane->control());
}

QString script(WebEngineControl &c, const QString &js)
{
    return runScript(c, js, QWebEngineScript::MainWorld).toString();
}

// The main frame with both panes over a reader of engine windows; the reader asks the top
// bar for the words to mark.
struct FrameEngineRig : EngineRig
{
    FrameEngineRig(WebEnginePlatform &platform, const QString &data) : EngineRig(platform, data)
    {
        ctx.browsers = &platform;
        ctx.reader = &reader;
        ctx.LoadDocument = [this](const QString &url, LoadWhere where) {
            (void)reader.queue.LoadDocument(url, where);
        };
        frame = std::make_unique<MDIForm1>(ctx);
        host.highlightSource = [this] { return frame->topBar()->highlightWords(); };
        window(0)->bActiveForm = true;
        frame->resize(1280, 800);
        frame->show();
    }
    ~FrameEngineRig() { frame.reset(); }

    bool ready() const
    {
        return waitFor(
            [&] { return frame->topBarPane()->isReady() && frame->sidebarPane()->isReady(); });
    }
    WebEngineControl &page() const
    {
        return *static_cast<WebEngineControl *>(host.controls.at(0).get());
    }
    // Marks in the page ("" top document, else the iframe's id).
    int marks(const QString &frameId = QString())
    {
        const QString doc =
            frameId.isEmpty()
                ? QStringLiteral("document")
                : QStringLiteral("document.getElementById('%1').contentDocument").arg(frameId);
        return script(page(), QStringLiteral("String(%1.querySelectorAll(\"font[style*="
                                             "'yellow']\").length)")
                                  .arg(doc))
            .toInt();
    }
    // Real keys into the search box: a click into it, then the text and Enter.
    bool typeIntoSearchBox(const QString &text)
    {
        WebEngineControl &bar = engine(frame->topBarPane());
        if (!clickElementUntil(bar, QStringLiteral("SearchTerms"), Qt::LeftButton, Qt::NoModifier,
                               -1, [&] { return ctx.gbTextEntry; }))
            return false;
        // Escape empties the box; the program does it, a moment later.
        pressKey(bar, Qt::Key_Escape);
        if (!waitFor([&] {
                return script(bar, QStringLiteral("document.getElementById('SearchTerms').value"))
                    .isEmpty();
            }))
            return false;
        typeText(bar, text);
        pressKey(bar, Qt::Key_Return);
        return true;
    }

    std::unique_ptr<MDIForm1> frame;
};

} // namespace

// The top bar and sidebar panes of the main frame on the real engine.
class TestFrameE2E : public QObject
{
    Q_OBJECT

    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture m_http;

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        QVERIFY(m_http.isListening());
        m_http.addHtml(QStringLiteral("/page.htm"), QStringLiteral("Pets"),
                       QStringLiteral("<p>Cats and dogs; more CATS.</p>"
                                      "<iframe id=f src='/frame.htm'></iframe>"));
        m_http.addHtml(QStringLiteral("/frame.htm"), QStringLiteral("Frame"),
                       QStringLiteral("<p>dogs in a frame</p>"));
        m_http.addHtml(QStringLiteral("/search"), QStringLiteral("Results"),
                       QStringLiteral("<p>results</p>"));
    }

    // "_ " and two words joined by a backquote mark both in the page and its frame; "_" again
    // takes the marks away; "g " searches the web search tab's service with the words intact.
    void highlightAndSearchFromTheBox()
    {
        TempProfile profile;
        FrameEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        (void)rig.reader.queue.LoadDocument(m_http.url(QStringLiteral("/page.htm")).toString(),
                                            LoadWhere::Here);
        QVERIFY(waitFor([&] {
            return rig.window(0)->msReadyState == QLatin1String("c") &&
                   script(rig.page(), QStringLiteral("String(document.getElementById('f')"
                                                     ".contentDocument.readyState)")) ==
                       QLatin1String("complete");
        }));

        QVERIFY(rig.typeIntoSearchBox(QStringLiteral("_ cats`dogs")));
        QVERIFY(waitFor([&] { return rig.marks() == 3 && rig.marks(QStringLiteral("f")) == 1; }));
        QCOMPARE(script(rig.page(), QStringLiteral("document.querySelector('font').textContent")),
                 QStringLiteral("Cats"));
        QVERIFY(rig.frame->topBar()->highlightOn());

        QVERIFY(clickElement(engine(rig.frame->topBarPane()), QStringLiteral("sh")));
        QVERIFY(waitFor([&] { return rig.marks() == 0 && rig.marks(QStringLiteral("f")) == 0; }));
        QVERIFY(!rig.frame->topBar()->highlightOn());
        QCOMPARE(script(rig.page(), QStringLiteral("document.body.innerText")).left(26),
                 QStringLiteral("Cats and dogs; more CATS."));

        rig.frame->topBar()->services().setTemplate(
            0, m_http.url(QStringLiteral("/search")).toString() + QStringLiteral("?q=!"));
        QVERIFY(rig.typeIntoSearchBox(QStringLiteral("g cats & dogs #1")));
        QVERIFY(waitFor([&] { return m_http.requestCount(QStringLiteral("/search")) == 1; }));
        QCOMPARE(m_http.requests(QStringLiteral("/search")).at(0).query,
                 QStringLiteral("q=cats+%26+dogs+%231"));
    }

    // A web page can neither load the panes' pages nor start their commands; the pane's own
    // links reach the frame.
    void webContentCannotReachThePanes()
    {
        TempProfile profile;
        FrameEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        Pane *sidebar = rig.frame->sidebarPane();
        QStringList asked;
        sidebar->onBeforeNavigate = [&](const BeforeNavigateInfo &info) {
            asked << info.url.toString();
        };
        const QString paneUrl = sidebar->control().locationUrl().toString();
        QVERIFY(paneUrl.startsWith(QLatin1String("skl-app:")));
        m_http.addHtml(QStringLiteral("/evil.htm"), QStringLiteral("Evil"),
                       QStringLiteral("<a id=cmd href='skl:Lx'>command</a> "
                                      "<a id=pane href='%1'>pane</a>")
                           .arg(paneUrl));
        (void)rig.reader.queue.LoadDocument(m_http.url(QStringLiteral("/evil.htm")).toString(),
                                            LoadWhere::Here);
        QVERIFY(waitFor([&] { return rig.window(0)->msReadyState == QLatin1String("c"); }));
        script(rig.page(), QStringLiteral("window.__got = ''; fetch('%1').then(r => r.text())"
                                          ".then(t => window.__got = t, () => window.__got = "
                                          "'refused'); 1")
                               .arg(paneUrl));
        QVERIFY(
            waitFor([&] { return !script(rig.page(), QStringLiteral("window.__got")).isEmpty(); }));
        QCOMPARE(script(rig.page(), QStringLiteral("window.__got")), QStringLiteral("refused"));
        QVERIFY(clickElement(rig.page(), QStringLiteral("cmd")));
        QVERIFY(clickElement(rig.page(), QStringLiteral("pane")));

        // The pane's own command link, clicked, is the one that arrives.
        sidebar->document().setInnerHTML(QStringLiteral("MW"),
                                         QStringLiteral("<a id=own href='skl:Lown'>own</a>"));
        QVERIFY(waitFor([&] {
            return script(engine(sidebar),
                          QStringLiteral("String(!!document.getElementById('own'))")) ==
                   QLatin1String("true");
        }));
        QVERIFY(clickElementUntil(engine(sidebar), QStringLiteral("own"), Qt::LeftButton,
                                  Qt::NoModifier, -1, [&] { return !asked.isEmpty(); }));
        QCOMPARE(asked, QStringList{QStringLiteral("skl:Lown")});
        QCOMPARE(rig.page().locationUrl(), m_http.url(QStringLiteral("/evil.htm")));
        QCOMPARE(sidebar->control().locationUrl().toString(), paneUrl);
    }
};

SKL_WEB_TEST_MAIN(TestFrameE2E)
#include "test_frame_e2e.moc"
