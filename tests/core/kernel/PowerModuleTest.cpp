#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "core/kernel/PowerModule.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/io/PortMap.h"
#include "tests/support/TestSupport.h"

using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

using Bytes = std::vector<uint8_t>;

// The power module behind "com2", as the kernel opens it.
class PowerModule : public ::testing::Test {
protected:
    void StartModule(const emu::PowerModuleSettings& settings = emu::PowerModuleSettings()) {
        m_module = std::make_unique<emu::PowerModuleEmulator>(settings);
        ASSERT_TRUE(m_module->Start());
        ASSERT_TRUE(plat::SetPortMapEntry(plat::kPortMapFile, "com2", m_module->DevicePath()));
        ASSERT_TRUE(m_pm.Open("com2")) << m_pm.Error();
        ASSERT_TRUE(m_pm.Configure(57600));
        ASSERT_TRUE(m_pm.SetTimeouts());
        m_pm.Drain();
    }

    TempDir m_dir;
    ScopedCwd m_cwd{m_dir.Path()};
    std::unique_ptr<emu::PowerModuleEmulator> m_module;
    CPowerModule m_pm;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

TEST(PowerFrames, ChecksumsOfTheSetAndCommandFrames) {
    // 1800 s: the example every module's manual gives.
    std::array<uint8_t, 8> set = BuildAccHoldFrame(0x0708);
    EXPECT_EQ(Bytes(set.begin(), set.end()),
              (Bytes{0xFF, 0x55, 0x21, 0x03, 0x00, 0x07, 0x08, 0xEE}));
    EXPECT_EQ(BuildAccHoldFrame(0)[7], 0xFD);
    EXPECT_EQ(BuildAccHoldFrame(0xFFFF)[7], 0xFF) << "sum wraps: 3 + 255 + 255 = 0x201";
    EXPECT_EQ(BuildAccHoldFrame(0x00FD)[7], 0x00) << "a sum of 0x100 gives 0, not 0x100";
    std::array<uint8_t, 8> cmd = BuildCommandFrame(0x01, 0x02, 0x03);
    EXPECT_EQ(Bytes(cmd.begin(), cmd.end()),
              (Bytes{0xFF, 0x55, 0x1B, 0x03, 0x01, 0x02, 0x03, 0xF7}));
    for (uint8_t a : {0x00, 0x10, 0x7F, 0xFF}) {
        std::array<uint8_t, 8> f = BuildCommandFrame(a, 0xA5, 0x5A);
        EXPECT_EQ((f[3] + f[4] + f[5] + f[6] + f[7]) & 0xFF, 0);
    }
}

TEST(PowerModelNames, PaddingIsIgnoredAndNothingElse) {
    EXPECT_EQ(PowerModelIndex("TRX4100C\0\0", 10), 0);
    EXPECT_EQ(PowerModelIndex("TRX4100P  ", 10), 1);
    EXPECT_EQ(PowerModelIndex("TRX4100G\xFF\xFF", 10), 2);
    EXPECT_EQ(PowerModelIndex("TRX4100H \xFF", 10), 3);
    EXPECT_EQ(PowerModelIndex("TRX4100H\0X", 10), -1) << "only trailing padding";
    EXPECT_EQ(PowerModelIndex(" TRX4100H ", 10), -1);
    EXPECT_EQ(PowerModelIndex("TRX4100PX\0", 10), -1);
    EXPECT_EQ(PowerModelIndex("trx4100p\0\0", 10), -1);
    EXPECT_EQ(PowerModelIndex("TRX4100", 7), -1);
    EXPECT_EQ(PowerModelIndex("\0\0\0\0\0\0\0\0\0\0", 10), -1);
    EXPECT_EQ(PowerModelIndex(nullptr, 10), -1);
}

TEST_F(PowerModule, HandshakeAnsweredAtOnce) {
    StartModule();
    EXPECT_TRUE(m_pm.Handshake());
    EXPECT_EQ(m_module->Handshakes(), 1);
}

TEST_F(PowerModule, HandshakeSucceedsOnItsOneRetry) {
    emu::PowerModuleSettings s;
    s.ignoreHandshakes = 1;
    StartModule(s);
    EXPECT_TRUE(m_pm.Handshake());
    EXPECT_EQ(m_module->Handshakes(), 2);
}

TEST_F(PowerModule, HandshakeGivesUpAfterTwoTries) {
    emu::PowerModuleSettings s;
    s.ignoreHandshakes = 2;
    StartModule(s);
    EXPECT_FALSE(m_pm.Handshake());
    ASSERT_TRUE(m_module->WaitForReceived(2, 1000));
    EXPECT_EQ(m_module->Received(), (Bytes{0xA5, 0xA5}));
}

class PowerModuleModels : public PowerModule,
                          public ::testing::WithParamInterface<std::tuple<int, uint8_t>> {};

TEST_P(PowerModuleModels, ModelReplyNamesTheModel) {
    auto [index, pad] = GetParam();
    emu::PowerModuleSettings s;
    s.model = PM_MODEL_NAMES[index];
    s.modelPad = pad;
    StartModule(s);
    ASSERT_TRUE(m_pm.Handshake());
    m_pm.Query(PM_QUERY_MODEL);
    EXPECT_EQ(m_pm.m_bModelReceived, 1);
    EXPECT_EQ(m_pm.ModelIndex(), index);
    EXPECT_EQ(m_pm.ModelName(), PM_MODEL_NAMES[index]);
    // The query ends with A5, which the module does not take for a handshake.
    ASSERT_TRUE(m_module->WaitForReceived(3, 1000));
    EXPECT_EQ(m_module->Received(), (Bytes{0xA5, 0xB0, 0xA5}));
    EXPECT_EQ(m_module->Handshakes(), 1);
}

INSTANTIATE_TEST_SUITE_P(FourModelsThreePaddings, PowerModuleModels,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3),
                                            ::testing::Values(uint8_t{0x00}, uint8_t{' '},
                                                              uint8_t{0xFF})));

