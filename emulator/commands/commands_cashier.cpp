// The cashier: logging in, who is logged in, and what the cashier took during the day.
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"
#include "InfoReplies.h"

namespace emu {

namespace {

CashierTotals CashierOfTheDay(const PrinterState& state) {
    const Session* session = FindSession(state, 0);
    return session ? Lookup(session->cashiers, state.cashier) : CashierTotals();
}

}  // namespace

// "wi": the cashier's name; not while a document is open.
CommandResult CmdCashierLogin(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    if (request.FieldCount() != 1 || request.Field(0).empty() ||
        !IsPrintableText(request.Field(0), kMaxCashierName)) {
        result.error = kErrBadParameter;
        return result;
    }
    if ((state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    state.cashier = request.Field(0);
    state.cashierSince = NowDigits(state);
    return result;
}

// "wg": day number FS login time GS cashier name FS (empty when nobody is logged in).
CommandResult CmdReadCashier(CommandContext& context) {
    const PrinterState& state = context.state;
    CommandResult result;
    result.fields = ReplyData()
                        .Field(state.counters.session)
                        .Part(state.cashier.empty() ? std::string() : state.cashierSince)
                        .Field(state.cashier)
                        .Fields();
    return result;
}

// "wc": the currencies the cashier handled during the current or last day, each code GS cash
// income GS cash outcome GS the cashier's cash net, in the currency's units.
CommandResult CmdCashierCollectedAmounts(CommandContext& context) {
    const PrinterState& state = context.state;
    const CashierTotals totals = CashierOfTheDay(state);
    // The driver reads this into 64 bytes: only the currencies the cashier handled.
    ListReply rows(std::string(), kMaxShortListData);
    for (const auto& [code, t] : totals.currencies) {
        const unsigned own = CurrencyDecimals(state, code);
        rows.Row(Entry({code, FormatAmount(t.income, own), FormatAmount(t.outcome, own),
                        FormatAmount(t.collected, own)}));
    }
    CommandResult result;
    result.fields = rows.Fields();
    return result;
}

// "wp": the facilities the cashier took payments with, each number GS the payments (less those
// paid back).
CommandResult CmdCashierNoncashByFacility(CommandContext& context) {
    const PrinterState& state = context.state;
    const CashierTotals totals = CashierOfTheDay(state);
    ListReply rows(std::string(), kMaxShortListData);
    for (const auto& [number, amount] : totals.noncash) {
        rows.Row(Entry({std::to_string(number), FormatAmount(amount, BaseDecimals(state))}));
    }
    CommandResult result;
    result.fields = rows.Fields();
    return result;
}

}  // namespace emu
