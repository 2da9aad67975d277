// Decodes the picture payloads found in SWF bitmap tags. Windows uses the
// system's imaging component; the native build uses libjpeg-turbo and libpng.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "swf/raster/raster.h"

namespace orrivel::swf {

class ImageDecoder {
 public:
  virtual ~ImageDecoder() = default;
  // JPEG, PNG or GIF bytes (sniffed by signature) to premultiplied BGRA.
  // Returns nothing for damaged data or pictures larger than maxPixels.
  virtual std::optional<raster::Image> Decode(std::span<const uint8_t> data,
                                              uint64_t maxPixels) = 0;
};

}  // namespace orrivel::swf
