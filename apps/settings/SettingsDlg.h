// The settings menu: seven buttons that open the settings pages (sound, display, system,
// programs, dual screen, about) or go back to the homepage, six of them with a caption from the
// language table. Buttons act on release over the button they were pressed on. Only the front
// seat's menu has a skin; the rear's instance shows a plain screen that a tap leaves.
#pragma once

#include <cstdint>

#include "core/ui/VelkoraAppDlg.h"

#define SETTINGS_BUTTON_COUNT 7
#define SETTINGS_CAPTION_COUNT 6
#define SETTINGS_PRESSED_NONE 255

// Buttons, in skin order.
enum {
    SETTINGS_AUDIO = 0,
    SETTINGS_DISPLAY = 1,
    SETTINGS_SYSTEM = 2,
    SETTINGS_APPLICATION = 3,
    SETTINGS_DUAL = 4,
    SETTINGS_ABOUT = 5,
    SETTINGS_RETURN = 6,
};

class CSettingsDlg : public CVelkoraAppDlg {
public:
    CSettingsDlg();
    ~CSettingsDlg() override;

    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;

    // The switch request each button sends (lParam of WM_SWITCH_APP).
    static intptr_t ButtonTarget(int button);

    KvUserInterface::IKvButton* m_pButton[SETTINGS_BUTTON_COUNT] = {};
    KvUserInterface::IKvText* m_pCaption[SETTINGS_CAPTION_COUNT] = {};
    uint8_t m_bSkinned = 0;

private:
    void RunButton(int button);
};
