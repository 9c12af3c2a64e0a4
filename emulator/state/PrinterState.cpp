#include "PrinterState.h"

#include <cerrno>
#include <limits>
#include <type_traits>

#include "Request.h"
#include "StateRecords.h"
#include "StateText.h"
#include "X28Frame.h"

namespace emu {

namespace {

// "YYYYMMDDhhmmss", or empty for a running clock.
std::string FixedTimeText(const PrinterClock& clock) {
    if (!clock.fixed) {
        return {};
    }
    return TimeDigits(clock.fixedTime);
}

bool ParseDigits(const std::string& text, size_t at, size_t count, int& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

bool ParseFixedTime(const std::string& text, PrinterClock& clock) {
    if (text.empty()) {
        clock.fixed = false;
        return true;
    }
    PrinterTime t;
    if (text.size() != 14 || !ParseDigits(text, 0, 4, t.year) ||
        !ParseDigits(text, 4, 2, t.month) || !ParseDigits(text, 6, 2, t.day) ||
        !ParseDigits(text, 8, 2, t.hour) || !ParseDigits(text, 10, 2, t.minute) ||
        !ParseDigits(text, 12, 2, t.second)) {
        return false;
    }
    clock.fixed = true;
    clock.fixedTime = t;
    return true;
}

// Entries as on the wire: number GS code GS decimals, entries separated by FS.
std::string CurrencyText(const std::vector<Currency>& currencies) {
    std::vector<std::string> entries;
    for (const Currency& c : currencies) {
        entries.push_back(
            Join({std::to_string(c.number), c.code, std::to_string(c.decimals)}, kGs));
    }
    return Join(entries, kFs);
}

bool ParseUnsigned(const std::string& text, uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t parsed = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        parsed = parsed * 10 + static_cast<uint64_t>(c - '0');
    }
    if (parsed > std::numeric_limits<uint32_t>::max()) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseCurrencies(const std::string& text, std::vector<Currency>& currencies) {
    std::vector<Currency> parsed;
    for (const std::string& entry : Split(text, kFs)) {
        const std::vector<std::string> parts = Split(entry, kGs);
        Currency c;
        if (parts.size() != 3 || !ParseUnsigned(parts[0], c.number) ||
            !ParseUnsigned(parts[2], c.decimals)) {
            return false;
        }
        c.code = parts[1];
        parsed.push_back(c);
    }
    currencies = parsed;
    return true;
}

}  // namespace

std::string SaveState(const PrinterState& state) {
    StateWriter out;
    out.Hex16("status", state.status);
    out.Hex16("blocking", state.blocking);
    out.Int("document", state.counters.document);
    out.Int("session", state.counters.session);
    out.Int("receipt", state.counters.receipt);
    out.Int("document-type", state.counters.type);
    out.Int("clock-offset", state.clock.offsetSeconds);
    out.Text("clock-fixed", FixedTimeText(state.clock));
    const PrinterIdentity& id = state.identity;
    out.Text("country", id.countryCode);
    out.Text("serial", id.serialNumber);
    out.Text("unit-register", id.unitRegisterNumber);
    out.Text("unit-serial", id.unitSerialNumber);
    out.Text("model", id.modelName);
    out.Int("init-number", id.initializationNumber);
    out.Hex32("init-options", id.initializationOptions);
    out.Text("taxpayer", id.taxpayerAccountNumber);
    out.Text("firmware", id.firmwareMnemonic);
    out.Text("firmware-version", id.firmwareVersion);
    const HardwareStatus& hw = state.hardware;
    out.Text("sensors", hw.sensors);
    out.Int("temperature", hw.temperature);
    out.Hex32("receipt-code", hw.receipt.code);
    out.Int("receipt-width", hw.receipt.width);
    out.Text("receipt-name", hw.receipt.name);
    out.Hex32("journal-code", hw.journal.code);
    out.Int("journal-width", hw.journal.width);
    out.Text("journal-name", hw.journal.name);
    out.Hex32("cutter-code", hw.cutterCode);
    out.Text("cutter-state", hw.cutterState);
    out.Text("currencies", CurrencyText(state.currencies));
    out.Text("base-currency", state.baseCurrency);
    out.Int("journal-fault", static_cast<int64_t>(state.journalFault));
    out.Int("unit-lock", static_cast<int64_t>(state.unit.lock));
    out.Int("unit-error", state.unit.error);
    out.Int("receipt-closing", state.receiptClosing ? 1 : 0);
    SaveFiscal(state, out);
    SavePrinting(state, out);
    return out.text();
}

int MergeState(const std::string& text, PrinterState& state) {
    StateReader in;
    int rc = in.Parse(text);
    if (rc != 0) {
        return rc;
    }
    PrinterState next = state;
    // A value that is there but does not parse is damage, not an item to default.
    bool ok = true;
    auto hex16 = [&](const char* key, uint16_t& value) {
        ok = ok && (!in.Has(key) || in.Hex16(key, value));
    };
    auto hex32 = [&](const char* key, uint32_t& value) {
        ok = ok && (!in.Has(key) || in.Hex32(key, value));
    };
    auto textItem = [&](const char* key, std::string& value) {
        ok = ok && (!in.Has(key) || in.Text(key, value));
    };
    auto ranged = [&](const char* key, int64_t low, int64_t high, auto& value) {
        if (!ok || !in.Has(key)) {
            return;
        }
        int64_t parsed = 0;
        ok = in.Int(key, parsed) && parsed >= low && parsed <= high;
        if (ok) {
            value = static_cast<std::remove_reference_t<decltype(value)>>(parsed);
        }
    };
    constexpr int64_t kU32 = std::numeric_limits<uint32_t>::max();

    hex16("status", next.status);
    hex16("blocking", next.blocking);
    ranged("document", 0, kU32, next.counters.document);
    ranged("session", 0, kU32, next.counters.session);
    ranged("receipt", 0, kU32, next.counters.receipt);
    ranged("document-type", 0, kU32, next.counters.type);
    ranged("clock-offset", -kMaxClockOffsetSeconds, kMaxClockOffsetSeconds,
           next.clock.offsetSeconds);
    std::string fixed = FixedTimeText(next.clock);
    textItem("clock-fixed", fixed);
    ok = ok && ParseFixedTime(fixed, next.clock);
    PrinterIdentity& id = next.identity;
    textItem("country", id.countryCode);
    textItem("serial", id.serialNumber);
    textItem("unit-register", id.unitRegisterNumber);
    textItem("unit-serial", id.unitSerialNumber);
    textItem("model", id.modelName);
    ranged("init-number", 0, kU32, id.initializationNumber);
    hex32("init-options", id.initializationOptions);
    textItem("taxpayer", id.taxpayerAccountNumber);
    textItem("firmware", id.firmwareMnemonic);
    textItem("firmware-version", id.firmwareVersion);
    HardwareStatus& hw = next.hardware;
    textItem("sensors", hw.sensors);
    ranged("temperature", std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(),
           hw.temperature);
    hex32("receipt-code", hw.receipt.code);
    ranged("receipt-width", 0, kU32, hw.receipt.width);
    textItem("receipt-name", hw.receipt.name);
    hex32("journal-code", hw.journal.code);
    ranged("journal-width", 0, kU32, hw.journal.width);
    textItem("journal-name", hw.journal.name);
    hex32("cutter-code", hw.cutterCode);
    textItem("cutter-state", hw.cutterState);
    std::string currencies = CurrencyText(next.currencies);
    textItem("currencies", currencies);
    ok = ok && ParseCurrencies(currencies, next.currencies);
    textItem("base-currency", next.baseCurrency);
    ranged("journal-fault", 0, static_cast<int64_t>(JournalFault::Permanent), next.journalFault);
    ranged("unit-lock", 0, static_cast<int64_t>(UnitLock::Permanent), next.unit.lock);
    ranged("unit-error", 0, 0xFF, next.unit.error);
    ranged("receipt-closing", 0, 1, next.receiptClosing);
    ok = ok && LoadFiscal(in, next) && LoadPrinting(in, next);

    if (!ok || !IsValidClock(next.clock) || !IsValidIdentity(next.identity) ||
        !IsValidHardware(next.hardware) || !IsValidCurrencies(next.currencies, next.baseCurrency)) {
        return -EINVAL;
    }
    state = next;
    return 0;
}

int LoadState(const std::string& text, PrinterState& state) {
    PrinterState loaded;
    int rc = MergeState(text, loaded);
    if (rc == 0) {
        state = loaded;
    }
    return rc;
}

}  // namespace emu
