#include "core/ui/VelkoraAppDlg.h"

#include <gtest/gtest.h>

#include <memory>

#include "core/ui/MPlayerDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnitFixture.h"

using namespace pagetest;
using testsupport::SolidImage;
using testsupport::StripImage;

namespace {

constexpr uint32_t kBack = plat::Argb(0xFF, 0x10, 0x10, 0x10);
constexpr uint32_t kHorzUp = plat::Argb(0xFF, 0xC0, 0x00, 0x00);
constexpr uint32_t kHorzMiddle = plat::Argb(0xFF, 0x00, 0xC0, 0x00);
constexpr uint32_t kHorzDown = plat::Argb(0xFF, 0x00, 0x00, 0xC0);
constexpr uint32_t kVert = plat::Argb(0xFF, 0xC0, 0xC0, 0x00);
constexpr uint32_t kVertRear = plat::Argb(0xFF, 0x00, 0xC0, 0xC0);
constexpr uint32_t kVert2 = plat::Argb(0xFF, 0xC0, 0x00, 0xC0);
const std::vector<uint32_t> kMuteFrames = {0xFF202020, 0xFFE0E0E0, 0xFF808080, 0xFF404040};

// A page as the pages derive from the base: the frame of the base and a background of its own.
class TestPage : public IMPlayerDlg {
public:
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override {
        if (!IMPlayerDlg::SetSkin(seat, mainWnd, appType) || !LoadSkin())
            return false;
        m_pBackground = LoadImage(SkinPath(seat ? u"Page\\back-rear.png" : u"Page\\back.png"));
        return m_pBackground != nullptr;
    }
};

std::u16string TextOf(KvUserInterface::IKvText* text) {
    char16_t* p = nullptr;
    if (!text || text->GetText(&p) != RZ_OK || !p)
        return std::u16string();
    return p;
}

// Pixels of `area` that look like the given colour after anti-aliasing: the channels that
// are strong in it stay strong, the weak ones weak.
int CountColourInk(const plat::Surface& s, const plat::Rect& area, uint32_t colour) {
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            uint32_t p = s.PixelAt(x, y);
            bool match = true;
            for (int shift = 0; shift < 24; shift += 8) {
                int want = (colour >> shift) & 0xFF, got = (p >> shift) & 0xFF;
                if ((want >= 0xC0 && got < 0xA0) || (want <= 0x50 && got > 0x70))
                    match = false;
            }
            n += match;
        }
    return n;
}

class PageTest : public HeadUnitTest {
protected:
    void SetUp() override {
        HeadUnitTest::SetUp();
        WriteSkinImage("common_png/horz-up.png", SolidImage(780, 4, kHorzUp));
        WriteSkinImage("common_png/horz-middle.png", SolidImage(260, 4, kHorzMiddle));
        WriteSkinImage("common_png/horz-down.png", SolidImage(780, 4, kHorzDown));
        WriteSkinImage("common_png/vert.png", SolidImage(4, 315, kVert));
        WriteSkinImage("common_png/vertr.png", SolidImage(4, 434, kVertRear));
        WriteSkinImage("common_png/vert2.png", SolidImage(4, 72, kVert2));
        WriteSkinImage("Page/back.png", SolidImage(800, 480, kBack));
        WriteSkinImage("Page/back-rear.png", SolidImage(800, 600, kBack));
        m_kernel = StartKernel();
        // Start-up leaves the board muted until the main dialog has set the saved volume.
        ASSERT_TRUE(m_kernel->SetVolume(254));
        ASSERT_TRUE(m_main.Open(plat::Rect::FromXYWH(0, 0, 1, 1)));
        ASSERT_TRUE(m_seat.Open(plat::Rect::FromXYWH(0, 0, 800, 480)));
        CVelkoraAppDlg::SetSeatWindowResolver(
            [](CSeatCtrlDlg* seat) { return reinterpret_cast<RecordingWindow*>(seat)->Id(); });
    }

    void TearDown() override {
        CVelkoraAppDlg::SetSeatWindowResolver(nullptr);
        HeadUnitTest::TearDown();
    }

    std::unique_ptr<TestPage> MakePage(uint8_t seat) {
        auto page = std::make_unique<TestPage>();
        EXPECT_TRUE(page->SetSkin(seat, m_main.Id(), APPTYPE_MUSIC));
        page->SetOwner(reinterpret_cast<CSeatCtrlDlg*>(&m_seat));
        return page;
    }

