// Small canvases and path builders shared by the rasterizer tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "swf/raster/raster.h"

namespace orrivel::swf::raster::testing {

struct TestCanvas {
  std::vector<uint32_t> pixels;
  Canvas canvas;
  TestCanvas(int w, int h, uint32_t fill = 0) : pixels(size_t(w) * h, fill) {
    canvas = {pixels.data(), w, h, w};
  }
  uint32_t At(int x, int y) const { return pixels[size_t(y) * canvas.width + x]; }
  uint32_t Alpha(int x, int y) const { return At(x, y) >> 24; }
};

inline Path Polygon(std::initializer_list<Point> pts) {
  Path p;
  bool first = true;
  for (const Point& q : pts) {
    if (first)
      p.MoveTo(q.x, q.y);
    else
      p.LineTo(q.x, q.y);
    first = false;
  }
  p.Close();
  return p;
}

inline Path Rect(float x0, float y0, float x1, float y1) {
  return Polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

inline Paint Solid(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  Paint p;
  p.color = {r, g, b, a};
  return p;
}

// Sum of alpha over the canvas in pixel units (255 = one pixel).
inline double CoveredArea(const TestCanvas& c) {
  double sum = 0;
  for (uint32_t p : c.pixels) sum += (p >> 24) / 255.0;
  return sum;
}

}  // namespace orrivel::swf::raster::testing
