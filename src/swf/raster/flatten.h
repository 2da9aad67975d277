// Curve flattening: turns a path into polylines, splitting each quadratic
// curve into as many lines as its bend needs to stay within a tolerance.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/raster/raster.h"

namespace orrivel::swf::raster {

// Default flattening tolerance in device pixels.
inline constexpr float kFlattenTolerance = 0.2f;
// Bounds the work a single absurd curve can cause.
inline constexpr int kMaxQuadSegments = 512;

struct Polylines {
  std::vector<Point> points;
  std::vector<uint32_t> ends;   // one past each contour's last point
  std::vector<uint8_t> closed;  // per contour: ended by Close
  void Clear() {
    points.clear();
    ends.clear();
    closed.clear();
  }
};

struct CullRect {
  float x0, y0, x1, y1;
};

// Flattens path into out. When cull is set, curves whose control box misses
// it become their chord (exact for fills: the difference lies outside).
// Returns false, leaving out empty, when a coordinate is not finite.
bool Flatten(const Path& path, float tolerance, const CullRect* cull, Polylines& out);

}  // namespace orrivel::swf::raster
