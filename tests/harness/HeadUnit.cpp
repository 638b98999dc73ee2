#include "tests/harness/HeadUnit.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/KernelData.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "platform/io/File.h"
#include "platform/io/PortMap.h"
#include "platform/sys/EndSignals.h"
#include "platform/sys/Module.h"

namespace fs = std::filesystem;

namespace harness {

std::string RunFolder() {
    return plat::ExecutableDir() + "/../run";
}

std::string BinFolder() {
    return plat::ExecutableDir();
}

namespace {

std::string PicturesFolder() {
    return plat::ExecutableDir() + "/../test-pictures";
}

void SetEnv(const char* name, const std::string& value) {
    ::setenv(name, value.c_str(), 1);
}

}  // namespace

HeadUnit::HeadUnit(HeadUnitOptions options) : m_options(std::move(options)) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    m_oldRuntimeDir = runtime ? runtime : "";
    m_cwd = std::make_unique<testsupport::ScopedCwd>(m_base.Path());
    // A machine of our own: no drive of the test host shows up, and tests mount sticks.
    m_drives = std::make_unique<testsupport::ScriptedDrives>();
    m_drives->AddDisk("sdb", 8, 16, true);
    m_drives->AddPartition("sdb", "sdb1", 8, 17);
    m_drives->AddDisk("sdc", 8, 32, true);
    m_drives->AddPartition("sdc", "sdc1", 8, 33);
    m_drives->Install();

    PrepareBaseFolder();
    plat::SetClock(&m_clock);
    ResetLogForTesting();
    plat::ui::Options ui;
    ui.backend = plat::ui::Backend::Headless;
    m_uiStarted = plat::ui::Init(ui);
    EXPECT_TRUE(m_uiStarted) << "the window layer runs once per process";
    plat::ui::TakeMessageBoxes();
}

void MakeSkinFolder(const std::string& dir) {
    const fs::path from = fs::absolute(RunFolder() + "/Skin");
    const fs::path to = fs::path(dir) / "Skin";
    std::error_code ec;
    auto link = [&](const fs::directory_entry& entry, const fs::path& into) {
        if (entry.is_directory())
            fs::create_directory_symlink(entry.path(), into, ec);
        else
            fs::create_symlink(entry.path(), into, ec);
        EXPECT_FALSE(ec) << into << ": " << ec.message();
    };
    fs::create_directory(to, ec);
    for (const auto& skin : fs::directory_iterator(from)) {
        if (!skin.is_directory()) {
            link(skin, to / skin.path().filename());
            continue;
        }
        const fs::path into = to / skin.path().filename();
        fs::create_directory(into, ec);
        for (const auto& entry : fs::directory_iterator(skin.path())) {
            if (entry.path().filename() != "Homepage" || !entry.is_directory()) {
                link(entry, into / entry.path().filename());
                continue;
            }
            // The unit saves "homepage.db" here: a copy of the build's folder, without one.
            fs::create_directory(into / "Homepage", ec);
            for (const auto& file : fs::directory_iterator(entry.path())) {
                if (file.path().filename() == HOMEPAGE_DB)
                    continue;
                fs::copy(file.path(), into / "Homepage" / file.path().filename(),
                         fs::copy_options::recursive, ec);
                EXPECT_FALSE(ec) << file.path() << ": " << ec.message();
            }
        }
    }
}

void MakeBaseFolder(const std::string& dir) {
    const std::string run = RunFolder();
    // The language files are only read: the build's own serve.
    std::error_code ec;
    fs::create_directory_symlink(fs::absolute(run + "/Language"), dir + "/Language", ec);
    EXPECT_FALSE(ec) << "Language: " << ec.message();
    MakeSkinFolder(dir);
    for (const char* file : {SYS_SETTINGS_INI, "DefaultCfg.ini"}) {
        std::error_code ec;
        fs::copy_file(run + "/" + file, dir + "/" + file, ec);
        EXPECT_FALSE(ec) << file << ": " << ec.message();
    }
    testsupport::WriteText(dir + "/" + MARKER_LOG, "");
    testsupport::WriteText(dir + "/empty.conf", "");
    ::mkdir((dir + "/session").c_str(), 0700);
}

