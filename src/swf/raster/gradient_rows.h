// The eight-pixel gradient loop, for the gradient shader's dispatch.
#pragma once

#include <cstdint>

#include "swf/raster/raster.h"

namespace orrivel::swf::raster {

// One row of a gradient: pixel x sits at (x0 + dx * x, y0 + dy * x) in the
// unit square (linear: 0..1 along x; radial: the unit circle).
struct GradientRow {
  float x0 = 0, y0 = 0, dx = 0, dy = 0;
  bool radial = false;
  float focal = 0;                  // radial only, within -1..1
  const uint32_t* table = nullptr;  // 256 premultiplied colours
};

namespace avx2 {
// Pixels x .. x + count - 1 eight at a time, as far as whole groups of eight
// go; returns how many it did. Only where the processor has AVX2.
int GradientRows(const GradientRow& row, Spread spread, int x, int count, uint32_t* out);
}  // namespace avx2

}  // namespace orrivel::swf::raster
