// Receipt requests through the component while documents are being built, restaurant orders,
// amounts the printer writes without decimals, and what every request leaves in its result
// properties when it fails: 0 after a failed command, the earlier values after a failed status
// refresh.
#include "TableRequestSession.h"

namespace tabletest {
namespace {

using Strings = std::vector<std::string>;
using Figures = std::vector<LONGLONG>;

constexpr LONGLONG Units(LONGLONG whole, LONGLONG hundredths = 0) {
    return whole * kUnit + hundredths * 100;
}

class ReceiptRequestTest : public TableRequestSession {
  protected:
    void Line(USHORT department, LONGLONG price, LONGLONG quantity) {
        PutNumber(kDepartment, department);
        PutText(kArticle, "Товар");
        PutMoney(kPrice, price);
        PutMoney(kQuantity, quantity);
        Run(kSale);
    }
    void Correct(DISPID method, LONGLONG amount) {
        PutMoney(kCorrectionAmount, amount);
        PutText(kCorrectionMnemo, "Поправка");
        Run(method);
    }
    void Pay(DISPID method, LONGLONG amount) {
        PutMoney(kAmount, amount);
        Run(method);
    }
    void PayUsd(LONGLONG dollars) {
        PutText(kAmountCurrency, "USD");
        PutMoney(kAmountCurrencyRate, Units(90));
        Pay(kPayCash, dollars);
        PutText(kAmountCurrency, "");
    }
    void Select(DISPID selector, USHORT value) { Put(selector, client::UI2(value)); }

    std::vector<LONGLONG> Amounts(DISPID method, const std::vector<DISPID>& dispids) {
        Run(method);
        EXPECT_EQ(ResultCode(), 0);
        std::vector<LONGLONG> amounts;
        for (const DISPID dispid : dispids) {
            amounts.push_back(Money(dispid));
        }
        return amounts;
    }

