#pragma once

#include <QLockFile>
#include <QString>

// One board per profile: two boards on one profile would each keep their own seconds in memory and
// overwrite each other's charges. The guard is a lock file beside the profile; a lock left by a process
// that no longer runs is taken over, so a crash never blocks the next start.
class InstanceGuard final {
public:
    explicit InstanceGuard(const QString& profileLocation);
    Q_DISABLE_COPY_MOVE(InstanceGuard)

    // True when this process is now the one board on the profile.
    bool TryAcquire();
    // Asks the board that holds the lock to come to the front; false when it cannot be reached.
    bool NotifyOwner() const;

    static QString LockFileFor(const QString& profileLocation);

private:
    QLockFile m_lock;
};
