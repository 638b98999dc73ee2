#include "apps/home/HomepageDlg.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>

#include "core/kernel/CfgData.h"
#include "core/kernel/HWAudio.h"
#include "core/shell/KeyFunctions.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvImage.h"
#include "platform/gfx/Canvas.h"
#include "platform/io/Path.h"
#include "platform/sys/Module.h"
#include "tests/harness/HeadUnitFixture.h"

using namespace pagetest;
using KvUserInterface::IKvButton;
using testsupport::CountInk;

namespace {

constexpr uint32_t kBackground = 0xFF102030;
constexpr uint32_t kSeparator = 0xFFE0E0E0;

// Every frame of every icon has its own colour, so a pixel tells which icon shows in which
// state.
uint32_t IconColour(int app, int frame) {
    return plat::Argb(0xFF, static_cast<uint8_t>(40 + app * 5),
                      static_cast<uint8_t>(20 + frame * 60), 0x99);
}

uint32_t PageButtonColour(bool next, int frame) {
    return plat::Argb(0xFF, next ? 0xF0 : 0xC0, static_cast<uint8_t>(10 + frame * 60), 0x00);
}

const char* const kIconFile[APPTYPE_COUNT] = {
    nullptr, "music.png", "movie.png",    "photo.png", "radio.png", nullptr,
    nullptr, "phone.png", "settings.png", nullptr,     "aux.png",   "aux2.png",
};

// Item places: four items a page, front row at y 100, rear row at y 220.
constexpr int kItemX[4] = {100, 200, 300, 400};
constexpr int kFrontY = 100;
constexpr int kRearY = 220;
constexpr int kSide = 60;

const char kLayout[] =
    "[Property]\r\n"
    "Pages = 3\r\n"
    "Items = 4\r\n"
    "Background = bg.png\r\n"
    "LockImage = lock.png\r\n"
    "[Available Applications]\r\n"
    "APPTYPE_MUSIC = music.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "APPTYPE_MOVIE = movie.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "APPTYPE_PHOTO = photo.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "APPTYPE_RADIO = radio.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "APPTYPE_PHONE = phone.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "APPTYPE_SETTINGS = settings.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "APPTYPE_AUX = aux.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "APPTYPE_AUX2 = aux2.png, -10, 64, 80, 24, 0, 0, 10, 10\r\n"
    "[Applications]\r\n"
    "APPTYPE_MUSIC = 1, 1, 1, 1\r\n"
    "APPTYPE_MOVIE = 1, 2, 1, 1\r\n"
    "APPTYPE_RADIO = 1, 3, 1, 1\r\n"
    "APPTYPE_AUX2 = 1, 4, 1, 1\r\n"
    "APPTYPE_SETTINGS = 2, 1, 1, 1\r\n"
    "APPTYPE_AUX = 2, 2, 1, 1\r\n"
    "APPTYPE_PHONE = 2, 4, 1, 1\r\n"
    "APPTYPE_PHOTO = 3, 1, 0, 1\r\n"
    "[Item Position]\r\n"
    "Item01 = 100, 100, 60, 60\r\n"
    "Item02 = 200, 100, 60, 60\r\n"
    "Item03 = 300, 100, 60, 60\r\n"
    "Item04 = 400, 100, 60, 60\r\n"
    "[Rear Item]\r\n"
    "Item01 = 100, 220, 60, 60\r\n"
    "Item02 = 200, 220, 60, 60\r\n"
    "Item03 = 300, 220, 60, 60\r\n"
    "Item04 = 400, 220, 60, 60\r\n"
    "[Title]\r\n"
    "Show = True\r\n"
    "Position = 20, 8, 300, 40\r\n"
    "Font Size = 16\r\n"
    "Font Color = 255, 255, 255\r\n"
    "[Date]\r\n"
    "Show = True\r\n"
    "Position = 600, 14, 190, 35\r\n"
    "Font Size = 13\r\n"
    "Font Color = 255, 79, 35\r\n"
    "[Time]\r\n"
    "Show = True\r\n"
    "Position = 0, 0, 10, 10\r\n"
    "Font Size = 14\r\n"
    "Font Color = 255, 79, 35\r\n"
    "[Buttons]\r\n"
    "NextPage Pos = 700, 100, 40, 60\r\n"
    "NextPage Img = next.png\r\n"
    "PrevPage Pos = 20, 100, 40, 60\r\n"
    "PrevPage Img = prev.png\r\n"
    "NextRear Pos = 700, 220, 40, 60\r\n"
    "NextRear Img = next.png\r\n"
    "PrevRear Pos = 20, 220, 40, 60\r\n"
    "PrevRear Img = prev.png\r\n"
    "[END]\r\n";

const char kLanguage[] =
    "[APP_ITEMS]\r\nMSG_HOMEPAGE = Home\r\nMSG_MUSIC = Music\r\nMSG_MOVIE = Movie\r\n"
    "MSG_PHOTO = Photo\r\nMSG_AUX = AUX\r\nMSG_AUX2 = AUX 2\r\nMSG_RADIO = Radio\r\n"
    "MSG_PHONE = Phone\r\nMSG_SETTING = Settings\r\n"
    "[OTHER]\r\nMSG_AM = Morning\r\nMSG_PM = Afternoon\r\n[END]\r\n";

// The homepage as the seat draws it, counting its drawings.
class CountedHomepage final : public CHomepageDlg {
public:
    void Render(plat::Canvas* hdc) override {
        ++m_renders;
        CHomepageDlg::Render(hdc);
    }
    int m_renders = 0;
};

class HomepageTest : public HeadUnitTest {
protected:
    void SetUp() override {
        HeadUnitTest::SetUp();
        WriteUtf16("Language/english.ini", kLanguage, true);
        WriteSkin(kLayout);
        StartKernel();
        ASSERT_TRUE(m_main.Open(plat::Rect{0, 0, 1, 1}));
        ASSERT_TRUE(GetCfgData()->LoadHomepage());
        // As the main dialog builds them: the pages first, then the seats that draw them.
        for (int seat = 0; seat < 2; ++seat) {
            m_page[seat] = std::make_unique<CountedHomepage>();
            ASSERT_TRUE(m_page[seat]->SetSkin(static_cast<uint8_t>(seat), m_main.Id(), 0));
            ASSERT_TRUE(m_seat[seat].Create());
            ASSERT_TRUE(m_seat[seat].Initial(static_cast<uint8_t>(seat), m_main.Id()));
            m_page[seat]->SetOwner(&m_seat[seat]);
            m_page[seat]->Show(true, 255);
            m_seat[seat].SetApplication(APPTYPE_HOMEPAGE, m_page[seat].get());
            m_seat[seat].ShowExpanded(true);
        }
        Paints();
    }

