// A client session with the component and the virtual printer: the component registered into
// the test's registry, the printer on a COM port of the same registry, an object created by
// ProgID and connected to it, and what the printer received since.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "ComponentClient.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace session {

// Dispatch identifiers of the members the report and journal tests use.
enum Dispid : DISPID {
    kComPort = 1,
    kConnect = 2,
    kBaudRate = 3,
    kResultCode = 5,
    kResultCodeDescription = 6,
    kCashierLogin = 7,
    kPrintXReport = 10,
    kStatus = 11,
    kRefreshStatus = 36,
    kElectronicJournalSavePath = 38,
    kReadAndValidateElectronicJournal = 39,
    kPrintZReport = 40,
    kReceiptType = 41,
    kTextToPrint = 47,
    kPrintCashierReport = 76,
    kPrintTaxTableReport = 77,
    kPrintSettTableReport = 78,
    kPrintOperationsRegsReport = 79,
    kSelectFromNumber = 80,
    kSelectToNumber = 81,
    kSelectFromDate = 82,
    kSelectToDate = 83,
    kSelectScopeDetailed = 84,
    kPrintReportByZ = 85,
    kPrintReportByDate = 86,
    kOpenDay = 87,
    kElectronicJournalCRC = 88,
    kForceValidateElectronicJournal = 89,
    kDocumentNumber = 90,
    kSessionNumber = 92,
    kPrintElectronicJournal = 116,
    kPrintSelfTestReport = 165,
    kOpenCashDrawer = 171,
    kElectronicJournalReadOffset = 181,
    kElectronicJournalReadSize = 182,
    kElectronicJournalData = 183,
    kReadElectronicJournal = 184,
    kInitializationPassword = 211,
    kElectronicJournalReadOffset2 = 278,
    kSuppressEJournalReadProgress = 333,
    kReadAndPrintElectronicJournal = 334,
    kNecessityToDownloadEJ = 336,
};

inline const std::string kFs = "\x1C";
inline const std::string kGs = "\x1D";

// Bytes with the control characters spelled out, for failure messages.
inline std::string Printable(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '\\') {
            char hex[8];  // "\xHH" and the terminator
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

inline std::string Printable(const std::vector<std::string>& requests) {
    std::string out;
    for (const std::string& request : requests) {
        out += "[" + Printable(request) + "] ";
    }
    return out;
}

// An Automation date of a calendar day.
inline DATE Day(WORD year, WORD month, WORD day) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    DATE date = 0;
    EXPECT_TRUE(SystemTimeToVariantTime(&time, &date));
    return date;
}

// A DWORD value of the test's registry.
inline void WriteSetting(const char* key, const char* name, DWORD value) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                              nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(handle);
}

// The HRESULT of a method as the object returned it: a failure reaches an Invoke caller as
// DISP_E_EXCEPTION with the code in the exception information.
inline HRESULT Outcome(const client::Call& call) {
    return call.hr == DISP_E_EXCEPTION ? call.scode : call.hr;
}
class PrinterSession : public client::ComponentTest {
  protected:
    void SetUp() override {
        ComponentTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(printer_.Start(), 0);
        port_ = printer_.RegisterPort();
        ASSERT_GT(port_, 0);
        // One attempt per command: an unanswered one fails within a few seconds.
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal", "CmdRetryCount", 1);
    }

    void TearDown() override {
        object_.reset();
        printer_.Stop();
        ComponentTest::TearDown();
    }

    // "PrintEJ" and "DownloadEJ" live in the settings key itself; set them before Connect().
    static void WriteJournalSettings(DWORD printEJ, DWORD downloadEJ) {
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings", "PrintEJ", printEJ);
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings", "DownloadEJ", downloadEJ);
    }

    // Creates the object, connects it to the printer and forgets what Connect sent.
    void Connect() {
        object_.emplace(Create());
        ASSERT_NE(D().get(), nullptr);
        ASSERT_EQ(D().Put(kComPort, client::UI2(static_cast<USHORT>(port_))).hr, S_OK);
        ASSERT_EQ(D().Put(kBaudRate, client::UI4(9600)).hr, S_OK);
        const client::Call call = D().Method(kConnect);
        ASSERT_EQ(call.hr, S_OK) << call.description;
        printer_.ClearLog();
    }

    client::Call Run(DISPID method) { return D().Method(method); }
    HRESULT Result(DISPID method) { return Outcome(Run(method)); }
    SHORT ResultCode() { return D().GetI2(kResultCode); }
    std::string Description() { return client::Utf8(D().GetText(kResultCodeDescription)); }
    void PutText(DISPID dispid, const std::string& utf8) {
        ASSERT_EQ(D().Put(dispid, client::Text(client::Wide(utf8))).hr, S_OK);
    }

    // What the driver sent since the log was cleared, executed or refused by a fault (repeats of
    // a request are left out).
    std::vector<std::string> Requests() const {
        std::vector<std::string> out;
        for (const emu::ReceivedFrame& frame : printer_.Frames()) {
            if (frame.checkOk && !frame.repeated) {
                out.push_back(frame.payload);
            }
        }
        return out;
    }
    // The same without the status queries.
    std::vector<std::string> Commands() const {
        std::vector<std::string> out;
        for (const std::string& request : Requests()) {
            if (request != "gs") {
                out.push_back(request);
            }
        }
        return out;
    }
    bool Sent(const std::string& code) const {
        for (const std::string& request : Requests()) {
            if (request.compare(0, 2, code) == 0) {
                return true;
            }
        }
        return false;
    }

    // New status words, seen by the object through a fresh "gs"; the log is cleared afterwards.
    void SetStatus(uint16_t status) {
        printer_.SetStatusWords(status, printer_.BlockingWord());
        ASSERT_EQ(Result(kRefreshStatus), S_OK);
        printer_.ClearLog();
    }

    emu::VirtualPrinter printer_;
    int port_ = 0;
    // The connected object; D() is valid after Connect().
    client::Driver& D() { return *object_; }
    std::optional<client::Driver> object_;
};

}  // namespace session
