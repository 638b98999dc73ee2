// GStreamer set-up shared by the media pipelines (internal to platform/media).
#pragma once

#include <string>

namespace plat {

// Initialises GStreamer once per process; false (with the reason) when it cannot start.
bool EnsureGstreamer(std::string* error = nullptr);

}  // namespace plat
