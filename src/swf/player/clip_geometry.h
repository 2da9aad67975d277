// Geometry of placed clips as scripts see it: where a clip sits on the
// stage, the box of what it shows (in twips, as Flash rounds them), and
// whether a point falls on its shapes.
#pragma once

#include "base/geometry.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf {

struct TwipsBox {
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
  bool empty = true;
  void Include(double x, double y);
  void Include(const TwipsBox& b);
};

// Bounds of box's corners mapped through m, on whole twips.
TwipsBox TransformBox(const TwipsBox& box, const Matrix& m);

// The entry that places t in its parent's list; null for the root or a
// removed clip.
const DisplayObject* PlacementOf(const TimelineInstance& t);
// Maps t's coordinates to the root timeline's (stage twips). False when t
// is no longer on the display list.
bool ConcatenatedMatrix(const TimelineInstance& t, Matrix& out);
// Maps t's coordinates to those of ancestor (a clip t sits in, at any
// depth), multiplying the placements between; false when it is no ancestor.
bool MatrixUpTo(const TimelineInstance& t, const TimelineInstance* ancestor, Matrix& out);
// What t shows, in its own coordinates: its drawing and its children.
// withStrokes false leaves out the strokes of drawn lines (getRect).
TwipsBox LocalBounds(const TimelineInstance& t, bool withStrokes = true);
// Whether stage point (x, y) in twips falls on a fill that t
// shows (invisible children included, as Flash tests them).
bool HitsShape(TimelineInstance& t, double x, double y);
// The drawing of t, made on first use.
class Drawing& DrawingOf(TimelineInstance& t);

}  // namespace orrivel::swf
