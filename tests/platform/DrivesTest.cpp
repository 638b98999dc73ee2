#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Drives.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/TestSupport.h"

using namespace plat;
using testsupport::ScopedCwd;
using testsupport::ScriptedDrives;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

std::string Letters(DriveMap& map, int type) {
    std::string out;
    for (const DriveInfo& d : map.List())
        if (d.type == type)
            out += static_cast<char>(d.letter);
    return out;
}

class Drives : public ::testing::Test {
protected:
    void SetUp() override {
        m.AddOpticalDrive("sr0", 11, 0);
        for (const char* disk : {"sdb", "sdc", "sdd"}) {
            unsigned minor = static_cast<unsigned>((disk[2] - 'b' + 1) * 16);
            m.AddDisk(disk, 8, minor, true);
            m.AddPartition(disk, std::string(disk) + "1", 8, minor + 1);
        }
        m.AddDisk("sde", 8, 64, false);  // a USB hard disk: fixed
        m.AddPartition("sde", "sde1", 8, 65);
        m.Install();
    }
    DriveMap& map() { return plat::Drives(); }

    ScriptedDrives m;
};

}  // namespace

TEST_F(Drives, LettersStayWithTheirDrivesAsSticksComeAndGo) {
    std::string a = m.Folder("media/STICK A"), b = m.Folder("media/b"), c = m.Folder("media/c");
    m.Mount("/dev/sdb1", 8, 17, a);
    map().Refresh();
    // The optical drive first, then the stick.
    EXPECT_EQ(map().GetDriveType('E'), DRIVE_CDROM);
    EXPECT_EQ(map().GetDriveType('f'), DRIVE_REMOVABLE);
    EXPECT_EQ(map().Info('F').root, a);

    m.Mount("/dev/sdc1", 8, 33, b);
    map().Refresh();
    EXPECT_EQ(map().Info('G').root, b);

    m.Unmount(a);  // the first stick leaves: the second keeps G
    map().Refresh();
    EXPECT_EQ(map().GetDriveType('F'), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(map().Info('G').root, b);

    m.Mount("/dev/sdd1", 8, 49, c);  // a newcomer takes the lowest free letter
    map().Refresh();
    EXPECT_EQ(map().Info('F').root, c);
    EXPECT_EQ(map().Info('G').root, b);

    m.Mount("/dev/sdb1", 8, 17, a);  // the first stick back: its letter is taken, so H
    map().Refresh();
    EXPECT_EQ(map().Info('H').root, a);
    EXPECT_EQ(Letters(map(), DRIVE_REMOVABLE), "FGH");

    // All leave; the one that comes back first gets its own letter back, not the lowest.
    m.Unmount(a);
    m.Unmount(b);
    m.Unmount(c);
    map().Refresh();
    EXPECT_EQ(Letters(map(), DRIVE_REMOVABLE), "");
    m.Mount("/dev/sdc1", 8, 33, b);
    map().Refresh();
    EXPECT_EQ(Letters(map(), DRIVE_REMOVABLE), "G");
    EXPECT_EQ(map().GetDriveType('E'), DRIVE_CDROM);
}

TEST_F(Drives, FixedDisksOpticalAndRemovableAtTheFirstScanAndSystemMountsIgnored) {
    TempDir base;
    ScopedCwd cwd(base.Path());
    m.Mount("/dev/sdb1", 8, 17, m.Folder("stick"));
    m.MountInUserSpace("/dev/sde1", 8, 65, m.Folder("usb disk"));     // NTFS in user space
    m.Mount("/dev/sde1", 8, 65, m.Folder("usb disk again"), "ntfs");  // a second mount
    m.AddRawLine("this line is damaged");
    m.AddRawLine("90 1 8:17 /sub " + m.Folder("bound") + " rw - vfat /dev/sdb1 rw");
    map().Refresh();
    EXPECT_EQ(Letters(map(), DRIVE_FIXED), "CDE");
    EXPECT_EQ(map().Info('E').root, m.Folder("usb disk"));
    EXPECT_EQ(Letters(map(), DRIVE_CDROM), "F");
    EXPECT_EQ(Letters(map(), DRIVE_REMOVABLE), "G");
    // C and D are the program's own folder; /, /etc/hosts, /proc and tmpfs are no drives.
    EXPECT_EQ(map().Info('C').root, CurrentDirectory());
    EXPECT_EQ(map().Info('D').root, CurrentDirectory());
    EXPECT_EQ(map().List().size(), 5u);
}

TEST_F(Drives, StoredPathsOnLettersBecomeMountPaths) {
    TempDir base;
    ScopedCwd cwd(base.Path());
    std::string stick = m.Folder("media/My Stick");
    m.Mount("/dev/sdb1", 8, 17, stick);
    MakeDirectory(stick + "/Music");
    WriteText(stick + "/Music/Song.mp3", "");
    MakeDirectory(base.File("Velkora Media"));
    map().Refresh();
    EXPECT_EQ(NativePath(u"F:\\music\\song.MP3"), stick + "/Music/Song.mp3");
    EXPECT_EQ(NativePath(u"f:\\"), stick + "/");
    EXPECT_EQ(NativePath(u"D:\\Velkora Media"), base.File("Velkora Media"));
    // Letters that map onto nothing stay as they are; so do paths without a letter.
    EXPECT_EQ(NativePath(u"Q:\\x.mp3"), "Q:/x.mp3");
    EXPECT_EQ(map().MapPath("F:x"), "F:x");
    EXPECT_EQ(map().MapPath("/abs/F:/x"), "/abs/F:/x");
}

TEST_F(Drives, AnAudioCdShowsAsTrackEntriesAndGoesWithTheDisc) {
    ASSERT_EQ(map().GetDriveType('E'), DRIVE_CDROM);
    std::vector<std::string> names;
    EXPECT_FALSE(map().ListRoot('E', names));
    EXPECT_EQ(map().MediaPresent('E'), MediaState::Absent);

    m.SetDisc("/dev/sr0", DiscStatus::Audio, {{1, 0, 15000}, {2, 15000, 20000}, {3, 35000, 4500}});
    map().Refresh();
    EXPECT_EQ(map().MediaPresent('E'), MediaState::Present);
    ASSERT_TRUE(map().ListRoot('E', names));
    EXPECT_EQ(names, (std::vector<std::string>{"Track01.cda", "Track02.cda", "Track03.cda"}));
    std::string root = map().Info('E').root;
    std::vector<uint8_t> cda = testsupport::ReadBytes(root + "/Track02.cda");
    ASSERT_EQ(cda.size(), 44u);
    EXPECT_EQ(std::string(cda.begin(), cda.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(cda.begin() + 8, cda.begin() + 16), "CDDAfmt ");
    EXPECT_EQ(cda[22], 2);  // track number
    // Start 15000 + 150 frames of lead-in = 3:22:00; length 20000 frames = 4:26:50.
    EXPECT_EQ(cda[36], 0);
    EXPECT_EQ(cda[37], 22);
    EXPECT_EQ(cda[38], 3);
    EXPECT_EQ(cda[40], 50);
    EXPECT_EQ(cda[41], 26);
    EXPECT_EQ(cda[42], 4);
    std::u16string label;
    uint32_t serial = 0;
    EXPECT_TRUE(map().GetVolumeInformation('E', &label, &serial));
    EXPECT_EQ(label, u"Audio CD");

    m.SetDisc("/dev/sr0", DiscStatus::NoDisc);
    map().Refresh();
    EXPECT_FALSE(map().ListRoot('E', names));
    EXPECT_FALSE(PathExists(root));
    EXPECT_FALSE(map().GetVolumeInformation('E', &label, &serial));
}

TEST_F(Drives, AnOpticalDrivePluggedInOrPulledOutIsSeenThoughNoMountChanged) {
    map().Refresh();
    EXPECT_EQ(Letters(map(), DRIVE_CDROM), "E");
    m.AddOpticalDrive("sr1", 11, 1);
    map().Refresh();
    EXPECT_EQ(Letters(map(), DRIVE_CDROM), "EF");
    m.SetDisc("/dev/sr1", DiscStatus::Audio, {{1, 0, 15000}});
    map().Refresh();
    std::vector<std::string> names;
    ASSERT_TRUE(map().ListRoot('F', names));
    EXPECT_EQ(names, (std::vector<std::string>{"Track01.cda"}));
    EXPECT_FALSE(map().ListRoot('E', names));

    m.RemoveBlockDevice("sr1");
    map().Refresh();
    EXPECT_EQ(Letters(map(), DRIVE_CDROM), "E");
    EXPECT_EQ(map().GetDriveType('F'), DRIVE_NO_ROOT_DIR);
}

TEST_F(Drives, DataDiscEntriesInNameOrderAndTheDriveThatCannotBeAsked) {
    std::string disc = m.Folder("cdrom");
    for (const char* n : {"segment", "MPEGAV", "cdi", "VCD", "ext"})
        MakeDirectory(disc + "/" + n);
    m.Mount("/dev/sr0", 11, 0, disc, "iso9660");
    m.SetDisc("/dev/sr0", DiscStatus::Data);
    map().Refresh();
    std::vector<std::string> names;
    ASSERT_TRUE(map().ListRoot('E', names));
    EXPECT_EQ(names, (std::vector<std::string>{"cdi", "ext", "MPEGAV", "segment", "VCD"}));
    EXPECT_TRUE(map().IsDvdDrive('E'));
    EXPECT_FALSE(map().IsDvdDrive('C'));
    m.SetDisc("/dev/sr0", DiscStatus::NoDrive);
    EXPECT_EQ(map().MediaPresent('E'), MediaState::Unknown);
    EXPECT_EQ(map().MediaPresent('C'), MediaState::Unknown);
}

TEST_F(Drives, VolumeLabelsAndSerialsFromTheFileSystems) {
    std::string iso = m.Folder("images") + "/disc.iso";
    std::vector<uint8_t> pvd = testsupport::MakeIsoImage(iso, "HOLIDAY_2009");
    m.Mount(iso, 11, 0, m.Folder("cdrom"), "iso9660");
    std::string fat = m.Folder("images") + "/stick.img";
    if (!testsupport::MakeVfatImage(fat, "MYSTICK", "1A2B3C4D"))
        GTEST_SKIP() << "mkfs.vfat missing (scripts/setup installs dosfstools)";
    m.Mount(fat, 8, 17, m.Folder("stick"), "vfat");
    map().Refresh();

    std::u16string label;
    uint32_t serial = 0;
    ASSERT_TRUE(map().GetVolumeInformation('E', &label, &serial));
    EXPECT_EQ(label, u"HOLIDAY_2009");
    EXPECT_EQ(serial, IsoVolumeSerial(pvd.data()));
    ASSERT_TRUE(map().GetVolumeInformation('F', &label, &serial));
    EXPECT_EQ(label, u"MYSTICK");
    EXPECT_EQ(serial, 0x1A2B3C4Du);
    EXPECT_FALSE(map().GetVolumeInformation('Q', &label, &serial));
}

TEST(DiscFiles, IsoSerialSumsEachByteColumn) {
    std::vector<uint8_t> d(2048, 0);
    d[0] = 0x01;         // column 0 -> top byte
    d[5] = 0x02;         // column 1
    d[2046] = 0x03;      // column 2
    d[3] = d[7] = 0x80;  // column 3 wraps: 0x100 -> 0
    d[11] = 0x05;
    EXPECT_EQ(IsoVolumeSerial(d.data()), 0x01020305u);
}

TEST(DiscFiles, RealMachineHasItsBaseFolderDrives) {
    TempDir base;
    ScopedCwd cwd(base.Path());
    SetDriveProbe(std::make_unique<LinuxDriveProbe>());
    EXPECT_EQ(plat::Drives().GetDriveType('c'), DRIVE_FIXED);
    EXPECT_EQ(plat::Drives().Info('D').root, base.Path());
    // Whatever the machine holds, no system mount is offered as a drive.
    for (const DriveInfo& d : plat::Drives().List())
        EXPECT_NE(d.root, "/") << static_cast<char>(d.letter);
    SetDriveProbe(nullptr);
}
