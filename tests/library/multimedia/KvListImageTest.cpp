#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "library/multimedia/KvListImage.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;
using KvMultimedia::CKvListImage;
using KvMultimedia::IKvImage;
using plat::Argb;

namespace {

constexpr uint32_t kBack = Argb(255, 0, 0, 0);
constexpr uint32_t kRed = Argb(255, 220, 20, 20);
constexpr uint32_t kGreen = Argb(255, 20, 200, 20);
constexpr uint32_t kBlue = Argb(255, 20, 20, 220);
constexpr uint32_t kWhite = Argb(255, 250, 250, 250);

// Red, green / blue, white quadrants.
plat::Surface Quadrants(int w, int h) {
    plat::Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.SetPixel(x, y,
                       y < h / 2 ? (x < w / 2 ? kRed : kGreen) : (x < w / 2 ? kBlue : kWhite));
    return s;
}

class ListImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_target = SolidImage(800, 600, kBack);
        m_canvas = plat::MakeCanvas(m_target);
    }
    void TearDown() override {
        for (IKvImage* image : m_images)
            image->Release();
    }

    std::string Jpeg(const std::string& name, int w, int h) {
        const std::string path = m_dir.File(name);
        EXPECT_TRUE(plat::SaveImageFile(path, Quadrants(w, h), plat::ImageFormat::Jpeg, 90));
        return path;
    }
    CKvListImage* Make(const std::string& name) {
        IKvImage* image = nullptr;
        EXPECT_EQ(KvMultimedia::NewListImage(&image, m_dir.File16(name).c_str(), 800, 600), RZ_OK);
        if (!image)
            return nullptr;
        m_images.push_back(image);
        return static_cast<CKvListImage*>(image);
    }
    static std::pair<int, int> Held(CKvListImage* image) {
        int w = -1, h = -1;
        image->HeldSize(&w, &h);
        return {w, h};
    }
    // The four quadrants of a picture drawn into x, y, w, h.
    void ExpectQuadrants(int x, int y, int w, int h) {
        EXPECT_TRUE(testsupport::ChannelsNear(m_target.PixelAt(x + w / 4, y + h / 4), kRed, 24));
        EXPECT_TRUE(
            testsupport::ChannelsNear(m_target.PixelAt(x + 3 * w / 4, y + h / 4), kGreen, 24));
        EXPECT_TRUE(
            testsupport::ChannelsNear(m_target.PixelAt(x + w / 4, y + 3 * h / 4), kBlue, 24));
        EXPECT_TRUE(
            testsupport::ChannelsNear(m_target.PixelAt(x + 3 * w / 4, y + 3 * h / 4), kWhite, 24));
    }

    TempDir m_dir;
    plat::Surface m_target;
    std::unique_ptr<plat::Canvas> m_canvas;
    std::vector<IKvImage*> m_images;
};

}  // namespace

TEST_F(ListImageTest, ReportsTheFittedSizeAndDecodesOnlyWhatIsDrawn) {
    Jpeg("photo.jpg", 1600, 1200);
    CKvListImage* image = Make("photo.jpg");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Held(image), std::make_pair(0, 0));
    uint32_t w = 0, h = 0;
    ASSERT_EQ(image->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 800u);
    EXPECT_EQ(h, 600u);
    int loaded = 0;
    image->IsLoaded(&loaded);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(Held(image), std::make_pair(0, 0));  // the header told the size

    // A cell's draw holds pixels of the cell's size only, and draws the whole picture.
    ASSERT_EQ(image->Draw(m_canvas.get(), 10, 20, 116, 87), RZ_OK);
    EXPECT_EQ(Held(image), std::make_pair(116, 87));
    ExpectQuadrants(10, 20, 116, 87);
    EXPECT_EQ(m_target.PixelAt(9, 50), kBack);
    EXPECT_EQ(m_target.PixelAt(126, 50), kBack);

    // Its natural size, and a part of it in the reported size's pixels.
    m_target.Fill(kBack);
    ASSERT_EQ(image->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_OK);
    EXPECT_EQ(Held(image), std::make_pair(800, 600));
    ExpectQuadrants(0, 0, 800, 600);
    m_target.Fill(kBack);
    ASSERT_EQ(image->DrawPart(m_canvas.get(), 0, 0, 100, 100, 400, 0, 800, 300), RZ_OK);
    EXPECT_TRUE(testsupport::ChannelsNear(m_target.PixelAt(50, 50), kGreen, 24));
    EXPECT_EQ(m_target.PixelAt(150, 50), kBack);

    // A small picture is drawn from its own pixels, never enlarged in memory.
    Jpeg("small.jpg", 60, 40);
    CKvListImage* small = Make("small.jpg");
    ASSERT_EQ(small->Draw(m_canvas.get(), 0, 0, 120, 80), RZ_OK);
    EXPECT_EQ(Held(small), std::make_pair(60, 40));
}

