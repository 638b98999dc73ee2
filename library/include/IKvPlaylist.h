// Playlist: (file name, folder) entries with a cursor for the file now playing.
#pragma once

#include "library/include/IKvList.h"

namespace KvMultimedia {

// Longest name plus folder, in UTF-16 units, that one entry holds.
enum { KVPLAYLIST_MAX_TEXT = 2044 };

// Of the plain list operations only GetCurrentIndex, GetCount, SetCurrentIndex, Release,
// RemoveAt, RemoveAll, AddRef and SetUserData work on a playlist; the others answer
// RZ_NOT_SUPPORTED and change nothing.
class IKvPlaylist : public KvUtility::IKvList {
public:
    // The read operations hand out pointers into the playlist's own copy of the entry, valid
    // until the entry is removed; on RZ_FAIL name and folder are null and type 0.
    virtual RZRESULT NextItem(char16_t** name, char16_t** folder, uint8_t* type, uint8_t wrap) = 0;
    virtual RZRESULT PrevItem(char16_t** name, char16_t** folder, uint8_t* type, uint8_t wrap) = 0;
    // index < 0 reads the current entry; the cursor does not move.
    virtual RZRESULT GetItem(char16_t** name, char16_t** folder, uint8_t* type, int index) = 0;
    virtual RZRESULT RandomItem(char16_t** name, char16_t** folder, uint8_t* type) = 0;
    // RZ_FAIL when name and folder together are longer than KVPLAYLIST_MAX_TEXT; a full
    // playlist drops the entry and still answers RZ_OK.
    virtual RZRESULT AddItem(const char16_t* name, const char16_t* folder) = 0;
    // Removes the first entry with exactly this file name.
    virtual RZRESULT RemoveItem(const char16_t* name) = 0;

protected:
    ~IKvPlaylist() = default;
};

}  // namespace KvMultimedia
