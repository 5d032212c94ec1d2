#include "net/CountryRequest.h"

#include <cstdio>
#include <cstring>

std::optional<CountryRequestText> ComposeCountryRequest(const ServerAddress& server, int randomId) {
    const std::string authority = server.Authority();
    CountryRequestText text{};
    const int length = std::snprintf(
        text.data(), text.size(), "GET http://%s%s HTTP/1.1\r\nUser-Agent: KelvraV10.%d\r\nHost: %s\r\n\r\n",
        authority.c_str(), kCountryCodePath, randomId, authority.c_str());
    if (length < 0 || length >= kCountryRequestSize) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> ExtractCountryCode(const char* body) {
    const char* marker = std::strstr(body, kCountryCodeMarker);
    if (marker == nullptr) {
        return std::nullopt;
    }
    const char* code = marker + std::strlen(kCountryCodeMarker);
    const size_t length = strnlen(code, 2);
    if (length == 0) {
        return std::nullopt;
    }
    return std::string(code, length);
}

std::optional<std::string> FetchCountryCode(const ServerAddress& server, const char* request,
                                            int timeoutSec) {
    char body[kCountryBodySize] = "";
    HttpResult result;
    CHttpClient(timeoutSec).Request(server.host.c_str(), server.port, request, body, sizeof body, result);
    if (!result.bComplete || result.nStatus != 200) {
        return std::nullopt;
    }
    return ExtractCountryCode(body);
}
