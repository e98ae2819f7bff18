// Link checker speed:
//   BM_LinkCheck1000   1,000 favorites on 20 hosts answered by the test server (as their
//                      proxy), a tenth of them after 2 s: the whole run, report included.
#include "HttpFixture.h"
#include "StoredContext.h"
#include "TempProfile.h"
#include "favorites/LinkChecker.h"
#include "platform/HttpClient.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

void BM_LinkCheck1000(benchmark::State &state)
{
    HttpFixture http;
    http.answerEveryHost();
    http.addHtml(QStringLiteral("/fast"), QStringLiteral("fast"), QStringLiteral("x"));
    http.addSlow(QStringLiteral("/slow"), "slow", 2000);
    int peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TempProfile profile;
        StoredContext c(profile.file(QStringLiteral("data")));
        Recordset &rs = c.stores.rsFavorites;
        for (int i = 0; i < 1000; ++i) {
            rs.AddNew();
            (void)rs.SetField(QStringLiteral("Title"), QString::number(i));
            (void)rs.SetField(QStringLiteral("URL"), QStringLiteral("http://h%1.test/%2?%3")
                                                         .arg(i % 20)
                                                         .arg(i % 10 == 3 ? QStringLiteral("slow")
                                                                          : QStringLiteral("fast"))
                                                         .arg(i));
            rs.Update();
        }
        QtHttpClient client;
        LinkChecker checker(c.ctx, client);
        QEventLoop loop;
        LinkCheckOutput out;
        out.append = [](const QString &) {};
        out.finished = [&loop] { loop.quit(); };
        state.ResumeTiming();
        if (!checker.start(LinkCheckScope::All, out)) {
            state.SkipWithError("the run did not start");
            return;
        }
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        loop.exec();
        state.PauseTiming();
        peak = std::max(peak, http.maxInFlight());
        state.ResumeTiming();
    }
    state.counters["most_in_flight"] = peak;
}
BENCHMARK(BM_LinkCheck1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
