// The whole head unit in the test's process (tests/harness): start-up, the switches between the
// two seats, the front seat's locks and their update from a stick, hardware key commands,
// resume, and the ways the run ends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "apps/home/HomepageDlg.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/KernelData.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/KeyFunctions.h"
#include "core/shell/LockTable.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/RZSplash.h"
#include "core/shell/SeatBkgDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppFactory.h"
#include "core/ui/MessageDlg.h"
#include "core/ui/WindowMessages.h"
#include "platform/io/File.h"
#include "platform/io/KeyValueStore.h"
#include "platform/sys/Suspend.h"
#include "platform/text/Text.h"
#include "tests/core/shell/SkypePeer.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/harness/TestPages.h"

using harness::CTestPage;
using harness::HeadUnit;
using harness::HeadUnitOptions;
using harness::ShowsHomepage;
using harness::ShowsHomepageIcon;
using harness::TestPage;
using harness::TestPageKinds;

namespace {

// A table locking exactly `locked`.
std::vector<uint8_t> LockFile(std::initializer_list<int> locked) {
    LOCK_TABLE t;
    SetDefaultLockTable(t);
    for (APP_LOCK_ENTRY& e : t.entry) {
        e.byLocked = 0;
        for (int app : locked) {
            if (e.iAppType == app)
                e.byLocked = 1;
        }
    }
    return WriteLockInfo(t);
}

// The lock flag the front homepage's layout holds for `app`.
int LayoutLock(int app) {
    CCfgData* cfg = GetCfgData();
    if (!cfg)
        return -1;
    for (auto& page : cfg->m_Layout.cell[0]) {
        for (HOMEPAGE_CELL& cell : page) {
            if (cell.byApp == app)
                return cell.byLocked;
        }
    }
    return -1;
}

// Where `text` first stands in `log`; npos when it does not.
size_t At(const std::string& log, const std::string& text) {
    return log.find(text);
}

bool BoardLogHas(HeadUnit& unit, const std::string& line) {
    auto log = unit.Board().Log();
    return std::find(log.begin(), log.end(), line) != log.end();
}

// A tap on `appKey`'s icon of the seat's homepage, as the user launches it; then the ticks
// in which the seat switches and paints the new page.
void Launch(HeadUnit& unit, int seat, const char* appKey) {
    int page = 0;
    plat::Point p = harness::HomepageIconCentre(seat, appKey, &page);
    ASSERT_EQ(page, 1) << appKey << " is not on the first page";
    unit.Tap(p.x, p.y);
    unit.Advance(100);
}

// What a page sends: the switch of `seat` to `app` with parameter `param`.
void Switch(HeadUnit& unit, int seat, int app, int param = 0) {
    intptr_t result = -1;
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat, (param << 16) | app,
                                      &result));
    // The sender repaints the seat, which then switches.
    plat::ui::InvalidateRect(unit.Seat(seat == 0 ? 0 : 1)->Id());
    unit.Advance(100);
}

CTestPage* PageOf(HeadUnit& unit, int seat, int app) {
    return TestPage(unit.Page(seat, app));
}

}  // namespace

