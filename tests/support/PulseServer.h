// A PulseAudio server of the test's own with one null sink, so that ALSA has a real mixer to
// work on where the machine has no sound card. Clients in this process reach it through
// PULSE_SERVER, which the constructor sets; the destructor stops the server.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/TestSupport.h"

namespace testsupport {

class PulseServer {
public:
    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // False when the server could not be started (Error() says why).
    bool Running() const { return m_running; }
    const std::string& Error() const { return m_error; }
    // The null sink's name.
    static const char* Sink() { return "velkora_null"; }
    // Output of `pactl <args>` against this server.
    std::string Pactl(const std::string& args) const;

private:
    TempDir m_dir;
    pid_t m_pid = -1;
    bool m_running = false;
    std::string m_error;
};

}  // namespace testsupport
