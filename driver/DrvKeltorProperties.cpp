// Hand-written accessors: the result code, the product version, TextToPrint, the options word
// and the stored halves of properties whose other half talks to the printer.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"

// ---- result and version ----

STDMETHODIMP CDrvKeltor::get_ResultCode(SHORT* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_ResultCode");
    if (!pVal) {
        return trace.Done(E_POINTER);
    }
    *pVal = static_cast<SHORT>(DriverResultCode());
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_SoftwareVersion(BSTR* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_SoftwareVersion");
    return trace.Done(BstrFromAnsi(ProductVersion(), pVal));
}

// ---- TextToPrint: at most 512 characters ----

STDMETHODIMP CDrvKeltor::get_TextToPrint(BSTR* pVal) {
    const CMemberTrace trace("CDrvKeltor::get_TextToPrint");
    return trace.Done(BstrFromAnsi(m_textToPrint, pVal));
}

STDMETHODIMP CDrvKeltor::put_TextToPrint(BSTR newVal) {
    const CMemberTrace trace("CDrvKeltor::put_TextToPrint");
    AnsiText text;
    const HRESULT hr = AnsiFromBstr(newVal, text);
    if (FAILED(hr)) {
        return trace.Done(hr);
    }
    if (text.size() > kTextToPrintLimit) {
        text.resize(kTextToPrintLimit);
    }
    m_textToPrint.swap(text);
    return trace.Done(S_OK);
}

// ---- InitializationOptions: read from the printer while unknown ----

HRESULT CDrvKeltor::GetInitializationOptions(LPCSTR name, WORD* options) {
    const CMemberTrace trace(name);
    if (!options) {
        return trace.Done(E_POINTER);
    }
    if (m_initializationOptions == 0 && m_brontal) {
        const int result = RefreshPrinterStatus();
        SetDriverResultCode(result);
        if (result == 0) {
            // "gi" brings the options word with the taxpayer's number, and both are kept.
            SetDriverResultCode(ReadTaxpayerTexts());
        }
    }
    // A failed read is left in ResultCode; the getter itself succeeds with the word it has.
    *options = m_initializationOptions;
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_InitializationOptions(USHORT* pVal) {
    return GetInitializationOptions("CDrvKeltor::get_InitializationOptions", pVal);
}

STDMETHODIMP CDrvKeltor::put_InitializationOptions(USHORT newVal) {
    const CMemberTrace trace("CDrvKeltor::put_InitializationOptions");
    m_initializationOptions = newVal;
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::get_InitializationOptions2(LONG* pVal) {
    if (!pVal) {
        return GetInitializationOptions("CDrvKeltor::get_InitializationOptions2", nullptr);
    }
    WORD options = 0;
    const HRESULT hr = GetInitializationOptions("CDrvKeltor::get_InitializationOptions2", &options);
    *pVal = options;
    return hr;
}

STDMETHODIMP CDrvKeltor::put_InitializationOptions2(LONG newVal) {
    const CMemberTrace trace("CDrvKeltor::put_InitializationOptions2");
    m_initializationOptions = static_cast<WORD>(newVal);
    return trace.Done(S_OK);
}

// ---- stored halves; the getters read the printer (connection and journal families) ----

STDMETHODIMP CDrvKeltor::put_TaxpayerAccountNumber(BSTR newVal) {
    const CMemberTrace trace("CDrvKeltor::put_TaxpayerAccountNumber");
    return trace.Done(AnsiFromBstr(newVal, m_taxpayerAccountNumber));
}

STDMETHODIMP CDrvKeltor::put_ElectronicJournalReadOffset(ULONG newVal) {
    const CMemberTrace trace("CDrvKeltor::put_ElectronicJournalReadOffset");
    m_electronicJournalReadOffset = newVal;
    return trace.Done(S_OK);
}

STDMETHODIMP CDrvKeltor::put_ElectronicJournalReadOffset2(LONG newVal) {
    const CMemberTrace trace("CDrvKeltor::put_ElectronicJournalReadOffset2");
    m_electronicJournalReadOffset = static_cast<DWORD>(newVal);
    return trace.Done(S_OK);
}
