// The music page in the whole head unit (tests/harness): sticks and discs on the scripted
// machine, music made by GStreamer at test time, taps on both screens.
#include "apps/media/MPDefaultDlg.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/kernel/Kernel.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvPlayer.h"
#include "library/include/IKvText.h"
#include "platform/gfx/ImageFile.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/media/TestMedia.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using KvMultimedia::IKvPlayer;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;

namespace fs = std::filesystem;

namespace {

// Sound goes nowhere. The library keeps its own media settings: it is told through the
// environment.
class QuietPlayer {
public:
    QuietPlayer() { ::setenv("VELKORA_AUDIO_SINK", "fakesink sync=true", 1); }
    ~QuietPlayer() {
        ::unsetenv("VELKORA_AUDIO_SINK");
        ::unsetenv("VELKORA_OPTICAL_DEVICE");
    }
};

void CopyTo(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

CMPDefaultDlg* Music(HeadUnit& unit, int seat) {
    return static_cast<CMPDefaultDlg*>(unit.Page(seat, APPTYPE_MUSIC));
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
    std::vector<std::string> names = Names(list);
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return static_cast<int>(i);
    return -1;
}

std::string CurrentName(IKvListbox* list) {
    const UI_LIST_ROW* r = ListRowAt(list);
    return r ? plat::Utf16ToUtf8(r->szName) : "";
}

// A tap on row `index` of a list of `seat`'s music page (scrolled into view first).
void TapRow(HeadUnit& unit, int seat, IKvListbox* list, int index) {
    ASSERT_GE(index, 0);
    int top = 0, end = 0;
    list->GetTopIndex(&top);
    list->GetEndIndex(&end);
    if (index < top || index >= end)
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
    plat::Point p = harness::HomepageIconCentre(seat, "APPTYPE_MUSIC");
    unit.Tap(p.x, p.y);
    unit.Advance(200);
}

uint8_t State(IKvButton* button) {
    uint8_t state = 255;
    button->GetState(&state);
    return state;
}

uint8_t Flag(IKvListbox* list) {
    uint8_t flag = 255;
    list->GetFlag(&flag);
    return flag;
}

// The folder and the name of a path the page plays.
std::string FolderPart(const std::u16string& path) {
    const std::string p = plat::Utf16ToUtf8(path);
    return p.substr(0, p.rfind('\\'));
}

std::string NamePart(const std::u16string& path) {
    const std::string p = plat::Utf16ToUtf8(path);
    return p.substr(p.rfind('\\') + 1);
}

// Pixels of `rect` in a row text's colours (white, or the current row's red).
int TextPixels(const plat::Surface& screen, const plat::Rect& rect) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            const uint32_t p = screen.PixelAt(x, y);
            const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            n += (r > 150 && g > 150 && b > 150) || (r > 200 && g < 100 && b < 100);
        }
    }
    return n;
}

// Whether the screen shows row `index` of a list in the colour of the current row.
bool ShowsHighlighted(const plat::Surface& screen, IKvListbox* list, int index) {
    plat::Rect r;
    if (list->GetItemRect(index, &r) != RZ_OK)
        return false;
    int red = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const uint32_t p = screen.PixelAt(x, y);
            red += ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) < 100 && (p & 0xFF) < 100;
        }
    }
    return red >= 10;
}

// The first frame of a button's strip is what the screen shows at the button's place.
::testing::AssertionResult ShowsButton(const plat::Surface& screen, int seatX, IKvButton* button,
                                       const std::string& image) {
    plat::Surface strip;
    if (!plat::LoadImageFile(harness::RunFolder() + "/Skin/Default/mplayer/" + image, strip))
        return ::testing::AssertionFailure() << image << " is missing";
    plat::Rect r;
    button->GetRect(&r);
    const int w = strip.Width() / 4;
    int same = 0, total = 0;
    for (int y = 4; y < strip.Height() - 4; y += 3) {
        for (int x = 4; x < w - 4; x += 3) {
            const uint32_t want = strip.PixelAt(x, y);
            if ((want >> 24) != 0xFF)
                continue;
            ++total;
            if (screen.PixelAt(seatX + r.left + x, r.top + y) == want)
                ++same;
        }
    }
    if (total > 0 && same * 10 >= total * 9)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << image << ": " << same << " of " << total << " pixels at " << r.left << "," << r.top;
}

}  // namespace

