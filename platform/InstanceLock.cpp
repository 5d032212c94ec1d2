#include "platform/InstanceGuard.h"

#include <QFile>
#include <QLockFile>

// Qt's lock file: the owner's process id inside, and a lock whose owner no longer runs is taken over.
struct InstanceGuard::Lock {
    explicit Lock(const QString& path) : file(path) {
        // Only a dead owner makes a lock stale, however old it is.
        file.setStaleLockTime(0);
    }
    QLockFile file;
};

InstanceGuard::InstanceGuard(const QString& profileLocation)
    : m_lock(std::make_unique<Lock>(LockFileFor(profileLocation))) {}

InstanceGuard::~InstanceGuard() = default;

InstanceGuard::Result InstanceGuard::TryAcquire() {
    QLockFile& lock = m_lock->file;
    if (lock.tryLock(0)) {
        return Result::Acquired;
    }
    if (lock.error() == QLockFile::LockFailedError) {
        return Result::Held;
    }
    // QLockFile does not say why; creating the file ourselves does.
    QFile probe(lock.fileName());
    m_problem = probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)
                    ? QStringLiteral("the lock file %1 cannot be made").arg(lock.fileName())
                    : QStringLiteral("cannot create %1: %2").arg(lock.fileName(), probe.errorString());
    if (probe.isOpen()) {
        probe.remove();
    }
    return Result::Unavailable;
}
