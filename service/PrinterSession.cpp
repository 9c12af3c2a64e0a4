#include "PrinterSession.h"

#include "PrinterFlags.h"
#include "ResultCodes.h"
#include "Script.h"

namespace brontald {

bool PrinterCounters::DayOpen() const {
    return (status & kStatusDayOpen) != 0;
}

bool PrinterCounters::ReceiptOpen() const {
    return (status & kStatusReceiptOpen) != 0;
}

CPrinterSession::CPrinterSession(PrinterConfig config, IDispatch* driver,
                                 std::function<void(long code)> onResult)
    : m_config(std::move(config)), m_driver(driver), m_onResult(std::move(onResult)) {}

MethodResult CPrinterSession::Finish(LPCSTR method, HRESULT hr, bool device) {
    MethodResult result;
    result.method = method;
    // A failing member comes back as DISP_E_EXCEPTION; its own HRESULT is what callers know.
    result.hr = hr == DISP_E_EXCEPTION ? m_driver.LastFailure().scode : hr;
    // A member that talks to the printer leaves its result in ResultCode whether it succeeded
    // or not; a stored property leaves the code of the last method there, which is not its own.
    LONG code = 0;
    salestest::WideText description;
    if (device && (hr == DISP_E_EXCEPTION || SUCCEEDED(hr))) {
        if (SUCCEEDED(m_driver.GetNumber("ResultCode", &code))) {
            result.code = code;
        }
        if (SUCCEEDED(m_driver.GetText("ResultCodeDescription", &description))) {
            result.description = salestest::Utf8FromWide(description);
        }
    }
    if (FAILED(hr) && result.code >= 0) {
        result.code = -1;  // a failure that left no result code of its own
        if (result.description.empty()) {
            result.description = "the driver refused the call (" + drvkeltor::HresultText(hr) + ")";
        }
    }
    if (IsLinkFailure(result.code)) {
        m_connected = false;
    }
    if (m_onResult) {
        m_onResult(result.code);
    }
    return result;
}

MethodResult CPrinterSession::Call(LPCSTR method) {
    return Finish(method, m_driver.Call(method), true);
}

MethodResult CPrinterSession::PutText(LPCSTR name, const std::string& utf8) {
    return Finish(name, m_driver.PutText(name, salestest::WideFromUtf8(utf8)), false);
}

MethodResult CPrinterSession::PutDeviceText(LPCSTR name, const std::string& utf8) {
    return Finish(name, m_driver.PutText(name, salestest::WideFromUtf8(utf8)), true);
}

MethodResult CPrinterSession::PutMoney(LPCSTR name, LONGLONG money) {
    return Finish(name, m_driver.PutMoney(name, money), false);
}

MethodResult CPrinterSession::PutNumber(LPCSTR name, LONG number) {
    return Finish(name, m_driver.PutNumber(name, number), false);
}

LONG CPrinterSession::Number(LPCSTR name) {
    LONG number = 0;
    return SUCCEEDED(m_driver.GetNumber(name, &number)) ? number : 0;
}

LONGLONG CPrinterSession::Money(LPCSTR name) {
    LONGLONG money = 0;
    return SUCCEEDED(m_driver.GetMoney(name, &money)) ? money : 0;
}

std::string CPrinterSession::Text(LPCSTR name) {
    salestest::WideText text;
    return SUCCEEDED(m_driver.GetText(name, &text)) ? salestest::Utf8FromWide(text) : std::string();
}

MethodResult CPrinterSession::Connect() {
    MethodResult put = PutNumber("ComPort", static_cast<LONG>(m_config.port));
    if (put.Ok()) {
        put = PutNumber("BaudRate", static_cast<LONG>(m_config.baud));
    }
    if (put.Ok()) {
        put = PutNumber("SuppressAutodetect", m_config.autodetect ? 0 : 1);
    }
    if (!put.Ok()) {
        return put;
    }
    MethodResult connect = Call("Connect");
    // Connect ends with clean-up commands whose failure is its result although the link is
    // open; only a link failure means there is no printer to talk to.
    m_connected = !IsLinkFailure(connect.code) && connect.code != -1;
    if (!m_connected) {
        return connect;
    }
    ++m_connections;
    if (!m_config.cashier.empty()) {
        // With the day closed the driver keeps the name and logs it in when it opens the day.
        const MethodResult login = PutDeviceText("CashierLogin", m_config.cashier);
        if (IsLinkFailure(login.code)) {
            return login;
        }
    }
    return connect;
}

MethodResult CPrinterSession::EnsureConnected() {
    if (m_connected) {
        MethodResult ok;
        ok.method = "Connect";
        return ok;
    }
    return Connect();
}

MethodResult CPrinterSession::Reconnect() {
    Call("Disconnect");
    m_connected = false;
    return Connect();
}

MethodResult CPrinterSession::ReadCounters(PrinterCounters* counters) {
    const MethodResult read = Call("ReadDocumentNumber");
    if (!read.Ok()) {
        return read;
    }
    PrinterCounters now;
    now.status = static_cast<uint16_t>(Number("Status"));
    now.blocking = static_cast<uint16_t>(Number("StatusBlocked"));
    now.document = static_cast<uint32_t>(Number("DocumentNumber2"));
    now.session = static_cast<uint32_t>(Number("SessionNumber2"));
    now.receipt = static_cast<uint32_t>(Number("ReceiptNumber2"));
    now.type = now.ReceiptOpen() ? static_cast<uint32_t>(Number("ReceiptType")) : 0;
    m_lastCounters = now;
    *counters = now;
    return read;
}

}  // namespace brontald
