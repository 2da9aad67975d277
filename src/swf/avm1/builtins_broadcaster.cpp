#include <algorithm>
#include <string>
#include <vector>

#include "swf/avm1/broadcaster.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/clip_object.h"

namespace orrivel::swf::avm1 {

namespace {

// Copies the listeners out so that handlers may change the list safely.
std::vector<Value> Listeners(Vm& vm, Object* obj) {
  std::vector<Value> out;
  const Value list = obj ? vm.Get(obj, "_listeners") : Value{};
  if (!list.IsObject()) return out;
  const double length = vm.ToNumber(vm.Get(list.object, "length"));
  if (!(length > 0)) return out;
  const auto n = static_cast<std::size_t>(std::min(length, double(vm.limits.maxElements)));
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) out.push_back(vm.Get(list.object, std::to_string(i)));
  return out;
}

// The methods work through the list's own push and splice, as Flash's do.
Completion AddListener(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return Value::Bool(true);
  const Value listener = Arg(args, 0);
  vm.CallMethod(self, "removeListener", Args(&listener, 1));
  const Value list = vm.Get(self, "_listeners");
  if (list.IsObject()) vm.CallMethod(list.object, "push", Args(&listener, 1));
  return Value::Bool(true);
}

Completion RemoveListener(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value listener = Arg(args, 0);
  const Value list = self ? vm.Get(self, "_listeners") : Value{};
  if (!list.IsObject()) return Value::Bool(false);
  const std::vector<Value> current = Listeners(vm, self);
  for (std::size_t i = 0; i < current.size(); ++i) {
    if (!vm.LooseEquals(current[i], listener)) continue;
    const Value at[2] = {Value::Num(static_cast<double>(i)), Value::Num(1)};
    vm.CallMethod(list.object, "splice", at);
    return Value::Bool(true);
  }
  return Value::Bool(false);
}

Completion BroadcastMessage(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  const std::string message = vm.ToString(args[0]);
  return Broadcast(vm, self, message, args.subspan(1)) ? Value::Bool(true) : Value{};
}

Completion Initialize(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value target = Arg(args, 0);
  if (!target.IsObject()) return {};
  // A removed clip takes no properties.
  if (target.object->IsClip() && !static_cast<ClipObject*>(target.object)->Instance()) return {};
  // Copies the methods the broadcaster holds now (a script may have replaced them).
  for (const char* name : {"addListener", "removeListener", "broadcastMessage"}) {
    const Value fn = self ? vm.Get(self, name) : Value{};
    target.object->Define(vm, name, fn, kDontEnum);
  }
  target.object->Define(vm, "_listeners", Value::Obj(vm.NewArray()), kDontEnum);
  return {};
}

Completion Construct(Vm&, const CallContext&, Args) { return {}; }

// What AsBroadcaster.initialize gives an object, the player's own included.
// The player writes the two list methods in ActionScript, so each has a
// prototype of its own.
constexpr Member kBroadcasterMethods[] = {
    Method("broadcastMessage", BroadcastMessage),
    WithPrototype(Method("addListener", AddListener)),
    WithPrototype(Method("removeListener", RemoveListener)),
};

// Before version 6 the name exists but the class is empty.
constexpr Member kAsBroadcasterStatics[] = {
    AbsentBefore(Method("broadcastMessage", BroadcastMessage, kHidden, 6)),
    AbsentBefore(WithPrototype(Method("addListener", AddListener, kHidden, 6))),
    AbsentBefore(WithPrototype(Method("removeListener", RemoveListener, kHidden, 6))),
    AbsentBefore(Method("initialize", Initialize, kHidden, 6)),
};

void FinishAsBroadcaster(Vm& vm, Object* cls) {
  if (vm.version >= 6) return;
  if (Property* p = cls->FindProperty(vm, "prototype")) p->flags = 0;
  cls->DeleteOwn(vm, "prototype");
}

}  // namespace

void MakeBroadcaster(Vm& vm, Object* obj, uint16_t extraFlags) {
  for (const Member& m : kBroadcasterMethods) {
    Member own = m;
    own.flags |= extraFlags;
    Declare(vm, obj, Members(&own, 1));
  }
  obj->Define(vm, "_listeners", Value::Obj(vm.NewArray()), kDontEnum | extraFlags);
}

bool Broadcast(Vm& vm, Object* obj, std::string_view message, Args args) {
  const Value list = obj ? vm.Get(obj, "_listeners") : Value{};
  if (!list.IsObject()) return false;
  // The list is read as it stands at each step: listeners added by a handler hear it too.
  std::size_t i = 0;
  for (; i < vm.limits.maxElements && !vm.Aborted(); ++i) {
    const double length = vm.ToNumber(vm.Get(list.object, "length"));
    if (!(static_cast<double>(i) < length)) break;
    const Value l = vm.Get(list.object, std::to_string(i));
    Object* o = l.IsNullish() ? nullptr : vm.ToObject(l);
    // A removed clip no longer hears anything.
    if (o && o->IsClip() && !static_cast<ClipObject*>(o)->Instance()) continue;
    if (o) vm.CallMethod(o, message, args);
  }
  return i > 0;
}

extern const ClassDecl kAsBroadcasterClass{.name = "AsBroadcaster",
                                           .ctor = Construct,
                                           .proto = {},
                                           .statics = kAsBroadcasterStatics,
                                           .finish = FinishAsBroadcaster};

}  // namespace orrivel::swf::avm1
