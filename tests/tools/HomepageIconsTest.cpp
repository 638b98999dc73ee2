#include "tools/skin/HomepageIcons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/GfxTestSupport.h"
#include "tools/skin/Icons.h"

namespace {

constexpr int kSide = 64;
constexpr int kAt = 20;

// A glyph drawn at (kAt, kAt) in a box of kSide on a clear surface with room around it.
plat::Surface Glyph(const std::string& name, bool* known = nullptr) {
    plat::Surface s(kSide + 2 * kAt, kSide + 2 * kAt);
    s.Fill(0);
    bool ok = skin::DrawHomepageIcon(s, s.Bounds(), name, kAt, kAt, kSide,
                                     skin::Paint::Colour(0xFFFFFFFF));
    if (known)
        *known = ok;
    return s;
}

const char* const kGlyphs[] = {
    "music",   "movie",    "photo", "radio",     "navigation", "tv",    "settings",   "aux",
    "browser", "internet", "chat",  "bluetooth", "apps",       "clock", "screen-off", "padlock"};

}  // namespace

TEST(HomepageIcons, EveryGlyphFillsItsBoxAndNothingOutsideIt) {
    for (const char* name : kGlyphs) {
        bool known = false;
        plat::Surface s = Glyph(name, &known);
        ASSERT_TRUE(known) << name;
        const plat::Rect box = plat::Rect::FromXYWH(kAt, kAt, kSide, kSide);
        const plat::Rect ink = testsupport::InkBox(s, 0);
        EXPECT_EQ(ink.Intersect(box), ink) << name << ": drawn outside its box";
        // A glyph reads at a glance: it spans most of its box one way or the other and covers
        // a fair part of it.
        EXPECT_GT(std::max(ink.Width(), ink.Height()), kSide * 7 / 10) << name;
        EXPECT_GT(testsupport::CountInk(s, box, 0), kSide * kSide / 10) << name;
    }
}

TEST(HomepageIcons, HolesAreCutThrough) {
    auto clear = [](const plat::Surface& s, double u, double v) {
        return s.PixelAt(kAt + static_cast<int>(u * kSide), kAt + static_cast<int>(v * kSide)) == 0;
    };
    EXPECT_TRUE(clear(Glyph("settings"), 0.5, 0.5)) << "the gear's hole";
    EXPECT_TRUE(clear(Glyph("padlock"), 0.5, 0.62)) << "the keyhole";
    // The arrow runs through the whole cloud, the parts where its puffs overlap included.
    plat::Surface cloud = Glyph("internet");
    for (double v : {0.36, 0.44, 0.50, 0.58, 0.64})
        EXPECT_TRUE(clear(cloud, 0.5, v)) << v;
    EXPECT_FALSE(clear(cloud, 0.3, 0.65));
}

TEST(HomepageIcons, UnknownNamesAreRefusedAndTheButtonGlyphsStillDraw) {
    bool known = true;
    plat::Surface s = Glyph("no-such-glyph", &known);
    EXPECT_FALSE(known);
    EXPECT_EQ(testsupport::CountInk(s, s.Bounds(), 0), 0);
    // Through the generator's own list: its glyphs first, the homepage's after them.
    plat::Surface t(kSide, kSide);
    t.Fill(0);
    const skin::Paint white = skin::Paint::Colour(0xFFFFFFFF);
    EXPECT_TRUE(skin::DrawIcon(t, t.Bounds(), "play", 0, 0, kSide, white, 0, 1));
    EXPECT_TRUE(skin::DrawIcon(t, t.Bounds(), "music", 0, 0, kSide, white, 0, 1));
    EXPECT_FALSE(skin::DrawIcon(t, t.Bounds(), "no-such-glyph", 0, 0, kSide, white, 0, 1));
}
