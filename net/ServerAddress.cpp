#include "net/ServerAddress.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <res/config.h>

namespace {

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// A build-time default is trusted to be valid; if it is not, it is used as it stands.
ServerAddress Configured(const char* text) {
    return ParseServerAddress(text).value_or(ServerAddress{text});
}

} // namespace

std::string ServerAddress::Authority() const {
    return port == kHttpPort ? host : host + ':' + std::to_string(port);
}

std::optional<ServerAddress> ParseServerAddress(std::string_view text) {
    const size_t colon = text.find(':');
    const std::string_view host = text.substr(0, colon);
    if (host.empty() || !std::all_of(host.begin(), host.end(), IsHostCharacter)) {
        return std::nullopt;
    }
    ServerAddress address{std::string(host)};
    if (colon == std::string_view::npos) {
        return address;
    }
    const std::string_view port = text.substr(colon + 1);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || port.size() > 5 || error != std::errc() || end != port.data() + port.size() ||
        value == 0 || value > 65535) {
        return std::nullopt;
    }
    address.port = static_cast<std::uint16_t>(value);
    return address;
}

ServerAddress MakerServer() {
    // A mistyped override falls back to the default rather than to no server at all.
    if (const char* overridden = std::getenv("KELVRA_MAKER_HOST")) {
        if (auto address = ParseServerAddress(overridden)) {
            return *address;
        }
    }
    return Configured(KELVRA_MAKER_HOST);
}

ServerAddress SponsorServer() {
    return Configured(KELVRA_SPONSOR_HOST);
}

ServerAddress ArticlesServer() {
    return Configured(KELVRA_ARTICLES_HOST);
}
