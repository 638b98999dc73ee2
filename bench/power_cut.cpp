// Power cuts of the built program: 200 kills with SIGKILL at random moments while it changes and
// saves its settings or saves its state at the end of a session (tests/harness/PowerCut.h),
// each followed by a check of every stored file and of what the next start read. The test
// suite runs twenty of them; here the full count, with what was found as counters.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tests/harness/PowerCut.h"

namespace {

void BM_PowerCuts(benchmark::State& state) {
    const int kills = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const unsigned seed = std::random_device()();
        harness::PowerCutRig rig(seed, 1500);
        std::string why;
        if (!rig.Prepare(&why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        std::vector<std::string> faults;
        for (int i = 0; i < kills; ++i)
            rig.Cycle(faults);
        rig.FinalStart(faults);
        for (const std::string& fault : faults)
            std::fprintf(stderr, "power cut (seed %u): %s\n", seed, fault.c_str());
        const harness::PowerCutCounts& c = rig.Counts();
        state.counters["kills"] = c.kills;
        state.counters["kills_at_session_end"] = c.killsAtTheEnd;
        state.counters["starts_checked"] = c.startsChecked;
        state.counters["temp_files_left"] = c.tempFilesLeft;
        state.counters["temp_files_removed"] = c.tempFilesRemoved;
        state.counters["stored_files_whole"] = c.storedFilesSeen;
        state.counters["faults"] = static_cast<double>(faults.size());
        if (!faults.empty())
            state.SkipWithError("a stored file was torn or not read (see above)");
    }
}
BENCHMARK(BM_PowerCuts)->Arg(200)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
