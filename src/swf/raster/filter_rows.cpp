// The shadow and bevel loops one pixel at a time, and the choice of width.
#include "swf/raster/filter_rows.h"

#include <array>
#include <cmath>

#include "swf/raster/pixel_row.h"

namespace orrivel::swf::raster {
namespace {

// Per alpha byte a: a / 255 and the weights of a / 255 and of 1 - a / 255,
// looked up instead of converted in the per-pixel loops.
struct AlphaTables {
  std::array<float, 256> fraction;
  std::array<uint16_t, 256> direct, inverse;
  AlphaTables() {
    for (uint32_t a = 0; a < 256; ++a) {
      fraction[a] = AlphaFraction(a);
      direct[a] = static_cast<uint16_t>(Weight(fraction[a]));
      inverse[a] = static_cast<uint16_t>(Weight(1 - fraction[a]));
    }
  }
};

const AlphaTables& Alphas() {
  static const AlphaTables tables;
  return tables;
}

}  // namespace

void AlphaRow(const uint32_t* row, uint8_t* out, int n) {
  int x = 0;
#if defined(ORRIVEL_SSE2)
  for (; x + 16 <= n; x += 16) {
    __m128i q[4];
    for (int i = 0; i < 4; ++i) {
      q[i] = _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 4 * i)), 24);
    }
    const __m128i words = _mm_packs_epi32(q[0], q[1]), more = _mm_packs_epi32(q[2], q[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(words, more));
  }
#endif
  for (; x < n; ++x) out[x] = static_cast<uint8_t>(row[x] >> 24);
}

namespace scalar {

void ShadowRow(uint32_t* row, const uint8_t* blur, int n, const ShadowStyle& s) {
  const AlphaTables& alphas = Alphas();
  for (int x = 0; x < n; ++x) {
    const uint32_t shadow = s.colors[blur[x]];
    const uint32_t src = row[x];
    const uint32_t sa = src >> 24;
    if (s.inner) {
      const uint32_t in = MixWeights(shadow, alphas.direct[sa], 0, 0);
      row[x] = s.knockout || s.hideObject ? in : MixWeights(in, 256, src, alphas.inverse[in >> 24]);
    } else if (s.knockout) {
      row[x] = MixWeights(shadow, alphas.inverse[sa], 0, 0);
    } else {
      row[x] = s.hideObject ? shadow : MixWeights(src, 256, shadow, alphas.inverse[sa]);
    }
  }
}

void BevelRow(uint32_t* row, const uint8_t* lit, const uint8_t* shaded, int n,
              const BevelStyle& b) {
  const AlphaTables& alphas = Alphas();
  for (int x = 0; x < n; ++x) {
    const float t = std::clamp((alphas.fraction[lit[x]] - alphas.fraction[shaded[x]]) * b.strength,
                               -1.0f, 1.0f);
    uint32_t bevel;
    if (b.gradient != nullptr) {
      bevel = b.gradient[static_cast<int>(std::lround(127.5f - t * 127.5f))];
    } else {
      bevel = t > 0 ? ScaleColor(b.highlight, t) : ScaleColor(b.shadow, -t);
    }
    const uint32_t src = row[x];
    const uint32_t sa = src >> 24;
    if (b.inner) {
      bevel = MixWeights(bevel, alphas.direct[sa], 0, 0);
    } else if (!b.onTop) {
      bevel = MixWeights(bevel, alphas.inverse[sa], 0, 0);
    }
    row[x] = b.knockout || b.hideObject ? bevel
                                        : MixWeights(bevel, 256, src, alphas.inverse[bevel >> 24]);
  }
}

}  // namespace scalar

void ShadowRow(uint32_t* row, const uint8_t* blur, int n, const ShadowStyle& s) {
#if ORRIVEL_AVX2_DISPATCH
  if (ActiveSimd() == SimdLevel::Avx2) return avx2::ShadowRow(row, blur, n, s);
#endif
  scalar::ShadowRow(row, blur, n, s);
}

void BevelRow(uint32_t* row, const uint8_t* lit, const uint8_t* shaded, int n,
              const BevelStyle& b) {
#if ORRIVEL_AVX2_DISPATCH
  if (ActiveSimd() == SimdLevel::Avx2) return avx2::BevelRow(row, lit, shaded, n, b);
#endif
  scalar::BevelRow(row, lit, shaded, n, b);
}

}  // namespace orrivel::swf::raster
