#include "core/shell/KeyFunctions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/VelkoraAppDlg.h"
#include "devices/BoardSimControl.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/PortMap.h"
#include "platform/media/MediaConfig.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Ui.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using testsupport::ReadBytes;
using testsupport::ReadText;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteBytes;
using testsupport::WriteText;
using testsupport::WriteUtf16;
using Lines = std::vector<std::string>;

namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits on real time for something another thread does, answering the user interface's
// sends and paints meanwhile.
template <typename F>
bool PumpUntil(F done, int ms = 3000) {
    auto until = SteadyClock::now() + std::chrono::milliseconds(ms);
    while (SteadyClock::now() < until) {
        plat::ui::PumpUntilIdle();
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    plat::ui::PumpUntilIdle();
    return done();
}

struct Message {
    uint32_t msg;
    uintptr_t wParam;
    intptr_t lParam;
};

// Everything the user-interface side saw, in order, with the thread it ran on.
struct UiRecord {
    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<Message> messages;
    bool offUiThread = false;
    std::thread::id uiThread = std::this_thread::get_id();

    void Add(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex);
        if (std::this_thread::get_id() != uiThread)
            offUiThread = true;
        events.push_back(event);
    }
    size_t MessageCount() {
        std::lock_guard<std::mutex> lock(mutex);
        return messages.size();
    }
    std::vector<Message> TakeMessages() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Message> out;
        out.swap(messages);
        return out;
    }
    std::vector<std::string> TakeEvents() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> out;
        out.swap(events);
        return out;
    }
};

std::string Hex(intptr_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%lX", static_cast<long>(v));
    return buf;
}

// The main dialog as the key functions see it: it records what it is sent, and whether the
// front seat was full screen when a switch arrived.
class MainDialog final : public plat::ui::Window {
public:
    explicit MainDialog(UiRecord& record) : m_record(record) {}
    ~MainDialog() override { Destroy(); }
    CSeatCtrlDlg* m_pFront = nullptr;

protected:
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override {
        {
            std::lock_guard<std::mutex> lock(m_record.mutex);
            m_record.messages.push_back({msg, wParam, lParam});
        }
        if (msg == WM_SWITCH_APP)
            m_record.Add("switch " + std::to_string(wParam) + " " + Hex(lParam) +
                         (m_pFront && m_pFront->m_bExpanded ? " expanded" : " folded"));
        else if (msg == WM_KEY_COMMAND)
            m_record.Add("command " + std::to_string(wParam) + " " + Hex(lParam));
        return 0;
    }

private:
    UiRecord& m_record;
};

// A page that counts how often its seat draws it.
class CountingPage final : public CVelkoraAppDlg {
public:
    void Render(plat::Canvas* hdc) override {
        ++m_renders;
        if (hdc)
            hdc->FillRect(plat::Rect{0, 0, 800, 600}, 0xFF204060);
    }
    int m_renders = 0;
};

// The two seats as the main dialog makes them, each showing a page that counts its drawings;
// the front seat also has its clock page, hidden.
class TestSeats {
public:
    bool Make(plat::ui::WindowId mainWnd) {
        CSeatCtrlDlg* seats[2] = {&front, &rear};
        CountingPage* homes[2] = {&frontHome, &rearHome};
        for (int seat = 0; seat < 2; ++seat) {
            if (!seats[seat]->Create() ||
                !seats[seat]->Initial(static_cast<uint8_t>(seat), mainWnd))
                return false;
            homes[seat]->SetSkin(static_cast<uint8_t>(seat), mainWnd, APPTYPE_HOMEPAGE);
            homes[seat]->SetOwner(seats[seat]);
            seats[seat]->SetApplication(APPTYPE_HOMEPAGE, homes[seat]);
            homes[seat]->Show(true, 255);
            seats[seat]->ShowExpanded(true);
        }
        clock.SetSkin(0, mainWnd, APPTYPE_DATETIME);
        clock.SetOwner(&front);
        front.SetApplication(APPTYPE_DATETIME, &clock);
        clock.Show(false, 255);
        return true;
    }
    // The clock page shows on the front seat, opened by `caller`.
    void ShowClock(uint8_t caller) {
        frontHome.Show(false, 255);
        clock.Show(true, caller);
        front.m_iCurrentApp = APPTYPE_DATETIME;
    }
    void ResetPaints() { frontHome.m_renders = rearHome.m_renders = clock.m_renders = 0; }
    int FrontPaints() const { return frontHome.m_renders + clock.m_renders; }
    int RearPaints() const { return rearHome.m_renders; }

