#include "core/kernel/Kernel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/CfgData.h"
#include "core/kernel/LogWriter.h"
#include "devices/BoardSimControl.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/io/KeyValueStore.h"
#include "platform/io/PortMap.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "tests/support/TestSupport.h"

using Lines = std::vector<std::string>;
using testsupport::Exists;
using testsupport::ReadBytes;
using testsupport::ReadText;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteBytes;
using testsupport::WriteText;
using testsupport::WriteUtf16;

namespace {

using Clock = std::chrono::steady_clock;

struct Box {
    std::u16string caption, text;
};

std::vector<Box> TakeBoxes() {
    std::vector<Box> out;
    for (auto& box : plat::ui::TakeMessageBoxes())
        out.push_back({box.caption, box.text});
    return out;
}

// Waits for `done` on real time: the polling thread runs on its own.
template <typename F>
bool WaitFor(F done, int ms = 3000) {
    auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

bool Contains(const Lines& lines, const std::string& line) {
    for (const std::string& l : lines)
        if (l == line)
            return true;
    return false;
}

size_t IndexOf(const Lines& lines, const std::string& prefix) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].compare(0, prefix.size(), prefix) == 0)
            return i;
    return lines.size();
}

int g_setupCalls = 0;
std::atomic<int> g_keysHandled{0};
std::atomic<uint16_t> g_lastKey{0};
std::atomic<std::thread::id> g_keyThread;

void CountSetup(CKernel*) {
    ++g_setupCalls;
}

void RecordKey(CKernel*, uint8_t group, uint8_t code) {
    g_lastKey = static_cast<uint16_t>(group << 8 | code);
    g_keyThread = std::this_thread::get_id();
    ++g_keysHandled;
}

// A whole base folder: settings, configuration defaults, the port map with the power-module
// emulator on com2, the board simulator beside the tests, and the kernel's log switched on.
class KernelTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_cwd = std::make_unique<ScopedCwd>(m_dir.Path());
        plat::SetClock(&m_clock);
        // No test touches the machine's own sound card.
        testsupport::SilenceSoundCard(m_dir.Path());
        ::unsetenv(KERNEL_BOARD_MODULE_ENV);
        WriteText(MARKER_LOG, "");

        SYS_SETTINGS s;
        std::memset(&s, 0, sizeof s);
        s.iAudioLevel = 12;
        s.iLanguage = 2;
        WriteBytes(SYS_SETTINGS_DB, WriteSettingsBlock(s));
        WriteUtf16(CFG_DEFAULT_INI,
                   "[System Settings]\r\nSkin = Test\r\nLanguage = japanese\r\n"
                   "Music Folder = D:\\Velkora Media\\Music\r\n"
                   "Movie Folder = D:\\Velkora Media\\Movie\r\n"
                   "Photo Folder = D:\\Velkora Media\\Photo\r\n",
                   true);

        ASSERT_TRUE(m_sim.Load()) << "the simulator module is built beside the tests";
        ASSERT_TRUE(m_sim.Command("reset"));
        // The kernel runs inside the user interface, headless here.
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        ASSERT_TRUE(plat::ui::Init(options));
        plat::ui::TakeMessageBoxes();
        g_setupCalls = 0;
        g_keysHandled = 0;
        CKernel::SetKeyFunctionHooks(KEY_FUNCTION_HOOKS{&CountSetup, &RecordKey});
    }

    void TearDown() override {
        plat::ui::BeginShutdown();
        DestroyKernel();
        plat::ui::Terminate();
        CKernel::SetKeyFunctionHooks(KEY_FUNCTION_HOOKS{});
        m_module.reset();
        plat::SetClock(nullptr);
        ::unsetenv("ALSA_CONFIG_PATH");
        ::unsetenv(KERNEL_BOARD_MODULE_ENV);
    }

    void StartModule(const std::string& model = "TRX4100P",
                     void (*tweak)(emu::PowerModuleSettings&) = nullptr) {
        emu::PowerModuleSettings s;
        s.model = model;
        if (tweak)
            tweak(s);
        m_module = std::make_unique<emu::PowerModuleEmulator>(s);
        ASSERT_TRUE(m_module->Start());
        ASSERT_TRUE(plat::SetPortMapEntry(plat::kPortMapFile, "com2", m_module->DevicePath()));
    }

    // Create and Initial as the main dialog runs them; the module's replies come at once, so
    // its waits are cut short.
    CKernel* Start(bool expectInitial = true) {
        CKernel* k = CKernel::GetInstance();
        EXPECT_TRUE(k->Create());
        k->m_PowerModule.SetReplyWait(300);
        EXPECT_EQ(k->Initial(), expectInitial);
        return k;
    }

    std::string Log() const { return testsupport::ReadFilesStartingWith(m_dir.Path(), "zz-log-"); }

    TempDir m_dir;
    std::unique_ptr<ScopedCwd> m_cwd;
    plat::ManualClock m_clock;
    emu::BoardSimControl m_sim;
    std::unique_ptr<emu::PowerModuleEmulator> m_module;
};

}  // namespace

