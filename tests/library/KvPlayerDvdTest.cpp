// The DVD operations of the player on the disc tests/media/make-dvd.sh authors: menus with two
// buttons, one title of 4 s with chapters at 0 s and 1.8 s, audio "en" and "sv", sub-picture
// "de" (a white box, hidden unless switched on).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "library/include/Vantrel.h"
#include "library/multimedia/KvLanguageTable.h"
#include "library/multimedia/KvPlayer.h"
#include "platform/io/Binary.h"
#include "platform/io/File.h"
#include "platform/media/MediaConfig.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "tests/media/TestMedia.h"
#include "tests/support/TestSupport.h"

using KvMultimedia::CKvPlayer;
using KvMultimedia::IKvPlayer;
using KvMultimedia::KvDvdDomain;
using KvMultimedia::KvPlayerTime;

namespace {

constexpr uint32_t kMove = KvMultimedia::KV_MOUSE_MOVE;
constexpr uint32_t kUp = KvMultimedia::KV_LBUTTON_UP;

std::string Utf8(const char16_t* s) {
    return plat::Utf16ToUtf8(s);
}

struct Bookmark {
    int title = 0;
    int chapter = 0;
    uint16_t streams = 0;
    int64_t position = 0;  // 100 ns
};

bool ReadBookmark(const std::string& path, Bookmark* out) {
    std::vector<uint8_t> data;
    if (!plat::ReadWholeFile(path, data) || data.size() != CKvPlayer::kBookmarkSize)
        return false;
    plat::BinReader r(data);
    char magic[4];
    r.Bytes(magic, 4);
    if (std::string(magic, 4) != "KvBm" || r.U16() != 1)
        return false;
    out->title = r.U16();
    out->chapter = r.U16();
    out->streams = r.U16();
    out->position = r.I64();
    return r.Ok();
}

// A copy of the test disc that a test may change.
std::string CopyDisc(const testsupport::TempDir& dir, const std::string& name) {
    const std::string to = dir.File(name);
    std::filesystem::copy(testmedia::Dvd(), to, std::filesystem::copy_options::recursive);
    return to;
}

class KvPlayerDvdTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetAudioOutput("fakesink sync=true");
        // An empty drive: the movie page names the folder.
        plat::SetOpticalDevice(m_dir.File("no-drive"));
        m_root = CreateIVantrel();
        ASSERT_NE(m_root, nullptr);
        ASSERT_EQ(m_root->CreatePlayer(&m_player), RZ_OK);
        ASSERT_EQ(m_player->Init(0, 0xD7D), RZ_OK);
    }
    void TearDown() override {
        if (m_player) {
            EXPECT_EQ(m_player->Release(), 0);
        }
        if (m_root)
            m_root->Release();
        plat::SetOpticalDevice("");
    }

    // Opens a folder the way the movie page does: the disc first, then VIDEO_TS.IFO's path.
    void OpenFolder(const std::string& folder) {
        ASSERT_EQ(m_player->OpenDisc(IKvPlayer::MEDIA_DVD), RZ_OK);
        const std::u16string ifo = plat::Utf8ToUtf16(folder + "/VIDEO_TS/VIDEO_TS.IFO");
        ASSERT_EQ(m_player->SetDVDDirectory(ifo.c_str()), RZ_OK);
        EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_DVD);
    }

    KvDvdDomain Domain() {
        KvDvdDomain domain = KvMultimedia::DVD_DOMAIN_FirstPlay;
        EXPECT_EQ(m_player->GetCurrentDomain(&domain), RZ_OK);
        return domain;
    }

    // Runs the page's tick until the condition holds or the time is up.
    bool Tick(const std::function<bool()>& condition, int timeoutMs = 8000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            m_player->HandleEvent();
            if (condition())
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    // Plays the disc until its title menu is up: past the first-play program's red intro, which
    // is a menu of the video manager too, to the blue menu picture.
    void PlayToMenu(const std::string& folder) {
        OpenFolder(folder);
        ASSERT_EQ(m_player->Play(), RZ_OK);
        auto video = static_cast<CKvPlayer*>(m_player)->VideoWindow();
        ASSERT_TRUE(Tick([&] {
            plat::Surface frame;
            if (Domain() != KvMultimedia::DVD_DOMAIN_VideoManagerMenu || !video->CopyFrame(frame))
                return false;
            const uint32_t p = frame.PixelAt(300, 20);
            return (p & 0xFF) > 0xC0 && ((p >> 16) & 0xFF) < 0x40;
        }));
    }

    bool InTitle() { return Domain() == KvMultimedia::DVD_DOMAIN_Title; }

    // Where the title stands, read through a bookmark as the movie page keeps it.
    Bookmark Place() {
        const std::string path = m_dir.File("place.bmk");
        plat::RemoveFile(path);
        Bookmark b;
        EXPECT_EQ(m_player->SaveBookmark(plat::Utf8ToUtf16(path).c_str()), RZ_OK);
        EXPECT_TRUE(ReadBookmark(path, &b));
        return b;
    }

    testsupport::TempDir m_dir;
    IVantrel* m_root = nullptr;
    IKvPlayer* m_player = nullptr;
};

}  // namespace

