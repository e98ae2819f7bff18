#include "SidebarEngineRig.h"
#include "favorites/cXML.h"
#include "frame/Notes.h"
#include "frame/SavedFiles.h"
#include "reader/History.h"
#include "store/DateValue.h"
#include "store/Recordset.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

#include <cmath>

using namespace WebHarness;

namespace {

const QString kBlue = QStringLiteral("rgb(0, 0, 255)");
const QString kRed = QStringLiteral("rgb(255, 0, 0)");
const QString kCurrent = QStringLiteral("rgb(238, 238, 238)");
const char *const kServiceHosts[] = {"translate.google.com", "www.similarweb.com",
                                     "web.archive.org", "whois.domaintools.com"};

QString script(WebEngineControl &c, const QString &js)
{
    return runScript(c, js, QWebEngineScript::MainWorld).toString();
}

// A left click on the element, again while the condition does not hold.
bool clickUntil(WebEngineControl &c, const QString &id, const std::function<bool()> &done)
{
    return WebHarness::clickElementUntil(c, id, Qt::LeftButton, Qt::NoModifier, -1, done);
}

} // namespace

// The top bar and sidebar panes of the main frame on the real engine, driven by real keys and
// clicks.
class TestFrameE2E : public QObject
{
    Q_OBJECT

    QTemporaryDir m_xml; // the feed pages' folder of every rig
    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture m_http;

    // "color background" of an entry of the open-windows list as the pane draws it.
    static QString look(SidebarEngineRig &rig, int slot)
    {
        return rig.sidebarScript(
            QStringLiteral("(function(){var e=document.getElementById('K%1'); if(!e) return '';"
                           "var s=getComputedStyle(e); return s.color+' '+s.backgroundColor;})()")
                .arg(slot));
    }
    static int queued(SidebarEngineRig &rig)
    {
        return rig.sidebarScript("String(document.querySelectorAll('#qul .QL').length)").toInt();
    }
    // Marks in window 0's page ("" top document, else the iframe's id).
    static int marks(SidebarEngineRig &rig, const QString &frameId = QString())
    {
        const QString doc =
            frameId.isEmpty()
                ? QStringLiteral("document")
                : QStringLiteral("document.getElementById('%1').contentDocument").arg(frameId);
        return script(rig.windowEngine(0),
                      QStringLiteral("String(%1.querySelectorAll(\"font[style*='yellow']\")"
                                     ".length)")
                          .arg(doc))
            .toInt();
    }
    // Real keys into the search box: a click into it, Escape to empty it (the program does it,
    // a moment later), then the text and Enter.
    static bool typeIntoSearchBox(SidebarEngineRig &rig, const QString &text)
    {
        WebEngineControl &bar = SidebarEngineRig::engine(rig.frame->topBarPane());
        if (!clickUntil(bar, QStringLiteral("SearchTerms"), [&] { return rig.ctx.gbTextEntry; }))
            return false;
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

    // A page of the fixture read in window 0, complete.
    bool showPage(SidebarEngineRig &rig, const char *path)
    {
        const QString url = m_http.url(QString::fromLatin1(path)).toString();
        (void)rig.reader->queue.LoadDocument(url, LoadWhere::Here);
        return waitFor([&] {
            return rig.ctx.gBrowsers.at(0)->msURL == url &&
                   rig.ctx.gBrowsers.at(0)->msReadyState == QLatin1String("c");
        });
    }

private Q_SLOTS:
    void initTestCase()
    {
        // The page tools' services answer here: their hosts are mapped to the fixture's secure
        // port before the engine starts, and its certificate is of its own making.
        QVERIFY(m_http.listenSecure());
        QStringList rules;
        for (const char *host : kServiceHosts)
            rules << QStringLiteral("MAP %1 127.0.0.1:%2")
                         .arg(host)
                         .arg(m_http.secureUrl("/").port());
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
                qgetenv("QTWEBENGINE_CHROMIUM_FLAGS") +
                    " --ignore-certificate-errors --host-resolver-rules=\"" +
                    rules.join(QStringLiteral(", ")).toLatin1() + '"');
        WebEngineOptions options;
        options.pagesPath = pagesPath();
        options.xmlPath = m_xml.path();
        m_platform = std::make_unique<WebEnginePlatform>(options);
        QVERIFY(m_http.isListening());
        m_http.addHtml("/w0.htm", "Zero", "0");
        m_http.addHtml("/w1.htm", "One", "1");
        m_http.addHtml("/w2.htm", "Two", "2");
        m_http.addHtml("/w3.htm", "Three", "3");
        m_http.addHtml("/w4.htm", "Four", "4");
        const QString tall = QStringLiteral("<div style='height:3000px'></div>");
        m_http.addHtml(QStringLiteral("/h.htm"), QStringLiteral("Headed"),
                       QStringLiteral("<h1>Top</h1>") + tall + QStringLiteral("<h2>Middle</h2>") +
                           tall + QStringLiteral("<h3 id=low>Low</h3>") + tall);
        m_http.addHtml(QStringLiteral("/page.htm"), QStringLiteral("Pets"),
                       QStringLiteral("<p>Cats and dogs; more CATS.</p>"
                                      "<iframe id=f src='/frame.htm'></iframe>"));
        m_http.addHtml("/frame.htm", "Frame", "<p>dogs in a frame</p>");
        m_http.addHtml("/search", "Results", "<p>results</p>");
        m_http.addPage("/set.htm", "<html><head><title>Set</title></head><frameset "
                                   "cols='50%,50%'><frame src='/w1.htm'><frame "
                                   "src='/w2.htm'></frameset></html>");
    }

