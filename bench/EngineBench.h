#pragma once

#include "WebHarness.h"
#include "platform/webengine/WebEnginePlatform.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <cstdio>

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

// Every process below `root` (the engine's zygotes, renderers and helpers), `root` included.
inline QList<int> processTree(int root)
{
    QHash<int, QList<int>> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &e : entries) {
        bool ok = false;
        const int pid = e.toInt(&ok);
        if (!ok)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray s = stat.readAll();
        const int close = s.lastIndexOf(')');
        const QList<QByteArray> fields = s.mid(close + 2).split(' ');
        if (fields.size() > 1)
            children[fields.at(1).toInt()] << pid;
    }
    QList<int> out{root};
    for (int i = 0; i < out.size(); ++i)
        out += children.value(out.at(i));
    return out;
}

inline qint64 pssKb(int pid)
{
    QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

inline qint64 totalPssKb(int *processes = nullptr)
{
    const QList<int> tree = processTree(int(QCoreApplication::applicationPid()));
    if (processes)
        *processes = int(tree.size());
    qint64 sum = 0;
    for (int pid : tree)
        sum += pssKb(pid);
    return sum;
}

// The longest time the main thread's event loop went without turning, by a 10 ms timer.
class PauseMeter
{
public:
    PauseMeter()
    {
        m_clock.start();
        m_since.start();
        QObject::connect(&m_tick, &QTimer::timeout, [this] {
            const qint64 pause = m_clock.restart() - 10;
            if (pause > 40 && qEnvironmentVariableIsSet("SKIMLINE_BENCH_PAUSES"))
                std::fprintf(stderr, "pause %lld ms at %lld ms\n", pause, m_since.elapsed());
            m_longest = std::max(m_longest, pause);
        });
        m_tick.start(10);
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_tick;
    QElapsedTimer m_clock, m_since;
    qint64 m_longest = 0;
};
