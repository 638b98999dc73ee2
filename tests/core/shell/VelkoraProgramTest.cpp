// The built program as the system runs it: a process of its own in its base folder, with the
// power-module emulator on a pseudo-terminal and the board simulator as its board module.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/LogWriter.h"
#include "core/kernel/SysSettings.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/PortMap.h"
#include "platform/ui/Ui.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/Program.h"
#include "tests/harness/SkinProbe.h"
#include "tests/support/TestSupport.h"

namespace fs = std::filesystem;
using harness::Program;

namespace {

// A base folder with the power module behind "com2".
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness::MakeBaseFolder(m_dir.Path());
        ASSERT_TRUE(m_power.Start());
        ASSERT_TRUE(
            plat::SetPortMapEntry(m_dir.File(plat::kPortMapFile), "com2", m_power.DevicePath()));
        m_env = harness::BaseFolderEnvironment(m_dir.Path());
        m_env.push_back("VELKORA_BOARD_LOG=" + m_dir.File("board.log"));
    }

    std::string Log() const { return testsupport::ReadFilesStartingWith(m_dir.Path(), "zz-log-"); }

    int SavedVolume() const {
        SYS_SETTINGS s;
        if (!testsupport::Exists(m_dir.File(SYS_SETTINGS_DB)) ||
            !ReadSettingsBlock(testsupport::ReadBytes(m_dir.File(SYS_SETTINGS_DB)), s))
            return -1;
        return s.iAudioLevel;
    }

    static bool WaitUntil(const std::function<bool()>& done, int ms) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    testsupport::TempDir m_dir;
    emu::PowerModuleEmulator m_power;
    std::vector<std::string> m_env;
};

}  // namespace

TEST_F(ProgramTest, RunHeadlessItWritesBothScreensShowingTheHomepageAndEnds) {
    Program velkora;
    ASSERT_TRUE(velkora.Start(harness::VelkoraPath(), {"--screenshots", m_dir.File("screens")},
                              m_dir.Path(), m_env));
    ASSERT_TRUE(velkora.Wait(90000)) << "still running";
    ASSERT_EQ(velkora.Status(), 0) << velkora.Stderr();
    EXPECT_NE(velkora.Stdout().find("velkora: both screens shown"), std::string::npos);

    plat::Surface front, rear;
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("screens/front.png"), front));
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("screens/rear.png"), rear));
    EXPECT_EQ(front.Width(), 800);
    EXPECT_EQ(front.Height(), 480);
    EXPECT_EQ(rear.Width(), 800);
    EXPECT_EQ(rear.Height(), 600);
    EXPECT_TRUE(harness::ShowsHomepage(front, 0));
    EXPECT_TRUE(harness::ShowsHomepage(rear, 1));
    // It ended as a close does, with its state saved.
    EXPECT_NE(Log().find("=====> CMainCtrlDlg::OnCancel() <====="), std::string::npos);
    EXPECT_TRUE(testsupport::Exists(m_dir.File(SYS_SETTINGS_DB)));
}

TEST_F(ProgramTest, TheEndOfTheSessionSavesTheState) {
    // Volume up from the panel a second after start.
    testsupport::WriteText(m_dir.File("board.script"), "key-gap 5\nkey 0x10 0x52\n");
    m_env.push_back("VELKORA_BOARD_SCRIPT=" + m_dir.File("board.script"));
    Program velkora;
    ASSERT_TRUE(velkora.Start(harness::VelkoraPath(), {}, m_dir.Path(), m_env));
    ASSERT_TRUE(WaitUntil([&] { return SavedVolume() == 17; }, 60000)) << velkora.Stderr();
    // What is on disk now is no longer what the unit holds: the end must write it again.
    ASSERT_TRUE(fs::remove(m_dir.File(SYS_SETTINGS_DB)));

    ASSERT_TRUE(velkora.Signal(SIGTERM));
    ASSERT_TRUE(velkora.Wait(30000)) << "still running after SIGTERM";
    EXPECT_EQ(velkora.Status(), 0) << velkora.Stderr();
    EXPECT_EQ(SavedVolume(), 17);
    std::string board = testsupport::ReadText(m_dir.File("board.log"));
    size_t lastMute = board.rfind("audio 7 Mute(");
    ASSERT_NE(lastMute, std::string::npos);
    EXPECT_EQ(board.substr(lastMute, board.find('\n', lastMute) - lastMute), "audio 7 Mute(1) = 0")
        << "muted at the end";
    std::string log = Log();
    EXPECT_NE(log.find("=====>  CMainCtrlDlg :: OnQueryEndSession()  <======="), std::string::npos);
    EXPECT_NE(log.find("CMainCtrlDlg::OnDestroy()"), std::string::npos);
}

