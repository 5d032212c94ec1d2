#include "control/ControlMessage.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace ControlMessage {

namespace {

constexpr std::string_view kMagic = "kelvra/1";
constexpr std::string_view kMagicFamily = "kelvra/";
constexpr char kHex[] = "0123456789ABCDEF";

using Fields = std::vector<std::string_view>;

constexpr std::pair<Request::Verb, std::string_view> kVerbs[] = {
    {Request::Verb::Raise, "raise"},          {Request::Verb::Start, "start"},
    {Request::Verb::StartName, "start-name"}, {Request::Verb::Stop, "stop"},
    {Request::Verb::Status, "status"},        {Request::Verb::Note, "note"},
    {Request::Verb::Track, "track"}};
constexpr std::pair<Reply::Kind, std::string_view> kKinds[] = {{Reply::Kind::State, "state"},
                                                               {Reply::Kind::Unknown, "unknown"},
                                                               {Reply::Kind::Ambiguous, "ambiguous"},
                                                               {Reply::Kind::Error, "error"},
                                                               {Reply::Kind::Invalid, "invalid"}};

bool Plain(unsigned char c) {
    return c > ' ' && c <= '~' && c != '%';
}

void AppendField(std::string& out, std::string_view field) {
    out += ' ';
    for (const char ch : field) {
        const auto c = static_cast<unsigned char>(ch);
        if (Plain(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        }
    }
}

void AppendNumber(std::string& out, std::int64_t value) {
    out += ' ';
    out += std::to_string(value);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        unsigned low = 0x80;
        unsigned high = 0xbf; // the range of the second byte; later ones are always 80..BF
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            length = 2;
        } else if (c >= 0xe0 && c <= 0xef) {
            length = 3;
            low = c == 0xe0 ? 0xa0 : 0x80;
            high = c == 0xed ? 0x9f : 0xbf;
        } else if (c >= 0xf0 && c <= 0xf4) {
            length = 4;
            low = c == 0xf0 ? 0x90 : 0x80;
            high = c == 0xf4 ? 0x8f : 0xbf;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xbf)) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

std::optional<std::string> DecodeText(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            text += field[i];
            continue;
        }
        const int high = i + 2 < field.size() ? HexDigit(field[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(field[i + 2]) : -1;
        if (low < 0) {
            return std::nullopt;
        }
        text += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!IsUtf8(text)) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::int64_t> DecodeNumber(std::string_view field) {
    const bool negative = !field.empty() && field.front() == '-';
    const std::string_view digits = field.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > 19 || (digits.front() == '0' && (digits.size() > 1 || negative))) {
        return std::nullopt;
    }
    // Gathered as a negative number, which reaches the smallest int64 too.
    std::int64_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const int digit = c - '0';
        if (value < (std::numeric_limits<std::int64_t>::min() + digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<std::int64_t>::min()) {
            return std::nullopt;
        }
        value = -value;
    }
    return value;
}

std::optional<int> DecodeRow(std::string_view field, int lowest) {
    const std::optional<std::int64_t> row = DecodeNumber(field);
    if (!row || *row < lowest || *row > kRows) {
        return std::nullopt;
    }
    return static_cast<int>(*row);
}

// The fields of one line of the given size limit, after checking everything every message shares; the
// magic word is taken off. Sets `error` when the bytes are no message.
std::optional<Fields> SplitLine(std::string_view bytes, std::size_t limit, std::string& error) {
    if (bytes.size() > limit) {
        error = "the message is too long";
        return std::nullopt;
    }
    if (bytes.empty() || bytes.back() != '\n') {
        error = "the message does not end with a line break";
        return std::nullopt;
    }
    const std::string_view line = bytes.substr(0, bytes.size() - 1);
    for (const char c : line) {
        if (c != ' ' && !(c > ' ' && c <= '~')) {
            error = "the message holds a byte outside printable ASCII";
            return std::nullopt;
        }
    }
    Fields fields;
    for (std::size_t start = 0;;) {
        const std::size_t space = line.find(' ', start);
        fields.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos) {
            break;
        }
        start = space + 1;
    }
    if (fields.front() != kMagic) {
        error = fields.front().substr(0, kMagicFamily.size()) == kMagicFamily
                    ? "unsupported version of the message format"
                    : "not a Kelvra message";
        return std::nullopt;
    }
    if (fields.size() < 2) {
        error = "the message names no request";
        return std::nullopt;
    }
    fields.erase(fields.begin());
    return fields;
}

