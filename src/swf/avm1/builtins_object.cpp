// Object, Function, Boolean, Number and ASSetPropFlags.
#include <cmath>
#include <limits>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

namespace {

Completion ObjectCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!args.empty() && args[0].IsObject()) return args[0];
  if (!args.empty() && !args[0].IsNullish()) {
    // The wrapper takes its class's current prototype, even one a script replaced.
    Object* box = vm.ToObject(args[0]);
    const char* cls = args[0].type == Type::String   ? "String"
                      : args[0].type == Type::Number ? "Number"
                                                     : "Boolean";
    const Value ctor = vm.Get(vm.global, cls);
    if (box && ctor.IsObject() && ctor.object->IsFunction()) {
      const Value proto = vm.Get(ctor.object, "prototype");
      box->proto = proto.IsObject() ? proto.object : nullptr;
      if (!proto.IsObject() && !proto.IsUndefined()) vm.Set(box, "__proto__", proto);
    }
    return Value::Obj(box);
  }
  // Called as a function (not by new) it makes an object without a
  // prototype, whatever `this` is.
  if (self && call.isNew) return Value::Obj(self);
  Object* bare = vm.NewObject();
  bare->proto = nullptr;
  return Value::Obj(bare);
}

// Function(x) gives x itself, whatever it is; with nothing to give, a call
// makes an object without a prototype.
Completion FunctionCtor(Vm& vm, const CallContext& call, Args args) {
  if (!args.empty()) return args[0];
  if (call.isNew && call.This()) return Value::Obj(call.This());
  Object* bare = vm.NewObject();
  bare->proto = nullptr;
  return Value::Obj(bare);
}

Completion ObjectToString(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return Value::Str("[object Object]");
  return Value::Str(self->TypeName());
}

Completion ObjectValueOf(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  if (auto* box = dynamic_cast<BoxObject*>(self)) return box->primitive;
  return Value::Obj(self);
}

Completion HasOwnProperty(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return Value::Bool(false);
  const std::string name = vm.ToString(args[0]);
  if (vm.NamesEqual(name, "__proto__")) return Value::Bool(self->proto != nullptr);
  // A clip's children are found by name but are not its properties.
  if (self->IsClip()) {
    auto* clip = static_cast<ClipObject*>(self);
    if (!clip->Object::HasOwn(vm, name) && clip->Child(vm, name)) return Value::Bool(false);
  }
  // A text field's display properties (_x, _alpha, _parent ...) are read
  // through it but are none of its own.
  if (self->IsTextField() && !self->Object::HasOwn(vm, name) && self->HasOwn(vm, name))
    return Value::Bool(false);
  // A name hidden from the movie's version is still the object's own.
  return Value::Bool(self->HasOwn(vm, name) || self->FindProperty(vm, name));
}

Completion IsPropertyEnumerable(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return Value::Bool(false);
  const std::string name = vm.ToString(args[0]);
  Property* p = self->FindProperty(vm, name);
  if (!p && self->proto && vm.NamesEqual(name, "__proto__"))
    return Value::Bool(!(self->protoFlags & kDontEnum));
  if (auto* array = dynamic_cast<ArrayObject*>(self); array && ArrayIndex(name) >= 0 && !p) {
    const auto i = static_cast<std::size_t>(ArrayIndex(name));
    return Value::Bool(i < array->elements.size() && !ArrayObject::IsHole(array->elements[i]) &&
                       !(array->ElementFlags(i) & kDontEnum));
  }
  return Value::Bool(p && !(p->flags & kDontEnum));
}

Completion IsPrototypeOf(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty() || !args[0].IsObject()) return Value::Bool(false);
  // A link hidden from the movie's version ends the chain.
  int guard = 0;
  for (Object* o = args[0].object; o->proto && guard < 256; o = o->proto, ++guard) {
    if (ProtoHidden(o, vm.version)) break;
    if (o->proto == self) return Value::Bool(true);
  }
  return Value::Bool(false);
}

