#include "net/UniqueFd.h"

#include <unistd.h>

UniqueFd::~UniqueFd() {
    if (m_nDescriptor >= 0) {
        ::close(m_nDescriptor);
    }
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (m_nDescriptor >= 0) {
            ::close(m_nDescriptor);
        }
        m_nDescriptor = std::exchange(other.m_nDescriptor, -1);
    }
    return *this;
}
