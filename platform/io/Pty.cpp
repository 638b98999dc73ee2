#include "platform/io/Pty.h"

#include "platform/sys/Clock.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace plat {

bool PseudoTerminal::Open() {
    Close();
    int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m < 0)
        return false;
    char name[128];
    if (::grantpt(m) != 0 || ::unlockpt(m) != 0 || ::ptsname_r(m, name, sizeof name) != 0) {
        ::close(m);
        return false;
    }
    int s = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s < 0) {
        ::close(m);
        return false;
    }
    // Raw from the start: no echo, no line editing, no CR/LF translation on either side.
    struct termios t;
    if (::tcgetattr(s, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(s, TCSANOW, &t);
    }
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    m_master = m;
    m_slave = s;
    m_slavePath = name;
    return true;
}

void PseudoTerminal::Close() {
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

long PseudoTerminal::Read(void* buf, size_t size, int timeoutMs) {
    if (m_master < 0)
        return -1;
    struct pollfd p = {m_master, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r <= 0)
        return r < 0 ? -1 : 0;
    ssize_t n;
    do {
        n = ::read(m_master, buf, size);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return errno == EAGAIN ? 0 : -1;
    return static_cast<long>(n);
}

long PseudoTerminal::ReadExactly(void* buf, size_t size, int timeoutMs) {
    auto* p = static_cast<uint8_t*>(buf);
    size_t got = 0;
    const uint64_t start = SystemClock().TickMs();
    while (got < size) {
        int64_t left = timeoutMs - static_cast<int64_t>(SystemClock().TickMs() - start);
        if (left <= 0)
            break;
        long n = Read(p + got, size - got, static_cast<int>(left));
        if (n < 0)
            return got ? static_cast<long>(got) : -1;
        got += static_cast<size_t>(n);
    }
    return static_cast<long>(got);
}

bool PseudoTerminal::Write(const void* buf, size_t size) {
    if (m_master < 0)
        return false;
    auto* p = static_cast<const uint8_t*>(buf);
    while (size > 0) {
        ssize_t n = ::write(m_master, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            struct pollfd w = {m_master, POLLOUT, 0};
            if (::poll(&w, 1, 1000) <= 0)
                return false;
            continue;
        }
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace plat
