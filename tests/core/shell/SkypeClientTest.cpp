// The Skype connector against a scripted messaging program on a real local socket, with a real
// headless window as the main dialog: what the program says must reach the dialog as messages,
// what the dialog asks for must reach the program as lines.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/LogWriter.h"
#include "core/shell/SkypeClient.h"
#include "platform/sys/Clock.h"
#include "tests/core/shell/SkypePeer.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace uitest;
using skypetest::ScriptedPeer;
using testsupport::TempDir;

namespace {

std::mutex g_logLock;
std::vector<std::string> g_log;

int CaptureLog(const char* format, ...) {
    char buf[2048];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(g_logLock);
    g_log.emplace_back(buf);
    return n;
}

std::vector<std::string> LogLines() {
    std::lock_guard<std::mutex> lock(g_logLock);
    return g_log;
}

size_t CountLog(const std::string& prefix) {
    size_t n = 0;
    for (const std::string& line : LogLines())
        n += line.compare(0, prefix.size(), prefix) == 0;
    return n;
}

struct Seen {
    uint32_t msg = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    std::string firstWord;           // WM_SKYPE_USERS: the word before the names
    std::vector<std::string> names;  // WM_SKYPE_USERS: the words from lParam on
};

const char kReplyLog[] = "Message from Skype(";

class SkypeClientTest : public ::testing::Test {
protected:
    SkypeClientTest() {
        {
            std::lock_guard<std::mutex> lock(g_logLock);
            g_log.clear();
        }
        client.m_pfnLog = CaptureLog;
        client.SetSocketPath(path);
        // What the main dialog does: every message to the connector first.
        owner.message = [this](uint32_t m, uintptr_t w, intptr_t l) -> intptr_t {
            if (client.OnMessage(m, w, l))
                return 1;
            Seen s;
            s.msg = m;
            s.wParam = w;
            s.lParam = l;
            if (m == WM_SKYPE_USERS) {
                const auto* words = reinterpret_cast<const SkypeWords*>(w);
                s.firstWord = words->at(0);
                s.names.assign(words->begin() + l, words->end());
            }
            seen.push_back(s);
            return 0;
        };
        owner.timer = [this](uint32_t id) { client.OnTimer(id); };
        EXPECT_TRUE(owner.Open(Rect::FromXYWH(0, 0, 0, 0), false));
    }

    // Handles the owner's messages until `done` holds (false after a generous limit).
    bool PumpUntil(const std::function<bool()>& done, int limitMs = 10000) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        for (;;) {
            PumpUntilIdle();
            if (done())
                return true;
            if (std::chrono::steady_clock::now() > until)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    int Count(uint32_t msg) const {
        int n = 0;
        for (const Seen& s : seen)
            n += s.msg == msg;
        return n;
    }
    std::vector<uint32_t> Messages() const {
        std::vector<uint32_t> out;
        for (const Seen& s : seen)
            out.push_back(s.msg);
        return out;
    }

    // Discover, take the connection, let the program attach.
    bool Attach(ScriptedPeer& peer) {
        if (!client.Discover(owner.Id()) || !peer.Accept() || peer.ReadLine() != "DISCOVER")
            return false;
        peer.SendLine("ATTACH 0");
        return PumpUntil([&] { return client.m_hSkype != 0; });
    }

    // One reply from the program, handled by the time this returns.
    void Reply(ScriptedPeer& peer, const std::string& text) {
        size_t before = CountLog(kReplyLog);
        ASSERT_TRUE(peer.SendLine("REPLY " + text));
        ASSERT_TRUE(PumpUntil([&] { return CountLog(kReplyLog) > before; })) << text;
    }

    HeadlessUi ui;
    TempDir dir;
    std::string path = dir.File("skype.sock");
    CSkypeClient client;
    TestWindow owner;
    std::vector<Seen> seen;
};

}  // namespace

TEST_F(SkypeClientTest, AttachStatusesReachTheMainDialog) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(client.Discover(owner.Id()));
    EXPECT_GE(client.m_uAttachMsg, 0xC000u);
    EXPECT_GE(client.m_uDiscoverMsg, 0xC000u);
    EXPECT_NE(client.m_uAttachMsg, client.m_uDiscoverMsg);
    EXPECT_EQ(client.m_hOwner, owner.Id());

    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");

    peer.SendLine("ATTACH 1");
    ASSERT_TRUE(PumpUntil([&] { return client.m_bPending == 1; }));
    EXPECT_EQ(Count(WM_SKYPE_PENDING), 1);

