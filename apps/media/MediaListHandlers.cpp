#include "apps/media/MediaListHandlers.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "library/include/IKvDirectory.h"
#include "library/include/Vantrel.h"
#include "platform/io/Directory.h"
#include "platform/io/Path.h"
#include "platform/sys/Drives.h"
#include "platform/text/Text.h"

using KvMultimedia::IKvPlaylist;
using KvMultimedia::IKvPListContainer;
using KvUserInterface::IKvListbox;

namespace {

const char16_t* const kMusicExtensions[] = {u"mp3", u"wav", u"wma", u"cda"};
const char16_t* const kMovieExtensions[] = {u"avi", u"mpg", u"mpeg", u"mp4",
                                            u"wmv", u"flv", u"vob",  u"mkv"};
const char16_t* const kPhotoExtensions[] = {u"bmp", u"jpg", u"jpeg"};

bool IsPlaceholder(std::u16string_view path) {
    return path == ROW_PLAY_VCD || path == ROW_PLAY_DVD || path == ROW_NO_FILES;
}

// One folder read once: whether it holds media directly, and its own sub-folders. Links are
// never followed into folders, so a stick whose links make a circle is read once per folder.
struct FolderContents {
    bool holdsMedia = false;
    std::vector<std::string> folders;  // native names
};

bool ReadFolder(const std::string& native, uint8_t kind, FolderContents& out) {
    plat::DirectoryReader reader;
    if (!reader.Open(native))
        return false;
    const char* name;
    plat::DirEntryKind entry;
    while (reader.Next(name, entry)) {
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        // A link to a file counts as that file; a link to a folder is not entered.
        if (entry == plat::DirEntryKind::Folder && !reader.IsLink()) {
            out.folders.push_back(name);
        } else if (entry == plat::DirEntryKind::File && !out.holdsMedia &&
                   IsMediaFileName(kind, plat::Utf8ToUtf16(name))) {
            out.holdsMedia = true;
        }
    }
    // In name order, as the disks the system was made for list them; the file system's own
    // order means nothing to a user.
    std::sort(out.folders.begin(), out.folders.end(),
              [](const std::string& a, const std::string& b) {
                  return plat::StrCmpNoCase(plat::Utf8ToUtf16(a), plat::Utf8ToUtf16(b)) < 0;
              });
    return true;
}

std::u16string WithoutTrailingSeparator(std::u16string path) {
    while (path.size() > 3 && (path.back() == u'\\' || path.back() == u'/'))
        path.pop_back();
    return path;
}

bool EndsWithSeparator(std::u16string_view path) {
    return !path.empty() && (path.back() == u'\\' || path.back() == u'/');
}

bool SearchTree(uint8_t kind, const std::string& native, int depth) {
    FolderContents c;
    if (!ReadFolder(native, kind, c))
        return false;
    if (c.holdsMedia)
        return true;
    if (depth >= CDriveListHandler::kMaxDepth)
        return false;
    for (const std::string& name : c.folders) {
        if (SearchTree(kind, plat::JoinPath(native, name), depth + 1))
            return true;
    }
    return false;
}

}  // namespace

// ---- Rows ------------------------------------------------------------------------------------

const char16_t* const* MediaExtensions(uint8_t kind, int* count) {
    switch (kind) {
        case MEDIA_KIND_MUSIC:
            *count = 4;
            return kMusicExtensions;
        case MEDIA_KIND_MOVIE:
            *count = 8;
            return kMovieExtensions;
        case MEDIA_KIND_PHOTO:
            *count = 3;
            return kPhotoExtensions;
        default:
            *count = 0;
            return nullptr;
    }
}

bool IsMediaFileName(uint8_t kind, std::u16string_view name) {
    int count = 0;
    const char16_t* const* extensions = MediaExtensions(kind, &count);
    size_t dot = name.rfind(u'.');
    if (!extensions || dot == std::u16string_view::npos || dot == 0)
        return false;
    std::u16string_view ext = name.substr(dot + 1);
    for (int i = 0; i < count; ++i) {
        if (plat::StrCmpNoCase(ext, extensions[i]) == 0)
            return true;
    }
    return false;
}

