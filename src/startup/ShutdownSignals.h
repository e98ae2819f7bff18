#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP ask for the program's normal exit instead of killing it: the
// handler only writes a byte to a socket pair, and the request runs from the event loop.
// A second signal while the first is pending or running ends the process at once.
// One instance per process; the previous handlers come back when it goes.
class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    explicit ShutdownSignals(std::function<void(int signal)> onRequest, QObject *parent = nullptr);
    ~ShutdownSignals() override;

    // False when the socket pair or a handler could not be set up (the signals then kill).
    bool isActive() const { return m_active; }

private:
    void readSignal();

    std::function<void(int)> m_onRequest;
    QSocketNotifier *m_notifier = nullptr;
    bool m_active = false;
};
