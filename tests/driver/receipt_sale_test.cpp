// Opening documents and selling through the component: what goes on the wire for the day, the
// cashier and the receipt that a sale opens by itself, the price and quantity fields that the
// driver's decimal pairs become, and the inputs that OpenReceipt clears whatever happens next.
#include "ReceiptSession.h"

namespace receipttest {
namespace {

using testsupport::Cp1251;

class SaleTest : public ReceiptSession {
  protected:
    void SetUp() override {
        ReceiptSession::SetUp();
        if (!HasFatalFailure()) {
            Connect();
        }
    }

    // The "as" request of a sale of "Хлеб" in department 0 with the given tail.
    static std::string SaleRequest(const std::string& price, const std::string& tail = "") {
        return "as" + kFs + Cp1251("Хлеб") + kFs + price + kFs + "0" + tail;
    }

    // One sale line on a receipt already open; the request it sent.
    std::string SellOne(LONGLONG price, LONGLONG quantity) {
        PutText(kArticle, "Хлеб");
        PutMoney(kPrice, price);
        PutMoney(kQuantity, quantity);
        printer_.ClearLog();
        Run(kSale);
        const std::vector<std::string> requests = Requests();
        EXPECT_EQ(requests.size(), 1u) << Printable(requests);
        return requests.empty() ? std::string() : requests.back();
    }
};

TEST_F(SaleTest, OnAClosedDayOpensTheDayLogsTheCashierInAndOpensTheReceipt) {
    // With the day closed the cashier is only kept: the printer hears of it when the day opens.
    PutText(kCashierLogin, "Иванова");
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());

    PutText(kArticle, "Хлеб");
    PutMoney(kPrice, 12 * kUnit + 5000);
    PutMoney(kQuantity, kUnit);
    Run(kSale);
    EXPECT_EQ(Requests(), (std::vector<std::string>{"zb", "wi" + kFs + Cp1251("Иванова"),
                                                    "rb" + kFs + "1", SaleRequest("12.50")}))
        << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 1);
    EXPECT_EQ(driver_->GetUI2(kStateDayOpen), 1);
    EXPECT_EQ(driver_->GetUI2(kStateReceiptOpen), 1);
    // The inputs of the sale that opened the receipt survive the opening.
    EXPECT_EQ(Money(kPrice), 125000);
    EXPECT_EQ(driver_->GetText(kArticle), u"Хлеб");
    EXPECT_EQ(Money(kSubtotal), 125000);
    EXPECT_EQ(Money(kDebt), 125000);
    EXPECT_EQ(Money(kChange), 0);

    // The next sale finds everything open and adds to the total.
    EXPECT_EQ(SellOne(3 * kUnit, kUnit), SaleRequest("3.00"));
    EXPECT_EQ(Money(kSubtotal), 155000);
}

TEST_F(SaleTest, WithoutACashierNoLoginIsSent) {
    PutMoney(kPrice, kUnit);
    PutMoney(kQuantity, kUnit);
    PutText(kArticle, "Хлеб");
    Run(kSale);
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"zb", "rb", "as"}));
}

TEST_F(SaleTest, QuantitiesGoAsFewDecimalsAsTheyNeedUnlessThePrecisionAsksForMore) {
    PutNumber(kReceiptType, 1);
    Run(kOpenReceipt);

    Put(kQuantityPrecision, client::I4(0));
    EXPECT_EQ(SellOne(125000, 25000), SaleRequest("12.50", kFs + "2.5" + kFs + "31.25"));
    EXPECT_EQ(SellOne(125000, 120000), SaleRequest("12.50", kFs + "12" + kFs + "150.00"));
    EXPECT_EQ(SellOne(10000, 32610), SaleRequest("1.00", kFs + "3.261" + kFs + "3.26"));

    Put(kQuantityPrecision, client::I4(3));
    EXPECT_EQ(SellOne(125000, 25000), SaleRequest("12.50", kFs + "2.500" + kFs + "31.25"));
    EXPECT_EQ(SellOne(125000, 120000), SaleRequest("12.50", kFs + "12.000" + kFs + "150.00"));
    // A whole price goes as (12, 1) and reaches the printer at the currency's decimals.
    EXPECT_EQ(SellOne(120000, 20000), SaleRequest("12.00", kFs + "2.000" + kFs + "24.00"));

    // One piece needs no quantity at all, unless the quantity is always to be printed.
    EXPECT_EQ(SellOne(125000, kUnit), SaleRequest("12.50"));
    Put(kForcePrintSingleQuantity, client::UI2(1));
    EXPECT_EQ(SellOne(125000, kUnit), SaleRequest("12.50", kFs + "1.000" + kFs + "12.50"));
}

TEST_F(SaleTest, QuantityUnitGoesWithTheQuantity) {
    PutNumber(kReceiptType, 1);
    Run(kOpenReceipt);
    Put(kQuantityPrecision, client::I4(3));
    PutText(kQuantityUnit, "кг");
    EXPECT_EQ(SellOne(67100, 32610),
              SaleRequest("6.71", kFs + "3.261" + kGs + Cp1251("кг") + kFs + "21.88"));
    EXPECT_EQ(Money(kSubtotal), 218800);
}

