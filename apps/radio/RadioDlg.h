// The radio page (APPTYPE_RADIO), one per seat: the tuned frequency, five bands (FM1, FM2, FM3,
// AM1, AM2) with nine presets each in a 3 x 3 grid, and buttons for volume, band, frequency
// step, seek, auto-store, storing a preset, the sound-effect page and the homepage. The tuner
// is on the board; the presets are kept in RadioSettings.db, the band and the current preset of
// each band in the settings block.
//
// Seek and auto-store run on a worker thread of the page, one job at a time: a new one first
// closes the pop-up of the one before and waits for it. Their pop-ups and every widget change
// they make run on the user-interface thread. A stereo thread checks the tuner every 2 s.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "apps/radio/RadioSettings.h"
#include "core/ui/InfoDialog.h"
#include "core/ui/MPlayerDlg.h"
#include "core/ui/UiLink.h"

// The page's buttons; the index is the skin key's place in the table.
enum : int {
    RADIO_BTN_VOL_ADD = 0,
    RADIO_BTN_VOL_ICON = 1,
    RADIO_BTN_VOL_DEL = 2,
    RADIO_BTN_FM1 = 3,
    RADIO_BTN_AM2 = 7,
    RADIO_BTN_STEP_UP = 8,
    RADIO_BTN_STEP_DOWN = 9,
    RADIO_BTN_SCAN_UP = 10,
    RADIO_BTN_SCAN_DOWN = 11,
    RADIO_BTN_AS = 12,
    RADIO_BTN_SAVE = 13,
    RADIO_BTN_SOUND = 14,
    RADIO_BTN_MENU = 15,
    RADIO_BUTTONS = 16,
    RADIO_NO_BUTTON = 255,
};
extern const char16_t* const g_RadioButtonKeys[RADIO_BUTTONS];

// Tuner status bits.
enum : uint8_t {
    RADIO_STATUS_SEEKING = 0x80,
    RADIO_STATUS_FOUND = 0x40,
    RADIO_STATUS_STEREO = 0x20,
    RADIO_STATUS_SCANNING = 0x10,
};

// Key commands the page answers.
#define RADIO_KEY_SEEK_UP 0x1002
#define RADIO_KEY_SEEK_DOWN 0x1003
#define RADIO_KEY_STEP_UP 0x2000
#define RADIO_KEY_STEP_DOWN 0x2010

// Times, ms.
#define RADIO_SAVE_MODE_MS 10000
#define RADIO_SEEK_CHECK_MS 250
#define RADIO_SEEK_WAIT_MS 60000
#define RADIO_AUTO_STORE_MS 120000
#define RADIO_SCAN_POLL_MS 1000
#define RADIO_STEREO_MS 2000

// The pop-up of a seek or auto-store job; it counts itself while it shows.
class CRadioPopUp final : public CInfoDialog {
public:
    // The counters: pop-ups showing now, the most there were at once, pop-ups shown so far.
    CRadioPopUp(int timeoutMs, plat::ui::WindowId parent, std::atomic<int>* counters);

protected:
    bool OnInitDialog() override;
    void OnEndDialog() override;

private:
    std::atomic<int>* m_pCounters;
    bool m_bCounted = false;
};

class CRadioDlg : public IMPlayerDlg {
public:
    CRadioDlg();
    ~CRadioDlg() override;

    void ResetDefault() override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    void KeyHandler(int command) override;

    // Source, file, band: the first tick after Show.
    void DoingComPort();
    bool LoadRadioSettings();
    // False when the file could not be written (nothing else is said).
    bool SaveRadioSettings();
    void StorePreset(int preset);
    void SetBandButtons();
    void OnButtonClick();
    void _HandleBand(int band);

    // Tuner work on the user-interface thread.
    void StepFrequency(bool up);
    bool RefreshFrequency();
    void Seek(bool up);
    void AutoStore();
    // The stereo label from the tuner's status (nothing while hidden).
    void ReadTunerStatus();

    // The preset cell under a point of the page (the seat's strict table), or -1.
    int PresetCellAt(int x, int y) const;
    // "87.50 MHz" / "522 KHz" of a preset or a tuner value of the current band.
    std::u16string PresetText(int band, double preset, bool withUnit) const;
    std::u16string TunerText(uint16_t value) const;
    // The current preset of a band (0..8).
    int CurrentPreset(int band) const;
    bool IsSeekWaiting() const { return !m_bSeekSettled.load(); }
    // Pop-ups of this page on the screen now, and the most there ever were at once.
    int PopUpsShowing() const { return m_iPopUps[0].load(); }
    int MostPopUpsShowing() const { return m_iPopUps[1].load(); }
    int PopUpsShown() const { return m_iPopUps[2].load(); }
    // Whether a seek or auto-store job is still running.
    bool JobRunning() const { return m_bJobRunning.load(); }

