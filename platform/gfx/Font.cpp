#include "platform/gfx/Font.h"

#include <hb.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/gfx/PangoText.h"
#include "platform/text/Text.h"

namespace plat {

namespace {

constexpr int kMaxFontPixels = 4096;
constexpr int kDefaultHeight = 16;
constexpr const char* kDefaultFamily = "Liberation Sans";
constexpr int kDefaultWeight = 700;
constexpr const char* kWidgetFamily = "Times New Roman";
constexpr int kWidgetWeight = 1200;
// Keeps absurd skin values from asking for glyphs thousands of pixels wide.
constexpr double kMinXScale = 0.05;
constexpr double kMaxXScale = 20.0;

// Size-independent proportions of a face, in ems.
struct FaceMetrics {
    bool ok = false;
    double cellPerEm = 0;  // ascent + descent as Windows counts them
    double avgPerEm = 0;   // average character width
};

int PangoWeightOf(int weight) {
    if (weight <= 0)
        return PANGO_WEIGHT_NORMAL;
    return std::clamp(weight, 100, 1000);
}

int ReadI16(const char* p) {
    return static_cast<int16_t>((static_cast<uint8_t>(p[0]) << 8) | static_cast<uint8_t>(p[1]));
}
int ReadU16(const char* p) {
    return (static_cast<uint8_t>(p[0]) << 8) | static_cast<uint8_t>(p[1]);
}

// The cell height and average width come from the face's OS/2 table (usWinAscent,
// usWinDescent, xAvgCharWidth): the numbers a Windows font request is matched against.
FaceMetrics LoadFaceMetrics(const std::string& family, int pangoWeight) {
    FaceMetrics m;
    PangoFontMap* map = pango_cairo_font_map_get_default();
    if (!map)
        return m;
    PangoContext* context = pango_font_map_create_context(map);
    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, family.c_str());
    pango_font_description_set_weight(desc, static_cast<PangoWeight>(pangoWeight));
    constexpr double kRefPixels = 1000.0;
    pango_font_description_set_absolute_size(desc, kRefPixels * PANGO_SCALE);
    PangoFont* font = pango_font_map_load_font(map, context, desc);
    if (font) {
        hb_font_t* hb = pango_font_get_hb_font(font);
        hb_face_t* face = hb ? hb_font_get_face(hb) : nullptr;
        const unsigned upem = face ? hb_face_get_upem(face) : 0;
        if (face && upem > 0) {
            hb_blob_t* blob = hb_face_reference_table(face, HB_TAG('O', 'S', '/', '2'));
            unsigned len = 0;
            const char* data = hb_blob_get_data(blob, &len);
            if (data && len >= 78) {
                const int avg = ReadI16(data + 2);
                const int winAscent = ReadU16(data + 74);
                const int winDescent = ReadU16(data + 76);
                if (avg > 0)
                    m.avgPerEm = double(avg) / upem;
                if (winAscent + winDescent > 0)
                    m.cellPerEm = double(winAscent + winDescent) / upem;
            }
            hb_blob_destroy(blob);
        }
        PangoFontMetrics* metrics = pango_font_get_metrics(font, nullptr);
        if (metrics) {
            if (m.cellPerEm <= 0) {
                const int cell = pango_font_metrics_get_ascent(metrics) +
                                 pango_font_metrics_get_descent(metrics);
                m.cellPerEm = double(cell) / PANGO_SCALE / kRefPixels;
            }
            if (m.avgPerEm <= 0) {
                m.avgPerEm = double(pango_font_metrics_get_approximate_char_width(metrics)) /
                             PANGO_SCALE / kRefPixels;
            }
            pango_font_metrics_unref(metrics);
        }
        g_object_unref(font);
        m.ok = m.cellPerEm > 0 && m.avgPerEm > 0;
    }
    pango_font_description_free(desc);
    g_object_unref(context);
    return m;
}

// Fonts are made while skins load, many times over for the same face: resolve each face once.
struct FaceCache {
    std::mutex mutex;
    std::map<std::pair<std::string, int>, FaceMetrics> faces;
};

FaceCache& Faces() {
    static FaceCache cache;
    return cache;
}

FaceMetrics FaceMetricsFor(const std::string& family, int pangoWeight) {
    FaceCache& cache = Faces();
    std::lock_guard<std::mutex> lock(cache.mutex);
    auto key = std::make_pair(family, pangoWeight);
    auto it = cache.faces.find(key);
    if (it != cache.faces.end())
        return it->second;
    FaceMetrics m = LoadFaceMetrics(family, pangoWeight);
    if (m.ok)
        cache.faces.emplace(key, m);
    return m;
}

// Faces resolved ahead, one after another on a thread of their own, which ends with the
// process; it is made after the face cache, so that it is gone before the cache goes.
class FacesAhead {
public:
    ~FacesAhead() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
            m_queue.clear();
        }
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }
    void Add(std::string family, int weight) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.emplace_back(std::move(family), weight);
            if (!m_thread.joinable())
                m_thread = std::thread([this] { Work(); });
        }
        m_wake.notify_all();
    }

private:
    void Work() {
        for (;;) {
            std::pair<std::string, int> face;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
                if (m_stopping)
                    return;
                face = std::move(m_queue.front());
                m_queue.pop_front();
            }
            FaceMetricsFor(face.first, face.second);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<std::string, int>> m_queue;
    std::thread m_thread;
    bool m_stopping = false;
};

FacesAhead& Ahead() {
    Faces();
    static FacesAhead ahead;
    return ahead;
}

}  // namespace

void Font::PrepareAhead() {
    Ahead().Add(kWidgetFamily, PangoWeightOf(kWidgetWeight));
    Ahead().Add(kDefaultFamily, PangoWeightOf(kDefaultWeight));
}

