#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/KernelData.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using testsupport::ReadBytes;
using testsupport::TempDir;
using testsupport::WriteBytes;

namespace {

// A block whose fields all carry one stamp: a file mixing two saves would show two stamps.
void Stamp(SYS_SETTINGS& s, int stamp) {
    s.iCurrentTrackId = stamp;
    s.iReserved = stamp;
    s.dwAppStatus = static_cast<uint32_t>(stamp);
    std::u16string text = plat::Utf8ToUtf16("stamp " + std::to_string(stamp) + " ");
    while (text.size() < 500)
        text += text;
    plat::StrCopy(s.szCurrentMusic, text);
    plat::StrCopy(s.szInternet[8], text);
}

// -1 when the file is not one whole, consistent block.
int StampOf(const std::vector<uint8_t>& bytes) {
    SYS_SETTINGS s;
    if (!ReadSettingsBlock(bytes, s))
        return -1;
    SYS_SETTINGS expected = s;
    Stamp(expected, s.iCurrentTrackId);
    if (s.iReserved != s.iCurrentTrackId ||
        s.dwAppStatus != static_cast<uint32_t>(s.iCurrentTrackId) ||
        plat::StrCmp(s.szCurrentMusic, expected.szCurrentMusic) != 0 ||
        plat::StrCmp(s.szInternet[8], expected.szInternet[8]) != 0)
        return -1;
    return s.iCurrentTrackId;
}

class KernelData : public ::testing::Test {
protected:
    void SetUp() override {
        m_data.SetBaseDir(m_dir.Path());
        SYS_SETTINGS s;
        std::memset(&s, 0, sizeof s);
        Stamp(s, 0);
        WriteBytes(m_dir.File(SYS_SETTINGS_DB), WriteSettingsBlock(s));
        ASSERT_TRUE(m_data.LoadSettings());
    }

    TempDir m_dir;
    CKernelData m_data;
};

}  // namespace

TEST_F(KernelData, ConstructionZeroesBlocksAndArmsTheTextInput) {
    CKernelData d;
    EXPECT_EQ(d.m_iKbResult, -1);
    EXPECT_EQ(d.m_szKbTitle[0], 0);
    EXPECT_EQ(d.m_szKbInitial[0], 0);
    EXPECT_EQ(d.m_szKbResult[0], 0);
    EXPECT_EQ(d.m_AppPaths.szPath[APP_PATH_APP_1][0], 0);
    EXPECT_EQ(d.m_Language[MSG_DISPLAY_MANUAL][0], 0);
    EXPECT_EQ(d.m_Settings.iAudioLevel, 0);
}

TEST_F(KernelData, SavesFromTwoThreadsWhileAReaderLoads) {
    std::atomic<int> writersDone{0};
    auto writer = [&] {
        for (int i = 0; i < 1000; ++i)
            EXPECT_TRUE(m_data.SaveSettings());
        ++writersDone;
    };
    std::thread a(writer), b(writer);
    int loads = 0, bad = 0;
    while (writersDone.load() < 2 || loads == 0) {
        // The file itself, and the loader: neither may ever see less than a whole block.
        std::vector<uint8_t> bytes = ReadBytes(m_dir.File(SYS_SETTINGS_DB));
        if (bytes.size() != SYS_SETTINGS_SIZE || StampOf(bytes) != 0)
            ++bad;
        CKernelData reader;
        reader.SetBaseDir(m_dir.Path());
        if (!reader.LoadSettings() || reader.m_bSettingsFromIni || reader.m_Settings.iReserved != 0)
            ++bad;
        ++loads;
    }
    a.join();
    b.join();
    EXPECT_EQ(bad, 0) << "of " << loads << " loads";
    // Nothing but the block itself is left behind.
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{SYS_SETTINGS_DB});
}

TEST_F(KernelData, KillingTheProgramDuringSavesNeverLeavesADamagedFile) {
    int lastSeen = 0;
    for (int round = 0; round < 12; ++round) {
        int pipeFd[2];
        ASSERT_EQ(::pipe(pipeFd), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFd[0]);
            CKernelData d;
            d.SetBaseDir(m_dir.Path());
            if (!d.LoadSettings())
                ::_exit(3);
            const int first = StampOf(ReadBytes(m_dir.File(SYS_SETTINGS_DB))) + 1;
            for (int i = first; i < first + 100000; ++i) {
                Stamp(d.m_Settings, i);
                d.SaveSettings();
                if (::write(pipeFd[1], "s", 1) != 1)
                    break;
            }
            ::_exit(0);
        }
        ::close(pipeFd[1]);
        // Let it finish a different number of saves each round, then kill it in the next one.
        char c;
        for (int i = 0; i <= round % 5; ++i)
            ASSERT_EQ(::read(pipeFd[0], &c, 1), 1);
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(pipeFd[0]);
        ASSERT_TRUE(WIFSIGNALED(status));

        std::vector<uint8_t> bytes = ReadBytes(m_dir.File(SYS_SETTINGS_DB));
        ASSERT_EQ(bytes.size(), size_t(SYS_SETTINGS_SIZE)) << "round " << round;
        int stamp = StampOf(bytes);
        ASSERT_GE(stamp, lastSeen + round % 5 + 1) << "round " << round;
        lastSeen = stamp;
        CKernelData after;
        after.SetBaseDir(m_dir.Path());
        ASSERT_TRUE(after.LoadSettings());
        EXPECT_FALSE(after.m_bSettingsFromIni);
        EXPECT_EQ(after.m_Settings.iCurrentTrackId, stamp);
    }
}

