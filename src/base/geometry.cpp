#include "base/geometry.h"

#include <cmath>

namespace orrivel {

bool Matrix::Invert(Matrix& out) const {
  const double det = a * d - b * c;
  if (!std::isfinite(det) || std::fabs(det) < 1e-12) return false;
  const double inv = 1.0 / det;
  out.a = d * inv;
  out.b = -b * inv;
  out.c = -c * inv;
  out.d = a * inv;
  out.tx = (c * ty - d * tx) * inv;
  out.ty = (b * tx - a * ty) * inv;
  return std::isfinite(out.tx) && std::isfinite(out.ty);
}

}  // namespace orrivel
