#include "EngineRig.h"

#include "platform/PageWriter.h"

#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

using namespace WebHarness;

// The reading workflow on the real engine against a local HTTP server.
class TestReaderE2E : public QObject
{
    Q_OBJECT

    std::unique_ptr<WebEnginePlatform> m_platform;

    static bool allComplete(const EngineRig &rig, int documents)
    {
        return rig.count(QStringLiteral("bLoaded = 1")) == documents &&
               rig.ctx.giLoadingCount == 0 && rig.reader.queue.queuedCount() == 0;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_platform = createPlatform();
        // The limit is on documents; the engine's own icon requests would blur the count.
        m_platform->profile()->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage,
                                                        false);
    }
    void cleanupTestCase() { m_platform.reset(); }

    // Four loads that never answer hold the four downloads; the reader taking each of them
    // over lets the queued fifth page start.
    void hungLoadsYieldToTheReader()
    {
        HttpFixture http;
        for (int i = 1; i <= 4; ++i)
            http.addSlow(QStringLiteral("/h%1.htm").arg(i), HttpFixture::html("H", "h"), 600000);
        http.addHtml(QStringLiteral("/fifth.htm"), QStringLiteral("Fifth"), QStringLiteral("5"));
        TempProfile profile;
        EngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        for (int i = 1; i <= 4; ++i)
            (void)rig.reader.queue.LoadDocument(
                http.url(QStringLiteral("/h%1.htm").arg(i)).toString());
        const QString fifth = http.url(QStringLiteral("/fifth.htm")).toString();
        QCOMPARE(rig.reader.queue.LoadDocument(fifth), LoadOutcome::Queued);
        QVERIFY(waitFor([&] { return http.inFlight() == 4; }));
        for (int slot = 1; slot <= 4; ++slot)
            rig.reader.pool.ActivateWindow(slot);
        QVERIFY(waitFor([&] { return rig.window(5) && rig.window(5)->msURL == fifth; }));
        QVERIFY(waitFor([&] { return rig.state(5) == QLatin1String("c"); }));
        QCOMPARE(rig.ctx.giLoadingCount, 0);
        rig.reader.pool.mnuNav_WinManSub_Click(2);
    }

    // "n" before "c" whatever the orders, then the smallest order; the report once after the
    // last unread window.
    void nextWindowOrder()
    {
        HttpFixture http;
        for (const char *p : {"/a.htm", "/b.htm", "/c.htm"})
            http.addHtml(QString::fromLatin1(p), QString::fromLatin1(p), QStringLiteral("text"));
        // Interactive for a long while: its image is slow.
        http.addPage("/n.htm", HttpFixture::html("N", "<img src='/slow.png'>"));
        http.addSlow("/slow.png", QByteArray(), 4000);
        TempProfile profile;
        EngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        auto &pool = rig.reader.pool;
        (void)rig.reader.queue.LoadDocument(http.url("/a.htm").toString());
        (void)rig.reader.queue.LoadDocument(http.url("/b.htm").toString());
        (void)rig.reader.queue.LoadDocument(http.url("/n.htm").toString(), LoadWhere::Next);
        (void)rig.reader.queue.LoadDocument(http.url("/c.htm").toString());
        QVERIFY(waitFor([&] {
            return rig.state(1) == "c" && rig.state(2) == "c" && rig.state(4) == "c" &&
                   rig.state(3) == "n";
        }));
        pool.setOrder(3, 20000);
        QStringList seen;
        for (int i = 0; i < 4; ++i) {
            pool.mnuNextDoc_Click();
            seen << QUrl(pool.current()->msURL).path();
        }
        QCOMPARE(seen, (QStringList{"/n.htm", "/a.htm", "/b.htm", "/c.htm"}));
        QCOMPARE(rig.count(QStringLiteral("bRead = 1")), 4);

        // The report, once, in the window being read.
        BrowserControl *four = rig.window(4)->brwWebBrowser;
        pool.mnuNextDoc_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 4);
        QVERIFY(waitFor([&] { return ProgramPages::isWrittenPage(four->locationUrl()); }));
        QVERIFY(waitFor([&] { return four->title() == SessionReport::kTitle(); }));
    }

    void sleepingWindowsComeBack()
    {
        HttpFixture http;
        for (int i = 1; i <= 3; ++i)
            http.addHtml(QStringLiteral("/t%1.htm").arg(i), QStringLiteral("T%1").arg(i),
                         QStringLiteral("<div style='height:6000px'>tall</div>"));
        TempProfile profile;
        EngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        auto &pool = rig.reader.pool;
        const auto path = [](int i) { return QStringLiteral("/t%1.htm").arg(i); };
        for (int i = 1; i <= 3; ++i)
            (void)rig.reader.queue.LoadDocument(http.url(path(i)).toString());
        QVERIFY(waitFor([&] { return allComplete(rig, 3); }));
        pool.zKeepInMemory(0, false);

        pool.mnuNextDoc_Click(); // 1
        Document &doc1 = rig.host.controls.at(1)->document();
        doc1.scrollTo(0, 1500);
        QVERIFY(waitFor([&] { return doc1.snapshot().scrollTop == 1500; }));
        pool.mnuNextDoc_Click(); // 2
        pool.mnuNextDoc_Click(); // 3; 1 is read and free
        rig.ui.fireTimers();
        QVERIFY(rig.host.controls.at(1)->isAsleep());

        // Z, Z: back to 1, at the place it was left.
        const auto pressZ = [&] {
            pressKey(*static_cast<WebEngineControl *>(
                         rig.host.controls.at(rig.ctx.giCurrentWindow).get()),
                     Qt::Key_Z);
        };
        pressZ();
        QVERIFY(waitFor([&] { return rig.ctx.giCurrentWindow == 2; }));
        pressZ();
        QVERIFY(waitFor([&] { return rig.ctx.giCurrentWindow == 1; }));
        QVERIFY2(waitFor([&] {
                     return http.requestCount(path(1)) == 2 && doc1.snapshot().scrollTop == 1500;
                 }),
                 qPrintable(QString::number(doc1.snapshot().scrollTop)));
        // A sleeping window taking a new page without loading its own is the contract's.
    }

    // A raw feed at an address without a feed extension leaves its window for the viewer.
    void rawFeedGoesToTheViewer()
    {
        HttpFixture http;
        http.addPage(QStringLiteral("/latest"),
                     "<?xml version='1.0'?><rss version='2.0'><channel><title>News</title>"
                     "<item><title>One</title></item></channel></rss>",
                     "text/xml");
        TempProfile profile;
        EngineRig rig(*m_platform, profile.file(QStringLiteral("data")));
        const QString url = http.url(QStringLiteral("/latest")).toString();
        (void)rig.reader.queue.LoadDocument(url);
        QVERIFY(waitFor([&] { return !rig.host.feeds.isEmpty(); }));
        QCOMPARE(rig.host.feeds, QStringList{url});
        QVERIFY(!rig.window(1));
        QCOMPARE(rig.records(), QStringList());
    }
};

int main(int argc, char **argv)
{
    WebEnginePlatform::registerSchemes();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestReaderE2E test;
    const int failed = QTest::qExec(&test, argc, argv);
    return WebHarness::pageFaultsReported() ? 1 : failed;
}

#include "test_reader_e2e.moc"