    peer.SendLine("ATTACH 2");
    peer.SendLine("ATTACH 3");
    peer.SendLine("ATTACH 7");  // no meaning: nothing happens
    peer.SendLine("ATTACH 0x8001");
    // "Available again" asks the program to attach once more.
    ASSERT_TRUE(PumpUntil([&] { return CountLog("!!! Try connect now") == 1; }));
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");
    EXPECT_EQ(client.m_hSkype, 0u);
    EXPECT_EQ(client.m_bPending, 1);

    peer.SendLine("ATTACH 0");
    ASSERT_TRUE(PumpUntil([&] { return client.m_hSkype != 0; }));
    EXPECT_EQ(client.m_bPending, 0);

    const std::vector<std::string> expected = {
        "!!! Pending authorization ( waiting for user's confirmation )",
        "!!! Connection refused",
        "!!! Skype API not available",
        "!!! Try connect now (API available);",
        "!!! SKYPE now connected !",
    };
    EXPECT_EQ(LogLines(), expected);
    // Only the pending notice reached the dialog; the discover broadcasts that reached our own
    // window were taken by the connector.
    EXPECT_EQ(Messages(), std::vector<uint32_t>{WM_SKYPE_PENDING});
}

TEST_F(SkypeClientTest, InitialCommandsGoOutOnTheFirstTimerTickAfterAttaching) {
    ManualClock clock;
    clock.SetAutoAdvance(false);
    SetClock(&clock);
    struct Restore {
        ~Restore() { SetClock(nullptr); }
    } restore;

    ScriptedPeer peer(path);
    ASSERT_TRUE(client.Discover(owner.Id()));
    ASSERT_TRUE(SetTimer(owner.Id(), SKYPE_TIMER_ID, SKYPE_TIMER_MS));
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");

    // Ticks before the program attaches send nothing and keep the timer going.
    for (int i = 0; i < 3; ++i) {
        clock.Advance(SKYPE_TIMER_MS);
        PumpUntilIdle();
    }
    EXPECT_FALSE(client.SendCommand(u"EARLY"));

    peer.SendLine("ATTACH 0");
    ASSERT_TRUE(PumpUntil([&] { return client.m_hSkype != 0; }));
    clock.Advance(SKYPE_TIMER_MS);
    PumpUntilIdle();
    const char* expected[] = {"PROTOCOL 99999", "GET SKYPEVERSION", "SEARCH FRIENDS",
                              "GET USERSTATUS", "GET CONNSTATUS"};
    for (const char* command : expected)
        EXPECT_EQ(peer.ReadLine(), std::string("COMMAND ") + command);

    // The timer is off for the rest of the run: later ticks send nothing more.
    for (int i = 0; i < 5; ++i) {
        clock.Advance(SKYPE_TIMER_MS);
        PumpUntilIdle();
    }
    ASSERT_TRUE(client.SendCommand(u"PING"));
    EXPECT_EQ(peer.ReadLine(), "COMMAND PING");
    // Other timers of the dialog are not the connector's.
    EXPECT_FALSE(client.OnTimer(1));
}

TEST_F(SkypeClientTest, RingingFailedAndFinishedCallsReachTheMainDialog) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(Attach(peer));

    Reply(peer, "CALL 17 STATUS RINGING");
    EXPECT_EQ(Messages(), std::vector<uint32_t>{WM_SKYPE_RINGING});
    EXPECT_EQ(client.m_iCallId, 17);
    EXPECT_STREQ(client.m_szCallStatus, "RINGING");

    // Any other status only changes what is kept.
    Reply(peer, "CALL 17 STATUS INPROGRESS");
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 1);
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(client.m_iCallId, 17);
    EXPECT_STREQ(client.m_szCallStatus, "INPROGRESS");

    Reply(peer, "CALL 17 STATUS FINISHED");
    EXPECT_EQ(client.m_iCallId, 0);

    // Words are split at blanks, commas, semicolons and tabs.
    Reply(peer, "CALL,18;STATUS\tFAILED");
    EXPECT_EQ(client.m_iCallId, 0);
    EXPECT_STREQ(client.m_szCallStatus, "FAILED");
    Reply(peer, "CALL 19 STATUS MISSED");
    EXPECT_EQ(client.m_iCallId, 0);

    // The call id alone raises nothing.
    Reply(peer, "CALL 20");
    EXPECT_EQ(client.m_iCallId, 20);
    EXPECT_STREQ(client.m_szCallStatus, "MISSED");

    EXPECT_EQ(Messages(), (std::vector<uint32_t>{WM_SKYPE_RINGING, WM_SKYPE_CALL_FINISHED,
                                                 WM_SKYPE_CALL_FAILED, WM_SKYPE_CALL_FAILED}));
    for (const Seen& s : seen) {
        EXPECT_EQ(s.wParam, 0u);
        EXPECT_EQ(s.lParam, 0);
    }
    EXPECT_EQ(CountLog("Message from Skype(0): CALL 17 STATUS RINGING\n"), 1u);
}

