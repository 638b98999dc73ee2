// What the head unit costs while nothing changes: the built program as a process of its own,
// in a base folder made for it, with the power module emulated and its sound going to the null
// sink of a PulseAudio server of the benchmark's own. Either on its homepage, or with a tone
// playing on the front seat's music page (the page the last run left playing, brought back at
// start), nothing touched. Headless, or with SDL on an X server: the one $DISPLAY names, else
// an Xvfb of the benchmark's own.
//
// Counted over 10 s once the unit has settled: the process's CPU time (utime + stime of
// /proc/<pid>/stat, and the finer run time of its threads from their schedstat) in % of a
// core, and its context switches per second (each one a wake-up of some thread).
// VELKORA_IDLE_HOLD=<seconds> holds each run that long before the count and names the
// process, for a profiler to look at it.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/KernelData.h"
#include "core/shell/AppRestore.h"
#include "core/ui/AppType.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/io/PortMap.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/Program.h"
#include "tests/media/TestMedia.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TestSupport.h"
#include "tests/support/XServer.h"

namespace {

constexpr int kMeasureSeconds = 10;
// Start-up, the settling and the measurement fit well within it.
constexpr int kToneSeconds = 60;

// The display the benchmark was started with; the headless runs must not see it.
const std::string g_display = [] {
    const char* d = std::getenv("DISPLAY");
    std::string display = d ? d : "";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    return display;
}();

bool WaitUntil(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Summed over the process's threads: run time in ns (schedstat) and context switches.
struct ThreadTotals {
    double runNs = 0;
    double switches = 0;
};

ThreadTotals Totals(int pid) {
    ThreadTotals t;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = ::opendir(tasks.c_str());
    if (!dir)
        return t;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.')
            continue;
        const std::string task = tasks + "/" + e->d_name;
        std::ifstream sched(task + "/schedstat");
        double run = 0;
        if (sched >> run)
            t.runNs += run;
        std::ifstream status(task + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                t.switches += std::atof(line.c_str() + line.find(':') + 1);
        }
    }
    ::closedir(dir);
    return t;
}

// The streams the sound server plays; one line each.
int SinkInputs(const testsupport::PulseServer& pulse) {
    std::istringstream lines(pulse.Pactl("list short sink-inputs"));
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        n += line.empty() ? 0 : 1;
    return n;
}

void BM_IdleCpu(benchmark::State& state) {
    const bool music = state.range(0) != 0;
    const bool x11 = state.range(1) != 0;
    testsupport::PulseServer pulse;
    if (!pulse.Running()) {
        state.SkipWithError(("no sound server: " + pulse.Error()).c_str());
        return;
    }
    std::unique_ptr<testsupport::XServer> xserver;
    std::string display = g_display;
    if (x11 && display.empty()) {
        xserver = std::make_unique<testsupport::XServer>();
        display = xserver->Display();
        if (display.empty()) {
            state.SkipWithError("no X server");
            return;
        }
    }
    testsupport::TempDir dir;
    harness::MakeBaseFolder(dir.Path());
    const std::string music_folder = dir.File("Velkora Media/Music");
    std::filesystem::create_directories(music_folder);
    if (music) {
        if (!testmedia::RunTool({"gst-launch-1.0", "-q", "audiotestsrc",
                                 "num-buffers=" + std::to_string(kToneSeconds * 10),
                                 "samplesperbuffer=4410", "freq=440", "volume=0.2", "!",
                                 "audio/x-raw,rate=44100,channels=2", "!", "lamemp3enc",
                                 "bitrate=64", "!", "xingmux", "!", "filesink",
                                 "location=" + music_folder + "/Tone.mp3"})) {
            state.SkipWithError("the tone could not be made");
            return;
        }
        // As the end of a run that played it leaves the settings: the next start plays on.
        CKernelData data;
        data.SetBaseDir(dir.Path());
        if (!data.LoadSettings()) {
            state.SkipWithError("no settings to start from");
            return;
        }
        data.m_Settings.dwAppStatus = APP_STATUS_MUSIC;
        data.m_Settings.iMediaType = 0;
        data.m_Settings.iCurrentApp = APPTYPE_MUSIC;
        plat::StrCopy(data.m_Settings.szCurrentMusic, u"D:\\Velkora Media\\Music\\Tone.mp3");
        data.m_Settings.szCurrentPlaylist[0] = 0;
        if (!data.SaveSettings()) {
            state.SkipWithError("the settings could not be written");
            return;
        }
    }
    emu::PowerModuleEmulator power;
    if (!power.Start() ||
        !plat::SetPortMapEntry(dir.File(plat::kPortMapFile), "com2", power.DevicePath())) {
        state.SkipWithError("the power-module emulator did not start");
        return;
    }
    std::vector<std::string> env = harness::BaseFolderEnvironment(dir.Path());
    if (x11)
        env.push_back("DISPLAY=" + display);
    for (auto _ : state) {
        harness::Program velkora;
        if (!velkora.Start(harness::VelkoraPath(), {}, dir.Path(), env)) {
            state.SkipWithError("the program did not start");
            return;
        }
        if (!harness::WaitForStartUp(dir.Path(), 60000)) {
            state.SkipWithError("the program did not come up");
            return;
        }
        if (music && !WaitUntil([&] { return SinkInputs(pulse) > 0; }, 30000)) {
            state.SkipWithError("the music did not start");
            return;
        }
        // The pictures of the pages are decoded after the first paint, on other cores.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        if (const char* hold = std::getenv("VELKORA_IDLE_HOLD")) {
            std::fprintf(stderr, "velkora runs as pid %d for %s s before the count\n",
                         velkora.Pid(), hold);
            std::this_thread::sleep_for(std::chrono::seconds(std::atoi(hold)));
        }
        const long cpu0 = velkora.CpuMs();
        const ThreadTotals t0 = Totals(velkora.Pid());
        const auto w0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(kMeasureSeconds));
        const long cpu1 = velkora.CpuMs();
        const ThreadTotals t1 = Totals(velkora.Pid());
        const double wallMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - w0)
                .count();
        state.SetIterationTime(wallMs / 1000.0);
        state.counters["cpu_percent_of_a_core"] = 100.0 * double(cpu1 - cpu0) / wallMs;
        state.counters["run_percent_of_a_core"] = 100.0 * (t1.runNs - t0.runNs) / 1e6 / wallMs;
        state.counters["switches_per_s"] = (t1.switches - t0.switches) * 1000.0 / wallMs;
        if (music)
            state.counters["still_playing"] = SinkInputs(pulse) > 0;
        velkora.Signal(SIGTERM);
        if (!velkora.Wait(30000))
            velkora.Signal(SIGKILL);
    }
}
BENCHMARK(BM_IdleCpu)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->ArgNames({"music", "x11"})
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
