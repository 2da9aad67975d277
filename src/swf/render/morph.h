// Morph shapes: the shape between a morph's start and end at a ratio.
#pragma once

#include "swf/format/movie.h"

namespace orrivel::swf {

// ratio 0 gives the start shape, 1 the end shape; values outside are clamped.
// Edges pair up one by one (a straight edge against a curve becomes a
// degenerate curve); colours, gradients, matrices and widths interpolate.
Shape InterpolateMorph(const MorphShapeDefinition& morph, float ratio);

}  // namespace orrivel::swf
