// Information requests about the document being built. Without an open document they answer
// zeros and empty lists.
#include "Commands.h"
#include "Fiscal.h"
#include "InfoReplies.h"

namespace emu {

namespace {

const OpenReceipt& Shown(const PrinterState& state) {
    static const OpenReceipt none;
    const OpenReceipt* receipt = ShownReceipt(state);
    return receipt ? *receipt : none;
}

std::string Base(const PrinterState& state, Money amount) {
    return FormatAmount(amount, BaseDecimals(state));
}

CommandResult Answer(ReplyData data) {
    CommandResult result;
    result.fields = data.Fields();
    return result;
}

CommandResult Answer(const ListReply& rows) {
    CommandResult result;
    result.fields = rows.Fields();
    return result;
}

// Departments of the document's lines: number GS letter GS amount GS amount after the
// article corrections. Sales answer for the documents that sell, refunds for those that pay out.
CommandResult DepartmentRows(const PrinterState& state, bool refunds) {
    const OpenReceipt& receipt = Shown(state);
    ListReply rows;
    if (PaysOut(KindOf(receipt.type)) != refunds || !ShownReceipt(state)) {
        return Answer(rows);
    }
    std::map<uint32_t, DepartmentTotals> totals;
    for (const ReceiptLine& line : receipt.lines) {
        DepartmentTotals& t = totals[line.department];
        t.sales += line.amount;
        t.salesNet += line.amount - line.discount + line.surcharge;
    }
    for (const auto& [number, t] : totals) {
        rows.Row(
            Entry({std::to_string(number), std::string(1, DepartmentLetter(state, number, 'N')),
                   Base(state, t.sales), Base(state, t.salesNet)}));
    }
    return Answer(rows);
}

}  // namespace

// "kg": the document's total FS paid so far; both negative for a refund or an annulment.
CommandResult CmdReceiptTotals(CommandContext& context) {
    const PrinterState& state = context.state;
    const OpenReceipt& receipt = Shown(state);
    const int sign = PaysOut(KindOf(receipt.type)) ? -1 : 1;
    return Answer(ReplyData()
                      .Field(Base(state, sign * ReceiptTotal(receipt)))
                      .Field(Base(state, sign * ReceiptPaid(receipt))));
}

// "ks": the document's sales by department.
CommandResult CmdReceiptSalesByDepartment(CommandContext& context) {
    return DepartmentRows(context.state, false);
}

// "kr": the document's refunds by department.
CommandResult CmdReceiptRefundsByDepartment(CommandContext& context) {
    return DepartmentRows(context.state, true);
}

// "kc": cash paid, by currency: code GS amount in the base currency GS amount in the currency.
CommandResult CmdReceiptCashByCurrency(CommandContext& context) {
    const PrinterState& state = context.state;
    ListReply rows;
    for (const auto& [code, payment] : Shown(state).cash) {
        rows.Row(Entry({code, Base(state, payment.base),
                        FormatAmount(payment.inCurrency, CurrencyDecimals(state, code))}));
    }
    return Answer(rows);
}

// "kp": non-cash paid, by facility: number GS amount.
CommandResult CmdReceiptNoncashByFacility(CommandContext& context) {
    const PrinterState& state = context.state;
    ListReply rows;
    for (const auto& [number, amount] : Shown(state).noncash) {
        rows.Row(Entry({std::to_string(number), Base(state, amount)}));
    }
    return Answer(rows);
}

// "kx": the document's discounts FS surcharges, on its articles and on the whole.
CommandResult CmdReceiptDiscountsSurcharges(CommandContext& context) {
    const PrinterState& state = context.state;
    const OpenReceipt& receipt = Shown(state);
    return Answer(ReplyData()
                      .Field(Base(state, ReceiptDiscounts(receipt)))
                      .Field(Base(state, ReceiptSurcharges(receipt))));
}

// "ki": cash collected by the document, by currency: code GS income less outcome.
CommandResult CmdReceiptCollectedByCurrency(CommandContext& context) {
    const PrinterState& state = context.state;
    const OpenReceipt& receipt = Shown(state);
    std::map<std::string, Money> net = receipt.income;
    for (const auto& [code, amount] : receipt.outcome) {
        net[code] -= amount;
    }
    ListReply rows;
    for (const auto& [code, amount] : net) {
        rows.Row(Entry({code, FormatAmount(amount, CurrencyDecimals(state, code))}));
    }
    return Answer(rows);
}

}  // namespace emu
