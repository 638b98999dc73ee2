// Shapes for the skin generator: filled outlines with smooth edges, in solid colours or
// two-colour gradients, drawn into the platform's premultiplied surfaces.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gfx/Surface.h"

namespace skin {

struct Pt {
    double x = 0;
    double y = 0;
};

// One or more closed outlines filled together with the non-zero rule: outlines that overlap
// join, and one running the other way round cuts a hole (rings, frames).
struct Shape {
    std::vector<std::vector<Pt>> contours;

    void Add(std::vector<Pt> contour) { contours.push_back(std::move(contour)); }
    void Append(const Shape& other) {
        contours.insert(contours.end(), other.contours.begin(), other.contours.end());
    }
};

// Straight-alpha 0xAARRGGBB colours; `to` is used only by gradients, which run from `from`
// at point a to `to` at point b.
struct Paint {
    enum Kind { Solid, Gradient } kind = Solid;
    uint32_t from = 0xFF000000;
    uint32_t to = 0xFF000000;
    Pt a;
    Pt b;

    static Paint Colour(uint32_t argb) {
        Paint p;
        p.from = p.to = argb;
        return p;
    }
    static Paint Linear(uint32_t from, uint32_t to, Pt a, Pt b) {
        Paint p;
        p.kind = Gradient;
        p.from = from;
        p.to = to;
        p.a = a;
        p.b = b;
        return p;
    }
    // The straight-alpha colour at a point.
    uint32_t At(double x, double y) const;
};

Shape Rectangle(double x, double y, double w, double h);
// Corners of radius r (clamped to half the shorter side).
Shape RoundRect(double x, double y, double w, double h, double r);
Shape Ellipse(double cx, double cy, double rx, double ry);
Shape Polygon(const std::vector<Pt>& points);
// A stroke of the given width between two points, with square ends.
Shape Line(Pt a, Pt b, double width);
// The band between two rounded boxes, `width` thick, inside x, y, w, h.
Shape RoundFrame(double x, double y, double w, double h, double r, double width);
Shape Ring(double cx, double cy, double r, double width);
// Points of an arc of a circle, from angle a0 to a1 (radians, clockwise on the screen).
std::vector<Pt> Arc(double cx, double cy, double r, double a0, double a1);

// Fills the shape over what the surface holds, limited to `clip`, with edges smoothed by
// coverage. Coordinates are pixels; pixel (x, y) covers x..x+1, y..y+1.
void Fill(plat::Surface& target, const Shape& shape, const Paint& paint, const plat::Rect& clip);

}  // namespace skin
