// The movie page in the whole head unit (tests/harness): a stick of films made by GStreamer at
// test time, taps on the front screen, playback into a silent sink.
#include "apps/media/MoviePlayDlg.h"

#include "apps/media/MovieResume.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/kernel/CfgData.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/KernelData.h"
#include "core/kernel/Language.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvButton.h"
#include "library/include/IKvPlayer.h"
#include "library/include/IKvText.h"
#include "platform/audio/Mixer.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/media/TestMedia.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TestSupport.h"

using harness::HeadUnit;
using KvMultimedia::IKvPlayer;
using KvUserInterface::IKvButton;
using KvUserInterface::IKvListbox;

namespace fs = std::filesystem;

namespace {

class QuietPlayer {
public:
    QuietPlayer() { ::setenv("VELKORA_AUDIO_SINK", "fakesink sync=true", 1); }
    ~QuietPlayer() { ::unsetenv("VELKORA_AUDIO_SINK"); }
};

bool Near(uint32_t argb, uint32_t rgb, int tolerance = 48) {
    for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>((argb >> shift) & 0xFF);
        const int b = static_cast<int>((rgb >> shift) & 0xFF);
        if (a - b > tolerance || b - a > tolerance)
            return false;
    }
    return true;
}

uint32_t Pixel(HeadUnit& unit, int seat, int x, int y) {
    return unit.Screen(seat).PixelAt(x, y) & 0xFFFFFFu;
}

struct Box {
    int x, y, w, h;
};

// Where a picture lies on a black page: the box of the lit pixels of a seat's screen.
Box LitBox(HeadUnit& unit, int seat) {
    const plat::Surface screen = unit.Screen(seat);
    int l = screen.Width(), t = screen.Height(), r = -1, b = -1;
    for (int y = 0; y < screen.Height(); ++y)
        for (int x = 0; x < screen.Width(); ++x) {
            const uint32_t p = screen.PixelAt(x, y);
            if (((p >> 16) & 0xFF) > 40 || ((p >> 8) & 0xFF) > 40 || (p & 0xFF) > 40) {
                l = std::min(l, x);
                r = std::max(r, x);
                t = std::min(t, y);
                b = std::max(b, y);
            }
        }
    return r < 0 ? Box{0, 0, 0, 0} : Box{l, t, r - l + 1, b - t + 1};
}

