// The message box on real screens: a top-most window of the layer itself, so its modal loop
// answers sends and keeps the timers running like every other loop, on X11 and KMS alike.
#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text/Text.h"
#include "platform/ui/UiInternal.h"

namespace plat::ui {

namespace {

constexpr int kCaptionHeight = 34;
constexpr int kMargin = 20;
constexpr int kButtonWidth = 110;
constexpr int kButtonHeight = 44;
constexpr int kMaxTextWidth = 560;
constexpr uint32_t kErrorCaption = 0xB21E1E;
constexpr uint32_t kWarningCaption = 0xCC850D;
constexpr uint32_t kNoteCaption = 0x1F4C8C;

void SetColour(cairo_t* cr, uint32_t rgb) {
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0,
                         (rgb & 0xFF) / 255.0);
}

struct Button {
    const char* label;
    int result;
    Rect rect;
};

// The box keeps a font map of its own and drops it with the box, so no process-wide font
// cache is left behind by a box.
PangoLayout* MakeLayout(PangoFontMap* fonts, cairo_t* cr, const std::string& text, int size,
                        bool bold, int width) {
    PangoContext* context = pango_font_map_create_context(fonts);
    pango_cairo_update_context(cr, context);
    PangoLayout* layout = pango_layout_new(context);
    g_object_unref(context);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, "Liberation Sans");
    pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
    pango_font_description_set_weight(font, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    if (width > 0) {
        pango_layout_set_width(layout, width * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    }
    pango_layout_set_text(layout, text.c_str(), -1);
    return layout;
}

class MessageBoxWindow final : public Window {
public:
    MessageBoxWindow(const std::u16string& text, const std::u16string& caption, uint32_t flags)
        : m_text(Utf16ToUtf8(text)), m_caption(Utf16ToUtf8(caption)), m_flags(flags) {
        switch (flags & 0x0F) {
            case kMbOkCancel:
                m_buttons = {{"OK", kIdOk, {}}, {"Cancel", kIdCancel, {}}};
                break;
            case kMbYesNo:
                m_buttons = {{"Yes", kIdYes, {}}, {"No", kIdNo, {}}};
                break;
            default:
                m_buttons = {{"OK", kIdOk, {}}};
                break;
        }
    }

    ~MessageBoxWindow() override {
        Destroy();
        g_object_unref(m_fonts);
    }

    int Run(WindowId owner) {
        int textW = 0, textH = 0;
        {
            cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
            cairo_t* cr = cairo_create(scratch);
            PangoLayout* layout = MakeLayout(m_fonts, cr, m_text, 18, false, kMaxTextWidth);
            pango_layout_get_pixel_size(layout, &textW, &textH);
            g_object_unref(layout);
            cairo_destroy(cr);
            cairo_surface_destroy(scratch);
        }
        int buttonsW = static_cast<int>(m_buttons.size()) * (kButtonWidth + kMargin) - kMargin;
        int w =
            std::clamp(std::max(textW, buttonsW) + 2 * kMargin, 320, kMaxTextWidth + 2 * kMargin);
        int h = kCaptionHeight + kMargin + textH + kMargin + kButtonHeight + kMargin;
        int x = w - kMargin - buttonsW;
        for (Button& b : m_buttons) {
            b.rect = Rect::FromXYWH(x, h - kMargin - kButtonHeight, kButtonWidth, kButtonHeight);
            x += kButtonWidth + kMargin;
        }
        // Centred over the owner, or over the first screen.
        Rect over = GetWindowRect(owner);
        if (over.IsEmpty()) {
            std::vector<Rect> screens = Screens();
            over = screens.empty() ? Rect::FromXYWH(0, 0, 800, 480) : screens[0];
        }
        CreateParams params;
        params.rect = Rect::FromXYWH(over.left + (over.Width() - w) / 2,
                                     over.top + (over.Height() - h) / 2, w, h);
        params.visible = true;
        params.topMost = true;
        params.title = Utf8ToUtf16(m_caption);
        if (!Create(params))
            return m_buttons.front().result;
        int result = RunModalLoop(Id());
        Destroy();
        return result;
    }

protected:
    void OnPaint(Surface& surface, const Rect&) override {
        cairo_surface_t* target = cairo_image_surface_create_for_data(
            reinterpret_cast<unsigned char*>(surface.Pixels()), CAIRO_FORMAT_ARGB32,
            surface.Width(), surface.Height(), surface.Stride());
        cairo_t* cr = cairo_create(target);
        SetColour(cr, 0xF0F0F0);
        cairo_paint(cr);
        // The caption bar's colour tells errors and warnings from notes at a glance.
        uint32_t icon = m_flags & 0xF0;
        SetColour(cr, icon == kMbIconError     ? kErrorCaption
                      : icon == kMbIconWarning ? kWarningCaption
                                               : kNoteCaption);
        cairo_rectangle(cr, 0, 0, surface.Width(), kCaptionHeight);
        cairo_fill(cr);
        DrawText(cr, m_caption, 16, true, kMargin / 2, 7, 0, 1.0);
        DrawText(cr, m_text, 18, false, kMargin, kCaptionHeight + kMargin, kMaxTextWidth, 0.0);
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            const Rect& r = m_buttons[i].rect;
            double shade = static_cast<int>(i) == m_pressed ? 0.62 : 0.80;
            cairo_set_source_rgb(cr, shade, shade, shade);
            cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
            cairo_fill_preserve(cr);
            cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
            cairo_set_line_width(cr, 1.0);
            cairo_stroke(cr);
            PangoLayout* layout = MakeLayout(m_fonts, cr, m_buttons[i].label, 18, true, 0);
            int lw, lh;
            pango_layout_get_pixel_size(layout, &lw, &lh);
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_move_to(cr, r.left + (r.Width() - lw) / 2, r.top + (r.Height() - lh) / 2);
            pango_cairo_show_layout(cr, layout);
            g_object_unref(layout);
        }
        cairo_destroy(cr);
        cairo_surface_flush(target);
        cairo_surface_destroy(target);
    }

    void OnPenDown(Point pt) override {
        m_pressed = HitButton(pt);
        InvalidateRect(Id());
    }

    void OnPenUp(Point pt) override {
        int hit = HitButton(pt);
        int pressed = m_pressed;
        m_pressed = -1;
        InvalidateRect(Id());
        if (hit >= 0 && hit == pressed)
            EndModal(Id(), m_buttons[hit].result);
    }

    void OnClose() override {
        // Closing the box answers like its last button (Cancel, No) or OK.
        EndModal(Id(), m_buttons.back().result);
    }

private:
    void DrawText(cairo_t* cr, const std::string& text, int size, bool bold, int x, int y,
                  int width, double grey) {
        PangoLayout* layout = MakeLayout(m_fonts, cr, text, size, bold, width);
        cairo_set_source_rgb(cr, grey, grey, grey);
        cairo_move_to(cr, x, y);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
    }

    int HitButton(Point pt) const {
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            if (m_buttons[i].rect.Contains(pt))
                return static_cast<int>(i);
        }
        return -1;
    }

    std::string m_text;
    std::string m_caption;
    uint32_t m_flags;
    std::vector<Button> m_buttons;
    int m_pressed = -1;
    PangoFontMap* m_fonts = pango_cairo_font_map_new();
};

}  // namespace

int RunMessageBoxWindow(WindowId owner, const std::u16string& text, const std::u16string& caption,
                        uint32_t flags) {
    MessageBoxWindow box(text, caption, flags);
    return box.Run(owner);
}

}  // namespace plat::ui
