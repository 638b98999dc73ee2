// The animated picture control on the headless windows: GIFs written byte by byte, frames
// stepped with a manual clock, pictures checked by pixels, every truncation of a file.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/ui/PictureEx.h"
#include "platform/gfx/ImageFile.h"
#include "platform/text/Text.h"
#include "tests/core/ui/GifWriter.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace giftest;
using namespace uitest;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;
const Palette kPalette = {kRed, kGreen, kBlue, kWhite};
constexpr uint32_t kBackground = 0xFFF0F0F0;  // the dialog colour the control clears to

uint32_t Opaque(uint32_t rgb) {
    return 0xFF000000u | rgb;
}

// The control as a child of a dialog-like window, with the picture read back from the screen
// side: what the dialog shows at the control's place.
class Fixture {
public:
    Fixture() {
        dialog.fill = Opaque(0x0A0A0A);
        dialog.Open(Rect::FromXYWH(100, 100, 300, 200));
        CreateParams p;
        p.rect = Rect::FromXYWH(20, 30, 70, 70);
        p.parent = dialog.Id();
        p.visible = true;
        control.Create(p);
    }
    // Pixel of the control at (x, y), after the user-interface thread has painted.
    uint32_t Pixel(int x, int y) {
        PumpUntilIdle();
        Surface pic;
        GetWindowPicture(dialog.Id(), pic);
        return pic.PixelAt(20 + x, 30 + y);
    }
    // Waits until the control shows `argb` at (x, y).
    bool Shows(int x, int y, uint32_t argb) {
        return WaitUntil([&] { return Pixel(x, y) == argb; });
    }

    HeadlessUi ui;
    TestWindow dialog;
    CPictureEx control;
};

// Three frames on a 20x10 canvas with the given delays, every one leaving the canvas as it is:
// red all over, green on the left half, blue on the right half.
GifWriter ThreeFrames(int d0, int d1, int d2) {
    GifWriter g(20, 10, kPalette);
    g.Loop().Comment("three");
    g.Control(d0, 1).Image(0, 0, 20, 10, GifWriter::Solid(20, 10, 0));
    g.Control(d1, 1).Image(0, 0, 10, 10, GifWriter::Solid(10, 10, 1));
    g.Comment("between frames");
    g.Control(d2, 1).Image(10, 0, 10, 10, GifWriter::Solid(10, 10, 2));
    g.Trailer();
    return g;
}

class ManualTime {
public:
    ManualTime() {
        clock.SetAutoAdvance(false);
        SetClock(&clock);
    }
    ~ManualTime() { SetClock(nullptr); }
    ManualClock clock;
};

TEST(PictureEx, ThreeFramesShowForTheirDelaysThenTheCanvasClearsAndRepeats) {
    ManualTime time;
    Fixture f;
    std::vector<uint8_t> gif = ThreeFrames(10, 0, 50).bytes;
    ASSERT_TRUE(f.control.LoadMemory(gif.data(), gif.size()));
    EXPECT_TRUE(f.control.IsGif());
    auto frames = f.control.GetFrames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].delay, 10);
    EXPECT_EQ(frames[1].delay, 0);
    EXPECT_EQ(frames[2].delay, 50);
    EXPECT_EQ(frames[1].width, 10);
    EXPECT_EQ(frames[2].x, 10);
    EXPECT_EQ(CPictureEx::FrameDelayMs(frames[0]), 100u);
    EXPECT_EQ(CPictureEx::FrameDelayMs(frames[1]), 100u);
    EXPECT_EQ(CPictureEx::FrameDelayMs(frames[2]), 500u);
    // The control took the canvas size, in the same place.
    EXPECT_EQ(GetWindowRect(f.control.Id()), Rect::FromXYWH(120, 130, 20, 10));

    EXPECT_EQ(f.control.Start(), 0);
    ASSERT_TRUE(f.Shows(15, 5, Opaque(kRed)));
    EXPECT_TRUE(f.control.IsPlaying());
    time.clock.Advance(99);
    EXPECT_EQ(f.Pixel(5, 5), Opaque(kRed));
    time.clock.Advance(1);
    ASSERT_TRUE(f.Shows(5, 5, Opaque(kGreen)));
    EXPECT_EQ(f.Pixel(15, 5), Opaque(kRed));
    time.clock.Advance(100);
    ASSERT_TRUE(f.Shows(15, 5, Opaque(kBlue)));
    EXPECT_EQ(f.Pixel(5, 5), Opaque(kGreen));
    time.clock.Advance(499);
    EXPECT_EQ(f.Pixel(15, 5), Opaque(kBlue));
    // After the last frame the canvas is cleared and the first frame drawn again.
    time.clock.Advance(1);
    ASSERT_TRUE(f.Shows(5, 5, Opaque(kRed)));
    EXPECT_EQ(f.Pixel(15, 5), Opaque(kRed));
    time.clock.Advance(100);
    ASSERT_TRUE(f.Shows(5, 5, Opaque(kGreen)));
    f.control.Stop();
    EXPECT_FALSE(f.control.IsPlaying());
}

