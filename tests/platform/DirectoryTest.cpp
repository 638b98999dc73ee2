#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>

#include "platform/io/Directory.h"
#include "tests/support/TestSupport.h"

using plat::DirectoryReader;
using plat::DirEntryKind;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

std::map<std::string, DirEntryKind> ReadAll(const std::string& path) {
    std::map<std::string, DirEntryKind> out;
    DirectoryReader reader;
    EXPECT_TRUE(reader.Open(path));
    const char* name;
    DirEntryKind kind;
    while (reader.Next(name, kind))
        EXPECT_TRUE(out.emplace(name, kind).second) << "listed twice: " << name;
    return out;
}

}  // namespace

TEST(DirectoryReader, ClassifiesEntriesFollowingLinks) {
    TempDir dir;
    WriteText(dir.File("file.txt"), "x");
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0777), 0);
    ASSERT_EQ(::symlink("file.txt", dir.File("to-file").c_str()), 0);
    ASSERT_EQ(::symlink("sub", dir.File("to-sub").c_str()), 0);
    ASSERT_EQ(::symlink(".", dir.File("loop").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", dir.File("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("self", dir.File("self").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0666), 0);

    auto entries = ReadAll(dir.Path());
    std::map<std::string, DirEntryKind> expected = {
        {".", DirEntryKind::Folder},      {"..", DirEntryKind::Folder},
        {"file.txt", DirEntryKind::File}, {"sub", DirEntryKind::Folder},
        {"to-file", DirEntryKind::File},  {"to-sub", DirEntryKind::Folder},
        {"loop", DirEntryKind::Folder},   {"dangling", DirEntryKind::Other},
        {"self", DirEntryKind::Other},    {"pipe", DirEntryKind::Other},
    };
    EXPECT_EQ(entries, expected);
}

TEST(DirectoryReader, TellsLinksFromWhatTheyLeadTo) {
    TempDir dir;
    WriteText(dir.File("file.txt"), "x");
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0777), 0);
    ASSERT_EQ(::symlink("file.txt", dir.File("to-file").c_str()), 0);
    ASSERT_EQ(::symlink("sub", dir.File("to-sub").c_str()), 0);
    ASSERT_EQ(::symlink("to-sub", dir.File("to-link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", dir.File("dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0666), 0);

    std::map<std::string, std::pair<DirEntryKind, bool>> entries;
    DirectoryReader reader;
    ASSERT_TRUE(reader.Open(dir.Path()));
    const char* name;
    DirEntryKind kind;
    while (reader.Next(name, kind))
        entries[name] = {kind, reader.IsLink()};
    EXPECT_FALSE(reader.IsLink()) << "nothing is given at the end";
    std::map<std::string, std::pair<DirEntryKind, bool>> expected = {
        {".", {DirEntryKind::Folder, false}},      {"..", {DirEntryKind::Folder, false}},
        {"file.txt", {DirEntryKind::File, false}}, {"sub", {DirEntryKind::Folder, false}},
        {"to-file", {DirEntryKind::File, true}},   {"to-sub", {DirEntryKind::Folder, true}},
        {"to-link", {DirEntryKind::Folder, true}}, {"dangling", {DirEntryKind::Other, true}},
        {"pipe", {DirEntryKind::Other, false}},
    };
    EXPECT_EQ(entries, expected);

    // A link followed by a plain entry: the flag is the entry's own, not left over.
    TempDir pair;
    ASSERT_EQ(::symlink("b", pair.File("a").c_str()), 0);
    WriteText(pair.File("b"), "y");
    ASSERT_TRUE(reader.Open(pair.Path()));
    int links = 0;
    int files = 0;
    while (reader.Next(name, kind)) {
        if (kind == DirEntryKind::File) {
            ++files;
            links += reader.IsLink() ? 1 : 0;
            EXPECT_EQ(reader.IsLink(), std::string(name) == "a") << name;
        }
    }
    EXPECT_EQ(files, 2);
    EXPECT_EQ(links, 1);
}

TEST(DirectoryReader, OpenFailsOnMissingFoldersAndFiles) {
    TempDir dir;
    WriteText(dir.File("file.txt"), "x");
    DirectoryReader reader;
    EXPECT_FALSE(reader.Open(dir.File("missing")));
    EXPECT_FALSE(reader.Open(dir.File("file.txt")));
    const char* name;
    DirEntryKind kind;
    EXPECT_FALSE(reader.Next(name, kind));
    EXPECT_TRUE(reader.Open(dir.Path() + "/"));
    EXPECT_TRUE(reader.IsOpen());
    reader.Close();
    EXPECT_FALSE(reader.Next(name, kind));
}
