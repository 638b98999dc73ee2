// The playlist file parser on arbitrary bytes: whatever it loads must save and load back to
// the same entries.
#include <cstdint>
#include <string_view>
#include <vector>

#include "library/LibFactory.h"
#include "library/multimedia/KvPListContainer.h"
#include "library/multimedia/KvPlaylist.h"

namespace {

bool SameEntries(KvMultimedia::IKvPlaylist& a, KvMultimedia::IKvPlaylist& b) {
    int countA = 0, countB = 0;
    a.GetCount(&countA);
    b.GetCount(&countB);
    if (countA != countB)
        return false;
    for (int i = 0; i < countA; ++i) {
        char16_t *nameA, *folderA, *nameB, *folderB;
        uint8_t typeA, typeB;
        if (a.GetItem(&nameA, &folderA, &typeA, i) != RZ_OK ||
            b.GetItem(&nameB, &folderB, &typeB, i) != RZ_OK)
            return false;
        if (std::u16string_view(nameA) != nameB || std::u16string_view(folderA) != folderB ||
            typeA != 0 || typeB != 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvMultimedia::IKvPlaylist* first = nullptr;
    KvMultimedia::IKvPlaylist* second = nullptr;
    if (KvMultimedia::NewPlaylist(&first) != RZ_OK || KvMultimedia::NewPlaylist(&second) != RZ_OK)
        __builtin_trap();
    KvMultimedia::KvParsePlaylist(data, size, static_cast<KvMultimedia::CKvPlaylist&>(*first));

    // Walk it the ways the players do.
    char16_t *name, *folder;
    uint8_t type;
    int count = 0;
    first->GetCount(&count);
    for (int i = 0; i <= count; ++i)
        first->NextItem(&name, &folder, &type, 1);
    for (int i = 0; i <= count; ++i)
        first->PrevItem(&name, &folder, &type, 0);
    if (count > 0 && first->RandomItem(&name, &folder, &type) != RZ_OK)
        __builtin_trap();

    std::vector<uint8_t> bytes;
    KvMultimedia::KvFormatPlaylist(*first, bytes);
    KvMultimedia::KvParsePlaylist(bytes.data(), bytes.size(),
                                  static_cast<KvMultimedia::CKvPlaylist&>(*second));
    if (!SameEntries(*first, *second))
        __builtin_trap();
    first->Release();
    second->Release();
    return 0;
}
