// What the table, receipt, report and information commands share: one request and its reply,
// the checks of request texts and scales, and the money rules of the current currency.
#pragma once

#include "Brontal.h"

namespace fiscal {

// Sends `code` with `request` (may be empty) and waits for the reply. 0, the execution's failure,
// or the device result of the reply; -9002 for a request longer than one frame can carry. The reply's data fields are copied into `reply` (cut to
// `replyCapacity`); a reply of `replyCapacity` bytes or more gives -9005, so that a buffer chosen
// for the command's replies is not silently overrun.
int Run(CBrontal& layer, LPCSTR code, LPCSTR request, LPSTR reply = nullptr,
        DWORD replyCapacity = 0);

bool IsEmpty(LPCSTR text);
// A text that can stand in a field: FS or GS inside it would shift every field after it.
bool IsFieldText(LPCSTR text);
// 0, 1, 10, ... 10^9: the scales an amount field can be written with.
bool IsDecimalScale(DWORD scale);

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
