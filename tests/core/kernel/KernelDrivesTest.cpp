#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/kernel/KernelDrives.h"
#include "core/kernel/LogWriter.h"
#include "platform/io/File.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/TestSupport.h"

using plat::DiscStatus;
using testsupport::ScopedCwd;
using testsupport::ScriptedDrives;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

// The kernel's side as the drive part sees it.
class Host : public IDriveHost {
public:
    void EnsureConfigData() override { ++configAsked; }
    char16_t MovieFolderDrive() override { return movie; }
    char16_t PhotoFolderDrive() override { return photo; }
    uint8_t MovieCellLock() override { return movieLock; }
    bool LocksFree() override { return locksFree; }

    int configAsked = 0;
    char16_t movie = u'D';
    char16_t photo = u'H';
    uint8_t movieLock = 0;
    bool locksFree = true;
};

class KernelDrives : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetClock(&m_clock);
        ResetLogForTesting();
        WriteText("log.txt", "");
        m.AddOpticalDrive("sr0", 11, 0);
        m.AddDisk("sdb", 8, 16, true);
        m.AddPartition("sdb", "sdb1", 8, 17);
        m.AddDisk("sdc", 8, 32, true);
        m.AddPartition("sdc", "sdc1", 8, 33);
        m.AddDisk("sdh", 8, 112, false);  // a USB hard disk
        m.AddPartition("sdh", "sdh1", 8, 113);
        m.Install();
        k.SetDriveHost(&host);
    }
    void TearDown() override {
        plat::SetClock(nullptr);
        ResetLogForTesting();
    }

    // A disc shaped by `entries` (folders end in '/') goes into the DVD drive.
    void InsertDisc(const std::vector<std::string>& entries) {
        std::string disc = m.Folder("disc" + std::to_string(++m_discs));
        for (const std::string& e : entries) {
            if (!e.empty() && e.back() == '/')
                plat::MakeDirectory(disc + "/" + e.substr(0, e.size() - 1));
            else
                WriteText(disc + "/" + e, "x");
        }
        m_disc = disc;
        m.Mount("/dev/sr0", 11, 0, disc, "udf");
        m.SetDisc("/dev/sr0", DiscStatus::Data);
    }
    void EjectDisc() {
        m.Unmount(m_disc);
        m.SetDisc("/dev/sr0", DiscStatus::NoDisc);
    }
    // One second of the main timer.
    void Tick() {
        m_clock.Advance(1001);
        ASSERT_TRUE(k.CheckDrivesPeriodic());
    }
    uint8_t DiscType() { return k.GetDriveSnapshot().byDiscType; }
    uint8_t TypeOf(const std::vector<std::string>& entries) {
        InsertDisc(entries);
        Tick();
        uint8_t t = DiscType();
        EjectDisc();
        Tick();
        return t;
    }

    TempDir m_base;
    ScopedCwd m_cwd{m_base.Path()};
    plat::ManualClock m_clock;
    ScriptedDrives m;
    Host host;
    CKernelDrives k;
    std::string m_disc;
    int m_discs = 0;
};

std::u16string Listed(const DRIVE_SNAPSHOT& s) {
    return std::u16string(s.szDrive, s.byCount);
}

}  // namespace

