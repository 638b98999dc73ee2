// Loading a 512x128 skin icon (soft gradients and alpha, as the homepage icons are):
//   BM_DecodeIcon            the PNG decoded from bytes in memory
//   BM_LoadIconFileFirst     from its file with nothing cached: read, decode, keep
//   BM_LoadIconFileAgain     from its file again, unchanged: the kept pixels copied
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cmath>
#include <ctime>
#include <string>
#include <vector>

#include "platform/gfx/ImageFile.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

namespace {

plat::Surface Icon() {
    plat::Surface s(512, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 512; ++x) {
            const double d = std::hypot(x % 128 - 64, y - 64);
            const uint8_t a = d > 60 ? 0 : d > 52 ? uint8_t(255 - (d - 52) * 30) : 255;
            const uint8_t r = uint8_t(40 + x / 4), g = uint8_t(200 - y), b = uint8_t((x * y) % 251);
            s.SetPixel(
                x, y,
                plat::Argb(a, uint8_t(r * a / 255), uint8_t(g * a / 255), uint8_t(b * a / 255)));
        }
    return s;
}

// An icon file whose last change lies minutes back, as a skin's files do.
std::string SettledIcon(const testsupport::TempDir& dir) {
    const std::string path = dir.File("icon.png");
    testsupport::WritePng(path, Icon());
    struct timespec times[2];
    ::clock_gettime(CLOCK_REALTIME, &times[0]);
    times[0].tv_sec -= 600;
    times[1] = times[0];
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    return path;
}

void BM_DecodeIcon(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(SettledIcon(dir));
    plat::Surface out;
    for (auto _ : state) {
        plat::LoadImageData(bytes.data(), bytes.size(), out);
        benchmark::DoNotOptimize(out.Pixels());
    }
}
BENCHMARK(BM_DecodeIcon)->Unit(benchmark::kMicrosecond);

void BM_LoadIconFileFirst(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string path = SettledIcon(dir);
    plat::Surface out;
    for (auto _ : state) {
        plat::ClearImageCache();
        plat::LoadImageFile(path, out);
        benchmark::DoNotOptimize(out.Pixels());
    }
}
BENCHMARK(BM_LoadIconFileFirst)->Unit(benchmark::kMicrosecond);

void BM_LoadIconFileAgain(benchmark::State& state) {
    testsupport::TempDir dir;
    const std::string path = SettledIcon(dir);
    plat::Surface out;
    plat::LoadImageFile(path, out);
    for (auto _ : state) {
        plat::Surface again;
        plat::LoadImageFile(path, again);
        benchmark::DoNotOptimize(again.Pixels());
    }
}
BENCHMARK(BM_LoadIconFileAgain)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
