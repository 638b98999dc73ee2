#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "apps/phone/CallRecorder.h"
#include "core/kernel/LogWriter.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/media/AudioCapture.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"
#include "tests/support/MediaInfo.h"
#include "tests/support/PulseServer.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/TestSupport.h"

extern char** environ;

using testsupport::ScopedCwd;
using testsupport::TempDir;

namespace {

// A test tone played into the null sink for as long as the object lives; the sink's monitor
// delivers sound only while something plays.
class TonePlayer {
public:
    explicit TonePlayer(const testsupport::PulseServer& server) {
        std::vector<std::string> args = {"gst-launch-1.0",
                                         "-q",
                                         "audiotestsrc",
                                         "is-live=true",
                                         "freq=440",
                                         "volume=0.5",
                                         "!",
                                         "pulsesink",
                                         "buffer-time=20000",
                                         "latency-time=5000",
                                         std::string("device=") + testsupport::PulseServer::Sink()};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&m_pid, "gst-launch-1.0", nullptr, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        m_playing = m_pid > 0 && testsupport::WaitFor([&] {
                        return !server.Pactl("list short sink-inputs").empty();
                    });
    }
    ~TonePlayer() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            int status;
            waitpid(m_pid, &status, 0);
        }
    }
    bool Running() const { return m_playing; }

private:
    pid_t m_pid = -1;
    bool m_playing = false;
};

struct ClockGuard {
    explicit ClockGuard(plat::Clock* clock) { plat::SetClock(clock); }
    ~ClockGuard() { plat::SetClock(nullptr); }
};

// 5 March 2026, 10:00 local time (the clock's zone is UTC).
constexpr int64_t kDay = 1772704800;

std::string Monitor() {
    return std::string("pulsesrc device=") + testsupport::PulseServer::Sink() + ".monitor";
}

// A recorder in a base folder of its own, its "d:" drive there, on the day above.
class CallRecorder : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::WriteText("log.txt", "");
        ResetLogForTesting();
        m_drives.Install();
        plat::SetCaptureSource(Monitor());
        plat::SetCaptureEncoders({"lamemp3enc", "avenc_wmav2"});
    }
    void TearDown() override {
        EXPECT_TRUE(m_rec.Settle());
        ResetLogForTesting();
        m_graph.Release();
        plat::SetCaptureEncoders({"lamemp3enc", "avenc_wmav2"});
    }
    std::string Folder() const { return m_dir.File("Velkora Media/Music"); }
    std::string Recorded() const { return plat::NativePath(m_rec.m_strRecordFile); }
    std::string Name() const { return plat::BaseName(Recorded()); }
    std::string Log() const { return testsupport::ReadFilesStartingWith(m_dir.Path(), "zz-log-"); }
    // REC, and the recorder's outcomes taken as the page takes them, until the start is over:
    // the outcomes in order.
    std::vector<CCallRecorder::Event> Rec() {
        m_rec.OnRecButton();
        std::vector<CCallRecorder::Event> events;
        testsupport::WaitFor([&] {
            for (auto e = m_rec.Poll(); e != CCallRecorder::Event::None; e = m_rec.Poll())
                events.push_back(e);
            return !m_rec.Starting();
        });
        return events;
    }
    // A recording of about `ms`, its file complete.
    void Record(int ms) {
        ASSERT_EQ(Rec(), std::vector<CCallRecorder::Event>{CCallRecorder::Event::Started}) << Log();
        ASSERT_TRUE(m_rec.m_bRecording);
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        m_rec.OnRecButton();
        ASSERT_FALSE(m_rec.m_bRecording);
        ASSERT_TRUE(m_rec.Settle());
    }

    TempDir m_dir;
    ScopedCwd m_cwd{m_dir.Path()};
    testsupport::ScriptedDrives m_drives;
    plat::ManualClock m_clock{kDay};
    ClockGuard m_clockGuard{&m_clock};
    CCaptureGraph m_graph;
    CCallRecorder m_rec{m_graph};
};

