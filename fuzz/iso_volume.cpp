// A data disc's first sectors as a disc in the drive may hold them: descriptors, the root
// folder's records. The reader must stay inside the sectors it was given, end in bounded time
// and give only terminated names.
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "platform/sys/DiscVolume.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input is the disc from sector 16 on; sectors beyond it cannot be read.
    constexpr size_t kSector = 2048;
    size_t reads = 0;
    plat::SectorReader read = [&](uint32_t lba, uint8_t* out) {
        ++reads;
        if (lba < 16)
            return false;
        const size_t at = (static_cast<size_t>(lba) - 16) * kSector;
        if (at >= size)
            return false;
        const size_t n = size - at < kSector ? size - at : kSector;
        std::memset(out, 0, kSector);
        std::memcpy(out, data + at, n);
        return true;
    };
    plat::DiscVolume v;
    if (plat::ReadIsoVolume(read, v)) {
        fuzz::Check(v.rootNames.size() <= 4096);
        for (const std::string& n : v.rootNames)
            fuzz::Check(!n.empty() && n.find('\0') == std::string::npos);
    }
    fuzz::Check(reads <= 32 + 2 * 256 + 1);
    return 0;
}
