#pragma once

#include "control/ControlMessage.h"

#include <string>

// What the command front answers itself: --help, --version, and --start, --stop, --status and --note,
// alone or with --profile (and --journal, which they leave alone). Only what it reads exactly as the Qt
// program would: anything else (a board's start, a report, --track, Qt's own options, a mistake, a
// profile path or a value it would have to guess about) is left to the Qt program, which says the same
// as before.
struct FrontCommand {
    enum class Kind { Help, Version, Command, Other };

    Kind kind = Kind::Other;
    ControlMessage::Request request;
    bool bJson = false;          // --status=json
    std::string profileLocation; // as the board names its profile

    static FrontCommand Read(int argc, const char* const* argv);
};

// The profile the board uses by default ($XDG_CONFIG_HOME/Kelvra/Kelvra.conf, else under ~/.config), or
// empty where the front would have to guess how Qt reads the environment.
std::string DefaultProfileLocation();

// `path` made absolute against the working folder, with "." and ".." and repeated slashes taken out;
// empty where that would be a guess (a trailing slash, no working folder).
std::string AbsolutePath(const std::string& path);
