#include "LoopbackServer.h"

#include <algorithm>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

using namespace std::chrono_literals;

namespace {

int BoundSocket(std::uint16_t& port) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), size);
    ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return descriptor;
}

bool Readable(int descriptor) {
    pollfd entry{descriptor, POLLIN, 0};
    return ::poll(&entry, 1, 20) > 0;
}

} // namespace

LoopbackServer::LoopbackServer(ScriptedReply reply) : m_reply(std::move(reply)) {
    m_nListen = BoundSocket(m_nPort);
    ::listen(m_nListen, 8);
    m_thread = std::thread([this] {
        while (!m_bStop) {
            const int connection =
                Readable(m_nListen) ? ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC) : -1;
            if (connection >= 0) {
                Serve(connection);
                ::close(connection);
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

std::uint16_t LoopbackServer::ClosedPort() {
    std::uint16_t port = 0;
    ::close(BoundSocket(port));
    return port;
}

void LoopbackServer::Serve(int connection) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    const auto waiting = [&] { return !m_bStop && std::chrono::steady_clock::now() < deadline; };
    std::string request;
    char chunk[512];
    for (ssize_t received = 1; received > 0 && request.find("\r\n\r\n") == std::string::npos && waiting();) {
        if (Readable(connection) && (received = ::recv(connection, chunk, sizeof chunk, 0)) > 0) {
            request.append(chunk, static_cast<size_t>(received));
        }
    }
    if (!std::exchange(m_bRequested, true)) {
        m_request.set_value(request);
    }
    const int on = 1;
    ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> pieceSize(1, 16);
    for (const std::string& text : m_reply.chunks) {
        if (&text != &m_reply.chunks.front()) {
            std::this_thread::sleep_for(60ms);
        }
        for (size_t at = 0, piece = 0; at < text.size(); at += piece) {
            piece = m_reply.bSplit ? std::min(pieceSize(random), text.size() - at) : text.size();
            ::send(connection, text.data() + at, piece, MSG_NOSIGNAL);
            std::this_thread::sleep_for(m_reply.bSplit ? 1ms : 0ms);
        }
    }
    while (m_reply.bHoldOpen && waiting() &&
           !(Readable(connection) && ::recv(connection, chunk, sizeof chunk, 0) <= 0)) {
    }
}
