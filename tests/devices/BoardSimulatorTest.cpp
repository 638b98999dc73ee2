#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "devices/BoardModule.h"
#include "devices/BoardSimControl.h"
#include "platform/sys/Module.h"
#include "tests/support/TestSupport.h"

using Lines = std::vector<std::string>;
using testsupport::ReadText;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

// The simulator as the program sees it: loaded by name, used through its function tables only.
class BoardSimulator : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Load());
        ASSERT_TRUE(m_sim.Command("reset"));
        ASSERT_TRUE(m_module.Load(BOARD_MODULE_NAME)) << m_module.Error();
        auto create = reinterpret_cast<PFN_CreateRARA>(m_module.Symbol(BOARD_EXPORT_NAME));
        ASSERT_NE(create, nullptr);
        m_factory = create();
        ASSERT_NE(m_factory, nullptr);
        ASSERT_EQ(m_factory->ops->CreateDevice(m_factory, BOARD_DEVICE_NAME, &m_device), 0);
        ASSERT_NE(m_device, nullptr);
        m_sim.ClearLog();
    }
    void TearDown() override {
        if (m_factory && m_device)
            m_factory->ops->ReleaseDevice(m_factory, m_device);
    }

    // Shorthands for the calls the tests make most.
    uint8_t TunerStatus() {
        uint8_t s = 0xEE;
        radio()->ops->GetTunerStatus(radio(), &s, &m_status);
        return s;
    }
    int Frequency() {
        uint8_t hi = 0, lo = 0;
        radio()->ops->GetFrequency(radio(), &hi, &lo, &m_status);
        return hi * 256 + lo;
    }
    int LoadChannel(uint16_t bandChannel) {
        uint8_t hi = 0, lo = 0;
        if (radio()->ops->LoadChannel(radio(), bandChannel, &hi, &lo, &m_status) != 0)
            return -1;
        return hi * 256 + lo;
    }
    int Step(bool up) {
        uint8_t hi = 0, lo = 0;
        if (up)
            radio()->ops->StepUp(radio(), 1, &hi, &lo, &m_status);
        else
            radio()->ops->StepDown(radio(), 1, &hi, &lo, &m_status);
        return hi * 256 + lo;
    }
    BoardRadio* radio() { return m_device->radio; }
    BoardAudio* audio() { return m_device->audio; }

    emu::BoardSimControl m_sim;
    plat::Module m_module;
    BoardFactory* m_factory = nullptr;
    BoardDevice* m_device = nullptr;
    uint8_t m_status = 0;
};

}  // namespace

