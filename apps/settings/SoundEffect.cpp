#include "apps/settings/SoundEffect.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvUserInterface::IKvButton;
using KvUserInterface::IKvText;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonNames[SE_BUTTON_COUNT] = {
    u"Vol-Add",         u"Vol-Icon",     u"Vol-Del",     u"EQ-Setting",
    u"Speaker-Setting", u"Loud-Setting", u"51-Priority", u"Stereo-Priority",
    u"Ret-Menu",        u"Save",         u"Exit",
};
// By band: bass, mid, treble.
const char16_t* const kSliderNames[SYS_EQ_BANDS] = {u"EQBass", u"EQMed", u"EQTre"};
const char16_t* const kBandNames[SYS_EQ_BANDS] = {u"BASS", u"MID", u"TRE"};
const int kBandLabelX[SYS_EQ_BANDS] = {387, 507, 621};
const int kGrayX[SYS_EQ_BANDS] = {396, 510, 623};
const char16_t* const kSpeakerButtonNames[4] = {u"SFADUP", u"SFADDOWN", u"SBALUP", u"SBALDOWN"};
const char16_t* const kPresetNames[SYS_EQ_PRESETS] = {
    u"Flat", u"Jazz", u"POP", u"Bass", u"Rock", u"Custom 1", u"Custom 2", u"Custom 3"};
const char16_t* const kSpeakerNames[SYS_SPEAKER_PRESETS] = {u"Normal", u"Driver", u"Front",
                                                            u"Rear"};
const int kPresetTexts[SYS_EQ_PRESETS] = {
    MSG_SOUND_FLAT, MSG_SOUND_JAZZ,    MSG_SOUND_POP,     MSG_SOUND_BASS,
    MSG_SOUND_ROCK, MSG_SOUND_CUSTOM1, MSG_SOUND_CUSTOM2, MSG_SOUND_CUSTOM3,
};
const int kSpeakerTexts[SYS_SPEAKER_PRESETS] = {MSG_SOUND_NORMAL, MSG_SOUND_DRIVER, MSG_SOUND_FRONT,
                                                MSG_SOUND_REAR};
// The board's filter bytes of each band, for the log.
const uint8_t kBandBytes[SYS_EQ_BANDS][2] = {{0, 0}, {4, 0x40}, {0x40, 0}};

constexpr uint8_t kTitleAlign = 38;
constexpr uint32_t kRepeatMs = 250;

bool IsCustom(int preset) {
    return preset >= EQ_CUSTOM1 && preset <= EQ_CUSTOM3;
}

// Actions that repeat while the pen stays on their control.
bool Repeats(int action) {
    return action == SE_VOL_ADD || action == SE_VOL_DEL ||
           (action >= SE_FADER_UP && action <= SE_BALANCE_DOWN);
}

}  // namespace

CSoundEffect::CSoundEffect() {
    std::memset(&m_Copy, 0, sizeof m_Copy);
    for (int p = 0; p < SYS_EQ_PRESETS; ++p)
        m_Presets[p] = PRESET{kPresetNames[p], {0, 0, 0}};
    for (int m = 0; m < SYS_SPEAKER_PRESETS; ++m)
        m_Speakers[m] = SPEAKER_MODE{kSpeakerNames[m], 0, 0};
}

CSoundEffect::~CSoundEffect() {
    ReleaseObjects();
}

void CSoundEffect::ReleaseObjects() {
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pSlider);
    ReleaseAndClear(m_pSpeakerBtn);
    ReleaseAndClear(m_pGray);
    ReleaseAndClear(m_pEQBg);
    ReleaseAndClear(m_pInterior);
    ReleaseAndClear(m_pIndicator);
    ReleaseAndClear(m_pBandLabel);
    ReleaseAndClear(m_pFadLabel);
    ReleaseAndClear(m_pBalLabel);
    ReleaseAndClear(m_pFadValue);
    ReleaseAndClear(m_pBalValue);
    ReleaseAndClear(m_pStatus);
    ReleaseAndClear(m_pListbox);
}

IKvButton* CSoundEffect::Button(int index) const {
    if (index >= 0 && index < SE_BUTTON_COUNT)
        return m_pButtons[index];
    if (index >= SE_FADER_UP && index <= SE_BALANCE_DOWN)
        return m_pSpeakerBtn[index - SE_FADER_UP];
    return nullptr;
}

// ---- Skin --------------------------------------------------------------------------------

