// The control channel's parsers on arbitrary bytes, as a hostile client or a broken board might send
// them. The sanitizers catch any read outside the input; the checks below catch a message that the
// parser takes but would not write the same way again, or a refusal without a reason.
#include "control/ControlMessage.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A message that parses is written out again no longer than it came (only %XX may shrink to a byte),
// and that text parses to the same message.
template <typename Parse> void RoundTrip(std::string_view bytes, std::size_t limit, Parse parse) {
    const auto parsed = parse(bytes);
    if (!parsed.message) {
        Check(!parsed.error.empty());
        return;
    }
    Check(bytes.size() <= limit);
    const std::string again = ControlMessage::Encode(*parsed.message);
    Check(again.size() <= bytes.size());
    const auto reparsed = parse(again);
    Check(reparsed.message.has_value() && *reparsed.message == *parsed.message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RoundTrip(bytes, ControlMessage::kMaxRequestBytes, ControlMessage::ParseRequest);
    RoundTrip(bytes, ControlMessage::kMaxReplyBytes, ControlMessage::ParseReply);
    return 0;
}
