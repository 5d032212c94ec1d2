#include "control/ControlSocket.h"

#include "control/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ControlSocket {

namespace {

using SteadyClock = std::chrono::steady_clock;

// 96 bits of the hash: no two profiles of one user meet by chance, and the path stays short.
constexpr size_t kHashDigits = 24;

// Room for the name in a socket address (108 bytes on Linux, 104 on macOS), with some to spare.
constexpr size_t kMaxSocketPath = 80;

std::string Reason() {
    return std::strerror(errno);
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string Resolved(const std::string& path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// Whether `path` is a folder of this user's (not a link) that nobody else may write to, or, when
// `bPrivate`, may enter at all. Sets `problem` when it exists and is not.
bool Owned(const std::string& path, bool bPrivate, std::string& problem) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            problem = "cannot use the control folder " + path + ": " + Reason();
        }
        return false;
    }
    const mode_t forbidden = bPrivate ? (S_IRWXG | S_IRWXO) : (S_IWGRP | S_IWOTH);
    std::string why;
    if (S_ISLNK(st.st_mode)) {
        why = "is a symbolic link";
    } else if (!S_ISDIR(st.st_mode)) {
        why = "is not a folder";
    } else if (st.st_uid != ::geteuid()) {
        why = "belongs to user " + std::to_string(st.st_uid);
    } else if ((st.st_mode & forbidden) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        why = std::string("has mode ") + mode + ", open to others";
    } else {
        return true;
    }
    problem =
        "the control folder " + path + " " + why + " (it must be a folder of the user's own with mode 0700)";
    return false;
}

std::string Folder(bool create, std::string& problem) {
    std::string runtime = Variable("XDG_RUNTIME_DIR");
#ifdef __linux__
    // A command from cron or some ssh and sudo sessions has no XDG_RUNTIME_DIR while the board's desktop
    // session has one: logind's folder for the user is where it would point.
    if (runtime.empty()) {
        runtime = "/run/user/" + std::to_string(::geteuid());
    }
#endif
    while (runtime.size() > 1 && runtime.back() == '/') {
        runtime.pop_back();
    }
    std::string unused;
    std::string folder = runtime + "/kelvra";
    if (runtime.empty() || runtime.front() != '/' || !Owned(runtime, false, unused) ||
        folder.size() + 1 + kHashDigits > kMaxSocketPath) {
        std::string temporary = Variable("TMPDIR");
        while (temporary.size() > 1 && temporary.back() == '/') {
            temporary.pop_back();
        }
        if (temporary.empty() || temporary.front() != '/') {
            temporary = "/tmp";
        }
        folder = (temporary == "/" ? "" : temporary) + "/kelvra-" + std::to_string(::geteuid());
    }
    if (create && ::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) {
        problem = "cannot create the control folder " + folder + ": " + Reason();
        return {};
    }
    return Owned(folder, true, problem) ? folder : std::string();
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool Ready(int fd, short events, SteadyClock::time_point deadline) {
    pollfd entry{fd, events, 0};
    int n = 0;
    do {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
        n = left > 0 ? ::poll(&entry, 1, static_cast<int>(left)) : 0;
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

// Whether the other end of the connected socket `fd` runs as this user.
bool FromThisUser(int fd) {
#ifdef __linux__
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid();
#else
    uid_t uid = 0;
    gid_t gid = 0;
    return ::getpeereid(fd, &uid, &gid) == 0 && uid == ::geteuid();
#endif
}

bool Address(const std::string& name, sockaddr_un& address, std::string& problem) {
    address = {};
    address.sun_family = AF_UNIX;
    if (name.size() >= sizeof address.sun_path) {
        problem = "the socket name " + name + " is too long";
        return false;
    }
    std::memcpy(address.sun_path, name.data(), name.size());
    return true;
}

// The exchange over plain POSIX calls: a command then loads no library beyond the C++ runtime, and
// loading libraries is most of what a command costs.
void Exchange(const std::string& name, const std::string& request, int timeoutMs, Answer& answer,
              std::string& reply) {
    const SteadyClock::time_point deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    sockaddr_un address{};
    if (!Address(name, address, answer.problem)) {
        return;
    }
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.Get() < 0 ||
        ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // No socket, or one that a board which died left behind.
        const bool bNoBoard = socket.Get() >= 0 && (errno == ENOENT || errno == ECONNREFUSED);
        answer.outcome = bNoBoard ? Answer::Outcome::NoBoard : Answer::Outcome::Failed;
        answer.problem = "cannot reach the board at " + name + ": " + Reason();
        return;
    }
    for (size_t sent = 0; sent < request.size();) {
        if (!Ready(socket.Get(), POLLOUT, deadline)) {
            answer.problem = "the board did not take the request in time";
            return;
        }
        const ssize_t n = ::send(socket.Get(), request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EINTR && errno != EAGAIN) {
            answer.problem = "cannot send to the board: " + Reason();
            return;
        }
        sent += static_cast<size_t>(std::max<ssize_t>(n, 0));
    }
    char buffer[4096];
    while (reply.find('\n') == std::string::npos && reply.size() <= ControlMessage::kMaxReplyBytes &&
           Ready(socket.Get(), POLLIN, deadline)) {
        const ssize_t n = ::recv(socket.Get(), buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
            break;
        }
        reply.append(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0)));
    }
}

} // namespace

