#include "apps/home/HomepageDlg.h"

#include <algorithm>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/KeyFunctions.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvImage;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvText;

namespace {

// Language table entry of each application's caption; -1 for none.
constexpr int kCaption[APPTYPE_COUNT] = {
    MSG_HOMEPAGE,          // APPTYPE_HOMEPAGE
    MSG_MUSIC,             // APPTYPE_MUSIC
    MSG_MOVIE,             // APPTYPE_MOVIE
    MSG_PHOTO,             // APPTYPE_PHOTO
    MSG_RADIO,             // APPTYPE_RADIO
    MSG_NAVI,              // APPTYPE_NAVIGATION
    MSG_TV,                // APPTYPE_TV
    MSG_PHONE,             // APPTYPE_PHONE
    MSG_SETTING,           // APPTYPE_SETTINGS
    MSG_WINDOWS,           // APPTYPE_WINDOWS
    MSG_AUX,               // APPTYPE_AUX
    MSG_AUX2,              // APPTYPE_AUX2
    MSG_BROWSER,           // APPTYPE_BROWSER
    MSG_INTERNET_SERVICE,  // APPTYPE_INTERNET_SERVICE
    MSG_BACKLIGHT,         // APPTYPE_BACKLIGHT
    MSG_APP_1,             // APPTYPE_APP_1
    MSG_SKYPE,             // APPTYPE_SKYPE
    MSG_BLUETOOTH,         // APPTYPE_BLUETOOTH
    MSG_TPMS,              // APPTYPE_TPMS
    MSG_EXPLORER,          // APPTYPE_EXPLORER
    MSG_AUDIO_SET,         // APPTYPE_AUDIO_SET
    MSG_DISPLAY_SET,       // APPTYPE_DISPLAY_SET
    MSG_DATETIME_SET,      // APPTYPE_DATE_TIME_SET
    MSG_LANG_SET,          // APPTYPE_LANGUAGE_SET
    MSG_SKIN_SET,          // APPTYPE_SKIN_SET
    MSG_POWER,             // APPTYPE_POWER_MODULE
    MSG_HOMEPAGE_SET,      // APPTYPE_HOMEPAGE_SET
    MSG_CALIBRATION,       // APPTYPE_CALIBRATION
    MSG_SYSTEM_SET,        // APPTYPE_SYSTEM_SET
    MSG_APPLICATION_SET,   // APPTYPE_APPLICATION_SET
    -1,                    // APPTYPE_KB
    MSG_ABOUT,             // APPTYPE_ABOUT
    -1,                    // APPTYPE_DUAL_SET
    -1,                    // APPTYPE_DATETIME
    MSG_LIGHT_SETTING,     // APPTYPE_LIGHT_SETTINGS
    -1,                    // APPTYPE_DISPLAY_MANU
};

// The icons a phone call on the other seat takes away: what would sound over the call.
bool IsCallMuted(int app) {
    return app == APPTYPE_MUSIC || app == APPTYPE_RADIO || app == APPTYPE_AUX;
}

// Set and read on the user-interface thread.
CHomepageDlg* g_pFrontHomepage = nullptr;

using pageui::ReleaseAndClear;

bool IsDisabled(IKvButton* button) {
    uint8_t state = KvUserInterface::BUTTON_NORMAL;
    button->GetState(&state);
    return state == KvUserInterface::BUTTON_DISABLED;
}

int SeatIndex(uint8_t seat) {
    return seat == 1 ? 1 : 0;
}

// The seat's front lock takes a locked movie away: the homepage then forgets its selection.
void ClearSelection(CVelkoraAppDlg* home) {
    if (home)
        static_cast<CHomepageDlg*>(home)->m_byCurrItem = 0;
}

}  // namespace

CHomepageDlg::CHomepageDlg() {
    CSeatCtrlDlg::Hooks().pfnClearHomeSelection = &ClearSelection;
}

CHomepageDlg::~CHomepageDlg() {
    if (g_pFrontHomepage == this)
        g_pFrontHomepage = nullptr;
    ReleaseAndClear(m_pTitle);
    ReleaseAndClear(m_pNextButton);
    ReleaseAndClear(m_pPrevButton);
    ReleaseAndClear(m_pSeparator);
}

