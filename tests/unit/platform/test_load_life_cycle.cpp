#include "FakeBrowserControl.h"

#include "platform/LoadLifeCycle.h"

#include <QtTest>

namespace {

class Page : public LoadLifeCycle::Page
{
public:
    QUrl shown;
    bool awaiting = false;
    QUrl url() const override { return shown; }
    QString title() const override { return QStringLiteral("T"); }
    bool awaitsDocument() const override { return awaiting; }
    void giveUpWaiting() override { awaiting = false; }
    void loadEnded() override {}
};

class Log : public BrowserControlListener
{
public:
    QStringList lines;
    void downloadBegin(BrowserControl &) override { lines << "begin"; }
    void downloadComplete(BrowserControl &) override { lines << "downloaded"; }
    void navigateComplete(BrowserControl &, const QUrl &u, bool) override
    {
        lines << "navigated " + u.path();
    }
    void documentComplete(BrowserControl &, const QUrl &u, bool) override
    {
        lines << "complete " + u.path();
    }
    void readyStateChanged(BrowserControl &, ReadyState s) override
    {
        lines << (s == ReadyState::Complete ? "ready" : "live");
    }
    bool navigateError(BrowserControl &, const QUrl &, qint32 code, const QString &, bool) override
    {
        lines << QStringLiteral("error %1").arg(code);
        return false;
    }
    void titleChanged(BrowserControl &, const QString &title) override
    {
        lines << "title " + title;
    }
    void progressChanged(BrowserControl &, int, int) override { lines << "progress"; }
};

} // namespace

// The engine's load events, in the order they arrive, and what the listener hears of them.
class TestLoadLifeCycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Inputs: "begin /a", "redirect /b", "end /a", "fail /a 404", "stop /a", "doc /a loading"
    // (a greeting; "doc error ..." from the engine's error page), "state complete", "title",
    // "progress", "silent" (the bridge wait ran out), "wake" (a navigation woke a discarded
    // page), "reload /a" (the engine reloads the old document). Outputs: "live" is readyState
    // interactive, "ready" complete. Where the engine was watched, inputs come in its order.
    void eventOrder_data()
    {
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<QString>("events");
        const QString done = QStringLiteral("downloaded,complete /a,ready");
        const QString loadA = QStringLiteral("begin /a,doc /a complete,end /a");
        const QString eventsA = "begin,navigated /a,live," + done;
        QTest::newRow("normal load")
            << "begin /a,title,doc /a loading,state interactive,progress,state complete,end /a"
            << "begin,navigated /a,title T,live,progress," + done;
        QTest::newRow("greeting after the engine ends")
            << "begin /a,end /a,doc /a complete" << eventsA;
        QTest::newRow("redirect") << "begin /r,redirect /a,doc /a loading,state complete,end /a"
                                  << eventsA;
        QTest::newRow("fragment move: no load, a title")
            << loadA + ",progress,title" << eventsA + ",title T";
        QTest::newRow("failed load, error page greets first")
            << "begin /a,title,doc error loading,state interactive,state complete,fail /a 404"
            << "begin,error 404,navigated /a,title T,live," + done;
        QTest::newRow("failed load, error page greets after the end")
            << "begin /a,fail /a 404,doc error complete,state complete"
            << "begin,error 404,navigated /a,live," + done;
        QTest::newRow("stopped before a document") << "begin /a,stop /a,silent"
                                                   << "begin,downloaded";
        QTest::newRow("stopped after the document came")
            << "begin /a,doc /a interactive,stop /a" << eventsA;
        QTest::newRow("restarted when the profile's agent changed")
            << "begin /a,begin /a,title,doc /a loading,state interactive,state complete,end /a"
            << "begin,downloaded,begin,navigated /a,title T,live," + done;
        QTest::newRow("sleeping window woken by a navigation")
            << loadA + ",wake,reload /a,begin /b,doc /b complete,end /b"
            << eventsA + ",begin,navigated /b,live,downloaded,complete /b,ready";
        QTest::newRow("second complete greeting ignored")
            << "begin /a,doc /a complete,state complete,end /a,state complete" << eventsA;
        QTest::newRow("document.open starts a new document")
            << loadA + ",state loading,state complete" << eventsA + ",live,ready";
        QTest::newRow("page without a bridge completes when the wait runs out")
            << "begin /a,end /a,silent,silent" << eventsA;
    }
    void eventOrder()
    {
        QFETCH(QString, inputs);
        QFETCH(QString, events);
        using K = LoadInput::Kind;
        using O = LoadInput::Outcome;
        const QHash<QString, K> kinds{
            {"begin", K::Begin},       {"redirect", K::Redirect},  {"reload", K::Begin},
            {"end", K::End},           {"fail", K::End},           {"stop", K::End},
            {"doc", K::Document},      {"state", K::ReadyState},   {"title", K::Title},
            {"progress", K::Progress}, {"silent", K::BridgeSilent}};
        const QHash<QString, ReadyState> states{{"loading", ReadyState::Loading},
                                                {"interactive", ReadyState::Interactive},
                                                {"complete", ReadyState::Complete}};
        FakeWeb web;
        FakeBrowserControl control(web);
        Page page;
        Log log;
        LoadLifeCycle life(control, page, 1000);
        life.setListener(&log);
        for (const QString &step : inputs.split(u',')) {
            const QStringList w = step.split(u' ');
            if (w[0] == "wake") {
                life.wokeForNavigation(true);
                continue;
            }
            if (w[0] == "reload" && life.refuseStaleReload(true))
                continue;
            QVERIFY(kinds.contains(w[0]));
            LoadInput in(kinds[w[0]], QUrl("http://127.0.0.1" + w.value(1)));
            in.outcome = w[0] == "fail" ? O::Failed : w[0] == "stop" ? O::Aborted : O::Succeeded;
            in.status = w.value(2).toInt();
            in.text = page.title();
            in.readyState = states.value(w.last());
            if (in.kind == K::Begin || in.kind == K::Redirect)
                page.shown = in.url, page.awaiting = true;
            if (in.kind == K::Document) {
                in.errorPage = w[1] == "error";
                if (in.errorPage)
                    in.url = QUrl("chrome-error://chromewebdata/");
                page.awaiting = false;
            }
            life.feed(in);
        }
        QCOMPARE(log.lines.join(u','), events);
        // A load that has ended leaves no wait behind to complete it a second time.
        QVERIFY(!life.waitsForBridge());
    }
};

QTEST_MAIN(TestLoadLifeCycle)
#include "test_load_life_cycle.moc"
