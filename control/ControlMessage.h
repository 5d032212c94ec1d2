#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The messages between a `kelvra` command and the running board over the board's local socket: one
// request and one reply per connection. Plain C++ without Qt, bytes in and a message or an error out, so
// that a fuzzer can drive the parsers; the socket and the board's answers live elsewhere.
//
// Wire format, version 1: a message is one line of at most kMaxRequestBytes (a request) or
// kMaxReplyBytes (a reply), "\n" included. Fields are separated by exactly one space, so a field may be
// empty (a timer's name may be). The first field is "kelvra/1", a later version changes it. Every byte
// of a field outside '!'..'~', and '%' itself, is written %XX (hexadecimal), so that a name with spaces,
// line breaks or NULs travels whole; decoded fields must be UTF-8. Numbers are decimal, without a sign
// other than a leading '-' and without leading zeros.
//
//   requests:  raise [TOKEN]                      TOKEN: the launcher's activation token for the window
//              | start ROW | start-name NAME | stop | status | note TEXT
//              | track START END ROW NAME NOTE      a period added (ROW 0: the timer NAME fits)
//   replies:   state ROW START NOW SECONDS NAME [IDLE AWAY SOURCE]
//                                                   the board after the request; ROW 0 is Stop; then,
//                                                   from boards that know them, the seconds without
//                                                   input (-1: no source), the start of a spell away not
//                                                   yet answered (-1: none) and the inactivity source
//              unknown (ROW NAME)...                no timer has that name: every timer
//              ambiguous (ROW NAME)...              the timers the name fits
//              invalid MESSAGE                      what was asked cannot be (an overlap); nothing changed
//              error MESSAGE                        the request was refused; nothing changed
namespace ControlMessage {

// A note of a thousand characters, each written %XX three times over, fits.
inline constexpr std::size_t kMaxRequestBytes = 16384;
inline constexpr std::size_t kMaxReplyBytes = 1 << 20;
// A launcher's activation token, as long as any desktop makes one and more.
inline constexpr std::size_t kMaxTokenBytes = 1024;
// The rows a request may name: the wire's own constant, since the parsers build without Qt (for the
// fuzzer); RemoteControl.cpp checks it against the timer count.
inline constexpr int kRows = 10;

struct Request {
    enum class Verb { Raise, Start, StartName, Stop, Status, Note, Track };
    Verb verb = Verb::Status;
    int row = 0;            // Start: 1..kRows; Track: 0..kRows
    std::string name{};     // StartName, Track: UTF-8
    std::int64_t start = 0; // Track
    std::int64_t end = 0;   // Track
    std::string note{};     // Note, Track: UTF-8
    std::string token{};    // Raise: an activation token (see IsActivationToken); empty: none
    bool operator==(const Request&) const = default;
};

// A token the wire carries for a raise: 1..kMaxTokenBytes bytes of printable ASCII without a space.
bool IsActivationToken(std::string_view token);

// What the board knows of the user's presence.
struct Presence {
    std::int64_t idleSeconds = -1; // without input so far; -1: no source says
    std::int64_t awaySince = -1;   // a spell away not answered yet began then; -1: none
    std::string source{};          // the inactivity source in use; empty: none
    bool operator==(const Presence&) const = default;
};

// What a running board shows: the running row (0: Stop), its open period and its time with that period.
struct State {
    int row = 0;
    std::int64_t start = 0; // the open period began (seconds since the epoch)
    std::int64_t now = 0;   // the board's clock when it answered
    std::int64_t seconds = 0;
    std::string name; // empty when stopped
    std::optional<Presence> presence{};
    bool operator==(const State&) const = default;
};

struct Candidate {
    int row = 0;
    std::string name;
    bool operator==(const Candidate&) const = default;
};

struct Reply {
    enum class Kind { State, Unknown, Ambiguous, Error, Invalid };
    Kind kind = Kind::Error;
    State state;                       // State
    std::vector<Candidate> candidates; // Unknown, Ambiguous
    std::string message;               // Error, Invalid
    bool operator==(const Reply&) const = default;
};

template <typename Message> struct Parsed {
    std::optional<Message> message;
    std::string error; // why the bytes are no message, when `message` is empty
};

// The replies that carry no state, built a member at a time (GCC 12 at -O3 warns that a braced State
// may be used uninitialised).
Reply Refusal(std::string message, Reply::Kind kind = Reply::Kind::Error);
Reply Candidates(Reply::Kind kind, std::vector<Candidate> candidates);

std::string Encode(const Request& request);
std::string Encode(const Reply& reply);
Parsed<Request> ParseRequest(std::string_view bytes);
Parsed<Reply> ParseReply(std::string_view bytes);

} // namespace ControlMessage
