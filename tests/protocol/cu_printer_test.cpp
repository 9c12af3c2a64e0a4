// Control unit commands end to end against the virtual printer: its status, its exchanges with
// their check word, and the unlock after the unit wanted an authentication.
#include <gtest/gtest.h>

#include <string>

#include "Brontal.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

using ControlUnitOnPrinter = PrinterFixture;

WORD SumOfBytes(const std::string& a, const std::string& b) {
    unsigned sum = 0;
    for (unsigned char c : a + b) {
        sum += c;
    }
    return static_cast<WORD>(sum & 0xFFFF);
}

struct Exchange {
    int result = 1;
    WORD status = 0xEEEE;
    WORD checksum = 0xEEEE;
    char info[128] = "unchanged";
    char answer[128] = "unchanged";
};

Exchange RunExchange(CBrontal& layer, UINT index) {
    Exchange exchange;
    exchange.result =
        layer.ControlUnitExchange(index, &exchange.status, exchange.info, sizeof exchange.info,
                                  exchange.answer, sizeof exchange.answer, &exchange.checksum);
    return exchange;
}

TEST_F(ControlUnitOnPrinter, ExchangesGiveTheUnitsTextsAndTheirCheckWord) {
    const emu::PrinterTime time{2026, 3, 14, 9, 26, 53};
    ASSERT_EQ(printer.SetFixedClock(time), 0);
    AttachAndClear();
    const emu::PrinterIdentity identity = printer.State().identity;

    const Exchange clock = RunExchange(layer, 0);
    ASSERT_EQ(clock.result, 0);
    EXPECT_EQ(clock.status, 0);
    EXPECT_STREQ(clock.info, "20260314092653");
    EXPECT_STREQ(clock.answer, "");
    EXPECT_EQ(clock.checksum, SumOfBytes("20260314092653", ""));

    const Exchange id = RunExchange(layer, 1);
    ASSERT_EQ(id.result, 0);
    EXPECT_EQ(std::string(id.info), identity.unitSerialNumber);
    EXPECT_EQ(std::string(id.answer), identity.unitRegisterNumber);
    EXPECT_EQ(id.checksum, SumOfBytes(identity.unitSerialNumber, identity.unitRegisterNumber));

    const Exchange auth = RunExchange(layer, 2);
    ASSERT_EQ(auth.result, 0);
    EXPECT_EQ(std::string(auth.info), identity.serialNumber);
    EXPECT_STREQ(auth.answer, "OK");

    WORD status = 0xEEEE;
    EXPECT_EQ(layer.ReadControlUnitStatus(&status), 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Payloads(), (std::vector<std::string>{"vw\x1CTIME",
                                                    "vw\x1C"
                                                    "ID",
                                                    "vw\x1C"
                                                    "AUTH",
                                                    "vr"}));
}

TEST_F(ControlUnitOnPrinter, AUnitWaitingForAuthenticationIsUnlockedAfterIt) {
    printer.ChangeState([](emu::PrinterState& state) {
        state.unit.lock = emu::UnitLock::AfterAuth;
        state.unit.error = 50;
        state.status |= emu::kStatusBlocked;
        state.blocking |= emu::kBlockControlUnit;
    });
    AttachAndClear();
    // Locked: the unit says so, and refuses to let the printer go.
    WORD status = 0;
    ASSERT_EQ(layer.ReadControlUnitStatus(&status), 0);
    EXPECT_NE(status, 0);
    EXPECT_EQ(layer.UnlockControlUnit(), -50 - 9200);
    WORD blocking = 0;
    EXPECT_NE(layer.GetStatusWords(&blocking) & kStatusBlocked, 0);
    EXPECT_NE(blocking & kBlockedControlUnit, 0);

    ASSERT_EQ(RunExchange(layer, 2).result, 0);
    EXPECT_EQ(layer.UnlockControlUnit(), 0);
    EXPECT_EQ(layer.GetStatusWords(&blocking) & kStatusBlocked, 0);
    EXPECT_EQ(blocking & kBlockedControlUnit, 0);
    ASSERT_EQ(layer.ReadControlUnitStatus(&status), 0);
    EXPECT_EQ(status, 0);
}

TEST_F(ControlUnitOnPrinter, ARefusedExchangeKeepsTheCallersTexts) {
    printer.ChangeState([](emu::PrinterState& state) {
        state.unit.lock = emu::UnitLock::AfterStatus;
        state.unit.error = 48;
    });
    AttachAndClear();
    const Exchange refused = RunExchange(layer, 0);
    EXPECT_EQ(refused.result, -48 - 9200);
    EXPECT_STREQ(refused.info, "unchanged");
    EXPECT_STREQ(refused.answer, "unchanged");
    EXPECT_EQ(refused.status, 0xEEEE);
    EXPECT_EQ(refused.checksum, 0xEEEE);
    // Reading the status brings the unit back within reach.
    WORD status = 0;
    ASSERT_EQ(layer.ReadControlUnitStatus(&status), 0);
    EXPECT_EQ(RunExchange(layer, 0).result, 0);
}

}  // namespace
}  // namespace prottest