    // A sale of 25.00 (department 1), 100.00 less 5.00 (department 3) and 30.00 plus 2.00
    // (department 2), left open for the requests.
    void OpenSale() {
        PutNumber(kReceiptType, 1);
        Run(kOpenReceipt);
        Line(1, Units(12, 50), Units(2));
        Line(3, Units(100), Units(1));
        Correct(kDiscount, Units(5));
        Line(2, Units(30), Units(1));
        Correct(kSurcharge, Units(2));
    }
};

TEST_F(ReceiptRequestTest, TheReceiptBeingBuiltByDepartmentCorrectionAndPayment) {
    OpenSale();
    printer_.ClearLog();
    const std::pair<USHORT, LONGLONG> lines[] = {
        {1, Units(25)}, {2, Units(30)}, {3, Units(100)}, {4, 0}};
    for (const auto& [department, amount] : lines) {
        Select(kRequestDepartment, department);
        EXPECT_EQ(Amounts(kRequestReceiptSalesByDepartment, {kSalesAmount}), Figures{amount})
            << "department " << department;
        // A sale has no refund lines.
        EXPECT_EQ(Amounts(kRequestReceiptRefundsByDepartment, {kRefundsAmount}), Figures{0});
    }
    EXPECT_EQ(Amounts(kRequestReceiptDiscountsSurcharges, {kDiscountsAmount, kSurchargesAmount}),
              (Figures{Units(5), Units(2)}));
    EXPECT_EQ(Amounts(kRequestReceiptTotals, {kSalesAmount, kPaymentAmount}),
              (Figures{Units(152), 0}));
    // The receipt requests send no argument and need no status query in between.
    for (const std::string& request : Requests()) {
        EXPECT_EQ(request.size(), 2u) << receipttest::Printable({request});
    }

    Run(kCompleteReceipt);
    PutNumber(kNoncashType, 2);
    Pay(kPayNoncash, Units(20));
    PayUsd(Units(1));
    Pay(kPayCash, Units(50));
    EXPECT_EQ(Amounts(kRequestReceiptTotals, {kSalesAmount, kPaymentAmount}),
              (Figures{Units(152), Units(160)}));
    const std::vector<DISPID> cash = {kPaymentAmount, kPaymentAmountInCurrency};
    PutText(kRequestCurrency, "RUB");
    EXPECT_EQ(Amounts(kRequestReceiptCashPaymentsByCurrency, cash),
              (Figures{Units(50), Units(50)}));
    PutText(kRequestCurrency, "USD");
    EXPECT_EQ(Amounts(kRequestReceiptCashPaymentsByCurrency, cash), (Figures{Units(90), Units(1)}));
    PutText(kRequestCurrency, "EUR");
    EXPECT_EQ(Amounts(kRequestReceiptCashPaymentsByCurrency, cash), (Figures{0, 0}));
    Select(kRequestNoncashFacility, 2);
    EXPECT_EQ(Amounts(kRequestReceiptNoncashPaymentsByFacility, {kPaymentAmount}),
              Figures{Units(20)});
    Select(kRequestNoncashFacility, 1);
    EXPECT_EQ(Amounts(kRequestReceiptNoncashPaymentsByFacility, {kPaymentAmount}), Figures{0});
    Run(kCloseReceipt);
}

TEST_F(ReceiptRequestTest, ARefundShowsItsLinesAsRefunds) {
    PutNumber(kReceiptType, 2);
    Run(kOpenReceipt);
    Line(1, Units(12, 50), Units(1));
    Select(kRequestDepartment, 1);
    EXPECT_EQ(Amounts(kRequestReceiptRefundsByDepartment, {kRefundsAmount}),
              Figures{Units(12, 50)});
    EXPECT_EQ(Amounts(kRequestReceiptSalesByDepartment, {kSalesAmount}), Figures{0});
    // The printer gives a refund's figures negative.
    EXPECT_EQ(Amounts(kRequestReceiptTotals, {kSalesAmount, kPaymentAmount}),
              (Figures{-Units(12, 50), 0}));
    Run(kCompleteReceipt);
    Pay(kRepayCash, Units(12, 50));
    Run(kCloseReceipt);
}

TEST_F(ReceiptRequestTest, ACollectionDocumentShowsItsNetCash) {
    Pay(kCashIncome, Units(100));
    Pay(kCashOutcome, Units(30));
    PutText(kRequestCurrency, "RUB");
    EXPECT_EQ(Amounts(kRequestReceiptCollectedAmountsByCurrency, {kIncomeAmount}),
              Figures{Units(70)});
    PutText(kRequestCurrency, "USD");
    EXPECT_EQ(Amounts(kRequestReceiptCollectedAmountsByCurrency, {kIncomeAmount}), Figures{0});

    PutText(kRequestCurrency, "RUB");
    Run(kRequestReceiptCollectedAmountsByCurrency);
    FailNext("ki", 1);
    EXPECT_EQ(Outcome(D().Method(kRequestReceiptCollectedAmountsByCurrency)), Failure(-9201));
    EXPECT_EQ(Money(kIncomeAmount), 0);
    Run(kCloseReceipt);
}

TEST_F(ReceiptRequestTest, RestaurantOrdersOpenAndSettled) {
    PutNumber(kReceiptType, 20);
    PutText(kRestaurantOrder, "Стол 5");
    Run(kOpenReceipt);
    PutMoney(kRestaurantAmount, Units(45));
    Run(kCompleteReceipt);
    Run(kCloseReceipt);
    Select(kRequestSession, 0);
    printer_.ClearLog();
    Run(kRequestSessionRestaurantOrders);
    EXPECT_EQ(Requests(), Strings{"il"}) << receipttest::Printable(Requests());
    EXPECT_EQ(Money(kRestaurantOpenOrderAmount), Units(45));
    EXPECT_EQ(D().GetUI4(kRestaurantOpenOrderCount), 1u);
    EXPECT_EQ(Money(kRestaurantClosedOrderAmount), 0);
    EXPECT_EQ(D().GetUI4(kRestaurantClosedOrderCount), 0u);
    // The reply does not name the session: the selection stays as it was.
    EXPECT_EQ(D().GetUI2(kRequestSession), 0);

    PutNumber(kReceiptType, 21);
    PutText(kRestaurantOrder, "Стол 5");
    Run(kOpenReceipt);
    PutMoney(kRestaurantAmount, Units(45));
    Run(kCompleteReceipt);
    Pay(kPayCash, Units(45));
    Run(kCloseReceipt);
    Run(kRequestSessionRestaurantOrders);
    EXPECT_EQ(Money(kRestaurantOpenOrderAmount), 0);
    EXPECT_EQ(D().GetUI4(kRestaurantOpenOrderCount), 0u);
    EXPECT_EQ(Money(kRestaurantClosedOrderAmount), Units(45));
    EXPECT_EQ(D().GetUI4(kRestaurantClosedOrderCount), 1u);

    // A failure clears the two amounts only.
    FailNext("il", 1);
    EXPECT_EQ(Outcome(D().Method(kRequestSessionRestaurantOrders)), Failure(-9201));
    EXPECT_EQ(Money(kRestaurantClosedOrderAmount), 0);
    EXPECT_EQ(D().GetUI4(kRestaurantClosedOrderCount), 1u);
}

TEST_F(ReceiptRequestTest, AnAmountWithoutDecimalsCountsAsWholeUnits) {
    ASSERT_EQ(printer_.SetCurrencies({{1, "RUB", 0}, {2, "USD", 2}}, "RUB"), 0);
    Run(kReadCurrencyTable);
    PutNumber(kReceiptType, 1);
    Run(kOpenReceipt);
    Line(1, Units(7), Units(1));
    Select(kRequestDepartment, 1);
    printer_.ClearLog();
    EXPECT_EQ(Amounts(kRequestReceiptSalesByDepartment, {kSalesAmount}), Figures{70000});
    Run(kCompleteReceipt);
    Pay(kPayCash, Units(7));
    Run(kCloseReceipt);
    Select(kRequestSession, 0);
    EXPECT_EQ(Amounts(kRequestSessionSalesByDepartment, {kSalesAmount}), Figures{70000});
}

// ---- what a failure leaves ----

// A request, the command it sends and the result properties it clears first.
struct Cleared {
    DISPID method;
    const char* command;
    std::vector<DISPID> results;
};

class FailedRequestTest : public ReceiptRequestTest {
  protected:
    void SetUp() override {
        ReceiptRequestTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // A closed sale with a discount and a surcharge, paid by card, in USD and in cash, and
        // an open one paid likewise: every figure asked for below is not 0.
        OpenSale();
        Run(kCompleteReceipt);
        PutNumber(kNoncashType, 1);
        Pay(kPayNoncash, Units(20));
        PayUsd(Units(1));
        Pay(kPayCash, Units(50));
        Run(kCloseReceipt);
        PutNumber(kReceiptType, 2);
        Run(kOpenReceipt);
        Line(1, Units(12, 50), Units(1));
        Run(kCompleteReceipt);
        Pay(kRepayCash, Units(12, 50));
        Run(kCloseReceipt);
        OpenSale();
        Run(kCompleteReceipt);
        PutNumber(kNoncashType, 1);
        Pay(kPayNoncash, Units(20));
        PayUsd(Units(1));
        Select(kRequestDepartment, 1);
        Select(kRequestNoncashFacility, 1);
        PutText(kRequestCurrency, "USD");
        Select(kRequestSession, 0);
    }

