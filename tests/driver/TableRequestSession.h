// What the table and request tests share: the receipt session (component and virtual printer),
// the DISPIDs of the table and request members, and the item arrays built and read as a client
// builds and reads them.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ReceiptSession.h"

namespace tabletest {

// The receipt members' DISPIDs, and those of the tables and requests below.
using namespace receipttest;
using receipttest::kFs;
using receipttest::kGs;
using receipttest::kUnit;
using testsupport::Cp1251;

enum Dispid : DISPID {
    kElectronicJournalCRC = 88,
    kReadDocumentNumber = 91,
    kPrinterWidth = 94,
    kPrinterName = 95,
    kReadReceiptHeader = 96,
    kReadReceiptFooter = 97,
    kWriteReceiptHeader = 98,
    kWriteReceiptFooter = 99,
    kReceiptHeader = 100,
    kReceiptFooter = 101,
    kStringTableItems = 106,
    kIntegerTableItems = 107,
    kReadPaymentFacilityTable = 108,
    kWritePaymentFacilityTable = 109,
    kReadDepartmentTable = 110,
    kWriteDepartmentTable = 111,
    kReadCurrencyTable = 112,
    kWriteCurrencyTable = 113,
    kDefaultStringTableItem = 114,
    kRequestSession = 117,
    kRequestDepartment = 118,
    kRequestCurrency = 119,
    kRequestNoncashFacility = 120,
    kRequestSessionDocumentCount = 121,
    kRequestSessionDateTime = 122,
    kRequestSessionSalesByDepartment = 123,
    kRequestSessionRefundsByDepartment = 124,
    kRequestSessionCashSalesRefundsByCurrency = 125,
    kRequestSessionNoncashSalesRefundsByFacility = 126,
    kRequestSessionDiscountsSurcharges = 127,
    kRequestSessionAccumulatedTotals = 128,
    kRequestSessionCollectedAmounts = 129,
    kRequestSessionElectronicJournalInfo = 130,
    kRequestReceiptSalesByDepartment = 131,
    kRequestReceiptRefundsByDepartment = 132,
    kRequestReceiptCashPaymentsByCurrency = 133,
    kRequestReceiptNoncashPaymentsByFacility = 134,
    kRequestReceiptDiscountsSurcharges = 135,
    kRequestReceiptTotals = 136,
    kRequestReceiptCollectedAmountsByCurrency = 137,
    kSalesCount = 138,
    kSalesAmount = 139,
    kRefundsCount = 140,
    kRefundsAmount = 141,
    kCancellationCount = 142,
    kDocumentsCount = 143,
    kDocumentThrougtNumber = 144,
    kIncomeAmount = 146,
    kOutcomeAmount = 147,
    kCollectedAmount = 148,
    kPreviousCollectedAmount = 149,
    kSessionStartDate = 150,
    kSessionEndtDate = 151,
    kElectronicJournalSize = 152,
    kDiscountsAmount = 153,
    kSurchargesAmount = 154,
    kAccumulatedSalesAmount = 155,
    kAccumulatedRefundsAmount = 156,
    kSalesAmountInCurrency = 157,
    kRefundsAmountInCurrency = 158,
    kPaymentAmount = 161,
    kPaymentAmountInCurrency = 162,
    kRequestCashierCollectedAmounts = 163,
    kRequestCashierNoncashPaymentsByFacility = 164,
    kRestaurantAmount = 222,
    kRequestSessionRestaurantOrders = 223,
    kRestaurantOpenOrderAmount = 224,
    kRestaurantClosedOrderAmount = 225,
    kRestaurantOpenOrderCount = 226,
    kRestaurantClosedOrderCount = 227,
    kIntegerTableItems2 = 266,
};

// HRESULT of a result code of the interface facility.
inline HRESULT Failure(int code) {
    return static_cast<HRESULT>(0x80040000u | static_cast<unsigned>(-code));
}

// What a call through IDispatch failed with: the exception's code for a failure that came with
// error information, else the HRESULT itself.
inline HRESULT Outcome(const client::Call& call) {
    return call.hr == DISP_E_EXCEPTION ? call.scode : call.hr;
}

// A new one-dimensional array of the texts (UTF-8 in), lower bound 0.
inline SAFEARRAY* TextArray(const std::vector<std::string>& texts) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(texts.size()));
    for (LONG i = 0; array && i < static_cast<LONG>(texts.size()); ++i) {
        const std::u16string wide = client::Wide(texts[static_cast<size_t>(i)]);
        BSTR text = SysAllocStringLen(wide.c_str(), static_cast<UINT>(wide.size()));
        EXPECT_EQ(SafeArrayPutElement(array, &i, text), S_OK);
        SysFreeString(text);
    }
    return array;
}

