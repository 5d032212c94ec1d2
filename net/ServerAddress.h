#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A web server as the configuration names it: "host" or "host:port".
struct ServerAddress {
    static constexpr std::uint16_t kHttpPort = 80;

    std::string host;
    std::uint16_t port = kHttpPort;

    // The host, with ":port" only when the port is not 80: what goes after "http://" and "Host: ".
    std::string Authority() const;
};

// "host" or "host:port". The host is letters, digits, '.', '-' and '_' only (nothing that could break
// the request line or a header), the port 1 to 65535. Anything else gives nothing.
std::optional<ServerAddress> ParseServerAddress(std::string_view text);

// The maker's web server: the environment variable KELVRA_MAKER_HOST when it holds a valid address,
// otherwise the build-time default. Read anew at every call.
ServerAddress MakerServer();
// The sponsor's host and the outside articles site: build-time configuration.
ServerAddress SponsorServer();
ServerAddress ArticlesServer();
