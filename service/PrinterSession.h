// One configured printer as the service drives it: its driver object, reached by member name
// through IDispatch, and what the service knows of its link.
//
// Thread-safety: used only on the printer thread (CPrinterWorker), the apartment of its driver
// object.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "DispatchClient.h"
#include "ServiceConfig.h"

namespace brontald {

// What a driver method left behind.
struct MethodResult {
    std::string method;
    HRESULT hr = S_OK;
    long code = 0;            // the driver's result code
    std::string description;  // the driver's description, UTF-8

    bool Ok() const { return SUCCEEDED(hr) && code >= 0; }
};

// The printer's state words and document counters as it reported them.
struct PrinterCounters {
    uint16_t status = 0xFFFF;
    uint16_t blocking = 0xFFFF;
    uint32_t document = 0;  // the last document ended (cancelled ones too)
    uint32_t session = 0;
    uint32_t receipt = 0;  // fiscal documents committed
    uint32_t type = 0;     // of the open document

    bool DayOpen() const;
    bool ReceiptOpen() const;
};

class CPrinterSession {
  public:
    // `onResult` sees the result code of every method the session calls.
    CPrinterSession(PrinterConfig config, IDispatch* driver,
                    std::function<void(long code)> onResult);

    const PrinterConfig& Config() const { return m_config; }
    salestest::CDispatchClient& Driver() { return m_driver; }

    // A method of the driver and its result code and description.
    MethodResult Call(LPCSTR method);
    // Property writes; a failure comes back as the result of the write. Texts are UTF-8.
    MethodResult PutText(LPCSTR name, const std::string& utf8);
    // A write that talks to the printer (CashierLogin): its result code is the printer's.
    MethodResult PutDeviceText(LPCSTR name, const std::string& utf8);
    MethodResult PutMoney(LPCSTR name, LONGLONG money);
    MethodResult PutNumber(LPCSTR name, LONG number);
    // Property reads; 0 or empty when the read fails.
    LONG Number(LPCSTR name);
    LONGLONG Money(LPCSTR name);
    std::string Text(LPCSTR name);

    // Connects unless the link is known to work: the configured port and speed, no port scan
    // unless configured, the configured cashier.
    MethodResult EnsureConnected();
    // After a link failure: the link is closed and opened again.
    MethodResult Reconnect();
    bool Connected() const { return m_connected; }
    // Any call that fails on the link marks the link as down, so that the next job connects.
    void NoteLinkLost() { m_connected = false; }
    // How many times the session connected; the first connection counts.
    unsigned Connections() const { return m_connections; }

    // A document of this printer whose outcome is not known yet: nothing else that changes the
    // printer may run until it is decided.
    bool Undecided() const { return m_undecided; }
    void SetUndecided(bool undecided) { m_undecided = undecided; }

    // The state words and document counters, read now ("gn" with its status).
    MethodResult ReadCounters(PrinterCounters* counters);
    // The last counters read, for the status page when the printer cannot be asked.
    const PrinterCounters& LastCounters() const { return m_lastCounters; }

  private:
    MethodResult Connect();
    // `device`: the member talks to the printer and leaves its own result code.
    MethodResult Finish(LPCSTR method, HRESULT hr, bool device);

    PrinterConfig m_config;
    salestest::CDispatchClient m_driver;
    std::function<void(long)> m_onResult;
    bool m_connected = false;
    unsigned m_connections = 0;
    bool m_undecided = false;
    PrinterCounters m_lastCounters;
};

}  // namespace brontald
