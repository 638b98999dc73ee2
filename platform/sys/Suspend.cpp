#include "platform/sys/Suspend.h"

#include <time.h>

#include <atomic>

namespace plat {

namespace {

std::atomic<uint64_t (*)()> g_source{nullptr};

uint64_t Ms(clockid_t id) {
    timespec ts{};
    if (::clock_gettime(id, &ts) != 0)
        return 0;
    return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
}

}  // namespace

uint64_t SuspendedMs() {
    if (auto source = g_source.load())
        return source();
    uint64_t boot = Ms(CLOCK_BOOTTIME);
    uint64_t mono = Ms(CLOCK_MONOTONIC);
    return boot > mono ? boot - mono : 0;
}

void SetSuspendedMsSource(uint64_t (*source)()) {
    g_source = source;
}

}  // namespace plat
