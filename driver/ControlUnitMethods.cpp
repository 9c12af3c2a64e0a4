// Control unit operations and fiscalisation: the unit's status and identifier, its TIME, ID and
// AUTH exchanges, unlocking and replacing it, its report; fiscalising the printer and the reset
// of its fiscal state.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"

namespace {

// "vw" exchanges by the command layer's index.
enum ControlUnitExchangeKind : UINT {
    kExchangeTime = 0,
    kExchangeId = 1,
    kExchangeAuth = 2,
};

// The unit's identifier is kept up to 63 bytes, the exchange texts up to 127.
constexpr DWORD kUnitIdCapacity = 64;
constexpr DWORD kExchangeTextCapacity = 128;

// Option bit of "fi" that adds the control unit's register and serial numbers.
constexpr WORD kFiscalOptionControlUnit = 0x0200;

// One "vw" exchange; the outputs change only when the unit answered.
int RunControlUnitExchange(CBrontal& layer, UINT exchange, WORD* status, AnsiText* info,
                           AnsiText* answer, WORD* checksum) {
    WORD newStatus = *status;
    WORD newChecksum = *checksum;
    char newInfo[kExchangeTextCapacity] = {};
    char newAnswer[kExchangeTextCapacity] = {};
    const int result = layer.ControlUnitExchange(exchange, &newStatus, newInfo, sizeof newInfo,
                                                 newAnswer, sizeof newAnswer, &newChecksum);
    if (result == 0) {
        *status = newStatus;
        *checksum = newChecksum;
        *info = newInfo;
        *answer = newAnswer;
    }
    return result;
}

}  // namespace

// ---- reading the unit ----

STDMETHODIMP CDrvKeltor::ReadTaxAuthoritiesControlUnitStatus() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::ReadTaxAuthoritiesControlUnitStatus", [&](CDeviceFrame& frame) {
            WORD status = m_controlUnitStatus;
            const int result = frame.Layer().ReadControlUnitStatus(&status);
            if (result == 0) {
                m_controlUnitStatus = status;
            }
            return result;
        });
}

STDMETHODIMP CDrvKeltor::ReadTaxAuthoritiesControlUnitUID() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::ReadTaxAuthoritiesControlUnitUID", [&](CDeviceFrame& frame) {
            DWORD session = m_sessionNumber;
            char uid[kUnitIdCapacity] = {};
            const int result = frame.Layer().ReadControlUnitUID(&session, uid, sizeof uid);
            if (result == 0) {
                m_sessionNumber = session;
                m_controlUnitUid = uid;
            }
            return result;
        });
}

// ---- exchanges ----

STDMETHODIMP CDrvKeltor::CommandTaxAuthoritiesControlUnitGetTime() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::CommandTaxAuthoritiesControlUnitGetTime", [&](CDeviceFrame& frame) {
            return RunControlUnitExchange(frame.Layer(), kExchangeTime, &m_controlUnitStatus,
                                          &m_controlUnitInfo, &m_controlUnitAnswer,
                                          &m_controlUnitCrc);
        });
}

STDMETHODIMP CDrvKeltor::CommandTaxAuthoritiesControlUnitGetUID() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::CommandTaxAuthoritiesControlUnitGetUID", [&](CDeviceFrame& frame) {
            const int result =
                RunControlUnitExchange(frame.Layer(), kExchangeId, &m_controlUnitStatus,
                                       &m_controlUnitInfo, &m_controlUnitAnswer, &m_controlUnitCrc);
            if (result == 0) {
                // The unit answers the identifier request with its identifier.
                m_controlUnitUid = m_controlUnitAnswer;
            }
            return result;
        });
}

STDMETHODIMP CDrvKeltor::CommandTaxAuthoritiesControlUnitAuthenticate() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::CommandTaxAuthoritiesControlUnitAuthenticate",
        [&](CDeviceFrame& frame) {
            return RunControlUnitExchange(frame.Layer(), kExchangeAuth, &m_controlUnitStatus,
                                          &m_controlUnitInfo, &m_controlUnitAnswer,
                                          &m_controlUnitCrc);
        });
}

// ---- unlocking, replacing, the report ----

STDMETHODIMP CDrvKeltor::UnlockTaxAuthoritiesControlUnit() {
    return RunDeviceMethodRefreshingAfter(*this, "CDrvKeltor::UnlockTaxAuthoritiesControlUnit",
                                          [&](CDeviceFrame& frame) {
                                              // A blocked printer may not answer "gs" as usual; the
                                              // unlock is tried anyway.
                                              RefreshPrinterStatus();
                                              return frame.Layer().UnlockControlUnit();
                                          });
}

STDMETHODIMP CDrvKeltor::ReplaceTaxAuthoritiesControlUnit() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::ReplaceTaxAuthoritiesControlUnit", [&](CDeviceFrame& frame) {
            return frame.Layer().ReplaceControlUnit(
                m_controlUnitPassword.c_str(), m_controlUnitRegisterNumber.c_str(),
                m_controlUnitSerialNumber.c_str(), m_printerName.c_str());
        });
}

STDMETHODIMP CDrvKeltor::PrintTaxAuthoritiesControlUnitReport() {
    return RunDeviceMethod(
        *this, "CDrvKeltor::PrintTaxAuthoritiesControlUnitReport",
        [&](CDeviceFrame& frame) { return frame.Layer().PrintControlUnitReport(); });
}

// ---- fiscalisation ----

STDMETHODIMP CDrvKeltor::InitializeFiscalPrinter() {
    return RunDeviceMethod(*this, "CDrvKeltor::InitializeFiscalPrinter", [&](CDeviceFrame& frame) {
        // Fiscalisation cannot be undone: a printer registered with its control unit needs the
        // unit's serial number, and an empty one is not sent in its place.
        if ((m_initializationOptions & kFiscalOptionControlUnit) != 0 &&
            m_controlUnitSerialNumber.empty()) {
            return static_cast<int>(kBrontalBadArguments);
        }
        return frame.Layer().InitializeFiscal(
            m_initializationOptions, m_initializationPassword.c_str(),
            m_initializationNewPassword.c_str(), m_taxpayerAccountNumber.c_str(),
            m_controlUnitRegisterNumber.c_str(), m_controlUnitSerialNumber.c_str(),
            m_printerName.c_str());
    });
}

STDMETHODIMP CDrvKeltor::ResetFiscal() {
    return RunDeviceMethodRefreshingAfter(*this, "CDrvKeltor::ResetFiscal",
                                          [&](CDeviceFrame& frame) {
                                              CBrontal& layer = frame.Layer();
                                              const int result = frame.Store(layer.ResetFiscal());
                                              if (result != 0) {
                                                  return result;
                                              }
                                              // The restart gives no reply to take the words from,
                                              // so they are asked for; a printer still restarting
                                              // leaves the words as they were.
                                              WORD status = 0;
                                              WORD blocking = 0;
                                              if (layer.GetStatus(&status, &blocking) == 0) {
                                                  m_statusWord = status;
                                                  m_blockingWord = blocking;
                                              }
                                              if (m_statusWord & kStatusNeedReset) {
                                                  return layer.ResetPrinterFault();
                                              }
                                              return result;
                                          });
}
