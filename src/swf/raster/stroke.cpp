// Stroker: offsets each flattened contour into pieces that tile the stroke
// without overlapping on the outside of turns: a quad per segment, a wedge
// per join on the outer side, a cap per open end. Every piece is emitted with
// the same orientation, so the non-zero fill of the result is their union.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "swf/raster/stroke.h"

namespace orrivel::swf::raster {
namespace {

struct Vec {
  double x = 0, y = 0;
  Vec operator+(Vec o) const { return {x + o.x, y + o.y}; }
  Vec operator-(Vec o) const { return {x - o.x, y - o.y}; }
  Vec operator*(double s) const { return {x * s, y * s}; }
};
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
double Length(Vec a) { return std::sqrt(Dot(a, a)); }
Vec Normal(Vec d) { return {-d.y, d.x}; }

// Points closer than this are one point; far below anything visible.
constexpr double kSamePoint = 1e-4;
constexpr int kMaxArcSegments = 256;

class Stroker {
 public:
  Stroker(const Stroke& s, Path& out) : s_(s), r_(s.width * 0.5), out_(out) {
    // Arcs of thin strokes dominate their look, so they get a finer
    // tolerance than curves.
    const double tol = kFlattenTolerance * 0.25;
    arcStep_ = r_ > tol ? 2.0 * std::acos(1.0 - tol / r_) : std::numbers::pi / 2;
  }

  void Contour(std::vector<Vec>& p, bool closed) {
    std::vector<Vec> pts;
    for (const Vec& q : p) {
      if (pts.empty() || Length(q - pts.back()) > kSamePoint) pts.push_back(q);
    }
    if (closed && pts.size() > 1 && Length(pts.front() - pts.back()) <= kSamePoint) pts.pop_back();
    if (pts.size() == 1) return InkDot(pts[0]);
    if (pts.empty()) return;
    const size_t n = pts.size();
    // A closed contour of two points runs there and back along one segment:
    // draw that segment once, with a turn-around join at either end.
    const size_t segs = closed && n > 2 ? n : n - 1;
    for (size_t i = 0; i < segs; ++i) Segment(pts[i], pts[(i + 1) % n]);
    if (closed) {
      for (size_t i = 0; i < n; ++i) Join(pts[(i + n - 1) % n], pts[i], pts[(i + 1) % n]);
    } else {
      for (size_t i = 1; i + 1 < n; ++i) Join(pts[i - 1], pts[i], pts[i + 1]);
      Cap(pts[0], Unit(pts[0] - pts[1]), s_.startCap);
      Cap(pts[n - 1], Unit(pts[n - 1] - pts[n - 2]), s_.endCap);
    }
  }

 private:
  static Vec Unit(Vec v) {
    const double l = Length(v);
    return l > 0 ? v * (1.0 / l) : Vec{1, 0};
  }

  // A zero-length stroke still shows its caps, like a dot of ink.
  void InkDot(Vec p) {
    if (s_.startCap == Stroke::Cap::None && s_.endCap == Stroke::Cap::None) return;
    if (s_.startCap == Stroke::Cap::Square || s_.endCap == Stroke::Cap::Square) {
      Emit(
          {{p.x - r_, p.y - r_}, {p.x + r_, p.y - r_}, {p.x + r_, p.y + r_}, {p.x - r_, p.y + r_}});
      return;
    }
    std::vector<Vec> circle;
    Arc(p, {r_, 0}, 2 * std::numbers::pi, circle);
    Emit(circle);
  }

  void Segment(Vec a, Vec b) {
    const Vec n = Normal(Unit(b - a)) * r_;
    Emit({a + n, b + n, b - n, a - n});
  }

  void Cap(Vec p, Vec dir, Stroke::Cap cap) {
    const Vec n = Normal(dir) * r_;
    if (cap == Stroke::Cap::Square) {
      const Vec e = dir * r_;
      Emit({p + n, p + n + e, p - n + e, p - n});
    } else if (cap == Stroke::Cap::Round) {
      std::vector<Vec> half{p};
      // From +n through dir to -n.
      Arc(p, n, Cross(n, dir) > 0 ? std::numbers::pi : -std::numbers::pi, half);
      Emit(half);
    }
  }

  void Join(Vec prev, Vec p, Vec next) {
    const Vec d0 = Unit(p - prev), d1 = Unit(next - p);
    const Vec n0 = Normal(d0), n1 = Normal(d1);
    // The outer side of the turn is where the two offsets spread apart.
    const double side = Dot(n0, d1) > 0 ? -1.0 : 1.0;
    const Vec a = n0 * (side * r_), b = n1 * (side * r_);
    if (Length(a - b) <= kSamePoint) return;
    double sweep = std::atan2(Cross(a, b), Dot(a, b));
    if (std::fabs(Dot(d0, d1) + 1) < 1e-9 && Cross(a, d0) * sweep < 0) sweep = -sweep;  // U-turn
    switch (s_.join) {
      case Stroke::Join::Bevel:
        Emit({p, p + a, p + b});
        break;
      case Stroke::Join::Round: {
        std::vector<Vec> wedge{p};
        Arc(p, a, sweep, wedge);
        Emit(wedge);
        break;
      }
      case Stroke::Join::Miter:
        Miter(p, a, b, sweep);
        break;
    }
  }

