#include "swf/raster/edges.h"

#include <algorithm>
#include <cmath>

namespace orrivel::swf::raster {
namespace {

class Builder {
 public:
  Builder(int width, int height, EdgeList& out) : w_(width), h_(height), out_(out) {}

  void Segment(double ax, double ay, double bx, double by) {
    if (!(ay != by)) return;  // horizontal, or NaN slipped through
    int dir = 1;
    if (ay > by) {
      std::swap(ax, bx);
      std::swap(ay, by);
      dir = -1;
    }
    if (by <= 0 || ay >= h_) return;
    const double slope = (bx - ax) / (by - ay);
    if (ay < 0) {
      ax += (0 - ay) * slope;
      ay = 0;
    }
    if (by > h_) {
      bx -= (by - h_) * slope;
      by = h_;
    }
    if (!(ay < by)) return;
    ClipX(ax, ay, bx, by, dir);
  }

  void Finish() {
    if (out_.edges.empty()) return;
    if (reachesRight_) maxX_ = static_cast<float>(w_);
    out_.left = std::clamp(static_cast<int>(std::floor(minX_)), 0, w_);
    out_.right = std::clamp(static_cast<int>(std::ceil(maxX_)), 0, w_);
    out_.top = std::clamp(static_cast<int>(std::floor(minY_)), 0, h_);
    out_.bottom = std::clamp(static_cast<int>(std::ceil(maxY_)), 0, h_);
  }

 private:
  void ClipX(double ax, double ay, double bx, double by, int dir) {
    // Split where the edge crosses x = 0 and x = w; each piece then lies
    // wholly left of, inside, or right of the canvas.
    double ts[4] = {0, 1, 1, 1};
    int n = 1;
    for (double edgeX : {0.0, double(w_)}) {
      if ((ax < edgeX) != (bx < edgeX) && ax != bx) {
        const double t = (edgeX - ax) / (bx - ax);
        if (t > 0 && t < 1) ts[n++] = t;
      }
    }
    if (n == 3 && ts[1] > ts[2]) std::swap(ts[1], ts[2]);
    ts[n++] = 1;
    for (int i = 0; i + 1 < n; ++i) {
      const double t0 = ts[i], t1 = ts[i + 1];
      if (!(t1 > t0)) continue;
      const double y0 = ay + (by - ay) * t0, y1 = ay + (by - ay) * t1;
      const double x0 = ax + (bx - ax) * t0, x1 = ax + (bx - ax) * t1;
      const double mid = 0.5 * (x0 + x1);
      if (mid >= w_) {
        reachesRight_ = true;
      } else if (mid <= 0) {
        Add(0, y0, 0, y1, dir);
      } else {
        Add(std::clamp(x0, 0.0, double(w_)), y0, std::clamp(x1, 0.0, double(w_)), y1, dir);
      }
    }
  }

  void Add(double x0, double y0, double x1, double y1, int dir) {
    Edge e{static_cast<float>(x0),
           static_cast<float>(y0),
           static_cast<float>(x1),
           static_cast<float>(y1),
           0,
           dir};
    if (!(e.y0 < e.y1)) return;
    // Nearly horizontal edges with a denormal height would overflow.
    e.dxdy = static_cast<float>(std::clamp((x1 - x0) / (double(e.y1) - e.y0), -1e30, 1e30));
    minX_ = std::min({minX_, e.x0, e.x1});
    maxX_ = std::max({maxX_, e.x0, e.x1});
    minY_ = std::min(minY_, e.y0);
    maxY_ = std::max(maxY_, e.y1);
    out_.edges.push_back(e);
  }

  int w_, h_;
  EdgeList& out_;
  bool reachesRight_ = false;
  float minX_ = 1e30f, maxX_ = -1e30f, minY_ = 1e30f, maxY_ = -1e30f;
};

}  // namespace

void BuildEdges(const Polylines& lines, int width, int height, EdgeList& out) {
  out.edges.clear();
  out.left = out.top = out.right = out.bottom = 0;
  if (width <= 0 || height <= 0) return;
  Builder b(width, height, out);
  uint32_t begin = 0;
  for (uint32_t end : lines.ends) {
    for (uint32_t i = begin; i < end; ++i) {
      const Point& p = lines.points[i];
      const Point& q = lines.points[i + 1 < end ? i + 1 : begin];
      b.Segment(p.x, p.y, q.x, q.y);
    }
    begin = end;
  }
  b.Finish();
}

}  // namespace orrivel::swf::raster