    CSeatCtrlDlg front, rear;
    CountingPage frontHome, rearHome, clock;
};

// A base folder with settings, the board simulator and the user interface (headless), the
// key functions installed with a main dialog and two seats.
class KeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cwd = std::make_unique<ScopedCwd>(m_dir.Path());
        plat::SetClock(&m_clock);
        // No test touches the machine's own sound card.
        testsupport::SilenceSoundCard(m_dir.Path());
        ::unsetenv(KERNEL_BOARD_MODULE_ENV);
        WriteText(MARKER_LOG, "");
        WriteUtf16("DefaultCfg.ini", "[System Settings]\r\nSkin = Test\r\n", true);
        WriteLevel(16);

        ASSERT_TRUE(m_sim.Load());
        ASSERT_TRUE(m_sim.Command("reset"));
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        ASSERT_TRUE(plat::ui::Init(options));
        ASSERT_TRUE(m_main.Create(plat::ui::CreateParams{}));
        for (const char* name : {"Velkora-op2.png", "Velkora-op3.png", "Velkora-s.png"}) {
            std::filesystem::create_directories("Skin/Test");
            testsupport::WritePng(std::string("Skin/Test/") + name,
                                  testsupport::SolidImage(80, 60, 0xFF808080));
        }
        InstallKeyFunctions(m_main.Id());
    }

    void TearDown() override {
        plat::ui::BeginShutdown();
        SetKeySeats(nullptr, nullptr);
        m_seats.reset();
        CSeatCtrlDlg::Hooks() = SEAT_HOOKS{};
        DestroyKernel();
        RemoveKeyFunctions();
        CHWAudioHolder::DestroyInstance();
        m_main.Destroy();
        plat::ui::Terminate();
        m_module.reset();
        plat::SetClock(nullptr);
        ::unsetenv("ALSA_CONFIG_PATH");
    }

    void WriteLevel(int level) {
        SYS_SETTINGS s;
        std::memset(&s, 0, sizeof s);
        s.iAudioLevel = level;
        WriteBytes(SYS_SETTINGS_DB, WriteSettingsBlock(s));
    }

    int SavedLevel() {
        SYS_SETTINGS s;
        EXPECT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), s));
        return s.iAudioLevel;
    }

    // Starts the kernel as the main dialog does, with a power module of this model (none:
    // the unit has no power module, so no model is identified).
    CKernel* Start(const char* model) {
        if (model) {
            emu::PowerModuleSettings s;
            s.model = model;
            m_module = std::make_unique<emu::PowerModuleEmulator>(s);
            EXPECT_TRUE(m_module->Start());
            EXPECT_TRUE(plat::SetPortMapEntry(plat::kPortMapFile, "com2", m_module->DevicePath()));
        } else {
            WriteText(MARKER_NO_POWER_MODULE, "");
        }
        CKernel* k = CKernel::GetInstance();
        EXPECT_TRUE(k->Create());
        k->m_PowerModule.SetReplyWait(300);
        EXPECT_TRUE(k->Initial());
        EXPECT_TRUE(k->FirmwareReady());
        m_seats = std::make_unique<TestSeats>();
        EXPECT_TRUE(m_seats->Make(m_main.Id()));
        m_main.m_pFront = &m_seats->front;
        SetKeySeats(&m_seats->front, &m_seats->rear);
        Settle();
        return k;
    }

    // Paints done, records and call log emptied.
    void Settle() {
        plat::ui::PumpUntilIdle();
        if (m_seats)
            m_seats->ResetPaints();
        m_record.TakeEvents();
        m_record.TakeMessages();
        m_sim.ClearLog();
        m_logMark = Log().size();
    }

    std::string Log() const { return testsupport::ReadFilesStartingWith(m_dir.Path(), "zz-log-"); }

    // Log lines since the last Settle, without their time stamps.
    Lines NewLog() {
        std::string text = Log().substr(m_logMark);
        Lines lines;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            // "[stamp]: message": keep the message.
            size_t mark = line.find("]: ");
            if (mark != std::string::npos && line[0] == '[')
                line = line.substr(mark + 3);
            if (!line.empty())
                lines.push_back(line);
            start = end + 1;
        }
        return lines;
    }

    // Waits until `n` key functions have returned since the last Settle.
    bool KeysDone(size_t n) {
        return PumpUntil([&] {
            Lines log = NewLog();
            return static_cast<size_t>(std::count(log.begin(), log.end(), "Ken fn done")) == n;
        });
    }

    // Board calls since the last Settle, without the polling thread's reads.
    Lines BoardCalls() {
        Lines out;
        for (const std::string& line : m_sim.Log())
            if (line.compare(0, 7, "keys 0 ") != 0 && line.compare(0, 9, "status 3 ") != 0)
                out.push_back(line);
        return out;
    }

    TempDir m_dir;
    std::unique_ptr<ScopedCwd> m_cwd;
    plat::ManualClock m_clock;
    emu::BoardSimControl m_sim;
    std::unique_ptr<emu::PowerModuleEmulator> m_module;
    UiRecord m_record;
    MainDialog m_main{m_record};
    std::unique_ptr<TestSeats> m_seats;
    size_t m_logMark = 0;
};

}  // namespace

