#include "platform/io/KeyValueStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestSupport.h"

using plat::KeyValueStore;
using testsupport::ReadText;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

const char* const kKey = "SOFTWARE\\Orvanel";

int64_t ModifiedNs(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return -1;
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

}  // namespace

TEST(KeyValueStore, ValuesSurviveAReopenAndReadBackExactly) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    {
        KeyValueStore store;
        ASSERT_TRUE(store.Open(path));
        EXPECT_FALSE(testsupport::Exists(path));  // nothing written before the first change
        EXPECT_TRUE(store.SetDword(kKey, "Status", 0x01030201));
        EXPECT_TRUE(store.SetString(kKey, "TimeCurrent", u"00:00:00"));
        // Quotes, backslashes, line breaks, control characters and text beyond ASCII.
        EXPECT_TRUE(
            store.SetString(kKey, "ParamF", u"D:\\Music\\\"live\"\r\n\x01\x7f\u00e9\u4e2d"));
        EXPECT_TRUE(store.SetString(kKey, "Empty", u""));
        EXPECT_TRUE(store.SetDword("Other\\Key", "Lang", 3));
    }
    KeyValueStore again;
    ASSERT_TRUE(again.Open(path));
    uint32_t v = 0;
    std::u16string s;
    EXPECT_TRUE(again.GetDword(kKey, "Status", &v));
    EXPECT_EQ(v, 0x01030201u);
    EXPECT_TRUE(again.GetString(kKey, "TimeCurrent", &s));
    EXPECT_EQ(s, u"00:00:00");
    EXPECT_TRUE(again.GetString(kKey, "ParamF", &s));
    EXPECT_EQ(s, u"D:\\Music\\\"live\"\r\n\x01\x7f\u00e9\u4e2d");
    EXPECT_TRUE(again.GetString(kKey, "Empty", &s));
    EXPECT_EQ(s, u"");
    // Names and keys ignore case; a number is not a text.
    EXPECT_TRUE(again.GetDword("other\\KEY", "lang", &v));
    EXPECT_EQ(v, 3u);
    EXPECT_FALSE(again.GetString(kKey, "Status", &s));
    EXPECT_FALSE(again.GetDword(kKey, "Missing", &v));

    // The file is one line per value, for people and outside programs alike.
    std::string text = ReadText(path);
    EXPECT_NE(text.find("[SOFTWARE\\Orvanel]\n"), std::string::npos);
    EXPECT_NE(text.find("Status = dword:01030201\n"), std::string::npos);
    EXPECT_NE(text.find("TimeCurrent = sz:\"00:00:00\"\n"), std::string::npos);
}

TEST(KeyValueStore, AnUnchangedValueIsNotWrittenAgain) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    KeyValueStore store;
    ASSERT_TRUE(store.Open(path));
    ASSERT_TRUE(store.SetDword(kKey, "Status", 1));
    const ino_t first = Inode(path);
    const int64_t when = ModifiedNs(path);
    ASSERT_TRUE(store.SetDword(kKey, "Status", 1));
    EXPECT_EQ(Inode(path), first);
    EXPECT_EQ(ModifiedNs(path), when);
    // A change replaces the file whole (a new file renamed over the old one).
    ASSERT_TRUE(store.SetDword(kKey, "Status", 2));
    EXPECT_NE(Inode(path), first);
    KeyValueStore reader;
    ASSERT_TRUE(reader.Open(path));
    uint32_t v = 0;
    EXPECT_TRUE(reader.GetDword(kKey, "Status", &v));
    EXPECT_EQ(v, 2u);
}

