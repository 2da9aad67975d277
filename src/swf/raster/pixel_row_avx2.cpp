// The row loops eight pixels at a time. Each function is compiled for AVX2
// by attribute, not by a flag for the whole file or program, and runs only
// when the processor has AVX2; tails go to the SSE2 loops. The arithmetic is
// that of the SSE2 loops lane for lane, so the pixels are the same.
#include "swf/raster/pixel_row_kernels.h"

#if ORRIVEL_AVX2_DISPATCH

#include <immintrin.h>

#include <cstring>

#define ORRIVEL_TARGET_AVX2 __attribute__((target("avx2")))

namespace orrivel::swf::raster::avx2 {
namespace {

ORRIVEL_TARGET_AVX2 inline __m256i Scale16(__m256i x, __m256i f) {
  const __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(x, f), _mm256_set1_epi16(128));
  return _mm256_srli_epi16(_mm256_add_epi16(t, _mm256_srli_epi16(t, 8)), 8);
}

ORRIVEL_TARGET_AVX2 inline __m256i AlphaOf16(__m256i p) {
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(p, 0xFF), 0xFF);
}

ORRIVEL_TARGET_AVX2 inline __m256i Over8(__m256i d, __m256i s) {
  const __m256i zero = _mm256_setzero_si256(), k255 = _mm256_set1_epi16(255);
  const __m256i slo = _mm256_unpacklo_epi8(s, zero), shi = _mm256_unpackhi_epi8(s, zero);
  const __m256i lo = Scale16(_mm256_unpacklo_epi8(d, zero), _mm256_sub_epi16(k255, AlphaOf16(slo)));
  const __m256i hi = Scale16(_mm256_unpackhi_epi8(d, zero), _mm256_sub_epi16(k255, AlphaOf16(shi)));
  return _mm256_adds_epu8(_mm256_packus_epi16(lo, hi), s);
}

// Eight bytes of per-pixel weight, each spread over its pixel's four
// 16-bit channels in the order unpacklo/unpackhi take pixels within each
// 128-bit lane: lo holds pixels 0 1 | 4 5, hi pixels 2 3 | 6 7.
ORRIVEL_TARGET_AVX2 inline void Spread8(const uint8_t* w, __m256i& lo, __m256i& hi) {
  long long w8;
  std::memcpy(&w8, w, 8);
  const __m128i w16 = _mm_cvtepu8_epi16(_mm_cvtsi64_si128(w8));
  const __m128i a = _mm_unpacklo_epi16(w16, w16), b = _mm_unpackhi_epi16(w16, w16);
  lo = _mm256_set_m128i(_mm_unpacklo_epi32(b, b), _mm_unpacklo_epi32(a, a));
  hi = _mm256_set_m128i(_mm_unpackhi_epi32(b, b), _mm_unpackhi_epi32(a, a));
}

ORRIVEL_TARGET_AVX2 inline __m256i Cover8(__m256i s, const uint8_t* cov) {
  __m256i clo, chi;
  Spread8(cov, clo, chi);
  const __m256i zero = _mm256_setzero_si256();
  return _mm256_packus_epi16(Scale16(_mm256_unpacklo_epi8(s, zero), clo),
                             Scale16(_mm256_unpackhi_epi8(s, zero), chi));
}

ORRIVEL_TARGET_AVX2 inline __m256i CoverConst8(__m256i s, __m256i c) {
  const __m256i zero = _mm256_setzero_si256();
  return _mm256_packus_epi16(Scale16(_mm256_unpacklo_epi8(s, zero), c),
                             Scale16(_mm256_unpackhi_epi8(s, zero), c));
}

ORRIVEL_TARGET_AVX2 inline __m256i Load(const uint32_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
ORRIVEL_TARGET_AVX2 inline void Store(uint32_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

}  // namespace

bool Supported() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2");
}

ORRIVEL_TARGET_AVX2 void BlendSolid(uint32_t* dst, int n, uint32_t src) {
  const __m256i s = _mm256_set1_epi32(static_cast<int>(src));
  int i = 0;
  for (; i + 8 <= n; i += 8) Store(dst + i, Over8(Load(dst + i), s));
  sse2::BlendSolid(dst + i, n - i, src);
}

ORRIVEL_TARGET_AVX2 void BlendSolidCoverage(uint32_t* dst, int n, uint32_t src,
                                            const uint8_t* cov) {
  const __m256i s = _mm256_set1_epi32(static_cast<int>(src));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    uint64_t c8;
    std::memcpy(&c8, cov + i, 8);
    if (c8 == 0) continue;  // beside an edge, coverage is often empty
    Store(dst + i, Over8(Load(dst + i), Cover8(s, cov + i)));
  }
  sse2::BlendSolidCoverage(dst + i, n - i, src, cov + i);
}

ORRIVEL_TARGET_AVX2 void BlendSpan(uint32_t* dst, int n, const uint32_t* src, uint8_t cov) {
  int i = 0;
  if (cov == 255) {
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 8 <= n; i += 8) {
      const __m256i s = Load(src + i);
      const int opaque =
          _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(s, alpha), alpha));
      if (opaque == -1) {
        Store(dst + i, s);
      } else if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(s, _mm256_setzero_si256())) != -1) {
        Store(dst + i, Over8(Load(dst + i), s));
      }
    }
  } else {
    const __m256i c = _mm256_set1_epi16(cov);
    for (; i + 8 <= n; i += 8) {
      Store(dst + i, Over8(Load(dst + i), CoverConst8(Load(src + i), c)));
    }
  }
  sse2::BlendSpan(dst + i, n - i, src + i, cov);
}

ORRIVEL_TARGET_AVX2 void BlendSpanCoverage(uint32_t* dst, int n, const uint32_t* src,
                                           const uint8_t* cov) {
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    Store(dst + i, Over8(Load(dst + i), Cover8(Load(src + i), cov + i)));
  }
  sse2::BlendSpanCoverage(dst + i, n - i, src + i, cov + i);
}

ORRIVEL_TARGET_AVX2 void LerpRow(uint32_t* out, const uint32_t* left, const uint32_t* right,
                                 const uint8_t* w, int n) {
  const __m256i zero = _mm256_setzero_si256(), k256 = _mm256_set1_epi16(256);
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i wlo, whi;
    Spread8(w + i, wlo, whi);
    const __m256i l = Load(left + i), r = Load(right + i);
    const __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(
            _mm256_mullo_epi16(_mm256_unpacklo_epi8(l, zero), _mm256_sub_epi16(k256, wlo)),
            _mm256_mullo_epi16(_mm256_unpacklo_epi8(r, zero), wlo)),
        8);
    const __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(
            _mm256_mullo_epi16(_mm256_unpackhi_epi8(l, zero), _mm256_sub_epi16(k256, whi)),
            _mm256_mullo_epi16(_mm256_unpackhi_epi8(r, zero), whi)),
        8);
    Store(out + i, _mm256_packus_epi16(lo, hi));
  }
  sse2::LerpRow(out + i, left + i, right + i, w + i, n - i);
}

}  // namespace orrivel::swf::raster::avx2

#endif
