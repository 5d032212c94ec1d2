#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Texts that the program without Qt (the command front) writes as the Qt side does: plain C++, includes
// nothing, so that any folder and the front may use it.
namespace Kelvra::Plain {

// A duration as hours (as many digits as they take), minutes and seconds: "0:05:09", "-12:00:00".
std::string Duration(std::int64_t seconds);

// A message as a line for stderr: "kelvra: ", a lower-case start and no closing period, whatever the
// sentence case of a message box that shows the same text. Names in capitals ("SQLite") stay as they are.
// Only an ASCII first letter changes case: every message of ours starts with one.
std::string StderrLine(std::string_view message);

} // namespace Kelvra::Plain
