#include "platform/SignalBridge.h"

#include <QMetaObject>
#include <csignal>
#include <mutex>
#include <windows.h>

// The console's control events in place of Unix signals: Ctrl+C and Ctrl+Break as SIGINT; the console's
// window closed, logoff and shutdown as SIGTERM. Windows calls the handler on a
// thread of its own; the handler posts to the bridge's thread. For all but Ctrl+C and Ctrl+Break the
// process ends once the handler returns, so it waits there: the board, closing meanwhile, ends the
// process itself, and Windows ends it after its own time-out at the latest.
namespace {

// The one bridge there is, set while it exists.
std::mutex g_mutex;
std::function<void(int)> g_post;

BOOL WINAPI OnControl(DWORD event) {
    const int sig = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
    {
        const std::scoped_lock lock(g_mutex);
        if (!g_post) {
            return FALSE;
        }
        g_post(sig);
    }
    if (sig != SIGINT) {
        ::Sleep(INFINITE);
    }
    return TRUE;
}

} // namespace

SignalBridge::SignalBridge(std::map<int, std::function<void()>> handlers, QObject* parent)
    : QObject(parent), m_handlers(std::move(handlers)) {
    {
        const std::scoped_lock lock(g_mutex);
        g_post = [this](int sig) {
            QMetaObject::invokeMethod(
                this,
                [this, sig] {
                    if (const auto it = m_handlers.find(sig); it != m_handlers.end()) {
                        it->second();
                    }
                },
                Qt::QueuedConnection);
        };
    }
    ::SetConsoleCtrlHandler(OnControl, TRUE);
}

SignalBridge::~SignalBridge() {
    ::SetConsoleCtrlHandler(OnControl, FALSE);
    const std::scoped_lock lock(g_mutex);
    g_post = nullptr;
}

void SignalBridge::Drain() {}
