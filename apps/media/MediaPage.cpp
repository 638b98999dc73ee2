#include "apps/media/MediaPage.h"

#include "core/kernel/Kernel.h"
#include "core/ui/PageSetup.h"
#include "library/include/Vantrel.h"
#include "platform/text/Text.h"

namespace mediapage {

using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;
using KvUserInterface::IKvText;

namespace {

// The caption of every media button: centred both ways on one line.
constexpr uint8_t kTitleAlign = 0x26;

IVantrel* Root() {
    CKernel* kernel = CKernel::Instance();
    return kernel ? kernel->m_pRoot : nullptr;
}

}  // namespace

bool MakeLists(IKvListbox*& drive, IKvListbox*& files, uint8_t kind,
               std::unique_ptr<CDriveListHandler>& driveHandler,
               std::unique_ptr<CFileListHandler>& fileHandler) {
    IVantrel* root = Root();
    if (!root)
        return false;
    for (IKvListbox** list : {&drive, &files}) {
        if (!*list && (root->CreateListbox(list) != RZ_OK || !*list))
            return false;
        (*list)->Show(1);
    }
    driveHandler = std::make_unique<CDriveListHandler>(drive, kind);
    fileHandler = std::make_unique<CFileListHandler>(files, kind);
    drive->SetHandler(driveHandler.get());
    files->SetHandler(fileHandler.get());
    return true;
}

bool MakePlayback(KvMultimedia::IKvPlayer** player, KvMultimedia::IKvPListContainer*& container) {
    IVantrel* root = Root();
    if (!root)
        return false;
    if (player && !*player && (root->CreatePlayer(player) != RZ_OK || !*player))
        return false;
    return container || (root->CreatePListContainer(&container) == RZ_OK && container);
}

bool MakeButton(IKvButton*& slot, const MediaSkin& skin, const char16_t* key, uint8_t shown,
                const char16_t* section) {
    if (!pageui::MakeButton(slot, skin.file, section ? section : skin.ButtonSection(), key,
                            skin.folder, kTitleAlign))
        return false;
    slot->Show(shown);
    return true;
}

uint8_t KeptShown(IKvButton* slot, uint8_t fresh) {
    if (!slot)
        return fresh;
    return slot->IsVisible() ? 1 : 0;
}

void LayOutLists(IKvListbox* drive, IKvListbox* files, const MediaSkin& skin) {
    if (drive)
        drive->LoadLayout(skin.file.c_str(), skin.rear ? u"Rear Drive" : u"Drive Listbox",
                          skin.folder.c_str());
    if (files)
        files->LoadLayout(skin.file.c_str(), skin.rear ? u"Rear File" : u"File Listbox",
                          skin.folder.c_str());
}

bool MakeLabelOnce(IKvText*& slot, const Label& label) {
    if (slot)
        return true;
    slot = pageui::NewText(label.x, label.y, label.w, label.h, label.size, label.r, label.g,
                           label.b, label.align);
    if (!slot)
        return false;
    slot->Show(label.shown);
    return true;
}

std::u16string JoinWide(const std::u16string& folder, const std::u16string& name) {
    if (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/'))
        return folder + name;
    return folder + u"\\" + name;
}

std::u16string FolderOf(const std::u16string& path) {
    size_t sep = path.find_last_of(u"\\/");
    if (sep == std::u16string::npos)
        return std::u16string();
    if (sep == 2 && path.size() > 1 && path[1] == u':')
        return path.substr(0, 3);
    return path.substr(0, sep);
}

std::u16string NameOf(const std::u16string& path) {
    size_t sep = path.find_last_of(u"\\/");
    return sep == std::u16string::npos ? path : path.substr(sep + 1);
}

bool SameFolder(std::u16string a, std::u16string b) {
    while (a.size() > 3 && (a.back() == u'\\' || a.back() == u'/'))
        a.pop_back();
    while (b.size() > 3 && (b.back() == u'\\' || b.back() == u'/'))
        b.pop_back();
    return plat::StrCmpNoCase(a, b) == 0;
}

int ListCount(IKvListbox* list) {
    int count = 0;
    if (!list || list->GetCount(&count) != RZ_OK)
        return 0;
    return count;
}

int ListCurrent(IKvListbox* list) {
    int index = -1;
    if (!list || list->GetCurrentIndex(&index) != RZ_OK)
        return -1;
    return index;
}

int ListCountOf(KvUtility::IKvList* list) {
    int count = 0;
    if (!list || list->GetCount(&count) != RZ_OK)
        return 0;
    return count;
}

bool IsPlaceholderName(const std::u16string& name) {
    return name == ROW_NO_FILES || name == ROW_PLAY_VCD || name == ROW_PLAY_DVD;
}

void FillWithFileRows(KvMultimedia::IKvPlaylist* playlist, IKvListbox* files) {
    playlist->RemoveAll();
    const int count = ListCount(files);
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* row = ListRowAt(files, i);
        if (row && row->wKind == ROW_FILE && !IsPlaceholderName(row->szName))
            playlist->AddItem(row->szName, row->szFolder);
    }
    const int current = ListCurrent(files);
    if (current >= 0)
        playlist->SetCurrentIndex(current);
}

}  // namespace mediapage
