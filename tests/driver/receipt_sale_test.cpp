// Opening documents and selling through the component: what goes on the wire for the day, the
// cashier and the receipt that a sale opens by itself, the price and quantity fields that the
// driver's decimal pairs become, and the inputs that OpenReceipt clears whatever happens next.
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

class SaleTest : public ConnectedSession {
  protected:
    // The "as" request of a sale of "Хлеб" in department 0 with the given tail.
    static std::string SaleRequest(const std::string& price, const std::string& tail = "") {
        return "as" + kFs + Cp1251("Хлеб") + kFs + price + kFs + "0" + tail;
    }

    // One sale line on a receipt already open; the request it sent.
    std::string SellOne(LONGLONG price, LONGLONG quantity) {
        PutText(member::Article, "Хлеб");
        PutMoney(member::Price, price);
        PutMoney(member::Quantity, quantity);
        printer_.ClearLog();
        Run(member::Sale);
        const std::vector<std::string> requests = Requests();
        EXPECT_EQ(requests.size(), 1u) << Printable(requests);
        return requests.empty() ? std::string() : requests.back();
    }
};

TEST_F(SaleTest, OnAClosedDayOpensTheDayLogsTheCashierInAndOpensTheReceipt) {
    // With the day closed the cashier is only kept: the printer hears of it when the day opens.
    PutText(member::CashierLogin, "Иванова");
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());

    PutText(member::Article, "Хлеб");
    PutMoney(member::Price, 12 * kUnit + 5000);
    PutMoney(member::Quantity, kUnit);
    Run(member::Sale);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"zb", "wi" + kFs + Cp1251("Иванова"),
                                                    "rb" + kFs + "1", SaleRequest("12.50")}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 1);
    EXPECT_EQ(D().GetUI2(member::StateDayOpen), 1);
    EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 1);
    // The inputs of the sale that opened the receipt survive the opening.
    EXPECT_EQ(MoneyOf(member::Price), 125000);
    EXPECT_EQ(D().GetText(member::Article), u"Хлеб");
    EXPECT_EQ(MoneyOf(member::Subtotal), 125000);
    EXPECT_EQ(MoneyOf(member::Debt), 125000);
    EXPECT_EQ(MoneyOf(member::Change), 0);

    // The next sale finds everything open and adds to the total.
    EXPECT_EQ(SellOne(3 * kUnit, kUnit), SaleRequest("3.00"));
    EXPECT_EQ(MoneyOf(member::Subtotal), 155000);
}

TEST_F(SaleTest, WithoutACashierNoLoginIsSent) {
    PutMoney(member::Price, kUnit);
    PutMoney(member::Quantity, kUnit);
    PutText(member::Article, "Хлеб");
    Run(member::Sale);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"zb", "rb", "as"}));
}

TEST_F(SaleTest, QuantitiesGoAsFewDecimalsAsTheyNeedUnlessThePrecisionAsksForMore) {
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);

    Put(member::QuantityPrecision, client::I4(0));
    EXPECT_EQ(SellOne(125000, 25000), SaleRequest("12.50", kFs + "2.5" + kFs + "31.25"));
    EXPECT_EQ(SellOne(125000, 120000), SaleRequest("12.50", kFs + "12" + kFs + "150.00"));
    EXPECT_EQ(SellOne(10000, 32610), SaleRequest("1.00", kFs + "3.261" + kFs + "3.26"));

    Put(member::QuantityPrecision, client::I4(3));
    EXPECT_EQ(SellOne(125000, 25000), SaleRequest("12.50", kFs + "2.500" + kFs + "31.25"));
    EXPECT_EQ(SellOne(125000, 120000), SaleRequest("12.50", kFs + "12.000" + kFs + "150.00"));
    // A whole price goes as (12, 1) and reaches the printer at the currency's decimals.
    EXPECT_EQ(SellOne(120000, 20000), SaleRequest("12.00", kFs + "2.000" + kFs + "24.00"));

    // One piece needs no quantity at all, unless the quantity is always to be printed.
    EXPECT_EQ(SellOne(125000, kUnit), SaleRequest("12.50"));
    Put(member::ForcePrintSingleQuantity, client::UI2(1));
    EXPECT_EQ(SellOne(125000, kUnit), SaleRequest("12.50", kFs + "1.000" + kFs + "12.50"));
}

TEST_F(SaleTest, QuantityUnitGoesWithTheQuantity) {
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);
    Put(member::QuantityPrecision, client::I4(3));
    PutText(member::QuantityUnit, "кг");
    EXPECT_EQ(SellOne(67100, 32610),
              SaleRequest("6.71", kFs + "3.261" + kGs + Cp1251("кг") + kFs + "21.88"));
    EXPECT_EQ(MoneyOf(member::Subtotal), 218800);
}