TEST(KeyValueStore, ChangesHeldForAStepReplaceTheFileOnceWithWhatTheStepLeft) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    KeyValueStore store;
    ASSERT_TRUE(store.Open(path));
    auto fileSays = [&] {
        KeyValueStore reader;
        uint32_t v = 0;
        return reader.Open(path) && reader.GetDword(kKey, "Status", &v) ? v : 0xDEADu;
    };
    {
        // The two seats write the one value in turn within a step.
        KeyValueStore::Batch step(store);
        ASSERT_TRUE(store.SetDword(kKey, "Status", 1));
        ASSERT_TRUE(store.SetDword(kKey, "Status", 0x01000001));
        uint32_t v = 0;
        EXPECT_TRUE(store.GetDword(kKey, "Status", &v));
        EXPECT_EQ(v, 0x01000001u) << "the store answers with what it was told at once";
        EXPECT_FALSE(std::filesystem::exists(path)) << "written when the step ends";
    }
    EXPECT_EQ(fileSays(), 0x01000001u);
    // A replaced file has the time of the new one (its number may be the old one's again).
    const int64_t first = ModifiedNs(path);
    {
        // The next step ends where the last one did: the file stays as it is.
        KeyValueStore::Batch step(store);
        ASSERT_TRUE(store.SetDword(kKey, "Status", 1));
        ASSERT_TRUE(store.SetDword(kKey, "Status", 0x01000001));
    }
    EXPECT_EQ(ModifiedNs(path), first);
    {
        // A step run inside another (a pop-up's loop) writes when it ends, not the outer one.
        KeyValueStore::Batch outer(store);
        ASSERT_TRUE(store.SetDword(kKey, "Status", 7));
        {
            KeyValueStore::Batch inner(store);
            ASSERT_TRUE(store.SetString(kKey, "TimeCurrent", u"00:01:02"));
        }
        EXPECT_EQ(fileSays(), 7u);
        ASSERT_TRUE(store.SetDword(kKey, "Status", 8));
        EXPECT_EQ(fileSays(), 7u);
    }
    EXPECT_EQ(fileSays(), 8u);
    // Outside a step every change is written at once, as before.
    ASSERT_TRUE(store.SetDword(kKey, "Status", 9));
    EXPECT_EQ(fileSays(), 9u);
}

TEST(KeyValueStore, DamagedLinesAreDroppedAndTheRestKept) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    WriteText(path,
              "Orphan = dword:1\n"
              "[SOFTWARE\\Orvanel]\n"
              "Status = dword:0000002A\r\n"
              "Bad = dword:XYZ\n"
              "TooLong = dword:123456789\n"
              "Open = sz:\"never closed\n"
              "Escape = sz:\"\\q\"\n"
              "Trailing = sz:\"a\" b\n"
              "NoEquals\n"
              "; comment\n"
              "Lang = dword:2\n"
              "[broken\n"
              "Lost = dword:5\n");
    KeyValueStore store;
    EXPECT_EQ(store.Parse(ReadText(path)), 9);
    ASSERT_TRUE(store.Open(path));
    uint32_t v = 0;
    EXPECT_TRUE(store.GetDword(kKey, "Status", &v));
    EXPECT_EQ(v, 42u);
    EXPECT_TRUE(store.GetDword(kKey, "Lang", &v));
    EXPECT_EQ(v, 2u);
    for (const char* name : {"Bad", "TooLong", "Open", "Escape", "Trailing", "Lost", "Orphan"})
        EXPECT_FALSE(store.GetDword(kKey, name, nullptr) || store.GetString(kKey, name, nullptr))
            << name;
    // The next change writes a clean file with what was kept.
    ASSERT_TRUE(store.SetDword(kKey, "Status", 0));
    KeyValueStore again;
    ASSERT_TRUE(again.Open(path));
    EXPECT_EQ(again.Parse(ReadText(path)), 0);
    EXPECT_TRUE(again.GetDword(kKey, "Lang", &v));
    EXPECT_EQ(v, 2u);
}

TEST(KeyValueStore, NamesThatCannotBeWrittenBackAreRefused) {
    TempDir dir;
    KeyValueStore store;
    ASSERT_TRUE(store.Open(dir.File("Registry.ini")));
    EXPECT_FALSE(store.SetDword(kKey, "a=b", 1));
    EXPECT_FALSE(store.SetDword(kKey, "", 1));
    EXPECT_FALSE(store.SetDword(kKey, " padded", 1));
    EXPECT_FALSE(store.SetDword(kKey, "line\nbreak", 1));
    EXPECT_FALSE(store.SetDword("with]bracket", "x", 1));
    EXPECT_FALSE(store.SetDword("", "x", 1));
    EXPECT_FALSE(testsupport::Exists(dir.File("Registry.ini")));
}

