#include "swf/raster/pixel_row.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "swf/raster/pixel.h"
#include "swf/raster/pixel_row_kernels.h"
#include "swf/raster/simd.h"

namespace orrivel::swf::raster {

#ifdef ORRIVEL_SSE2
namespace {

// Per 16-bit lane x * f / 255 rounded, the same arithmetic as Div255.
inline __m128i Scale16(__m128i x, __m128i f) {
  const __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, f), _mm_set1_epi16(128));
  return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

inline __m128i AlphaOf16(__m128i p) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(p, 0xFF), 0xFF);
}

// Four premultiplied pixels s over d.
inline __m128i Over4(__m128i d, __m128i s) {
  const __m128i zero = _mm_setzero_si128(), k255 = _mm_set1_epi16(255);
  const __m128i slo = _mm_unpacklo_epi8(s, zero), shi = _mm_unpackhi_epi8(s, zero);
  const __m128i lo = Scale16(_mm_unpacklo_epi8(d, zero), _mm_sub_epi16(k255, AlphaOf16(slo)));
  const __m128i hi = Scale16(_mm_unpackhi_epi8(d, zero), _mm_sub_epi16(k255, AlphaOf16(shi)));
  return _mm_adds_epu8(_mm_packus_epi16(lo, hi), s);
}

// Four pixels times four coverage bytes.
inline __m128i Cover4(__m128i s, const uint8_t* cov) {
  int c4;
  std::memcpy(&c4, cov, 4);
  const __m128i zero = _mm_setzero_si128();
  const __m128i c16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(c4), zero);  // c0 c1 c2 c3
  const __m128i c32 = _mm_unpacklo_epi16(c16, c16);                    // c0 c0 c1 c1 ...
  const __m128i clo = _mm_unpacklo_epi32(c32, c32), chi = _mm_unpackhi_epi32(c32, c32);
  const __m128i lo = Scale16(_mm_unpacklo_epi8(s, zero), clo);
  const __m128i hi = Scale16(_mm_unpackhi_epi8(s, zero), chi);
  return _mm_packus_epi16(lo, hi);
}

inline __m128i CoverConst4(__m128i s, __m128i c) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_packus_epi16(Scale16(_mm_unpacklo_epi8(s, zero), c),
                          Scale16(_mm_unpackhi_epi8(s, zero), c));
}

inline __m128i Load(const uint32_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store(uint32_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

}  // namespace

namespace sse2 {

void FillSolid(uint32_t* dst, int n, uint32_t src) {
  const __m128i s = _mm_set1_epi32(static_cast<int>(src));
  int i = 0;
  for (; i + 4 <= n; i += 4) Store(dst + i, s);
  for (; i < n; ++i) dst[i] = src;
}

void BlendSolid(uint32_t* dst, int n, uint32_t src) {
  const __m128i s = _mm_set1_epi32(static_cast<int>(src));
  int i = 0;
  for (; i + 4 <= n; i += 4) Store(dst + i, Over4(Load(dst + i), s));
  for (; i < n; ++i) dst[i] = SrcOver(dst[i], src);
}

void BlendSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov) {
  const __m128i s = _mm_set1_epi32(static_cast<int>(src));
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    uint32_t c4;
    std::memcpy(&c4, cov + i, 4);
    if (c4 == 0) continue;  // beside an edge, coverage is often empty
    Store(dst + i, Over4(Load(dst + i), Cover4(s, cov + i)));
  }
  for (; i < n; ++i) dst[i] = SrcOver(dst[i], ScalePixel(src, cov[i]));
}

void BlendSpan(uint32_t* dst, int n, const uint32_t* src, uint8_t cov) {
  int i = 0;
  if (cov == 255) {
    // Opaque or empty runs (most bitmaps) need no arithmetic.
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
      const __m128i s = Load(src + i);
      const int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(s, alpha), alpha));
      if (opaque == 0xFFFF) {
        Store(dst + i, s);
      } else if (_mm_movemask_epi8(_mm_cmpeq_epi32(s, _mm_setzero_si128())) != 0xFFFF) {
        Store(dst + i, Over4(Load(dst + i), s));
      }
    }
  } else {
    const __m128i c = _mm_set1_epi16(cov);
    for (; i + 4 <= n; i += 4) Store(dst + i, Over4(Load(dst + i), CoverConst4(Load(src + i), c)));
  }
  for (; i < n; ++i) dst[i] = SrcOver(dst[i], ScalePixel(src[i], cov));
}

void BlendSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov) {
  int i = 0;
  for (; i + 4 <= n; i += 4) Store(dst + i, Over4(Load(dst + i), Cover4(Load(src + i), cov + i)));
  for (; i < n; ++i) dst[i] = SrcOver(dst[i], ScalePixel(src[i], cov[i]));
}

void LerpRow(uint32_t* out, const uint32_t* left, const uint32_t* right, const uint8_t* w, int n) {
  const __m128i zero = _mm_setzero_si128(), k256 = _mm_set1_epi16(256);
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    int w4;
    std::memcpy(&w4, w + i, 4);
    const __m128i w16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(w4), zero);
    const __m128i w32 = _mm_unpacklo_epi16(w16, w16);
    const __m128i wlo = _mm_unpacklo_epi32(w32, w32), whi = _mm_unpackhi_epi32(w32, w32);
    const __m128i l = Load(left + i), r = Load(right + i);
    const __m128i lo = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(l, zero), _mm_sub_epi16(k256, wlo)),
                      _mm_mullo_epi16(_mm_unpacklo_epi8(r, zero), wlo)),
        8);
    const __m128i hi = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(l, zero), _mm_sub_epi16(k256, whi)),
                      _mm_mullo_epi16(_mm_unpackhi_epi8(r, zero), whi)),
        8);
    Store(out + i, _mm_packus_epi16(lo, hi));
  }
  for (; i < n; ++i) out[i] = Lerp256(left[i], right[i], w[i]);
}

}  // namespace sse2

