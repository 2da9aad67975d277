// One decoder per video codec: takes the VideoData of one frame at a time and
// keeps the picture it last decoded well. A damaged frame reports failure and
// leaves that picture alone.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "swf/raster/raster.h"

namespace orrivel::swf::video {

// Flash's own limit on either side of a frame.
inline constexpr int kMaxFrameSide = 4095;

class VideoDecoder {
 public:
  virtual ~VideoDecoder() = default;
  // Whether the frame decodes without the frames before it.
  virtual bool IsKeyFrame(std::span<const uint8_t> data) const = 0;
  // False when the frame is damaged; the picture then stays as it was.
  virtual bool Decode(std::span<const uint8_t> data) = 0;
  // The last good picture, opaque BGRA (or with alpha, premultiplied);
  // empty before the first.
  virtual const raster::Image& Picture() const = 0;
};

// Deblocking as DefineVideoStream states it: 0 follows each frame's own
// flag, 1 is off, 2 and up on. nullptr for a codec without a decoder.
std::unique_ptr<VideoDecoder> MakeVideoDecoder(uint8_t codec, uint8_t deblocking);

}  // namespace orrivel::swf::video
