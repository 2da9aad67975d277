// Color: reads and sets the colour transform of the clip named by its
// target (a clip, or a path that is looked up on every call).
#include <algorithm>
#include <cmath>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

DisplayObject* TargetPlacement(Vm& vm, Object* self) {
  if (!self) return nullptr;
  const Value target = vm.Get(self, "target");
  ClipObject* clip = nullptr;
  if (target.IsObject() && target.object->IsClip()) {
    clip = static_cast<ClipObject*>(target.object);
  } else if (!target.IsNullish()) {
    ClipObject* base = vm.CurrentTarget() ? vm.CurrentTarget() : vm.RootClip();
    clip = ResolveTarget(vm, base, vm.ToString(target));
  }
  return clip ? clip->Placement() : nullptr;
}

// The transform's fields are 16-bit: out-of-range values wrap, as they do
// in Flash (an alpha multiplier of 12800% reads back as -12800).
int16_t ToAdd(double v) { return static_cast<int16_t>(ToInt32(v)); }
// Percent of the script's transform to the 8.8 fixed point multiplier.
int16_t ToMult(double percent) { return ToAdd(percent * 2.56); }

Completion Construct(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (self) vm.Set(self, "target", Arg(args, 0));
  return {};
}

Completion GetRgb(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const DisplayObject* p = TargetPlacement(vm, self);
  if (!p) return {};
  const ColorTransform& c = p->colorTransform;
  return Value::Num(((c.rAdd & 0xFF) << 16) | ((c.gAdd & 0xFF) << 8) | (c.bAdd & 0xFF));
}

Completion SetRgb(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  DisplayObject* p = TargetPlacement(vm, self);
  if (!p || args.empty()) return {};
  const auto rgb = static_cast<uint32_t>(ToInt32(vm.ToNumber(args[0])));
  ColorTransform& c = p->colorTransform;
  c.rMult = c.gMult = c.bMult = 0;
  c.rAdd = static_cast<int16_t>((rgb >> 16) & 0xFF);
  c.gAdd = static_cast<int16_t>((rgb >> 8) & 0xFF);
  c.bAdd = static_cast<int16_t>(rgb & 0xFF);
  p->scripted = true;
  return {};
}

Completion GetTransform(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const DisplayObject* p = TargetPlacement(vm, self);
  if (!p) return {};
  const ColorTransform& c = p->colorTransform;
  Object* o = vm.NewObject();
  const std::pair<const char*, double> fields[] = {
      {"ra", c.rMult / 2.56}, {"rb", c.rAdd}, {"ga", c.gMult / 2.56}, {"gb", c.gAdd},
      {"ba", c.bMult / 2.56}, {"bb", c.bAdd}, {"aa", c.aMult / 2.56}, {"ab", c.aAdd}};
  for (const auto& [k, v] : fields) vm.Set(o, k, Value::Num(v));
  return Value::Obj(o);
}

Completion SetTransform(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  DisplayObject* p = TargetPlacement(vm, self);
  if (!p || args.empty() || !args[0].IsObject()) return {};
  Object* t = args[0].object;
  ColorTransform& c = p->colorTransform;
  // Only the fields the object has change.
  const auto field = [&](const char* name, int16_t& out, bool mult) {
    const Value v = vm.Get(t, name);
    if (v.IsUndefined()) return;
    const double n = vm.ToNumber(v);
    out = std::isnan(n) ? 0 : mult ? ToMult(n) : ToAdd(n);
  };
  field("ra", c.rMult, true);
  field("rb", c.rAdd, false);
  field("ga", c.gMult, true);
  field("gb", c.gAdd, false);
  field("ba", c.bMult, true);
  field("bb", c.bAdd, false);
  field("aa", c.aMult, true);
  field("ab", c.aAdd, false);
  p->scripted = true;
  return {};
}

// Read-only, as the player makes Color.prototype.
constexpr Member kColorProto[] = {
    Method("setRGB", SetRgb, kConstant),
    Method("setTransform", SetTransform, kConstant),
    Method("getRGB", GetRgb, kConstant),
    Method("getTransform", GetTransform, kConstant),
};

}  // namespace

extern const ClassDecl kColorClass{"Color", Construct, kColorProto};

}  // namespace orrivel::swf::avm1
