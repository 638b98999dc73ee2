// The settings menu on the whole unit: from the homepage's Settings icon to each settings page
// and back, a press that ends on another button, a language change at the next paint, and the
// rear seat's instance without a skin.
#include "apps/settings/SettingsDlg.h"

#include <gtest/gtest.h>

#include "apps/settings/DualSetDlg.h"
#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "library/include/IKvText.h"
#include "tests/apps/settings/SettingsTestUtil.h"
#include "tests/harness/SkinProbe.h"
#include "tests/harness/TestPages.h"

using harness::CTestPage;
using harness::HeadUnit;
using harness::TestPageKinds;
using KvUserInterface::BUTTON_NORMAL;
using settingstest::Switch;
using settingstest::TapButton;

namespace {

CSettingsDlg* Menu(HeadUnit& unit, int seat = 0) {
    return static_cast<CSettingsDlg*>(unit.Page(seat, APPTYPE_SETTINGS));
}

std::u16string CaptionText(CSettingsDlg* menu, int caption) {
    char16_t* text = nullptr;
    menu->m_pCaption[caption]->GetText(&text);
    return text ? std::u16string(text) : std::u16string();
}

uint8_t State(KvUserInterface::IKvButton* button) {
    uint8_t state = 255;
    button->GetState(&state);
    return state;
}

}  // namespace

TEST(SettingsMenu, EachButtonReachesItsPageAndTheWayBackLeadsToTheMenu) {
    TestPageKinds kinds{APPKIND_SOUND_EFFECT, APPKIND_DISPLAY, APPKIND_SYSTEM_SET,
                        APPKIND_APPLICATION_SET};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    int page = 0;
    const plat::Point icon = harness::HomepageIconCentre(0, "APPTYPE_SETTINGS", &page);
    ASSERT_EQ(page, 1);
    unit.Tap(icon.x, icon.y);
    unit.Advance(100);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    CSettingsDlg* menu = Menu(unit);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(menu->m_bSkinned);
    const plat::Surface shown = unit.Screen(0);
    EXPECT_FALSE(harness::ShowsHomepage(shown, 0));

    // The pages that come back through their own Back: they received the menu as the page to
    // return to.
    const struct {
        int button;
        int app;
    } targets[] = {
        {SETTINGS_AUDIO, APPTYPE_AUDIO_SET},   {SETTINGS_DISPLAY, APPTYPE_DISPLAY_SET},
        {SETTINGS_SYSTEM, APPTYPE_SYSTEM_SET}, {SETTINGS_APPLICATION, APPTYPE_APPLICATION_SET},
        {SETTINGS_ABOUT, APPTYPE_ABOUT},
    };
    for (const auto& t : targets) {
        SCOPED_TRACE(t.app);
        TapButton(unit, menu->m_pButton[t.button]);
        EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, t.app);
        if (CTestPage* target = harness::TestPage(unit.Page(0, t.app))) {
            EXPECT_EQ(target->m_byShowParam, APPTYPE_SETTINGS);
            EXPECT_TRUE(harness::Filled(unit.Screen(0), plat::Rect::FromXYWH(0, 0, 800, 480),
                                        CTestPage::Colour(t.app)));
        }
        // The page's own way back names itself and the menu.
        Switch(unit, 0, APPTYPE_SETTINGS, t.app);
        EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
        EXPECT_EQ(State(menu->m_pButton[t.button]), BUTTON_NORMAL);
    }
    EXPECT_EQ(
        settingstest::Differences(unit.Screen(0), shown, plat::Rect::FromXYWH(0, 0, 800, 480)), 0)
        << "the menu looks as it did";

    // The dual-seat page is real: its Exit comes back here.
    TapButton(unit, menu->m_pButton[SETTINGS_DUAL]);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_DUAL_SET);
    auto* dual = static_cast<CDualSetDlg*>(unit.Page(0, APPTYPE_DUAL_SET));
    EXPECT_EQ(dual->m_byShowParam, APPTYPE_SETTINGS);
    TapButton(unit, dual->m_pButton[DUALSET_EXIT]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);

    TapButton(unit, menu->m_pButton[SETTINGS_RETURN]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_TRUE(harness::ShowsHomepage(unit.Screen(0), 0));
}

TEST(SettingsMenu, APressEndingOnAnotherButtonDoesNothingAndLanguagesShowAtTheNextPaint) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Switch(unit, 0, APPTYPE_SETTINGS);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    CSettingsDlg* menu = Menu(unit);

    const plat::Point from = settingstest::ButtonCentre(menu->m_pButton[SETTINGS_AUDIO], 0);
    const plat::Point to = settingstest::ButtonCentre(menu->m_pButton[SETTINGS_ABOUT], 0);
    unit.PenDown(from.x, from.y);
    unit.Advance(40);
    unit.PenUp(to.x, to.y);
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS);
    EXPECT_EQ(State(menu->m_pButton[SETTINGS_AUDIO]), BUTTON_NORMAL);
    EXPECT_EQ(State(menu->m_pButton[SETTINGS_ABOUT]), BUTTON_NORMAL);

    CKernel* k = unit.Kernel();
    EXPECT_EQ(CaptionText(menu, 0), std::u16string(k->m_Language[MSG_SETTING_SOUND]));
    const plat::Surface english = unit.Screen(0);
    k->m_Settings.iLanguage = 3;
    k->LoadLanguage();
    ASSERT_NE(std::u16string(k->m_Language[MSG_SETTING_SOUND]), u"Sound");
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(60);
    for (int caption = 0; caption < SETTINGS_CAPTION_COUNT; ++caption) {
        SCOPED_TRACE(caption);
        const int entry[SETTINGS_CAPTION_COUNT] = {MSG_SETTING_SOUND, MSG_SETTING_DISPLAY,
                                                   MSG_SETTING_MISC,  MSG_SETTING_APP,
                                                   MSG_SETTING_DUAL,  MSG_SETTING_INFO};
        EXPECT_EQ(CaptionText(menu, caption), std::u16string(k->m_Language[entry[caption]]));
    }
    EXPECT_GT(
        settingstest::Differences(unit.Screen(0), english, plat::Rect::FromXYWH(30, 170, 150, 50)),
        20)
        << "the first caption is drawn in the new language";
}

TEST(SettingsMenu, TheRearSeatsMenuHasNoSkinAndATapGoesHome) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Switch(unit, 1, APPTYPE_SETTINGS);
    ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_SETTINGS);
    EXPECT_FALSE(Menu(unit, 1)->m_bSkinned);
    EXPECT_TRUE(harness::Filled(unit.Screen(1), plat::Rect::FromXYWH(0, 0, 800, 600),
                                settings::kNoSkinBackground));
    unit.Tap(800 + 400, 300);
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_TRUE(harness::ShowsHomepage(unit.Screen(1), 1));
}
