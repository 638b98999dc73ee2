#include "tools/skin/Icons.h"

#include <algorithm>
#include <cmath>

#include "tools/skin/HomepageIcons.h"

namespace skin {

namespace {

constexpr double kPi = 3.14159265358979323846;

// A band of a circle between two radii, from angle a0 to a1 (radians, clockwise on screen).
Shape ArcBand(double cx, double cy, double r0, double r1, double a0, double a1) {
    std::vector<Pt> pts = Arc(cx, cy, r1, a0, a1);
    std::vector<Pt> inner = Arc(cx, cy, r0, a0, a1);
    pts.insert(pts.end(), inner.rbegin(), inner.rend());
    return Polygon(pts);
}

Shape Rotated(const Shape& s, double cx, double cy, double angle) {
    Shape out;
    double c = std::cos(angle), sn = std::sin(angle);
    for (const auto& contour : s.contours) {
        std::vector<Pt> pts;
        for (const Pt& p : contour)
            pts.push_back(
                {cx + (p.x - cx) * c - (p.y - cy) * sn, cy + (p.x - cx) * sn + (p.y - cy) * c});
        out.Add(std::move(pts));
    }
    return out;
}

Shape Bar(double x, double y, double s, double cx, double cy, double w, double h) {
    return RoundRect(x + s * (cx - w / 2), y + s * (cy - h / 2), s * w, s * h, s * 0.03);
}

Shape Triangle(double x, double y, double s, Pt a, Pt b, Pt c) {
    return Polygon(
        {{x + s * a.x, y + s * a.y}, {x + s * b.x, y + s * b.y}, {x + s * c.x, y + s * c.y}});
}

Shape Speaker(double x, double y, double s) {
    Shape shape = Polygon({{x + s * 0.10, y + s * 0.38},
                           {x + s * 0.26, y + s * 0.38},
                           {x + s * 0.48, y + s * 0.18},
                           {x + s * 0.48, y + s * 0.82},
                           {x + s * 0.26, y + s * 0.62},
                           {x + s * 0.10, y + s * 0.62}});
    return shape;
}

// The handset: a curved grip with an ear pad at the top left and a mouth pad at the bottom
// right.
Shape Handset(double x, double y, double s) {
    double cx = x + s * 0.58, cy = y + s * 0.42, r = s * 0.36;
    Shape shape = ArcBand(cx, cy, r - s * 0.15, r, kPi * 0.25, kPi * 1.25);
    for (double a : {kPi * 0.25, kPi * 1.25}) {
        // The pads stand across the grip's ends, pointing at the curve's centre.
        double px = cx + (r - s * 0.08) * std::cos(a), py = cy + (r - s * 0.08) * std::sin(a);
        Shape pad = RoundRect(px - s * 0.15, py - s * 0.105, s * 0.30, s * 0.21, s * 0.07);
        shape.Append(Rotated(pad, px, py, a));
    }
    return shape;
}

}  // namespace

bool DrawIcon(plat::Surface& target, const plat::Rect& clip, const std::string& name, double x,
              double y, double s, const Paint& paint, int frame, int frames) {
    auto fill = [&](const Shape& shape) { Fill(target, shape, paint, clip); };
    const double t = s * 0.14;  // stroke of line glyphs
    if (name == "plus") {
        fill(Bar(x, y, s, 0.5, 0.5, 0.70, 0.16));
        fill(Bar(x, y, s, 0.5, 0.5, 0.16, 0.70));
    } else if (name == "minus") {
        fill(Bar(x, y, s, 0.5, 0.5, 0.70, 0.16));
    } else if (name == "speaker" || name == "mute") {
        fill(Speaker(x, y, s));
        if (name == "speaker") {
            fill(ArcBand(x + s * 0.48, y + s * 0.5, s * 0.14, s * 0.22, -kPi / 4, kPi / 4));
            fill(ArcBand(x + s * 0.48, y + s * 0.5, s * 0.30, s * 0.38, -kPi / 4, kPi / 4));
        } else {
            fill(Line({x + s * 0.60, y + s * 0.36}, {x + s * 0.88, y + s * 0.64}, s * 0.09));
            fill(Line({x + s * 0.60, y + s * 0.64}, {x + s * 0.88, y + s * 0.36}, s * 0.09));
        }
    } else if (name == "check") {
        fill(Polygon({{x + s * 0.10, y + s * 0.52},
                      {x + s * 0.22, y + s * 0.40},
                      {x + s * 0.40, y + s * 0.58},
                      {x + s * 0.78, y + s * 0.18},
                      {x + s * 0.90, y + s * 0.30},
                      {x + s * 0.40, y + s * 0.82}}));
    } else if (name == "cross") {
        fill(Line({x + s * 0.2, y + s * 0.2}, {x + s * 0.8, y + s * 0.8}, t));
        fill(Line({x + s * 0.2, y + s * 0.8}, {x + s * 0.8, y + s * 0.2}, t));
    } else if (name == "info") {
        fill(Ring(x + s / 2, y + s / 2, s * 0.46, s * 0.08));
        fill(Ellipse(x + s / 2, y + s * 0.28, s * 0.07, s * 0.07));
        fill(Bar(x, y, s, 0.5, 0.60, 0.12, 0.34));
    } else if (name == "phone") {
        fill(Handset(x, y, s));
    } else if (name == "hangup") {
        fill(Rotated(Handset(x, y, s), x + s / 2, y + s / 2, kPi * 3 / 4));
    } else if (name == "spinner") {
        int n = frames > 1 ? frames : 12;
        for (int k = 0; k < n; ++k) {
            double a = 2 * kPi * k / n - kPi / 2;
            // The dot of this frame is bright; the ones behind it fade out.
            int behind = ((frame - k) % n + n) % n;
            double level = std::max(0.15, 1.0 - behind * 0.12);
            Paint dot = paint;
            uint32_t alpha =
                static_cast<uint32_t>(std::lround(((paint.from >> 24) & 0xFF) * level));
            dot.from = (paint.from & 0x00FFFFFF) | (alpha << 24);
            dot.to = (paint.to & 0x00FFFFFF) | (alpha << 24);
            double r = s * 0.08;
            Fill(target,
                 Ellipse(x + s / 2 + std::cos(a) * s * 0.38, y + s / 2 + std::sin(a) * s * 0.38, r,
                         r),
                 dot, clip);
        }
    } else if (name == "play") {
        fill(Triangle(x, y, s, {0.25, 0.15}, {0.85, 0.5}, {0.25, 0.85}));
    } else if (name == "pause") {
        fill(Bar(x, y, s, 0.33, 0.5, 0.18, 0.70));
        fill(Bar(x, y, s, 0.67, 0.5, 0.18, 0.70));
    } else if (name == "stop") {
        fill(Bar(x, y, s, 0.5, 0.5, 0.62, 0.62));
    } else if (name == "next") {
        fill(Triangle(x, y, s, {0.15, 0.18}, {0.65, 0.5}, {0.15, 0.82}));
        fill(Bar(x, y, s, 0.76, 0.5, 0.13, 0.64));
    } else if (name == "prev") {
        fill(Triangle(x, y, s, {0.85, 0.18}, {0.35, 0.5}, {0.85, 0.82}));
        fill(Bar(x, y, s, 0.24, 0.5, 0.13, 0.64));
    } else if (name == "up") {
        fill(Triangle(x, y, s, {0.15, 0.72}, {0.5, 0.25}, {0.85, 0.72}));
    } else if (name == "down") {
        fill(Triangle(x, y, s, {0.15, 0.28}, {0.85, 0.28}, {0.5, 0.75}));
    } else if (name == "left") {
        fill(Triangle(x, y, s, {0.72, 0.15}, {0.72, 0.85}, {0.25, 0.5}));
    } else if (name == "right") {
        fill(Triangle(x, y, s, {0.28, 0.15}, {0.75, 0.5}, {0.28, 0.85}));
    } else {
        return DrawHomepageIcon(target, clip, name, x, y, s, paint);
    }
    return true;
}

}  // namespace skin
