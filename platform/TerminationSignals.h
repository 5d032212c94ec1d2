#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a call on the event loop, so that a program ended by the system
// closes its window the normal way. A signal handler may only write to a pipe: it does, and a notifier
// on the other end calls the handler.
class TerminationSignals final : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    Q_DISABLE_COPY_MOVE(TerminationSignals)

private:
    void Drain();

    std::function<void()> m_onSignal;
    int m_fds[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr; // child object
};
