// The photo page in the whole head unit (tests/harness): a stick of pictures made at test time
// (landscape and portrait JPEG, an upper-case .JPG, a BMP, a truncated JPEG), taps on both
// screens, the slideshow on the manual clock and what the screen shows.
#include "apps/media/PhotoDlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/kernel/Kernel.h"
#include "core/shell/SeatCtrlDlg.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvImage.h"
#include "library/include/IKvPlaylist.h"
#include "library/include/IKvText.h"
#include "platform/gfx/ImageFile.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/support/TestSupport.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kRed = 0xFFE02020;
constexpr uint32_t kGreen = 0xFF20C020;
constexpr uint32_t kBlue = 0xFF2040E0;

void Picture(const std::string& path, int w, int h, uint32_t colour, plat::ImageFormat format) {
    plat::Surface s(w, h);
    s.Fill(colour);
    fs::create_directories(fs::path(path).parent_path());
    ASSERT_TRUE(plat::SaveImageFile(path, s, format, 95)) << path;
}

bool Near(uint32_t a, uint32_t b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > 24 || d < -24)
            return false;
    }
    return true;
}

CPhotoDlg* Photo(HeadUnit& unit, int seat) {
    return static_cast<CPhotoDlg*>(unit.Page(seat, APPTYPE_PHOTO));
}

std::vector<std::string> Names(IKvListbox* list) {
    std::vector<std::string> names;
    int count = 0;
    list->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        const UI_LIST_ROW* r = ListRowAt(list, i);
        names.push_back(r ? plat::Utf16ToUtf8(r->szName) : "?");
    }
    return names;
}

int IndexOf(IKvListbox* list, const std::string& name) {
    const std::vector<std::string> names = Names(list);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i].find(name) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

void TapRow(HeadUnit& unit, int seat, IKvListbox* list, int index) {
    ASSERT_GE(index, 0);
    list->SetCurrentIndex(index);
    plat::Rect r;
    ASSERT_EQ(list->GetItemRect(index, &r), RZ_OK);
    unit.Tap((r.left + r.right) / 2 + (seat ? 800 : 0), (r.top + r.bottom) / 2);
    unit.Advance(60);
}

void TapButton(HeadUnit& unit, int seat, IKvButton* button) {
    ASSERT_NE(button, nullptr);
    plat::Rect r;
    button->GetRect(&r);
    unit.Tap((r.left + r.right) / 2 + (seat ? 800 : 0), (r.top + r.bottom) / 2);
    unit.Advance(60);
}

void Launch(HeadUnit& unit, int seat) {
    plat::Point p = harness::HomepageIconCentre(seat, "APPTYPE_PHOTO");
    unit.Tap(p.x, p.y);
    unit.Advance(200);
}

std::string CurrentName(IKvListbox* list) {
    const UI_LIST_ROW* r = ListRowAt(list);
    return r ? plat::Utf16ToUtf8(r->szName) : "";
}

// The middle of the front screen shows `colour` (the full view or the slideshow's picture).
::testing::AssertionResult CentreShows(HeadUnit& unit, uint32_t colour) {
    const uint32_t p = unit.Screen(0).PixelAt(400, 240);
    if (Near(p, colour))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the middle is " << std::hex << p;
}

// The stick, filled, in the first USB socket.
void MountStick(HeadUnit& unit, const std::string& stick) {
    unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
}

// The folder Trip of a stick: a landscape JPEG, a portrait one with an upper-case extension
// and a BMP of `bmpWidth` x `bmpHeight`.
void TripPictures(const std::string& stick, int bmpWidth, int bmpHeight) {
    Picture(stick + "/Trip/a.jpg", 640, 400, kRed, plat::ImageFormat::Jpeg);
    Picture(stick + "/Trip/b.JPG", 300, 500, kGreen, plat::ImageFormat::Jpeg);
    Picture(stick + "/Trip/c.bmp", bmpWidth, bmpHeight, kBlue, plat::ImageFormat::Bmp);
}

// The optical drive, empty; made before the unit starts.
void AddOpticalDrive(HeadUnit& unit) {
    unit.Drives().AddOpticalDrive("sr0", 11, 0);
    unit.Drives().SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
}

// A disc of two pictures (red first.jpg, green second.jpg) in the folder `disc`.
void TwoPictureDisc(const std::string& disc) {
    Picture(disc + "/first.jpg", 320, 200, kRed, plat::ImageFormat::Jpeg);
    Picture(disc + "/second.jpg", 320, 200, kGreen, plat::ImageFormat::Jpeg);
}

