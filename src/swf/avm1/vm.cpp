#include "swf/avm1/vm.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/date_time.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/interpreter.h"
#include "swf/player/display_list.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

Vm::Vm(TimelineContext& c, int v, VmLimits l) : version(v), ctx(c), limits(l) {
  objectProto = New<Object>();
  functionProto = New<Object>();  // an object, not itself callable
  functionProto->proto = objectProto;
  global = NewObject();
  InstallObjectBuiltins(*this);
  InstallArrayBuiltins(*this);
  InstallStringBuiltins(*this);
  InstallMathBuiltins(*this);
  InstallDateBuiltins(*this);
  dateBaseMs = WallClockMs();
  InstallGlobalFunctions(*this);
  InstallClipBuiltins(*this);
  InstallSystemBuiltins(*this);
  InstallSoundBuiltins(*this);
  InstallDeviceBuiltins(*this);
  InstallFilterBuiltins(*this);
  InstallNativeBuiltins(*this);
  InstallStubBuiltins(*this);
}

Vm::~Vm() = default;

void Vm::Adopt(std::unique_ptr<Object> obj) {
  if (!obj->proto && obj.get() != objectProto) obj->proto = objectProto;
  heap_.push_back(std::move(obj));
  if (heap_.size() > limits.maxObjects) aborted_ = true;
}

bool Vm::OverBudget() const { return heap_.size() > limits.maxObjects; }

Object* Vm::NewObject() { return New<Object>(); }

ArrayObject* Vm::NewArray(std::vector<Value> elements) {
  ArrayObject* a = New<ArrayObject>();
  a->proto = arrayProto;
  a->elements = std::move(elements);
  return a;
}

FunctionObject* Vm::NewNative(NativeFn fn, Object* prototype) {
  FunctionObject* f = New<FunctionObject>();
  f->proto = functionProto;
  f->native = fn;
  if (prototype) {
    f->Define(*this, "prototype", Value::Obj(prototype), kDontEnum | kDontDelete);
    prototype->Define(*this, "constructor", Value::Obj(f), kDontEnum | kDontDelete);
  }
  return f;
}

FunctionObject* Vm::NewFunction() {
  FunctionObject* f = New<FunctionObject>();
  f->proto = functionProto;
  Object* p = NewObject();
  p->Define(*this, "constructor", Value::Obj(f), kDontEnum | kDontDelete);
  f->Define(*this, "prototype", Value::Obj(p), kDontEnum | kDontDelete);
  return f;
}

void Vm::Method(Object* obj, std::string_view name, NativeFn fn) {
  obj->Define(*this, name, Value::Obj(NewNative(fn)), kDontEnum | kDontDelete);
}

void Vm::NewFrame() {
  steps = 0;
  bytesThisFrame = 0;
  aborted_ = OverBudget() || disabled;
}

bool Vm::Charge(std::size_t bytes) {
  bytesThisFrame += bytes;
  if (bytesThisFrame <= limits.bytesPerFrame) return true;
  aborted_ = true;
  return false;
}

double Vm::Random() {
  rngState ^= rngState << 13;
  rngState ^= rngState >> 17;
  rngState ^= rngState << 5;
  return (rngState >> 8) / 16777216.0;
}