bool CSoundEffect::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    ReleaseObjects();
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    if (!MakeObjects())
        return false;
    WriteLog("CSoundEffect: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

bool CSoundEffect::MakeObjects() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    const std::u16string folder = SkinPath(u"SoundEffect");
    const std::u16string ini = SkinPath(u"SoundEffect\\SoundEffect.ini");
    const bool rear = m_bySeat == 1;

    ReleaseAndClear(m_pBackground);
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;

    const char16_t* section = rear ? u"Rear Buttons" : u"Buttons";
    if (!settings::NewButtons(m_pButtons, kButtonNames, SE_BUTTON_COUNT, ini, section, folder,
                              kTitleAlign))
        return false;
    pageui::UseMuteButton(this, m_pButtons[SE_VOL_ICON]);
    m_pListbox[0] = pageui::NewListbox(ini, rear ? u"Rear Left" : u"Left Listbox", folder);
    m_pListbox[1] = pageui::NewListbox(ini, rear ? u"Rear Right" : u"Right Listbox", folder);
    if (!m_pListbox[0] || !m_pListbox[1])
        return false;
    m_pListbox[1]->Show(0);
    for (int band = 0; band < SYS_EQ_BANDS; ++band) {
        m_pSlider[band] = pageui::NewButton(ini, section, kSliderNames[band], folder, kTitleAlign);
        if (!m_pSlider[band])
            return false;
        m_pSlider[band]->Show(0);
    }
    if (!settings::NewButtons(m_pSpeakerBtn, kSpeakerButtonNames, 4, ini, section, folder,
                              kTitleAlign))
        return false;
    for (auto*& gray : m_pGray) {
        gray = LoadImage(folder + u"\\EQ-Indicator-Gray.png");
        if (!gray)
            return false;
    }
    m_pEQBg = LoadImage(folder + u"\\EQ-Bg.png");
    m_pInterior = LoadImage(folder + u"\\SInterior.png");
    m_pIndicator = LoadImage(folder + u"\\Indicator.png");
    if (!m_pEQBg || !m_pInterior || !m_pIndicator)
        return false;
    m_pEQBg->GetSize(&m_dwEQBgW, &m_dwEQBgH);

    const int y = m_iYOffset;
    for (int band = 0; band < SYS_EQ_BANDS; ++band) {
        m_pBandLabel[band] = pageui::NewText(kBandLabelX[band], y + 344, 80, 30, 10, 255, 255, 255,
                                             KvUserInterface::KVTEXT_ALIGN_CENTER);
        if (!m_pBandLabel[band])
            return false;
        m_pBandLabel[band]->SetText(kBandNames[band]);
    }
    m_pFadLabel = pageui::NewText(305, y + 120, 80, 50, 18, 255, 255, 255,
                                  KvUserInterface::KVTEXT_ALIGN_CENTER);
    m_pBalLabel = pageui::NewText(305, y + 270, 80, 50, 18, 255, 255, 255,
                                  KvUserInterface::KVTEXT_ALIGN_CENTER);
    m_pFadValue =
        pageui::NewText(310, y + 160, 80, 50, 16, 255, 0, 0, KvUserInterface::KVTEXT_ALIGN_CENTER);
    m_pBalValue =
        pageui::NewText(310, y + 310, 80, 50, 16, 255, 0, 0, KvUserInterface::KVTEXT_ALIGN_CENTER);
    m_pStatus = pageui::NewText(0, 200, 800, 36, 16, 255, 255, 255, 6);
    if (!m_pFadLabel || !m_pBalLabel || !m_pFadValue || !m_pBalValue || !m_pStatus)
        return false;
    m_pFadLabel->SetText(u"FAD");
    m_pBalLabel->SetText(u"BAL");
    UpdateSpeakerLabels();
    return true;
}

bool CSoundEffect::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    m_bSkinned = LoadSkin();
    if (!m_bSkinned) {
        // Drawn as a page without skin; nothing of the half-made skin stays to be touched.
        ReleaseObjects();
        WriteLog("CSoundEffect::SetSkin(%d): no skin", seat);
        return true;
    }
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return true;
    LoadFromSettings();
    SYS_SETTINGS& s = kernel->m_Settings;
    s.i51Priority = s.i51Priority == 1 ? 1 : 0;
    ApplyHighlights();
    kernel->SaveSettings();
    return true;
}

// ---- State from and to the settings ------------------------------------------------------

void CSoundEffect::LoadFromSettings() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    const SYS_SETTINGS& s = kernel->m_Settings;
    for (int p = 0; p < SYS_EQ_PRESETS; ++p) {
        for (int b = 0; b < SYS_EQ_BANDS; ++b)
            m_Presets[p].gain[b] = s.iEQPreset[p][b];
    }
    for (int m = 0; m < SYS_SPEAKER_PRESETS; ++m) {
        m_Speakers[m].fader = s.iSpeakerPreset[m][SPEAKER_FADER];
        m_Speakers[m].balance = s.iSpeakerPreset[m][SPEAKER_BALANCE];
    }
    m_byCurrEQType = static_cast<uint8_t>(std::clamp(s.iEQSelect, 0, SYS_EQ_PRESETS - 1));
    m_byCurrSpeaker =
        static_cast<uint8_t>(std::clamp(s.iSpeakerSelect, 0, SYS_SPEAKER_PRESETS - 1));
    m_byLoudness = static_cast<uint8_t>(std::clamp(s.iLoudness, 0, 1));
    m_iFader = m_Speakers[m_byCurrSpeaker].fader;
    m_iBalance = m_Speakers[m_byCurrSpeaker].balance;
    UpdateSpeakerLabels();
}

