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

}  // namespace orrivel::swf::video