TEST_F(KernelDrives, DiscTypesOfFoldersShapedAsDiscs) {
    EXPECT_EQ(TypeOf({"AUDIO_TS/", "VIDEO_TS/"}), DISC_DVD);
    EXPECT_EQ(TypeOf({"video_ts/"}), DISC_DVD);  // plain ISO 9660 names come in small letters
    EXPECT_EQ(TypeOf({"CDI/", "EXT/", "MPEGAV/", "SEGMENT/", "VCD/"}), DISC_VCD);
    EXPECT_EQ(TypeOf({"Track01.cda", "Track02.cda"}), DISC_AUDIO_CD);
    EXPECT_EQ(TypeOf({"holiday.AVI"}), DISC_VIDEO_FILE);
    EXPECT_EQ(TypeOf({"readme.txt", "song.mp3"}), DISC_MP3);
    EXPECT_EQ(TypeOf({"a.jpeg"}), DISC_PICTURES);
    EXPECT_EQ(TypeOf({"setup.exe", "data/"}), DISC_OTHER);
    EXPECT_EQ(TypeOf({}), DISC_NONE);
    // The first entry that says something decides, in the disc's name order.
    EXPECT_EQ(TypeOf({"Track01.cda", "video.avi"}), DISC_AUDIO_CD);
    EXPECT_EQ(TypeOf({"VIDEO_TS/", "zz.mp3"}), DISC_DVD);
    EXPECT_EQ(TypeOf({"VIDEO_TS/", "a.mp3"}), DISC_MP3);
    // Only a track entry's suffix makes an audio CD, in any case; names that merely hold the
    // letters are a data disc's files.
    EXPECT_EQ(TypeOf({"Barracuda.mp3"}), DISC_MP3);
    EXPECT_EQ(TypeOf({"Arcadia/", "b.jpg"}), DISC_PICTURES);
    EXPECT_EQ(TypeOf({"cda", "notes.cdaz", "x.avi"}), DISC_VIDEO_FILE);
    EXPECT_EQ(TypeOf({"TRACK01.CDA"}), DISC_AUDIO_CD);
}

TEST_F(KernelDrives, AudioCdWithoutFileSystemIsFoundFromItsTracks) {
    Tick();
    m.SetDisc("/dev/sr0", DiscStatus::Audio, {{1, 0, 20000}, {2, 20000, 9000}});
    Tick();
    EXPECT_EQ(DiscType(), DISC_AUDIO_CD);
    m.SetDisc("/dev/sr0", DiscStatus::NoDisc);
    Tick();
    EXPECT_EQ(DiscType(), DISC_NONE);
}

TEST_F(KernelDrives, SnapshotListsStorageInLetterOrderAndFindsTheDvdDrive) {
    m.Mount("/dev/sdc1", 8, 33, m.Folder("media/b"));
    m.Mount("/dev/sdb1", 8, 17, m.Folder("media/a"));
    k.RetrieveDrive();
    DRIVE_SNAPSHOT s = k.GetDriveSnapshot();
    EXPECT_EQ(host.configAsked, 1);
    EXPECT_EQ(s.chDvd, u'e');
    EXPECT_EQ(Listed(s), u"fg");
    EXPECT_EQ(s.bFixedD, 1);
    EXPECT_EQ(s.bMovieDrive, 1);  // the movie folder is on D
    EXPECT_EQ(s.bPhotoDrive, 0);  // no H at the first scan
    EXPECT_NE(testsupport::ReadText(
                  plat::FormatNarrow("zz-log-%02d%02d.log", m_clock.Utc().month, m_clock.Utc().day))
                  .find("RetrieveDrive(): e, type(0x33)"),
              std::string::npos);

    // The presence flags stay as the first scan found them; the list follows the machine.
    m.Mount("/dev/sdh1", 8, 113, m.Folder("media/disk"), "ntfs");
    m.Unmount(m.Folder("media/b"));
    k.RetrieveDrive();
    s = k.GetDriveSnapshot();
    EXPECT_EQ(Listed(s), u"fg");  // the hard disk took the free F (after d: listed); G stayed
    EXPECT_EQ(s.bPhotoDrive, 0);
    EXPECT_EQ(s.byReserved[0] | s.byReserved[1] | s.byReserved[2] | s.byReserved[3], 0);
}

TEST_F(KernelDrives, PhotoFolderOnAFixedDiskPresentAtStart) {
    host.photo = u'g';
    m.Mount("/dev/sdh1", 8, 113, m.Folder("media/disk"), "ntfs");  // fixed: E
    k.RetrieveDrive();
    DRIVE_SNAPSHOT s = k.GetDriveSnapshot();
    EXPECT_EQ(s.chDvd, u'f');
    EXPECT_EQ(Listed(s), u"e");
    EXPECT_EQ(s.bPhotoDrive, 0);  // g is not a fixed drive
    host.photo = u'E';
    CKernelDrives again;
    again.SetDriveHost(&host);
    again.RetrieveDrive();
    EXPECT_EQ(again.GetDriveSnapshot().bPhotoDrive, 1);
}

