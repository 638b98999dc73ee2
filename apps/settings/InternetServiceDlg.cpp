#include "apps/settings/InternetServiceDlg.h"

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppType.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonNames[IS_BTN_COUNT] = {u"Vol-Add", u"Vol-Icon",     u"Vol-Del",
                                                    u"Edit",    u"Sound-Effect", u"Ret-Menu"};
const char16_t* const kIcons[SYS_INTERNET_SLOTS] = {
    u"icon-browser.png",  u"icon-traffice.png", u"icon-weather.png",
    u"icon-radio.png",    u"icon-tv.png",       u"icon-youtube.png",
    u"icon-favorite.png", u"icon-favorite.png", u"icon-favorite.png"};

const int kCellX[3] = {272, 433, 594};
const int kCellY[3] = {85, 189, 293};
constexpr int kCellW = 156;
constexpr int kCellH = 98;
// The rear screen's rows lie lower, spread out, and are taller.
const int kRearRowShift[3] = {42, 62, 82};
constexpr int kRearExtraH = 42;

// The seat starts the browser with the address of the shortcut last tapped.
std::u16string AddressOf(CVelkoraAppDlg* page) {
    auto* internet = dynamic_cast<CInternetServiceDlg*>(page);
    return internet ? internet->CurrentAddress() : std::u16string();
}

}  // namespace

CInternetServiceDlg::CInternetServiceDlg() {
    CSeatCtrlDlg::Hooks().pfnBrowserAddress = &AddressOf;
}

CInternetServiceDlg::~CInternetServiceDlg() {
    ReleaseObjects();
}

void CInternetServiceDlg::ReleaseObjects() {
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pListbox[0]);
    ReleaseAndClear(m_pGrid);
    ReleaseAndClear(m_pTitle);
    m_pMuteButton = nullptr;
}

bool CInternetServiceDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    m_iYOffset = seat ? 60 : 0;
    if (CKernel* kernel = CKernel::Instance())
        m_iVolume = kernel->m_iVolume.load();
    m_bSkinned = LoadSkin();
    if (!m_bSkinned) {
        ReleaseObjects();
        WriteLog("CInternetServiceDlg::SetSkin(%d): no skin", seat);
    }
    return true;
}

bool CInternetServiceDlg::LoadSkin() {
    ReleaseObjects();
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot || !CVelkoraAppDlg::LoadSkin())
        return false;
    const std::u16string folder = SkinPath(u"Internet");
    const std::u16string ini = SkinPath(u"Internet\\Internet.ini");
    ReleaseAndClear(m_pBackground);
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    const char16_t* section = m_bySeat ? u"Rear Buttons" : u"Buttons";
    if (!settings::NewButtons(m_pButtons, kButtonNames, IS_BTN_COUNT, ini, section, folder, 0x26))
        return false;
    pageui::UseMuteButton(this, m_pButtons[IS_BTN_VOL_ICON]);
    // Two lists of the same place: an empty one, and the grid that shows the shortcuts.
    m_pListbox[0] = pageui::NewListbox(ini, u"Right Listbox", folder);
    m_pGrid = pageui::NewListbox(ini, u"Right Listbox", folder);
    if (!m_pListbox[0] || !m_pGrid)
        return false;
    m_pListbox[0]->RemoveAll();
    m_pListbox[0]->Show(1);
    m_pGrid->Show(0);
    m_pGrid->SetViewMode(KvUserInterface::LISTBOX_VIEW_GRID);
    m_pGrid->SetGridLayout(KvUserInterface::LISTBOX_GRID_3X3_STRIP);
    m_pGrid->RemoveAll();
    for (int i = 0; i < SYS_INTERNET_SLOTS; ++i) {
        // The list box takes a picture that fails to load without a word: the skin must have
        // all nine.
        const std::u16string icon = folder + u"\\" + kIcons[i];
        KvMultimedia::IKvImage* probe = LoadImage(icon);
        if (!probe)
            return false;
        probe->Release();
        if (m_pGrid->AddItem(u"", nullptr, 0, icon.c_str()) != RZ_OK)
            return false;
    }
    // The rear screen's rows lie lower, as its cells do (the list grows to cover them).
    if (m_bySeat)
        m_pGrid->SetShifted(1);
    m_pGrid->Show(1);
    m_pTitle = pageui::NewText(200, 25 + m_iYOffset, 600, 100, 20, 255, 79, 35, 0x01);
    return m_pTitle != nullptr;
}