bool MakeListRow(uint16_t kind, std::u16string_view name, std::u16string_view folder,
                 UI_LIST_ROW& row) {
    if (name.size() >= ROW_NAME_CHARS || folder.size() >= ROW_FOLDER_CHARS)
        return false;
    std::memset(&row, 0, sizeof row);
    row.wKind = kind;
    plat::StrCopy(row.szName, name);
    plat::StrCopy(row.szFolder, folder);
    return true;
}

const UI_LIST_ROW* ListRowAt(IKvListbox* list, int index) {
    void* data = nullptr;
    if (!list || list->GetAt(&data, index) != RZ_OK)
        return nullptr;
    return static_cast<const UI_LIST_ROW*>(data);
}

bool AddListRow(IKvListbox* list, const char16_t* text, uint16_t kind, std::u16string_view name,
                std::u16string_view folder, const char16_t* imagePath) {
    UI_LIST_ROW row;
    if (!list)
        return false;
    if (!MakeListRow(kind, name, folder, row)) {
        WriteLog("List row left out, path too long: %s\\%s", plat::Utf16ToUtf8(folder).c_str(),
                 plat::Utf16ToUtf8(name).c_str());
        return false;
    }
    return list->AddItem(text, &row, sizeof row, imagePath) == RZ_OK;
}

// ---- Drive list ------------------------------------------------------------------------------

CDriveListHandler::CDriveListHandler(IKvListbox* list, uint8_t kind)
    : m_byKind(kind), m_pList(list) {}

CDriveListHandler::~CDriveListHandler() = default;

void CDriveListHandler::EnsureRoot() {
    if (!m_Stack.empty())
        return;
    UI_LIST_ROW root;
    MakeListRow(ROW_NAVIGATION, u"root", u"", root);
    try {
        m_Stack.push_back(root);
    } catch (const std::bad_alloc&) {
    }
}

std::u16string CDriveListHandler::DiscRoot() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return std::u16string();
    DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
    return snap.chDvd ? plat::FormatStr(u"%c:\\", snap.chDvd) : std::u16string();
}

void CDriveListHandler::ListDrives() {
    if (Inside()) {
        ListFolder(m_Stack.back().szFolder, 0);
        return;
    }
    EnsureRoot();
    if (m_Stack.empty())
        return;
    ListTopLevel();
}

void CDriveListHandler::ListTopLevel() {
    CKernel* kernel = CKernel::Instance();
    if (!m_pList || !kernel)
        return;
    // Taken under the drive mutex, so an update of the kernel thread finishes first.
    const DRIVE_SNAPSHOT snap = kernel->GetDriveSnapshot();
    m_pList->RemoveAll();

    const CCfgData* cfg = pCfgData;
    struct {
        uint8_t present;
        const char16_t* name;
        const char16_t* folder;
    } media = {0, nullptr, nullptr};
    switch (m_byKind) {
        case MEDIA_KIND_MUSIC:
            media = {snap.bFixedD, u"My Music", cfg ? cfg->m_CfgSettings.szMusicFolder : nullptr};
            break;
        case MEDIA_KIND_MOVIE:
            media = {snap.bMovieDrive, u"My Movie",
                     cfg ? cfg->m_CfgSettings.szMovieFolder : nullptr};
            break;
        case MEDIA_KIND_PHOTO:
            media = {snap.bPhotoDrive, u"My Photo",
                     cfg ? cfg->m_CfgSettings.szPhotoFolder : nullptr};
            break;
        default:
            break;
    }
    if (media.present && media.folder)
        AddListRow(m_pList, media.name, ROW_NAVIGATION, media.name, media.folder);

    const int count = snap.byCount < 24 ? snap.byCount : 24;
    for (int i = 0; i < count; ++i) {
        const char16_t letter = snap.szDrive[i];
        const std::u16string root = plat::FormatStr(u"%c:\\", letter);
        if (!SearchMedia(m_byKind, root))
            continue;
        std::u16string label;
        if (!plat::Drives().GetVolumeInformation(letter, &label, nullptr) || label.empty())
            label = plat::FormatStr(u"Storage %02d", i + 1);
        AddListRow(m_pList, label.c_str(), ROW_NAVIGATION, label, root);
    }

    if (!m_bHideDisc && snap.chDvd) {
        const char16_t* name;
        switch (snap.byDiscType) {
            case DISC_NONE:
                name = u"No Disk";
                break;
            case DISC_VCD:
                name = u"VCD";
                break;
            case DISC_DVD:
                name = u"DVD";
                break;
            case DISC_AUDIO_CD:
                name = u"Audio CD";
                break;
            default:
                name = u"CD Disk";
                break;
        }
        AddListRow(m_pList, name, ROW_NAVIGATION, name, plat::FormatStr(u"%c:\\", snap.chDvd));
    }
}