Completion AddProperty(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.size() < 2) return Value::Bool(false);
  const std::string name = vm.ToString(args[0]);
  const Value getter = args[1];
  const Value setter = Arg(args, 2);
  if (name.empty() || !getter.IsObject() || !getter.object->IsFunction()) return Value::Bool(false);
  // The setter is a function or null (read-only); left out, nothing is added.
  if (setter.type != Type::Null && !(setter.IsObject() && setter.object->IsFunction()))
    return Value::Bool(false);
  // A plain value already there stays as the property's stored value.
  Property* had = self->FindProperty(vm, name);
  const Value kept = had && !had->getter ? had->value : Value{};
  self->Define(vm, name, kept, 0);
  Property* p = self->FindProperty(vm, name);
  p->getter = getter.object;
  p->setter = setter.IsObject() ? setter.object : nullptr;
  if (!p->setter) p->flags |= kReadOnly;
  // A watcher of the name sees the property made as an assignment of
  // undefined; what it gives back becomes the stored value.
  for (std::size_t i = 0; i < self->watches.size(); ++i) {
    Watch& w = self->watches[i];
    if (!vm.NamesEqual(w.name, name) || w.running > 0) continue;
    Object* cb = w.callback;
    const Value watchArgs[4] = {Value::Str(name), kept, Value{}, w.userData};
    ++w.running;
    const Value stored = vm.Call(Value::Obj(cb), Value::Obj(self), watchArgs);
    for (Watch& x : self->watches) {
      if (x.callback == cb && vm.NamesEqual(x.name, name) && x.running > 0) --x.running;
    }
    if (Property* q = self->FindProperty(vm, name); q && q->getter == getter.object)
      q->value = stored;
    break;
  }
  return Value::Bool(true);
}

// A cap on watchers per object, so a script cannot grow the list forever.
constexpr std::size_t kMaxWatches = 1024;

Completion WatchMethod(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.size() < 2) return Value::Bool(false);
  const Value cb = args[1];
  if (!cb.IsObject() || !cb.object->IsFunction()) return Value::Bool(false);
  const std::string name = vm.ToString(args[0]);
  for (Watch& w : self->watches) {
    if (vm.NamesEqual(w.name, name)) {
      w.callback = cb.object;
      w.userData = Arg(args, 2);
      return Value::Bool(true);
    }
  }
  if (self->watches.size() >= kMaxWatches) return Value::Bool(false);
  self->watches.push_back(Watch{name, cb.object, Arg(args, 2)});
  return Value::Bool(true);
}

Completion UnwatchMethod(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self || args.empty()) return Value::Bool(false);
  const std::string name = vm.ToString(args[0]);
  // A watch on a name that became a getter and setter stays.
  if (const Property* p = self->FindProperty(vm, name); p && p->getter) return Value::Bool(false);
  const auto n =
      std::erase_if(self->watches, [&](const Watch& w) { return vm.NamesEqual(w.name, name); });
  return Value::Bool(n > 0);
}

// Registration is by linkage name, whether or not the movie exports it (yet),
// and reaches every movie of the registering movie's version; the class must
// be a function, or null or undefined to drop the name's class.
Completion RegisterClass(Vm& vm, const CallContext&, Args args) {
  if (args.size() < 2) return Value::Bool(false);
  const Value cls = args[1];
  const bool isClass = cls.IsObject() && cls.object->IsFunction();
  if (!isClass && !cls.IsNullish()) return Value::Bool(false);
  auto key = vm.ClassKey(vm.CodeMovie(), vm.ToString(args[0]));
  if (isClass) {
    constexpr std::size_t kMaxRegistered = 1u << 14;
    if (vm.classByName.size() >= kMaxRegistered && !vm.classByName.contains(key))
      return Value::Bool(true);
    uint64_t order = 1;  // after every earlier registration
    for (const auto& [k, spelled] : vm.classSpelling) order = std::max(order, spelled.second + 1);
    vm.classSpelling[key] = {vm.ToString(args[0]), order};
    vm.classByName[std::move(key)] = cls.object;
  } else {
    vm.classSpelling.erase(key);
    vm.classByName.erase(key);
  }
  return Value::Bool(true);
}

// The `this` call and apply give: a primitive becomes the object its
// global class makes, and no object at all means _global.
Value ThisFor(Vm& vm, const Value& v) {
  Object* o = v.IsNullish() ? nullptr : vm.ToObject(v);
  return Value::Obj(o ? o : vm.global);
}

// A function run by call or apply takes super from its `this`'s prototype.
CallContext CallOn(const Value& thisV) {
  return CallContext{thisV, thisV.IsObject() ? thisV.object->proto : nullptr};
}

