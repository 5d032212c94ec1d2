#include "front/FrontCommand.h"

#include <cstdlib>
#include <limits.h>
#include <optional>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using Verb = ControlMessage::Request::Verb;

// A note keeps this many characters; a longer one is cut, with a notice the Qt program words.
constexpr size_t kNoteLength = 1000;

bool ValidUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80           ? 1
                              : (c >> 5) == 0x6  ? 2
                              : (c >> 4) == 0xe  ? 3
                              : (c >> 3) == 0x1e ? 4
                                                 : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) {
                return false;
            }
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF are not UTF-8 either.
        const auto next = static_cast<unsigned char>(length > 1 ? text[i + 1] : 0);
        if ((length == 2 && c < 0xc2) || (length == 3 && c == 0xe0 && next < 0xa0) ||
            (length == 3 && c == 0xed && next >= 0xa0) || (length == 4 && c == 0xf0 && next < 0x90) ||
            (length == 4 && (c > 0xf4 || (c == 0xf4 && next >= 0x90)))) {
            return false;
        }
        i += length;
    }
    return true;
}

// Already absolute and clean: no empty, "." or ".." part, no trailing slash.
bool Clean(std::string_view path) {
    if (path.empty() || path.front() != '/') {
        return false;
    }
    if (path == "/") {
        return true;
    }
    for (size_t at = 1; at <= path.size();) {
        const size_t end = std::min(path.find('/', at), path.size());
        const std::string_view part = path.substr(at, end - at);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        at = end + 1;
    }
    return true;
}

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

} // namespace

std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.back() == '/' || !ValidUtf8(path)) {
        return {};
    }
    std::string joined = path;
    if (path.front() != '/') {
        char folder[PATH_MAX];
        if (::getcwd(folder, sizeof folder) == nullptr) {
            return {};
        }
        joined = std::string(folder) + "/" + path;
    }
    std::vector<std::string_view> parts;
    const std::string_view whole(joined);
    for (size_t at = 1; at <= whole.size();) {
        const size_t end = std::min(whole.find('/', at), whole.size());
        const std::string_view part = whole.substr(at, end - at);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        at = end + 1;
    }
    std::string clean;
    for (const std::string_view part : parts) {
        clean += '/';
        clean += part;
    }
    return clean.empty() ? "/" : clean;
}

std::string DefaultProfileLocation() {
    const std::string config = Variable("XDG_CONFIG_HOME");
    const std::string home = Variable("HOME");
    const std::string folder = !config.empty() ? config : Clean(home) ? home + "/.config" : std::string();
    return Clean(folder) && ValidUtf8(folder) ? folder + "/Kelvra/Kelvra.conf" : std::string();
}

FrontCommand FrontCommand::Read(int argc, const char* const* argv) {
    FrontCommand result;
    const std::vector<std::string_view> arguments(argv + std::min(argc, 1), argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "-h" || arguments[0] == "--help")) {
        result.kind = Kind::Help;
        return result;
    }
    if (arguments.size() == 1 && (arguments[0] == "-v" || arguments[0] == "--version")) {
        result.kind = Kind::Version;
        return result;
    }
    std::optional<Verb> verb;
    std::optional<std::string> start, note, profile, journal;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        // --name=VALUE or --name VALUE: a value of its own that is not another option.
        const auto value = [&](std::string_view name, std::optional<std::string>& into) {
            if (argument == name && i + 1 < arguments.size() && !arguments[i + 1].starts_with('-')) {
                into = std::string(arguments[++i]);
            } else if (argument.starts_with(name) && argument.substr(name.size()).starts_with('=')) {
                into = std::string(argument.substr(name.size() + 1));
            } else {
                return false;
            }
            return true;
        };
        std::optional<Verb> now;
        if (argument == "--stop") {
            now = Verb::Stop;
        } else if (argument == "--status" || argument == "--status=text" || argument == "--status=json") {
            now = Verb::Status;
            result.bJson = argument == "--status=json";
        } else if (!start && value("--start", start)) {
            now = Verb::Start;
        } else if (!note && value("--note", note)) {
            now = Verb::Note;
        } else if ((!profile && value("--profile", profile)) || (!journal && value("--journal", journal))) {
            continue;
        } else {
            return result; // the Qt program's to read, twice-given options included
        }
        if (verb) {
            return result; // more than one command: the Qt program says so
        }
        verb = now;
    }
    if (!verb || (start && (start->empty() || !ValidUtf8(*start))) ||
        (note && (note->size() > kNoteLength || !ValidUtf8(*note)))) {
        return result;
    }
    result.profileLocation = profile ? AbsolutePath(*profile) : DefaultProfileLocation();
    if (result.profileLocation.empty() || (journal && AbsolutePath(*journal).empty())) {
        return result;
    }
    ControlMessage::Request& request = result.request;
    request.verb = *verb;
    if (start) {
        // Only plain digits make a row; "03" or "11" is a name, as unlikely as it is.
        const bool bRow = (start->size() == 1 && (*start)[0] >= '1' && (*start)[0] <= '9') || *start == "10";
        request.verb = bRow ? Verb::Start : Verb::StartName;
        request.row = bRow ? std::atoi(start->c_str()) : 0;
        request.name = bRow ? std::string() : *start;
    }
    if (note) {
        request.note = *note;
    }
    result.kind = Kind::Command;
    return result;
}