void CDriveListHandler::ListFolder(const std::u16string& path, int depth) {
    if (!m_pList)
        return;
    if (depth == 0) {
        m_pList->RemoveAll();
        const UI_LIST_ROW* head = Head();
        if (head) {
            const std::u16string text = plat::FormatStr(u"%s (..)", head->szName);
            AddListRow(m_pList, text.c_str(), ROW_NAVIGATION, text, head->szFolder);
        }
    }
    if (path.empty())
        return;
    AddFolders(plat::NativePath(path), WithoutTrailingSeparator(path), depth);
}

void CDriveListHandler::AddFolders(const std::string& native, const std::u16string& path,
                                   int depth) {
    if (depth >= kMaxDepth)
        return;
    FolderContents here;
    if (!ReadFolder(native, m_byKind, here))
        return;
    for (const std::string& name : here.folders) {
        const std::u16string name16 = plat::Utf8ToUtf16(name);
        const std::u16string full = EndsWithSeparator(path) ? path + name16 : path + u"\\" + name16;
        const std::string childNative = plat::JoinPath(native, name);
        FolderContents child;
        if (ReadFolder(childNative, m_byKind, child) && child.holdsMedia) {
            const std::u16string text = u"  " + name16;
            AddListRow(m_pList, text.c_str(), ROW_NAVIGATION, name16, full);
        }
        AddFolders(childNative, full, depth + 1);
    }
}

bool CDriveListHandler::HoldsMediaFiles(const std::u16string& path) {
    if (IsPlaceholder(path)) {
        if (m_pList) {
            m_pList->RemoveAll();
            AddListRow(m_pList, path.c_str(), ROW_FILE, path, path);
        }
        return false;
    }
    FolderContents c;
    return ReadFolder(plat::NativePath(path), m_byKind, c) && c.holdsMedia;
}

bool CDriveListHandler::HasMedia(uint8_t kind, const std::u16string& folder) {
    if (kind < MEDIA_KIND_MUSIC || kind > MEDIA_KIND_PHOTO)
        return false;
    FolderContents c;
    return ReadFolder(plat::NativePath(folder), kind, c) && c.holdsMedia;
}

bool CDriveListHandler::SearchMedia(uint8_t kind, const std::u16string& folder) {
    if (kind < MEDIA_KIND_MUSIC || kind > MEDIA_KIND_PHOTO)
        return false;
    return SearchTree(kind, plat::NativePath(folder), 0);
}

void CDriveListHandler::EnterSelected() {
    const UI_LIST_ROW* row = ListRowAt(m_pList);
    if (!row)
        return;
    EnsureRoot();
    if (m_Stack.empty())
        return;
    UI_LIST_ROW node;
    if (!MakeListRow(ROW_FOLDER_NODE, row->szName, row->szFolder, node))
        return;
    try {
        m_Stack.push_back(node);
    } catch (const std::bad_alloc&) {
        return;
    }
    ListFolder(m_Stack.back().szFolder, 0);
}

void CDriveListHandler::GoUp() {
    if (m_Stack.size() < 2)
        return;
    const std::u16string left = m_Stack.back().szName;
    m_Stack.pop_back();
    ListDrives();
    int count = 0;
    if (!m_pList || m_pList->GetCount(&count) != RZ_OK)
        return;
    int select = 0;
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* row = ListRowAt(m_pList, i);
        if (row && left == row->szName) {
            select = i;
            break;
        }
    }
    m_pList->SetCurrentIndex(select);
}

