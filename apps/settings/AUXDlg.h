// The AUX page: the external audio input, heard through its line of the PC's sound mixer
// (line 12 for AUX, 11 for the second input, AUX2), with the volume buttons, Exit and the way
// back to the homepage. The second input's page has no Exit: it is neither drawn nor touched.
#pragma once

#include <cstdint>

#include "core/ui/MPlayerDlg.h"

#define AUX_BUTTON_COUNT 5
#define AUX_PRESSED_NONE 255
#define AUX_MIXER_LINE 12
#define AUX2_MIXER_LINE 11

enum {
    AUX_VOL_ADD = 0,
    AUX_VOL_ICON = 1,
    AUX_VOL_DEL = 2,
    AUX_EXIT = 3,
    AUX_RET_MENU = 4,
};

class CAUXDlg : public IMPlayerDlg {
public:
    CAUXDlg();
    ~CAUXDlg() override;

    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;
    void OnBack() override;

    void OnButtonClick(int button);
    // The mixer line this page's input is heard on.
    int MixerLine() const;
    // The Exit button exists only on the first input's page.
    bool HasButton(int button) const;

    KvUserInterface::IKvButton* m_pButton[AUX_BUTTON_COUNT] = {};
    KvUserInterface::IKvText* m_pText = nullptr;  // made with the skin, never drawn
    uint8_t m_byPressedButton = AUX_PRESSED_NONE;
    int m_iPending = -1;  // the action the next paint runs
    uint8_t m_bSkinned = 0;
};