    void TearDown() override {
        m_seat[0].Destroy();
        m_seat[1].Destroy();
        m_page[0].reset();
        m_page[1].reset();
        CSeatCtrlDlg::Hooks() = SEAT_HOOKS{};
        CHWAudioHolder::DestroyInstance();
        HeadUnitTest::TearDown();
    }

    // The drawings of the homepage by `seat` since the last call, once the seats have painted.
    int Paints(int seat = 0) {
        plat::ui::PumpUntilIdle();
        int n = m_page[seat]->m_renders;
        m_page[0]->m_renders = m_page[1]->m_renders = 0;
        return n;
    }

    void WriteSkin(const char* layout) {
        std::filesystem::create_directories("Skin/Test/Homepage");
        WriteUtf16("Skin/Test/Homepage/DefaultLayout.ini", layout, true);
        for (int app = 0; app < APPTYPE_COUNT; ++app) {
            if (!kIconFile[app])
                continue;
            std::vector<uint32_t> frames;
            for (int f = 0; f < 4; ++f)
                frames.push_back(IconColour(app, f));
            WriteSkinImage(std::string("Homepage/") + kIconFile[app],
                           testsupport::StripImage(kSide, kSide, frames));
        }
        for (bool next : {true, false}) {
            std::vector<uint32_t> frames;
            for (int f = 0; f < 4; ++f)
                frames.push_back(PageButtonColour(next, f));
            WriteSkinImage(next ? "Homepage/next.png" : "Homepage/prev.png",
                           testsupport::StripImage(40, 60, frames));
        }
        WriteSkinImage("Homepage/bg.png", testsupport::SolidImage(800, 600, kBackground));
        WriteSkinImage("Homepage/lock.png", testsupport::SolidImage(16, 16, 0xFFFFFF00));
        for (const char* seat : {"Velkora-op2.png", "Velkora-op3.png", "Velkora-s.png"})
            WriteSkinImage(seat, testsupport::SolidImage(80, 60, 0xFF808080));
        WriteSkinImage("Homepage/index-white-line.png",
                       testsupport::SolidImage(780, 2, kSeparator));
    }

    plat::Surface Picture(int seat) {
        plat::Surface s(800, seat ? 600 : 480);
        s.Fill(0xFF000000);
        auto canvas = plat::MakeCanvas(s);
        m_page[seat]->CHomepageDlg::Render(canvas.get());  // not counted: the seat did not draw
        return s;
    }

