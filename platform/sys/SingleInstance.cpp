#include "platform/sys/SingleInstance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

constexpr char kActivate[] = "ACTIVATE\n";
constexpr char kConfirm[] = "OK\n";

// A folder only this user can use: made when missing, refused when it is someone else's or a
// link (a shared /tmp must not let another user take the name or read the socket).
bool PrivateDir(const std::string& dir) {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 0077) == 0 || ::chmod(dir.c_str(), 0700) == 0;
}

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path)
        return false;
    std::memcpy(addr.sun_path, path.data(), path.size());
    return true;
}

// Waits until fd is readable; false on time-out or error.
bool WaitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        int n = ::poll(&p, 1, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        return n > 0;
    }
}

}  // namespace

std::string SingleInstance::RuntimeDir() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (xdg && *xdg && ::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode))
        return xdg;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    dir += "/velkora-" + std::to_string(::getuid());
    return PrivateDir(dir) ? dir : std::string();
}

SingleInstance::~SingleInstance() {
    StopListening();
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

SingleInstance::Result SingleInstance::Acquire(const std::string& name) {
    if (m_lockFd >= 0)
        return Result::First;
    std::string dir = RuntimeDir();
    if (dir.empty() || name.empty() || name.find('/') != std::string::npos)
        return Result::Error;
    m_lockPath = dir + "/" + name + ".lock";
    m_socketPath = dir + "/" + name + ".sock";
    int fd = ::open(m_lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Result::Error;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            break;
        int err = errno;
        if (err == EINTR)
            continue;
        ::close(fd);
        return err == EWOULDBLOCK ? Result::Running : Result::Error;
    }
    m_lockFd = fd;
    return Result::First;
}

bool SingleInstance::Listen(std::function<void()> onActivate) {
    if (m_lockFd < 0 || m_listenFd >= 0)
        return false;
    sockaddr_un addr;
    if (!MakeAddress(m_socketPath, addr))
        return false;
    int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return false;
    // We hold the lock, so a socket file left here belongs to a copy that is gone.
    ::unlink(m_socketPath.c_str());
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, 4) != 0) {
        ::close(s);
        return false;
    }
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        ::close(s);
        ::unlink(m_socketPath.c_str());
        return false;
    }
    m_listenFd = s;
    m_wakeFd = wake;
    m_onActivate = std::move(onActivate);
    m_thread = std::thread([this] { ListenLoop(); });
    return true;
}

void SingleInstance::ListenLoop() {
    for (;;) {
        pollfd p[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (p[1].revents)
            return;
        if (!(p[0].revents & POLLIN))
            continue;
        int c = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0)
            continue;
        // A caller that never says anything cannot hold the listener for long.
        char buf[32] = {};
        size_t got = 0;
        while (got < sizeof buf - 1 && WaitReadable(c, 500)) {
            ssize_t n = ::read(c, buf + got, sizeof buf - 1 - got);
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
            if (std::memchr(buf, '\n', got))
                break;
        }
        if (got == sizeof kActivate - 1 && std::memcmp(buf, kActivate, got) == 0) {
            if (m_onActivate)
                m_onActivate();
            (void)::send(c, kConfirm, sizeof kConfirm - 1, MSG_NOSIGNAL);
        }
        ::close(c);
    }
}

void SingleInstance::StopListening() {
    if (m_thread.joinable()) {
        uint64_t one = 1;
        (void)::write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(m_socketPath.c_str());
        m_listenFd = -1;
    }
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
}

bool SingleInstance::ActivateRunning(int timeoutMs) {
    sockaddr_un addr;
    if (m_lockFd >= 0 || !MakeAddress(m_socketPath, addr))
        return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto left = [&] {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return ms.count() > 0 ? static_cast<int>(ms.count()) : 0;
    };
    for (;;) {
        int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return false;
        if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
            bool ok = ::send(s, kActivate, sizeof kActivate - 1, MSG_NOSIGNAL) ==
                      static_cast<ssize_t>(sizeof kActivate - 1);
            char buf[8] = {};
            size_t got = 0;
            while (ok && got < sizeof kConfirm - 1 && WaitReadable(s, left())) {
                ssize_t n = ::read(s, buf + got, sizeof buf - 1 - got);
                if (n <= 0)
                    break;
                got += static_cast<size_t>(n);
            }
            ::close(s);
            return ok && got == sizeof kConfirm - 1 && std::memcmp(buf, kConfirm, got) == 0;
        }
        int err = errno;
        ::close(s);
        // The owner may not be listening yet: it takes the name first and opens the socket
        // once it has started its windowing.
        if ((err != ENOENT && err != ECONNREFUSED && err != EAGAIN) || left() == 0)
            return false;
        ::usleep(20 * 1000);
    }
}

}  // namespace plat