TEST_F(KvPlayerDvdTest, WithoutADvdTheOperationsFail) {
    char16_t names[64][128];
    uint32_t count = 0, current = 0, mask = 0;
    int disabled = 0;
    KvDvdDomain domain;
    EXPECT_EQ(m_player->DvdMouse(kUp, 10, 10), RZ_FAIL);
    EXPECT_EQ(m_player->ShowTitleMenu(), RZ_FAIL);
    EXPECT_EQ(m_player->ShowRootMenu(), RZ_FAIL);
    EXPECT_EQ(m_player->GetDvdText(0, &count), RZ_FAIL);
    EXPECT_EQ(m_player->GetSubpictureStreams(names, &count, &current, &disabled), RZ_FAIL);
    EXPECT_EQ(m_player->GetAudioStreams(names, &count, &current), RZ_FAIL);
    EXPECT_EQ(m_player->SetSubpicture(1, 0), RZ_FAIL);
    EXPECT_EQ(m_player->SelectAudio(0), RZ_FAIL);
    EXPECT_EQ(m_player->SetDVDDirectory(u"/somewhere"), RZ_FAIL);
    EXPECT_EQ(m_player->GetCurrentUOPs(&mask), RZ_FAIL);
    EXPECT_EQ(m_player->GetCurrentDomain(&domain), RZ_FAIL);
    EXPECT_EQ(m_player->ActivateButton(), RZ_FAIL);
    EXPECT_EQ(m_player->SaveBookmark(m_dir.File16("b.bmk").c_str()), RZ_FAIL);
    EXPECT_EQ(m_player->LoadBookmark(m_dir.File16("b.bmk").c_str()), RZ_FAIL);
    // An empty path is no request at all.
    EXPECT_EQ(m_player->SaveBookmark(u""), RZ_OK);
    EXPECT_EQ(m_player->LoadBookmark(u""), RZ_OK);
    EXPECT_EQ(m_player->SaveBookmark(nullptr), RZ_OK);
    EXPECT_FALSE(testsupport::Exists(m_dir.File("b.bmk")));
    EXPECT_EQ(m_player->GetAudioChannels(), 0);

    // Files leave the AC-3 count at 0.
    ASSERT_EQ(
        m_player->OpenFile(plat::Utf8ToUtf16(testmedia::Wav()).c_str(), IKvPlayer::MEDIA_FILE),
        RZ_OK);
    EXPECT_EQ(m_player->GetAudioChannels(), 0);
    EXPECT_EQ(m_player->GetCurrentDomain(&domain), RZ_FAIL);
}

TEST_F(KvPlayerDvdTest, EmptyDriveIsPreparedAndPlayFailsCleanly) {
    ASSERT_EQ(m_player->OpenDisc(IKvPlayer::MEDIA_DVD), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_STOPPED);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_DVD);
    EXPECT_EQ(Domain(), KvMultimedia::DVD_DOMAIN_Stop);
    EXPECT_EQ(m_player->GetAudioChannels(), 0);
    uint32_t mask = 0xFFFFFFFF;
    EXPECT_EQ(m_player->GetCurrentUOPs(&mask), RZ_OK);
    EXPECT_EQ(mask, 0u);

    // Nothing to list yet: the page gets its warning box and keeps its lists.
    char16_t names[KvMultimedia::KV_MAX_STREAMS][KvMultimedia::KV_STREAM_NAME_CHARS];
    uint32_t count = 7, current = 7;
    plat::ui::TakeMessageBoxes();
    EXPECT_EQ(m_player->GetAudioStreams(names, &count, &current), RZ_FAIL);
    EXPECT_EQ(count, 7u);
    const auto boxes = plat::ui::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Not ready to find language information");
    EXPECT_EQ(boxes[0].caption, u"Warning");

    // A Play that fails closes the player, as for a file.
    EXPECT_EQ(m_player->Play(), RZ_FAIL);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_NONE);

    // A folder that is no DVD: named without complaint, refused at Play.
    const std::string junk = m_dir.File("junk");
    ASSERT_TRUE(plat::MakeDirectory(junk));
    ASSERT_TRUE(plat::MakeDirectory(junk + "/VIDEO_TS"));
    testsupport::WriteText(junk + "/VIDEO_TS/VIDEO_TS.IFO", std::string(4096, 'x'));
    OpenFolder(junk);
    EXPECT_EQ(m_player->Play(), RZ_FAIL);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
}