    // The colour at the middle of item `item` (0-based) of the page shown.
    static uint32_t ItemPixel(const plat::Surface& s, int seat, int item) {
        return s.PixelAt(kItemX[item] + kSide / 2, (seat ? kRearY : kFrontY) + kSide / 2);
    }

    static plat::Point ItemPoint(int seat, int item) {
        return plat::Point{kItemX[item] + kSide / 2, (seat ? kRearY : kFrontY) + kSide / 2};
    }

    void Tap(int seat, plat::Point at) {
        m_page[seat]->OnLButtonDown(at.x, at.y);
        m_page[seat]->OnLButtonUp(at.x, at.y);
    }

    std::vector<RecordingWindow::Message> TakeSwitches() {
        std::vector<RecordingWindow::Message> out;
        for (const auto& m : m_main.messages)
            if (m.msg == WM_SWITCH_APP)
                out.push_back(m);
        m_main.messages.clear();
        return out;
    }

    HOMEPAGE_CELL& Cell(int seat, int page, int item) {
        return pCfgData->m_Layout.cell[seat][page][item];
    }

    RecordingWindow m_main;
    CSeatCtrlDlg m_seat[2];
    std::unique_ptr<CountedHomepage> m_page[2];
};

}  // namespace

// ---- Drawing --------------------------------------------------------------------------------

TEST_F(HomepageTest, DrawsThePagesIconsCaptionsPageButtonsAndRule) {
    plat::Surface front = Picture(0);
    EXPECT_EQ(front.PixelAt(600, 300), kBackground);
    EXPECT_EQ(ItemPixel(front, 0, 0), IconColour(APPTYPE_MUSIC, 0));
    EXPECT_EQ(ItemPixel(front, 0, 1), IconColour(APPTYPE_MOVIE, 0));
    EXPECT_EQ(ItemPixel(front, 0, 2), IconColour(APPTYPE_RADIO, 0));
    // The caption under each icon, from the language table.
    for (int item = 0; item < 3; ++item)
        EXPECT_GT(CountInk(front, plat::Rect::FromXYWH(kItemX[item] - 10, kFrontY + 64, 80, 24),
                           kBackground),
                  20)
            << item;
    EXPECT_EQ(front.PixelAt(720, 130), PageButtonColour(true, 0));
    EXPECT_EQ(front.PixelAt(40, 130), PageButtonColour(false, 0));
    EXPECT_EQ(front.PixelAt(400, 390), kSeparator);
    EXPECT_EQ(front.PixelAt(400, 392), kBackground);
    EXPECT_GT(CountInk(front, plat::Rect::FromXYWH(20, 8, 300, 40), kBackground), 50) << "title";

    plat::Surface rear = Picture(1);
    EXPECT_EQ(ItemPixel(rear, 1, 0), IconColour(APPTYPE_MUSIC, 0));
    EXPECT_EQ(rear.PixelAt(720, 250), PageButtonColour(true, 0));
    // What the seats show is the homepage as drawn here.
    for (int seat = 0; seat < 2; ++seat) {
        const plat::Surface& shown = m_seat[seat].PagePicture();
        const plat::Surface drawn = Picture(seat);
        ASSERT_EQ(shown.Height(), drawn.Height());
        EXPECT_EQ(ItemPixel(shown, seat, 0), ItemPixel(drawn, seat, 0));
        EXPECT_EQ(ItemPixel(shown, seat, 2), ItemPixel(drawn, seat, 2));
        EXPECT_EQ(shown.PixelAt(400, seat ? 500 : 390), kSeparator);
    }
    EXPECT_EQ(rear.PixelAt(400, 500), kSeparator);
    EXPECT_EQ(rear.PixelAt(400, 390), kBackground);
}

TEST_F(HomepageTest, TheSecondAuxInputIsNeverDrawnNorTouched) {
    plat::Surface front = Picture(0);
    const plat::Rect aux2 = plat::Rect::FromXYWH(kItemX[3] - 10, kFrontY, 80, 90);
    EXPECT_EQ(CountInk(front, aux2, kBackground), 0) << "neither icon nor caption";
    Tap(0, ItemPoint(0, 3));
    EXPECT_TRUE(TakeSwitches().empty());
    EXPECT_EQ(m_page[0]->m_byPressed, HOMEPAGE_PRESSED_NONE);
}

