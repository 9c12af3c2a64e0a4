// What the command families share: one request and its reply, the checks of request texts and
// scales, the reading of numbered lists, and the money rules of the current currency.
#pragma once

#include "Brontal.h"

namespace fiscal {

// Sends `code` with `request` (may be empty) and waits for the reply. 0, the execution's failure,
// or the device result of the reply; -9002 for a request longer than one frame can carry. The
// reply's data fields are copied into `reply` (cut to `replyCapacity`); a reply of
// `replyCapacity` bytes or more gives -9005, so that a buffer chosen for the command's replies is
// not silently overrun.
int Run(CBrontal& layer, LPCSTR code, LPCSTR request, LPSTR reply = nullptr,
        DWORD replyCapacity = 0);

// The answers Execute (and the journal recovery's status poll) try again: a garbled, refused,
// lost or late reply may come right the next time.
bool IsRetryable(int result);

bool IsEmpty(LPCSTR text);
// Empties an output text, if there is one.
void ClearText(LPSTR text, DWORD capacity);
// A text that can stand in a field: FS or GS inside it would shift every field after it.
bool IsFieldText(LPCSTR text);
// 0, 1, 10, ... 10^9: the scales an amount field can be written with.
bool IsDecimalScale(DWORD scale);
// 10^exponent for exponents up to 9.
DWORD PowerOfTen(DWORD exponent);

// The request of a read that starts at a numbered entry or session: the number as four digits, or
// nothing at all for 0 (the start of the table, the current session).
bool NumberRequest(LPSTR request, DWORD capacity, DWORD number);
// The number a reply leads with, up to FS; false when there is none.
bool LeadingNumber(LPCSTR* position, LONG* number);
// A read of entry or session `number` (see NumberRequest) whose reply leads with a number: 0 or
// a failure as Run gives it. On success the leading number goes to *leading and *position points
// just past it; *position is nullptr when the reply has no leading number, and so nothing after.
int RunNumbered(CBrontal& layer, LPCSTR code, DWORD number, LPSTR reply, DWORD replyCapacity,
                LPCSTR* position, LONG* leading);

// Clears `capacity` entries and the count: every entry a list read does not fill reads as empty.
// False for a count or array that is not there.
template <typename Entry>
bool StartList(Entry* entries, int capacity, int* count) {
    if (!count || capacity < 0 || (!entries && capacity > 0)) {
        return false;
    }
    *count = 0;
    for (int i = 0; i < capacity; ++i) {
        entries[i] = Entry{};
    }
    return true;
}

// Entries of a list reply from `position` on, each up to FS and taken apart by `parse` (a
// function of the entry's text and an entry, false when a field is missing), until `capacity`
// or the first incomplete entry. `position` follows the reading (nullptr at the end of the text).
// The number of complete entries.
template <typename Entry, typename Parse>
int ReadEntries(LPCSTR* position, Entry* entries, int capacity, Parse parse) {
    int count = 0;
    while (count < capacity && position && *position) {
        char text[kReplyTextCapacity];  // one entry; a reply is never longer
        if (CBrontal::NextText(position, kFieldSeparator, text, sizeof text) <= 0) {
            break;
        }
        Entry read = {};
        if (!parse(text, &read)) {
            break;
        }
        entries[count++] = read;
    }
    return count;
}

// The minimum bill and decimals an amount of a currency is normalised with. Without a currency
// table there are no decimals to go by: the minimum bill is then 0, which leaves amounts as they
// were given rather than cutting their fractions.
struct MoneyRules {
    LONGLONG minBill;
    DWORD decimals;
};
MoneyRules RulesOf(const CBrontal& layer, int currency, LONGLONG minBill);
// The layer's minimum bill and the current currency.
MoneyRules CurrentRules(const CBrontal& layer);
LONGLONG Normalise(const MoneyRules& rules, LONGLONG value, DWORD* scale);

// "20261207" for 7 December 2026; false for a date that does not exist or a year
// above 9999.
bool DateText(const SYSTEMTIME* time, LPSTR text, DWORD capacity);

// Appends `separator`, a '-' when `minus` is set, and the amount.
int AppendMarkedAmount(LPSTR text, DWORD capacity, char separator, bool minus, LONGLONG value,
                       DWORD scale);

}  // namespace fiscal
