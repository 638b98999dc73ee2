// The built program killed with SIGKILL at random moments while it changes and saves its
// settings (and while the end of a session saves its state), then started again: every stored
// file is whole or absent after each kill, the next start reads it and removes what the cut
// saves left. The full count of kills is the benchmark bench_power_cut.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/harness/PowerCut.h"

namespace {

void RunKills(int kills) {
    const unsigned seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    // Under the sanitizers the start-up alone takes a second or more: the kills spread over it
    // and the key presses after it.
    harness::PowerCutRig rig(seed, 2000);
    std::string why;
    ASSERT_TRUE(rig.Prepare(&why)) << why;
    std::vector<std::string> faults;
    for (int i = 0; i < kills; ++i)
        rig.Cycle(faults);
    rig.FinalStart(faults);
    for (const std::string& fault : faults)
        ADD_FAILURE() << fault;
    const harness::PowerCutCounts& counts = rig.Counts();
    EXPECT_EQ(counts.kills, kills);
    EXPECT_GT(counts.startsChecked, 0) << "no start came far enough to be checked";
    EXPECT_EQ(counts.tempFilesRemoved, counts.tempFilesLeft);
    std::printf(
        "kills %d (at the end of a session %d), starts checked %d, temporary files "
        "left %d, removed %d, stored files whole %d\n",
        counts.kills, counts.killsAtTheEnd, counts.startsChecked, counts.tempFilesLeft,
        counts.tempFilesRemoved, counts.storedFilesSeen);
}

}  // namespace

// Twenty kills in four runs of five, each run in a base folder of its own, so that they can run
// side by side.
class PowerCut : public ::testing::TestWithParam<int> {};

TEST_P(PowerCut, FiveKillsLeaveEveryStoredFileWholeAndTheNextStartReadsIt) {
    RunKills(5);
}

INSTANTIATE_TEST_SUITE_P(Runs, PowerCut, ::testing::Range(0, 4));
