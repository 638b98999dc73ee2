#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/io/PortMap.h"
#include "platform/io/Pty.h"
#include "platform/io/Serial.h"
#include "tests/support/TestSupport.h"

using testsupport::ReadText;
using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteText;

TEST(PortMap, ParsesNamesCaseBlanksAndComments) {
    plat::PortMap map = plat::ParsePortMap(
        "; devices\r\n"
        "# also a comment\n"
        "  COM2 =  /dev/ttyUSB0  \r\n"
        "com4=/dev/pts/7\n"
        "no equals sign here\n"
        "=/dev/nameless\n"
        "com1 = /dev/ttyS0\n"
        "com1 =\n"  // a later empty entry takes the port out again
        "com3 = /dev/first\n"
        "com3 = /dev/second");
    EXPECT_EQ(map.size(), 3u);
    EXPECT_EQ(map["com2"], "/dev/ttyUSB0");
    EXPECT_EQ(map["com4"], "/dev/pts/7");
    EXPECT_EQ(map["com3"], "/dev/second");
    EXPECT_EQ(map.count("com1"), 0u);
}

TEST(PortMap, DevicePathFromTheWorkingDirectoryFile) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    EXPECT_EQ(plat::SerialDevicePath("com2"), "") << "no port map, no device";
    WriteText(plat::kPortMapFile, "Com2 = /dev/ttyACM0\n");
    EXPECT_EQ(plat::SerialDevicePath("COM2"), "/dev/ttyACM0");
    EXPECT_EQ(plat::SerialDevicePath("com1"), "");
    EXPECT_EQ(plat::SerialDevicePath("/dev/ttyS9"), "/dev/ttyS9") << "a path is kept";
}

TEST(PortMap, SetEntryKeepsTheOthersAndRemoves) {
    TempDir dir;
    std::string file = dir.File("PortMap.ini");
    WriteText(file, "com4 = /dev/bt\n");
    ASSERT_TRUE(plat::SetPortMapEntry(file, "COM2", "/dev/pts/3"));
    plat::PortMap map = plat::LoadPortMap(file);
    EXPECT_EQ(map["com2"], "/dev/pts/3");
    EXPECT_EQ(map["com4"], "/dev/bt");
    ASSERT_TRUE(plat::SetPortMapEntry(file, "com2", ""));
    map = plat::ParsePortMap(ReadText(file));
    EXPECT_EQ(map.count("com2"), 0u);
    EXPECT_EQ(map["com4"], "/dev/bt");
}

class SerialOverPty : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_pty.Open()); }
    plat::PseudoTerminal m_pty;
};

TEST_F(SerialOverPty, OpensThroughThePortMapAndMovesBytesBothWays) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    WriteText(plat::kPortMapFile, "com2 = " + m_pty.SlavePath() + "\n");
    plat::SerialPort port;
    ASSERT_TRUE(port.Open("com2")) << port.Error();
    EXPECT_EQ(port.DevicePath(), m_pty.SlavePath());
    ASSERT_TRUE(port.Configure(57600));
    EXPECT_EQ(port.Write("\xA5\x0D\x0A\x00", 4), 4);
    uint8_t got[4] = {};
    EXPECT_EQ(m_pty.ReadExactly(got, sizeof got, 1000), 4);
    EXPECT_EQ(std::memcmp(got, "\xA5\x0D\x0A\x00", 4), 0) << "raw: no CR/LF translation";

    ASSERT_TRUE(m_pty.Write("\x5A\x13\x11\x0D", 4));
    plat::SerialTimeouts t;
    t.readIntervalMs = 300;
    t.readTotalMs = 1000;
    port.SetTimeouts(t);
    uint8_t in[4] = {};
    EXPECT_EQ(port.Read(in, sizeof in), 4);
    EXPECT_EQ(std::memcmp(in, "\x5A\x13\x11\x0D", 4), 0) << "no XON/XOFF, no CR mapping";
}

TEST_F(SerialOverPty, ASecondOpenOfTheSamePortFails) {
    plat::SerialPort first, second;
    ASSERT_TRUE(first.Open(m_pty.SlavePath()));
    EXPECT_FALSE(second.Open(m_pty.SlavePath()));
    first.Close();
    EXPECT_TRUE(second.Open(m_pty.SlavePath()));
}

TEST_F(SerialOverPty, UnknownPortsAndRatesFail) {
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    plat::SerialPort port;
    EXPECT_FALSE(port.Open("com3"));
    EXPECT_FALSE(port.Error().empty());
    ASSERT_TRUE(port.Open(m_pty.SlavePath()));
    EXPECT_FALSE(port.Configure(12345));
    EXPECT_TRUE(port.Configure(19200));
}

TEST_F(SerialOverPty, ImmediateReadsReturnWhatIsThere) {
    plat::SerialPort port;
    ASSERT_TRUE(port.Open(m_pty.SlavePath()));
    ASSERT_TRUE(port.Configure(57600));
    uint8_t b[8];
    EXPECT_EQ(port.Read(b, sizeof b), 0) << "nothing buffered, no wait";
    ASSERT_TRUE(m_pty.Write("ab", 2));
    uint8_t one;
    ASSERT_TRUE(port.ReadByteWithin(one, 1000));
    EXPECT_EQ(one, 'a');
    ASSERT_TRUE(port.ReadByteWithin(one, 1000));
    EXPECT_EQ(one, 'b');
    EXPECT_FALSE(port.ReadByteWithin(one, 0));
}

TEST_F(SerialOverPty, ReadWithTotalTimeoutStopsWithWhatCame) {
    plat::SerialPort port;
    ASSERT_TRUE(port.Open(m_pty.SlavePath()));
    ASSERT_TRUE(port.Configure(19200));
    plat::SerialTimeouts t;
    t.readIntervalMs = 300;
    t.readTotalMs = 100;
    port.SetTimeouts(t);
    ASSERT_TRUE(m_pty.Write("I1", 2));
    uint8_t buf[260];
    EXPECT_EQ(port.Read(buf, sizeof buf), 2);
}

TEST_F(SerialOverPty, AVanishedDeviceFailsAtOnce) {
    plat::SerialPort port;
    ASSERT_TRUE(port.Open(m_pty.SlavePath()));
    ASSERT_TRUE(port.Configure(57600));
    m_pty.Close();
    uint8_t b;
    // A wait of a minute would fail the test run; the hang-up ends it at once.
    EXPECT_FALSE(port.ReadByteWithin(b, 60000));
    EXPECT_TRUE(port.HungUp());
    plat::SerialTimeouts t;
    t.readIntervalMs = 300;
    t.readTotalMs = 60000;
    port.SetTimeouts(t);
    EXPECT_EQ(port.Read(&b, 1), -1);
    EXPECT_EQ(port.Write(&b, 1), -1);
}