TEST(PictureEx, DisposalClearsToTheBackgroundOrRestoresWhatWasUnder) {
    ManualTime time;
    Fixture f;
    GifWriter g(20, 10, kPalette);
    g.Control(10, 1).Image(0, 0, 20, 10, GifWriter::Solid(20, 10, 0));   // red, left alone
    g.Control(10, 2).Image(0, 0, 10, 10, GifWriter::Solid(10, 10, 1));   // green, cleared
    g.Control(10, 3).Image(10, 0, 10, 10, GifWriter::Solid(10, 10, 2));  // blue, restored
    g.Control(10, 1).Image(15, 5, 5, 5, GifWriter::Solid(5, 5, 3));      // white corner
    g.Trailer();
    ASSERT_TRUE(f.control.LoadMemory(g.bytes.data(), g.bytes.size()));
    auto frames = f.control.GetFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[1].disposal, 2);
    EXPECT_EQ(frames[2].disposal, 3);
    f.control.Start();
    ASSERT_TRUE(f.Shows(5, 5, Opaque(kRed)));
    time.clock.Advance(100);
    ASSERT_TRUE(f.Shows(5, 5, Opaque(kGreen)));
    time.clock.Advance(100);
    ASSERT_TRUE(f.Shows(15, 5, Opaque(kBlue)));
    EXPECT_EQ(f.Pixel(5, 5), kBackground);  // the green frame's place after its delay
    time.clock.Advance(100);
    ASSERT_TRUE(f.Shows(17, 7, Opaque(kWhite)));
    EXPECT_EQ(f.Pixel(12, 2), Opaque(kRed));  // what lay under the blue frame
    EXPECT_EQ(f.Pixel(5, 5), kBackground);
}

TEST(PictureEx, TransparentPixelsLeaveTheCanvasUnderThem) {
    ManualTime time;
    Fixture f;
    std::vector<uint8_t> checker(20 * 10);
    for (int i = 0; i < 200; ++i)
        checker[i] = ((i % 20) + (i / 20)) % 2 ? 2 : 3;  // blue, or transparent white
    GifWriter g(20, 10, kPalette);
    g.Control(10, 1).Image(0, 0, 20, 10, GifWriter::Solid(20, 10, 0));
    g.Control(10, 1, 3).Image(0, 0, 20, 10, checker);
    g.Trailer();
    ASSERT_TRUE(f.control.LoadMemory(g.bytes.data(), g.bytes.size()));
    f.control.Start();
    ASSERT_TRUE(f.Shows(0, 0, Opaque(kRed)));
    time.clock.Advance(100);
    ASSERT_TRUE(f.Shows(1, 0, Opaque(kBlue)));
    EXPECT_EQ(f.Pixel(0, 0), Opaque(kRed));
    EXPECT_EQ(f.Pixel(1, 1), Opaque(kRed));
    EXPECT_EQ(f.Pixel(2, 1), Opaque(kBlue));
}

