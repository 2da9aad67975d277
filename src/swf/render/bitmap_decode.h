// Decodes the bitmap characters of a movie into premultiplied BGRA images:
// the zlib-packed lossless formats here, JPEG/PNG/GIF payloads through an
// ImageDecoder (with the movie's shared JPEG tables merged in), and the
// separate alpha plane of DefineBitsJPEG3/4.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"
#include "swf/render/image_decoder.h"

namespace orrivel::swf {

struct BitmapLimits {
  uint64_t maxPixels = 1ull << 24;  // 16 M pixels (64 MB of BGRA)
};

std::optional<raster::Image> DecodeBitmap(const BitmapDefinition& bitmap,
                                          std::span<const uint8_t> jpegTables,
                                          ImageDecoder& decoder, const BitmapLimits& limits = {});

// Inflates at most maxBytes; returns what could be inflated (possibly less).
std::vector<uint8_t> InflateBounded(std::span<const uint8_t> data, size_t maxBytes);

}  // namespace orrivel::swf