std::string Vm::Key(std::string_view name) const {
  std::string k(name);
  if (version < 7) {
    for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return k;
}

bool Vm::NamesEqual(std::string_view a, std::string_view b) const {
  if (version >= 7) return a == b;
  return a.size() == b.size() && Key(a) == Key(b);
}

// ---- Collector ---------------------------------------------------------------

void Vm::MarkRoots(std::vector<Object*>& work) {
  for (Object* o :
       {global, objectProto, functionProto, arrayProto, stringProto, numberProto, booleanProto,
        dateProto, clipProto, errorProto, keyObject, mouseObject, stageObject}) {
    if (o) work.push_back(o);
  }
  if (thrown.object) work.push_back(thrown.object);
  for (const auto& [id, cls] : classByCharacter) work.push_back(cls);
  for (const Timer& t : timers) {
    if (t.target.object) work.push_back(t.target.object);
    for (const Value& a : t.args) {
      if (a.object) work.push_back(a.object);
    }
  }
  // Every live timeline keeps its clip object (and so its variables).
  std::vector<std::shared_ptr<TimelineInstance>> clips;
  if (root) clips.push_back(root);
  while (!clips.empty()) {
    auto t = std::move(clips.back());
    clips.pop_back();
    if (t->script) work.push_back(t->script);
    for (const auto& [depth, obj] : t->List()) {
      if (obj.instance) clips.push_back(obj.instance);
    }
  }
}

void Vm::Collect() {
  if (depth > 0) return;  // never while code runs: its stack is not a root
  std::vector<Object*> work;
  MarkRoots(work);
  std::size_t held = 0;
  while (!work.empty()) {
    Object* o = work.back();
    work.pop_back();
    if (o->marked) continue;
    o->marked = true;
    o->Trace(work);
    held += sizeof(Object) + o->PropertyCount() * sizeof(Property);
    for (const Property& p : o->Properties()) held += p.value.string.size();
    if (auto* a = dynamic_cast<ArrayObject*>(o)) {
      held += a->elements.size() * sizeof(Value);
      for (const Value& v : a->elements) held += v.string.size();
    }
  }
  // A movie that holds more than its share stops running code, for good.
  if (held > limits.liveBytes) disabled = true;
  std::erase_if(heap_, [](const std::unique_ptr<Object>& o) { return !o->marked; });
  for (auto& o : heap_) o->marked = false;
}

// ---- Clips -------------------------------------------------------------------

ClipObject* Vm::ClipFor(const std::shared_ptr<TimelineInstance>& t) {
  if (!t) return nullptr;
  if (!t->script) {
    ClipObject* c = New<ClipObject>();
    c->proto = clipProto;
    c->instance = t;
    t->script = c;
    if (t == root) InitRootClip(*this, c);
    // A sprite registered to a class is an instance of it from the start.
    const DisplayObject* placed = c->Placement();
    auto cls = placed ? classByCharacter.find(placed->characterId) : classByCharacter.end();
    if (cls != classByCharacter.end()) {
      const Value proto = Get(cls->second, "prototype");
      if (proto.IsObject()) c->proto = proto.object;
      c->Define(*this, "__constructor__", Value::Obj(cls->second), kDontEnum);
      Call(Value::Obj(cls->second), Value::Obj(c), {});
    }
  }
  return static_cast<ClipObject*>(t->script);
}

ClipObject* Vm::RootClip() { return ClipFor(root); }

// ---- Properties ----------------------------------------------------------------

Value Vm::Get(Object* obj, std::string_view name) {
  if (!obj) return {};
  if (name == "__proto__") return Value::Obj(obj->proto);
  Value out;
  int guard = 0;
  for (Object* o = obj; o && guard < 256; o = o->proto, ++guard) {
    if (Property* p = o->FindProperty(*this, name)) {
      if (p->getter) return Call(Value::Obj(p->getter), Value::Obj(obj), {});
      return p->value;
    }
    if (o->GetOwn(*this, name, out)) return out;
  }
  return {};
}

Value Vm::GetMember(const Value& v, std::string_view name) {
  switch (v.type) {
    case Type::Object:
      return Get(v.object, name);
    case Type::String:
      if (name == "length") return Value::Num(static_cast<double>(v.string.size()));
      return Get(stringProto, name);
    case Type::Number:
      return Get(numberProto, name);
    case Type::Boolean:
      return Get(booleanProto, name);
    default:
      return {};
  }
}

void Vm::Set(Object* obj, std::string_view name, const Value& v) {
  if (!obj) return;
  if (name == "__proto__") {
    obj->proto = v.object;
    return;
  }
  if (!obj->FindProperty(*this, name)) {
    // An inherited addProperty setter takes the assignment.
    int guard = 0;
    for (Object* o = obj->proto; o && guard < 256; o = o->proto, ++guard) {
      Property* p = o->FindProperty(*this, name);
      if (!p) continue;
      if (p->setter) {
        const Value arg[1] = {v};
        Call(Value::Obj(p->setter), Value::Obj(obj), arg);
        return;
      }
      if (p->getter) return;
      break;
    }
  }
  obj->SetOwn(*this, name, v);
}

void Vm::SetMember(const Value& obj, std::string_view name, const Value& v) {
  if (obj.IsObject()) Set(obj.object, name, v);
}

// ---- Conversions -----------------------------------------------------------------

Value Vm::ToPrimitive(const Value& v, bool preferString) {
  if (!v.IsObject()) return v;
  Object* o = v.object;
  if (auto* box = dynamic_cast<BoxObject*>(o);
      box && !box->isDate && !preferString && o->FindProperty(*this, "valueOf") == nullptr) {
    return box->primitive;
  }
  Value result;
  const char* first = preferString ? "toString" : "valueOf";
  const char* second = preferString ? "valueOf" : "toString";
  if (CallMethod(o, first, {}, &result) && !result.IsObject()) return result;
  if (CallMethod(o, second, {}, &result) && !result.IsObject()) return result;
  if (o->IsClip()) return Value::Str(static_cast<ClipObject*>(o)->Path(*this));
  return Value::Str(o->TypeName());
}

double Vm::ToNumber(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
    case Type::Null:
      return version >= 7 ? NAN : 0;
    case Type::Boolean:
      return v.boolean ? 1 : 0;
    case Type::Number:
      return v.number;
    case Type::String:
      return StringToNumber(v.string, version);
    case Type::Object: {
      if (v.object->IsClip()) return NAN;
      const Value p = ToPrimitive(v);
      return p.IsObject() ? NAN : ToNumber(p);
    }
  }
  return NAN;
}

