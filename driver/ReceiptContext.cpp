// The receipt context: the inputs of the current line and the totals Subtotal, Debt and Change.
#include "ReceiptContext.h"

#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "RoutineTrace.h"
#include "SaturatedMath.h"

namespace {

// The cash payments "kc" may list: one entry per currency of the printer.
constexpr int kCashEntryCapacity = 8;

// How many times a query after an executed command is asked again when the line spoils it.
constexpr int kQueryRepeats = 2;

// The largest power of ten (up to 10000) that divides the fraction `rest`, as a divisor.
LONGLONG FractionDivisor(LONGLONG rest) {
    LONGLONG unit = kMoneyUnit;
    while (unit > 1 && rest % unit != 0) {
        unit /= 10;
    }
    return unit;
}

}  // namespace

DecimalPair AmountPair(LONGLONG money) {
    LONGLONG rest = money % kMoneyUnit;  // |money| mod 10000, without negating the minimum
    if (rest < 0) {
        rest = -rest;
    }
    const LONGLONG unit = FractionDivisor(rest);
    return {money / unit, static_cast<DWORD>(kMoneyUnit / unit)};
}

DecimalPair QuantityPair(LONGLONG quantity) {
    // The remainder keeps the quantity's sign, so a negative fraction is never kept.
    const LONGLONG rest = quantity % kMoneyUnit;
    const LONGLONG unit = rest > 0 ? FractionDivisor(rest) : kMoneyUnit;
    return {quantity / unit, static_cast<DWORD>(kMoneyUnit / unit)};
}

LONGLONG MoneyFromPair(LONGLONG value, DWORD scale) {
    const LONGLONG divisor = scale == 0 ? 1 : static_cast<LONGLONG>(scale);
    if (kMoneyUnit % divisor == 0) {
        return brontal::SaturatedMultiply(value, kMoneyUnit / divisor);
    }
    if (divisor % kMoneyUnit == 0) {
        return value / (divisor / kMoneyUnit);
    }
    return brontal::SaturatedMultiply(value, kMoneyUnit) / divisor;
}

void CDrvKeltor::SetReceiptTotals(LONGLONG subtotal, LONGLONG paid) {
    m_subtotal.int64 = subtotal;
    if (paid <= subtotal) {
        m_debt.int64 = brontal::SaturatedSubtract(subtotal, paid);
        m_change.int64 = 0;
    } else {
        m_debt.int64 = 0;
        m_change.int64 = brontal::SaturatedSubtract(paid, subtotal);
    }
}

void CDrvKeltor::ResetReceiptContext(bool clearInputs) {
    const CRoutineTrace trace("CDrvKeltor::ResetReceiptContext");
    if (clearInputs) {
        m_quantity.int64 = 0;
        m_price.int64 = 0;
        m_department = 0;
        m_amount.int64 = 0;
        m_article.clear();
        m_stringToPrint.clear();
        m_textToPrint.clear();
        m_quantityUnit.clear();
    }
    m_correctionAmount.int64 = 0;
    m_correctionMnemo.clear();
    m_change.int64 = 0;
    m_debt.int64 = 0;
    m_subtotal.int64 = 0;
    m_noncashType = 0;
    m_noncashAttribute.clear();
    trace.Done(0);
}

int CDrvKeltor::RestoreReceiptContext() {
    const CRoutineTrace trace("CDrvKeltor::RestoreReceiptContext");
    ResetReceiptContext(true);
    if (!m_brontal) {
        return trace.Done(kDriverInitFailed);
    }
    int documentType = 0;
    int result = m_brontal->ReadDocumentNumbers(&m_documentNumber, &m_sessionNumber,
                                                &m_receiptNumber, &documentType);
    if (result != 0) {
        return trace.Done(result);
    }
    if ((m_statusWord & kStatusDayOpen) && (m_statusWord & kStatusReceiptOpen)) {
        m_receiptType = static_cast<WORD>(documentType);
    }
    DecimalPair total = {0, 1};
    DecimalPair paid = {0, 1};
    result = m_brontal->ReadReceiptTotals(&total, &paid);
    if (result != 0) {
        return trace.Done(result);
    }
    // The layer goes on with the printer's receipt as if it had sent its lines itself. It keeps
    // the lines of a refund or an annulment as a positive sum and turns the sign when asked,
    // while the printer gives that total negative: handed over as it is, the next line would
    // take the sum the wrong way and be refused as a negative total.
    const bool countsNegative = documentType == 2 || documentType == 5;
    const LONGLONG layerAmount =
        countsNegative && total.value < 0 ? brontal::SaturatedNegate(total.value) : total.value;
    m_brontal->ResetTotal(documentType, layerAmount, total.scale);
    SetReceiptTotals(MoneyFromPair(total), MoneyFromPair(paid));
    return trace.Done(0);
}

