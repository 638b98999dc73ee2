#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <string>

#include "core/kernel/SerialPort.h"
#include "platform/io/PortMap.h"
#include "platform/io/Pty.h"
#include "tests/support/TestSupport.h"

using testsupport::ScopedCwd;
using testsupport::TempDir;
using testsupport::WriteText;

TEST(CSerialPort, ClosedPortFailsEverythingAtOnce) {
    CSerialPort port;
    uint8_t b = 0x77;
    char buf[8];
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(port.WriteByte(0xA5));
    EXPECT_FALSE(port.ReadByte(&b));
    EXPECT_EQ(b, 0x77) << "nothing was read, nothing written into the byte";
    EXPECT_EQ(port.Write("i\r\n", 3), -1);
    EXPECT_EQ(port.Read(buf, sizeof buf), -1);
    EXPECT_FALSE(port.WaitByte(&b, 60000));
    EXPECT_FALSE(port.Configure(57600));
    EXPECT_FALSE(port.SetTimeouts());
    port.Drain();
    port.Close();
    EXPECT_EQ(port.BytesWritten(), 0u);
}

TEST(CSerialPort, OpensComNamesFromThePortMapInWideOrNarrowText) {
    plat::PseudoTerminal pty;
    ASSERT_TRUE(pty.Open());
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    WriteText(plat::kPortMapFile, "com4 = " + pty.SlavePath() + "\n");
    CSerialPort port;
    EXPECT_FALSE(port.Open("com2"));
    EXPECT_TRUE(port.Open(u"com4"));
    EXPECT_TRUE(port.Configure(19200));
    EXPECT_EQ(port.LastResult(), 1);
    EXPECT_TRUE(port.SetTimeouts());
    // Opening again closes the old handle first instead of losing it.
    EXPECT_TRUE(port.Open("com4"));
    EXPECT_FALSE(port.Open(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(port.IsOpen());
}

class CSerialPortOverPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.Open());
        ASSERT_TRUE(m_port.Open(m_pty.SlavePath().c_str()));
        ASSERT_TRUE(m_port.Configure(57600));
        ASSERT_TRUE(m_port.SetTimeouts());
    }
    plat::PseudoTerminal m_pty;
    CSerialPort m_port;
};

TEST_F(CSerialPortOverPty, ByteIoCountsAndReadsOnlyWhatCame) {
    EXPECT_TRUE(m_port.WriteByte(0xA5));
    EXPECT_TRUE(m_port.WriteByte(0x00));
    EXPECT_EQ(m_port.BytesWritten(), 2u);
    uint8_t got[2];
    ASSERT_EQ(m_pty.ReadExactly(got, 2, 1000), 2);
    EXPECT_EQ(got[0], 0xA5);
    EXPECT_EQ(got[1], 0x00);

    uint8_t b = 0;
    EXPECT_FALSE(m_port.ReadByte(&b)) << "non-blocking: nothing there, no byte";
    ASSERT_TRUE(m_pty.Write("\x5A", 1));
    ASSERT_TRUE(m_port.WaitByte(&b, 1000));
    EXPECT_EQ(b, 0x5A);
}

TEST_F(CSerialPortOverPty, BlockWriteAndReadForTheTextModule) {
    EXPECT_EQ(m_port.Write("j4\r\n", 4), 4);
    char out[8] = {};
    ASSERT_EQ(m_pty.ReadExactly(out, 4, 1000), 4);
    EXPECT_STREQ(out, "j4\r\n");
    ASSERT_TRUE(m_pty.Write("S013\r\nJ\r\n", 9));
    char in[1024] = {};
    // Read gathers what arrives within its 100 ms.
    EXPECT_EQ(m_port.Read(in, sizeof in), 9);
    EXPECT_STREQ(in, "S013\r\nJ\r\n");
    EXPECT_EQ(m_port.Read(in, sizeof in), 0);
}

TEST_F(CSerialPortOverPty, DrainDropsWhatWaitsAndStopsOnAFlood) {
    ASSERT_TRUE(m_pty.Write("junk", 4));
    uint8_t b;
    ASSERT_TRUE(m_port.WaitByte(&b, 1000));
    m_port.Drain();
    EXPECT_FALSE(m_port.ReadByte(&b));

    // A module stuck talking, without a pause: the drain must still come back.
    std::atomic<bool> stop{false};
    std::thread talker([&] {
        std::string burst(256, 'x');
        while (!stop && m_pty.Write(burst.data(), burst.size())) {
        }
    });
    m_port.Drain();
    stop = true;
    talker.join();
    EXPECT_TRUE(m_port.IsOpen());
}

TEST_F(CSerialPortOverPty, VanishedDeviceLeavesEveryCallFailing) {
    m_pty.Close();
    uint8_t b;
    char buf[16];
    EXPECT_FALSE(m_port.WaitByte(&b, 60000));
    EXPECT_FALSE(m_port.ReadByte(&b));
    EXPECT_FALSE(m_port.WriteByte(0xA5));
    EXPECT_EQ(m_port.Read(buf, sizeof buf), -1);
    EXPECT_EQ(m_port.Write("x", 1), -1);
    m_port.Drain();
}
