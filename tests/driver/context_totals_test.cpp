// The receipt context through the component: Subtotal, Debt and Change from the driver's own
// running total before the total and from the printer's after it, negative for refunds and
// annulments, and the context of a receipt left open rebuilt by Connect.
#include "ReceiptSession.h"

namespace receipttest {
namespace {

using testsupport::Cp1251;

class TotalsTest : public ReceiptSession {
  protected:
    void SetUp() override {
        ReceiptSession::SetUp();
        if (!HasFatalFailure()) {
            Connect();
        }
    }

    void Sell(LONGLONG price) {
        PutText(kArticle, "Хлеб");
        PutMoney(kPrice, price);
        PutMoney(kQuantity, kUnit);
        Run(kSale);
    }

    void ExpectTotals(LONGLONG subtotal, LONGLONG debt, LONGLONG change) {
        EXPECT_EQ(Money(kSubtotal), subtotal);
        EXPECT_EQ(Money(kDebt), debt);
        EXPECT_EQ(Money(kChange), change);
    }
};

TEST_F(TotalsTest, SaleReceiptOwesItsLinesUntilPaid) {
    PutNumber(kReceiptType, 1);
    Run(kOpenReceipt);
    Sell(6 * kUnit);
    Sell(4 * kUnit);
    ExpectTotals(10 * kUnit, 10 * kUnit, 0);
    Run(kCompleteReceipt);
    ExpectTotals(10 * kUnit, 10 * kUnit, 0);
    PutMoney(kAmount, 125000);
    Run(kPayCash);
    ExpectTotals(10 * kUnit, 0, 25000);
}

TEST_F(TotalsTest, RefundTotalsAreNegativeAndWhatItOwesShowsAsChange) {
    PutNumber(kReceiptType, 2);
    Run(kOpenReceipt);
    Sell(10 * kUnit);
    ExpectTotals(-10 * kUnit, 0, 10 * kUnit);
    printer_.ClearLog();
    Run(kCompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "-10", "kg"}))
        << Printable(Requests());
    ExpectTotals(-10 * kUnit, 0, 10 * kUnit);
    PutMoney(kAmount, 10 * kUnit);
    Run(kRepayCash);
    ExpectTotals(-10 * kUnit, 0, 0);
    Run(kCloseReceipt);
    EXPECT_EQ(driver_->GetUI2(kStateReceiptOpen), 0);
}

TEST_F(TotalsTest, AnnulmentTotalsTheAmountAnnulledNegative) {
    // A document to annul.
    PutNumber(kReceiptType, 1);
    Run(kOpenReceipt);
    Sell(125000);
    Run(kCompleteReceipt);
    PutMoney(kAmount, 125000);
    Run(kPayCash);
    Run(kCloseReceipt);
    const ULONG annulled = printer_.State().counters.document;
    ASSERT_GT(annulled, 0u);

    PutNumber(kReceiptType, 5);
    Put(kCancellationDocumentNumber, client::UI4(annulled));
    PutText(kCancellationMnemo, "Ошибка");
    PutMoney(kCancellationAmount, 125000);
    printer_.ClearLog();
    Run(kOpenReceipt);
    EXPECT_EQ(Requests(),
              std::vector<std::string>{"rb" + kFs + "5" + kGs + std::to_string(annulled) + kGs +
                                       Cp1251("Ошибка")})
        << Printable(Requests());
    printer_.ClearLog();
    Run(kCompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "-12.5", "kg"}))
        << Printable(Requests());
    ExpectTotals(-125000, 0, 125000);
    PutMoney(kAmount, 125000);
    Run(kRepayCash);
    ExpectTotals(-125000, 0, 0);
    Run(kCloseReceipt);
}

TEST_F(TotalsTest, ConnectRestoresAReceiptLeftOpen) {
    PutNumber(kReceiptType, 1);
    Run(kOpenReceipt);
    Sell(125000);
    Sell(30000);
    const ULONG document = driver_->GetUI4(kDocumentNumber);
    // The first program goes away with the receipt open; another one connects.
    driver_.reset();
    Connect();
    EXPECT_EQ(driver_->GetUI2(kStateReceiptOpen), 1);
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 1);
    EXPECT_EQ(driver_->GetUI4(kDocumentNumber), document);
    ExpectTotals(155000, 155000, 0);

    // The driver goes on with the printer's total as if it had sent the lines itself.
    Sell(20000);
    ExpectTotals(175000, 175000, 0);
    printer_.ClearLog();
    Run(kCompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "17.5", "kg"}))
        << Printable(Requests());
    ExpectTotals(175000, 175000, 0);
}

TEST_F(TotalsTest, ConnectRestoresARefundLeftOpenAsOwedChange) {
    PutNumber(kReceiptType, 2);
    Run(kOpenReceipt);
    Sell(40000);
    driver_.reset();
    Connect();
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 2);
    ExpectTotals(-40000, 0, 40000);
    Sell(10000);
    ExpectTotals(-50000, 0, 50000);
}

}  // namespace
}  // namespace receipttest
