// The sampling walks eight pixels at a time: the eight positions are
// stepped exactly as the scalar walk steps them, their texels gathered,
// and the bilinear weights applied in 16-bit lanes with the scalar loop's
// arithmetic, so the pixels are the same. Tails go to the scalar walk.
#include "swf/raster/sample_row.h"

#include "swf/raster/simd.h"

#if defined(ORRIVEL_SSE2) && ORRIVEL_AVX2_DISPATCH

#include <immintrin.h>

#define ORRIVEL_TARGET_AVX2 __attribute__((target("avx2")))

namespace orrivel::swf::raster::avx2 {
namespace {

// Positions of eight pixels: two vectors of four 64-bit lanes.
struct Lanes {
  __m256i first, second;
};

ORRIVEL_TARGET_AVX2 inline Lanes Start(int64_t pos, int64_t step) {
  return {_mm256_set_epi64x(pos + 3 * step, pos + 2 * step, pos + step, pos),
          _mm256_set_epi64x(pos + 7 * step, pos + 6 * step, pos + 5 * step, pos + 4 * step)};
}

ORRIVEL_TARGET_AVX2 inline void Advance(Lanes& l, __m256i step8) {
  l.first = _mm256_add_epi64(l.first, step8);
  l.second = _mm256_add_epi64(l.second, step8);
}

// The high (whole texel, signed) or low 32 bits of each position, pixels
// 0 to 7 in order.
ORRIVEL_TARGET_AVX2 inline __m256i Halves(const Lanes& l, bool high) {
  const __m256i a = high ? _mm256_shuffle_epi32(l.first, _MM_SHUFFLE(3, 1, 3, 1))
                         : _mm256_shuffle_epi32(l.first, _MM_SHUFFLE(2, 0, 2, 0));
  const __m256i b = high ? _mm256_shuffle_epi32(l.second, _MM_SHUFFLE(3, 1, 3, 1))
                         : _mm256_shuffle_epi32(l.second, _MM_SHUFFLE(2, 0, 2, 0));
  return _mm256_permute4x64_epi64(_mm256_unpacklo_epi64(a, b), _MM_SHUFFLE(3, 1, 2, 0));
}

ORRIVEL_TARGET_AVX2 inline __m256i Clamp(__m256i x, __m256i hi) {
  return _mm256_min_epi32(_mm256_max_epi32(x, _mm256_setzero_si256()), hi);
}

ORRIVEL_TARGET_AVX2 inline __m256i Gather(const uint32_t* pixels, __m256i index) {
  return _mm256_i32gather_epi32(reinterpret_cast<const int*>(pixels), index, 4);
}

// p * (256 - w) + q * w, over 256, per 16-bit channel.
ORRIVEL_TARGET_AVX2 inline __m256i Lerp16(__m256i p, __m256i q, __m256i w) {
  const __m256i iw = _mm256_sub_epi16(_mm256_set1_epi16(256), w);
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(p, iw), _mm256_mullo_epi16(q, w)),
                           8);
}

// The walk from its pixel i on, for the tail.
TexelWalk From(const TexelWalk& w, int i) {
  TexelWalk rest = w;
  rest.u += i * w.du;
  rest.v += i * w.dv;
  return rest;
}

}  // namespace

ORRIVEL_TARGET_AVX2 void SampleNearest(const TexelWalk& w, int n, uint32_t* out) {
  const __m256i w1 = _mm256_set1_epi32(w.width - 1), h1 = _mm256_set1_epi32(w.height - 1);
  const __m256i stride = _mm256_set1_epi32(w.width);
  const __m256i du8 = _mm256_set1_epi64x(8 * w.du), dv8 = _mm256_set1_epi64x(8 * w.dv);
  Lanes u = Start(w.u, w.du), v = Start(w.v, w.dv);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i cx = Clamp(Halves(u, true), w1), ry = Clamp(Halves(v, true), h1);
    const __m256i texels = Gather(w.pixels, _mm256_add_epi32(_mm256_mullo_epi32(ry, stride), cx));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), texels);
    Advance(u, du8);
    Advance(v, dv8);
  }
  scalar::SampleNearest(From(w, i), n - i, out + i);
}

ORRIVEL_TARGET_AVX2 void SampleBilinear(const TexelWalk& w, int n, uint32_t* out) {
  const __m256i w1 = _mm256_set1_epi32(w.width - 1), h1 = _mm256_set1_epi32(w.height - 1);
  const __m256i stride = _mm256_set1_epi32(w.width), one = _mm256_set1_epi32(1);
  const __m256i du8 = _mm256_set1_epi64x(8 * w.du), dv8 = _mm256_set1_epi64x(8 * w.dv);
  const __m256i zero = _mm256_setzero_si256();
  Lanes u = Start(w.u, w.du), v = Start(w.v, w.dv);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i x0 = Halves(u, true), y0 = Halves(v, true);
    const __m256i c0 = Clamp(x0, w1), c1 = Clamp(_mm256_add_epi32(x0, one), w1);
    const __m256i r0 = _mm256_mullo_epi32(Clamp(y0, h1), stride);
    const __m256i r1 = _mm256_mullo_epi32(Clamp(_mm256_add_epi32(y0, one), h1), stride);
    const __m256i p00 = Gather(w.pixels, _mm256_add_epi32(r0, c0));
    const __m256i p10 = Gather(w.pixels, _mm256_add_epi32(r0, c1));
    const __m256i p01 = Gather(w.pixels, _mm256_add_epi32(r1, c0));
    const __m256i p11 = Gather(w.pixels, _mm256_add_epi32(r1, c1));
    // Each pixel's weight in both 16-bit halves of its lane, then over its
    // four channels in the order unpacklo/unpackhi take pixels.
    const __m256i wx32 = _mm256_srli_epi32(Halves(u, false), 24);
    const __m256i wy32 = _mm256_srli_epi32(Halves(v, false), 24);
    const __m256i wx = _mm256_or_si256(wx32, _mm256_slli_epi32(wx32, 16));
    const __m256i wy = _mm256_or_si256(wy32, _mm256_slli_epi32(wy32, 16));
    const __m256i wxLo = _mm256_unpacklo_epi32(wx, wx), wxHi = _mm256_unpackhi_epi32(wx, wx);
    const __m256i wyLo = _mm256_unpacklo_epi32(wy, wy), wyHi = _mm256_unpackhi_epi32(wy, wy);
    const __m256i lo = Lerp16(
        Lerp16(_mm256_unpacklo_epi8(p00, zero), _mm256_unpacklo_epi8(p01, zero), wyLo),
        Lerp16(_mm256_unpacklo_epi8(p10, zero), _mm256_unpacklo_epi8(p11, zero), wyLo), wxLo);
    const __m256i hi = Lerp16(
        Lerp16(_mm256_unpackhi_epi8(p00, zero), _mm256_unpackhi_epi8(p01, zero), wyHi),
        Lerp16(_mm256_unpackhi_epi8(p10, zero), _mm256_unpackhi_epi8(p11, zero), wyHi), wxHi);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_packus_epi16(lo, hi));
    Advance(u, du8);
    Advance(v, dv8);
  }
  sse2::SampleBilinear(From(w, i), n - i, out + i);
}

}  // namespace orrivel::swf::raster::avx2

#endif
