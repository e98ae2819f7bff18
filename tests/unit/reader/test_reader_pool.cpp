#include "ReaderRig.h"

#include <QTest>

// The window pool: which window takes a download, the state letters through a window's life,
// Next/Previous Window, and the window commands.
class TestReaderPool : public QObject
{
    Q_OBJECT

private:
    // Windows 1..n with the given state letters ('-' = a free slot), windows listed in
    // `kept` kept in memory.
    static void makeWindows(ReaderRig &rig, const QString &states, const QString &kept = {})
    {
        for (int i = 0; i < states.size(); ++i) {
            const int slot = rig.reader.pool.ChooseWindow(false, true);
            QCOMPARE(slot, i + 1);
        }
        for (int i = 0; i < states.size(); ++i) {
            const int slot = i + 1;
            if (states.at(i) == QLatin1Char('-')) {
                QVERIFY(rig.reader.pool.unloadWindow(slot));
            } else {
                rig.reader.pool.setState(slot, QString(states.at(i)));
            }
            rig.reader.pool.setOrder(slot, 100 + slot);
            if (kept.contains(QString::number(slot)))
                rig.window(slot)->bKeep = true;
        }
        rig.reader.pool.UpdateWindowCount();
    }

private Q_SLOTS:
    void chooseWindow_data()
    {
        QTest::addColumn<QString>("states"); // slots 1..n
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("maxWindows");
        QTest::addColumn<bool>("altHeld");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("forceNew");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("reused"); // the window object stayed

        const auto row = [](const char *name, const char *states, const char *kept, int max,
                            bool alt, int mode, bool forceNew, int expected, bool reused) {
            QTest::newRow(name) << QString::fromLatin1(states) << QString::fromLatin1(kept) << max
                                << alt << mode << forceNew << expected << reused;
        };
        row("first read window reused", "cff", "", 50, false, 1, false, 2, true);
        row("kept read window skipped", "cff", "2", 50, false, 1, false, 3, true);
        row("free slot before growth", "c-c", "", 50, false, 1, false, 2, false);
        row("grows below the limit", "ccc", "", 5, false, 1, false, 4, false);
        row("full: queued", "cccc", "", 5, false, 1, false, -1, false);
        row("full, Alt held: new", "cccc", "", 5, true, 1, false, 5, false);
        row("full, forced: new", "cccc", "", 5, false, 1, true, 5, false);
        row("Alt held: read not reused", "cf", "", 50, true, 1, false, 3, false);
        row("research: read not reused", "cf", "", 50, false, 2, false, 3, false);
        row("previous window not reused", "pc", "", 3, false, 1, false, -1, false);
    }

    void chooseWindow()
    {
        QFETCH(QString, states);
        QFETCH(QString, kept);
        QFETCH(int, maxWindows);
        QFETCH(bool, altHeld);
        QFETCH(int, mode);
        QFETCH(bool, forceNew);
        QFETCH(int, expected);
        QFETCH(bool, reused);

        ReaderRig rig(maxWindows);
        makeWindows(rig, states, kept);
        rig.ctx.giBrowsingMode = mode;
        rig.platform.ui.setKeyboardModifiers(altHeld ? Qt::AltModifier : Qt::NoModifier);
        DocumentWindow *before = rig.window(expected);
        const int loadedBefore = rig.host.loaded;

        QCOMPARE(rig.reader.pool.ChooseWindow(true, forceNew), expected);
        if (expected < 0)
            return;
        QCOMPARE(rig.window(expected) == before && before, reused);
        QCOMPARE(rig.host.loaded - loadedBefore, reused ? 0 : 1);
        QCOMPARE(rig.window(expected)->mbNext, true);
        QCOMPARE(rig.state(expected), reused ? QStringLiteral("b") : QStringLiteral("n"));
    }

