#include "core/shell/RZSplash.h"

#include <gtest/gtest.h>

#include "tests/harness/SeatTestEnv.h"

namespace {

const char* kSplash = "Skin/Default 01/Splash.bmp";
const uint32_t kSplashColour = 0xFF204060;

class SplashTest : public seattest::SeatEnvTest {
protected:
    void TearDown() override {
        CRZSplash::HideSplashScreen(plat::ui::kNoWindow);
        SeatEnvTest::TearDown();
    }

    void SplashPicture(int height) {
        std::filesystem::create_directories(m_dir.File("Skin/Default 01"));
        std::vector<uint32_t> rgb(size_t(SPLASH_WIDTH) * height, kSplashColour & 0xFFFFFF);
        // A stripe at the top right tells which way round the picture is drawn.
        for (int x = 300; x < SPLASH_WIDTH; ++x)
            rgb[x] = 0xFFFFFF;
        testsupport::WriteBytes(m_dir.File(kSplash),
                                testsupport::EncodeBmp24(SPLASH_WIDTH, height, rgb));
    }

    // Windows that show on the front screen.
    static plat::Surface FrontScreen() {
        plat::Surface screen;
        EXPECT_TRUE(plat::ui::CaptureScreen(0, screen));
        return screen;
    }
};

}  // namespace

TEST_F(SplashTest, ShowsOnceCentredOverTheFrontScreenUntilTheMainDialogEndsIt) {
    SplashPicture(220);
    StartKernel();
    plat::ui::Window main;
    ASSERT_TRUE(main.Create({plat::Rect{0, 0, 0, 0}, plat::ui::kNoWindow, false, false, u""}));

    CRZSplash::ShowSplashScreen(main.Id());
    CRZSplash* splash = CRZSplash::Instance();
    ASSERT_NE(splash, nullptr);
    const plat::ui::WindowId id = splash->Id();
    EXPECT_TRUE(plat::ui::IsWindowVisible(id));
    // The main dialog shows nothing, so the splash centres over the screen.
    EXPECT_EQ(plat::ui::GetWindowRect(id), plat::Rect::FromXYWH(240, 130, 320, 220));
    EXPECT_EQ(splash->m_iFrame, 0);
    EXPECT_EQ(splash->m_iFrameWidth, 320);
    EXPECT_EQ(splash->m_bHidden, 0);

    // Painted at once, before any message loop runs.
    plat::Surface screen = FrontScreen();
    EXPECT_EQ(screen.PixelAt(240, 130 + 10), kSplashColour);
    EXPECT_EQ(screen.PixelAt(240 + 319, 130 + 219), kSplashColour);
    EXPECT_EQ(screen.PixelAt(240 + 310, 130), 0xFFFFFFFFu) << "top row is the picture's top";
    EXPECT_EQ(screen.PixelAt(239, 130), 0xFF000000u) << "nothing outside the splash";

    // A second call while it shows does nothing.
    CRZSplash::ShowSplashScreen(main.Id());
    EXPECT_EQ(CRZSplash::Instance(), splash);
    EXPECT_EQ(splash->Id(), id);

    CRZSplash::HideSplashScreen(main.Id());
    EXPECT_EQ(CRZSplash::Instance(), nullptr);
    EXPECT_FALSE(plat::ui::IsWindow(id));
    EXPECT_EQ(FrontScreen().PixelAt(400, 240), 0xFF000000u);
}

TEST_F(SplashTest, TheWindowIsAsHighAsThePictureAndCentresOverAVisibleOwner) {
    SplashPicture(100);
    StartKernel();
    plat::ui::Window owner;
    ASSERT_TRUE(
        owner.Create({plat::Rect{800, 0, 1600, 600}, plat::ui::kNoWindow, true, false, u""}));
    CRZSplash::ShowSplashScreen(owner.Id());
    ASSERT_NE(CRZSplash::Instance(), nullptr);
    EXPECT_EQ(plat::ui::GetWindowRect(CRZSplash::Instance()->Id()),
              plat::Rect::FromXYWH(800 + 240, 250, 320, 100));
}

TEST_F(SplashTest, WithoutItsPictureThereIsNoSplashAndStartUpGoesOn) {
    StartKernel();
    CRZSplash::ShowSplashScreen(plat::ui::kNoWindow);
    EXPECT_EQ(CRZSplash::Instance(), nullptr);
    EXPECT_TRUE(plat::ui::TakeMessageBoxes().empty());
    // Ending a splash that never came is harmless.
    CRZSplash::HideSplashScreen(plat::ui::kNoWindow);
}

TEST_F(SplashTest, TheProgramCarriesA24BitSplashOf320By220) {
    const std::vector<uint8_t> bmp =
        testsupport::ReadBytes(seattest::RunDir() + "/Skin/Default 01/Splash.bmp");
    ASSERT_GE(bmp.size(), 54u);
    auto le32 = [&](size_t at) {
        return int32_t(bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 |
                       uint32_t(bmp[at + 3]) << 24);
    };
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    EXPECT_EQ(le32(18), 320);
    EXPECT_EQ(std::abs(le32(22)), 220);
    EXPECT_EQ(bmp[28] | bmp[29] << 8, 24) << "bits per pixel";

    // And it shows: the picture is not one flat colour.
    CopyFromRun("Skin/Default 01");
    StartKernel();
    CRZSplash::ShowSplashScreen(plat::ui::kNoWindow);
    ASSERT_NE(CRZSplash::Instance(), nullptr);
    plat::Surface screen = FrontScreen();
    EXPECT_GT(testsupport::CountInk(screen, plat::Rect::FromXYWH(240, 130, 320, 220),
                                    screen.PixelAt(240, 130)),
              2000);
}