TEST_F(BoardSimulator, ScriptedSessionLeavesItsCallLog) {
    ASSERT_EQ(m_sim.Script("# a drive with the locks on and three keys\n"
                           "status 0x40\n"
                           "key 0x10 0x01\n"
                           "key-gap 2\n"
                           "key 0x20 0x40\n"
                           "volume 12\n"
                           "station 9110 stereo\n"
                           "station 8990\n"
                           "station 10570\n"),
              0);
    uint8_t s = 0, group = 0, code = 0, level = 0, hi = 0, lo = 0;
    EXPECT_EQ(audio()->ops->Open(audio(), "com1", 57600), 0);
    EXPECT_NE(audio()->ops->IsReady(audio()), 0);
    m_device->status->ops->GetStatus(m_device->status, &s);
    EXPECT_EQ(s, 0x40);
    BoardKeys* keys = m_device->keys;
    EXPECT_EQ(keys->ops->GetKey(keys, &group, &code, &m_status), 0);
    EXPECT_EQ(group, 0x10);
    EXPECT_EQ(code, 0x01);
    EXPECT_EQ(keys->ops->GetKey(keys, &group, &code, &m_status), 1);
    EXPECT_EQ(keys->ops->GetKey(keys, &group, &code, &m_status), 1);
    EXPECT_EQ(keys->ops->GetKey(keys, &group, &code, &m_status), 0);
    EXPECT_EQ(group, 0x20);
    EXPECT_EQ(code, 0x40);
    EXPECT_EQ(keys->ops->GetKey(keys, &group, &code, &m_status), 1);
    audio()->ops->GetVolume(audio(), &level, &m_status);
    EXPECT_EQ(level, 12);
    audio()->ops->Mute(audio(), 1, &m_status);
    audio()->ops->SelectSource(audio(), 1, &s);
    EXPECT_EQ(s, 1);
    radio()->ops->SetBand(radio(), 0x00, &m_status);
    EXPECT_EQ(LoadChannel(0x0000), 8750);
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x40) << "found, mono";
    EXPECT_EQ(Frequency(), 8990);
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x60) << "found, stereo";
    radio()->ops->SeekDown(radio(), &m_status);
    EXPECT_EQ(Frequency(), 8990);
    radio()->ops->Replay(radio(), 3, &m_status);
    EXPECT_EQ(radio()->ops->StepUp(radio(), 1, &hi, &lo, &m_status), 0);
    m_device->status->ops->Commit(m_device->status);
    audio()->ops->Shutdown(audio());
    m_factory->ops->ReleaseDevice(m_factory, m_device);
    m_device = nullptr;

    EXPECT_EQ(m_sim.Log(), (Lines{
                               "audio 35 Open(com1, 57600) = 0",
                               "audio 39 IsReady() = 1",
                               "status 3 GetStatus() = 0 -> 0x40",
                               "keys 0 GetKey() = 0 -> 0x10 0x01",
                               "keys 0 GetKey() = 1",
                               "keys 0 GetKey() = 1",
                               "keys 0 GetKey() = 0 -> 0x20 0x40",
                               "keys 0 GetKey() = 1",
                               "audio 4 GetVolume() = 0 -> 0x0C",
                               "audio 7 Mute(1) = 0",
                               "audio 2 SelectSource(1) = 0",
                               "radio 1 SetBand(0) = 0",
                               "radio 17 LoadChannel(0) = 0 -> 0x22 0x2E",
                               "radio 8 SeekUp() = 0",
                               "radio 14 GetTunerStatus() = 0 -> 0x40",
                               "radio 3 GetFrequency() = 0 -> 0x23 0x1E",
                               "radio 8 SeekUp() = 0",
                               "radio 14 GetTunerStatus() = 0 -> 0x60",
                               "radio 9 SeekDown() = 0",
                               "radio 3 GetFrequency() = 0 -> 0x23 0x1E",
                               "radio 19 Replay(3) = 0",
                               "radio 7 StepUp(1) = 0 -> 0x23 0x28",
                               "status 0 Commit() = 0",
                               "audio 36 Shutdown() = 0",
                               "factory 0 ReleaseDevice() = 0",
                           }));
    EXPECT_EQ(m_sim.Get("channel 0 3"), 8990);
    EXPECT_EQ(m_sim.Get("commits"), 1);
    EXPECT_EQ(m_sim.Get("mute"), 1);
    EXPECT_EQ(m_sim.Get("keys-queued"), 0);
}

TEST_F(BoardSimulator, ReservedSlotsAnswerAndAreLogged) {
    audio()->ops->reserved0(audio(), &m_status);
    audio()->ops->reserved37(audio(), &m_status);
    m_device->video->ops->reserved14(m_device->video, &m_status);
    radio()->ops->reserved18(radio(), &m_status);
    m_device->status->ops->reserved2(m_device->status);
    EXPECT_EQ(m_sim.Log(),
              (Lines{"audio 0 reserved() = 0", "audio 37 reserved() = 0", "video 14 reserved() = 0",
                     "radio 18 reserved() = 0", "status 2 reserved() = 0"}));
}

TEST_F(BoardSimulator, SeekWrapsAroundTheBandBothWays) {
    ASSERT_EQ(m_sim.Script("station 8800\nstation 10500\nstation 1008\n"), 0);
    EXPECT_EQ(LoadChannel(0x0000), 8750);
    radio()->ops->SeekDown(radio(), &m_status);
    EXPECT_EQ(Frequency(), 10500);
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(Frequency(), 8800) << "past the top it starts again at the bottom";
    // AM stations belong to the AM bands only.
    radio()->ops->SetBand(radio(), 0x11, &m_status);
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(Frequency(), 1008);
    EXPECT_EQ(TunerStatus(), 0x40);
}

TEST_F(BoardSimulator, SeekWithoutStationsEndsNotFound) {
    ASSERT_EQ(m_sim.Script("seek-polls 2\n"), 0);
    int before = Frequency();
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x80);
    EXPECT_EQ(TunerStatus(), 0x80);
    EXPECT_EQ(TunerStatus(), 0x00);
    EXPECT_EQ(Frequency(), before);
}

TEST_F(BoardSimulator, StopSeekEndsABusySeekWhereItStarted) {
    ASSERT_EQ(m_sim.Script("seek-polls 100\nstation 9500\n"), 0);
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x80);
    radio()->ops->StopSeek(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x00);
    EXPECT_EQ(Frequency(), 8750);
}

