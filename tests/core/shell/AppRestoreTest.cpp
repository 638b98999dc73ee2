// The restore of the last run, on the whole program: what the end of one run records in the
// settings block and what the next run brings back from it.
#include "core/shell/AppRestore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "apps/media/MPDefaultDlg.h"
#include "apps/media/MediaListHandlers.h"
#include "apps/media/MoviePlayDlg.h"
#include "apps/media/PhotoDlg.h"
#include "apps/radio/RadioDlg.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/KernelData.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppType.h"
#include "core/ui/WindowMessages.h"
#include "platform/io/File.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvPlayer.h"
#include "platform/gfx/ImageFile.h"
#include "platform/sys/Clock.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/media/TestMedia.h"
#include "tests/support/TestSupport.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;

namespace {

// The restore is the program's own; each test puts it in and takes it out again.
struct RestoreInstalled {
    RestoreInstalled() { SetRestoreHooks(AppRestoreHooks()); }
    ~RestoreInstalled() { SetRestoreHooks(RESTORE_HOOKS()); }
};

bool Has(const std::string& log, const std::string& text) {
    return log.find(text) != std::string::npos;
}

size_t Count(const std::string& log, const std::string& text) {
    size_t n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

// Waits until the restore thread has begun its next wait, then moves the program's clock by
// `ms` in one jump (the pages need no ticks meanwhile). A jump before the thread reads the
// clock for its wait would be lost, and the wait would last the whole time again.
bool JumpWhenTheRestoreWaits(HeadUnit& unit, uint32_t ms) {
    if (!unit.WaitFor([&] { return unit.Main()->RestoreWaiting(); }))
        return false;
    unit.Clock().Advance(ms);
    return true;
}

// Moves the program's clock by whole restore passes until the restore thread has ended.
bool RunRestoreToEnd(HeadUnit& unit, int passes) {
    const auto done = [&] { return Has(unit.Log(), "===> ThreadProcActivateApp() done"); };
    for (int i = 0; i < passes; ++i) {
        if (!unit.WaitFor([&] { return done() || unit.Main()->RestoreWaiting(); }))
            return false;
        if (done())
            return true;
        const size_t before = Count(unit.Log(), "ThreadProcActivateApp():");
        unit.Clock().Advance(RESTORE_PASS_MS);
        unit.WaitFor([&] { return Count(unit.Log(), "ThreadProcActivateApp():") > before; });
    }
    return unit.WaitFor(done);
}

HeadUnitOptions WithStatus(uint32_t status, int currentApp,
                           std::function<void(const std::string&)> prepare = nullptr) {
    HeadUnitOptions options;
    options.settings = [status, currentApp](SYS_SETTINGS& s) {
        s.dwAppStatus = status;
        s.iCurrentApp = currentApp;
    };
    options.prepare = std::move(prepare);
    return options;
}

// A program that notes the folder it was started in and its arguments (one line each, after
// the folder), next to the head unit's files.
void MakeProgram(const std::string& dir, const std::string& folder, const std::string& exe) {
    plat::MakeDirectory(dir + "/" + folder);
    const std::string path = dir + "/" + folder + "/" + exe;
    const std::string note = dir + "/" + exe + ".started";
    testsupport::WriteText(path, "#!/bin/sh\npwd > \"" + note +
                                     ".part\"\n"
                                     "for a in \"$@\"; do echo \"arg:$a\" >> \"" +
                                     note +
                                     ".part\"; done\n"
                                     "mv \"" +
                                     note + ".part\" \"" + note + "\"\n");
    ::chmod(path.c_str(), 0755);
}

void SaveProgramPath(const std::string& dir, int index, const char16_t* path) {
    CKernelData data;
    data.SetBaseDir(dir);
    data.LoadAppPath();
    plat::StrCopy(data.m_AppPaths.szPath[index], APP_PATH_CHARS, path);
    ASSERT_TRUE(data.SaveAppPath());
}

// What one run leaves for the next: its stored files and the radio's marker.
std::function<void(const std::string&)> CarriedOver(const std::string& from) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() &&
            (entry.path().extension() == ".db" || name == MARKER_RADIO_MODE))
            files.emplace_back(name, testsupport::ReadText(entry.path().string()));
    }
    return [files](const std::string& dir) {
        for (const auto& [name, text] : files)
            testsupport::WriteText(dir + "/" + name, text);
    };
}

