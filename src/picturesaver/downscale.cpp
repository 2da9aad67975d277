#include "picturesaver/downscale.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace orrivel {
namespace {

// sRGB transfer curve, both ways. Encoding goes through a 14-bit grid, fine
// enough that every 8-bit value survives a round trip.
constexpr int kLinearSteps = 16383;

struct TransferTables {
  float toLinear[256];
  uint8_t toSrgb[kLinearSteps + 1];

  TransferTables() {
    for (int i = 0; i < 256; ++i) {
      double c = i / 255.0;
      toLinear[i] =
          static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    for (int i = 0; i <= kLinearSteps; ++i) {
      double l = static_cast<double>(i) / kLinearSteps;
      double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
      toSrgb[i] = static_cast<uint8_t>(std::clamp(std::lround(c * 255.0), 0L, 255L));
    }
  }
};

const TransferTables& Tables() {
  static const TransferTables tables;
  return tables;
}

// For one axis: which source samples make up each target sample, and with
// what weights (the covered fraction of each, divided by the footprint).
struct AxisTaps {
  std::vector<int> first;   // per target sample
  std::vector<int> offset;  // per target sample, into weights; one extra at the end
  std::vector<float> weights;
};

AxisTaps BuildTaps(int srcSize, int dstSize) {
  AxisTaps taps;
  double scale = static_cast<double>(srcSize) / dstSize;
  taps.first.resize(dstSize);
  taps.offset.resize(dstSize + 1);
  for (int d = 0; d < dstSize; ++d) {
    double lo = d * scale, hi = std::min((d + 1) * scale, static_cast<double>(srcSize));
    int s0 = static_cast<int>(std::floor(lo));
    int s1 = std::min(srcSize, static_cast<int>(std::ceil(hi)));
    taps.first[d] = s0;
    taps.offset[d] = static_cast<int>(taps.weights.size());
    double total = 0;
    size_t start = taps.weights.size();
    for (int s = s0; s < s1; ++s) {
      double w = std::min<double>(s + 1, hi) - std::max<double>(s, lo);
      taps.weights.push_back(static_cast<float>(w));
      total += w;
    }
    for (size_t i = start; i < taps.weights.size(); ++i) {
      taps.weights[i] = static_cast<float>(taps.weights[i] / total);
    }
  }
  taps.offset[dstSize] = static_cast<int>(taps.weights.size());
  return taps;
}

// One pixel's four channels (B, G, R, A) in linear light, premultiplied; the
// compiler maps it onto one SIMD register where there is one.
using Vec4 = float __attribute__((vector_size(16)));

// One source row into linear, premultiplied pixels.
void RowToLinear(const uint8_t* src, int width, Vec4* out, const float* toLinear) {
  for (int x = 0; x < width; ++x, src += 4) {
    unsigned a = src[3];
    if (a == 255) {
      out[x] = Vec4{toLinear[src[0]], toLinear[src[1]], toLinear[src[2]], 1.0f};
    } else if (a == 0) {
      out[x] = Vec4{0, 0, 0, 0};
    } else {
      // Premultiplied in sRGB: undo it, linearise, premultiply again.
      float alpha = a * (1.0f / 255.0f);
      float c[3];
      for (int i = 0; i < 3; ++i) c[i] = toLinear[std::min(255u, (src[i] * 255u + a / 2) / a)];
      out[x] = Vec4{c[0], c[1], c[2], 1.0f} * alpha;
    }
  }
}

// Horizontal pass over one source row straight from its 8-bit pixels, as if
// all were opaque (most photos are). Returns false when one was not; the
// caller then filters the row again the general way.
bool FilterOpaqueRow(const uint8_t* src, const AxisTaps& taps, int dstWidth, Vec4* out,
                     const float* toLinear) {
  uint32_t all = 0xFFFFFFFFu;
  for (int d = 0; d < dstWidth; ++d) {
    const uint8_t* p = src + static_cast<size_t>(taps.first[d]) * 4;
    const int k0 = taps.offset[d], n = taps.offset[d + 1] - k0;
    const float* w = taps.weights.data() + k0;
    // Only the two edge samples carry their own weight; the whole ones
    // between share one, so they are summed first. Channels stay in scalars:
    // packing each pixel into a vector costs more than it saves.
    uint32_t v;
    std::memcpy(&v, p, 4);  // little-endian: B, G, R, A from the low byte up
    all &= v;
    float b = w[0] * toLinear[v & 0xFF], g = w[0] * toLinear[v >> 8 & 0xFF],
          r = w[0] * toLinear[v >> 16 & 0xFF];
    if (n > 1) {
      float ib = 0, ig = 0, ir = 0;
      for (int k = 1; k < n - 1; ++k) {
        std::memcpy(&v, p + k * 4, 4);
        all &= v;
        ib += toLinear[v & 0xFF];
        ig += toLinear[v >> 8 & 0xFF];
        ir += toLinear[v >> 16 & 0xFF];
      }
      std::memcpy(&v, p + (n - 1) * 4, 4);
      all &= v;
      const float last = w[n - 1], inner = n > 2 ? w[1] : 0.0f;
      b += last * toLinear[v & 0xFF] + inner * ib;
      g += last * toLinear[v >> 8 & 0xFF] + inner * ig;
      r += last * toLinear[v >> 16 & 0xFF] + inner * ir;
    }
    out[d] = Vec4{b, g, r, 1.0f};
  }
  return (all >> 24) == 0xFF;
}

void FilterLinearRow(const Vec4* linear, const AxisTaps& taps, int dstWidth, Vec4* out) {
  const float* w = taps.weights.data();
  for (int d = 0; d < dstWidth; ++d) {
    const Vec4* p = linear + taps.first[d];
    Vec4 sum{0, 0, 0, 0};
    for (int k = taps.offset[d], end = taps.offset[d + 1]; k < end; ++k, ++p) sum += w[k] * *p;
    out[d] = sum;
  }
}

void Accumulate(Vec4* __restrict acc, const Vec4* __restrict row, float weight, int count) {
  for (int i = 0; i < count; ++i) acc[i] += weight * row[i];
}

// A finished target row of linear sums back to 8-bit premultiplied sRGB.
void EmitRow(const Vec4* acc, int dstWidth, uint8_t* out, const uint8_t* toSrgb) {
  for (int d = 0; d < dstWidth; ++d, out += 4) {
    Vec4 v = acc[d];
    float alpha = std::clamp(v[3], 0.0f, 1.0f);
    unsigned a8 = static_cast<unsigned>(alpha * 255.0f + 0.5f);
    if (a8 == 0) {
      std::memset(out, 0, 4);
      continue;
    }
    float unpremultiply = kLinearSteps / alpha;
    for (int c = 0; c < 3; ++c) {
      float level = std::clamp(v[c] * unpremultiply + 0.5f, 0.0f, static_cast<float>(kLinearSteps));
      unsigned c8 = toSrgb[static_cast<int>(level)];
      out[c] = static_cast<uint8_t>(a8 == 255 ? c8 : (c8 * a8 + 127) / 255);
    }
    out[3] = static_cast<uint8_t>(a8);
  }
}

}  // namespace

struct RowDownscaler::State {
  int srcWidth = 0, srcHeight = 0;
  bool copy = false;  // same size: rows are taken as they are
  AxisTaps xTaps;
  double yScale = 1;
  std::vector<Vec4> linear, filtered, current, next;
  int srcY = 0, dstY = 0;
  Bitmap out;
};

RowDownscaler::RowDownscaler() = default;
RowDownscaler::~RowDownscaler() = default;

bool RowDownscaler::Start(int srcWidth, int srcHeight, int targetWidth, int targetHeight) {
  state_.reset();
  if (srcWidth < 1 || srcHeight < 1 || targetWidth < 1 || targetHeight < 1) return false;
  try {
    auto s = std::make_unique<State>();
    s->srcWidth = srcWidth;
    s->srcHeight = srcHeight;
    s->out.width = std::min(targetWidth, srcWidth);
    s->out.height = std::min(targetHeight, srcHeight);
    s->out.pixels.resize(s->out.Stride() * s->out.height);
    s->copy = s->out.width == srcWidth && s->out.height == srcHeight;
    if (!s->copy) {
      s->xTaps = BuildTaps(srcWidth, s->out.width);
      s->yScale = static_cast<double>(srcHeight) / s->out.height;
      s->filtered.resize(s->out.width);
      s->current.resize(s->out.width);
      s->next.resize(s->out.width);
    }
    state_ = std::move(s);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool RowDownscaler::Done() const { return state_ && state_->srcY >= state_->srcHeight; }

bool RowDownscaler::AddRows(const BitmapView& rows) {
  if (!state_ || !rows.Valid() || rows.width != state_->srcWidth ||
      rows.height > state_->srcHeight - state_->srcY) {
    return false;
  }
  State& s = *state_;
  if (s.copy) {
    for (int y = 0; y < rows.height; ++y, ++s.srcY) {
      std::memcpy(s.out.Row(s.srcY), rows.Row(y), s.out.Stride());
    }
    return true;
  }
  const TransferTables& tables = Tables();
  const int dstWidth = s.out.width;
  // Horizontal pass first, straight from the source pixels, so that the
  // vertical sums run over short rows that stay in the first-level cache.
  // Every source row is read once and added into the one or two target
  // rows it overlaps.
  for (int i = 0; i < rows.height; ++i, ++s.srcY) {
    const uint8_t* row = rows.Row(i);
    if (!FilterOpaqueRow(row, s.xTaps, dstWidth, s.filtered.data(), tables.toLinear)) {
      s.linear.resize(s.srcWidth);
      RowToLinear(row, s.srcWidth, s.linear.data(), tables.toLinear);
      FilterLinearRow(s.linear.data(), s.xTaps, dstWidth, s.filtered.data());
    }
    const int y = s.srcY;
    double rowEnd = (s.dstY + 1) * s.yScale;  // where target row dstY ends, in source rows
    double inside = std::min(1.0, rowEnd - y);
    bool finishes = y + 1 >= rowEnd - 1e-9 || y + 1 == s.srcHeight;
    Accumulate(s.current.data(), s.filtered.data(), static_cast<float>(inside / s.yScale),
               dstWidth);
    if (!finishes || s.dstY >= s.out.height) continue;
    double spill = 1.0 - inside;
    if (spill > 1e-9 && s.dstY + 1 < s.out.height) {
      Accumulate(s.next.data(), s.filtered.data(), static_cast<float>(spill / s.yScale), dstWidth);
    }
    EmitRow(s.current.data(), dstWidth, s.out.Row(s.dstY), tables.toSrgb);
    s.current.swap(s.next);
    std::fill(s.next.begin(), s.next.end(), Vec4{0, 0, 0, 0});
    ++s.dstY;
  }
  return true;
}

std::optional<Bitmap> RowDownscaler::Finish() {
  if (!Done()) return std::nullopt;
  Bitmap out = std::move(state_->out);
  state_.reset();
  return out;
}

std::optional<Bitmap> Downscale(const BitmapView& src, int targetWidth, int targetHeight) {
  if (!src.Valid()) return std::nullopt;
  RowDownscaler scaler;
  if (!scaler.Start(src.width, src.height, targetWidth, targetHeight)) return std::nullopt;
  scaler.AddRows(src);
  return scaler.Finish();
}

}  // namespace orrivel
