#include "swf/video/yuv.h"

#include <algorithm>
#include <cstring>

#include "swf/raster/simd.h"

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

#ifdef ORRIVEL_SSE2
// The same sums eight pixels at a time, exactly: each product of a sample by
// a factor of up to 18 bits is split into two 16-bit products that one
// multiply-add joins (76309 Y = 32767 2Y + 10775 Y, 104597 V = 26149 4V + V,
// 132201 U = 26440 5U + U, 53279 V = 26640 2V - V). Returns where the scalar
// loop goes on.
int ConvertRow8(const uint8_t* ys, const uint8_t* us, const uint8_t* vs, uint32_t* dst, int x0,
                int x1) {
  const __m128i zero = _mm_setzero_si128();
  // Factors for the pairs (first, second) that _mm_madd_epi16 multiplies.
  const auto factors = [](int first, int second) {
    return _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(second) << 16 |
                                           (static_cast<uint32_t>(first) & 0xFFFF)));
  };
  const __m128i lumaF = factors(32767, 10775);
  const __m128i redF = factors(26149, 1);
  const __m128i blueF = factors(26440, 1);
  const __m128i greenF = factors(-25675, -26640);
  const __m128i oneF = factors(1, 0);
  const __m128i half = _mm_set1_epi32(kHalf);
  const __m128i c16 = _mm_set1_epi16(16), c128 = _mm_set1_epi16(128);
  const __m128i alpha = _mm_set1_epi8(static_cast<char>(0xFF));
  int x = x0;
  for (; x + 8 <= x1; x += 8) {
    int32_t u4, v4;
    std::memcpy(&u4, us + x / 2, 4);
    std::memcpy(&v4, vs + x / 2, 4);
    const __m128i yv = _mm_sub_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(ys + x)), zero), c16);
    const __m128i uv = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), zero), c128);
    const __m128i vv = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v4), zero), c128);
    const __m128i y2 = _mm_add_epi16(yv, yv);
    const __m128i lumaLo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(y2, yv), lumaF), half);
    const __m128i lumaHi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(y2, yv), lumaF), half);
    const __m128i v2 = _mm_add_epi16(vv, vv);
    const __m128i v4x = _mm_add_epi16(v2, v2);
    const __m128i u5 = _mm_add_epi16(_mm_slli_epi16(uv, 2), uv);
    // Per chroma sample (four), then each repeated for its two pixels.
    const __m128i red = _mm_madd_epi16(_mm_unpacklo_epi16(v4x, vv), redF);
    const __m128i blue = _mm_madd_epi16(_mm_unpacklo_epi16(u5, uv), blueF);
    const __m128i green = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(uv, v2), greenF),
                                        _mm_madd_epi16(_mm_unpacklo_epi16(vv, zero), oneF));
    const auto channel = [&](__m128i c) {
      const __m128i lo = _mm_srai_epi32(_mm_add_epi32(lumaLo, _mm_unpacklo_epi32(c, c)), 16);
      const __m128i hi = _mm_srai_epi32(_mm_add_epi32(lumaHi, _mm_unpackhi_epi32(c, c)), 16);
      const __m128i w = _mm_packs_epi32(lo, hi);
      return _mm_packus_epi16(w, w);  // held to 0..255 as the scalar Clamp8
    };
    const __m128i bg = _mm_unpacklo_epi8(channel(blue), channel(green));
    const __m128i ra = _mm_unpacklo_epi8(channel(red), alpha);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_unpacklo_epi16(bg, ra));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x + 4), _mm_unpackhi_epi16(bg, ra));
  }
  return x;
}
#endif

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
    int x = x0;
#ifdef ORRIVEL_SSE2
    x = ConvertRow8(ys, us, vs, dst, x0, x1);
#endif
    // Each chroma sample covers two pixels of the row.
    for (; x < x1; x += 2) {
      const int u = us[x / 2], v = vs[x / 2];
      const int r = kTerms.red[v], g = kTerms.greenU[u] + kTerms.greenV[v], b = kTerms.blue[u];
      dst[x] = Pixel(kTerms.luma[ys[x]], r, g, b);
      if (x + 1 < x1) dst[x + 1] = Pixel(kTerms.luma[ys[x + 1]], r, g, b);
    }
  }
}

}  // namespace orrivel::swf::video