void CopyTo(const std::string& from, const std::string& to) {
    fs::create_directories(fs::path(to).parent_path());
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
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

void TapRow(HeadUnit& unit, IKvListbox* list, int index) {
    ASSERT_GE(index, 0);
    int top = 0, end = 0;
    list->GetTopIndex(&top);
    list->GetEndIndex(&end);
    if (index < top || index >= end)
        list->SetCurrentIndex(index);
    plat::Rect r;
    ASSERT_EQ(list->GetItemRect(index, &r), RZ_OK);
    unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(60);
}

void TapButton(HeadUnit& unit, IKvButton* button) {
    ASSERT_NE(button, nullptr);
    plat::Rect r;
    button->GetRect(&r);
    unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(60);
}

std::string Playing(CMoviePlayDlg* page) {
    return plat::Utf16ToUtf8(page->m_strCurrentPath);
}

uint32_t ActionF(HeadUnit& unit) {
    uint32_t action = 0;
    unit.Kernel()->Registry().GetDword(KERNEL_STATUS_KEY, "ActionF", &action);
    return action;
}

int ListCount(IKvListbox* list) {
    int count = 0;
    list->GetCount(&count);
    return count;
}

int CurrentRow(IKvListbox* list) {
    int index = -1;
    list->GetCurrentIndex(&index);
    return index;
}

bool Visible(IKvButton* button) {
    return button && button->IsVisible();
}

// The front seat's status word ("Status"; the seats also write the value on their own tick).
uint32_t Status(HeadUnit& unit) {
    return unit.Seat(0)->m_dwMonitorStatus;
}

std::string BookmarkFile(CMoviePlayDlg* page) {
    return page->m_strBookmark.empty() ? std::string() : plat::NativePath(page->m_strBookmark);
}

// As if five seconds had passed since the last save: the next tick saves the disc's place.
void SaveNow(HeadUnit& unit, CMoviePlayDlg* page) {
    page->m_dwLastSave -= MV_RESUME_SAVE_MS + 100;
    unit.Advance(100);
}

CMoviePlayDlg* MoviePage(HeadUnit& unit, int seat = 0) {
    return static_cast<CMoviePlayDlg*>(unit.Page(seat, APPTYPE_MOVIE));
}

// A tap at a seat's own screen co-ordinates.
void TapAt(HeadUnit& unit, int seat, int x, int y) {
    unit.Tap(x + seat * 800, y);
    unit.Advance(60);
}

// The stick, filled, in the first USB socket; the drives settle.
void MountStick(HeadUnit& unit, const std::string& stick) {
    unit.Drives().Mount("/dev/sdb1", 8, 17, stick);
    unit.Advance(2500);
}

// The seat's homepage MOVIE icon tapped: the seat turns to the movie page.
void OpenMoviePage(HeadUnit& unit, int seat = 0) {
    plat::Point icon = harness::HomepageIconCentre(seat, "APPTYPE_MOVIE");
    unit.Tap(icon.x, icon.y);
    unit.Advance(200);
}

// Into the stick: the drive list's last row.
void EnterStick(HeadUnit& unit, CMoviePlayDlg* page) {
    TapRow(unit, page->DriveList(), ListCount(page->DriveList()) - 1);
}

// The filled stick in, the front seat on the movie page and inside the stick: the page, or null.
CMoviePlayDlg* BrowseStick(HeadUnit& unit, const std::string& stick) {
    MountStick(unit, stick);
    OpenMoviePage(unit);
    CMoviePlayDlg* page = MoviePage(unit);
    if (page)
        EnterStick(unit, page);
    return page;
}

// The unit's optical drive, empty, made before the unit starts; its disc is a folder that the
// test fills and puts in ("udf" for a DVD, "iso9660" for a Video CD).
class OpticalDrive {
public:
    OpticalDrive(HeadUnit& unit, const std::string& name, std::string fileSystem)
        : m_unit(unit), m_disc(unit.Drives().Folder(name)), m_fileSystem(std::move(fileSystem)) {
        ::setenv("VELKORA_OPTICAL_DEVICE", m_disc.c_str(), 1);
        unit.Drives().AddOpticalDrive("sr0", 11, 0);
        unit.Drives().SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    }
    ~OpticalDrive() { ::unsetenv("VELKORA_OPTICAL_DEVICE"); }
    OpticalDrive(const OpticalDrive&) = delete;
    OpticalDrive& operator=(const OpticalDrive&) = delete;

    const std::string& Disc() const { return m_disc; }
    void Insert() {
        m_unit.Drives().Mount("/dev/sr0", 11, 0, m_disc, m_fileSystem);
        m_unit.Drives().SetDisc("/dev/sr0", plat::DiscStatus::Data);
    }
    void Eject() {
        m_unit.Drives().Unmount(m_disc);
        m_unit.Drives().SetDisc("/dev/sr0", plat::DiscStatus::NoDisc);
    }

private:
    HeadUnit& m_unit;
    std::string m_disc;
    std::string m_fileSystem;
};

// The generated DVD (its title `titleSeconds` long), copied into `folder`.
void MakeDvd(const std::string& folder, int titleSeconds = 4) {
    const std::string source = testmedia::Dvd(titleSeconds);
    ASSERT_FALSE(source.empty());
    fs::copy(source, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

// The unit started (and left to settle for `settleMs`); the front seat's movie page, or null.
CMoviePlayDlg* StartUnit(HeadUnit& unit, uint32_t settleMs = 0) {
    if (!unit.Start()) {
        ADD_FAILURE() << "exit status " << unit.StartStatus();
        return nullptr;
    }
    unit.Advance(settleMs);
    return MoviePage(unit);
}

// The player has opened a medium of `type` (the disc goes in on the homepage: the seat turns to
// the movie page, which opens it).
bool WaitForMedia(HeadUnit& unit, CMoviePlayDlg* page, int type) {
    return unit.WaitFor([&] { return page->Player()->GetMediaType() == type; }, 6000);
}

// Light pixels (the captions' ink; the button faces are dark) on a button as the front screen
// shows it.
int LightPixelsOn(HeadUnit& unit, IKvButton* button) {
    plat::Rect r;
    button->GetRect(&r);
    const plat::Surface screen = unit.Screen(0);
    int light = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const uint32_t p = screen.PixelAt(x, y);
            if (((p >> 16) & 0xFF) > 160 && ((p >> 8) & 0xFF) > 160 && (p & 0xFF) > 160)
                ++light;
        }
    return light;
}

// With the prompt up, both its buttons show their words: the light on them is the captions',
// as it goes when the captions are emptied. Above each button the prompt's picture shows what
// it chooses, in light and cyan symbols (no words: one picture serves every language).
void ExpectPromptCaptions(HeadUnit& unit, CMoviePlayDlg* page) {
    ASSERT_TRUE(page->m_bPrompt);
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(60);
    const plat::Surface screen = unit.Screen(0);
    for (const int left : {226, 404}) {
        int light = 0, cyan = 0;
        for (int y = 150; y < 295; ++y)
            for (int x = left; x < left + 170; ++x) {
                const uint32_t p = screen.PixelAt(x, y) & 0xFFFFFFu;
                light += Near(p, 0xE8EEF4, 24) ? 1 : 0;
                cyan += Near(p, 0x3FC8E8, 24) ? 1 : 0;
            }
        EXPECT_GT(light, 300) << "symbol over the button at " << left;
        EXPECT_GT(cyan, 150) << "symbol over the button at " << left;
    }
    const int ids[2] = {MSG_DVD_PLAY_BEGIN, MSG_DVD_PLAY_CONTINUE};
    for (bool resume : {false, true}) {
        IKvButton* button = page->PromptButton(resume);
        ASSERT_NE(button, nullptr);
        EXPECT_FALSE(unit.Kernel()->m_Language[ids[resume]][0] == 0) << "a caption to show";
        EXPECT_GT(LightPixelsOn(unit, button), 40) << (resume ? "Continue" : "Begin");
        button->SetTitle(u"");
    }
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(60);
    for (bool resume : {false, true}) {
        IKvButton* button = page->PromptButton(resume);
        EXPECT_EQ(LightPixelsOn(unit, button), 0) << (resume ? "Continue" : "Begin");
        button->SetTitle(unit.Kernel()->m_Language[ids[resume]]);
    }
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(60);
}

// A sound server of the test's own behind the unit's mixer: its one control stands for the
// sound card's wave output (the names file says so), and nothing else of the unit touches it.
class WaveOutCard {
public:
    WaveOutCard() : m_pulse(std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "") {}
    bool Running() const { return m_server.Running() && !m_pulse.empty(); }
    const std::string& Error() const { return m_server.Error(); }

    harness::HeadUnitOptions Options() const {
        harness::HeadUnitOptions options;
        if (!Running())
            return options;
        const std::string pulse = m_pulse;
        options.prepare = [pulse](const std::string& base) {
            // The harness keeps the unit off every sound card; this one is the test's.
            ::unsetenv("ALSA_CONFIG_PATH");
            ::setenv("PULSE_SERVER", pulse.c_str(), 1);
            std::string names = "[MIXER]\ncard = pulse\nmaster =\nwave out = Master\n";
            for (int line = 0; line <= 12; ++line)
                names += "line " + std::to_string(line) + " =\n";
            testsupport::WriteUtf16(base + "/" + MIXER_NAMES_FILE, names, true);
        };
        return options;
    }

    // 1 muted, 0 audible, -1 unknown.
    int WaveOutMuted() const {
        std::unique_ptr<plat::Mixer> probe = plat::OpenAlsaMixer("pulse");
        bool muted = false;
        if (!probe || !probe->GetMute("Master", muted))
            return -1;
        return muted ? 1 : 0;
    }

private:
    testsupport::PulseServer m_server;
    std::string m_pulse;
};

// The wave output's mute (1) or sound (0), where a sound server runs to show it.
#define EXPECT_WAVE_OUT(card, muted)                   \
    do {                                               \
        if ((card).Running()) {                        \
            EXPECT_EQ((card).WaveOutMuted(), (muted)); \
        }                                              \
    } while (0)

}  // namespace

// A stick with one folder of films and one broken file: browse, play, pause, fast play, the
// next and previous films, the idle switch to full screen and back, and the end of a film.
TEST(MoviePage, PlaysTheFilmsOfAStick) {
    QuietPlayer quiet;
    const std::string mp4 = testmedia::VideoMp4();
    ASSERT_FALSE(mp4.empty());
    WaveOutCard card;
    if (!card.Running())
        std::fprintf(stderr, "no sound server, the wave output is not watched: %s\n",
                     card.Error().c_str());
    HeadUnit unit(card.Options());
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(mp4, stick + "/Films/a.mp4");
    CopyTo(mp4, stick + "/Films/b.mp4");
    MountStick(unit, stick);

    OpenMoviePage(unit);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    CMoviePlayDlg* page = MoviePage(unit);
    ASSERT_NE(page, nullptr);
    ASSERT_NE(MoviePage(unit, 1), nullptr) << "one page a seat";
    // Every show offers the setup view's way in and the aspect button, not the view's own.
    EXPECT_TRUE(Visible(page->Button(MV_BTN_DVD_SETUP)));
    EXPECT_TRUE(Visible(page->Button(MV_BTN_RATIO)));
    EXPECT_FALSE(Visible(page->Button(MV_BTN_SAVE)));
    EXPECT_FALSE(Visible(page->Button(MV_BTN_EXIT)));

    // Into the stick, then its folder of films.
    ASSERT_GE(ListCount(page->DriveList()), 1);
    EnterStick(unit, page);
    EXPECT_EQ(page->m_iFolderDepth, 1);
    TapRow(unit, page->DriveList(), IndexOf(page->DriveList(), "Films"));
    ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"a.mp4", "b.mp4"}));

    // A tap on a row plays it; the settings remember it.
    TapRow(unit, page->FileList(), 0);
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(Playing(page).substr(1), ":\\Films\\a.mp4");
    EXPECT_EQ(ActionF(unit), 0x10070103u);
    EXPECT_NE(plat::Utf16ToUtf8(unit.Kernel()->m_Settings.szCurrentMovie).find("a.mp4"),
              std::string::npos);
    EXPECT_TRUE(page->m_bVideoShown);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PAUSE)));
    EXPECT_FALSE(Visible(page->Button(MV_BTN_PLAY)));
    // Each film once in the list that next and previous walk.
    int all = 0;
    ASSERT_NE(page->AllPlaylist(), nullptr);
    page->AllPlaylist()->GetCount(&all);
    EXPECT_EQ(all, 2);

    // The picture lies over the file list: a tap on it where row 2 lies under it starts
    // nothing else.
    TapRow(unit, page->FileList(), 1);
    EXPECT_NE(Playing(page).find("a.mp4"), std::string::npos) << Playing(page);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_TRUE(page->m_bVideoShown);
    EXPECT_EQ(CurrentRow(page->FileList()), 0);

    // Pause (the file list shows again) and on again.
    TapButton(unit, page->Button(MV_BTN_PAUSE));
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PAUSED);
    EXPECT_EQ(ActionF(unit), 0x70203u);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PLAY)));
    EXPECT_FALSE(page->m_bVideoShown);
    TapButton(unit, page->Button(MV_BTN_PLAY));
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(ActionF(unit), 0x70103u);
    EXPECT_NE(Playing(page).find("a.mp4"), std::string::npos) << Playing(page);
    EXPECT_TRUE(page->m_bVideoShown);

    // Fast play: double speed without sound, and the second press back to normal.
    EXPECT_WAVE_OUT(card, 0);
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    EXPECT_EQ(page->m_bySpeed, 1);
    EXPECT_EQ(ActionF(unit), 0x70701u);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_SPEED)));
    EXPECT_WAVE_OUT(card, 1);
    TapButton(unit, page->Button(MV_BTN_SPEED));
    EXPECT_EQ(page->m_bySpeed, 0);
    EXPECT_EQ(ActionF(unit), 0x70700u);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_SPEED_ICON)));
    EXPECT_WAVE_OUT(card, 0);

    // Fast play belongs to its film: the next one plays at normal speed, with sound.
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    ASSERT_EQ(page->m_bySpeed, 1);
    EXPECT_WAVE_OUT(card, 1);
    TapButton(unit, page->Button(MV_BTN_NEXT));
    EXPECT_EQ(page->m_bySpeed, 0);
    EXPECT_WAVE_OUT(card, 0);
    EXPECT_NE(Playing(page).find("b.mp4"), std::string::npos) << Playing(page);
    EXPECT_EQ(Names(page->FileList())[1], "b.mp4");
    TapButton(unit, page->Button(MV_BTN_NEXT));
    EXPECT_NE(Playing(page).find("a.mp4"), std::string::npos) << "wraps round";
    TapButton(unit, page->Button(MV_BTN_PREV));
    EXPECT_NE(Playing(page).find("b.mp4"), std::string::npos);

    // Left alone, the film covers the screen; a tap brings the page back and does nothing else.
    EXPECT_FALSE(page->m_bFullScreen);
    page->m_dwIdle -= MV_IDLE_FULL_SCREEN_MS - 100;  // as if left alone for six seconds
    unit.Advance(300);
    EXPECT_TRUE(page->m_bFullScreen);
    TapAt(unit, 0, 400, 240);
    EXPECT_FALSE(page->m_bFullScreen);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);

    // At the end of a film the next one starts.
    const std::string before = Playing(page);
    page->Player()->SetPosition(19000000);  // 1.9 s of 2
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(300);
            return Playing(page) != before && !Playing(page).empty();
        },
        8000))
        << Playing(page);
    EXPECT_NE(Playing(page).find("a.mp4"), std::string::npos);

    // StopAll leaves nothing open and the page at normal speed. (The wait may have left the
    // film alone long enough for the whole screen; a tap brings the page back.)
    if (page->m_bFullScreen)
        TapAt(unit, 0, 400, 240);
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    ASSERT_EQ(page->m_bySpeed, 1);
    EXPECT_WAVE_OUT(card, 1);
    page->StopAll();
    EXPECT_EQ(page->m_bySpeed, 0);
    EXPECT_WAVE_OUT(card, 0);  // whatever plays next is heard
    EXPECT_EQ(ActionF(unit), 0x70300u);
    EXPECT_EQ(Status(unit), 0u);
    EXPECT_EQ(page->Player()->GetMediaType(), IKvPlayer::MEDIA_NONE);
    EXPECT_TRUE(Playing(page).empty());
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PLAY)));

    // Keys: with nothing playing they move the file list's selection, wrapping round.
    plat::ui::SendMessage(unit.Main()->Id(), WM_KEY_COMMAND, 0, 0x1002);
    EXPECT_EQ(CurrentRow(page->FileList()), 1);
    plat::ui::SendMessage(unit.Main()->Id(), WM_KEY_COMMAND, 0, 0x1003);
    EXPECT_EQ(CurrentRow(page->FileList()), 0);

    // Up at the drive level with a film playing (paused, up, on again): a second stick put
    // in is reached by Next at once, and the lists keep showing the playing film.
    TapRow(unit, page->FileList(), 0);
    ASSERT_NE(Playing(page).find("a.mp4"), std::string::npos);
    TapButton(unit, page->Button(MV_BTN_PAUSE));
    ASSERT_FALSE(page->m_bVideoShown);
    TapRow(unit, page->DriveList(), 0);
    ASSERT_EQ(page->m_iFolderDepth, 0);
    TapButton(unit, page->Button(MV_BTN_PLAY));
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    const std::string stickLetter = Playing(page).substr(0, 1);
    const int drives = ListCount(page->DriveList());
    const std::string more = unit.Drives().Folder("more");
    CopyTo(mp4, more + "/c.mp4");
    unit.Drives().Mount("/dev/sdc1", 8, 33, more);
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(100);
            return ListCount(page->DriveList()) == drives + 1;
        },
        6000));
    EXPECT_NE(Playing(page).find("a.mp4"), std::string::npos) << "plays on";
    const UI_LIST_ROW* driveRow = ListRowAt(page->DriveList());
    ASSERT_NE(driveRow, nullptr);
    EXPECT_EQ(plat::Utf16ToUtf8(driveRow->szFolder).substr(0, 1), stickLetter);
    EXPECT_EQ(CurrentRow(page->FileList()), 0);
    TapButton(unit, page->Button(MV_BTN_NEXT));
    EXPECT_NE(Playing(page).find("b.mp4"), std::string::npos) << Playing(page);
    TapButton(unit, page->Button(MV_BTN_NEXT));
    EXPECT_EQ(Playing(page).substr(1), ":\\c.mp4");
    EXPECT_NE(Playing(page).substr(0, 1), stickLetter) << "the second stick's film";

    // The first stick's volume can no longer be read (its files gone from under it while it
    // stays in): the drive list lets it go; the other stick's film plays on.
    ASSERT_EQ(plat::Utf16ToUtf8(ListRowAt(page->DriveList())->szFolder).substr(0, 1), stickLetter);
    fs::rename(stick, stick + ".gone");
    EXPECT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(100);
            return ListCount(page->DriveList()) == drives;
        },
        6000))
        << ListCount(page->DriveList());
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    fs::rename(stick + ".gone", stick);
    page->StopAll();

    // The film plays fast; the stick goes: the page closes it, forgets the folder and gives
    // the sound back.
    TapRow(unit, page->FileList(), 0);
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    ASSERT_EQ(page->m_bySpeed, 1);
    EXPECT_WAVE_OUT(card, 1);
    unit.Drives().Unmount(stick);
    unit.Advance(2500);
    EXPECT_EQ(page->m_bySpeed, 0);
    EXPECT_WAVE_OUT(card, 0);
    EXPECT_TRUE(Playing(page).empty());
    EXPECT_EQ(page->Player()->GetMediaType(), IKvPlayer::MEDIA_NONE);
    EXPECT_EQ(ListCount(page->FileList()), 0);
    EXPECT_EQ(page->m_iFolderDepth, 0);

    // Home: the seat shows the homepage, and the page, hidden, says so last. Its Home button
    // is not left pressed for the next time.
    TapButton(unit, page->Button(MV_BTN_RET_MENU));
    unit.Advance(100);
    EXPECT_EQ(ActionF(unit), 0x70400u);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    uint8_t home = 255;
    page->Button(MV_BTN_RET_MENU)->GetState(&home);
    EXPECT_EQ(home, KvUserInterface::BUTTON_NORMAL);
}

