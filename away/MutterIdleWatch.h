#pragma once

#include "platform/BusLink.h"

#include <QDBusContext>
#include <QObject>

// GNOME's own word on the user's input: Mutter's IdleMonitor on the session bus, which also knows Wayland
// sessions. An idle watch fires once no input came for the threshold, a user-active watch at the next
// input: signals, never a poll. Without GNOME it stays silent, and nothing fails.
//
// The window thread never waits on the bus: the connection is made on a pool thread, and every call
// after it is asynchronous.
class MutterIdleWatch final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit MutterIdleWatch(QObject* parent = nullptr);
    ~MutterIdleWatch() override;
    Q_DISABLE_COPY_MOVE(MutterIdleWatch)

    // Watches for `minutes` without input; 0 watches nothing.
    void Start(int minutes);

Q_SIGNALS:
    // Mutter answered: it is the source of inactivity from now on.
    void watching();
    // No input for `seconds` so far, or input again.
    void inactivityChanged(bool inactive, qint64 seconds);
    // Mutter left the bus (the compositor restarted or ended): its watches are gone, and this source
    // stays silent until the next start.
    void vanished();

private Q_SLOTS:
    void OnWatchFired(uint id);
    void OnNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    void Follow();
    void AddActiveWatch();

    BusLink m_link;
    qint64 m_thresholdMs = 0;
    QString m_owner; // Mutter's unique name: the only sender believed
    uint m_idleWatch = 0;
    uint m_activeWatch = 0;
};
