#include "swf/video/idct.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "swf/raster/simd.h"

namespace orrivel::swf::video {
namespace {

// One dimension splits into an even half (frequencies 0, 2, 4, 6: two
// rotations) and an odd half (1, 3, 5, 7: a 4x4 product); output n and 7-n
// are their sum and difference.
struct Factors {
  float c4, c2, c6;
  float odd[4][4];  // odd[n][j] = cos((2n+1)(2j+1) pi / 16) / 2
  Factors() {
    c4 = static_cast<float>(std::sqrt(0.5) / 2);
    c2 = static_cast<float>(std::cos(std::numbers::pi / 8) / 2);
    c6 = static_cast<float>(std::cos(3 * std::numbers::pi / 8) / 2);
    for (int n = 0; n < 4; ++n) {
      for (int j = 0; j < 4; ++j) {
        odd[n][j] =
            static_cast<float>(std::cos((2 * n + 1) * (2 * j + 1) * std::numbers::pi / 16) / 2);
      }
    }
  }
};

const Factors kF;

// in[k * step] for k = 0..7 into out[n * step].
template <typename In>
inline void Transform8(const In* in, int inStep, float* out, int outStep) {
  const float f0 = static_cast<float>(in[0]), f1 = static_cast<float>(in[inStep]);
  const float f2 = static_cast<float>(in[2 * inStep]), f3 = static_cast<float>(in[3 * inStep]);
  const float f4 = static_cast<float>(in[4 * inStep]), f5 = static_cast<float>(in[5 * inStep]);
  const float f6 = static_cast<float>(in[6 * inStep]), f7 = static_cast<float>(in[7 * inStep]);
  const float a = kF.c4 * (f0 + f4), b = kF.c4 * (f0 - f4);
  const float t2 = kF.c2 * f2 + kF.c6 * f6, t3 = kF.c6 * f2 - kF.c2 * f6;
  const float e[4] = {a + t2, b + t3, b - t3, a - t2};
  for (int n = 0; n < 4; ++n) {
    const float* o = kF.odd[n];
    const float odd = o[0] * f1 + o[1] * f3 + o[2] * f5 + o[3] * f7;
    out[n * outStep] = e[n] + odd;
    out[(7 - n) * outStep] = e[n] - odd;
  }
}

// Halves away from zero, as lround, without the library call.
inline int Round(float v) { return static_cast<int>(v >= 0 ? v + 0.5f : v - 0.5f); }

// Transform8 down every column at once: the same operations in the same
// order for each column, written across the columns so that the vectoriser
// handles eight of them together.
void ColumnPass(const float* tmp, int16_t* block) {
  const float* f0 = tmp;
  const float* f1 = tmp + 8;
  const float* f2 = tmp + 16;
  const float* f3 = tmp + 24;
  const float* f4 = tmp + 32;
  const float* f5 = tmp + 40;
  const float* f6 = tmp + 48;
  const float* f7 = tmp + 56;
  float e[4][8], odd[4][8];
  for (int x = 0; x < 8; ++x) {
    const float a = kF.c4 * (f0[x] + f4[x]), b = kF.c4 * (f0[x] - f4[x]);
    const float t2 = kF.c2 * f2[x] + kF.c6 * f6[x], t3 = kF.c6 * f2[x] - kF.c2 * f6[x];
    e[0][x] = a + t2;
    e[1][x] = b + t3;
    e[2][x] = b - t3;
    e[3][x] = a - t2;
  }
  for (int n = 0; n < 4; ++n) {
    const float* o = kF.odd[n];
    for (int x = 0; x < 8; ++x)
      odd[n][x] = o[0] * f1[x] + o[1] * f3[x] + o[2] * f5[x] + o[3] * f7[x];
  }
#ifdef ORRIVEL_SSE2
  // Round as Round does (half away from zero), clamp before truncating (the
  // same result for every value), four columns at a time.
  const __m128 sign = _mm_set1_ps(-0.0f), halfF = _mm_set1_ps(0.5f);
  const __m128 lo = _mm_set1_ps(-2048.0f), hi = _mm_set1_ps(2047.0f);
  const auto toInt = [&](__m128 v) {
    const __m128 w = _mm_add_ps(v, _mm_or_ps(halfF, _mm_and_ps(v, sign)));
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(w, lo), hi));
  };
  for (int n = 0; n < 4; ++n) {
    const __m128 e0 = _mm_loadu_ps(e[n]), e1 = _mm_loadu_ps(e[n] + 4);
    const __m128 o0 = _mm_loadu_ps(odd[n]), o1 = _mm_loadu_ps(odd[n] + 4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + n * 8),
                     _mm_packs_epi32(toInt(_mm_add_ps(e0, o0)), toInt(_mm_add_ps(e1, o1))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + (7 - n) * 8),
                     _mm_packs_epi32(toInt(_mm_sub_ps(e0, o0)), toInt(_mm_sub_ps(e1, o1))));
  }