TEST(KeyEntryIndex, FourRangesOfSevenCodes) {
    int mapped = 0;
    for (int code = 0; code < 256; ++code) {
        int index = KeyEntryIndex(static_cast<uint8_t>(code));
        if (index < 0)
            continue;
        ++mapped;
        int base = (code >> 4) == 0x0 ? 0 : (code >> 4) == 0x1 ? 7 : (code >> 4) == 0x4 ? 14 : 21;
        EXPECT_EQ(index, base + (code & 0x0F)) << code;
    }
    EXPECT_EQ(mapped, 28);
    EXPECT_EQ(KeyEntryIndex(0x06), 6);
    EXPECT_EQ(KeyEntryIndex(0x07), -1);
    EXPECT_EQ(KeyEntryIndex(0x20), -1);
    EXPECT_EQ(KeyEntryIndex(0x56), 27);
    EXPECT_EQ(KeyEntryIndex(0x57), -1);
}

// ---- The four models' tables, code by code --------------------------------------------------

namespace {

// What one panel key does: its logged name and its effect.
struct KeyExpect {
    uint8_t code;
    const char* name;
    const char* action;  // "switch N", "command 0x...", "vol+", "vol-", "mute", "menu",
                         // "clock", "eject", or "" for a named key without a function
};

const std::vector<KeyExpect> kModelC = {
    {0x00, "VOLUME-", "vol-"},
    {0x01, "VOLUME+", "vol+"},
    {0x02, "MENU", "menu"},
    {0x03, "MUTE", "mute"},
};

std::vector<KeyExpect> ModelP() {
    std::vector<KeyExpect> keys;
    for (uint8_t base : {0x00, 0x10}) {
        keys.push_back({static_cast<uint8_t>(base + 0), "CLOCK", "clock"});
        keys.push_back({static_cast<uint8_t>(base + 1), "MUTE", "mute"});
        keys.push_back({static_cast<uint8_t>(base + 2), "MENU", "menu"});
        keys.push_back({static_cast<uint8_t>(base + 3), "NAVI", "switch 5"});
        keys.push_back({static_cast<uint8_t>(base + 4), "AUX", "switch 10"});
        keys.push_back({static_cast<uint8_t>(base + 5), "INTERNET", "switch 13"});
        keys.push_back({static_cast<uint8_t>(base + 6), "PLAY/PAUSE", "command 0x1046"});
    }
    for (uint8_t base : {0x40, 0x50}) {
        keys.push_back({static_cast<uint8_t>(base + 0), "EJECT", "eject"});
        keys.push_back({static_cast<uint8_t>(base + 1), "X", ""});
        keys.push_back({static_cast<uint8_t>(base + 4), "RADIO", "switch 4"});
        keys.push_back({static_cast<uint8_t>(base + 5), "MUSIC", "switch 1"});
        keys.push_back({static_cast<uint8_t>(base + 6), "PHONE", "switch 7"});
    }
    // The first row seeks and changes tracks; the second row's keys of those names step the
    // volume.
    keys.push_back({0x42, "SEEK/UP", "command 0x1002"});
    keys.push_back({0x43, "TRACK/DOWN", "command 0x1003"});
    keys.push_back({0x52, "SEEK/UP", "vol+"});
    keys.push_back({0x53, "TRACK/DOWN", "vol-"});
    return keys;
}

const std::vector<KeyExpect> kModelH = {
    {0x01, "MUTE", "mute"},
    {0x11, "EJECT", "eject"},
};

struct ModelCase {
    const char* model;
    int mode;
    const char* setupLog;  // null: nothing logged
    std::vector<KeyExpect> keys;
};

class KeyTableTest : public KeysTest, public ::testing::WithParamInterface<int> {
protected:
    static ModelCase Case(int i) {
        switch (i) {
            case 0:
                return {"TRX4100C", MODEL_TRX4100C, "CKernel::SetupKeyFn(): TRX4100C", kModelC};
            case 1:
                return {"TRX4100P", MODEL_TRX4100P, "CKernel::SetupKeyFn(): TRX4100P", ModelP()};
            case 2:
                return {"TRX4100G", MODEL_TRX4100G, nullptr, {}};
            default:
                return {"TRX4100H", MODEL_TRX4100H, "CKernel::SetupKeyFn(): TRX4100H", kModelH};
        }
    }

