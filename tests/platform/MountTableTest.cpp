#include <gtest/gtest.h>

#include <string>

#include "platform/sys/MountTable.h"

using plat::ParseMountInfo;

TEST(MountTable, FieldsOptionalTagsAndEscapes) {
    const char* text =
        "36 35 98:0 /mnt1 /mnt/parent\\040dir rw,noatime master:1 shared:7 - ext3 /dev/root "
        "rw,errors=continue\n"
        "120 27 8:17 / /media/user/MY\\134STICK rw,nosuid - vfat /dev/sdb1 rw\n"
        "121 27 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n";
    auto entries = ParseMountInfo(text);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].major, 98u);
    EXPECT_EQ(entries[0].minor, 0u);
    EXPECT_EQ(entries[0].root, "/mnt1");
    EXPECT_EQ(entries[0].mountPoint, "/mnt/parent dir");
    EXPECT_EQ(entries[0].fsType, "ext3");
    EXPECT_EQ(entries[0].source, "/dev/root");
    EXPECT_EQ(entries[1].mountPoint, "/media/user/MY\\STICK");
    EXPECT_EQ(entries[1].source, "/dev/sdb1");
    EXPECT_EQ(entries[2].major, 11u);
    EXPECT_EQ(entries[2].fsType, "iso9660");
}

TEST(MountTable, DamagedLinesAreSkippedAndTheRestKept) {
    std::string text =
        "garbage\n"
        "1 0 8:1 / /a rw - ext4 /dev/sda1 rw\n"
        "2 0 x:1 / /b rw - ext4 /dev/sda2 rw\n"               // bad device number
        "3 0 8:3 / /c rw shared:1 shared:2 ext4 /dev/sda3\n"  // no separator
        "4 0 8:4 relative /d rw - ext4 /dev/sda4 rw\n"        // root must be absolute
        "5 0 8:5 / /e rw -\n"                                 // cut after the separator
        "\n"
        "6 0 8:6 / /f\\04 rw - ext4 /dev/sda6 rw\n"  // escape cut short: kept as text
        "7 0 8:7 / /g rw - ext4 /dev/sda7 rw";       // last line without a newline
    auto entries = ParseMountInfo(text);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].mountPoint, "/a");
    EXPECT_EQ(entries[1].mountPoint, "/f\\04");
    EXPECT_EQ(entries[2].mountPoint, "/g");
    EXPECT_EQ(entries[2].source, "/dev/sda7");
}

TEST(MountTable, DecodeLeavesNulAndPlainBackslashesAlone) {
    EXPECT_EQ(plat::DecodeMountField("a\\000b"), "a\\000b");
    EXPECT_EQ(plat::DecodeMountField("a\\011b\\012c"), "a\tb\nc");
    EXPECT_EQ(plat::DecodeMountField("\\"), "\\");
    EXPECT_EQ(plat::DecodeMountField("\\9999"), "\\9999");
}
