// Receipt methods: opening a document, article lines, printed lines and text, the total and the
// end of the document.
//
// A status bit tested here is one of the words as the frame's first refresh left them: the
// commands sent since then are the method's own, and it knows what they did.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "ReceiptContext.h"

namespace {

// Document flags of "ls", as PrintLine reads them.
constexpr DWORD kFlagLineAllowed = 0x04;
constexpr DWORD kFlagLineRefused = 0x08;
constexpr DWORD kFlagSlipFull = 0x20;
constexpr DWORD kFlagSlipEnding = 0x40;

// A positive result: the line was not printed because the slip cannot take it.
constexpr int kLineNotPrinted = 19;

// "pl" line attribute: 2 prints on the control tape only.
constexpr int kControlTapeOnlyLine = 2;

bool IsTextsReceipt(WORD type) {
    return type >= kFirstTextsReceipt && type <= kLastTextsReceipt;
}

}  // namespace

// ---- shared steps ----

int CDrvKeltor::BeginDocument(CDeviceFrame& frame, WORD type) {
    if (m_statusWord & kStatusNeedReset) {
        // The opening's own result replaces this one.
        frame.Store(frame.Layer().ResetPrinterFault());
    }
    // The inputs set for the call that opens the document belong to its first line.
    ResetReceiptContext(false);
    m_receiptType = type;
    return frame.Store(
        SettleReceiptCommand(frame.Layer().BeginReceipt(type), ReceiptEffect::Opened));
}

int CDrvKeltor::OpenDocumentIfNeeded(CDeviceFrame& frame, WORD type) {
    const WORD status = m_statusWord;
    if (!(status & kStatusDayOpen)) {
        if (frame.Store(frame.Layer().OpenDay()) != 0) {
            return DriverResultCode();
        }
        if (!m_cashierLogin.empty() &&
            frame.Store(frame.Layer().CashierLogin(m_cashierLogin.c_str())) != 0) {
            return DriverResultCode();
        }
    }
    if (!(status & kStatusReceiptOpen)) {
        return BeginDocument(frame, type);
    }
    return DriverResultCode();
}

int CDrvKeltor::SellLine(CDeviceFrame& frame, BOOL sale) {
    ArticleLine line;
    line.sale = sale;
    line.price = AmountPair(m_price.int64);
    line.name = m_article.c_str();
    line.department = m_department;
    line.quantity = QuantityPair(m_quantity.int64);
    line.quantityText = m_quantityUnit.c_str();
    // Only a refund line may name its amount; the printer checks it against price x quantity.
    if (m_receiptType == 2 && m_amount.int64 > 0) {
        line.amount = AmountPair(m_amount.int64);
    }
    line.articleCode = m_typeOfGoods;
    line.codeText = m_barcodeOfGoods.c_str();
    line.quantityAlways = m_forcePrintSingleQuantity != 0;
    const int result = frame.Layer().SellArticle(line);
    return RefreshTotalsAfter(frame, SettleReceiptCommand(result, ReceiptEffect::LineAdded));
}

// ---- opening ----

STDMETHODIMP CDrvKeltor::OpenReceipt() {
    CDeviceFrame frame(*this, "CDrvKeltor::OpenReceipt");
    // Inputs left from the last document must not leak into this one, whatever happens next.
    ResetReceiptContext(true);
    if (frame.Begin()) {
        frame.Store([&]() -> int {
            CBrontal& layer = frame.Layer();
            const WORD status = m_statusWord;
            if ((status & kStatusNeedReset) && frame.Store(layer.ResetPrinterFault()) != 0) {
                return DriverResultCode();
            }
            // A non-fiscal document needs no open day.
            if (!(status & kStatusDayOpen) && m_receiptType != kNonFiscalDocument) {
                if (frame.Store(layer.OpenDay()) != 0) {
                    return DriverResultCode();
                }
                if (!m_cashierLogin.empty() &&
                    frame.Store(layer.CashierLogin(m_cashierLogin.c_str())) != 0) {
                    return DriverResultCode();
                }
            }
            const bool hasTexts = !m_restaurantOrder.empty() || !m_restaurantReservations.empty() ||
                                  !m_restaurantAccommodation.empty();
            int opened = 0;
            if (m_receiptType == kAnnulmentReceipt) {
                opened = layer.BeginReceipt(kAnnulmentReceipt, m_cancellationDocumentNumber,
                                            m_cancellationMnemo.c_str());
            } else if (IsTextsReceipt(m_receiptType) ||
                       (m_receiptType == kSaleReceipt && hasTexts)) {
                opened = layer.BeginReceiptWithTexts(
                    m_receiptType, m_restaurantOrder.c_str(), m_restaurantReservations.c_str(),
                    m_restaurantAccommodation.c_str(), m_forcePrintControlTapeOnly != 0);
            } else {
                opened = layer.BeginReceipt(m_receiptType);
            }
            return SettleReceiptCommand(opened, ReceiptEffect::Opened);
        }());
        frame.RefreshAfter();
    }
    return frame.End();
}

// ---- article lines ----

STDMETHODIMP CDrvKeltor::Sale() {
    return RunDeviceMethod(*this, "CDrvKeltor::Sale", [&](CDeviceFrame& frame) {
        if (OpenDocumentIfNeeded(frame, kSaleReceipt) != 0) {
            return DriverResultCode();
        }
        return SellLine(frame, TRUE);
    });
}

STDMETHODIMP CDrvKeltor::Storno() {
    return RunDeviceMethod(*this, "CDrvKeltor::Storno",
                           [&](CDeviceFrame& frame) { return SellLine(frame, FALSE); });
}

