// Glyphs of the homepage's application icons, each drawn to fit an S x S box:
//
// music movie photo radio navigation tv settings aux browser internet chat bluetooth apps
// clock screen-off padlock
#pragma once

#include <string>

#include "platform/gfx/Surface.h"
#include "tools/skin/Raster.h"

namespace skin {

// False for a name it does not know.
bool DrawHomepageIcon(plat::Surface& target, const plat::Rect& clip, const std::string& name,
                      double x, double y, double s, const Paint& paint);

}  // namespace skin
