#include "apps/radio/RadioDlg.h"

#include <cstring>
#include <vector>

#include "core/kernel/HWAudio.h"
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
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;

const char16_t* const g_RadioButtonKeys[RADIO_BUTTONS] = {
    u"Vol-Add", u"Vol-Icon", u"Vol-Del",      u"FM-1",      u"FM-2",    u"FM-3",
    u"AM-1",    u"AM-2",     u"Step-Up",      u"Step-Down", u"Scan-Up", u"Scan-Down",
    u"AS",      u"Save",     u"Sound-Effect", u"Ret-Menu",
};

namespace {

const uint16_t kBandCodes[RADIO_BANDS] = {0x10, 0x11, 0x12, 0x20, 0x21};
const char16_t* const kBandNames[RADIO_BANDS] = {u"FM1", u"FM2", u"FM3", u"AM1", u"AM2"};

// The preset grid's cells on the front seat; the rear seat moves the rows down and makes every
// cell taller.
constexpr int kCellX[3] = {272, 433, 594};
constexpr int kCellY[3] = {85, 189, 293};
constexpr int kCellW = 156;
constexpr int kCellH = 98;
constexpr int kRearRowShift[3] = {42, 62, 82};
constexpr int kRearExtraHeight = 42;

// A list row as the media lists keep it: kind, then the row's text (what StorePreset reads
// back), the folder and two links left empty.
constexpr int kRowSize = 1548;
constexpr int kRowNameChars = 256;
constexpr uint16_t kRowKindTuned = 5;

std::vector<uint8_t> MakeRow(uint16_t kind, const std::u16string& name) {
    std::vector<uint8_t> row(kRowSize, 0);
    std::memcpy(row.data(), &kind, sizeof kind);
    const size_t n = name.size() < kRowNameChars - 1 ? name.size() : kRowNameChars - 1;
    std::memcpy(row.data() + 2, name.data(), n * sizeof(char16_t));
    return row;
}

std::u16string RowName(const void* data) {
    if (!data)
        return std::u16string();
    char16_t name[kRowNameChars];
    std::memcpy(name, static_cast<const uint8_t*>(data) + 2, sizeof name);
    return std::u16string(name, plat::StrLenN(name, kRowNameChars - 1));
}

using pageui::ReleaseAndClear;

template <typename T>
void Replace(T*& slot, T* fresh) {
    ReleaseAndClear(slot);
    slot = fresh;
}

bool IsBandButton(int i) {
    return i >= RADIO_BTN_FM1 && i <= RADIO_BTN_AM2;
}

INFODLG_RECORD WaitingRecord(CKernel* k) {
    INFODLG_RECORD r;
    std::memset(&r, 0, sizeof r);
    r.byFlags = INFODLG_BUTTON4 | INFODLG_SHOW_TEXT | INFODLG_SHOW_PICTURE;
    plat::StrCopy(r.szPicture, CInfoDialog::SkinFile(u"info-img-waiting.gif"));
    plat::StrCopy(r.szButton[3], CInfoDialog::SkinFile(u"info-btn-no.png"));
    if (k)
        plat::StrCopy(r.szText, k->m_Language[MSG_BT_SEARCHING]);
    return r;
}

}  // namespace

CRadioPopUp::CRadioPopUp(int timeoutMs, plat::ui::WindowId parent, std::atomic<int>* counters)
    : CInfoDialog(timeoutMs, parent), m_pCounters(counters) {}

bool CRadioPopUp::OnInitDialog() {
    const bool ok = CInfoDialog::OnInitDialog();
    const int now = ++m_pCounters[0];
    m_bCounted = true;
    int most = m_pCounters[1].load();
    while (now > most && !m_pCounters[1].compare_exchange_weak(most, now)) {
    }
    ++m_pCounters[2];
    return ok;
}

void CRadioPopUp::OnEndDialog() {
    if (m_bCounted)
        --m_pCounters[0];
    m_bCounted = false;
    CInfoDialog::OnEndDialog();
}

CRadioDlg::CRadioDlg() : m_pLink(std::make_shared<CUiLink>()) {
    for (auto& band : m_dPreset)
        for (double& p : band)
            p = 0;
}

CRadioDlg::~CRadioDlg() {
    m_bVisible = 0;
    StopThreads();
    m_pMuteButton = nullptr;
    ReleaseAndClear(m_pButton);
    ReleaseAndClear(m_pAdjustBg);
    ReleaseAndClear(m_pSaveText);
    ReleaseAndClear(m_pStereoText);
    ReleaseAndClear(m_pGrid);
}

void CRadioDlg::StopThreads() {
    m_bStopThreads = true;
    ++m_uGeneration;
    ClosePopUp();
    m_pLink->Close();
    { std::lock_guard<std::mutex> lock(m_stopMutex); }
    m_stopCv.notify_all();
    // Only what was started is waited for: a page whose skin failed has no thread.
    if (m_Job.joinable())
        m_Job.join();
    if (m_StereoThread.joinable())
        m_StereoThread.join();
}

void CRadioDlg::ResetDefault() {
    WriteLog("CRadioDlg::ResetDefault()");
}

int& CRadioDlg::ChannelOf(int band) {
    // The page keeps them in the order AM1, AM2, FM1, FM2, FM3.
    return RadioIsFm(band) ? m_iChannel[2 + band] : m_iChannel[band - RADIO_BAND_AM1];
}

int CRadioDlg::CurrentPreset(int band) const {
    if (band < 0 || band >= RADIO_BANDS)
        return 0;
    return RadioIsFm(band) ? m_iChannel[2 + band] : m_iChannel[band - RADIO_BAND_AM1];
}