void CSoundEffect::ResetDefault() {
    WriteLog("CSoundEffect::ResetDefault()");
    m_byView = SE_VIEW_NONE;
    m_byCurrEQType = 0;
    m_byCurrSpeaker = 0;
    m_byLoudness = 0;
}

void CSoundEffect::Show(bool visible, uint8_t param) {
    CVelkoraAppDlg::Show(visible, param);
    if (!visible || !m_bSkinned)
        return;
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    // Taken at every show: a discard puts back what this visit found.
    m_Copy = kernel->m_Settings;
    m_bHaveCopy = true;
    m_iPendingCommit = 0;
    LoadFromSettings();
    m_pButtons[SE_SAVE]->SetNormal();
    m_pButtons[SE_EXIT]->SetNormal();
    UpdateVolume(false);
    ShowEQView();
    pageui::ShowMuteState(this, m_pButtons[SE_VOL_ICON]);
    ApplyHighlights();
}

// ---- Views --------------------------------------------------------------------------------

void CSoundEffect::ShowEQView() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    m_byView = SE_VIEW_EQ;
    m_pListbox[0]->RemoveAll();
    for (int p = 0; p < SYS_EQ_PRESETS; ++p)
        settings::AddTextRow(m_pListbox[0], kernel->m_Language[kPresetTexts[p]]);
    m_pListbox[1]->Show(0);
    m_pListbox[0]->SetCurrentIndex(m_byCurrEQType);
    m_pListbox[0]->Show(1);
    m_pButtons[SE_EQ_SETTING]->SetHighlighted();
    SelectPreset(m_byCurrEQType);
}

void CSoundEffect::ShowSpeakerView() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    m_byView = SE_VIEW_SPEAKER;
    m_pListbox[0]->RemoveAll();
    for (int m = 0; m < SYS_SPEAKER_PRESETS; ++m)
        settings::AddTextRow(m_pListbox[0], kernel->m_Language[kSpeakerTexts[m]]);
    m_pListbox[1]->Show(0);
    m_pListbox[0]->SetCurrentIndex(m_byCurrSpeaker);
    m_pListbox[0]->Show(1);
    m_pButtons[SE_SAVE]->Show(1);
    m_pButtons[SE_EXIT]->Show(1);
    SelectSpeaker(m_byCurrSpeaker);
}

void CSoundEffect::ShowLoudnessView() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    m_byView = SE_VIEW_LOUDNESS;
    m_pListbox[0]->Show(0);
    m_pListbox[1]->RemoveAll();
    settings::AddTextRow(m_pListbox[1], kernel->m_Language[MSG_SOUND_LOW_BOOST]);
    settings::AddTextRow(m_pListbox[1], kernel->m_Language[MSG_SOUND_HIGH_BOOST]);
    m_pListbox[1]->SetCurrentIndex(m_byLoudness);
    m_pListbox[1]->Show(1);
    m_pButtons[SE_SAVE]->Show(1);
    m_pButtons[SE_EXIT]->Show(1);
}

void CSoundEffect::SelectPreset(int index) {
    if (index < 0 || index >= SYS_EQ_PRESETS)
        return;
    const bool changed = index != m_byCurrEQType;
    m_byCurrEQType = static_cast<uint8_t>(index);
    for (int band = 0; band < SYS_EQ_BANDS; ++band) {
        if (IsCustom(index)) {
            PlaceSlider(band);
            m_pSlider[band]->Show(1);
        } else {
            m_pSlider[band]->Show(0);
        }
    }
    if (changed) {
        m_iPendingCmd = SE_CMD_PRESET;
        DoingComPort();
    }
    InvalidateOwner();
}

void CSoundEffect::SelectSpeaker(int index) {
    if (index < 0 || index >= SYS_SPEAKER_PRESETS)
        return;
    const bool changed = index != m_byCurrSpeaker;
    m_byCurrSpeaker = static_cast<uint8_t>(index);
    for (IKvButton* b : m_pSpeakerBtn)
        b->Show(index != SPEAKER_NORMAL ? 1 : 0);
    m_iFader = m_Speakers[index].fader;
    m_iBalance = m_Speakers[index].balance;
    UpdateSpeakerLabels();
    if (changed) {
        m_iPendingCmd = SE_CMD_SPEAKER;
        DoingComPort();
    }
    InvalidateOwner();
}

void CSoundEffect::SelectLoudness(int index) {
    if (index < 0 || index > 1 || index == m_byLoudness)
        return;
    m_byLoudness = static_cast<uint8_t>(index);
    m_iPendingCmd = SE_CMD_LOUDNESS;
    DoingComPort();
}

