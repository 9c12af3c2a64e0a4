// Receipt opening, article lines and corrections against a scripted printer: the exact request
// texts, the quantity branches, the normalisation of amounts, and the running total that refuses
// what would take it below zero before anything is sent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using Payloads = std::vector<std::string>;

// A sale receipt open on a printer whose current currency has two decimals.
class ReceiptLines : public PeerFixture {
  protected:
    void SetUp() override {
        PeerFixture::SetUp();
        ASSERT_EQ(layer.BeginReceipt(1), 0);
        peer.ClearRequests();
    }

    // A sale line of `price` (value, scale) at quantity 1 in department 1.
    int Sell(LONGLONG price, DWORD scale, LPCSTR name = "Bread") {
        return layer.SellArticle({.price = {price, scale}, .name = name, .department = 1});
    }
    void ExpectTotal(LONGLONG amount, DWORD scale) {
        EXPECT_EQ(layer.Total().amount, amount);
        EXPECT_EQ(layer.Total().scale, scale);
    }
    std::string Last() { return peer.Payloads().empty() ? "" : peer.Payloads().back(); }
};

TEST_F(ReceiptLines, OpeningAReceiptOfEachForm) {
    ASSERT_EQ(layer.BeginReceipt(2), 0);
    EXPECT_EQ(layer.Total().kind, 2);
    ASSERT_EQ(layer.BeginReceipt(5, 123, "Mistake"), 0);
    EXPECT_EQ(layer.Total().kind, 5);
    ASSERT_EQ(layer.BeginReceipt(5, 4000000000UL, nullptr), 0);
    // Only an annulment carries the number and the text.
    ASSERT_EQ(layer.BeginReceipt(0, 99, "ignored"), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"rb" + FS + "2", "rb" + FS + "5" + GS + "123" + GS + "Mistake",
                        "rb" + FS + "5" + GS + "4000000000", "rb" + FS + "0"}));

    peer.ClearRequests();
    ASSERT_EQ(layer.BeginReceiptWithTexts(1, nullptr, "two", nullptr, TRUE), 0);
    ASSERT_EQ(layer.BeginReceiptWithTexts(21, "Table 4", "2 guests", "Hall", TRUE), 0);
    EXPECT_EQ(layer.Total().kind, 21);
    ASSERT_EQ(layer.BeginReceiptWithTexts(20, "a", "b", "c", TRUE), 0);
    ASSERT_EQ(layer.BeginReceiptWithTexts(23, "a", "b", "c", FALSE), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"rb" + FS + "1" + GS + GS + "two" + GS,
                                         "rb" + FS + "21" + GS + "Table 4" + GS + "2 guests" + GS +
                                             "Hall" + FS + "1",
                                         "rb" + FS + "20" + GS + "a" + GS + "b" + GS + "c",
                                         "rb" + FS + "23" + GS + "a" + GS + "b" + GS + "c"}));

    peer.ClearRequests();
    // Thirty-two bytes of request are too many for the simple form.
    EXPECT_EQ(layer.BeginReceipt(5, 1, std::string(28, 't').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.BeginReceipt(-1), kBrontalBadArguments);
    for (int type : {0, 2, 5, 19, 24}) {
        EXPECT_EQ(layer.BeginReceiptWithTexts(type, "a", "b", "c", FALSE), kBrontalBadArguments);
    }
    EXPECT_EQ(layer.BeginReceiptWithTexts(1, std::string(510, 't').c_str(), "", "", FALSE),
              kBrontalBadArguments);
    EXPECT_EQ(layer.BeginReceiptWithTexts(1, ("a" + FS).c_str(), "", "", FALSE),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_EQ(layer.Total().kind, 23);

    // A refused opening keeps the total of the receipt before.
    Play({ReplyWith(0x0B, 0x00C3)});
    EXPECT_EQ(layer.BeginReceipt(2), -11 - 9200);
    EXPECT_EQ(layer.Total().kind, 23);
}

TEST_F(ReceiptLines, QuantityOneSendsOnlyNamePriceAndDepartment) {
    ASSERT_EQ(Sell(125, 10), 0);
    EXPECT_EQ(peer.Payloads(), Payloads{"as" + FS + "Bread" + FS + "12.50" + FS + "1"});
    ExpectTotal(1250, 100);

    // With the quantity-always flag, 1 goes out with the precision's decimals, and the price as
    // the amount.
    layer.Settings().quantityPrecision = 3;
    ASSERT_EQ(layer.SellArticle({.price = {3, 1},
                                 .name = "Salt",
                                 .department = 2,
                                 .quantityText = "pc",
                                 .quantityAlways = TRUE}),
              0);
    EXPECT_EQ(Last(),
              "as" + FS + "Salt" + FS + "3.00" + FS + "2" + FS + "1.000" + GS + "pc" + FS + "3.00");
    layer.Settings().quantityPrecision = 0;
    ASSERT_EQ(layer.SellArticle(
                  {.price = {3, 1}, .name = "Salt", .department = 2, .quantityAlways = TRUE}),
              0);
    EXPECT_EQ(Last(), "as" + FS + "Salt" + FS + "3.00" + FS + "2" + FS + "1" + FS + "3.00");
    ExpectTotal(1850, 100);
}

TEST_F(ReceiptLines, QuantitiesWithTheirPrecisionAndAmount) {
    layer.Settings().quantityPrecision = 3;
    // 2.5 kg at 12.50: the quantity at three decimals, price x quantity as the amount.
    ASSERT_EQ(layer.SellArticle({.price = {1250, 100},
                                 .name = "Cheese",
                                 .department = 3,
                                 .quantity = {25, 10},
                                 .quantityText = "kg"}),
              0);
    EXPECT_EQ(Last(), "as" + FS + "Cheese" + FS + "12.50" + FS + "3" + FS + "2.500" + GS + "kg" +
                          FS + "31.25");
    ExpectTotal(3125, 100);

    // 0.335 x 1.00 rounds half up to the coin.
    ASSERT_EQ(layer.SellArticle(
                  {.price = {1, 1}, .name = "Nails", .department = 3, .quantity = {335, 1000}}),
              0);
    EXPECT_EQ(Last(), "as" + FS + "Nails" + FS + "1.00" + FS + "3" + FS + "0.335" + FS + "0.34");
    ExpectTotal(3159, 100);

    // More decimals than the precision are left as they are.
    layer.Settings().quantityPrecision = 1;
    ASSERT_EQ(layer.SellArticle(
                  {.price = {2, 1}, .name = "Wire", .department = 3, .quantity = {125, 100}}),
              0);
    EXPECT_EQ(Last(), "as" + FS + "Wire" + FS + "2.00" + FS + "3" + FS + "1.25" + FS + "2.50");

    // Whole quantities above 1 are brought to the precision too; a stored precision above 3
    // counts as 3 and is set back.
    layer.Settings().quantityPrecision = 7;
    ASSERT_EQ(
        layer.SellArticle({.price = {10, 1}, .name = "Eggs", .department = 3, .quantity = {3, 1}}),
        0);
    EXPECT_EQ(Last(), "as" + FS + "Eggs" + FS + "10.00" + FS + "3" + FS + "3.000" + FS + "30.00");
    EXPECT_EQ(layer.Settings().quantityPrecision, 3U);
}

TEST_F(ReceiptLines, QuantityZeroOrBelowLeavesTheTotal) {
    ASSERT_EQ(layer.SellArticle({.price = {5, 1},
                                 .name = "Box",
                                 .department = 1,
                                 .quantity = {0, 1},
                                 .quantityText = "pc"}),
              0);
    ASSERT_EQ(
        layer.SellArticle({.price = {5, 1}, .name = "Box", .department = 1, .quantity = {-2, 1}}),
        0);
    EXPECT_EQ(
        peer.Payloads(),
        (Payloads{"as" + FS + "Box" + FS + "5.00" + FS + "1" + FS + "0" + GS + "pc" + FS + "0.00",
                  "as" + FS + "Box" + FS + "5.00" + FS + "1" + FS + "-2" + FS + "0.00"}));
    ExpectTotal(0, 0);
}

TEST_F(ReceiptLines, NamesCodesAndTheDepartmentsName) {
    layer.Settings().hyphenationLength = 5;
    ASSERT_EQ(layer.SellArticle({.price = {1, 1},
                                 .name = "Long article",
                                 .department = 1,
                                 .articleCode = 77,
                                 .codeText = "4820000000017"}),
              0);
    EXPECT_EQ(Last(),
              "as" + FS + "Long \nartic\nle" + GS + "77:4820000000017" + FS + "1.00" + FS + "1");
    // A text that has its own line breaks is sent as it is; a code text without a code is not.
    ASSERT_EQ(layer.SellArticle(
                  {.price = {1, 1}, .name = "Two\nlines here", .department = 1, .codeText = "123"}),
              0);
    EXPECT_EQ(Last(), "as" + FS + "Two\nlines here" + FS + "1.00" + FS + "1");
    ASSERT_EQ(
        layer.SellArticle(
            {.price = {1, 1}, .name = "Tea", .department = 1, .articleCode = 9, .codeText = ""}),
        0);
    EXPECT_EQ(Last(), "as" + FS + "Tea" + GS + "9" + FS + "1.00" + FS + "1");
    // No name at all: the first field stays empty.
    ASSERT_EQ(layer.SellArticle({.price = {1, 1}, .department = 1}), 0);
    EXPECT_EQ(Last(), "as" + FS + FS + "1.00" + FS + "1");

    // An empty name: the department's name, read first.
    peer.ClearRequests();
    const std::string grocery = testsupport::Cp1251("Бакалея");
    Play({ReplyWith(
        0, 0x00C2, 0,
        "2" + FS + "1" + GS + "A" + GS + "Dairy" + FS + "2" + GS + "B" + GS + grocery + FS)});
    ASSERT_EQ(layer.SellArticle({.price = {1, 1}, .name = "", .department = 2}), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"gd", "as" + FS + grocery + FS + "1.00" + FS + "2"}));

    // No such department: no line is sold.
    peer.ClearRequests();
    const LONGLONG total = layer.Total().amount;
    EXPECT_EQ(layer.SellArticle({.price = {1, 1}, .name = "", .department = 9}),
              kBrontalBadArguments);
    EXPECT_EQ(peer.Payloads(), Payloads{"gd"});
    EXPECT_EQ(layer.Total().amount, total);
}

