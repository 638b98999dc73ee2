#include "tools/skin/HomepageIcons.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace skin {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Glyphs are laid out on a unit box and scaled into the S x S box at (x, y).
struct Box {
    double x, y, s;
    Pt P(double u, double v) const { return {x + s * u, y + s * v}; }
    double L(double u) const { return s * u; }
};

// The same outline running the other way round: inside a filled outline it cuts a hole.
std::vector<Pt> Reverse(std::vector<Pt> pts) {
    std::reverse(pts.begin(), pts.end());
    return pts;
}

Shape Hole(const Shape& s) {
    Shape out;
    for (const auto& c : s.contours)
        out.Add(Reverse(c));
    return out;
}

Shape Rotate(const Shape& s, Pt c, double angle) {
    Shape out;
    const double cs = std::cos(angle), sn = std::sin(angle);
    for (const auto& contour : s.contours) {
        std::vector<Pt> pts;
        for (const Pt& p : contour)
            pts.push_back({c.x + (p.x - c.x) * cs - (p.y - c.y) * sn,
                           c.y + (p.x - c.x) * sn + (p.y - c.y) * cs});
        out.Add(std::move(pts));
    }
    return out;
}

// A band of a circle between radii r0 and r1 from angle a0 to a1 (clockwise on screen).
Shape ArcBand(Pt c, double r0, double r1, double a0, double a1) {
    std::vector<Pt> pts = Arc(c.x, c.y, r1, a0, a1);
    std::vector<Pt> inner = Arc(c.x, c.y, r0, a0, a1);
    pts.insert(pts.end(), inner.rbegin(), inner.rend());
    return Polygon(pts);
}

// An elliptical band `t` thick.
Shape EllipseBand(Pt c, double rx, double ry, double t) {
    Shape s = Ellipse(c.x, c.y, rx, ry);
    s.Append(Hole(Ellipse(c.x, c.y, rx - t, ry - t)));
    return s;
}

Shape Join(std::initializer_list<Shape> parts) {
    Shape out;
    for (const Shape& p : parts)
        out.Append(p);
    return out;
}

Shape RoundBox(const Box& b, double u, double v, double w, double h, double r) {
    return RoundRect(b.x + b.s * u, b.y + b.s * v, b.s * w, b.s * h, b.s * r);
}

Shape FrameBox(const Box& b, double u, double v, double w, double h, double r, double t) {
    return RoundFrame(b.x + b.s * u, b.y + b.s * v, b.s * w, b.s * h, b.s * r, b.s * t);
}

Shape Stroke(const Box& b, double u0, double v0, double u1, double v1, double t) {
    return Line(b.P(u0, v0), b.P(u1, v1), b.L(t));
}

Shape Circle(const Box& b, double u, double v, double r) {
    return Ellipse(b.x + b.s * u, b.y + b.s * v, b.s * r, b.s * r);
}

// Two beamed eighth notes.
Shape Music(const Box& b) {
    Shape s;
    for (double u : {0.30, 0.70}) {
        double v = u < 0.5 ? 0.76 : 0.68;
        Shape head = Ellipse(b.x + b.s * u, b.y + b.s * v, b.s * 0.13, b.s * 0.095);
        s.Append(Rotate(head, b.P(u, v), -0.35));
        s.Append(RoundBox(b, u + 0.08, v - 0.56, 0.075, 0.56, 0.02));
    }
    s.Append(Polygon({b.P(0.38, 0.16), b.P(0.855, 0.06), b.P(0.855, 0.20), b.P(0.38, 0.30)}));
    return s;
}

// A clapperboard: the board with its hinged bar raised, both striped.
Shape Movie(const Box& b) {
    Shape s = RoundBox(b, 0.10, 0.42, 0.80, 0.46, 0.05);
    // The board's stripe band, cut into slanted bars.
    for (int k = 0; k < 4; ++k) {
        double u = 0.12 + k * 0.20;
        s.Append(
            Polygon({b.P(u, 0.30), b.P(u + 0.10, 0.30), b.P(u + 0.16, 0.38), b.P(u + 0.06, 0.38)}));
    }
    Shape arm;
    for (int k = 0; k < 4; ++k) {
        double u = 0.12 + k * 0.20;
        arm.Append(
            Polygon({b.P(u, 0.17), b.P(u + 0.10, 0.17), b.P(u + 0.16, 0.26), b.P(u + 0.06, 0.26)}));
    }
    s.Append(Rotate(arm, b.P(0.12, 0.26), -0.22));
    return s;
}

// A framed picture of hills under the sun.
Shape Photo(const Box& b) {
    return Join({FrameBox(b, 0.08, 0.16, 0.84, 0.68, 0.06, 0.07),
                 Polygon({b.P(0.16, 0.76), b.P(0.40, 0.44), b.P(0.56, 0.62), b.P(0.66, 0.52),
                          b.P(0.84, 0.76)}),
                 Circle(b, 0.68, 0.34, 0.08)});
}

