// The SDL backend with SDL's offscreen video driver: both screens open, pictures reach the
// screens' own windows, a message box drawn by the layer is tapped, and a quit request ends
// the main loop.
#include <csignal>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/media/VideoSurface.h"
#include "platform/sys/EndSignals.h"
#include "platform/ui/UiInternal.h"
#include "tests/platform/ui/UiTestSupport.h"

using namespace uitest;

namespace {

constexpr uint32_t kRed = Argb(0xFF, 0xFF, 0, 0);
constexpr uint32_t kBlue = Argb(0xFF, 0, 0, 0xFF);
constexpr uint32_t kWhite = Argb(0xFF, 0xFF, 0xFF, 0xFF);

class MainWindow : public TestWindow {
public:
    bool closed = false;

protected:
    void OnClose() override {
        closed = true;
        EndModal(Id(), 0);
    }
};

// The top-most window with this title, from the layer's own records.
Rect FindWindowRect(const std::u16string& title) {
    std::lock_guard<std::mutex> lock(Mutex());
    for (auto& rec : TopLevelsLocked()) {
        if (rec->title == title && rec->visible)
            return rec->rect;
    }
    return Rect{};
}

TEST(UiSdl, OffscreenScreensShowWindowsAnswerABoxAndQuit) {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    Options options;
    options.backend = Backend::Sdl;
    ASSERT_TRUE(Init(options));
    EXPECT_FALSE(IsHeadless());

    MainWindow main;
    TestWindow front, rear;
    ASSERT_TRUE(main.Open(Rect::FromXYWH(0, 0, 0, 0), false));
    SetQuitTarget(main.Id());
    front.fill = kRed;
    rear.paint = [](Surface& s, const Rect&) {
        s.Fill(kBlue);
        for (int y = 100; y < 200; ++y)
            for (int x = 300; x < 500; ++x)
                s.SetPixel(x, y, kWhite);
    };
    std::vector<Point> taps;
    front.pen = [&](PenAction a, Point pt) {
        if (a == PenAction::Up)
            taps.push_back(pt);
    };
    ASSERT_TRUE(front.Open(Rect::FromXYWH(0, 0, 800, 480), true, kNoWindow, true));
    ASSERT_TRUE(rear.Open(Rect::FromXYWH(800, 0, 800, 600), true, kNoWindow, true));
    PumpUntilIdle();

    Surface shown0, shown1;
    ASSERT_TRUE(ReadDisplayedScreen(0, shown0));
    ASSERT_TRUE(ReadDisplayedScreen(1, shown1));
    EXPECT_EQ(shown0.Width(), 800);
    EXPECT_EQ(shown0.Height(), 480);
    EXPECT_EQ(shown1.Width(), 800);
    EXPECT_EQ(shown1.Height(), 600);
    EXPECT_EQ(shown0.PixelAt(400, 240), kRed);
    EXPECT_EQ(shown1.PixelAt(10, 10), kBlue);
    EXPECT_EQ(shown1.PixelAt(400, 150), kWhite);

    // A start-up failure box on the real screens: a worker taps its OK button while the box's
    // own loop runs, and looks at the screen from inside that loop.
    uint32_t captionPixel = 0;
    std::thread user([&] {
        Rect box;
        ASSERT_TRUE(WaitUntil([&] { return !(box = FindWindowRect(u"ERROR")).IsEmpty(); }));
        // Read from the screen's window once the box has been drawn there.
        WaitUntil([&] {
            RunOnUiThread([&] {
                Surface s;
                ReadDisplayedScreen(0, s);
                captionPixel = s.PixelAt(box.left + 4, box.top + 4);
            });
            return captionPixel != kRed;
        });
        Point ok{box.right - 20 - 55, box.bottom - 20 - 22};
        InjectPen(PenAction::Down, ok);
        InjectPen(PenAction::Up, ok);
    });
    int result = MessageBox(front.Id(), u"Initial Velkora Error.", u"ERROR", kMbOk | kMbIconError);
    user.join();
    EXPECT_EQ(result, kIdOk);
    EXPECT_EQ(captionPixel, Argb(0xFF, 0xB2, 0x1E, 0x1E));  // the error box's caption bar
    auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"ERROR");
    EXPECT_TRUE(FindWindowRect(u"ERROR").IsEmpty());
    // The box is gone from the screen, and the tap did not reach the seat under it.
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, shown0));
    EXPECT_EQ(shown0.PixelAt(400, 240), kRed);
    EXPECT_TRUE(taps.empty());

    // The program asked to end while a box waits for a press: the box gives way, answering as
    // closed, and leaves the request to the program, which then ends as it always does.
    plat::CatchEndSignals();
    std::thread shutdown([&] {
        ASSERT_TRUE(WaitUntil([&] { return !FindWindowRect(u"QUESTION").IsEmpty(); }));
        std::raise(SIGTERM);
    });
    int asked = MessageBox(front.Id(), u"Save?", u"QUESTION", kMbYesNo);
    shutdown.join();
    EXPECT_EQ(asked, kIdNo);
    EXPECT_TRUE(FindWindowRect(u"QUESTION").IsEmpty());
    EXPECT_EQ(plat::TakeEndRequest(), plat::EndRequest::EndSession);
    plat::ReleaseEndSignals();
    TakeMessageBoxes();

    // Pen input reaches the seat at its client co-ordinates.
    InjectPen(PenAction::Down, Point{30, 40});
    InjectPen(PenAction::Up, Point{30, 40});
    PumpUntilIdle();
    ASSERT_EQ(taps.size(), 1u);
    EXPECT_EQ(taps[0].x, 30);

    // The end of the program: a quit request (the window manager, SIGTERM) closes the main
    // window, whose loop ends.
    std::thread quitter([] { RouteClose(kNoWindow); });
    EXPECT_EQ(RunModalLoop(main.Id()), 0);
    quitter.join();
    EXPECT_TRUE(main.closed);
    BeginShutdown();
    Terminate();
}

// A frame put by another thread (as the media engine's) reaches the real screen at the next
// presentation, and hiding the video shows the window's own picture there again.
TEST(UiSdl, VideoFramesFromAnotherThreadReachTheScreen) {
    ::setenv("SDL_VIDEODRIVER", "offscreen", 1);
    Options options;
    options.backend = Backend::Sdl;
    ASSERT_TRUE(Init(options));
    TestWindow front;
    front.fill = kRed;
    ASSERT_TRUE(front.Open(Rect::FromXYWH(0, 0, 800, 480), true, kNoWindow, true));
    PumpUntilIdle();
    auto video = VideoSurface::Create(front.Id());
    video->SetRect(Rect::FromXYWH(100, 100, 200, 100));
    video->SetVisible(true);
    std::thread engine([&] {
        std::vector<uint8_t> blue(8 * 8 * 4, 0);
        for (size_t i = 0; i < blue.size(); i += 4)
            blue[i] = 0xFF;
        video->PutFrame(blue.data(), 8, 8, 32);
    });
    engine.join();
    PumpUntilIdle();
    Surface shown;
    ASSERT_TRUE(ReadDisplayedScreen(0, shown));
    EXPECT_EQ(shown.PixelAt(150, 150), kBlue);
    EXPECT_EQ(shown.PixelAt(50, 50), kRed);

    video->SetVisible(false);
    PumpUntilIdle();
    ASSERT_TRUE(ReadDisplayedScreen(0, shown));
    EXPECT_EQ(shown.PixelAt(150, 150), kRed);
    video.reset();
    front.Destroy();
    Terminate();
}

}  // namespace
