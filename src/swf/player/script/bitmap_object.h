// A script's BitmapData: its pixels, shared with the clips that show them.
// The methods' files reach the object and the conversions of their
// arguments through here.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "swf/avm1/host_state.h"
#include "swf/avm1/object.h"
#include "swf/avm1/vm.h"
#include "swf/format/filters.h"
#include "swf/player/bitmap_drawing.h"
#include "swf/render/script_bitmap.h"

namespace orrivel::swf::avm1 {

class BitmapObject : public Object {
 public:
  // A bitmap that a clip shows (attachBitmap, a bitmap fill) outlives the
  // script's last reference: its pixels stay, and still count as live.
  ~BitmapObject() override {
    if (bits.use_count() == 1) Free();
  }
  // False when the pixels of all live bitmaps would pass their budget.
  bool Allocate(int w, int h, bool alpha, uint32_t fill);
  // Clips showing the bitmap show nothing from now on.
  void Free();
  bool Valid() const { return bits->Valid(); }
  bool Inside(int x, int y) const {
    return x >= 0 && y >= 0 && x < bits->width && y < bits->height;
  }
  uint32_t& At(int x, int y) { return bits->argb[static_cast<std::size_t>(y) * bits->width + x]; }

  std::shared_ptr<ScriptBitmap> bits = std::make_shared<ScriptBitmap>();
};

inline BitmapObject* AsBitmap(Object* self) { return StateOf<BitmapObject>(self); }
inline BitmapObject* LiveBitmap(Object* self) {
  BitmapObject* b = AsBitmap(self);
  return b && b->Valid() ? b : nullptr;
}

// A script number as a pixel coordinate: truncated, non-finite ones 0.
int PixelInt(Vm& vm, const Value& v);
uint32_t PixelColor(Vm& vm, const Value& v);
// A rectangle argument: an object with x, y, width and height; false when
// it is none or lacks one of them.
bool RectArg(Vm& vm, const Value& v, PixelRect& out);
// A point argument; (0, 0) when it is none.
void PointArg(Vm& vm, const Value& v, int& x, int& y);
// A flash.geom.ColorTransform's values; none when v is no object.
ColorTransform ColorTransformArg(Vm& vm, const Value& v);
// The filter a flash.filters object describes; none for another object.
std::optional<Filter> FilterOf(Object* o);
// A blend mode given by name or number; none when v names none (null and
// undefined are normal).
std::optional<BlendMode> BlendModeArg(Vm& vm, const Value& v);
// A new flash.geom.Rectangle, or undefined when the class is gone.
Value NewRectangle(Vm& vm, const PixelRect& r);
// A new BitmapData holding pixels, of self's class.
Value NewBitmapLike(Vm& vm, Object* self, ScriptBitmap&& pixels);

// The pixel methods (builtins_bitmap_ops.cpp and builtins_bitmap_filter.cpp).
Completion BitmapColorTransform(Vm& vm, const CallContext& call, Args args);
Completion BitmapScroll(Vm& vm, const CallContext& call, Args args);
Completion BitmapCopyChannel(Vm& vm, const CallContext& call, Args args);
Completion BitmapMerge(Vm& vm, const CallContext& call, Args args);
Completion BitmapCompare(Vm& vm, const CallContext& call, Args args);
Completion BitmapThreshold(Vm& vm, const CallContext& call, Args args);
Completion BitmapFloodFill(Vm& vm, const CallContext& call, Args args);
Completion BitmapColorBounds(Vm& vm, const CallContext& call, Args args);
Completion BitmapPaletteMap(Vm& vm, const CallContext& call, Args args);
Completion BitmapNoise(Vm& vm, const CallContext& call, Args args);
Completion BitmapPerlinNoise(Vm& vm, const CallContext& call, Args args);
Completion BitmapPixelDissolve(Vm& vm, const CallContext& call, Args args);
Completion BitmapHitTest(Vm& vm, const CallContext& call, Args args);
Completion BitmapApplyFilter(Vm& vm, const CallContext& call, Args args);
Completion BitmapFilterRect(Vm& vm, const CallContext& call, Args args);

}  // namespace orrivel::swf::avm1
