// The layout of a reply payload over any bytes: the parser may read only the payload, and what it
// accepts must be the payload it describes: echo, FS, two hex digits of the error, FS, eight of
// the words, and either the end or FS and the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Brontal.h"

namespace {

bool IsHex(const std::string& digits) {
    return digits.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

unsigned HexValue(const std::string& digits) {
    return static_cast<unsigned>(std::strtoul(digits.c_str(), nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes on the heap: a read past it is a fault the sanitizer sees.
    const std::string payload(reinterpret_cast<const char*>(data), size);
    CBrontal::ReplyLayout layout;
    if (!CBrontal::ParseReplyLayout(payload.data(), payload.size(), &layout)) {
        return 0;
    }
    const size_t echo = layout.echoLength;
    const size_t headerEnd = echo + 12;  // FS, 2 digits, FS, 8 digits
    if (headerEnd > size || payload.find(kFieldSeparator) != echo ||
        payload[echo + 3] != kFieldSeparator) {
        __builtin_trap();
    }
    const std::string error = payload.substr(echo + 1, 2);
    const std::string words = payload.substr(echo + 4, 8);
    if (!IsHex(error) || !IsHex(words) || HexValue(error) != layout.error ||
        HexValue(words) != layout.words) {
        __builtin_trap();
    }
    const bool ends = headerEnd == size;
    if (layout.hasData == ends || (layout.hasData && (payload[headerEnd] != kFieldSeparator ||
                                                      layout.dataAt != headerEnd + 1))) {
        __builtin_trap();
    }
    return 0;
}
