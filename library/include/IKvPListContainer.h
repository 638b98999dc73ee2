// The user's named playlists and their files in the folder "PLAYLIST".
#pragma once

#include "library/include/IKvPlaylist.h"

namespace KvMultimedia {

// The container holds one reference to each of its playlists and releases it when the
// playlist leaves the container (removal, reload, last Release). Playlist and name pointers
// it hands out are borrowed: a caller that keeps a playlist beyond that takes its own
// reference with AddRef.
class IKvPListContainer {
public:
    // An existing playlist of exactly that name is emptied and returned; otherwise a new one.
    virtual RZRESULT CreatePlaylist(const char16_t* name, IKvPlaylist** out, int* index) = 0;
    // A playlist outside the container; the caller owns its one reference.
    virtual RZRESULT NewPlaylist(IKvPlaylist** out) = 0;
    virtual RZRESULT GetCount(int* out) = 0;
    virtual RZRESULT FindPlaylist(const char16_t* name, IKvPlaylist** out, int* index,
                                  uint8_t partial) = 0;
    // index < 0: the current entry.
    virtual RZRESULT GetPlaylistAt(IKvPlaylist** out, int index) = 0;
    virtual RZRESULT GetNameAt(char16_t** out, int index) = 0;
    virtual RZRESULT GetCurrentName(char16_t** out) = 0;
    virtual RZRESULT RenameAt(const char16_t* name, int index) = 0;
    // Replaces dst's entries with src's.
    virtual RZRESULT CopyPlaylist(IKvPlaylist* dst, IKvPlaylist* src) = 0;
    // Replaces the container's playlists with those of the files in `folder`.
    virtual RZRESULT LoadAll(const char16_t* folder) = 0;
    virtual RZRESULT RemoveAll() = 0;
    // Index of the first playlist from `start` on holding the file "folder\name" == path.
    virtual RZRESULT FindItem(const char16_t* path, int* index, int start) = 0;
    // Writes the playlist of that name to "PLAYLIST\<name>".
    virtual RZRESULT SavePlaylist(const char16_t* name) = 0;
    virtual RZRESULT RemovePlaylist(const char16_t* name, uint8_t partial) = 0;
    virtual RZRESULT RemovePlaylistByPointer(IKvPlaylist* playlist) = 0;
    virtual RZRESULT GetPlaylist(IKvPlaylist** out, const char16_t* name, uint8_t partial) = 0;
    virtual RZRESULT RenamePlaylist(IKvPlaylist* playlist, const char16_t* name) = 0;
    virtual RZRESULT AddRef() = 0;
    virtual RZRESULT Release() = 0;

protected:
    ~IKvPListContainer() = default;
};

}  // namespace KvMultimedia
