#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "devices/BTModuleEmulator.h"
#include "platform/io/Path.h"
#include "platform/io/PortMap.h"
#include "platform/io/Serial.h"
#include "platform/sys/Module.h"
#include "tests/support/TestSupport.h"

extern char** environ;

using testsupport::ScopedCwd;
using testsupport::TempDir;

namespace {

// The emulator seen from a bare serial port: exactly the bytes on the wire.
class BTWire {
public:
    explicit BTWire(const std::string& device) {
        EXPECT_TRUE(m_port.Open(device)) << m_port.Error();
        EXPECT_TRUE(m_port.Configure(19200));
    }
    void Send(const std::string& command) {
        std::string line = command + "\r\n";
        ASSERT_EQ(m_port.Write(line.data(), line.size()), static_cast<long>(line.size()));
    }
    // The next reply line, CR LF included ("" when none comes within `ms`).
    std::string Line(uint32_t ms = 1000) {
        std::string out;
        uint8_t b;
        while (m_port.ReadByteWithin(b, ms)) {
            out.push_back(static_cast<char>(b));
            if (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0)
                break;
        }
        return out;
    }

    // What arrives in one burst: the first byte within a second, the rest each within `gapMs`.
    std::string Burst(uint32_t gapMs) {
        std::string out;
        uint8_t b;
        for (uint32_t wait = 1000; m_port.ReadByteWithin(b, wait); wait = gapMs)
            out.push_back(static_cast<char>(b));
        return out;
    }

    // The next `n` lines, in order.
    std::string Lines(int n) {
        std::string out;
        for (int i = 0; i < n; ++i)
            out += Line();
        return out;
    }

private:
    plat::SerialPort m_port;
};

}  // namespace

TEST(BTEmulator, AnswersEachCommandOnTheWire) {
    emu::BTModuleSettings s;
    s.phoneBook = {{3, "0711223344", "Bo"}, {2, "0800111", "Sim"}, {3, "0170", "Ö"}};
    emu::BTModuleEmulator module(s);
    ASSERT_TRUE(module.Start());
    BTWire wire(module.DevicePath());
    using E = emu::BTModuleEmulator;

    wire.Send("i");
    EXPECT_EQ(wire.Line(), "IVELKORA-BT 1.0\r\n");
    wire.Send("j4");
    EXPECT_EQ(wire.Line(), "S000\r\n");
    wire.Send("x1");
    EXPECT_EQ(wire.Line(), "Y\r\n");
    EXPECT_EQ(wire.Line(), "E not paired\r\n");
    wire.Send("p");
    EXPECT_EQ(wire.Line(), "P1\r\n");
    wire.Send("c1");
    wire.Send("x1");
    EXPECT_EQ(wire.Lines(3), "Y\r\nY\r\nJ\r\n");
    wire.Send("j4");
    EXPECT_EQ(wire.Line(), "S011\r\n");

    wire.Send("d0301234");
    EXPECT_EQ(wire.Lines(2), "D\r\nA\r\n");
    EXPECT_TRUE(module.InCall());
    wire.Send("k#");
    EXPECT_EQ(wire.Line(), "N\r\n");
    wire.Send("t");
    EXPECT_EQ(wire.Line(), "V\r\n");
    wire.Send("h");
    EXPECT_EQ(wire.Line(), "H\r\n");
    module.Ring("0301234", "Ann");
    EXPECT_EQ(wire.Line(), "C+0301234+" + E::Utf16Le("Ann") + "\r\n");
    wire.Send("a");
    EXPECT_EQ(wire.Line(), "A\r\n");
    module.HangUp();
    EXPECT_EQ(wire.Line(), "H\r\n");

    wire.Send("b03");
    EXPECT_EQ(wire.Line(), "B0\r\n");
    wire.Send("b30");
    EXPECT_EQ(wire.Line(), "B130711223344+0+" + E::Utf16Le("Bo") + "\r\n");
    EXPECT_EQ(wire.Line(), "B130170+0+" + E::Utf16Le("Ö") + "\r\n");
    EXPECT_EQ(wire.Line(), "B24\r\n");
    wire.Send("b02");
    wire.Send("b30");
    EXPECT_EQ(wire.Lines(2), "B0\r\nB120800111+0+\xFF\xFE" + E::Utf16Le("Sim") + "\r\n");
    EXPECT_EQ(wire.Line(), "B24\r\n");

    // The link goes in a call: the call ends with it.
    wire.Send("d0301");
    EXPECT_EQ(wire.Lines(2), "D\r\nA\r\n");
    wire.Send("c0");
    wire.Send("x0");
    EXPECT_EQ(wire.Lines(4), "H\r\nY\r\nY\r\nS010\r\n");
    EXPECT_FALSE(module.InCall());
    wire.Send("zz");
    EXPECT_EQ(wire.Line(), "E unknown command\r\n");

    std::vector<std::string> expected = {"i",        "j4",  "x1",    "p",  "c1", "x1",  "j4",
                                         "d0301234", "k#",  "t",     "h",  "a",  "b03", "b30",
                                         "b02",      "b30", "d0301", "c0", "x0", "zz"};
    ASSERT_TRUE(module.WaitForCommands(expected.size(), 1000));
    EXPECT_EQ(module.CommandTexts(), expected);
}