TEST_F(ListImageTest, ABrokenFileDrawsNothingAndStaysBroken) {
    const std::string path = Jpeg("photo.jpg", 1600, 1200);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(path, bytes));
    // Cut just after the start of its compressed data: the header is whole, the rows are not.
    for (size_t i = 2; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) {
            bytes.resize(i + 10);
            break;
        }
    WriteBytes(m_dir.File("cut.jpg"), bytes);
    CKvListImage* cut = Make("cut.jpg");
    uint32_t w = 0, h = 0;
    EXPECT_EQ(cut->GetSize(&w, &h), RZ_OK);  // its header is whole
    EXPECT_EQ(cut->Draw(m_canvas.get(), 0, 0, 116, 87), RZ_FAIL);
    EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
    EXPECT_EQ(cut->GetSize(&w, &h), RZ_FAIL);
    EXPECT_EQ(cut->Draw(m_canvas.get(), 0, 0, 116, 87), RZ_FAIL);
    EXPECT_EQ(Held(cut), std::make_pair(0, 0));

    // Cut half way through its data: the decoder would fill the missing rows with grey.
    ASSERT_TRUE(plat::ReadWholeFile(path, bytes));
    bytes.resize(bytes.size() / 2);
    WriteBytes(m_dir.File("half.jpg"), bytes);
    CKvListImage* half = Make("half.jpg");
    EXPECT_EQ(half->Draw(m_canvas.get(), 0, 0, 116, 87), RZ_FAIL);
    EXPECT_EQ(half->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_FAIL);
    EXPECT_EQ(CountInk(m_target, m_target.Bounds(), kBack), 0);
    int loaded = 1;
    half->IsLoaded(&loaded);
    EXPECT_EQ(loaded, 0);
    EXPECT_FALSE(half->HoldNow());

    CKvListImage* missing = Make("missing.jpg");
    loaded = 1;
    missing->IsLoaded(&loaded);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(missing->GetSize(&w, &h), RZ_FAIL);
    EXPECT_EQ(missing->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_FAIL);
    IKvImage* none = nullptr;
    EXPECT_EQ(KvMultimedia::NewListImage(&none, nullptr, 800, 600), RZ_FAIL);
    EXPECT_EQ(none, nullptr);
}

TEST_F(ListImageTest, HeldPixelsStayWithinTheBudgetAndComeBackWhenDrawnAgain) {
    Jpeg("photo.jpg", 800, 600);
    const size_t before = KvMultimedia::ListImageHeldBytes();
    const size_t each = 800 * 600 * 4;
    const int n = static_cast<int>(KvMultimedia::kListImagePixelBytes / each) + 3;
    std::vector<CKvListImage*> images;
    for (int i = 0; i < n; ++i) {
        images.push_back(Make("photo.jpg"));
        ASSERT_EQ(images.back()->Draw(m_canvas.get(), 0, 0, 0, 0), RZ_OK);
        EXPECT_LE(KvMultimedia::ListImageHeldBytes() - before, KvMultimedia::kListImagePixelBytes);
    }
    // The first drawn gave theirs back; the last are held.
    EXPECT_EQ(Held(images.front()), std::make_pair(0, 0));
    EXPECT_EQ(Held(images.back()), std::make_pair(800, 600));
    m_target.Fill(kBack);
    ASSERT_EQ(images.front()->Draw(m_canvas.get(), 0, 0, 400, 300), RZ_OK);
    ExpectQuadrants(0, 0, 400, 300);
    // Released pictures take their pixels with them.
    for (IKvImage* image : m_images)
        image->Release();
    m_images.clear();
    EXPECT_EQ(KvMultimedia::ListImageHeldBytes(), before);
}

TEST_F(ListImageTest, TurnedPicturesKeepTheirPixelsAndSaveTheTurn) {
    Jpeg("photo.jpg", 1600, 1200);
    CKvListImage* image = Make("photo.jpg");
    ASSERT_EQ(image->Rotate90(), RZ_OK);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(image->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 600u);
    EXPECT_EQ(h, 800u);
    // Red was top left: a quarter turn clockwise puts it top right.
    ASSERT_EQ(image->Draw(m_canvas.get(), 0, 0, 300, 400), RZ_OK);
    EXPECT_TRUE(testsupport::ChannelsNear(m_target.PixelAt(225, 100), kRed, 24));
    EXPECT_TRUE(testsupport::ChannelsNear(m_target.PixelAt(75, 100), kBlue, 24));
    const std::u16string saved = m_dir.File16("temp.JPG");
    ASSERT_EQ(image->Save(saved.c_str()), RZ_OK);
    plat::Surface back;
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("temp.JPG"), back));
    EXPECT_EQ(back.Width(), 600);
    EXPECT_EQ(back.Height(), 800);
    EXPECT_TRUE(testsupport::ChannelsNear(back.PixelAt(450, 200), kRed, 24));
    EXPECT_EQ(image->Save(m_dir.File16("temp.png").c_str()), RZ_FAIL);
}

TEST_F(ListImageTest, AHeldPictureKeepsWhatItsFileShowedThen) {
    Jpeg("temp.jpg", 1600, 1200);
    CKvListImage* image = Make("temp.jpg");
    ASSERT_TRUE(image->HoldNow());
    EXPECT_EQ(Held(image), std::make_pair(800, 600));
    // The file is written again with another picture: the held one is still drawn.
    ASSERT_TRUE(plat::SaveImageFile(m_dir.File("temp.jpg"), SolidImage(300, 200, kBlue),
                                    plat::ImageFormat::Jpeg, 90));
    ASSERT_EQ(image->Draw(m_canvas.get(), 0, 0, 116, 87), RZ_OK);
    ExpectQuadrants(0, 0, 116, 87);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(image->GetSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 800u);
    // A file that cannot be decoded holds nothing.
    CKvListImage* missing = Make("missing.jpg");
    EXPECT_FALSE(missing->HoldNow());
}
