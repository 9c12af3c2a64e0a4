// Session, receipt and cashier information requests: the printer's counters and accumulated
// amounts for a fiscal session, the receipt being built and the logged-in cashier.
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

constexpr DWORD kInfoReplyCapacity = 512;
// A session's dates and times are short.
constexpr DWORD kDateTimeReplyCapacity = 64;

bool NextAmountOf(LPCSTR* position, char separator, DecimalPair* amount) {
    return CBrontal::NextAmount(position, separator, &amount->value, &amount->scale) > 0;
}

bool ParseDepartment(LPCSTR text, DepartmentTotals* entry) {
    LPCSTR part = text;
    return CBrontal::NextLong(&part, kPartSeparator, &entry->number) > 0 &&
           CBrontal::NextChar(&part, kPartSeparator, &entry->taxGroup) > 0 &&
           NextAmountOf(&part, kPartSeparator, &entry->first) &&
           NextAmountOf(&part, kPartSeparator, &entry->second);
}

bool ParseCurrency(LPCSTR text, int amounts, CurrencyTotals* entry) {
    LPCSTR part = text;
    if (CBrontal::NextText(&part, kPartSeparator, entry->code, sizeof entry->code) <= 0) {
        return false;
    }
    for (int i = 0; i < amounts; ++i) {
        if (!NextAmountOf(&part, kPartSeparator, &entry->amounts[i])) {
            return false;
        }
    }
    return true;
}

bool ParseFacility(LPCSTR text, int amounts, FacilityTotals* entry) {
    LPCSTR part = text;
    if (CBrontal::NextLong(&part, kPartSeparator, &entry->number) <= 0) {
        return false;
    }
    for (int i = 0; i < amounts; ++i) {
        if (!NextAmountOf(&part, kPartSeparator, &entry->amounts[i])) {
            return false;
        }
    }
    return true;
}

// A session request for *session (the current session when 0 or absent). On success *position
// is just past the session number the reply leads with, which goes back into *session; nullptr
// when the reply has none.
int RunSession(CBrontal& layer, LPCSTR code, DWORD* session, LPSTR reply, DWORD capacity,
               LPCSTR* position) {
    LONG number = 0;
    const int result = fiscal::RunNumbered(layer, code, session ? *session : 0, reply, capacity,
                                           position, &number);
    if (result == 0 && *position && session) {
        *session = static_cast<DWORD>(number);
    }
    return result;
}

// A list request: every entry cleared, the request sent, the complete entries parsed. Only the
// session requests have an argument and a leading number; the receipt and cashier requests have
// neither.
template <typename Entry, typename Parse>
int ReadListRequest(CBrontal& layer, LPCSTR code, bool sessionRequest, DWORD* session,
                    Entry* entries, int capacity, int* count, Parse parse) {
    if (!fiscal::StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    LPCSTR position = reply;
    const int result = sessionRequest
                           ? RunSession(layer, code, session, reply, sizeof reply, &position)
                           : fiscal::Run(layer, code, "", reply, sizeof reply);
    if (result == 0) {
        *count = fiscal::ReadEntries(&position, entries, capacity, parse);
    }
    return result;
}

template <typename Entry, typename Parse>
int SessionList(CBrontal& layer, LPCSTR code, DWORD* session, Entry* entries, int capacity,
                int* count, Parse parse) {
    return ReadListRequest(layer, code, true, session, entries, capacity, count, parse);
}

template <typename Entry, typename Parse>
int PlainList(CBrontal& layer, LPCSTR code, Entry* entries, int capacity, int* count, Parse parse) {
    return ReadListRequest(layer, code, false, nullptr, entries, capacity, count, parse);
}

// The parsers of the entries with `n` amounts.
template <int n>
bool CurrencyOf(LPCSTR text, CurrencyTotals* entry) {
    return ParseCurrency(text, n, entry);
}

template <int n>
bool FacilityOf(LPCSTR text, FacilityTotals* entry) {
    return ParseFacility(text, n, entry);
}

// amount FS amount, both cleared first.
void ReadTwoAmounts(LPCSTR position, DecimalPair* first, DecimalPair* second) {
    if (NextAmountOf(&position, kFieldSeparator, first)) {
        NextAmountOf(&position, kFieldSeparator, second);
    }
}

template <typename T>
void Clear(T* value) {
    if (value) {
        *value = T{};
    }
}

}  // namespace