// ---- Skin ------------------------------------------------------------------------------------

bool CRadioDlg::LoadSkin() {
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    CKernel* k = CKernel::Instance();
    IVantrel* root = k ? k->m_pRoot : nullptr;
    if (!root || !m_pListbox[0] || !m_pListbox[1] || !m_pGrid)
        return false;
    const bool rear = m_bySeat != 0 && m_bySeat != 255;
    const std::u16string skinFile = SkinPath(u"Radio\\Radio.ini");
    const std::u16string folder = SkinPath(u"Radio");

    if (!pageui::LoadBackground(m_pBackground, skinFile, folder))
        return false;
    Replace(m_pAdjustBg, LoadImage(folder + u"\\img-adjust-bg.png"));
    if (!m_pBackground || !m_pAdjustBg)
        return false;

    m_pMuteButton = nullptr;
    if (!pageui::MakeButtons(m_pButton, g_RadioButtonKeys, RADIO_BUTTONS, skinFile,
                             rear ? u"Rear Buttons" : u"Buttons", folder, 0x26))
        return false;
    pageui::UseMuteButton(this, m_pButton[RADIO_BTN_VOL_ICON]);

    if (m_pListbox[0]->LoadLayout(skinFile.c_str(), u"Left Listbox", folder.c_str()) != RZ_OK ||
        m_pListbox[1]->LoadLayout(skinFile.c_str(), u"Right Listbox", folder.c_str()) != RZ_OK ||
        m_pGrid->LoadLayout(skinFile.c_str(), u"Right Listbox", folder.c_str()) != RZ_OK)
        return false;
    m_pGrid->RemoveAll();
    for (int i = 1; i <= RADIO_PRESETS; ++i) {
        const std::u16string icon = plat::FormatStr(u"%s\\radio-ch%d.png", folder.c_str(), i);
        // The list takes a picture that fails without a word; the skin must have all nine.
        KvMultimedia::IKvImage* probe = LoadImage(icon);
        if (!probe)
            return false;
        probe->Release();
        if (m_pGrid->AddItem(u"Load", nullptr, 0, icon.c_str()) != RZ_OK)
            return false;
    }
    if (rear)
        m_pGrid->SetShifted(1);
    for (IKvListbox* list : m_pListbox) {
        list->RemoveAll();
        list->AddItem(u"Loading ...", nullptr, 0, nullptr);
    }

    Replace(m_pHorzDown, LoadImage(SkinPath(u"common_png\\horz-down-radio.png")));
    Replace(m_pVert, LoadImage(SkinPath(rear ? u"common_png\\vertr-radio.png"
                                             : u"common_png\\vert-radio.png")));
    if (!m_pHorzDown || !m_pVert)
        return false;

    IKvText* text = nullptr;
    if (root->CreateText(&text) != RZ_OK || !text)
        return false;
    Replace(m_pSaveText, text);
    m_pSaveText->SetRect(200, 25, 600, 100);
    m_pSaveText->SetFont(20, 255, 79, 35);
    m_pSaveText->Show(1);
    text = nullptr;
    if (root->CreateText(&text) != RZ_OK || !text)
        return false;
    Replace(m_pStereoText, text);
    m_pStereoText->SetRect(60, 23, 200, 100);
    m_pStereoText->SetFont(16, 200, 200, 200);
    m_pStereoText->SetText(u"STEREO");
    m_pStereoText->Show(0);
    return true;
}

bool CRadioDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    IMPlayerDlg::SetSkin(seat, mainWnd, appType);
    CKernel* k = CKernel::Instance();
    IVantrel* root = k ? k->m_pRoot : nullptr;
    if (!root)
        return false;
    for (IKvListbox*& list : m_pListbox) {
        if (!list && (root->CreateListbox(&list) != RZ_OK || !list))
            return false;
    }
    if (!m_pGrid && (root->CreateListbox(&m_pGrid) != RZ_OK || !m_pGrid))
        return false;
    m_pListbox[0]->Show(1);
    m_pListbox[1]->Show(0);
    m_pGrid->SetViewMode(KvUserInterface::LISTBOX_VIEW_GRID);
    m_pGrid->SetGridLayout(KvUserInterface::LISTBOX_GRID_3X3_STRIP);
    m_pGrid->Show(0);

    bool loaded = false;
    for (int attempt = 0; attempt < 3 && !loaded; ++attempt)
        loaded = LoadSkin();
    if (!loaded) {
        WriteLog("CRadioDlg::SetSkin(%d): no skin", seat);
        return false;
    }

    for (int b = 0; b < RADIO_BANDS; ++b) {
        for (int i = 0; i < RADIO_PRESETS; ++i)
            m_dPreset[b][i] = RadioIsFm(b) ? RADIO_DEFAULT_FM : RADIO_DEFAULT_AM;
        m_szBandName[b] = kBandNames[b];
    }
    FillRadioImageDefaults(m_abyImage);

    // Values from an older or damaged settings block are brought back into range, and kept.
    SYS_SETTINGS& s = k->m_Settings;
    bool mended = false;
    if (s.iRadioBand < 0 || s.iRadioBand >= RADIO_BANDS) {
        WriteLog("CRadioDlg: band %d mended", s.iRadioBand);
        s.iRadioBand = 0;
        mended = true;
    }
    auto mend = [&mended](int32_t& channel) {
        if (channel < 0 || channel >= RADIO_PRESETS) {
            WriteLog("CRadioDlg: preset %d mended", channel);
            channel = 0;
            mended = true;
        }
    };
    for (int32_t& c : s.iAMChannel)
        mend(c);
    for (int32_t& c : s.iFMChannel)
        mend(c);
    if (mended)
        k->SaveSettings();
    m_byBand = static_cast<uint8_t>(s.iRadioBand);
    m_iChannel[0] = s.iAMChannel[0];
    m_iChannel[1] = s.iAMChannel[1];
    m_iChannel[2] = s.iFMChannel[0];
    m_iChannel[3] = s.iFMChannel[1];
    m_iChannel[4] = s.iFMChannel[2];
    m_pGrid->SetUserData(1);

    if (!m_StereoThread.joinable()) {
        m_bStopThreads = false;
        m_StereoThread = std::thread([this] { StereoThread(); });
    }
    return true;
}