TEST_F(SkypeClientTest, UsersListReachesTheMainDialogWithItsNames) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(Attach(peer));

    Reply(peer, "USERS anna, bob,carl;dora\teve");
    ASSERT_EQ(Count(WM_SKYPE_USERS), 1);
    EXPECT_EQ(seen[0].lParam, 1);
    EXPECT_EQ(seen[0].firstWord, "USERS");
    EXPECT_EQ(seen[0].names, (std::vector<std::string>{"anna", "bob", "carl", "dora", "eve"}));

    Reply(peer, "USERS");
    ASSERT_EQ(Count(WM_SKYPE_USERS), 2);
    EXPECT_TRUE(seen[1].names.empty());

    // Replies of no interest are only logged, by their first word.
    Reply(peer, "CURRENTUSERHANDLE driver01");
    Reply(peer, "CALL");
    EXPECT_EQ(CountLog(":: SKYPE message :CURRENTUSERHANDLE"), 1u);
    EXPECT_EQ(CountLog(":: SKYPE message :CALL"), 1u);
    EXPECT_EQ(seen.size(), 2u);
}

TEST_F(SkypeClientTest, CommandsGoOutAsTheyStand) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(client.Discover(owner.Id()));
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");
    // Not attached yet: nothing goes out.
    EXPECT_FALSE(client.SendCommand(u"GET USERSTATUS"));
    peer.SendLine("ATTACH 0");
    ASSERT_TRUE(PumpUntil([&] { return client.m_hSkype != 0; }));

    // A '%' is text, not a format.
    ASSERT_TRUE(client.SendCommand(u"MESSAGE bob 100% sure: %s %n %d%%"));
    EXPECT_EQ(peer.ReadLine(), "COMMAND MESSAGE bob 100% sure: %s %n %d%%");
    ASSERT_TRUE(client.SendCommand(u"MESSAGE anna Grüße aus 東京"));
    EXPECT_EQ(peer.ReadLine(), "COMMAND MESSAGE anna Grüße aus 東京");

    // At most 1023 bytes, and never half a character.
    ASSERT_TRUE(client.SendCommand(std::u16string(2000, u'A').c_str()));
    EXPECT_EQ(peer.ReadLine(), "COMMAND " + std::string(1023, 'A'));
    std::u16string accents = u"AA";
    for (int i = 0; i < 700; ++i)
        accents += u"é";
    ASSERT_TRUE(client.SendCommand(accents.c_str()));
    std::string cut = "AA";
    for (int i = 0; i < 510; ++i)
        cut += "é";
    EXPECT_EQ(peer.ReadLine(), "COMMAND " + cut);

    EXPECT_FALSE(client.SendCommand(nullptr));
    EXPECT_FALSE(client.SendCommand(u""));
    // A line end inside would make a second command of the rest.
    EXPECT_FALSE(client.SendCommand(u"SET USERSTATUS ONLINE\nCALL someone"));
    EXPECT_EQ(CountLog("Send message [SET USERSTATUS ONLINE\nCALL someone] failed"), 1u);
    ASSERT_TRUE(client.SendCommand(u"GET CONNSTATUS"));
    EXPECT_EQ(peer.ReadLine(), "COMMAND GET CONNSTATUS");
}

