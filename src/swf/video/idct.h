// The 8x8 inverse DCT of the block-based video codecs, accurate to the
// IEEE 1180 bounds, rounded to integers.
#pragma once

#include <cstdint>

namespace orrivel::swf::video {

// Transforms coefficients (row-major, frequencies) in place into samples.
void InverseDct(int16_t block[64]);

// dst = clamp(src + residual), or clamp(residual) when src is null.
void AddBlock(const int16_t residual[64], const uint8_t* src, int srcStride, uint8_t* dst,
              int dstStride);

}  // namespace orrivel::swf::video
