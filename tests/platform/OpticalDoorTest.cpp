#include "platform/sys/OpticalDoor.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteText;

// The tray key may be pressed with no drive, or with a disc image configured as the drive: it
// must then fail at once and touch nothing.
TEST(OpticalDoor, WhatIsNoDriveIsRefusedAtOnceAndLeftAlone) {
    TempDir dir;
    WriteText(dir.File("disc.cue"), "FILE \"disc.bin\" BINARY\n");
    auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(plat::OpenOpticalDoor(""));
    EXPECT_FALSE(plat::OpenOpticalDoor(dir.File("missing")));
    EXPECT_FALSE(plat::OpenOpticalDoor(dir.File("disc.cue")));
    EXPECT_FALSE(plat::OpenOpticalDoor(dir.Path()));
    EXPECT_FALSE(plat::OpenOpticalDoor("/dev/null"));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    EXPECT_EQ(testsupport::ReadText(dir.File("disc.cue")), "FILE \"disc.bin\" BINARY\n");
}