std::string Vm::ToString(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
      return version >= 7 ? "undefined" : "";
    case Type::Null:
      return "null";
    case Type::Boolean:
      return v.boolean ? "true" : "false";
    case Type::Number:
      return NumberToString(v.number);
    case Type::String:
      return v.string;
    case Type::Object: {
      if (v.object->IsClip()) return static_cast<ClipObject*>(v.object)->Path(*this);
      const Value p = ToPrimitive(v, true);
      return p.IsObject() ? std::string(v.object->TypeName()) : ToString(p);
    }
  }
  return {};
}

bool Vm::ToBoolean(const Value& v) {
  switch (v.type) {
    case Type::Boolean:
      return v.boolean;
    case Type::Number:
      return v.number != 0 && !std::isnan(v.number);
    case Type::String:
      if (version >= 7) return !v.string.empty();
      {
        const double n = StringToNumber(v.string, version);
        return n != 0 && !std::isnan(n);
      }
    case Type::Object:
      return true;
    default:
      return false;
  }
}

Object* Vm::ToObject(const Value& v) {
  switch (v.type) {
    case Type::Object:
      return v.object;
    case Type::String:
    case Type::Number:
    case Type::Boolean: {
      BoxObject* b = New<BoxObject>();
      b->proto = v.type == Type::String   ? stringProto
                 : v.type == Type::Number ? numberProto
                                          : booleanProto;
      b->primitive = v;
      return b;
    }
    default:
      return nullptr;
  }
}

std::string Vm::TypeOf(const Value& v) {
  switch (v.type) {
    case Type::Undefined:
      return "undefined";
    case Type::Null:
      return "null";
    case Type::Boolean:
      return "boolean";
    case Type::Number:
      return "number";
    case Type::String:
      return "string";
    case Type::Object:
      if (v.object->IsClip()) return "movieclip";
      return v.object->IsFunction() ? "function" : "object";
  }
  return "undefined";
}

bool Vm::InstanceOf(Object* obj, Object* ctor) {
  if (!obj || !ctor) return false;
  const Value protoV = Get(ctor, "prototype");
  Object* target = protoV.object;
  int guard = 0;
  for (Object* p = obj->proto; p && guard < 256; p = p->proto, ++guard) {
    if (target && p == target) return true;
    for (Object* i : p->interfaces) {
      if (i == ctor) return true;
    }
  }
  return false;
}

bool Vm::StrictEquals(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case Type::Undefined:
    case Type::Null:
      return true;
    case Type::Boolean:
      return a.boolean == b.boolean;
    case Type::Number:
      // The player's strict equality holds for NaN too.
      return a.number == b.number || (std::isnan(a.number) && std::isnan(b.number));
    case Type::String:
      return a.string == b.string;
    case Type::Object:
      return a.object == b.object;
  }
  return false;
}

