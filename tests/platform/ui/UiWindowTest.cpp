// Windows on the headless backend: pictures checked by pixels, paint and invalidation, z-order,
// pen routing with capture, stale ids, message boxes and PNG pictures.
#include <thread>
#include <vector>

#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace uitest;

namespace {

constexpr uint32_t kRed = Argb(0xFF, 0xFF, 0, 0);
constexpr uint32_t kGreen = Argb(0xFF, 0, 0xFF, 0);
constexpr uint32_t kBlue = Argb(0xFF, 0, 0, 0xFF);
constexpr uint32_t kWhite = Argb(0xFF, 0xFF, 0xFF, 0xFF);
constexpr uint32_t kBlack = Argb(0xFF, 0, 0, 0);

TEST(UiWindow, ChildrenAreDrawnOverTheirParentAndClippedToIt) {
    HeadlessUi ui;
    TestWindow parent, child, hidden;
    parent.fill = kRed;
    child.fill = kGreen;
    hidden.fill = kBlue;
    ASSERT_TRUE(parent.Open(Rect::FromXYWH(100, 50, 200, 100)));
    // Reaches past the parent's right edge.
    ASSERT_TRUE(child.Open(Rect::FromXYWH(150, 20, 100, 40), true, parent.Id()));
    ASSERT_TRUE(hidden.Open(Rect::FromXYWH(0, 0, 20, 20), false, parent.Id()));
    PumpUntilIdle();
    EXPECT_EQ(GetWindowRect(child.Id()), Rect::FromXYWH(250, 70, 100, 40));
    EXPECT_EQ(GetParent(child.Id()), parent.Id());
    EXPECT_EQ(hidden.paints, 0);

    Surface pic;
    ASSERT_TRUE(GetWindowPicture(parent.Id(), pic));
    ASSERT_EQ(pic.Width(), 200);
    ASSERT_EQ(pic.Height(), 100);
    EXPECT_EQ(pic.PixelAt(5, 5), kRed);  // under the hidden child
    EXPECT_EQ(pic.PixelAt(149, 30), kRed);
    EXPECT_EQ(pic.PixelAt(150, 20), kGreen);
    EXPECT_EQ(pic.PixelAt(199, 59), kGreen);
    EXPECT_EQ(pic.PixelAt(160, 60), kRed);

    Surface front;
    ASSERT_TRUE(CaptureScreen(0, front));
    ASSERT_EQ(front.Width(), 800);
    ASSERT_EQ(front.Height(), 480);
    EXPECT_EQ(front.PixelAt(100, 50), kRed);
    EXPECT_EQ(front.PixelAt(299, 80), kGreen);
    EXPECT_EQ(front.PixelAt(300, 80), kBlack);  // the child's part outside the parent
    EXPECT_EQ(front.PixelAt(99, 50), kBlack);

    ShowWindow(hidden.Id(), true);
    PumpUntilIdle();
    ASSERT_TRUE(GetWindowPicture(parent.Id(), pic));
    EXPECT_EQ(pic.PixelAt(5, 5), kBlue);
}

TEST(UiWindow, ScreensShowTopLevelWindowsInZOrder) {
    HeadlessUi ui;
    TestWindow seat, rear, bar, popup;
    seat.fill = kRed;
    rear.fill = kBlue;
    bar.fill = kWhite;
    popup.fill = kGreen;
    ASSERT_TRUE(seat.Open(Rect::FromXYWH(0, 0, 800, 480)));
    ASSERT_TRUE(rear.Open(Rect::FromXYWH(800, 0, 800, 600)));
    ASSERT_TRUE(bar.Open(Rect::FromXYWH(0, 0, 80, 60), true, kNoWindow, true));
    ASSERT_TRUE(popup.Open(Rect::FromXYWH(40, 30, 100, 100)));
    PumpUntilIdle();
    Surface front, back;
    ASSERT_TRUE(CaptureScreen(0, front));
    ASSERT_TRUE(CaptureScreen(1, back));
    EXPECT_EQ(back.Width(), 800);
    EXPECT_EQ(back.Height(), 600);
    EXPECT_EQ(back.PixelAt(0, 0), kBlue);
    EXPECT_EQ(back.PixelAt(799, 599), kBlue);
    // The top-most bar stays above the pop-up opened after it.
    EXPECT_EQ(front.PixelAt(50, 40), kWhite);
    EXPECT_EQ(front.PixelAt(90, 40), kGreen);
    EXPECT_EQ(front.PixelAt(500, 300), kRed);

    BringWindowToTop(seat.Id());
    PumpUntilIdle();
    ASSERT_TRUE(CaptureScreen(0, front));
    EXPECT_EQ(front.PixelAt(90, 40), kRed);
    EXPECT_EQ(front.PixelAt(50, 40), kWhite);
    SetTopMost(bar.Id(), false);
    BringWindowToTop(popup.Id());
    PumpUntilIdle();
    ASSERT_TRUE(CaptureScreen(0, front));
    EXPECT_EQ(front.PixelAt(50, 40), kGreen);

    ShowWindow(seat.Id(), false);
    PumpUntilIdle();
    ASSERT_TRUE(CaptureScreen(0, front));
    EXPECT_EQ(front.PixelAt(500, 300), kBlack);
    Surface displayed;
    ASSERT_TRUE(ReadDisplayedScreen(0, displayed));
    EXPECT_EQ(displayed.PixelAt(500, 300), kBlack);
    EXPECT_EQ(displayed.PixelAt(50, 40), kGreen);
}

TEST(UiWindow, InvalidationsGatherIntoOnePaintOfTheirUnion) {
    HeadlessUi ui;
    TestWindow w;
    ASSERT_TRUE(w.Open(Rect::FromXYWH(0, 0, 300, 200)));
    PumpUntilIdle();
    EXPECT_EQ(w.paints, 1);
    EXPECT_EQ(w.lastDirty, Rect::FromXYWH(0, 0, 300, 200));
    w.paint = [](Surface& s, const Rect& dirty) {
        for (int y = dirty.top; y < dirty.bottom; ++y)
            for (int x = dirty.left; x < dirty.right; ++x)
                s.SetPixel(x, y, kGreen);
    };
    Rect a = Rect::FromXYWH(10, 10, 20, 20);
    Rect b = Rect::FromXYWH(50, 40, 10, 10);
    Rect outside = Rect::FromXYWH(290, 190, 50, 50);
    InvalidateRect(w.Id(), &a);
    InvalidateRect(w.Id(), &b);
    InvalidateRect(w.Id(), &outside);
    PumpUntilIdle();
    EXPECT_EQ(w.paints, 2);
    EXPECT_EQ(w.lastDirty, (Rect{10, 10, 300, 200}));
    Surface pic;
    ASSERT_TRUE(GetWindowPicture(w.Id(), pic));
    EXPECT_EQ(pic.PixelAt(5, 5), 0u);  // never painted: the window filled nothing there
    EXPECT_EQ(pic.PixelAt(10, 10), kGreen);
    EXPECT_EQ(pic.PixelAt(299, 199), kGreen);

    // Hidden windows paint when shown again.
    ShowWindow(w.Id(), false);
    InvalidateRect(w.Id());
    PumpUntilIdle();
    EXPECT_EQ(w.paints, 2);
    ShowWindow(w.Id(), true);
    PumpUntilIdle();
    EXPECT_EQ(w.paints, 3);
}

TEST(UiWindow, InvalidationFromAnotherThreadWakesTheLoop) {
    HeadlessUi ui;
    TestWindow w;
    ASSERT_TRUE(w.Open(Rect::FromXYWH(0, 0, 40, 40)));
    int stage = 0;
    w.paint = [&](Surface& s, const Rect&) {
        s.Fill(stage == 0 ? kRed : kBlue);
        if (stage == 1)
            EndModal(w.Id(), 1);
    };
    PumpUntilIdle();
    std::thread worker([&] {
        PostToUiThread([&] { stage = 1; });
        InvalidateRect(w.Id());
    });
    EXPECT_EQ(RunModalLoop(w.Id()), 1);
    worker.join();
    Surface pic;
    ASSERT_TRUE(GetWindowPicture(w.Id(), pic));
    EXPECT_EQ(pic.PixelAt(20, 20), kBlue);
}

TEST(UiWindow, MovingAndResizingKeepsThePictureAndFollowsThePen) {
    HeadlessUi ui;
    TestWindow w;
    std::vector<Point> downs;
    w.pen = [&](PenAction a, Point pt) {
        if (a == PenAction::Down)
            downs.push_back(pt);
    };
    w.paint = [&](Surface& s, const Rect& dirty) {
        for (int y = dirty.top; y < dirty.bottom; ++y)
            for (int x = dirty.left; x < dirty.right; ++x)
                s.SetPixel(x, y, x < 80 ? kRed : kBlue);
    };
    ASSERT_TRUE(w.Open(Rect::FromXYWH(0, 0, 80, 60)));
    PumpUntilIdle();
    ASSERT_TRUE(MoveWindow(w.Id(), 0, 0, 800, 150));
    PumpUntilIdle();
    EXPECT_EQ(GetWindowRect(w.Id()), Rect::FromXYWH(0, 0, 800, 150));
    EXPECT_EQ(GetClientRect(w.Id()), Rect::FromXYWH(0, 0, 800, 150));
    Surface pic;
    ASSERT_TRUE(GetWindowPicture(w.Id(), pic));
    EXPECT_EQ(pic.Width(), 800);
    EXPECT_EQ(pic.PixelAt(10, 10), kRed);
    EXPECT_EQ(pic.PixelAt(700, 140), kBlue);

    ASSERT_TRUE(MoveWindow(w.Id(), 300, 200, 80, 60));
    PumpUntilIdle();
    InjectPen(PenAction::Down, Point{310, 205});
    InjectPen(PenAction::Down, Point{10, 5});  // where the window was: nobody there
    PumpUntilIdle();
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0].x, 10);
    EXPECT_EQ(downs[0].y, 5);
    Surface front;
    ASSERT_TRUE(CaptureScreen(0, front));
    EXPECT_EQ(front.PixelAt(300, 200), kRed);
    EXPECT_EQ(front.PixelAt(10, 10), kBlack);
}

