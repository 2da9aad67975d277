#include "swf/video/screen_video.h"

#include <algorithm>

#include "swf/format/inflate.h"
#include "swf/video/screen_layout.h"

namespace orrivel::swf::video {

bool ScreenVideoDecoder::IsKeyFrame(std::span<const uint8_t> data) const {
  ByteReader r(data);
  ScreenLayout l;
  if (!ReadScreenLayout(r, l)) return false;
  for (int i = 0, n = l.Columns() * l.Rows(); i < n; ++i) {
    const uint16_t size = r.U16Be();
    if (r.Failed() || size == 0) return false;
    r.Skip(size);
  }
  return !r.Failed();
}

bool ScreenVideoDecoder::Decode(std::span<const uint8_t> data) {
  ByteReader r(data);
  ScreenLayout l;
  if (!ReadScreenLayout(r, l)) return false;
  bool resized = false;
  if (!StartScreenFrame(
          l, [this, data] { return IsKeyFrame(data); }, image_, work_, resized))
    return false;
  for (int row = 0; row < l.Rows(); ++row) {
    for (int col = 0; col < l.Columns(); ++col) {
      const uint16_t size = r.U16Be();
      const auto packed = r.Bytes(size);
      if (r.Failed()) return false;
      if (size == 0) continue;
      // Rows count up from the picture's bottom edge.
      const int x0 = col * l.blockWidth;
      const int yBottom = l.height - 1 - row * l.blockHeight;
      const int w = std::min(l.blockWidth, l.width - x0);
      const int h = std::min(l.blockHeight, yBottom + 1);
      const size_t need = static_cast<size_t>(w) * h * 3;
      scratch_.clear();
      if (InflateCapped(packed, need, scratch_) == InflateStatus::Corrupt || scratch_.size() < need)
        return false;
      const uint8_t* p = scratch_.data();
      for (int y = 0; y < h; ++y) {
        uint32_t* dst = work_.pixels.data() + static_cast<size_t>(yBottom - y) * l.width + x0;
        for (int x = 0; x < w; ++x, p += 3) {
          dst[x] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        }
      }
    }
  }
  std::swap(image_, work_);
  return true;
}

}  // namespace orrivel::swf::video
