#include "picturesaver/downscale.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

namespace orrivel {
namespace {

// sRGB transfer curve, both ways. Encoding goes through a 16-bit grid, fine
// enough that every 8-bit value survives a round trip.
constexpr int kLinearSteps = 65535;

struct TransferTables {
  float toLinear[256];
  uint8_t toSrgb[kLinearSteps + 1];

  TransferTables() {
    for (int i = 0; i < 256; ++i) {
      double c = i / 255.0;
      toLinear[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
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
  std::vector<int> first;      // per target sample
  std::vector<int> offset;     // per target sample, into weights; one extra at the end
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

bool RowIsOpaque(const uint8_t* src, int width) {
  unsigned all = 0xFF;
  for (int x = 0; x < width; ++x) all &= src[x * 4 + 3];
  return all == 0xFF;
}

// One source row into linear, premultiplied floats (B, G, R, A per pixel).
void RowToLinear(const uint8_t* src, int width, float* out, const float* toLinear) {
  for (int x = 0; x < width; ++x, src += 4, out += 4) {
    unsigned a = src[3];
    if (a == 255) {
      out[0] = toLinear[src[0]];
      out[1] = toLinear[src[1]];
      out[2] = toLinear[src[2]];
      out[3] = 1.0f;
    } else if (a == 0) {
      out[0] = out[1] = out[2] = out[3] = 0.0f;
    } else {
      // Premultiplied in sRGB: undo it, linearise, premultiply again.
      float alpha = a * (1.0f / 255.0f);
      for (int c = 0; c < 3; ++c) {
        unsigned straight = std::min(255u, (src[c] * 255u + a / 2) / a);
        out[c] = toLinear[straight] * alpha;
      }
      out[3] = alpha;
    }
  }
}

// Horizontal pass over one source row, straight from the 8-bit pixels. Most
// photos are opaque throughout, so that case skips the alpha work.
void FilterOpaqueRow(const uint8_t* src, const AxisTaps& taps, int dstWidth, float* out,
                     const float* toLinear) {
  const float* w = taps.weights.data();
  for (int d = 0; d < dstWidth; ++d, out += 4) {
    const uint8_t* p = src + static_cast<size_t>(taps.first[d]) * 4;
    float b = 0, g = 0, r = 0;
    for (int k = taps.offset[d], end = taps.offset[d + 1]; k < end; ++k, p += 4) {
      b += w[k] * toLinear[p[0]];
      g += w[k] * toLinear[p[1]];
      r += w[k] * toLinear[p[2]];
    }
    out[0] = b, out[1] = g, out[2] = r, out[3] = 1.0f;
  }
}

void FilterLinearRow(const float* linear, const AxisTaps& taps, int dstWidth, float* out) {
  const float* w = taps.weights.data();
  for (int d = 0; d < dstWidth; ++d, out += 4) {
    const float* p = linear + static_cast<size_t>(taps.first[d]) * 4;
    float sum[4] = {0, 0, 0, 0};
    for (int k = taps.offset[d], end = taps.offset[d + 1]; k < end; ++k, p += 4) {
      for (int c = 0; c < 4; ++c) sum[c] += w[k] * p[c];
    }
    for (int c = 0; c < 4; ++c) out[c] = sum[c];
  }
}

void Accumulate(float* __restrict acc, const float* __restrict row, float weight, size_t count) {
  for (size_t i = 0; i < count; ++i) acc[i] += weight * row[i];
}

// A finished target row of linear sums back to 8-bit premultiplied sRGB.
void EmitRow(const float* acc, int dstWidth, uint8_t* out, const uint8_t* toSrgb) {
  for (int d = 0; d < dstWidth; ++d, out += 4, acc += 4) {
    float alpha = std::clamp(acc[3], 0.0f, 1.0f);
    unsigned a8 = static_cast<unsigned>(alpha * 255.0f + 0.5f);
    if (a8 == 0) {
      std::memset(out, 0, 4);
      continue;
    }
    float unpremultiply = kLinearSteps / alpha;
    for (int c = 0; c < 3; ++c) {
      float v = std::clamp(acc[c] * unpremultiply + 0.5f, 0.0f, static_cast<float>(kLinearSteps));
      unsigned c8 = toSrgb[static_cast<int>(v)];
      out[c] = static_cast<uint8_t>(a8 == 255 ? c8 : (c8 * a8 + 127) / 255);
    }
    out[3] = static_cast<uint8_t>(a8);
  }
}

}  // namespace

std::optional<Bitmap> Downscale(const BitmapView& src, int targetWidth, int targetHeight) {
  if (!src.Valid() || targetWidth < 1 || targetHeight < 1) return std::nullopt;
  const int dstWidth = std::min(targetWidth, src.width);
  const int dstHeight = std::min(targetHeight, src.height);
  Bitmap out;
  try {
    out.width = dstWidth;
    out.height = dstHeight;
    out.pixels.resize(out.Stride() * dstHeight);
    if (dstWidth == src.width && dstHeight == src.height) {
      for (int y = 0; y < dstHeight; ++y) std::memcpy(out.Row(y), src.Row(y), out.Stride());
      return out;
    }
    const TransferTables& tables = Tables();
    const AxisTaps xTaps = BuildTaps(src.width, dstWidth);
    const double yScale = static_cast<double>(src.height) / dstHeight;
    const size_t rowFloats = static_cast<size_t>(dstWidth) * 4;
    std::vector<float> linear, filtered(rowFloats), current(rowFloats, 0.0f), next(rowFloats, 0.0f);

    // Horizontal pass first, straight from the source pixels, so that the
    // vertical sums run over short rows that stay in the first-level cache.
    // Every source row is read once and added into the one or two target
    // rows it overlaps.
    int dstY = 0;
    for (int y = 0; y < src.height && dstY < dstHeight; ++y) {
      const uint8_t* row = src.Row(y);
      if (RowIsOpaque(row, src.width)) {
        FilterOpaqueRow(row, xTaps, dstWidth, filtered.data(), tables.toLinear);
      } else {
        linear.resize(static_cast<size_t>(src.width) * 4);
        RowToLinear(row, src.width, linear.data(), tables.toLinear);
        FilterLinearRow(linear.data(), xTaps, dstWidth, filtered.data());
      }
      double rowEnd = (dstY + 1) * yScale;  // where target row dstY ends, in source rows
      double inside = std::min(1.0, rowEnd - y);
      bool finishes = y + 1 >= rowEnd - 1e-9 || y + 1 == src.height;
      Accumulate(current.data(), filtered.data(), static_cast<float>(inside / yScale), rowFloats);
      if (!finishes) continue;
      double spill = 1.0 - inside;
      if (spill > 1e-9 && dstY + 1 < dstHeight) {
        Accumulate(next.data(), filtered.data(), static_cast<float>(spill / yScale), rowFloats);
      }
      EmitRow(current.data(), dstWidth, out.Row(dstY), tables.toSrgb);
      current.swap(next);
      std::fill(next.begin(), next.end(), 0.0f);
      ++dstY;
    }
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  return out;
}

}  // namespace orrivel