    plat::Surface Render(CVelkoraAppDlg& page, int height) {
        plat::Surface s(800, height);
        auto canvas = plat::MakeCanvas(s);
        page.Render(canvas.get());
        return s;
    }

    // Seat repaints that the page asked for since the last call.
    int SeatRepaints() {
        int before = m_seat.paints;
        plat::ui::PumpUntilIdle();
        return m_seat.paints - before;
    }

    CKernel* m_kernel = nullptr;
    RecordingWindow m_main;
    RecordingWindow m_seat;
};

}  // namespace

TEST_F(PageTest, TheFrameIsDrawnAtItsPlacesOnBothSeats) {
    auto front = MakePage(0);
    plat::Surface s = Render(*front, 480);
    // Rules along the top, under the volume buttons and above the bottom bar.
    EXPECT_EQ(s.PixelAt(10, 80), kHorzUp);
    EXPECT_EQ(s.PixelAt(789, 83), kHorzUp);
    EXPECT_EQ(s.PixelAt(9, 80), kBack);
    EXPECT_EQ(s.PixelAt(790, 80), kBack);
    EXPECT_EQ(s.PixelAt(10, 155), kHorzMiddle);
    EXPECT_EQ(s.PixelAt(269, 158), kHorzMiddle);
    EXPECT_EQ(s.PixelAt(10, 398), kHorzDown);
    EXPECT_EQ(s.PixelAt(789, 401), kHorzDown);
    EXPECT_EQ(s.PixelAt(10, 402), kBack);
    // Beside the left column, and between the three volume buttons.
    EXPECT_EQ(s.PixelAt(270, 84), kVert);
    EXPECT_EQ(s.PixelAt(273, 397), kVert);
    EXPECT_EQ(s.PixelAt(274, 200), kBack);
    EXPECT_EQ(s.PixelAt(96, 100), kVert2);
    EXPECT_EQ(s.PixelAt(99, 154), kVert2);
    EXPECT_EQ(s.PixelAt(184, 100), kVert2);
    EXPECT_EQ(s.PixelAt(187, 84), kVert2);
    EXPECT_EQ(s.PixelAt(140, 100), kBack);
    // The volume number in its place and colour.
    EXPECT_GT(CountColourInk(s, plat::Rect::FromXYWH(480, 40, 80, 35), 0xFF40FFFF), 10);
    EXPECT_EQ(testsupport::CountInk(s, plat::Rect{300, 0, 470, 79}, kBack), 0);

    auto rear = MakePage(1);
    EXPECT_EQ(rear->m_iYOffset, 60);
    plat::Surface r = Render(*rear, 600);
    EXPECT_EQ(r.PixelAt(10, 517), kHorzDown);
    EXPECT_EQ(r.PixelAt(10, 398), kBack);
    EXPECT_EQ(r.PixelAt(270, 83), kVertRear);
    EXPECT_EQ(r.PixelAt(273, 516), kVertRear);
    EXPECT_EQ(r.PixelAt(271, 517), kHorzDown) << "drawn over the rule beside it";
    // Nothing of the frame moves down with the rear screen but the bottom rule.
    EXPECT_EQ(r.PixelAt(10, 80), kHorzUp);
    EXPECT_EQ(r.PixelAt(96, 83), kVert2);
}

TEST_F(PageTest, TheVolumeNumberIsHiddenWhileMutedAndTheClockShowsOnceRead) {
    auto page = MakePage(0);
    const plat::Rect volume = plat::Rect::FromXYWH(480, 40, 80, 35);
    const plat::Rect clock = plat::Rect::FromXYWH(675, 28, 125, 35);
    m_kernel->SetVolume(7);
    plat::Surface s = Render(*page, 480);
    EXPECT_EQ(page->m_iVolume, 7);
    EXPECT_EQ(TextOf(page->m_pVolumeText), u"7");
    EXPECT_GT(CountColourInk(s, volume, 0xFF40FFFF), 10);
    EXPECT_EQ(testsupport::CountInk(s, clock, kBack), 0) << "no clock before the first tick";

    m_clock.Advance(1001);
    page->OnTick();
    m_kernel->SetVolume(255);
    s = Render(*page, 480);
    EXPECT_EQ(page->m_bMute, 1);
    EXPECT_EQ(testsupport::CountInk(s, volume, kBack), 0);
    EXPECT_GT(CountColourInk(s, clock, 0xFFFF4F23), 10);
}