int CDrvKeltor::RefreshReceiptTotals() {
    const CRoutineTrace trace("CDrvKeltor::RefreshReceiptTotals");
    if (!m_brontal) {
        return trace.Done(kDriverInitFailed);
    }
    LONGLONG subtotal = 0;
    LONGLONG paid = 0;
    if (m_statusWord & kStatusReadyForTotal) {
        // Once totalled the printer's own figures count: they include its rounding.
        DecimalPair total = {0, 1};
        DecimalPair payment = {0, 1};
        const int result = m_brontal->ReadReceiptTotals(&total, &payment);
        if (result != 0) {
            return trace.Done(result);
        }
        subtotal = MoneyFromPair(total);
        paid = MoneyFromPair(payment);
    } else {
        LONGLONG amount = 0;
        DWORD scale = 1;
        if (m_brontal->GetTotal(&amount, &scale)) {
            subtotal = MoneyFromPair(amount, scale);
        }
    }
    SetReceiptTotals(subtotal, paid);
    return trace.Done(0);
}

int CDrvKeltor::SettleReceiptCommand(int result, ReceiptEffect effect) {
    if (result == 0 || !m_brontal || !m_brontal->OutcomeUnknown()) {
        return result;
    }
    const CRoutineTrace trace("CDrvKeltor::SettleReceiptCommand");
    CBrontal& layer = *m_brontal;
    WORD status = 0;
    if (layer.GetStatus(&status, nullptr) != 0) {
        return trace.Done(kBrontalUnconfirmed);
    }
    const bool open = (status & kStatusReceiptOpen) != 0;
    if (effect == ReceiptEffect::Totalled) {
        return trace.Done(open && (status & kStatusReadyForTotal) ? 0 : result);
    }
    if (effect == ReceiptEffect::Opened || effect == ReceiptEffect::Closed) {
        if (open != (effect == ReceiptEffect::Opened)) {
            return trace.Done(result);
        }
        // The layer starts or ends its running total as the command would have.
        layer.ResetTotal(effect == ReceiptEffect::Opened ? m_receiptType : 0, 0, 0);
        return trace.Done(0);
    }
    DecimalPair total = {0, 1};
    DecimalPair paid = {0, 1};
    if (!open || layer.ReadReceiptTotals(&total, &paid) != 0) {
        return trace.Done(kBrontalUnconfirmed);
    }
    if (effect == ReceiptEffect::Paid) {
        // What was paid as the last refresh showed it.
        const LONGLONG before = brontal::SaturatedAdd(
            brontal::SaturatedSubtract(m_subtotal.int64, m_debt.int64), m_change.int64);
        return trace.Done(MoneyFromPair(paid) != before ? 0 : result);
    }
    LONGLONG amount = 0;
    DWORD scale = 1;
    if (!layer.GetTotal(&amount, &scale)) {
        return trace.Done(kBrontalUnconfirmed);
    }
    if (MoneyFromPair(total) == MoneyFromPair(amount, scale)) {
        return trace.Done(result);
    }
    // The line is there: the layer goes on from the printer's total, kept positive for the
    // kinds that count negative, as when a receipt is taken over at connect.
    const int kind = layer.Total().kind;
    const bool countsNegative = kind == 2 || kind == 5;
    layer.ResetTotal(
        kind,
        countsNegative && total.value < 0 ? brontal::SaturatedNegate(total.value) : total.value,
        total.scale);
    return trace.Done(0);
}

int CDrvKeltor::QueryAfterCommand(int (CDrvKeltor::*query)()) {
    int result = (this->*query)();
    for (int i = 0; i < kQueryRepeats && result != 0 && m_brontal && m_brontal->OutcomeUnknown();
         ++i) {
        result = (this->*query)();
    }
    return result;
}

int RefreshTotalsAfter(CDeviceFrame& frame, int result) {
    if (frame.Store(result) != 0) {
        return result;
    }
    return frame.Store(frame.Object().QueryAfterCommand(&CDrvKeltor::RefreshReceiptTotals));
}

LONGLONG CDrvKeltor::CalcCashPayedSum() {
    const CRoutineTrace trace("CDrvKeltor::CalcCashPayedSum");
    LONGLONG sum = 0;
    if (m_brontal) {
        CurrencyTotals entries[kCashEntryCapacity] = {};
        int count = 0;
        if (m_brontal->ReadReceiptCashByCurrency(entries, kCashEntryCapacity, &count) == 0) {
            for (int i = 0; i < count && i < kCashEntryCapacity; ++i) {
                sum = brontal::SaturatedAdd(sum, MoneyFromPair(entries[i].amounts[0]));
            }
        }
    }
    trace.Done(0);
    return sum;
}
