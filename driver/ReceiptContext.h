// Money and quantities between the interface and the command layer.
//
// At the interface an amount is CY: the value times 10000. The command layer takes a decimal
// pair (value / scale, the scale 1, 10, 100, 1000 or 10000) so that the printer receives no more
// decimals than the amount needs.
#pragma once

#include <windows.h>

#include "FiscalRecords.h"

class CDeviceFrame;

// What a receipt command leaves in the printer's receipt when it was executed.
enum class ReceiptEffect {
    Opened,     // "rb": a receipt is open
    LineAdded,  // "as": the receipt's total moved
    Paid,       // "rc", "rn": the paid amount moved
    Totalled,   // "rt": the receipt is ready for its total
    Closed,     // "re": no receipt is open
};

constexpr LONGLONG kMoneyUnit = 10000;

// Document types of "rb" (ReceiptType).
constexpr WORD kNonFiscalDocument = 0;  // text: journal copies, enlarged text
constexpr WORD kSaleReceipt = 1;
constexpr WORD kRefundReceipt = 2;
constexpr WORD kCashDocument = 3;
constexpr WORD kFuelReceipt = 4;
constexpr WORD kAnnulmentReceipt = 5;
constexpr WORD kSlipDocument = 10;
constexpr WORD kFirstTextsReceipt = 20;  // sale receipts with three texts, 20 to 23
constexpr WORD kLastTextsReceipt = 23;

// 12.5 -> (125, 10), 3 -> (3, 1), -2.75 -> (-275, 100). Exact.
DecimalPair AmountPair(LONGLONG money);
// As AmountPair for positive quantities; a negative quantity goes in whole units, truncated
// toward zero (-1.5 -> (-1, 1)), as the printer takes no fraction there.
DecimalPair QuantityPair(LONGLONG quantity);
// value x 10000 / scale, truncated toward zero; a scale of 0 counts as 1. Saturates instead of
// overflowing.
LONGLONG MoneyFromPair(LONGLONG value, DWORD scale);
inline LONGLONG MoneyFromPair(const DecimalPair& pair) {
    return MoneyFromPair(pair.value, pair.scale);
}

// The end of a receipt command: its result is stored and, when it is 0, the receipt totals are
// refreshed to follow it; the refresh's result is then stored and returned instead.
int RefreshTotalsAfter(CDeviceFrame& frame, int result);
