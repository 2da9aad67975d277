// The box blur of one 8-bit plane, for the shadows, glows and bevels that
// blur only an object's alpha. A plane is a quarter of the pixels' bytes,
// and the arithmetic is that of BoxBlur's alpha lane operation for
// operation (the same float sums in the same order, the same rounding), so
// the result equals the alpha BoxBlur gives. Rows are blurred four at a
// time so that their running sums do not wait on each other; columns four
// (SSE2) at a time.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "swf/raster/blur_window.h"
#include "swf/raster/filter_kernels.h"
#include "swf/raster/parallel.h"
#include "swf/raster/simd.h"

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

// R rows of n pixels; src[r] holds row r with half + 1 zeros either side
// (src[r][0] is its first pixel).
template <int R>
void BlurRows(const uint8_t* const* src, uint8_t* const* dst, int n, const Window& w) {
  float sum[R];
  for (int r = 0; r < R; ++r) sum[r] = 0;
  for (int i = -w.half; i <= w.half; ++i) {
    for (int r = 0; r < R; ++r) sum[r] = sum[r] + static_cast<float>(src[r][i]);
  }
  if (w.edge > 0) {
    for (int x = 0; x < n; ++x) {
      for (int r = 0; r < R; ++r) {
        const float entering = src[r][x + w.half + 1];
        const float ends = static_cast<float>(src[r][x - w.half - 1]) + entering;
        dst[r][x] = Round((sum[r] + ends * w.edge) * w.scale);
        sum[r] = sum[r] + entering - static_cast<float>(src[r][x - w.half]);
      }
    }
    return;
  }
  for (int x = 0; x < n; ++x) {
    for (int r = 0; r < R; ++r) {
      dst[r][x] = Round(sum[r] * w.scale);
      sum[r] = sum[r] + static_cast<float>(src[r][x + w.half + 1]) -
               static_cast<float>(src[r][x - w.half]);
    }
  }
}

#if defined(ORRIVEL_SSE2)
// Four rows in the four lanes: BlurRows<4> with one vector operation for
// each of its scalar ones.
inline __m128 Column4(const uint8_t* const* src, int i) {
  return _mm_cvtepi32_ps(_mm_setr_epi32(src[0][i], src[1][i], src[2][i], src[3][i]));
}

void BlurFourRows(const uint8_t* const* src, uint8_t* const* dst, int n, const Window& w) {
  __m128 sum = _mm_setzero_ps();
  for (int i = -w.half; i <= w.half; ++i) sum = _mm_add_ps(sum, Column4(src, i));
  const __m128 edge = _mm_set1_ps(w.edge), scale = _mm_set1_ps(w.scale);
  const bool ends = w.edge > 0;
  for (int x = 0; x < n; ++x) {
    const __m128 entering = Column4(src, x + w.half + 1);
    const __m128 out =
        ends ? _mm_mul_ps(
                   _mm_add_ps(sum,
                              _mm_mul_ps(_mm_add_ps(Column4(src, x - w.half - 1), entering), edge)),
                   scale)
             : _mm_mul_ps(sum, scale);
    sum = _mm_sub_ps(_mm_add_ps(sum, entering), Column4(src, x - w.half));
    __m128i v = _mm_cvtps_epi32(out);
    v = _mm_packs_epi32(v, v);
    const uint32_t bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
    for (int r = 0; r < 4; ++r) dst[r][x] = static_cast<uint8_t>(bytes >> (8 * r));
  }
}
#endif

void BlurPlaneRows(uint8_t* plane, int w, size_t stride, int from, int to, const Window& wx) {
  constexpr int kRows = 4;
  thread_local std::vector<uint8_t> padded;
  const size_t pad = static_cast<size_t>(wx.half) + 1, len = w + 2 * pad;
  padded.assign(len * kRows, 0);
  const uint8_t* src[kRows];
  uint8_t* dst[kRows];
  for (int y = from; y < to; y += kRows) {
    const int rows = std::min(kRows, to - y);
    for (int r = 0; r < rows; ++r) {
      dst[r] = plane + (y + r) * stride;
      std::memcpy(padded.data() + r * len + pad, dst[r], static_cast<size_t>(w));
      src[r] = padded.data() + r * len + pad;
    }
    if (rows == kRows) {
#if defined(ORRIVEL_SSE2)
      BlurFourRows(src, dst, w, wx);
#else
      BlurRows<kRows>(src, dst, w, wx);
#endif
    } else {
      for (int r = 0; r < rows; ++r) BlurRows<1>(src + r, dst + r, w, wx);
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
  for (int y = 0; y < h; ++y) {
    uint8_t* out = plane + y * stride;
    std::memcpy(slot(y), out, static_cast<size_t>(w));
    const uint8_t* below = y + wv.half + 1 < h ? out + (wv.half + 1) * stride : zeros.data();
    const uint8_t* leaving = y - wv.half >= 0 ? slot(y - wv.half) : zeros.data();
    const uint8_t* above = y - wv.half - 1 >= 0 ? slot(y - wv.half - 1) : zeros.data();
    int x = 0;
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
  for (int pass = 0; pass < passes; ++pass) {
    if (blurX) {
      ForEachBand(0, height, work,
                  [&](int from, int to) { BlurPlaneRows(plane, width, rowBytes, from, to, wx); });
    }
    if (blurY) {
      ForEachBand(0, width, work, [&](int from, int to) {
        BlurPlaneColumns(plane + from, to - from, height, rowBytes, wy);
      });
    }
  }
}

}  // namespace orrivel::swf::raster
