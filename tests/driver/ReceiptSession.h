// The receipt tests' client session: the component registered into the test's registry, the
// virtual printer on a COM port of that registry, one object created by ProgID and connected, and
// the requests the printer executed since.
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

namespace receipttest {

// Dispatch identifiers of the members the receipt tests use.
enum Dispid : DISPID {
    kComPort = 1,
    kConnect = 2,
    kBaudRate = 3,
    kResultCode = 5,
    kResultCodeDescription = 6,
    kCashierLogin = 7,
    kStatus = 11,
    kStateDayOpen = 13,
    kStateReceiptOpen = 14,
    kCancelPrint = 37,
    kPrintZReport = 40,
    kReceiptType = 41,
    kQuantity = 42,
    kPrice = 43,
    kDepartment = 44,
    kArticle = 45,
    kStringToPrint = 46,
    kTextToPrint = 47,
    kSale = 48,
    kStorno = 49,
    kPrintLine = 50,
    kCorrectionAmount = 51,
    kCorrectionMnemo = 52,
    kDiscount = 53,
    kStornoDiscount = 54,
    kSurcharge = 55,
    kStornoSurcharge = 56,
    kAmount = 57,
    kChange = 58,
    kDebt = 59,
    kNoncashType = 60,
    kNoncashAttribute = 61,
    kPayCash = 62,
    kPayNoncash = 63,
    kRepayCash = 64,
    kRepayNoncash = 65,
    kOpenReceipt = 66,
    kPrintSubtotal = 67,
    kQuantityUnit = 68,
    kSubtotal = 69,
    kCashIncome = 70,
    kCashOutcome = 71,
    kPrintText = 72,
    kCompleteReceipt = 73,
    kContinueReceipt = 74,
    kCloseReceipt = 75,
    kOpenDay = 87,
    kDocumentNumber = 90,
    kSessionNumber = 92,
    kReceiptNumber = 93,
    kDiscountReceipt = 159,
    kSurchargeReceipt = 160,
    kAmountCurrency = 169,
    kAmountCurrencyRate = 170,
    kGiveChange = 180,
    kCancellationDocumentNumber = 188,
    kCancellationMnemo = 189,
    kCancellationAmount = 194,
    kRestaurantOrder = 219,
    kForcePrintControlTapeOnly = 228,
    kSuppressAutodetect = 229,
    kForcePrintSingleQuantity = 292,
    kQuantityPrecision = 337,
};

inline const std::string kFs = "\x1C";
inline const std::string kGs = "\x1D";

constexpr LONGLONG kUnit = 10000;  // CY of one whole unit

// Requests with their control bytes spelled out, for failure messages.
inline std::string Printable(const std::vector<std::string>& requests) {
    std::string out;
    for (const std::string& request : requests) {
        out += "[";
        for (const char c : request) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte >= 0x7F) {
                char hex[8];  // "\xHH" and the terminator
                std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
                out += hex;
            } else {
                out += c;
            }
        }
        out += "] ";
    }
    return out;
}

// The two-letter codes of the requests.
inline std::vector<std::string> Codes(const std::vector<std::string>& requests) {
    std::vector<std::string> codes;
    for (const std::string& request : requests) {
        codes.push_back(request.substr(0, 2));
    }
    return codes;
}

class ReceiptSession : public client::ComponentTest {
  protected:
    void SetUp() override {
        ComponentTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(printer_.Start(), 0);
        port_ = printer_.RegisterPort();
        ASSERT_GT(port_, 0);
        // One attempt per command, so that a failure shows within seconds.
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal", "CmdRetryCount", 1);
    }

    void TearDown() override {
        driver_.reset();
        printer_.Stop();
        ComponentTest::TearDown();
    }

    static void WriteSetting(const char* path, const char* name, DWORD value) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof value),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // A new object connected to the printer; the log starts empty after it.
    void Connect() {
        driver_.emplace(Create());
        ASSERT_NE(driver_->get(), nullptr);
        Put(kComPort, client::UI2(static_cast<USHORT>(port_)));
        Put(kBaudRate, client::UI4(9600));
        Put(kSuppressAutodetect, client::UI2(1));
        const client::Call call = driver_->Method(kConnect);
        ASSERT_EQ(call.hr, S_OK) << call.description;
        printer_.ClearLog();
    }

    void Put(DISPID dispid, VARIANT value) {
        const client::Call call = driver_->Put(dispid, value);
        ASSERT_EQ(call.hr, S_OK) << "put of DISPID " << dispid << ": " << call.description;
    }
    void PutText(DISPID dispid, const std::string& utf8) {
        Put(dispid, client::Text(client::Wide(utf8)));
    }
    void PutMoney(DISPID dispid, LONGLONG money) { Put(dispid, client::Cy(money)); }
    void PutNumber(DISPID dispid, USHORT number) { Put(dispid, client::UI2(number)); }

    // The method's HRESULT as Invoke gives it: DISP_E_EXCEPTION carries it in scode.
    HRESULT Call(DISPID dispid) {
        const client::Call call = driver_->Method(dispid);
        return call.hr == DISP_E_EXCEPTION ? call.scode : call.hr;
    }
    // A call that must succeed.
    void Run(DISPID dispid) {
        const client::Call call = driver_->Method(dispid);
        ASSERT_EQ(call.hr, S_OK) << "DISPID " << dispid << ": " << call.description << "; requests "
                                 << Printable(printer_.Requests());
    }

    SHORT ResultCode() { return driver_->GetI2(kResultCode); }
    LONGLONG Money(DISPID dispid) { return driver_->GetCy(dispid); }
    // Every request the printer received since the log was cleared, whether it executed it or a
    // fault refused it; repeats of a request are not counted again.
    std::vector<std::string> Requests() const {
        std::vector<std::string> requests;
        for (const emu::ReceivedFrame& frame : printer_.Frames()) {
            if (frame.checkOk && !frame.repeated) {
                requests.push_back(frame.payload);
            }
        }
        return requests;
    }

    // A sale receipt with one line of `price` x 1, the day opened on the way; the log is
    // cleared after it.
    void OpenSaleWithLine(LONGLONG price) {
        PutNumber(kReceiptType, 1);
        Run(kOpenReceipt);
        PutText(kArticle, "Хлеб");
        PutMoney(kPrice, price);
        PutMoney(kQuantity, kUnit);
        Run(kSale);
        printer_.ClearLog();
    }

    emu::VirtualPrinter printer_;
    std::optional<client::Driver> driver_;
    int port_ = 0;
};

}  // namespace receipttest