TEST_F(PowerModule, UnknownModelIsReceivedButNotKnown) {
    emu::PowerModuleSettings s;
    s.model = "TRX5000Q";
    StartModule(s);
    m_pm.Query(PM_QUERY_MODEL);
    EXPECT_EQ(m_pm.m_bModelReceived, 1);
    EXPECT_EQ(m_pm.ModelIndex(), -1);
    EXPECT_EQ(m_pm.ModelName(), "TRX5000Q");
}

TEST_F(PowerModule, VersionAndTimerQueries) {
    emu::PowerModuleSettings s;
    s.version = 0x04B3;  // 1203
    s.accHold = 0x0E10;
    s.secondTimer = 45;
    StartModule(s);
    m_pm.Query(PM_QUERY_VERSION);
    EXPECT_EQ(m_pm.m_strVersion, "1203");
    m_pm.Query(PM_QUERY_ACC_HOLD);
    EXPECT_EQ(m_pm.m_wAccHold, 3600);
    m_pm.Query(PM_QUERY_SECOND_TIMER);
    EXPECT_EQ(m_pm.m_wSecondTimer, 45);
    m_module->Update([](emu::PowerModuleSettings& st) { st.version = 7; });
    m_pm.Query(PM_QUERY_VERSION);
    EXPECT_EQ(m_pm.m_strVersion, "0007");
    m_module->Update([](emu::PowerModuleSettings& st) { st.version = 65535; });
    m_pm.Query(PM_QUERY_VERSION);
    EXPECT_EQ(m_pm.m_strVersion, "65535");
    m_pm.Query(PM_QUERY_TEXT_B1);
    EXPECT_STREQ(m_pm.m_szTextB1, "PM-SIM");
    m_pm.Query(PM_QUERY_TEXT_B2);
    EXPECT_STREQ(m_pm.m_szTextB2, "0001");
    EXPECT_EQ(m_module->Handshakes(), 0);
}

