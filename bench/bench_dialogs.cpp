// The start-up dialogs on the real engine: from the command to a page filled and taking keys.
//
//   BM_OptionsDialogOpen   Tools > Options: the dialog shown, its page loaded and filled from
//                          the settings (goal: under 300 ms).
//   BM_OpenURLDialogOpen   File > Open URL: the dialog shown with the caret in its box.

#include "EngineBench.h"
#include "EngineRig.h"

#include "startup/OpenURL.h"
#include "startup/Options.h"
#include "startup/Settings.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>

namespace {

std::unique_ptr<WebEnginePlatform> g_platform;

template <typename Open> void measureOpen(benchmark::State &state, Open open)
{
    TempProfile profile;
    EngineRig rig(*g_platform, profile.file(QStringLiteral("data")));
    rig.ctx.browsers = g_platform.get();
    rig.ctx.reader = &rig.reader;
    LoadSettings(rig.ctx, rig.file);
    QWidget frame;
    frame.resize(900, 700);
    frame.show();
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QPointer<PageDialog> dialog = open(rig.ctx, &frame);
        if (!WebHarness::waitFor([&] { return dialog && dialog->isReady(); })) {
            state.SkipWithError("the dialog never became ready");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        dialog->close();
        (void)WebHarness::waitFor([&] { return !dialog; });
    }
}

void BM_OptionsDialogOpen(benchmark::State &state)
{
    measureOpen(state, [](AppContext &ctx, QWidget *frame) -> PageDialog * {
        return Options::Show(ctx, frame);
    });
}
BENCHMARK(BM_OptionsDialogOpen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_OpenURLDialogOpen(benchmark::State &state)
{
    measureOpen(state, [](AppContext &ctx, QWidget *frame) -> PageDialog * {
        return OpenURL::Show(ctx, OpenURL::OpenAddress, frame);
    });
}
BENCHMARK(BM_OpenURLDialogOpen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    prepareEngineProcess();
    QApplication app(argc, argv);
    return runBenchmarks(argc, argv, &g_platform);
}
