// The homepage: each seat's launcher, a grid of application icons split into pages, with page
// buttons, a title, the date and the time. Touching an icon and lifting on it again switches
// the seat to that application. The front homepage also shows the application locks (icons
// disabled while driving) and either seat greys out its media icons while the other seat is
// in a phone call. The icons, their buttons and states live in the configuration data's
// layout; the captions come from the language table.
#pragma once

#include <cstdint>

#include "core/ui/VelkoraAppDlg.h"
#include "platform/gfx/Surface.h"

// Pressed kinds besides an icon's APPTYPE (m_byPressed).
#define HOMEPAGE_PRESSED_NEXT 36
#define HOMEPAGE_PRESSED_PREV 37
#define HOMEPAGE_PRESSED_NONE 255

// SetLockState's states.
enum : int {
    HOMEPAGE_LOCKS_IN_FORCE = 0,
    HOMEPAGE_LOCKS_FREE = 1,
    HOMEPAGE_OTHER_SEAT_CALL = 2,
    HOMEPAGE_OTHER_SEAT_CALL_ENDED = 3,
};

#define HOMEPAGE_MAX_ITEMS 64
// How far the rear screen's bottom bar lies below the front one's.
#define HOMEPAGE_REAR_OFFSET 120

class CHomepageDlg : public CVelkoraAppDlg {
public:
    CHomepageDlg();
    ~CHomepageDlg() override;

    // The base's, then the skin: the homepage is (re)loaded whenever its skin is set.
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void Show(bool visible, uint8_t param) override;
    void Render(plat::Canvas* hdc) override;
    void Refresh() override;
    void SetLockState(int state) override;
    // KEYCMD_SEEK_UP: previous page; KEYCMD_TRACK_DOWN: next page.
    void KeyHandler(int command) override;

    // After a launch, the launched icon stays highlighted on its page.
    void HighlightCurrent();
    // The caption of `app` under the icon at `item`.
    void DrawItem(plat::Canvas* hdc, int app, const plat::Rect& item);

    int ItemsPerPage() const;
    int PageCount() const;

    // On the front homepage: the cell holding `app` becomes the current page and item, its
    // icon highlighted (the last page holding it wins). Any thread: the work runs on the
    // user-interface thread.
    static void SelectApp(int app);
    // The front seat's homepage; null when there is none.
    static CHomepageDlg* Front();

    KvUserInterface::IKvText* m_pTitle = nullptr;
    KvUserInterface::IKvButton* m_pNextButton = nullptr;
    KvUserInterface::IKvButton* m_pPrevButton = nullptr;
    plat::Rect m_rcItem[HOMEPAGE_MAX_ITEMS] = {};
    uint8_t m_byCurrPage = 0;
    uint8_t m_byCurrItem = 0;
    uint8_t m_byLaunchPage = 0;
    uint8_t m_bLaunched = 0;
    KvMultimedia::IKvImage* m_pSeparator = nullptr;

private:
    // The button of the current page's item, or null for an empty, hidden or missing one.
    KvUserInterface::IKvButton* ItemButton(int item) const;
    KvUserInterface::IKvButton* ButtonAt(int page, int item) const;
    void GoToPage(int step);
    bool LoadTexts(const std::u16string& ini);
    bool LoadPageButtons(const std::u16string& ini, const std::u16string& folder);
    void LoadItemRects(const std::u16string& ini);
};
