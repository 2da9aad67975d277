#include "base/byte_reader.h"

#include <cstring>

namespace orrivel {

uint8_t ByteReader::U8() {
  if (failed_ || pos_ >= data_.size()) {
    Fail();
    return 0;
  }
  return data_[pos_++];
}

uint16_t ByteReader::U16() {
  const auto b = Bytes(2);
  if (b.empty()) return 0;
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ByteReader::U32() {
  const auto b = Bytes(4);
  if (b.empty()) return 0;
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint16_t ByteReader::U16Be() {
  const auto b = Bytes(2);
  if (b.empty()) return 0;
  return static_cast<uint16_t>((b[0] << 8) | b[1]);
}

uint32_t ByteReader::U32Be() {
  const auto b = Bytes(4);
  if (b.empty()) return 0;
  return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
         (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

float ByteReader::F32() {
  const uint32_t bits = U32();
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

std::span<const uint8_t> ByteReader::Bytes(size_t n) {
  if (failed_ || n > Remaining()) {
    Fail();
    return {};
  }
  const auto out = data_.subspan(pos_, n);
  pos_ += n;
  return out;
}

void ByteReader::Seek(size_t pos) {
  if (failed_ || pos > data_.size()) {
    Fail();
    return;
  }
  pos_ = pos;
}

std::string ByteReader::String() {
  if (failed_) return {};
  const auto rest = data_.subspan(pos_);
  const void* end = std::memchr(rest.data(), 0, rest.size());
  if (end == nullptr) {
    Fail();
    return {};
  }
  const size_t len = static_cast<size_t>(static_cast<const uint8_t*>(end) - rest.data());
  pos_ += len + 1;
  return std::string(reinterpret_cast<const char*>(rest.data()), len);
}

std::string ByteReader::StringToEnd() {
  if (failed_ || AtEnd()) return {};
  const auto rest = data_.subspan(pos_);
  const void* end = std::memchr(rest.data(), 0, rest.size());
  const size_t len = end == nullptr
                         ? rest.size()
                         : static_cast<size_t>(static_cast<const uint8_t*>(end) - rest.data());
  pos_ += end == nullptr ? len : len + 1;
  return std::string(reinterpret_cast<const char*>(rest.data()), len);
}

Rgba ByteReader::Rgb() {
  const auto b = Bytes(3);
  if (b.empty()) return {};
  return {b[0], b[1], b[2], 255};
}

Rgba ByteReader::RgbaColor() {
  const auto b = Bytes(4);
  if (b.empty()) return {};
  return {b[0], b[1], b[2], b[3]};
}

uint32_t BitReader::UB(unsigned n) {
  if (n > 32) {
    bytes_.Fail();
    return 0;
  }
  uint32_t value = 0;
  while (n > 0) {
    if (bitsLeft_ == 0) {
      current_ = bytes_.U8();
      if (bytes_.Failed()) return 0;
      bitsLeft_ = 8;
    }
    const unsigned take = n < bitsLeft_ ? n : bitsLeft_;
    const unsigned shift = bitsLeft_ - take;
    const uint32_t bits = (static_cast<uint32_t>(current_) >> shift) & ((1u << take) - 1u);
    // take <= 8, so the shift below never reaches 32 while value holds bits.
    value = static_cast<uint32_t>((static_cast<uint64_t>(value) << take) | bits);
    bitsLeft_ -= take;
    n -= take;
  }
  return value;
}

int32_t BitReader::SB(unsigned n) {
  if (n == 0) return 0;
  uint32_t v = UB(n);
  if (n < 32 && (v & (1u << (n - 1))) != 0) v |= ~((1u << n) - 1u);
  return static_cast<int32_t>(v);
}

}  // namespace orrivel
