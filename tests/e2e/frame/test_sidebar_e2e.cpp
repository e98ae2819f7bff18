#include "SidebarEngineRig.h"

#include "store/DateValue.h"

#include <QTest>

using namespace WebHarness;

namespace {

const QString kBlue = QStringLiteral("rgb(0, 0, 255)");
const QString kRed = QStringLiteral("rgb(255, 0, 0)");
const QString kCurrent = QStringLiteral("rgb(238, 238, 238)");

} // namespace

// The sidebar's lists on the real engine, driven by real keys and clicks.
class TestSidebarE2E : public QObject
{
    Q_OBJECT

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
        return rig
            .sidebarScript(QStringLiteral("String(document.querySelectorAll('#qul .QL').length)"))
            .toInt();
    }
    static QStringList listed(SidebarEngineRig &rig)
    {
        return rig
            .sidebarScript(QStringLiteral(
                "Array.from(document.querySelectorAll('#LB a')).map(a=>a.textContent).join('|')"))
            .split(QLatin1Char('|'), Qt::SkipEmptyParts);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        QVERIFY(m_http.isListening());
        m_http.addHtml(QStringLiteral("/w0.htm"), QStringLiteral("Zero"), QStringLiteral("0"));
        m_http.addHtml(QStringLiteral("/w1.htm"), QStringLiteral("One"), QStringLiteral("1"));
        m_http.addHtml(QStringLiteral("/w2.htm"), QStringLiteral("<b>Two</b>"),
                       QStringLiteral("2"));
        m_http.addHtml(QStringLiteral("/w3.htm"), QStringLiteral("Three"), QStringLiteral("3"));
        m_http.addHtml(QStringLiteral("/w4.htm"), QStringLiteral("Four"), QStringLiteral("4"));
        const QString tall = QStringLiteral("<div style='height:3000px'></div>");
        m_http.addHtml(QStringLiteral("/h.htm"), QStringLiteral("Headed"),
                       QStringLiteral("<h1>Top</h1>") + tall + QStringLiteral("<h2>Middle</h2>") +
                           tall + QStringLiteral("<h3 id=low>Low</h3>") + tall);
    }

    // Every window in its state's colour, following X; the queue while the pool is full and
    // as it drains; a click on an entry brings that window; a title's markup stays text.
    void openWindowsAndQueue()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")), 3);
        QVERIFY(rig.ready());
        (void)rig.reader->queue.LoadDocument(m_http.url(QStringLiteral("/w0.htm")).toString(),
                                             LoadWhere::Here);
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
        QCOMPARE(rig.sidebarScript(QStringLiteral("document.getElementById('K2').textContent")),
                 QStringLiteral("<b>Two</b>"));
        QCOMPARE(rig.sidebarScript(QStringLiteral("String(document.querySelector('#MW b'))")),
                 QStringLiteral("null"));

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
        QVERIFY(clickElementUntil(rig.sidebarEngine(), QStringLiteral("K%1").arg(other),
                                  Qt::LeftButton, Qt::NoModifier, -1,
                                  [&] { return rig.ctx.giCurrentWindow == other; }));
    }

    // The headings tab lists the page's headings indented by level and scrolls to one when it
    // is clicked; "f " and "h " in the search box list matching favorites and history.
    void headingsAndFilters()
    {
        TempProfile profile;
        SidebarEngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        QVERIFY(rig.ready());
        (void)rig.reader->queue.LoadDocument(m_http.url(QStringLiteral("/h.htm")).toString(),
                                             LoadWhere::Here);
        QVERIFY(waitFor([&] {
            return rig.ctx.gsWindowState.value(0) == QLatin1String("a") &&
                   rig.ctx.gBrowsers.at(0)->msReadyState == QLatin1String("c");
        }));
        QVERIFY(clickElementUntil(SidebarEngineRig::engine(rig.frame->topBarPane()),
                                  QStringLiteral("m0"), Qt::LeftButton, Qt::NoModifier, -1, [&] {
                                      return rig.sidebarScript(QStringLiteral(
                                                 "String(document.querySelectorAll('#Headings "
                                                 "a').length)")) == QLatin1String("3");
                                  }));
        QCOMPARE(rig.sidebarScript(QStringLiteral(
                     "Array.from(document.querySelectorAll('#Headings a')).map(a=>a.textContent+"
                     "'@'+a.style.left+'>'+a.getAttribute('href')).join(' ')")),
                 QStringLiteral("Top@0ex>skl:H1skl Middle@1ex>skl:H2skl Low@2ex>skl:Hlow"));
        rig.sidebarScript(
            QStringLiteral("document.querySelectorAll('#Headings a')[1].id='toMiddle'"));
        QVERIFY(clickElementUntil(
            rig.sidebarEngine(), QStringLiteral("toMiddle"), Qt::LeftButton, Qt::NoModifier, -1,
            [&] {
                return runScript(rig.windowEngine(0), QStringLiteral("window.scrollY")).toInt() >
                       2000;
            }));
        QCOMPARE(runScript(rig.windowEngine(0), QStringLiteral("document.querySelector('h2').id"),
                           QWebEngineScript::MainWorld)
                     .toString(),
                 QStringLiteral("2skl"));

        for (const char *title : {"Daily news", "Sports", "Old news <i>here</i>"}) {
            Recordset &f = rig.stores.rsFavorites;
            f.AddNew();
            (void)f.SetField("Title", QString::fromLatin1(title));
            (void)f.SetField("URL", QStringLiteral("http://fav.test/"));
            f.Update();
        }
        QVERIFY(rig.typeIntoSearchBox(QStringLiteral("f news")));
        QVERIFY(waitFor([&] {
            return listed(rig) == QStringList{QStringLiteral("Daily news"),
                                              QStringLiteral("Old news <i>here</i>")};
        }));
        int daysAgo = 0;
        for (const char *title : {"Cats at home", "Dogs", "More cats"}) {
            Recordset &h = rig.stores.rsHistory;
            h.AddNew();
            (void)h.SetField("Title", QString::fromLatin1(title));
            (void)h.SetField("URL", QStringLiteral("http://hist.test/"));
            (void)h.SetField("Date", DateValue::now() - ++daysAgo);
            h.Update();
        }
        QVERIFY(rig.typeIntoSearchBox(QStringLiteral("h cats")));
        QVERIFY(waitFor([&] {
            return listed(rig) ==
                   QStringList{QStringLiteral("Cats at home"), QStringLiteral("More cats")};
        }));
    }
};

SKL_WEB_TEST_MAIN(TestSidebarE2E)
#include "test_sidebar_e2e.moc"
