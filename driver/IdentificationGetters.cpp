// The identification getters: served from the texts cached at Connect, read from the printer
// while they are empty.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"

HRESULT CDrvKeltor::GetIdentificationText(LPCSTR name, const AnsiText& cached,
                                          int (CDrvKeltor::*read)(), BSTR* text) {
    if (!text) {
        const CMemberTrace trace(name);
        return trace.Done(E_POINTER);
    }
    *text = nullptr;
    CDeviceFrame frame(*this, name);
    if (cached.empty() && frame.Begin()) {
        frame.Store((this->*read)());
        frame.RefreshAfter();
    }
    // From the cache the HRESULT is that of the last device operation, as the frame gives it.
    const HRESULT hr = frame.End();
    // A failing call hands out nothing: the caller frees no [out] text of a failure.
    return FAILED(hr) ? hr : BstrFromAnsi(cached, text);
}

STDMETHODIMP CDrvKeltor::get_ManufacturerCountryCode(BSTR* pVal) {
    return GetIdentificationText("CDrvKeltor::get_ManufacturerCountryCode",
                                 m_manufacturerCountryCode, &CDrvKeltor::ReadManufacturerTexts,
                                 pVal);
}

STDMETHODIMP CDrvKeltor::get_ManufacturerSerialNumber(BSTR* pVal) {
    return GetIdentificationText("CDrvKeltor::get_ManufacturerSerialNumber",
                                 m_manufacturerSerialNumber, &CDrvKeltor::ReadManufacturerTexts,
                                 pVal);
}

STDMETHODIMP CDrvKeltor::get_FirmwareVersion(BSTR* pVal) {
    return GetIdentificationText("CDrvKeltor::get_FirmwareVersion", m_firmwareVersion,
                                 &CDrvKeltor::ReadFirmwareTexts, pVal);
}

STDMETHODIMP CDrvKeltor::get_FirmwareMnemo(BSTR* pVal) {
    return GetIdentificationText("CDrvKeltor::get_FirmwareMnemo", m_firmwareMnemo,
                                 &CDrvKeltor::ReadFirmwareTexts, pVal);
}

STDMETHODIMP CDrvKeltor::get_TaxpayerAccountNumber(BSTR* pVal) {
    return GetIdentificationText("CDrvKeltor::get_TaxpayerAccountNumber", m_taxpayerAccountNumber,
                                 &CDrvKeltor::ReadTaxpayerTexts, pVal);
}
