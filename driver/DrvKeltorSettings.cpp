// Properties backed by the process-wide settings: each put changes the record and the command
// layer's working copy and saves the settings; the gets read the record afresh.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"
#include "Settings.h"
#include "Trace.h"

namespace {

constexpr LONGLONG kCurrencyScale = 10000;
// The setting holds the bill in one 32-bit word.
constexpr LONGLONG kMinBillLimit = 0xFFFFFFFFLL;

// A getter of a value that needs the command layer: E_FAIL without it. `read` gives the value.
template <class Out, class Read>
HRESULT GetWithLayer(LPCSTR name, const CBrontal* layer, Out* out, Read read) {
    const CMemberTrace trace(name);
    if (!layer) {
        return trace.Done(E_FAIL);
    }
    if (!out) {
        return trace.Done(E_POINTER);
    }
    *out = static_cast<Out>(read());
    return trace.Done(S_OK);
}

template <class Out>
HRESULT GetTraceMaskAs(LPCSTR name, Out* out) {
    const CMemberTrace trace(name);
    if (!out) {
        return trace.Done(E_POINTER);
    }
    *out = static_cast<Out>(GetTraceMask());
    return trace.Done(S_OK);
}

// QRCodeSize and QRCodeVersion are kept by the object; below 1 or without the layer: E_FAIL.
HRESULT PutQrCodeValue(LPCSTR name, const CBrontal* layer, LONG& field, LONG value) {
    const CMemberTrace trace(name);
    if (!layer || value < 1) {
        return trace.Done(E_FAIL);
    }
    field = value;
    return trace.Done(S_OK);
}

}  // namespace

// ---- MinBill: kept in whole currency units ----

STDMETHODIMP CDrvKeltor::get_MinBill(CY* pVal) {
    return GetWithLayer("CDrvKeltor::get_MinBill", m_brontal.get(), pVal, [&] {
        CY amount = {};
        amount.int64 = static_cast<LONGLONG>(GetMinBill(m_brontal->Settings())) * kCurrencyScale;
        return amount;
    });
}

STDMETHODIMP CDrvKeltor::put_MinBill(CY newVal) {
    const CMemberTrace trace("CDrvKeltor::put_MinBill");
    if (!m_brontal || newVal.int64 <= 0) {
        return trace.Done(E_FAIL);
    }
    LONGLONG units = newVal.int64 / kCurrencyScale;
    if (units == 0) {
        units = 1;
    }
    // A bill the setting cannot hold would live only in the working copy, and the next get
    // would take it back: refused whole instead.
    if (units > kMinBillLimit) {
        return trace.Done(E_FAIL);
    }
    SetMinBill(m_brontal->Settings(), static_cast<DWORD>(units), 0);
    return trace.Done(S_OK);
}

// ---- LongNamesHyphenationLength ----