template <typename Value, std::size_t N>
std::optional<Value> Lookup(const std::pair<Value, std::string_view> (&table)[N], std::string_view word) {
    for (const auto& [value, name] : table) {
        if (name == word) {
            return value;
        }
    }
    return std::nullopt;
}

template <typename Value, std::size_t N>
std::string_view NameOf(const std::pair<Value, std::string_view> (&table)[N], Value value) {
    for (const auto& [entry, name] : table) {
        if (entry == value) {
            return name;
        }
    }
    return {};
}

// Fills in the reply's fields after its kind; false if they do not fit it.
bool ReadReplyFields(const Fields& fields, Reply& reply) {
    switch (reply.kind) {
    case Reply::Kind::State: {
        if (fields.size() != 6 && fields.size() != 9) {
            return false;
        }
        const auto row = DecodeRow(fields[1], 0);
        const auto start = DecodeNumber(fields[2]);
        const auto now = DecodeNumber(fields[3]);
        const auto seconds = DecodeNumber(fields[4]);
        auto name = DecodeText(fields[5]);
        // Times within some 35,000 years and seconds a timer can hold: what the command then works out
        // from them (a difference, a negated time) cannot overflow.
        constexpr std::int64_t kTimeLimit = std::int64_t{1} << 40;
        const auto inRange = [](std::int64_t value, std::int64_t limit) {
            return value >= -limit && value <= limit;
        };
        if (!row || !start || !now || !seconds || !name || !inRange(*start, kTimeLimit) ||
            !inRange(*now, kTimeLimit) || *seconds < std::numeric_limits<std::int32_t>::min() ||
            *seconds > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        reply.state = State{*row, *start, *now, *seconds, std::move(*name), std::nullopt};
        if (fields.size() == 9) {
            const auto idle = DecodeNumber(fields[6]);
            const auto away = DecodeNumber(fields[7]);
            auto source = DecodeText(fields[8]);
            if (!idle || !away || !source || !inRange(*idle, kTimeLimit) || !inRange(*away, kTimeLimit)) {
                return false;
            }
            reply.state.presence = Presence{*idle, *away, std::move(*source)};
        }
        return true;
    }
    case Reply::Kind::Unknown:
    case Reply::Kind::Ambiguous:
        if (fields.size() % 2 == 0 || fields.size() > 2 * kRows + 1) {
            return false;
        }
        for (std::size_t i = 1; i < fields.size(); i += 2) {
            const auto row = DecodeRow(fields[i], 1);
            auto name = DecodeText(fields[i + 1]);
            if (!row || !name) {
                return false;
            }
            reply.candidates.push_back(Candidate{*row, std::move(*name)});
        }
        return true;
    case Reply::Kind::Error:
    case Reply::Kind::Invalid: {
        auto message = fields.size() == 2 ? DecodeText(fields[1]) : std::nullopt;
        if (!message) {
            return false;
        }
        reply.message = std::move(*message);
        return true;
    }
    }
    return false;
}

} // namespace

bool IsActivationToken(std::string_view token) {
    return !token.empty() && token.size() <= kMaxTokenBytes &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c <= '~'; });
}

Reply Refusal(std::string message, Reply::Kind kind) {
    Reply reply;
    reply.kind = kind;
    reply.message = std::move(message);
    return reply;
}

Reply Candidates(Reply::Kind kind, std::vector<Candidate> candidates) {
    Reply reply;
    reply.kind = kind;
    reply.candidates = std::move(candidates);
    return reply;
}

std::string Encode(const Request& request) {
    std::string out(kMagic);
    AppendField(out, NameOf(kVerbs, request.verb));
    if (request.verb == Request::Verb::Raise && !request.token.empty()) {
        AppendField(out, request.token);
    } else if (request.verb == Request::Verb::Start) {
        AppendNumber(out, request.row);
    } else if (request.verb == Request::Verb::StartName) {
        AppendField(out, request.name);
    } else if (request.verb == Request::Verb::Note) {
        AppendField(out, request.note);
    } else if (request.verb == Request::Verb::Track) {
        for (const std::int64_t number : {request.start, request.end, std::int64_t{request.row}}) {
            AppendNumber(out, number);
        }
        AppendField(out, request.name);
        AppendField(out, request.note);
    }
    out += '\n';
    return out;
}