TEST_F(KernelDrives, ACdOnlyDriveIsNoDvdDrive) {
    ScriptedDrives cdOnly;
    cdOnly.AddOpticalDrive("sr0", 11, 0, false);
    cdOnly.Install();
    CKernelDrives kd;
    kd.RetrieveDrive();
    EXPECT_EQ(kd.GetDriveSnapshot().chDvd, 0);
    // With no DVD drive the disc check finds nothing.
    EXPECT_TRUE(kd.IsMediaPresent());
    kd.DetectDiscType();
    EXPECT_EQ(kd.GetDriveSnapshot().byDiscType, DISC_NONE);
    char16_t id[128];
    EXPECT_FALSE(kd.GetDiscId(id));
}

TEST_F(KernelDrives, DiscAtStartDoesNotLaunchOneInsertedLaterDoes) {
    InsertDisc({"VIDEO_TS/"});
    Tick();
    EXPECT_EQ(DiscType(), DISC_DVD);
    EXPECT_TRUE(k.CheckDiscChange());
    EXPECT_EQ(k.m_iAutoLaunch, -1);
    // The change is seen once.
    EXPECT_FALSE(k.CheckDiscChange());

    EjectDisc();
    Tick();
    EXPECT_TRUE(k.CheckDiscChange());
    EXPECT_EQ(k.m_iAutoLaunch, 0);  // removing the disc
    EXPECT_FALSE(k.CheckDiscChange());
    k.m_iAutoLaunch = -1;

    InsertDisc({"VIDEO_TS/"});
    Tick();
    EXPECT_TRUE(k.CheckDiscChange());
    EXPECT_EQ(k.m_iAutoLaunch, 3);
    EXPECT_FALSE(k.CheckDiscChange());
}

TEST_F(KernelDrives, AutoLaunchCodesFollowTheDiscKind) {
    Tick();
    k.CheckDiscChange();  // the start-up scan
    struct Case {
        std::vector<std::string> entries;
        int code;
    } cases[] = {{{"MPEGAV/"}, 2}, {{"VIDEO_TS/"}, 3}, {{"Track01.cda"}, 1}, {{"clip.avi"}, 4},
                 {{"a.mp3"}, 5},   {{"p.JPG"}, 6},     {{"other.txt"}, -1}};  // starts nothing
    for (const Case& c : cases) {
        k.m_iAutoLaunch = -1;
        InsertDisc(c.entries);
        Tick();
        EXPECT_TRUE(k.CheckDiscChange());
        EXPECT_EQ(k.m_iAutoLaunch, c.code) << c.entries[0];
        EjectDisc();
        Tick();
        EXPECT_TRUE(k.CheckDiscChange());
        EXPECT_EQ(k.m_iAutoLaunch, 0);
    }
}

TEST_F(KernelDrives, APageTakesOnlyTheCodeItReadAndKeepsANewerOne) {
    Tick();
    k.CheckDiscChange();
    InsertDisc({"a.mp3"});
    Tick();
    k.CheckDiscChange();
    ASSERT_EQ(k.m_iAutoLaunch, 5);
    // A page read 5; the restore of the last run sets 1 before the page resets: the 1 stays.
    const int read = k.m_iAutoLaunch;
    k.m_iAutoLaunch = 1;
    EXPECT_FALSE(k.TakeAutoLaunch(read));
    EXPECT_EQ(k.m_iAutoLaunch, 1);
    EXPECT_TRUE(k.TakeAutoLaunch(1));
    EXPECT_EQ(k.m_iAutoLaunch, -1);
    EXPECT_FALSE(k.TakeAutoLaunch(1));  // taken once
}

