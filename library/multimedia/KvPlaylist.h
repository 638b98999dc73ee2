// Playlist: (file name, folder) entries kept in an item list.
#pragma once

#include <cstddef>

#include "library/include/IKvPlaylist.h"
#include "library/utility/KvList.h"

namespace KvMultimedia {

class CKvPlaylist final : public IKvPlaylist, public KvUtility::CKvList {
public:
    // A new playlist carries one reference: the one its maker hands out.
    CKvPlaylist();

    // The item list's operations; the blocked ones answer RZ_NOT_SUPPORTED.
    RZRESULT Next(void** data, uint8_t wrap) override;
    RZRESULT Prev(void** data, uint8_t wrap) override;
    RZRESULT GetAt(void** data, int index) override;
    RZRESULT Random(void** data) override;
    RZRESULT GetCurrentIndex(int* out) override;
    RZRESULT GetCount(int* out) override;
    RZRESULT SetCurrentIndex(int index) override;
    RZRESULT Add(const void* data, int size, const char16_t* imagePath) override;
    RZRESULT SetFlag(uint8_t value) override;
    RZRESULT GetFlag(uint8_t* out) override;
    RZRESULT SetAt(int index, const void* data, int size, const char16_t* imagePath) override;
    RZRESULT Release() override;
    RZRESULT ClearAt(int index) override;
    RZRESULT RemoveAt(int index) override;
    RZRESULT RemoveAll() override;
    RZRESULT AddRef() override;
    RZRESULT SetUserData(uint32_t value) override;

    RZRESULT NextItem(char16_t** name, char16_t** folder, uint8_t* type, uint8_t wrap) override;
    RZRESULT PrevItem(char16_t** name, char16_t** folder, uint8_t* type, uint8_t wrap) override;
    RZRESULT GetItem(char16_t** name, char16_t** folder, uint8_t* type, int index) override;
    RZRESULT RandomItem(char16_t** name, char16_t** folder, uint8_t* type) override;
    RZRESULT AddItem(const char16_t* name, const char16_t* folder) override;
    RZRESULT RemoveItem(const char16_t* name) override;

    // AddItem with known lengths (the file loader has them at hand).
    RZRESULT AddEntry(const char16_t* name, size_t nameLen, const char16_t* folder,
                      size_t folderLen);

private:
    ~CKvPlaylist() override = default;
};

}  // namespace KvMultimedia
