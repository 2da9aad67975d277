#include "swf/format/jpeg_stream.h"

#include "base/jpeg_markers.h"

namespace orrivel::swf {
namespace {

void Copy(std::span<const uint8_t> in, size_t from, size_t to, std::vector<uint8_t>& out) {
  out.insert(out.end(), in.begin() + static_cast<ptrdiff_t>(from),
             in.begin() + static_cast<ptrdiff_t>(to));
}

// Appends the marker segments and scan data of in, without SOI and EOI,
// stopping at an EOI that is not followed by another SOI. Bytes that do not
// parse as markers are copied as they are, for the decoder to judge.
void AppendSegments(std::span<const uint8_t> in, std::vector<uint8_t>& out) {
  JpegMarkerWalker walker(in);
  JpegSegment s;
  while (walker.Next(s)) {
    if (s.marker == kJpegSoi) continue;
    if (s.marker == kJpegEoi) {
      if (walker.At(kJpegSoi)) continue;
      return;
    }
    Copy(in, s.begin, s.end, out);
  }
  Copy(in, walker.Position(), in.size(), out);
}

}  // namespace

std::vector<uint8_t> MakeStandaloneJpeg(std::span<const uint8_t> tables,
                                        std::span<const uint8_t> image) {
  if (!LooksLikeJpeg(image)) return {image.begin(), image.end()};
  std::vector<uint8_t> out;
  out.reserve(tables.size() + image.size() + 4);
  out.push_back(0xFF);
  out.push_back(kJpegSoi);
  if (LooksLikeJpeg(tables)) AppendSegments(tables, out);
  AppendSegments(image, out);
  out.push_back(0xFF);
  out.push_back(kJpegEoi);
  return out;
}

}  // namespace orrivel::swf
