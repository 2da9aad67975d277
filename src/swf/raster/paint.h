// Paint stage: shaders produce premultiplied colours for a span of pixels;
// the blitter weighs them by coverage and composites them source-over.
#pragma once

#include <cstdint>
#include <memory>

#include "swf/raster/raster.h"

namespace orrivel::swf::raster {

class Shader {
 public:
  virtual ~Shader() = default;
  // Writes count premultiplied pixels for (x .. x + count - 1, y), sampled
  // at pixel centres.
  virtual void Shade(int x, int y, int count, uint32_t* out) = 0;
};

// Null when the paint cannot draw anything (no stops, singular matrix, no
// bitmap); solid paints never get a shader, the blitter fills them itself.
std::unique_ptr<Shader> MakeGradientShader(const Paint& paint);
std::unique_ptr<Shader> MakeBitmapShader(const Paint& paint);

}  // namespace orrivel::swf::raster