TEST_F(KernelTest, StartsInOrderWithThePowerModuleAndTheBoard) {
    StartModule("TRX4100C");
    CKernel* k = Start();
    EXPECT_TRUE(TakeBoxes().empty());

    // Settings and language, then the configuration written from its defaults.
    EXPECT_EQ(k->m_byVolumeShadow, 12);
    EXPECT_EQ(plat::Utf16ToUtf8(k->m_szBaseDir), m_dir.Path());
    ASSERT_NE(pCfgData, nullptr);
    EXPECT_EQ(ReadBytes(CFG_SETTINGS_DB).size(), CFG_SETTINGS_SIZE);
    EXPECT_EQ(pCfgData->m_CfgSettings.byLanguage, CFG_LANG_JAPANESE);
    EXPECT_TRUE(std::filesystem::is_directory("PLAYLIST"));

    // On the wire: handshake, model query and its end, version query and its end.
    m_module->WaitForReceived(5, 2000);
    std::vector<uint8_t> received = m_module->Received();
    // A handshake the module answers late (a busy machine) is sent once more.
    if (received.size() >= 2 && received[0] == 0xA5 && received[1] == 0xA5) {
        m_module->WaitForReceived(6, 2000);
        received = m_module->Received();
        received.erase(received.begin());
    }
    EXPECT_EQ(received, (std::vector<uint8_t>{0xA5, PM_QUERY_MODEL, 0xA5, PM_QUERY_VERSION, 0xA5}));
    EXPECT_EQ(k->m_iMode, MODEL_TRX4100C);
    EXPECT_EQ(k->m_bModelKnown, 1);
    EXPECT_EQ(g_setupCalls, 1);
    EXPECT_EQ(k->m_PowerModule.m_strVersion, "1203");

    // The board opened on com1, ready, and muted.
    EXPECT_TRUE(k->FirmwareReady());
    EXPECT_EQ(k->m_bMute.load(), 1);
    EXPECT_EQ(m_sim.Log(),
              (Lines{"CreateRARA()", "factory 1 CreateDevice(TDA7419) = 0",
                     "audio 35 Open(com1, 57600) = 0", "audio 38 GetVersion() = 0 -> SIM-1.00",
                     "audio 39 IsReady() = 1", "audio 7 Mute(1) = 0"}));

    // The log tells the same story in the same order.
    std::string log = Log();
    size_t open = log.find("Open m_PowerModule OK");
    size_t model = log.find("Model Name: TRX4100C");
    size_t mode = log.find("m_iMode = TRX4100C");
    size_t mute = log.find("CKernel::InitalB::SetFirmwareVolume( mute )");
    ASSERT_NE(open, std::string::npos);
    ASSERT_NE(model, std::string::npos);
    ASSERT_NE(mode, std::string::npos);
    ASSERT_NE(mute, std::string::npos);
    EXPECT_LT(open, model);
    EXPECT_LT(model, mode);
    EXPECT_LT(mode, mute);
}

