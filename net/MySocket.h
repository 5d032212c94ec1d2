#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <string>
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

// A TCP client socket whose every wait has a time-out: create, connect, send, receive, close, and IPv4 name
// resolution. Every failure throws CSocketException naming the operation. Beyond the descriptor it keeps
// only the limits of the exchange as a whole, and it never retries. One object belongs to one thread at
// a time.
//
// Where the old socket interface had hazards this one does not: sending to a closed peer returns an
// error instead of raising SIGPIPE, the readiness wait works for any descriptor number, a signal
// neither shortens nor stretches a time-out, and name lookup is safe on any thread.
//
// On Windows the same over Winsock 2 (MySocket_win.cpp): errors are WSAGetLastError()'s codes, and a
// SOCKET is kept in the int handle (Windows keeps handles within 32 bits for that reason).
class CMySocket {
public:
    CMySocket() = default;
    // Closes a descriptor still held (quietly), so that no path can leak one.
    ~CMySocket();
    CMySocket(const CMySocket&) = delete;
    CMySocket& operator=(const CMySocket&) = delete;

    // A new IPv4 socket of `type` (SOCK_STREAM for HTTP); a socket still held is closed first.
    void Create(int type);
    // Takes over a connected descriptor (a socket pair in tests and fuzzing).
    void Attach(int descriptor);
    // Nothing to do when no socket is held. The descriptor is given up even when close reports an
    // error, because the system has released its number either way: keeping it would close whatever
    // reuses that number next.
    void Close();
    // Waits for the connection at most until the exchange's deadline (SetLimits): "Connect timeout"
    // after it. Returns 0.
    int Connect(const sockaddr* address);
    // One send of at most `length` bytes once the socket is writable within timeoutSec; returns the
    // count accepted.
    int Send(const char* data, int length, int timeoutSec);
    // One receive of at most `size` bytes once the socket is readable within timeoutSec; 0 means
    // that the peer closed the connection.
    int Receive(char* buffer, int size, int timeoutSec);
    // Bounds the exchange as a whole, on top of each wait's own time-out: no wait lasts past `deadline`
    // (none starts once it has passed), and at most `receiveBudget` bytes are received in all; a
    // receive once they are spent fails with "Receive limit". Unbounded until set.
    void SetLimits(std::chrono::steady_clock::time_point deadline, int receiveBudget) {
        m_deadline = deadline;
        m_nReceiveBudget = receiveBudget > 0 ? receiveBudget : 0;
    }
    // Sends all of `data` by repeated Send, at least one even for length 0; each waits the full
    // time-out anew. Returns the total sent.
    int Write(const char* data, int length, int timeoutSec) {
        int sent = 0;
        do {
            sent += Send(data + sent, length - sent, timeoutSec);
        } while (sent < length);
        return sent;
    }

    // The first IPv4 address of `host` with `port` in network order.
    static sockaddr_in GetHostByName(const char* host, std::uint16_t port);
    // The name of an IPv4 address.
    static std::string GetHostByAddr(const sockaddr_in& address);

    int Handle() const { return m_hSocket; }

    // Starts the system's socket layer once for the process (Winsock; nothing to do elsewhere).
    static bool StartUp();

    static constexpr int kNoSocket = -1;

protected:
    // -1, not 0, marks "no socket": 0 is a valid descriptor here.
    int m_hSocket = kNoSocket;

private:
    // The wait's own time-out cut to the exchange's deadline; throws `operation` once that has passed:
    // nothing more is waited for, not even a zero-length poll, or a peer that always has data ready
    // would never be stopped.
    std::chrono::steady_clock::time_point WaitDeadline(int timeoutSec, const char* operation) const;

    std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
    int m_nReceiveBudget = std::numeric_limits<int>::max();
};
