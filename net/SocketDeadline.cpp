#include "net/MySocket.h"
#include "net/SocketException.h"

#include <algorithm>

// Shared by the POSIX and the Winsock socket.
std::chrono::steady_clock::time_point CMySocket::WaitDeadline(int timeoutSec, const char* operation) const {
    const auto now = std::chrono::steady_clock::now();
    if (now >= m_deadline) {
        throw CSocketException(operation, 0);
    }
    // Negative time-outs mean "do not wait"; poll would take them as "wait for ever".
    return std::min(now + std::chrono::seconds(std::max(timeoutSec, 0)), m_deadline);
}
