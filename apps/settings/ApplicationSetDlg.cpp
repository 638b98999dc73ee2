#include "apps/settings/ApplicationSetDlg.h"

#include <cstring>

#include "apps/settings/ChooseExecutable.h"
#include "apps/settings/SettingsCommon.h"
#include "core/kernel/AppPaths.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/File.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvUserInterface::IKvButton;
using settings::ReleaseAndClear;

namespace {

const char16_t* const kButtonNames[AS_BUTTON_COUNT] = {
    u"Vol-Add", u"Vol-Icon", u"Vol-Del", u"Edit", u"Save", u"Exit", u"Ret-Menu",
};
const int kRowTexts[APP_PATH_COUNT] = {MSG_NAVI,      MSG_SKYPE,          MSG_TV,
                                       MSG_BLUETOOTH, MSG_APP_TOUCHPANEL, MSG_APP_1};
const char16_t* const kIconFiles[APP_PATH_COUNT] = {
    u"icon-navigation.png", u"icon-skype.png",      u"icon-TV.png",
    u"icon-bluetooth.png",  u"icon-touchpanel.png", u"icon-other.png",
};

constexpr uint8_t kTitleAlign = 0x26;
constexpr uint8_t kAlignLeft = 1;
constexpr uint8_t kAlignCentre = 2;

std::u16string g_strChooserFolder = u"/usr/local/bin";

size_t PathLength(const char16_t* path) {
    size_t n = 0;
    while (n < APP_PATH_CHARS && path[n])
        ++n;
    return n;
}

}  // namespace

void CApplicationSetDlg::SetChooserFolder(const std::u16string& folder) {
    g_strChooserFolder = folder;
}

CApplicationSetDlg::CApplicationSetDlg() = default;

CApplicationSetDlg::~CApplicationSetDlg() {
    ReleaseObjects();
}

void CApplicationSetDlg::ReleaseObjects() {
    ReleaseAndClear(m_pButtons);
    ReleaseAndClear(m_pIcons);
    ReleaseAndClear(m_pPathText);
    ReleaseAndClear(m_pListbox);
    m_pCurrentIcon = nullptr;
    m_pMuteButton = nullptr;
}

IKvButton* CApplicationSetDlg::Button(int index) const {
    return index >= 0 && index < AS_BUTTON_COUNT ? m_pButtons[index] : nullptr;
}

std::u16string CApplicationSetDlg::PathLine(int line) const {
    char16_t* text = nullptr;
    if (line < 0 || line > 2 || !m_pPathText[line] || m_pPathText[line]->GetText(&text) != RZ_OK ||
        !text)
        return std::u16string();
    return text;
}

plat::Rect CApplicationSetDlg::RowRect(int row) const {
    plat::Rect r{};
    if (m_pListbox[0])
        m_pListbox[0]->GetItemRect(row, &r);
    return r;
}

// ---- Skin --------------------------------------------------------------------------------

bool CApplicationSetDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    ReleaseObjects();
    if (!CVelkoraAppDlg::LoadSkin())
        return false;
    CKernel* kernel = CKernel::Instance();
    IVantrel* root = kernel ? kernel->m_pRoot : nullptr;
    if (!root)
        return false;
    const std::u16string folder = SkinPath(u"Application-Set");
    const std::u16string ini = SkinPath(u"Application-Set\\Application-Set.ini");

    char16_t background[512] = {};
    root->GetIniString(ini.c_str(), u"Property", u"Background", background, 512);
    ReleaseAndClear(m_pBackground);
    if (!background[0])
        return false;
    m_pBackground = LoadImage(SkinPath(background));
    if (!m_pBackground)
        m_pBackground = LoadImage(folder + u"\\" + background);
    if (!m_pBackground)
        return false;
    if (!settings::NewButtons(m_pButtons, kButtonNames, AS_BUTTON_COUNT, ini, u"Buttons", folder,
                              kTitleAlign))
        return false;
    pageui::UseMuteButton(this, m_pButtons[AS_VOL_ICON]);
    m_pListbox[0] = pageui::NewListbox(ini, u"Left Listbox", folder);
    if (!m_pListbox[0])
        return false;
    for (int i = 0; i < APP_PATH_COUNT; ++i) {
        m_pIcons[i] = LoadImage(folder + u"\\" + kIconFiles[i]);
        if (!m_pIcons[i])
            return false;
    }
    for (int line = 0; line < 3; ++line) {
        m_pPathText[line] = pageui::NewText(300, 260 + 40 * line, 450, 32, 10, 255, 255, 255,
                                            line == 0 ? kAlignCentre : kAlignLeft);
        if (!m_pPathText[line])
            return false;
        m_pPathText[line]->SetText(u"");
    }
    WriteLog("CApplicationSetDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

bool CApplicationSetDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat != 0)
        return true;
    m_bSkinned = LoadSkin();
    if (!m_bSkinned) {
        ReleaseObjects();
        WriteLog("CApplicationSetDlg::SetSkin(%d): no skin", appType);
        return true;
    }
    m_pListbox[0]->Show(1);
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return true;
    kernel->LoadAppPath();
    ReloadRows();
    m_iSelected = 0;
    m_pCurrentIcon = m_pIcons[0];
    m_pListbox[0]->SetCurrentIndex(0);
    ShowPath(kernel->m_AppPaths.szPath[0]);
    return true;
}

