// Discounts and surcharges through the component: on the last article before the total, on the
// whole receipt after it, their cancellation, and the running total they leave in Subtotal.
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

class CorrectionTest : public PrinterSession {
  protected:
    void Arrange() override {
        Connect();
        OpenSaleWithLine(10 * kUnit);
        PutText(member::CorrectionMnemo, "Скидка");
    }

    std::vector<std::string> Correct(Member method, LONGLONG amount) {
        PutMoney(member::CorrectionAmount, amount);
        printer_.ClearLog();
        Run(method);
        return Requests();
    }

    // "ad"/"aa" on the article "Хлеб" of department 0.
    static std::string OnArticle(const char* code, const std::string& amount) {
        return code + kFs + Cp1251("Хлеб") + kGs + Cp1251("Скидка") + kFs + amount + kFs + "0";
    }
    static std::string OnReceipt(const char* code, const std::string& amount) {
        return code + kFs + Cp1251("Скидка") + kFs + amount;
    }
};

TEST_F(CorrectionTest, DiscountGoesOnTheArticleBeforeTheTotalAndOnTheReceiptAfterIt) {
    EXPECT_EQ(Correct(member::Discount, kUnit), std::vector<std::string>{OnArticle("ad", "1.00")})
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 9 * kUnit);
    EXPECT_EQ(MoneyOf(member::Debt), 9 * kUnit);

    printer_.ClearLog();
    Run(member::CompleteReceipt);
    // The expected total is the driver's own, with no more decimals than it needs; from now on
    // the totals are the printer's.
    EXPECT_EQ(Requests(), (std::vector<std::string>{"rt" + kFs + "9", "kg"}))
        << Printable(Requests());

    EXPECT_EQ(Correct(member::Discount, 5000),
              (std::vector<std::string>{OnReceipt("rd", "0.50"), "kg"}))
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 85000);
    EXPECT_EQ(Correct(member::Surcharge, 2500),
              (std::vector<std::string>{OnReceipt("ra", "0.25"), "kg"}))
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 87500);
}

TEST_F(CorrectionTest, SurchargeOnTheArticleAndBothCancelledAgain) {
    EXPECT_EQ(Correct(member::Surcharge, 20000), std::vector<std::string>{OnArticle("aa", "2.00")})
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 12 * kUnit);
    EXPECT_EQ(Correct(member::StornoSurcharge, 20000),
              std::vector<std::string>{OnArticle("aa", "-2.00")})
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 10 * kUnit);

    EXPECT_EQ(Correct(member::Discount, 15000), std::vector<std::string>{OnArticle("ad", "1.50")});
    EXPECT_EQ(Correct(member::StornoDiscount, 15000),
              std::vector<std::string>{OnArticle("ad", "-1.50")})
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 10 * kUnit);
}

TEST_F(CorrectionTest, ReceiptFormsAreTheReceiptsWhateverTheStage) {
    EXPECT_EQ(Correct(member::DiscountReceipt, 12500),
              std::vector<std::string>{OnReceipt("rd", "1.25")})
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 87500);
    EXPECT_EQ(Correct(member::SurchargeReceipt, 2500),
              std::vector<std::string>{OnReceipt("ra", "0.25")})
        << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 90000);
}

TEST_F(CorrectionTest, ADiscountBeyondTheTotalIsRefusedBeforeItIsSent) {
    PutMoney(member::CorrectionAmount, 10 * kUnit + 100);
    printer_.ClearLog();
    EXPECT_EQ(Result(member::Discount), static_cast<HRESULT>(0x8004232A));  // -9002
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::Subtotal), 10 * kUnit);
    EXPECT_EQ(Result(member::DiscountReceipt), static_cast<HRESULT>(0x8004232A));
    EXPECT_TRUE(Requests().empty()) << Printable(Requests());
}

}  // namespace