TEST_F(HomepageTest, TheRearGridKeepsItsSettingsIconDisabled) {
    m_page[1]->KeyHandler(KEYCMD_TRACK_DOWN);
    plat::Surface rear = Picture(1);
    EXPECT_EQ(ItemPixel(rear, 1, 0), IconColour(APPTYPE_SETTINGS, 3));
    EXPECT_EQ(ItemPixel(rear, 1, 1), IconColour(APPTYPE_AUX, 0));
    Tap(1, ItemPoint(1, 0));
    EXPECT_TRUE(TakeSwitches().empty());
}

// ---- Touch ----------------------------------------------------------------------------------

TEST_F(HomepageTest, TouchingAnIconAndLiftingOnItLaunchesItOnThatSeat) {
    m_page[1]->OnLButtonDown(ItemPoint(1, 1).x, ItemPoint(1, 1).y);
    EXPECT_EQ(m_page[1]->m_byPressed, APPTYPE_MOVIE);
    EXPECT_EQ(ItemPixel(Picture(1), 1, 1), IconColour(APPTYPE_MOVIE, 2)) << "shown pressed";
    m_page[1]->OnLButtonUp(ItemPoint(1, 1).x, ItemPoint(1, 1).y);
    auto switches = TakeSwitches();
    ASSERT_EQ(switches.size(), 1u);
    EXPECT_EQ(switches[0].wParam, 1u);
    EXPECT_EQ(switches[0].lParam, APPTYPE_MOVIE);
    EXPECT_EQ(m_page[1]->m_bLaunched, 1);
    plat::Surface rear = Picture(1);
    EXPECT_EQ(ItemPixel(rear, 1, 1), IconColour(APPTYPE_MOVIE, 1)) << "the launched icon glows";
    EXPECT_EQ(ItemPixel(rear, 1, 0), IconColour(APPTYPE_MUSIC, 0));
    EXPECT_EQ(Paints(1), 1) << "the seat draws it anew";

    // The next launch moves the glow.
    Tap(1, ItemPoint(1, 0));
    switches = TakeSwitches();
    ASSERT_EQ(switches.size(), 1u);
    EXPECT_EQ(switches[0].lParam, APPTYPE_MUSIC);
    rear = Picture(1);
    EXPECT_EQ(ItemPixel(rear, 1, 0), IconColour(APPTYPE_MUSIC, 1));
    EXPECT_EQ(ItemPixel(rear, 1, 1), IconColour(APPTYPE_MOVIE, 0));
}

TEST_F(HomepageTest, PressingOneIconAndLiftingOnAnotherLaunchesNothing) {
    m_page[0]->OnLButtonDown(ItemPoint(0, 0).x, ItemPoint(0, 0).y);
    m_page[0]->OnLButtonUp(ItemPoint(0, 2).x, ItemPoint(0, 2).y);
    EXPECT_TRUE(TakeSwitches().empty());
    EXPECT_EQ(m_page[0]->m_byCurrItem, 0) << "the pressed icon stays selected";
    plat::Surface front = Picture(0);
    EXPECT_EQ(ItemPixel(front, 0, 0), IconColour(APPTYPE_MUSIC, 1));
    EXPECT_EQ(ItemPixel(front, 0, 2), IconColour(APPTYPE_RADIO, 0));
}

TEST_F(HomepageTest, APressThatBeganOffTheIconsLaunchesNothing) {
    Tap(0, ItemPoint(0, 0));
    ASSERT_EQ(TakeSwitches().size(), 1u);
    // Pressed on the background, then slid onto the selected icon.
    m_page[0]->OnLButtonDown(600, 300);
    EXPECT_EQ(m_page[0]->m_byPressed, HOMEPAGE_PRESSED_NONE);
    m_page[0]->OnLButtonUp(ItemPoint(0, 0).x, ItemPoint(0, 0).y);
    EXPECT_TRUE(TakeSwitches().empty());
}

