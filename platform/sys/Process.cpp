#include "platform/sys/Process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/io/File.h"
#include "platform/io/Path.h"

extern char** environ;

namespace plat {

namespace {

const char kOwnerVar[] = "VELKORA_OWNER=";

std::mutex g_mutex;
std::string g_ownerTag;
bool g_ownerTagSet = false;
std::vector<ProcessId> g_children;  // started here and not reaped yet

std::string ProcPath(ProcessId pid, const char* leaf) {
    return "/proc/" + std::to_string(pid) + "/" + leaf;
}

// Reaps the children started here that have ended, so that they do not linger as zombies.
void ReapChildrenLocked() {
    auto ended = [](ProcessId pid) {
        int status;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        return r == pid || (r < 0 && errno == ECHILD);
    };
    g_children.erase(std::remove_if(g_children.begin(), g_children.end(), ended), g_children.end());
}

void ReapChildren() {
    std::lock_guard<std::mutex> lock(g_mutex);
    ReapChildrenLocked();
}

std::string OwnerTagLocked() {
    if (!g_ownerTagSet) {
        g_ownerTag = CurrentDirectory();
        g_ownerTagSet = true;
    }
    return g_ownerTag;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// Like a shell would find a bare program name, but the current folder first: that is where
// the head unit keeps its companion programs.
std::string FindProgram(const std::string& path) {
    if (path.find('/') != std::string::npos)
        return path;
    if (IsExecutableFile(path))
        return "./" + path;
    const char* env = std::getenv("PATH");
    std::string dirs = env ? env : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        std::string candidate = JoinPath(dir.empty() ? "." : dir, path);
        if (IsExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return path;
}

int PidfdOpen(ProcessId pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace

std::vector<ProcessId> ListProcesses() {
    ReapChildren();
    std::vector<ProcessId> pids;
    DIR* dir = ::opendir("/proc");
    if (!dir)
        return pids;
    while (dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (!*name || std::strspn(name, "0123456789") != std::strlen(name))
            continue;
        long v = std::strtol(name, nullptr, 10);
        if (v > 0 && v <= INT_MAX)
            pids.push_back(static_cast<ProcessId>(v));
    }
    ::closedir(dir);
    std::sort(pids.begin(), pids.end());
    return pids;
}

std::string ProcessExePath(ProcessId pid) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink(ProcPath(pid, "exe").c_str(), buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    std::string path(buf, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() &&
        path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.resize(path.size() - deleted.size());
    return path;
}

std::vector<std::string> ProcessModules(ProcessId pid) {
    std::vector<std::string> modules;
    std::string exe = ProcessExePath(pid);
    if (exe.empty())
        return modules;
    modules.push_back(exe);
    std::string maps;
    if (!ReadFileToEnd(ProcPath(pid, "maps"), maps, 64u << 20))
        return modules;
    size_t pos = 0;
    while (pos < maps.size()) {
        size_t end = maps.find('\n', pos);
        if (end == std::string::npos)
            end = maps.size();
        std::string line = maps.substr(pos, end - pos);
        pos = end + 1;
        // "start-end perms offset dev inode   path": only executable mappings of files.
        size_t slash = line.find('/');
        size_t perms = line.find(' ');
        if (slash == std::string::npos || perms == std::string::npos || perms + 3 >= line.size() ||
            line[perms + 3] != 'x')
            continue;
        std::string file = line.substr(slash);
        if (std::find(modules.begin(), modules.end(), file) == modules.end())
            modules.push_back(file);
    }
    return modules;
}

bool ProcessRunning(ProcessId pid) {
    if (pid <= 0)
        return false;
    std::string stat;
    if (!ReadFileToEnd(ProcPath(pid, "stat"), stat))
        return false;
    // "pid (comm) S ...": the name may hold anything, so look after its last ')'.
    size_t close = stat.rfind(')');
    if (close == std::string::npos || close + 2 >= stat.size())
        return false;
    char state = stat[close + 2];
    return state != 'Z' && state != 'X' && state != 'x';
}

void SetProcessOwnerTag(const std::string& tag) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_ownerTag = tag;
    g_ownerTagSet = true;
}

std::string ProcessOwnerTag() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return OwnerTagLocked();
}

ProcessId StartProcess(const std::string& path, const std::vector<std::string>& args,
                       const std::string& workDir) {
    if (path.empty())
        return -1;
    const std::string program = FindProgram(path);

    std::vector<std::string> argStore;
    argStore.push_back(path);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore;
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, kOwnerVar, sizeof kOwnerVar - 1) != 0)
            envStore.emplace_back(*e);
    }
    envStore.push_back(kOwnerVar + ProcessOwnerTag());
    std::vector<char*> envp;
    for (std::string& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attr);
    if (!workDir.empty())
        ::posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    sigset_t none, all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    ::posix_spawnattr_setsigmask(&attr, &none);
    ::posix_spawnattr_setsigdefault(&attr, &all);
    ::posix_spawnattr_setflags(&attr,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    std::lock_guard<std::mutex> lock(g_mutex);
    ReapChildrenLocked();
    int err = ::posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), envp.data());
    ::posix_spawnattr_destroy(&attr);
    ::posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        return -1;
    g_children.push_back(pid);
    return pid;
}

ProcessHandle::~ProcessHandle() {
    Close();
}

void ProcessHandle::Close() {
    if (m_pidfd >= 0)
        ::close(m_pidfd);
    m_pidfd = -1;
    m_pid = -1;
}

bool ProcessHandle::Open(ProcessId pid) {
    Close();
    if (pid <= 0)
        return false;
    int fd = PidfdOpen(pid);
    if (fd < 0) {
        // Kernels without pidfds: fall back to the bare id.
        if (errno != ENOSYS || !ProcessRunning(pid))
            return false;
    }
    m_pid = pid;
    m_pidfd = fd;
    return true;
}

bool ProcessHandle::StartedByUs() const {
    if (m_pid <= 0)
        return false;
    {
        // A child not yet reaped keeps its id, and right after the start its environment may
        // not be readable yet (the new program is still being set up).
        std::lock_guard<std::mutex> lock(g_mutex);
        if (std::find(g_children.begin(), g_children.end(), m_pid) != g_children.end())
            return true;
    }
    std::string env;
    if (!ReadFileToEnd(ProcPath(m_pid, "environ"), env, 4u << 20))
        return false;
    const std::string wanted = kOwnerVar + ProcessOwnerTag();
    size_t pos = 0;
    while (pos < env.size()) {
        size_t end = env.find('\0', pos);
        if (end == std::string::npos)
            end = env.size();
        if (env.compare(pos, end - pos, wanted) == 0)
            return true;
        pos = end + 1;
    }
    return false;
}

bool ProcessHandle::Kill(int timeoutMs) {
    if (m_pid <= 0)
        return false;
    bool signalled;
    if (m_pidfd >= 0) {
#ifdef SYS_pidfd_send_signal
        signalled = ::syscall(SYS_pidfd_send_signal, m_pidfd, SIGKILL, nullptr, 0) == 0;
#else
        signalled = ::kill(m_pid, SIGKILL) == 0;
#endif
        if (signalled) {
            pollfd p{m_pidfd, POLLIN, 0};
            int r;
            do {
                r = ::poll(&p, 1, timeoutMs);
            } while (r < 0 && errno == EINTR);
        }
    } else {
        signalled = ::kill(m_pid, SIGKILL) == 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (signalled && ProcessRunning(m_pid) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ReapChildren();
    return signalled;
}

}  // namespace plat