plat::Rect CInternetServiceDlg::CellRect(int cell) const {
    if (cell < 0 || cell >= SYS_INTERNET_SLOTS)
        return plat::Rect{};
    const int row = cell / 3;
    const int shift = m_bySeat ? kRearRowShift[row] : 0;
    const int extra = m_bySeat ? kRearExtraH : 0;
    return plat::Rect::FromXYWH(kCellX[cell % 3], kCellY[row] + shift, kCellW, kCellH + extra);
}

int CInternetServiceDlg::CellAt(int x, int y) const {
    for (int cell = 0; cell < SYS_INTERNET_SLOTS; ++cell) {
        const plat::Rect r = CellRect(cell);
        // Strictly inside: the edges belong to no cell.
        if (x > r.left && x < r.right && y > r.top && y < r.bottom)
            return cell;
    }
    return -1;
}

void CInternetServiceDlg::OnLButtonDown(int x, int y) {
    if (!m_bSkinned)
        return;
    for (int i = 0; i < IS_BTN_COUNT; ++i) {
        if (settings::PressHit(m_pButtons[i], x, y)) {
            // Sound-Effect and Ret-Menu are one press group.
            if (i == IS_BTN_SOUND_EFFECT)
                m_pButtons[IS_BTN_RET_MENU]->SetNormal();
            else if (i == IS_BTN_RET_MENU)
                m_pButtons[IS_BTN_SOUND_EFFECT]->SetNormal();
            if (i != IS_BTN_VOL_ICON)
                m_pButtons[i]->SetPressed();
            m_iPressedButton = i;
            InvalidateOwner();
            return;
        }
    }
    m_iPressedButton = -1;
    uint8_t action = KvUserInterface::LISTBOX_ACTION_NONE;
    m_pListbox[0]->OnLButtonDown(x, y, &action);
    action = KvUserInterface::LISTBOX_ACTION_NONE;
    m_pGrid->OnLButtonDown(x, y, &action);
}

void CInternetServiceDlg::OnLButtonUp(int x, int y) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    if (m_iPressedButton >= 0) {
        const int pressed = m_iPressedButton;
        m_iPressedButton = -1;
        if (settings::ReleaseHit(m_pButtons[pressed], x, y))
            m_iPendingButton = pressed;
        if (pressed != IS_BTN_VOL_ICON)
            m_pButtons[pressed]->SetNormal();
        InvalidateOwner();
        return;
    }
    uint8_t action = KvUserInterface::LISTBOX_ACTION_NONE;
    m_pListbox[0]->OnLButtonUp(x, y, &action);
    action = KvUserInterface::LISTBOX_ACTION_NONE;
    m_pGrid->OnLButtonUp(x, y, &action);
    if (action != KvUserInterface::LISTBOX_ACTION_ROW)
        return;
    // The grid says a cell was tapped; which one is the page's own cells' answer.
    const int cell = CellAt(x, y);
    if (cell < 0)
        return;
    int top = 0;
    int count = 0;
    m_pGrid->GetTopIndex(&top);
    m_pGrid->GetCount(&count);
    const int item = cell + top;
    if (item < count)
        m_pGrid->SetCurrentIndex(item);
    OpenItem(item);
}

void CInternetServiceDlg::OpenItem(int item) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || item < 0 || item >= SYS_INTERNET_SLOTS)
        return;
    m_iCurrentItem = item;
    m_strItems[item] = kernel->m_Settings.szInternet[item];
    m_strCurrent = m_strItems[item];
    if (m_bEditMode) {
        m_bEditMode = false;
        EditAddress();
        return;
    }
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (intptr_t(APPTYPE_INTERNET_SERVICE) << 16) | APPTYPE_BROWSER);
    InvalidateOwner();
}

