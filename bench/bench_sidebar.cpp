// The sidebar's history list on the real engine.
//
//   BM_SidebarHistoryFilter   "h" and a one-letter word typed into the search box, Enter: the
//                             history entries of 100,000 records that hold the letter listed in
//                             the sidebar pane. Times from the Enter key to the first screenful
//                             in the pane's page and to the whole list, and the longest pause of
//                             the program's event loop meanwhile.
//   BM_HistoryPage10k         the history page of 10,000 records (dates, descriptions) shown
//                             in the active window, sorted by date: times from the command to
//                             the page's first contentful paint and to its load event, and the
//                             longest pause of the program's event loop meanwhile (building the
//                             page included).
//   BM_SourceViewShown1MB     View > Source of a 1 MB page: times from the command to its
//                             first screenful and to the whole coloured source in the window.

#include "EngineBench.h"
#include "SidebarEngineRig.h"

#include "frame/Sidebar.h"
#include "reader/History.h"
#include "store/DateValue.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QElapsedTimer>

#include <cmath>
#include <random>

namespace {

std::unique_ptr<WebEnginePlatform> g_platform;

// The event loop's longest turn while it lives: a timer that should fire every millisecond.
struct LongestTurn
{
    LongestTurn()
    {
        gap.start();
        QObject::connect(&tick, &QTimer::timeout, [this] { mark(); });
        tick.start(1);
    }
    void mark() { longest = std::max(longest, gap.restart()); }
    void stop() { tick.stop(); }

    qint64 longest = 0;
    QElapsedTimer gap;
    QTimer tick;
};

constexpr int kHistoryRows = 100000;

const QStringList kWords = {
    "news",     "python",   "release", "guide",    "review",   "weather", "football", "recipe",
    "linux",    "kernel",   "market",  "stocks",   "travel",   "hotel",   "camera",   "phone",
    "garden",   "history",  "science", "space",    "rocket",   "music",   "concert",  "movie",
    "election", "policy",   "health",  "fitness",  "coffee",   "bread",   "database", "server",
    "browser",  "security", "update",  "tutorial", "analysis", "city",    "council",  "school"};

void fillHistory(Recordset &h)
{
    std::mt19937 rng(20240607);
    const auto word = [&] { return kWords[int(rng() % kWords.size())]; };
    const double now = DateValue::now();
    for (int i = 0; i < kHistoryRows; ++i) {
        QStringList title;
        for (int n = 2 + int(rng() % 5); n > 0; --n)
            title << word();
        h.AddNew();
        (void)h.SetField("Date", now - (kHistoryRows - i) / 500.0);
        (void)h.SetField("Title", title.join(QLatin1Char(' ')));
        (void)h.SetField(
            "URL",
            QStringLiteral("https://site%1.test/%2/%3.html").arg(rng() % 50).arg(word()).arg(i));
        h.Update();
    }
}

// Marks in the pane's page when the list's first entry and its end arrived and were drawn
// (milliseconds since the epoch, the clock the program reads too).
const char kObserver[] = R"(
(function(){
  var lb = document.getElementById('LB');
  window.__first = 0; window.__done = 0;
  if (window.__obs) window.__obs.disconnect();
  window.__obs = new MutationObserver(function(records){
    records.forEach(function(r){
      for (var i = 0; i < r.addedNodes.length; ++i) {
        var n = r.addedNodes[i];
        if (!window.__first && n.nodeName === 'DIV')
          requestAnimationFrame(function(){ if (!window.__first) window.__first = Date.now(); });
        if (n.nodeName === 'HR')
          requestAnimationFrame(function(){ window.__done = Date.now(); });
      }
    });
  });
  window.__obs.observe(lb, {childList: true});
  return 1;
})())";

double mark(SidebarEngineRig &rig, const char *name)
{
    return rig.sidebarScript(QStringLiteral("String(window.%1)").arg(QLatin1String(name)))
        .toDouble();
}

