// Top-level windows of outside programs (navigation, TV, the user's program): found by the
// process that owns them and placed on a seat's screen. X11 only; without an X server every
// call finds nothing and places nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/sys/Process.h"

namespace plat {

// An X window id; 0 is none. A stale id is harmless: calls on it simply fail.
using ExternalWindow = uint32_t;

struct ExternalWindowInfo {
    ExternalWindow window = 0;
    ProcessId pid = 0;  // 0 when the owner cannot be told
    bool visible = false;
};

// True when an X server can be reached ($DISPLAY).
bool ExternalWindowsAvailable();

// Every top-level window, topmost first. The owner comes from the window's _NET_WM_PID or,
// for programs that do not set it, from the X server's own record of the client.
std::vector<ExternalWindowInfo> ListExternalWindows();

// Moves and sizes a window (screen coordinates), leaving its stacking order alone.
bool MoveExternalWindow(ExternalWindow window, int x, int y, int width, int height);

}  // namespace plat