// A radio set: case, speaker, tuning scale and aerial.
Shape Radio(const Box& b) {
    return Join({FrameBox(b, 0.08, 0.34, 0.84, 0.52, 0.07, 0.07), Circle(b, 0.34, 0.60, 0.14),
                 RoundBox(b, 0.58, 0.48, 0.22, 0.05, 0.02),
                 RoundBox(b, 0.58, 0.58, 0.22, 0.05, 0.02),
                 RoundBox(b, 0.58, 0.68, 0.22, 0.05, 0.02), Stroke(b, 0.22, 0.34, 0.74, 0.10, 0.06),
                 Circle(b, 0.74, 0.10, 0.05)});
}

// A heading arrow inside a ring.
Shape Navigation(const Box& b) {
    Shape arrow = Polygon({b.P(0.50, 0.20), b.P(0.74, 0.76), b.P(0.50, 0.62), b.P(0.26, 0.76)});
    return Join({Ring(b.x + b.s * 0.5, b.y + b.s * 0.5, b.s * 0.45, b.s * 0.06),
                 Rotate(arrow, b.P(0.5, 0.5), kPi / 4)});
}

// A screen on its stand, with rabbit ears.
Shape Tv(const Box& b) {
    return Join({FrameBox(b, 0.08, 0.26, 0.84, 0.54, 0.06, 0.07),
                 RoundBox(b, 0.30, 0.84, 0.40, 0.06, 0.03), Stroke(b, 0.50, 0.26, 0.34, 0.08, 0.05),
                 Stroke(b, 0.50, 0.26, 0.66, 0.08, 0.05)});
}

// A gear wheel of eight teeth with its hole.
Shape Settings(const Box& b) {
    const Pt c = b.P(0.5, 0.5);
    const double outer = b.L(0.44), inner = b.L(0.33);
    const int teeth = 8;
    std::vector<Pt> pts;
    for (int k = 0; k < teeth; ++k) {
        double a = 2 * kPi * k / teeth;
        double step = 2 * kPi / teeth;
        // Each tooth: up the flank, across the top, down the flank, along the root.
        for (auto [da, r] : {std::pair{-0.30, inner}, std::pair{-0.20, outer},
                             std::pair{0.20, outer}, std::pair{0.30, inner}}) {
            double t = a + da * step;
            pts.push_back({c.x + r * std::cos(t), c.y + r * std::sin(t)});
        }
    }
    Shape s = Polygon(pts);
    s.Append(Hole(Ellipse(c.x, c.y, b.L(0.14), b.L(0.14))));
    return s;
}

// A jack plug on its lead.
Shape Aux(const Box& b) {
    return Join(
        {RoundBox(b, 0.455, 0.06, 0.09, 0.12, 0.045), RoundBox(b, 0.44, 0.20, 0.12, 0.10, 0.01),
         RoundBox(b, 0.44, 0.32, 0.12, 0.12, 0.01), RoundBox(b, 0.36, 0.46, 0.28, 0.26, 0.05),
         Stroke(b, 0.50, 0.70, 0.50, 0.94, 0.08)});
}

// A globe: its rim, a meridian and three parallels.
Shape Browser(const Box& b) {
    const Pt c = b.P(0.5, 0.5);
    return Join({Ring(c.x, c.y, b.L(0.42), b.L(0.06)),
                 EllipseBand(c, b.L(0.18), b.L(0.42), b.L(0.05)),
                 Stroke(b, 0.10, 0.50, 0.90, 0.50, 0.05), Stroke(b, 0.18, 0.30, 0.82, 0.30, 0.045),
                 Stroke(b, 0.18, 0.70, 0.82, 0.70, 0.045)});
}

// A cloud with an arrow down through it: services fetched from the internet.
Shape Internet(const Box& b) {
    // One outline (overlapping parts would keep the arrow from cutting through): the tops of
    // three puffs, then the flat bottom with the end puffs' round corners.
    struct Puff {
        double u, v, r;
    };
    const Puff puffs[] = {{0.28, 0.60, 0.18}, {0.52, 0.44, 0.26}, {0.76, 0.62, 0.16}};
    const double left = 0.10, right = 0.92, bottom = 0.78;
    std::vector<Pt> pts;
    const int steps = 96;
    for (int i = 0; i <= steps; ++i) {
        double u = left + (right - left) * i / steps, top = bottom;
        for (const Puff& p : puffs)
            if (std::fabs(u - p.u) <= p.r)
                top = std::min(top, p.v - std::sqrt(p.r * p.r - (u - p.u) * (u - p.u)));
        pts.push_back(b.P(u, top));
    }
    for (int i = steps; i >= 0; --i) {
        double u = left + (right - left) * i / steps, low = bottom;
        const Puff& end = u < 0.5 ? puffs[0] : puffs[2];
        if ((u < end.u && u < 0.5) || (u > end.u && u > 0.5))
            low = end.v + std::sqrt(std::max(0.0, end.r * end.r - (u - end.u) * (u - end.u)));
        pts.push_back(b.P(u, low));
    }
    Shape cloud = Polygon(pts);
    cloud.Append(Hole(Polygon({b.P(0.45, 0.32), b.P(0.55, 0.32), b.P(0.55, 0.52), b.P(0.66, 0.52),
                               b.P(0.50, 0.70), b.P(0.34, 0.52), b.P(0.45, 0.52)})));
    return cloud;
}

