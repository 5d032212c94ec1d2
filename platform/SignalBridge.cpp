#include "platform/SignalBridge.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The one thing the handler may touch; set while a bridge exists.
volatile sig_atomic_t g_writeFd = -1;

void OnSignal(int sig) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    if (g_writeFd >= 0) {
        [[maybe_unused]] const auto n = ::write(g_writeFd, &byte, 1);
    }
    errno = saved;
}

} // namespace
#endif

SignalBridge::SignalBridge(std::map<int, std::function<void()>> handlers, QObject* parent)
    : QObject(parent), m_handlers(std::move(handlers)) {
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_fds) != 0) {
        return;
    }
    g_writeFd = m_fds[0];
    m_notifier = new QSocketNotifier(m_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalBridge::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const auto& [sig, handler] : m_handlers) {
        ::sigaction(sig, &action, nullptr);
    }
#endif
}

SignalBridge::~SignalBridge() {
#ifdef Q_OS_UNIX
    if (m_fds[0] >= 0) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        for (const auto& [sig, handler] : m_handlers) {
            ::sigaction(sig, &action, nullptr);
        }
        g_writeFd = -1;
        ::close(m_fds[0]);
        ::close(m_fds[1]);
    }
#endif
}

void SignalBridge::Drain() {
#ifdef Q_OS_UNIX
    unsigned char signals[64];
    ssize_t n = 0;
    while ((n = ::read(m_fds[1], signals, sizeof signals)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            const auto it = m_handlers.find(signals[i]);
            if (it != m_handlers.end()) {
                it->second();
            }
        }
    }
#endif
}
