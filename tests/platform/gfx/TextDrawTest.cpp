#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

#include "platform/gfx/Canvas.h"
#include "platform/gfx/Font.h"
#include "tests/support/GfxTestSupport.h"

using namespace testsupport;
using plat::Argb;
using plat::Rect;

// Glyph shapes differ between machines: these tests measure where ink lands, never exact
// pixels (except between two drawings made here with the same face).

namespace {

constexpr uint32_t kBack = Argb(255, 0, 0, 0);
constexpr uint32_t kWhite = Argb(255, 255, 255, 255);
constexpr uint32_t kSingle = plat::kTextSingleLine;

plat::Font WidgetFont(int size) {
    plat::Font f;
    EXPECT_TRUE(plat::Font::CreateWidgetFont(size, f));
    return f;
}

// Draws one text on a fresh black surface and returns the surface.
plat::Surface Draw(const plat::Font& font, std::u16string_view text, const Rect& rect,
                   uint32_t format, int w = 400, int h = 200) {
    plat::Surface s = SolidImage(w, h, kBack);
    auto c = plat::MakeCanvas(s);
    c->SetFont(font);
    c->SetTextColor(kWhite);
    c->DrawText(text, rect, format);
    return s;
}

Rect Ink(const plat::Surface& s) {
    return InkBox(s, kBack);
}

}  // namespace

TEST(TextDraw, WidgetRecipeIsHeavyLiberationSerifOfTheAskedCell) {
    const plat::Font f = WidgetFont(16);
    EXPECT_EQ(f.Height(), 32);
    // "Times New Roman" at weight 1200 draws exactly as Liberation Serif Bold does.
    plat::Font serifBold, sansBold;
    ASSERT_TRUE(plat::Font::Create("Liberation Serif", 32, 16, 700, true, serifBold));
    ASSERT_TRUE(plat::Font::Create("Liberation Sans", 32, 16, 700, true, sansBold));
    const Rect r{0, 0, 400, 100};
    const plat::Surface a = Draw(f, u"Rock & Roll", r, kSingle);
    const plat::Surface b = Draw(serifBold, u"Rock & Roll", r, kSingle);
    const plat::Surface c = Draw(sansBold, u"Rock & Roll", r, kSingle);
    EXPECT_GT(CountInk(a, r, kBack), 100);
    EXPECT_EQ(std::vector<uint32_t>(a.Pixels(), a.Pixels() + 400 * 200),
              std::vector<uint32_t>(b.Pixels(), b.Pixels() + 400 * 200));
    EXPECT_NE(std::vector<uint32_t>(a.Pixels(), a.Pixels() + 400 * 200),
              std::vector<uint32_t>(c.Pixels(), c.Pixels() + 400 * 200));
    // A regular weight looks different again.
    plat::Font serif;
    ASSERT_TRUE(plat::Font::Create("Times New Roman", 32, 16, 400, true, serif));
    EXPECT_LT(CountInk(Draw(serif, u"Rock & Roll", r, kSingle), r, kBack), CountInk(a, r, kBack));
}

TEST(TextDraw, CharacterWidthFollowsTheAskedAverage) {
    plat::Font narrow, wide, natural;
    ASSERT_TRUE(plat::Font::Create("Times New Roman", 40, 8, 1200, true, narrow));
    ASSERT_TRUE(plat::Font::Create("Times New Roman", 40, 16, 1200, true, wide));
    ASSERT_TRUE(plat::Font::Create("Times New Roman", 40, 0, 1200, true, natural));
    const std::u16string_view text = u"abcdefghijklmnopqrstuvwxyz";
    const int wn = plat::MeasureText(narrow, text, kSingle).x;
    const int ww = plat::MeasureText(wide, text, kSingle).x;
    EXPECT_NEAR(double(ww) / wn, 2.0, 0.05);
    // Letters average near the asked width (the face's average counts every glyph).
    EXPECT_NEAR(ww / 26.0, 16.0, 16.0 * 0.25);
    // Unstretched, a 40-pixel cell is much wider than 8 pixels a character.
    EXPECT_GT(plat::MeasureText(natural, text, kSingle).x, wn * 3 / 2);
    // Drawn ink scales the same way.
    const Rect r{0, 0, 800, 100};
    const int inkN = Ink(Draw(narrow, text, r, kSingle, 800, 100)).Width();
    const int inkW = Ink(Draw(wide, text, r, kSingle, 800, 100)).Width();
    EXPECT_NEAR(double(inkW) / inkN, 2.0, 0.08);
}

