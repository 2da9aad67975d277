// Draws a display tree of a loaded movie into a BGRA canvas: converts SWF
// shapes (edges with left and right fills) into fill and stroke paths,
// resolves styles into paints, applies colour transforms, masks by clip
// depth and blend modes. Converted shapes and decoded bitmaps are cached.
#pragma once

#include <memory>

#include "swf/format/movie.h"
#include "swf/raster/raster.h"
#include "swf/render/display.h"
#include "swf/render/image_decoder.h"
#include "swf/render/shape_convert.h"
#include "swf/render/sampled_paints.h"

namespace orrivel::swf {

enum class Quality : uint8_t { Low, High };

class Renderer {
 public:
  // movie and decoder must outlive the renderer.
  Renderer(const Movie& movie, ImageDecoder& decoder);
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Draws root's children (root itself is the stage: its matrix maps twips to
  // device pixels). The canvas is not cleared first. view tells where the
  // canvas lies in the whole picture when it is one box of a partial redraw.
  void Render(const DisplayNode& root, raster::Canvas& canvas, Quality quality,
              const Viewport& view = {});

  // Threads that draw a frame's large fills, composites and filters in row
  // bands (0: as many as the machine has, the default; 1: the calling
  // thread only). The picture is the same for every count.
  void SetThreads(int threads);

  // Device-pixel bounds of what `node` draws under the parent matrix
  // `parent`, anti-aliasing and strokes included; empty when it draws
  // nothing. stageScale is the root's scale (for strokes that do not scale).
  FloatRect Bounds(const DisplayNode& node, const Matrix& parent, double stageScale);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orrivel::swf
