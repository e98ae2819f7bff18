// Highlighting search words in a long page on the real engine.
//
//   BM_HighlightLongPage   two terms with 2,000 matches in a 1 MB page: real time from the
//                          request to the last mark in the page; the longest pause of the
//                          program's event loop meanwhile (qt_pause_ms) and of the page's
//                          own (page_pause_ms: the longest gap of a 4 ms timer in the page).

#include "EngineBench.h"
#include "HttpFixture.h"
#include "WebHarness.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace {

std::unique_ptr<WebEnginePlatform> g_platform;

constexpr int kMatches = 2000;

// 1 MB: 2,000 paragraphs of filler, each with one of the two terms.
QByteArray longPage()
{
    const QString filler = QStringLiteral(
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
        "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat. Duis aute irure "
        "dolor in reprehenderit in voluptate velit esse cillum dolore eu fugiat nulla pariatur. "
        "Excepteur sint occaecat cupidatat non proident, sunt in culpa qui officia deserunt "
        "mollit anim id est laborum. Sed ut perspiciatis unde omnis. ");
    QString body;
    for (int i = 0; i < kMatches; ++i)
        body += QStringLiteral("<p>%1 %2 %3</p>\n")
                    .arg(filler.left(250),
                         i % 2 ? QStringLiteral("Quillfern") : QStringLiteral("skimming"),
                         filler.mid(250));
    return HttpFixture::html(QStringLiteral("Long page"), body);
}

class TitleWatch : public BrowserControlListener
{
public:
    void titleChanged(BrowserControl &, const QString &t) override { title = t; }
    QString title;
};

void BM_HighlightLongPage(benchmark::State &state)
{
    HttpFixture http;
    const QByteArray page = longPage();
    http.addPage(QStringLiteral("/long.htm"), page);
    std::unique_ptr<WebEngineControl> control =
        WebHarness::createShownControl(*g_platform, QSize(1000, 800));
    TitleWatch watch;
    control->setListener(&watch);
    double qtPause = 0;
    double pagePause = 0;
    for (auto _ : state) {
        state.PauseTiming();
        watch.title.clear();
        (void)control->navigate(http.url(QStringLiteral("/long.htm")));
        if (!WebHarness::waitFor([&] {
                return control->document().snapshot().readyState == ReadyState::Complete &&
                       watch.title == QLatin1String("Long page");
            })) {
            state.SkipWithError("the page did not load");
            break;
        }
        // Laid out as the reader sees it; then the page tells when the last mark is in, and
        // how long its own loop stalled.
        WebHarness::runScript(
            *control,
            QStringLiteral(
                "document.body.offsetHeight; window.__gap = 0; let last = performance.now(); "
                "window.__tick = setInterval(() => "
                "{ const now = performance.now(); window.__gap = Math.max(window.__gap, now - "
                "last); last = now; }, 4); let n = 0; new MutationObserver((list) => { for (const "
                "m of list) for (const a of m.addedNodes) if (a.nodeName === 'FONT') n++; if (n "
                ">= %1) { clearInterval(window.__tick); document.title = 'done ' + "
                "Math.round(window.__gap); } }).observe(document.body, {childList: true, subtree: "
                "true}); 1")
                .arg(kMatches),
            QWebEngineScript::MainWorld);
        QElapsedTimer loop;
        double longest = 0;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            longest = std::max(longest, double(loop.nsecsElapsed()) / 1e6);
            loop.restart();
        });
        state.ResumeTiming();
        loop.start();
        tick.start(1);
        control->document().highlightTerms(
            {QStringLiteral("skimming"), QStringLiteral("quillfern")},
            {QStringLiteral("color:red;background-color:yellow")});
        if (!WebHarness::waitFor([&] { return watch.title.startsWith(QLatin1String("done")); },
                                 60000)) {
            state.SkipWithError("not every match was marked");
            break;
        }
        state.PauseTiming();
        tick.stop();
        qtPause = std::max(qtPause, longest);
        pagePause = std::max(pagePause, watch.title.mid(5).toDouble());
        state.ResumeTiming();
    }
    control->setListener(nullptr);
    state.counters["qt_pause_ms"] = qtPause;
    state.counters["page_pause_ms"] = pagePause;
    state.counters["page_MB"] = double(page.size()) / (1024.0 * 1024.0);
}
BENCHMARK(BM_HighlightLongPage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    prepareEngineProcess();
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv, &g_platform);
}