    const std::vector<Cleared> requests_ = {
        {kRequestSessionDocumentCount,
         "in",
         {kDocumentNumber, kSalesCount, kRefundsCount, kDocumentsCount}},
        {kRequestSessionSalesByDepartment, "is", {kSalesAmount}},
        {kRequestSessionRefundsByDepartment, "ir", {kRefundsAmount}},
        {kRequestSessionCashSalesRefundsByCurrency, "ic", {kSalesAmount, kSalesAmountInCurrency}},
        {kRequestSessionNoncashSalesRefundsByFacility, "ip", {kSalesAmount}},
        {kRequestSessionDiscountsSurcharges, "ix", {kDiscountsAmount, kSurchargesAmount}},
        {kRequestSessionAccumulatedTotals,
         "ig",
         {kAccumulatedSalesAmount, kAccumulatedRefundsAmount}},
        {kRequestSessionCollectedAmounts, "ii", {kCollectedAmount}},
        {kRequestReceiptSalesByDepartment, "ks", {kSalesAmount}},
        {kRequestReceiptCashPaymentsByCurrency, "kc", {kPaymentAmount, kPaymentAmountInCurrency}},
        {kRequestReceiptNoncashPaymentsByFacility, "kp", {kPaymentAmount}},
        {kRequestReceiptDiscountsSurcharges, "kx", {kDiscountsAmount, kSurchargesAmount}},
        {kRequestReceiptTotals, "kg", {kSalesAmount, kPaymentAmount}},
        {kRequestCashierCollectedAmounts, "wc", {kCollectedAmount}},
        {kRequestCashierNoncashPaymentsByFacility, "wp", {kPaymentAmount}},
    };

