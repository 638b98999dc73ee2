// The drive layer (sys/Drives, MountTable, DiscVolume, DiscMount) is built once, as a shared
// library of its own (libDriveMap.so) that the program and libVantrel.so both load: the drive
// letters are one map for both, refreshed by the program's once-a-second scan. Only what is
// marked with this is seen outside that library.
#pragma once

#define PLAT_DRIVES_API __attribute__((visibility("default")))
