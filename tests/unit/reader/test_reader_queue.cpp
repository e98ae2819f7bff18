#include "ReaderRig.h"

#include "store/DateValue.h"

#include <QFile>
#include <QTest>

// LoadDocument: its sources, the four-download limit, the order of the queue, and the session
// records through a window's life. (The session file a kill leaves is the program e2e test's.)
class TestReaderQueue : public QObject
{
    Q_OBJECT

private:
    static int inFlight(const ReaderRig &rig)
    {
        int n = 0;
        for (FakeBrowserControl *c : rig.platform.browsers.controls())
            n += c->hasPendingLoad() ? 1 : 0;
        return n;
    }

private Q_SLOTS:
    // Twenty links: four load, sixteen wait in the queue; each completion starts the next,
    // in the order of queueing, never more than four at once.
    void fourAtATimeInQueueOrder()
    {
        ReaderRig rig;
        rig.platform.web.setDefaultResponse(FakeResponse::pending());
        for (int i = 1; i <= 20; ++i) {
            const LoadOutcome out = rig.reader.queue.LoadDocument(ReaderRig::page(i));
            QCOMPARE(out, i <= 4 ? LoadOutcome::Loading : LoadOutcome::Queued);
        }
        QCOMPARE(rig.ctx.giLoadingCount, 4);
        QCOMPARE(rig.records(QStringLiteral("bRead = 0 AND bLoaded = 0")).size(), 16);
        QCOMPARE(rig.host.queue.size(), 16);
        rig.settle();

        QStringList started;
        int maxInFlight = 0;
        for (int round = 0; round < 40 && started.size() < 20; ++round) {
            maxInFlight = std::max(maxInFlight, inFlight(rig));
            for (FakeBrowserControl *c : rig.platform.browsers.controls()) {
                if (!c->hasPendingLoad())
                    continue;
                started << c->pendingUrl().toString();
                c->completePendingLoad(QStringLiteral("<title>T</title>"));
                break; // one at a time, so the order is visible
            }
            rig.settle();
        }
        QCOMPARE(maxInFlight, 4);
        QStringList expected;
        for (int i = 1; i <= 20; ++i)
            expected << ReaderRig::page(i);
        QCOMPARE(started, expected);
        QCOMPARE(rig.ctx.giLoadingCount, 0);
        QCOMPARE(rig.reader.queue.queuedCount(), 0);
        QCOMPARE(rig.host.queue.size(), 0);
        QVERIFY(!rig.ctx.gbLoadBusy);
    }

    // With MaxWindows 5 and every window unread, downloads wait for a read window.
    void fullPoolWaitsForAReadWindow()
    {
        ReaderRig rig(5);
        for (int i = 1; i <= 5; ++i)
            rig.reader.queue.LoadDocument(ReaderRig::page(i));
        rig.settle();
        QCOMPARE(rig.reader.pool.slotCount(), 5);
        QCOMPARE(rig.reader.queue.queuedCount(), 1);
        QCOMPARE(rig.host.status.value(3), QStringLiteral("Queuing ") + ReaderRig::page(5));
        // Reading two windows frees the first; activation starts the queued one there.
        rig.reader.pool.mnuNextDoc_Click();
        rig.reader.pool.mnuNextDoc_Click();
        rig.reader.pool.mnuNextDoc_Click();
        rig.settle();
        QCOMPARE(rig.reader.queue.queuedCount(), 0);
        QCOMPARE(rig.window(0)->msURL, ReaderRig::page(5));
    }

    void orderNumbers()
    {
        ReaderRig rig;
        rig.reader.queue.LoadDocument(ReaderRig::page(1), LoadWhere::Background);
        rig.reader.queue.LoadDocument(ReaderRig::page(2), LoadWhere::Next);
        rig.reader.queue.LoadDocument(ReaderRig::page(3), LoadWhere::Background);
        rig.reader.queue.LoadDocument(ReaderRig::page(4), LoadWhere::Next);
        QCOMPARE(rig.reader.pool.order(1), 10001);
        QCOMPARE(rig.reader.pool.order(2), 1);
        QCOMPARE(rig.reader.pool.order(4), 2);
        rig.settle();
        QStringList visited;
        for (int i = 0; i < 4; ++i) {
            rig.reader.pool.mnuNextDoc_Click();
            visited << rig.reader.pool.current()->msURL;
        }
        QCOMPARE(visited, (QStringList{ReaderRig::page(2), ReaderRig::page(4), ReaderRig::page(1),
                                       ReaderRig::page(3)}));
    }

