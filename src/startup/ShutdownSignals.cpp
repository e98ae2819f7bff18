#include "startup/ShutdownSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = int(std::size(kSignals));

int g_fds[2] = {-1, -1}; // [0] written by the handler, [1] read on the event loop
volatile std::sig_atomic_t g_requested = 0;
struct sigaction g_previous[kSignalCount];

extern "C" void onShutdownSignal(int sig)
{
    // Only async-signal-safe calls here.
    if (g_requested) {
        // The user insists, or the exit hangs: end now, as the signal would have.
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    g_requested = 1;
    const int saved = errno;
    const char byte = char(sig);
    (void)!::write(g_fds[0], &byte, 1);
    errno = saved;
}

} // namespace

ShutdownSignals::ShutdownSignals(std::function<void(int)> onRequest, QObject *parent)
    : QObject(parent), m_onRequest(std::move(onRequest))
{
    if (g_fds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0)
        return;
    g_requested = 0;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownSignals::readSignal);
    struct sigaction action = {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_active = true;
    for (int i = 0; i < kSignalCount; ++i)
        m_active = ::sigaction(kSignals[i], &action, &g_previous[i]) == 0 && m_active;
}

ShutdownSignals::~ShutdownSignals()
{
    if (!m_notifier)
        return;
    for (int i = 0; i < kSignalCount; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_fds[0]);
    ::close(g_fds[1]);
    g_fds[0] = g_fds[1] = -1;
    g_requested = 0;
}

void ShutdownSignals::readSignal()
{
    char byte = 0;
    if (::read(g_fds[1], &byte, 1) != 1)
        return;
    if (m_onRequest)
        m_onRequest(int(byte));
}
