// The application paths page: the six outside programs the head unit starts (navigation,
// Skype, TV, Bluetooth, touch calibration and one more). A list names them; the selected one's
// icon and path show on the right. Edit chooses a runnable file for the selected row into the
// kernel's edit copy; Save makes the edit copy live and writes "AppPath.db"; Exit and
// Ret-Menu leave the live paths as they were. Only the front seat's page is set up.
#pragma once

#include <cstdint>
#include <string>

#include "core/ui/MPlayerDlg.h"

enum {
    AS_VOL_ADD = 0,
    AS_VOL_ICON = 1,
    AS_VOL_DEL = 2,
    AS_EDIT = 3,
    AS_SAVE = 4,
    AS_EXIT = 5,
    AS_RET_MENU = 6,
    AS_BUTTON_COUNT = 7,
};

// How many characters a path line holds, and how many the three show.
#define AS_LINE_CHARS 36
#define AS_SHOWN_CHARS 108

class CApplicationSetDlg : public IMPlayerDlg {
public:
    CApplicationSetDlg();
    ~CApplicationSetDlg() override;

    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void Render(plat::Canvas* hdc) override;
    void OnBack() override;

    // Where the chooser starts when the selected row has no usable folder of its own.
    static void SetChooserFolder(const std::u16string& folder);

    // What a test reads of the page.
    bool Skinned() const { return m_bSkinned; }
    int Selected() const { return m_iSelected; }
    std::u16string PathLine(int line) const;
    uint8_t PathLineAlign(int line) const { return m_byAlign[line]; }
    KvUserInterface::IKvButton* Button(int index) const;
    // The rectangle of list row `row` in the seat's co-ordinates (empty when not shown).
    plat::Rect RowRect(int row) const;

private:
    void ReleaseObjects();
    void ReloadRows();
    void ShowPath(const char16_t* path);
    void SelectRow(int row);
    void OnButtonClick(int action);
    void EditPath();
    void Save();

    bool m_bSkinned = false;
    int m_iSelected = 0;
    KvUserInterface::IKvButton* m_pButtons[AS_BUTTON_COUNT] = {};
    KvMultimedia::IKvImage* m_pIcons[6] = {};
    KvMultimedia::IKvImage* m_pCurrentIcon = nullptr;  // one of m_pIcons
    KvUserInterface::IKvText* m_pPathText[3] = {};
    uint8_t m_byAlign[3] = {2, 1, 1};
    uint8_t m_byPressedIdx = 255;
    uint8_t m_byPendingAction = 255;
};
