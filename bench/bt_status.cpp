// The Bluetooth module's status over a pseudo-terminal: from "j4" sent until the link has
// handled the module's S line, the module's 100 ms pause after each command included.
// Goal: at most 150 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "apps/phone/BTModule.h"
#include "devices/BTModuleEmulator.h"

namespace {

void BM_StatusRequestToStatusHandled(benchmark::State& state) {
    emu::BTModuleEmulator module;
    if (!module.Start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    CBTModule bt;
    if (!bt.Initialize(module.DevicePath().c_str())) {
        state.SkipWithError("the link did not open");
        return;
    }
    bool paired = false;
    for (auto _ : state) {
        // Each round the module reports the other state, so the handled line is always new.
        state.PauseTiming();
        paired = !paired;
        module.Update([&](emu::BTModuleSettings& s) { s.paired = paired; });
        state.ResumeTiming();
        bt.Send("j4");
        while (bt.IsPaired() != paired) {
            bt.Poll();
            if (bt.IsPaired() != paired)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}
BENCHMARK(BM_StatusRequestToStatusHandled)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