void Font::PrepareFace(std::string_view family, int weight) {
    if (!family.empty())
        Ahead().Add(std::string(family), PangoWeightOf(weight));
}

bool Font::Create(std::string_view family, int height, int width, int weight, bool antialias,
                  Font& out) {
    if (height == INT_MIN || width == INT_MIN)
        return false;
    width = std::abs(width);
    if (std::abs(height) > kMaxFontPixels || width > kMaxFontPixels)
        return false;
    Font f;
    f.m_family = std::string(family);
    f.m_weight = PangoWeightOf(weight);
    f.m_antialias = antialias;
    const FaceMetrics m = FaceMetricsFor(f.m_family, f.m_weight);
    if (!m.ok)
        return false;
    if (height == 0)
        height = kDefaultHeight;
    if (height > 0) {
        f.m_height = height;
        f.m_emPx = height / m.cellPerEm;
    } else {
        f.m_emPx = -height;
        f.m_height = std::max(1, static_cast<int>(std::lround(f.m_emPx * m.cellPerEm)));
    }
    if (width > 0)
        f.m_xScale = std::clamp(width / (m.avgPerEm * f.m_emPx), kMinXScale, kMaxXScale);
    out = std::move(f);
    return true;
}

bool Font::CreateWidgetFont(int size, Font& out) {
    const long long height = 2ll * size;
    if (height > INT_MAX || height < INT_MIN)
        return false;
    return Create(kWidgetFamily, static_cast<int>(height), size, kWidgetWeight, true, out);
}

const Font& Font::Default() {
    static const Font font = [] {
        Font f;
        if (!Create(kDefaultFamily, kDefaultHeight, 0, kDefaultWeight, true, f)) {
            // No face measured: let pango pick any sans serif at a plausible size.
            f.m_family = "sans-serif";
            f.m_height = kDefaultHeight;
            f.m_emPx = kDefaultHeight * 0.87;
            f.m_weight = kDefaultWeight;
        }
        return f;
    }();
    return font;
}

Point MeasureText(const Font& font, std::u16string_view text, uint32_t format) {
    gfxdetail::TextLayout layout;
    if (!layout.IsValid() || !layout.Prepare(font.IsValid() ? font : Font::Default(), text, format))
        return Point{};
    double w = 0, h = 0, ox = 0, oy = 0;
    layout.DeviceSize(&w, &h, &ox, &oy);
    return Point{static_cast<int>(std::ceil(w)), static_cast<int>(std::ceil(h))};
}

namespace gfxdetail {

TextLayout::TextLayout() {
    PangoFontMap* map = pango_cairo_font_map_get_default();
    if (!map)
        return;
    m_context = pango_font_map_create_context(map);
    m_layout = pango_layout_new(m_context);
    m_desc = pango_font_description_new();
}

TextLayout::~TextLayout() {
    if (m_desc)
        pango_font_description_free(m_desc);
    if (m_layout)
        g_object_unref(m_layout);
    if (m_context)
        g_object_unref(m_context);
}

void TextLayout::ApplyFont(const Font& font) {
    if (font == m_font && m_font.IsValid())
        return;
    const bool optionsChanged = !m_font.IsValid() || font.Antialias() != m_font.Antialias();
    m_font = font;
    pango_font_description_set_family(m_desc, font.Family().c_str());
    pango_font_description_set_weight(m_desc, static_cast<PangoWeight>(font.Weight()));
    pango_font_description_set_absolute_size(m_desc, font.EmPixels() * PANGO_SCALE);
    pango_layout_set_font_description(m_layout, m_desc);
    if (optionsChanged) {
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_antialias(
            options, font.Antialias() ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
        // Unhinted metrics keep the horizontal stretch exact and layouts alike across machines.
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
        pango_cairo_context_set_font_options(m_context, options);
        cairo_font_options_destroy(options);
    }
    // The stretch is not given to pango, which would size the font to undo it: the text is
    // laid out unstretched and the canvas scales it horizontally while drawing.
    m_xScale = font.XScale();
    pango_layout_context_changed(m_layout);
}

bool TextLayout::Prepare(const Font& font, std::u16string_view text, uint32_t format) {
    // Texts end at their first NUL, as the stored strings do.
    const size_t nul = text.find(u'\0');
    if (nul != std::u16string_view::npos)
        text = text.substr(0, nul);
    if (text.empty())
        return false;
    ApplyFont(font);
    const std::string utf8 = Utf16ToUtf8(text);
    const bool single = (format & kTextSingleLine) != 0;
    pango_layout_set_single_paragraph_mode(m_layout, single);
    PangoAlignment align = PANGO_ALIGN_LEFT;
    if (format & kTextCenter)
        align = PANGO_ALIGN_CENTER;
    else if (format & kTextRight)
        align = PANGO_ALIGN_RIGHT;
    pango_layout_set_alignment(m_layout, align);
    // Plain text, never markup: '&' and '<' are drawn as they are.
    pango_layout_set_text(m_layout, utf8.data(), static_cast<int>(utf8.size()));
    return true;
}

void TextLayout::DeviceSize(double* width, double* height, double* originX, double* originY) const {
    PangoRectangle logical;
    pango_layout_get_extents(m_layout, nullptr, &logical);
    *width = double(logical.width) / PANGO_SCALE * m_xScale;
    *height = double(logical.height) / PANGO_SCALE;
    *originX = double(logical.x) / PANGO_SCALE * m_xScale;
    *originY = double(logical.y) / PANGO_SCALE;
}

}  // namespace gfxdetail

}  // namespace plat
