// The properties that talk to the printer: the clock (DateTime, DateTimeYYYYMMDDhhmmss) and the
// cashier, through the component, with the requests the virtual printer received.
#include <gtest/gtest.h>

#include <ctime>

#include "PrinterSession.h"
#include "Registry.h"

using namespace client;
using namespace testsupport;

namespace {

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

using Clock = PrinterSession;

TEST_F(Clock, ReadsThePrintersClockAsADateAndAsDigits) {
    client::Driver driver = Connected();
    const emu::PrinterTime time{2024, 2, 29, 13, 45, 7};
    ASSERT_EQ(printer_.SetFixedClock(time), 0);
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(driver.Get(member::DateTime, &value).hr, S_OK);
    ASSERT_EQ(value.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(value.date, Moment(2024, 2, 29, 13, 45, 7));
    EXPECT_EQ(driver.GetText(member::DateTimeYYYYMMDDhhmmss), u"20240229134507");
    // No status query before: the closing refresh takes the words of the clock's reply.
    EXPECT_EQ(printer_.Requests(), (Strings{"gt", "gt"}));
}

TEST_F(Clock, ZeroSetsThePrinterToTheLocalTime) {
    client::Driver driver = Connected();
    const time_t before = std::time(nullptr);
    ASSERT_EQ(driver.Put(member::DateTime, client::Date(0)).hr, S_OK);
    const time_t after = std::time(nullptr);
    const Strings requests = printer_.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const time_t set = MomentOfClockRequest(requests[0]);
    EXPECT_GE(set, before - 1) << requests[0];
    EXPECT_LE(set, after + 1) << requests[0];
}

TEST_F(Clock, ADateIsSentAsItsCalendarFields) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.Put(member::DateTime, client::Date(Moment(2031, 12, 31, 23, 59, 58))).hr,
              S_OK);
    EXPECT_EQ(printer_.Requests(), (Strings{"st" + kFs + "20311231" + kGs + "235958"}));
}

TEST_F(Clock, ADateThatIsNoMomentIsRefusedBeforeSending) {
    client::Driver driver = Connected();
    EXPECT_EQ(Outcome(driver.Put(member::DateTime, client::Date(1e9))), Failure(-9002));
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9002);
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Clock, DigitsAreReadAfterTheSeparatorsAreDropped) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.Put(member::DateTimeYYYYMMDDhhmmss, Text(u"2025/07/04 09.08.07")).hr, S_OK);
    ASSERT_EQ(driver.Put(member::DateTimeYYYYMMDDhhmmss, Text(u"\t20250704\r\n\\090807 ")).hr,
              S_OK);
    const std::string expected = "st" + kFs + "20250704" + kGs + "090807";
    EXPECT_EQ(printer_.Requests(), (Strings{expected, expected}));

    // Fields out of range are no moment either.
    printer_.ClearLog();
    EXPECT_EQ(Outcome(driver.Put(member::DateTimeYYYYMMDDhhmmss, Text(u"20251304090807"))),
              Failure(-9002));
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Clock, AnyOtherShapeOfTextSetsTheLocalTime) {
    client::Driver driver = Connected();
    const time_t before = std::time(nullptr);
    ASSERT_EQ(driver.Put(member::DateTimeYYYYMMDDhhmmss, Text(u"2001-02-03 04:05:06")).hr, S_OK);
    ASSERT_EQ(driver.Put(member::DateTimeYYYYMMDDhhmmss, Text(u"200102030405")).hr, S_OK);
    const time_t after = std::time(nullptr);
    const Strings requests = printer_.Requests();
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
    EXPECT_EQ(Outcome(driver.Get(member::DateTime, &value)), Failure(-9003));
    VariantClear(&value);
    EXPECT_EQ(Outcome(driver.Put(member::DateTime, client::Date(0))), Failure(-9003));
    EXPECT_TRUE(printer_.Frames().empty());
}

using Cashier = PrinterSession;

TEST_F(Cashier, WithTheDayClosedTheNameIsOnlyKept) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.GetUI2(member::Status) & emu::kStatusDayOpen, 0);
    EXPECT_EQ(driver.Put(member::CashierLogin, Text(client::Wide("Иванов"))).hr, S_OK);
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Cashier, WithTheDayOpenTheCashierIsLoggedInAndReadBack) {
    printer_.SetStatusWords(emu::kInitialStatus | emu::kStatusDayOpen, 0);
    client::Driver driver = Connected();
    EXPECT_EQ(driver.Put(member::CashierLogin, Text(client::Wide("Петров"))).hr, S_OK);
    EXPECT_EQ(printer_.Requests(), (Strings{"wi" + kFs + Cp1251("Петров")}));

    printer_.ClearLog();
    EXPECT_EQ(client::Utf8(driver.GetText(member::CashierLogin)), "Петров");
    EXPECT_EQ(printer_.Requests(), (Strings{"wg"}));

    // An empty name logs nobody in.
    printer_.ClearLog();
    EXPECT_EQ(driver.Put(member::CashierLogin, Text(u"")).hr, S_OK);
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Cashier, ReadingClearsTheKeptNameWhenThePrinterHasNone) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.Put(member::CashierLogin, Text(client::Wide("Иванов"))).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::CashierLogin), u"");
    EXPECT_EQ(printer_.Requests(), (Strings{"wg"}));
}

TEST_F(Cashier, WithoutALinkTheCashierIsNeitherSentNorRead) {
    client::Driver driver = Create();
    EXPECT_EQ(Outcome(driver.Put(member::CashierLogin, Text(u"X"))), Failure(-9003));
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(Outcome(driver.Get(member::CashierLogin, &value)), Failure(-9003));
    VariantClear(&value);
    EXPECT_TRUE(printer_.Frames().empty());
}

}  // namespace
