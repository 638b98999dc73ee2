#include "tools/skin/Raster.h"

#include <algorithm>
#include <cmath>

namespace skin {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Sub-rows sampled per pixel row; across a row the coverage is exact.
constexpr int kSubRows = 5;

double Channel(uint32_t argb, int shift) {
    return static_cast<double>((argb >> shift) & 0xFF);
}

uint32_t Mix(uint32_t a, uint32_t b, double t) {
    uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        double v = Channel(a, shift) + (Channel(b, shift) - Channel(a, shift)) * t;
        out |= static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 255.0))) << shift;
    }
    return out;
}

int Segments(double r) {
    // Enough corners that no facet shows at these sizes.
    return std::clamp(static_cast<int>(std::ceil(r * 1.5)), 8, 256);
}

void Blend(uint32_t& dst, uint32_t argb, double coverage) {
    double a = Channel(argb, 24) / 255.0 * std::min(coverage, 1.0);
    if (a <= 0)
        return;
    double keep = 1.0 - a;
    uint32_t out = 0;
    double outA = a * 255.0 + Channel(dst, 24) * keep;
    out |= static_cast<uint32_t>(std::lround(std::min(outA, 255.0))) << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        double v = Channel(argb, shift) * a + Channel(dst, shift) * keep;
        out |= static_cast<uint32_t>(std::lround(std::min(v, outA))) << shift;
    }
    dst = out;
}

}  // namespace

uint32_t Paint::At(double x, double y) const {
    if (kind == Solid)
        return from;
    double dx = b.x - a.x, dy = b.y - a.y;
    double len2 = dx * dx + dy * dy;
    if (len2 <= 0)
        return from;
    double t = ((x - a.x) * dx + (y - a.y) * dy) / len2;
    return Mix(from, to, std::clamp(t, 0.0, 1.0));
}

Shape Rectangle(double x, double y, double w, double h) {
    Shape s;
    s.Add({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}});
    return s;
}

