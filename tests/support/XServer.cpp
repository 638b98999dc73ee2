#include "tests/support/XServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

extern char** environ;

namespace testsupport {

XServer::XServer(const std::string& screen) {
    // Close-on-exec for both ends, so that programs other threads start meanwhile hold neither;
    // the spawn hands Xvfb the write end alone (a dup onto itself clears the flag).
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    const std::string fd = std::to_string(fds[1]);
    // -displayfd: Xvfb picks a free display and writes its number there once it accepts
    // clients. -noreset: it must not restart each time its last client leaves.
    const char* argv[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",  "0",
                          screen.c_str(), "-nolisten",  "tcp",      "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], fds[1]);
    if (::posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);

    // The number ends with a newline; a server that dies closes the pipe instead.
    std::string number;
    bool complete = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (m_pid > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        char c;
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
            ::read(fds[0], &c, 1) != 1)
            break;
        if (c == '\n') {
            complete = true;
            break;
        }
        number += c;
    }
    ::close(fds[0]);
    if (complete && !number.empty())
        m_display = ":" + number;
}

XServer::~XServer() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
}

std::string XServer::WindowGeometry(uint32_t window) const {
    if (m_display.empty())
        return std::string();
    const std::string cmd =
        "xwininfo -display " + m_display + " -id " + std::to_string(window) + " 2>/dev/null";
    FILE* f = ::popen(cmd.c_str(), "r");
    if (!f)
        return std::string();
    int x = -1, y = -1, width = -1, height = -1;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        std::sscanf(line, " Absolute upper-left X: %d", &x);
        std::sscanf(line, " Absolute upper-left Y: %d", &y);
        std::sscanf(line, " Width: %d", &width);
        std::sscanf(line, " Height: %d", &height);
    }
    ::pclose(f);
    return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" +
           std::to_string(height);
}

}  // namespace testsupport
