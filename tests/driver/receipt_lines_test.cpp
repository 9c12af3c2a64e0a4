// Lines printed into an open document: on a roll they always go; on a slip the printer's
// document flags decide, a line it cannot take is a note (result 19), not a failure, and a full
// slip is ended and the next one begun.
#include "ReceiptSession.h"

namespace receipttest {
namespace {

using testsupport::Cp1251;

constexpr HRESULT kLineNotPrinted = 0x00040013;  // success with the note 19

class LineTest : public ReceiptSession {
  protected:
    void SetUp() override {
        ReceiptSession::SetUp();
        if (!HasFatalFailure()) {
            Connect();
        }
    }

    void OpenSlip() {
        PutNumber(kReceiptType, 10);
        Run(kOpenReceipt);
        PutText(kStringToPrint, "Строка");
        printer_.ClearLog();
    }
};

TEST_F(LineTest, OnTheRollTheLineGoesWithoutAskingTheFlags) {
    OpenSaleWithLine(10 * kUnit);
    PutText(kStringToPrint, "Спасибо");
    Run(kPrintLine);
    EXPECT_EQ(Requests(), std::vector<std::string>{"pl" + kFs + "0" + kFs + Cp1251("Спасибо")})
        << Printable(Requests());
    // The control tape alone takes the line with attribute 2.
    Put(kForcePrintControlTapeOnly, client::UI2(1));
    printer_.ClearLog();
    Run(kPrintLine);
    EXPECT_EQ(Requests(), std::vector<std::string>{"pl" + kFs + "2" + kFs + Cp1251("Спасибо")})
        << Printable(Requests());
    EXPECT_EQ(Money(kSubtotal), 10 * kUnit);
}

TEST_F(LineTest, ASlipWithoutItsFormTakesNoLineAndSaysSoAsANote) {
    OpenSlip();
    printer_.ChangeState([](emu::PrinterState& state) { state.slipFormInserted = false; });
    const client::Call call = driver_->Method(kPrintLine);
    EXPECT_EQ(call.hr, kLineNotPrinted);
    EXPECT_TRUE(call.description.empty());  // a success: no error information
    EXPECT_EQ(ResultCode(), 19);
    EXPECT_EQ(driver_->GetText(kResultCodeDescription), u"");
    // The flags were read instead of the status, and nothing was printed.
    EXPECT_EQ(Requests(), std::vector<std::string>{"ls"}) << Printable(Requests());
}

TEST_F(LineTest, AFullSlipIsEndedAndTheNextOneBegun) {
    printer_.ChangeState([](emu::PrinterState& state) { state.slipFormLines = 2; });
    OpenSlip();
    Run(kPrintLine);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"ls", "pl" + kFs + "0" + kFs + Cp1251("Строка"), "ls"}))
        << Printable(Requests());
    printer_.ClearLog();
    Run(kPrintLine);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"ls", "pl" + kFs + "0" + kFs + Cp1251("Строка"),
                                                    "ls", "re", "rb" + kFs + "10"}))
        << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 10);
    EXPECT_EQ(driver_->GetUI2(kStateReceiptOpen), 1);
    // The new slip takes lines again.
    printer_.ClearLog();
    Run(kPrintLine);
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"ls", "pl", "ls"}));
}

TEST_F(LineTest, SubtotalTotalAndBackToTheLines) {
    OpenSaleWithLine(10 * kUnit);
    Run(kPrintSubtotal);
    EXPECT_EQ(Requests(), std::vector<std::string>{"rs"}) << Printable(Requests());
    EXPECT_EQ(Money(kSubtotal), 10 * kUnit);

    // Not yet totalled: there is nothing to go back from, and nothing is sent.
    printer_.ClearLog();
    Run(kContinueReceipt);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
    EXPECT_EQ(Money(kDebt), 10 * kUnit);

    Run(kCompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "10", "kg"}))
        << Printable(Requests());
    // Totalled already: the totals are asked for, the total is not sent again.
    printer_.ClearLog();
    Run(kCompleteReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"kg"}) << Printable(Requests());

    printer_.ClearLog();
    Run(kContinueReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"ct", "kg"})) << Printable(Requests());
    // Back at the lines: another article, and the total covers both.
    PutMoney(kPrice, 5 * kUnit);
    Run(kSale);
    EXPECT_EQ(Money(kSubtotal), 15 * kUnit);
    printer_.ClearLog();
    Run(kCompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "15", "kg"}))
        << Printable(Requests());
    EXPECT_EQ(Money(kDebt), 15 * kUnit);
}

TEST_F(LineTest, AnEmptyLineIsRefusedBeforeItIsSent) {
    OpenSaleWithLine(10 * kUnit);
    PutText(kStringToPrint, "");
    EXPECT_EQ(Call(kPrintLine), static_cast<HRESULT>(0x8004232A));
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
}

}  // namespace
}  // namespace receipttest
