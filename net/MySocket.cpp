#include "net/MySocket.h"

#include "net/SocketException.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace {

using SteadyClock = std::chrono::steady_clock;

enum class Readiness { Ready, TimedOut, Failed };

// poll rather than select: select cannot watch a descriptor numbered 1024 or above.
Readiness WaitFor(int descriptor, short events, SteadyClock::time_point deadline) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
        const int waitMs = static_cast<int>(std::clamp<long long>(left.count(), 0, 24LL * 3600 * 1000));
        pollfd entry{descriptor, events, 0};
        const int ready = ::poll(&entry, 1, waitMs);
        if (ready > 0) {
            // Error and hang-up states count as ready: the transfer call reports them.
            return Readiness::Ready;
        }
        if (ready == 0) {
            return Readiness::TimedOut;
        }
        if (errno != EINTR) {
            return Readiness::Failed;
        }
        if (SteadyClock::now() >= deadline) {
            return Readiness::TimedOut;
        }
    }
}

bool WouldBlockOrInterrupted(int error) {
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

void RequireSocket(int descriptor, const char* operation) {
    if (descriptor == CMySocket::kNoSocket) {
        throw CSocketException(operation, EBADF);
    }
}

} // namespace

bool CMySocket::StartUp() {
    return true;
}

CMySocket::~CMySocket() {
    if (m_hSocket != kNoSocket) {
        ::close(m_hSocket);
    }
}

void CMySocket::Create(int type) {
    if (m_hSocket != kNoSocket) {
        ::close(std::exchange(m_hSocket, kNoSocket));
    }
    const int descriptor = ::socket(AF_INET, type | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (descriptor < 0) {
        throw CSocketException("Create");
    }
    m_hSocket = descriptor;
}

void CMySocket::Attach(int descriptor) {
    if (m_hSocket != kNoSocket) {
        ::close(m_hSocket);
    }
    m_hSocket = descriptor;
}

void CMySocket::Close() {
    if (m_hSocket == kNoSocket) {
        return;
    }
    if (::close(std::exchange(m_hSocket, kNoSocket)) != 0) {
        throw CSocketException("Close");
    }
}

int CMySocket::Connect(const sockaddr* address) {
    RequireSocket(m_hSocket, "Connect");
    // The socket does not block, so a peer whose accept queue is full (its SYNs dropped, the system
    // retrying for minutes) costs no more than the exchange's deadline.
    if (::connect(m_hSocket, address, sizeof(sockaddr_in)) == 0) {
        return 0;
    }
    if (errno != EINPROGRESS && errno != EINTR) {
        throw CSocketException("Connect");
    }
    // Only the exchange's deadline bounds this wait; unset, it is the system's own time-out.
    if (SteadyClock::now() >= m_deadline) {
        throw CSocketException("Connect timeout", 0);
    }
    switch (WaitFor(m_hSocket, POLLOUT, m_deadline)) {
    case Readiness::TimedOut:
        throw CSocketException("Connect timeout", 0);
    case Readiness::Failed:
        throw CSocketException("Connect");
    case Readiness::Ready:
        break;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        throw CSocketException("Connect");
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
            throw CSocketException("Send");
        case Readiness::Ready:
            break;
        }
        // MSG_NOSIGNAL: a peer that has gone away must give an error, not kill the process.
        // MSG_DONTWAIT: a send that cannot take everything at once takes a part instead of
        // blocking past the time-out.
        const ssize_t sent =
            ::send(m_hSocket, data, static_cast<size_t>(std::max(length, 0)), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            return static_cast<int>(sent);
        }
        if (!WouldBlockOrInterrupted(errno)) {
            throw CSocketException("Send");
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
            throw CSocketException("Receive");
        case Readiness::Ready:
            break;
        }
        const ssize_t received = ::recv(
            m_hSocket, buffer, static_cast<size_t>(std::clamp(size, 0, m_nReceiveBudget)), MSG_DONTWAIT);
        if (received >= 0) {
            m_nReceiveBudget -= static_cast<int>(received);
            return static_cast<int>(received);
        }
        if (!WouldBlockOrInterrupted(errno)) {
            throw CSocketException("Receive");
        }
    }
}

sockaddr_in CMySocket::GetHostByName(const char* host, std::uint16_t port) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host, nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        // getaddrinfo reports through its own codes; errno means something only for EAI_SYSTEM.
        throw CSocketException("GetHostByName", status == EAI_SYSTEM ? errno : status);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return address;
}

std::string CMySocket::GetHostByAddr(const sockaddr_in& address) {
    char name[NI_MAXHOST] = {};
    const int status = ::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, name,
                                     sizeof name, nullptr, 0, NI_NAMEREQD);
    if (status != 0) {
        throw CSocketException("GetHostByAddr", status == EAI_SYSTEM ? errno : status);
    }
    return name;
}
