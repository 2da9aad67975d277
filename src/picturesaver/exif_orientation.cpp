#include "picturesaver/exif_orientation.h"

#include <cstring>
#include <new>

namespace orrivel {
namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

struct TiffReader {
  std::span<const uint8_t> tiff;
  bool bigEndian;

  bool Has(size_t offset, size_t n) const { return offset <= tiff.size() && n <= tiff.size() - offset; }
  uint16_t U16(size_t offset) const {
    const uint8_t* p = tiff.data() + offset;
    return bigEndian ? Be16(p) : static_cast<uint16_t>(p[1] << 8 | p[0]);
  }
  uint32_t U32(size_t offset) const {
    uint32_t hi = U16(offset), lo = U16(offset + 2);
    return bigEndian ? (hi << 16 | lo) : (lo << 16 | hi);
  }
};

// Orientation from a TIFF structure (the payload after "Exif\0\0").
int TiffOrientation(std::span<const uint8_t> tiff) {
  if (tiff.size() < 8) return 1;
  TiffReader r{tiff, false};
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    r.bigEndian = false;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    r.bigEndian = true;
  } else {
    return 1;
  }
  if (r.U16(2) != 42) return 1;
  size_t ifd = r.U32(4);
  if (!r.Has(ifd, 2)) return 1;
  unsigned count = r.U16(ifd);
  for (unsigned i = 0; i < count; ++i) {
    size_t entry = ifd + 2 + static_cast<size_t>(i) * 12;
    if (!r.Has(entry, 12)) return 1;
    if (r.U16(entry) != kOrientationTag) continue;
    if (r.U16(entry + 2) != kTypeShort || r.U32(entry + 4) < 1) return 1;
    unsigned value = r.U16(entry + 8);  // a single SHORT sits left-aligned in the value field
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

}  // namespace

int JpegExifOrientation(std::span<const uint8_t> data) {
  if (data.size() < 4 || data[0] != 0xFF || data[1] != 0xD8) return 1;
  size_t pos = 2;
  while (pos + 4 <= data.size()) {
    if (data[pos] != 0xFF) return 1;
    uint8_t marker = data[pos + 1];
    if (marker == 0xFF) {  // fill byte
      ++pos;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;  // markers without a length
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return 1;  // image data: no metadata beyond
    size_t length = Be16(&data[pos + 2]);
    if (length < 2 || length > data.size() - pos - 2) return 1;
    auto segment = data.subspan(pos + 4, length - 2);
    static constexpr uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (marker == 0xE1 && segment.size() >= 6 && std::memcmp(segment.data(), kExif, 6) == 0) {
      return TiffOrientation(segment.subspan(6));
    }
    pos += 2 + length;
  }
  return 1;
}

std::optional<Bitmap> ApplyOrientation(const BitmapView& src, int orientation) {
  if (!src.Valid()) return std::nullopt;
  if (orientation < 1 || orientation > 8) orientation = 1;
  const int w = src.width, h = src.height;
  Bitmap out;
  out.width = OrientationSwapsAxes(orientation) ? h : w;
  out.height = OrientationSwapsAxes(orientation) ? w : h;
  try {
    out.pixels.resize(static_cast<size_t>(out.width) * out.height * 4);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  auto* dst = reinterpret_cast<uint32_t*>(out.pixels.data());
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      int sx = x, sy = y;
      switch (orientation) {
        case 2: sx = w - 1 - x; break;
        case 3: sx = w - 1 - x; sy = h - 1 - y; break;
        case 4: sy = h - 1 - y; break;
        case 5: sx = y; sy = x; break;
        case 6: sx = y; sy = h - 1 - x; break;
        case 7: sx = w - 1 - y; sy = h - 1 - x; break;
        case 8: sx = w - 1 - y; sy = x; break;
        default: break;
      }
      uint32_t pixel;
      std::memcpy(&pixel, src.Row(sy) + static_cast<size_t>(sx) * 4, 4);
      dst[static_cast<size_t>(y) * out.width + x] = pixel;
    }
  }
  return out;
}

}  // namespace orrivel
