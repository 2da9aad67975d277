// ASnative, ASSetNative, ASSetNativeAccessor and ASconstructor: the
// player's numbered table of built-in functions. The table names the
// built-ins already installed (by where they live), so a number gives the
// very function a movie would find by name.
#include <cmath>

#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/registry.h"

namespace orrivel::swf::avm1 {

namespace {

struct NativeSlot {
  int category, index;
  const char* path;  // from _global; "Obj.prop#get" / "#set" for accessor halves
};

constexpr NativeSlot kTable[] = {
    {100, 0, "escape"},
    {100, 1, "unescape"},
    {100, 2, "parseInt"},
    {100, 3, "parseFloat"},
    {100, 5, "updateAfterEvent"},
    {101, 0, "Object.prototype.watch"},
    {101, 1, "Object.prototype.unwatch"},
    {101, 2, "Object.prototype.addProperty"},
    {101, 3, "Object.prototype.valueOf"},
    {101, 4, "Object.prototype.toString"},
    {101, 5, "Object.prototype.hasOwnProperty"},
    {101, 6, "Object.prototype.isPrototypeOf"},
    {101, 7, "Object.prototype.isPropertyEnumerable"},
    {101, 8, "Object.registerClass"},
    {103, 0, "Date.prototype.getFullYear"},
    {103, 1, "Date.prototype.getYear"},
    {103, 2, "Date.prototype.getMonth"},
    {103, 3, "Date.prototype.getDate"},
    {103, 4, "Date.prototype.getDay"},
    {103, 5, "Date.prototype.getHours"},
    {103, 6, "Date.prototype.getMinutes"},
    {103, 7, "Date.prototype.getSeconds"},
    {103, 8, "Date.prototype.getMilliseconds"},
    {103, 9, "Date.prototype.setFullYear"},
    {103, 10, "Date.prototype.setMonth"},
    {103, 11, "Date.prototype.setDate"},
    {103, 12, "Date.prototype.setHours"},
    {103, 13, "Date.prototype.setMinutes"},
    {103, 14, "Date.prototype.setSeconds"},
    {103, 15, "Date.prototype.setMilliseconds"},
    {103, 16, "Date.prototype.getTime"},
    {103, 17, "Date.prototype.setTime"},
    {103, 18, "Date.prototype.getTimezoneOffset"},
    {103, 19, "Date.prototype.toString"},
    {103, 20, "Date.prototype.setYear"},
    {103, 128, "Date.prototype.getUTCFullYear"},
    {103, 129, "Date.prototype.getUTCYear"},
    {103, 130, "Date.prototype.getUTCMonth"},
    {103, 131, "Date.prototype.getUTCDate"},
    {103, 132, "Date.prototype.getUTCDay"},
    {103, 133, "Date.prototype.getUTCHours"},
    {103, 134, "Date.prototype.getUTCMinutes"},
    {103, 135, "Date.prototype.getUTCSeconds"},
    {103, 136, "Date.prototype.getUTCMilliseconds"},
    {103, 137, "Date.prototype.setUTCFullYear"},
    {103, 138, "Date.prototype.setUTCMonth"},
    {103, 139, "Date.prototype.setUTCDate"},
    {103, 140, "Date.prototype.setUTCHours"},
    {103, 141, "Date.prototype.setUTCMinutes"},
    {103, 142, "Date.prototype.setUTCSeconds"},
    {103, 143, "Date.prototype.setUTCMilliseconds"},
    {103, 256, "Date"},
    {103, 257, "Date.UTC"},
    {200, 0, "Math.abs"},
    {200, 1, "Math.min"},
    {200, 2, "Math.max"},
    {200, 3, "Math.sin"},
    {200, 4, "Math.cos"},
    {200, 5, "Math.atan2"},
    {200, 6, "Math.tan"},
    {200, 7, "Math.exp"},
    {200, 8, "Math.log"},
    {200, 9, "Math.sqrt"},
    {200, 10, "Math.round"},
    {200, 11, "Math.random"},
    {200, 12, "Math.floor"},
    {200, 13, "Math.ceil"},
    {200, 14, "Math.atan"},
    {200, 15, "Math.asin"},
    {200, 16, "Math.acos"},
    {200, 17, "Math.pow"},
    {200, 18, "isNaN"},
    {200, 19, "isFinite"},
    {251, 3, "String.prototype.toUpperCase"},
    {251, 4, "String.prototype.toLowerCase"},
    {666, 1, "Stage.scaleMode#get"},
    {666, 2, "Stage.scaleMode#set"},
    {666, 3, "Stage.align#get"},
    {666, 4, "Stage.align#set"},
    {666, 5, "Stage.width#get"},
    {666, 7, "Stage.height#get"},
    {666, 9, "Stage.showMenu#get"},
    {666, 10, "Stage.showMenu#set"},
    {901, 0, "MovieClip.prototype.createEmptyMovieClip"},
};

// Follows a dotted path from _global without running getters.
Object* Resolve(Vm& vm, std::string_view path) {
  std::string_view half;
  if (const auto hash = path.find('#'); hash != std::string_view::npos) {
    half = path.substr(hash + 1);
    path = path.substr(0, hash);
  }
  Object* at = vm.global;
  Property* last = nullptr;
  while (at && !path.empty()) {
    const auto dot = path.find('.');
    const std::string_view part = path.substr(0, dot);
    last = nullptr;
    for (Object* o = at; o && !last; o = o->proto) last = o->FindProperty(vm, part);
    if (!last) return nullptr;
    at = last->value.IsObject() ? last->value.object : nullptr;
    path = dot == std::string_view::npos ? std::string_view{} : path.substr(dot + 1);
  }
  if (half == "get") return last ? last->getter : nullptr;
  if (half == "set") return last ? last->setter : nullptr;
  return at && at->IsFunction() ? at : nullptr;
}

Object* Lookup(Vm& vm, double category, double index) {
  if (!std::isfinite(category) || !std::isfinite(index)) return nullptr;
  const auto& natives = HostStateOf(vm).natives;
  auto it = natives.find({ToInt32(category), ToInt32(index)});
  // Some categories answer every other number with one shared function.
  if (it == natives.end()) it = natives.find({ToInt32(category), -1});
  return it == natives.end() ? nullptr : it->second;
}

Completion AsNative(Vm& vm, Object*, Args args) {
  if (args.size() != 2) return {};
  const double category = vm.ToNumber(args[0]);
  const double index = vm.ToNumber(args[1]);
  if (vm.Throwing()) return {};
  // Each call makes a new function object for the native: it has no
  // prototype, and `new` on it makes a plain object, which the natives that
  // want an instance of their own class ignore.
  auto* fn = dynamic_cast<FunctionObject*>(Lookup(vm, category, index));
  if (!fn || !fn->native) return Value::Obj(fn);
  return Value::Obj(vm.NewNative(fn->native));
}

// The names of a comma list, each numbered from `start`; an empty name
// skips a number. A leading version digit hides a new name from older
// movies (as the matching ASSetPropFlags bits do).
uint16_t VersionBits(int since) {
  switch (since) {
    case 6:
      return kSince6;
    case 7:
      return kSince7;
    case 8:
      return kSince8;
    case 9:
      return kSince9;
    case 10:
      return kSince10;
    default:
      return 0;
  }
}

template <typename Fn>
void EachName(Vm& vm, Object* target, const std::string& list, double start, int step, Fn&& fn) {
  double index = start;
  std::size_t from = 0;
  // The player's own lists are short; a movie's list is cut off.
  constexpr int kMaxNames = 1024;
  for (int n = 0; from <= list.size() && n < kMaxNames; ++n) {
    const std::size_t comma = std::min(list.find(',', from), list.size());
    std::string name = list.substr(from, comma - from);
    // A leading version mark: 6 to 9, 10, or 1 (every version).
    int since = 0;
    if (name.starts_with("10")) {
      since = 10;
      name.erase(0, 2);
    } else if (!name.empty() && (name[0] == '1' || (name[0] >= '6' && name[0] <= '9'))) {
      since = name[0] - '0';
      name.erase(0, 1);
    }
    if (!name.empty()) fn(name, index, VersionBits(since));
    index += step;
    from = comma + 1;
  }
}

Completion SetNative(Vm& vm, Object*, Args args) {
  if (args.size() < 3 || !args[0].IsObject()) return {};
  Object* target = args[0].object;
  const double category = vm.ToNumber(args[1]);
  const std::string names = vm.ToString(args[2]);
  const double start = args.size() > 3 ? vm.ToNumber(args[3]) : 0;
  if (vm.Throwing()) return {};
  EachName(vm, target, names, start, 1, [&](const std::string& name, double index, uint16_t bits) {
    Object* fn = Lookup(vm, category, index);
    const Value v = fn ? Value::Obj(fn) : Value{};
    if (Property* p = target->FindProperty(vm, name)) {
      p->value = v;  // keeps its flags
    } else {
      target->Define(vm, name, v, bits);
    }
  });
  return {};
}

Completion SetNativeAccessor(Vm& vm, Object*, Args args) {
  if (args.size() < 3 || !args[0].IsObject()) return {};
  Object* target = args[0].object;
  const double category = vm.ToNumber(args[1]);
  const std::string names = vm.ToString(args[2]);
  const double start = args.size() > 3 ? vm.ToNumber(args[3]) : 0;
  if (vm.Throwing()) return {};
  EachName(vm, target, names, start, 2, [&](const std::string& name, double index, uint16_t bits) {
    // A number with no native still makes the property, reading undefined.
    Object* get = Lookup(vm, category, index);
    target->Define(vm, name, Value{}, bits);
    Property* p = target->FindProperty(vm, name);
    p->getter = get;
    p->setter = Lookup(vm, category, index + 1);
  });
  return {};
}

// ASconstructor(category, index): the native made usable with `new`, with
// a fresh prototype.
Completion AsConstructor(Vm& vm, Object*, Args args) {
  if (args.size() != 2) return {};
  Object* fn = Lookup(vm, vm.ToNumber(args[0]), vm.ToNumber(args[1]));
  auto* native = dynamic_cast<FunctionObject*>(fn);
  if (!native) return {};
  FunctionObject* made = vm.NewNative(native->native, vm.NewObject());
  made->construct = native->construct;
  return Value::Obj(made);
}

// ASnative(2, 0): whether the running script function was called by `new`.
Completion AsNew(Vm& vm, Object*, Args) { return Value::Bool(vm.InNew()); }

// Math's numbers past its functions: the arguments are converted like any
// Math function's, and the answer is NaN.
Completion MathUnknown(Vm& vm, Object*, Args args) {
  for (std::size_t i = 0; i < args.size() && i < 2; ++i) vm.ToNumber(args[i]);
  return Value::Num(NAN);
}

}  // namespace

void InstallNativeBuiltins(Vm& vm) {
  FunctionObject* asNative = vm.NewNative(AsNative);
  vm.global->Define(vm, "ASnative", Value::Obj(asNative), kDontEnum);
  vm.global->Define(vm, "ASSetNative", Value::Obj(vm.NewNative(SetNative)), kDontEnum);
  vm.global->Define(vm, "ASSetNativeAccessor", Value::Obj(vm.NewNative(SetNativeAccessor)),
                    kDontEnum);
  vm.global->Define(vm, "ASconstructor", Value::Obj(vm.NewNative(AsConstructor)), kDontEnum);
}

std::vector<std::string> BindNativeTable(Vm& vm) {
  std::vector<std::string> missing;
  auto& natives = HostStateOf(vm).natives;
  for (const NativeSlot& slot : kTable) {
    if (Object* f = Resolve(vm, slot.path)) {
      natives[{slot.category, slot.index}] = f;
    } else {
      missing.emplace_back(slot.path);
    }
  }
  natives[{2, 0}] = vm.NewNative(AsNew);
  natives[{200, -1}] = vm.NewNative(MathUnknown);
  return missing;
}

}  // namespace orrivel::swf::avm1