std::u16string CSoundEffect::FaderLabel() const {
    return m_iFader >= 0 ? plat::FormatStr(u"F:%2d", m_iFader)
                         : plat::FormatStr(u"R:%2d", -m_iFader);
}

std::u16string CSoundEffect::BalanceLabel() const {
    return m_iBalance >= 0 ? plat::FormatStr(u"R:%2d", m_iBalance)
                           : plat::FormatStr(u"L:%2d", -m_iBalance);
}

void CSoundEffect::UpdateSpeakerLabels() {
    if (m_pFadValue)
        m_pFadValue->SetText(FaderLabel().c_str());
    if (m_pBalValue)
        m_pBalValue->SetText(BalanceLabel().c_str());
}

void CSoundEffect::StepSpeaker(int action) {
    if (m_byCurrSpeaker == SPEAKER_NORMAL)
        return;
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    const bool fader = action == SE_FADER_UP || action == SE_FADER_DOWN;
    const int step = action == SE_FADER_UP || action == SE_BALANCE_UP ? 1 : -1;
    int32_t& value = fader ? m_iFader : m_iBalance;
    const int next = value + step;
    if (next > SYS_FADER_MAX || next < -SYS_FADER_MAX)
        return;
    value = next;
    if (kernel->FirmwareReady()) {
        if (fader)
            kernel->m_Board.AudioSetFader(value);
        else
            kernel->m_Board.AudioSetBalance(value);
    }
    UpdateSpeakerLabels();
    SPEAKER_MODE& mode = m_Speakers[m_byCurrSpeaker];
    (fader ? mode.fader : mode.balance) = value;
    kernel->m_Settings.iSpeakerPreset[m_byCurrSpeaker][fader ? SPEAKER_FADER : SPEAKER_BALANCE] =
        value;
    InvalidateOwner();
}

// ---- The equaliser's sliders ---------------------------------------------------------------

int CSoundEffect::SliderCentre(int band) const {
    int x = 0, y = 0, w = 0, h = 0;
    m_pSlider[band]->GetBounds(&x, &y, &w, &h);
    return y + h / 2;
}

void CSoundEffect::PlaceSlider(int band) {
    int x = 0, y = 0, w = 0, h = 0;
    m_pSlider[band]->GetBounds(&x, &y, &w, &h);
    m_pSlider[band]->SetPos(x, m_iYOffset + 185 - 7 * m_Presets[m_byCurrEQType].gain[band]);
    CheckSliderPosition(band);
}

void CSoundEffect::CheckSliderPosition(int band) {
    int x = 0, y = 0, w = 0, h = 0;
    m_pSlider[band]->GetBounds(&x, &y, &w, &h);
    // The limits are the seat's: on the rear screen everything lies 60 lower.
    if (y <= m_iYOffset + 100) {
        m_pSlider[band]->SetPos(x, m_iYOffset + 102);
    } else if (y + h >= m_iYOffset + 340) {
        m_pSlider[band]->SetPos(x, m_iYOffset + 268);
    }
}

void CSoundEffect::StoreEQGain(int band, int gain) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    m_Presets[m_byCurrEQType].gain[band] = gain;
    kernel->m_Settings.iEQPreset[m_byCurrEQType][band] = gain;
    kernel->SaveSettings();
    kernel->SetEQValue(static_cast<uint8_t>(band), gain);
    PlaceSlider(band);
}

// ---- Kernel commands ---------------------------------------------------------------------

