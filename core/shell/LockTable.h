// The front seat's application locks: the applications barred on the front screen while the
// board says the car is moving. The table is kept by the main dialog and stored as
// "LockInfo.db" in the base folder: 36 rows of 8 bytes, which a service stick can replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#define LOCK_INFO_FILE "LockInfo.db"
#define LOCK_TABLE_ENTRIES 36
#define LOCK_ENTRY_BYTES 8
#define LOCK_INFO_BYTES (LOCK_TABLE_ENTRIES * LOCK_ENTRY_BYTES)

// One row; stored little-endian: the application type at 0, the lock byte at 4, three bytes of
// padding that are kept as read and ignored.
struct APP_LOCK_ENTRY {
    int32_t iAppType;
    uint8_t byLocked;  // 1: barred on the front seat while the lock is in force
    uint8_t byPad[3];
};
static_assert(sizeof(APP_LOCK_ENTRY) == LOCK_ENTRY_BYTES, "a lock row is 8 bytes");
static_assert(LOCK_INFO_BYTES == 288, "the lock file is 288 bytes");

struct LOCK_TABLE {
    APP_LOCK_ENTRY entry[LOCK_TABLE_ENTRIES];
};

// Row i holds application type i; MOVIE, PHOTO, TV, SETTINGS, BROWSER and INTERNET_SERVICE
// are locked.
void SetDefaultLockTable(LOCK_TABLE& table);

// Reads the stored form. Only a whole file is taken: exactly 288 bytes, every type 0..35 and
// every lock byte 0 or 1. On false `out` is left as it was.
bool ReadLockInfo(const uint8_t* data, size_t size, LOCK_TABLE& out);
inline bool ReadLockInfo(const std::vector<uint8_t>& data, LOCK_TABLE& out) {
    return ReadLockInfo(data.data(), data.size(), out);
}
std::vector<uint8_t> WriteLockInfo(const LOCK_TABLE& table);

// Reads a lock file; false (and `out` unchanged) when it is missing, unreadable or not a good
// table.
bool LoadLockInfo(const std::string& path, LOCK_TABLE& out);

// Takes a lock file from elsewhere (a service stick): only a good table replaces `target`, and
// it does so atomically; then `table` holds it. Anything else changes neither.
bool ReplaceLockInfo(const std::string& source, const std::string& target, LOCK_TABLE& table);

// The lock byte of the first row whose type is `appType`; false (and 0) when no row has it.
bool FindAppLock(const LOCK_TABLE& table, int appType, uint8_t* locked);
