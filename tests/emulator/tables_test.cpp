// The programming tables, header, footer and clock of the virtual printer, and the money and
// amount rules every command shares.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "FiscalFixture.h"
#include "Money.h"
#include "PrinterState.h"

namespace {

using emutest::Answer;
using emutest::Parts;
using emutest::Request;
using Fields = std::vector<std::string>;

using EmuTableTest = emutest::FiscalFixture;

TEST_F(EmuTableTest, DepartmentsReadFromTheStartAndWriteAsAWhole) {
    const Answer all = Send("gd", {});
    ASSERT_EQ(all.fields.size(), 5u);
    EXPECT_EQ(all.fields[0], "1");
    EXPECT_EQ(all.Parts(1), (Fields{"1", "A", W("ПРОДУКТЫ")}));
    EXPECT_EQ(all.Parts(4), (Fields{"4", "C", W("УСЛУГИ")}));
    EXPECT_EQ(Send("gd", {"0003"}).fields.size(), 3u);

    std::vector<std::string> sixteen;
    std::string request = "sd";
    for (int i = 0; i < 16; ++i) {
        request += emutest::FS + Parts({std::to_string(i), "B", "D" + std::to_string(i)});
    }
    ASSERT_EQ(Send(request).error, 0u);
    const Answer written = Send("gd", {});
    ASSERT_EQ(written.fields.size(), 17u);
    EXPECT_EQ(written.fields[0], "0");
    EXPECT_EQ(written.Parts(16), (Fields{"15", "B", "D15"}));

    const std::string before = emu::SaveState(printer.State());
    for (const std::string& bad :
         {request + emutest::FS + Parts({"16", "B", "X"}),  // 17 entries
          Request("sd", {Parts({"1", "AB", "X"})}), Request("sd", {Parts({"1", "", "X"})}),
          Request("sd", {Parts({"1", "A", std::string(15, 'N')})}),
          Request("sd", {Parts({"1", "A", "X"}), Parts({"1", "A", "Y"})}),
          Request("sd", {Parts({"10000", "A", "X"})}), Request("sd", {Parts({"1", "A"})}),
          std::string("sd"), Request("gd", {"00001"}), Request("gd", {"1", "2"})}) {
        EXPECT_EQ(Send(bad).error, 3u) << Printable(bad);
    }
    EXPECT_EQ(emu::SaveState(printer.State()), before);
    // A name of fourteen characters is the most a department takes.
    EXPECT_EQ(Error("sd", {Parts({"1", "A", std::string(14, 'N')})}), 0u);
    EXPECT_EQ(Error("as", {"", "1.00", "2"}), 1u);  // no receipt: the order first
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    EXPECT_EQ(Error("as", {"", "1.00", "2"}), 33u);  // department 2 is gone
}

TEST_F(EmuTableTest, CurrenciesWithTheirBaseAndDecimals) {
    ASSERT_EQ(Error("sc", {"byn", Parts({"0", "BYN", "2"}), Parts({"1", "JPY", "0"}),
                           Parts({"2", "KWD", "3"})}),
              0u);
    EXPECT_EQ(Send("gc", {}).fields, (Fields{"0", "byn", Parts({"0", "BYN", "2"}),
                                             Parts({"1", "JPY", "0"}), Parts({"2", "KWD", "3"})}));
    EXPECT_EQ(Error("sc", {"EUR", Parts({"0", "BYN", "2"})}), 35u);  // the base is not there
    EXPECT_EQ(Error("sc", {"", Parts({"0", "BYN", "2"})}), 3u);
    EXPECT_EQ(Error("sc", {"BYN", Parts({"0", "BYN", "5"})}), 3u);
    EXPECT_EQ(Error("sc", {"BYN", Parts({"0", "BYN", "2"}), Parts({"1", "byn", "2"})}), 3u);
    EXPECT_EQ(Error("sc", {"BYN"}), 3u);

    // Amounts follow the decimals of their currency.
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("rb", {"3"}), 0u);
    EXPECT_EQ(Error("ri", {"100.5", "JPY"}), 3u);
    EXPECT_EQ(Error("ri", {"100", "JPY"}), 0u);
    EXPECT_EQ(Error("ri", {"1.125", "KWD"}), 0u);
    EXPECT_EQ(Error("ri", {"1.125"}), 3u);                          // the base has two
    EXPECT_EQ(Error("sc", {"BYN", Parts({"0", "BYN", "2"})}), 1u);  // not inside a document
    ASSERT_EQ(Error("re"), 0u);
    const Answer drawer = Send("ii", {});
    EXPECT_EQ(drawer.Parts(2), (Fields{"JPY", "100", "0", "0", "100"}));
    EXPECT_EQ(drawer.Parts(3), (Fields{"KWD", "1.125", "0.000", "0.000", "1.125"}));
}

