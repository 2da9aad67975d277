// The shape a script draws into a clip (beginFill, lineTo, curveTo ...): it
// belongs to the clip, shows below the clip's children and counts in its
// bounds and hit tests. Kept as converted layers in twips, the form the
// renderer and the hit tester use for defined shapes.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>

#include "swf/format/movie.h"
#include "swf/render/shape_convert.h"

namespace orrivel::swf {

class Drawing {
 public:
  // Commands past this many are ignored until clear(): a movie that draws
  // every frame without clearing must not grow without end.
  static constexpr std::size_t kMaxCommands = 1u << 16;
  // And past this many over all the drawings that share one counter (a
  // movie's), so that many clips cannot add up to unbounded memory.
  static constexpr std::size_t kMaxSharedCommands = 1u << 21;

  // shared (may be null) counts the commands of a movie's drawings; it must
  // outlive the drawing.
  explicit Drawing(std::size_t* shared = nullptr) : shared_(shared) {}
  ~Drawing();
  Drawing(const Drawing&) = delete;
  Drawing& operator=(const Drawing&) = delete;

  void Clear();
  // Takes another drawing's graphics and its open state (pen, open fill,
  // line style), as duplicateMovieClip copies them; false when the copy
  // would pass the shared command cap (this one is then left empty).
  bool CopyFrom(const Drawing& other);
  // Starts a fill at the pen (ending an open one); none stops filling.
  // bitmap: a script's bitmap the fill shows (a bitmap fill style), as it
  // is at each frame.
  void BeginFill(std::optional<FillStyle> fill, std::shared_ptr<ScriptBitmap> bitmap = nullptr);
  void EndFill();
  // none: later segments are not stroked.
  void SetLineStyle(std::optional<LineStyle> line);
  // A gradient for the current line style's strokes (lineGradientStyle).
  void SetLineFill(const FillStyle& fill);
  // Coordinates in twips.
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void CurveTo(double cx, double cy, double x, double y);

  bool Empty() const { return shape_.bounds.Empty(); }
  // The drawn shape; the same object until the next change, so that
  // unchanged frames compare equal.
  std::shared_ptr<const ConvertedShape> Snapshot() const;
  // Bounds in twips of the geometry, and widened by half of each stroke.
  FloatRect Bounds(bool withStrokes) const;

 private:
  bool Charge();
  raster::Path* FillPath();
  raster::Path* LinePath();
  void Changed() { snapshot_.reset(); }

  ConvertedShape shape_;
  mutable std::shared_ptr<const ConvertedShape> snapshot_;
  std::size_t* shared_ = nullptr;
  bool bitmapFills_ = false;  // some layer shows a script's bitmap
  std::size_t commands_ = 0;
  float penX_ = 0, penY_ = 0;
  float fillStartX_ = 0, fillStartY_ = 0;
  std::optional<LineStyle> line_;
  int fillLayer_ = -1;      // index in shape_.layers of the open fill, -1 when none
  int lineLayer_ = -1;      // of the layer taking strokes now
  bool lineAtPen_ = false;  // the line layer's path ends at the pen
  bool fillAtPen_ = false;  // the fill path ends at the pen
  FloatRect strokeBounds_;
};

}  // namespace orrivel::swf
