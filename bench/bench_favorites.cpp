// Favorites speed: the organizer's tree for a large collection, built and drawn; a large
// Firefox collection imported.
#include "BookmarkSources.h"
#include "favorites/BookmarkImport.h"
#include "favorites/FavoritesTree.h"
#include "store/Recordset.h"

#include <QApplication>
#include <QTemporaryDir>
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

// What the first start does with a Firefox profile of 10,000 bookmarks: places.sqlite copied
// and read, the bookmarks added to an empty favorites store.
void BM_ImportFirefox10k(benchmark::State &state)
{
    using namespace BookmarkSources;
    QTemporaryDir dir;
    const QString error =
        writeFirefoxProfile(dir.path(), nestedFolders(9800, QStringLiteral("menu")),
                            nestedFolders(200, QStringLiteral("bar"), 9800), {});
    if (!error.isEmpty()) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    int added = 0;
    for (auto _ : state) {
        Recordset rs = Recordset::Create(FavoritesSchema());
        const BookmarkImport found = ReadFirefoxProfile(dir.path());
        added = AddImportedBookmarks(rs, found.bookmarks, false);
        benchmark::DoNotOptimize(added);
    }
    state.counters["bookmarks"] = added;
}
BENCHMARK(BM_ImportFirefox10k)->Unit(benchmark::kMillisecond)->MinTime(2.0);

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
