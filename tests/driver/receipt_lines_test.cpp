// Lines printed into an open document: on a roll they always go; on a slip the printer's
// document flags decide, a line it cannot take is a note (result 19), not a failure, and a full
// slip is ended and the next one begun.
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

constexpr HRESULT kLineNotPrinted = 0x00040013;  // success with the note 19

class LineTest : public ConnectedSession {
  protected:
    void OpenSlip() {
        PutNumber(member::ReceiptType, 10);
        Run(member::OpenReceipt);
        PutText(member::StringToPrint, "Строка");
        printer_.ClearLog();
    }
};

TEST_F(LineTest, OnTheRollTheLineGoesWithoutAskingTheFlags) {
    OpenSaleWithLine(10 * kUnit);
    PutText(member::StringToPrint, "Спасибо");
    Run(member::PrintLine);
    EXPECT_EQ(Requests(), std::vector<std::string>{"pl" + kFs + "0" + kFs + Cp1251("Спасибо")})
        << Printable(Requests());
    // The control tape alone takes the line with attribute 2.
    Put(member::ForcePrintControlTapeOnly, client::UI2(1));
    printer_.ClearLog();
    Run(member::PrintLine);
    EXPECT_EQ(Requests(), std::vector<std::string>{"pl" + kFs + "2" + kFs + Cp1251("Спасибо")})
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 10 * kUnit);
}

TEST_F(LineTest, ASlipWithoutItsFormTakesNoLineAndSaysSoAsANote) {
    OpenSlip();
    printer_.ChangeState([](emu::PrinterState& state) { state.slipFormInserted = false; });
    const client::Call call = D().Method(member::PrintLine);
    EXPECT_EQ(call.hr, kLineNotPrinted);
    EXPECT_TRUE(call.description.empty());  // a success: no error information
    EXPECT_EQ(ResultCode(), 19);
    EXPECT_EQ(D().GetText(member::ResultCodeDescription), u"");
    // The flags were read instead of the status, and nothing was printed.
    EXPECT_EQ(Requests(), std::vector<std::string>{"ls"}) << Printable(Requests());
}

TEST_F(LineTest, AFullSlipIsEndedAndTheNextOneBegun) {
    printer_.ChangeState([](emu::PrinterState& state) { state.slipFormLines = 2; });
    OpenSlip();
    Run(member::PrintLine);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"ls", "pl" + kFs + "0" + kFs + Cp1251("Строка"), "ls"}))
        << Printable(Requests());
    printer_.ClearLog();
    Run(member::PrintLine);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"ls", "pl" + kFs + "0" + kFs + Cp1251("Строка"),
                                                    "ls", "re", "rb" + kFs + "10"}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 10);
    EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 1);
    // The new slip takes lines again.
    printer_.ClearLog();
    Run(member::PrintLine);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"ls", "pl", "ls"}));
}

TEST_F(LineTest, SubtotalTotalAndBackToTheLines) {
    OpenSaleWithLine(10 * kUnit);
    Run(member::PrintSubtotal);
    EXPECT_EQ(Requests(), std::vector<std::string>{"rs"}) << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 10 * kUnit);

    // Not yet totalled: there is nothing to go back from, and nothing is sent.
    printer_.ClearLog();
    Run(member::ContinueReceipt);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Debt), 10 * kUnit);

    Run(member::CompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "10", "kg"}))
        << Printable(Requests());
    // Totalled already: the totals are asked for, the total is not sent again.
    printer_.ClearLog();
    Run(member::CompleteReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"kg"}) << Printable(Requests());

    printer_.ClearLog();
    Run(member::ContinueReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"ct", "kg"})) << Printable(Requests());
    // Back at the lines: another article, and the total covers both.
    PutMoney(member::Price, 5 * kUnit);
    Run(member::Sale);
    EXPECT_EQ(MoneyOf(member::Subtotal), 15 * kUnit);
    printer_.ClearLog();
    Run(member::CompleteReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "15", "kg"}))
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Debt), 15 * kUnit);
}

TEST_F(LineTest, AnEmptyLineIsRefusedBeforeItIsSent) {
    OpenSaleWithLine(10 * kUnit);
    PutText(member::StringToPrint, "");
    EXPECT_EQ(Result(member::PrintLine), static_cast<HRESULT>(0x8004232A));
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
}

}  // namespace