TEST(HeadUnit, StartUpShowsTheHomepageOnBothSeats) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();

    EXPECT_TRUE(ShowsHomepage(unit.Screen(0), 0));
    EXPECT_TRUE(ShowsHomepage(unit.Screen(1), 1));
    for (int seat = 0; seat < 2; ++seat) {
        ASSERT_NE(unit.Seat(seat), nullptr);
        EXPECT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_HOMEPAGE);
        ASSERT_NE(unit.Page(seat, APPTYPE_HOMEPAGE), nullptr);
        EXPECT_TRUE(unit.Page(seat, APPTYPE_HOMEPAGE)->IsVisible());
    }
    EXPECT_EQ(CRZSplash::Instance(), nullptr) << "the first tick takes the splash away";
    EXPECT_EQ(plat::ui::GetWindowRect(unit.Seat(0)->Id()), plat::Rect::FromXYWH(0, 0, 800, 480));
    EXPECT_EQ(plat::ui::GetWindowRect(unit.Seat(1)->Id()), plat::Rect::FromXYWH(800, 0, 800, 600));
    EXPECT_EQ(plat::ui::GetWindowRect(unit.Main()->Backdrop()->Id()),
              plat::Rect::FromXYWH(800, 0, 800, 600));
    EXPECT_TRUE(plat::ui::GetWindowRect(unit.Main()->Id()).IsEmpty()) << "never seen";
    EXPECT_EQ(plat::ui::GetWindowText(unit.Main()->Id()), u"Velkora v2");
    EXPECT_TRUE(unit.TakeBoxes().empty());

    // Start-up in its order: kernel, seats, pages, then the timer and the threads.
    std::string log = unit.Log();
    size_t created = At(log, "CMainCtrlDlg::OnCreate()");
    size_t seat = At(log, "m_pFrontDlg: 0x");
    size_t pages = At(log, "CMainCtrlDlg::CreateApplications()");
    size_t front = At(log, "Front seat done...");
    size_t rear = At(log, "Rear seat done...");
    size_t total = At(log, "OnCreate() Total: ");
    ASSERT_NE(total, std::string::npos) << log;
    EXPECT_TRUE(created < seat && seat < pages && pages < front && front < rear && rear < total);
    for (const char* group : {"m_pFrontHPageDlg: ", "m_pMusicDlg: ", "m_pDisplayDlg: ", "Total: "})
        EXPECT_NE(At(log, group), std::string::npos) << group;
    // The board was muted while everything came up, then given the saved volume and its
    // sound back.
    auto board = unit.Board().Log();
    auto mute = std::find(board.begin(), board.end(), "audio 7 Mute(1) = 0");
    auto unmute = std::find(board.begin(), board.end(), "audio 7 Mute(0) = 0");
    ASSERT_NE(mute, board.end());
    ASSERT_NE(unmute, board.end());
    EXPECT_LT(mute, unmute);
    EXPECT_GE(unit.PowerModule()->Handshakes(), 1);

    // No lock file: the default table, MOVIE and PHOTO locked, MUSIC free.
    EXPECT_EQ(LayoutLock(APPTYPE_MOVIE), 1);
    EXPECT_EQ(LayoutLock(APPTYPE_PHOTO), 1);
    EXPECT_EQ(LayoutLock(APPTYPE_MUSIC), 0);
}

TEST(HeadUnit, TheStatusFileIsNotReplacedWhileTheUnitIdlesAndFollowsEachChange) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    unit.Advance(2000);
    const std::string path = unit.Kernel()->Registry().Path();
    auto fileSays = [&] {
        plat::KeyValueStore reader;
        uint32_t v = 0;
        return reader.Open(path) && reader.GetDword(KERNEL_STATUS_KEY, "Status", &v) ? v : 0xDEADu;
    };
    // Replacing the file gives it the time of the new file (its number may be the old one's).
    auto written = [&] {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0
                   ? static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec
                   : int64_t{0};
    };
    // Each second both seats write their status, the rear's last: the file says so and is
    // left alone while nothing changes.
    EXPECT_EQ(fileSays(), 0x01000001u);
    const int64_t idle = written();
    ASSERT_NE(idle, 0);
    unit.Advance(5000);
    EXPECT_EQ(written(), idle);
    // A change made outside the tick is on disk at once, and the seats' next writes follow.
    unit.Kernel()->SetRegistryDword("Status", 5);
    EXPECT_EQ(fileSays(), 5u);
    unit.Advance(1100);
    EXPECT_EQ(fileSays(), 0x01000001u);
}

TEST(HeadUnit, RearMusicStopsAndGoesHomeWhenTheFrontAsksForTheMovie) {
    TestPageKinds kinds{APPKIND_MUSIC, APPKIND_MOVIE};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Launch(unit, 1, "APPTYPE_MUSIC");
    ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_TRUE(harness::Filled(unit.Screen(1), plat::Rect::FromXYWH(0, 0, 800, 600),
                                CTestPage::Colour(APPTYPE_MUSIC)));
    CTestPage* music = PageOf(unit, 1, APPTYPE_MUSIC);
    ASSERT_NE(music, nullptr);
    music->m_sPlayState = PLAYSTATE_PLAYING;

    Launch(unit, 0, "APPTYPE_MOVIE");
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    EXPECT_TRUE(harness::Filled(unit.Screen(0), plat::Rect::FromXYWH(0, 0, 800, 480),
                                CTestPage::Colour(APPTYPE_MOVIE)));
    EXPECT_GE(music->m_iStops, 1);
    EXPECT_EQ(music->m_sPlayState, PLAYSTATE_STOPPED);
    // Sent to its homepage, which remembers the music it came from.
    EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_EQ(unit.Page(1, APPTYPE_HOMEPAGE)->m_byShowParam, APPTYPE_MUSIC);
    EXPECT_TRUE(ShowsHomepage(unit.Screen(1), 1));
    EXPECT_EQ(unit.Seat(1)->m_iOtherApp, APPTYPE_MOVIE);
}

