// The ImageDecoder of the native (non-Windows) build: JPEG through
// libjpeg-turbo, PNG through libpng, GIF through our own small decoder.
#pragma once

#include "swf/render/image_decoder.h"

namespace orrivel::swf {

class NativeImageDecoder : public ImageDecoder {
 public:
  std::optional<raster::Image> Decode(std::span<const uint8_t> data, uint64_t maxPixels) override;
};

}  // namespace orrivel::swf
