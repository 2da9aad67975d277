// Colours, colour transforms and blend modes, as the SWF reader, the
// renderer and the rasterizer share them.
#pragma once

#include <cstdint>

namespace orrivel {

// Straight (not premultiplied) colour, as stored in the file.
struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(const Rgba&, const Rgba&) = default;
};

// Colour transform: channel' = clamp(channel * mult / 256 + add), per channel.
struct ColorTransform {
  int16_t rMult = 256, gMult = 256, bMult = 256, aMult = 256;
  int16_t rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

  // (this * inner) applies inner first, then this.
  ColorTransform operator*(const ColorTransform& inner) const;
  Rgba Apply(Rgba c) const;
  bool IsIdentity() const {
    return rMult == 256 && gMult == 256 && bMult == 256 && aMult == 256 && rAdd == 0 && gAdd == 0 &&
           bAdd == 0 && aAdd == 0;
  }
  friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

// How a layer combines with what lies below it; the values are the SWF ones.
enum class BlendMode : uint8_t {
  Normal = 0,  // file values 0 and 1
  Layer = 2,
  Multiply = 3,
  Screen = 4,
  Lighten = 5,
  Darken = 6,
  Difference = 7,
  Add = 8,
  Subtract = 9,
  Invert = 10,
  Alpha = 11,
  Erase = 12,
  Overlay = 13,
  HardLight = 14,
};

}  // namespace orrivel
