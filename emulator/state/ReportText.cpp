#include "ReportText.h"

#include "Fiscal.h"

namespace emu {

namespace {

std::string Count(uint32_t n) {
    return std::to_string(n);
}

}  // namespace

Printout DayReport(const PrinterState& state, const Session& session, bool open) {
    Printout out = NewPrintout(state);
    const unsigned decimals = BaseDecimals(state);
    out.Pair("СМЕНА " + std::to_string(session.number), "ОТКРЫТА " + ShownTime(session.opened));
    if (!session.closed.empty()) {
        out.Pair("", "ЗАКРЫТА " + ShownTime(session.closed));
    }
    out.Rule();
    out.Pair("ЧЕКОВ ПРОДАЖИ", Count(session.sales));
    out.Pair("ЧЕКОВ ВОЗВРАТА", Count(session.refunds));
    out.Pair("АННУЛИРОВАНО", Count(session.cancellations));
    out.Pair("ДОКУМЕНТОВ", Count(session.documents));
    if (!session.departments.empty()) {
        out.Center("ПО ОТДЕЛАМ");
        for (const auto& [number, totals] : session.departments) {
            const std::string name = "ОТДЕЛ " + std::to_string(number) + " " + totals.letter;
            out.Pair(name + " ПРОДАЖИ", FormatAmount(totals.salesNet, decimals));
            if (totals.refundsNet != 0) {
                out.Pair(name + " ВОЗВРАТЫ", FormatAmount(totals.refundsNet, decimals));
            }
        }
    }
    out.Pair("СКИДКИ", FormatAmount(session.discounts, decimals));
    out.Pair("НАДБАВКИ", FormatAmount(session.surcharges, decimals));
    out.Center("НАЛИЧНЫЕ");
    std::map<std::string, CurrencyTotals> currencies = session.currencies;
    if (open) {
        for (const auto& [code, amount] : state.drawer) {
            currencies[code].collected = amount;
        }
    }
    for (const auto& [code, totals] : currencies) {
        const unsigned own = CurrencyDecimals(state, code);
        out.Pair(code + " ПРОДАЖИ", FormatAmount(totals.cashSalesInCurrency, own));
        out.Pair(code + " ВОЗВРАТЫ", FormatAmount(totals.cashRefundsInCurrency, own));
        out.Pair(code + " ВНЕСЕНО", FormatAmount(totals.income, own));
        out.Pair(code + " ИЗЪЯТО", FormatAmount(totals.outcome, own));
        out.Pair(code + " В КАССЕ", FormatAmount(totals.collected, own));
    }
    if (!session.facilities.empty()) {
        out.Center("БЕЗНАЛИЧНЫЕ");
        for (const auto& [number, totals] : session.facilities) {
            const PaymentFacility* facility = FindFacility(state, number);
            const std::string name = facility ? facility->name : "ОПЛАТА " + std::to_string(number);
            out.Pair(name + " ПРОДАЖИ", FormatAmount(totals.sales, decimals));
            out.Pair(name + " ВОЗВРАТЫ", FormatAmount(totals.refunds, decimals));
        }
    }
    out.Rule();
    const GrandTotals grand =
        open ? state.grand
             : GrandTotals{session.accumulatedSales, session.accumulatedRefunds,
                           session.accumulatedAnnulments};
    out.Pair("НАКОПЛЕНО ПРОДАЖ", FormatAmount(grand.sales, decimals));
    out.Pair("НАКОПЛЕНО ВОЗВРАТОВ", FormatAmount(grand.refunds, decimals));
    out.Pair("НАКОПЛЕНО АННУЛИРОВАНИЙ", FormatAmount(grand.annulments, decimals));
    return out;
}

Printout DaySummary(const PrinterState& state, const Session& session) {
    Printout out = NewPrintout(state);
    const unsigned decimals = BaseDecimals(state);
    Money sales = 0;
    Money refunds = 0;
    for (const auto& [number, totals] : session.departments) {
        sales = AddSaturated(sales, totals.salesNet);
        refunds = AddSaturated(refunds, totals.refundsNet);
    }
    out.Pair("Z-ОТЧЕТ " + std::to_string(session.number), ShownTime(session.closed));
    out.Pair("ПРОДАЖИ", FormatAmount(sales, decimals));
    out.Pair("ВОЗВРАТЫ", FormatAmount(refunds, decimals));
    out.Pair("НАКОПЛЕНО ПРОДАЖ", FormatAmount(session.accumulatedSales, decimals));
    return out;
}

}  // namespace emu
