// ASnative, ASSetNative, ASSetNativeAccessor and ASconstructor: the
// player's numbered table of built-in functions. Each class's table names
// the numbers of its members, so a number gives the very function a movie
// would find by name.
#include <cmath>

#include "swf/avm1/host_class.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/registry.h"

namespace orrivel::swf::avm1 {

namespace {

// Numbers convert as 32-bit integers: NaN is 0, 2^32 + 4 is 4.
Object* Lookup(Vm& vm, double category, double index) {
  const auto& natives = HostStateOf(vm).natives;
  auto it = natives.find({ToInt32(category), ToInt32(index)});
  // Some categories answer every other number with one shared function.
  if (it == natives.end()) it = natives.find({ToInt32(category), -1});
  return it == natives.end() ? nullptr : it->second;
}

Completion AsNative(Vm& vm, const CallContext&, Args args) {
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

// The arguments both setters take: (target, category, "names", first index).
struct NamedNatives {
  Object* target = nullptr;
  double category = 0;
  std::string names;
  double start = 0;
};

bool ReadNamedNatives(Vm& vm, Args args, NamedNatives& out) {
  if (args.size() < 3 || !args[0].IsObject()) return false;
  out.target = args[0].object;
  out.category = vm.ToNumber(args[1]);
  out.names = vm.ToString(args[2]);
  out.start = args.size() > 3 ? vm.ToNumber(args[3]) : 0;
  return !vm.Throwing();
}

Completion SetNative(Vm& vm, const CallContext&, Args args) {
  NamedNatives n;
  if (!ReadNamedNatives(vm, args, n)) return {};
  EachName(vm, n.target, n.names, n.start, 1,
           [&](const std::string& name, double index, uint16_t bits) {
             Object* fn = Lookup(vm, n.category, index);
             const Value v = fn ? Value::Obj(fn) : Value{};
             if (Property* p = n.target->FindProperty(vm, name)) {
               p->value = v;  // keeps its flags
             } else {
               n.target->Define(vm, name, v, bits);
             }
           });
  return {};
}

Completion SetNativeAccessor(Vm& vm, const CallContext&, Args args) {
  NamedNatives n;
  if (!ReadNamedNatives(vm, args, n)) return {};
  EachName(vm, n.target, n.names, n.start, 2,
           [&](const std::string& name, double index, uint16_t bits) {
             // A number with no native still makes the property, reading undefined.
             Object* get = Lookup(vm, n.category, index);
             n.target->Define(vm, name, Value{}, bits);
             Property* p = n.target->FindProperty(vm, name);
             p->getter = get;
             p->setter = Lookup(vm, n.category, index + 1);
           });
  return {};
}

// ASconstructor(category, index): the native made usable with `new`, with
// a fresh prototype.
Completion AsConstructor(Vm& vm, const CallContext&, Args args) {
  if (args.size() != 2) return {};
  Object* fn = Lookup(vm, vm.ToNumber(args[0]), vm.ToNumber(args[1]));
  auto* native = dynamic_cast<FunctionObject*>(fn);
  if (!native) return {};
  FunctionObject* made = vm.NewNative(native->native, vm.NewObject());
  made->construct = native->construct;
  return Value::Obj(made);
}

// ASnative(2, 0): whether the running script function was called by `new`.
Completion AsNew(Vm& vm, const CallContext&, Args) { return Value::Bool(vm.InNew()); }

// Math's numbers past its functions: the arguments are converted like any
// Math function's, and the answer is NaN.
Completion MathUnknown(Vm& vm, const CallContext&, Args args) {
  for (std::size_t i = 0; i < args.size() && i < 2; ++i) vm.ToNumber(args[i]);
  return Value::Num(NAN);
}

// ASnative(100, 4): trace, which movies otherwise reach only as an action.
Completion Trace(Vm& vm, const CallContext&, Args args) {
  const Value v = Arg(args, 0);
  if (vm.traceSink) vm.traceSink(v.IsUndefined() ? "undefined" : vm.ToString(v));
  return {};
}

// ASnative(102, 0) and (102, 1): the case changes of SWF 5's strings, which
// map only the ASCII letters of `this` as text.
std::string AsciiCase(Vm& vm, const CallContext& call, bool upper) {
  std::string s = call.self.IsUndefined() ? std::string() : vm.ToString(call.self);
  for (char& c : s) {
    if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}
Completion AsciiUpper(Vm& vm, const CallContext& call, Args) {
  return Value::Str(AsciiCase(vm, call, true));
}
Completion AsciiLower(Vm& vm, const CallContext& call, Args) {
  return Value::Str(AsciiCase(vm, call, false));
}

// The natives no class has under a name.
void BindUnnamedNatives(Vm& vm, Object*) {
  auto& natives = HostStateOf(vm).natives;
  natives[{2, 0}] = vm.NewNative(AsNew);
  natives[{100, 4}] = vm.NewNative(Trace);
  natives[{102, 0}] = vm.NewNative(AsciiUpper);
  natives[{102, 1}] = vm.NewNative(AsciiLower);
  natives[{200, -1}] = vm.NewNative(MathUnknown);
}

constexpr Member kNativeGlobals[] = {
    Method("ASnative", AsNative, kDontEnum),
    Method("ASSetNative", SetNative, kDontEnum),
    Method("ASSetNativeAccessor", SetNativeAccessor, kDontEnum),
    Method("ASconstructor", AsConstructor, kDontEnum),
};

}  // namespace

// The table itself is filled as each class is declared: every member with
// native numbers puts its own function in.
extern const ClassDecl kNativeTableDecl{.name = nullptr,
                                        .ctor = nullptr,
                                        .proto = {},
                                        .statics = kNativeGlobals,
                                        .finish = BindUnnamedNatives};

}  // namespace orrivel::swf::avm1