TEST(HeadUnit, RearOnNavigationStaysWhenTheFrontAsksForMusic) {
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnitOptions options;
    options.prepare = [](const std::string& dir) {
        // A navigation program that starts and ends at once.
        plat::MakeDirectory(dir + "/Navi");
        testsupport::WriteText(dir + "/Navi/navigation.exe", "#!/bin/sh\nexit 0\n");
        ::chmod((dir + "/Navi/navigation.exe").c_str(), 0755);
        CKernelData data;
        data.SetBaseDir(dir);
        plat::StrCopy(data.m_AppPaths.szPath[APP_PATH_NAVIGATION], APP_PATH_CHARS,
                      u"C:\\Navi\\navigation.exe");
        ASSERT_TRUE(data.SaveAppPath());
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    // What the application paths page does when it is made.
    ASSERT_TRUE(unit.Kernel()->LoadAppPath());
    Launch(unit, 1, "APPTYPE_NAVIGATION");
    CSeatCtrlDlg* rear = unit.Seat(1);
    ASSERT_EQ(rear->m_iCurrentApp, APPTYPE_NAVIGATION);
    EXPECT_EQ(rear->m_bCollapsed, 1) << "the seat makes room for the program";

    Launch(unit, 0, "APPTYPE_MUSIC");
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_EQ(rear->m_iCurrentApp, APPTYPE_NAVIGATION);
    EXPECT_EQ(rear->m_iPending, -1);
    EXPECT_EQ(rear->m_bCollapsed, 1);
}

TEST(HeadUnit, ABoxHoldsItsSeatUntilItIsAnsweredWhileTheOtherSeatGoesOn) {
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    ASSERT_EQ(std::u16string(unit.Kernel()->m_AppPaths.szPath[APP_PATH_NAVIGATION]), u"");
    // Where the box stands over the front seat, and its OK.
    const plat::Rect box = plat::Rect::FromXYWH(
        (800 - CModalDialog::DluToPixelsX(335)) / 2, (480 - CModalDialog::DluToPixelsY(81)) / 2,
        CModalDialog::DluToPixelsX(335), CModalDialog::DluToPixelsY(81));
    const plat::Rect ok = MessageDlg::OkButtonRect();
    const plat::Point okAt{box.left + ok.left + 4, box.top + ok.top + 4};
    const plat::Point frontMusic = harness::HomepageIconCentre(0, "APPTYPE_MUSIC");
    const plat::Point rearMusic = harness::HomepageIconCentre(1, "APPTYPE_MUSIC");
    ASSERT_FALSE(box.Contains(frontMusic));
    auto tap = [](plat::Point at) {
        plat::ui::InjectPen(plat::ui::PenAction::Down, at);
        plat::ui::InjectPen(plat::ui::PenAction::Up, at);
    };

    // The user, while the box waits on the user-interface thread.
    std::atomic<bool> boxShown{false}, rearWent{false};
    std::thread user([&] {
        boxShown = testsupport::WaitFor(
            [&] { return unit.Screen(0).PixelAt(okAt.x, okAt.y) == 0xFFE1E1E1u; });
        if (!boxShown)
            return;
        // Music on the front seat, under the box: taken by nobody. On the rear: opened.
        tap(frontMusic);
        tap(rearMusic);
        rearWent = testsupport::WaitFor([&] {
            return static_cast<bool>(harness::Filled(unit.Screen(1),
                                                     plat::Rect::FromXYWH(0, 0, 800, 600),
                                                     CTestPage::Colour(APPTYPE_MUSIC)));
        });
        tap(okAt);
    });
    Launch(unit, 0, "APPTYPE_NAVIGATION");
    user.join();
    ASSERT_TRUE(boxShown) << "the box came up over the front seat";
    EXPECT_TRUE(rearWent) << "the rear seat went on while the box waited";
    EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_MUSIC);
    unit.Advance(200);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_NAVIGATION);
    EXPECT_FALSE(unit.Page(0, APPTYPE_MUSIC)->IsVisible()) << "the tap under the box was lost";
    EXPECT_TRUE(ShowsHomepage(unit.Screen(0), 0));
    EXPECT_EQ(unit.Seat(0)->m_bCollapsed, 0) << "nothing started, so the seat stays";

    // Answered: the seat takes the pen again.
    Launch(unit, 0, "APPTYPE_MUSIC");
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_TRUE(harness::Filled(unit.Screen(0), plat::Rect::FromXYWH(0, 0, 800, 480),
                                CTestPage::Colour(APPTYPE_MUSIC)));
}