TEST(MusicPage, BrowsesSticksFoldersAndPlaylistsOnBothSeats) {
    QuietPlayer quiet;
    const std::string wav = testmedia::Wav();
    const std::string silence = testmedia::LongWav();  // the stick's songs never end meanwhile
    ASSERT_FALSE(wav.empty() || silence.empty());
    HeadUnitOptions options;
    options.prepare = [&](const std::string& dir) {
        for (int i = 0; i < 30; ++i)
            CopyTo(wav, dir + "/Velkora Media/Music/Many/tone" + std::to_string(100 + i) + ".wav");
        // A playlist file: the name line and the folder line of each entry, UTF-16LE with a
        // line feed and a NUL after each line.
        std::u16string body;
        for (const char16_t* line : {u"tone101.wav", u"D:\\Velkora Media\\Music\\Many"}) {
            body += line;
            body += u'\n';
            body += u'\0';
        }
        fs::create_directories(dir + "/PLAYLIST");
        testsupport::WriteBytes(dir + "/PLAYLIST/Drive", body.data(), body.size() * 2);
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();

    // The first stick has no music, the second a tree of folders.
    testsupport::ScriptedDrives& drives = unit.Drives();
    testsupport::WriteText(drives.Folder("first") + "/notes.txt", "x");
    const std::string stick = drives.Folder("second");
    CopyTo(silence, stick + "/Rock/Live/one.wav");
    CopyTo(silence, stick + "/Rock/Studio/two.WAV");
    CopyTo(silence, stick + "/VCD/three.wav");
    CopyTo(silence, stick + "/Best of.. 2010/four.wav");
    drives.Mount("/dev/sdb1", 8, 17, drives.Folder("first"));
    unit.Advance(2500);

    Launch(unit, 0);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
    CMPDefaultDlg* front = Music(unit, 0);
    CMPDefaultDlg* rear = Music(unit, 1);
    ASSERT_NE(front, nullptr);
    ASSERT_NE(rear, nullptr);
    EXPECT_EQ(Names(front->DriveList()), (std::vector<std::string>{"My Music"}));

    // A stick that arrives shows on both seats, numbered by its place among the drives.
    drives.Mount("/dev/sdc1", 8, 33, stick);
    unit.Advance(2500);
    EXPECT_EQ(Names(front->DriveList()), (std::vector<std::string>{"My Music", "Storage 02"}));
    EXPECT_EQ(Names(rear->DriveList()), (std::vector<std::string>{"My Music", "Storage 02"}));

    // In, to a folder, and a song plays.
    TapRow(unit, 0, front->DriveList(), 1);
    EXPECT_EQ(front->m_iFolderDepth, 1);
    std::vector<std::string> rows = Names(front->DriveList());
    ASSERT_GE(rows.size(), 4u);
    EXPECT_EQ(rows[0], "Storage 02 (..)");
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Live"));
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"one.wav"}));
    TapRow(unit, 0, front->FileList(), 0);
    ASSERT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentMusic),
              "f:\\Rock\\Live\\one.wav");
    EXPECT_FALSE(front->Button(MP_BTN_PLAY)->IsVisible());
    EXPECT_TRUE(front->Button(MP_BTN_PAUSE)->IsVisible());

    // A folder named as a disc type opens as a folder; the playing file's folder shows its
    // row highlighted again, another folder none.
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "VCD"));
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"three.wav"}));
    EXPECT_EQ(Flag(front->FileList()), 1);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Best of.. 2010"));
    EXPECT_EQ(front->m_iFolderDepth, 1) << "a name with \"..\" in it is no way up";
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"four.wav"}));
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Live"));
    EXPECT_EQ(Flag(front->FileList()), 0);

    // Next moves on into another folder. Once the pen has rested five seconds the lists show
    // that folder, its song's row highlighted.
    TapButton(unit, 0, front->Button(MP_BTN_NEXT));
    ASSERT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    const std::u16string moved = front->m_strCurrentPath;
    ASSERT_NE(FolderPart(moved), "f:\\Rock\\Live");
    EXPECT_EQ(Flag(front->FileList()), 1);
    unit.Advance(5500);
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{NamePart(moved)}));
    EXPECT_EQ(Flag(front->FileList()), 0);
    ASSERT_NE(ListRowAt(front->DriveList()), nullptr);
    EXPECT_EQ(plat::Utf16ToUtf8(ListRowAt(front->DriveList())->szFolder), FolderPart(moved));
    EXPECT_TRUE(ShowsHighlighted(unit.Screen(0), front->FileList(), 0));

    // "(..)" goes back up with the stick's row selected; its files stay.
    TapRow(unit, 0, front->DriveList(), 0);
    EXPECT_EQ(front->m_iFolderDepth, 0);
    EXPECT_EQ(CurrentName(front->DriveList()), "Storage 02");

    // My Music: a long folder. Scrolled away from the playing song, the list comes back to
    // it five seconds after the pen was last lifted.
    TapRow(unit, 0, front->DriveList(), 0);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Many"));
    const int song = IndexOf(front->FileList(), "tone125.wav");
    TapRow(unit, 0, front->FileList(), song);
    ASSERT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    front->FileList()->SetTopIndex(0);
    front->FileList()->SetEndIndex(3);
    unit.Advance(3000);
    int top = -1, end = -1;
    front->FileList()->GetTopIndex(&top);
    EXPECT_EQ(top, 0) << "not before five seconds";
    unit.Advance(2500);
    front->FileList()->GetTopIndex(&top);
    front->FileList()->GetEndIndex(&end);
    EXPECT_LE(top, song);
    EXPECT_GT(end, song);
    EXPECT_EQ(CurrentName(front->FileList()), "tone125.wav");

    // The stick leaves: both seats' lists follow.
    drives.Unmount(stick);
    unit.Advance(2500);
    EXPECT_EQ(Names(rear->DriveList()), (std::vector<std::string>{"My Music"}));

    // Another stick in its place takes its letter; its music plays too, the library finding
    // the file by the letter path the page hands it.
    const std::string other = drives.Folder("third");
    CopyTo(wav, other + "/five.wav");
    drives.Mount("/dev/sdc1", 8, 33, other);
    unit.Advance(2500);
    EXPECT_EQ(Names(rear->DriveList()), (std::vector<std::string>{"My Music", "Storage 02"}));
    // The front seat stayed in the playing song's folder: up, and into the stick.
    TapRow(unit, 0, front->DriveList(), 0);
    EXPECT_EQ(Names(front->DriveList()), (std::vector<std::string>{"My Music", "Storage 02"}));
    TapRow(unit, 0, front->DriveList(), 1);
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"five.wav"}));
    plat::Rect row;
    ASSERT_EQ(front->FileList()->GetItemRect(0, &row), RZ_OK);
    unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    ASSERT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentMusic), "f:\\five.wav");
    // The paint that started it shows it, before the time labels ask for their part alone.
    EXPECT_TRUE(ShowsButton(unit.Screen(0), 0, front->Button(MP_BTN_PAUSE), "pause.png"))
        << "the screen shows the music the tap started";
    TapRow(unit, 0, front->DriveList(), 0);
    drives.Unmount(other);
    unit.Advance(2500);
    EXPECT_EQ(Names(rear->DriveList()), (std::vector<std::string>{"My Music"}));

    // Playlists: the toggle stops, shows the playlists and keeps the current one in the
    // settings; back to the folders, it forgets it.
    EXPECT_EQ(State(front->Button(MP_BTN_SOURCE)), KvUserInterface::BUTTON_HIGHLIGHTED);
    TapButton(unit, 0, front->Button(MP_BTN_PLAY_LIST));
    EXPECT_EQ(front->m_bySourceMode, MP_SOURCE_PLAYLISTS);
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_STOPPED);
    EXPECT_EQ(State(front->Button(MP_BTN_SOURCE)), KvUserInterface::BUTTON_NORMAL)
        << "a press sets the others of its group normal";
    EXPECT_FALSE(front->DriveList()->IsVisible());
    EXPECT_TRUE(front->PlaylistList()->IsVisible());
    EXPECT_EQ(Names(front->PlaylistList()), (std::vector<std::string>{"Drive"}));
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"tone101.wav"}));
    EXPECT_EQ(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentPlaylist), "Drive");
    TapRow(unit, 0, front->FileList(), 0);
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    TapButton(unit, 0, front->Button(MP_BTN_SOURCE));
    EXPECT_EQ(front->m_bySourceMode, MP_SOURCE_FOLDERS);
    EXPECT_EQ(unit.Kernel()->m_Settings.szCurrentPlaylist[0], 0);
    EXPECT_TRUE(front->DriveList()->IsVisible());

    // Held on Vol-Add, the volume goes on rising every quarter second from the second step.
    const int volume = unit.Kernel()->m_iVolume.load();
    plat::Rect add;
    front->Button(MP_BTN_VOL_ADD)->GetRect(&add);
    unit.PenDown(add.left + 10, add.top + 10);
    unit.Advance(1100);
    unit.PenUp(add.left + 10, add.top + 10);
    unit.Advance(60);
    EXPECT_GE(unit.Kernel()->m_iVolume.load(), volume + 3);

    EXPECT_TRUE(ShowsButton(unit.Screen(0), 0, front->Button(MP_BTN_NEXT), "next.png"));

    // The rear seat: its own sections, the bottom bar lower on the taller screen.
    Launch(unit, 1);
    ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_MUSIC);
    unit.Advance(100);
    plat::Rect frontPlay, rearPlay;
    front->Button(MP_BTN_PLAY)->GetRect(&frontPlay);
    rear->Button(MP_BTN_PLAY)->GetRect(&rearPlay);
    EXPECT_EQ(rearPlay.top - frontPlay.top, 120);
    EXPECT_EQ(rear->m_iYOffset, 60);
    EXPECT_TRUE(ShowsButton(unit.Screen(1), 0, rear->Button(MP_BTN_PLAY), "play.png"));
    EXPECT_TRUE(ShowsButton(unit.Screen(1), 0, rear->Button(MP_BTN_RET_MENU), "ret-menu.png"));
    plat::Rect rearDrive;
    rear->DriveList()->GetRect(&rearDrive);
    EXPECT_GT(rearDrive.bottom, 480);
}

