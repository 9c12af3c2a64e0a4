// Receipt requests through the component while documents are being built, restaurant orders,
// amounts the printer writes without decimals, and what every request leaves in its result
// properties when it fails: 0 after a failed command, the earlier values after a failed status
// refresh.
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

using Figures = std::vector<LONGLONG>;

constexpr LONGLONG Units(LONGLONG whole, LONGLONG hundredths = 0) {
    return whole * kUnit + hundredths * 100;
}

class ReceiptRequestTest : public ConnectedSession {
  protected:
    void Line(USHORT department, LONGLONG price, LONGLONG quantity) {
        PutNumber(member::Department, department);
        PutText(member::Article, "Товар");
        PutMoney(member::Price, price);
        PutMoney(member::Quantity, quantity);
        Run(member::Sale);
    }
    void Correct(Member method, LONGLONG amount) {
        PutMoney(member::CorrectionAmount, amount);
        PutText(member::CorrectionMnemo, "Поправка");
        Run(method);
    }
    void Pay(Member method, LONGLONG amount) {
        PutMoney(member::Amount, amount);
        Run(method);
    }
    void PayUsd(LONGLONG dollars) {
        PutText(member::AmountCurrency, "USD");
        PutMoney(member::AmountCurrencyRate, Units(90));
        Pay(member::PayCash, dollars);
        PutText(member::AmountCurrency, "");
    }
    // A sale of 25.00 (department 1), 100.00 less 5.00 (department 3) and 30.00 plus 2.00
    // (department 2), left open for the requests.
    void OpenSale() {
        PutNumber(member::ReceiptType, 1);
        Run(member::OpenReceipt);
        Line(1, Units(12, 50), Units(2));
        Line(3, Units(100), Units(1));
        Correct(member::Discount, Units(5));
        Line(2, Units(30), Units(1));
        Correct(member::Surcharge, Units(2));
    }
};

TEST_F(ReceiptRequestTest, TheReceiptBeingBuiltByDepartmentCorrectionAndPayment) {
    OpenSale();
    printer_.ClearLog();
    const std::pair<USHORT, LONGLONG> lines[] = {
        {1, Units(25)}, {2, Units(30)}, {3, Units(100)}, {4, 0}};
    for (const auto& [department, amount] : lines) {
        PutNumber(member::RequestDepartment, department);
        EXPECT_EQ(Amounts(member::RequestReceiptSalesByDepartment, {member::SalesAmount}),
                  Figures{amount})
            << "department " << department;
        // A sale has no refund lines.
        EXPECT_EQ(Amounts(member::RequestReceiptRefundsByDepartment, {member::RefundsAmount}),
                  Figures{0});
    }
    EXPECT_EQ(Amounts(member::RequestReceiptDiscountsSurcharges,
                      {member::DiscountsAmount, member::SurchargesAmount}),
              (Figures{Units(5), Units(2)}));
    EXPECT_EQ(Amounts(member::RequestReceiptTotals, {member::SalesAmount, member::PaymentAmount}),
              (Figures{Units(152), 0}));
    // The receipt requests send no argument and need no status query in between.
    for (const std::string& request : Requests()) {
        EXPECT_EQ(request.size(), 2u) << Printable({request});
    }

    Run(member::CompleteReceipt);
    PutNumber(member::NoncashType, 2);
    Pay(member::PayNoncash, Units(20));
    PayUsd(Units(1));
    Pay(member::PayCash, Units(50));
    EXPECT_EQ(Amounts(member::RequestReceiptTotals, {member::SalesAmount, member::PaymentAmount}),
              (Figures{Units(152), Units(160)}));
    const std::vector<Member> cash = {member::PaymentAmount, member::PaymentAmountInCurrency};
    PutText(member::RequestCurrency, "RUB");
    EXPECT_EQ(Amounts(member::RequestReceiptCashPaymentsByCurrency, cash),
              (Figures{Units(50), Units(50)}));
    PutText(member::RequestCurrency, "USD");
    EXPECT_EQ(Amounts(member::RequestReceiptCashPaymentsByCurrency, cash),
              (Figures{Units(90), Units(1)}));
    PutText(member::RequestCurrency, "EUR");
    EXPECT_EQ(Amounts(member::RequestReceiptCashPaymentsByCurrency, cash), (Figures{0, 0}));
    PutNumber(member::RequestNoncashFacility, 2);
    EXPECT_EQ(Amounts(member::RequestReceiptNoncashPaymentsByFacility, {member::PaymentAmount}),
              Figures{Units(20)});
    PutNumber(member::RequestNoncashFacility, 1);
    EXPECT_EQ(Amounts(member::RequestReceiptNoncashPaymentsByFacility, {member::PaymentAmount}),
              Figures{0});
    Run(member::CloseReceipt);
}

