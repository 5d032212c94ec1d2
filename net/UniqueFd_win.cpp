#include "net/UniqueFd.h"

#include <cstdint>
#include <winsock2.h>

// On Windows the descriptor is a socket.
UniqueFd::~UniqueFd() {
    if (m_nDescriptor >= 0) {
        ::closesocket(static_cast<SOCKET>(static_cast<std::intptr_t>(m_nDescriptor)));
    }
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        UniqueFd old(std::exchange(m_nDescriptor, std::exchange(other.m_nDescriptor, -1)));
    }
    return *this;
}
