// Local sockets between two ends in this process: connecting, both directions, the other end
// going away, listeners replacing what a dead listener left, and the waker.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/io/LocalSocket.h"
#include "tests/support/TestSupport.h"

using plat::LocalListener;
using plat::LocalSocket;
using plat::WaitResult;
using plat::Waker;
using testsupport::TempDir;

namespace {

// Gathers `size` bytes, which may come in pieces.
std::string ReceiveExactly(LocalSocket& s, size_t size, int timeoutMs = 5000) {
    std::string out;
    char buf[256];
    while (out.size() < size) {
        if (s.WaitReadable(timeoutMs) != WaitResult::Ready)
            break;
        long n = s.Receive(buf, std::min(sizeof buf, size - out.size()));
        if (n < 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

}  // namespace

TEST(LocalSocket, BytesTravelBothWays) {
    TempDir dir;
    LocalListener listener;
    ASSERT_TRUE(listener.Listen(dir.File("s.sock")));
    EXPECT_TRUE(testsupport::Exists(dir.File("s.sock")));

    LocalSocket client;
    ASSERT_TRUE(client.Connect(dir.File("s.sock"), 1000));
    LocalSocket server = listener.Accept(5000);
    ASSERT_TRUE(server.IsOpen());

    EXPECT_EQ(client.WaitReadable(0), WaitResult::TimedOut);
    char none[4];
    EXPECT_EQ(client.Receive(none, sizeof none), 0);

    const std::string hello("hello\0world\n", 12);
    ASSERT_TRUE(client.SendAll(hello.data(), hello.size(), 1000));
    EXPECT_EQ(ReceiveExactly(server, hello.size()), hello);
    ASSERT_TRUE(server.SendAll("back", 4, 1000));
    EXPECT_EQ(ReceiveExactly(client, 4), "back");

    listener.Close();
    EXPECT_FALSE(testsupport::Exists(dir.File("s.sock")));
}

TEST(LocalSocket, ConnectFailsWhereNobodyListens) {
    TempDir dir;
    LocalSocket s;
    EXPECT_FALSE(s.Connect(dir.File("missing.sock"), 100));
    EXPECT_FALSE(s.Connect("", 100));
    EXPECT_FALSE(s.Connect(dir.Path() + "/" + std::string(plat::MaxLocalSocketPath(), 'x'), 100));
    // A plain file is no socket.
    testsupport::WriteText(dir.File("plain"), "x");
    EXPECT_FALSE(s.Connect(dir.File("plain"), 100));
    EXPECT_FALSE(s.IsOpen());
    EXPECT_FALSE(s.SendAll("x", 1, 10));
    EXPECT_EQ(s.WaitReadable(0), WaitResult::Error);
}

TEST(LocalSocket, OtherEndGoneEndsReadsAndFailsSendsWithoutASignal) {
    TempDir dir;
    LocalListener listener;
    ASSERT_TRUE(listener.Listen(dir.File("s.sock")));
    LocalSocket client;
    ASSERT_TRUE(client.Connect(dir.File("s.sock"), 1000));
    LocalSocket server = listener.Accept(5000);
    ASSERT_TRUE(server.IsOpen());

    ASSERT_TRUE(server.SendAll("last\n", 5, 1000));
    server.Close();
    // What was sent before the end is still read, then the end shows.
    EXPECT_EQ(ReceiveExactly(client, 5), "last\n");
    EXPECT_EQ(client.WaitReadable(5000), WaitResult::Ready);
    char buf[8];
    EXPECT_EQ(client.Receive(buf, sizeof buf), -1);
    // No SIGPIPE: the test process would die here otherwise.
    EXPECT_FALSE(client.SendAll("x", 1, 100));
}

TEST(LocalSocket, ShutdownEndsAWaitOnAnotherThread) {
    TempDir dir;
    LocalListener listener;
    ASSERT_TRUE(listener.Listen(dir.File("s.sock")));
    LocalSocket client;
    ASSERT_TRUE(client.Connect(dir.File("s.sock"), 1000));
    LocalSocket server = listener.Accept(5000);

    WaitResult seen = WaitResult::Error;
    long received = 0;
    std::thread reader([&] {
        seen = client.WaitReadable(-1);
        char buf[4];
        received = client.Receive(buf, sizeof buf);
    });
    client.Shutdown();
    reader.join();
    EXPECT_EQ(seen, WaitResult::Ready);
    EXPECT_EQ(received, -1);
    // The other end sees the end too.
    EXPECT_EQ(server.WaitReadable(5000), WaitResult::Ready);
    char buf[4];
    EXPECT_EQ(server.Receive(buf, sizeof buf), -1);
}

TEST(LocalSocket, WakerEndsWaitsUntilCleared) {
    TempDir dir;
    LocalListener listener;
    ASSERT_TRUE(listener.Listen(dir.File("s.sock")));
    LocalSocket client;
    ASSERT_TRUE(client.Connect(dir.File("s.sock"), 1000));
    Waker waker;
    ASSERT_TRUE(waker.IsValid());
    EXPECT_EQ(waker.Wait(0), WaitResult::TimedOut);

    WaitResult seen = WaitResult::Error;
    std::thread waiter([&] { seen = client.WaitReadable(-1, &waker); });
    waker.Wake();
    waiter.join();
    EXPECT_EQ(seen, WaitResult::Woken);
    EXPECT_EQ(waker.Wait(0), WaitResult::Woken);
    waker.Clear();
    EXPECT_EQ(waker.Wait(0), WaitResult::TimedOut);
    EXPECT_EQ(client.WaitReadable(0, &waker), WaitResult::TimedOut);
}

TEST(LocalListener, ReplacesADeadListenersSocketButNothingElse) {
    TempDir dir;
    const std::string path = dir.File("s.sock");
    const std::string leftOver = dir.File("left.sock");
    {
        LocalListener first;
        ASSERT_TRUE(first.Listen(path));
        // A live listener keeps its place.
        LocalListener second;
        EXPECT_FALSE(second.Listen(path));
        // A second name for the socket file outlives the listener, as the file of a killed
        // program does.
        std::filesystem::create_hard_link(path, leftOver);
    }
    ASSERT_TRUE(testsupport::Exists(leftOver));
    LocalSocket nobody;
    EXPECT_FALSE(nobody.Connect(leftOver, 100));

    LocalListener again;
    ASSERT_TRUE(again.Listen(leftOver));
    LocalSocket client;
    EXPECT_TRUE(client.Connect(leftOver, 1000));
    EXPECT_TRUE(again.Accept(5000).IsOpen());

    // Nothing but a socket is ever removed.
    testsupport::WriteText(dir.File("notes.txt"), "keep me");
    LocalListener onFile;
    EXPECT_FALSE(onFile.Listen(dir.File("notes.txt")));
    EXPECT_EQ(testsupport::ReadText(dir.File("notes.txt")), "keep me");
}