void InsertDisc(HeadUnit& unit, const std::string& disc) {
    unit.Drives().Mount("/dev/sr0", 11, 0, disc, "iso9660");
    unit.Drives().SetDisc("/dev/sr0", plat::DiscStatus::Data);
}

void EjectDisc(HeadUnit& unit, const std::string& disc) {
    unit.Drives().SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    unit.Drives().Unmount(disc);
}

// A disc of pictures has come: the seat turned to the photo page, whose slideshow runs from
// the disc's first picture.
bool WaitForDiscSlideshow(HeadUnit& unit, CPhotoDlg* front) {
    return unit.WaitFor(
        [&] {
            return unit.Seat(0)->m_iCurrentApp == APPTYPE_PHOTO && front->m_bSlideshow == 1 &&
                   CurrentName(front->FileList()) == "first.jpg";
        },
        8000);
}

}  // namespace

TEST(PhotoPage, BrowsesShowsTurnsAndRunsASlideshow) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    const std::string stick = unit.Drives().Folder("pics");
    ASSERT_NO_FATAL_FAILURE(TripPictures(stick, 1600, 400));
    Picture(stick + "/Trip/full.jpg", 640, 400, kRed, plat::ImageFormat::Jpeg);
    {
        // A JPEG cut off in its header: named so that it comes last in the folder.
        std::vector<uint8_t> bytes = testsupport::ReadBytes(stick + "/Trip/full.jpg");
        bytes.resize(120);  // the header's first markers, no picture data
        testsupport::WriteBytes(stick + "/Trip/d.jpg", bytes);
        fs::remove(stick + "/Trip/full.jpg");
    }
    Picture(stick + "/DVD Covers/v.jpg", 64, 64, kRed, plat::ImageFormat::Jpeg);
    MountStick(unit, stick);
    unit.Advance(2500);

    Launch(unit, 0);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_PHOTO);
    CPhotoDlg* front = Photo(unit, 0);
    CPhotoDlg* rear = Photo(unit, 1);
    ASSERT_NE(front, nullptr);
    ASSERT_NE(rear, nullptr);

    // Source steps through the views from the 3 x 3 grid; Speed through its four intervals.
    EXPECT_EQ(front->m_byViewMode, PH_VIEW_GRID3);
    std::vector<int> views;
    for (int i = 0; i < 3; ++i) {
        TapButton(unit, 0, front->Button(PH_BTN_SOURCE));
        views.push_back(front->m_byViewMode);
    }
    EXPECT_EQ(views, (std::vector<int>{3, 1, 2}));
    std::vector<uint32_t> intervals;
    for (int i = 0; i < 4; ++i) {
        TapButton(unit, 0, front->Button(PH_BTN_SPEED));
        intervals.push_back(front->m_bySpeedMode * 10000u + front->m_dwInterval);
    }
    EXPECT_EQ(intervals, (std::vector<uint32_t>{11500, 23000, 35000, 1500}));
    EXPECT_EQ(unit.Kernel()->m_Settings.iPhotoSpeedMode, 0);

    // The grid's hit test is strict on every side, on both seats and in both grids.
    EXPECT_EQ(front->HitTestGrid(272, 100), -1);
    EXPECT_EQ(front->HitTestGrid(273, 86), 0);
    EXPECT_EQ(front->HitTestGrid(432, 100), -1);
    EXPECT_EQ(front->HitTestGrid(434, 190), 4);
    EXPECT_EQ(front->HitTestGrid(300, 187), -1);
    EXPECT_EQ(rear->HitTestGrid(300, 86), -1);  // the rear rows lie lower
    EXPECT_EQ(rear->HitTestGrid(300, 85 + 32 + 1), 0);
    EXPECT_EQ(rear->HitTestGrid(300, 293 + 92 + 101), 6);
    rear->m_byViewMode = PH_VIEW_GRID4;
    EXPECT_EQ(rear->HitTestGrid(393, 220), -1);
    EXPECT_EQ(rear->HitTestGrid(394, 162 + 52 + 1), 5);
    rear->m_byViewMode = PH_VIEW_GRID3;

    // The full view fits the screen, keeps the shape and never enlarges.
    int w = 0, h = 0;
    front->FitToScreen(6000, 4000, &w, &h);
    EXPECT_LE(w, 800);
    EXPECT_LE(h, 480);
    EXPECT_GT(w, 700);
    EXPECT_NEAR(static_cast<double>(w) / h, 1.5, 0.01);
    rear->FitToScreen(300, 700, &w, &h);
    EXPECT_LE(h, 600);
    EXPECT_GT(h, 580);
    front->FitToScreen(300, 200, &w, &h);
    EXPECT_EQ(w, 300);
    EXPECT_EQ(h, 200);

    // A folder named after a disc type is a folder like any other.
    const int drive = IndexOf(front->DriveList(), "Storage");
    ASSERT_GE(drive, 0) << ::testing::PrintToString(Names(front->DriveList()));
    TapRow(unit, 0, front->DriveList(), drive);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "DVD Covers"));
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"v.jpg"}));

    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Trip"));
    ASSERT_EQ(Names(front->FileList()),
              (std::vector<std::string>{"a.jpg", "b.JPG", "c.bmp", "d.jpg"}));

    // A tap on a cell's left edge misses; inside the cell it shows that picture in full.
    unit.Tap(433, 189 + 50);
    unit.Advance(60);
    EXPECT_EQ(front->m_bPictureShown, 0);
    const std::vector<uint8_t> original = testsupport::ReadBytes(stick + "/Trip/b.JPG");
    unit.Tap(433 + 80, 85 + 50);
    unit.Advance(100);
    ASSERT_EQ(front->m_bPictureShown, 1);
    EXPECT_EQ(CurrentName(front->FileList()), "b.JPG");
    EXPECT_NE(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szPicturePath).find("b.JPG"),
              std::string::npos);
    EXPECT_TRUE(CentreShows(unit, kGreen));
    // Portrait, 300 x 500 scaled to fit 480 rows: the sides of the screen stay the page's.
    EXPECT_FALSE(Near(unit.Screen(0).PixelAt(400 - 160, 240), kGreen));

    // A quarter turn writes the turned copy and leaves the photo's own file alone.
    TapButton(unit, 0, front->Button(PH_BTN_ROTATE));
    plat::Surface turned;
    ASSERT_TRUE(plat::LoadImageFile(unit.File("temp.jpg"), turned));
    EXPECT_EQ(turned.Width(), 500);
    EXPECT_EQ(turned.Height(), 300);
    EXPECT_EQ(testsupport::ReadBytes(stick + "/Trip/b.JPG"), original);
    uint32_t pw = 0, ph = 0;
    ASSERT_NE(front->Picture(), nullptr);
    front->Picture()->GetSize(&pw, &ph);
    EXPECT_EQ(pw, 500u);
    EXPECT_EQ(ph, 300u);
    EXPECT_EQ(CurrentName(front->FileList()), "b.JPG");

    // Next and Previous walk the folder with wrapping while a picture is shown.
    TapButton(unit, 0, front->Button(PH_BTN_NEXT));
    EXPECT_EQ(CurrentName(front->FileList()), "c.bmp");
    TapButton(unit, 0, front->Button(PH_BTN_PREV));
    TapButton(unit, 0, front->Button(PH_BTN_PREV));
    TapButton(unit, 0, front->Button(PH_BTN_PREV));
    EXPECT_EQ(CurrentName(front->FileList()), "d.jpg");
    EXPECT_EQ(front->Picture(), nullptr);  // broken: nothing to show

    // The slideshow at speed 1 starts on the folder's current picture, steps after 1500 ms with
    // the file list following, and stops on the broken picture.
    TapButton(unit, 0, front->Button(PH_BTN_PREV));  // back on c.bmp
    unit.Tap(400, 240);                              // the full view closes
    unit.Advance(60);
    EXPECT_EQ(front->m_bPictureShown, 0);
    TapButton(unit, 0, front->Button(PH_BTN_SPEED));
    TapButton(unit, 0, front->Button(PH_BTN_PLAY));
    ASSERT_EQ(front->m_bSlideshow, 1);
    EXPECT_EQ(CurrentName(front->FileList()), "c.bmp");
    EXPECT_TRUE(front->Button(PH_BTN_PAUSE)->IsVisible());
    unit.Advance(100);
    EXPECT_TRUE(CentreShows(unit, kBlue));
    unit.Advance(1500);
    EXPECT_EQ(CurrentName(front->FileList()), "d.jpg");
    EXPECT_EQ(front->m_bSlideshow, 0);
    EXPECT_TRUE(front->Button(PH_BTN_PLAY)->IsVisible());
    EXPECT_FALSE(front->Button(PH_BTN_PAUSE)->IsVisible());

    // The stick is pulled while both seats show its folders (the rear page, shown first, opens
    // the picture the front one saved): its rows go with it, the way up stays.
    Launch(unit, 1);
    ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_PHOTO);
    ASSERT_GE(IndexOf(rear->DriveList(), "Trip"), 0);
    unit.Drives().Unmount(stick);
    unit.Advance(2500);
    for (CPhotoDlg* page : {front, rear}) {
        const std::vector<std::string> rows = Names(page->DriveList());
        ASSERT_EQ(rows.size(), 1u) << ::testing::PrintToString(rows);
        EXPECT_NE(rows[0].find("(..)"), std::string::npos);
        // The caption of the delete question speaks the language of the unit.
        char16_t* caption = nullptr;
        ASSERT_EQ(page->m_pCaption->GetText(&caption), RZ_OK);
        EXPECT_EQ(plat::Utf16ToUtf8(caption ? caption : u""), "Delete the selected item?");
    }
}