    KvUserInterface::IKvListbox* m_pGrid = nullptr;
    std::u16string m_szBandName[RADIO_BANDS];
    double m_dPreset[RADIO_BANDS][RADIO_PRESETS + 1];
    int32_t m_iChannel[RADIO_BANDS] = {0, 0, 0, 0, 0};  // AM1, AM2, FM1, FM2, FM3
    int32_t m_iPending = 0;
    KvMultimedia::IKvImage* m_pAdjustBg = nullptr;
    KvUserInterface::IKvButton* m_pButton[RADIO_BUTTONS] = {};
    KvUserInterface::IKvText* m_pSaveText = nullptr;
    KvUserInterface::IKvText* m_pStereoText = nullptr;
    uint8_t m_bSaveMode = 0;
    uint32_t m_dwSaveStart = 0;
    uint32_t m_dwLast1000 = 0;
    uint32_t m_dwLast250 = 0;
    uint32_t m_dwLastRepeat = 0;
    int m_iRepeats = 0;
    int m_iHeldX = 0, m_iHeldY = 0;
    uint8_t m_byStatus = 0;
    uint8_t m_byPrevStatus = 0;
    std::atomic<bool> m_bSeekSettled{true};
    uint16_t m_wFrequency = 0;
    uint8_t m_byBand = 6;
    uint8_t m_abyImage[RADIO_SETTINGS_SIZE] = {};

private:
    // The base's second byte: a released button's action waits for the next paint.
    uint8_t& ActionPending() { return m_byReserved; }
    int& ChannelOf(int band);
    // Shows a tuner value in the left list.
    void ShowFrequency(uint16_t value);
    // The left list's one row: the tuned frequency.
    void SetTunedRow(const std::u16string& text);
    void SetPresetCells();
    void EndSaveMode();
    void ButtonImagesAfterRelease();

    // ---- worker side
    // Waits `ms` on the program's clock; false when the page is going or `cancel` is set.
    bool WaitMs(uint32_t ms, const std::atomic<bool>* cancel = nullptr);
    // Starts a job after the one before has closed its pop-up and ended.
    void StartJob(std::function<void(unsigned)> job);
    // The job's pop-up, held where other threads can ask it to close (the one held before is
    // dropped, not closed).
    std::shared_ptr<CRadioPopUp> OpenPopUp(int timeoutMs, plat::ui::WindowId parent);
    void ReleasePopUp(const std::shared_ptr<CRadioPopUp>& dialog);
    // Asks the held pop-up, if any, to close.
    void ClosePopUp();
    bool JobCancelled(unsigned generation) const;
    // Runs a pop-up held in the slot on the user-interface thread; IDCANCEL when it could not
    // run or its job was cancelled before it opened.
    int RunPopUp(const std::shared_ptr<CRadioPopUp>& dialog, unsigned generation);
    void SeekJob(bool up, unsigned generation, plat::ui::WindowId parent);
    void AutoStoreJob(unsigned generation, plat::ui::WindowId parent);
    void ScanJob(std::shared_ptr<CRadioPopUp> dialog, std::atomic<bool>* stop,
                 std::atomic<bool>* finished);
    // The frequency from the tuner (worker or user-interface thread).
    bool ReadFrequency(uint16_t* value);
    // False when the board is not usable or the status cannot be read.
    bool ReadStatus(uint8_t* status);
    // Mutes or unmutes the tuner: the kernel's flag and the board together.
    void TunerMute(bool on);
    // The nine stored channels of the band from the board, then tunes channel 0.
    bool ReadPresetsFromBoard(uint16_t* values);
    void ApplyPresets(const uint16_t* values);
    void StereoThread();
    void StopThreads();

    std::shared_ptr<CUiLink> m_pLink;
    mutable std::mutex m_popUpMutex;
    std::shared_ptr<CRadioPopUp> m_pPopUp;
    std::atomic<int> m_iPopUps[3] = {{0}, {0}, {0}};
    std::mutex m_stopMutex;
    std::condition_variable m_stopCv;
    std::atomic<bool> m_bStopThreads{false};
    std::atomic<unsigned> m_uGeneration{0};
    std::atomic<bool> m_bJobRunning{false};
    std::thread m_Job;
    std::thread m_StereoThread;
};