TEST_F(ReceiptRequestTest, ARefundShowsItsLinesAsRefunds) {
    PutNumber(member::ReceiptType, 2);
    Run(member::OpenReceipt);
    Line(1, Units(12, 50), Units(1));
    PutNumber(member::RequestDepartment, 1);
    EXPECT_EQ(Amounts(member::RequestReceiptRefundsByDepartment, {member::RefundsAmount}),
              Figures{Units(12, 50)});
    EXPECT_EQ(Amounts(member::RequestReceiptSalesByDepartment, {member::SalesAmount}), Figures{0});
    // The printer gives a refund's figures negative.
    EXPECT_EQ(Amounts(member::RequestReceiptTotals, {member::SalesAmount, member::PaymentAmount}),
              (Figures{-Units(12, 50), 0}));
    Run(member::CompleteReceipt);
    Pay(member::RepayCash, Units(12, 50));
    Run(member::CloseReceipt);
}

TEST_F(ReceiptRequestTest, ACollectionDocumentShowsItsNetCash) {
    Pay(member::CashIncome, Units(100));
    Pay(member::CashOutcome, Units(30));
    PutText(member::RequestCurrency, "RUB");
    EXPECT_EQ(Amounts(member::RequestReceiptCollectedAmountsByCurrency, {member::IncomeAmount}),
              Figures{Units(70)});
    PutText(member::RequestCurrency, "USD");
    EXPECT_EQ(Amounts(member::RequestReceiptCollectedAmountsByCurrency, {member::IncomeAmount}),
              Figures{0});

    PutText(member::RequestCurrency, "RUB");
    Run(member::RequestReceiptCollectedAmountsByCurrency);
    FailNext("ki", 1);
    EXPECT_EQ(Outcome(D().Method(member::RequestReceiptCollectedAmountsByCurrency)),
              Failure(-9201));
    EXPECT_EQ(MoneyOf(member::IncomeAmount), 0);
    Run(member::CloseReceipt);
}

TEST_F(ReceiptRequestTest, RestaurantOrdersOpenAndSettled) {
    PutNumber(member::ReceiptType, 20);
    PutText(member::RestaurantOrder, "Стол 5");
    Run(member::OpenReceipt);
    PutMoney(member::RestaurantAmount, Units(45));
    Run(member::CompleteReceipt);
    Run(member::CloseReceipt);
    PutNumber(member::RequestSession, 0);
    printer_.ClearLog();
    Run(member::RequestSessionRestaurantOrders);
    EXPECT_EQ(Requests(), Strings{"il"}) << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::RestaurantOpenOrderAmount), Units(45));
    EXPECT_EQ(D().GetUI4(member::RestaurantOpenOrderCount), 1u);
    EXPECT_EQ(MoneyOf(member::RestaurantClosedOrderAmount), 0);
    EXPECT_EQ(D().GetUI4(member::RestaurantClosedOrderCount), 0u);
    // The reply does not name the session: the selection stays as it was.
    EXPECT_EQ(D().GetUI2(member::RequestSession), 0);

    PutNumber(member::ReceiptType, 21);
    PutText(member::RestaurantOrder, "Стол 5");
    Run(member::OpenReceipt);
    PutMoney(member::RestaurantAmount, Units(45));
    Run(member::CompleteReceipt);
    Pay(member::PayCash, Units(45));
    Run(member::CloseReceipt);
    Run(member::RequestSessionRestaurantOrders);
    EXPECT_EQ(MoneyOf(member::RestaurantOpenOrderAmount), 0);
    EXPECT_EQ(D().GetUI4(member::RestaurantOpenOrderCount), 0u);
    EXPECT_EQ(MoneyOf(member::RestaurantClosedOrderAmount), Units(45));
    EXPECT_EQ(D().GetUI4(member::RestaurantClosedOrderCount), 1u);

    // A failure clears the two amounts only.
    FailNext("il", 1);
    EXPECT_EQ(Outcome(D().Method(member::RequestSessionRestaurantOrders)), Failure(-9201));
    EXPECT_EQ(MoneyOf(member::RestaurantClosedOrderAmount), 0);
    EXPECT_EQ(D().GetUI4(member::RestaurantClosedOrderCount), 1u);
}

