// BitmapData.applyFilter and generateFilterRect: the filters the renderer
// applies to clips, run over a bitmap's pixels.
#include <algorithm>
#include <vector>

#include "swf/player/bitmap_ops.h"
#include "swf/raster/pixel.h"
#include "swf/render/filter_effects.h"

namespace orrivel::swf {

namespace {

// Past this a filter reaches further than any bitmap is wide.
constexpr int kMaxReach = 4096;

FilterReach Reach(const Filter& filter) {
  FilterReach r = ReachOf(FilterList{filter}, 1.0);
  r.x = std::clamp(r.x, 0, kMaxReach);
  r.y = std::clamp(r.y, 0, kMaxReach);
  return r;
}

}  // namespace

void ApplyFilterPixels(ScriptBitmap& dst, const ScriptBitmap& src, PixelRect rect, int dx, int dy,
                       const Filter& filter) {
  if (!dst.Valid() || !src.Valid()) return;
  const PixelRect area = ClipRect(src, rect);
  if (area.width <= 0 || area.height <= 0) return;
  dx += area.x - rect.x;
  dy += area.y - rect.y;
  // The source rectangle with the filter's reach of clear margin round it.
  const FilterReach reach = Reach(filter);
  const int w = area.width + 2 * reach.x, h = area.height + 2 * reach.y;
  std::vector<uint32_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
  for (int j = 0; j < area.height; ++j) {
    for (int i = 0; i < area.width; ++i) {
      uint32_t p = src.argb[static_cast<std::size_t>(area.y + j) * src.width + area.x + i];
      if (!src.transparent) p |= 0xFF000000u;
      pixels[static_cast<std::size_t>(j + reach.y) * w + i + reach.x] =
          raster::Premultiply(Rgba{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8),
                                   static_cast<uint8_t>(p), static_cast<uint8_t>(p >> 24)});
    }
  }
  raster::Canvas canvas{pixels.data(), w, h, w};
  FilterScratch scratch;
  ApplyFilters(canvas, FilterList{filter}, 1.0, scratch, reach.x, reach.y);
  for (int j = 0; j < area.height; ++j) {
    const int ty = dy + j;
    if (ty < 0 || ty >= dst.height) continue;
    for (int i = 0; i < area.width; ++i) {
      const int tx = dx + i;
      if (tx < 0 || tx >= dst.width) continue;
      const uint32_t p = pixels[static_cast<std::size_t>(j + reach.y) * w + i + reach.x];
      dst.argb[static_cast<std::size_t>(ty) * dst.width + tx] = KeptPixel(dst, StraightPixel(p));
    }
  }
  dst.Changed();
}

PixelRect FilterRect(PixelRect rect, const Filter& filter) {
  const FilterReach reach = Reach(filter);
  return {rect.x - reach.x, rect.y - reach.y, rect.width + 2 * reach.x, rect.height + 2 * reach.y};
}

}  // namespace orrivel::swf