void CSoundEffect::DoingComPort() {
    if (m_iPendingCmd <= 0)
        return;
    const int cmd = m_iPendingCmd;
    m_iPendingCmd = SE_CMD_NONE;
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    SYS_SETTINGS& s = kernel->m_Settings;
    switch (cmd) {
        case SE_CMD_51:
            WriteLog("CSoundEffect::DoingComPort()-5.1");
            s.i51Priority = 1;
            kernel->Enable51Priority();
            break;
        case SE_CMD_STEREO:
            WriteLog("CSoundEffect::DoingComPort()-Stereo");
            s.i51Priority = 0;
            kernel->Disable51Priority();
            break;
        case 3:
        case 4:
            plat::ui::MessageBox(plat::ui::kNoWindow, u"No need. Should not be here", u"Velkora",
                                 plat::ui::kMbIconWarning);
            break;
        case SE_CMD_EQ_UP:
        case SE_CMD_EQ_DOWN: {
            const int band = std::clamp(m_nSelectedEQ, 0, SYS_EQ_BANDS - 1);
            int32_t& gain = m_Presets[m_byCurrEQType].gain[band];
            gain += cmd == SE_CMD_EQ_UP ? 1 : -1;
            s.iEQPreset[m_byCurrEQType][band] = gain;
            if (gain < -SYS_EQ_GAIN_MAX || gain > SYS_EQ_GAIN_MAX)
                WriteLog("EQ value error : m_byCurrEQType = %d, m_nSelectedEQ = %d, value = %d",
                         m_byCurrEQType, band, gain);
            WriteLog("CSoundEffect::COM_ACT_EQ: value(%d), byF(0x%X), byQ(0x%X)", gain,
                     kBandBytes[band][0], kBandBytes[band][1]);
            kernel->SetEQValue(static_cast<uint8_t>(band), gain);
            if (IsCustom(m_byCurrEQType))
                PlaceSlider(band);
            break;
        }
        case SE_CMD_PRESET:
            WriteLog("CSoundEffect::DoingComPort()-EQ:%d", m_byCurrEQType);
            s.iEQSelect = m_byCurrEQType;
            if (kernel->FirmwareReady()) {
                kernel->m_Board.AudioSelectEQ(m_byCurrEQType);
                WriteLog("CKernel::SelectEQ(): %d", m_byCurrEQType);
            }
            break;
        case SE_CMD_SPEAKER: {
            s.iSpeakerSelect = m_byCurrSpeaker;
            const int fader = s.iSpeakerPreset[m_byCurrSpeaker][SPEAKER_FADER];
            const int balance = s.iSpeakerPreset[m_byCurrSpeaker][SPEAKER_BALANCE];
            WriteLog("CSoundEffect::DoingComPort()-Speaker:%d, fader:%d, balance:%d",
                     m_byCurrSpeaker, fader, balance);
            kernel->SetFader(fader);
            kernel->SetBalance(balance);
            break;
        }
        case SE_CMD_LOUDNESS:
            WriteLog("CSoundEffect::DoingComPort()-Loudness: %d", m_byLoudness);
            s.iLoudness = m_byLoudness;
            if (kernel->FirmwareReady())
                kernel->m_Board.AudioSetLoudness(m_byLoudness);
            break;
        default:
            break;
    }
    InvalidateOwner();
}

// ---- 5.1 -------------------------------------------------------------------------------

void CSoundEffect::SetAudioMode(int mode) {
    if (!m_bSkinned)
        return;
    CKernel* kernel = CKernel::Instance();
    if (mode == 0) {
        m_b51Locked = 1;
        m_pButtons[SE_51_PRIORITY]->Disable();
        m_pButtons[SE_STEREO_PRIORITY]->SetHighlighted();
    } else {
        m_b51Locked = 0;
        const bool surround = kernel && kernel->m_Settings.i51Priority == 1;
        if (surround) {
            m_pButtons[SE_51_PRIORITY]->SetHighlighted();
            m_pButtons[SE_STEREO_PRIORITY]->SetNormal();
        } else {
            m_pButtons[SE_51_PRIORITY]->SetNormal();
            m_pButtons[SE_STEREO_PRIORITY]->SetHighlighted();
        }
        if (kernel && kernel->FirmwareReady()) {
            if (surround)
                kernel->Enable51Priority();
            else
                kernel->Disable51Priority();
        }
    }
    InvalidateOwner();
}

// ---- Pen -------------------------------------------------------------------------------

void CSoundEffect::OnLButtonDown(int x, int y) {
    if (!m_bSkinned)
        return;
    m_bPenDown = 1;
    m_ptHeld = plat::Point{x, y};
    m_iSliderInUse = -1;
    m_iRepeatCount = 0;
    m_dwLastRepeat = plat::GetTickCount();
    for (int i = 0; i < SE_BUTTON_COUNT; ++i) {
        if (!settings::PressHit(m_pButtons[i], x, y))
            continue;
        if (i >= SE_EQ_SETTING && i <= SE_RET_MENU && i != SE_51_PRIORITY &&
            i != SE_STEREO_PRIORITY) {
            for (int j = SE_EQ_SETTING; j <= SE_RET_MENU; ++j) {
                if (j != i && j != SE_51_PRIORITY && j != SE_STEREO_PRIORITY)
                    m_pButtons[j]->SetNormal();
            }
        } else if (i <= SE_VOL_DEL) {
            for (int j = SE_VOL_ADD; j <= SE_VOL_DEL; ++j) {
                if (j != i)
                    m_pButtons[j]->SetNormal();
            }
        }
        m_byPressedIdx = static_cast<uint8_t>(i);
        InvalidateOwner();
        return;
    }
    uint8_t action = 0;
    if (m_pListbox[0]->IsVisible()) {
        m_pListbox[0]->OnLButtonDown(x, y, &action);
        if (action) {
            InvalidateOwner();
            return;
        }
    }
    m_pListbox[1]->OnLButtonDown(x, y, &action);
    if (action) {
        InvalidateOwner();
        return;
    }
    if (m_byView == SE_VIEW_EQ) {
        for (int band = SYS_EQ_BANDS - 1; band >= 0; --band) {
            if (settings::PressHit(m_pSlider[band], x, y)) {
                m_nSelectedEQ = band;
                m_iSliderInUse = band;
                m_byPressedIdx = static_cast<uint8_t>(SE_BASS_UP + 2 * band);
                InvalidateOwner();
                return;
            }
        }
    }
    if (m_byView == SE_VIEW_SPEAKER) {
        for (int i = 0; i < 4; ++i) {
            if (settings::PressHit(m_pSpeakerBtn[i], x, y)) {
                m_byPressedIdx = static_cast<uint8_t>(SE_FADER_UP + i);
                InvalidateOwner();
                return;
            }
        }
    }
    InvalidateOwner();
}

