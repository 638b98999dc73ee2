// The light settings page (APPTYPE_LIGHT_SETTINGS): the screen's picture values set by the
// board's light sensor (Auto) or by hand on the backlight page (Manual), and the screen
// switched off. The main dialog makes it; only the front seat's has a skin.
#pragma once

#include <cstdint>

#include "core/ui/VelkoraAppDlg.h"

enum {
    LS_BACKLIGHT = 0,
    LS_AUTO = 1,
    LS_MANUAL = 2,
    LS_RETURN = 3,
    LS_BUTTON_COUNT = 4,
};

class CLightSettingsDlg : public CVelkoraAppDlg {
public:
    CLightSettingsDlg();
    ~CLightSettingsDlg() override;

    bool LoadSkin() override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    void Render(plat::Canvas* hdc) override;
    void PostRender() override;

    void OnButtonClick(int button);

    bool Skinned() const { return m_bSkinned; }
    KvUserInterface::IKvButton* Button(int index) const { return m_pButtons[index]; }

private:
    void ReleaseObjects();
    // The board's light mode: read from the board while it is usable, else the page's own.
    bool AutomaticNow();

    KvUserInterface::IKvButton* m_pButtons[LS_BUTTON_COUNT] = {};
    KvUserInterface::IKvText* m_pLabels[3] = {};
    bool m_bAutomatic = true;
    bool m_bSkinned = false;
    uint8_t m_byPressedIdx = 255;
    uint8_t m_byPendingAction = 255;
};
