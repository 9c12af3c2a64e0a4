// Receipt commands on the virtual printer: the request texts as the printer received them, and
// the printer accepting them, so that both sides' reading of the fields is checked against the
// other's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

const std::string FS(1, '\x1C');
const std::string GS(1, '\x1D');

class ReceiptOnPrinter : public PrinterFixture {
  protected:
    void SetUp() override {
        PrinterFixture::SetUp();
        ASSERT_EQ(printer.SetDepartments({{1, 'A', "Bakery"}, {2, 'B', "Dairy"}}), 0);
        printer.SetReportTime(0);
        AttachAndClear();
        ASSERT_EQ(layer.OpenDay(), 0);
        printer.ClearLog();
    }
    std::string Last() const {
        const std::vector<std::string> requests = printer.Requests();
        return requests.empty() ? std::string() : requests.back();
    }
    int Sell(BOOL sale, LONGLONG price, DWORD scale, LPCSTR name, int department) {
        return layer.SellArticle(
            {.sale = sale, .price = {price, scale}, .name = name, .department = department});
    }
};

TEST_F(ReceiptOnPrinter, SaleLinesStornoAndRefusedCorrections) {
    ASSERT_EQ(layer.BeginReceipt(1), 0);
    EXPECT_EQ(Last(), "rb" + FS + "1");
    // Quantity 1 without the quantity-always flag: name, price and department only.
    ASSERT_EQ(Sell(TRUE, 125, 10, "Bread", 1), 0);
    EXPECT_EQ(Last(), "as" + FS + "Bread" + FS + "12.50" + FS + "1");
    // An empty name takes the department's, read first.
    printer.ClearLog();
    ASSERT_EQ(Sell(TRUE, 30, 1, "", 2), 0);
    EXPECT_EQ(printer.Requests(),
              (std::vector<std::string>{"gd", "as" + FS + "Dairy" + FS + "30.00" + FS + "2"}));
    // A discount on the last line.
    ASSERT_EQ(layer.ArticleDiscount(TRUE, 300, 100, "Promo", nullptr, 2), 0);
    EXPECT_EQ(Last(), "ad" + FS + "Promo" + FS + "3.00" + FS + "2");
    // A storno writes '-' before the price.
    ASSERT_EQ(Sell(FALSE, 125, 10, "Bread", 1), 0);
    EXPECT_EQ(Last(), "as" + FS + "Bread" + FS + "-12.50" + FS + "1");
    EXPECT_EQ(layer.Total().amount, 2700);

    // Corrections below zero are refused, and the printer hears nothing of them.
    printer.ClearLog();
    EXPECT_EQ(layer.ArticleDiscount(TRUE, 2701, 100, "Promo", nullptr, 2), kBrontalBadArguments);
    EXPECT_EQ(layer.ArticleSurcharge(FALSE, 28, 1, nullptr, nullptr, 2), kBrontalBadArguments);
    EXPECT_EQ(layer.ReceiptDiscount(28, 1, nullptr), kBrontalBadArguments);
    EXPECT_TRUE(printer.Frames().empty());
    EXPECT_EQ(layer.Total().amount, 2700);

    LONGLONG total = 2700;
    DWORD scale = 100;
    ASSERT_EQ(layer.CompleteReceipt(&total, &scale), 0);
    EXPECT_EQ(Last(), "rt" + FS + "27.00");
    EXPECT_EQ(total * 100 / static_cast<LONGLONG>(scale ? scale : 1), 2700);

    // A payment in another currency needs its rate.
    printer.ClearLog();
    EXPECT_EQ(layer.PayCash(TRUE, 5, 1, "USD", 0, 100), kBrontalBadArguments);
    EXPECT_TRUE(printer.Frames().empty());
    ASSERT_EQ(layer.PayCash(TRUE, 5, 1, "USD", 9000, 100), 0);
    EXPECT_EQ(Last(), "rc" + FS + "450.00" + FS + "USD" + FS + "5.00" + FS + "90.00");
    ASSERT_EQ(layer.PayCash(FALSE, 42300, 100), 0);
    EXPECT_EQ(Last(), "rc" + FS + "-423.00");
    ASSERT_EQ(layer.EndReceipt(), 0);
    EXPECT_FALSE(layer.GetStatusWords(nullptr) & kStatusReceiptOpen);
}