TEST(MusicPage, AudioCdsAndDiscsStartAndStopTheMusic) {
    QuietPlayer quiet;
    const std::string cue = testmedia::CdImage();
    const std::string mp3 = testmedia::Mp3();
    const std::string wav = testmedia::Wav();
    ASSERT_FALSE(cue.empty());
    ASSERT_FALSE(mp3.empty());
    ASSERT_FALSE(wav.empty());
    ::setenv("VELKORA_OPTICAL_DEVICE", cue.c_str(), 1);
    HeadUnit unit;
    testsupport::ScriptedDrives& drives = unit.Drives();
    drives.AddOpticalDrive("sr0", 11, 0);
    drives.SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    unit.Advance(2500);
    CMPDefaultDlg* front = Music(unit, 0);
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(Names(front->DriveList()), (std::vector<std::string>{"My Music", "No Disk"}));

    // An audio CD with the phone page current starts nothing.
    unit.Kernel()->m_Settings.iCurrentApp = APPTYPE_PHONE;
    const std::vector<plat::AudioTrack> tracks = {{1, 0, 150}, {2, 150, 225}, {3, 375, 75}};
    drives.SetDisc("/dev/sr0", plat::DiscStatus::Audio, tracks);
    unit.Advance(2500);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    EXPECT_EQ(Names(front->DriveList()).back(), "Audio CD");

    // Opened by hand, the disc lists its tracks and, the player being idle, opens track 1.
    Launch(unit, 0);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Audio CD"));
    EXPECT_EQ(Names(front->FileList()),
              (std::vector<std::string>{"Track01.cda", "Track02.cda", "Track03.cda"}));
    EXPECT_EQ(front->Player()->GetMediaType(), IKvPlayer::MEDIA_CD);
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_STOPPED);
    EXPECT_EQ(front->m_iCDTrack, 1);

    // A stick's song plays. The disc's tracks are looked at meanwhile, and the stick again:
    // Next and the end of a song move on within the stick.
    const std::string stick = drives.Folder("stick");
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        CopyTo(wav, stick + "/" + name);
    drives.Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
    auto plays = [&](const std::string& name) {
        return unit.WaitFor([&] { return NamePart(front->m_strCurrentPath) == name; }, 4000);
    };
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Storage 01"));
    TapRow(unit, 0, front->FileList(), 0);
    ASSERT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    ASSERT_EQ(NamePart(front->m_strCurrentPath), "a.wav");
    TapRow(unit, 0, front->DriveList(), 0);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Audio CD"));
    EXPECT_EQ(Names(front->FileList()).front(), "Track01.cda");
    EXPECT_EQ(front->Player()->GetMediaType(), IKvPlayer::MEDIA_FILE) << "the song goes on";
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Storage 01"));
    TapButton(unit, 0, front->Button(MP_BTN_NEXT));
    EXPECT_EQ(NamePart(front->m_strCurrentPath), "b.wav");
    EXPECT_TRUE(plays("c.wav")) << "the end of b.wav";
    // A track of the disc plays, then a song of the stick tapped plays in its place.
    TapRow(unit, 0, front->DriveList(), 0);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Audio CD"));
    TapRow(unit, 0, front->FileList(), 1);
    EXPECT_EQ(front->Player()->GetMediaType(), IKvPlayer::MEDIA_CD);
    EXPECT_EQ(front->m_iCDTrack, 2);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Storage 01"));
    TapRow(unit, 0, front->FileList(), 1);
    EXPECT_EQ(front->Player()->GetMediaType(), IKvPlayer::MEDIA_FILE);
    EXPECT_EQ(NamePart(front->m_strCurrentPath), "b.wav");
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(unit.Kernel()->m_Settings.iMediaType, 0);
    front->StopAll();
    TapButton(unit, 0, front->Button(MP_BTN_RET_MENU));
    unit.Advance(200);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    drives.SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    unit.Advance(2500);
    unit.Kernel()->m_Settings.iCurrentApp = APPTYPE_HOMEPAGE;

    // Otherwise the music page comes up and plays the first track.
    drives.SetDisc("/dev/sr0", plat::DiscStatus::Audio, tracks);
    unit.Advance(4000);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_EQ(Names(front->FileList()),
              (std::vector<std::string>{"Track01.cda", "Track02.cda", "Track03.cda"}));
    EXPECT_EQ(front->Player()->GetMediaType(), IKvPlayer::MEDIA_CD);
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(unit.Kernel()->m_Settings.iMediaType, 1);

    // A tap on track 2 plays it; Next and Previous wrap over the tracks; the repeat cycles
    // 1, 2, 3, 1 with a disc.
    TapRow(unit, 0, front->FileList(), 1);
    EXPECT_EQ(front->m_iCDTrack, 2);
    EXPECT_EQ(unit.Kernel()->m_Settings.iCurrentTrackId, 2);
    EXPECT_NE(front->m_byRepeatMode, 0);
    front->HandleNextFile(true);
    front->HandleNextFile(true);
    EXPECT_EQ(front->m_iCDTrack, 1);
    front->HandleNextFile(false);
    EXPECT_EQ(front->m_iCDTrack, 3);
    EXPECT_EQ(unit.Kernel()->m_Settings.iCurrentTrackId, 3);
    EXPECT_EQ(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentMusic).substr(3), "Track03.cda");
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    for (int i = 0; i < 4 && front->m_byRepeatMode != 1; ++i)
        front->ChangeRepeat();
    std::vector<int> cycle;
    for (int i = 0; i < 3; ++i) {
        front->ChangeRepeat();
        cycle.push_back(front->m_byRepeatMode);
    }
    EXPECT_EQ(cycle, (std::vector<int>{2, 3, 1})) << "no repeat mode 0 with a disc";

    // The disc leaves while it plays: the page stops.
    drives.SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    unit.Advance(2500);
    EXPECT_NE(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_NE(unit.Log().find("CD CLEAR"), std::string::npos);

    // A data disc with MP3 files: its first song becomes the current music and plays.
    const std::string disc = drives.Folder("disc");
    CopyTo(mp3, disc + "/Song.MP3");
    drives.Mount("/dev/sr0", 11, 0, disc, "iso9660");
    drives.SetDisc("/dev/sr0", plat::DiscStatus::Data);
    unit.Advance(4000);
    EXPECT_EQ(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentMusic), "e:\\Song.MP3");
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(Names(front->DriveList()).front(), "CD Disk (..)");

    // A DVD shows no files here. (With the phone page current, the movie page does not take
    // the disc and the seat.)
    drives.Unmount(disc);
    const std::string dvd = drives.Folder("dvd");
    fs::create_directories(dvd + "/VIDEO_TS");
    unit.Kernel()->m_Settings.iCurrentApp = APPTYPE_PHONE;
    drives.Mount("/dev/sr0", 11, 0, dvd, "udf");
    unit.Advance(2500);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
    unit.Kernel()->m_Settings.iCurrentApp = APPTYPE_MUSIC;
    TapRow(unit, 0, front->DriveList(), 0);  // up from the data disc
    ASSERT_EQ(Names(front->DriveList()).back(), "DVD");
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "DVD"));
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"No Files"}));
}

