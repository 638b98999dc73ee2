#include "platform/io/LocalSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

namespace plat {

namespace {

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    if (path.empty() || path.size() > MaxLocalSocketPath() || path.find('\0') != std::string::npos)
        return false;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.data(), path.size());
    return true;
}

int PollRetry(pollfd* fds, nfds_t n, int timeoutMs) {
    // Keep the overall limit when a signal cuts the wait short.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int r = ::poll(fds, n, timeoutMs);
        if (r >= 0 || errno != EINTR)
            return r;
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                until - std::chrono::steady_clock::now());
            timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

size_t MaxLocalSocketPath() {
    return sizeof(sockaddr_un::sun_path) - 1;
}

// ---- Waker ---------------------------------------------------------------------------------

Waker::Waker() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Waker::~Waker() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void Waker::Wake() {
    uint64_t one = 1;
    if (m_fd >= 0) {
        ssize_t n = ::write(m_fd, &one, sizeof one);
        (void)n;  // a full counter is still a wake-up
    }
}

void Waker::Clear() {
    uint64_t value;
    if (m_fd >= 0) {
        ssize_t n = ::read(m_fd, &value, sizeof value);
        (void)n;  // nothing to clear is fine
    }
}

WaitResult Waker::Wait(int timeoutMs) const {
    if (m_fd < 0)
        return WaitResult::Error;
    pollfd p = {m_fd, POLLIN, 0};
    int r = PollRetry(&p, 1, timeoutMs);
    if (r < 0)
        return WaitResult::Error;
    return r > 0 ? WaitResult::Woken : WaitResult::TimedOut;
}

// ---- LocalSocket ---------------------------------------------------------------------------

LocalSocket::LocalSocket(LocalSocket&& other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

LocalSocket& LocalSocket::operator=(LocalSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

bool LocalSocket::Connect(const std::string& path, int timeoutMs) {
    Close();
    sockaddr_un addr;
    if (!MakeAddress(path, addr))
        return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    int r;
    do {
        r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    } while (r < 0 && errno == EINTR);
    if (r < 0 && errno == EAGAIN) {
        // The listener's queue is full: a local connect cannot wait, so try again until the
        // time runs out.
        const int64_t until = NowMs() + timeoutMs;
        while (r < 0 && errno == EAGAIN && NowMs() < until) {
            pollfd p = {fd, POLLOUT, 0};
            PollRetry(&p, 1, 10);
            r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        }
    } else if (r < 0 && errno == EINPROGRESS) {
        pollfd p = {fd, POLLOUT, 0};
        int error = 0;
        socklen_t len = sizeof error;
        if (PollRetry(&p, 1, timeoutMs) == 1 &&
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0)
            r = 0;
    }
    if (r < 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool LocalSocket::SendAll(const void* data, size_t size, int timeoutMs) {
    if (m_fd < 0)
        return false;
    const auto* p = static_cast<const uint8_t*>(data);
    const int64_t until = NowMs() + timeoutMs;
    while (size > 0) {
        ssize_t n = ::send(m_fd, p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        int64_t left = until - NowMs();
        if (left <= 0)
            return false;
        pollfd pf = {m_fd, POLLOUT, 0};
        int r = PollRetry(&pf, 1, static_cast<int>(left));
        if (r < 0 || (pf.revents & (POLLERR | POLLHUP | POLLNVAL)))
            return false;
    }
    return true;
}

WaitResult LocalSocket::WaitReadable(int timeoutMs, const Waker* waker) const {
    if (m_fd < 0)
        return WaitResult::Error;
    pollfd fds[2] = {{m_fd, POLLIN, 0}, {waker ? waker->Fd() : -1, POLLIN, 0}};
    int r = PollRetry(fds, waker && waker->IsValid() ? 2 : 1, timeoutMs);
    if (r < 0)
        return WaitResult::Error;
    if (fds[1].revents & POLLIN)
        return WaitResult::Woken;
    if (fds[0].revents & POLLNVAL)
        return WaitResult::Error;
    if (fds[0].revents)
        return WaitResult::Ready;
    return WaitResult::TimedOut;
}

long LocalSocket::Receive(void* buf, size_t size) {
    if (m_fd < 0)
        return -1;
    if (size == 0)
        return 0;
    for (;;) {
        ssize_t n = ::recv(m_fd, buf, size, MSG_DONTWAIT);
        if (n > 0)
            return static_cast<long>(n);
        if (n == 0)
            return -1;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

void LocalSocket::Shutdown() {
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

void LocalSocket::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

// ---- LocalListener -------------------------------------------------------------------------

bool LocalListener::Listen(const std::string& path) {
    Close();
    sockaddr_un addr;
    if (!MakeAddress(path, addr))
        return false;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return false;
        // Someone still answering there keeps the place.
        LocalSocket probe;
        if (probe.Connect(path, 100))
            return false;
        ::unlink(path.c_str());
    }
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_path = path;
    return true;
}

LocalSocket LocalListener::Accept(int timeoutMs) {
    if (m_fd < 0)
        return LocalSocket();
    pollfd p = {m_fd, POLLIN, 0};
    if (PollRetry(&p, 1, timeoutMs) != 1)
        return LocalSocket();
    int fd;
    do {
        fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd >= 0 ? LocalSocket(fd) : LocalSocket();
}

void LocalListener::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
        ::unlink(m_path.c_str());
    }
    m_path.clear();
}

}  // namespace plat
