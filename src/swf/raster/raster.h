// The rasterizer's public face: paths in device pixels, paints, and a BGRA
// canvas. Coverage is anti-aliased (or not, for low quality) and composited
// source-over in premultiplied alpha. Stages live in separate files: path
// flattening, stroking, coverage accumulation, paints, compositing.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "base/color.h"
#include "base/geometry.h"

namespace orrivel::swf::raster {

struct Point {
  float x = 0, y = 0;
};

// A path in device pixel coordinates: contours of lines and quadratic curves.
class Path {
 public:
  enum class Verb : uint8_t { Move, Line, Quad, Close };
  void MoveTo(float x, float y);
  void LineTo(float x, float y);
  void QuadTo(float cx, float cy, float x, float y);
  void Close();
  bool Empty() const { return verbs_.empty(); }
  void Clear() {
    verbs_.clear();
    points_.clear();
  }
  const std::vector<Verb>& Verbs() const { return verbs_; }
  const std::vector<Point>& Points() const { return points_; }
  // Appends other, mapping each point through m.
  void Append(const Path& other, const Matrix& m);

 private:
  std::vector<Verb> verbs_;
  std::vector<Point> points_;
};

enum class FillRule : uint8_t { NonZero, EvenOdd };

// Premultiplied BGRA pixels, memory order B, G, R, A (a uint32_t 0xAARRGGBB
// on little-endian machines).
struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // width * height, premultiplied
};

// A view on a premultiplied BGRA surface owned by someone else.
struct Canvas {
  uint32_t* pixels = nullptr;
  int width = 0, height = 0;
  int stride = 0;  // in pixels
};

// An 8-bit coverage mask the size of the canvas (clip by clip depth).
struct Mask {
  int width = 0, height = 0;
  std::vector<uint8_t> coverage;
  // Rows outside [top, bottom) are all zero, so that the work on a mask
  // covering a small part of the canvas is small too. FillMask widens the
  // range; a default one spans every row.
  int top = 0, bottom = std::numeric_limits<int>::max();
  int Bottom() const { return std::min(bottom, height); }
  bool RowClear(int y) const { return y < top || y >= bottom; }
};

struct GradientStop {
  float position = 0;  // 0..1
  Rgba color;          // straight alpha, colour transform already applied
};

enum class Spread : uint8_t { Pad, Reflect, Repeat };

struct Paint {
  enum class Kind : uint8_t { Solid, LinearGradient, RadialGradient, Bitmap };
  Kind kind = Kind::Solid;
  Rgba color;  // Solid: straight alpha, colour transform already applied

  // Gradients: deviceToGradient maps device pixels to the gradient square
  // (-16384..16384 on both axes; linear runs along x, radial is the circle
  // of radius 16384). Stops are sorted by position.
  std::vector<GradientStop> stops;
  Matrix deviceToGradient;
  Spread spread = Spread::Pad;
  bool linearRgb = false;  // interpolate in linear light
  float focalPoint = 0;    // -1..1 along x, radial only

  // Bitmaps: deviceToBitmap maps device pixels to bitmap pixels.
  const Image* bitmap = nullptr;
  Matrix deviceToBitmap;
  bool repeat = false;            // else clamp to edge (clipped bitmap)
  bool smooth = false;            // bilinear; else nearest
  ColorTransform colorTransform;  // applied per bitmap pixel (gradients/solid: pre-applied)
};

struct Stroke {
  float width = 1;  // device pixels; callers keep hairlines at least 1
  enum class Cap : uint8_t { Round, None, Square } startCap = Cap::Round, endCap = Cap::Round;
  enum class Join : uint8_t { Round, Bevel, Miter } join = Join::Round;
  float miterLimit = 3;
};

struct DrawOptions {
  bool antiAlias = true;
  const Mask* clip = nullptr;  // multiply coverage by this mask when set
  // Add the coverage-weighted colour instead of compositing source-over.
  // Fills of one shape that meet along shared edges, drawn this way into a
  // transparent layer, sum to full coverage there; compositing that layer
  // then leaves no background showing through the seams.
  bool additive = false;
};

// Fills a path; degenerate or non-finite input draws nothing.
void FillPath(Canvas& canvas, const Path& path, FillRule rule, const Paint& paint,
              const DrawOptions& options = {});

// Turns a stroke into a fill path (non-zero) in the same device space.
Path StrokeToPath(const Path& path, const Stroke& stroke);

// Strokes a path (open contours get caps, closed ones joins all round).
void StrokePath(Canvas& canvas, const Path& path, const Stroke& stroke, const Paint& paint,
                const DrawOptions& options = {});

// One fill of a batch: a path in its own space, the matrix that takes it to
// device pixels, and its paint. With a stroke the path is stroked instead.
struct FillItem {
  const Path* path = nullptr;
  Matrix matrix;
  FillRule rule = FillRule::NonZero;
  const Paint* paint = nullptr;
  const Stroke* stroke = nullptr;
};

// Where a batch of fills is prepared: kept by the caller from batch to
// batch, so that a frame's batches reuse its memory. One batch at a time.
class FillScratch {
 public:
  FillScratch();
  ~FillScratch();
  FillScratch(const FillScratch&) = delete;
  FillScratch& operator=(const FillScratch&) = delete;
  struct Store;
  Store& Get() { return *store_; }

 private:
  std::unique_ptr<Store> store_;
};

// Draws the items in order, as FillPath and StrokePath one after another
// would, to the same pixels. A long batch (a shape of many small fills) is
// prepared on every thread of the current pool and then drawn in row bands,
// each band running through the whole batch. Without scratch, the batch
// prepares in memory of its own.
void FillPaths(Canvas& canvas, const std::vector<FillItem>& items, const DrawOptions& options = {},
               FillScratch* scratch = nullptr);

// Accumulates the path's coverage into a mask (max of existing and new).
void FillMask(Mask& mask, const Path& path, FillRule rule, const DrawOptions& options = {});

// Composites a premultiplied layer onto a canvas of the same size with a
// blend mode. Alpha and Erase modify dst's alpha by the layer's alpha.
void Composite(Canvas& dst, const Canvas& layer, BlendMode mode, const Mask* clip = nullptr);

// Fills the whole canvas with one opaque or translucent colour (no blending).
void Clear(Canvas& canvas, Rgba color);

}  // namespace orrivel::swf::raster
