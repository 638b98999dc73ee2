#include "platform/gfx/ImageHeader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gfx/ImageFile.h"
#include "platform/gfx/ImageThumb.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using plat::Argb;

namespace {

// The sizes both readers give a file (-1 x -1 where a reader refuses it).
struct BothSizes {
    int sizeW = -1, sizeH = -1;
    int infoW = -1, infoH = -1;
};

BothSizes ReadBoth(const std::string& path) {
    BothSizes out;
    int w = 0, h = 0;
    if (plat::ReadImageFileSize(path, w, h)) {
        out.sizeW = w;
        out.sizeH = h;
    }
    plat::ImageFileInfo info;
    if (plat::ReadImageFileInfo(path, info)) {
        out.infoW = info.width;
        out.infoH = info.height;
    }
    return out;
}

// A JPEG of 37 x 23 whose frame header follows `padding` bytes of metadata segments (a
// camera's maker notes and colour profiles), and the offset of its frame header.
std::vector<uint8_t> PaddedJpeg(size_t padding, size_t* frame) {
    std::vector<uint8_t> jpeg;
    EXPECT_TRUE(plat::EncodeImage(SolidImage(37, 23, Argb(255, 40, 90, 160)),
                                  plat::ImageFormat::Jpeg, 90, jpeg));
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    while (padding > 0) {
        const size_t length = std::min<size_t>(padding, 0xFFF0);  // with its two length bytes
        out.insert(out.end(), {0xFF, 0xE2, uint8_t(length >> 8), uint8_t(length & 0xFF)});
        out.insert(out.end(), length - 2, 0x5A);
        padding -= length;
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    for (size_t i = 2; i + 1 < out.size(); ++i)
        if (out[i] == 0xFF && out[i + 1] == 0xC0) {
            *frame = i;
            break;
        }
    return out;
}

}  // namespace

TEST(ImageHeader, BothReadersFindAJpegFrameHeaderAtEveryReadingStep) {
    TempDir dir;
    // Frame headers inside the first step, across its end, and in the 64 KB, 1 MB and
    // whole-file steps.
    for (size_t padding :
         {size_t{0}, size_t{4000}, size_t{4090}, size_t{40000}, size_t{700000}, size_t{1500000}}) {
        SCOPED_TRACE(padding);
        size_t frame = 0;
        const std::vector<uint8_t> bytes = PaddedJpeg(padding, &frame);
        ASSERT_GT(frame, padding);
        WriteBytes(dir.File("a.jpg"), bytes);
        const BothSizes both = ReadBoth(dir.File("a.jpg"));
        EXPECT_EQ(both.sizeW, 37);
        EXPECT_EQ(both.sizeH, 23);
        EXPECT_EQ(both.infoW, 37);
        EXPECT_EQ(both.infoH, 23);
        plat::ImageFileInfo info;
        ASSERT_TRUE(plat::ReadImageHeader(bytes.data(), bytes.size(), info));
        EXPECT_EQ(info.kind, plat::ImageKind::Jpeg);

        // Cut inside the frame header: neither reader makes up a size.
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(frame) + 6);
        WriteBytes(dir.File("cut.jpg"), cut);
        const BothSizes none = ReadBoth(dir.File("cut.jpg"));
        EXPECT_EQ(none.sizeW, -1);
        EXPECT_EQ(none.infoW, -1);
    }
}

TEST(ImageHeader, BmpPixelOffsetsAreCheckedAgainstTheWholeFile) {
    TempDir dir;
    std::vector<uint32_t> rgb(5 * 3, 0x102030);
    const std::vector<uint8_t> plain = EncodeBmp24(5, 3, rgb);
    auto le32 = [](std::vector<uint8_t>& b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    const uint32_t offset = plain[10] | (plain[11] << 8);

    // Pixels that start 6000 bytes in, past the first step read: still a picture, of the size
    // its header gives.
    std::vector<uint8_t> gap = plain;
    gap.insert(gap.begin() + offset, 6000, 0);
    le32(gap, 10, offset + 6000);
    le32(gap, 2, uint32_t(gap.size()));
    WriteBytes(dir.File("gap.bmp"), gap);
    BothSizes both = ReadBoth(dir.File("gap.bmp"));
    EXPECT_EQ(both.sizeW, 5);
    EXPECT_EQ(both.sizeH, 3);
    EXPECT_EQ(both.infoW, 5);
    EXPECT_EQ(both.infoH, 3);
    plat::Surface decoded;
    ASSERT_TRUE(plat::LoadImageFile(dir.File("gap.bmp"), decoded));
    EXPECT_EQ(decoded.Width(), 5);
    EXPECT_EQ(decoded.PixelAt(4, 2), Argb(255, 0x10, 0x20, 0x30));

    // Pixels said to start beyond the end, or an info header of no known size: both refuse.
    std::vector<uint8_t> beyond = plain;
    le32(beyond, 10, uint32_t(plain.size()) + 1);
    WriteBytes(dir.File("beyond.bmp"), beyond);
    both = ReadBoth(dir.File("beyond.bmp"));
    EXPECT_EQ(both.sizeW, -1);
    EXPECT_EQ(both.infoW, -1);
    std::vector<uint8_t> odd = plain;
    le32(odd, 14, 44);
    WriteBytes(dir.File("odd.bmp"), odd);
    both = ReadBoth(dir.File("odd.bmp"));
    EXPECT_EQ(both.sizeW, -1);
    EXPECT_EQ(both.infoW, -1);

    // The oldest header, of 12 bytes, on a file of 30.
    const std::vector<uint8_t> core = {'B', 'M', 30, 0, 0, 0, 0, 0, 0, 0,  26, 0,    0,    0,    12,
                                       0,   0,   0,  2, 0, 1, 0, 1, 0, 24, 0,  0x30, 0x20, 0x10, 0};
    WriteBytes(dir.File("core.bmp"), core);
    both = ReadBoth(dir.File("core.bmp"));
    EXPECT_EQ(both.sizeW, 2);
    EXPECT_EQ(both.sizeH, 1);
    EXPECT_EQ(both.infoW, 2);
    EXPECT_EQ(both.infoH, 1);

    // A small file is no picture, whatever its first bytes.
    WriteBytes(dir.File("short.bmp"), std::vector<uint8_t>(plain.begin(), plain.begin() + 30));
    both = ReadBoth(dir.File("short.bmp"));
    EXPECT_EQ(both.sizeW, -1);
    EXPECT_EQ(both.infoW, -1);
    WriteBytes(dir.File("empty.png"), std::vector<uint8_t>());
    both = ReadBoth(dir.File("empty.png"));
    EXPECT_EQ(both.sizeW, -1);
    EXPECT_EQ(both.infoW, -1);
}
