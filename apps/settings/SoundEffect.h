// The sound-effect page (APPTYPE_AUDIO_SET, one on each seat): the equaliser's eight presets
// with three sliders for the Custom ones, the four speaker modes with their fader and balance,
// the loudness boost, and 5.1 or stereo. Every change reaches the board at once and goes into
// the kernel's settings block; Save writes the block, and Exit, Ret-Menu and the core's back
// request put back the settings and the board as they were when the page was shown.
#pragma once

#include <cstdint>
#include <string>

#include "core/kernel/SysSettings.h"
#include "core/ui/MPlayerDlg.h"

// The page's controls by action index.
enum {
    SE_VOL_ADD = 0,
    SE_VOL_ICON = 1,
    SE_VOL_DEL = 2,
    SE_EQ_SETTING = 3,
    SE_SPEAKER_SETTING = 4,
    SE_LOUD_SETTING = 5,
    SE_51_PRIORITY = 6,
    SE_STEREO_PRIORITY = 7,
    SE_RET_MENU = 8,
    SE_SAVE = 9,
    SE_EXIT = 10,
    SE_BUTTON_COUNT = 11,
    SE_BASS_UP = 12,
    SE_BASS_DOWN = 13,
    SE_MID_UP = 14,
    SE_MID_DOWN = 15,
    SE_TREBLE_UP = 16,
    SE_TREBLE_DOWN = 17,
    SE_FADER_UP = 18,
    SE_FADER_DOWN = 19,
    SE_BALANCE_UP = 20,
    SE_BALANCE_DOWN = 21,
};

// Views.
enum { SE_VIEW_NONE = 0, SE_VIEW_EQ = 1, SE_VIEW_SPEAKER = 2, SE_VIEW_LOUDNESS = 3 };

// The pending kernel commands (DoingComPort).
enum {
    SE_CMD_NONE = 0,
    SE_CMD_51 = 1,
    SE_CMD_STEREO = 2,
    SE_CMD_EQ_UP = 5,
    SE_CMD_EQ_DOWN = 6,
    SE_CMD_PRESET = 7,
    SE_CMD_SPEAKER = 8,
    SE_CMD_LOUDNESS = 9,
};

// Where a slider's centre travels, below the seat's offset: top and bottom.
#define SE_SLIDER_TOP 140
#define SE_SLIDER_BOTTOM 302

class CSoundEffect : public IMPlayerDlg {
public:
    CSoundEffect();
    ~CSoundEffect() override;

    void ResetDefault() override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    // 0: the seat's source plays stereo only (5.1 locked); 1: 5.1 allowed again.
    void SetAudioMode(int mode) override;
    void PostRender() override;
    void OnBack() override;

    // Runs the pending kernel command.
    void DoingComPort();

    struct PRESET {
        std::u16string name;
        int32_t gain[SYS_EQ_BANDS];  // bass, mid, treble
    };
    struct SPEAKER_MODE {
        std::u16string name;
        int32_t fader;
        int32_t balance;
    };

    // What a test reads of the page.
    uint8_t View() const { return m_byView; }
    uint8_t CurrentPreset() const { return m_byCurrEQType; }
    uint8_t CurrentSpeaker() const { return m_byCurrSpeaker; }
    uint8_t Loudness() const { return m_byLoudness; }
    int Fader() const { return m_iFader; }
    int Balance() const { return m_iBalance; }
    bool Locked51() const { return m_b51Locked != 0; }
    bool Skinned() const { return m_bSkinned; }
    int Gain(int preset, int band) const { return m_Presets[preset].gain[band]; }
    std::u16string FaderLabel() const;
    std::u16string BalanceLabel() const;
    KvUserInterface::IKvButton* Button(int index) const;
    KvUserInterface::IKvButton* Slider(int band) const { return m_pSlider[band]; }

private:
    bool MakeObjects();
    void ReleaseObjects();
    void LoadFromSettings();
    void ShowEQView();
    void ShowSpeakerView();
    void ShowLoudnessView();
    void SelectPreset(int index);
    void SelectSpeaker(int index);
    void SelectLoudness(int index);
    void StepSpeaker(int action);
    void UpdateSpeakerLabels();
    void PlaceSlider(int band);
    // Keeps a dragged slider on the screen, within the seat's travel.
    void CheckSliderPosition(int band);
    void StoreEQGain(int band, int gain);
    void RunAction(int action);
    void ApplyHighlights();
    void Commit();
    void Discard();
    int SliderCentre(int band) const;

    bool m_bSkinned = false;
    uint8_t m_byView = SE_VIEW_NONE;
    int32_t m_iPendingCmd = SE_CMD_NONE;
    int32_t m_iPendingCommit = 0;
    // The settings as they were when the page was last shown: what a discard puts back.
    SYS_SETTINGS m_Copy;
    bool m_bHaveCopy = false;
    PRESET m_Presets[SYS_EQ_PRESETS];
    uint8_t m_byCurrEQType = 0;
    int32_t m_nSelectedEQ = 0;  // band being edited
    int32_t m_iSliderInUse = -1;
    SPEAKER_MODE m_Speakers[SYS_SPEAKER_PRESETS];
    uint8_t m_byCurrSpeaker = 0;
    int32_t m_iFader = 0;
    int32_t m_iBalance = 0;
    uint8_t m_byLoudness = 0;
    uint8_t m_b51Locked = 0;
    uint8_t m_byPressedIdx = 255;
    uint8_t m_byPendingAction = 255;
    plat::Point m_ptHeld;
    uint32_t m_dwLastRepeat = 0;
    int m_iRepeatCount = 0;
    uint32_t m_dwEQBgW = 0;
    uint32_t m_dwEQBgH = 0;

    KvUserInterface::IKvButton* m_pButtons[SE_BUTTON_COUNT] = {};
    KvUserInterface::IKvButton* m_pSlider[SYS_EQ_BANDS] = {};  // EQBass, EQMed, EQTre
    KvUserInterface::IKvButton* m_pSpeakerBtn[4] = {};         // SFADUP, SFADDOWN, SBALUP, SBALDOWN
    KvMultimedia::IKvImage* m_pGray[SYS_EQ_BANDS] = {};
    KvMultimedia::IKvImage* m_pEQBg = nullptr;
    KvMultimedia::IKvImage* m_pInterior = nullptr;
    KvMultimedia::IKvImage* m_pIndicator = nullptr;
    KvUserInterface::IKvText* m_pBandLabel[SYS_EQ_BANDS] = {};
    KvUserInterface::IKvText* m_pFadLabel = nullptr;
    KvUserInterface::IKvText* m_pBalLabel = nullptr;
    KvUserInterface::IKvText* m_pFadValue = nullptr;
    KvUserInterface::IKvText* m_pBalValue = nullptr;
    KvUserInterface::IKvText* m_pStatus = nullptr;
};
