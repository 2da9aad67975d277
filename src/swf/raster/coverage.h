// Coverage accumulation: walks the clipped edges one scanline at a time and
// hands each row's 8-bit coverage to a sink. Anti-aliased coverage is the
// exact area of each pixel inside the path (signed area accumulated per
// scanline); aliased coverage takes a pixel when its centre is inside.
#pragma once

#include <cstdint>
#include <vector>

#include "swf/raster/edges.h"

namespace orrivel::swf::raster {

class CoverageSink {
 public:
  virtual ~CoverageSink() = default;
  // coverage[i] belongs to pixel (x + i, y); the sink may overwrite it.
  virtual void Row(int y, int x, int count, uint8_t* coverage) = 0;
  // count pixels from (x, y) share one coverage value (never 0): the
  // inside of a shape between its edges.
  virtual void Fill(int y, int x, int count, uint8_t coverage) = 0;
};

void Rasterize(const EdgeList& edges, FillRule rule, bool antiAlias, CoverageSink& sink);

// The same in pieces, for row bands drawn by several threads: the edges
// sorted once, then rows [from, to) at a time. Each row's coverage is what
// Rasterize gives it.
void SortEdges(const EdgeList& edges, std::vector<const Edge*>& sorted);
void RasterizeRows(const EdgeList& edges, const std::vector<const Edge*>& sorted, FillRule rule,
                   bool antiAlias, CoverageSink& sink, int from, int to);

}  // namespace orrivel::swf::raster
