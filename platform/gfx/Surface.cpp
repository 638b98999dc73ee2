#include "platform/gfx/Surface.h"

#include <algorithm>

namespace plat {

Rect Rect::Intersect(const Rect& o) const {
    Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
           std::min(bottom, o.bottom)};
    if (r.IsEmpty())
        return Rect{};
    return r;
}

bool Surface::Create(int width, int height) {
    if (width <= 0 || height <= 0) {
        Reset();
        return false;
    }
    m_width = width;
    m_height = height;
    m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0u);
    return true;
}

void Surface::Reset() {
    m_width = m_height = 0;
    m_pixels.clear();
    m_pixels.shrink_to_fit();
}

uint32_t Surface::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    return m_pixels[static_cast<size_t>(y) * m_width + x];
}

void Surface::SetPixel(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    m_pixels[static_cast<size_t>(y) * m_width + x] = argb;
}

void Surface::Fill(uint32_t argb) {
    std::fill(m_pixels.begin(), m_pixels.end(), argb);
}

}  // namespace plat
