// Discounts and surcharges on the last article or on the whole receipt, and their cancellation.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "ReceiptContext.h"

int CDrvKeltor::CorrectArticle(CDeviceFrame& frame, bool surcharge, BOOL direction) {
    CBrontal& layer = frame.Layer();
    const DecimalPair amount = AmountPair(m_correctionAmount.int64);
    const int number = m_department;
    return RefreshTotalsAfter(
        frame, surcharge
                   ? layer.ArticleSurcharge(direction, amount.value, amount.scale,
                                            m_article.c_str(), m_correctionMnemo.c_str(), number)
                   : layer.ArticleDiscount(direction, amount.value, amount.scale, m_article.c_str(),
                                           m_correctionMnemo.c_str(), number));
}

int CDrvKeltor::CorrectReceipt(CDeviceFrame& frame, bool surcharge) {
    CBrontal& layer = frame.Layer();
    const DecimalPair amount = AmountPair(m_correctionAmount.int64);
    return RefreshTotalsAfter(
        frame, surcharge
                   ? layer.ReceiptSurcharge(amount.value, amount.scale, m_correctionMnemo.c_str())
                   : layer.ReceiptDiscount(amount.value, amount.scale, m_correctionMnemo.c_str()));
}

// Before the total a correction belongs to the last article; once the receipt is ready for its
// total there is no last article any more, only the receipt.
STDMETHODIMP CDrvKeltor::Discount() {
    return RunDeviceMethod(*this, "CDrvKeltor::Discount", [&](CDeviceFrame& frame) {
        return (m_statusWord & kStatusReadyForTotal) ? CorrectReceipt(frame, false)
                                                     : CorrectArticle(frame, false, TRUE);
    });
}

STDMETHODIMP CDrvKeltor::Surcharge() {
    return RunDeviceMethod(*this, "CDrvKeltor::Surcharge", [&](CDeviceFrame& frame) {
        return (m_statusWord & kStatusReadyForTotal) ? CorrectReceipt(frame, true)
                                                     : CorrectArticle(frame, true, TRUE);
    });
}

STDMETHODIMP CDrvKeltor::StornoDiscount() {
    return RunDeviceMethod(*this, "CDrvKeltor::StornoDiscount", [&](CDeviceFrame& frame) {
        return CorrectArticle(frame, false, FALSE);
    });
}

STDMETHODIMP CDrvKeltor::StornoSurcharge() {
    return RunDeviceMethod(*this, "CDrvKeltor::StornoSurcharge",
                           [&](CDeviceFrame& frame) { return CorrectArticle(frame, true, FALSE); });
}

STDMETHODIMP CDrvKeltor::DiscountReceipt() {
    return RunDeviceMethod(*this, "CDrvKeltor::DiscountReceipt",
                           [&](CDeviceFrame& frame) { return CorrectReceipt(frame, false); });
}

STDMETHODIMP CDrvKeltor::SurchargeReceipt() {
    return RunDeviceMethod(*this, "CDrvKeltor::SurchargeReceipt",
                           [&](CDeviceFrame& frame) { return CorrectReceipt(frame, true); });
}
