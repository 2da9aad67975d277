// The box blur of one 8-bit plane, for the shadows, glows and bevels that
// blur only an object's alpha. A plane is a quarter of the pixels' bytes,
// and the arithmetic is that of BoxBlur's alpha lane operation for
// operation (the same float sums in the same order, the same rounding), so
// the result equals the alpha BoxBlur gives. Columns are blurred four
// (SSE2) at a time, rows as the columns of the transposed plane.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "swf/raster/blur_window.h"
#include "swf/raster/filter_kernels.h"
#include "swf/raster/parallel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/simd.h"

#if ORRIVEL_AVX2_DISPATCH
#include <immintrin.h>
#endif

namespace orrivel::swf::raster {
namespace {

// Nearest (ties to even) and saturated to 0..255 as BoxBlur stores a lane:
// what cannot be converted becomes 0 there, and here.
inline uint8_t Round(float v) {
#if defined(ORRIVEL_SSE2)
  const int i = _mm_cvtss_si32(_mm_set_ss(v));
#else
  const long l = std::isfinite(v) && std::fabs(v) < 2147483648.0f ? std::lrint(v) : 0;
  const int i = static_cast<int>(std::clamp<long>(l, -32768, 32767));
#endif
  return static_cast<uint8_t>(std::clamp(i, 0, 255));
}

// out[x * outStride + y] = in[y * inStride + x] for rows [from, to) and
// columns [0, w) of `in`, eight by eight where SSE2 allows, in strips of
// 64 columns so that the rows written stay in the cache.
void Transpose(const uint8_t* in, size_t inStride, uint8_t* out, size_t outStride, int w, int from,
               int to) {
  constexpr int kStrip = 64;
  for (int strip = 0; strip < w; strip += kStrip) {
    const int end = std::min(w, strip + kStrip);
    int y = from;
#if defined(ORRIVEL_SSE2)
    for (; y + 8 <= to; y += 8) {
      const uint8_t* src = in + y * inStride;
      int x = strip;
      for (; x + 8 <= end; x += 8) {
        __m128i r[8];
        for (int i = 0; i < 8; ++i) {
          r[i] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i * inStride + x));
        }
        // Bytes of row pairs, then 16-bit pairs of row quads, then columns.
        const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
        const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
        const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
        const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
        const __m128i cols[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                                 _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
        uint8_t* dst = out + x * outStride + y;
        for (int i = 0; i < 4; ++i) {
          _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + 2 * i * outStride), cols[i]);
          _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + (2 * i + 1) * outStride),
                           _mm_unpackhi_epi64(cols[i], cols[i]));
        }
      }
      for (; x < end; ++x) {
        for (int i = 0; i < 8; ++i) out[x * outStride + y + i] = src[i * inStride + x];
      }
    }
#endif
    for (; y < to; ++y) {
      for (int x = strip; x < end; ++x) out[x * outStride + y] = in[y * inStride + x];
    }
  }
}

#if defined(ORRIVEL_SSE2)
inline __m128 Load4(const uint8_t* p) {
  int v;
  std::memcpy(&v, p, 4);
  const __m128i zero = _mm_setzero_si128();
  const __m128i x = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero);
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(x, zero));
}
inline void Store4(uint8_t* p, __m128 f) {
  __m128i i = _mm_cvtps_epi32(f);
  i = _mm_packs_epi32(i, i);
  const int v = _mm_cvtsi128_si32(_mm_packus_epi16(i, i));
  std::memcpy(p, &v, 4);
}
#endif

#if ORRIVEL_AVX2_DISPATCH
#define ORRIVEL_TARGET_AVX2 __attribute__((target("avx2")))

ORRIVEL_TARGET_AVX2 inline __m256 Load8(const uint8_t* p) {
  long long v;
  std::memcpy(&v, p, 8);
  return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_cvtsi64_si128(v)));
}