TEST(UiWindow, PenGoesToTheTopWindowUnderItOrToTheCapture) {
    HeadlessUi ui;
    TestWindow seat, button;
    struct Event {
        WindowId w;
        PenAction a;
        Point pt;
    };
    std::vector<Event> events;
    seat.pen = [&](PenAction a, Point pt) { events.push_back({seat.Id(), a, pt}); };
    button.pen = [&](PenAction a, Point pt) {
        events.push_back({button.Id(), a, pt});
        if (a == PenAction::Down)
            SetCapture(button.Id());
        if (a == PenAction::Up)
            ReleaseCapture();
    };
    ASSERT_TRUE(seat.Open(Rect::FromXYWH(800, 0, 800, 600)));
    ASSERT_TRUE(button.Open(Rect::FromXYWH(1000, 0, 80, 60), true, kNoWindow, true));
    PumpUntilIdle();

    InjectPen(PenAction::Down, Point{1010, 20});
    PumpUntilIdle();
    // A drag far outside still reaches the button that holds the capture.
    InjectPen(PenAction::Move, Point{1400, 300});
    InjectPen(PenAction::Up, Point{1400, 300});
    PumpUntilIdle();
    EXPECT_EQ(GetCapture(), kNoWindow);
    InjectPen(PenAction::Move, Point{1400, 300});
    PumpUntilIdle();
    EXPECT_EQ(GetCursorPos().x, 1400);
    EXPECT_EQ(GetCursorPos().y, 300);

    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].w, button.Id());
    EXPECT_EQ(events[0].pt.x, 10);
    EXPECT_EQ(events[0].pt.y, 20);
    EXPECT_EQ(events[1].w, button.Id());
    EXPECT_EQ(events[1].a, PenAction::Move);
    EXPECT_EQ(events[1].pt.x, 400);
    EXPECT_EQ(events[1].pt.y, 300);
    EXPECT_EQ(events[2].w, button.Id());
    EXPECT_EQ(events[2].a, PenAction::Up);
    EXPECT_EQ(events[3].w, seat.Id());
    EXPECT_EQ(events[3].pt.x, 600);

    // Hidden windows take no pen; a hidden capture holder loses the capture.
    events.clear();
    SetCapture(button.Id());
    ShowWindow(button.Id(), false);
    EXPECT_EQ(GetCapture(), kNoWindow);
    InjectPen(PenAction::Down, Point{1010, 20});
    PumpUntilIdle();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].w, seat.Id());
    EXPECT_EQ(events[0].pt.x, 210);
}