TEST_F(SaleTest, StornoTakesTheLineBackWithoutOpeningAnything) {
    PutNumber(member::ReceiptType, 1);
    Run(member::OpenReceipt);
    SellOne(125000, kUnit);
    EXPECT_EQ(MoneyOf(member::Subtotal), 125000);
    printer_.ClearLog();
    Run(member::Storno);
    EXPECT_EQ(Requests(), std::vector<std::string>{SaleRequest("-12.50")}) << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 0);
    EXPECT_EQ(MoneyOf(member::Debt), 0);
}

TEST_F(SaleTest, AFailedLineLeavesTheDayAndReceiptTheSaleOpened) {
    FailNext("as", 33);  // no such department
    PutText(member::Article, "Хлеб");
    PutMoney(member::Price, kUnit);
    PutMoney(member::Quantity, kUnit);
    EXPECT_EQ(Result(member::Sale), static_cast<HRESULT>(0x80042411));  // -9233
    EXPECT_EQ(ResultCode(), -9233);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"zb", "rb", "as"}));
    EXPECT_EQ(D().GetUI2(member::StateDayOpen), 1);
    EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 1);
    EXPECT_EQ(MoneyOf(member::Subtotal), 0);  // the line was not counted
}

TEST_F(SaleTest, OpenReceiptClearsTheInputsEvenWhenTheOpeningFails) {
    PutNumber(member::ReceiptType, 1);
    PutText(member::Article, "Хлеб");
    PutMoney(member::Price, 125000);
    PutMoney(member::Quantity, 20000);
    PutMoney(member::Amount, 50000);
    PutText(member::QuantityUnit, "кг");
    PutText(member::StringToPrint, "строка");
    PutMoney(member::CorrectionAmount, 10000);
    PutText(member::CorrectionMnemo, "Скидка");
    PutText(member::CancellationMnemo, "Ошибка кассира");

    FailNext("rb", 1);
    EXPECT_EQ(Result(member::OpenReceipt), static_cast<HRESULT>(0x800423F1));  // -9201
    EXPECT_EQ(Codes(), (std::vector<std::string>{"zb", "rb"}));

    EXPECT_EQ(D().GetText(member::Article), u"");
    EXPECT_EQ(MoneyOf(member::Price), 0);
    EXPECT_EQ(MoneyOf(member::Quantity), 0);
    EXPECT_EQ(MoneyOf(member::Amount), 0);
    EXPECT_EQ(D().GetText(member::QuantityUnit), u"");
    EXPECT_EQ(D().GetText(member::StringToPrint), u"");
    EXPECT_EQ(MoneyOf(member::CorrectionAmount), 0);
    EXPECT_EQ(D().GetText(member::CorrectionMnemo), u"");
    EXPECT_EQ(MoneyOf(member::Subtotal), 0);
    // What says which document to open is not an input of a line.
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 1);
    EXPECT_EQ(D().GetText(member::CancellationMnemo), u"Ошибка кассира");
}

TEST_F(SaleTest, OpenReceiptOfATextDocumentNeedsNoDay) {
    PutNumber(member::ReceiptType, 0);
    Run(member::OpenReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"rb" + kFs + "0"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::StateDayOpen), 0);
}

TEST_F(SaleTest, PrintTextOpensATextDocumentWhenNoneIsOpen) {
    PutText(member::TextToPrint, "Добрый день");
    Run(member::PrintText);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"rb" + kFs + "0", "pf" + kFs + "0",
                                        "pt" + kFs + Cp1251("Добрый день"), "pf" + kFs + "0"}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 0);
    // Inside the open document the text goes without a new opening.
    printer_.ClearLog();
    Run(member::PrintText);
    EXPECT_EQ(Codes(), (std::vector<std::string>{"pf", "pt", "pf"}));
    // An empty text is refused before it is sent.
    PutText(member::TextToPrint, "");
    printer_.ClearLog();
    EXPECT_EQ(Result(member::PrintText), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(Codes(), std::vector<std::string>{"pf"});
}

TEST_F(SaleTest, PrintTextStopsAtTheFirstCommandRefused) {
    FailNext("pf", 1);
    PutText(member::TextToPrint, "Добрый день");
    EXPECT_EQ(Result(member::PrintText), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rb" + kFs + "0", "pf" + kFs + "0"}))
        << Printable(Requests());
}

TEST_F(SaleTest, OpenReceiptWithRestaurantTextsSendsThemAll) {
    PutNumber(member::ReceiptType, 1);
    PutText(member::RestaurantOrder, "Стол 5");
    Run(member::OpenReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{
                              "zb", "rb" + kFs + "1" + kGs + Cp1251("Стол 5") + kGs + kGs}))
        << Printable(Requests());
}

}  // namespace
