#include "swf/render/occlusion.h"

#include <algorithm>

namespace orrivel::swf {

bool FillsCanvas(const raster::Path& path, const Matrix& m, int width, int height) {
  using Verb = raster::Path::Verb;
  const auto& verbs = path.Verbs();
  const auto& points = path.Points();
  if (verbs.size() < 5 || verbs.size() > 6 || verbs[0] != Verb::Move || points.size() < 5) {
    return false;
  }
  for (size_t i = 1; i < 5; ++i) {
    if (verbs[i] != Verb::Line) return false;
  }
  if (verbs.size() == 6 && verbs[5] != Verb::Close) return false;
  double xs[5], ys[5];
  for (int i = 0; i < 5; ++i) {
    xs[i] = m.ApplyX(points[i].x, points[i].y);
    ys[i] = m.ApplyY(points[i].x, points[i].y);
  }
  if (xs[4] != xs[0] || ys[4] != ys[0]) return false;
  for (int i = 0; i < 4; ++i) {
    if (xs[i] != xs[i + 1] && ys[i] != ys[i + 1]) return false;
  }
  return *std::min_element(xs, xs + 4) <= 0 && *std::min_element(ys, ys + 4) <= 0 &&
         *std::max_element(xs, xs + 4) >= width && *std::max_element(ys, ys + 4) >= height;
}

bool OpaquePaints::Opaque(const raster::Paint& paint) {
  switch (paint.kind) {
    case raster::Paint::Kind::Solid:
      return paint.color.a == 255;
    case raster::Paint::Kind::Bitmap:
      return paint.bitmap && paint.colorTransform.aMult >= 256 && paint.colorTransform.aAdd >= 0 &&
             OpaqueImage(*paint.bitmap);
    default:
      return !paint.stops.empty() &&
             std::all_of(paint.stops.begin(), paint.stops.end(),
                         [](const raster::GradientStop& s) { return s.color.a == 255; });
  }
}

bool OpaquePaints::OpaqueImage(const raster::Image& image) {
  const auto [it, added] = images_.try_emplace(&image, false);
  if (added) {
    it->second = image.width > 0 && image.height > 0 &&
                 std::all_of(image.pixels.begin(), image.pixels.end(),
                             [](uint32_t p) { return (p >> 24) == 0xFF; });
  }
  return it->second;
}

}  // namespace orrivel::swf
