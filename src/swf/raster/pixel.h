// Premultiplied BGRA pixel arithmetic shared by the paint and compositing
// stages. Every product of two 8-bit values is divided by 255 with rounding,
// so full coverage of an opaque colour reproduces it exactly.
#pragma once

#include <algorithm>
#include <cstdint>

#include "base/color.h"

namespace orrivel::swf::raster {

// x / 255 rounded to nearest, exact for 0 <= x <= 65535 + 127.
inline uint32_t Div255(uint32_t x) {
  x += 128;
  return (x + (x >> 8)) >> 8;
}

inline uint32_t PackArgb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}
inline uint32_t AlphaOf(uint32_t p) { return p >> 24; }
inline uint32_t RedOf(uint32_t p) { return (p >> 16) & 0xFF; }
inline uint32_t GreenOf(uint32_t p) { return (p >> 8) & 0xFF; }
inline uint32_t BlueOf(uint32_t p) { return p & 0xFF; }

inline uint32_t Premultiply(Rgba c) {
  return PackArgb(c.a, Div255(c.r * c.a), Div255(c.g * c.a), Div255(c.b * c.a));
}

// All four channels times f / 255 (f in 0..255), two channels per multiply.
inline uint32_t ScalePixel(uint32_t p, uint32_t f) {
  uint32_t rb = (p & 0x00FF00FFu) * f + 0x00800080u;
  uint32_t ag = ((p >> 8) & 0x00FF00FFu) * f + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ag;
}

// Source-over of premultiplied pixels. A valid premultiplied pair never
// carries past 255 per channel; the sum saturates anyway for garbage input.
inline uint32_t SrcOver(uint32_t dst, uint32_t src) {
  const uint32_t inv = 255 - AlphaOf(src);
  if (inv == 0) return src;
  const uint32_t d = ScalePixel(dst, inv);
  const uint32_t rb = (d & 0x00FF00FFu) + (src & 0x00FF00FFu);
  const uint32_t ag = ((d >> 8) & 0x00FF00FFu) + ((src >> 8) & 0x00FF00FFu);
  if (((rb | ag) & 0x01000100u) == 0) return rb | (ag << 8);
  const auto sat = [](uint32_t v) { return std::min<uint32_t>(v, 255); };
  return PackArgb(sat(ag >> 16), sat(rb >> 16), sat(ag & 0x1FF), sat(rb & 0x1FF));
}

// p * (256 - w) / 256 + q * w / 256 per channel, w in 0..255 (truncated;
// bilinear sampling weights).
inline uint32_t Lerp256(uint32_t p, uint32_t q, uint32_t w) {
  constexpr uint32_t kMask = 0x00FF00FFu;
  const uint32_t iw = 256 - w;
  const uint32_t rb = (((p & kMask) * iw + (q & kMask) * w) >> 8) & kMask;
  const uint32_t ag = (((p >> 8) & kMask) * iw + ((q >> 8) & kMask) * w) & ~kMask;
  return rb | ag;
}

// Straight colour back from a premultiplied pixel (rounded).
inline Rgba Unpremultiply(uint32_t p) {
  const uint32_t a = AlphaOf(p);
  if (a == 0) return {0, 0, 0, 0};
  if (a == 255) {
    return {static_cast<uint8_t>(RedOf(p)), static_cast<uint8_t>(GreenOf(p)),
            static_cast<uint8_t>(BlueOf(p)), 255};
  }
  const auto un = [a](uint32_t c) {
    return static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
  };
  return {un(RedOf(p)), un(GreenOf(p)), un(BlueOf(p)), static_cast<uint8_t>(a)};
}

}  // namespace orrivel::swf::raster
