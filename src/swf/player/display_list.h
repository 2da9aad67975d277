// One timeline's display list: the objects placed at each depth, kept sorted
// by depth, and the PlaceObject / RemoveObject rules that change it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "swf/format/movie.h"

namespace orrivel::swf {

class TimelineInstance;
class EditText;

struct DisplayObject {
  uint16_t characterId = 0;
  // The tag's depth; scripts see it less 16384 and place clips anywhere
  // from there up to about two billion.
  int32_t depth = 0;
  Matrix matrix;
  ColorTransform colorTransform;
  uint16_t ratio = 0;
  std::string name;
  uint16_t clipDepth = 0;
  BlendMode blendMode = BlendMode::Normal;
  bool visible = true;
  FilterList filters;
  bool cacheAsBitmap = false;
  std::optional<Rgba> opaqueBackground;
  // Placed or moved by a script: the timeline no longer moves it.
  bool scripted = false;
  // Made by a script or moved to another depth by one: a new placement at
  // its depth does not replace it, and going back in the timeline keeps it.
  bool scriptDepth = false;
  // Clip event handlers from the placing tag; owned by the movie.
  const std::vector<ClipAction>* clipActions = nullptr;
  // Sprites and buttons own a nested timeline; shapes and bitmaps have none.
  // Shared so that a goto can carry a persisting instance into the rebuilt list.
  std::shared_ptr<TimelineInstance> instance;
  // Edit text fields hold their text and settings (edit_text.h).
  std::shared_ptr<EditText> text;
};

using DisplayList = std::map<int32_t, DisplayObject>;

// Applies one PlaceObject to a list. A new depth is only added while the list
// holds fewer than maxSize objects. Replacing the character of an object
// drops its nested timeline unless the character stays the same.
void ApplyPlaceObject(DisplayList& list, const PlaceObject& place, std::size_t maxSize);

void ApplyRemoveObject(DisplayList& list, const RemoveObject& remove);

}  // namespace orrivel::swf
