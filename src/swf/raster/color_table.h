// A colour transform applied to premultiplied pixels through tables. Each
// straight channel's result depends on that channel alone, so 256 entries
// per channel hold the whole transform; opaque pixels, which photographs
// are made of, need no division and take premultiplied results straight
// from three more tables. The results equal
// Premultiply(transform.Apply(Unpremultiply(p))) for every pixel but the
// fully transparent ones, which stay transparent whatever the alpha offset
// (a bitmap's clear background never shows through a tint).
#pragma once

#include <array>
#include <cstdint>

#include "base/color.h"
#include "swf/raster/pixel.h"

namespace orrivel::swf::raster {

class ColorTable {
 public:
  explicit ColorTable(const ColorTransform& ct) {
    for (int i = 0; i < 256; ++i) {
      const uint8_t v = static_cast<uint8_t>(i);
      const Rgba c = ct.Apply({v, v, v, v});
      r_[i] = c.r;
      g_[i] = c.g;
      b_[i] = c.b;
      a_[i] = c.a;
    }
    opaqueAlpha_ = a_[255];
    for (int i = 0; i < 256; ++i) {
      opaqueR_[i] = static_cast<uint8_t>(Div255(uint32_t{r_[i]} * opaqueAlpha_));
      opaqueG_[i] = static_cast<uint8_t>(Div255(uint32_t{g_[i]} * opaqueAlpha_));
      opaqueB_[i] = static_cast<uint8_t>(Div255(uint32_t{b_[i]} * opaqueAlpha_));
    }
  }

  uint32_t Apply(uint32_t p) const {
    const uint32_t a = AlphaOf(p);
    if (a == 255) {
      return PackArgb(opaqueAlpha_, opaqueR_[RedOf(p)], opaqueG_[GreenOf(p)], opaqueB_[BlueOf(p)]);
    }
    if (a == 0) return 0;
    const Rgba s = Unpremultiply(p);
    const uint32_t na = a_[a];
    return PackArgb(na, Div255(r_[s.r] * na), Div255(g_[s.g] * na), Div255(b_[s.b] * na));
  }

  void ApplyRow(uint32_t* p, int n) const {
    for (int i = 0; i < n; ++i) p[i] = Apply(p[i]);
  }

 private:
  std::array<uint8_t, 256> r_{}, g_{}, b_{}, a_{};
  std::array<uint8_t, 256> opaqueR_{}, opaqueG_{}, opaqueB_{};
  uint32_t opaqueAlpha_ = 255;
};

}  // namespace orrivel::swf::raster