// ---- Show, tick, paint -----------------------------------------------------------------------

void CRadioDlg::Show(bool visible, uint8_t param) {
    CKernel* k = CKernel::Instance();
    if (visible && k) {
        UpdateVolume(false);
        if (CHWAudioHolder* holder = CHWAudioHolder::GetInstance()) {
            if (IHWAudio* mixer = holder->m_pAudio[1].get())
                mixer->SelectSource(8, false);
        }
        pageui::ShowMuteState(this, m_pButton[RADIO_BTN_VOL_ICON]);
        plat::ui::SendMessage(m_hMainWnd, WM_STOP_MEDIA, m_bySeat, 0);
        m_iPending = 1;
        if (m_bySeat == 0) {
            k->m_dwResumeDone |= 0x400;
            // Its mere presence tells the next start that the radio was on.
            plat::WriteFileAtomic(MARKER_RADIO_MODE, "", 0, plat::Durability::ReadersOnly);
        }
    }
    CVelkoraAppDlg::Show(visible, param);
}

void CRadioDlg::OnTick() {
    CVelkoraAppDlg::OnTick();
    const uint32_t now = plat::GetTickCount();
    if (now - m_dwLast1000 > 1000) {
        m_dwLast1000 = now;
        if (m_bSaveMode && now - m_dwSaveStart > RADIO_SAVE_MODE_MS) {
            EndSaveMode();
            InvalidateOwner();
        }
        if (m_bSaveMode && m_bVisible)
            InvalidateOwner();  // the blinking row
    }
    // The tuner work asked for by Show waits for the first tick.
    if (m_iPending > 0)
        DoingComPort();

    if (now - m_dwLast250 > RADIO_SEEK_CHECK_MS && !m_bSeekSettled.load()) {
        m_dwLast250 = now;
        uint8_t status = 0;
        // A status that cannot be read ends the wait as a finished seek would.
        if (ReadStatus(&status) && (status & RADIO_STATUS_SEEKING)) {
            WriteLog("Still scanning...");
        } else {
            ClosePopUp();
            WriteLog("Scan done");
        }
        RefreshFrequency();
    }

    if (m_bPenDown && now - m_dwLastRepeat > 250) {
        m_dwLastRepeat = now;
        if (++m_iRepeats >= 2) {
            for (IKvListbox* list : m_pListbox) {
                uint8_t action = 0;
                if (list && list->IsVisible())
                    list->OnMouseMove(m_iHeldX, m_iHeldY, &action);
            }
            switch (m_byPressed) {
                case RADIO_BTN_VOL_ADD:
                case RADIO_BTN_VOL_DEL:
                    pageui::VolumeButton(m_byPressed - RADIO_BTN_VOL_ADD, m_pMuteButton, this);
                    break;
                case RADIO_BTN_STEP_UP:
                    StepFrequency(true);
                    break;
                case RADIO_BTN_STEP_DOWN:
                    StepFrequency(false);
                    break;
                default:
                    break;
            }
            InvalidateOwner();
        }
    }
}

void CRadioDlg::Render(plat::Canvas* hdc) {
    auto draw = [hdc](KvMultimedia::IKvImage* image, int x, int y) {
        if (image)
            image->Draw(hdc, x, y, 0, 0);
    };
    const bool rear = m_bySeat != 0 && m_bySeat != 255;
    draw(m_pBackground, 0, 0);
    if (m_bSaveMode) {
        // Storing a preset: the buttons greyed and out of reach, the prompt over the frame;
        // only the grid answers the pen.
        for (IKvButton* b : m_pButton)
            if (b)
                b->Disable();
        // The mute button draws its fixed frame: it shows the disabled one here.
        if (m_pMuteButton)
            m_pMuteButton->SetFrame(KvUserInterface::BUTTON_DISABLED);
        CKernel* k = CKernel::Instance();
        if (m_pSaveText && k) {
            m_pSaveText->SetText(k->m_Language[MSG_RADIO_SAVE_INFO]);
            m_pSaveText->Draw(hdc);
        }
    } else {
        draw(m_pAdjustBg, 30, rear ? 430 : 310);
        if (m_pTimeText)
            m_pTimeText->Draw(hdc);
        if (m_pAmPmText)
            m_pAmPmText->Draw(hdc);
        draw(m_pHorzUp, 10, 80);
        draw(m_pHorzMiddle, 10, 155);
        draw(m_pHorzMiddle, 10, 225);
        draw(m_pHorzDown, 270, rear ? 517 : 398);
        draw(m_pVert, 270, 83);
        draw(m_pVert2[0], 96, 83);
        draw(m_pVert2[1], 184, 83);
        RenderVolume(hdc, m_pMuteButton);
        if (m_pStereoText && m_pStereoText->IsVisible())
            m_pStereoText->Draw(hdc);
    }
    for (IKvButton* b : m_pButton)
        if (b)
            b->Draw(hdc, 0, 0);
    if (m_pListbox[0])
        m_pListbox[0]->Draw(hdc);
    if (m_pGrid && m_pGrid->IsVisible())
        m_pGrid->Draw(hdc);
    // The released button has been drawn; now what it does.
    if (ActionPending())
        OnButtonClick();
}

