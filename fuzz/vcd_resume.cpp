// The Video CD resume file reader on arbitrary bytes: only 64 bytes are ever taken, and a
// position it takes is written back to bytes that read as the same position.
#include <cstdint>
#include <vector>

#include "apps/media/MovieResume.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int64_t position = -1;
    if (!ParseVcdResume(data, size, &position))
        return 0;
    fuzz::Check(size == VCD_RESUME_BYTES && position >= 0);
    const std::vector<uint8_t> bytes = MakeVcdResume(position);
    fuzz::Check(bytes.size() == VCD_RESUME_BYTES);
    int64_t again = -1;
    fuzz::Check(ParseVcdResume(bytes.data(), bytes.size(), &again) && again == position);
    return 0;
}
