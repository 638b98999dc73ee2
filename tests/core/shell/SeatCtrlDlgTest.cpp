#include "core/shell/SeatCtrlDlg.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/kernel/HWAudio.h"
#include "core/kernel/ProcessUtil.h"
#include "core/ui/MessageDlg.h"
#include "platform/gfx/ImageFile.h"
#include "platform/sys/ExternalWindows.h"
#include "tests/harness/SeatTestEnv.h"
#include "tests/harness/SeatTestPages.h"
#include "tests/support/XServer.h"

extern char** environ;

using seattest::TestMain;
using seattest::TestPage;
using Lines = std::vector<std::string>;

namespace {

const uint32_t kBar = 0xFF2060A0;
const uint32_t kBarMuted = 0xFF802020;
const uint32_t kButton = 0xFF20A040;
const uint32_t kHome = 0xFF101080;
const uint32_t kMusic = 0xFF108010;
const uint32_t kBlack = 0xFF000000;

template <typename F>
bool WaitFor(F done, int ms = 5000) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

size_t IndexOf(const Lines& lines, const std::string& line, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i] == line)
            return i;
    return lines.size();
}

bool Contains(const Lines& lines, const std::string& line) {
    return IndexOf(lines, line) != lines.size();
}

int Count(const Lines& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

class SeatTest : public seattest::SeatEnvTest {
protected:
    void SetUp() override {
        SeatEnvTest::SetUp();
        Picture("Skin/Default/Velkora-op2.png", 800, 150, kBar);
        Picture("Skin/Default/Velkora-op3.png", 800, 150, kBarMuted);
        Picture("Skin/Default/Velkora-s.png", 80, 60, kButton);
        k = StartKernel();
        // As the main dialog leaves the board after start-up: its volume, not muted.
        k->SetVolume(16);
        k->SetVolume(254);
        m_sim.ClearLog();
        ASSERT_TRUE(m_main.Open());
    }

    void TearDown() override {
        for (auto& seat : m_seats)
            seat.reset();
        m_pages.clear();
        CSeatCtrlDlg::Hooks() = SEAT_HOOKS{};
        CHWAudioHolder::DestroyInstance();
        m_main.Destroy();
        SeatEnvTest::TearDown();
    }

    // A seat as the main dialog makes it, shown full screen.
    CSeatCtrlDlg* Seat(int seat) {
        auto s = std::make_unique<CSeatCtrlDlg>();
        EXPECT_TRUE(s->Create());
        EXPECT_TRUE(s->Initial(static_cast<uint8_t>(seat), m_main.Id()));
        s->ShowExpanded(true);
        m_main.seats[seat] = s.get();
        m_seats[seat] = std::move(s);
        Pump();
        return m_seats[seat].get();
    }

    TestPage* Page(CSeatCtrlDlg* seat, int app, uint32_t colour, bool visible,
                   const std::string& name) {
        auto page = std::make_unique<TestPage>(name, colour, &m_log);
        page->SetOwner(seat);
        page->m_bySeat = seat->m_bySeat;
        page->m_hMainWnd = m_main.Id();
        page->CVelkoraAppDlg::Show(visible, 255);
        seat->SetApplication(static_cast<uint8_t>(app), page.get());
        plat::ui::InvalidateRect(seat->Id());
        m_pages.push_back(std::move(page));
        return static_cast<TestPage*>(m_pages.back().get());
    }

    // The front seat with its homepage showing and a hidden music page.
    CSeatCtrlDlg* FrontWithPages() {
        CSeatCtrlDlg* front = Seat(0);
        m_home = Page(front, APPTYPE_HOMEPAGE, kHome, true, "home");
        m_music = Page(front, APPTYPE_MUSIC, kMusic, false, "music");
        Pump();
        m_log.clear();
        return front;
    }

    static void Pump() { plat::ui::PumpUntilIdle(); }

    void Press(plat::ui::PenAction action, plat::Point at) {
        plat::ui::InjectPen(action, at);
        Pump();
    }
    void Tap(plat::Point at) {
        Press(plat::ui::PenAction::Down, at);
        Press(plat::ui::PenAction::Up, at);
    }
    // Lets the clock run on, with the user-interface timers, in steps of 10 ms.
    void Run(int ms) {
        for (int t = 0; t < ms; t += 10) {
            m_clock.Advance(10);
            Pump();
        }
    }

    static plat::Surface Screen(int index) {
        plat::Surface s;
        EXPECT_TRUE(plat::ui::CaptureScreen(index, s));
        return s;
    }

    // Folds the front seat to its button at `at` and opens the bar with a tap.
    void OpenBar(CSeatCtrlDlg* seat, plat::Point at) {
        plat::ui::InjectPen(plat::ui::PenAction::Move, at);
        seat->ShowExpanded(false);
        Pump();
        Tap({at.x + 5, at.y + 5});
        Run(500);
        ASSERT_EQ(plat::ui::GetWindowRect(seat->Id()), plat::Rect::FromXYWH(0, 0, 800, 150));
        m_main.messages.clear();
        m_sim.ClearLog();
    }

    uint32_t StatusValue() const {
        uint32_t v = 0;
        k->Registry().GetDword(KERNEL_STATUS_KEY, "Status", &v);
        return v;
    }

    Lines BoardCalls() const { return m_sim.Log(); }

    CKernel* k = nullptr;
    TestMain m_main;
    std::unique_ptr<CSeatCtrlDlg> m_seats[2];
    std::vector<std::unique_ptr<CVelkoraAppDlg>> m_pages;
    Lines m_log;
    TestPage* m_home = nullptr;
    TestPage* m_music = nullptr;
};

}  // namespace

// ---- Drawing and the pen -------------------------------------------------------------------

