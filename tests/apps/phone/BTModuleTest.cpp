#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "apps/phone/BTModule.h"
#include "core/kernel/LogWriter.h"
#include "devices/BTModuleEmulator.h"
#include "platform/io/PortMap.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"

using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteText;

namespace {

struct ClockGuard {
    explicit ClockGuard(plat::Clock* clock) { plat::SetClock(clock); }
    ~ClockGuard() { plat::SetClock(nullptr); }
};

std::u16string Units(const BT_DOWNLOAD_ENTRY& e) {
    return std::u16string(e.szLine);
}

// The link on "com4" of the port map in a folder of its own, the emulator behind it, logging on.
class BTLink : public ::testing::Test {
protected:
    void SetUp() override {
        WriteText("log.txt", "");
        ResetLogForTesting();
    }
    void TearDown() override { ResetLogForTesting(); }

    void StartModule(const emu::BTModuleSettings& settings = emu::BTModuleSettings()) {
        m_module = std::make_unique<emu::BTModuleEmulator>(settings);
        ASSERT_TRUE(m_module->Start());
        ASSERT_TRUE(plat::SetPortMapEntry(plat::kPortMapFile, "com4", m_module->DevicePath()));
    }
    void Open() {
        ASSERT_TRUE(m_bt.Initialize("com4"));
        ASSERT_TRUE(m_bt.IsComReady());
    }
    std::string Log() const { return testsupport::ReadFilesStartingWith(m_dir.Path(), "zz-log-"); }
    // A reply line from the module, then one poll.
    void Reply(const std::string& line) {
        m_module->SendLine(line);
        m_bt.Poll();
    }
    // Polls until `done` holds, at most `polls` times.
    bool PollUntil(const std::function<bool()>& done, int polls = 100) {
        for (int i = 0; i < polls && !done(); ++i) {
            m_bt.Poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    TempDir m_dir;
    ScopedCwd m_cwd{m_dir.Path()};
    std::unique_ptr<emu::BTModuleEmulator> m_module;
    CBTModule m_bt;
};

}  // namespace

TEST_F(BTLink, CommandsGoOutAsTheyAreWrittenWithTheModulesPause) {
    emu::BTModuleSettings s;
    s.paired = true;
    StartModule(s);
    Open();
    const std::vector<std::string> commands = {"j4",  "a",  "h",  "d0123456789", "k5", "k*",  "k#",
                                               "t",   "c1", "x1", "c0",          "x0", "b03", "b30",
                                               "b02", "p"};
    // The pause is timed where it is kept, on the sending side: each command is written
    // within its Send, which returns only after the module's pause, so no two commands go out
    // closer than that. A busy machine can only lengthen what is measured here; the emulator's
    // arrival times also carry its own thread's scheduling and can shorten a gap.
    for (const std::string& c : commands) {
        const auto start = std::chrono::steady_clock::now();
        m_bt.Send(c.c_str());
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        EXPECT_GE(took.count(), 100.0) << "the pause after " << c;
    }
    ASSERT_TRUE(m_module->WaitForCommands(commands.size() + 1, 10000));

    std::string wire = "i\r\n";
    for (const std::string& c : commands)
        wire += c + "\r\n";
    EXPECT_EQ(m_module->Received(), wire) << "exactly the commands, each with CR LF";
}

TEST_F(BTLink, RepliesSetTheFlagsAndTheDownloadState) {
    StartModule();
    Open();
    EXPECT_FALSE(m_bt.IsPaired());
    EXPECT_FALSE(m_bt.IsConnected());

    Reply("Sx13");
    EXPECT_TRUE(m_bt.IsPaired());
    EXPECT_TRUE(m_bt.IsConnected());
    Reply("S1");  // too short to say anything
    EXPECT_TRUE(m_bt.IsPaired());
    EXPECT_TRUE(m_bt.IsConnected());
    Reply("S000");
    EXPECT_FALSE(m_bt.IsPaired());
    EXPECT_FALSE(m_bt.IsConnected());
    Reply("J");
    EXPECT_TRUE(m_bt.IsConnected());

    m_module->Ring("0301234567", "Ana");
    m_bt.Poll();
    EXPECT_TRUE(m_bt.IsRinging());
    EXPECT_EQ(std::u16string(m_bt.CallerId()), u"C+0301234567+Ana");
    Reply("H");  // the caller gave up
    EXPECT_FALSE(m_bt.IsRinging());
    EXPECT_EQ(std::u16string(m_bt.CallerId()), u"");

    m_module->Ring("0301234567");
    m_bt.Poll();
    m_bt.Send("a");  // answered on the unit
    EXPECT_TRUE(m_bt.IsCallActive());
    EXPECT_FALSE(m_bt.IsRinging());
    EXPECT_EQ(std::u16string(m_bt.CallerId()), u"");
    m_bt.Poll();  // the module's "A"
    EXPECT_TRUE(m_bt.IsCallActive());
    m_bt.Send("h");
    EXPECT_FALSE(m_bt.IsCallActive());
    Reply("A");
    EXPECT_TRUE(m_bt.IsCallActive());
    Reply("H");
    EXPECT_FALSE(m_bt.IsCallActive());
    // A call does not outlive the link: a status saying "not connected" ends it, and a ring.
    Reply("A");
    Reply("S010");
    EXPECT_FALSE(m_bt.IsCallActive());
    Reply("J");
    m_module->Ring("0301");
    m_bt.Poll();
    ASSERT_TRUE(m_bt.IsRinging());
    Reply("S010");
    EXPECT_FALSE(m_bt.IsRinging());
    EXPECT_EQ(std::u16string(m_bt.CallerId()), u"");

    m_bt.m_iDownloadCount = 7;
    Reply("B0");
    EXPECT_TRUE(m_bt.m_bDownloadStarted);
    EXPECT_EQ(m_bt.m_iDownloadState, BT_DOWNLOAD_LINES);
    EXPECT_EQ(m_bt.m_iDownloadCount, 0);
    Reply(emu::BTModuleEmulator::B1Line({3, "0711223344", "Bo"}));
    EXPECT_EQ(m_bt.m_iDownloadCount, 1);
    EXPECT_EQ(Units(m_bt.m_DownloadList[0]), u"B130711223344+0+Bo");
    Reply("B24");
    EXPECT_EQ(m_bt.m_iDownloadState, BT_DOWNLOAD_DONE);

    Reply("D");
    Reply("E busy");
    Reply("P1");
    Reply("R");
    Reply("Nothing");  // one of the ignored letters
    Reply("Qx?");
    Reply("");  // an empty line is no reply
    std::string log = Log();
    EXPECT_NE(log.find("Phone-Incoming: C+0301234567+A.n.a."), std::string::npos) << log;
    EXPECT_NE(log.find("Phone-Accept"), std::string::npos);
    EXPECT_NE(log.find("Phone-Dialing"), std::string::npos);
    EXPECT_NE(log.find("Phone-Error: E busy"), std::string::npos);
    EXPECT_NE(log.find("P(air) cmd: Read [P][1]"), std::string::npos);
    EXPECT_NE(log.find("Phone-R\n"), std::string::npos);
    EXPECT_NE(log.find("Polling :: None of useful cmd. Read [Q] [x], Qx?"), std::string::npos);
    EXPECT_EQ(log.find("Read [N]"), std::string::npos) << "ignored letters are not logged";
}

TEST_F(BTLink, ARepliesSplitAcrossReadsIsHandledOnceWhenComplete) {
    StartModule();
    Open();
    m_module->SendRaw("C+01701");
    m_bt.Poll();
    EXPECT_FALSE(m_bt.IsRinging()) << "half a line rings nothing";
    m_module->SendRaw("234567\r\nS");
    m_bt.Poll();
    EXPECT_TRUE(m_bt.IsRinging());
    EXPECT_EQ(std::u16string(m_bt.CallerId()), u"C+01701234567");
    m_module->SendRaw("011\r");
    m_bt.Poll();
    EXPECT_FALSE(m_bt.IsPaired());
    m_module->SendRaw("\n");
    m_bt.Poll();
    EXPECT_TRUE(m_bt.IsPaired());
    EXPECT_TRUE(m_bt.IsConnected());
    std::string log = Log();
    EXPECT_EQ(log.find("Phone-Incoming"), log.rfind("Phone-Incoming")) << "handled once";

    // The emulator's own split lines, with a pause in the middle.
    m_module->Update([](emu::BTModuleSettings& s) {
        s.splitAt = 2;
        s.splitPauseMs = 20;
    });
    m_module->HangUp();
    EXPECT_TRUE(PollUntil([&] { return !m_bt.IsRinging(); }, 5));
}

TEST_F(BTLink, FragmentsAndOverlongLinesNeverRingHangUpOrAnswer) {
    StartModule();
    Open();
    // A line longer than 128 bytes goes whole, up to its CR LF; what follows it counts again.
    m_module->SendRaw("C+0170" + std::string(200, '1') + "\r\nS011\r\n");
    m_bt.Poll();
    EXPECT_FALSE(m_bt.IsRinging());
    EXPECT_TRUE(m_bt.IsConnected());
    m_module->SendRaw("X" + std::string(130, 'x') + "C+0171\r\n");
    m_bt.Poll();
    EXPECT_FALSE(m_bt.IsRinging()) << "a C inside a dropped line is no ring";

    m_module->Ring("0172");
    m_bt.Poll();
    ASSERT_TRUE(m_bt.IsRinging());
    m_module->SendRaw("H");  // the module goes away mid-line: no hang-up
    m_bt.Poll();
    EXPECT_TRUE(m_bt.IsRinging());
    m_module->SendRaw(std::string(140, 'H') + "\r\nA");
    m_bt.Poll();
    EXPECT_TRUE(m_bt.IsRinging());
    EXPECT_FALSE(m_bt.IsCallActive()) << "a lone A after a dropped line waits for its CR LF";
    // A line of exactly 128 bytes with its CR LF is still a line.
    m_module->SendRaw("\r\nE" + std::string(125, 'e') + "\r\n");
    m_bt.Poll();
    EXPECT_TRUE(m_bt.IsCallActive()) << "the A line completed";
    EXPECT_NE(Log().find("Phone-Error: E" + std::string(125, 'e')), std::string::npos);
}

TEST(BTDecoding, B1LinesIntoEntries) {
    BT_DOWNLOAD_ENTRY e{};
    // ASCII up to the second '+', UTF-16LE after it.
    std::string line = emu::BTModuleEmulator::B1Line({3, "0711223344", "Zoë 张"}) + "\r\n";
    line.push_back('\0');
    DecodeB1Line(reinterpret_cast<const uint8_t*>(line.data()), line.size(), e);
    EXPECT_EQ(Units(e), u"B130711223344+0+Zoë 张");
    EXPECT_EQ(e.iSepCount, 2);
    EXPECT_EQ(e.iSepPos[0], 14);
    EXPECT_EQ(e.iSepPos[1], 16);
    EXPECT_EQ(e.iSepPos[2], 0);

    // A third separator: a pair whose second byte is '+'.
    std::string three = "B11+0301234+2+" + emu::BTModuleEmulator::Utf16Le("Li") + "\r\n";
    DecodeB1Line(reinterpret_cast<const uint8_t*>(three.data()), three.size(), e);
    EXPECT_EQ(e.iSepCount, 3);
    EXPECT_EQ(e.iSepPos[0], 4);
    EXPECT_EQ(e.iSepPos[1], 12);
    EXPECT_EQ(e.iSepPos[2], 13);
    EXPECT_EQ(e.szLine[12], u'2' | u'+' << 8);
    EXPECT_EQ(std::u16string(e.szLine + 13), u"Li");

    // 60 units at most, the 61st slot ends the text.
    std::string longLine = "B13" + std::string(70, '9') + "\r\n";
    DecodeB1Line(reinterpret_cast<const uint8_t*>(longLine.data()), longLine.size(), e);
    EXPECT_EQ(Units(e).size(), 60u);
    EXPECT_EQ(e.szLine[60], 0);
    EXPECT_EQ(e.iSepCount, 0);

    // Three zero bytes end the entry wherever they fall.
    std::string zeros = std::string("B1+1+A\0\0\0B\0", 12);
    DecodeB1Line(reinterpret_cast<const uint8_t*>(zeros.data()), zeros.size(), e);
    EXPECT_EQ(Units(e), u"B1+1+A");
    // An odd byte at the end of the pairs is no unit.
    std::string odd = "B1+1+AB\x41";
    DecodeB1Line(reinterpret_cast<const uint8_t*>(odd.data()), odd.size(), e);
    EXPECT_EQ(Units(e), u"B1+1+\u4241");

    char16_t id[BT_CALLER_UNITS + 1];
    std::string caller = emu::BTModuleEmulator::CallerLine("0301234567", "Émile");
    EXPECT_EQ(DecodeCallerId(reinterpret_cast<const uint8_t*>(caller.data()), caller.size(), id),
              18u);
    EXPECT_EQ(std::u16string(id), u"C+0301234567+Émile");
    std::string longId = "C" + std::string(300, '7');
    EXPECT_EQ(DecodeCallerId(reinterpret_cast<const uint8_t*>(longId.data()), longId.size(), id),
              127u);
    EXPECT_EQ(id[127], 0);
}

TEST_F(BTLink, ADownloadOfMoreThanTheTableKeepsTheFirst512AndEnds) {
    emu::BTModuleSettings s;
    for (int i = 0; i < 600; ++i)
        s.phoneBook.push_back({3, "0170" + std::to_string(1000000 + i), "N" + std::to_string(i)});
    s.phoneBook.push_back({2, "0800111", "SIM only"});
    StartModule(s);
    Open();
    m_bt.Send("b03");
    ASSERT_TRUE(PollUntil([&] { return m_bt.m_bDownloadStarted; }, 5));
    m_bt.m_bDownloadStarted = false;
    m_bt.Send("b30");
    ASSERT_TRUE(PollUntil([&] { return m_bt.m_iDownloadState == BT_DOWNLOAD_DONE; }, 500));
    EXPECT_EQ(m_bt.m_iDownloadCount, BT_DOWNLOAD_MAX);
    EXPECT_EQ(Units(m_bt.m_DownloadList[0]), u"B1301701000000+0+N0");
    EXPECT_EQ(Units(m_bt.m_DownloadList[511]), u"B1301701000511+0+N511");
    EXPECT_NE(Log().find("88 phone-book lines beyond 512 ignored"), std::string::npos);

    // The next memory starts a new download from the first entry.
    m_bt.m_iDownloadState = BT_DOWNLOAD_IDLE;
    m_bt.Send("b02");
    m_bt.Send("b30");
    ASSERT_TRUE(PollUntil([&] { return m_bt.m_iDownloadState == BT_DOWNLOAD_DONE; }, 10));
    EXPECT_EQ(m_bt.m_iDownloadCount, 1);
    EXPECT_EQ(Units(m_bt.m_DownloadList[0]), u"B120800111+0+\uFEFFSIM only");
}

TEST_F(BTLink, ASilentModuleIsGivenUpAndAReopenedOneAnswersAtOnce) {
    plat::ManualClock clock;
    ClockGuard guard(&clock);
    emu::BTModuleSettings s;
    s.behaviour = emu::BTBehaviour::Silent;
    StartModule(s);

    // The first check that fails leaves the port open; the page's checks count on.
    EXPECT_TRUE(m_bt.Initialize("com4"));
    EXPECT_EQ(m_bt.QueryFailures(), 1);
    m_bt.Poll();
    EXPECT_FALSE(m_bt.IsNoAnswer());
    m_bt.Send("a");  // a call taken just before the module fell silent
    ASSERT_TRUE(m_bt.IsCallActive());
    clock.Advance(BT_NO_ANSWER_MS + 1);
    m_bt.Poll();
    EXPECT_TRUE(m_bt.IsNoAnswer()) << "21 s without a line";
    EXPECT_FALSE(m_bt.IsCallActive()) << "and no call on a silent link";

    for (int failures = 2; failures <= 3; ++failures) {
        m_bt.CloseHandle();
        EXPECT_TRUE(m_bt.Initialize("com4"));
        EXPECT_EQ(m_bt.QueryFailures(), failures);
    }
    m_bt.CloseHandle();
    EXPECT_FALSE(m_bt.Initialize("com4")) << "the fourth failed check gives up";
    EXPECT_FALSE(m_bt.IsComReady());
    EXPECT_TRUE(m_bt.IsNoAnswer());
    EXPECT_FALSE(m_bt.Port().IsOpen()) << "closed, so the next open is a real one";
    size_t before = m_module->Received().size();
    m_bt.Send("j4");
    m_bt.Poll();
    EXPECT_EQ(m_module->Received().size(), before) << "nothing goes out while closed";

    // The module wakes up: the page's next reopen finds it and the silence rule starts over.
    m_module->Update([](emu::BTModuleSettings& st) { st.behaviour = emu::BTBehaviour::Normal; });
    clock.Advance(60000);
    EXPECT_TRUE(m_bt.Initialize("com4"));
    EXPECT_EQ(m_bt.QueryFailures(), 0);
    EXPECT_FALSE(m_bt.IsNoAnswer());
    m_bt.Poll();
    EXPECT_FALSE(m_bt.IsNoAnswer()) << "the identify reply counts as a reply";

    // Any line clears the flag.
    clock.Advance(BT_NO_ANSWER_MS + 1);
    m_bt.Poll();
    ASSERT_TRUE(m_bt.IsNoAnswer());
    Reply("S011");
    EXPECT_FALSE(m_bt.IsNoAnswer());
    std::string log = Log();
    EXPECT_NE(log.find("CBTModule::QueryBTModule() - Not verified yet"), std::string::npos);
    EXPECT_NE(log.find("CBTModule::IsBTModuleReady() => true [IVELKORA-BT 1.0..]"),
              std::string::npos)
        << log;
}

TEST_F(BTLink, GarbageIsLoggedAndNoPortMeansNoLink) {
    EXPECT_FALSE(m_bt.Initialize("com4")) << "no device in the port map";
    EXPECT_NE(Log().find("Cannot open Communication Port for BT module"), std::string::npos);
    m_bt.Send("j4");
    m_bt.Poll();
    m_bt.ClosePort();

    emu::BTModuleSettings s;
    s.behaviour = emu::BTBehaviour::Garbage;
    StartModule(s);
    EXPECT_TRUE(m_bt.Initialize("com4"));
    EXPECT_EQ(m_bt.QueryFailures(), 1) << "garbage is no identity";
    m_bt.Send("j4");
    m_bt.Poll();
    EXPECT_FALSE(m_bt.IsRinging());
    EXPECT_NE(Log().find("Polling :: None of useful cmd."), std::string::npos);

    // Closing says goodbye to the module.
    m_bt.ClosePort();
    EXPECT_FALSE(m_bt.IsComReady());
    std::vector<std::string> cmds = m_module->CommandTexts();
    ASSERT_GE(cmds.size(), 2u);
    EXPECT_EQ(cmds[cmds.size() - 2], "c0");
    EXPECT_EQ(cmds.back(), "x0");
    EXPECT_NE(Log().find("void CBTModule::ClosePort()"), std::string::npos);
}

TEST_F(BTLink, TheModuleVanishingMidDownloadClosesTheLink) {
    emu::BTModuleSettings s;
    s.paired = true;
    s.connected = true;
    for (int i = 0; i < 20; ++i)
        s.phoneBook.push_back({3, "0170" + std::to_string(5550000 + i), "V" + std::to_string(i)});
    s.vanishAfterB1 = 5;
    StartModule(s);
    Open();
    m_bt.Send("j4");
    m_bt.Send("b03");
    m_bt.Poll();
    ASSERT_EQ(m_bt.m_iDownloadState, BT_DOWNLOAD_LINES);
    m_bt.Send("b30");
    ASSERT_TRUE(PollUntil([&] { return !m_bt.IsComReady(); }, 300));
    EXPECT_EQ(m_bt.m_iDownloadCount, 5) << "what came is kept";
    EXPECT_EQ(m_bt.m_iDownloadState, BT_DOWNLOAD_IDLE) << "nothing more is waited for";
    EXPECT_FALSE(m_bt.IsConnected());
    EXPECT_FALSE(m_bt.Port().IsOpen());
    EXPECT_FALSE(m_bt.Initialize("com4")) << "the device is gone";
}

TEST_F(BTLink, ACommandTooLongForItsLineIsNotSent) {
    StartModule();
    Open();
    m_bt.Send(("d" + std::string(130, '1')).c_str());
    // 127 bytes with CR LF and the NUL of the 128-byte buffer: still fits.
    m_bt.Send(("d" + std::string(124, '2')).c_str());
    ASSERT_TRUE(m_module->WaitForCommands(2, 1000));
    EXPECT_EQ(m_module->Received(), "i\r\nd" + std::string(124, '2') + "\r\n");
}
