#include "apps/settings/DisplayDlg.h"

#include <array>
#include <cstring>

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/File.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvUserInterface::IKvButton;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonNames[DD_BUTTON_COUNT] = {
    u"Vol-Add",  u"Vol-Icon",   u"Vol-Del",    u"Save",  u"Exit",     u"Brightness",
    u"Contrast", u"Saturation", u"Back-Light", u"Reset", u"Ret-Menu",
};
// In index order 12..17.
const char16_t* const kStepNames[6] = {u"PlusUp",   u"MinusUp",  u"PlusMid",
                                       u"MinusMid", u"PlusDown", u"MinusDown"};
// The order in which a press finds them.
const int kStepPressOrder[6] = {DD_PLUS_UP,    DD_MINUS_UP, DD_PLUS_DOWN,
                                DD_MINUS_DOWN, DD_PLUS_MID, DD_MINUS_MID};
const char16_t* const kSliderNames[DV_COUNT] = {u"Brightness", u"Contrast", u"SATURATION",
                                                u"Backlight"};
const char16_t* const kIconFiles[DV_COUNT] = {u"Brightness-icon.png", u"Contrast-icon.png",
                                              u"Saturation-icon.png", u"Backlight-icon.png"};
const char16_t kColourLetters[3] = {u'R', u'G', u'B'};

constexpr uint8_t kTitleAlign = 38;
constexpr uint32_t kCheckMs = 1000;
constexpr uint32_t kRepeatMs = 251;

// Both display pages look at the board once a second between them.
uint32_t g_dwLastCheck = 0;

// The four values of a set of the settings (0 manual, 1 night, 2 day), in page order.
std::array<int32_t*, DV_COUNT> Fields(SYS_SETTINGS& s, int set) {
    switch (set) {
        case 0:
            return {&s.iBrightness, &s.iContrast, &s.iSaturation, &s.iBacklight};
        case 1:
            return {&s.iBrightnessNight, &s.iContrastNight, &s.iSaturationNight,
                    &s.iBacklightNight};
        default:
            return {&s.iBrightnessDay, &s.iContrastDay, &s.iSaturationDay, &s.iBacklightDay};
    }
}

// Which set is active for the board's flags: 0 manual, 1 night, 2 day.
int ActiveSetOf(uint8_t automatic, uint8_t night) {
    if (automatic != 1)
        return 0;
    return night ? 1 : 2;
}

}  // namespace

void CDisplayDlg::ResetCheckTime() {
    g_dwLastCheck = 0;
}

CDisplayDlg::CDisplayDlg() {
    std::memset(&m_Copy, 0, sizeof m_Copy);
    for (int v = 0; v < DV_COUNT; ++v) {
        m_Sliders[v] = SLIDER{kSliderNames[v], 0.0};
        m_pActive[v] = &m_Manual[v];
    }
}

CDisplayDlg::~CDisplayDlg() {
    ReleaseObjects();
}

void CDisplayDlg::ReleaseObjects() {
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pSteps);
    ReleaseAndClear(m_pSlider);
    ReleaseAndClear(m_pColour);
    ReleaseAndClear(m_pIcons);
    ReleaseAndClear(m_pListbox);
    m_pMuteButton = nullptr;
}

IKvButton* CDisplayDlg::Button(int index) const {
    if (index >= 0 && index < DD_BUTTON_COUNT)
        return m_pButtons[index];
    if (index >= DD_PLUS_UP && index <= DD_MINUS_DOWN)
        return m_pSteps[index - DD_PLUS_UP];
    return nullptr;
}

// ---- Skin --------------------------------------------------------------------------------

