// Fonts as the system asks for them: a face name, a cell height and an average character
// width in pixels, a weight. The face is resolved through fontconfig ("Times New Roman" is
// Liberation Serif here) and scaled horizontally so that its average character width is the
// width asked for, as the skins were laid out for.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/gfx/Surface.h"

namespace plat {

// Text layout flags; the values are those of the stored format words, so a stored format is
// passed as it stands. Vertical centring and bottom alignment work on single lines only; without
// kTextSingleLine the text breaks at CR LF (or a lone CR or LF) and starts at the top. Text is
// always clipped to its rectangle and every character is drawn as it is ('&' included).
enum : uint32_t {
    kTextLeft = 0x00,
    kTextCenter = 0x01,
    kTextRight = 0x02,
    kTextVCenter = 0x04,
    kTextBottom = 0x08,
    kTextSingleLine = 0x20,
};

// A resolved font: a plain value, copied freely. It keeps no pointer into the code that made
// it, so a font made by the library may be handed to a canvas made by the program.
class Font {
public:
    // Not a font: a canvas given it draws in its default font.
    Font() = default;

    // height: cell height in pixels (ascent + descent); a negative height asks for that many
    // pixels of em instead; 0 takes 16. width: average character width in pixels (0: the
    // face's own proportions; negative counts as positive). weight: 1..1000, 0 is normal,
    // anything above 1000 is the heaviest. False (and `out` untouched) when no face can be
    // found or the sizes are beyond 4096 pixels.
    static bool Create(std::string_view family, int height, int width, int weight, bool antialias,
                       Font& out);

    // The recipe every widget uses: face "Times New Roman", height 2 x size, width size,
    // weight 1200, antialiased. Sizes whose double does not fit fail like any bad size.
    static bool CreateWidgetFont(int size, Font& out);

    // The canvas default (a bold sans serif 16 pixels high).
    static const Font& Default();

    // Resolves the faces of the widget and default fonts on a thread of its own, so that the
    // first fonts made find them ready; what any font is made of stays the same.
    static void PrepareAhead();
    // The same for one face that a font will be made of soon (weight as for Create).
    static void PrepareFace(std::string_view family, int weight);

    bool IsValid() const { return m_emPx > 0; }
    const std::string& Family() const { return m_family; }
    int Height() const { return m_height; }
    // Size of the em in pixels and the horizontal stretch applied to it.
    double EmPixels() const { return m_emPx; }
    double XScale() const { return m_xScale; }
    int Weight() const { return m_weight; }
    bool Antialias() const { return m_antialias; }

    bool operator==(const Font& o) const {
        return m_family == o.m_family && m_height == o.m_height && m_emPx == o.m_emPx &&
               m_xScale == o.m_xScale && m_weight == o.m_weight && m_antialias == o.m_antialias;
    }
    bool operator!=(const Font& o) const { return !(*this == o); }

private:
    std::string m_family;
    int m_height = 0;
    double m_emPx = 0;
    double m_xScale = 1;
    int m_weight = 400;
    bool m_antialias = true;
};

// Width and height in pixels that DrawText gives the text with these format flags (only
// kTextSingleLine matters). An invalid font measures as the default font.
Point MeasureText(const Font& font, std::u16string_view text, uint32_t format);

}  // namespace plat
