// Rows of a picture sampled along a straight walk through it: the inner
// loops of a rotated or sheared bitmap paint, clamped to the picture's
// edges. Every vector width gives the same pixels.
#pragma once

#include <cstdint>

#include "swf/raster/pixel.h"
#include "swf/raster/simd.h"

namespace orrivel::swf::raster {

// The four texels around a position, weighed by its fractions wx and wy
// (0..255): down the columns first, then across. The scalar sum in two
// 16-bit lanes per channel where the compiler targets SSE2.
inline uint32_t Bilerp(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t wx,
                       uint32_t wy) {
#ifdef ORRIVEL_SSE2
  const __m128i zero = _mm_setzero_si128();
  const __m128i top = _mm_unpacklo_epi8(
      _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(p00)), _mm_cvtsi32_si128(int(p10))), zero);
  const __m128i bottom = _mm_unpacklo_epi8(
      _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(p01)), _mm_cvtsi32_si128(int(p11))), zero);
  const __m128i wy16 = _mm_set1_epi16(short(wy)), iwy16 = _mm_set1_epi16(short(256 - wy));
  const __m128i cols =
      _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(top, iwy16), _mm_mullo_epi16(bottom, wy16)), 8);
  const __m128i wx16 =
      _mm_unpacklo_epi64(_mm_set1_epi16(short(256 - wx)), _mm_set1_epi16(short(wx)));
  const __m128i t = _mm_mullo_epi16(cols, wx16);
  const __m128i sum = _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_si128(t, 8)), 8);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, zero)));
#else
  return Lerp256(Lerp256(p00, p01, wy), Lerp256(p10, p11, wy), wx);
#endif
}

// Pixel i of the row samples texel position (u + i * du, v + i * dv), in
// 32.32 fixed point. The caller keeps every position within +-2^62.
struct TexelWalk {
  const uint32_t* pixels = nullptr;  // width * height, premultiplied
  int width = 0, height = 0;
  int64_t u = 0, v = 0, du = 0, dv = 0;
};

// out[i] = the texel under position i, the nearest edge texel outside.
void SampleNearest(const TexelWalk& walk, int n, uint32_t* out);
// out[i] = the four texels from position i down and right, weighed by the
// top 8 bits of its fractions: down the columns first, then across.
void SampleBilinear(const TexelWalk& walk, int n, uint32_t* out);

namespace scalar {
void SampleNearest(const TexelWalk& walk, int n, uint32_t* out);
void SampleBilinear(const TexelWalk& walk, int n, uint32_t* out);
}  // namespace scalar

namespace sse2 {
void SampleBilinear(const TexelWalk& walk, int n, uint32_t* out);
}  // namespace sse2

namespace avx2 {
void SampleNearest(const TexelWalk& walk, int n, uint32_t* out);
void SampleBilinear(const TexelWalk& walk, int n, uint32_t* out);
}  // namespace avx2

}  // namespace orrivel::swf::raster
