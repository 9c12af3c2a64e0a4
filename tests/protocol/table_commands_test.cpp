// Table and clock commands against a scripted printer: the start numbers, list replies and their
// limits, the current currency, what the writes put on the wire and what they refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using Tables = PeerFixture;
using Payloads = std::vector<std::string>;

std::string Departments(int count) {
    std::string data = std::to_string(count) + FS;
    for (int i = 1; i <= count; ++i) {
        data += std::to_string(i) + GS + "A" + GS + "Dept " + std::to_string(i) + FS;
    }
    return data;
}

DepartmentEntry Department(LONG number, char group, const char* name) {
    DepartmentEntry entry = {};
    entry.number = number;
    entry.taxGroup = group;
    // Cut to the entry's room; the entry was zeroed, so the name stays terminated.
    std::memcpy(entry.name, name, std::min(std::strlen(name), sizeof entry.name - 1));
    return entry;
}

TEST_F(Tables, DepartmentRepliesParsedEntryByEntry) {
    const std::string bread = testsupport::Cp1251("Хлеб");
    Play({ReplyWith(0, 0x00C0, 0,
                    "7" + FS + "1" + GS + "A" + GS + bread + FS + "2" + GS + GS + "Milk" + FS +
                        "3" + GS + "B" + GS + "A name far too long" + FS)});
    DepartmentEntry entries[16];
    std::memset(entries, 0x55, sizeof entries);
    LONG start = 0;
    int count = -1;
    ASSERT_EQ(layer.ReadDepartments(&start, entries, 16, &count), 0);
    EXPECT_EQ(peer.Payloads(), Payloads{"gd"});
    EXPECT_EQ(start, 7);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(entries[0].number, 1);
    EXPECT_EQ(entries[0].taxGroup, 'A');
    EXPECT_EQ(std::string(entries[0].name), bread);
    // No letter: the printer's default group.
    EXPECT_EQ(entries[1].taxGroup, 'N');
    EXPECT_STREQ(entries[1].name, "Milk");
    EXPECT_STREQ(entries[2].name, "A name far too");  // fourteen characters
    // Entries past the count are cleared, not left as they were.
    EXPECT_EQ(entries[3].number, 0);
    EXPECT_EQ(entries[15].name[0], '\0');
}

