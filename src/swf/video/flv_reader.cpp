#include "swf/video/flv_reader.h"

namespace orrivel::swf::video {

namespace {

uint32_t Be(const uint8_t* p, int bytes) {
  uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | p[i];
  return v;
}

constexpr std::size_t kTagHeader = 11;
constexpr std::size_t kBackPointer = 4;  // each tag is followed by its own size

}  // namespace

FlvFile ReadFlv(std::span<const uint8_t> file, std::size_t maxTags) {
  FlvFile out;
  const uint8_t* p = file.data();
  if (file.size() < 9 || p[0] != 'F' || p[1] != 'L' || p[2] != 'V') {
    out.error = "not an FLV file";
    return out;
  }
  out.hasAudio = (p[4] & 4) != 0;
  out.hasVideo = (p[4] & 1) != 0;
  const uint32_t headerSize = Be(p + 5, 4);
  if (headerSize < 9 || headerSize > file.size()) {
    out.error = "FLV header states a size of " + std::to_string(headerSize);
    return out;
  }
  std::size_t pos = headerSize + kBackPointer;
  while (pos < file.size()) {
    if (file.size() - pos < kTagHeader) {
      out.error = "tag header cut short at byte " + std::to_string(pos);
      break;
    }
    const uint8_t type = p[pos] & 0x1F;
    // Bit 5 marks an encrypted tag, which no player without the key can read.
    const bool filtered = (p[pos] & 0x20) != 0;
    const std::size_t size = Be(p + pos + 1, 3);
    const uint32_t time = Be(p + pos + 4, 3) | uint32_t{p[pos + 7]} << 24;
    const std::size_t data = pos + kTagHeader;
    if (file.size() - data < size) {
      out.error = "tag at byte " + std::to_string(pos) + " runs past the end of the file";
      break;
    }
    if (!filtered && (type == 8 || type == 9 || type == 18)) {
      if (out.tags.size() >= maxTags) {
        out.error = "more than " + std::to_string(maxTags) + " tags";
        break;
      }
      out.tags.push_back({static_cast<FlvTagType>(type), static_cast<int32_t>(time), data, size});
    }
    // The back pointer is not checked: writers got it wrong often enough
    // that players go by the sizes in the tag headers.
    pos = data + size + kBackPointer;
  }
  return out;
}

FlvVideoHeader ReadFlvVideoHeader(std::span<const uint8_t> tagData) {
  if (tagData.empty()) return {};
  return {static_cast<uint8_t>(tagData[0] >> 4), static_cast<uint8_t>(tagData[0] & 15)};
}

FlvAudioHeader ReadFlvAudioHeader(std::span<const uint8_t> tagData) {
  if (tagData.empty()) return {};
  const uint8_t b = tagData[0];
  static constexpr int kRates[] = {5512, 11025, 22050, 44100};
  return {static_cast<uint8_t>(b >> 4), kRates[(b >> 2) & 3], (b & 2) != 0, (b & 1) != 0};
}

}  // namespace orrivel::swf::video
