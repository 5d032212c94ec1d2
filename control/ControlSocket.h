#pragma once

#include "control/ControlMessage.h"

#include <string>

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
};

// As ControlChannel::Ask.
Answer Ask(const std::string& profileLocation, const ControlMessage::Request& request, int timeoutMs);

} // namespace ControlSocket
