#include "swf/raster/flatten.h"

#include <algorithm>
#include <cmath>

namespace orrivel::swf::raster {
namespace {

bool BoxMisses(const Point& a, const Point& b, const Point& c, const CullRect& r) {
  return std::max({a.x, b.x, c.x}) < r.x0 || std::min({a.x, b.x, c.x}) > r.x1 ||
         std::max({a.y, b.y, c.y}) < r.y0 || std::min({a.y, b.y, c.y}) > r.y1;
}

void FlattenQuad(const Point& p0, const Point& p1, const Point& p2, float tolerance,
                 std::vector<Point>& out) {
  // A quad deviates from its chord by at most |p0 - 2 p1 + p2| / (4 n^2)
  // when split into n equal parameter steps.
  const double ddx = double(p0.x) - 2.0 * p1.x + p2.x;
  const double ddy = double(p0.y) - 2.0 * p1.y + p2.y;
  const double dev = std::sqrt(ddx * ddx + ddy * ddy);
  const double want = std::ceil(std::sqrt(dev / (4.0 * tolerance)));
  const int n = static_cast<int>(std::clamp(want, 1.0, double(kMaxQuadSegments)));
  // Every chord of equal parameter step h misses the curve by the same
  // vector dd * h^2 / 4. Moving the inner points 2/3 of it outwards makes each
  // chord cut off as much area as it adds, so fills keep the curve's area
  // and the largest deviation shrinks to 2/3 of the inscribed one.
  const double h2 = 1.0 / (double(n) * n);
  const double sx = -ddx * h2 / 6.0, sy = -ddy * h2 / 6.0;
  for (int i = 1; i < n; ++i) {
    const double t = double(i) / n, u = 1.0 - t;
    const double x = u * u * p0.x + 2.0 * t * u * p1.x + t * t * p2.x + sx;
    const double y = u * u * p0.y + 2.0 * t * u * p1.y + t * t * p2.y + sy;
    out.push_back({static_cast<float>(x), static_cast<float>(y)});
  }
  out.push_back(p2);
}

bool Finite(const Point& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

bool Flatten(const Path& path, float tolerance, const CullRect* cull, Polylines& out) {
  out.Clear();
  if (!(tolerance > 0.001f)) tolerance = kFlattenTolerance;
  const auto& verbs = path.Verbs();
  const auto& pts = path.Points();
  for (const Point& p : pts) {
    if (!Finite(p)) return false;
  }
  size_t pi = 0;
  Point start{}, current{};
  bool open = false;  // a contour is being collected in out
  const auto endContour = [&](bool closed) {
    if (!open) return;
    out.ends.push_back(static_cast<uint32_t>(out.points.size()));
    out.closed.push_back(closed ? 1 : 0);
    open = false;
  };
  const auto beginIfNeeded = [&] {
    if (open) return;
    out.points.push_back(current);
    start = current;
    open = true;
  };
  for (Path::Verb v : verbs) {
    switch (v) {
      case Path::Verb::Move:
        if (pi >= pts.size()) return out.Clear(), true;
        endContour(false);
        current = pts[pi++];
        break;
      case Path::Verb::Line:
        if (pi >= pts.size()) return out.Clear(), true;
        beginIfNeeded();
        current = pts[pi++];
        out.points.push_back(current);
        break;
      case Path::Verb::Quad:
        if (pi + 1 >= pts.size()) return out.Clear(), true;
        beginIfNeeded();
        if (cull && BoxMisses(current, pts[pi], pts[pi + 1], *cull)) {
          out.points.push_back(pts[pi + 1]);
        } else {
          FlattenQuad(current, pts[pi], pts[pi + 1], tolerance, out.points);
        }
        current = pts[pi + 1];
        pi += 2;
        break;
      case Path::Verb::Close:
        if (open) current = start;
        endContour(true);
        break;
    }
  }
  endContour(false);
  return true;
}

}  // namespace orrivel::swf::raster
