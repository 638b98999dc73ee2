#include "library/multimedia/KvPlayer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "library/include/Vantrel.h"
#include "platform/io/File.h"
#include "platform/media/MediaConfig.h"
#include "platform/media/MediaPipeline.h"
#include "platform/media/VideoSurface.h"
#include "platform/text/Text.h"
#include "tests/media/TestMedia.h"
#include "tests/support/TestSupport.h"

using KvMultimedia::CKvPlayer;
using KvMultimedia::IKvPlayer;
using KvMultimedia::KvPlayerTime;

using testsupport::WaitFor;

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;

std::string Utf8(const char16_t* s) {
    return plat::Utf16ToUtf8(s);
}

// A player made by the root object, released at the end of the test.
class KvPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        plat::SetAudioOutput("fakesink sync=true");
        m_root = CreateIVantrel();
        ASSERT_NE(m_root, nullptr);
        ASSERT_EQ(m_root->CreatePlayer(&m_player), RZ_OK);
        ASSERT_NE(m_player, nullptr);
        ASSERT_EQ(m_player->Init(0, 0x5EA7), RZ_OK);
    }
    void TearDown() override {
        if (m_player) {
            EXPECT_EQ(m_player->Release(), 0);
        }
        if (m_root)
            m_root->Release();
    }

    RZRESULT Open(const std::string& path) {
        return m_player->OpenFile(plat::Utf8ToUtf16(path).c_str(), IKvPlayer::MEDIA_FILE);
    }
    KvPlayerTime Time(RZRESULT expect = RZ_OK) {
        KvPlayerTime t{};
        EXPECT_EQ(m_player->GetTime(&t), expect);
        return t;
    }
    int64_t Position() { return Time().llPosition; }
    plat::MediaPipeline* Graph() {
        void* graph = nullptr;
        EXPECT_EQ(m_player->GetGraph(&graph), RZ_OK);
        return static_cast<plat::MediaPipeline*>(graph);
    }
    uint64_t AudioBuffers() {
        plat::MediaPipeline* graph = Graph();
        return graph ? graph->AudioBuffers() : 0;
    }
    std::shared_ptr<plat::VideoSurface> Video() {
        return static_cast<CKvPlayer*>(m_player)->VideoWindow();
    }

    IVantrel* m_root = nullptr;
    IKvPlayer* m_player = nullptr;
};

}  // namespace

TEST_F(KvPlayerTest, FreshPlayerHasNothingToDo) {
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->Play(), RZ_FAIL);
    EXPECT_EQ(m_player->Pause(), RZ_FAIL);
    EXPECT_EQ(m_player->Forward(), RZ_FAIL);
    EXPECT_EQ(m_player->Backward(), RZ_FAIL);
    EXPECT_EQ(m_player->Stop(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->SetVolume(-500), RZ_OK);
    EXPECT_EQ(m_player->SetRate(2.0), RZ_OK);
    EXPECT_EQ(m_player->SetPosition(kUnitsPerSecond), RZ_OK);
    EXPECT_EQ(m_player->ShowVideo(1), RZ_FAIL);
    EXPECT_EQ(m_player->SetVideoPos(0, 0, 10, 10), RZ_FAIL);
    uint32_t w = 7, h = 7;
    EXPECT_EQ(m_player->GetVideoSize(&w, &h), RZ_FAIL);
    EXPECT_EQ(m_player->GetAudioChannels(), 0);
    EXPECT_EQ(m_player->GetTime(nullptr), RZ_FAIL);
    KvPlayerTime t = Time();
    EXPECT_EQ(t.byTrack, 0);
    EXPECT_EQ(t.llPosition, 0);
    EXPECT_EQ(Utf8(t.szTotal), "00:00:00");
    EXPECT_EQ(Utf8(t.szCurrent), "00:00:00");
    void* graph = reinterpret_cast<void*>(1);
    EXPECT_EQ(m_player->GetGraph(&graph), RZ_OK);
    EXPECT_EQ(graph, nullptr);
    EXPECT_EQ(m_player->OpenDisc(IKvPlayer::MEDIA_VCD), RZ_OK);
    EXPECT_EQ(m_player->OpenDisc(IKvPlayer::MEDIA_CD), RZ_OK);
    EXPECT_EQ(m_player->OpenDisc(IKvPlayer::MEDIA_FILE), RZ_FAIL);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->AddRef(), 2);
    EXPECT_EQ(m_player->Release(), 1);
}