TEST_F(HomepageTest, PageButtonsTurnThePagesAndWrapBothWays) {
    const plat::Point next{720, 130}, prev{40, 130};
    m_page[0]->OnLButtonDown(next.x, next.y);
    EXPECT_EQ(m_page[0]->m_byPressed, HOMEPAGE_PRESSED_NEXT);
    EXPECT_EQ(Picture(0).PixelAt(next.x, next.y), PageButtonColour(true, 2));
    m_page[0]->OnLButtonUp(next.x, next.y);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 1);
    EXPECT_EQ(ItemPixel(Picture(0), 0, 0), IconColour(APPTYPE_SETTINGS, 0));
    Tap(0, next);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 2);
    // The photo icon is disabled on the front grid by its layout.
    EXPECT_EQ(ItemPixel(Picture(0), 0, 0), IconColour(APPTYPE_PHOTO, 3));
    Tap(0, next);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 0) << "from the last page to the first";
    Tap(0, prev);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 2) << "from the first page to the last";
    EXPECT_TRUE(TakeSwitches().empty());

    // Sliding off a pressed page button lets it go.
    m_page[0]->OnLButtonDown(prev.x, prev.y);
    m_page[0]->OnMouseMove(prev.x + 5, prev.y);
    EXPECT_EQ(m_page[0]->m_byPressed, HOMEPAGE_PRESSED_PREV);
    m_page[0]->OnMouseMove(300, 300);
    EXPECT_EQ(m_page[0]->m_byPressed, HOMEPAGE_PRESSED_NONE);
    EXPECT_EQ(Picture(0).PixelAt(prev.x, prev.y), PageButtonColour(false, 0));
    m_page[0]->OnLButtonUp(prev.x, prev.y);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 2);
}

TEST_F(HomepageTest, WithOnePageThereAreNoPageButtons) {
    std::string layout = kLayout;
    layout.replace(layout.find("Pages = 3"), 9, "Pages = 1");
    WriteSkin(layout.c_str());
    std::filesystem::remove("Skin/Test/Homepage/homepage.db");
    ASSERT_TRUE(pCfgData->LoadHomepage());
    ASSERT_TRUE(m_page[0]->SetSkin(0, m_main.Id(), 0));
    ASSERT_EQ(m_page[0]->PageCount(), 1);
    plat::Surface front = Picture(0);
    EXPECT_EQ(front.PixelAt(720, 130), kBackground);
    EXPECT_EQ(front.PixelAt(40, 130), kBackground);
    Tap(0, plat::Point{720, 130});
    EXPECT_EQ(m_page[0]->m_byPressed, HOMEPAGE_PRESSED_NONE);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 0);
    EXPECT_TRUE(TakeSwitches().empty());
}

TEST_F(HomepageTest, KeyCommandsTurnThePages) {
    m_page[0]->KeyHandler(KEYCMD_SEEK_UP);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 2);
    m_page[0]->KeyHandler(KEYCMD_TRACK_DOWN);
    m_page[0]->KeyHandler(KEYCMD_TRACK_DOWN);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 1);
    EXPECT_EQ(Paints(), 1);
    m_page[0]->KeyHandler(KEYCMD_PLAY_PAUSE);
    m_page[0]->KeyHandler(KEYCMD_GROUP2_10);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 1);
    EXPECT_EQ(Paints(), 0) << "other commands are ignored";
    EXPECT_NE(Log().find("CHomepageDlg::KeyHandler(): m_byCurrPage(1), m_byCurrItem(0)"),
              std::string::npos);
}

// ---- Locks ----------------------------------------------------------------------------------

TEST_F(HomepageTest, LocksInForceDisableTheLockedIconsOfTheFrontGrid) {
    Cell(0, 0, 1).byLocked = 1;  // movie
    Cell(1, 0, 1).byLocked = 1;  // a rear lock byte means nothing
    m_page[0]->m_byCurrItem = 3;
    m_page[0]->SetLockState(HOMEPAGE_LOCKS_IN_FORCE);
    EXPECT_EQ(m_page[0]->m_byCurrItem, 0);
    plat::Surface front = Picture(0);
    EXPECT_EQ(ItemPixel(front, 0, 0), IconColour(APPTYPE_MUSIC, 0));
    EXPECT_EQ(ItemPixel(front, 0, 1), IconColour(APPTYPE_MOVIE, 3));
    Tap(0, ItemPoint(0, 1));
    EXPECT_TRUE(TakeSwitches().empty()) << "a locked icon cannot be launched";
    EXPECT_EQ(ItemPixel(Picture(1), 1, 1), IconColour(APPTYPE_MOVIE, 0));

    // A launch of another icon never lights up the locked one.
    m_page[0]->m_byCurrItem = 1;
    m_page[0]->m_bLaunched = 1;
    m_page[0]->HighlightCurrent();
    EXPECT_EQ(ItemPixel(Picture(0), 0, 1), IconColour(APPTYPE_MOVIE, 3));

    m_page[0]->SetLockState(HOMEPAGE_LOCKS_FREE);
    front = Picture(0);
    EXPECT_EQ(ItemPixel(front, 0, 1), IconColour(APPTYPE_MOVIE, 0));
    Tap(0, ItemPoint(0, 1));
    EXPECT_EQ(TakeSwitches().size(), 1u);
    // Free or not, an icon its layout disables stays disabled.
    m_page[0]->KeyHandler(KEYCMD_SEEK_UP);
    EXPECT_EQ(ItemPixel(Picture(0), 0, 0), IconColour(APPTYPE_PHOTO, 3));
}

