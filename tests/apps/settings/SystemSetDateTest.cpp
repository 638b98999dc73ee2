// The machine's clock service: which dates it takes, and that a program on a clock of its own
// (every test) can never reach the machine's clock through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "apps/settings/SystemSetDlg.h"
#include "platform/sys/Clock.h"
#include "platform/sys/TimeSetter.h"

TEST(SystemClockService, OnlyRealDatesAndNeverFromAProgramOnItsOwnClock) {
    plat::SystemTime t;
    t.year = 2100;
    t.month = 2;
    t.day = 29;
    EXPECT_FALSE(plat::IsValidDate(t)) << "2100 is no leap year";
    t.year = 2000;
    EXPECT_TRUE(plat::IsValidDate(t));
    t.hour = 24;
    EXPECT_FALSE(plat::IsValidDate(t));

    plat::ManualClock own;
    plat::SetClock(&own);
    t.hour = 10;
    std::string error;
    EXPECT_FALSE(plat::SystemTimeSetter().SetLocalTime(t, &error));
    EXPECT_FALSE(error.empty());
    plat::SetClock(nullptr);
}

TEST(SystemClockService, MonthLengthsFollowTheGregorianCalendar) {
    EXPECT_EQ(CSystemSetDlg::MonthDays(2024, 2), 29);
    EXPECT_EQ(CSystemSetDlg::MonthDays(2023, 2), 28);
    EXPECT_EQ(CSystemSetDlg::MonthDays(2100, 2), 28);
    EXPECT_EQ(CSystemSetDlg::MonthDays(2000, 2), 29);
    // The ACC hold's ladder, both ways, visits the same values.
    std::vector<int> up{0}, down{SYSSET_ACC_HOLD_MAX};
    while (up.back() != SYSSET_ACC_HOLD_MAX)
        up.push_back(CSystemSetDlg::AccHoldStep(up.back(), true));
    while (down.back() != 0)
        down.push_back(CSystemSetDlg::AccHoldStep(down.back(), false));
    std::reverse(down.begin(), down.end());
    EXPECT_EQ(up, down);
    EXPECT_EQ(up.size(), 11u + 5u + 9u + 2u);
}
