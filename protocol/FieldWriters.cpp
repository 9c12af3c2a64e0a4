// Writers of the fields of a request text.
#include <cstdio>
#include <cstring>

#include "Brontal.h"

namespace {

// Appends `separator` (unless it is 0, which starts afresh) and `count` bytes of `field`.
int AppendField(LPSTR text, DWORD capacity, char separator, LPCSTR field, size_t count) {
    if (!text || capacity == 0 || !field) {
        return 0;
    }
    size_t length = 0;
    if (separator != '\0') {
        const void* end = std::memchr(text, '\0', capacity);
        if (!end) {
            return 0;  // not a text of this buffer
        }
        length = static_cast<size_t>(static_cast<const char*>(end) - text);
    }
    const size_t separatorLength = separator != '\0' ? 1 : 0;
    if (count >= capacity || length + separatorLength + count + 1 > capacity) {
        return 0;
    }
    if (separatorLength) {
        text[length++] = separator;
    }
    std::memcpy(text + length, field, count);
    length += count;
    text[length] = '\0';
    return static_cast<int>(length);
}

// One conversion of an unsigned value ("%u", "%04u", "%X"; with `isLong` "%lu", "%08lX"),
// optionally between literal characters: anything else would make the formatting undefined.
bool IsUnsignedFormat(LPCSTR format, bool isLong) {
    if (!format) {
        return false;
    }
    int conversions = 0;
    for (LPCSTR p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            continue;
        }
        ++p;
        while (*p == '0' || *p == '-') {
            ++p;
        }
        while (*p >= '0' && *p <= '9') {
            ++p;
        }
        if (isLong) {
            if (*p != 'l') {
                return false;
            }
            ++p;
        }
        if (*p != 'u' && *p != 'x' && *p != 'X') {
            return false;
        }
        ++conversions;
    }
    return conversions == 1;
}

// One value printed with a format IsUnsignedFormat accepted.
template <typename Unsigned>
int AppendFormatted(LPSTR text, DWORD capacity, char separator, LPCSTR format, Unsigned value) {
    char field[64];
    const int count = std::snprintf(field, sizeof field, format, value);
    if (count < 0 || static_cast<size_t>(count) >= sizeof field) {
        return 0;
    }
    return AppendField(text, capacity, separator, field, static_cast<size_t>(count));
}

// The number of decimals of a scale that is a power of ten (0 and 1 have none); -1 otherwise.
int ScaleDecimals(DWORD scale) {
    if (scale <= 1) {
        return 0;
    }
    int decimals = 0;
    while (scale > 1) {
        if (scale % 10 != 0) {
            return -1;
        }
        scale /= 10;
        ++decimals;
    }
    return decimals;
}

}  // namespace

int CBrontal::AppendText(LPSTR text, DWORD capacity, char separator, LPCSTR field) {
    if (!field) {
        return 0;
    }
    return AppendField(text, capacity, separator, field, std::strlen(field));
}

int CBrontal::AppendBinary(LPSTR text, DWORD capacity, char separator, DWORD value) {
    char digits[33];  // 32 binary digits and the terminator
    int count = 0;
    bool started = false;
    for (int bit = 31; bit >= 0; --bit) {
        const bool set = ((value >> bit) & 1U) != 0;
        if (set || started || bit == 0) {
            digits[count++] = set ? '1' : '0';
            started = true;
        }
    }
    digits[count] = '\0';
    return AppendField(text, capacity, separator, digits, static_cast<size_t>(count));
}

int CBrontal::AppendUnsigned(LPSTR text, DWORD capacity, char separator, UINT value,
                             LPCSTR format) {
    if (!IsUnsignedFormat(format, false)) {
        return 0;
    }
    return AppendFormatted(text, capacity, separator, format, static_cast<unsigned>(value));
}

int CBrontal::AppendUnsignedLong(LPSTR text, DWORD capacity, char separator, ULONG value,
                                 LPCSTR format) {
    if (!IsUnsignedFormat(format, true)) {
        return 0;
    }
    // ULONG is 32 bits on every target; "%lu" takes the platform's unsigned long.
    return AppendFormatted(text, capacity, separator, format, static_cast<unsigned long>(value));
}

int CBrontal::AppendAmount(LPSTR text, DWORD capacity, char separator, LONGLONG value,
                           DWORD scale) {
    // A scale that is not a power of ten has no decimal text: 5/20 is not "0.05".
    const int decimals = ScaleDecimals(scale);
    if (decimals < 0) {
        return 0;
    }
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);

    // Digits come out lowest first; at most 20 of them, padded to decimals + 1 (at most 10).
    char reversed[24];
    int count = 0;
    while (magnitude > 0) {
        reversed[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    while (count < decimals + 1) {
        reversed[count++] = '0';
    }

    char field[32];  // sign, 20 digits, point, terminator
    int length = 0;
    if (value < 0) {
        field[length++] = '-';
    }
    for (int i = count - 1; i >= 0; --i) {
        field[length++] = reversed[i];
        if (i == decimals && decimals > 0) {
            field[length++] = '.';
        }
    }
    field[length] = '\0';
    return AppendField(text, capacity, separator, field, static_cast<size_t>(length));
}

int CBrontal::AppendChar(LPSTR text, DWORD capacity, char separator, char value) {
    if (value == '\0') {
        return 0;
    }
    return AppendField(text, capacity, separator, &value, 1);
}
