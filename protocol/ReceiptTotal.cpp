// The running total of the open receipt.
#include "Brontal.h"
#include "SaturatedMath.h"

namespace {

// Both amounts at the larger of the two scales (0 counting as 1).
LONGLONG Combine(const ReceiptTotal& total, BOOL subtract, LONGLONG amount, DWORD scale,
                 DWORD* commonScale) {
    const DWORD totalScale = total.scale ? total.scale : 1;
    const DWORD amountScale = scale ? scale : 1;
    LONGLONG totalAmount = total.amount;
    DWORD common = totalScale;
    if (totalScale < amountScale) {
        totalAmount = brontal::SaturatedMultiply(totalAmount,
                                                 static_cast<LONGLONG>(amountScale / totalScale));
        common = amountScale;
    } else if (amountScale < totalScale) {
        amount =
            brontal::SaturatedMultiply(amount, static_cast<LONGLONG>(totalScale / amountScale));
    }
    *commonScale = common;
    return subtract ? brontal::SaturatedSubtract(totalAmount, amount)
                    : brontal::SaturatedAdd(totalAmount, amount);
}

}  // namespace

void CBrontal::ResetTotal(int kind, LONGLONG amount, DWORD scale) {
    m_total.kind = kind;
    m_total.amount = amount;
    m_total.scale = scale;
}

LONGLONG CBrontal::AddToTotal(BOOL subtract, LONGLONG amount, DWORD scale, DWORD* commonScale) {
    DWORD common = 0;
    m_total.amount = Combine(m_total, subtract, amount, scale, &common);
    m_total.scale = common;
    if (commonScale) {
        *commonScale = common;
    }
    return m_total.amount;
}

LONGLONG CBrontal::PreviewTotal(BOOL subtract, LONGLONG amount, DWORD scale,
                                DWORD* commonScale) const {
    DWORD common = 0;
    const LONGLONG preview = Combine(m_total, subtract, amount, scale, &common);
    if (commonScale) {
        *commonScale = common;
    }
    return preview;
}

BOOL CBrontal::GetTotal(LONGLONG* amount, DWORD* scale) const {
    LONGLONG value = 0;
    switch (m_total.kind) {
        case 1:  // sale
        case 4:  // fuel
            value = m_total.amount;
            break;
        case 2:  // refund
        case 5:  // annulment
            value = brontal::SaturatedNegate(m_total.amount);
            break;
        default:
            return FALSE;
    }
    if (amount) {
        *amount = value;
    }
    if (scale) {
        *scale = m_total.scale;
    }
    return TRUE;
}