// Two speech bubbles: calls and messages over the internet.
Shape Chat(const Box& b) {
    Shape front = RoundBox(b, 0.08, 0.14, 0.56, 0.40, 0.12);
    front.Append(Polygon({b.P(0.18, 0.50), b.P(0.32, 0.50), b.P(0.14, 0.66)}));
    Shape back = FrameBox(b, 0.36, 0.40, 0.56, 0.38, 0.12, 0.06);
    back.Append(Polygon({b.P(0.70, 0.74), b.P(0.84, 0.74), b.P(0.86, 0.90)}));
    return Join({front, back});
}

// The two-rune letter of the short-range radio link.
Shape Bluetooth(const Box& b) {
    const double t = 0.075;
    return Join({Stroke(b, 0.50, 0.08, 0.50, 0.92, t), Stroke(b, 0.50, 0.08, 0.72, 0.30, t),
                 Stroke(b, 0.72, 0.30, 0.28, 0.70, t), Stroke(b, 0.28, 0.30, 0.72, 0.70, t),
                 Stroke(b, 0.72, 0.70, 0.50, 0.92, t)});
}

// Four tiles: a program of the user's choice.
Shape Apps(const Box& b) {
    Shape s;
    for (double u : {0.12, 0.54})
        for (double v : {0.12, 0.54})
            s.Append(RoundBox(b, u, v, 0.34, 0.34, 0.08));
    return s;
}

Shape Clock(const Box& b) {
    const Pt c = b.P(0.5, 0.5);
    return Join({Ring(c.x, c.y, b.L(0.44), b.L(0.07)), Stroke(b, 0.50, 0.50, 0.50, 0.22, 0.07),
                 Stroke(b, 0.50, 0.50, 0.70, 0.62, 0.07), Circle(b, 0.5, 0.5, 0.06)});
}

// A screen with the power sign: the screen goes dark.
Shape ScreenOff(const Box& b) {
    const Pt c = b.P(0.5, 0.47);
    // The sign's ring is open at the top, where its bar stands.
    return Join({FrameBox(b, 0.06, 0.14, 0.88, 0.64, 0.06, 0.06),
                 RoundBox(b, 0.34, 0.84, 0.32, 0.06, 0.03),
                 ArcBand(c, b.L(0.13), b.L(0.19), -kPi / 2 + 0.7, 3 * kPi / 2 - 0.7),
                 RoundBox(b, 0.47, 0.22, 0.06, 0.22, 0.03)});
}

Shape Padlock(const Box& b) {
    Shape s =
        Join({ArcBand(b.P(0.5, 0.40), b.L(0.16), b.L(0.26), kPi, 2 * kPi),
              RoundBox(b, 0.24, 0.38, 0.10, 0.10, 0.0), RoundBox(b, 0.66, 0.38, 0.10, 0.10, 0.0),
              RoundBox(b, 0.14, 0.44, 0.72, 0.50, 0.08)});
    // The keyhole, one outline: a round top on a slot.
    const Pt c = b.P(0.5, 0.60);
    const double r = b.L(0.075), half = b.L(0.03), a = std::asin(half / r);
    std::vector<Pt> hole = Arc(c.x, c.y, r, kPi / 2 + a, 2 * kPi + kPi / 2 - a);
    hole.push_back({c.x + half, b.y + b.L(0.80)});
    hole.push_back({c.x - half, b.y + b.L(0.80)});
    s.Add(Reverse(hole));
    return s;
}

}  // namespace

bool DrawHomepageIcon(plat::Surface& target, const plat::Rect& clip, const std::string& name,
                      double x, double y, double s, const Paint& paint) {
    const Box b{x, y, s};
    Shape shape;
    if (name == "music")
        shape = Music(b);
    else if (name == "movie")
        shape = Movie(b);
    else if (name == "photo")
        shape = Photo(b);
    else if (name == "radio")
        shape = Radio(b);
    else if (name == "navigation")
        shape = Navigation(b);
    else if (name == "tv")
        shape = Tv(b);
    else if (name == "settings")
        shape = Settings(b);
    else if (name == "aux")
        shape = Aux(b);
    else if (name == "browser")
        shape = Browser(b);
    else if (name == "internet")
        shape = Internet(b);
    else if (name == "chat")
        shape = Chat(b);
    else if (name == "bluetooth")
        shape = Bluetooth(b);
    else if (name == "apps")
        shape = Apps(b);
    else if (name == "clock")
        shape = Clock(b);
    else if (name == "screen-off")
        shape = ScreenOff(b);
    else if (name == "padlock")
        shape = Padlock(b);
    else
        return false;
    Fill(target, shape, paint, clip);
    return true;
}

}  // namespace skin
