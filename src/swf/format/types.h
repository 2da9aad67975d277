// Basic SWF value types shared by the reader, the renderer and the player.
#pragma once

#include <cstdint>

namespace orrivel::swf {

// Straight (not premultiplied) colour, as stored in the file.
struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  friend bool operator==(const Rgba&, const Rgba&) = default;
};

// A rectangle in twips (1/20 pixel).
struct Rect {
  int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  int32_t Width() const { return xMax - xMin; }
  int32_t Height() const { return yMax - yMin; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Affine transform: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
// a = ScaleX, b = RotateSkew0, c = RotateSkew1, d = ScaleY; tx, ty in twips
// (or in whatever unit the matrix maps to once concatenated).
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  // (this * o) applies o first, then this.
  Matrix operator*(const Matrix& o) const {
    return {a * o.a + c * o.b,       b * o.a + d * o.b,
            a * o.c + c * o.d,       b * o.c + d * o.d,
            a * o.tx + c * o.ty + tx, b * o.tx + d * o.ty + ty};
  }
  double ApplyX(double x, double y) const { return a * x + c * y + tx; }
  double ApplyY(double x, double y) const { return b * x + d * y + ty; }
  // False when the matrix is singular or not finite.
  bool Invert(Matrix& out) const;
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

// Colour transform: channel' = clamp(channel * mult / 256 + add), per channel.
struct ColorTransform {
  int16_t rMult = 256, gMult = 256, bMult = 256, aMult = 256;
  int16_t rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

  // (this * inner) applies inner first, then this.
  ColorTransform operator*(const ColorTransform& inner) const;
  Rgba Apply(Rgba c) const;
  bool IsIdentity() const {
    return rMult == 256 && gMult == 256 && bMult == 256 && aMult == 256 &&
           rAdd == 0 && gAdd == 0 && bAdd == 0 && aAdd == 0;
  }
  friend bool operator==(const ColorTransform&, const ColorTransform&) = default;
};

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

}  // namespace orrivel::swf
