#include "common/Text.h"

namespace Kelvra::Plain {

std::string Duration(std::int64_t seconds) {
    const std::uint64_t magnitude =
        seconds < 0 ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    std::string text = seconds < 0 ? "-" : "";
    text += std::to_string(magnitude / 3600);
    for (const std::uint64_t part : {magnitude / 60 % 60, magnitude % 60}) {
        text += ':';
        text += static_cast<char>('0' + part / 10);
        text += static_cast<char>('0' + part % 10);
    }
    return text;
}

std::string StderrLine(std::string_view message) {
    std::string line(message);
    const auto upper = [](char c) { return c >= 'A' && c <= 'Z'; };
    if (line.size() > 1 && upper(line[0]) && !upper(line[1])) {
        line[0] = static_cast<char>(line[0] - 'A' + 'a');
    }
    if (line.size() >= 1 && line.back() == '.' && !(line.size() >= 2 && line[line.size() - 2] == '.')) {
        line.pop_back();
    }
    return "kelvra: " + line;
}

} // namespace Kelvra::Plain