namespace {

// The file the page plays now, as the settings keep it.
std::string CurrentMusic(HeadUnit& unit) {
    return plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentMusic);
}

uint32_t StatusValue(HeadUnit& unit) {
    uint32_t v = 0xDEAD;
    unit.Kernel()->Registry().GetDword(KERNEL_STATUS_KEY, "Status", &v);
    return v;
}

// Ticks until the page plays `path` (the music ends at once: the sink does not wait).
bool PlaysNext(HeadUnit& unit, CMPDefaultDlg* page, const std::string& path) {
    return unit.WaitFor([&] { return plat::Utf16ToUtf8(page->m_strCurrentPath) == path; }, 4000);
}

void WriteGarbage(const std::string& path) {
    fs::create_directories(fs::path(path).parent_path());
    testsupport::WriteText(path, std::string(4096, 'x'));
}

}  // namespace

TEST(MusicPage, PlaysOnByTheRepeatModesAndSkipsBrokenFiles) {
    QuietPlayer quiet;
    ::setenv("VELKORA_AUDIO_SINK", "fakesink sync=false", 1);
    const std::string wav = testmedia::Wav();
    const std::string mp3 = testmedia::Mp3();
    ASSERT_FALSE(wav.empty() || mp3.empty());
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    testsupport::ScriptedDrives& drives = unit.Drives();
    const std::string stick = drives.Folder("stick");
    CopyTo(wav, stick + "/Album/1.wav");
    CopyTo(mp3, stick + "/Album/2.mp3");
    CopyTo(wav, stick + "/Album/3.wav");
    CopyTo(wav, stick + "/Mixed/a.wav");
    WriteGarbage(stick + "/Mixed/b.mp3");
    CopyTo(mp3, stick + "/Mixed/c.mp3");
    CopyTo(wav, stick + "/Broken/0.wav");
    for (int i = 1; i <= 6; ++i)
        WriteGarbage(stick + "/Broken/" + std::to_string(i) + ".mp3");
    drives.Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
    Launch(unit, 0);
    CMPDefaultDlg* front = Music(unit, 0);
    ASSERT_NE(front, nullptr);
    front->SeedRandom(7);
    ASSERT_EQ(front->m_byRepeatMode, 0);

    // Keys while stopped only move the selection, wrapping, also on an empty list.
    front->KeyHandler(0x1002);
    EXPECT_NE(front->GetPlayState(), PLAYSTATE_PLAYING);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Storage 01"));
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Album"));
    ASSERT_EQ(Names(front->FileList()), (std::vector<std::string>{"1.wav", "2.mp3", "3.wav"}));
    front->FileList()->SetCurrentIndex(0);
    front->KeyHandler(0x1002);
    EXPECT_EQ(CurrentName(front->FileList()), "3.wav");
    front->KeyHandler(0x2000);
    EXPECT_EQ(CurrentName(front->FileList()), "1.wav");
    EXPECT_NE(front->GetPlayState(), PLAYSTATE_PLAYING);

    // Repeat 1: the folder, wrapping at its end; the settings follow every file.
    TapButton(unit, 0, front->Button(MP_BTN_REPEAT));
    EXPECT_EQ(unit.Kernel()->m_Settings.iMusicRepeatMode, 1);
    TapRow(unit, 0, front->FileList(), 0);
    EXPECT_EQ(unit.Seat(0)->m_dwMonitorStatus, 0x30101u);
    EXPECT_TRUE(PlaysNext(unit, front, "e:\\Album\\2.mp3"));
    EXPECT_TRUE(PlaysNext(unit, front, "e:\\Album\\3.wav"));
    EXPECT_TRUE(PlaysNext(unit, front, "e:\\Album\\1.wav"));
    EXPECT_EQ(CurrentMusic(unit), "e:\\Album\\1.wav");
    EXPECT_EQ(CurrentName(front->FileList()), "1.wav");

    // Repeat 2: the end of a file plays it again; Next still moves on and Previous wraps.
    TapButton(unit, 0, front->Button(MP_BTN_REPEAT));
    ASSERT_EQ(front->m_byRepeatMode, 2);
    const std::string again = plat::Utf16ToUtf8(front->m_strCurrentPath);
    const uint32_t starts = front->m_dwPlayEvents.load();
    EXPECT_TRUE(unit.WaitFor([&] { return front->m_dwPlayEvents.load() >= starts + 2; }));
    EXPECT_EQ(plat::Utf16ToUtf8(front->m_strCurrentPath), again);
    front->HandleNextFile(true);
    const std::string moved = plat::Utf16ToUtf8(front->m_strCurrentPath);
    EXPECT_NE(moved, again);
    front->HandleNextFile(false);
    front->HandleNextFile(false);
    EXPECT_NE(plat::Utf16ToUtf8(front->m_strCurrentPath), moved);
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);

    // Repeat 3: random picks within the playing list (the music of the folders listed).
    TapButton(unit, 0, front->Button(MP_BTN_REPEAT));
    ASSERT_EQ(front->m_byRepeatMode, 3);
    for (int i = 0; i < 6; ++i) {
        front->HandleNextFile(true);
        const std::string path = plat::Utf16ToUtf8(front->m_strCurrentPath);
        EXPECT_TRUE(path.rfind("e:\\Album\\", 0) == 0 || path.rfind("e:\\Mixed\\", 0) == 0 ||
                    path.rfind("e:\\Broken\\0", 0) == 0 || path.empty())
            << path;
    }

    // Repeat wraps to 0: the playing list, Next wrapping over all folders listed.
    TapButton(unit, 0, front->Button(MP_BTN_REPEAT));
    ASSERT_EQ(front->m_byRepeatMode, 0);
    EXPECT_EQ(unit.Kernel()->m_Settings.iMusicRepeatMode, 0);

    // A broken file in a folder is skipped at the end of the one before.
    TapButton(unit, 0, front->Button(MP_BTN_REPEAT));
    ASSERT_EQ(front->m_byRepeatMode, 1);
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Mixed"));
    TapRow(unit, 0, front->FileList(), 0);
    EXPECT_TRUE(PlaysNext(unit, front, "e:\\Mixed\\c.mp3"));
    EXPECT_NE(unit.Log().find("cannot open e:\\Mixed\\b.mp3"), std::string::npos);

    // A folder of broken files: five tries, then stopped for good, and no more tries.
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Broken"));
    const size_t before = unit.Log().size();
    TapRow(unit, 0, front->FileList(), 0);
    EXPECT_TRUE(unit.WaitFor([&] { return front->m_strCurrentPath.empty(); }));
    const size_t tries = [&] {
        size_t n = 0;
        const std::string log = unit.Log().substr(before);
        for (size_t at = log.find("cannot open e:\\Broken\\"); at != std::string::npos;
             at = log.find("cannot open e:\\Broken\\", at + 1))
            ++n;
        return n;
    }();
    EXPECT_EQ(tries, 5u);
    unit.Advance(3000);
    EXPECT_EQ(unit.Log().find("cannot open e:\\Broken\\6.mp3", before), std::string::npos);
    EXPECT_NE(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(unit.Seat(0)->m_dwMonitorStatus, 0u);
    EXPECT_TRUE(front->Button(MP_BTN_PLAY)->IsVisible());
    EXPECT_FALSE(front->Button(MP_BTN_PAUSE)->IsVisible());
}