    // A clicked feed link opens the viewer: the feed as one of the program's pages, its text
    // shown as text, its form opening the editor for a feed; a favorite feed has no form.
    void feedViewer()
    {
        m_http.addPage("/news.rss",
                       "<?xml version='1.0'?><rss version='2.0'><channel><title>News</title>"
                       "<link>http://news.test/</link><item><title>&lt;img src=x "
                       "onerror=alert(1)&gt;</title><link>/w1.htm</link><description>d"
                       "</description></item></channel></rss>",
                       "application/rss+xml");
        m_http.addHtml("/feeds.htm", "Feeds", "<a id=f href='/news.rss'>the feed</a>");
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        rig.ctx.folders.xml = m_xml.path();
        FeedViewers viewers(rig.ctx);
        rig.ctx.favoriteCommands.OpenFeedViewer = [&](const QString &url, double bm, int slot) {
            viewers.OpenFeedViewer(url, bm, slot);
        };
        int editorMode = -1;
        rig.ctx.dialogs.ShowFavoriteEditor = [&](int mode, const QString &) { editorMode = mode; };

        QVERIFY(showPage(rig, "/feeds.htm"));
        const QString shown = cXML::pageAddress(QStringLiteral("news-127.0.0.1.htm"));
        const auto viewerSlot = [&] {
            for (int i = 1; i < rig.ctx.gBrowsers.size(); ++i)
                if (rig.ctx.gBrowsers.at(i) && rig.ctx.gBrowsers.at(i)->msURL == shown &&
                    rig.ctx.gBrowsers.at(i)->msReadyState == QLatin1String("c"))
                    return i;
            return -1;
        };
        QVERIFY(clickUntil(rig.windowEngine(0), "f", [&] { return viewerSlot() > 0; }));
        WebEngineControl &feed = rig.windowEngine(viewerSlot());
        QCOMPARE(script(feed, "document.querySelector('h2').textContent"),
                 QStringLiteral("<img src=x onerror=alert(1)>"));
        QCOMPARE(script(feed, "String(document.images.length)"), QStringLiteral("0"));
        QCOMPARE(script(feed, "document.querySelector('h2 a').href"),
                 m_http.url("/w1.htm").toString());
        QVERIFY(waitFor([&] { return script(feed, "document.readyState") == "complete"; }));
        rig.reader->pool.ActivateWindow(viewerSlot());
        QVERIFY(waitFor([&] { return rig.ctx.gBrowsers.at(viewerSlot())->bActiveForm; }));
        (void)script(feed, "document.querySelector('button').id = 'atf', ''");
        QVERIFY(clickUntil(feed, QStringLiteral("atf"), [&] { return editorMode == 3; }));

        Recordset &fav = rig.stores.rsFavorites;
        fav.AddNew();
        (void)fav.SetField("URL", m_http.url("/news.rss").toString());
        (void)fav.SetField("bfFav", 2);
        fav.Update();
        LoadRequest r;
        r.source = LoadSource::Favorite;
        r.bookmark = fav.Bookmark();
        (void)rig.reader->queue.LoadDocument(r);
        QVERIFY(waitFor([&] {
            QFile f(m_xml.filePath("news-127.0.0.1.htm"));
            return f.open(QIODevice::ReadOnly) && !f.readAll().contains("<form");
        }));
    }

