#include "net/SocketException.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

// errno is taken before the name is copied, so that nothing done here can change it.
CSocketException::CSocketException(const char* operation) : CSocketException(operation, errno) {}

CSocketException::CSocketException(const char* operation, int error) : m_nError(error) {
    std::snprintf(m_szOperation, sizeof m_szOperation, "%s", operation ? operation : "");
}

bool CSocketException::GetErrorMessage(char* buffer, unsigned maxLen, unsigned* /*helpContext*/) const {
    char work[kMessageSize];
    // A long operation name is cut to the work area; snprintf tells how long the whole text was.
    const int composed = m_nError != 0
                             ? std::snprintf(work, sizeof work, "%s Fehler #%d", m_szOperation, m_nError)
                             : std::snprintf(work, sizeof work, "%s Fehler", m_szOperation);
    if (buffer == nullptr || maxLen == 0) {
        return true;
    }
    const std::size_t length = std::min({static_cast<std::size_t>(std::max(composed, 0)), sizeof work - 1,
                                         static_cast<std::size_t>(maxLen - 1)});
    std::memcpy(buffer, work, length);
    buffer[length] = '\0';
    return true;
}
