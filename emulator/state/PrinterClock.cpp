// The printer's clock: the host's local time moved by an offset, as a real printer keeps its own
// time after someone set it, or a time that stands still for tests that compare exact bytes.
#include <cstdio>
#include <ctime>

#include "PrinterState.h"

namespace emu {

namespace {

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

bool IsValidTime(const PrinterTime& time) {
    // Four-digit years: the date goes out as "%04d%02d%02d".
    if (time.year < 1970 || time.year > 9999 || time.month < 1 || time.month > 12) {
        return false;
    }
    return time.day >= 1 && time.day <= DaysInMonth(time.year, time.month) && time.hour >= 0 &&
           time.hour <= 23 && time.minute >= 0 && time.minute <= 59 && time.second >= 0 &&
           time.second <= 59;
}

bool IsValidClock(const PrinterClock& clock) {
    if (clock.offsetSeconds < -kMaxClockOffsetSeconds ||
        clock.offsetSeconds > kMaxClockOffsetSeconds) {
        return false;
    }
    return !clock.fixed || IsValidTime(clock.fixedTime);
}

PrinterTime ClockNow(const PrinterClock& clock) {
    if (clock.fixed) {
        return clock.fixedTime;
    }
    const std::time_t now = std::time(nullptr) + static_cast<std::time_t>(clock.offsetSeconds);
    std::tm local{};
    PrinterTime time;
    if (localtime_r(&now, &local) == nullptr) {
        return time;  // out of the C library's range: the offset is bounded, so this is moot
    }
    time.year = local.tm_year + 1900;
    time.month = local.tm_mon + 1;
    time.day = local.tm_mday;
    time.hour = local.tm_hour;
    time.minute = local.tm_min;
    // A leap second would show as 60; the printer's clock has none.
    time.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return time;
}

std::string TimeDigits(const PrinterTime& time) {
    char text[32];  // fourteen digits for four-digit years; room for the compiler's worst case
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return text;
}

}  // namespace emu