bool Vm::LooseEquals(const Value& a, const Value& b) {
  if (a.type == b.type) return StrictEquals(a, b);
  if (a.IsNullish() && b.IsNullish()) return true;
  if (a.IsNullish() || b.IsNullish()) return false;
  if (a.type == Type::Number && b.type == Type::String) return a.number == ToNumber(b);
  if (a.type == Type::String && b.type == Type::Number) return ToNumber(a) == b.number;
  if (a.type == Type::Boolean) return LooseEquals(Value::Num(a.boolean ? 1 : 0), b);
  if (b.type == Type::Boolean) return LooseEquals(a, Value::Num(b.boolean ? 1 : 0));
  if (b.IsObject() && !a.IsObject()) {
    const Value p = ToPrimitive(b);
    return !p.IsObject() && LooseEquals(a, p);
  }
  if (a.IsObject() && !b.IsObject()) {
    const Value p = ToPrimitive(a);
    return !p.IsObject() && LooseEquals(p, b);
  }
  return false;
}

Value Vm::Less(const Value& a, const Value& b) {
  const Value pa = ToPrimitive(a), pb = ToPrimitive(b);
  if (pa.type == Type::String && pb.type == Type::String) return Value::Bool(pa.string < pb.string);
  const double x = ToNumber(pa), y = ToNumber(pb);
  if (std::isnan(x) || std::isnan(y)) return {};
  return Value::Bool(x < y);
}

// ---- Calls -----------------------------------------------------------------------

Value Vm::Call(const Value& fn, const Value& self, Args args) {
  if (!fn.IsObject() || !fn.object->IsFunction() || aborted_) return {};
  auto* f = static_cast<FunctionObject*>(fn.object);
  if (depth >= limits.callDepth) {
    aborted_ = true;
    return {};
  }
  ++depth;
  Value result;
  if (f->native) {
    result = f->native(*this, self.object ? self.object : nullptr, args);
  } else if (f->code) {
    result = CallScript(*this, f, self, args);
  }
  --depth;
  return result;
}

bool Vm::CallMethod(Object* obj, std::string_view name, Args args, Value* result) {
  const Value fn = Get(obj, name);
  if (!fn.IsObject() || !fn.object->IsFunction()) return false;
  Value r = Call(fn, Value::Obj(obj), args);
  if (result) *result = std::move(r);
  return true;
}

Value Vm::Construct(Object* ctor, Args args) {
  if (!ctor || !ctor->IsFunction()) return {};
  auto* f = static_cast<FunctionObject*>(ctor);
  Object* obj = f->construct ? f->construct(*this) : NewObject();
  const Value protoV = Get(ctor, "prototype");
  if (protoV.IsObject()) obj->proto = protoV.object;
  obj->Define(*this, "__constructor__", Value::Obj(ctor), kDontEnum);
  if (version < 6) obj->Define(*this, "constructor", Value::Obj(ctor), kDontEnum);
  const Value r = Call(Value::Obj(ctor), Value::Obj(obj), args);
  if (f->native && r.IsObject()) return r;
  return Value::Obj(obj);
}

void Vm::RunTimers() {
  // Timers fire in id order; one that is cleared while others run is skipped.
  std::vector<int> due;
  for (const Timer& t : timers) {
    if (t.dueMs <= timeMs) due.push_back(t.id);
  }
  for (int id : due) {
    auto it =
        std::find_if(timers.begin(), timers.end(), [id](const Timer& t) { return t.id == id; });
    if (it == timers.end()) continue;
    Timer t = *it;
    if (t.once) {
      timers.erase(it);
    } else {
      it->dueMs = timeMs + std::max(t.intervalMs, 1.0);
    }
    if (t.method.empty()) {
      Call(t.target, Value::Null(), t.args);
    } else if (t.target.IsObject()) {
      CallMethod(t.target.object, t.method, t.args);
    }
  }
}

void Vm::RunBlock(std::span<const uint8_t> code, ClipObject* clip) {
  if (aborted_ || code.empty()) return;
  RunTopLevel(*this, code, clip);
}

}  // namespace orrivel::swf::avm1
