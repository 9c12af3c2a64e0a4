// The layout of a reply payload over any bytes: the parser may read only the payload, and what it
// accepts must be the payload it describes, so that writing the parts back gives it again.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Brontal.h"

namespace {

bool SameHex(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes on the heap: a read past it is a fault the sanitizer sees.
    const std::string payload(reinterpret_cast<const char*>(data), size);
    CBrontal::ReplyLayout layout;
    if (!CBrontal::ParseReplyLayout(payload.data(), payload.size(), &layout)) {
        return 0;
    }
    if (layout.echoLength >= size || payload[layout.echoLength] != kFieldSeparator ||
        layout.error > 0xFF || layout.dataAt > size ||
        (layout.hasData && payload[layout.dataAt - 1] != kFieldSeparator)) {
        __builtin_trap();
    }
    char header[32];
    std::snprintf(header, sizeof header, "%c%02X%c%08X", kFieldSeparator, layout.error,
                  kFieldSeparator, layout.words);
    std::string again = payload.substr(0, layout.echoLength) + header;
    if (layout.hasData) {
        again += kFieldSeparator + payload.substr(layout.dataAt);
    }
    // The hex digits may have come in either case.
    if (!SameHex(again, payload)) {
        __builtin_trap();
    }
    return 0;
}
