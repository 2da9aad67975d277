// MovieClip.blendMode, cacheAsBitmap, opaqueBackground and scrollRect, and the blend mode names
// that BitmapData.draw takes too.
#include <array>
#include <cmath>

#include "swf/avm1/clip_methods.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/host_class.h"
#include "swf/player/display_list.h"
#include "swf/player/script/bitmap_object.h"

namespace orrivel::swf::avm1 {

namespace {

// By the file's values; 0 reads as normal too.
constexpr std::array<const char*, 15> kBlendNames = {
    "normal", "normal",   "layer",  "multiply", "screen", "lighten", "darken",   "difference",
    "add",    "subtract", "invert", "alpha",    "erase",  "overlay", "hardlight"};

DisplayObject* PlacementOf(Object* self) {
  return self && self->IsClip() ? static_cast<ClipObject*>(self)->Placement() : nullptr;
}

}  // namespace

std::optional<BlendMode> BlendModeArg(Vm& vm, const Value& v) {
  if (v.IsNullish()) return BlendMode::Normal;
  if (v.type == Type::String) {
    // Names match exactly, case and all.
    for (std::size_t i = 1; i < kBlendNames.size(); ++i) {
      if (v.string == kBlendNames[i]) return static_cast<BlendMode>(i == 1 ? 0 : i);
    }
    return std::nullopt;
  }
  if (v.type != Type::Number) return std::nullopt;
  // A number keeps its low byte: 259 is multiply.
  const auto n = static_cast<uint32_t>(ToInt32(vm.ToNumber(v))) & 0xFF;
  if (n < 1 || n >= kBlendNames.size()) return std::nullopt;
  return static_cast<BlendMode>(n == 1 ? 0 : n);
}

Completion GetBlendMode(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  DisplayObject* placed = PlacementOf(self);
  if (!placed) return {};
  const auto i = static_cast<std::size_t>(placed->blendMode);
  return Value::Str(i < kBlendNames.size() ? kBlendNames[i] : "normal");
}

// Anything that names no mode leaves the mode as it was.
Completion SetBlendMode(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  DisplayObject* placed = PlacementOf(self);
  if (!placed || args.empty()) return {};
  if (const auto mode = BlendModeArg(vm, args[0])) placed->blendMode = *mode;
  return {};
}

Completion GetCacheAsBitmap(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  DisplayObject* placed = PlacementOf(self);
  return placed ? Value::Bool(placed->cacheAsBitmap) : Value{};
}

Completion SetCacheAsBitmap(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  DisplayObject* placed = PlacementOf(self);
  if (placed && !args.empty()) placed->cacheAsBitmap = vm.ToBoolean(args[0]);
  return {};
}

// The colour as a number, undefined when the clip has no background.
Completion GetOpaqueBackground(Vm&, const CallContext& call, Args) {
  DisplayObject* placed = PlacementOf(call.This());
  if (!placed || !placed->opaqueBackground) return {};
  const Rgba c = *placed->opaqueBackground;
  return Value::Num((c.r << 16) | (c.g << 8) | c.b);
}

// null or undefined takes the background away; anything else is an RGB
// number, its top byte dropped.
Completion SetOpaqueBackground(Vm& vm, const CallContext& call, Args args) {
  DisplayObject* placed = PlacementOf(call.This());
  if (!placed || args.empty()) return {};
  if (args[0].IsNullish()) {
    placed->opaqueBackground.reset();
    return {};
  }
  const auto rgb = static_cast<uint32_t>(ToInt32(vm.ToNumber(args[0])));
  placed->opaqueBackground = Rgba{static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                  static_cast<uint8_t>(rgb), 255};
  return {};
}

// A new Rectangle of the window, undefined when the clip has none.
Completion GetScrollRect(Vm& vm, const CallContext& call, Args) {
  DisplayObject* placed = PlacementOf(call.This());
  if (!placed || !placed->scrollRect) return {};
  const Value flash = vm.Get(vm.global, "flash");
  const Value geom = flash.IsObject() ? vm.Get(flash.object, "geom") : Value{};
  const Value ctor = geom.IsObject() ? vm.Get(geom.object, "Rectangle") : Value{};
  if (!ctor.IsObject()) return {};
  const auto& r = *placed->scrollRect;
  const Value args[] = {Value::Num(r[0]), Value::Num(r[1]), Value::Num(r[2]), Value::Num(r[3])};
  return vm.Construct(ctor.object, args);
}

// Any object gives its x, y, width and height; anything else takes the
// window away.
Completion SetScrollRect(Vm& vm, const CallContext& call, Args args) {
  DisplayObject* placed = PlacementOf(call.This());
  if (!placed || args.empty()) return {};
  if (!args[0].IsObject()) {
    placed->scrollRect.reset();
    return {};
  }
  std::array<double, 4> r{};
  const char* const names[] = {"x", "y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    const double v = vm.ToNumber(vm.Get(args[0].object, names[i]));
    r[i] = std::isfinite(v) ? v : 0;
  }
  placed->scrollRect = r;
  return {};
}

}  // namespace orrivel::swf::avm1
