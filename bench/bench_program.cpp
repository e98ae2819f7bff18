// The running program on the real engine, as a reader uses it.
//
//   BM_NextWindowLatency   10 loaded unread windows; X pressed on the page being read until the
//                          next window's document is on screen (its colour in the frame's own
//                          pixels, not only the activation). Counters: median and 95th
//                          percentile in ms (goal: 50 and 100).
//   BM_Queue/2000          Open All Links on a page of 2,000 links with MaxWindows 50, every
//                          document read with Next Window as soon as one is unread, until all
//                          have completed. Counters: the main thread's longest pause (goal:
//                          100 ms), peak memory of all the program's processes (goal: 1.5 GB)
//                          and whether the session file is sound afterwards.

#include "EngineBench.h"
#include "FakePlatform.h"
#include "HttpFixture.h"
#include "TempProfile.h"
#include "WebHarness.h"
#include "frame/MDIForm1.h"
#include "platform/webengine/WebEngineControl.h"
#include "reader/AppContext.h"
#include "reader/OpenAllLinks.h"
#include "reader/Reader.h"
#include "reader/SessionLog.h"
#include "reader/WindowPool.h"
#include "reader/frmBrowser.h"
#include "startup/Main.h"
#include "store/Recordset.h"
#include "store/Stores.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>

namespace {

using namespace WebHarness;

// A page that fills the window with one colour, so the frame's pixels tell which is shown.
QByteArray colourPage(int i, QColor *colour)
{
    *colour = QColor::fromHsv((i * 37) % 360, 200, 220);
    return HttpFixture::html(QStringLiteral("P%1").arg(i),
                             QStringLiteral("<style>html,body{margin:0;height:100%;background:") +
                                 colour->name() + QStringLiteral("}</style><p>page ") +
                                 QString::number(i));
}

bool near(QRgb a, QColor b)
{
    return std::abs(qRed(a) - b.red()) + std::abs(qGreen(a) - b.green()) +
               std::abs(qBlue(a) - b.blue()) <
           12;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(std::min(v.size() - 1, size_t(p * double(v.size()))));
}

struct RunningProgram
{
    explicit RunningProgram(QStringList arguments = {})
        : program(Platform{platform.get(), &ui, &shell, &http},
                  StartArguments::parse(QStringList{QStringLiteral("--no-first-run")} + arguments,
                                        QDir::currentPath()))
    {
        started = program.Main() == modMain::Outcome::Running;
    }

    TempProfile profile;
    std::unique_ptr<WebEnginePlatform> platform = createPlatform(modMain::findPagesFolder());
    FakeUi ui;
    FakeShell shell;
    FakeHttpClient http;
    modMain program;
    bool started = false;

    AppContext &ctx() { return program.context(); }
    MDIForm1 &frame() { return *static_cast<MDIForm1 *>(ctx().mainForm); }
    Reader &reader() { return *ctx().reader; }
};

void BM_NextWindowLatency(benchmark::State &state)
{
    constexpr int kWindows = 10;
    RunningProgram run;
    if (!run.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    HttpFixture server;
    QMdiArea *area = run.frame().findChild<QMdiArea *>();
    std::vector<double> samples;
    int page = 0;
    QList<QColor> unread; // in queue order
    for (auto _ : state) {
        if (unread.isEmpty()) {
            // Ten pages queued in the background while the current window is read.
            for (int i = 0; i < kWindows; ++i) {
                QColor c;
                const QString path = QStringLiteral("/c%1.htm").arg(++page);
                server.addPage(path, colourPage(page, &c));
                unread << c;
                (void)run.reader().queue.LoadDocument(server.url(path).toString());
            }
            if (!waitFor(
                    [&] {
                        return run.ctx().giLoadingCount == 0 &&
                               run.reader().queue.queuedCount() == 0;
                    },
                    120000)) {
                state.SkipWithError("the pages did not load");
                return;
            }
            QTest::qWait(300); // the last completions' own work
        }
        const QColor expected = unread.takeFirst();
        auto *current = run.ctx().gBrowsers.value(run.ctx().giCurrentWindow);
        if (!current || !current->brwWebBrowser) {
            state.SkipWithError("no current window");
            return;
        }
        auto &control = static_cast<WebEngineControl &>(*current->brwWebBrowser);
        const QPoint probe = area->viewport()->rect().center();
        QElapsedTimer t;
        t.start();
        pressKey(control, Qt::Key_X);
        const bool shown = waitFor(
            [&] {
                const QImage pixel = area->viewport()->grab(QRect(probe, QSize(1, 1))).toImage();
                return near(pixel.pixel(0, 0), expected);
            },
            10000);
        if (!shown) {
            state.SkipWithError("the next window's page was not shown");
            return;
        }
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        samples.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    state.counters["median_ms"] = percentile(samples, 0.5);
    state.counters["p95_ms"] = percentile(samples, 0.95);
    state.counters["max_ms"] = percentile(samples, 1.0);
    run.frame().close();
}
BENCHMARK(BM_NextWindowLatency)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(30);

void BM_Queue(benchmark::State &state)
{
    const int kLinks = int(state.range(0));
    HttpFixture server;
    QString links;
    for (int i = 1; i <= kLinks; ++i) {
        const QString path = QStringLiteral("/q%1.htm").arg(i);
        server.addHtml(path, QStringLiteral("Q%1").arg(i), QStringLiteral("<p>page %1").arg(i));
        links += QStringLiteral("<a href=\"%1\">%2</a> ").arg(path).arg(i);
    }
    server.addHtml(QStringLiteral("/links.htm"), QStringLiteral("Links"), links);
    const QString index = server.url(QStringLiteral("/links.htm")).toString();
    for (auto _ : state) {
        RunningProgram run({index});
        if (!run.started ||
            !waitFor([&] { return run.program.completedDocuments().contains(index); }, 60000)) {
            state.SkipWithError("the program did not show the page of links");
            return;
        }
        run.ctx().giMaxWindows = 50;
        WindowPool &pool = run.reader().pool;
        qint64 peakKb = 0;
        QTimer memory;
        QObject::connect(&memory, &QTimer::timeout,
                         [&] { peakKb = std::max(peakKb, totalPssKb()); });
        memory.start(1000);
        // A reader who goes on as soon as a document is there.
        QTimer reading;
        QObject::connect(&reading, &QTimer::timeout, [&] {
            if (run.ctx().gsWindowState.contains(QStringLiteral("c")))
                pool.mnuNextDoc_Click();
        });
        PauseMeter pauses;
        QElapsedTimer t;
        t.start();
        run.reader().nav.mnuOL_OpenAllLinks_Click(int(OpenLinksKind::All));
        reading.start(20);
        const bool drained =
            waitFor([&] { return run.program.completedDocuments().size() > kLinks; }, 1800000);
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        reading.stop();
        memory.stop();
        if (!drained) {
            state.SkipWithError(qPrintable(QStringLiteral("%1 of %2 documents completed")
                                               .arg(run.program.completedDocuments().size() - 1)
                                               .arg(kLinks)));
            return;
        }
        auto session = Recordset::Open(run.ctx().stores->gsCurrentSessionFile);
        state.counters["drain_s"] = seconds;
        state.counters["longest_pause_ms"] = double(pauses.longestMs());
        state.counters["peak_mb"] = double(peakKb) / 1024;
        state.counters["session_rows"] = session ? session->RecordCount() : -1;
        state.counters["session_saves"] = run.reader().log.saves();
        state.counters["session_save_ms"] = run.reader().log.saveMs();
        run.frame().close();
    }
}
BENCHMARK(BM_Queue)->Arg(2000)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    prepareEngineProcess();
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
