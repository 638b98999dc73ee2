// gdk-pixbuf's pictures into surfaces, shared by the image readers of this folder.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/gfx/Surface.h"

namespace plat {

// Premultiplied pixels of an 8-bit RGB(A) pixbuf (gdk-pixbuf's alpha is straight); false, and
// `out` untouched, for any other kind or a picture above the limits.
bool SurfaceFromPixbuf(GdkPixbuf* pixbuf, Surface& out);

}  // namespace plat
