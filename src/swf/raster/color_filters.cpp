// Colour matrix and convolution: both work on unpremultiplied colours, as
// their parameters are written for them.
#include <algorithm>
#include <cmath>

#include "swf/raster/filter_kernels.h"
#include "swf/raster/parallel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/simd.h"

#if ORRIVEL_AVX2_DISPATCH
#include <immintrin.h>
#endif

namespace orrivel::swf::raster {
namespace {

struct Rgbaf {
  float r = 0, g = 0, b = 0, a = 0;  // 0..255, unpremultiplied
};

Rgbaf Unpremultiply(uint32_t p) {
  const float a = static_cast<float>(p >> 24);
  if (a == 0) return {};
  const float k = 255.0f / a;
  return {static_cast<float>((p >> 16) & 0xFF) * k, static_cast<float>((p >> 8) & 0xFF) * k,
          static_cast<float>(p & 0xFF) * k, a};
}

uint32_t Premultiply(const Rgbaf& c) {
  // NaN (from a matrix of huge weights) becomes 0 before the casts.
  auto clamp = [](float v) { return v > 0 ? std::min(v, 255.0f) : 0.0f; };
  const float a = clamp(c.a);
  const float k = a / 255.0f;
  auto channel = [&](float v) { return static_cast<uint32_t>(clamp(v) * k + 0.5f); };
  return static_cast<uint32_t>(a + 0.5f) << 24 | channel(c.r) << 16 | channel(c.g) << 8 |
         channel(c.b);
}

#if defined(ORRIVEL_SSE2)
// The same two conversions on the four channels at once, lanes r, g, b, a,
// operation for operation (so the pixels are the same).
inline __m128 UnpremultiplyLanes(uint32_t p) {
  const float a = static_cast<float>(p >> 24);
  if (a == 0) return _mm_setzero_ps();
  const __m128i zero = _mm_setzero_si128();
  const __m128i bgra =
      _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p)), zero), zero);
  const __m128 v = _mm_cvtepi32_ps(_mm_shuffle_epi32(bgra, _MM_SHUFFLE(3, 0, 1, 2)));
  const float k = 255.0f / a;
  return _mm_mul_ps(v, _mm_setr_ps(k, k, k, 1));
}

inline uint32_t PremultiplyLanes(__m128 c) {
  const __m128 zero = _mm_setzero_ps();
  const __m128 clamped = _mm_and_ps(_mm_cmpgt_ps(c, zero), _mm_min_ps(c, _mm_set1_ps(255.0f)));
  const float a = _mm_cvtss_f32(_mm_shuffle_ps(clamped, clamped, _MM_SHUFFLE(3, 3, 3, 3)));
  const float k = a / 255.0f;
  const __m128 scaled = _mm_add_ps(_mm_mul_ps(clamped, _mm_setr_ps(k, k, k, 1)), _mm_set1_ps(0.5f));
  const __m128i rgba = _mm_cvttps_epi32(scaled);
  __m128i bgra = _mm_shuffle_epi32(rgba, _MM_SHUFFLE(3, 0, 1, 2));
  bgra = _mm_packs_epi32(bgra, bgra);
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(bgra, bgra)));
}
#endif

#if ORRIVEL_AVX2_DISPATCH
#define ORRIVEL_TARGET_AVX2 __attribute__((target("avx2")))