    // The value of a result property, whatever its type.
    LONGLONG Value(DISPID dispid) {
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
        for (const DISPID result : request.results) {
            ASSERT_NE(Value(result), 0) << request.command << ": DISPID " << result;
        }
        FailNext(request.command, 4);
        EXPECT_EQ(Outcome(D().Method(request.method)), Failure(-9204)) << request.command;
        EXPECT_EQ(ResultCode(), -9204);
        for (const DISPID result : request.results) {
            EXPECT_EQ(Value(result), 0) << request.command << ": DISPID " << result;
        }
    }
}

TEST_F(FailedRequestTest, ARequestMatchingNoRowClearsItsResultsAndSucceeds) {
    Run(kRequestSessionCashSalesRefundsByCurrency);
    ASSERT_NE(Money(kSalesAmount), 0);
    PutText(kRequestCurrency, "usd");
    Run(kRequestSessionCashSalesRefundsByCurrency);
    EXPECT_EQ(ResultCode(), 0);
    EXPECT_EQ(Money(kSalesAmount), 0);
    EXPECT_EQ(Money(kSalesAmountInCurrency), 0);

    Run(kRequestCashierNoncashPaymentsByFacility);
    ASSERT_NE(Money(kPaymentAmount), 0);
    Select(kRequestNoncashFacility, 7);
    Run(kRequestCashierNoncashPaymentsByFacility);
    EXPECT_EQ(Money(kPaymentAmount), 0);
}

TEST_F(FailedRequestTest, SessionDatesOfAFailedRequestAreNoDate) {
    Run(kRequestSessionDateTime);
    ASSERT_GT(Date(kSessionStartDate), 0);
    FailNext("it", 1);
    EXPECT_EQ(Outcome(D().Method(kRequestSessionDateTime)), Failure(-9201));
    EXPECT_EQ(Date(kSessionStartDate), 0);
    EXPECT_EQ(Date(kSessionEndtDate), 0);
}

TEST_F(FailedRequestTest, AFailedJournalRequestClearsOnlyTheChecksum) {
    Select(kRequestSession, 0);
    Run(kRequestSessionElectronicJournalInfo);
    const ULONG size = D().GetUI4(kElectronicJournalSize);
    ASSERT_GT(size, 0u);
    Put(kElectronicJournalCRC, client::UI4(77));
    FailNext("ij", 1);
    EXPECT_EQ(Outcome(D().Method(kRequestSessionElectronicJournalInfo)), Failure(-9201));
    EXPECT_EQ(D().GetUI4(kElectronicJournalCRC), 0u);
    EXPECT_EQ(D().GetUI4(kElectronicJournalSize), size);
}

TEST_F(FailedRequestTest, AFailedStatusRefreshSendsNothingAndKeepsTheResults) {
    Run(kRequestReceiptDiscountsSurcharges);
    ASSERT_EQ(Money(kDiscountsAmount), Units(5));
    Run(kRequestReceiptTotals);
    ASSERT_EQ(Money(kSalesAmount), Units(152));
    // An unanswered request leaves the object without a reply, so the next one asks "gs"
    // first; with the printer off that fails, and the request itself is never sent.
    printer_.Stop();
    EXPECT_NE(Outcome(D().Method(kRequestReceiptTotals)), S_OK);
    EXPECT_EQ(Money(kSalesAmount), 0);
    const SHORT lost = ResultCode();
    EXPECT_LT(lost, 0);
    ASSERT_EQ(printer_.Start(), 0);
    printer_.ClearLog();
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    silence.command = "gs";
    ASSERT_EQ(printer_.InjectFault(silence), 0);
    EXPECT_NE(Outcome(D().Method(kRequestReceiptDiscountsSurcharges)), S_OK);
    EXPECT_LT(ResultCode(), 0);
    EXPECT_EQ(Money(kDiscountsAmount), Units(5));
    EXPECT_EQ(Money(kSurchargesAmount), Units(2));
    // Only status queries: the failed one and the description's look at the blocked bit.
    const Strings codes = FrameCodes();
    ASSERT_FALSE(codes.empty());
    for (const std::string& code : codes) {
        EXPECT_EQ(code, "gs");
    }
}

}  // namespace
}  // namespace tabletest
