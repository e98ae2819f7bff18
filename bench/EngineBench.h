#pragma once

#include "WebHarness.h"
#include "platform/webengine/WebEnginePlatform.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <functional>
#include <memory>

// What a benchmark on the real engine sets before its QApplication exists: headless unless a
// display is asked for, no sandbox (root), no GPU, the program's schemes.
inline void prepareEngineProcess()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    WebEnginePlatform::registerSchemes();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

// Runs the benchmarks the command line names. The engine they share, when asked for, is made
// once the application exists and goes before it does.
inline int runBenchmarks(int &argc, char **argv,
                         std::unique_ptr<WebEnginePlatform> *platform = nullptr,
                         const std::function<void(WebEnginePlatform &)> &configure = {})
{
    if (platform) {
        *platform = WebHarness::createPlatform();
        if (configure)
            configure(**platform);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (platform)
        platform->reset();
    return 0;
}