TEST_F(SeatTest, EachSeatDrawsItsVisiblePageOnItsScreenAndPassesThePenOn) {
    CSeatCtrlDlg* front = FrontWithPages();
    CSeatCtrlDlg* rear = Seat(1);
    TestPage* rearHome = Page(rear, APPTYPE_HOMEPAGE, 0xFF804000, true, "rearHome");
    Pump();
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(0, 0, 800, 480));
    EXPECT_EQ(plat::ui::GetWindowRect(rear->Id()), plat::Rect::FromXYWH(800, 0, 800, 600));

    // The expanded seat as a picture file.
    plat::Surface picture;
    ASSERT_TRUE(plat::ui::GetWindowPicture(front->Id(), picture));
    ASSERT_TRUE(plat::ui::SavePng(picture, m_dir.File("front-expanded.png")));
    plat::Surface png;
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("front-expanded.png"), png));
    ASSERT_EQ(png.Width(), 800);
    ASSERT_EQ(png.Height(), 480);
    EXPECT_EQ(png.PixelAt(0, 0), kHome);
    EXPECT_EQ(png.PixelAt(799, 479), kHome);
    EXPECT_EQ(testsupport::CountPixels(png, png.Bounds(), kHome), 800 * 480);
    plat::Surface rearScreen = Screen(1);
    EXPECT_EQ(rearScreen.PixelAt(0, 0), 0xFF804000);
    EXPECT_EQ(rearScreen.PixelAt(799, 599), 0xFF804000);

    m_log.clear();
    Press(plat::ui::PenAction::Down, {100, 200});
    Press(plat::ui::PenAction::Move, {120, 210});
    Press(plat::ui::PenAction::Up, {120, 210});
    Press(plat::ui::PenAction::Down, {900, 50});
    Press(plat::ui::PenAction::Up, {900, 50});
    EXPECT_EQ(m_log, (Lines{"home.Down(100,200)", "home.Move(120,210)", "home.Up(120,210)",
                            "rearHome.Down(100,50)", "rearHome.Up(100,50)"}))
        << "the hidden music page gets nothing; the rear seat's pen is in its own co-ordinates";
    (void)rearHome;
}

TEST_F(SeatTest, ASwitchHappensOnTheNextPaintAfterTheOldPageWasDrawnOnceMore) {
    CSeatCtrlDlg* front = FrontWithPages();
    TestPage* sound = Page(front, APPTYPE_AUDIO_SET, 0xFF777777, false, "sound");
    testsupport::WriteText(MARKER_RADIO_MODE, "");
    m_log.clear();

    front->m_iPending = (APPTYPE_RADIO << 16) | APPTYPE_MUSIC;
    EXPECT_EQ(front->m_iCurrentApp, APPTYPE_HOMEPAGE) << "nothing happens before the paint";
    plat::ui::InvalidateRect(front->Id());
    Pump();

    const size_t oldDrawn = IndexOf(m_log, "home.Render");
    const size_t shown = IndexOf(m_log, "music.Show(1,4)");
    const size_t newDrawn = IndexOf(m_log, "music.Render");
    ASSERT_LT(oldDrawn, m_log.size());
    ASSERT_LT(shown, m_log.size());
    ASSERT_LT(newDrawn, m_log.size());
    EXPECT_LT(oldDrawn, shown);
    EXPECT_LT(shown, newDrawn) << "the switch ends with a repaint that draws the new page";
    EXPECT_EQ(Count(m_log, "home.Render"), 1);
    EXPECT_LT(IndexOf(m_log, "home.Show(0,255)"), shown) << "all pages hidden first";
    EXPECT_LT(IndexOf(m_log, "sound.SetAudioMode(0)"), shown) << "stereo, unless asked for 5.1";
    EXPECT_LT(shown, IndexOf(m_log, "music.PostRender")) << "the new page follows the paint";
    EXPECT_EQ(m_music->m_byShowParam, APPTYPE_RADIO);

    EXPECT_EQ(front->m_iPending, -1);
    EXPECT_EQ(front->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_EQ(Screen(0).PixelAt(400, 240), kMusic);

    // The music source: the board's audio and video to the PC, the radio's marker gone, and
    // the front seat's application kept for the next start.
    EXPECT_TRUE(Contains(BoardCalls(), "audio 2 SelectSource(0) = 0"));
    EXPECT_TRUE(Contains(BoardCalls(), "video 4 SelectInput(0) = 0"));
    EXPECT_EQ(k->m_iInputSource.load(), 0);
    EXPECT_FALSE(testsupport::Exists(MARKER_RADIO_MODE));
    SYS_SETTINGS saved;
    ASSERT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iCurrentApp, APPTYPE_MUSIC);

    // 5.1 asked for by the sound page's caller.
    m_log.clear();
    front->m_iPending = (2 << 16) | APPTYPE_AUDIO_SET;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_TRUE(Contains(m_log, "sound.SetAudioMode(1)"));
    EXPECT_EQ(front->m_iCurrentApp, APPTYPE_AUDIO_SET);
    ASSERT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iCurrentApp, 0) << "the sound page is not resumed at start";

    // The phone page kept 5.1 on: every switch keeps it.
    TestPage* phone = Page(front, APPTYPE_PHONE, 0xFF404040, false, "phone");
    CSeatCtrlDlg::Hooks().pfnKeep51 = [](CVelkoraAppDlg* page) { return page != nullptr; };
    m_log.clear();
    m_sim.ClearLog();
    front->m_iPending = APPTYPE_HOMEPAGE;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_FALSE(Contains(m_log, "sound.SetAudioMode(0)"));
    EXPECT_TRUE(Contains(BoardCalls(), "audio 31 SetSurround(1) = 0"));
    EXPECT_EQ(k->m_Settings.i51Priority, 1);
    (void)sound;
    (void)phone;
}

TEST_F(SeatTest, ARequestAboveTheLastTypeIsRefusedAndLogged) {
    CSeatCtrlDlg* front = FrontWithPages();
    for (int app : {36, 255, 0xFFFF}) {
        front->m_iPending = (1 << 16) | app;
        plat::ui::InvalidateRect(front->Id());
        Pump();
        EXPECT_EQ(front->m_iPending, -1) << app;
        EXPECT_EQ(front->m_iCurrentApp, APPTYPE_HOMEPAGE) << app;
        EXPECT_TRUE(m_home->IsVisible()) << app;
    }
    EXPECT_NE(Log().find("CSeatCtrlDlg::SwitchApp(0): no application type 36, request dropped"),
              std::string::npos);
    EXPECT_NE(Log().find("no application type 65535"), std::string::npos);
    EXPECT_TRUE(BoardCalls().empty());
}

TEST_F(SeatTest, OnlyTypesWithAPageAreRegistered) {
    CSeatCtrlDlg* front = Seat(0);
    TestPage page("page", kHome, nullptr);
    front->SetApplication(APPTYPE_NAVIGATION, &page);
    front->SetApplication(36, &page);
    front->SetApplication(200, &page);
    auto boxes = plat::ui::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, u"No constructor (5)");
    EXPECT_EQ(boxes[1].text, u"No constructor (36)");
    EXPECT_EQ(boxes[2].text, u"No constructor (200)");
    EXPECT_EQ(front->Page(APPTYPE_NAVIGATION), nullptr);

    // Every type with a page of its own is taken, and the homepage-set slot may stay empty.
    for (int app :
         {0, 1, 2, 3, 4, 7, 8, 10, 11, 13, 15, 20, 21, 22, 23, 25, 28, 29, 30, 31, 32, 33, 34, 35})
        front->SetApplication(static_cast<uint8_t>(app), &page);
    front->SetApplication(APPTYPE_HOMEPAGE_SET, nullptr);
    EXPECT_TRUE(plat::ui::TakeMessageBoxes().empty());
    EXPECT_EQ(front->Page(APPTYPE_DISPLAY_MANU), &page);
    EXPECT_EQ(front->Page(APPTYPE_HOMEPAGE_SET), nullptr);
    for (auto& slot : front->m_Pages)
        slot = nullptr;  // the page dies before the seat
}

