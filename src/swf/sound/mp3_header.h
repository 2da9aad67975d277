// The fields of an MPEG audio frame header that a system decoder must be
// told before it decodes (ACM wants the rate and channels up front).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace orrivel::swf {

struct Mp3FrameInfo {
  int rate = 0;  // samples per second
  int channels = 0;
  int bitrateKbps = 0;
  size_t offset = 0;  // of the header within the bytes searched
};

// The first Layer III frame header in bytes (MPEG 1, 2 or 2.5).
std::optional<Mp3FrameInfo> FindMp3Frame(std::span<const uint8_t> bytes);

// The length in ms of the Layer III frames in an MP3 file (after any ID3v2
// tag); 0 when there are none. Frames are walked up to the first damaged
// header.
double Mp3DurationMs(std::span<const uint8_t> bytes);

}  // namespace orrivel::swf
