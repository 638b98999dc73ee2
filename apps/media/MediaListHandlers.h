// The list handlers of the media pages: they fill the drive list (storage places, discs and
// the folders that hold media), the file list (the media files of one folder) and the music
// page's playlist list, and are the callback objects of those list boxes. Each is bound to one
// media kind, which decides the file extensions that count as media.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "library/include/IKvListbox.h"
#include "library/include/IKvPListContainer.h"

// Media kinds: the APPTYPE of the page. A handler has no kind until its page gives it one.
enum : uint8_t {
    MEDIA_KIND_MUSIC = 1,
    MEDIA_KIND_MOVIE = 2,
    MEDIA_KIND_PHOTO = 3,
    MEDIA_KIND_NONE = 255,
};

// Row kinds.
enum : uint16_t {
    ROW_NAVIGATION = 0,  // storage place, disc, folder or "(..)" row
    ROW_FOLDER_NODE = 1,
    ROW_FILE = 2,  // a file, a playlist entry or a placeholder ("No Files")
    ROW_PLAYLIST = 4,
};

#define ROW_NAME_CHARS 256
#define ROW_FOLDER_CHARS 513

// The data of every row of the media lists, copied whole by the list box. It is never stored:
// the two link words are kept for the record's size and always zero.
struct UI_LIST_ROW {
    uint16_t wKind;
    char16_t szName[ROW_NAME_CHARS];
    char16_t szFolder[ROW_FOLDER_CHARS];
    uint32_t dwNext;
    uint32_t dwPrev;
};
static_assert(sizeof(UI_LIST_ROW) == 1548, "list row is 1548 bytes");
static_assert(offsetof(UI_LIST_ROW, szFolder) == 514, "folder at 514");

// The placeholder rows; they are no paths.
#define ROW_PLAY_VCD u"Play VCD"
#define ROW_PLAY_DVD u"Play DVD"
#define ROW_NO_FILES u"No Files"
// The playlist the page plays from without showing it, and the row that makes a new one.
#define TEMP_PLAYLIST_NAME u"Temp-Playlist"
#define ADD_NEW_ROW u"Add New"

// What an entry of a new playlist carries after the file name: fifty blanks and
// "[hhmmssmmm]", the time of adding.
#define PLAYLIST_STAMP_CHARS 61
// A playlist entry's name or path without its stamp; one without a stamp stays as it is.
std::u16string CutPlaylistStamp(const std::u16string& path);

// The extensions (without the dot) that count as media of a kind; null for another kind.
const char16_t* const* MediaExtensions(uint8_t kind, int* count);
// Whether a file name ends in one of the kind's extensions, in any case.
bool IsMediaFileName(uint8_t kind, std::u16string_view name);

// The names of the kind's media files directly in a folder, in name order; false when the
// folder cannot be read.
bool ScanMediaNames(uint8_t kind, std::u16string path, std::vector<std::u16string>& names);

// A zeroed row with the fields filled; false (row untouched) when the name or the folder does
// not fit its field, since a cut path would name another file.
bool MakeListRow(uint16_t kind, std::u16string_view name, std::u16string_view folder,
                 UI_LIST_ROW& row);

// A row of a list box: the current row (index -1) or the row at `index`; null when none.
const UI_LIST_ROW* ListRowAt(KvUserInterface::IKvListbox* list, int index = -1);

// Adds a row with its text; false (and logged) when the row cannot be made.
bool AddListRow(KvUserInterface::IKvListbox* list, const char16_t* text, uint16_t kind,
                std::u16string_view name, std::u16string_view folder,
                const char16_t* imagePath = nullptr);

class CDriveListHandler final : public KvUserInterface::IKvListboxHandler {
public:
    // Folders deeper than this below a storage place are not looked at.
    static constexpr int kMaxDepth = 32;

    CDriveListHandler(KvUserInterface::IKvListbox* list, uint8_t kind);
    ~CDriveListHandler();
    CDriveListHandler(const CDriveListHandler&) = delete;
    CDriveListHandler& operator=(const CDriveListHandler&) = delete;

