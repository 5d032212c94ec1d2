#include "net/MySocket.h"
#include "net/SocketException.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <utility>

namespace {

using SteadyClock = std::chrono::steady_clock;

enum class Readiness { Ready, TimedOut, Failed };

// Winsock is started once, before the first socket, and cleaned up as the process ends.
class WinsockSession final {
public:
    WinsockSession() {
        WSADATA data{};
        m_bStarted = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession() {
        if (m_bStarted) {
            ::WSACleanup();
        }
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool Started() const { return m_bStarted; }

private:
    bool m_bStarted = false;
};

SOCKET Native(int handle) {
    return static_cast<SOCKET>(static_cast<std::intptr_t>(handle));
}

Readiness WaitFor(int handle, SHORT events, SteadyClock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
    const int waitMs = static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000));
    WSAPOLLFD entry{Native(handle), events, 0};
    const int ready = ::WSAPoll(&entry, 1, waitMs);
    if (ready > 0) {
        // Error and hang-up states count as ready: the transfer call reports them.
        return Readiness::Ready;
    }
    return ready == 0 ? Readiness::TimedOut : Readiness::Failed;
}

void RequireSocket(int handle, const char* operation) {
    if (handle == CMySocket::kNoSocket) {
        throw CSocketException(operation, WSAENOTSOCK);
    }
}

} // namespace

bool CMySocket::StartUp() {
    static const WinsockSession session;
    return session.Started();
}

CMySocket::~CMySocket() {
    if (m_hSocket != kNoSocket) {
        ::closesocket(Native(m_hSocket));
    }
}

void CMySocket::Create(int type) {
    if (m_hSocket != kNoSocket) {
        ::closesocket(Native(std::exchange(m_hSocket, kNoSocket)));
    }
    if (!StartUp()) {
        throw CSocketException("Create", WSASYSNOTREADY);
    }
    // Not inherited by programs this one starts, and never blocking.
    const SOCKET socket =
        ::WSASocketW(AF_INET, type, 0, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    u_long nonBlocking = 1;
    if (socket == INVALID_SOCKET || ::ioctlsocket(socket, FIONBIO, &nonBlocking) != 0) {
        const int error = ::WSAGetLastError();
        if (socket != INVALID_SOCKET) {
            ::closesocket(socket);
        }
        throw CSocketException("Create", error);
    }
    m_hSocket = static_cast<int>(socket);
}

void CMySocket::Attach(int descriptor) {
    if (m_hSocket != kNoSocket) {
        ::closesocket(Native(m_hSocket));
    }
    m_hSocket = descriptor;
}

void CMySocket::Close() {
    if (m_hSocket == kNoSocket) {
        return;
    }
    if (::closesocket(Native(std::exchange(m_hSocket, kNoSocket))) != 0) {
        throw CSocketException("Close", ::WSAGetLastError());
    }
}

int CMySocket::Connect(const sockaddr* address) {
    RequireSocket(m_hSocket, "Connect");
    if (::connect(Native(m_hSocket), address, sizeof(sockaddr_in)) == 0) {
        return 0;
    }
    if (const int error = ::WSAGetLastError(); error != WSAEWOULDBLOCK) {
        throw CSocketException("Connect", error);
    }
    // Only the exchange's deadline bounds this wait; unset, it is the system's own time-out.
    if (SteadyClock::now() >= m_deadline) {
        throw CSocketException("Connect timeout", 0);
    }
    switch (WaitFor(m_hSocket, POLLOUT, m_deadline)) {
    case Readiness::TimedOut:
        throw CSocketException("Connect timeout", 0);
    case Readiness::Failed:
        throw CSocketException("Connect", ::WSAGetLastError());
    case Readiness::Ready:
        break;
    }
    int error = 0;
    int size = sizeof error;
    if (::getsockopt(Native(m_hSocket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
        throw CSocketException("Connect", ::WSAGetLastError());
    }
    if (error != 0) {
        throw CSocketException("Connect", error);
    }
    return 0;
}

int CMySocket::Send(const char* data, int length, int timeoutSec) {
    RequireSocket(m_hSocket, "Send");
    const auto deadline = WaitDeadline(timeoutSec, "Send timeout");
    for (;;) {
        switch (WaitFor(m_hSocket, POLLOUT, deadline)) {
        case Readiness::TimedOut:
            throw CSocketException("Send timeout", 0);
        case Readiness::Failed:
            throw CSocketException("Send", ::WSAGetLastError());
        case Readiness::Ready:
            break;
        }
        // Windows raises no signal for a peer that has gone; the socket does not block.
        const int sent = ::send(Native(m_hSocket), data, std::max(length, 0), 0);
        if (sent != SOCKET_ERROR) {
            return sent;
        }
        if (const int error = ::WSAGetLastError(); error != WSAEWOULDBLOCK && error != WSAEINTR) {
            throw CSocketException("Send", error);
        }
    }
}

int CMySocket::Receive(char* buffer, int size, int timeoutSec) {
    RequireSocket(m_hSocket, "Receive");
    if (m_nReceiveBudget == 0) {
        throw CSocketException("Receive limit", 0);
    }
    const auto deadline = WaitDeadline(timeoutSec, "Receive timeout");
    for (;;) {
        switch (WaitFor(m_hSocket, POLLIN, deadline)) {
        case Readiness::TimedOut:
            throw CSocketException("Receive timeout", 0);
        case Readiness::Failed:
            throw CSocketException("Receive", ::WSAGetLastError());
        case Readiness::Ready:
            break;
        }
        const int received = ::recv(Native(m_hSocket), buffer, std::clamp(size, 0, m_nReceiveBudget), 0);
        if (received != SOCKET_ERROR) {
            m_nReceiveBudget -= received;
            return received;
        }
        if (const int error = ::WSAGetLastError(); error != WSAEWOULDBLOCK && error != WSAEINTR) {
            throw CSocketException("Receive", error);
        }
    }
}

sockaddr_in CMySocket::GetHostByName(const char* host, std::uint16_t port) {
    if (!StartUp()) {
        throw CSocketException("GetHostByName", WSASYSNOTREADY);
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host, nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        throw CSocketException("GetHostByName", status);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return address;
}

std::string CMySocket::GetHostByAddr(const sockaddr_in& address) {
    if (!StartUp()) {
        throw CSocketException("GetHostByAddr", WSASYSNOTREADY);
    }
    char name[NI_MAXHOST] = {};
    const int status = ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name,
                                     sizeof name, nullptr, 0, NI_NAMEREQD);
    if (status != 0) {
        throw CSocketException("GetHostByAddr", status);
    }
    return name;
}
