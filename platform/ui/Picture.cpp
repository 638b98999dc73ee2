// Pictures of windows and screens, composed from the copies the owners make after each paint.
#include <cairo.h>

#include <algorithm>

#include "platform/ui/UiInternal.h"

namespace plat::ui {

namespace {

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
