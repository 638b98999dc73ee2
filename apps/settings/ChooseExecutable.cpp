#include "apps/settings/ChooseExecutable.h"

#include <algorithm>
#include <atomic>

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "library/include/IKvDirectory.h"
#include "library/include/IKvImage.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Surface.h"
#include "platform/io/File.h"
#include "platform/text/Text.h"

using settings::ReleaseAndClear;

namespace {

std::atomic<CChooseExecutableDlg*> g_pRunning{nullptr};

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
    if (!folder.empty() && folder.back() == u'/')
        return folder + name;
    return folder + u"/" + name;
}

}  // namespace

bool ListExecutableFolder(const std::u16string& folder, std::vector<CHOOSER_ENTRY>& out) {
    CKernel* kernel = CKernel::Instance();
    IVantrel* root = kernel ? kernel->m_pRoot : nullptr;
    if (!root || !plat::IsDirectory(plat::Utf16ToUtf8(folder)))
        return false;
    KvUtility::IKvDirectory* dir = nullptr;
    if (root->CreateDirectory(&dir) != RZ_OK || !dir)
        return false;
    std::vector<CHOOSER_ENTRY> folders;
    std::vector<CHOOSER_ENTRY> files;
    const std::string native = plat::Utf16ToUtf8(folder);
    bool ok = dir->SetPath(folder.c_str()) == RZ_OK && dir->Scan() == RZ_OK;
    if (ok) {
        char16_t name[KvUtility::KVDIR_NAME_CHARS] = {};
        uint16_t type = 0;
        for (RZRESULT r = dir->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type); r == RZ_OK;
             r = dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type)) {
            if (!name[0] || name[0] == u'.')
                continue;
            CHOOSER_ENTRY entry{name, type == KvUtility::DIR_ENTRY_FOLDER};
            if (entry.folder) {
                folders.push_back(std::move(entry));
            } else if (plat::IsExecutableFile(native + "/" + plat::Utf16ToUtf8(entry.name))) {
                files.push_back(std::move(entry));
            }
        }
    }
    dir->Release();
    if (!ok)
        return false;
    auto byName = [](const CHOOSER_ENTRY& a, const CHOOSER_ENTRY& b) { return a.name < b.name; };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    out = std::move(folders);
    out.insert(out.end(), std::make_move_iterator(files.begin()),
               std::make_move_iterator(files.end()));
    return true;
}

std::u16string ParentFolder(const std::u16string& folder) {
    std::u16string f = folder;
    while (f.size() > 1 && f.back() == u'/')
        f.pop_back();
    const size_t slash = f.rfind(u'/');
    if (slash == std::u16string::npos || slash == 0)
        return u"/";
    return f.substr(0, slash);
}

CChooseExecutableDlg* CChooseExecutableDlg::Running() {
    return g_pRunning.load();
}

CChooseExecutableDlg::CChooseExecutableDlg(plat::ui::WindowId parent, std::u16string skinFolder,
                                           std::u16string startFolder)
    : CModalDialog(kWidthDlu, kHeightDlu, parent),
      m_strSkin(std::move(skinFolder)),
      m_strStart(std::move(startFolder)) {}

CChooseExecutableDlg::~CChooseExecutableDlg() {
    Destroy();
    ReleaseObjects();
}

void CChooseExecutableDlg::ReleaseObjects() {
    ReleaseAndClear(m_pBackground);
    ReleaseAndClear(m_pList);
    ReleaseAndClear(m_pUp);
    ReleaseAndClear(m_pCancel);
    ReleaseAndClear(m_pTitle);
    ReleaseAndClear(m_pFolderText);
}

bool CChooseExecutableDlg::LoadSkin() {
    ReleaseObjects();
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    const std::u16string ini = m_strSkin + u"\\Chooser.ini";
    if (!pageui::LoadBackground(m_pBackground, ini, m_strSkin))
        return false;
    m_pUp = pageui::NewButton(ini, u"Buttons", u"Up", m_strSkin, 0x26);
    m_pCancel = pageui::NewButton(ini, u"Buttons", u"Cancel", m_strSkin, 0x26);
    m_pList = pageui::NewListbox(ini, u"Listbox", m_strSkin);
    m_pTitle = pageui::NewText(12, 6, 576, 26, 12, 255, 255, 255, 1);
    m_pFolderText = pageui::NewText(12, 34, 576, 22, 9, 200, 210, 220, 1);
    if (!m_pUp || !m_pCancel || !m_pList || !m_pTitle || !m_pFolderText)
        return false;
    m_pTitle->SetText(u"Select File...");
    return true;
}

