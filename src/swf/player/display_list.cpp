#include "swf/player/display_list.h"

#include <cmath>
#include <iterator>
#include <numbers>
#include <utility>

namespace orrivel::swf {

namespace {

// Objects that may share one depth (before SWF 6).
constexpr std::size_t kMaxSharing = 64;

void ApplyProperties(DisplayObject& obj, const PlaceObject& place) {
  if (place.matrix) obj.matrix = *place.matrix;
  if (place.colorTransform) obj.colorTransform = *place.colorTransform;
  if (place.ratio) obj.ratio = *place.ratio;
  if (place.name) {
    obj.name = *place.name;
    obj.named = true;
  }
  if (place.clipDepth) obj.clipDepth = *place.clipDepth;
  if (place.blendMode) obj.blendMode = *place.blendMode;
  if (place.visible) obj.visible = *place.visible;
  if (place.hasFilters) obj.filters = place.filters;
  if (place.cacheAsBitmap) obj.cacheAsBitmap = *place.cacheAsBitmap;
  if (place.backgroundColor) obj.opaqueBackground = *place.backgroundColor;
  if (!place.clipActionRecords.empty()) obj.clipActions = &place.clipActionRecords;
}

}  // namespace

void ApplyPlaceToExisting(DisplayObject& obj, const PlaceObject& place) {
  const std::string name = obj.name;
  if (obj.scripted) {
    // A script took over position and colour; the rest still follows the timeline.
    const Matrix m = obj.matrix;
    const ColorTransform ct = obj.colorTransform;
    ApplyProperties(obj, place);
    obj.matrix = m;
    obj.colorTransform = ct;
  } else {
    ApplyProperties(obj, place);
  }
  obj.name = name;
}

bool SamePlacement(const DisplayObject& obj, const PlaceObject& place, bool bothSprites) {
  return !obj.byScript && place.characterId &&
         (bothSprites || *place.characterId == obj.characterId) &&
         place.ratio.value_or(0) == obj.ratio;
}

void ApplyPlaceObject(DisplayList& list, const PlaceObject& place, std::size_t maxSize,
                      PlaceRules rules) {
  auto it = list.find(place.depth);
  if (place.move) {
    if (it == list.end()) {
      // Moving an empty depth with a character places it; without one there
      // is nothing to move.
      if (!place.characterId || list.size() >= maxSize) return;
      DisplayObject obj;
      obj.characterId = *place.characterId;
      obj.depth = place.depth;
      ApplyProperties(obj, place);
      list.emplace(place.depth, std::move(obj));
      return;
    }
    DisplayObject& obj = it->second;
    if (place.characterId && !rules.swapCharacter) {
      // The object stays itself: its name and handlers too.
      const std::string name = obj.name;
      const auto* actions = obj.clipActions;
      ApplyPlaceToExisting(obj, place);
      obj.name = name;
      obj.clipActions = actions;
      return;
    }
    if (place.characterId && *place.characterId != obj.characterId) {
      obj.characterId = *place.characterId;
      obj.instance.reset();
      obj.text.reset();
    }
    ApplyPlaceToExisting(obj, place);
    return;
  }
  if (!place.characterId) return;  // a new placement needs a character
  if (it != list.end() && (it->second.scriptDepth || rules.keepOccupied)) return;
  if (it == list.end() && list.size() >= maxSize) return;
  DisplayObject obj;
  obj.characterId = *place.characterId;
  obj.depth = place.depth;
  ApplyProperties(obj, place);
  if (it != list.end()) {
    // A movie placing at one depth without end must not grow without end.
    if (it->second.above.size() >= kMaxSharing) return;
    // Goes behind the object there, which keeps what shares its depth.
    DisplayObject& old = it->second;
    obj.above.reserve(old.above.size() + 1);
    std::vector<DisplayObject> rest = std::move(old.above);
    old.above.clear();
    obj.above.push_back(std::move(old));
    for (DisplayObject& o : rest) obj.above.push_back(std::move(o));
    it->second = std::move(obj);
    return;
  }
  list.emplace(place.depth, std::move(obj));
}

DisplayObject TakeFromList(DisplayList& list, DisplayList::iterator it) {
  DisplayObject taken = std::move(it->second);
  std::vector<DisplayObject> rest = std::move(taken.above);
  taken.above.clear();
  if (rest.empty()) {
    list.erase(it);
    return taken;
  }
  DisplayObject next = std::move(rest.front());
  next.above.assign(std::make_move_iterator(rest.begin() + 1), std::make_move_iterator(rest.end()));
  it->second = std::move(next);
  return taken;
}

ScaleRotation ScaleRotationOf(const DisplayObject& obj) {
  const Matrix& m = obj.matrix;
  if (const auto& made = obj.scaleRotationMatrix;
      made && made->a == m.a && made->b == m.b && made->c == m.c && made->d == m.d)
    return obj.scaleRotation;
  ScaleRotation s;
  s.scaleX = std::sqrt(m.a * m.a + m.b * m.b);
  s.scaleY = std::sqrt(m.c * m.c + m.d * m.d);
  s.rotation = std::atan2(m.b, m.a);
  s.skew = std::atan2(-m.c, m.d) - s.rotation;
  return s;
}

void SetScaleRotation(DisplayObject& obj, const ScaleRotation& s) {
  Matrix& m = obj.matrix;
  // An infinite scale or rotation reads back as set, but draws nothing. The
  // matrix holds 16.16 fixed-point numbers, so a quarter turn leaves exact zeros.
  const auto finite = [](double v) {
    if (!std::isfinite(v)) return 0.0;
    return std::abs(v) < 1e9 ? std::nearbyint(v * 65536.0) / 65536.0 : v;
  };
  m.a = finite(s.scaleX * std::cos(s.rotation));
  m.b = finite(s.scaleX * std::sin(s.rotation));
  m.c = finite(-s.scaleY * std::sin(s.rotation + s.skew));
  m.d = finite(s.scaleY * std::cos(s.rotation + s.skew));
  obj.scaleRotation = s;
  obj.scaleRotationMatrix = m;
}

double GetScaleProperty(const DisplayObject* obj, ScaleProperty which) {
  const ScaleRotation s = obj ? ScaleRotationOf(*obj) : ScaleRotation{};
  switch (which) {
    case ScaleProperty::XScale:
      return s.scaleX * 100;
    case ScaleProperty::YScale:
      return s.scaleY * 100;
    default:
      // Kept in degrees as set, so steps of whole degrees add up exactly.
      return s.inDegrees ? s.degrees : s.rotation * 180 / std::numbers::pi;
  }
}

void SetScaleProperty(DisplayObject& obj, ScaleProperty which, double value) {
  if (std::isnan(value)) return;
  ScaleRotation s = ScaleRotationOf(obj);
  if (which == ScaleProperty::XScale) {
    s.scaleX = value / 100;
  } else if (which == ScaleProperty::YScale) {
    s.scaleY = value / 100;
  } else {
    double degrees = std::fmod(value, 360);
    if (degrees > 180) degrees -= 360;
    if (degrees < -180) degrees += 360;
    s.rotation = degrees * std::numbers::pi / 180;
    s.degrees = degrees;
    s.inDegrees = true;
  }
  SetScaleRotation(obj, s);
}

void ApplyRemoveObject(DisplayList& list, const RemoveObject& remove) {
  if (auto it = list.find(remove.depth); it != list.end()) TakeFromList(list, it);
}

}  // namespace orrivel::swf
