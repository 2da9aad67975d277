// String and its methods. From version 6 they count UTF-16 code units, before
// that bytes.
#include <algorithm>
#include <cmath>

#include "base/utf8.h"
#include "swf/avm1/text_units.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

namespace {

std::string Self(Vm& vm, Object* self) {
  // A Date's text is its toString, not its time value.
  if (auto* box = dynamic_cast<BoxObject*>(self); box && !box->isDate) {
    return vm.ToString(box->primitive);
  }
  return self ? vm.ToString(Value::Obj(self)) : std::string();
}

std::u16string Units(Vm& vm, std::string_view s) {
  if (vm.version >= 6) return ToUnits(s);
  std::u16string out(s.size(), u'\0');
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = static_cast<uint8_t>(s[i]);
  return out;
}

std::string Text(Vm& vm, std::u16string_view u) {
  if (vm.version >= 6) return FromUnits(u);
  std::string out(u.size(), '\0');
  for (std::size_t i = 0; i < u.size(); ++i) out[i] = static_cast<char>(u[i]);
  return out;
}

std::u16string SelfUnits(Vm& vm, Object* self) { return Units(vm, Self(vm, self)); }

Value Piece(Vm& vm, const std::u16string& s, double from, double count) {
  return Value::Str(Text(vm, std::u16string_view(s).substr(static_cast<std::size_t>(from),
                                                           static_cast<std::size_t>(count))));
}

Object* MakeBox(Vm& vm) { return vm.New<BoxObject>(); }

Completion StringCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value v = Value::Str(args.empty() ? std::string() : vm.ToString(args[0]));
  if (auto* box = dynamic_cast<BoxObject*>(self); box && box->primitive.IsUndefined()) {
    box->primitive = v;
    box->Define(
        vm, "length",
        Value::Num(static_cast<double>(vm.version >= 6 ? UnitCount(v.string) : v.string.size())),
        kDontEnum | kDontDelete);
    return Value::Obj(box);
  }
  return v;
}

// On an object that is no String it gives the object's text; when that text
// comes back here (its toString is this one) it names the object instead.
Completion ValueOf(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  thread_local int nested = 0;
  if (self && !dynamic_cast<BoxObject*>(self) && nested > 0) {
    return Value::Str(self->TypeName());
  }
  ++nested;
  Value r = Value::Str(Self(vm, self));
  --nested;
  return r;
}

// Positions and lengths wrap to 32 bits as the player reads them.
double Int(Vm& vm, const Value& v) { return ToInt32(vm.ToNumber(v)); }

Completion CharAt(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const std::u16string s = SelfUnits(vm, self);
  const double i = Int(vm, Arg(args, 0));
  if (i < 0 || i >= static_cast<double>(s.size())) return Value::Str("");
  return Piece(vm, s, i, 1);
}

Completion CharCodeAt(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const std::u16string s = SelfUnits(vm, self);
  const double i = Int(vm, Arg(args, 0));
  if (i < 0) return Value::Num(NAN);
  if (i >= static_cast<double>(s.size())) return Value::Num(vm.version < 6 ? 0 : NAN);
  return Value::Num(s[static_cast<std::size_t>(i)]);
}

Completion IndexOf(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  const std::u16string s = SelfUnits(vm, self);
  const std::u16string what = Units(vm, vm.ToString(Arg(args, 0)));
  const double from = std::max(Int(vm, Arg(args, 1)), 0.0);
  if (from > static_cast<double>(s.size())) return Value::Num(-1);
  const std::size_t at = s.find(what, static_cast<std::size_t>(from));
  return Value::Num(at == std::u16string::npos ? -1 : static_cast<double>(at));
}

Completion LastIndexOf(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  const std::u16string s = SelfUnits(vm, self);
  const std::u16string what = Units(vm, vm.ToString(Arg(args, 0)));
  std::size_t from = std::u16string::npos;
  if (args.size() > 1 && !args[1].IsUndefined()) {
    const double f = Int(vm, args[1]);
    if (f < 0) return Value::Num(-1);
    from = static_cast<std::size_t>(std::min(f, 1e9));
  }
  const std::size_t at = s.rfind(what, from);
  return Value::Num(at == std::u16string::npos ? -1 : static_cast<double>(at));
}

Completion Substr(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  const std::u16string s = SelfUnits(vm, self);
  const double size = static_cast<double>(s.size());
  double from = Int(vm, Arg(args, 0));
  if (from < 0) from = std::max(0.0, size + from);
  from = std::min(from, size);
  double len = args.size() > 1 && !args[1].IsUndefined() ? Int(vm, args[1]) : size;
  if (len < 0) {
    // A negative length counts back from the end of the string, and gives
    // nothing once the piece would reach that end.
    len += size;
    if (len <= 0 || from + len >= size) return Value::Str("");
  }
  len = std::min(len, size - from);
  return Piece(vm, s, from, len);
}

Completion Substring(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  const std::u16string s = SelfUnits(vm, self);
  const double size = static_cast<double>(s.size());
  // A start at or past the end gives nothing, whatever the end.
  if (Int(vm, Arg(args, 0)) >= size) return Value::Str("");
  double from = std::clamp(Int(vm, Arg(args, 0)), 0.0, size);
  double to =
      args.size() > 1 && !args[1].IsUndefined() ? std::clamp(Int(vm, args[1]), 0.0, size) : size;
  if (from > to) std::swap(from, to);
  return Piece(vm, s, from, to - from);
}

