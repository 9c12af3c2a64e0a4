// The printer's tables through the component: a table read and written back unchanged is what
// the printer had, rows beyond a table's size left out, arrays that make no table refused before
// anything is sent, names cut to their width, refusals of the printer, and failed reads keeping
// the arrays.
#include <algorithm>

#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

using Numbers = std::vector<USHORT>;

class TableTest : public ConnectedSession {};

// ---- payment facilities ----

TEST_F(TableTest, PaymentFacilitiesReadAndWrittenBackAreThePrintersOwn) {
    Run(member::ReadPaymentFacilityTable);
    EXPECT_EQ(Requests(), Strings{"gp"}) << Printable(Requests());
    EXPECT_EQ(HeldTexts(), (Strings{"КАРТА", "СЕРТИФИКАТ"}));
    EXPECT_EQ(HeldNumbers(), (Numbers{1, 2}));

    printer_.ClearLog();
    Run(member::WritePaymentFacilityTable);
    EXPECT_EQ(Requests(), Strings{"sp" + kFs + "1" + kGs + Cp1251("КАРТА") + kFs + "2" + kGs +
                                  Cp1251("СЕРТИФИКАТ")})
        << Printable(Requests());
    const std::vector<emu::PaymentFacility> facilities = printer_.State().facilities;
    ASSERT_EQ(facilities.size(), 2u);
    EXPECT_EQ(facilities[0].number, 1u);
    EXPECT_EQ(facilities[0].name, Cp1251("КАРТА"));
    EXPECT_EQ(facilities[1].number, 2u);
    EXPECT_EQ(facilities[1].name, Cp1251("СЕРТИФИКАТ"));
}

TEST_F(TableTest, PaymentFacilitiesBeyondEightAreLeftOutAndLongNamesCut) {
    Strings names;
    Numbers numbers;
    for (USHORT i = 1; i <= 10; ++i) {
        names.push_back("Вид оплаты " + std::to_string(i));
        numbers.push_back(i);
    }
    names[0] = "Безналичный расчёт №1";  // 21 characters, 14 go out
    PutItems(names, numbers);
    Run(member::WritePaymentFacilityTable);
    ASSERT_EQ(Requests().size(), 1u);
    const std::string request = Requests()[0];
    EXPECT_EQ(request.rfind("sp" + kFs + "1" + kGs + Cp1251("Безналичный ра") + kFs, 0), 0u)
        << Printable(Requests());
    std::string expected = "sp" + kFs + "1" + kGs + Cp1251("Безналичный ра");
    for (int i = 2; i <= 8; ++i) {
        expected += kFs + std::to_string(i) + kGs + Cp1251("Вид оплаты " + std::to_string(i));
    }
    EXPECT_EQ(request, expected) << Printable(Requests());
    EXPECT_EQ(printer_.State().facilities.size(), 8u);
    // The arrays stay as the client gave them.
    EXPECT_EQ(HeldTexts().size(), 10u);
}

TEST_F(TableTest, ATableOfThreeRowsGivesArraysOfThree) {
    ASSERT_EQ(printer_.SetPaymentFacilities({{3, "A"}, {5, ""}, {7, Cp1251("Чек")}}), 0);
    Run(member::ReadPaymentFacilityTable);
    EXPECT_EQ(HeldTexts(), (Strings{"A", "", "Чек"}));
    EXPECT_EQ(HeldNumbers(), (Numbers{3, 5, 7}));
    VARIANT wide;
    VariantInit(&wide);
    ASSERT_EQ(D().Get(member::IntegerTableItems2, &wide).hr, S_OK);
    ASSERT_EQ(wide.vt, VT_ARRAY | VT_I4);
    LONG upper = -1;
    EXPECT_EQ(SafeArrayGetUBound(wide.parray, 1, &upper), S_OK);
    EXPECT_EQ(upper, 2);
    VariantClear(&wide);
}