CHomepageDlg* CHomepageDlg::Front() {
    return g_pFrontHomepage;
}

int CHomepageDlg::ItemsPerPage() const {
    return pCfgData ? std::min<int>(pCfgData->m_Layout.byItems, HOMEPAGE_MAX_ITEMS) : 0;
}

int CHomepageDlg::PageCount() const {
    return pCfgData ? std::min<int>(pCfgData->m_Layout.byPages, HOMEPAGE_PAGES) : 0;
}

IKvButton* CHomepageDlg::ButtonAt(int page, int item) const {
    if (!pCfgData || page < 0 || page >= HOMEPAGE_PAGES || item < 0 || item >= HOMEPAGE_ITEMS)
        return nullptr;
    const HOMEPAGE_CELL& cell = pCfgData->m_Layout.cell[SeatIndex(m_bySeat)][page][item];
    // The second AUX input is reached from the first one's page, never from an icon.
    if (cell.byApp >= APPTYPE_COUNT || cell.byApp == APPTYPE_AUX2)
        return nullptr;
    return cell.pButton;
}

IKvButton* CHomepageDlg::ItemButton(int item) const {
    return item < ItemsPerPage() ? ButtonAt(m_byCurrPage, item) : nullptr;
}

// ---- Skin
// ----------------------------------------------------------------------------------------

bool CHomepageDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat == 0)
        g_pFrontHomepage = this;
    return LoadSkin();
}

bool CHomepageDlg::LoadSkin() {
    const uint64_t start = plat::GetClock().TickMs();
    CKernel* kernel = CKernel::Instance();
    CCfgData* cfg = GetCfgData();
    if (!kernel || !kernel->m_pRoot || !cfg)
        return false;
    if (!cfg->LoadLayout(SeatIndex(m_bySeat)))
        return false;
    const std::u16string folder = cfg->HomepageFolder();
    const std::u16string ini = cfg->HomepageFile(u"" HOMEPAGE_DEFAULT_INI);
    if (!LoadTexts(ini) || !LoadPageButtons(ini, folder))
        return false;
    LoadItemRects(ini);
    // A layout with fewer pages than before keeps the page shown in range.
    if (m_byCurrPage >= PageCount())
        m_byCurrPage = 0;

    ReleaseAndClear(m_pSeparator);
    m_pSeparator = LoadImage(folder + u"\\index-white-line.png");
    if (!m_pSeparator)
        return false;
    WriteLog("CHomepageDlg: %lld ms", static_cast<long long>(plat::GetClock().TickMs() - start));
    return true;
}

bool CHomepageDlg::LoadTexts(const std::u16string& ini) {
    CKernel* kernel = CKernel::Instance();
    IVantrel* root = kernel->m_pRoot;
    const int offset = SeatIndex(m_bySeat) ? HOMEPAGE_REAR_OFFSET : 0;
    struct {
        IKvText** slot;
        const char16_t* section;
    } const texts[] = {
        {&m_pTitle, u"Title"},
        {&m_pExtraText, u"Date"},
        {&m_pTimeText, u"Time"},
        {&m_pAmPmText, nullptr},
    };
    for (const auto& t : texts) {
        if (!*t.slot && (root->CreateText(t.slot) != RZ_OK || !*t.slot))
            return false;
        if (t.section)
            (*t.slot)->LoadLayout(ini.c_str(), t.section);
    }
    m_pTimeText->SetRect(655, 425 + offset, 140, 35);
    m_pTimeText->SetFont(14, 255, 79, 35);
    m_pAmPmText->SetRect(740, 427 + offset, 50, 32);
    m_pAmPmText->SetFont(12, 255, 79, 35);
    return true;
}

bool CHomepageDlg::LoadPageButtons(const std::u16string& ini, const std::u16string& folder) {
    IVantrel* root = CKernel::Instance()->m_pRoot;
    const bool rear = SeatIndex(m_bySeat) != 0;
    struct {
        IKvButton** slot;
        const char16_t* name;
    } const buttons[] = {
        {&m_pNextButton, rear ? u"NextRear" : u"NextPage"},
        {&m_pPrevButton, rear ? u"PrevRear" : u"PrevPage"},
    };
    for (const auto& b : buttons) {
        if (!*b.slot && (root->CreateButton(b.slot) != RZ_OK || !*b.slot))
            return false;
        (*b.slot)->LoadLayout(ini.c_str(), u"Buttons", b.name, folder.c_str());
    }
    return true;
}

