// Test helper: writes SWF bytes field by field, so that test inputs read like
// the format (bit fields MSB first, integers little-endian).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "swf/format/reader.h"

namespace orrivel::swf::test {

class SwfWriter {
 public:
  SwfWriter& U8(uint32_t v) { return Align().Push(static_cast<uint8_t>(v)); }
  SwfWriter& U16(uint32_t v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  SwfWriter& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  SwfWriter& Raw(std::initializer_list<uint8_t> bytes) { return Raw(std::vector<uint8_t>(bytes)); }
  SwfWriter& Raw(const std::vector<uint8_t>& bytes) {
    Align();
    data_.insert(data_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  SwfWriter& Str(const std::string& s) {
    Align();
    data_.insert(data_.end(), s.begin(), s.end());
    return Push(0);
  }
  SwfWriter& Rgb(uint8_t r, uint8_t g, uint8_t b) { return U8(r).U8(g).U8(b); }
  SwfWriter& Rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) { return U8(r).U8(g).U8(b).U8(a); }

  // n bits of v, most significant first (negative values as two's complement).
  SwfWriter& Bits(unsigned n, int64_t v) {
    for (unsigned i = n; i-- > 0;) {
      if (bitPos_ == 0) data_.push_back(0);
      if ((static_cast<uint64_t>(v) >> i) & 1u)
        data_.back() |= static_cast<uint8_t>(0x80u >> bitPos_);
      bitPos_ = (bitPos_ + 1) % 8;
    }
    return *this;
  }
  SwfWriter& Flag(bool b) { return Bits(1, b ? 1 : 0); }
  SwfWriter& Rect(unsigned n, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax) {
    return Bits(5, n).Bits(n, xMin).Bits(n, xMax).Bits(n, yMin).Bits(n, yMax).Align();
  }
  // A MATRIX with translation only.
  SwfWriter& Translate(unsigned n, int32_t tx, int32_t ty) {
    return Flag(false).Flag(false).Bits(5, n).Bits(n, tx).Bits(n, ty).Align();
  }
  SwfWriter& Align() {
    bitPos_ = 0;
    return *this;
  }

  std::vector<uint8_t> Take() { return std::move(data_); }
  size_t Size() const { return data_.size(); }

 private:
  SwfWriter& Push(uint8_t b) {
    data_.push_back(b);
    return *this;
  }
  std::vector<uint8_t> data_;
  unsigned bitPos_ = 0;
};

// Tag header (short form when it fits, or forced long) followed by the body.
inline std::vector<uint8_t> Tag(uint16_t code, const std::vector<uint8_t>& body,
                                bool longForm = false) {
  SwfWriter w;
  if (!longForm && body.size() < 0x3F) {
    w.U16(static_cast<uint32_t>(code << 6) | static_cast<uint32_t>(body.size()));
  } else {
    w.U16(static_cast<uint32_t>(code << 6) | 0x3Fu).U32(static_cast<uint32_t>(body.size()));
  }
  return w.Raw(body).Take();
}

inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// An uncompressed movie: 550x400 px stage, 24 fps, one declared frame.
inline std::vector<uint8_t> Fws(uint8_t version, const std::vector<uint8_t>& tags) {
  SwfWriter body;
  body.Rect(15, 0, 11000, 0, 8000).U16(24 << 8).U16(1).Raw(tags);
  auto rest = body.Take();
  SwfWriter w;
  w.Raw({'F', 'W', 'S', version}).U32(static_cast<uint32_t>(rest.size() + 8)).Raw(rest);
  return w.Take();
}

inline LoadResult Load(const std::vector<uint8_t>& file, const LoadLimits& limits = {}) {
  return LoadMovie(file, limits);
}

}  // namespace orrivel::swf::test