TEST_F(KernelTest, EachModelNameGivesItsIndex) {
    const std::pair<const char*, int> models[] = {
        {"TRX4100P", MODEL_TRX4100P}, {"TRX4100G", MODEL_TRX4100G}, {"TRX4100H", MODEL_TRX4100H}};
    for (const auto& [name, index] : models) {
        StartModule(name);
        CKernel* k = Start();
        EXPECT_EQ(k->m_iMode, index) << name;
        EXPECT_EQ(k->m_bModelP, 1) << name;
        DestroyKernel();
        m_module.reset();
    }
    EXPECT_EQ(g_setupCalls, 3);
}

TEST_F(KernelTest, WithoutAPowerModuleNothingGoesOverCom2) {
    StartModule("TRX4100C");
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    EXPECT_TRUE(TakeBoxes().empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(m_module->Received().empty());
    EXPECT_EQ(k->m_iMode, MODEL_TRX4100P) << "the model stays P";
    EXPECT_EQ(k->m_bModelKnown, 0);
    EXPECT_EQ(g_setupCalls, 0) << "no key functions are installed";
    EXPECT_TRUE(k->FirmwareReady()) << "the board does not depend on the power module";
}

TEST_F(KernelTest, ShowCursorSkipsTheHandshakeButOpensThePort) {
    StartModule("TRX4100C");
    SYS_SETTINGS s;
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), s));
    s.iShowCursor = 1;
    WriteBytes(SYS_SETTINGS_DB, WriteSettingsBlock(s));
    CKernel* k = Start();
    EXPECT_EQ(k->m_bModelKnown, 0);
    EXPECT_EQ(g_setupCalls, 0);
    EXPECT_TRUE(k->m_PowerModule.IsOpen());
    EXPECT_TRUE(m_module->Received().empty());
}

TEST_F(KernelTest, NoAnswerToTheHandshakeEndsStartUp) {
    StartModule("TRX4100P",
                [](emu::PowerModuleSettings& s) { s.behaviour = emu::PowerBehaviour::Silent; });
    CKernel* k = Start(false);
    auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].text, u"No device found!, please try again! ");
    EXPECT_FALSE(k->m_PowerModule.IsOpen());
    m_module->WaitForReceived(2, 2000);
    EXPECT_EQ(m_module->Received(), (std::vector<uint8_t>{0xA5, 0xA5})) << "one retry";
    EXPECT_TRUE(m_sim.Log().empty()) << "the board is not opened";
}

TEST_F(KernelTest, AHandshakeAnsweredOnItsRetryIsEnough) {
    StartModule("TRX4100H", [](emu::PowerModuleSettings& s) { s.ignoreHandshakes = 1; });
    CKernel* k = Start();
    EXPECT_TRUE(TakeBoxes().empty());
    EXPECT_EQ(k->m_iMode, MODEL_TRX4100H);
}

TEST_F(KernelTest, AnUnknownModelEndsStartUp) {
    StartModule("TRX5000X");
    CKernel* k = Start(false);
    auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].text, u"  Model incorrect !  ");
    EXPECT_EQ(g_setupCalls, 0);
    EXPECT_EQ(k->m_bModelKnown, 0);
    EXPECT_NE(Log().find("Model Name: TRX5000X"), std::string::npos);
}

namespace {

// The unit's clock, whose pauses take no real time, for a module that answers on real time:
// a pause goes on only once the module has taken every byte the unit sent. What it answers
// late is then on the wire before the unit goes on, as after a real pause, and is dropped
// instead of being read as part of the next answer.
class ClockThatWaitsForTheModule final : public plat::Clock {
public:
    ClockThatWaitsForTheModule(plat::ManualClock& clock, const emu::PowerModuleEmulator& module,
                               const CSerialPort& port)
        : m_clock(clock), m_module(module), m_port(port) {}
    uint64_t TickMs() override { return m_clock.TickMs(); }
    plat::SystemTime Utc() override { return m_clock.Utc(); }
    plat::SystemTime Local() override { return m_clock.Local(); }
    void Sleep(uint32_t ms) override {
        m_module.WaitForReceived(m_port.BytesWritten(), 10000);
        m_clock.Sleep(ms);
    }

private:
    plat::ManualClock& m_clock;
    const emu::PowerModuleEmulator& m_module;
    const CSerialPort& m_port;
};

}  // namespace

