// The DVD bookmark reader on arbitrary bytes: only a whole bookmark is taken, with a title and
// chapter from 1 and a position from 0, and what it takes is written back to the same bytes.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "library/multimedia/KvPlayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KvMultimedia::CKvPlayer::DvdBookmark bookmark;
    if (!KvMultimedia::CKvPlayer::ParseBookmark(data, size, &bookmark))
        return 0;
    fuzz::Check(size == KvMultimedia::CKvPlayer::kBookmarkSize);
    fuzz::Check(bookmark.title >= 1 && bookmark.chapter >= 1 && bookmark.position >= 0);
    const std::vector<uint8_t> bytes = KvMultimedia::CKvPlayer::MakeBookmark(bookmark);
    fuzz::Check(bytes.size() == size && std::memcmp(bytes.data(), data, size) == 0);
    return 0;
}
