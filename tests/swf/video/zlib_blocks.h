// A zlib stream made by hand, for packets the tests build byte by byte.
#pragma once

#include <cstdint>
#include <vector>

namespace orrivel::swf::video::test {

// One stored (uncompressed) deflate block inside a zlib wrapper.
inline std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
  const size_t n = raw.size();
  std::vector<uint8_t> z = {0x78,
                            0x01,
                            0x01,
                            static_cast<uint8_t>(n),
                            static_cast<uint8_t>(n >> 8),
                            static_cast<uint8_t>(~n),
                            static_cast<uint8_t>(~n >> 8)};
  z.insert(z.end(), raw.begin(), raw.end());
  uint32_t a = 1, s = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    s = (s + a) % 65521;
  }
  const uint32_t adler = s << 16 | a;
  for (int k = 3; k >= 0; --k) z.push_back(static_cast<uint8_t>(adler >> (8 * k)));
  return z;
}

// pixels copies of one B, G, R pixel.
inline std::vector<uint8_t> Solid(uint8_t b, uint8_t g, uint8_t r, int pixels) {
  std::vector<uint8_t> raw;
  for (int i = 0; i < pixels; ++i) raw.insert(raw.end(), {b, g, r});
  return raw;
}

}  // namespace orrivel::swf::video::test
