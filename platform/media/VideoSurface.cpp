#include "platform/media/VideoSurface.h"

#include <algorithm>
#include <cstring>

namespace plat {

namespace {

std::mutex g_registryMutex;
std::vector<std::weak_ptr<VideoSurface>>& Registry() {
    static std::vector<std::weak_ptr<VideoSurface>> registry;
    return registry;
}

}  // namespace

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
    std::lock_guard<std::mutex> lock(m_mutex);
    m_owner = owner;
}

void VideoSurface::SetRect(const Rect& rect) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rect = rect;
}

void VideoSurface::SetVisible(bool visible) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_visible = visible;
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
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_frame.Width() != width || m_frame.Height() != height)
        m_frame.Create(width, height);
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = pixels + static_cast<size_t>(y) * stride;
        uint32_t* dst = m_frame.Pixels() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x, src += 4) {
            // The padding byte is undefined: every video pixel is opaque.
            dst[x] = 0xFF000000u | (uint32_t(src[2]) << 16) | (uint32_t(src[1]) << 8) | src[0];
        }
    }
    ++m_serial;
}

void VideoSurface::ClearFrame() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frame.Reset();
}

}  // namespace plat