TEST(HeadUnit, APhoneCallOnOneSeatGreysTheOtherSeatsMediaUntilTheNextRequest) {
    TestPageKinds kinds{APPKIND_MUSIC, APPKIND_RADIO, APPKIND_PHONE};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Launch(unit, 1, "APPTYPE_RADIO");
    ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_RADIO);

    Launch(unit, 0, "APPTYPE_PHONE");
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_PHONE);
    CSeatCtrlDlg* rear = unit.Seat(1);
    EXPECT_EQ(rear->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_EQ(unit.Page(1, APPTYPE_HOMEPAGE)->m_byShowParam, APPTYPE_RADIO);
    EXPECT_EQ(rear->m_bOtherInCall, 1);
    EXPECT_GE(PageOf(unit, 1, APPTYPE_MUSIC)->m_iPauses, 1) << "the rear's music is paused";
    // The rear's MUSIC and RADIO icons are disabled during the call; PHOTO is not.
    plat::Surface screen = unit.Screen(1);
    EXPECT_TRUE(ShowsHomepageIcon(screen, 1, "APPTYPE_MUSIC", 3));
    EXPECT_TRUE(ShowsHomepageIcon(screen, 1, "APPTYPE_RADIO", 3));
    EXPECT_FALSE(ShowsHomepageIcon(screen, 1, "APPTYPE_PHOTO", 3));

    // The keyboard opened from the phone page leaves the call's state alone...
    Switch(unit, 0, APPTYPE_KB, APPTYPE_PHONE);
    EXPECT_EQ(rear->m_bOtherInCall, 1);
    EXPECT_TRUE(ShowsHomepageIcon(unit.Screen(1), 1, "APPTYPE_MUSIC", 3));
    // ...the next other request ends it.
    Switch(unit, 0, APPTYPE_HOMEPAGE, APPTYPE_PHONE);
    EXPECT_EQ(rear->m_bOtherInCall, 0);
    EXPECT_TRUE(ShowsHomepageIcon(unit.Screen(1), 1, "APPTYPE_MUSIC", 0));
    EXPECT_TRUE(ShowsHomepageIcon(unit.Screen(1), 1, "APPTYPE_RADIO", 0));
}

TEST(HeadUnit, BothSeatsOnTheSoundPageSendTheFirstBack) {
    TestPageKinds kinds{APPKIND_SOUND_EFFECT};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Switch(unit, 1, APPTYPE_AUDIO_SET, APPTYPE_SETTINGS);
    ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_AUDIO_SET);
    CTestPage* rearSound = PageOf(unit, 1, APPTYPE_AUDIO_SET);
    ASSERT_NE(rearSound, nullptr);
    EXPECT_EQ(rearSound->m_iBacks, 0);

    Switch(unit, 0, APPTYPE_AUDIO_SET, APPTYPE_SETTINGS);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_AUDIO_SET);
    EXPECT_EQ(rearSound->m_iBacks, 1);
    EXPECT_EQ(PageOf(unit, 0, APPTYPE_AUDIO_SET)->m_iBacks, 0);
}

TEST(HeadUnit, ASeatOnAuxOrPhoneStaysButItsMediaStop) {
    TestPageKinds kinds{APPKIND_MUSIC, APPKIND_MOVIE, APPKIND_AUX, APPKIND_PHONE, APPKIND_RADIO};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    CSeatCtrlDlg* rear = unit.Seat(1);
    for (int app : {APPTYPE_AUX, APPTYPE_PHONE}) {
        SCOPED_TRACE(app);
        Switch(unit, 1, app);
        ASSERT_EQ(rear->m_iCurrentApp, app);
        CTestPage* music = PageOf(unit, 1, APPTYPE_MUSIC);
        CTestPage* movie = PageOf(unit, 1, APPTYPE_MOVIE);
        int musicStops = music->m_iStops, movieStops = movie->m_iStops;
        music->m_sPlayState = PLAYSTATE_PLAYING;

        Switch(unit, 0, APPTYPE_RADIO);
        EXPECT_EQ(rear->m_iCurrentApp, app) << "not sent home";
        EXPECT_TRUE(harness::Filled(unit.Screen(1), plat::Rect::FromXYWH(0, 0, 800, 600),
                                    CTestPage::Colour(app)));
        EXPECT_GT(music->m_iStops, musicStops);
        EXPECT_GT(movie->m_iStops, movieStops);
        EXPECT_EQ(music->m_sPlayState, PLAYSTATE_STOPPED);
        Switch(unit, 0, APPTYPE_HOMEPAGE);
    }
}

