#pragma once

#include "platform/webengine/WebEnginePlatform.h"

#include <QCoreApplication>

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