    // What the effects of one key look like, from the main dialog's messages and the board's
    // calls; `before` is the volume level before the key.
    std::string Observed(CKernel* k, int before, bool muteBefore) {
        std::vector<std::string> parts;
        for (const Message& m : m_record.TakeMessages()) {
            if (m.msg == WM_SWITCH_APP)
                parts.push_back("switch " + std::to_string(m.lParam & 0xFFFF) + " from " +
                                std::to_string(m.lParam >> 16) + " seat " +
                                std::to_string(m.wParam));
            else if (m.msg == WM_KEY_COMMAND)
                parts.push_back("command " + Hex(m.lParam));
            else
                parts.push_back("message " + std::to_string(m.msg));
        }
        for (const std::string& call : BoardCalls()) {
            if (call == "audio 5 SetVolume(" + std::to_string(before + 1) + ") = 0")
                parts.push_back("vol+");
            else if (call == "audio 5 SetVolume(" + std::to_string(before - 1) + ") = 0")
                parts.push_back("vol-");
            else if (call == std::string("audio 7 Mute(") + (muteBefore ? "0" : "1") + ") = 0")
                parts.push_back("mute");
            else if (call == "video 4 SelectInput(0) = 0")
                parts.push_back("input 0");
            else
                parts.push_back("board " + call);
        }
        (void)k;
        std::string all;
        for (const std::string& p : parts)
            all += (all.empty() ? "" : ", ") + p;
        return all;
    }

