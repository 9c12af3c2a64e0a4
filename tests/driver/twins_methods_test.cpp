// The short-named twin methods through the component: each sends what its main method sends,
// ends with the same result and outputs, and writes its call-flow lines under its own name.
#include <gtest/gtest.h>

#include <sstream>

#include "DriverHost.h"
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

constexpr USHORT kCallFlowBit = 0x0008;

struct TwinPair {
    Member twin;
    Member main;
};

const TwinPair kControlUnitTwins[] = {
    {member::CmdTaxAuthControlUnitGetTime2, member::CommandTaxAuthoritiesControlUnitGetTime},
    {member::CmdTaxAuthControlUnitGetUID2, member::CommandTaxAuthoritiesControlUnitGetUID},
    {member::PrnTaxAuthControlUnitReport2, member::PrintTaxAuthoritiesControlUnitReport},
    {member::ReadTaxAuthControlUnitStatus2, member::ReadTaxAuthoritiesControlUnitStatus},
    {member::ReadTaxAuthControlUnitUID2, member::ReadTaxAuthoritiesControlUnitUID},
    {member::ReplaceTaxAuthControlUnit2, member::ReplaceTaxAuthoritiesControlUnit},
    {member::UnlockTaxAuthControlUnit2, member::UnlockTaxAuthoritiesControlUnit},
};

const TwinPair kRequestTwins[] = {
    {member::ReqOperNoncashPaymentsByFacil2, member::RequestCashierNoncashPaymentsByFacility},
    {member::ReqSessAccumulatedTotals2, member::RequestSessionAccumulatedTotals},
    {member::ReqSessCashSalesRefsByCurr2, member::RequestSessionCashSalesRefundsByCurrency},
    {member::ReqSessDiscountsSurcharges2, member::RequestSessionDiscountsSurcharges},
    {member::ReqSessElectronicJournalInfo2, member::RequestSessionElectronicJournalInfo},
    {member::ReqSessNoncashSalsRefsByFacil2, member::RequestSessionNoncashSalesRefundsByFacility},
    {member::ReqSessRefundsByDepartment2, member::RequestSessionRefundsByDepartment},
    {member::ReqSessSalesByDepartment2, member::RequestSessionSalesByDepartment},
    {member::ReqRcptCashPaymentsByCurrency2, member::RequestReceiptCashPaymentsByCurrency},
    {member::ReqRcptCollectedAmountsByCurr2, member::RequestReceiptCollectedAmountsByCurrency},
    {member::ReqRcptDiscountsSurcharges2, member::RequestReceiptDiscountsSurcharges},
    {member::ReqRcptNoncashPaymentsByFacil2, member::RequestReceiptNoncashPaymentsByFacility},
    {member::ReqtRcptRefundsByDepartment2, member::RequestReceiptRefundsByDepartment},
    {member::ReqtRcptSalesByDepartment2, member::RequestReceiptSalesByDepartment},
};

// Request results every request twin may fill: sales, refunds, non-cash, collected amounts,
// journal size, discounts, surcharges, accumulated, in currency, payments.
const Member kMoneyResults[] = {member::SalesAmount,
                                member::RefundsAmount,
                                member::NoncashAmount,
                                member::IncomeAmount,
                                member::OutcomeAmount,
                                member::CollectedAmount,
                                member::PreviousCollectedAmount,
                                member::DiscountsAmount,
                                member::SurchargesAmount,
                                member::AccumulatedSalesAmount,
                                member::AccumulatedRefundsAmount,
                                member::SalesAmountInCurrency,
                                member::RefundsAmountInCurrency,
                                member::PaymentAmount,
                                member::PaymentAmountInCurrency};

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
    void Arrange() override {
        printer_.SetReportTime(0);
        Connect();
    }

    struct Effect {
        HRESULT hr;
        SHORT code;
        Strings requests;
    };
    Effect Observe(Member method) {
        // A session request keeps the session the printer named; each call asks the current one.
        EXPECT_EQ(D().Put(member::RequestSession, client::UI2(0)).hr, S_OK);
        printer_.ClearLog();
        const HRESULT hr = Result(method);
        return {hr, ResultCode(), Requests()};
    }
    // The main method and then its twin, on a printer that stays as it was.
    void ExpectSameAsMain(const TwinPair& pair) {
        const Effect main = Observe(pair.main);
        const Effect twin = Observe(pair.twin);
        EXPECT_EQ(twin.hr, main.hr) << pair.twin.name;
        EXPECT_EQ(twin.code, main.code) << pair.twin.name;
        EXPECT_FALSE(twin.requests.empty()) << pair.twin.name;
        EXPECT_EQ(twin.requests, main.requests)
            << pair.twin.name << ": " << Printable(twin.requests) << " vs "
            << Printable(main.requests);
    }
};

TEST_F(TwinTest, ControlUnitTwinsSendWhatTheirMainMethodsSend) {
    PutText(member::TaxAuthoritiesControlUnitPassword, "1234");
    PutText(member::TaxAuthoritiesControlUnitRegisterNumber, "R77");
    for (const TwinPair& pair : kControlUnitTwins) {
        ExpectSameAsMain(pair);
    }
}

