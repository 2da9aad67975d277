// The shadow and bevel loops eight pixels at a time, compiled for AVX2 by
// attribute (see pixel_row_avx2.cpp). Each step repeats the scalar loop's:
// the same float operations in the same order for the fractions and
// weights, and the same 16-bit channel sums, so the pixels are the same.
#include "swf/raster/filter_rows.h"

#if ORRIVEL_AVX2_DISPATCH

#include <immintrin.h>

#include <cmath>
#include <cstring>

#define ORRIVEL_TARGET_AVX2 __attribute__((target("avx2")))

namespace orrivel::swf::raster::avx2 {
namespace {

ORRIVEL_TARGET_AVX2 inline __m256i Load(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ORRIVEL_TARGET_AVX2 inline void Store(uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Eight bytes, each in its own 32-bit lane.
ORRIVEL_TARGET_AVX2 inline __m256i Bytes(const uint8_t* p) {
  long long v;
  std::memcpy(&v, p, 8);
  return _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(v));
}

ORRIVEL_TARGET_AVX2 inline __m256 Fraction(__m256i alpha) {
  return _mm256_div_ps(_mm256_cvtepi32_ps(alpha), _mm256_set1_ps(255.0f));
}

// Weight() of each lane.
ORRIVEL_TARGET_AVX2 inline __m256i Weights(__m256 f) {
  const __m256 clamped = _mm256_min_ps(_mm256_max_ps(f, _mm256_setzero_ps()), _mm256_set1_ps(1.0f));
  return _mm256_cvttps_epi32(
      _mm256_add_ps(_mm256_mul_ps(clamped, _mm256_set1_ps(256.0f)), _mm256_set1_ps(0.5f)));
}

ORRIVEL_TARGET_AVX2 inline __m256i Direct(__m256i alpha) { return Weights(Fraction(alpha)); }
ORRIVEL_TARGET_AVX2 inline __m256i Inverse(__m256i alpha) {
  return Weights(_mm256_sub_ps(_mm256_set1_ps(1.0f), Fraction(alpha)));
}

ORRIVEL_TARGET_AVX2 inline __m256i AlphaOf(__m256i p) { return _mm256_srli_epi32(p, 24); }

// One channel pair (blue and red, or green and alpha) of a pixel per
// 32-bit lane, times a weight (0..256) held in both halves of the lane.
ORRIVEL_TARGET_AVX2 inline __m256i Times(__m256i pair, __m256i w) {
  return _mm256_mullo_epi16(pair, _mm256_or_si256(w, _mm256_slli_epi32(w, 16)));
}

ORRIVEL_TARGET_AVX2 inline __m256i Even(__m256i p) {
  return _mm256_and_si256(p, _mm256_set1_epi32(0x00FF00FF));
}
ORRIVEL_TARGET_AVX2 inline __m256i Odd(__m256i p) { return Even(_mm256_srli_epi32(p, 8)); }

ORRIVEL_TARGET_AVX2 inline __m256i Join(__m256i even, __m256i odd) {
  return _mm256_or_si256(_mm256_srli_epi16(even, 8),
                         _mm256_slli_epi32(_mm256_srli_epi16(odd, 8), 8));
}

// MixWeights(a, w, 0, 0): never past 16 bits (255 * 256 + 128).
ORRIVEL_TARGET_AVX2 inline __m256i Scale(__m256i a, __m256i w) {
  const __m256i half = _mm256_set1_epi16(0x80);
  return Join(_mm256_add_epi16(Times(Even(a), w), half), _mm256_add_epi16(Times(Odd(a), w), half));
}

// MixWeights(a, wa, b, wb). Premultiplied pixels keep every channel sum
// within 16 bits; where one is not, `spilled` is set and the caller redoes
// the pixels one at a time, as the scalar sum carries into its neighbour.
ORRIVEL_TARGET_AVX2 inline __m256i Mix(__m256i a, __m256i wa, __m256i b, __m256i wb,
                                       __m256i& spilled) {
  const __m256i half = _mm256_set1_epi16(0x80);
  const __m256i even =
      _mm256_adds_epu16(_mm256_adds_epu16(Times(Even(a), wa), Times(Even(b), wb)), half);
  const __m256i odd =
      _mm256_adds_epu16(_mm256_adds_epu16(Times(Odd(a), wa), Times(Odd(b), wb)), half);
  const __m256i full = _mm256_set1_epi16(-1);
  spilled = _mm256_or_si256(
      spilled, _mm256_or_si256(_mm256_cmpeq_epi16(even, full), _mm256_cmpeq_epi16(odd, full)));
  return Join(even, odd);
}

// lround(127.5 - t * 127.5) for t in -1..1: the whole part, plus one where
// the fraction (exact, the value being below 256) reaches one half.
ORRIVEL_TARGET_AVX2 inline __m256i GradientIndex(__m256 t) {
  const __m256 k = _mm256_set1_ps(127.5f);
  const __m256 v = _mm256_sub_ps(k, _mm256_mul_ps(t, k));
  const __m256i whole = _mm256_cvttps_epi32(v);
  const __m256 fraction = _mm256_sub_ps(v, _mm256_cvtepi32_ps(whole));
  const __m256 up = _mm256_cmp_ps(fraction, _mm256_set1_ps(0.5f), _CMP_GE_OQ);
  return _mm256_sub_epi32(whole, _mm256_castps_si256(up));  // a true lane is -1
}

}  // namespace

ORRIVEL_TARGET_AVX2 void ShadowRow(uint32_t* row, const uint8_t* blur, int n,
                                   const ShadowStyle& s) {
  const __m256i k256 = _mm256_set1_epi32(256), zero = _mm256_setzero_si256();
  const bool replace = s.knockout || s.hideObject;
  const int* colors = reinterpret_cast<const int*>(s.colors);
  int x = 0;
  for (; x + 8 <= n; x += 8) {
    const __m256i shadow = _mm256_i32gather_epi32(colors, Bytes(blur + x), 4);
    // No shadow here leaves the object as it is.
    if (!replace && _mm256_testz_si256(shadow, shadow)) continue;
    const __m256i src = Load(row + x);
    __m256i out, spilled = zero;
    if (s.inner) {
      const __m256i in = Scale(shadow, Direct(AlphaOf(src)));
      out = replace ? in : Mix(in, k256, src, Inverse(AlphaOf(in)), spilled);
    } else if (s.knockout) {
      out = Scale(shadow, Inverse(AlphaOf(src)));
    } else {
      out = s.hideObject ? shadow : Mix(src, k256, shadow, Inverse(AlphaOf(src)), spilled);
    }
    if (_mm256_testz_si256(spilled, spilled)) {
      Store(row + x, out);
    } else {
      scalar::ShadowRow(row + x, blur + x, 8, s);
    }
  }
  scalar::ShadowRow(row + x, blur + x, n - x, s);
}

ORRIVEL_TARGET_AVX2 void BevelRow(uint32_t* row, const uint8_t* lit, const uint8_t* shaded, int n,
                                  const BevelStyle& b) {
  // A strength that is not finite takes the scalar clamps.
  if (!std::isfinite(b.strength)) {
    return scalar::BevelRow(row, lit, shaded, n, b);
  }
  const __m256i k256 = _mm256_set1_epi32(256), zero = _mm256_setzero_si256();
  const __m256i highlight = _mm256_set1_epi32(static_cast<int>(b.highlight));
  const __m256i shadow = _mm256_set1_epi32(static_cast<int>(b.shadow));
  const __m256 strength = _mm256_set1_ps(b.strength), one = _mm256_set1_ps(1.0f);
  const __m256 sign = _mm256_set1_ps(-0.0f);
  const bool replace = b.knockout || b.hideObject;
  // Where the alpha is level, t is 0: no bevel unless a gradient colours it.
  const bool levelKeeps = !replace && (b.gradient == nullptr || b.gradient[128] == 0);
  const int* gradient = reinterpret_cast<const int*>(b.gradient);
  int x = 0;
  for (; x + 8 <= n; x += 8) {
    if (levelKeeps && std::memcmp(lit + x, shaded + x, 8) == 0) continue;
    const __m256 t = _mm256_min_ps(
        _mm256_max_ps(
            _mm256_mul_ps(_mm256_sub_ps(Fraction(Bytes(lit + x)), Fraction(Bytes(shaded + x))),
                          strength),
            _mm256_xor_ps(one, sign)),
        one);
    __m256i bevel;
    if (b.gradient != nullptr) {
      bevel = _mm256_i32gather_epi32(gradient, GradientIndex(t), 4);
    } else {
      const __m256 lighter = _mm256_cmp_ps(t, _mm256_setzero_ps(), _CMP_GT_OQ);
      const __m256 size = _mm256_blendv_ps(_mm256_xor_ps(t, sign), t, lighter);
      const __m256i color = _mm256_blendv_epi8(shadow, highlight, _mm256_castps_si256(lighter));
      bevel = Scale(color, Weights(size));
    }
    const __m256i src = Load(row + x);
    if (b.inner) {
      bevel = Scale(bevel, Direct(AlphaOf(src)));
    } else if (!b.onTop) {
      bevel = Scale(bevel, Inverse(AlphaOf(src)));
    }
    __m256i spilled = zero;
    const __m256i out = replace ? bevel : Mix(bevel, k256, src, Inverse(AlphaOf(bevel)), spilled);
    if (_mm256_testz_si256(spilled, spilled)) {
      Store(row + x, out);
    } else {
      scalar::BevelRow(row + x, lit + x, shaded + x, 8, b);
    }
  }
  scalar::BevelRow(row + x, lit + x, shaded + x, n - x, b);
}

}  // namespace orrivel::swf::raster::avx2

#endif