    static std::string Expected(const KeyExpect& key, int currentApp) {
        std::string a = key.action;
        std::string from = " from " + std::to_string(currentApp) + " seat 0";
        if (a.compare(0, 7, "switch ") == 0)
            return a + from;
        if (a == "menu")
            return "switch 0" + from + ", input 0";
        if (a == "clock")
            return "switch 33" + from;
        if (a == "eject")
            return "";
        return a;
    }
};

}  // namespace

TEST_P(KeyTableTest, EveryPanelCodeDoesWhatItsModelsTableSays) {
    const ModelCase mc = Case(GetParam());
    // The tray key must not reach this machine's drive.
    plat::SetOpticalDevice(m_dir.File("no-drive"));
    CKernel* k = Start(mc.model);
    ASSERT_EQ(k->m_iMode, mc.mode);
    std::string log = Log();
    for (const char* other : {"TRX4100C", "TRX4100P", "TRX4100H"}) {
        std::string line = std::string("CKernel::SetupKeyFn(): ") + other;
        bool expected = mc.setupLog && line == mc.setupLog;
        EXPECT_EQ(log.find(line) != std::string::npos, expected) << line;
    }
    m_seats->front.m_iCurrentApp = 3;

    for (int code = 0; code < 256; ++code) {
        const KeyExpect* key = nullptr;
        for (const KeyExpect& e : mc.keys)
            if (e.code == code)
                key = &e;
        int before = k->m_Settings.iAudioLevel;
        bool muteBefore = k->m_bMute.load() != 0;
        // On the user-interface thread the sends are direct calls: everything is done on return.
        k->HandleKey(KEY_GROUP_PANEL, static_cast<uint8_t>(code));
        char head[48];
        std::snprintf(head, sizeof head, "CKernel::HandleKey(0x10, 0x%02X)", code);
        Lines lines = NewLog();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), head);
        SCOPED_TRACE(head);
        if (!key || !*key->action) {
            EXPECT_EQ(lines, (Lines{head, "No key function"}));
            EXPECT_EQ(Observed(k, before, muteBefore), "");
        } else {
            EXPECT_EQ(lines[1], std::string("HandleKey(): [") + key->name + "]");
            EXPECT_EQ(lines.back(), "Ken fn done");
            EXPECT_EQ(Observed(k, before, muteBefore),
                      Expected(*key, m_seats->front.m_iCurrentApp));
        }
        Settle();
    }
}

std::string ModelName(const ::testing::TestParamInfo<int>& info) {
    static const char* const kNames[] = {"TRX4100C", "TRX4100P", "TRX4100G", "TRX4100H"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Models, KeyTableTest, ::testing::Values(0, 1, 2, 3), ModelName);

TEST_F(KeysTest, WithoutAnIdentifiedModelNoPanelKeyHasAFunction) {
    // No power module: the model is never asked for and the table stays empty.
    CKernel* k = Start(nullptr);
    EXPECT_EQ(k->m_bModelKnown, 0);
    EXPECT_EQ(Log().find("SetupKeyFn"), std::string::npos);
    for (uint8_t code : {0x00, 0x01, 0x03, 0x11, 0x42, 0x44, 0x52}) {
        k->HandleKey(KEY_GROUP_PANEL, code);
        Lines lines = NewLog();
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[1], "No key function");
        Settle();
    }
    EXPECT_TRUE(BoardCalls().empty());
    EXPECT_TRUE(m_record.TakeMessages().empty());
}

// ---- Volume and mute, from the board's key queue on the polling thread -----------------------