TEST_F(HomepageTest, TheFrontSeatsLockTakesALockedMovieAwayAndTheSelectionWithIt) {
    Cell(0, 0, 1).byLocked = 1;  // movie
    Tap(0, ItemPoint(0, 1));
    ASSERT_EQ(TakeSwitches().size(), 1u);
    ASSERT_EQ(m_page[0]->m_byCurrItem, 1);
    // Driving starts while the movie shows.
    m_seat[0].m_iCurrentApp = APPTYPE_MOVIE;
    CKernel* k = CKernel::Instance();
    k->m_bLocksFree = 0;
    k->OnPeriodic();
    m_seat[0].OnTick();
    auto switches = TakeSwitches();
    ASSERT_EQ(switches.size(), 1u);
    EXPECT_EQ(switches[0].lParam, APPTYPE_HOMEPAGE);
    EXPECT_EQ(m_page[0]->m_byCurrItem, 0);
    EXPECT_EQ(ItemPixel(Picture(0), 0, 1), IconColour(APPTYPE_MOVIE, 3));
}

TEST_F(HomepageTest, RefreshAppliesTheKernelsLockState) {
    Cell(0, 0, 2).byLocked = 1;  // radio
    CKernel::Instance()->m_bLocksFree = 0;
    m_page[0]->Refresh();
    EXPECT_EQ(ItemPixel(Picture(0), 0, 2), IconColour(APPTYPE_RADIO, 3));
    CKernel::Instance()->m_bLocksFree = 1;
    m_page[0]->Show(false, 255);
    m_page[0]->Refresh();
    EXPECT_EQ(ItemPixel(Picture(0), 0, 2), IconColour(APPTYPE_RADIO, 3)) << "only when shown";
    m_page[0]->Show(true, 255);
    m_page[0]->Refresh();
    EXPECT_EQ(ItemPixel(Picture(0), 0, 2), IconColour(APPTYPE_RADIO, 0));
}

TEST_F(HomepageTest, ACallOnTheOtherSeatGreysOutMusicRadioAndAux) {
    m_seat[1].m_iOtherApp = APPTYPE_PHONE;
    m_page[1]->Show(true, 7);
    EXPECT_EQ(m_page[1]->m_byShowParam, 7);
    plat::Surface rear = Picture(1);
    EXPECT_EQ(ItemPixel(rear, 1, 0), IconColour(APPTYPE_MUSIC, 3));
    EXPECT_EQ(ItemPixel(rear, 1, 1), IconColour(APPTYPE_MOVIE, 0));
    EXPECT_EQ(ItemPixel(rear, 1, 2), IconColour(APPTYPE_RADIO, 3));
    EXPECT_EQ(ItemPixel(Picture(0), 0, 0), IconColour(APPTYPE_MUSIC, 0)) << "this seat only";
    m_page[1]->KeyHandler(KEYCMD_TRACK_DOWN);
    EXPECT_EQ(ItemPixel(Picture(1), 1, 1), IconColour(APPTYPE_AUX, 3));
    m_page[1]->KeyHandler(KEYCMD_SEEK_UP);

    m_seat[1].m_iOtherApp = APPTYPE_MUSIC;
    m_page[1]->Show(true, 255);
    EXPECT_EQ(m_page[1]->m_byShowParam, 7) << "255 keeps the parameter";
    rear = Picture(1);
    EXPECT_EQ(ItemPixel(rear, 1, 0), IconColour(APPTYPE_MUSIC, 0));
    EXPECT_EQ(ItemPixel(rear, 1, 2), IconColour(APPTYPE_RADIO, 0));
}

TEST_F(HomepageTest, TheEndOfACallGivesBackNothingTheLocksKeep) {
    // The radio is locked while driving on the front seat.
    Cell(0, 0, 2).byLocked = 1;
    CKernel::Instance()->m_bLocksFree = 0;
    m_page[0]->SetLockState(HOMEPAGE_LOCKS_IN_FORCE);
    m_seat[0].m_iOtherApp = APPTYPE_PHONE;
    m_page[0]->Show(true, 255);
    m_seat[0].m_iOtherApp = APPTYPE_HOMEPAGE;
    m_page[0]->Show(true, 255);
    plat::Surface front = Picture(0);
    EXPECT_EQ(ItemPixel(front, 0, 0), IconColour(APPTYPE_MUSIC, 0));
    EXPECT_EQ(ItemPixel(front, 0, 2), IconColour(APPTYPE_RADIO, 3));
    Tap(0, ItemPoint(0, 2));
    EXPECT_TRUE(TakeSwitches().empty());
}

