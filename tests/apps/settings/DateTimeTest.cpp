// The clock page on the whole head unit: where the default skin's hands stand at given times
// of the injected clock, and where a tap leads.
#include "apps/settings/DateTimeDlg.h"

#include <gtest/gtest.h>

#include "tests/apps/settings/SettingsPages.h"
#include "tests/harness/TestPages.h"

using namespace settingstest;
using harness::TestPageKinds;

namespace {

// The default skin's hand colours.
constexpr uint32_t kHour = 0xFFF2C94C;
constexpr uint32_t kMinute = 0xFFE8EEF4;
constexpr uint32_t kSecond = 0xFFE0524A;

void SetTime(HeadUnit& unit, int hour, int minute, int second) {
    plat::SystemTime t;
    t.year = 2026, t.month = 3, t.day = 9, t.dayOfWeek = 1;
    t.hour = hour, t.minute = minute, t.second = second;
    unit.Clock().SetUtc(t);
    unit.Clock().SetLocalOffsetMinutes(0);
    // A paint now, without moving the clock on.
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Pump();
}

}  // namespace

TEST(ClockPage, HandsStandWhereTheTimeSaysAndATapReturnsToTheCaller) {
    TestPageKinds kinds{APPKIND_RADIO};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    auto* page = dynamic_cast<CDateTimeDlg*>(unit.Page(0, APPTYPE_DATETIME));
    ASSERT_TRUE(page && page->Skinned());
    EXPECT_EQ(page->HandPoint(0).x, 397);
    EXPECT_EQ(page->HandPoint(0).y, 217);
    EXPECT_EQ(page->HandPoint(15).x, 427);
    EXPECT_EQ(page->HandPoint(30).y, 277);

    SetTime(unit, 0, 0, 0);
    Open(unit, 0, APPTYPE_DATETIME, APPTYPE_RADIO);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_DATETIME);
    // Midnight: all three upright on point 0 (397, 217).
    plat::Surface s = unit.Screen(0);
    EXPECT_EQ(s.PixelAt(392, 180), kHour);
    EXPECT_EQ(s.PixelAt(400, 130), kMinute);
    EXPECT_EQ(s.PixelAt(397, 100), kSecond);
    EXPECT_NE(s.PixelAt(460, 242), kHour);

    // 03:15:30: hour and minute turned a quarter to point 15 (427, 247), the second half a
    // turn at point 30 (397, 277).
    SetTime(unit, 3, 15, 30);
    s = unit.Screen(0);
    EXPECT_EQ(s.PixelAt(460, 242), kHour);
    EXPECT_EQ(s.PixelAt(510, 248), kMinute);
    EXPECT_EQ(s.PixelAt(397, 350), kSecond);
    EXPECT_NE(s.PixelAt(392, 180), kHour);
    EXPECT_NE(s.PixelAt(400, 130), kMinute);

    // A tap goes back to the radio that opened it.
    unit.Tap(100, 100);
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_RADIO);

    // Opened by the sound page or by the homepage: back to the homepage.
    for (int caller : {APPTYPE_AUDIO_SET, APPTYPE_HOMEPAGE}) {
        Open(unit, 0, APPTYPE_DATETIME, caller);
        ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_DATETIME);
        unit.Tap(700, 400);
        unit.Advance(100);
        EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE) << caller;
    }
}