TEST_F(KvPlayerDvdTest, TheFirstPlayProgramRunsBeforeTheTitleMenu) {
    OpenFolder(testmedia::Dvd());
    ASSERT_EQ(m_player->Play(), RZ_OK);
    // The disc's first-play program shows a red intro; the title menu is blue.
    auto video = static_cast<CKvPlayer*>(m_player)->VideoWindow();
    bool red = false;
    bool blueAfterRed = false;
    ASSERT_TRUE(Tick([&] {
        plat::Surface frame;
        if (!video->CopyFrame(frame))
            return false;
        const uint32_t p = frame.PixelAt(300, 20);
        const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
        if (r > 0xC0 && g < 0x40 && b < 0x40)
            red = true;
        if (b > 0xC0 && r < 0x40 && g < 0x40 &&
            Domain() == KvMultimedia::DVD_DOMAIN_VideoManagerMenu)
            blueAfterRed = red;
        return b > 0xC0 && r < 0x40 && g < 0x40;
    }));
    EXPECT_TRUE(red);
    EXPECT_TRUE(blueAfterRed) << Domain();
}

TEST_F(KvPlayerDvdTest, ChapterSkipsMoveFromTheChapterOnScreen) {
    PlayToMenu(testmedia::Dvd());
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    // In chapter 1, a second in: Backward starts it again.
    ASSERT_TRUE(Tick([&] { return Place().position > 10000000; }));
    ASSERT_EQ(Place().chapter, 1);
    ASSERT_EQ(m_player->Backward(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().position < 8000000; }));
    Bookmark b = Place();
    EXPECT_EQ(b.title, 1);
    EXPECT_EQ(b.chapter, 1);

    // Within a second of chapter 1's end (the navigator already reads chapter 2): one chapter
    // on, to the start of chapter 2, not past it.
    ASSERT_TRUE(Tick([&] { return Place().position > 10000000; }));
    ASSERT_EQ(Place().chapter, 1);
    ASSERT_EQ(m_player->Forward(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().chapter == 2; }));
    b = Place();
    EXPECT_EQ(b.title, 1);
    EXPECT_LT(b.position, 30000000);
    // The last chapter has no next one.
    EXPECT_EQ(m_player->Forward(), RZ_FAIL);
    EXPECT_TRUE(InTitle());

    // Backward in chapter 2 goes to chapter 1.
    ASSERT_EQ(m_player->Backward(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().chapter == 1; }));
}

// The navigator plays a disc at normal speed only; a faster rate steps a title on by time
// seeks. A menu has nothing to step through: the rate is taken and the menu plays on. Play
// brings normal speed back.
TEST_F(KvPlayerDvdTest, AFasterRateStepsOnlyATitleAndPlayEndsIt) {
    PlayToMenu(testmedia::Dvd());
    EXPECT_EQ(m_player->SetRate(2.0), RZ_OK);
    EXPECT_FALSE(Tick([&] { return Domain() != KvMultimedia::DVD_DOMAIN_VideoManagerMenu; }, 600));
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().position > 2000000; }));
    // How fast the title moves over 0.8 s of real time, the page's tick running.
    auto rate = [&] {
        const int64_t from = Place().position;
        Tick([] { return false; }, 800);
        return (Place().position - from) / 8000000.0;
    };
    const double entered = rate();
    EXPECT_GT(entered, 0.75) << "the rate given in the menu steps nothing in the title";
    EXPECT_LT(entered, 1.3);
    EXPECT_EQ(m_player->SetRate(2.0), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);
    const double after = rate();
    EXPECT_GT(after, 0.75);
    EXPECT_LT(after, 1.3);
}

