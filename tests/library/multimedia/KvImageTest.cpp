#include <gtest/gtest.h>

#include <tuple>

#include "library/CVantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using KvMultimedia::IKvImage;
using plat::Argb;
using plat::Rect;

namespace {

constexpr uint32_t kBack = Argb(255, 10, 10, 10);
constexpr uint32_t kRed = Argb(255, 255, 0, 0);
constexpr uint32_t kGreen = Argb(255, 0, 255, 0);
constexpr uint32_t kBlue = Argb(255, 0, 0, 255);
constexpr uint32_t kYellow = Argb(255, 255, 255, 0);

class KvImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = CreateIVantrel();
        m_target = SolidImage(300, 240, kBack);
        m_canvas = plat::MakeCanvas(m_target);
    }
    void TearDown() override {
        for (IKvImage* image : m_images)
            image->Release();
        m_root->Release();
    }

    // Writes the picture as a PNG and loads it through the root object.
    IKvImage* Make(const plat::Surface& picture, const std::string& name = "img.png") {
        WritePng(m_dir.File(name), picture);
        IKvImage* image = nullptr;
        EXPECT_EQ(m_root->CreateImage(&image, m_dir.File16(name).c_str()), RZ_OK);
        if (image)
            m_images.push_back(image);
        return image;
    }

    TempDir m_dir;
    IVantrel* m_root = nullptr;
    plat::Surface m_target;
    std::unique_ptr<plat::Canvas> m_canvas;
    std::vector<IKvImage*> m_images;
};

// 200 x 50: left half red, right half green, a blue 10 x 10 mark in the top-left corner.
plat::Surface Marked() {
    plat::Surface s = StripImage(100, 50, {kRed, kGreen});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            s.SetPixel(x, y, kBlue);
    return s;
}

}  // namespace

TEST_F(KvImageTest, OnlyLoadedImagesAreHandedOut) {
    IKvImage* image = reinterpret_cast<IKvImage*>(8);
    EXPECT_EQ(m_root->CreateImage(&image, m_dir.File16("missing.png").c_str()), RZ_FAIL);
    EXPECT_EQ(image, nullptr);
    image = reinterpret_cast<IKvImage*>(8);
    EXPECT_EQ(m_root->CreateImage(&image, nullptr), RZ_FAIL);
    EXPECT_EQ(image, nullptr);
    WriteText(m_dir.File("text.png"), "not a picture");
    EXPECT_EQ(m_root->CreateImage(&image, m_dir.File16("text.png").c_str()), RZ_FAIL);
    EXPECT_EQ(m_root->CreateImage(nullptr, m_dir.File16("text.png").c_str()), RZ_FAIL);

    IKvImage* ok = Make(Marked());
    ASSERT_NE(ok, nullptr);
    int loaded = 0;
    EXPECT_EQ(ok->IsLoaded(&loaded), RZ_OK);
    EXPECT_EQ(loaded, 1);
    uint32_t w = 0, h = 0;
    EXPECT_EQ(ok->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 200u);
    EXPECT_EQ(h, 50u);
    EXPECT_EQ(ok->Reserved(1234), RZ_OK);
    EXPECT_EQ(ok->AddRef(), 2);
    EXPECT_EQ(ok->Release(), 1);
}

TEST_F(KvImageTest, StoredPathsWithBackslashesAndOtherCase) {
    ASSERT_TRUE(plat::MakeDirectory(m_dir.File("Skin")));
    WritePng(m_dir.File("Skin/Btn.png"), Marked());
    IKvImage* image = nullptr;
    const std::u16string stored = m_dir.File16("") + u"SKIN\\btn.PNG";
    ASSERT_EQ(m_root->CreateImage(&image, stored.c_str()), RZ_OK);
    // Saving goes the same way.
    EXPECT_EQ(image->Save((m_dir.File16("") + u"skin\\temp.jpg").c_str()), RZ_OK);
    EXPECT_TRUE(Exists(m_dir.File("Skin/temp.jpg")));
    image->Release();
}

