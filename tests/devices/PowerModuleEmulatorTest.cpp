#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "core/kernel/PowerModule.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/io/Path.h"
#include "platform/io/PortMap.h"
#include "platform/io/Serial.h"
#include "platform/sys/Module.h"
#include "tests/support/TestSupport.h"

using Bytes = std::vector<uint8_t>;
using testsupport::ScopedCwd;
using testsupport::TempDir;

namespace {

// The emulator seen from a bare serial port: exactly the bytes on the wire.
class PowerEmulator : public ::testing::Test {
protected:
    void Start(const emu::PowerModuleSettings& s = emu::PowerModuleSettings()) {
        m_module = std::make_unique<emu::PowerModuleEmulator>(s);
        ASSERT_TRUE(m_module->Start());
        ASSERT_TRUE(m_port.Open(m_module->DevicePath()));
        ASSERT_TRUE(m_port.Configure(57600));
    }
    void Send(const Bytes& bytes) {
        ASSERT_EQ(m_port.Write(bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
    }
    // What comes back within `ms`, up to `max` bytes.
    Bytes Take(size_t max, uint32_t ms = 1000) {
        Bytes out;
        uint8_t b;
        while (out.size() < max && m_port.ReadByteWithin(b, ms))
            out.push_back(b);
        return out;
    }

    std::unique_ptr<emu::PowerModuleEmulator> m_module;
    plat::SerialPort m_port;
};

Bytes ModelReply(const std::string& name, uint8_t pad) {
    Bytes r{0x00};
    for (size_t i = 0; i < 10; ++i)
        r.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : pad);
    return r;
}

}  // namespace

TEST_F(PowerEmulator, RepliesOnTheWire) {
    emu::PowerModuleSettings s;
    s.model = "TRX4100G";
    s.modelPad = 0xFF;
    s.version = 0x0102;
    s.replyStatus = 0x07;
    Start(s);
    Send({0xA5});
    EXPECT_EQ(Take(1), Bytes{0x5A});
    Send({0xB0});
    Bytes model = ModelReply("TRX4100G", 0xFF);
    model[0] = 0x07;
    EXPECT_EQ(Take(11), model);
    Send({0xA5});  // the end of the query: no answer
    Send({0x89});
    EXPECT_EQ(Take(3), (Bytes{0x07, 0x01, 0x02}));
    Send({0xA5, 0x94});
    EXPECT_EQ(Take(3), (Bytes{0x07, 0x00, 0x1E}));
    Send({0xA5, 0x9F});
    EXPECT_EQ(Take(1), Bytes{0x07});
    Send({0xA5, 0x42, 0x00});  // bytes it does not know are ignored
    ASSERT_TRUE(m_module->WaitForReceived(11, 1000));
    EXPECT_EQ(Take(1, 100), Bytes{}) << "nothing more came";
    EXPECT_EQ(m_module->Handshakes(), 1);
}

TEST_F(PowerEmulator, SetFramesChangeTheTimerOnlyWithAGoodChecksum) {
    Start();
    Send({0xFF, 0x55, 0x21, 0x03, 0x00, 0x0E, 0x10, 0xDF});
    EXPECT_EQ(Take(2), (Bytes{0x5A, 0x00}));
    Send({0xFF, 0x55, 0x21, 0x03, 0x00, 0x00, 0x3C, 0x00});  // checksum should be 0xC1
    EXPECT_EQ(Take(2), (Bytes{0x00, 0x00}));
    Send({0x91});
    EXPECT_EQ(Take(3), (Bytes{0x00, 0x0E, 0x10}));
    EXPECT_EQ(m_module->AccHoldFrames(), std::vector<uint16_t>{3600});
    EXPECT_EQ(m_module->BadFrames(), 1);
}

TEST_F(PowerEmulator, GarbageHasTheRightLengthButNeverTheHandshakeReply) {
    emu::PowerModuleSettings s;
    s.behaviour = emu::PowerBehaviour::Garbage;
    Start(s);
    for (int i = 0; i < 20; ++i) {
        Send({0xA5});
        Bytes r = Take(1);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_NE(r[0], 0x5A);
        Send({0xB0});
        r = Take(11);
        ASSERT_EQ(r.size(), 11u);
        EXPECT_NE(r, ModelReply("TRX4100P", 0x00));
        Send({0xA5});
    }
}

TEST_F(PowerEmulator, DropsEveryNthByte) {
    emu::PowerModuleSettings s;
    s.dropEvery = 3;
    s.model = "ABCDEFGHIJ";
    Start(s);
    Send({0xB0});
    // Status, A..J with the 3rd, 6th and 9th byte lost: status A C D F G I J.
    EXPECT_EQ(Take(11, 200), (Bytes{0x00, 'A', 'C', 'D', 'F', 'G', 'I', 'J'}));
}

TEST_F(PowerEmulator, VanishesAfterSoManyBytesOrWhenTold) {
    emu::PowerModuleSettings s;
    s.vanishAfter = 3;
    Start(s);
    Send({0xB0});
    // A hang-up throws away what the port had not read yet, as a pulled adapter does; what
    // matters is that it ends the wait.
    EXPECT_LE(Take(11, 60000).size(), 3u);
    EXPECT_TRUE(m_module->Vanished());
    EXPECT_TRUE(m_port.HungUp());

    emu::PowerModuleEmulator other;
    ASSERT_TRUE(other.Start());
    plat::SerialPort port;
    ASSERT_TRUE(port.Open(other.DevicePath()));
    other.Vanish();
    uint8_t b;
    EXPECT_FALSE(port.ReadByteWithin(b, 60000));
    EXPECT_TRUE(port.HungUp());
}

TEST_F(PowerEmulator, ProgramSideMayCloseAndReopen) {
    Start();
    m_port.Close();
    ASSERT_TRUE(m_port.Open(m_module->DevicePath()));
    ASSERT_TRUE(m_port.Configure(57600));
    Send({0xA5});
    EXPECT_EQ(Take(1), Bytes{0x5A});
}

TEST(PowerEmulatorProgram, EntersItselfInThePortMapAndAnswersUntilStopped) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    std::string program = plat::JoinPath(plat::ExecutableDir(), "power_module_emulator");
    std::vector<std::string> args = {program, "--model",   "TRX4100H", "--pad",
                                     "blank", "--version", "1047"};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);

    // The entry appears once the pseudo-terminal is made; poll for it.
    std::string device;
    for (int i = 0; i < 1000 && device.empty(); ++i) {
        device = plat::SerialDevicePath("com2");
        if (device.empty())
            plat::SerialPause(10);
    }
    ASSERT_FALSE(device.empty());

    CPowerModule pm;
    ASSERT_TRUE(pm.Open("com2"));
    ASSERT_TRUE(pm.Configure(57600));
    ASSERT_TRUE(pm.SetTimeouts());
    EXPECT_TRUE(pm.Handshake());
    pm.Query(PM_QUERY_MODEL);
    EXPECT_EQ(pm.ModelIndex(), 3);
    pm.Query(PM_QUERY_VERSION);
    EXPECT_EQ(pm.m_strVersion, "1047");
    pm.Close();

    ASSERT_EQ(kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(plat::SerialDevicePath("com2"), "") << "the entry is taken out again";
}

