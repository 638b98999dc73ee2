#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "platform/gfx/ImageFile.h"
#include "platform/gfx/ImageThumb.h"
#include "platform/io/File.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using plat::Argb;

namespace {

constexpr uint32_t kRed = Argb(255, 220, 20, 20);
constexpr uint32_t kGreen = Argb(255, 20, 200, 20);
constexpr uint32_t kBlue = Argb(255, 20, 20, 220);
constexpr uint32_t kWhite = Argb(255, 250, 250, 250);

// w x h in four quadrants: red, green / blue, white.
plat::Surface Quadrants(int w, int h) {
    plat::Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.SetPixel(x, y,
                       y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kWhite));
    return s;
}

std::vector<uint8_t> Bytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(plat::ReadWholeFile(path, bytes));
    return bytes;
}

std::string WriteJpeg(TempDir& dir, const std::string& name, const plat::Surface& s) {
    const std::string path = dir.File(name);
    EXPECT_TRUE(plat::SaveImageFile(path, s, plat::ImageFormat::Jpeg, 90));
    return path;
}

// Offset of the first frame header (0xFFC0..) of a JPEG made by our encoder.
size_t FrameHeader(const std::vector<uint8_t>& jpeg) {
    for (size_t i = 2; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0)
            return i;
    ADD_FAILURE() << "no frame header";
    return 0;
}

// The file's bytes up to `into` bytes past the start of its compressed data.
std::vector<uint8_t> CutInData(const std::string& path, size_t into) {
    std::vector<uint8_t> bytes = Bytes(path);
    for (size_t i = 2; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) {
            bytes.resize(std::min(bytes.size(), i + into));
            return bytes;
        }
    ADD_FAILURE() << "no scan";
    return bytes;
}

}  // namespace

TEST(ImageThumb, HeadersGiveTheStoredSizeOfEveryType) {
    TempDir dir;
    plat::ImageFileInfo info;
    const std::string jpeg = WriteJpeg(dir, "photo.jpg", Quadrants(1600, 1200));
    ASSERT_TRUE(plat::ReadImageFileInfo(jpeg, info));
    EXPECT_EQ(info.width, 1600);
    EXPECT_EQ(info.height, 1200);
    EXPECT_FALSE(info.progressive);

    // A camera's large metadata segment before the frame header is stepped over.
    std::vector<uint8_t> bytes = Bytes(jpeg);
    std::vector<uint8_t> exif = {0xFF, 0xE1, 0xF0, 0x00};
    exif.resize(0xF000 + 2, 0x55);
    bytes.insert(bytes.begin() + 2, exif.begin(), exif.end());
    WriteBytes(dir.File("exif.jpg"), bytes);
    ASSERT_TRUE(plat::ReadImageFileInfo(dir.File("exif.jpg"), info));
    EXPECT_EQ(info.width, 1600);
    EXPECT_EQ(info.height, 1200);

    // A progressive frame is told apart.
    bytes = Bytes(jpeg);
    bytes[FrameHeader(bytes) + 1] = 0xC2;
    WriteBytes(dir.File("progressive.jpg"), bytes);
    ASSERT_TRUE(plat::ReadImageFileInfo(dir.File("progressive.jpg"), info));
    EXPECT_TRUE(info.progressive);

    WriteBytes(dir.File("a.png"), EncodePngStored(37, 21, std::vector<uint8_t>(37 * 21 * 4, 9)));
    ASSERT_TRUE(plat::ReadImageFileInfo(dir.File("a.png"), info));
    EXPECT_EQ(info.width, 37);
    EXPECT_EQ(info.height, 21);
    WriteBytes(dir.File("a.bmp"), EncodeBmp24(5, 3, std::vector<uint32_t>(15, 0x102030)));
    ASSERT_TRUE(plat::ReadImageFileInfo(dir.File("a.bmp"), info));
    EXPECT_EQ(info.width, 5);
    EXPECT_EQ(info.height, 3);
    WriteBytes(dir.File("a.gif"),
               EncodeGif(7, 4, {0xFF0000, 0x0000FF}, {std::vector<uint8_t>(28, 1)}));
    ASSERT_TRUE(plat::ReadImageFileInfo(dir.File("a.gif"), info));
    EXPECT_EQ(info.width, 7);
    EXPECT_EQ(info.height, 4);
}

