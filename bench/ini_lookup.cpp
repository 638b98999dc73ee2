// One skin lookup in a 500-line skin file: the file is read and decoded once, while it stays
// unchanged; each GetIniString looks its key up in the section's rows.
#include <benchmark/benchmark.h>

#include <string>

#include "library/CVantrel.h"
#include "tests/support/TestSupport.h"

static void BM_SkinLookup500Lines(benchmark::State& state) {
    testsupport::TempDir dir;
    std::string text = "; generated skin\r\n";
    for (int s = 0; s < 10; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int i = 0; i < 49; ++i)
            text += "Button" + std::to_string(i) + " Pos = " + std::to_string(i * 10) +
                    ", 20, 120, 48 ; place\r\n";
    }
    testsupport::WriteUtf16(dir.File("skin.ini"), text, true);
    std::u16string path = dir.File16("skin.ini");
    IVantrel* root = CreateIVantrel();
    char16_t out[256];
    for (auto _ : state) {
        root->GetIniString(path.c_str(), u"Section9", u"Button48 Pos", out, 256);
        benchmark::DoNotOptimize(out);
    }
    root->Release();
}
BENCHMARK(BM_SkinLookup500Lines)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
