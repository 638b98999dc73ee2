#include "apps/settings/LightSettingsDlg.h"

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"

using KvUserInterface::IKvButton;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonNames[LS_BUTTON_COUNT] = {u"Backlight", u"Auto", u"Manual", u"Return"};
const int kLabelTexts[3] = {MSG_BACKLIGHT, MSG_LIGHT_AUTO, MSG_LIGHT_MANU};
const int kLabelX[3] = {30, 230, 430};

}  // namespace

CLightSettingsDlg::CLightSettingsDlg() = default;

CLightSettingsDlg::~CLightSettingsDlg() {
    ReleaseObjects();
}

void CLightSettingsDlg::ReleaseObjects() {
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pLabels);
}

bool CLightSettingsDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    ReleaseObjects();
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    const std::u16string folder = SkinPath(u"LightSetting");
    const std::u16string ini = SkinPath(u"LightSetting\\Settings.ini");
    ReleaseAndClear(m_pBackground);
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    if (!settings::NewButtons(m_pButtons, kButtonNames, LS_BUTTON_COUNT, ini, u"Buttons", folder,
                              38))
        return false;
    for (int i = 0; i < 3; ++i) {
        m_pLabels[i] = pageui::NewText(kLabelX[i], 170, 150, 50, 12, 255, 255, 255,
                                       KvUserInterface::KVTEXT_ALIGN_CENTER);
        if (!m_pLabels[i])
            return false;
    }
    WriteLog("CLightSettingsDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

bool CLightSettingsDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat == 0)
        m_bSkinned = LoadSkin();
    if (!m_bSkinned)
        ReleaseObjects();
    return true;
}

bool CLightSettingsDlg::AutomaticNow() {
    CKernel* kernel = CKernel::Instance();
    if (kernel && kernel->FirmwareReady()) {
        uint8_t on = 0;
        kernel->m_Board.VideoGetAutoLight(&on);
        m_bAutomatic = on == 1;
    }
    return m_bAutomatic;
}

void CLightSettingsDlg::OnLButtonDown(int x, int y) {
    if (!m_bSkinned)
        return;
    for (int i = 0; i < LS_BUTTON_COUNT; ++i) {
        if (settings::PressHit(m_pButtons[i], x, y)) {
            if (m_byPressedIdx != 255 && m_byPressedIdx != i)
                m_pButtons[m_byPressedIdx]->SetNormal();
            m_byPressedIdx = static_cast<uint8_t>(i);
            break;
        }
    }
    InvalidateOwner();
}

void CLightSettingsDlg::OnLButtonUp(int x, int y) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    if (m_byPressedIdx != 255 && settings::ReleaseHit(m_pButtons[m_byPressedIdx], x, y))
        m_byPendingAction = m_byPressedIdx;
    InvalidateOwner();
}

void CLightSettingsDlg::PostRender() {
    if (m_byPendingAction == 255)
        return;
    const int action = m_byPendingAction;
    m_byPendingAction = 255;
    OnButtonClick(action);
}

void CLightSettingsDlg::OnButtonClick(int button) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    switch (button) {
        case LS_BACKLIGHT:
            // The seat lights the screen again at the next touch.
            if (m_pOwner)
                m_pOwner->SetBacklight(false);
            break;
        case LS_AUTO:
            if (!AutomaticNow()) {
                m_bAutomatic = true;
                kernel->SetLightAuto(1);
            }
            break;
        case LS_MANUAL:
            if (AutomaticNow()) {
                m_bAutomatic = false;
                kernel->SetLightAuto(0);
            }
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                                  (APPTYPE_LIGHT_SETTINGS << 16) | APPTYPE_DISPLAY_MANU);
            break;
        case LS_RETURN:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
            break;
        default:
            break;
    }
    InvalidateOwner();
}

void CLightSettingsDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !hdc)
        return;
    m_pBackground->Draw(hdc, 0, 0, 800, 480);
    m_pButtons[LS_BACKLIGHT]->SetNormal();
    const bool usable = kernel->FirmwareReady();
    uint8_t automatic = 0, night = 0;
    if (usable) {
        kernel->m_Board.VideoGetAutoLight(&automatic);
        kernel->m_Board.VideoGetNightMode(&night);
    }
    if (automatic == 1) {
        m_pButtons[LS_AUTO]->SetHighlighted();
        m_pButtons[LS_MANUAL]->SetNormal();
        WriteLog("CLightSettingsDlg::Render() - Auto");
    } else {
        m_pButtons[LS_AUTO]->SetNormal();
        m_pButtons[LS_MANUAL]->SetHighlighted();
        WriteLog("CLightSettingsDlg::Render() - Manu");
    }
    for (IKvButton* b : m_pButtons)
        b->Draw(hdc, 0, 0);
    for (int i = 0; i < 3; ++i) {
        m_pLabels[i]->SetText(kernel->m_Language[kLabelTexts[i]]);
        m_pLabels[i]->Draw(hdc);
    }
    uint8_t bright = 0, contrast = 0, saturation = 0, backlight = 0;
    if (usable) {
        kernel->m_Board.VideoGetBrightness(&bright);
        kernel->m_Board.VideoGetContrast(&contrast);
        kernel->m_Board.VideoGetSaturation(&saturation);
        kernel->m_Board.VideoGetBacklight(&backlight);
    }
    WriteLog("CLightSettingsDlg::Render() - auto(%d), mode(%d)", automatic, night);
    WriteLog("Bright(%d), contrats(%d), saturation(%d), backlight(%d)", bright, contrast,
             saturation, backlight);
}
