// What the serial peers' emulators share: a pseudo-terminal that stands for the peer's port, the
// thread that reads it, the stop and the vanish (the device going away as an unplugged one
// does), and the demo program's run with the port map.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/io/Pty.h"

namespace emu {

class SerialEmulator {
public:
    SerialEmulator(const SerialEmulator&) = delete;
    SerialEmulator& operator=(const SerialEmulator&) = delete;

    // Opens a new pseudo-terminal and starts answering on it; false when none can be made.
    bool Start();
    // Stops the thread and closes the device; safe to call again.
    void Stop();
    const std::string& DevicePath() const { return m_pty.SlavePath(); }

    // The device goes away; returns once it has.
    void Vanish();
    bool Vanished() const;

protected:
    // `readChunk`: how many bytes one read takes at the most.
    explicit SerialEmulator(size_t readChunk);
    // Every derived emulator calls Stop() in its own destructor, before its members go.
    virtual ~SerialEmulator();

    // Under the lock, at Start: the derived emulator forgets its half-read input.
    virtual void ResetLocked() {}
    // Under the lock, between two reads: true when the device is to go away now.
    virtual bool VanishDueLocked() { return false; }
    // Under the lock: the bytes of one read.
    virtual void ReceivedLocked(const uint8_t* bytes, size_t count) = 0;
    // Closes the device and wakes whoever waits for it.
    void VanishLocked();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    plat::PseudoTerminal m_pty;
    bool m_stop = false;
    bool m_vanished = false;
    bool m_vanishRequested = false;

private:
    void Run();

    const size_t m_readChunk;
    std::thread m_thread;
};

// What a demo program's user may ask of it while it runs: a line on its standard input, or one
// of `signals`. The handlers run on threads of their own.
struct ServeRequests {
    std::vector<int> signals;
    std::function<void(int signal)> onSignal;
    std::function<void(const std::string& line)> onLine;
};

// The demo program's run: enters `emulator`'s device as `port` in `portMap`, prints "<title>
// <port> on <device>", answers (and takes `requests`) until SIGINT or SIGTERM, and takes the
// entry out again. The exit code of the program; `program` names it in its error messages.
int ServeUntilStopped(SerialEmulator& emulator, const char* program, const char* title,
                      const std::string& portMap, const std::string& port,
                      const ServeRequests& requests = ServeRequests());

}  // namespace emu
