// The other printed reports: the fiscal memory by date or by Z number, and the reports of the
// tables, cashiers, operation registers and the self test. They print and change nothing.
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"
#include "ReportText.h"

namespace emu {

namespace {

// No report prints into an open document.
bool CanReport(const PrinterState& state, CommandResult& result) {
    if ((state.status & kStatusReceiptOpen) != 0) {
        result.error = kErrWrongOrder;
        return false;
    }
    return true;
}

Printout Heading(const PrinterState& state, const char* title) {
    Printout out = NewPrintout(state);
    out.Center(title);
    out.Pair(state.identity.serialNumber, ShownTime(NowDigits(state)));
    out.Rule();
    return out;
}

// The first field of a fiscal memory report: "1" (full) or "0" (short), then GS and the access
// password when one is given.
bool ParseScope(const PrinterState& state, const Request& request, bool& full,
                CommandResult& result) {
    const std::vector<std::string> parts = request.Parts(0);
    if (parts.size() > 2 || (parts[0] != "0" && parts[0] != "1")) {
        result.error = kErrBadParameter;
        return false;
    }
    full = parts[0] == "1";
    if (!state.reportPassword.empty() && (parts.size() < 2 || parts[1] != state.reportPassword)) {
        result.error = kErrWrongPassword;
        return false;
    }
    return true;
}

CommandResult Printed(CommandContext& context, Printout out) {
    out.Text("");
    PrintOnPaper(context.paper, out);
    CommandResult result;
    result.busyMs = context.reportMs;
    return result;
}

// A report of the tables and registers: its heading and what `body` prints under it, unless a
// document is open.
template <typename Body>
CommandResult PrintReport(CommandContext& context, const char* title, Body body) {
    CommandResult result;
    if (!CanReport(context.state, result)) {
        return result;
    }
    Printout out = Heading(context.state, title);
    body(context.state, out);
    return Printed(context, out);
}

// The closed days the report covers, printed; kErrNoZReport when there are none.
template <typename Covers>
CommandResult FiscalMemoryReport(CommandContext& context, bool full, const char* title,
                                 Covers covers) {
    const PrinterState& state = context.state;
    CommandResult result;
    Printout out = Heading(state, title);
    size_t found = 0;
    Money sales = 0;
    Money refunds = 0;
    for (const Session& session : state.sessions) {
        if (session.closed.empty() || !covers(session)) {
            continue;
        }
        ++found;
        for (const auto& [number, totals] : session.departments) {
            sales = AddSaturated(sales, totals.salesNet);
            refunds = AddSaturated(refunds, totals.refundsNet);
        }
        if (full) {
            out.Append(DaySummary(state, session));
        }
    }
    if (found == 0) {
        result.error = kErrNoZReport;
        return result;
    }
    const unsigned decimals = BaseDecimals(state);
    out.Rule();
    out.Pair("Z-ОТЧЕТОВ", std::to_string(found));
    out.Pair("ИТОГО ПРОДАЖ", FormatAmount(sales, decimals));
    out.Pair("ИТОГО ВОЗВРАТОВ", FormatAmount(refunds, decimals));
    return Printed(context, out);
}

}  // namespace

// "zd": scope [GS password] FS first date [FS last date], dates as YYYYMMDD; the days closed
// within the range.
CommandResult CmdReportByDate(CommandContext& context) {
    const Request& request = context.request;
    CommandResult result;
    bool full = false;
    if (!CanReport(context.state, result) || !ParseScope(context.state, request, full, result)) {
        return result;
    }
    PrinterTime from;
    PrinterTime to{9999, 12, 31, 0, 0, 0};
    if (request.FieldCount() < 2 || request.FieldCount() > 3 ||
        !ParseDate(request.Field(1), from) ||
        (request.FieldCount() == 3 && !ParseDate(request.Field(2), to)) ||
        SecondsOf(from) > SecondsOf(to)) {
        result.error = kErrBadParameter;
        return result;
    }
    const std::string first = TimeDigits(from).substr(0, 8);
    const std::string last = TimeDigits(to).substr(0, 8);
    return FiscalMemoryReport(context, full, "ОТЧЕТ ПО ДАТАМ", [&](const Session& session) {
        const std::string day = session.closed.substr(0, 8);
        return day >= first && day <= last;
    });
}

// "zz": scope [GS password] FS first Z number [FS last Z number], four digits each.
CommandResult CmdReportByNumber(CommandContext& context) {
    const Request& request = context.request;
    CommandResult result;
    bool full = false;
    if (!CanReport(context.state, result) || !ParseScope(context.state, request, full, result)) {
        return result;
    }
    uint32_t first = 0;
    uint32_t last = 0;
    const bool ranged = request.FieldCount() == 3;
    if ((request.FieldCount() != 2 && !ranged) || request.Field(1).size() != 4 ||
        !ParseNumber(request.Field(1), kMaxTableNumber, first) || first == 0 ||
        (ranged && (request.Field(2).size() != 4 ||
                    !ParseNumber(request.Field(2), kMaxTableNumber, last) || last < first))) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!ranged) {
        last = first;
    }
    return FiscalMemoryReport(context, full, "ОТЧЕТ ПО НОМЕРАМ", [&](const Session& session) {
        return session.number >= first && session.number <= last;
    });
}