TEST_F(KvImageTest, DrawWithAZeroSizeDrawsTheWholeImageUnscaled) {
    IKvImage* image = Make(Marked());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Draw(m_canvas.get(), 10, 20, 0, 50), RZ_OK);
    EXPECT_EQ(InkBox(m_target, kBack), (Rect{10, 20, 210, 70}));
    EXPECT_EQ(CountPixels(m_target, Rect{10, 20, 20, 30}, kBlue), 100);
    EXPECT_EQ(m_target.PixelAt(209, 69), kGreen);
}

TEST_F(KvImageTest, DrawWithASizeStretches) {
    IKvImage* image = Make(Marked());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Draw(m_canvas.get(), 0, 0, 100, 100), RZ_OK);
    EXPECT_EQ(InkBox(m_target, kBack), (Rect{0, 0, 100, 100}));
    // Halved across, doubled down: the mark becomes 5 x 20.
    EXPECT_EQ(m_target.PixelAt(2, 10), kBlue);
    EXPECT_EQ(m_target.PixelAt(2, 30), kRed);
    EXPECT_EQ(m_target.PixelAt(20, 60), kRed);
    EXPECT_EQ(m_target.PixelAt(80, 60), kGreen);
}

TEST_F(KvImageTest, DrawPartCutsOneFrameOfAStrip) {
    IKvImage* image = Make(StripImage(100, 60, {kRed, kGreen, kBlue, kYellow}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->DrawPart(m_canvas.get(), 0, 0, 100, 60, 100, 0, 200, 60), RZ_OK);
    EXPECT_EQ(CountPixels(m_target, m_target.Bounds(), kGreen), 6000);
    EXPECT_EQ(InkBox(m_target, kBack), (Rect{0, 0, 100, 60}));
    // The fourth frame squeezed into 20 x 30 at (150, 100).
    EXPECT_EQ(image->DrawPart(m_canvas.get(), 150, 100, 170, 130, 300, 0, 400, 60), RZ_OK);
    EXPECT_EQ(CountPixels(m_target, Rect{150, 100, 170, 130}, kYellow), 600);
    // No canvas: nothing drawn, nothing reported.
    EXPECT_EQ(image->DrawPart(nullptr, 0, 0, 10, 10, 0, 0, 10, 10), RZ_OK);
    EXPECT_EQ(image->Draw(nullptr, 0, 0, 0, 0), RZ_OK);
}

TEST_F(KvImageTest, RotateTurnsClockwiseAndSwapsTheSize) {
    IKvImage* image = Make(Marked());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Rotate90(), RZ_OK);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(image->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 50u);
    EXPECT_EQ(h, 200u);
    image->Draw(m_canvas.get(), 0, 0, 0, 0);
    EXPECT_EQ(InkBox(m_target, kBack), (Rect{0, 0, 50, 200}));
    // The top-left mark is now top-right; red above green.
    EXPECT_EQ(CountPixels(m_target, Rect{40, 0, 50, 10}, kBlue), 100);
    EXPECT_EQ(m_target.PixelAt(5, 5), kRed);
    EXPECT_EQ(m_target.PixelAt(25, 150), kGreen);
}

TEST_F(KvImageTest, SaveChoosesTheFormatByTheLastDotOfThePath) {
    IKvImage* image = Make(Marked());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Save(m_dir.File16("photo.JPG").c_str()), RZ_OK);
    std::vector<uint8_t> bytes = ReadBytes(m_dir.File("photo.JPG"));
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xD8);
    plat::Surface back;
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("photo.JPG"), back));
    EXPECT_EQ(back.Width(), 200);

    EXPECT_EQ(image->Save(m_dir.File16("photo.jpeg").c_str()), RZ_OK);
    EXPECT_EQ(ReadBytes(m_dir.File("photo.jpeg"))[0], 0xFF);
    EXPECT_EQ(image->Save(m_dir.File16("temp.Bmp").c_str()), RZ_OK);
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("temp.Bmp"), back));
    EXPECT_EQ(back.PixelAt(5, 5), kBlue);
    EXPECT_EQ(back.PixelAt(150, 40), kGreen);

    // Nothing written is reported as a failure.
    EXPECT_EQ(image->Save(m_dir.File16("out.png").c_str()), RZ_FAIL);
    EXPECT_FALSE(Exists(m_dir.File("out.png")));
    ASSERT_TRUE(plat::MakeDirectory(m_dir.File("album.v2")));
    EXPECT_EQ(image->Save(m_dir.File16("album.v2/noext").c_str()), RZ_FAIL);
    EXPECT_FALSE(Exists(m_dir.File("album.v2/noext")));
    EXPECT_EQ(image->Save(m_dir.File16("missing/out.bmp").c_str()), RZ_FAIL);
    EXPECT_EQ(image->Save(nullptr), RZ_FAIL);
}