bool CDisplayDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    ReleaseObjects();
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    const std::u16string folder = SkinPath(u"Display");
    const std::u16string ini = SkinPath(u"Display\\Display.ini");

    ReleaseAndClear(m_pBackground);
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    if (!settings::NewButtons(m_pButtons, kButtonNames, DD_BUTTON_COUNT, ini, u"Buttons", folder,
                              kTitleAlign))
        return false;
    pageui::UseMuteButton(this, m_pButtons[DD_VOL_ICON]);
    m_pListbox[0] = pageui::NewListbox(ini, u"Left Listbox", folder);
    m_pListbox[1] = pageui::NewListbox(ini, u"Right Listbox", folder);
    if (!m_pListbox[0] || !m_pListbox[1])
        return false;
    m_pListbox[1]->Show(0);
    if (!settings::NewButtons(m_pSteps, kStepNames, 6, ini, u"Buttons", folder, kTitleAlign))
        return false;
    for (int step = 0; step <= SYS_LEVEL_MAX; ++step) {
        m_pSlider[step] =
            LoadImage(plat::FormatStr(u"%s\\Slider-%03d.png", folder.c_str(), step * 10));
        if (!m_pSlider[step])
            return false;
        for (int c = 0; c < 3; ++c) {
            m_pColour[c][step] = LoadImage(
                plat::FormatStr(u"%s\\%c-%03d.png", folder.c_str(), kColourLetters[c], step * 10));
            if (!m_pColour[c][step])
                return false;
        }
    }
    for (int v = 0; v < DV_COUNT; ++v) {
        m_pIcons[v] = LoadImage(folder + u"\\" + kIconFiles[v]);
        if (!m_pIcons[v])
            return false;
    }
    // The backlight page offers the backlight alone: the other controls are neither drawn
    // nor reachable under the pen.
    if (Manual()) {
        for (int i : {DD_BRIGHTNESS, DD_CONTRAST, DD_SATURATION, DD_RESET})
            m_pButtons[i]->Show(0);
    }
    WriteLog("CDisplayDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

bool CDisplayDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat != 0)
        return true;
    m_bSkinned = LoadSkin();
    if (!m_bSkinned) {
        ReleaseObjects();
        WriteLog("CDisplayDlg::SetSkin(%d): no skin", appType);
        return true;
    }
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return true;
    LoadSets(kernel->m_Settings);
    ChooseActiveSet();
    SlidersFromActive();
    if (!plat::PathExists(SYS_SETTINGS_DB)) {
        kernel->SetBrightness(*m_pActive[DV_BRIGHTNESS]);
        kernel->SetContrast(*m_pActive[DV_CONTRAST]);
        kernel->SetSaturation(*m_pActive[DV_SATURATION]);
        kernel->SetBacklightLevel(*m_pActive[DV_BACKLIGHT]);
    }
    SelectControl(DV_BACKLIGHT);
    return true;
}

// ---- Sets --------------------------------------------------------------------------------

void CDisplayDlg::LoadSets(SYS_SETTINGS& s) {
    for (int set = 0; set < 3; ++set) {
        const auto fields = Fields(s, set);
        int32_t* into = set == 0 ? m_Manual : set == 1 ? m_Night : m_Day;
        for (int v = 0; v < DV_COUNT; ++v)
            into[v] = *fields[v];
    }
}

void CDisplayDlg::ChooseActiveSet() {
    CKernel* kernel = CKernel::Instance();
    m_byAutomatic = 0;
    m_byNight = 0;
    if (kernel && kernel->FirmwareReady()) {
        kernel->m_Board.VideoGetAutoLight(&m_byAutomatic);
        kernel->m_Board.VideoGetNightMode(&m_byNight);
    }
    const int set = ActiveSetOf(m_byAutomatic, m_byNight);
    int32_t* values = set == 0 ? m_Manual : set == 1 ? m_Night : m_Day;
    for (int v = 0; v < DV_COUNT; ++v)
        m_pActive[v] = &values[v];
}

void CDisplayDlg::SlidersFromActive() {
    for (int v = 0; v < DV_COUNT; ++v) {
        m_Sliders[v].value = *m_pActive[v];
        m_LastSeen[v] = *m_pActive[v];
    }
}

