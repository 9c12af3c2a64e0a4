#include "Values.h"

#include <cstdio>
#include <limits>
#include <vector>

namespace drvkeltor {

namespace {

constexpr LONGLONG kMoneyUnit = 10000;
constexpr int kMoneyDecimals = 4;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Digits of `text` from `*at`, at most `maximum` of them (0: any number), into `*value`, which
// must stay below `limit`. False when there is none or the value reaches the limit.
bool ReadDigits(const std::string& text, size_t* at, size_t maximum, unsigned long long limit,
                unsigned long long* value, size_t* count) {
    unsigned long long result = 0;
    size_t digits = 0;
    while (*at < text.size() && IsDigit(text[*at])) {
        if (maximum != 0 && digits == maximum) {
            return false;
        }
        const unsigned digit = static_cast<unsigned>(text[*at] - '0');
        if (result > (limit - digit) / 10) {
            return false;
        }
        result = result * 10 + digit;
        ++digits;
        ++*at;
    }
    *value = result;
    *count = digits;
    return true;
}

// A fixed-width number of exactly `width` digits at `*at`.
bool ReadField(const std::string& text, size_t* at, size_t width, int* value) {
    if (*at + width > text.size()) {
        return false;
    }
    int result = 0;
    for (size_t i = 0; i < width; ++i) {
        const char c = text[*at + i];
        if (!IsDigit(c)) {
            return false;
        }
        result = result * 10 + (c - '0');
    }
    *at += width;
    *value = result;
    return true;
}

bool Expect(const std::string& text, size_t* at, char c) {
    if (*at < text.size() && text[*at] == c) {
        ++*at;
        return true;
    }
    return false;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> items;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        items.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return items;
        }
        start = end + 1;
    }
}

bool IntegerRange(VARTYPE type, LONGLONG* low, LONGLONG* high) {
    switch (type) {
        case VT_UI2:
            *low = 0;
            *high = std::numeric_limits<USHORT>::max();
            return true;
        case VT_I2:
            *low = std::numeric_limits<SHORT>::min();
            *high = std::numeric_limits<SHORT>::max();
            return true;
        case VT_UI4:
            *low = 0;
            *high = std::numeric_limits<ULONG>::max();
            return true;
        case VT_I4:
            *low = std::numeric_limits<LONG>::min();
            *high = std::numeric_limits<LONG>::max();
            return true;
        default:
            return false;
    }
}

void StoreInteger(VARTYPE type, LONGLONG number, VARIANT* value) {
    value->vt = type;
    switch (type) {
        case VT_UI2:
            value->uiVal = static_cast<USHORT>(number);
            break;
        case VT_I2:
            value->iVal = static_cast<SHORT>(number);
            break;
        case VT_UI4:
            value->ulVal = static_cast<ULONG>(number);
            break;
        default:
            value->lVal = static_cast<LONG>(number);
            break;
    }
}

bool ParseArray(VARTYPE element, const std::string& text, VARIANT* value, std::string* error) {
    const bool texts = element == VT_BSTR;
    const std::vector<std::string> items =
        text.empty() ? std::vector<std::string>() : Split(text, texts ? '|' : ',');
    SAFEARRAY* array = SafeArrayCreateVector(element, 0, static_cast<ULONG>(items.size()));
    if (!array) {
        *error = "out of memory";
        return false;
    }
    for (size_t i = 0; i < items.size(); ++i) {
        LONG index = static_cast<LONG>(i);
        HRESULT hr = S_OK;
        if (texts) {
            BSTR item = BstrFromUtf8(items[i]);
            hr = item ? SafeArrayPutElement(array, &index, item) : E_OUTOFMEMORY;
            SysFreeString(item);
        } else {
            LONGLONG low = 0;
            LONGLONG high = 0;
            LONGLONG number = 0;
            IntegerRange(element, &low, &high);
            if (!ParseInteger(items[i], low, high, &number)) {
                *error = "item " + std::to_string(i + 1) + " is not a number from " +
                         std::to_string(low) + " to " + std::to_string(high);
                SafeArrayDestroy(array);
                return false;
            }
            VARIANT item;
            VariantInit(&item);
            StoreInteger(element, number, &item);
            hr = element == VT_UI2 ? SafeArrayPutElement(array, &index, &item.uiVal)
                                   : SafeArrayPutElement(array, &index, &item.lVal);
        }
        if (FAILED(hr)) {
            *error = "the array cannot be built";
            SafeArrayDestroy(array);
            return false;
        }
    }
    value->vt = static_cast<VARTYPE>(VT_ARRAY | element);
    value->parray = array;
    return true;
}

