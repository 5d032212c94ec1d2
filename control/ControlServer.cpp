#include "control/ControlServer.h"

#include "control/ControlSocket.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <deque>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long listening rests when the process is out of descriptors: the waiting connection stays queued,
// and the loop is not woken for it again at once.
constexpr int kRestMs = 250;

} // namespace

class ControlServer::Link final : public QObject {
public:
    Link(ControlSocket::Descriptor descriptor, QObject* parent)
        : QObject(parent), socket(std::move(descriptor)), readable(socket.Get(), QSocketNotifier::Read),
          writable(socket.Get(), QSocketNotifier::Write) {
        writable.setEnabled(false);
    }

    ControlSocket::Descriptor socket; // outlives both notifiers
    QSocketNotifier readable;
    QSocketNotifier writable; // while a reply waits for room
    std::string received;
    std::string unsent;
    bool bAnswered = false; // the request is in and its reply made
    bool bDraining = false; // answered: what still comes is read and dropped until the client closes
};

struct ControlServer::Listener {
    Listener(ControlSocket::Descriptor descriptor, std::string name)
        : socket(std::move(descriptor)), path(std::move(name)),
          incoming(socket.Get(), QSocketNotifier::Read) {}
    ~Listener() { ::unlink(path.c_str()); } // the socket is this board's: commands then find no board

    ControlSocket::Descriptor socket;
    std::string path;
    QSocketNotifier incoming;
    std::deque<Link*> open; // oldest first; the server's children
};

ControlServer::ControlServer(Handler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

ControlServer::~ControlServer() = default;

bool ControlServer::Listen(const QString& name, bool bTakeOver) {
    std::string problem;
    const std::string path = QFile::encodeName(name).toStdString();
    ControlSocket::Descriptor socket = ControlSocket::Listen(path, bTakeOver, problem);
    if (socket.Get() < 0) {
        m_problem = QString::fromLocal8Bit(problem);
        return false;
    }
    m_listener = std::make_unique<Listener>(std::move(socket), path);
    connect(&m_listener->incoming, &QSocketNotifier::activated, this, &ControlServer::Accept);
    return true;
}

void ControlServer::Accept() {
    for (;;) {
        int error = 0;
        ControlSocket::Descriptor socket = ControlSocket::Accept(m_listener->socket.Get(), error);
        if (socket.Get() < 0) {
            if (error != EAGAIN && error != EWOULDBLOCK) {
                m_listener->incoming.setEnabled(false);
                QTimer::singleShot(kRestMs, this, [this] { m_listener->incoming.setEnabled(true); });
            }
            return;
        }
        // At the cap, the connection open longest goes: clients that hold connections without a request
        // cannot keep a command out, as the newest is always served.
        if (m_listener->open.size() >= static_cast<size_t>(kMaxConnections)) {
            Close(m_listener->open.front());
        }
        auto* link = new Link(std::move(socket), this);
        m_listener->open.push_back(link);
        connect(&link->readable, &QSocketNotifier::activated, this, [this, link] { Read(*link); });
        connect(&link->writable, &QSocketNotifier::activated, this, [this, link] { Send(*link); });
        QTimer::singleShot(kDeadlineMs, link, [this, link] { Expire(link); });
    }
}

void ControlServer::Read(Link& link) {
    char buffer[4096];
    if (link.bDraining) {
        // A bounded amount each time, so that a client that never stops cannot hold the loop.
        for (int reads = 0; reads < 16; ++reads) {
            const ssize_t n = ::recv(link.socket.Get(), buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            if (n <= 0) {
                Close(&link);
                return;
            }
        }
        return;
    }
    // Never more than a request can be long, whatever the client sends.
    while (link.received.find('\n') == std::string::npos &&
           link.received.size() <= ControlMessage::kMaxRequestBytes) {
        const size_t room = ControlMessage::kMaxRequestBytes + 1 - link.received.size();
        const ssize_t n = ::recv(link.socket.Get(), buffer, std::min(sizeof buffer, room), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return; // the rest is still on its way
        }
        if (n <= 0) {
            Close(&link); // gone before a whole request
            return;
        }
        link.received.append(buffer, static_cast<size_t>(n));
    }
    // One request per connection: whatever comes after it is not read.
    link.readable.setEnabled(false);
    link.bAnswered = true;
    link.unsent = Take(link.received);
    Send(link);
}

void ControlServer::Send(Link& link) {
    link.writable.setEnabled(false);
    while (!link.unsent.empty()) {
        const ssize_t n = ::send(link.socket.Get(), link.unsent.data(), link.unsent.size(), MSG_NOSIGNAL);
        if (n >= 0) {
            link.unsent.erase(0, static_cast<size_t>(n));
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            link.writable.setEnabled(true); // the deadline ends a client that never takes it
            return;
        } else if (errno != EINTR) {
            Close(&link); // the client has gone
            return;
        }
    }
    // The reply is out. Closing with input left unread would reset the connection, and a client still
    // sending a request too long to take could lose the reply with it: the board stops writing and
    // drops what still comes until the client closes, or the connection's deadline.
    ::shutdown(link.socket.Get(), SHUT_WR);
    link.bDraining = true;
    link.readable.setEnabled(true);
}

void ControlServer::Expire(Link* link) {
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
    link->readable.setEnabled(false);
    link->writable.setEnabled(false);
    link->deleteLater(); // not at once: this may run in one of its own notifiers' signals
}