TEST(HeadUnit, ARequestForNoSeatOrNoTypeChangesNothing) {
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Launch(unit, 1, "APPTYPE_MUSIC");
    CTestPage* music = PageOf(unit, 1, APPTYPE_MUSIC);
    music->m_sPlayState = PLAYSTATE_PLAYING;
    Switch(unit, 2, APPTYPE_MOVIE);
    Switch(unit, 0, APPTYPE_COUNT);
    Switch(unit, 0, 0xFFFF);
    EXPECT_EQ(music->m_iStops, 0);
    EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_EQ(unit.Seat(0)->m_iPending, -1);
    EXPECT_NE(At(unit.Log(), "CMainCtrlDlg::OnSwitchApp(2, 0x2) refused"), std::string::npos);
}

TEST(HeadUnit, HardwareKeyCommandsReachTheFrontSeatsPage) {
    TestPageKinds kinds{APPKIND_RADIO};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Launch(unit, 0, "APPTYPE_RADIO");
    CTestPage* front = PageOf(unit, 0, APPTYPE_RADIO);
    ASSERT_TRUE(unit.Board().Command("key 0x10 0x42"));  // SEEK/UP on this model
    ASSERT_TRUE(unit.WaitFor([&] { return !front->m_Keys.empty(); })) << unit.Log();
    EXPECT_EQ(front->m_Keys, std::vector<int>{KEYCMD_SEEK_UP});
    // Always the front seat: the rear homepage would have turned its page.
    auto* rearHome = static_cast<CHomepageDlg*>(unit.Page(1, APPTYPE_HOMEPAGE));
    EXPECT_EQ(rearHome->m_byCurrPage, 0);
}

TEST(HeadUnit, TheLockTableComesFromItsFileAndAStickReplacesIt) {
    const std::vector<uint8_t> ours = LockFile({APPTYPE_MUSIC, APPTYPE_PHONE});
    HeadUnitOptions options;
    options.prepare = [&](const std::string& dir) {
        testsupport::WriteBytes(dir + "/" + LOCK_INFO_FILE, ours);
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    EXPECT_EQ(LayoutLock(APPTYPE_MUSIC), 1);
    EXPECT_EQ(LayoutLock(APPTYPE_MOVIE), 0);
    unit.TakeBoxes();

    // While driving, the locked icons are disabled on the front seat.
    ASSERT_TRUE(unit.Board().Command("status 0x40"));
    ASSERT_TRUE(
        unit.WaitFor([&] { return ShowsHomepageIcon(unit.Screen(0), 0, "APPTYPE_MUSIC", 3); }));
    EXPECT_TRUE(ShowsHomepageIcon(unit.Screen(0), 0, "APPTYPE_RADIO", 0));

    // A stick whose table is damaged, and one without a table, change nothing.
    std::string bad = unit.Drives().Folder("bad");
    std::vector<uint8_t> damaged = LockFile({APPTYPE_RADIO});
    damaged[4 * 8 + 4] = 2;
    testsupport::WriteBytes(bad + "/LockInfo.db", damaged);
    unit.Drives().Mount("/dev/sdb1", 8, 17, bad);
    unit.Advance(2500);
    unit.Drives().Unmount(bad);
    unit.Drives().Mount("/dev/sdb1", 8, 17, unit.Drives().Folder("empty"));
    unit.Advance(2500);
    EXPECT_TRUE(unit.TakeBoxes().empty());
    EXPECT_EQ(testsupport::ReadBytes(unit.File(LOCK_INFO_FILE)), ours);
    EXPECT_EQ(LayoutLock(APPTYPE_MUSIC), 1);

    // A good one replaces ours, the icons follow, and the box says so.
    std::string stick = unit.Drives().Folder("stick");
    const std::vector<uint8_t> fresh = LockFile({APPTYPE_RADIO});
    testsupport::WriteBytes(stick + "/LockInfo.db", fresh);
    unit.Drives().Mount("/dev/sdc1", 8, 33, stick);
    unit.Advance(2500);
    auto boxes = unit.TakeBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"  Update lock information OK  ");
    EXPECT_EQ(boxes[0].caption, u"Message");
    EXPECT_EQ(testsupport::ReadBytes(unit.File(LOCK_INFO_FILE)), fresh);
    EXPECT_EQ(LayoutLock(APPTYPE_RADIO), 1);
    EXPECT_EQ(LayoutLock(APPTYPE_MUSIC), 0);
    unit.Advance(300);
    EXPECT_TRUE(ShowsHomepageIcon(unit.Screen(0), 0, "APPTYPE_RADIO", 3));
    EXPECT_TRUE(ShowsHomepageIcon(unit.Screen(0), 0, "APPTYPE_MUSIC", 0));

    // The same stick staying in is not read again.
    unit.Advance(2500);
    EXPECT_TRUE(unit.TakeBoxes().empty());
}

