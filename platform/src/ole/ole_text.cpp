#include "ole_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace ole {

namespace {

// Beyond this many integer digits a value is far outside every Automation integer and currency.
constexpr long long kMaxIntegerDigits = 30;
constexpr long long kExponentLimit = 1000000000LL;

bool IsSpace(OLECHAR c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0;
}
bool IsDigit(OLECHAR c) {
    return c >= u'0' && c <= u'9';
}

void Trim(const OLECHAR*& text, std::size_t& length) {
    while (length && IsSpace(text[0])) {
        ++text;
        --length;
    }
    while (length && IsSpace(text[length - 1])) {
        --length;
    }
}

bool EqualsNoCase(const OLECHAR* text, std::size_t length, const char* word) {
    std::size_t i = 0;
    for (; word[i]; ++i) {
        if (i >= length) {
            return false;
        }
        OLECHAR c = text[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<OLECHAR>(c - u'A' + u'a');
        }
        if (c != static_cast<OLECHAR>(word[i])) {
            return false;
        }
    }
    return i == length;
}

// Reads minCount to maxCount digits.
bool ReadDigits(const OLECHAR*& p, const OLECHAR* end, int minCount, int maxCount, int& value) {
    value = 0;
    int count = 0;
    while (p < end && IsDigit(*p) && count < maxCount) {
        value = value * 10 + (*p - u'0');
        ++p;
        ++count;
    }
    return count >= minCount;
}

bool ReadTime(const OLECHAR*& p, const OLECHAR* end, SYSTEMTIME& st) {
    int hour, minute, second = 0;
    if (!ReadDigits(p, end, 1, 2, hour) || p == end || *p++ != u':' ||
        !ReadDigits(p, end, 2, 2, minute)) {
        return false;
    }
    if (p < end && *p == u':') {
        ++p;
        if (!ReadDigits(p, end, 2, 2, second)) {
            return false;
        }
    }
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    return true;
}

}  // namespace

bool ParseNumber(const OLECHAR* text, std::size_t length, Decimal& number) {
    number = Decimal{};
    if (!text) {
        return false;
    }
    Trim(text, length);
    const OLECHAR* p = text;
    const OLECHAR* end = text + length;
    bool negative = false;
    if (p < end && (*p == u'+' || *p == u'-')) {
        negative = *p == u'-';
        ++p;
    }
    std::string digits;
    long long fractionDigits = 0;
    bool sawDigit = false;
    while (p < end && IsDigit(*p)) {
        digits.push_back(static_cast<char>(*p++));
        sawDigit = true;
    }
    if (p < end && (*p == u'.' || *p == u',')) {
        ++p;
        while (p < end && IsDigit(*p)) {
            digits.push_back(static_cast<char>(*p++));
            ++fractionDigits;
            sawDigit = true;
        }
    }
    if (!sawDigit) {
        return false;
    }
    long long exponent = 0;
    if (p < end && (*p == u'e' || *p == u'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == u'+' || *p == u'-')) {
            negativeExponent = *p == u'-';
            ++p;
        }
        if (p == end || !IsDigit(*p)) {
            return false;
        }
        while (p < end && IsDigit(*p)) {
            if (exponent < kExponentLimit) {
                exponent = exponent * 10 + (*p - u'0');
            }
            ++p;
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    if (p != end) {
        return false;
    }
    std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return true;  // zero, whatever its sign
    }
    std::size_t last = digits.find_last_not_of('0');
    number.negative = negative;
    number.exponent = exponent - fractionDigits + static_cast<long long>(digits.size() - 1 - last);
    number.digits = digits.substr(first, last - first + 1);
    return true;
}

bool RoundDecimal(const Decimal& number, int scale, Integer& result) {
    result = Integer{};
    result.negative = number.negative;
    if (number.digits.empty()) {
        return true;
    }
    const long long shift = number.exponent + scale;
    const long long length = static_cast<long long>(number.digits.size());
    if (length + shift > kMaxIntegerDigits) {
        return false;
    }
    const long long integerDigits = length + shift < 0 ? 0 : (shift >= 0 ? length : length + shift);
    unsigned __int128 magnitude = 0;
    for (long long i = 0; i < integerDigits; ++i) {
        magnitude = magnitude * 10 + static_cast<unsigned>(number.digits[i] - '0');
    }
    for (long long i = 0; i < shift; ++i) {
        magnitude *= 10;
    }
    if (shift < 0) {
        // The first dropped digit decides; an exact half goes to the even neighbour.
        const long long firstDropped = length + shift;
        if (firstDropped >= 0) {
            const char d = number.digits[firstDropped];
            const bool rest = firstDropped + 1 < length;  // no trailing zeros: anything left is > 0
            if (d > '5' || (d == '5' && (rest || (magnitude & 1)))) {
                ++magnitude;
            }
        }
    }
    result.magnitude = magnitude;
    return true;
}

bool DecimalToDouble(const Decimal& number, double& value) {
    value = 0.0;
    if (number.digits.empty()) {
        return true;
    }
    std::string text = number.digits + "e" + std::to_string(number.exponent);
    double parsed = 0.0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Out of range either way: too large, or so small that it is zero.
        if (static_cast<long long>(number.digits.size()) + number.exponent > 0) {
            return false;
        }
        parsed = 0.0;
    } else if (ec != std::errc()) {
        return false;
    }
    value = number.negative ? -parsed : parsed;
    return true;
}

