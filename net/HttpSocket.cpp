#include "net/HttpSocket.h"

#include "net/SocketException.h"

#include <algorithm>
#include <cstring>

int CHttpSocket::ReadHeaderLine(char* destination, int capacity, int timeoutSec) {
    char* const buffer = m_pBuffer.get();
    int searched = 0;
    const char* lineFeed = nullptr;
    // Each received byte is searched once.
    while ((lineFeed = static_cast<const char*>(std::memchr(
                buffer + searched, '\n', static_cast<size_t>(m_nBuffered - searched)))) == nullptr) {
        searched = m_nBuffered;
        if (m_nBuffered == kBufferSize) {
            throw CSocketException("ReadHeaderLine", 0);
        }
        const int received = Receive(buffer + m_nBuffered, kBufferSize - m_nBuffered, timeoutSec);
        if (received <= 0) {
            throw CSocketException("ReadHeaderLine", 0);
        }
        m_nBuffered += received;
    }
    const int lineLength = static_cast<int>(lineFeed - buffer) + 1;
    const int delivered = capacity > 0 ? std::min(lineLength, capacity - 1) : 0;
    if (capacity > 0) {
        std::memcpy(destination, buffer, static_cast<size_t>(delivered));
        destination[delivered] = '\0';
    }
    Consume(lineLength);
    return delivered;
}

int CHttpSocket::ReadResponse(char* destination, int capacity, int expected, int timeoutSec) {
    capacity = std::max(capacity, 0);
    int stored = std::min(m_nBuffered, capacity);
    if (stored > 0) {
        std::memcpy(destination, m_pBuffer.get(), static_cast<size_t>(stored));
        Consume(stored);
    }
    const int wanted = std::min(expected, capacity);
    while (stored < wanted) {
        const int received =
            Receive(destination + stored, std::min(wanted - stored, kBufferSize), timeoutSec);
        if (received <= 0) {
            break;
        }
        stored += received;
    }
    return stored;
}

void CHttpSocket::Consume(int count) {
    m_nBuffered -= count;
    std::memmove(m_pBuffer.get(), m_pBuffer.get() + count, static_cast<size_t>(m_nBuffered));
}