bool CChooseExecutableDlg::OnInitDialog() {
    if (!LoadSkin())
        return false;
    if (!OpenFolder(m_strStart) && !OpenFolder(u"/"))
        return false;
    g_pRunning = this;
    return true;
}

void CChooseExecutableDlg::OnEndDialog() {
    g_pRunning = nullptr;
}

void CChooseExecutableDlg::FillList() {
    if (!m_pList)
        return;
    m_pList->RemoveAll();
    for (const CHOOSER_ENTRY& e : m_Entries)
        settings::AddTextRow(m_pList, e.folder ? (e.name + u"/").c_str() : e.name.c_str());
    m_pList->SetTopIndex(0);
    if (m_pFolderText)
        m_pFolderText->SetText(m_strFolder.c_str());
    if (Id() != plat::ui::kNoWindow)
        plat::ui::InvalidateRect(Id());
}

bool CChooseExecutableDlg::OpenFolder(const std::u16string& folder) {
    std::vector<CHOOSER_ENTRY> entries;
    if (folder.empty() || folder[0] != u'/' || !ListExecutableFolder(folder, entries))
        return false;
    m_strFolder = folder;
    m_Entries = std::move(entries);
    FillList();
    return true;
}

void CChooseExecutableDlg::Activate(int index) {
    if (index < 0 || index >= static_cast<int>(m_Entries.size()))
        return;
    const CHOOSER_ENTRY entry = m_Entries[index];
    const std::u16string path = Join(m_strFolder, entry.name);
    if (entry.folder) {
        OpenFolder(path);
        return;
    }
    m_strChosen = path;
    EndDialog(IDOK);
}

void CChooseExecutableDlg::Up() {
    OpenFolder(ParentFolder(m_strFolder));
}

void CChooseExecutableDlg::OnPaint(plat::Surface& surface, const plat::Rect&) {
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
    if (!canvas)
        return;
    canvas->FillRect(plat::Rect{0, 0, surface.Width(), surface.Height()},
                     plat::Argb(0xFF, 0x10, 0x16, 0x1E));
    if (m_pBackground)
        m_pBackground->Draw(canvas.get(), 0, 0, 0, 0);
    for (KvUserInterface::IKvText* t : {m_pTitle, m_pFolderText}) {
        if (t)
            t->Draw(canvas.get());
    }
    if (m_pList)
        m_pList->Draw(canvas.get());
    for (KvUserInterface::IKvButton* b : {m_pUp, m_pCancel}) {
        if (b)
            b->Draw(canvas.get(), 0, 0);
    }
}

void CChooseExecutableDlg::OnPenDown(plat::Point pt) {
    m_iPressed = -1;
    if (settings::PressHit(m_pUp, pt.x, pt.y))
        m_iPressed = 0;
    else if (settings::PressHit(m_pCancel, pt.x, pt.y))
        m_iPressed = 1;
    else if (m_pList) {
        uint8_t action = 0;
        m_pList->OnLButtonDown(pt.x, pt.y, &action);
    }
    plat::ui::InvalidateRect(Id());
}

void CChooseExecutableDlg::OnPenMove(plat::Point pt) {
    if (m_iPressed < 0 && m_pList) {
        uint8_t action = 0;
        m_pList->OnMouseMove(pt.x, pt.y, &action);
        plat::ui::InvalidateRect(Id());
    }
}

void CChooseExecutableDlg::OnPenUp(plat::Point pt) {
    const int pressed = m_iPressed;
    m_iPressed = -1;
    const bool up = settings::ReleaseHit(m_pUp, pt.x, pt.y);
    const bool cancel = !up && settings::ReleaseHit(m_pCancel, pt.x, pt.y);
    if (m_pUp)
        m_pUp->SetNormal();
    if (m_pCancel)
        m_pCancel->SetNormal();
    if (up || cancel) {
        if (up && pressed == 0)
            Up();
        else if (cancel && pressed == 1)
            EndDialog(IDCANCEL);
        plat::ui::InvalidateRect(Id());
        return;
    }
    if (pressed < 0 && m_pList) {
        uint8_t action = 0;
        m_pList->OnLButtonUp(pt.x, pt.y, &action);
        if (action == KvUserInterface::LISTBOX_ACTION_ROW) {
            int index = -1;
            m_pList->GetCurrentIndex(&index);
            Activate(index);
        }
    }
    plat::ui::InvalidateRect(Id());
}

bool ChooseExecutable(plat::ui::WindowId owner, const std::u16string& skinFolder,
                      const std::u16string& startFolder, std::u16string& chosen) {
    CChooseExecutableDlg dlg(owner, skinFolder, startFolder);
    if (dlg.DoModal() != IDOK || dlg.Chosen().empty())
        return false;
    chosen = dlg.Chosen();
    return true;
}
