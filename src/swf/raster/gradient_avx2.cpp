// Gradient rows eight pixels at a time: the float operations of the
// four-pixel loop, lane for lane, with the table read by a gather, so the
// pixels are the same.
#include "swf/raster/gradient_rows.h"

#include "swf/raster/simd.h"

#if defined(ORRIVEL_SSE2) && ORRIVEL_AVX2_DISPATCH

#include <immintrin.h>

#define ORRIVEL_TARGET_AVX2 __attribute__((target("avx2")))

namespace orrivel::swf::raster::avx2 {
namespace {

ORRIVEL_TARGET_AVX2 inline __m256 Floor8(__m256 t) {
  const __m256 r = _mm256_cvtepi32_ps(_mm256_cvttps_epi32(t));
  return _mm256_sub_ps(r, _mm256_and_ps(_mm256_cmp_ps(r, t, _CMP_GT_OS), _mm256_set1_ps(1)));
}

template <Spread S>
ORRIVEL_TARGET_AVX2 int Rows(const GradientRow& g, int x, int count, uint32_t* out) {
  const __m256 step = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7), zero = _mm256_setzero_ps();
  const __m256 lo = _mm256_set1_ps(-1e6f), hi = _mm256_set1_ps(1e6f), one = _mm256_set1_ps(1);
  const __m256 f = _mm256_set1_ps(g.focal), fc = _mm256_set1_ps(g.focal * g.focal - 1);
  const __m256i last = _mm256_set1_epi32(255);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 fi = _mm256_add_ps(_mm256_set1_ps(float(x + i)), step);
    const __m256 u = _mm256_add_ps(_mm256_set1_ps(g.x0), _mm256_mul_ps(_mm256_set1_ps(g.dx), fi));
    const __m256 v = _mm256_add_ps(_mm256_set1_ps(g.y0), _mm256_mul_ps(_mm256_set1_ps(g.dy), fi));
    __m256 t;
    if (!g.radial) {
      t = u;
    } else if (g.focal == 0) {
      t = _mm256_sqrt_ps(_mm256_add_ps(_mm256_mul_ps(u, u), _mm256_mul_ps(v, v)));
    } else {
      const __m256 ddx = _mm256_sub_ps(u, f);
      const __m256 a = _mm256_add_ps(_mm256_mul_ps(ddx, ddx), _mm256_mul_ps(v, v));
      const __m256 b = _mm256_mul_ps(f, ddx);
      const __m256 den = _mm256_sub_ps(
          _mm256_sqrt_ps(_mm256_sub_ps(_mm256_mul_ps(b, b), _mm256_mul_ps(a, fc))), b);
      t = _mm256_andnot_ps(_mm256_cmp_ps(a, zero, _CMP_EQ_OQ), _mm256_div_ps(a, den));
    }
    t = _mm256_min_ps(_mm256_max_ps(t, lo), hi);  // max picks lo for NaN
    if constexpr (S == Spread::Pad) {
      t = _mm256_min_ps(_mm256_max_ps(t, zero), one);
    } else if constexpr (S == Spread::Repeat) {
      t = _mm256_sub_ps(t, Floor8(t));
    } else {
      const __m256 even = _mm256_mul_ps(
          _mm256_set1_ps(2),
          Floor8(_mm256_add_ps(_mm256_mul_ps(t, _mm256_set1_ps(0.5f)), _mm256_set1_ps(0.5f))));
      const __m256 d = _mm256_sub_ps(t, even);
      t = _mm256_max_ps(d, _mm256_sub_ps(zero, d));
    }
    const __m256 scaled =
        _mm256_add_ps(_mm256_mul_ps(t, _mm256_set1_ps(255.0f)), _mm256_set1_ps(0.5f));
    const __m256i idx = _mm256_min_epi32(
        _mm256_max_epi32(_mm256_cvttps_epi32(scaled), _mm256_setzero_si256()), last);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_i32gather_epi32(reinterpret_cast<const int*>(g.table), idx, 4));
  }
  return i;
}

}  // namespace

int GradientRows(const GradientRow& g, Spread spread, int x, int count, uint32_t* out) {
  switch (spread) {
    case Spread::Pad:
      return Rows<Spread::Pad>(g, x, count, out);
    case Spread::Repeat:
      return Rows<Spread::Repeat>(g, x, count, out);
    default:
      return Rows<Spread::Reflect>(g, x, count, out);
  }
}

}  // namespace orrivel::swf::raster::avx2

#else

namespace orrivel::swf::raster::avx2 {
int GradientRows(const GradientRow&, Spread, int, int, uint32_t*) { return 0; }
}  // namespace orrivel::swf::raster::avx2

#endif