TEST(ImageThumb, HeadersOfNoPictureOrAHugeClaimAreRefused) {
    TempDir dir;
    plat::ImageFileInfo info;
    EXPECT_FALSE(plat::ReadImageFileInfo(dir.File("missing.jpg"), info));
    WriteBytes(dir.File("text.jpg"), std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'});
    EXPECT_FALSE(plat::ReadImageFileInfo(dir.File("text.jpg"), info));

    std::vector<uint8_t> bytes = Bytes(WriteJpeg(dir, "photo.jpg", Quadrants(64, 48)));
    const size_t frame = FrameHeader(bytes);
    // Cut before its frame header: no size to be had.
    WriteBytes(dir.File("cut.jpg"),
               std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(frame)));
    EXPECT_FALSE(plat::ReadImageFileInfo(dir.File("cut.jpg"), info));
    // A header that claims 65500 x 65500.
    bytes[frame + 5] = bytes[frame + 7] = 0xFF;
    bytes[frame + 6] = bytes[frame + 8] = 0xDC;
    WriteBytes(dir.File("huge.jpg"), bytes);
    EXPECT_FALSE(plat::ReadImageFileInfo(dir.File("huge.jpg"), info));
    plat::Surface out;
    EXPECT_FALSE(plat::LoadImageFileReduced(dir.File("huge.jpg"), 100, 100, out));
    EXPECT_TRUE(out.IsEmpty());
}

