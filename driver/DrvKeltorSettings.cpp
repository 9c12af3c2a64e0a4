// Properties backed by the process-wide settings: each put changes the record and the command
// layer's working copy and saves the settings; the gets read the record afresh.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"
#include "Settings.h"
#include "Trace.h"

namespace {

constexpr LONGLONG kCurrencyScale = 10000;

}  // namespace

// ---- MinBill: kept in whole currency units ----

STDMETHODIMP CDrvKeltor::get_MinBill(CY* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_MinBill");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    pVal->int64 = static_cast<LONGLONG>(GetMinBill(m_brontal->Settings())) * kCurrencyScale;
    return trace.Done(S_OK);
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
    const ULONGLONG bits = static_cast<ULONGLONG>(units);
    SetMinBill(m_brontal->Settings(), static_cast<DWORD>(bits & 0xFFFFFFFFu),
               static_cast<LONG>(bits >> 32));
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
    const CMemberTrace trace("CDrvKeltor::get_LongNamesHyphenationLength");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = static_cast<USHORT>(GetHyphenationLength(m_brontal->Settings()));
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::put_LongNamesHyphenationLength(USHORT newVal) {
    return PutHyphenationLength("CDrvKeltor::put_LongNamesHyphenationLength", newVal);
}

STDMETHODIMP CDrvKeltor::get_LongNamesHyphenationLength2(LONG* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_LongNamesHyphenationLength2");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = static_cast<LONG>(GetHyphenationLength(m_brontal->Settings()));
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::put_LongNamesHyphenationLength2(LONG newVal) {
    return PutHyphenationLength("CDrvKeltor::put_LongNamesHyphenationLength2", newVal);
}

// ---- QuantityPrecision: clamped to 0..3 ----

STDMETHODIMP CDrvKeltor::get_QuantityPrecision(LONG* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_QuantityPrecision");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = static_cast<LONG>(GetQuantityPrecision(m_brontal->Settings()));
    return trace.Done(S_OK);
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
    const CMemberTrace trace("CDrvKeltor::get_NecessityToDownloadEJ");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = GetDownloadEJ(m_brontal->Settings()) != 0 ? 1 : 0;
    return trace.Done(S_OK);
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
    const CMemberTrace trace("CDrvKeltor::get_TraceMask");
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = static_cast<USHORT>(GetTraceMask());
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::put_TraceMask(USHORT newVal) {
    return PutTraceMask("CDrvKeltor::put_TraceMask", newVal);
}

STDMETHODIMP CDrvKeltor::get_TraceMask2(LONG* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_TraceMask2");
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = static_cast<LONG>(GetTraceMask());
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::put_TraceMask2(LONG newVal) {
    return PutTraceMask("CDrvKeltor::put_TraceMask2", static_cast<DWORD>(newVal));
}

// ---- TracePath ----

STDMETHODIMP CDrvKeltor::get_TracePath(BSTR* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_TracePath");
    char path[kTracePathCapacity] = {};
    GetTracePath(path, sizeof path);
    return trace.Done(BstrFromAnsi(path, pVal));
}

STDMETHODIMP CDrvKeltor::put_TracePath(BSTR newVal) {
    const CMemberTrace trace("CDrvKeltor::put_TracePath");
    AnsiText path;
    const HRESULT hr = AnsiFromBstr(newVal, path);
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
    const CMemberTrace trace("CDrvKeltor::get_QRCodeSize");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = m_qrCodeSize;
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::put_QRCodeSize(LONG newVal) {
    const CMemberTrace trace("CDrvKeltor::put_QRCodeSize");
    if (!m_brontal || newVal < 1) {
        return trace.Done(E_FAIL);
    }
    m_qrCodeSize = newVal;
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_QRCodeVersion(LONG* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_QRCodeVersion");
    if (!m_brontal) {
        return trace.Done(E_FAIL);
    }
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = m_qrCodeVersion;
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::put_QRCodeVersion(LONG newVal) {
    const CMemberTrace trace("CDrvKeltor::put_QRCodeVersion");
    if (!m_brontal || newVal < 1) {
        return trace.Done(E_FAIL);
    }
    m_qrCodeVersion = newVal;
    return trace.Done(S_OK);
}