// The film remembered in the settings: at a drive's root it plays when the page first shows.
TEST(MoviePage, TheRememberedFilmPlaysAtFirstShow) {
    QuietPlayer quiet;
    const std::string mp4 = testmedia::VideoMp4();
    ASSERT_FALSE(mp4.empty());
    HeadUnit unit;
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(mp4, stick + "/top.mp4");
    CopyTo(mp4, stick + "/Films/a.mp4");
    MountStick(unit, stick);
    CMoviePlayDlg* page = MoviePage(unit);
    ASSERT_NE(page, nullptr);
    // The stick's letter, as the drive list has it.
    std::u16string letter;
    for (char16_t c = u'c'; c <= u'z' && letter.empty(); ++c)
        if (unit.Kernel()->GetDriveSnapshot().szDrive[0] == c)
            letter = std::u16string(1, c);
    ASSERT_FALSE(letter.empty());
    plat::StrCopy(unit.Kernel()->m_Settings.szCurrentMovie, letter + u":\\top.mp4");

    OpenMoviePage(unit);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    EXPECT_EQ(Playing(page), plat::Utf16ToUtf8(letter) + ":\\top.mp4");
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(Names(page->FileList()), (std::vector<std::string>{"top.mp4"}));
    int all = 0;
    page->AllPlaylist()->GetCount(&all);
    EXPECT_EQ(all, 2) << "the root's film and the folder's";

    // Home again; a film arriving while the phone page is current leaves the phone alone.
    page->StopAll();
    plat::StrCopy(unit.Kernel()->m_Settings.szCurrentMovie, letter + u":\\Films\\a.mp4");
    unit.Seat(0)->m_iCurrentApp = APPTYPE_PHONE;
    unit.Kernel()->m_iAutoLaunch = 4;
    unit.Advance(1500);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_PHONE);
    EXPECT_TRUE(Playing(page).empty());
    EXPECT_EQ(unit.Kernel()->m_iAutoLaunch, -1);

    // From the homepage the seat switches to the movie page, which plays it.
    unit.Seat(0)->m_iCurrentApp = APPTYPE_MOVIE;
    TapButton(unit, page->Button(MV_BTN_RET_MENU));
    unit.Advance(200);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    unit.Kernel()->m_iAutoLaunch = 4;
    unit.Advance(2000);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    EXPECT_EQ(Playing(page), plat::Utf16ToUtf8(letter) + ":\\Films\\a.mp4");
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(Status(unit), 0x70101u);

    // With the homepage's MOVIE item locked and the lock in force, nothing starts by itself.
    page->StopAll();
    EXPECT_EQ(Status(unit), 0u);
    CCfgData* cfg = GetCfgData();
    int cellPage = 0, cellItem = 0;
    ASSERT_TRUE(cfg && cfg->FindApp(APPTYPE_MOVIE, &cellPage, &cellItem));
    cfg->m_Layout.cell[0][cellPage][cellItem].byLocked = 1;
    // The board says the locks are in force (status bit 0x40).
    ASSERT_TRUE(unit.Board().Command("status 0x40"));
    ASSERT_TRUE(unit.WaitFor([&] { return unit.Kernel()->m_bLocksFree.load() == 0; }, 3000));
    unit.Kernel()->m_iAutoLaunch = 4;
    unit.Advance(2000);
    EXPECT_TRUE(Playing(page).empty()) << Playing(page);
    EXPECT_NE(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    cfg->m_Layout.cell[0][cellPage][cellItem].byLocked = 0;
    unit.Board().Command("status 0x00");
}

// A DVD folder beside the films: its start file plays as a disc from its own row, but next and
// the end of a film pass over it as they go round the films.
TEST(MoviePage, NextAndTheEndOfAFilmPassOverADvdFolder) {
    QuietPlayer quiet;
    const std::string mp4 = testmedia::VideoMp4();
    ASSERT_FALSE(mp4.empty());
    HeadUnit unit;
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(mp4, stick + "/a.mp4");
    CopyTo(mp4, stick + "/b.mp4");
    fs::create_directories(stick + "/VIDEO_TS");
    testsupport::WriteText(stick + "/VIDEO_TS/VIDEO_TS.IFO", "DVDVIDEO-VMG");
    testsupport::WriteText(stick + "/VIDEO_TS/VIDEO_TS.BUP", "DVDVIDEO-VMG");
    testsupport::WriteText(stick + "/VIDEO_TS/VTS_01_1.VOB", "title set");
    testsupport::WriteText(unit.File(MARKER_PLAY_LOG), "");
    CMoviePlayDlg* page = BrowseStick(unit, stick);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"a.mp4", "b.mp4"}));
    ASSERT_GE(IndexOf(page->DriveList(), "VIDEO_TS"), 0);

    // The films, each once, and nothing of the disc folder.
    TapRow(unit, page->FileList(), 1);
    ASSERT_NE(Playing(page).find("b.mp4"), std::string::npos);
    ASSERT_NE(page->AllPlaylist(), nullptr);
    int all = 0;
    page->AllPlaylist()->GetCount(&all);
    EXPECT_EQ(all, 2);

    // Next from the last film goes round to the first.
    TapButton(unit, page->Button(MV_BTN_NEXT));
    EXPECT_NE(Playing(page).find("a.mp4"), std::string::npos) << Playing(page);
    TapButton(unit, page->Button(MV_BTN_PREV));
    ASSERT_NE(Playing(page).find("b.mp4"), std::string::npos) << Playing(page);

    // The end of the last film: the first plays next.
    page->Player()->SetPosition(19000000);  // 1.9 s of 2
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(300);
            return Playing(page).find("a.mp4") != std::string::npos;
        },
        8000))
        << Playing(page);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    const std::string log = unit.Log();
    EXPECT_EQ(log.find("VIDEO_TS.IFO]"), std::string::npos) << log;
    EXPECT_EQ(log.find("Movie: cannot open"), std::string::npos) << log;
    EXPECT_TRUE(unit.TakeBoxes().empty());

    // The folder itself still offers its disc.
    page->StopAll();
    TapRow(unit, page->DriveList(), IndexOf(page->DriveList(), "VIDEO_TS"));
    EXPECT_EQ(Names(page->FileList()), (std::vector<std::string>{"VIDEO_TS.IFO"}));
}

// The unit closed while a film plays fast: the sound card's wave output, which outlives the
// unit, is heard again.
TEST(MoviePage, ClosedDuringFastPlayTheSoundStaysOn) {
    QuietPlayer quiet;
    const std::string mp4 = testmedia::VideoMp4();
    ASSERT_FALSE(mp4.empty());
    WaveOutCard card;
    if (!card.Running())
        GTEST_SKIP() << "no sound server to watch: " << card.Error();
    HeadUnit unit(card.Options());
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(mp4, stick + "/a.mp4");
    CMoviePlayDlg* page = BrowseStick(unit, stick);
    ASSERT_NE(page, nullptr);
    TapRow(unit, page->FileList(), 0);
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    ASSERT_EQ(page->m_bySpeed, 1);
    EXPECT_EQ(card.WaveOutMuted(), 1);
    unit.Close();
    EXPECT_NE(unit.HowEnded(), MainEnd::None);
    EXPECT_EQ(card.WaveOutMuted(), 0);
}

// Fitting never runs away, however small the picture, and gives the usual sizes otherwise.
TEST(MoviePage, FitsAnySizeOfPicture) {
    for (int size = 1; size <= 4; ++size) {
        int w = size, h = size;
        FitVideoSize(480, 308, false, w, h);
        EXPECT_LE(w, 480);
        EXPECT_LE(h, 308);
        EXPECT_GE(h, 280) << "a " << size << "x" << size << " picture fills the height";
        int fw = size, fh = 1;
        FitVideoSize(800, 480, true, fw, fh);
        EXPECT_LE(fw, 800);
        EXPECT_LE(fh, 480);
    }
    int w = 320, h = 240;
    FitVideoSize(800, 480, true, w, h);
    EXPECT_EQ(w, 635);  // 320 x 1.2^4 x 0.96, truncated each step
    EXPECT_EQ(h, 476);

    // The aspect rule on the whole front screen: 16:9 of an 800-wide picture is 800x450 (15
    // rows down when centred); 4:3 starts at 800x600 and shrinks until it is 480 high.
    int aw = 800, ah = 800 * 9 / 16;
    AspectFitSize(true, 800, 480, aw, ah);
    EXPECT_EQ(aw, 800);
    EXPECT_EQ(ah, 450);
    EXPECT_EQ((480 - ah) / 2, 15);
    aw = 800, ah = 600;
    AspectFitSize(true, 800, 480, aw, ah);
    EXPECT_LE(ah, 480);
    EXPECT_GT(ah, 470);
    EXPECT_LT(aw, 800);
    // A small square picture, however tiny, grows and ends filling the rear screen's height.
    for (int size : {1, 3, 320}) {
        int tw = size, th = size;
        AspectFitSize(true, 800, 600, tw, th);
        EXPECT_LE(tw, 800) << size;
        EXPECT_LE(th, 600) << size;
        EXPECT_GT(th, 580) << size;
    }
    // A DVD picture on the whole screen is as wide as the screen, never wider.
    int dw = 720, dh = 576;
    FitDvdSize(dw, dh);
    EXPECT_LE(dw, 800);
    EXPECT_GT(dw, 760);
    dw = 2, dh = 2;
    FitDvdSize(dw, dh);
    EXPECT_LE(dw, 800);
    EXPECT_GT(dw, 700);
}

