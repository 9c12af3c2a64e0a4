// Readers of the fields of a reply text.
#include <cstring>

#include "Brontal.h"

namespace {

// The field at *position up to `separator` or the end; *position moves past the separator, or
// becomes nullptr when the text ended.
DWORD TakeField(LPCSTR* position, char separator, LPCSTR* start) {
    *start = nullptr;
    if (!position || !*position) {
        return 0;
    }
    LPCSTR end = *position;
    while (*end != '\0' && *end != separator) {
        ++end;
    }
    *start = *position;
    *position = (*end != '\0') ? end + 1 : nullptr;
    return static_cast<DWORD>(end - *start);
}

// A numeric field as a terminated text of at most kNumericFieldMax characters.
struct NumericText {
    char text[kNumericFieldMax + 1];
};

NumericText CopyNumeric(LPCSTR start, DWORD length) {
    NumericText numeric;
    const DWORD count = length < kNumericFieldMax ? length : kNumericFieldMax;
    std::memcpy(numeric.text, start, count);
    numeric.text[count] = '\0';
    return numeric;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

LPCSTR SkipBlanks(LPCSTR p) {
    while (IsBlank(*p)) {
        ++p;
    }
    return p;
}

int DigitValue(char c, unsigned base) {
    int digit = -1;
    if (c >= '0' && c <= '9') {
        digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10;
    }
    return (digit >= 0 && static_cast<unsigned>(digit) < base) ? digit : -1;
}

// Digits of `base` from *p into *magnitude, refusing anything above `limit`; the number of
// digits read, or -1 on overflow.
int ReadDigits(LPCSTR* p, unsigned base, unsigned long long limit, unsigned long long* magnitude) {
    int digits = 0;
    for (int d; (d = DigitValue(**p, base)) >= 0; ++*p, ++digits) {
        if (*magnitude > (limit - static_cast<unsigned>(d)) / base) {
            return -1;
        }
        *magnitude = *magnitude * base + static_cast<unsigned>(d);
    }
    return digits;
}

// Blanks, an optional sign, decimal digits, blanks: nothing else.
bool ParseSigned(LPCSTR text, long long minimum, long long maximum, long long* value) {
    LPCSTR p = SkipBlanks(text);
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(minimum)
                                              : static_cast<unsigned long long>(maximum);
    unsigned long long magnitude = 0;
    if (ReadDigits(&p, 10, limit, &magnitude) <= 0 || *SkipBlanks(p) != '\0') {
        return false;
    }
    *value =
        negative ? static_cast<long long>(0ULL - magnitude) : static_cast<long long>(magnitude);
    return true;
}

// Blanks around the digits are allowed except in a 0/1 string, where every other character fails.
bool ParseUnsigned(LPCSTR text, unsigned base, unsigned long long maximum,
                   unsigned long long* value) {
    const bool blanksAllowed = base != 2;
    LPCSTR p = blanksAllowed ? SkipBlanks(text) : text;
    unsigned long long magnitude = 0;
    if (ReadDigits(&p, base, maximum, &magnitude) <= 0 ||
        *(blanksAllowed ? SkipBlanks(p) : p) != '\0') {
        return false;
    }
    *value = magnitude;
    return true;
}

template <typename T>
int NextSigned(LPCSTR* position, char separator, T* value) {
    LPCSTR start = nullptr;
    const DWORD length = TakeField(position, separator, &start);
    if (length == 0) {
        return 0;
    }
    long long parsed = 0;
    if (!ParseSigned(CopyNumeric(start, length).text, -2147483647LL - 1, 2147483647LL, &parsed)) {
        return 0;
    }
    if (value) {
        *value = static_cast<T>(parsed);
    }
    return static_cast<int>(length);
}

template <typename T>
int NextUnsigned(LPCSTR* position, char separator, unsigned base, T* value) {
    LPCSTR start = nullptr;
    const DWORD length = TakeField(position, separator, &start);
    if (length == 0) {
        return 0;
    }
    unsigned long long parsed = 0;
    if (!ParseUnsigned(CopyNumeric(start, length).text, base, 0xFFFFFFFFULL, &parsed)) {
        return 0;
    }
    if (value) {
        *value = static_cast<T>(parsed);
    }
    return static_cast<int>(length);
}

}  // namespace

int CBrontal::NextField(LPCSTR* position, char separator) {
    LPCSTR start = nullptr;
    return static_cast<int>(TakeField(position, separator, &start));
}

int CBrontal::NextInt(LPCSTR* position, char separator, int* value) {
    return NextSigned(position, separator, value);
}

int CBrontal::NextLong(LPCSTR* position, char separator, LONG* value) {
    return NextSigned(position, separator, value);
}

int CBrontal::NextText(LPCSTR* position, char separator, LPSTR buffer, DWORD capacity) {
    LPCSTR start = nullptr;
    const DWORD length = TakeField(position, separator, &start);
    if (length == 0 || !buffer || capacity == 0) {
        return static_cast<int>(length);
    }
    const DWORD count = length < capacity - 1 ? length : capacity - 1;
    std::memcpy(buffer, start, count);
    buffer[count] = '\0';
    return static_cast<int>(length);
}

int CBrontal::NextChar(LPCSTR* position, char separator, char* value) {
    LPCSTR start = nullptr;
    const DWORD length = TakeField(position, separator, &start);
    if (length > 0 && value) {
        *value = start[0];
    }
    return static_cast<int>(length);
}

int CBrontal::NextAmount(LPCSTR* position, char separator, LONGLONG* value, DWORD* scale) {
    LPCSTR start = nullptr;
    const DWORD length = TakeField(position, separator, &start);
    if (length == 0) {
        return 0;
    }
    const NumericText numeric = CopyNumeric(start, length);
    LPCSTR p = SkipBlanks(numeric.text);
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    const unsigned long long limit = negative ? 0x8000000000000000ULL : 0x7FFFFFFFFFFFFFFFULL;
    unsigned long long magnitude = 0;
    const int wholeDigits = ReadDigits(&p, 10, limit, &magnitude);
    if (wholeDigits < 0) {
        return 0;
    }
    int fractionDigits = 0;
    if (*p == '.' || *p == ',') {
        ++p;
        fractionDigits = ReadDigits(&p, 10, limit, &magnitude);
        // The scale is a 32-bit power of ten: 10^9 at most.
        if (fractionDigits < 0 || fractionDigits > 9) {
            return 0;
        }
    }
    if (wholeDigits + fractionDigits == 0 || *SkipBlanks(p) != '\0') {
        return 0;
    }
    DWORD parsedScale = 0;
    if (fractionDigits > 0) {
        parsedScale = 1;
        for (int i = 0; i < fractionDigits; ++i) {
            parsedScale *= 10;
        }
    }
    if (value) {
        *value =
            negative ? static_cast<LONGLONG>(0ULL - magnitude) : static_cast<LONGLONG>(magnitude);
    }
    if (scale) {
        *scale = parsedScale;
    }
    return static_cast<int>(length);
}

int CBrontal::NextHex(LPCSTR* position, char separator, DWORD* value) {
    return NextUnsigned(position, separator, 16, value);
}

int CBrontal::NextHexLong(LPCSTR* position, char separator, ULONG* value) {
    return NextUnsigned(position, separator, 16, value);
}

int CBrontal::NextBinary(LPCSTR* position, char separator, DWORD* value) {
    return NextUnsigned(position, separator, 2, value);
}