TEST(TextDraw, LinesAreOneCellHighAndBreakAtCrLf) {
    const plat::Font f = WidgetFont(16);
    EXPECT_NEAR(plat::MeasureText(f, u"Hg", kSingle).y, 32, 1);
    EXPECT_NEAR(plat::MeasureText(f, u"H\r\nH\r\nH", 0).y, 96, 2);
    // Two lines: the second H starts one cell lower than the first.
    const plat::Surface s = Draw(f, u"H\r\nH", Rect{10, 10, 300, 190}, 0);
    const Rect first = InkBox(s, kBack, Rect{0, 0, 400, 42});
    const Rect both = Ink(s);
    ASSERT_FALSE(first.IsEmpty());
    EXPECT_NEAR(both.top + 32, both.bottom - first.Height(), 1);
    // A lone LF breaks too; on a single line the break is no break.
    EXPECT_GT(Ink(Draw(f, u"H\nH", Rect{10, 10, 300, 190}, 0)).Height(), 40);
    EXPECT_LT(Ink(Draw(f, u"H\r\nH", Rect{10, 10, 300, 190}, kSingle)).Height(), 32);
}

TEST(TextDraw, HorizontalAlignment) {
    const plat::Font f = WidgetFont(12);
    const Rect r{40, 20, 360, 80};
    const Rect left = Ink(Draw(f, u"Hello", r, kSingle));
    const Rect centre = Ink(Draw(f, u"Hello", r, kSingle | plat::kTextCenter));
    const Rect right = Ink(Draw(f, u"Hello", r, kSingle | plat::kTextRight));
    ASSERT_FALSE(left.IsEmpty());
    EXPECT_GE(left.left, r.left);
    EXPECT_LE(left.left, r.left + 4);
    EXPECT_LE(right.right, r.right);
    EXPECT_GE(right.right, r.right - 4);
    EXPECT_NEAR((centre.left + centre.right) / 2.0, (r.left + r.right) / 2.0, 2.5);
    // Same glyphs, only moved.
    EXPECT_EQ(left.Width(), right.Width());
    EXPECT_EQ(left.top, centre.top);
    // Each line of a multi-line text is aligned on its own.
    const plat::Surface two = Draw(f, u"Hi\r\nHello there", r, plat::kTextRight);
    const Rect line1 = InkBox(two, kBack, Rect{0, 0, 400, r.top + 24});
    const Rect line2 = InkBox(two, kBack, Rect{0, r.top + 24, 400, 200});
    EXPECT_NEAR(line1.right, line2.right, 3);
    EXPECT_LT(line2.left, line1.left - 20);
}

TEST(TextDraw, VerticalCentreAndBottomWorkOnSingleLines) {
    const plat::Font f = WidgetFont(12);  // 24-pixel cell
    const Rect r{20, 20, 380, 120};       // 100 high
    const Rect top = Ink(Draw(f, u"Hg", r, kSingle));
    const Rect mid = Ink(Draw(f, u"Hg", r, kSingle | plat::kTextVCenter));
    const Rect low = Ink(Draw(f, u"Hg", r, kSingle | plat::kTextBottom));
    ASSERT_FALSE(top.IsEmpty());
    EXPECT_NEAR(mid.top - top.top, (100 - 24) / 2, 1);
    EXPECT_NEAR(low.top - top.top, 100 - 24, 1);
    EXPECT_LE(low.bottom, r.bottom);
    // Without the single-line flag both are ignored and the text stays at the top.
    EXPECT_EQ(Ink(Draw(f, u"Hg", r, plat::kTextVCenter)), top);
    EXPECT_EQ(Ink(Draw(f, u"Hg", r, plat::kTextBottom)), top);
}

