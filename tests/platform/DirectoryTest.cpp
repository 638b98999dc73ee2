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