// Convolve's inside loop for two neighbouring pixels at once, their taps
// side by side in one vector and each lane summed as the four-lane loop
// sums it; from x to at most `to`, returns where it stopped.
ORRIVEL_TARGET_AVX2 int ConvolvePairs(const float* scratch, int w, int y, int x, int to,
                                      const Convolution& c, float divisor, uint32_t* out) {
  const int cx = c.columns / 2, cy = c.rows / 2;
  const __m256 div = _mm256_set1_ps(divisor), bias = _mm256_set1_ps(c.bias);
  for (; x + 2 <= to; x += 2) {
    __m256 sum = _mm256_setzero_ps();
    const float* k = c.matrix;
    for (int j = 0; j < c.rows; ++j) {
      const float* s = scratch + (static_cast<size_t>(y + j - cy) * w + (x - cx)) * 4;
      for (int i = 0; i < c.columns; ++i, s += 4, ++k) {
        sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_loadu_ps(s), _mm256_set1_ps(*k)));
      }
    }
    const __m256 v = _mm256_add_ps(_mm256_div_ps(sum, div), bias);
    __m128 first = _mm256_castps256_ps128(v), second = _mm256_extractf128_ps(v, 1);
    if (c.preserveAlpha) {
      const float* self = scratch + (static_cast<size_t>(y) * w + x) * 4;
      first = _mm_blend_ps(first, _mm_set1_ps(self[3]), 8);
      second = _mm_blend_ps(second, _mm_set1_ps(self[7]), 8);
    }
    out[x] = PremultiplyLanes(first);
    out[x + 1] = PremultiplyLanes(second);
  }
  return x;
}
#endif

}  // namespace

void ApplyColorMatrix(Canvas& area, const std::array<float, 20>& m) {
  ForEachBand(0, area.height, int64_t{area.width} * area.height, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      uint32_t* row = area.pixels + static_cast<size_t>(y) * area.stride;
#if defined(ORRIVEL_SSE2)
      // Column j of the matrix weighs input channel j into each output lane.
      const __m128 col[5] = {
          _mm_setr_ps(m[0], m[5], m[10], m[15]), _mm_setr_ps(m[1], m[6], m[11], m[16]),
          _mm_setr_ps(m[2], m[7], m[12], m[17]), _mm_setr_ps(m[3], m[8], m[13], m[18]),
          _mm_setr_ps(m[4], m[9], m[14], m[19])};
      for (int x = 0; x < area.width; ++x) {
        const __m128 c = UnpremultiplyLanes(row[x]);
        __m128 t = _mm_mul_ps(col[0], _mm_shuffle_ps(c, c, _MM_SHUFFLE(0, 0, 0, 0)));
        t = _mm_add_ps(t, _mm_mul_ps(col[1], _mm_shuffle_ps(c, c, _MM_SHUFFLE(1, 1, 1, 1))));
        t = _mm_add_ps(t, _mm_mul_ps(col[2], _mm_shuffle_ps(c, c, _MM_SHUFFLE(2, 2, 2, 2))));
        t = _mm_add_ps(t, _mm_mul_ps(col[3], _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 3, 3))));
        row[x] = PremultiplyLanes(_mm_add_ps(t, col[4]));
      }
#else
      for (int x = 0; x < area.width; ++x) {
        const Rgbaf c = Unpremultiply(row[x]);
        auto line = [&](int i) {
          return m[i] * c.r + m[i + 1] * c.g + m[i + 2] * c.b + m[i + 3] * c.a + m[i + 4];
        };
        row[x] = Premultiply({line(0), line(5), line(10), line(15)});
      }
#endif
    }
  });
}

void Convolve(Canvas& area, const Convolution& c, std::vector<float>& scratch) {
  const int w = area.width, h = area.height;
  if (w <= 0 || h <= 0 || c.columns <= 0 || c.rows <= 0 || c.matrix == nullptr) return;
  scratch.resize(static_cast<size_t>(w) * h * 4);
  const int64_t work = int64_t{w} * h;
  ForEachBand(0, h, work, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      for (int x = 0; x < w; ++x) {
        const Rgbaf p = Unpremultiply(area.pixels[static_cast<size_t>(y) * area.stride + x]);
        float* s = &scratch[(static_cast<size_t>(y) * w + x) * 4];
        s[0] = p.r, s[1] = p.g, s[2] = p.b, s[3] = p.a;
      }
    }
  });
  const float outside[4] = {static_cast<float>(c.outside.r), static_cast<float>(c.outside.g),
                            static_cast<float>(c.outside.b), static_cast<float>(c.outside.a)};
  const float divisor = c.divisor != 0 ? c.divisor : 1;
  const int cx = c.columns / 2, cy = c.rows / 2;