std::string FormatArray(const VARIANT& value) {
    const VARTYPE element = static_cast<VARTYPE>(value.vt & ~VT_ARRAY);
    SAFEARRAY* array = value.parray;
    LONG low = 0;
    LONG high = -1;
    if (!array || SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &low)) ||
        FAILED(SafeArrayGetUBound(array, 1, &high))) {
        return std::string();
    }
    std::string text;
    for (LONG index = low; index <= high; ++index) {
        if (index != low) {
            text += element == VT_BSTR ? "|" : ",";
        }
        if (element == VT_BSTR) {
            BSTR item = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(array, &index, &item))) {
                text += Utf8FromBstr(item);
                SysFreeString(item);
            }
        } else if (element == VT_UI2) {
            USHORT item = 0;
            SafeArrayGetElement(array, &index, &item);
            text += std::to_string(item);
        } else if (element == VT_I4) {
            LONG item = 0;
            SafeArrayGetElement(array, &index, &item);
            text += std::to_string(item);
        } else {
            text += "?";
        }
    }
    return text;
}

}  // namespace

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

BSTR BstrFromUtf8(const std::string& utf8) {
    if (utf8.empty()) {
        return SysAllocStringLen(OLESTR(""), 0);
    }
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (length <= 0) {
        return nullptr;
    }
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (text) {
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text, length);
    }
    return text;
}

std::string Utf8FromBstr(BSTR text) {
    const UINT length = SysStringLen(text);
    if (length == 0) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

bool ParseInteger(const std::string& given, LONGLONG low, LONGLONG high, LONGLONG* number) {
    const std::string text = Trimmed(given);
    size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        at = 1;
    }
    unsigned long long magnitude = 0;
    if (text.size() > at + 2 && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X')) {
        at += 2;
        const size_t start = at;
        while (at < text.size()) {
            const char c = text[at];
            unsigned digit = 0;
            if (IsDigit(c)) {
                digit = static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<unsigned>(c - 'A' + 10);
            } else {
                return false;
            }
            if (magnitude > (std::numeric_limits<unsigned long long>::max() >> 4)) {
                return false;
            }
            magnitude = magnitude * 16 + digit;
            ++at;
        }
        if (at == start) {
            return false;
        }
    } else {
        size_t digits = 0;
        if (!ReadDigits(text, &at, 0, std::numeric_limits<unsigned long long>::max(), &magnitude,
                        &digits) ||
            digits == 0 || at != text.size()) {
            return false;
        }
    }
    // Out of the 64-bit range is out of every member's range.
    if (magnitude > static_cast<unsigned long long>(std::numeric_limits<LONGLONG>::max())) {
        return false;
    }
    const LONGLONG result =
        negative ? -static_cast<LONGLONG>(magnitude) : static_cast<LONGLONG>(magnitude);
    if (result < low || result > high) {
        return false;
    }
    *number = result;
    return true;
}

bool ParseMoney(const std::string& given, LONGLONG* money) {
    const std::string text = Trimmed(given);
    size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        at = 1;
    }
    // The whole units must leave room for the four decimals.
    const unsigned long long limit =
        static_cast<unsigned long long>(std::numeric_limits<LONGLONG>::max()) / kMoneyUnit;
    unsigned long long units = 0;
    size_t unitDigits = 0;
    if (!ReadDigits(text, &at, 0, limit, &units, &unitDigits)) {
        return false;
    }
    unsigned long long fraction = 0;
    size_t fractionDigits = 0;
    if (Expect(text, &at, '.') &&
        !ReadDigits(text, &at, kMoneyDecimals, kMoneyUnit, &fraction, &fractionDigits)) {
        return false;
    }
    if (at != text.size() || unitDigits + fractionDigits == 0) {
        return false;
    }
    for (size_t i = fractionDigits; i < static_cast<size_t>(kMoneyDecimals); ++i) {
        fraction *= 10;
    }
    const LONGLONG value = static_cast<LONGLONG>(units * kMoneyUnit + fraction);
    *money = negative ? -value : value;
    return true;
}