// The Video CD resume file: a position past 214 s comes back whole; anything but 64 bytes of
// digits and a terminator means no seek.
TEST(MoviePage, VcdResumeFileKeepsThePositionAndRefusesGarbage) {
    testsupport::TempDir dir;
    const std::string path = dir.File("c_1.bmk");
    ASSERT_TRUE(WriteVcdResume(path, 2150000000LL));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(path, bytes));
    ASSERT_EQ(bytes.size(), 64u);
    EXPECT_EQ(bytes[0], '2');
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[20], 0) << "ten digits, then the terminator";
    int64_t position = 0;
    ASSERT_TRUE(ReadVcdResume(path, &position));
    EXPECT_EQ(position, 2150000000LL);

    auto refused = [&](std::vector<uint8_t> b) {
        testsupport::WriteBytes(path, b.data(), b.size());
        int64_t p = 7;
        return !ReadVcdResume(path, &p) && p == 7;
    };
    std::vector<uint8_t> good = MakeVcdResume(42);
    EXPECT_TRUE(refused(std::vector<uint8_t>(good.begin(), good.begin() + 63)));
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_TRUE(refused(longer));
    EXPECT_TRUE(refused(std::vector<uint8_t>(64, 0))) << "empty text";
    std::vector<uint8_t> digits(64, 0);
    for (int i = 0; i < 32; ++i)
        digits[i * 2] = '1';
    EXPECT_TRUE(refused(digits)) << "no terminator";
    std::vector<uint8_t> letters = good;
    letters[2] = 'x';
    EXPECT_TRUE(refused(letters));
    std::vector<uint8_t> huge(64, 0);
    for (int i = 0; i < 25; ++i)
        huge[i * 2] = '9';
    EXPECT_TRUE(refused(huge)) << "more than a 64-bit position holds";
}

namespace {

KvMultimedia::KvDvdDomain Domain(CMoviePlayDlg* page) {
    KvMultimedia::KvDvdDomain domain = KvMultimedia::DVD_DOMAIN_Stop;
    if (page->Player()->GetCurrentDomain(&domain) != RZ_OK)
        return KvMultimedia::DVD_DOMAIN_Stop;
    return domain;
}

bool WaitForDomain(HeadUnit& unit, CMoviePlayDlg* page, KvMultimedia::KvDvdDomain domain,
                   int realMs) {
    return unit.WaitFor([&] { return Domain(page) == domain; }, realMs);
}

// The disc in the drive from its row: "DVD" in the drive list, then "Play DVD", and the paint
// after which the page opens it (or asks first).
void ChooseTheDisc(HeadUnit& unit, CMoviePlayDlg* page) {
    TapRow(unit, page->DriveList(), IndexOf(page->DriveList(), "DVD"));
    ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"Play DVD"}));
    TapRow(unit, page->FileList(), 0);
    unit.Advance(100);
}

// The unit started and settled on its homepage, then the disc in its empty drive: the seat
// turns to the movie page, which opens the disc. The front movie page, or null.
CMoviePlayDlg* StartWithTheDvdInserted(HeadUnit& unit, OpticalDrive& drive) {
    CMoviePlayDlg* page = StartUnit(unit, 2500);
    if (!page)
        return nullptr;
    drive.Insert();
    if (!WaitForMedia(unit, page, IKvPlayer::MEDIA_DVD)) {
        ADD_FAILURE() << "the disc was not opened";
        return nullptr;
    }
    return page;
}

}  // namespace

// The generated DVD in the optical drive: it goes in on the homepage and plays at once; the
// pen works its menu; chapter steps, pause and play; the "DVD" row opens it again after the
// page let it go; taken out, it is closed.
TEST(MoviePage, PlaysADvdFromTheDrive) {
    QuietPlayer quiet;
    HeadUnit unit;
    OpticalDrive drive(unit, "dvd", "udf");
    ASSERT_NO_FATAL_FAILURE(MakeDvd(drive.Disc()));

    // In it goes, with the homepage current: the seat turns to the movie page, which shows
    // "Play DVD" and opens the disc a paint later.
    CMoviePlayDlg* page = StartWithTheDvdInserted(unit, drive);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    EXPECT_EQ(Names(page->FileList()), (std::vector<std::string>{"Play DVD"}));
    EXPECT_EQ(unit.Kernel()->m_Settings.iMediaType, 4);
    EXPECT_EQ(unit.Kernel()->m_Settings.i51Priority, 1);
    EXPECT_EQ(Playing(page), "Play DVD");
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PAUSE)));
    EXPECT_TRUE(page->m_bVideoShown);
    EXPECT_EQ(Status(unit), 0x70101u);

    // The first-play program leads to the title menu; button 1 under the pen, where the page
    // shows the picture, starts the title.
    ASSERT_TRUE(WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_VideoManagerMenu, 8000));
    bool inTitle = unit.WaitFor(
        [&] {
            // Where the picture lies is the library's business; a known place keeps the
            // menu's button at a known point of the screen.
            // Where the page shows the picture: fitted and centred in the file list's place.
            const int w = page->m_iFittedW;
            const int h = page->m_iFittedH;
            const int l = page->m_rcVideo[0] + (page->m_rcVideo[2] - page->m_rcVideo[0] - w) / 2;
            const int t = page->m_rcVideo[1] + (page->m_rcVideo[3] - page->m_rcVideo[1] - h) / 2;
            unit.Tap(l + w * 240 / 704, t + h * 180 / 576);
            return Domain(page) == KvMultimedia::DVD_DOMAIN_Title;
        },
        8000);
    ASSERT_TRUE(inTitle) << Domain(page);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);

    // Chapter steps while the title plays.
    TapButton(unit, page->Button(MV_BTN_NEXT));
    EXPECT_EQ(ActionF(unit), 0x70601u);
    TapButton(unit, page->Button(MV_BTN_PREV));
    EXPECT_EQ(ActionF(unit), 0x70501u);
    EXPECT_EQ(Domain(page), KvMultimedia::DVD_DOMAIN_Title);

    // The disc's place is kept every five seconds, in a file named after the disc.
    const std::string bookmark = BookmarkFile(page);
    ASSERT_NE(bookmark.find("/Resume/"), std::string::npos) << bookmark;
    EXPECT_EQ(bookmark.substr(bookmark.size() - 6), "_1.bmk");
    SaveNow(unit, page);
    ASSERT_TRUE(plat::IsRegularFile(bookmark));

    // Pause and on again through the same buttons as a film.
    page->FitVideoWindow(false, true);
    unit.Advance(60);
    TapButton(unit, page->Button(MV_BTN_PAUSE));
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PAUSED);
    EXPECT_EQ(ActionF(unit), 0x70201u);
    EXPECT_EQ(Status(unit), 0x70201u);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PLAY)));
    TapButton(unit, page->Button(MV_BTN_PLAY));
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(ActionF(unit), 0x70101u);
    EXPECT_EQ(Status(unit), 0x70101u);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PAUSE)));

    // The setup view: the disc waits paused without its picture; the lists hold the three
    // categories and their options, the sub-picture ones ending in "none".
    auto text = [&](int id) { return plat::Utf16ToUtf8(unit.Kernel()->m_Language[id]); };
    ASSERT_TRUE(Visible(page->Button(MV_BTN_DVD_SETUP)));
    TapButton(unit, page->Button(MV_BTN_DVD_SETUP));
    ASSERT_TRUE(page->m_bDvdSetupMode);
    EXPECT_EQ(ActionF(unit), 0x70900u);
    EXPECT_EQ(Status(unit), 0x70201u) << "toggled, as for a pause";
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PAUSED);
    EXPECT_FALSE(page->m_bVideoShown);
    EXPECT_EQ(Names(page->DriveList()),
              (std::vector<std::string>{text(MSG_DVD_AUDIO), text(MSG_DVD_SUBPICTURE),
                                        text(MSG_DVD_ROOT_MENU)}));
    EXPECT_FALSE(Names(page->FileList()).empty()) << "the audio streams";
    EXPECT_TRUE(Visible(page->Button(MV_BTN_EXIT)));
    EXPECT_FALSE(Visible(page->Button(MV_BTN_DVD_SETUP)));
    TapRow(unit, page->DriveList(), 1);
    ASSERT_FALSE(Names(page->FileList()).empty());
    EXPECT_EQ(Names(page->FileList()).back(), text(MSG_DVD_NO_SUBPICTURE));
    TapRow(unit, page->FileList(), ListCount(page->FileList()) - 1);
    EXPECT_EQ(page->m_dwChosenSub, page->m_dwSubCount);
    // The root-menu row applies the choices and brings up the disc's menu.
    TapRow(unit, page->DriveList(), 2);
    EXPECT_EQ(Names(page->FileList()), (std::vector<std::string>{text(MSG_DVD_ROOT_MENU_ENTER)}));
    TapRow(unit, page->FileList(), 0);
    EXPECT_FALSE(page->m_bDvdSetupMode);
    EXPECT_EQ(Status(unit), 0x70101u);
    EXPECT_TRUE(page->m_bVideoShown);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_DVD_SETUP)));
    EXPECT_EQ(IndexOf(page->DriveList(), "DVD"), CurrentRow(page->DriveList()));
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            const KvMultimedia::KvDvdDomain d = Domain(page);
            return d == KvMultimedia::DVD_DOMAIN_VideoManagerMenu ||
                   d == KvMultimedia::DVD_DOMAIN_VideoTitleSetMenu;
        },
        4000))
        << Domain(page);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);

    // Stopped, the disc asks from its row whether to begin or continue, and is not opened
    // until asked.
    page->StopAll();
    unit.Advance(300);
    EXPECT_NE(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(Status(unit), 0u);
    // The setup button stays; without a disc open it opens nothing.
    EXPECT_TRUE(Visible(page->Button(MV_BTN_DVD_SETUP)));
    TapButton(unit, page->Button(MV_BTN_DVD_SETUP));
    EXPECT_FALSE(page->m_bDvdSetupMode);
    ASSERT_NO_FATAL_FAILURE(ChooseTheDisc(unit, page));
    ASSERT_TRUE(page->m_bPrompt);
    EXPECT_EQ(page->Player()->GetMediaType(), IKvPlayer::MEDIA_NONE);
    // Continue: back in the title within two seconds.
    TapButton(unit, page->PromptButton(true));
    EXPECT_FALSE(page->m_bPrompt);
    EXPECT_EQ(ActionF(unit), 0x70109u);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PAUSE)));
    EXPECT_TRUE(WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_Title, 2000)) << Domain(page);
    // It goes on over the whole screen, fitted as every start is: inside the screen, with
    // the picture's own proportions (352 x 288), black beside it.
    ASSERT_TRUE(page->m_bFullScreen);
    Box shown{};
    EXPECT_TRUE(unit.WaitFor(
        [&] {
            shown = LitBox(unit, 0);
            return shown.h > 400;
        },
        4000));
    EXPECT_LT(shown.w, 780) << "cut at the sides";
    EXPECT_NEAR(double(shown.w) / shown.h, 352.0 / 288.0, 0.04) << shown.w << "x" << shown.h;
    EXPECT_GT(shown.x, 0);
    EXPECT_LT(shown.x + shown.w, 800);

    // A bookmark spoilt on disc: Continue plays the disc from its start and drops the file.
    page->StopAll();
    unit.Advance(300);
    testsupport::WriteText(bookmark, "not a bookmark");
    ASSERT_NO_FATAL_FAILURE(ChooseTheDisc(unit, page));
    ASSERT_TRUE(page->m_bPrompt);
    TapButton(unit, page->PromptButton(true));
    EXPECT_FALSE(page->m_bPrompt);
    EXPECT_NE(unit.Log().find("Load bookmark fail"), std::string::npos);
    EXPECT_FALSE(plat::PathExists(bookmark));
    ASSERT_TRUE(unit.WaitFor(
        [&] { return page->Player()->GetStatus() == IKvPlayer::STATUS_PLAYING; }, 4000));
    EXPECT_EQ(page->Player()->GetMediaType(), IKvPlayer::MEDIA_DVD);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PAUSE)));

    // A DVD folder of a stick plays (reached with the disc paused and its picture tapped
    // away); "Play DVD" then plays the disc, not that folder.
    const std::string stick = unit.Drives().Folder("dvds");
    ASSERT_NO_FATAL_FAILURE(MakeDvd(stick + "/Concert"));
    MountStick(unit, stick);
    // From its start a disc is in its menu, where Pause presses the default button; in the
    // title it pauses, keeping the picture, which a tap then takes away. (Left alone, the disc
    // may have gone to the whole screen: the page is brought back first.)
    auto pauseInTitleAndTapThePicture = [&] {
        ASSERT_TRUE(WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_VideoManagerMenu, 8000));
        page->FitVideoWindow(false, true);
        TapButton(unit, page->Button(MV_BTN_PAUSE));
        ASSERT_TRUE(WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_Title, 8000));
        EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
        page->FitVideoWindow(false, true);
        TapButton(unit, page->Button(MV_BTN_PAUSE));
        ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PAUSED);
        ASSERT_TRUE(page->m_bVideoShown);
        TapAt(unit, 0, (page->m_rcVideo[0] + page->m_rcVideo[2]) / 2,
              (page->m_rcVideo[1] + page->m_rcVideo[3]) / 2);
        ASSERT_FALSE(page->m_bVideoShown);
        EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PAUSED);
    };
    ASSERT_NO_FATAL_FAILURE(pauseInTitleAndTapThePicture());
    const std::string stickRoot =
        std::string(1, char(unit.Kernel()->GetDriveSnapshot().szDrive[0]));
    int stickRow = -1;
    for (int i = 0; i < ListCount(page->DriveList()); ++i)
        if (plat::Utf16ToUtf8(ListRowAt(page->DriveList(), i)->szFolder).substr(0, 1) == stickRoot)
            stickRow = i;
    TapRow(unit, page->DriveList(), stickRow);
    TapRow(unit, page->DriveList(), IndexOf(page->DriveList(), "VIDEO_TS"));
    ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"VIDEO_TS.IFO"}));
    TapRow(unit, page->FileList(), 0);
    unit.Advance(100);
    ASSERT_TRUE(page->m_bFolderDvd);
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    ASSERT_NO_FATAL_FAILURE(pauseInTitleAndTapThePicture());
    TapRow(unit, page->DriveList(), 0);  // up, out of the stick
    ASSERT_NO_FATAL_FAILURE(ChooseTheDisc(unit, page));
    // The disc opens (after asking where to begin, when its place was kept).
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            return page->m_bPrompt || (!page->m_bFolderDvd &&
                                       page->Player()->GetStatus() == IKvPlayer::STATUS_PLAYING);
        },
        6000));
    if (page->m_bPrompt)
        TapButton(unit, page->PromptButton(false));
    EXPECT_FALSE(page->m_bFolderDvd);
    EXPECT_EQ(Playing(page), "Play DVD");
    EXPECT_EQ(BookmarkFile(page), bookmark);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);

    // Out it comes: the disc is closed and the page forgets it.
    drive.Eject();
    unit.Advance(2500);
    EXPECT_NE(unit.Log().find("DVD CLEAR"), std::string::npos);
    EXPECT_NE(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(Playing(page), "");
}

