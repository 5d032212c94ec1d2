#include "front/Options.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace Options {

namespace {

constexpr size_t kLineWidth = 80;

std::string Names(const Option& option) {
    std::string names = option.shortName != nullptr ? std::string("-") + option.shortName + ", --" : "--";
    names += option.name;
    if (option.value != nullptr) {
        names += option.bOptionalValue ? std::string("[=") + option.value + "]"
                                       : std::string(" <") + option.value + ">";
    }
    return names;
}

// One entry: the names padded to `column`, the description wrapped at word boundaries beside them. As
// Qt's parser wraps, a first line ends a column earlier than the lines after it.
void Entry(std::string& text, const std::string& names, std::string_view description, size_t column) {
    std::string line = "  " + names;
    size_t limit = kLineWidth - 1;
    for (size_t at = 0; at < description.size();) {
        const size_t end = std::min(description.find(' ', at), description.size());
        const std::string_view word = description.substr(at, end - at);
        if (line.size() > column && line.size() + 1 + word.size() > limit) {
            text += line + '\n';
            line.clear();
            limit = kLineWidth;
        }
        if (line.size() < column) {
            line.resize(column, ' ');
        } else {
            line += ' ';
        }
        line += word;
        at = end + 1;
    }
    text += line + '\n';
}

} // namespace

std::string HelpText() {
    size_t widest = std::string_view(kDocument).size();
    for (const Option& option : kTable) {
        widest = std::max(widest, Names(option).size());
    }
    const size_t column = 2 + widest + 2;
    std::string text =
        std::string("Usage: kelvra [options] [") + kDocument + "]\n" + kDescription + "\n\nOptions:\n";
    for (const Option& option : kTable) {
        Entry(text, Names(option), option.description, column);
    }
    text += "\nArguments:\n";
    Entry(text, kDocument, kDocumentDescription, column);
    return text;
}

} // namespace Options
