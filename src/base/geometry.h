// Rectangles and affine matrices, as the SWF reader, the renderer and the
// rasterizer share them.
#pragma once

#include "base/twips.h"

namespace orrivel {

// A rectangle in twips.
struct Rect {
  Twips xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  Twips Width() const { return xMax - xMin; }
  Twips Height() const { return yMax - yMin; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Affine transform: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
// a = ScaleX, b = RotateSkew0, c = RotateSkew1, d = ScaleY; tx, ty in twips
// (or in whatever unit the matrix maps to once concatenated).
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  // (this * o) applies o first, then this.
  Matrix operator*(const Matrix& o) const {
    return {a * o.a + c * o.b, b * o.a + d * o.b,        a * o.c + c * o.d,
            b * o.c + d * o.d, a * o.tx + c * o.ty + tx, b * o.tx + d * o.ty + ty};
  }
  double ApplyX(double x, double y) const { return a * x + c * y + tx; }
  double ApplyY(double x, double y) const { return b * x + d * y + ty; }
  // False when the matrix is singular or not finite.
  bool Invert(Matrix& out) const;
  friend bool operator==(const Matrix&, const Matrix&) = default;
};

}  // namespace orrivel