TEST_F(KvPlayerTest, FilesThatCannotPlayAreRefused) {
    testsupport::TempDir dir;
    std::mt19937 random(11);
    std::vector<uint8_t> noise(32 * 1024);
    for (auto& b : noise)
        b = static_cast<uint8_t>(random());
    testsupport::WriteBytes(dir.File("noise.mp3"), noise);
    ASSERT_TRUE(testmedia::CopyHead(testmedia::VideoMp4(), dir.File("cut.mp4"), 60000));
    ASSERT_TRUE(plat::MakeDirectory(dir.File("folder.ogg")));

    for (const char* name : {"missing.mp3", "noise.mp3", "cut.mp4", "folder.ogg"}) {
        EXPECT_EQ(Open(dir.File(name)), RZ_FAIL) << name;
        EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE) << name;
        EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE) << name;
        EXPECT_EQ(m_player->Play(), RZ_FAIL) << name;
    }
    EXPECT_EQ(m_player->OpenFile(nullptr, IKvPlayer::MEDIA_FILE), RZ_FAIL);
    // A good file still opens afterwards.
    EXPECT_EQ(Open(testmedia::Wav()), RZ_OK);
}

TEST_F(KvPlayerTest, AudioFilesOpenPlayPauseAndStop) {
    for (const std::string& file : {testmedia::Mp3(), testmedia::Ogg(), testmedia::Wav()}) {
        SCOPED_TRACE(file);
        ASSERT_EQ(Open(file), RZ_OK);
        EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_STOPPED);
        EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_FILE);
        EXPECT_EQ(m_player->ShowVideo(1), RZ_FAIL);
        uint32_t w = 0, h = 0;
        EXPECT_EQ(m_player->GetVideoSize(&w, &h), RZ_FAIL);
        KvPlayerTime t = Time();
        EXPECT_EQ(Utf8(t.szTotal), "00:00:02");
        EXPECT_EQ(Utf8(t.szCurrent), "00:00:00");
        EXPECT_EQ(t.byTrack, 0);

        ASSERT_EQ(m_player->Play(), RZ_OK);
        EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);
        ASSERT_TRUE(WaitFor([&] { return Position() > kUnitsPerSecond / 4; }));
        EXPECT_EQ(m_player->Pause(), RZ_OK);
        EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PAUSED);
        const int64_t paused = Position();
        EXPECT_GT(paused, 0);
        EXPECT_EQ(m_player->Play(), RZ_OK);
        ASSERT_TRUE(WaitFor([&] { return Position() > paused + kUnitsPerSecond / 10; }));
        EXPECT_EQ(m_player->Stop(), RZ_OK);
        EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_STOPPED);
        EXPECT_EQ(Position(), 0);
        EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_STOPPED);
    }
    EXPECT_EQ(m_player->Close(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
    EXPECT_EQ(Utf8(Time().szTotal), "00:00:00");
}

TEST_F(KvPlayerTest, PlayingToTheEndRewindsAndReportsCompletionUntilPlayedAgain) {
    ASSERT_EQ(Open(testmedia::Wav()), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(WaitFor([&] { return m_player->HandleEvent() == IKvPlayer::STATUS_COMPLETED; }));
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_COMPLETED);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_COMPLETED);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_FILE);

    // It plays again from the start.
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(WaitFor([&] { return Position() > kUnitsPerSecond / 4; }));
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_PLAYING);
}