TEST_F(TwinTest, ControlUnitTwinsFillTheSameProperties) {
    // Main and twin against a unit that answers differently each time: the twin's answer shows.
    ASSERT_EQ(Result(member::CommandTaxAuthoritiesControlUnitGetUID), S_OK);
    printer_.ChangeState([](emu::PrinterState& state) {
        state.identity.unitSerialNumber = "SK0000777";
        state.identity.unitRegisterNumber = "000999999";
        state.unit.lock = emu::UnitLock::AfterAuth;
    });
    ASSERT_EQ(Result(member::CmdTaxAuthControlUnitGetUID2), S_OK) << Description();
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitInfo), "SK0000777");
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitAnswer), "000999999");
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID), "000999999");
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitStatus), 5);
    EXPECT_EQ(D().GetI4(member::TaxAuthControlUnitStatus2), 5);
    EXPECT_EQ(D().GetI4(member::TaxAuthControlUnitCRC2),
              D().GetUI2(member::TaxAuthoritiesControlUnitCRC));

    printer_.ChangeState([](emu::PrinterState& state) {
        state.counters.session = 23;
        state.identity.unitRegisterNumber = "000111111";
    });
    ASSERT_EQ(Result(member::ReadTaxAuthControlUnitUID2), S_OK) << Description();
    EXPECT_EQ(D().GetUI2(member::SessionNumber), 23);
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID), "000111111");
}

TEST_F(TwinTest, ATwinFailsAsItsMainMethodFails) {
    // No password: refused before anything is sent, by both.
    const Effect main = Observe(member::ReplaceTaxAuthoritiesControlUnit);
    const std::string mainDescription = Description();
    const Effect twin = Observe(member::ReplaceTaxAuthControlUnit2);
    EXPECT_EQ(main.hr, static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(twin.hr, main.hr);
    EXPECT_EQ(twin.code, -9002);
    EXPECT_TRUE(twin.requests.empty()) << Printable(twin.requests);
    EXPECT_FALSE(mainDescription.empty());
    EXPECT_EQ(Description(), mainDescription);

    FailNext("zi", 1);
    const Call call = D().Method(member::PrnTaxAuthControlUnitReport2);
    EXPECT_EQ(Outcome(call), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(call.description, "ФБ: ошибка очередности вызова команд");
}

TEST_F(TwinTest, RequestTwinsSendWhatTheirMainRequestsSendAndReadTheSame) {
    ASSERT_EQ(Result(member::OpenDay), S_OK);
    PutText(member::Article, "Хлеб");
    Put(member::Price, Cy(12 * kUnit));
    Put(member::Quantity, Cy(2 * kUnit));
    Put(member::Department, UI2(1));
    ASSERT_EQ(Result(member::Sale), S_OK) << Description();
    Put(member::RequestDepartment, UI2(1));
    // The sale shows in some result, so that equal results are not merely untouched zeros.
    bool sawSale = false;
    for (const TwinPair& pair : kRequestTwins) {
        printer_.ClearLog();
        ExpectSameAsMain(pair);
        std::vector<LONGLONG> afterMain;
        Observe(pair.main);
        for (Member result : kMoneyResults) {
            afterMain.push_back(D().GetCy(result));
        }
        const ULONG journalAfterMain = D().GetUI4(member::ElectronicJournalSize);
        Observe(pair.twin);
        for (size_t i = 0; i < afterMain.size(); ++i) {
            EXPECT_EQ(D().GetCy(kMoneyResults[i]), afterMain[i])
                << pair.twin.name << " " << kMoneyResults[i].name;
            sawSale = sawSale || afterMain[i] == 24 * kUnit;
        }
        EXPECT_EQ(D().GetUI4(member::ElectronicJournalSize), journalAfterMain) << pair.twin.name;
    }
    EXPECT_TRUE(sawSale);
}

TEST_F(TwinTest, EachTwinTracesUnderItsOwnNameAndLeavesItsMainMethodsName) {
    Put(member::TraceMask, UI2(kCallFlowBit));
    std::vector<TwinPair> pairs(std::begin(kControlUnitTwins), std::end(kControlUnitTwins));
    pairs.insert(pairs.end(), std::begin(kRequestTwins), std::end(kRequestTwins));
    for (const TwinPair& pair : pairs) {
        Result(pair.twin);
        Result(pair.main);
    }
    const std::string trace = drivertest::MaskedCallFlow(work_.file("callflow.txt"));
    for (const TwinPair& pair : pairs) {
        const Strings twin = LastCall(trace, pair.twin.name);
        ASSERT_GE(twin.size(), 2u) << pair.twin.name << "\n" << trace;
        EXPECT_EQ(twin.back().rfind(
                      "{stamp}CDrvKeltor::" + std::string(pair.twin.name) + "() done, res=", 0),
                  0u)
            << twin.back();
        for (const std::string& line : twin) {
            EXPECT_EQ(line.find(pair.main.name), std::string::npos)
                << pair.twin.name << ": " << line;
        }
        // The main method called after its twin still traces as itself.
        EXPECT_GE(LastCall(trace, pair.main.name).size(), 2u) << pair.main.name;
    }
}

}  // namespace
