#include "apps/settings/SettingsDlg.h"

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"

using KvUserInterface::IKvButton;
using KvUserInterface::IKvText;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonName[SETTINGS_BUTTON_COUNT] = {
    u"Audio-Set", u"Display-Set", u"System-Set", u"Application-Set",
    u"Dual-Set",  u"About",       u"Return",
};

// The page each button opens; the high word tells it to come back to this menu.
const intptr_t kButtonTarget[SETTINGS_BUTTON_COUNT] = {
    (APPTYPE_SETTINGS << 16) | APPTYPE_AUDIO_SET,
    (APPTYPE_SETTINGS << 16) | APPTYPE_DISPLAY_SET,
    (APPTYPE_SETTINGS << 16) | APPTYPE_SYSTEM_SET,
    (APPTYPE_SETTINGS << 16) | APPTYPE_APPLICATION_SET,
    (APPTYPE_SETTINGS << 16) | APPTYPE_DUAL_SET,
    (APPTYPE_SETTINGS << 16) | APPTYPE_ABOUT,
    APPTYPE_HOMEPAGE,
};

struct CAPTION {
    int x, y;
    int text;
};
const CAPTION kCaption[SETTINGS_CAPTION_COUNT] = {
    {30, 170, MSG_SETTING_SOUND}, {230, 170, MSG_SETTING_DISPLAY}, {430, 170, MSG_SETTING_MISC},
    {630, 170, MSG_SETTING_APP},  {30, 370, MSG_SETTING_DUAL},     {230, 370, MSG_SETTING_INFO},
};

}  // namespace

CSettingsDlg::CSettingsDlg() = default;

CSettingsDlg::~CSettingsDlg() {
    ReleaseAndClear(m_pCaption);
    ReleaseAndClear(m_pButton);
}

intptr_t CSettingsDlg::ButtonTarget(int button) {
    return button >= 0 && button < SETTINGS_BUTTON_COUNT ? kButtonTarget[button] : -1;
}

bool CSettingsDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    // The menu is the front seat's: the rear instance keeps no skin and shows the plain screen.
    if (seat == 0)
        LoadSkin();
    return true;
}

bool CSettingsDlg::LoadSkin() {
    const uint64_t start = settings::NowMs();
    m_bSkinned = 0;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot || !pCfgData)
        return false;
    const std::u16string folder = SkinPath(u"Homepage");
    const std::u16string ini = folder + u"\\Settings.ini";
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    if (!pageui::MakeButtons(m_pButton, kButtonName, SETTINGS_BUTTON_COUNT, ini, u"Buttons", folder,
                             0))
        return false;
    for (int i = 0; i < SETTINGS_CAPTION_COUNT; ++i) {
        if (!settings::MakeText(m_pCaption[i], kCaption[i].x, kCaption[i].y, 150, 50, 12, 255, 255,
                                255))
            return false;
        m_pCaption[i]->SetAlign(2);
        m_pCaption[i]->SetText(settings::LanguageText(kCaption[i].text));
        m_pCaption[i]->Show(1);
    }
    m_bSkinned = 1;
    WriteLog("CSettingsDlg: %lld ms", static_cast<long long>(settings::NowMs() - start));
    return true;
}

void CSettingsDlg::OnTick() {}

void CSettingsDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        settings::RenderWithoutSkin(this, hdc);
        return;
    }
    m_pBackground->DrawPart(hdc, 0, 0, 800, 480, 0, 0, 800, 480);
    for (IKvButton* button : m_pButton)
        button->Draw(hdc, 0, 0);
    // From the table at every paint: a language change shows without a new skin load.
    for (int i = 0; i < SETTINGS_CAPTION_COUNT; ++i) {
        m_pCaption[i]->SetText(settings::LanguageText(kCaption[i].text));
        m_pCaption[i]->Draw(hdc);
    }
}

void CSettingsDlg::OnLButtonDown(int x, int y) {
    m_bPenDown = 1;
    if (!m_bSkinned)
        return;
    for (int i = 0; i < SETTINGS_BUTTON_COUNT; ++i) {
        if (m_pButton[i]->OnLButtonDown(x, y) != RZ_HIT)
            continue;
        if (m_byPressed != i && m_byPressed < SETTINGS_BUTTON_COUNT)
            m_pButton[m_byPressed]->SetNormal();
        m_byPressed = static_cast<uint8_t>(i);
        break;
    }
    InvalidateOwner();
}

void CSettingsDlg::OnLButtonUp(int x, int y) {
    m_bPenDown = 0;
    if (!m_bSkinned) {
        settings::TapWithoutSkin(this);
        return;
    }
    const uint8_t pressed = m_byPressed;
    m_byPressed = SETTINGS_PRESSED_NONE;
    for (int i = 0; i < SETTINGS_BUTTON_COUNT; ++i) {
        if (m_pButton[i]->OnLButtonUp(x, y) != RZ_HIT)
            continue;
        if (i == pressed) {
            m_pButton[i]->SetNormal();
            RunButton(i);
        } else {
            m_pButton[i]->SetNormal();
        }
        break;
    }
    // A press that ends off its button leaves nothing pressed behind.
    if (pressed < SETTINGS_BUTTON_COUNT)
        m_pButton[pressed]->SetNormal();
    InvalidateOwner();
}

void CSettingsDlg::RunButton(int button) {
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, ButtonTarget(button));
}
