// History speed: one visit recorded into a large history, as a document window records it on
// the main thread, and the one-second save that follows a run of visits.
#include "reader/History.h"
#include "store/DateValue.h"
#include "store/ErrorLog.h"
#include "store/Recordset.h"
#include "store/Schemas.h"
#include "store/Stores.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cmath>

#include <benchmark/benchmark.h>

namespace {

constexpr int kRecords = 100000;

void fill(Recordset &rs)
{
    const double today = DateValue::now();
    for (int i = 0; i < kRecords; ++i) {
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Title"), QStringLiteral("Visited page %1").arg(i));
        (void)rs.SetField(QStringLiteral("URL"),
                          QStringLiteral("https://site%1.example/page/%2").arg(i % 500).arg(i));
        (void)rs.SetField(QStringLiteral("Domain"), QStringLiteral("site%1.example").arg(i % 500));
        (void)rs.SetField(QStringLiteral("Date"), today - i % 365);
        (void)rs.SetField(QStringLiteral("Visits"), 1 + i % 7);
        rs.Update();
    }
}

// Arg 0: a new address each time; 1: a known one (one visit more).
void BM_RecordHistoryVisit(benchmark::State &state)
{
    ErrorLog log;
    Stores stores(log);
    stores.rsHistory = Recordset::Create(HistorySchema());
    fill(stores.rsHistory);
    const bool known = state.range(0) == 1;
    const QDate today = QDate::currentDate();
    int n = 0;
    for (auto _ : state) {
        HistoryVisit visit;
        visit.url = known ? QStringLiteral("https://site7.example/page/%1").arg(7 + 500 * (n % 100))
                          : QStringLiteral("https://new.example/%1").arg(n);
        visit.title = QStringLiteral("A page");
        visit.domain = QStringLiteral("new.example");
        visit.description = QStringLiteral("What the page says about itself");
        ++n;
        // As RecordHistory does: a cursor of its own over the shared store.
        Recordset history = stores.rsHistory.Clone();
        benchmark::DoNotOptimize(AddHistoryVisit(history, visit, today));
    }
}
BENCHMARK(BM_RecordHistoryVisit)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The coalesced save of a history that large (the file is written whole, atomically).
void BM_SaveHistory100k(benchmark::State &state)
{
    QTemporaryDir dir;
    ErrorLog log;
    Stores stores(log);
    stores.gsHistoryFile = dir.filePath(QStringLiteral("History8.skl"));
    stores.rsHistory = Recordset::Create(HistorySchema(), stores.gsHistoryFile);
    fill(stores.rsHistory);
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveHistory(stores));
}
BENCHMARK(BM_SaveHistory100k)->Unit(benchmark::kMillisecond)->Iterations(3);

// The history page's text for 10,000 records, as the history command builds it before the
// first screenful is shown (part of the event loop's longest pause there).
void BM_HistoryPageParts10k(benchmark::State &state)
{
    Recordset rs = Recordset::Create(HistorySchema());
    const double today = DateValue::now();
    for (int i = 0; i < 10000; ++i) {
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Title"), QStringLiteral("Visited <page> %1").arg(i));
        (void)rs.SetField(QStringLiteral("URL"),
                          QStringLiteral("https://site%1.example/%2").arg(i % 50).arg(i));
        (void)rs.SetField(QStringLiteral("Domain"), QStringLiteral("site%1.example").arg(i % 50));
        (void)rs.SetField(QStringLiteral("Date"), std::floor(today - i / 40));
        if (i % 3 == 0)
            (void)rs.SetField(QStringLiteral("Description"), QStringLiteral("What it says"));
        rs.Update();
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(HistoryPage::pageParts(rs, HistoryPage::ByDate, 120, 2500));
}
BENCHMARK(BM_HistoryPageParts10k)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