TEST_F(SeatTest, InitialFailsWithoutTheSeatPictures) {
    std::filesystem::remove(m_dir.File("Skin/Default/Velkora-op3.png"));
    CSeatCtrlDlg seat;
    ASSERT_TRUE(seat.Create());
    EXPECT_FALSE(seat.Initial(0, m_main.Id()));
}

// ---- Outside programs ---------------------------------------------------------------------

TEST_F(SeatTest, AProgramWithoutAPageKeepsTheOldPageWhileTheSeatFolds) {
    CSeatCtrlDlg* front = FrontWithPages();
    // The navigation program notes its folder and arguments.
    std::filesystem::create_directories(m_dir.File("Navi Folder"));
    const std::string program = m_dir.File("Navi Folder/navigator");
    testsupport::WriteText(program, "#!/bin/sh\npwd > \"" + m_dir.File("started.txt") +
                                        "\"\necho \"$#\" >> \"" + m_dir.File("started.txt") +
                                        "\"\n");
    ::chmod(program.c_str(), 0755);
    plat::StrCopy(k->m_AppPaths.szPath[APP_PATH_NAVIGATION], plat::Utf8ToUtf16(program));

    front->m_iPending = APPTYPE_NAVIGATION;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_EQ(front->m_iCurrentApp, APPTYPE_NAVIGATION);
    EXPECT_TRUE(m_home->IsVisible()) << "no page of its own: the old one stays";
    EXPECT_FALSE(m_music->IsVisible());
    EXPECT_EQ(front->m_bCollapsed, 1);
    EXPECT_EQ(front->m_bLaunched, 1);
    EXPECT_EQ(front->m_iBarState, 0);
    // A launched program leaves the button beside the seat's corner.
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(200, 0, 80, 60));
    plat::Surface screen = Screen(0);
    EXPECT_EQ(screen.PixelAt(200, 0), kButton);
    EXPECT_EQ(screen.PixelAt(279, 59), kButton);
    EXPECT_EQ(screen.PixelAt(400, 240), kBlack) << "the program has the rest of the screen";

    ASSERT_TRUE(WaitFor([&] {
        return testsupport::ReadText(m_dir.File("started.txt")).find('\n') !=
               testsupport::ReadText(m_dir.File("started.txt")).rfind('\n');
    }));
    EXPECT_EQ(testsupport::ReadText(m_dir.File("started.txt")),
              m_dir.File("Navi Folder") + "\n0\n");
    EXPECT_TRUE(Contains(BoardCalls(), "audio 2 SelectSource(0) = 0"));
}

TEST_F(SeatTest, AProgramWithoutAPathShowsTheLanguagesBoxAndStays) {
    CSeatCtrlDlg* front = FrontWithPages();
    plat::StrCopy(k->m_Language[MSG_PATH_EMPTY], u"No program chosen");
    // The user reads the box over the seat and presses its OK.
    std::atomic<bool> answered{false};
    std::thread user([&] {
        const plat::Rect ok = MessageDlg::OkButtonRect();
        plat::Rect box;
        bool shown = WaitFor([&] {
            for (plat::ui::WindowId id = 1; id < 64; ++id) {
                const plat::Rect r = plat::ui::GetWindowRect(id);
                if (plat::ui::IsWindowVisible(id) && r.Width() > 300 && r.Width() < 800 &&
                    r.Height() > 80 && r.Height() < 480) {
                    box = r;
                    return true;
                }
            }
            return false;
        });
        if (!shown)
            return;
        const plat::Point at{box.left + (ok.left + ok.right) / 2,
                             box.top + (ok.top + ok.bottom) / 2};
        plat::ui::InjectPen(plat::ui::PenAction::Down, at);
        plat::ui::InjectPen(plat::ui::PenAction::Up, at);
        answered = true;
    });
    front->m_iPending = APPTYPE_TV;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    user.join();
    EXPECT_TRUE(answered) << "the box showed and was answered";
    EXPECT_EQ(front->m_iCurrentApp, APPTYPE_TV);
    EXPECT_EQ(front->m_bCollapsed, 0) << "nothing started, so the seat stays";
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(0, 0, 800, 480));
    EXPECT_TRUE(m_home->IsVisible());
}

TEST_F(SeatTest, TheBrowserGetsTheShortcutsAddressAsOneArgumentWithoutAShell) {
    CSeatCtrlDlg* front = FrontWithPages();
    TestPage* internet = Page(front, APPTYPE_INTERNET_SERVICE, 0xFF404040, false, "internet");
    static const char16_t* s_address = u"http://example.org/a b?x=1;touch pwned&y=`id`";
    CSeatCtrlDlg::Hooks().pfnBrowserAddress = [](CVelkoraAppDlg*) {
        return std::u16string(s_address);
    };
    // The browser the seat starts, found in the base folder: it writes what it was given.
    testsupport::WriteText("x-www-browser", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" +
                                                m_dir.File("browser.txt") + "\"\n");
    ::chmod(m_dir.File("x-www-browser").c_str(), 0755);

    front->m_iPending = (APPTYPE_INTERNET_SERVICE << 16) | APPTYPE_BROWSER;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    ASSERT_TRUE(WaitFor([&] { return testsupport::Exists(m_dir.File("browser.txt")); }));
    ASSERT_TRUE(WaitFor([&] { return !testsupport::ReadText(m_dir.File("browser.txt")).empty(); }));
    EXPECT_EQ(testsupport::ReadText(m_dir.File("browser.txt")),
              "1|" + plat::Utf16ToUtf8(s_address) + "|");
    EXPECT_FALSE(testsupport::Exists(m_dir.File("pwned")));
    EXPECT_EQ(front->m_bCollapsed, 1);
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(200, 0, 80, 60));

    // Asked for from anywhere else, the browser starts without an address.
    std::filesystem::remove(m_dir.File("browser.txt"));
    front->ShowExpanded(true);
    front->m_iPending = APPTYPE_BROWSER;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    ASSERT_TRUE(WaitFor([&] { return !testsupport::ReadText(m_dir.File("browser.txt")).empty(); }));
    EXPECT_EQ(testsupport::ReadText(m_dir.File("browser.txt")), "0|");
    (void)internet;
}

