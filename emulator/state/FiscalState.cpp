#include "FiscalState.h"

namespace emu {

DocumentKind KindOf(uint32_t type) {
    switch (type) {
        case kReceiptText:
        case kReceiptSlip:
            return DocumentKind::Text;
        case kReceiptSale:
        case kReceiptFuel:
            return DocumentKind::Sale;
        case kReceiptRefund:
            return DocumentKind::Refund;
        case kReceiptAnnulment:
            return DocumentKind::Annulment;
        case kReceiptTechnical:
        case kReceiptOrder:
            return DocumentKind::Unpaid;
        case kReceiptCashCollection:
            return DocumentKind::Collection;
        default:
            break;
    }
    if (type >= kReceiptOrderBillFirst && type <= kReceiptOrderBillLast) {
        return DocumentKind::Sale;
    }
    return DocumentKind::Unknown;
}

Money ReceiptDiscounts(const OpenReceipt& receipt) {
    Money sum = receipt.receiptDiscount;
    for (const ReceiptLine& line : receipt.lines) {
        sum += line.discount;
    }
    return sum;
}

Money ReceiptSurcharges(const OpenReceipt& receipt) {
    Money sum = receipt.receiptSurcharge;
    for (const ReceiptLine& line : receipt.lines) {
        sum += line.surcharge;
    }
    return sum;
}

Money ReceiptTotal(const OpenReceipt& receipt) {
    if (receipt.totalGiven) {
        return receipt.givenTotal;
    }
    Money sum = 0;
    for (const ReceiptLine& line : receipt.lines) {
        sum += line.amount;
    }
    return sum - ReceiptDiscounts(receipt) + ReceiptSurcharges(receipt);
}

Money ReceiptNoncash(const OpenReceipt& receipt) {
    Money sum = 0;
    for (const auto& [facility, amount] : receipt.noncash) {
        sum += amount;
    }
    return sum;
}

Money ReceiptPaid(const OpenReceipt& receipt) {
    Money sum = ReceiptNoncash(receipt) - receipt.change;
    for (const auto& [code, payment] : receipt.cash) {
        sum += payment.base;
    }
    return sum;
}

Money OpenOrderAmount(const std::vector<RestaurantOrder>& orders) {
    Money sum = 0;
    Tally tally;
    for (const RestaurantOrder& order : orders) {
        tally.Add(sum, order.amount);
    }
    return tally.ok() ? sum : kMaxRegister;
}

bool PaymentStarted(const OpenReceipt& receipt) {
    return !receipt.cash.empty() || !receipt.noncash.empty();
}

}  // namespace emu
