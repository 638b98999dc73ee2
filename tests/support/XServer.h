// A private X server (Xvfb) on a free display number, for tests that need real X11 windows.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

namespace testsupport {

class XServer {
public:
    // `screen` as Xvfb takes it: "WxHxDepth".
    explicit XServer(const std::string& screen = "1600x800x24");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    // ":N", or empty when the server could not be started (Xvfb missing).
    const std::string& Display() const { return m_display; }
    // A window's place and size as this server has it, "x,y WxH"; empty when it cannot be asked.
    std::string WindowGeometry(uint32_t window) const;

private:
    pid_t m_pid = -1;
    std::string m_display;
};

}  // namespace testsupport
