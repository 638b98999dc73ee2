#include "apps/settings/DualSetDlg.h"

#include <algorithm>

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"

using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonName[DUALSET_BUTTON_COUNT] = {
    u"Vol-Add", u"Vol-Icon", u"Vol-Del", u"Save", u"Exit", u"PrevPage", u"NextPage", u"Ret-Menu",
};

constexpr uint8_t kCaptionAlign = 0x26;

// What the rear seat can never have: the front's own programs and controls.
bool FrontOnly(int app) {
    return app == APPTYPE_NAVIGATION || app == APPTYPE_SETTINGS || app == APPTYPE_AUX ||
           app == APPTYPE_BACKLIGHT;
}

int LayoutPages() {
    return pCfgData ? std::min<int>(pCfgData->m_Layout.byPages, HOMEPAGE_PAGES) : 0;
}

int LayoutItems() {
    return pCfgData ? std::min<int>(pCfgData->m_Layout.byItems, HOMEPAGE_ITEMS) : 0;
}

// The first cell of the seat's grid holding `app`, or null.
HOMEPAGE_CELL* FirstCell(int seat, int app) {
    if (!pCfgData)
        return nullptr;
    for (int page = 0; page < LayoutPages(); ++page) {
        for (int item = 0; item < LayoutItems(); ++item) {
            HOMEPAGE_CELL& cell = pCfgData->m_Layout.cell[seat][page][item];
            if (cell.byApp == app)
                return &cell;
        }
    }
    return nullptr;
}

}  // namespace

CDualSetDlg::CDualSetDlg() = default;

CDualSetDlg::~CDualSetDlg() {
    ReleaseAndClear(m_pLabel);
    ReleaseAndClear(m_pButton);
}

void CDualSetDlg::ReadFlags(int app, uint8_t* front, uint8_t* rear, uint8_t* locked) {
    *front = 1;
    *rear = 1;
    *locked = 0;
    if (const HOMEPAGE_CELL* cell = FirstCell(0, app)) {
        *front = cell->byEnabled;
        *locked = cell->byLocked;
    }
    if (const HOMEPAGE_CELL* cell = FirstCell(1, app))
        *rear = cell->byEnabled;
    if (FrontOnly(app))
        *rear = 0;
}

bool CDualSetDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat != 0)
        return true;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    if (!m_pListbox[0] &&
        (kernel->m_pRoot->CreateListbox(&m_pListbox[0]) != RZ_OK || !m_pListbox[0])) {
        m_pListbox[0] = nullptr;
        return false;
    }
    m_pListbox[0]->Show(1);
    return LoadSkin();
}

bool CDualSetDlg::LoadSkin() {
    const uint64_t start = settings::NowMs();
    m_bSkinned = 0;
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot || !pCfgData || !m_pListbox[0])
        return false;
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    const std::u16string folder = SkinPath(u"DualSet");
    const std::u16string ini = folder + u"\\DualSet.ini";
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    if (!pageui::MakeButtons(m_pButton, kButtonName, DUALSET_BUTTON_COUNT, ini, u"Buttons", folder,
                             kCaptionAlign))
        return false;
    pageui::UseMuteButton(this, m_pButton[DUALSET_VOL_ICON]);
    if (m_pListbox[0]->LoadLayout(ini.c_str(), u"Left Listbox", folder.c_str()) != RZ_OK)
        return false;

    std::fill(std::begin(m_App), std::end(m_App), DUALSET_APP{});
    std::fill(std::begin(m_rcRow), std::end(m_rcRow), plat::Rect{});
    // The row and label tables hold 64 rows: a skin asking for more (or none) gets what fits.
    const int rows =
        std::clamp(settings::IniInt(ini, u"Item Position", u"Item Count", 1), 1, DUALSET_MAX_ROWS);
    m_byRowsPerPage = static_cast<uint8_t>(rows);
    m_byFirstRow = 0;
    m_byEndRow = m_byRowsPerPage;
    for (int n = 0; n < rows; ++n) {
        int x = 0, y = 0, w = 0, h = 0;
        const std::u16string key = plat::FormatStr(u"Item%02d", n + 1);
        if (settings::IniRect(ini, u"Item Position", key.c_str(), &x, &y, &w, &h))
            m_rcRow[n] = plat::Rect{x, y, x + w, y + h};
    }
    int listed = 0;
    for (int app = 0; app < APPTYPE_COUNT && listed < DUALSET_MAX_ROWS; ++app) {
        if (!pCfgData->m_AppEntry[app].bAvailable)
            continue;
        DUALSET_APP& entry = m_App[listed++];
        entry.iApp = app;
        ReadFlags(app, &entry.byFront, &entry.byRear, &entry.byLocked);
    }
    m_byListed = static_cast<uint8_t>(listed);
    // A skin loaded again gives back the labels of the last load before making new ones.
    ReleaseAndClear(m_pLabel);
    for (int n = 0; n < rows; ++n) {
        int x = 0, y = 0, w = 0, h = 0;
        const std::u16string key = plat::FormatStr(u"ItemLabel%02d", n + 1);
        settings::IniRect(ini, u"Item Position", key.c_str(), &x, &y, &w, &h);
        if (!settings::MakeText(m_pLabel[n], x, y, w, h, 9, 255, 255, 0))
            return false;
        m_pLabel[n]->SetAlign(2);
        m_pLabel[n]->Show(1);
    }
    m_bSkinned = 1;
    WriteLog("CDualSetDlg: %lld ms", static_cast<long long>(settings::NowMs() - start));
    return true;
}

