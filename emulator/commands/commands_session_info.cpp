// Information requests about a day: its counters and registers from the fiscal memory, for the
// open day as they stand now. Each takes the day's number (four digits; none or 0: the current
// or last day) and answers with it first, except "il".
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"
#include "InfoReplies.h"

namespace emu {

namespace {

// The day a request names, as the reply shows it.
struct DayFigures {
    uint32_t number = 0;
    Session session;  // a day the fiscal memory has no record of yet shows zeros
    bool open = false;
};

// kErrNone and the day, kErrBadParameter for a number that is no number, kErrNoZReport for a
// day the fiscal memory does not have.
uint8_t NamedDay(const PrinterState& state, const Request& request, DayFigures& day) {
    uint32_t number = 0;
    if (request.FieldCount() > 1 || !ParseOptionalNumber(request, 0, number)) {
        return kErrBadParameter;
    }
    const Session* session = FindSession(state, number);
    if (!session && number != 0 && number != state.counters.session) {
        return kErrNoZReport;
    }
    day.number = number == 0 ? state.counters.session : number;
    if (session) {
        day.session = *session;
    }
    day.session.number = day.number;
    day.open = IsDayOpen(state) && day.number == state.counters.session &&
               (!session || session->closed.empty());
    if (day.open) {
        for (const auto& [code, amount] : state.drawer) {
            day.session.currencies[code].collected = amount;
        }
        day.session.accumulatedSales = state.grand.sales;
        day.session.accumulatedRefunds = state.grand.refunds;
        day.session.accumulatedAnnulments = state.grand.annulments;
        day.session.openOrderAmount = OpenOrderAmount(state.openOrders);
        day.session.openOrderCount = static_cast<uint32_t>(state.openOrders.size());
    }
    return kErrNone;
}

using Answer = void (*)(const PrinterState& state, const DayFigures& day, ReplyData& data,
                        ListReply& list);

// Runs a day request: `answer` fills either the plain fields or the list after the day number.
CommandResult DayRequest(CommandContext& context, Answer answer, bool list) {
    CommandResult result;
    DayFigures day;
    result.error = NamedDay(context.state, context.request, day);
    if (result.error != kErrNone) {
        return result;
    }
    ReplyData data;
    data.Field(day.number);
    ListReply rows(data.Fields()[0]);
    answer(context.state, day, data, rows);
    result.fields = list ? rows.Fields() : data.Fields();
    return result;
}

std::string Base(const PrinterState& state, Money amount) {
    return FormatAmount(amount, BaseDecimals(state));
}

std::string DatePart(const std::string& digits) {
    return digits.size() == 14 ? digits.substr(0, 8) : std::string();
}

std::string TimePart(const std::string& digits) {
    return digits.size() == 14 ? digits.substr(8) : std::string();
}

void DepartmentRows(const PrinterState& state, const DayFigures& day, ListReply& rows,
                    bool refunds) {
    for (uint32_t number : DepartmentKeys(state, day.session.departments)) {
        const DepartmentTotals totals = Lookup(day.session.departments, number);
        rows.Row(Entry({std::to_string(number),
                        std::string(1, DepartmentLetter(state, number, totals.letter)),
                        Base(state, refunds ? totals.refunds : totals.sales),
                        Base(state, refunds ? totals.refundsNet : totals.salesNet)}));
    }
}

}  // namespace

// "in": last document FS sale receipts FS refund receipts FS documents FS cancellations.
CommandResult CmdSessionDocumentCounts(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState&, const DayFigures& day, ReplyData& data, ListReply&) {
            const Session& s = day.session;
            data.Field(s.lastDocument).Field(s.sales).Field(s.refunds).Field(s.documents);
            data.Field(s.cancellations);
        },
        false);
}

// "it": start date GS time FS end date GS time; an open day has no end yet (empty parts).
CommandResult CmdSessionDateTime(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState&, const DayFigures& day, ReplyData& data, ListReply&) {
            const Session& s = day.session;
            data.Part(DatePart(s.opened)).Field(TimePart(s.opened));
            data.Part(DatePart(s.closed)).Field(TimePart(s.closed));
        },
        false);
}

