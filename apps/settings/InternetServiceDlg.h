// The internet shortcuts page: nine web addresses of the settings block as a 3x3 grid of icons
// (the library's list box in its icon view). A tap opens the address in the seat's browser;
// after Edit (for five seconds) a tap lets the user retype that address on the keyboard page
// instead. A page whose skin did not load draws its background only and a tap takes it home.
#pragma once

#include <cstdint>
#include <string>

#include "core/kernel/SysSettings.h"
#include "core/ui/MPlayerDlg.h"

// The buttons, in the order of their skin names.
enum : int {
    IS_BTN_VOL_ADD = 0,
    IS_BTN_VOL_ICON = 1,
    IS_BTN_VOL_DEL = 2,
    IS_BTN_EDIT = 3,
    IS_BTN_SOUND_EFFECT = 4,
    IS_BTN_RET_MENU = 5,
    IS_BTN_COUNT = 6,
};

// How long edit mode lasts after Edit.
#define IS_EDIT_MS 5000u
// The keyboard request this page makes: the keyboard leaves it on OK and sets -1 on cancel.
#define IS_KB_REQUEST 0x494E

class CInternetServiceDlg : public IMPlayerDlg {
public:
    CInternetServiceDlg();
    ~CInternetServiceDlg() override;

    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void Show(bool visible, uint8_t param) override;
    void OnTick() override;
    void Render(plat::Canvas* hdc) override;

    // The cell (0..8, row by row) at a point of the seat, or -1.
    int CellAt(int x, int y) const;
    // The item's rectangle on this seat (the rear's rows lie lower and are taller).
    plat::Rect CellRect(int cell) const;
    // Opens item 0..8: the browser, or in edit mode the keyboard.
    void OpenItem(int item);

    bool Skinned() const { return m_bSkinned; }
    bool EditMode() const { return m_bEditMode; }
    bool WaitingForKeyboard() const { return m_bWaitKb; }
    const std::u16string& CurrentAddress() const { return m_strCurrent; }
    KvUserInterface::IKvButton* Button(int i) const {
        return i >= 0 && i < IS_BTN_COUNT ? m_pButtons[i] : nullptr;
    }
    KvUserInterface::IKvListbox* Grid() const { return m_pGrid; }

private:
    void ReleaseObjects();
    void EditAddress();
    void TakeKeyboardResult();
    void DoButton(int button);

    bool m_bSkinned = false;
    KvUserInterface::IKvButton* m_pButtons[IS_BTN_COUNT] = {};
    // One row a shortcut, its icon as the row's picture; the page's own cells place the taps.
    KvUserInterface::IKvListbox* m_pGrid = nullptr;
    KvUserInterface::IKvText* m_pTitle = nullptr;
    std::u16string m_strItems[SYS_INTERNET_SLOTS];
    std::u16string m_strCurrent;
    int m_iCurrentItem = -1;
    int m_iPendingButton = -1;
    int m_iPressedButton = -1;
    bool m_bEditMode = false;
    uint32_t m_dwEditStart = 0;
    bool m_bWaitKb = false;
    uint32_t m_dwLastWork = 0;
};
