// The leak checker of the sanitizer build: what system libraries keep until the end is not
// reported, a leak of ours still is. The checker reports when a process ends, so each case does
// its work in a child process.
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Font.h"
#include "platform/media/GstSupport.h"
#include "tests/support/TestSupport.h"

namespace {

// Starts GStreamer and draws text, which leaves GLib's and fontconfig's blocks behind.
bool UseTheSystemLibraries() {
    plat::Font font;
    plat::Surface surface;
    if (!plat::EnsureGstreamer() || !plat::Font::CreateWidgetFont(16, font) ||
        !surface.Create(200, 50))
        return false;
    auto canvas = plat::MakeCanvas(surface);
    canvas->SetFont(font);
    canvas->DrawText(u"Leaks", plat::Rect{0, 0, 200, 50}, plat::kTextSingleLine);
    return true;
}

// Several blocks, so that a stale copy of one pointer left in a register cannot hide them all.
__attribute__((noinline)) void LeakBlocksOfOurOwn() {
    [[maybe_unused]] static void* volatile s_last;
    for (int i = 0; i < 8; ++i)
        s_last = new char[100 + i];
    s_last = nullptr;
}

bool LeakCheckingIsOff() {
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS"}) {
        const char* value = std::getenv(name);
        if (value && std::string(value).find("detect_leaks=0") != std::string::npos)
            return true;
    }
    return false;
}

struct ChildRun {
    int exitCode = -1;
    std::string report;  // what the child wrote to stderr
};

// Runs `work` in a child that ends through exit(), where the checker looks for leaks.
ChildRun RunInChild(bool (*work)(), bool leak) {
    testsupport::TempDir dir;
    const std::string log = dir.File("stderr.txt");
    std::fflush(nullptr);
    ChildRun run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::dup2(fd, 2) < 0)
            ::_exit(100);
        if (!work())
            ::_exit(101);
        if (leak)
            LeakBlocksOfOurOwn();
        std::exit(0);
    }
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.report = testsupport::ReadText(log);
    return run;
}

}  // namespace

TEST(LeakCheck, WhatSystemLibrariesKeepIsNotReportedButOurLeaksAre) {
    if (LeakCheckingIsOff())
        GTEST_SKIP() << "leak checking is switched off";
    const ChildRun clean = RunInChild(UseTheSystemLibraries, false);
    EXPECT_EQ(clean.exitCode, 0) << clean.report;
    EXPECT_EQ(clean.report.find("LeakSanitizer"), std::string::npos) << clean.report;

    const ChildRun leaky = RunInChild(UseTheSystemLibraries, true);
    EXPECT_NE(leaky.exitCode, 0) << leaky.report;
    EXPECT_NE(leaky.report.find("detected memory leaks"), std::string::npos) << leaky.report;
    EXPECT_NE(leaky.report.find("LeakBlocksOfOurOwn"), std::string::npos) << leaky.report;
    // Only ours: the system libraries' blocks stay out of the report.
    EXPECT_EQ(leaky.report.find("libfontconfig"), std::string::npos) << leaky.report;
}

#endif
