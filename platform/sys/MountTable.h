// The kernel's mount table as /proc/self/mountinfo gives it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/sys/DrivesApi.h"

namespace plat {

struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;        // the folder of the file system that is mounted here
    std::string mountPoint;  // octal escapes (\040 for a blank) already decoded
    std::string fsType;
    std::string source;  // "/dev/sdb1", "none", ...
};

// One entry per well-formed line; lines that do not parse are skipped, so a table that is
// cut short or damaged still gives every good line before and after the damage.
PLAT_DRIVES_API std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Decodes the \ooo escapes the kernel writes for blanks, tabs, newlines and backslashes.
PLAT_DRIVES_API std::string DecodeMountField(std::string_view field);

}  // namespace plat
