// Checked reader over a byte span, and a bit reader on top of it, for every
// binary format the program parses (SWF, GIF, JPEG markers, TIFF/Exif).
// Numbers are little-endian unless the name says Be. A read past the end
// sets a sticky failure flag and returns zero, so parsing code can read a
// whole structure and check Failed() once at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/color.h"

namespace orrivel {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  bool Failed() const { return failed_; }
  void Fail() {
    failed_ = true;
    pos_ = data_.size();
  }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ >= data_.size(); }
  std::span<const uint8_t> Data() const { return data_; }

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int16_t S16() { return static_cast<int16_t>(U16()); }
  uint16_t U16Be();
  uint32_t U32Be();
  float F32();
  // Signed 8.8 fixed point.
  float Fixed8() { return static_cast<float>(S16()) / 256.0f; }

  // Exactly n bytes, or an empty span and failure.
  std::span<const uint8_t> Bytes(size_t n);
  std::span<const uint8_t> Rest() { return Bytes(Remaining()); }
  void Skip(size_t n) { Bytes(n); }
  // A reader over the next n bytes; this reader moves past them.
  ByteReader Sub(size_t n) {
    const auto bytes = Bytes(n);  // first, so that a short read marks the sub-reader failed
    return ByteReader(bytes, failed_);
  }
  // Moves to an absolute position inside the span.
  void Seek(size_t pos);

  // Null-terminated string; fails when the terminator is missing.
  std::string String();
  // Null-terminated string; an unterminated one runs to the end, unfailed.
  std::string StringToEnd();
  Rgba Rgb();
  Rgba RgbaColor();

 private:
  ByteReader(std::span<const uint8_t> data, bool failed) : data_(data), failed_(failed) {}

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Reads bit fields, most significant bit first, from the bytes of a
// ByteReader. Bytes are taken whole, so once the BitReader goes out of scope
// the ByteReader stands at the next byte boundary.
class BitReader {
 public:
  explicit BitReader(ByteReader& bytes) : bytes_(bytes) {}
  BitReader(const BitReader&) = delete;
  BitReader& operator=(const BitReader&) = delete;

  uint32_t UB(unsigned n);                           // n <= 32
  int32_t SB(unsigned n);                            // n <= 32, sign-extended
  double FB(unsigned n) { return SB(n) / 65536.0; }  // 16.16 fixed point
  bool Flag() { return UB(1) != 0; }
  bool Failed() const { return bytes_.Failed(); }

 private:
  ByteReader& bytes_;
  uint8_t current_ = 0;
  unsigned bitsLeft_ = 0;
};

}  // namespace orrivel