// ---- The folded seat: button and volume bar ----------------------------------------------------

TEST_F(SeatTest, TheButtonOpensIntoTheBarWhichSlidesOpenOnTimers) {
    CSeatCtrlDlg* front = FrontWithPages();
    plat::ui::InjectPen(plat::ui::PenAction::Move, {300, 200});
    front->ShowExpanded(false);
    Pump();
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(300, 200, 80, 60))
        << "the button goes where the pen is";
    // The button as a picture file.
    plat::Surface picture;
    ASSERT_TRUE(plat::ui::GetWindowPicture(front->Id(), picture));
    ASSERT_TRUE(plat::ui::SavePng(picture, m_dir.File("button.png")));
    plat::Surface png;
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("button.png"), png));
    EXPECT_EQ(png.Width(), 80);
    EXPECT_EQ(testsupport::CountPixels(png, png.Bounds(), kButton), 80 * 60);

    Tap({310, 210});
    EXPECT_EQ(front->m_iBarState, 1);
    EXPECT_EQ(front->m_iButtonX, 300);
    EXPECT_EQ(front->m_iButtonY, 200);
    // The slide starts at the button's width and grows one step per timer tick, while the
    // user interface goes on answering.
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(0, 0, 80, 150));
    std::vector<int> widths;
    for (int i = 0; i < 60; ++i) {
        m_clock.Advance(10);
        Pump();
        widths.push_back(plat::ui::GetWindowRect(front->Id()).Width());
    }
    EXPECT_EQ(widths.front(), 100);
    EXPECT_EQ(widths[1], 120);
    EXPECT_EQ(widths.back(), 800);
    EXPECT_TRUE(std::is_sorted(widths.begin(), widths.end()));

    // The open bar as a picture file: the bar with its volume number.
    ASSERT_TRUE(plat::ui::GetWindowPicture(front->Id(), picture));
    ASSERT_TRUE(plat::ui::SavePng(picture, m_dir.File("bar.png")));
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("bar.png"), png));
    ASSERT_EQ(png.Width(), 800);
    ASSERT_EQ(png.Height(), 150);
    EXPECT_EQ(png.PixelAt(10, 10), kBar);
    EXPECT_EQ(png.PixelAt(799, 149), kBar);
    EXPECT_GT(testsupport::CountInk(png, plat::Rect::FromXYWH(540, 55, 80, 35), kBar), 30)
        << "the volume number";
    EXPECT_EQ(testsupport::CountInk(png, plat::Rect::FromXYWH(0, 0, 540, 150), kBar), 0);
}

TEST_F(SeatTest, BarTapsExpandAtX199AndLowerTheVolumeFromX200) {
    CSeatCtrlDlg* front = FrontWithPages();
    OpenBar(front, {300, 200});
    Tap({200, 60});
    EXPECT_EQ(k->m_iVolume.load(), 15);
    EXPECT_EQ(BoardCalls(), (Lines{"audio 5 SetVolume(15) = 0"}));
    EXPECT_EQ(m_main.Of(WM_VOLUME_CHANGED),
              (std::vector<TestMain::Message>{{WM_VOLUME_CHANGED, VOLUME_CHANGED_LEVEL, 0}}));
    EXPECT_EQ(front->m_iBarVolume, 15);

    Tap({199, 60});
    EXPECT_EQ(front->m_bCollapsed, 0);
    EXPECT_EQ(front->m_bExpanded, 1);
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(0, 0, 800, 480));
    EXPECT_EQ(k->m_iVolume.load(), 15);
    EXPECT_EQ(Screen(0).PixelAt(400, 240), kHome) << "the page is back";
}

TEST_F(SeatTest, VolumeDownAtZeroAndUpAt32DoNothing) {
    CSeatCtrlDlg* front = FrontWithPages();
    k->SetVolume(0);
    OpenBar(front, {300, 200});
    Tap({399, 60});
    EXPECT_EQ(k->m_iVolume.load(), 0);
    EXPECT_TRUE(BoardCalls().empty());
    EXPECT_TRUE(m_main.Of(WM_VOLUME_CHANGED).empty());

    Tap({600, 60});
    EXPECT_EQ(k->m_iVolume.load(), 1);
    EXPECT_EQ(BoardCalls(), (Lines{"audio 5 SetVolume(1) = 0"}));

    k->SetVolume(32);
    m_sim.ClearLog();
    m_main.messages.clear();
    Tap({799, 60});
    EXPECT_EQ(k->m_iVolume.load(), 32);
    EXPECT_TRUE(BoardCalls().empty());
    EXPECT_TRUE(m_main.Of(WM_VOLUME_CHANGED).empty());
    Tap({300, 60});
    EXPECT_EQ(k->m_iVolume.load(), 31);
}

TEST_F(SeatTest, TheMuteAreaTogglesTheBoardAndTheBarsPicture) {
    CSeatCtrlDlg* front = FrontWithPages();
    OpenBar(front, {300, 200});
    Tap({400, 60});
    EXPECT_EQ(k->m_bMute.load(), 1);
    EXPECT_EQ(front->m_iBarState, 2);
    EXPECT_EQ(BoardCalls(), (Lines{"audio 7 Mute(1) = 0"}));
    EXPECT_EQ(m_main.Of(WM_VOLUME_CHANGED).back().wParam, uintptr_t(VOLUME_CHANGED_MUTED));
    plat::Surface screen = Screen(0);
    EXPECT_EQ(screen.PixelAt(10, 10), kBarMuted);
    EXPECT_EQ(testsupport::CountInk(screen, plat::Rect::FromXYWH(0, 0, 800, 150), kBarMuted), 0)
        << "no number on the muted bar";

    Tap({599, 60});
    EXPECT_EQ(k->m_bMute.load(), 0);
    EXPECT_EQ(front->m_iBarState, 1);
    EXPECT_EQ(BoardCalls(), (Lines{"audio 7 Mute(1) = 0", "audio 7 Mute(0) = 0"}));
    EXPECT_EQ(m_main.Of(WM_VOLUME_CHANGED).back().wParam, uintptr_t(VOLUME_CHANGED_UNMUTED));
    screen = Screen(0);
    EXPECT_EQ(screen.PixelAt(10, 10), kBar);
    EXPECT_GT(testsupport::CountInk(screen, plat::Rect::FromXYWH(540, 55, 80, 35), kBar), 30)
        << "the number is back at once";

    // Opened while muted, the bar is the muted one.
    k->SetVolume(255);
    Run(3100);
    front->OnTick();
    Run(500);
    Tap({310, 210});
    EXPECT_EQ(front->m_iBarState, 2);
}