void CSoundEffect::OnMouseMove(int x, int y) {
    if (!m_bSkinned)
        return;
    IMPlayerDlg::OnMouseMove(x, y);
    if (m_bPenDown != 1 || m_iSliderInUse < 0 || m_byView != SE_VIEW_EQ)
        return;
    const int band = m_iSliderInUse;
    IKvButton* slider = m_pSlider[band];
    if (slider->HitTest(x, y) != RZ_HIT)
        return;
    const int top = m_iYOffset + SE_SLIDER_TOP;
    const int bottom = m_iYOffset + SE_SLIDER_BOTTOM;
    const int centre = SliderCentre(band);
    const bool inside = (centre >= top && centre <= bottom) || (y >= top && y <= bottom);
    if (!inside)
        return;
    m_Presets[m_byCurrEQType].gain[band] = std::abs(centre - bottom) / 7 - 12;
    int sx = 0, sy = 0, w = 0, h = 0;
    slider->GetBounds(&sx, &sy, &w, &h);
    slider->SetPos(sx, y - h / 2);
    CheckSliderPosition(band);
    InvalidateOwner();
}

void CSoundEffect::OnLButtonUp(int x, int y) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    m_bPenDown = 0;
    bool done = false;
    // A knob being dragged is let go first, wherever the pen leaves it: its gain is kept.
    if (m_byView == SE_VIEW_EQ && m_iSliderInUse >= 0) {
        const int band = m_iSliderInUse;
        m_pSlider[band]->SetNormal();
        const int centre = SliderCentre(band);
        if (centre < m_iYOffset + SE_SLIDER_TOP)
            StoreEQGain(band, SYS_EQ_GAIN_MAX);
        else if (centre > m_iYOffset + SE_SLIDER_BOTTOM)
            StoreEQGain(band, -SYS_EQ_GAIN_MAX);
        else
            m_byPendingAction = m_byPressedIdx;
        CheckSliderPosition(band);
        m_iSliderInUse = -1;
        done = true;
    }
    for (int i = 0; i < SE_BUTTON_COUNT && !done; ++i) {
        if (!settings::ReleaseHit(m_pButtons[i], x, y))
            continue;
        done = true;
        if (i == m_byPressedIdx) {
            m_byPendingAction = static_cast<uint8_t>(i);
        } else {
            if (IKvButton* previous = Button(m_byPressedIdx))
                previous->SetNormal();
            m_byPressedIdx = 255;
        }
    }
    uint8_t action = 0;
    if (!done && m_pListbox[0]->IsVisible()) {
        m_pListbox[0]->OnLButtonUp(x, y, &action);
        if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
            int index = -1;
            m_pListbox[0]->GetCurrentIndex(&index);
            if (m_byView == SE_VIEW_EQ)
                SelectPreset(index);
            else if (m_byView == SE_VIEW_SPEAKER)
                SelectSpeaker(index);
        }
        done = action != 0;
    }
    if (!done && m_pListbox[1]->IsVisible()) {
        action = 0;
        m_pListbox[1]->OnLButtonUp(x, y, &action);
        if (action == KvUserInterface::LISTBOX_ACTION_ROW && m_byView == SE_VIEW_LOUDNESS) {
            int index = -1;
            m_pListbox[1]->GetCurrentIndex(&index);
            SelectLoudness(index);
        }
        done = action != 0;
    }
    if (!done && m_byView == SE_VIEW_SPEAKER && m_byPressedIdx >= SE_FADER_UP &&
        m_byPressedIdx <= SE_BALANCE_DOWN) {
        if (settings::ReleaseHit(m_pSpeakerBtn[m_byPressedIdx - SE_FADER_UP], x, y))
            m_byPendingAction = m_byPressedIdx;
        m_pSpeakerBtn[m_byPressedIdx - SE_FADER_UP]->SetNormal();
    }
    ApplyHighlights();
    InvalidateOwner();
}