std::string CanonicalPath(const std::string& path) {
    if (std::string file = Resolved(path); !file.empty()) {
        return file;
    }
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return path;
    }
    const std::string folder = Resolved(slash == 0 ? "/" : path.substr(0, slash));
    if (folder.empty()) {
        return path;
    }
    return (folder == "/" ? "" : folder) + path.substr(slash);
}

std::string ServerName(const std::string& profileLocation, bool create, std::string& problem) {
    problem.clear();
    const std::string folder = Folder(create, problem);
    if (folder.empty()) {
        return {};
    }
    // A profile that is no file is named by its key as it stands.
    const std::string key =
        profileLocation.starts_with('/') ? CanonicalPath(profileLocation) : profileLocation;
    return folder + "/" + Sha256Hex(key).substr(0, kHashDigits);
}

Answer Ask(const std::string& profileLocation, const ControlMessage::Request& request, int timeoutMs) {
    Answer answer;
    const std::string name = ServerName(profileLocation, false, answer.problem);
    if (name.empty()) {
        answer.outcome = answer.problem.empty() ? Answer::Outcome::NoBoard : Answer::Outcome::Failed;
        return answer;
    }
    std::string reply;
    Exchange(name, ControlMessage::Encode(request), timeoutMs, answer, reply);
    if (answer.outcome == Answer::Outcome::NoBoard || !answer.problem.empty()) {
        return answer;
    }
    const auto parsed = ControlMessage::ParseReply(reply);
    if (!parsed.message) {
        answer.problem =
            reply.empty() ? "the board did not answer" : "the board's answer cannot be read: " + parsed.error;
        answer.bSilent = reply.empty();
        return answer;
    }
    answer.outcome = Answer::Outcome::Replied;
    answer.reply = *parsed.message;
    return answer;
}

Descriptor::~Descriptor() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        Descriptor old(std::exchange(m_fd, std::exchange(other.m_fd, -1)));
    }
    return *this;
}

Descriptor Listen(const std::string& name, bool bTakeOver, std::string& problem) {
    sockaddr_un address{};
    if (!Address(name, address, problem)) {
        return {};
    }
    if (bTakeOver) {
        ::unlink(name.c_str());
    }
    // A plain bind: it fails while another board's socket is there, where binding elsewhere and moving
    // the socket into place would replace it. The folder is the user's alone, so the socket is never
    // open to others while its mode is set below. The backlog is the system's most: a burst of commands
    // waits to be taken rather than being refused.
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.Get() < 0 ||
        ::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        problem = "cannot listen on " + name + ": " + Reason();
        return {};
    }
    if (::listen(socket.Get(), SOMAXCONN) != 0 || ::chmod(name.c_str(), S_IRUSR | S_IWUSR) != 0) {
        problem = "cannot listen on " + name + ": " + Reason();
        ::unlink(name.c_str());
        return {};
    }
    return socket;
}

Descriptor Accept(int listener, int& error) {
    for (;;) {
        Descriptor socket(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (socket.Get() >= 0 && FromThisUser(socket.Get())) {
            return socket;
        }
        if (socket.Get() < 0 && errno != EINTR && errno != ECONNABORTED) {
            error = errno;
            return {};
        }
    }
}

} // namespace ControlSocket
