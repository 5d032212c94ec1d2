#pragma once

#include "net/HttpClient.h"
#include "net/ServerAddress.h"

#include <array>
#include <optional>
#include <string>

// The exchange of the country-code lookup, without threads or the profile: the request text, the
// rule that takes the code from the answer, and one synchronous round trip.

inline constexpr char kCountryCodePath[] = "/Kelvra/system/GetCountryCode.php";
inline constexpr char kCountryCodeMarker[] = "<CountryCode>";
inline constexpr int kCountryRequestSize = 1000;
inline constexpr int kCountryBodySize = 1000;

using CountryRequestText = std::array<char, kCountryRequestSize>;

// "GET http://<server>/Kelvra/system/GetCountryCode.php HTTP/1.1", "User-Agent: KelvraV10.<randomId>",
// "Host: <server>" and an empty line, each ending in CR LF, zero-terminated. Nothing when the text
// does not fit its 1,000 bytes: a cut request would be nonsense on the wire.
std::optional<CountryRequestText> ComposeCountryRequest(const ServerAddress& server, int randomId);

// The code in a body text: the (up to) two characters right after the first marker. Nothing when the
// marker is missing, or when nothing follows it: storing two arbitrary body characters, or an empty
// code, as the user's country would also end every later lookup.
std::optional<std::string> ExtractCountryCode(const char* body);

// One exchange with the server. The code to store, or nothing: only a complete exchange with status
// 200 counts. A 200 status line followed by a failure is a failure, so that a broken answer cannot
// store an empty code and stop all later lookups.
std::optional<std::string> FetchCountryCode(const ServerAddress& server, const char* request,
                                            int timeoutSec = CHttpClient::kTimeoutSec);
