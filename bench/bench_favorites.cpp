// Favorites speed: the organizer's tree for a large collection, built and drawn.
#include "favorites/FavoritesTree.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <random>

namespace {

// 10,000 favorites in 300 folders, up to three levels deep, in the store's order.
Recordset collection()
{
    std::mt19937 rng(20261207);
    QStringList folders;
    for (int i = 0; i < 300; ++i) {
        QString path = QStringLiteral("Topic %1").arg(i % 40);
        if (i >= 40)
            path += QStringLiteral("\\Sub %1").arg(i % 7);
        if (i >= 120)
            path += QStringLiteral("\\Part %1").arg(i);
        folders << path;
    }
    Recordset rs = Recordset::Create(FavoritesSchema());
    for (int i = 0; i < 10000; ++i) {
        rs.AddNew();
        (void)rs.SetField(QStringLiteral("Keywords"), folders[int(rng() % folders.size())]);
        (void)rs.SetField(QStringLiteral("Title"), QStringLiteral("Bookmark number %1").arg(i));
        (void)rs.SetField(QStringLiteral("URL"), QStringLiteral("https://example.org/%1").arg(i));
        rs.Update();
    }
    (void)rs.SetSort(QStringLiteral("Keywords, Title"));
    return rs;
}

void BM_BuildFavoritesTree10k(benchmark::State &state)
{
    Recordset rs = collection();
    QTreeWidget view;
    view.setHeaderHidden(true);
    view.setUniformRowHeights(true);
    view.resize(500, 700);
    view.show();
    FavoritesTree tree(&view);
    for (auto _ : state) {
        BuildFavoritesTree(tree, rs, 0);
        view.repaint(); // drawn, not only made
        QApplication::processEvents();
    }
    state.counters["nodes"] = double(view.topLevelItem(0)->childCount());
}
BENCHMARK(BM_BuildFavoritesTree10k)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
