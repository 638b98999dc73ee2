#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/gfx/ImageFile.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using plat::Argb;

namespace {

bool Load(const std::vector<uint8_t>& bytes, plat::Surface& out) {
    return plat::LoadImageData(bytes.data(), bytes.size(), out);
}

}  // namespace

TEST(ImageFile, PngAlphaBecomesPremultiplied) {
    // Half-transparent red, opaque blue, fully transparent green.
    const std::vector<uint8_t> rgba = {255, 0, 0, 128, 0, 0, 255, 255, 0, 255, 0, 0};
    plat::Surface s;
    ASSERT_TRUE(Load(EncodePngStored(3, 1, rgba), s));
    ASSERT_EQ(s.Width(), 3);
    ASSERT_EQ(s.Height(), 1);
    EXPECT_EQ(s.PixelAt(0, 0), Argb(128, 128, 0, 0));
    EXPECT_EQ(s.PixelAt(1, 0), Argb(255, 0, 0, 255));
    EXPECT_EQ(s.PixelAt(2, 0), 0u);
}

TEST(ImageFile, FileFromDiskAndTheFormatComesFromTheContent) {
    TempDir dir;
    const std::vector<uint32_t> rgb = {0x102030, 0x405060};
    // A BMP named .png still loads as what it is.
    WriteBytes(dir.File("looks-like.png"), EncodeBmp24(2, 1, rgb));
    plat::Surface s;
    ASSERT_TRUE(plat::LoadImageFile(dir.File("looks-like.png"), s));
    EXPECT_EQ(s.PixelAt(0, 0), Argb(255, 0x10, 0x20, 0x30));
    EXPECT_EQ(s.PixelAt(1, 0), Argb(255, 0x40, 0x50, 0x60));
}

