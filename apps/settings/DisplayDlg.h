// The display page: brightness, contrast, saturation and backlight (each 0..10) of the set
// that is active now: day or night while the board's light sensor decides, manual otherwise.
// Each step goes to the board at once; Save keeps the sets in the settings, Exit puts the
// board back. Two of them per seat: APPTYPE_DISPLAY_SET from the settings menu, and
// APPTYPE_DISPLAY_MANU from the light page, which offers the backlight alone. Only the front
// seat's are set up.
#pragma once

#include <cstdint>
#include <string>

#include "core/kernel/SysSettings.h"
#include "core/ui/MPlayerDlg.h"

enum {
    DD_VOL_ADD = 0,
    DD_VOL_ICON = 1,
    DD_VOL_DEL = 2,
    DD_SAVE = 3,
    DD_EXIT = 4,
    DD_BRIGHTNESS = 5,
    DD_CONTRAST = 6,
    DD_SATURATION = 7,
    DD_BACKLIGHT = 8,
    DD_RESET = 9,
    DD_RET_MENU = 10,
    DD_BUTTON_COUNT = 11,
    DD_PLUS_UP = 12,
    DD_MINUS_UP = 13,
    DD_PLUS_MID = 14,
    DD_MINUS_MID = 15,
    DD_PLUS_DOWN = 16,
    DD_MINUS_DOWN = 17,
};

// The four values of a set, in this order.
enum { DV_BRIGHTNESS = 0, DV_CONTRAST = 1, DV_SATURATION = 2, DV_BACKLIGHT = 3, DV_COUNT = 4 };

class CDisplayDlg : public IMPlayerDlg {
public:
    CDisplayDlg();
    ~CDisplayDlg() override;

    void ResetDefault() override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    void OnBack() override;

    struct SLIDER {
        std::u16string name;
        double value;
    };

    // What a test reads of the page.
    bool Skinned() const { return m_bSkinned; }
    int Active(int value) const { return *m_pActive[value]; }
    double SliderValue(int value) const { return m_Sliders[value].value; }
    uint8_t Selected() const { return m_bySelected; }
    const int32_t* DaySet() const { return m_Day; }
    const int32_t* NightSet() const { return m_Night; }
    const int32_t* ManualSet() const { return m_Manual; }
    KvUserInterface::IKvButton* Button(int index) const;
    // Forgets when the sets were last checked (both pages share the time).
    static void ResetCheckTime();

private:
    void ReleaseObjects();
    void LoadSets(SYS_SETTINGS& s);
    void ChooseActiveSet();
    void SlidersFromActive();
    void SelectControl(int control);
    void Step(int direction);
    bool SendValue(int value, int level);
    void RunAction(int action);
    void Save();
    void Exit();
    void Reset();
    bool Manual() const { return m_byAppType == APPTYPE_DISPLAY_MANU; }

    bool m_bSkinned = false;
    int32_t m_Day[DV_COUNT] = {5, 5, 5, 9};
    int32_t m_Night[DV_COUNT] = {5, 5, 5, 3};
    int32_t m_Manual[DV_COUNT] = {5, 5, 5, 5};
    uint8_t m_byAutomatic = 0;
    uint8_t m_byNight = 0;
    int32_t* m_pActive[DV_COUNT] = {};
    int32_t m_LastSeen[DV_COUNT] = {};
    SLIDER m_Sliders[DV_COUNT];
    uint8_t m_bySelected = DV_BACKLIGHT;
    // The settings as they were when the page was last shown: what Exit puts back.
    SYS_SETTINGS m_Copy;
    bool m_bHaveCopy = false;
    uint8_t m_byPressedIdx = 255;
    uint8_t m_byPendingAction = 255;
    plat::Point m_ptHeld;
    uint32_t m_dwLastRepeat = 0;
    int m_iRepeatCount = 0;

    KvUserInterface::IKvButton* m_pButtons[DD_BUTTON_COUNT] = {};
    KvUserInterface::IKvButton* m_pSteps[6] = {};  // PlusUp, MinusUp, PlusMid, MinusMid, ...
    KvMultimedia::IKvImage* m_pSlider[11] = {};
    KvMultimedia::IKvImage* m_pColour[3][11] = {};
    KvMultimedia::IKvImage* m_pIcons[DV_COUNT] = {};
};
