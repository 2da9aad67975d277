#include "base/jpeg_markers.h"

#include <algorithm>

namespace orrivel {
namespace {

bool IsRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

// Markers that stand alone, without a length.
bool IsStandalone(uint8_t m) {
  return m == kJpegSoi || m == kJpegEoi || m == kJpegTem || IsRestart(m);
}

}  // namespace

bool JpegMarkerWalker::At(uint8_t marker) const {
  const auto d = in_.Data();
  const size_t i = in_.Position();
  return i + 1 < d.size() && d[i] == 0xFF && d[i + 1] == marker;
}

bool JpegMarkerWalker::Next(JpegSegment& out) {
  const auto d = in_.Data();
  size_t i = in_.Position();
  while (i + 1 < d.size() && d[i] == 0xFF && d[i + 1] == 0xFF) ++i;  // fill bytes
  in_.Seek(i);
  if (i + 1 >= d.size() || d[i] != 0xFF) return false;
  out = {};
  out.marker = d[i + 1];
  out.begin = i;
  if (IsStandalone(out.marker)) {
    in_.Skip(2);
    out.end = in_.Position();
    return true;
  }
  if (i + 4 > d.size()) return false;
  ByteReader header = in_;
  header.Skip(2);
  const size_t length = header.U16Be();
  if (length < 2) return false;
  out.truncated = length - 2 > header.Remaining();
  out.payload = header.Bytes(std::min(length - 2, header.Remaining()));
  size_t end = header.Position();
  if (out.marker == kJpegSos) {
    // Entropy-coded data runs to the next marker other than a stuffed zero,
    // a restart marker or a fill byte.
    while (end + 1 < d.size() &&
           !(d[end] == 0xFF && d[end + 1] != 0 && !IsRestart(d[end + 1]) && d[end + 1] != 0xFF)) {
      ++end;
    }
    if (end + 1 >= d.size()) end = d.size();
  }
  out.end = end;
  in_.Seek(end);
  return true;
}

bool LooksLikeJpeg(std::span<const uint8_t> data) {
  return data.size() >= 2 && data[0] == 0xFF && (data[1] == kJpegSoi || data[1] == kJpegEoi);
}

}  // namespace orrivel
