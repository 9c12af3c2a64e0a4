// Every field reader over any reply text, and amounts written and read back: no reader may read
// past the text or its output, and an amount must come back as it was written.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "Brontal.h"

namespace {

constexpr char kSeparators[] = {'\x1C', '\x1D', '/'};

void ReadAll(const std::string& text, char separator) {
    // Each reader walks the whole text, as a reply's fields are read one after another.
    LPCSTR position = text.c_str();
    while (position) {
        int number = 0;
        CBrontal::NextInt(&position, separator, &number);
    }
    position = text.c_str();
    while (position) {
        LONG number = 0;
        CBrontal::NextLong(&position, separator, &number);
    }
    position = text.c_str();
    while (position) {
        char small[5];
        CBrontal::NextText(&position, separator, small, sizeof small);
    }
    position = text.c_str();
    while (position) {
        char c = 0;
        CBrontal::NextChar(&position, separator, &c);
    }
    position = text.c_str();
    while (position) {
        DWORD value = 0;
        CBrontal::NextHex(&position, separator, &value);
        CBrontal::NextBinary(&position, separator, &value);
        ULONG wide = 0;
        CBrontal::NextHexLong(&position, separator, &wide);
        CBrontal::NextField(&position, separator);
    }
    position = text.c_str();
    while (position) {
        LONGLONG value = 0;
        DWORD scale = 0;
        CBrontal::NextAmount(&position, separator, &value, &scale);
    }
}

void RoundTrip(LONGLONG value, DWORD scale) {
    char text[64];
    if (CBrontal::AppendAmount(text, sizeof text, 0, value, scale) <= 0) {
        return;
    }
    LPCSTR position = text;
    LONGLONG back = 0;
    DWORD backScale = 0;
    if (CBrontal::NextAmount(&position, '\x1C', &back, &backScale) <= 0) {
        __builtin_trap();
    }
    // Scales 0 and 1 both read back as a whole number.
    const DWORD expected = scale > 1 ? scale : 0;
    if (back != value || backScale != expected) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ReadAll(text.c_str(), kSeparators[data[0] % 3]);
    if (size >= 13) {
        LONGLONG value = 0;
        uint32_t exponent = 0;
        std::memcpy(&value, data + 1, sizeof value);
        std::memcpy(&exponent, data + 9, sizeof exponent);
        DWORD scale = 1;
        for (uint32_t i = 0; i < exponent % 10; ++i) {
            scale *= 10;
        }
        RoundTrip(value, data[0] & 0x80 ? scale : exponent % 2);
    }
    return 0;
}