void CRadioDlg::KeyHandler(int command) {
    switch (command) {
        case RADIO_KEY_SEEK_UP:
            Seek(true);
            break;
        case RADIO_KEY_SEEK_DOWN:
            Seek(false);
            break;
        case RADIO_KEY_STEP_UP:
            StepFrequency(true);
            break;
        case RADIO_KEY_STEP_DOWN:
            StepFrequency(false);
            break;
        default:
            break;
    }
}

// ---- Bands, presets, the file ---------------------------------------------------------------

void CRadioDlg::DoingComPort() {
    CKernel* k = CKernel::Instance();
    if (m_iPending > 0 && k) {
        WriteLog("CRadioDlg::DoingComPort(%d), band(%d)", m_iPending, m_byBand);
        if (m_iPending == 1)
            SetBandButtons();
        if (m_bMute && k->FirmwareReady()) {
            k->m_bMute = 1;
            k->m_Board.AudioMute(true);
        }
        k->ToMode(1);
        LoadRadioSettings();
        _HandleBand(m_byBand < RADIO_BANDS ? m_byBand : 0);
    }
    m_iPending = 0;
}

bool CRadioDlg::LoadRadioSettings() {
    CKernel* k = CKernel::Instance();
    if (!k)
        return false;
    const std::string path = k->DataPath(plat::Utf16ToUtf8(RADIO_SETTINGS_FILE));
    std::vector<uint8_t> bytes;
    const bool read = plat::ReadWholeFile(path, bytes, 4096);
    if (read && ReadRadioSettings(bytes.data(), bytes.size(), m_abyImage, m_dPreset))
        return true;
    if (read || FileExists(path.c_str()))
        WriteLog("CRadioDlg: RadioSettings.db refused (%d bytes): defaults until the next store",
                 read ? static_cast<int>(bytes.size()) : -1);
    // What the presets show stays; the image holds what a store writes for untouched entries.
    FillRadioImageDefaults(m_abyImage);
    return false;
}

bool CRadioDlg::SaveRadioSettings() {
    CKernel* k = CKernel::Instance();
    if (!k)
        return false;
    const std::string path = k->DataPath(plat::Utf16ToUtf8(RADIO_SETTINGS_FILE));
    WriteLog("CRadioDlg::SaveRadioSettings()");
    return plat::WriteFileAtomic(path, m_abyImage, RADIO_SETTINGS_SIZE);
}

std::u16string CRadioDlg::PresetText(int band, double preset, bool withUnit) const {
    if (RadioIsFm(band))
        return plat::FormatStr(withUnit ? u"%.2f MHz" : u"%.2f", preset);
    return plat::FormatStr(withUnit ? u"%.0f KHz" : u"%.0f", preset);
}

std::u16string CRadioDlg::TunerText(uint16_t value) const {
    if (RadioIsFm(m_byBand))
        return plat::FormatStr(u"%.2f MHz", value / 100.0);
    return plat::FormatStr(u"%d KHz", static_cast<int>(value));
}

void CRadioDlg::SetTunedRow(const std::u16string& text) {
    IKvListbox* list = m_pListbox[0];
    if (!list)
        return;
    list->RemoveAll();
    const std::vector<uint8_t> row = MakeRow(kRowKindTuned, text);
    list->AddItem(text.c_str(), row.data(), kRowSize, nullptr);
    list->SetCurrentIndex(0);
}

void CRadioDlg::SetPresetCells() {
    const int band = m_byBand;
    if (band >= RADIO_BANDS)
        return;
    if (m_pListbox[1]) {
        m_pListbox[1]->RemoveAll();
        for (int i = 0; i < RADIO_PRESETS; ++i) {
            const std::u16string text = PresetText(band, m_dPreset[band][i], false);
            m_pListbox[1]->AddItem(text.c_str(), nullptr, 0, nullptr);
        }
    }
    if (m_pGrid) {
        for (int i = 0; i < RADIO_PRESETS; ++i)
            m_pGrid->SetItemText(i, PresetText(band, m_dPreset[band][i], false).c_str());
    }
}

void CRadioDlg::_HandleBand(int band) {
    CKernel* k = CKernel::Instance();
    if (!k || band < 0 || band >= RADIO_BANDS)
        return;
    m_byBand = static_cast<uint8_t>(band);
    const int preset = CurrentPreset(band);
    if (RadioIsFm(band))
        k->m_Settings.iFMChannel[band] = preset;
    else
        k->m_Settings.iAMChannel[band - RADIO_BAND_AM1] = preset;
    k->m_Settings.iRadioBand = band;
    k->SaveSettings();

    if (m_pListbox[0])
        m_pListbox[0]->RemoveAll();
    SetTunedRow(PresetText(band, m_dPreset[band][preset], true));
    SetPresetCells();
    if (m_pGrid) {
        m_pGrid->SetCurrentIndex(preset);
        m_pGrid->Show(1);
    }
    WriteLog("CRadio::_HandleBand( %d )", band);
    plat::ui::SendMessage(m_hMainWnd, WM_SEAT_ACTION, m_bySeat, (preset << 16) | kBandCodes[band]);
    InvalidateOwner();
}