TEST_F(EmuTableTest, PaymentFacilitiesHeaderFooterAndTheirLimits) {
    EXPECT_EQ(Send("gp", {}).fields,
              (Fields{"1", Parts({"1", W("КАРТА")}), Parts({"2", W("СЕРТИФИКАТ")})}));
    ASSERT_EQ(Error("sp", {Parts({"5", "VISA"})}), 0u);
    EXPECT_EQ(Send("gp", {"0001"}).fields, (Fields{"5", Parts({"5", "VISA"})}));
    EXPECT_EQ(Send("gp", {"0006"}).fields, (Fields{"6"}));
    std::string nine = "sp";
    for (int i = 1; i <= 9; ++i) {
        nine += emutest::FS + Parts({std::to_string(i), "F"});
    }
    EXPECT_EQ(Send(nine).error, 3u);

    const std::string header = W("ООО \"РОМАШКА\"\nУНП 100000001");
    ASSERT_EQ(Error("sb", {header}), 0u);
    EXPECT_EQ(Send("gb", {}).fields, Fields{header});
    ASSERT_EQ(Error("se", {W("ДО СВИДАНИЯ")}), 0u);
    EXPECT_EQ(Send("ge", {}).fields, Fields{W("ДО СВИДАНИЯ")});
    EXPECT_EQ(Error("sb", {std::string(emu::kMaxHeaderText + 1, 'H')}), 3u);
    EXPECT_EQ(Error("sb", {std::string("a\tb")}), 3u);
    EXPECT_EQ(Error("sb"), 3u);
    // The longest header still comes back in one reply.
    const std::string longest(emu::kMaxHeaderText, 'H');
    ASSERT_EQ(Error("sb", {longest}), 0u);
    EXPECT_EQ(Send("gb", {}).fields, Fields{longest});
    // Lines may end with CR LF; the paper gets them without the CR.
    ASSERT_EQ(Error("sb", {W("ООО \"РОМАШКА\"\r\nУНП 100000001")}), 0u);

    ASSERT_EQ(Error("zb"), 0u);
    SellAndClose("1.00", "1.00");
    EXPECT_NE(Paper().find("       ООО \"РОМАШКА\"\n"), std::string::npos) << Paper();
    EXPECT_NE(Paper().find("УНП 100000001\n"), std::string::npos);
    EXPECT_NE(Paper().find("ДО СВИДАНИЯ"), std::string::npos);
    EXPECT_EQ(Paper().find('\r'), std::string::npos);

    EXPECT_EQ(printer.SetPaymentFacilities({}), -EINVAL);
    EXPECT_EQ(printer.SetDepartments({{1, '\x01', "X"}}), -EINVAL);
    EXPECT_EQ(printer.SetReceiptHeader("a\x1C"), -EINVAL);
    EXPECT_EQ(printer.SetReceiptFooter(""), 0);
    EXPECT_EQ(printer.SetDepartments({{0, 'Z', "FREE"}}), 0);
    EXPECT_EQ(Send("gd", {}).fields, (Fields{"0", Parts({"0", "Z", "FREE"})}));
}

