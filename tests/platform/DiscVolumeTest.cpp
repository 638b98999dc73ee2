#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/io/File.h"
#include "platform/sys/DiscMount.h"
#include "platform/sys/DiscVolume.h"
#include "platform/sys/Drives.h"
#include "tests/media/TestMedia.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/TestSupport.h"

using testsupport::MakeDiscImage;
using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

using Names = std::vector<std::string>;

class DiscVolumeTest : public ::testing::Test {
protected:
    // An image of `entries`; the test fails when it cannot be made.
    std::string Image(const std::string& name, const Names& entries, const std::string& label,
                      bool joliet = true) {
        std::string path = m_dir.File(name);
        std::string why;
        EXPECT_TRUE(MakeDiscImage(path, entries, label, joliet, &why)) << why;
        return path;
    }
    TempDir m_dir;
};

}  // namespace

TEST_F(DiscVolumeTest, RootNamesLabelAndIdComeFromTheImage) {
    std::string iso = Image("music.iso", {"Barracuda.mp3", "Arcadia/", "cover.jpg"}, "MY_MIX");
    plat::DiscVolume v;
    ASSERT_TRUE(plat::ReadDiscVolume(iso, v));
    EXPECT_EQ(v.label, "MY_MIX");
    // Joliet names as written, in the disc's own order.
    EXPECT_EQ(v.rootNames, (Names{"Arcadia", "Barracuda.mp3", "cover.jpg"}));
    // The id is the one a mounted disc gives: summed from the primary descriptor.
    std::vector<uint8_t> bytes = ReadBytes(iso);
    ASSERT_GE(bytes.size(), 17u * 2048);
    EXPECT_EQ(v.serial, plat::IsoVolumeSerial(bytes.data() + 16 * 2048));

    // Without Joliet the plain names lose their version and an empty extension.
    std::string plain =
        Image("plain.iso", {"Barracuda.mp3", "README", "VIDEO_TS/"}, "PLAIN", false);
    ASSERT_TRUE(plat::ReadDiscVolume(plain, v));
    EXPECT_EQ(v.rootNames, (Names{"BARRACUD.MP3", "README", "VIDEO_TS"}));
    EXPECT_EQ(v.label, "PLAIN");
}

TEST_F(DiscVolumeTest, TwoDiscsGiveTwoIds) {
    plat::DiscVolume a, b;
    ASSERT_TRUE(plat::ReadDiscVolume(Image("a.iso", {"VIDEO_TS/"}, "FILM_ONE"), a));
    ASSERT_TRUE(plat::ReadDiscVolume(Image("b.iso", {"VIDEO_TS/"}, "FILM_TWO"), b));
    EXPECT_NE(a.serial, b.serial);
    // The same disc read again keeps its id.
    plat::DiscVolume again;
    ASSERT_TRUE(plat::ReadDiscVolume(m_dir.File("a.iso"), again));
    EXPECT_EQ(again.serial, a.serial);
}

TEST_F(DiscVolumeTest, TruncatedOrDamagedImagesAreRefusedWhole) {
    std::string iso = Image("full.iso", {"a.mp3", "b.mp3"}, "FULL", false);
    std::vector<uint8_t> good = ReadBytes(iso);
    ASSERT_GT(good.size(), 20u * 2048);
    plat::DiscVolume v;
    v.label = "untouched";

    // Cut inside the descriptors, and just before the root folder.
    for (size_t cut : {size_t(0), size_t(16 * 2048 + 100), size_t(17 * 2048)}) {
        WriteBytes(m_dir.File("cut.iso"), std::vector<uint8_t>(good.begin(), good.begin() + cut));
        EXPECT_FALSE(plat::ReadDiscVolume(m_dir.File("cut.iso"), v)) << cut;
    }
    // Garbage, and a root record that points beyond the volume.
    std::vector<uint8_t> garbage(40 * 2048);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<uint8_t>(i * 131 + 7);
    WriteBytes(m_dir.File("garbage.iso"), garbage);
    EXPECT_FALSE(plat::ReadDiscVolume(m_dir.File("garbage.iso"), v));
    std::vector<uint8_t> far = good;
    far[16 * 2048 + 156 + 2] = 0xFF;
    far[16 * 2048 + 156 + 5] = 0x7F;
    WriteBytes(m_dir.File("far.iso"), far);
    EXPECT_FALSE(plat::ReadDiscVolume(m_dir.File("far.iso"), v));
    // A record whose name runs past its own length.
    std::vector<uint8_t> bad = good;
    const uint32_t root = bad[16 * 2048 + 158] | bad[16 * 2048 + 159] << 8;
    bad[root * 2048 + 32] = 200;
    WriteBytes(m_dir.File("bad.iso"), bad);
    EXPECT_FALSE(plat::ReadDiscVolume(m_dir.File("bad.iso"), v));
    EXPECT_EQ(v.label, "untouched");
    EXPECT_FALSE(plat::ReadDiscVolume(m_dir.File("missing.iso"), v));
}

