// Pictures in memory: the replacement of device-independent bitmaps. Pixels are 32-bit
// premultiplied ARGB in native byte order (cairo's ARGB32), rows packed (stride = width * 4).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat {

struct Point {
    int x = 0;
    int y = 0;
};

// Edges as the system stores them: right and bottom are one past the last pixel.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static Rect FromXYWH(int x, int y, int w, int h) { return Rect{x, y, x + w, y + h}; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    Rect Intersect(const Rect& o) const;
    Rect Offset(int dx, int dy) const { return Rect{left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// 0xAARRGGBB from parts; an opaque colour from a stored 0x00BBGGRR colour value.
constexpr uint32_t Argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}
constexpr uint32_t ArgbFromColorRef(uint32_t bgr) {
    return Argb(0xFF, bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

// The memory of a picture's pixels, zeroed when made. Large pictures are mapped from the kernel
// with every page in place: touching fresh pages one at a time is most of what a first paint or
// a decoded picture costs, and mapped pages come zeroed, so they need no clearing either.
class PixelStore {
public:
    PixelStore() = default;
    ~PixelStore() { Free(); }
    PixelStore(const PixelStore& o);
    PixelStore& operator=(const PixelStore& o);
    PixelStore(PixelStore&& o) noexcept { Swap(o); }
    PixelStore& operator=(PixelStore&& o) noexcept {
        PixelStore taken(std::move(o));
        Swap(taken);
        return *this;
    }

    // `count` zeroed pixels, in place of what was held.
    void Zeroed(size_t count);
    void Free();
    uint32_t* Data() { return m_data; }
    const uint32_t* Data() const { return m_data; }
    size_t Size() const { return m_count; }

private:
    void Swap(PixelStore& o) noexcept;
    void Allocate(size_t count);

    uint32_t* m_data = nullptr;
    size_t m_count = 0;
    bool m_mapped = false;
};

class Surface {
public:
    Surface() = default;
    Surface(int width, int height) { Create(width, height); }
    Surface(const Surface&) = default;
    Surface& operator=(const Surface&) = default;
    // A moved-from picture is empty, so its size never promises pixels it no longer has.
    Surface(Surface&& o) noexcept
        : m_width(o.m_width), m_height(o.m_height), m_pixels(std::move(o.m_pixels)) {
        o.m_width = o.m_height = 0;
    }
    Surface& operator=(Surface&& o) noexcept {
        m_width = o.m_width;
        m_height = o.m_height;
        m_pixels = std::move(o.m_pixels);
        if (&o != this)
            o.m_width = o.m_height = 0;
        return *this;
    }

    // Transparent black after creation. Sizes below 1 give an empty surface.
    bool Create(int width, int height);
    void Reset();
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_width * 4; }
    uint32_t* Pixels() { return m_pixels.Data(); }
    const uint32_t* Pixels() const { return m_pixels.Data(); }
    // Out-of-range reads give 0; out-of-range writes do nothing.
    uint32_t PixelAt(int x, int y) const;
    void SetPixel(int x, int y, uint32_t argb);
    void Fill(uint32_t argb);
    Rect Bounds() const { return Rect{0, 0, m_width, m_height}; }

private:
    int m_width = 0;
    int m_height = 0;
    PixelStore m_pixels;
};

// The picture turned a quarter turn clockwise, not mirrored: width and height swap.
Surface RotateClockwise90(const Surface& src);

}  // namespace plat
