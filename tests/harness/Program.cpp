#include "tests/harness/Program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace harness {

std::string VelkoraPath() {
    return BinFolder() + "/velkora";
}

Program::~Program() {
    if (m_pid > 0 && m_status < 0) {
        ::kill(m_pid, SIGKILL);
        Wait(10000);
    }
}

bool Program::Start(const std::string& path, const std::vector<std::string>& args,
                    const std::string& dir, const std::vector<std::string>& env) {
    static int serial = 0;
    ++serial;
    m_out = dir + "/stdout-" + std::to_string(serial) + ".txt";
    m_err = dir + "/stderr-" + std::to_string(serial) + ".txt";
    m_status = -1;

    // Everything the child needs is made before fork: only exec-safe calls after it.
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        std::string var = *e;
        bool replaced = false;
        for (const std::string& add : env)
            replaced =
                replaced || var.compare(0, add.find('=') + 1, add, 0, add.find('=') + 1) == 0;
        if (!replaced)
            envStrings.push_back(var);
    }
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argStrings{path};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : argStrings)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    int out = ::open(m_out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int err = ::open(m_err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0 || err < 0)
        return false;

    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (::chdir(dir.c_str()) != 0)
            ::_exit(126);
        ::execve(path.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out);
    ::close(err);
    return m_pid > 0;
}

bool Program::Running() {
    return m_pid > 0 && m_status < 0 && !Wait(0);
}

bool Program::Wait(int ms) {
    if (m_pid <= 0)
        return true;
    if (m_status >= 0)
        return true;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int st = 0;
        pid_t r = ::waitpid(m_pid, &st, WNOHANG);
        if (r == m_pid) {
            m_status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            return true;
        }
        if (r < 0 || std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool Program::Signal(int sig) {
    return m_pid > 0 && m_status < 0 && ::kill(m_pid, sig) == 0;
}

long Program::CpuMs() const {
    std::ifstream in("/proc/" + std::to_string(m_pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold blanks: state is field 3, utime 14,
    // stime 15.
    size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14)
            utime = std::atol(f.c_str());
        if (i == 15)
            stime = std::atol(f.c_str());
    }
    return (utime + stime) * 1000 / ::sysconf(_SC_CLK_TCK);
}

std::string Program::Stdout() const {
    return testsupport::Exists(m_out) ? testsupport::ReadText(m_out) : std::string();
}

std::string Program::Stderr() const {
    return testsupport::Exists(m_err) ? testsupport::ReadText(m_err) : std::string();
}

bool WaitForStartUp(const std::string& dir, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (testsupport::ReadFilesStartingWith(dir, "zz-log-").find("OnCreate() Total") ==
           std::string::npos) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace harness