TEST_F(KernelTest, AModelThatNeverArrivesEndsStartUpAfterTenTries) {
    // Every second byte the module sends is lost: the handshake's one byte arrives, no model
    // reply ever arrives whole.
    StartModule("TRX4100P", [](emu::PowerModuleSettings& s) { s.dropEvery = 2; });
    uint64_t before = m_clock.TickMs();
    CKernel* k = CKernel::GetInstance();
    ClockThatWaitsForTheModule clock(m_clock, *m_module, k->m_PowerModule);
    plat::SetClock(&clock);
    struct Back {
        plat::ManualClock& clock;
        ~Back() { plat::SetClock(&clock); }
    } back{m_clock};
    ASSERT_TRUE(k->Create());
    k->m_PowerModule.SetReplyWait(100);
    EXPECT_FALSE(k->Initial());
    auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].text, u"  Cannot retrieve Model !  ");
    EXPECT_EQ(k->m_bModelKnown, 0);
    // A second between tries, on the unit's clock.
    EXPECT_GE(m_clock.TickMs() - before, 10u * 1000u);
}

TEST_F(KernelTest, APortThatDoesNotOpenIsReportedAndTheHandshakeFails) {
    // No port map: com2 names no device.
    CKernel* k = Start(false);
    auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, u"CKernel Fail - Cannot open Communication Port 2");
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[1].text, u"No device found!, please try again! ");
    EXPECT_FALSE(k->m_PowerModule.IsOpen());
    EXPECT_NE(Log().find("Cannot open Communication Port2"), std::string::npos);
}

TEST_F(KernelTest, TheMarkerMovesTheBoardToCom3) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    WriteText(MARKER_BOARD_COM3, "");
    Start();
    EXPECT_TRUE(Contains(m_sim.Log(), "audio 35 Open(com3, 57600) = 0"));
}

TEST_F(KernelTest, WithoutTheBoardModuleEveryWrapperFailsAndNothingReachesTheBoard) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    ::setenv(KERNEL_BOARD_MODULE_ENV, "NoSuchBoard.dll", 1);
    CKernel* k = Start();
    auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"LoadLibrary(dll) failed: 2 !!!");
    EXPECT_FALSE(k->FirmwareReady());
    EXPECT_EQ(k->m_bMute.load(), 0);

    uint8_t a = 0, b = 0;
    EXPECT_FALSE(k->SetVolume(20));
    EXPECT_FALSE(k->SetVolume(255));
    EXPECT_FALSE(k->ToMode(17));
    EXPECT_FALSE(k->InputSource(3));
    EXPECT_FALSE(k->SetBalance(3));
    EXPECT_FALSE(k->SetFader(-3));
    EXPECT_FALSE(k->SetEQValue(1, 5));
    EXPECT_FALSE(k->SetBrightness(5));
    EXPECT_FALSE(k->SetContrast(5));
    EXPECT_FALSE(k->SetSaturation(5));
    EXPECT_FALSE(k->SetBacklightLevel(5));
    EXPECT_FALSE(k->SetBacklightPower(0));
    EXPECT_FALSE(k->SetLightAuto(1));
    EXPECT_FALSE(k->RadioSetBand(0x0003));
    EXPECT_FALSE(k->RadioGetFrequency(&a, &b));
    EXPECT_FALSE(k->AdjChannelFreq(0xC0, &a, &b));
    EXPECT_TRUE(k->Enable51Priority()) << "the codec mode changes all the same";
    EXPECT_EQ(k->m_Settings.i51Priority, 1);
    EXPECT_TRUE(k->Disable51Priority());
    // Nothing changed that the board would have confirmed.
    EXPECT_EQ(k->m_iVolume.load(), 0);
    EXPECT_EQ(k->m_Settings.iAudioLevel, 12);
    EXPECT_EQ(k->m_iInputSource.load(), 2);

    // The polling thread runs and asks the board nothing.
    k->StartPolling();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    DestroyKernel();
    EXPECT_TRUE(m_sim.Log().empty());
    EXPECT_EQ(Log().find("CKernel::InputSource"), std::string::npos);
}

