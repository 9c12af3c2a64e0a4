// Payments through the component: what a refund may pay back, how far a non-cash payment may go
// beyond what is due, the change paid back in cash when the receipt closes, and cash income and
// outcome documents.
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

constexpr HRESULT kBadArguments = static_cast<HRESULT>(0x8004232A);  // -9002

class PaymentTest : public ConnectedSession {
  protected:
    // A totalled receipt of `type` with one line of `price`; the log is cleared after it.
    void TotalledReceipt(USHORT type, LONGLONG price) {
        PutNumber(member::ReceiptType, type);
        Run(member::OpenReceipt);
        PutText(member::Article, "Хлеб");
        PutMoney(member::Price, price);
        PutMoney(member::Quantity, kUnit);
        Run(member::Sale);
        Run(member::CompleteReceipt);
        printer_.ClearLog();
    }

    HRESULT Pay(Member method, LONGLONG amount) {
        PutMoney(member::Amount, amount);
        printer_.ClearLog();
        return Result(method);
    }
};

TEST_F(PaymentTest, ARefundPaysBackNoMoreThanItOwes) {
    TotalledReceipt(2, 10 * kUnit);
    ASSERT_EQ(MoneyOf(member::Subtotal), -10 * kUnit);
    ASSERT_EQ(MoneyOf(member::Change), 10 * kUnit);

    // The document is asked for its type; then nothing more is sent.
    for (const Member method : {member::PayCash, member::RepayCash}) {
        EXPECT_EQ(Pay(method, 10 * kUnit + 100), kBadArguments) << "Member " << method;
        EXPECT_EQ(ResultCode(), -9002);
        EXPECT_EQ(Requests(), std::vector<std::string>{"gn"}) << Printable(Requests());
    }
    EXPECT_EQ(Pay(member::PayCash, -(10 * kUnit + 100)),
              kBadArguments);  // the size counts, not the sign
    EXPECT_EQ(Pay(member::RepayNoncash, 10 * kUnit + 100), kBadArguments);
    EXPECT_EQ(Requests(), std::vector<std::string>{"gn"}) << Printable(Requests());
    EXPECT_EQ(Pay(member::PayNoncash, 10 * kUnit + 100), kBadArguments);
    EXPECT_EQ(Requests(), std::vector<std::string>{"gn"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 2);

    // Within what is owed it goes out, and nothing is owed any more.
    EXPECT_EQ(Pay(member::RepayCash, 4 * kUnit), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"gn", "rc" + kFs + "-4.00", "kg"}))
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Change), 6 * kUnit);
    PutNumber(member::NoncashType, 1);
    EXPECT_EQ(Pay(member::RepayNoncash, 6 * kUnit), S_OK);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"gn", "rn", "kg"}));
    EXPECT_EQ(MoneyOf(member::Change), 0);
    EXPECT_EQ(MoneyOf(member::Debt), 0);
    printer_.ClearLog();
    Run(member::CloseReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"re"}) << Printable(Requests());
}

TEST_F(PaymentTest, NoncashBeyondWhatIsDueOnlyByTheCashAlreadyPaid) {
    TotalledReceipt(1, 15 * kUnit);
    EXPECT_EQ(Pay(member::PayCash, 5 * kUnit), S_OK);
    ASSERT_EQ(MoneyOf(member::Debt), 10 * kUnit);
    PutNumber(member::NoncashType, 1);

    EXPECT_EQ(Pay(member::PayNoncash, 16 * kUnit), kBadArguments);
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"gn", "kc"}));

    EXPECT_EQ(Pay(member::PayNoncash, 15 * kUnit), S_OK);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"gn", "kc", "rn" + kFs + "15.00" + kFs + "1", "kg"}))
        << Printable(Requests());
    // The cash paid is what comes back.
    EXPECT_EQ(MoneyOf(member::Change), 5 * kUnit);
    printer_.ClearLog();
    Run(member::CloseReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"kg", "rc" + kFs + "-5.00", "re"}))
        << Printable(Requests());
}

TEST_F(PaymentTest, NoncashWithinWhatIsDueAsksForNoCash) {
    TotalledReceipt(1, 15 * kUnit);
    PutNumber(member::NoncashType, 2);
    EXPECT_EQ(Pay(member::PayNoncash, 15 * kUnit), S_OK);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"gn", "rn", "kg"}));
    EXPECT_EQ(MoneyOf(member::Debt), 0);
    EXPECT_EQ(MoneyOf(member::Change), 0);
    // Paid in full without cash: no more may go non-cash.
    EXPECT_EQ(Pay(member::PayNoncash, 100), kBadArguments);
}

TEST_F(PaymentTest, CloseReceiptPaysTheChangeBackBeforeItEnds) {
    TotalledReceipt(1, 66000);
    EXPECT_EQ(Pay(member::PayCash, 10 * kUnit), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"gn", "rc" + kFs + "10.00", "kg"}))
        << Printable(Requests());
    ASSERT_EQ(MoneyOf(member::Change), 34000);
    printer_.ClearLog();
    Run(member::CloseReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"kg", "rc" + kFs + "-3.40", "re"}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 0);
    // The totals are kept after the end, until the next document.
    EXPECT_EQ(MoneyOf(member::Change), 34000);
}

TEST_F(PaymentTest, GiveChangeAsksNothingFirst) {
    TotalledReceipt(1, 66000);
    EXPECT_EQ(Pay(member::PayCash, 10 * kUnit), S_OK);
    EXPECT_EQ(Pay(member::GiveChange, 34000), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rc" + kFs + "-3.40", "kg"}))
        << Printable(Requests());
}

TEST_F(PaymentTest, CashIncomeOfNothingOpensNothing) {
    EXPECT_EQ(Pay(member::CashIncome, 0), kBadArguments);
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_EQ(Pay(member::CashOutcome, -kUnit), kBadArguments);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::StateDayOpen), 0);
    EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 0);
}

TEST_F(PaymentTest, CashIncomeAndOutcomeInOneCollectionDocument) {
    EXPECT_EQ(Pay(member::CashIncome, 100 * kUnit), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"zb", "rb" + kFs + "3", "ri" + kFs + "100.00"}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 3);
    EXPECT_EQ(Pay(member::CashOutcome, 305000), S_OK);
    EXPECT_EQ(Requests(), std::vector<std::string>{"ri" + kFs + "-30.50"}) << Printable(Requests());
    printer_.ClearLog();
    Run(member::CloseReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"re"}) << Printable(Requests());
}

TEST_F(PaymentTest, AFailedDocumentQueryEndsThePaymentWithItsCode) {
    TotalledReceipt(1, 10 * kUnit);
    FailNext("gn", 1);
    EXPECT_EQ(Pay(member::PayCash, 10 * kUnit), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
    EXPECT_EQ(Codes(), std::vector<std::string>{"gn"});
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 0);  // unknown now
    EXPECT_EQ(MoneyOf(member::Debt), 10 * kUnit);
}

}  // namespace