void CHomepageDlg::LoadItemRects(const std::u16string& ini) {
    IVantrel* root = CKernel::Instance()->m_pRoot;
    const int seat = SeatIndex(m_bySeat);
    const int items = ItemsPerPage();
    for (int n = 0; n < HOMEPAGE_MAX_ITEMS; ++n) {
        m_rcItem[n] = plat::Rect{};
        if (n >= items)
            continue;
        char16_t line[512] = {};
        std::u16string key = plat::FormatStr(u"Item%02d", n + 1);
        if (root->GetIniString(ini.c_str(), seat ? u"Rear Item" : u"Item Position", key.c_str(),
                               line, 512) != RZ_OK ||
            !line[0])
            continue;
        int f[5] = {};
        for (int i = 1; i <= 4; ++i)
            root->GetFieldInt(line, i, &f[i]);
        m_rcItem[n] = plat::Rect{f[1], f[2], f[1] + f[3], f[2] + f[4]};
    }
    for (int page = 0; page < PageCount(); ++page) {
        for (int item = 0; item < items; ++item) {
            IKvButton* button = pCfgData->m_Layout.cell[seat][page][item].pButton;
            const plat::Rect& r = m_rcItem[item];
            if (button)
                button->SetRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
        }
    }
}

// ---- Drawing
// -------------------------------------------------------------------------------------

void CHomepageDlg::Render(plat::Canvas* hdc) {
    CCfgData* cfg = pCfgData;
    if (!cfg)
        return;
    const int seat = SeatIndex(m_bySeat);
    if (IKvImage* background = cfg->m_Layout.pBackground[seat])
        background->Draw(hdc, 0, 0, 800, 600);
    for (int item = 0; item < ItemsPerPage(); ++item) {
        IKvButton* button = ItemButton(item);
        if (!button)
            continue;
        button->Draw(hdc, 0, 0);
        DrawItem(hdc, cfg->m_Layout.cell[seat][m_byCurrPage][item].byApp, m_rcItem[item]);
    }
    if (PageCount() >= 2) {
        if (m_pNextButton)
            m_pNextButton->Draw(hdc, 0, 0);
        if (m_pPrevButton)
            m_pPrevButton->Draw(hdc, 0, 0);
    }
    if (m_pExtraText && !m_strDate.empty())
        m_pExtraText->SetText(plat::Utf8ToUtf16(m_strDate).c_str());
    // The title follows the language as the captions do.
    CKernel* kernel = CKernel::Instance();
    if (m_pTitle && kernel)
        m_pTitle->SetText(kernel->m_Language[MSG_HOMEPAGE]);
    for (IKvText* text : {m_pTitle, m_pExtraText, m_pTimeText, m_pAmPmText})
        if (text)
            text->Draw(hdc);
    if (m_pSeparator)
        m_pSeparator->Draw(hdc, 10, seat ? 500 : 390, 0, 0);
}

void CHomepageDlg::DrawItem(plat::Canvas* hdc, int app, const plat::Rect& item) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !pCfgData || app < 0 || app >= APPTYPE_COUNT || kCaption[app] < 0)
        return;
    const APP_ENTRY& entry = pCfgData->m_AppEntry[app];
    IKvText* caption = entry.pText[SeatIndex(m_bySeat)];
    if (!caption)
        return;
    // The entry places its caption relative to the icon's item.
    caption->SetText(kernel->m_Language[kCaption[app]]);
    caption->SetRect(item.left + entry.left, item.top + entry.top, entry.right - entry.left,
                     entry.bottom - entry.top);
    caption->Draw(hdc);
}

// ---- Touch
// ---------------------------------------------------------------------------------------

