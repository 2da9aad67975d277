// Where one frame differs from the one before: the player redraws only
// there. Both display trees are compared leaf by leaf (each drawn shape,
// bitmap or text with its full matrix, colour transform, ratio, the masks
// over it, the blend modes above it and the groups above it drawn as one
// bitmap); a leaf that moved, changed, appeared or went damages its old and
// its new bounds, and the whole bounds of each group above it that is
// filtered, cached or has an opaque background (filters' reach included,
// as Renderer::Bounds gives it). The boxes are
// merged into a few, and into the whole target when that is cheaper.
#pragma once

#include <cstddef>
#include <vector>

#include "swf/render/display.h"
#include "swf/render/renderer.h"

namespace orrivel::swf {

struct DamageBox {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // device pixels, x1 and y1 exclusive
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  long long Area() const { return Empty() ? 0 : 1LL * (x1 - x0) * (y1 - y0); }
  friend bool operator==(const DamageBox&, const DamageBox&) = default;
};

// The boxes of a width x height target where a frame drawn from `after`
// may differ from one drawn from `before` (trees built for that target).
// Empty when both draw the same; at most maxBoxes boxes, none overlapping.
std::vector<DamageBox> FrameDamage(Renderer& renderer, const DisplayNode& before,
                                   const DisplayNode& after, int width, int height,
                                   size_t maxBoxes = 6);

// Merges overlapping boxes, then the pairs that cost least until at most
// maxBoxes remain; the whole target when the boxes cover most of it.
std::vector<DamageBox> MergeDamage(std::vector<DamageBox> boxes, int width, int height,
                                   size_t maxBoxes);

}  // namespace orrivel::swf
