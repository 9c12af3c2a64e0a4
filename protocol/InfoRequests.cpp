// Session, receipt and cashier information requests: the printer's counters and accumulated
// amounts for a fiscal session, the receipt being built and the logged-in cashier.
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

constexpr DWORD kInfoReplyCapacity = 512;
// A session's dates and times are short.
constexpr DWORD kDateTimeReplyCapacity = 64;

// One entry of a list reply, up to FS, to be taken apart at GS.
struct EntryText {
    char text[kInfoReplyCapacity];
};

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

// Complete entries from *position on, up to `capacity`; an incomplete entry ends the list.
template <typename Entry, typename Parse>
int ReadList(LPCSTR position, Entry* entries, int capacity, Parse parse) {
    int count = 0;
    EntryText entry;
    while (count < capacity && position &&
           CBrontal::NextText(&position, kFieldSeparator, entry.text, sizeof entry.text) > 0) {
        Entry read = {};
        if (!parse(entry.text, &read)) {
            break;
        }
        entries[count++] = read;
    }
    return count;
}

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

// A session request for *session (the current session when 0 or absent). On success *position
// is just past the session number the reply leads with, which goes back into *session; nullptr
// when the reply has none.
int RunSession(CBrontal& layer, LPCSTR code, DWORD* session, LPSTR reply, DWORD capacity,
               LPCSTR* position, bool leadingNumber = true) {
    char request[16] = "";
    if (session && *session != 0 &&
        CBrontal::AppendUnsigned(request, sizeof request, 0, *session, "%04u") == 0) {
        return kBrontalBadArguments;
    }
    *position = nullptr;
    const int result = fiscal::Run(layer, code, request, reply, capacity);
    if (result != 0) {
        return result;
    }
    LPCSTR at = reply;
    if (leadingNumber) {
        LONG number = 0;
        if (CBrontal::NextLong(&at, kFieldSeparator, &number) <= 0) {
            return 0;
        }
        if (session) {
            *session = static_cast<DWORD>(number);
        }
    }
    *position = at;
    return 0;
}

int SessionDepartments(CBrontal& layer, LPCSTR code, DWORD* session, DepartmentTotals* entries,
                       int capacity, int* count) {
    if (!StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(layer, code, session, reply, sizeof reply, &position);
    if (result == 0) {
        *count = ReadList(position, entries, capacity, ParseDepartment);
    }
    return result;
}

int SessionCurrencies(CBrontal& layer, LPCSTR code, DWORD* session, int amounts,
                      CurrencyTotals* entries, int capacity, int* count) {
    if (!StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(layer, code, session, reply, sizeof reply, &position);
    if (result == 0) {
        *count = ReadList(position, entries, capacity, [amounts](LPCSTR text, CurrencyTotals* e) {
            return ParseCurrency(text, amounts, e);
        });
    }
    return result;
}

// The receipt and cashier lists have no request argument and no leading number.
int Departments(CBrontal& layer, LPCSTR code, DepartmentTotals* entries, int capacity, int* count) {
    if (!StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    const int result = fiscal::Run(layer, code, "", reply, sizeof reply);
    if (result == 0) {
        *count = ReadList<DepartmentTotals>(reply, entries, capacity, ParseDepartment);
    }
    return result;
}

int Currencies(CBrontal& layer, LPCSTR code, int amounts, CurrencyTotals* entries, int capacity,
               int* count) {
    if (!StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    const int result = fiscal::Run(layer, code, "", reply, sizeof reply);
    if (result == 0) {
        *count = ReadList<CurrencyTotals>(
            reply, entries, capacity,
            [amounts](LPCSTR text, CurrencyTotals* e) { return ParseCurrency(text, amounts, e); });
    }
    return result;
}

int Facilities(CBrontal& layer, LPCSTR code, int amounts, FacilityTotals* entries, int capacity,
               int* count) {
    if (!StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    const int result = fiscal::Run(layer, code, "", reply, sizeof reply);
    if (result == 0) {
        *count = ReadList<FacilityTotals>(
            reply, entries, capacity,
            [amounts](LPCSTR text, FacilityTotals* e) { return ParseFacility(text, amounts, e); });
    }
    return result;
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
    return SessionDepartments(*this, "is", session, entries, capacity, count);
}

int CBrontal::ReadSessionRefundsByDepartment(DWORD* session, DepartmentTotals* entries,
                                             int capacity, int* count) {
    return SessionDepartments(*this, "ir", session, entries, capacity, count);
}

int CBrontal::ReadSessionCashByCurrency(DWORD* session, CurrencyTotals* entries, int capacity,
                                        int* count) {
    return SessionCurrencies(*this, "ic", session, 4, entries, capacity, count);
}

int CBrontal::ReadSessionNoncashByFacility(DWORD* session, FacilityTotals* entries, int capacity,
                                           int* count) {
    if (!StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    const int result = RunSession(*this, "ip", session, reply, sizeof reply, &position);
    if (result == 0) {
        *count = ReadList(position, entries, capacity,
                          [](LPCSTR text, FacilityTotals* e) { return ParseFacility(text, 2, e); });
    }
    return result;
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
    return SessionCurrencies(*this, "ii", session, 4, entries, capacity, count);
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
    char reply[kInfoReplyCapacity];
    LPCSTR position = nullptr;
    // The request names the session, the reply does not repeat it.
    const int result = RunSession(*this, "il", session, reply, sizeof reply, &position, false);
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
    return Departments(*this, "ks", entries, capacity, count);
}

int CBrontal::ReadReceiptRefundsByDepartment(DepartmentTotals* entries, int capacity, int* count) {
    return Departments(*this, "kr", entries, capacity, count);
}

int CBrontal::ReadReceiptCashByCurrency(CurrencyTotals* entries, int capacity, int* count) {
    return Currencies(*this, "kc", 2, entries, capacity, count);
}

int CBrontal::ReadReceiptNoncashByFacility(FacilityTotals* entries, int capacity, int* count) {
    return Facilities(*this, "kp", 1, entries, capacity, count);
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
    return Currencies(*this, "ki", 1, entries, capacity, count);
}

// The cashier's replies hold a row for every currency the cashier took; they get the room of
// the other lists.
int CBrontal::ReadCashierCollectedAmounts(CurrencyTotals* entries, int capacity, int* count) {
    return Currencies(*this, "wc", 3, entries, capacity, count);
}

int CBrontal::ReadCashierNoncashByFacility(FacilityTotals* entries, int capacity, int* count) {
    return Facilities(*this, "wp", 1, entries, capacity, count);
}
