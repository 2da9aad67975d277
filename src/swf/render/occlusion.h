// What makes a fill hide everything under it: a rectangle over the whole
// canvas in a paint with no translucent pixel.
#pragma once

#include <unordered_map>

#include "base/geometry.h"
#include "swf/raster/raster.h"

namespace orrivel::swf {

// Whether path, mapped by m, is one closed contour of four edges along the
// device axes that reaches past every edge of a width x height canvas.
bool FillsCanvas(const raster::Path& path, const Matrix& m, int width, int height);

// Whether a paint leaves every pixel it covers opaque. The images it is
// asked about must outlive it: each is looked at once.
class OpaquePaints {
 public:
  bool Opaque(const raster::Paint& paint);

 private:
  bool OpaqueImage(const raster::Image& image);
  std::unordered_map<const raster::Image*, bool> images_;
};

}  // namespace orrivel::swf