TEST_F(KernelDrives, LockedMovieCellHoldsBackVideoButNotMusic) {
    Tick();
    k.CheckDiscChange();
    host.movieLock = 1;
    host.locksFree = false;  // the board says the locks are in force
    for (const char* entry : {"VIDEO_TS/", "MPEGAV/", "clip.avi", "p.bmp"}) {
        InsertDisc({entry});
        Tick();
        EXPECT_TRUE(k.CheckDiscChange());
        EXPECT_EQ(k.m_iAutoLaunch, -1) << entry;
        EjectDisc();
        Tick();
        k.CheckDiscChange();
        k.m_iAutoLaunch = -1;
    }
    InsertDisc({"Track01.cda"});
    Tick();
    k.CheckDiscChange();
    EXPECT_EQ(k.m_iAutoLaunch, 1);
    EjectDisc();
    Tick();
    k.CheckDiscChange();

    host.locksFree = true;  // locks lifted: a locked cell no longer holds the DVD back
    InsertDisc({"VIDEO_TS/"});
    Tick();
    k.CheckDiscChange();
    EXPECT_EQ(k.m_iAutoLaunch, 3);
    EjectDisc();
    Tick();
    k.CheckDiscChange();

    host.movieLock = 255;  // no MOVIE cell on the homepage
    k.m_iAutoLaunch = -1;
    InsertDisc({"VIDEO_TS/"});
    Tick();
    k.CheckDiscChange();
    EXPECT_EQ(k.m_iAutoLaunch, -1);
}

TEST_F(KernelDrives, ChecksRunOnlyAfterMoreThanASecond) {
    InsertDisc({"VIDEO_TS/"});
    m_clock.Advance(1001);
    EXPECT_TRUE(k.CheckDrivesPeriodic());
    EXPECT_EQ(DiscType(), DISC_DVD);
    EjectDisc();
    m_clock.Advance(1000);
    EXPECT_FALSE(k.CheckDrivesPeriodic());
    EXPECT_EQ(DiscType(), DISC_DVD);
    m_clock.Advance(1);
    EXPECT_TRUE(k.CheckDrivesPeriodic());
    EXPECT_EQ(DiscType(), DISC_NONE);
}

TEST_F(KernelDrives, DiscIdIsTheVolumeSerialOfTheDisc) {
    std::string iso = m.Folder("images") + "/dvd.iso";
    std::vector<uint8_t> pvd = testsupport::MakeIsoImage(iso, "MOVIE", 0x11);
    m.Mount(iso, 11, 0, m.Folder("cdrom"), "iso9660");
    m.SetDisc("/dev/sr0", DiscStatus::Data);
    Tick();
    char16_t id[128];
    ASSERT_TRUE(k.GetDiscId(id));
    EXPECT_EQ(std::u16string(id), plat::FormatStr(u"c:\\%u", plat::IsoVolumeSerial(pvd.data())));
    // Another disc, another id; the same disc again, the same id.
    std::vector<uint8_t> other = testsupport::MakeIsoImage(iso, "OTHER", 0x11);
    char16_t id2[128];
    ASSERT_TRUE(k.GetDiscId(id2));
    EXPECT_NE(std::u16string(id), std::u16string(id2));
    testsupport::MakeIsoImage(iso, "MOVIE", 0x11);
    ASSERT_TRUE(k.GetDiscId(id2));
    EXPECT_EQ(std::u16string(id), std::u16string(id2));
    // A short buffer is cut, never overrun.
    char16_t small[4];
    ASSERT_TRUE(k.GetDiscId(small, 4));
    EXPECT_EQ(std::u16string(small), u"c:\\");
}