TEST(TextDraw, TextStaysInsideItsRectangle) {
    const plat::Font f = WidgetFont(16);
    const Rect r{100, 50, 160, 70};  // narrower and lower than the text
    const plat::Surface s =
        Draw(f, u"A rather long caption", r, kSingle | plat::kTextCenter | plat::kTextVCenter);
    const Rect ink = Ink(s);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_EQ(ink.Intersect(r), ink);
    // Far outside or empty rectangles draw nothing and do no harm.
    EXPECT_TRUE(Ink(Draw(f, u"x", Rect{INT_MIN, 0, INT_MIN + 100, 50}, kSingle)).IsEmpty());
    EXPECT_TRUE(Ink(Draw(f, u"x", Rect{INT_MIN, 0, 100, 50}, kSingle | plat::kTextRight)).Width() >
                0);
    EXPECT_TRUE(Ink(Draw(f, u"x", Rect{10, 10, 10, 50}, kSingle)).IsEmpty());
}

TEST(TextDraw, EveryCharacterIsDrawnAsItStands) {
    const plat::Font f = WidgetFont(16);
    const Rect r{0, 0, 400, 100};
    // No mnemonic prefixes: a lone '&' shows, and "&&" shows two of them.
    const Rect one = Ink(Draw(f, u"&", r, kSingle));
    const Rect two = Ink(Draw(f, u"&&", r, kSingle));
    ASSERT_FALSE(one.IsEmpty());
    EXPECT_GT(two.Width(), one.Width() * 3 / 2);
    EXPECT_GT(plat::MeasureText(f, u"Rock & Roll", kSingle).x,
              plat::MeasureText(f, u"Rock  Roll", kSingle).x);
    // No markup either.
    EXPECT_GT(plat::MeasureText(f, u"<b>x</b>", kSingle).x,
              plat::MeasureText(f, u"xxxx", kSingle).x);
    // The stored text ends at its terminator.
    EXPECT_EQ(plat::MeasureText(f, std::u16string_view(u"ab\0cd", 5), kSingle).x,
              plat::MeasureText(f, u"ab", kSingle).x);
    EXPECT_EQ(plat::MeasureText(f, u"", kSingle).x, 0);
}

TEST(TextDraw, ChineseAndJapaneseHaveRealGlyphs) {
    const plat::Font f = WidgetFont(24);
    const Rect r{0, 0, 400, 100};
    EXPECT_GT(CountInk(Draw(f, u"中文歌曲", r, kSingle), r, kBack), 200);
    EXPECT_GT(CountInk(Draw(f, u"日本語のテキスト", r, kSingle), r, kBack), 200);
    // A missing glyph is drawn as a box, inked in all four corners; these characters have at
    // least one empty corner.
    for (const char16_t* ch : {u"中", u"文", u"の", u"す", u"人", u"テ"}) {
        const plat::Surface s = Draw(f, ch, r, kSingle);
        const Rect ink = Ink(s);
        ASSERT_GT(ink.Width(), 10) << "no glyph";
        ASSERT_GT(ink.Height(), 10) << "no glyph";
        int inkedCorners = 0;
        for (const Rect& corner : {Rect{ink.left, ink.top, ink.left + 3, ink.top + 3},
                                   Rect{ink.right - 3, ink.top, ink.right, ink.top + 3},
                                   Rect{ink.left, ink.bottom - 3, ink.left + 3, ink.bottom},
                                   Rect{ink.right - 3, ink.bottom - 3, ink.right, ink.bottom}})
            inkedCorners += CountInk(s, corner, kBack) > 0;
        EXPECT_LT(inkedCorners, 4) << "drawn as a box";
    }
}

