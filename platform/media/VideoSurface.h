// The picture of a player: decoded frames land here and the window layer draws the newest one
// into its owner window. A player places and shows it (rectangle in the owner's client
// coordinates, visibility); the media pipeline fills it from its streaming thread.
//
// Why a shared library of its own (libVideoWindows.so): the program and libVantrel.so each link
// their own static copy of platform/, and a player lives in the library's copy while the
// windows it draws into live in the program's. The video windows and their registry are the one
// piece of platform state both copies must see, so this file is built once, as a shared
// library both link; so is the drive map (sys/DrivesApi.h), and every other part of platform/
// stays private to each copy. The window
// layer learns of new frames through a listener it sets, so no static state of the window
// layer itself is shared.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/gfx/Surface.h"

#define PLAT_VIDEO_API __attribute__((visibility("default")))

namespace plat {

struct VideoView {
    Rect rect;             // where the owner wants the picture
    bool visible = false;  // shown by the owner
    uint64_t serial = 0;   // grows with every new frame; 0 while there is none
    int width = 0;         // size of the newest frame
    int height = 0;
};

class PLAT_VIDEO_API VideoSurface {
public:
    explicit VideoSurface(uintptr_t owner) : m_owner(owner) {}
    VideoSurface(const VideoSurface&) = delete;
    VideoSurface& operator=(const VideoSurface&) = delete;

    // Created and listed under its owner window, so the window layer can find it.
    static std::shared_ptr<VideoSurface> Create(uintptr_t owner);

    uintptr_t Owner() const;
    void SetOwner(uintptr_t owner);
    // Owner client coordinates; the frame is scaled to fill it (the caller keeps the aspect).
    void SetRect(const Rect& rect);
    void SetVisible(bool visible);
    VideoView View() const;

    // Copies the newest frame (opaque ARGB32). False, with `out` emptied, when there is none.
    bool CopyFrame(Surface& out, VideoView* view = nullptr) const;
    // Runs `draw` under the surface's lock with the newest frame, without copying it; nothing
    // happens when there is no frame. Keep `draw` short: decoding waits for it.
    bool DrawFrame(
        const std::function<void(const Surface& frame, const VideoView& view)>& draw) const;

    // Producer side. `pixels` are rows of 4-byte B, G, R, x pixels.
    void PutFrame(const uint8_t* pixels, int width, int height, int stride);
    // Forgets the picture (the media was closed).
    void ClearFrame();

private:
    void Changed(uintptr_t owner) const;

    mutable std::mutex m_mutex;
    uintptr_t m_owner;
    Rect m_rect;
    bool m_visible = false;
    uint64_t m_serial = 0;
    Surface m_frame;
};

// Every live surface of one owner window, in creation order.
PLAT_VIDEO_API std::vector<std::shared_ptr<VideoSurface>> VideoSurfacesOf(uintptr_t owner);

// Called, with no lock held, after every change that alters what an owner window shows: a new
// frame, a move, showing or hiding, a change of owner. It may run on any thread (frames come
// from the media engine's). One listener per process: the window layer that draws the owners;
// null removes it.
using VideoChangeListener = void (*)(void* context, uintptr_t owner);
PLAT_VIDEO_API void SetVideoChangeListener(VideoChangeListener listener, void* context);

}  // namespace plat
