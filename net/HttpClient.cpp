#include "net/HttpClient.h"

#include "net/ElapsedMs.h"
#include "net/HttpSocket.h"
#include "net/SocketException.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// atoi without its undefined overflow: leading blanks, a sign, digits; clamped to int.
int LeadingInt(const char* text) {
    const long value = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// "Content-*ength:", where '*' is any character: matches "Content-Length:" and "Content-length:".
constexpr char kLengthPattern[] = "Content-*ength:";
constexpr int kLengthPatternLength = sizeof kLengthPattern - 1;
constexpr int kLengthWildcard = sizeof "Content-" - 1; // the '*'
// The value starts one character after the colon and ends before the line's CR LF.
constexpr int kLengthValueStart = kLengthPatternLength + 1;
constexpr int kLineEndLength = sizeof "\r\n" - 1;
// "HTTP/1.1 200 OK": the code sits in the four characters after the version, blank included.
constexpr int kStatusStart = sizeof "HTTP/1.1" - 1;
constexpr int kStatusLength = sizeof " 200" - 1;

bool IsLengthLine(const char* line, int count) {
    if (count < kLengthPatternLength) {
        return false;
    }
    for (int i = 0; i < kLengthPatternLength; ++i) {
        if (i != kLengthWildcard && line[i] != kLengthPattern[i]) {
            return false;
        }
    }
    return true;
}

// A line too short to hold a value, or a value that does not fit the 100-byte scratch field (a cut line
// is one of them), announces length 0.
int LengthValue(const char* line, int count) {
    const int valueLength = count - kLengthValueStart - kLineEndLength;
    if (valueLength <= 0 || valueLength >= CHttpClient::kValueSize) {
        return 0;
    }
    char value[CHttpClient::kValueSize];
    std::memcpy(value, line + kLengthValueStart, static_cast<size_t>(valueLength));
    value[valueLength] = '\0';
    return LeadingInt(value);
}

// Only characters the line really has count: a short line must not pick up what an earlier, longer
// line left in the buffer.
std::uint16_t StatusValue(const char* line, int count) {
    char code[kStatusLength + 1] = {};
    const int available = std::clamp(count - kStatusStart, 0, kStatusLength);
    std::memcpy(code, line + kStatusStart, static_cast<size_t>(available));
    return static_cast<std::uint16_t>(LeadingInt(code));
}

} // namespace

void CHttpClient::ReadReply(CHttpSocket& socket, char* body, int bodySize, HttpResult& result) const {
    char line[kLineSize];
    int announced = 0;
    int headerLength = 0;
    for (;;) {
        const int count = socket.ReadHeaderLine(line, kLineSize, m_nTimeoutSec);
        if (IsLengthLine(line, count)) {
            announced = LengthValue(line, count);
        }
        if (std::strncmp(line, "HTTP", 4) == 0) {
            result.nStatus = StatusValue(line, count);
        }
        // A header block of 2,000 bytes or more is kept cut to the field; reading goes on.
        const int kept = std::min(count, HttpResult::kHeaderSize - 1 - headerLength);
        std::memcpy(result.szHeader.data() + headerLength, line, static_cast<size_t>(kept));
        headerLength += kept;
        result.szHeader[static_cast<size_t>(headerLength)] = '\0';
        if (count == 2 && line[0] == '\r' && line[1] == '\n') {
            break;
        }
    }
    try {
        // One byte of the buffer is kept for the terminator; a longer body is cut to fit.
        result.nBodyLength = socket.ReadResponse(body, bodySize - 1, announced, m_nTimeoutSec);
    } catch (const CSocketException&) {
        // Part of the body may already be in the buffer, unterminated: leave an empty text.
        body[0] = '\0';
        throw;
    }
    body[result.nBodyLength] = '\0';
    result.bComplete = true;
}

void CHttpClient::Request(const char* host, std::uint16_t port, const char* request, char* body, int bodySize,
                          HttpResult& result) const {
    result = HttpResult{};
    if (host == nullptr || request == nullptr || body == nullptr || bodySize < 1) {
        return;
    }
    const size_t requestLength = std::strlen(request);
    if (requestLength > INT_MAX) {
        return;
    }
    CHttpSocket socket;
    socket.SetLimits(std::chrono::steady_clock::now() + m_exchangeTimeLimit, m_nExchangeByteLimit);
    SystemTime started;
    SystemTime connected;
    bool bConnected = false;
    try {
        socket.Create(SOCK_STREAM);
        started = GetSystemTime();
        const sockaddr_in address = CMySocket::GetHostByName(host, port);
        socket.Connect(reinterpret_cast<const sockaddr*>(&address));
        connected = GetSystemTime();
        bConnected = true;
        // The whole text goes out; a 16-bit count would send only a prefix of a long one.
        socket.Write(request, static_cast<int>(requestLength), m_nTimeoutSec);
        ReadReply(socket, body, bodySize, result);
    } catch (const CSocketException&) {
        // Failure shows in the result: what had arrived stays, bComplete stays false.
    }
    if (m_beforeClose) {
        m_beforeClose(socket);
    }
    try {
        socket.Close();
    } catch (const CSocketException&) {
        // A failed close comes after everything was read; the descriptor is released anyway, so the
        // outcome stands and the failure ends here.
    }
    if (bConnected) {
        const SystemTime closed = GetSystemTime();
        result.nConnectMs = ElapsedMs(started, connected);
        result.nTransferMs = ElapsedMs(connected, closed);
    }
}