std::string Encode(const Reply& reply) {
    std::string out(kMagic);
    AppendField(out, NameOf(kKinds, reply.kind));
    switch (reply.kind) {
    case Reply::Kind::State:
        for (const std::int64_t number :
             {std::int64_t{reply.state.row}, reply.state.start, reply.state.now, reply.state.seconds}) {
            AppendNumber(out, number);
        }
        AppendField(out, reply.state.name);
        if (const auto& presence = reply.state.presence) {
            AppendNumber(out, presence->idleSeconds);
            AppendNumber(out, presence->awaySince);
            AppendField(out, presence->source);
        }
        break;
    case Reply::Kind::Unknown:
    case Reply::Kind::Ambiguous:
        for (const Candidate& candidate : reply.candidates) {
            AppendNumber(out, candidate.row);
            AppendField(out, candidate.name);
        }
        break;
    case Reply::Kind::Error:
    case Reply::Kind::Invalid:
        AppendField(out, reply.message);
        break;
    }
    out += '\n';
    return out;
}

Parsed<Request> ParseRequest(std::string_view bytes) {
    Parsed<Request> parsed;
    const std::optional<Fields> fields = SplitLine(bytes, kMaxRequestBytes, parsed.error);
    if (!fields) {
        return parsed;
    }
    const std::optional<Request::Verb> verb = Lookup(kVerbs, fields->front());
    if (!verb) {
        parsed.error = "unknown request";
        return parsed;
    }
    Request request;
    request.verb = *verb;
    const std::size_t arguments = fields->size() - 1;
    bool bFits = arguments == 0;
    if (*verb == Request::Verb::Raise && arguments == 1) {
        std::optional<std::string> token = DecodeText((*fields)[1]);
        bFits = token && IsActivationToken(*token);
        request.token = bFits ? std::move(*token) : std::string();
    } else if (*verb == Request::Verb::Start) {
        const std::optional<int> row = arguments == 1 ? DecodeRow((*fields)[1], 1) : std::nullopt;
        request.row = row.value_or(0);
        bFits = row.has_value();
    } else if (*verb == Request::Verb::StartName) {
        std::optional<std::string> name = arguments == 1 ? DecodeText((*fields)[1]) : std::nullopt;
        bFits = name.has_value();
        request.name = std::move(name).value_or(std::string());
    } else if (*verb == Request::Verb::Note) {
        std::optional<std::string> note = arguments == 1 ? DecodeText((*fields)[1]) : std::nullopt;
        bFits = note.has_value();
        request.note = std::move(note).value_or(std::string());
    } else if (*verb == Request::Verb::Track) {
        // Times within some 35,000 years, as a state's.
        constexpr std::int64_t kTimeLimit = std::int64_t{1} << 40;
        const auto field = [&](std::size_t at) {
            return arguments == 5 ? (*fields)[at] : std::string_view();
        };
        const auto start = arguments == 5 ? DecodeNumber(field(1)) : std::nullopt;
        const auto end = arguments == 5 ? DecodeNumber(field(2)) : std::nullopt;
        const auto row = arguments == 5 ? DecodeRow(field(3), 0) : std::nullopt;
        auto name = arguments == 5 ? DecodeText(field(4)) : std::nullopt;
        auto note = arguments == 5 ? DecodeText(field(5)) : std::nullopt;
        bFits = start && end && row && name && note && *start >= -kTimeLimit && *start <= kTimeLimit &&
                *end >= -kTimeLimit && *end <= kTimeLimit;
        if (bFits) {
            request.start = *start;
            request.end = *end;
            request.row = *row;
            request.name = std::move(*name);
            request.note = std::move(*note);
        }
    }
    if (!bFits) {
        parsed.error = "wrong arguments for the request";
        return parsed;
    }
    parsed.message = std::move(request);
    return parsed;
}

Parsed<Reply> ParseReply(std::string_view bytes) {
    Parsed<Reply> parsed;
    const std::optional<Fields> fields = SplitLine(bytes, kMaxReplyBytes, parsed.error);
    if (!fields) {
        return parsed;
    }
    Reply reply;
    const std::optional<Reply::Kind> kind = Lookup(kKinds, fields->front());
    if (!kind) {
        parsed.error = "unknown reply";
        return parsed;
    }
    reply.kind = *kind;
    if (!ReadReplyFields(*fields, reply)) {
        parsed.error = "wrong fields for the reply";
        return parsed;
    }
    parsed.message = std::move(reply);
    return parsed;
}

} // namespace ControlMessage
