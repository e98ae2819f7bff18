// The loading queue against a local server, and the program's memory with many windows.
//
//   BM_QueueDrain60      60 pages, each answered after 50 ms, through LoadDocument, four at a
//                        time; real time until every page has completed (ideal: 60/4 x 50 ms).
//   BM_QueueDrain60Bare/<fresh>  the same pages through 60 bare engine views, four at a time:
//                        the engine's floor on this machine; /1 makes each view as its load
//                        starts, as for new windows.
//   BM_Memory50/<mode>   total proportional memory (PSS) of the program and all its engine
//                        processes with 50 document windows open over 10 sites: awake, then
//                        with every window read and put to sleep. Each mode (the engine's
//                        process model, how read windows sleep) runs in a fresh process.

#include "EngineBench.h"
#include "EngineRig.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cstdio>
#include <memory>

namespace {

std::unique_ptr<WebEnginePlatform> g_platform;

bool allComplete(const EngineRig &rig, int documents)
{
    return rig.count(QStringLiteral("bLoaded = 1")) == documents && rig.ctx.giLoadingCount == 0 &&
           rig.reader.queue.queuedCount() == 0;
}

void BM_QueueDrain60(benchmark::State &state)
{
    constexpr int kPages = 60;
    constexpr int kDelayMs = 50;
    int maxInFlight = 0;
    qint64 longestPause = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto http = std::make_unique<HttpFixture>();
        for (int i = 1; i <= kPages; ++i)
            http->addSlow(QStringLiteral("/d%1.htm").arg(i),
                          HttpFixture::html(QStringLiteral("D%1").arg(i), QStringLiteral("d")),
                          kDelayMs);
        auto profile = std::make_unique<TempProfile>();
        // Slot 0 is the window being read: 60 background windows need 61 slots.
        auto rig = std::make_unique<EngineRig>(*g_platform, profile->file(QStringLiteral("data")),
                                               kPages + 1);
        state.ResumeTiming();
        for (int i = 1; i <= kPages; ++i)
            (void)rig->reader.queue.LoadDocument(
                http->url(QStringLiteral("/d%1.htm").arg(i)).toString());
        // While the loads run, not the turn that queued them all.
        PauseMeter pauses;
        if (!WebHarness::waitFor([&] { return allComplete(*rig, kPages); }, 300000)) {
            state.SkipWithError("not every page completed");
            break;
        }
        state.PauseTiming();
        longestPause = std::max(longestPause, pauses.longestMs());
        maxInFlight = std::max(maxInFlight, http->maxInFlight());
        rig.reset();
        http.reset();
        profile.reset();
        QTest::qWait(200);
        state.ResumeTiming();
    }
    state.counters["ideal_ms"] = double(kPages) / kMaxDownloads * kDelayMs;
    state.counters["max_in_flight"] = maxInFlight;
    state.counters["longest_pause_ms"] = double(longestPause);
}
BENCHMARK(BM_QueueDrain60)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The same with 60 read windows waiting to be reused: the queue without the cost of making
// windows and their renderers.
void BM_QueueDrain60Reused(benchmark::State &state)
{
    constexpr int kPages = 60;
    constexpr int kDelayMs = 50;
    HttpFixture http;
    for (int i = 1; i <= kPages; ++i)
        http.addSlow(QStringLiteral("/d%1.htm").arg(i),
                     HttpFixture::html(QStringLiteral("D%1").arg(i), QStringLiteral("d")),
                     kDelayMs);
    TempProfile profile;
    EngineRig rig(*g_platform, profile.file(QStringLiteral("data")), kPages + 1);
    rig.reader.sleepReadWindows = false;
    int round = 0;
    qint64 longestPause = 0;
    const auto loadAll = [&] {
        ++round;
        for (int i = 1; i <= kPages; ++i)
            (void)rig.reader.queue.LoadDocument(
                http.url(QStringLiteral("/d%1.htm?r%2").arg(i).arg(round)).toString());
        PauseMeter pauses;
        const bool done = WebHarness::waitFor(
            [&] { return allComplete(rig, kPages) && rig.count("bRead = 0") == kPages; }, 300000);
        longestPause = std::max(longestPause, pauses.longestMs());
        return done;
    };
    const auto readAll = [&] {
        for (int slot = 1; slot < rig.reader.pool.slotCount(); ++slot)
            rig.reader.pool.ActivateWindow(slot);
        // Back to window 0; the window read last is left too.
        rig.reader.pool.ActivateWindow(0);
        for (int slot = 1; slot < rig.reader.pool.slotCount(); ++slot)
            if (rig.state(slot) == QLatin1String("p"))
                rig.reader.pool.setState(slot, QStringLiteral("f"));
    };
    if (!loadAll()) {
        state.SkipWithError("not every page completed");
        return;
    }
    readAll();
    for (auto _ : state) {
        if (!loadAll()) {
            state.SkipWithError("not every page completed");
            break;
        }
        state.PauseTiming();
        readAll();
        state.ResumeTiming();
    }
    state.counters["ideal_ms"] = double(kPages) / kMaxDownloads * kDelayMs;
    state.counters["windows"] = rig.reader.pool.slotCount();
    state.counters["longest_pause_ms"] = double(longestPause);
    // What keeping the session file current costs, per round of 60 pages.
    state.counters["session_saves"] = double(rig.reader.log.saves()) / (round);
    state.counters["session_save_ms"] = rig.reader.log.saveMs() / (round);
}
BENCHMARK(BM_QueueDrain60Reused)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The engine's own floor for the run above: 60 bare views already made, the same pages, four
// at a time, nothing of the program around them.
void BM_QueueDrain60Bare(benchmark::State &state)
{
    constexpr int kPages = 60;
    constexpr int kDelayMs = 50;
    // 0: the views exist and have shown a page before (the reused run); 1: each load makes its
    // view (the run with new windows).
    const bool fresh = state.range(0) == 1;
    HttpFixture http;
    for (int i = 1; i <= kPages; ++i)
        http.addSlow(QStringLiteral("/d%1.htm").arg(i),
                     HttpFixture::html(QStringLiteral("D%1").arg(i), QStringLiteral("d")),
                     kDelayMs);
    std::vector<std::unique_ptr<QWebEngineView>> views(kPages);
    const auto makeView = [&](std::unique_ptr<QWebEngineView> &view) {
        view = std::make_unique<QWebEngineView>();
        view->setPage(new QWebEnginePage(g_platform->profile(), view.get()));
        view->resize(800, 600);
        view->show();
    };
    int round = 0;
    qint64 longestPause = 0;
    const auto drain = [&] {
        ++round;
        int next = 0, done = 0;
        std::function<void()> start = [&] {
            const int i = next++;
            if (fresh)
                makeView(views[i]);
            QObject::connect(views[i].get(), &QWebEngineView::loadFinished, views[i].get(), [&] {
                ++done;
                if (next < kPages)
                    start();
            });
            views[i]->load(http.url(QStringLiteral("/d%1.htm?r%2").arg(i + 1).arg(round)));
        };
        while (next < kMaxDownloads)
            start();
        PauseMeter pauses;
        const bool drained = WebHarness::waitFor([&] { return done == kPages; }, 300000);
        longestPause = std::max(longestPause, pauses.longestMs());
        for (auto &view : views)
            QObject::disconnect(view.get(), &QWebEngineView::loadFinished, nullptr, nullptr);
        return drained;
    };
    if (!fresh) {
        for (auto &view : views)
            makeView(view);
    }
    if (!fresh && !drain()) {
        state.SkipWithError("not every page completed");
        return;
    }
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            for (auto &view : views)
                view.reset();
            QTest::qWait(200);
            state.ResumeTiming();
        }
        if (!drain()) {
            state.SkipWithError("not every page completed");
            break;
        }
    }
    state.counters["ideal_ms"] = double(kPages) / kMaxDownloads * kDelayMs;
    state.counters["longest_pause_ms"] = double(longestPause);
}
BENCHMARK(BM_QueueDrain60Bare)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// A page server on one loopback address: each address is a site of its own to the engine.
class SiteServer : public QObject
{
public:
    explicit SiteServer(const QString &address)
    {
        m_server.listen(QHostAddress(address), 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
                connect(s, &QTcpSocket::readyRead, s, [s] {
                    const QByteArray request = s->readAll();
                    const QByteArray path = request.split(' ').value(1);
                    const QByteArray body = "<html><head><title>M" + path +
                                            "</title></head><body><p>" + QByteArray(2000, 'x') +
                                            "</p></body></html>";
                    s->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                             body);
                    s->disconnectFromHost();
                });
            }
        });
    }
    bool ok() const { return m_server.isListening(); }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://%1:%2%3")
            .arg(m_server.serverAddress().toString())
            .arg(m_server.serverPort())
            .arg(path);
    }

