// Walks the marker segments of a JPEG stream: the one place that knows which
// markers carry a length, where entropy-coded data ends, and how fill bytes
// look. Used to rebuild SWF JPEG data and to find a photo's Exif block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/byte_reader.h"

namespace orrivel {

inline constexpr uint8_t kJpegSoi = 0xD8;   // start of image
inline constexpr uint8_t kJpegEoi = 0xD9;   // end of image
inline constexpr uint8_t kJpegSos = 0xDA;   // start of scan
inline constexpr uint8_t kJpegApp1 = 0xE1;  // Exif lives here
inline constexpr uint8_t kJpegTem = 0x01;

struct JpegSegment {
  uint8_t marker = 0;
  size_t begin = 0;                  // the segment's FF byte
  size_t end = 0;                    // past its payload, and for SOS past the entropy-coded data
  std::span<const uint8_t> payload;  // after the length field; empty without one
  bool truncated = false;            // the length ran past the data (end is clipped)
};

class JpegMarkerWalker {
 public:
  explicit JpegMarkerWalker(std::span<const uint8_t> data) : in_(data) {}

  // The next segment; false at the end of the data or at bytes that do not
  // form a marker, with Position() left where the walk stopped.
  bool Next(JpegSegment& out);
  size_t Position() const { return in_.Position(); }
  // True when the bytes at Position() are the given marker.
  bool At(uint8_t marker) const;

 private:
  ByteReader in_;
};

// True when the bytes start like a JPEG stream (including the stray EOI+SOI
// pair that old Flash files put in front).
bool LooksLikeJpeg(std::span<const uint8_t> data);

}  // namespace orrivel
