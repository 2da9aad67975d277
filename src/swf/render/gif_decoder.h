// A small GIF87a/89a decoder for GIF payloads in DefineBitsJPEG2/3: the
// first frame on the logical screen, transparency kept, premultiplied BGRA.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "swf/raster/raster.h"

namespace orrivel::swf {

std::optional<raster::Image> DecodeGif(std::span<const uint8_t> data, uint64_t maxPixels);

}  // namespace orrivel::swf