TEST_F(PageTest, VolumeStepsStopAtTheEndsOfTheScaleAndWhileMuted) {
    auto page = MakePage(0);
    KvUserInterface::IKvButton* mute = nullptr;
    ASSERT_EQ(m_kernel->m_pRoot->CreateButton(&mute), RZ_OK);
    KvMultimedia::IKvImage* strip = nullptr;
    WriteSkinImage("Page/mute.png", StripImage(20, 20, kMuteFrames));
    ASSERT_EQ(m_kernel->m_pRoot->CreateImage(&strip, u"Skin\\Test\\Page\\mute.png"), RZ_OK);
    mute->SetImage(strip);
    strip->Release();
    mute->SetRect(0, 0, 20, 20);
    page->m_pMuteButton = mute;
    auto muteFrame = [&] {
        plat::Surface s(20, 20);
        mute->Draw(plat::MakeCanvas(s).get(), 0, 0);
        return s.PixelAt(10, 10);
    };
    auto volumeMessages = [&] {
        std::vector<uintptr_t> out;
        for (const auto& m : m_main.messages)
            if (m.msg == WM_VOLUME_CHANGED)
                out.push_back(m.wParam);
        m_main.messages.clear();
        return out;
    };

    // At the bottom of the scale nothing moves and nothing is said.
    ASSERT_TRUE(m_kernel->SetVolume(0));
    page->UpdateVolume(false);
    m_sim.ClearLog();
    IMPlayerDlg::StepVolume(-1, mute, page.get());
    EXPECT_EQ(page->m_iVolume, 0);
    EXPECT_TRUE(m_sim.Log().empty());
    EXPECT_TRUE(volumeMessages().empty());
    IMPlayerDlg::StepVolume(1, mute, page.get());
    EXPECT_EQ(m_sim.Log(), std::vector<std::string>{"audio 5 SetVolume(1) = 0"});
    EXPECT_EQ(volumeMessages(), std::vector<uintptr_t>{VOLUME_CHANGED_LEVEL});
    EXPECT_EQ(m_kernel->m_iVolume.load(), 1);

    // At the top likewise.
    ASSERT_TRUE(m_kernel->SetVolume(32));
    page->UpdateVolume(false);
    m_sim.ClearLog();
    IMPlayerDlg::StepVolume(1, mute, page.get());
    EXPECT_EQ(page->m_iVolume, 32);
    EXPECT_TRUE(m_sim.Log().empty());
    EXPECT_TRUE(volumeMessages().empty());
    IMPlayerDlg::StepVolume(-1, mute, page.get());
    EXPECT_EQ(m_sim.Log(), std::vector<std::string>{"audio 5 SetVolume(31) = 0"});
    EXPECT_EQ(volumeMessages(), std::vector<uintptr_t>{VOLUME_CHANGED_LEVEL});

    // Muted, the volume keys do nothing; the mute key mutes and unmutes.
    page->UpdateVolume(false);
    m_sim.ClearLog();
    EXPECT_EQ(muteFrame(), kMuteFrames[0]);
    IMPlayerDlg::StepVolume(0, mute, page.get());
    EXPECT_EQ(page->m_bMute, 1);
    EXPECT_EQ(m_kernel->m_bMute.load(), 1);
    EXPECT_EQ(muteFrame(), kMuteFrames[1]);
    EXPECT_EQ(volumeMessages(), std::vector<uintptr_t>{VOLUME_CHANGED_MUTED});
    IMPlayerDlg::StepVolume(1, mute, page.get());
    IMPlayerDlg::StepVolume(-1, mute, page.get());
    IMPlayerDlg::StepVolume(5, mute, page.get());
    EXPECT_TRUE(volumeMessages().empty());
    EXPECT_EQ(m_sim.Log(), std::vector<std::string>{"audio 7 Mute(1) = 0"});
    IMPlayerDlg::StepVolume(0, mute, page.get());
    EXPECT_EQ(page->m_bMute, 0);
    EXPECT_EQ(m_kernel->m_bMute.load(), 0);
    EXPECT_EQ(muteFrame(), kMuteFrames[0]);
    EXPECT_EQ(volumeMessages(), std::vector<uintptr_t>{VOLUME_CHANGED_UNMUTED});
    EXPECT_EQ(m_sim.Log(),
              (std::vector<std::string>{"audio 7 Mute(1) = 0", "audio 7 Mute(0) = 0"}));
    EXPECT_EQ(m_kernel->m_iVolume.load(), 31) << "muting leaves the level";

    page->m_pMuteButton = nullptr;
    mute->Release();
}

