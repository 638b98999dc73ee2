// The about page on the whole head unit: its versions from the build, the board simulator and
// the power-module emulator, and OK that leaves only when released on it, however the pen
// moved on the way.
#include <gtest/gtest.h>

#include "apps/settings/AboutDlg.h"
#include "platform/text/Text.h"
#include "tests/apps/settings/SettingsPages.h"

using namespace settingstest;

namespace {

CAboutDlg* About(HeadUnit& unit, int seat = 0) {
    return dynamic_cast<CAboutDlg*>(unit.Page(seat, APPTYPE_ABOUT));
}

}  // namespace

TEST(AboutPage, ShowsTheVersionsAndOkLeavesOnlyWhenReleasedOnIt) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    CKernel* k = unit.Kernel();
    ASSERT_TRUE(unit.WaitFor([&] { return !k->m_PowerModule.m_strVersion.empty(); }));
    Open(unit, 0, APPTYPE_ABOUT, APPTYPE_SETTINGS);
    CAboutDlg* page = About(unit);
    ASSERT_TRUE(page && page->Skinned());

    EXPECT_EQ(page->Label(0), plat::FormatStr(u"%s : ", k->m_Language[MSG_VELKORA_VER]));
    EXPECT_EQ(page->Label(3), plat::FormatStr(u"%s : ", k->m_Language[MSG_POWERMODULE_VER]));
    // The build gives no product version here: "2.x" and the build's date.
    EXPECT_EQ(page->Value(0), u"2.x " + plat::Utf8ToUtf16(__DATE__));
    char board[128] = {};
    ASSERT_EQ(k->m_Board.AudioGetVersion(board, sizeof board), 0);
    ASSERT_NE(board[0], '\0');
    EXPECT_EQ(page->Value(1), plat::Utf8ToUtf16(board));
    EXPECT_EQ(page->Value(2), plat::Utf8ToUtf16(board));
    EXPECT_EQ(page->Value(3), plat::Utf8ToUtf16(k->m_PowerModule.m_strVersion));

    // OK pressed, slid off and released outside: the page stays.
    const plat::Point ok = Middle(page->OkButton());
    unit.PenDown(ok.x, ok.y);
    unit.PenMove(ok.x + 200, ok.y - 200);
    unit.PenUp(ok.x + 200, ok.y - 200);
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_ABOUT);

    // The board not ready: rows 2 and 3 empty, the power module's version still there.
    k->m_bFirmwareReady = 0;
    Open(unit, 0, APPTYPE_ABOUT, APPTYPE_SETTINGS);
    EXPECT_EQ(page->Value(1), u"");
    EXPECT_EQ(page->Value(2), u"");
    EXPECT_EQ(page->Value(3), plat::Utf8ToUtf16(k->m_PowerModule.m_strVersion));
    k->m_bFirmwareReady = 1;

    // A tap on OK with the pen trembling by a pixel: back to the opener at the next paint.
    unit.PenDown(ok.x, ok.y);
    unit.PenMove(ok.x + 1, ok.y);
    unit.PenUp(ok.x + 1, ok.y);
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
}

TEST(AboutPage, TheRearSeatsPageDrawsItsBackgroundAndGoesHome) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Open(unit, 1, APPTYPE_ABOUT, APPTYPE_SETTINGS);
    CAboutDlg* page = About(unit, 1);
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->Skinned());
    unit.Tap(SeatX(1) + 400, 300);
    unit.Advance(200);
    EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_HOMEPAGE);
}