TEST(ImageThumb, AJpegIsDecodedAtExactlyTheWantedSize) {
    TempDir dir;
    const std::string jpeg = WriteJpeg(dir, "photo.jpg", Quadrants(1600, 1200));
    // 1/8, 1/4, 1/2 and the whole: every size keeps the quadrants where they were.
    for (const auto& [w, h] : std::vector<std::pair<int, int>>{
             {100, 75}, {120, 76}, {300, 200}, {799, 533}, {1600, 1200}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        plat::Surface s;
        ASSERT_TRUE(plat::LoadImageFileReduced(jpeg, w, h, s));
        ASSERT_EQ(s.Width(), w);
        ASSERT_EQ(s.Height(), h);
        EXPECT_TRUE(testsupport::ChannelsNear(s.PixelAt(w / 4, h / 4), kRed, 24));
        EXPECT_TRUE(testsupport::ChannelsNear(s.PixelAt(3 * w / 4, h / 4), kGreen, 24));
        EXPECT_TRUE(testsupport::ChannelsNear(s.PixelAt(w / 4, 3 * h / 4), kBlue, 24));
        EXPECT_TRUE(testsupport::ChannelsNear(s.PixelAt(3 * w / 4, 3 * h / 4), kWhite, 24));
    }
    // Never larger than stored, never empty.
    plat::Surface s;
    EXPECT_FALSE(plat::LoadImageFileReduced(jpeg, 1601, 1200, s));
    EXPECT_FALSE(plat::LoadImageFileReduced(jpeg, 0, 10, s));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(ImageThumb, AJpegCutBeforeItsDataIsRefusedAtEveryScale) {
    TempDir dir;
    const std::string path = WriteJpeg(dir, "photo.jpg", Quadrants(1600, 1200));
    WriteBytes(dir.File("cut.jpg"), CutInData(path, 10));
    plat::ImageFileInfo info;
    EXPECT_TRUE(plat::ReadImageFileInfo(dir.File("cut.jpg"), info));  // the header is whole
    for (const auto& [w, h] :
         std::vector<std::pair<int, int>>{{100, 75}, {800, 600}, {1600, 1200}}) {
        plat::Surface s;
        EXPECT_FALSE(plat::LoadImageFileReduced(dir.File("cut.jpg"), w, h, s)) << w;
        EXPECT_TRUE(s.IsEmpty());
    }
    // Cut further into its data it is refused by the whole decode too.
    WriteBytes(dir.File("part.jpg"), CutInData(path, 200));
    plat::Surface whole, part;
    EXPECT_FALSE(plat::LoadImageFile(dir.File("part.jpg"), whole));
    EXPECT_FALSE(plat::LoadImageFileReduced(dir.File("part.jpg"), 200, 150, part));
}

TEST(ImageThumb, AJpegCutAnywhereInItsDataIsRefusedByBothLoaders) {
    TempDir dir;
    // Detail all over, so that the compressed data is long and every cut falls inside a row.
    plat::Surface detailed(1200, 900);
    for (int y = 0; y < 900; ++y)
        for (int x = 0; x < 1200; ++x)
            detailed.SetPixel(x, y,
                              Argb(255, uint8_t(x * 7 + y), uint8_t(y * 5 ^ x), uint8_t(x ^ y)));
    const std::string path = WriteJpeg(dir, "photo.jpg", detailed);
    const std::vector<uint8_t> bytes = Bytes(path);
    size_t scan = 0;
    for (size_t i = 2; i + 1 < bytes.size() && !scan; ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA)
            scan = i;
    ASSERT_GT(scan, 0u);
    const size_t n = bytes.size();
    for (size_t cut : {scan + 300, n / 4, n / 2, n * 9 / 10, n - 2, n - 1}) {
        SCOPED_TRACE(cut);
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + long(cut));
        WriteBytes(dir.File("cut.jpg"), part);
        plat::Surface s;
        EXPECT_FALSE(plat::LoadImageData(part.data(), part.size(), s));
        EXPECT_FALSE(plat::LoadImageFile(dir.File("cut.jpg"), s));
        EXPECT_EQ(plat::LoadImageFileShared(dir.File("cut.jpg")), nullptr);
        EXPECT_FALSE(plat::LoadImageFileFitting(dir.File("cut.jpg"), 300, 225, s));
        for (int w : {150, 300, 600, 1200})
            EXPECT_FALSE(plat::LoadImageFileReduced(dir.File("cut.jpg"), w, w * 3 / 4, s)) << w;
        EXPECT_TRUE(s.IsEmpty());
    }

    // Whole, it loads both ways; so it does with bytes after its end (a phone's appended
    // video) and with an end marker inside a metadata segment (an embedded thumbnail).
    std::vector<uint8_t> trailing = bytes;
    trailing.insert(trailing.end(), 5000, 0x42);
    std::vector<uint8_t> thumb(bytes.begin(), bytes.begin() + 2);
    thumb.insert(thumb.end(), {0xFF, 0xE1, 0x00, 0x08, 0xFF, 0xD8, 0xFF, 0xD9, 0xFF, 0xD9});
    thumb.insert(thumb.end(), bytes.begin() + 2, bytes.end());
    for (const auto& [name, file] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"whole.jpg", bytes}, {"trailing.jpg", trailing}, {"thumb.jpg", thumb}}) {
        SCOPED_TRACE(name);
        WriteBytes(dir.File(name), file);
        plat::Surface whole, reduced;
        ASSERT_TRUE(plat::LoadImageFile(dir.File(name), whole));
        EXPECT_EQ(whole.Width(), 1200);
        ASSERT_TRUE(plat::LoadImageFileReduced(dir.File(name), 300, 225, reduced));
        EXPECT_EQ(reduced.Width(), 300);
    }
    // The same with the thumbnail, cut inside the picture's own data: refused.
    const std::vector<uint8_t> thumbCut(thumb.begin(), thumb.begin() + long(n / 2));
    WriteBytes(dir.File("thumbcut.jpg"), thumbCut);
    plat::Surface s;
    EXPECT_FALSE(plat::LoadImageFile(dir.File("thumbcut.jpg"), s));
    EXPECT_FALSE(plat::LoadImageFileReduced(dir.File("thumbcut.jpg"), 300, 225, s));
}