TEST(HeadUnit, ADamagedLockFileKeepsTheDefaultsAndIsLeftAsItIs) {
    std::vector<uint8_t> shortFile = LockFile({APPTYPE_MUSIC});
    shortFile.pop_back();
    HeadUnitOptions options;
    options.prepare = [&](const std::string& dir) {
        testsupport::WriteBytes(dir + "/" + LOCK_INFO_FILE, shortFile);
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    EXPECT_EQ(LayoutLock(APPTYPE_MUSIC), 0);
    EXPECT_EQ(LayoutLock(APPTYPE_MOVIE), 1);
    unit.Close();
    EXPECT_EQ(testsupport::ReadBytes(unit.File(LOCK_INFO_FILE)), shortFile);
}

TEST(HeadUnit, AFailedStartShowsItsBoxAndEndsWithAFailureStatus) {
    HeadUnitOptions options;
    options.powerModule = [](emu::PowerModuleSettings& pm) {
        pm.behaviour = emu::PowerBehaviour::Silent;
    };
    HeadUnit unit(options);
    EXPECT_FALSE(unit.Start());
    EXPECT_NE(unit.StartStatus(), 0);
    auto boxes = unit.TakeBoxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes.back().text, u"Initial Velkora Kernel Object Error. (#2-1)");
    EXPECT_EQ(boxes.back().caption, u"ERROR");
    EXPECT_EQ(boxes.back().flags & plat::ui::kMbIconError, plat::ui::kMbIconError);
    EXPECT_EQ(boxes.front().text, u"No device found!, please try again! ");
    // The splash was up when the box came, and nothing of the run was started or saved.
    EXPECT_EQ(At(unit.Log(), "OnCreate() Total"), std::string::npos);
    EXPECT_EQ(unit.Seat(0), nullptr);
    unit.App().Finish();
    EXPECT_EQ(CRZSplash::Instance(), nullptr);
    EXPECT_EQ(At(unit.Log(), "=====> CMainCtrlDlg::OnCancel() <====="), std::string::npos);
}

namespace {

// A stand-in for the restore of the last run: it sends to the main dialog while it waits,
// so that the end finds it in the middle of a send.
std::atomic<int> g_restoreSends{0};
void RestoreThatKeepsSending(CMainCtrlDlg* dlg) {
    WriteLog("restore thread start");
    do {
        if (plat::ui::SendMessage(dlg->Id(), WM_KEY_COMMAND, 0, 0))
            ++g_restoreSends;
    } while (!dlg->WaitRestoreStop(10));
    WriteLog("restore thread done");
}

}  // namespace

