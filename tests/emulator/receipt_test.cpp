// Documents on the virtual printer: their stages and status bits, article lines in every field
// form the driver sends, corrections, payments, and what the printer refuses.
#include <gtest/gtest.h>

#include <string>

#include "FiscalFixture.h"
#include "PrinterState.h"

namespace {

using emutest::Answer;
using emutest::Parts;
using emutest::Request;

constexpr uint16_t kDayOpen = 0x0001;
constexpr uint16_t kReceiptOpen = 0x0002;
constexpr uint16_t kReadyForTotal = 0x0008;

class EmuReceiptTest : public emutest::FiscalFixture {
  protected:
    void OpenDay() { ASSERT_EQ(Error("zb"), 0u); }

    // The failing request changes nothing the printer keeps.
    ::testing::AssertionResult Refused(const std::string& payload, unsigned error) {
        const std::string before = emu::SaveState(printer.State());
        const Answer answer = Send(payload);
        if (!answer.ok || answer.error != error) {
            return ::testing::AssertionFailure()
                   << Printable(payload) << " answered " << answer.error << ", not " << error;
        }
        if (emu::SaveState(printer.State()) != before) {
            return ::testing::AssertionFailure() << Printable(payload) << " changed the state";
        }
        return ::testing::AssertionSuccess();
    }

