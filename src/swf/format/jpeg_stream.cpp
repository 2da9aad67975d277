#include "swf/format/jpeg_stream.h"

#include <algorithm>

namespace orrivel::swf {
namespace {

constexpr uint8_t kSoi = 0xD8, kEoi = 0xD9, kSos = 0xDA, kTem = 0x01;

bool IsRestart(uint8_t m) { return m >= 0xD0 && m <= 0xD7; }

void Copy(std::span<const uint8_t> in, size_t from, size_t to, std::vector<uint8_t>& out) {
  out.insert(out.end(), in.begin() + static_cast<ptrdiff_t>(from),
             in.begin() + static_cast<ptrdiff_t>(to));
}

// Appends the marker segments and scan data of in, without SOI and EOI,
// stopping at an EOI that is not followed by another SOI. Bytes that do not
// parse as markers are copied as they are, for the decoder to judge.
void AppendSegments(std::span<const uint8_t> in, std::vector<uint8_t>& out) {
  const size_t n = in.size();
  size_t i = 0;
  while (i + 1 < n) {
    if (in[i] != 0xFF) break;
    const uint8_t m = in[i + 1];
    if (m == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (m == kSoi) {
      i += 2;
      continue;
    }
    if (m == kEoi) {
      i += 2;
      if (i + 1 < n && in[i] == 0xFF && in[i + 1] == kSoi) continue;
      return;
    }
    if (IsRestart(m) || m == kTem) {
      Copy(in, i, i + 2, out);
      i += 2;
      continue;
    }
    if (i + 4 > n) break;
    const size_t len = (static_cast<size_t>(in[i + 2]) << 8) | in[i + 3];
    if (len < 2) break;
    const size_t end = std::min(n, i + 2 + len);
    Copy(in, i, end, out);
    i = end;
    if (m != kSos) continue;
    // Entropy-coded data runs to the next marker other than a stuffed zero
    // or a restart marker.
    size_t j = i;
    while (j + 1 < n && !(in[j] == 0xFF && in[j + 1] != 0 && !IsRestart(in[j + 1]) &&
                          in[j + 1] != 0xFF)) {
      ++j;
    }
    if (j + 1 >= n) j = n;
    Copy(in, i, j, out);
    i = j;
  }
  if (i < n) Copy(in, i, n, out);
}

}  // namespace

bool LooksLikeJpeg(std::span<const uint8_t> data) {
  return data.size() >= 2 && data[0] == 0xFF && (data[1] == kSoi || data[1] == kEoi);
}

std::vector<uint8_t> MakeStandaloneJpeg(std::span<const uint8_t> tables,
                                        std::span<const uint8_t> image) {
  if (!LooksLikeJpeg(image)) return {image.begin(), image.end()};
  std::vector<uint8_t> out;
  out.reserve(tables.size() + image.size() + 4);
  out.push_back(0xFF);
  out.push_back(kSoi);
  if (LooksLikeJpeg(tables)) AppendSegments(tables, out);
  AppendSegments(image, out);
  out.push_back(0xFF);
  out.push_back(kEoi);
  return out;
}

}  // namespace orrivel::swf