void CRadioDlg::SetBandButtons() {
    for (int i = RADIO_BTN_FM1; i <= RADIO_BTN_AM2; ++i)
        if (m_pButton[i])
            m_pButton[i]->SetNormal();
    if (m_byBand < RADIO_BANDS && m_pButton[RADIO_BTN_FM1 + m_byBand])
        m_pButton[RADIO_BTN_FM1 + m_byBand]->SetHighlighted();
}

void CRadioDlg::EndSaveMode() {
    m_bSaveMode = 0;
    for (IKvButton* b : m_pButton)
        if (b)
            b->SetNormal();
    SetBandButtons();
    if (m_pListbox[0])
        m_pListbox[0]->SetBlinkIndex(-1);
}

void CRadioDlg::StorePreset(int preset) {
    CKernel* k = CKernel::Instance();
    const int band = m_byBand;
    if (!k || band >= RADIO_BANDS || preset < 0 || preset >= RADIO_PRESETS || !m_pListbox[0])
        return;
    // The frequency as the left list shows it, read back from its row.
    void* data = nullptr;
    m_pListbox[0]->GetAt(&data, -1);
    std::u16string text = RowName(data);
    const size_t unit = text.find(RadioIsFm(band) ? u" MHz" : u" KHz");
    if (unit != std::u16string::npos)
        text.resize(unit);
    double value = 0;
    if (!ParseRadioFrequency(text, &value)) {
        WriteLog("CRadioDlg::StorePreset(%d): no frequency shown", preset);
        return;
    }
    m_dPreset[band][preset] = value;
    SetPresetCells();
    for (int i = 0; i < RADIO_PRESETS; ++i)
        SetRadioImageEntry(m_abyImage, band, i, RadioStoredValue(band, m_dPreset[band][i]));
    if (m_pListbox[1])
        m_pListbox[1]->SetCurrentIndex(preset);
    if (k->FirmwareReady()) {
        k->m_Board.RadioReplay(static_cast<uint8_t>(preset));
        k->m_Board.StatusCommit();
    }
    SaveRadioSettings();
}

// ---- Pen -------------------------------------------------------------------------------------

int CRadioDlg::PresetCellAt(int x, int y) const {
    const bool rear = m_bySeat != 0 && m_bySeat != 255;
    for (int i = 0; i < RADIO_PRESETS; ++i) {
        const int row = i / 3;
        const int left = kCellX[i % 3];
        const int top = kCellY[row] + (rear ? kRearRowShift[row] : 0);
        const int height = kCellH + (rear ? kRearExtraHeight : 0);
        if (x > left && x < left + kCellW && y > top && y < top + height)
            return i;
    }
    return -1;
}

void CRadioDlg::OnLButtonDown(int x, int y) {
    if (!m_bSeekSettled.load())
        return;
    m_bPenDown = 1;
    m_iHeldX = x;
    m_iHeldY = y;
    m_iRepeats = 0;
    m_dwLastRepeat = plat::GetTickCount();
    for (int i = 0; i < RADIO_BUTTONS; ++i) {
        if (!m_pButton[i] || m_pButton[i]->OnLButtonDown(x, y) != RZ_HIT)
            continue;
        for (int j = 0; j < RADIO_BUTTONS; ++j) {
            if (j == i || !m_pButton[j])
                continue;
            if ((i >= RADIO_BTN_STEP_UP && j >= RADIO_BTN_STEP_UP) ||
                (IsBandButton(i) && IsBandButton(j)))
                m_pButton[j]->SetNormal();
        }
        m_byPressed = static_cast<uint8_t>(i);
        InvalidateOwner();
        return;
    }
    uint8_t action = 0;
    if (m_pListbox[0])
        m_pListbox[0]->OnLButtonDown(x, y, &action);
    if (m_pListbox[1] && m_pListbox[1]->IsVisible())
        m_pListbox[1]->OnLButtonDown(x, y, &action);
    if (m_pGrid && m_pGrid->IsVisible()) {
        action = 0;
        m_pGrid->OnLButtonDown(x, y, &action);
        if (action == KvUserInterface::LISTBOX_ACTION_ROW)
            m_pGrid->SetUserData(2);
    }
    InvalidateOwner();
}

void CRadioDlg::ButtonImagesAfterRelease() {
    const int pressed = m_byPressed;
    if (pressed < RADIO_BUTTONS && m_pButton[pressed]) {
        if (ActionPending() && (IsBandButton(pressed) || pressed == RADIO_BTN_SAVE))
            m_pButton[pressed]->SetHighlighted();
        else
            m_pButton[pressed]->SetNormal();
    }
    if (!ActionPending())
        SetBandButtons();
}