TEST_F(KvPlayerTest, ForwardAndBackwardSkipFiveSecondsWithinTheMedia) {
    // Within the last and the first five seconds there is nowhere to go.
    ASSERT_EQ(Open(testmedia::Mp3()), RZ_OK);
    EXPECT_EQ(m_player->Forward(), RZ_FAIL);  // not playing
    ASSERT_EQ(m_player->Play(), RZ_OK);
    EXPECT_EQ(m_player->Forward(), RZ_FAIL);
    EXPECT_EQ(m_player->Backward(), RZ_FAIL);
    EXPECT_LT(Position(), 2 * kUnitsPerSecond);

    ASSERT_EQ(Open(testmedia::LongWav()), RZ_OK);
    ASSERT_EQ(m_player->SetPosition(60 * kUnitsPerSecond), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    const int64_t before = Position();
    ASSERT_EQ(m_player->Forward(), RZ_OK);
    const int64_t after = Position();
    EXPECT_NEAR(after - before, 5 * kUnitsPerSecond, kUnitsPerSecond / 2);
    ASSERT_EQ(m_player->Backward(), RZ_OK);
    ASSERT_EQ(m_player->Backward(), RZ_OK);
    EXPECT_NEAR(Position() - after, -10 * kUnitsPerSecond, kUnitsPerSecond / 2);
}

TEST_F(KvPlayerTest, TimeTextsOfALongFile) {
    ASSERT_EQ(Open(testmedia::LongWav()), RZ_OK);
    ASSERT_EQ(m_player->SetPosition(5 * kUnitsPerSecond), RZ_OK);
    KvPlayerTime t = Time();
    EXPECT_EQ(Utf8(t.szTotal), "01:02:03");
    EXPECT_EQ(Utf8(t.szCurrent), "00:00:05");
    EXPECT_EQ(t.llPosition, 5 * kUnitsPerSecond);
    ASSERT_EQ(m_player->SetPosition((3600 + 59 * 60 + 58) * kUnitsPerSecond / 2), RZ_OK);
    EXPECT_EQ(Utf8(Time().szCurrent), "00:59:59");
}

TEST_F(KvPlayerTest, RateSpeedsPlaybackUp) {
    ASSERT_EQ(Open(testmedia::LongWav()), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_EQ(m_player->SetRate(4.0), RZ_OK);
    const int64_t start = Position();
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitFor([&] { return Position() >= start + 2 * kUnitsPerSecond; }));
    // Two seconds of media cannot pass in less than two seconds at the normal rate.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(1900));
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);
}

TEST_F(KvPlayerTest, VideoFileDrawsIntoItsWindowWhereTheOwnerPutsIt) {
    ASSERT_EQ(Open(testmedia::VideoMp4()), RZ_OK);
    uint32_t w = 0, h = 0;
    ASSERT_EQ(m_player->GetVideoSize(&w, &h), RZ_OK);
    EXPECT_EQ(w, 320u);
    EXPECT_EQ(h, 240u);
    EXPECT_EQ(Utf8(Time().szTotal), "00:00:02");

    auto surfaces = plat::VideoSurfacesOf(0x5EA7);
    ASSERT_EQ(surfaces.size(), 1u);
    auto video = surfaces[0];
    EXPECT_FALSE(video->View().visible);  // the owner shows it when ready
    ASSERT_EQ(m_player->SetVideoPos(10, 20, 300, 200), RZ_OK);
    ASSERT_EQ(m_player->ShowVideo(1), RZ_OK);
    plat::VideoView view = video->View();
    EXPECT_TRUE(view.visible);
    EXPECT_EQ(view.rect, plat::Rect::FromXYWH(10, 20, 300, 200));
    const KvMultimedia::KvRect rect{0, 0, 800, 480};
    ASSERT_EQ(m_player->SetVideoRect(&rect), RZ_OK);
    EXPECT_EQ(video->View().rect, plat::Rect::FromXYWH(0, 0, 800, 480));

    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(WaitFor([&] { return video->View().serial > view.serial + 10; }));
    plat::Surface frame;
    ASSERT_TRUE(video->CopyFrame(frame));
    // Yellow bar, then cyan: the colour order survives the trip.
    const uint32_t yellow = frame.PixelAt(68, 60);
    const uint32_t cyan = frame.PixelAt(114, 60);
    EXPECT_GT((yellow >> 16) & 0xFF, 200u);
    EXPECT_LT(yellow & 0xFF, 60u);
    EXPECT_LT((cyan >> 16) & 0xFF, 60u);
    EXPECT_GT(cyan & 0xFF, 200u);

    ASSERT_EQ(m_player->ShowVideo(0), RZ_OK);
    EXPECT_FALSE(video->View().visible);
    ASSERT_TRUE(WaitFor([&] { return m_player->HandleEvent() == IKvPlayer::STATUS_COMPLETED; }));
    ASSERT_EQ(m_player->Close(), RZ_OK);
    EXPECT_FALSE(video->CopyFrame(frame));
    EXPECT_EQ(m_player->ShowVideo(1), RZ_FAIL);

    // Close and reopen: an audio file after the video leaves no picture behind.
    ASSERT_EQ(Open(testmedia::Ogg()), RZ_OK);
    EXPECT_EQ(m_player->GetVideoSize(&w, &h), RZ_FAIL);
    EXPECT_EQ(video->View().serial, 0u);
}

