#pragma once

#include <string>
#include <string_view>

// SHA-256 of `data` in lower-case hex. Plain C++, so that the command front, which loads no Qt, names a
// board's socket as the board does.
std::string Sha256Hex(std::string_view data);
