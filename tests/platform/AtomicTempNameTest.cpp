#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/io/Directory.h"
#include "platform/io/File.h"
#include "tests/support/TestSupport.h"

TEST(AtomicTempName, RecognisesTheWritersOwnTemporaryFileOnly) {
    testsupport::TempDir dir;
    testsupport::WriteText(dir.File("Playlist01"), "old");
    plat::AtomicFile writer;
    ASSERT_TRUE(writer.Begin(dir.File("Playlist01")));
    ASSERT_TRUE(writer.Write("new", 3));
    // While the write is under way the folder holds the target and the temporary file.
    plat::DirectoryReader reader;
    ASSERT_TRUE(reader.Open(dir.Path()));
    const char* name;
    plat::DirEntryKind kind;
    int temps = 0, others = 0;
    while (reader.Next(name, kind)) {
        if (kind != plat::DirEntryKind::File)
            continue;
        if (plat::IsAtomicTempName(name))
            ++temps;
        else
            ++others;
    }
    EXPECT_EQ(temps, 1);
    EXPECT_EQ(others, 1);
    writer.Abort();

    for (const char* name : {"Playlist01", ".hidden", ".a.b", ".x.ab-cde", "x.ABCDEF", ".ABCDEF",
                             "..ABCDEF", "Temp-Playlist"})
        EXPECT_FALSE(plat::IsAtomicTempName(name)) << name;
    EXPECT_TRUE(plat::IsAtomicTempName(".Playlist01.a1B2c3"));
}

TEST(AtomicTempName, TheStartRemovesOnlyTemporaryFilesOfSavesCutShortBeforeIt) {
    testsupport::TempDir dir;
    // Left by a save the power cut ended, with the stored file it was to replace.
    testsupport::WriteText(dir.File("SysSettings.db"), "whole");
    testsupport::WriteText(dir.File(".SysSettings.db.Qx81zA"), "cut");
    testsupport::AgeFile(dir.File(".SysSettings.db.Qx81zA"));
    testsupport::WriteText(dir.File(".hidden"), "kept");
    testsupport::AgeFile(dir.File(".hidden"));
    std::vector<std::string> removed;
    EXPECT_EQ(plat::RemoveInterruptedSaves(dir.Path(), &removed), 1);
    EXPECT_EQ(removed, std::vector<std::string>{".SysSettings.db.Qx81zA"});
    EXPECT_FALSE(testsupport::Exists(dir.File(".SysSettings.db.Qx81zA")));
    EXPECT_EQ(testsupport::ReadText(dir.File("SysSettings.db")), "whole");
    EXPECT_TRUE(testsupport::Exists(dir.File(".hidden")));

    // A save under way now (another program's, or this one's own) is left alone.
    plat::AtomicFile writer;
    ASSERT_TRUE(writer.Begin(dir.File("SysSettings.db")));
    ASSERT_TRUE(writer.Write("new", 3));
    EXPECT_EQ(plat::RemoveInterruptedSaves(dir.Path()), 0);
    EXPECT_TRUE(writer.Commit());
    EXPECT_EQ(testsupport::ReadText(dir.File("SysSettings.db")), "new");
    EXPECT_EQ(plat::RemoveInterruptedSaves(dir.File("no such folder")), 0);
}
