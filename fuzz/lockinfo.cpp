// "LockInfo.db" as it may come off a service stick: taken only as a whole table of types 0..35
// with lock bytes 0 or 1, and written back byte for byte.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/shell/LockTable.h"

namespace {
void Check(bool ok) {
    if (!ok)
        std::abort();
}

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool good = size == LOCK_INFO_BYTES;
    for (size_t i = 0; good && i < LOCK_TABLE_ENTRIES; ++i) {
        const uint8_t* row = data + i * LOCK_ENTRY_BYTES;
        good = Le32(row) < LOCK_TABLE_ENTRIES && row[4] <= 1;
    }

    LOCK_TABLE table;
    SetDefaultLockTable(table);
    const LOCK_TABLE before = table;
    bool read = ReadLockInfo(data, size, table);
    Check(read == good);
    if (!read) {
        Check(std::memcmp(&table, &before, sizeof table) == 0);
        return 0;
    }
    for (const APP_LOCK_ENTRY& e : table.entry)
        Check(e.iAppType >= 0 && e.iAppType < LOCK_TABLE_ENTRIES && e.byLocked <= 1);
    std::vector<uint8_t> back = WriteLockInfo(table);
    Check(back.size() == size && std::memcmp(back.data(), data, size) == 0);
    for (int app = -1; app <= LOCK_TABLE_ENTRIES; ++app) {
        uint8_t locked = 7;
        bool found = FindAppLock(table, app, &locked);
        Check(locked <= 1);
        bool listed = false;
        for (const APP_LOCK_ENTRY& e : table.entry)
            listed = listed || e.iAppType == app;
        Check(found == listed);
    }
    return 0;
}
