// The millisecond clock, driven by setting msec directly: get_time2 measures against the
// caller's base and moves it only on reset 1, get_time keeps a base of its own, get_tick is msec.
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

#include "base/clock.h"

namespace {

struct Clock : ::testing::Test {
    int saved = 0;
    void SetUp() override { saved = msec; }
    void TearDown() override { msec = saved; }
};

TEST_F(Clock, ResetThenReadAfter150) {
    int base = 0;
    msec = 1000;
    get_time2(&base, 1);
    EXPECT_EQ(base, 1000);
    msec = 1150;
    EXPECT_EQ(get_time2(&base, 0), 150);
    EXPECT_EQ(base, 1000);
    msec = 1200;
    EXPECT_EQ(get_time2(&base, 0), 200);
}

TEST_F(Clock, ResetReturnsElapsedBeforeMovingBase) {
    int base = 100;
    msec = 400;
    EXPECT_EQ(get_time2(&base, 1), 300);
    EXPECT_EQ(base, 400);
    EXPECT_EQ(get_time2(&base, 0), 0);
}

TEST_F(Clock, OnlyResetOneMovesTheBase) {
    int base = 10;
    msec = 50;
    EXPECT_EQ(get_time2(&base, 2), 40);
    EXPECT_EQ(base, 10);
}

TEST_F(Clock, BasesAreIndependent) {
    int a = 0, b = 0;
    msec = 10;
    get_time2(&a, 1);
    msec = 30;
    get_time2(&b, 1);
    msec = 100;
    EXPECT_EQ(get_time2(&a, 0), 90);
    EXPECT_EQ(get_time2(&b, 0), 70);
}

TEST_F(Clock, TimePassedFiresOnlyAfterTheIntervalAndRestarts) {
    int base = 0;
    msec = 1000;
    get_time2(&base, 1);
    msec = 1140;
    EXPECT_EQ(time_passed(&base, 140), 0);
    EXPECT_EQ(base, 1000);
    msec = 1141;
    EXPECT_EQ(time_passed(&base, 140), 1);
    EXPECT_EQ(base, 1141);
    EXPECT_EQ(time_passed(&base, 140), 0);
}

TEST_F(Clock, GetTimeKeepsItsOwnBase) {
    int mine = 0;
    msec = 500;
    get_time(1);
    get_time2(&mine, 1);
    msec = 520;
    get_time2(&mine, 1);
    msec = 600;
    EXPECT_EQ(get_time(0), 100);
    EXPECT_EQ(get_time(1), 100);
    EXPECT_EQ(get_time(0), 0);
}

TEST_F(Clock, IncMsecFollowsRealTimeAndNeverGoesBack) {
    reset_clock();
    EXPECT_EQ(get_tick(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
    inc_msec();
    EXPECT_GE(get_tick(), 25); // at least the time slept, however slow the machine
    msec = 1000000;
    inc_msec();
    EXPECT_EQ(get_tick(), 1000000);
}

} // namespace
