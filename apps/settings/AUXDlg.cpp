#include "apps/settings/AUXDlg.h"

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"

using KvUserInterface::IKvButton;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonName[AUX_BUTTON_COUNT] = {
    u"Vol-Add", u"Vol-Icon", u"Vol-Del", u"Exit", u"Ret-Menu",
};

constexpr uint8_t kCaptionAlign = 0x26;

}  // namespace

CAUXDlg::CAUXDlg() = default;

CAUXDlg::~CAUXDlg() {
    ReleaseAndClear(m_pText);
    ReleaseAndClear(m_pButton);
}

int CAUXDlg::MixerLine() const {
    return m_byAppType == APPTYPE_AUX2 ? AUX2_MIXER_LINE : AUX_MIXER_LINE;
}

bool CAUXDlg::HasButton(int button) const {
    return button >= 0 && button < AUX_BUTTON_COUNT && m_pButton[button] &&
           !(button == AUX_EXIT && m_byAppType == APPTYPE_AUX2);
}

bool CAUXDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    // A page whose skin did not load stays usable as the plain screen that a tap leaves.
    if (!LoadSkin())
        WriteLog("CAUXDlg: no skin for the page of %d on seat %d", appType, seat);
    return true;
}

bool CAUXDlg::LoadSkin() {
    const uint64_t start = settings::NowMs();
    m_bSkinned = 0;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot || !CVelkoraAppDlg::LoadSkin())
        return false;
    const std::u16string folder = SkinPath(u"CAUX");
    const std::u16string ini = folder + u"\\caux.ini";
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    if (!pageui::MakeButtons(m_pButton, kButtonName, AUX_BUTTON_COUNT, ini, u"Buttons", folder,
                             kCaptionAlign))
        return false;
    pageui::UseMuteButton(this, m_pButton[AUX_VOL_ICON]);
    if (!settings::MakeText(m_pText, 410, 40, 80, 35, 12, 64, 255, 255))
        return false;
    m_bSkinned = 1;
    WriteLog("CAUXDlg: %lld ms", static_cast<long long>(settings::NowMs() - start));
    return true;
}

void CAUXDlg::Show(bool visible, uint8_t param) {
    if (visible) {
        UpdateVolume(false);
        CHWAudioHolder* holder = CHWAudioHolder::GetInstance();
        if (holder && holder->m_pAudio[1])
            holder->m_pAudio[1]->SelectSource(MixerLine(), false);
        WriteLog("CAUXDlg::Show(): mixer line %d", MixerLine());
        pageui::ShowMuteState(this, m_bSkinned ? m_pButton[AUX_VOL_ICON] : nullptr);
    }
    CVelkoraAppDlg::Show(visible, param);
}

// No clock refresh and no button repeat: the volume buttons step once per tap.
void CAUXDlg::OnTick() {}

void CAUXDlg::OnLButtonDown(int x, int y) {
    m_bPenDown = 1;
    if (!m_bSkinned)
        return;
    for (int i = 0; i < AUX_BUTTON_COUNT; ++i) {
        if (!HasButton(i) || m_pButton[i]->OnLButtonDown(x, y) != RZ_HIT)
            continue;
        m_byPressedButton = static_cast<uint8_t>(i);
        // Exit and Ret-Menu: only one of the two looks pressed.
        if (i == AUX_EXIT && HasButton(AUX_RET_MENU))
            m_pButton[AUX_RET_MENU]->SetNormal();
        else if (i == AUX_RET_MENU && HasButton(AUX_EXIT))
            m_pButton[AUX_EXIT]->SetNormal();
        break;
    }
    InvalidateOwner();
}

void CAUXDlg::OnLButtonUp(int x, int y) {
    m_bPenDown = 0;
    if (!m_bSkinned) {
        settings::TapWithoutSkin(this);
        return;
    }
    for (int i = 0; i < AUX_BUTTON_COUNT; ++i) {
        if (!HasButton(i) || m_pButton[i]->OnLButtonUp(x, y) != RZ_HIT)
            continue;
        if (i == m_byPressedButton)
            m_iPending = i;
        else
            m_byPressedButton = static_cast<uint8_t>(i);
        break;
    }
    for (int i = 0; i < AUX_BUTTON_COUNT; ++i)
        if (HasButton(i))
            m_pButton[i]->SetNormal();
    InvalidateOwner();
}

void CAUXDlg::OnMouseMove(int x, int y) {
    IMPlayerDlg::OnMouseMove(x, y);
    if (m_bSkinned && HasButton(m_byPressedButton))
        m_pButton[m_byPressedButton]->SetNormal();
}

void CAUXDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        settings::RenderWithoutSkin(this, hdc);
        return;
    }
    CVelkoraAppDlg::Render(hdc);
    for (int i = 0; i < AUX_BUTTON_COUNT; ++i)
        if (HasButton(i))
            m_pButton[i]->Draw(hdc, 0, 0);
    if (m_iPending >= 0) {
        const int action = m_iPending;
        m_iPending = -1;
        OnButtonClick(action);
    }
    if (!m_bPenDown)
        m_byPressedButton = AUX_PRESSED_NONE;
}

void CAUXDlg::OnButtonClick(int button) {
    switch (button) {
        case AUX_VOL_ADD:
        case AUX_VOL_ICON:
        case AUX_VOL_DEL:
            pageui::VolumeButton(button - AUX_VOL_ADD, m_pButton[AUX_VOL_ICON], this);
            break;
        case AUX_EXIT:
            if (m_byAppType != APPTYPE_AUX2)
                OnBack();
            break;
        case AUX_RET_MENU:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
            break;
        default:
            break;
    }
    UpdateVolume(false);
    InvalidateOwner();
}

void CAUXDlg::OnBack() {
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_DISPLAY_SET << 16) | APPTYPE_AUX);
}
