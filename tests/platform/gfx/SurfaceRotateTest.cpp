#include <gtest/gtest.h>

#include "platform/gfx/Surface.h"

TEST(SurfaceRotate, QuarterTurnClockwiseWithoutMirroring) {
    // 3 x 2:  a b c
    //         d e f
    plat::Surface s(3, 2);
    for (int i = 0; i < 6; ++i)
        s.SetPixel(i % 3, i / 3, 0xFF000000u + uint32_t(i + 1));
    const plat::Surface r = plat::RotateClockwise90(s);
    ASSERT_EQ(r.Width(), 2);
    ASSERT_EQ(r.Height(), 3);
    // Turned right:  d a
    //                e b
    //                f c
    const uint32_t expect[3][2] = {{4, 1}, {5, 2}, {6, 3}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(r.PixelAt(x, y), 0xFF000000u + expect[y][x]) << x << "," << y;
    // Four turns give the picture back.
    plat::Surface back =
        plat::RotateClockwise90(plat::RotateClockwise90(plat::RotateClockwise90(r)));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(back.PixelAt(i % 3, i / 3), s.PixelAt(i % 3, i / 3));
    EXPECT_TRUE(plat::RotateClockwise90(plat::Surface()).IsEmpty());
}