TEST_F(KernelData, AppPathsRoundTripAndRefuseOtherSizes) {
    EXPECT_FALSE(m_data.LoadAppPath());  // missing: empty paths
    plat::StrCopy(m_data.m_AppPaths.szPath[APP_PATH_NAVIGATION], u"C:\\Navi\\navi.exe");
    plat::StrCopy(m_data.m_AppPaths.szPath[APP_PATH_APP_1], u"/opt/tools/Mine");
    ASSERT_TRUE(m_data.SaveAppPath());

    std::vector<uint8_t> bytes = ReadBytes(m_dir.File(APP_PATHS_DB));
    ASSERT_EQ(bytes.size(), size_t(APP_PATHS_SIZE));
    EXPECT_EQ(bytes[0], 'C');
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[5 * 520], '/');
    EXPECT_EQ(bytes[5 * 520 + 2], 'o');

    CKernelData other;
    other.SetBaseDir(m_dir.Path());
    ASSERT_TRUE(other.LoadAppPath());
    EXPECT_EQ(plat::StrCmp(other.m_AppPaths.szPath[APP_PATH_NAVIGATION], u"C:\\Navi\\navi.exe"), 0);
    EXPECT_EQ(plat::StrCmp(other.m_AppPaths.szPath[APP_PATH_APP_1], u"/opt/tools/Mine"), 0);
    EXPECT_EQ(other.m_AppPaths.szPath[APP_PATH_TV][0], 0);

    // A damaged file gives empty paths, whatever was loaded before.
    bytes.resize(APP_PATHS_SIZE - 2);
    WriteBytes(m_dir.File(APP_PATHS_DB), bytes);
    EXPECT_FALSE(other.LoadAppPath());
    EXPECT_EQ(other.m_AppPaths.szPath[APP_PATH_NAVIGATION][0], 0);

    // Paths without an end are cut at their last character.
    WriteBytes(m_dir.File(APP_PATHS_DB), std::vector<uint8_t>(APP_PATHS_SIZE, 'x'));
    ASSERT_TRUE(other.LoadAppPath());
    for (const auto& path : other.m_AppPaths.szPath)
        EXPECT_EQ(plat::StrLenN(path, APP_PATH_CHARS), size_t(APP_PATH_CHARS - 1));
}

TEST_F(KernelData, SaveFailsQuietlyWhenTheFolderIsGone) {
    int hookCalls = 0;
    m_data.SetSaveHook([&](int) { ++hookCalls; });
    ASSERT_TRUE(m_data.SaveSettings());
    EXPECT_EQ(hookCalls, 1);
    m_data.SetBaseDir(m_dir.File("no-such-folder"));
    EXPECT_FALSE(m_data.SaveSettings());
    EXPECT_FALSE(m_data.SaveAppPath());
    EXPECT_EQ(hookCalls, 1);
}

TEST_F(KernelData, ASaveThatChangesNothingLeavesTheFileAloneAndOneThatDoesReplacesIt) {
    // A replacement is a new file: its inode tells whether the block was written again.
    auto inodeOf = [&](const char* name) {
        struct stat st {};
        EXPECT_EQ(::stat(m_dir.File(name).c_str(), &st), 0);
        return st.st_ino;
    };
    int hookCalls = 0;
    m_data.SetSaveHook([&](int) { ++hookCalls; });
    const ino_t loaded = inodeOf(SYS_SETTINGS_DB);
    ASSERT_TRUE(m_data.SaveSettings());
    EXPECT_EQ(inodeOf(SYS_SETTINGS_DB), loaded);
    // Those who follow each save still hear of it.
    EXPECT_EQ(hookCalls, 1);

    Stamp(m_data.m_Settings, 7);
    ASSERT_TRUE(m_data.SaveSettings());
    const ino_t changed = inodeOf(SYS_SETTINGS_DB);
    EXPECT_NE(changed, loaded);
    EXPECT_EQ(StampOf(ReadBytes(m_dir.File(SYS_SETTINGS_DB))), 7);

    // The file on disk is what is compared, not what was last written: a file damaged or cut
    // since is written again whole.
    std::vector<uint8_t> bytes = ReadBytes(m_dir.File(SYS_SETTINGS_DB));
    bytes[100] ^= 0xFF;
    WriteBytes(m_dir.File(SYS_SETTINGS_DB), bytes);
    ASSERT_TRUE(m_data.SaveSettings());
    EXPECT_EQ(StampOf(ReadBytes(m_dir.File(SYS_SETTINGS_DB))), 7);
    bytes.resize(SYS_SETTINGS_SIZE - 1);
    WriteBytes(m_dir.File(SYS_SETTINGS_DB), bytes);
    ASSERT_TRUE(m_data.SaveSettings());
    EXPECT_EQ(StampOf(ReadBytes(m_dir.File(SYS_SETTINGS_DB))), 7);
    // So is a missing one.
    std::filesystem::remove(m_dir.File(SYS_SETTINGS_DB));
    ASSERT_TRUE(m_data.SaveSettings());
    EXPECT_EQ(StampOf(ReadBytes(m_dir.File(SYS_SETTINGS_DB))), 7);

    // The same holds for the application paths.
    plat::StrCopy(m_data.m_AppPaths.szPath[APP_PATH_NAVIGATION], u"/opt/navi");
    ASSERT_TRUE(m_data.SaveAppPath());
    const ino_t paths = inodeOf(APP_PATHS_DB);
    ASSERT_TRUE(m_data.SaveAppPath());
    EXPECT_EQ(inodeOf(APP_PATHS_DB), paths);
}