void CInternetServiceDlg::EditAddress() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    // The keyboard's fields hold 127 characters: a longer address is handed over cut, never
    // copied past them (the stored address stays whole until the user saves an edit).
    const std::u16string_view shown =
        std::u16string_view(m_strCurrent).substr(0, KB_TEXT_CHARS - 1);
    plat::StrCopy(kernel->m_szKbTitle, shown);
    plat::StrCopy(kernel->m_szKbInitial, shown);
    kernel->m_szKbResult[0] = 0;
    kernel->m_iKbResult = IS_KB_REQUEST;
    m_bWaitKb = true;
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (intptr_t(APPTYPE_INTERNET_SERVICE) << 16) | APPTYPE_KB);
    // The seat switches at its next paint.
    InvalidateOwner();
}

void CInternetServiceDlg::TakeKeyboardResult() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_bWaitKb)
        return;
    // Only our own request, still set: a cancel clears it, and another page's result is not
    // ours to take. Both ways the wait ends here.
    m_bWaitKb = false;
    if (kernel->m_iKbResult != IS_KB_REQUEST)
        return;
    kernel->m_iKbResult = -1;
    if (m_iCurrentItem < 0 || m_iCurrentItem >= SYS_INTERNET_SLOTS)
        return;
    plat::StrCopy(kernel->m_Settings.szInternet[m_iCurrentItem], kernel->m_szKbResult);
    m_strItems[m_iCurrentItem] = kernel->m_Settings.szInternet[m_iCurrentItem];
    if (!kernel->SaveSettings())
        WriteLog("CInternetServiceDlg: the settings were not saved");
}

void CInternetServiceDlg::Show(bool visible, uint8_t param) {
    CVelkoraAppDlg::Show(visible, param);
    if (!visible)
        return;
    UpdateVolume(false);
    pageui::ShowMuteState(this, m_pMuteButton);
    TakeKeyboardResult();
}

void CInternetServiceDlg::OnTick() {
    CVelkoraAppDlg::OnTick();
    const uint32_t now = plat::GetTickCount();
    if (now - m_dwLastWork <= 1000)
        return;
    m_dwLastWork = now;
    if (m_bEditMode && now - m_dwEditStart >= IS_EDIT_MS) {
        m_bEditMode = false;
        InvalidateOwner();
    }
}

void CInternetServiceDlg::DoButton(int button) {
    switch (button) {
        case IS_BTN_VOL_ADD:
        case IS_BTN_VOL_ICON:
        case IS_BTN_VOL_DEL:
            pageui::VolumeButton(button - IS_BTN_VOL_ADD, m_pButtons[IS_BTN_VOL_ICON], this);
            break;
        case IS_BTN_EDIT:
            m_bEditMode = true;
            m_dwEditStart = plat::GetTickCount();
            InvalidateOwner();
            break;
        case IS_BTN_SOUND_EFFECT:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                                  (intptr_t(APPTYPE_INTERNET_SERVICE) << 16) | APPTYPE_AUDIO_SET);
            break;
        case IS_BTN_RET_MENU:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, 0);
            break;
        default:
            break;
    }
}

void CInternetServiceDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    // The common frame: background, frame images, the clock, the volume number and the mute
    // button's look.
    CVelkoraAppDlg::Render(hdc);
    for (auto* b : m_pButtons)
        b->Draw(hdc, 0, 0);
    if (CKernel* kernel = CKernel::Instance())
        m_pTitle->SetText(kernel->m_Language[MSG_INTERNET_SERVICE]);
    m_pTitle->Draw(hdc);
    m_pGrid->Draw(hdc);
    const int pending = m_iPendingButton;
    m_iPendingButton = -1;
    if (pending >= 0)
        DoButton(pending);
}
