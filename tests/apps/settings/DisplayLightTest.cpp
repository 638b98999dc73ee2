// The display page, the light settings page and the way between them on the whole head unit,
// against the board simulator's picture values and light sensor.
#include <gtest/gtest.h>

#include <functional>

#include "apps/settings/DisplayDlg.h"
#include "apps/settings/LightSettingsDlg.h"
#include "core/kernel/SysSettings.h"
#include "tests/apps/settings/SettingsPages.h"
#include "tests/harness/SkinProbe.h"

using namespace settingstest;
using harness::HeadUnitOptions;

namespace {

CDisplayDlg* Display(HeadUnit& unit, int app = APPTYPE_DISPLAY_SET, int seat = 0) {
    return dynamic_cast<CDisplayDlg*>(unit.Page(seat, app));
}

CLightSettingsDlg* Light(HeadUnit& unit) {
    return dynamic_cast<CLightSettingsDlg*>(unit.Page(0, APPTYPE_LIGHT_SETTINGS));
}

void SetSets(SYS_SETTINGS& s) {
    s.iBrightnessDay = 4, s.iContrastDay = 4, s.iSaturationDay = 4, s.iBacklightDay = 8;
    s.iBrightnessNight = 2, s.iContrastNight = 2, s.iSaturationNight = 2, s.iBacklightNight = 1;
    s.iBrightness = 6, s.iContrast = 6, s.iSaturation = 6, s.iBacklight = 6;
}

HeadUnitOptions Options(const std::string& board = std::string()) {
    HeadUnitOptions options;
    options.settings = SetSets;
    options.boardScript = board;
    return options;
}

}  // namespace

TEST(DisplayPage, FollowsDayAndNightStepsWithinRangeAndExitPutsTheBoardBack) {
    CDisplayDlg::ResetCheckTime();
    HeadUnit unit(Options());
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    CKernel* k = unit.Kernel();
    Open(unit, 0, APPTYPE_DISPLAY_SET, APPTYPE_SETTINGS);
    CDisplayDlg* page = Display(unit);
    ASSERT_TRUE(page && page->Skinned());
    const SYS_SETTINGS shown = k->m_Settings;
    // The sensor decides and it is day: the day set, the backlight selected.
    EXPECT_EQ(page->Selected(), DV_BACKLIGHT);
    EXPECT_EQ(page->SliderValue(DV_BACKLIGHT), 8);

    // Night falls: within a second the sliders show the night set.
    ASSERT_TRUE(unit.Board().Command("night 1"));
    unit.Advance(1100);
    EXPECT_EQ(page->SliderValue(DV_BACKLIGHT), 1);
    EXPECT_EQ(page->Active(DV_BRIGHTNESS), 2);

    // Brightness steps stop at 10 and at 0, each on the board at once.
    TapButton(unit, 0, page->Button(DD_BRIGHTNESS));
    EXPECT_EQ(page->Selected(), DV_BRIGHTNESS);
    for (int i = 0; i < 10; ++i)
        TapButton(unit, 0, page->Button(DD_PLUS_MID));
    EXPECT_EQ(page->Active(DV_BRIGHTNESS), 10);
    EXPECT_EQ(unit.Board().Get("brightness"), 10);
    for (int i = 0; i < 12; ++i)
        TapButton(unit, 0, page->Button(DD_MINUS_MID));
    EXPECT_EQ(page->Active(DV_BRIGHTNESS), 0);
    EXPECT_EQ(unit.Board().Get("brightness"), 0);

    // A board that cannot be reached takes no step: the value stays.
    TapButton(unit, 0, page->Button(DD_CONTRAST));
    k->m_bFirmwareReady = 0;
    TapButton(unit, 0, page->Button(DD_PLUS_MID));
    k->m_bFirmwareReady = 1;
    EXPECT_EQ(page->Active(DV_CONTRAST), 2);
    EXPECT_EQ(page->SliderValue(DV_CONTRAST), 2);
    TapButton(unit, 0, page->Button(DD_PLUS_MID));
    EXPECT_EQ(unit.Board().Get("contrast"), 3);

    // Exit: the board gets the stored night values back, the settings stay as they were.
    TapButton(unit, 0, page->Button(DD_EXIT));
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    EXPECT_EQ(unit.Board().Get("brightness"), 2);
    EXPECT_EQ(unit.Board().Get("contrast"), 2);
    SYS_SETTINGS now = k->m_Settings;
    now.iCurrentApp = shown.iCurrentApp;
    EXPECT_EQ(WriteSettingsBlock(now), WriteSettingsBlock(shown));

    // Shown again: the stored values, not the discarded ones.
    Open(unit, 0, APPTYPE_DISPLAY_SET, APPTYPE_SETTINGS);
    EXPECT_EQ(page->Active(DV_BRIGHTNESS), 2);
    EXPECT_EQ(page->Active(DV_CONTRAST), 2);

    // Save keeps a step and stores it on the board once.
    TapButton(unit, 0, page->Button(DD_BACKLIGHT));
    TapButton(unit, 0, page->Button(DD_PLUS_MID));
    const long commits = unit.Board().Get("commits");
    TapButton(unit, 0, page->Button(DD_SAVE));
    unit.Advance(100);
    EXPECT_EQ(k->m_Settings.iBacklightNight, 2);
    EXPECT_EQ(unit.Board().Get("commits"), commits + 1);
    SYS_SETTINGS disk{};
    ASSERT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(unit.File(SYS_SETTINGS_DB)), disk));
    EXPECT_EQ(disk.iBacklightNight, 2);
}

