// A picture turned about a point: what the clock's hands need of GDI+'s world transform.
#pragma once

#include "platform/gfx/Surface.h"

namespace plat {

// Draws `image` scaled into `box` (co-ordinates about the turning point), turned by `degrees`
// clockwise about that point, which lands at `at` of the result. The result is as large as
// the turned box; its top-left corner on the target is written to `origin`. Empty when there
// is nothing to draw.
Surface TurnImage(const Surface& image, const Rect& box, double degrees, Point at, Point* origin);

}  // namespace plat
