#pragma once

#include <QObject>
#include <functional>
#include <map>

class QSocketNotifier;

// Turns Unix signals into calls on the event loop: SIGTERM, SIGINT and SIGHUP close the window the
// normal way. A signal handler may only write to a pipe: it writes the signal's number, and a notifier
// on the other end calls that signal's handler.
// One bridge exists at a time. On Windows the console's control events stand for the signals
// (SignalBridge_win.cpp).
class SignalBridge final : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(std::map<int, std::function<void()>> handlers, QObject* parent = nullptr);
    ~SignalBridge() override;
    Q_DISABLE_COPY_MOVE(SignalBridge)

private:
    void Drain();

    std::map<int, std::function<void()>> m_handlers;
    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr; // child object
};
