// Box blur by running sums: each output pixel adds the pixel entering the
// window and drops the one leaving it, so a wide box costs no more than a
// narrow one. The four channels of a pixel travel together as one quad of
// floats (exact for these integer sums).
#include <algorithm>
#include <cmath>
#include <cstring>

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

#if defined(ORRIVEL_SSE2)
struct Quad {
  __m128 v;
};
inline Quad Load(uint32_t p) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i x = _mm_cvtsi32_si128(static_cast<int>(p));
  return {_mm_cvtepi32_ps(_mm_unpacklo_epi16(_mm_unpacklo_epi8(x, zero), zero))};
}
inline uint32_t Store(Quad q) {
  const __m128i i = _mm_cvtps_epi32(q.v);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(i, i), i)));
}
inline Quad operator+(Quad a, Quad b) { return {_mm_add_ps(a.v, b.v)}; }
inline Quad operator-(Quad a, Quad b) { return {_mm_sub_ps(a.v, b.v)}; }
inline Quad operator*(Quad a, float s) { return {_mm_mul_ps(a.v, _mm_set1_ps(s))}; }
inline Quad Zero() { return {_mm_setzero_ps()}; }
#else
struct Quad {
  float v[4];
};
inline Quad Load(uint32_t p) {
  return {{static_cast<float>(p & 0xFF), static_cast<float>((p >> 8) & 0xFF),
           static_cast<float>((p >> 16) & 0xFF), static_cast<float>(p >> 24)}};
}
inline uint32_t Store(Quad q) {
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    const long c = std::lrint(q.v[i]);
    out |= static_cast<uint32_t>(std::clamp(c, 0L, 255L)) << (8 * i);
  }
  return out;
}
inline Quad operator+(Quad a, Quad b) {
  for (int i = 0; i < 4; ++i) a.v[i] += b.v[i];
  return a;
}
inline Quad operator-(Quad a, Quad b) {
  for (int i = 0; i < 4; ++i) a.v[i] -= b.v[i];
  return a;
}
inline Quad operator*(Quad a, float s) {
  for (float& x : a.v) x *= s;
  return a;
}
inline Quad Zero() { return {{0, 0, 0, 0}}; }
#endif

// One pass along R rows of n pixels each into dst[r]; padded[r] holds row
// r with half + 1 transparent pixels either side, so the window never
// leaves it. Several rows at once keep their running sums from waiting on
// each other; each row's arithmetic is that of a row on its own.
template <int R>
void BlurRows(const uint32_t* const* padded, uint32_t* const* dst, int n, const Window& w) {
  const uint32_t* src[R];
  Quad sum[R];
  for (int r = 0; r < R; ++r) {
    src[r] = padded[r] + w.half + 1;
    sum[r] = Zero();
  }
  for (int i = -w.half; i <= w.half; ++i) {
    for (int r = 0; r < R; ++r) sum[r] = sum[r] + Load(src[r][i]);
  }
  if (w.edge > 0) {
    for (int x = 0; x < n; ++x) {
      for (int r = 0; r < R; ++r) {
        const Quad entering = Load(src[r][x + w.half + 1]);
        dst[r][x] = Store((sum[r] + (Load(src[r][x - w.half - 1]) + entering) * w.edge) * w.scale);
        sum[r] = sum[r] + entering - Load(src[r][x - w.half]);
      }
    }
    return;
  }
  for (int x = 0; x < n; ++x) {
    for (int r = 0; r < R; ++r) {
      dst[r][x] = Store(sum[r] * w.scale);
      sum[r] = sum[r] + Load(src[r][x + w.half + 1]) - Load(src[r][x - w.half]);
    }
  }
}

#if ORRIVEL_AVX2_DISPATCH
#define ORRIVEL_TARGET_AVX2 __attribute__((target("avx2")))

// Two pixels' channels as eight floats, in Load's lane order.
ORRIVEL_TARGET_AVX2 inline __m256 Load2(const uint32_t* p) {
  long long v;
  std::memcpy(&v, p, 8);
  return _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_cvtsi64_si128(v)));
}