void CApplicationSetDlg::ReloadRows() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_pListbox[0])
        return;
    m_pListbox[0]->RemoveAll();
    for (int row = 0; row < APP_PATH_COUNT; ++row)
        settings::AddTextRow(m_pListbox[0], kernel->m_Language[kRowTexts[row]]);
}

void CApplicationSetDlg::ShowPath(const char16_t* path) {
    const std::u16string whole(path, PathLength(path));
    const size_t n = whole.size();
    std::u16string lines[3];
    if (n > 2 * AS_LINE_CHARS) {
        for (int line = 0; line < 3; ++line)
            lines[line] = whole.substr(AS_LINE_CHARS * line, AS_LINE_CHARS);
        m_byAlign[0] = kAlignLeft;
    } else if (n > AS_LINE_CHARS) {
        lines[0] = whole.substr(0, AS_LINE_CHARS);
        lines[1] = whole.substr(AS_LINE_CHARS);
        m_byAlign[0] = kAlignLeft;
    } else {
        lines[0] = whole;
        m_byAlign[0] = kAlignCentre;
    }
    for (int line = 0; line < 3; ++line) {
        if (!m_pPathText[line])
            continue;
        m_pPathText[line]->SetAlign(m_byAlign[line]);
        m_pPathText[line]->SetText(lines[line].c_str());
    }
}

void CApplicationSetDlg::Show(bool visible, uint8_t param) {
    CVelkoraAppDlg::Show(visible, param);
    if (!visible || !m_bSkinned)
        return;
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    pageui::ShowMuteState(this, m_pButtons[AS_VOL_ICON]);
    UpdateVolume(false);
    // Every visit starts a new edit from the live paths.
    std::memcpy(&kernel->m_AppPathsEdit, &kernel->m_AppPaths, sizeof kernel->m_AppPaths);
    ShowPath(kernel->m_AppPathsEdit.szPath[m_iSelected]);
    ReloadRows();
    m_pListbox[0]->SetCurrentIndex(m_iSelected);
}

void CApplicationSetDlg::SelectRow(int row) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || row < 0 || row >= APP_PATH_COUNT || row == m_iSelected)
        return;
    m_iSelected = row;
    m_pCurrentIcon = m_pIcons[row];
    ShowPath(kernel->m_AppPathsEdit.szPath[row]);
}

// ---- Actions -----------------------------------------------------------------------------

void CApplicationSetDlg::EditPath() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    char16_t* entry = kernel->m_AppPathsEdit.szPath[m_iSelected];
    // The chooser starts where the row's program lies, when that folder is still there.
    std::u16string start = g_strChooserFolder;
    const std::u16string current(entry, PathLength(entry));
    const size_t slash = current.rfind(u'/');
    if (slash != std::u16string::npos && slash > 0 &&
        plat::IsDirectory(plat::Utf16ToUtf8(current.substr(0, slash))))
        start = current.substr(0, slash);
    std::u16string chosen;
    if (!ChooseExecutable(OwnerWindow(), SkinPath(u"Chooser"), start, chosen))
        return;
    // The stored field holds 259 characters and its terminator: a longer path would name
    // another file once cut, so it is refused whole.
    if (chosen.size() >= APP_PATH_CHARS) {
        WriteLog("CApplicationSetDlg: path of %d characters refused",
                 static_cast<int>(chosen.size()));
        plat::ui::MessageBox(OwnerWindow(),
                             u"The path of this program is too long (at most 259 characters).",
                             u"Velkora", plat::ui::kMbOk);
        InvalidateOwner();
        return;
    }
    std::memset(entry, 0, APP_PATH_CHARS * sizeof(char16_t));
    std::memcpy(entry, chosen.data(), chosen.size() * sizeof(char16_t));
    ShowPath(entry);
    InvalidateOwner();
}