// ---- departments ----

TEST_F(TableTest, DepartmentsWrittenBackKeepTheirTaxLetters) {
    const std::vector<emu::Department> before = printer_.State().departments;
    ASSERT_EQ(before.size(), 4u);
    Run(member::ReadDepartmentTable);
    EXPECT_EQ(HeldTexts(), (Strings{"ПРОДУКТЫ", "НАПИТКИ", "ХОЗТОВАРЫ", "УСЛУГИ"}));
    EXPECT_EQ(HeldNumbers(), (Numbers{1, 2, 3, 4}));

    printer_.ClearLog();
    Run(member::WriteDepartmentTable);
    std::string expected = "sd";
    for (size_t i = 0; i < before.size(); ++i) {
        expected +=
            kFs + std::to_string(before[i].number) + kGs + before[i].letter + kGs + before[i].name;
    }
    EXPECT_EQ(Requests(), Strings{expected}) << Printable(Requests());
    const std::vector<emu::Department> after = printer_.State().departments;
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].number, before[i].number);
        EXPECT_EQ(after[i].letter, before[i].letter) << "department " << after[i].number;
        EXPECT_EQ(after[i].name, before[i].name);
    }
}

TEST_F(TableTest, DepartmentsTheDriverWasNotToldOfGetN) {
    // Nothing read yet: every department goes out with N.
    PutItems({"Хлеб", "Молоко"}, {1, 9});
    Run(member::WriteDepartmentTable);
    EXPECT_EQ(Requests(), Strings{"sd" + kFs + "1" + kGs + "N" + kGs + Cp1251("Хлеб") + kFs + "9" +
                                  kGs + "N" + kGs + Cp1251("Молоко")})
        << Printable(Requests());

    // After a read, a known number keeps its letter and a new one gets N.
    ASSERT_EQ(printer_.SetDepartments({{1, 'B', Cp1251("Хлеб")}, {2, 'C', "X"}}), 0);
    Run(member::ReadDepartmentTable);
    PutItems({"Хлеб", "Новый"}, {1, 3});
    printer_.ClearLog();
    Run(member::WriteDepartmentTable);
    EXPECT_EQ(Requests(), Strings{"sd" + kFs + "1" + kGs + "B" + kGs + Cp1251("Хлеб") + kFs + "3" +
                                  kGs + "N" + kGs + Cp1251("Новый")})
        << Printable(Requests());
}

TEST_F(TableTest, SixteenDepartmentsGoOutAndTheSeventeenthIsLeftOut) {
    for (const size_t size : {16u, 17u}) {
        Strings names;
        Numbers numbers;
        for (USHORT i = 0; i < size; ++i) {
            names.push_back("D" + std::to_string(i));
            numbers.push_back(static_cast<USHORT>(100 + i));
        }
        PutItems(names, numbers);
        printer_.ClearLog();
        Run(member::WriteDepartmentTable);
        ASSERT_EQ(Requests().size(), 1u);
        const std::string request = Requests()[0];
        EXPECT_EQ(std::count(request.begin(), request.end(), kFs[0]), 16) << size << " elements";
        EXPECT_EQ(request.substr(request.size() - 9), "115" + kGs + "N" + kGs + "D15")
            << Printable(Requests());
        EXPECT_EQ(printer_.State().departments.size(), 16u);
    }
}

// ---- currencies ----