TEST(EmulatorPrograms, StartedAndStoppedTogetherBothKeepTheirLinesInThePortMap) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    const std::string bin = plat::ExecutableDir();
    // Each round forks both programs waiting on one pipe; closing it lets both go at once.
    for (int round = 0; round < 20; ++round) {
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        pid_t pids[2] = {0, 0};
        const std::string programs[2] = {bin + "/power_module_emulator",
                                         bin + "/bt_module_emulator"};
        for (int i = 0; i < 2; ++i) {
            pids[i] = ::fork();
            ASSERT_GE(pids[i], 0);
            if (pids[i] == 0) {
                ::close(gate[1]);
                char byte;
                while (::read(gate[0], &byte, 1) < 0 && errno == EINTR) {
                }
                ::execl(programs[i].c_str(), programs[i].c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
        }
        ::close(gate[0]);
        ::close(gate[1]);

        auto both = [] {
            plat::PortMap map = plat::LoadPortMap();
            return map.count("com2") == 1 && map.count("com4") == 1;
        };
        EXPECT_TRUE(testsupport::WaitFor(both)) << "round " << round;
        for (pid_t pid : pids)
            ::kill(pid, SIGTERM);
        for (pid_t pid : pids) {
            int status = 0;
            ASSERT_EQ(::waitpid(pid, &status, 0), pid);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        EXPECT_TRUE(plat::LoadPortMap().empty()) << "round " << round << ": both took theirs out";
        if (::testing::Test::HasFailure())
            break;
    }
}