void CopyTo(const std::string& from, const std::string& to) {
    std::filesystem::create_directories(std::filesystem::path(to).parent_path());
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

// Sound goes nowhere; the library is told through the environment.
struct QuietPlayer {
    QuietPlayer() { ::setenv("VELKORA_AUDIO_SINK", "fakesink sync=true", 1); }
    ~QuietPlayer() { ::unsetenv("VELKORA_AUDIO_SINK"); }
};

void TapButton(HeadUnit& unit, KvUserInterface::IKvButton* button) {
    ASSERT_NE(button, nullptr);
    plat::Rect r;
    button->GetRect(&r);
    unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(60);
}

void Launch(HeadUnit& unit, const char* app) {
    plat::Point p = harness::HomepageIconCentre(0, app);
    unit.Tap(p.x, p.y);
    unit.Advance(200);
}

std::u16string StickLetter(HeadUnit& unit) {
    const char16_t c = unit.Kernel()->GetDriveSnapshot().szDrive[0];
    return c ? std::u16string(1, c) : std::u16string();
}

uint64_t ProgramTick() {
    return plat::GetClock().TickMs();
}

}  // namespace

TEST(AppRestore, ThePhotoPageComesBackAtTheNextStart) {
    RestoreInstalled restore;
    std::string saved;
    {
        HeadUnit unit;
        ASSERT_TRUE(unit.Start());
        CSeatCtrlDlg* front = unit.Seat(0);
        front->m_iPending = APPTYPE_PHOTO;
        plat::ui::InvalidateRect(front->Id());
        ASSERT_TRUE(unit.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
        ASSERT_EQ(unit.Kernel()->m_Settings.iCurrentApp, APPTYPE_PHOTO);
        unit.Close();
        EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x1000"));
        EXPECT_TRUE(Has(unit.Log(), "SaveMediaPosition: 0"));
        ASSERT_TRUE(plat::ReadFileToEnd(unit.File(SYS_SETTINGS_DB), saved));
    }
    ASSERT_EQ(saved.size(), sizeof(SYS_SETTINGS));
    SYS_SETTINGS s = {};
    ASSERT_TRUE(ReadSettingsBlock(reinterpret_cast<const uint8_t*>(saved.data()), saved.size(), s));
    EXPECT_EQ(s.dwAppStatus, APP_STATUS_PHOTO);
    EXPECT_EQ(s.byPhotoResume, 0);  // no slideshow ran

    HeadUnitOptions options;
    options.prepare = [&](const std::string& dir) {
        testsupport::WriteText(dir + "/" + SYS_SETTINGS_DB, saved);
    };
    HeadUnit again(options);
    ASSERT_TRUE(again.Start());
    CSeatCtrlDlg* front = again.Seat(0);
    ASSERT_TRUE(again.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
    EXPECT_EQ(again.Kernel()->m_Settings.iCurrentApp, APPTYPE_PHOTO);
    // Only the photo was asked for: the thread ends once the photo page has reported.
    ASSERT_TRUE(
        again.WaitFor([&] { return (again.Kernel()->m_dwResumeDone & APP_STATUS_PHOTO) != 0; }));
    ASSERT_TRUE(RunRestoreToEnd(again, 3));
    EXPECT_EQ(Count(again.Log(), "ThreadProcActivateApp():"), 1u);
    EXPECT_FALSE(Has(again.Log(), "WaitForSingleObject"));
}

TEST(AppRestore, NoStatusLogsOnePassAndEnds) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(0, APPTYPE_PHONE));
    ASSERT_TRUE(unit.Start());
    ASSERT_TRUE(unit.WaitFor([&] { return Has(unit.Log(), "ThreadProcActivateApp() start"); }));
    // The phone is not brought back: the homepage is current and saved at once.
    ASSERT_TRUE(
        unit.WaitFor([&] { return unit.Kernel()->m_Settings.iCurrentApp == APPTYPE_HOMEPAGE; }));
    std::string raw;
    ASSERT_TRUE(unit.WaitFor([&] {
        SYS_SETTINGS s = {};
        return plat::ReadFileToEnd(unit.File(SYS_SETTINGS_DB), raw) &&
               ReadSettingsBlock(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), s) &&
               s.iCurrentApp == APPTYPE_HOMEPAGE;
    }));
    ASSERT_TRUE(RunRestoreToEnd(unit, 2));
    EXPECT_EQ(Count(unit.Log(), "ThreadProcActivateApp():"), 1u);
    EXPECT_TRUE(Has(unit.Log(), "(int:0, "));
}

