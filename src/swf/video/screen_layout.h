// The block grid both Screen Video codecs start their frames with.
#pragma once

#include "base/byte_reader.h"
#include "swf/video/video_decoder.h"

namespace orrivel::swf::video {

struct ScreenLayout {
  int blockWidth = 0, blockHeight = 0, width = 0, height = 0;
  int Columns() const { return (width + blockWidth - 1) / blockWidth; }
  int Rows() const { return (height + blockHeight - 1) / blockHeight; }
};

// Block sizes are multiples of 16 up to 256; the picture is capped as every video is.
inline bool ReadScreenLayout(ByteReader& r, ScreenLayout& out) {
  const uint16_t a = r.U16Be(), b = r.U16Be();
  out.blockWidth = ((a >> 12) + 1) * 16;
  out.width = a & 0x0FFF;
  out.blockHeight = ((b >> 12) + 1) * 16;
  out.height = b & 0x0FFF;
  return !r.Failed() && out.width > 0 && out.height > 0 && out.width <= kMaxFrameSide &&
         out.height <= kMaxFrameSide;
}

// Starts a frame's picture: a copy of the last one, or opaque black at a new
// size, which only a key frame may bring (checked before anything is
// allocated). False when the frame cannot start; `resized` says which.
template <typename IsKeyFrame>
bool StartScreenFrame(const ScreenLayout& l, IsKeyFrame isKeyFrame, const raster::Image& last,
                      raster::Image& work, bool& resized) {
  resized = last.width != l.width || last.height != l.height;
  if (resized && !isKeyFrame()) return false;
  if (!resized) {
    work = last;
    return true;
  }
  work.width = l.width;
  work.height = l.height;
  work.pixels.assign(static_cast<size_t>(l.width) * l.height, 0xFF000000u);
  return true;
}

}  // namespace orrivel::swf::video
