#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <memory>

class QTimer;

// Window timers by id: setting an id again restarts it with the new interval, and every expiry calls
// the owner's handler with the id.
class WindowTimers final : public QObject {
    Q_OBJECT
public:
    explicit WindowTimers(std::function<void(int id)> onTimer, QObject* parent = nullptr);
    ~WindowTimers() override;

    void SetTimer(int id, int intervalMs);
    void KillTimer(int id);
    bool IsActive(int id) const;

private:
    std::function<void(int)> m_onTimer;
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};