#else
  for (int n = 0; n < 4; ++n) {
    int16_t* top = block + n * 8;
    int16_t* bottom = block + (7 - n) * 8;
    for (int x = 0; x < 8; ++x) {
      top[x] = static_cast<int16_t>(std::clamp(Round(e[n][x] + odd[n][x]), -2048, 2047));
      bottom[x] = static_cast<int16_t>(std::clamp(Round(e[n][x] - odd[n][x]), -2048, 2047));
    }
  }
#endif
}

}  // namespace

void InverseDct(int16_t block[64]) {
  // Rows first, skipping the empty ones (most are) and shortening those with
  // only their first coefficient, then columns.
  enum RowKind : uint8_t { kEmpty, kFirstOnly, kFull };
  float tmp[64];
  RowKind kinds[8];
  bool any = false, onlyDc = block[0] != 0;
  for (int v = 0; v < 8; ++v) {
    const int16_t* in = block + v * 8;
    const bool rest = (in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7]) != 0;
    kinds[v] = rest ? kFull : in[0] != 0 ? kFirstOnly : kEmpty;
    any |= kinds[v] != kEmpty;
    if (v > 0 ? kinds[v] != kEmpty : rest) onlyDc = false;
  }
  if (!any) return;
  if (onlyDc) {  // flat: DC / 8
    const auto dc = static_cast<int16_t>(Round(block[0] / 8.0f));
    std::fill(block, block + 64, dc);
    return;
  }
  for (int v = 0; v < 8; ++v) {
    float* out = tmp + v * 8;
    if (kinds[v] == kFull) {
      Transform8(block + v * 8, 1, out, 1);
    } else {
      // Transform8 of (f0, 0, ..., 0): every other term adds zero exactly.
      std::fill(out, out + 8, kinds[v] == kEmpty ? 0.0f : kF.c4 * static_cast<float>(block[v * 8]));
    }
  }
  ColumnPass(tmp, block);
}

void AddBlock(const int16_t residual[64], const uint8_t* src, int srcStride, uint8_t* dst,
              int dstStride) {
#ifdef ORRIVEL_SSE2
  // Sums fit 16 bits (residuals are held to +-2048); the saturating pack is
  // the clamp to 0..255.
  const __m128i zero = _mm_setzero_si128();
  for (int y = 0; y < 8; ++y) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(residual + y * 8));
    if (src != nullptr) {
      const __m128i base = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + y * srcStride));
      v = _mm_add_epi16(v, _mm_unpacklo_epi8(base, zero));
    }
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + y * dstStride), _mm_packus_epi16(v, v));
  }
#else
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int base = src != nullptr ? src[y * srcStride + x] : 0;
      dst[y * dstStride + x] = static_cast<uint8_t>(std::clamp(base + residual[y * 8 + x], 0, 255));
    }
  }
#endif
}

}  // namespace orrivel::swf::video
