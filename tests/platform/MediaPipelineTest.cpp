#include "platform/media/MediaPipeline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <random>
#include <thread>

#include "platform/media/AudioCd.h"
#include "platform/media/MediaConfig.h"
#include "platform/media/VideoSurface.h"
#include "tests/media/TestMedia.h"
#include "tests/support/TestSupport.h"

using testsupport::WaitFor;

namespace {

constexpr int64_t kSecond = 1000000000;

struct Rgb {
    int r, g, b;
};

Rgb RgbAt(const plat::Surface& s, int x, int y) {
    const uint32_t p = s.PixelAt(x, y);
    return Rgb{int((p >> 16) & 0xFF), int((p >> 8) & 0xFF), int(p & 0xFF)};
}

void ExpectNear(Rgb got, Rgb want, const char* what) {
    constexpr int kTolerance = 24;  // compression and colour conversion
    EXPECT_NEAR(got.r, want.r, kTolerance) << what;
    EXPECT_NEAR(got.g, want.g, kTolerance) << what;
    EXPECT_NEAR(got.b, want.b, kTolerance) << what;
}

class MediaPipelineTest : public ::testing::Test {
protected:
    void SetUp() override { plat::SetAudioOutput("fakesink sync=true"); }
};

}  // namespace

TEST_F(MediaPipelineTest, AudioFilePrerollsPlaysAndEnds) {
    plat::MediaPipeline pipeline;
    std::string error;
    ASSERT_TRUE(pipeline.OpenFile(testmedia::Wav(), nullptr, &error)) << error;
    EXPECT_FALSE(pipeline.HasVideo());
    int64_t duration = 0;
    ASSERT_TRUE(pipeline.Duration(&duration));
    EXPECT_NEAR(duration, 2 * kSecond, kSecond / 50);
    int64_t position = -1;
    ASSERT_TRUE(pipeline.Position(&position));
    EXPECT_EQ(position, 0);
    EXPECT_FALSE(pipeline.ReachedEnd());

    ASSERT_TRUE(pipeline.Play());
    ASSERT_TRUE(WaitFor([&] { return pipeline.ReachedEnd(); }));
    plat::MediaEvent event;
    bool sawEnd = false;
    while (pipeline.NextEvent(&event))
        sawEnd = sawEnd || event.kind == plat::MediaEventKind::EndOfStream;
    EXPECT_TRUE(sawEnd);
    EXPECT_GT(pipeline.AudioBuffers(), 10u);
}

TEST_F(MediaPipelineTest, PausedAudioStopsFlowingAndSeeksLand) {
    plat::MediaPipeline pipeline;
    ASSERT_TRUE(pipeline.OpenFile(testmedia::Ogg(), nullptr));
    ASSERT_TRUE(pipeline.Seek(kSecond));
    int64_t position = 0;
    ASSERT_TRUE(pipeline.Position(&position));
    EXPECT_NEAR(position, kSecond, kSecond / 50);

    ASSERT_TRUE(pipeline.Play());
    const uint64_t start = pipeline.AudioBuffers();
    ASSERT_TRUE(WaitFor([&] { return pipeline.AudioBuffers() > start + 3; }));
    ASSERT_TRUE(pipeline.Pause());
    const uint64_t paused = pipeline.AudioBuffers();
    ASSERT_TRUE(pipeline.Position(&position));
    // A paused output takes at most the buffer it holds and the one queued behind it.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(pipeline.AudioBuffers(), paused + 2);
    int64_t later = 0;
    ASSERT_TRUE(pipeline.Position(&later));
    EXPECT_NEAR(later, position, kSecond / 20);

    ASSERT_TRUE(pipeline.Seek(kSecond / 4));
    ASSERT_TRUE(pipeline.Position(&position));
    EXPECT_NEAR(position, kSecond / 4, kSecond / 50);
}

TEST_F(MediaPipelineTest, VideoFramesReachTheSurfaceInColour) {
    auto video = plat::VideoSurface::Create(0x1234);
    plat::MediaPipeline pipeline;
    std::string error;
    ASSERT_TRUE(pipeline.OpenFile(testmedia::VideoMp4(), video, &error)) << error;
    ASSERT_TRUE(pipeline.HasVideo());
    EXPECT_EQ(pipeline.VideoWidth(), 320);
    EXPECT_EQ(pipeline.VideoHeight(), 240);

    // The first frame is there as soon as the file is open.
    plat::Surface frame;
    plat::VideoView view;
    ASSERT_TRUE(video->CopyFrame(frame, &view));
    EXPECT_EQ(frame.Width(), 320);
    EXPECT_EQ(frame.Height(), 240);
    EXPECT_GT(view.serial, 0u);
    // The top row of the bars: white, yellow, cyan, green, magenta, red, blue.
    ExpectNear(RgbAt(frame, 22, 60), {255, 255, 255}, "white");
    ExpectNear(RgbAt(frame, 68, 60), {255, 255, 0}, "yellow");
    ExpectNear(RgbAt(frame, 114, 60), {0, 255, 255}, "cyan");
    ExpectNear(RgbAt(frame, 251, 60), {255, 0, 0}, "red");
    ExpectNear(RgbAt(frame, 297, 60), {0, 0, 255}, "blue");
    EXPECT_EQ(frame.PixelAt(5, 5) >> 24, 0xFFu);

    ASSERT_TRUE(pipeline.Play());
    const uint64_t first = view.serial;
    ASSERT_TRUE(WaitFor([&] { return video->View().serial > first + 5; }));

    pipeline.Close();
    EXPECT_FALSE(video->CopyFrame(frame));
    EXPECT_TRUE(frame.IsEmpty());
}

