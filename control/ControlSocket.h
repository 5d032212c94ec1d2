#pragma once

#include "control/ControlMessage.h"

#include <string>
#include <utility>

// The Unix side of the control channel in plain C++ (see ControlChannel): the board names its socket
// here and commands ask through it, so that the command front, which loads no Qt, and the board always
// agree on the name. Paths are the system's bytes.
namespace ControlSocket {

// The path with every link resolved; for a file not made yet, its folder's, with the name as given.
std::string CanonicalPath(const std::string& path);

// As ControlChannel::ServerName.
std::string ServerName(const std::string& profileLocation, bool create, std::string& problem);

struct Answer {
    enum class Outcome {
        Replied, // `reply` holds the board's answer
        NoBoard, // no board listens for this profile
        Failed   // see `problem`
    };
    Outcome outcome = Outcome::Failed;
    ControlMessage::Reply reply;
    std::string problem;
    bool bSilent = false; // Failed: connected, but no reply came in the time given
};

// As ControlChannel::Ask.
Answer Ask(const std::string& profileLocation, const ControlMessage::Request& request, int timeoutMs);

// A descriptor, closed with its owner; negative when there is none.
class Descriptor final {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor();
    Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd = -1;
};

// The board's end: a non-blocking listening socket at `name` (ServerName), which only the user may
// read and write. With `bTakeOver` a socket left by a board that died is removed first. None, with
// `problem`, when it cannot be made; while another board listens there it never replaces that one.
Descriptor Listen(const std::string& name, bool bTakeOver, std::string& problem);

// The next connection waiting on `listener`, non-blocking; connections from other users are closed
// unseen. None when there is no other, `error` then holding why (EAGAIN when none waits).
Descriptor Accept(int listener, int& error);

} // namespace ControlSocket