std::vector<std::string> BaseFolderEnvironment(const std::string& dir) {
    return {
        "XDG_RUNTIME_DIR=" + dir + "/session",
        // No sound card of the machine, no messaging program.
        "ALSA_CONFIG_PATH=" + dir + "/empty.conf",
        "VELKORA_SKYPE_SOCKET=" + dir + "/skype.sock",
    };
}

void HeadUnit::PrepareBaseFolder() {
    MakeBaseFolder(m_base.Path());
    for (const std::string& var : BaseFolderEnvironment(m_base.Path())) {
        size_t eq = var.find('=');
        SetEnv(var.substr(0, eq).c_str(), var.substr(eq + 1));
    }
    ::unsetenv("PULSE_SERVER");
    if (m_options.boardModule)
        ::unsetenv(KERNEL_BOARD_MODULE_ENV);
    else
        SetEnv(KERNEL_BOARD_MODULE_ENV, "NoBoard.dll");

    EXPECT_TRUE(m_board.Load()) << "the board simulator lies beside the tests";
    m_board.Command("reset");
    if (!m_options.boardScript.empty()) {
        EXPECT_EQ(m_board.Script(m_options.boardScript), 0) << m_options.boardScript;
    }

    if (m_options.model.empty()) {
        testsupport::WriteText(m_base.File(MARKER_NO_POWER_MODULE), "");
    } else {
        emu::PowerModuleSettings pm;
        pm.model = m_options.model;
        if (m_options.powerModule)
            m_options.powerModule(pm);
        m_power = std::make_unique<emu::PowerModuleEmulator>(pm);
        EXPECT_TRUE(m_power->Start());
        EXPECT_TRUE(
            plat::SetPortMapEntry(m_base.File(plat::kPortMapFile), "com2", m_power->DevicePath()));
    }

    if (m_options.settings) {
        CKernelData data;
        data.SetBaseDir(m_base.Path());
        EXPECT_TRUE(data.LoadSettings());
        m_options.settings(data.m_Settings);
        EXPECT_TRUE(data.SaveSettings());
    }
    if (m_options.prepare)
        m_options.prepare(m_base.Path());
}

HeadUnit::~HeadUnit() {
    if (::testing::Test::HasFailure()) {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "." + info->name()
                                : std::string("unnamed");
        for (char& c : name) {
            if (c == '/')
                c = '_';
        }
        for (const std::string& path : SaveScreens(name))
            std::fprintf(stderr, "picture of the failed test: %s\n", path.c_str());
    }
    if (Running())
        Close();
    Finish();
    if (m_uiStarted)
        plat::ui::Terminate();
    plat::ReleaseEndSignals();
    plat::TakeEndRequest();
    plat::SetClock(nullptr);
    if (m_power)
        m_power->Stop();
    m_drives.reset();
    ResetLogForTesting();
    if (m_oldRuntimeDir.empty())
        ::unsetenv("XDG_RUNTIME_DIR");
    else
        SetEnv("XDG_RUNTIME_DIR", m_oldRuntimeDir);
    for (const char* name : {"ALSA_CONFIG_PATH", "VELKORA_SKYPE_SOCKET", KERNEL_BOARD_MODULE_ENV})
        ::unsetenv(name);
    m_cwd.reset();
}

bool HeadUnit::Start() {
    if (m_app.TakeInstance() == CVelkoraApp::Instance::Second)
        return false;
    m_startStatus = m_app.Start();
    if (m_startStatus != 0)
        return false;
    for (int i = 0; i < 200 && !Main()->IsStarted(); ++i)
        Advance(MAIN_TIMER_MS);
    return Main()->IsStarted();
}

bool HeadUnit::Running() const {
    CMainCtrlDlg* main = Main();
    return main && m_startStatus == 0 && main->Ended() == MainEnd::None;
}

CMainCtrlDlg* HeadUnit::Main() const {
    return m_app.MainDialog();
}