// ---- lines and text inside the document ----

STDMETHODIMP CDrvKeltor::PrintLine() {
    CDeviceFrame frame(*this, "CDrvKeltor::PrintLine");
    const bool slip = m_receiptType == kSlipDocument;
    // Outside a slip every line is allowed; a slip says itself whether it takes another one.
    DWORD flags = slip ? 0 : kFlagLineAllowed;
    const bool ready = slip ? frame.Begin(false) : frame.Begin();
    if (ready) {
        frame.Store([&]() -> int {
            CBrontal& layer = frame.Layer();
            if (slip && frame.Store(layer.ReadDocumentFlags(&flags)) != 0) {
                return DriverResultCode();
            }
            if (!(flags & kFlagLineAllowed) &&
                ((flags & kFlagLineRefused) ||
                 ((flags & kFlagSlipFull) && (flags & kFlagSlipEnding)))) {
                return kLineNotPrinted;
            }
            const int attribute = m_forcePrintControlTapeOnly ? kControlTapeOnlyLine : 0;
            if (frame.Store(layer.PrintDocumentLine(attribute, m_stringToPrint.c_str())) != 0) {
                return DriverResultCode();
            }
            if (slip && !(flags & kFlagLineAllowed)) {
                DWORD after = 0;
                // The line is printed whatever this read gives: a slip that cannot say whether it
                // is full goes on as it is, and the line is not reported as failed (the client
                // would print it twice).
                if (frame.Store(layer.ReadDocumentFlags(&after)) == 0 && (after & kFlagSlipFull)) {
                    // A full slip is ended and the next one begun, so the lines go on.
                    if (frame.Store(layer.EndReceipt()) != 0) {
                        return DriverResultCode();
                    }
                    m_receiptType = kSlipDocument;
                    return layer.BeginReceipt(kSlipDocument);
                }
            }
            return RefreshReceiptTotals();
        }());
        frame.RefreshAfter();
    }
    return frame.End();
}

STDMETHODIMP CDrvKeltor::PrintText() {
    return RunDeviceMethod(*this, "CDrvKeltor::PrintText", [&](CDeviceFrame& frame) {
        CBrontal& layer = frame.Layer();
        if (!(m_statusWord & kStatusReceiptOpen) && BeginDocument(frame, kNonFiscalDocument) != 0) {
            return DriverResultCode();
        }
        if (frame.Store(layer.SetPrintFont(0)) != 0 ||
            frame.Store(layer.PrintTextLine(m_textToPrint.c_str())) != 0) {
            return DriverResultCode();
        }
        return RefreshTotalsAfter(frame, layer.SetPrintFont(0));
    });
}

STDMETHODIMP CDrvKeltor::PrintSubtotal() {
    return RunDeviceMethod(*this, "CDrvKeltor::PrintSubtotal", [&](CDeviceFrame& frame) {
        return RefreshTotalsAfter(frame, frame.Layer().PrintSubtotal());
    });
}

// ---- total and end ----

STDMETHODIMP CDrvKeltor::CompleteReceipt() {
    return RunDeviceMethod(*this, "CDrvKeltor::CompleteReceipt", [&](CDeviceFrame& frame) {
        if (!(m_statusWord & kStatusReadyForTotal)) {
            DecimalPair total = AmountPair(m_subtotal.int64);
            if (IsTextsReceipt(m_receiptType)) {
                total = AmountPair(m_restaurantAmount.int64);
            } else if (m_receiptType == kAnnulmentReceipt) {
                // An annulment totals negative; the scale is that of the amount annulled.
                total = AmountPair(m_cancellationAmount.int64);
                total.value = -total.value;
            }
            if (frame.Store(
                    SettleReceiptCommand(frame.Layer().CompleteReceipt(&total.value, &total.scale),
                                         ReceiptEffect::Totalled)) != 0) {
                return DriverResultCode();
            }
        }
        // Ready for the total now: the totals are the printer's.
        if (frame.Store(QueryAfterCommand(&CDrvKeltor::RefreshPrinterStatus)) != 0) {
            return DriverResultCode();
        }
        return QueryAfterCommand(&CDrvKeltor::RefreshReceiptTotals);
    });
}

STDMETHODIMP CDrvKeltor::ContinueReceipt() {
    return RunDeviceMethod(*this, "CDrvKeltor::ContinueReceipt", [&](CDeviceFrame& frame) {
        if (m_statusWord & kStatusReadyForTotal) {
            return RefreshTotalsAfter(frame, frame.Layer().ContinueReceipt());
        }
        return RefreshReceiptTotals();
    });
}

STDMETHODIMP CDrvKeltor::CloseReceipt() {
    return RunDeviceMethod(*this, "CDrvKeltor::CloseReceipt", [&](CDeviceFrame& frame) {
        CBrontal& layer = frame.Layer();
        const bool paysChange = m_receiptType == kSaleReceipt || m_receiptType == kFuelReceipt;
        if ((m_statusWord & kStatusReceiptOpen) && paysChange) {
            if (frame.Store(RefreshReceiptTotals()) != 0) {
                return DriverResultCode();
            }
            if (m_change.int64 > 0) {
                // The change goes back in cash before the receipt may end.
                const DecimalPair change = AmountPair(m_change.int64);
                if (frame.Store(SettleReceiptCommand(
                        layer.PayCash(FALSE, change.value, change.scale), ReceiptEffect::Paid)) !=
                    0) {
                    return DriverResultCode();
                }
            }
        }
        return SettleReceiptCommand(layer.EndReceipt(), ReceiptEffect::Closed);
    });
}
