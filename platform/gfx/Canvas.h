// The drawing context over a Surface: the replacement of device contexts and GDI+ drawing.
//
// Why an abstract class: the program and libVantrel.so each link their own static copy of
// platform/. A canvas is made by one of them (the seat makes the page's canvas) and drawn on
// by both (pages, and the library's images, labels, buttons and list boxes). Every call goes
// through the virtual table, so it always runs in the copy that made the canvas, and nothing
// relies on static state of platform code being shared between the two copies. Fonts are plain
// values (Font.h) for the same reason.
//
// Like a device context the canvas keeps a current font and text colour that stay set until
// changed; text is always drawn transparently over what is there. Coordinates are device
// pixels of the target; rectangles are {left, top, right, bottom} with right and bottom one
// past the last pixel. The target must outlive the canvas and keep its size while it lives.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/gfx/Font.h"
#include "platform/gfx/Surface.h"

namespace plat {

enum class Blend {
    Over,  // source over destination (premultiplied alpha)
    Copy,  // destination replaced, alpha included
};

class Canvas {
public:
    virtual ~Canvas() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // Drawing is limited to the clip rectangle (the whole target when reset).
    virtual void SetClip(const Rect& rect) = 0;
    virtual void ResetClip() = 0;
    virtual Rect GetClip() const = 0;

    // Blends `argb` (straight alpha) over the rectangle; an opaque colour replaces.
    virtual void FillRect(const Rect& rect, uint32_t argb) = 0;

    // Draws the part `src` of `image` into `dst`, scaled (bilinear) when the sizes differ.
    // Only pixels of `src` inside the image are drawn, at the places they map to; pixels
    // outside `src` never bleed in. Empty or inverted rectangles draw nothing.
    virtual void DrawImage(const Surface& image, const Rect& src, const Rect& dst,
                           Blend blend = Blend::Over) = 0;
    // The whole image at its natural size with its top-left corner at (x, y).
    void DrawImage(const Surface& image, int x, int y, Blend blend = Blend::Over) {
        if (int64_t(x) + image.Width() > INT32_MAX || int64_t(y) + image.Height() > INT32_MAX)
            return;  // entirely beyond any target
        DrawImage(image, image.Bounds(), Rect::FromXYWH(x, y, image.Width(), image.Height()),
                  blend);
    }

    // An invalid font selects the default font.
    virtual void SetFont(const Font& font) = 0;
    virtual Font GetFont() const = 0;
    virtual void SetTextColor(uint32_t argb) = 0;
    virtual uint32_t GetTextColor() const = 0;

    // Draws `text` in the current font and colour inside `rect` (kText* flags of Font.h).
    virtual void DrawText(std::u16string_view text, const Rect& rect, uint32_t format) = 0;

protected:
    Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
};

// A canvas drawing into `target`; null when the target is empty. Starts with no clip, the
// default font and black text.
std::unique_ptr<Canvas> MakeCanvas(Surface& target);

}  // namespace plat