#define REQUIRE_PULSE(server)                                                         \
    testsupport::PulseServer server;                                                  \
    if (!server.Running())                                                            \
        GTEST_SKIP() << "no PulseAudio server for the recording: " << server.Error(); \
    TonePlayer tone(server);                                                          \
    ASSERT_TRUE(tone.Running())

}  // namespace

TEST_F(CallRecorder, RecordsTheInputIntoACompleteAviWithMp3) {
    REQUIRE_PULSE(pulse);
    // The graph is built on the recorder's first REC, on the graph's thread.
    testing::internal::CaptureStdout();
    const std::vector<CCallRecorder::Event> events = Rec();
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_EQ(events, std::vector<CCallRecorder::Event>{CCallRecorder::Event::Started})
        << out << Log();
    EXPECT_TRUE(m_rec.m_bCaptureReady);
    EXPECT_NE(out.find("Selecting Audio Input Device: " + Monitor()), std::string::npos) << out;
    EXPECT_NE(out.find(std::string("Input pin: ") + testsupport::PulseServer::Sink() +
                       ".monitor\n\tENABLED\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Testing Audio Compressor: lamemp3enc\nUse MP3 compressor ..\n"),
              std::string::npos)
        << out;

    ASSERT_TRUE(m_rec.m_bRecording);
    EXPECT_EQ(m_rec.m_strRecordFile, u"d:\\Velkora Media\\Music\\20260305_001.wma");
    std::this_thread::sleep_for(std::chrono::seconds(1));
    m_rec.OnRecButton();
    EXPECT_FALSE(m_rec.m_bRecording);
    ASSERT_TRUE(m_rec.Settle());

    testsupport::MediaInfo info = testsupport::DescribeMedia(Recorded());
    ASSERT_TRUE(info.ok) << info.error;
    EXPECT_NE(info.container.find("video/x-msvideo"), std::string::npos) << info.container;
    EXPECT_NE(info.audio.find("audio/mpeg"), std::string::npos) << info.audio;
    EXPECT_NE(info.audio.find("layer=(int)3"), std::string::npos) << info.audio;
    // Most of the second: a swamped sound server starts the capture late.
    EXPECT_GE(info.durationMs, 600);
    EXPECT_LE(info.durationMs, 1600);
}