TEST_F(KvPlayerDvdTest, ATitleWithoutSubpicturesListsNone) {
    // Title 2 lies in a title set without sub-picture streams: reached through a bookmark.
    plat::BinWriter w;
    w.Bytes("KvBm", 4);
    w.U16(1);
    w.U16(2);  // title
    w.U16(1);  // chapter
    w.U16(0);
    w.I64(0);
    const std::string path = m_dir.File("title2.bmk");
    ASSERT_TRUE(plat::WriteFileAtomic(path, w.Data()));
    OpenFolder(testmedia::Dvd());
    ASSERT_EQ(m_player->Pause(), RZ_OK);
    ASSERT_EQ(m_player->LoadBookmark(plat::Utf8ToUtf16(path).c_str()), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().title == 2; }));
    char16_t names[KvMultimedia::KV_MAX_STREAMS][KvMultimedia::KV_STREAM_NAME_CHARS] = {};
    uint32_t count = 9, current = 9;
    int disabled = 0;
    ASSERT_EQ(m_player->GetSubpictureStreams(names, &count, &current, &disabled), RZ_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(m_player->GetAudioStreams(names, &count, &current), RZ_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(Utf8(names[0]), "English");
}

TEST_F(KvPlayerDvdTest, MenuButtonsByPointAndByNumber) {
    PlayToMenu(testmedia::Dvd());
    EXPECT_EQ(m_player->GetAudioChannels(), 2);  // stereo AC-3
    uint32_t w = 0, h = 0;
    ASSERT_EQ(m_player->GetVideoSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 352u);
    EXPECT_EQ(h, 288u);
    KvPlayerTime t{};
    EXPECT_EQ(m_player->GetTime(&t), RZ_FAIL);  // a menu has no title time
    EXPECT_EQ(Utf8(t.szTotal), "00:00:00");

    // The picture fills the owner's area at twice its size: points are scaled back.
    ASSERT_EQ(m_player->SetVideoPos(100, 50, 704, 576), RZ_OK);
    EXPECT_EQ(m_player->DvdMouse(kMove, 100 + 2 * 300, 50 + 2 * 20), RZ_OK);
    EXPECT_EQ(m_player->DvdMouse(kUp, 100 + 2 * 300, 50 + 2 * 20), RZ_FAIL);   // no button
    EXPECT_EQ(m_player->DvdMouse(kUp, 20, 20), RZ_FAIL);                       // off the picture
    EXPECT_EQ(m_player->DvdMouse(0x201, 100 + 2 * 120, 50 + 2 * 210), RZ_OK);  // ignored
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);

    // Moving over a button highlights it (yellow on the blue menu).
    auto video = static_cast<CKvPlayer*>(m_player)->VideoWindow();
    auto yellow = [&](int x, int y) {
        plat::Surface frame;
        if (!video->CopyFrame(frame))
            return false;
        const uint32_t p = frame.PixelAt(x, y);
        return ((p >> 16) & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) > 0xC0 && (p & 0xFF) < 0x40;
    };
    ASSERT_TRUE(Tick([&] {
        m_player->DvdMouse(kMove, 100 + 2 * 100, 50 + 2 * 210);
        return yellow(120, 210) && !yellow(120, 90);
    }));
    ASSERT_TRUE(Tick([&] {
        m_player->DvdMouse(kMove, 100 + 2 * 100, 50 + 2 * 90);
        return yellow(120, 90) && !yellow(120, 210);
    }));
    // Button 2 jumps to chapter 2.
    ASSERT_EQ(m_player->DvdMouse(kUp, 100 + 2 * 120, 50 + 2 * 210), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    Bookmark b = Place();
    EXPECT_EQ(b.title, 1);
    EXPECT_EQ(b.chapter, 2);
    // While the title plays the pointer is not the menu's.
    EXPECT_EQ(m_player->DvdMouse(kUp, 100 + 2 * 120, 50 + 2 * 210), RZ_FAIL);

    // Back to the title menu, where button 1 is selected: activating it starts the title.
    ASSERT_EQ(m_player->ShowTitleMenu(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return Domain() == KvMultimedia::DVD_DOMAIN_VideoManagerMenu; }));
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    b = Place();
    EXPECT_EQ(b.title, 1);
    EXPECT_EQ(b.chapter, 1);
    ASSERT_EQ(m_player->GetTime(&t), RZ_OK);
    EXPECT_EQ(Utf8(t.szTotal), "00:00:04");
    EXPECT_EQ(t.byTrack, 0);
    EXPECT_TRUE(Utf8(t.szCurrent) == "00:00:00" || Utf8(t.szCurrent) == "00:00:01")
        << Utf8(t.szCurrent);
}

