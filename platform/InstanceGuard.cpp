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