void CDualSetDlg::ReloadRows() {
    if (!m_bSkinned)
        return;
    IKvListbox* list = m_pListbox[0];
    list->RemoveAll();
    settings::AddTextRow(list, settings::LanguageText(MSG_MSG_DISPLAY1));
    settings::AddTextRow(list, settings::LanguageText(MSG_MSG_DISPLAY2));
    list->SetCurrentIndex(0);
    m_iScreen = 0;
    // Edits left by Exit are thrown away: every visit starts from the layout as saved.
    for (int i = 0; i < m_byListed; ++i)
        ReadFlags(m_App[i].iApp, &m_App[i].byFront, &m_App[i].byRear, &m_App[i].byLocked);
    RefreshLabels();
    InvalidateOwner();
}

void CDualSetDlg::RefreshLabels() {
    for (int i = m_byFirstRow; i < m_byEndRow; ++i) {
        IKvText* label = m_pLabel[i - m_byFirstRow];
        if (!label)
            continue;
        if (i >= m_byListed) {
            label->SetText(u"");
            continue;
        }
        uint8_t front = 0, rear = 0, locked = 0;
        ReadFlags(m_App[i].iApp, &front, &rear, &locked);
        m_App[i].byLocked = locked == 1 ? 1 : 0;
        label->SetText(locked == 1 ? settings::LanguageText(MSG_MSG_LOCK) : u"");
    }
}

void CDualSetDlg::Show(bool visible, uint8_t param) {
    if (visible && m_bSkinned) {
        UpdateVolume(false);
        pageui::ShowMuteState(this, m_pButton[DUALSET_VOL_ICON]);
        ReloadRows();
    }
    CVelkoraAppDlg::Show(visible, param);
}

void CDualSetDlg::Refresh() {
    if (IsVisible())
        ReloadRows();
}

void CDualSetDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        settings::RenderWithoutSkin(this, hdc);
        return;
    }
    CVelkoraAppDlg::Render(hdc);
    for (int i = m_byFirstRow; i < m_byEndRow && i < m_byListed; ++i) {
        const DUALSET_APP& entry = m_App[i];
        if (entry.iApp <= 0 || entry.iApp >= APPTYPE_COUNT)
            continue;
        const plat::Rect& r = m_rcRow[i - m_byFirstRow];
        KvMultimedia::IKvImage* icon = pCfgData->m_AppEntry[entry.iApp].pImage[0];
        uint32_t w = 0, h = 0;
        if (!icon || icon->GetSize(&w, &h) != RZ_OK || w < 4)
            continue;
        const int frameWidth = static_cast<int>(w / 4);
        const bool enabled = (m_iScreen == 0 ? entry.byFront : entry.byRear) != 0;
        const int frame = enabled ? 0 : 3;
        icon->DrawPart(hdc, r.left, r.top, r.right, r.bottom, frame * frameWidth, 0,
                       (frame + 1) * frameWidth, static_cast<int>(h));
        KvMultimedia::IKvImage* lock = pCfgData->m_Layout.pLockImage;
        uint32_t lw = 0, lh = 0;
        if (m_iScreen == 0 && entry.byLocked && lock && lock->GetSize(&lw, &lh) == RZ_OK)
            lock->DrawPart(hdc, r.left, r.top, r.right, r.bottom, 0, 0, static_cast<int>(lw / 4),
                           static_cast<int>(lh));
    }
    for (int n = 0; n < m_byRowsPerPage; ++n)
        if (m_pLabel[n])
            m_pLabel[n]->Draw(hdc);
    for (IKvButton* button : m_pButton)
        button->Draw(hdc, 0, 0);
    m_pListbox[0]->Draw(hdc);
    if (m_bArmed) {
        m_bArmed = 0;
        OnButtonClick(m_byPendingButton);
    }
}