#if ORRIVEL_AVX2_DISPATCH
  const bool avx2 = ActiveSimd() == SimdLevel::Avx2;
#endif
  ForEachBand(0, h, work * c.rows * c.columns, [&](int from, int to) {
    for (int y = from; y < to; ++y) {
      // Where every tap lies inside the area, no tap needs clamping or the
      // outside colour; the taps are summed in the same order either way.
      const bool rowInside = y - cy >= 0 && y - cy + c.rows <= h;
      const int insideFrom = cx, insideTo = w - c.columns + cx + 1;
      int x = 0;
#if defined(ORRIVEL_SSE2)
      // Inside, the four channels of a tap travel together.
      const __m128 div = _mm_set1_ps(divisor), bias = _mm_set1_ps(c.bias);
      x = std::max(insideFrom, 0);
#if ORRIVEL_AVX2_DISPATCH
      if (rowInside && avx2) {
        x = ConvolvePairs(scratch.data(), w, y, x, insideTo, c, divisor,
                          area.pixels + static_cast<size_t>(y) * area.stride);
      }
#endif
      for (; rowInside && x < insideTo; ++x) {
        __m128 sum = _mm_setzero_ps();
        const float* k = c.matrix;
        for (int j = 0; j < c.rows; ++j) {
          const float* s = &scratch[(static_cast<size_t>(y + j - cy) * w + (x - cx)) * 4];
          for (int i = 0; i < c.columns; ++i, s += 4, ++k) {
            sum = _mm_add_ps(sum, _mm_mul_ps(_mm_loadu_ps(s), _mm_set1_ps(*k)));
          }
        }
        __m128 v = _mm_add_ps(_mm_div_ps(sum, div), bias);
        if (c.preserveAlpha) {
          const float* self = &scratch[(static_cast<size_t>(y) * w + x) * 4];
          alignas(16) float lanes[4];
          _mm_store_ps(lanes, v);
          lanes[3] = self[3];
          v = _mm_load_ps(lanes);
        }
        area.pixels[static_cast<size_t>(y) * area.stride + x] = PremultiplyLanes(v);
      }
      const int vectorFrom = std::max(insideFrom, 0), vectorTo = x;
#else
      const int vectorFrom = 0, vectorTo = 0;
#endif
      for (x = 0; x < w; ++x) {
        if (x >= vectorFrom && x < vectorTo) continue;
        float sum[4] = {0, 0, 0, 0};
        if (rowInside && x >= insideFrom && x < insideTo) {
          const float* k = c.matrix;
          for (int j = 0; j < c.rows; ++j) {
            const float* s = &scratch[(static_cast<size_t>(y + j - cy) * w + (x - cx)) * 4];
            for (int i = 0; i < c.columns; ++i, s += 4, ++k) {
              for (int n = 0; n < 4; ++n) sum[n] += s[n] * *k;
            }
          }
        } else {
          for (int j = 0; j < c.rows; ++j) {
            int sy = y + j - cy;
            const bool outY = sy < 0 || sy >= h;
            if (c.clamp) sy = std::clamp(sy, 0, h - 1);
            for (int i = 0; i < c.columns; ++i) {
              int sx = x + i - cx;
              const bool out = outY || sx < 0 || sx >= w;
              if (c.clamp) sx = std::clamp(sx, 0, w - 1);
              const float* s =
                  out && !c.clamp ? outside : &scratch[(static_cast<size_t>(sy) * w + sx) * 4];
              const float k = c.matrix[j * c.columns + i];
              for (int n = 0; n < 4; ++n) sum[n] += s[n] * k;
            }
          }
        }
        const float* self = &scratch[(static_cast<size_t>(y) * w + x) * 4];
        auto value = [&](int n) { return sum[n] / divisor + c.bias; };
        area.pixels[static_cast<size_t>(y) * area.stride + x] =
            Premultiply({value(0), value(1), value(2), c.preserveAlpha ? self[3] : value(3)});
      }
    }
  });
}

}  // namespace orrivel::swf::raster
