// Most-significant-bit-first reader for video bitstreams. Reading past the end
// yields zero bits and marks the stream overrun, which the decoders check at
// each macroblock.
#pragma once

#include <cstdint>
#include <span>

namespace orrivel::swf::video {

class BitStream {
 public:
  explicit BitStream(std::span<const uint8_t> data) : data_(data) {}

  // The next n bits (n <= 25) without moving.
  uint32_t Peek(unsigned n) const {
    const size_t byte = pos_ >> 3;
    uint32_t word = 0;
    if (byte + 4 <= data_.size()) {  // the usual case: no byte past the end
      const uint8_t* p = data_.data() + byte;
      word = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    } else {
      for (size_t i = 0; i < 4; ++i) {
        word = (word << 8) | (byte + i < data_.size() ? data_[byte + i] : 0);
      }
    }
    return (word << (pos_ & 7)) >> (32 - n);
  }
  void Skip(unsigned n) { pos_ += n; }
  uint32_t Read(unsigned n) {
    if (n == 0) return 0;
    const uint32_t v = Peek(n);
    pos_ += n;
    return v;
  }
  bool Flag() { return Read(1) != 0; }
  int32_t ReadSigned(unsigned n) {
    const uint32_t v = Read(n);
    return static_cast<int32_t>(v << (32 - n)) >> (32 - n);
  }
  bool Overrun() const { return pos_ > data_.size() * 8; }
  size_t BitsLeft() const { return pos_ >= data_.size() * 8 ? 0 : data_.size() * 8 - pos_; }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

}  // namespace orrivel::swf::video
