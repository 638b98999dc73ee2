// Checks the fuzz targets share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace fuzz {

// A broken promise ends the run, so that the fuzzer keeps the input that broke it.
inline void Check(bool ok) {
    if (!ok)
        std::abort();
}

// A stored block of fixed size: `read` takes it only when whole; what it took, `write` writes
// back in the stored size, and reading and writing that again gives the same bytes.
// False when the input was refused.
template <typename T, typename Read, typename Write>
bool CheckStoredBlock(const uint8_t* data, size_t size, size_t blockSize, T& out, Read read,
                      Write write) {
    const bool taken = read(data, size, out);
    Check(taken == (size == blockSize));
    if (!taken)
        return false;
    const std::vector<uint8_t> bytes = write(out);
    Check(bytes.size() == blockSize);
    auto back = std::make_unique<T>();
    Check(read(bytes.data(), bytes.size(), *back));
    Check(write(*back) == bytes);
    return true;
}

}  // namespace fuzz