TEST_F(ReceiptOnPrinter, AnnulmentCarriesTheDocumentNumberAndText) {
    ASSERT_EQ(layer.BeginReceipt(1), 0);
    ASSERT_EQ(Sell(TRUE, 10, 1, "Bread", 1), 0);
    LONGLONG total = 10;
    DWORD scale = 1;
    ASSERT_EQ(layer.CompleteReceipt(&total, &scale), 0);
    ASSERT_EQ(layer.PayCash(TRUE, 10, 1), 0);
    ASSERT_EQ(layer.EndReceipt(), 0);
    DWORD document = 0;
    ASSERT_EQ(layer.ReadDocumentNumbers(&document, nullptr, nullptr, nullptr), 0);

    printer.ClearLog();
    ASSERT_EQ(layer.BeginReceipt(5, document, "Wrong price"), 0);
    EXPECT_EQ(Last(), "rb" + FS + "5" + GS + std::to_string(document) + GS + "Wrong price");
    EXPECT_EQ(layer.Total().kind, 5);
    ASSERT_EQ(layer.SellArticle({.price = {10, 1}, .name = "Bread", .department = 1}), 0);
    LONGLONG amount = 0;
    ASSERT_TRUE(layer.GetTotal(&amount, &scale));
    EXPECT_EQ(amount, -1000);
}

TEST_F(ReceiptOnPrinter, CashDocumentsAndTheCashier) {
    const std::string cashier = testsupport::Cp1251("Петров");
    ASSERT_EQ(layer.CashierLogin(cashier.c_str()), 0);
    EXPECT_EQ(Last(), "wi" + FS + cashier);
    ASSERT_EQ(layer.BeginReceipt(3), 0);
    ASSERT_EQ(layer.CashInOut(TRUE, 5000, 100), 0);
    EXPECT_EQ(Last(), "ri" + FS + "50.00");
    ASSERT_EQ(layer.CashInOut(FALSE, 20, 1), 0);
    EXPECT_EQ(Last(), "ri" + FS + "-20.00");
    ASSERT_EQ(layer.EndReceipt(), 0);
    char name[32] = "";
    ASSERT_EQ(layer.ReadCashier(name, sizeof name), 0);
    EXPECT_EQ(std::string(name), cashier);
}

TEST_F(ReceiptOnPrinter, RestaurantTextsSubtotalContinueAndDocumentLines) {
    ASSERT_EQ(layer.BeginReceiptWithTexts(21, "Table 4", "2 guests", "Hall", TRUE), 0);
    EXPECT_EQ(Last(), "rb" + FS + "21" + GS + "Table 4" + GS + "2 guests" + GS + "Hall" + FS + "1");
    ASSERT_EQ(Sell(TRUE, 40, 1, "Soup", 1), 0);
    ASSERT_EQ(layer.PrintDocumentLine(0, "No onions"), 0);
    EXPECT_EQ(Last(), "pl" + FS + "0" + FS + "No onions");
    ASSERT_EQ(layer.ReceiptSurcharge(4, 1, "Service"), 0);
    EXPECT_EQ(Last(), "ra" + FS + "Service" + FS + "4.00");
    ASSERT_EQ(layer.ReceiptDiscount(2, 1, nullptr), 0);
    EXPECT_EQ(Last(), "rd" + FS + FS + "2.00");
    ASSERT_EQ(layer.PrintSubtotal(), 0);
    LONGLONG total = 4200;
    DWORD scale = 100;
    ASSERT_EQ(layer.CompleteReceipt(&total, &scale), 0);
    EXPECT_EQ(total * 100 / static_cast<LONGLONG>(scale ? scale : 1), 4200);
    // Continuing takes more lines, and the receipt is totalled again.
    ASSERT_EQ(layer.ContinueReceipt(), 0);
    EXPECT_EQ(Last(), "ct");
    ASSERT_EQ(Sell(TRUE, 8, 1, "Tea", 1), 0);
    total = 5000;
    ASSERT_EQ(layer.CompleteReceipt(&total, &scale), 0);
    EXPECT_EQ(total * 100 / static_cast<LONGLONG>(scale ? scale : 1), 5000);
    ASSERT_EQ(layer.PayCash(TRUE, 50, 1), 0);
    ASSERT_EQ(layer.EndReceipt(), 0);
}

}  // namespace
}  // namespace prottest
