// Memory of the whole head unit with every page built.
//
//   BM_ResidentAfterStartup   the program as a process of its own (headless, power module
//                             emulated): resident memory once both seats are painted and it has
//                             settled, and its peak
//   BM_ResidentAfterTour      the unit in this process (tests/harness): resident memory after
//                             start-up and after each seat has shown every one of its pages; the
//                             growth on each page's first showing is reported per page (a heap
//                             profile by page), the largest first
#include <benchmark/benchmark.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/kernel/CfgData.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/io/PortMap.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/Program.h"
#include "tests/support/TestSupport.h"

namespace {

// A field of /proc/<pid>/status in kB ("VmRSS", "VmHWM").
long StatusKb(const std::string& pid, const char* field) {
    std::ifstream in("/proc/" + pid + "/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return std::atol(line.c_str() + prefix.size());
    }
    return -1;
}

void BM_ResidentAfterStartup(benchmark::State& state) {
    testsupport::TempDir dir;
    harness::MakeBaseFolder(dir.Path());
    emu::PowerModuleEmulator power;
    if (!power.Start() ||
        !plat::SetPortMapEntry(dir.File(plat::kPortMapFile), "com2", power.DevicePath())) {
        state.SkipWithError("the power-module emulator did not start");
        return;
    }
    for (auto _ : state) {
        harness::Program velkora;
        if (!velkora.Start(harness::VelkoraPath(), {}, dir.Path(),
                           harness::BaseFolderEnvironment(dir.Path()))) {
            state.SkipWithError("the program did not start");
            return;
        }
        if (!harness::WaitForStartUp(dir.Path(), 60000)) {
            state.SkipWithError("the program did not come up");
            return;
        }
        // The homepages' pictures are decoded on other cores after the first paint.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const std::string pid = std::to_string(velkora.Pid());
        state.counters["rss_MB"] = StatusKb(pid, "VmRSS") / 1024.0;
        state.counters["peak_rss_MB"] = StatusKb(pid, "VmHWM") / 1024.0;
        velkora.Signal(SIGTERM);
        velkora.Wait(30000);
    }
}
BENCHMARK(BM_ResidentAfterStartup)->Iterations(1)->Unit(benchmark::kSecond);

void BM_ResidentAfterTour(benchmark::State& state) {
    for (auto _ : state) {
        harness::HeadUnit unit;
        if (!unit.Start()) {
            state.SkipWithError("the unit did not start");
            return;
        }
        unit.Advance(3000);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        unit.Pump();
        const long start = StatusKb("self", "VmRSS");
        std::vector<std::pair<long, std::string>> growth;
        for (int seat = 0; seat < 2; ++seat) {
            for (int app = 1; app < APPTYPE_COUNT; ++app) {
                if (!unit.Page(seat, app))
                    continue;
                const long before = StatusKb("self", "VmRSS");
                intptr_t result = -1;
                plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat,
                                      (APPTYPE_HOMEPAGE << 16) | app, &result);
                plat::ui::InvalidateRect(unit.Seat(seat)->Id());
                unit.Advance(300);
                plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat, APPTYPE_HOMEPAGE,
                                      &result);
                plat::ui::InvalidateRect(unit.Seat(seat)->Id());
                unit.Advance(100);
                const long after = StatusKb("self", "VmRSS");
                char name[64];
                std::snprintf(name, sizeof name, "%s %s", seat ? "rear" : "front",
                              plat::Utf16ToUtf8(g_szAppTypeNames[app]).c_str());
                growth.emplace_back(after - before, name);
            }
        }
        const long end = StatusKb("self", "VmRSS");
        state.counters["rss_after_start_MB"] = start / 1024.0;
        state.counters["rss_after_tour_MB"] = end / 1024.0;
        state.counters["peak_rss_MB"] = StatusKb("self", "VmHWM") / 1024.0;
        std::sort(growth.rbegin(), growth.rend());
        std::fprintf(stderr, "resident growth on each page's first showing (kB):\n");
        for (const auto& [kb, name] : growth) {
            if (kb > 0)
                std::fprintf(stderr, "  %7ld  %s\n", kb, name.c_str());
        }
        unit.Close();
    }
}
BENCHMARK(BM_ResidentAfterTour)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