TEST(PictureEx, OneImageIsDrawnOnceWithoutAThread) {
    Fixture f;
    GifWriter g(30, 20, kPalette);
    g.Comment("still").Control(0, 0, 3).Image(5, 5, 10, 10, GifWriter::Solid(10, 10, 1));
    g.Trailer();
    ASSERT_TRUE(f.control.LoadMemory(g.bytes.data(), g.bytes.size()));
    EXPECT_TRUE(f.control.IsGif());
    EXPECT_TRUE(f.control.GetFrames().empty());
    EXPECT_EQ(f.control.GetCanvasWidth(), 30);
    EXPECT_EQ(f.control.Start(), 1);
    EXPECT_FALSE(f.control.IsPlaying());
    EXPECT_EQ(f.Pixel(5, 5), Opaque(kGreen));
    EXPECT_EQ(f.Pixel(14, 14), Opaque(kGreen));
    EXPECT_EQ(f.Pixel(4, 4), kBackground);  // outside the image: the new canvas
    EXPECT_EQ(f.Pixel(29, 19), kBackground);
    // Started again, still no thread.
    EXPECT_EQ(f.control.Start(), 1);
    EXPECT_FALSE(f.control.IsPlaying());
}

TEST(PictureEx, OtherPicturesAreDrawnOnceAtTheirNaturalSize) {
    Fixture f;
    // A 4x3 picture, red on top and blue below, as PNG and as BMP files hold it.
    Surface picture(4, 3);
    picture.Fill(Opaque(kBlue));
    for (int x = 0; x < 4; ++x)
        picture.SetPixel(x, 0, Opaque(kRed));
    for (ImageFormat format : {ImageFormat::Png, ImageFormat::Bmp}) {
        std::vector<uint8_t> file;
        ASSERT_TRUE(EncodeImage(picture, format, 100, file));
        ASSERT_TRUE(f.control.LoadMemory(file.data(), file.size()));
        EXPECT_FALSE(f.control.IsGif());
        EXPECT_EQ(f.control.GetCanvasWidth(), 4);
        EXPECT_EQ(f.control.GetCanvasHeight(), 3);
        EXPECT_EQ(GetClientRect(f.control.Id()), Rect::FromXYWH(0, 0, 4, 3));
        EXPECT_EQ(f.control.Start(), 1);
        EXPECT_FALSE(f.control.IsPlaying());
        EXPECT_EQ(f.Pixel(3, 0), Opaque(kRed));
        EXPECT_EQ(f.Pixel(0, 2), Opaque(kBlue));
    }
    // "GI" alone is no GIF, and no other picture either.
    const uint8_t gi[2] = {'G', 'I'};
    EXPECT_FALSE(f.control.LoadMemory(gi, 2));
    EXPECT_FALSE(f.control.IsLoaded());
    EXPECT_EQ(f.control.Start(), 0);
}

TEST(PictureEx, EveryTruncationLoadsTheFramesBeforeTheCutOrFails) {
    GifWriter g = ThreeFrames(10, 20, 30);
    const std::vector<uint8_t>& gif = g.bytes;
    const std::vector<size_t>& ends = g.unitEnds;
    ASSERT_EQ(ends.size(), 3u);
    HeadlessUi ui;
    for (size_t n = 0; n <= gif.size(); ++n) {
        // A copy of exactly n bytes, so that AddressSanitizer sees any read past the cut.
        std::vector<uint8_t> cut(gif.begin(), gif.begin() + n);
        size_t units = 0;
        while (units < ends.size() && ends[units] <= n)
            ++units;
        CPictureEx p;
        bool ok = p.LoadMemory(cut.data(), cut.size());
        if (units == 0) {
            EXPECT_FALSE(ok) << n;
            EXPECT_EQ(p.Start(), 0) << n;
        } else if (units == 1) {
            ASSERT_TRUE(ok) << n;
            EXPECT_TRUE(p.GetFrames().empty()) << n;
            EXPECT_EQ(p.Start(), 1) << n;
        } else {
            ASSERT_TRUE(ok) << n;
            auto frames = p.GetFrames();
            ASSERT_EQ(frames.size(), units) << n;
            EXPECT_EQ(frames.back().delay, units == 2 ? 20 : 30) << n;
            EXPECT_EQ(p.Start(), 0) << n;
            p.Stop();
        }
    }
}

