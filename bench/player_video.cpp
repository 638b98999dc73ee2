// Video on a seat, headless, with a 1920x1080 H.264 file (10 s of bars with a tone):
// - BM_PlayerOpenPlayToFirstFrame: from OpenFile + Play until the first frame shows in the
//   front seat's picture, scaled to the whole 800x480 seat (goal: at most 150 ms);
// - BM_PlayerVideoCpu: processor time per second of playing to the seat, the screen composed
//   for every new frame as the display backend does, beside
// - BM_GstLaunchPlaybinCpu: gst-launch-1.0 playbin into synchronised fakesinks, the same file
//   and the same length, in a process of its own (its processor time read at its end).
// Both play the first 5 s. The audio goes to a synchronised fakesink in both.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "library/include/Vantrel.h"
#include "library/multimedia/KvPlayer.h"
#include "platform/media/MediaConfig.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "tests/media/TestMedia.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPlaySeconds = 5;

class Seat : public plat::ui::Window {
protected:
    void OnPaint(plat::Surface& s, const plat::Rect&) override { s.Fill(0xFF000000u); }
};

// The headless layer with a front seat, and a player shown on all of it.
struct SeatPlayer {
    bool ok = false;
    Seat seat;
    IVantrel* root = nullptr;
    KvMultimedia::IKvPlayer* player = nullptr;

    SeatPlayer() {
        plat::SetAudioOutput("fakesink sync=true");
        plat::ui::Options options;
        options.backend = plat::ui::Backend::Headless;
        if (!plat::ui::Init(options))
            return;
        plat::ui::CreateParams p;
        p.rect = plat::Rect::FromXYWH(0, 0, 800, 480);
        p.visible = true;
        if (!seat.Create(p))
            return;
        plat::ui::PumpUntilIdle();
        root = CreateIVantrel();
        ok = root && root->CreatePlayer(&player) == RZ_OK && player->Init(0, seat.Id()) == RZ_OK;
    }
    ~SeatPlayer() {
        if (player)
            player->Release();
        if (root)
            root->Release();
        seat.Destroy();
        plat::ui::Terminate();
    }
    bool Start(const std::u16string& path) {
        return player->OpenFile(path.c_str(), KvMultimedia::IKvPlayer::MEDIA_FILE) == RZ_OK &&
               player->SetVideoPos(0, 0, 800, 480) == RZ_OK && player->ShowVideo(1) == RZ_OK &&
               player->Play() == RZ_OK;
    }
    // The white bar at the top left of the seat.
    bool BarsShown() {
        plat::Surface picture;
        return plat::ui::GetWindowPicture(seat.Id(), picture) &&
               (picture.PixelAt(20, 100) & 0xFFFFFF) > 0xE0E0E0;
    }
};

double CpuSeconds(const rusage& u) {
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_PlayerOpenPlayToFirstFrame(benchmark::State& state) {
    const std::u16string path = plat::Utf8ToUtf16(testmedia::VideoMp4FullHd());
    SeatPlayer seat;
    if (!seat.ok) {
        state.SkipWithError("no player");
        return;
    }
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!seat.Start(path)) {
            state.SkipWithError("cannot play the file");
            break;
        }
        while (!seat.BarsShown())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        seat.player->Close();
    }
}
BENCHMARK(BM_PlayerOpenPlayToFirstFrame)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

void BM_PlayerVideoCpu(benchmark::State& state) {
    const std::u16string path = plat::Utf8ToUtf16(testmedia::VideoMp4FullHd());
    SeatPlayer seat;
    if (!seat.ok) {
        state.SkipWithError("no player");
        return;
    }
    auto video = static_cast<KvMultimedia::CKvPlayer*>(seat.player)->VideoWindow();
    double cpuPerSecond = 0;
    double frames = 0;
    for (auto _ : state) {
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        const Clock::time_point start = Clock::now();
        if (!seat.Start(path)) {
            state.SkipWithError("cannot play the file");
            break;
        }
        // The screen is composed whenever a new frame is there, as the display backend does.
        plat::Surface screen;
        uint64_t shown = 0;
        int composed = 0;
        while (Clock::now() - start < std::chrono::seconds(kPlaySeconds)) {
            const uint64_t serial = video->View().serial;
            if (serial != shown) {
                shown = serial;
                plat::ui::CaptureScreen(0, screen);
                ++composed;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        seat.player->Close();
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        cpuPerSecond += (CpuSeconds(after) - CpuSeconds(before)) / wall;
        frames += composed / wall;
        state.SetIterationTime(wall);
    }
    state.counters["cpu_s_per_s"] =
        benchmark::Counter(cpuPerSecond, benchmark::Counter::kAvgIterations);
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PlayerVideoCpu)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(3);

void BM_GstLaunchPlaybinCpu(benchmark::State& state) {
    const std::string file = testmedia::VideoMp4FullHd();
    double cpuPerSecond = 0;
    for (auto _ : state) {
        std::vector<std::string> argv = {"gst-launch-1.0",
                                         "-q",
                                         "playbin",
                                         "uri=file://" + file,
                                         "video-sink=fakesink sync=true",
                                         "audio-sink=fakesink sync=true"};
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const Clock::time_point start = Clock::now();
        const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            state.SkipWithError("gst-launch-1.0 does not start");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(kPlaySeconds));
        kill(pid, SIGKILL);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        cpuPerSecond += CpuSeconds(usage) / wall;
        state.SetIterationTime(wall);
    }
    state.counters["cpu_s_per_s"] =
        benchmark::Counter(cpuPerSecond, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GstLaunchPlaybinCpu)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