TEST_F(KernelTest, ABoardThatIsNotReadyIsLeftAlone) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    ASSERT_TRUE(m_sim.Command("ready 0"));
    CKernel* k = Start();
    EXPECT_TRUE(TakeBoxes().empty()) << "no box: the unit runs without the board";
    EXPECT_FALSE(k->FirmwareReady());
    m_sim.ClearLog();
    EXPECT_FALSE(k->SetVolume(3));
    k->StartPolling();
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    DestroyKernel();
    // The factory still takes its device back; nothing else is called.
    EXPECT_EQ(m_sim.Log(), (Lines{"factory 0 ReleaseDevice() = 0"}));
}

TEST_F(KernelTest, VolumeAndMuteReachTheBoardAndOnlyLevelsAreSaved) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    m_sim.ClearLog();
    SYS_SETTINGS saved;

    EXPECT_TRUE(k->SetVolume(16));
    EXPECT_EQ(m_sim.Get("volume"), 16);
    EXPECT_EQ(k->m_iVolume.load(), 16);
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iAudioLevel, 16);

    EXPECT_TRUE(k->SetVolume(255));
    EXPECT_EQ(k->m_bMute.load(), 1);
    EXPECT_TRUE(k->SetVolume(254));
    EXPECT_EQ(k->m_bMute.load(), 0);
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iAudioLevel, 16) << "muting leaves the saved level";
    EXPECT_EQ(k->m_iVolume.load(), 16);

    EXPECT_TRUE(k->SetVolume(0));
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iAudioLevel, 0);
    // A level beyond the scale is held at its end, never stored as it came.
    EXPECT_TRUE(k->SetVolume(40));
    EXPECT_EQ(k->m_Settings.iAudioLevel, 32);
    EXPECT_EQ(m_sim.Log(),
              (Lines{"audio 5 SetVolume(16) = 0", "audio 7 Mute(1) = 0", "audio 7 Mute(0) = 0",
                     "audio 5 SetVolume(0) = 0", "audio 5 SetVolume(32) = 0"}));

    // The saved language goes out with every save.
    uint32_t lang = 99;
    plat::KeyValueStore reg;
    ASSERT_TRUE(reg.Open(KERNEL_STATUS_FILE));
    EXPECT_TRUE(reg.GetDword(KERNEL_STATUS_KEY, "Lang", &lang));
    EXPECT_EQ(lang, 2u);
}

TEST_F(KernelTest, SourcesOfSixteenAndAboveAlsoSwitchTheInput) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    m_sim.ClearLog();
    uint64_t before = m_clock.TickMs();
    EXPECT_TRUE(k->ToMode(17));
    EXPECT_GE(m_clock.TickMs() - before, 200u);
    EXPECT_EQ(m_sim.Log(), (Lines{"audio 2 SelectSource(1) = 0", "video 4 SelectInput(1) = 0"}));
    EXPECT_EQ(k->m_iInputSource.load(), 1);
    SYS_SETTINGS saved;
    ASSERT_TRUE(ReadSettingsBlock(ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.byCurrentSource, 1);
    std::string log = Log();
    EXPECT_NE(log.find("ToMode(17): got(1)"), std::string::npos);
    EXPECT_NE(log.find("CKernel::InputSource: 1"), std::string::npos);

    m_sim.ClearLog();
    EXPECT_TRUE(k->ToMode(3));
    EXPECT_EQ(m_sim.Log(), (Lines{"audio 2 SelectSource(3) = 0"}));
    EXPECT_EQ(k->m_iInputSource.load(), 1);
}

TEST_F(KernelTest, ToneAndPictureWrappersReachTheirSlots) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    m_sim.ClearLog();
    EXPECT_TRUE(k->SetBalance(-4));
    EXPECT_TRUE(k->SetFader(5));
    EXPECT_TRUE(k->SetEQValue(2, -7));
    EXPECT_TRUE(k->Enable51Priority());
    EXPECT_TRUE(k->Disable51Priority());
    EXPECT_TRUE(k->SetBrightness(7));
    EXPECT_TRUE(k->SetContrast(6));
    EXPECT_TRUE(k->SetSaturation(5));
    EXPECT_TRUE(k->SetBacklightLevel(4));
    EXPECT_TRUE(k->SetBacklightPower(0));
    EXPECT_TRUE(k->SetLightAuto(1));
    Lines log = m_sim.Log();
    EXPECT_EQ(log, (Lines{"audio 28 SetBalance(-4) = 0", "audio 26 SetFader(5) = 0",
                          "audio 16 SetEQValue(2, -7) = 0", "audio 31 SetSurround(1) = 0",
                          "audio 31 SetSurround(0) = 0", "video 6 SetBrightness(7) = 0",
                          "video 8 SetContrast(6) = 0", "video 10 SetSaturation(5) = 0",
                          "video 12 SetBacklight(4) = 0", "video 13 BacklightPower(0) = 0",
                          "video 16 SetAutoLight(1) = 0"}));
    EXPECT_NE(Log().find("CKernel::SetEQValue(): typ(2), gain(-7)"), std::string::npos);
}

