// Animated GIF writer for the skin generator.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx/Surface.h"

namespace skin {

// Frames of one size, shown `delayCs` hundredths of a second each, looping for ever. One
// palette of at most 256 colours serves every frame (a median cut when there are more); pixels less
// than half opaque become the transparent colour. False for no frames or frames of different sizes.
bool EncodeGif(const std::vector<plat::Surface>& frames, int delayCs, std::vector<uint8_t>& out);

}  // namespace skin
