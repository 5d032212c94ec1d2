#include "LoopbackServer.h"

#include <algorithm>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

// Short polls, so that every loop notices a stop request soon.
static bool Readable(int descriptor) {
    pollfd entry{descriptor, POLLIN, 0};
    return ::poll(&entry, 1, 20) > 0;
}

LoopbackServer::LoopbackServer(ScriptedReply reply) : m_reply(std::move(reply)) {
    m_nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(m_nListen, reinterpret_cast<const sockaddr*>(&address), size);
    ::getsockname(m_nListen, reinterpret_cast<sockaddr*>(&address), &size);
    m_nPort = ntohs(address.sin_port);
    ::listen(m_nListen, 8);
    m_thread = std::thread([this] {
        while (!m_bStop) {
            if (const int connection =
                    Readable(m_nListen) ? ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC) : -1;
                connection >= 0) {
                m_bServing = true;
                Serve(connection);
                ::close(connection);
                m_bServing = false;
            }
        }
    });
}

LoopbackServer::~LoopbackServer() {
    m_bStop = true;
    m_thread.join();
    ::close(m_nListen);
}

std::string LoopbackServer::WaitForRequest() {
    return m_firstRequest.wait_for(10s) == std::future_status::ready ? m_firstRequest.get() : "<no request>";
}

void LoopbackServer::Serve(int connection) {
    // Adds what arrives within a short poll; false once the peer has closed or the server stops.
    const auto receive = [&](std::string& into) {
        if (!Readable(connection)) {
            return !m_bStop; // nothing yet: wait on, unless the server stops
        }
        char chunk[512];
        const ssize_t received = ::recv(connection, chunk, sizeof chunk, 0);
        into.append(chunk, static_cast<size_t>(std::max<ssize_t>(received, 0)));
        return received > 0;
    };
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && receive(request)) {
    }
    if (m_firstRequest.wait_for(0s) != std::future_status::ready) {
        m_request.set_value(request);
    }
    const int on = 1;
    ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pieceSize(1, 16);
    for (const std::string& text : m_reply.chunks) {
        std::this_thread::sleep_for(&text == &m_reply.chunks.front() ? 0ms : 60ms);
        for (size_t at = 0, piece = 0; at < text.size(); at += piece) {
            piece = m_reply.bSplit ? std::min(pieceSize(random), text.size() - at) : text.size();
            ::send(connection, text.data() + at, piece, MSG_NOSIGNAL);
            std::this_thread::sleep_for(m_reply.bSplit ? 1ms : 0ms);
        }
    }
    // Longer than any test waits for a client to give up, so that a client without limits shows.
    const auto repeatUntil = std::chrono::steady_clock::now() + 20s;
    while (!m_reply.repeat.empty() && !m_bStop && std::chrono::steady_clock::now() < repeatUntil) {
        pollfd entry{connection, POLLOUT, 0};
        const ssize_t sent = ::poll(&entry, 1, 20) > 0
                                 ? ::send(connection, m_reply.repeat.data(), m_reply.repeat.size(),
                                          MSG_NOSIGNAL | MSG_DONTWAIT)
                                 : 0;
        if (sent < 0 && errno != EAGAIN) {
            break; // the client has let go
        }
        std::this_thread::sleep_for(m_reply.pause);
    }
    for (std::string ignored; m_reply.bHoldOpen && receive(ignored);) {
    }
}
