#include "control/CommandReply.h"

#include "common/Text.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace CommandReply {

namespace {

using ControlMessage::Reply;
using Kelvra::Plain::StderrLine;

void Print(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

int Fail(std::string_view message, int status) {
    Print(stderr, StderrLine(message) + '\n');
    return status;
}

std::tm Local(std::int64_t utc) {
    const std::time_t time = static_cast<std::time_t>(utc);
    std::tm local{};
#ifdef _WIN32
    ::localtime_s(&local, &time);
#else
    ::localtime_r(&time, &local);
#endif
    return local;
}

// Seconds east of UTC: the local date and time read as if they were UTC, less the instant.
long OffsetOf(const std::tm& local, std::int64_t utc) {
    using namespace std::chrono;
    const sys_days day{year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
                       static_cast<unsigned>(local.tm_mday)};
    const std::int64_t asUtc = day.time_since_epoch().count() * std::int64_t{86400} + local.tm_hour * 3600 +
                               local.tm_min * 60 + local.tm_sec;
    return static_cast<long>(asUtc - utc);
}

// ISO 8601 in local time with its offset, "Z" where that is 0.
std::string LocalStamp(std::int64_t utc) {
    const std::tm local = Local(utc);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = OffsetOf(local, utc);
    if (offset == 0) {
        return std::string(text, n) + "Z";
    }
    const long magnitude = offset < 0 ? -offset : offset;
    std::snprintf(text + n, sizeof text - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 3600,
                  magnitude / 60 % 60);
    return text;
}

std::string JsonString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\b':
            quoted += "\\b";
            break;
        case '\f':
            quoted += "\\f";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                quoted += escaped;
            } else {
                quoted += c; // UTF-8 goes as it is
            }
        }
    }
    return quoted + '"';
}

} // namespace

std::string Status(const ControlMessage::State& state, Form form) {
    const ControlMessage::Presence presence = state.presence.value_or(ControlMessage::Presence{});
    if (form == Form::Json) {
        const std::string null = "null";
        // The keys in alphabetical order, as scripts have always had them.
        return "{\"away_since\":" +
               (presence.awaySince >= 0 ? JsonString(LocalStamp(presence.awaySince)) : null) +
               ",\"idle_seconds\":" +
               (presence.idleSeconds >= 0 ? std::to_string(presence.idleSeconds) : null) +
               ",\"idle_source\":" + (presence.source.empty() ? null : JsonString(presence.source)) +
               ",\"name\":" + JsonString(state.name) +
               ",\"period_seconds\":" + std::to_string(state.row > 0 ? state.now - state.start : 0) +
               ",\"row\":" + std::to_string(state.row) +
               ",\"running\":" + (state.row > 0 ? "true" : "false") +
               ",\"seconds\":" + std::to_string(state.seconds) +
               ",\"time\":" + JsonString(Kelvra::Plain::Duration(state.seconds)) + "}\n";
    }
    std::string text = state.row == 0
                           ? "Stopped\n"
                           : state.name + " \u2013 " + Kelvra::Plain::Duration(state.seconds) + '\n';
    // What the board knows of the user, when it knows anything.
    if (presence.idleSeconds > 0) {
        text +=
            "No input for " + Kelvra::Plain::Duration(presence.idleSeconds) + " (" + presence.source + ")\n";
    }
    if (presence.awaySince >= 0) {
        const std::tm local = Local(presence.awaySince);
        char clock[8];
        std::strftime(clock, sizeof clock, "%H:%M", &local);
        text += std::string("Away since ") + clock + ", not answered yet\n";
    }
    return text;
}

std::string Candidates(std::string_view first, const std::vector<ControlMessage::Candidate>& candidates) {
    std::string text = StderrLine(first) + '\n';
    for (const ControlMessage::Candidate& candidate : candidates) {
        char row[16];
        std::snprintf(row, sizeof row, "%4d  ", candidate.row);
        text += row + candidate.name + '\n';
    }
    return text;
}

int Run(const std::string& profileLocation, const ControlMessage::Request& request, Form statusForm,
        const std::function<ControlSocket::Answer()>& ask, const std::function<int()>& withoutBoard) {
    if (ControlMessage::Encode(request).size() > ControlMessage::kMaxRequestBytes) {
        return Fail("the name is too long", kFailed);
    }
    const ControlSocket::Answer answer = ask();
    switch (answer.outcome) {
    case ControlSocket::Answer::Outcome::NoBoard:
        if (withoutBoard) {
            return withoutBoard();
        }
        return Fail("no board is running for the profile " + profileLocation, kNoBoard);
    case ControlSocket::Answer::Outcome::Failed:
        return Fail(answer.problem, kFailed);
    case ControlSocket::Answer::Outcome::Replied:
        break;
    }
    const Reply& reply = answer.reply;
    switch (reply.kind) {
    case Reply::Kind::State:
        if (request.verb == ControlMessage::Request::Verb::Status) {
            Print(stdout, Status(reply.state, statusForm));
        }
        return kDone;
    case Reply::Kind::Unknown:
        Print(stderr, Candidates("no timer's name is or begins with '" + request.name + "'; the timers are:",
                                 reply.candidates));
        return kWrongInput;
    case Reply::Kind::Ambiguous:
        Print(stderr,
              Candidates("'" + request.name + "' begins more than one timer's name:", reply.candidates));
        return kWrongInput;
    case Reply::Kind::Invalid:
        return Fail(reply.message, kWrongInput);
    case Reply::Kind::Error:
        break;
    }
    return Fail("the board refused the request: " + reply.message, kFailed);
}

} // namespace CommandReply
