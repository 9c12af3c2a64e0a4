// The printer's programming tables, as far as they are read back.
#include "Commands.h"

namespace emu {

namespace {

// A table read may name the entry to start from, as four digits; no field means the start.
bool StartNumber(const Request& request, uint32_t& start) {
    start = 0;
    const std::string& field = request.Field(0);
    if (field.empty()) {
        return true;
    }
    if (field.size() > 4) {
        return false;
    }
    for (char c : field) {
        if (c < '0' || c > '9') {
            return false;
        }
        start = start * 10 + static_cast<uint32_t>(c - '0');
    }
    return true;
}

}  // namespace

// "gc": the number of entries that follow FS, the base currency code FS, and each currency from
// the start number on as number GS code GS decimals FS.
CommandResult CmdGetCurrencies(CommandContext& context) {
    CommandResult result;
    uint32_t start = 0;
    if (!StartNumber(context.request, start)) {
        result.error = kErrBadParameter;
        return result;
    }
    std::vector<const Currency*> shown;
    for (const Currency& currency : context.state.currencies) {
        if (currency.number >= start) {
            shown.push_back(&currency);
        }
    }
    ReplyData data;
    data.Field(static_cast<int64_t>(shown.size())).Field(context.state.baseCurrency);
    for (const Currency* currency : shown) {
        data.Part(currency->number).Part(currency->code).Field(currency->decimals);
    }
    result.fields = data.Fields();
    return result;
}

}  // namespace emu
