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

inline uint32_t Clamp8(int v) { return static_cast<uint32_t>(std::clamp(v >> 16, 0, 255)); }

}  // namespace

void YuvToBgra(const YuvPicture& pic, int width, int height, raster::Image& out) {
  width = std::clamp(width, 0, pic.y.width);
  height = std::clamp(height, 0, pic.y.height);
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    const uint8_t* ys = pic.y.Row(y);
    const uint8_t* us = pic.u.Row(y / 2);
    const uint8_t* vs = pic.v.Row(y / 2);
    uint32_t* dst = out.pixels.data() + static_cast<size_t>(y) * width;
    for (int x = 0; x < width; ++x) {
      const int l = (ys[x] - 16) * kLuma + kHalf;
      const int u = us[x / 2] - 128, v = vs[x / 2] - 128;
      dst[x] = 0xFF000000u | Clamp8(l + kRedV * v) << 16 |
               Clamp8(l - kGreenU * u - kGreenV * v) << 8 | Clamp8(l + kBlueU * u);
    }
  }
}

}  // namespace orrivel::swf::video