    std::vector<std::string> Totals() { return Send("kg", {}).fields; }
};

TEST_F(EmuReceiptTest, StatusBitsFollowTheStagesOfASale) {
    EXPECT_EQ(Send("gs", {}).status, 0x00C0);
    OpenDay();
    EXPECT_EQ(Send("gs", {}).status, 0x00C0 | kDayOpen);
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    EXPECT_EQ(Send("gs", {}).status, 0x00C0 | kDayOpen | kReceiptOpen);
    ASSERT_EQ(Error("as", {W("Хлеб"), "12.50", "1"}), 0u);
    EXPECT_EQ(Send("gs", {}).status & kReadyForTotal, 0);

    const Answer total = Send("rt", {"12.5"});
    ASSERT_EQ(total.error, 0u);
    EXPECT_EQ(total.fields, std::vector<std::string>{"12.50"});
    EXPECT_EQ(total.status, 0x00C0 | kDayOpen | kReceiptOpen | kReadyForTotal);
    // A repeated total answers the same and prints nothing more.
    EXPECT_EQ(Send("rt", {"12.50"}).fields, std::vector<std::string>{"12.50"});

    ASSERT_EQ(Error("rc", {"20.00"}), 0u);
    EXPECT_EQ(Totals(), (std::vector<std::string>{"12.50", "20.00"}));
    const Answer end = Send("re", {});
    ASSERT_EQ(end.error, 0u);
    EXPECT_EQ(end.status, 0x00C0 | kDayOpen);
    EXPECT_EQ(Send("gn", {}).fields, (std::vector<std::string>{"1", "1/1", "1"}));
    // After the document the receipt requests show nothing.
    EXPECT_EQ(Totals(), (std::vector<std::string>{"0.00", "0.00"}));
}

TEST_F(EmuReceiptTest, CommandsOutOfOrderAreRefusedWithError1AndChangeNothing) {
    using emutest::FS;
    EXPECT_TRUE(Refused(Request("rb", {"1"}), 1));  // no day open
    EXPECT_TRUE(Refused("ze", 1));
    EXPECT_TRUE(Refused(Request("as", {"A", "1.00", "1"}), 1));
    EXPECT_TRUE(Refused(Request("rt", {"1.00"}), 1));
    EXPECT_TRUE(Refused("re", 1));
    EXPECT_TRUE(Refused(Request("pl", {"0", "x"}), 1));
    // A text document needs no day, and nothing else may go into it.
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    EXPECT_TRUE(Refused(Request("as", {"A", "1.00", "1"}), 1));
    EXPECT_TRUE(Refused("zb", 1));
    EXPECT_TRUE(Refused(Request("rb", {"0"}), 1));
    ASSERT_EQ(Error("re"), 0u);

    OpenDay();
    EXPECT_TRUE(Refused("zb", 1));
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    EXPECT_TRUE(Refused(Request("rb", {"2"}), 1));
    EXPECT_TRUE(Refused("ze", 1));
    EXPECT_TRUE(Refused("zx", 1));
    EXPECT_TRUE(Refused(Request("wi", {"Ivanova"}), 1));
    EXPECT_TRUE(Refused(Request("sd", {Parts({"1", "A", "X"})}), 1));
    EXPECT_TRUE(Refused(Request("ri", {"10.00"}), 1));           // cash income in a sale
    EXPECT_TRUE(Refused(Request("ad", {"A", "1.00", "1"}), 1));  // no article yet
    ASSERT_EQ(Error("as", {"A", "5.00", "1"}), 0u);
    EXPECT_TRUE(Refused(Request("rc", {"5.00"}), 1));  // not totalled
    EXPECT_TRUE(Refused("ct", 1));
    EXPECT_TRUE(Refused("re", 1));
    ASSERT_EQ(Error("rt", {"5.00"}), 0u);
    EXPECT_TRUE(Refused(Request("as", {"B", "1.00", "1"}), 1));
    EXPECT_TRUE(Refused(Request("ad", {"A", "1.00", "1"}), 1));
    ASSERT_EQ(Error("rc", {"2.00"}), 0u);
    EXPECT_TRUE(Refused("re", 1));  // not paid in full
    EXPECT_TRUE(Refused("ct", 1));  // paid already
    EXPECT_TRUE(Refused(Request("rd", {"", "1.00"}), 1));
    ASSERT_EQ(Error("rc", {"3.00"}), 0u);
    EXPECT_EQ(Error("re"), 0u);
}

TEST_F(EmuReceiptTest, UnknownEntriesAndBadFieldsHaveTheirOwnCodes) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    EXPECT_TRUE(Refused(Request("as", {"A", "1.00", "9"}), 33));
    EXPECT_TRUE(Refused(Request("as", {"A", "1.005", "1"}), 3));  // more decimals than RUB
    EXPECT_TRUE(Refused(Request("as", {"A", "1,00", "1"}), 3));
    EXPECT_TRUE(Refused(Request("as", {"A", "1.00"}), 3));
    EXPECT_TRUE(Refused(Request("as", {"A", "1.00", "1", "1", "1.00", "x"}), 3));
    EXPECT_TRUE(Refused(Request("as", {Parts({"A", "12x"}), "1.00", "1"}), 3));
    EXPECT_TRUE(Refused(Request("as", {"A", "1.00", "1", "0", "1.00"}), 3));  // no quantity
    EXPECT_TRUE(Refused(Request("as", {"A", "-1.00", "1"}), 3));              // storno of nothing
    EXPECT_TRUE(Refused(Request("as", {std::string("A\x01"), "1.00", "1"}), 3));
    ASSERT_EQ(Error("as", {"A", "4.00", "1"}), 0u);
    EXPECT_TRUE(Refused(Request("ad", {"A", "1.00", "7"}), 33));
    EXPECT_TRUE(Refused(Request("ad", {"A", "4.01", "1"}), 3));   // beyond the line
    EXPECT_TRUE(Refused(Request("ad", {"A", "-0.01", "1"}), 3));  // nothing to cancel
    EXPECT_TRUE(Refused(Request("rd", {"", "4.01"}), 3));
    EXPECT_TRUE(Refused(Request("rd", {"", "-1.00"}), 3));
    ASSERT_EQ(Error("rt", {"4.00"}), 0u);
    EXPECT_TRUE(Refused(Request("rc", {"4.00", "XXX", "1.00", "90.00"}), 35));
    EXPECT_TRUE(Refused(Request("rc", {"4.00", "USD", "0", "90.00"}), 3));
    EXPECT_TRUE(Refused(Request("rc", {"0"}), 3));
    EXPECT_TRUE(Refused(Request("rc", {"-0.01"}), 3));  // no change due
    EXPECT_TRUE(Refused(Request("rn", {"4.00", "7"}), 36));
    EXPECT_TRUE(Refused(Request("rn", {"4.01", "1"}), 3));   // non-cash beyond the total
    EXPECT_TRUE(Refused(Request("rn", {"-1.00", "1"}), 3));  // nothing paid back
    EXPECT_EQ(Error("rn", {"4.00", "1", "1234"}), 0u);
    EXPECT_EQ(Error("re"), 0u);

