#include "control/ControlServer.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

bool FromThisUser([[maybe_unused]] const QLocalSocket& socket) {
#ifdef Q_OS_LINUX
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
               0 &&
           peer.uid == ::geteuid();
#else
    return true; // the socket's folder and mode (or the pipe's access list) keep others out
#endif
}

} // namespace

ControlServer::ControlServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)), m_server(new QLocalServer(this)) {
    connect(m_server, &QLocalServer::newConnection, this, &ControlServer::Accept);
}

ControlServer::~ControlServer() = default;

bool ControlServer::Listen(const QString& name, bool bTakeOver) {
    if (bTakeOver) {
        QLocalServer::removeServer(name);
    }
    // A plain bind: it fails while another board's socket is there, where binding elsewhere and moving
    // the socket into place would replace it. The folder is the user's alone, so the socket is never
    // open to others while its mode is set below.
    m_server->setSocketOptions(QLocalServer::NoOptions);
    if (!m_server->listen(name)) {
        m_problem = QStringLiteral("cannot listen on %1: %2").arg(name, m_server->errorString());
        return false;
    }
#ifdef Q_OS_UNIX
    // Made with the umask's mode; only the user reads and writes it.
    ::chmod(QFile::encodeName(m_server->fullServerName()).constData(), S_IRUSR | S_IWUSR);
#endif
    return true;
}

void ControlServer::Accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!FromThisUser(*socket)) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // At the cap, the connection open longest goes: clients that hold connections without a request
        // cannot keep a command out, as the newest is always served.
        if (m_open.size() >= static_cast<size_t>(kMaxConnections)) {
            QLocalSocket* oldest = m_open.front();
            m_open.pop_front();
            oldest->abort();
            oldest->deleteLater();
        }
        m_open.push_back(socket);
        connect(socket, &QObject::destroyed, this, [this, socket] { std::erase(m_open, socket); });
        // The socket buffers no more than a request can be long, whatever the client sends.
        socket->setReadBufferSize(static_cast<qint64>(ControlMessage::kMaxRequestBytes) + 1);
        // The request read so far lives as long as the connection's handler.
        connect(socket, &QLocalSocket::readyRead, this,
                [this, socket, received = std::make_shared<QByteArray>()] { Read(socket, *received); });
        QTimer::singleShot(kDeadlineMs, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
    }
}

void ControlServer::Read(QLocalSocket* socket, QByteArray& received) {
    received += socket->read(static_cast<qint64>(ControlMessage::kMaxRequestBytes) + 1 - received.size());
    const bool bTooLong = static_cast<size_t>(received.size()) > ControlMessage::kMaxRequestBytes;
    if (!received.contains('\n') && !bTooLong) {
        return;
    }
    // One request per connection: whatever comes after the reply is not read.
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const auto parsed = ControlMessage::ParseRequest(std::string_view(received.constData(), received.size()));
    if (!parsed.message) {
        Answer(socket, {ControlMessage::Refusal(parsed.error)});
        return;
    }
    Answer(socket, m_handler(*parsed.message));
}

void ControlServer::Answer(QLocalSocket* socket, const Response& response) {
    const std::string bytes = ControlMessage::Encode(response.reply);
    socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket->flush(); // a reply is far smaller than the socket's buffer: it leaves now
    // Closes once the reply is written; the deadline ends a client that does not take it.
    socket->disconnectFromServer();
}
