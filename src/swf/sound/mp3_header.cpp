#include "swf/sound/mp3_header.h"

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

}  // namespace orrivel::swf