Completion Slice(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (args.empty()) return {};
  const std::u16string s = SelfUnits(vm, self);
  const double size = static_cast<double>(s.size());
  const auto rel = [&](const Value& v, double fallback) {
    if (v.IsUndefined()) return fallback;
    const double n = Int(vm, v);
    return n < 0 ? std::max(0.0, size + n) : std::min(n, size);
  };
  const double from = rel(Arg(args, 0), 0), to = rel(Arg(args, 1), size);
  if (from >= to) return Value::Str("");
  return Piece(vm, s, from, to - from);
}

Completion Split(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const std::string s = Self(vm, self);
  std::vector<Value> parts;
  const bool noSep = args.empty() || args[0].IsUndefined();
  // The limit is read as a 32-bit integer; below zero it is zero.
  const double limit =
      args.size() > 1 && !args[1].IsUndefined() ? std::max(0.0, Int(vm, args[1])) : 1e9;
  // SWF 5 splits at commas when no separator is given, and never between
  // characters.
  if (noSep && vm.version >= 6) {
    parts.push_back(Value::Str(s));
    return Value::Obj(vm.NewArray(std::move(parts)));
  }
  const std::string sep = noSep ? std::string(",") : vm.ToString(args[0]);
  if (vm.version < 6) {
    // SWF 5 splits only at single characters: an empty or longer separator
    // gives the whole string, and a limit below one gives nothing for those.
    if (sep.empty()) return Value::Obj(vm.NewArray({Value::Str(s)}));
    if (limit < 1) return Value::Obj(vm.NewArray({}));
    if (sep.size() > 1) return Value::Obj(vm.NewArray({Value::Str(s)}));
  }
  if (sep.empty()) {
    const std::u16string u = Units(vm, s);
    for (std::size_t i = 0; i < u.size(); ++i) {
      if (static_cast<double>(parts.size()) >= limit) break;
      parts.push_back(Piece(vm, u, static_cast<double>(i), 1));
    }
  } else if (s.empty()) {
    parts.push_back(Value::Str(""));  // whatever the limit
  } else {
    std::size_t start = 0;
    while (static_cast<double>(parts.size()) < limit) {
      const std::size_t at = s.find(sep, start);
      parts.push_back(Value::Str(s.substr(start, at - start)));
      if (at == std::string::npos) break;
      start = at + sep.size();
    }
  }
  return Value::Obj(vm.NewArray(std::move(parts)));
}

// Before version 6 only ASCII letters change case; from 6 every letter the
// case tables know.
std::string ChangeCase(Vm& vm, Object* self, bool upper) {
  std::string s = Self(vm, self);
  if (vm.version < 6) {
    for (char& c : s) {
      const auto u = static_cast<unsigned char>(c);
      c = static_cast<char>(upper ? std::toupper(u) : std::tolower(u));
    }
    return s;
  }
  std::u16string u = ToUnits(s);
  for (char16_t& c : u) c = upper ? UpperUnit(c) : LowerUnit(c);
  return FromUnits(u);
}

Completion ToUpper(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Value::Str(ChangeCase(vm, self, true));
}

Completion ToLower(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return Value::Str(ChangeCase(vm, self, false));
}

Completion Concat(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  std::string s = Self(vm, self);
  for (const Value& v : args) {
    s += vm.ToString(v);
    if (s.size() > vm.limits.maxElements) break;
  }
  if (!vm.Charge(s.size())) return {};
  return Value::Str(s);
}

// Before version 6 each code is one byte (n & 0xFF), from 6 a UTF-16 unit.
Completion FromCharCode(Vm& vm, const CallContext&, Args args) {
  std::string s;
  std::u16string u;
  const bool units = vm.version >= 6;
  for (const Value& v : args) {
    const uint32_t c = static_cast<uint32_t>(ToInt32(vm.ToNumber(v))) & (units ? 0xFFFF : 0xFF);
    if (c == 0) break;
    if (units) {
      u += static_cast<char16_t>(c);
    } else {
      s += static_cast<char>(c);
    }
  }
  return Value::Str(units ? FromUnits(u) : s);
}

constexpr Member kStringProto[] = {
    Method("toString", ValueOf),
    Method("valueOf", ValueOf),
    Method("charAt", CharAt),
    Method("charCodeAt", CharCodeAt),
    Method("indexOf", IndexOf),
    Method("lastIndexOf", LastIndexOf),
    Method("substr", Substr),
    Method("substring", Substring),
    Method("slice", Slice),
    Method("split", Split),
    Native(251, 3, Method("toUpperCase", ToUpper)),
    Native(251, 4, Method("toLowerCase", ToLower)),
    Method("concat", Concat),
};
constexpr Member kStringStatics[] = {Method("fromCharCode", FromCharCode)};

}  // namespace

extern const ClassDecl kStringClass{.name = "String",
                                    .ctor = StringCtor,
                                    .proto = kStringProto,
                                    .statics = kStringStatics,
                                    .construct = MakeBox,
                                    .keep = &Vm::stringProto};

}  // namespace orrivel::swf::avm1