TEST(PictureEx, StoppedAnimationStartsAgainFromItsFrame) {
    ManualTime time;
    Fixture f;
    std::vector<uint8_t> gif = ThreeFrames(10, 10, 10).bytes;
    ASSERT_TRUE(f.control.LoadMemory(gif.data(), gif.size()));
    f.control.Start();
    ASSERT_TRUE(f.Shows(5, 5, Opaque(kRed)));
    time.clock.Advance(100);
    ASSERT_TRUE(f.Shows(5, 5, Opaque(kGreen)));
    // Stop wakes the frame wait at once, whatever the clock does.
    f.control.Stop();
    EXPECT_FALSE(f.control.IsPlaying());
    time.clock.Advance(1000);
    EXPECT_EQ(f.Pixel(15, 5), Opaque(kRed));
    f.control.Start();
    // Time runs on until the third frame shows; a start from the first frame would have put
    // red back on the left half on the way.
    bool redAgain = false;
    ASSERT_TRUE(WaitUntil([&] {
        time.clock.Advance(10);
        redAgain |= f.Pixel(5, 5) == Opaque(kRed);
        return f.Pixel(15, 5) == Opaque(kBlue);
    }));
    EXPECT_FALSE(redAgain);
    EXPECT_EQ(f.Pixel(5, 5), Opaque(kGreen));
    f.control.Reset();
    EXPECT_FALSE(f.control.IsLoaded());
    EXPECT_EQ(f.control.Start(), 0);
}

TEST(PictureEx, DestroyingTheControlEndsTheAnimationAtOnce) {
    // Real clock, and a delay far longer than the test may run: only the wake-up ends it.
    Fixture f;
    GifWriter g(20, 10, kPalette);
    g.Control(65535, 1).Image(0, 0, 20, 10, GifWriter::Solid(20, 10, 0));
    g.Control(65535, 1).Image(0, 0, 20, 10, GifWriter::Solid(20, 10, 1));
    g.Trailer();
    auto control = std::make_unique<CPictureEx>();
    CreateParams p;
    p.rect = Rect::FromXYWH(0, 0, 70, 70);
    p.parent = f.dialog.Id();
    p.visible = true;
    ASSERT_TRUE(control->Create(p));
    ASSERT_TRUE(control->LoadMemory(g.bytes.data(), g.bytes.size()));
    control->Start();
    ASSERT_TRUE(WaitUntil([&] { return control->IsPlaying(); }));
    // The window first (as the dialog's destruction does), then the object.
    control->Destroy();
    EXPECT_FALSE(control->IsPlaying());
    control.reset();
    // And a control deleted while playing, without its window destroyed first.
    auto other = std::make_unique<CPictureEx>();
    ASSERT_TRUE(other->LoadMemory(g.bytes.data(), g.bytes.size()));
    other->Start();
    ASSERT_TRUE(WaitUntil([&] { return other->IsPlaying(); }));
    other.reset();
}

TEST(PictureEx, LoadsFilesAndRefusesMissingOnes) {
    testsupport::TempDir dir;
    std::vector<uint8_t> gif = ThreeFrames(10, 10, 10).bytes;
    testsupport::WriteBytes(dir.File("info-img-waiting.gif"), gif);
    CPictureEx p;
    EXPECT_TRUE(p.LoadFile(plat::Utf8ToUtf16(dir.File("info-img-waiting.gif")).c_str()));
    EXPECT_EQ(p.GetFrames().size(), 3u);
    // A file that cannot be read leaves what the control shows.
    EXPECT_FALSE(p.LoadFile(plat::Utf8ToUtf16(dir.File("missing.gif")).c_str()));
    EXPECT_EQ(p.GetFrames().size(), 3u);
    EXPECT_FALSE(p.LoadFile(nullptr));
}

}  // namespace