namespace {

// The disc's first-play program leads to its title menu; button 1 under the pen starts the
// title.
bool EnterTitle(HeadUnit& unit, CMoviePlayDlg* page) {
    if (!WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_VideoManagerMenu, 8000))
        return false;
    return unit.WaitFor(
        [&] {
            page->Player()->SetVideoPos(100, 50, 704, 576);
            unit.Tap(100 + 2 * 120, 50 + 2 * 90);
            return Domain(page) == KvMultimedia::DVD_DOMAIN_Title;
        },
        8000);
}

}  // namespace

// Two DVD folders on a stick: each plays as a disc from its VIDEO_TS.IFO row, each keeps its
// own place, and Begin plays a folder from its start.
TEST(MoviePage, PlaysDvdFoldersOfAStickEachInItsPlace) {
    QuietPlayer quiet;
    HeadUnit unit;
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("dvds");
    for (const char* name : {"Concert", "Show"})
        ASSERT_NO_FATAL_FAILURE(MakeDvd(stick + "/" + name));
    // Two discs made at different times.
    const auto now = fs::last_write_time(stick + "/Concert/VIDEO_TS/VIDEO_TS.IFO");
    fs::last_write_time(stick + "/Show/VIDEO_TS/VIDEO_TS.IFO", now - std::chrono::hours(30));
    CMoviePlayDlg* page = BrowseStick(unit, stick);
    ASSERT_NE(page, nullptr);
    auto openFolder = [&](const std::string& name) {
        // Both folders show as "VIDEO_TS": the row's folder tells them apart.
        int row = -1;
        for (int i = 1; i < ListCount(page->DriveList()); ++i) {
            const UI_LIST_ROW* r = ListRowAt(page->DriveList(), i);
            if (r && plat::Utf16ToUtf8(r->szFolder).find(name) != std::string::npos)
                row = i;
        }
        ASSERT_GE(row, 0) << name;
        TapRow(unit, page->DriveList(), row);
        int ifo = -1;
        for (int i = 0; i < ListCount(page->FileList()); ++i) {
            const UI_LIST_ROW* r = ListRowAt(page->FileList(), i);
            if (r && plat::Utf16ToUtf8(r->szName) == "VIDEO_TS.IFO" &&
                plat::Utf16ToUtf8(r->szFolder).find(name) != std::string::npos)
                ifo = i;
        }
        ASSERT_GE(ifo, 0) << "no VIDEO_TS.IFO row for " << name;
        TapRow(unit, page->FileList(), ifo);
        unit.Advance(100);
    };

    // The first folder plays at once: it has no place kept yet.
    openFolder("Concert");
    ASSERT_EQ(page->Player()->GetMediaType(), IKvPlayer::MEDIA_DVD);
    EXPECT_FALSE(page->m_bPrompt);
    EXPECT_TRUE(page->m_bFolderDvd);
    EXPECT_EQ(ActionF(unit), 0x70103u);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    ASSERT_TRUE(EnterTitle(unit, page)) << Domain(page);
    const std::string concert = BookmarkFile(page);
    ASSERT_FALSE(concert.empty());
    SaveNow(unit, page);
    ASSERT_TRUE(plat::IsRegularFile(concert));
    EXPECT_TRUE(page->m_bFolderDvd) << "a folder's disc keeps the stick's rows";
    // Its setup view, left: the lists show the folder again, its start file chosen.
    page->FitVideoWindow(false, true);
    TapButton(unit, page->Button(MV_BTN_DVD_SETUP));
    ASSERT_TRUE(page->m_bDvdSetupMode);
    TapButton(unit, page->Button(MV_BTN_EXIT));
    EXPECT_FALSE(page->m_bDvdSetupMode);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(Names(page->FileList()), (std::vector<std::string>{"VIDEO_TS.IFO"}));
    EXPECT_EQ(CurrentRow(page->FileList()), 0);
    const UI_LIST_ROW* folderRow = ListRowAt(page->DriveList());
    ASSERT_NE(folderRow, nullptr);
    EXPECT_NE(plat::Utf16ToUtf8(folderRow->szFolder).find("Concert"), std::string::npos);

    // The other folder is another disc: no prompt, a place of its own.
    page->StopAll();
    unit.Advance(100);
    openFolder("Show");
    EXPECT_FALSE(page->m_bPrompt);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_NE(BookmarkFile(page), concert);

    // Back to the first: the prompt, and Begin plays it from the disc's start.
    page->StopAll();
    unit.Advance(100);
    openFolder("Concert");
    ASSERT_TRUE(page->m_bPrompt);
    EXPECT_EQ(ActionF(unit), 0x70204u);
    ExpectPromptCaptions(unit, page);
    EXPECT_NE(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    TapButton(unit, page->PromptButton(false));
    EXPECT_FALSE(page->m_bPrompt);
    EXPECT_EQ(ActionF(unit), 0x70108u);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PAUSE)));
    EXPECT_TRUE(WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_VideoManagerMenu, 8000))
        << "from the start, not the title: " << Domain(page);
}