std::vector<Pt> Arc(double cx, double cy, double r, double a0, double a1) {
    std::vector<Pt> pts;
    int n = std::max(2, static_cast<int>(Segments(r) * std::fabs(a1 - a0) / (2 * kPi)) + 1);
    for (int i = 0; i <= n; ++i) {
        double a = a0 + (a1 - a0) * i / n;
        pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return pts;
}

Shape RoundRect(double x, double y, double w, double h, double r) {
    r = std::clamp(r, 0.0, std::min(w, h) / 2);
    if (r <= 0)
        return Rectangle(x, y, w, h);
    std::vector<Pt> pts;
    auto corner = [&](double cx, double cy, double a0) {
        auto arc = Arc(cx, cy, r, a0, a0 + kPi / 2);
        pts.insert(pts.end(), arc.begin(), arc.end());
    };
    corner(x + w - r, y + r, -kPi / 2);
    corner(x + w - r, y + h - r, 0);
    corner(x + r, y + h - r, kPi / 2);
    corner(x + r, y + r, kPi);
    Shape s;
    s.Add(std::move(pts));
    return s;
}

Shape Ellipse(double cx, double cy, double rx, double ry) {
    std::vector<Pt> pts;
    int n = Segments(std::max(rx, ry)) * 2;
    for (int i = 0; i < n; ++i) {
        double a = 2 * kPi * i / n;
        pts.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    Shape s;
    s.Add(std::move(pts));
    return s;
}

Shape Polygon(const std::vector<Pt>& points) {
    Shape s;
    s.Add(points);
    return s;
}

Shape Line(Pt a, Pt b, double width) {
    double dx = b.x - a.x, dy = b.y - a.y;
    double len = std::sqrt(dx * dx + dy * dy);
    if (len <= 0)
        return Shape();
    double nx = -dy / len * width / 2, ny = dx / len * width / 2;
    double ex = dx / len * width / 2, ey = dy / len * width / 2;
    return Polygon({{a.x - ex + nx, a.y - ey + ny},
                    {b.x + ex + nx, b.y + ey + ny},
                    {b.x + ex - nx, b.y + ey - ny},
                    {a.x - ex - nx, a.y - ey - ny}});
}

namespace {

// The same outline run the other way round: a hole inside another outline.
Shape Reversed(Shape s) {
    for (auto& contour : s.contours)
        std::reverse(contour.begin(), contour.end());
    return s;
}

}  // namespace

Shape RoundFrame(double x, double y, double w, double h, double r, double width) {
    Shape s = RoundRect(x, y, w, h, r);
    if (w > 2 * width && h > 2 * width)
        s.Append(Reversed(RoundRect(x + width, y + width, w - 2 * width, h - 2 * width,
                                    std::max(0.0, r - width))));
    return s;
}

Shape Ring(double cx, double cy, double r, double width) {
    Shape s = Ellipse(cx, cy, r, r);
    if (r > width)
        s.Append(Reversed(Ellipse(cx, cy, r - width, r - width)));
    return s;
}

void Fill(plat::Surface& target, const Shape& shape, const Paint& paint, const plat::Rect& clip) {
    plat::Rect area = clip.Intersect(target.Bounds());
    if (area.IsEmpty())
        return;
    double minX = 1e18, minY = 1e18, maxX = -1e18, maxY = -1e18;
    for (const auto& c : shape.contours)
        for (const Pt& p : c) {
            minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        }
    if (minX > maxX)
        return;
    int x0 = std::max(area.left, static_cast<int>(std::floor(minX)));
    int x1 = std::min(area.right, static_cast<int>(std::ceil(maxX)));
    int y0 = std::max(area.top, static_cast<int>(std::floor(minY)));
    int y1 = std::min(area.bottom, static_cast<int>(std::ceil(maxY)));
    if (x0 >= x1 || y0 >= y1)
        return;

    std::vector<double> coverage(static_cast<size_t>(x1 - x0));
    // Each crossing carries the direction of its edge: the non-zero rule then joins outlines
    // that overlap, and an outline running the other way cuts a hole.
    std::vector<std::pair<double, int>> crossings;
    for (int py = y0; py < y1; ++py) {
        std::fill(coverage.begin(), coverage.end(), 0.0);
        for (int sub = 0; sub < kSubRows; ++sub) {
            double sy = py + (sub + 0.5) / kSubRows;
            crossings.clear();
            for (const auto& c : shape.contours) {
                for (size_t i = 0; i < c.size(); ++i) {
                    const Pt& p = c[i];
                    const Pt& q = c[(i + 1) % c.size()];
                    // Half-open in y, so a vertex shared by two edges counts once.
                    if ((p.y <= sy && q.y > sy) || (q.y <= sy && p.y > sy))
                        crossings.push_back(
                            {p.x + (sy - p.y) * (q.x - p.x) / (q.y - p.y), q.y > p.y ? 1 : -1});
                }
            }
            std::sort(crossings.begin(), crossings.end());
            int winding = 0;
            for (size_t i = 0; i + 1 < crossings.size(); ++i) {
                winding += crossings[i].second;
                if (winding == 0)
                    continue;
                double a = std::max(crossings[i].first, static_cast<double>(x0));
                double b = std::min(crossings[i + 1].first, static_cast<double>(x1));
                if (a >= b)
                    continue;
                for (int px = static_cast<int>(std::floor(a)); px < b; ++px) {
                    double overlap = std::min(b, px + 1.0) - std::max(a, static_cast<double>(px));
                    if (overlap > 0)
                        coverage[static_cast<size_t>(px - x0)] += overlap / kSubRows;
                }
            }
        }
        uint32_t* row = target.Pixels() + static_cast<size_t>(py) * target.Width();
        for (int px = x0; px < x1; ++px) {
            double cov = coverage[static_cast<size_t>(px - x0)];
            if (cov > 0.001)
                Blend(row[px], paint.At(px + 0.5, py + 0.5), cov);
        }
    }
}

}  // namespace skin