void CDisplayDlg::Show(bool visible, uint8_t param) {
    CVelkoraAppDlg::Show(visible, param);
    if (!visible || !m_bSkinned)
        return;
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    UpdateVolume(false);
    pageui::ShowMuteState(this, m_pButtons[DD_VOL_ICON]);
    // Taken at every show: Exit puts back what this visit found.
    m_Copy = kernel->m_Settings;
    m_bHaveCopy = true;
    LoadSets(m_Copy);
    ChooseActiveSet();
    SlidersFromActive();
    SelectControl(Manual() ? static_cast<int>(DV_BACKLIGHT) : m_bySelected);
}

void CDisplayDlg::SelectControl(int control) {
    m_bySelected = static_cast<uint8_t>(control);
    for (int v = 0; v < DV_COUNT; ++v) {
        if (v == control)
            m_pButtons[DD_BRIGHTNESS + v]->SetHighlighted();
        else
            m_pButtons[DD_BRIGHTNESS + v]->SetNormal();
    }
    m_pButtons[DD_SAVE]->Show(1);
    m_pButtons[DD_EXIT]->Show(1);
    for (int i : {DD_PLUS_UP, DD_MINUS_UP, DD_PLUS_DOWN, DD_MINUS_DOWN})
        m_pSteps[i - DD_PLUS_UP]->Show(0);
    m_pSteps[DD_PLUS_MID - DD_PLUS_UP]->Show(1);
    m_pSteps[DD_MINUS_MID - DD_PLUS_UP]->Show(1);
    InvalidateOwner();
}

// ---- Steps -----------------------------------------------------------------------------

bool CDisplayDlg::SendValue(int value, int level) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return false;
    switch (value) {
        case DV_BRIGHTNESS:
            if (!kernel->FirmwareReady())
                return false;
            kernel->m_Board.VideoSetBrightness(static_cast<uint8_t>(level));
            return true;
        case DV_CONTRAST:
            return kernel->SetContrast(level);
        case DV_SATURATION:
            return kernel->SetSaturation(level);
        default:
            return kernel->SetBacklightLevel(level);
    }
}

void CDisplayDlg::Step(int direction) {
    int32_t& value = *m_pActive[m_bySelected];
    if (direction > 0 && value >= SYS_LEVEL_MAX)
        return;
    if (direction < 0 && value < 1)
        return;
    const int32_t before = value;
    value += direction;
    m_Sliders[m_bySelected].value = value;
    // A board that is not there or refuses keeps the value it had.
    if (!SendValue(m_bySelected, value)) {
        value = before;
        m_Sliders[m_bySelected].value = before;
    }
    InvalidateOwner();
}

// ---- Save, Exit, Reset -------------------------------------------------------------------

void CDisplayDlg::Save() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    SYS_SETTINGS& s = kernel->m_Settings;
    for (int set = 0; set < 3; ++set) {
        const auto fields = Fields(s, set);
        const int32_t* from = set == 0 ? m_Manual : set == 1 ? m_Night : m_Day;
        for (int v = 0; v < DV_COUNT; ++v)
            *fields[v] = from[v];
    }
    kernel->SaveSettings();
    if (kernel->FirmwareReady())
        kernel->m_Board.StatusCommit();
    m_Copy = s;
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_DISPLAY_SET << 16) + m_byShowParam);
}

void CDisplayDlg::Exit() {
    CKernel* kernel = CKernel::Instance();
    if (kernel && m_bHaveCopy) {
        const auto stored = Fields(m_Copy, ActiveSetOf(m_byAutomatic, m_byNight));
        const bool usable = kernel->FirmwareReady();
        for (int v = 0; v < DV_COUNT; ++v) {
            if (*stored[v] == *m_pActive[v] || !usable)
                continue;
            const uint8_t level = static_cast<uint8_t>(*stored[v]);
            switch (v) {
                case DV_BRIGHTNESS:
                    kernel->m_Board.VideoSetBrightness(level);
                    break;
                case DV_CONTRAST:
                    kernel->m_Board.VideoSetContrast(level);
                    break;
                case DV_SATURATION:
                    kernel->m_Board.VideoSetSaturation(level);
                    break;
                default:
                    kernel->m_Board.VideoSetBacklight(level);
                    break;
            }
        }
        kernel->m_Settings = m_Copy;
        kernel->SaveSettings();
        LoadSets(m_Copy);
        SlidersFromActive();
    }
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_DISPLAY_SET << 16) + m_byShowParam);
}

