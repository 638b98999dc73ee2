// A base folder for the seat, splash and overlay tests: settings, configuration defaults, the
// board simulator beside the tests (no power module), the headless window layer, a manual
// clock, and the kernel created and initialised as the main dialog does it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/SysSettings.h"
#include "devices/BoardSimControl.h"
#include "platform/gfx/Surface.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Module.h"
#include "platform/ui/Ui.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

namespace seattest {

// The run folder the build makes: generated skins, language files, settings defaults.
inline std::string RunDir() {
    return plat::ExecutableDir() + "/../run";
}

class SeatEnvTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cwd = std::make_unique<testsupport::ScopedCwd>(m_dir.Path());
        plat::SetClock(&m_clock);
        // No test touches the machine's own sound card.
        testsupport::SilenceSoundCard(m_dir.Path());
        ::unsetenv(KERNEL_BOARD_MODULE_ENV);
        testsupport::WriteText(MARKER_LOG, "");
        testsupport::WriteText(MARKER_NO_POWER_MODULE, "");

        SYS_SETTINGS s;
        std::memset(&s, 0, sizeof s);
        s.iAudioLevel = 16;
        PrepareSettings(s);
        testsupport::WriteBytes(SYS_SETTINGS_DB, WriteSettingsBlock(s));
        testsupport::WriteUtf16(CFG_DEFAULT_INI,
                                "[System Settings]\r\nSkin = Default\r\nLanguage = english\r\n"
                                "Music Folder = D:\\Velkora Media\\Music\r\n"
                                "Movie Folder = D:\\Velkora Media\\Movie\r\n"
                                "Photo Folder = D:\\Velkora Media\\Photo\r\n",
                                true);

        ASSERT_TRUE(m_sim.Load()) << "the simulator module is built beside the tests";
        ASSERT_TRUE(m_sim.Command("reset"));
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        ASSERT_TRUE(plat::ui::Init(options));
        plat::ui::TakeMessageBoxes();
    }

    void TearDown() override {
        plat::ui::BeginShutdown();
        DestroyKernel();
        plat::ui::Terminate();
        plat::SetClock(nullptr);
        ::unsetenv("ALSA_CONFIG_PATH");
    }

    // Settings of the test before they are written.
    virtual void PrepareSettings(SYS_SETTINGS&) {}

    // Create and Initial as the main dialog runs them.
    CKernel* StartKernel() {
        CKernel* k = CKernel::GetInstance();
        EXPECT_TRUE(k->Create());
        EXPECT_TRUE(k->Initial());
        m_sim.ClearLog();
        return k;
    }

    // A picture file of one colour (made folders on the way).
    void Picture(const std::string& path, int w, int h, uint32_t argb) {
        std::filesystem::create_directories(std::filesystem::path(m_dir.File(path)).parent_path());
        testsupport::WritePng(m_dir.File(path), testsupport::SolidImage(w, h, argb));
    }

    // Copies a folder of the run folder into the base folder.
    void CopyFromRun(const std::string& folder) {
        std::filesystem::create_directories(std::filesystem::path(m_dir.File(folder)));
        std::filesystem::copy(RunDir() + "/" + folder, m_dir.File(folder),
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
    }

    std::string Log() const { return testsupport::ReadFilesStartingWith(m_dir.Path(), "zz-log-"); }

    testsupport::TempDir m_dir;
    std::unique_ptr<testsupport::ScopedCwd> m_cwd;
    plat::ManualClock m_clock;
    emu::BoardSimControl m_sim;
};

}  // namespace seattest