TEST_F(ReceiptRequestTest, AnAmountWithoutDecimalsCountsAsWholeUnits) {
    ASSERT_EQ(printer_.SetCurrencies({{1, "RUB", 0}, {2, "USD", 2}}, "RUB"), 0);
    Run(member::ReadCurrencyTable);
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);
    Line(1, Units(7), Units(1));
    PutNumber(member::RequestDepartment, 1);
    printer_.ClearLog();
    EXPECT_EQ(Amounts(member::RequestReceiptSalesByDepartment, {member::SalesAmount}),
              Figures{70000});
    Run(member::CompleteReceipt);
    Pay(member::PayCash, Units(7));
    Run(member::CloseReceipt);
    PutNumber(member::RequestSession, 0);
    EXPECT_EQ(Amounts(member::RequestSessionSalesByDepartment, {member::SalesAmount}),
              Figures{70000});
}

// ---- what a failure leaves ----

// A request, the command it sends and the result properties it clears first.
struct Cleared {
    Member method;
    const char* command;
    std::vector<Member> results;
};

class FailedRequestTest : public ReceiptRequestTest {
  protected:
    void Arrange() override {
        // A closed sale with a discount and a surcharge, paid by card, in USD and in cash, and
        // an open one paid likewise: every figure asked for below is not 0.
        OpenSale();
        Run(member::CompleteReceipt);
        PutNumber(member::NoncashType, 1);
        Pay(member::PayNoncash, Units(20));
        PayUsd(Units(1));
        Pay(member::PayCash, Units(50));
        Run(member::CloseReceipt);
        PutNumber(member::ReceiptType, 2);
        Run(member::OpenReceipt);
        Line(1, Units(12, 50), Units(1));
        Run(member::CompleteReceipt);
        Pay(member::RepayCash, Units(12, 50));
        Run(member::CloseReceipt);
        OpenSale();
        Run(member::CompleteReceipt);
        PutNumber(member::NoncashType, 1);
        Pay(member::PayNoncash, Units(20));
        PayUsd(Units(1));
        PutNumber(member::RequestDepartment, 1);
        PutNumber(member::RequestNoncashFacility, 1);
        PutText(member::RequestCurrency, "USD");
        PutNumber(member::RequestSession, 0);
    }

    const std::vector<Cleared> requests_ = {
        {member::RequestSessionDocumentCount,
         "in",
         {member::DocumentNumber, member::SalesCount, member::RefundsCount,
          member::DocumentsCount}},
        {member::RequestSessionSalesByDepartment, "is", {member::SalesAmount}},
        {member::RequestSessionRefundsByDepartment, "ir", {member::RefundsAmount}},
        {member::RequestSessionCashSalesRefundsByCurrency,
         "ic",
         {member::SalesAmount, member::SalesAmountInCurrency}},
        {member::RequestSessionNoncashSalesRefundsByFacility, "ip", {member::SalesAmount}},
        {member::RequestSessionDiscountsSurcharges,
         "ix",
         {member::DiscountsAmount, member::SurchargesAmount}},
        {member::RequestSessionAccumulatedTotals,
         "ig",
         {member::AccumulatedSalesAmount, member::AccumulatedRefundsAmount}},
        {member::RequestSessionCollectedAmounts, "ii", {member::CollectedAmount}},
        {member::RequestReceiptSalesByDepartment, "ks", {member::SalesAmount}},
        {member::RequestReceiptCashPaymentsByCurrency,
         "kc",
         {member::PaymentAmount, member::PaymentAmountInCurrency}},
        {member::RequestReceiptNoncashPaymentsByFacility, "kp", {member::PaymentAmount}},
        {member::RequestReceiptDiscountsSurcharges,
         "kx",
         {member::DiscountsAmount, member::SurchargesAmount}},
        {member::RequestReceiptTotals, "kg", {member::SalesAmount, member::PaymentAmount}},
        {member::RequestCashierCollectedAmounts, "wc", {member::CollectedAmount}},
        {member::RequestCashierNoncashPaymentsByFacility, "wp", {member::PaymentAmount}},
    };

    // The value of a result property, whatever its type.
    LONGLONG Value(Member dispid) {
        VARIANT value;
        VariantInit(&value);
        EXPECT_EQ(D().Get(dispid, &value).hr, S_OK);
        const LONGLONG result = value.vt == VT_CY ? value.cyVal.int64 : value.ulVal;
        VariantClear(&value);
        return result;
    }
};