TEST_F(KvPlayerTest, PlaybackFailureClosesThePlayerWithTheErrorStatus) {
    // The output gives up after a few buffers, as a device that goes away would.
    plat::SetAudioOutput("identity error-after=5 ! fakesink sync=true");
    ASSERT_EQ(Open(testmedia::Ogg()), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(WaitFor([&] { return m_player->HandleEvent() == IKvPlayer::STATUS_ERROR; }));
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_ERROR);
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_ERROR);
    // The caller must open again to go on.
    EXPECT_EQ(m_player->Play(), RZ_FAIL);

    // An output that refuses to start makes Play fail and close.
    plat::SetAudioOutput("fakesink sync=true state-error=paused-to-playing");
    ASSERT_EQ(Open(testmedia::Ogg()), RZ_OK);
    EXPECT_EQ(m_player->Play(), RZ_FAIL);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
}

TEST_F(KvPlayerTest, StreamOfUnknownLengthShowsZeroTotal) {
    // A pipe has no end to look at: the length is unknown until the stream is over.
    testsupport::TempDir dir;
    const std::string fifo = dir.File("stream.ogg");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<uint8_t> data;
    ASSERT_TRUE(plat::ReadWholeFile(testmedia::Ogg(), data));
    ASSERT_LT(data.size(), 60000u);  // fits in the pipe without a reader
    plat::File writer;
    ASSERT_TRUE(writer.Open(fifo, O_RDWR));
    ASSERT_TRUE(writer.WriteAll(data.data(), data.size()));

    ASSERT_EQ(Open(fifo), RZ_OK);
    KvPlayerTime t = Time();
    EXPECT_EQ(Utf8(t.szTotal), "00:00:00");
    EXPECT_EQ(Utf8(t.szCurrent), "00:00:00");
    ASSERT_EQ(m_player->Play(), RZ_OK);
    writer.Close();
    ASSERT_TRUE(WaitFor([&] { return m_player->HandleEvent() == IKvPlayer::STATUS_COMPLETED; }));
}

TEST_F(KvPlayerTest, VolumeSettingsArePlayable) {
    ASSERT_EQ(Open(testmedia::Wav()), RZ_OK);
    for (int32_t volume : {0, -2000, -10000, -20000, 500})
        EXPECT_EQ(m_player->SetVolume(volume), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    const uint64_t start = AudioBuffers();
    ASSERT_TRUE(WaitFor([&] { return AudioBuffers() > start + 3; }));
}

// --- audio CD ----------------------------------------------------------------------------

class KvPlayerCdTest : public KvPlayerTest {
protected:
    void SetUp() override {
        KvPlayerTest::SetUp();
        m_image = testmedia::CdImage();
        ASSERT_FALSE(m_image.empty());
        plat::SetOpticalDevice(m_image);
    }
    void TearDown() override {
        plat::SetOpticalDevice("");
        KvPlayerTest::TearDown();
    }
    std::string m_image;
};

TEST_F(KvPlayerCdTest, TracksHaveTheirLengthsAndPlayFromTheStartTrack) {
    const char* totals[] = {"00:00:02", "00:00:03", "00:00:01"};
    for (uint8_t track = 1; track <= 3; ++track) {
        SCOPED_TRACE(track);
        ASSERT_EQ(m_player->OpenCD(track), RZ_OK);
        EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_STOPPED);
        EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_CD);
        ASSERT_EQ(m_player->Play(), RZ_OK);
        EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);
        KvPlayerTime t = Time();
        EXPECT_EQ(t.byTrack, track);
        EXPECT_EQ(Utf8(t.szTotal), totals[track - 1]);
        EXPECT_EQ(Utf8(t.szCurrent), "00:00:00");
        EXPECT_EQ(t.llPosition, 0);
    }
    // A CD raises no events and cannot skip within a track.
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_PLAYING);
    EXPECT_EQ(m_player->Forward(), RZ_FAIL);
    EXPECT_EQ(m_player->Backward(), RZ_FAIL);
}