TEST_F(TableTest, CurrenciesReadAndWrittenBackAreThePrintersOwn) {
    ASSERT_EQ(printer_.SetCurrencies({{643, "RUB", 2}, {840, "USD", 2}, {398, "KZT", 0}}, "RUB"),
              0);
    Run(member::ReadCurrencyTable);
    EXPECT_EQ(Requests(), Strings{"gc"}) << Printable(Requests());
    EXPECT_EQ(TextOf(member::DefaultStringTableItem), "RUB");
    EXPECT_EQ(HeldTexts(), (Strings{"RUB", "USD", "KZT"}));
    // The numbers a client edits are the decimals, as they go back in the write.
    EXPECT_EQ(HeldNumbers(), (Numbers{2, 2, 0}));

    printer_.ClearLog();
    Run(member::WriteCurrencyTable);
    EXPECT_EQ(Requests(),
              Strings{"sc" + kFs + "RUB" + kFs + "643" + kGs + "RUB" + kGs + "2" + kFs + "840" +
                      kGs + "USD" + kGs + "2" + kFs + "398" + kGs + "KZT" + kGs + "0"})
        << Printable(Requests());
    const emu::PrinterState state = printer_.State();
    ASSERT_EQ(state.currencies.size(), 3u);
    EXPECT_EQ(state.currencies[0].number, 643u);
    EXPECT_EQ(state.currencies[1].decimals, 2u);
    EXPECT_EQ(state.currencies[2].number, 398u);
    EXPECT_EQ(state.currencies[2].decimals, 0u);
    EXPECT_EQ(state.baseCurrency, "RUB");
}

TEST_F(TableTest, NewCurrencyCodesAreNumberedByTheirRowsUnlessTaken) {
    // Twelve codes the printer does not know: eight rows, numbered 0 to 7.
    Strings codes;
    Numbers decimals;
    for (int i = 0; i < 12; ++i) {
        codes.push_back(std::string("C") + static_cast<char>('A' + i) + "X");
        decimals.push_back(static_cast<USHORT>(i % 3));
    }
    PutItems(codes, decimals);
    PutText(member::DefaultStringTableItem, "CBX");
    Run(member::WriteCurrencyTable);
    std::string expected = "sc" + kFs + "CBX";
    for (int i = 0; i < 8; ++i) {
        expected += kFs + std::to_string(i) + kGs + codes[static_cast<size_t>(i)] + kGs +
                    std::to_string(i % 3);
    }
    EXPECT_EQ(Requests(), Strings{expected}) << Printable(Requests());
    EXPECT_EQ(printer_.State().currencies.size(), 8u);
    EXPECT_EQ(printer_.State().baseCurrency, "CBX");

    // A known code keeps its number (whatever its case), so a new one at a row whose index is
    // taken gets the lowest number free.
    ASSERT_EQ(printer_.SetCurrencies({{1, "RUB", 2}, {0, "USD", 2}}, "RUB"), 0);
    Run(member::ReadCurrencyTable);
    PutItems({"KZT", "rub", "USD"}, {0, 2, 2});
    printer_.ClearLog();
    Run(member::WriteCurrencyTable);
    EXPECT_EQ(Requests(),
              Strings{"sc" + kFs + "RUB" + kFs + "2" + kGs + "KZT" + kGs + "0" + kFs + "1" + kGs +
                      "rub" + kGs + "2" + kFs + "0" + kGs + "USD" + kGs + "2"})
        << Printable(Requests());
}

TEST_F(TableTest, ACurrencyTableWithoutItsBaseCodeIsRefusedUnsent) {
    Run(member::ReadCurrencyTable);
    PutText(member::DefaultStringTableItem, "");
    printer_.ClearLog();
    EXPECT_EQ(Result(member::WriteCurrencyTable), E_INVALIDARG);
    EXPECT_EQ(ResultCode(), 0);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
}

TEST_F(TableTest, ABaseCodeThePrinterDoesNotListIsItsRefusal) {
    PutItems({"RUB", "USD"}, {2, 2});
    PutText(member::DefaultStringTableItem, "EUR");
    EXPECT_EQ(Result(member::WriteCurrencyTable), Failure(-9235));
    EXPECT_EQ(ResultCode(), -9235);
    EXPECT_EQ(printer_.State().currencies.size(), 3u);
}

// ---- arrays that make no table ----

