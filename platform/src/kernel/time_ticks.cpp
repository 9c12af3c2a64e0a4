// Ticks, sleeping, wall-clock time and the identities of the process and its threads.
#include <windows.h>

#include <cerrno>
#include <ctime>

#include <sched.h>
#include <unistd.h>

#include "calendar.h"

namespace {

ULONGLONG MonotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<ULONGLONG>(now.tv_sec) * 1000u +
           static_cast<ULONGLONG>(now.tv_nsec) / 1000000u;
}

void FillSystemTime(const std::tm& parts, long nanoseconds, LPSYSTEMTIME out) {
    out->wYear = static_cast<WORD>(parts.tm_year + 1900);
    out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    out->wDay = static_cast<WORD>(parts.tm_mday);
    out->wHour = static_cast<WORD>(parts.tm_hour);
    out->wMinute = static_cast<WORD>(parts.tm_min);
    // A leap second shows as second 60 in struct tm; SYSTEMTIME has no room for it.
    out->wSecond = static_cast<WORD>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    out->wMilliseconds = static_cast<WORD>(nanoseconds / 1000000);
}

bool IsValidSystemTime(const SYSTEMTIME& t) {
    if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1) {
        return false;
    }
    return t.wDay <= calendar::DaysInMonth(t.wYear, t.wMonth) && t.wHour < 24 && t.wMinute < 60 &&
           t.wSecond < 60 && t.wMilliseconds < 1000;
}

}  // namespace

WINBASEAPI DWORD WINAPI GetTickCount(void) {
    // Truncated to 32 bits on purpose: callers rely on the wrap every 49.7 days, as on Windows.
    return static_cast<DWORD>(MonotonicMilliseconds());
}

WINBASEAPI ULONGLONG WINAPI GetTickCount64(void) {
    return MonotonicMilliseconds();
}

WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        sched_yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) {
            pause();
        }
    }
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += dwMilliseconds / 1000;
    deadline.tv_nsec += static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

WINBASEAPI void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    localtime_r(&now.tv_sec, &parts);
    FillSystemTime(parts, now.tv_nsec, lpSystemTime);
}

WINBASEAPI void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (!lpSystemTime) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    gmtime_r(&now.tv_sec, &parts);
    FillSystemTime(parts, now.tv_nsec, lpSystemTime);
}

WINBASEAPI BOOL WINAPI SetLocalTime(const SYSTEMTIME* lpSystemTime) {
    if (!lpSystemTime || !IsValidSystemTime(*lpSystemTime)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

WINBASEAPI DWORD WINAPI GetCurrentThreadId(void) {
    thread_local DWORD id = static_cast<DWORD>(gettid());
    return id;
}

WINBASEAPI DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}