TEST(AppRestore, ProgramsAreStartedInTheirFoldersAndTheLastThroughTheSeat) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(0x0001 | 0x0002, APPTYPE_HOMEPAGE, [](const std::string& dir) {
        MakeProgram(dir, "Navi", "navigation.exe");
        MakeProgram(dir, "Talk", "talk.exe");
        CKernelData data;
        data.SetBaseDir(dir);
        plat::StrCopy(data.m_AppPaths.szPath[APP_PATH_NAVIGATION], APP_PATH_CHARS,
                      u"C:\\Navi\\navigation.exe");
        plat::StrCopy(data.m_AppPaths.szPath[APP_PATH_SKYPE], APP_PATH_CHARS,
                      u"C:\\Talk\\talk.exe");
        ASSERT_TRUE(data.SaveAppPath());
    }));
    ASSERT_TRUE(unit.Start());
    // The messaging program is the last one, but the seat has no way to start it: it is
    // started directly like the other.
    ASSERT_TRUE(unit.WaitFor([&] {
        return plat::PathExists(unit.File("navigation.exe.started")) &&
               plat::PathExists(unit.File("talk.exe.started"));
    }));
    EXPECT_TRUE(Has(testsupport::ReadText(unit.File("navigation.exe.started")), "/Navi"));
    EXPECT_TRUE(Has(testsupport::ReadText(unit.File("talk.exe.started")), "/Talk"));
    EXPECT_TRUE(Has(unit.Log(), "ShellExecute: 5"));
    EXPECT_TRUE(Has(unit.Log(), "ShellExecute: 16"));
    ASSERT_TRUE(RunRestoreToEnd(unit, 2));
}

TEST(AppRestore, RadioAndPhotoAreAskedForWithoutWaiting) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(APP_STATUS_RADIO | APP_STATUS_PHOTO, APPTYPE_RADIO));
    ASSERT_TRUE(unit.Start());
    CSeatCtrlDlg* front = unit.Seat(0);
    ASSERT_TRUE(unit.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
    EXPECT_FALSE(Has(unit.Log(), "WaitForSingleObject"));
    EXPECT_EQ(unit.Kernel()->m_Settings.iCurrentApp, APPTYPE_PHOTO);
}

TEST(AppRestore, TheEndStopsTheRestoreAtOnce) {
    RestoreInstalled restore;
    // Music that never plays: the photo restore waits for it, and the end cuts the wait.
    HeadUnit unit(WithStatus(APP_STATUS_MUSIC | APP_STATUS_PHOTO, APPTYPE_PHOTO));
    ASSERT_TRUE(unit.Start());
    unit.Advance(1000);
    unit.Close();
    EXPECT_FALSE(Has(unit.Log(), "===> ThreadProcActivateApp() done"));
    EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x"));
}