TEST_F(KernelTest, FrequencyUpRaisesAndDownLowersTheTunedFrequency) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    ASSERT_TRUE(k->RadioSetBand(0x0000));  // FM1, first channel
    uint8_t channel = 0, freq = 0;
    ASSERT_TRUE(k->RadioGetFrequency(&channel, &freq));
    const int start = channel << 8 | freq;

    uint8_t upChannel = 0, upFreq = 0;
    ASSERT_TRUE(k->AdjChannelFreq(0xC0, &upFreq, &upChannel));
    EXPECT_GT(upChannel << 8 | upFreq, start) << "FM up";
    uint8_t c = 0, f = 0;
    ASSERT_TRUE(k->RadioGetFrequency(&c, &f));
    EXPECT_EQ(c << 8 | f, upChannel << 8 | upFreq) << "the tuner is where the page says";

    uint8_t downChannel = 0, downFreq = 0;
    ASSERT_TRUE(k->AdjChannelFreq(0xC1, &downFreq, &downChannel));
    EXPECT_EQ(downChannel << 8 | downFreq, start) << "FM down goes back";

    // AM: 0xC2 up, 0xC3 down.
    ASSERT_TRUE(k->RadioSetBand(0x1000));
    ASSERT_TRUE(k->RadioGetFrequency(&c, &f));
    const int am = c << 8 | f;
    ASSERT_TRUE(k->AdjChannelFreq(0xC2, &f, &c));
    EXPECT_GT(c << 8 | f, am);
    ASSERT_TRUE(k->AdjChannelFreq(0xC3, &f, &c));
    EXPECT_EQ(c << 8 | f, am);

    Lines log = m_sim.Log();
    EXPECT_NE(IndexOf(log, "radio 7 StepUp(1)"), log.size());
    EXPECT_NE(IndexOf(log, "radio 6 StepDown(1)"), log.size());
    EXPECT_NE(Log().find("AdjChannelFreq(): "), std::string::npos);

    // Any other step type is refused with a box and changes nothing.
    c = 0x77, f = 0x66;
    EXPECT_FALSE(k->AdjChannelFreq(0xC4, &f, &c));
    EXPECT_EQ(c, 0x77);
    EXPECT_EQ(f, 0x66);
    auto boxes = TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"CKernel::AdjChannelFreq() error typ !!!");
}

TEST_F(KernelTest, BandAndChannelGoToTheBoardAsOneValue) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    m_sim.ClearLog();
    ASSERT_TRUE(k->RadioSetBand(0x0103));
    Lines log = m_sim.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "radio 1 SetBand(1) = 0");
    EXPECT_EQ(log[1].compare(0, 27, "radio 17 LoadChannel(259) ="), 0) << log[1];
    std::string text = Log();
    EXPECT_NE(text.find("m_pFirmware->RadioSetBand(1, 0) done ..."), std::string::npos);
    EXPECT_NE(text.find("m_pFirmware->RadioLoadChannel(259, "), std::string::npos);
}