TEST_F(FailedRequestTest, AFailedCommandLeavesItsResultsAtZero) {
    for (const Cleared& request : requests_) {
        Run(request.method);
        for (const Member result : request.results) {
            ASSERT_NE(Value(result), 0) << request.command << ": Member " << result;
        }
        FailNext(request.command, 4);
        EXPECT_EQ(Outcome(D().Method(request.method)), Failure(-9204)) << request.command;
        EXPECT_EQ(ResultCode(), -9204);
        for (const Member result : request.results) {
            EXPECT_EQ(Value(result), 0) << request.command << ": Member " << result;
        }
    }
}

TEST_F(FailedRequestTest, ARequestMatchingNoRowClearsItsResultsAndSucceeds) {
    Run(member::RequestSessionCashSalesRefundsByCurrency);
    ASSERT_NE(MoneyOf(member::SalesAmount), 0);
    PutText(member::RequestCurrency, "usd");
    Run(member::RequestSessionCashSalesRefundsByCurrency);
    EXPECT_EQ(ResultCode(), 0);
    EXPECT_EQ(MoneyOf(member::SalesAmount), 0);
    EXPECT_EQ(MoneyOf(member::SalesAmountInCurrency), 0);

    Run(member::RequestCashierNoncashPaymentsByFacility);
    ASSERT_NE(MoneyOf(member::PaymentAmount), 0);
    PutNumber(member::RequestNoncashFacility, 7);
    Run(member::RequestCashierNoncashPaymentsByFacility);
    EXPECT_EQ(MoneyOf(member::PaymentAmount), 0);
}

TEST_F(FailedRequestTest, SessionDatesOfAFailedRequestAreNoDate) {
    Run(member::RequestSessionDateTime);
    ASSERT_GT(DateOf(member::SessionStartDate), 0);
    FailNext("it", 1);
    EXPECT_EQ(Outcome(D().Method(member::RequestSessionDateTime)), Failure(-9201));
    EXPECT_EQ(DateOf(member::SessionStartDate), 0);
    EXPECT_EQ(DateOf(member::SessionEndtDate), 0);
}

TEST_F(FailedRequestTest, AFailedJournalRequestClearsOnlyTheChecksum) {
    PutNumber(member::RequestSession, 0);
    Run(member::RequestSessionElectronicJournalInfo);
    const ULONG size = D().GetUI4(member::ElectronicJournalSize);
    ASSERT_GT(size, 0u);
    Put(member::ElectronicJournalCRC, client::UI4(77));
    FailNext("ij", 1);
    EXPECT_EQ(Outcome(D().Method(member::RequestSessionElectronicJournalInfo)), Failure(-9201));
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalCRC), 0u);
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalSize), size);
}

TEST_F(FailedRequestTest, AFailedStatusRefreshSendsNothingAndKeepsTheResults) {
    Run(member::RequestReceiptDiscountsSurcharges);
    ASSERT_EQ(MoneyOf(member::DiscountsAmount), Units(5));
    Run(member::RequestReceiptTotals);
    ASSERT_EQ(MoneyOf(member::SalesAmount), Units(152));
    // An unanswered request leaves the object without a reply, so the next one asks "gs"
    // first; with the printer off that fails, and the request itself is never sent.
    printer_.Stop();
    EXPECT_NE(Outcome(D().Method(member::RequestReceiptTotals)), S_OK);
    EXPECT_EQ(MoneyOf(member::SalesAmount), 0);
    const SHORT lost = ResultCode();
    EXPECT_LT(lost, 0);
    ASSERT_EQ(printer_.Start(), 0);
    printer_.ClearLog();
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    silence.command = "gs";
    ASSERT_EQ(printer_.InjectFault(silence), 0);
    EXPECT_NE(Outcome(D().Method(member::RequestReceiptDiscountsSurcharges)), S_OK);
    EXPECT_LT(ResultCode(), 0);
    EXPECT_EQ(MoneyOf(member::DiscountsAmount), Units(5));
    EXPECT_EQ(MoneyOf(member::SurchargesAmount), Units(2));
    // Only status queries: the failed one and the description's look at the blocked bit.
    const Strings codes = FrameCodes();
    ASSERT_FALSE(codes.empty());
    for (const std::string& code : codes) {
        EXPECT_EQ(code, "gs");
    }
}

}  // namespace
