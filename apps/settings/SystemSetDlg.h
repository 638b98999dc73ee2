// The system settings page (front seat): the clock, the language and the power module's ACC
// hold, each on a sub-page chosen by its button and edited with Plus and Minus; Save makes the
// edits take effect. Default restores the factory settings after a question, Calibration starts
// the touch-calibration program. The rear seat's instance has no skin.
#pragma once

#include <cstdint>
#include <string>

#include "core/ui/MPlayerDlg.h"
#include "platform/gfx/Surface.h"
#include "platform/sys/Clock.h"

#define SYSSET_BUTTON_SLOTS 15
#define SYSSET_PRESSED_NONE 255
#define SYSSET_FIELD_NONE 255
#define SYSSET_TIME_TEXTS 6
#define SYSSET_REPEAT_MS 251
#define SYSSET_TIME_REFRESH_MS 2000
#define SYSSET_YEAR_MIN 1970
#define SYSSET_YEAR_MAX 2199
#define SYSSET_ACC_HOLD_MAX 1800
#define SYSSET_ACC_HOLD_RESET 2
#define SYSSET_DEFAULTS_TIMEOUT_MS 60000

// Button slots (11 is not used).
enum {
    SYSSET_VOL_ADD = 0,
    SYSSET_VOL_ICON = 1,
    SYSSET_VOL_DEL = 2,
    SYSSET_TIME = 3,
    SYSSET_LANGUAGE = 4,
    SYSSET_POWER = 5,
    SYSSET_CALIBRATION = 6,
    SYSSET_DEFAULT = 7,
    SYSSET_RET_MENU = 8,
    SYSSET_SAVE = 9,
    SYSSET_EXIT = 10,
    SYSSET_PLUS = 12,
    SYSSET_MINUS = 13,
    SYSSET_RESET = 14,
};

// Sub-pages.
enum {
    SYSSET_PAGE_NONE = 0,
    SYSSET_PAGE_TIME = 1,
    SYSSET_PAGE_LANGUAGE = 2,
    SYSSET_PAGE_POWER = 3
};

// Time fields.
enum {
    SYSSET_FIELD_YEAR = 0,
    SYSSET_FIELD_MONTH = 1,
    SYSSET_FIELD_DAY = 2,
    SYSSET_FIELD_HOUR = 3,
    SYSSET_FIELD_MINUTE = 4,
    SYSSET_FIELD_AMPM = 5,
};

// The two messages of the ACC hold's set, and the clock's.
#define SYSSET_MSG_ACC_OK u"Set ACCHold timer OK"
#define SYSSET_MSG_ACC_FAIL u"Set ACCHold timer fail"
#define SYSSET_MSG_TIME_FAIL u"Set time fail"

class CSystemSetDlg : public IMPlayerDlg {
public:
    CSystemSetDlg();
    ~CSystemSetDlg() override;

    void ResetDefault() override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    void OnBack() override;

    void OnButtonClick(int button);
    // Plus (`step` 1) or Minus (-1) on the selected power timer or date and time field.
    void OnStep(int step);
    void ShowTimePage();
    void ShowLanguagePage();
    void ShowPowerPage();
    void OnSave();
    void RunCalibration();
    void ReadPowerTimers();
    void SetAccHoldTimer();
    void ConfirmDefaults();

    // Days of a month of the Gregorian calendar.
    static int MonthDays(int year, int month);
    // The ACC hold one step up or down its ladder (0..10, 20..60, 120..600, 1200, 1800).
    static int AccHoldStep(int seconds, bool up);
    // "%d sec", or after an edit "%d min" / "%d hr %d min".
    static std::u16string TimerText(int seconds, bool edited);

    KvUserInterface::IKvButton* m_pButton[SYSSET_BUTTON_SLOTS] = {};
    KvUserInterface::IKvText* m_pValueText = nullptr;
    KvUserInterface::IKvText* m_pTimeText2[SYSSET_TIME_TEXTS] = {};
    KvUserInterface::IKvText* m_pSeparator[3] = {};
    uint8_t m_bySubPage = SYSSET_PAGE_NONE;
    uint8_t m_bySelectedField = SYSSET_FIELD_NONE;
    int m_iYear = 2024;
    int m_iMonth = 1;
    int m_iDay = 1;
    int m_iHour = 12;  // 1..12
    int m_iMinute = 0;
    plat::SystemTime m_tmRead;  // the time as last read: seconds and milliseconds for Save
    uint8_t m_bTimeEdited = 0;
    uint8_t m_bPM = 0;
    int m_iSelectedTimer = 0;
    int m_iPendingLanguage = 0;
    int m_iCurrentLanguage = 0;
    int m_iDelayOn = 0;
    int m_iDelayOff = 0;
    int m_iAccHold = 0;
    int m_iAccHoldShown = 0;
    uint32_t m_dwLastTimeRefresh = 0;
    uint8_t m_byPressedButton = SYSSET_PRESSED_NONE;
    uint32_t m_dwLastRepeat = 0;
    uint8_t m_bSkinned = 0;
    // The last message the page showed (for the log and the tests).
    std::u16string m_strLastMessage;

private:
    // Back to the page that opened this one, its left list disabled.
    void ReturnToCaller();
    void ShowMessage(const std::u16string& text);
    void SetTimeTexts();
    void SetValueText(bool edited);
    void ClampDay();
    bool Repeats(int button) const;
    KvUserInterface::IKvListbox* LeftList() const { return m_pListbox[0]; }
    KvUserInterface::IKvListbox* RightList() const { return m_pListbox[1]; }
};
