// The volume buttons read the same way on every page that has them: volume down on the left,
// the mute button in the middle, volume up on the right, on both seats.
#include <gtest/gtest.h>

#include "apps/radio/RadioDlg.h"
#include "apps/settings/AUXDlg.h"
#include "apps/settings/DisplayDlg.h"
#include "apps/settings/DualSetDlg.h"
#include "apps/settings/SystemSetDlg.h"
#include "tests/apps/settings/SettingsPages.h"

using harness::HeadUnit;
using KvUserInterface::IKvButton;

namespace {

int Left(IKvButton* button) {
    plat::Rect r{};
    button->GetRect(&r);
    return r.left;
}

// Vol-Del, Vol-Icon, Vol-Add of the page `app` shown on `seat`, from left to right.
void ExpectDownMuteUp(HeadUnit& unit, int seat, int app, IKvButton* add, IKvButton* icon,
                      IKvButton* del) {
    SCOPED_TRACE(testing::Message() << "seat " << seat << ", page " << app);
    settingstest::Open(unit, seat, app, APPTYPE_HOMEPAGE);
    ASSERT_EQ(unit.Seat(seat)->m_iCurrentApp, app);
    ASSERT_TRUE(add && icon && del);
    EXPECT_LT(Left(del), Left(icon));
    EXPECT_LT(Left(icon), Left(add));
}

}  // namespace

TEST(VolumeButtons, ReadDownMuteUpOnEveryPage) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    for (int seat : {0, 1}) {
        auto* radio = static_cast<CRadioDlg*>(unit.Page(seat, APPTYPE_RADIO));
        ExpectDownMuteUp(unit, seat, APPTYPE_RADIO, radio->m_pButton[RADIO_BTN_VOL_ADD],
                         radio->m_pButton[RADIO_BTN_VOL_ICON], radio->m_pButton[RADIO_BTN_VOL_DEL]);
    }
    auto* aux = static_cast<CAUXDlg*>(unit.Page(0, APPTYPE_AUX));
    ExpectDownMuteUp(unit, 0, APPTYPE_AUX, aux->m_pButton[AUX_VOL_ADD],
                     aux->m_pButton[AUX_VOL_ICON], aux->m_pButton[AUX_VOL_DEL]);
    auto* dual = static_cast<CDualSetDlg*>(unit.Page(0, APPTYPE_DUAL_SET));
    ExpectDownMuteUp(unit, 0, APPTYPE_DUAL_SET, dual->m_pButton[DUALSET_VOL_ADD],
                     dual->m_pButton[DUALSET_VOL_ICON], dual->m_pButton[DUALSET_VOL_DEL]);
    auto* system = static_cast<CSystemSetDlg*>(unit.Page(0, APPTYPE_SYSTEM_SET));
    ExpectDownMuteUp(unit, 0, APPTYPE_SYSTEM_SET, system->m_pButton[SYSSET_VOL_ADD],
                     system->m_pButton[SYSSET_VOL_ICON], system->m_pButton[SYSSET_VOL_DEL]);
    auto* display = static_cast<CDisplayDlg*>(unit.Page(0, APPTYPE_DISPLAY_SET));
    ExpectDownMuteUp(unit, 0, APPTYPE_DISPLAY_SET, display->Button(DD_VOL_ADD),
                     display->Button(DD_VOL_ICON), display->Button(DD_VOL_DEL));
}
