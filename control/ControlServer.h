#pragma once

#include "control/ControlMessage.h"

#include <QObject>
#include <QString>
#include <deque>
#include <functional>

class QByteArray;
class QLocalServer;
class QLocalSocket;

// The running board's end of the control channel: a local server on the thread that makes it (the
// window thread), driven by its signals only, so that no client can ever block that thread. Each
// connection carries one request and gets one reply: the request is parsed here and only a well-formed
// one reaches the handler; anything else gets an error reply and changes nothing. A client that sends
// more than one request's worth, or nothing within the deadline, is cut off; so is, on Linux, one from
// another user. At most a few are open at once: a new one closes the one open longest.
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
    void Accept();
    void Read(QLocalSocket* socket, QByteArray& received);
    void Answer(QLocalSocket* socket, const Response& response);

    Handler m_handler;
    QLocalServer* m_server = nullptr; // child object
    std::deque<QLocalSocket*> m_open; // oldest first; each deletes itself when it ends
    QString m_problem;
};
