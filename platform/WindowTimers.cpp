#include "platform/WindowTimers.h"

#include <QTimer>

WindowTimers::WindowTimers(std::function<void(int id)> onTimer, QObject* parent)
    : QObject(parent), m_onTimer(std::move(onTimer)) {}

WindowTimers::~WindowTimers() = default;

void WindowTimers::SetTimer(int id, int intervalMs) {
    auto& timer = m_timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        timer->setTimerType(Qt::CoarseTimer);
        connect(timer.get(), &QTimer::timeout, this, [this, id] { m_onTimer(id); });
    }
    timer->start(intervalMs);
}

void WindowTimers::KillTimer(int id) {
    const auto it = m_timers.find(id);
    if (it != m_timers.end()) {
        it->second->stop();
    }
}

bool WindowTimers::IsActive(int id) const {
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}