TEST_F(SkypeClientTest, AProgramThatVanishesMakesCommandsFailAndIsFoundAgain) {
    auto peer = std::make_unique<ScriptedPeer>(path);
    ASSERT_TRUE(Attach(*peer));
    const SkypePeer first = client.m_hSkype;

    // The program drops the connection: no detach, commands simply fail.
    peer->HangUp();
    EXPECT_FALSE(client.SendCommand(u"GET USERSTATUS"));
    EXPECT_EQ(client.m_hSkype, first);

    // Still listening: it is found again and attaches anew.
    ASSERT_TRUE(peer->Accept());
    EXPECT_EQ(peer->ReadLine(), "DISCOVER");
    peer->SendLine("ATTACH 0");
    ASSERT_TRUE(PumpUntil([&] { return client.m_hSkype != first; }));
    EXPECT_NE(client.m_hSkype, 0u);
    ASSERT_TRUE(client.SendCommand(u"GET USERSTATUS"));
    EXPECT_EQ(peer->ReadLine(), "COMMAND GET USERSTATUS");
    Reply(*peer, "CALL 4 STATUS RINGING");
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 1);

    // Gone altogether, socket file and all; a new program at the same place later is found.
    peer->Vanish();
    peer.reset();
    EXPECT_FALSE(client.SendCommand(u"PING"));
    peer = std::make_unique<ScriptedPeer>(path);
    ASSERT_TRUE(peer->Accept());
    EXPECT_EQ(peer->ReadLine(), "DISCOVER");
    peer->SendLine("ATTACH 0");
    const SkypePeer second = client.m_hSkype;
    ASSERT_TRUE(PumpUntil([&] { return client.m_hSkype != second; }));
    ASSERT_TRUE(client.SendCommand(u"PING"));
    EXPECT_EQ(peer->ReadLine(), "COMMAND PING");
}

TEST_F(SkypeClientTest, FindsAProgramThatStartsLater) {
    ASSERT_TRUE(client.Discover(owner.Id()));
    PumpUntilIdle();
    ScriptedPeer peer(path);
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");
}

TEST_F(SkypeClientTest, DiscoveringAgainAsksTheSameProgramOrMovesToANewOwner) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(Attach(peer));
    // The same owner: the program is asked once more on the open connection.
    ASSERT_TRUE(client.Discover(owner.Id()));
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");
    ASSERT_TRUE(client.SendCommand(u"PING"));
    EXPECT_EQ(peer.ReadLine(), "COMMAND PING");

    // Another owner: a new connection whose news go to that window.
    TestWindow other;
    std::vector<uint32_t> otherSeen;
    other.message = [&](uint32_t m, uintptr_t w, intptr_t l) -> intptr_t {
        if (client.OnMessage(m, w, l))
            return 1;
        otherSeen.push_back(m);
        return 0;
    };
    ASSERT_TRUE(other.Open(Rect::FromXYWH(0, 0, 0, 0), false));
    ASSERT_TRUE(client.Discover(other.Id()));
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");
    const SkypePeer before = client.m_hSkype;
    peer.SendLine("ATTACH 0");
    ASSERT_TRUE(PumpUntil([&] { return client.m_hSkype != before; }));
    Reply(peer, "CALL 1 STATUS RINGING");
    EXPECT_EQ(otherSeen, std::vector<uint32_t>{WM_SKYPE_RINGING});
    EXPECT_TRUE(seen.empty());
}

TEST_F(SkypeClientTest, RepliesFromAnyoneButTheAttachedProgramAreNotTaken) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(client.Discover(owner.Id()));
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");

    const char ringing[] = "CALL 5 STATUS RINGING";
    COPYDATASTRUCT data;
    data.cbData = sizeof ringing;
    data.lpData = ringing;
    // Before attaching no sender is ours, not even a null one.
    EXPECT_FALSE(client.OnMessage(WM_COPYDATA, 0, reinterpret_cast<intptr_t>(&data)));
    // A reply the program sends before it has attached is dropped.
    peer.SendLine(std::string("REPLY ") + ringing);
    peer.SendLine("ATTACH 0");
    ASSERT_TRUE(PumpUntil([&] { return client.m_hSkype != 0; }));
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 0);
    EXPECT_EQ(client.m_iCallId, 0);

    const SkypePeer attached = client.m_hSkype;
    EXPECT_FALSE(client.OnMessage(WM_COPYDATA, attached + 1000, reinterpret_cast<intptr_t>(&data)));
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 0);
    EXPECT_TRUE(client.OnMessage(WM_COPYDATA, attached, reinterpret_cast<intptr_t>(&data)));
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 1);
    EXPECT_EQ(client.m_iCallId, 5);

    // Messages that are not the connector's go on to the dialog.
    EXPECT_FALSE(client.OnMessage(plat::ui::kWmUser + 1, attached, 0));
    EXPECT_FALSE(client.OnMessage(0, 0, 0));
    EXPECT_TRUE(client.OnMessage(client.m_uDiscoverMsg, owner.Id(), 0));
}

