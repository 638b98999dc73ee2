#include <gtest/gtest.h>
#include <spawn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/ProcessUtil.h"
#include "platform/text/Text.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

using testsupport::TempDir;

extern char** environ;

namespace {

// Polls a condition that another process brings about; false when it never came.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 10000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::u16string U16(const std::string& s) {
    return plat::Utf8ToUtf16(s);
}

// Real programs under the names the head unit uses: copies of sleep(1).
class Programs : public ::testing::Test {
protected:
    void SetUp() override { plat::SetProcessOwnerTag(m_dir.Path()); }
    void TearDown() override {
        for (plat::ProcessId pid : m_started) {
            plat::ProcessHandle h;
            if (plat::ProcessRunning(pid) && h.Open(pid))
                h.Kill(1000);
        }
        for (pid_t pid : m_foreign) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    std::string MakeProgram(const std::string& name) {
        std::string path = m_dir.File(name);
        std::filesystem::copy_file("/bin/sleep", path);
        return path;
    }
    plat::ProcessId Start(const std::string& path) {
        plat::ProcessId pid = StartProgram(U16(path).c_str(), {u"60"}, nullptr);
        EXPECT_GT(pid, 0) << path;
        if (pid > 0)
            m_started.push_back(pid);
        return pid;
    }
    // A program of the same name that the system did not start: the user's, say.
    plat::ProcessId StartForeign(const std::string& path) {
        char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>("60"), nullptr};
        pid_t pid = -1;
        EXPECT_EQ(::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
        if (pid > 0)
            m_foreign.push_back(pid);
        return pid;
    }

    TempDir m_dir;
    std::vector<plat::ProcessId> m_started;
    std::vector<pid_t> m_foreign;
};

}  // namespace

TEST_F(Programs, FoundByIdWithTheirExecutableAsFirstModule) {
    const std::string path = MakeProgram("NaviTool.exe");
    plat::ProcessId pid = Start(path);
    ASSERT_GT(pid, 0);
    bool listed = false;
    CProcessIterator processes;
    for (plat::ProcessId p = processes.First(); p; p = processes.Next())
        listed |= p == pid;
    EXPECT_TRUE(listed);
    EXPECT_GT(processes.Count(), 1u);

    CProcessModuleIterator modules(pid);
    EXPECT_EQ(modules.First(), U16(std::filesystem::canonical(path).string()));
    // Its libraries follow once the loader has mapped them.
    EXPECT_TRUE(WaitFor([&] {
        bool libc = false;
        for (std::u16string m = modules.First(); !m.empty(); m = modules.Next())
            libc |= m.find(u"libc") != std::u16string::npos;
        return libc;
    }));
    EXPECT_EQ(modules.First(), U16(std::filesystem::canonical(path).string()));
}

TEST_F(Programs, KilledByFullPathOrBareNameInAnyCase) {
    const std::string path = MakeProgram("TvPlayer.exe");
    plat::ProcessId first = Start(path);
    plat::ProcessId second = Start(path);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);

    // A Windows-style stored path: only its file name counts.
    EXPECT_TRUE(KillProcessByName(u"C:\\Program Files\\TV\\tvplayer.EXE"));
    EXPECT_NE(plat::ProcessRunning(first), plat::ProcessRunning(second));  // one at a time
    EXPECT_TRUE(KillProcessByName(u"TVPLAYER.exe"));
    EXPECT_FALSE(plat::ProcessRunning(first));
    EXPECT_FALSE(plat::ProcessRunning(second));
    EXPECT_FALSE(KillProcessByName(U16(path).c_str()));
    EXPECT_FALSE(KillProcessByName(u""));
    EXPECT_FALSE(KillProcessByName(u"C:\\Apps\\"));
}

TEST_F(Programs, OnlyProgramsThisSystemStartedAreEnded) {
    const std::string path = MakeProgram("Calibrate.exe");
    plat::ProcessId foreign = StartForeign(path);
    ASSERT_GT(foreign, 0);
    EXPECT_FALSE(KillProcessByName(u"Calibrate.exe"));
    EXPECT_TRUE(plat::ProcessRunning(foreign));

    plat::ProcessId ours = Start(path);
    EXPECT_TRUE(KillProcessByName(u"Calibrate.exe"));
    EXPECT_FALSE(plat::ProcessRunning(ours));
    EXPECT_TRUE(plat::ProcessRunning(foreign));
}

TEST_F(Programs, HelperProgramsAreEndedInOnePass) {
    plat::ProcessId kb = Start(MakeProgram("ScreenKB.exe"));
    plat::ProcessId tray = Start(MakeProgram("MySystemTray.exe"));
    std::filesystem::create_directory(m_dir.File("other"));
    plat::ProcessId kb2 = Start(MakeProgram("other/screenkb.EXE"));
    plat::ProcessId foreign = StartForeign(MakeProgram("mysystemtray.exe"));
    plat::ProcessId unrelated = Start(MakeProgram("Navigator.exe"));
    EXPECT_EQ(KillHelperPrograms(), 3);
    EXPECT_FALSE(plat::ProcessRunning(kb));
    EXPECT_FALSE(plat::ProcessRunning(tray));
    EXPECT_FALSE(plat::ProcessRunning(kb2));
    EXPECT_TRUE(plat::ProcessRunning(foreign));
    EXPECT_TRUE(plat::ProcessRunning(unrelated));
    EXPECT_EQ(KillHelperPrograms(), 0);
}