TEST(AppRestore, MusicThatNeverPlaysHoldsThePhotoBackOnlyForAWhile) {
    RestoreInstalled restore;
    // No music to play: the photo restore waits for the music's start, but not for ever.
    HeadUnit unit(WithStatus(APP_STATUS_MUSIC | APP_STATUS_PHOTO, APPTYPE_PHOTO));
    ASSERT_TRUE(unit.Start());
    CSeatCtrlDlg* front = unit.Seat(0);
    unit.Advance(200);
    EXPECT_NE(front->m_iCurrentApp, APPTYPE_PHOTO);
    EXPECT_FALSE(Has(unit.Log(), "WaitForSingleObject"));
    unit.Clock().Advance(RESTORE_PLAY_WAIT_MS);
    ASSERT_TRUE(unit.WaitFor([&] { return front->m_iCurrentApp == APPTYPE_PHOTO; }));
    EXPECT_TRUE(Has(unit.Log(), "WaitForSingleObject( hPlayEvent, INFINITE ): done"));
}

TEST(AppRestore, TwoProgramsWithoutMediaTheLastThroughTheSeat) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(0x0021, APPTYPE_HOMEPAGE, [](const std::string& dir) {
        MakeProgram(dir, "Navi", "navigation.exe");
        MakeProgram(dir, "Mine", "mine.exe");
        SaveProgramPath(dir, APP_PATH_NAVIGATION, u"C:\\Navi\\navigation.exe");
        SaveProgramPath(dir, APP_PATH_APP_1, u"C:\\Mine\\mine.exe");
    }));
    ASSERT_TRUE(unit.Start());
    // The navigation program is started directly; the user's program, the last one, by the
    // front seat, which switches to it on its next paint.
    ASSERT_TRUE(unit.WaitFor([&] {
        return plat::PathExists(unit.File("navigation.exe.started")) &&
               plat::PathExists(unit.File("mine.exe.started"));
    }));
    EXPECT_EQ(testsupport::ReadText(unit.File("navigation.exe.started")),
              unit.BaseDir() + "/Navi\n")
        << "its own folder, no arguments";
    EXPECT_EQ(testsupport::ReadText(unit.File("mine.exe.started")), unit.BaseDir() + "/Mine\n");
    ASSERT_TRUE(unit.WaitFor([&] { return unit.Seat(0)->m_iCurrentApp == APPTYPE_APP_1; }));
    const std::string log = unit.Log();
    EXPECT_LT(log.find("ShellExecute: 5"), log.find("ShellExecute: 15"));
    EXPECT_EQ(Count(log, "CSeatCtrlDlg::LaunchProgram(5)"), 1u);
    EXPECT_EQ(Count(log, "CSeatCtrlDlg::LaunchProgram("), 1u) << "navigation not by the seat";
    // No media: one pass and the end.
    ASSERT_TRUE(RunRestoreToEnd(unit, 2));
    EXPECT_EQ(Count(unit.Log(), "ThreadProcActivateApp():"), 1u);
    EXPECT_TRUE(Has(unit.Log(), "(int:0, "));
}