TEST_F(KeysTest, AVolumeKeyFromTheBoardChangesTheVolumeAndSavesIt) {
    WriteLevel(12);
    CKernel* k = Start("TRX4100C");
    k->StartPolling();
    ASSERT_TRUE(m_sim.Command("key 0x10 0x01"));  // VOLUME+
    ASSERT_TRUE(KeysDone(1));
    EXPECT_EQ(k->m_iVolume.load(), 13);
    EXPECT_EQ(k->m_Settings.iAudioLevel, 13);
    EXPECT_EQ(m_sim.Get("volume"), 13);
    EXPECT_EQ(SavedLevel(), 13);
    // Both seats redraw their volume number.
    ASSERT_TRUE(PumpUntil([&] { return m_seats->FrontPaints() > 0 && m_seats->RearPaints() > 0; }));
    Lines log = NewLog();
    auto at = std::find(log.begin(), log.end(), "HandleKey(): [VOLUME+]");
    ASSERT_NE(at, log.end());
    EXPECT_EQ(*(at + 1), "KeyVolPlus");
    EXPECT_EQ(*(at + 2), "Ken fn done");

    // Down twice; the level goes through the board and the file each time.
    Settle();
    ASSERT_TRUE(m_sim.Script("key 0x10 0x00\nkey 0x10 0x00\n") == 0);
    ASSERT_TRUE(KeysDone(2));
    EXPECT_EQ(k->m_iVolume.load(), 11);
    EXPECT_EQ(SavedLevel(), 11);
    EXPECT_EQ(BoardCalls(), (Lines{"audio 5 SetVolume(12) = 0", "audio 5 SetVolume(11) = 0"}));
}

TEST_F(KeysTest, TheVolumeStopsAtItsEndsWithoutSavingOrCallingTheBoard) {
    WriteLevel(SYS_VOLUME_MAX);
    CKernel* k = Start("TRX4100C");
    // A save would write this language into the file.
    k->m_Settings.iLanguage = 3;

    k->HandleKey(KEY_GROUP_PANEL, 0x01);  // VOLUME+ at 32
    plat::ui::PumpUntilIdle();
    EXPECT_EQ(k->m_Settings.iAudioLevel, SYS_VOLUME_MAX);
    EXPECT_EQ(m_seats->FrontPaints(), 0) << "nothing happens at all";
    EXPECT_EQ(m_seats->RearPaints(), 0);

    // The same step from the second key group still redraws the front seat.
    k->HandleKey(KEY_GROUP_2, 0x40);
    plat::ui::PumpUntilIdle();
    EXPECT_EQ(m_seats->FrontPaints(), 1);
    EXPECT_EQ(m_seats->RearPaints(), 0);
    EXPECT_TRUE(BoardCalls().empty());
    SYS_SETTINGS saved;
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iLanguage, 0) << "not saved";

    // At 0 the way down ends the same way.
    k->m_Settings.iAudioLevel = 0;
    Settle();
    k->HandleKey(KEY_GROUP_PANEL, 0x00);
    k->HandleKey(KEY_GROUP_2, 0x50);
    plat::ui::PumpUntilIdle();
    EXPECT_EQ(k->m_Settings.iAudioLevel, 0);
    EXPECT_TRUE(BoardCalls().empty());
    EXPECT_EQ(m_seats->FrontPaints(), 1);
    EXPECT_EQ(m_seats->RearPaints(), 0);
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iLanguage, 0);
    EXPECT_EQ(saved.iAudioLevel, SYS_VOLUME_MAX);
}

TEST_F(KeysTest, TheSecondGroupStepsTheVolumeAndSendsItsTwoCommands) {
    CKernel* k = Start("TRX4100H");
    k->HandleKey(KEY_GROUP_2, 0x40);
    EXPECT_EQ(k->m_iVolume.load(), 17);
    k->HandleKey(KEY_GROUP_2, 0x50);
    k->HandleKey(KEY_GROUP_2, 0x50);
    EXPECT_EQ(k->m_iVolume.load(), 15);
    EXPECT_EQ(SavedLevel(), 15);
    k->HandleKey(KEY_GROUP_2, 0x00);
    k->HandleKey(KEY_GROUP_2, 0x10);
    k->HandleKey(KEY_GROUP_2, 0x33);  // nothing but the repaint
    k->HandleKey(0x30, 0x00);         // another group: nothing at all
    k->HandleKey(0x00, 0x40);
    EXPECT_EQ(m_record.TakeEvents(),
              (std::vector<std::string>{"command 0 0x2000", "command 0 0x2010"}));
    plat::ui::PumpUntilIdle();
    EXPECT_GE(m_seats->FrontPaints(), 1);
    EXPECT_GE(m_seats->RearPaints(), 1) << "the volume steps redraw both seats";
    // The group keys log nothing of their own.
    for (const std::string& line : NewLog())
        EXPECT_TRUE(line.compare(0, 18, "CKernel::HandleKey") == 0 || line == "KeyVolPlus" ||
                    line == "KeyVolMinus")
            << line;
}

