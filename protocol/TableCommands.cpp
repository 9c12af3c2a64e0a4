// Table and configuration commands: departments, currencies, payment facilities, the receipt
// header and footer, the clock.
#include <cstdio>
#include <cstring>

#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

// Reply buffer of a department read: sixteen entries of a number, a letter and fourteen
// characters fit with room to spare.
constexpr DWORD kDepartmentReplyCapacity = 512;
constexpr DWORD kTableReplyCapacity = kReplyTextCapacity;
// Write requests stay below these.
constexpr DWORD kTableRequestCapacity = 512;
constexpr DWORD kLongTextCapacity = 1024;
constexpr DWORD kClockRequestCapacity = 64;

constexpr char kDefaultTaxGroup = 'N';
constexpr int kDepartmentNameLookup = 16;  // entries read to find a department's name
// Room for the base currency code of a reply; a longer one is cut.
constexpr DWORD kBaseCodeCapacity = 16;

// The common start of a table read: the arguments checked, the entries cleared, "code" sent for
// entry *start and the number the reply leads with stored back into *start. *position is just
// past that number, or nullptr when the reply has none (and then no entries follow).
template <typename Entry>
int ReadTable(CBrontal& layer, LPCSTR code, LONG* start, Entry* entries, int capacity, int* count,
              LPSTR reply, DWORD replyCapacity, LPCSTR* position) {
    *position = nullptr;
    const LONG first = start ? *start : 0;
    if (first < 0 || !fiscal::StartList(entries, capacity, count)) {
        return kBrontalBadArguments;
    }
    return fiscal::RunNumbered(layer, code, static_cast<DWORD>(first), reply, replyCapacity,
                               position, start);
}

// number GS letter GS name; a missing letter is the default group, a missing name field ends
// the list (an empty name does not).
bool ParseDepartment(LPCSTR text, DepartmentEntry* entry) {
    LPCSTR part = text;
    DepartmentEntry read = {};
    read.taxGroup = kDefaultTaxGroup;
    if (CBrontal::NextLong(&part, kPartSeparator, &read.number) <= 0 || !part) {
        return false;
    }
    CBrontal::NextChar(&part, kPartSeparator, &read.taxGroup);
    if (!part) {
        return false;
    }
    CBrontal::NextText(&part, kPartSeparator, read.name, sizeof read.name);
    *entry = read;
    return true;
}

bool ParseFacility(LPCSTR text, PaymentFacilityEntry* entry) {
    LPCSTR part = text;
    PaymentFacilityEntry read = {};
    if (CBrontal::NextLong(&part, kPartSeparator, &read.number) <= 0 || !part) {
        return false;
    }
    CBrontal::NextText(&part, kPartSeparator, read.name, sizeof read.name);
    *entry = read;
    return true;
}

// A name as the record holds it: terminated, or cut at its width.
struct TableName {
    char text[kTableNameCapacity];
};

TableName NameOf(const char (&name)[kTableNameCapacity]) {
    TableName copy;
    std::memcpy(copy.text, name, sizeof copy.text);
    copy.text[sizeof copy.text - 1] = '\0';
    return copy;
}

// "sd" and "sp": the whole table, each entry its number, what `middle` appends (the department's
// tax group) and its name, the entries separated by FS. -9002 before anything is sent for a
// table that does not fit or an entry that cannot be written.
template <typename Entry, typename Middle>
int WriteNumberedTable(CBrontal& layer, LPCSTR code, const Entry* entries, int count, int capacity,
                       Middle middle) {
    if (!entries || count < 1 || count > capacity) {
        return kBrontalBadArguments;
    }
    char request[kTableRequestCapacity] = "";
    for (int i = 0; i < count; ++i) {
        const Entry& entry = entries[i];
        const TableName name = NameOf(entry.name);
        const char separator = i == 0 ? '\0' : kFieldSeparator;
        if (entry.number < 0 || !fiscal::IsFieldText(name.text) ||
            CBrontal::AppendUnsigned(request, sizeof request, separator,
                                     static_cast<UINT>(entry.number)) == 0 ||
            !middle(entry, request, sizeof request) ||
            CBrontal::AppendText(request, sizeof request, kPartSeparator, name.text) == 0) {
            return kBrontalBadArguments;
        }
    }
    return fiscal::Run(layer, code, request);
}

bool IsValidTimeOfDay(const SYSTEMTIME& time) {
    return time.wHour < 24 && time.wMinute < 60 && time.wSecond < 60;
}

// "gd" and "gp": the table from entry `*start` on, each entry read by `parse`.
template <DWORD kReplyCapacity, typename Entry, typename Parse>
int ReadNumberedTable(CBrontal& layer, LPCSTR code, LONG* start, Entry* entries, int capacity,
                      int* count, Parse parse) {
    char reply[kReplyCapacity];
    LPCSTR position = nullptr;
    const int result =
        ReadTable(layer, code, start, entries, capacity, count, reply, sizeof reply, &position);
    if (result == 0) {
        *count = fiscal::ReadEntries(&position, entries, capacity, parse);
    }
    return result;
}

int WriteText(CBrontal& layer, LPCSTR code, LPCSTR text) {
    char request[kLongTextCapacity];
    if (fiscal::IsEmpty(text) || !fiscal::IsFieldText(text) ||
        CBrontal::AppendText(request, sizeof request, 0, text) == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(layer, code, request);
}

}  // namespace

int CBrontal::ReadDepartments(LONG* start, DepartmentEntry* entries, int capacity, int* count) {
    return ReadNumberedTable<kDepartmentReplyCapacity>(*this, "gd", start, entries, capacity, count,
                                                       ParseDepartment);
}