// One row of BlurPlaneColumns eight columns at a time, the SSE2 loop's
// operations in the same order; returns the columns done.
ORRIVEL_TARGET_AVX2 int ColumnStepAvx2(float* sum, const uint8_t* below, const uint8_t* above,
                                       const uint8_t* leaving, uint8_t* out, int w,
                                       const Window& wv) {
  const __m256 edge = _mm256_set1_ps(wv.edge), scale = _mm256_set1_ps(wv.scale);
  int x = 0;
  for (; x + 8 <= w; x += 8) {
    __m256 s = _mm256_loadu_ps(sum + x);
    const __m256 b = Load8(below + x);
    const __m256 v =
        wv.edge > 0
            ? _mm256_mul_ps(
                  _mm256_add_ps(s, _mm256_mul_ps(_mm256_add_ps(Load8(above + x), b), edge)), scale)
            : _mm256_mul_ps(s, scale);
    const __m256i i = _mm256_cvtps_epi32(v);
    const __m128i words =
        _mm_packs_epi32(_mm256_castsi256_si128(i), _mm256_extracti128_si256(i, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(words, words));
    s = _mm256_sub_ps(_mm256_add_ps(s, b), Load8(leaving + x));
    _mm256_storeu_ps(sum + x, s);
  }
  return x;
}
#endif

// Columns [0, w) of the plane, a row at a time so that memory is read in
// order, as BoxBlur's vertical pass; a missing row above or below adds a
// row of zeros.
void BlurPlaneColumns(uint8_t* plane, int w, int h, size_t stride, const Window& wv) {
  thread_local std::vector<uint8_t> ring, zeros;
  thread_local std::vector<float> sums;
  const int slots = wv.half + 2;
  ring.resize(static_cast<size_t>(slots) * w);
  zeros.assign(static_cast<size_t>(w), 0);
  sums.assign(static_cast<size_t>(w), 0.0f);
  auto slot = [&](int y) { return ring.data() + static_cast<size_t>(y % slots) * w; };
  for (int y = 0; y <= std::min(wv.half, h - 1); ++y) {
    const uint8_t* r = plane + y * stride;
    for (int x = 0; x < w; ++x) sums[x] = sums[x] + static_cast<float>(r[x]);
  }
  float* sum = sums.data();
#if ORRIVEL_AVX2_DISPATCH
  const bool avx2 = ActiveSimd() == SimdLevel::Avx2;
#endif
  for (int y = 0; y < h; ++y) {
    uint8_t* out = plane + y * stride;
    std::memcpy(slot(y), out, static_cast<size_t>(w));
    const uint8_t* below = y + wv.half + 1 < h ? out + (wv.half + 1) * stride : zeros.data();
    const uint8_t* leaving = y - wv.half >= 0 ? slot(y - wv.half) : zeros.data();
    const uint8_t* above = y - wv.half - 1 >= 0 ? slot(y - wv.half - 1) : zeros.data();
    int x = 0;
#if ORRIVEL_AVX2_DISPATCH
    if (avx2) x = ColumnStepAvx2(sum, below, above, leaving, out, w, wv);
#endif
#if defined(ORRIVEL_SSE2)
    const __m128 edge = _mm_set1_ps(wv.edge), scale = _mm_set1_ps(wv.scale);
    for (; x + 4 <= w; x += 4) {
      __m128 s = _mm_loadu_ps(sum + x);
      const __m128 b = Load4(below + x);
      if (wv.edge > 0) {
        const __m128 ends = _mm_add_ps(Load4(above + x), b);
        Store4(out + x, _mm_mul_ps(_mm_add_ps(s, _mm_mul_ps(ends, edge)), scale));
      } else {
        Store4(out + x, _mm_mul_ps(s, scale));
      }
      s = _mm_sub_ps(_mm_add_ps(s, b), Load4(leaving + x));
      _mm_storeu_ps(sum + x, s);
    }
#endif
    for (; x < w; ++x) {
      const float b = below[x];
      if (wv.edge > 0) {
        const float ends = static_cast<float>(above[x]) + b;
        out[x] = Round((sum[x] + ends * wv.edge) * wv.scale);
      } else {
        out[x] = Round(sum[x] * wv.scale);
      }
      sum[x] = sum[x] + b - static_cast<float>(leaving[x]);
    }
  }
}

}  // namespace

void BoxBlurPlane(uint8_t* plane, int width, int height, int stride, float boxX, float boxY,
                  int passes) {
  if (plane == nullptr || width <= 0 || height <= 0 || stride < width || passes <= 0) return;
  const bool blurX = Blurs(boxX), blurY = Blurs(boxY);
  const Window wx = MakeWindow(blurX ? boxX : 1, width);
  const Window wy = MakeWindow(blurY ? boxY : 1, height);
  const size_t rowBytes = static_cast<size_t>(stride);
  const int64_t work = int64_t{width} * height / 4;  // bytes, not pixels
  // The rows are blurred as the columns of the transposed plane, where the
  // sums of neighbouring rows run side by side in vectors; the column loop
  // adds the same values in the same order as a row loop would.
  thread_local std::vector<uint8_t> turnedPlane;
  if (blurX) turnedPlane.resize(static_cast<size_t>(width) * height);
  uint8_t* const turned = turnedPlane.data();  // this thread's, for the workers
  const size_t turnedStride = static_cast<size_t>(height);
  for (int pass = 0; pass < passes; ++pass) {
    if (blurX) {
      ForEachBand(0, height, work, [&](int from, int to) {
        Transpose(plane, rowBytes, turned, turnedStride, width, from, to);
      });
      ForEachBand(0, height, work, [&](int from, int to) {
        BlurPlaneColumns(turned + from, to - from, width, turnedStride, wx);
      });
      ForEachBand(0, width, work, [&](int from, int to) {
        Transpose(turned, turnedStride, plane, rowBytes, height, from, to);
      });
    }
    if (blurY) {
      ForEachBand(0, width, work, [&](int from, int to) {
        BlurPlaneColumns(plane + from, to - from, height, rowBytes, wy);
      });
    }
  }
}

}  // namespace orrivel::swf::raster
