#include "swf/video/screen_video2.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

#include "swf/video/screen_layout.h"

namespace orrivel::swf::video {
namespace {

// The packet's flags byte after the grid.
constexpr uint8_t kHasIFrameImage = 0x02, kHasPaletteInfo = 0x01;
// A block's format byte: reserved bits, colour depth, then three coding flags.
constexpr uint8_t kHasDiffBlocks = 0x04, kPrimeCurrent = 0x02, kPrimePrevious = 0x01;
constexpr int kDepth24 = 0;

int ColorDepth(uint8_t format) { return (format >> 3) & 3; }

// Decompresses exactly out.size() bytes. A primed block is a bare deflate
// stream that goes on from its dictionary, as if the key block's data had
// just been through the same compressor.
bool InflateBlock(std::span<const uint8_t> in, std::span<const uint8_t> dictionary, bool primed,
                  std::vector<uint8_t>& out) {
  z_stream zs{};
  if ((primed ? inflateInit2(&zs, -MAX_WBITS) : inflateInit(&zs)) != Z_OK) return false;
  bool ok = true;
  if (primed) {
    // Only the last window's worth can be referred to.
    const size_t keep = std::min<size_t>(dictionary.size(), size_t{1} << MAX_WBITS);
    ok = inflateSetDictionary(&zs, dictionary.data() + dictionary.size() - keep,
                              static_cast<uInt>(keep)) == Z_OK;
  }
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  // The output buffer is the cap: a block never costs more than its pixels.
  while (ok && zs.avail_out > 0) {
    const int rc = inflate(&zs, Z_NO_FLUSH);
    if (rc == Z_STREAM_END || rc == Z_BUF_ERROR) break;
    ok = rc == Z_OK;
  }
  ok = ok && zs.avail_out == 0;
  inflateEnd(&zs);
  return ok;
}

// Reads the grid and the flags, and steps over a palette (used by the hybrid
// colours only). False for a frame this decoder cannot show.
bool ReadHeader(ByteReader& r, ScreenLayout& l) {
  if (!ReadScreenLayout(r, l)) return false;
  const uint8_t flags = r.U8();
  if (flags & kHasIFrameImage) return false;
  if (flags & kHasPaletteInfo) r.Skip(r.U16Be());
  return !r.Failed();
}

}  // namespace

bool ScreenVideo2Decoder::IsKeyFrame(std::span<const uint8_t> data) const {
  ByteReader r(data);
  ScreenLayout l;
  if (!ReadHeader(r, l)) return false;
  for (int i = 0, n = l.Columns() * l.Rows(); i < n; ++i) {
    const uint16_t size = r.U16Be();
    const auto block = r.Bytes(size);
    if (r.Failed() || size == 0) return false;
    if (block[0] & (kHasDiffBlocks | kPrimeCurrent | kPrimePrevious)) return false;
  }
  return true;
}

bool ScreenVideo2Decoder::Decode(std::span<const uint8_t> data) {
  ByteReader r(data);
  ScreenLayout l;
  if (!ReadHeader(r, l)) return false;
  bool resized = false;
  if (!StartScreenFrame(
          l, [this, data] { return IsKeyFrame(data); }, image_, work_, resized))
    return false;
  if (resized) keyBlocks_.assign(static_cast<size_t>(l.Columns()) * l.Rows(), {});
  // Key blocks are kept only once the whole frame decoded.
  nextKeyBlocks_.assign(keyBlocks_.size(), {});
  std::vector<bool> replaced(keyBlocks_.size(), false);
  for (int row = 0, index = 0; row < l.Rows(); ++row) {
    for (int col = 0; col < l.Columns(); ++col, ++index) {
      const uint16_t size = r.U16Be();
      const auto block = r.Bytes(size);
      if (r.Failed()) return false;
      if (size == 0) continue;
      ByteReader b(block);
      const uint8_t format = b.U8();
      if (ColorDepth(format) != kDepth24 || (format & kPrimeCurrent)) return false;
      // Rows count up from the picture's bottom edge, and within a block from its own.
      const int x0 = col * l.blockWidth;
      const int yBottom = l.height - 1 - row * l.blockHeight;
      const int w = std::min(l.blockWidth, l.width - x0);
      const int h = std::min(l.blockHeight, yBottom + 1);
      int first = 0, count = h;
      if (format & kHasDiffBlocks) {
        first = b.U8();
        count = b.U8();
      }
      const bool primed = format & kPrimePrevious;
      const auto& dictionary = keyBlocks_[index];
      if (b.Failed() || first + count > h || (primed && dictionary.empty())) return false;
      scratch_.resize(static_cast<size_t>(w) * count * 3);
      if (!InflateBlock(b.Rest(), dictionary, primed, scratch_)) return false;
      const uint8_t* p = scratch_.data();
      for (int y = first; y < first + count; ++y) {
        uint32_t* dst = work_.pixels.data() + static_cast<size_t>(yBottom - y) * l.width + x0;
        for (int x = 0; x < w; ++x, p += 3) {
          dst[x] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        }
      }
      if (!(format & (kHasDiffBlocks | kPrimePrevious))) {
        nextKeyBlocks_[index] = scratch_;
        replaced[index] = true;
      }
    }
  }
  std::swap(image_, work_);
  for (size_t i = 0; i < keyBlocks_.size(); ++i) {
    if (replaced[i]) std::swap(keyBlocks_[i], nextKeyBlocks_[i]);
  }
  return true;
}

}  // namespace orrivel::swf::video
