// Edge building: flattened contours become monotonic line edges clipped to
// the canvas. Geometry above, below or right of the canvas is dropped;
// geometry left of it collapses onto x = 0, where it still counts for the
// winding of the pixels to its right.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/raster/flatten.h"

namespace orrivel::swf::raster {

struct Edge {
  float x0, y0, x1, y1;  // y0 < y1
  float dxdy;
  int dir;  // +1 when the contour runs downwards, -1 upwards
};

struct EdgeList {
  std::vector<Edge> edges;
  // Pixel bounds that can receive coverage, inside the canvas.
  int left = 0, top = 0, right = 0, bottom = 0;
  bool Empty() const { return edges.empty() || left >= right || top >= bottom; }
};

// Every contour is closed implicitly, as fills require.
void BuildEdges(const Polylines& lines, int width, int height, EdgeList& out);

}  // namespace orrivel::swf::raster
