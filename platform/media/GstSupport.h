// GStreamer set-up shared by the media pipelines (internal to platform/media).
#pragma once

#include <string>

namespace plat {

// Initialises GStreamer once per process; false (with the reason) when it cannot start.
bool EnsureGstreamer(std::string* error = nullptr);
// Starts that initialisation on a thread of its own and returns at once; EnsureGstreamer then
// waits for it. The thread is joined when the process ends.
void StartGstreamerAhead();

}  // namespace plat