TEST_F(KvPlayerDvdTest, MenusToggleAndChaptersMove) {
    // The library log, switched on in the test's own folder.
    testsupport::ScopedCwd cwd(m_dir.Path());
    testsupport::WriteText(m_dir.File("zz-Vantrel.txt"), "");
    PlayToMenu(testmedia::Dvd());
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    EXPECT_EQ(Place().chapter, 1);

    ASSERT_EQ(m_player->Forward(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().chapter == 2; }));
    ASSERT_EQ(m_player->Backward(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().chapter == 1; }));

    // The title menu once shows it, twice goes back to the title.
    ASSERT_EQ(m_player->ShowTitleMenu(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);
    ASSERT_TRUE(Tick([&] { return Domain() == KvMultimedia::DVD_DOMAIN_VideoManagerMenu; }));
    ASSERT_EQ(m_player->ShowTitleMenu(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));

    // The root menu is the title set's.
    ASSERT_EQ(m_player->ShowRootMenu(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return Domain() == KvMultimedia::DVD_DOMAIN_VideoTitleSetMenu; }));
    ASSERT_EQ(m_player->Pause(), RZ_OK);
    EXPECT_EQ(m_player->ShowRootMenu(), RZ_FAIL);
    EXPECT_EQ(m_player->ShowTitleMenu(), RZ_FAIL);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_EQ(m_player->DvdMouse(kUp, 100, 90), RZ_OK);  // button 1
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_PLAYING);

    // Stop goes back to the very start; Play runs the disc again from its menu.
    ASSERT_EQ(m_player->Stop(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_STOPPED);
    EXPECT_EQ(Domain(), KvMultimedia::DVD_DOMAIN_Stop);
    EXPECT_EQ(m_player->Forward(), RZ_FAIL);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return Domain() == KvMultimedia::DVD_DOMAIN_VideoManagerMenu; }));

    // The navigator's changes were raised as events on the way.
    const std::string log = testsupport::ReadText(m_dir.File("zz-Vantrel.log"));
    for (const char* line :
         {"evCode = 0x101", "m_byDVDStatus = STATUS_DVD_MENU | DVD_DOMAIN_VideoTitleSetMenu",
          "DVD_DOMAIN_Title", "evCode = 0x102", "EC_DVD_TITLE_CHANGE", "evCode = 0x103",
          "EC_DVD_CHAPTER_START"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
}

TEST_F(KvPlayerDvdTest, StreamsAreListedByNameAndChosen) {
    PlayToMenu(testmedia::Dvd());
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));

    char16_t names[KvMultimedia::KV_MAX_STREAMS][KvMultimedia::KV_STREAM_NAME_CHARS] = {};
    uint32_t count = 0, current = 9;
    int disabled = 0;
    ASSERT_TRUE(Tick(
        [&] { return m_player->GetAudioStreams(names, &count, &current) == RZ_OK && count == 2; }));
    EXPECT_EQ(Utf8(names[0]), "English");
    EXPECT_EQ(Utf8(names[1]), "Swedish");
    EXPECT_EQ(current, 0u);
    ASSERT_EQ(m_player->GetSubpictureStreams(names, &count, &current, &disabled), RZ_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(Utf8(names[0]), "German");
    EXPECT_EQ(current, 0u);
    EXPECT_EQ(disabled, 1);

    ASSERT_EQ(m_player->SelectAudio(1), RZ_OK);
    ASSERT_TRUE(Tick([&] {
        return m_player->GetAudioStreams(names, &count, &current) == RZ_OK && current == 1;
    }));

    // The sub-picture box shows once switched on, and goes again once switched off.
    auto video = static_cast<CKvPlayer*>(m_player)->VideoWindow();
    auto white = [](uint32_t p) {
        return ((p >> 16) & 0xFF) > 0xE0 && ((p >> 8) & 0xFF) > 0xE0 && (p & 0xFF) > 0xE0;
    };
    auto boxShown = [&] {
        // The box covers a green bar; below it the picture is dark.
        plat::Surface frame;
        return video->CopyFrame(frame) && white(frame.PixelAt(176, 144)) &&
               !white(frame.PixelAt(176, 200));
    };
    EXPECT_FALSE(boxShown());
    ASSERT_EQ(m_player->SetSubpicture(1, 0), RZ_OK);
    ASSERT_TRUE(Tick([&] { return boxShown(); }));
    ASSERT_EQ(m_player->GetSubpictureStreams(names, &count, &current, &disabled), RZ_OK);
    EXPECT_EQ(disabled, 0);
    ASSERT_EQ(m_player->SetSubpicture(0, 0), RZ_OK);
    ASSERT_TRUE(Tick([&] {
        return m_player->GetSubpictureStreams(names, &count, &current, &disabled) == RZ_OK &&
               disabled == 1;
    }));
}

// The navigator announces its own audio stream again at every cell; the chosen one stays.
TEST_F(KvPlayerDvdTest, ChosenAudioHoldsIntoTheNextChapter) {
    PlayToMenu(testmedia::Dvd());
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    char16_t names[KvMultimedia::KV_MAX_STREAMS][KvMultimedia::KV_STREAM_NAME_CHARS] = {};
    uint32_t count = 0, current = 9;
    ASSERT_TRUE(Tick([&] {
        return InTitle() && m_player->GetAudioStreams(names, &count, &current) == RZ_OK &&
               count == 2;
    }));
    ASSERT_EQ(m_player->SelectAudio(1), RZ_OK);
    ASSERT_TRUE(Tick([&] {
        return m_player->GetAudioStreams(names, &count, &current) == RZ_OK && current == 1;
    }));
    // Well into the second chapter, which starts a cell of its own at 1.8 s.
    ASSERT_TRUE(Tick([&] {
        const Bookmark place = Place();
        return place.chapter == 2 && place.position > 25000000;
    }));
    ASSERT_EQ(m_player->GetAudioStreams(names, &count, &current), RZ_OK);
    EXPECT_EQ(current, 1u);
}

