// Pictures of windows and screens, composed from the copies the owners make after each paint.
#include <cairo.h>

#include <algorithm>

#include "platform/media/VideoSurface.h"
#include "platform/ui/UiInternal.h"

namespace plat::ui {

namespace {

// The newest frame of each shown video window of `rec`, scaled into its rectangle and clipped to
// `area`. This blit is the only frame work the user-interface thread does.
void ComposeVideosLocked(const WindowRec& rec, Surface& out, Point origin, const Rect& area) {
    for (const auto& video : VideoSurfacesOf(rec.id)) {
        video->DrawFrame([&](const Surface& frame, const VideoView& view) {
            if (!view.visible || view.rect.IsEmpty())
                return;
            const Rect dst = view.rect.Offset(origin.x, origin.y);
            const Rect clip = dst.Intersect(area);
            if (clip.IsEmpty())
                return;
            if (dst.Width() == frame.Width() && dst.Height() == frame.Height()) {
                for (int y = clip.top; y < clip.bottom; ++y)
                    std::copy_n(frame.Pixels() + static_cast<size_t>(y - dst.top) * frame.Width() +
                                    (clip.left - dst.left),
                                clip.Width(),
                                out.Pixels() + static_cast<size_t>(y) * out.Width() + clip.left);
                return;
            }
            cairo_surface_t* target = cairo_image_surface_create_for_data(
                reinterpret_cast<unsigned char*>(out.Pixels()), CAIRO_FORMAT_ARGB32, out.Width(),
                out.Height(), out.Stride());
            // A source is only read.
            cairo_surface_t* source = cairo_image_surface_create_for_data(
                reinterpret_cast<unsigned char*>(const_cast<uint32_t*>(frame.Pixels())),
                CAIRO_FORMAT_ARGB32, frame.Width(), frame.Height(), frame.Stride());
            cairo_t* cr = cairo_create(target);
            cairo_rectangle(cr, clip.left, clip.top, clip.Width(), clip.Height());
            cairo_clip(cr);
            cairo_translate(cr, dst.left, dst.top);
            cairo_scale(cr, double(dst.Width()) / frame.Width(),
                        double(dst.Height()) / frame.Height());
            cairo_set_source_surface(cr, source, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
            // The edge pixels stretch to the rectangle's edges instead of fading out.
            cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_paint(cr);
            cairo_destroy(cr);
            cairo_surface_destroy(source);
            cairo_surface_flush(target);
            cairo_surface_destroy(target);
        });
    }
}

void ComposeLocked(const WindowRec& rec, Surface& out, Point origin, const Rect& clip,
                   uint32_t alphaMask) {
    Rect area = Rect::FromXYWH(origin.x, origin.y, rec.rect.Width(), rec.rect.Height())
                    .Intersect(clip)
                    .Intersect(out.Bounds());
    if (area.IsEmpty())
        return;
    const Surface& src = rec.shown;
    for (int y = area.top; y < area.bottom; ++y) {
        int sy = y - origin.y;
        if (sy >= src.Height())
            break;
        int sx = area.left - origin.x;
        int n = std::min(area.Width(), src.Width() - sx);
        const uint32_t* from = src.Pixels() + static_cast<size_t>(sy) * src.Width() + sx;
        uint32_t* to = out.Pixels() + static_cast<size_t>(y) * out.Width() + area.left;
        for (int i = 0; i < n; ++i)
            to[i] = from[i] | alphaMask;
    }
    // The video windows of the owner lie over its picture and under its child windows.
    ComposeVideosLocked(rec, out, origin, area);
    for (auto& child : ChildrenLocked(rec)) {
        if (child->visible)
            ComposeLocked(*child, out,
                          Point{origin.x + child->rect.left, origin.y + child->rect.top}, area,
                          alphaMask);
    }
}

}  // namespace

void ComposeWindow(WindowId id, Surface& out, Point origin, const Rect& clip) {
    std::lock_guard<std::mutex> lock(Mutex());
    if (auto rec = FindLocked(id))
        ComposeLocked(*rec, out, origin, clip, 0);
}

void ComposeScreen(const Rect& screen, Surface& out) {
    if (out.Width() != screen.Width() || out.Height() != screen.Height())
        out.Create(screen.Width(), screen.Height());
    out.Fill(Argb(0xFF, 0, 0, 0));
    std::lock_guard<std::mutex> lock(Mutex());
    // Windows are opaque on a screen: what was left transparent shows black.
    for (auto& rec : TopLevelsLocked()) {
        if (rec->visible)
            ComposeLocked(*rec, out,
                          Point{rec->rect.left - screen.left, rec->rect.top - screen.top},
                          out.Bounds(), 0xFF000000u);
    }
}

bool GetWindowPicture(WindowId id, Surface& out) {
    std::lock_guard<std::mutex> lock(Mutex());
    auto rec = FindLocked(id);
    if (!rec || rec->rect.IsEmpty())
        return false;
    out.Create(rec->rect.Width(), rec->rect.Height());
    ComposeLocked(*rec, out, Point{0, 0}, out.Bounds(), 0);
    return true;
}

bool CaptureScreen(int index, Surface& out) {
    std::vector<Rect> screens = Screens();
    if (index < 0 || index >= static_cast<int>(screens.size()))
        return false;
    ComposeScreen(screens[index], out);
    return true;
}

bool SavePng(const Surface& surface, const std::string& path) {
    if (surface.IsEmpty())
        return false;
    Surface copy = surface;  // cairo wants writable pixels
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(copy.Pixels()), CAIRO_FORMAT_ARGB32, copy.Width(),
        copy.Height(), copy.Stride());
    bool ok = cairo_surface_status(image) == CAIRO_STATUS_SUCCESS &&
              cairo_surface_write_to_png(image, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(image);
    return ok;
}

}  // namespace plat::ui