    EXPECT_TRUE(Refused(Request("rb", {"6"}), 3));
    EXPECT_TRUE(Refused(Request("rb", {"x"}), 3));
    EXPECT_TRUE(Refused(Request("rb", {Parts({"2", "1"})}), 3));
    EXPECT_TRUE(Refused(Request("rb", {"5"}), 3));  // annulment without the document
    EXPECT_TRUE(Refused(Request("rb", {Parts({"5", "9"})}), 39));
    EXPECT_TRUE(Refused(Request("rb", {Parts({"1", "a", "b"})}), 3));  // two texts, not three
    EXPECT_TRUE(Refused(Request("rb", {Parts({"1", "a", "b", "c"}), "1"}), 3));  // flag: 21-23
}

TEST_F(EmuReceiptTest, ArticleLinesInEveryFormTheDriverSends) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    // Name, price, department: one piece.
    ASSERT_EQ(Error("as", {W("Хлеб нарочанский"), "8.70", "1"}), 0u);
    // Code and barcode, quantity with its unit, and the amount the driver worked out.
    ASSERT_EQ(Error("as", {Parts({W("Картофель"), "123:4810000000001"}), "6.71", "2",
                           Parts({"3.261", W("кг")}), "21.88"}),
              0u);
    // The quantity without an amount: the printer multiplies (2.5 x 8.70 = 21.75).
    ASSERT_EQ(Error("as", {W("Сыр"), "8.70", "1", "2.500"}), 0u);
    // A free article in department 0, and the forced single quantity.
    ASSERT_EQ(Error("as", {W("Пакет"), "0.00", "0"}), 0u);
    ASSERT_EQ(Error("as", {"", "1.00", "3", Parts({"1.000", W("шт")}), "1.00"}), 0u);
    // A quantity of none counts nothing.
    ASSERT_EQ(Error("as", {"X", "5.00", "1", "-1", "0.00"}), 0u);
    EXPECT_EQ(Totals()[0], "53.33");
    // Storno of the cheese: the price with '-' and the amount as it is.
    ASSERT_EQ(Error("as", {W("Сыр"), "-8.70", "1", "2.500", "21.75"}), 0u);
    EXPECT_EQ(Totals()[0], "31.58");

    const Answer departments = Send("ks", {});
    ASSERT_EQ(departments.fields.size(), 4u);
    EXPECT_EQ(departments.Parts(0), (std::vector<std::string>{"0", "N", "0.00", "0.00"}));
    EXPECT_EQ(departments.Parts(1), (std::vector<std::string>{"1", "A", "8.70", "8.70"}));
    EXPECT_EQ(departments.Parts(2), (std::vector<std::string>{"2", "A", "21.88", "21.88"}));
    EXPECT_EQ(departments.Parts(3), (std::vector<std::string>{"3", "B", "1.00", "1.00"}));
    EXPECT_TRUE(Send("kr", {}).fields.empty());

    const std::string paper = Paper();
    EXPECT_NE(paper.find("Картофель\nКОД 123 4810000000001\n  3.261 кг x 6.71 ОТД.2"),
              std::string::npos)
        << paper;
    EXPECT_NE(paper.find("СТОРНО\nСыр\n  2.5 x 8.70 ОТД.1"), std::string::npos);
    EXPECT_NE(paper.find("ХОЗТОВАРЫ\n  1 шт x 1.00 ОТД.3"), std::string::npos);  // its name
}

