#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The one thing the handler may touch; set while a TerminationSignals object exists.
volatile sig_atomic_t g_writeFd = -1;

void OnSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (g_writeFd >= 0) {
        [[maybe_unused]] const auto n = ::write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace
#endif

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_fds) != 0) {
        return;
    }
    g_writeFd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(sig, &action, nullptr);
    }
#endif
}

TerminationSignals::~TerminationSignals() {
#ifdef Q_OS_UNIX
    if (m_fds[0] >= 0) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            ::sigaction(sig, &action, nullptr);
        }
        g_writeFd = -1;
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
#endif
}

void TerminationSignals::Drain() {
#ifdef Q_OS_UNIX
    char buffer[64];
    while (::read(m_fds[1], buffer, sizeof buffer) > 0) {
    }
#endif
    m_onSignal();
}