TEST_F(Tables, DepartmentListsEndAtTheCapacityOrAnIncompleteEntry) {
    DepartmentEntry entries[16];
    LONG start = 0;
    int count = 0;
    Play({ReplyWith(0, 0x00C0, 0, Departments(16))});
    ASSERT_EQ(layer.ReadDepartments(&start, entries, 16, &count), 0);
    EXPECT_EQ(count, 16);
    EXPECT_STREQ(entries[15].name, "Dept 16");

    Play({ReplyWith(0, 0x00C0, 0, Departments(16))});
    ASSERT_EQ(layer.ReadDepartments(&start, entries, 5, &count), 0);
    EXPECT_EQ(count, 5);

    // The second entry has no name field: the list ends before it, even though a third follows.
    Play({ReplyWith(0, 0x00C0, 0,
                    "1" + FS + "1" + GS + "A" + GS + "One" + FS + "2" + GS + "B" + FS + "3" + GS +
                        "C" + GS + "Three" + FS)});
    ASSERT_EQ(layer.ReadDepartments(&start, entries, 16, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(entries[1].number, 0);

    // An empty name is still a name.
    Play({ReplyWith(0, 0x00C0, 0, "1" + FS + "4" + GS + "A" + GS + FS)});
    ASSERT_EQ(layer.ReadDepartments(&start, entries, 16, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(entries[0].number, 4);

    // Without the leading number nothing is read, and the start stays.
    start = 9;
    Play({ReplyWith(0, 0x00C0, 0, FS + "1" + GS + "A" + GS + "One" + FS)});
    ASSERT_EQ(layer.ReadDepartments(&start, entries, 16, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(start, 9);
}

TEST_F(Tables, StartNumbersGoOutAsFourDigits) {
    DepartmentEntry departments[4];
    PaymentFacilityEntry facilities[4];
    CurrencyEntry currencies[4];
    int count = 0;
    LONG start = 5;
    EXPECT_EQ(layer.ReadDepartments(&start, departments, 4, &count), 0);
    start = 12;
    EXPECT_EQ(layer.ReadPaymentFacilities(&start, facilities, 4, &count), 0);
    start = 0;
    EXPECT_EQ(layer.ReadPaymentFacilities(&start, facilities, 4, &count), 0);
    start = 3;
    EXPECT_EQ(layer.ReadCurrencies(&start, nullptr, 0, currencies, 4, &count), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"gd" + FS + "0005", "gp" + FS + "0012", "gp", "gc" + FS + "0003"}));

    peer.ClearRequests();
    start = -1;
    EXPECT_EQ(layer.ReadDepartments(&start, departments, 4, &count), kBrontalBadArguments);
    start = 0;
    EXPECT_EQ(layer.ReadDepartments(&start, nullptr, 4, &count), kBrontalBadArguments);
    EXPECT_EQ(layer.ReadDepartments(&start, departments, 4, nullptr), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
}

TEST_F(Tables, PaymentFacilitiesAndAFailedRead) {
    Play({ReplyWith(0, 0x00C0, 0,
                    "2" + FS + "1" + GS + "Card" + FS + "2" + GS + testsupport::Cp1251("Кредит") +
                        FS + "x" + GS + "Bad" + FS)});
    PaymentFacilityEntry entries[8];
    LONG start = 0;
    int count = 0;
    ASSERT_EQ(layer.ReadPaymentFacilities(&start, entries, 8, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(entries[1].number, 2);
    EXPECT_EQ(std::string(entries[1].name), testsupport::Cp1251("Кредит"));

    // A refusal clears the entries and the count.
    Play({ReplyWith(0x03, 0x00C0)});
    EXPECT_EQ(layer.ReadPaymentFacilities(&start, entries, 8, &count), -3 - 9200);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(entries[0].number, 0);
}

TEST_F(Tables, CurrencyReadsReplaceTheLayersTableAndPickTheBaseCurrency) {
    // Attaching loaded USD and UAH with "uah" as the base: UAH is current.
    ASSERT_EQ(layer.CurrencyCount(), 2);
    EXPECT_EQ(layer.CurrentCurrency(), 1);

    Play({ReplyWith(0, 0x00C0, 0,
                    "3" + FS + "eur" + FS + "1" + GS + "USD" + GS + "2" + FS + "2" + GS + "EUR" +
                        GS + "2" + FS + "3" + GS + "JPY" + GS + "0" + FS)});
    char base[8] = "old";
    CurrencyEntry entries[2];
    LONG start = 0;
    int count = 0;
    ASSERT_EQ(layer.ReadCurrencies(&start, base, sizeof base, entries, 2, &count), 0);
    EXPECT_STREQ(base, "eur");
    EXPECT_EQ(start, 3);
    // The caller asked for two; the layer keeps all three.
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(entries[1].name, "EUR");
    ASSERT_EQ(layer.CurrencyCount(), 3);
    EXPECT_EQ(layer.CurrentCurrency(), 1);
    EXPECT_EQ(layer.Currency(2)->decimals, 0);
    EXPECT_EQ(layer.FindCurrency("jpy"), 2);

    // A base code that names no entry leaves the current index where it was.
    Play({ReplyWith(0, 0x00C0, 0,
                    "2" + FS + "GBP" + FS + "1" + GS + "USD" + GS + "2" + FS + "2" + GS + "EUR" +
                        GS + "2" + FS)});
    ASSERT_EQ(layer.LoadCurrencyTable(), 0);
    EXPECT_EQ(peer.Payloads().back(), "gc");
    EXPECT_EQ(layer.CurrencyCount(), 2);
    EXPECT_EQ(layer.CurrentCurrency(), 1);

    // A refused read keeps the table.
    Play({ReplyWith(0x05, 0x00C0)});
    EXPECT_EQ(layer.LoadCurrencyTable(), -5 - 9200);
    EXPECT_EQ(layer.CurrencyCount(), 2);
}

TEST_F(Tables, DepartmentNameOfASale) {
    Play({ReplyWith(0, 0x00C0, 0, Departments(3))});
    char name[32] = "";
    ASSERT_EQ(layer.ReadDepartmentName(2, name, sizeof name), 0);
    EXPECT_STREQ(name, "Dept 2");
    EXPECT_EQ(peer.Payloads(), Payloads{"gd"});

    Play({ReplyWith(0, 0x00C0, 0, Departments(3))});
    EXPECT_EQ(layer.ReadDepartmentName(7, name, sizeof name), kBrontalBadArguments);
    EXPECT_EQ(peer.Payloads().size(), 2U);

    // Numbers the lookup cannot hold are refused before asking.
    EXPECT_EQ(layer.ReadDepartmentName(16, name, sizeof name), kBrontalBadArguments);
    EXPECT_EQ(layer.ReadDepartmentName(-1, name, sizeof name), kBrontalBadArguments);
    EXPECT_EQ(peer.Payloads().size(), 2U);
}

TEST_F(Tables, DepartmentWritesOfOneToSixteenEntries) {
    std::vector<DepartmentEntry> entries;
    for (int i = 1; i <= 17; ++i) {
        entries.push_back(Department(i, 'N', ("D" + std::to_string(i)).c_str()));
    }
    EXPECT_EQ(layer.WriteDepartments(entries.data(), 17), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteDepartments(entries.data(), 0), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteDepartments(nullptr, 1), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    ASSERT_EQ(layer.WriteDepartments(entries.data(), 16), 0);
    std::string expected = "sd" + FS;
    for (int i = 1; i <= 16; ++i) {
        expected += (i > 1 ? FS : "") + std::to_string(i) + GS + "N" + GS + "D" + std::to_string(i);
    }
    ASSERT_EQ(peer.Payloads(), Payloads{expected});
    const std::string sent = peer.Payloads()[0];
    EXPECT_EQ(std::count(sent.begin(), sent.end(), '\x1C'), 16);  // after "sd" and 15 between

    // A separator inside a name would shift every field after it.
    peer.ClearRequests();
    entries[0] = Department(1, 'N', ("Bad" + GS + "name").c_str());
    EXPECT_EQ(layer.WriteDepartments(entries.data(), 1), kBrontalBadArguments);
    entries[0] = Department(-1, 'N', "Neg");
    EXPECT_EQ(layer.WriteDepartments(entries.data(), 1), kBrontalBadArguments);
    entries[0] = Department(1, '\0', "No group");
    EXPECT_EQ(layer.WriteDepartments(entries.data(), 1), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    // A name that fills its record without a terminator goes out cut at fourteen.
    DepartmentEntry full = Department(3, 'B', "");
    std::memset(full.name, 'x', sizeof full.name);
    ASSERT_EQ(layer.WriteDepartments(&full, 1), 0);
    EXPECT_EQ(peer.Payloads(), Payloads{"sd" + FS + "3" + GS + "B" + GS + std::string(14, 'x')});
}

TEST_F(Tables, CurrencyWritesBecomeTheLayersTable) {
    CurrencyEntry entries[9] = {};
    const char* codes[] = {"USD", "EUR", "RUB", "GBP", "PLN", "CHF", "CZK", "JPY", "CNY"};
    for (int i = 0; i < 9; ++i) {
        entries[i].code = i;
        std::strcpy(entries[i].name, codes[i]);
        entries[i].decimals = i == 7 ? 0 : 2;
    }
    EXPECT_EQ(layer.WriteCurrencies("EUR", entries, 9), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteCurrencies("", entries, 2), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteCurrencies(nullptr, entries, 2), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteCurrencies("EUR", entries, 0), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    // A refusal leaves the table that attaching loaded.
    Play({ReplyWith(0x03, 0x00C0)});
    EXPECT_EQ(layer.WriteCurrencies("eur", entries, 3), -3 - 9200);
    EXPECT_EQ(layer.CurrencyCount(), 2);
    EXPECT_STREQ(layer.Currency(1)->name, "UAH");

    peer.ClearRequests();
    ASSERT_EQ(layer.WriteCurrencies("eur", entries, 8), 0);
    std::string expected = "sc" + FS + "eur";
    for (int i = 0; i < 8; ++i) {
        expected += FS + std::to_string(i) + GS + codes[i] + GS + (i == 7 ? "0" : "2");
    }
    EXPECT_EQ(peer.Payloads(), Payloads{expected});
    EXPECT_EQ(layer.CurrencyCount(), 8);
    EXPECT_EQ(layer.CurrentCurrency(), 1);
    EXPECT_EQ(layer.FindCurrency("JPY"), 7);
}

TEST_F(Tables, PaymentFacilityWritesOfOneToEightEntries) {
    PaymentFacilityEntry entries[9] = {};
    for (int i = 0; i < 9; ++i) {
        entries[i].number = i + 1;
        std::strcpy(entries[i].name, ("P" + std::to_string(i + 1)).c_str());
    }
    EXPECT_EQ(layer.WritePaymentFacilities(entries, 9), kBrontalBadArguments);
    EXPECT_EQ(layer.WritePaymentFacilities(entries, 0), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    ASSERT_EQ(layer.WritePaymentFacilities(entries, 2), 0);
    EXPECT_EQ(peer.Payloads(), Payloads{"sp" + FS + "1" + GS + "P1" + FS + "2" + GS + "P2"});
}

TEST_F(Tables, HeaderAndFooterTexts) {
    const std::string header = testsupport::Cp1251("^2ООО \"Ромашка\"\n^1Касса 1\n");
    ASSERT_EQ(layer.WriteReceiptHeader(header.c_str()), 0);
    ASSERT_EQ(layer.WriteReceiptFooter("Thank you"), 0);
    // The largest text one frame carries: "sb", FS and 1018 bytes.
    ASSERT_EQ(layer.WriteReceiptFooter(std::string(1018, 'f').c_str()), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"sb" + FS + header, "se" + FS + "Thank you",
                                         "se" + FS + std::string(1018, 'f')}));

    peer.ClearRequests();
    EXPECT_EQ(layer.WriteReceiptHeader(""), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteReceiptHeader(nullptr), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteReceiptFooter(std::string(1019, 'f').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteReceiptFooter(("a" + FS + "b").c_str()), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    Play({ReplyWith(0, 0x00C0, 0, header + FS + "ignored")});
    char text[1024] = "";
    ASSERT_EQ(layer.ReadReceiptHeader(text, sizeof text), 0);
    EXPECT_EQ(std::string(text), header);
    Play({ReplyWith(0, 0x00C0, 0, "Bye")});
    ASSERT_EQ(layer.ReadReceiptFooter(text, 3), 0);
    EXPECT_STREQ(text, "By");
    EXPECT_EQ(peer.Payloads(), (Payloads{"gb", "ge"}));
}

TEST_F(Tables, ClockSetting) {
    SYSTEMTIME time = SystemTime(2026, 12, 7, 1, 52, 7);
    ASSERT_EQ(layer.SetDateTime(&time), 0);
    time = SystemTime(2028, 2, 29, 23, 59, 59);
    ASSERT_EQ(layer.SetDateTime(&time), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"st" + FS + "20261207" + GS + "015207",
                                         "st" + FS + "20280229" + GS + "235959"}));

    peer.ClearRequests();
    EXPECT_EQ(layer.SetDateTime(nullptr), kBrontalBadArguments);
    const SYSTEMTIME bad[] = {
        {2027, 2, 0, 29, 0, 0, 0, 0},  // no 29 February in 2027
        {2026, 13, 0, 1, 0, 0, 0, 0},  // month
        {2026, 4, 0, 31, 0, 0, 0, 0},  // 31 April
        {2026, 1, 0, 0, 0, 0, 0, 0},   // day 0
        {2026, 1, 0, 1, 24, 0, 0, 0},  // hour
        {2026, 1, 0, 1, 0, 60, 0, 0},  // minute
        {2026, 1, 0, 1, 0, 0, 60, 0},  // second
        {10000, 1, 0, 1, 0, 0, 0, 0},  // five digits of year
    };
    for (const SYSTEMTIME& t : bad) {
        EXPECT_EQ(layer.SetDateTime(&t), kBrontalBadArguments);
    }
    EXPECT_TRUE(peer.Requests().empty());
}

}  // namespace
}  // namespace prottest
