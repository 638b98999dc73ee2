// The SDL backend on a real X server (Xvfb started by the test): one native window per
// top-level window, placed at its desktop co-ordinates, kept in our stacking order.
#include <cstdlib>
#include <string>

#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/XServer.h"

using namespace uitest;

namespace {

constexpr uint32_t kRed = Argb(0xFF, 0xFF, 0, 0);
constexpr uint32_t kBlue = Argb(0xFF, 0, 0, 0xFF);
constexpr uint32_t kWhite = Argb(0xFF, 0xFF, 0xFF, 0xFF);
constexpr uint32_t kBlack = Argb(0xFF, 0, 0, 0);

TEST(UiX11, NativeWindowsFollowPlaceSizeVisibilityAndOrder) {
    testsupport::XServer x("1600x600x24");
    if (x.Display().empty())
        GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ::setenv("DISPLAY", x.Display().c_str(), 1);
    ::unsetenv("SDL_VIDEODRIVER");
    ::unsetenv("WAYLAND_DISPLAY");
    Options options;
    options.backend = Backend::Sdl;
    ASSERT_TRUE(Init(options));

    TestWindow front, rear, button;
    front.fill = kRed;
    rear.fill = kBlue;
    button.fill = kWhite;
    std::vector<Point> taps;
    button.pen = [&](PenAction a, Point pt) {
        if (a == PenAction::Up)
            taps.push_back(pt);
    };
    ASSERT_TRUE(front.Open(Rect::FromXYWH(0, 0, 800, 480)));
    ASSERT_TRUE(rear.Open(Rect::FromXYWH(800, 0, 800, 600)));
    ASSERT_TRUE(button.Open(Rect::FromXYWH(100, 50, 80, 60), true, kNoWindow, true));
    PumpUntilIdle();

    Surface s0, s1;
    ASSERT_TRUE(ReadDisplayedScreen(0, s0));
    ASSERT_TRUE(ReadDisplayedScreen(1, s1));
    EXPECT_EQ(s0.PixelAt(400, 300), kRed);
    EXPECT_EQ(s0.PixelAt(120, 70), kWhite);
    EXPECT_EQ(s1.PixelAt(400, 300), kBlue);

    // What changed reaches the screen, whichever window it is in: a child's new picture, and
    // another top-level window's, while the windows that did not change stay as they were.
    TestWindow label;
    label.fill = kBlue;
    ASSERT_TRUE(label.Open(Rect::FromXYWH(300, 200, 50, 40), true, front.Id()));
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, s0));
    EXPECT_EQ(s0.PixelAt(310, 210), kBlue);
    label.fill = kWhite;
    InvalidateRect(label.Id());
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, s0));
    EXPECT_EQ(s0.PixelAt(310, 210), kWhite);
    EXPECT_EQ(s0.PixelAt(400, 300), kRed);
    label.Destroy();
    rear.fill = kWhite;
    InvalidateRect(rear.Id());
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, s0));
    ASSERT_TRUE(ReadDisplayedScreen(1, s1));
    EXPECT_EQ(s0.PixelAt(310, 210), kRed) << "the child is gone from its seat's picture";
    EXPECT_EQ(s1.PixelAt(400, 300), kWhite);

    // The button collapses the seat: the seat hides, the button moves and grows into a bar.
    ShowWindow(front.Id(), false);
    MoveWindow(button.Id(), 0, 0, 800, 150);
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, s0));
    EXPECT_EQ(s0.PixelAt(400, 100), kWhite);
    EXPECT_EQ(s0.PixelAt(400, 300), kBlack);
    InjectPen(PenAction::Down, Point{700, 100});
    InjectPen(PenAction::Up, Point{700, 100});
    PumpUntilIdle();
    ASSERT_EQ(taps.size(), 1u);
    EXPECT_EQ(taps[0].x, 700);

    // Expanded again: the seat comes back under the top-most bar.
    ShowWindow(front.Id(), true);
    MoveWindow(button.Id(), 200, 0, 80, 60);
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, s0));
    EXPECT_EQ(s0.PixelAt(400, 300), kRed);
    EXPECT_EQ(s0.PixelAt(210, 10), kWhite);
    EXPECT_EQ(s0.PixelAt(100, 100), kRed);
    button.Destroy();
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, s0));
    EXPECT_EQ(s0.PixelAt(210, 10), kRed);
    Terminate();
}

}  // namespace
