// The value syntax of drvkeltor: money, dates, numbers and arrays at their limits, and the
// texts shown for what the driver returns.
#include <gtest/gtest.h>

#include <windows.h>

#include <limits>

#include "Values.h"

namespace {

using drvkeltor::FormatDate;
using drvkeltor::FormatMoney;
using drvkeltor::FormatValue;
using drvkeltor::ParseDate;
using drvkeltor::ParseInteger;
using drvkeltor::ParseMoney;
using drvkeltor::ParseValue;

LONGLONG Money(const char* text) {
    LONGLONG money = -1;
    EXPECT_TRUE(ParseMoney(text, &money)) << text;
    return money;
}

TEST(MoneyText, PointAndUpToFourDecimals) {
    EXPECT_EQ(Money("12.50"), 125000);
    EXPECT_EQ(Money("12.5"), 125000);
    EXPECT_EQ(Money("12"), 120000);
    EXPECT_EQ(Money("0.0001"), 1);
    EXPECT_EQ(Money("-2.75"), -27500);
    EXPECT_EQ(Money(" 3.261 "), 32610);
    EXPECT_EQ(Money(".5"), 5000);
    EXPECT_EQ(Money("+1"), 10000);
}

TEST(MoneyText, RefusesWhatIsNotAnAmount) {
    LONGLONG money = 77;
    for (const char* text :
         {"", "-", ".", "12.34567", "12,50", "1.2.3", "12a", "1e3", "- 1", "0x10", "12.50 EUR"}) {
        EXPECT_FALSE(ParseMoney(text, &money)) << text;
    }
    EXPECT_EQ(money, 77);  // untouched by a refusal
}

TEST(MoneyText, LimitsOfTheCurrencyType) {
    // The largest CY is 922337203685477.5807.
    EXPECT_EQ(Money("922337203685477.5807"), std::numeric_limits<LONGLONG>::max());
    EXPECT_EQ(Money("922337203685476.9999"), std::numeric_limits<LONGLONG>::max() - 5808);
    LONGLONG money = 0;
    EXPECT_FALSE(ParseMoney("922337203685478", &money));
    EXPECT_FALSE(ParseMoney("99999999999999999999", &money));
}

TEST(MoneyText, ShownWithTwoToFourDecimals) {
    EXPECT_EQ(FormatMoney(125000), "12.50");
    EXPECT_EQ(FormatMoney(0), "0.00");
    EXPECT_EQ(FormatMoney(32610), "3.261");
    EXPECT_EQ(FormatMoney(1), "0.0001");
    EXPECT_EQ(FormatMoney(-27500), "-2.75");
    EXPECT_EQ(FormatMoney(-1), "-0.0001");
    EXPECT_EQ(FormatMoney(std::numeric_limits<LONGLONG>::min()), "-922337203685477.5808");
    EXPECT_EQ(FormatMoney(std::numeric_limits<LONGLONG>::max()), "922337203685477.5807");
}

TEST(DateText, IsoDatesWithAndWithoutTime) {
    DATE date = 0;
    ASSERT_TRUE(ParseDate("2026-12-08", &date));
    EXPECT_EQ(FormatDate(date), "2026-12-08T00:00:00");
    ASSERT_TRUE(ParseDate("2026-12-08T10:20:30", &date));
    EXPECT_EQ(FormatDate(date), "2026-12-08T10:20:30");
    ASSERT_TRUE(ParseDate("2026-12-08 10:20", &date));
    EXPECT_EQ(FormatDate(date), "2026-12-08T10:20:00");
    ASSERT_TRUE(ParseDate("2024-02-29", &date));
    EXPECT_EQ(FormatDate(date), "2024-02-29T00:00:00");
    // The zero date stands for "now" in the driver's clock setters.
    ASSERT_TRUE(ParseDate("0", &date));
    EXPECT_EQ(date, 0.0);
    EXPECT_EQ(FormatDate(0.0), "1899-12-30T00:00:00");
}

TEST(DateText, RefusesDaysThatDoNotExist) {
    DATE date = 42;
    for (const char* text :
         {"2026-13-01", "2026-00-10", "2026-02-30", "2023-02-29", "2026-04-31", "2026-12-08T24:00",
          "2026-12-08T10:60", "2026-12-08T10:20:61", "08.12.2026", "2026-1-8", "2026-12-08T",
          "2026-12-08x10:00", "20261208"}) {
        EXPECT_FALSE(ParseDate(text, &date)) << text;
    }
    EXPECT_EQ(date, 42.0);
}

TEST(IntegerText, DecimalHexAndRanges) {
    LONGLONG number = 0;
    EXPECT_TRUE(ParseInteger("65535", 0, 65535, &number));
    EXPECT_EQ(number, 65535);
    EXPECT_FALSE(ParseInteger("65536", 0, 65535, &number));
    EXPECT_FALSE(ParseInteger("-1", 0, 65535, &number));
    EXPECT_TRUE(ParseInteger("0x1F", 0, 65535, &number));
    EXPECT_EQ(number, 31);
    EXPECT_TRUE(ParseInteger("-32768", -32768, 32767, &number));
    EXPECT_EQ(number, -32768);
    EXPECT_FALSE(ParseInteger("0x", 0, 65535, &number));
    EXPECT_FALSE(ParseInteger("12.0", 0, 65535, &number));
    EXPECT_FALSE(ParseInteger("", 0, 65535, &number));
    EXPECT_FALSE(ParseInteger("18446744073709551616", 0, 65535, &number));
    EXPECT_FALSE(ParseInteger("0x10000000000000000", 0, 65535, &number));
}

TEST(MemberValues, EachTypeFromItsText) {
    VARIANT value;
    std::string error;
    ASSERT_TRUE(ParseValue(VT_UI2, "7", &value, &error));
    EXPECT_EQ(value.vt, VT_UI2);
    EXPECT_EQ(value.uiVal, 7);
    ASSERT_TRUE(ParseValue(VT_I4, "-70000", &value, &error));
    EXPECT_EQ(value.lVal, -70000);
    ASSERT_TRUE(ParseValue(VT_UI4, "4294967295", &value, &error));
    EXPECT_EQ(value.ulVal, 4294967295u);
    ASSERT_TRUE(ParseValue(VT_CY, "12.50", &value, &error));
    EXPECT_EQ(value.vt, VT_CY);
    EXPECT_EQ(value.cyVal.int64, 125000);

    // Texts are kept as given, spaces included; Cyrillic arrives as UTF-16.
    ASSERT_TRUE(ParseValue(VT_BSTR, " Кофе ", &value, &error));
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(std::u16string(value.bstrVal, SysStringLen(value.bstrVal)), u" Кофе ");
    EXPECT_EQ(FormatValue(value), " Кофе ");
    VariantClear(&value);

    ASSERT_TRUE(ParseValue(VT_BSTR, "", &value, &error));
    EXPECT_EQ(SysStringLen(value.bstrVal), 0u);
    VariantClear(&value);
}

TEST(MemberValues, RefusalsSayWhy) {
    VARIANT value;
    std::string error;
    EXPECT_FALSE(ParseValue(VT_UI2, "70000", &value, &error));
    EXPECT_EQ(error, "not a whole number from 0 to 65535");
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_FALSE(ParseValue(VT_CY, "1,5", &value, &error));
    EXPECT_NE(error.find("amount"), std::string::npos);
    EXPECT_FALSE(ParseValue(VT_DATE, "yesterday", &value, &error));
    EXPECT_NE(error.find("date"), std::string::npos);
    EXPECT_FALSE(ParseValue(VT_UNKNOWN, "1", &value, &error));
    EXPECT_EQ(value.vt, VT_EMPTY);
}

TEST(MemberValues, ArraysOfTextsAndNumbers) {
    VARIANT value;
    std::string error;
    ASSERT_TRUE(ParseValue(VT_ARRAY | VT_BSTR, "Хлеб|Молоко||", &value, &error));
    ASSERT_EQ(value.vt, VT_ARRAY | VT_BSTR);
    LONG low = -1;
    LONG high = -1;
    SafeArrayGetLBound(value.parray, 1, &low);
    SafeArrayGetUBound(value.parray, 1, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 3);  // empty items are items
    EXPECT_EQ(FormatValue(value), "Хлеб|Молоко||");
    VariantClear(&value);

    ASSERT_TRUE(ParseValue(VT_ARRAY | VT_UI2, "1, 2,65535", &value, &error));
    EXPECT_EQ(FormatValue(value), "1,2,65535");
    VariantClear(&value);
    ASSERT_TRUE(ParseValue(VT_ARRAY | VT_I4, "-5", &value, &error));
    EXPECT_EQ(FormatValue(value), "-5");
    VariantClear(&value);

    // An empty text is an empty array, not an array of one empty item.
    ASSERT_TRUE(ParseValue(VT_ARRAY | VT_BSTR, "", &value, &error));
    SafeArrayGetUBound(value.parray, 1, &high);
    EXPECT_EQ(high, -1);
    VariantClear(&value);

    EXPECT_FALSE(ParseValue(VT_ARRAY | VT_UI2, "1,65536", &value, &error));
    EXPECT_EQ(error, "item 2 is not a number from 0 to 65535");
    EXPECT_EQ(value.vt, VT_EMPTY);
}

TEST(MemberValues, ShownAsTheToolWritesThem) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I2;
    value.iVal = -9002;
    EXPECT_EQ(FormatValue(value), "-9002");
    value.vt = VT_CY;
    value.cyVal.int64 = -34000;
    EXPECT_EQ(FormatValue(value), "-3.40");
    value.vt = VT_EMPTY;
    EXPECT_EQ(FormatValue(value), "");
    value.vt = VT_R8;
    EXPECT_EQ(FormatValue(value), "<type 5>");
}

}  // namespace
