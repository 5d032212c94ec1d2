#include "net/ReportPipe.h"

#include <cerrno>
#include <sys/socket.h>

namespace ReportPipe {

bool Open(UniqueFd& receiver, UniqueFd& worker) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        return false;
    }
    receiver = UniqueFd(ends[0]);
    worker = UniqueFd(ends[1]);
    return true;
}

void Write(const UniqueFd& worker, std::string_view bytes) {
    // MSG_NOSIGNAL: the receiver may be gone already when the program is quitting.
    [[maybe_unused]] const ssize_t sent = ::send(worker.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

bool ReadAvailable(const UniqueFd& receiver, std::string& into) {
    for (;;) {
        char chunk[16];
        const ssize_t received = ::recv(receiver.Get(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (received > 0) {
            into.append(chunk, static_cast<size_t>(received));
        } else if (received == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return false;
        } else if (errno != EINTR) {
            return true;
        }
    }
}

} // namespace ReportPipe