TEST_F(KernelTest, TheLockBitOfTheBoardStatusTogglesTheLockFlags) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    k->StartPolling();
    ASSERT_TRUE(m_sim.Command("status 0x40"));
    ASSERT_TRUE(WaitFor([&] { return k->m_bLocksFree.load() == 0; }));
    EXPECT_EQ(k->m_bLocksChanged.load(), 0) << "the user-interface thread notices it";
    k->OnPeriodic();
    EXPECT_EQ(k->m_bLocksChanged.load(), 1);
    EXPECT_EQ(k->m_bLocksFreeSeen.load(), 0);
    EXPECT_NE(Log().find("Status:0x40"), std::string::npos);

    k->m_bLocksChanged = 0;  // the front seat's tick takes it
    k->OnPeriodic();
    EXPECT_EQ(k->m_bLocksChanged.load(), 0) << "one change is reported once";

    ASSERT_TRUE(m_sim.Command("status 0x00"));
    ASSERT_TRUE(WaitFor([&] { return k->m_bLocksFree.load() == 1; }));
    k->OnPeriodic();
    EXPECT_EQ(k->m_bLocksChanged.load(), 1);
    EXPECT_EQ(k->m_bLocksFreeSeen.load(), 1);

    // Other bits do not lock.
    k->m_bLocksChanged = 0;
    ASSERT_TRUE(m_sim.Command("status 0xBF"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(k->m_bLocksFree.load(), 1);
}

TEST_F(KernelTest, KeysFromTheBoardAreHandledOnThePollingThread) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    ASSERT_TRUE(m_sim.Command("key 0x10 0x42"));
    k->StartPolling();
    ASSERT_TRUE(WaitFor([&] { return g_keysHandled.load() == 1; }));
    EXPECT_EQ(g_lastKey.load(), 0x1042);
    EXPECT_NE(g_keyThread.load(), std::this_thread::get_id());
    EXPECT_NE(Log().find("CKernel::HandleKey(0x10, 0x42)"), std::string::npos);
    EXPECT_NE(Log().find("PollingProcess("), std::string::npos);
}

TEST_F(KernelTest, ShutdownJoinsThePollingThreadBeforeTheBoardGoes) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    k->StartPolling();
    ASSERT_TRUE(
        WaitFor([&] { return IndexOf(m_sim.Log(), "keys 0 GetKey()") < m_sim.Log().size(); }));
    auto before = Clock::now();
    DestroyKernel();
    auto took = Clock::now() - before;
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(CKernel::Instance(), nullptr);
    EXPECT_EQ(pCfgData, nullptr);

    // Nothing polls after the board was shut down.
    Lines log = m_sim.Log();
    size_t shutdown = IndexOf(log, "audio 36 Shutdown()");
    ASSERT_LT(shutdown, log.size());
    EXPECT_EQ(log.size(), shutdown + 2);
    EXPECT_EQ(log.back(), "factory 0 ReleaseDevice() = 0");
    std::string text = Log();
    size_t done = text.find("WINAPI PollingProcess() done");
    ASSERT_NE(done, std::string::npos);

    // Nothing is left running: a while later the call log has not grown.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(m_sim.Log().size(), log.size());
}

TEST_F(KernelTest, StatusValuesForOutsidePrograms) {
    WriteText(MARKER_NO_POWER_MODULE, "");
    CKernel* k = Start();
    k->SetRegistryString("TimeCurrent", u"01:02:03");
    k->SetRegistryDword("Status", 0x30101);
    k->WriteRegistryStatus();
    plat::KeyValueStore reg;
    ASSERT_TRUE(reg.Open(KERNEL_STATUS_FILE));
    uint32_t v = 1;
    std::u16string time;
    EXPECT_TRUE(reg.GetDword(KERNEL_STATUS_KEY, "Status", &v));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(reg.GetString(KERNEL_STATUS_KEY, "TimeCurrent", &time));
    EXPECT_EQ(time, u"00:00:00") << "exactly its text, nothing after it";
    EXPECT_TRUE(reg.GetDword(KERNEL_STATUS_KEY, "Lang", &v));
    EXPECT_EQ(v, 2u);
    EXPECT_NE(ReadText(KERNEL_STATUS_FILE).find("TimeCurrent = sz:\"00:00:00\"\n"),
              std::string::npos);
}