void CRadioDlg::OnLButtonUp(int x, int y) {
    m_bPenDown = 0;
    if (!m_bSeekSettled.load()) {
        // A tap anywhere ends the seek's wait, and its pop-up with it.
        if (m_byPressed == RADIO_BTN_SCAN_UP || m_byPressed == RADIO_BTN_SCAN_DOWN)
            m_byPressed = RADIO_NO_BUTTON;
        m_bSeekSettled = true;
        ClosePopUp();
        return;
    }
    CKernel* k = CKernel::Instance();
    for (int i = 0; i < RADIO_BUTTONS; ++i) {
        if (!m_pButton[i] || m_pButton[i]->OnLButtonUp(x, y) != RZ_HIT)
            continue;
        if (i == m_byPressed)
            ActionPending() = 1;
        else
            m_byPressed = static_cast<uint8_t>(i);
        ButtonImagesAfterRelease();
        InvalidateOwner();
        return;
    }
    uint8_t action = 0;
    if (m_pListbox[0])
        m_pListbox[0]->OnLButtonUp(x, y, &action);
    if (action == 0 && m_pGrid && m_pGrid->IsVisible() && k && m_byBand < RADIO_BANDS) {
        m_pGrid->OnLButtonUp(x, y, &action);
        const int cell = action == KvUserInterface::LISTBOX_ACTION_ROW ? PresetCellAt(x, y) : -1;
        if (cell >= 0) {
            m_pGrid->SetUserData(1);
            int top = 0, count = 0;
            m_pGrid->GetTopIndex(&top);
            m_pGrid->GetCount(&count);
            if (top + cell < count)
                m_pGrid->SetCurrentIndex(top + cell);
            const int band = m_byBand;
            const bool storing = m_bSaveMode != 0;
            if (storing)
                EndSaveMode();
            ChannelOf(band) = cell;
            if (RadioIsFm(band))
                k->m_Settings.iFMChannel[band] = cell;
            else
                k->m_Settings.iAMChannel[band - RADIO_BAND_AM1] = cell;
            if (storing) {
                StorePreset(cell);
            } else {
                if (k->FirmwareReady()) {
                    uint8_t high = 0, low = 0;
                    k->m_Board.RadioLoadChannel(static_cast<uint16_t>(cell), &high, &low);
                }
                SetTunedRow(PresetText(band, m_dPreset[band][cell], true));
            }
            k->SaveSettings();
        }
    }
    ButtonImagesAfterRelease();
    InvalidateOwner();
}

void CRadioDlg::OnButtonClick() {
    const int button = m_byPressed;
    ActionPending() = 0;
    switch (button) {
        case RADIO_BTN_VOL_ADD:
        case RADIO_BTN_VOL_ICON:
        case RADIO_BTN_VOL_DEL:
            pageui::VolumeButton(button - RADIO_BTN_VOL_ADD, m_pMuteButton, this);
            break;
        default:
            if (button >= RADIO_BUTTONS)
                break;
            if (m_pListbox[0])
                m_pListbox[0]->SetBlinkIndex(-1);
            m_bSaveMode = 0;
            if (IsBandButton(button)) {
                _HandleBand(button - RADIO_BTN_FM1);
            } else if (button == RADIO_BTN_STEP_UP || button == RADIO_BTN_STEP_DOWN) {
                StepFrequency(button == RADIO_BTN_STEP_UP);
            } else if (button == RADIO_BTN_SCAN_UP || button == RADIO_BTN_SCAN_DOWN) {
                Seek(button == RADIO_BTN_SCAN_UP);
            } else if (button == RADIO_BTN_AS) {
                AutoStore();
            } else if (button == RADIO_BTN_SAVE) {
                m_bSaveMode = 1;
                m_dwSaveStart = plat::GetTickCount();
                if (m_pListbox[0])
                    m_pListbox[0]->SetBlinkIndex(0);
            } else if (button == RADIO_BTN_SOUND) {
                plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                                      (APPTYPE_RADIO << 16) | APPTYPE_AUDIO_SET);
            } else if (button == RADIO_BTN_MENU) {
                plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0);
            }
            break;
    }
    if (!m_bPenDown)
        m_byPressed = RADIO_NO_BUTTON;
    InvalidateOwner();
}

// ---- Tuner work on the user-interface thread -------------------------------------------------

bool CRadioDlg::ReadFrequency(uint16_t* value) {
    CKernel* k = CKernel::Instance();
    uint8_t high = 0, low = 0;
    if (!k || !k->RadioGetFrequency(&high, &low))
        return false;
    *value = static_cast<uint16_t>(high * 256 + low);
    return true;
}

bool CRadioDlg::ReadStatus(uint8_t* status) {
    CKernel* k = CKernel::Instance();
    if (!k || !k->FirmwareReady())
        return false;
    uint8_t s = 0;
    if (k->m_Board.RadioGetTunerStatus(&s) != 0)
        return false;
    *status = s;
    return true;
}

void CRadioDlg::ShowFrequency(uint16_t value) {
    m_wFrequency = value;
    SetTunedRow(TunerText(value));
    InvalidateOwner();
}

bool CRadioDlg::RefreshFrequency() {
    uint16_t value = 0;
    if (!ReadFrequency(&value))
        return false;
    ShowFrequency(value);
    return true;
}

void CRadioDlg::StepFrequency(bool up) {
    CKernel* k = CKernel::Instance();
    if (!k || m_byBand >= RADIO_BANDS)
        return;
    const bool fm = RadioIsFm(m_byBand);
    const uint8_t type = fm ? (up ? 0xC0 : 0xC1) : (up ? 0xC2 : 0xC3);
    uint8_t frequency = 0, channel = 0;
    if (!k->FirmwareReady() || !k->AdjChannelFreq(type, &frequency, &channel))
        return;
    ShowFrequency(static_cast<uint16_t>(channel * 256 + frequency));
}

void CRadioDlg::TunerMute(bool on) {
    CKernel* k = CKernel::Instance();
    if (!k)
        return;
    k->m_bMute = on ? 1 : 0;
    if (k->FirmwareReady())
        k->m_Board.AudioMute(on);
}

void CRadioDlg::ReadTunerStatus() {
    if (!m_bVisible || !m_pStereoText)
        return;
    if (m_byBand >= RADIO_BANDS || !RadioIsFm(m_byBand)) {
        if (m_pStereoText->IsVisible()) {
            m_pStereoText->Show(0);
            InvalidateOwner();
        }
        return;
    }
    uint8_t status = 0;
    if (!ReadStatus(&status))
        return;
    m_byStatus = status;
    WriteLog("RadioStatus: 0x%X", status);
    m_pStereoText->Show((status & RADIO_STATUS_STEREO) ? 1 : 0);
    if (status != m_byPrevStatus &&
        !((status & RADIO_STATUS_STEREO) && (m_byPrevStatus & RADIO_STATUS_STEREO)))
        InvalidateOwner();
    m_byPrevStatus = status;
}

