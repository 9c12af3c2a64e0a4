// Reports and day operations: the X and Z reports, the fixed reports, the fiscal memory reports
// by Z number and by date, opening the day, the self test and the cash drawer.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "JournalOperations.h"
#include "Settings.h"

namespace {

// A report date as the printer's calendar fields; false for a value that is no calendar date.
bool CalendarDate(DATE date, SYSTEMTIME* time) {
    *time = SYSTEMTIME{};
    return VariantTimeToSystemTime(date, time) != FALSE;
}

}  // namespace

STDMETHODIMP CDrvKeltor::PrintXReport() {
    return RunDeviceMethod(*this, "CDrvKeltor::PrintXReport",
                           [&](CDeviceFrame& frame) { return frame.Layer().PrintXReport(); });
}

STDMETHODIMP CDrvKeltor::PrintZReport() {
    return RunDeviceMethod(*this, "CDrvKeltor::PrintZReport", [&](CDeviceFrame& frame) {
        CBrontal& layer = frame.Layer();
        // Every step looks at the printer afresh, since each one changes what the next must do;
        // the first failing refresh or command ends the report with its code.
        auto failed = [&](int result) { return frame.Store(result) != 0; };
        // An unfinished print would hold the Z report back.
        if ((m_statusWord & kStatusNotReady) != 0 && failed(layer.CancelPrinting())) {
            return DriverResultCode();
        }
        if (failed(RefreshPrinterStatus())) {
            return DriverResultCode();
        }
        // Without a control unit the day's journal goes on paper before the day closes.
        if ((m_statusWord & kStatusJournalPresent) != 0 &&
            (m_statusWord & kStatusControlUnitPresent) == 0 && failed(layer.PrintJournal())) {
            return DriverResultCode();
        }
        if (failed(RefreshPrinterStatus()) || failed(layer.CloseDay()) ||
            failed(RefreshPrinterStatus())) {
            return DriverResultCode();
        }
        if ((m_statusWord & (kStatusJournalPresent | kStatusJournalNeedValidate)) == 0) {
            return 0;
        }
        if (GetDownloadEJ(layer.Settings()) == 0) {
            return layer.ForceValidateJournal(0);
        }
        return DownloadAndValidateJournal(layer, m_suppressJournalReadProgress == 0,
                                          m_electronicJournalSavePath.c_str());
    });
}

STDMETHODIMP CDrvKeltor::PrintCashierReport() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintCashierReport",
        [](CDeviceFrame& frame) { return frame.Layer().PrintCashierReport(); });
}

STDMETHODIMP CDrvKeltor::PrintTaxTableReport() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintTaxTableReport",
        [](CDeviceFrame& frame) { return frame.Layer().PrintTaxTableReport(); });
}

STDMETHODIMP CDrvKeltor::PrintSettTableReport() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintSettTableReport",
        [](CDeviceFrame& frame) { return frame.Layer().PrintSettTableReport(); });
}

STDMETHODIMP CDrvKeltor::PrintOperationsRegsReport() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintOperationsRegsReport",
        [](CDeviceFrame& frame) { return frame.Layer().PrintOperationsRegsReport(); });
}

STDMETHODIMP CDrvKeltor::PrintReportByZ() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintReportByZ", [&](CDeviceFrame& frame) {
            CBrontal& layer = frame.Layer();
            // The detailed flag asks for the short report; the printer's flag says "full".
            return layer.PrintReportByZ(m_selectScopeDetailed == 0, m_selectFromNumber,
                                        m_selectToNumber, m_initializationPassword.c_str());
        });
}

STDMETHODIMP CDrvKeltor::PrintReportByDate() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintReportByDate", [&](CDeviceFrame& frame) {
            CBrontal& layer = frame.Layer();
            SYSTEMTIME first;
            SYSTEMTIME last;
            if (!CalendarDate(m_selectFromDate, &first)) {
                return static_cast<int>(kBrontalBadArguments);
            }
            // A last date of 0.0 means the report runs to the end of the fiscal memory.
            const bool bounded = m_selectToDate != 0.0;
            if (bounded && !CalendarDate(m_selectToDate, &last)) {
                return static_cast<int>(kBrontalBadArguments);
            }
            return layer.PrintReportByDate(m_selectScopeDetailed == 0, &first,
                                           bounded ? &last : nullptr,
                                           m_initializationPassword.c_str());
        });
}

STDMETHODIMP CDrvKeltor::OpenDay() {
    return RunDeviceMethodRefreshingAfter(*this, "CDrvKeltor::OpenDay", [&](CDeviceFrame& frame) {
        CBrontal& layer = frame.Layer();
        const int result = layer.OpenDay();
        if (result != 0 || m_cashierLogin.empty()) {
            return result;
        }
        return layer.CashierLogin(m_cashierLogin.c_str());
    });
}

STDMETHODIMP CDrvKeltor::PrintSelfTestReport() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintSelfTestReport",
        [](CDeviceFrame& frame) { return frame.Layer().PrintSelfTestReport(); });
}

STDMETHODIMP CDrvKeltor::OpenCashDrawer() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::OpenCashDrawer",
        [](CDeviceFrame& frame) { return frame.Layer().OpenCashDrawer(); });
}
