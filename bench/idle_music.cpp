// What the head unit's event loop costs while nothing changes: the whole unit in this process
// (tests/harness), its clock moved on in real time in the steps the program's loop takes, the
// front seat on its homepage, then with a tone playing on the music page (sound to the null sink
// of a PulseAudio server of the benchmark's own). CPU time of the process over 10 s, in % of a
// core. The harness's own pumping is counted too: the figures are an upper bound.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "apps/media/MPDefaultDlg.h"
#include "apps/media/MediaListHandlers.h"
#include "core/shell/SeatCtrlDlg.h"
#include "library/include/IKvListbox.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/media/TestMedia.h"
#include "tests/support/PulseServer.h"
#include "tests/support/TestSupport.h"

namespace {

double CpuMs() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// 10 s of real time with the unit's clock following it.
void IdleFor10s(harness::HeadUnit& unit, benchmark::State& state) {
    const double before = CpuMs();
    const auto t0 = std::chrono::steady_clock::now();
    auto last = t0;
    while (std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const auto now = std::chrono::steady_clock::now();
        unit.Advance(static_cast<uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count()));
        last = now;
    }
    const double used = CpuMs() - before;
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    state.SetIterationTime(wall / 1000.0);
    state.counters["cpu_ms"] = used;
    state.counters["cpu_percent_of_a_core"] = 100.0 * used / wall;
}

void TapRow(harness::HeadUnit& unit, KvUserInterface::IKvListbox* list, int index) {
    plat::Rect r;
    list->GetItemRect(index, &r);
    unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(60);
}

void BM_IdleCpuInProcess(benchmark::State& state) {
    const bool music = state.range(0) != 0;
    testsupport::PulseServer pulse;
    if (music && !pulse.Running()) {
        state.SkipWithError(("no sound server: " + pulse.Error()).c_str());
        return;
    }
    // A tone of 20 s: it plays all through the measurement.
    testsupport::TempDir media;
    const std::string mp3 = media.File("Tone.mp3");
    if (!testmedia::RunTool({"gst-launch-1.0", "-q", "audiotestsrc", "num-buffers=200",
                             "samplesperbuffer=4410", "freq=440", "volume=0.2", "!",
                             "audio/x-raw,rate=44100,channels=2", "!", "lamemp3enc", "!", "xingmux",
                             "!", "filesink", "location=" + mp3})) {
        state.SkipWithError("the tone could not be made");
        return;
    }
    harness::HeadUnitOptions options;
    const std::string server = std::getenv("PULSE_SERVER") ? std::getenv("PULSE_SERVER") : "";
    options.prepare = [&](const std::string& base) {
        if (!server.empty())
            ::setenv("PULSE_SERVER", server.c_str(), 1);
        std::filesystem::create_directories(base + "/Velkora Media/Music");
        std::filesystem::copy_file(mp3, base + "/Velkora Media/Music/Tone.mp3");
    };
    for (auto _ : state) {
        harness::HeadUnit unit(options);
        if (!unit.Start()) {
            state.SkipWithError("the unit did not start");
            return;
        }
        unit.Advance(3000);
        if (music) {
            const plat::Point icon = harness::HomepageIconCentre(0, "APPTYPE_MUSIC");
            unit.Tap(icon.x, icon.y);
            unit.Advance(200);
            auto* page = static_cast<CMPDefaultDlg*>(unit.Page(0, APPTYPE_MUSIC));
            TapRow(unit, page->DriveList(), 0);
            TapRow(unit, page->FileList(), 0);
            if (page->GetPlayState() != PLAYSTATE_PLAYING) {
                state.SkipWithError("the music did not start");
                return;
            }
        }
        IdleFor10s(unit, state);
        if (music) {
            state.counters["still_playing"] =
                unit.Page(0, APPTYPE_MUSIC)->GetPlayState() == PLAYSTATE_PLAYING;
        }
        unit.Close();
    }
}
BENCHMARK(BM_IdleCpuInProcess)
    ->Arg(0)
    ->Arg(1)
    ->ArgNames({"music"})
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