HRESULT CDrvKeltor::PutHyphenationLength(LPCSTR name, LONG length) {
    const CMemberTrace trace(name);
    if (!m_brontal || length < 1) {
        return trace.Done(E_FAIL);
    }
    SetHyphenationLength(m_brontal->Settings(), length);
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_LongNamesHyphenationLength(USHORT* pVal) {
    return GetWithLayer("CDrvKeltor::get_LongNamesHyphenationLength", m_brontal.get(), pVal,
                        [&] { return GetHyphenationLength(m_brontal->Settings()); });
}

STDMETHODIMP CDrvKeltor::put_LongNamesHyphenationLength(USHORT newVal) {
    return PutHyphenationLength("CDrvKeltor::put_LongNamesHyphenationLength", newVal);
}

STDMETHODIMP CDrvKeltor::get_LongNamesHyphenationLength2(LONG* pVal) {
    return GetWithLayer("CDrvKeltor::get_LongNamesHyphenationLength2", m_brontal.get(), pVal,
                        [&] { return GetHyphenationLength(m_brontal->Settings()); });
}

STDMETHODIMP CDrvKeltor::put_LongNamesHyphenationLength2(LONG newVal) {
    return PutHyphenationLength("CDrvKeltor::put_LongNamesHyphenationLength2", newVal);
}

// ---- QuantityPrecision: clamped to 0..3 ----

STDMETHODIMP CDrvKeltor::get_QuantityPrecision(LONG* pVal) {
    return GetWithLayer("CDrvKeltor::get_QuantityPrecision", m_brontal.get(), pVal,
                        [&] { return GetQuantityPrecision(m_brontal->Settings()); });
}

STDMETHODIMP CDrvKeltor::put_QuantityPrecision(LONG newVal) {
    const CMemberTrace trace("CDrvKeltor::put_QuantityPrecision");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    SetQuantityPrecision(m_brontal->Settings(), newVal);
    return trace.Done(S_OK);
}

// ---- NecessityToDownloadEJ: 0 or 1 ----

STDMETHODIMP CDrvKeltor::get_NecessityToDownloadEJ(LONG* pVal) {
    return GetWithLayer("CDrvKeltor::get_NecessityToDownloadEJ", m_brontal.get(), pVal,
                        [&] { return GetDownloadEJ(m_brontal->Settings()) != 0 ? 1 : 0; });
}

STDMETHODIMP CDrvKeltor::put_NecessityToDownloadEJ(LONG newVal) {
    const CMemberTrace trace("CDrvKeltor::put_NecessityToDownloadEJ");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    SetDownloadEJ(m_brontal->Settings(), newVal);
    return trace.Done(S_OK);
}

// ---- TraceMask: the call-flow copy follows at once ----

HRESULT CDrvKeltor::PutTraceMask(LPCSTR name, DWORD mask) {
    const CMemberTrace trace(name);
    SetTraceMask(mask);
    SetCallFlowTraceMask(mask);
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_TraceMask(USHORT* pVal) {
    return GetTraceMaskAs("CDrvKeltor::get_TraceMask", pVal);
}

STDMETHODIMP CDrvKeltor::put_TraceMask(USHORT newVal) {
    return PutTraceMask("CDrvKeltor::put_TraceMask", newVal);
}

STDMETHODIMP CDrvKeltor::get_TraceMask2(LONG* pVal) {
    return GetTraceMaskAs("CDrvKeltor::get_TraceMask2", pVal);
}

STDMETHODIMP CDrvKeltor::put_TraceMask2(LONG newVal) {
    return PutTraceMask("CDrvKeltor::put_TraceMask2", static_cast<DWORD>(newVal));
}

// ---- TracePath ----

STDMETHODIMP CDrvKeltor::get_TracePath(BSTR* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_TracePath");
    char path[kTracePathCapacity] = {};
    GetTracePath(path, sizeof path);
    return trace.Done(BstrFromPath(path, pVal));
}

STDMETHODIMP CDrvKeltor::put_TracePath(BSTR newVal) {
    const CMemberTrace trace("CDrvKeltor::put_TracePath");
    AnsiText path;
    const HRESULT hr = PathFromBstr(newVal, path);
    if (FAILED(hr)) {
        return trace.Done(hr);
    }
    // The store keeps only a path that fits its buffer; saying so beats dropping it silently.
    if (path.size() >= kTracePathCapacity || path.find('\0') != AnsiText::npos) {
        return trace.Done(E_INVALIDARG);
    }
    SetTracePath(path.c_str());
    return trace.Done(S_OK);
}

// ---- QR code module size and version ----

STDMETHODIMP CDrvKeltor::get_QRCodeSize(LONG* pVal) {
    return GetWithLayer("CDrvKeltor::get_QRCodeSize", m_brontal.get(), pVal,
                        [&] { return m_qrCodeSize; });
}

STDMETHODIMP CDrvKeltor::put_QRCodeSize(LONG newVal) {
    return PutQrCodeValue("CDrvKeltor::put_QRCodeSize", m_brontal.get(), m_qrCodeSize, newVal);
}

STDMETHODIMP CDrvKeltor::get_QRCodeVersion(LONG* pVal) {
    return GetWithLayer("CDrvKeltor::get_QRCodeVersion", m_brontal.get(), pVal,
                        [&] { return m_qrCodeVersion; });
}

STDMETHODIMP CDrvKeltor::put_QRCodeVersion(LONG newVal) {
    return PutQrCodeValue("CDrvKeltor::put_QRCodeVersion", m_brontal.get(), m_qrCodeVersion,
                          newVal);
}