TEST(BTEmulator, MisbehavesWhenToldTo) {
    emu::BTModuleSettings s;
    s.splitAt = 1;
    s.splitPauseMs = 400;
    emu::BTModuleEmulator module(s);
    ASSERT_TRUE(module.Start());
    BTWire wire(module.DevicePath());
    wire.Send("i");
    EXPECT_EQ(wire.Burst(100), "I") << "the first byte alone";
    EXPECT_EQ(wire.Line(), "VELKORA-BT 1.0\r\n");

    module.Update([](emu::BTModuleSettings& st) {
        st.splitAt = 0;
        st.behaviour = emu::BTBehaviour::Silent;
    });
    wire.Send("j4");
    EXPECT_EQ(wire.Line(200), "");

    module.Update([](emu::BTModuleSettings& st) { st.behaviour = emu::BTBehaviour::Garbage; });
    wire.Send("j4");
    std::string garbage = wire.Line();
    ASSERT_EQ(garbage.size(), 6u);
    EXPECT_FALSE(garbage[0] >= 'A' && garbage[0] <= 'Z') << "no reply letter";
    EXPECT_NE(garbage.substr(0, 4), "S000");

    module.SendRaw(std::string(200, 'x'));
    EXPECT_EQ(wire.Line(200).size(), 200u);
    module.Vanish();
    EXPECT_TRUE(module.Vanished());
    EXPECT_EQ(wire.Line(200), "");
}

TEST(BTEmulatorProgram, EntersItselfInThePortMapWithItsPhoneBook) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    testsupport::WriteText("book.txt", "# memory;number;name\n3;0711223344;Bo\n2;0800111;Sim\n");
    std::string program = plat::JoinPath(plat::ExecutableDir(), "bt_module_emulator");
    std::vector<std::string> args = {program, "--phonebook", "book.txt", "--connected"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    // Its standard input is a pipe of the test's: its user's requests.
    int input[2];
    ASSERT_EQ(pipe(input), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_addclose(&actions, input[1]);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(input[0]);
    auto request = [&](const std::string& line) {
        ASSERT_EQ(write(input[1], line.data(), line.size()), static_cast<ssize_t>(line.size()));
    };

    ASSERT_TRUE(testsupport::WaitFor([] { return !plat::SerialDevicePath("com4").empty(); }));
    {
        using E = emu::BTModuleEmulator;
        BTWire wire(plat::SerialDevicePath("com4"));
        wire.Send("j4");
        EXPECT_EQ(wire.Line(), "S011\r\n");
        wire.Send("b03");
        wire.Send("b30");
        EXPECT_EQ(wire.Lines(3), "B0\r\nB130711223344+0+" + E::Utf16Le("Bo") + "\r\nB24\r\n");

        // Calls on request: a line names the caller, a signal rings with the phone book's next;
        // the other side hangs up by a line or a signal.
        request("ring 0301234 Ann Lee\n");
        EXPECT_EQ(wire.Line(), E::CallerLine("0301234", "Ann Lee") + "\r\n");
        request("hangup\n");
        EXPECT_EQ(wire.Line(), "H\r\n");
        ASSERT_EQ(kill(pid, SIGUSR1), 0);
        EXPECT_EQ(wire.Line(), E::CallerLine("0711223344", "Bo") + "\r\n");
        ASSERT_EQ(kill(pid, SIGUSR2), 0);
        EXPECT_EQ(wire.Line(), "H\r\n");
        ASSERT_EQ(kill(pid, SIGUSR1), 0);
        EXPECT_EQ(wire.Line(), E::CallerLine("0800111", "Sim") + "\r\n");
        request("ring -\n");
        EXPECT_EQ(wire.Line(), E::CallerLine("", "") + "\r\n") << "a caller without a number";
        // Without a connected phone nothing rings.
        wire.Send("c0");
        wire.Send("x0");
        EXPECT_EQ(wire.Lines(3), "Y\r\nY\r\nS010\r\n");
        request("ring\n");
        EXPECT_EQ(wire.Line(300), "");
    }
    close(input[1]);
    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(plat::SerialDevicePath("com4"), "") << "the entry is taken out again";
}
