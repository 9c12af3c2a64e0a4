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

// The start request: the entry number as four digits, or nothing for the table's start.
bool StartRequest(LPSTR request, DWORD capacity, const LONG* start) {
    request[0] = '\0';
    if (!start || *start == 0) {
        return true;
    }
    return *start > 0 &&
           CBrontal::AppendUnsigned(request, capacity, 0, static_cast<UINT>(*start), "%04u") > 0;
}

// The number a table reply leads with; false when there is none, and then no entries follow.
bool LeadingNumber(LPCSTR* position, LONG* start) {
    LONG number = 0;
    if (CBrontal::NextLong(position, kFieldSeparator, &number) <= 0) {
        return false;
    }
    if (start) {
        *start = number;
    }
    return true;
}

// One entry of a table reply, up to FS, to be taken apart at GS.
struct EntryText {
    char text[kReplyTextCapacity];
};

bool NextEntry(LPCSTR* position, EntryText* entry) {
    entry->text[0] = '\0';
    return *position &&
           CBrontal::NextText(position, kFieldSeparator, entry->text, sizeof entry->text) > 0;
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

bool ListArguments(const void* entries, int capacity, const int* count) {
    return count && capacity >= 0 && (entries || capacity == 0);
}

bool IsValidTimeOfDay(const SYSTEMTIME& time) {
    return time.wHour < 24 && time.wMinute < 60 && time.wSecond < 60;
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
    char request[16];
    if (!ListArguments(entries, capacity, count) || !StartRequest(request, sizeof request, start)) {
        return kBrontalBadArguments;
    }
    *count = 0;
    for (int i = 0; i < capacity; ++i) {
        entries[i] = DepartmentEntry{};
    }
    char reply[kDepartmentReplyCapacity];
    const int result = fiscal::Run(*this, "gd", request, reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    LPCSTR position = reply;
    if (!LeadingNumber(&position, start)) {
        return 0;
    }
    EntryText entry;
    while (*count < capacity && NextEntry(&position, &entry) &&
           ParseDepartment(entry.text, &entries[*count])) {
        ++*count;
    }
    return 0;
}

int CBrontal::ReadCurrencies(LONG* start, LPSTR baseCode, DWORD baseCodeCapacity,
                             CurrencyEntry* entries, int capacity, int* count) {
    char request[16];
    if (!ListArguments(entries, capacity, count) || !StartRequest(request, sizeof request, start)) {
        return kBrontalBadArguments;
    }
    *count = 0;
    for (int i = 0; i < capacity; ++i) {
        entries[i] = CurrencyEntry{};
    }
    char reply[kTableReplyCapacity];
    const int result = fiscal::Run(*this, "gc", request, reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    LPCSTR position = reply;
    char base[kBaseCodeCapacity] = {};
    CurrencyEntry table[kCurrencyTableCapacity] = {};
    int read = 0;
    if (LeadingNumber(&position, start)) {
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
    char request[16];
    if (!ListArguments(entries, capacity, count) || !StartRequest(request, sizeof request, start)) {
        return kBrontalBadArguments;
    }
    *count = 0;
    for (int i = 0; i < capacity; ++i) {
        entries[i] = PaymentFacilityEntry{};
    }
    char reply[kTableReplyCapacity];
    const int result = fiscal::Run(*this, "gp", request, reply, sizeof reply);
    if (result != 0) {
        return result;
    }
    LPCSTR position = reply;
    if (!LeadingNumber(&position, start)) {
        return 0;
    }
    EntryText entry;
    while (*count < capacity && NextEntry(&position, &entry) &&
           ParseFacility(entry.text, &entries[*count])) {
        ++*count;
    }
    return 0;
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
    if (!entries || count < 1 || count > kDepartmentTableCapacity) {
        return kBrontalBadArguments;
    }
    char request[kTableRequestCapacity] = "";
    for (int i = 0; i < count; ++i) {
        const DepartmentEntry& entry = entries[i];
        // The name is taken as the record holds it, terminated or cut at its width.
        char name[kTableNameCapacity];
        std::memcpy(name, entry.name, sizeof name);
        name[sizeof name - 1] = '\0';
        const char separator = i == 0 ? '\0' : kFieldSeparator;
        if (entry.number < 0 || entry.taxGroup == kFieldSeparator ||
            entry.taxGroup == kPartSeparator || !fiscal::IsFieldText(name) ||
            AppendUnsigned(request, sizeof request, separator, static_cast<UINT>(entry.number)) ==
                0 ||
            AppendChar(request, sizeof request, kPartSeparator, entry.taxGroup) == 0 ||
            AppendText(request, sizeof request, kPartSeparator, name) == 0) {
            return kBrontalBadArguments;
        }
    }
    return fiscal::Run(*this, "sd", request);
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
    if (!entries || count < 1 || count > kPaymentFacilityTableCapacity) {
        return kBrontalBadArguments;
    }
    char request[kTableRequestCapacity] = "";
    for (int i = 0; i < count; ++i) {
        const PaymentFacilityEntry& entry = entries[i];
        char name[kTableNameCapacity];
        std::memcpy(name, entry.name, sizeof name);
        name[sizeof name - 1] = '\0';
        const char separator = i == 0 ? '\0' : kFieldSeparator;
        if (entry.number < 0 || !fiscal::IsFieldText(name) ||
            AppendUnsigned(request, sizeof request, separator, static_cast<UINT>(entry.number)) ==
                0 ||
            AppendText(request, sizeof request, kPartSeparator, name) == 0) {
            return kBrontalBadArguments;
        }
    }
    return fiscal::Run(*this, "sp", request);
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
