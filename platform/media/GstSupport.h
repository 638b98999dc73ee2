// GStreamer set-up shared by the media pipelines (internal to platform/media).
#pragma once

#include <functional>
#include <string>

typedef struct _GstElement GstElement;

namespace plat {

// Initialises GStreamer once per process; false (with the reason) when it cannot start.
bool EnsureGstreamer(std::string* error = nullptr);
// Starts that initialisation on a thread of its own and returns at once; EnsureGstreamer then
// waits for it. The thread is joined when the process ends.
void StartGstreamerAhead();

// Calls `visit` for `element` itself, or, when it is a bin, for every element inside it at any
// depth (the bin itself left out).
void ForEachElement(GstElement* element, const std::function<void(GstElement*)>& visit);

}  // namespace plat