TEST_F(KvPlayerDvdTest, BookmarkResumesTheSameTitleAndChapter) {
    const std::string path = m_dir.File("disc_1.bmk");
    const std::u16string path16 = plat::Utf8ToUtf16(path);
    PlayToMenu(testmedia::Dvd());
    // Nothing to keep while a menu is up.
    EXPECT_EQ(m_player->SaveBookmark(path16.c_str()), RZ_OK);
    EXPECT_FALSE(testsupport::Exists(path));

    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    // The Swedish sound and the German sub-pictures, shown, are kept with the place.
    char16_t names[KvMultimedia::KV_MAX_STREAMS][KvMultimedia::KV_STREAM_NAME_CHARS] = {};
    uint32_t count = 0, current = 9;
    int disabled = 1;
    ASSERT_TRUE(Tick([&] {
        return InTitle() && m_player->GetAudioStreams(names, &count, &current) == RZ_OK &&
               count == 2;
    }));
    ASSERT_EQ(m_player->SelectAudio(1), RZ_OK);
    ASSERT_EQ(m_player->SetSubpicture(1, 0), RZ_OK);
    ASSERT_TRUE(Tick([&] {
        return m_player->GetAudioStreams(names, &count, &current) == RZ_OK && current == 1 &&
               m_player->GetSubpictureStreams(names, &count, &current, &disabled) == RZ_OK &&
               disabled == 0;
    }));
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().position > 22000000; }));
    ASSERT_EQ(m_player->SaveBookmark(path16.c_str()), RZ_OK);
    Bookmark saved;
    ASSERT_TRUE(ReadBookmark(path, &saved));
    EXPECT_EQ(saved.title, 1);
    EXPECT_EQ(saved.chapter, 2);
    EXPECT_EQ(saved.streams, CKvPlayer::kStreamsKept | CKvPlayer::kSubpictureKept |
                                 CKvPlayer::kSubpictureShown | 1);
    // Saved again over it: replaced whole, nothing else left in the folder.
    ASSERT_EQ(m_player->SaveBookmark(path16.c_str()), RZ_OK);
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
        files += entry.path().filename() == "disc_1.bmk" ? 0 : 1;
    EXPECT_EQ(files, 1u);  // the place.bmk of Place()
    ASSERT_TRUE(ReadBookmark(path, &saved));
    ASSERT_EQ(m_player->Close(), RZ_OK);

    // The movie page's resume: open, pause, load, play.
    OpenFolder(testmedia::Dvd());
    ASSERT_EQ(m_player->Pause(), RZ_OK);
    ASSERT_EQ(m_player->LoadBookmark(path16.c_str()), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    const Bookmark resumed = Place();
    EXPECT_EQ(resumed.title, 1);
    EXPECT_EQ(resumed.chapter, 2);
    EXPECT_GE(resumed.position, saved.position - 10000000);  // within a second
    ASSERT_TRUE(Tick([&] {
        return m_player->GetAudioStreams(names, &count, &current) == RZ_OK && current == 1 &&
               m_player->GetSubpictureStreams(names, &count, &current, &disabled) == RZ_OK &&
               disabled == 0;
    }));

    // Anything but a bookmark of ours is refused and leaves the disc where it is.
    testsupport::WriteText(m_dir.File("other.bmk"), "not a bookmark at all");
    EXPECT_EQ(m_player->LoadBookmark(m_dir.File16("other.bmk").c_str()), RZ_FAIL);
    EXPECT_EQ(m_player->LoadBookmark(m_dir.File16("missing.bmk").c_str()), RZ_FAIL);
    std::vector<uint8_t> cut = testsupport::ReadBytes(path);
    cut.pop_back();
    testsupport::WriteBytes(m_dir.File("cut.bmk"), cut);
    EXPECT_EQ(m_player->LoadBookmark(m_dir.File16("cut.bmk").c_str()), RZ_FAIL);
    EXPECT_TRUE(InTitle());
}

TEST_F(KvPlayerDvdTest, DiscRemovedWhilePlayingGivesTheErrorStatus) {
    testsupport::ScopedCwd cwd(m_dir.Path());
    testsupport::WriteText(m_dir.File("zz-Vantrel.txt"), "");
    const std::string disc = CopyDisc(m_dir, "disc");
    PlayToMenu(disc);
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    std::filesystem::rename(disc, m_dir.File("elsewhere"));
    ASSERT_TRUE(Tick([&] { return m_player->GetStatus() == IKvPlayer::STATUS_ERROR; }));
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_ERROR);
    EXPECT_EQ(m_player->Play(), RZ_FAIL);
    const std::string log = testsupport::ReadText(m_dir.File("zz-Vantrel.log"));
    EXPECT_NE(log.find("evCode = 0x118"), std::string::npos);
    EXPECT_NE(log.find("EC_DVD_ERROR | EC_DVD_DISC_EJECTED | EC_DVD_WARNING | "
                       "EC_DVD_PLAYBACK_STOPPED"),
              std::string::npos);
}