private:
    QTcpServer m_server;
};

// Runs in its own process: 50 windows over 10 sites, then every one read and asleep.
int memoryChild(const QString &sleepMode)
{
    constexpr int kWindows = 50;
    g_platform = WebHarness::createPlatform();
    std::vector<std::unique_ptr<SiteServer>> sites;
    for (int i = 1; i <= 10; ++i) {
        sites.push_back(std::make_unique<SiteServer>(QStringLiteral("127.0.0.%1").arg(i)));
        if (!sites.back()->ok())
            return 3;
    }
    TempProfile profile;
    auto rig = std::make_unique<EngineRig>(*g_platform, profile.file(QStringLiteral("data")),
                                           kWindows + 1);
    rig->reader.sleepMode =
        sleepMode == QLatin1String("freeze") ? SleepMode::Freeze : SleepMode::Discard;
    for (int i = 1; i <= kWindows; ++i)
        (void)rig->reader.queue.LoadDocument(sites.at(i % 10)->url(QStringLiteral("/%1").arg(i)));
    if (!WebHarness::waitFor([&] { return allComplete(*rig, kWindows); }, 300000))
        return 2;
    QTest::qWait(3000);
    int processes = 0;
    const qint64 awake = totalPssKb(&processes);
    // The user reads every window in turn; each read window falls asleep after a while.
    for (int i = 0; i <= kWindows; ++i)
        rig->reader.pool.mnuNextDoc_Click();
    rig->ui.fireTimers();
    QTest::qWait(5000);
    int processesAsleep = 0;
    const qint64 asleep = totalPssKb(&processesAsleep);
    int pages = 0;
    for (int slot = 1; slot <= kWindows; ++slot)
        pages += rig->window(slot) && rig->window(slot)->strDocumentTitle.startsWith('M') ? 1 : 0;
    std::printf("awake_kb %lld asleep_kb %lld processes %d processes_asleep %d pages %d\n",
                static_cast<long long>(awake), static_cast<long long>(asleep), processes,
                processesAsleep, pages);
    std::fflush(stdout);
    rig.reset();
    g_platform.reset();
    return 0;
}