// "zv": the tax groups and the departments in each.
CommandResult CmdTaxTableReport(CommandContext& context) {
    return PrintReport(context, "НАЛОГОВЫЕ ГРУППЫ", [](const PrinterState& state, Printout& out) {
        std::map<char, std::string> groups;
        for (const Department& department : state.departments) {
            std::string& list = groups[department.letter];
            list += (list.empty() ? "" : " ") + std::to_string(department.number);
        }
        for (const auto& [letter, list] : groups) {
            out.Pair(std::string("ГРУППА ") + letter, "ОТДЕЛЫ " + list);
        }
    });
}

// "zw": every cashier's collected cash and non-cash payments of the day.
CommandResult CmdCashierReport(CommandContext& context) {
    return PrintReport(context, "ОТЧЕТ ПО КАССИРАМ", [](const PrinterState& state, Printout& out) {
        const unsigned decimals = BaseDecimals(state);
        if (const Session* session = FindSession(state, 0)) {
            for (const auto& [name, totals] : session->cashiers) {
                out.Text("КАССИР " + (name.empty() ? std::string("-") : name));
                for (const auto& [code, figures] : totals.currencies) {
                    const unsigned own = CurrencyDecimals(state, code);
                    out.Pair(code + " ВНЕСЕНО", FormatAmount(figures.income, own));
                    out.Pair(code + " ИЗЪЯТО", FormatAmount(figures.outcome, own));
                    out.Pair(code + " НАЛИЧНЫМИ", FormatAmount(figures.collected, own));
                }
                for (const auto& [number, amount] : totals.noncash) {
                    out.Pair("ОПЛАТА " + std::to_string(number), FormatAmount(amount, decimals));
                }
            }
        }
    });
}

// "zs": the programming tables.
CommandResult CmdSettingsReport(CommandContext& context) {
    return PrintReport(context, "ТАБЛИЦЫ НАСТРОЕК", [](const PrinterState& state, Printout& out) {
        out.Center("ОТДЕЛЫ");
        for (const Department& d : state.departments) {
            out.Pair(std::to_string(d.number) + " " + d.letter, d.name);
        }
        out.Center("ВАЛЮТЫ");
        for (const Currency& c : state.currencies) {
            out.Pair(std::to_string(c.number) + " " + c.code, std::to_string(c.decimals));
        }
        out.Pair("БАЗОВАЯ ВАЛЮТА", state.baseCurrency);
        out.Center("СРЕДСТВА ПЛАТЕЖА");
        for (const PaymentFacility& f : state.facilities) {
            out.Pair(std::to_string(f.number), f.name);
        }
        out.Center("ЗАГОЛОВОК").Text(state.header).Center("ОКОНЧАНИЕ").Text(state.footer);
    });
}

// "zg": the operation registers of the day.
CommandResult CmdRegistersReport(CommandContext& context) {
    return PrintReport(context, "ОПЕРАЦИОННЫЕ РЕГИСТРЫ",
                       [](const PrinterState& state, Printout& out) {
                           Session none;
                           none.number = state.counters.session;
                           const Session* found = FindSession(state, 0);
                           out.Append(DayReport(state, found ? *found : none, IsDayOpen(state)));
                       });
}

// "hc": the self test prints what the printer knows of itself.
CommandResult CmdSelfTest(CommandContext& context) {
    return PrintReport(context, "САМОТЕСТИРОВАНИЕ", [](const PrinterState& state, Printout& out) {
        const PrinterIdentity& id = state.identity;
        out.Pair("МОДЕЛЬ", id.modelName).Pair("ЗАВОДСКОЙ НОМЕР", id.serialNumber);
        out.Pair("ПРОШИВКА", id.firmwareMnemonic + " " + id.firmwareVersion);
        out.Pair("УНП", id.taxpayerAccountNumber);
        out.Pair("ЛЕНТА ЧЕКОВАЯ", state.hardware.receipt.name);
        out.Pair("ЛЕНТА КОНТРОЛЬНАЯ", state.hardware.journal.name);
        out.Pair("ТЕМПЕРАТУРА", std::to_string(state.hardware.temperature));
        out.Pair("Z-ОТЧЕТОВ", std::to_string(state.counters.session));
        out.Center("ТЕСТ ПРОЙДЕН");
    });
}

}  // namespace emu