TEST_F(SkypeClientTest, RepliesAreReadOnlyAsFarAsTheirByteCount) {
    ASSERT_TRUE(client.Discover(owner.Id()));
    ASSERT_TRUE(client.OnMessage(client.m_uAttachMsg, 77, 0));
    ASSERT_EQ(client.m_hSkype, 77u);

    // Exactly the bytes the sender counted, with no terminator after them: any read past the
    // count is caught by the address checker.
    const std::string text = "CALL 17 STATUS RINGING";
    auto exact = std::make_unique<char[]>(text.size());
    std::memcpy(exact.get(), text.data(), text.size());
    COPYDATASTRUCT data;
    data.lpData = exact.get();

    data.cbData = 7;  // "CALL 17"
    EXPECT_TRUE(client.OnMessage(WM_COPYDATA, 77, reinterpret_cast<intptr_t>(&data)));
    EXPECT_EQ(client.m_iCallId, 17);
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 0);
    EXPECT_EQ(CountLog("Message from Skype(0): CALL 17\n"), 1u);

    data.cbData = static_cast<uint32_t>(text.size());
    data.dwData = 3;
    EXPECT_TRUE(client.OnMessage(WM_COPYDATA, 77, reinterpret_cast<intptr_t>(&data)));
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 1);
    EXPECT_EQ(CountLog("Message from Skype(3): CALL 17 STATUS RINGING\n"), 1u);

    // The text ends at a zero byte inside the count.
    const char inner[] = "CALL 9\0STATUS RINGING";
    data.lpData = inner;
    data.cbData = sizeof inner;
    EXPECT_TRUE(client.OnMessage(WM_COPYDATA, 77, reinterpret_cast<intptr_t>(&data)));
    EXPECT_EQ(client.m_iCallId, 9);
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 1);

    // Nothing at all: taken, read as an empty reply.
    data.cbData = 0;
    EXPECT_TRUE(client.OnMessage(WM_COPYDATA, 77, reinterpret_cast<intptr_t>(&data)));
    data.lpData = nullptr;
    data.cbData = 100;
    EXPECT_TRUE(client.OnMessage(WM_COPYDATA, 77, reinterpret_cast<intptr_t>(&data)));
    EXPECT_TRUE(client.OnMessage(WM_COPYDATA, 77, 0));
    EXPECT_EQ(client.m_iCallId, 9);
    EXPECT_EQ(seen.size(), 1u);

    EXPECT_FALSE(client.ParseReply(nullptr));
    EXPECT_FALSE(client.ParseReply(""));
    EXPECT_FALSE(client.ParseReply(" ,;\t "));
    EXPECT_TRUE(client.ParseReply("HELLO"));
}

TEST_F(SkypeClientTest, MalformedLinesLeaveTheConnectionWorking) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(Attach(peer));
    const SkypePeer attached = client.m_hSkype;

    // A status word longer than the field is cut to it, and matches nothing.
    Reply(peer, "CALL 3 STATUS " + std::string(300, 'R'));
    EXPECT_EQ(std::strlen(client.m_szCallStatus), 127u);
    EXPECT_EQ(std::string(client.m_szCallStatus), std::string(127, 'R'));
    Reply(peer, "CALL 3 STATUS RINGINGRINGING");
    EXPECT_EQ(Count(WM_SKYPE_RINGING), 0);

    // Empty replies and replies of separators only.
    Reply(peer, "");
    Reply(peer, " ,;\t ");
    // A call id that is no number reads as 0, as atoi would.
    Reply(peer, "CALL x17");
    EXPECT_EQ(client.m_iCallId, 0);

    peer.SendLine("HELLO there");
    peer.SendLine("ATTACH");
    peer.SendLine("ATTACH x");
    peer.SendLine("ATTACH 1 2");
    peer.SendLine("ATTACH 99999999999");
    peer.SendLine("REPLYCALL 1 STATUS RINGING");
    peer.SendLine(std::string("\x01\xff\xfe REPLY", 9));
    // A line far too long is dropped whole, however it comes.
    std::string huge = "REPLY CALL 66 STATUS RINGING " + std::string(kSkypeMaxLine, 'z');
    for (size_t at = 0; at < huge.size(); at += 5000)
        peer.Send(huge.substr(at, 5000));
    peer.Send("\n");
    // A reply with a zero byte ends there.
    peer.Send(std::string("REPLY CALL 7\0 STATUS RINGING\n", 29));
    // CR LF line ends.
    peer.Send("REPLY CALL 8 STATUS FINISHED\r\n");
    // A line in single bytes.
    for (char c : std::string("REPLY CALL 9 STATUS RINGING\n"))
        peer.Send(std::string(1, c));

    ASSERT_TRUE(PumpUntil([&] { return Count(WM_SKYPE_RINGING) == 1; }));
    EXPECT_EQ(Messages(), (std::vector<uint32_t>{WM_SKYPE_CALL_FINISHED, WM_SKYPE_RINGING}));
    EXPECT_EQ(client.m_iCallId, 9);
    EXPECT_EQ(client.m_hSkype, attached);
    EXPECT_EQ(client.m_bPending, 0);
    EXPECT_EQ(CountLog("Message from Skype(0): CALL 7\n"), 1u);
    EXPECT_EQ(CountLog("Skype link: line over 65536 bytes dropped"), 1u);
    EXPECT_EQ(CountLog("Skype link: line ignored: "), 7u);
    EXPECT_EQ(CountLog("Skype link: line ignored: ??? REPLY"), 1u);

    // And the connection still carries commands.
    ASSERT_TRUE(client.SendCommand(u"GET USERSTATUS"));
    EXPECT_EQ(peer.ReadLine(), "COMMAND GET USERSTATUS");
}