TEST_F(EmuReceiptTest, CorrectionsOnTheArticleAndOnTheReceipt) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    ASSERT_EQ(Error("as", {"A", "10.00", "1"}), 0u);
    ASSERT_EQ(Error("ad", {Parts({"A", W("СКИДКА 10%")}), "1.00", "1"}), 0u);
    ASSERT_EQ(Error("ad", {"A", "-0.40", "1"}), 0u);  // part of it cancelled
    ASSERT_EQ(Error("aa", {"", "0.25", "1"}), 0u);
    EXPECT_EQ(Totals()[0], "9.65");
    EXPECT_EQ(Send("ks", {}).Parts(0), (std::vector<std::string>{"1", "A", "10.00", "9.65"}));
    ASSERT_EQ(Error("rd", {W("КАРТА ГОСТЯ"), "0.65"}), 0u);
    ASSERT_EQ(Error("rt", {"9.00"}), 0u);
    // After the total the document takes whole-receipt corrections only.
    ASSERT_EQ(Error("ra", {"", "1.00"}), 0u);
    EXPECT_EQ(Send("rt", {"10.00"}).fields, std::vector<std::string>{"10.00"});
    EXPECT_EQ(Send("kx", {}).fields, (std::vector<std::string>{"1.25", "1.25"}));
    ASSERT_EQ(Error("rc", {"10.00"}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(Send("ix", {}).fields, (std::vector<std::string>{"1", "1.25", "1.25"}));
    const std::string paper = Paper();
    EXPECT_NE(paper.find("СКИДКА СКИДКА 10%"), std::string::npos) << paper;
    EXPECT_NE(paper.find("СКИДКА НА ЧЕК КАРТА ГОСТЯ"), std::string::npos);
}

TEST_F(EmuReceiptTest, CashInTwoCurrenciesNonCashAndChange) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    ASSERT_EQ(Error("as", {"A", "1000.00", "1"}), 0u);
    ASSERT_EQ(Error("rt", {"1000.00"}), 0u);
    // Ten dollars at 92.50: the base amount, the code, the dollars, the rate.
    ASSERT_EQ(Error("rc", {"925.00", "usd", "10.00", "92.50"}), 0u);
    ASSERT_EQ(Error("rn", {"50.00", "1"}), 0u);
    ASSERT_EQ(Error("rc", {"50.00"}), 0u);
    EXPECT_EQ(Totals(), (std::vector<std::string>{"1000.00", "1025.00"}));
    ASSERT_EQ(Error("rc", {"-20.00"}), 0u);  // part of the change by hand
    EXPECT_TRUE(Refused(Request("rc", {"-5.01"}), 3));
    EXPECT_TRUE(Refused(Request("rc", {"-1.00", "USD", "1.00", "92.50"}), 3));  // change in RUB
    const Answer cash = Send("kc", {});
    ASSERT_EQ(cash.fields.size(), 2u);
    EXPECT_EQ(cash.Parts(0), (std::vector<std::string>{"RUB", "50.00", "50.00"}));
    EXPECT_EQ(cash.Parts(1), (std::vector<std::string>{"USD", "925.00", "10.00"}));
    EXPECT_EQ(Send("kp", {}).Parts(0), (std::vector<std::string>{"1", "50.00"}));
    ASSERT_EQ(Error("re"), 0u);  // the last 5.00 of change comes back by itself

    const Answer sessionCash = Send("ic", {});
    ASSERT_GE(sessionCash.fields.size(), 3u);
    EXPECT_EQ(sessionCash.fields[0], "1");
    EXPECT_EQ(sessionCash.Parts(1),
              (std::vector<std::string>{"RUB", "25.00", "25.00", "0.00", "0.00"}));
    EXPECT_EQ(sessionCash.Parts(2),
              (std::vector<std::string>{"USD", "925.00", "10.00", "0.00", "0.00"}));
    // "СДАЧА" and "25.00" at the two edges of the 48 characters of the roll.
    EXPECT_NE(Paper().find("\nСДАЧА" + std::string(48 - 5 - 5, ' ') + "25.00\n"), std::string::npos)
        << Paper();
}

TEST_F(EmuReceiptTest, ARefundIsShownNegativeAndPaidOutExactly) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"2"}), 0u);
    ASSERT_EQ(Error("as", {"A", "7.50", "2", "2", "15.00"}), 0u);
    EXPECT_EQ(Totals(), (std::vector<std::string>{"-15.00", "0.00"}));
    EXPECT_EQ(Send("rt", {"-15.00"}).fields, std::vector<std::string>{"-15.00"});
    EXPECT_TRUE(Refused("re", 1));
    EXPECT_TRUE(Refused(Request("rc", {"-15.01"}), 3));
    // The driver's PayCash writes no sign, its RepayCash a '-': both pay out.
    ASSERT_EQ(Error("rc", {"10.00"}), 0u);
    ASSERT_EQ(Error("rn", {"-5.00", "2"}), 0u);
    EXPECT_EQ(Totals(), (std::vector<std::string>{"-15.00", "-15.00"}));
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(Send("ir", {}).Parts(2), (std::vector<std::string>{"2", "A", "15.00", "15.00"}));
    EXPECT_EQ(Send("ip", {}).Parts(2), (std::vector<std::string>{"2", "0.00", "5.00"}));
    EXPECT_EQ(Send("in", {}).fields, (std::vector<std::string>{"1", "1", "0", "1", "1", "0"}));
}