TEST_F(ProgramTest, AStartThatFailsEndsWithAFailureStatusAfterItsBox) {
    // No power module behind com2.
    m_power.Stop();
    ASSERT_TRUE(plat::SetPortMapEntry(m_dir.File(plat::kPortMapFile), "com2", ""));
    Program velkora;
    ASSERT_TRUE(velkora.Start(harness::VelkoraPath(), {}, m_dir.Path(), m_env));
    ASSERT_TRUE(velkora.Wait(60000));
    EXPECT_EQ(velkora.Status(), 1) << velkora.Stderr();
    EXPECT_NE(Log().find("Initial Velkora Kernel Object Error. (#2-1)"), std::string::npos);
    // Nobody sees the box of a run without a screen: its words reach the one who started it.
    EXPECT_NE(velkora.Stderr().find("ERROR: Initial Velkora Kernel Object Error. (#2-1)\n"),
              std::string::npos)
        << velkora.Stderr();
}

TEST_F(ProgramTest, TheVersionIsPrinted) {
    Program velkora;
    ASSERT_TRUE(velkora.Start(harness::VelkoraPath(), {"--version"}, m_dir.Path(), m_env));
    ASSERT_TRUE(velkora.Wait(30000));
    EXPECT_EQ(velkora.Status(), 0);
    EXPECT_EQ(velkora.Stdout().rfind("Velkora, library Vantrel ", 0), 0u) << velkora.Stdout();
}

namespace {

// An outside program's window over the front screen.
class Cover : public plat::ui::Window {
public:
    ~Cover() override { Destroy(); }

protected:
    void OnPaint(plat::Surface& s, const plat::Rect&) override { s.Fill(0xFF102030); }
};

// Names and sizes of the files in a folder; the running unit's own log and the second copy's
// output aside.
std::map<std::string, uintmax_t> Listing(const std::string& dir) {
    std::map<std::string, uintmax_t> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string name = e.path().filename().string();
        if (e.is_regular_file() && name.compare(0, 7, "stdout-") != 0 &&
            name.compare(0, 7, "stderr-") != 0 && name.compare(0, 7, "zz-log-") != 0)
            out[name] = e.file_size();
    }
    return out;
}

}  // namespace

TEST(SecondCopy, ASecondStartRaisesTheRunningUnitAndEnds) {
    harness::HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Cover cover;
    plat::ui::CreateParams p;
    p.rect = plat::Rect::FromXYWH(0, 0, 800, 480);
    p.visible = true;
    p.topMost = true;
    ASSERT_TRUE(cover.Create(p));
    unit.Advance(60);
    ASSERT_FALSE(harness::ShowsHomepage(unit.Screen(0), 0)) << "covered";

    auto before = Listing(unit.BaseDir());
    size_t received = unit.PowerModule()->Received().size();
    Program second;
    ASSERT_TRUE(second.Start(harness::VelkoraPath(), {}, unit.BaseDir(),
                             harness::BaseFolderEnvironment(unit.BaseDir())));
    ASSERT_TRUE(unit.WaitFor([&] { return !second.Running(); }, 60000)) << "the second copy runs";
    EXPECT_EQ(second.Status(), 0) << second.Stderr();
    unit.Advance(60);
    EXPECT_TRUE(harness::ShowsHomepage(unit.Screen(0), 0)) << "the running unit came forward";
    // The second copy made nothing and spoke to nothing.
    EXPECT_EQ(Listing(unit.BaseDir()), before);
    EXPECT_EQ(unit.PowerModule()->Received().size(), received);
    EXPECT_TRUE(unit.Running());
}