int CBrontal::ReadCurrencies(LONG* start, LPSTR baseCode, DWORD baseCodeCapacity,
                             CurrencyEntry* entries, int capacity, int* count) {
    char reply[kTableReplyCapacity];
    LPCSTR position = nullptr;
    const int result =
        ReadTable(*this, "gc", start, entries, capacity, count, reply, sizeof reply, &position);
    if (result != 0) {
        return result;
    }
    char base[kBaseCodeCapacity] = {};
    CurrencyEntry table[kCurrencyTableCapacity] = {};
    int read = 0;
    if (position) {
        NextText(&position, kFieldSeparator, base, sizeof base);
        read = ReadCurrencyList(&position, table, kCurrencyTableCapacity);
    }
    ReplaceCurrencyTable(table, read, base);
    if (baseCode && baseCodeCapacity > 0) {
        std::strncpy(baseCode, base, baseCodeCapacity - 1);
        baseCode[baseCodeCapacity - 1] = '\0';
    }
    *count = read < capacity ? read : capacity;
    for (int i = 0; i < *count; ++i) {
        entries[i] = table[i];
    }
    return 0;
}

int CBrontal::ReadPaymentFacilities(LONG* start, PaymentFacilityEntry* entries, int capacity,
                                    int* count) {
    return ReadNumberedTable<kTableReplyCapacity>(*this, "gp", start, entries, capacity, count,
                                                  ParseFacility);
}

int CBrontal::ReadReceiptHeader(LPSTR text, DWORD capacity) {
    return ReadHeaderText(text, capacity);
}

int CBrontal::ReadReceiptFooter(LPSTR text, DWORD capacity) {
    return ReadFooterText(text, capacity);
}

int CBrontal::ReadDepartmentName(int department, LPSTR name, DWORD capacity) {
    if (department < 0 || department >= kDepartmentNameLookup || !name || capacity == 0) {
        return kBrontalBadArguments;
    }
    DepartmentEntry table[kDepartmentNameLookup];
    LONG start = 0;
    int count = 0;
    const int result = ReadDepartments(&start, table, kDepartmentNameLookup, &count);
    if (result != 0) {
        return result;
    }
    for (int i = 0; i < count; ++i) {
        if (table[i].number == department) {
            std::strncpy(name, table[i].name, capacity - 1);
            name[capacity - 1] = '\0';
            return 0;
        }
    }
    return kBrontalBadArguments;
}

int CBrontal::LoadCurrencyTable() {
    CurrencyEntry table[kCurrencyTableCapacity];
    LONG start = 0;
    int count = 0;
    return ReadCurrencies(&start, nullptr, 0, table, kCurrencyTableCapacity, &count);
}

int CBrontal::WriteDepartments(const DepartmentEntry* entries, int count) {
    return WriteNumberedTable(
        *this, "sd", entries, count, kDepartmentTableCapacity,
        [](const DepartmentEntry& entry, LPSTR request, DWORD capacity) {
            return entry.taxGroup != kFieldSeparator && entry.taxGroup != kPartSeparator &&
                   AppendChar(request, capacity, kPartSeparator, entry.taxGroup) > 0;
        });
}

int CBrontal::WriteCurrencies(LPCSTR baseCode, const CurrencyEntry* entries, int count) {
    if (fiscal::IsEmpty(baseCode) || !fiscal::IsFieldText(baseCode) || !entries || count < 1 ||
        count > kCurrencyTableCapacity) {
        return kBrontalBadArguments;
    }
    char request[kTableRequestCapacity];
    if (AppendText(request, sizeof request, 0, baseCode) == 0) {
        return kBrontalBadArguments;
    }
    CurrencyEntry table[kCurrencyTableCapacity] = {};
    for (int i = 0; i < count; ++i) {
        CurrencyEntry& entry = table[i];
        entry = entries[i];
        entry.name[sizeof entry.name - 1] = '\0';
        if (entry.code < 0 || entry.decimals < 0 || fiscal::IsEmpty(entry.name) ||
            !fiscal::IsFieldText(entry.name) ||
            AppendUnsigned(request, sizeof request, kFieldSeparator,
                           static_cast<UINT>(entry.code)) == 0 ||
            AppendText(request, sizeof request, kPartSeparator, entry.name) == 0 ||
            AppendUnsigned(request, sizeof request, kPartSeparator,
                           static_cast<UINT>(entry.decimals)) == 0) {
            return kBrontalBadArguments;
        }
    }
    const int result = fiscal::Run(*this, "sc", request);
    if (result == 0) {
        ReplaceCurrencyTable(table, count, baseCode);
    }
    return result;
}

int CBrontal::WritePaymentFacilities(const PaymentFacilityEntry* entries, int count) {
    return WriteNumberedTable(*this, "sp", entries, count, kPaymentFacilityTableCapacity,
                              [](const PaymentFacilityEntry&, LPSTR, DWORD) { return true; });
}

int CBrontal::WriteReceiptHeader(LPCSTR text) {
    return WriteText(*this, "sb", text);
}

int CBrontal::WriteReceiptFooter(LPCSTR text) {
    return WriteText(*this, "se", text);
}

int CBrontal::SetDateTime(const SYSTEMTIME* time) {
    if (!time || !IsValidTimeOfDay(*time)) {
        return kBrontalBadArguments;
    }
    char date[16];
    char clock[16];
    if (!fiscal::DateText(time, date, sizeof date)) {
        return kBrontalBadArguments;
    }
    std::snprintf(clock, sizeof clock, "%02u%02u%02u", static_cast<unsigned>(time->wHour),
                  static_cast<unsigned>(time->wMinute), static_cast<unsigned>(time->wSecond));
    char request[kClockRequestCapacity];
    if (AppendText(request, sizeof request, 0, date) == 0 ||
        AppendText(request, sizeof request, kPartSeparator, clock) == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "st", request);
}
