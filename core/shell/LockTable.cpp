#include "core/shell/LockTable.h"

#include <cstring>

#include "platform/io/Binary.h"
#include "platform/io/File.h"

namespace {

// Types locked by default: MOVIE, PHOTO, TV, SETTINGS, BROWSER, INTERNET_SERVICE.
const int kDefaultLocked[] = {2, 3, 6, 8, 12, 13};

}  // namespace

void SetDefaultLockTable(LOCK_TABLE& table) {
    std::memset(&table, 0, sizeof table);
    for (int i = 0; i < LOCK_TABLE_ENTRIES; ++i)
        table.entry[i].iAppType = i;
    for (int app : kDefaultLocked)
        table.entry[app].byLocked = 1;
}

bool ReadLockInfo(const uint8_t* data, size_t size, LOCK_TABLE& out) {
    if (!data || size != LOCK_INFO_BYTES)
        return false;
    LOCK_TABLE t;
    plat::BinReader r(data, size);
    for (APP_LOCK_ENTRY& e : t.entry) {
        e.iAppType = r.I32();
        e.byLocked = r.U8();
        r.Bytes(e.byPad, sizeof e.byPad);
        // A type outside the table would bar nothing or index past it; a lock byte other than
        // 0 or 1 says the file is not a lock table.
        if (e.iAppType < 0 || e.iAppType >= LOCK_TABLE_ENTRIES || e.byLocked > 1)
            return false;
    }
    if (!r.Ok() || !r.AtEnd())
        return false;
    out = t;
    return true;
}

std::vector<uint8_t> WriteLockInfo(const LOCK_TABLE& table) {
    plat::BinWriter w;
    for (const APP_LOCK_ENTRY& e : table.entry) {
        w.I32(e.iAppType);
        w.U8(e.byLocked);
        w.Bytes(e.byPad, sizeof e.byPad);
    }
    return w.Data();
}

bool LoadLockInfo(const std::string& path, LOCK_TABLE& out) {
    std::vector<uint8_t> bytes;
    // A longer file is refused before it is read.
    if (!plat::ReadWholeFile(path, bytes, LOCK_INFO_BYTES))
        return false;
    return ReadLockInfo(bytes, out);
}

bool ReplaceLockInfo(const std::string& source, const std::string& target, LOCK_TABLE& table) {
    std::vector<uint8_t> bytes;
    LOCK_TABLE t;
    if (!plat::ReadWholeFile(source, bytes, LOCK_INFO_BYTES) || !ReadLockInfo(bytes, t))
        return false;
    // The stick's bytes as they are: the padding goes along unchanged.
    if (!plat::WriteFileAtomic(target, bytes))
        return false;
    table = t;
    return true;
}

bool FindAppLock(const LOCK_TABLE& table, int appType, uint8_t* locked) {
    for (const APP_LOCK_ENTRY& e : table.entry) {
        if (e.iAppType == appType) {
            if (locked)
                *locked = e.byLocked;
            return true;
        }
    }
    if (locked)
        *locked = 0;
    return false;
}
