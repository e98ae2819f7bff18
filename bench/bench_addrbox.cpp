// The address box's drop-down with 10,000 favorites.
//
//   BM_AddressBoxKeystroke         one keystroke in the box, from the key's DOM event to the
//                                  popup filtered, rebuilt and painted (goal: 16 ms, one frame).
//   BM_AddressBoxKeystrokeEngine   the same in the running program on the real engine, from the
//                                  key pressed on the top bar's view to the popup shown.

#include "EngineBench.h"
#include "FakeBrowserControl.h"
#include "FakeDocument.h"
#include "FakePlatform.h"
#include "TempProfile.h"
#include "WebHarness.h"
#include "frame/MDIForm1.h"
#include "frame/Pane.h"
#include "frame/PopupWindow.h"
#include "frame/cPopup.h"
#include "platform/Document.h"
#include "reader/AppContext.h"
#include "startup/Main.h"
#include "store/Schemas.h"
#include "store/Stores.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
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

void BM_AddressBoxKeystrokeEngine(benchmark::State &state)
{
    using namespace WebHarness;
    TempProfile profile;
    std::unique_ptr<WebEnginePlatform> platform = createPlatform(modMain::findPagesFolder());
    FakeUi ui;
    FakeShell shell;
    FakeHttpClient http;
    modMain program(Platform{platform.get(), &ui, &shell, &http},
                    StartArguments::parse({QStringLiteral("--no-first-run")}, QDir::currentPath()));
    if (program.Main() != modMain::Outcome::Running) {
        state.SkipWithError("the program did not start");
        return;
    }
    AppContext &ctx = program.context();
    auto *frame = static_cast<MDIForm1 *>(ctx.mainForm);
    Recordset &favorites = ctx.stores->rsFavorites;
    for (int i = 0; i < 10000; ++i) {
        if (!favorites.AddNew({QStringLiteral("URL"), QStringLiteral("Title")},
                              {QStringLiteral("http://site%1.example/news/%1.htm").arg(i),
                               QStringLiteral("Page %1").arg(i)})) {
            state.SkipWithError(qPrintable(favorites.lastError()));
            return;
        }
    }
    auto &topBar = static_cast<WebEngineControl &>(frame->topBarPane()->control());
    cPopup &box = *frame->addressBox();
    if (!waitFor([&] { return frame->topBarPane()->isReady(); })) {
        state.SkipWithError("no top bar");
        return;
    }
    frame->mnuViewSetFocusAB_Click();
    waitFor([&] {
        return runScript(topBar, QStringLiteral("document.hasFocus() && "
                                                "document.activeElement.id == 'AddrBox'"))
            .toBool();
    });
    typeText(topBar, QStringLiteral("site12")); // 111 matches: no list
    if (!waitFor([&] { return box.text() == QLatin1String("site12"); })) {
        state.SkipWithError(
            qPrintable(QStringLiteral("the box did not take the keys: ") + box.text()));
        return;
    }
    for (auto _ : state) {
        QElapsedTimer t;
        t.start();
        pressKey(topBar, Qt::Key_3);
        if (!waitFor([&] { return box.mbShown; })) {
            state.SkipWithError(qPrintable(QStringLiteral("the list did not show: ") + box.text()));
            return;
        }
        box.popup()->repaint();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        pressKey(topBar, Qt::Key_Backspace);
        if (!waitFor([&] { return !box.mbShown; })) {
            state.SkipWithError("the list did not close");
            return;
        }
    }
    frame->close();
}
BENCHMARK(BM_AddressBoxKeystrokeEngine)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace

int main(int argc, char **argv)
{
    prepareEngineProcess();
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv);
}
