// Payments of a totalled document, cash ("rc", also in another currency) and non-cash ("rn"),
// and the cash income and outcome of a cash collection document ("ri").
//
// In a sale a positive amount is paid in and a negative one hands change back; a refund or an
// annulment pays out whichever sign the amount carries (the driver writes both), never more than
// is due. As everywhere, the request's own form is checked first, then whether it comes in its
// turn, then the tables it names.
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

Money Magnitude(Money value) {
    return value < 0 ? -value : value;
}

template <typename Key>
Money Lookup(const std::map<Key, Money>& amounts, const Key& key) {
    const auto it = amounts.find(key);
    return it == amounts.end() ? 0 : it->second;
}

// Whether `amount` more may be paid into (or out of) the document.
bool FitsPayment(const OpenReceipt& receipt, Money amount) {
    const Money paid = ReceiptPaid(receipt) + amount;
    return paid <= kMaxReceiptRegister &&
           (!PaysOut(KindOf(receipt.type)) || paid <= ReceiptTotal(receipt));
}

}  // namespace

// "rc": amount (base currency), or amount FS currency code FS amount in that currency FS rate.
CommandResult CmdPayCash(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    const Currency& baseCurrency = BaseCurrency(state);
    Money amount = 0;
    Money inCurrency = 0;
    Money rate = 0;
    const bool foreign = request.FieldCount() == 4;
    if ((request.FieldCount() != 1 && !foreign) ||
        !ParseAmount(request.Field(0), baseCurrency.decimals, amount) || amount == 0) {
        result.error = kErrBadParameter;
        return result;
    }
    OpenReceipt* receipt = DocumentForPayments(state);
    if (!receipt) {
        result.error = kErrWrongOrder;
        return result;
    }
    const Currency* currency = &baseCurrency;
    if (foreign) {
        currency = FindCurrency(state, request.Field(1));
        if (!currency) {
            result.error = kErrNoCurrency;
            return result;
        }
        if (!ParseAmount(request.Field(2), currency->decimals, inCurrency) || inCurrency <= 0 ||
            !ParseAmount(request.Field(3), kMoneyDecimals, rate) || rate <= 0) {
            result.error = kErrBadParameter;
            return result;
        }
    } else {
        inCurrency = Magnitude(amount);
    }
    const unsigned decimals = baseCurrency.decimals;
    Printout out = NewPrintout(state);
    const bool paysOut = PaysOut(KindOf(receipt->type));
    if (!paysOut && amount < 0) {
        // Change handed back: in the base currency, at most what was paid beyond the total.
        if (foreign || ReceiptPaid(*receipt) - ReceiptTotal(*receipt) < -amount) {
            result.error = kErrBadParameter;
            return result;
        }
        receipt->change += -amount;
        out.Pair("ВЫДАНА СДАЧА", FormatAmount(-amount, decimals));
        PrintInDocument(state, context.paper, out);
        return result;
    }
    const Money base = Magnitude(amount);
    const auto found = receipt->cash.find(currency->code);
    CashPayment payment = found == receipt->cash.end() ? CashPayment() : found->second;
    if (!FitsPayment(*receipt, base) || payment.inCurrency + inCurrency > kMaxReceiptRegister) {
        result.error = kErrBadParameter;
        return result;
    }
    payment.base += base;
    payment.inCurrency += inCurrency;
    receipt->cash[currency->code] = payment;
    std::string label = paysOut ? "ВЫПЛАЧЕНО НАЛИЧНЫМИ" : "НАЛИЧНЫМИ";
    if (foreign) {
        label += " " + currency->code + " " + FormatAmount(inCurrency, currency->decimals) + " x " +
                 FormatAmount(rate, DecimalsNeeded(rate));
    }
    out.Pair(label, FormatAmount(base, decimals));
    PrintInDocument(state, context.paper, out);
    return result;
}

// "rn": amount FS payment facility [FS text]. Non-cash never pays more than the total (the
// change comes out of the drawer); a negative amount in a sale gives a facility's payment back.
CommandResult CmdPayNoncash(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    Money amount = 0;
    uint32_t number = 0;
    if (request.FieldCount() < 2 || request.FieldCount() > 3 ||
        !ParseAmount(request.Field(0), BaseDecimals(state), amount) || amount == 0 ||
        !ParseNumber(request.Field(1), kMaxTableNumber, number) ||
        !IsDocumentText(request.Field(2), kMaxDocumentText)) {
        result.error = kErrBadParameter;
        return result;
    }
    OpenReceipt* receipt = DocumentForPayments(state);
    if (!receipt) {
        result.error = kErrWrongOrder;
        return result;
    }
    const PaymentFacility* facility = FindFacility(state, number);
    if (!facility) {
        result.error = kErrNoFacility;
        return result;
    }
    const bool paysOut = PaysOut(KindOf(receipt->type));
    const Money delta = paysOut ? Magnitude(amount) : amount;
    const auto it = receipt->noncash.find(number);
    const Money before = it == receipt->noncash.end() ? 0 : it->second;
    if (before + delta < 0 || ReceiptNoncash(*receipt) + delta > ReceiptTotal(*receipt) ||
        !FitsPayment(*receipt, delta)) {
        result.error = kErrBadParameter;
        return result;
    }
    if (before + delta == 0) {
        receipt->noncash.erase(number);
    } else {
        receipt->noncash[number] = before + delta;
    }
    Printout out = NewPrintout(state);
    std::string label = facility->name.empty() ? "БЕЗНАЛИЧНЫМИ" : facility->name;
    if (delta < 0) {
        label = "ВОЗВРАТ " + label;
    } else if (paysOut) {
        label = "ВЫПЛАЧЕНО " + label;
    }
    out.Pair(label, FormatAmount(Magnitude(delta), BaseDecimals(state)));
    if (!request.Field(2).empty()) {
        out.Text(request.Field(2));
    }
    PrintInDocument(state, context.paper, out);
    return result;
}

// "ri": amount ('-' for an outcome) [FS currency code], in that currency's units. An outcome
// takes no more than the drawer holds.
CommandResult CmdCashInOut(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    if (request.FieldCount() < 1 || request.FieldCount() > 2) {
        result.error = kErrBadParameter;
        return result;
    }
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt || KindOf(receipt->type) != DocumentKind::Collection) {
        result.error = kErrWrongOrder;
        return result;
    }
    const Currency* currency =
        request.FieldCount() == 2 ? FindCurrency(state, request.Field(1)) : &BaseCurrency(state);
    if (!currency) {
        result.error = kErrNoCurrency;
        return result;
    }
    Money amount = 0;
    if (!ParseAmount(request.Field(0), currency->decimals, amount) || amount == 0) {
        result.error = kErrBadParameter;
        return result;
    }
    const std::string& code = currency->code;
    const Money income = Lookup(receipt->income, code);
    const Money outcome = Lookup(receipt->outcome, code);
    if (amount < 0 && -amount > Lookup(state.drawer, code) + income - outcome) {
        result.error = kErrNoCash;
        return result;
    }
    const Money next = (amount > 0 ? income : outcome) + Magnitude(amount);
    if (next > kMaxReceiptRegister) {
        result.error = kErrBadParameter;
        return result;
    }
    (amount > 0 ? receipt->income : receipt->outcome)[code] = next;
    Printout out = NewPrintout(state);
    out.Pair((amount > 0 ? "ВНЕСЕНИЕ " : "ИЗЪЯТИЕ ") + code,
             FormatAmount(Magnitude(amount), currency->decimals));
    PrintInDocument(state, context.paper, out);
    return result;
}

}  // namespace emu