// ---- File list -------------------------------------------------------------------------------

CFileListHandler::CFileListHandler(IKvListbox* list, uint8_t kind)
    : m_byKind(kind), m_pList(list) {}

void CFileListHandler::FillFolder(std::u16string path) {
    if (path.empty() || !m_pList)
        return;
    if (path.size() > 1 && (path.back() == u'\\' || path.back() == u'/'))
        path.pop_back();
    if (IsPlaceholder(path)) {
        m_pList->RemoveAll();
        AddListRow(m_pList, path.c_str(), ROW_FILE, path, path);
        return;
    }
    std::vector<std::u16string> names;
    const bool scanned = ScanMediaNames(m_byKind, path, names);
    m_pList->RemoveAll();
    if (!scanned)
        return;
    int view = 0;
    m_pList->GetViewMode(&view);
    for (const std::u16string& file : names) {
        std::u16string image;
        if (view == KvUserInterface::LISTBOX_VIEW_GRID)
            image = plat::FormatStr(u"%s\\%s", path.c_str(), file.c_str());
        AddListRow(m_pList, file.c_str(), ROW_FILE, file, path,
                   image.empty() ? nullptr : image.c_str());
    }
}

bool ScanMediaNames(uint8_t kind, std::u16string path, std::vector<std::u16string>& names) {
    names.clear();
    if (path.size() > 1 && (path.back() == u'\\' || path.back() == u'/'))
        path.pop_back();
    CKernel* kernel = CKernel::Instance();
    KvUtility::IKvDirectory* dir = nullptr;
    if (path.empty() || !kernel || !kernel->m_pRoot ||
        kernel->m_pRoot->CreateDirectory(&dir) != RZ_OK || !dir)
        return false;
    int count = 0;
    const char16_t* const* extensions = MediaExtensions(kind, &count);
    if (!extensions)
        extensions = MediaExtensions(MEDIA_KIND_PHOTO, &count);
    // A drive's root keeps its separator ("e:" alone is no folder).
    if (path.size() == 2 && path[1] == u':')
        path += u"\\";
    dir->SetPath(path.c_str());
    dir->SetFilter(count, const_cast<const char16_t**>(extensions));
    const bool ok = dir->Scan() == RZ_OK;
    if (ok) {
        char16_t name[KvUtility::KVDIR_NAME_CHARS];
        uint16_t type = 0;
        for (RZRESULT r = dir->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type); r == RZ_OK;
             r = dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type)) {
            if (type == KvUtility::DIR_ENTRY_FILE)
                names.emplace_back(name);
        }
        // In name order, as the folders below (and the tracks of a disc) are.
        std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
            return plat::StrCmpNoCase(a, b) < 0;
        });
    }
    dir->Release();
    return ok;
}

// ---- Playlists -------------------------------------------------------------------------------

std::u16string CutPlaylistStamp(const std::u16string& path) {
    // Only a real stamp is cut: a short path, or an entry added without one, stays whole.
    if (path.size() <= PLAYLIST_STAMP_CHARS)
        return path;
    const size_t at = path.size() - PLAYLIST_STAMP_CHARS;
    for (size_t i = 0; i < 50; ++i)
        if (path[at + i] != u' ')
            return path;
    if (path[at + 50] != u'[' || path.back() != u']')
        return path;
    for (size_t i = at + 51; i < path.size() - 1; ++i)
        if (path[i] < u'0' || path[i] > u'9')
            return path;
    return path.substr(0, at);
}

CPlaylistHandler::CPlaylistHandler(IKvListbox* playlists, IKvListbox* files)
    : m_pList(playlists), m_pFileList(files) {}

CPlaylistHandler::~CPlaylistHandler() {
    SetHanded(nullptr);
}

void CPlaylistHandler::SetHanded(IKvPlaylist* playlist) {
    if (playlist)
        playlist->AddRef();
    if (m_pHanded)
        m_pHanded->Release();
    m_pHanded = playlist;
}

