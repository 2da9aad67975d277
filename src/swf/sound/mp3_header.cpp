#include "swf/sound/mp3_header.h"

#include <algorithm>
#include <cmath>

namespace orrivel::swf {
namespace {

// By version bits (0: MPEG 2.5, 2: MPEG 2, 3: MPEG 1) and rate index.
constexpr int kRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
// Layer III bitrates by index: MPEG 1, then MPEG 2 and 2.5.
constexpr int kBitrates[2][16] = {
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};

}  // namespace

std::optional<Mp3FrameInfo> FindMp3Frame(std::span<const uint8_t> bytes) {
  for (size_t i = 0; i + 4 <= bytes.size(); ++i) {
    if (bytes[i] != 0xFF || (bytes[i + 1] & 0xE0) != 0xE0) continue;
    const int version = (bytes[i + 1] >> 3) & 3;
    const int layer = (bytes[i + 1] >> 1) & 3;
    const int bitrateIndex = bytes[i + 2] >> 4;
    const int rateIndex = (bytes[i + 2] >> 2) & 3;
    if (version == 1 || layer != 1 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15)
      continue;
    Mp3FrameInfo info;
    info.rate = kRates[version][rateIndex];
    info.channels = (bytes[i + 3] >> 6) == 3 ? 1 : 2;
    info.bitrateKbps = kBitrates[version == 3 ? 0 : 1][bitrateIndex];
    info.offset = i;
    return info;
  }
  return std::nullopt;
}

double Mp3DurationMs(std::span<const uint8_t> b) {
  std::size_t pos = 0;
  if (b.size() >= 10 && b[0] == 'I' && b[1] == 'D' && b[2] == '3')
    pos = 10 + ((b[6] & 0x7F) << 21 | (b[7] & 0x7F) << 14 | (b[8] & 0x7F) << 7 | (b[9] & 0x7F));
  double samples = 0;
  int rate = 0;
  while (pos + 4 <= b.size()) {
    const uint8_t h1 = b[pos + 1], h2 = b[pos + 2];
    const int version = (h1 >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    if (b[pos] != 0xFF || (h1 & 0xE0) != 0xE0 || version == 1 || ((h1 >> 1) & 3) != 1) {
      if (samples > 0) break;
      ++pos;  // junk before the first frame
      continue;
    }
    const bool mpeg1 = version == 3;
    const int kbps = kBitrates[mpeg1 ? 0 : 1][h2 >> 4];
    const int rateIndex = (h2 >> 2) & 3;
    if (kbps == 0 || rateIndex == 3) break;
    rate = kRates[version][rateIndex];
    const int perFrame = mpeg1 ? 1152 : 576;
    const std::size_t length = perFrame / 8 * kbps * 1000 / rate + ((h2 >> 1) & 1);
    samples += perFrame;
    pos += std::max<std::size_t>(length, 4);
  }
  return rate > 0 ? std::round(samples * 1000 / rate) : 0;
}

}  // namespace orrivel::swf