TEST(PhotoPage, ResumesTheSavedPictureAndFollowsPictureDiscs) {
    HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) {
        // What the last run left: the photo page current with a slideshow at 3 s running.
        s.iPhotoSpeedMode = 2;
        s.byPhotoResume = 1;
        s.iCurrentApp = APPTYPE_PHOTO;
    };
    HeadUnit unit(options);
    const std::string stick = unit.Drives().Folder("pics");
    ASSERT_NO_FATAL_FAILURE(TripPictures(stick, 400, 300));
    MountStick(unit, stick);
    AddOpticalDrive(unit);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    unit.Advance(2500);
    // The stick's letter, as the drive list has it; its picture as the settings keep it.
    const DRIVE_SNAPSHOT snap = unit.Kernel()->GetDriveSnapshot();
    char16_t letter = 0;
    for (int i = 0; i < snap.byCount && !letter; ++i)
        if (snap.szDrive[i] != snap.chDvd)
            letter = snap.szDrive[i];
    ASSERT_NE(letter, 0);
    plat::StrCopy(unit.Kernel()->m_Settings.szPicturePath,
                  std::u16string(1, letter) + u":\\Trip\\b.JPG");
    CPhotoDlg* front = Photo(unit, 0);
    ASSERT_NE(front, nullptr);
    // The saved picture opens on the page's first tick after its first show, in its folder.
    Launch(unit, 0);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_PHOTO);
    ASSERT_EQ(front->m_bPictureShown, 1);
    EXPECT_EQ(CurrentName(front->FileList()), "b.JPG");
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"a.jpg", "b.JPG", "c.bmp"}));
    EXPECT_NE(unit.Kernel()->m_dwResumeDone & 0x1000, 0u);
    EXPECT_EQ(front->m_bySpeedMode, 2);
    EXPECT_EQ(front->m_dwInterval, 3000u);
    EXPECT_EQ(front->m_bSlideshow, 1);
    unit.Advance(100);
    EXPECT_TRUE(CentreShows(unit, kGreen));
    unit.Advance(3000);
    EXPECT_EQ(CurrentName(front->FileList()), "c.bmp");
    EXPECT_NE(plat::Utf16ToUtf8(front->m_strPicture).find("c.bmp"), std::string::npos);

    // Home, then a disc of pictures: the seat turns to the photo page, which shows the disc's
    // first picture in a slideshow at 1.5 s.
    TapButton(unit, 0, front->Button(PH_BTN_RET_MENU));
    unit.Advance(200);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    const std::string disc = unit.Drives().Folder("disc");
    Picture(disc + "/Holiday/x.jpg", 200, 100, kBlue, plat::ImageFormat::Jpeg);
    ASSERT_NO_FATAL_FAILURE(TwoPictureDisc(disc));
    InsertDisc(unit, disc);
    ASSERT_TRUE(WaitForDiscSlideshow(unit, front));
    EXPECT_EQ(front->m_bySpeedMode, 1);
    EXPECT_EQ(front->m_dwInterval, 1500u);
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"first.jpg", "second.jpg"}));
    EXPECT_EQ(CurrentName(front->FileList()), "first.jpg");
    EXPECT_EQ(unit.Kernel()->m_iAutoLaunch, -1);
    unit.Advance(1500);
    EXPECT_EQ(CurrentName(front->FileList()), "second.jpg");

    // The disc goes while its pictures run: the slideshow stops and its list empties.
    EjectDisc(unit, disc);
    ASSERT_TRUE(unit.WaitFor([&] { return front->m_bSlideshow == 0; }, 8000));
    EXPECT_NE(unit.Log().find("Photo :: CD/DVD Clear"), std::string::npos);
    EXPECT_TRUE(Names(front->FileList()).empty());
}