TEST_F(PageTest, TheMarkTurnsFromMorningToAfternoonAtNoon) {
    m_clock.SetUtc(plat::SystemTime{2024, 3, 5, 12, 11, 59, 0, 0});
    auto page = MakePage(0);
    SeatRepaints();
    m_clock.Advance(1001);
    page->OnTick();
    EXPECT_EQ(TextOf(page->m_pTimeText), u"11:59");
    EXPECT_EQ(TextOf(page->m_pAmPmText), kAm);
    EXPECT_EQ(page->m_strDate, "2024-03-12");
    EXPECT_EQ(page->m_strLongTime, "11:59:01 AM");
    EXPECT_EQ(SeatRepaints(), 1);

    // Within the minute the texts and the seat are left alone.
    m_clock.Advance(1001);
    page->OnTick();
    EXPECT_EQ(page->m_bMinuteChanged, 0);
    EXPECT_EQ(SeatRepaints(), 0);

    m_clock.Advance(58000);
    page->OnTick();
    EXPECT_EQ(TextOf(page->m_pTimeText), u"12:00");
    EXPECT_EQ(TextOf(page->m_pAmPmText), kPm);
    EXPECT_EQ(SeatRepaints(), 1);

    // Midnight reads 12 in the morning.
    m_clock.SetUtc(plat::SystemTime{2024, 3, 5, 13, 0, 30, 0, 0});
    m_clock.Advance(1001);
    page->OnTick();
    EXPECT_EQ(TextOf(page->m_pTimeText), u"12:30");
    EXPECT_EQ(TextOf(page->m_pAmPmText), kAm);
}

TEST_F(PageTest, TheClockIsReadOnlyWhileThePageIsShown) {
    m_clock.SetUtc(plat::SystemTime{2024, 3, 5, 12, 9, 15, 0, 0});
    auto page = MakePage(0);
    m_clock.Advance(1001);
    page->OnTick();
    EXPECT_EQ(TextOf(page->m_pTimeText), u"09:15");
    SeatRepaints();

    page->Show(false, 255);
    m_clock.Advance(5 * 60 * 1000);
    page->OnTick();
    EXPECT_EQ(TextOf(page->m_pTimeText), u"09:15");
    EXPECT_EQ(SeatRepaints(), 0);

    page->Show(true, 255);
    page->OnTick();
    EXPECT_EQ(TextOf(page->m_pTimeText), u"09:15") << "no more than once a second";
    m_clock.Advance(1001);
    page->OnTick();
    EXPECT_EQ(TextOf(page->m_pTimeText), u"09:20");
}

TEST_F(PageTest, ShowWithTwoHundredFiftyFiveKeepsTheLastParameter) {
    auto page = MakePage(0);
    EXPECT_TRUE(page->IsVisible()) << "a new page counts as shown";
    EXPECT_EQ(page->m_byShowParam, 255);
    page->Show(true, APPTYPE_PHONE);
    EXPECT_EQ(page->m_byShowParam, APPTYPE_PHONE);
    page->Show(false, 255);
    EXPECT_FALSE(page->IsVisible());
    EXPECT_EQ(page->m_byShowParam, APPTYPE_PHONE);
    page->Show(true, 255);
    EXPECT_TRUE(page->IsVisible());
    EXPECT_EQ(page->m_byShowParam, APPTYPE_PHONE);
    page->Show(false, APPTYPE_HOMEPAGE);
    EXPECT_EQ(page->m_byShowParam, APPTYPE_HOMEPAGE);
}

