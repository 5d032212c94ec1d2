// The `kelvra` program: a front in plain C++ that loads no Qt. It answers --help, --version and the
// commands to a running board itself, in about a millisecond, and hands everything else (a board's
// start, the reports, --track, any mistake) to the Qt program, which it replaces by exec, so that the
// process, its arguments and its exit status stay the user's.
#include "control/CommandReply.h"
#include "control/ControlSocket.h"
#include "front/FrontCommand.h"
#include "front/Options.h"
#include "res/config.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// This program's own folder: from /proc where there is one, else from how it was called.
std::string OwnFolder(const char* argv0) {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string program = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
    if (program.empty() && std::strchr(argv0, '/') != nullptr && ::realpath(argv0, path) != nullptr) {
        program = path;
    }
    const size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

// The Qt program: beside this one in a build tree, in the private library folder once installed.
int HandOver(char** argv) {
    const std::string folder = OwnFolder(argv[0]);
    const std::string candidates[] = {folder + "/" KELVRA_APP_FILE, folder + "/" KELVRA_APP_INSTALLED};
    for (const std::string& app : candidates) {
        if (!folder.empty() && ::access(app.c_str(), X_OK) == 0) {
            ::execv(app.c_str(), argv);
            std::fprintf(stderr, "kelvra: cannot start %s: %s\n", app.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::fprintf(stderr, "kelvra: %s is neither beside the program nor in %s\n", KELVRA_APP_FILE,
                 (folder + "/" KELVRA_APP_INSTALLED).c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const FrontCommand command = FrontCommand::Read(argc, argv);
    switch (command.kind) {
    case FrontCommand::Kind::Help:
        std::fputs(Options::HelpText().c_str(), stdout);
        return 0;
    case FrontCommand::Kind::Version:
        std::printf("Kelvra %s\ncountry lookup: %s\n", KELVRA_VERSION_TEXT,
                    KELVRA_COUNTRY_LOOKUP ? "on" : "off");
        return 0;
    case FrontCommand::Kind::Command:
        return CommandReply::Run(command.profileLocation, command.request,
                                 command.bJson ? CommandReply::Form::Json : CommandReply::Form::Text, [&] {
                                     return ControlSocket::Ask(command.profileLocation, command.request,
                                                               CommandReply::kTimeoutMs);
                                 });
    case FrontCommand::Kind::Other:
        break;
    }
    return HandOver(argv);
}
