#include <algorithm>
#include <cmath>

#include "swf/raster/filter_kernels.h"
#include "swf/raster/parallel.h"

namespace orrivel::swf::raster {
namespace {

// The channel a component names; 128 (no move) for anything else.
int Channel(uint32_t argb, uint8_t component) {
  switch (component) {
    case 1:
      return static_cast<int>(argb >> 16 & 0xFF);
    case 2:
      return static_cast<int>(argb >> 8 & 0xFF);
    case 4:
      return static_cast<int>(argb & 0xFF);
    case 8:
      return static_cast<int>(argb >> 24);
    default:
      return 128;
  }
}

// Whole pixels a channel value moves by: the product cut toward zero, as
// the player's integer arithmetic gives it.
int Move(int channel, double scale) {
  const double v = (channel - 128) * scale / 256;
  return static_cast<int>(std::clamp(std::trunc(v), -1e6, 1e6));
}

}  // namespace

void Displace(Canvas& area, const Displacement& d, std::vector<uint32_t>& scratch) {
  const int w = area.width, h = area.height;
  if (w <= 0 || h <= 0 || d.map == nullptr || d.mapWidth <= 0 || d.mapHeight <= 0 ||
      !(d.cell > 0) || !std::isfinite(d.originX) || !std::isfinite(d.originY)) {
    return;
  }
  // The pixels as they were, read while the area is rewritten.
  scratch.resize(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    std::copy_n(area.pixels + static_cast<size_t>(y) * area.stride, w,
                scratch.data() + static_cast<size_t>(y) * w);
  }
  const uint32_t* src = scratch.data();
  ForEachBand(0, h, int64_t{w} * h, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      const double my = std::floor((y - d.originY) / d.cell);
      if (my < 0 || my >= d.mapHeight) continue;
      const uint32_t* mapRow = d.map + static_cast<size_t>(my) * d.mapWidth;
      uint32_t* out = area.pixels + static_cast<size_t>(y) * area.stride;
      for (int x = 0; x < w; ++x) {
        const double mx = std::floor((x - d.originX) / d.cell);
        if (mx < 0 || mx >= d.mapWidth) continue;
        const uint32_t m = mapRow[static_cast<size_t>(mx)];
        int64_t sx = x + int64_t{Move(Channel(m, d.componentX), d.scaleX)};
        int64_t sy = y + int64_t{Move(Channel(m, d.componentY), d.scaleY)};
        if (sx < 0 || sx >= w || sy < 0 || sy >= h) {
          switch (d.edge) {
            case Displacement::Edge::Wrap:
              sx = ((sx % w) + w) % w;
              sy = ((sy % h) + h) % h;
              break;
            case Displacement::Edge::Clamp:
              sx = std::clamp<int64_t>(sx, 0, w - 1);
              sy = std::clamp<int64_t>(sy, 0, h - 1);
              break;
            case Displacement::Edge::Ignore:
              sx = x;
              sy = y;
              break;
            case Displacement::Edge::Color:
              out[x] = d.color;
              continue;
          }
        }
        out[x] = src[static_cast<size_t>(sy) * w + static_cast<size_t>(sx)];
      }
    }
  });
}

}  // namespace orrivel::swf::raster