void CSoundEffect::ApplyHighlights() {
    if (!m_bSkinned)
        return;
    for (int i = SE_EQ_SETTING; i <= SE_LOUD_SETTING; ++i) {
        if (i - SE_EQ_SETTING + 1 == m_byView)
            m_pButtons[i]->SetHighlighted();
        else
            m_pButtons[i]->SetNormal();
    }
    CKernel* kernel = CKernel::Instance();
    if (m_b51Locked) {
        m_pButtons[SE_51_PRIORITY]->Disable();
        m_pButtons[SE_STEREO_PRIORITY]->SetHighlighted();
    } else if (kernel && kernel->m_Settings.i51Priority == 1) {
        m_pButtons[SE_51_PRIORITY]->SetHighlighted();
        m_pButtons[SE_STEREO_PRIORITY]->SetNormal();
    } else {
        m_pButtons[SE_51_PRIORITY]->SetNormal();
        m_pButtons[SE_STEREO_PRIORITY]->SetHighlighted();
    }
    for (int i : {SE_VOL_ADD, SE_VOL_DEL, SE_RET_MENU, SE_SAVE, SE_EXIT}) {
        if (i != m_byPressedIdx || !m_bPenDown)
            m_pButtons[i]->SetNormal();
    }
}

// ---- Held pen ------------------------------------------------------------------------------

void CSoundEffect::OnTick() {
    CVelkoraAppDlg::OnTick();
    if (!m_bSkinned || !m_bPenDown)
        return;
    const uint32_t now = plat::GetTickCount();
    if (now - m_dwLastRepeat <= kRepeatMs)
        return;
    m_dwLastRepeat = now;
    if (++m_iRepeatCount < 2)
        return;
    for (auto* list : m_pListbox) {
        uint8_t action = 0;
        list->OnLButtonUp(m_ptHeld.x, m_ptHeld.y, &action);
    }
    if (m_byPressedIdx == SE_VOL_ADD || m_byPressedIdx == SE_VOL_DEL) {
        m_pButtons[m_byPressedIdx]->OnLButtonDown(m_ptHeld.x, m_ptHeld.y);
        RunAction(m_byPressedIdx);
    } else if (m_byPressedIdx >= SE_FADER_UP && m_byPressedIdx <= SE_BALANCE_DOWN) {
        RunAction(m_byPressedIdx);
    }
    InvalidateOwner();
}

// ---- Actions ---------------------------------------------------------------------------

void CSoundEffect::RunAction(int action) {
    switch (action) {
        case SE_VOL_ADD:
        case SE_VOL_ICON:
        case SE_VOL_DEL:
            pageui::VolumeButton(action - SE_VOL_ADD, m_pButtons[SE_VOL_ICON], this);
            break;
        case SE_EQ_SETTING:
            ShowEQView();
            break;
        case SE_SPEAKER_SETTING:
            ShowSpeakerView();
            break;
        case SE_LOUD_SETTING:
            ShowLoudnessView();
            break;
        case SE_51_PRIORITY:
        case SE_STEREO_PRIORITY: {
            if (m_b51Locked)
                break;
            const bool surround = action == SE_51_PRIORITY;
            m_pButtons[surround ? SE_51_PRIORITY : SE_STEREO_PRIORITY]->SetHighlighted();
            m_pButtons[surround ? SE_STEREO_PRIORITY : SE_51_PRIORITY]->SetNormal();
            m_iPendingCmd = surround ? SE_CMD_51 : SE_CMD_STEREO;
            DoingComPort();
            break;
        }
        case SE_RET_MENU:
            m_iPendingCommit = 2;
            Discard();
            m_iPendingCommit = 0;
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
            break;
        case SE_SAVE:
            m_iPendingCommit = 1;
            InvalidateOwner();
            break;
        case SE_EXIT:
            OnBack();
            break;
        case SE_BASS_UP:
        case SE_MID_UP:
        case SE_TREBLE_UP: {
            const int band = (action - SE_BASS_UP) / 2;
            m_nSelectedEQ = band;
            if (m_Presets[m_byCurrEQType].gain[band] < SYS_EQ_GAIN_MAX) {
                m_iPendingCmd = SE_CMD_EQ_UP;
                DoingComPort();
            }
            break;
        }
        case SE_BASS_DOWN:
        case SE_MID_DOWN:
        case SE_TREBLE_DOWN: {
            const int band = (action - SE_BASS_DOWN) / 2;
            m_nSelectedEQ = band;
            if (m_Presets[m_byCurrEQType].gain[band] > -SYS_EQ_GAIN_MAX) {
                m_iPendingCmd = SE_CMD_EQ_DOWN;
                DoingComPort();
            }
            break;
        }
        case SE_FADER_UP:
        case SE_FADER_DOWN:
        case SE_BALANCE_UP:
        case SE_BALANCE_DOWN:
            StepSpeaker(action);
            break;
        default:
            break;
    }
}

void CSoundEffect::OnBack() {
    if (!m_bSkinned)
        return;
    m_iPendingCommit = 2;
    InvalidateOwner();
}

void CSoundEffect::PostRender() {
    if (!m_bSkinned)
        return;
    if (m_iPendingCommit == 1 || m_iPendingCommit == 2) {
        if (m_iPendingCommit == 1)
            Commit();
        else
            Discard();
        m_iPendingCommit = 0;
        m_bVisible = 0;
        InvalidateOwner();
        return;
    }
    if (m_byPendingAction == 255)
        return;
    const int action = m_byPendingAction;
    m_byPendingAction = 255;
    RunAction(action);
    if (!(m_bPenDown && Repeats(action)))
        m_byPressedIdx = 255;
    ApplyHighlights();
    InvalidateOwner();
}