void BM_Memory50(benchmark::State &state, const char *processModel, const char *sleepMode)
{
    for (auto _ : state) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QString flags = env.value(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
                                  QStringLiteral("--disable-gpu"));
        if (QLatin1String(processModel) == QLatin1String("per-site"))
            flags += QStringLiteral(" --process-per-site");
        else if (QLatin1String(processModel) == QLatin1String("limit10"))
            flags += QStringLiteral(" --renderer-process-limit=10");
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), flags);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--memory-child"), QString::fromLatin1(sleepMode)});
        if (!child.waitForFinished(600000) || child.exitCode() != 0) {
            state.SkipWithError("the measuring process failed");
            return;
        }
        const QList<QByteArray> f = child.readAllStandardOutput().trimmed().split(' ');
        if (f.size() < 8) {
            state.SkipWithError("no figures");
            return;
        }
        state.counters["awake_MB"] = f.at(1).toDouble() / 1024.0;
        state.counters["asleep_MB"] = f.at(3).toDouble() / 1024.0;
        state.counters["processes"] = f.at(5).toDouble();
        state.counters["processes_asleep"] = f.at(7).toDouble();
        state.counters["pages"] = f.value(9).toDouble();
    }
}
BENCHMARK_CAPTURE(BM_Memory50, default_discard, "default", "discard")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Memory50, default_freeze, "default", "freeze")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Memory50, per_site_discard, "per-site", "discard")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(BM_Memory50, renderer_limit10_discard, "limit10", "discard")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    prepareEngineProcess();
    QApplication app(argc, argv);
    if (argc >= 3 && QByteArray(argv[1]) == "--memory-child")
        return memoryChild(QString::fromLocal8Bit(argv[2]));
    return runBenchmarks(argc, argv, &g_platform, [](WebEnginePlatform &platform) {
        // Only the pages count as downloads here, not the engine's icon requests.
        platform.profile()->settings()->setAttribute(QWebEngineSettings::AutoLoadIconsForPage,
                                                     false);
    });
}