// One output row of BlurColumns two pixels at a time, each lane computed as
// Quad computes it; a missing row is given as zeros (adding 0 to these
// non-negative sums changes nothing). Returns the pixels done.
ORRIVEL_TARGET_AVX2 int ColumnRowAvx2(float* sums, const uint32_t* above, const uint32_t* below,
                                      const uint32_t* leaving, uint32_t* out, int w,
                                      const Window& wv) {
  const __m256 edge = _mm256_set1_ps(wv.edge), scale = _mm256_set1_ps(wv.scale);
  int x = 0;
  for (; x + 2 <= w; x += 2) {
    __m256 s = _mm256_loadu_ps(sums + 4 * x);
    const __m256 b = Load2(below + x);
    const __m256 v =
        wv.edge > 0
            ? _mm256_mul_ps(
                  _mm256_add_ps(
                      s, _mm256_mul_ps(
                             _mm256_add_ps(_mm256_add_ps(_mm256_setzero_ps(), Load2(above + x)), b),
                             edge)),
                  scale)
            : _mm256_mul_ps(s, scale);
    const __m256i i = _mm256_cvtps_epi32(v);
    const __m128i words =
        _mm_packs_epi32(_mm256_castsi256_si128(i), _mm256_extracti128_si256(i, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(words, words));
    s = _mm256_sub_ps(_mm256_add_ps(s, b), Load2(leaving + x));
    _mm256_storeu_ps(sums + 4 * x, s);
  }
  return x;
}
#endif

// One vertical pass, a row at a time so that memory is read in order: a
// running sum per column. Rows below are read before they are written; the
// originals of the rows above that the sums (and the end weights) still
// need wait in a ring of half + 2 rows.
void BlurColumns(Canvas& area, std::vector<uint32_t>& ring, std::vector<Quad>& sums,
                 const Window& wv) {
  const int h = area.height, w = area.width;
  const size_t stride = static_cast<size_t>(area.stride);
  const int slots = wv.half + 2;
  ring.resize(static_cast<size_t>(slots) * w);
  auto slot = [&](int y) { return ring.data() + static_cast<size_t>(y % slots) * w; };
  sums.assign(static_cast<size_t>(w), Zero());
#if ORRIVEL_AVX2_DISPATCH
  static_assert(sizeof(Quad) == 4 * sizeof(float));
  const bool avx2 = ActiveSimd() == SimdLevel::Avx2;
  thread_local std::vector<uint32_t> zeros;
  if (avx2) zeros.assign(static_cast<size_t>(w), 0u);
#endif
  for (int y = 0; y <= std::min(wv.half, h - 1); ++y) {
    const uint32_t* r = area.pixels + y * stride;
    for (int x = 0; x < w; ++x) sums[x] = sums[x] + Load(r[x]);
  }
  for (int y = 0; y < h; ++y) {
    uint32_t* out = area.pixels + y * stride;
    std::memcpy(slot(y), out, static_cast<size_t>(w) * sizeof(uint32_t));
    const uint32_t* below = y + wv.half + 1 < h ? out + (wv.half + 1) * stride : nullptr;
    const uint32_t* leaving = y - wv.half >= 0 ? slot(y - wv.half) : nullptr;
    const uint32_t* above = wv.edge > 0 && y - wv.half - 1 >= 0 ? slot(y - wv.half - 1) : nullptr;
    int x = 0;
#if ORRIVEL_AVX2_DISPATCH
    if (avx2) {
      x = ColumnRowAvx2(reinterpret_cast<float*>(sums.data()), above ? above : zeros.data(),
                        below ? below : zeros.data(), leaving ? leaving : zeros.data(), out, w, wv);
    }
#endif
    for (; x < w; ++x) {
      if (wv.edge > 0) {
        Quad ends = Zero();
        if (above) ends = ends + Load(above[x]);
        if (below) ends = ends + Load(below[x]);
        out[x] = Store((sums[x] + ends * wv.edge) * wv.scale);
      } else {
        out[x] = Store(sums[x] * wv.scale);
      }
      if (below) sums[x] = sums[x] + Load(below[x]);
      if (leaving) sums[x] = sums[x] - Load(leaving[x]);
    }
  }
}

}  // namespace

int BlurReach(float box, int passes) {
  if (!Blurs(box) || passes <= 0) return 0;
  return static_cast<int>(std::ceil(std::min((box - 1) / 2, 1e6f))) * passes;
}

void BoxBlur(Canvas& area, float boxX, float boxY, int passes, std::vector<uint32_t>& scratch) {
  if (area.width <= 0 || area.height <= 0 || passes <= 0) return;
  const int w = area.width, h = area.height;
  const bool blurX = Blurs(boxX), blurY = Blurs(boxY);
  const Window wx = MakeWindow(blurX ? boxX : 1, w);
  const Window wy = MakeWindow(blurY ? boxY : 1, h);
  const size_t pad = static_cast<size_t>(wx.half) + 1;  // room for the end weights too
  const size_t stride = static_cast<size_t>(area.stride);
  std::vector<Quad> sums;
  std::vector<uint32_t> ring;
  const int64_t work = int64_t{w} * h;
  for (int pass = 0; pass < passes; ++pass) {
    if (blurX) {
      ForEachBand(0, h, work, [&](int from, int to) {
        // Split into bands, each thread pads rows in a buffer of its own.
        constexpr int kRows = 4;
        thread_local std::vector<uint32_t> own;
        std::vector<uint32_t>& padded = from == 0 && to == h ? scratch : own;
        const size_t len = w + 2 * pad;
        padded.assign(len * kRows, 0u);
        const uint32_t* src[kRows];
        uint32_t* dst[kRows];
        for (int y = from; y < to; y += kRows) {
          const int rows = std::min(kRows, to - y);
          for (int r = 0; r < rows; ++r) {
            dst[r] = area.pixels + (y + r) * stride;
            std::memcpy(padded.data() + r * len + pad, dst[r],
                        static_cast<size_t>(w) * sizeof(uint32_t));
            src[r] = padded.data() + r * len;
          }
          if (rows == kRows) {
            BlurRows<kRows>(src, dst, w, wx);
          } else {
            for (int r = 0; r < rows; ++r) BlurRows<1>(src + r, dst + r, w, wx);
          }
        }
      });
    }
    if (blurY) {
      // Columns are independent: bands of columns, each with its own sums.
      ForEachBand(0, w, work, [&](int from, int to) {
        if (from == 0 && to == w) {
          BlurColumns(area, ring, sums, wy);
          return;
        }
        thread_local std::vector<uint32_t> ownRing;
        thread_local std::vector<Quad> ownSums;
        Canvas columns{area.pixels + from, to - from, h, area.stride};
        BlurColumns(columns, ownRing, ownSums, wy);
      });
    }
  }
}

}  // namespace orrivel::swf::raster
