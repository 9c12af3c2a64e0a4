// A document's life: its heading when it opens, and when it ends, its closing lines, its
// numbers and its amounts counted into the day's registers.
#include <algorithm>

#include "Fiscal.h"

namespace emu {

namespace {

std::string Title(uint32_t type) {
    switch (type) {
        case kReceiptText:
            return "НЕФИСКАЛЬНЫЙ ДОКУМЕНТ";
        case kReceiptSale:
            return "ЧЕК ПРОДАЖИ";
        case kReceiptRefund:
            return "ЧЕК ВОЗВРАТА";
        case kReceiptCashCollection:
            return "ВНЕСЕНИЕ И ИЗЪЯТИЕ НАЛИЧНЫХ";
        case kReceiptFuel:
            return "ЧЕК ПРОДАЖИ ТОПЛИВА";
        case kReceiptAnnulment:
            return "ЧЕК АННУЛИРОВАНИЯ";
        case kReceiptTechnical:
            return "ТЕХНОЛОГИЧЕСКИЙ ОТПУСК";
        case kReceiptSlip:
            return "ПОДКЛАДНОЙ ДОКУМЕНТ";
        case kReceiptOrder:
            return "ЗАКАЗ";
        default:
            return "СЧЕТ ПО ЗАКАЗУ";
    }
}

std::string Number(const char* label, uint32_t number) {
    return std::string(label) + " " + std::to_string(number);
}

// What a document leaves in the registers, worked out on copies so that an overflow changes
// nothing.
struct Registers {
    Session session;
    std::map<std::string, Money> drawer;
    GrandTotals grand;
    std::vector<RestaurantOrder> openOrders;
};

void CountLines(const PrinterState& state, const OpenReceipt& receipt, bool refund, Registers& next,
                Tally& tally) {
    for (const ReceiptLine& line : receipt.lines) {
        DepartmentTotals& totals = next.session.departments[line.department];
        if (const Department* department = FindDepartment(state, line.department)) {
            totals.letter = department->letter;
        }
        const Money net = line.amount - line.discount + line.surcharge;
        tally.Add(refund ? totals.refunds : totals.sales, line.amount);
        tally.Add(refund ? totals.refundsNet : totals.salesNet, net);
    }
    tally.Add(next.session.discounts, ReceiptDiscounts(receipt));
    tally.Add(next.session.surcharges, ReceiptSurcharges(receipt));
}

// Money that came in (sign +1) or went out (-1) through the drawer and the facilities.
void CountPayments(const PrinterState& state, const OpenReceipt& receipt, int sign, Registers& next,
                   CashierTotals& cashier, Tally& tally) {
    const std::string& base = BaseCurrency(state).code;
    for (const auto& [code, payment] : receipt.cash) {
        CurrencyTotals& totals = next.session.currencies[code];
        tally.Add(sign > 0 ? totals.cashSales : totals.cashRefunds, payment.base);
        tally.Add(sign > 0 ? totals.cashSalesInCurrency : totals.cashRefundsInCurrency,
                  payment.inCurrency);
        tally.Add(next.drawer[code], sign * payment.inCurrency);
        tally.Add(cashier.currencies[code].collected, sign * payment.inCurrency);
    }
    if (receipt.change != 0) {
        // The change goes back in the base currency, whatever the customer paid with.
        CurrencyTotals& totals = next.session.currencies[base];
        tally.Add(totals.cashSales, -receipt.change);
        tally.Add(totals.cashSalesInCurrency, -receipt.change);
        tally.Add(next.drawer[base], -receipt.change);
        tally.Add(cashier.currencies[base].collected, -receipt.change);
    }
    for (const auto& [number, amount] : receipt.noncash) {
        FacilityTotals& totals = next.session.facilities[number];
        tally.Add(sign > 0 ? totals.sales : totals.refunds, amount);
        tally.Add(cashier.noncash[number], sign * amount);
    }
}

void CountRestaurant(const OpenReceipt& receipt, Registers& next, Tally& tally) {
    const Money total = ReceiptTotal(receipt);
    auto order =
        std::find_if(next.openOrders.begin(), next.openOrders.end(),
                     [&](const RestaurantOrder& o) { return o.order == receipt.texts[0]; });
    if (receipt.type == kReceiptOrder) {
        if (order != next.openOrders.end()) {
            tally.Add(order->amount, total);  // more to the same order
        } else if (next.openOrders.size() < kMaxOpenOrders) {
            next.openOrders.push_back({receipt.texts[0], total});
        } else {
            tally.Add(next.grand.sales, kMaxRegister + 1);  // no room: an overflow
        }
        return;
    }
    if (order != next.openOrders.end()) {
        next.openOrders.erase(order);
    }
    tally.Add(next.session.closedOrderAmount, total);
    tally.Count(next.session.closedOrderCount);
}

void CountDocument(const PrinterState& state, const OpenReceipt& receipt, Registers& next,
                   Tally& tally) {
    CashierTotals& cashier = next.session.cashiers[state.cashier];
    const Money total = ReceiptTotal(receipt);
    switch (KindOf(receipt.type)) {
        case DocumentKind::Sale:
            tally.Count(next.session.sales);
            CountLines(state, receipt, false, next, tally);
            CountPayments(state, receipt, +1, next, cashier, tally);
            tally.Add(next.grand.sales, total);
            if (receipt.type >= kReceiptOrderBillFirst) {
                CountRestaurant(receipt, next, tally);
            }
            break;
        case DocumentKind::Refund:
            tally.Count(next.session.refunds);
            CountLines(state, receipt, true, next, tally);
            CountPayments(state, receipt, -1, next, cashier, tally);
            tally.Add(next.grand.refunds, total);
            break;
        case DocumentKind::Annulment:
            tally.Count(next.session.cancellations);
            CountPayments(state, receipt, -1, next, cashier, tally);
            tally.Add(next.grand.annulments, total);
            break;
        case DocumentKind::Unpaid:
            if (receipt.type == kReceiptOrder) {
                CountRestaurant(receipt, next, tally);
            }
            break;
        case DocumentKind::Collection:
            for (const auto& [code, amount] : receipt.income) {
                tally.Add(next.session.currencies[code].income, amount);
                tally.Add(next.drawer[code], amount);
                tally.Add(cashier.currencies[code].income, amount);
                tally.Add(cashier.currencies[code].collected, amount);
            }
            for (const auto& [code, amount] : receipt.outcome) {
                tally.Add(next.session.currencies[code].outcome, amount);
                tally.Add(next.drawer[code], -amount);
                tally.Add(cashier.currencies[code].outcome, amount);
                tally.Add(cashier.currencies[code].collected, -amount);
            }
            break;
        case DocumentKind::Text:
        case DocumentKind::Unknown:
            break;
    }
}

Printout ClosingLines(const PrinterState& state, const OpenReceipt& receipt) {
    Printout out = NewPrintout(state);
    const unsigned decimals = BaseDecimals(state);
    const DocumentKind kind = KindOf(receipt.type);
    if (kind == DocumentKind::Collection) {
        for (const auto& [code, amount] : receipt.income) {
            out.Pair("ИТОГО ВНЕСЕНО " + code, FormatAmount(amount, CurrencyDecimals(state, code)));
        }
        for (const auto& [code, amount] : receipt.outcome) {
            out.Pair("ИТОГО ИЗЪЯТО " + code, FormatAmount(amount, CurrencyDecimals(state, code)));
        }
    }
    if (receipt.change > 0) {
        out.Pair("СДАЧА", FormatAmount(receipt.change, decimals));
    }
    out.Rule();
    if (IsFiscal(kind)) {
        out.CenterLines(state.footer);
        out.Center("ФИСКАЛЬНЫЙ ДОКУМЕНТ");
    } else {
        out.Center("НЕФИСКАЛЬНЫЙ ДОКУМЕНТ");
    }
    out.Text("");
    return out;
}

// The document leaves the printer: numbers on, the receipt bits off (or, `keepShown`, later).
void EndDocument(PrinterState& state, bool fiscal, bool keepShown) {
    ++state.counters.document;
    if (fiscal) {
        ++state.counters.receipt;
    }
    state.receipt.reset();
    state.font = 0;  // a font chosen with "pf" lasts to the end of its document
    if (keepShown) {
        state.receiptClosing = true;
    } else {
        state.status =
            static_cast<uint16_t>(state.status & ~(kStatusReceiptOpen | kStatusReadyForTotal));
    }
}

}  // namespace

void BeginDocument(PrinterState& state, Paper& paper, OpenReceipt receipt) {
    const DocumentKind kind = KindOf(receipt.type);
    Printout out = NewPrintout(state);
    if (IsFiscal(kind)) {
        out.Append(LogoPrintout(state));
        out.CenterLines(state.header);
    }
    out.Center(Title(receipt.type));
    out.Pair(Number("ДОК.", NextDocumentNumber(state)),
             IsFiscal(kind) ? Number("ЧЕК", state.counters.receipt + 1) : std::string());
    out.Pair(IsDayOpen(state) ? Number("СМЕНА", state.counters.session) : std::string(),
             ShownTime(NowDigits(state)));
    if (!state.cashier.empty()) {
        out.Text("КАССИР " + state.cashier);
    }
    const char* labels[3] = {"ЗАКАЗ ", "БРОНЬ ", "РАЗМЕЩЕНИЕ "};
    for (size_t i = 0; i < receipt.texts.size(); ++i) {
        if (!receipt.texts[i].empty()) {
            out.Text(labels[i] + receipt.texts[i]);
        }
    }
    if (receipt.type == kReceiptAnnulment) {
        out.Text(Number("АННУЛИРУЕТСЯ ДОК.", receipt.annulledDocument));
        if (!receipt.annulledText.empty()) {
            out.Text(receipt.annulledText);
        }
    }
    out.Rule();
    state.receipt = std::move(receipt);
    state.receiptClosing = false;
    state.counters.type = state.receipt->type;
    state.status =
        static_cast<uint16_t>((state.status | kStatusReceiptOpen) & ~kStatusReadyForTotal);
    PrintInDocument(state, paper, out);
}

uint8_t FinishDocument(PrinterState& state, Paper* paper, bool keepShown, bool force) {
    if (!CurrentReceipt(state)) {
        return kErrNone;
    }
    const OpenReceipt& receipt = *state.receipt;
    const bool fiscal = IsFiscal(KindOf(receipt.type));
    Session* session = IsDayOpen(state) ? &CurrentSession(state) : nullptr;
    Registers next{session ? *session : Session(), state.drawer, state.grand, state.openOrders};
    Tally tally;
    tally.Count(next.session.documents);
    next.session.lastDocument = NextDocumentNumber(state);
    CountDocument(state, receipt, next, tally);
    if (!tally.ok() && !force) {
        return kErrOverflow;
    }
    const Printout closing = ClosingLines(state, receipt);
    const std::string text = receipt.text + closing.text();
    if (session) {
        // A text document with the day closed belongs to no day: paper only.
        *session = std::move(next.session);
        state.journals[session->number] += text;
        state.drawer = std::move(next.drawer);
        state.grand = next.grand;
        state.openOrders = std::move(next.openOrders);
    }
    if (paper) {
        PrintOnPaper(*paper, closing);
    }
    EndDocument(state, fiscal, keepShown);
    return kErrNone;
}

void CancelDocument(PrinterState& state, Paper& paper) {
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt) {
        return;
    }
    const bool fiscal = IsFiscal(KindOf(receipt->type));
    Printout out = NewPrintout(state);
    out.Center("*** ДОКУМЕНТ АННУЛИРОВАН ***").Rule().Text("");
    const std::string text = receipt->text + out.text();
    if (IsDayOpen(state)) {
        Session& session = CurrentSession(state);
        Tally tally;  // counters only; at their limit they stay there
        tally.Count(session.documents);
        if (fiscal) {
            tally.Count(session.cancellations);
        }
        session.lastDocument = NextDocumentNumber(state);
        state.journals[session.number] += text;
    }
    PrintOnPaper(paper, out);
    EndDocument(state, false, false);
}

void CloseDocument(PrinterState& state, bool keepShown) {
    if ((state.status & kStatusReceiptOpen) == 0 || state.receiptClosing) {
        return;
    }
    FinishDocument(state, nullptr, keepShown, true);
}

}  // namespace emu