TEST(AppRestore, AProgramWithMusicIsStartedDirectlyAndTheMusicAskedForUntilItReports) {
    RestoreInstalled restore;
    HeadUnit unit(WithStatus(0x0101, APPTYPE_HOMEPAGE, [](const std::string& dir) {
        MakeProgram(dir, "Navi", "navigation.exe");
        SaveProgramPath(dir, APP_PATH_NAVIGATION, u"C:\\Navi\\navigation.exe");
        CKernelData data;
        data.SetBaseDir(dir);
        ASSERT_TRUE(data.LoadSettings());
        // The last media were a film's: the request names no music to start, so the music
        // page stays away until the user opens it.
        data.m_Settings.iMediaType = 2;
        ASSERT_TRUE(data.SaveSettings());
    }));
    ASSERT_TRUE(unit.Start());
    CSeatCtrlDlg* front = unit.Seat(0);
    ASSERT_TRUE(
        unit.WaitFor([&] { return plat::PathExists(unit.File("navigation.exe.started")); }));
    EXPECT_EQ(testsupport::ReadText(unit.File("navigation.exe.started")),
              unit.BaseDir() + "/Navi\n");
    EXPECT_EQ(Count(unit.Log(), "CSeatCtrlDlg::LaunchProgram("), 0u) << "media follow";
    for (int pass = 0; pass < 2; ++pass) {
        unit.Advance(1100);  // a second of the pages' ticks
        EXPECT_EQ(front->m_iCurrentApp, APPTYPE_HOMEPAGE);
        ASSERT_TRUE(JumpWhenTheRestoreWaits(unit, RESTORE_PASS_MS));
        ASSERT_TRUE(unit.WaitFor([&] {
            return Count(unit.Log(), "-re-exec music:") == size_t(pass + 1);
        })) << unit.Log();
    }
    EXPECT_EQ(unit.Kernel()->m_dwResumeDone & APP_STATUS_MUSIC, 0u);
    EXPECT_TRUE(
        Has(unit.Log(), "ThreadProcActivateApp():1 (int:1, music:0, movie:1, radio:1, photo:1"));
    Launch(unit, "APPTYPE_MUSIC");
    ASSERT_EQ(front->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_NE(unit.Kernel()->m_dwResumeDone & APP_STATUS_MUSIC, 0u);
    ASSERT_TRUE(RunRestoreToEnd(unit, 3));
    EXPECT_EQ(Count(unit.Log(), "-re-exec music:"), 2u);
    EXPECT_EQ(Count(unit.Log(), "ShellExecute: 5"), 1u);
}

// The playlist file "Road": a song that Edit-List added (no stamp), then one that Add-File
// added, with its stamp.
void RoadPlaylist(const std::string& dir) {
    std::u16string body;
    for (const std::u16string& line :
         {std::u16string(u"b.wav"), std::u16string(u"e:"),
          u"a.wav" + std::u16string(50, u' ') + u"[101500250]", std::u16string(u"e:")}) {
        body += line;
        body += u'\n';
        body += u'\0';
    }
    std::filesystem::create_directories(dir + "/PLAYLIST");
    testsupport::WriteBytes(dir + "/PLAYLIST/Road", body.data(), body.size() * 2);
}

TEST(AppRestore, MusicPlayingAtTheEndPlaysAgainAfterARestart) {
    RestoreInstalled restore;
    QuietPlayer quiet;
    const std::string wav = testmedia::LongWav();  // it must not end while looked at
    ASSERT_FALSE(wav.empty());
    auto stick = [&](HeadUnit& unit) {
        const std::string folder = unit.Drives().Folder("stick");
        CopyTo(wav, folder + "/a.wav");
        CopyTo(wav, folder + "/b.wav");
        unit.Drives().Mount("/dev/sdb1", 8, 17, folder);
    };
    // A song of a folder, and one played on from a playlist.
    for (const bool fromPlaylist : {false, true}) {
        SCOPED_TRACE(fromPlaylist ? "playlist" : "folder");
        std::function<void(const std::string&)> left;
        std::u16string playing;
        {
            HeadUnitOptions options;
            options.settings = [](SYS_SETTINGS& s) {
                plat::StrCopy(s.szCurrentMusic, u"e:\\a.wav");
                s.iMediaType = 0;
                s.szCurrentPlaylist[0] = 0;
            };
            options.prepare = RoadPlaylist;
            HeadUnit unit(options);
            stick(unit);
            ASSERT_TRUE(unit.Start());
            unit.Advance(2500);
            Launch(unit, "APPTYPE_MUSIC");
            unit.Advance(1500);
            CMPDefaultDlg* music = static_cast<CMPDefaultDlg*>(unit.Page(0, APPTYPE_MUSIC));
            ASSERT_EQ(music->GetPlayState(), PLAYSTATE_PLAYING);
            if (fromPlaylist) {
                TapButton(unit, music->Button(MP_BTN_PLAY_LIST));
                ASSERT_EQ(music->m_bySourceMode, MP_SOURCE_PLAYLISTS);
                music->FileList()->SetCurrentIndex(0);
                TapButton(unit, music->Button(MP_BTN_PLAY));
                ASSERT_EQ(music->m_strCurrentPath, u"e:\\b.wav");
            }
            // The user goes on to the next song and back to the homepage; it plays on.
            TapButton(unit, music->Button(MP_BTN_NEXT));
            ASSERT_TRUE(unit.WaitFor([&] { return music->GetPlayState() == PLAYSTATE_PLAYING; }));
            playing = music->m_strCurrentPath;
            EXPECT_EQ(playing.substr(0, 8), fromPlaylist ? u"e:\\a.wav" : u"e:\\b.wav");
            TapButton(unit, music->Button(MP_BTN_RET_MENU));
            ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
            unit.Close();
            EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x0100"));
            left = CarriedOver(unit.BaseDir());
        }
        HeadUnitOptions options;
        options.prepare = [&](const std::string& dir) {
            left(dir);
            RoadPlaylist(dir);
        };
        HeadUnit again(options);
        stick(again);
        ASSERT_TRUE(again.Start());
        CMPDefaultDlg* music = static_cast<CMPDefaultDlg*>(again.Page(0, APPTYPE_MUSIC));
        ASSERT_TRUE(again.WaitFor([&] {
            return again.Seat(0)->m_iCurrentApp == APPTYPE_MUSIC &&
                   music->GetPlayState() == PLAYSTATE_PLAYING;
        }));
        EXPECT_EQ(music->m_strCurrentPath, playing);
        EXPECT_EQ(music->m_dwPlayEvents.load(), 1u) << "resumed once, not restarted";
        // A playlist's song comes back in its playlist, shown.
        EXPECT_EQ(music->m_bySourceMode, fromPlaylist ? MP_SOURCE_PLAYLISTS : MP_SOURCE_FOLDERS);
        EXPECT_EQ(plat::Utf16ToUtf8(again.Kernel()->m_Settings.szCurrentPlaylist),
                  fromPlaylist ? "Road" : "");
        EXPECT_EQ(music->PlaylistList()->IsVisible(), fromPlaylist ? 1 : 0);
        ASSERT_TRUE(RunRestoreToEnd(again, 2));
        EXPECT_EQ(Count(again.Log(), "-re-exec music:"), 0u);
    }
}

TEST(AppRestore, TheRadioComesBackOnItsBandAndFrequency) {
    RestoreInstalled restore;
    std::function<void(const std::string&)> left;
    long frequency = 0;
    {
        HeadUnitOptions options;
        options.model.clear();  // the radio needs no power module
        HeadUnit unit(options);
        ASSERT_TRUE(unit.Board().SetClock(&ProgramTick));
        ASSERT_TRUE(unit.Start());
        ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, 0, APPTYPE_RADIO));
        plat::ui::InvalidateRect(unit.Seat(0)->Id());
        unit.Advance(200);
        ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_RADIO);
        CRadioDlg* radio = static_cast<CRadioDlg*>(unit.Page(0, APPTYPE_RADIO));
        TapButton(unit, radio->m_pButton[RADIO_BTN_FM1 + 3]);  // AM1
        // Its preset 4 (the middle cell of the grid).
        unit.Tap(274 + 161 + 78, 87 + 104 + 49);
        unit.Advance(60);
        ASSERT_EQ(unit.Board().Get("band"), 0x10);
        ASSERT_EQ(unit.Kernel()->m_Settings.iAMChannel[0], 4);
        frequency = unit.Board().Get("frequency");
        unit.Close();
        EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x0400"));
        left = CarriedOver(unit.BaseDir());
    }
    HeadUnitOptions options;
    options.model.clear();
    options.prepare = left;
    HeadUnit again(options);
    ASSERT_TRUE(again.Board().SetClock(&ProgramTick));
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(again.WaitFor([&] {
        return again.Seat(0)->m_iCurrentApp == APPTYPE_RADIO && again.Board().Get("band") == 0x10 &&
               again.Board().Get("frequency") == frequency;
    })) << again.Board().Get("band")
        << " " << again.Board().Get("frequency");
    EXPECT_NE(again.Kernel()->m_dwResumeDone & APP_STATUS_RADIO, 0u);
    ASSERT_TRUE(RunRestoreToEnd(again, 2));
    EXPECT_EQ(Count(again.Log(), "-re-exec radio:"), 0u);
}