CSeatCtrlDlg* HeadUnit::Seat(int seat) const {
    return Main() ? Main()->Seat(seat) : nullptr;
}

CVelkoraAppDlg* HeadUnit::Page(int seat, int appType) const {
    return Main() ? Main()->Page(seat, appType) : nullptr;
}

CKernel* HeadUnit::Kernel() const {
    return CKernel::Instance();
}

void HeadUnit::Pump() {
    plat::ui::PumpUntilIdle();
}

void HeadUnit::Advance(uint32_t ms) {
    while (ms > 0) {
        uint32_t step = ms < 10 ? ms : 10;
        m_clock.Advance(step);
        ms -= step;
        Pump();
    }
}

bool HeadUnit::WaitFor(const std::function<bool()>& done, int realMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    for (;;) {
        Pump();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        Advance(MAIN_TIMER_MS);
    }
}

void HeadUnit::PenDown(int x, int y) {
    plat::ui::InjectPen(plat::ui::PenAction::Down, plat::Point{x, y});
    Pump();
}

void HeadUnit::PenMove(int x, int y) {
    plat::ui::InjectPen(plat::ui::PenAction::Move, plat::Point{x, y});
    Pump();
}

void HeadUnit::PenUp(int x, int y) {
    plat::ui::InjectPen(plat::ui::PenAction::Up, plat::Point{x, y});
    Pump();
}

void HeadUnit::Tap(int x, int y) {
    PenDown(x, y);
    Advance(40);
    PenUp(x, y);
}

void HeadUnit::Drag(int x0, int y0, int x1, int y1, int steps) {
    PenDown(x0, y0);
    for (int i = 1; i <= steps; ++i) {
        Advance(20);
        PenMove(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
    }
    PenUp(x1, y1);
}

plat::Surface HeadUnit::Screen(int index) const {
    plat::Surface s;
    plat::ui::CaptureScreen(index, s);
    return s;
}

std::vector<std::string> HeadUnit::SaveScreens(const std::string& name) const {
    std::vector<std::string> written;
    if (!m_uiStarted)
        return written;
    std::error_code ec;
    fs::create_directories(PicturesFolder(), ec);
    const char* suffix[] = {"-front.png", "-rear.png"};
    for (int i = 0; i < 2; ++i) {
        std::string path = fs::weakly_canonical(PicturesFolder()).string() + "/" + name + suffix[i];
        plat::Surface s = Screen(i);
        if (!s.IsEmpty() && plat::ui::SavePng(s, path))
            written.push_back(path);
    }
    return written;
}

void HeadUnit::Close() {
    if (!Running())
        return;
    Main()->RequestClose();
    WaitFor([&] { return Main()->Ended() != MainEnd::None; });
    Finish();
}

void HeadUnit::EndSession() {
    if (!Running())
        return;
    // Caught only from here on: a test run stopped from outside must still end.
    plat::CatchEndSignals();
    plat::TakeEndRequest();
    ::raise(SIGTERM);
    WaitFor([&] { return Main()->Ended() != MainEnd::None; });
    Finish();
}

void HeadUnit::Finish() {
    if (m_finished)
        return;
    m_finished = true;
    if (Main())
        m_ended = Main()->Ended();
    for (auto& box : plat::ui::TakeMessageBoxes())
        m_boxes.push_back(std::move(box));
    m_app.Finish();
}

MainEnd HeadUnit::HowEnded() const {
    if (m_finished)
        return m_ended;
    return Main() ? Main()->Ended() : MainEnd::None;
}

std::string HeadUnit::Log() const {
    return testsupport::ReadFilesStartingWith(m_base.Path(), "zz-log-");
}

std::vector<plat::ui::MessageBoxRecord> HeadUnit::TakeBoxes() {
    for (auto& box : plat::ui::TakeMessageBoxes())
        m_boxes.push_back(std::move(box));
    std::vector<plat::ui::MessageBoxRecord> out;
    out.swap(m_boxes);
    return out;
}

}  // namespace harness