TEST_F(SeatTest, TheBarSlidesShutToTheButton3SecondsAfterTheLastTap) {
    CSeatCtrlDlg* front = FrontWithPages();
    OpenBar(front, {300, 200});
    Tap({300, 60});  // a tap keeps it open
    Run(2990);
    front->OnTick();
    EXPECT_EQ(front->m_iBarState, 1);
    Run(20);
    front->OnTick();
    EXPECT_EQ(front->m_iBarState, 0);
    Pump();
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(0, 0, 800, 150))
        << "the close slide starts at the bar's width";
    Run(10);
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()).Width(), 760);
    EXPECT_EQ(Screen(0).PixelAt(700, 100), kBar) << "the bar shrinks towards the button";
    Run(300);
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(300, 200, 80, 60));
    EXPECT_EQ(Screen(0).PixelAt(300, 200), kButton);
    EXPECT_EQ(Screen(0).PixelAt(10, 10), kBlack);
}

TEST_F(SeatTest, AMoveOf10PixelsIsADragAndLessIsATap) {
    CSeatCtrlDlg* front = FrontWithPages();
    plat::ui::InjectPen(plat::ui::PenAction::Move, {300, 200});
    front->ShowExpanded(false);
    Pump();

    Press(plat::ui::PenAction::Down, {310, 210});
    Press(plat::ui::PenAction::Move, {320, 210});
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(310, 200, 80, 60))
        << "the button follows the pen";
    Press(plat::ui::PenAction::Up, {320, 210});
    EXPECT_EQ(front->m_iBarState, 0) << "10 pixels: a drag";
    EXPECT_EQ(front->m_bDragging, 0);
    EXPECT_EQ(plat::ui::GetCapture(), plat::ui::kNoWindow);

    Press(plat::ui::PenAction::Down, {320, 210});
    Press(plat::ui::PenAction::Move, {320, 219});
    Press(plat::ui::PenAction::Up, {320, 219});
    EXPECT_EQ(front->m_iBarState, 1) << "9 pixels: a tap";
    EXPECT_EQ(front->m_iButtonX, 310);
    EXPECT_EQ(front->m_iButtonY, 209);
}

TEST_F(SeatTest, ADiscToPlayUnfoldsTheSeat) {
    CSeatCtrlDlg* front = FrontWithPages();
    front->ShowExpanded(false);
    Pump();
    k->m_iAutoLaunch = 4;  // a video file: the movie page decides
    front->OnTick();
    EXPECT_EQ(front->m_bCollapsed, 1);
    k->m_iAutoLaunch = 3;
    front->OnTick();
    EXPECT_EQ(front->m_bCollapsed, 0);
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(0, 0, 800, 480));
}

TEST_F(SeatTest, TheRearSeatsKeyboardStaysHiddenWhileTvOrNavigationHasTheScreen) {
    CSeatCtrlDlg::Hooks().pfnCreateExtendedKB = []() -> std::unique_ptr<plat::ui::Window> {
        auto kb = std::make_unique<TestMain>();
        kb->Open();
        return kb;
    };
    CSeatCtrlDlg* rear = Seat(1);
    ASSERT_NE(rear->ExtendedKB(), nullptr);
    const plat::ui::WindowId kb = rear->ExtendedKB()->Id();
    EXPECT_FALSE(plat::ui::IsWindowVisible(kb));

    for (int app : {APPTYPE_TV, APPTYPE_NAVIGATION}) {
        rear->m_iCurrentApp = app;
        rear->ShowExpanded(false);
        EXPECT_FALSE(plat::ui::IsWindowVisible(kb)) << app;
        rear->ShowExpanded(true);
    }
    rear->m_iCurrentApp = APPTYPE_BROWSER;
    rear->ShowExpanded(false);
    EXPECT_TRUE(plat::ui::IsWindowVisible(kb));
    EXPECT_EQ(plat::ui::GetWindowRect(kb), plat::Rect::FromXYWH(1300, 480, 262, 100));
    rear->ShowExpanded(true);
    EXPECT_FALSE(plat::ui::IsWindowVisible(kb));
    // The backdrop behind the rear seat follows: hidden while folded, shown when full.
    EXPECT_EQ(m_main.Of(WM_SHOW_REAR_BACKDROP).size(), 7u);
    EXPECT_EQ(m_main.Of(WM_SHOW_REAR_BACKDROP).back().wParam, 0u);
}

TEST_F(SeatTest, WithoutItsKeyboardTheRearSeatEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CSeatCtrlDlg::Hooks().pfnCreateExtendedKB = []() -> std::unique_ptr<plat::ui::Window> {
        return nullptr;
    };
    EXPECT_EXIT(
        {
            CSeatCtrlDlg rear;
            rear.Create();
            rear.Initial(1, m_main.Id());
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(1), "");
}

// ---- Backlight, calls, seat actions --------------------------------------------------------

TEST_F(SeatTest, TheBacklightGoesOffAndTheNextTouchOnlyLightsItAgain) {
    CSeatCtrlDlg* front = FrontWithPages();
    front->m_iPending = APPTYPE_BACKLIGHT;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_EQ(front->m_bScreenOff, 1);
    EXPECT_TRUE(Contains(BoardCalls(), "video 13 BacklightPower(0) = 0"));
    SYS_SETTINGS saved;
    ASSERT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(SYS_SETTINGS_DB), saved));
    EXPECT_EQ(saved.iCurrentApp, 0);

    m_sim.ClearLog();
    m_log.clear();
    Tap({100, 100});
    EXPECT_EQ(front->m_bScreenOff, 0);
    EXPECT_EQ(BoardCalls(), (Lines{"video 13 BacklightPower(1) = 0"}));
    EXPECT_TRUE(m_log.empty()) << "the page gets nothing of that touch";
    Tap({100, 100});
    EXPECT_EQ(m_log, (Lines{"home.Down(100,100)", "home.Up(100,100)"}));

    m_sim.ClearLog();
    front->SetBacklight(true);
    EXPECT_TRUE(BoardCalls().empty()) << "already on";
    front->SetBacklight(false);
    front->SetBacklight(false);
    EXPECT_EQ(BoardCalls(), (Lines{"video 13 BacklightPower(0) = 0"}));
    EXPECT_EQ(front->m_bScreenOff, 1);
}