void CHomepageDlg::OnLButtonDown(int x, int y) {
    // A press that starts on no icon presses nothing: an earlier press must not carry over to
    // its release.
    m_byPressed = HOMEPAGE_PRESSED_NONE;
    if (PageCount() >= 2) {
        if (m_pNextButton && m_pNextButton->OnLButtonDown(x, y) == RZ_HIT) {
            m_byPressed = HOMEPAGE_PRESSED_NEXT;
            InvalidateOwner();
            return;
        }
        if (m_pPrevButton && m_pPrevButton->OnLButtonDown(x, y) == RZ_HIT) {
            m_byPressed = HOMEPAGE_PRESSED_PREV;
            InvalidateOwner();
            return;
        }
    }
    const int items = ItemsPerPage();
    for (int item = 0; item < items; ++item) {
        IKvButton* button = ItemButton(item);
        if (!button || button->HitTest(x, y) != RZ_HIT)
            continue;
        if (IKvButton* previous = ItemButton(m_byCurrItem))
            if (!IsDisabled(previous))
                previous->SetNormal();
        m_byPressed = pCfgData->m_Layout.cell[SeatIndex(m_bySeat)][m_byCurrPage][item].byApp;
        m_byCurrItem = static_cast<uint8_t>(item);
        button->SetPressed();
        InvalidateOwner();
        return;
    }
}

void CHomepageDlg::OnMouseMove(int x, int y) {
    IKvButton* button = m_byPressed == HOMEPAGE_PRESSED_NEXT   ? m_pNextButton
                        : m_byPressed == HOMEPAGE_PRESSED_PREV ? m_pPrevButton
                                                               : nullptr;
    if (!button || button->HitTest(x, y) == RZ_HIT)
        return;
    button->SetNormal();
    m_byPressed = HOMEPAGE_PRESSED_NONE;
    InvalidateOwner();
}

void CHomepageDlg::OnLButtonUp(int x, int y) {
    if (m_byPressed == HOMEPAGE_PRESSED_NEXT && m_pNextButton &&
        m_pNextButton->OnLButtonUp(x, y) == RZ_HIT) {
        GoToPage(+1);
        HighlightCurrent();
        InvalidateOwner();
        return;
    }
    if (m_byPressed == HOMEPAGE_PRESSED_PREV && m_pPrevButton &&
        m_pPrevButton->OnLButtonUp(x, y) == RZ_HIT) {
        GoToPage(-1);
        HighlightCurrent();
        InvalidateOwner();
        return;
    }
    m_bLaunched = 0;
    const int items = ItemsPerPage();
    for (int item = 0; item < items; ++item) {
        IKvButton* button = ItemButton(item);
        if (!button || button->HitTest(x, y) != RZ_HIT)
            continue;
        const uint8_t app = pCfgData->m_Layout.cell[SeatIndex(m_bySeat)][m_byCurrPage][item].byApp;
        if (item == m_byCurrItem && m_byPressed < APPTYPE_COUNT) {
            m_bLaunched = 1;
            m_byLaunchPage = m_byCurrPage;
            button->SetHighlighted();
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, app);
        } else {
            // Lifted on another icon: the pressed one stays the selected one.
            button->SetNormal();
            if (IKvButton* selected = ItemButton(m_byCurrItem))
                if (!IsDisabled(selected))
                    selected->SetHighlighted();
        }
        break;
    }
    HighlightCurrent();
    InvalidateOwner();
}

void CHomepageDlg::GoToPage(int step) {
    const int pages = PageCount();
    if (pages <= 0)
        return;
    m_byCurrPage = static_cast<uint8_t>((m_byCurrPage + step + pages) % pages);
}

void CHomepageDlg::HighlightCurrent() {
    if (!m_bLaunched)
        return;
    for (int item = 0; item < ItemsPerPage(); ++item)
        if (IKvButton* button = ItemButton(item))
            if (!IsDisabled(button))
                button->SetNormal();
    // A locked icon stays disabled: highlighting it would make it touchable again.
    if (IKvButton* launched = ButtonAt(m_byLaunchPage, m_byCurrItem))
        if (!IsDisabled(launched))
            launched->SetHighlighted();
}