TEST_F(MediaPipelineTest, DamagedFilesFailWithoutHanging) {
    testsupport::TempDir dir;
    std::mt19937 random(7);
    std::vector<uint8_t> noise(64 * 1024);
    for (auto& b : noise)
        b = static_cast<uint8_t>(random());
    testsupport::WriteBytes(dir.File("noise.mp3"), noise);
    testsupport::WriteBytes(dir.File("empty.ogg"), nullptr, 0);
    // The index of an MP4 comes last: cut off, nothing can be played.
    ASSERT_TRUE(testmedia::CopyHead(testmedia::VideoMp4(), dir.File("cut.mp4"), 100000));

    for (const char* name : {"noise.mp3", "empty.ogg", "cut.mp4", "missing.wav"}) {
        plat::MediaPipeline pipeline;
        std::string error;
        EXPECT_FALSE(pipeline.OpenFile(dir.File(name), nullptr, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_FALSE(pipeline.IsOpen()) << name;
    }
}

TEST_F(MediaPipelineTest, BadAudioOutputIsRefused) {
    plat::SetAudioOutput("no-such-sink-element");
    plat::MediaPipeline pipeline;
    std::string error;
    EXPECT_FALSE(pipeline.OpenFile(testmedia::Wav(), nullptr, &error));
    EXPECT_NE(error.find("no-such-sink-element"), std::string::npos) << error;
}

TEST_F(MediaPipelineTest, CdImageTableOfContentsAndPlayback) {
    const std::string image = testmedia::CdImage();
    plat::CdToc toc;
    std::string error;
    ASSERT_TRUE(plat::ReadCdToc(image, &toc, &error)) << error;
    ASSERT_EQ(toc.tracks.size(), 3u);
    const int32_t lengths[] = {150, 225, 75};  // 2 s, 3 s, 1 s at 75 sectors a second
    int32_t start = toc.tracks[0].startSector;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(toc.tracks[i].number, i + 1);
        EXPECT_TRUE(toc.tracks[i].audio);
        EXPECT_EQ(toc.tracks[i].startSector, start);
        EXPECT_EQ(toc.tracks[i].sectors, lengths[i]);
        start += lengths[i];
    }
    EXPECT_EQ(toc.leadOutSector, start);

    plat::MediaPipeline pipeline;
    ASSERT_TRUE(pipeline.OpenAudioCd(image, &error)) << error;
    int64_t duration = 0;
    ASSERT_TRUE(pipeline.Duration(&duration));
    EXPECT_NEAR(duration, 6 * kSecond, kSecond / 50);
    ASSERT_TRUE(pipeline.Seek(5 * kSecond));
    int64_t position = 0;
    ASSERT_TRUE(pipeline.Position(&position));
    EXPECT_NEAR(position, 5 * kSecond, kSecond / 50);
    ASSERT_TRUE(pipeline.Play());
    ASSERT_TRUE(WaitFor([&] { return pipeline.ReachedEnd(); }));
    EXPECT_GT(pipeline.AudioBuffers(), 5u);
}

TEST_F(MediaPipelineTest, MissingCdIsReported) {
    testsupport::TempDir dir;
    plat::CdToc toc;
    std::string error;
    EXPECT_FALSE(plat::ReadCdToc(dir.File("nothing.cue"), &toc, &error));
    EXPECT_TRUE(toc.tracks.empty());
    plat::MediaPipeline pipeline;
    EXPECT_FALSE(pipeline.OpenAudioCd(dir.File("nothing.cue"), &error));
    EXPECT_FALSE(error.empty());
}

TEST(VideoSurface, RegistryFindsLiveSurfacesOfAWindow) {
    auto a = plat::VideoSurface::Create(7);
    auto b = plat::VideoSurface::Create(8);
    {
        auto c = plat::VideoSurface::Create(7);
        EXPECT_EQ(plat::VideoSurfacesOf(7).size(), 2u);
    }
    auto found = plat::VideoSurfacesOf(7);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], a);
    b->SetOwner(7);
    EXPECT_EQ(plat::VideoSurfacesOf(7).size(), 2u);
    EXPECT_TRUE(plat::VideoSurfacesOf(8).empty());

    // Frames are opaque whatever the padding byte holds.
    const uint8_t pixels[] = {0x10, 0x20, 0x30, 0x00, 0x40, 0x50, 0x60, 0x99};
    a->SetRect(plat::Rect::FromXYWH(10, 20, 300, 200));
    a->SetVisible(true);
    a->PutFrame(pixels, 2, 1, 8);
    bool drawn = false;
    EXPECT_TRUE(a->DrawFrame([&](const plat::Surface& frame, const plat::VideoView& view) {
        drawn = true;
        EXPECT_EQ(frame.PixelAt(0, 0), 0xFF302010u);
        EXPECT_EQ(frame.PixelAt(1, 0), 0xFF605040u);
        EXPECT_EQ(view.rect, plat::Rect::FromXYWH(10, 20, 300, 200));
        EXPECT_TRUE(view.visible);
        EXPECT_EQ(view.serial, 1u);
    }));
    EXPECT_TRUE(drawn);
    a->ClearFrame();
    EXPECT_EQ(a->View().serial, 0u);
    EXPECT_FALSE(a->DrawFrame([](const plat::Surface&, const plat::VideoView&) {}));
}
