// Payments through the component: what a refund may pay back, how far a non-cash payment may go
// beyond what is due, the change paid back in cash when the receipt closes, and cash income and
// outcome documents.
#include "ReceiptSession.h"

namespace receipttest {
namespace {

constexpr HRESULT kBadArguments = static_cast<HRESULT>(0x8004232A);  // -9002

class PaymentTest : public ReceiptSession {
  protected:
    void SetUp() override {
        ReceiptSession::SetUp();
        if (!HasFatalFailure()) {
            Connect();
        }
    }

    // A totalled receipt of `type` with one line of `price`; the log is cleared after it.
    void TotalledReceipt(USHORT type, LONGLONG price) {
        PutNumber(kReceiptType, type);
        Run(kOpenReceipt);
        PutText(kArticle, "Хлеб");
        PutMoney(kPrice, price);
        PutMoney(kQuantity, kUnit);
        Run(kSale);
        Run(kCompleteReceipt);
        printer_.ClearLog();
    }

    HRESULT Pay(DISPID method, LONGLONG amount) {
        PutMoney(kAmount, amount);
        printer_.ClearLog();
        return Call(method);
    }
};

TEST_F(PaymentTest, ARefundPaysBackNoMoreThanItOwes) {
    TotalledReceipt(2, 10 * kUnit);
    ASSERT_EQ(Money(kSubtotal), -10 * kUnit);
    ASSERT_EQ(Money(kChange), 10 * kUnit);

    // The document is asked for its type; then nothing more is sent.
    for (const DISPID method : {kPayCash, kRepayCash}) {
        EXPECT_EQ(Pay(method, 10 * kUnit + 100), kBadArguments) << "DISPID " << method;
        EXPECT_EQ(ResultCode(), -9002);
        EXPECT_EQ(Requests(), std::vector<std::string>{"gn"}) << Printable(Requests());
    }
    EXPECT_EQ(Pay(kPayCash, -(10 * kUnit + 100)), kBadArguments);  // the size counts, not the sign
    EXPECT_EQ(Pay(kRepayNoncash, 10 * kUnit + 100), kBadArguments);
    EXPECT_EQ(Requests(), std::vector<std::string>{"gn"}) << Printable(Requests());
    EXPECT_EQ(Pay(kPayNoncash, 10 * kUnit + 100), kBadArguments);
    EXPECT_EQ(Requests(), std::vector<std::string>{"gn"}) << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 2);

    // Within what is owed it goes out, and nothing is owed any more.
    EXPECT_EQ(Pay(kRepayCash, 4 * kUnit), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"gn", "rc" + kFs + "-4.00", "kg"}))
        << Printable(Requests());
    EXPECT_EQ(Money(kChange), 6 * kUnit);
    PutNumber(kNoncashType, 1);
    EXPECT_EQ(Pay(kRepayNoncash, 6 * kUnit), S_OK);
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"gn", "rn", "kg"}));
    EXPECT_EQ(Money(kChange), 0);
    EXPECT_EQ(Money(kDebt), 0);
    printer_.ClearLog();
    Run(kCloseReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"re"}) << Printable(Requests());
}

TEST_F(PaymentTest, NoncashBeyondWhatIsDueOnlyByTheCashAlreadyPaid) {
    TotalledReceipt(1, 15 * kUnit);
    EXPECT_EQ(Pay(kPayCash, 5 * kUnit), S_OK);
    ASSERT_EQ(Money(kDebt), 10 * kUnit);
    PutNumber(kNoncashType, 1);

    EXPECT_EQ(Pay(kPayNoncash, 16 * kUnit), kBadArguments);
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"gn", "kc"}));

    EXPECT_EQ(Pay(kPayNoncash, 15 * kUnit), S_OK);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"gn", "kc", "rn" + kFs + "15.00" + kFs + "1", "kg"}))
        << Printable(Requests());
    // The cash paid is what comes back.
    EXPECT_EQ(Money(kChange), 5 * kUnit);
    printer_.ClearLog();
    Run(kCloseReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"kg", "rc" + kFs + "-5.00", "re"}))
        << Printable(Requests());
}

TEST_F(PaymentTest, NoncashWithinWhatIsDueAsksForNoCash) {
    TotalledReceipt(1, 15 * kUnit);
    PutNumber(kNoncashType, 2);
    EXPECT_EQ(Pay(kPayNoncash, 15 * kUnit), S_OK);
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"gn", "rn", "kg"}));
    EXPECT_EQ(Money(kDebt), 0);
    EXPECT_EQ(Money(kChange), 0);
    // Paid in full without cash: no more may go non-cash.
    EXPECT_EQ(Pay(kPayNoncash, 100), kBadArguments);
}

TEST_F(PaymentTest, CloseReceiptPaysTheChangeBackBeforeItEnds) {
    TotalledReceipt(1, 66000);
    EXPECT_EQ(Pay(kPayCash, 10 * kUnit), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"gn", "rc" + kFs + "10.00", "kg"}))
        << Printable(Requests());
    ASSERT_EQ(Money(kChange), 34000);
    printer_.ClearLog();
    Run(kCloseReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"kg", "rc" + kFs + "-3.40", "re"}))
        << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kStateReceiptOpen), 0);
    // The totals are kept after the end, until the next document.
    EXPECT_EQ(Money(kChange), 34000);
}

TEST_F(PaymentTest, GiveChangeAsksNothingFirst) {
    TotalledReceipt(1, 66000);
    EXPECT_EQ(Pay(kPayCash, 10 * kUnit), S_OK);
    EXPECT_EQ(Pay(kGiveChange, 34000), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rc" + kFs + "-3.40", "kg"}))
        << Printable(Requests());
}

TEST_F(PaymentTest, CashIncomeOfNothingOpensNothing) {
    EXPECT_EQ(Pay(kCashIncome, 0), kBadArguments);
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_EQ(Pay(kCashOutcome, -kUnit), kBadArguments);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kStateDayOpen), 0);
    EXPECT_EQ(driver_->GetUI2(kStateReceiptOpen), 0);
}

TEST_F(PaymentTest, CashIncomeAndOutcomeInOneCollectionDocument) {
    EXPECT_EQ(Pay(kCashIncome, 100 * kUnit), S_OK);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"zb", "rb" + kFs + "3", "ri" + kFs + "100.00"}))
        << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 3);
    EXPECT_EQ(Pay(kCashOutcome, 305000), S_OK);
    EXPECT_EQ(Requests(), std::vector<std::string>{"ri" + kFs + "-30.50"}) << Printable(Requests());
    printer_.ClearLog();
    Run(kCloseReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"re"}) << Printable(Requests());
}

TEST_F(PaymentTest, AFailedDocumentQueryEndsThePaymentWithItsCode) {
    TotalledReceipt(1, 10 * kUnit);
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 1;
    fault.command = "gn";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    EXPECT_EQ(Pay(kPayCash, 10 * kUnit), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
    EXPECT_EQ(Codes(Requests()), std::vector<std::string>{"gn"});
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 0);  // unknown now
    EXPECT_EQ(Money(kDebt), 10 * kUnit);
}

}  // namespace
}  // namespace receipttest
