#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString InstanceGuard::CanonicalPath(const QString& path) {
    const QFileInfo info(path);
    const QString file = info.canonicalFilePath();
    if (!file.isEmpty()) {
        return file;
    }
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
}

QString InstanceGuard::LockFileFor(const QString& profileLocation) {
    // Beside the profile file, its folder made first so that the first run locks where later runs do.
    const QFileInfo info(profileLocation);
    if (info.isAbsolute() && !profileLocation.startsWith(QStringLiteral("\\HKEY"))) {
        QDir().mkpath(info.absolutePath());
        return CanonicalPath(profileLocation) + QStringLiteral(".instance");
    }
    // A profile that is no file (the registry): a lock named after it in the temporary folder.
    const QByteArray hash =
        QCryptographicHash::hash(profileLocation.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
        .filePath(QStringLiteral("kelvra-%1.instance").arg(QString::fromLatin1(hash)));
}

InstanceGuard::InstanceGuard(const QString& profileLocation) : m_lock(LockFileFor(profileLocation)) {
    // Only a dead owner makes a lock stale, however old it is.
    m_lock.setStaleLockTime(0);
}

InstanceGuard::Result InstanceGuard::TryAcquire() {
    if (m_lock.tryLock(0)) {
        return Result::Acquired;
    }
    if (m_lock.error() == QLockFile::LockFailedError) {
        return Result::Held;
    }
    // QLockFile does not say why; creating the file ourselves does.
    QFile probe(m_lock.fileName());
    m_problem = probe.open(QIODevice::WriteOnly | QIODevice::NewOnly)
                    ? QStringLiteral("the lock file %1 cannot be made").arg(m_lock.fileName())
                    : QStringLiteral("cannot create %1: %2").arg(m_lock.fileName(), probe.errorString());
    if (probe.isOpen()) {
        probe.remove();
    }
    return Result::Unavailable;
}
