// FILTERLIST: the bitmap filters of a PlaceObject3 or a button record.
#include <algorithm>
#include <cmath>

#include "swf/format/tag_readers.h"

namespace orrivel::swf {
namespace {

// Flags byte shared by the shadow, glow and bevel filters.
constexpr uint8_t kFilterInner = 0x80;
constexpr uint8_t kFilterKnockout = 0x40;
constexpr uint8_t kFilterCompositeSource = 0x20;
constexpr uint8_t kFilterOnTop = 0x10;

float Clamped(float v, float lo, float hi) { return std::isfinite(v) ? std::clamp(v, lo, hi) : 0; }

// 16.16 fixed point.
float Fixed(ByteReader& r) { return static_cast<float>(static_cast<int32_t>(r.U32()) / 65536.0); }

void ReadBlur(ByteReader& r, Filter& f) {
  f.blurX = Clamped(Fixed(r), 0, Filter::kMaxBlur);
  f.blurY = Clamped(Fixed(r), 0, Filter::kMaxBlur);
}

void ReadOffset(ByteReader& r, Filter& f) {
  f.angle = Clamped(Fixed(r), -1e4f, 1e4f);
  f.distance = Clamped(Fixed(r), -Filter::kMaxDistance, Filter::kMaxDistance);
}

void ReadStrengthAndFlags(ByteReader& r, Filter& f, uint8_t passMask) {
  f.strength = Clamped(r.Fixed8(), 0, Filter::kMaxStrength);
  const uint8_t flags = r.U8();
  f.inner = (flags & kFilterInner) != 0;
  f.knockout = (flags & kFilterKnockout) != 0;
  f.hideObject = (flags & kFilterCompositeSource) == 0;
  f.onTop = passMask == 0x0F && (flags & kFilterOnTop) != 0;
  f.passes = std::min(flags & passMask, Filter::kMaxPasses);
}

void ReadGradient(ByteReader& r, Filter& f) {
  const unsigned count = r.U8();
  f.gradient.resize(count);
  for (GradientFilterStop& s : f.gradient) s.color = r.RgbaColor();
  for (GradientFilterStop& s : f.gradient) s.ratio = r.U8();
}

// False for a matrix too large to apply at an affordable cost; the reader
// then moves past it and drops the filter.
bool ReadConvolution(ByteReader& r, Filter& f) {
  const int columns = r.U8(), rows = r.U8();
  f.divisor = Clamped(r.F32(), -1e6f, 1e6f);
  f.bias = Clamped(r.F32(), -1e6f, 1e6f);
  const bool keep = columns <= Filter::kMaxConvolutionSide && rows <= Filter::kMaxConvolutionSide;
  if (keep) {
    f.columns = columns;
    f.rows = rows;
    f.matrix.resize(static_cast<size_t>(columns) * rows);
    for (float& v : f.matrix) v = Clamped(r.F32(), -1e6f, 1e6f);
  } else {
    r.Skip(static_cast<size_t>(columns) * rows * 4);
  }
  f.color = r.RgbaColor();
  const uint8_t flags = r.U8();
  f.clamp = (flags & 0x02) != 0;
  f.preserveAlpha = (flags & 0x01) != 0;
  return keep;
}

}  // namespace

FilterList ReadFilterList(ByteReader& r, Budget& budget) {
  FilterList list;
  const unsigned count = r.U8();
  for (unsigned i = 0; i < count && !r.Failed(); ++i) {
    Filter f;
    f.kind = static_cast<Filter::Kind>(r.U8());
    bool keep = true;
    switch (f.kind) {
      case Filter::Kind::DropShadow:
        f.color = r.RgbaColor();
        ReadBlur(r, f);
        ReadOffset(r, f);
        ReadStrengthAndFlags(r, f, 0x1F);
        break;
      case Filter::Kind::Blur: {
        ReadBlur(r, f);
        f.passes = std::min(r.U8() >> 3, Filter::kMaxPasses);
        break;
      }
      case Filter::Kind::Glow:
        f.color = r.RgbaColor();
        ReadBlur(r, f);
        ReadStrengthAndFlags(r, f, 0x1F);
        break;
      case Filter::Kind::Bevel:
        // Stored highlight first, whatever the field names of the format say.
        f.highlight = r.RgbaColor();
        f.color = r.RgbaColor();
        ReadBlur(r, f);
        ReadOffset(r, f);
        ReadStrengthAndFlags(r, f, 0x0F);
        break;
      case Filter::Kind::GradientGlow:
      case Filter::Kind::GradientBevel:
        ReadGradient(r, f);
        ReadBlur(r, f);
        ReadOffset(r, f);
        ReadStrengthAndFlags(r, f, 0x0F);
        break;
      case Filter::Kind::Convolution:
        keep = ReadConvolution(r, f);
        break;
      case Filter::Kind::ColorMatrix:
        for (float& v : f.colorMatrix) v = Clamped(r.F32(), -1e6f, 1e6f);
        break;
      default:
        r.Fail();
        break;
    }
    if (r.Failed() || !keep) continue;
    const size_t bytes = sizeof(Filter) + f.matrix.size() * sizeof(float) +
                         f.gradient.size() * sizeof(GradientFilterStop);
    if (!budget.Take(bytes)) {
      r.Fail();
      break;
    }
    list.push_back(std::move(f));
  }
  return list;
}

}  // namespace orrivel::swf
