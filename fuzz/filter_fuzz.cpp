// Reads arbitrary bytes as a filter list and applies it to a small picture
// at a scale taken from the first byte, so that every kernel meets hostile
// sizes, offsets, strengths, matrices and gradients.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "swf/format/tag_readers.h"
#include "swf/render/filter_effects.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace orrivel::swf;
  if (size < 2) return 0;
  // 1/16 to 16 device pixels per stage pixel.
  const double scale = (data[0] + 1) / 16.0;
  orrivel::ByteReader r(std::span<const uint8_t>(data + 1, size - 1));
  Budget budget(1 << 20);
  const FilterList filters = ReadFilterList(r, budget);
  if (filters.empty()) return 0;
  constexpr int kW = 40, kH = 30;
  std::vector<uint32_t> pixels(kW * kH, 0);
  for (int y = 10; y < 20; ++y) {
    for (int x = 12; x < 28; ++x) pixels[y * kW + x] = 0xC0806040u;
  }
  orrivel::swf::raster::Canvas canvas{pixels.data(), kW, kH, kW};
  FilterScratch scratch;
  ApplyFilters(canvas, filters, scale, scratch);
  ReachOf(filters, scale);
  return 0;
}
