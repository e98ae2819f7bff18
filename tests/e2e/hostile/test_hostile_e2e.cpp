#include "../frame/SidebarEngineRig.h"
#include "reader/CommandLinks.h"
#include "reader/History.h"
#include "store/DateValue.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

using namespace WebHarness;

namespace {

QString script(WebEngineControl &c, const QString &js)
{
    return runScript(c, js, QWebEngineScript::MainWorld).toString();
}

// Answers every request with the start of a page and then one byte at a time, never ending.
class TrickleServer : public QObject
{
public:
    TrickleServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                s->setParent(this);
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    s->readAll();
                    if (!s->property("open").toBool())
                        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"
                                 "<html><head><title>Trickle</title></head><body>");
                    s->setProperty("open", true);
                });
            }
        });
        connect(&m_tick, &QTimer::timeout, this, [this] {
            for (QTcpSocket *s : findChildren<QTcpSocket *>())
                if (s->property("open").toBool())
                    s->write(".");
        });
        (void)m_server.listen(QHostAddress::LocalHost, 0);
        m_tick.start(100);
    }
    QUrl url(int n) const
    {
        return QUrl(
            QStringLiteral("http://127.0.0.1:%1/t%2.htm").arg(m_server.serverPort()).arg(n));
    }
    int open() const
    {
        int n = 0;
        for (const QTcpSocket *s : findChildren<QTcpSocket *>())
            n += s->property("open").toBool() && s->state() == QAbstractSocket::ConnectedState;
        return n;
    }

private:
    QTcpServer m_server;
    QTimer m_tick;
};

// Markup that a program page would run if it took the text as markup: an element "pwn", or a
// mark on the document.
const QString kMarkup = QStringLiteral(
    "'\"></textarea></title><img src=x id=pwn onerror=document.documentElement.dataset.pwned=1>"
    "<script>document.documentElement.dataset.pwned=2</script>");

bool clean(WebEngineControl &c)
{
    return script(c, "String(!document.getElementById('pwn') && "
                     "!document.documentElement.dataset.pwned)") == QLatin1String("true");
}

} // namespace

// Web pages that try to reach the program's commands and pages, or to wear it down, on the real
// engine inside the assembled frame.
class TestHostileE2E : public QObject
{
    Q_OBJECT

    std::unique_ptr<WebEnginePlatform> m_platform;
    HttpFixture m_http;

    bool showHere(SidebarEngineRig &rig, const QUrl &url)
    {
        (void)rig.reader->queue.LoadDocument(url.toString(), LoadWhere::Here);
        return waitFor([&] {
            DocumentWindow *w = rig.ctx.gBrowsers.at(0);
            return w->msURL == url.toString() && w->msReadyState == QLatin1String("c") &&
                   w->bNavigateInOtherWindow;
        });
    }
    // The first window that shows the page, complete; -1 for none.
    static int completeSlot(SidebarEngineRig &rig, const QUrl &url)
    {
        for (int i = 0; i < rig.reader->pool.slotCount(); ++i)
            if (DocumentWindow *w = rig.reader->pool.window(i);
                w && w->msURL == url.toString() && w->msReadyState == QLatin1String("c"))
                return i;
        return -1;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        QVERIFY(m_http.isListening());
        m_http.addHtml("/a.htm", "A", "a");
        m_http.addHtml("/done.htm", "Done", "done");
    }
    void cleanupTestCase() { m_platform.reset(); }

    // A web page's command links in every form the engine knows - clicked, by script, in a new
    // window, refreshed to, as a form's action, in a frame, as a ping, in other cases and hosts -
    // run no command, while the same link in a page of the program's does.
    void commandLinksFromWebPages()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        rig.ctx.folders.documents = profile.file(QStringLiteral("docs"));
        QVERIFY(QDir().mkpath(rig.ctx.folders.documents));
        const QString saved = QDir(rig.ctx.folders.documents).filePath(QStringLiteral("s.htm"));
        writeBytes(saved, "saved");
        QVERIFY(rig.stores.rsSavedFiles.AddNew({"Title", "Filename"}, {"S", saved}));
        Recordset &fav = rig.stores.rsFavorites;
        QVERIFY(fav.AddNew({"Keywords", "Title", "URL"}, {"Kept", "F", "http://f.test/"}));
        const QString bm = QString::number(fav.Bookmark(), 'f', 0);
        // Real handlers for deleting; the others only say that they ran.
        QStringList ran;
        for (const QString &code : CommandLinks::knownCodes())
            if (code != QLatin1String("del") && code != QLatin1String("dbm"))
                (void)rig.reader->nav.commands().registerHandler(
                    code, [&ran, code](const QString &, const CommandContext &) { ran << code; });
        WebEngineControl &page = rig.windowEngine(0);

