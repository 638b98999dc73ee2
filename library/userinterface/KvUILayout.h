// Place and visibility shared by the skinned widgets (label, button, list box).
#pragma once

#include <cstdint>

#include "library/include/KvTypes.h"
#include "platform/gfx/Surface.h"

namespace KvUserInterface {

// Edges are computed with 32-bit wrap-around, as the stored skins were laid out for: a silly
// skin value gives a silly rectangle, never undefined behaviour.
inline int KvAddWrap(int a, int b) {
    return static_cast<int>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

class CKvUILayout {
public:
    CKvUILayout() = default;

    RZRESULT SetPos(int x, int y) {
        m_iX = x;
        m_iY = y;
        return RZ_OK;
    }
    RZRESULT SetRect(int x, int y, int w, int h) {
        m_iX = x;
        m_iY = y;
        m_iW = w;
        m_iH = h;
        return RZ_OK;
    }
    RZRESULT GetBounds(int* x, int* y, int* w, int* h) const {
        if (x)
            *x = m_iX;
        if (y)
            *y = m_iY;
        if (w)
            *w = m_iW;
        if (h)
            *h = m_iH;
        return RZ_OK;
    }
    RZRESULT GetRect(plat::Rect* out) const {
        if (out)
            *out = LayoutRect();
        return RZ_OK;
    }
    RZRESULT Show(uint8_t visible) {
        m_byVisible = visible;
        return RZ_OK;
    }
    // 1 or 0 as the result.
    RZRESULT IsVisible() const { return m_byVisible != 0 ? 1 : 0; }

    plat::Rect LayoutRect() const {
        return plat::Rect{m_iX, m_iY, KvAddWrap(m_iX, m_iW), KvAddWrap(m_iY, m_iH)};
    }

protected:
    ~CKvUILayout() = default;

    int32_t m_iX = 0;
    int32_t m_iY = 0;
    int32_t m_iW = 0;
    int32_t m_iH = 0;
    uint8_t m_byVisible = 0;  // each widget sets its own start value
};

}  // namespace KvUserInterface
