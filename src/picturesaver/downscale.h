// High-quality reduction of a picture to the size it is shown at: each
// target pixel is the average of the exact source area it covers (edge
// pixels weighted by the part inside), computed in linear light with
// premultiplied alpha, so fine detail neither aliases nor darkens.
#pragma once

#include <optional>

#include "picturesaver/bitmap.h"

namespace orrivel {

// Reduces src to targetWidth × targetHeight. Pictures are never enlarged: a
// target dimension above the source's keeps the source's. Nothing for an
// invalid source or a target below 1 pixel, or when memory runs out.
std::optional<Bitmap> Downscale(const BitmapView& src, int targetWidth, int targetHeight);

}  // namespace orrivel