TEST_F(KvImageTest, SaveThatCannotReplaceTheTargetFails) {
    IKvImage* image = Make(Marked());
    ASSERT_NE(image, nullptr);
    // A folder stands where the file should go: the picture cannot take its place.
    ASSERT_TRUE(plat::MakeDirectory(m_dir.File("temp.bmp")));
    WriteText(m_dir.File("temp.bmp/keep.txt"), "old");
    EXPECT_EQ(image->Save(m_dir.File16("temp.bmp").c_str()), RZ_FAIL);
    EXPECT_EQ(ReadText(m_dir.File("temp.bmp/keep.txt")), "old");
}

TEST_F(KvImageTest, AFileIsReadWhenFirstDrawnAndADamagedBodyThenDrawsNothing) {
    // The body is cut after the image was handed out on the strength of its header.
    const std::vector<uint8_t> whole =
        EncodePngStored(64, 64, std::vector<uint8_t>(64 * 64 * 4, 200));
    WriteBytes(m_dir.File("late.png"), whole);
    IKvImage* image = nullptr;
    ASSERT_EQ(m_root->CreateImage(&image, m_dir.File16("late.png").c_str()), RZ_OK);
    m_images.push_back(image);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(image->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 64u);
    WriteBytes(m_dir.File("late.png"),
               std::vector<uint8_t>(whole.begin(), whole.begin() + whole.size() / 2));
    EXPECT_EQ(image->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_FAIL);
    EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
    int loaded = 1;
    EXPECT_EQ(image->IsLoaded(&loaded), RZ_OK);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(image->GetSize(&w, &h), RZ_FAIL);
    EXPECT_EQ(image->Save(m_dir.File16("copy.bmp").c_str()), RZ_FAIL);

    // A cut file whose header is whole is handed out, and IsLoaded tells the truth at once.
    IKvImage* cut = nullptr;
    ASSERT_EQ(m_root->CreateImage(&cut, m_dir.File16("late.png").c_str()), RZ_OK);
    m_images.push_back(cut);
    EXPECT_EQ(cut->IsLoaded(&loaded), RZ_OK);
    EXPECT_EQ(loaded, 0);
    // One whose header asks for more than any picture may hold is refused outright.
    std::vector<uint8_t> huge = EncodePngStored(1, 1, {1, 2, 3, 4});
    huge[16] = 0, huge[17] = 0, huge[18] = 0xFF, huge[19] = 0xDC;
    huge[20] = 0, huge[21] = 0, huge[22] = 0xFF, huge[23] = 0xDC;
    WriteBytes(m_dir.File("huge.png"), huge);
    IKvImage* refused = nullptr;
    EXPECT_EQ(m_root->CreateImage(&refused, m_dir.File16("huge.png").c_str()), RZ_FAIL);
    EXPECT_EQ(refused, nullptr);
}

