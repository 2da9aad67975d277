// Row loops of source-over compositing, the hot path of every fill. Results
// equal SrcOver and ScalePixel from pixel.h bit for bit; SSE2 handles four
// pixels at a time where the compiler targets it.
#pragma once

#include <cstdint>

namespace orrivel::swf::raster {

// The vector width of the row loops: the widest the processor has unless a
// caller (a test, a comparison run) asks for less. Every level gives the
// same pixels.
enum class SimdLevel : uint8_t { Scalar, Sse2, Avx2 };
SimdLevel BestSimd();
SimdLevel ActiveSimd();
void UseSimd(SimdLevel level);  // clamped to BestSimd()
const char* SimdName(SimdLevel level);

// dst[i] = src (an opaque colour needs no blending).
void FillSolid(uint32_t* dst, int n, uint32_t src);
// dst[i] = SrcOver(dst[i], src).
void BlendSolid(uint32_t* dst, int n, uint32_t src);
// dst[i] = SrcOver(dst[i], ScalePixel(src, cov[i])).
void BlendSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov);
// dst[i] = SrcOver(dst[i], ScalePixel(src[i], cov)), cov constant.
void BlendSpan(uint32_t* dst, int n, const uint32_t* src, uint8_t cov);
// dst[i] = SrcOver(dst[i], ScalePixel(src[i], cov[i])).
void BlendSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov);

// out[i] = (left[i] * (256 - w[i]) + right[i] * w[i]) / 256 per channel;
// out may alias left.
void LerpRow(uint32_t* out, const uint32_t* left, const uint32_t* right, const uint8_t* w, int n);

// Saturating dst[i] += ScalePixel(src, cov[i]) and dst[i] += ScalePixel(src[i], cov[i]).
void AddSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov);
void AddSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov);

}  // namespace orrivel::swf::raster
