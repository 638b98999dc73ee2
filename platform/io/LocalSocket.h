// Local (unix-domain) stream sockets at a path in the file system, for talking to outside
// programs on the same machine, and a waker that ends a wait on one from another thread.
//
// Nothing here raises SIGPIPE: writing to a socket whose other end has gone simply fails.
#pragma once

#include <cstddef>
#include <string>

namespace plat {

// The longest path a local socket can have (the address field less its terminator).
size_t MaxLocalSocketPath();

enum class WaitResult { Ready, Woken, TimedOut, Error };

// Lets one thread end another's wait: Wake() makes Wait* below return Woken until Clear().
class Waker {
public:
    Waker();
    ~Waker();
    Waker(const Waker&) = delete;
    Waker& operator=(const Waker&) = delete;

    bool IsValid() const { return m_fd >= 0; }
    void Wake();
    void Clear();
    // Waits up to timeoutMs (-1: for ever) for a wake-up: Woken or TimedOut.
    WaitResult Wait(int timeoutMs) const;
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};

class LocalSocket {
public:
    LocalSocket() = default;
    // Takes over a connected descriptor.
    explicit LocalSocket(int fd) : m_fd(fd) {}
    ~LocalSocket() { Close(); }
    LocalSocket(LocalSocket&& other) noexcept;
    LocalSocket& operator=(LocalSocket&& other) noexcept;
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;

    // Connects to the socket at `path`, waiting at most timeoutMs for a busy listener. False when
    // nobody listens there, the path is empty or too long, or the time runs out.
    bool Connect(const std::string& path, int timeoutMs);
    bool IsOpen() const { return m_fd >= 0; }

    // Sends all `size` bytes within timeoutMs; false when the other end is gone, an error
    // happens or the time runs out (some bytes may have gone out by then).
    bool SendAll(const void* data, size_t size, int timeoutMs);

    // Waits up to timeoutMs (-1: for ever) until there is something to read, the other end has
    // gone (both count as Ready: Receive tells which) or `waker` is woken.
    WaitResult WaitReadable(int timeoutMs, const Waker* waker = nullptr) const;
    // Reads what is there without waiting: the number of bytes (> 0), 0 when nothing is there
    // yet, -1 when the other end has closed or the socket failed.
    long Receive(void* buf, size_t size);

    // Ends the connection in both directions without closing the descriptor: the other end
    // sees its end, and a wait on this socket on another thread returns.
    void Shutdown();
    void Close();

private:
    int m_fd = -1;
};

// The listening end, for programs that offer a socket (and for tests that play one).
class LocalListener {
public:
    LocalListener() = default;
    ~LocalListener() { Close(); }
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    // Listens at `path`. A socket file left there by a listener that has gone is replaced; any
    // other file at that path is left alone and the call fails.
    bool Listen(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }
    // Waits up to timeoutMs (-1: for ever) for a connection; a closed socket when none came.
    LocalSocket Accept(int timeoutMs);
    // Stops listening and removes the socket file.
    void Close();

private:
    int m_fd = -1;
    std::string m_path;
};

}  // namespace plat
