#include "FakePlatform.h"
#include "HttpFixture.h"
#include "TempProfile.h"
#include "WebHarness.h"
#include "frame/MDIForm1.h"
#include "frame/Pane.h"
#include "frame/PopupWindow.h"
#include "frame/cPopup.h"
#include "reader/AppContext.h"
#include "reader/frmBrowser.h"
#include "startup/Main.h"
#include "store/Stores.h"

#include <QtTest>

using namespace WebHarness;

// The address box of the running program on the real engine, typed into with real keys.
class TestAddressBoxE2E : public QObject
{
    Q_OBJECT

    TempProfile m_profile;
    HttpFixture m_http;
    std::unique_ptr<WebEnginePlatform> m_platform;
    FakeUi m_ui;
    FakeShell m_shell;
    FakeHttpClient m_client;
    std::unique_ptr<modMain> m_program;

    AppContext &ctx() { return m_program->context(); }
    MDIForm1 &frame() { return *static_cast<MDIForm1 *>(ctx().mainForm); }
    cPopup &box() { return *frame().addressBox(); }
    WebEngineControl &topBar()
    {
        return static_cast<WebEngineControl &>(frame().topBarPane()->control());
    }
    frmBrowser *current() { return ctx().gBrowsers.value(ctx().giCurrentWindow); }
    WebEngineControl &reading()
    {
        return *static_cast<WebEngineControl *>(current()->brwWebBrowser);
    }
    QString boxValue()
    {
        return runScript(topBar(), QStringLiteral("document.getElementById('AddrBox').value"))
            .toString();
    }
    // Focused with all of its text selected, as Alt+D leaves it.
    bool boxFocused()
    {
        return runScript(
                   topBar(),
                   QStringLiteral("(function(){var b=document.activeElement;"
                                  "return document.hasFocus() && b.id=='AddrBox' &&"
                                  "b.selectionStart==0 && b.selectionEnd==b.value.length;})()"))
            .toBool();
    }
    // Alt+D in the page being read, then the text typed; true once the box holds it.
    bool typeIntoBox(const QString &text)
    {
        focusControl(reading());
        pressKey(reading(), Qt::Key_D, Qt::AltModifier);
        if (!waitFor([&] { return boxFocused(); }))
            return false;
        typeText(topBar(), text);
        return waitFor([&] { return box().text() == text; });
    }
    bool loadedHere(const QUrl &url)
    {
        return waitFor(
            [&] { return current()->msURL == url.toString() && boxValue() == url.toString(); });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_http.isListening());
        m_http.answerEveryHost();
        m_http.addHtml("/start.htm", "Start", "<p>start</p>");
        m_http.addHtml("/typed.htm", "Typed", "<p>typed</p>");
        m_http.addHtml("/search", "Search", "<p>results</p>");
        m_platform = createPlatform();
        m_program = std::make_unique<modMain>(
            Platform{m_platform.get(), &m_ui, &m_shell, &m_client},
            StartArguments::parse({"--no-first-run", m_http.url("/start.htm").toString()},
                                  QDir::currentPath()));
        QCOMPARE(m_program->Main(), modMain::Outcome::Running);
        ctx().gSearchEngines.add("g", m_http.url("/search?q=!").toString());
        frame().resize(1280, 800);
        QVERIFY(frame().topBarPane() && frame().addressBox());
        QVERIFY(waitFor([&] { return frame().topBarPane()->isReady(); }));
        QVERIFY(loadedHere(m_http.url("/start.htm")));
    }
    void cleanupTestCase()
    {
        m_program.reset();
        m_platform.reset();
    }

    // Typed and searched addresses (completing a typed name and refusing one are the unit
    // test's); the box shows where the window is.
    void enter()
    {
        QVERIFY(typeIntoBox(m_http.url("/typed.htm").toString()));
        pressKey(topBar(), Qt::Key_Return);
        QVERIFY(loadedHere(m_http.url("/typed.htm")));

        const int here = ctx().giCurrentWindow;
        QVERIFY(typeIntoBox("g cats"));
        pressKey(topBar(), Qt::Key_Return);
        QVERIFY(waitFor([&] { return m_http.requestCount("/search") == 1; }));
        QCOMPARE(m_http.requests("/search").constFirst().query, QString("q=cats"));
        QVERIFY(waitFor([&] { return boxValue() == ctx().gBrowsers.value(here)->msURL; }));
    }

    // Favorites whose address holds the text: 30 are too many, 24 show; keys move the
    // highlight, Enter loads the one highlighted; a title's markup stays text.
    void favoritesList()
    {
        Recordset &favorites = ctx().stores->rsFavorites;
        for (int i = 0; i < 30; ++i) {
            const QString path = QStringLiteral("/%1news%2.htm").arg(i < 24 ? "a" : "b").arg(i);
            m_http.addHtml(path, path, "<p>news</p>");
            QVERIFY(favorites.AddNew({"URL", "Title"},
                                     {m_http.url(path).toString(), "<b>News</b> " + path}));
        }
        PopupWindow *popup = box().popup();
        QVERIFY(typeIntoBox("n"));
        QVERIFY(!box().mbShown);
        typeText(topBar(), "ews");
        QVERIFY(waitFor([&] { return box().text() == "news"; }));
        QVERIFY(!box().mbShown);
        pressKey(topBar(), Qt::Key_Home);
        typeText(topBar(), "a");
        QVERIFY(waitFor([&] { return box().mbShown; }));
        QCOMPARE(popup->count(), 24);
        QVERIFY(popup->entryToolTip("d0").contains("&lt;b&gt;News&lt;/b&gt;"));

        pressKey(topBar(), Qt::Key_Down);
        pressKey(topBar(), Qt::Key_Down);
        QVERIFY(waitFor([&] { return popup->highlighted() == "d1"; }));
        pressKey(topBar(), Qt::Key_End);
        QVERIFY(waitFor([&] { return popup->highlighted() == "d23"; }));
        pressKey(topBar(), Qt::Key_Down);
        pressKey(topBar(), Qt::Key_Up); // from the last entry, where Down stayed
        QVERIFY(waitFor([&] { return popup->highlighted() == "d22"; }));
        pressKey(topBar(), Qt::Key_Home);
        QVERIFY(waitFor([&] { return popup->highlighted() == "d0"; }));
        pressKey(topBar(), Qt::Key_Down);
        QVERIFY(waitFor([&] { return popup->highlighted() == "d1"; }));
        const QUrl second(popup->entryText("d1"));
        pressKey(topBar(), Qt::Key_Return);
        QVERIFY(loadedHere(second));
        QVERIFY(!popup->isVisible());
    }

    // The first click into the box selects all of it; the second places the caret.
    void clicks()
    {
        focusControl(reading());
        QVERIFY(clickElement(topBar(), "AddrBox"));
        const QString selection =
            "(function(){var b=document.getElementById('AddrBox');"
            "return b.selectionStart + ' ' + b.selectionEnd + ' ' + b.value.length;})()";
        QVERIFY(waitFor([&] {
            const QStringList s = runScript(topBar(), selection).toString().split(' ');
            return s.size() == 3 && s[0] == "0" && s[1] == s[2] && s[2] != "0";
        }));
        QVERIFY(clickElement(topBar(), "AddrBox"));
        QVERIFY(waitFor([&] {
            const QStringList s = runScript(topBar(), selection).toString().split(' ');
            return s.size() == 3 && s[0] == s[1];
        }));
    }
};

SKL_WEB_TEST_MAIN(TestAddressBoxE2E)
#include "test_addressbox_e2e.moc"