void CPlaylistHandler::OnLButtonUp(int, int, uint8_t* action) {
    if (!action || *action != KvUserInterface::LISTBOX_ACTION_ROW)
        return;
    const UI_LIST_ROW* row = ListRowAt(m_pList);
    if (!row)
        return;
    if (plat::StrCmp(row->szName, ADD_NEW_ROW) == 0)
        CreatePlaylist();
    else
        OpenPlaylist();
}

void CPlaylistHandler::FillPlaylists(IKvPListContainer* container) {
    m_pContainer = container;
    SetHanded(nullptr);
    if (!m_pList)
        return;
    m_pList->RemoveAll();
    int count = 0;
    if (!container || container->GetCount(&count) != RZ_OK)
        return;
    for (int i = 0; i < count; ++i) {
        char16_t* name = nullptr;
        if (container->GetNameAt(&name, i) != RZ_OK || !name)
            continue;
        AddListRow(m_pList, name, ROW_PLAYLIST, name, u"");
    }
}

bool CPlaylistHandler::PlaylistExists(const char16_t* name) {
    int count = 0;
    if (!m_pContainer || !name || m_pContainer->GetCount(&count) != RZ_OK)
        return false;
    for (int i = 0; i < count; ++i) {
        char16_t* other = nullptr;
        if (m_pContainer->GetNameAt(&other, i) == RZ_OK && other && plat::StrCmp(other, name) == 0)
            return true;
    }
    return false;
}

void CPlaylistHandler::CreatePlaylist() {
    if (m_pFileList)
        m_pFileList->RemoveAll();
    int count = 0;
    if (!m_pContainer || m_pContainer->GetCount(&count) != RZ_OK)
        return;
    int n = count + 1;
    std::u16string name = plat::FormatStr(u"Playlist%02d", n);
    while (PlaylistExists(name.c_str()))
        name = plat::FormatStr(u"Playlist%02d", ++n);
    IKvPlaylist* playlist = nullptr;
    int index = 0;
    if (m_pContainer->CreatePlaylist(name.c_str(), &playlist, &index) != RZ_OK)
        return;
    AddListRow(m_pList, name.c_str(), ROW_PLAYLIST, name, u"");
    SetHanded(nullptr);
}

void CPlaylistHandler::AddPlaylist(const char16_t* name) {
    IKvPlaylist* playlist = nullptr;
    int index = 0;
    if (!m_pContainer || !name || m_pContainer->CreatePlaylist(name, &playlist, &index) != RZ_OK)
        return;
    SetHanded(playlist);
    if (plat::StrCmp(name, TEMP_PLAYLIST_NAME) != 0) {
        AddListRow(m_pList, name, ROW_PLAYLIST, name, u"");
        SetHanded(nullptr);
    }
}

void CPlaylistHandler::OpenPlaylist() {
    const UI_LIST_ROW* row = ListRowAt(m_pList);
    IKvPlaylist* playlist = nullptr;
    int index = 0;
    if (!row || !m_pContainer ||
        m_pContainer->FindPlaylist(row->szName, &playlist, &index, 0) != RZ_OK || !playlist)
        return;
    SetHanded(playlist);
    FillFiles(playlist);
}

void CPlaylistHandler::FillFiles(IKvPlaylist* playlist) {
    if (!playlist || !m_pFileList)
        return;
    m_pFileList->RemoveAll();
    int count = 0;
    playlist->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        char16_t* name = nullptr;
        char16_t* folder = nullptr;
        uint8_t type = 0;
        if (playlist->GetItem(&name, &folder, &type, i) != RZ_OK || !name || !folder)
            continue;
        // The row keeps the entry's name; the driver sees the song's.
        AddListRow(m_pFileList, CutPlaylistStamp(name).c_str(), ROW_FILE, name, folder);
    }
}

bool CPlaylistHandler::TakeSelected(std::u16string& name, IKvPlaylist** playlist) {
    const UI_LIST_ROW* row = ListRowAt(m_pList);
    if (!row)
        return false;
    IKvPlaylist* found = nullptr;
    int index = 0;
    if (m_pContainer && m_pContainer->FindPlaylist(row->szName, &found, &index, 0) != RZ_OK)
        found = nullptr;
    name = row->szName;
    if (playlist)
        *playlist = found;
    SetHanded(nullptr);
    return true;
}