TEST_F(DiscVolumeTest, AnUnmountedOpticalDriveShowsItsDiscFromTheDevice) {
    testsupport::ScriptedDrives m;
    m.AddOpticalDrive("sr0", 11, 0);
    m.Install();
    plat::DriveMap& drives = plat::Drives();
    drives.Refresh();
    std::vector<std::string> names;
    EXPECT_FALSE(drives.ListRoot(u'E', names));  // empty drive

    m.InsertImage("/dev/sr0", Image("disc.iso", {"Photos/", "a.jpg"}, "HOLIDAY"));
    drives.Refresh();
    plat::DriveInfo info = drives.Info(u'E');
    EXPECT_TRUE(info.unmountedData);
    EXPECT_TRUE(info.root.empty()) << "nothing to open files from";
    ASSERT_TRUE(drives.ListRoot(u'E', names));
    EXPECT_EQ(names, (Names{"a.jpg", "Photos"}));
    std::u16string label;
    uint32_t serial = 0;
    ASSERT_TRUE(drives.GetVolumeInformation(u'E', &label, &serial));
    EXPECT_EQ(label, u"HOLIDAY");
    EXPECT_NE(serial, 0u);
    // The layer asked once for the disc to be mounted, and says why it could not be.
    std::vector<std::string> notes;
    ASSERT_TRUE(testsupport::WaitFor([&] {
        for (std::string& n : drives.TakeNotes())
            notes.push_back(n);
        return !notes.empty();
    }));
    EXPECT_EQ(notes, (Names{"E: data disc \"HOLIDAY\" cannot be listed: no mounter on the "
                            "scripted machine"}));
    drives.Refresh();
    EXPECT_EQ(m.MountsAsked(), (Names{"/dev/sr0"}));
    EXPECT_TRUE(drives.TakeNotes().empty());

    m.SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    drives.Refresh();
    EXPECT_FALSE(drives.Info(u'E').unmountedData);
    EXPECT_FALSE(drives.ListRoot(u'E', names));
    EXPECT_FALSE(drives.GetVolumeInformation(u'E', &label, &serial));

    // The same disc again is asked for again; this time the system mounts it.
    m.AnswerMounts("/media/holiday", "");
    m.InsertImage("/dev/sr0", m_dir.File("disc.iso"));
    drives.Refresh();
    notes.clear();
    ASSERT_TRUE(testsupport::WaitFor([&] {
        for (std::string& n : drives.TakeNotes())
            notes.push_back(n);
        return !notes.empty();
    }));
    EXPECT_EQ(notes, (Names{"E: data disc \"HOLIDAY\" mounted at /media/holiday"}));
    EXPECT_EQ(m.MountsAsked().size(), 2u);
}

TEST_F(DiscVolumeTest, ADvdVideoWithOnlyItsUdfFileSystemIsReadThroughTheDvdReader) {
    const std::string dvd = testmedia::Dvd();
    ASSERT_FALSE(dvd.empty());
    const std::string iso = m_dir.File("film.iso");
    ASSERT_TRUE(testmedia::RunTool(
        {"genisoimage", "-quiet", "-udf", "-dvd-video", "-V", "FILM", "-o", iso, dvd}));
    plat::DiscVolume bridge;
    ASSERT_TRUE(plat::ReadDiscVolume(iso, bridge));
    EXPECT_NE(std::find(bridge.rootNames.begin(), bridge.rootNames.end(), "VIDEO_TS"),
              bridge.rootNames.end());

    // The ISO 9660 side gone: only UDF is left, as on many pressed DVDs.
    std::vector<uint8_t> bytes = ReadBytes(iso);
    ASSERT_GT(bytes.size(), 17u * 2048);
    std::memset(bytes.data() + 16 * 2048, 0, 2048);
    WriteBytes(iso, bytes);
    plat::DiscVolume udf;
    ASSERT_TRUE(plat::ReadDiscVolume(iso, udf));
    EXPECT_EQ(udf.rootNames, (Names{"VIDEO_TS"}));
    EXPECT_EQ(udf.label, "FILM");
    EXPECT_NE(udf.serial, 0u);
    plat::DiscVolume again;
    ASSERT_TRUE(plat::ReadDiscVolume(iso, again));
    EXPECT_EQ(again.serial, udf.serial);
}

TEST(DiscMount, WithoutUdisksOrABlockDeviceTheAnswerSaysWhyForBoth) {
    TempDir dir;
    std::string why;
    ASSERT_TRUE(MakeDiscImage(dir.File("d.iso"), {"a.mp3"}, "D", true, &why)) << why;
    // No system bus here, whatever the machine has: nothing is mounted for real.
    const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string saved = old ? old : "";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + dir.File("no-bus")).c_str(), 1);
    std::string point;
    EXPECT_FALSE(plat::MountDisc(dir.File("d.iso"), dir.File("mnt"), point, why));
    if (old)
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
    else
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_NE(why.find("udisks2: "), std::string::npos) << why;
    EXPECT_NE(why.find("mount: "), std::string::npos) << why;
    EXPECT_FALSE(testsupport::Exists(dir.File("mnt"))) << "no folder left behind";
}