    // A window's letters from its download to its reuse, and the read mark in the session.
    void statesThroughLife()
    {
        ReaderRig rig;
        auto &pool = rig.reader.pool;
        rig.platform.web.servePage(ReaderRig::page(1), QStringLiteral("<title>One</title>a"));
        rig.platform.web.serve(ReaderRig::page(2), FakeResponse::pending());
        rig.platform.web.servePage(ReaderRig::page(3), QStringLiteral("<title>Three</title>c"));

        QCOMPARE(rig.reader.queue.LoadDocument(ReaderRig::page(1)), LoadOutcome::Loading);
        QCOMPARE(rig.state(1), QStringLiteral("b"));
        QCOMPARE(rig.records(), QStringList{ReaderRig::page(1) + ":0:1"});
        rig.settle();
        QCOMPARE(rig.state(1), QStringLiteral("c"));
        QCOMPARE(rig.ctx.giLoadingCount, 0);
        QCOMPARE(rig.window(1)->strDocumentTitle, QStringLiteral("One"));

        // Interactive but not complete, and "next".
        LoadRequest next;
        next.url = ReaderRig::page(2);
        next.where = LoadWhere::Next;
        QCOMPARE(rig.reader.queue.LoadDocument(next), LoadOutcome::Loading);
        QCOMPARE(rig.state(2), QStringLiteral("b"));
        QVERIFY(rig.window(2)->mbNext);
        rig.settle();
        QVERIFY(rig.control(2)->hasPendingLoad());
        rig.control(2)->completePendingLoad(QStringLiteral("<title>Two</title>b"));
        rig.settle();
        QCOMPARE(rig.state(2), QStringLiteral("c"));

        // Reading window 1, then 2, then 0: 1 goes "p" then "f".
        pool.ActivateWindow(1);
        QCOMPARE(rig.state(1), QStringLiteral("a"));
        QCOMPARE(rig.state(0), QStringLiteral("p"));
        QCOMPARE(rig.records(QStringLiteral("bRead = 1")),
                 QStringList{ReaderRig::page(1) + ":1:1"});
        pool.ActivateWindow(2);
        QCOMPARE(rig.state(1), QStringLiteral("p"));
        QCOMPARE(rig.state(0), QStringLiteral("f"));
        pool.ActivateWindow(0);
        QCOMPARE(rig.state(1), QStringLiteral("f"));
        QCOMPARE(rig.state(2), QStringLiteral("p"));

        // The next download reuses window 1, the same object.
        DocumentWindow *one = rig.window(1);
        QCOMPARE(rig.reader.queue.LoadDocument(ReaderRig::page(3)), LoadOutcome::Loading);
        QCOMPARE(rig.window(1), one);
        QCOMPARE(rig.state(1), QStringLiteral("b"));
        rig.settle();
        QCOMPARE(rig.state(1), QStringLiteral("c"));
        // The old document of window 1 is read and no longer held.
        QCOMPARE(rig.records(),
                 (QStringList{ReaderRig::page(2) + ":1:1", ReaderRig::page(1) + ":1:0",
                              ReaderRig::page(3) + ":0:1"}));
    }

    void scrollPositionsAreRemembered()
    {
        ReaderRig rig;
        rig.reader.queue.LoadDocument(ReaderRig::page(1));
        rig.settle();
        rig.control(1)->fakeDocument().setScrollMetrics(5000, 500);
        rig.reader.pool.ActivateWindow(1);
        rig.control(1)->fakeDocument().setScrollTop(700);
        rig.reader.pool.ActivateWindow(0);
        QCOMPARE(rig.window(1)->lngScrollTop, 700);
        rig.reader.pool.ActivateWindow(1); // "p": no scroll
        rig.reader.pool.ActivateWindow(0);
        rig.window(1)->lngScrollTop = 650;
        rig.reader.pool.setState(1, QStringLiteral("f"));
        rig.control(1)->fakeDocument().setScrollTop(0);
        rig.reader.pool.ActivateWindow(1);
        QCOMPARE(rig.control(1)->document().snapshot().scrollTop, 650);
    }

    void nextWindowOrder_data()
    {
        QTest::addColumn<QString>("states");
        QTest::addColumn<QList<int>>("orders");
        QTest::addColumn<int>("expected");
        QTest::newRow("c before i before b") << "bic" << QList<int>{1, 2, 3} << 3;
        QTest::newRow("i before b") << "bi" << QList<int>{1, 2} << 2;
        QTest::newRow("ties go to the lower slot") << "cc" << QList<int>{5, 5} << 1;
        QTest::newRow("32000 and above never") << "cc" << QList<int>{32000, 40000} << -1;
        QTest::newRow("read windows are not next") << "fpx" << QList<int>{1, 2, 3} << -1;
    }