Completion FunctionCall(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value thisV = ThisFor(vm, Arg(args, 0));
  return vm.Call(Value::Obj(self), CallOn(thisV), args.size() > 1 ? args.subspan(1) : Args{});
}

Completion FunctionApply(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value thisV = Arg(args, 0);
  std::vector<Value> list;
  if (args.size() > 1 && args[1].IsObject()) {
    const double n = vm.ToNumber(vm.Get(args[1].object, "length"));
    for (int i = 0; i < n && i < 65536; ++i)
      list.push_back(vm.Get(args[1].object, std::to_string(i)));
  }
  const Value boxedThis = ThisFor(vm, thisV);
  return vm.Call(Value::Obj(self), CallOn(boxedThis), list);
}

Value Box(Vm& vm, Object* self, const Value& primitive) {
  if (auto* box = dynamic_cast<BoxObject*>(self);
      box && !box->isDate && box->primitive.IsUndefined()) {
    box->primitive = primitive;
    return Value::Obj(box);
  }
  (void)vm;
  return primitive;
}

Object* MakeBox(Vm& vm) { return vm.New<BoxObject>(); }

Completion BooleanCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  // Called as a function with nothing to convert, it gives undefined.
  auto* box = dynamic_cast<BoxObject*>(self);
  if (args.empty() && !(box && !box->isDate && box->primitive.IsUndefined())) return {};
  const Value v = Value::Bool(!args.empty() && vm.ToBoolean(args[0]));
  return Box(vm, self, v);
}

Completion NumberCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value v = Value::Num(args.empty() ? 0 : vm.ToNumber(args[0]));
  return Box(vm, self, v);
}

Value Primitive(Object* self) {
  if (auto* box = dynamic_cast<BoxObject*>(self)) return box->primitive;
  return {};
}

Completion NumberToStringMethod(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  const Value p = Primitive(self);
  if (p.type != Type::Number) return {};  // only a Number has this text
  const int radix = args.empty() || args[0].IsUndefined() ? 10 : ClampToInt(vm.ToNumber(args[0]));
  return Value::Str(NumberToRadix(p.number, radix));
}

Completion PrimitiveValueOf(Vm&, const CallContext& call, Args) {
  Object* const self = call.This();
  return Primitive(self);
}

Completion BooleanToString(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  const Value p = Primitive(self);
  if (p.type != Type::Boolean) return {};  // only a Boolean has this text
  return Value::Str(vm.ToString(p));
}

