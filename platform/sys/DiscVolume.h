// What a data disc says about itself, read from the device (or an image) without mounting it:
// its label, an id that stays the same from run to run, and the names in its root folder.
// ISO 9660 discs are read by a small bounded reader of our own (Joliet names preferred, as the
// system has always shown them); a DVD-Video with only a UDF file system through libdvdread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/sys/DrivesApi.h"

namespace plat {

struct DiscVolume {
    std::string label;                   // UTF-8, without the padding
    uint32_t serial = 0;                 // from the volume descriptor
    std::vector<std::string> rootNames;  // UTF-8, in the disc's own order, folders included
};

// Reads the 2048-byte sector `lba` into `out`; false when it cannot.
using SectorReader = std::function<bool(uint32_t lba, uint8_t* out)>;

// The ISO 9660 volume behind `read`. False (and `out` untouched) when there is no primary
// volume descriptor or its root folder cannot be read; never reads beyond what the
// descriptors announce, and stops at a bounded number of sectors and entries.
PLAT_DRIVES_API bool ReadIsoVolume(const SectorReader& read, DiscVolume& out);

// The same on a device or an image file; a disc with no ISO 9660 file system but a DVD-Video
// one (UDF only) is read through libdvdread, its root then holding "VIDEO_TS".
PLAT_DRIVES_API bool ReadDiscVolume(const std::string& source, DiscVolume& out);

}  // namespace plat
