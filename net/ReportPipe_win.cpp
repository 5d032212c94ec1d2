#include "net/MySocket.h"
#include "net/ReportPipe.h"

namespace ReportPipe {

namespace {

SOCKET Native(const UniqueFd& socket) {
    return static_cast<SOCKET>(static_cast<std::intptr_t>(socket.Get()));
}

UniqueFd Own(SOCKET socket) {
    return UniqueFd(socket == INVALID_SOCKET ? -1 : static_cast<int>(socket));
}

} // namespace

// Windows has no socket pair: two ends of a loopback connection, through a listener that takes only
// this one and is closed at once.
bool Open(UniqueFd& receiver, UniqueFd& worker) {
    if (!CMySocket::StartUp()) {
        return false;
    }
    const UniqueFd listener =
        Own(::WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener.Get() < 0 || ::bind(Native(listener), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(Native(listener), 1) != 0 ||
        ::getsockname(Native(listener), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return false;
    }
    UniqueFd sending = Own(::WSASocketW(AF_INET, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT));
    if (sending.Get() < 0 || ::connect(Native(sending), reinterpret_cast<sockaddr*>(&address), size) != 0) {
        return false;
    }
    UniqueFd receiving = Own(::accept(Native(listener), nullptr, nullptr));
    u_long nonBlocking = 1;
    if (receiving.Get() < 0 || ::ioctlsocket(Native(receiving), FIONBIO, &nonBlocking) != 0) {
        return false;
    }
    receiver = std::move(receiving);
    worker = std::move(sending);
    return true;
}

void Write(const UniqueFd& worker, std::string_view bytes) {
    ::send(Native(worker), bytes.data(), static_cast<int>(bytes.size()), 0);
}

bool ReadAvailable(const UniqueFd& receiver, std::string& into) {
    for (;;) {
        char chunk[16];
        const int received = ::recv(Native(receiver), chunk, sizeof chunk, 0);
        if (received > 0) {
            into.append(chunk, static_cast<size_t>(received));
            continue;
        }
        return received == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK;
    }
}

} // namespace ReportPipe
