#include <gtest/gtest.h>

#include "TickTimer.h"

namespace {

TEST(TickTimer, NeverStartedHasNoTimeLeft) {
    TickTimer timer;
    EXPECT_EQ(timer.Remaining(0), 0u);
    EXPECT_EQ(timer.Remaining(12345), 0u);
    EXPECT_EQ(timer.Remaining(), 0u);
}

TEST(TickTimer, CountsDownAndStopsAtZero) {
    TickTimer timer;
    timer.Start(550, 1000);
    EXPECT_EQ(timer.Remaining(1000), 550u);
    EXPECT_EQ(timer.Remaining(1549), 1u);
    EXPECT_EQ(timer.Remaining(1550), 0u);
    EXPECT_EQ(timer.Remaining(900000), 0u);

    timer.Start(0, 1000);
    EXPECT_EQ(timer.Remaining(1000), 0u);
}

TEST(TickTimer, RestartGivesAFullBudgetAgain) {
    TickTimer timer;
    timer.Start(550, 1000);
    timer.Start(550, 1500);
    EXPECT_EQ(timer.Remaining(1600), 450u);
}

TEST(TickTimer, ExpiresAcrossTheTickCounterWrap) {
    TickTimer timer;
    timer.Start(100, 0xFFFFFFF0u);
    EXPECT_EQ(timer.Remaining(0xFFFFFFF0u), 100u);
    EXPECT_EQ(timer.Remaining(0xFFFFFFFFu), 85u);
    // After the wrap the elapsed time counts one tick more.
    EXPECT_EQ(timer.Remaining(0u), 83u);
    EXPECT_EQ(timer.Remaining(0x52u), 1u);
    EXPECT_EQ(timer.Remaining(0x53u), 0u);
    EXPECT_EQ(timer.Remaining(0x7FFFFFFFu), 0u);
}

TEST(TickTimer, StartOnTickZeroStillRunsItsBudget) {
    TickTimer timer;
    timer.Start(100, 0);
    EXPECT_EQ(timer.Remaining(0), 100u);
    EXPECT_EQ(timer.Remaining(50), 51u);
    EXPECT_EQ(timer.Remaining(101), 0u);
}

TEST(TickTimer, FollowsTheSystemTick) {
    TickTimer timer;
    timer.Start(60000);
    const DWORD left = timer.Remaining();
    EXPECT_GT(left, 0u);
    EXPECT_LE(left, 60000u);
}

}  // namespace
