#include "swf/avm1/vm.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/date_time.h"
#include "swf/avm1/display_host.h"
#include "swf/avm1/host_state.h"
#include "swf/avm1/decoded_block.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/interpreter.h"
#include "swf/avm1/interpreter_internal.h"
#include "swf/avm1/registry.h"
#include "swf/avm1/text_units.h"
#include "swf/format/movie.h"

namespace orrivel::swf::avm1 {

Vm::Vm(DisplayHost* d, const Movie* m, int v, VmLimits l)
    : version(v),
      rootVersion(v),
      display(d),
      movie(m),
      limits(l),
      run_(std::make_unique<RunState>()) {
  objectProto = New<Object>();
  functionProto = New<Object>();  // an object, not itself callable
  functionProto->proto = objectProto;
  global = NewObject();
  global->proto = nullptr;  // _global inherits nothing, not even Object's methods
  dateBaseMs = WallClockMs();
  InstallBuiltins(*this);
  // Functions made before Function itself name it as their constructor too.
  for (const auto& o : heap_) {
    if (o->IsFunction() && !o->FindProperty(*this, "constructor")) MarkMadeByFunction(o.get());
  }
  builtins_ = heap_.size();
}

void Vm::MarkMadeByFunction(Object* f) {
  // Every function, native or scripted, says on itself that Function made it.
  if (const Property* c = functionProto->FindProperty(*this, "constructor"))
    f->Define(*this, "constructor", c->value, kDontEnum | kDontDelete);
}

Vm::~Vm() = default;

ClipObject* Vm::CurrentTarget() const { return run_->target; }

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
  a->Sync();
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
  MarkMadeByFunction(f);
  return f;
}

FunctionObject* Vm::NewFunction() {
  FunctionObject* f = New<FunctionObject>();
  f->proto = functionProto;
  Object* p = NewObject();
  p->Define(*this, "constructor", Value::Obj(f), kDontEnum | kDontDelete);
  f->Define(*this, "prototype", Value::Obj(p), kDontEnum | kDontDelete);
  MarkMadeByFunction(f);
  return f;
}

void Vm::Method(Object* obj, std::string_view name, NativeFn fn) {
  obj->Define(*this, name, Value::Obj(NewNative(fn)), kDontEnum | kDontDelete);
}

void Vm::NewFrame() {
  // What one frame's scripts left on the stack is gone by the next frame.
  if (depth_ == 0) run_->leftovers.clear();
  steps_ = 0;
  bytesThisFrame_ = 0;
  pixelBytesThisFrame_ = 0;
  aborted_ = OverBudget() || disabled_;
}

bool Vm::Charge(std::size_t bytes) {
  bytesThisFrame_ += bytes;
  if (bytesThisFrame_ <= limits.bytesPerFrame) return true;
  aborted_ = true;
  return false;
}

bool Vm::ChargePixels(std::size_t bytes) {
  pixelBytesThisFrame_ += bytes;
  if (pixelBytesThisFrame_ <= limits.pixelBytesPerFrame) return true;
  aborted_ = true;
  return false;
}

double Vm::Random() {
  rngState ^= rngState << 13;
  rngState ^= rngState >> 17;
  rngState ^= rngState << 5;
  return (rngState >> 8) / 16777216.0;
}

namespace {

// The lower case of a letter as names compare before SWF 7: Latin, Greek,
// Cyrillic and Armenian letters of the player's (older) case tables.
uint32_t LowerLetter(uint32_t c) {
  const auto evenUp = [&](uint32_t from, uint32_t to) {
    return c >= from && c <= to && (c - from) % 2 == 0;
  };
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 32;
  if (evenUp(0x100, 0x136) || evenUp(0x139, 0x147) || evenUp(0x14A, 0x176) ||
      evenUp(0x179, 0x17D) || evenUp(0x1CD, 0x1DB) || evenUp(0x1DE, 0x1EE) ||
      evenUp(0x1F8, 0x21E) || evenUp(0x460, 0x480) || evenUp(0x48A, 0x4BE) ||
      evenUp(0x4C1, 0x4CD) || evenUp(0x4D0, 0x4F8) || evenUp(0x1E00, 0x1E94) ||
      evenUp(0x1EA0, 0x1EF8) || c == 0x1F4)
    return c + 1;
  if (c == 0x178) return 0xFF;
  if (c == 0x1C4 || c == 0x1C5) return 0x1C6;  // the digraphs fold all three forms together
  if (c == 0x1C7 || c == 0x1C8) return 0x1C9;
  if (c == 0x1CA || c == 0x1CB) return 0x1CC;
  if (c == 0x1F1 || c == 0x1F2) return 0x1F3;
  if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F) ||
      (c >= 0xFF21 && c <= 0xFF3A))
    return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x531 && c <= 0x556) return c + 48;
  return c;
}

