// Money rounding and the running receipt total.
#include <gtest/gtest.h>

#include "Brontal.h"

namespace {

struct Rounded {
    LONGLONG value;
    DWORD scale;
};

Rounded Round(LONGLONG value, DWORD scale, LONGLONG minBill, DWORD decimals) {
    Rounded r{0, scale};
    r.value = CBrontal::RoundToMinBill(value, &r.scale, minBill, decimals);
    return r;
}

TEST(RoundToMinBill, MinimumBillOfFiveMovesTheBoundariesDownByHalfAUnit) {
    const struct {
        LONGLONG in;
        LONGLONG out;
    } cases[] = {
        {1231, 1230},   {1232, 1235},   {1236, 1235},   {1237, 1240}, {1230, 1230},
        {-1232, -1235}, {-1231, -1230}, {-1237, -1240}, {1, 0},       {2, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        const Rounded r = Round(c.in, 100, 5, 2);
        EXPECT_EQ(r.value, c.out);
        EXPECT_EQ(r.scale, 100U);
    }
}

TEST(RoundToMinBill, TensFiftiesAndHundredsRoundHalvesAwayFromZero) {
    const struct {
        LONGLONG minBill;
        LONGLONG in;
        LONGLONG out;
    } cases[] = {
        {10, 1234, 1230},    {10, 1235, 1240},  {10, -1235, -1240}, {10, -1234, -1230},
        {50, 1224, 1200},    {50, 1225, 1250},  {50, 1274, 1250},   {50, 1275, 1300},
        {50, -1275, -1300},  {100, 1249, 1200}, {100, 1250, 1300},  {100, -1250, -1300},
        {100, -1249, -1200}, {1, 1234, 1234},   {1, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minBill << " " << c.in);
        EXPECT_EQ(Round(c.in, 100, c.minBill, 2).value, c.out);
    }
}

TEST(RoundToMinBill, AmountsComeToTheCurrencyDecimals) {
    // Extra digits are cut, not rounded: 12.345 and 12.349 both become 12.34.
    Rounded r = Round(12345, 1000, 1, 2);
    EXPECT_EQ(r.value, 1234);
    EXPECT_EQ(r.scale, 100U);
    EXPECT_EQ(Round(12349, 1000, 1, 2).value, 1234);
    EXPECT_EQ(Round(-12349, 1000, 1, 2).value, -1234);
    // The interface's scale of 10000, at a currency without decimals.
    r = Round(125000, 10000, 1, 0);
    EXPECT_EQ(r.value, 12);
    EXPECT_EQ(r.scale, 1U);
    // Fewer decimals than the currency: brought up. Scale 0 counts as 1.
    r = Round(12, 0, 1, 2);
    EXPECT_EQ(r.value, 1200);
    EXPECT_EQ(r.scale, 100U);
    r = Round(35, 10, 5, 2);
    EXPECT_EQ(r.value, 350);
    EXPECT_EQ(r.scale, 100U);
    // After the cut the minimum bill applies: 12.347 with 5 -> 12.34 -> 12.35.
    EXPECT_EQ(Round(12347, 1000, 5, 2).value, 1235);
}

TEST(RoundToMinBill, NoMinimumBillLeavesAmountAndScale) {
    const Rounded r = Round(12345, 1000, 0, 2);
    EXPECT_EQ(r.value, 12345);
    EXPECT_EQ(r.scale, 1000U);
}

TEST(RoundToMinBill, OtherMinimumBillsGiveMultiplesOfThemselves) {
    // 12.09 with a minimum bill of 2 is 12.10, and 12.90 is already a multiple of 0.30.
    EXPECT_EQ(Round(1209, 100, 2, 2).value, 1210);
    EXPECT_EQ(Round(1290, 100, 30, 2).value, 1290);
    EXPECT_EQ(Round(1270, 100, 20, 2).value, 1280);
    EXPECT_EQ(Round(1269, 100, 20, 2).value, 1260);
}

TEST(RoundToMinBill, HugeAmountsSaturateInsteadOfWrapping) {
    const LONGLONG max = 9223372036854775807LL;
    EXPECT_EQ(Round(max / 10, 1, 1, 2).value, max);
    EXPECT_EQ(Round(-max / 10, 1, 1, 2).value, -max - 1);
    EXPECT_EQ(Round(max, 100, 5, 2).value, max);
}

TEST(MultiplyRounded, HalfUpForPositiveAndTruncationForNegative) {
    DWORD scale = 100;
    // 12.35 * 1.5 = 18.525 -> 18.53 (remainder 500 of 1000 rounds up).
    EXPECT_EQ(CBrontal::MultiplyRounded(1235, 1500, 1000, 1, &scale, 2), 1853);
    EXPECT_EQ(scale, 100U);
    scale = 100;
    EXPECT_EQ(CBrontal::MultiplyRounded(1235, 1499, 1000, 1, &scale, 2), 1851);  // 18.51265
    scale = 100;
    EXPECT_EQ(CBrontal::MultiplyRounded(-1235, 1500, 1000, 1, &scale, 2), -1852);
    scale = 100;
    EXPECT_EQ(CBrontal::MultiplyRounded(1235, -1999, 1000, 1, &scale, 2), -2468);
    // A divisor of 0 counts as 1; the minimum bill applies afterwards.
    scale = 100;
    EXPECT_EQ(CBrontal::MultiplyRounded(1232, 1, 0, 5, &scale, 2), 1235);
    scale = 100;
    EXPECT_EQ(CBrontal::MultiplyRounded(1, 2, 2, 1, &scale, 2), 1);
    // A product beyond 64 bits saturates.
    scale = 1;
    EXPECT_EQ(CBrontal::MultiplyRounded(3000000000LL, 3000000000LL, 1, 1, &scale, 0),
              3000000000LL * 3000000000LL);
    scale = 1;
    EXPECT_EQ(CBrontal::MultiplyRounded(3000000000LL * 3000000000LL, 4, 1, 1, &scale, 0),
              9223372036854775807LL);
}

TEST(SubtractRounded, DifferenceAtTheCommonScale) {
    DWORD scale = 0;
    // 12.3 - 12.25 = 0.05.
    EXPECT_EQ(CBrontal::SubtractRounded(123, 10, 1225, 100, 1, &scale, 2), 5);
    EXPECT_EQ(scale, 100U);
    EXPECT_EQ(CBrontal::SubtractRounded(1225, 100, 123, 10, 1, &scale, 2), 5);
    // 12.3401 - 12 at scale 10000, currency of two decimals: 0.3401 -> 0.34; with 5 -> 0.35.
    EXPECT_EQ(CBrontal::SubtractRounded(123401, 10000, 12, 1, 1, &scale, 2), 34);
    EXPECT_EQ(CBrontal::SubtractRounded(123401, 10000, 12, 0, 5, &scale, 2), 35);
    EXPECT_EQ(scale, 100U);
}

TEST(ReceiptTotal, AddsAcrossScalesAtTheLargerOne) {
    CBrontal layer;
    layer.ResetTotal(1, 0, 0);
    DWORD scale = 0;
    EXPECT_EQ(layer.AddToTotal(FALSE, 1205, 100, &scale), 1205);
    EXPECT_EQ(scale, 100U);
    EXPECT_EQ(layer.AddToTotal(FALSE, 3, 0, &scale), 1505);        // + 3.00
    EXPECT_EQ(layer.AddToTotal(FALSE, 125, 1000, &scale), 15175);  // + 0.125
    EXPECT_EQ(scale, 1000U);
    EXPECT_EQ(layer.Total().scale, 1000U);
    EXPECT_EQ(layer.AddToTotal(TRUE, 5, 10, &scale), 14675);  // - 0.5
    // A preview changes nothing.
    EXPECT_EQ(layer.PreviewTotal(FALSE, 1, 10000, &scale), 146751);
    EXPECT_EQ(scale, 10000U);
    EXPECT_EQ(layer.Total().amount, 14675);
    EXPECT_EQ(layer.Total().scale, 1000U);
}

TEST(ReceiptTotal, RefundsAndAnnulmentsCountNegative) {
    CBrontal layer;
    const struct {
        int kind;
        BOOL set;
        LONGLONG amount;
    } cases[] = {{1, TRUE, 500}, {4, TRUE, 500}, {2, TRUE, -500}, {5, TRUE, -500},
                 {0, FALSE, 0},  {3, FALSE, 0},  {20, FALSE, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        layer.ResetTotal(c.kind, 500, 100);
        LONGLONG amount = 77;
        DWORD scale = 7;
        EXPECT_EQ(layer.GetTotal(&amount, &scale), c.set);
        EXPECT_EQ(amount, c.set ? c.amount : 77);
        EXPECT_EQ(scale, c.set ? 100U : 7U);
    }
}

}  // namespace