TEST_F(KvImageTest, ACameraSizedPictureIsKeptAtTheLargestScreensSize) {
    // 3000 x 1500, left half red, right half green: above what any skin holds.
    plat::Surface photo(3000, 1500);
    for (int y = 0; y < 1500; ++y)
        for (int x = 0; x < 3000; ++x)
            photo.SetPixel(x, y, x < 1500 ? kRed : kGreen);
    ASSERT_TRUE(plat::SaveImageFile(m_dir.File("photo.jpg"), photo, plat::ImageFormat::Jpeg, 90));
    IKvImage* image = nullptr;
    ASSERT_EQ(m_root->CreateImage(&image, m_dir.File16("photo.jpg").c_str()), RZ_OK);
    m_images.push_back(image);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(image->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 800u);
    EXPECT_EQ(h, 400u);
    plat::Surface big(800, 400);
    auto canvas = plat::MakeCanvas(big);
    ASSERT_EQ(image->Draw(canvas.get(), 0, 0, 0, 0), RZ_OK);
    EXPECT_EQ(image->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 800u);
    // Compressed: near the colours, not exactly them.
    const uint32_t left = big.PixelAt(200, 200);
    const uint32_t right = big.PixelAt(600, 200);
    EXPECT_GT((left >> 16) & 0xFF, 200u);
    EXPECT_LT((left >> 8) & 0xFF, 50u);
    EXPECT_GT((right >> 8) & 0xFF, 200u);
    EXPECT_LT((right >> 16) & 0xFF, 50u);
}

TEST_F(KvImageTest, TurningOnePictureLeavesOthersOfTheSameFileAsTheyAre) {
    IKvImage* turned = Make(Marked(), "shared.png");
    ASSERT_NE(turned, nullptr);
    IKvImage* other = nullptr;
    ASSERT_EQ(m_root->CreateImage(&other, m_dir.File16("shared.png").c_str()), RZ_OK);
    m_images.push_back(other);
    ASSERT_EQ(other->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_OK);
    ASSERT_EQ(turned->Rotate90(), RZ_OK);
    m_target.Fill(kBack);
    ASSERT_EQ(other->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_OK);
    EXPECT_EQ(InkBox(m_target, kBack), (Rect{0, 0, 200, 50}));
    EXPECT_EQ(CountPixels(m_target, Rect{0, 0, 10, 10}, kBlue), 100);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(turned->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 50u);
}

TEST_F(KvImageTest, ACutCameraSizedPictureIsRefusedWhenFirstDrawn) {
    // 2400 x 2000 is kept reduced; its file is cut in half after the header was read.
    std::vector<uint8_t> bmp =
        EncodeBmp24(2400, 2000, std::vector<uint32_t>(2400 * 2000, 0x3366CC));
    bmp.resize(bmp.size() / 2);
    WriteBytes(m_dir.File("cut.bmp"), bmp);
    IKvImage* image = nullptr;
    ASSERT_EQ(m_root->CreateImage(&image, m_dir.File16("cut.bmp").c_str()), RZ_OK);
    m_images.push_back(image);
    EXPECT_EQ(image->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_FAIL);
    EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
    int loaded = 1;
    EXPECT_EQ(image->IsLoaded(&loaded), RZ_OK);
    EXPECT_EQ(loaded, 0);
}

TEST_F(KvImageTest, AJpegCutInsideItsDataDrawsNothingAtEitherSize) {
    // A skin-sized picture (decoded whole) and a camera-sized one (decoded reduced), each with
    // detail all over, cut half way through their compressed data.
    for (const auto& [name, w, h] : std::vector<std::tuple<std::string, int, int>>{
             {"small.jpg", 240, 160}, {"camera.jpg", 2600, 1800}}) {
        SCOPED_TRACE(name);
        plat::Surface photo(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                photo.SetPixel(x, y,
                               Argb(255, uint8_t(x * 3 + y), uint8_t(y * 7 ^ x), uint8_t(x ^ y)));
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(plat::EncodeImage(photo, plat::ImageFormat::Jpeg, 90, bytes));
        bytes.resize(bytes.size() / 2);
        WriteBytes(m_dir.File(name), bytes);
        IKvImage* image = nullptr;
        ASSERT_EQ(m_root->CreateImage(&image, m_dir.File16(name).c_str()), RZ_OK);
        m_images.push_back(image);
        EXPECT_EQ(image->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_FAIL);
        EXPECT_EQ(image->DrawPart(m_canvas.get(), 0, 0, 50, 50, 0, 0, 50, 50), RZ_FAIL);
        EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
        int loaded = 1;
        EXPECT_EQ(image->IsLoaded(&loaded), RZ_OK);
        EXPECT_EQ(loaded, 0);
    }
}