TEST_F(CallRecorder, RecordingsOfADayAreNumberedAboveTheHighestAndNeverOverwritten) {
    REQUIRE_PULSE(pulse);
    ASSERT_TRUE(m_graph.Init());
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        Record(150);
        names.push_back(Name());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"20260305_001.wma", "20260305_002.wma",
                                               "20260305_003.wma"}));
    for (const std::string& n : names)
        EXPECT_TRUE(testsupport::DescribeMedia(Folder() + "/" + n).ok) << n << " is complete";

    // A gap does not bring a number back: 004 follows 003, 002 deleted or not.
    ASSERT_TRUE(plat::RemoveFile(Folder() + "/20260305_002.wma"));
    // Other days and other names do not count; a name that differs only in case does.
    testsupport::WriteText(Folder() + "/20260304_009.wma", "yesterday");
    testsupport::WriteText(Folder() + "/20260305_x12.wma", "not a recording");
    Record(150);
    EXPECT_EQ(Name(), "20260305_004.wma");
    testsupport::WriteText(Folder() + "/20260305_006.WMA", "kept");
    Record(150);
    EXPECT_EQ(Name(), "20260305_007.wma");
    EXPECT_EQ(testsupport::ReadText(Folder() + "/20260305_006.WMA"), "kept");

    // A file of the chosen name appearing first is skipped, not written over.
    bool exists = false;
    EXPECT_FALSE(m_graph.Run(Folder() + "/20260305_006.WMA", &exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(testsupport::ReadText(Folder() + "/20260305_006.WMA"), "kept");

    // The page's seconds: the button blinks, and past 59 seconds the recording ends itself.
    ASSERT_EQ(Rec(), std::vector<CCallRecorder::Event>{CCallRecorder::Event::Started});
    for (int s = 1; s <= 59; ++s) {
        m_rec.OnSecond();
        ASSERT_TRUE(m_rec.m_bRecording) << s;
        EXPECT_EQ(m_rec.m_bBlink, s % 2 == 1);
    }
    m_rec.OnSecond();
    EXPECT_FALSE(m_rec.m_bRecording);
    ASSERT_TRUE(m_rec.Settle());
    EXPECT_EQ(Name(), "20260305_008.wma");
    EXPECT_TRUE(testsupport::DescribeMedia(Recorded()).ok);

    // A recorder that goes once its start has sounded, before the page took the outcome, still
    // ends that recording: no capture runs on, and the file is complete.
    {
        CCallRecorder leaving(m_graph);
        leaving.OnRecButton();
        ASSERT_TRUE(testsupport::WaitFor([&] { return !leaving.Busy(); }));
    }
    EXPECT_FALSE(m_graph.IsRunning());
    EXPECT_TRUE(testsupport::DescribeMedia(Folder() + "/20260305_009.wma").ok);
}

TEST_F(CallRecorder, AMissingMp3EncoderGivesTheNextOne) {
    REQUIRE_PULSE(pulse);
    plat::SetCaptureEncoders({"velkoramissingmp3enc", "avenc_wmav2"});
    testing::internal::CaptureStdout();
    bool ready = m_graph.Init();
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ready) << out;
    EXPECT_NE(out.find("Testing Audio Compressor: velkoramissingmp3enc\n"
                       "Testing Audio Compressor: avenc_wmav2\n"
                       "Use wma V2 compressor ..\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(m_graph.Compressor(), "avenc_wmav2");
    Record(300);
    testsupport::MediaInfo info = testsupport::DescribeMedia(Recorded());
    ASSERT_TRUE(info.ok) << info.error;
    EXPECT_NE(info.audio.find("audio/x-wma"), std::string::npos) << info.audio;
}

TEST_F(CallRecorder, WithoutAnEncoderInitFailsAndRecNothing) {
    plat::SetCaptureEncoders({"velkoramissingmp3enc", "velkoramissingwmaenc"});
    testing::internal::CaptureStdout();
    const std::vector<CCallRecorder::Event> events = Rec();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(events, std::vector<CCallRecorder::Event>{CCallRecorder::Event::InitFailed});
    EXPECT_FALSE(m_rec.m_bCaptureReady);
    EXPECT_FALSE(m_graph.IsReady());
    EXPECT_NE(out.find("Testing Audio Compressor: velkoramissingwmaenc\n"
                       "ERROR - No audio compressor."),
              std::string::npos)
        << out;
    EXPECT_FALSE(m_rec.m_bRecording);
    // Each REC tries again, and says so again.
    EXPECT_EQ(Rec(), std::vector<CCallRecorder::Event>{CCallRecorder::Event::InitFailed});
    EXPECT_FALSE(plat::IsDirectory(Folder())) << "nothing was made";
}

TEST_F(CallRecorder, ARecordingThatCannotStartIsNotShownAsRecording) {
    REQUIRE_PULSE(pulse);
    plat::SetCaptureSource("pulsesrc device=velkora_no_such_source");
    ASSERT_TRUE(m_graph.Init());
    EXPECT_EQ(Rec(), std::vector<CCallRecorder::Event>{CCallRecorder::Event::StartFailed});
    EXPECT_FALSE(m_rec.m_bRecording);
    m_rec.OnSecond();
    EXPECT_EQ(m_rec.m_iRecordSeconds, 0);
    EXPECT_FALSE(plat::PathExists(Folder() + "/20260305_001.wma")) << "no empty recording";

    // The graph is still usable once the source is there again.
    m_graph.Release();
    plat::SetCaptureSource(Monitor());
    Record(200);
    EXPECT_EQ(Name(), "20260305_001.wma");
}

TEST_F(CallRecorder, TheFirstInputDeviceIsTakenByDefault) {
    REQUIRE_PULSE(pulse);
    plat::SetCaptureSource("");
    testing::internal::CaptureStdout();
    bool ready = m_graph.Init();
    std::string out = testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ready) << out;
    // The private server's only input is the null sink's monitor.
    EXPECT_NE(out.find("Selecting Audio Input Device: Monitor of"), std::string::npos) << out;
    Record(300);
    EXPECT_TRUE(testsupport::DescribeMedia(Recorded()).ok);
}