bool RoundReal(double value, Integer& result) {
    result = Integer{};
    if (!std::isfinite(value)) {
        return false;
    }
    const double magnitude = std::fabs(value);
    if (magnitude >= 18446744073709551616.0) {
        return false;
    }
    double whole = std::floor(magnitude);
    const double fraction = magnitude - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    result.negative = value < 0;
    result.magnitude = static_cast<unsigned __int128>(whole);
    return true;
}

bool ParseBoolText(const OLECHAR* text, std::size_t length, bool& value) {
    if (!text) {
        return false;
    }
    Trim(text, length);
    if (EqualsNoCase(text, length, "true")) {
        value = true;
        return true;
    }
    if (EqualsNoCase(text, length, "false")) {
        value = false;
        return true;
    }
    return false;
}

bool ParseDateText(const OLECHAR* text, std::size_t length, DATE& date) {
    if (!text) {
        return false;
    }
    Trim(text, length);
    const OLECHAR* p = text;
    const OLECHAR* end = text + length;
    SYSTEMTIME st = {};
    // Time of day alone: "hh:mm" or "hh:mm:ss" on day 0.
    const bool timeOnly = length >= 3 && (p[1] == u':' || p[2] == u':');
    if (timeOnly) {
        st.wYear = 1899;
        st.wMonth = 12;
        st.wDay = 30;
        if (!ReadTime(p, end, st)) {
            return false;
        }
    } else {
        int year, month, day;
        if (!ReadDigits(p, end, 4, 4, year) || p == end || *p++ != u'-' ||
            !ReadDigits(p, end, 1, 2, month) || p == end || *p++ != u'-' ||
            !ReadDigits(p, end, 1, 2, day)) {
            return false;
        }
        st.wYear = static_cast<WORD>(year);
        st.wMonth = static_cast<WORD>(month);
        st.wDay = static_cast<WORD>(day);
        if (p < end) {
            if (*p != u' ' && *p != u'T') {
                return false;
            }
            ++p;
            if (!ReadTime(p, end, st)) {
                return false;
            }
        }
    }
    if (p != end) {
        return false;
    }
    return SystemTimeToVariantTime(&st, &date) != FALSE;
}

std::string FormatInteger(const Integer& value) {
    std::string digits;
    unsigned __int128 m = value.magnitude;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
    } while (m != 0);
    if (value.negative && value.magnitude != 0) {
        digits.insert(digits.begin(), '-');
    }
    return digits;
}

std::string FormatReal(double value, int significantDigits) {
    if (value == 0.0) {
        return "0";  // negative zero included
    }
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value,
                                         std::chars_format::general, significantDigits);
    if (ec != std::errc()) {
        return "0";
    }
    std::string text(buffer, end);
    for (char& c : text) {
        if (c == 'e') {
            c = 'E';
        }
    }
    return text;
}

std::string FormatCurrency(LONGLONG value) {
    const bool negative = value < 0;
    // Through unsigned arithmetic, so that the most negative amount has a magnitude too.
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                  : static_cast<unsigned long long>(value);
    std::string text = std::to_string(magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction) {
        char decimals[8];
        std::snprintf(decimals, sizeof(decimals), "%04u", fraction);
        std::string tail(decimals);
        tail.erase(tail.find_last_not_of('0') + 1);
        text += "." + tail;
    }
    return negative ? "-" + text : text;
}

bool FormatDate(DATE date, std::string& text) {
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(date, &st)) {
        return false;
    }
    char buffer[64];  // room for any WORD fields, though they are in range here
    std::snprintf(buffer, sizeof(buffer), "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth,
                  st.wDay, st.wHour, st.wMinute, st.wSecond);
    text = buffer;
    return true;
}

BSTR AllocAsciiString(const std::string& text) {
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (result) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            result[i] = static_cast<OLECHAR>(static_cast<unsigned char>(text[i]));
        }
    }
    return result;
}

}  // namespace ole
