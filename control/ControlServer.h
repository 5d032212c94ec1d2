#pragma once

#include "control/ControlMessage.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// The running board's end of the control channel: a local socket served on the thread that makes it
// (the window thread), driven by the event loop only, so that no client can ever block that thread.
// Each connection carries one request and gets one reply: the request is parsed here and only a
// well-formed one reaches the handler; anything else gets an error reply and changes nothing. A client
// that sends more than one request's worth, or nothing within the deadline, is cut off; so is one from
// another user. At most a few are open at once: a new one closes the one open longest.
//
// On Unix a plain socket, so that the board loads no network library; elsewhere Qt's local server
// (ControlServer_win.cpp).
class ControlServer final : public QObject {
    Q_OBJECT
public:
    // What the board answers; whatever the request changes is done before it is answered.
    struct Response {
        ControlMessage::Reply reply;
    };
    using Handler = std::function<Response(const ControlMessage::Request&)>;

    static constexpr int kDeadlineMs = 2000;
    static constexpr int kMaxConnections = 8;

    explicit ControlServer(Handler handler, QObject* parent = nullptr);
    ~ControlServer() override;
    Q_DISABLE_COPY_MOVE(ControlServer)

    // Listens on `name` (ControlChannel::ServerName), the socket readable and writable by the user alone.
    // With `bTakeOver` a socket left by a board that died is removed first: only the holder of the
    // instance lock may, as it knows that no other board listens there. False with Problem() otherwise.
    bool Listen(const QString& name, bool bTakeOver);
    const QString& Problem() const { return m_problem; }

private:
    class Link;      // one client's connection
    struct Listener; // the listening end, with the connections open on it

    void Accept();
    void Read(Link& link);
    void Send(Link& link);
    void Close(Link* link);
    // At the connection's deadline. The board may have been busy when it came (a cold start): a request
    // that is there is still answered, with one more deadline to take the reply.
    void Expire(Link* link);

    // The reply's bytes for a whole request (or for more than one may be).
    std::string Take(std::string_view request) const {
        const auto parsed = ControlMessage::ParseRequest(request);
        return ControlMessage::Encode(parsed.message ? m_handler(*parsed.message).reply
                                                     : ControlMessage::Refusal(parsed.error));
    }

    Handler m_handler;
    std::unique_ptr<Listener> m_listener;
    QString m_problem;
};
