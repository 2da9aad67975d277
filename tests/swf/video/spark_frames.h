// Hand-made Sorenson Spark frames for tests: flat pictures of one grey made
// of intra macroblocks that carry only their DC, and inter frames of skipped
// macroblocks.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace orrivel::swf::video::test {

class BitWriter {
 public:
  BitWriter& Bits(unsigned n, uint32_t v) {
    for (unsigned i = n; i-- > 0;) {
      if (bit_ == 0) bytes_.push_back(0);
      if ((v >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> bit_);
      bit_ = (bit_ + 1) & 7;
    }
    return *this;
  }
  // Bits written as a string of 0 and 1; spaces are for reading.
  BitWriter& Code(std::string_view s) {
    for (char c : s) {
      if (c != ' ') Bits(1, c == '1');
    }
    return *this;
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
  unsigned bit_ = 0;
};

enum class Kind : uint32_t { Intra = 0, Inter = 1, Disposable = 2 };

// The picture header with a one-byte custom size.
inline BitWriter SparkHeaderBits(Kind kind, int width, int height, bool deblock = false) {
  BitWriter w;
  w.Bits(17, 1).Bits(5, 0).Bits(8, 0).Bits(3, 0).Bits(8, width).Bits(8, height);
  w.Bits(2, static_cast<uint32_t>(kind)).Bits(1, deblock).Bits(5, 4).Bits(1, 0);
  return w;
}

// Every macroblock intra, luma DC `luma`, chroma neutral. In an inter frame
// each is coded (COD 0) as an intra macroblock.
inline std::vector<uint8_t> FlatFrame(Kind kind, int width, int height, uint8_t luma) {
  BitWriter w = SparkHeaderBits(kind, width, height);
  const int mbs = ((width + 15) / 16) * ((height + 15) / 16);
  for (int i = 0; i < mbs; ++i) {
    if (kind == Kind::Intra) {
      w.Code("1");  // MCBPC: intra, no chroma coefficients
    } else {
      w.Code("0 0001 1");  // COD 0, MCBPC: intra in an inter frame
    }
    w.Code("0011");  // CBPY: no luma coefficients
    for (int b = 0; b < 4; ++b) w.Bits(8, luma);
    w.Bits(8, 128).Bits(8, 128);
  }
  return w.Take();
}

// An inter frame whose macroblocks are all skipped: the reference again.
inline std::vector<uint8_t> SkipFrame(Kind kind, int width, int height) {
  BitWriter w = SparkHeaderBits(kind, width, height);
  const int mbs = ((width + 15) / 16) * ((height + 15) / 16);
  for (int i = 0; i < mbs; ++i) w.Code("1");
  return w.Take();
}

}  // namespace orrivel::swf::video::test
