#include <gtest/gtest.h>

#include <string>

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
