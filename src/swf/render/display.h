// The display tree the player hands to the renderer each frame: what is
// placed, where, in which order. The renderer draws it; it keeps no timeline.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/color.h"
#include "base/geometry.h"
#include "swf/format/filters.h"

namespace orrivel::swf {

struct EditTextView;
struct ConvertedShape;
struct Movie;
namespace raster {
struct Image;
}

struct DisplayNode {
  enum class Kind : uint8_t { Shape, MorphShape, Bitmap, Group, Text, Video };
  Kind kind = Kind::Group;
  uint16_t characterId = 0;  // Shape, MorphShape, Bitmap, Text
  // The movie whose characters the id names (a level's or a loaded one);
  // null: the renderer's own.
  const Movie* movie = nullptr;
  uint16_t depth = 0;
  uint16_t clipDepth = 0;         // non-zero: this node masks siblings up to clipDepth
  Matrix matrix;                  // to the parent's space (twips)
  ColorTransform colorTransform;  // this node's own; the renderer concatenates
  BlendMode blendMode = BlendMode::Normal;
  float ratio = 0;  // MorphShape: 0..1; Video: the frame number
  bool visible = true;
  FilterList filters;  // applied in order to the node drawn on its own
  bool cacheAsBitmap = false;
  std::optional<Rgba> opaqueBackground;  // fills the node's box behind it
  // Text: an edit text field as scripts changed it, drawn instead of the
  // character; a new view for every change.
  std::shared_ptr<const EditTextView> editText;
  std::vector<DisplayNode> children;  // Group (sprite, button state): sorted by depth
  // Shape drawn by a script (a clip's drawing, first of its children);
  // characterId is then 0. Compared by identity: a change makes a new one.
  std::shared_ptr<const ConvertedShape> drawing;
  // Bitmap drawn by a script (attachBitmap); characterId is then 0. Video:
  // the picture of the stream a script attached. A new picture for every
  // change.
  std::shared_ptr<const raster::Image> picture;
  // Such a bitmap drawn scaled or turned: smoothed, or its nearest pixels.
  bool smooth = true;
  // A clip masking this group (setMask): drawn as coverage only, with the
  // full matrix from the stage's twips.
  std::shared_ptr<const DisplayNode> mask;
  // Content shows only inside this rectangle of the node's own space, in
  // twips: x0, y0, x1, y1 (a clip's scrollRect).
  std::optional<std::array<double, 4>> clipRect;
};

}  // namespace orrivel::swf