TEST(PhotoPage, ADiscThatGoesWhileThePageIsHiddenStillEmptiesItsList) {
    HeadUnit unit;
    AddOpticalDrive(unit);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    unit.Advance(2500);
    CPhotoDlg* front = Photo(unit, 0);
    ASSERT_NE(front, nullptr);
    const std::string disc = unit.Drives().Folder("disc");
    ASSERT_NO_FATAL_FAILURE(TwoPictureDisc(disc));
    InsertDisc(unit, disc);
    ASSERT_TRUE(WaitForDiscSlideshow(unit, front));
    // Home: the page is hidden, its paused slideshow still on the disc's pictures.
    TapButton(unit, 0, front->Button(PH_BTN_RET_MENU));
    unit.Advance(200);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    ASSERT_EQ(front->m_bSlideshow, 1);

    // The disc goes: the music page, ticking first, takes the shared "disc gone" code; the
    // photo page still stops its slideshow and empties its list, once.
    EjectDisc(unit, disc);
    ASSERT_TRUE(unit.WaitFor(
        [&] { return front->m_bSlideshow == 0 && Names(front->FileList()).empty(); }, 8000))
        << ::testing::PrintToString(Names(front->FileList()));
    unit.Advance(3000);
    const std::string log = unit.Log();
    EXPECT_NE(log.find("Music :: CD/DVD Clear"), std::string::npos);
    const size_t first = log.find("Photo :: CD/DVD Clear");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find("Photo :: CD/DVD Clear", first + 1), std::string::npos);
    EXPECT_EQ(unit.Kernel()->m_iAutoLaunch, -1);
}