TEST_F(SeatTest, AReleaseGivesTheScreenBackFromTheVideoInput) {
    CSeatCtrlDlg* front = FrontWithPages();
    CSeatCtrlDlg* rear = Seat(1);
    TestPage* rearHome = Page(rear, APPTYPE_HOMEPAGE, 0xFF804000, true, "rearHome");
    Pump();
    k->InputSource(2);
    m_sim.ClearLog();
    // The rear seat only when its homepage launches a media page.
    Tap({900, 100});
    EXPECT_EQ(k->m_iInputSource.load(), 2);
    rearHome->m_byPressed = APPTYPE_MUSIC;
    Tap({900, 100});
    EXPECT_EQ(k->m_iInputSource.load(), 0);
    EXPECT_EQ(BoardCalls(), (Lines{"video 4 SelectInput(0) = 0"}));
    // The front seat on any release.
    k->InputSource(2);
    Tap({100, 100});
    EXPECT_EQ(k->m_iInputSource.load(), 0);
    (void)front;
}

TEST_F(SeatTest, SeatActionsRunAfterThePaint) {
    CSeatCtrlDlg* front = FrontWithPages();
    TestPage* sound = Page(front, APPTYPE_AUDIO_SET, 0xFF777777, false, "sound");
    front->m_iSeatAction = (3 << 16) | 17;  // FM2, channel 3
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_EQ(front->m_iSeatAction, -1);
    Lines calls = BoardCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0], "radio 1 SetBand(1) = 0");
    EXPECT_EQ(calls[1].rfind("radio 17 LoadChannel(259)", 0), 0u) << calls[1];

    m_log.clear();
    m_sim.ClearLog();
    front->m_iSeatAction = 2;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_TRUE(Contains(BoardCalls(), "audio 2 SelectSource(0) = 0"));
    EXPECT_TRUE(Contains(m_log, "sound.SetAudioMode(1)"));
    (void)sound;
}

TEST_F(SeatTest, ARingingCallLeavesTheRadioAndPausesWhatPlaysOnce) {
    CSeatCtrlDlg* front = FrontWithPages();
    TestPage* radio = Page(front, APPTYPE_RADIO, 0xFF404000, false, "radio");
    TestPage* movie = Page(front, APPTYPE_MOVIE, 0xFF004040, false, "movie");
    radio->CVelkoraAppDlg::Show(true, 255);
    m_home->CVelkoraAppDlg::Show(false, 255);
    m_music->playState = PLAYSTATE_PLAYING;
    movie->playState = PLAYSTATE_STOPPED;
    front->m_dwMonitorStatus = 0x30101;

    front->PrepareForCall();
    EXPECT_EQ(m_main.Of(WM_SWITCH_APP),
              (std::vector<TestMain::Message>{{WM_SWITCH_APP, 0, APPTYPE_HOMEPAGE}}));
    EXPECT_EQ(m_music->playState, PLAYSTATE_PAUSED);
    // The music was playing and is now paused; nothing else changes the word.
    EXPECT_EQ(front->m_dwMonitorStatus, 0x30201u);
    EXPECT_EQ(StatusValue(), 0x30201u);
    EXPECT_TRUE(Contains(m_log, "music.PauseIfPlaying(1)"));
    EXPECT_TRUE(Contains(m_log, "movie.PauseIfPlaying(1)"));

    // With nothing playing the word stays; a dark screen lights up.
    k->InputSource(0);
    front->m_dwMonitorStatus = 0;
    k->SetRegistryDword("Status", 0);
    radio->CVelkoraAppDlg::Show(false, 255);
    front->m_bScreenOff = 1;
    m_sim.ClearLog();
    front->PrepareForCall();
    EXPECT_EQ(front->m_dwMonitorStatus, 0u);
    EXPECT_EQ(StatusValue(), 0u);
    EXPECT_EQ(front->m_bScreenOff, 0);
    EXPECT_EQ(BoardCalls(), (Lines{"video 13 BacklightPower(1) = 0"}));
}

TEST_F(SeatTest, TheAuxInputStopsTheMediaAndTakesTheBoardsSource) {
    CSeatCtrlDlg* front = FrontWithPages();
    TestPage* aux = Page(front, APPTYPE_AUX, 0xFF404040, false, "aux");
    TestPage* radio = Page(front, APPTYPE_RADIO, 0xFF404000, false, "radio");
    TestPage* movie = Page(front, APPTYPE_MOVIE, 0xFF004040, false, "movie");
    m_log.clear();
    front->m_iPending = APPTYPE_AUX;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_TRUE(Contains(m_log, "aux.Show(1,0)"));
    EXPECT_TRUE(Contains(m_log, "music.StopAll"));
    EXPECT_TRUE(Contains(m_log, "movie.StopAll"));
    EXPECT_TRUE(Contains(m_log, "radio.StopAll"));
    EXPECT_NE(Log().find("CSeatCtrlDlg => ToAUX()"), std::string::npos);
    EXPECT_NE(Log().find("CSeatCtrlDlg::MonitorStop(0): 0 => 0"), std::string::npos);
    EXPECT_TRUE(Contains(BoardCalls(), "audio 2 SelectSource(2) = 0"));
    EXPECT_EQ(k->m_iInputSource.load(), 2);
    (void)aux;
    (void)radio;
    (void)movie;
}

// ---- Status values -------------------------------------------------------------------------

TEST_F(SeatTest, StatusValuesAreWrittenOnceASecond) {
    CSeatCtrlDlg* front = FrontWithPages();
    TestPage* phone = Page(front, APPTYPE_PHONE, 0xFF404040, false, "phone");
    CSeatCtrlDlg* rear = Seat(1);
    TestPage* rearPhone = Page(rear, APPTYPE_PHONE, 0xFF404040, false, "rearPhone");
    k->SetRegistryDword("Status", 77);
    m_clock.Advance(1000);
    front->OnTick();
    EXPECT_EQ(StatusValue(), 1u) << "a second since the start";
    k->SetRegistryDword("Status", 77);
    m_clock.Advance(999);
    front->OnTick();
    EXPECT_EQ(StatusValue(), 77u) << "not yet a second later";
    m_clock.Advance(2);
    front->OnTick();
    EXPECT_EQ(StatusValue(), 1u);

    // The rear seat's own mark.
    rear->OnTick();
    EXPECT_EQ(StatusValue(), 0x01000001u);

    // Every tick reaches the visible page, the hidden media pages, and the front's phone.
    EXPECT_EQ(m_home->ticks, 3);
    EXPECT_EQ(m_music->ticks, 3);
    EXPECT_EQ(phone->ticks, 3);
    EXPECT_EQ(rearPhone->ticks, 0);

    // While music plays the seat's word is written, marked as playing.
    front->m_dwMonitorStatus = 0x30200;
    m_music->playState = PLAYSTATE_PLAYING;
    m_clock.Advance(1001);
    front->OnTick();
    EXPECT_EQ(front->m_dwMonitorStatus, 0x30201u);
    EXPECT_EQ(StatusValue(), 0x30201u);
    // On disk, for the outside program.
    EXPECT_NE(testsupport::ReadText(KERNEL_STATUS_FILE).find("Status = dword:00030201"),
              std::string::npos);
}