std::string FormatMoney(LONGLONG money) {
    const unsigned long long magnitude = money < 0 ? 0ULL - static_cast<unsigned long long>(money)
                                                   : static_cast<unsigned long long>(money);
    char text[48] = {};
    std::snprintf(text, sizeof text, "%s%llu.%04llu", money < 0 ? "-" : "", magnitude / kMoneyUnit,
                  magnitude % kMoneyUnit);
    std::string result = text;
    // Two decimals always, the other two only when they carry something.
    for (int i = 0; i < kMoneyDecimals - 2 && result.back() == '0'; ++i) {
        result.pop_back();
    }
    return result;
}

bool ParseDate(const std::string& given, DATE* date) {
    const std::string text = Trimmed(given);
    if (text == "0") {
        *date = 0;
        return true;
    }
    SYSTEMTIME time = {};
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    size_t at = 0;
    if (!ReadField(text, &at, 4, &year) || !Expect(text, &at, '-') ||
        !ReadField(text, &at, 2, &month) || !Expect(text, &at, '-') ||
        !ReadField(text, &at, 2, &day)) {
        return false;
    }
    if (at < text.size()) {
        if (!(Expect(text, &at, 'T') || Expect(text, &at, ' ')) ||
            !ReadField(text, &at, 2, &hour) || !Expect(text, &at, ':') ||
            !ReadField(text, &at, 2, &minute)) {
            return false;
        }
        if (at < text.size() && (!Expect(text, &at, ':') || !ReadField(text, &at, 2, &second))) {
            return false;
        }
    }
    if (at != text.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59) {
        return false;
    }
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    DOUBLE value = 0;
    if (!SystemTimeToVariantTime(&time, &value)) {
        return false;
    }
    // A day past the month's end would roll into the next month: refused, not moved.
    SYSTEMTIME back = {};
    if (!VariantTimeToSystemTime(value, &back) || back.wDay != time.wDay) {
        return false;
    }
    *date = value;
    return true;
}

std::string FormatDate(DATE date) {
    SYSTEMTIME time = {};
    if (!VariantTimeToSystemTime(date, &time)) {
        return "<date " + std::to_string(date) + ">";
    }
    char text[64] = {};  // six fields of up to five digits each and their separators
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u",
                  static_cast<unsigned>(time.wYear), static_cast<unsigned>(time.wMonth),
                  static_cast<unsigned>(time.wDay), static_cast<unsigned>(time.wHour),
                  static_cast<unsigned>(time.wMinute), static_cast<unsigned>(time.wSecond));
    return text;
}

bool ParseValue(VARTYPE type, const std::string& text, VARIANT* value, std::string* error) {
    VariantInit(value);
    if (type & VT_ARRAY) {
        return ParseArray(static_cast<VARTYPE>(type & ~VT_ARRAY), text, value, error);
    }
    LONGLONG low = 0;
    LONGLONG high = 0;
    if (IntegerRange(type, &low, &high)) {
        LONGLONG number = 0;
        if (!ParseInteger(text, low, high, &number)) {
            *error =
                "not a whole number from " + std::to_string(low) + " to " + std::to_string(high);
            return false;
        }
        StoreInteger(type, number, value);
        return true;
    }
    switch (type) {
        case VT_CY:
            if (!ParseMoney(text, &value->cyVal.int64)) {
                *error = "not an amount (digits with a point and at most four decimals)";
                return false;
            }
            value->vt = VT_CY;
            return true;
        case VT_DATE:
            if (!ParseDate(text, &value->date)) {
                *error = "not a date (YYYY-MM-DD, YYYY-MM-DDThh:mm:ss, or 0)";
                return false;
            }
            value->vt = VT_DATE;
            return true;
        case VT_BSTR:
            value->bstrVal = BstrFromUtf8(text);
            if (!value->bstrVal) {
                *error = "not a UTF-8 text";
                return false;
            }
            value->vt = VT_BSTR;
            return true;
        default:
            *error = "a type the tool cannot write";
            return false;
    }
}

std::string FormatValue(const VARIANT& value) {
    if (value.vt & VT_ARRAY) {
        return FormatArray(value);
    }
    switch (value.vt) {
        case VT_EMPTY:
            return std::string();
        case VT_UI2:
            return std::to_string(value.uiVal);
        case VT_I2:
            return std::to_string(value.iVal);
        case VT_UI4:
            return std::to_string(value.ulVal);
        case VT_I4:
            return std::to_string(value.lVal);
        case VT_CY:
            return FormatMoney(value.cyVal.int64);
        case VT_DATE:
            return FormatDate(value.date);
        case VT_BSTR:
            return Utf8FromBstr(value.bstrVal);
        default:
            return "<type " + std::to_string(value.vt) + ">";
    }
}

}  // namespace drvkeltor