inline SAFEARRAY* NumberArray(const std::vector<USHORT>& numbers) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI2, 0, static_cast<ULONG>(numbers.size()));
    for (LONG i = 0; array && i < static_cast<LONG>(numbers.size()); ++i) {
        USHORT number = numbers[static_cast<size_t>(i)];
        EXPECT_EQ(SafeArrayPutElement(array, &i, &number), S_OK);
    }
    return array;
}

class TableRequestSession : public receipttest::ReceiptSession {
  protected:
    void SetUp() override {
        ReceiptSession::SetUp();
        if (!HasFatalFailure()) {
            Connect();
        }
    }

    client::Driver& D() { return *driver_; }

    // The method's HRESULT as the object returned it.
    HRESULT Result(DISPID method) { return Call(method); }

    void PutItems(const std::vector<std::string>& texts, const std::vector<USHORT>& numbers) {
        Put(kStringTableItems, client::Array(TextArray(texts)));
        Put(kIntegerTableItems, client::Array(NumberArray(numbers)));
    }

    // The held texts as UTF-8; fails the test unless the get gives an array of BSTR.
    std::vector<std::string> HeldTexts() {
        VARIANT value;
        VariantInit(&value);
        std::vector<std::string> texts;
        const client::Call call = D().Get(kStringTableItems, &value);
        EXPECT_EQ(call.hr, S_OK);
        EXPECT_EQ(value.vt, VT_ARRAY | VT_BSTR);
        if (call.hr == S_OK && value.vt == (VT_ARRAY | VT_BSTR)) {
            LONG upper = -1;
            EXPECT_EQ(SafeArrayGetUBound(value.parray, 1, &upper), S_OK);
            for (LONG i = 0; i <= upper; ++i) {
                BSTR text = nullptr;
                EXPECT_EQ(SafeArrayGetElement(value.parray, &i, &text), S_OK);
                texts.push_back(
                    client::Utf8(text ? std::u16string(text, SysStringLen(text)) : u""));
                SysFreeString(text);
            }
        }
        VariantClear(&value);
        return texts;
    }

    std::vector<USHORT> HeldNumbers() {
        VARIANT value;
        VariantInit(&value);
        std::vector<USHORT> numbers;
        const client::Call call = D().Get(kIntegerTableItems, &value);
        EXPECT_EQ(call.hr, S_OK);
        EXPECT_EQ(value.vt, VT_ARRAY | VT_UI2);
        if (call.hr == S_OK && value.vt == (VT_ARRAY | VT_UI2)) {
            LONG upper = -1;
            EXPECT_EQ(SafeArrayGetUBound(value.parray, 1, &upper), S_OK);
            for (LONG i = 0; i <= upper; ++i) {
                USHORT number = 0;
                EXPECT_EQ(SafeArrayGetElement(value.parray, &i, &number), S_OK);
                numbers.push_back(number);
            }
        }
        VariantClear(&value);
        return numbers;
    }

    std::string Text(DISPID dispid) { return client::Utf8(D().GetText(dispid)); }

    DATE Date(DISPID dispid) {
        VARIANT value;
        VariantInit(&value);
        EXPECT_EQ(D().Get(dispid, &value).hr, S_OK);
        EXPECT_EQ(value.vt, VT_DATE);
        const DATE date = value.vt == VT_DATE ? value.date : -1;
        VariantClear(&value);
        return date;
    }

    // The codes of every frame that arrived, executed or not.
    std::vector<std::string> FrameCodes() const {
        std::vector<std::string> codes;
        for (const emu::ReceivedFrame& frame : printer_.Frames()) {
            codes.push_back(frame.payload.substr(0, 2));
        }
        return codes;
    }

    // A device error `code` for the next `command`.
    void FailNext(const std::string& command, int code) {
        emu::Fault fault;
        fault.kind = emu::FaultKind::DeviceError;
        fault.code = code;
        fault.command = command;
        ASSERT_EQ(printer_.InjectFault(fault), 0);
    }
};

}  // namespace tabletest
