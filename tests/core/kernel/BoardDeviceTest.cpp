#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/kernel/BoardDevice.h"
#include "devices/BoardSimControl.h"
#include "library/include/Vantrel.h"

using Lines = std::vector<std::string>;

namespace {

// The program's board object against the simulator module, loaded by the name the kernel uses.
class BoardLoader : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Load()) << "the simulator module is built beside the tests";
        ASSERT_TRUE(m_sim.Command("reset"));
    }

    emu::BoardSimControl m_sim;
    CBoardDevice m_board;
};

}  // namespace

TEST_F(BoardLoader, OpensReadyAndShutsDownInOrder) {
    ASSERT_TRUE(m_sim.Command("version FW 2.07"));
    EXPECT_EQ(m_board.Open(BOARD_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_OK);
    EXPECT_TRUE(m_board.IsReady());
    EXPECT_EQ(m_board.Version(), "FW 2.07");
    EXPECT_EQ(m_sim.Log(),
              (Lines{"CreateRARA()", "factory 1 CreateDevice(TDA7419) = 0",
                     "audio 35 Open(com1, 57600) = 0", "audio 38 GetVersion() = 0 -> FW 2.07",
                     "audio 39 IsReady() = 1"}));
    EXPECT_EQ(m_sim.Get("devices"), 1);
    m_sim.ClearLog();
    m_board.Close();
    EXPECT_FALSE(m_board.IsReady());
    EXPECT_EQ(m_sim.Log(), (Lines{"audio 36 Shutdown() = 0", "factory 0 ReleaseDevice() = 0"}));
    EXPECT_EQ(m_sim.Get("devices"), 0);
    EXPECT_EQ(m_board.AudioSetVolume(3), BOARD_NOT_READY);
}

TEST_F(BoardLoader, TheThirdPortIsPassedOn) {
    EXPECT_EQ(m_board.Open(BOARD_MODULE_NAME, "com3"), CBoardDevice::BOARD_OPEN_OK);
    EXPECT_EQ(m_sim.Log().at(2), "audio 35 Open(com3, 57600) = 0");
}

TEST_F(BoardLoader, CallsReachTheirSlotsWithTheirArguments) {
    ASSERT_EQ(m_board.Open(BOARD_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_OK);
    m_sim.ClearLog();
    uint8_t status = 0xEE, level = 0, group = 0, code = 0, hi = 0, lo = 0, value = 0;
    EXPECT_EQ(m_board.AudioSelectSource(1, &status), 0);
    EXPECT_EQ(status, 1) << "the simulator echoes the source it switched to";
    EXPECT_EQ(m_board.AudioSetVolume(20), 0);
    EXPECT_EQ(m_board.AudioGetVolume(&level), 0);
    EXPECT_EQ(level, 20);
    EXPECT_EQ(m_board.AudioSetVolume(33), 1) << "the board refuses a level above 32";
    EXPECT_EQ(m_board.AudioMute(true), 0);
    EXPECT_EQ(m_board.AudioSelectEQ(4), 0);
    EXPECT_EQ(m_board.AudioSetEQValue(2, -12), 0);
    EXPECT_EQ(m_board.AudioSetLoudness(1), 0);
    EXPECT_EQ(m_board.AudioSetFader(-6), 0);
    EXPECT_EQ(m_board.AudioSetBalance(6), 0);
    EXPECT_EQ(m_board.AudioSetSurround(true), 0);
    char text[4];
    EXPECT_EQ(m_board.AudioGetVersion(text, sizeof text), 0);
    EXPECT_STREQ(text, "SIM") << "cut to the buffer, terminated";
    EXPECT_EQ(m_board.VideoSelectInput(2), 0);
    EXPECT_EQ(m_board.VideoSetBrightness(7), 0);
    EXPECT_EQ(m_board.VideoGetBrightness(&value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(m_board.VideoSetContrast(4), 0);
    EXPECT_EQ(m_board.VideoSetSaturation(3), 0);
    EXPECT_EQ(m_board.VideoSetBacklight(11), 1) << "picture values run 0..10";
    EXPECT_EQ(m_board.VideoBacklightPower(false), 0);
    EXPECT_EQ(m_board.VideoSetAutoLight(false), 0);
    EXPECT_EQ(m_board.VideoRefreshManualLight(), 0);
    EXPECT_EQ(m_board.KeysGetKey(&group, &code), 1);
    EXPECT_EQ(m_board.RadioSetBand(0x10), 0);
    EXPECT_EQ(m_board.RadioGetFrequency(&hi, &lo), 0);
    EXPECT_EQ(hi * 256 + lo, 522);
    EXPECT_EQ(m_board.StatusGetStatus(&status), 0);
    EXPECT_EQ(m_board.StatusCommit(), 0);
    EXPECT_EQ(m_board.StatusRestoreDefaults(), 0);
    EXPECT_EQ(m_sim.Log(), (Lines{
                               "audio 2 SelectSource(1) = 0",
                               "audio 5 SetVolume(20) = 0",
                               "audio 4 GetVolume() = 0 -> 0x14",
                               "audio 5 SetVolume(33) = 1",
                               "audio 7 Mute(1) = 0",
                               "audio 11 SelectEQ(4) = 0",
                               "audio 16 SetEQValue(2, -12) = 0",
                               "audio 23 SetLoudness(1) = 0",
                               "audio 26 SetFader(-6) = 0",
                               "audio 28 SetBalance(6) = 0",
                               "audio 31 SetSurround(1) = 0",
                               "audio 38 GetVersion() = 0 -> SIM-1.00",
                               "video 4 SelectInput(2) = 0",
                               "video 6 SetBrightness(7) = 0",
                               "video 5 GetBrightness() = 0 -> 0x07",
                               "video 8 SetContrast(4) = 0",
                               "video 10 SetSaturation(3) = 0",
                               "video 12 SetBacklight(11) = 1",
                               "video 13 BacklightPower(0) = 0",
                               "video 16 SetAutoLight(0) = 0",
                               "video 18 RefreshManualLight() = 0",
                               "keys 0 GetKey() = 1",
                               "radio 1 SetBand(16) = 0",
                               "radio 3 GetFrequency() = 0 -> 0x02 0x0A",
                               "status 3 GetStatus() = 0 -> 0x00",
                               "status 0 Commit() = 0",
                               "status 1 RestoreDefaults() = 0",
                           }));
    EXPECT_EQ(m_sim.Get("mute"), 1);
    EXPECT_EQ(m_sim.Get("surround"), 1);
    EXPECT_EQ(m_sim.Get("backlight"), 9);
}

TEST_F(BoardLoader, MissingModuleLeavesTheBoardNotReady) {
    EXPECT_EQ(m_board.Open("NoSuchBoard.dll", "com1"), CBoardDevice::BOARD_OPEN_NO_LIBRARY);
    EXPECT_FALSE(m_board.IsReady());
    EXPECT_FALSE(m_board.Error().empty());
    uint8_t group = 0, code = 0;
    EXPECT_EQ(m_board.KeysGetKey(&group, &code), BOARD_NOT_READY);
    EXPECT_EQ(m_board.AudioMute(true), BOARD_NOT_READY);
    m_board.Close();
    EXPECT_TRUE(m_sim.Log().empty());
}

TEST_F(BoardLoader, ModuleWithoutTheExportLeavesTheBoardNotReady) {
    // The widget library is a module, but no board module.
    EXPECT_EQ(m_board.Open(VANTREL_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_NO_EXPORT);
    EXPECT_FALSE(m_board.IsReady());
    EXPECT_EQ(m_board.AudioSetVolume(10), BOARD_NOT_READY);
    EXPECT_TRUE(m_sim.Log().empty());
}

TEST_F(BoardLoader, NoDeviceObjectLeavesTheBoardNotReady) {
    ASSERT_TRUE(m_sim.Command("device 0"));
    EXPECT_EQ(m_board.Open(BOARD_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_NO_DEVICE);
    EXPECT_FALSE(m_board.IsReady());
    m_board.Close();
    EXPECT_EQ(m_sim.Log(), (Lines{"CreateRARA()", "factory 1 CreateDevice(TDA7419) = 1"}));
}

TEST_F(BoardLoader, BoardThatDoesNotAnswerOnItsPortIsNotReady) {
    ASSERT_TRUE(m_sim.Command("open-result 5"));
    EXPECT_EQ(m_board.Open(BOARD_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_NO_PORT);
    EXPECT_FALSE(m_board.IsReady());
    EXPECT_EQ(m_board.AudioMute(true), BOARD_NOT_READY);
    uint8_t s;
    EXPECT_EQ(m_board.StatusGetStatus(&s), BOARD_NOT_READY);
    m_board.Close();
    // No call on the device once it failed to answer; the factory still takes it back.
    EXPECT_EQ(m_sim.Log(),
              (Lines{"CreateRARA()", "factory 1 CreateDevice(TDA7419) = 0",
                     "audio 35 Open(com1, 57600) = 5", "factory 0 ReleaseDevice() = 0"}));
}

TEST_F(BoardLoader, BoardThatIsNotReadyGetsNoCalls) {
    ASSERT_TRUE(m_sim.Command("ready 0"));
    EXPECT_EQ(m_board.Open(BOARD_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_NOT_READY);
    EXPECT_FALSE(m_board.IsReady());
    EXPECT_EQ(m_board.Version(), "SIM-1.00") << "the version was read before the ready check";
    m_sim.ClearLog();
    uint8_t hi, lo;
    EXPECT_EQ(m_board.RadioGetFrequency(&hi, &lo), BOARD_NOT_READY);
    EXPECT_EQ(m_board.VideoBacklightPower(true), BOARD_NOT_READY);
    EXPECT_EQ(m_board.StatusCommit(), BOARD_NOT_READY);
    m_board.Close();
    EXPECT_EQ(m_sim.Log(), (Lines{"factory 0 ReleaseDevice() = 0"})) << "no shutdown call either";
}

TEST_F(BoardLoader, OpeningAgainStartsClean) {
    ASSERT_TRUE(m_sim.Command("ready 0"));
    EXPECT_EQ(m_board.Open(BOARD_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_NOT_READY);
    ASSERT_TRUE(m_sim.Command("ready 1"));
    EXPECT_EQ(m_board.Open(BOARD_MODULE_NAME, "com1"), CBoardDevice::BOARD_OPEN_OK);
    EXPECT_EQ(m_sim.Get("devices"), 1) << "the first device was given back";
}
