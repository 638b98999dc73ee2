// Text layout shared by the canvas and text measuring (inside platform/gfx only).
#pragma once

#include <pango/pangocairo.h>

#include <cstdint>
#include <string_view>

#include "platform/gfx/Font.h"

namespace plat::gfxdetail {

// Owns one pango context and layout, reused for every text of a canvas.
class TextLayout {
public:
    TextLayout();
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    bool IsValid() const { return m_layout != nullptr; }
    PangoContext* Context() const { return m_context; }
    PangoLayout* Layout() const { return m_layout; }

    // Sets font, text and line mode; `font` must be valid. Returns false for an empty text.
    bool Prepare(const Font& font, std::u16string_view text, uint32_t format);
    // Logical size of the prepared text in device pixels (horizontal stretch applied).
    void DeviceSize(double* width, double* height, double* originX, double* originY) const;

private:
    void ApplyFont(const Font& font);

    PangoContext* m_context = nullptr;
    PangoLayout* m_layout = nullptr;
    PangoFontDescription* m_desc = nullptr;
    Font m_font;
    double m_xScale = 1;
};

}  // namespace plat::gfxdetail