void CApplicationSetDlg::Save() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    std::memcpy(&kernel->m_AppPaths, &kernel->m_AppPathsEdit, sizeof kernel->m_AppPaths);
    if (!kernel->SaveAppPath())
        WriteLog("CApplicationSetDlg: AppPath.db not written");
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_APPLICATION_SET << 16) + m_byShowParam);
}

void CApplicationSetDlg::OnBack() {
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (APPTYPE_APPLICATION_SET << 16) + m_byShowParam);
}

void CApplicationSetDlg::OnButtonClick(int action) {
    switch (action) {
        case AS_VOL_ADD:
        case AS_VOL_ICON:
        case AS_VOL_DEL:
            pageui::VolumeButton(action - AS_VOL_ADD, m_pButtons[AS_VOL_ICON], this);
            break;
        case AS_EDIT:
            // The chooser's modal run waits until this paint is over.
            plat::ui::PostToUiThread([this] {
                if (m_bVisible)
                    EditPath();
            });
            break;
        case AS_SAVE:
            Save();
            break;
        case AS_EXIT:
            OnBack();
            break;
        case AS_RET_MENU:
            plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
            break;
        default:
            break;
    }
}

// ---- Pen ---------------------------------------------------------------------------------

void CApplicationSetDlg::OnLButtonDown(int x, int y) {
    if (!m_bSkinned)
        return;
    m_bPenDown = 1;
    for (int i = 0; i < AS_BUTTON_COUNT; ++i) {
        if (!settings::PressHit(m_pButtons[i], x, y))
            continue;
        m_pButtons[i]->SetPressed();
        m_byPressedIdx = static_cast<uint8_t>(i);
        if (i >= AS_EDIT) {
            for (int j = AS_EDIT; j <= AS_RET_MENU; ++j) {
                if (j != i)
                    m_pButtons[j]->SetNormal();
            }
        }
        InvalidateOwner();
        return;
    }
    if (m_pListbox[0]->IsVisible()) {
        uint8_t action = 0;
        m_pListbox[0]->OnLButtonDown(x, y, &action);
    }
    InvalidateOwner();
}

void CApplicationSetDlg::OnLButtonUp(int x, int y) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    m_bPenDown = 0;
    for (int i = 0; i < AS_BUTTON_COUNT; ++i) {
        if (!settings::ReleaseHit(m_pButtons[i], x, y))
            continue;
        if (i == m_byPressedIdx)
            m_byPendingAction = static_cast<uint8_t>(i);
        else
            m_byPressedIdx = static_cast<uint8_t>(i);
        InvalidateOwner();
        return;
    }
    uint8_t action = 0;
    m_pListbox[0]->OnLButtonUp(x, y, &action);
    if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
        int index = -1;
        m_pListbox[0]->GetCurrentIndex(&index);
        if (index < 0)
            return;
        SelectRow(index);
    }
    if (IKvButton* pressed = Button(m_byPressedIdx))
        pressed->SetNormal();
    InvalidateOwner();
}

void CApplicationSetDlg::OnMouseMove(int x, int y) {
    if (!m_bSkinned)
        return;
    IMPlayerDlg::OnMouseMove(x, y);
    if (IKvButton* pressed = Button(m_byPressedIdx))
        pressed->SetNormal();
}

// ---- Drawing -----------------------------------------------------------------------------

void CApplicationSetDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    CVelkoraAppDlg::Render(hdc);
    for (IKvButton* b : m_pButtons)
        b->Draw(hdc, 0, 0);
    m_pListbox[0]->Draw(hdc);
    if (m_pCurrentIcon)
        m_pCurrentIcon->Draw(hdc, 400, 80, 0, 0);
    for (auto* t : m_pPathText)
        t->Draw(hdc);
    if (m_byPendingAction != 255) {
        const int action = m_byPendingAction;
        m_byPendingAction = 255;
        if (IKvButton* b = Button(action))
            b->SetNormal();
        OnButtonClick(action);
        if (!m_bPenDown)
            m_byPressedIdx = 255;
        InvalidateOwner();
    }
}
