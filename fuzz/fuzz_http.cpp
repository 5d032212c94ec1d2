// The HTTP reader on arbitrary peer bytes: the input is what the server sends, fed through a socket
// pair into the same code that reads a real response, then the lookup's rule for the country code.
// The sanitizers catch any write outside a buffer; the checks below catch results outside their fields.
#include "net/CountryRequest.h"
#include "net/HttpClient.h"
#include "net/HttpSocket.h"
#include "net/SocketException.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the caller's body buffer size, so that small buffers are tried too.
    if (size == 0) {
        return 0;
    }
    const int bodySize = 1 + data[0] % 64 * 16;
    ++data;
    --size;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return 0;
    }
    // Inputs are kept below the pair's buffer (-max_len), so all of it waits there at once.
    const ssize_t sent = ::send(ends[1], data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    ::close(ends[1]);
    if (sent != static_cast<ssize_t>(size)) {
        ::close(ends[0]);
        return 0;
    }
    CHttpSocket socket;
    socket.Attach(ends[0]);
    char body[1024];
    HttpResult result;
    try {
        CHttpClient(1).ReadReply(socket, body, bodySize, result);
    } catch (const CSocketException& e) {
        char message[64];
        e.GetErrorMessage(message, sizeof message);
        Check(std::strlen(message) < sizeof message);
    }
    Check(strnlen(result.szHeader.data(), result.szHeader.size()) < result.szHeader.size());
    Check(result.nBodyLength >= 0 && result.nBodyLength < bodySize);
    Check(socket.Buffered() >= 0 && socket.Buffered() <= CHttpSocket::kBufferSize);
    if (result.bComplete) {
        Check(body[result.nBodyLength] == '\0');
        if (const auto code = ExtractCountryCode(body)) {
            Check(!code->empty() && code->size() <= 2);
        }
    }
    return 0;
}