TEST_F(PowerModule, StaleBytesBeforeAQueryAreDropped) {
    StartModule();
    ASSERT_TRUE(m_pm.Handshake());
    // A handshake reply that came late, twice over, must not be read as the status byte.
    m_pm.WriteByte(0xA5);
    m_pm.WriteByte(0xA5);
    ASSERT_TRUE(m_module->WaitForReceived(3, 1000));
    // The replies are written by now; the pseudo-terminal hands them over through a work
    // queue of its own, which nothing here can wait on.
    CSerialPort::Pause(50);
    m_pm.Query(PM_QUERY_ACC_HOLD);
    EXPECT_EQ(m_pm.m_wAccHold, 1800);
}

TEST_F(PowerModule, SilentModuleTimesOutAndStillEndsTheQuery) {
    emu::PowerModuleSettings s;
    s.behaviour = emu::PowerBehaviour::Silent;
    StartModule(s);
    EXPECT_FALSE(m_pm.Handshake());
    m_pm.m_wAccHold = 1234;
    m_pm.Query(PM_QUERY_ACC_HOLD);  // the full three seconds
    EXPECT_EQ(m_pm.m_wAccHold, 1234) << "a time-out keeps the old value";
    ASSERT_TRUE(m_module->WaitForReceived(4, 1000));
    EXPECT_EQ(m_module->Received(), (Bytes{0xA5, 0xA5, 0x91, 0xA5}));
    m_pm.SetReplyWait(300);
    m_pm.Query(PM_QUERY_MODEL);
    EXPECT_EQ(m_pm.m_bModelReceived, 0);
    EXPECT_EQ(m_pm.ModelIndex(), -1);
}

TEST_F(PowerModule, GarblingModuleFailsHandshakeAndGivesAnUnknownModel) {
    emu::PowerModuleSettings s;
    s.behaviour = emu::PowerBehaviour::Garbage;
    StartModule(s);
    EXPECT_FALSE(m_pm.Handshake());
    m_pm.Query(PM_QUERY_MODEL);
    EXPECT_EQ(m_pm.ModelIndex(), -1);
    EXPECT_EQ(m_pm.m_bModelReceived, 1);
    EXPECT_LE(m_pm.ModelName().size(), 10u);
    // Garbage is shown for the log, never written out raw.
    for (char c : m_pm.ModelName())
        EXPECT_TRUE(c >= 0x20 && c < 0x7F);
}

TEST_F(PowerModule, LostByteLeavesTheReplyUnstored) {
    emu::PowerModuleSettings s;
    s.dropEvery = 5;  // the fifth byte of the model reply goes missing
    StartModule(s);
    m_pm.SetReplyWait(300);
    m_pm.Query(PM_QUERY_MODEL);
    EXPECT_EQ(m_pm.m_bModelReceived, 0);
    EXPECT_EQ(m_pm.ModelIndex(), -1);
    ASSERT_TRUE(m_module->WaitForReceived(2, 1000));
    EXPECT_EQ(m_module->Received().back(), 0xA5) << "the cut reply is still ended";
}

TEST_F(PowerModule, VanishingModuleEndsEveryWaitAtOnce) {
    emu::PowerModuleSettings s;
    s.vanishAfter = 4;  // gone in the middle of the model name
    StartModule(s);
    auto start = std::chrono::steady_clock::now();
    m_pm.Query(PM_QUERY_MODEL);
    EXPECT_EQ(m_pm.m_bModelReceived, 0);
    m_pm.Query(PM_QUERY_VERSION);
    EXPECT_FALSE(m_pm.Handshake());
    m_pm.SetAccHoldTimer(1800);
    EXPECT_EQ(m_pm.m_bSetAck, 0);
    // Had any of these waited out its budget it would have taken three seconds or more.
    EXPECT_LT(Seconds(start), 2.5);
}

