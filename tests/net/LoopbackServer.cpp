#include "LoopbackServer.h"

#include <algorithm>
#include <chrono>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr auto kLongestWait = std::chrono::seconds(20);

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::uint16_t BoundPort(int descriptor) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    ::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &size);
    return ntohs(address.sin_port);
}

} // namespace

LoopbackServer::LoopbackServer(ScriptedReply reply) : m_reply(std::move(reply)) {
    m_nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(0);
    ::bind(m_nListen, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(m_nListen, 8);
    m_nPort = BoundPort(m_nListen);
    m_thread = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
    {
        std::scoped_lock lock(m_mutex);
        m_bStop = true;
    }
    m_thread.join();
    ::close(m_nListen);
}

std::string LoopbackServer::Address() const {
    return "127.0.0.1:" + std::to_string(m_nPort);
}

std::string LoopbackServer::WaitForRequest() {
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return !m_requests.empty(); });
    return m_requests.empty() ? std::string("<no request>") : m_requests.front();
}

std::uint16_t LoopbackServer::ClosedPort() {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(0);
    ::bind(descriptor, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const std::uint16_t port = BoundPort(descriptor);
    ::close(descriptor);
    return port;
}

void LoopbackServer::Send(int connection, const std::string& chunk) {
    if (!m_reply.bSplit) {
        ::send(connection, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        return;
    }
    std::mt19937 random(static_cast<unsigned>(chunk.size()));
    std::uniform_int_distribution<size_t> size(1, 16);
    for (size_t at = 0; at < chunk.size();) {
        const size_t piece = std::min(size(random), chunk.size() - at);
        ::send(connection, chunk.data() + at, piece, MSG_NOSIGNAL);
        at += piece;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

bool LoopbackServer::Stopping() {
    std::scoped_lock lock(m_mutex);
    return m_bStop;
}

void LoopbackServer::Run() {
    while (!Stopping()) {
        pollfd entry{m_nListen, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0) {
            continue;
        }
        const int connection = ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            Serve(connection);
            ::close(connection);
        }
    }
}

void LoopbackServer::Serve(int connection) {
    if (m_reply.bReset) {
        const linger reset{1, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos && !Stopping() &&
           std::chrono::steady_clock::now() < deadline) {
        pollfd entry{connection, POLLIN, 0};
        if (::poll(&entry, 1, 20) <= 0) {
            continue;
        }
        char chunk[512];
        const ssize_t received = ::recv(connection, chunk, sizeof chunk, 0);
        if (received <= 0) {
            break;
        }
        request.append(chunk, static_cast<size_t>(received));
    }
    {
        std::scoped_lock lock(m_mutex);
        m_requests.push_back(request);
    }
    m_changed.notify_all();
    const int on = 1;
    ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    for (size_t i = 0; i < m_reply.chunks.size(); ++i) {
        if (i > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_reply.pauseMs));
        }
        Send(connection, m_reply.chunks[i]);
    }
    // Silent until the server stops, the client leaves or the longest wait is over.
    while (m_reply.bHoldOpen && !Stopping() && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{connection, POLLIN, 0};
        char chunk[64];
        if (::poll(&entry, 1, 20) > 0 && ::recv(connection, chunk, sizeof chunk, 0) <= 0) {
            break;
        }
    }
}