TEST(ImageFile, BmpTwentyFourBitAndPaletteRowsComeOutTopDown) {
    // Widths of 3 make every row padded.
    const std::vector<uint32_t> rgb = {0xFF0000, 0x00FF00, 0x0000FF, 0x112233, 0x445566, 0x778899};
    plat::Surface s;
    ASSERT_TRUE(Load(EncodeBmp24(3, 2, rgb), s));
    ASSERT_EQ(s.Width(), 3);
    ASSERT_EQ(s.Height(), 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(s.PixelAt(i % 3, i / 3), 0xFF000000u | rgb[static_cast<size_t>(i)]) << i;

    const std::vector<uint32_t> palette = {0x000000, 0xFFFFFF, 0xC08040, 0x2050A0};
    const std::vector<uint8_t> idx = {3, 2, 1, 0, 1, 2};
    plat::Surface p;
    ASSERT_TRUE(Load(EncodeBmp8(3, 2, palette, idx), p));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(p.PixelAt(i % 3, i / 3), 0xFF000000u | palette[idx[static_cast<size_t>(i)]]) << i;
}

TEST(ImageFile, GifGivesItsFirstFrameWithTransparency) {
    const std::vector<uint32_t> palette = {0xFF0000, 0x00FF00, 0x0000FF, 0x123456};
    const std::vector<std::vector<uint8_t>> frames = {{0, 1, 2, 3, 0, 1}, {2, 2, 2, 2, 2, 2}};
    plat::Surface s;
    ASSERT_TRUE(Load(EncodeGif(3, 2, palette, frames, 3), s));
    ASSERT_EQ(s.Width(), 3);
    ASSERT_EQ(s.Height(), 2);
    EXPECT_EQ(s.PixelAt(0, 0), Argb(255, 255, 0, 0));
    EXPECT_EQ(s.PixelAt(1, 0), Argb(255, 0, 255, 0));
    EXPECT_EQ(s.PixelAt(2, 0), Argb(255, 0, 0, 255));
    EXPECT_EQ(s.PixelAt(0, 1), 0u);  // the transparent index, premultiplied to nothing
    EXPECT_EQ(s.PixelAt(1, 1), Argb(255, 255, 0, 0));
    EXPECT_EQ(s.PixelAt(2, 1), Argb(255, 0, 255, 0));
}

TEST(ImageFile, JpegIsNotTurnedByItsExifOrientation) {
    plat::Surface wide(40, 20);
    wide.Fill(Argb(255, 0, 0, 255));
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            wide.SetPixel(x, y, Argb(255, 255, 0, 0));
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(plat::EncodeImage(wide, plat::ImageFormat::Jpeg, 100, jpeg));
    // An APP1 Exif segment saying "rotate 90 degrees clockwise to display" (orientation 6).
    const std::vector<uint8_t> exif = {0xFF, 0xE1, 0x00, 0x22, 'E',  'x',  'i',  'f',  0,
                                       0,    'I',  'I',  0x2A, 0x00, 0x08, 0x00, 0x00, 0x00,
                                       0x01, 0x00, 0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00,
                                       0x00, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_EQ(exif.size(), 2u + 0x22u);
    jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
    plat::Surface s;
    ASSERT_TRUE(Load(jpeg, s));
    EXPECT_EQ(s.Width(), 40);
    EXPECT_EQ(s.Height(), 20);
    EXPECT_TRUE(testsupport::ChannelsNear(s.PixelAt(5, 10), Argb(255, 255, 0, 0), 8));
    EXPECT_TRUE(testsupport::ChannelsNear(s.PixelAt(35, 10), Argb(255, 0, 0, 255), 8));
}

TEST(ImageFile, SavedFilesReadBack) {
    TempDir dir;
    plat::Surface img(8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            img.SetPixel(x, y, x < 4 ? Argb(255, 200, 30, 30) : Argb(255, 30, 30, 200));
    img.SetPixel(0, 0, Argb(128, 64, 32, 0));  // premultiplied, half transparent

    plat::Surface back;
    ASSERT_TRUE(plat::SaveImageFile(dir.File("a.png"), img, plat::ImageFormat::Png));
    ASSERT_TRUE(plat::LoadImageFile(dir.File("a.png"), back));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_TRUE(testsupport::ChannelsNear(back.PixelAt(x, y), img.PixelAt(x, y), 1))
                << x << "," << y;

    // BMP keeps colours exactly and drops the alpha.
    ASSERT_TRUE(plat::SaveImageFile(dir.File("a.bmp"), img, plat::ImageFormat::Bmp));
    ASSERT_TRUE(plat::LoadImageFile(dir.File("a.bmp"), back));
    EXPECT_EQ(ReadBytes(dir.File("a.bmp"))[0], 'B');
    EXPECT_EQ(back.PixelAt(5, 3), img.PixelAt(5, 3));
    EXPECT_EQ(back.PixelAt(0, 0) >> 24, 0xFFu);

    ASSERT_TRUE(plat::SaveImageFile(dir.File("a.jpg"), img, plat::ImageFormat::Jpeg, 100));
    ASSERT_TRUE(plat::LoadImageFile(dir.File("a.jpg"), back));
    EXPECT_EQ(back.Width(), 8);
    EXPECT_TRUE(testsupport::ChannelsNear(back.PixelAt(2, 2), img.PixelAt(2, 2), 6));
    EXPECT_TRUE(testsupport::ChannelsNear(back.PixelAt(6, 2), img.PixelAt(6, 2), 6));
}

TEST(ImageFile, JpegQualityHundredUsesUnitQuantisation) {
    plat::Surface img(16, 16);
    img.Fill(Argb(255, 90, 120, 150));
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(plat::EncodeImage(img, plat::ImageFormat::Jpeg, 100, jpeg));
    // Walk the markers to the quantisation tables: at quality 100 every entry is 1.
    int tables = 0;
    size_t pos = 2;
    while (pos + 4 <= jpeg.size() && jpeg[pos] == 0xFF && jpeg[pos + 1] != 0xDA) {
        const size_t len = (size_t(jpeg[pos + 2]) << 8) | jpeg[pos + 3];
        if (jpeg[pos + 1] == 0xDB) {
            for (size_t q = pos + 4; q < pos + 2 + len;) {
                const bool wide = (jpeg[q] >> 4) != 0;
                ++q;
                for (int i = 0; i < 64; ++i, q += wide ? 2 : 1)
                    EXPECT_EQ(wide ? ((jpeg[q] << 8) | jpeg[q + 1]) : jpeg[q], 1);
                ++tables;
            }
        }
        pos += 2 + len;
    }
    EXPECT_GE(tables, 1);
}

TEST(ImageFile, DamagedUnknownAndOversizedPicturesAreRefused) {
    plat::Surface s = SolidImage(2, 2, 0xFFABCDEF);
    EXPECT_FALSE(plat::LoadImageData(nullptr, 0, s));
    EXPECT_FALSE(Load({}, s));
    EXPECT_FALSE(Load({'h', 'e', 'l', 'l', 'o'}, s));
    EXPECT_FALSE(Load({'I', 'I', 0x2A, 0, 8, 0, 0, 0}, s));  // TIFF is not read

    std::vector<uint8_t> png = EncodePngStored(16, 16, std::vector<uint8_t>(16 * 16 * 4, 200));
    // Cut files are refused, not shown with rows that were never decoded.
    for (const auto& whole : {png, EncodeBmp24(16, 16, std::vector<uint32_t>(256, 0x808080))}) {
        for (size_t keep : {whole.size() / 2, whole.size() - 1}) {
            std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(keep));
            EXPECT_FALSE(Load(cut, s)) << keep;
        }
    }

    // Headers that ask for 20000 x 20000 pixels with next to no data behind them.
    std::vector<uint8_t> huge = EncodePngStored(1, 1, {1, 2, 3, 4});
    huge[16] = 0, huge[17] = 0, huge[18] = 0x4E, huge[19] = 0x20;  // width
    huge[20] = 0, huge[21] = 0, huge[22] = 0x4E, huge[23] = 0x20;  // height
    EXPECT_FALSE(Load(huge, s));
    // Pixels said to start far beyond the end of the file.
    std::vector<uint8_t> far = EncodeBmp8(2, 2, {0, 0xFFFFFF}, {0, 1, 1, 0});
    far[10] = far[11] = far[12] = far[13] = 0xEF;
    EXPECT_FALSE(Load(far, s));
    // A palette of four billion colours.
    std::vector<uint8_t> colours = EncodeBmp8(2, 2, {0, 0xFFFFFF}, {0, 1, 1, 0});
    colours[46] = 0x00, colours[47] = 0x02, colours[48] = 0x00, colours[49] = 0xF1;
    EXPECT_FALSE(Load(colours, s));
    std::vector<uint8_t> bmp = EncodeBmp24(1, 1, {0x123456});
    bmp[18] = 0x20, bmp[19] = 0x4E, bmp[22] = 0x20, bmp[23] = 0x4E;
    EXPECT_FALSE(Load(bmp, s));
    std::vector<uint8_t> gif = EncodeGif(1, 1, {0, 0xFFFFFF}, {{1}});
    for (size_t i : {6u, 7u, 8u, 9u})
        gif[i] = 0xFF;
    plat::Surface g;
    if (Load(gif, g)) {  // a decoder may clip the frame to its own size instead
        EXPECT_LE(int64_t(g.Width()) * g.Height(), plat::kMaxImagePixels);
    }

    EXPECT_FALSE(plat::LoadImageFile("/nonexistent/picture.png", s));
    // Nothing refused touched the output.
    ASSERT_EQ(s.Width(), 2);
    EXPECT_EQ(s.PixelAt(1, 1), 0xFFABCDEFu);
}

TEST(ImageFile, SaveFailuresWriteNothing) {
    TempDir dir;
    const plat::Surface img = SolidImage(4, 4, 0xFF102030);
    EXPECT_FALSE(plat::SaveImageFile(dir.File("missing/a.png"), img, plat::ImageFormat::Png));
    EXPECT_FALSE(Exists(dir.File("missing")));
    WriteText(dir.File("keep.bmp"), "old");
    EXPECT_FALSE(
        plat::SaveImageFile(dir.File("keep.bmp"), plat::Surface(), plat::ImageFormat::Bmp));
    EXPECT_EQ(ReadText(dir.File("keep.bmp")), "old");
}

TEST(ImageFile, LargePicturesAreDecodedScaledDownToFitAndCutOnesAreStillRefused) {
    TempDir dir;
    // A photo of 2400 x 1200: left half red, right half blue.
    plat::Surface photo(2400, 1200);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 2400; ++x)
            photo.SetPixel(x, y, x < 1200 ? Argb(255, 220, 20, 20) : Argb(255, 20, 20, 220));
    ASSERT_TRUE(plat::SaveImageFile(dir.File("photo.jpg"), photo, plat::ImageFormat::Jpeg, 90));
    ASSERT_TRUE(plat::SaveImageFile(dir.File("photo.png"), photo, plat::ImageFormat::Png));
    for (const char* name : {"photo.jpg", "photo.png"}) {
        plat::Surface fit;
        ASSERT_TRUE(plat::LoadImageFileFitting(dir.File(name), 800, 600, fit)) << name;
        // Kept in proportion within the box.
        EXPECT_EQ(fit.Width(), 800) << name;
        EXPECT_EQ(fit.Height(), 400) << name;
        EXPECT_TRUE(testsupport::ChannelsNear(fit.PixelAt(100, 200), Argb(255, 220, 20, 20), 12))
            << name;
        EXPECT_TRUE(testsupport::ChannelsNear(fit.PixelAt(700, 200), Argb(255, 20, 20, 220), 12))
            << name;
    }
    // A picture that fits already comes as it is.
    plat::Surface small(40, 30);
    small.Fill(Argb(255, 10, 200, 10));
    ASSERT_TRUE(plat::SaveImageFile(dir.File("small.png"), small, plat::ImageFormat::Png));
    plat::Surface same;
    ASSERT_TRUE(plat::LoadImageFileFitting(dir.File("small.png"), 800, 600, same));
    EXPECT_EQ(same.Width(), 40);
    EXPECT_EQ(same.PixelAt(5, 5), Argb(255, 10, 200, 10));

    // Cut files are refused when scaled too (a cut JPEG shows what arrived, scaled or not).
    for (const char* name : {"photo.png"}) {
        std::vector<uint8_t> whole = ReadBytes(dir.File(name));
        whole.resize(whole.size() / 2);
        WriteBytes(dir.File("cut"), whole);
        plat::Surface cut = SolidImage(2, 2, 0xFFABCDEF);
        EXPECT_FALSE(plat::LoadImageFileFitting(dir.File("cut"), 800, 600, cut)) << name;
        EXPECT_EQ(cut.Width(), 2) << name;
    }
}

TEST(ImageFile, HeaderSizesAgreeWithTheDecodedPicturesAndLyingHeadersAreRefused) {
    TempDir dir;
    const plat::Surface picture = SolidImage(37, 23, Argb(255, 40, 90, 160));
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(plat::EncodeImage(picture, plat::ImageFormat::Jpeg, 90, jpeg));
    // A JPEG whose frame header follows 100 KB of other segments (a camera's maker notes).
    std::vector<uint8_t> padded(jpeg.begin(), jpeg.begin() + 2);
    for (int i = 0; i < 2; ++i) {
        padded.insert(padded.end(), {0xFF, 0xE2, 0xFF, 0xF0});
        padded.insert(padded.end(), 0xFFF0 - 2, 0x5A);
    }
    padded.insert(padded.end(), jpeg.begin() + 2, jpeg.end());
    std::vector<uint32_t> rgb(37 * 23, 0x285AA0);
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
        {"a.png", EncodePngStored(37, 23, std::vector<uint8_t>(37 * 23 * 4, 200))},
        {"a.jpg", jpeg},
        {"padded.jpg", padded},
        {"a.bmp", EncodeBmp24(37, 23, rgb)},
        {"a.gif", EncodeGif(37, 23, {0, 0xFFFFFF}, {std::vector<uint8_t>(37 * 23, 1)})},
    };
    for (const auto& [name, bytes] : files) {
        WriteBytes(dir.File(name), bytes);
        int w = 0, h = 0;
        ASSERT_TRUE(plat::ReadImageFileSize(dir.File(name), w, h)) << name;
        plat::Surface decoded;
        ASSERT_TRUE(plat::LoadImageFile(dir.File(name), decoded)) << name;
        EXPECT_EQ(w, decoded.Width()) << name;
        EXPECT_EQ(h, decoded.Height()) << name;
        // The size is known from the first bytes alone (a JPEG's tables come first).
        const size_t head = std::min<size_t>(
            bytes.size(), std::string(name) == "padded.jpg" ? 2 * 0xFFF2 + 1024 : 1024);
        EXPECT_TRUE(plat::ReadImageDataSize(bytes.data(), head, w, h)) << name;
    }

    int w = 0, h = 0;
    // A JPEG frame header claiming 65500 x 65500, and one of 0 rows.
    std::vector<uint8_t> huge = jpeg;
    for (size_t i = 2; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xFF, huge[i + 6] = 0xDC, huge[i + 7] = 0xFF, huge[i + 8] = 0xDC;
            break;
        }
    }
    WriteBytes(dir.File("huge.jpg"), huge);
    EXPECT_FALSE(plat::ReadImageFileSize(dir.File("huge.jpg"), w, h));
    EXPECT_FALSE(plat::ReadImageDataSize(jpeg.data(), 20, w, h));      // cut before its frame
    std::vector<uint8_t> loop = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x00};  // a length below 2
    EXPECT_FALSE(plat::ReadImageDataSize(loop.data(), loop.size(), w, h));
    const std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c'};
    EXPECT_FALSE(plat::ReadImageDataSize(text.data(), text.size(), w, h));
    EXPECT_FALSE(plat::ReadImageFileSize(dir.File("missing.png"), w, h));

    // The size scaled to fit is the one the decoder makes.
    const plat::Surface odd = SolidImage(1001, 333, Argb(255, 1, 2, 3));
    ASSERT_TRUE(plat::SaveImageFile(dir.File("odd.png"), odd, plat::ImageFormat::Png));
    plat::Surface fit;
    ASSERT_TRUE(plat::LoadImageFileFitting(dir.File("odd.png"), 800, 600, fit));
    int fw = 1001, fh = 333;
    plat::FitImageSize(fw, fh, 800, 600);
    EXPECT_EQ(fw, fit.Width());
    EXPECT_EQ(fh, fit.Height());
    int same = 40, sameH = 30;
    plat::FitImageSize(same, sameH, 800, 600);
    EXPECT_EQ(same, 40);
    EXPECT_EQ(sameH, 30);
}
