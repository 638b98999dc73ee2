// The table of contents of an audio CD, read through libcdio from a drive or a BIN/CUE image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

constexpr int kCdSectorsPerSecond = 75;

struct CdTrack {
    int number = 0;           // as on the disc, from 1
    int32_t startSector = 0;  // logical sector of the track's start
    int32_t sectors = 0;      // length up to the next track or the lead-out
    bool audio = false;
};

struct CdToc {
    std::vector<CdTrack> tracks;  // in disc order
    int32_t leadOutSector = 0;    // one past the last sector
};

// False (with the reason) when there is no readable disc or image.
bool ReadCdToc(const std::string& device, CdToc* toc, std::string* error = nullptr);

}  // namespace plat