void CRadioDlg::Seek(bool up) {
    // The pop-up shows over the seat that asked for it.
    const plat::ui::WindowId parent = OwnerWindow();
    StartJob([this, up, parent](unsigned generation) { SeekJob(up, generation, parent); });
}

void CRadioDlg::AutoStore() {
    const plat::ui::WindowId parent = OwnerWindow();
    StartJob([this, parent](unsigned generation) { AutoStoreJob(generation, parent); });
}

std::shared_ptr<CRadioPopUp> CRadioDlg::OpenPopUp(int timeoutMs, plat::ui::WindowId parent) {
    auto dialog = std::make_shared<CRadioPopUp>(timeoutMs, parent, m_iPopUps);
    std::shared_ptr<CRadioPopUp> dropped = dialog;
    std::lock_guard<std::mutex> lock(m_popUpMutex);
    m_pPopUp.swap(dropped);
    return dialog;
}

void CRadioDlg::ReleasePopUp(const std::shared_ptr<CRadioPopUp>& dialog) {
    std::shared_ptr<CRadioPopUp> dropped;
    std::lock_guard<std::mutex> lock(m_popUpMutex);
    if (m_pPopUp == dialog)
        dropped.swap(m_pPopUp);
    // `dropped` goes after the lock: a dialog's destructor never runs under it.
}

void CRadioDlg::ClosePopUp() {
    std::shared_ptr<CRadioPopUp> dialog;
    {
        std::lock_guard<std::mutex> lock(m_popUpMutex);
        dialog = m_pPopUp;
    }
    if (dialog)
        dialog->SetExit();
}

// ---- Worker threads --------------------------------------------------------------------------

bool CRadioDlg::WaitMs(uint32_t ms, const std::atomic<bool>* cancel) {
    const uint32_t start = plat::GetTickCount();
    // On the system's clock the wait sleeps until it is over (a stop or cancel wakes it); a
    // clock that a test moves is looked at again now and then.
    const bool real = dynamic_cast<plat::SystemClock*>(&plat::GetClock()) != nullptr;
    std::unique_lock<std::mutex> lock(m_stopMutex);
    for (;;) {
        if (m_bStopThreads.load() || (cancel && cancel->load()))
            return false;
        const uint32_t waited = plat::GetTickCount() - start;
        if (waited >= ms)
            return true;
        m_stopCv.wait_for(lock, std::chrono::milliseconds(real ? ms - waited : 5));
    }
}

bool CRadioDlg::JobCancelled(unsigned generation) const {
    return m_bStopThreads.load() || m_uGeneration.load() != generation;
}

void CRadioDlg::StartJob(std::function<void(unsigned)> job) {
    if (m_bStopThreads.load())
        return;
    const unsigned generation = ++m_uGeneration;
    // One pop-up at a time: the job before closes its own, and this one waits for it.
    ClosePopUp();
    std::thread previous = std::move(m_Job);
    m_bJobRunning = true;
    m_Job = std::thread(
        [this, generation, job = std::move(job), previous = std::move(previous)]() mutable {
            if (previous.joinable())
                previous.join();
            if (!JobCancelled(generation))
                job(generation);
            if (m_uGeneration.load() == generation)
                m_bJobRunning = false;
        });
}

int CRadioDlg::RunPopUp(const std::shared_ptr<CRadioPopUp>& dialog, unsigned generation) {
    // The dialog is in the slot before this check, so a cancel after it reaches the dialog.
    if (!dialog || JobCancelled(generation))
        return IDCANCEL;
    int result = IDCANCEL;
    if (!m_pLink->Call([&] { result = dialog->DoModal(); }))
        return IDCANCEL;
    return result;
}

void CRadioDlg::SeekJob(bool up, unsigned generation, plat::ui::WindowId parent) {
    CKernel* k = CKernel::Instance();
    if (!k)
        return;
    const bool userMute = k->m_bMute.load() != 0;
    TunerMute(true);
    if (k->FirmwareReady()) {
        if (up)
            k->m_Board.RadioSeekUp();
        else
            k->m_Board.RadioSeekDown();
    }
    std::atomic<bool> never{false};
    bool found = false;
    for (int check = 0; check < 2 && !found; ++check) {
        uint16_t value = 0;
        if (ReadFrequency(&value))
            m_pLink->Call([&] { ShowFrequency(value); });
        uint8_t status = 0;
        if (ReadStatus(&status) && (status & RADIO_STATUS_FOUND)) {
            found = true;
            break;
        }
        if (JobCancelled(generation) || !WaitMs(RADIO_SEEK_CHECK_MS, &never))
            break;
    }
    if (!found && !JobCancelled(generation) && m_bSeekSettled.load()) {
        m_bSeekSettled = false;
        std::shared_ptr<CRadioPopUp> dialog = OpenPopUp(RADIO_SEEK_WAIT_MS, parent);
        const INFODLG_RECORD record = WaitingRecord(k);
        dialog->SetInfo(&record);
        RunPopUp(dialog, generation);
        m_bSeekSettled = true;
        if (k->FirmwareReady())
            k->m_Board.RadioStopSeek();
        uint16_t value = 0;
        if (ReadFrequency(&value))
            m_pLink->Call([&] { ShowFrequency(value); });
        ReleasePopUp(dialog);
    }
    // The user's own mute comes back, whichever way the seek ended.
    TunerMute(userMute);
    m_pLink->Call([this] { InvalidateOwner(); });
}