    // Every translation pair and web tool opens its service with the page's address in the
    // shape the service reads (the fixture answers for their hosts).
    void pageToolServices()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        QVERIFY(showPage(rig, "/w1.htm?a=1&b=2"));
        const QString page = m_http.url("/w1.htm?a=1&b=2").toString();
        m_http.clearRequests();
        for (int i = 0; i < 12; ++i)
            rig.frame->menuItem(QStringLiteral("mnuTranslate(%1)").arg(i))->trigger();
        for (int i = 0; i < 3; ++i)
            rig.frame->menuItem(QStringLiteral("mnuTools_Web(%1)").arg(i))->trigger();
        const auto toService = [&] {
            QList<HttpFixture::Request> out;
            for (const HttpFixture::Request &r : m_http.requests())
                if (!r.header("Host").startsWith("127.0.0.1") && r.path != "/favicon.ico")
                    out << r;
            return out;
        };
        QVERIFY(waitFor([&] { return toService().size() >= 15; }, 60000));

        QSet<QString> pairs;
        int ranking = 0, archive = 0, whois = 0;
        for (const HttpFixture::Request &r : toService()) {
            const QString host = QString::fromLatin1(r.header("Host"));
            const QUrlQuery query(r.query);
            if (host == QLatin1String("translate.google.com")) {
                QCOMPARE(r.path, QStringLiteral("/translate"));
                QCOMPARE(query.queryItemValue("u", QUrl::FullyDecoded), page);
                pairs << query.queryItemValue("langpair", QUrl::FullyDecoded);
            } else if (host == QLatin1String("www.similarweb.com")) {
                ranking += r.path == QLatin1String("/website/127.0.0.1/");
            } else if (host == QLatin1String("web.archive.org")) {
                archive += r.path == QLatin1String("/web/*/http://127.0.0.1");
            } else if (host == QLatin1String("whois.domaintools.com")) {
                whois += r.path == QLatin1String("/search/") &&
                         query.queryItemValue("q") == QLatin1String("127.0.0.1");
            }
        }
        QCOMPARE(pairs.size(), 12);
        for (const QString &pair : pairs)
            QVERIFY2(QRegularExpression("^[a-z]{2}\\|[a-z]{2}$").match(pair).hasMatch(),
                     qPrintable(pair));
        QCOMPARE(ranking + archive + whois, 3);
        QVERIFY(ranking == 1 && archive == 1 && whois == 1);
    }

    // "_ " and two words joined by a backquote mark both in the page and its frame; "_" again
    // takes the marks away; "g " searches the web search tab's service with the words intact.
    void highlightAndSearchFromTheBox()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        (void)rig.reader->queue.LoadDocument(m_http.url("/page.htm").toString(), LoadWhere::Here);
        QVERIFY(waitFor([&] {
            return rig.ctx.gBrowsers.at(0)->msReadyState == QLatin1String("c") &&
                   script(rig.windowEngine(0), QStringLiteral("String(document.getElementById('f')"
                                                              ".contentDocument.readyState)")) ==
                       QLatin1String("complete");
        }));

        QVERIFY(typeIntoSearchBox(rig, QStringLiteral("_ cats`dogs")));
        QVERIFY(waitFor([&] { return marks(rig) == 3 && marks(rig, QStringLiteral("f")) == 1; }));
        QCOMPARE(script(rig.windowEngine(0),
                        QStringLiteral("document.querySelector('font').textContent")),
                 QStringLiteral("Cats"));
        QVERIFY(rig.frame->topBar()->highlightOn());

        QVERIFY(
            clickElement(SidebarEngineRig::engine(rig.frame->topBarPane()), QStringLiteral("sh")));
        QVERIFY(waitFor([&] { return marks(rig) == 0 && marks(rig, QStringLiteral("f")) == 0; }));
        QVERIFY(!rig.frame->topBar()->highlightOn());
        QCOMPARE(script(rig.windowEngine(0), QStringLiteral("document.body.innerText")).left(26),
                 QStringLiteral("Cats and dogs; more CATS."));

        rig.frame->topBar()->services().setTemplate(
            0, m_http.url(QStringLiteral("/search")).toString() + QStringLiteral("?q=!"));
        QVERIFY(typeIntoSearchBox(rig, QStringLiteral("g cats & dogs #1")));
        QVERIFY(waitFor([&] { return m_http.requestCount(QStringLiteral("/search")) == 1; }));
        QCOMPARE(m_http.requests(QStringLiteral("/search")).at(0).query, "q=cats+%26+dogs+%231");
    }

    // The pane's own command link reaches the frame, as the program's; a web page's links to the
    // pane and its commands are the contract's, its loads from the program's scheme the engine
    // contract's.
    void paneCommandLinksReachTheFrame()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        Pane *sidebar = rig.frame->sidebarPane();
        QStringList asked;
        sidebar->onBeforeNavigate = [&](const BeforeNavigateInfo &info) {
            asked << info.url.toString();
        };
        const QString paneUrl = sidebar->control().locationUrl().toString();
        QVERIFY(paneUrl.startsWith(QLatin1String("skl-app:")));
        sidebar->document().setInnerHTML("MW", "<a id=own href='skl:Lown'>own</a>");
        QVERIFY(waitFor([&] {
            return script(SidebarEngineRig::engine(sidebar),
                          QStringLiteral("String(!!document.getElementById('own'))")) ==
                   QLatin1String("true");
        }));
        QVERIFY(clickUntil(SidebarEngineRig::engine(sidebar), QStringLiteral("own"),
                           [&] { return !asked.isEmpty(); }));
        QCOMPARE(asked, QStringList{QStringLiteral("skl:Lown")});
        QCOMPARE(sidebar->control().locationUrl().toString(), paneUrl);
    }
    // Every window in its state's colour, following X; the queue while the pool is full and
    // as it drains; a click on an entry brings that window. (Titles' markup: the hostile suite.)
    void openWindowsAndQueue()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")), 3);
        QVERIFY(rig.ready());
        (void)rig.reader->queue.LoadDocument(m_http.url("/w0.htm").toString(), LoadWhere::Here);
        for (int i = 1; i <= 4; ++i)
            (void)rig.reader->queue.LoadDocument(
                m_http.url(QStringLiteral("/w%1.htm").arg(i)).toString());
        QVERIFY(waitFor([&] {
            return rig.ctx.gsWindowState.value(1) == QLatin1String("c") &&
                   rig.ctx.gsWindowState.value(2) == QLatin1String("c") &&
                   look(rig, 2) != QString();
        }));
        QCOMPARE(queued(rig), 2);
        QVERIFY(waitFor([&] { return look(rig, 1).startsWith(kBlue); }));
        QVERIFY(look(rig, 0).startsWith(kRed + QLatin1Char(' ') + kCurrent));

        focusControl(rig.windowEngine(0));
        pressKey(rig.windowEngine(0), Qt::Key_X);
        QVERIFY(waitFor([&] { return rig.ctx.giCurrentWindow == 1; }));
        QVERIFY(waitFor([&] { return look(rig, 1) == kRed + QLatin1Char(' ') + kCurrent; }));
        QVERIFY(!look(rig, 0).endsWith(kCurrent));

        // Reading on frees windows: the queued pages start in them and leave the list.
        for (int press = 0; press < 6 && rig.reader->queue.queuedCount() > 0; ++press) {
            const int cur = rig.ctx.giCurrentWindow;
            focusControl(rig.windowEngine(cur));
            pressKey(rig.windowEngine(cur), Qt::Key_X);
            QVERIFY(waitFor([&] { return rig.ctx.giCurrentWindow != cur; }));
            QVERIFY(waitFor([&] { return queued(rig) == rig.reader->queue.queuedCount(); }));
        }
        QCOMPARE(rig.reader->queue.queuedCount(), 0);
        QCOMPARE(queued(rig), 0);

        const int other = rig.ctx.giCurrentWindow == 2 ? 1 : 2;
        QVERIFY(clickUntil(rig.sidebarEngine(), QStringLiteral("K%1").arg(other),
                           [&] { return rig.ctx.giCurrentWindow == other; }));
    }

    // Notes written in the sidebar with real keys. F2 lists the note at the top; opening
    // another entry saves the one being edited; Delete takes a note out of the list at once and
    // out of the file at the exit; Escape starts afresh. What was typed reaches the file a
    // moment later without any exit, so a killed program finds it at its next start.
    void notes()
    {
        TempProfile profile;
        const QString data = profile.file(QStringLiteral("data"));
        const auto entries = [](SidebarEngineRig &rig) {
            return rig.sidebarScript(QStringLiteral(
                "Array.from(document.querySelectorAll('.dNote')).map(e=>e.textContent).join('|')"));
        };
        const auto entryId = [](SidebarEngineRig &rig, const QString &text) {
            return rig.sidebarScript(
                QStringLiteral("(Array.from(document.querySelectorAll('.dNote')).find(e=>"
                               "e.textContent=='%1')||{id:''}).id")
                    .arg(text));
        };
        const auto onDisk = [](SidebarEngineRig &rig) {
            QStringList out;
            auto rs = Recordset::Open(rig.stores.gsNotesFile);
            if (!rs)
                return out;
            for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
                out << rs->Field("Note").toString() + '/' + rs->Field("Status").toString();
            out.sort();
            return out;
        };
        const auto typeIntoTextArea = [](SidebarEngineRig &rig, const QString &text) {
            WebEngineControl &side = rig.sidebarEngine();
            // Until the program knows a field has the keys, single keys are its.
            const auto focused = [&] {
                return rig.sidebarScript("document.activeElement.id") == "idNote" &&
                       rig.ctx.gbTextEntry;
            };
            const QString before = rig.frame->notes()->text();
            // The window the pane was opened over may take the focus back once more just
            // after it was shown: the keys go in once the text area keeps it.
            for (int attempt = 0; attempt < 5; ++attempt) {
                focusControl(side);
                if (!clickUntil(side, QStringLiteral("idNote"), focused))
                    return false;
                QTest::qWait(200);
                if (!focused())
                    continue;
                typeText(side, text);
                return waitFor([&] { return rig.frame->notes()->text() == before + text; });
            }
            return false;
        };
        {
            SidebarEngineRig rig(*m_platform, data);
            QVERIFY(rig.ready());
            QVERIFY(clickUntil(SidebarEngineRig::engine(rig.frame->topBarPane()),
                               QStringLiteral("Notes"),
                               [&] { return rig.frame->notes()->shown(); }));
            QVERIFY(typeIntoTextArea(rig, QStringLiteral("first <b>note</b>")));
            pressKey(rig.sidebarEngine(), Qt::Key_F2);
            QVERIFY(waitFor([&] { return entries(rig) == "first <b>note</b>"; }));
            QCOMPARE(rig.frame->notes()->text(), QString());
            QVERIFY(typeIntoTextArea(rig, QStringLiteral("second")));
            rig.ui.fireTimers(); // the autosave, a moment after the keys
            QVERIFY(waitFor([&] { return entries(rig) == "second|first <b>note</b>"; }));
            QCOMPARE(onDisk(rig), QStringList({"first <b>note</b>/0", "second/0"}));

            // Opening the first note saves the second's new words on the way.
            QVERIFY(typeIntoTextArea(rig, QStringLiteral(" draft")));
            QVERIFY(clickUntil(rig.sidebarEngine(), entryId(rig, "first <b>note</b>"),
                               [&] { return rig.frame->notes()->text() == "first <b>note</b>"; }));
            QCOMPARE(onDisk(rig), QStringList({"first <b>note</b>/0", "second draft/0"}));
            QVERIFY(clickUntil(rig.sidebarEngine(), QStringLiteral("ndel"),
                               [&] { return entries(rig) == "second draft"; }));
            QCOMPARE(onDisk(rig), QStringList({"first <b>note</b>/2", "second draft/0"}));

            QVERIFY(typeIntoTextArea(rig, QStringLiteral("dropped")));
            pressKey(rig.sidebarEngine(), Qt::Key_Escape);
            QVERIFY(waitFor([&] { return rig.frame->notes()->text().isEmpty(); }));
            QVERIFY(typeIntoTextArea(rig, QStringLiteral("typed before the crash")));
            rig.ui.fireTimers();
            // The rig goes without the exit sequence, as a killed program would.
        }
        SidebarEngineRig rig(*m_platform, data);
        QVERIFY(rig.ready());
        QVERIFY(waitFor([&] { return entries(rig) == "typed before the crash|second draft"; }));
        rig.frame->MDIForm_Unload();
        QCOMPARE(onDisk(rig), QStringList({"second draft/0", "typed before the crash/0"}));
    }

    // View > History on the engine: a history of more than a screenful arrives whole; a
    // one-letter search from the box filters the page and "Show All History Links" takes the
    // filter away; a local file's entry opens the file.
    void historyPage()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        rig.ctx.gbOptBit4 = true;
        const QString local = profile.file(QStringLiteral("kept.htm"));
        QFile file(local);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<title>Kept</title>kept");
        file.close();
        Recordset &h = rig.stores.rsHistory;
        const auto add = [&](const QString &title, const QString &url, const QString &domain) {
            h.AddNew();
            (void)h.SetField("Title", title);
            (void)h.SetField("URL", url);
            (void)h.SetField("Domain", domain);
            (void)h.SetField("Date", std::floor(DateValue::now()));
            h.Update();
        };
        for (int i = 0; i < 300; ++i)
            add(QStringLiteral("Page %1").arg(i), QStringLiteral("http://site.test/%1").arg(i),
                "site.test");
        add(QString(), QUrl::fromLocalFile(local).toString(), QString());

        WebEngineControl &page = rig.windowEngine(0);
        const auto entries = [&] {
            return script(page, QStringLiteral("document.title == 'Skimline History' ? "
                                               "String(document.querySelectorAll('hr').length)"
                                               " : ''"));
        };
        rig.frame->menuItem(QStringLiteral("mnuView_History"))->trigger();
        QVERIFY(waitFor([&] { return entries() == "301"; }));

        // A history search from the box filters the page while it is shown.
        QVERIFY(typeIntoSearchBox(rig, QStringLiteral("h k")));
        QVERIFY(waitFor([&] { return entries() == "1"; }));
        rig.sidebarScript(QStringLiteral("Array.from(document.querySelectorAll('#menu *')).find("
                                         "e=>e.textContent.trim()=='%1').id='showAll'")
                              .arg(HistoryPage::kShowAll));
        QVERIFY(clickUntil(rig.sidebarEngine(), QStringLiteral("showAll"),
                           [&] { return entries() == "301"; }));

        script(page, "document.querySelector('a[href^=\"skl:loc\"]').id='local'");
        QVERIFY(clickUntil(page, QStringLiteral("local"),
                           [&] { return script(page, "document.title") == "Kept"; }));
    }

    // The headings tab lists the page's headings indented by level and scrolls to one when it
    // is clicked. The page-information tab: the page's counts and its reading time from the
    // text a reader sees (1,200 characters: 200 words, half a minute). Then the page's images
    // enlarged.
    void headingsAndPageInformation()
    {
        m_http.addHtml("/info.htm", "A page",
                       "<p>" + QString(1200, QLatin1Char('x')) +
                           "</p><script>var notRead = 'script text is no reading';</script>"
                           "<a href='/w1.htm'>one</a><img id=pic width=100 height=50 "
                           "src='/none.png'>");
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        WebEngineControl &bar = SidebarEngineRig::engine(rig.frame->topBarPane());
        QVERIFY(showPage(rig, "/h.htm"));
        QVERIFY(clickUntil(bar, "m0", [&] {
            return rig.sidebarScript("String(document.querySelectorAll('#Headings a').length)") ==
                   "3";
        }));
        QCOMPARE(rig.sidebarScript(
                     "Array.from(document.querySelectorAll('#Headings a')).map(a=>a.textContent+"
                     "'@'+a.style.left+'>'+a.getAttribute('href')).join(' ')"),
                 "Top@0ex>skl:H1skl Middle@1ex>skl:H2skl Low@2ex>skl:Hlow");
        rig.sidebarScript("document.querySelectorAll('#Headings a')[1].id='toMiddle'");
        QVERIFY(clickUntil(rig.sidebarEngine(), "toMiddle", [&] {
            return script(rig.windowEngine(0), "String(window.scrollY)").toInt() > 2000;
        }));
        QCOMPARE(script(rig.windowEngine(0), "document.querySelector('h2').id"), "2skl");

        QVERIFY(showPage(rig, "/info.htm"));
        const auto info = [&] {
            return rig.sidebarScript("document.getElementById('LB').innerText");
        };
        QVERIFY(clickUntil(bar, "m7", [&] { return info().contains("Words"); }));
        const QString text = info();
        for (const char *line :
             {"Title: A page", "Links: 1", "Images: 1", "Readable Characters: 1,20", "Words: 200",
              "Approximate time to read: 0.5 minutes"})
            QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression("Last Modified: \\w+day, \\w+ \\d+ \\d{4}")),
                 qPrintable(text));

        // Increase Image Sizes: each use draws the images a tenth larger again.
        for (int i = 0; i < 2; ++i)
            rig.frame->menuItem(QStringLiteral("mnuView_IncreaseImageSizes"))->trigger();
        QVERIFY(waitFor([&] {
            return script(rig.windowEngine(0),
                          "var p = document.getElementById('pic'); p.width + 'x' + p.height") ==
                   "121x61";
        }));
    }

    // Save HTML Only writes the page under its title made a valid file name into the
    // documents folder and lists it in the saved-files page, whose Delete takes the record and
    // the file away; a frameset page is refused with the message and nothing is written.
    // (Done after the research file.) A selection appended to the research file keeps http links,
    // resolves relative, root-relative and "../" links against the page, and leaves its script and
    // handlers out; the first passage of a page comes under a heading for it, the next one does
    // not.
    void savedFilesAndResearch()
    {
        m_http.addHtml("/save.htm", "Saved", "<p id=body>kept text</p>");
        m_http.addHtml("/a/b/page.htm", "Research <page>",
                       "<div id=pick><a href='http://other.test/x'>abs</a> "
                       "<a href='rel.htm'>rel</a> <a href='/root.htm'>root</a> "
                       "<a href='../up.htm'>up</a> <img src='i.png' onerror='bad()'>"
                       "<script>evil()</script><a href='javascript:evil()'>js</a></div>");
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        rig.ctx.folders.documents = profile.file(QStringLiteral("docs"));
        QDir().mkpath(rig.ctx.folders.documents);
        rig.ui.inputAnswer = [](const QString &prompt, const QString &) {
            return prompt.startsWith("Do you want")
                       ? std::optional<QString>(QStringLiteral("A/B: report"))
                       : std::nullopt;
        };
        QVERIFY(showPage(rig, "/a/b/page.htm"));
        script(rig.windowEngine(0),
               "getSelection().selectAllChildren(document.getElementById('pick')); 1");
        const QString research = QDir(rig.ctx.folders.documents).filePath("sklResearch.htm");
        const auto read = [&] {
            QFile f(research);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };
        for (int i = 0; i < 2; ++i) {
            rig.frame->menuItem(QStringLiteral("mnuPopSelection(3)"))->trigger();
            QVERIFY(waitFor([&] { return read().count("<div class=copied>") == i + 1; }));
        }
        const QString html = read();
        const QString site = m_http.url("/").toString();
        QCOMPARE(html.count("<h3>"), 1);
        QVERIFY(html.contains("Research &lt;page&gt;</a></h3>"));
        for (const QString &link : {QStringLiteral("http://other.test/x"), site + "a/b/rel.htm",
                                    site + "root.htm", site + "a/up.htm", site + "a/b/i.png"})
            QVERIFY2(html.contains("\"" + link + "\""), qPrintable(link + "\n" + html));
        QVERIFY(!html.contains("<script", Qt::CaseInsensitive));
        QVERIFY(!html.contains("evil") && !html.contains("onerror"));

        QVERIFY(showPage(rig, "/set.htm"));
        rig.frame->menuItem(QStringLiteral("mnuFile_Save(0)"))->trigger();
        QCOMPARE(rig.ui.messageTexts(), QStringList{SavedFiles::kFramesMessage});
        QCOMPARE(rig.stores.rsSavedFiles.RecordCount(), 0);

        QVERIFY(showPage(rig, "/save.htm"));
        rig.frame->menuItem(QStringLiteral("mnuFile_Save(0)"))->trigger();
        const QString file = QDir(rig.ctx.folders.documents).filePath("A-B- report.htm");
        QVERIFY(waitFor([&] { return QFile::exists(file); }));
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll().contains("kept text"));
        QCOMPARE(rig.stores.rsSavedFiles.RecordCount(), 1);

        rig.frame->menuItem(QStringLiteral("mnuView_SavedFiles"))->trigger();
        WebEngineControl &page = rig.windowEngine(0);
        QVERIFY(waitFor([&] { return script(page, "document.title") == SavedFiles::kPageTitle; }));
        QVERIFY(script(page, "document.body.innerText").contains("Title: A/B: report"));
        script(page, "document.querySelector('a[href^=\"skl:del\"]').id='del'");
        QVERIFY(clickUntil(page, QStringLiteral("del"), [&] { return !QFile::exists(file); }));
        QCOMPARE(rig.stores.rsSavedFiles.RecordCount(), 0);
        QVERIFY(waitFor([&] {
            const QString listed = script(page, "document.body ? document.body.innerText : 'A/B'");
            return !listed.contains("A/B");
        }));
    }

    // The source view on the engine: tags blue, a capitalised SCRIPT block red with its "<"
    // as text, an entity of the source shown as written; the frames of a frameset each get a
    // block with their own source; the style sheets page lists a sheet by its address.
    void sourceViews()
    {
        m_http.addPage("/src.htm",
                       "<html><head><title>Src</title><link rel=stylesheet href='/s.css'>"
                       "</head><body><p class=x>Fish &amp; chips</p>"
                       "<SCRIPT>if (a<b) { go(); }</SCRIPT></body></html>");
        m_http.addPage("/s.css", "p { color: green }", "text/css");
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        WebEngineControl &page = rig.windowEngine(0);
        const auto view = [&](const char *path, const char *command, const QString &title) {
            if (!showPage(rig, path))
                return false;
            rig.frame->menuItem(QString::fromLatin1(command))->trigger();
            return waitFor([&] { return script(page, "document.title") == title; });
        };
        QVERIFY(view("/src.htm", "mnuViewSource",
                     "HTML Source Code for " + m_http.url("/src.htm").toString()));
        const QString text = script(page, "document.body.innerText");
        QVERIFY2(text.contains("Fish &amp; chips"), qPrintable(text));
        QVERIFY2(text.contains("if (a<b) { go(); }"), qPrintable(text));
        QCOMPARE(script(page, "getComputedStyle(Array.from(document.querySelectorAll('div'))"
                              ".find(d=>d.textContent.includes('go()'))).color"),
                 kRed);
        QCOMPARE(script(page, "String(document.querySelectorAll('script').length)"), "0");

        QVERIFY(view("/src.htm", "mnuView_StyleSheets",
                     "Source Code of StyleSheets for " + m_http.url("/src.htm").toString()));
        QVERIFY(script(page, "document.body.innerText").contains(m_http.url("/s.css").toString()));
        QVERIFY(script(page, "document.body.innerText").contains("color: green"));

        QVERIFY(view("/set.htm", "mnuViewSource",
                     "HTML Source Code for " + m_http.url("/set.htm").toString()));
        const QString frames = script(page, "document.body.innerText");
        QVERIFY2(frames.contains("Frame 2") && frames.contains(m_http.url("/w2.htm").toString()),
                 qPrintable(frames));
        QVERIFY(frames.contains("<frameset"));

        // A frame of another site (another host name is another origin): its source is fetched.
        QUrl other = m_http.url("/w3.htm");
        other.setHost(QStringLiteral("localhost"));
        m_http.addHtml("/cross.htm", "Cross", "<iframe src='" + other.toString() + "'></iframe>");
        QVERIFY(view("/cross.htm", "mnuViewSource",
                     "HTML Source Code for " + m_http.url("/cross.htm").toString()));
        QVERIFY(waitFor([&] { return script(page, "document.body.innerText").contains("Three"); }));
        QVERIFY(script(page, "document.body.innerText").contains("A frame of another site"));
    }
};

SKL_WEB_TEST_MAIN(TestFrameE2E)
#include "test_frame_e2e.moc"