TEST_F(KvPlayerDvdTest, ForbiddenOperationsAreThoseTheDiscSets) {
    // The title's program chain forbids the title menu (bit 10) and audio changes (bit 20).
    const std::string disc = CopyDisc(m_dir, "disc");
    const std::string ifo = disc + "/VIDEO_TS/VTS_01_0.IFO";
    std::vector<uint8_t> data = testsupport::ReadBytes(ifo);
    ASSERT_GT(data.size(), 0x100u);
    auto be32 = [&](size_t at) {
        return uint32_t(data[at]) << 24 | uint32_t(data[at + 1]) << 16 |
               uint32_t(data[at + 2]) << 8 | data[at + 3];
    };
    const size_t pgcit = size_t(be32(0xCC)) * 2048;  // title program chains, by sector
    ASSERT_LT(pgcit + 16, data.size());
    const size_t pgc = pgcit + be32(pgcit + 8 + 4);  // the first chain
    ASSERT_LT(pgc + 12, data.size());
    const uint32_t forbidden = (1u << 10) | (1u << 20);
    data[pgc + 8] = uint8_t(forbidden >> 24);
    data[pgc + 9] = uint8_t(forbidden >> 16);
    data[pgc + 10] = uint8_t(forbidden >> 8);
    data[pgc + 11] = uint8_t(forbidden);
    testsupport::WriteBytes(ifo, data);

    PlayToMenu(disc);
    uint32_t mask = 0xFFFFFFFF;
    ASSERT_EQ(m_player->GetCurrentUOPs(&mask), RZ_OK);
    EXPECT_EQ(mask, 0u);
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    ASSERT_EQ(m_player->GetCurrentUOPs(&mask), RZ_OK);
    EXPECT_EQ(mask, forbidden);
    EXPECT_TRUE(mask & KvMultimedia::UOP_FLAG_ShowMenu_Title);
    EXPECT_TRUE(mask & KvMultimedia::UOP_FLAG_Select_Audio_Stream);
    EXPECT_FALSE(mask & KvMultimedia::UOP_FLAG_PlayNext_Chapter);

    // What the disc forbids is refused and leaves the disc where it was; the rest works.
    EXPECT_EQ(m_player->ShowTitleMenu(), RZ_FAIL);
    EXPECT_EQ(m_player->SelectAudio(1), RZ_FAIL);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(InTitle());
    char16_t names[KvMultimedia::KV_MAX_STREAMS][KvMultimedia::KV_STREAM_NAME_CHARS] = {};
    uint32_t count = 0, current = 9;
    ASSERT_EQ(m_player->GetAudioStreams(names, &count, &current), RZ_OK);
    EXPECT_EQ(current, 0u);
    ASSERT_EQ(m_player->Forward(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle() && Place().chapter == 2; }));
    uint32_t languages = 77;
    plat::ui::TakeMessageBoxes();
    EXPECT_EQ(m_player->GetDvdText(0, &languages), RZ_OK);
    EXPECT_EQ(languages, 77u);  // the disc has no text, and says so in a box
    const auto boxes = plat::ui::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"There is no text on this disc");
    EXPECT_EQ(boxes[0].caption, u"No Text Present");
}

TEST_F(KvPlayerDvdTest, ForbiddenOperationsOfTheNavigationDataAreRefused) {
    // Every navigation pack of the title forbids skipping to the next chapter (bit 7), as a
    // warning that must be watched does.
    const std::string disc = CopyDisc(m_dir, "disc");
    const std::string vob = disc + "/VIDEO_TS/VTS_01_1.VOB";
    std::vector<uint8_t> data = testsupport::ReadBytes(vob);
    int packs = 0;
    for (size_t at = 0; at + 2048 <= data.size(); at += 2048) {
        const uint8_t* b = &data[at];
        if (b[3] == 0xBA && b[38] == 0 && b[39] == 0 && b[40] == 1 && b[41] == 0xBF && b[44] == 0) {
            data[at + 56] |= 0x80;  // the low byte of the big-endian word
            ++packs;
        }
    }
    ASSERT_GT(packs, 3);
    testsupport::WriteBytes(vob, data);

    PlayToMenu(disc);
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
    uint32_t mask = 0;
    ASSERT_TRUE(Tick([&] {
        return m_player->GetCurrentUOPs(&mask) == RZ_OK &&
               (mask & KvMultimedia::UOP_FLAG_PlayNext_Chapter);
    }));
    EXPECT_EQ(m_player->Forward(), RZ_FAIL);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(InTitle());
    EXPECT_EQ(Place().chapter, 1);
    // What it does not forbid still works.
    EXPECT_FALSE(mask & KvMultimedia::UOP_FLAG_ShowMenu_Title);
    ASSERT_EQ(m_player->ShowTitleMenu(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return Domain() == KvMultimedia::DVD_DOMAIN_VideoManagerMenu; }));
}

