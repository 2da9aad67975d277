#include "swf/raster/sample_row.h"

#include <algorithm>

#include "swf/raster/pixel.h"
#include "swf/raster/pixel_row.h"
#include "swf/raster/simd.h"

namespace orrivel::swf::raster {
namespace {

template <uint32_t (*Blend)(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)>
void WalkBilinear(const TexelWalk& w, int n, uint32_t* out) {
  const int w1 = w.width - 1, h1 = w.height - 1;
  int64_t u = w.u, v = w.v;
  for (int i = 0; i < n; ++i, u += w.du, v += w.dv) {
    const int x0 = static_cast<int>(u >> 32), y0 = static_cast<int>(v >> 32);
    const int c0 = std::clamp(x0, 0, w1), c1 = std::clamp(x0 + 1, 0, w1);
    const uint32_t* row0 = w.pixels + size_t(std::clamp(y0, 0, h1)) * w.width;
    const uint32_t* row1 = w.pixels + size_t(std::clamp(y0 + 1, 0, h1)) * w.width;
    out[i] = Blend(row0[c0], row0[c1], row1[c0], row1[c1], static_cast<uint32_t>(u >> 24) & 0xFF,
                   static_cast<uint32_t>(v >> 24) & 0xFF);
  }
}

uint32_t LerpBoth(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t wx,
                  uint32_t wy) {
  return Lerp256(Lerp256(p00, p01, wy), Lerp256(p10, p11, wy), wx);
}

}  // namespace

namespace scalar {

void SampleNearest(const TexelWalk& w, int n, uint32_t* out) {
  const int w1 = w.width - 1, h1 = w.height - 1;
  int64_t u = w.u, v = w.v;
  for (int i = 0; i < n; ++i, u += w.du, v += w.dv) {
    const int cx = std::clamp(static_cast<int>(u >> 32), 0, w1);
    const int ry = std::clamp(static_cast<int>(v >> 32), 0, h1);
    out[i] = w.pixels[size_t(ry) * w.width + cx];
  }
}

void SampleBilinear(const TexelWalk& w, int n, uint32_t* out) { WalkBilinear<LerpBoth>(w, n, out); }

}  // namespace scalar

#ifdef ORRIVEL_SSE2
namespace sse2 {
void SampleBilinear(const TexelWalk& w, int n, uint32_t* out) { WalkBilinear<Bilerp>(w, n, out); }

}  // namespace sse2
#endif

#if !(defined(ORRIVEL_SSE2) && ORRIVEL_AVX2_DISPATCH)
namespace avx2 {
void SampleNearest(const TexelWalk& w, int n, uint32_t* out) { scalar::SampleNearest(w, n, out); }
void SampleBilinear(const TexelWalk& w, int n, uint32_t* out) { scalar::SampleBilinear(w, n, out); }
}  // namespace avx2
#endif

void SampleNearest(const TexelWalk& w, int n, uint32_t* out) {
  if (ActiveSimd() == SimdLevel::Avx2) return avx2::SampleNearest(w, n, out);
  scalar::SampleNearest(w, n, out);
}

void SampleBilinear(const TexelWalk& w, int n, uint32_t* out) {
  switch (ActiveSimd()) {
    case SimdLevel::Avx2:
      return avx2::SampleBilinear(w, n, out);
#ifdef ORRIVEL_SSE2
    case SimdLevel::Sse2:
      return sse2::SampleBilinear(w, n, out);
#endif
    default:
      return scalar::SampleBilinear(w, n, out);
  }
}

}  // namespace orrivel::swf::raster
