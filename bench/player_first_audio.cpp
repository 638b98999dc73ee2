// Tap-to-audio for a local MP3: from OpenFile + Play to the first audio buffer at the output,
// beside gst-launch-1.0 playbin on the same file measured the same way. Both play into a
// synchronised fakesink. "arrive" is the first buffer reaching the sink (held there until
// playback starts), "render" the first buffer played (the sink takes the next one only after
// it). For gst-launch the clock starts when it prints "Setting pipeline to PAUSED", i.e. after
// process start and GStreamer initialisation, which are reported apart as "startup". A fresh
// gst-launch process also loads its plugins on the way, so the player is measured in a fresh
// process too ("cold": this program run again with --cold-once), beside the warm figure of a
// player in a running program.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "library/include/IKvPlayer.h"
#include "library/include/Vantrel.h"
#include "platform/media/MediaConfig.h"
#include "platform/media/MediaPipeline.h"
#include "platform/text/Text.h"
#include "tests/media/TestMedia.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Opens and plays the file, and waits until the output has taken audio: `first` is when the
// first buffer reached it, `played` when the second had (the output is rendering).
bool PlayToFirstAudio(KvMultimedia::IKvPlayer* player, const std::u16string& path,
                      Clock::time_point& first, Clock::time_point& played) {
    if (player->OpenFile(path.c_str(), KvMultimedia::IKvPlayer::MEDIA_FILE) != RZ_OK ||
        player->Play() != RZ_OK)
        return false;
    void* graph = nullptr;
    player->GetGraph(&graph);
    auto* pipeline = static_cast<plat::MediaPipeline*>(graph);
    while (pipeline->AudioBuffers() < 2)
        std::this_thread::yield();
    played = Clock::now();
    first = Clock::time_point{std::chrono::nanoseconds(pipeline->FirstAudioBufferTime())};
    return true;
}

void BM_PlayerOpenPlayToFirstAudio(benchmark::State& state) {
    plat::SetAudioOutput("fakesink sync=true");
    const std::u16string path = plat::Utf8ToUtf16(testmedia::Mp3());
    IVantrel* root = CreateIVantrel();
    KvMultimedia::IKvPlayer* player = nullptr;
    if (!root || root->CreatePlayer(&player) != RZ_OK) {
        state.SkipWithError("no player");
        return;
    }
    player->Init(0, 0);
    double arrive = 0;
    double render = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        Clock::time_point first, played;
        if (!PlayToFirstAudio(player, path, first, played)) {
            state.SkipWithError("cannot play the file");
            break;
        }
        arrive += MsBetween(start, first);
        render += MsBetween(start, played);
        state.SetIterationTime(std::chrono::duration<double>(played - start).count());
        player->Close();
    }
    state.counters["arrive_ms"] = benchmark::Counter(arrive, benchmark::Counter::kAvgIterations);
    state.counters["render_ms"] = benchmark::Counter(render, benchmark::Counter::kAvgIterations);
    player->Release();
    root->Release();
}
BENCHMARK(BM_PlayerOpenPlayToFirstAudio)->UseManualTime()->Unit(benchmark::kMillisecond);

// Runs gst-launch-1.0 and reads its verbose output until the sink has played a buffer.
struct LaunchTimes {
    bool ok = false;
    double startup = 0;  // spawn to "Setting pipeline to PAUSED"
    double arrive = 0;   // from there to the first buffer at the sink
    double render = 0;   // from there to the first buffer played
};

