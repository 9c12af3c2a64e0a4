// Connection methods: Connect with its identification and clean-up steps, ResetPrinter,
// CancelPrint, and the hardware status refresh the other families use.
#include <cstdio>

#include "BackgroundWork.h"
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorResult.h"
#include "RoutineTrace.h"
#include "Settings.h"

namespace {

// The model text the printer names itself by is at most this long.
constexpr size_t kModelNameLimit = 16;

// Printers pad their model names with leading zeros.
AnsiText WithoutLeadingZeros(LPCSTR text) {
    while (*text == '0') {
        ++text;
    }
    return text;
}

// "gi": the options word, and the taxpayer account number when it is asked for. Both are kept
// only when the printer answers.
int ReadInitialization(CBrontal& layer, WORD* options, AnsiText* taxpayer) {
    LONG number = 0;
    DWORD word = 0;
    char text[kIdentificationTextCapacity] = {};
    const int result = layer.ReadInitializationData(&number, &word, text, sizeof text);
    if (result == 0) {
        *options = static_cast<WORD>(word);
        if (taxpayer) {
            *taxpayer = text;
        }
    }
    return result;
}

}  // namespace

int CDrvKeltor::RefreshHardwareStatus() {
    const CRoutineTrace trace("CDrvKeltor::RefreshHardwareStatus");
    HardwareStatus hardware = {};
    const int result = m_brontal->ReadHardwareStatus(&hardware);
    if (result == 0) {
        m_printerWidth = static_cast<DWORD>(hardware.printerWidth);
        if (m_printerName.empty()) {
            hardware.printerName[kModelNameLimit] = '\0';
            m_printerName = WithoutLeadingZeros(hardware.printerName);
        }
    }
    return trace.Done(result);
}

int CDrvKeltor::ReadManufacturerTexts() {
    char country[kIdentificationTextCapacity] = {};
    char serial[kIdentificationTextCapacity] = {};
    char unitSerial[kIdentificationTextCapacity] = {};
    char unitRegister[kIdentificationTextCapacity] = {};
    char model[kIdentificationTextCapacity] = {};
    const int result = m_brontal->ReadManufacturerData(
        country, sizeof country, serial, sizeof serial, unitSerial, sizeof unitSerial, unitRegister,
        sizeof unitRegister, model, sizeof model);
    if (result == 0) {
        m_manufacturerCountryCode = country;
        m_manufacturerSerialNumber = serial;
        m_controlUnitSerialNumber = unitSerial;
        m_controlUnitRegisterNumber = unitRegister;
        if (model[0] != '\0') {
            m_printerName = WithoutLeadingZeros(model);
        }
    }
    return result;
}

int CDrvKeltor::ReadFirmwareTexts() {
    char mnemo[kIdentificationTextCapacity] = {};
    char version[kIdentificationTextCapacity] = {};
    const int result = m_brontal->ReadFirmware(mnemo, sizeof mnemo, version, sizeof version);
    if (result == 0) {
        m_firmwareMnemo = mnemo;
        m_firmwareVersion = version;
    }
    return result;
}

int CDrvKeltor::ReadTaxpayerTexts() {
    return ReadInitialization(*m_brontal, &m_initializationOptions, &m_taxpayerAccountNumber);
}

// What the printer says about itself. None of these results is the result of Connect: a printer
// that answers "gs" is connected even when it cannot tell its name.
void CDrvKeltor::IdentifyPrinter() {
    if (ReadManufacturerTexts() != 0) {
        return;
    }
    RefreshPrinterStatus();
    ReadFirmwareTexts();
    RefreshHardwareStatus();
    if ((m_statusWord & kStatusDayOpen) && (m_statusWord & kStatusReceiptOpen)) {
        RestoreReceiptContext();
    }
    // Only the options: the taxpayer account number is read when it is asked for.
    ReadInitialization(*m_brontal, &m_initializationOptions, nullptr);
}

// A printer waiting for a reset, or for its journal to be accepted, would refuse the next
// operation; what these steps give becomes the result of Connect.
void CDrvKeltor::ClearBlockingStates() {
    if (RefreshPrinterStatus() != 0) {
        return;
    }
    if (m_statusWord & kStatusNeedReset) {
        SetDriverResultCode(m_brontal->ResetPrinterFault());
        RefreshPrinterStatus();
    }
    if ((m_statusWord & kStatusJournalNeedValidate) && GetDownloadEJ(m_brontal->Settings()) == 0) {
        SetDriverResultCode(m_brontal->ForceValidateJournal(0));
        RefreshPrinterStatus();
    }
}

STDMETHODIMP CDrvKeltor::Connect() {
    CDeviceFrame frame(*this, "CDrvKeltor::Connect");
    if (frame.Begin(false)) {
        CBrontal& layer = frame.Layer();
        char baud[16];
        std::snprintf(baud, sizeof baud, "%lu", static_cast<unsigned long>(m_baudRate));
        bool attached = false;
        if (m_comPort != 0 && m_baudRate != 0 && frame.Store(layer.Attach(m_comPort, baud)) == 0) {
            StoreLinkSettings(m_comPort, m_baudRate);
            attached = true;
        }
        if (!attached) {
            if (m_suppressAutodetect != 0) {
                frame.Store(kBrontalLinkFailed);
            } else {
                DWORD port = 0;
                DWORD found = 0;
                if (frame.Store(RunAutodetect(&layer, &port, &found)) == 0) {
                    m_comPort = static_cast<WORD>(port);
                    m_baudRate = found;
                    StoreLinkSettings(port, found);
                    attached = true;
                }
            }
        }
        if (attached) {
            IdentifyPrinter();
        }
        ClearBlockingStates();
    }
    return frame.End();
}

STDMETHODIMP CDrvKeltor::ResetPrinter() {
    CDeviceFrame frame(*this, "CDrvKeltor::ResetPrinter");
    if (frame.Begin(false)) {
        frame.Store(frame.Layer().ResetPrinterFault());
        ReadStatusWords();
    }
    return frame.End();
}

STDMETHODIMP CDrvKeltor::CancelPrint() {
    CDeviceFrame frame(*this, "CDrvKeltor::CancelPrint");
    if (frame.Begin(false)) {
        CBrontal& layer = frame.Layer();
        if (frame.Store(RefreshPrinterStatus()) == 0 && (m_statusWord & kStatusNeedReset)) {
            frame.Store(layer.ResetPrinterFault());
        }
        // A printer that does not say how it is may still be printing: stop it anyway.
        frame.Store(layer.CancelPrinting());
        ReadStatusWords();
    }
    return frame.End();
}
