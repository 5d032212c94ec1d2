#pragma once

// The few plain socket calls the network tests make themselves, on POSIX sockets and on Winsock alike.
// Handles are kept in an int, as CMySocket keeps them.
#include "net/MySocket.h"

#include <cstddef>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
// windows.h's old profile calls are macros that would rename the profile's own methods.
#undef GetProfileInt
#undef GetProfileString
#undef WriteProfileString
#else
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace TestSockets {

#ifdef _WIN32
inline SOCKET Native(int handle) {
    return static_cast<SOCKET>(static_cast<unsigned>(handle));
}
inline int Tcp() {
    CMySocket::StartUp();
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}
inline int Accept(int listener) {
    const SOCKET s = ::accept(Native(listener), nullptr, nullptr);
    return s == INVALID_SOCKET ? -1 : static_cast<int>(s);
}
inline void Close(int handle) {
    ::closesocket(Native(handle));
}
inline void SetNonBlocking(int handle) {
    u_long on = 1;
    ::ioctlsocket(Native(handle), FIONBIO, &on);
}
// Ready within `ms` for `events` (POLLIN, POLLOUT): > 0.
inline int Poll(int handle, short events, int ms) {
    WSAPOLLFD entry{Native(handle), events, 0};
    return ::WSAPoll(&entry, 1, ms);
}
inline long Send(int handle, const char* data, size_t size) {
    return ::send(Native(handle), data, static_cast<int>(size), 0);
}
inline long Receive(int handle, char* buffer, size_t size) {
    return ::recv(Native(handle), buffer, static_cast<int>(size), 0);
}
inline bool WouldBlock() {
    return ::WSAGetLastError() == WSAEWOULDBLOCK;
}
inline constexpr int kRefused = WSAECONNREFUSED;
#else
inline int Tcp() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
}
inline int Accept(int listener) {
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}
inline void Close(int handle) {
    ::close(handle);
}
inline void SetNonBlocking(int handle) {
    ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) | O_NONBLOCK);
}
inline int Poll(int handle, short events, int ms) {
    pollfd entry{handle, events, 0};
    return ::poll(&entry, 1, ms);
}
inline long Send(int handle, const char* data, size_t size) {
    return ::send(handle, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
}
inline long Receive(int handle, char* buffer, size_t size) {
    return ::recv(handle, buffer, size, 0);
}
inline bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK;
}
inline constexpr int kRefused = ECONNREFUSED;
#endif

inline sockaddr_in Loopback(std::uint16_t port = 0) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A socket bound to 127.0.0.1 at a port the system picks.
inline int Bound(std::uint16_t& port) {
    const int handle = Tcp();
    sockaddr_in address = Loopback();
    socklen_t size = sizeof address;
    ::bind(handle, reinterpret_cast<const sockaddr*>(&address), size);
    ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &size);
    port = ntohs(address.sin_port);
    return handle;
}

// A listener there, with room for `backlog` waiting connections.
inline int Listen(int backlog, std::uint16_t& port) {
    const int handle = Bound(port);
    ::listen(handle, backlog);
    return handle;
}

inline void NoDelay(int handle) {
    const int on = 1;
    ::setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

} // namespace TestSockets
