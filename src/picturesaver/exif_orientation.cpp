#include "picturesaver/exif_orientation.h"

#include <cstring>
#include <new>

#include "base/jpeg_markers.h"

namespace orrivel {
namespace {

constexpr uint16_t kOrientationTag = 0x0112;
constexpr uint16_t kTypeShort = 3;
constexpr uint16_t kTiffMagic = 42;
constexpr size_t kIfdEntryBytes = 12;

// TIFF numbers come in the byte order that its header names.
struct TiffNumbers {
  bool bigEndian = false;
  uint16_t U16(ByteReader& r) const { return bigEndian ? r.U16Be() : r.U16(); }
  uint32_t U32(ByteReader& r) const { return bigEndian ? r.U32Be() : r.U32(); }
};

// Orientation from a TIFF structure (the payload after "Exif\0\0").
int TiffOrientation(std::span<const uint8_t> tiff) {
  ByteReader r(tiff);
  const auto order = r.Bytes(2);
  if (r.Failed() || order[0] != order[1] || (order[0] != 'I' && order[0] != 'M')) return 1;
  const TiffNumbers n{order[0] == 'M'};
  if (n.U16(r) != kTiffMagic) return 1;
  r.Seek(n.U32(r));
  const unsigned count = n.U16(r);
  for (unsigned i = 0; i < count && !r.Failed(); ++i) {
    ByteReader entry = r.Sub(kIfdEntryBytes);
    if (n.U16(entry) != kOrientationTag) continue;
    const uint16_t type = n.U16(entry);
    const uint32_t values = n.U32(entry);
    const unsigned value = n.U16(entry);  // a single SHORT sits left-aligned in the value field
    if (entry.Failed() || type != kTypeShort || values < 1) return 1;
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
  }
  return 1;
}

}  // namespace

int JpegExifOrientation(std::span<const uint8_t> data) {
  static constexpr uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
  JpegMarkerWalker walker(data);
  JpegSegment s;
  if (!walker.Next(s) || s.begin != 0 || s.marker != kJpegSoi) return 1;
  while (walker.Next(s)) {
    // Metadata comes before the image data.
    if (s.marker == kJpegSos || s.marker == kJpegEoi || s.truncated) return 1;
    if (s.marker == kJpegApp1 && s.payload.size() >= sizeof kExif &&
        std::memcmp(s.payload.data(), kExif, sizeof kExif) == 0) {
      return TiffOrientation(s.payload.subspan(sizeof kExif));
    }
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
        case 2:
          sx = w - 1 - x;
          break;
        case 3:
          sx = w - 1 - x;
          sy = h - 1 - y;
          break;
        case 4:
          sy = h - 1 - y;
          break;
        case 5:
          sx = y;
          sy = x;
          break;
        case 6:
          sx = y;
          sy = h - 1 - x;
          break;
        case 7:
          sx = w - 1 - y;
          sy = h - 1 - x;
          break;
        case 8:
          sx = w - 1 - y;
          sy = x;
          break;
        default:
          break;
      }
      uint32_t pixel;
      std::memcpy(&pixel, src.Row(sy) + static_cast<size_t>(sx) * 4, 4);
      dst[static_cast<size_t>(y) * out.width + x] = pixel;
    }
  }
  return out;
}

}  // namespace orrivel