TEST_F(ReceiptLines, StornoWritesTheMinusAndMayNotGoBelowZero) {
    ASSERT_EQ(Sell(1250, 100), 0);
    peer.ClearRequests();
    EXPECT_EQ(
        layer.SellArticle({.sale = FALSE, .price = {1251, 100}, .name = "Bread", .department = 1}),
        kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    ExpectTotal(1250, 100);

    ASSERT_EQ(
        layer.SellArticle({.sale = FALSE, .price = {125, 10}, .name = "Bread", .department = 1}),
        0);
    EXPECT_EQ(Last(), "as" + FS + "Bread" + FS + "-12.50" + FS + "1");
    ExpectTotal(0, 100);
}

TEST_F(ReceiptLines, AGivenAmountMustMatchPriceTimesQuantity) {
    ASSERT_EQ(layer.BeginReceipt(2), 0);
    peer.ClearRequests();
    // 3 x 10.00 = 30.00; 29.99 is within the minimum bill of 0.01.
    ASSERT_EQ(layer.SellArticle({.price = {10, 1},
                                 .name = "Lamp",
                                 .department = 1,
                                 .quantity = {3, 1},
                                 .amount = {2999, 100}}),
              0);
    EXPECT_EQ(Last(), "as" + FS + "Lamp" + FS + "10.00" + FS + "1" + FS + "3" + FS + "29.99");
    ExpectTotal(2999, 100);

    peer.ClearRequests();
    EXPECT_EQ(layer.SellArticle({.price = {10, 1},
                                 .name = "Lamp",
                                 .department = 1,
                                 .quantity = {3, 1},
                                 .amount = {2998, 100}}),
              kBrontalBadArguments);
    EXPECT_EQ(layer.SellArticle({.price = {10, 1},
                                 .name = "Lamp",
                                 .department = 1,
                                 .quantity = {3, 1},
                                 .amount = {3002, 100}}),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    ExpectTotal(2999, 100);

    // The refund mismatch limit, when set, replaces the minimum bill.
    layer.Settings().refundSumMismatchLimit = 5;
    ASSERT_EQ(layer.SellArticle({.price = {10, 1},
                                 .name = "Lamp",
                                 .department = 1,
                                 .quantity = {3, 1},
                                 .amount = {2995, 100}}),
              0);
    EXPECT_EQ(layer.SellArticle({.price = {10, 1},
                                 .name = "Lamp",
                                 .department = 1,
                                 .quantity = {3, 1},
                                 .amount = {2994, 100}}),
              kBrontalBadArguments);
    ExpectTotal(5994, 100);
    // The receipt counts negative.
    LONGLONG amount = 0;
    DWORD scale = 0;
    EXPECT_TRUE(layer.GetTotal(&amount, &scale));
    EXPECT_EQ(amount, -5994);
}

TEST_F(ReceiptLines, AmountsAreNormalisedToTheMinimumBill) {
    layer.Settings().minBill = 5;
    ASSERT_EQ(Sell(1232, 100), 0);
    EXPECT_EQ(Last(), "as" + FS + "Bread" + FS + "12.35" + FS + "1");
    // Digits beyond the currency's are cut before the rounding.
    ASSERT_EQ(Sell(123456, 10000), 0);
    EXPECT_EQ(Last(), "as" + FS + "Bread" + FS + "12.35" + FS + "1");
    ExpectTotal(2470, 100);
}

TEST_F(ReceiptLines, LinesThatCannotBeWrittenAreRefusedBeforeSending) {
    const auto sell = [this](LONGLONG price, DWORD priceScale, LPCSTR name, int department,
                             DWORD quantityScale, LONGLONG amount, LPCSTR quantityText,
                             LPCSTR codeText) {
        return layer.SellArticle({.price = {price, priceScale},
                                  .name = name,
                                  .department = department,
                                  .quantity = {2, quantityScale},
                                  .quantityText = quantityText,
                                  .amount = {amount, 100},
                                  .articleCode = 5,
                                  .codeText = codeText});
    };
    EXPECT_EQ(sell(125, 20, "x", 1, 1, 0, nullptr, nullptr), kBrontalBadArguments);
    EXPECT_EQ(sell(125, 10, "x", 1, 3, 0, nullptr, nullptr), kBrontalBadArguments);
    EXPECT_EQ(sell(-125, 10, "x", 1, 1, 0, nullptr, nullptr), kBrontalBadArguments);
    EXPECT_EQ(sell(125, 10, "x", -1, 1, 0, nullptr, nullptr), kBrontalBadArguments);
    EXPECT_EQ(sell(125, 10, "x", 1, 1, -500, nullptr, nullptr), kBrontalBadArguments);
    EXPECT_EQ(sell(125, 10, ("x" + FS + "9").c_str(), 1, 1, 0, nullptr, nullptr),
              kBrontalBadArguments);
    EXPECT_EQ(sell(125, 10, "x", 1, 1, 0, ("k" + GS).c_str(), nullptr), kBrontalBadArguments);
    EXPECT_EQ(sell(125, 10, "x", 1, 1, 0, nullptr, ("1" + FS).c_str()), kBrontalBadArguments);
    EXPECT_EQ(sell(125, 10, "x", 1, 1, 0, std::string(1020, 'k').c_str(), nullptr),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    ExpectTotal(0, 0);

    // A refused line leaves the total as it was.
    Play({ReplyWith(0x0C, 0x00C3)});
    EXPECT_EQ(Sell(100, 1), -12 - 9200);
    ExpectTotal(0, 0);
}

TEST_F(ReceiptLines, ArticleDiscountsAndSurchargesBothWays) {
    ASSERT_EQ(Sell(1250, 100), 0);
    peer.ClearRequests();
    ASSERT_EQ(layer.ArticleDiscount(TRUE, 2, 1, "Promo", "Club", 1), 0);
    ExpectTotal(1050, 100);
    ASSERT_EQ(layer.ArticleDiscount(FALSE, 2, 1, "Promo", nullptr, 1), 0);
    ExpectTotal(1250, 100);
    ASSERT_EQ(layer.ArticleSurcharge(TRUE, 5, 10, nullptr, "Late", 2), 0);
    ExpectTotal(1300, 100);
    ASSERT_EQ(layer.ArticleSurcharge(FALSE, 5, 10, "", "", 2), 0);
    ExpectTotal(1250, 100);
    EXPECT_EQ(peer.Payloads(), (Payloads{"ad" + FS + "Promo" + GS + "Club" + FS + "2.00" + FS + "1",
                                         "ad" + FS + "Promo" + FS + "-2.00" + FS + "1",
                                         "aa" + FS + GS + "Late" + FS + "0.50" + FS + "2",
                                         "aa" + FS + FS + "-0.50" + FS + "2"}));

    // Below zero: a discount larger than the total, or a cancelled surcharge larger than it.
    peer.ClearRequests();
    EXPECT_EQ(layer.ArticleDiscount(TRUE, 1251, 100, "Promo", nullptr, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.ArticleSurcharge(FALSE, 13, 1, nullptr, nullptr, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.ArticleDiscount(TRUE, -1, 1, nullptr, nullptr, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.ArticleDiscount(TRUE, 1, 3, nullptr, nullptr, 1), kBrontalBadArguments);
    EXPECT_EQ(layer.ArticleDiscount(TRUE, 1, 1, nullptr, nullptr, -1), kBrontalBadArguments);
    // A text too long to be placed is refused rather than dropped.
    EXPECT_EQ(layer.ArticleDiscount(TRUE, 1, 1, "Promo", std::string(1020, 'c').c_str(), 1),
              kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    ExpectTotal(1250, 100);

    // The discount text is wrapped like a name.
    layer.Settings().hyphenationLength = 4;
    ASSERT_EQ(layer.ArticleDiscount(TRUE, 1, 1, "Discount", "Second text", 1), 0);
    EXPECT_EQ(Last(), "ad" + FS + "Disc\nount" + GS + "Second text" + FS + "1.00" + FS + "1");
}

TEST_F(ReceiptLines, ReceiptDiscountsAndSurcharges) {
    ASSERT_EQ(Sell(10, 1), 0);
    peer.ClearRequests();
    ASSERT_EQ(layer.ReceiptDiscount(150, 100, "Card 5%"), 0);
    ASSERT_EQ(layer.ReceiptSurcharge(5, 1, nullptr), 0);
    ExpectTotal(1350, 100);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"rd" + FS + "Card 5%" + FS + "1.50", "ra" + FS + FS + "5.00"}));

    peer.ClearRequests();
    EXPECT_EQ(layer.ReceiptDiscount(1351, 100, nullptr), kBrontalBadArguments);
    // "ra" requests stay below 128 bytes.
    EXPECT_EQ(layer.ReceiptSurcharge(1, 1, std::string(123, 't').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.ReceiptDiscount(1, 1, std::string(508, 't').c_str()), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    ASSERT_EQ(layer.ReceiptSurcharge(1, 1, std::string(122, 't').c_str()), 0);
    ASSERT_EQ(layer.ReceiptDiscount(1450, 100, std::string(505, 't').c_str()), 0);
    ExpectTotal(0, 100);

    // A device refusal leaves the total.
    Play({ReplyWith(0x0D, 0x00CB)});
    EXPECT_EQ(layer.ReceiptSurcharge(1, 1, nullptr), -13 - 9200);
    ExpectTotal(0, 100);
}

}  // namespace
}  // namespace prottest
