// Payments, pay-backs, change, and cash income and outcome.
//
// A refund or an annulment pays money back: no more than the receipt owes the customer
// (`Change`) may leave the drawer. A sale may be paid non-cash beyond what is due only by what
// was already paid in cash, which then goes back as change.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "ReceiptContext.h"
#include "SaturatedMath.h"

namespace {

bool PaysBack(int type) {
    return type == kRefundReceipt || type == kAnnulmentReceipt;
}

// |value| without overflowing at the minimum.
LONGLONG Magnitude(LONGLONG value) {
    if (value >= 0) {
        return value;
    }
    return value == brontal::kMoneyMin ? brontal::kMoneyMax : -value;
}

// a - b, saturated.
LONGLONG Excess(LONGLONG a, LONGLONG b) {
    return brontal::SaturatedSubtract(a, b);
}

}  // namespace

int CDrvKeltor::ReadOpenDocumentType(CDeviceFrame& frame, int* type) {
    int documentType = 0;
    const int result = frame.Store(frame.Layer().ReadDocumentNumbers(
        &m_documentNumber, &m_sessionNumber, &m_receiptNumber, &documentType));
    if (result == 0) {
        m_receiptType = static_cast<WORD>(documentType);
        *type = documentType;
    }
    return result;
}

int CDrvKeltor::PayCashSteps(CDeviceFrame& frame, BOOL payment, bool checkDocument) {
    const DecimalPair amount = AmountPair(m_amount.int64);
    if (checkDocument) {
        int type = 0;
        if (ReadOpenDocumentType(frame, &type) != 0) {
            m_receiptType = 0;
            return DriverResultCode();
        }
        if (PaysBack(type) && Magnitude(m_amount.int64) > m_change.int64) {
            return frame.Store(kBrontalBadArguments);
        }
    }
    CBrontal& layer = frame.Layer();
    int result = 0;
    if (m_amountCurrency.empty()) {
        result = layer.PayCash(payment, amount.value, amount.scale);
    } else {
        const DecimalPair rate = AmountPair(m_amountCurrencyRate.int64);
        result = layer.PayCash(payment, amount.value, amount.scale, m_amountCurrency.c_str(),
                               rate.value, rate.scale);
    }
    return RefreshTotalsAfter(frame, SettleReceiptCommand(result, ReceiptEffect::Paid));
}

STDMETHODIMP CDrvKeltor::PayCash() {
    return RunDeviceMethod(*this, "CDrvKeltor::PayCash",
                           [&](CDeviceFrame& frame) { return PayCashSteps(frame, TRUE, true); });
}

STDMETHODIMP CDrvKeltor::RepayCash() {
    return RunDeviceMethod(*this, "CDrvKeltor::RepayCash",
                           [&](CDeviceFrame& frame) { return PayCashSteps(frame, FALSE, true); });
}

STDMETHODIMP CDrvKeltor::GiveChange() {
    return RunDeviceMethod(*this, "CDrvKeltor::GiveChange",
                           [&](CDeviceFrame& frame) { return PayCashSteps(frame, FALSE, false); });
}

int CDrvKeltor::SendNoncash(CDeviceFrame& frame, BOOL payment, LONGLONG amount) {
    const DecimalPair pair = AmountPair(amount);
    return RefreshTotalsAfter(
        frame, SettleReceiptCommand(
                   frame.Layer().PayNoncash(payment, pair.value, pair.scale, m_noncashType),
                   ReceiptEffect::Paid));
}

STDMETHODIMP CDrvKeltor::PayNoncash() {
    return RunDeviceMethod(*this, "CDrvKeltor::PayNoncash", [&](CDeviceFrame& frame) {
        const LONGLONG amount = m_amount.int64;
        LONGLONG allowance = 0;
        if (m_statusWord & kStatusReceiptOpen) {
            int type = 0;
            if (ReadOpenDocumentType(frame, &type) != 0) {
                return DriverResultCode();
            }
            if (type == kSaleReceipt && amount > m_debt.int64) {
                allowance = CalcCashPayedSum();
                if (Excess(amount, m_debt.int64) > allowance) {
                    return frame.Store(kBrontalBadArguments);
                }
            } else if (PaysBack(type) && amount > 0 && amount > m_change.int64) {
                return frame.Store(kBrontalBadArguments);
            }
        }
        if (Excess(amount, m_debt.int64) > allowance) {
            return frame.Store(kBrontalBadArguments);
        }
        return SendNoncash(frame, TRUE, amount);
    });
}

STDMETHODIMP CDrvKeltor::RepayNoncash() {
    return RunDeviceMethod(*this, "CDrvKeltor::RepayNoncash", [&](CDeviceFrame& frame) {
        const LONGLONG amount = m_amount.int64;
        if (amount <= 0) {
            return frame.Store(kBrontalBadArguments);
        }
        if (m_statusWord & kStatusReceiptOpen) {
            int type = 0;
            if (ReadOpenDocumentType(frame, &type) != 0) {
                return DriverResultCode();
            }
            if (PaysBack(type) && amount > m_change.int64) {
                return frame.Store(kBrontalBadArguments);
            }
        }
        return SendNoncash(frame, FALSE, amount);
    });
}

int CDrvKeltor::CashInOutSteps(CDeviceFrame& frame, BOOL income) {
    // Checked before anything is opened: a zero amount must not leave an empty document behind.
    if (m_amount.int64 <= 0) {
        return frame.Store(kBrontalBadArguments);
    }
    if (OpenDocumentIfNeeded(frame, kCashDocument) != 0) {
        return DriverResultCode();
    }
    const DecimalPair amount = AmountPair(m_amount.int64);
    LPCSTR currency = m_amountCurrency.empty() ? nullptr : m_amountCurrency.c_str();
    return RefreshTotalsAfter(
        frame, frame.Layer().CashInOut(income, amount.value, amount.scale, currency));
}

STDMETHODIMP CDrvKeltor::CashIncome() {
    return RunDeviceMethod(*this, "CDrvKeltor::CashIncome",
                           [&](CDeviceFrame& frame) { return CashInOutSteps(frame, TRUE); });
}

STDMETHODIMP CDrvKeltor::CashOutcome() {
    return RunDeviceMethod(*this, "CDrvKeltor::CashOutcome",
                           [&](CDeviceFrame& frame) { return CashInOutSteps(frame, FALSE); });
}