void CDisplayDlg::OnBack() {
    if (m_bSkinned)
        Exit();
}

void CDisplayDlg::Reset() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->FirmwareReady())
        return;
    kernel->m_Board.VideoRefreshManualLight();
    const int32_t day[DV_COUNT] = {5, 5, 5, 9};
    const int32_t night[DV_COUNT] = {5, 5, 5, 3};
    const int32_t manual[DV_COUNT] = {5, 5, 5, 5};
    std::memcpy(m_Day, day, sizeof m_Day);
    std::memcpy(m_Night, night, sizeof m_Night);
    std::memcpy(m_Manual, manual, sizeof m_Manual);
    m_byAutomatic = 1;
    kernel->SetLightAuto(1);
    int32_t* values = m_byNight == 1 ? m_Night : m_Day;
    for (int v = 0; v < DV_COUNT; ++v)
        m_pActive[v] = &values[v];
    SlidersFromActive();
    kernel->SaveSettings();
    InvalidateOwner();
}

void CDisplayDlg::ResetDefault() {
    WriteLog("CDisplayDlg::ResetDefault()");
    if (m_bSkinned)
        Reset();
}

// ---- Actions and pen ---------------------------------------------------------------------

void CDisplayDlg::RunAction(int action) {
    switch (action) {
        case DD_VOL_ADD:
        case DD_VOL_ICON:
        case DD_VOL_DEL:
            pageui::VolumeButton(action - DD_VOL_ADD, m_pButtons[DD_VOL_ICON], this);
            break;
        case DD_SAVE:
            Save();
            break;
        case DD_EXIT:
            Exit();
            break;
        case DD_BRIGHTNESS:
        case DD_CONTRAST:
        case DD_SATURATION:
        case DD_BACKLIGHT:
            SelectControl(action - DD_BRIGHTNESS);
            break;
        case DD_RESET:
            Reset();
            break;
        case DD_RET_MENU:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
            break;
        case DD_PLUS_MID:
            Step(1);
            break;
        case DD_MINUS_MID:
            Step(-1);
            break;
        default:
            break;
    }
}

void CDisplayDlg::OnLButtonDown(int x, int y) {
    if (!m_bSkinned)
        return;
    m_bPenDown = 1;
    m_ptHeld = plat::Point{x, y};
    m_iRepeatCount = 0;
    m_dwLastRepeat = plat::GetTickCount();
    for (int i = 0; i < DD_BUTTON_COUNT; ++i) {
        if (!settings::PressHit(m_pButtons[i], x, y))
            continue;
        if (i >= DD_BRIGHTNESS && i <= DD_RET_MENU && i != DD_RESET) {
            for (int j = DD_BRIGHTNESS; j <= DD_RET_MENU; ++j) {
                if (j != i)
                    m_pButtons[j]->SetNormal();
            }
        }
        m_byPressedIdx = static_cast<uint8_t>(i);
        InvalidateOwner();
        return;
    }
    for (int index : kStepPressOrder) {
        if (settings::PressHit(m_pSteps[index - DD_PLUS_UP], x, y)) {
            m_byPressedIdx = static_cast<uint8_t>(index);
            break;
        }
    }
    InvalidateOwner();
}