TEST(MusicPage, StatusWordsAndTimeFollowThePlayerOnBothSeats) {
    QuietPlayer quiet;
    const std::string wav = testmedia::LongWav();
    ASSERT_FALSE(wav.empty());
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    const std::string stick = unit.Drives().Folder("stick");
    CopyTo(wav, stick + "/tone.wav");
    unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
    for (int seat = 0; seat < 2; ++seat) {
        Launch(unit, seat);
        CMPDefaultDlg* page = Music(unit, seat);
        ASSERT_NE(page, nullptr);
        const uint32_t rear = seat ? 0x01000000u : 0u;
        // A lone stick with music opens by itself.
        if (IndexOf(page->DriveList(), "Storage 01") >= 0)
            TapRow(unit, seat, page->DriveList(), IndexOf(page->DriveList(), "Storage 01"));
        ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"tone.wav"}));
        TapRow(unit, seat, page->FileList(), 0);
        ASSERT_EQ(page->GetPlayState(), PLAYSTATE_PLAYING);
        EXPECT_EQ(unit.Seat(seat)->m_dwMonitorStatus, 0x30101u | rear);
        std::u16string time;
        EXPECT_TRUE(unit.WaitFor(
            [&] {
                unit.Kernel()->Registry().GetString(KERNEL_STATUS_KEY, "TimeCurrent", &time);
                return time == u"00:00:01";
            },
            3000))
            << plat::Utf16ToUtf8(time);
        page->KeyHandler(0x1046);
        EXPECT_EQ(page->GetPlayState(), PLAYSTATE_PAUSED);
        EXPECT_EQ(StatusValue(unit), 0x30201u | rear);
        EXPECT_TRUE(page->Button(MP_BTN_PLAY)->IsVisible());
        page->PauseIfPlaying(false);
        EXPECT_EQ(StatusValue(unit), 0x30101u | rear);
        // A tap on the song's row pauses it and plays it on, as Play/Pause does.
        const uint32_t starts = page->m_dwPlayEvents.load();
        TapRow(unit, seat, page->FileList(), 0);
        EXPECT_EQ(page->GetPlayState(), PLAYSTATE_PAUSED);
        EXPECT_EQ(StatusValue(unit), 0x30201u | rear);
        EXPECT_TRUE(ShowsButton(unit.Screen(seat), 0, page->Button(MP_BTN_PLAY), "play.png"));
        TapRow(unit, seat, page->FileList(), 0);
        EXPECT_EQ(page->GetPlayState(), PLAYSTATE_PLAYING);
        EXPECT_EQ(page->m_dwPlayEvents.load(), starts);
        EXPECT_TRUE(ShowsButton(unit.Screen(seat), 0, page->Button(MP_BTN_PAUSE), "pause.png"));
        page->StopAll();
        EXPECT_EQ(StatusValue(unit), 0u);
        EXPECT_TRUE(page->Button(MP_BTN_PLAY)->IsVisible());
        TapButton(unit, seat, page->Button(MP_BTN_RET_MENU));
        unit.Advance(200);
    }
}

