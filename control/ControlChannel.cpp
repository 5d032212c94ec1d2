#include "control/ControlChannel.h"

#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>

#ifndef Q_OS_UNIX
#include <QLocalSocket>
#endif

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace ControlChannel {

namespace {

// 96 bits of the hash: no two profiles of one user meet by chance, and the path stays short.
constexpr int kHashDigits = 24;

// Room for the name in a socket address (108 bytes on Linux, 104 on macOS), with some to spare.
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
    QString why;
    if (S_ISLNK(st.st_mode)) {
        why = QStringLiteral("is a symbolic link");
    } else if (!S_ISDIR(st.st_mode)) {
        why = QStringLiteral("is not a folder");
    } else if (st.st_uid != ::geteuid()) {
        why = QStringLiteral("belongs to user %1").arg(st.st_uid);
    } else if ((st.st_mode & forbidden) != 0) {
        why = QStringLiteral("has mode %1, open to others").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    } else {
        return true;
    }
    problem =
        QStringLiteral("the control folder %1 %2 (it must be a folder of the user's own with mode 0700)")
            .arg(path, why);
    return false;
}

QString Folder(bool create, QString& problem) {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
#ifdef Q_OS_LINUX
    // A command from cron or some ssh and sudo sessions has no XDG_RUNTIME_DIR while the board's desktop
    // session has one: logind's folder for the user is where it would point.
    if (runtime.isEmpty()) {
        runtime = QStringLiteral("/run/user/%1").arg(::geteuid());
    }
#endif
    QString unused;
    QString folder = QDir(runtime).filePath(QStringLiteral("kelvra"));
    if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime) || !Owned(runtime, false, unused) ||
        QFile::encodeName(folder).size() + 1 + kHashDigits > kMaxSocketPath) {
        folder = QDir(QDir::tempPath()).filePath(QStringLiteral("kelvra-%1").arg(::geteuid()));
    }
    if (create && ::mkdir(QFile::encodeName(folder).constData(), S_IRWXU) != 0 && errno != EEXIST) {
        problem = QStringLiteral("cannot create the control folder %1: %2")
                      .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    return Owned(folder, true, problem) ? folder : QString();
}

QString Reason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The descriptor, closed with its owner.
class Descriptor final {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Q_DISABLE_COPY_MOVE(Descriptor)
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// Waits until `fd` is ready for `events` or the deadline passes.
bool Ready(int fd, short events, const QElapsedTimer& elapsed, int timeoutMs) {
    pollfd entry{fd, events, 0};
    int n = 0;
    do {
        const qint64 left = timeoutMs - elapsed.elapsed();
        n = left > 0 ? ::poll(&entry, 1, static_cast<int>(left)) : 0;
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

// The exchange over plain POSIX calls: a command then loads no network library, and loading libraries
// is most of what a command costs. The board's side is a QLocalServer all the same.
void Exchange(const QString& name, const std::string& request, int timeoutMs, Answer& answer,
              QByteArray& reply) {
    QElapsedTimer elapsed;
    elapsed.start();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(name);
    if (static_cast<size_t>(path.size()) >= sizeof address.sun_path) {
        answer.problem = QStringLiteral("the socket name %1 is too long").arg(name);
        return;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.Get() < 0 ||
        ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // No socket, or one that a board which died left behind.
        const bool bNoBoard = socket.Get() >= 0 && (errno == ENOENT || errno == ECONNREFUSED);
        answer.outcome = bNoBoard ? Answer::Outcome::NoBoard : Answer::Outcome::Failed;
        answer.problem = QStringLiteral("cannot reach the board at %1: %2").arg(name, Reason());
        return;
    }
    for (size_t sent = 0; sent < request.size();) {
        if (!Ready(socket.Get(), POLLOUT, elapsed, timeoutMs)) {
            answer.problem = QStringLiteral("the board did not take the request in time");
            return;
        }
        const ssize_t n = ::send(socket.Get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            answer.problem = QStringLiteral("cannot send to the board: %1").arg(Reason());
            return;
        }
        sent += static_cast<size_t>(std::max<ssize_t>(n, 0));
    }
    char buffer[4096];
    while (!reply.contains('\n') && static_cast<size_t>(reply.size()) <= ControlMessage::kMaxReplyBytes &&
           Ready(socket.Get(), POLLIN, elapsed, timeoutMs)) {
        const ssize_t n = ::recv(socket.Get(), buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            break;
        }
        reply.append(buffer, std::max<qsizetype>(n, 0));
    }
}
#else
void Exchange(const QString& name, const std::string& request, int timeoutMs, Answer& answer,
              QByteArray& reply) {
    QElapsedTimer elapsed;
    elapsed.start();
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) {
        const bool bNoBoard = socket.error() == QLocalSocket::ServerNotFoundError ||
                              socket.error() == QLocalSocket::ConnectionRefusedError;
        answer.outcome = bNoBoard ? Answer::Outcome::NoBoard : Answer::Outcome::Failed;
        answer.problem = QStringLiteral("cannot reach the board: %1").arg(socket.errorString());
        return;
    }
    socket.write(request.data(), static_cast<qint64>(request.size()));
    socket.flush();
    while (!reply.contains('\n') && static_cast<size_t>(reply.size()) <= ControlMessage::kMaxReplyBytes) {
        const qint64 left = timeoutMs - elapsed.elapsed();
        if (socket.bytesAvailable() == 0 && (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left)))) {
            break;
        }
        reply += socket.read(static_cast<qint64>(ControlMessage::kMaxReplyBytes) + 1 - reply.size());
    }
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
    QByteArray reply;
    Exchange(name, ControlMessage::Encode(request), timeoutMs, answer, reply);
    if (answer.outcome == Answer::Outcome::NoBoard || !answer.problem.isEmpty()) {
        return answer;
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