TEST(UiWindow, StaleIdsAreHarmlessAndChildrenGoWithTheirParent) {
    HeadlessUi ui;
    std::vector<std::string> order;
    auto parent = std::make_unique<TestWindow>();
    TestWindow child;
    parent->destroyed = [&] { order.push_back("parent"); };
    child.destroyed = [&] { order.push_back("child"); };
    ASSERT_TRUE(parent->Open(Rect::FromXYWH(0, 0, 100, 100)));
    ASSERT_TRUE(child.Open(Rect::FromXYWH(10, 10, 20, 20), true, parent->Id()));
    WindowId p = parent->Id(), c = child.Id();
    SetTimer(c, 1, 10);
    SetCapture(c);
    parent.reset();
    EXPECT_EQ(order, (std::vector<std::string>{"parent", "child"}));
    EXPECT_EQ(child.Id(), kNoWindow);
    for (WindowId id : {p, c, WindowId(9999), kNoWindow}) {
        EXPECT_FALSE(IsWindow(id));
        EXPECT_FALSE(MoveWindow(id, 0, 0, 10, 10));
        EXPECT_FALSE(ShowWindow(id, true));
        EXPECT_FALSE(IsWindowVisible(id));
        EXPECT_FALSE(InvalidateRect(id));
        EXPECT_FALSE(SetTimer(id, 1, 10));
        EXPECT_FALSE(KillTimer(id, 1));
        EXPECT_FALSE(PostMessage(id, kWmUser, 0, 0));
        EXPECT_FALSE(SendMessage(id, kWmUser, 0, 0));
        EXPECT_FALSE(SetCapture(id));
        EXPECT_FALSE(EndModal(id, 1));
        EXPECT_FALSE(SetWindowText(id, u"x"));
        EXPECT_TRUE(GetWindowRect(id).IsEmpty());
        EXPECT_EQ(RunModalLoop(id), 2);
        Surface s;
        EXPECT_FALSE(GetWindowPicture(id, s));
        UpdateWindow(id);
        DestroyWindow(id);
    }
    EXPECT_EQ(GetCapture(), kNoWindow);
    // A new window never takes an old id.
    TestWindow fresh;
    ASSERT_TRUE(fresh.Open(Rect::FromXYWH(0, 0, 10, 10)));
    EXPECT_NE(fresh.Id(), p);
    EXPECT_NE(fresh.Id(), c);
    // A window object that outlives the layer is stale too.
    Terminate();
    EXPECT_FALSE(IsWindow(fresh.Id()));
}

