// The receipt context through the component: Subtotal, Debt and Change from the driver's own
// running total before the total and from the printer's after it, negative for refunds and
// annulments, and the context of a receipt left open rebuilt by Connect.
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

class TotalsTest : public ConnectedSession {
  protected:
    void Sell(LONGLONG price) {
        PutText(member::Article, "Хлеб");
        PutMoney(member::Price, price);
        PutMoney(member::Quantity, kUnit);
        Run(member::Sale);
    }

    void ExpectTotals(LONGLONG subtotal, LONGLONG debt, LONGLONG change) {
        EXPECT_EQ(MoneyOf(member::Subtotal), subtotal);
        EXPECT_EQ(MoneyOf(member::Debt), debt);
        EXPECT_EQ(MoneyOf(member::Change), change);
    }
};

TEST_F(TotalsTest, SaleReceiptOwesItsLinesUntilPaid) {
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);
    Sell(6 * kUnit);
    Sell(4 * kUnit);
    ExpectTotals(10 * kUnit, 10 * kUnit, 0);
    Run(member::CompleteReceipt);
    ExpectTotals(10 * kUnit, 10 * kUnit, 0);
    PutMoney(member::Amount, 125000);
    Run(member::PayCash);
    ExpectTotals(10 * kUnit, 0, 25000);
}

TEST_F(TotalsTest, RefundTotalsAreNegativeAndWhatItOwesShowsAsChange) {
    PutNumber(member::ReceiptType, 2);
    Run(member::OpenReceipt);
    Sell(10 * kUnit);
    ExpectTotals(-10 * kUnit, 0, 10 * kUnit);
    printer_.ClearLog();
    Run(member::CompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "-10", "kg"}))
        << Printable(Requests());
    ExpectTotals(-10 * kUnit, 0, 10 * kUnit);
    PutMoney(member::Amount, 10 * kUnit);
    Run(member::RepayCash);
    ExpectTotals(-10 * kUnit, 0, 0);
    Run(member::CloseReceipt);
    EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 0);
}

TEST_F(TotalsTest, AnnulmentTotalsTheAmountAnnulledNegative) {
    // A document to annul.
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);
    Sell(125000);
    Run(member::CompleteReceipt);
    PutMoney(member::Amount, 125000);
    Run(member::PayCash);
    Run(member::CloseReceipt);
    const ULONG annulled = printer_.State().counters.document;
    ASSERT_GT(annulled, 0u);

    PutNumber(member::ReceiptType, 5);
    Put(member::CancellationDocumentNumber, client::UI4(annulled));
    PutText(member::CancellationMnemo, "Ошибка");
    PutMoney(member::CancellationAmount, 125000);
    printer_.ClearLog();
    Run(member::OpenReceipt);
    EXPECT_EQ(Requests(),
              std::vector<std::string>{"rb" + kFs + "5" + kGs + std::to_string(annulled) + kGs +
                                       Cp1251("Ошибка")})
        << Printable(Requests());
    printer_.ClearLog();
    Run(member::CompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "-12.5", "kg"}))
        << Printable(Requests());
    ExpectTotals(-125000, 0, 125000);
    PutMoney(member::Amount, 125000);
    Run(member::RepayCash);
    ExpectTotals(-125000, 0, 0);
    Run(member::CloseReceipt);
}

TEST_F(TotalsTest, ConnectRestoresAReceiptLeftOpen) {
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);
    Sell(125000);
    Sell(30000);
    const ULONG document = D().GetUI4(member::DocumentNumber);
    // The first program goes away with the receipt open; another one connects.
    object_.reset();
    Connect();
    EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 1);
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 1);
    EXPECT_EQ(D().GetUI4(member::DocumentNumber), document);
    ExpectTotals(155000, 155000, 0);

    // The driver goes on with the printer's total as if it had sent the lines itself.
    Sell(20000);
    ExpectTotals(175000, 175000, 0);
    printer_.ClearLog();
    Run(member::CompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "17.5", "kg"}))
        << Printable(Requests());
    ExpectTotals(175000, 175000, 0);
}

TEST_F(TotalsTest, ConnectRestoresARefundLeftOpenAsOwedChange) {
    PutNumber(member::ReceiptType, 2);
    Run(member::OpenReceipt);
    Sell(40000);
    object_.reset();
    Connect();
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 2);
    ExpectTotals(-40000, 0, 40000);
    Sell(10000);
    ExpectTotals(-50000, 0, 50000);
}

}  // namespace