namespace {

// One second of a Video CD section: an MPEG-1 program stream of 352x288 colour bars with
// MPEG audio, as a VCD's MPEGAV folder holds them.
bool MakeVcdSection(const std::string& path) {
    // The tool's words are kept beside the section only while they are needed to say why.
    const std::string log = path + ".log";
    const bool made = testmedia::RunTool({"gst-launch-1.0",
                                          "-q",
                                          "videotestsrc",
                                          "num-buffers=25",
                                          "pattern=smpte",
                                          "!",
                                          "video/x-raw,width=352,height=288,framerate=25/1",
                                          "!",
                                          "mpeg2enc",
                                          "format=1",
                                          "!",
                                          "mplex",
                                          "name=mux",
                                          "format=1",
                                          "!",
                                          "filesink",
                                          "location=" + path,
                                          "audiotestsrc",
                                          "num-buffers=44",
                                          "samplesperbuffer=1102",
                                          "!",
                                          "audio/x-raw,rate=44100,channels=2",
                                          "!",
                                          "avenc_mp2",
                                          "bitrate=224000",
                                          "!",
                                          "mpegaudioparse",
                                          "!",
                                          "mux."},
                                         60000, log);
    if (!made)
        ADD_FAILURE() << "cannot make the section:\n" << testsupport::ReadText(log);
    fs::remove(log);
    return made;
}

int64_t PositionOf(CMoviePlayDlg* page) {
    KvMultimedia::KvPlayerTime t = {};
    page->Player()->GetTime(&t);
    return t.llPosition;
}

}  // namespace

// A Video CD (two sections in MPEGAV) goes in on the homepage: it plays section after section
// and stops at the first after the last; its place is kept in 64 bytes, offered by the prompt
// and restored, and a spoilt resume file means the start.
TEST(MoviePage, PlaysAVideoCdAndKeepsItsPlace) {
    QuietPlayer quiet;
    HeadUnit unit;
    OpticalDrive drive(unit, "vcd", "iso9660");
    const std::string disc = drive.Disc();
    fs::create_directories(disc + "/MPEGAV");
    ASSERT_TRUE(MakeVcdSection(disc + "/MPEGAV/AVSEQ01.DAT"));
    fs::copy_file(disc + "/MPEGAV/AVSEQ01.DAT", disc + "/MPEGAV/AVSEQ02.DAT");
    CMoviePlayDlg* page = StartUnit(unit, 2500);
    ASSERT_NE(page, nullptr);

    drive.Insert();
    ASSERT_TRUE(WaitForMedia(unit, page, IKvPlayer::MEDIA_VCD));
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    EXPECT_EQ(Names(page->FileList()), (std::vector<std::string>{"Play VCD"}));
    EXPECT_EQ(unit.Kernel()->m_Settings.iMediaType, 3);
    EXPECT_EQ(unit.Kernel()->m_Settings.i51Priority, 0);
    ASSERT_EQ(page->m_VcdSections.size(), 2u);
    EXPECT_NE(Playing(page).find("AVSEQ01.DAT"), std::string::npos) << Playing(page);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(Status(unit), 0x70101u);

    // Its place: 64 bytes in the disc's resume file.
    const std::string resume = BookmarkFile(page);
    ASSERT_FALSE(resume.empty());
    SaveNow(unit, page);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(plat::ReadWholeFile(resume, bytes));
    EXPECT_EQ(bytes.size(), 64u);

    // Section after section; after the last, the first again, stopped.
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(100);
            return Playing(page).find("AVSEQ02.DAT") != std::string::npos;
        },
        6000))
        << Playing(page);
    EXPECT_EQ(page->m_iVcdIndex, 1);
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(100);
            return page->Player()->GetStatus() != IKvPlayer::STATUS_PLAYING;
        },
        6000));
    EXPECT_EQ(page->m_iVcdIndex, 0);
    EXPECT_FALSE(page->m_bFullScreen) << "stopped at the end, the page shows again";
    EXPECT_TRUE(Playing(page).empty());
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PLAY)));

    // Again from its row: the prompt, and Continue seeks to the kept place (0.6 s).
    ASSERT_TRUE(WriteVcdResume(resume, 6000000));
    TapRow(unit, page->FileList(), 0);
    ASSERT_TRUE(page->m_bPrompt);
    EXPECT_EQ(ActionF(unit), 0x70204u);
    ExpectPromptCaptions(unit, page);
    TapButton(unit, page->PromptButton(true));
    EXPECT_FALSE(page->m_bPrompt);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    // The seek waits for the section to open, on a busy machine a moment after the tap: the
    // first place it reports is the kept one, not the section's start.
    EXPECT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(20);
            return PositionOf(page) > 0;
        },
        5000));
    EXPECT_GE(PositionOf(page), 6000000);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PAUSE)));
    // The chosen disc plays on the whole screen; a tap only brings the page back.
    EXPECT_TRUE(page->m_bFullScreen);
    TapAt(unit, 0, 400, 240);
    EXPECT_FALSE(page->m_bFullScreen);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);

    // Pause and on through the row.
    TapButton(unit, page->Button(MV_BTN_PAUSE));
    EXPECT_EQ(ActionF(unit), 0x70202u);
    EXPECT_EQ(Status(unit), 0x70201u);
    TapButton(unit, page->Button(MV_BTN_PLAY));
    EXPECT_EQ(ActionF(unit), 0x70102u);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);

    // A spoilt resume file: no seek.
    page->StopAll();
    unit.Advance(100);
    testsupport::WriteText(resume, "garbage");
    TapRow(unit, page->FileList(), 0);
    ASSERT_TRUE(page->m_bPrompt);
    TapButton(unit, page->PromptButton(true));
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_LT(PositionOf(page), 6000000);
}

// A disc's menu left alone goes to the whole screen, and the screen shows it: the picture in
// the middle, nothing of the page beside it. The first tap on Home brings the page back, the
// next one goes home.
TEST(MoviePage, TheIdleSwitchInADiscMenuShowsWhatThePageThinks) {
    QuietPlayer quiet;
    HeadUnit unit;
    OpticalDrive drive(unit, "dvd", "udf");
    ASSERT_NO_FATAL_FAILURE(MakeDvd(drive.Disc()));
    CMoviePlayDlg* page = StartWithTheDvdInserted(unit, drive);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_VideoManagerMenu, 8000));
    // The blue menu in the file list's place, the page around it.
    plat::Rect home;
    page->Button(MV_BTN_RET_MENU)->GetRect(&home);
    const plat::Point homeCentre{(home.left + home.right) / 2, (home.top + home.bottom) / 2};
    const uint32_t homeColour = Pixel(unit, 0, homeCentre.x, homeCentre.y);
    const int midX = (page->m_rcVideo[0] + page->m_rcVideo[2]) / 2;
    const int midY = (page->m_rcVideo[1] + page->m_rcVideo[3]) / 2;
    ASSERT_TRUE(unit.WaitFor([&] { return Near(Pixel(unit, 0, midX, midY), 0x0000FF); }, 4000))
        << std::hex << Pixel(unit, 0, midX, midY);
    EXPECT_FALSE(page->m_bFullScreen);

    // Six seconds alone.
    page->m_dwIdle -= MV_IDLE_FULL_SCREEN_MS - 100;
    unit.Advance(300);
    ASSERT_TRUE(page->m_bFullScreen);
    EXPECT_TRUE(unit.WaitFor([&] { return Near(Pixel(unit, 0, 400, 240), 0x0000FF); }, 4000))
        << std::hex << Pixel(unit, 0, 400, 240);
    // Beside the picture (narrower than the screen) nothing of the page is left.
    EXPECT_EQ(Pixel(unit, 0, homeCentre.x, homeCentre.y), 0u) << std::hex << homeColour;
    EXPECT_EQ(Pixel(unit, 0, 20, 20), 0u) << "the time labels";

    // The first tap on Home only brings the page back, visibly; the second goes home.
    unit.Tap(homeCentre.x, homeCentre.y);
    unit.Advance(60);
    EXPECT_FALSE(page->m_bFullScreen);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MOVIE);
    EXPECT_EQ(Pixel(unit, 0, homeCentre.x, homeCentre.y), homeColour);
    EXPECT_TRUE(Near(Pixel(unit, 0, midX, midY), 0x0000FF));
    unit.Tap(homeCentre.x, homeCentre.y);
    unit.Advance(200);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
}

// A film whose picture the player cannot place (it has only sound) stays with the page when
// left alone: the page shows, so the first tap on Home goes home.
TEST(MoviePage, APictureThatCannotBePlacedKeepsThePage) {
    QuietPlayer quiet;
    const std::string sound = testmedia::LongWav();
    ASSERT_FALSE(sound.empty());
    HeadUnit unit;
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(sound, stick + "/sound.avi");
    CMoviePlayDlg* page = BrowseStick(unit, stick);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"sound.avi"}));
    TapRow(unit, page->FileList(), 0);
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);

    plat::Rect home;
    page->Button(MV_BTN_RET_MENU)->GetRect(&home);
    const plat::Surface before = unit.Screen(0);
    page->m_dwIdle -= MV_IDLE_FULL_SCREEN_MS - 100;
    unit.Advance(300);
    EXPECT_FALSE(page->m_bFullScreen);
    const plat::Surface after = unit.Screen(0);
    int changed = 0;
    for (int y = home.top; y < home.bottom; ++y)
        for (int x = home.left; x < home.right; ++x)
            changed += after.PixelAt(x, y) != before.PixelAt(x, y) ? 1 : 0;
    EXPECT_EQ(changed, 0) << "Home is still shown";
    unit.Tap((home.left + home.right) / 2, (home.top + home.bottom) / 2);
    unit.Advance(200);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
}

