// One timeline's display list: the objects placed at each depth, kept sorted
// by depth, and the PlaceObject / RemoveObject rules that change it.
#pragma once

#include <array>
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
struct ScriptBitmap;
struct VideoDisplay;

// Tag depths from here up are the ones scripts see from 0 up; the timeline
// places below it.
inline constexpr int32_t kScriptDepthBase = 16384;

// A placement's scale and rotation as scripts read and set them. Flash keeps
// them beside the matrix and rebuilds the matrix from them, so a scale taken
// to 0 or below reads back as it was set and can grow again; they are taken
// from the matrix anew whenever something else changed it.
struct ScaleRotation {
  double scaleX = 1, scaleY = 1;  // 1 is 100 %
  double rotation = 0, skew = 0;  // radians
  double degrees = 0;             // the rotation as _rotation last set it
  bool inDegrees = false;         // `degrees` is what reads back
};

struct DisplayObject {
  uint16_t characterId = 0;
  // The tag's depth; scripts see it less 16384 and place clips anywhere
  // from there up to about two billion.
  int32_t depth = 0;
  Matrix matrix;
  ColorTransform colorTransform;
  uint16_t ratio = 0;
  std::string name;
  // The placing tag gave a name, perhaps an empty one: none is made up.
  bool named = false;
  uint16_t clipDepth = 0;
  BlendMode blendMode = BlendMode::Normal;
  bool visible = true;
  FilterList filters;
  bool cacheAsBitmap = false;
  std::optional<Rgba> opaqueBackground;
  // The window a script scrolls the clip's content through: x, y, width
  // and height in the clip's own pixels.
  std::optional<std::array<double, 4>> scrollRect;
  // Placed or moved by a script: the timeline no longer moves it.
  bool scripted = false;
  // Made by a script or moved to another depth by one: a new placement at
  // its depth does not replace it, and going back in the timeline keeps it.
  bool scriptDepth = false;
  // Made by a script (attachMovie, duplicateMovieClip, createEmptyMovieClip,
  // createTextField): the timeline never takes it back as its own, and
  // going back in the timeline removes it from the timeline's depths.
  bool byScript = false;
  // Moved by swapDepths (either side of the trade): going back in the
  // timeline keeps it when the frame gone back to has some object at its
  // depth, whatever the character.
  bool swapped = false;
  // Clip event handlers from the placing tag; owned by the movie.
  const std::vector<ClipAction>* clipActions = nullptr;
  // Sprites and buttons own a nested timeline; shapes and bitmaps have none.
  // Shared so that a goto can carry a persisting instance into the rebuilt list.
  std::shared_ptr<TimelineInstance> instance;
  // A script's bitmap (attachBitmap), shared with its BitmapData.
  std::shared_ptr<ScriptBitmap> bitmap;
  bool smoothBitmap = false;  // attachBitmap's smoothing
  // Edit text fields hold their text and settings (edit_text.h).
  std::shared_ptr<EditText> text;
  // A video character's script side and the stream it shows (made when a
  // script first names it).
  std::shared_ptr<VideoDisplay> video;
  // What scripts last set of scale and rotation, and the matrix it made.
  ScaleRotation scaleRotation;
  std::optional<Matrix> scaleRotationMatrix;
  // Before version 6 a new placement at an occupied depth goes behind the
  // object there, which stays: the objects sharing the depth, drawn over
  // this one in order. Tags at the depth address this one; removed, the
  // first of them takes its place.
  std::vector<DisplayObject> above;
};

// The object's scale and rotation: those last set while its matrix is still
// the one they made, otherwise read off the matrix.
ScaleRotation ScaleRotationOf(const DisplayObject& obj);
// Sets them and rebuilds the matrix's scale, rotation and skew from them.
void SetScaleRotation(DisplayObject& obj, const ScaleRotation& s);

// The script properties over them: _xscale and _yscale in percent and
// _rotation in degrees (-180..180); a null object reads as untransformed.
enum class ScaleProperty { XScale, YScale, Rotation };
double GetScaleProperty(const DisplayObject* obj, ScaleProperty which);
// Sets one as Flash does, through the kept values; other numbers are ignored.
void SetScaleProperty(DisplayObject& obj, ScaleProperty which, double value);

using DisplayList = std::map<int32_t, DisplayObject>;

// How a PlaceObject meets an object already at its depth.
struct PlaceRules {
  // A move that names a character swaps it in only when the old and the new
  // character are both shapes or both morphs; otherwise the id is ignored
  // and the other fields apply to the object that is there.
  bool swapCharacter = true;
  // A new placement (no move flag) at an occupied depth leaves the object
  // there alone (SWF 6 and later); otherwise it goes behind it, both staying.
  bool keepOccupied = false;
};

// Applies one PlaceObject to a list. A new depth is only added while the list
// holds fewer than maxSize objects.
void ApplyPlaceObject(DisplayList& list, const PlaceObject& place, std::size_t maxSize,
                      PlaceRules rules = {});

// Applies a PlaceObject to an object the timeline keeps (a move, or a new
// placement that finds the same character already there). Its name stays.
void ApplyPlaceToExisting(DisplayObject& obj, const PlaceObject& place);

// Whether a new placement during a rewind finds its own object in obj: one
// the timeline put there at the same ratio, showing the same character (or,
// for sprites, any sprite: a sprite is not placed again over another).
bool SamePlacement(const DisplayObject& obj, const PlaceObject& place, bool bothSprites);

void ApplyRemoveObject(DisplayList& list, const RemoveObject& remove);

// Takes the object at it off the list, the first object sharing its depth
// (DisplayObject::above) taking its place; returns it without them.
DisplayObject TakeFromList(DisplayList& list, DisplayList::iterator it);

}  // namespace orrivel::swf
