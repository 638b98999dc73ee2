// The file chooser of the application paths page: a modal window over the seat listing the
// folders and the runnable files (regular files with an execute bit) of one folder. A folder
// row opens it, "Up" goes to the parent, a file row chooses that file, "Cancel" gives up. It
// never changes the working directory.
#pragma once

#include <string>
#include <vector>

#include "core/ui/ModalDialog.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvText.h"

namespace KvMultimedia {
class IKvImage;
}

struct CHOOSER_ENTRY {
    std::u16string name;
    bool folder = false;
};

// The sub-folders and runnable files of `folder` (a path as Linux takes it, '/' separated),
// folders first, each group sorted by name; hidden entries are left out. False when the
// folder cannot be read.
bool ListExecutableFolder(const std::u16string& folder, std::vector<CHOOSER_ENTRY>& out);

// The parent of `folder` ("/" stays "/").
std::u16string ParentFolder(const std::u16string& folder);

class CChooseExecutableDlg : public CModalDialog {
public:
    // `skinFolder` holds "Chooser.ini" and the pictures it names.
    CChooseExecutableDlg(plat::ui::WindowId parent, std::u16string skinFolder,
                         std::u16string startFolder);
    ~CChooseExecutableDlg() override;

    // The dialog's size in pixels.
    static constexpr int kWidthDlu = 400;
    static constexpr int kHeightDlu = 246;

    // Shows `folder`; false (and the old folder stays) when it cannot be read.
    bool OpenFolder(const std::u16string& folder);
    // A folder row opens it, a file row chooses it and ends the run with IDOK.
    void Activate(int index);
    void Up();

    const std::u16string& Folder() const { return m_strFolder; }
    const std::vector<CHOOSER_ENTRY>& Entries() const { return m_Entries; }
    const std::u16string& Chosen() const { return m_strChosen; }
    // What a test reaches of the window.
    KvUserInterface::IKvListbox* Listbox() const { return m_pList; }
    KvUserInterface::IKvButton* UpButton() const { return m_pUp; }
    KvUserInterface::IKvButton* CancelButton() const { return m_pCancel; }

    // The chooser whose run is on now (null between runs), for tests that drive it.
    static CChooseExecutableDlg* Running();

protected:
    bool OnInitDialog() override;
    void OnEndDialog() override;
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
    void OnPenDown(plat::Point pt) override;
    void OnPenMove(plat::Point pt) override;
    void OnPenUp(plat::Point pt) override;

private:
    bool LoadSkin();
    void ReleaseObjects();
    void FillList();

    std::u16string m_strSkin;
    std::u16string m_strFolder;
    std::u16string m_strStart;
    std::u16string m_strChosen;
    std::vector<CHOOSER_ENTRY> m_Entries;
    KvMultimedia::IKvImage* m_pBackground = nullptr;
    KvUserInterface::IKvListbox* m_pList = nullptr;
    KvUserInterface::IKvButton* m_pUp = nullptr;
    KvUserInterface::IKvButton* m_pCancel = nullptr;
    KvUserInterface::IKvText* m_pTitle = nullptr;
    KvUserInterface::IKvText* m_pFolderText = nullptr;
    int m_iPressed = -1;  // 0 Up, 1 Cancel
};

// Runs the chooser over `owner` starting in `startFolder` (the root when that cannot be read).
// True with the chosen file's full path; false when the user cancelled or the chooser could
// not be shown.
bool ChooseExecutable(plat::ui::WindowId owner, const std::u16string& skinFolder,
                      const std::u16string& startFolder, std::u16string& chosen);