TEST(PhotoPage, OpeningAFolderReadsItsFirstPictureByItsHeaderAlone) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    testsupport::ScriptedDrives& drives = unit.Drives();
    const std::string stick = drives.Folder("pics");
    // The folder's first picture has a whole header and half its data; the second is sound.
    plat::Surface detailed(640, 400);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 640; ++x)
            detailed.SetPixel(x, y, plat::Argb(255, uint8_t(x * 3 + y), uint8_t(y ^ x), 90));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::EncodeImage(detailed, plat::ImageFormat::Jpeg, 90, bytes));
    bytes.resize(bytes.size() / 2);
    fs::create_directories(stick + "/Cut");
    testsupport::WriteBytes(stick + "/Cut/a.jpg", bytes);
    Picture(stick + "/Cut/b.jpg", 640, 400, kGreen, plat::ImageFormat::Jpeg);
    drives.Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
    Launch(unit, 0);
    CPhotoDlg* front = Photo(unit, 0);
    ASSERT_NE(front, nullptr);
    ASSERT_EQ(front->m_byViewMode, PH_VIEW_GRID3);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Storage"));

    // Opening the folder decodes no picture whole: the grid shows only thumbnails, and the
    // first picture is taken on the strength of its header (a decode would have refused it).
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Cut"));
    ASSERT_EQ(Names(front->FileList()), (std::vector<std::string>{"a.jpg", "b.jpg"}));
    EXPECT_NE(front->Picture(), nullptr);
    EXPECT_EQ(front->m_bPictureShown, 0);
    plat::Surface screen = unit.Screen(0);
    EXPECT_TRUE(Near(screen.PixelAt(433 + 80, 85 + 50), kGreen));  // b.jpg's cell
    EXPECT_FALSE(Near(screen.PixelAt(272 + 80, 85 + 50), kGreen));

    // The damaged picture is still refused when asked for: nothing is shown.
    unit.Tap(272 + 80, 85 + 50);
    unit.Advance(100);
    EXPECT_EQ(front->m_bPictureShown, 0);
    EXPECT_EQ(front->Picture(), nullptr);
    // The sound one is shown in full.
    unit.Tap(433 + 80, 85 + 50);
    unit.Advance(100);
    ASSERT_EQ(front->m_bPictureShown, 1);
    screen = unit.Screen(0);
    EXPECT_TRUE(Near(screen.PixelAt(400, 240), kGreen)) << std::hex << screen.PixelAt(400, 240);
}