TEST_F(EmuTableTest, SettingTheClock) {
    ASSERT_EQ(Error("st", {Parts({"20271231", "235958"})}), 0u);
    EXPECT_EQ(Send("gt", {}).fields, Fields{Parts({"20271231", "235958"})});
    for (const std::string& bad :
         {Parts({"20270230", "120000"}), Parts({"20271231", "240000"}), Parts({"2027123", "1"}),
          std::string("20271231235958"), Parts({"20271231", "235958", "1"})}) {
        EXPECT_EQ(Error("st", {bad}), 3u) << Printable(bad);
    }
    EXPECT_EQ(Error("st"), 3u);
    // A running clock keeps running from the time set.
    ASSERT_EQ(printer.SetClockOffset(0), 0);
    ASSERT_EQ(Error("st", {Parts({"20300101", "000000"})}), 0u);
    EXPECT_EQ(Send("gt", {}).fields[0].substr(0, 8), "20300101");
    EXPECT_EQ(Error("st", {Parts({"99990101", "000000"})}), 3u);  // beyond the clock's reach
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    EXPECT_EQ(Error("st", {Parts({"20300101", "000000"})}), 1u);
}

TEST(EmuMoney, AmountsAsTheDriverWritesThem) {
    emu::Money value = 7;
    EXPECT_TRUE(emu::ParseAmount("12.5", 2, value));
    EXPECT_EQ(value, 125000);
    EXPECT_TRUE(emu::ParseAmount("-0.05", 2, value));
    EXPECT_EQ(value, -500);
    EXPECT_TRUE(emu::ParseAmount("7", 0, value));
    EXPECT_EQ(value, 70000);
    EXPECT_TRUE(emu::ParseAmount("10000000000", 2, value));
    EXPECT_EQ(value, emu::kMaxFieldAmount);
    value = 7;
    for (const char* bad : {"", "-", ".5", "12.", "1,5", "1.234", "+1", "1e3", " 1", "1 ",
                            "10000000000.01", "99999999999999999999"}) {
        EXPECT_FALSE(emu::ParseAmount(bad, 2, value)) << bad;
        EXPECT_EQ(value, 7);
    }
    EXPECT_EQ(emu::FormatAmount(125000, 2), "12.50");
    EXPECT_EQ(emu::FormatAmount(-500, 2), "-0.05");
    EXPECT_EQ(emu::FormatAmount(-500, 0), "0");
    EXPECT_EQ(emu::FormatAmount(15000, 0), "2");  // halves away from zero
    EXPECT_EQ(emu::FormatAmount(-15000, 0), "-2");
    EXPECT_EQ(emu::FormatAmount(12345, 4), "1.2345");
}

TEST(EmuMoney, PriceTimesQuantityAndRegisterOverflow) {
    emu::Money amount = 0;
    // 6.71 x 3.261 = 21.88131
    EXPECT_TRUE(emu::MultiplyQuantity(67100, 32610, 2, amount));
    EXPECT_EQ(amount, 218800);
    // 0.05 x 0.5 = 0.025, half a kopeck up
    EXPECT_TRUE(emu::MultiplyQuantity(500, 5000, 2, amount));
    EXPECT_EQ(amount, 300);
    EXPECT_TRUE(emu::MultiplyQuantity(-500, 5000, 2, amount));
    EXPECT_EQ(amount, -300);
    amount = 1;
    EXPECT_FALSE(emu::MultiplyQuantity(emu::kMaxFieldAmount, emu::kMaxQuantity, 2, amount));
    EXPECT_EQ(amount, 1);

    emu::Tally tally;
    emu::Money reg = emu::kMaxRegister - 1;
    tally.Add(reg, 1);
    EXPECT_TRUE(tally.ok());
    tally.Add(reg, 1);
    EXPECT_FALSE(tally.ok());
    EXPECT_EQ(reg, emu::kMaxRegister);
    emu::Tally counts;
    uint32_t counter = 0xFFFFFFFFu;
    counts.Count(counter);
    EXPECT_FALSE(counts.ok());
    EXPECT_EQ(counter, 0xFFFFFFFFu);
}

}  // namespace
