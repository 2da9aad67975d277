#include "swf/video/idct.h"

#include <algorithm>
#include <cmath>

namespace orrivel::swf::video {
namespace {

struct CosTable {
  float c[8][8];  // c[x][u] = C(u)/2 * cos((2x+1) u pi / 16)
  CosTable() {
    for (int x = 0; x < 8; ++x) {
      for (int u = 0; u < 8; ++u) {
        const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
        c[x][u] = static_cast<float>(cu / 2 * std::cos((2 * x + 1) * u * M_PI / 16));
      }
    }
  }
};

const CosTable kCos;

}  // namespace

void InverseDct(int16_t block[64]) {
  // Rows first, skipping the empty ones (most are), then columns.
  float tmp[64];
  bool anyRow[8];
  for (int v = 0; v < 8; ++v) {
    const int16_t* in = block + v * 8;
    int last = -1;
    for (int u = 0; u < 8; ++u) {
      if (in[u] != 0) last = u;
    }
    anyRow[v] = last >= 0;
    float* out = tmp + v * 8;
    if (last < 0) continue;
    for (int x = 0; x < 8; ++x) {
      float s = 0;
      for (int u = 0; u <= last; ++u) s += kCos.c[x][u] * in[u];
      out[x] = s;
    }
  }
  int lastRow = -1;
  for (int v = 0; v < 8; ++v) {
    if (anyRow[v]) lastRow = v;
  }
  if (lastRow < 0) return;  // all zero already
  for (int x = 0; x < 8; ++x) {
    for (int y = 0; y < 8; ++y) {
      float s = 0;
      for (int v = 0; v <= lastRow; ++v) {
        if (anyRow[v]) s += kCos.c[y][v] * tmp[v * 8 + x];
      }
      block[y * 8 + x] = static_cast<int16_t>(std::clamp(std::lround(s), -2048L, 2047L));
    }
  }
}

void AddBlock(const int16_t residual[64], const uint8_t* src, int srcStride, uint8_t* dst,
              int dstStride) {
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int base = src != nullptr ? src[y * srcStride + x] : 0;
      dst[y * dstStride + x] = static_cast<uint8_t>(std::clamp(base + residual[y * 8 + x], 0, 255));
    }
  }
}

}  // namespace orrivel::swf::video