int CBrontal::ReadSessionDocumentCounts(DWORD* session, SessionDocumentCounts* counts) {
    if (!counts) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(*this, "in", session, reply, sizeof reply, &position);
    if (result != 0) {
        return result;
    }
    DWORD* const fields[] = {&counts->documentNumber, &counts->salesCount, &counts->refundsCount,
                             &counts->documentsCount, &counts->cancellationCount};
    for (DWORD* field : fields) {
        LONG value = 0;
        if (NextLong(&position, kFieldSeparator, &value) <= 0) {
            break;
        }
        *field = static_cast<DWORD>(value);
    }
    return 0;
}

int CBrontal::ReadSessionDateTime(DWORD* session, SessionDateTime* dates) {
    if (!dates) {
        return kBrontalBadArguments;
    }
    char reply[kDateTimeReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(*this, "it", session, reply, sizeof reply, &position);
    if (result != 0) {
        return result;
    }
    // Reading stops at the first field missing; what is not read keeps its value.
    struct Part {
        char separator;
        LPSTR text;
        DWORD capacity;
    };
    const Part parts[] = {
        {kPartSeparator, dates->startDate, sizeof dates->startDate},
        {kFieldSeparator, dates->startTime, sizeof dates->startTime},
        {kPartSeparator, dates->endDate, sizeof dates->endDate},
        {kFieldSeparator, dates->endTime, sizeof dates->endTime},
    };
    for (const Part& part : parts) {
        if (NextText(&position, part.separator, part.text, part.capacity) <= 0) {
            break;
        }
    }
    return 0;
}

int CBrontal::ReadSessionSalesByDepartment(DWORD* session, DepartmentTotals* entries, int capacity,
                                           int* count) {
    return SessionList(*this, "is", session, entries, capacity, count, ParseDepartment);
}

int CBrontal::ReadSessionRefundsByDepartment(DWORD* session, DepartmentTotals* entries,
                                             int capacity, int* count) {
    return SessionList(*this, "ir", session, entries, capacity, count, ParseDepartment);
}

int CBrontal::ReadSessionCashByCurrency(DWORD* session, CurrencyTotals* entries, int capacity,
                                        int* count) {
    return SessionList(*this, "ic", session, entries, capacity, count, CurrencyOf<4>);
}

int CBrontal::ReadSessionNoncashByFacility(DWORD* session, FacilityTotals* entries, int capacity,
                                           int* count) {
    return SessionList(*this, "ip", session, entries, capacity, count, FacilityOf<2>);
}

int CBrontal::ReadSessionDiscountsSurcharges(DWORD* session, DecimalPair* discounts,
                                             DecimalPair* surcharges) {
    if (!discounts || !surcharges) {
        return kBrontalBadArguments;
    }
    Clear(discounts);
    Clear(surcharges);
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(*this, "ix", session, reply, sizeof reply, &position);
    if (result == 0) {
        ReadTwoAmounts(position, discounts, surcharges);
    }
    return result;
}

int CBrontal::ReadSessionAccumulatedTotals(DWORD* session, DecimalPair* sales, DecimalPair* refunds,
                                           DecimalPair* third) {
    if (!sales || !refunds || !third) {
        return kBrontalBadArguments;
    }
    Clear(sales);
    Clear(refunds);
    Clear(third);
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(*this, "ig", session, reply, sizeof reply, &position);
    if (result == 0) {
        DecimalPair* const amounts[] = {sales, refunds, third};
        for (DecimalPair* amount : amounts) {
            if (!NextAmountOf(&position, kFieldSeparator, amount)) {
                break;
            }
        }
    }
    return result;
}

int CBrontal::ReadSessionCollectedAmounts(DWORD* session, CurrencyTotals* entries, int capacity,
                                          int* count) {
    return SessionList(*this, "ii", session, entries, capacity, count, CurrencyOf<4>);
}

int CBrontal::ReadSessionJournalInfo(DWORD* session, DWORD* size, ULONG* checksum) {
    if (!size || !checksum) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(*this, "ij", session, reply, sizeof reply, &position);
    if (result != 0) {
        return result;
    }
    LONG value = 0;
    if (NextLong(&position, kFieldSeparator, &value) > 0) {
        *size = static_cast<DWORD>(value);
        NextHexLong(&position, kFieldSeparator, checksum);
    }
    return 0;
}

int CBrontal::ReadSessionRestaurantOrders(DWORD* session, DecimalPair* openAmount, DWORD* openCount,
                                          DecimalPair* closedAmount, DWORD* closedCount) {
    if (!openAmount || !openCount || !closedAmount || !closedCount) {
        return kBrontalBadArguments;
    }
    Clear(openAmount);
    Clear(openCount);
    Clear(closedAmount);
    Clear(closedCount);
    // The request names the session, the reply does not repeat it.
    char request[16];
    if (!fiscal::NumberRequest(request, sizeof request, session ? *session : 0)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    const int result = fiscal::Run(*this, "il", request, reply, sizeof reply);
    LPCSTR position = reply;
    if (result != 0) {
        return result;
    }
    LONG open = 0;
    LONG closed = 0;
    if (NextAmountOf(&position, kPartSeparator, openAmount) &&
        NextLong(&position, kFieldSeparator, &open) > 0) {
        *openCount = static_cast<DWORD>(open);
        if (NextAmountOf(&position, kPartSeparator, closedAmount) &&
            NextLong(&position, kFieldSeparator, &closed) > 0) {
            *closedCount = static_cast<DWORD>(closed);
        }
    }
    return 0;
}

int CBrontal::ReadReceiptTotals(DecimalPair* sales, DecimalPair* payment) {
    if (!sales || !payment) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    const int result = fiscal::Run(*this, "kg", "", reply, sizeof reply);
    if (result == 0) {
        ReadTwoAmounts(reply, sales, payment);
    }
    return result;
}

int CBrontal::ReadReceiptSalesByDepartment(DepartmentTotals* entries, int capacity, int* count) {
    return PlainList(*this, "ks", entries, capacity, count, ParseDepartment);
}

int CBrontal::ReadReceiptRefundsByDepartment(DepartmentTotals* entries, int capacity, int* count) {
    return PlainList(*this, "kr", entries, capacity, count, ParseDepartment);
}

int CBrontal::ReadReceiptCashByCurrency(CurrencyTotals* entries, int capacity, int* count) {
    return PlainList(*this, "kc", entries, capacity, count, CurrencyOf<2>);
}

int CBrontal::ReadReceiptNoncashByFacility(FacilityTotals* entries, int capacity, int* count) {
    return PlainList(*this, "kp", entries, capacity, count, FacilityOf<1>);
}

int CBrontal::ReadReceiptDiscountsSurcharges(DecimalPair* discounts, DecimalPair* surcharges) {
    if (!discounts || !surcharges) {
        return kBrontalBadArguments;
    }
    Clear(discounts);
    Clear(surcharges);
    char reply[kInfoReplyCapacity];
    const int result = fiscal::Run(*this, "kx", "", reply, sizeof reply);
    if (result == 0) {
        ReadTwoAmounts(reply, discounts, surcharges);
    }
    return result;
}

int CBrontal::ReadReceiptCollectedByCurrency(CurrencyTotals* entries, int capacity, int* count) {
    return PlainList(*this, "ki", entries, capacity, count, CurrencyOf<1>);
}

// The cashier's replies hold a row for every currency the cashier took; they get the room of
// the other lists.
int CBrontal::ReadCashierCollectedAmounts(CurrencyTotals* entries, int capacity, int* count) {
    return PlainList(*this, "wc", entries, capacity, count, CurrencyOf<3>);
}

int CBrontal::ReadCashierNoncashByFacility(FacilityTotals* entries, int capacity, int* count) {
    return PlainList(*this, "wp", entries, capacity, count, FacilityOf<1>);
}