TEST_F(HomepageTest, LockChangesDoNotHoldUpTheUserInterface) {
    const uint64_t before = m_clock.TickMs();
    for (int state = 0; state < 4; ++state)
        m_page[0]->SetLockState(state);
    EXPECT_EQ(m_clock.TickMs(), before) << "no sleep on the user-interface thread";
    EXPECT_EQ(Paints(), 1) << "the seat repaints once";
}

// ---- Selection from outside, skin -----------------------------------------------------------

TEST_F(HomepageTest, SelectingAnApplicationTakesTheLastPageHoldingIt) {
    ASSERT_EQ(CHomepageDlg::Front(), m_page[0].get());
    // The layout file may hold one application twice.
    Cell(0, 2, 3) = Cell(0, 0, 0);
    Cell(0, 0, 0).pButton->AddRef();
    std::thread restore([] { CHomepageDlg::SelectApp(APPTYPE_MUSIC); });
    ASSERT_TRUE(WaitUntil([&] {
        plat::ui::PumpUntilIdle();
        return m_page[0]->m_byCurrPage == 2;
    }));
    restore.join();
    EXPECT_EQ(m_page[0]->m_byCurrItem, 3);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 2);
    // Selecting what no cell holds changes nothing.
    CHomepageDlg::SelectApp(APPTYPE_TV);
    EXPECT_EQ(m_page[0]->m_byCurrPage, 2);
    EXPECT_EQ(m_page[0]->m_byCurrItem, 3);
    Cell(0, 2, 3).pButton->Release();
    Cell(0, 2, 3).pButton = nullptr;
    Cell(0, 2, 3).byApp = CELL_EMPTY;
}

TEST_F(HomepageTest, SettingTheSkinLoadsItAndAMissingRuleFailsIt) {
    EXPECT_NE(Log().find("CHomepageDlg: "), std::string::npos);
    std::filesystem::remove("Skin/Test/Homepage/index-white-line.png");
    EXPECT_FALSE(m_page[1]->SetSkin(1, m_main.Id(), 0));
}

// ---- The default skin's homepage ------------------------------------------------------------

namespace {

std::string RunFolder() {
    return plat::JoinPath(plat::DirName(plat::ExecutableDir()), "run");
}

// The homepage as the unit ships it: the default skin and the English texts of the run
// folder.
class ShippedHomepageTest : public HeadUnitTest {
protected:
    void SetUp() override {
        HeadUnitTest::SetUp();
        std::filesystem::create_directories("Skin");
        std::filesystem::copy(plat::JoinPath(RunFolder(), "Skin/Default"), "Skin/Default",
                              std::filesystem::copy_options::recursive);
        std::filesystem::copy_file(plat::JoinPath(RunFolder(), "Language/english.ini"),
                                   "Language/english.ini",
                                   std::filesystem::copy_options::overwrite_existing);
        WriteUtf16(CFG_DEFAULT_INI, "[System Settings]\r\nSkin = Default\r\nLanguage = English\r\n",
                   true);
        StartKernel();
        ASSERT_TRUE(m_main.Open(plat::Rect{0, 0, 1, 1}));
        ASSERT_TRUE(GetCfgData()->LoadHomepage());
        for (int seat = 0; seat < 2; ++seat) {
            m_page[seat] = std::make_unique<CHomepageDlg>();
            ASSERT_TRUE(m_page[seat]->SetSkin(static_cast<uint8_t>(seat), m_main.Id(), 0));
            m_page[seat]->Show(true, 255);
        }
    }

    void TearDown() override {
        m_page[0].reset();
        m_page[1].reset();
        HeadUnitTest::TearDown();
    }

    plat::Surface Picture(int seat) {
        plat::Surface s(800, seat ? 600 : 480);
        s.Fill(0xFF000000);
        auto canvas = plat::MakeCanvas(s);
        m_page[seat]->Render(canvas.get());
        return s;
    }

    RecordingWindow m_main;
    std::unique_ptr<CHomepageDlg> m_page[2];
};

}  // namespace

