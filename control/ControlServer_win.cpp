#include "control/ControlServer.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <deque>

// Qt's local server: a named pipe that only the user's own session may open.

class ControlServer::Link final : public QObject {
public:
    Link(QLocalSocket* connection, QObject* parent) : QObject(parent), socket(connection) {
        socket->setParent(this);
    }

    QLocalSocket* socket; // child object
    std::string received;
    bool bAnswered = false; // the request is in and its reply written
};

struct ControlServer::Listener {
    QLocalServer server;
    std::deque<Link*> open; // oldest first; the server's children
};

ControlServer::ControlServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

ControlServer::~ControlServer() = default;

bool ControlServer::Listen(const QString& name, bool bTakeOver) {
    m_listener = std::make_unique<Listener>();
    QLocalServer& server = m_listener->server;
    if (bTakeOver) {
        QLocalServer::removeServer(name);
    }
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(name)) {
        m_problem = QStringLiteral("cannot listen on %1: %2").arg(name, server.errorString());
        m_listener.reset();
        return false;
    }
    connect(&server, &QLocalServer::newConnection, this, &ControlServer::Accept);
    return true;
}

void ControlServer::Accept() {
    while (QLocalSocket* socket = m_listener->server.nextPendingConnection()) {
        // At the cap, the connection open longest goes: clients that hold connections without a request
        // cannot keep a command out, as the newest is always served.
        if (m_listener->open.size() >= static_cast<size_t>(kMaxConnections)) {
            Close(m_listener->open.front());
        }
        auto* link = new Link(socket, this);
        m_listener->open.push_back(link);
        // The socket buffers no more than a request can be long, whatever the client sends.
        socket->setReadBufferSize(static_cast<qint64>(ControlMessage::kMaxRequestBytes) + 1);
        connect(socket, &QLocalSocket::readyRead, this, [this, link] { Read(*link); });
        connect(socket, &QLocalSocket::disconnected, this, [this, link] { Close(link); });
        QTimer::singleShot(kDeadlineMs, link, [this, link] { Expire(link); });
    }
}

void ControlServer::Read(Link& link) {
    const QByteArray bytes =
        link.socket->read(static_cast<qint64>(ControlMessage::kMaxRequestBytes) + 1 - link.received.size());
    link.received.append(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (link.received.find('\n') == std::string::npos &&
        link.received.size() <= ControlMessage::kMaxRequestBytes) {
        return;
    }
    // One request per connection: whatever comes after it is not read.
    disconnect(link.socket, &QLocalSocket::readyRead, this, nullptr);
    link.bAnswered = true;
    const std::string reply = Take(link.received);
    link.socket->write(reply.data(), static_cast<qint64>(reply.size()));
    Send(link);
}

void ControlServer::Send(Link& link) {
    link.socket->flush(); // a reply is far smaller than the pipe's buffer: it leaves now
    // Closes once the reply is written; the deadline ends a client that does not take it.
    link.socket->disconnectFromServer();
}

void ControlServer::Expire(Link* link) {
    if (!link->bAnswered) {
        link->socket->waitForReadyRead(0); // takes in what the pipe holds, which may answer it
    }
    if (!link->bAnswered) {
        Read(*link);
        if (link->bAnswered) {
            QTimer::singleShot(kDeadlineMs, link, [this, link] { Close(link); });
            return;
        }
    }
    Close(link);
}

void ControlServer::Close(Link* link) {
    if (m_listener) {
        std::erase(m_listener->open, link);
    }
    link->socket->abort();
    link->deleteLater(); // not at once: this may run in one of its socket's signals
}
