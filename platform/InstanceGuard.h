#pragma once

#include <QString>
#include <memory>

// One board per profile: two boards on one profile would each keep their own seconds in memory and
// overwrite each other's charges. The guard is a lock file beside the profile file itself (symbolic
// links resolved, so that two paths to one file share one lock); a lock left by a process that no longer
// runs is taken over, so a crash never blocks the next start. The lock itself is each system's own
// (InstanceLock.cpp, InstanceLock_win.cpp).
class InstanceGuard final {
public:
    enum class Result {
        Acquired,   // this process is now the one board on the profile
        Held,       // a live board holds it
        Unavailable // no lock can be made here (a read-only or full folder): see Problem()
    };

    explicit InstanceGuard(const QString& profileLocation);
    ~InstanceGuard();
    Q_DISABLE_COPY_MOVE(InstanceGuard)

    Result TryAcquire();
    // Why the lock could not be made, after Unavailable.
    const QString& Problem() const { return m_problem; }

    // The file itself, symbolic links resolved; for a file not made yet, its resolved folder.
    static QString CanonicalPath(const QString& path);
    static QString LockFileFor(const QString& profileLocation);

private:
    struct Lock;
    std::unique_ptr<Lock> m_lock;
    QString m_problem;
};
