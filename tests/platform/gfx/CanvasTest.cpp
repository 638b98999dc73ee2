#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "platform/gfx/Canvas.h"
#include "tests/support/GfxTestSupport.h"

using namespace testsupport;
using plat::Argb;
using plat::Rect;

namespace {

constexpr uint32_t kBlue = Argb(255, 0, 0, 255);
constexpr uint32_t kBack = Argb(255, 20, 20, 20);

bool Near(uint32_t a, uint32_t b, int tolerance = 1) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

// A 4 x 3 picture in which every pixel differs.
plat::Surface Pattern() {
    plat::Surface p(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            p.SetPixel(x, y, Argb(255, uint8_t(40 * x + 10), uint8_t(60 * y + 5), 77));
    return p;
}

}  // namespace

TEST(Canvas, NoCanvasOverAnEmptySurface) {
    plat::Surface empty;
    EXPECT_EQ(plat::MakeCanvas(empty), nullptr);
}

TEST(Canvas, FillReplacesWithOpaqueAndBlendsWithTranslucentColours) {
    plat::Surface s = SolidImage(20, 10, kBlue);
    auto c = plat::MakeCanvas(s);
    ASSERT_NE(c, nullptr);
    c->FillRect(Rect{2, 3, 6, 5}, Argb(255, 255, 0, 0));
    EXPECT_EQ(CountPixels(s, s.Bounds(), Argb(255, 255, 0, 0)), 8);
    EXPECT_EQ(InkBox(s, kBlue), (Rect{2, 3, 6, 5}));
    // Half-transparent white over blue.
    c->FillRect(Rect{10, 0, 12, 1}, Argb(128, 255, 255, 255));
    EXPECT_TRUE(Near(s.PixelAt(10, 0), Argb(255, 128, 128, 255)));
    // Rectangles reaching far outside are cut to the surface.
    c->FillRect(Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, kBack);
    EXPECT_EQ(CountPixels(s, s.Bounds(), kBack), 200);
}

TEST(Canvas, ImageAtNaturalSizeIsCopiedExactly) {
    plat::Surface s = SolidImage(20, 20, kBack);
    const plat::Surface p = Pattern();
    auto c = plat::MakeCanvas(s);
    c->DrawImage(p, 5, 7);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(s.PixelAt(5 + x, 7 + y), p.PixelAt(x, y)) << x << "," << y;
    EXPECT_EQ(InkBox(s, kBack), (Rect{5, 7, 9, 10}));
    // Partly off the surface: what is on it lands where it belongs.
    c->DrawImage(p, -2, 18);
    EXPECT_EQ(s.PixelAt(0, 18), p.PixelAt(2, 0));
    EXPECT_EQ(s.PixelAt(1, 19), p.PixelAt(3, 1));
}

TEST(Canvas, TranslucentImagesBlendOverOrReplaceOnCopy) {
    plat::Surface s = SolidImage(4, 1, kBlue);
    // Premultiplied half-transparent red.
    const plat::Surface red = SolidImage(2, 1, Argb(128, 128, 0, 0));
    auto c = plat::MakeCanvas(s);
    c->DrawImage(red, 0, 0);
    EXPECT_TRUE(Near(s.PixelAt(0, 0), Argb(255, 128, 0, 127)));
    c->DrawImage(red, 2, 0, plat::Blend::Copy);
    EXPECT_EQ(s.PixelAt(2, 0), Argb(128, 128, 0, 0));
    EXPECT_EQ(s.PixelAt(3, 0), Argb(128, 128, 0, 0));
}

TEST(Canvas, ScaledFrameOfAStripTakesNothingFromItsNeighbours) {
    const uint32_t colours[4] = {Argb(255, 255, 0, 0), Argb(255, 0, 255, 0), Argb(255, 255, 255, 0),
                                 Argb(255, 0, 255, 255)};
    const plat::Surface strip =
        StripImage(10, 10, {colours[0], colours[1], colours[2], colours[3]});
    plat::Surface s = SolidImage(60, 60, kBack);
    auto c = plat::MakeCanvas(s);
    // Frame 2 blown up five times, and frame 1 shrunk to 7 x 7.
    c->DrawImage(strip, Rect{20, 0, 30, 10}, Rect{3, 4, 53, 54});
    EXPECT_EQ(CountPixels(s, s.Bounds(), colours[2]), 50 * 50);
    EXPECT_EQ(InkBox(s, kBack), (Rect{3, 4, 53, 54}));
    c->DrawImage(strip, Rect{10, 0, 20, 10}, Rect{53, 53, 60, 60});
    EXPECT_EQ(CountPixels(s, Rect{53, 53, 60, 60}, colours[1]), 49);
}

TEST(Canvas, StretchedImageFillsItsRectangle) {
    // 200 x 50: left half red, right half green, into 100 x 100.
    plat::Surface img = StripImage(100, 50, {Argb(255, 255, 0, 0), Argb(255, 0, 255, 0)});
    plat::Surface s = SolidImage(120, 120, kBack);
    auto c = plat::MakeCanvas(s);
    c->DrawImage(img, img.Bounds(), Rect{10, 10, 110, 110});
    EXPECT_EQ(InkBox(s, kBack), (Rect{10, 10, 110, 110}));
    EXPECT_EQ(s.PixelAt(12, 12), Argb(255, 255, 0, 0));
    EXPECT_EQ(s.PixelAt(58, 108), Argb(255, 255, 0, 0));
    EXPECT_EQ(s.PixelAt(62, 12), Argb(255, 0, 255, 0));
    EXPECT_EQ(s.PixelAt(108, 108), Argb(255, 0, 255, 0));
}

TEST(Canvas, OnlyTheSourceInsideTheImageIsDrawn) {
    plat::Surface s = SolidImage(30, 10, kBack);
    auto c = plat::MakeCanvas(s);
    const plat::Surface img = SolidImage(10, 10, kBlue);
    // The left half of the source lies left of the image: the left half of the target stays.
    c->DrawImage(img, Rect{-10, 0, 10, 10}, Rect{0, 0, 20, 10});
    EXPECT_EQ(InkBox(s, kBack), (Rect{10, 0, 20, 10}));
    EXPECT_EQ(CountPixels(s, s.Bounds(), kBlue), 100);
    // Entirely outside, empty, inverted or absurdly far: nothing.
    c->DrawImage(img, Rect{10, 0, 20, 10}, Rect{0, 0, 10, 10});
    c->DrawImage(img, Rect{0, 0, 10, 10}, Rect{25, 5, 25, 9});
    c->DrawImage(img, Rect{0, 0, 10, 10}, Rect{29, 9, 20, 0});
    c->DrawImage(img, Rect{0, 0, 10, 10}, Rect{INT_MIN, 0, INT_MAX, 10});
    c->DrawImage(img, INT_MAX - 2, 0);
    EXPECT_EQ(CountPixels(s, s.Bounds(), kBlue), 100);
}

TEST(Canvas, ClipLimitsEveryDrawing) {
    plat::Surface s = SolidImage(40, 40, kBack);
    auto c = plat::MakeCanvas(s);
    c->SetClip(Rect{10, 10, 20, 20});
    EXPECT_EQ(c->GetClip(), (Rect{10, 10, 20, 20}));
    c->FillRect(Rect{0, 0, 40, 15}, kBlue);
    c->DrawImage(SolidImage(40, 40, Argb(255, 0, 255, 0)), 0, 0);
    c->SetTextColor(Argb(255, 255, 255, 255));
    c->DrawText(u"WWWWWWWWWW", Rect{0, 0, 40, 40},
                plat::kTextCenter | plat::kTextVCenter | plat::kTextSingleLine);
    EXPECT_EQ(InkBox(s, kBack), (Rect{10, 10, 20, 20}));
    c->ResetClip();
    EXPECT_EQ(c->GetClip(), s.Bounds());
    c->FillRect(Rect{0, 39, 1, 40}, kBlue);
    EXPECT_EQ(s.PixelAt(0, 39), kBlue);
    // A clip beyond the surface is cut to it.
    c->SetClip(Rect{-5, -5, 3, 3});
    EXPECT_EQ(c->GetClip(), (Rect{0, 0, 3, 3}));
}