    void nextWindowOrder()
    {
        QFETCH(QString, states);
        QFETCH(QList<int>, orders);
        QFETCH(int, expected);
        ReaderRig rig;
        makeWindows(rig, states);
        for (int i = 0; i < orders.size(); ++i)
            rig.reader.pool.setOrder(i + 1, orders.at(i));
        QCOMPARE(rig.reader.pool.nextUnreadSlot(), expected);
    }

    // After the last unread window the report shows once (Skimline mode), then Next cycles,
    // skipping free slots and windows marked for closing.
    void reportOnceThenCycle()
    {
        ReaderRig rig;
        makeWindows(rig, "c-xf");
        auto &pool = rig.reader.pool;
        pool.mnuNextDoc_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 1);
        QCOMPARE(pool.mbReportAfterLast, true);
        pool.mnuNextDoc_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 1);
        rig.settle();
        QVERIFY(ProgramPages::isWrittenPage(rig.control(1)->locationUrl()));
        QCOMPARE(rig.window(1)->strDocumentTitle, SessionReport::kTitle());
        pool.mnuNextDoc_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 4); // 2 is free, 3 is "x"
        pool.mnuNextDoc_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 0);
        pool.mnuPreviousDoc_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 4);
        pool.mnuPreviousDoc_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 1);
    }

    void noReportOutsideSkimlineOrOnKeptWindow()
    {
        for (const bool keep : {false, true}) {
            ReaderRig rig;
            makeWindows(rig, "cf");
            rig.ctx.giBrowsingMode = keep ? BrowseMode::Skimline : BrowseMode::Research;
            rig.reader.pool.mnuNextDoc_Click();
            rig.window(1)->bKeep = keep;
            rig.reader.pool.mnuNextDoc_Click();
            QCOMPARE(rig.ctx.giCurrentWindow, 2);
            rig.settle();
            QVERIFY(!ProgramPages::isWrittenPage(rig.control(1)->locationUrl()));
        }
    }

    void markedWindowClosesAfterTheNextIsLeft()
    {
        ReaderRig rig;
        makeWindows(rig, "cc");
        auto &pool = rig.reader.pool;
        pool.ActivateWindow(1);
        pool.zMarkForClosing(); // goes on to window 2
        QCOMPARE(rig.ctx.giCurrentWindow, 2);
        QCOMPARE(rig.state(1), QStringLiteral("x"));
        QVERIFY(rig.host.styles.value(1).strikeThrough);
        QVERIFY(rig.window(1));
        pool.ActivateWindow(0);
        QVERIFY(!rig.window(1));
        QCOMPARE(rig.state(1), QString());
        QCOMPARE(rig.ctx.giWindowsOpen, 2);
        QCOMPARE(rig.host.status.value(2), QStringLiteral("1 of 2"));
    }

    // Going back to a marked window (from the Window menu or the report) shows it; it is not
    // closed under the user's eyes, and the one left is read as usual.
    void markedWindowChosenAgainStays()
    {
        ReaderRig rig;
        makeWindows(rig, "cc");
        auto &pool = rig.reader.pool;
        pool.ActivateWindow(1);
        pool.zMarkForClosing();
        QCOMPARE(rig.ctx.giCurrentWindow, 2);
        pool.ActivateWindow(1);
        QVERIFY(rig.window(1));
        QCOMPARE(rig.ctx.giCurrentWindow, 1);
        QCOMPARE(rig.state(1), QStringLiteral("a"));
        QVERIFY(rig.window(1)->bActiveForm);
        QCOMPARE(rig.state(2), QStringLiteral("p"));
        QCOMPARE(rig.ctx.giPreviousWindow, 2);
        // Back to the window left just now: it is shown, not freed for reuse.
        pool.ActivateWindow(2);
        QCOMPARE(rig.state(2), QStringLiteral("a"));
        QCOMPARE(rig.state(1), QStringLiteral("p"));
    }

    void lastWindowNeverCloses()
    {
        ReaderRig rig;
        rig.reader.pool.UpdateWindowCount();
        QVERIFY(!rig.reader.pool.unloadWindow(0));
        QVERIFY(rig.window(0));
        QCOMPARE(rig.control(0)->navigateCalls().last().url.fragment(), QStringLiteral("CW"));
        rig.settle();
        QVERIFY(rig.control(0)->scriptClose()); // window.close() is refused too
    }

    void closingTheActiveWindowShowsTheNext()
    {
        ReaderRig rig;
        makeWindows(rig, "cc");
        rig.reader.pool.setOrder(2, 1);
        rig.reader.pool.ActivateWindow(1);
        QVERIFY(rig.reader.pool.unloadWindow(1));
        QCOMPARE(rig.ctx.giCurrentWindow, 2);
        QCOMPARE(rig.host.status.value(2), QStringLiteral("2 of 2"));
    }

    // The shade says where a window is in the order (current over next), the colour only its
    // state; a state without a colour of its own keeps the one shown.
    void styles()
    {
        const auto style = &WindowPool::styleFor;
        const WindowStyle plain = style(QStringLiteral("c"), false, false, false);
        const WindowStyle next = style(QStringLiteral("c"), true, true, false);
        QVERIFY(next.background != plain.background);
        QVERIFY(next.bold && !plain.bold);
        QCOMPARE(next.color, plain.color);
        QCOMPARE(style(QStringLiteral("c"), false, true, true).background,
                 style(QStringLiteral("f"), false, false, true).background);
        QVERIFY(style(QStringLiteral("c"), false, false, true).background != next.background);
        QVERIFY(style(QStringLiteral("n"), false, false, false).color.isEmpty());
    }

    void goBackToPreviousWindowAndKeep()
    {
        ReaderRig rig;
        makeWindows(rig, "c");
        auto &pool = rig.reader.pool;
        pool.ActivateWindow(1);
        pool.mnuNav_PrevWin_Click();
        QCOMPARE(rig.ctx.giCurrentWindow, 0);
        QCOMPARE(rig.state(1), QStringLiteral("p"));

        pool.mnuKeepInMemory_Click(); // keeps 0 and goes on (cycles to 1)
        QVERIFY(rig.window(0)->bKeep);
        QCOMPARE(rig.ctx.giCurrentWindow, 1);
        QVERIFY(rig.host.styles.value(0).bold);
        pool.mnuNav_Win_Click(1, 0); // Keep This Window toggles back
        QVERIFY(!rig.window(0)->bKeep);
    }

    void multiWindowCommands()
    {
        ReaderRig rig;
        makeWindows(rig, "fpxcb", "2");
        auto &pool = rig.reader.pool;
        // Close All Read Windows: "f", "p" (even kept), "x".
        pool.mnuNav_WinManSub_Click(0);
        QVERIFY(!rig.window(1) && !rig.window(2) && !rig.window(3));
        QVERIFY(rig.window(4) && rig.window(5));

        rig.reader.queue.LoadDocument(ReaderRig::page(1));
        for (int i = 2; i <= 8; ++i)
            rig.reader.queue.LoadDocument(ReaderRig::page(i));
        QVERIFY(rig.reader.queue.queuedCount() > 0);
        pool.mnuNav_WinManSub_Click(3); // Cancel Queued Downloads
        QCOMPARE(rig.reader.queue.queuedCount(), 0);
        QVERIFY(!rig.records(QStringLiteral("bRead = 2")).isEmpty());
        pool.mnuNav_WinManSub_Click(2); // Stop All Downloading
        QCOMPARE(rig.ctx.giLoadingCount, 0);
        QCOMPARE(rig.records(QStringLiteral("bRead = 0")), QStringList());
        pool.mnuNav_WinManSub_Click(1); // all but the current
        int open = 0;
        for (int i = 0; i < pool.slotCount(); ++i)
            open += rig.window(i) ? 1 : 0;
        QCOMPARE(open, 1);
        QVERIFY(rig.window(rig.ctx.giCurrentWindow));
    }

    void browseModes()
    {
        ReaderRig rig;
        auto &pool = rig.reader.pool;
        QStringList letters;
        for (int i = 0; i < 4; ++i) {
            pool.zBrowseMode(4);
            letters << rig.host.modeLetter;
        }
        QCOMPARE(letters, (QStringList{"R", "T", "W", "R"}));
        pool.zBrowseMode(2);
        QCOMPARE(rig.ctx.giBrowsingMode, 4);
        QCOMPARE(rig.file.GetOption(QStringLiteral("mode")).toInt(), 4);
        QVERIFY(rig.host.checks.value(QStringLiteral("mnuBrowseMode(2)")));
        pool.zBrowseMode(0);
        rig.ctx.giBrowsingMode = 2;
        pool.zBrowseMode(3); // back to the saved one
        QCOMPARE(rig.ctx.giBrowsingMode, 1);
    }

    void openInSameWindowFollowsTheWindow()
    {
        ReaderRig rig;
        makeWindows(rig, "c");
        rig.reader.pool.mnuOpenInSameWindow_Click();
        QVERIFY(rig.window(0)->bOpenInSameWindow);
        QVERIFY(rig.host.pressedButtons.value(QStringLiteral("FS")));
        rig.reader.pool.ActivateWindow(1);
        QVERIFY(!rig.window(0)->bOpenInSameWindow); // leaving clears it
        QVERIFY(!rig.host.pressedButtons.value(QStringLiteral("FS")));
    }

    // The control's smaller events on the active window and in the background.
    void windowEvents()
    {
        ReaderRig rig;
        DocumentWindow *w = rig.window(0);
        FakeBrowserControl *c = rig.control(0);
        c->emitProgress(50, 200);
        QCOMPARE(rig.host.status.value(3), QStringLiteral("Progress = 25%"));
        c->emitProgress(5, 0);     // no maximum: nothing
        c->emitProgress(300, 200); // beyond it: nothing
        QCOMPARE(rig.host.status.value(3), QStringLiteral("Progress = 25%"));
        c->emitStatusText(QStringLiteral("over a link"));
        QCOMPARE(rig.host.status.value(1), QStringLiteral("over a link"));
        c->scriptError("x is undefined", 12, QUrl("http://s.test/a.js"));
        QCOMPARE(rig.host.status.value(3),
                 QStringLiteral("Script Error: x is undefined Line #: 12 URL=http://s.test/a.js"));

        // A failed download in the background still completes and frees its download.
        rig.platform.web.serve(ReaderRig::page(1), FakeResponse::error(500, "down"));
        rig.reader.queue.LoadDocument(ReaderRig::page(1));
        rig.settle();
        QCOMPARE(rig.state(1), QStringLiteral("c"));
        QCOMPARE(rig.ctx.giLoadingCount, 0);
        QCOMPARE(rig.reader.report.gcolNavErrors.size(), 1);
        // Background windows leave the status bar alone.
        rig.control(1)->emitStatusText(QStringLiteral("background"));
        QCOMPARE(rig.host.status.value(1), QStringLiteral("over a link"));
        // With two windows open a script may close one.
        QVERIFY(!rig.control(1)->scriptClose());
        QVERIFY(!rig.window(1));
        QVERIFY(w->bActiveForm);
    }

    // Read windows that are not kept sleep after a while; they wake when used again.
    void readWindowsSleep()
    {
        ReaderRig rig;
        makeWindows(rig, "cc", "2");
        auto &pool = rig.reader.pool;
        pool.ActivateWindow(1);
        pool.ActivateWindow(2);
        pool.ActivateWindow(0); // 1 becomes "f", 2 "p"
        rig.platform.ui.fireTimers();
        QVERIFY(rig.control(1)->isAsleep());
        QVERIFY(!rig.control(2)->isAsleep());
        QCOMPARE(rig.reader.queue.LoadDocument(ReaderRig::page(9)), LoadOutcome::Loading);
        QVERIFY(!rig.control(1)->isAsleep());
        QCOMPARE(rig.control(1)->navigateCalls().last().url.toString(), ReaderRig::page(9));
    }
};

QTEST_MAIN(TestReaderPool)
#include "test_reader_pool.moc"
