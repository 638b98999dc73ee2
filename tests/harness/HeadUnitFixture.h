// A head unit for page and dialog tests: a base folder with settings, a language file and a
// skin named "Test", the headless user interface on a manual clock, and the kernel started
// against the board simulator (no power module).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "devices/BoardSimControl.h"
#include "platform/gfx/ImageFile.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Ui.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

namespace pagetest {

using testsupport::ReadText;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteBytes;
using testsupport::WriteText;
using testsupport::WriteUtf16;

// The language texts the tests look for.
constexpr char16_t kAm[] = u"Morning";
constexpr char16_t kPm[] = u"Afternoon";

// A top-level window that counts its paints and keeps the messages it was sent (the main
// window of the pages, or a seat).
class RecordingWindow : public plat::ui::Window {
public:
    struct Message {
        uint32_t msg;
        uintptr_t wParam;
        intptr_t lParam;
    };

    ~RecordingWindow() override { Destroy(); }

    bool Open(const plat::Rect& rect) {
        plat::ui::CreateParams p;
        p.rect = rect;
        p.visible = true;
        return Create(p);
    }

    std::vector<Message> messages;
    int paints = 0;

protected:
    void OnPaint(plat::Surface& s, const plat::Rect&) override {
        ++paints;
        s.Fill(0xFF000000);
    }
    intptr_t OnMessage(uint32_t msg, uintptr_t w, intptr_t l) override {
        messages.push_back({msg, w, l});
        return 0;
    }
};

// Waits on real time for something another thread does.
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 10000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class HeadUnitTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cwd = std::make_unique<ScopedCwd>(m_dir.Path());
        plat::SetClock(&m_clock);
        // No test touches the machine's own sound card.
        testsupport::SilenceSoundCard(m_dir.Path());
        ::unsetenv(KERNEL_BOARD_MODULE_ENV);
        WriteText(MARKER_LOG, "");
        WriteText(MARKER_NO_POWER_MODULE, "");
        ResetLogForTesting();

        SYS_SETTINGS s;
        std::memset(&s, 0, sizeof s);
        s.iAudioLevel = 16;
        s.iLanguage = 0;
        WriteBytes(SYS_SETTINGS_DB, WriteSettingsBlock(s));
        std::filesystem::create_directories("Language");
        WriteUtf16("Language/english.ini",
                   "[OTHER]\r\nMSG_AM = Morning\r\nMSG_PM = Afternoon\r\n[END]\r\n", true);
        WriteUtf16(CFG_DEFAULT_INI,
                   "[System Settings]\r\nSkin = Test\r\nLanguage = English\r\n"
                   "Music Folder = D:\\Velkora Media\\Music\r\n"
                   "Movie Folder = D:\\Velkora Media\\Movie\r\n"
                   "Photo Folder = D:\\Velkora Media\\Photo\r\n",
                   true);

        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        ASSERT_TRUE(plat::ui::Init(options));
        ASSERT_TRUE(m_sim.Load()) << "the simulator module is built beside the tests";
        ASSERT_TRUE(m_sim.Command("reset"));
    }

    void TearDown() override {
        plat::ui::BeginShutdown();
        DestroyKernel();
        plat::ui::Terminate();
        plat::SetClock(nullptr);
        ::unsetenv("ALSA_CONFIG_PATH");
    }

    // The kernel as the main dialog starts it; the board is then ready.
    CKernel* StartKernel() {
        CKernel* k = CKernel::GetInstance();
        EXPECT_TRUE(k->Create());
        EXPECT_TRUE(k->Initial());
        EXPECT_TRUE(k->FirmwareReady());
        return k;
    }

    // A picture file of the test skin ("Skin/Test/<relative>").
    void WriteSkinImage(const std::string& relative, const plat::Surface& image) {
        std::string path = "Skin/Test/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        testsupport::WritePng(path, image);
    }

    std::string Log() const { return testsupport::ReadFilesStartingWith(m_dir.Path(), "zz-log-"); }

    TempDir m_dir;
    std::unique_ptr<ScopedCwd> m_cwd;
    plat::ManualClock m_clock{1700000000, 0};
    emu::BoardSimControl m_sim;
};

}  // namespace pagetest