namespace {

// Pixels of `rect` in which two pictures differ.
int DifferingPixels(const plat::Surface& a, const plat::Surface& b, const plat::Rect& rect) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            n += a.PixelAt(x, y) != b.PixelAt(x, y) ? 1 : 0;
    return n;
}

std::u16string Elapsed(CMPDefaultDlg* page) {
    char16_t* text = nullptr;
    page->m_pTexts[MP_TEXT_ELAPSED]->GetText(&text);
    return text ? std::u16string(text) : std::u16string();
}

}  // namespace

// While music plays, the seat draws only the time labels again each second: the screen shows
// the new time, and what it shows is what a whole new picture of the page would show.
TEST(MusicPage, OnlyTheTimeIsDrawnAgainWhileTheMusicPlays) {
    QuietPlayer quiet;
    const std::string wav = testmedia::LongWav();
    ASSERT_FALSE(wav.empty());
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    const std::string stick = unit.Drives().Folder("stick");
    CopyTo(wav, stick + "/long.wav");
    unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
    for (int seat = 0; seat < 2; ++seat) {
        SCOPED_TRACE(seat ? "rear seat" : "front seat");
        Launch(unit, seat);
        CMPDefaultDlg* page = Music(unit, seat);
        ASSERT_NE(page, nullptr);
        if (IndexOf(page->DriveList(), "Storage 01") >= 0)
            TapRow(unit, seat, page->DriveList(), IndexOf(page->DriveList(), "Storage 01"));
        ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"long.wav"}));
        TapRow(unit, seat, page->FileList(), 0);
        ASSERT_EQ(page->GetPlayState(), PLAYSTATE_PLAYING);
        ASSERT_TRUE(unit.WaitFor([&] { return Elapsed(page) == u"00:00:01"; }, 10000))
            << plat::Utf16ToUtf8(Elapsed(page));
        unit.Pump();
        const plat::Surface before = unit.Screen(seat);
        ASSERT_TRUE(unit.WaitFor([&] { return Elapsed(page) == u"00:00:02"; }, 10000))
            << plat::Utf16ToUtf8(Elapsed(page));
        unit.Pump();
        const plat::Surface drawn = unit.Screen(seat);
        EXPECT_GT(DifferingPixels(before, drawn, plat::Rect::FromXYWH(10, 15, 300, 24)), 0)
            << "the screen still shows the time before";
        // The whole page drawn again, with nothing changed meanwhile (the clock stands still).
        plat::ui::InvalidateRect(unit.Seat(seat)->Id());
        unit.Pump();
        const plat::Surface whole = unit.Screen(seat);
        EXPECT_EQ(DifferingPixels(drawn, whole, drawn.Bounds()), 0);
        page->StopAll();
        TapButton(unit, seat, page->Button(MP_BTN_RET_MENU));
        unit.Advance(200);
    }
}

namespace {

// The playlist file of `entries` (name, folder): each line in UTF-16LE with a line feed and a
// NUL after it.
std::vector<uint8_t> PlaylistBytes(
    const std::vector<std::pair<std::u16string, std::u16string>>& entries) {
    std::vector<uint8_t> bytes;
    for (const auto& e : entries) {
        for (const std::u16string* line : {&e.first, &e.second}) {
            std::u16string l = *line + u'\n';
            l.push_back(u'\0');
            for (char16_t c : l) {
                bytes.push_back(static_cast<uint8_t>(c & 0xFF));
                bytes.push_back(static_cast<uint8_t>(c >> 8));
            }
        }
    }
    return bytes;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::u16string TextOf(KvUserInterface::IKvText* text) {
    char16_t* shown = nullptr;
    return text && text->GetText(&shown) == RZ_OK && shown ? std::u16string(shown) : u"";
}

// What the keyboard page hands back after a name was typed and saved.
void TypeName(HeadUnit& unit, CMPDefaultDlg* page, const std::u16string& name) {
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_KB);
    plat::StrCopy(unit.Kernel()->m_szKbResult, name);
    // As the keyboard page's Save does: back to the music page, switched on the next paint.
    plat::ui::SendMessage(page->m_hMainWnd, WM_SWITCH_APP, 0,
                          (intptr_t(APPTYPE_KB) << 16) | APPTYPE_MUSIC);
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(200);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);
}

}  // namespace