TEST_F(SeatTest, MonitorWordsAndActionsGoToTheStatusValues) {
    CSeatCtrlDlg* front = FrontWithPages();
    CSeatCtrlDlg* rear = Seat(1);
    TestPage* rearMovie = Page(rear, APPTYPE_MOVIE, 0xFF004040, false, "rearMovie");

    front->MonitorPause();
    EXPECT_EQ(StatusValue(), 0x30101u);
    front->MonitorPause();
    EXPECT_EQ(StatusValue(), 0x30201u);
    rear->MonitorPause();
    EXPECT_EQ(StatusValue(), 0x01030101u);
    EXPECT_NE(Log().find("CSeatCtrlDlg::MonitorPause(1): 0 => 1030101"), std::string::npos);

    front->MonitorStop();
    EXPECT_TRUE(Contains(m_log, "music.StopAll"));
    EXPECT_EQ(StatusValue(), 0u);
    EXPECT_NE(Log().find("CSeatCtrlDlg::MonitorStop(0): 30201 => 0"), std::string::npos);
    m_log.clear();
    rear->MonitorStopMovie();
    EXPECT_EQ(m_log, (Lines{"rearMovie.StopAll"}));
    rear->MonitorStopStatus();
    EXPECT_EQ(m_log.size(), 1u);

    // Actions on the seat that draws the page; the parameter by its byte count.
    front->SetMonitorAction(rearMovie, 0x10070103, u"F:\\Movies\\a.avi", 1024);
    front->SetMonitorAction(m_music, 0x00030400, nullptr, 0);
    front->SetMonitorAction(m_music, 0x10030101, u"F:\\Music\\song.mp3", 10);
    uint32_t action = 0;
    std::u16string param;
    ASSERT_TRUE(k->Registry().GetDword(KERNEL_STATUS_KEY, "ActionR", &action));
    EXPECT_EQ(action, 0x10070103u);
    ASSERT_TRUE(k->Registry().GetString(KERNEL_STATUS_KEY, "ParamR", &param));
    EXPECT_EQ(param, u"F:\\Movies\\a.avi");
    ASSERT_TRUE(k->Registry().GetDword(KERNEL_STATUS_KEY, "ActionF", &action));
    EXPECT_EQ(action, 0x10030101u);
    ASSERT_TRUE(k->Registry().GetString(KERNEL_STATUS_KEY, "ParamF", &param));
    EXPECT_EQ(param, u"F:\\Mu") << "10 bytes are five characters";
}

// ---- The front seat's application locks --------------------------------------------------------

TEST_F(SeatTest, TheLockTakesTheFrontSeatOffALockedMovieAndBackWhenLifted) {
    CSeatCtrlDlg* front = FrontWithPages();
    TestPage* movie = Page(front, APPTYPE_MOVIE, 0xFF004040, false, "movie");
    static int s_refits = 0, s_cleared = 0;
    CSeatCtrlDlg::Hooks().pfnRefitMovieVideo = [](CVelkoraAppDlg*) { ++s_refits; };
    CSeatCtrlDlg::Hooks().pfnClearHomeSelection = [](CVelkoraAppDlg*) { ++s_cleared; };
    HOMEPAGE_LAYOUT& layout = pCfgData->m_Layout;
    layout.byPages = 1;
    layout.byItems = 8;
    layout.cell[0][0][5].byApp = APPTYPE_MOVIE;
    layout.cell[0][0][5].byLocked = 1;

    front->m_iPending = APPTYPE_MOVIE;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    movie->playState = PLAYSTATE_PLAYING;
    m_main.messages.clear();

    // Driving: the lock comes into force.
    k->m_bLocksFreeSeen = 0;
    k->m_bLocksChanged = 1;
    front->OnTick();
    EXPECT_EQ(m_main.Of(WM_SWITCH_APP),
              (std::vector<TestMain::Message>{{WM_SWITCH_APP, 0, APPTYPE_HOMEPAGE}}));
    EXPECT_EQ(front->m_bMovieLocked, 1);
    EXPECT_EQ(s_cleared, 1);
    EXPECT_EQ(m_home->lockStates, (std::vector<int>{0}));
    EXPECT_EQ(k->m_bLocksChanged.load(), 0);
    Pump();
    EXPECT_EQ(front->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_TRUE(m_home->IsVisible());

    // Stopped: back to the movie that still plays.
    k->m_bLocksFreeSeen = 1;
    k->m_bLocksChanged = 1;
    m_main.messages.clear();
    front->OnTick();
    EXPECT_EQ(m_home->lockStates, (std::vector<int>{0, 1}));
    EXPECT_EQ(s_refits, 1);
    EXPECT_EQ(m_main.Of(WM_SWITCH_APP),
              (std::vector<TestMain::Message>{{WM_SWITCH_APP, 0, APPTYPE_MOVIE}}));
    Pump();
    EXPECT_EQ(front->m_iCurrentApp, APPTYPE_MOVIE);

    // The movie keeps being watched, but the homepage hears of the lock only when it changes.
    for (int i = 0; i < 50; ++i)
        front->OnTick();
    EXPECT_EQ(m_home->lockStates, (std::vector<int>{0, 1}));
    EXPECT_EQ(m_main.Of(WM_SWITCH_APP).size(), 1u);

    // An unlocked application stays while the lock is in force.
    layout.cell[0][0][5].byLocked = 0;
    k->m_bLocksFreeSeen = 0;
    k->m_bLocksChanged = 1;
    front->m_iOtherApp = APPTYPE_PHONE;
    front->OnTick();
    EXPECT_EQ(m_main.Of(WM_SWITCH_APP).size(), 1u);
    EXPECT_EQ(m_home->lockStates, (std::vector<int>{0, 1, 0, 2}))
        << "a call on the other seat keeps its icons off";
}

// ---- Volume notifications ------------------------------------------------------------------

TEST_F(SeatTest, VolumeNotificationsReachTheVisiblePage) {
    CSeatCtrlDlg* front = FrontWithPages();
    front->OnVolumeChanged();
    EXPECT_EQ(m_log, (Lines{"home.UpdateVolume(1)"}));
    k->SetVolume(21);
    front->OnMuted();
    EXPECT_EQ(m_home->m_bMute, 1);
    EXPECT_EQ(m_home->m_iVolume, 21);
    front->OnUnmuted();
    EXPECT_EQ(m_home->m_bMute, 0);
}

// ---- The default skin's pictures ----------------------------------------------------------

TEST_F(SeatTest, TheDefaultSkinsButtonAndBar) {
    CopyFromRun("Skin/Default");
    for (const char* name : {"Velkora-op2.png", "Velkora-op3.png", "Velkora-s.png"})
        ASSERT_TRUE(testsupport::Exists(m_dir.File(std::string("Skin/Default/") + name))) << name;
    CSeatCtrlDlg* front = FrontWithPages();
    plat::ui::InjectPen(plat::ui::PenAction::Move, {300, 200});
    front->ShowExpanded(false);
    Pump();

    plat::Surface button;
    ASSERT_TRUE(plat::ui::GetWindowPicture(front->Id(), button));
    ASSERT_TRUE(plat::ui::SavePng(button, m_dir.File("default-button.png")));
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("default-button.png"), button));
    // A cyan outline and a cyan speaker on a dark face.
    const uint32_t accent = 0xFF3FC8E8;
    EXPECT_EQ(button.PixelAt(40, 3), accent);
    EXPECT_GT(testsupport::CountPixels(button, plat::Rect::FromXYWH(22, 12, 36, 36), accent), 150);
    EXPECT_LT((button.PixelAt(10, 30) >> 16 & 0xFF), 0x40) << "dark";

    Tap({310, 210});
    Run(500);
    plat::Surface bar;
    ASSERT_TRUE(plat::ui::GetWindowPicture(front->Id(), bar));
    ASSERT_TRUE(plat::ui::SavePng(bar, m_dir.File("default-bar.png")));
    ASSERT_TRUE(plat::LoadImageFile(m_dir.File("default-bar.png"), bar));
    ASSERT_EQ(bar.Width(), 800);
    const uint32_t ink = 0xFFE8EEF4;
    EXPECT_EQ(bar.PixelAt(300, 75), ink) << "minus";
    EXPECT_EQ(bar.PixelAt(700, 75), ink) << "plus, across";
    EXPECT_EQ(bar.PixelAt(700, 50), ink) << "plus, down";
    EXPECT_NE(bar.PixelAt(300, 50), ink) << "the minus has no upright";
    EXPECT_GT(testsupport::CountPixels(bar, plat::Rect::FromXYWH(425, 40, 70, 70), accent), 300)
        << "the speaker";
    // The number "16" in the well, in the bar text's colour.
    EXPECT_GT(testsupport::CountPixels(bar, plat::Rect::FromXYWH(532, 50, 96, 45), 0xFF40FFFF), 40);

    Tap({500, 75});
    Pump();
    ASSERT_TRUE(plat::ui::GetWindowPicture(front->Id(), bar));
    const uint32_t red = 0xFFE0524A;
    EXPECT_GT(testsupport::CountPixels(bar, plat::Rect::FromXYWH(460, 40, 70, 70), red), 300)
        << "the crossed speaker";
    EXPECT_EQ(testsupport::CountPixels(bar, plat::Rect::FromXYWH(532, 50, 96, 45), 0xFF40FFFF), 0);
}

