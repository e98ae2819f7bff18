// The address box's drop-down with 10,000 favorites.
//
//   BM_AddressBoxKeystroke  one keystroke in the box, from the key's DOM event to the popup
//                           filtered, rebuilt and painted (goal: 16 ms, one frame).

#include "FakeBrowserControl.h"
#include "FakeDocument.h"
#include "frame/PopupWindow.h"
#include "frame/cPopup.h"
#include "platform/Document.h"
#include "reader/AppContext.h"
#include "store/Schemas.h"
#include "store/Stores.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>

namespace {

void BM_AddressBoxKeystroke(benchmark::State &state)
{
    ErrorLog log;
    Stores stores(log);
    stores.rsFavorites = Recordset::Create(FavoritesSchema());
    for (int i = 0; i < 10000; ++i) {
        if (!stores.rsFavorites.AddNew({QStringLiteral("URL"), QStringLiteral("Title")},
                                       {QStringLiteral("http://site%1.example/news/%1.htm").arg(i),
                                        QStringLiteral("Page %1").arg(i)})) {
            state.SkipWithError("favorites refused");
            return;
        }
    }
    AppContext ctx;
    ctx.stores = &stores;
    QWidget frame;
    frame.resize(1200, 800);
    frame.show();
    FakeWeb web;
    FakeDocument topBar(web);
    topBar.beginDocument(QUrl(QStringLiteral("skl-app://pages/topbar.htm")),
                         QStringLiteral("<input id=AddrBox>"));
    topBar.setReadyState(ReadyState::Complete);
    cPopup box(ctx, &frame);
    box.PopupInitializeClass(topBar);
    box.SetAddrBoxDimensions(600, 40, 500);

    // "site123" and "site124" each match 11 favorites: every key filters all 10,000 again.
    int i = 0;
    for (auto _ : state) {
        DomEvent e;
        e.source.id = QStringLiteral("AddrBox");
        e.source.tagName = QStringLiteral("INPUT");
        e.source.value = (i++ % 2) ? QStringLiteral("site123") : QStringLiteral("site124");
        e.type = DomEventType::KeyPress;
        box.domEvent(e);
        e.type = DomEventType::KeyUp;
        e.keyCode = '3';
        box.domEvent(e);
        box.popup()->repaint();
        if (box.popup()->count() != 11) {
            state.SkipWithError("the list did not show");
            return;
        }
    }
}
BENCHMARK(BM_AddressBoxKeystroke)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