void CSoundEffect::Commit() {
    CKernel* kernel = CKernel::Instance();
    m_byView = SE_VIEW_NONE;
    m_pListbox[0]->Show(0);
    for (int i = SE_EQ_SETTING; i <= SE_LOUD_SETTING; ++i)
        m_pButtons[i]->SetNormal();
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_AUDIO_SET << 16) | m_byShowParam);
    if (!kernel)
        return;
    SYS_SETTINGS& s = kernel->m_Settings;
    s.iEQSelect = m_byCurrEQType;
    s.iSpeakerSelect = m_byCurrSpeaker;
    s.iLoudness = m_byLoudness;
    kernel->SaveSettings();
    // What was saved is what a later discard of this visit goes back to.
    m_Copy = s;
    m_bHaveCopy = true;
    if (kernel->FirmwareReady())
        kernel->m_Board.StatusCommit();
}

void CSoundEffect::Discard() {
    CKernel* kernel = CKernel::Instance();
    m_byView = SE_VIEW_NONE;
    m_pListbox[0]->Show(0);
    for (int i = SE_EQ_SETTING; i <= SE_LOUD_SETTING; ++i)
        m_pButtons[i]->SetNormal();
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_AUDIO_SET << 16) | m_byShowParam);
    if (!kernel || !m_bHaveCopy)
        return;
    SYS_SETTINGS& s = kernel->m_Settings;
    const int surroundNow = s.i51Priority;
    // Everything comes back from the copy's own values, so the board is told nothing that the
    // settings do not say.
    s = m_Copy;
    LoadFromSettings();
    kernel->SaveSettings();
    if (kernel->FirmwareReady()) {
        WriteLog("CSoundEffect::DoingComPort()-EQ:%d", m_byCurrEQType);
        kernel->m_Board.AudioSelectEQ(m_byCurrEQType);
        WriteLog("CKernel::SelectEQ(): %d", m_byCurrEQType);
        if (IsCustom(m_byCurrEQType)) {
            for (int band = 0; band < SYS_EQ_BANDS; ++band)
                kernel->SetEQValue(static_cast<uint8_t>(band),
                                   m_Presets[m_byCurrEQType].gain[band]);
        }
        kernel->SetFader(m_iFader);
        kernel->SetBalance(m_iBalance);
        kernel->m_Board.AudioSetLoudness(m_byLoudness);
    }
    if ((m_Copy.i51Priority == 1) != (surroundNow == 1)) {
        if (m_Copy.i51Priority == 1)
            kernel->Enable51Priority();
        else
            kernel->Disable51Priority();
    }
}

// ---- Drawing ---------------------------------------------------------------------------

void CSoundEffect::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    if (m_pBackground)
        m_pBackground->Draw(hdc, 0, 0, 0, 0);
    if (m_iPendingCommit == 1 || m_iPendingCommit == 2) {
        m_pStatus->SetText(m_iPendingCommit == 1 ? u"Saving the settings ..." : u"Exiting ...");
        m_pStatus->Draw(hdc);
    } else if (m_bVisible) {
        CVelkoraAppDlg::Render(hdc);
        for (IKvButton* b : m_pButtons)
            b->Draw(hdc, 0, 0);
        for (auto* list : m_pListbox)
            list->Draw(hdc);
        const int y = m_iYOffset;
        if (m_byView == SE_VIEW_EQ) {
            m_pEQBg->Draw(hdc, 285, y + 82, 0, 0);
            if (IsCustom(m_byCurrEQType)) {
                for (IKvButton* s : m_pSlider)
                    s->Draw(hdc, 0, 0);
            } else {
                for (int band = 0; band < SYS_EQ_BANDS; ++band)
                    m_pGray[band]->Draw(hdc, kGrayX[band],
                                        y + 186 - 7 * m_Presets[m_byCurrEQType].gain[band], 40, 75);
            }
            for (IKvText* t : m_pBandLabel)
                t->Draw(hdc);
        } else if (m_byView == SE_VIEW_SPEAKER) {
            m_pInterior->Draw(hdc, 271, y + 87, 490, 290);
            for (IKvButton* b : m_pSpeakerBtn)
                b->Draw(hdc, 0, 0);
            m_pIndicator->Draw(hdc, 585 + 9 * m_iBalance,
                               y - static_cast<int>(m_iFader * 12.5 - 200), 50, 60);
            m_pFadLabel->Draw(hdc);
            m_pBalLabel->Draw(hdc);
            m_pFadValue->Draw(hdc);
            m_pBalValue->Draw(hdc);
        }
    }
    DoingComPort();
}
