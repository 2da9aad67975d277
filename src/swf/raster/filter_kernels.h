// Pixel kernels behind the bitmap filters: box blur passes, colour matrix
// and convolution. Each works in place on a premultiplied BGRA area; pixels
// outside the area count as transparent black.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/color.h"
#include "swf/raster/raster.h"

namespace orrivel::swf::raster {

// How far one pixel spreads, in device pixels, under `passes` box blurs of
// width `box`.
int BlurReach(float box, int passes);

// `passes` box blurs of boxX x boxY device pixels, each a centred box
// precise to the sub-pixel (a box of 2 is [1 2 1] / 4), the horizontal one
// run first. Each pass costs the same whatever the width.
void BoxBlur(Canvas& area, float boxX, float boxY, int passes, std::vector<uint32_t>& scratch);

// The same blur of one 8-bit plane (an alpha channel on its own): each
// value equals the alpha BoxBlur gives pixels of those alphas.
void BoxBlurPlane(uint8_t* plane, int width, int height, int stride, float boxX, float boxY,
                  int passes);

// out = m * (r, g, b, a, 1) on unpremultiplied colours, offsets in 0..255.
void ApplyColorMatrix(Canvas& area, const std::array<float, 20>& m);

struct Convolution {
  int columns = 0, rows = 0;  // each at most 15
  const float* matrix = nullptr;
  float divisor = 1, bias = 0;
  bool clamp = true;           // else pixels past the edge are `outside`
  bool preserveAlpha = false;  // convolve colour only
  Rgba outside;
};

// A convolution over unpremultiplied colours, centred on each pixel.
void Convolve(Canvas& area, const Convolution& c, std::vector<float>& scratch);

}  // namespace orrivel::swf::raster