TEST(KvLanguageTable, NamesByLocaleAndCodeAndFillsAtMostTheTable) {
    KvMultimedia::CKvLanguageTable table;
    char16_t name[16];
    EXPECT_TRUE(table.GetName(1053u, name, 16));
    EXPECT_EQ(Utf8(name), "Swedish");
    EXPECT_TRUE(table.GetName(2052u, name, 16));
    EXPECT_EQ(Utf8(name), "Chinese");
    EXPECT_FALSE(table.GetName(1049u, name, 16));
    EXPECT_EQ(Utf8(name), "Unknown");
    EXPECT_TRUE(table.GetName("pt", name, 16));
    EXPECT_EQ(Utf8(name), "Portuguese");
    EXPECT_FALSE(table.GetName("qq", name, 16));
    EXPECT_EQ(Utf8(name), "Unknown");
    char16_t tiny[4];
    EXPECT_TRUE(table.GetName(1036u, tiny, 4));
    EXPECT_EQ(Utf8(tiny), "Fre");

    // More streams than rows: the count says how many rows hold names.
    std::vector<std::u16string> many(70, u"English");
    many[63] = u"Last";
    static char16_t rows[KvMultimedia::KV_MAX_STREAMS + 1][KvMultimedia::KV_STREAM_NAME_CHARS];
    rows[64][0] = u'#';
    EXPECT_EQ(KvMultimedia::FillStreamNames(many, rows), 64u);
    EXPECT_EQ(Utf8(rows[63]), "Last");
    EXPECT_EQ(rows[64][0], u'#');
    EXPECT_EQ(KvMultimedia::FillStreamNames({std::u16string(300, u'x')}, rows), 1u);
    EXPECT_EQ(plat::StrLen(rows[0]), 127u);
}

TEST_F(KvPlayerDvdTest, DvdTextShowsTheFirstLanguagesNamesAndTitles) {
    const std::string disc = CopyDisc(m_dir, "disc");
    ASSERT_TRUE(testmedia::AddDvdText(disc, {{"en",
                                              0x11,
                                              {{0x01, ""},
                                               {0x30, "Velkora test disc"},
                                               {0x02, ""},
                                               {0x30, "Colour bars"},
                                               {0x04, ""},
                                               {0x31, "Chapter two"}}},
                                             {"sv", 0x11, {{0x01, ""}, {0x30, "Provskiva"}}}}));
    PlayToMenu(disc);
    plat::ui::TakeMessageBoxes();
    uint32_t languages = 0;
    EXPECT_EQ(m_player->GetDvdText(0, &languages), RZ_OK);
    EXPECT_EQ(languages, 2u);
    const auto boxes = plat::ui::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, u"Velkora test disc");
    EXPECT_EQ(boxes[1].text, u"Colour bars");
    EXPECT_EQ(boxes[2].text, u"Chapter two");
    for (const auto& box : boxes)
        EXPECT_EQ(box.caption, u"buffer");
    // The disc plays on, its text having been read beside the navigator.
    ASSERT_EQ(m_player->ActivateButton(), RZ_OK);
    ASSERT_TRUE(Tick([&] { return InTitle(); }));
}

TEST_F(KvPlayerDvdTest, DvdTextOfABrokenFirstLanguageSaysSo) {
    const std::string disc = CopyDisc(m_dir, "disc");
    ASSERT_TRUE(testmedia::AddDvdText(disc, {{"en", 0x11, {{0x30, "Lost"}}}}));
    // The first language's unit is cut short: its end falls inside its own head.
    const std::string ifo = disc + "/VIDEO_TS/VIDEO_TS.IFO";
    std::vector<uint8_t> data = testsupport::ReadBytes(ifo);
    const size_t block = size_t(data[0xD6] << 8 | data[0xD7]) * 2048;
    const size_t unit = block + 28;
    data[unit] = data[unit + 1] = data[unit + 2] = 0;
    data[unit + 3] = 0x10;
    testsupport::WriteBytes(ifo, data);
    OpenFolder(disc);
    plat::ui::TakeMessageBoxes();
    uint32_t languages = 0;
    EXPECT_EQ(m_player->GetDvdText(0, &languages), RZ_OK);
    EXPECT_EQ(languages, 1u);
    const auto boxes = plat::ui::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"There was an error getting the number of Strings");
    EXPECT_EQ(boxes[0].caption, u"Error!");
}