TEST_F(KernelDrives, DiscsNobodyMountedAreTypedAndNamedFromTheDevice) {
    Tick();
    k.CheckDiscChange();  // the start-up scan
    struct Case {
        std::vector<std::string> entries;
        uint8_t type;
        int code;
    } cases[] = {
        {{"setup.exe", "data/"}, DISC_OTHER, -1},
        {{"CDI/", "EXT/", "MPEGAV/", "SEGMENT/", "VCD/"}, DISC_VCD, 2},
        {{"AUDIO_TS/", "VIDEO_TS/"}, DISC_DVD, 3},
        {{"holiday.avi"}, DISC_VIDEO_FILE, 4},
        {{"Barracuda.mp3", "notes.txt"}, DISC_MP3, 5},
        {{"Arcadia/", "beach.jpg"}, DISC_PICTURES, 6},
    };
    std::vector<std::u16string> ids;
    int n = 0;
    for (const Case& c : cases) {
        std::string iso = m.Folder("images") + "/disc" + std::to_string(++n) + ".iso";
        std::string why;
        ASSERT_TRUE(
            testsupport::MakeDiscImage(iso, c.entries, "DISC_" + std::to_string(n), true, &why))
            << why;
        k.m_iAutoLaunch = -1;
        m.InsertImage("/dev/sr0", iso);
        Tick();
        EXPECT_EQ(DiscType(), c.type) << c.entries[0];
        EXPECT_TRUE(k.CheckDiscChange());
        EXPECT_EQ(k.m_iAutoLaunch, c.code) << c.entries[0];
        char16_t id[128];
        ASSERT_TRUE(k.GetDiscId(id)) << c.entries[0];
        ids.push_back(id);
        // Ten seconds in the drive: its root was read from the device once, when it came.
        for (int second = 1; second < 10; ++second)
            Tick();
        EXPECT_EQ(DiscType(), c.type) << c.entries[0];
        EXPECT_FALSE(k.CheckDiscChange());
        EXPECT_EQ(m.DiscReads("/dev/sr0"), n) << c.entries[0];
        m.SetDisc("/dev/sr0", DiscStatus::NoDisc);
        Tick();
        EXPECT_EQ(DiscType(), DISC_NONE);
        EXPECT_FALSE(k.GetDiscId(id));
        k.CheckDiscChange();
    }
    // Audio CDs come from their table of contents, as before.
    m.SetDisc("/dev/sr0", DiscStatus::Audio, {{1, 0, 20000}});
    Tick();
    EXPECT_EQ(DiscType(), DISC_AUDIO_CD);
    m.SetDisc("/dev/sr0", DiscStatus::NoDisc);
    Tick();
    // Every disc its own id, so that bookmarks do not mix.
    for (size_t i = 0; i < ids.size(); ++i)
        for (size_t j = i + 1; j < ids.size(); ++j)
            EXPECT_NE(ids[i], ids[j]) << i << " " << j;
    // The files of a disc that could not be mounted cannot be listed: the log says why.
    std::string log;
    EXPECT_TRUE(testsupport::WaitFor([&] {
        Tick();
        log = testsupport::ReadFilesStartingWith(".", "zz-log");
        return log.find("E: data disc \"DISC_6\" cannot be listed: no mounter") !=
               std::string::npos;
    })) << log;

    // A disc put in while the drive never said it was empty is read as the new disc it is.
    const int readsBefore = m.DiscReads("/dev/sr0");
    m.InsertImage("/dev/sr0", m.Folder("images") + "/disc4.iso");
    Tick();
    ASSERT_EQ(DiscType(), DISC_VIDEO_FILE);
    m.InsertImage("/dev/sr0", m.Folder("images") + "/disc5.iso");
    Tick();
    Tick();
    EXPECT_EQ(DiscType(), DISC_MP3);
    EXPECT_EQ(m.DiscReads("/dev/sr0"), readsBefore + 2);
    m.SetDisc("/dev/sr0", DiscStatus::NoDisc);
    Tick();

    // A damaged disc is no disc: nothing to type, nothing to name, nothing launched.
    std::string garbage = m.Folder("images") + "/garbage.iso";
    testsupport::WriteBytes(garbage, std::vector<uint8_t>(40 * 2048, 0x5A));
    k.CheckDiscChange();
    k.m_iAutoLaunch = -1;
    m.InsertImage("/dev/sr0", garbage);
    Tick();
    EXPECT_EQ(DiscType(), DISC_NONE);
    char16_t id[128];
    EXPECT_FALSE(k.GetDiscId(id));
}
