// Call recording: from REC (the graph run with a new file) until the first encoded audio is in
// the file, recording the monitor of a private PulseAudio server's null sink while a tone plays
// into it. Goal: at most 300 ms.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "apps/phone/CaptureGraph.h"
#include "platform/io/File.h"
#include "platform/media/AudioCapture.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TestSupport.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// The first audio chunk of stream 0 in the AVI file ("00wb" after "movi").
bool HasAudioChunk(const std::string& path) {
    std::string data;
    if (!plat::ReadFileToEnd(path, data, 1u << 22))
        return false;
    size_t movi = data.find("movi");
    return movi != std::string::npos && data.find("00wb", movi) != std::string::npos;
}

void BM_RecStartToFirstEncodedBytes(benchmark::State& state) {
    testsupport::PulseServer pulse;
    if (!pulse.Running()) {
        state.SkipWithError(("no PulseAudio: " + pulse.Error()).c_str());
        return;
    }
    std::vector<std::string> args = {"gst-launch-1.0",
                                     "-q",
                                     "audiotestsrc",
                                     "is-live=true",
                                     "!",
                                     "pulsesink",
                                     "buffer-time=20000",
                                     "latency-time=5000",
                                     std::string("device=") + pulse.Sink()};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t tone = -1;
    posix_spawnp(&tone, "gst-launch-1.0", nullptr, nullptr, argv.data(), environ);
    testsupport::WaitFor([&] { return !pulse.Pactl("list short sink-inputs").empty(); });

    testsupport::TempDir dir;
    plat::SetCaptureSource(std::string("pulsesrc device=") + pulse.Sink() + ".monitor");
    {
        CCaptureGraph graph;
        if (!graph.Init()) {
            state.SkipWithError("the capture graph cannot be built");
        } else {
            int n = 0;
            for (auto _ : state) {
                std::string path = dir.File("rec" + std::to_string(n++) + ".wma");
                Clock::time_point start = Clock::now();
                if (!graph.Run(path)) {
                    state.SkipWithError("the recording did not start");
                    break;
                }
                while (!HasAudioChunk(path) && Clock::now() - start < std::chrono::seconds(5))
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                state.SetIterationTime(ms / 1000.0);
                state.PauseTiming();
                graph.Stop();
                state.ResumeTiming();
            }
        }
    }
    if (tone > 0) {
        kill(tone, SIGTERM);
        int status;
        waitpid(tone, &status, 0);
    }
}
BENCHMARK(BM_RecStartToFirstEncodedBytes)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
