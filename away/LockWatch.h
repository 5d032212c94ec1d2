#pragma once

#include "platform/BusLink.h"

#include <QDBusContext>
#include <QObject>
#include <QVariantMap>
#include <memory>
#include <optional>

// Follows whether the screen of this login session is locked, and whether its desktop says the user is
// inactive (IdleHint, the fallback where no nearer source tells): logind's session properties on
// the system bus (DBUS_SYSTEM_BUS_ADDRESS, when set, names it). The session is the one XDG_SESSION_ID
// names, else this process's. Without a system bus or logind it stays silent, and nothing fails.
//
// The window thread never waits on the bus: the connection and the search for the session run on a
// pool thread, and everything after it is asynchronous. A bus that hangs only delays that thread (and
// the end of the process, which waits for the pool, by libdbus's timeout at most).
class LockWatch final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    explicit LockWatch(QObject* parent = nullptr);
    ~LockWatch() override;
    Q_DISABLE_COPY_MOVE(LockWatch)

    void Start();

Q_SIGNALS:
    // Also the first reading, when it says locked.
    void lockedChanged(bool locked);
    // logind's IdleHint for the session changed: no input for `seconds` so far, or input again.
    void inactivityChanged(bool inactive, qint64 seconds);
    // The session was found and is followed from now on.
    void watching();

private Q_SLOTS:
    void OnPropertiesChanged(const QString& interface, const QVariantMap& changed,
                             const QStringList& invalidated);
    void OnNameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    struct Session {
        QString path;
        QString owner; // logind's unique name: the only sender believed (a restarted logind has another)
    };

    void Follow(const Session& session);
    void ReadLockedHint();
    void Set(bool locked);

    BusLink m_link;
    Session m_session;
    bool m_locked = false;
    bool m_bIdle = false;
};
