// The AUX pages on the whole unit: the mixer line each input selects, the volume buttons at the
// top of the scale and while muted, a held button that steps once, and the second input's page
// without Exit.
#include "apps/settings/AUXDlg.h"

#include <gtest/gtest.h>

#include "core/kernel/Kernel.h"
#include "tests/apps/settings/SettingsTestUtil.h"
#include "tests/harness/SkinProbe.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using settingstest::Switch;
using settingstest::TapButton;

namespace {

CAUXDlg* Aux(HeadUnit& unit, int app) {
    return static_cast<CAUXDlg*>(unit.Page(0, app));
}

plat::Rect ButtonRect(CAUXDlg* page, int button) {
    plat::Rect r;
    page->m_pButton[button]->GetRect(&r);
    return r;
}

}  // namespace

TEST(AuxPage, EachInputHasItsLineAndTheVolumeButtonsKeepToTheScaleAndTheMute) {
    HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) { s.iAudioLevel = 32; };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    CKernel* k = unit.Kernel();
    ASSERT_EQ(k->m_iVolume.load(), 32);

    Switch(unit, 0, APPTYPE_AUX);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_AUX);
    CAUXDlg* aux = Aux(unit, APPTYPE_AUX);
    ASSERT_TRUE(aux->m_bSkinned);
    EXPECT_EQ(settingstest::Count(unit.Log(), "CAUXDlg::Show(): mixer line 12"), 1);
    EXPECT_EQ(settingstest::Count(unit.Log(), "CAUXDlg::Show(): mixer line 11"), 0);
    const plat::Surface auxScreen = unit.Screen(0);

    TapButton(unit, aux->m_pButton[AUX_VOL_ADD]);
    EXPECT_EQ(k->m_iVolume.load(), 32) << "the top of the scale holds";
    TapButton(unit, aux->m_pButton[AUX_VOL_DEL]);
    EXPECT_EQ(k->m_iVolume.load(), 31);
    EXPECT_EQ(k->m_Settings.iAudioLevel, 31);

    // Held for a second, a volume button still steps once: this page does not repeat.
    const plat::Point del = settingstest::ButtonCentre(aux->m_pButton[AUX_VOL_DEL], 0);
    unit.PenDown(del.x, del.y);
    unit.Advance(1000);
    unit.PenUp(del.x, del.y);
    unit.Advance(100);
    EXPECT_EQ(k->m_iVolume.load(), 30);

    TapButton(unit, aux->m_pButton[AUX_VOL_ICON]);
    EXPECT_EQ(k->m_bMute.load(), 1);
    TapButton(unit, aux->m_pButton[AUX_VOL_DEL]);
    TapButton(unit, aux->m_pButton[AUX_VOL_ADD]);
    EXPECT_EQ(k->m_iVolume.load(), 30) << "muted, the volume buttons do nothing";
    TapButton(unit, aux->m_pButton[AUX_VOL_ICON]);
    EXPECT_EQ(k->m_bMute.load(), 0);

    // Exit asks for the AUX page again, with the parameter of its own way back.
    TapButton(unit, aux->m_pButton[AUX_EXIT]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_AUX);
    EXPECT_EQ(aux->m_byShowParam, APPTYPE_DISPLAY_SET);

    // The second input: its own line, and no Exit to see or touch.
    Switch(unit, 0, APPTYPE_AUX2, APPTYPE_AUX);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_AUX2);
    CAUXDlg* aux2 = Aux(unit, APPTYPE_AUX2);
    EXPECT_EQ(settingstest::Count(unit.Log(), "CAUXDlg::Show(): mixer line 11"), 1);
    const plat::Surface aux2Screen = unit.Screen(0);
    EXPECT_GT(settingstest::Differences(auxScreen, aux2Screen, ButtonRect(aux2, AUX_EXIT)), 100)
        << "AUX shows Exit where AUX2 shows its background";
    EXPECT_EQ(settingstest::Differences(auxScreen, aux2Screen, ButtonRect(aux2, AUX_RET_MENU)), 0);
    TapButton(unit, aux2->m_pButton[AUX_EXIT]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_AUX2);
    EXPECT_EQ(aux2->m_byShowParam, APPTYPE_AUX);
    EXPECT_EQ(settingstest::Differences(aux2Screen, unit.Screen(0), ButtonRect(aux2, AUX_EXIT)), 0)
        << "a tap there presses nothing";

    TapButton(unit, aux2->m_pButton[AUX_RET_MENU]);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_TRUE(harness::ShowsHomepage(unit.Screen(0), 0));
}