TEST_F(TableTest, ArraysThatMakeNoTableAreRefusedBeforeAnythingIsSent) {
    const Member writes[] = {member::WritePaymentFacilityTable, member::WriteDepartmentTable,
                             member::WriteCurrencyTable};
    PutText(member::DefaultStringTableItem, "RUB");
    // A new object holds no arrays.
    for (const Member write : writes) {
        EXPECT_EQ(Result(write), E_INVALIDARG) << "Member " << write;
        EXPECT_EQ(ResultCode(), 0);
    }
    struct Case {
        const char* what;
        Strings texts;
        Numbers numbers;
    };
    const Case cases[] = {
        {"different lengths", {"A", "B"}, {1}},
        {"no numbers", {"A"}, {}},
        {"empty arrays", {}, {}},
    };
    for (const Case& c : cases) {
        PutItems(c.texts, c.numbers);
        for (const Member write : writes) {
            EXPECT_EQ(Result(write), E_INVALIDARG) << c.what << ", Member " << write;
            EXPECT_EQ(ResultCode(), 0);
        }
    }
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
    EXPECT_EQ(printer_.State().departments.size(), 4u);
}

TEST_F(TableTest, ARefusedPutKeepsTheHeldArrays) {
    PutItems({"A", "B"}, {1, 2});
    SAFEARRAY* wide = SafeArrayCreateVector(VT_I4, 0, 2);
    EXPECT_EQ(Outcome(D().Put(member::IntegerTableItems, client::Array(wide))), E_INVALIDARG);
    SAFEARRAYBOUND bound = {2, 1};
    SAFEARRAY* fromOne = SafeArrayCreate(VT_UI2, 1, &bound);
    EXPECT_EQ(Outcome(D().Put(member::IntegerTableItems, client::Array(fromOne))), E_INVALIDARG);
    EXPECT_EQ(HeldNumbers(), (Numbers{1, 2}));
    Run(member::WritePaymentFacilityTable);
    EXPECT_EQ(Requests(), Strings{"sp" + kFs + "1" + kGs + "A" + kFs + "2" + kGs + "B"});
}

// ---- the printer's and the layer's refusals ----

TEST_F(TableTest, NamesThePrinterCannotTakeAreRefusedWithTheirCodes) {
    // A separator in a name cannot go on the wire at all.
    PutItems({"A\x1D"
              "B"},
             {1});
    EXPECT_EQ(Result(member::WritePaymentFacilityTable), Failure(-9002));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());

    // Two rows of the same number reach the printer, which refuses them.
    PutItems({"A", "B"}, {4, 4});
    const HRESULT hr = Result(member::WriteDepartmentTable);
    EXPECT_EQ(Requests().size(), 1u);
    EXPECT_LT(ResultCode(), -9200);
    EXPECT_EQ(hr, Failure(ResultCode()));
    EXPECT_FALSE(Description().empty());
    EXPECT_EQ(printer_.State().departments.size(), 4u);
}

TEST_F(TableTest, AFailedReadKeepsTheArraysAndTheBaseCode) {
    PutItems({"keep"}, {42});
    PutText(member::DefaultStringTableItem, "XYZ");
    const Member reads[] = {member::ReadPaymentFacilityTable, member::ReadDepartmentTable,
                            member::ReadCurrencyTable};
    for (const Member read : reads) {
        FailNext(read == member::ReadPaymentFacilityTable ? "gp"
                 : read == member::ReadDepartmentTable    ? "gd"
                                                          : "gc",
                 1);
        EXPECT_EQ(Result(read), Failure(-9201)) << "Member " << read;
        EXPECT_EQ(ResultCode(), -9201);
        EXPECT_EQ(HeldTexts(), Strings{"keep"});
        EXPECT_EQ(HeldNumbers(), Numbers{42});
        EXPECT_EQ(TextOf(member::DefaultStringTableItem), "XYZ");
    }
}

// ---- receipt header and footer ----

