// Records that the table, receipt and information commands of CBrontal fill and take.
//
// Texts are Windows-1251 and always terminated; a text longer than its field is cut.
#pragma once

#include <windows.h>

// A money amount or quantity inside the layer: value / scale, the scale 1, 10, 100, ... (0 counts
// as 1).
struct DecimalPair {
    LONGLONG value;
    DWORD scale;
};

// A line of "as": the sale of an article, or (`sale` FALSE) its storno. An absent name sends
// none; an empty one takes the department's name. An `amount` other than 0 is the line's sum,
// checked against price x quantity.
struct ArticleLine {
    BOOL sale = TRUE;
    DecimalPair price = {0, 1};
    LPCSTR name = nullptr;
    int department = 0;
    DecimalPair quantity = {1, 1};
    LPCSTR quantityText = nullptr;  // the unit, written after the quantity
    DecimalPair amount = {0, 1};
    WORD articleCode = 0;
    LPCSTR codeText = nullptr;    // written after the article code
    BOOL quantityAlways = FALSE;  // a quantity of one is written too
};

constexpr int kDepartmentTableCapacity = 16;
constexpr int kPaymentFacilityTableCapacity = 8;
constexpr DWORD kTableNameCapacity = 15;    // fourteen characters and the terminator
constexpr DWORD kCurrencyCodeCapacity = 4;  // three letters and the terminator

// A row of the printer's department table.
struct DepartmentEntry {
    LONG number;
    char taxGroup;  // 'N' when the printer gives none
    char name[kTableNameCapacity];
};

// A row of the printer's payment facility table (the named non-cash payment kinds).
struct PaymentFacilityEntry {
    LONG number;
    char name[kTableNameCapacity];
};

// What the "in" request counts in one session.
struct SessionDocumentCounts {
    DWORD documentNumber;
    DWORD salesCount;
    DWORD refundsCount;
    DWORD documentsCount;
    DWORD cancellationCount;
};

// A department row of the session and receipt requests.
struct DepartmentTotals {
    LONG number;
    char taxGroup;
    DecimalPair first;
    DecimalPair second;
};

// A currency row of the requests: one to four amounts, as many as the request's reply gives (the
// others stay zero).
constexpr int kCurrencyTotalsAmounts = 4;
struct CurrencyTotals {
    char code[kCurrencyCodeCapacity];
    DecimalPair amounts[kCurrencyTotalsAmounts];
};

// A payment facility row of the requests: one or two amounts.
constexpr int kFacilityTotalsAmounts = 2;
struct FacilityTotals {
    LONG number;
    DecimalPair amounts[kFacilityTotalsAmounts];
};

// The start and end of a session as the printer writes them: "20261207" and "015207".
constexpr DWORD kSessionDateCapacity = 16;
struct SessionDateTime {
    char startDate[kSessionDateCapacity];
    char startTime[kSessionDateCapacity];
    char endDate[kSessionDateCapacity];
    char endTime[kSessionDateCapacity];
};
