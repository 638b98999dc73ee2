#include "tests/support/PulseServer.h"

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

extern char** environ;

namespace testsupport {

namespace {

bool CanConnect(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

PulseServer::PulseServer() {
    const char* exe = "/usr/bin/pulseaudio";
    if (::access(exe, X_OK) != 0) {
        m_error = "pulseaudio is not installed (scripts/setup installs it)";
        return;
    }
    std::string socket = m_dir.File("native");
    std::string home = m_dir.File("home");
    std::string runtime = m_dir.File("runtime");
    ::mkdir(home.c_str(), 0700);
    ::mkdir(runtime.c_str(), 0700);
    WriteText(m_dir.File("client.conf"), "autospawn = no\n");

    // The server gets a home and runtime folder of its own; this process only learns where
    // to connect.
    std::vector<std::string> env = {"HOME=" + home, "XDG_RUNTIME_DIR=" + runtime,
                                    "XDG_CONFIG_HOME=" + home, "PULSE_STATE_PATH=" + home,
                                    "PULSE_RUNTIME_PATH=" + runtime};
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "PATH=", 5) == 0 || std::strncmp(*e, "LD_", 3) == 0)
            env.push_back(*e);
    }
    std::vector<std::string> args = {
        exe,
        "-n",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--use-pid-file=no",
        "--disable-shm=yes",
        "--log-target=file:" + m_dir.File("server.log"),
        // The sink first: once the socket answers, the sink is there.
        "-L",
        std::string("module-null-sink sink_name=") + Sink(),
        "-L",
        "module-native-protocol-unix auth-anonymous=1 socket=" + socket,
    };
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    if (::posix_spawn(&m_pid, exe, nullptr, nullptr, argv.data(), envp.data()) != 0) {
        m_pid = -1;
        m_error = "posix_spawn failed";
        return;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (!CanConnect(socket)) {
        int status;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            m_error = "pulseaudio ended: " + ReadText(m_dir.File("server.log"));
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            m_error = "pulseaudio did not answer: " + ReadText(m_dir.File("server.log"));
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    ::setenv("PULSE_CLIENTCONFIG", m_dir.File("client.conf").c_str(), 1);
    m_running = true;
}

PulseServer::~PulseServer() {
    ::unsetenv("PULSE_SERVER");
    ::unsetenv("PULSE_CLIENTCONFIG");
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        int status;
        ::waitpid(m_pid, &status, 0);
    }
}

std::string PulseServer::Pactl(const std::string& args) const {
    std::string cmd = "pactl " + args + " 2>&1";
    std::string out;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

}  // namespace testsupport
