// What one change of a status value costs. The store replaces its file whole but leaves the
// write-back to the system; a file that must outlast a power cut is synced with its folder.
// The folder is $TMPDIR's: on a tmpfs the sync costs nothing, so run it on the unit's storage.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/io/File.h"
#include "platform/io/KeyValueStore.h"
#include "tests/support/TestSupport.h"

namespace {

const char* const kKey = "SOFTWARE\\Orvanel";

// Both seats' status words in turn, as an idle unit writes them.
void BM_StatusChange(benchmark::State& state) {
    testsupport::TempDir dir;
    plat::KeyValueStore store;
    store.Open(dir.File("Registry.ini"));
    store.SetString(kKey, "TimeCurrent", u"00:00:00");
    store.SetDword(kKey, "Lang", 0);
    uint32_t turn = 0;
    for (auto _ : state)
        store.SetDword(kKey, "Status", (++turn & 1) ? 0x30101u : 0x01030101u);
}
BENCHMARK(BM_StatusChange)->Unit(benchmark::kMicrosecond);

// The same file replaced with each promise: 0 readers only, 1 safe against a power cut.
void BM_ReplaceStatusFile(benchmark::State& state) {
    const plat::Durability durability =
        state.range(0) ? plat::Durability::PowerSafe : plat::Durability::ReadersOnly;
    testsupport::TempDir dir;
    const std::string path = dir.File("Registry.ini");
    const std::string text =
        "[SOFTWARE\\Orvanel]\nLang = dword:00000000\nStatus = dword:00030101\n"
        "TimeCurrent = sz:\"00:00:00\"\n";
    for (auto _ : state)
        plat::WriteFileAtomic(path, text.data(), text.size(), durability);
}
BENCHMARK(BM_ReplaceStatusFile)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
