// Screen Video (codec 3): the picture cut into blocks, each block either
// left as it was or sent again as zlib-compressed BGR rows, bottom row first.
#pragma once

#include <vector>

#include "swf/video/video_decoder.h"

namespace orrivel::swf::video {

class ScreenVideoDecoder final : public VideoDecoder {
 public:
  // A key frame sends every block.
  bool IsKeyFrame(std::span<const uint8_t> data) const override;
  bool Decode(std::span<const uint8_t> data) override;
  const raster::Image& Picture() const override { return image_; }

 private:
  raster::Image image_;
  raster::Image work_;
  std::vector<uint8_t> scratch_;
};

}  // namespace orrivel::swf::video