void BM_SidebarHistoryFilter(benchmark::State &state)
{
    TempProfile profile;
    SidebarEngineRig rig(*g_platform, profile.file(QStringLiteral("data")));
    if (!rig.ready()) {
        state.SkipWithError("the panes did not load");
        return;
    }
    fillHistory(rig.stores.rsHistory);
    WebEngineControl &bar = SidebarEngineRig::engine(rig.frame->topBarPane());

    double firstMs = 0, wholeMs = 0, pauseMs = 0;
    int matched = 0;
    for (auto _ : state) {
        state.PauseTiming();
        rig.frame->sidebar()->xShowSidebarTab(QStringLiteral("m2"), 1);
        WebHarness::waitFor([&] {
            return rig.sidebarScript(QStringLiteral("String(document.getElementById('LB')"
                                                    ".childElementCount)")) == QLatin1String("1");
        });
        rig.sidebarScript(QString::fromLatin1(kObserver));
        if (!rig.typeIntoSearchBoxWithoutEnter(QStringLiteral("h e"))) {
            state.SkipWithError("the search box took no keys");
            return;
        }
        state.ResumeTiming();

        LongestTurn turns;
        const qint64 enter = QDateTime::currentMSecsSinceEpoch();
        WebHarness::pressKey(bar, Qt::Key_Return);
        const bool done = WebHarness::waitFor([&] { return mark(rig, "__done") > 0; }, 60000);
        turns.stop();
        state.PauseTiming();
        if (!done) {
            state.SkipWithError("the list never ended");
            return;
        }
        firstMs = std::max(firstMs, mark(rig, "__first") - double(enter));
        wholeMs = std::max(wholeMs, mark(rig, "__done") - double(enter));
        pauseMs = std::max(pauseMs, double(turns.longest));
        matched = rig.sidebarScript(QStringLiteral("String(document.querySelectorAll('#LB a')"
                                                   ".length)"))
                      .toInt();
        state.ResumeTiming();
    }
    state.counters["first_screenful_ms"] = firstMs;
    state.counters["whole_list_ms"] = wholeMs;
    state.counters["longest_pause_ms"] = pauseMs;
    state.counters["entries"] = matched;
}
BENCHMARK(BM_SidebarHistoryFilter)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_HistoryPage10k(benchmark::State &state)
{
    TempProfile profile;
    SidebarEngineRig rig(*g_platform, profile.file(QStringLiteral("data")));
    if (!rig.ready()) {
        state.SkipWithError("the panes did not load");
        return;
    }
    {
        Recordset &h = rig.stores.rsHistory;
        const double now = DateValue::now();
        for (int i = 0; i < 10000; ++i) {
            h.AddNew();
            (void)h.SetField("Date", std::floor(now - i / 40));
            (void)h.SetField("Title",
                             QStringLiteral("%1 & %2 <page %3>")
                                 .arg(kWords[i % kWords.size()], kWords[(i * 7) % kWords.size()])
                                 .arg(i));
            (void)h.SetField("URL",
                             QStringLiteral("https://site%1.test/%2.html").arg(i % 50).arg(i));
            (void)h.SetField("Domain", QStringLiteral("site%1.test").arg(i % 50));
            if (i % 3 == 0)
                (void)h.SetField("Description",
                                 QStringLiteral("What page %1 says of itself").arg(i));
            h.Update();
        }
    }
    WebEngineControl &page = rig.windowEngine(0);
    const auto timing = [&](const char *expr) {
        return WebHarness::runScript(page, QString::fromLatin1(expr)).toDouble();
    };
    double firstMs = 0, wholeMs = 0, pauseMs = 0;
    int shown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        (void)page.navigate(QUrl(QStringLiteral("about:blank")));
        // The blank page's bridge has said hello: it cannot take the history page's writes.
        WebHarness::waitFor(
            [&] { return page.document().snapshot().url == QUrl(QStringLiteral("about:blank")); });
        state.ResumeTiming();

        LongestTurn turns;
        const double start = double(QDateTime::currentMSecsSinceEpoch());
        rig.frame->sidebar()->zHistoryShow(HistoryPage::ByDate, true);
        turns.mark(); // the command's own turn
        // Complete: every record in the page (the script runs after the page's own work).
        double completeAt = 0;
        const bool done = WebHarness::waitFor(
            [&] {
                completeAt = timing("document.title == 'Skimline History' && "
                                    "document.querySelectorAll('hr').length == 10000 ? "
                                    "Date.now() : 0");
                return completeAt > 0;
            },
            60000);
        turns.stop();
        state.PauseTiming();
        if (!done) {
            state.SkipWithError("the page never completed");
            return;
        }
        WebHarness::waitFor([&] {
            return timing("performance.getEntriesByName('first-contentful-paint').length") > 0;
        });
        const double origin = timing("performance.timeOrigin");
        firstMs =
            std::max(firstMs, origin +
                                  timing("performance.getEntriesByName('first-contentful-paint')[0]"
                                         ".startTime") -
                                  start);
        wholeMs = std::max(wholeMs, completeAt - start);
        pauseMs = std::max(pauseMs, double(turns.longest));
        shown = int(timing("document.querySelectorAll('hr').length"));
        state.ResumeTiming();
    }
    state.counters["first_screenful_ms"] = firstMs;
    state.counters["complete_ms"] = wholeMs;
    state.counters["longest_pause_ms"] = pauseMs;
    state.counters["entries"] = shown;
}
BENCHMARK(BM_HistoryPage10k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_SourceViewShown1MB(benchmark::State &state)
{
    TempProfile profile;
    SidebarEngineRig rig(*g_platform, profile.file(QStringLiteral("data")));
    HttpFixture http;
    QByteArray body = "<html><head><title>Big</title></head><body>\r\n";
    for (int i = 0; body.size() < 1000000; ++i) {
        body += "<table width=100%><tr><td><a href=\"/s/" + QByteArray::number(i) +
                ".htm?a=1&amp;b=2\">Story " + QByteArray::number(i) +
                " &mdash; text</a></td></tr></table>\r\n<p>Some <b>bold</b> words.</p>\r\n";
        if (i % 40 == 0)
            body += "<SCRIPT>if (a<b && c>d) x();</SCRIPT>\r\n";
    }
    body += "<p>the end</p></body></html>";
    http.addPage(QStringLiteral("/big.htm"), body);
    if (!rig.ready() || !http.isListening()) {
        state.SkipWithError("the panes or the server did not start");
        return;
    }
    const QString url = http.url(QStringLiteral("/big.htm")).toString();
    WebEngineControl &page = rig.windowEngine(0);
    double firstMs = 0, wholeMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        (void)rig.reader->queue.LoadDocument(url, LoadWhere::Here);
        WebHarness::waitFor(
            [&] {
                return rig.ctx.gBrowsers.at(0)->msURL == url &&
                       rig.ctx.gBrowsers.at(0)->msReadyState == QLatin1String("c");
            },
            60000);
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        const double start = double(QDateTime::currentMSecsSinceEpoch());
        rig.frame->menuItem(QStringLiteral("mnuViewSource"))->trigger();

        const bool done = WebHarness::waitFor(
            [&] {
                return WebHarness::runScript(
                           page,
                           // The last node before the marker, not the
                           // whole text: reading that costs more than the
                           // view.
                           QStringLiteral("(function(){ if (!document.title.startsWith("
                                          "'HTML Source')) return 0; var m = document."
                                          "getElementById('SourceMore'); var e = m ? "
                                          "m.previousSibling : null; return e && "
                                          "e.textContent.endsWith('</html>') ? 1 : 0;"
                                          "})()"))
                           .toInt() == 1;
            },
            60000);
        wholeMs = std::max(wholeMs, double(clock.elapsed()));
        state.PauseTiming();
        if (!done) {
            state.SkipWithError("the source never showed");
            return;
        }
        // The first screenful: the view page's first contentful paint, on the page's clock.
        const auto number = [&](const char *js) {
            return WebHarness::runScript(page, QString::fromLatin1(js)).toDouble();
        };
        firstMs = std::max(firstMs, number("performance.timeOrigin + performance.getEntriesByName("
                                           "'first-contentful-paint')[0].startTime") -
                                        start);
        state.ResumeTiming();
    }
    state.counters["first_screenful_ms"] = firstMs;
    state.counters["complete_ms"] = wholeMs;
}
BENCHMARK(BM_SourceViewShown1MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    prepareEngineProcess();
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv, &g_platform);
}