TEST(LightPage, AutoAndManualActOnTheBoardsRealModeAndTheBacklightPageOffersItsSliderOnly) {
    CDisplayDlg::ResetCheckTime();
    // The board starts with the sensor off.
    HeadUnit unit(Options("auto-light 0"));
    ASSERT_TRUE(unit.Start());
    Open(unit, 0, APPTYPE_LIGHT_SETTINGS, APPTYPE_HOMEPAGE);
    CLightSettingsDlg* light = Light(unit);
    ASSERT_TRUE(light && light->Skinned());

    // Auto twice: the board is told once.
    unit.Board().ClearLog();
    TapButton(unit, 0, light->Button(LS_AUTO));
    TapButton(unit, 0, light->Button(LS_AUTO));
    EXPECT_EQ(Calls(unit, "video 16 SetAutoLight(").size(), 1u);
    EXPECT_EQ(unit.Board().Get("auto-light"), 1);

    // Manual: the sensor off, then the backlight page.
    unit.Board().ClearLog();
    TapButton(unit, 0, light->Button(LS_MANUAL));
    unit.Advance(100);
    EXPECT_EQ(Calls(unit, "video 16 SetAutoLight(0)").size(), 1u);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_DISPLAY_MANU);
    CDisplayDlg* manual = Display(unit, APPTYPE_DISPLAY_MANU);
    ASSERT_TRUE(manual && manual->Skinned());
    EXPECT_EQ(manual->Selected(), DV_BACKLIGHT);
    EXPECT_EQ(manual->Active(DV_BACKLIGHT), 6) << "the manual set";

    // Its hidden controls take no tap: Reset is not there.
    unit.Board().ClearLog();
    for (int hidden : {DD_RESET, DD_BRIGHTNESS, DD_CONTRAST, DD_SATURATION})
        TapButton(unit, 0, manual->Button(hidden));
    EXPECT_TRUE(Calls(unit, "video 18").empty());
    EXPECT_TRUE(Calls(unit, "video 16").empty());
    EXPECT_EQ(manual->Selected(), DV_BACKLIGHT);
    TapButton(unit, 0, manual->Button(DD_EXIT));
    unit.Advance(100);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_LIGHT_SETTINGS);

    // Manual while already manual: no call, the backlight page all the same.
    unit.Board().ClearLog();
    TapButton(unit, 0, light->Button(LS_MANUAL));
    unit.Advance(100);
    EXPECT_TRUE(Calls(unit, "video 16").empty());
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_DISPLAY_MANU);

    // A display Reset gives the sensor back to the board; Auto then has nothing to do.
    Open(unit, 0, APPTYPE_DISPLAY_SET, APPTYPE_SETTINGS);
    TapButton(unit, 0, Display(unit)->Button(DD_RESET));
    EXPECT_EQ(unit.Board().Get("auto-light"), 1);
    EXPECT_EQ(Display(unit)->Active(DV_BACKLIGHT), 9) << "the day set's defaults";
    Open(unit, 0, APPTYPE_LIGHT_SETTINGS, APPTYPE_HOMEPAGE);
    unit.Board().ClearLog();
    TapButton(unit, 0, light->Button(LS_AUTO));
    EXPECT_TRUE(Calls(unit, "video 16").empty());

    // The screen off: once; pressed again while off, nothing is sent.
    TapButton(unit, 0, light->Button(LS_BACKLIGHT));
    EXPECT_EQ(unit.Board().Get("backlight-power"), 0);
    EXPECT_EQ(unit.Seat(0)->m_bScreenOff, 1);
    unit.Board().ClearLog();
    light->OnButtonClick(LS_BACKLIGHT);
    EXPECT_TRUE(Calls(unit, "video 13").empty());
    // The next touch lights it again.
    unit.Tap(400, 300);
    unit.Advance(100);
    EXPECT_EQ(unit.Board().Get("backlight-power"), 1);
}

TEST(DisplayPage, TheRearSeatsPageWithoutSkinDrawsItsBackgroundAndATapGoesHome) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    for (int app : {APPTYPE_DISPLAY_SET, APPTYPE_DISPLAY_MANU, APPTYPE_LIGHT_SETTINGS}) {
        Open(unit, 1, app, APPTYPE_SETTINGS);
        ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, app);
        EXPECT_TRUE(
            harness::Filled(unit.Screen(1), plat::Rect::FromXYWH(0, 0, 800, 600), 0xFF141A22));
        CVelkoraAppDlg* page = unit.Page(1, app);
        page->OnBack();
        page->ResetDefault();
        unit.Tap(800 + 400, 300);
        unit.Advance(100);
        EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_HOMEPAGE) << app;
    }
    EXPECT_TRUE(harness::ShowsHomepage(unit.Screen(1), 1));
}