namespace {

constexpr uint32_t kFilmColour = 0xFF00FF;  // testmedia::SolidFilm

// Where the page should put a picture of vw x vh on `seat`: fitted into the file list's place
// or the whole screen, then to the aspect mode, whose windowed area takes in the place's last
// column and row.
Box Fitted(CMoviePlayDlg* page, int seat, bool full, int vw, int vh) {
    int ax = 0, ay = 0, aw = 800, ah = seat == 1 ? 600 : 480;
    int w = vw, h = vh;
    if (full) {
        FitVideoSize(aw, ah, true, w, h);
    } else {
        ax = page->m_rcVideo[0];
        ay = page->m_rcVideo[1];
        FitVideoSize(page->m_rcVideo[2] - ax, page->m_rcVideo[3] - ay, false, w, h);
        aw = page->m_rcVideo[2] - ax + 1;
        ah = page->m_rcVideo[3] - ay + 1;
    }
    if (page->m_byAspect == 1)
        h = w * 9 / 16;
    else if (page->m_byAspect == 2)
        h = w * 3 / 4;
    AspectFitSize(full, aw, ah, w, h);
    return Box{ax + (aw - w) / 2, ay + (ah - h) / 2, w, h};
}

// What differs between the box and the film's colour on the screen of `seat`: the film
// fills exactly the box (as far as the screen goes) and nothing beside it.
std::string MisplacedBy(HeadUnit& unit, int seat, const Box& b) {
    const int screenH = seat == 1 ? 600 : 480;
    const int left = std::max(b.x, 0), top = std::max(b.y, 0);
    const int right = std::min(b.x + b.w, 800), bottom = std::min(b.y + b.h, screenH);
    const plat::Surface screen = unit.Screen(seat);
    int l = 800, t = screenH, r = -1, d = -1;
    for (int y = 0; y < screenH; ++y)
        for (int x = 0; x < 800; ++x)
            if (Near(screen.PixelAt(x, y) & 0xFFFFFFu, kFilmColour)) {
                l = std::min(l, x);
                r = std::max(r, x);
                t = std::min(t, y);
                d = std::max(d, y);
            }
    if (l == left && t == top && r + 1 == right && d + 1 == bottom)
        return "";
    char text[128];
    std::snprintf(text, sizeof text, "film at (%d,%d)-(%d,%d), expected (%d,%d)-(%d,%d)", l, t,
                  r + 1, d + 1, left, top, right, bottom);
    return text;
}

void TapSeatButton(HeadUnit& unit, int seat, IKvButton* button) {
    ASSERT_NE(button, nullptr);
    plat::Rect r;
    button->GetRect(&r);
    TapAt(unit, seat, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void TapSeatRow(HeadUnit& unit, int seat, IKvListbox* list, int index) {
    ASSERT_GE(index, 0);
    list->SetCurrentIndex(index);
    plat::Rect r;
    ASSERT_EQ(list->GetItemRect(index, &r), RZ_OK);
    TapAt(unit, seat, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// Plays `name` of the stick's file list on `seat` and checks where its picture lies in every
// aspect mode, windowed and, after the page was left alone, on the whole screen.
void CheckPlacement(HeadUnit& unit, int seat, CMoviePlayDlg* page, const std::string& name, int vw,
                    int vh, bool everyMode) {
    SCOPED_TRACE(name + " on seat " + std::to_string(seat));
    TapSeatRow(unit, seat, page->FileList(), IndexOf(page->FileList(), name));
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    ASSERT_NE(Playing(page).find(name), std::string::npos);
    // The film starts in the mode the page is in.
    const int first = page->m_byAspect;
    for (int step = 0; step < (everyMode ? 3 : 1); ++step) {
        const int mode = (first + step) % 3;
        SCOPED_TRACE("aspect mode " + std::to_string(mode));
        ASSERT_EQ(page->m_byAspect, mode);
        ASSERT_FALSE(page->m_bFullScreen);
        const Box windowed = Fitted(page, seat, false, vw, vh);
        EXPECT_TRUE(unit.WaitFor(
            [&] {
                page->m_dwIdle = plat::GetTickCount();  // however long the first picture takes
                return MisplacedBy(unit, seat, windowed).empty();
            },
            4000))
            << MisplacedBy(unit, seat, windowed);
        // Left alone: the whole screen.
        page->m_dwIdle -= MV_IDLE_FULL_SCREEN_MS - 100;
        unit.Advance(300);
        ASSERT_TRUE(page->m_bFullScreen);
        const Box full = Fitted(page, seat, true, vw, vh);
        if (vw == 800 && vh == 480 && mode == 1) {
            // 16:9 of a picture as wide as the screen.
            EXPECT_EQ(full.w, 800);
            EXPECT_EQ(full.h, 450);
            EXPECT_EQ(full.y, seat == 1 ? 75 : 15);
        }
        EXPECT_TRUE(unit.WaitFor([&] { return MisplacedBy(unit, seat, full).empty(); }, 4000))
            << MisplacedBy(unit, seat, full);
        // A tap brings the page back; the next mode.
        TapAt(unit, seat, 400, 240);
        ASSERT_FALSE(page->m_bFullScreen);
        if (everyMode)
            TapSeatButton(unit, seat, page->Button(MV_BTN_RATIO));
    }
    EXPECT_TRUE(unit.WaitFor(
        [&] {
            page->m_dwIdle = plat::GetTickCount();
            return MisplacedBy(unit, seat, Fitted(page, seat, false, vw, vh)).empty();
        },
        4000))
        << "back in mode " << first;
    page->StopAll();
}

}  // namespace

// Films of one colour as MKV, AVI and MPG, one as wide as the screen and one of 4x4 pixels:
// on both seats the picture lies where the page fits it, windowed and on the whole screen, in
// each aspect mode.
TEST(MoviePage, ThePictureLiesInItsFittedPlaceOnBothSeats) {
    QuietPlayer quiet;
    const std::string mkv = testmedia::SolidFilm("mkv", 800, 480, 60);
    const std::string tiny = testmedia::SolidFilm("mkv", 4, 4, 60);
    const std::string avi = testmedia::SolidFilm("avi", 800, 480, 60);
    const std::string mpg = testmedia::SolidFilm("mpg", 320, 240, 12);
    ASSERT_FALSE(mkv.empty() || tiny.empty() || avi.empty() || mpg.empty());
    HeadUnit unit;
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(mkv, stick + "/wide.mkv");
    CopyTo(tiny, stick + "/tiny.mkv");
    CopyTo(avi, stick + "/wide.avi");
    CopyTo(mpg, stick + "/small.mpg");
    MountStick(unit, stick);

    for (int seat : {0, 1}) {
        OpenMoviePage(unit, seat);
        ASSERT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_MOVIE) << seat;
        CMoviePlayDlg* page = MoviePage(unit, seat);
        ASSERT_NE(page, nullptr);
        // The rear seat's first show starts the film the front seat played last, at the
        // stick's root; stopped, the lists take the pen.
        if (seat == 1) {
            EXPECT_NE(Playing(page).find("small.mpg"), std::string::npos) << Playing(page);
            page->StopAll();
        }
        TapSeatRow(unit, seat, page->DriveList(), ListCount(page->DriveList()) - 1);
        ASSERT_EQ(Names(page->FileList()),
                  (std::vector<std::string>{"small.mpg", "tiny.mkv", "wide.avi", "wide.mkv"}));
        if (seat == 0) {
            CheckPlacement(unit, seat, page, "wide.mkv", 800, 480, true);
            CheckPlacement(unit, seat, page, "tiny.mkv", 4, 4, false);
            // Started in 16:9: the first picture already has it.
            TapSeatButton(unit, seat, page->Button(MV_BTN_RATIO));
            CheckPlacement(unit, seat, page, "small.mpg", 320, 240, false);
        } else {
            CheckPlacement(unit, seat, page, "wide.avi", 800, 480, true);
            CheckPlacement(unit, seat, page, "tiny.mkv", 4, 4, true);
        }
        TapSeatButton(unit, seat, page->Button(MV_BTN_RET_MENU));
        unit.Advance(200);
    }
}

// The place kept at the end of the last run belongs to the film the settings remember: that
// film goes on from there, whether it starts at the first show or from its row; any other
// film starts at its beginning, and the place is dropped.
TEST(MoviePage, TheKeptPlaceIsOnlyForItsOwnFilm) {
    QuietPlayer quiet;
    const std::string film = testmedia::SolidFilm("mkv", 160, 120, 30);
    ASSERT_FALSE(film.empty());
    constexpr int64_t kPlace = 200000000;  // 20 s, out of reach of a start from the beginning
    HeadUnit unit;
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(film, stick + "/top.mkv");
    CopyTo(film, stick + "/Films/a.mkv");
    CopyTo(film, stick + "/Films/b.mkv");
    MountStick(unit, stick);
    const std::u16string letter(1, unit.Kernel()->GetDriveSnapshot().szDrive[0]);
    ASSERT_NE(letter[0], 0);
    SYS_SETTINGS& settings = unit.Kernel()->m_Settings;
    plat::StrCopy(settings.szCurrentMovie, letter + u":\\top.mkv");
    settings.llMoviePosition = kPlace;
    CMoviePlayDlg* page = MoviePage(unit);
    ASSERT_NE(page, nullptr);
    auto position = [&] {
        KvMultimedia::KvPlayerTime t = {};
        page->Player()->GetTime(&t);
        return t.llPosition;
    };

    // The first show starts the remembered film at its place.
    OpenMoviePage(unit);
    ASSERT_EQ(Playing(page), plat::Utf16ToUtf8(letter) + ":\\top.mkv");
    EXPECT_GE(position(), kPlace);
    EXPECT_EQ(settings.llMoviePosition, 0) << "used up";
    EXPECT_NE(unit.Log().find("MEDIA_POSITION: 200000000"), std::string::npos);

    // Another film from the list: from its beginning, and the place is gone.
    page->StopAll();
    plat::StrCopy(settings.szCurrentMovie, letter + u":\\Films\\a.mkv");
    settings.llMoviePosition = kPlace;
    TapRow(unit, page->DriveList(), IndexOf(page->DriveList(), "Films"));
    ASSERT_EQ(Names(page->FileList()), (std::vector<std::string>{"a.mkv", "b.mkv"}));
    TapRow(unit, page->FileList(), 1);
    ASSERT_NE(Playing(page).find("b.mkv"), std::string::npos);
    EXPECT_LT(position(), kPlace);
    EXPECT_EQ(settings.llMoviePosition, 0);
    page->StopAll();
    TapRow(unit, page->FileList(), 0);
    ASSERT_NE(Playing(page).find("a.mkv"), std::string::npos);
    EXPECT_LT(position(), kPlace) << "the place went with the other film's start";

    // The remembered film from its row goes on from its place.
    page->StopAll();
    settings.llMoviePosition = kPlace;
    TapRow(unit, page->FileList(), 0);
    ASSERT_NE(Playing(page).find("a.mkv"), std::string::npos);
    EXPECT_GE(position(), kPlace);
    EXPECT_EQ(settings.llMoviePosition, 0);

    // Home from a paused film: the film is closed, the words say so, the seat goes home.
    TapButton(unit, page->Button(MV_BTN_PAUSE));
    EXPECT_EQ(ActionF(unit), 0x70203u);
    EXPECT_EQ(Status(unit), 0x70201u);
    page->RunButton(MV_BTN_RET_MENU);
    EXPECT_EQ(ActionF(unit), 0x70800u);
    EXPECT_EQ(Status(unit), 0u);
    EXPECT_EQ(page->Player()->GetMediaType(), IKvPlayer::MEDIA_NONE);
    unit.Advance(200);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
}

// At the end of a film the next one of the list plays, a broken one skipped; after five that
// cannot be opened in a row the page stops, without a message.
TEST(MoviePage, TheEndOfAFilmSkipsBrokenOnesAndGivesUpAfterFive) {
    QuietPlayer quiet;
    const std::string mp4 = testmedia::VideoMp4();
    ASSERT_FALSE(mp4.empty());
    HeadUnit unit;
    ASSERT_NE(StartUnit(unit), nullptr);
    const std::string stick = unit.Drives().Folder("films");
    CopyTo(mp4, stick + "/a.mp4");
    CopyTo(mp4, stick + "/c.mp4");
    for (const char* broken : {"b", "d", "e", "f", "g", "h"})
        testsupport::WriteText(stick + "/" + broken + ".mp4", "not a film");
    // The marker that has every film started logged.
    testsupport::WriteText(unit.File(MARKER_PLAY_LOG), "");
    CMoviePlayDlg* page = BrowseStick(unit, stick);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(ListCount(page->FileList()), 8);
    TapRow(unit, page->FileList(), 0);
    ASSERT_NE(Playing(page).find("a.mp4"), std::string::npos);
    const std::string stickLetter = Playing(page).substr(0, 1);
    auto toTheEnd = [&] {
        page->Player()->SetPosition(19000000);  // 1.9 s of 2
        return unit.WaitFor(
            [&] {
                unit.Advance(300);
                return Playing(page).find("a.mp4") == std::string::npos;
            },
            8000);
    };
    ASSERT_TRUE(toTheEnd());
    EXPECT_NE(Playing(page).find("c.mp4"), std::string::npos) << Playing(page);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(ActionF(unit), 0x10070103u);
    EXPECT_EQ(CurrentRow(page->FileList()), 2);

    // d to h cannot be opened: the page stops rather than going round to a.
    page->Player()->SetPosition(19000000);
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            unit.Advance(300);
            return Playing(page).empty();
        },
        8000))
        << Playing(page);
    unit.Advance(1000);
    EXPECT_TRUE(Playing(page).empty());
    EXPECT_NE(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_PLAY)));
    EXPECT_TRUE(unit.TakeBoxes().empty());
    size_t failures = 0;
    const std::string log = unit.Log();
    for (size_t at = log.find("Movie: cannot open"); at != std::string::npos;
         at = log.find("Movie: cannot open", at + 1))
        ++failures;
    EXPECT_EQ(failures, 6u) << "b once, then d to h";
    EXPECT_NE(log.find("Play: [" + stickLetter + ":\\a.mp4]"), std::string::npos) << log;
    EXPECT_NE(log.find("Play: [" + stickLetter + ":\\h.mp4]"), std::string::npos);
}