TEST(MusicPage, PlaylistsAreMadeEditedRenamedAndDeleted) {
    QuietPlayer quiet;
    const std::string wav = testmedia::LongWav();  // no song ends meanwhile
    ASSERT_FALSE(wav.empty());
    HeadUnitOptions options;
    options.prepare = [&](const std::string& dir) {
        fs::create_directories(dir + "/PLAYLIST");
        const std::vector<uint8_t> classics = PlaylistBytes({{u"1.wav", u"e:\\Album"}});
        testsupport::WriteBytes(dir + "/PLAYLIST/Rock Classics", classics);
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    const std::string stick = unit.Drives().Folder("stick");
    CopyTo(wav, stick + "/Album/1.wav");
    CopyTo(wav, stick + "/Album/2.wav");
    CopyTo(wav, stick + "/Album/3.wav");
    unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
    Launch(unit, 0);
    CMPDefaultDlg* front = Music(unit, 0);
    ASSERT_NE(front, nullptr);
    const std::string folder = unit.BaseDir() + "/PLAYLIST/";

    // A new playlist: two files with their stamps, a name typed on the keyboard page, Save.
    TapButton(unit, 0, front->Button(MP_BTN_PLAY_LIST));
    ASSERT_EQ(front->m_bySourceMode, MP_SOURCE_PLAYLISTS);
    TapButton(unit, 0, front->Button(MP_BTN_ADD_LIST));
    ASSERT_EQ(front->m_bySourceMode, MP_SOURCE_NEW_PLAYLIST);
    EXPECT_EQ(front->m_strEditName, u"Playlist02");
    EXPECT_TRUE(front->Button(MP_BTN_SAVE)->IsVisible());
    EXPECT_FALSE(front->Button(MP_BTN_PLAY)->IsVisible());
    TapButton(unit, 0, front->Button(MP_BTN_ADD_FILE));
    if (IndexOf(front->DriveList(), "Storage 01") >= 0)
        TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Storage 01"));
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Album"));
    ASSERT_EQ(Names(front->FileList()), (std::vector<std::string>{"1.wav", "2.wav", "3.wav"}));
    for (int row : {2, 0}) {
        front->FileList()->SetCurrentIndex(row);
        TapButton(unit, 0, front->Button(MP_BTN_ADD_FILE));
    }
    EXPECT_EQ(front->GetPlayState() == PLAYSTATE_PLAYING, false);
    TapButton(unit, 0, front->Button(MP_BTN_EDIT_LIST_NAME));
    TypeName(unit, front, u"Rock");
    TapButton(unit, 0, front->Button(MP_BTN_SAVE));
    ASSERT_EQ(front->m_bySourceMode, MP_SOURCE_PLAYLISTS);
    const std::vector<uint8_t> saved = ReadAll(folder + "Rock");
    ASSERT_FALSE(saved.empty());
    // Stamps differ by the time of adding: the layout is compared around them.
    const std::u16string blanks(50, u' ');
    std::u16string text;
    for (size_t i = 0; i + 1 < saved.size(); i += 2)
        text.push_back(static_cast<char16_t>(saved[i] | (saved[i + 1] << 8)));
    ASSERT_EQ(text.size(), 2 * (5 + 61 + 2 + 8 + 2));
    EXPECT_EQ(text.substr(0, 5 + 51), u"3.wav" + blanks + u"[");
    EXPECT_EQ(text.substr(66, 12), std::u16string(u"\n\0e:\\Album\n\0", 12));
    EXPECT_EQ(text.substr(78, 56), u"1.wav" + blanks + u"[");
    EXPECT_TRUE(fs::exists(folder + "Rock Classics"));
    // Saved, it plays: the stamp is cut before opening.
    EXPECT_EQ(CurrentName(front->PlaylistList()), "Rock");
    // Its rows show the songs' names, not the stamps behind them.
    for (int row = 0; row < 2; ++row) {
        plat::Rect r;
        ASSERT_EQ(front->FileList()->GetItemRect(row, &r), RZ_OK);
        const int name = r.left + 120;
        EXPECT_GT(TextPixels(unit.Screen(0), plat::Rect{r.left, r.top, name, r.bottom}), 10);
        EXPECT_EQ(TextPixels(unit.Screen(0), plat::Rect{name, r.top, r.right, r.bottom}), 0);
    }
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentPlaylist), "Rock");
    front->HandleNextFile(true);
    EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
    EXPECT_EQ(front->m_strCurrentPath.substr(0, 14), u"e:\\Album\\1.wav");
    // Another playlist looked at: once the pen has rested, the list shows the playing one.
    TapRow(unit, 0, front->PlaylistList(), IndexOf(front->PlaylistList(), "Rock Classics"));
    EXPECT_EQ(Flag(front->FileList()), 1);
    unit.Advance(5500);
    EXPECT_EQ(CurrentName(front->PlaylistList()), "Rock");
    EXPECT_EQ(Flag(front->FileList()), 0);
    ASSERT_NE(ListRowAt(front->FileList()), nullptr);
    EXPECT_EQ(std::u16string(ListRowAt(front->FileList())->szName),
              front->m_strCurrentPath.substr(9));

    // Edit while it plays: add a file, delete one, rename; the old file goes after the save.
    TapButton(unit, 0, front->Button(MP_BTN_EDIT_LIST));
    ASSERT_EQ(front->m_bySourceMode, MP_SOURCE_EDIT_PLAYLIST);
    EXPECT_EQ(Names(front->FileList()).size(), 2u);
    front->FileList()->SetCurrentIndex(0);
    TapButton(unit, 0, front->Button(MP_BTN_DEL_FILE));
    EXPECT_EQ(Names(front->FileList()).size(), 1u);
    // A folder's files put on show from the drive list: the first Add-File adds.
    if (IndexOf(front->DriveList(), "Storage 01") >= 0)
        TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Storage 01"));
    TapRow(unit, 0, front->DriveList(), IndexOf(front->DriveList(), "Album"));
    front->FileList()->SetCurrentIndex(1);
    TapButton(unit, 0, front->Button(MP_BTN_ADD_FILE));
    EXPECT_EQ(Names(front->FileList()), (std::vector<std::string>{"1.wav", "2.wav", "3.wav"}));
    EXPECT_EQ(plat::Utf16ToUtf8(TextOf(front->m_pTexts[MP_TEXT_PLAYLIST_COUNT])), "(02)");
    TapButton(unit, 0, front->Button(MP_BTN_EDIT_LIST_NAME));
    TypeName(unit, front, u"Rock Classics");  // taken: refused, nothing changes
    TapButton(unit, 0, front->Button(MP_BTN_SAVE));
    EXPECT_EQ(front->m_bySourceMode, MP_SOURCE_EDIT_PLAYLIST);
    EXPECT_FALSE(unit.TakeBoxes().empty());
    EXPECT_TRUE(fs::exists(folder + "Rock"));
    TapButton(unit, 0, front->Button(MP_BTN_EDIT_LIST_NAME));
    TypeName(unit, front, u"Rock/Pop");  // a separator: refused
    TapButton(unit, 0, front->Button(MP_BTN_SAVE));
    EXPECT_EQ(front->m_bySourceMode, MP_SOURCE_EDIT_PLAYLIST);
    unit.TakeBoxes();
    TapButton(unit, 0, front->Button(MP_BTN_EDIT_LIST_NAME));
    TypeName(unit, front, u"Road");
    TapButton(unit, 0, front->Button(MP_BTN_SAVE));
    ASSERT_EQ(front->m_bySourceMode, MP_SOURCE_PLAYLISTS);
    EXPECT_FALSE(fs::exists(folder + "Rock"));
    EXPECT_TRUE(fs::exists(folder + "Rock Classics"));
    const std::vector<uint8_t> road = ReadAll(folder + "Road");
    std::u16string roadText;
    for (size_t i = 0; i + 1 < road.size(); i += 2)
        roadText.push_back(static_cast<char16_t>(road[i] | (road[i + 1] << 8)));
    EXPECT_EQ(roadText.substr(0, 5), u"1.wav");
    EXPECT_NE(roadText.find(std::u16string(u"2.wav\n\0", 7)), std::u16string::npos)
        << "added while editing: no stamp";
    // The playing list was the page's own: the end of the file and Next go on.
    front->HandleNextFile(true);

    // Exit leaves the files alone; Del-List deletes only its own file on Save.
    TapButton(unit, 0, front->Button(MP_BTN_EDIT_LIST));
    TapButton(unit, 0, front->Button(MP_BTN_DEL_LIST));
    TapButton(unit, 0, front->Button(MP_BTN_EXIT));
    EXPECT_EQ(front->m_bySourceMode, MP_SOURCE_PLAYLISTS);
    EXPECT_TRUE(fs::exists(folder + "Road"));
    front->PlaylistList()->SetCurrentIndex(IndexOf(front->PlaylistList(), "Rock Classics"));
    TapButton(unit, 0, front->Button(MP_BTN_EDIT_LIST));
    EXPECT_EQ(front->m_strEditName, u"Rock Classics");
    TapButton(unit, 0, front->Button(MP_BTN_DEL_LIST));
    TapButton(unit, 0, front->Button(MP_BTN_SAVE));
    EXPECT_FALSE(fs::exists(folder + "Rock Classics"));
    EXPECT_TRUE(fs::exists(folder + "Road"));
    EXPECT_EQ(IndexOf(front->PlaylistList(), "Rock Classics"), -1);
    EXPECT_EQ(IndexOf(front->PlaylistList(), "Temp-Playlist"), -1);
}

