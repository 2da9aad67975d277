// Pictures and gradients as they were last sampled. A paint drawn again
// the same (the same picture with the same matrix, colour transform and
// smoothing, or the same gradient in the same place) over the same pixels
// is not sampled anew: its pixels are kept from the second time it is seen
// and copied from then on, while the shape's edges are still drawn anew. A
// still photograph or gradient backdrop behind moving things then costs a
// copy per frame. The pixels kept stay within a bound; what has not been
// used for a while is let go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/color.h"
#include "base/geometry.h"
#include "swf/raster/raster.h"
#include "swf/render/layer_stack.h"

namespace orrivel::swf {

// Where a canvas being drawn lies in the whole picture (a partial redraw
// draws one box of it at a time); width 0 means the canvas is all of it.
struct Viewport {
  int x = 0, y = 0, width = 0, height = 0;
};

class SampledPaints {
 public:
  static constexpr size_t kMaxBytes = size_t{64} << 20;

  // paint is a gradient, or samples a picture that never changes; box holds
  // every pixel of the canvas it may reach (in canvas pixels). When the same
  // paint over the same pixels of the whole picture was seen before, paint
  // becomes a plain copy of the kept pixels, which stay valid until
  // EndRender.
  void Use(raster::Paint& paint, const PixelBox& box, const Viewport& view);
  // Counts one render; lets go of what the last few did not use.
  void EndRender();
  void Clear();
  size_t Bytes() const { return bytes_; }

 private:
  struct Key {
    raster::Paint paint;  // mapped from the whole picture's pixels
    PixelBox box;         // in the whole picture's pixels
    bool Matches(const Key& o) const;
  };
  struct Entry {
    Key key;
    raster::Image pixels;
    uint64_t lastUse = 0;
  };
  struct Sighting {
    Key key;
    uint64_t render = 0;
  };

  bool MakeRoom(size_t bytes);
  static void Sample(const raster::Paint& paint, const PixelBox& box, const Viewport& view,
                     raster::Image& out);

  std::vector<std::unique_ptr<Entry>> entries_;
  std::vector<Sighting> seen_;
  size_t bytes_ = 0;
  uint64_t render_ = 0;
};

}  // namespace orrivel::swf