void CHomepageDlg::KeyHandler(int command) {
    WriteLog("CHomepageDlg::KeyHandler(): m_byCurrPage(%X), m_byCurrItem(%X)", m_byCurrPage,
             m_byCurrItem);
    if (command == KEYCMD_SEEK_UP)
        GoToPage(-1);
    else if (command == KEYCMD_TRACK_DOWN)
        GoToPage(+1);
    else
        return;
    InvalidateOwner();
}

// ---- Locks
// ---------------------------------------------------------------------------------------

void CHomepageDlg::SetLockState(int state) {
    CCfgData* cfg = pCfgData;
    if (!cfg)
        return;
    const int pages = PageCount(), items = ItemsPerPage();
    const int seat = SeatIndex(m_bySeat);
    CKernel* kernel = CKernel::Instance();
    const bool locksInForce = kernel && kernel->m_bLocksFree.load() == 0;
    for (int page = 0; page < pages; ++page) {
        for (int item = 0; item < items; ++item) {
            // The application locks are the front seat's; the call state is each seat's own.
            const int grid = state <= HOMEPAGE_LOCKS_FREE ? 0 : seat;
            HOMEPAGE_CELL& cell = cfg->m_Layout.cell[grid][page][item];
            IKvButton* button = cell.pButton;
            if (!button || cell.byApp >= APPTYPE_COUNT)
                continue;
            switch (state) {
                case HOMEPAGE_LOCKS_IN_FORCE:
                    if (!cell.byEnabled || cell.byLocked)
                        button->Disable();
                    else
                        button->SetNormal();
                    break;
                case HOMEPAGE_LOCKS_FREE:
                    if (cell.byEnabled)
                        button->SetNormal();
                    else
                        button->Disable();
                    break;
                case HOMEPAGE_OTHER_SEAT_CALL:
                    if (IsCallMuted(cell.byApp))
                        button->Disable();
                    break;
                case HOMEPAGE_OTHER_SEAT_CALL_ENDED:
                    // The end of a call gives nothing back that the application locks keep.
                    if (IsCallMuted(cell.byApp) && cell.byEnabled &&
                        !(grid == 0 && cell.byLocked && locksInForce))
                        button->SetNormal();
                    break;
                default:
                    break;
            }
        }
    }
    if (state == HOMEPAGE_LOCKS_IN_FORCE && seat == 0 && m_byCurrItem == 3)
        m_byCurrItem = 0;
    InvalidateOwner();
}

void CHomepageDlg::Show(bool visible, uint8_t param) {
    if (visible) {
        // What the other seat asked for last: a phone call there takes the media away here.
        bool call = m_pOwner && m_pOwner->m_iOtherApp == APPTYPE_PHONE;
        SetLockState(call ? HOMEPAGE_OTHER_SEAT_CALL : HOMEPAGE_OTHER_SEAT_CALL_ENDED);
    }
    CVelkoraAppDlg::Show(visible, param);
}

void CHomepageDlg::Refresh() {
    if (!IsVisible())
        return;
    CKernel* kernel = CKernel::Instance();
    bool free = !kernel || kernel->m_bLocksFree.load() != 0;
    SetLockState(free ? HOMEPAGE_LOCKS_FREE : HOMEPAGE_LOCKS_IN_FORCE);
}

void CHomepageDlg::SelectApp(int app) {
    plat::ui::RunOnUiThread([app] {
        CHomepageDlg* page = g_pFrontHomepage;
        CCfgData* cfg = pCfgData;
        if (!page || !cfg)
            return;
        int foundPage = -1, foundItem = -1;
        for (int p = 0; p < page->PageCount(); ++p) {
            for (int i = 0; i < page->ItemsPerPage(); ++i) {
                if (cfg->m_Layout.cell[0][p][i].byApp == app) {
                    foundPage = p;
                    foundItem = i;
                    break;
                }
            }
        }
        if (foundPage < 0)
            return;
        page->m_byCurrPage = static_cast<uint8_t>(foundPage);
        page->m_byCurrItem = static_cast<uint8_t>(foundItem);
        if (IKvButton* button = page->ButtonAt(foundPage, foundItem))
            if (!IsDisabled(button))
                button->SetHighlighted();
        page->HighlightCurrent();
        page->InvalidateOwner();
    });
}
