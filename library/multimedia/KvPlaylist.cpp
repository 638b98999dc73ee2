#include "library/multimedia/KvPlaylist.h"

#include <cstring>
#include <new>

#include "library/LibFactory.h"
#include "platform/text/Text.h"

namespace KvMultimedia {

// An entry's bytes in the list: one unit holding the type (always 0), the name and its
// terminator, the folder and its terminator, and one more terminator. The type takes a whole
// unit so that the texts handed out are properly aligned.
namespace {

constexpr size_t kRecordUnits = 2048;  // 4096 bytes: name + folder <= KVPLAYLIST_MAX_TEXT

RZRESULT ReadEntry(void* payload, char16_t** name, char16_t** folder, uint8_t* type) {
    if (!payload)
        return RZ_FAIL;
    auto* record = static_cast<char16_t*>(payload);
    char16_t* entryName = record + 1;
    if (type)
        *type = static_cast<uint8_t>(record[0]);
    if (name)
        *name = entryName;
    if (folder)
        *folder = entryName + plat::StrLen(entryName) + 1;
    return RZ_OK;
}

void ClearOut(char16_t** name, char16_t** folder, uint8_t* type) {
    if (name)
        *name = nullptr;
    if (folder)
        *folder = nullptr;
    if (type)
        *type = 0;
}

}  // namespace

RZRESULT NewPlaylist(IKvPlaylist** out) {
    if (!out)
        return RZ_FAIL;
    *out = new (std::nothrow) CKvPlaylist();
    return *out ? RZ_OK : RZ_FAIL;
}

CKvPlaylist::CKvPlaylist() {
    CKvObject::AddRef();
}

RZRESULT CKvPlaylist::Next(void**, uint8_t) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::Prev(void**, uint8_t) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::GetAt(void**, int) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::Random(void**) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::GetCurrentIndex(int* out) {
    return CKvList::GetCurrentIndex(out);
}
RZRESULT CKvPlaylist::GetCount(int* out) {
    return CKvList::GetCount(out);
}
RZRESULT CKvPlaylist::SetCurrentIndex(int index) {
    return CKvList::SetCurrentIndex(index);
}
RZRESULT CKvPlaylist::Add(const void*, int, const char16_t*) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::SetFlag(uint8_t) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::GetFlag(uint8_t*) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::SetAt(int, const void*, int, const char16_t*) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::ClearAt(int) {
    return RZ_NOT_SUPPORTED;
}
RZRESULT CKvPlaylist::RemoveAt(int index) {
    return CKvList::RemoveAt(index);
}
RZRESULT CKvPlaylist::RemoveAll() {
    return CKvList::RemoveAll();
}
RZRESULT CKvPlaylist::AddRef() {
    return CKvList::AddRef();
}
RZRESULT CKvPlaylist::SetUserData(uint32_t value) {
    return CKvList::SetUserData(value);
}

RZRESULT CKvPlaylist::Release() {
    uint16_t count = CKvObject::Release();
    if (count == 0) {
        CKvList::RemoveAll();
        delete this;
    }
    return count;
}

RZRESULT CKvPlaylist::NextItem(char16_t** name, char16_t** folder, uint8_t* type, uint8_t wrap) {
    ClearOut(name, folder, type);
    void* payload = nullptr;
    CKvList::Next(&payload, wrap);
    return ReadEntry(payload, name, folder, type);
}

RZRESULT CKvPlaylist::PrevItem(char16_t** name, char16_t** folder, uint8_t* type, uint8_t wrap) {
    ClearOut(name, folder, type);
    void* payload = nullptr;
    CKvList::Prev(&payload, wrap);
    return ReadEntry(payload, name, folder, type);
}

RZRESULT CKvPlaylist::GetItem(char16_t** name, char16_t** folder, uint8_t* type, int index) {
    ClearOut(name, folder, type);
    void* payload = nullptr;
    CKvList::GetAt(&payload, index);
    return ReadEntry(payload, name, folder, type);
}

RZRESULT CKvPlaylist::RandomItem(char16_t** name, char16_t** folder, uint8_t* type) {
    ClearOut(name, folder, type);
    void* payload = nullptr;
    CKvList::Random(&payload);
    return ReadEntry(payload, name, folder, type);
}

RZRESULT CKvPlaylist::AddItem(const char16_t* name, const char16_t* folder) {
    if (!name || !folder)
        return RZ_FAIL;
    // Bounded: an over-long text is refused without reading all of it.
    size_t nameLen = plat::StrLenN(name, KVPLAYLIST_MAX_TEXT + 1);
    size_t folderLen = plat::StrLenN(folder, KVPLAYLIST_MAX_TEXT + 1);
    return AddEntry(name, nameLen, folder, folderLen);
}

RZRESULT CKvPlaylist::AddEntry(const char16_t* name, size_t nameLen, const char16_t* folder,
                               size_t folderLen) {
    if (nameLen + folderLen > KVPLAYLIST_MAX_TEXT)
        return RZ_FAIL;
    char16_t record[kRecordUnits];
    size_t units = 0;
    record[units++] = 0;  // type
    std::memcpy(record + units, name, nameLen * sizeof(char16_t));
    units += nameLen;
    record[units++] = 0;
    std::memcpy(record + units, folder, folderLen * sizeof(char16_t));
    units += folderLen;
    record[units++] = 0;
    record[units++] = 0;  // end mark
    // A full playlist drops the entry quietly, as callers filling from a folder expect.
    CKvList::Add(record, static_cast<int>(units * sizeof(char16_t)), nullptr);
    return RZ_OK;
}

RZRESULT CKvPlaylist::RemoveItem(const char16_t* name) {
    if (!name)
        return RZ_FAIL;
    int count = Count();
    for (int i = 0; i < count; ++i) {
        char16_t* entryName = nullptr;
        if (ReadEntry(PayloadAt(i), &entryName, nullptr, nullptr) != RZ_OK)
            return RZ_FAIL;
        if (plat::StrCmp(entryName, name) == 0) {
            CKvList::RemoveAt(i);
            break;
        }
    }
    return RZ_OK;
}

}  // namespace KvMultimedia
