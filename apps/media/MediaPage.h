// What the music, movie and photo pages share: taking up their skin (the drive and file lists
// with their handlers, the buttons of the seat's section, the labels they make once) and the
// path and list helpers their folder views use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "apps/media/MediaListHandlers.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvPListContainer.h"
#include "library/include/IKvPlayer.h"
#include "library/include/IKvPlaylist.h"
#include "library/include/IKvText.h"

namespace mediapage {

// A media page's skin on its seat: the layout file, the folder of its pictures, and whether the
// rear seat's sections are read.
struct MediaSkin {
    std::u16string file;
    std::u16string folder;
    bool rear = false;

    const char16_t* ButtonSection() const { return rear ? u"Rear Buttons" : u"Buttons"; }
};

// The drive and file lists, made where missing and shown, each given a new handler of `kind`.
bool MakeLists(KvUserInterface::IKvListbox*& drive, KvUserInterface::IKvListbox*& files,
               uint8_t kind, std::unique_ptr<CDriveListHandler>& driveHandler,
               std::unique_ptr<CFileListHandler>& fileHandler);
// The player (where the page has one) and the playlist container, made where missing.
bool MakePlayback(KvMultimedia::IKvPlayer** player, KvMultimedia::IKvPListContainer*& container);

// A button of `section` (the seat's button section when null) made anew into `slot`, its caption
// placed like every media button's, then shown or hidden by `shown`; false when the library
// cannot make one.
bool MakeButton(KvUserInterface::IKvButton*& slot, const MediaSkin& skin, const char16_t* key,
                uint8_t shown, const char16_t* section = nullptr);
// What a button made again shows: what the one in `slot` shows now (a reload keeps what the page
// showed or hid since), or `fresh` when there is none yet.
uint8_t KeptShown(KvUserInterface::IKvButton* slot, uint8_t fresh);
// The drive and file lists laid out from the seat's sections.
void LayOutLists(KvUserInterface::IKvListbox* drive, KvUserInterface::IKvListbox* files,
                 const MediaSkin& skin);

// A label the page makes once: a reload keeps the one it has, with its text.
struct Label {
    int x, y, w, h, size;
    uint8_t r, g, b;
    uint8_t shown;
    uint8_t align;
};
bool MakeLabelOnce(KvUserInterface::IKvText*& slot, const Label& label);

// "folder\\name", with one separator.
std::u16string JoinWide(const std::u16string& folder, const std::u16string& name);
// The folder of `path`; a drive's root keeps its separator.
std::u16string FolderOf(const std::u16string& path);
std::u16string NameOf(const std::u16string& path);
// The same folder, but for trailing separators and letter case.
bool SameFolder(std::u16string a, std::u16string b);

// The rows of `list`, 0 without one; its current row, -1 without one.
int ListCount(KvUserInterface::IKvListbox* list);
int ListCurrent(KvUserInterface::IKvListbox* list);
// The items of `list`, 0 without one.
int ListCountOf(KvUtility::IKvList* list);

// The first row of `list` matching `match`, or -1.
template <typename F>
int FindRow(KvUserInterface::IKvListbox* list, F match) {
    const int count = ListCount(list);
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* row = ListRowAt(list, i);
        if (row && match(*row))
            return i;
    }
    return -1;
}

// The first item of `playlist` whose name and folder `match`, or -1.
template <typename F>
int FindItem(KvMultimedia::IKvPlaylist* playlist, F match) {
    const int count = ListCountOf(playlist);
    for (int i = 0; i < count; ++i) {
        char16_t* name = nullptr;
        char16_t* folder = nullptr;
        uint8_t type = 0;
        if (playlist->GetItem(&name, &folder, &type, i) == RZ_OK && name && folder &&
            match(name, folder))
            return i;
    }
    return -1;
}

// A row that stands for no file of its own ("No Files", "Play VCD", "Play DVD").
bool IsPlaceholderName(const std::u16string& name);
// `playlist` emptied and filled with the file rows of `files`, its current item the list's
// current row.
void FillWithFileRows(KvMultimedia::IKvPlaylist* playlist, KvUserInterface::IKvListbox* files);

}  // namespace mediapage
