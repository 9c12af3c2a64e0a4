// Automation dates: days since 30 December 1899 with the time of day as the fraction. Before day
// 0 the integer part counts back while the fraction still counts forward, so -1.25 is
// 29 December 1899 06:00, not 28 December 18:00.
#include <oleauto.h>

#include <cmath>

#include "calendar.h"

namespace {

// 1 January 100 and 31 December 9999, the range Automation dates cover.
constexpr long long kFirstDay = -657434;
constexpr long long kLastDay = 2958465;
// Day 0 counted from 1 January 1970.
constexpr long long kDayZeroFromUnixEpoch = -25569;
constexpr long long kSecondsPerDay = 86400;

// Days from 1 January 1970 to a proleptic Gregorian date.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
}

}  // namespace

WINOLEAUTAPI_(INT) VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime || !std::isfinite(vtime) || vtime <= kFirstDay - 1.0 ||
        vtime >= kLastDay + 1.0) {
        return FALSE;
    }
    long long day = static_cast<long long>(std::trunc(vtime));
    const double fraction = std::fabs(vtime - static_cast<double>(day));
    long long seconds = std::llround(fraction * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        // Rounded up to midnight: the next day, forward in time on either side of day 0.
        seconds -= kSecondsPerDay;
        ++day;
    }
    if (day < kFirstDay || day > kLastDay) {
        return FALSE;
    }
    long long year;
    unsigned month, dayOfMonth;
    CivilFromDays(day + kDayZeroFromUnixEpoch, year, month, dayOfMonth);
    lpSystemTime->wYear = static_cast<WORD>(year);
    lpSystemTime->wMonth = static_cast<WORD>(month);
    lpSystemTime->wDay = static_cast<WORD>(dayOfMonth);
    // Day 0 was a Saturday.
    lpSystemTime->wDayOfWeek = static_cast<WORD>(((day + 6) % 7 + 7) % 7);
    lpSystemTime->wHour = static_cast<WORD>(seconds / 3600);
    lpSystemTime->wMinute = static_cast<WORD>(seconds / 60 % 60);
    lpSystemTime->wSecond = static_cast<WORD>(seconds % 60);
    lpSystemTime->wMilliseconds = 0;
    return TRUE;
}

WINOLEAUTAPI_(INT) SystemTimeToVariantTime(LPSYSTEMTIME lpSystemTime, DOUBLE* pvtime) {
    if (!lpSystemTime || !pvtime) {
        return FALSE;
    }
    const SYSTEMTIME& st = *lpSystemTime;
    if (st.wYear < 100 || st.wYear > 9999 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > calendar::DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59) {
        return FALSE;
    }
    const long long day = DaysFromCivil(st.wYear, st.wMonth, st.wDay) - kDayZeroFromUnixEpoch;
    const double time =
        static_cast<double>(st.wHour * 3600 + st.wMinute * 60 + st.wSecond) / kSecondsPerDay;
    *pvtime = day >= 0 ? static_cast<double>(day) + time : static_cast<double>(day) - time;
    return TRUE;
}
