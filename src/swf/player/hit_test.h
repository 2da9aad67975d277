// Point tests for the pointer: whether a device position falls on what a
// character covers (the fills and strokes of shapes, the boxes of text and
// bitmaps), or inside a button's hit area. Shapes are tested on the same
// converted, flattened paths and fill rule the renderer draws.
#pragma once

#include <cstdint>
#include <map>
#include <utility>

#include "swf/format/movie.h"
#include "swf/player/display_list.h"
#include "swf/raster/flatten.h"
#include "swf/render/image_decoder.h"
#include "swf/render/shape_convert.h"

namespace orrivel::swf {

class HitTester {
 public:
  // movie and decoder must outlive the tester.
  HitTester(const Movie& movie, ImageDecoder& decoder);
  HitTester(const HitTester&) = delete;
  HitTester& operator=(const HitTester&) = delete;

  // Starts testing device point (x, y); the tests up to the next Begin share
  // one budget of characters visited, so that a hostile movie stays cheap.
  void Begin(double x, double y);
  // A script's shape test (hitTest with shapeFlag): a point on a fill's
  // outline is outside. Strokes count for both tests.
  void SetScriptRules(bool on) { scriptRules_ = on; }
  // Whether the point lies in the union of the button's hitTest-state
  // records; m maps the button's space to device pixels. movie names the
  // records' characters (null: the tester's own).
  bool InButtonArea(const ButtonDefinition& button, const Matrix& m, const Movie* movie = nullptr);
  // Whether the point lies on what a placed object shows now (a mask layer);
  // parent maps the object's parent space to device pixels. movie is the
  // one of the list holding it (null: the tester's own).
  bool OnObject(const DisplayObject& obj, const Matrix& parent, const Movie* movie = nullptr);
  // Whether the point lies on what a timeline shows (its drawing and its
  // children); m maps the timeline's space to device pixels.
  bool OnTimeline(const TimelineInstance& t, const Matrix& m);
  // Whether it lies on what scripts drew in t (below its children).
  bool OnDrawing(const TimelineInstance& t, const Matrix& m);

 private:
  bool OnPlaced(const DisplayObject& obj, const Matrix& parent, int depth);
  bool OnList(const DisplayList& list, const Matrix& m, int depth);
  bool OnInstance(const TimelineInstance& t, const Matrix& m, int depth);
  bool OnCharacter(uint16_t id, const Matrix& m, uint16_t ratio, int depth);
  bool OnShape(const ConvertedShape& shape, const Matrix& m);
  bool InBox(double w, double h, double x0, double y0, const Matrix& m) const;
  const ConvertedShape* Morph(const MorphShapeDefinition& def, uint16_t ratio);
  bool BitmapSize(const BitmapDefinition& def, int& w, int& h);

  // The movie whose characters the ids name: a loaded movie's timelines
  // name their own.
  const Movie* movie_;
  ImageDecoder& decoder_;
  using Key = std::pair<const Movie*, uint16_t>;
  std::map<Key, ConvertedShape> shapes_;
  struct MorphEntry {
    uint16_t ratio = 0;
    ConvertedShape shape;
  };
  std::map<Key, MorphEntry> morphs_;
  std::map<Key, std::pair<int, int>> bitmapSizes_;
  double x_ = 0, y_ = 0;
  int budget_ = 0;  // characters left to visit until the next Begin
  bool scriptRules_ = false;
  raster::Polylines lines_;
};

}  // namespace orrivel::swf
