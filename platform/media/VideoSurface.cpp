#include "platform/media/VideoSurface.h"

#include <algorithm>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "frames are taken as native ARGB words");

namespace plat {

namespace {

std::mutex g_registryMutex;
std::vector<std::weak_ptr<VideoSurface>>& Registry() {
    static std::vector<std::weak_ptr<VideoSurface>> registry;
    return registry;
}

std::mutex g_listenerMutex;
VideoChangeListener g_listener = nullptr;
void* g_listenerContext = nullptr;

}  // namespace

void SetVideoChangeListener(VideoChangeListener listener, void* context) {
    std::lock_guard<std::mutex> lock(g_listenerMutex);
    g_listener = listener;
    g_listenerContext = context;
}

void VideoSurface::Changed(uintptr_t owner) const {
    if (owner == 0)
        return;
    VideoChangeListener listener;
    void* context;
    {
        std::lock_guard<std::mutex> lock(g_listenerMutex);
        listener = g_listener;
        context = g_listenerContext;
    }
    if (listener)
        listener(context, owner);
}

std::shared_ptr<VideoSurface> VideoSurface::Create(uintptr_t owner) {
    auto surface = std::make_shared<VideoSurface>(owner);
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto& registry = Registry();
    registry.erase(std::remove_if(registry.begin(), registry.end(),
                                  [](const std::weak_ptr<VideoSurface>& w) { return w.expired(); }),
                   registry.end());
    registry.push_back(surface);
    return surface;
}

std::vector<std::shared_ptr<VideoSurface>> VideoSurfacesOf(uintptr_t owner) {
    std::vector<std::shared_ptr<VideoSurface>> found;
    std::lock_guard<std::mutex> lock(g_registryMutex);
    for (const auto& weak : Registry()) {
        auto surface = weak.lock();
        if (surface && surface->Owner() == owner)
            found.push_back(std::move(surface));
    }
    return found;
}

uintptr_t VideoSurface::Owner() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_owner;
}

void VideoSurface::SetOwner(uintptr_t owner) {
    uintptr_t old;
    bool shown;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        old = m_owner;
        m_owner = owner;
        shown = m_visible;
    }
    if (shown && old != owner) {
        Changed(old);
        Changed(owner);
    }
}

void VideoSurface::SetRect(const Rect& rect) {
    uintptr_t owner;
    bool changed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        changed = m_visible && !(m_rect == rect);
        m_rect = rect;
        owner = m_owner;
    }
    if (changed)
        Changed(owner);
}

void VideoSurface::SetVisible(bool visible) {
    uintptr_t owner;
    bool changed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        changed = m_visible != visible;
        m_visible = visible;
        owner = m_owner;
    }
    if (changed)
        Changed(owner);
}

VideoView VideoSurface::View() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    VideoView view;
    view.rect = m_rect;
    view.visible = m_visible;
    view.serial = m_frame.IsEmpty() ? 0 : m_serial;
    view.width = m_frame.Width();
    view.height = m_frame.Height();
    return view;
}

bool VideoSurface::CopyFrame(Surface& out, VideoView* view) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (view) {
        view->rect = m_rect;
        view->visible = m_visible;
        view->serial = m_frame.IsEmpty() ? 0 : m_serial;
        view->width = m_frame.Width();
        view->height = m_frame.Height();
    }
    if (m_frame.IsEmpty()) {
        out.Reset();
        return false;
    }
    out = m_frame;
    return true;
}

bool VideoSurface::DrawFrame(
    const std::function<void(const Surface& frame, const VideoView& view)>& draw) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_frame.IsEmpty() || !draw)
        return false;
    VideoView view;
    view.rect = m_rect;
    view.visible = m_visible;
    view.serial = m_serial;
    view.width = m_frame.Width();
    view.height = m_frame.Height();
    draw(m_frame, view);
    return true;
}

void VideoSurface::PutFrame(const uint8_t* pixels, int width, int height, int stride) {
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4)
        return;
    uintptr_t owner;
    bool shown;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_frame.Width() != width || m_frame.Height() != height)
            m_frame.Create(width, height);
        for (int y = 0; y < height; ++y) {
            // Rows of B, G, R, x are native ARGB words on this little-endian machine; the
            // padding byte is undefined, and every video pixel is opaque. One pass: a copy and
            // a second pass for the alpha would go over a 1080p frame twice.
            uint32_t* dst = m_frame.Pixels() + static_cast<size_t>(y) * width;
            const uint8_t* src = pixels + static_cast<size_t>(y) * stride;
            for (int x = 0; x < width; ++x) {
                uint32_t p;
                std::memcpy(&p, src + static_cast<size_t>(x) * 4, 4);
                dst[x] = p | 0xFF000000u;
            }
        }
        ++m_serial;
        owner = m_owner;
        shown = m_visible;
    }
    if (shown)
        Changed(owner);
}

void VideoSurface::ClearFrame() {
    uintptr_t owner;
    bool shown;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        shown = m_visible && !m_frame.IsEmpty();
        m_frame.Reset();
        owner = m_owner;
    }
    if (shown)
        Changed(owner);
}

}  // namespace plat