TEST(ImageThumb, OtherTypesAreReducedFromTheirWholePicture) {
    TempDir dir;
    std::vector<uint32_t> rgb;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            rgb.push_back(x < 4 ? 0xFF0000 : 0x0000FF);
    WriteBytes(dir.File("halves.bmp"), EncodeBmp24(8, 4, rgb));
    plat::Surface s;
    ASSERT_TRUE(plat::LoadImageFileReduced(dir.File("halves.bmp"), 2, 1, s));
    ASSERT_EQ(s.Width(), 2);
    ASSERT_EQ(s.Height(), 1);
    EXPECT_EQ(s.PixelAt(0, 0), Argb(255, 255, 0, 0));
    EXPECT_EQ(s.PixelAt(1, 0), Argb(255, 0, 0, 255));
    // A cut BMP is refused as LoadImageFile refuses it.
    std::vector<uint8_t> bytes = EncodeBmp24(8, 4, rgb);
    bytes.resize(bytes.size() - 20);
    WriteBytes(dir.File("cut.bmp"), bytes);
    EXPECT_FALSE(plat::LoadImageFileReduced(dir.File("cut.bmp"), 2, 1, s));
}

TEST(ImageThumb, ReduceAveragesTheBlockEachPixelCovers) {
    plat::Surface s(4, 2);
    // Left block: two black, two white pixels; right block: four of one grey.
    s.SetPixel(0, 0, Argb(255, 0, 0, 0));
    s.SetPixel(1, 0, Argb(255, 255, 255, 255));
    s.SetPixel(0, 1, Argb(255, 255, 255, 255));
    s.SetPixel(1, 1, Argb(255, 0, 0, 0));
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x)
            s.SetPixel(x, y, Argb(255, 40, 80, 120));
    const plat::Surface half = plat::ReduceImage(s, 2, 1);
    ASSERT_EQ(half.Width(), 2);
    EXPECT_EQ(half.PixelAt(0, 0), Argb(255, 128, 128, 128));
    EXPECT_EQ(half.PixelAt(1, 0), Argb(255, 40, 80, 120));
    // The same size is a copy; larger or nothing gives nothing.
    const plat::Surface same = plat::ReduceImage(s, 4, 2);
    ASSERT_EQ(same.Width(), 4);
    EXPECT_EQ(same.PixelAt(1, 0), s.PixelAt(1, 0));
    EXPECT_TRUE(plat::ReduceImage(s, 5, 2).IsEmpty());
    EXPECT_TRUE(plat::ReduceImage(s, 0, 1).IsEmpty());
}

TEST(ImageThumb, ABatchDecodesEveryEntryAndTellsWhichFailed) {
    TempDir dir;
    const uint32_t colours[4] = {kRed, kGreen, kBlue, kWhite};
    std::vector<plat::ReducedLoad> batch;
    for (int i = 0; i < 4; ++i) {
        plat::ReducedLoad load;
        load.path = WriteJpeg(dir, std::to_string(i) + ".jpg", SolidImage(1200, 800, colours[i]));
        load.width = 120;
        load.height = 76;
        batch.push_back(load);
    }
    WriteBytes(dir.File("cut.jpg"), CutInData(batch[0].path, 10));
    plat::ReducedLoad broken;
    broken.path = dir.File("cut.jpg");
    broken.width = 120;
    broken.height = 76;
    batch.insert(batch.begin() + 2, broken);
    plat::ReducedLoad missing = broken;
    missing.path = dir.File("missing.jpg");
    batch.push_back(missing);

    plat::LoadImageFilesReduced(batch);
    ASSERT_EQ(batch.size(), 6u);
    EXPECT_FALSE(batch[2].ok);
    EXPECT_TRUE(batch[2].picture.IsEmpty());
    EXPECT_FALSE(batch[5].ok);
    const size_t good[4] = {0, 1, 3, 4};
    for (int i = 0; i < 4; ++i) {
        const plat::ReducedLoad& load = batch[good[i]];
        ASSERT_TRUE(load.ok) << i;
        ASSERT_EQ(load.picture.Width(), 120);
        ASSERT_EQ(load.picture.Height(), 76);
        EXPECT_TRUE(testsupport::ChannelsNear(load.picture.PixelAt(60, 38), colours[i], 8)) << i;
    }
}