TEST_F(SaleTest, StornoTakesTheLineBackWithoutOpeningAnything) {
    PutNumber(kReceiptType, 1);
    Run(kOpenReceipt);
    SellOne(125000, kUnit);
    EXPECT_EQ(Money(kSubtotal), 125000);
    printer_.ClearLog();
    Run(kStorno);
    EXPECT_EQ(Requests(), std::vector<std::string>{SaleRequest("-12.50")}) << Printable(Requests());
    EXPECT_EQ(Money(kSubtotal), 0);
    EXPECT_EQ(Money(kDebt), 0);
}

TEST_F(SaleTest, AFailedLineLeavesTheDayAndReceiptTheSaleOpened) {
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 33;  // no such department
    fault.command = "as";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    PutText(kArticle, "Хлеб");
    PutMoney(kPrice, kUnit);
    PutMoney(kQuantity, kUnit);
    EXPECT_EQ(Call(kSale), static_cast<HRESULT>(0x80042411));  // -9233
    EXPECT_EQ(ResultCode(), -9233);
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"zb", "rb", "as"}));
    EXPECT_EQ(driver_->GetUI2(kStateDayOpen), 1);
    EXPECT_EQ(driver_->GetUI2(kStateReceiptOpen), 1);
    EXPECT_EQ(Money(kSubtotal), 0);  // the line was not counted
}

TEST_F(SaleTest, OpenReceiptClearsTheInputsEvenWhenTheOpeningFails) {
    PutNumber(kReceiptType, 1);
    PutText(kArticle, "Хлеб");
    PutMoney(kPrice, 125000);
    PutMoney(kQuantity, 20000);
    PutMoney(kAmount, 50000);
    PutText(kQuantityUnit, "кг");
    PutText(kStringToPrint, "строка");
    PutMoney(kCorrectionAmount, 10000);
    PutText(kCorrectionMnemo, "Скидка");
    PutText(kCancellationMnemo, "Ошибка кассира");

    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 1;
    fault.command = "rb";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    EXPECT_EQ(Call(kOpenReceipt), static_cast<HRESULT>(0x800423F1));  // -9201
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"zb", "rb"}));

    EXPECT_EQ(driver_->GetText(kArticle), u"");
    EXPECT_EQ(Money(kPrice), 0);
    EXPECT_EQ(Money(kQuantity), 0);
    EXPECT_EQ(Money(kAmount), 0);
    EXPECT_EQ(driver_->GetText(kQuantityUnit), u"");
    EXPECT_EQ(driver_->GetText(kStringToPrint), u"");
    EXPECT_EQ(Money(kCorrectionAmount), 0);
    EXPECT_EQ(driver_->GetText(kCorrectionMnemo), u"");
    EXPECT_EQ(Money(kSubtotal), 0);
    // What says which document to open is not an input of a line.
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 1);
    EXPECT_EQ(driver_->GetText(kCancellationMnemo), u"Ошибка кассира");
}

TEST_F(SaleTest, OpenReceiptOfATextDocumentNeedsNoDay) {
    PutNumber(kReceiptType, 0);
    Run(kOpenReceipt);
    EXPECT_EQ(Requests(), std::vector<std::string>{"rb" + kFs + "0"}) << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kStateDayOpen), 0);
}

TEST_F(SaleTest, PrintTextOpensATextDocumentWhenNoneIsOpen) {
    PutText(kTextToPrint, "Добрый день");
    Run(kPrintText);
    EXPECT_EQ(Requests(),
              (std::vector<std::string>{"rb" + kFs + "0", "pf" + kFs + "0",
                                        "pt" + kFs + Cp1251("Добрый день"), "pf" + kFs + "0"}))
        << Printable(Requests());
    EXPECT_EQ(driver_->GetUI2(kReceiptType), 0);
    // Inside the open document the text goes without a new opening.
    printer_.ClearLog();
    Run(kPrintText);
    EXPECT_EQ(Codes(Requests()), (std::vector<std::string>{"pf", "pt", "pf"}));
    // An empty text is refused before it is sent.
    PutText(kTextToPrint, "");
    printer_.ClearLog();
    EXPECT_EQ(Call(kPrintText), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(Codes(Requests()), std::vector<std::string>{"pf"});
}

TEST_F(SaleTest, PrintTextStopsAtTheFirstCommandRefused) {
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 1;
    fault.command = "pf";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    PutText(kTextToPrint, "Добрый день");
    EXPECT_EQ(Call(kPrintText), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rb" + kFs + "0", "pf" + kFs + "0"}))
        << Printable(Requests());
}

TEST_F(SaleTest, OpenReceiptWithRestaurantTextsSendsThemAll) {
    PutNumber(kReceiptType, 1);
    PutText(kRestaurantOrder, "Стол 5");
    Run(kOpenReceipt);
    EXPECT_EQ(Requests(), (std::vector<std::string>{
                              "zb", "rb" + kFs + "1" + kGs + Cp1251("Стол 5") + kGs + kGs}))
        << Printable(Requests());
}

}  // namespace
}  // namespace receipttest
