// The status, identification and link commands: the exact reply bytes for a state set by hand,
// and the setters that refuse what the printer could not say.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "PrinterFixture.h"
#include "TestSupport.h"

namespace {

using emutest::Frame;
using emutest::FS;
using emutest::GS;

// The reply payload of a command that succeeded on an out-of-the-box printer, with its data.
std::string Ok(const std::string& code, const std::string& data) {
    return code + FS + "00" + FS + "00C00000" + FS + data;
}

using EmuCommandTest = emutest::PrinterFixture;

TEST_F(EmuCommandTest, GnGivesDocumentSessionSlashReceiptAndType) {
    EXPECT_TRUE(Replies("gn", Ok("gn", std::string("0") + FS + "0/0" + FS + "0" + FS)));

    emu::DocumentCounters counters;
    counters.document = 4294967295u;
    counters.session = 17;
    counters.receipt = 42;
    counters.type = 20;
    printer.SetDocumentCounters(counters);
    EXPECT_TRUE(Replies("gn", Ok("gn", std::string("4294967295") + FS + "17/42" + FS + "20" + FS)));
}

TEST_F(EmuCommandTest, GtReadsAFixedClockAsDateGsTime) {
    ASSERT_EQ(printer.SetFixedClock({2026, 12, 7, 1, 52, 7}), 0);
    EXPECT_TRUE(Replies("gt", Ok("gt", std::string("20261207") + GS + "015207" + FS)));
    ASSERT_EQ(printer.SetFixedClock({2028, 2, 29, 23, 59, 59}), 0);  // a leap day
    EXPECT_TRUE(Replies("gt", Ok("gt", std::string("20280229") + GS + "235959" + FS)));
}

TEST_F(EmuCommandTest, GtRunsAtTheHostTimePlusTheOffset) {
    const int64_t offset = 3 * 86400 + 5 * 3600 + 17;
    ASSERT_EQ(printer.SetClockOffset(offset), 0);
    const std::time_t before = std::time(nullptr);
    const emutest::ParsedReply reply = emutest::ParseReply(Ask("gt"));
    const std::time_t after = std::time(nullptr);
    ASSERT_TRUE(reply.ok);
    ASSERT_EQ(reply.data.size(), 16u);
    ASSERT_EQ(reply.data[8], GS);
    ASSERT_EQ(reply.data[15], FS);
    std::tm shown{};
    shown.tm_year = std::stoi(reply.data.substr(0, 4)) - 1900;
    shown.tm_mon = std::stoi(reply.data.substr(4, 2)) - 1;
    shown.tm_mday = std::stoi(reply.data.substr(6, 2));
    shown.tm_hour = std::stoi(reply.data.substr(9, 2));
    shown.tm_min = std::stoi(reply.data.substr(11, 2));
    shown.tm_sec = std::stoi(reply.data.substr(13, 2));
    shown.tm_isdst = -1;
    const std::time_t printerTime = std::mktime(&shown);
    // The printer read its clock between the two host readings (a DST change may shift the
    // local reading by an hour, which the test tolerates rather than misjudges).
    const int64_t early = static_cast<int64_t>(printerTime) - (before + offset);
    const int64_t late = static_cast<int64_t>(printerTime) - (after + offset);
    EXPECT_TRUE((early >= 0 && late <= 0) || early == 3600 || early == -3600)
        << reply.data << " early " << early << " late " << late;

    // Back from a fixed time to a running clock.
    ASSERT_EQ(printer.SetFixedClock({2026, 1, 1, 0, 0, 0}), 0);
    ASSERT_EQ(printer.SetClockOffset(0), 0);
    EXPECT_FALSE(printer.State().clock.fixed);
}

TEST_F(EmuCommandTest, GmKeepsTheModelNameWithItsLeadingZeros) {
    EXPECT_TRUE(Replies("gm", Ok("gm", std::string("643") + FS + "KT00012345" + FS + "000123456" +
                                           GS + "SK0004321" + GS + "00RKM-204F" + GS)));
    emu::PrinterIdentity id = printer.State().identity;
    id.countryCode = "";
    id.serialNumber = testsupport::Cp1251("ЗН-0042");
    id.unitRegisterNumber = "R1";
    id.unitSerialNumber = "";
    id.modelName = "000";
    ASSERT_EQ(printer.SetIdentity(id), 0);
    EXPECT_TRUE(Replies("gm", Ok("gm", std::string() + FS + testsupport::Cp1251("ЗН-0042") + FS +
                                           "R1" + GS + GS + "000" + GS)));
}

TEST_F(EmuCommandTest, GiGivesTheNumberTheOptionsInHexAndTheTaxpayer) {
    EXPECT_TRUE(Replies("gi", Ok("gi", std::string("1") + FS + "0201" + FS + "190123456" + FS)));
    emu::PrinterIdentity id = printer.State().identity;
    id.initializationNumber = 12;
    id.initializationOptions = 0x1ABCD;  // wider than the 16 bits the driver keeps
    id.taxpayerAccountNumber = "";
    ASSERT_EQ(printer.SetIdentity(id), 0);
    EXPECT_TRUE(Replies("gi", Ok("gi", std::string("12") + FS + "1ABCD" + FS + FS)));
    id.initializationOptions = 0xA;
    ASSERT_EQ(printer.SetIdentity(id), 0);
    EXPECT_TRUE(Replies("gi", Ok("gi", std::string("12") + FS + "000A" + FS + FS)));
}

TEST_F(EmuCommandTest, GwLaysOutItsValuesWithGsAndFs) {
    EXPECT_TRUE(Replies(
        "gw", Ok("gw", std::string("00000100") + GS + "34" + FS + "21" + GS + "48" + GS + "TP-80R" +
                           FS + "11" + GS + "32" + GS + "TP-57J" + FS + "3" + GS + "OK" + FS)));
    emu::HardwareStatus hw;
    hw.sensors = "1";
    hw.temperature = -5;
    hw.receipt = {0xFFFFFFFF, 0, ""};
    hw.journal = {0, 57, testsupport::Cp1251("Журнал")};
    hw.cutterCode = 0xAB;
    hw.cutterState = "";
    ASSERT_EQ(printer.SetHardwareStatus(hw), 0);
    EXPECT_TRUE(Replies(
        "gw", Ok("gw", std::string("1") + GS + "-5" + FS + "FFFFFFFF" + GS + "0" + GS + FS + "0" +
                           GS + "57" + GS + testsupport::Cp1251("Журнал") + FS + "AB" + GS + FS)));
}

TEST_F(EmuCommandTest, GxGivesMnemonicAndVersion) {
    EXPECT_TRUE(Replies("gx", Ok("gx", std::string("RKMF") + FS + "3.07.21" + FS)));
}

TEST_F(EmuCommandTest, GcGivesFirstNumberBaseAndEntriesFromTheStartNumber) {
    const std::string rub = std::string("1") + GS + "RUB" + GS + "2" + FS;
    const std::string usd = std::string("2") + GS + "USD" + GS + "2" + FS;
    const std::string eur = std::string("3") + GS + "EUR" + GS + "2" + FS;
    EXPECT_TRUE(Replies("gc", Ok("gc", std::string("1") + FS + "RUB" + FS + rub + usd + eur)));
    EXPECT_TRUE(Replies(std::string("gc") + FS + "0002",
                        Ok("gc", std::string("2") + FS + "RUB" + FS + usd + eur)));
    // Past the last entry: the start asked for, and no entries.
    EXPECT_TRUE(
        Replies(std::string("gc") + FS + "0004", Ok("gc", std::string("4") + FS + "RUB" + FS)));
    EXPECT_TRUE(Replies(std::string("gc") + FS,
                        Ok("gc", std::string("1") + FS + "RUB" + FS + rub + usd + eur)));

    // The driver numbers the entries it writes from 0; the base keeps its own spelling.
    ASSERT_EQ(printer.SetCurrencies({{0, "byn", 2}, {840, "USD", 2}, {1, "X", 0}}, "Byn"), 0);
    EXPECT_TRUE(Replies(
        "gc", Ok("gc", std::string("0") + FS + "Byn" + FS + "0" + GS + "byn" + GS + "2" + FS +
                           "840" + GS + "USD" + GS + "2" + FS + "1" + GS + "X" + GS + "0" + FS)));
}

TEST_F(EmuCommandTest, GcRefusesAStartNumberItCannotRead) {
    const std::string refused = std::string("gc") + FS + "03" + FS + "00C00000";
    for (const std::string& start :
         {std::string("00002"), std::string("0x01"), std::string("-1"), std::string(" 1")}) {
        EXPECT_TRUE(Replies(std::string("gc") + FS + start, refused)) << start;
    }
}

TEST_F(EmuCommandTest, CrClearsOnlyTheNeedsResetBit) {
    printer.SetStatusWords(0x80D3, 0x0040);
    EXPECT_TRUE(Replies("cr", std::string("cr") + FS + "00" + FS + "80C30040"));
    EXPECT_EQ(printer.StatusWord(), 0x80C3);
    // Nothing to reset is not an error.
    EXPECT_TRUE(Replies("cr", std::string("cr") + FS + "00" + FS + "80C30040"));
}

TEST_F(EmuCommandTest, ControlUnitCommandsOfAnUnlockedUnit) {
    EXPECT_TRUE(Replies("vr", Ok("vr", std::string("0") + FS)));
    EXPECT_TRUE(Replies("vc", std::string("vc") + FS + "00" + FS + "00C00000"));
    // AUTH: status, the printer's serial number, the answer, and the byte sum of both texts.
    unsigned sum = 0;
    for (char c : std::string("KT00012345OK")) {
        sum += static_cast<unsigned char>(c);
    }
    char check[8];
    std::snprintf(check, sizeof check, "%X", sum);
    EXPECT_TRUE(
        Replies(std::string("vw") + FS + "AUTH",
                Ok("vw", std::string("0") + FS + "KT00012345" + GS + "OK" + GS + check + FS)));
    ASSERT_EQ(printer.SetFixedClock({2026, 3, 4, 5, 6, 7}), 0);
    const emutest::ParsedReply time = emutest::ParseReply(Ask(std::string("vw") + FS + "TIME"));
    ASSERT_TRUE(time.ok);
    EXPECT_EQ(emutest::Pieces(time.data, FS)[1].substr(0, 16),
              std::string("20260304050607") + GS + GS);
    const emutest::ParsedReply id = emutest::ParseReply(Ask(std::string("vw") + FS + "ID"));
    ASSERT_TRUE(id.ok);
    EXPECT_EQ(emutest::Pieces(id.data, FS)[1].substr(0, 20),
              std::string("SK0004321") + GS + "000123456" + GS);

    for (const std::string& bad :
         {std::string("vw"), std::string("vw") + FS + "auth", std::string("vw") + FS + "KEY"}) {
        EXPECT_TRUE(Replies(bad, std::string("vw") + FS + "03" + FS + "00C00000")) << bad;
    }
}

TEST_F(EmuCommandTest, SettersRefuseWhatThePrinterCouldNotSayAndKeepTheState) {
    const emu::PrinterState before = printer.State();

    emu::PrinterIdentity id = before.identity;
    id.serialNumber = std::string("12") + FS + "34";  // would split the reply
    EXPECT_EQ(printer.SetIdentity(id), -EINVAL);
    id = before.identity;
    id.modelName = std::string(emu::kMaxIdentityText + 1, 'M');
    EXPECT_EQ(printer.SetIdentity(id), -EINVAL);
    id.modelName = std::string(emu::kMaxIdentityText, 'M');
    EXPECT_EQ(printer.SetIdentity(id), 0);
    ASSERT_EQ(printer.SetIdentity(before.identity), 0);

    emu::HardwareStatus hw = before.hardware;
    for (const char* sensors : {"", "012", "10000000000000000"}) {
        hw.sensors = sensors;
        EXPECT_EQ(printer.SetHardwareStatus(hw), -EINVAL) << sensors;
    }
    hw = before.hardware;
    hw.cutterState = "a\x03";
    EXPECT_EQ(printer.SetHardwareStatus(hw), -EINVAL);

    using Table = std::vector<emu::Currency>;
    EXPECT_EQ(printer.SetCurrencies({}, "RUB"), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies(Table(9, {1, "RUB", 2}), "RUB"), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies({{1, "RUB", 2}, {1, "USD", 2}}, "RUB"), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies({{1, "RUB", 2}, {2, "rub", 2}}, "RUB"), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies({{1, "RUB", 2}}, "USD"), -EINVAL);  // base not in the table
    EXPECT_EQ(printer.SetCurrencies({{1, "RUBL", 2}}, "RUBL"), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies({{10000, "RUB", 2}}, "RUB"), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies({{1, "RUB", 5}}, "RUB"), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies({{1, "", 2}}, ""), -EINVAL);
    EXPECT_EQ(printer.SetCurrencies({{1, "R B", 2}}, "R B"), -EINVAL);

    EXPECT_EQ(printer.SetFixedClock({2025, 2, 29, 12, 0, 0}), -EINVAL);
    EXPECT_EQ(printer.SetFixedClock({2026, 4, 31, 12, 0, 0}), -EINVAL);
    EXPECT_EQ(printer.SetFixedClock({2026, 1, 1, 24, 0, 0}), -EINVAL);
    EXPECT_EQ(printer.SetFixedClock({1969, 12, 31, 0, 0, 0}), -EINVAL);
    EXPECT_EQ(printer.SetClockOffset(emu::kMaxClockOffsetSeconds + 1), -EINVAL);
    EXPECT_EQ(printer.SetClockOffset(-emu::kMaxClockOffsetSeconds - 1), -EINVAL);

    EXPECT_EQ(emu::SaveState(printer.State()), emu::SaveState(before));
    // And the printer still answers as before.
    EXPECT_TRUE(Replies("gx", Ok("gx", std::string("RKMF") + FS + "3.07.21" + FS)));
}

}  // namespace
