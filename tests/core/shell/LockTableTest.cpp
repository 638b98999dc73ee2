#include "core/shell/LockTable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// A table written by hand in the stored form: row i has type i, the given locks, and padding
// bytes as a unit may leave them.
std::vector<uint8_t> StoredTable(std::initializer_list<int> locked, uint8_t pad = 0xCC) {
    std::vector<uint8_t> b;
    for (int i = 0; i < 36; ++i) {
        b.insert(b.end(), {static_cast<uint8_t>(i), 0, 0, 0});
        bool on = false;
        for (int l : locked)
            on = on || l == i;
        b.push_back(on ? 1 : 0);
        b.insert(b.end(), {pad, pad, pad});
    }
    return b;
}

std::vector<int> Locked(const LOCK_TABLE& t) {
    std::vector<int> out;
    for (int app = 0; app < 36; ++app) {
        uint8_t l = 0;
        if (FindAppLock(t, app, &l) && l)
            out.push_back(app);
    }
    return out;
}

}  // namespace

TEST(LockTable, DefaultsBarTheSixApplicationsNotForDriving) {
    LOCK_TABLE t;
    std::memset(&t, 0xAB, sizeof t);
    SetDefaultLockTable(t);
    EXPECT_EQ(Locked(t), (std::vector<int>{2, 3, 6, 8, 12, 13}));
    for (int i = 0; i < 36; ++i)
        EXPECT_EQ(t.entry[i].iAppType, i);
    // The stored form of the defaults has zero padding.
    std::vector<uint8_t> bytes = WriteLockInfo(t);
    ASSERT_EQ(bytes.size(), 288u);
    EXPECT_EQ(bytes, StoredTable({2, 3, 6, 8, 12, 13}, 0));
}

TEST(LockTable, OnlyAWholeTableOfKnownTypesAndFlagsIsTaken) {
    TempDir dir;
    const std::vector<uint8_t> good = StoredTable({1, 4});
    std::vector<std::pair<std::string, std::vector<uint8_t>>> bad;
    bad.push_back({"empty", {}});
    bad.push_back({"short", std::vector<uint8_t>(good.begin(), good.end() - 1)});
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    bad.push_back({"long", longer});
    bad.push_back({"twice", [&] {
                       std::vector<uint8_t> v = good;
                       v.insert(v.end(), good.begin(), good.end());
                       return v;
                   }()});
    std::vector<uint8_t> v = good;
    v[35 * 8] = 36;  // type 36
    bad.push_back({"type 36", v});
    v = good;
    v[0] = 0xFF, v[1] = 0xFF, v[2] = 0xFF, v[3] = 0xFF;  // type -1
    bad.push_back({"type -1", v});
    v = good;
    v[7 * 8 + 4] = 2;  // lock byte 2
    bad.push_back({"lock byte 2", v});

    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(name);
        LOCK_TABLE t;
        SetDefaultLockTable(t);
        EXPECT_FALSE(ReadLockInfo(bytes, t));
        WriteBytes(dir.File("LockInfo.db"), bytes);
        EXPECT_FALSE(LoadLockInfo(dir.File("LockInfo.db"), t));
        EXPECT_EQ(Locked(t), (std::vector<int>{2, 3, 6, 8, 12, 13})) << "the table is kept";
    }

    LOCK_TABLE t;
    SetDefaultLockTable(t);
    EXPECT_FALSE(LoadLockInfo(dir.File("missing.db"), t));
    WriteBytes(dir.File("LockInfo.db"), good);
    ASSERT_TRUE(LoadLockInfo(dir.File("LockInfo.db"), t));
    EXPECT_EQ(Locked(t), (std::vector<int>{1, 4}));
    // The padding comes back as it was read.
    EXPECT_EQ(WriteLockInfo(t), good);
}

TEST(LockTable, RowsAreLookedUpByTheirTypeNotTheirPlace) {
    // A table listing SETTINGS first, twice, and never listing RADIO.
    std::vector<uint8_t> b = StoredTable({});
    b[0] = 8;
    b[4] = 1;      // row 0: SETTINGS locked
    b[4 * 8] = 8;  // row 4: SETTINGS again, free
    LOCK_TABLE t;
    ASSERT_TRUE(ReadLockInfo(b, t));
    uint8_t locked = 9;
    EXPECT_TRUE(FindAppLock(t, 8, &locked));
    EXPECT_EQ(locked, 1) << "the first row of a type counts";
    EXPECT_FALSE(FindAppLock(t, 4, &locked));
    EXPECT_EQ(locked, 0) << "a type with no row is free";
    EXPECT_FALSE(FindAppLock(t, 0, &locked));
}

TEST(LockTable, AStickFileReplacesOursOnlyWhenItIsGood) {
    TempDir stick, base;
    const std::string ours = base.File("LockInfo.db");
    const std::vector<uint8_t> oursBytes = StoredTable({2, 3});
    WriteBytes(ours, oursBytes);
    LOCK_TABLE table;
    ASSERT_TRUE(LoadLockInfo(ours, table));

    // Missing, short, damaged, a folder, a named pipe: ours stays as it was, byte for byte.
    std::vector<uint8_t> damaged = StoredTable({5});
    damaged[100] = 77;
    WriteBytes(stick.File("short.db"), std::vector<uint8_t>(10, 0));
    WriteBytes(stick.File("damaged.db"), damaged);
    ASSERT_EQ(::mkdir(stick.File("folder.db").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(stick.File("pipe.db").c_str(), 0644), 0);
    for (const char* name : {"missing.db", "short.db", "damaged.db", "folder.db", "pipe.db"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(ReplaceLockInfo(stick.File(name), ours, table));
        EXPECT_EQ(ReadBytes(ours), oursBytes);
        EXPECT_EQ(Locked(table), (std::vector<int>{2, 3}));
    }

    const std::vector<uint8_t> fresh = StoredTable({7, 30}, 0x5A);
    WriteBytes(stick.File("LockInfo.db"), fresh);
    ASSERT_TRUE(ReplaceLockInfo(stick.File("LockInfo.db"), ours, table));
    EXPECT_EQ(ReadBytes(ours), fresh) << "the stick's bytes, padding and all";
    EXPECT_EQ(Locked(table), (std::vector<int>{7, 30}));
}

TEST(LockTable, ATableThatCannotBeStoredIsNotTaken) {
    TempDir stick, base;
    const std::string ours = base.File("LockInfo.db");
    WriteBytes(ours, StoredTable({2}));
    WriteBytes(stick.File("LockInfo.db"), StoredTable({9}));
    ASSERT_EQ(::chmod(base.Path().c_str(), 0555), 0);
    int rc = testsupport::RunWithPermissionsEnforced(
        [&] {
            LOCK_TABLE table;
            SetDefaultLockTable(table);
            bool replaced = ReplaceLockInfo(stick.File("LockInfo.db"), ours, table);
            return !replaced && Locked(table) == std::vector<int>{2, 3, 6, 8, 12, 13};
        },
        base.Path());
    ::chmod(base.Path().c_str(), 0755);
    if (rc == 2)
        GTEST_SKIP() << "permissions are not enforced here";
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadBytes(ours), StoredTable({2}));
}