TEST_F(PageTest, SetSkinTakesSeatMainWindowTypeAndTheKernelsVolume) {
    m_kernel->SetVolume(21);
    auto front = MakePage(0);
    EXPECT_EQ(front->m_bySeat, 0);
    EXPECT_EQ(front->m_iYOffset, 0);
    EXPECT_EQ(front->m_hMainWnd, m_main.Id());
    EXPECT_EQ(front->m_byAppType, APPTYPE_MUSIC);
    EXPECT_EQ(front->m_iVolume, 21);
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_NONE);

    m_kernel->SetVolume(22);
    SeatRepaints();
    front->UpdateVolume(false);
    EXPECT_EQ(TextOf(front->m_pVolumeText), u"22");
    EXPECT_EQ(SeatRepaints(), 0);
    front->UpdateVolume(true);
    EXPECT_EQ(SeatRepaints(), 1);
}

TEST_F(PageTest, LoadSkinFailsWithoutTheFrameAndCanBeRepeated) {
    auto page = MakePage(0);
    // Loading again gives back what the first pass made (the leak check sees the rest).
    EXPECT_TRUE(page->LoadSkin());
    EXPECT_TRUE(page->LoadSkin());
    std::filesystem::remove("Skin/Test/common_png/vert2.png");
    EXPECT_FALSE(page->LoadSkin());
    TestPage other;
    EXPECT_FALSE(other.SetSkin(0, m_main.Id(), APPTYPE_MUSIC));
    // The rear seat takes its own upright rule.
    std::filesystem::remove("Skin/Test/common_png/vertr.png");
    WriteSkinImage("common_png/vert2.png", SolidImage(4, 72, kVert2));
    TestPage front, rear;
    EXPECT_TRUE(front.SetSkin(0, m_main.Id(), APPTYPE_MUSIC));
    EXPECT_FALSE(rear.SetSkin(1, m_main.Id(), APPTYPE_MUSIC));
}

TEST_F(PageTest, WhileThePenIsDownMovesDragTheListBoxesThatAreShown) {
    const std::vector<uint32_t> frames = {0xFF000096, 0xFF0000A0, 0xFF0000AA, 0xFF0000B4};
    WriteSkinImage("Page/up.png", StripImage(40, 30, frames));
    WriteSkinImage("Page/down.png", StripImage(40, 30, frames));
    WriteSkinImage("Page/thumb.png", StripImage(36, 480, frames));
    WriteUtf16("Skin/Test/Page/Page.ini",
               "[List]\r\nPosition = 300, 100, 400, 300\r\nScroll Bar = 720, 100, 48, 300\r\n"
               "Scroll Up Pos = 724, 60, 40, 30\r\nScroll Up Img = up.png\r\n"
               "Scroll Down Pos = 724, 410, 40, 30\r\nScroll Down Img = down.png\r\n"
               "Scroll Mid Pos = 726, 100, 36, 30\r\nScroll Mid Img = thumb.png\r\n"
               "Row Height = 30\r\nFont = 12, 255, 255, 255\r\nItem String Pos = 10, 0\r\n"
               "[End]\r\n",
               true);
    auto page = MakePage(0);
    plat::Surface s(800, 480);
    auto canvas = plat::MakeCanvas(s);
    for (auto*& list : page->m_pListbox) {
        ASSERT_EQ(m_kernel->m_pRoot->CreateListbox(&list), RZ_OK);
        ASSERT_EQ(list->LoadLayout(u"Skin\\Test\\Page\\Page.ini", u"List", u"Skin\\Test\\Page"),
                  RZ_OK);
        for (int i = 0; i < 100; ++i)
            list->AddItem(plat::FormatStr(u"Item %d", i).c_str(), nullptr, 0, nullptr);
        list->Draw(canvas.get());
        // The pen comes down on each list's scroll thumb, at the top of its bar.
        uint8_t action = 0;
        list->OnLButtonDown(740, 110, &action);
        EXPECT_EQ(action, 2);
    }
    page->m_pListbox[1]->Show(0);
    auto top = [&](int i) {
        int t = -1;
        page->m_pListbox[i]->GetTopIndex(&t);
        return t;
    };
    SeatRepaints();

    // Moves that come while the page has not seen the pen go down are not passed on.
    page->OnMouseMove(740, 300);
    EXPECT_EQ(top(0), 0);
    EXPECT_EQ(SeatRepaints(), 0);

    page->m_bPenDown = 1;
    page->OnMouseMove(740, 300);
    EXPECT_GT(top(0), 0) << "the shown list follows the pen";
    EXPECT_EQ(top(1), 0) << "the hidden one does not";
    EXPECT_EQ(SeatRepaints(), 1);
}