TEST_F(BoardSimulator, AutoStoreFillsTheNineChannelsInOrder) {
    ASSERT_EQ(m_sim.Script("scan-polls 2\n"
                           "station 10570\nstation 8830 stereo\nstation 9110\nstation 9570\n"
                           "station 8990\nstation 10110\nstation 9330\nstation 10790\n"
                           "station 9930\nstation 10330\nstation 9730\nstation 1008\n"),
              0);
    radio()->ops->SetBand(radio(), 0x01, &m_status);
    radio()->ops->StartAutoStore(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x10);
    EXPECT_EQ(TunerStatus(), 0x10);
    EXPECT_EQ(TunerStatus(), 0x20) << "scan done, on channel 0: the stereo station";
    const long expected[9] = {8830, 8990, 9110, 9330, 9570, 9730, 9930, 10110, 10330};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(m_sim.Get("channel 1 " + std::to_string(i)), expected[i]);
        EXPECT_EQ(LoadChannel(static_cast<uint16_t>(i)), expected[i]);
    }
    EXPECT_EQ(m_sim.Get("channel 0 0"), 8750) << "other bands keep their channels";
}

TEST_F(BoardSimulator, AutoStoreStoppedKeepsTheChannels) {
    ASSERT_EQ(m_sim.Script("scan-polls 5\nstation 9110\n"), 0);
    radio()->ops->StartAutoStore(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x10);
    radio()->ops->StopAutoStore(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x00);
    EXPECT_EQ(m_sim.Get("channel 0 0"), 8750);
}

TEST_F(BoardSimulator, StepsWrapAtTheBandEdges) {
    EXPECT_EQ(LoadChannel(0x0000), 8750);
    EXPECT_EQ(Step(false), 10800);
    EXPECT_EQ(Step(true), 8750);
    EXPECT_EQ(Step(true), 8760);
    EXPECT_EQ(LoadChannel(0x1000), 522);
    EXPECT_EQ(Step(true), 531);
    EXPECT_EQ(Step(false), 522);
    EXPECT_EQ(Step(false), 1620);
}

TEST_F(BoardSimulator, LoadChannelTakesTheBandFromTheHighByte) {
    radio()->ops->SetBand(radio(), 0x11, &m_status);
    EXPECT_EQ(LoadChannel(0x0005), 522) << "high byte 0: the current band";
    EXPECT_EQ(m_sim.Get("band"), 0x11);
    EXPECT_EQ(LoadChannel(0x0203), 8750);
    EXPECT_EQ(m_sim.Get("band"), 0x02);
    EXPECT_EQ(LoadChannel(0x0009), -1) << "nine channels: 0..8";
    EXPECT_EQ(LoadChannel(0x0500), -1) << "no band 5";
    EXPECT_EQ(radio()->ops->SetBand(radio(), 0x03, &m_status), 1);
    EXPECT_EQ(m_sim.Get("band"), 0x02);
}

TEST_F(BoardSimulator, StereoOnlyOnFmStereoStationsAndNotWhileSeeking) {
    ASSERT_EQ(m_sim.Script("station 9110 stereo\nstation 1008 stereo\nseek-polls 1\n"), 0);
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x80);
    EXPECT_EQ(TunerStatus(), 0x60);
    radio()->ops->SetBand(radio(), 0x10, &m_status);
    radio()->ops->SeekUp(radio(), &m_status);
    EXPECT_EQ(TunerStatus(), 0x80);
    EXPECT_EQ(TunerStatus(), 0x40) << "AM is never stereo";
}

TEST_F(BoardSimulator, VideoValuesAndNightFlag) {
    BoardVideo* video = m_device->video;
    uint8_t v = 0;
    ASSERT_TRUE(m_sim.Command("night 1"));
    video->ops->GetNightMode(video, &v, &m_status);
    EXPECT_EQ(v, 1);
    video->ops->GetAutoLight(video, &v, &m_status);
    EXPECT_EQ(v, 1);
    video->ops->SetAutoLight(video, 0, &m_status);
    video->ops->GetAutoLight(video, &v, &m_status);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(video->ops->SetContrast(video, 10, &m_status), 0);
    EXPECT_EQ(video->ops->SetContrast(video, 11, &m_status), 1);
    video->ops->GetContrast(video, &v, &m_status);
    EXPECT_EQ(v, 10);
}

TEST_F(BoardSimulator, OnlyTheKnownDeviceIsMade) {
    BoardDevice* other = reinterpret_cast<BoardDevice*>(1);
    EXPECT_EQ(m_factory->ops->CreateDevice(m_factory, "TDA7418", &other), 1);
    EXPECT_EQ(other, nullptr);
    ASSERT_TRUE(m_sim.Command("device 0"));
    EXPECT_EQ(m_factory->ops->CreateDevice(m_factory, BOARD_DEVICE_NAME, &other), 1);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(m_sim.Get("devices"), 1) << "the fixture's device only";
}