TEST_F(KeysTest, TheMuteKeyTogglesTheBoardAndRedrawsBothSeats) {
    CKernel* k = Start("TRX4100H");
    k->StartPolling();
    ASSERT_EQ(k->m_bMute.load(), 1) << "the unit starts muted until its pages are up";
    ASSERT_TRUE(m_sim.Command("key 0x10 0x01"));
    ASSERT_TRUE(KeysDone(1));
    EXPECT_EQ(k->m_bMute.load(), 0);
    ASSERT_TRUE(PumpUntil([&] { return m_seats->FrontPaints() > 0 && m_seats->RearPaints() > 0; }));
    EXPECT_EQ(m_sim.Get("mute"), 0);
    ASSERT_TRUE(m_sim.Command("key 0x10 0x01"));
    ASSERT_TRUE(KeysDone(2));
    EXPECT_EQ(k->m_bMute.load(), 1);
    EXPECT_EQ(m_sim.Get("mute"), 1);
    EXPECT_EQ(BoardCalls(), (Lines{"audio 7 Mute(0) = 0", "audio 7 Mute(1) = 0"}));
    Lines log = NewLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "KeyMute"), 2);
    EXPECT_EQ(SavedLevel(), 16) << "mute is no level";
}

// ---- Application switches -------------------------------------------------------------------

TEST_F(KeysTest, ASwitchKeyExpandsTheFrontSeatAndWaitsForTheMainDialog) {
    CKernel* k = Start("TRX4100P");
    m_seats->front.ShowExpanded(false);
    m_seats->front.m_iCurrentApp = 1;  // music
    plat::ui::PumpUntilIdle();
    m_seats->ResetPaints();
    k->StartPolling();
    ASSERT_TRUE(m_sim.Command("key 0x50 0x44"));  // ignored: not the panel group
    ASSERT_TRUE(m_sim.Command("key 0x10 0x44"));  // RADIO
    ASSERT_TRUE(PumpUntil([&] { return Log().find("Ken fn done") != std::string::npos; }));
    EXPECT_EQ(m_seats->front.m_bCollapsed, 0);
    EXPECT_EQ(plat::ui::GetWindowRect(m_seats->front.Id()), (plat::Rect{0, 0, 800, 480}));
    // Expanded first, then asked, for the front seat, coming from the page it showed.
    EXPECT_EQ(m_record.TakeEvents(), (std::vector<std::string>{"switch 0 0x10004 expanded"}));
    EXPECT_FALSE(m_record.offUiThread) << "seats and the main dialog only on their thread";
    ASSERT_TRUE(PumpUntil([&] { return m_seats->FrontPaints() > 0; }));
    EXPECT_EQ(m_seats->RearPaints(), 0);

    Lines log = NewLog();
    auto at = std::find(log.begin(), log.end(), "HandleKey(): [RADIO]");
    ASSERT_NE(at, log.end());
    EXPECT_EQ(*(at + 1), "CKernel::_SwitchApp(): 4");
    EXPECT_EQ(*(at + 2), "Ken fn done") << "the key function returned after the main dialog";
}