void CDualSetDlg::OnLButtonDown(int x, int y) {
    m_bPenDown = 1;
    if (!m_bSkinned)
        return;
    for (int i = 0; i < DUALSET_BUTTON_COUNT; ++i) {
        if (m_pButton[i]->OnLButtonDown(x, y) == RZ_HIT) {
            m_byPendingButton = static_cast<uint8_t>(i);
            InvalidateOwner();
            return;
        }
    }
    if (m_pListbox[0]->IsVisible()) {
        uint8_t action = 0;
        m_pListbox[0]->OnLButtonDown(x, y, &action);
    }
    for (int n = 0; n < m_byRowsPerPage; ++n) {
        const plat::Rect& r = m_rcRow[n];
        if (!(r.left < x && x < r.right && r.top < y && y < r.bottom))
            continue;
        const int i = m_byFirstRow + n;
        // Rows past the listed applications hold nothing to flip.
        if (i >= m_byListed)
            break;
        DUALSET_APP& entry = m_App[i];
        if (entry.iApp == APPTYPE_SETTINGS || (m_iScreen == 1 && FrontOnly(entry.iApp)))
            break;
        uint8_t& flag = m_iScreen == 0 ? entry.byFront : entry.byRear;
        flag = flag == 1 ? 0 : 1;
        break;
    }
    InvalidateOwner();
}

void CDualSetDlg::OnLButtonUp(int x, int y) {
    m_bPenDown = 0;
    if (!m_bSkinned) {
        settings::TapWithoutSkin(this);
        return;
    }
    bool hit = false;
    for (int i = 0; i < DUALSET_BUTTON_COUNT; ++i) {
        if (m_pButton[i]->OnLButtonUp(x, y) != RZ_HIT)
            continue;
        hit = true;
        if (i == m_byPendingButton)
            m_bArmed = 1;
        else
            m_byPendingButton = static_cast<uint8_t>(i);
        break;
    }
    if (!hit) {
        uint8_t action = 0;
        m_pListbox[0]->OnLButtonUp(x, y, &action);
        int current = -1;
        if (action == KvUserInterface::LISTBOX_ACTION_ROW &&
            m_pListbox[0]->GetCurrentIndex(&current) == RZ_OK && current >= 0) {
            m_iScreen = current == 1 ? 1 : 0;
            RefreshLabels();
        }
    }
    if (m_byPendingButton < DUALSET_BUTTON_COUNT)
        m_pButton[m_byPendingButton]->SetNormal();
    InvalidateOwner();
}

void CDualSetDlg::WriteFlags() {
    for (int i = 0; i < m_byListed; ++i) {
        const DUALSET_APP& entry = m_App[i];
        if (HOMEPAGE_CELL* cell = FirstCell(0, entry.iApp))
            cell->byEnabled = entry.byFront;
        if (HOMEPAGE_CELL* cell = FirstCell(1, entry.iApp))
            cell->byEnabled = entry.byRear;
    }
}

void CDualSetDlg::OnButtonClick(int button) {
    switch (button) {
        case DUALSET_VOL_ADD:
        case DUALSET_VOL_ICON:
        case DUALSET_VOL_DEL:
            pageui::VolumeButton(button - DUALSET_VOL_ADD, m_pButton[DUALSET_VOL_ICON], this);
            if (button != DUALSET_VOL_ICON)
                UpdateVolume(false);
            break;
        case DUALSET_SAVE:
            WriteFlags();
            if (pCfgData && !pCfgData->SaveHomepage())
                WriteLog("CDualSetDlg: homepage.db not saved");
            plat::ui::SendMessage(m_hMainWnd, WM_RELOAD_HOMEPAGE, 0, 0);
            OnBack();
            break;
        case DUALSET_EXIT:
            OnBack();
            break;
        case DUALSET_PREV_PAGE:
            if (m_byFirstRow - m_byRowsPerPage >= 0) {
                m_byEndRow = m_byFirstRow;
                m_byFirstRow = static_cast<uint8_t>(m_byFirstRow - m_byRowsPerPage);
                RefreshLabels();
            }
            break;
        case DUALSET_NEXT_PAGE:
            if (m_byFirstRow + m_byRowsPerPage <= m_byListed - 1) {
                m_byFirstRow = static_cast<uint8_t>(m_byFirstRow + m_byRowsPerPage);
                m_byEndRow = static_cast<uint8_t>(m_byFirstRow + m_byRowsPerPage);
                RefreshLabels();
            }
            break;
        case DUALSET_RET_MENU:
            m_pListbox[0]->SetBlinkIndex(-1);
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
            break;
        default:
            WriteLog("CDualSetDlg::OnButtonClick() - Should not be here");
            break;
    }
    InvalidateOwner();
}

void CDualSetDlg::OnBack() {
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_DUAL_SET << 16) | m_byShowParam);
}
