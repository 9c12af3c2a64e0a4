// A receipt command whose attempts ran out without a reply: the printer's receipt says whether
// it was executed, and the client hears success, the failure, or that it cannot be confirmed.
#include <gtest/gtest.h>

#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

using Unconfirmed = PrinterSession;

emu::Fault Fault(emu::FaultKind kind, const char* command) {
    emu::Fault fault;
    fault.kind = kind;
    fault.command = command;
    return fault;
}

TEST_F(Unconfirmed, ASaleIsSettledFromThePrintersReceipt) {
    Connect();
    OpenSaleWithLine(10 * kUnit);
    PutMoney(member::Price, 5 * kUnit);

    // Executed, its reply lost: the receipt's total moved, so the sale is done.
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::LostReply, "as")), 0);
    EXPECT_EQ(Result(member::Sale), S_OK);
    EXPECT_EQ(MoneyOf(member::Subtotal), 15 * kUnit);
    EXPECT_EQ(client::Codes(printer_.Requests()), (std::vector<std::string>{"as", "gs", "kg"}));

    // Not heard: the total stands, and the failure is the line's.
    printer_.ClearLog();
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::Silence, "as")), 0);
    EXPECT_EQ(Result(member::Sale), E_FAIL);  // a link code is no code of the interface's facility
    EXPECT_EQ(ResultCode(), -8108);
    EXPECT_EQ(MoneyOf(member::Subtotal), 15 * kUnit);

    // Executed, and the printer cannot be asked afterwards.
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::LostReply, "as")), 0);
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::Silence, "kg")), 0);
    EXPECT_EQ(Result(member::Sale), Failure(-9009));
    EXPECT_EQ(ResultCode(), -9009);
    const std::string text = Description();
    EXPECT_NE(text.find("не подтверждено"), std::string::npos) << text;
}

TEST_F(Unconfirmed, TheEndOfTheReceiptIsSettledByItsOpenFlag) {
    Connect();
    OpenSaleWithLine(10 * kUnit);
    Run(member::CompleteReceipt);
    PutMoney(member::Amount, 10 * kUnit);
    Run(member::PayCash);
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::LostReply, "re")), 0);
    EXPECT_EQ(Result(member::CloseReceipt), S_OK);
    EXPECT_FALSE(printer_.State().receipt.has_value());
    size_t ends = 0;
    for (const std::string& request : printer_.Requests()) {
        ends += request.rfind("re", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(ends, 1u);
}

TEST_F(Unconfirmed, AQueryLostAfterAnExecutedCommandIsAskedAgain) {
    Connect();
    OpenSaleWithLine(10 * kUnit);
    // The totalling went through; the totals after it are lost on the line once.
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::Silence, "kg")), 0);
    EXPECT_EQ(Result(member::CompleteReceipt), S_OK);
    EXPECT_EQ(MoneyOf(member::Subtotal), 10 * kUnit);

    // The payment went through; the totals after it are lost twice, and the third time read.
    printer_.ClearLog();
    PutMoney(member::Amount, 15 * kUnit);
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::Silence, "kg")), 0);
    ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::Silence, "kg")), 0);
    EXPECT_EQ(Result(member::PayCash), S_OK);
    EXPECT_EQ(MoneyOf(member::Change), 5 * kUnit);
    EXPECT_EQ(client::Codes(printer_.Requests()), (std::vector<std::string>{"gn", "rc", "kg"}));

    // A line that stays silent still fails the method, after three queries.
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(printer_.InjectFault(Fault(emu::FaultKind::Silence, "kg")), 0);
    }
    EXPECT_EQ(Result(member::CompleteReceipt), E_FAIL);
    EXPECT_EQ(ResultCode(), -8108);
}

}  // namespace