int64_t PositionOf(CMoviePlayDlg* movie) {
    KvMultimedia::KvPlayerTime t = {};
    return movie->Player()->GetTime(&t) == RZ_OK ? t.llPosition : -1;
}

// A film half way through when the program ends goes on from there at the next start.
TEST(AppRestore, TheFilmPlayingAtTheEndPlaysOnFromItsPlaceAfterARestart) {
    RestoreInstalled restore;
    QuietPlayer quiet;
    // Long enough that a start from the beginning could not reach the place kept.
    const std::string mp4 = testmedia::SolidFilm("mp4", 160, 120, 30);
    ASSERT_FALSE(mp4.empty());
    constexpr int64_t kPlace = 200000000;  // 20 s
    auto stick = [&](HeadUnit& unit) {
        const std::string folder = unit.Drives().Folder("films");
        CopyTo(mp4, folder + "/top.mp4");
        CopyTo(mp4, folder + "/other.mp4");
        unit.Drives().Mount("/dev/sdb1", 8, 17, folder);
    };
    std::function<void(const std::string&)> left;
    std::u16string film;
    {
        HeadUnit unit;
        stick(unit);
        ASSERT_TRUE(unit.Start());
        unit.Advance(2500);
        const std::u16string letter = StickLetter(unit);
        ASSERT_FALSE(letter.empty());
        film = letter + u":\\top.mp4";
        plat::StrCopy(unit.Kernel()->m_Settings.szCurrentMovie, film);
        unit.Kernel()->m_Settings.iMediaType = 2;
        Launch(unit, "APPTYPE_MOVIE");
        CMoviePlayDlg* movie = static_cast<CMoviePlayDlg*>(unit.Page(0, APPTYPE_MOVIE));
        ASSERT_EQ(movie->m_strCurrentPath, film);
        ASSERT_TRUE(unit.WaitFor([&] { return PositionOf(movie) > 0; }));
        movie->Player()->SetPosition(kPlace);
        ASSERT_TRUE(unit.WaitFor([&] { return PositionOf(movie) >= kPlace; }));
        unit.Close();
        EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x0200"));
        left = CarriedOver(unit.BaseDir());
    }
    SYS_SETTINGS saved = {};
    {
        testsupport::TempDir probe;
        left(probe.Path());
        const std::string raw = testsupport::ReadText(probe.File(SYS_SETTINGS_DB));
        ASSERT_TRUE(
            ReadSettingsBlock(reinterpret_cast<const uint8_t*>(raw.data()), raw.size(), saved));
    }
    EXPECT_EQ(saved.dwAppStatus, APP_STATUS_MOVIE);
    EXPECT_EQ(std::u16string(saved.szCurrentMovie), film);
    ASSERT_GE(saved.llMoviePosition, kPlace);
    HeadUnitOptions options;
    options.prepare = left;
    HeadUnit again(options);
    stick(again);
    ASSERT_TRUE(again.Start());
    CMoviePlayDlg* movie = static_cast<CMoviePlayDlg*>(again.Page(0, APPTYPE_MOVIE));
    ASSERT_TRUE(again.WaitFor(
        [&] {
            return again.Seat(0)->m_iCurrentApp == APPTYPE_MOVIE &&
                   movie->Player()->GetStatus() == KvMultimedia::IKvPlayer::STATUS_PLAYING;
        },
        8000));
    EXPECT_EQ(movie->m_strCurrentPath, film);
    EXPECT_GE(PositionOf(movie), saved.llMoviePosition);
    // The movie page reported its resume: the restore ends after one pass instead of asking
    // for the movie every ten seconds.
    EXPECT_NE(again.Kernel()->m_dwResumeDone & APP_STATUS_MOVIE, 0u);
    ASSERT_TRUE(RunRestoreToEnd(again, 3));
    EXPECT_EQ(Count(again.Log(), "re-exec"), 0u);
    // Whatever started it on the way, the film is still where it was left, and the place is
    // used up.
    EXPECT_EQ(movie->m_strCurrentPath, film);
    EXPECT_EQ(movie->Player()->GetStatus(), KvMultimedia::IKvPlayer::STATUS_PLAYING);
    EXPECT_GE(PositionOf(movie), saved.llMoviePosition);
    EXPECT_EQ(again.Kernel()->m_Settings.llMoviePosition, 0);
    EXPECT_TRUE(Has(again.Log(), "MEDIA_POSITION: " + std::to_string(saved.llMoviePosition)));
}

