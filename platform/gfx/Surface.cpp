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

Surface RotateClockwise90(const Surface& src) {
    Surface out;
    if (src.IsEmpty())
        return out;
    const int w = src.Width();
    const int h = src.Height();
    out.Create(h, w);
    const uint32_t* in = src.Pixels();
    uint32_t* dst = out.Pixels();
    // Source row y becomes destination column h - 1 - y.
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = in + static_cast<size_t>(y) * w;
        const int col = h - 1 - y;
        for (int x = 0; x < w; ++x)
            dst[static_cast<size_t>(x) * h + col] = row[x];
    }
    return out;
}

}  // namespace plat
