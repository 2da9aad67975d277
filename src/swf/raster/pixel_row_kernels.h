// The row loops of pixel_row.h in each vector width, for the dispatch in
// pixel_row.cpp. The avx2 ones may only run where avx2::Supported().
#pragma once

#include <cstdint>

#include "swf/raster/simd.h"

namespace orrivel::swf::raster {

#define ORRIVEL_ROW_KERNELS                                                              \
  void FillSolid(uint32_t* dst, int n, uint32_t src);                                    \
  void BlendSolid(uint32_t* dst, int n, uint32_t src);                                   \
  void BlendSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov);       \
  void BlendSpan(uint32_t* dst, int n, const uint32_t* src, uint8_t cov);                \
  void BlendSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov); \
  void LerpRow(uint32_t* out, const uint32_t* left, const uint32_t* right, const uint8_t* w, int n);

namespace scalar {
ORRIVEL_ROW_KERNELS
}  // namespace scalar

#ifdef ORRIVEL_SSE2
namespace sse2 {
ORRIVEL_ROW_KERNELS
}  // namespace sse2
#endif

#if ORRIVEL_AVX2_DISPATCH
namespace avx2 {
bool Supported();
void BlendSolid(uint32_t* dst, int n, uint32_t src);
void BlendSolidCoverage(uint32_t* dst, int n, uint32_t src, const uint8_t* cov);
void BlendSpan(uint32_t* dst, int n, const uint32_t* src, uint8_t cov);
void BlendSpanCoverage(uint32_t* dst, int n, const uint32_t* src, const uint8_t* cov);
void LerpRow(uint32_t* out, const uint32_t* left, const uint32_t* right, const uint8_t* w, int n);
}  // namespace avx2
#endif

#undef ORRIVEL_ROW_KERNELS

}  // namespace orrivel::swf::raster