TEST_F(KvPlayerCdTest, DiscPlaysOnAcrossTracksAndShowsItsEnd) {
    ASSERT_EQ(m_player->OpenCD(2), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_TRUE(WaitFor([&] { return Time().byTrack == 3; }));
    EXPECT_EQ(Utf8(Time().szTotal), "00:00:01");
    // A second Play while playing changes nothing.
    ASSERT_EQ(m_player->Play(), RZ_OK);
    EXPECT_EQ(Time().byTrack, 3);
    ASSERT_TRUE(WaitFor([&] { return Time().byTrack == 0xFF; }));
    EXPECT_EQ(m_player->HandleEvent(), IKvPlayer::STATUS_PLAYING);

    ASSERT_EQ(m_player->Close(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
}

TEST_F(KvPlayerCdTest, PauseOfAStoppedDiscThenPlayReallyPlays) {
    ASSERT_EQ(m_player->OpenCD(1), RZ_OK);
    ASSERT_EQ(m_player->Pause(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PAUSED);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_PLAYING);
    const uint64_t start = AudioBuffers();
    ASSERT_TRUE(WaitFor([&] { return AudioBuffers() > start + 5; }));

    // Pause holds the place, Stop goes back to the start of the disc.
    ASSERT_EQ(m_player->Pause(), RZ_OK);
    ASSERT_EQ(m_player->Stop(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_STOPPED);
    KvPlayerTime t = Time();
    EXPECT_EQ(t.byTrack, 1);
    EXPECT_EQ(Utf8(t.szCurrent), "00:00:00");

    // CloseCD lets go of the drive; Play takes it again from the start.
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_EQ(m_player->CloseCD(), RZ_OK);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_STOPPED);
    EXPECT_EQ(Time().byTrack, 1);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    const uint64_t again = AudioBuffers();
    ASSERT_TRUE(WaitFor([&] { return AudioBuffers() > again + 5; }));
}

TEST_F(KvPlayerCdTest, UnreadableDiscShowsInTheTime) {
    // A private copy of the image, damaged while it plays.
    testsupport::TempDir dir;
    std::vector<uint8_t> bin;
    ASSERT_TRUE(plat::ReadWholeFile(m_image.substr(0, m_image.size() - 4) + ".bin", bin));
    testsupport::WriteBytes(dir.File("disc.bin"), bin);
    testsupport::WriteText(dir.File("disc.cue"), testsupport::ReadText(m_image));
    plat::SetOpticalDevice(dir.File("disc.cue"));
    ASSERT_EQ(m_player->OpenCD(1), RZ_OK);
    ASSERT_EQ(m_player->Play(), RZ_OK);
    ASSERT_EQ(truncate(dir.File("disc.bin").c_str(), 0), 0);
    ASSERT_TRUE(WaitFor([&] {
        KvPlayerTime t{};
        return m_player->GetTime(&t) == RZ_FAIL && t.byTrack == 0xFF;
    }));
    KvPlayerTime t = Time(RZ_FAIL);
    EXPECT_EQ(Utf8(t.szCurrent), "00:00:00");
    ASSERT_EQ(m_player->Close(), RZ_OK);
}

TEST_F(KvPlayerCdTest, NoDiscFailsTheOpen) {
    testsupport::TempDir dir;
    plat::SetOpticalDevice(dir.File("no-disc.cue"));
    EXPECT_EQ(m_player->OpenCD(1), RZ_FAIL);
    EXPECT_EQ(m_player->GetStatus(), IKvPlayer::STATUS_NONE);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_CD);
    EXPECT_EQ(m_player->Play(), RZ_FAIL);
    KvPlayerTime t = Time(RZ_FAIL);
    EXPECT_EQ(t.byTrack, 0xFF);
    EXPECT_EQ(Utf8(t.szTotal), "00:00:00");
    EXPECT_EQ(m_player->Close(), RZ_OK);
    EXPECT_EQ(m_player->GetMediaType(), IKvPlayer::MEDIA_NONE);
}

// --- the host's mutex --------------------------------------------------------------------

TEST_F(KvPlayerTest, LockIsRecursiveForItsOwnerAndHoldsOthersOff) {
    ASSERT_EQ(m_player->Lock(), RZ_OK);
    ASSERT_EQ(m_player->Lock(), RZ_OK);
    std::atomic<bool> got{false};
    std::thread other([&] {
        m_player->Unlock();  // not the owner: nothing happens
        m_player->Lock();
        got = true;
        m_player->Unlock();
    });
    EXPECT_EQ(m_player->Unlock(), RZ_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(got.load());  // still held once
    EXPECT_EQ(m_player->Unlock(), RZ_OK);
    other.join();
    EXPECT_TRUE(got.load());
}
