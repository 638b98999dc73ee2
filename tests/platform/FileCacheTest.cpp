#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/io/FileCache.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;

namespace {

plat::FileStamp Stamp(const std::string& path) {
    plat::FileStamp s;
    EXPECT_TRUE(plat::StampFile(path, s)) << path;
    return s;
}

}  // namespace

TEST(FileStamp, TellsContentChangesAndReplacementsApart) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteText(path, "first");
    AgeFile(path);
    const plat::FileStamp before = Stamp(path);
    EXPECT_EQ(before.size, 5);
    EXPECT_TRUE(plat::StampIsSettled(before));

    // The same size written over in place: a new modification time.
    WriteText(path, "again");
    const plat::FileStamp rewritten = Stamp(path);
    EXPECT_EQ(rewritten.inode, before.inode);
    EXPECT_EQ(rewritten.size, before.size);
    EXPECT_NE(rewritten, before);
    // Written just now: its next change could still fall into the same tick of the file time.
    EXPECT_FALSE(plat::StampIsSettled(rewritten));

    // Replaced by a rename, even with the very same size and times: another inode.
    AgeFile(path, 100);
    const plat::FileStamp aged = Stamp(path);
    WriteText(dir.File("b.ini"), "third");
    struct timespec times[2] = {{aged.mtimeNs / 1000000000, aged.mtimeNs % 1000000000},
                                {aged.mtimeNs / 1000000000, aged.mtimeNs % 1000000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, dir.File("b.ini").c_str(), times, 0), 0);
    ASSERT_EQ(std::rename(dir.File("b.ini").c_str(), path.c_str()), 0);
    const plat::FileStamp replaced = Stamp(path);
    EXPECT_EQ(replaced.mtimeNs, aged.mtimeNs);
    EXPECT_NE(replaced, aged);

    plat::FileStamp none;
    EXPECT_FALSE(plat::StampFile(dir.File("missing"), none));
    EXPECT_FALSE(plat::StampFile(dir.Path(), none));  // a folder is no file to keep
}

TEST(FileStamp, ReadGivesTheStampOfWhatWasRead) {
    TempDir dir;
    const std::string path = dir.File("data");
    WriteText(path, "0123456789");
    std::vector<uint8_t> bytes;
    plat::FileStamp stamp;
    bool stable = false;
    ASSERT_TRUE(plat::ReadWholeFileStamped(path, bytes, stamp, stable));
    EXPECT_TRUE(stable);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
    EXPECT_EQ(stamp, Stamp(path));
    EXPECT_FALSE(plat::ReadWholeFileStamped(dir.File("missing"), bytes, stamp, stable));
    EXPECT_FALSE(plat::ReadWholeFileStamped(dir.Path(), bytes, stamp, stable));
    // Above the limit: refused, as ReadWholeFile refuses it.
    EXPECT_FALSE(plat::ReadWholeFileStamped(path, bytes, stamp, stable, 4));
}

TEST(FileStamp, FilesStampedInTheClocksFutureCountAsSettled) {
    // A clock set back leaves files "from the future"; a change now would stamp them anew.
    TempDir dir;
    const std::string path = dir.File("f");
    WriteText(path, "x");
    AgeFile(path, -3600);
    EXPECT_TRUE(plat::StampIsSettled(Stamp(path)));
}

TEST(FileCache, GivesOnlyWhatWasMadeFromTheFileAsItIs) {
    TempDir dir;
    const std::string path = dir.File("v");
    WriteText(path, "one");
    AgeFile(path);
    plat::FileCache<std::string> cache(1000);
    const plat::FileStamp first = Stamp(path);
    EXPECT_EQ(cache.Find(first), nullptr);
    cache.Insert(first, std::make_shared<const std::string>("one"), 3);
    ASSERT_NE(cache.Find(first), nullptr);
    EXPECT_EQ(*cache.Find(first), "one");
    EXPECT_TRUE(cache.Contains(first));

    WriteText(path, "two");
    const plat::FileStamp second = Stamp(path);
    EXPECT_FALSE(cache.Contains(second));
    EXPECT_EQ(cache.Find(second), nullptr);
    // The stale value went with that look-up.
    EXPECT_EQ(cache.Stats().entries, 0u);
    EXPECT_EQ(cache.Stats().bytes, 0u);
    // Written just now: not kept, so that a second change in the same tick cannot be missed.
    cache.Insert(second, std::make_shared<const std::string>("two"), 3);
    EXPECT_EQ(cache.Stats().entries, 0u);

    const plat::FileCacheStats stats = cache.Stats();
    EXPECT_EQ(stats.hits, 2u);
    EXPECT_EQ(stats.misses, 2u);
}

TEST(FileCache, StaysWithinItsBoundDroppingTheLeastRecentlyUsed) {
    TempDir dir;
    std::vector<plat::FileStamp> stamps;
    for (int i = 0; i < 6; ++i) {
        const std::string path = dir.File("f" + std::to_string(i));
        WriteText(path, std::to_string(i));
        AgeFile(path);
        stamps.push_back(Stamp(path));
    }
    plat::FileCache<int> cache(100);
    for (int i = 0; i < 4; ++i)
        cache.Insert(stamps[i], std::make_shared<const int>(i), 25);
    EXPECT_EQ(cache.Stats().bytes, 100u);
    // Used last: kept when the next one comes in.
    ASSERT_NE(cache.Find(stamps[0]), nullptr);
    cache.Insert(stamps[4], std::make_shared<const int>(4), 25);
    EXPECT_LE(cache.Stats().bytes, 100u);
    EXPECT_NE(cache.Find(stamps[0]), nullptr);
    EXPECT_EQ(cache.Find(stamps[1]), nullptr);
    EXPECT_NE(cache.Find(stamps[4]), nullptr);

    // More than a quarter of the room: never kept, nothing else pushed out for it.
    const size_t before = cache.Stats().entries;
    cache.Insert(stamps[5], std::make_shared<const int>(5), 26);
    EXPECT_EQ(cache.Find(stamps[5]), nullptr);
    EXPECT_EQ(cache.Stats().entries, before);

    // A smaller limit takes effect at once.
    cache.SetLimit(50);
    EXPECT_LE(cache.Stats().bytes, 50u);
    EXPECT_EQ(cache.Stats().limit, 50u);
    cache.Clear();
    EXPECT_EQ(cache.Stats().entries, 0u);
    EXPECT_EQ(cache.Stats().bytes, 0u);
}