Completion SetPropFlags(Vm& vm, const CallContext&, Args args) {
  if (args.size() < 3 || !args[0].IsObject()) return {};
  Object* obj = args[0].object;
  const int set = ToInt32(vm.ToNumber(args[2]));
  const int clear = args.size() > 3 ? ToInt32(vm.ToNumber(args[3])) : 0;
  std::vector<std::string> names;
  if (args[1].type == Type::Null) {  // every property; undefined names one
    for (Property& p : obj->Properties()) names.push_back(p.name);
    if (obj->proto) names.push_back("__proto__");  // the link is one of them
    if (auto* array = dynamic_cast<ArrayObject*>(obj)) {
      names.push_back("length");
      for (std::size_t i = 0; i < array->elements.size() && i < 65536; ++i) {
        if (!ArrayObject::IsHole(array->elements[i])) names.push_back(std::to_string(i));
      }
    }
  } else if (args[1].IsObject() && dynamic_cast<ArrayObject*>(args[1].object)) {
    // Only a true array is a list of names; other objects give their text.
    const double n = vm.ToNumber(vm.Get(args[1].object, "length"));
    for (int i = 0; i < n && i < 65536; ++i)
      names.push_back(vm.ToString(vm.Get(args[1].object, std::to_string(i))));
  } else {
    std::string list = vm.ToString(args[1]);
    std::size_t start = 0;
    while (start <= list.size()) {
      const std::size_t comma = list.find(',', start);
      names.push_back(list.substr(start, comma - start));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  for (const std::string& name : names) {
    if (Property* p = obj->FindProperty(vm, name)) {
      p->flags = static_cast<uint16_t>((p->flags & ~clear) | set);
    }
    if (vm.NamesEqual(name, "__proto__") && !obj->FindProperty(vm, name))
      obj->protoFlags = static_cast<uint16_t>((obj->protoFlags & ~clear) | set);
    if (auto* array = dynamic_cast<ArrayObject*>(obj); array && ArrayIndex(name) >= 0) {
      const auto i = static_cast<std::size_t>(ArrayIndex(name));
      array->SetElementFlags(i, static_cast<uint16_t>((array->ElementFlags(i) & ~clear) | set));
    }
    if (auto* array = dynamic_cast<ArrayObject*>(obj); array && vm.NamesEqual(name, "length"))
      array->lengthFlags = static_cast<uint16_t>((array->lengthFlags & ~clear) | set);
  }
  return {};
}

// Object.prototype cannot be replaced, unlike other classes' prototypes.
void FinishObject(Vm& vm, Object* object) {
  if (Property* p = object->FindProperty(vm, "prototype")) p->flags |= kReadOnly;
}

constexpr Member kObjectProto[] = {
    Native(101, 4, Method("toString", ObjectToString)),
    // Written in ActionScript by the player, so it has a prototype.
    WithPrototype(Method("toLocaleString", ObjectToString)),
    Native(101, 3, Method("valueOf", ObjectValueOf)),
    Native(101, 5, Method("hasOwnProperty", HasOwnProperty, kHidden | kSince6, 6)),
    Native(101, 7, Method("isPropertyEnumerable", IsPropertyEnumerable)),
    Native(101, 6, Method("isPrototypeOf", IsPrototypeOf)),
    Native(101, 2, Method("addProperty", AddProperty)),
    Native(101, 0, Method("watch", WatchMethod)),
    Native(101, 1, Method("unwatch", UnwatchMethod)),
};
constexpr Member kObjectStatics[] = {Native(101, 8, Method("registerClass", RegisterClass))};

constexpr Member kFunctionProto[] = {
    Method("call", FunctionCall, kHidden | kSince6, 6),
    Method("apply", FunctionApply, kHidden | kSince6, 6),
};

constexpr Member kBooleanProto[] = {
    Native(107, 1, Method("toString", BooleanToString)),
    Native(107, 0, Method("valueOf", PrimitiveValueOf)),
};

constexpr Member kNumberProto[] = {
    Native(106, 1, Method("toString", NumberToStringMethod)),
    Native(106, 0, Method("valueOf", PrimitiveValueOf)),
};
constexpr Member kNumberStatics[] = {
    ConstNumber("MAX_VALUE", std::numeric_limits<double>::max(), kConstant),
    ConstNumber("MIN_VALUE", std::numeric_limits<double>::denorm_min(), kConstant),
    ConstNumber("NaN", NAN, kConstant),
    ConstNumber("POSITIVE_INFINITY", INFINITY, kConstant),
    ConstNumber("NEGATIVE_INFINITY", -INFINITY, kConstant),
};

constexpr Member kObjectGlobals[] = {
    Method("ASSetPropFlags", SetPropFlags, kDontEnum),
    ConstNumber("NaN", NAN, kDontEnum),
    ConstNumber("Infinity", INFINITY, kDontEnum),
};

}  // namespace

extern const ClassDecl kObjectClass{.name = "Object",
                                    .ctor = ObjectCtor,
                                    .proto = kObjectProto,
                                    .statics = kObjectStatics,
                                    .keep = &Vm::objectProto,
                                    .finish = FinishObject};
// Movies before version 6 do not see the name.
extern const ClassDecl kFunctionClass{.name = "Function",
                                      .ctor = FunctionCtor,
                                      .proto = kFunctionProto,
                                      .flags = kDontEnum | kSince6,
                                      .keep = &Vm::functionProto};
extern const ClassDecl kBooleanClass{.name = "Boolean",
                                     .ctor = BooleanCtor,
                                     .proto = kBooleanProto,
                                     .construct = MakeBox,
                                     .keep = &Vm::booleanProto,
                                     .category = 107,
                                     .index = 2};
extern const ClassDecl kNumberClass{.name = "Number",
                                    .ctor = NumberCtor,
                                    .proto = kNumberProto,
                                    .statics = kNumberStatics,
                                    .construct = MakeBox,
                                    .keep = &Vm::numberProto,
                                    .category = 106,
                                    .index = 2};
extern const ClassDecl kObjectGlobalsDecl{
    .name = nullptr, .ctor = nullptr, .proto = {}, .statics = kObjectGlobals};

}  // namespace orrivel::swf::avm1