TEST(HeadUnit, ClosingStopsTheWorkersThenSavesTheState) {
    RESTORE_HOOKS hooks;
    hooks.pfnActivateApp = RestoreThatKeepsSending;
    SetRestoreHooks(hooks);
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    ASSERT_TRUE(unit.WaitFor([] { return g_restoreSends > 3; }));
    // Volume up from the panel; then the file on disk is taken away.
    ASSERT_TRUE(unit.Board().Command("key 0x10 0x52"));
    ASSERT_TRUE(unit.WaitFor([&] { return unit.Kernel()->m_Settings.iAudioLevel == 17; }));
    ASSERT_TRUE(plat::RemoveFile(unit.File(SYS_SETTINGS_DB)));
    unit.Board().ClearLog();

    unit.Close();
    SetRestoreHooks(RESTORE_HOOKS());
    EXPECT_EQ(unit.HowEnded(), MainEnd::Close);
    std::string log = unit.Log();
    size_t cancel = At(log, "CMainCtrlDlg::OnCancel()");
    size_t polling = At(log, "PollingProcess() done");
    size_t restore = At(log, "restore thread done");
    size_t saved = At(log, "=====> CMainCtrlDlg::OnCancel() <=====");
    size_t destroyed = At(log, "CMainCtrlDlg::OnDestroy()");
    ASSERT_NE(destroyed, std::string::npos) << log;
    EXPECT_TRUE(cancel < polling && cancel < restore) << log;
    EXPECT_TRUE(polling < saved && restore < saved && saved < destroyed) << log;

    SYS_SETTINGS s;
    ASSERT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(unit.File(SYS_SETTINGS_DB)), s));
    EXPECT_EQ(s.iAudioLevel, 17);
    // The board commits its sound settings and goes back to the PC's picture.
    auto board = unit.Board().Log();
    auto commit = std::find(board.begin(), board.end(), "status 0 Commit() = 0");
    auto input = std::find(board.begin(), board.end(), "video 4 SelectInput(0) = 0");
    ASSERT_NE(commit, board.end());
    ASSERT_NE(input, board.end());
    EXPECT_LT(commit, input);
    plat::KeyValueStore status;
    ASSERT_TRUE(status.Open(unit.File(KERNEL_STATUS_FILE)));
    uint32_t word = 99;
    EXPECT_TRUE(status.GetDword(KERNEL_STATUS_KEY, "Status", &word));
    EXPECT_EQ(word, 0u);
}

TEST(HeadUnit, TheEndOfTheSessionSavesTheStateAndMutes) {
    HeadUnit unit;
    // A data disc nobody mounted, which the mounter never answers for.
    std::string why;
    const std::string disc = unit.Drives().Folder("images") + "/setup.iso";
    ASSERT_TRUE(testsupport::MakeDiscImage(disc, {"setup.exe"}, "SETUP", true, &why)) << why;
    unit.Drives().AddOpticalDrive("sr0", 11, 0);
    unit.Drives().HangMounts();
    ASSERT_TRUE(unit.Start());
    unit.Drives().InsertImage("/dev/sr0", disc);
    ASSERT_TRUE(unit.WaitFor([&] { return !unit.Drives().MountsAsked().empty(); }));
    ASSERT_TRUE(unit.Board().Command("key 0x10 0x52"));
    ASSERT_TRUE(unit.WaitFor([&] { return unit.Kernel()->m_Settings.iAudioLevel == 17; }));
    ASSERT_TRUE(plat::RemoveFile(unit.File(SYS_SETTINGS_DB)));
    unit.Board().ClearLog();

    const auto begin = std::chrono::steady_clock::now();
    unit.EndSession();
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_EQ(unit.HowEnded(), MainEnd::EndSession);
    // The mount was called back, not waited for: it still hangs.
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_EQ(unit.Drives().MountCancels(), 1);
    EXPECT_NE(unit.Log().find("a disc being mounted was left behind"), std::string::npos);
    SYS_SETTINGS s;
    ASSERT_TRUE(ReadSettingsBlock(testsupport::ReadBytes(unit.File(SYS_SETTINGS_DB)), s));
    EXPECT_EQ(s.iAudioLevel, 17);
    EXPECT_TRUE(BoardLogHas(unit, "audio 7 Mute(1) = 0"));
    EXPECT_FALSE(BoardLogHas(unit, "status 0 Commit() = 0")) << "the close's steps are not run";
    std::string log = unit.Log();
    EXPECT_LT(At(log, "PollingProcess() done"),
              At(log, "=====>  CMainCtrlDlg :: OnQueryEndSession()  <======="));
}

namespace {
std::atomic<uint64_t> g_slept{0};
uint64_t Slept() {
    return g_slept;
}
}  // namespace

TEST(HeadUnit, AfterTheSystemSleptTheRadioIsReplayed) {
    plat::SetSuspendedMsSource(Slept);
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    unit.Board().ClearLog();
    // Asleep without the radio on: nothing to replay.
    g_slept += 60000;
    unit.Advance(1500);
    EXPECT_FALSE(BoardLogHas(unit, "radio 19 Replay(0) = 0"));

    testsupport::WriteText(unit.File(MARKER_RADIO_MODE), "");
    unit.Advance(1500);
    EXPECT_FALSE(BoardLogHas(unit, "radio 19 Replay(0) = 0")) << "no sleep, no replay";
    g_slept += 3600000;
    unit.Advance(1500);
    EXPECT_TRUE(BoardLogHas(unit, "radio 19 Replay(0) = 0"));
    unit.Close();
    plat::SetSuspendedMsSource(nullptr);
}

