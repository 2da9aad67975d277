// The per-pixel loops of the shadow, glow and bevel filters, one row at a
// time, in the widest form the processor runs (see pixel_row.h). Every
// form gives the same pixels.
#pragma once

#include <algorithm>
#include <cstdint>

#include "swf/raster/simd.h"

namespace orrivel::swf::raster {

// a * wa / 256 + b * wb / 256 per channel, premultiplied; the weights
// (0..256) keep the sum opaque at most, so each 16-bit lane holds its
// channel.
inline uint32_t MixWeights(uint32_t a, uint64_t wa, uint32_t b, uint64_t wb) {
  auto spread = [](uint32_t p) {
    return (uint64_t{p} & 0x00FF00FFu) | ((uint64_t{p} & 0xFF00FF00u) << 24);
  };
  const uint64_t sum = (spread(a) * wa + spread(b) * wb + 0x0080008000800080u) >> 8;
  const uint64_t lanes = sum & 0x00FF00FF00FF00FFu;
  return static_cast<uint32_t>(lanes | (lanes >> 24));
}

// The weight of a fraction 0..1 (clamped).
inline uint64_t Weight(float f) {
  return static_cast<uint64_t>(std::clamp(f, 0.0f, 1.0f) * 256 + 0.5f);
}

// A colour times a fraction 0..1.
inline uint32_t ScaleColor(uint32_t c, float k) { return MixWeights(c, Weight(k), 0, 0); }

// An alpha byte as a fraction.
inline float AlphaFraction(uint32_t a) { return static_cast<float>(a) / 255.0f; }

// out[x] = the alpha of row[x].
void AlphaRow(const uint32_t* row, uint8_t* out, int n);

struct ShadowStyle {
  const uint32_t* colors = nullptr;  // the shadow's colour for each blurred alpha, 256
  bool inner = false, knockout = false, hideObject = false;
};

// The shadow (or glow) of blurred alphas `blur` (one per pixel) behind the
// object's pixels, or inside their edge when inner.
void ShadowRow(uint32_t* row, const uint8_t* blur, int n, const ShadowStyle& s);

struct BevelStyle {
  uint32_t highlight = 0, shadow = 0;  // premultiplied
  float strength = 1;
  const uint32_t* gradient = nullptr;  // 256 colours, shadow first, or none
  bool inner = false, onTop = false, knockout = false, hideObject = false;
};

// The bevel where the blurred alpha is `lit` toward the light and `shaded`
// away from it (one of each per pixel), over or beside the object's pixels.
void BevelRow(uint32_t* row, const uint8_t* lit, const uint8_t* shaded, int n, const BevelStyle& b);

// The loops above, each vector width on its own for the tests; the avx2 ones
// may only run where the processor has AVX2.
namespace scalar {
void ShadowRow(uint32_t* row, const uint8_t* blur, int n, const ShadowStyle& s);
void BevelRow(uint32_t* row, const uint8_t* lit, const uint8_t* shaded, int n, const BevelStyle& b);
}  // namespace scalar
#if ORRIVEL_AVX2_DISPATCH
namespace avx2 {
void ShadowRow(uint32_t* row, const uint8_t* blur, int n, const ShadowStyle& s);
void BevelRow(uint32_t* row, const uint8_t* lit, const uint8_t* shaded, int n, const BevelStyle& b);
}  // namespace avx2
#endif

}  // namespace orrivel::swf::raster
