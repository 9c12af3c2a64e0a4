// Table and clock commands on the virtual printer: what it received and what it reads back.
#include <gtest/gtest.h>

#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "Brontal.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

const std::string FS(1, '\x1C');
const std::string GS(1, '\x1D');

using TablesOnPrinter = PrinterFixture;

TEST_F(TablesOnPrinter, SixteenDepartmentsGoOutAndComeBackSeventeenDoNot) {
    AttachAndClear();
    std::vector<DepartmentEntry> entries(17);
    std::string expected = "sd" + FS;
    for (int i = 0; i < 17; ++i) {
        entries[i].number = i + 1;
        entries[i].taxGroup = i % 2 ? 'B' : 'A';
        std::snprintf(entries[i].name, sizeof entries[i].name, "Dept %02d", i + 1);
        if (i < 16) {
            expected += (i ? FS : "") + std::to_string(i + 1) + GS + entries[i].taxGroup + GS +
                        entries[i].name;
        }
    }
    EXPECT_EQ(layer.WriteDepartments(entries.data(), 17), kBrontalBadArguments);
    EXPECT_TRUE(printer.Frames().empty());
    ASSERT_EQ(layer.WriteDepartments(entries.data(), 16), 0);
    EXPECT_EQ(printer.Requests(), std::vector<std::string>{expected});

    DepartmentEntry read[16];
    LONG start = 0;
    int count = 0;
    ASSERT_EQ(layer.ReadDepartments(&start, read, 16, &count), 0);
    ASSERT_EQ(count, 16);
    EXPECT_EQ(read[15].number, 16);
    EXPECT_EQ(read[15].taxGroup, 'B');
    EXPECT_STREQ(read[15].name, "Dept 16");
}

TEST_F(TablesOnPrinter, CurrenciesFacilitiesAndTexts) {
    AttachAndClear();
    CurrencyEntry currencies[2] = {{1, "UAH", 2}, {2, "JPY", 0}};
    ASSERT_EQ(layer.WriteCurrencies("jpy", currencies, 2), 0);
    EXPECT_EQ(printer.Requests().back(), "sc" + FS + "jpy" + FS + "1" + GS + "UAH" + GS + "2" + FS +
                                             "2" + GS + "JPY" + GS + "0");
    ASSERT_EQ(layer.LoadCurrencyTable(), 0);
    ASSERT_EQ(layer.CurrencyCount(), 2);
    EXPECT_STREQ(layer.Currency(layer.CurrentCurrency())->name, "JPY");

    const PaymentFacilityEntry facilities[] = {{1, "Card"}, {4, "Voucher"}};
    ASSERT_EQ(layer.WritePaymentFacilities(facilities, 2), 0);
    PaymentFacilityEntry read[8];
    LONG start = 0;
    int count = 0;
    ASSERT_EQ(layer.ReadPaymentFacilities(&start, read, 8, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(read[1].number, 4);
    EXPECT_STREQ(read[1].name, "Voucher");

    const std::string header = testsupport::Cp1251("Магазин \"Лето\"\nКасса 2");
    ASSERT_EQ(layer.WriteReceiptHeader(header.c_str()), 0);
    char text[1024] = "";
    ASSERT_EQ(layer.ReadReceiptHeader(text, sizeof text), 0);
    EXPECT_EQ(std::string(text), header);
    ASSERT_EQ(layer.WriteReceiptFooter("Thank you"), 0);
    ASSERT_EQ(layer.ReadReceiptFooter(text, sizeof text), 0);
    EXPECT_STREQ(text, "Thank you");
}

TEST_F(TablesOnPrinter, ClockSetForSeventhDecember) {
    AttachAndClear();
    const SYSTEMTIME time = SystemTime(2026, 12, 7, 1, 52, 7);
    ASSERT_EQ(layer.SetDateTime(&time), 0);
    EXPECT_EQ(printer.Requests(), std::vector<std::string>{"st" + FS + "20261207" + GS + "015207"});
    char date[16] = "";
    char clock[16] = "";
    ASSERT_EQ(layer.ReadClock(date, sizeof date, clock, sizeof clock), 0);
    EXPECT_STREQ(date, "20261207");
    EXPECT_EQ(std::string(clock).substr(0, 3), "015");
}

}  // namespace
}  // namespace prottest
