// The layer's currency table; "gc" itself is read by ReadCurrencies.
#include "Brontal.h"
#include "FiscalCommand.h"

int CBrontal::ReadCurrencyList(LPCSTR* position, CurrencyEntry* entries, int capacity) {
    if (!position || !entries) {
        return 0;
    }
    return fiscal::ReadEntries(position, entries, capacity, [](LPCSTR text, CurrencyEntry* entry) {
        LPCSTR part = text;
        return NextLong(&part, kPartSeparator, &entry->code) > 0 &&
               NextText(&part, kPartSeparator, entry->name, sizeof entry->name) > 0 &&
               NextLong(&part, kPartSeparator, &entry->decimals) > 0;
    });
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
        if (SameTextNoCase(m_currencies[i].name, baseName)) {
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
    return LoadCurrencyTable();
}

int CBrontal::FindCurrency(LPCSTR name) const {
    for (int i = 0; name && i < m_currencyCount; ++i) {
        if (SameTextNoCase(m_currencies[i].name, name)) {
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
