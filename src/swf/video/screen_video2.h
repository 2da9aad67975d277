// Screen Video 2 (codec 6): the grid of Screen Video, with a format byte per
// block. A block may send only a band of its rows, and its zlib data may be
// primed with the block as the last key frame left it.
//
// Decoded: 24-bit blocks, whole or banded, plain or primed by the previous
// key block. Refused as damaged (the picture stays): the 15/7-bit hybrid
// colours, whose built-in colour table is not published, priming from
// another block of the same frame and the separate key-frame image list,
// whose reconstruction the format leaves undefined.
#pragma once

#include <vector>

#include "swf/video/video_decoder.h"

namespace orrivel::swf::video {

class ScreenVideo2Decoder final : public VideoDecoder {
 public:
  // A key frame sends every block whole and unprimed.
  bool IsKeyFrame(std::span<const uint8_t> data) const override;
  bool Decode(std::span<const uint8_t> data) override;
  const raster::Image& Picture() const override { return image_; }

 private:
  raster::Image image_;
  raster::Image work_;
  // Per block, the bytes it decompressed to in the last key frame: the
  // dictionary of the blocks primed from it.
  std::vector<std::vector<uint8_t>> keyBlocks_;
  std::vector<std::vector<uint8_t>> nextKeyBlocks_;
  std::vector<uint8_t> scratch_;
};

}  // namespace orrivel::swf::video
