// The short-named twin methods through the component: each sends what its main method sends,
// ends with the same result and outputs, and writes its call-flow lines under its own name.
#include <gtest/gtest.h>

#include <sstream>

#include "DriverHost.h"
#include "PrinterSession.h"

using namespace session;

namespace {

enum TwinDispid : DISPID {
    kQuantity = 42,
    kPrice = 43,
    kDepartment = 44,
    kArticle = 45,
    kSale = 48,
    kTraceMask = 103,
    kRequestSession = 117,
    kRequestDepartment = 118,
    kUnitStatus = 195,
    kUnitUid = 196,
    kUnitInfo = 197,
    kUnitAnswer = 198,
    kUnitCrc = 199,
    kUnitPassword = 200,
    kUnitRegisterNumber = 202,
    kTaxAuthControlUnitStatus2 = 310,
    kTaxAuthControlUnitCRC2 = 311,
};

constexpr USHORT kCallFlowBit = 0x0008;
constexpr LONGLONG kUnit = 10000;

struct TwinPair {
    DISPID twin;
    DISPID main;
    const char* twinName;
    const char* mainName;
};

const TwinPair kControlUnitTwins[] = {
    {312, 205, "CmdTaxAuthControlUnitGetTime2", "CommandTaxAuthoritiesControlUnitGetTime"},
    {313, 206, "CmdTaxAuthControlUnitGetUID2", "CommandTaxAuthoritiesControlUnitGetUID"},
    {314, 209, "PrnTaxAuthControlUnitReport2", "PrintTaxAuthoritiesControlUnitReport"},
    {329, 203, "ReadTaxAuthControlUnitStatus2", "ReadTaxAuthoritiesControlUnitStatus"},
    {330, 204, "ReadTaxAuthControlUnitUID2", "ReadTaxAuthoritiesControlUnitUID"},
    {331, 208, "ReplaceTaxAuthControlUnit2", "ReplaceTaxAuthoritiesControlUnit"},
    {332, 207, "UnlockTaxAuthControlUnit2", "UnlockTaxAuthoritiesControlUnit"},
};

const TwinPair kRequestTwins[] = {
    {315, 164, "ReqOperNoncashPaymentsByFacil2", "RequestCashierNoncashPaymentsByFacility"},
    {316, 128, "ReqSessAccumulatedTotals2", "RequestSessionAccumulatedTotals"},
    {317, 125, "ReqSessCashSalesRefsByCurr2", "RequestSessionCashSalesRefundsByCurrency"},
    {318, 127, "ReqSessDiscountsSurcharges2", "RequestSessionDiscountsSurcharges"},
    {319, 130, "ReqSessElectronicJournalInfo2", "RequestSessionElectronicJournalInfo"},
    {320, 126, "ReqSessNoncashSalsRefsByFacil2", "RequestSessionNoncashSalesRefundsByFacility"},
    {321, 124, "ReqSessRefundsByDepartment2", "RequestSessionRefundsByDepartment"},
    {322, 123, "ReqSessSalesByDepartment2", "RequestSessionSalesByDepartment"},
    {323, 133, "ReqRcptCashPaymentsByCurrency2", "RequestReceiptCashPaymentsByCurrency"},
    {324, 137, "ReqRcptCollectedAmountsByCurr2", "RequestReceiptCollectedAmountsByCurrency"},
    {325, 135, "ReqRcptDiscountsSurcharges2", "RequestReceiptDiscountsSurcharges"},
    {326, 134, "ReqRcptNoncashPaymentsByFacil2", "RequestReceiptNoncashPaymentsByFacility"},
    {327, 132, "ReqtRcptRefundsByDepartment2", "RequestReceiptRefundsByDepartment"},
    {328, 131, "ReqtRcptSalesByDepartment2", "RequestReceiptSalesByDepartment"},
};

// Request results every request twin may fill: sales, refunds, non-cash, collected amounts,
// journal size, discounts, surcharges, accumulated, in currency, payments.
const DISPID kMoneyResults[] = {139, 141, 145, 146, 147, 148, 149, 153,
                                154, 155, 156, 157, 158, 161, 162};
constexpr DISPID kJournalSize = 152;

using Strings = std::vector<std::string>;

// The call-flow lines of the last call of `member`, from its "try" to its "done".
Strings LastCall(const std::string& trace, const std::string& member) {
    Strings lines;
    std::istringstream in(trace);
    std::string line;
    Strings current;
    bool inside = false;
    while (std::getline(in, line)) {
        if (line == "{stamp}CDrvKeltor::" + member + "() try...\r") {
            inside = true;
            current.clear();
        }
        if (inside) {
            current.push_back(line);
            if (line.rfind("{stamp}CDrvKeltor::" + member + "() done", 0) == 0) {
                inside = false;
                lines = current;
            }
        }
    }
    return lines;
}

class TwinTest : public PrinterSession {
  protected:
    void SetUp() override {
        PrinterSession::SetUp();
        if (!HasFatalFailure()) {
            printer_.SetReportTime(0);
            Connect();
        }
    }