// "is": departments, each number GS tax letter GS sales GS sales after article corrections.
CommandResult CmdSessionSalesByDepartment(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData&, ListReply& rows) {
            DepartmentRows(state, day, rows, false);
        },
        true);
}

// "ir": departments as "is", with the refunds.
CommandResult CmdSessionRefundsByDepartment(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData&, ListReply& rows) {
            DepartmentRows(state, day, rows, true);
        },
        true);
}

// "ic": currencies, each code GS cash sales GS the same in the currency GS cash refunds GS the
// same in the currency. The change handed back is taken off the base currency's sales.
CommandResult CmdSessionCashByCurrency(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData&, ListReply& rows) {
            for (const std::string& code : CurrencyKeys(state, day.session.currencies)) {
                const CurrencyTotals t = Lookup(day.session.currencies, code);
                const unsigned own = CurrencyDecimals(state, code);
                rows.Row(Entry(
                    {code, Base(state, t.cashSales), FormatAmount(t.cashSalesInCurrency, own),
                     Base(state, t.cashRefunds), FormatAmount(t.cashRefundsInCurrency, own)}));
            }
        },
        true);
}

// "ip": payment facilities, each number GS non-cash sales GS non-cash refunds.
CommandResult CmdSessionNoncashByFacility(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData&, ListReply& rows) {
            for (uint32_t number : FacilityKeys(state, day.session.facilities)) {
                const FacilityTotals t = Lookup(day.session.facilities, number);
                rows.Row(
                    Entry({std::to_string(number), Base(state, t.sales), Base(state, t.refunds)}));
            }
        },
        true);
}

// "ix": discounts FS surcharges, article and document ones together.
CommandResult CmdSessionDiscountsSurcharges(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData& data, ListReply&) {
            data.Field(Base(state, day.session.discounts))
                .Field(Base(state, day.session.surcharges));
        },
        false);
}

// "ig": the grand totals of sales FS refunds FS annulments as they stood at the day's end (for
// the open day: now).
CommandResult CmdSessionAccumulatedTotals(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData& data, ListReply&) {
            const Session& s = day.session;
            data.Field(Base(state, s.accumulatedSales)).Field(Base(state, s.accumulatedRefunds));
            data.Field(Base(state, s.accumulatedAnnulments));
        },
        false);
}

// "ii": currencies, each code GS income GS outcome GS cash at the day's start GS cash at its
// end (for the open day: now), in the currency's units.
CommandResult CmdSessionCollectedAmounts(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData&, ListReply& rows) {
            for (const std::string& code : CurrencyKeys(state, day.session.currencies)) {
                const CurrencyTotals t = Lookup(day.session.currencies, code);
                const unsigned own = CurrencyDecimals(state, code);
                rows.Row(Entry({code, FormatAmount(t.income, own), FormatAmount(t.outcome, own),
                                FormatAmount(t.previous, own), FormatAmount(t.collected, own)}));
            }
        },
        true);
}

// "ij": the size of the day's journal FS its CRC-32 in hexadecimal.
CommandResult CmdSessionJournalInfo(CommandContext& context) {
    return DayRequest(
        context,
        [](const PrinterState& state, const DayFigures& day, ReplyData& data, ListReply&) {
            const std::string journal = Lookup(state.journals, day.number);
            data.Field(static_cast<int64_t>(journal.size())).HexField(Crc32(journal));
        },
        false);
}

// "il": open orders' amount GS count FS orders settled in the day: amount GS count. The reply
// does not repeat the day's number.
CommandResult CmdSessionRestaurantOrders(CommandContext& context) {
    CommandResult result;
    DayFigures day;
    result.error = NamedDay(context.state, context.request, day);
    if (result.error != kErrNone) {
        return result;
    }
    const Session& s = day.session;
    result.fields = ReplyData()
                        .Part(Base(context.state, s.openOrderAmount))
                        .Field(s.openOrderCount)
                        .Part(Base(context.state, s.closedOrderAmount))
                        .Field(s.closedOrderCount)
                        .Fields();
    return result;
}

}  // namespace emu
