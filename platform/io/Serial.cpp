#include "platform/io/Serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/io/PortMap.h"

namespace plat {

uint64_t SerialNowMs() {
    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

void SerialPause(uint32_t ms) {
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

namespace {

bool BaudConstant(uint32_t baud, speed_t& out) {
    static const struct {
        uint32_t baud;
        speed_t constant;
    } kRates[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},    {9600, B9600},
                  {19200, B19200},   {38400, B38400},   {57600, B57600},  {115200, B115200},
                  {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& r : kRates) {
        if (r.baud == baud) {
            out = r.constant;
            return true;
        }
    }
    return false;
}

int Remaining(uint64_t deadline) {
    uint64_t now = SerialNowMs();
    return now >= deadline ? 0 : static_cast<int>(deadline - now);
}

// Waits until `events` are possible on fd (1), the time ran out (0) or the device is gone (-1,
// and hungUp set).
int WaitReady(int fd, short events, int timeoutMs, bool& hungUp) {
    if (fd < 0)
        return -1;
    struct pollfd p = {fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return -1;
    if (r == 0)
        return 0;
    if (p.revents & events)
        return 1;
    hungUp = true;
    return -1;
}

}  // namespace

bool SerialPort::Open(const std::string& name) {
    Close();
    m_error.clear();
    m_hungUp = false;
    m_device = SerialDevicePath(name);
    if (m_device.empty()) {
        m_error = "no device for " + name + " in " + kPortMapFile;
        return false;
    }
    int fd;
    do {
        fd = ::open(m_device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = m_device + ": " + std::strerror(errno);
        return false;
    }
    // One owner per port, as on the original system: the lock keeps our own processes apart,
    // TIOCEXCL keeps other programs out.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        m_error = m_device + ": in use";
        ::close(fd);
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    m_fd = fd;
    return true;
}

void SerialPort::Close() {
    if (m_fd >= 0) {
        ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
        m_fd = -1;
    }
}

bool SerialPort::Configure(uint32_t baud) {
    if (m_fd < 0)
        return false;
    speed_t speed;
    if (!BaudConstant(baud, speed)) {
        m_error = "unsupported baud rate " + std::to_string(baud);
        return false;
    }
    struct termios t;
    if (::tcgetattr(m_fd, &t) != 0) {
        m_error = m_device + ": " + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNBRK);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    // Reads never block in the driver; every wait is ours, with poll.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0 ||
        ::tcsetattr(m_fd, TCSANOW, &t) != 0) {
        m_error = m_device + ": " + std::strerror(errno);
        return false;
    }
    // DTR and RTS control is off on the original lines; a pseudo-terminal has no such lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(m_fd, TIOCMBIC, &lines);
    return true;
}

int SerialPort::WaitReadable(int timeoutMs) {
    return WaitReady(m_fd, POLLIN, timeoutMs, m_hungUp);
}

int SerialPort::WaitWritable(int timeoutMs) {
    return WaitReady(m_fd, POLLOUT, timeoutMs, m_hungUp);
}

long SerialPort::Read(void* buf, size_t size) {
    if (m_fd < 0)
        return -1;
    auto* out = static_cast<uint8_t*>(buf);
    const bool immediate =
        m_timeouts.readIntervalMs == SerialTimeouts::kNoWait && m_timeouts.readTotalMs == 0;
    uint32_t total = m_timeouts.readTotalMs ? m_timeouts.readTotalMs : SerialTimeouts::kMaxWaitMs;
    uint64_t deadline = SerialNowMs() + (immediate ? 0 : total);
    size_t got = 0;
    while (got < size) {
        int wait = Remaining(deadline);
        if (got > 0 && m_timeouts.readIntervalMs != SerialTimeouts::kNoWait)
            wait = std::min(wait, static_cast<int>(m_timeouts.readIntervalMs));
        int ready = WaitReadable(wait);
        if (ready < 0)
            return got > 0 ? static_cast<long>(got) : -1;
        if (ready == 0)
            break;
        ssize_t n;
        do {
            n = ::read(m_fd, out + got, size - got);
        } while (n < 0 && errno == EINTR);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EAGAIN)
            continue;
        // Readable but nothing to read: the other end is gone.
        m_hungUp = true;
        return got > 0 ? static_cast<long>(got) : -1;
    }
    return static_cast<long>(got);
}

long SerialPort::Write(const void* buf, size_t size) {
    if (m_fd < 0)
        return -1;
    auto* in = static_cast<const uint8_t*>(buf);
    uint32_t total = m_timeouts.writeTotalMs ? m_timeouts.writeTotalMs : SerialTimeouts::kMaxWaitMs;
    uint64_t deadline = SerialNowMs() + total;
    size_t put = 0;
    while (put < size) {
        ssize_t n;
        do {
            n = ::write(m_fd, in + put, size - put);
        } while (n < 0 && errno == EINTR);
        if (n > 0) {
            put += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            if (errno == EIO)
                m_hungUp = true;
            return put > 0 ? static_cast<long>(put) : -1;
        }
        int ready = WaitWritable(Remaining(deadline));
        if (ready < 0)
            return put > 0 ? static_cast<long>(put) : -1;
        if (ready == 0)
            break;
    }
    return static_cast<long>(put);
}

bool SerialPort::ReadByteWithin(uint8_t& out, uint32_t timeoutMs) {
    if (m_fd < 0)
        return false;
    uint64_t deadline = SerialNowMs() + timeoutMs;
    for (;;) {
        int ready = WaitReadable(Remaining(deadline));
        if (ready <= 0)
            return false;
        ssize_t n;
        do {
            n = ::read(m_fd, &out, 1);
        } while (n < 0 && errno == EINTR);
        if (n == 1)
            return true;
        if (n == 0 || errno != EAGAIN) {
            m_hungUp = true;
            return false;
        }
    }
}

void SerialPort::Purge() {
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIOFLUSH);
}

}  // namespace plat