TEST_F(Programs, StartedWithArgumentsInTheirFolder) {
    std::filesystem::create_directory(m_dir.File("work dir"));
    plat::ProcessId pid =
        StartProgram(u"/bin/sh", {u"-c", u"pwd > where.txt; echo \"$VELKORA_OWNER\" >> where.txt"},
                     U16(m_dir.File("work dir")).c_str());
    ASSERT_GT(pid, 0);
    m_started.push_back(pid);
    ASSERT_TRUE(WaitFor([&] { return !plat::ProcessRunning(pid); }));
    EXPECT_EQ(testsupport::ReadText(m_dir.File("work dir/where.txt")),
              m_dir.File("work dir") + "\n" + m_dir.Path() + "\n");

    EXPECT_EQ(StartProgram(U16(m_dir.File("missing.exe")).c_str(), {}, nullptr), -1);
    EXPECT_EQ(StartProgram(u"/bin/sh", {}, U16(m_dir.File("no such folder")).c_str()), -1);
    EXPECT_EQ(StartProgram(u"", {}, nullptr), -1);
}

TEST_F(Programs, BareNamesAreFoundInTheCurrentFolderFirst) {
    MakeProgram("ScreenKB.exe");
    testsupport::ScopedCwd cwd(m_dir.Path());
    plat::ProcessId pid = StartProgram(u"ScreenKB.exe", {u"60"}, nullptr);
    ASSERT_GT(pid, 0);
    m_started.push_back(pid);
    EXPECT_EQ(plat::ProcessExePath(pid), std::filesystem::canonical(m_dir.File("ScreenKB.exe")));
    // And the search path after it.
    pid = StartProgram(u"sleep", {u"60"}, nullptr);
    ASSERT_GT(pid, 0);
    m_started.push_back(pid);
    EXPECT_EQ(std::filesystem::path(plat::ProcessExePath(pid)).filename(), "sleep");
}

TEST_F(Programs, ProgramsThatEndAreNotLeftBehind) {
    plat::ProcessId pid = StartProgram(u"/bin/true", {}, nullptr);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitFor([&] { return !plat::ProcessRunning(pid); }));
    // Listing reaps it: its id is gone from /proc, not kept as a zombie.
    ASSERT_TRUE(WaitFor([&] {
        std::vector<plat::ProcessId> pids = plat::ListProcesses();
        return std::find(pids.begin(), pids.end(), pid) == pids.end();
    }));
    EXPECT_FALSE(std::filesystem::exists("/proc/" + std::to_string(pid)));
}

namespace {}  // namespace

TEST_F(Programs, WindowsAreFoundByProcessAndPlaced) {
    testsupport::XServer server;
    if (server.Display().empty())
        GTEST_SKIP() << "no Xvfb";
    ::setenv("DISPLAY", server.Display().c_str(), 1);
    ASSERT_TRUE(plat::ExternalWindowsAvailable());

    plat::ProcessId windowless = Start(MakeProgram("Headless.exe"));
    plat::ProcessId pid =
        StartProgram(u"xmessage", {u"-geometry", u"300x120+10+10", u"Navi"}, nullptr);
    ASSERT_GT(pid, 0);
    m_started.push_back(pid);

    plat::ExternalWindow window = 0;
    ASSERT_TRUE(WaitFor([&] { return (window = FindMainWindow(pid)) != 0; }));
    EXPECT_EQ(FindMainWindow(windowless), 0u);
    EXPECT_EQ(FindMainWindow(999999999), 0u);

    CWindowIterator all;
    EXPECT_GE(all.Enumerate(), 1u);
    bool listed = false;
    for (plat::ExternalWindow w = all.First(); w; w = all.Next())
        listed |= w == window;
    EXPECT_TRUE(listed);

    // The rear seat's screen.
    ASSERT_TRUE(plat::MoveExternalWindow(window, 800, 0, 800, 600));
    EXPECT_TRUE(WaitFor([&] { return server.WindowGeometry(window) == "800,0 800x600"; }, 5000))
        << server.WindowGeometry(window);

    ASSERT_TRUE(KillProcessByName(u"xmessage"));
    // A window that has gone is harmless.
    EXPECT_TRUE(WaitFor([&] { return !plat::MoveExternalWindow(window, 0, 0, 800, 480); }));
    EXPECT_EQ(FindMainWindow(pid), 0u);
}

TEST_F(Programs, WithoutAnXServerNothingIsFoundOrPlaced) {
    ::unsetenv("DISPLAY");
    plat::ProcessId pid = Start(MakeProgram("Navi.exe"));
    EXPECT_FALSE(plat::ExternalWindowsAvailable());
    EXPECT_TRUE(plat::ListExternalWindows().empty());
    EXPECT_EQ(FindMainWindow(pid), 0u);
    EXPECT_FALSE(plat::MoveExternalWindow(1234, 0, 0, 800, 480));
    CWindowIterator all;
    EXPECT_EQ(all.Enumerate(), 0u);
    EXPECT_EQ(all.First(), 0u);
}

TEST_F(Programs, AHandleNeverEndsAnotherProcessUnderAReusedId) {
    plat::ProcessId pid = Start(MakeProgram("Short.exe"));
    plat::ProcessHandle handle;
    ASSERT_TRUE(handle.Open(pid));
    EXPECT_TRUE(handle.StartedByUs());
    ASSERT_TRUE(KillProcessByName(u"short.exe"));  // ended and reaped elsewhere
    EXPECT_FALSE(handle.Kill(100));
    EXPECT_FALSE(handle.Open(pid));
}
