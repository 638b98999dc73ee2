#include "platform/gfx/Canvas.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <optional>

#include "platform/gfx/PangoText.h"

namespace plat {

namespace {

// A cairo view of a Surface's pixels for the length of one call; nothing is copied.
class CairoImage {
public:
    explicit CairoImage(const Surface& s)
        : m_surface(cairo_image_surface_create_for_data(
              reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(s.Pixels())),
              CAIRO_FORMAT_ARGB32, s.Width(), s.Height(), s.Stride())) {}
    ~CairoImage() { cairo_surface_destroy(m_surface); }
    CairoImage(const CairoImage&) = delete;
    CairoImage& operator=(const CairoImage&) = delete;
    cairo_surface_t* Get() const { return m_surface; }
    bool Ok() const { return cairo_surface_status(m_surface) == CAIRO_STATUS_SUCCESS; }

private:
    cairo_surface_t* m_surface;
};

// cairo_save/cairo_restore as a scope.
class SavedState {
public:
    explicit SavedState(cairo_t* cr) : m_cr(cr) { cairo_save(cr); }
    ~SavedState() { cairo_restore(m_cr); }
    SavedState(const SavedState&) = delete;
    SavedState& operator=(const SavedState&) = delete;

private:
    cairo_t* m_cr;
};

// Sizes of rectangles whose edges may be anywhere in the int range.
double Width64(const Rect& r) {
    return double(int64_t(r.right) - r.left);
}
double Height64(const Rect& r) {
    return double(int64_t(r.bottom) - r.top);
}

// cairo keeps coordinates in 24.8 fixed point: anything beyond this is not drawn at all.
constexpr double kFarAway = double(1 << 22);
bool IsReachable(double v) {
    return v > -kFarAway && v < kFarAway;
}
bool IsReachable(const Rect& r) {
    return IsReachable(r.left) && IsReachable(r.top) && IsReachable(r.right) &&
           IsReachable(r.bottom);
}

void SetSourceArgb(cairo_t* cr, uint32_t argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                          (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
}

class CairoCanvas final : public Canvas {
public:
    explicit CairoCanvas(Surface& target)
        : m_target(target), m_image(target), m_cr(cairo_create(m_image.Get())) {
        m_clip = target.Bounds();
    }
    ~CairoCanvas() override {
        cairo_destroy(m_cr);
        cairo_surface_flush(m_image.Get());
    }

    bool Ok() const { return m_image.Ok() && cairo_status(m_cr) == CAIRO_STATUS_SUCCESS; }

    int Width() const override { return m_target.Width(); }
    int Height() const override { return m_target.Height(); }

    void SetClip(const Rect& rect) override {
        m_clip = rect.Intersect(m_target.Bounds());
        cairo_reset_clip(m_cr);
        cairo_rectangle(m_cr, m_clip.left, m_clip.top, m_clip.Width(), m_clip.Height());
        cairo_clip(m_cr);
    }
    void ResetClip() override {
        m_clip = m_target.Bounds();
        cairo_reset_clip(m_cr);
    }
    Rect GetClip() const override { return m_clip; }

    void FillRect(const Rect& rect, uint32_t argb) override {
        const Rect area = rect.Intersect(m_target.Bounds());
        if (area.IsEmpty())
            return;
        SavedState saved(m_cr);
        SetSourceArgb(m_cr, argb);
        cairo_rectangle(m_cr, area.left, area.top, area.Width(), area.Height());
        cairo_fill(m_cr);
        cairo_surface_flush(m_image.Get());
    }

    void DrawImage(const Surface& image, const Rect& src, const Rect& dst, Blend blend) override;

    void SetFont(const Font& font) override { m_font = font; }
    Font GetFont() const override { return CurrentFont(); }
    void SetTextColor(uint32_t argb) override { m_textColor = argb; }
    uint32_t GetTextColor() const override { return m_textColor; }

    void DrawText(std::u16string_view text, const Rect& rect, uint32_t format) override;

private:
    // The default font and the text layout are looked up only once text is drawn: a canvas
    // that only shows pictures (the splash) never waits for the font setup.
    const Font& CurrentFont() const { return m_font.IsValid() ? m_font : Font::Default(); }

    Surface& m_target;
    CairoImage m_image;
    cairo_t* m_cr;
    Rect m_clip;
    Font m_font;
    uint32_t m_textColor = Argb(0xFF, 0, 0, 0);
    std::optional<gfxdetail::TextLayout> m_text;
};

void CairoCanvas::DrawImage(const Surface& image, const Rect& src, const Rect& dst, Blend blend) {
    if (image.IsEmpty() || src.IsEmpty() || dst.IsEmpty() || !IsReachable(dst))
        return;
    const Rect part = src.Intersect(image.Bounds());
    if (part.IsEmpty())
        return;
    // Where the part of the source that exists lands in the destination.
    const double sx = Width64(dst) / Width64(src);
    const double sy = Height64(dst) / Height64(src);
    const double left = dst.left + (double(part.left) - src.left) * sx;
    const double top = dst.top + (double(part.top) - src.top) * sy;
    const double width = part.Width() * sx;
    const double height = part.Height() * sy;

    CairoImage whole(image);
    if (!whole.Ok())
        return;
    // A view limited to the part, padded at its edges, so that scaling never samples the
    // neighbouring frame of a strip.
    cairo_surface_t* view = cairo_surface_create_for_rectangle(whole.Get(), part.left, part.top,
                                                               part.Width(), part.Height());
    {
        SavedState saved(m_cr);
        cairo_rectangle(m_cr, left, top, width, height);
        cairo_clip(m_cr);
        cairo_translate(m_cr, left, top);
        const bool unscaled = sx == 1.0 && sy == 1.0;
        if (!unscaled)
            cairo_scale(m_cr, sx, sy);
        cairo_set_source_surface(m_cr, view, 0, 0);
        cairo_pattern_t* pattern = cairo_get_source(m_cr);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_pattern_set_filter(pattern, unscaled ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
        cairo_set_operator(m_cr,
                           blend == Blend::Copy ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
        cairo_paint(m_cr);
    }
    cairo_surface_destroy(view);
    cairo_surface_flush(m_image.Get());
}

void CairoCanvas::DrawText(std::u16string_view text, const Rect& rect, uint32_t format) {
    const Rect visible = rect.Intersect(m_clip);
    if (visible.IsEmpty())
        return;
    if (!m_text)
        m_text.emplace();
    const Font& font = CurrentFont();
    if (!m_text->IsValid() || !m_text->Prepare(font, text, format))
        return;
    double w = 0, h = 0, ox = 0, oy = 0;
    m_text->DeviceSize(&w, &h, &ox, &oy);
    double x = rect.left;
    if (format & kTextCenter)
        x = rect.left + (Width64(rect) - w) / 2;
    else if (format & kTextRight)
        x = rect.right - w;
    double y = rect.top;
    if (format & kTextSingleLine) {
        if (format & kTextVCenter)
            y = rect.top + (Height64(rect) - h) / 2;
        else if (format & kTextBottom)
            y = rect.bottom - h;
    }
    // Whole pixels, as the text would be placed on a device.
    if (x + w <= visible.left || x >= visible.right || y + h <= visible.top ||
        y >= visible.bottom || !IsReachable(x) || !IsReachable(y))
        return;
    x = std::floor(x) - ox;
    y = std::floor(y) - oy;

    SavedState saved(m_cr);
    cairo_rectangle(m_cr, visible.left, visible.top, visible.Width(), visible.Height());
    cairo_clip(m_cr);
    SetSourceArgb(m_cr, m_textColor);
    cairo_translate(m_cr, x, y);
    cairo_scale(m_cr, font.XScale(), 1.0);
    pango_cairo_show_layout(m_cr, m_text->Layout());
    cairo_surface_flush(m_image.Get());
}

}  // namespace

std::unique_ptr<Canvas> MakeCanvas(Surface& target) {
    if (target.IsEmpty())
        return nullptr;
    auto canvas = std::make_unique<CairoCanvas>(target);
    if (!canvas->Ok())
        return nullptr;
    return canvas;
}

}  // namespace plat
