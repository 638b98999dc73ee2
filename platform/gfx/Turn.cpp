#include "platform/gfx/Turn.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace plat {

Surface TurnImage(const Surface& image, const Rect& box, double degrees, Point at, Point* origin) {
    Surface out;
    if (image.IsEmpty() || box.IsEmpty())
        return out;
    const double a = degrees * M_PI / 180.0;
    const double c = std::cos(a), s = std::sin(a);
    // The turned corners of the box give the picture's extent.
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    for (int corner = 0; corner < 4; ++corner) {
        const double x = corner & 1 ? box.right : box.left;
        const double y = corner & 2 ? box.bottom : box.top;
        const double tx = x * c - y * s + at.x;
        const double ty = x * s + y * c + at.y;
        minX = std::min(minX, tx), maxX = std::max(maxX, tx);
        minY = std::min(minY, ty), maxY = std::max(maxY, ty);
    }
    const int left = static_cast<int>(std::floor(minX));
    const int top = static_cast<int>(std::floor(minY));
    const int width = static_cast<int>(std::ceil(maxX)) - left;
    const int height = static_cast<int>(std::ceil(maxY)) - top;
    if (!out.Create(width, height))
        return out;
    cairo_surface_t* target =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(out.Pixels()),
                                            CAIRO_FORMAT_ARGB32, width, height, out.Stride());
    cairo_surface_t* source = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(image.Pixels())),
        CAIRO_FORMAT_ARGB32, image.Width(), image.Height(), image.Stride());
    cairo_t* cr = cairo_create(target);
    cairo_translate(cr, at.x - left, at.y - top);
    cairo_rotate(cr, a);
    cairo_translate(cr, box.left, box.top);
    cairo_scale(cr, double(box.Width()) / image.Width(), double(box.Height()) / image.Height());
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    // Padded and filled to the picture's own edges, so the edges stay sharp.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, image.Width(), image.Height());
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(source);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
    if (origin)
        *origin = Point{left, top};
    return out;
}

}  // namespace plat
