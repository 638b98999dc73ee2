#include "devices/SerialEmulator.h"

#include <signal.h>

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

int ServeUntilStopped(SerialEmulator& emulator, const char* program, const char* title,
                      const std::string& portMap, const std::string& port) {
    // Block the stop signals before any thread starts, then wait for them here.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

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

    int sig = 0;
    sigwait(&stop, &sig);
    plat::SetPortMapEntry(portMap, port, "");
    emulator.Stop();
    return 0;
}

}  // namespace emu