void AppendCodePoint(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string Vm::Key(std::string_view name) const {
  std::string k(name);
  if (rootVersion >= 7) return k;
  bool wide = false;
  for (char& c : k) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    wide = wide || static_cast<unsigned char>(c) >= 0x80;
  }
  if (!wide) return k;
  // Letters beyond ASCII, read as UTF-8 (two and three byte forms; any
  // other byte is kept as it is).
  std::string out;
  out.reserve(k.size());
  for (std::size_t i = 0; i < k.size();) {
    const auto b = [&](std::size_t j) { return static_cast<unsigned char>(k[j]); };
    const auto cont = [&](std::size_t j) { return j < k.size() && (b(j) & 0xC0) == 0x80; };
    if ((b(i) & 0xE0) == 0xC0 && cont(i + 1)) {
      const uint32_t c = (b(i) & 0x1Fu) << 6 | (b(i + 1) & 0x3Fu);
      if (c >= 0x80) {
        AppendCodePoint(out, LowerLetter(c));
      } else {
        out.append(k, i, 2);  // an overlong form stays apart from the ASCII letter
      }
      i += 2;
    } else if ((b(i) & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
      const uint32_t c = (b(i) & 0x0Fu) << 12 | (b(i + 1) & 0x3Fu) << 6 | (b(i + 2) & 0x3Fu);
      if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) {
        AppendCodePoint(out, LowerLetter(c));
      } else {
        out.append(k, i, 3);
      }
      i += 3;
    } else {
      out += k[i++];
    }
  }
  return out;
}

bool Vm::NamesEqual(std::string_view a, std::string_view b) const {
  if (rootVersion >= 7) return a == b;
  return a.size() == b.size() && Key(a) == Key(b);
}

// ---- Collector ---------------------------------------------------------------

void Vm::MarkRoots(std::vector<Object*>& work) {
  // The built-ins (global object, prototypes, classes and their methods)
  // stay whatever scripts do to the names that reach them.
  for (std::size_t i = 0; i < builtins_; ++i) work.push_back(heap_[i].get());
  if (global) work.push_back(global);
  if (hostState) work.push_back(hostState);
  if (thrown_.object) work.push_back(thrown_.object);
  for (const Value& v : run_->leftovers) {
    if (v.object) work.push_back(v.object);
  }
  for (const auto& [name, cls] : classByName) work.push_back(cls);
  for (const Timer& t : timers) {
    if (t.target.object) work.push_back(t.target.object);
    for (const Value& a : t.args) {
      if (a.object) work.push_back(a.object);
    }
  }
  for (const PendingLoad& l : loads) {
    for (const Value* v : {&l.target, &l.extra}) {
      if (v->object) work.push_back(v->object);
    }
  }
  // What the display holds: every live clip's object (and so its
  // variables), text fields, listeners.
  if (display) display->TraceRoots(work);
}

void Vm::Collect() {
  if (depth_ > 0) return;  // never while code runs: its stack is not a root
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
  if (held > limits.liveBytes) disabled_ = true;
  std::erase_if(heap_, [](const std::unique_ptr<Object>& o) { return !o->marked; });
  for (auto& o : heap_) o->marked = false;
}

// ---- Clips -------------------------------------------------------------------

ClipObject* Vm::ClipFor(const std::shared_ptr<TimelineInstance>& t) {
  return display ? display->ClipFor(t) : nullptr;
}

ClipObject* Vm::RootClip() { return display ? display->RootClip() : nullptr; }

