// The common ground of the command families.
#include "FiscalCommand.h"

#include <cstdio>
#include <cstring>

#include "AsyncComX28.h"
#include "ResultCodeText.h"

namespace fiscal {

namespace {

constexpr DWORD kCodeCapacity = 8;  // two letters and the terminator, as every command has

}  // namespace

int Run(CBrontal& layer, LPCSTR code, LPCSTR request, LPSTR reply, DWORD replyCapacity) {
    if (!code) {
        return kBrontalBadArguments;
    }
    char command[kCodeCapacity] = {};
    std::strncpy(command, code, sizeof command - 1);
    // One buffer carries the request out and the reply back.
    char fields[kCommandTextCapacity];
    const size_t length = request ? std::strlen(request) : 0;
    // What the link cannot frame is an argument error too, found before anything is sent.
    if (length >= sizeof fields ||
        std::strlen(command) + (length > 0 ? 1 + length : 0) > kX28MaxRequestPayload) {
        return kBrontalBadArguments;
    }
    std::memcpy(fields, request ? request : "", length + 1);
    DWORD capacity = sizeof fields;
    if (reply && replyCapacity > 0 && replyCapacity < sizeof fields) {
        capacity = replyCapacity > length ? replyCapacity : static_cast<DWORD>(length + 1);
    }
    const int result = layer.Execute(command, sizeof command, fields, capacity, 1);
    if (result <= 0) {
        return result;
    }
    const int device = layer.DeviceResult();
    if (device != 0) {
        return device;
    }
    if (reply && replyCapacity > 0) {
        const size_t got = std::strlen(fields);
        const size_t count = got < replyCapacity - 1 ? got : replyCapacity - 1;
        std::memcpy(reply, fields, count);
        reply[count] = '\0';
    }
    return 0;
}

bool IsRetryable(int result) {
    return result == kBrontalBadReply || result == kX28Refused || result == kX28PacketTimeout ||
           result == kX28OutOfSequence;
}

bool IsEmpty(LPCSTR text) {
    return !text || text[0] == '\0';
}

void ClearText(LPSTR text, DWORD capacity) {
    if (text && capacity > 0) {
        text[0] = '\0';
    }
}

bool IsFieldText(LPCSTR text) {
    return !text || (std::strchr(text, kFieldSeparator) == nullptr &&
                     std::strchr(text, kPartSeparator) == nullptr);
}

bool IsDecimalScale(DWORD scale) {
    if (scale <= 1) {
        return true;
    }
    while (scale > 1 && scale % 10 == 0) {
        scale /= 10;
    }
    return scale == 1;
}

DWORD PowerOfTen(DWORD exponent) {
    DWORD power = 1;
    for (DWORD i = 0; i < exponent; ++i) {
        power *= 10;
    }
    return power;
}

bool NumberRequest(LPSTR request, DWORD capacity, DWORD number) {
    if (!request || capacity == 0) {
        return false;
    }
    request[0] = '\0';
    return number == 0 || CBrontal::AppendUnsigned(request, capacity, 0, number, "%04u") > 0;
}

bool LeadingNumber(LPCSTR* position, LONG* number) {
    LONG read = 0;
    if (CBrontal::NextLong(position, kFieldSeparator, &read) <= 0) {
        return false;
    }
    if (number) {
        *number = read;
    }
    return true;
}

int RunNumbered(CBrontal& layer, LPCSTR code, DWORD number, LPSTR reply, DWORD replyCapacity,
                LPCSTR* position, LONG* leading) {
    *position = nullptr;
    char request[16];  // four digits, or more for a number above 9999
    if (!reply || replyCapacity == 0 || !NumberRequest(request, sizeof request, number)) {
        return kBrontalBadArguments;
    }
    const int result = Run(layer, code, request, reply, replyCapacity);
    if (result != 0) {
        return result;
    }
    LPCSTR at = reply;
    if (LeadingNumber(&at, leading)) {
        *position = at;
    }
    return 0;
}

MoneyRules RulesOf(const CBrontal& layer, int currency, LONGLONG minBill) {
    const CurrencyEntry* entry = layer.Currency(currency);
    if (!entry) {
        return {0, 0};
    }
    return {minBill, entry->decimals > 0 ? static_cast<DWORD>(entry->decimals) : 0};
}

MoneyRules CurrentRules(const CBrontal& layer) {
    return RulesOf(layer, layer.CurrentCurrency(), layer.Settings().minBill);
}

LONGLONG Normalise(const MoneyRules& rules, LONGLONG value, DWORD* scale) {
    return CBrontal::RoundToMinBill(value, scale, rules.minBill, rules.decimals);
}

bool DateText(const SYSTEMTIME* time, LPSTR text, DWORD capacity) {
    static const WORD kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (!time || !text || time->wYear > 9999 || time->wMonth < 1 || time->wMonth > 12 ||
        time->wDay < 1 || time->wDay > kDays[time->wMonth - 1]) {
        return false;
    }
    const unsigned year = time->wYear;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (time->wMonth == 2 && time->wDay == 29 && !leap) {
        return false;
    }
    const int length =
        std::snprintf(text, capacity, "%04u%02u%02u", year, static_cast<unsigned>(time->wMonth),
                      static_cast<unsigned>(time->wDay));
    return length > 0 && static_cast<DWORD>(length) < capacity;
}

int AppendMarkedAmount(LPSTR text, DWORD capacity, char separator, bool minus, LONGLONG value,
                       DWORD scale) {
    char amount[40] = "-";  // the mark, a sign, 20 digits, a point and the terminator
    if (CBrontal::AppendAmount(amount + 1, sizeof amount - 1, 0, value, scale) == 0) {
        return 0;
    }
    return CBrontal::AppendText(text, capacity, separator, minus ? amount : amount + 1);
}

}  // namespace fiscal

DWORD ResultCodeTextOf(int code, LPSTR buffer, DWORD capacity) {
    // The texts live with the link; the driver reaches them through this layer only.
    return FormatResultCodeText(code, buffer, capacity);
}

bool SameTextNoCase(LPCSTR a, LPCSTR b) {
    if (!a || !b) {
        return false;
    }
    for (;; ++a, ++b) {
        char ca = *a;
        char cb = *b;
        if (ca >= 'a' && ca <= 'z') {
            ca = static_cast<char>(ca - 'a' + 'A');
        }
        if (cb >= 'a' && cb <= 'z') {
            cb = static_cast<char>(cb - 'a' + 'A');
        }
        if (ca != cb) {
            return false;
        }
        if (ca == '\0') {
            return true;
        }
    }
}
