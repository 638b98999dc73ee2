// Glyphs for skin buttons, each drawn to fit an S x S box.
//
// plus minus speaker mute check cross info phone hangup play pause stop next prev up down
// left right, and spinner: a ring of dots whose bright dot moves one place per frame (for
// animations of N frames). The homepage's application glyphs are in HomepageIcons.h.
#pragma once

#include <string>

#include "platform/gfx/Surface.h"
#include "tools/skin/Raster.h"

namespace skin {

// False for a name it does not know.
bool DrawIcon(plat::Surface& target, const plat::Rect& clip, const std::string& name, double x,
              double y, double s, const Paint& paint, int frame, int frames);

}  // namespace skin
