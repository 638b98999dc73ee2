// Video windows on the headless backend: a player's picture drawn into its owner window at the
// rectangle the owner gave, scaled, clipped to the owner, shown and hidden, with the pen going to
// the owner.
#include <vector>

#include "platform/media/VideoSurface.h"
#include "tests/platform/ui/UiTestSupport.h"

using namespace uitest;

namespace {

constexpr uint32_t kRed = Argb(0xFF, 0xFF, 0, 0);
constexpr uint32_t kGreen = Argb(0xFF, 0, 0xFF, 0);
constexpr uint32_t kBlue = Argb(0xFF, 0, 0, 0xFF);
constexpr uint32_t kWhite = Argb(0xFF, 0xFF, 0xFF, 0xFF);
constexpr uint32_t kBlack = Argb(0xFF, 0, 0, 0);

// A 2x2 frame as the media engine gives it (B, G, R, x): green, blue / white, black.
void PutQuadrants(VideoSurface& video) {
    const uint8_t pixels[] = {0,    0xFF, 0,    0, 0xFF, 0, 0, 0,  // green, blue
                              0xFF, 0xFF, 0xFF, 0, 0,    0, 0, 0};
    video.PutFrame(pixels, 2, 2, 8);
}

TEST(UiVideo, FramesAreScaledIntoTheRectangleAndClippedToTheOwner) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.ok);
    TestWindow owner;
    owner.fill = kRed;
    ASSERT_TRUE(owner.Open(Rect::FromXYWH(100, 50, 200, 100)));
    PumpUntilIdle();
    auto video = VideoSurface::Create(owner.Id());
    PutQuadrants(*video);
    video->SetRect(Rect::FromXYWH(20, 20, 40, 40));

    // Placed but not shown yet: only the owner's own picture.
    Surface pic;
    ASSERT_TRUE(GetWindowPicture(owner.Id(), pic));
    EXPECT_EQ(pic.PixelAt(25, 25), kRed);

    video->SetVisible(true);
    ASSERT_TRUE(GetWindowPicture(owner.Id(), pic));
    EXPECT_EQ(pic.PixelAt(19, 25), kRed);
    EXPECT_EQ(pic.PixelAt(22, 22), kGreen);
    EXPECT_EQ(pic.PixelAt(57, 22), kBlue);
    EXPECT_EQ(pic.PixelAt(22, 57), kWhite);
    EXPECT_EQ(pic.PixelAt(57, 57), kBlack);
    EXPECT_EQ(pic.PixelAt(60, 57), kRed);
    EXPECT_EQ(pic.PixelAt(57, 60), kRed);

    // Moved across the owner's right edge: what lies outside the owner is not drawn.
    video->SetRect(Rect::FromXYWH(180, 10, 40, 40));
    Surface front;
    ASSERT_TRUE(CaptureScreen(0, front));
    EXPECT_EQ(front.PixelAt(100 + 182, 50 + 12), kGreen);
    EXPECT_NE(front.PixelAt(100 + 199, 50 + 12), kRed);  // green blending into blue
    EXPECT_EQ(front.PixelAt(100 + 200, 50 + 12), kBlack);
    EXPECT_EQ(front.PixelAt(100 + 25, 50 + 25), kRed);

    // Hidden, the owner's pixels are there again, untouched.
    video->SetVisible(false);
    ASSERT_TRUE(CaptureScreen(0, front));
    EXPECT_EQ(front.PixelAt(100 + 182, 50 + 12), kRed);
    EXPECT_EQ(owner.paints, 1);
}

TEST(UiVideo, ThePictureFollowsItsOwnerAndIsOverThePictureUnderChildren) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.ok);
    TestWindow front, rear, child;
    front.fill = kRed;
    rear.fill = kBlue;
    child.fill = kWhite;
    ASSERT_TRUE(front.Open(Rect::FromXYWH(0, 0, 800, 480)));
    ASSERT_TRUE(rear.Open(Rect::FromXYWH(800, 0, 800, 600)));
    ASSERT_TRUE(child.Open(Rect::FromXYWH(0, 0, 10, 10), true, rear.Id()));
    PumpUntilIdle();
    auto video = VideoSurface::Create(front.Id());
    std::vector<uint8_t> pixels(4 * 4 * 4, 0);
    for (size_t i = 1; i < pixels.size(); i += 4)
        pixels[i] = 0xFF;
    video->PutFrame(pixels.data(), 4, 4, 16);
    video->SetRect(Rect::FromXYWH(0, 0, 800, 600));
    video->SetVisible(true);
    Surface screen;
    ASSERT_TRUE(CaptureScreen(0, screen));
    EXPECT_EQ(screen.PixelAt(400, 240), kGreen);

    // Given to the rear seat full screen: gone from the front, there under the rear's child.
    video->SetOwner(rear.Id());
    ASSERT_TRUE(CaptureScreen(0, screen));
    EXPECT_EQ(screen.PixelAt(400, 240), kRed);
    ASSERT_TRUE(CaptureScreen(1, screen));
    EXPECT_EQ(screen.PixelAt(400, 300), kGreen);
    EXPECT_EQ(screen.PixelAt(799, 599), kGreen);
    EXPECT_EQ(screen.PixelAt(5, 5), kWhite);

    // A surface that outlives nothing: once released it is drawn no more.
    video.reset();
    ASSERT_TRUE(CaptureScreen(1, screen));
    EXPECT_EQ(screen.PixelAt(400, 300), kBlue);
}

TEST(UiVideo, PenOnTheVideoReachesTheOwner) {
    HeadlessUi ui;
    ASSERT_TRUE(ui.ok);
    TestWindow owner;
    owner.fill = kRed;
    std::vector<std::pair<PenAction, Point>> pens;
    owner.pen = [&](PenAction a, Point p) { pens.emplace_back(a, p); };
    ASSERT_TRUE(owner.Open(Rect::FromXYWH(100, 50, 200, 100)));
    auto video = VideoSurface::Create(owner.Id());
    PutQuadrants(*video);
    video->SetRect(Rect::FromXYWH(20, 20, 40, 40));
    video->SetVisible(true);
    PumpUntilIdle();

    InjectPen(PenAction::Down, Point{130, 80});
    InjectPen(PenAction::Up, Point{131, 81});
    PumpUntilIdle();
    ASSERT_EQ(pens.size(), 2u);
    EXPECT_EQ(pens[0].first, PenAction::Down);
    EXPECT_EQ(pens[0].second.x, 30);
    EXPECT_EQ(pens[0].second.y, 30);
    EXPECT_EQ(pens[1].first, PenAction::Up);
    EXPECT_EQ(pens[1].second.x, 31);
}

}  // namespace
