// The dual-seat settings page: for every application of the homepage, whether its icon is
// enabled on the front screen and on the rear screen. A list on the left chooses the screen;
// the right side shows a page of icons, greyed where the application is off for that screen,
// with the lock over the front icons the application lock holds. A tap on an icon flips it;
// Save writes the flags into the homepage layout and both homepages load it again. The page
// belongs to the front seat: the rear's instance loads nothing.
#pragma once

#include <cstdint>

#include "core/ui/MPlayerDlg.h"
#include "platform/gfx/Surface.h"

#define DUALSET_BUTTON_COUNT 8
#define DUALSET_MAX_ROWS 64
#define DUALSET_PENDING_NONE 255

enum {
    DUALSET_VOL_ADD = 0,
    DUALSET_VOL_ICON = 1,
    DUALSET_VOL_DEL = 2,
    DUALSET_SAVE = 3,
    DUALSET_EXIT = 4,
    DUALSET_PREV_PAGE = 5,
    DUALSET_NEXT_PAGE = 6,
    DUALSET_RET_MENU = 7,
};

// One application of the table.
struct DUALSET_APP {
    int iApp;  // APPTYPE; 0 in the unused entries
    uint8_t byFront;
    uint8_t byRear;
    uint8_t byLocked;
    uint8_t bySpare;
};

class CDualSetDlg : public IMPlayerDlg {
public:
    CDualSetDlg();
    ~CDualSetDlg() override;

    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void Render(plat::Canvas* hdc) override;
    void OnBack() override;
    void Refresh() override;

    void OnButtonClick(int button);
    // The list's two screens again, the front one chosen, and the labels.
    void ReloadRows();
    void RefreshLabels();
    // The application's flags as the homepage layout has them now.
    static void ReadFlags(int app, uint8_t* front, uint8_t* rear, uint8_t* locked);
    // The table's flags into the layout's cells, for the listed applications only.
    void WriteFlags();

    int m_iScreen = 0;
    KvUserInterface::IKvButton* m_pButton[DUALSET_BUTTON_COUNT] = {};
    uint8_t m_byRowsPerPage = 0;
    uint8_t m_byListed = 0;
    DUALSET_APP m_App[DUALSET_MAX_ROWS] = {};
    plat::Rect m_rcRow[DUALSET_MAX_ROWS] = {};
    uint8_t m_byFirstRow = 0;
    uint8_t m_byEndRow = 0;
    KvUserInterface::IKvText* m_pLabel[DUALSET_MAX_ROWS] = {};
    uint8_t m_byPendingButton = DUALSET_PENDING_NONE;
    uint8_t m_bArmed = 0;
    uint8_t m_bSkinned = 0;
};
