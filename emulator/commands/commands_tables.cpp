// The printer's programming tables (departments, currencies, payment facilities), the receipt
// header and footer, and setting the clock. None of them changes while a document is open.
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

bool DocumentOpen(const PrinterState& state, CommandResult& result) {
    if ((state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return true;
    }
    return false;
}

// A table read may name the entry to start from, as four digits; no field means the start. The
// reply begins with the number of the first entry shown (the start asked for when none is).
template <typename Entry>
std::vector<const Entry*> EntriesFrom(const std::vector<Entry>& table, uint32_t start,
                                      ReplyData& data) {
    std::vector<const Entry*> shown;
    for (const Entry& entry : table) {
        if (entry.number >= start) {
            shown.push_back(&entry);
        }
    }
    data.Field(shown.empty() ? start : shown.front()->number);
    return shown;
}

// Entries separated by FS, their parts by GS; at least one and at most `max`.
bool SplitEntries(const Request& request, size_t first, size_t max, size_t parts,
                  std::vector<std::vector<std::string>>& entries) {
    if (request.FieldCount() <= first || request.FieldCount() - first > max) {
        return false;
    }
    for (size_t i = first; i < request.FieldCount(); ++i) {
        entries.push_back(request.Parts(i));
        if (entries.back().size() != parts) {
            return false;
        }
    }
    return true;
}

// A table read ("gd", "gc", "gp"): the request may name the entry to start from; the reply is the
// number of the first entry shown, the `lead` fields, then each entry as `write` puts it.
template <typename Entry, typename Write>
CommandResult ReadTable(CommandContext& context, const std::vector<Entry>& table,
                        const std::vector<std::string>& lead, Write write) {
    CommandResult result;
    uint32_t start = 0;
    if (context.request.FieldCount() > 1 || !ParseOptionalNumber(context.request, 0, start)) {
        result.error = kErrBadParameter;
        return result;
    }
    ReplyData data;
    const std::vector<const Entry*> shown = EntriesFrom(table, start, data);
    for (const std::string& field : lead) {
        data.Field(field);
    }
    for (const Entry* entry : shown) {
        write(data, *entry);
    }
    result.fields = data.Fields();
    return result;
}

// A table write ("sd", "sp"): the whole table, an entry per field read by `read`, taken unless a
// document is open.
template <typename Entry>
CommandResult WriteTable(CommandContext& context, size_t max, size_t parts,
                         bool (*read)(const std::vector<std::vector<std::string>>&,
                                      std::vector<Entry>&),
                         std::vector<Entry>& target) {
    CommandResult result;
    std::vector<std::vector<std::string>> entries;
    std::vector<Entry> table;
    if (!SplitEntries(context.request, 0, max, parts, entries) || !read(entries, table)) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!DocumentOpen(context.state, result)) {
        target = table;
    }
    return result;
}

CommandResult ReadText(const std::string& text) {
    CommandResult result;
    result.fields = ReplyData().Field(text).Fields();
    return result;
}

CommandResult WriteText(CommandContext& context, std::string& text) {
    CommandResult result;
    const Request& request = context.request;
    if (request.FieldCount() != 1 || !IsValidHeaderText(request.Field(0))) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!DocumentOpen(context.state, result)) {
        text = request.Field(0);
    }
    return result;
}

}  // namespace

// "gd": the first number FS, then each department as number GS tax letter GS name FS.
CommandResult CmdGetDepartments(CommandContext& context) {
    return ReadTable(context, context.state.departments, {},
                     [](ReplyData& data, const Department& d) {
                         data.Part(d.number).Part(std::string(1, d.letter)).Field(d.name);
                     });
}

// "sd": the whole table, each department number GS letter GS name, separated by FS.
CommandResult CmdSetDepartments(CommandContext& context) {
    return WriteTable(context, kMaxDepartments, 3, ReadDepartments, context.state.departments);
}

// "gc": the first number FS, the base currency code FS, then each currency as number GS code GS
// decimals FS.
CommandResult CmdGetCurrencies(CommandContext& context) {
    return ReadTable(context, context.state.currencies, {context.state.baseCurrency},
                     [](ReplyData& data, const Currency& c) {
                         data.Part(c.number).Part(c.code).Field(c.decimals);
                     });
}

// "sc": base currency code, then FS and each currency as number GS code GS decimals. The base
// must be one of them.
CommandResult CmdSetCurrencies(CommandContext& context) {
    CommandResult result;
    const Request& request = context.request;
    std::vector<std::vector<std::string>> entries;
    std::vector<Currency> table;
    bool ok = SplitEntries(request, 1, kMaxCurrencies, 3, entries) &&
              IsPrintableText(request.Field(0), kMaxCurrencyCode) && !request.Field(0).empty();
    for (size_t i = 0; ok && i < entries.size(); ++i) {
        Currency c;
        ok = ParseNumber(entries[i][0], kMaxCurrencyNumber, c.number) &&
             ParseNumber(entries[i][2], kMaxCurrencyDecimals, c.decimals);
        c.code = entries[i][1];
        table.push_back(c);
    }
    if (!ok) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!IsValidCurrencies(table, table.front().code)) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!IsValidCurrencies(table, request.Field(0))) {
        result.error = kErrNoCurrency;  // the base names none of them
        return result;
    }
    if (!DocumentOpen(context.state, result)) {
        context.state.currencies = table;
        context.state.baseCurrency = request.Field(0);
    }
    return result;
}

// "gp": the first number FS, then each payment facility as number GS name FS.
CommandResult CmdGetFacilities(CommandContext& context) {
    return ReadTable(
        context, context.state.facilities, {},
        [](ReplyData& data, const PaymentFacility& f) { data.Part(f.number).Field(f.name); });
}

// "sp": the whole table, each facility number GS name, separated by FS.
CommandResult CmdSetFacilities(CommandContext& context) {
    return WriteTable(context, kMaxFacilities, 2, ReadFacilities, context.state.facilities);
}

// "gb": the receipt header, its lines separated by line feeds, FS.
CommandResult CmdGetHeader(CommandContext& context) {
    return ReadText(context.state.header);
}

// "sb": the receipt header.
CommandResult CmdSetHeader(CommandContext& context) {
    return WriteText(context, context.state.header);
}

// "ge": the receipt footer.
CommandResult CmdGetFooter(CommandContext& context) {
    return ReadText(context.state.footer);
}

// "se": the receipt footer.
CommandResult CmdSetFooter(CommandContext& context) {
    return WriteText(context, context.state.footer);
}

// "st": date (YYYYMMDD) GS time (hhmmss). A running clock keeps running from the new time.
CommandResult CmdSetClock(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    const std::vector<std::string> parts = request.Parts(0);
    PrinterTime time;
    if (request.FieldCount() != 1 || parts.size() != 2 || parts[0].size() != 8 ||
        parts[1].size() != 6 || !ParseTimeDigits(parts[0] + parts[1], time)) {
        result.error = kErrBadParameter;
        return result;
    }
    if (DocumentOpen(state, result)) {
        return result;
    }
    if (state.clock.fixed) {
        state.clock.fixedTime = time;
        return result;
    }
    PrinterClock host;
    const int64_t offset = SecondsOf(time) - SecondsOf(ClockNow(host));
    if (offset < -kMaxClockOffsetSeconds || offset > kMaxClockOffsetSeconds) {
        result.error = kErrBadParameter;
        return result;
    }
    state.clock.offsetSeconds = offset;
    return result;
}

}  // namespace emu