TEST_F(TableTest, HeaderAndFooterInCyrillicGoAndComeBackAsTheyAre) {
    const std::string header = "ООО «Ромашка»\nг. Минск, пр. Независимости, 4";
    const std::string footer = "Спасибо за покупку!\nЖдём вас снова";
    PutText(member::ReceiptHeader, header);
    Run(member::WriteReceiptHeader);
    PutText(member::ReceiptFooter, footer);
    Run(member::WriteReceiptFooter);
    EXPECT_EQ(Requests(), (Strings{"sb" + kFs + Cp1251(header), "se" + kFs + Cp1251(footer)}))
        << Printable(Requests());
    EXPECT_EQ(printer_.State().header, Cp1251(header));
    EXPECT_EQ(printer_.State().footer, Cp1251(footer));

    PutText(member::ReceiptHeader, "");
    PutText(member::ReceiptFooter, "");
    printer_.ClearLog();
    Run(member::ReadReceiptHeader);
    Run(member::ReadReceiptFooter);
    // The width is known since Connect: no "gw".
    EXPECT_EQ(Requests(), (Strings{"gb", "ge"})) << Printable(Requests());
    EXPECT_EQ(TextOf(member::ReceiptHeader), header);
    EXPECT_EQ(TextOf(member::ReceiptFooter), footer);
}

TEST_F(TableTest, AHeaderLongerThanHalfAKilobyteReadsBackWhole) {
    std::string header;
    for (int line = 0; line < 20; ++line) {
        header += "Строка " + std::to_string(line) + " заголовка чека, довольно длинная\n";
    }
    header.pop_back();
    ASSERT_GT(Cp1251(header).size(), 800u);
    ASSERT_LT(Cp1251(header).size(), 1004u);
    ASSERT_EQ(printer_.SetReceiptHeader(Cp1251(header)), 0);
    Run(member::ReadReceiptHeader);
    EXPECT_EQ(TextOf(member::ReceiptHeader), header);
    printer_.ClearLog();
    Run(member::WriteReceiptHeader);
    EXPECT_EQ(Requests(), Strings{"sb" + kFs + Cp1251(header)});
}

TEST_F(TableTest, AnEmptyHeaderIsNotSentAndAFailedReadKeepsTheText) {
    PutText(member::ReceiptHeader, "");
    EXPECT_EQ(Result(member::WriteReceiptHeader), Failure(-9002));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());

    PutText(member::ReceiptFooter, "Старый текст");
    FailNext("ge", 3);
    EXPECT_EQ(Result(member::ReadReceiptFooter), Failure(-9203));
    EXPECT_EQ(TextOf(member::ReceiptFooter), "Старый текст");
}

}  // namespace

// Without a width from Connect the reads ask for it first, and its failure is not theirs.
class TableWithoutWidthTest : public PrinterSession {
  protected:
    void Arrange() override {
        FailNext("gw", 1);
        Connect();
    }
};

TEST_F(TableWithoutWidthTest, HeaderReadAsksForTheWidthFirst) {
    ASSERT_EQ(D().GetUI2(member::PrinterWidth), 0);
    FailNext("gw", 1);
    Run(member::ReadReceiptFooter);
    EXPECT_EQ(Requests(), (Strings{"gw", "ge"})) << Printable(Requests());
    EXPECT_EQ(ResultCode(), 0);
    EXPECT_EQ(D().GetUI2(member::PrinterWidth), 0);
    printer_.ClearLog();
    Run(member::ReadReceiptHeader);
    EXPECT_EQ(Requests(), (Strings{"gw", "gb"})) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::PrinterWidth), 48);
    EXPECT_EQ(TextOf(member::ReceiptHeader), testsupport::Utf8(printer_.State().header));
    printer_.ClearLog();
    Run(member::ReadReceiptHeader);
    EXPECT_EQ(Requests(), Strings{"gb"}) << Printable(Requests());
}
