// The layer's currency table, read from the printer with "gc".
#include <cstring>

#include "Brontal.h"

namespace {

bool SameNameNoCase(LPCSTR a, LPCSTR b) {
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

// The base currency code of a reply is three letters; room for a longer one that is cut.
constexpr DWORD kBaseNameCapacity = 16;

}  // namespace

int CBrontal::ReadCurrencyList(LPCSTR* position, CurrencyEntry* entries, int capacity) {
    if (!position || !entries) {
        return 0;
    }
    int count = 0;
    while (count < capacity && *position) {
        CurrencyEntry entry = {};
        char entryText[kReplyTextCapacity];
        entryText[0] = '\0';
        if (NextText(position, kFieldSeparator, entryText, sizeof entryText) <= 0) {
            break;
        }
        LPCSTR part = entryText;
        if (NextLong(&part, kPartSeparator, &entry.code) <= 0 ||
            NextText(&part, kPartSeparator, entry.name, sizeof entry.name) <= 0 ||
            NextLong(&part, kPartSeparator, &entry.decimals) <= 0) {
            break;
        }
        entries[count++] = entry;
    }
    return count;
}

void CBrontal::ReplaceCurrencyTable(const CurrencyEntry* entries, int count, LPCSTR baseName) {
    if (!entries || count < 0) {
        count = 0;
    }
    if (count > kCurrencyTableCapacity) {
        count = kCurrencyTableCapacity;
    }
    for (int i = 0; i < kCurrencyTableCapacity; ++i) {
        m_currencies[i] = i < count ? entries[i] : CurrencyEntry{};
    }
    m_currencyCount = count;
    for (int i = 0; baseName && i < count; ++i) {
        if (SameNameNoCase(m_currencies[i].name, baseName)) {
            m_currentCurrency = i;
            return;
        }
    }
    // No entry is the base currency: the index stays, unless it left the table.
    if (m_currentCurrency >= count) {
        m_currentCurrency = 0;
    }
}

int CBrontal::LoadCurrencies() {
    char data[kReplyTextCapacity];
    const int result = Query("gc", data, sizeof data);
    if (result <= 0) {
        return result;
    }
    LPCSTR position = data;
    LONG number = 0;
    char baseName[kBaseNameCapacity] = {};
    NextLong(&position, kFieldSeparator, &number);
    NextText(&position, kFieldSeparator, baseName, sizeof baseName);
    CurrencyEntry entries[kCurrencyTableCapacity] = {};
    const int count = ReadCurrencyList(&position, entries, kCurrencyTableCapacity);
    ReplaceCurrencyTable(entries, count, baseName);
    return 0;
}

int CBrontal::FindCurrency(LPCSTR name) const {
    for (int i = 0; name && i < m_currencyCount; ++i) {
        if (SameNameNoCase(m_currencies[i].name, name)) {
            return i;
        }
    }
    return m_currentCurrency;
}

const CurrencyEntry* CBrontal::Currency(int index) const {
    if (index < 0 || index >= m_currencyCount) {
        return nullptr;
    }
    return &m_currencies[index];
}