    void loadHereUsesTheCurrentWindow()
    {
        ReaderRig rig;
        LoadRequest r;
        r.url = ReaderRig::page(1);
        r.where = LoadWhere::Here;
        QCOMPARE(rig.reader.queue.LoadDocument(r), LoadOutcome::Loading);
        QCOMPARE(rig.control(0)->navigateCalls().size(), 1);
        QCOMPARE(rig.state(0), QStringLiteral("a"));
        QCOMPARE(rig.records(), QStringList{ReaderRig::page(1) + ":1:1"});
        rig.settle();
        QCOMPARE(rig.records(), QStringList{ReaderRig::page(1) + ":1:1"});
        QCOMPARE(rig.reader.pool.nextUnreadSlot(), -1);
    }

    void headers_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *url, const char *extra, const char *e) {
            QTest::newRow(name) << QString(url) << QString(extra) << QString(e);
        };
        row("ordinary host", "http://news.test/a", "", "User-Agent: Skimline-Test\r\n");
        row("listed site, any case", "https://Support.MICROSOFT.com/x", "",
            "User-agent: EngineAgent/1.0\r\n");
        row("extra appended", "http://news.test/a", "X-A: 1",
            "User-Agent: Skimline-Test\r\nX-A: 1\r\n");
    }

    void headers()
    {
        QFETCH(QString, url);
        QFETCH(QString, extra);
        QFETCH(QString, expected);
        ReaderRig rig;
        QCOMPARE(rig.reader.queue.headersFor(url, extra), expected);
    }

    void favorites()
    {
        ReaderRig rig;
        Recordset &fav = rig.stores.rsFavorites;
        QVERIFY(fav.AddNew({"Title", "URL", "bfFav"}, {"Feed", "http://f.test/news", 2}));
        const double feed = fav.Bookmark();
        QVERIFY(
            fav.AddNew({"Title", "URL", "PostData", "Extra", "Accesses"},
                       {"Form", "http://f.test/post", QByteArray("q=1"), "http://f.test/form", 3}));
        const double form = fav.Bookmark();

        LoadRequest r;
        r.source = LoadSource::Favorite;
        r.bookmark = feed;
        QCOMPARE(rig.reader.queue.LoadDocument(r), LoadOutcome::FeedViewer);
        QCOMPARE(rig.host.feeds, QStringList{"http://f.test/news"});
        QCOMPARE(rig.records(), QStringList());
        QCOMPARE(rig.platform.ui.beeps(), 1);

        rig.platform.web.servePage("http://f.test/form", "<form id=f></form>");
        LoadRequest f;
        f.source = LoadSource::Favorite;
        f.bookmark = form;
        f.where = LoadWhere::Next;
        QCOMPARE(rig.reader.queue.LoadDocument(f), LoadOutcome::Loading);
        QCOMPARE(rig.control(1)->navigateCalls().first().url.toString(), "http://f.test/form");
        QVERIFY(rig.control(1)->navigateCalls().first().postData.isEmpty());
        rig.settle();
        // The form page loaded; the saved form was posted once, in the same window.
        const auto calls = rig.control(1)->navigateCalls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.last().url.toString(), QStringLiteral("http://f.test/post"));
        QCOMPARE(calls.last().postData, QByteArray("q=1"));
        QVERIFY(!rig.window(1)->mbFormSubmit);
        QVERIFY(fav.SetBookmark(form));
        QCOMPARE(fav.Field("Accesses").toInt(), 4);
        QVERIFY(fav.Field("DateAccessed").toDouble() > 0);
    }

    void nextQueuedWithEmptyQueueClearsTheList()
    {
        ReaderRig rig;
        LoadRequest r;
        r.source = LoadSource::NextQueued;
        QCOMPARE(rig.reader.queue.LoadDocument(r), LoadOutcome::Nothing);
        QCOMPARE(rig.host.queueClears, 1);
        QVERIFY(!rig.ctx.gbLoadBusy);
    }

    void oddAddresses()
    {
        ReaderRig rig;
        QCOMPARE(rig.reader.queue.LoadDocument(QString()), LoadOutcome::Nothing);
        QCOMPARE(rig.reader.queue.LoadDocument(QStringLiteral("http://f.test/a.rss")),
                 LoadOutcome::FeedViewer);
        QCOMPARE(rig.host.feeds.size(), 1);
        QCOMPARE(rig.records(), QStringList());
        QCOMPARE(rig.ctx.giLoadingCount, 0);
    }

    // The records of one document: queued, loaded, read, and gone from its window.
    void sessionRecordsThroughAWindowsLife()
    {
        ReaderRig rig;
        rig.platform.web.setDefaultResponse(FakeResponse::pending());
        for (int i = 1; i <= 5; ++i)
            rig.reader.queue.LoadDocument(ReaderRig::page(i));
        QCOMPARE(rig.records().last(), ReaderRig::page(5) + ":0:0");
        rig.settle();
        rig.control(1)->completePendingLoad("<title>First &amp; best</title>");
        rig.settle();
        Recordset rs = rig.reader.log.cursor();
        QVERIFY(rs.Find("URL = '" + ReaderRig::page(1) + "'"));
        QCOMPARE(rs.Field("Title").toString(), QStringLiteral("First & best"));
        QCOMPARE(rs.Field("bLoaded").toInt(), 1);
        QCOMPARE(rs.Field("Order").toInt(), 10001);
        // Page 5 started in a fifth window when page 1 completed.
        QCOMPARE(rig.records().last(), ReaderRig::page(5) + ":0:1");

        rig.reader.pool.ActivateWindow(1);
        QCOMPARE(rig.records().first(), ReaderRig::page(1) + ":1:1");
        rig.reader.pool.ActivateWindow(0);
        rig.ctx.giWindowsOpen = 6;
        QVERIFY(rig.reader.pool.unloadWindow(1));
        QCOMPARE(rig.records().first(), ReaderRig::page(1) + ":1:0");
        // An unread document whose window goes comes back to the queue.
        QVERIFY(rig.reader.pool.unloadWindow(2));
        QCOMPARE(rig.records().at(1), ReaderRig::page(2) + ":0:0");
    }

    void scrollTopIsRestoredOnce()
    {
        ReaderRig rig;
        LoadRequest r;
        r.url = ReaderRig::page(1);
        r.scrollTop = 300;
        rig.reader.queue.LoadDocument(r);
        QCOMPARE(rig.window(1)->mlInitialScrollTop, 300);
        rig.settle();
        rig.control(1)->fakeDocument().setScrollMetrics(3000, 400);
        rig.reader.pool.ActivateWindow(1);
        QCOMPARE(rig.control(1)->document().snapshot().scrollTop, 300);
        QCOMPARE(rig.window(1)->mlInitialScrollTop, 0);
    }

    void pastSessionsAreKept()
    {
        ReaderRig rig;
        const QDateTime t0(QDate(2026, 1, 1), QTime(9, 0, 0));
        for (int i = 0; i < 6; ++i) {
            Recordset rs = Recordset::Create(SessionSchema(), rig.stores.gsPastSessionFile);
            QVERIFY(rs.AddNew({"Order", "URL"}, {i, QStringLiteral("http://run%1.test/").arg(i)}));
            QVERIFY(rs.Save());
            QFile f(rig.stores.gsPastSessionFile);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(t0.addDays(i), QFileDevice::FileModificationTime));
            f.close();
            QVERIFY(!KeepPastSession(rig.stores, t0.addDays(10)).isEmpty());
        }
        const QStringList copies = PastSessionCopies(rig.stores);
        QCOMPARE(copies.size(), 4);
        QVERIFY(copies.first().contains("20260106-090000"));
        QVERIFY(copies.last().contains("20260103-090000"));
        auto newest = Recordset::Open(copies.first());
        QVERIFY(newest);
        QCOMPARE(newest->Field("URL").toString(), QStringLiteral("http://run5.test/"));
    }

    void lastSession_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("loaded");
        QTest::newRow("all pages")
            << 0 << QStringList{"http://p.test/open-read", "http://p.test/open-unread"};
        QTest::newRow("unread pages")
            << 1 << QStringList{"http://p.test/open-unread", "http://p.test/queued"};
        QTest::newRow("unread + scheduled")
            << 2 << QStringList{"http://p.test/open-unread", "http://p.test/queued"};
    }

    void lastSession()
    {
        QFETCH(int, index);
        QFETCH(QStringList, loaded);
        ReaderRig rig;
        Recordset rs = Recordset::Create(SessionSchema(), rig.stores.gsPastSessionFile);
        QVERIFY(
            rs.AddNew({"Order", "URL", "bRead", "bLoaded"}, {1, "http://p.test/open-read", 1, 1}));
        QVERIFY(rs.AddNew({"Order", "URL", "bRead", "bLoaded"},
                          {2, "http://p.test/open-unread", 0, 1}));
        QVERIFY(rs.AddNew({"Order", "URL", "bRead", "bLoaded"}, {3, "http://p.test/queued", 0, 0}));
        QVERIFY(rs.AddNew({"Order", "URL", "bRead", "bLoaded"}, {4, "about:blank", 0, 1}));
        QVERIFY(rs.AddNew({"Order", "URL", "bRead", "bLoaded"}, {5, "http:///", 0, 0}));
        QVERIFY(rs.Save());
        rig.reader.queue.mnuOL_LastSession_Click(index);
        QStringList urls;
        for (const QString &r : rig.records())
            urls << r.section(':', 0, 1);
        QCOMPARE(urls, loaded);
        QCOMPARE(rig.host.scheduledLoads, index == 2 ? 1 : 0);
        QCOMPARE(rig.platform.ui.beeps(), 0);
    }

    void nextSessionUrl()
    {
        ReaderRig rig;
        rig.reader.queue.LoadDocument(ReaderRig::page(1), LoadWhere::Here);
        rig.settle();
        rig.control(0)->fakeDocument().setScrollMetrics(4000, 400);
        rig.control(0)->fakeDocument().setScrollTop(250);
        rig.reader.queue.SaveNextSessionURL(0);
        QCOMPARE(rig.file.GetOption("nextsessionurl").toString(), "250`" + ReaderRig::page(1));

        rig.reader.queue.SaveNextSessionURL(1);
        QCOMPARE(rig.window(1)->mlInitialScrollTop, 250);
        QCOMPARE(rig.control(1)->navigateCalls().last().url.toString(), ReaderRig::page(1));
        QVERIFY(rig.file.GetOption("nextsessionurl").toString().isEmpty());
        auto onDisk = Recordset::Open(rig.stores.gsOptionsFile);
        QVERIFY(onDisk);
        QVERIFY(!onDisk->Find("key = 'nextsessionurl'"));
    }

    // Every new address of a window has its own record, however the window got there (a
    // link followed in place, Back, Forward); a refresh adds none, nor reloads a written page.
    void navigationCommands()
    {
        ReaderRig rig;
        rig.platform.web.servePage(ReaderRig::page(1), "<title>One</title>1");
        rig.platform.web.servePage(ReaderRig::page(2), "<title>Two</title>2");
        rig.reader.queue.LoadDocument(ReaderRig::page(1), LoadWhere::Here);
        rig.settle();
        rig.reader.nav.routeLikeClick(*rig.window(0), ReaderRig::page(2), Qt::ControlModifier,
                                      NavigationSource::WebContent);
        rig.settle();
        FakeBrowserControl *c = rig.control(0);
        rig.reader.queue.mnuRefresh_Click();
        rig.settle();
        rig.reader.queue.mnuBack_Click();
        rig.settle();
        QCOMPARE(rig.records(),
                 (QStringList{ReaderRig::page(1) + ":1:1", ReaderRig::page(2) + ":1:0"}));
        rig.reader.queue.mnuForward_Click();
        rig.settle();
        QCOMPARE(rig.records(),
                 (QStringList{ReaderRig::page(1) + ":1:0", ReaderRig::page(2) + ":1:1"}));
        QCOMPARE(rig.reader.log.field(rig.window(0)->mdCurrentSessionBookmark, "Title").toString(),
                 QStringLiteral("Two"));
        Recordset rs = rig.reader.log.cursor();
        QVERIFY(rs.Find("URL = '" + ReaderRig::page(1) + "'"));
        QCOMPARE(rs.Field("Title").toString(), QStringLiteral("One"));
        // A written page cannot be reloaded.
        rig.reader.report.mnuReport_Click();
        rig.settle();
        QVERIFY(rig.window(0)->mbDocWritten);
        rig.reader.queue.mnuRefresh_Click();
        QVERIFY(!c->isLoading());
    }

    // A raw feed at an address without a feed extension, and no viewer to show it: the page
    // stays where it is.
    void rawFeedWithoutAViewerStays()
    {
        ReaderRig rig;
        rig.platform.web.servePage("http://f.test/latest?2",
                                   "<rss version='2.0'><channel><title>F</title></channel></rss>");
        rig.host.feedViewer = false;
        rig.reader.queue.LoadDocument(QStringLiteral("http://f.test/latest?2"));
        rig.settle();
        QVERIFY(rig.host.feeds.isEmpty());
        QCOMPARE(rig.records(), QStringList{"http://f.test/latest?2:0:1"});
    }

    // A file the engine saves, or an empty answer, gives no document: its download ends, the
    // record counts as done and the queue moves on instead of waiting for ever.
    void addressWithoutADocumentFreesItsDownload()
    {
        ReaderRig rig;
        for (int i = 1; i <= 5; ++i) {
            FakeResponse file;
            file.kind = FakeResponse::Kind::NoDocument;
            rig.platform.web.serve(QStringLiteral("http://d.test/f%1.zip?x").arg(i), file);
            (void)rig.reader.queue.LoadDocument(QStringLiteral("http://d.test/f%1.zip?x").arg(i));
        }
        rig.platform.web.servePage(QStringLiteral("http://d.test/page.html"), QStringLiteral("p"));
        (void)rig.reader.queue.LoadDocument(QStringLiteral("http://d.test/page.html"));
        rig.settle();
        QCOMPARE(rig.ctx.giLoadingCount, 0);
        QCOMPARE(rig.records(QStringLiteral("bLoaded = 1")).size(), 6);
        QCOMPARE(rig.records(QStringLiteral("URL = 'http://d.test/page.html'")),
                 QStringList{"http://d.test/page.html:0:1"});
        // The windows that got no document are free for the next download; none stays busy.
        QStringList states;
        for (int slot = 1; slot < rig.reader.pool.slotCount(); ++slot)
            states << rig.state(slot);
        QVERIFY(!states.contains(QStringLiteral("b")));
        QCOMPARE(states.count(QStringLiteral("c")), 1);
    }

    // A load behind that makes no progress is given up: its record stays unread, the report
    // lists it as timed out, and the queue moves on.
    void stalledLoadsAreGivenUp()
    {
        ReaderRig rig;
        rig.ctx.glLoadStallMs = 50;
        rig.platform.web.setDefaultResponse(FakeResponse::pending());
        for (int i = 1; i <= 5; ++i)
            rig.reader.queue.LoadDocument(ReaderRig::page(i));
        rig.settle();
        QCOMPARE(rig.reader.queue.queuedCount(), 1);
        QTRY_COMPARE(rig.reader.queue.queuedCount(), 0);
        QTRY_COMPARE(rig.reader.report.gcolNavErrors.size(), 5);
        QVERIFY(rig.reader.report.gcolNavErrors.first().contains(
            "The connection to this Internet site took longer than the allotted time."));
        QCOMPARE(rig.records("bRead = 0 AND bLoaded = 1").size(), 5);
        QCOMPARE(rig.ctx.giLoadingCount, 0);
    }

    // A window closed after it was left is no longer the previous one: a new window in its
    // slot is not taken for read when the window after it is left.
    void newWindowInThePreviousSlotStaysUnread()
    {
        ReaderRig rig;
        rig.platform.web.servePage(QStringLiteral("http://p.test/a"), QStringLiteral("a"));
        rig.platform.web.servePage(QStringLiteral("http://p.test/b"), QStringLiteral("b"));
        rig.platform.web.servePage(QStringLiteral("http://p.test/c"), QStringLiteral("c"));
        rig.platform.web.servePage(QStringLiteral("http://p.test/d"), QStringLiteral("d"));
        rig.window(0)->bKeep = true; // not reused: the new pages take slots 1 and up
        for (const char *p : {"http://p.test/a", "http://p.test/b"})
            (void)rig.reader.queue.LoadDocument(QString::fromLatin1(p));
        rig.settle();
        auto &pool = rig.reader.pool;
        pool.ActivateWindow(1);
        pool.ActivateWindow(2); // window 1 is the previous one now
        QVERIFY(pool.unloadWindow(1));
        rig.settle();
        (void)rig.reader.queue.LoadDocument(QStringLiteral("http://p.test/c"));
        rig.settle();
        QVERIFY(rig.window(1));
        QCOMPARE(rig.state(1), QStringLiteral("c"));
        (void)rig.reader.queue.LoadDocument(QStringLiteral("http://p.test/d"));
        rig.settle();
        pool.ActivateWindow(0);
        QCOMPARE(rig.state(1), QStringLiteral("c"));
    }
};

QTEST_MAIN(TestReaderQueue)
#include "test_reader_queue.moc"