TEST_F(SkypeClientTest, AProgramThatStopsReadingFailsTheCommandInsteadOfHanging) {
    ScriptedPeer peer(path);
    ASSERT_TRUE(Attach(peer));

    // The program takes nothing: once the socket is full a command fails after a short wait,
    // and the half-sent connection is ended.
    const std::u16string big(1000, u'x');
    bool sent = true;
    int commands = 0;
    for (; commands < 5000 && sent; ++commands)
        sent = client.SendCommand(big.c_str());
    EXPECT_FALSE(sent) << commands << " commands went into a socket nobody reads";
    EXPECT_EQ(CountLog("Send message [xxx"), 1u);
    EXPECT_FALSE(client.SendCommand(u"PING"));
    EXPECT_TRUE(peer.SeesEnd());

    // The program answers again: it is found anew.
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");
}

TEST_F(SkypeClientTest, WithoutAUsableSocketPathThereIsNoSkype) {
    client.SetSocketPath("");
    EXPECT_FALSE(client.Discover(owner.Id()));
    client.SetSocketPath(dir.Path() + "/" + std::string(200, 's') + ".sock");
    EXPECT_FALSE(client.Discover(owner.Id()));
    EXPECT_EQ(CountLog("Skype socket path not usable: "), 2u);
    EXPECT_FALSE(client.SendCommand(u"PING"));
}

TEST_F(SkypeClientTest, SocketPathComesFromTheEnvironmentOrTheWorkingDirectory) {
    unsetenv(SKYPE_SOCKET_ENV);
    EXPECT_EQ(SkypeSocketPath(), "SkypeAPI.sock");
    EXPECT_EQ(CSkypeClient().SocketPath(), "SkypeAPI.sock");
    setenv(SKYPE_SOCKET_ENV, "", 1);
    EXPECT_EQ(SkypeSocketPath(), "SkypeAPI.sock");
    setenv(SKYPE_SOCKET_ENV, path.c_str(), 1);
    EXPECT_EQ(CSkypeClient().SocketPath(), path);

    // The default place is found relative to the working directory.
    testsupport::ScopedCwd cwd(dir.Path());
    unsetenv(SKYPE_SOCKET_ENV);
    ScriptedPeer peer(dir.File("SkypeAPI.sock"));
    CSkypeClient fresh;
    fresh.m_pfnLog = CaptureLog;
    ASSERT_TRUE(fresh.Discover(owner.Id()));
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), "DISCOVER");
}

TEST_F(SkypeClientTest, LogsThroughTheProgramsLogByDefault) {
    testsupport::ScopedCwd cwd(dir.Path());
    testsupport::WriteText("log.txt", "");
    ResetLogForTesting();
    CSkypeClient fresh;
    EXPECT_EQ(fresh.m_pfnLog, &WriteLog);
    fresh.SetSocketPath(path);
    ASSERT_TRUE(fresh.Discover(owner.Id()));
    ASSERT_TRUE(fresh.OnMessage(fresh.m_uAttachMsg, 5, 2));
    EXPECT_NE(
        testsupport::ReadFilesStartingWith(dir.Path(), "zz-log-").find("!!! Connection refused"),
        std::string::npos);
    ResetLogForTesting();
}