TEST_F(ShippedHomepageTest, EveryOfferedApplicationHasItsIconAndCaptionOnBothSeats) {
    CCfgData* cfg = pCfgData;
    ASSERT_GE(m_page[0]->PageCount(), 1);
    int placed[2] = {0, 0};
    int offered = 0;
    for (int app = 0; app < APPTYPE_COUNT; ++app)
        offered += cfg->m_AppEntry[app].bAvailable;
    EXPECT_GE(offered, 16);
    for (int seat = 0; seat < 2; ++seat) {
        for (int page = 0; page < m_page[seat]->PageCount(); ++page) {
            m_page[seat]->m_byCurrPage = static_cast<uint8_t>(page);
            plat::Surface picture = Picture(seat);
            for (int item = 0; item < m_page[seat]->ItemsPerPage(); ++item) {
                const HOMEPAGE_CELL& cell = cfg->m_Layout.cell[seat][page][item];
                if (cell.byApp == CELL_EMPTY)
                    continue;
                ++placed[seat];
                SCOPED_TRACE("seat " + std::to_string(seat) + " app " + std::to_string(cell.byApp));
                const plat::Rect& r = m_page[seat]->m_rcItem[item];
                ASSERT_EQ(r.Width(), 128);
                ASSERT_EQ(r.Height(), 128);
                // The tile fills its place; its glyph stands out from the tile in the middle.
                const uint32_t corner = picture.PixelAt(r.left + 2, r.top + 2);
                const uint32_t tile = picture.PixelAt(r.left + 20, r.top + 64);
                EXPECT_NE(tile, corner);
                EXPECT_GT(CountInk(picture,
                                   plat::Rect{r.left + 28, r.top + 28, r.right - 28, r.bottom - 28},
                                   tile),
                          400);
                // The caption below it.
                const APP_ENTRY& e = cfg->m_AppEntry[cell.byApp];
                const plat::Rect caption = plat::Rect::FromXYWH(r.left + e.left, r.top + e.top,
                                                                e.right - e.left, e.bottom - e.top);
                EXPECT_GE(caption.top, r.bottom) << "under the icon";
                const uint32_t under = picture.PixelAt(caption.left + 1, caption.top + 1);
                if (cell.byApp != APPTYPE_DATETIME) {
                    EXPECT_GT(CountInk(picture, caption, under), 30);
                }
            }
            // Both page buttons, clear of the icons.
            for (bool next : {true, false}) {
                plat::Rect b;
                (next ? m_page[seat]->m_pNextButton : m_page[seat]->m_pPrevButton)->GetRect(&b);
                EXPECT_GT(CountInk(picture, b, picture.PixelAt(b.left, b.top)), 100);
                for (int item = 0; item < m_page[seat]->ItemsPerPage(); ++item)
                    EXPECT_TRUE(b.Intersect(m_page[seat]->m_rcItem[item]).IsEmpty());
            }
            if (::testing::Test::HasFailure())
                plat::ui::SavePng(picture, m_dir.File("homepage-" + std::to_string(seat) + "-" +
                                                      std::to_string(page) + ".png"));
        }
    }
    EXPECT_EQ(placed[0], offered);
    EXPECT_EQ(placed[1], offered);
}

TEST_F(ShippedHomepageTest, EveryIconShowsItsFourStatesDifferently) {
    CCfgData* cfg = pCfgData;
    for (int app = 0; app < APPTYPE_COUNT; ++app) {
        if (!cfg->m_AppEntry[app].bAvailable)
            continue;
        uint32_t w = 0, h = 0;
        ASSERT_EQ(cfg->m_AppEntry[app].pImage[0]->GetSize(&w, &h), RZ_OK) << app;
        ASSERT_EQ(w, 4u * 128) << app;
        ASSERT_EQ(h, 128u) << app;
    }
    // Drawn in place: normal, highlighted, pressed and disabled each look different.
    IKvButton* button = cfg->m_Layout.cell[0][0][0].pButton;
    ASSERT_NE(button, nullptr);
    const plat::Rect& r = m_page[0]->m_rcItem[0];
    std::vector<plat::Surface> looks;
    for (auto set : {&IKvButton::SetNormal, &IKvButton::SetHighlighted, &IKvButton::SetPressed,
                     &IKvButton::Disable}) {
        (button->*set)();
        looks.push_back(Picture(0));
    }
    for (size_t a = 0; a < looks.size(); ++a)
        for (size_t b = a + 1; b < looks.size(); ++b) {
            int differ = 0;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x)
                    differ += looks[a].PixelAt(x, y) != looks[b].PixelAt(x, y);
            EXPECT_GT(differ, 500) << a << " " << b;
        }
    button->SetNormal();
}
