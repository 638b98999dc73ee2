#include <gtest/gtest.h>

#include <thread>

#include "platform/sys/Clock.h"

using namespace plat;

TEST(Clock, ManualClockDrivesTicksAndCalendar) {
    ManualClock clock(0, 8 * 60);
    SetClock(&clock);
    SystemTime t;
    t.year = 2026, t.month = 3, t.day = 3, t.hour = 20, t.minute = 30, t.second = 5;
    clock.SetUtc(t);
    uint32_t start = GetTickCount();
    SleepMs(250);  // auto-advance: returns at once with the clock moved
    EXPECT_EQ(GetTickCount() - start, 250u);
    SystemTime utc = GetClock().Utc();
    EXPECT_EQ(utc.hour, 20);
    EXPECT_EQ(utc.second, 5);
    EXPECT_EQ(utc.milliseconds, 250);
    SystemTime local = GetClock().Local();
    EXPECT_EQ(local.day, 4);
    EXPECT_EQ(local.hour, 4);
    EXPECT_EQ(local.dayOfWeek, 3);  // 4 March 2026 is a Wednesday
    SetClock(nullptr);
}

TEST(Clock, SleepWaitsForAnotherThreadWithoutAutoAdvance) {
    ManualClock clock;
    clock.SetAutoAdvance(false);
    std::atomic<bool> woke{false};
    std::thread sleeper([&] {
        clock.Sleep(1000);
        woke = true;
    });
    while (clock.Sleepers() == 0)
        std::this_thread::yield();
    clock.Advance(999);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(woke);
    clock.Advance(1);
    sleeper.join();
    EXPECT_TRUE(woke);
}

TEST(Clock, EpochConversionRoundTrips) {
    SystemTime t = FromEpoch(1700000000);
    EXPECT_EQ(t.year, 2023);
    EXPECT_EQ(ToEpoch(t), 1700000000);
}