TEST(MusicPage, TheStampIsCutOnlyWhereThereIsOne) {
    const std::u16string stamped = CMPDefaultDlg::StampName(u"song.mp3");
    ASSERT_EQ(stamped.size(), 8u + MP_STAMP_CHARS);
    EXPECT_EQ(CMPDefaultDlg::CutStamp(u"e:\\a\\" + stamped), u"e:\\a\\song.mp3");
    // Without a stamp, or too short to hold one, the path stays whole.
    const std::u16string plain = u"e:\\music\\" + std::u16string(70, u'x') + u".mp3";
    EXPECT_EQ(CMPDefaultDlg::CutStamp(plain), plain);
    EXPECT_EQ(CMPDefaultDlg::CutStamp(u"e:\\a.mp3"), u"e:\\a.mp3");
    std::u16string broken = u"e:\\a\\" + stamped;
    broken[broken.size() - 3] = u'x';
    EXPECT_EQ(CMPDefaultDlg::CutStamp(broken), broken);
}

TEST(MusicPage, ResumesTheLastMusicOfTheFrontSeatAfterARestart) {
    QuietPlayer quiet;
    const std::string wav = testmedia::LongWav();  // it must not end while looked at
    ASSERT_FALSE(wav.empty());
    for (const std::string saved : {"e:\\root.wav", "e:\\Sub\\deep.wav", "e:\\gone.wav"}) {
        SCOPED_TRACE(saved);
        HeadUnitOptions options;
        options.settings = [&](SYS_SETTINGS& s) {
            plat::StrCopy(s.szCurrentMusic, plat::Utf8ToUtf16(saved));
            s.iMediaType = 0;
            s.szCurrentPlaylist[0] = 0;
            s.iCurrentApp = APPTYPE_MUSIC;
        };
        HeadUnit unit(options);
        const std::string stick = unit.Drives().Folder("stick");
        CopyTo(wav, stick + "/root.wav");
        CopyTo(wav, stick + "/Sub/deep.wav");
        unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
        ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
        unit.Advance(2500);
        Launch(unit, 0);
        unit.Advance(1500);
        CMPDefaultDlg* front = Music(unit, 0);
        ASSERT_NE(front, nullptr);
        if (saved == "e:\\gone.wav") {
            EXPECT_NE(front->GetPlayState(), PLAYSTATE_PLAYING);
            EXPECT_TRUE(front->Button(MP_BTN_PLAY)->IsVisible());
            continue;
        }
        EXPECT_EQ(front->GetPlayState(), PLAYSTATE_PLAYING);
        EXPECT_EQ(plat::Utf16ToUtf8(front->m_strCurrentPath), saved);
        EXPECT_EQ(plat::Utf16ToUtf8(ListRowAt(front->FileList())->szName),
                  saved.substr(saved.rfind('\\') + 1));
        EXPECT_EQ(front->m_dwPlayEvents.load(), 1u) << "resumed once, not restarted";
    }
}