#endif

namespace scalar {

void LerpRow(uint32_t* out, const uint32_t* left, const uint32_t* right, const uint8_t* w, int n) {
  for (int i = 0; i < n; ++i) out[i] = Lerp256(left[i], right[i], w[i]);
}

void FillSolid(uint32_t* dst, int n, uint32_t src) {
  for (int i = 0; i < n; ++i) dst[i] = src;
}
void BlendSolid(uint32_t* dst, int n, uint32_t src) {
  for (int i = 0; i < n; ++i) dst[i] = SrcOver(dst[i], src);
}
void BlendSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov) {
  for (int i = 0; i < n; ++i) dst[i] = SrcOver(dst[i], ScalePixel(src, cov[i]));
}
void BlendSpan(uint32_t* dst, int n, const uint32_t* src, uint8_t cov) {
  for (int i = 0; i < n; ++i) dst[i] = SrcOver(dst[i], ScalePixel(src[i], cov));
}
void BlendSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov) {
  for (int i = 0; i < n; ++i) dst[i] = SrcOver(dst[i], ScalePixel(src[i], cov[i]));
}

}  // namespace scalar

namespace {

#ifdef ORRIVEL_SSE2
constexpr SimdLevel kCompiledLevel = SimdLevel::Sse2;
#else
constexpr SimdLevel kCompiledLevel = SimdLevel::Scalar;
#endif

SimdLevel Detect() {
#if defined(ORRIVEL_SSE2) && ORRIVEL_AVX2_DISPATCH
  if (avx2::Supported()) return SimdLevel::Avx2;
#endif
  return kCompiledLevel;
}

std::atomic<SimdLevel>& Level() {
  static std::atomic<SimdLevel> level{Detect()};
  return level;
}

}  // namespace

SimdLevel BestSimd() {
  static const SimdLevel best = Detect();
  return best;
}

SimdLevel ActiveSimd() { return Level().load(std::memory_order_relaxed); }

void UseSimd(SimdLevel level) {
  Level().store(std::min(level, BestSimd()), std::memory_order_relaxed);
}

const char* SimdName(SimdLevel level) {
  switch (level) {
    case SimdLevel::Avx2:
      return "AVX2";
    case SimdLevel::Sse2:
      return "SSE2";
    default:
      return "scalar";
  }
}

// Each row loop in the widest form the processor runs and the caller allows.
#if defined(ORRIVEL_SSE2) && ORRIVEL_AVX2_DISPATCH
#define ORRIVEL_ROW_DISPATCH(call) \
  switch (ActiveSimd()) {          \
    case SimdLevel::Avx2:          \
      return avx2::call;           \
    case SimdLevel::Sse2:          \
      return sse2::call;           \
    default:                       \
      return scalar::call;         \
  }
#elif defined(ORRIVEL_SSE2)
#define ORRIVEL_ROW_DISPATCH(call)                            \
  if (ActiveSimd() == SimdLevel::Scalar) return scalar::call; \
  return sse2::call;
#else
#define ORRIVEL_ROW_DISPATCH(call) return scalar::call;
#endif

void FillSolid(uint32_t* dst, int n, uint32_t src) {
#ifdef ORRIVEL_SSE2
  sse2::FillSolid(dst, n, src);
#else
  scalar::FillSolid(dst, n, src);
#endif
}
void BlendSolid(uint32_t* dst, int n, uint32_t src) {
  ORRIVEL_ROW_DISPATCH(BlendSolid(dst, n, src))
}
void BlendSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov) {
  ORRIVEL_ROW_DISPATCH(BlendSolidCoverage(dst, n, src, cov))
}
void BlendSpan(uint32_t* dst, int n, const uint32_t* src, uint8_t cov) {
  ORRIVEL_ROW_DISPATCH(BlendSpan(dst, n, src, cov))
}
void BlendSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov) {
  ORRIVEL_ROW_DISPATCH(BlendSpanCoverage(dst, n, src, cov))
}
void LerpRow(uint32_t* out, const uint32_t* left, const uint32_t* right, const uint8_t* w, int n) {
  ORRIVEL_ROW_DISPATCH(LerpRow(out, left, right, w, n))
}
#undef ORRIVEL_ROW_DISPATCH

namespace {
uint32_t AddSaturate(uint32_t a, uint32_t b) {
  const auto ch = [&](int shift) {
    return std::min<uint32_t>(((a >> shift) & 0xFF) + ((b >> shift) & 0xFF), 255) << shift;
  };
  return ch(0) | ch(8) | ch(16) | ch(24);
}
}  // namespace

void AddSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov) {
  for (int i = 0; i < n; ++i) {
    if (cov[i]) dst[i] = AddSaturate(dst[i], ScalePixel(src, cov[i]));
  }
}

void AddSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov) {
  for (int i = 0; i < n; ++i) {
    if (cov[i]) dst[i] = AddSaturate(dst[i], ScalePixel(src[i], cov[i]));
  }
}

}  // namespace orrivel::swf::raster
