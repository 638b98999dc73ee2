// How long the machine has slept: the monotonic clock stands still while the system is
// suspended and the boot-time clock does not, so their difference grows by each sleep. A
// program that polls it sees that the system has resumed.
#pragma once

#include <cstdint>

namespace plat {

// Milliseconds spent suspended since boot.
uint64_t SuspendedMs();

// Tests stand in for a suspend with their own source; null goes back to the clocks.
void SetSuspendedMsSource(uint64_t (*source)());

}  // namespace plat
