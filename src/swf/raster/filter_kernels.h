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

// Displacement by a map: each pixel (x, y) takes the pixel at
// (x + (cx - 128) * scaleX / 256, y + (cy - 128) * scaleY / 256), where cx
// and cy are channels of the map pixel over it. The map covers the area
// from (originX, originY), each of its pixels `cell` device pixels wide;
// pixels it does not cover keep their own.
struct Displacement {
  enum class Edge : uint8_t { Wrap, Clamp, Ignore, Color };  // a pixel pointed off the area
  const uint32_t* map = nullptr;                             // straight ARGB
  int mapWidth = 0, mapHeight = 0;
  double originX = 0, originY = 0, cell = 1;
  uint8_t componentX = 0, componentY = 0;  // 1 red, 2 green, 4 blue, 8 alpha
  double scaleX = 0, scaleY = 0;           // device pixels at a full channel
  Edge edge = Edge::Wrap;
  uint32_t color = 0;  // premultiplied, for Edge::Color
};
void Displace(Canvas& area, const Displacement& d, std::vector<uint32_t>& scratch);

}  // namespace orrivel::swf::raster