void CRadioDlg::ScanJob(std::shared_ptr<CRadioPopUp> dialog, std::atomic<bool>* stop,
                        std::atomic<bool>* finished) {
    CKernel* k = CKernel::Instance();
    if (k && k->FirmwareReady())
        k->m_Board.RadioStartAutoStore();
    for (;;) {
        if (!WaitMs(RADIO_SCAN_POLL_MS, stop))
            return;  // stopped: whoever stopped it closes the pop-up
        uint8_t status = 0;
        // A board that cannot be read ends the scan.
        if (!ReadStatus(&status))
            break;
        WriteLog("RadioStatus: 0x%X", status);
        if (!(status & RADIO_STATUS_SCANNING))
            break;
    }
    *finished = true;
    dialog->SetExit();
}

bool CRadioDlg::ReadPresetsFromBoard(uint16_t* values) {
    CKernel* k = CKernel::Instance();
    if (!k || !k->FirmwareReady())
        return false;
    for (int i = 0; i < RADIO_PRESETS; ++i) {
        uint8_t high = 0, low = 0;
        k->m_Board.RadioLoadChannel(static_cast<uint16_t>(i), &high, &low);
        values[i] = static_cast<uint16_t>(high * 256 + low);
    }
    uint8_t high = 0, low = 0;
    k->m_Board.RadioLoadChannel(0, &high, &low);
    return true;
}

void CRadioDlg::ApplyPresets(const uint16_t* values) {
    const int band = m_byBand;
    if (band >= RADIO_BANDS)
        return;
    for (int i = 0; i < RADIO_PRESETS; ++i) {
        m_dPreset[band][i] = RadioPresetOf(band, values[i]);
        SetRadioImageEntry(m_abyImage, band, i, values[i]);
    }
    SetPresetCells();
    if (m_pGrid)
        m_pGrid->SetCurrentIndex(0);
    SetTunedRow(PresetText(band, m_dPreset[band][0], true));
    InvalidateOwner();
}

void CRadioDlg::AutoStoreJob(unsigned generation, plat::ui::WindowId parent) {
    CKernel* k = CKernel::Instance();
    if (!k)
        return;
    std::shared_ptr<CRadioPopUp> question = OpenPopUp(RADIO_AUTO_STORE_MS, parent);
    INFODLG_RECORD record;
    std::memset(&record, 0, sizeof record);
    record.byFlags = INFODLG_BUTTON1 | INFODLG_BUTTON2 | INFODLG_SHOW_TEXT | INFODLG_SHOW_PICTURE;
    plat::StrCopy(record.szPicture, CInfoDialog::SkinFile(u"info-img-info.jpg"));
    plat::StrCopy(record.szButton[0], CInfoDialog::SkinFile(u"info-btn-yes.png"));
    plat::StrCopy(record.szButton[1], CInfoDialog::SkinFile(u"info-btn-no.png"));
    plat::StrCopy(record.szText, k->m_Language[MSG_RADIO_AS_INFO]);
    question->SetInfo(&record);
    const int answer = RunPopUp(question, generation);
    ReleasePopUp(question);
    question.reset();

    if (answer == INFODLG_RESULT_BUTTON1 && !JobCancelled(generation)) {
        std::shared_ptr<CRadioPopUp> waiting = OpenPopUp(RADIO_AUTO_STORE_MS, parent);
        const INFODLG_RECORD wait = WaitingRecord(k);
        waiting->SetInfo(&wait);
        const bool userMute = k->m_bMute.load() != 0;
        TunerMute(true);
        std::atomic<bool> stop{false};
        std::atomic<bool> finished{false};
        std::thread scan([this, waiting, &stop, &finished] { ScanJob(waiting, &stop, &finished); });
        const int result = RunPopUp(waiting, generation);
        // Cancelled, timed out or closed for another job: the board's scan stops here, and
        // the presets are read once the scan thread is gone.
        bool stopped = false;
        if (!finished.load()) {
            if (k->FirmwareReady())
                k->m_Board.RadioStopAutoStore();
            {
                // Under the wait's lock, so that a scan between its check and its sleep
                // cannot miss it.
                std::lock_guard<std::mutex> lock(m_stopMutex);
                stop = true;
            }
            m_stopCv.notify_all();
            stopped = true;
        }
        scan.join();
        WriteLog("CRadioDlg: auto-store pop-up closed (%d)%s", result, stopped ? ", stopped" : "");
        if (stopped) {
            std::atomic<bool> never{false};
            WaitMs(1000, &never);
        }
        uint16_t values[RADIO_PRESETS];
        if (ReadPresetsFromBoard(values))
            m_pLink->Call([&] { ApplyPresets(values); });
        TunerMute(userMute);
        ReleasePopUp(waiting);
    } else if (answer != INFODLG_RESULT_BUTTON2) {
        WriteLog("default(%d): nothing in thread", answer);
    }
    uint16_t value = 0;
    const bool tuned = ReadFrequency(&value);
    m_pLink->Call([&] {
        if (tuned)
            ShowFrequency(value);
        SaveRadioSettings();
    });
}

void CRadioDlg::StereoThread() {
    while (!m_bStopThreads.load()) {
        m_pLink->Call([this] { ReadTunerStatus(); });
        std::atomic<bool> never{false};
        if (!WaitMs(RADIO_STEREO_MS, &never))
            break;
    }
    WriteLog("RadioCheckStereoThread() done");
}