namespace {

// The middle of the disc menu's highlighted (yellow) button as the screen of `seat` shows it;
// false while no such button is on screen.
bool YellowButtonCentre(HeadUnit& unit, int seat, plat::Point* centre) {
    const plat::Surface screen = unit.Screen(seat);
    int left = screen.Width(), top = screen.Height(), right = -1, bottom = -1;
    for (int y = 0; y < screen.Height(); y += 2)
        for (int x = 0; x < screen.Width(); x += 2)
            if (Near(screen.PixelAt(x, y) & 0xFFFFFFu, 0xFFFF00, 40)) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    if (right < left + 20 || bottom < top + 10)
        return false;
    *centre = plat::Point{(left + right) / 2, (top + bottom) / 2};
    return true;
}

// The title's place on screen, in whole seconds, as the player's time gives it.
int TitleSeconds(CMoviePlayDlg* page) {
    KvMultimedia::KvPlayerTime t = {};
    page->Player()->GetTime(&t);
    const std::string text = plat::Utf16ToUtf8(t.szCurrent);
    int h = 0, m = 0, s = 0;
    return std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) == 3 ? h * 3600 + m * 60 + s : -1;
}

std::string TimeLabel(CMoviePlayDlg* page, int index) {
    char16_t* text = nullptr;
    if (!page->TimeLabel(index) || page->TimeLabel(index)->GetText(&text) != RZ_OK || !text)
        return "";
    return plat::Utf16ToUtf8(text);
}

}  // namespace

// A disc menu as its user meets it: left alone it goes to the whole screen, and one tap where
// the screen then shows its button (not where the button was before the switch) starts the
// title; a tap off the buttons only brings the page back. The time labels show the title's
// times and, in a menu, none rather than the title's last ones. The title plays fast, without
// sound, at the speeds the speed button steps through; the menu does not.
TEST(MoviePage, ADiscMenuTakesOneTapWhereTheScreenShowsItsButton) {
    QuietPlayer quiet;
    WaveOutCard card;
    if (!card.Running())
        std::fprintf(stderr, "no sound server, the wave output is not watched: %s\n",
                     card.Error().c_str());
    HeadUnit unit(card.Options());
    OpticalDrive drive(unit, "dvd", "udf");
    ASSERT_NO_FATAL_FAILURE(MakeDvd(drive.Disc(), 30));
    CMoviePlayDlg* page = StartWithTheDvdInserted(unit, drive);
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(WaitForDomain(unit, page, KvMultimedia::DVD_DOMAIN_VideoManagerMenu, 8000));
    plat::Point windowed{};
    ASSERT_TRUE(unit.WaitFor([&] { return YellowButtonCentre(unit, 0, &windowed); }, 8000));
    EXPECT_FALSE(page->m_bFullScreen);

    // The menu has no time to go through fast: the speed button does nothing.
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    EXPECT_EQ(page->m_bySpeed, 0);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_SPEED_ICON)));
    EXPECT_NE(ActionF(unit) & 0xFFFFFF00u, 0x70700u);
    EXPECT_WAVE_OUT(card, 0);

    // Left alone, the menu fills the screen, and its button moves with the picture.
    page->m_dwIdle -= MV_IDLE_FULL_SCREEN_MS - 100;
    unit.Advance(300);
    ASSERT_TRUE(page->m_bFullScreen);
    plat::Point full{};
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            return YellowButtonCentre(unit, 0, &full) &&
                   (full.x != windowed.x || full.y != windowed.y);
        },
        8000));

    // A release without its press (the rest of the tap that opened the page) does nothing:
    // neither the menu's button nor the way back from the whole screen.
    unit.PenUp(full.x, full.y);
    unit.Advance(600);
    EXPECT_TRUE(page->m_bFullScreen);
    EXPECT_NE(Domain(page), KvMultimedia::DVD_DOMAIN_Title);

    // One tap on the button as shown, the pointer moved there first as a mouse does, and
    // no second chance: the disc goes to its title.
    unit.PenMove(full.x, full.y);
    unit.Advance(40);
    unit.Tap(full.x, full.y);
    ASSERT_TRUE(unit.WaitFor([&] { return Domain(page) == KvMultimedia::DVD_DOMAIN_Title; }, 8000))
        << Domain(page);

    // The title's times, then none in its menu.
    ASSERT_TRUE(unit.WaitFor(
        [&] { return TimeLabel(page, 1) != "00:00:00" && !TimeLabel(page, 1).empty(); }, 8000))
        << TimeLabel(page, 1);
    EXPECT_EQ(TimeLabel(page, 1).substr(0, 6), "00:00:");

    // How far the title moves on in `seconds` of real time, the unit running meanwhile.
    auto TitleAdvanceIn = [&](int seconds) {
        const int from = TitleSeconds(page);
        const auto start = std::chrono::steady_clock::now();
        unit.WaitFor(
            [&] {
                return std::chrono::steady_clock::now() - start >= std::chrono::seconds(seconds);
            },
            seconds * 1000 + 1000);
        return TitleSeconds(page) - from;
    };
    // Fast play: x2, then x4, without sound. Five seconds at x4 take the title about twenty
    // seconds on, its picture stepping on in the page's window.
    page->FitVideoWindow(false, true);
    unit.Advance(60);
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    EXPECT_EQ(page->m_bySpeed, 1);
    EXPECT_EQ(ActionF(unit), 0x70701u);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_SPEED)));
    EXPECT_WAVE_OUT(card, 1);
    TapButton(unit, page->Button(MV_BTN_SPEED));
    ASSERT_EQ(page->m_bySpeed, 2);
    EXPECT_EQ(ActionF(unit), 0x70702u);
    const int advanced = TitleAdvanceIn(5);
    EXPECT_GE(advanced, 15);
    EXPECT_LE(advanced, 25);
    EXPECT_EQ(page->m_bySpeed, 2);
    EXPECT_FALSE(page->m_bFullScreen);
    EXPECT_WAVE_OUT(card, 1);
    // The third step is x6, the fourth normal speed again, with sound.
    TapButton(unit, page->Button(MV_BTN_SPEED));
    EXPECT_EQ(page->m_bySpeed, 3);
    EXPECT_EQ(ActionF(unit), 0x70703u);
    TapButton(unit, page->Button(MV_BTN_SPEED));
    EXPECT_EQ(page->m_bySpeed, 0);
    EXPECT_EQ(ActionF(unit), 0x70700u);
    EXPECT_TRUE(Visible(page->Button(MV_BTN_SPEED_ICON)));
    EXPECT_WAVE_OUT(card, 0);
    // Pause, then Play: normal speed and sound.
    TapButton(unit, page->Button(MV_BTN_SPEED_ICON));
    ASSERT_EQ(page->m_bySpeed, 1);
    TapButton(unit, page->Button(MV_BTN_PAUSE));
    EXPECT_EQ(page->m_bySpeed, 0);
    EXPECT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PAUSED);
    EXPECT_WAVE_OUT(card, 0);
    TapButton(unit, page->Button(MV_BTN_PLAY));
    ASSERT_EQ(page->Player()->GetStatus(), IKvPlayer::STATUS_PLAYING);
    const int normal = TitleAdvanceIn(3);
    EXPECT_GE(normal, 2);
    EXPECT_LE(normal, 4);

    ASSERT_EQ(page->Player()->ShowTitleMenu(), RZ_OK);
    ASSERT_TRUE(unit.WaitFor(
        [&] {
            const KvMultimedia::KvDvdDomain d = Domain(page);
            return d == KvMultimedia::DVD_DOMAIN_VideoManagerMenu ||
                   d == KvMultimedia::DVD_DOMAIN_VideoTitleSetMenu;
        },
        8000))
        << Domain(page);
    EXPECT_TRUE(unit.WaitFor(
        [&] { return TimeLabel(page, 0) == "00:00:00" && TimeLabel(page, 1) == "00:00:00"; }, 6000))
        << TimeLabel(page, 0) << " / " << TimeLabel(page, 1);
}