TEST(HeadUnit, TheRearBackdropFollowsTheRearSeat) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    plat::ui::WindowId backdrop = unit.Main()->Backdrop()->Id();
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SHOW_REAR_BACKDROP, 1, 0));
    EXPECT_TRUE(plat::ui::GetWindowRect(backdrop).IsEmpty());
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SHOW_REAR_BACKDROP, 7, 0));
    EXPECT_TRUE(plat::ui::GetWindowRect(backdrop).IsEmpty());
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SHOW_REAR_BACKDROP, 0, 0));
    EXPECT_EQ(plat::ui::GetWindowRect(backdrop), plat::Rect::FromXYWH(800, 0, 800, 600));

    // Folded, the rear seat leaves its screen to the backdrop: black, not the desktop.
    unit.Seat(1)->ShowExpanded(false);
    unit.Advance(100);
    EXPECT_TRUE(plat::ui::GetWindowRect(backdrop).IsEmpty());
    unit.Seat(1)->ShowExpanded(true);
    unit.Advance(100);
    plat::Surface rear;
    ASSERT_TRUE(plat::ui::GetWindowPicture(backdrop, rear));
    EXPECT_TRUE(harness::Filled(rear, plat::Rect::FromXYWH(0, 0, 800, 600), 0xFF000000));
}

TEST(HeadUnit, ACallFromTheMessagingProgramBringsBothSeatsForward) {
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnit unit;
    skypetest::ScriptedPeer peer(unit.File("skype.sock"));
    ASSERT_TRUE(unit.Start());
    ASSERT_TRUE(peer.Accept());
    EXPECT_EQ(peer.ReadLine(), std::optional<std::string>("DISCOVER"));
    unit.TakeBoxes();

    // Waiting for the user's consent: the notice comes once, however long it waits.
    ASSERT_TRUE(peer.SendLine("ATTACH 1"));
    std::vector<plat::ui::MessageBoxRecord> boxes;
    ASSERT_TRUE(unit.WaitFor([&] {
        for (auto& b : unit.TakeBoxes())
            boxes.push_back(b);
        return !boxes.empty();
    }));
    unit.Advance(1000);
    for (auto& b : unit.TakeBoxes())
        boxes.push_back(b);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Warnng");
    EXPECT_EQ(boxes[0].text, std::u16string(unit.Kernel()->m_Language[MSG_MSG_SKYPE_PENDING]));
    EXPECT_NE(At(unit.Log(), "Skype Pending *******************************"), std::string::npos);

    ASSERT_TRUE(peer.SendLine("ATTACH 0"));
    // The first of the commands that follow the attachment, sent from the dialog's timer.
    std::optional<std::string> line;
    ASSERT_TRUE(unit.WaitFor([&] { return (line = peer.ReadLine(10)).has_value(); }));
    EXPECT_EQ(*line, "COMMAND PROTOCOL 99999");

    // Music plays on the front; both seats are folded away for outside programs.
    Launch(unit, 0, "APPTYPE_MUSIC");
    CTestPage* music = PageOf(unit, 0, APPTYPE_MUSIC);
    music->m_sPlayState = PLAYSTATE_PLAYING;
    unit.Seat(0)->ShowExpanded(false);
    unit.Seat(1)->ShowExpanded(false);
    unit.Advance(100);
    ASSERT_EQ(unit.Seat(0)->m_bExpanded, 0);

    ASSERT_TRUE(peer.SendLine("REPLY CALL 17 STATUS RINGING"));
    ASSERT_TRUE(
        unit.WaitFor([&] { return unit.Seat(0)->m_bExpanded && unit.Seat(1)->m_bExpanded; }));
    EXPECT_NE(At(unit.Log(), "Someone is calling"), std::string::npos);
    EXPECT_EQ(music->m_sPlayState, PLAYSTATE_PAUSED);
    EXPECT_EQ(plat::ui::GetWindowRect(unit.Seat(0)->Id()), plat::Rect::FromXYWH(0, 0, 800, 480));
    EXPECT_EQ(plat::ui::GetWindowRect(unit.Seat(1)->Id()), plat::Rect::FromXYWH(800, 0, 800, 600));
}