TEST_F(KeysTest, TheClockKeyOpensTheClockAndClosesItBackToItsCaller) {
    CKernel* k = Start("TRX4100P");
    m_seats->front.m_iCurrentApp = 4;
    k->HandleKey(KEY_GROUP_PANEL, 0x00);
    EXPECT_EQ(m_record.TakeEvents(), (std::vector<std::string>{"switch 0 0x40021 expanded"}));

    // The clock page shows, opened from the radio, while the seat is folded: the key takes
    // the seat back there, full screen.
    m_seats->ShowClock(APPTYPE_RADIO);
    m_seats->front.ShowExpanded(false);
    plat::ui::PumpUntilIdle();
    m_seats->ResetPaints();
    k->HandleKey(KEY_GROUP_PANEL, 0x10);
    EXPECT_EQ(m_record.TakeEvents(), (std::vector<std::string>{"switch 0 0x210004 expanded"}));
    EXPECT_EQ(m_seats->front.m_bCollapsed, 0);
    plat::ui::PumpUntilIdle();
    EXPECT_EQ(m_seats->FrontPaints(), 1);
    EXPECT_TRUE(BoardCalls().empty());
}

TEST_F(KeysTest, TheMenuKeyTakesBackTheUnitsPictureAndGoesHome) {
    CKernel* k = Start("TRX4100C");
    k->m_iInputSource = 2;
    m_seats->front.m_iCurrentApp = 10;  // AUX shows the outside picture
    k->HandleKey(KEY_GROUP_PANEL, 0x02);
    EXPECT_EQ(k->m_iInputSource.load(), 0);
    EXPECT_EQ(BoardCalls(), (Lines{"video 4 SelectInput(0) = 0"}));
    EXPECT_EQ(m_record.TakeEvents(), (std::vector<std::string>{"switch 0 0xA0000 expanded"}));
    Lines log = NewLog();
    EXPECT_EQ(log, (Lines{"CKernel::HandleKey(0x10, 0x02)", "HandleKey(): [MENU]",
                          "CKernel::InputSource: 0", "CKernel::_SwitchApp(): 0", "Ken fn done"}));
}

TEST_F(KeysTest, KeyCommandsGoToTheMainDialogForTheFrontSeat) {
    CKernel* k = Start("TRX4100P");
    k->StartPolling();
    ASSERT_TRUE(m_sim.Script("key 0x10 0x42\nkey 0x10 0x43\nkey 0x10 0x16\n") == 0);
    ASSERT_TRUE(PumpUntil([&] { return m_record.MessageCount() == 3; }));
    auto messages = m_record.TakeMessages();
    ASSERT_EQ(messages.size(), 3u);
    const intptr_t expected[] = {KEYCMD_SEEK_UP, KEYCMD_TRACK_DOWN, KEYCMD_PLAY_PAUSE};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].msg, static_cast<uint32_t>(WM_KEY_COMMAND));
        EXPECT_EQ(messages[i].wParam, 0u);
        EXPECT_EQ(messages[i].lParam, expected[i]);
    }
    EXPECT_FALSE(m_record.offUiThread);
}

TEST_F(KeysTest, AKeyWaitingForTheUserInterfaceGivesUpWhenTheProgramEnds) {
    CKernel* k = Start("TRX4100P");
    k->StartPolling();
    ASSERT_TRUE(m_sim.Command("key 0x10 0x45"));  // MUSIC
    // The user-interface thread is busy elsewhere: the key function waits for it.
    auto started = [&] { return Log().find("HandleKey(): [MUSIC]") != std::string::npos; };
    auto begin = SteadyClock::now();
    while (!started() && SteadyClock::now() - begin < std::chrono::seconds(3))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(started());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(Log().find("Ken fn done"), std::string::npos);

    auto before = SteadyClock::now();
    plat::ui::BeginShutdown();
    begin = SteadyClock::now();
    while (Log().find("Ken fn done") == std::string::npos &&
           SteadyClock::now() - begin < std::chrono::seconds(1))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_NE(Log().find("Ken fn done"), std::string::npos);
    DestroyKernel();
    EXPECT_LT(SteadyClock::now() - before, std::chrono::seconds(1));
    EXPECT_TRUE(m_record.TakeEvents().empty()) << "no switch was asked for";
}
