// Tick counter, sleeping, wall-clock time and identities.
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>

#include <unistd.h>

namespace {

TEST(KernelTicks, ThirtyTwoBitCounterIsTheLowPartOfTheSixtyFourBitOne) {
    ULONGLONG before = GetTickCount64();
    DWORD ticks = GetTickCount();
    ULONGLONG after = GetTickCount64();
    EXPECT_LE(before, after);
    // Unsigned differences stay right across the 32-bit wrap.
    EXPECT_LE(static_cast<DWORD>(ticks - static_cast<DWORD>(before)),
              static_cast<DWORD>(after - before));
}

TEST(KernelTicks, DifferencesAcrossTheWrapAreUnsigned) {
    const DWORD start = 0xFFFFFFF0u;
    const DWORD now = 0x00000010u;
    EXPECT_EQ(static_cast<DWORD>(now - start), 0x20u);
}

TEST(KernelTicks, SleepWaitsAndNeverGoesBackwards) {
    ULONGLONG start = GetTickCount64();
    Sleep(30);
    ULONGLONG slept = GetTickCount64() - start;
    EXPECT_GE(slept, 29u);
    ULONGLONG last = GetTickCount64();
    for (int i = 0; i < 1000; ++i) {
        Sleep(0);
        ULONGLONG now = GetTickCount64();
        ASSERT_GE(now, last);
        last = now;
    }
}

TEST(KernelTime, LocalAndSystemTimeMatchTheCLibrary) {
    SYSTEMTIME local{}, utc{};
    std::time_t before = std::time(nullptr);
    GetLocalTime(&local);
    GetSystemTime(&utc);
    std::time_t after = std::time(nullptr);
    if (before != after) {
        GTEST_SKIP() << "second boundary crossed";
    }
    std::tm expectLocal{}, expectUtc{};
    localtime_r(&before, &expectLocal);
    gmtime_r(&before, &expectUtc);
    EXPECT_EQ(local.wYear, expectLocal.tm_year + 1900);
    EXPECT_EQ(local.wMonth, expectLocal.tm_mon + 1);
    EXPECT_EQ(local.wDay, expectLocal.tm_mday);
    EXPECT_EQ(local.wDayOfWeek, expectLocal.tm_wday);
    EXPECT_EQ(local.wHour, expectLocal.tm_hour);
    EXPECT_EQ(local.wMinute, expectLocal.tm_min);
    EXPECT_EQ(local.wSecond, expectLocal.tm_sec);
    EXPECT_LT(local.wMilliseconds, 1000);
    EXPECT_EQ(utc.wHour, expectUtc.tm_hour);
    EXPECT_EQ(utc.wDayOfWeek, expectUtc.tm_wday);
}

TEST(KernelTime, SetLocalTimeChecksThenRefuses) {
    SYSTEMTIME t{2024, 2, 0, 30, 12, 0, 0, 0};  // 30 February
    SetLastError(0);
    EXPECT_FALSE(SetLocalTime(&t));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    t.wDay = 29;  // 2024 is a leap year
    SetLastError(0);
    EXPECT_FALSE(SetLocalTime(&t));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(SetLocalTime(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(KernelIdentity, ProcessAndThreadIds) {
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
    // The main thread's id is the process id on Linux.
    EXPECT_EQ(GetCurrentThreadId(), static_cast<DWORD>(getpid()));
}

}  // namespace
