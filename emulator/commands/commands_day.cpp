// The day: opening it, the X report of its registers, and the Z report that closes it.
#include "Commands.h"
#include "Fiscal.h"
#include "ReportText.h"

namespace emu {

namespace {

Printout ReportHeading(const PrinterState& state, const char* title) {
    Printout out = NewPrintout(state);
    out.CenterLines(state.header);
    out.Center(title);
    out.Pair("ДОК. " + std::to_string(NextDocumentNumber(state)), ShownTime(NowDigits(state)));
    return out;
}

// A report is a numbered document of the day it reports on.
void CountReport(PrinterState& state) {
    if (IsDayOpen(state)) {
        Session& session = CurrentSession(state);
        Tally tally;
        tally.Count(session.documents);
        session.lastDocument = NextDocumentNumber(state);
    }
    ++state.counters.document;
}

}  // namespace

// "zb": the day opens under the next number; the drawer's cash is what it starts with.
CommandResult CmdOpenDay(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    if (IsDayOpen(state) || (state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (state.counters.session >= kMaxTableNumber || state.sessions.size() >= kMaxSessions) {
        result.error = kErrOverflow;  // the fiscal memory has no room for another day
        return result;
    }
    Session session;
    session.number = state.counters.session + 1;
    session.opened = NowDigits(state);
    for (const auto& [code, amount] : state.drawer) {
        session.currencies[code].previous = amount;
    }
    state.sessions.push_back(session);
    state.counters.session = session.number;
    state.counters.receipt = 0;
    state.status = static_cast<uint16_t>(state.status | kStatusDayOpen);

    Printout out = NewPrintout(state);
    out.Center("ОТКРЫТИЕ СМЕНЫ " + std::to_string(session.number));
    out.Pair(state.cashier.empty() ? std::string() : "КАССИР " + state.cashier,
             ShownTime(session.opened));
    out.Text("");
    PrintInJournal(state, context.paper, out);
    return result;
}

// "zx": the registers of the day so far (or of the last day, when none is open).
CommandResult CmdXReport(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    if ((state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    const bool open = IsDayOpen(state);
    Session last;
    if (const Session* found = FindSession(state, 0)) {
        last = *found;
    } else {
        last.number = state.counters.session;
    }
    const Session& session = open ? CurrentSession(state) : last;
    Printout out = ReportHeading(state, "X-ОТЧЕТ");
    out.Append(DayReport(state, session, open)).Rule().Center("X-ОТЧЕТ").Text("");
    CountReport(state);
    PrintInJournal(state, context.paper, out);
    result.busyMs = context.reportMs;
    return result;
}

// "ze": the Z report prints the day's registers and closes the day in the fiscal memory.
CommandResult CmdCloseDay(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    if (!IsDayOpen(state) || (state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return result;
    }
    Printout out = ReportHeading(state, "Z-ОТЧЕТ");
    CountReport(state);
    Session& session = CurrentSession(state);
    session.closed = NowDigits(state);
    for (const auto& [code, amount] : state.drawer) {
        session.currencies[code].collected = amount;
    }
    session.accumulatedSales = state.grand.sales;
    session.accumulatedRefunds = state.grand.refunds;
    session.accumulatedAnnulments = state.grand.annulments;
    session.openOrderAmount = OpenOrderAmount(state.openOrders);
    session.openOrderCount = static_cast<uint32_t>(state.openOrders.size());
    out.Append(DayReport(state, session, false)).Rule();
    out.Center("СМЕНА " + std::to_string(session.number) + " ЗАКРЫТА")
        .Center("ФИСКАЛЬНЫЙ ДОКУМЕНТ");
    out.Text("");
    state.journals[session.number] += out.text();
    PrintOnPaper(context.paper, out);
    state.status = static_cast<uint16_t>(state.status & ~kStatusDayOpen);
    // The closed day's journal waits for the driver to confirm it ("jv").
    if ((state.status & kStatusJournalPresent) != 0) {
        state.status = static_cast<uint16_t>(state.status | kStatusJournalNeedValidate);
    }
    result.busyMs = context.reportMs;
    return result;
}

}  // namespace emu