std::pair<int, std::string> Vm::ClassKey(const Movie& movie, std::string_view name) {
  const int v = movie.header.version;
  std::string key(name);
  if (v < 7) {
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return {v, std::move(key)};
}

const Movie& Vm::CodeMovie() {
  static const Movie kNone;
  return display ? display->CodeMovie() : movie ? *movie : kNone;
}

ClipObject* Vm::RootOf(ClipObject* clip) { return display ? display->RootOf(clip) : nullptr; }

ClipObject* Vm::LevelClip(std::string_view name) {
  if (!display) return nullptr;
  // "_flashN" is another name of "_levelN".
  if (name.size() > 6 && NamesEqual(name.substr(0, 6), "_flash"))
    return display->LevelClip("_level" + std::string(name.substr(6)));
  return display->LevelClip(name);
}

int Vm::LevelOf(const TimelineInstance* top) const { return display ? display->LevelOf(top) : 0; }

// ---- Properties ----------------------------------------------------------------

Value Vm::Get(Object* obj, std::string_view name) {
  if (!obj) return {};
  if (NamesEqual(name, "__proto__")) {
    if (ProtoHidden(obj, version)) return {};
    if (obj->proto) return Value::Obj(obj->proto);
    // A prototype cut off by a script reads back as what it was given.
    const Property* p = obj->FindProperty(*this, name);
    return p ? p->value : Value{};
  }
  Value out;
  int guard = 0;
  for (Object* o = obj; o; o = o->proto, ++guard) {
    if (guard >= 256) {
      aborted_ = true;  // a prototype loop: the script is stopped, as the player does
      return {};
    }
    if (Property* p = o->FindProperty(*this, name)) {
      if (HiddenForVersion(p->flags, version)) continue;
      if (p->getter) return CallGetter(o, obj, name);
      return p->value;
    }
    if (o->GetOwn(*this, name, out)) return out;
    if (ProtoHidden(o, version)) break;
  }
  return ResolveMissing(obj, name);
}

Value Vm::ResolveMissing(Object* obj, std::string_view name) {
  // A missing property asks the nearest __resolve that holds an object
  // (numbers and clips there are passed over); only a function answers.
  if (plainLookups_ > 0 || NamesEqual(name, "__resolve")) return {};
  int guard = 0;
  for (Object* o = obj; o && guard < 256; o = o->proto, ++guard) {
    const Property* p = o->FindProperty(*this, "__resolve");
    if (!p || p->getter || !p->value.IsObject() || p->value.object->IsClip()) continue;
    if (!p->value.object->IsFunction()) return {};
    const Value fn = p->value;
    const Value arg[1] = {Value::Str(std::string(name))};
    return Call(fn, Value::Obj(obj), arg);
  }
  return {};
}

namespace {
// Watchers of a name now running on an object: they count against the
// property's nesting limit, which its getter and setter share.
int WatchesRunning(Vm& vm, Object* self, std::string_view name) {
  int n = 0;
  for (const Watch& w : self->watches) {
    if (vm.NamesEqual(w.name, name)) n += w.running;
  }
  return n;
}
}  // namespace

namespace {
// An accessor runs on the object read or written (through super, on that
// super's this) and starts its own super as a method found where the
// accessor sits does.
CallContext AccessorContext(Vm& vm, Object* owner, Object* self) {
  if (auto* s = dynamic_cast<SuperObject*>(self))
    return {s->self, vm.version < 7 ? s->proto : owner};
  return {Value::Obj(self), vm.version < 7 || owner == self ? self->proto : owner};
}
}  // namespace

Value Vm::CallGetter(Object* owner, Object* self, std::string_view name) {
  Property* p = owner->FindProperty(*this, name);
  if (!p) return {};
  if (!p->getter || p->getting + p->setting + WatchesRunning(*this, self, name) >= AccessorDepth())
    return p->value;
  ++p->getting;
  const Value r = Call(Value::Obj(p->getter), AccessorContext(*this, owner, self), {});
  // The call may have added properties and moved this one.
  if (Property* q = owner->FindProperty(*this, name); q && q->getting > 0) --q->getting;
  return r;
}

void Vm::CallSetter(Object* owner, Object* self, std::string_view name, const Value& v) {
  Property* p = owner->FindProperty(*this, name);
  if (!p || !p->setter) return;
  // Getter, setter and watchers share one nesting limit.
  if (p->setting + p->getting + WatchesRunning(*this, self, name) >= AccessorDepth()) {
    // A watcher of the name is running: the plain value takes the write.
    if (p->setting == 0) p->value = v;
    return;
  }
  ++p->setting;
  const Value arg[1] = {v};
  Call(Value::Obj(p->setter), AccessorContext(*this, owner, self), arg);
  if (Property* q = owner->FindProperty(*this, name); q && q->setting > 0) {
    --q->setting;
    // The value assigned is also kept, for reads made from inside the
    // getter: before SWF 7 at every level, later by the outermost setter.
    if (version < 7 || q->setting == 0) q->value = v;
  }
}

namespace {

enum class Wrapper { Own, Script, None };

// Which class wraps a primitive: the global of its type's name, found without
// __resolve (a getter there runs). The player's own class boxes it; a script
// function takes its place with `new`; anything else gives no object.
Wrapper WrapperClass(Vm& vm, const Value& v, Value& ctor) {
  const char* name = v.type == Type::String   ? "String"
                     : v.type == Type::Number ? "Number"
                                              : "Boolean";
  Object* proto = v.type == Type::String   ? vm.stringProto
                  : v.type == Type::Number ? vm.numberProto
                                           : vm.booleanProto;
  ctor = vm.GetPlain(vm.global, name);
  if (!ctor.IsObject() || !ctor.object->IsFunction()) return Wrapper::None;
  if (static_cast<FunctionObject*>(ctor.object)->code) return Wrapper::Script;
  Value own;  // the class the player made its prototype for
  const bool isOwn = proto->GetOwn(vm, "constructor", own) && own.object == ctor.object;
  return isOwn ? Wrapper::Own : Wrapper::None;
}

}  // namespace

Value Vm::GetMember(const Value& v, std::string_view name) {
  if (v.type == Type::Object) return Get(v.object, name);
  if (v.type != Type::String && v.type != Type::Number && v.type != Type::Boolean) return {};
  // A primitive is read through the object its global class would make; the
  // player's own classes answer from their prototype without making one.
  Value ctor;
  switch (WrapperClass(*this, v, ctor)) {
    case Wrapper::Script: {
      const Value made = Construct(ctor.object, {&v, 1});
      return made.IsObject() ? Get(made.object, name) : Value{};
    }
    case Wrapper::None:
      return {};
    case Wrapper::Own:
      // The object the read stands for was made by `new` of the class.
      if (version >= 6 && NamesEqual(name, "__constructor__")) return ctor;
      break;
  }
  switch (v.type) {
    case Type::String:
      if (name == "length") {
        const std::size_t n = version >= 6 ? UnitCount(v.string) : v.string.size();
        return Value::Num(static_cast<double>(n));
      }
      return Get(stringProto, name);
    case Type::Number:
      return Get(numberProto, name);
    default:
      return Get(booleanProto, name);
  }
}

void Vm::Set(Object* obj, std::string_view name, const Value& value) {
  if (!obj || name.empty()) return;  // a nameless property cannot be made
  Value v = value;
  // A watcher sees the assignment first and gives the value to store.
  if (!obj->watches.empty()) {
    for (std::size_t i = 0; i < obj->watches.size(); ++i) {
      Watch& w = obj->watches[i];
      if (!NamesEqual(w.name, name) || w.running >= AccessorDepth()) continue;
      // The old value is the stored one, inherited too; a getter is not run.
      Value old;
      int guard = 0;
      for (Object* o = obj; o && guard < 256; o = o->proto, ++guard) {
        if (Property* p = o->FindProperty(*this, name)) {
          old = p->value;
          break;
        }
      }
      const Value args[4] = {Value::Str(std::string(name)), old, v, w.userData};
      Object* cb = w.callback;
      ++w.running;
      v = Call(Value::Obj(cb), Value::Obj(obj), args);
      for (Watch& x : obj->watches) {
        if (x.callback == cb && NamesEqual(x.name, name) && x.running > 0) --x.running;
      }
      break;
    }
  }
  if (NamesEqual(name, "__proto__")) {
    obj->proto = v.object;
    if (!v.IsObject()) obj->Define(*this, name, v, kDontEnum);
    return;
  }
  // An own property, even one hidden from this version, takes the value.
  if (!obj->FindProperty(*this, name)) {
    // An inherited addProperty setter takes the assignment.
    int guard = 0;
    for (Object* o = obj->proto; o && guard < 256; o = o->proto, ++guard) {
      Property* p = o->FindProperty(*this, name);
      if (!p || HiddenForWrite(p->flags, version)) continue;
      if (p->setter && !(p->flags & kReadOnly)) {
        CallSetter(o, obj, name, v);
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

namespace {
// valueOf and toString as conversions call them: never found by __resolve.
bool CallConversion(Vm& vm, Object* o, std::string_view name, Value& out) {
  const Value fn = vm.GetPlain(o, name);
  if (!fn.IsObject() || !fn.object->IsFunction()) return false;
  Object* home = o;
  for (int guard = 0; home && !home->HasOwn(vm, name) && guard < 256; ++guard) home = home->proto;
  out = vm.Call(fn, CallContext{Value::Obj(o), home}, {});
  return true;
}
}  // namespace

Value Vm::ToPrimitive(const Value& v) {
  if (!v.IsObject()) return v;
  Value result;
  if (!CallConversion(*this, v.object, "valueOf", result)) return {};
  return result;
}

Value Vm::ValueOf(Object* o) { return ToPrimitive(Value::Obj(o)); }

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
      if (p.IsObject()) return version < 5 ? 0 : NAN;  // no second try with toString
      return ToNumber(p);
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
      Object* o = v.object;
      // A clip converts to its path unless a script gave it its own toString.
      if (o->IsClip()) {
        const Value fn = Get(o, "toString");
        const bool scripted = fn.IsObject() && fn.object->IsFunction() &&
                              static_cast<FunctionObject*>(fn.object)->code != nullptr;
        if (!scripted) return static_cast<ClipObject*>(o)->Path(*this);
      }
      if (o->IsTextField() || o->IsVideo()) return display ? display->FieldPath(o) : std::string();
      // A String object converts to its own text without asking toString.
      if (auto* box = dynamic_cast<BoxObject*>(o); box && box->primitive.type == Type::String) {
        return box->primitive.string;
      }
      // Only toString counts, and only when it gives text.
      Value r;
      if (CallConversion(*this, o, "toString", r) && r.type == Type::String) return r.string;
      return o->IsFunction() ? "[type Function]" : "[type Object]";
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
      Value ctor;
      switch (WrapperClass(*this, v, ctor)) {
        case Wrapper::Script: {
          const Value made = Construct(ctor.object, {&v, 1});
          return made.IsObject() ? made.object : nullptr;
        }
        case Wrapper::None:
          return nullptr;
        case Wrapper::Own:
          break;
      }
      BoxObject* b = New<BoxObject>();
      b->proto = v.type == Type::String   ? stringProto
                 : v.type == Type::Number ? numberProto
                                          : booleanProto;
      b->primitive = v;
      // Made as `new` of its class makes it: a String has its own length.
      LinkInstance(b, ctor.object);
      if (v.type == Type::String) {
        const std::size_t n = version >= 6 ? UnitCount(v.string) : v.string.size();
        b->Define(*this, "length", Value::Num(static_cast<double>(n)), kDontEnum | kDontDelete);
      }
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
      if (v.object->IsClip()) {
        const auto* clip = static_cast<ClipObject*>(v.object);
        return clip->IsButton() && version >= 6 ? "object" : "movieclip";  // a button is no clip
      }
      // SWF 5 takes a text field for a clip; so does every version once
      // the field is gone.
      if (v.object->IsTextField() && (version < 6 || v.object->IsRemovedField()))
        return "movieclip";
      return v.object->IsFunction() ? "function" : "object";
  }
  return "undefined";
}

namespace {
// A constructor's prototype for `new` and instanceof: one hidden from the
// movie's version still serves.
Value ClassPrototype(Vm& vm, Object* ctor) {
  Value v = vm.Get(ctor, "prototype");
  if (v.IsUndefined()) {
    if (const Property* p = ctor->FindProperty(vm, "prototype"); p && !p->getter) v = p->value;
  }
  return v;
}
}  // namespace

bool Vm::InstanceOf(Object* obj, Object* ctor) {
  if (!obj || !ctor) return false;
  const Value protoV = ClassPrototype(*this, ctor);
  Object* target = protoV.object;
  // Walks a prototype chain and, through each link's interfaces, the chains
  // of the interfaces they extend; the work is capped against cycles.
  // A link hidden from the movie's version ends a chain.
  int budget = 1024;
  if (ProtoHidden(obj, version)) return false;
  std::vector<Object*> chains = {obj->proto};
  while (!chains.empty() && budget > 0) {
    Object* p = chains.back();
    chains.pop_back();
    for (; p && budget > 0; p = ProtoHidden(p, version) ? nullptr : p->proto, --budget) {
      if (target && p == target) return true;
      for (Object* i : p->interfaces) {
        if (i == ctor) return true;
        chains.push_back(Get(i, "prototype").object);
      }
    }
  }
  // A chain that never ends (a prototype loop) stops the script, as a read
  // through one does.
  if (budget <= 0) aborted_ = true;
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
      // A NaN equals itself (a copy of the same one), not another NaN.
      return a.number == b.number || Value::SameNaN(a.number, b.number);
    case Type::String:
      return a.string == b.string;
    case Type::Object:
      // Two references to one clip are equal, even when one of them has
      // found the clip again by its path.
      if (a.object != b.object && a.object->IsClip() && b.object->IsClip()) {
        ClipObject* live = static_cast<ClipObject*>(a.object)->Resolve();
        return live && live == static_cast<ClipObject*>(b.object)->Resolve();
      }
      return a.object == b.object;
  }
  return false;
}

bool Vm::LooseEquals(const Value& a, const Value& b) {
  // Before version 6 two objects also compare by what their valueOf gives.
  if (version < 6 && a.IsObject() && b.IsObject() && a.object != b.object && !a.object->IsClip() &&
      !b.object->IsClip()) {
    const Value pa = ValueOf(a.object), pb = ValueOf(b.object);
    if (!pa.IsObject() && !pb.IsObject()) return LooseEquals(pa, pb);
  }
  // A clip is a type of its own: an object compared with one gives its valueOf.
  if (a.IsObject() && b.IsObject() && a.object->IsClip() != b.object->IsClip()) {
    const Value& clip = a.object->IsClip() ? a : b;
    const Value p = ValueOf((a.object->IsClip() ? b : a).object);
    return p.IsObject() ? StrictEquals(p, clip) : LooseEquals(p, clip);
  }
  if (a.type == b.type) return StrictEquals(a, b);
  if (a.IsNullish() && b.IsNullish()) return true;
  if (a.IsNullish() || b.IsNullish()) {
    // An object with neither valueOf nor toString has no value: it equals
    // undefined and null.
    const Value& o = a.IsObject() ? a : b;
    // Before version 6 an object whose valueOf gives nothing equals them too.
    if (version < 6 && o.IsObject() && !o.object->IsClip()) return ValueOf(o.object).IsNullish();
    return o.IsObject() && !o.object->IsClip() && !Get(o.object, "valueOf").IsObject() &&
           !Get(o.object, "toString").IsObject();
  }
  if (a.type == Type::Number && b.type == Type::String) return a.number == ToNumber(b);
  if (a.type == Type::String && b.type == Type::Number) return ToNumber(a) == b.number;
  if (a.type == Type::Boolean) return LooseEquals(Value::Num(a.boolean ? 1 : 0), b);
  if (b.type == Type::Boolean) return LooseEquals(a, Value::Num(b.boolean ? 1 : 0));
  // Objects compare by what valueOf gives, without falling back to toString.
  if (b.IsObject() && !a.IsObject()) {
    const Value p = ValueOf(b.object);
    return !p.IsObject() && LooseEquals(a, p);
  }
  if (a.IsObject() && !b.IsObject()) {
    const Value p = ValueOf(a.object);
    return !p.IsObject() && LooseEquals(p, b);
  }
  return false;
}

Value Vm::Less(const Value& a, const Value& b) {
  // Objects give their valueOf; one that gives an object again makes the
  // comparison false. Clips have no number: that comparison is undefined.
  const auto prim = [&](const Value& v) {
    if (!v.IsObject()) return v;
    if (v.object->IsClip()) return Value::Num(NAN);
    const Value p = ValueOf(v.object);
    return p.IsObject() && p.object->IsClip() ? Value::Num(NAN) : p;  // a clip has no number
  };
  const Value pa = prim(a);
  if (pa.IsObject()) return Value::Bool(false);  // the right side is not even asked
  const Value pb = prim(b);
  if (pb.IsObject()) return Value::Bool(false);
  if (pa.type == Type::String && pb.type == Type::String) {
    return Value::Bool(CompareCodePoints(pa.string, pb.string) < 0);
  }
  const double x = ToNumber(pa), y = ToNumber(pb);
  if (std::isnan(x) || std::isnan(y)) return {};
  return Value::Bool(x < y);
}

// ---- Calls -----------------------------------------------------------------------

Value Vm::GetPlain(Object* obj, std::string_view name) {
  ++plainLookups_;
  Value v = Get(obj, name);
  --plainLookups_;
  return v;
}

Value Vm::Call(const Value& fn, const CallContext& call, Args args) {
  // While a thrown value unwinds, a native that called back stops: no more
  // script runs until a catch (or the host) takes the value.
  if (!fn.IsObject() || !fn.object->IsFunction() || aborted_ || throwing_) return {};
  auto* f = static_cast<FunctionObject*>(fn.object);
  // A call from the host (an event, a timer) ends its exception: nothing
  // outside would catch it, and the next script must not see it.
  const bool fromHost = depth_ == 0;
  const DepthScope scope(*this);
  if (!scope.Entered()) {
    aborted_ = true;
    return {};
  }
  Value result;
  if (f->native) {
    CallContext context = call;
    if (context.version == 0) context.version = version;
    Completion c = f->native(*this, context, args);
    if (c.kind == Completion::Kind::Throw) {
      Throw(std::move(c.value));
    } else if (c.kind == Completion::Kind::Abort) {
      aborted_ = true;
    } else {
      result = std::move(c.value);
    }
  } else if (f->code) {
    const bool outerNew = std::exchange(inNew_, call.isNew);
    result = CallScript(*this, f, call, args);
    inNew_ = outerNew;
  }
  if (fromHost) Catch();
  return result;
}

bool Vm::CallMethod(Object* obj, std::string_view name, Args args, Value* result) {
  const Value fn = GetPlain(obj, name);
  if (!fn.IsObject() || !fn.object->IsFunction()) return false;
  // Where the method was found: its `super` starts above that object.
  Object* home = obj;
  for (int guard = 0; home && !home->HasOwn(*this, name) && guard < 256; ++guard)
    home = home->proto;
  Value r = Call(fn, CallContext{Value::Obj(obj), home}, args);
  if (result) *result = std::move(r);
  return true;
}

void Vm::LinkInstance(Object* obj, Object* ctor) {
  // SWF 5 code links it too, out of its own sight: SWF 6 code sees it.
  const uint16_t since = version < 6 ? kSince6 : 0;
  obj->Define(*this, "__constructor__", Value::Obj(ctor), kDontEnum | since);
  if (version < 7) obj->Define(*this, "constructor", Value::Obj(ctor), kDontEnum);
}

Value Vm::Construct(Object* ctor, Args args) {
  if (!ctor || !ctor->IsFunction()) return {};
  auto* f = static_cast<FunctionObject*>(ctor);
  const Value protoV = ClassPrototype(*this, ctor);
  // A class extending a built-in one gets that kind of instance, so the
  // built-in constructor (reached through super) can fill it in.
  auto make = f->construct;
  int depth = 0;
  for (Object* p = protoV.object; !make && p && depth < 64; p = p->proto, ++depth) {
    const Property* c = p->FindProperty(*this, "constructor");
    if (c && c->value.IsObject() && c->value.object->IsFunction())
      make = static_cast<FunctionObject*>(c->value.object)->construct;
  }
  Object* obj = make ? make(*this) : NewObject();
  // A constructor without a prototype makes an object that inherits nothing.
  obj->proto = protoV.IsObject() ? protoV.object : nullptr;
  // A non-object prototype still reads back through __proto__, as after a script assigns it.
  if (!protoV.IsObject() && !protoV.IsUndefined())
    obj->Define(*this, "__proto__", protoV, kDontEnum);
  LinkInstance(obj, ctor);
  constructRefused_ = false;
  // super starts above the prototype.
  const CallContext call{Value::Obj(obj), protoV.IsObject() ? protoV.object : nullptr, true};
  const Value r = Call(Value::Obj(ctor), call, args);
  if (std::exchange(constructRefused_, false)) return {};
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

std::shared_ptr<DecodedBlock> Vm::DecodedBlockOf(std::span<const uint8_t> code) {
  if (!blocks_) blocks_ = std::make_unique<BlockCache>();
  return blocks_->Get(code);
}

void Vm::RunBlock(std::span<const uint8_t> code, ClipObject* clip, bool stopsWithClip) {
  if (aborted_ || code.empty()) return;
  RunTopLevel(*this, code, clip, stopsWithClip);
}

}  // namespace orrivel::swf::avm1