void CDisplayDlg::OnLButtonUp(int x, int y) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    m_bPenDown = 0;
    int released = -1;
    for (int i = 0; i < DD_BUTTON_COUNT && released < 0; ++i) {
        if (settings::ReleaseHit(m_pButtons[i], x, y))
            released = i;
    }
    for (int i = 0; i < 6 && released < 0; ++i) {
        if (settings::ReleaseHit(m_pSteps[kStepPressOrder[i] - DD_PLUS_UP], x, y))
            released = kStepPressOrder[i];
    }
    if (released >= 0 && released == m_byPressedIdx) {
        m_byPendingAction = static_cast<uint8_t>(released);
    } else if (released >= 0) {
        if (IKvButton* previous = Button(m_byPressedIdx))
            previous->SetNormal();
        m_byPressedIdx = 255;
    }
    if (m_byPendingAction == 255) {
        for (int i = 0; i < DD_BUTTON_COUNT; ++i)
            m_pButtons[i]->SetNormal();
        m_pButtons[DD_BRIGHTNESS + m_bySelected]->SetHighlighted();
        for (IKvButton* step : m_pSteps)
            step->SetNormal();
    }
    InvalidateOwner();
}

void CDisplayDlg::OnTick() {
    CVelkoraAppDlg::OnTick();
    if (!m_bSkinned)
        return;
    const uint32_t now = plat::GetTickCount();
    if (now - g_dwLastCheck > kCheckMs) {
        g_dwLastCheck = now;
        ChooseActiveSet();
        bool changed = false;
        for (int v = 0; v < DV_COUNT; ++v) {
            if (*m_pActive[v] != m_LastSeen[v]) {
                m_Sliders[v].value = *m_pActive[v];
                changed = true;
            }
            m_LastSeen[v] = *m_pActive[v];
        }
        if (changed)
            InvalidateOwner();
    }
    if (!m_bPenDown || now - m_dwLastRepeat < kRepeatMs)
        return;
    m_dwLastRepeat = now;
    if (++m_iRepeatCount < 2)
        return;
    for (auto* list : m_pListbox) {
        uint8_t action = 0;
        list->OnLButtonUp(m_ptHeld.x, m_ptHeld.y, &action);
    }
    if (m_byPressedIdx == DD_VOL_ADD || m_byPressedIdx == DD_VOL_DEL) {
        m_pButtons[m_byPressedIdx]->OnLButtonDown(m_ptHeld.x, m_ptHeld.y);
        RunAction(m_byPressedIdx);
    }
    InvalidateOwner();
}

// ---- Drawing ---------------------------------------------------------------------------

void CDisplayDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    CVelkoraAppDlg::Render(hdc);
    for (IKvButton* b : m_pButtons)
        b->Draw(hdc, 0, 0);
    for (auto* list : m_pListbox)
        list->Draw(hdc);
    for (IKvButton* step : m_pSteps)
        step->Draw(hdc, 0, 0);
    const int level = static_cast<int>(m_Sliders[m_bySelected].value);
    m_pIcons[m_bySelected]->Draw(hdc, 470, 120, 0, 0);
    if (level >= 0 && level <= SYS_LEVEL_MAX)
        m_pSlider[level]->Draw(hdc, 365, 220, 0, 0);

    if (m_byPendingAction != 255) {
        const int action = m_byPendingAction;
        m_byPendingAction = 255;
        RunAction(action);
        if (!m_bPenDown)
            m_byPressedIdx = 255;
        InvalidateOwner();
    }
    WriteLog(
        "Render(auto:%d, mode:%d)\nDay  : bright(%d), contrast(%d), saturation(%d), "
        "backlight(%d), \nNight: bright(%d), contrast(%d), saturation(%d), backlight(%d), "
        "\nManu : bright(%d), contrast(%d), saturation(%d), backlight(%d), \nCurr : "
        "bright(%d), contrast(%d), saturation(%d), backlight(%d)",
        m_byAutomatic, m_bySelected, m_Day[0], m_Day[1], m_Day[2], m_Day[3], m_Night[0], m_Night[1],
        m_Night[2], m_Night[3], m_Manual[0], m_Manual[1], m_Manual[2], m_Manual[3], *m_pActive[0],
        *m_pActive[1], *m_pActive[2], *m_pActive[3]);
}
