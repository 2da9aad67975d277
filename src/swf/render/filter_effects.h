// Applies a node's bitmap filters to the layer it was drawn into: blurs,
// shadows, glows, bevels (plain and gradient), convolution and colour matrix,
// in list order. Sizes and offsets are stage pixels, drawn at device
// resolution: `scale` is the stage's device pixels per stage pixel.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/format/filters.h"
#include "swf/raster/raster.h"

namespace orrivel::swf {

// Buffers reused from one filtered node to the next.
struct FilterScratch {
  std::vector<uint32_t> copy, source;
  std::vector<uint8_t> alpha;  // a blurred alpha plane
  std::vector<float> floats;
};

// How far past the node's own pixels the filters draw, in device pixels.
struct FilterReach {
  int x = 0, y = 0;
};
FilterReach ReachOf(const FilterList& filters, double scale);

// Filters the premultiplied pixels of area in place; area must already hold
// the reach of the filters as transparent margin. `originX` and `originY`
// are where the object's own top left lies in the area, device pixels (a
// displacement map is placed from there).
void ApplyFilters(raster::Canvas& area, const FilterList& filters, double scale,
                  FilterScratch& scratch, double originX = 0, double originY = 0);

}  // namespace orrivel::swf
