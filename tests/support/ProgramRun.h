#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

// The real program in a process of its own, while this thread's event loop keeps answering
// (the HTTP fixture serves from it).
namespace ProgramRun {

// Reads the program's output into out until it holds text; false when the program ended or
// ms passed first.
inline bool waitForOutput(QProcess &p, QByteArray &out, const QByteArray &text, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!out.contains(text)) {
        if (p.state() == QProcess::NotRunning || t.elapsed() > ms)
            return false;
        QTest::qWait(50);
        out += p.readAllStandardOutput();
    }
    return true;
}

} // namespace ProgramRun