// A run that ends on the photo page with a slideshow running (or paused), and the next run.
static void PhotoAcrossARestart(bool paused) {
    RestoreInstalled restore;
    auto stick = [](HeadUnit& unit) {
        const std::string folder = unit.Drives().Folder("pics");
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
            plat::Surface s(160, 120);
            s.Fill(0xFF808080);
            ASSERT_TRUE(plat::SaveImageFile(folder + "/" + name, s, plat::ImageFormat::Jpeg, 90));
        }
        unit.Drives().Mount("/dev/sdb1", 8, 17, folder);
    };
    {
        std::function<void(const std::string&)> left;
        std::u16string picture;
        {
            HeadUnit unit;
            stick(unit);
            ASSERT_TRUE(unit.Start());
            unit.Advance(2500);
            Launch(unit, "APPTYPE_PHOTO");
            CPhotoDlg* photo = static_cast<CPhotoDlg*>(unit.Page(0, APPTYPE_PHOTO));
            ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_PHOTO);
            KvUserInterface::IKvListbox* drives = photo->DriveList();
            int storage = -1, count = 0;
            drives->GetCount(&count);
            for (int i = 0; i < count && storage < 0; ++i)
                if (const UI_LIST_ROW* r = ListRowAt(drives, i))
                    if (plat::Utf16ToUtf8(r->szName).find("Storage") != std::string::npos)
                        storage = i;
            ASSERT_GE(storage, 0);
            drives->SetCurrentIndex(storage);
            plat::Rect r;
            ASSERT_EQ(drives->GetItemRect(storage, &r), RZ_OK);
            unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
            unit.Advance(60);
            TapButton(unit, photo->Button(PH_BTN_SPEED));  // 1.5 s
            TapButton(unit, photo->Button(PH_BTN_PLAY));
            ASSERT_EQ(photo->m_bSlideshow, 1);
            unit.Advance(1500);
            if (paused)
                TapButton(unit, photo->Button(PH_BTN_PAUSE));
            picture = photo->m_strPicture;
            ASSERT_NE(picture.find(u"b.jpg"), std::u16string::npos);
            unit.Close();
            EXPECT_TRUE(Has(unit.Log(), "SaveAppStatus(): 0x1000"));
            left = CarriedOver(unit.BaseDir());
        }
        HeadUnitOptions options;
        options.prepare = left;
        HeadUnit again(options);
        stick(again);
        ASSERT_TRUE(again.Start());
        CPhotoDlg* photo = static_cast<CPhotoDlg*>(again.Page(0, APPTYPE_PHOTO));
        ASSERT_TRUE(again.WaitFor([&] {
            return again.Seat(0)->m_iCurrentApp == APPTYPE_PHOTO && photo->m_bPictureShown == 1;
        }));
        EXPECT_EQ(photo->m_strPicture, picture);
        EXPECT_EQ(photo->m_bySpeedMode, 1);
        EXPECT_EQ(photo->m_bSlideshow, paused ? 0 : 1);
        ASSERT_TRUE(RunRestoreToEnd(again, 2));
        EXPECT_EQ(Count(again.Log(), "-re-exec photo:"), 0u);
    }
}

TEST(AppRestore, ThePhotoComesBackWithTheSlideshowThatWasRunning) {
    PhotoAcrossARestart(false);
}

// A paused slideshow is not started again.
TEST(AppRestore, ThePhotoComesBackWithoutTheSlideshowThatWasPaused) {
    PhotoAcrossARestart(true);
}