  // The miter's tip lies r / cos(sweep / 2) out along the bisector; beyond
  // the limit (in half widths, the usual miter length to width ratio) it is
  // cut off square, as Flash does, instead of falling back to a bevel.
  void Miter(Vec p, Vec a, Vec b, double sweep) {
    const double half = std::fabs(sweep) * 0.5;
    const double c = std::cos(half);
    Vec u = a + b;
    if (Length(u) < 1e-9 * r_) u = Normal(a) * (sweep > 0 ? 1.0 : -1.0);
    u = Unit(u);
    const double limit =
        std::max(1.0, double(std::isfinite(s_.miterLimit) ? s_.miterLimit : 1.0f)) * r_;
    const double tipDist = c > 1e-9 ? r_ / c : 1e300;
    if (tipDist <= limit) {
      Emit({p, p + a, p + u * tipDist, p + b});
      return;
    }
    // Cut the quad p, a, tip, b at distance limit along u.
    const double along = r_ * c;  // a's and b's projection on u
    const Vec tipA = a + u * (limit - along);
    const Vec tipB = b + u * (limit - along);
    // Points on a -> tip and b -> tip at projection `limit`: move along the
    // offset lines, whose direction is perpendicular to a and b.
    const auto onLine = [&](Vec off, Vec fallback) {
      Vec dir = Normal(off);
      if (Dot(dir, u) < 0) dir = dir * -1.0;
      const double du = Dot(Unit(dir), u);
      return du > 1e-9 ? off + Unit(dir) * ((limit - along) / du) : fallback;
    };
    Emit({p, p + a, p + onLine(a, tipA), p + onLine(b, tipB), p + b});
  }

  void Arc(Vec centre, Vec from, double sweep, std::vector<Vec>& out) const {
    const int n =
        std::clamp(static_cast<int>(std::ceil(std::fabs(sweep) / arcStep_)), 1, kMaxArcSegments);
    const double start = std::atan2(from.y, from.x);
    // Inner vertices sit slightly outside the circle so each chord gains
    // back the area it cuts off; the end points stay on it to meet the
    // neighbouring pieces exactly.
    const double step = std::fabs(sweep) / n;
    const double grow = step > 1e-6 ? std::sqrt(step / std::sin(step)) : 1.0;
    for (int i = 0; i <= n; ++i) {
      const double t = start + sweep * i / n;
      const double r = (i == 0 || i == n) ? r_ : r_ * grow;
      out.push_back({centre.x + r * std::cos(t), centre.y + r * std::sin(t)});
    }
  }

  void Emit(std::vector<Vec> poly) {
    double area = 0;
    for (size_t i = 0; i < poly.size(); ++i) area += Cross(poly[i], poly[(i + 1) % poly.size()]);
    if (!(std::fabs(area) > 1e-12)) return;
    if (area < 0) std::reverse(poly.begin(), poly.end());
    out_.MoveTo(float(poly[0].x), float(poly[0].y));
    for (size_t i = 1; i < poly.size(); ++i) out_.LineTo(float(poly[i].x), float(poly[i].y));
    out_.Close();
  }

  const Stroke& s_;
  double r_;
  double arcStep_;
  Path& out_;
};

}  // namespace

Path StrokeToPath(const Path& path, const Stroke& stroke) {
  return StrokeToPathVisible(path, stroke, nullptr);
}

Path StrokeToPathVisible(const Path& path, const Stroke& stroke, const CullRect* visible) {
  Path out;
  if (!(stroke.width > 0) || !std::isfinite(stroke.width)) return out;
  CullRect reach{};
  if (visible) {
    // Joins reach at most the miter limit (or a square cap's corner) away.
    const float limit = std::isfinite(stroke.miterLimit) ? std::max(stroke.miterLimit, 1.5f) : 1.5f;
    const float r = stroke.width * 0.5f * limit + 1;
    reach = {visible->x0 - r, visible->y0 - r, visible->x1 + r, visible->y1 + r};
  }
  Polylines lines;
  if (!Flatten(path, kFlattenTolerance, visible ? &reach : nullptr, lines)) return out;
  Stroker s(stroke, out);
  std::vector<Vec> pts;
  uint32_t begin = 0;
  for (size_t c = 0; c < lines.ends.size(); ++c) {
    pts.clear();
    for (uint32_t i = begin; i < lines.ends[c]; ++i)
      pts.push_back({lines.points[i].x, lines.points[i].y});
    s.Contour(pts, lines.closed[c] != 0);
    begin = lines.ends[c];
  }
  return out;
}

}  // namespace orrivel::swf::raster