LaunchTimes RunGstLaunch(const std::string& file, const char* extraEnv) {
    LaunchTimes times;
    int out[2];
    if (pipe(out) != 0)
        return times;
    const std::string uri = "uri=file://" + file;
    std::vector<std::string> argv = {
        "gst-launch-1.0",     "-v", "playbin", uri, "audio-sink=fakesink sync=true silent=false",
        "video-sink=fakesink"};
    std::vector<char*> args;
    for (auto& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const Clock::time_point spawned = Clock::now();
    std::vector<char*> env;
    for (char** e = environ; *e; ++e)
        env.push_back(*e);
    std::string extra = extraEnv ? extraEnv : "";
    if (!extra.empty())
        env.push_back(extra.data());
    env.push_back(nullptr);
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (rc != 0) {
        close(out[0]);
        return times;
    }
    Clock::time_point paused{};
    bool sawPaused = false;
    bool sawArrive = false;
    std::string pending;
    const Clock::time_point deadline = spawned + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        const Clock::time_point now = Clock::now();
        pending.append(buf, static_cast<size_t>(n));
        size_t eol;
        bool done = false;
        while ((eol = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (!sawPaused && line.find("Setting pipeline to PAUSED") != std::string::npos) {
                sawPaused = true;
                paused = now;
                times.startup = MsBetween(spawned, now);
            } else if (sawPaused && line.find("last-message = preroll") != std::string::npos &&
                       !sawArrive) {
                sawArrive = true;
                times.arrive = MsBetween(paused, now);
            } else if (sawPaused && line.find("last-message = chain") != std::string::npos) {
                times.render = MsBetween(paused, now);
                times.ok = sawArrive;
                done = true;
                break;
            }
        }
        if (done)
            break;
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    return times;
}

// Without and with the player's choice of MP3 decoder (the dedicated one over libav's).
void BM_GstLaunchPlaybinToFirstAudio(benchmark::State& state) {
    const std::string file = testmedia::Mp3();
    const char* env = state.range(0) ? "GST_PLUGIN_FEATURE_RANK=mpg123audiodec:PRIMARY" : nullptr;
    double startup = 0;
    double arrive = 0;
    double render = 0;
    for (auto _ : state) {
        const LaunchTimes t = RunGstLaunch(file, env);
        if (!t.ok) {
            state.SkipWithError("gst-launch-1.0 gave no buffer");
            break;
        }
        startup += t.startup;
        arrive += t.arrive;
        render += t.render;
        state.SetIterationTime(t.render / 1000.0);
    }
    state.counters["startup_ms"] = benchmark::Counter(startup, benchmark::Counter::kAvgIterations);
    state.counters["arrive_ms"] = benchmark::Counter(arrive, benchmark::Counter::kAvgIterations);
    state.counters["render_ms"] = benchmark::Counter(render, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GstLaunchPlaybinToFirstAudio)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

// One open in a fresh process: prints "startup arrive render" in milliseconds, the latter two
// from the OpenFile call.
int ColdOnce(const Clock::time_point processStart) {
    plat::SetAudioOutput("fakesink sync=true");
    const std::u16string path = plat::Utf8ToUtf16(testmedia::Mp3());
    IVantrel* root = CreateIVantrel();
    KvMultimedia::IKvPlayer* player = nullptr;
    if (!root || root->CreatePlayer(&player) != RZ_OK)
        return 1;
    player->Init(0, 0);
    const Clock::time_point start = Clock::now();
    Clock::time_point first, played;
    if (!PlayToFirstAudio(player, path, first, played))
        return 1;
    std::printf("%f %f %f\n", MsBetween(processStart, start), MsBetween(start, first),
                MsBetween(start, played));
    std::fflush(stdout);
    player->Release();
    root->Release();
    return 0;
}

std::string g_self;

void BM_PlayerColdProcessToFirstAudio(benchmark::State& state) {
    double startup = 0;
    double arrive = 0;
    double render = 0;
    for (auto _ : state) {
        const std::string command = "'" + g_self + "' --cold-once";
        FILE* child = popen(command.c_str(), "r");
        double s = 0, a = 0, r = 0;
        const bool ok = child && std::fscanf(child, "%lf %lf %lf", &s, &a, &r) == 3;
        if (child)
            pclose(child);
        if (!ok) {
            state.SkipWithError("the cold run failed");
            break;
        }
        startup += s;
        arrive += a;
        render += r;
        state.SetIterationTime(r / 1000.0);
    }
    state.counters["startup_ms"] = benchmark::Counter(startup, benchmark::Counter::kAvgIterations);
    state.counters["arrive_ms"] = benchmark::Counter(arrive, benchmark::Counter::kAvgIterations);
    state.counters["render_ms"] = benchmark::Counter(render, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PlayerColdProcessToFirstAudio)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    const Clock::time_point processStart = Clock::now();
    if (argc > 1 && std::string(argv[1]) == "--cold-once")
        return ColdOnce(processStart);
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    g_self = n > 0 ? std::string(self, static_cast<size_t>(n)) : argv[0];
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