        rig.ctx.gBrowsers.at(0)->writeProgramPage(
            QStringLiteral("<a id=own href='skl:frm'>own</a>"), QStringLiteral("Own.htm"),
            QStringLiteral("Own"));
        QVERIFY(waitFor([&] {
            return script(page, "String(!!document.getElementById('own'))") ==
                   QLatin1String("true");
        }));
        QVERIFY(clickElementUntil(page, "own", Qt::LeftButton, Qt::NoModifier, -1,
                                  [&] { return !ran.isEmpty(); }));
        QCOMPARE(ran, QStringList{"frm"});
        ran.clear();

        const QString del = QString::fromLatin1(QUrl::toPercentEncoding(saved));
        const QString body =
            QStringLiteral(
                "<meta http-equiv=refresh content='0;url=skl:str11'>"
                "<a id=plain href='skl:dbm%1'>1</a> <a id=blank target=_blank "
                "href='skl:del%2'>2</a>"
                " <a id=upper href='SKL:dbm%1'>3</a> <a id=mixed href='Skl:rpt'>4</a>"
                " <a id=app href='skl-app://pages/Start.htm'>5</a>"
                " <a id=host href='SKL-APP://other/Start.htm'>6</a>"
                " <a id=ping ping='skl:frm' href='/a.htm'>7</a>"
                " <button id=script onclick=\"location.href='skl:ldf0'\">8</button>"
                " <button id=open onclick=\"window.open('skl:del%2')\">9</button>"
                " <button id=openapp "
                "onclick=\"window.open('skl-app://pages/Start.htm')\">10</button>"
                "<form action='skl:frm'><input type=submit id=get></form>"
                "<form method=post action='skl:dbm%1'><input name=n value=v>"
                "<input type=submit id=post></form>"
                "<iframe src='skl:rpt'></iframe><iframe src='skl-app://pages/Start.htm'></iframe>"
                "<a id=done href='/done.htm'>done</a>"
                "<script>window.__clicks = 0; addEventListener('click', () => ++__clicks, true);"
                "location.href = 'skl:ldf0'; window.open('skl:rpt');</script>")
                .arg(bm, del);
        m_http.addHtml("/attack.htm", "Attack", body);
        const QUrl attack = m_http.url("/attack.htm");
        QVERIFY(showHere(rig, attack));
        for (const char *id : {"plain", "blank", "upper", "mixed", "app", "host", "ping", "script",
                               "open", "openapp", "get", "post"}) {
            const int before = script(page, "String(__clicks)").toInt();
            QVERIFY2(clickElementUntil(
                         page, QLatin1String(id), Qt::LeftButton, Qt::NoModifier, -1,
                         [&] { return script(page, "String(window.__clicks)").toInt() > before; }),
                     id);
        }
        QVERIFY(clickElementUntil(page, "done", Qt::LeftButton, Qt::NoModifier, -1,
                                  [&] { return completeSlot(rig, m_http.url("/done.htm")) > 0; }));
        QCOMPARE(ran, QStringList());
        QVERIFY(QFile::exists(saved));
        QCOMPARE(rig.stores.rsSavedFiles.RecordCount(), 1);
        QVERIFY(fav.Find(QStringLiteral("Keywords = 'Kept'")));
        QCOMPARE(page.locationUrl(), attack);
        for (DocumentWindow *w : rig.ctx.gBrowsers)
            QVERIFY(!w || !ProgramPages::hasProgramScheme(w->brwWebBrowser->locationUrl()));
    }

    // A page's title, description and headings with markup show as text in the panes, the
    // session report and the history page, and nothing of them runs there.
    void markupStaysText()
    {
        const QString e = kMarkup.toHtmlEscaped();
        m_http.addPage("/marked.htm", QStringLiteral("<!DOCTYPE html><title>%1</title><meta "
                                                     "name=description content=\"%1\"><h1>%1</h1>")
                                          .arg(e)
                                          .toUtf8());
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        const QUrl marked = m_http.url("/marked.htm");
        QVERIFY(showHere(rig, marked));
        QVERIFY(waitFor([&] {
            return rig.sidebarScript("(document.getElementById('K0') || {}).textContent") ==
                   kMarkup;
        }));
        WebEngineControl &bar = SidebarEngineRig::engine(rig.frame->topBarPane());
        QVERIFY(clickElementUntil(bar, "m0", Qt::LeftButton, Qt::NoModifier, -1, [&] {
            return rig.sidebarScript("(document.querySelector('#Headings a') || {}).textContent") ==
                   kMarkup;
        }));
        QVERIFY(clean(rig.sidebarEngine()));
        QVERIFY(clickElementUntil(bar, "m7", Qt::LeftButton, Qt::NoModifier, -1, [&] {
            return rig.sidebarScript("document.getElementById('LB').textContent").contains(kMarkup);
        }));
        QVERIFY(clean(rig.sidebarEngine()) && clean(bar));

        WebEngineControl &page = rig.windowEngine(0);
        rig.reader->report.mnuReport_Click();
        QVERIFY(waitFor([&] {
            return script(page, "document.title") == SessionReport::kTitle() &&
                   script(page, "document.body.textContent").contains(kMarkup);
        }));
        QVERIFY(clean(page));
        rig.ctx.gbOptBit4 = true;
        QVERIFY(
            rig.stores.rsHistory.AddNew({"Title", "URL", "Description", "Date"},
                                        {kMarkup, marked.toString(), kMarkup, DateValue::now()}));
        rig.frame->menuItem(QStringLiteral("mnuView_History"))->trigger();
        QVERIFY(waitFor([&] {
            return script(page, "document.title") == HistoryPage::kTitle &&
                   script(page, "document.body.textContent").count(kMarkup) >= 2;
        }));
        QVERIFY(clean(page));
    }

    // Hundreds of window.open calls from one click open one window: the rest are pop-ups the
    // user did not ask for. The reader's next page loads once the page's script is through.
    void windowFlood()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")), 6);
        QVERIFY(rig.ready());
        m_http.addHtml("/flood.htm", "Flood",
                       "<button id=b onclick=\"for (var i = 0; i < 200; ++i) "
                       "window.open('/a.htm?' + i); window.__opened = i\">open</button>");
        QVERIFY(showHere(rig, m_http.url("/flood.htm")));
        WebEngineControl &page = rig.windowEngine(0);
        QVERIFY(clickElementUntil(page, "b", Qt::LeftButton, Qt::NoModifier, -1, [&] {
            return script(page, "String(window.__opened)") == QLatin1String("200");
        }));
        QVERIFY(rig.reader->pool.slotCount() <= 6);
        QVERIFY(showHere(rig, m_http.url("/done.htm")));
    }

    // Pages that never finish (bytes keep coming) hold every download; reading them frees
    // them all, and the reader can still go elsewhere in one of them.
    void pagesThatNeverFinish()
    {
        TrickleServer trickle;
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        for (int i = 1; i <= 4; ++i)
            (void)rig.reader->queue.LoadDocument(trickle.url(i).toString());
        const QUrl fifth = m_http.url("/done.htm");
        QCOMPARE(rig.reader->queue.LoadDocument(fifth.toString()), LoadOutcome::Queued);
        QVERIFY(waitFor([&] { return trickle.open() == 4; }));
        for (int slot = 1; slot <= 4; ++slot)
            rig.reader->pool.ActivateWindow(slot);
        QVERIFY(waitFor([&] { return completeSlot(rig, fifth) > 0; }));
        // The first loaded in the window being read, which the reader left: it holds none.
        QVERIFY(waitFor([&] { return rig.ctx.giLoadingCount == 0; }, 5000));
        rig.reader->pool.ActivateWindow(2);
        const QUrl a = m_http.url("/a.htm");
        (void)rig.ctx.gBrowsers.at(2)->navigateHere(a);
        QVERIFY(waitFor([&] { return completeSlot(rig, a) == 2; }));
    }

    // A 50 MB page loads or fails in a window of its own; the reader goes on meanwhile.
    void hugePage()
    {
        QByteArray big = "<!DOCTYPE html><title>Big</title><body>";
        const QByteArray line = "<p>" + QByteArray(1000, 'x') + "</p>\n";
        while (big.size() < 50 * 1024 * 1024)
            big += line;
        m_http.addPage("/big.htm", big);
        big.clear();
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        const QUrl url = m_http.url("/big.htm");
        (void)rig.reader->queue.LoadDocument(url.toString());
        QVERIFY(showHere(rig, m_http.url("/a.htm")));
        QVERIFY(waitFor([&] {
            return rig.ctx.giLoadingCount == 0 &&
                   rig.ctx.gsWindowState.value(1) != QLatin1String("b");
        }));
        QVERIFY(showHere(rig, m_http.url("/done.htm")));
    }
};

SKL_WEB_TEST_MAIN(TestHostileE2E)
#include "test_hostile_e2e.moc"