TEST(TextDraw, CanvasKeepsFontAndColourUntilChanged) {
    plat::Surface s = SolidImage(200, 60, kBack);
    auto c = plat::MakeCanvas(s);
    EXPECT_EQ(c->GetTextColor(), Argb(255, 0, 0, 0));
    EXPECT_EQ(c->GetFont(), plat::Font::Default());
    // The default font draws.
    c->SetTextColor(Argb(255, 250, 250, 250));
    c->DrawText(u"Default", Rect{0, 0, 200, 30}, kSingle);
    EXPECT_GT(CountInk(s, Rect{0, 0, 200, 30}, kBack), 50);
    const plat::Font f = WidgetFont(10);
    c->SetFont(f);
    EXPECT_EQ(c->GetFont(), f);
    c->DrawText(u"Second", Rect{0, 30, 200, 60}, kSingle);
    // The brightest pixel of solid strokes is the text colour itself.
    uint32_t brightest = 0;
    for (int y = 30; y < 60; ++y)
        for (int x = 0; x < 200; ++x)
            brightest = std::max(brightest, s.PixelAt(x, y) & 0xFFFFFF);
    EXPECT_EQ(brightest, 0xFAFAFAu);
    c->SetFont(plat::Font());
    EXPECT_EQ(c->GetFont(), plat::Font::Default());
}

TEST(TextDraw, FontRequestsOutOfRangeFail) {
    plat::Font f;
    EXPECT_FALSE(plat::Font::CreateWidgetFont(INT_MAX, f));
    EXPECT_FALSE(plat::Font::CreateWidgetFont(INT_MIN, f));
    EXPECT_FALSE(plat::Font::Create("Times New Roman", 5000, 10, 400, true, f));
    EXPECT_FALSE(f.IsValid());
    // Size 0 asks for a default size; a negative height is an em size.
    ASSERT_TRUE(plat::Font::CreateWidgetFont(0, f));
    EXPECT_EQ(f.Height(), 16);
    ASSERT_TRUE(plat::Font::Create("Times New Roman", -20, 0, 0, true, f));
    EXPECT_EQ(f.EmPixels(), 20);
    EXPECT_GT(f.Height(), 20);
}

TEST(TextDraw, FacesLookedUpAheadMakeTheFontsTheyWouldHaveMadeAnyway) {
    // Asked for while the faces are still being looked up, from several threads at once.
    const std::vector<std::pair<const char*, int>> faces = {{"Times New Roman", 700},
                                                            {"WenQuanYi Micro Hei", 400},
                                                            {"Liberation Sans", 300},
                                                            {"No Such Face At All", 400}};
    plat::Font::PrepareAhead();
    for (const auto& [family, weight] : faces)
        plat::Font::PrepareFace(family, weight);
    plat::Font::PrepareFace("", 400);  // nothing to look up
    std::vector<std::vector<plat::Font>> made(4);
    std::vector<std::thread> threads;
    for (auto& fonts : made) {
        threads.emplace_back([&faces, &fonts] {
            for (const auto& [family, weight] : faces) {
                plat::Font f;
                plat::Font::Create(family, 30, 0, weight, true, f);
                fonts.push_back(f);
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    for (size_t i = 0; i < faces.size(); ++i) {
        plat::Font again;
        plat::Font::Create(faces[i].first, 30, 0, faces[i].second, true, again);
        for (const auto& fonts : made)
            EXPECT_EQ(fonts[i], again) << faces[i].first;
        const Rect r{0, 0, 400, 100};
        EXPECT_GT(CountInk(Draw(again, u"Rock \u6f22\u5b57", r, kSingle), r, kBack), 100)
            << faces[i].first;
    }
    // The widget recipe stays what it is.
    EXPECT_EQ(WidgetFont(16).Height(), 32);
}