    void OnDraw(plat::Canvas*) override {}
    void OnLButtonUp(int, int, uint8_t*) override {}
    void OnLButtonDown(int, int, uint8_t*) override {}
    void OnMouseMove(int, int, uint8_t*) override {}

    // The current level: the storage places, or the folders of the entered one.
    void ListDrives();
    // Enters the current row.
    void EnterSelected();
    // Back to the level above, with the row of the folder left selected.
    void GoUp();
    // "(..)" and every folder below `path` that holds media, flattened in pre-order.
    void ListFolder(const std::u16string& path, int depth);
    // Whether the folder itself holds media; for a placeholder it shows that row instead.
    bool HoldsMediaFiles(const std::u16string& path);
    // Whether the folder ("...\\"), or its tree, holds a file of the kind.
    static bool HasMedia(uint8_t kind, const std::u16string& folder);
    static bool SearchMedia(uint8_t kind, const std::u16string& folder);

    // The root of the optical drive ("e:\\"), empty without one.
    static std::u16string DiscRoot();
    // Inside a storage place (not at the top level).
    bool Inside() const { return m_Stack.size() > 1; }
    const UI_LIST_ROW* Head() const { return m_Stack.empty() ? nullptr : &m_Stack.back(); }
    size_t Depth() const { return m_Stack.empty() ? 0 : m_Stack.size() - 1; }

    uint8_t m_byKind;
    KvUserInterface::IKvListbox* m_pList;
    uint8_t m_bHideDisc = 0;

private:
    void EnsureRoot();
    void ListTopLevel();
    void AddFolders(const std::string& native, const std::u16string& path, int depth);

    // Folder nodes from the root (kind 0, "root") to the head.
    std::vector<UI_LIST_ROW> m_Stack;
};

class CFileListHandler final : public KvUserInterface::IKvListboxHandler {
public:
    CFileListHandler(KvUserInterface::IKvListbox* list, uint8_t kind);

    void OnDraw(plat::Canvas*) override {}
    void OnLButtonUp(int, int, uint8_t*) override {}
    void OnLButtonDown(int, int, uint8_t*) override {}
    void OnMouseMove(int, int, uint8_t*) override {}

    // The media files of one folder, in the scanner's order; an empty path keeps the rows.
    void FillFolder(std::u16string path);

    uint8_t m_byKind;
    KvUserInterface::IKvListbox* m_pList;
};

class CPlaylistHandler final : public KvUserInterface::IKvListboxHandler {
public:
    CPlaylistHandler(KvUserInterface::IKvListbox* playlists, KvUserInterface::IKvListbox* files);
    ~CPlaylistHandler();
    CPlaylistHandler(const CPlaylistHandler&) = delete;
    CPlaylistHandler& operator=(const CPlaylistHandler&) = delete;

    void OnDraw(plat::Canvas*) override {}
    // An activated row: "Add New" makes a playlist, any other opens its playlist.
    void OnLButtonUp(int x, int y, uint8_t* action) override;
    void OnLButtonDown(int, int, uint8_t*) override {}
    void OnMouseMove(int, int, uint8_t*) override {}

    void FillPlaylists(KvMultimedia::IKvPListContainer* container);
    // "PlaylistNN" from the count + 1 on, skipping names taken.
    void CreatePlaylist();
    bool PlaylistExists(const char16_t* name);
    void AddPlaylist(const char16_t* name);
    void OpenPlaylist();
    void FillFiles(KvMultimedia::IKvPlaylist* playlist);
    // The current playlist row's name and playlist (borrowed from the container: a caller
    // that keeps it takes its own reference).
    bool TakeSelected(std::u16string& name, KvMultimedia::IKvPlaylist** playlist);

    // The playlist last handed out, with a reference of its own: the container may drop
    // its playlists (a reload, a removal) while the handler still holds one.
    void SetHanded(KvMultimedia::IKvPlaylist* playlist);

    KvUserInterface::IKvListbox* m_pList;
    KvMultimedia::IKvPlaylist* m_pHanded = nullptr;
    KvMultimedia::IKvPListContainer* m_pContainer = nullptr;
    KvUserInterface::IKvListbox* m_pFileList;
};