TEST_F(KernelTest, ABaseFolderTooLongForItsPathsEndsCreation) {
    // A base folder too long for the kernel's paths is refused rather than cut.
    std::string deep = m_dir.Path();
    while (deep.size() < KERNEL_BASE_DIR_CHARS + 10)
        deep += "/deeper";
    std::filesystem::create_directories(deep);
    {
        ScopedCwd cwd(deep);
        CKernel* k = CKernel::GetInstance();
        EXPECT_FALSE(k->Create());
        auto boxes = TakeBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, u"Error");
        EXPECT_EQ(boxes[0].text.compare(0, 12, u"CKernel Fail"), 0);
        DestroyKernel();
    }
}

namespace {

constexpr uint32_t kWmKeyCommand = plat::ui::kWmUser + 0x73;

// The main dialog as far as the key functions see it: a window that takes key commands.
class MainDialog final : public plat::ui::Window {
public:
    ~MainDialog() override { Destroy(); }
    std::atomic<int> m_handled{0};
    std::atomic<intptr_t> m_command{0};

protected:
    intptr_t OnMessage(uint32_t msg, uintptr_t, intptr_t lParam) override {
        if (msg == kWmKeyCommand) {
            m_command = lParam;
            ++m_handled;
        }
        return 0;
    }
};

plat::ui::WindowId g_mainWnd = plat::ui::kNoWindow;
std::atomic<bool> g_sending{false};
std::atomic<int> g_sendsDone{0};
std::atomic<bool> g_sendOk{false};

// A key function as the hardware keys send them: a blocking send to the main dialog.
void SendKeyCommand(CKernel*, uint8_t group, uint8_t code) {
    g_sending = true;
    g_sendOk = plat::ui::SendMessage(g_mainWnd, kWmKeyCommand, 0, (group << 8) | code);
    ++g_sendsDone;
}

class KernelUiTest : public KernelTest {
protected:
    void SetUp() override {
        KernelTest::SetUp();
        g_sending = false;
        g_sendsDone = 0;
        g_sendOk = false;
        WriteText(MARKER_NO_POWER_MODULE, "");
        ASSERT_TRUE(m_dlg.Create(plat::ui::CreateParams{}));
        g_mainWnd = m_dlg.Id();
        CKernel::SetKeyFunctionHooks(KEY_FUNCTION_HOOKS{nullptr, &SendKeyCommand});
        ASSERT_TRUE(m_sim.Command("key 0x20 0x10"));
    }

    MainDialog m_dlg;
};

}  // namespace

TEST_F(KernelUiTest, AKeySentFromThePollingThreadIsAnsweredByTheUserInterface) {
    CKernel* k = Start();
    k->StartPolling();
    ASSERT_TRUE(WaitFor([&] {
        plat::ui::PumpUntilIdle();
        return g_sendsDone.load() == 1;
    }));
    EXPECT_TRUE(g_sendOk.load());
    EXPECT_EQ(m_dlg.m_handled.load(), 1);
    EXPECT_EQ(m_dlg.m_command.load(), 0x2010);
}

TEST_F(KernelUiTest, OnceTheUserInterfaceHasStoppedASendFailsAtOnceAndShutdownNeverHangs) {
    CKernel* k = Start();
    k->StartPolling();
    // The user-interface thread is busy elsewhere: the send waits.
    ASSERT_TRUE(WaitFor([&] { return g_sending.load(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(g_sendsDone.load(), 0);

    // The main loop ends.
    auto before = Clock::now();
    plat::ui::BeginShutdown();
    ASSERT_TRUE(WaitFor([&] { return g_sendsDone.load() == 1; }, 1000));
    EXPECT_FALSE(g_sendOk.load());
    EXPECT_EQ(m_dlg.m_handled.load(), 0);
    DestroyKernel();
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(IndexOf(m_sim.Log(), "audio 36 Shutdown()"), m_sim.Log().size() - 2);
}

TEST_F(KernelUiTest, ASendThatArrivesWhileShutdownWaitsIsAnswered) {
    CKernel* k = Start();
    k->StartPolling();
    ASSERT_TRUE(WaitFor([&] { return g_sending.load(); }));
    // Destroyed on the user-interface thread while the polling thread waits for it.
    auto before = Clock::now();
    DestroyKernel();
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(g_sendsDone.load(), 1);
    EXPECT_TRUE(g_sendOk.load());
    EXPECT_EQ(m_dlg.m_handled.load(), 1);
}