TEST(KeyValueStore, AFileThatCannotBeReadIsReplacedOnTheNextChange) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);  // a folder where the file should be
    KeyValueStore store;
    EXPECT_FALSE(store.Open(path));
    // Nothing can be renamed over a folder: the change fails and stays in memory.
    EXPECT_FALSE(store.SetDword(kKey, "Status", 7));
    uint32_t v = 0;
    EXPECT_TRUE(store.GetDword(kKey, "Status", &v));
    EXPECT_EQ(v, 7u);
    ASSERT_EQ(::rmdir(path.c_str()), 0);
    // The same value again is written now: the file never had it.
    EXPECT_TRUE(store.SetDword(kKey, "Status", 7));
    KeyValueStore reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_TRUE(reader.GetDword(kKey, "Status", &v));
    EXPECT_EQ(v, 7u);
}

TEST(KeyValueStore, RemovingAValueRewritesTheFileWithoutIt) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    KeyValueStore store;
    ASSERT_TRUE(store.Open(path));
    ASSERT_TRUE(store.SetDword(kKey, "ActionF", 5));
    ASSERT_TRUE(store.SetDword(kKey, "Status", 1));
    ASSERT_TRUE(store.Remove(kKey, "actionf"));
    EXPECT_TRUE(store.Remove(kKey, "NotThere"));
    KeyValueStore reader;
    ASSERT_TRUE(reader.Open(path));
    EXPECT_FALSE(reader.GetDword(kKey, "ActionF", nullptr));
    EXPECT_TRUE(reader.GetDword(kKey, "Status", nullptr));
}

// Both seats change "Status" every second, each to its own value, while an outside program reads
// the file: it must only ever find a whole file, and the file must end as the store does.
TEST(KeyValueStore, ReadersNeverSeeAPartOfTheFileWhileTheSeatsWrite) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    KeyValueStore store;
    ASSERT_TRUE(store.Open(path));
    // A long text, so that a file caught half written could not pass for a whole one.
    const std::u16string param(20000, u'p');
    ASSERT_TRUE(store.SetString(kKey, "ParamF", param));
    ASSERT_TRUE(store.SetDword(kKey, "Status", 0));

    constexpr int kChanges = 300;
    std::atomic<int> seatsDone{0};
    auto seat = [&](uint32_t base) {
        for (int i = 0; i < kChanges; ++i)
            store.SetDword(kKey, "Status", base + static_cast<uint32_t>(i % 2));
        ++seatsDone;
    };
    std::thread front(seat, 0x30101u);
    std::thread rear(seat, 0x01030101u);

    int reads = 0;
    std::string bad;
    // Reads until both seats are done, and once more after.
    for (bool last = false; !last; ++reads) {
        last = seatsDone.load() == 2;
        KeyValueStore reader;
        uint32_t status = 0;
        std::u16string text;
        const std::string now = ReadText(path);
        if (reader.Parse(now) != 0 || !reader.GetDword(kKey, "Status", &status) ||
            !reader.GetString(kKey, "ParamF", &text) || text != param) {
            bad = now.substr(0, 200);
            break;
        }
    }
    front.join();
    rear.join();
    EXPECT_EQ(bad, "") << "after " << reads << " reads";
    EXPECT_GT(reads, 1);
    EXPECT_EQ(ReadText(path), store.Serialize());
}

TEST(KeyValueStore, ABurstOfChangesEndsWithTheLastValueOnDisk) {
    TempDir dir;
    const std::string path = dir.File("Registry.ini");
    KeyValueStore store;
    ASSERT_TRUE(store.Open(path));
    for (uint32_t i = 1; i <= 500; ++i) {
        ASSERT_TRUE(store.SetDword(kKey, "Status", i));
        ASSERT_TRUE(
            store.SetString(kKey, "TimeCurrent", u"00:00:" + std::u16string(1, u'0' + i % 10)));
    }
    KeyValueStore reader;
    ASSERT_TRUE(reader.Open(path));
    uint32_t v = 0;
    std::u16string time;
    EXPECT_TRUE(reader.GetDword(kKey, "Status", &v));
    EXPECT_EQ(v, 500u);
    EXPECT_TRUE(reader.GetString(kKey, "TimeCurrent", &time));
    EXPECT_EQ(time, u"00:00:0");
    // No temporary file is left beside it.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"Registry.ini"});
}
