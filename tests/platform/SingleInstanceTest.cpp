#include "platform/sys/SingleInstance.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/support/TestSupport.h"

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_RUNTIME_DIR", m_dir.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_RUNTIME_DIR"); }
    testsupport::TempDir m_dir;
};

}  // namespace

TEST_F(SingleInstanceTest, TheSecondCopyAsksTheFirstToComeForward) {
    plat::SingleInstance first;
    ASSERT_EQ(first.Acquire("VELKORA2"), plat::SingleInstance::Result::First);
    std::atomic<int> asked{0};
    ASSERT_TRUE(first.Listen([&] { ++asked; }));

    plat::SingleInstance second;
    EXPECT_EQ(second.Acquire("VELKORA2"), plat::SingleInstance::Result::Running);
    EXPECT_FALSE(second.IsOwner());
    EXPECT_TRUE(second.ActivateRunning());
    EXPECT_EQ(asked.load(), 1);
    EXPECT_TRUE(second.ActivateRunning());
    EXPECT_EQ(asked.load(), 2);

    // Another name is another program.
    plat::SingleInstance other;
    EXPECT_EQ(other.Acquire("OTHER"), plat::SingleInstance::Result::First);
}

TEST_F(SingleInstanceTest, TheNameIsFreeOnceTheFirstHasGoneHoweverItEnded) {
    // A copy killed outright leaves its lock file and socket behind.
    pid_t child = ::fork();
    if (child == 0) {
        plat::SingleInstance s;
        if (s.Acquire("VELKORA2") != plat::SingleInstance::Result::First || !s.Listen([] {}))
            ::_exit(1);
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(testsupport::Exists(m_dir.File("VELKORA2.sock")));

    plat::SingleInstance next;
    ASSERT_EQ(next.Acquire("VELKORA2"), plat::SingleInstance::Result::First);
    std::atomic<int> asked{0};
    ASSERT_TRUE(next.Listen([&] { ++asked; }));
    plat::SingleInstance later;
    ASSERT_EQ(later.Acquire("VELKORA2"), plat::SingleInstance::Result::Running);
    EXPECT_TRUE(later.ActivateRunning());
    EXPECT_EQ(asked.load(), 1);
}

TEST_F(SingleInstanceTest, ACopyStillStartingIsWaitedForAndOneThatNeverListensIsGivenUp) {
    plat::SingleInstance first;
    ASSERT_EQ(first.Acquire("VELKORA2"), plat::SingleInstance::Result::First);
    std::atomic<int> asked{0};
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        first.Listen([&] { ++asked; });
    });
    plat::SingleInstance second;
    ASSERT_EQ(second.Acquire("VELKORA2"), plat::SingleInstance::Result::Running);
    EXPECT_TRUE(second.ActivateRunning(5000));
    late.join();
    EXPECT_EQ(asked.load(), 1);
    first.StopListening();

    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(second.ActivateRunning(300));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
}

TEST_F(SingleInstanceTest, ACallerThatSaysNothingDoesNotStopTheListener) {
    plat::SingleInstance first;
    ASSERT_EQ(first.Acquire("VELKORA2"), plat::SingleInstance::Result::First);
    std::atomic<int> asked{0};
    ASSERT_TRUE(first.Listen([&] { ++asked; }));
    // Connect and stay silent.
    int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = m_dir.File("VELKORA2.sock");
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    plat::SingleInstance second;
    ASSERT_EQ(second.Acquire("VELKORA2"), plat::SingleInstance::Result::Running);
    EXPECT_TRUE(second.ActivateRunning(3000));
    EXPECT_EQ(asked.load(), 1);
    ::close(s);
}

TEST(SingleInstanceDir, ASharedFolderOfAnotherUserIsNotUsed) {
    testsupport::TempDir dir;
    ::unsetenv("XDG_RUNTIME_DIR");
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    std::string own = dir.File("velkora-" + std::to_string(::getuid()));
    EXPECT_EQ(plat::SingleInstance::RuntimeDir(), own);
    struct stat st;
    ASSERT_EQ(::stat(own.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // A link planted in its place is refused.
    ASSERT_EQ(::rmdir(own.c_str()), 0);
    ASSERT_EQ(::symlink(dir.Path().c_str(), own.c_str()), 0);
    EXPECT_EQ(plat::SingleInstance::RuntimeDir(), "");
    plat::SingleInstance s;
    EXPECT_EQ(s.Acquire("VELKORA2"), plat::SingleInstance::Result::Error);
    ::unsetenv("TMPDIR");
}
