#include "swf/video/yuv.h"

#include <algorithm>
#include <cstring>

namespace orrivel::swf::video {

void Plane::Resize(int w, int h, int pad) {
  width = w;
  height = h;
  border = pad;
  stride = w + 2 * pad;
  data.assign(static_cast<size_t>(stride) * (h + 2 * pad), 0);
}

void Plane::ExtendEdges() {
  if (width <= 0 || height <= 0) return;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = Row(y);
    std::memset(row - border, row[0], border);
    std::memset(row + width, row[width - 1], border);
  }
  const uint8_t* top = Row(0) - border;
  const uint8_t* bottom = Row(height - 1) - border;
  for (int y = 1; y <= border; ++y) {
    std::memcpy(Row(-y) - border, top, stride);
    std::memcpy(Row(height - 1 + y) - border, bottom, stride);
  }
}

void YuvPicture::Resize(int codedWidth, int codedHeight, int lumaBorder) {
  y.Resize(codedWidth, codedHeight, lumaBorder);
  u.Resize(codedWidth / 2, codedHeight / 2, lumaBorder / 2);
  v.Resize(codedWidth / 2, codedHeight / 2, lumaBorder / 2);
}

namespace {

// Fixed point with 16 fraction bits: 255/219 for luma, and the BT.601
// chroma factors scaled to 224 steps.
constexpr int kLuma = 76309;    // 1.164383
constexpr int kRedV = 104597;   // 1.596027
constexpr int kGreenU = 25675;  // 0.391762
constexpr int kGreenV = 53279;  // 0.812968
constexpr int kBlueU = 132201;  // 2.017232
constexpr int kHalf = 1 << 15;

// Per-sample terms of the conversion, so each pixel costs three additions.
struct Terms {
  int luma[256], red[256], greenU[256], greenV[256], blue[256];
  Terms() {
    for (int i = 0; i < 256; ++i) {
      luma[i] = (i - 16) * kLuma + kHalf;
      red[i] = kRedV * (i - 128);
      greenU[i] = -kGreenU * (i - 128);
      greenV[i] = -kGreenV * (i - 128);
      blue[i] = kBlueU * (i - 128);
    }
  }
};

const Terms kTerms;

// v >> 16 held to 0..255 without branches: negatives clear to 0, values
// past 255 fill to all ones and are masked.
inline uint32_t Clamp8(int v) {
  v >>= 16;
  v &= ~(v >> 31);
  v |= (255 - v) >> 31;
  return static_cast<uint32_t>(v) & 0xFF;
}

inline uint32_t Pixel(int l, int r, int g, int b) {
  return 0xFF000000u | Clamp8(l + r) << 16 | Clamp8(l + g) << 8 | Clamp8(l + b);
}

}  // namespace

void YuvToBgra(const YuvPicture& pic, int width, int height, raster::Image& out) {
  width = std::clamp(width, 0, pic.y.width);
  height = std::clamp(height, 0, pic.y.height);
  out.width = width;
  out.height = height;
  if (out.pixels.size() != static_cast<size_t>(width) * height)
    out.pixels.assign(static_cast<size_t>(width) * height, 0);
  YuvToBgraRect(pic, 0, 0, width, height, out);
}

void YuvToBgraRect(const YuvPicture& pic, int x0, int y0, int x1, int y1, raster::Image& out) {
  x0 = std::max(x0 & ~1, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, out.width);
  y1 = std::min(y1, out.height);
  const int width = out.width;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* ys = pic.y.Row(y);
    const uint8_t* us = pic.u.Row(y / 2);
    const uint8_t* vs = pic.v.Row(y / 2);
    uint32_t* dst = out.pixels.data() + static_cast<size_t>(y) * width;
    // Each chroma sample covers two pixels of the row.
    for (int x = x0; x < x1; x += 2) {
      const int u = us[x / 2], v = vs[x / 2];
      const int r = kTerms.red[v], g = kTerms.greenU[u] + kTerms.greenV[v], b = kTerms.blue[u];
      dst[x] = Pixel(kTerms.luma[ys[x]], r, g, b);
      if (x + 1 < x1) dst[x + 1] = Pixel(kTerms.luma[ys[x + 1]], r, g, b);
    }
  }
}

}  // namespace orrivel::swf::video
