// The box of one blur pass along one axis, shared by the blur of whole
// pixels and the blur of one 8-bit plane so that both weigh alike.
#pragma once

#include <cmath>

namespace orrivel::swf::raster {

// A centred box `box` pixels wide, sub-pixel precise: `half` whole pixels
// either side of the centre and, where the width is not an odd whole
// number, the pixel past each end weighted by the part of it the box
// covers. A box of 2 is [1 2 1] / 4, a box of 4 is [1 2 2 2 1] / 8.
struct Window {
  int half = 0;
  float edge = 0;   // weight of the pixel past each end, 0..1
  float scale = 1;  // 1 / width
};

inline Window MakeWindow(float box, int length) {
  Window w;
  const float whole = std::floor((box - 1) / 2);
  if (whole >= static_cast<float>(length)) {
    // Wider than the area, the ends would add only zeros.
    w.half = length;
    w.scale = 1.0f / (2.0f * static_cast<float>(length) + 1.0f);
    return w;
  }
  w.half = static_cast<int>(whole);
  w.edge = (box - 1 - 2 * whole) / 2;
  w.scale = 1.0f / box;
  return w;
}

inline bool Blurs(float box) { return std::isfinite(box) && box > 1.0f; }

}  // namespace orrivel::swf::raster
