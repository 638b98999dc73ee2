#include <gtest/gtest.h>

#include <utility>

#include "platform/gfx/Surface.h"

namespace {

// Small pictures live on the heap, large ones in pages of their own: each case runs on both.
const int kSizes[][2] = {{7, 5}, {800, 600}};

bool AllPixels(const plat::Surface& s, uint32_t argb) {
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.PixelAt(x, y) != argb)
                return false;
    return true;
}

// A pattern that tells every pixel from its neighbours.
void Paint(plat::Surface& s, uint32_t seed) {
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            s.SetPixel(x, y, seed + uint32_t(y * s.Width() + x));
}

bool HasPattern(const plat::Surface& s, uint32_t seed) {
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            if (s.PixelAt(x, y) != seed + uint32_t(y * s.Width() + x))
                return false;
    return true;
}

}  // namespace

TEST(Surface, ComesTransparentBlackWhenMadeAndMadeAgain) {
    for (const auto& size : kSizes) {
        plat::Surface s(size[0], size[1]);
        ASSERT_EQ(s.Width(), size[0]);
        ASSERT_EQ(s.Height(), size[1]);
        EXPECT_TRUE(AllPixels(s, 0));
        // Made again at the same size, and at another, over a painted picture.
        s.Fill(0xFF123456u);
        ASSERT_TRUE(s.Create(size[0], size[1]));
        EXPECT_TRUE(AllPixels(s, 0));
        s.Fill(0xFF123456u);
        ASSERT_TRUE(s.Create(size[0] + 3, size[1] + 1));
        EXPECT_TRUE(AllPixels(s, 0));
        // Out-of-range pixels read 0 and take no writes, at both ends of the memory.
        s.SetPixel(-1, 0, 1);
        s.SetPixel(s.Width(), s.Height() - 1, 1);
        EXPECT_EQ(s.PixelAt(s.Width(), 0), 0u);
        EXPECT_EQ(s.PixelAt(0, s.Height()), 0u);
        EXPECT_TRUE(AllPixels(s, 0));

        EXPECT_FALSE(s.Create(0, size[1]));
        EXPECT_TRUE(s.IsEmpty());
        EXPECT_EQ(s.Pixels(), nullptr);
    }
}

TEST(Surface, CopiesAreTheirOwnAndMovesLeaveNothingBehind) {
    for (const auto& size : kSizes) {
        plat::Surface a(size[0], size[1]);
        Paint(a, 1000);

        plat::Surface copy(a);
        EXPECT_NE(copy.Pixels(), a.Pixels());
        EXPECT_TRUE(HasPattern(copy, 1000));
        copy.Fill(7);
        EXPECT_TRUE(HasPattern(a, 1000));

        // Over a picture of the same size (its memory is reused), of another size, and of the
        // other kind of memory.
        plat::Surface same(size[0], size[1]);
        same = a;
        EXPECT_TRUE(HasPattern(same, 1000));
        for (const auto& other : kSizes) {
            plat::Surface b(other[0] + 1, other[1]);
            b.Fill(9);
            b = a;
            EXPECT_EQ(b.Width(), a.Width());
            EXPECT_EQ(b.Height(), a.Height());
            EXPECT_TRUE(HasPattern(b, 1000));
        }
        // An empty picture copied over a full one empties it.
        plat::Surface emptied(a);
        emptied = plat::Surface();
        EXPECT_TRUE(emptied.IsEmpty());

        const plat::Surface& self = same;
        same = self;
        EXPECT_TRUE(HasPattern(same, 1000));

        const uint32_t* memory = a.Pixels();
        plat::Surface moved(std::move(a));
        EXPECT_EQ(moved.Pixels(), memory);
        EXPECT_TRUE(HasPattern(moved, 1000));
        // What was moved from is empty: reading it gives nothing rather than a wild read.
        EXPECT_TRUE(a.IsEmpty());  // NOLINT(bugprone-use-after-move)
        EXPECT_EQ(a.PixelAt(0, 0), 0u);
        plat::Surface target(3, 3);
        target = std::move(moved);
        EXPECT_EQ(target.Pixels(), memory);
        EXPECT_TRUE(HasPattern(target, 1000));
        EXPECT_TRUE(moved.IsEmpty());  // NOLINT(bugprone-use-after-move)
        EXPECT_EQ(moved.PixelAt(1, 1), 0u);

        target.Reset();
        EXPECT_TRUE(target.IsEmpty());
        EXPECT_EQ(target.Pixels(), nullptr);
    }
}