    struct Effect {
        HRESULT hr;
        SHORT code;
        Strings requests;
    };
    Effect Call(DISPID method) {
        // A session request keeps the session the printer named; each call asks the current one.
        EXPECT_EQ(D().Put(kRequestSession, client::UI2(0)).hr, S_OK);
        printer_.ClearLog();
        const HRESULT hr = Result(method);
        return {hr, ResultCode(), Requests()};
    }
    // The main method and then its twin, on a printer that stays as it was.
    void ExpectSameAsMain(const TwinPair& pair) {
        const Effect main = Call(pair.main);
        const Effect twin = Call(pair.twin);
        EXPECT_EQ(twin.hr, main.hr) << pair.twinName;
        EXPECT_EQ(twin.code, main.code) << pair.twinName;
        EXPECT_FALSE(twin.requests.empty()) << pair.twinName;
        EXPECT_EQ(twin.requests, main.requests) << pair.twinName << ": " << Printable(twin.requests)
                                                << " vs " << Printable(main.requests);
    }
    std::string Text(DISPID dispid) { return client::Utf8(D().GetText(dispid)); }
};

TEST_F(TwinTest, ControlUnitTwinsSendWhatTheirMainMethodsSend) {
    PutText(kUnitPassword, "1234");
    PutText(kUnitRegisterNumber, "R77");
    for (const TwinPair& pair : kControlUnitTwins) {
        ExpectSameAsMain(pair);
    }
}

TEST_F(TwinTest, ControlUnitTwinsFillTheSameProperties) {
    // Main and twin against a unit that answers differently each time: the twin's answer shows.
    ASSERT_EQ(Result(206), S_OK);
    printer_.ChangeState([](emu::PrinterState& state) {
        state.identity.unitSerialNumber = "SK0000777";
        state.identity.unitRegisterNumber = "000999999";
        state.unit.lock = emu::UnitLock::AfterAuth;
    });
    ASSERT_EQ(Result(313), S_OK) << Description();
    EXPECT_EQ(Text(kUnitInfo), "SK0000777");
    EXPECT_EQ(Text(kUnitAnswer), "000999999");
    EXPECT_EQ(Text(kUnitUid), "000999999");
    EXPECT_EQ(D().GetUI2(kUnitStatus), 5);
    EXPECT_EQ(D().GetI4(kTaxAuthControlUnitStatus2), 5);
    EXPECT_EQ(D().GetI4(kTaxAuthControlUnitCRC2), D().GetUI2(kUnitCrc));

    printer_.ChangeState([](emu::PrinterState& state) {
        state.counters.session = 23;
        state.identity.unitRegisterNumber = "000111111";
    });
    ASSERT_EQ(Result(330), S_OK) << Description();
    EXPECT_EQ(D().GetUI2(kSessionNumber), 23);
    EXPECT_EQ(Text(kUnitUid), "000111111");
}

TEST_F(TwinTest, ATwinFailsAsItsMainMethodFails) {
    // No password: refused before anything is sent, by both.
    const Effect main = Call(208);
    const std::string mainDescription = Description();
    const Effect twin = Call(331);
    EXPECT_EQ(main.hr, static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(twin.hr, main.hr);
    EXPECT_EQ(twin.code, -9002);
    EXPECT_TRUE(twin.requests.empty()) << Printable(twin.requests);
    EXPECT_FALSE(mainDescription.empty());
    EXPECT_EQ(Description(), mainDescription);

    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 1;
    fault.command = "zi";
    fault.frames = 1;
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    const client::Call call = Run(314);
    EXPECT_EQ(Outcome(call), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(call.description, "ФБ: ошибка очередности вызова команд");
}

TEST_F(TwinTest, RequestTwinsSendWhatTheirMainRequestsSendAndReadTheSame) {
    ASSERT_EQ(Result(kOpenDay), S_OK);
    PutText(kArticle, "Хлеб");
    ASSERT_EQ(D().Put(kPrice, client::Cy(12 * kUnit)).hr, S_OK);
    ASSERT_EQ(D().Put(kQuantity, client::Cy(2 * kUnit)).hr, S_OK);
    ASSERT_EQ(D().Put(kDepartment, client::UI2(1)).hr, S_OK);
    ASSERT_EQ(Result(kSale), S_OK) << Description();
    ASSERT_EQ(D().Put(kRequestDepartment, client::UI2(1)).hr, S_OK);
    // The sale shows in some result, so that equal results are not merely untouched zeros.
    bool sawSale = false;
    for (const TwinPair& pair : kRequestTwins) {
        printer_.ClearLog();
        ExpectSameAsMain(pair);
        std::vector<LONGLONG> afterMain;
        Call(pair.main);
        for (DISPID result : kMoneyResults) {
            afterMain.push_back(D().GetCy(result));
        }
        const ULONG journalAfterMain = D().GetUI4(kJournalSize);
        Call(pair.twin);
        for (size_t i = 0; i < afterMain.size(); ++i) {
            EXPECT_EQ(D().GetCy(kMoneyResults[i]), afterMain[i])
                << pair.twinName << " DISPID " << kMoneyResults[i];
            sawSale = sawSale || afterMain[i] == 24 * kUnit;
        }
        EXPECT_EQ(D().GetUI4(kJournalSize), journalAfterMain) << pair.twinName;
    }
    EXPECT_TRUE(sawSale);
}

TEST_F(TwinTest, EachTwinTracesUnderItsOwnNameAndLeavesItsMainMethodsName) {
    ASSERT_EQ(D().Put(kTraceMask, client::UI2(kCallFlowBit)).hr, S_OK);
    std::vector<TwinPair> pairs(std::begin(kControlUnitTwins), std::end(kControlUnitTwins));
    pairs.insert(pairs.end(), std::begin(kRequestTwins), std::end(kRequestTwins));
    for (const TwinPair& pair : pairs) {
        Result(pair.twin);
        Result(pair.main);
    }
    const std::string trace = drivertest::MaskedCallFlow(work_.file("callflow.txt"));
    for (const TwinPair& pair : pairs) {
        const Strings twin = LastCall(trace, pair.twinName);
        ASSERT_GE(twin.size(), 2u) << pair.twinName << "\n" << trace;
        EXPECT_EQ(twin.back().rfind(
                      "{stamp}CDrvKeltor::" + std::string(pair.twinName) + "() done, res=", 0),
                  0u)
            << twin.back();
        for (const std::string& line : twin) {
            EXPECT_EQ(line.find(pair.mainName), std::string::npos) << pair.twinName << ": " << line;
        }
        // The main method called after its twin still traces as itself.
        EXPECT_GE(LastCall(trace, pair.mainName).size(), 2u) << pair.mainName;
    }
}

}  // namespace
