// Hexadecimal texts of binary data and line wrapping of long names.
#include <cstring>

#include "Brontal.h"

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

int CBrontal::HexToBytes(LPCSTR hex, BYTE* bytes, DWORD capacity) {
    if (!hex || (!bytes && capacity > 0)) {
        return kBrontalBadArguments;
    }
    const size_t length = std::strlen(hex);
    if (length % 2 != 0 || length / 2 > capacity) {
        return kBrontalBadArguments;
    }
    // Checked in full first, so that a bad digit leaves the output untouched.
    for (size_t i = 0; i < length; ++i) {
        if (HexDigit(hex[i]) < 0) {
            return kBrontalBadArguments;
        }
    }
    for (size_t i = 0; i < length / 2; ++i) {
        bytes[i] = static_cast<BYTE>(HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1]));
    }
    return static_cast<int>(length / 2);
}

int CBrontal::BytesToHex(const BYTE* bytes, DWORD count, LPSTR hex, DWORD capacity) {
    static const char kDigits[] = "0123456789ABCDEF";
    if (!hex || (!bytes && count > 0) || capacity == 0 ||
        static_cast<unsigned long long>(count) * 2 + 1 > capacity) {
        return kBrontalBadArguments;
    }
    for (DWORD i = 0; i < count; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
    hex[2 * count] = '\0';
    return static_cast<int>(2 * count);
}

int CBrontal::WrapText(LPCSTR text, LPSTR output, DWORD capacity, DWORD lineLength) {
    if (!output || capacity == 0) {
        return 0;
    }
    if (!text) {
        output[0] = '\0';
        return 0;
    }
    // A text that already has its line breaks is the caller's layout.
    const bool wrap = lineLength > 0 && std::strchr(text, '\n') == nullptr;
    DWORD length = 0;
    DWORD onLine = 0;
    for (LPCSTR p = text; *p != '\0'; ++p) {
        if (wrap && onLine == lineLength) {
            if (length + 1 >= capacity) {
                break;
            }
            output[length++] = '\n';
            onLine = 0;
        }
        if (length + 1 >= capacity) {
            break;
        }
        output[length++] = *p;
        ++onLine;
    }
    output[length] = '\0';
    return static_cast<int>(length);
}