TEST(UiWindow, UpdateWindowPaintsAtOnceOnTheOwnerThread) {
    HeadlessUi ui;
    TestWindow w;
    w.fill = kBlue;
    ASSERT_TRUE(w.Open(Rect::FromXYWH(0, 0, 20, 20)));
    UpdateWindow(w.Id());
    EXPECT_EQ(w.paints, 1);
    UpdateWindow(w.Id());  // nothing invalid
    EXPECT_EQ(w.paints, 1);
    ASSERT_TRUE(SetWindowText(w.Id(), u"Velkora v2"));
    EXPECT_EQ(GetWindowText(w.Id()), u"Velkora v2");
}

TEST(UiWindow, HeadlessMessageBoxesAreRecordedAndAnsweredFromTheScript) {
    HeadlessUi ui;
    TestWindow main;
    ASSERT_TRUE(main.Open(Rect::FromXYWH(0, 0, 0, 0), false));
    EXPECT_EQ(MessageBox(main.Id(), u"Create Velkora Error.", u"ERROR", kMbOk | kMbIconError),
              kIdOk);
    ScriptMessageBoxAnswer(kIdNo);
    EXPECT_EQ(MessageBox(kNoWindow, u"Save?", u"Question", kMbYesNo), kIdNo);
    EXPECT_EQ(MessageBox(kNoWindow, u"Again?", u"Question", kMbYesNo), kIdYes);
    std::thread worker([] {
        ScriptMessageBoxAnswer(kIdCancel);
        EXPECT_EQ(MessageBox(kNoWindow, u"from a worker", u"Warning", kMbOkCancel), kIdCancel);
    });
    worker.join();
    auto boxes = TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].owner, main.Id());
    EXPECT_EQ(boxes[0].text, u"Create Velkora Error.");
    EXPECT_EQ(boxes[0].caption, u"ERROR");
    EXPECT_EQ(boxes[0].flags, kMbOk | kMbIconError);
    EXPECT_EQ(boxes[0].result, kIdOk);
    EXPECT_EQ(boxes[1].result, kIdNo);
    EXPECT_EQ(boxes[2].result, kIdYes);
    EXPECT_EQ(boxes[3].text, u"from a worker");
    EXPECT_TRUE(TakeMessageBoxes().empty());
}

TEST(UiWindow, PicturesSaveAsPng) {
    testsupport::TempDir dir;
    Surface s(3, 2);
    s.Fill(kRed);
    s.SetPixel(2, 1, kBlue);
    ASSERT_TRUE(SavePng(s, dir.File("pic.png")));
    std::vector<uint8_t> png = testsupport::ReadBytes(dir.File("pic.png"));
    ASSERT_GT(png.size(), 24u);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    EXPECT_TRUE(std::equal(signature, signature + 8, png.begin()));
    // IHDR: width and height, big-endian, at offsets 16 and 20.
    EXPECT_EQ(png[19], 3);
    EXPECT_EQ(png[23], 2);
    EXPECT_FALSE(SavePng(Surface(), dir.File("empty.png")));
    EXPECT_FALSE(SavePng(s, dir.File("missing/folder/pic.png")));
}

}  // namespace