// ---- Outside programs' windows -------------------------------------------------------------

namespace {

plat::ExternalWindow WindowOf(plat::ProcessId pid) {
    for (const plat::ExternalWindowInfo& w : plat::ListExternalWindows())
        if (w.pid == pid && w.visible)
            return w.window;
    return 0;
}

// Starts a program as something else on the machine would: not through this system, without
// its owner mark.
pid_t StartForeign(const std::string& path, std::vector<std::string> args) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "VELKORA_OWNER=", 14) != 0)
            env.emplace_back(*e);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

}  // namespace

TEST_F(SeatTest, OnlyTheProgramThisSystemStartedIsPlacedAndEnded) {
    testsupport::XServer server;
    if (server.Display().empty())
        GTEST_SKIP() << "no Xvfb";
    ::setenv("DISPLAY", server.Display().c_str(), 1);
    ASSERT_TRUE(plat::ExternalWindowsAvailable());

    // Two programs of the same name: one the user started, one the seat starts.
    std::filesystem::create_directories(m_dir.File("TV"));
    const std::string program = m_dir.File("TV/tvprog");
    std::filesystem::copy_file("/usr/bin/xlogo", program);
    const pid_t foreign = StartForeign(program, {"-geometry", "100x100+10+10"});
    ASSERT_GT(foreign, 0);
    plat::ExternalWindow foreignWindow = 0;
    ASSERT_TRUE(WaitFor([&] { return (foreignWindow = WindowOf(foreign)) != 0; }, 10000));

    CSeatCtrlDlg* front = FrontWithPages();
    plat::StrCopy(k->m_AppPaths.szPath[APP_PATH_TV], plat::Utf8ToUtf16(program));
    front->m_iPending = APPTYPE_TV;
    plat::ui::InvalidateRect(front->Id());
    Pump();
    EXPECT_EQ(front->m_bCollapsed, 1);
    EXPECT_EQ(plat::ui::GetWindowRect(front->Id()), plat::Rect::FromXYWH(200, 0, 80, 60));

    // Once a second the seat looks for its program's window and puts it on its screen.
    plat::ExternalWindow ours = 0;
    ASSERT_TRUE(WaitFor(
        [&] {
            // Real time for the program to come up; the seat's clock a second on.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            m_clock.Advance(1000);
            Pump();
            for (const plat::ExternalWindowInfo& w : plat::ListExternalWindows())
                if (w.window != foreignWindow && w.visible && w.pid != foreign && w.pid > 0)
                    ours = w.window;
            return ours && server.WindowGeometry(ours) == "0,0 800x480";
        },
        15000))
        << server.WindowGeometry(ours);
    EXPECT_EQ(server.WindowGeometry(foreignWindow), "10,10 100x100")
        << "the user's program stays where it is";

    // Back to full screen from the bar: the TV program ends, the user's stays.
    Tap({210, 10});
    Run(500);
    ASSERT_EQ(front->m_iBarState, 1);
    Tap({100, 60});
    EXPECT_EQ(front->m_bCollapsed, 0);
    EXPECT_TRUE(WaitFor([&] { return server.WindowGeometry(ours) != "0,0 800x480"; }));
    EXPECT_TRUE(plat::ProcessRunning(foreign));
    EXPECT_EQ(server.WindowGeometry(foreignWindow), "10,10 100x100");

    ::kill(foreign, SIGKILL);
    ::waitpid(foreign, nullptr, 0);
    ::unsetenv("DISPLAY");
}
