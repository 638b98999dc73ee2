// The user's named playlists, loaded from and saved to UTF-16 files in "PLAYLIST".
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "library/KvObject.h"
#include "library/include/IKvPListContainer.h"
#include "library/utility/KvList.h"

namespace KvMultimedia {

class CKvPlaylist;

// Playlist file: for each entry the file name line, then the folder line; each line is the
// text, U+000A and U+0000, UTF-16LE, no byte-order mark, no header.
// Appends the line pairs of a file's bytes to `playlist`. Leading blanks and tabs of a line
// are dropped; text after the last line feed and an unpaired last line are ignored.
void KvParsePlaylist(const uint8_t* bytes, size_t size, CKvPlaylist& playlist);
// The file's bytes for `playlist`.
void KvFormatPlaylist(IKvPlaylist& playlist, std::vector<uint8_t>& out);

class CKvPListContainer final : public IKvPListContainer, public CKvObject {
public:
    CKvPListContainer() = default;

    RZRESULT CreatePlaylist(const char16_t* name, IKvPlaylist** out, int* index) override;
    RZRESULT NewPlaylist(IKvPlaylist** out) override;
    RZRESULT GetCount(int* out) override;
    RZRESULT FindPlaylist(const char16_t* name, IKvPlaylist** out, int* index,
                          uint8_t partial) override;
    RZRESULT GetPlaylistAt(IKvPlaylist** out, int index) override;
    RZRESULT GetNameAt(char16_t** out, int index) override;
    RZRESULT GetCurrentName(char16_t** out) override;
    RZRESULT RenameAt(const char16_t* name, int index) override;
    RZRESULT CopyPlaylist(IKvPlaylist* dst, IKvPlaylist* src) override;
    RZRESULT LoadAll(const char16_t* folder) override;
    RZRESULT RemoveAll() override;
    RZRESULT FindItem(const char16_t* path, int* index, int start) override;
    RZRESULT SavePlaylist(const char16_t* name) override;
    RZRESULT RemovePlaylist(const char16_t* name, uint8_t partial) override;
    RZRESULT RemovePlaylistByPointer(IKvPlaylist* playlist) override;
    RZRESULT GetPlaylist(IKvPlaylist** out, const char16_t* name, uint8_t partial) override;
    RZRESULT RenamePlaylist(IKvPlaylist* playlist, const char16_t* name) override;
    RZRESULT AddRef() override;
    RZRESULT Release() override;

private:
    // The bytes of one entry of the entry list.
    struct Entry {
        char16_t* pName;         // malloc'd, owned
        IKvPlaylist* pPlaylist;  // one reference, owned
    };

    ~CKvPListContainer();
    int Count();
    // index < 0: the entry under the entry list's cursor. Null when there is none.
    Entry* EntryAt(int index);
    // First entry whose name equals (or, partial, contains) `name`; -1 when none.
    int Find(const char16_t* name, bool partial);
    int FindByPointer(const IKvPlaylist* playlist);
    void RemoveEntry(int index);
    RZRESULT Rename(Entry* entry, const char16_t* name);

    KvUtility::CKvList* m_pEntries = nullptr;  // made by the first CreatePlaylist
};

}  // namespace KvMultimedia
