#include "devices/SerialEmulator.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "platform/io/PortMap.h"

namespace emu {

namespace {

constexpr int kPollMs = 10;

}  // namespace

SerialEmulator::SerialEmulator(size_t readChunk) : m_readChunk(readChunk) {}

SerialEmulator::~SerialEmulator() {
    Stop();
}

bool SerialEmulator::Start() {
    Stop();
    if (!m_pty.Open())
        return false;
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stop = false;
        m_vanished = false;
        m_vanishRequested = false;
        ResetLocked();
    }
    m_thread = std::thread([this] { Run(); });
    return true;
}

void SerialEmulator::Stop() {
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    m_pty.Close();
}

void SerialEmulator::Vanish() {
    std::unique_lock<std::mutex> hold(m_mutex);
    if (!m_thread.joinable()) {
        VanishLocked();
        return;
    }
    // The emulator thread owns the descriptor while it reads; it closes it between two reads.
    m_vanishRequested = true;
    m_cv.wait(hold, [this] { return m_vanished || m_stop; });
}

bool SerialEmulator::Vanished() const {
    std::lock_guard<std::mutex> hold(m_mutex);
    return m_vanished;
}

void SerialEmulator::VanishLocked() {
    if (m_vanished)
        return;
    m_pty.Close();
    m_vanished = true;
    m_cv.notify_all();
}

void SerialEmulator::Run() {
    std::vector<uint8_t> buf(m_readChunk);
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(m_mutex);
            if (m_stop)
                return;
            if (m_vanishRequested || VanishDueLocked())
                VanishLocked();
            if (m_vanished) {
                m_cv.wait(hold, [this] { return m_stop; });
                return;
            }
        }
        long n = m_pty.Read(buf.data(), buf.size(), kPollMs);
        if (n <= 0)
            continue;
        std::lock_guard<std::mutex> hold(m_mutex);
        ReceivedLocked(buf.data(), static_cast<size_t>(n));
        m_cv.notify_all();
    }
}

namespace {

// Lines of standard input to `onLine` until its end or `stop`; a read waits at most a tenth of
// a second, so that the stop is seen.
void ReadRequestLines(const std::function<void(const std::string&)>& onLine,
                      const std::atomic<bool>& stop) {
    std::string pending;
    char buf[256];
    while (!stop.load()) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (::poll(&in, 1, 100) <= 0)
            continue;
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0)
            return;  // the input ended: the program goes on answering
        pending.append(buf, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            onLine(line);
        }
    }
}

}  // namespace

int ServeUntilStopped(SerialEmulator& emulator, const char* program, const char* title,
                      const std::string& portMap, const std::string& port,
                      const ServeRequests& requests) {
    // Block the stop and request signals before any thread starts, then wait for them here.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigset_t waited = stop;
    if (requests.onSignal) {
        for (int sig : requests.signals)
            sigaddset(&waited, sig);
    }
    pthread_sigmask(SIG_BLOCK, &waited, nullptr);

    if (!emulator.Start()) {
        std::fprintf(stderr, "%s: cannot make a pseudo-terminal\n", program);
        return 1;
    }
    if (!plat::SetPortMapEntry(portMap, port, emulator.DevicePath())) {
        std::fprintf(stderr, "%s: cannot write %s\n", program, portMap.c_str());
        return 1;
    }
    std::printf("%s %s on %s\n", title, port.c_str(), emulator.DevicePath().c_str());
    std::fflush(stdout);

    std::atomic<bool> stopLines{false};
    std::thread lines;
    if (requests.onLine)
        lines = std::thread([&] { ReadRequestLines(requests.onLine, stopLines); });
    for (;;) {
        int sig = 0;
        if (sigwait(&waited, &sig) != 0 || sigismember(&stop, sig))
            break;
        requests.onSignal(sig);
    }
    stopLines = true;
    if (lines.joinable())
        lines.join();
    plat::SetPortMapEntry(portMap, port, "");
    emulator.Stop();
    return 0;
}

}  // namespace emu
