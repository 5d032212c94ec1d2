#include "control/ControlChannel.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include "control/ControlSocket.h"
#else
#include "platform/InstanceGuard.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#endif

namespace ControlChannel {

namespace {

#ifndef Q_OS_UNIX
// 96 bits of the hash: no two profiles of one user meet by chance, and the name stays short.
constexpr int kHashDigits = 24;

QString ProfileHash(const QString& profileLocation) {
    // A profile that is no file (the registry) is named by its key as it stands.
    const QString key = QFileInfo(profileLocation).isAbsolute() && !profileLocation.startsWith(u"\\HKEY")
                            ? InstanceGuard::CanonicalPath(profileLocation)
                            : profileLocation;
    return QString::fromLatin1(
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(kHashDigits));
}

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
        answer.problem = "cannot reach the board: " + socket.errorString().toStdString();
        return;
    }
    socket.write(request.data(), static_cast<qint64>(request.size()));
    socket.flush();
    const auto room = [&reply] {
        return static_cast<qint64>(ControlMessage::kMaxReplyBytes) + 1 - reply.size();
    };
    for (;;) {
        reply += socket.read(room());
        const qint64 left = timeoutMs - elapsed.elapsed();
        if (reply.contains('\n') || room() <= 0 || left <= 0 ||
            socket.state() != QLocalSocket::ConnectedState) {
            break;
        }
        // A wait can end early while the board is still there (wine's pipes do): only the time limit
        // or the board's closing ends the exchange.
        socket.waitForReadyRead(static_cast<int>(left));
    }
    reply += socket.read(room()); // what came with the board's closing
}
#endif

} // namespace

QString ServerName(const QString& profileLocation, bool create, QString& problem) {
    problem.clear();
#ifdef Q_OS_UNIX
    std::string why;
    const std::string name =
        ControlSocket::ServerName(QFile::encodeName(profileLocation).toStdString(), create, why);
    problem = QString::fromLocal8Bit(why);
    return QFile::decodeName(name.c_str());
#else
    Q_UNUSED(create)
    return QStringLiteral("kelvra-") + ProfileHash(profileLocation);
#endif
}

Answer Ask(const QString& profileLocation, const ControlMessage::Request& request, int timeoutMs) {
#ifdef Q_OS_UNIX
    return ControlSocket::Ask(QFile::encodeName(profileLocation).toStdString(), request, timeoutMs);
#else
    Answer answer;
    QString problem;
    const QString name = ServerName(profileLocation, false, problem);
    if (name.isEmpty()) {
        answer.outcome = problem.isEmpty() ? Answer::Outcome::NoBoard : Answer::Outcome::Failed;
        answer.problem = problem.toStdString();
        return answer;
    }
    QByteArray reply;
    Exchange(name, ControlMessage::Encode(request), timeoutMs, answer, reply);
    if (answer.outcome == Answer::Outcome::NoBoard || !answer.problem.empty()) {
        return answer;
    }
    const auto parsed = ControlMessage::ParseReply(std::string_view(reply.constData(), reply.size()));
    if (!parsed.message) {
        answer.problem = reply.isEmpty() ? "the board did not answer"
                                         : "the board's answer cannot be read: " + parsed.error;
        answer.bSilent = reply.isEmpty();
        return answer;
    }
    answer.outcome = Answer::Outcome::Replied;
    answer.reply = *parsed.message;
    return answer;
#endif
}

} // namespace ControlChannel
