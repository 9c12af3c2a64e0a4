// Reports and day operations: the X and Z reports, the fixed reports, the fiscal memory reports
// by Z number and by date, opening the day, the self test and the cash drawer.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "JournalOperations.h"
#include "Settings.h"

namespace {

// The fixed reports go out without a status refresh first, so that a lost link shows as the
// command's own error; the closing refresh still brings the State... properties up to date.
template <class Steps>
HRESULT RunWithoutFirstRefresh(CDrvKeltor& object, LPCSTR name, Steps&& steps) {
    CDeviceFrame frame(object, name);
    if (frame.Begin(false)) {
        frame.Store(steps(frame.Layer()));
        frame.RefreshAfter();
    }
    return frame.End();
}

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
    CDeviceFrame frame(*this, "CDrvKeltor::PrintZReport");
    // Every step looks at the printer afresh, since each one changes what the next must do; the
    // first failing refresh or command ends the report with its code.
    auto failed = [&](int result) { return frame.Store(result) != 0; };
    auto steps = [&](CBrontal& layer) {
        // An unfinished print would hold the Z report back.
        if ((m_statusWord & kStatusNotReady) != 0 && failed(layer.CancelPrinting())) {
            return;
        }
        if (failed(RefreshPrinterStatus())) {
            return;
        }
        // Without a control unit the day's journal goes on paper before the day closes.
        if ((m_statusWord & kStatusJournalPresent) != 0 &&
            (m_statusWord & kStatusControlUnitPresent) == 0 && failed(layer.PrintJournal())) {
            return;
        }
        if (failed(RefreshPrinterStatus()) || failed(layer.CloseDay()) ||
            failed(RefreshPrinterStatus())) {
            return;
        }
        if ((m_statusWord & (kStatusJournalPresent | kStatusJournalNeedValidate)) == 0) {
            return;
        }
        if (GetDownloadEJ(layer.Settings()) == 0) {
            frame.Store(layer.ForceValidateJournal(0));
            return;
        }
        frame.Store(DownloadAndValidateJournal(layer, m_suppressJournalReadProgress == 0,
                                               m_electronicJournalSavePath.c_str()));
    };
    if (frame.Begin()) {
        steps(frame.Layer());
        frame.RefreshAfter();
    }
    return frame.End();
}

STDMETHODIMP CDrvKeltor::PrintCashierReport() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::PrintCashierReport",
                                  [](CBrontal& layer) { return layer.PrintCashierReport(); });
}

STDMETHODIMP CDrvKeltor::PrintTaxTableReport() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::PrintTaxTableReport",
                                  [](CBrontal& layer) { return layer.PrintTaxTableReport(); });
}

STDMETHODIMP CDrvKeltor::PrintSettTableReport() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::PrintSettTableReport",
                                  [](CBrontal& layer) { return layer.PrintSettTableReport(); });
}

STDMETHODIMP CDrvKeltor::PrintOperationsRegsReport() {
    return RunWithoutFirstRefresh(
        *this, "CDrvKeltor::PrintOperationsRegsReport",
        [](CBrontal& layer) { return layer.PrintOperationsRegsReport(); });
}

STDMETHODIMP CDrvKeltor::PrintReportByZ() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::PrintReportByZ", [&](CBrontal& layer) {
        // The detailed flag asks for the short report; the printer's flag says "full".
        return layer.PrintReportByZ(m_selectScopeDetailed == 0, m_selectFromNumber,
                                    m_selectToNumber, m_initializationPassword.c_str());
    });
}

STDMETHODIMP CDrvKeltor::PrintReportByDate() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::PrintReportByDate", [&](CBrontal& layer) {
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
                                       bounded ? &last : nullptr, m_initializationPassword.c_str());
    });
}

STDMETHODIMP CDrvKeltor::OpenDay() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::OpenDay", [&](CBrontal& layer) {
        const int result = layer.OpenDay();
        if (result != 0 || m_cashierLogin.empty()) {
            return result;
        }
        return layer.CashierLogin(m_cashierLogin.c_str());
    });
}

STDMETHODIMP CDrvKeltor::PrintSelfTestReport() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::PrintSelfTestReport",
                                  [](CBrontal& layer) { return layer.PrintSelfTestReport(); });
}

STDMETHODIMP CDrvKeltor::OpenCashDrawer() {
    return RunWithoutFirstRefresh(*this, "CDrvKeltor::OpenCashDrawer",
                                  [](CBrontal& layer) { return layer.OpenCashDrawer(); });
}