TEST_F(EmuReceiptTest, AnAnnulmentIsTotalledByItsAmountAndCounted) {
    OpenDay();
    SellAndClose("30.00", "30.00");
    ASSERT_EQ(Error("rb", {Parts({"5", "1", W("ОШИБКА КАССИРА")})}), 0u);
    EXPECT_EQ(Send("rt", {"-30.00"}).fields, std::vector<std::string>{"-30.00"});
    EXPECT_EQ(Totals(), (std::vector<std::string>{"-30.00", "0.00"}));
    ASSERT_EQ(Error("rc", {"-30.00"}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(Send("in", {}).fields, (std::vector<std::string>{"1", "2", "1", "0", "2", "1"}));
    EXPECT_EQ(Send("ig", {}).fields, (std::vector<std::string>{"1", "30.00", "0.00", "30.00"}));
    EXPECT_NE(Paper().find("АННУЛИРУЕТСЯ ДОК. 1\nОШИБКА КАССИРА"), std::string::npos);
}

TEST_F(EmuReceiptTest, CashCollectionTakesNoMoreThanTheDrawerHolds) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"3"}), 0u);
    EXPECT_TRUE(Refused(Request("as", {"A", "1.00", "1"}), 1));
    ASSERT_EQ(Error("ri", {"100.00"}), 0u);
    ASSERT_EQ(Error("ri", {"-30.00"}), 0u);
    EXPECT_TRUE(Refused(Request("ri", {"-70.01"}), 5));
    ASSERT_EQ(Error("ri", {"20.00", "usd"}), 0u);
    EXPECT_TRUE(Refused(Request("ri", {"-20.01", "USD"}), 5));
    EXPECT_TRUE(Refused(Request("ri", {"1.00", "GBP"}), 35));
    EXPECT_TRUE(Refused(Request("ri", {"0"}), 3));
    const Answer collected = Send("ki", {});
    ASSERT_EQ(collected.fields.size(), 2u);
    EXPECT_EQ(collected.Parts(0), (std::vector<std::string>{"RUB", "70.00"}));
    EXPECT_EQ(collected.Parts(1), (std::vector<std::string>{"USD", "20.00"}));
    ASSERT_EQ(Error("re"), 0u);
    // A second document may take what the first one put in.
    ASSERT_EQ(Error("rb", {"3"}), 0u);
    EXPECT_EQ(Error("ri", {"-70.00"}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    const Answer drawer = Send("ii", {});
    EXPECT_EQ(drawer.Parts(1),
              (std::vector<std::string>{"RUB", "100.00", "100.00", "0.00", "0.00"}));
    EXPECT_EQ(drawer.Parts(2), (std::vector<std::string>{"USD", "20.00", "0.00", "0.00", "20.00"}));
}

TEST_F(EmuReceiptTest, RestaurantOrdersOpenAndSettle) {
    OpenDay();
    ASSERT_EQ(Error("rb", {Parts({"20", W("СТОЛ 5"), "", W("ЗАЛ")})}), 0u);
    EXPECT_EQ(Send("rt", {"15.00"}).fields, std::vector<std::string>{"15.00"});
    EXPECT_TRUE(Refused(Request("rc", {"15.00"}), 1));  // an order ticket is not paid
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(Send("il", {}).fields, (std::vector<std::string>{"15.00\x1D"
                                                               "1",
                                                               "0.00\x1D"
                                                               "0"}));
    ASSERT_EQ(Error("rb", {Parts({"21", W("СТОЛ 5"), "", ""}), "1"}), 0u);
    EXPECT_EQ(Send("rt", {"15.00"}).fields, std::vector<std::string>{"15.00"});
    ASSERT_EQ(Error("rc", {"15.00"}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(Send("il", {}).fields, (std::vector<std::string>{"0.00\x1D"
                                                               "0",
                                                               "15.00\x1D"
                                                               "1"}));
    EXPECT_NE(Paper().find("ЗАКАЗ СТОЛ 5\nРАЗМЕЩЕНИЕ ЗАЛ"), std::string::npos);
}

TEST_F(EmuReceiptTest, SlipFormFlagsAndTheFullForm) {
    OpenDay();
    printer.ChangeState([](emu::PrinterState& s) { s.slipFormLines = 2; });
    EXPECT_EQ(Send("ls", {}).fields, std::vector<std::string>{"4"});  // no slip: the roll
    ASSERT_EQ(Error("rb", {"10"}), 0u);
    EXPECT_EQ(Send("ls", {}).fields, std::vector<std::string>{"0"});
    ASSERT_EQ(Error("pl", {"0", "one"}), 0u);
    ASSERT_EQ(Error("pl", {"0", "two"}), 0u);
    EXPECT_EQ(Send("ls", {}).fields, std::vector<std::string>{"20"});
    EXPECT_TRUE(Refused(Request("pl", {"0", "three"}), 19));
    ASSERT_EQ(Error("re"), 0u);
    ASSERT_EQ(Error("rb", {"10"}), 0u);
    printer.ChangeState([](emu::PrinterState& s) { s.slipFormInserted = false; });
    EXPECT_EQ(Send("ls", {}).fields, std::vector<std::string>{"8"});
    EXPECT_TRUE(Refused(Request("pl", {"0", "x"}), 19));
}

TEST_F(EmuReceiptTest, CancelPrintingCancelsTheOpenDocument) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    ASSERT_EQ(Error("as", {"A", "3.00", "1"}), 0u);
    printer.ChangeState([](emu::PrinterState& s) { s.status |= emu::kStatusNotReady; });
    const Answer cancel = Send("cp", {});
    ASSERT_EQ(cancel.error, 0u);
    EXPECT_EQ(cancel.status, 0x00C0 | kDayOpen);  // ready again, nothing open
    // The document took a number but no receipt number, and sold nothing.
    EXPECT_EQ(Send("gn", {}).fields, (std::vector<std::string>{"1", "1/0", "1"}));
    EXPECT_EQ(Send("in", {}).fields, (std::vector<std::string>{"1", "1", "0", "0", "1", "1"}));
    EXPECT_EQ(Send("is", {}).Parts(1), (std::vector<std::string>{"1", "A", "0.00", "0.00"}));
    EXPECT_NE(Paper().find("*** ДОКУМЕНТ АННУЛИРОВАН ***"), std::string::npos);
    EXPECT_EQ(Error("cp"), 0u);  // nothing to cancel is no error
}

TEST_F(EmuReceiptTest, ControlTapeLinesGoIntoTheJournalOnly) {
    OpenDay();
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    ASSERT_EQ(Error("pl", {"0", W("НА ЛЕНТЕ")}), 0u);
    ASSERT_EQ(Error("pl", {"2", W("ТОЛЬКО В ЖУРНАЛЕ")}), 0u);
    EXPECT_TRUE(Refused(Request("pl", {"0", ""}), 3));
    EXPECT_TRUE(Refused(Request("pl", {"256", "x"}), 3));
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_NE(Paper().find("НА ЛЕНТЕ"), std::string::npos);
    EXPECT_EQ(Paper().find("ТОЛЬКО В ЖУРНАЛЕ"), std::string::npos);
    EXPECT_NE(printer.SessionJournal(1).find(W("ТОЛЬКО В ЖУРНАЛЕ")), std::string::npos);
}

TEST_F(EmuReceiptTest, AReceiptShownOpenByHandCanBeFinished) {
    // Tests set the words directly; the printer then has a sale open without lines.
    printer.SetStatusWords(0x00C0 | kDayOpen | kReceiptOpen, 0);
    EXPECT_EQ(Totals(), (std::vector<std::string>{"0.00", "0.00"}));
    ASSERT_EQ(Error("as", {"A", "2.00", "1"}), 0u);
    ASSERT_EQ(Error("rt", {"2.00"}), 0u);
    ASSERT_EQ(Error("rc", {"2.00"}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(Send("is", {}).Parts(1), (std::vector<std::string>{"1", "A", "2.00", "2.00"}));
}

}  // namespace
