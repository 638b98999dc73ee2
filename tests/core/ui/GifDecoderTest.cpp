// The GIF picture loader on streams the tests write byte by byte.
#include <gtest/gtest.h>

#include <random>

#include "core/ui/GifDecoder.h"
#include "tests/core/ui/GifWriter.h"

using namespace giftest;

namespace {

uint32_t Opaque(uint32_t rgb) {
    return 0xFF000000u | rgb;
}

Palette RandomPalette(size_t n, uint32_t seed) {
    std::mt19937 r(seed);
    Palette p;
    for (size_t i = 0; i < n; ++i)
        p.push_back(r() & 0xFFFFFF);
    return p;
}

void ExpectPixels(const GifImage& im, int w, int h, const std::vector<uint8_t>& idx,
                  const Palette& pal) {
    ASSERT_EQ(im.pixels.Width(), w);
    ASSERT_EQ(im.pixels.Height(), h);
    int bad = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bad += im.pixels.PixelAt(x, y) != Opaque(pal[idx[y * w + x]]);
    EXPECT_EQ(bad, 0);
}

TEST(GifDecoder, DecodesDictionaryCodesAndGrowingCodeSizes) {
    Palette pal = RandomPalette(16, 1);
    const int w = 300, h = 200;
    std::vector<uint8_t> idx(w * h);
    for (int i = 0; i < w * h; ++i)
        idx[i] = static_cast<uint8_t>((i / 7 + (i / w) / 3) % 16);
    for (bool interlaced : {false, true}) {
        GifWriter g(w + 10, h + 5, pal);
        g.Image(3, 4, w, h, idx, {}, interlaced).Trailer();
        GifImage im;
        ASSERT_TRUE(GifDecodeImage(g.bytes.data(), g.bytes.size(), im)) << interlaced;
        EXPECT_EQ(im.screenWidth, w + 10);
        EXPECT_EQ(im.screenHeight, h + 5);
        EXPECT_EQ(im.left, 3);
        EXPECT_EQ(im.top, 4);
        ExpectPixels(im, w, h, idx, pal);
    }
}

TEST(GifDecoder, FullCodeTableClearsAndTwelveBitCodes) {
    // Noise in 256 colours fills the 4096-entry table several times over.
    Palette pal = RandomPalette(256, 2);
    const int w = 160, h = 120;
    std::mt19937 r(3);
    std::vector<uint8_t> idx(w * h);
    for (auto& v : idx)
        v = static_cast<uint8_t>(r() % 256);
    GifWriter g(w, h, pal);
    g.Image(0, 0, w, h, idx).Trailer();
    GifImage im;
    ASSERT_TRUE(GifDecodeImage(g.bytes.data(), g.bytes.size(), im));
    ExpectPixels(im, w, h, idx, pal);
}

TEST(GifDecoder, LocalColoursAndTheTransparentIndex) {
    Palette global = {0xFF0000, 0x00FF00};
    Palette local = {0x123456, 0xABCDEF, 0x0000FF, 0xFFFFFF};
    std::vector<uint8_t> idx = {0, 1, 2, 3, 3, 2, 1, 0};
    GifWriter g(4, 2, global);
    g.Comment("made by hand").Control(10, 0, 2).Image(0, 0, 4, 2, idx, local).Trailer();
    GifImage im;
    ASSERT_TRUE(GifDecodeImage(g.bytes.data(), g.bytes.size(), im));
    EXPECT_EQ(im.pixels.PixelAt(0, 0), Opaque(0x123456));
    EXPECT_EQ(im.pixels.PixelAt(1, 0), Opaque(0xABCDEF));
    EXPECT_EQ(im.pixels.PixelAt(2, 0), 0u);  // transparent
    EXPECT_EQ(im.pixels.PixelAt(3, 0), Opaque(0xFFFFFF));
    EXPECT_EQ(im.pixels.PixelAt(1, 1), 0u);
}

TEST(GifDecoder, DamagedDataKeepsThePixelsBeforeTheDamage) {
    Palette pal = RandomPalette(4, 4);
    const int w = 64, h = 64;
    std::vector<uint8_t> idx(w * h);
    for (int i = 0; i < w * h; ++i)
        idx[i] = static_cast<uint8_t>((i * 7 / 5) % 4);
    std::vector<uint8_t> lzw = LzwEncode(idx, 2);
    lzw.resize(lzw.size() / 2);
    // The halved code stream in a correct container.
    GifWriter g(w, h, pal);
    std::vector<uint8_t>& b = g.bytes;
    b.insert(b.end(), {0x2C, 0, 0, 0, 0, w, 0, h, 0, 0, 2});
    b.push_back(static_cast<uint8_t>(lzw.size()));
    b.insert(b.end(), lzw.begin(), lzw.end());
    b.insert(b.end(), {0x00, 0x3B});
    ASSERT_LT(lzw.size(), 255u);
    GifImage im;
    ASSERT_TRUE(GifDecodeImage(b.data(), b.size(), im));
    EXPECT_EQ(im.pixels.PixelAt(0, 0), Opaque(pal[idx[0]]));
    EXPECT_EQ(im.pixels.PixelAt(5, 1), Opaque(pal[idx[w + 5]]));
    EXPECT_EQ(im.pixels.PixelAt(w - 1, h - 1), 0u);

    // Cut inside its sub-blocks, the stream still gives what it holds.
    GifWriter cut(w, h, pal);
    cut.Image(0, 0, w, h, idx);
    size_t end = cut.bytes.size();
    for (size_t n = end - 10; n < end; ++n) {
        GifImage part;
        EXPECT_TRUE(GifDecodeImage(cut.bytes.data(), n, part)) << n;
    }
}

TEST(GifDecoder, RefusesWhatCannotBeShown) {
    Palette pal = {0xFF0000, 0x00FF00};
    auto decode = [](const std::vector<uint8_t>& b) {
        GifImage im;
        return GifDecodeImage(b.data(), b.size(), im);
    };
    // A first code that is no colour.
    GifWriter bad(2, 2, pal);
    bad.bytes.insert(bad.bytes.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 1, 0x7C, 0, 0x3B});
    EXPECT_FALSE(decode(bad.bytes));
    // Too large to allocate.
    GifWriter big(10, 10, pal);
    big.bytes.insert(big.bytes.end(), {0x2C, 0, 0, 0, 0, 0x88, 0x13, 0x88, 0x13, 0, 2, 0});
    big.bytes.push_back(0x3B);
    EXPECT_FALSE(decode(big.bytes));
    // No colour table at all.
    GifWriter none(2, 2, {});
    none.Image(0, 0, 2, 2, {0, 0, 0, 0});
    EXPECT_FALSE(decode(none.bytes));
    // Code sizes outside 1..8.
    for (uint8_t size : {0, 9, 12}) {
        GifWriter g(2, 2, pal);
        g.bytes.insert(g.bytes.end(), {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, size, 1, 0, 0, 0x3B});
        EXPECT_FALSE(decode(g.bytes)) << int(size);
    }
    // Not a GIF, too short, only a trailer.
    EXPECT_FALSE(decode({'G', 'I', 'F', '8', '9', 'a'}));
    GifWriter empty(2, 2, pal);
    empty.Trailer();
    EXPECT_FALSE(decode(empty.bytes));
    EXPECT_FALSE(GifDecodeImage(nullptr, 0, *std::make_unique<GifImage>()));
}

}  // namespace
