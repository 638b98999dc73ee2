#include "platform/gfx/Surface.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace plat {

namespace {

// From this size on a picture has pages of its own; smaller ones share the heap's. Under the
// address checker every picture stays on the heap, where a pixel written out of bounds is caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLarge = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLarge = false;
#else
constexpr bool kMapLarge = true;
#endif
#else
constexpr bool kMapLarge = true;
#endif
constexpr size_t kMappedBytes = 256u << 10;

}  // namespace

PixelStore::PixelStore(const PixelStore& o) {
    if (o.m_count == 0)
        return;
    Allocate(o.m_count);
    std::memcpy(m_data, o.m_data, m_count * sizeof(uint32_t));
}

PixelStore& PixelStore::operator=(const PixelStore& o) {
    if (this == &o)
        return *this;
    if (m_count == o.m_count) {
        // Same size: the memory there is reused.
        if (m_count)
            std::memcpy(m_data, o.m_data, m_count * sizeof(uint32_t));
        return *this;
    }
    PixelStore copy(o);
    Swap(copy);
    return *this;
}

void PixelStore::Swap(PixelStore& o) noexcept {
    std::swap(m_data, o.m_data);
    std::swap(m_count, o.m_count);
    std::swap(m_mapped, o.m_mapped);
}

// Fresh memory, zeroed, in place of what was held.
void PixelStore::Allocate(size_t count) {
    Free();
    if (count == 0)
        return;
    const size_t bytes = count * sizeof(uint32_t);
    if (kMapLarge && bytes >= kMappedBytes) {
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (p != MAP_FAILED) {
            m_data = static_cast<uint32_t*>(p);
            m_count = count;
            m_mapped = true;
            return;
        }
    }
    m_data = new uint32_t[count]();
    m_count = count;
    m_mapped = false;
}

void PixelStore::Zeroed(size_t count) {
    if (count == m_count) {
        if (m_count)
            std::memset(m_data, 0, m_count * sizeof(uint32_t));
        return;
    }
    Allocate(count);
}

void PixelStore::Free() {
    if (m_mapped)
        ::munmap(m_data, m_count * sizeof(uint32_t));
    else
        delete[] m_data;
    m_data = nullptr;
    m_count = 0;
    m_mapped = false;
}

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
    m_pixels.Zeroed(static_cast<size_t>(width) * static_cast<size_t>(height));
    return true;
}

void Surface::Reset() {
    m_width = m_height = 0;
    m_pixels.Free();
}

uint32_t Surface::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    return m_pixels.Data()[static_cast<size_t>(y) * m_width + x];
}

void Surface::SetPixel(int x, int y, uint32_t argb) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    m_pixels.Data()[static_cast<size_t>(y) * m_width + x] = argb;
}

void Surface::Fill(uint32_t argb) {
    std::fill_n(m_pixels.Data(), m_pixels.Size(), argb);
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
