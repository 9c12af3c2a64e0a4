// The properties that talk to the printer: the clock (DateTime, DateTimeYYYYMMDDhhmmss) and the
// cashier, through the component, with the requests the virtual printer received.
#include <gtest/gtest.h>

#include <ctime>

#include "ConnectSupport.h"

using namespace connecttest;
using client::Text;
using testsupport::Cp1251;

namespace {

DATE DateOf(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME moment = {};
    moment.wYear = static_cast<WORD>(year);
    moment.wMonth = static_cast<WORD>(month);
    moment.wDay = static_cast<WORD>(day);
    moment.wHour = static_cast<WORD>(hour);
    moment.wMinute = static_cast<WORD>(minute);
    moment.wSecond = static_cast<WORD>(second);
    DATE value = 0;
    EXPECT_TRUE(SystemTimeToVariantTime(&moment, &value));
    return value;
}

// Seconds since the epoch of an "st" request's local date and time; -1 when it is not one.
time_t MomentOfClockRequest(const std::string& request) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const std::string format = "st" + kFs + "%4d%2d%2d" + kGs + "%2d%2d%2d";
    if (std::sscanf(request.c_str(), format.c_str(), &year, &month, &day, &hour, &minute,
                    &second) != 6) {
        return -1;
    }
    std::tm fields = {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

using Clock = ConnectTest;

TEST_F(Clock, ReadsThePrintersClockAsADateAndAsDigits) {
    client::Driver driver = Connected();
    emu::PrinterTime time;
    time.year = 2024;
    time.month = 2;
    time.day = 29;
    time.hour = 13;
    time.minute = 45;
    time.second = 7;
    ASSERT_EQ(printer_.SetFixedClock(time), 0);
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(driver.Get(kDateTime, &value).hr, S_OK);
    ASSERT_EQ(value.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(value.date, DateOf(2024, 2, 29, 13, 45, 7));
    EXPECT_EQ(driver.GetText(kDateTimeYYYYMMDDhhmmss), u"20240229134507");
    // No status query before: the closing refresh takes the words of the clock's reply.
    EXPECT_EQ(Requests(), (Strings{"gt", "gt"}));
}

TEST_F(Clock, ZeroSetsThePrinterToTheLocalTime) {
    client::Driver driver = Connected();
    const time_t before = std::time(nullptr);
    ASSERT_EQ(driver.Put(kDateTime, client::Date(0)).hr, S_OK);
    const time_t after = std::time(nullptr);
    const Strings requests = Requests();
    ASSERT_EQ(requests.size(), 1u);
    const time_t set = MomentOfClockRequest(requests[0]);
    EXPECT_GE(set, before - 1) << requests[0];
    EXPECT_LE(set, after + 1) << requests[0];
}

TEST_F(Clock, ADateIsSentAsItsCalendarFields) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.Put(kDateTime, client::Date(DateOf(2031, 12, 31, 23, 59, 58))).hr, S_OK);
    EXPECT_EQ(Requests(), (Strings{"st" + kFs + "20311231" + kGs + "235958"}));
}

TEST_F(Clock, ADateThatIsNoMomentIsRefusedBeforeSending) {
    client::Driver driver = Connected();
    EXPECT_EQ(Outcome(driver.Put(kDateTime, client::Date(1e9))), Failure(-9002));
    EXPECT_EQ(driver.GetI2(kResultCode), -9002);
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Clock, DigitsAreReadAfterTheSeparatorsAreDropped) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.Put(kDateTimeYYYYMMDDhhmmss, Text(u"2025/07/04 09.08.07")).hr, S_OK);
    ASSERT_EQ(driver.Put(kDateTimeYYYYMMDDhhmmss, Text(u"\t20250704\r\n\\090807 ")).hr, S_OK);
    const std::string expected = "st" + kFs + "20250704" + kGs + "090807";
    EXPECT_EQ(Requests(), (Strings{expected, expected}));

    // Fields out of range are no moment either.
    printer_.ClearLog();
    EXPECT_EQ(Outcome(driver.Put(kDateTimeYYYYMMDDhhmmss, Text(u"20251304090807"))),
              Failure(-9002));
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Clock, AnyOtherShapeOfTextSetsTheLocalTime) {
    client::Driver driver = Connected();
    const time_t before = std::time(nullptr);
    ASSERT_EQ(driver.Put(kDateTimeYYYYMMDDhhmmss, Text(u"2001-02-03 04:05:06")).hr, S_OK);
    ASSERT_EQ(driver.Put(kDateTimeYYYYMMDDhhmmss, Text(u"200102030405")).hr, S_OK);
    const time_t after = std::time(nullptr);
    const Strings requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const std::string& request : requests) {
        const time_t set = MomentOfClockRequest(request);
        EXPECT_GE(set, before - 1) << request;
        EXPECT_LE(set, after + 1) << request;
    }
}

TEST_F(Clock, WithoutALinkTheClockFailsWithTheLayersCode) {
    client::Driver driver = Create();
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(Outcome(driver.Get(kDateTime, &value)), Failure(-9003));
    VariantClear(&value);
    EXPECT_EQ(Outcome(driver.Put(kDateTime, client::Date(0))), Failure(-9003));
    EXPECT_TRUE(printer_.Frames().empty());
}

using Cashier = ConnectTest;

TEST_F(Cashier, WithTheDayClosedTheNameIsOnlyKept) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.GetUI2(kStatus) & emu::kStatusDayOpen, 0);
    EXPECT_EQ(driver.Put(kCashierLogin, Text(client::Wide("Иванов"))).hr, S_OK);
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Cashier, WithTheDayOpenTheCashierIsLoggedInAndReadBack) {
    printer_.SetStatusWords(emu::kInitialStatus | emu::kStatusDayOpen, 0);
    client::Driver driver = Connected();
    EXPECT_EQ(driver.Put(kCashierLogin, Text(client::Wide("Петров"))).hr, S_OK);
    EXPECT_EQ(Requests(), (Strings{"wi" + kFs + Cp1251("Петров")}));

    printer_.ClearLog();
    EXPECT_EQ(client::Utf8(driver.GetText(kCashierLogin)), "Петров");
    EXPECT_EQ(Requests(), (Strings{"wg"}));

    // An empty name logs nobody in.
    printer_.ClearLog();
    EXPECT_EQ(driver.Put(kCashierLogin, Text(u"")).hr, S_OK);
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Cashier, ReadingClearsTheKeptNameWhenThePrinterHasNone) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.Put(kCashierLogin, Text(client::Wide("Иванов"))).hr, S_OK);
    EXPECT_EQ(driver.GetText(kCashierLogin), u"");
    EXPECT_EQ(Requests(), (Strings{"wg"}));
}

TEST_F(Cashier, WithoutALinkTheCashierIsNeitherSentNorRead) {
    client::Driver driver = Create();
    EXPECT_EQ(Outcome(driver.Put(kCashierLogin, Text(u"X"))), Failure(-9003));
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(Outcome(driver.Get(kCashierLogin, &value)), Failure(-9003));
    VariantClear(&value);
    EXPECT_TRUE(printer_.Frames().empty());
}

}  // namespace
