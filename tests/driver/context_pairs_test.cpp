// The decimal pairs between CY and the command layer, the conversion back, and what the receipt
// context clears.
#include <gtest/gtest.h>

#include <limits>

#include "DriverHost.h"
#include "ReceiptContext.h"
#include "Settings.h"

namespace drivertest {
namespace {

CY Cy(LONGLONG money) {
    CY value = {};
    value.int64 = money;
    return value;
}

void ExpectPair(const DecimalPair& pair, LONGLONG value, DWORD scale) {
    EXPECT_EQ(pair.value, value);
    EXPECT_EQ(pair.scale, scale);
}

TEST(DecimalPairs, AmountsTakeTheDecimalsTheyNeed) {
    ExpectPair(AmountPair(125000), 125, 10);    // 12.5
    ExpectPair(AmountPair(120000), 12, 1);      // 12
    ExpectPair(AmountPair(1), 1, 10000);        // 0.0001
    ExpectPair(AmountPair(-27500), -275, 100);  // -2.75
    ExpectPair(AmountPair(654000), 654, 10);    // 65.4
    ExpectPair(AmountPair(65400), 654, 100);    // 6.54
    ExpectPair(AmountPair(0), 0, 1);
    ExpectPair(AmountPair(-10000), -1, 1);
    ExpectPair(AmountPair(-1), -1, 10000);
}

TEST(DecimalPairs, AmountsAtTheLimitsOfTheCurrencyType) {
    const LONGLONG most = std::numeric_limits<LONGLONG>::max();   // ...5807
    const LONGLONG least = std::numeric_limits<LONGLONG>::min();  // ...5808
    ExpectPair(AmountPair(most), most, 10000);
    ExpectPair(AmountPair(least), least, 10000);
    ExpectPair(AmountPair(least + 5808), (least + 5808) / 10000, 1);
}

TEST(DecimalPairs, QuantitiesKeepNoFractionWhenNegative) {
    ExpectPair(QuantityPair(25000), 25, 10);  // 2.5
    ExpectPair(QuantityPair(10000), 1, 1);    // 1
    ExpectPair(QuantityPair(32610), 3261, 1000);
    ExpectPair(QuantityPair(1), 1, 10000);
    ExpectPair(QuantityPair(0), 0, 1);
    ExpectPair(QuantityPair(-15000), -1, 1);  // -1.5 in whole units
    ExpectPair(QuantityPair(-20000), -2, 1);
    ExpectPair(QuantityPair(-1), 0, 1);
    ExpectPair(QuantityPair(std::numeric_limits<LONGLONG>::min()),
               std::numeric_limits<LONGLONG>::min() / 10000, 1);
}

TEST(DecimalPairs, PrinterAmountsBackToMoney) {
    EXPECT_EQ(MoneyFromPair(1250, 100), 125000);
    EXPECT_EQ(MoneyFromPair(7, 0), 70000);  // a scale of 0 is a whole number
    EXPECT_EQ(MoneyFromPair(7, 1), 70000);
    EXPECT_EQ(MoneyFromPair(-5, 100), -500);
    EXPECT_EQ(MoneyFromPair(123456, 100000), 12345);  // a fifth decimal is cut
    EXPECT_EQ(MoneyFromPair(-123456, 100000), -12345);
    EXPECT_EQ(MoneyFromPair(5, 1000000000), 0);
    EXPECT_EQ(MoneyFromPair(15, 3), 50000);  // not a power of ten: still value / scale
    // Beyond the currency type it saturates instead of wrapping its sign.
    EXPECT_EQ(MoneyFromPair(std::numeric_limits<LONGLONG>::max(), 1),
              std::numeric_limits<LONGLONG>::max());
    EXPECT_EQ(MoneyFromPair(std::numeric_limits<LONGLONG>::min(), 10),
              std::numeric_limits<LONGLONG>::min());
    for (const LONGLONG money : {125000LL, 1LL, -27500LL, 0LL, 987654321LL}) {
        EXPECT_EQ(MoneyFromPair(AmountPair(money)), money) << money;
    }
}

// One attempt per command: a printer switched off fails a query within seconds.
class ContextTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        ExtenderSettings.cmdRetryCount = 1;
    }
    void TearDown() override {
        ExtenderSettings.cmdRetryCount = kDefaultCmdRetryCount;
        DriverTest::TearDown();
    }
};

TEST_F(ContextTest, ResetClearsTheTotalsAlwaysAndTheLineInputsWhenAsked) {
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.put_Price(Cy(125000)), S_OK);
    ASSERT_EQ(driver.put_Quantity(Cy(20000)), S_OK);
    ASSERT_EQ(driver.put_Department(3), S_OK);
    ASSERT_EQ(driver.put_Amount(Cy(50000)), S_OK);
    ASSERT_EQ(driver.put_CorrectionAmount(Cy(10000)), S_OK);
    ASSERT_EQ(driver.put_NoncashType(2), S_OK);
    ASSERT_EQ(driver.put_ReceiptType(2), S_OK);

    driver.ResetReceiptContext(false);
    CY money = {};
    USHORT number = 0;
    driver.get_Price(&money);
    EXPECT_EQ(money.int64, 125000);
    driver.get_Amount(&money);
    EXPECT_EQ(money.int64, 50000);
    driver.get_CorrectionAmount(&money);
    EXPECT_EQ(money.int64, 0);
    driver.get_NoncashType(&number);
    EXPECT_EQ(number, 0);

    driver.ResetReceiptContext(true);
    driver.get_Price(&money);
    EXPECT_EQ(money.int64, 0);
    driver.get_Quantity(&money);
    EXPECT_EQ(money.int64, 0);
    driver.get_Amount(&money);
    EXPECT_EQ(money.int64, 0);
    driver.get_Department(&number);
    EXPECT_EQ(number, 0);
    driver.get_ReceiptType(&number);
    EXPECT_EQ(number, 2);  // the document kind is no line input
}

TEST_F(ContextTest, TotalsOfNoDocumentAreZeroAndAFailedQueryLeavesThem) {
    HostedDriver driver(AttachedLayer());
    // A layer outside any receipt has no running total: nothing is owed.
    ASSERT_EQ(driver.RefreshReceiptTotals(), 0);
    CY money = {};
    driver.get_Subtotal(&money);
    EXPECT_EQ(money.int64, 0);
    // Without an answer to "kc" no cash counts as paid.
    printer_.Stop();
    EXPECT_EQ(driver.CalcCashPayedSum(), 0);
}

TEST_F(ContextTest, RestoreWithoutAnAnswerReturnsTheFailureWithTheContextCleared) {
    HostedDriver driver(AttachedLayer());
    ASSERT_EQ(driver.put_Price(Cy(125000)), S_OK);
    printer_.Stop();
    EXPECT_LT(driver.RestoreReceiptContext(), 0);
    CY money = {};
    driver.get_Price(&money);
    EXPECT_EQ(money.int64, 0);
}

}  // namespace
}  // namespace drivertest
