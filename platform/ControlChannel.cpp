#include "platform/ControlChannel.h"

#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ControlChannel {

namespace {

// 96 bits of the hash: no two profiles of one user meet by chance, and the path stays short.
constexpr int kHashDigits = 24;

// Room for the name in a socket address (108 bytes on Linux, 104 on macOS), with some to spare for
// the temporary name Qt binds under before it moves the socket into place.
constexpr qsizetype kMaxSocketPath = 80;

QString ProfileHash(const QString& profileLocation) {
    // A profile that is no file (the registry) is named by its key as it stands.
    const QString key = QFileInfo(profileLocation).isAbsolute() && !profileLocation.startsWith(u"\\HKEY")
                            ? InstanceGuard::CanonicalPath(profileLocation)
                            : profileLocation;
    return QString::fromLatin1(
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(kHashDigits));
}

#ifdef Q_OS_UNIX
// Whether `path` is a folder of this user's (not a link) that nobody else may write to, or, when
// `bPrivate`, may enter at all. Sets `problem` when it exists and is not.
bool Owned(const QString& path, bool bPrivate, QString& problem) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        if (errno != ENOENT) {
            problem = QStringLiteral("cannot use the control folder %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        }
        return false;
    }
    const mode_t forbidden = bPrivate ? (S_IRWXG | S_IRWXO) : (S_IWGRP | S_IWOTH);
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() || (st.st_mode & forbidden) != 0) {
        problem = QStringLiteral("the control folder %1 is not a folder of the user's own with mode 0700")
                      .arg(path);
        return false;
    }
    return true;
}

QString Folder(bool create, QString& problem) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString unused;
    QString folder = QDir(runtime).filePath(QStringLiteral("kelvra"));
    if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime) || !Owned(runtime, false, unused) ||
        folder.size() + 1 + kHashDigits > kMaxSocketPath) {
        folder = QDir(QDir::tempPath()).filePath(QStringLiteral("kelvra-%1").arg(::geteuid()));
    }
    if (create && ::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        problem = QStringLiteral("cannot create the control folder %1: %2")
                      .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    return Owned(folder, true, problem) ? folder : QString();
}
#endif

} // namespace

QString ServerName(const QString& profileLocation, bool create, QString& problem) {
    problem.clear();
#ifdef Q_OS_UNIX
    const QString folder = Folder(create, problem);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(ProfileHash(profileLocation));
#else
    Q_UNUSED(create)
    return QStringLiteral("kelvra-") + ProfileHash(profileLocation);
#endif
}

Answer Ask(const QString& profileLocation, const ControlMessage::Request& request, int timeoutMs) {
    Answer answer;
    const QString name = ServerName(profileLocation, false, answer.problem);
    if (name.isEmpty()) {
        answer.outcome = answer.problem.isEmpty() ? Answer::Outcome::NoBoard : Answer::Outcome::Failed;
        return answer;
    }
    QElapsedTimer elapsed;
    elapsed.start();
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) {
        // No socket, or one a board that died left behind.
        const bool bNoBoard = socket.error() == QLocalSocket::ServerNotFoundError ||
                              socket.error() == QLocalSocket::ConnectionRefusedError;
        answer.outcome = bNoBoard ? Answer::Outcome::NoBoard : Answer::Outcome::Failed;
        answer.problem = QStringLiteral("cannot reach the board: %1").arg(socket.errorString());
        return answer;
    }
    const std::string bytes = ControlMessage::Encode(request);
    socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket.flush();
    QByteArray reply;
    while (!reply.contains('\n') && static_cast<size_t>(reply.size()) <= ControlMessage::kMaxReplyBytes) {
        const qint64 left = timeoutMs - elapsed.elapsed();
        if (socket.bytesAvailable() == 0 && (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left)))) {
            break;
        }
        reply += socket.read(static_cast<qint64>(ControlMessage::kMaxReplyBytes) + 1 - reply.size());
    }
    const auto parsed = ControlMessage::ParseReply(std::string_view(reply.constData(), reply.size()));
    if (!parsed.message) {
        answer.problem = reply.isEmpty() ? QStringLiteral("the board did not answer")
                                         : QStringLiteral("the board's answer cannot be read: %1")
                                               .arg(QString::fromStdString(parsed.error));
        return answer;
    }
    answer.outcome = Answer::Outcome::Replied;
    answer.reply = *parsed.message;
    return answer;
}

} // namespace ControlChannel