TEST_F(PowerModule, SetFrameIsAcknowledgedAndFollowedByTheDoneQuery) {
    StartModule();
    m_pm.SetAccHoldTimer(1800);
    EXPECT_EQ(m_pm.m_bSetAck, 1);
    EXPECT_EQ(m_module->AccHoldFrames(), std::vector<uint16_t>{1800});
    EXPECT_EQ(m_module->BadFrames(), 0);
    ASSERT_TRUE(m_module->WaitForReceived(10, 1000));
    EXPECT_EQ(m_module->Received(),
              (Bytes{0xFF, 0x55, 0x21, 0x03, 0x00, 0x07, 0x08, 0xEE, 0x9F, 0xA5}));
    m_pm.Query(PM_QUERY_ACC_HOLD);
    EXPECT_EQ(m_pm.m_wAccHold, 1800);
}

TEST_F(PowerModule, SetFrameRefusedOrUnansweredIsNotAcknowledged) {
    emu::PowerModuleSettings s;
    s.setReply = 0x00;
    StartModule(s);
    m_pm.SetAccHoldTimer(600);
    EXPECT_EQ(m_pm.m_bSetAck, 0);
    m_module->Update(
        [](emu::PowerModuleSettings& st) { st.behaviour = emu::PowerBehaviour::Silent; });
    m_pm.SetReplyWait(300);
    m_pm.SetAccHoldTimer(600);
    EXPECT_EQ(m_pm.m_bSetAck, 0);
}

TEST_F(PowerModule, ClosedPortFailsHandshakeAndQueriesReturnAtOnce) {
    // Nothing behind com2: open fails and every call must come straight back.
    EXPECT_FALSE(m_pm.Open("com2"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_pm.Handshake());
    m_pm.Query(PM_QUERY_MODEL);
    m_pm.Query(PM_QUERY_VERSION);
    m_pm.SetAccHoldTimer(1800);
    m_pm.Drain();
    EXPECT_LT(Seconds(start), 0.1) << "no wait on a closed port";
    EXPECT_EQ(m_pm.m_bModelReceived, 0);
    EXPECT_EQ(m_pm.m_bSetAck, 0);
    EXPECT_EQ(m_pm.ModelIndex(), -1);
    EXPECT_TRUE(m_pm.m_strVersion.empty());
}

TEST_F(PowerModule, CommandSequenceGatedOffSendsNothing) {
    StartModule();
    std::mutex render;
    EXPECT_TRUE(CommandSeq(m_pm, false, render, 1, 2, 3));
    m_pm.Query(PM_QUERY_SET_DONE);  // something to wait for
    ASSERT_TRUE(m_module->WaitForReceived(2, 1000));
    EXPECT_EQ(m_module->Received(), (Bytes{0x9F, 0xA5}));
}

TEST_F(PowerModule, CommandSequenceSendsItsFrame) {
    StartModule();
    std::recursive_mutex render;
    EXPECT_TRUE(CommandSeq(m_pm, true, render, 0x10, 0x02, 0x58));
    auto frames = m_module->CommandFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (std::array<uint8_t, 3>{0x10, 0x02, 0x58}));
    EXPECT_TRUE(render.try_lock());
    render.unlock();
}

TEST_F(PowerModule, CommandSequenceReleasesItsLockOnTimeOut) {
    emu::PowerModuleSettings s;
    s.behaviour = emu::PowerBehaviour::Silent;
    StartModule(s);
    std::mutex render;
    EXPECT_FALSE(CommandSeq(m_pm, true, render, 1, 2, 3, 200));
    // Another thread (a seat's paint) must get the lock now.
    auto other = std::async(std::launch::async, [&render] {
        std::unique_lock<std::mutex> lock(render, std::try_to_lock);
        return lock.owns_lock();
    });
    EXPECT_TRUE(other.get());
    // And on a closed port the sequence fails without waiting, lock free again.
    m_pm.Close();
    EXPECT_FALSE(CommandSeq(m_pm, true, render, 1, 2, 3));
    EXPECT_TRUE(render.try_lock());
    render.unlock();
}