TEST(BoardSimulatorScript, CommandsAreCheckedWhole) {
    emu::BoardSimControl sim;
    ASSERT_TRUE(sim.Load());
    EXPECT_TRUE(sim.Command("reset"));
    EXPECT_TRUE(sim.Command("   # only a comment"));
    EXPECT_TRUE(sim.Command(""));
    EXPECT_TRUE(sim.Command("status 0x4F"));
    EXPECT_EQ(sim.Get("status"), 0x4F);
    EXPECT_TRUE(sim.Command("volume 32"));
    EXPECT_FALSE(sim.Command("volume 33"));
    EXPECT_FALSE(sim.Command("volume"));
    EXPECT_FALSE(sim.Command("volume 3 4"));
    EXPECT_FALSE(sim.Command("volume twelve"));
    EXPECT_FALSE(sim.Command("key 0x100 1"));
    EXPECT_FALSE(sim.Command("key 16"));
    EXPECT_FALSE(sim.Command("station 5000"));
    EXPECT_FALSE(sim.Command("station 9110 mono"));
    EXPECT_FALSE(sim.Command("ready 2"));
    EXPECT_FALSE(sim.Command("frobnicate"));
    EXPECT_EQ(sim.Get("volume"), 32);
    EXPECT_EQ(sim.Script("ready 1\n\nkey 16 1\nkey sixteen 1\nkey 16 2\n"), 4);
    EXPECT_EQ(sim.Get("keys-queued"), 1) << "the script stops at the bad line";
    EXPECT_EQ(sim.Get("no-such-value"), -1);
    EXPECT_EQ(sim.Get("channel 3 0"), -1);
    EXPECT_EQ(sim.Get("channel 16 9"), -1);
    EXPECT_EQ(sim.Get("channel 0x10 8"), 522);
}

TEST(BoardSimulatorScript, LogFileGetsEveryLine) {
    TempDir dir;
    emu::BoardSimControl sim;
    ASSERT_TRUE(sim.Load());
    ASSERT_TRUE(sim.Command("reset"));
    ASSERT_TRUE(sim.Command("log-file " + dir.File("board.log")));
    plat::Module module;
    ASSERT_TRUE(module.Load(BOARD_MODULE_NAME));
    auto create = reinterpret_cast<PFN_CreateRARA>(module.Symbol(BOARD_EXPORT_NAME));
    BoardFactory* factory = create();
    BoardDevice* device = nullptr;
    factory->ops->CreateDevice(factory, BOARD_DEVICE_NAME, &device);
    ASSERT_NE(device, nullptr);
    device->audio->ops->SetVolume(device->audio, 9, nullptr);
    factory->ops->ReleaseDevice(factory, device);
    ASSERT_TRUE(sim.Command("log-file"));
    device->audio->ops->SetVolume(device->audio, 8, nullptr);  // not in the file any more
    EXPECT_EQ(ReadText(dir.File("board.log")),
              "CreateRARA()\nfactory 1 CreateDevice(TDA7419) = 0\naudio 5 SetVolume(9) = 0\n"
              "factory 0 ReleaseDevice() = 0\n");
    EXPECT_EQ(sim.Log().back(), "audio 5 SetVolume(8) = 0");
}

TEST(BoardSimulatorScript, EnvironmentScriptRunsWhenTheModuleIsFirstUsed) {
    // The simulator reads its environment once per process: run the check in a fresh one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    WriteText(dir.File("demo.board"), "status 0x40\nkey 0x10 0x02\nstation 9110 stereo\n");
    std::string script = dir.File("demo.board");
    std::string log = dir.File("calls.log");
    EXPECT_EXIT(
        {
            setenv("VELKORA_BOARD_SCRIPT", script.c_str(), 1);
            setenv("VELKORA_BOARD_LOG", log.c_str(), 1);
            emu::BoardSimControl sim;
            bool ok = sim.Load() && sim.Get("status") == 0x40 && sim.Get("keys-queued") == 1;
            plat::Module module;
            ok = ok && module.Load(BOARD_MODULE_NAME);
            auto create = reinterpret_cast<PFN_CreateRARA>(module.Symbol(BOARD_EXPORT_NAME));
            ok = ok && create && create();
            ok = ok && ReadText(log) == "CreateRARA()\n";
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
