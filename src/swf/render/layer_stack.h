// The renderer's clip and layer stack. A node with a clip depth masks the
// siblings placed above it up to that depth (ClipStack, one per group being
// drawn). A node with a blend mode is drawn into a transparent layer of the
// canvas's size and then composited with the mode (LayerPool, whose buffers
// are kept for the next frame).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/color.h"
#include "base/geometry.h"
#include "swf/raster/raster.h"
#include "swf/render/shape_convert.h"

namespace orrivel::swf {

// Integer pixel box of a canvas.
struct PixelBox {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

// The pixels r touches (with a pixel of margin), clipped to a width x height
// canvas whose top left pixel is (x0, y0); empty when they miss or r is not
// finite.
PixelBox ClipToCanvas(const FloatRect& r, int width, int height, int x0 = 0, int y0 = 0);

// A width x height mask that lets nothing through.
raster::Mask EmptyMask(int width, int height);

// The clip in force among one group's children, drawn in depth order.
class ClipStack {
 public:
  // parentClip (nullptr: none) is the group's own clip; it must outlive
  // the stack.
  explicit ClipStack(const raster::Mask* parentClip);
  ClipStack(const ClipStack&) = delete;
  ClipStack& operator=(const ClipStack&) = delete;

  // Ends the masks that stop below depth; call before drawing each child.
  void Expire(uint16_t depth);
  // Whether Expire(depth) would end a mask.
  bool WouldExpire(uint16_t depth) const;
  // Starts a mask for the siblings up to clipDepth.
  void Push(uint16_t clipDepth, raster::Mask mask);
  // What the next sibling is drawn through; nullptr when nothing clips.
  const raster::Mask* Current() const { return current_; }

 private:
  void Recompute();

  struct Active {
    uint16_t clipDepth;
    raster::Mask mask;  // already intersected with the clip in force when pushed
  };
  const raster::Mask* parent_;
  std::vector<Active> active_;
  const raster::Mask* current_;
};

class LayerPool {
 public:
  // Alpha and Erase only act on an enclosing layer.
  bool InLayer() const { return inUse_ > 0; }
  int Depth() const { return static_cast<int>(inUse_); }
  // A width x height layer, transparent inside box, to draw a node into.
  raster::Canvas Open(int width, int height, const PixelBox& box);
  // Composites the innermost open layer onto dst (of the layer's size)
  // within box, with mode, and closes it.
  void Close(raster::Canvas& dst, const PixelBox& box, BlendMode mode);

 private:
  struct Layer {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
  };
  std::vector<std::unique_ptr<Layer>> pool_;
  size_t inUse_ = 0;
};

// Cleared buffers of any size, for nodes drawn on their own past the
// canvas's edges (filtered nodes); kept for the next frame.
class OffscreenPool {
 public:
  int Depth() const { return static_cast<int>(inUse_); }
  raster::Canvas Open(int width, int height);
  void Close() { --inUse_; }

 private:
  std::vector<std::unique_ptr<std::vector<uint32_t>>> pool_;
  size_t inUse_ = 0;
};

// The part of mask under box (which must lie inside it), as a mask of
// the box's size.
raster::Mask CropMask(const raster::Mask& mask, const PixelBox& box);

}  // namespace orrivel::swf
