#include "swf/avm1/interpreter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/loader.h"
#include "swf/avm1/text_field_object.h"
#include "swf/avm1/text_units.h"
#include "swf/player/timeline_instance.h"

namespace orrivel::swf::avm1 {

namespace {

enum class Flow { Normal, Return, Throw, Abort };

constexpr std::size_t kMaxStack = 1u << 14;

// DefineFunction2 flags.
enum : uint16_t {
  kPreloadThis = 0x0001,
  kSuppressThis = 0x0002,
  kPreloadArguments = 0x0004,
  kSuppressArguments = 0x0008,
  kPreloadSuper = 0x0010,
  kSuppressSuper = 0x0020,
  kPreloadRoot = 0x0040,
  kPreloadParent = 0x0080,
  kPreloadGlobal = 0x0100,
};

// `super` inside a method: members come from above the method's home, and
// calls keep the original `this`.
class SuperObject : public Object {
 public:
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (self.object) out.push_back(self.object);
    if (home) out.push_back(home);
  }
  Value self;
  Object* home = nullptr;
};

// Reads fields of one action's payload; reads past the end give zeros.
struct Payload {
  std::span<const uint8_t> data;
  std::size_t pos = 0;
  bool failed = false;
  uint8_t U8() {
    if (pos >= data.size()) {
      failed = true;
      return 0;
    }
    return data[pos++];
  }
  uint16_t U16() {
    const uint16_t lo = U8();
    return static_cast<uint16_t>(lo | U8() << 8);
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | static_cast<uint32_t>(U16()) << 16;
  }
  std::string String() {
    std::string s;
    while (pos < data.size() && data[pos] != 0) s += static_cast<char>(data[pos++]);
    if (pos < data.size()) {
      ++pos;
    } else {
      failed = true;
    }
    return s;
  }
  bool AtEnd() const { return pos >= data.size(); }
};

struct Activation {
  Vm& vm;
  std::span<const uint8_t> code;
  std::size_t pc = 0;
  std::vector<Object*> scope;  // outermost first
  int clipSlot = -1;           // the scope entry a tell-target replaces
  std::size_t withs = 0;       // the innermost scope entries pushed by With
  ClipObject* base = nullptr;  // the clip the code belongs to
  ClipObject* target = nullptr;
  Value self;
  Object* locals = nullptr;  // where DefineLocal and new variables go
  std::vector<Value> registers;
  std::shared_ptr<const std::vector<std::string>> constants;
  std::vector<Value> stack;
  FunctionObject* callee = nullptr;
  // A frame or event block ends when a goto or removal takes its clip off
  // the stage; unset for functions and blocks of clips already removed.
  std::weak_ptr<TimelineInstance> liveClip;
  bool watchClip = false;
  uint64_t removalsSeen = 0;
  Object* home = nullptr;
  bool suppressThis = false;
  int version = 0;  // of the movie the code comes from
  Value result;

  explicit Activation(Vm& v) : vm(v) {}

  Value Pop() {
    if (stack.empty()) return {};
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
  }
  // What a finished call left on the shared stack goes below its result.
  void TakeLeftovers() {
    for (Value& v : vm.leftovers) Push(std::move(v));
    vm.leftovers.clear();
  }
  // The rest of this stack is left for whoever runs next.
  void LeaveStack() {
    for (Value& v : stack) vm.leftovers.push_back(std::move(v));
    stack.clear();
    if (vm.leftovers.size() > kMaxStack)
      vm.leftovers.erase(vm.leftovers.begin(), vm.leftovers.end() - kMaxStack);
  }
  void Push(Value v) {
    // Copies of long text count against the frame's budget too.
    if (v.type == Type::String) vm.Charge(v.string.size());
    // A full stack drops its oldest values an eighth at a time, so a script
    // that only pushes costs a few moves per push, not the whole stack.
    if (stack.size() >= kMaxStack) stack.erase(stack.begin(), stack.begin() + kMaxStack / 8);
    stack.push_back(std::move(v));
  }
};

Flow Run(Activation& a, std::size_t begin, std::size_t end);

bool HasProperty(Vm& vm, Object* o, std::string_view name) {
  int guard = 0;
  for (; o && guard < 256; o = o->proto, ++guard) {
    if (o->HasOwn(vm, name)) return true;
  }
  return false;
}

// A plain name through the scope chain, innermost first.
bool LookupName(Activation& a, std::string_view name, Value& out) {
  Vm& vm = a.vm;
  // SWF 4 knows no globals and no special names: `this`, `_root` and the
  // like are plain variables of the timeline.
  if (a.version < 5) {
    for (std::size_t i = a.scope.size(); i-- > 0;) {
      Object* o = a.scope[i];
      if (o && o != vm.global && HasProperty(vm, o, name)) {
        out = vm.Get(o, name);
        return true;
      }
    }
    return false;
  }
  if (vm.NamesEqual(name, "this")) {
    // A suppressed `this` falls through to the timeline (nothing before SWF 6).
    if (!a.suppressThis) {
      out = a.self;
    } else {
      out = vm.version >= 6 ? Value::Obj(a.base) : Value{};
    }
    return true;
  }
  if (vm.version >= 6 && vm.NamesEqual(name, "_global")) {
    out = Value::Obj(vm.global);
    return true;
  }
  if (vm.NamesEqual(name, "_root")) {
    // The innermost clip in scope (a `with` clip, else the code's own) decides.
    ClipObject* from = a.base;
    for (std::size_t i = a.scope.size(); i-- > 0;) {
      if (a.scope[i] && a.scope[i]->IsClip()) {
        from = static_cast<ClipObject*>(a.scope[i]);
        break;
      }
    }
    out = Value::Obj(vm.RootOf(from));
    return true;
  }
  if (ClipObject* level = vm.LevelClip(name)) {
    out = Value::Obj(level);
    return true;
  }
  // Every object with a prototype has __proto__, though it is no property.
  const bool proto = name == "__proto__";
  for (std::size_t i = a.scope.size(); i-- > 0;) {
    Object* o = a.scope[i];
    if (o && ((proto && o->proto) || HasProperty(vm, o, name))) {
      out = vm.Get(o, name);
      return true;
    }
  }
  return false;
}

// Splits "a.b.c" (dot syntax inside a variable name) for path lookups.
bool HasPathChars(std::string_view name) {
  return name.find_first_of(":/.") != std::string_view::npos && name != "..";
}

// `this` of a function called by name: the object a `with` block put in
// scope when the name was found on it (with (mc) lineTo(...) draws on mc),
// else the clip the code belongs to.
Object* CallFunctionThis(Activation& a, const std::string& name) {
  if (HasPathChars(name)) return a.base;
  for (std::size_t i = a.scope.size(); i-- > 0;) {
    Object* o = a.scope[i];
    if (!o || !HasProperty(a.vm, o, name)) continue;
    if (i + a.withs >= a.scope.size()) return o;
    return o->IsClip() && o != a.target && static_cast<int>(i) != a.clipSlot ? o : a.base;
  }
  return a.base;
}

Value GetVariable(Activation& a, const std::string& name) {
  Vm& vm = a.vm;
  Value out;
  if (HasPathChars(name) && !name.empty()) {
    const std::size_t colon = name.rfind(':');
    if (colon != std::string::npos) {
      // "path:a.b": the variable's owner is everything before the last step.
      const std::size_t dot = name.rfind('.');
      const std::size_t cut = dot != std::string::npos && dot > colon ? dot : colon;
      Object* owner = ResolvePath(vm, a.target, std::string_view(name).substr(0, cut), true);
      return owner ? vm.Get(owner, std::string_view(name).substr(cut + 1)) : Value{};
    }
    if (name.find('/') != std::string::npos) {
      // A clip's path read as a variable never steps up with "..".
      for (std::size_t at = name.find(".."); at != std::string::npos;
           at = name.find("..", at + 1)) {
        const bool starts = at == 0 || name[at - 1] == '/';
        const bool ends = at + 2 == name.size() || name[at + 2] == '/';
        if (starts && ends) return {};
      }
      return Value::Obj(ResolveTarget(vm, a.target, name));
    }
    // Dot path: the first part through the scope chain, the rest as members.
    std::size_t start = 0, dot = name.find('.');
    if (!LookupName(a, std::string_view(name).substr(0, dot), out)) return {};
    while (dot != std::string::npos) {
      start = dot + 1;
      dot = name.find('.', start);
      out = vm.GetMember(out, std::string_view(name).substr(start, dot - start));
    }
    return out;
  }
  if (LookupName(a, name, out)) return out;
  return {};
}

void SetVariable(Activation& a, const std::string& name, const Value& v) {
  Vm& vm = a.vm;
  if (HasPathChars(name)) {
    const std::size_t colon = name.rfind(':');
    const std::size_t dot = name.rfind('.');
    const std::size_t cut =
        colon == std::string::npos || (dot != std::string::npos && dot > colon) ? dot : colon;
    if (cut != std::string::npos) {
      const std::string path = name.substr(0, cut);
      Value owner;
      if (colon != std::string::npos) {
        owner = Value::Obj(ResolvePath(vm, a.target, path, true));
      } else if (path.find('/') != std::string::npos) {
        owner = Value::Obj(ResolveTarget(vm, a.target, path));
      } else {
        owner = GetVariable(a, path);
      }
      vm.SetMember(owner, std::string_view(name).substr(cut + 1), v);
      return;
    }
  }
  const std::size_t firstWith = a.scope.size() - a.withs;
  for (std::size_t i = a.scope.size(); i-- > 1;) {
    Object* o = a.scope[i];
    // A clip put in scope by `with` takes its variables and properties, not
    // names of its children.
    const bool has = i >= firstWith && o && o->IsClip()
                         ? o->Object::HasOwn(vm, name) || ClipPropertyIndex(name) >= 0
                         : o && o->HasOwn(vm, name);
    if (has) {
      vm.Set(o, name, v);
      return;
    }
  }
  // A new variable (not declared with var) belongs to the timeline, even
  // inside a function: the innermost clip of the scope chain below any
  // `with` blocks.
  for (std::size_t i = std::min(firstWith, a.scope.size()); i-- > 1;) {
    if (a.scope[i] && a.scope[i]->IsClip()) {
      vm.Set(a.scope[i], name, v);
      return;
    }
  }
  vm.Set(a.target ? a.target : a.locals, name, v);
}

Object* MakeArguments(Vm& vm, Args args, FunctionObject* callee) {
  ArrayObject* arr = vm.NewArray(std::vector<Value>(args.begin(), args.end()));
  arr->Define(vm, "callee", Value::Obj(callee), kDontEnum);
  return arr;
}

Object* MakeSuper(Vm& vm, const Value& self, Object* home) {
  if (!home) return nullptr;
  SuperObject* s = vm.New<SuperObject>();
  s->self = self;
  s->home = home;
  s->proto = home->proto;
  return s;
}

std::vector<Value> PopArgs(Activation& a) {
  const double n = a.vm.ToNumber(a.Pop());
  std::vector<Value> args;
  const std::size_t count =
      n > 0 ? static_cast<std::size_t>(std::min<double>(n, static_cast<double>(a.stack.size())))
            : 0;
  args.reserve(count);
  for (std::size_t i = 0; i < count; ++i) args.push_back(a.Pop());
  return args;
}

// instanceof as the player runs it: a primitive is no instance; a primitive
// class, or a primitive prototype, is wrapped (its global class runs) and
// matches nothing. The prototype is the class's own stored value, neither
// inherited nor read through a getter. A removed clip matches nothing.
bool IsInstance(Vm& vm, const Value& obj, const Value& cls) {
  const auto gone = [](Object* o) {
    return o->IsClip() && !static_cast<ClipObject*>(o)->Instance();
  };
  if (!obj.IsObject() || gone(obj.object)) return false;
  Object* c = cls.IsObject() ? cls.object : vm.ToObject(cls);
  if (!c || gone(c)) return false;
  Value proto;
  if (const Property* p = c->FindProperty(vm, "prototype")) {
    if (!p->getter) proto = p->value;
  } else {
    c->GetOwn(vm, "prototype", proto);
  }
  if (!proto.IsObject()) {
    if (!proto.IsNullish()) vm.ToObject(proto);
    return false;
  }
  if (proto.object->IsClip()) return false;
  return vm.InstanceOf(obj.object, c);
}

// A value called or constructed itself: a primitive is wrapped first.
Value ObjectOf(Vm& vm, const Value& v) {
  if (v.IsObject() || v.IsNullish()) return v;
  Object* o = vm.ToObject(v);
  return o ? Value::Obj(o) : Value{};
}

// Calls a value's method, or the value itself when the name is empty.
Value CallMethodValue(Activation& a, const Value& obj, const Value& nameV, Args args) {
  Vm& vm = a.vm;
  const bool noName = nameV.IsUndefined() || (nameV.type == Type::String && nameV.string.empty());
  if (noName) {
    if (auto* sup = obj.IsObject() ? dynamic_cast<SuperObject*>(obj.object) : nullptr) {
      const Value ctor = vm.Get(sup->home, "__constructor__");
      vm.callHome = ctor.IsObject() ? vm.Get(ctor.object, "prototype").object : nullptr;
      return vm.Call(ctor, sup->self, args);
    }
    return vm.Call(ObjectOf(vm, obj), Value{}, args);
  }
  const std::string name = vm.ToString(nameV);
  if (auto* sup = obj.IsObject() ? dynamic_cast<SuperObject*>(obj.object) : nullptr) {
    // The method's own super is one step up from where it was found; before
    // SWF 7, from where this lookup began, wherever the method was found.
    Object* found = sup->home->proto;
    int guard = 0;
    while (vm.version >= 7 && found && !found->HasOwn(vm, name) && guard++ < 256)
      found = found->proto;
    vm.callHome = found;
    return vm.Call(vm.Get(sup->home->proto, name), sup->self, args);
  }
  Object* self = obj.IsObject() ? obj.object : vm.ToObject(obj);
  if (!self) return {};
  const Value fn = vm.Get(self, name);
  Object* found = self;
  int guard = 0;
  while (found && !found->HasOwn(vm, name) && guard++ < 256) found = found->proto;
  // Before SWF 7 a method inherited from deeper up still takes super from
  // the object's own prototype.
  vm.callHome = vm.version < 7 && found && found != self ? self->proto : found;
  return vm.Call(fn, Value::Obj(self), args);
}

FunctionObject* DefineFunction(Activation& a, Payload& p, bool v2, std::size_t bodyStart,
                               std::string& name) {
  Vm& vm = a.vm;
  auto code = std::make_shared<FunctionCode>();
  name = p.String();
  const uint16_t count = p.U16();
  code->v2 = v2;
  if (v2) {
    code->registerCount = p.U8();
    code->flags = p.U16();
  }
  for (uint16_t i = 0; i < count && !p.failed; ++i) {
    code->paramRegisters.push_back(v2 ? p.U8() : 0);
    code->params.push_back(p.String());
  }
  const uint16_t size = p.U16();
  if (p.failed) return nullptr;
  const std::size_t len = std::min<std::size_t>(size, a.code.size() - bodyStart);
  code->body = a.code.subspan(bodyStart, len);
  code->name = name;
  code->constants = a.constants;
  code->version = std::max(a.version, 5);  // function bodies never run as SWF 4
  FunctionObject* f = vm.NewFunction();
  f->code = std::move(code);
  f->scope = a.scope;
  if (a.clipSlot >= 0) f->scope[static_cast<std::size_t>(a.clipSlot)] = a.base;
  f->clip = a.base;
  a.pc = bodyStart + len;
  return f;
}

void DoPush(Activation& a, Payload& p) {
  while (!p.AtEnd() && !p.failed) {
    const std::size_t before = a.stack.size();
    const uint8_t type = p.U8();
    switch (type) {
      case 0:
        a.Push(Value::Str(p.String()));
        break;
      case 1: {
        a.Push(Value::Num(std::bit_cast<float>(p.U32())));
        break;
      }
      case 2:
        a.Push(Value::Null());
        break;
      case 3:
        a.Push({});
        break;
      case 4: {
        const uint8_t r = p.U8();
        a.Push(r < a.registers.size() ? a.registers[r] : Value{});
        break;
      }
      case 5:
        a.Push(Value::Bool(p.U8() != 0));
        break;
      case 6: {
        const uint64_t hi = p.U32();
        a.Push(Value::Num(std::bit_cast<double>(hi << 32 | p.U32())));
        break;
      }
      case 7:
        a.Push(Value::Num(static_cast<int32_t>(p.U32())));
        break;
      case 8:
      case 9: {
        const uint16_t i = type == 8 ? p.U8() : p.U16();
        if (a.constants && i < a.constants->size()) {
          a.Push(Value::Str((*a.constants)[i]));
        } else {
          a.Push({});
        }
        break;
      }
      default:
        return;
    }
    if (p.failed && a.stack.size() > before) a.stack.pop_back();  // cut short: not pushed
  }
}

// SWF 4 code prints booleans as 1 and 0.
std::string TextOf(Activation& a, const Value& v) {
  if (a.version < 5 && v.type == Type::Boolean) return v.boolean ? "1" : "0";
  return a.vm.ToString(v);
}

void Enumerate(Activation& a, const Value& v) {
  Vm& vm = a.vm;
  a.Push({});  // the end marker
  if (!v.IsObject()) return;
  std::vector<Object*> chain;
  int guard = 0;
  for (Object* o = v.object; o && guard < 256; o = o->proto, ++guard) {
    chain.push_back(o);
    if (ProtoHidden(o, vm.version)) break;
  }
  std::vector<std::string> keys;
  for (Object* o : chain) {
    std::vector<std::string> own;
    o->OwnKeys(vm, own);
    for (std::string& k : own) {
      if (std::none_of(keys.begin(), keys.end(),
                       [&](const std::string& e) { return vm.NamesEqual(e, k); }))
        keys.push_back(std::move(k));
    }
  }
  for (const std::string& k : keys) a.Push(Value::Str(k));
}

ClipObject* TargetOf(Activation& a, const Value& v) {
  if (v.IsObject() && v.object->IsClip()) return static_cast<ClipObject*>(v.object);
  const std::string path = a.vm.ToString(v);
  if (path.empty()) return a.target;
  return ResolveTarget(a.vm, a.target, path);
}

// tellTarget's target: a clip names itself by its path (the first clip of
// that path wins), other values by their text; an empty one returns to the
// code's own clip. Null when it names nothing.
ClipObject* TellTargetOf(Activation& a, const Value& v) {
  std::string path = v.IsObject() && v.object->IsClip()
                         ? static_cast<ClipObject*>(v.object)->Path(a.vm)
                         : a.vm.ToString(v);
  if (path.empty()) return a.base;
  return ResolveTarget(a.vm, a.base, path);
}

// A target that names nothing leaves no clip for properties, but variables
// and timeline actions then reach the root.
void SetTargetClip(Activation& a, ClipObject* clip) {
  a.target = clip;
  ClipObject* scope = clip ? clip : a.vm.RootClip();
  a.vm.currentTarget = scope;
  if (a.clipSlot >= 0) a.scope[static_cast<std::size_t>(a.clipSlot)] = scope;
}

// A frame given by an object is named by its text (toString, not valueOf).
Value FrameValue(Activation& a, const Value& v) {
  if (!v.IsObject() || v.object->IsClip()) return v;
  return Value::Str(a.vm.ToString(v));
}

ClipObject* TimelineTarget(Activation& a) { return a.target ? a.target : a.vm.RootClip(); }

// Runs [begin, end) with the action's flow; false when the run must stop.
Flow RunTry(Activation& a, Payload& p, std::size_t next) {
  Vm& vm = a.vm;
  const uint8_t flags = p.U8();
  const uint16_t trySize = p.U16(), catchSize = p.U16(), finallySize = p.U16();
  std::string catchName;
  uint8_t catchRegister = 0;
  if (flags & 0x04) {
    catchRegister = p.U8();
  } else {
    catchName = p.String();
  }
  const std::size_t tryEnd = std::min(next + trySize, a.code.size());
  const std::size_t catchEnd = std::min(tryEnd + catchSize, a.code.size());
  const std::size_t finallyEnd = std::min(catchEnd + finallySize, a.code.size());
  a.pc = next;
  if (vm.depth >= vm.limits.callDepth) {
    vm.aborted_ = true;  // nested blocks count as calls: the native stack is finite
    return Flow::Abort;
  }
  ++vm.depth;
  Flow flow = Run(a, next, tryEnd);
  // Leaving a block by a jump to the start of finally (compilers do that
  // to skip the catch) is the normal way out, not a jump past the finally.
  const auto inside = [&](std::size_t from) { return a.pc >= from && a.pc <= catchEnd; };
  std::size_t after = inside(next) ? finallyEnd : a.pc;
  if (flow == Flow::Throw && (flags & 0x01)) {
    const Value error = vm.thrown;
    vm.thrown = {};
    vm.throwing = false;
    if (flags & 0x04) {
      if (catchRegister < a.registers.size()) a.registers[catchRegister] = error;
    } else {
      SetVariable(a, catchName, error);
    }
    a.pc = tryEnd;
    flow = Run(a, tryEnd, catchEnd);
    after = inside(tryEnd) ? finallyEnd : a.pc;
  }
  if ((flags & 0x02) && flow != Flow::Abort) {
    const Value pendingThrow = vm.thrown;
    const bool wasThrowing = vm.throwing;
    const Value pendingResult = a.result;
    vm.throwing = false;
    a.pc = catchEnd;
    const Flow f = Run(a, catchEnd, finallyEnd);
    if (f != Flow::Normal) {
      --vm.depth;
      return f;
    }
    vm.thrown = pendingThrow;
    vm.throwing = wasThrowing;
    a.result = pendingResult;
    if (a.pc < catchEnd || a.pc > finallyEnd) after = a.pc;
  }
  a.pc = after;
  --vm.depth;
  return flow;
}

Flow Step(Activation& a, uint8_t op, Payload& p, std::size_t next);

// Whether the clip of a frame or event block has left the stage since the
// block began.
bool ClipLeftStage(Activation& a) {
  a.removalsSeen = a.vm.ctx.removals;
  if (!a.watchClip) return false;
  auto clip = a.liveClip.lock();
  return !clip || clip->Removed();
}

Flow Run(Activation& a, std::size_t begin, std::size_t end) {
  Vm& vm = a.vm;
  while (a.pc >= begin && a.pc < end) {
    if (++vm.steps > vm.limits.stepsPerFrame || vm.aborted_) {
      vm.aborted_ = true;
      return Flow::Abort;
    }
    const uint8_t op = a.code[a.pc];
    std::size_t next = a.pc + 1;
    Payload p;
    if (op >= 0x80) {
      if (next + 2 > a.code.size()) return Flow::Normal;
      const std::size_t len = a.code[next] | a.code[next + 1] << 8;
      next += 2;
      if (next + len > a.code.size()) return Flow::Normal;
      p.data = a.code.subspan(next, len);
      next += len;
    }
    if (op == 0) {
      a.pc = a.code.size();
      return Flow::Normal;
    }
    a.pc = next;
    const Flow f = Step(a, op, p, next);
    if (f != Flow::Normal) return f;
    if (vm.ctx.removals != a.removalsSeen && ClipLeftStage(a)) {
      a.pc = a.code.size();
      return Flow::Normal;
    }
    if (vm.throwing) return Flow::Throw;  // from a function called by this action
  }
  return Flow::Normal;
}

double Num(Activation& a, const Value& v) { return a.vm.ToNumber(v); }

// Every frame of a movie is loaded at once, so WaitForFrame only waits for a
// frame (0-based) past the most a timeline can hold.
constexpr int32_t kMaxLoadedFrame = 16000;

// WaitForFrame2's frame: a 1-based number written in digits (wrapping at 32
// bits); anything else names a label or nothing, which counts as loaded.
bool FrameLoaded(Vm& vm, const Value& v) {
  const std::string s = vm.ToString(v);
  if (s.empty() || s.size() > 32 ||
      !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return true;
  uint32_t n = 0;
  for (char c : s) n = n * 10 + static_cast<uint32_t>(c - '0');
  return static_cast<int32_t>(n - 1) <= kMaxLoadedFrame;
}

// A branch before the block's start leaves the block: the bytes there are
// not this block's code (another tag's, or none), so nothing of them runs.
std::size_t JumpTarget(const Activation& a, std::size_t next, int16_t offset) {
  const int64_t to = static_cast<int64_t>(next) + offset;
  return to < 0 ? a.code.size() : static_cast<std::size_t>(to);
}

// Steps over the next count actions (WaitForFrame's skip).
void SkipActions(Activation& a, int count) {
  for (int i = 0; i < count && a.pc < a.code.size(); ++i) {
    std::size_t next = a.pc + 1;
    if (a.code[a.pc] >= 0x80) {
      if (next + 2 > a.code.size()) {
        a.pc = a.code.size();
        return;
      }
      next += 2 + (a.code[next] | a.code[next + 1] << 8);
    }
    a.pc = next;
  }
}

// Pops the operands of a binary operator and converts them left first, so
// that valueOf calls happen in source order.
struct Operands {
  double x, y;
};
Operands PopNumbers(Activation& a) {
  const Value rhs = a.Pop();
  const Value lhs = a.Pop();
  const double x = Num(a, lhs);
  return {x, Num(a, rhs)};
}

namespace {
// What Add2 adds for a value: a clip stays itself (its valueOf is not
// asked); from version 6 a Date gives what its toString returns (an object
// back means the Date itself); anything else gives its valueOf.
Value AddOperand(Activation& a, const Value& v) {
  Vm& vm = a.vm;
  if (!v.IsObject()) return v;
  if (v.object->IsClip()) return v;
  if (auto* box = dynamic_cast<BoxObject*>(v.object); box && box->isDate && a.version >= 6) {
    const Value fn = vm.Get(v.object, "toString");
    if (!fn.IsObject() || !fn.object->IsFunction()) return {};
    const Value r = vm.Call(fn, v, {});
    return r.IsObject() ? v : r;
  }
  return vm.ToPrimitive(v);
}
}  // namespace

Flow Step(Activation& a, uint8_t op, Payload& p, std::size_t next) {
  Vm& vm = a.vm;
  switch (op) {
    case 0x04:  // NextFrame
      ClipStep(TimelineTarget(a), 1);
      break;
    case 0x05:  // PrevFrame
      ClipStep(TimelineTarget(a), -1);
      break;
    case 0x06:  // Play
      ClipSetPlaying(TimelineTarget(a), true);
      break;
    case 0x07:  // Stop
      ClipSetPlaying(TimelineTarget(a), false);
      break;
    case 0x08:  // ToggleQuality
      break;
    case 0x09:  // StopSounds
      if (a.vm.ctx.sound) a.vm.ctx.sound->StopAll();
      break;
    case 0x0A: {  // Add
      const auto [x, b] = PopNumbers(a);
      a.Push(Value::Num(x + b));
      break;
    }
    case 0x0B: {  // Subtract: the right side is converted first
      const double b = Num(a, a.Pop());
      const double x = Num(a, a.Pop());
      a.Push(Value::Num(x - b));
      break;
    }
    case 0x0C: {
      const auto [x, b] = PopNumbers(a);
      a.Push(Value::Num(x * b));
      break;
    }
    case 0x0D: {  // Divide: the right side is converted first
      const double b = Num(a, a.Pop());
      const double x = Num(a, a.Pop());
      if (b == 0 && a.version < 5) {
        a.Push(Value::Str("#ERROR#"));
      } else {
        a.Push(Value::Num(x / b));
      }
      break;
    }
    case 0x0E: {  // Equals (numeric): unlike the others, converts the right side first
      const double b = Num(a, a.Pop());
      const double x = Num(a, a.Pop());
      a.Push(Value::Bool(x == b));
      break;
    }
    case 0x0F: {  // Less (numeric)
      const auto [x, b] = PopNumbers(a);
      a.Push(Value::Bool(x < b));
      break;
    }
    case 0x10: {  // And
      const bool b = vm.ToBoolean(a.Pop());
      const bool x = vm.ToBoolean(a.Pop());
      a.Push(Value::Bool(x && b));
      break;
    }
    case 0x11: {  // Or
      const bool b = vm.ToBoolean(a.Pop());
      const bool x = vm.ToBoolean(a.Pop());
      a.Push(Value::Bool(x || b));
      break;
    }
    case 0x12: {  // Not
      // SWF 4 code tests the number: an object (a clip) gives NaN, so false.
      const Value v = a.Pop();
      a.Push(Value::Bool(a.version < 5 && v.IsObject() ? true : !vm.ToBoolean(v)));
      break;
    }
    case 0x13: {  // StringEquals
      const std::string b = vm.ToString(a.Pop());
      a.Push(Value::Bool(vm.ToString(a.Pop()) == b));
      break;
    }
    case 0x14:  // StringLength
    case 0x31: {
      const std::string s = vm.ToString(a.Pop());
      const bool units = a.version >= 6;
      a.Push(Value::Num(static_cast<double>(units ? UnitCount(s) : s.size())));
      break;
    }
    case 0x15:    // StringExtract
    case 0x35: {  // MBStringExtract
      const double count = Num(a, a.Pop());
      const double index = Num(a, a.Pop());
      const std::string text = vm.ToString(a.Pop());
      // From version 6 positions count characters.
      const bool units = a.version >= 6;
      std::u16string s;
      if (units) {
        s = ToUnits(text);
      } else {
        s.assign(text.begin(), text.end());
      }
      const double from = std::isnan(index) ? 0 : std::max(index - 1, 0.0);
      if (from >= static_cast<double>(s.size()) || count == 0) {
        a.Push(Value::Str(""));
        break;
      }
      const std::size_t f = static_cast<std::size_t>(from);
      const std::size_t n = count < 0 || std::isnan(count)
                                ? std::u16string::npos
                                : static_cast<std::size_t>(std::min(count, 1e9));
      a.Push(
          Value::Str(units ? FromUnits(std::u16string_view(s).substr(f, n)) : text.substr(f, n)));
      break;
    }
    case 0x17:  // Pop
      a.Pop();
      break;
    case 0x18: {  // ToInteger
      const double n = Num(a, a.Pop());
      a.Push(Value::Num(ToInt32(n)));  // wraps like a 32-bit integer
      break;
    }
    case 0x1C: {  // GetVariable
      const std::string name = vm.ToString(a.Pop());
      a.Push(GetVariable(a, name));
      break;
    }
    case 0x1D: {  // SetVariable
      Value v = a.Pop();
      SetVariable(a, vm.ToString(a.Pop()), v);
      break;
    }
    case 0x20:  // SetTarget2
      SetTargetClip(a, TellTargetOf(a, a.Pop()));
      break;
    case 0x21: {  // StringAdd
      const std::string b = TextOf(a, a.Pop());
      std::string s = TextOf(a, a.Pop()) + b;
      if (s.size() > vm.limits.maxElements) s.resize(vm.limits.maxElements);
      if (!vm.Charge(s.size())) return Flow::Abort;
      a.Push(Value::Str(std::move(s)));
      break;
    }
    case 0x22: {  // GetProperty
      const double n = Num(a, a.Pop());
      const int index = std::isnan(n) ? -1 : ClampToInt(n);
      ClipObject* clip = TargetOf(a, a.Pop());
      a.Push(clip ? clip->GetIndexed(vm, index) : Value{});
      break;
    }
    case 0x23: {  // SetProperty
      const Value v = a.Pop();
      const double n = Num(a, a.Pop());
      const int index = std::isnan(n) ? -1 : ClampToInt(n);
      if (ClipObject* clip = TargetOf(a, a.Pop())) {
        clip->SetIndexed(vm, index, v);
      } else {
        ConvertPropertyValue(vm, index, v);
      }
      break;
    }
    case 0x24: {  // CloneSprite
      const double depth = Num(a, a.Pop());
      const std::string name = vm.ToString(a.Pop());
      const Value target = a.Pop();
      if (EditText* field = target.IsObject() ? AsField(target.object) : nullptr) {
        DuplicateTextField(vm, *field, name, depth - 16384);
      } else if (ClipObject* src = TargetOf(a, target)) {
        ClipDuplicate(vm, src, name, depth - 16384);
      }
      break;
    }
    case 0x25:  // RemoveSprite
      if (ClipObject* clip = TargetOf(a, a.Pop())) ClipRemove(vm, clip);
      break;
    case 0x26: {  // Trace
      const Value v = a.Pop();
      if (vm.traceSink) vm.traceSink(v.IsUndefined() ? "undefined" : TextOf(a, v));
      break;
    }
    case 0x27: {  // StartDrag
      ClipObject* clip = TargetOf(a, a.Pop());
      // Objects count by their valueOf here.
      const auto flag = [&](const Value& v) {
        if (!v.IsObject()) return vm.ToBoolean(v);
        const double n = Num(a, v);
        return n != 0 && !std::isnan(n);
      };
      const bool lock = flag(a.Pop());
      const bool constrain = flag(a.Pop());
      double bounds[4];
      if (constrain) {
        for (int i = 3; i >= 0; --i) bounds[i] = Num(a, a.Pop());
      }
      if (clip) ClipStartDrag(vm, clip, lock, constrain ? bounds : nullptr);
      break;
    }
    case 0x28:  // EndDrag
      ClipStopDrag(vm);
      break;
    case 0x29: {  // StringLess
      const std::string b = vm.ToString(a.Pop());
      a.Push(Value::Bool(vm.ToString(a.Pop()) < b));
      break;
    }
    case 0x68: {  // StringGreater
      const std::string b = vm.ToString(a.Pop());
      a.Push(Value::Bool(vm.ToString(a.Pop()) > b));
      break;
    }
    case 0x2A:  // Throw
      vm.thrown = a.Pop();
      vm.throwing = true;
      return Flow::Throw;
    case 0x2B: {  // CastOp
      const Value obj = a.Pop();
      const Value ctor = a.Pop();
      if (!obj.IsObject()) {
        if (!obj.IsNullish()) vm.ToObject(obj);  // wrapped, and still no instance
        a.Push(Value::Null());
      } else {
        a.Push(IsInstance(vm, obj, ctor) ? obj : Value::Null());
      }
      break;
    }
    case 0x2C: {  // ImplementsOp
      const Value ctor = a.Pop();
      std::vector<Value> ifaces = PopArgs(a);
      if (ctor.IsObject()) {
        const Value proto = vm.Get(ctor.object, "prototype");
        if (proto.IsObject()) {
          for (const Value& i : ifaces) {
            if (i.IsObject()) proto.object->interfaces.push_back(i.object);
          }
        }
      }
      break;
    }
    case 0x30: {  // RandomNumber
      const double max = Num(a, a.Pop());
      a.Push(Value::Num(max > 0 ? std::floor(vm.Random() * std::floor(max)) : 0));
      break;
    }
    case 0x32:  // CharToAscii
    case 0x36: {
      const std::string s = vm.ToString(a.Pop());
      if (a.version >= 6) {
        const std::u16string u = ToUnits(s);
        a.Push(Value::Num(u.empty() ? 0 : u[0]));
      } else {
        a.Push(s.empty() ? Value::Num(0) : Value::Num(static_cast<uint8_t>(s[0])));
      }
      break;
    }
    case 0x33:  // AsciiToChar
    case 0x37: {
      // From version 6 the code is a character.
      const bool units = a.version >= 6;
      const int c = ToInt32(Num(a, a.Pop())) & (units ? 0xFFFF : 0xFF);
      std::string out;
      if (c != 0 && units) AppendUtf8(out, static_cast<uint32_t>(c));
      if (c != 0 && !units) out = std::string(1, static_cast<char>(c));
      a.Push(Value::Str(std::move(out)));
      break;
    }
    case 0x34:  // GetTime
      a.Push(Value::Num(std::floor(vm.timeMs)));
      break;
    case 0x3A: {  // Delete
      const std::string name = vm.ToString(a.Pop());
      // With no object under the name, SWF 7 deletes nothing; older
      // versions delete the name as a variable.
      if (!a.stack.empty() || a.version >= 7) {
        const Value obj = a.Pop();
        a.Push(Value::Bool(obj.IsObject() && obj.object->DeleteOwn(vm, name)));
        break;
      }
      a.Push(Value::Str(name));
      [[fallthrough]];
    }
    case 0x3B: {  // Delete2
      const std::string name = vm.ToString(a.Pop());
      bool done = false;
      // A dot (or colon) path deletes the last member of the object the
      // rest names.
      if (const std::size_t dot = name.find_last_of(".:"); dot != std::string::npos && dot > 0 &&
                                                           HasPathChars(name) &&
                                                           name.find('/') == std::string::npos) {
        std::string ownerPath = name.substr(0, dot);
        std::replace(ownerPath.begin(), ownerPath.end(), ':', '.');
        const Value owner = GetVariable(a, ownerPath);
        // The player logs a primitive owner, which it no longer boxes.
        const Type t = owner.type;
        if ((t == Type::String || t == Type::Number || t == Type::Boolean) && vm.traceSink)
          vm.traceSink(
              "Parameters of primitive types are no longer coerced into the required type - "
              "Object.");
        a.Push(Value::Bool(owner.IsObject() && owner.object->DeleteOwn(vm, name.substr(dot + 1))));
        break;
      }
      for (std::size_t i = a.scope.size(); i-- > 0 && !done;) {
        if (a.scope[i] && a.scope[i]->HasOwn(vm, name)) {
          // A function's local variables stay.
          done = a.scope[i] != a.locals && a.scope[i]->DeleteOwn(vm, name);
          break;  // a protected variable hides the ones further out
        }
      }
      a.Push(Value::Bool(done));
      break;
    }
    case 0x3C: {  // DefineLocal
      Value v = a.Pop();
      const std::string name = vm.ToString(a.Pop());
      // Outside functions a variable path names where the variable goes;
      // inside, the name is kept as it is.
      if (!a.locals && HasPathChars(name)) {
        SetVariable(a, name, v);
        break;
      }
      vm.Set(a.locals ? a.locals : static_cast<Object*>(TimelineTarget(a)), name, v);
      break;
    }
    case 0x41: {  // DefineLocal2
      const std::string name = vm.ToString(a.Pop());
      if (!a.locals && HasPathChars(name)) {
        if (GetVariable(a, name).IsUndefined()) SetVariable(a, name, Value{});
        break;
      }
      Object* l = a.locals ? a.locals : static_cast<Object*>(TimelineTarget(a));
      if (l && !l->HasOwn(vm, name)) vm.Set(l, name, Value{});
      break;
    }
    case 0x3D: {  // CallFunction
      const std::string name = vm.ToString(a.Pop());
      std::vector<Value> args = PopArgs(a);
      const Value fn = GetVariable(a, name);
      vm.callHome = nullptr;
      // super() runs the base class's constructor on this.
      const bool isSuper = fn.IsObject() && dynamic_cast<SuperObject*>(fn.object);
      Value r = isSuper ? CallMethodValue(a, fn, Value{}, args)
                        : vm.Call(fn, Value::Obj(CallFunctionThis(a, name)), args);
      a.TakeLeftovers();
      a.Push(std::move(r));
      break;
    }
    case 0x3E:  // Return
      a.result = a.Pop();
      return Flow::Return;
    case 0x3F: {  // Modulo
      const auto [x, b] = PopNumbers(a);
      a.Push(Value::Num(std::fmod(x, b)));
      break;
    }
    case 0x40: {  // NewObject
      const std::string name = vm.ToString(a.Pop());
      std::vector<Value> args = PopArgs(a);
      const Value ctor = GetVariable(a, name);
      vm.callHome = ctor.IsObject() ? vm.Get(ctor.object, "prototype").object : nullptr;
      Value r = vm.Construct(ctor.object, args);
      a.TakeLeftovers();
      a.Push(std::move(r));
      break;
    }
    case 0x53: {  // NewMethod
      const Value nameV = a.Pop();
      const Value obj = a.Pop();
      std::vector<Value> args = PopArgs(a);
      const bool noName =
          nameV.IsUndefined() || (nameV.type == Type::String && nameV.string.empty());
      const Value ctor = noName ? ObjectOf(vm, obj) : vm.GetMember(obj, vm.ToString(nameV));
      vm.callHome = ctor.IsObject() ? vm.Get(ctor.object, "prototype").object : nullptr;
      Value r = vm.Construct(ctor.object, args);
      a.TakeLeftovers();
      a.Push(std::move(r));
      break;
    }
    case 0x42: {  // InitArray
      // A count beyond the values on the stack makes nothing and takes
      // nothing but itself.
      const double n = Num(a, a.Pop());
      if (n > static_cast<double>(a.stack.size())) {
        a.Push({});
        break;
      }
      a.Push(Value::Num(n));
      std::vector<Value> elems = PopArgs(a);
      if (!vm.Charge(elems.size() * sizeof(Value))) return Flow::Abort;
      a.Push(Value::Obj(vm.NewArray(std::move(elems))));
      break;
    }
    case 0x43: {  // InitObject
      const double n = Num(a, a.Pop());
      if (n > static_cast<double>(a.stack.size() / 2)) {
        a.Push({});
        break;
      }
      Object* obj = vm.NewObject();
      const std::size_t count = n > 0 ? static_cast<std::size_t>(std::min(n, 1e6)) : 0;
      for (std::size_t i = 0; i < count && a.stack.size() >= 2; ++i) {
        Value v = a.Pop();
        vm.Set(obj, vm.ToString(a.Pop()), v);
      }
      a.Push(Value::Obj(obj));
      break;
    }
    case 0x44:  // TypeOf
      a.Push(Value::Str(vm.TypeOf(a.Pop())));
      break;
    case 0x45: {  // TargetPath
      const Value v = a.Pop();
      if (v.IsObject() && v.object->IsClip()) {
        a.Push(Value::Str(static_cast<ClipObject*>(v.object)->Path(vm)));
      } else {
        a.Push({});
      }
      break;
    }
    case 0x46: {  // Enumerate
      const std::string name = vm.ToString(a.Pop());
      Enumerate(a, GetVariable(a, name));
      break;
    }
    case 0x55:  // Enumerate2
      Enumerate(a, a.Pop());
      break;
    case 0x47: {  // Add2
      // valueOf runs on the right side first. An object whose valueOf gives
      // an object is turned to text or a number from the object itself.
      const Value rhs = a.Pop();
      const Value lhs = a.Pop();
      const Value pb = AddOperand(a, rhs);
      const Value pa = AddOperand(a, lhs);
      if (pa.type == Type::String || pb.type == Type::String) {
        std::string s = TextOf(a, pa.IsObject() ? lhs : pa);
        s += TextOf(a, pb.IsObject() ? rhs : pb);
        if (s.size() > vm.limits.maxElements) s.resize(vm.limits.maxElements);
        if (!vm.Charge(s.size())) return Flow::Abort;
        a.Push(Value::Str(std::move(s)));
      } else {
        const double x = vm.ToNumber(pa.IsObject() ? lhs : pa);
        a.Push(Value::Num(x + vm.ToNumber(pb.IsObject() ? rhs : pb)));
      }
      break;
    }
    case 0x48: {  // Less2
      const Value b = a.Pop();
      a.Push(vm.Less(a.Pop(), b));
      break;
    }
    case 0x67: {  // Greater
      const Value b = a.Pop();
      a.Push(vm.Less(b, a.Pop()));
      break;
    }
    case 0x49: {  // Equals2
      const Value b = a.Pop();
      a.Push(Value::Bool(vm.LooseEquals(a.Pop(), b)));
      break;
    }
    case 0x66: {  // StrictEquals
      const Value b = a.Pop();
      a.Push(Value::Bool(vm.StrictEquals(a.Pop(), b)));
      break;
    }
    case 0x4A:  // ToNumber
      a.Push(Value::Num(Num(a, a.Pop())));
      break;
    case 0x4B:  // ToString
      a.Push(Value::Str(vm.ToString(a.Pop())));
      break;
    case 0x4C:  // PushDuplicate
      a.Push(a.stack.empty() ? Value{} : a.stack.back());
      break;
    case 0x4D:  // StackSwap
    {
      // With one value, the missing one below is undefined and comes up.
      Value top = a.Pop();
      Value below = a.Pop();
      a.Push(std::move(top));
      a.Push(std::move(below));
    } break;
    case 0x4E: {  // GetMember
      const Value name = a.Pop();
      const Value obj = a.Pop();
      const std::string key = vm.ToString(name);
      // super reads from whatever its home's prototype is now, and has no
      // prototype of its own: its __proto__ is read from there too.
      auto* sup = obj.IsObject() ? dynamic_cast<SuperObject*>(obj.object) : nullptr;
      if (sup) sup->proto = sup->home->proto;
      if (sup && sup->proto && key == "__proto__") {
        a.Push(vm.Get(sup->proto, key));
        break;
      }
      a.Push(vm.GetMember(obj, key));
      break;
    }
    case 0x4F: {  // SetMember
      const Value v = a.Pop();
      const std::string name = vm.ToString(a.Pop());
      vm.SetMember(a.Pop(), name, v);
      break;
    }
    case 0x50:
      a.Push(Value::Num(Num(a, a.Pop()) + 1));
      break;
    case 0x51:
      a.Push(Value::Num(Num(a, a.Pop()) - 1));
      break;
    case 0x52: {  // CallMethod
      const Value name = a.Pop();
      const Value obj = a.Pop();
      std::vector<Value> args = PopArgs(a);
      Value r = CallMethodValue(a, obj, name, args);
      a.TakeLeftovers();
      a.Push(std::move(r));
      break;
    }
    case 0x54: {  // InstanceOf
      const Value ctor = a.Pop();
      const Value obj = a.Pop();
      a.Push(Value::Bool(IsInstance(vm, obj, ctor)));
      break;
    }
    case 0x60:
    case 0x61:
    case 0x62:
    case 0x63:
    case 0x64:
    case 0x65: {
      const auto [xn, bn] = PopNumbers(a);
      const int32_t x = ToInt32(xn), b = ToInt32(bn);
      double r = 0;
      switch (op) {
        case 0x60:
          r = x & b;
          break;
        case 0x61:
          r = x | b;
          break;
        case 0x62:
          r = x ^ b;
          break;
        case 0x63:
          r = static_cast<int32_t>(static_cast<uint32_t>(x) << (b & 31));
          break;
        case 0x64:
          r = x >> (b & 31);
          break;
        default:
          r = static_cast<int32_t>(static_cast<uint32_t>(x) >> (b & 31));
          break;
      }
      a.Push(Value::Num(r));
      break;
    }
    case 0x69: {  // Extends
      const Value super = a.Pop();
      const Value sub = a.Pop();
      if (sub.IsObject() && super.IsObject()) {
        Object* proto = vm.NewObject();
        proto->proto = vm.Get(super.object, "prototype").object;
        // SWF 5 links no constructor here (a `new` does).
        if (a.version >= 6) proto->Define(vm, "__constructor__", super, kDontEnum);
        vm.Set(sub.object, "prototype", Value::Obj(proto));
      }
      break;
    }
    case 0x81:  // GotoFrame
      ClipGotoFrame(TimelineTarget(a), p.U16(), false);
      break;
    case 0x83: {  // GetURL
      const std::string url = p.String();
      const std::string target = p.String();
      GetUrl(vm, a.target, url, target, 0);
      break;
    }
    case 0x9A: {  // GetURL2
      const uint8_t flags = p.U8();
      const Value targetV = a.Pop();
      const bool clip = targetV.IsObject() && targetV.object->IsClip();
      // The target is turned to text before the URL.
      const std::string target =
          clip ? static_cast<ClipObject*>(targetV.object)->Path(vm) : vm.ToString(targetV);
      const std::string url = vm.ToString(a.Pop());
      GetUrl(vm, a.target, url, target, flags);
      break;
    }
    case 0x87: {  // StoreRegister
      const uint8_t r = p.U8();
      if (r < a.registers.size()) a.registers[r] = a.stack.empty() ? Value{} : a.stack.back();
      break;
    }
    case 0x88: {  // ConstantPool
      auto pool = std::make_shared<std::vector<std::string>>();
      const uint16_t count = p.U16();
      for (uint16_t i = 0; i < count && !p.failed; ++i) pool->push_back(p.String());
      a.constants = std::move(pool);
      break;
    }
    case 0x8A: {  // WaitForFrame
      const uint16_t frame = p.U16();
      const uint8_t skip = p.U8();
      if (frame > kMaxLoadedFrame) SkipActions(a, skip);
      break;
    }
    case 0x8D: {  // WaitForFrame2
      const uint8_t skip = p.U8();
      if (!FrameLoaded(vm, a.Pop())) SkipActions(a, skip);
      break;
    }
    case 0x8B: {  // SetTarget
      const std::string path = p.String();
      SetTargetClip(a, TellTargetOf(a, Value::Str(path)));
      break;
    }
    case 0x8C: {  // GotoLabel
      ClipGotoLabel(TimelineTarget(a), p.String());
      break;
    }
    case 0x9F: {  // GotoFrame2
      const uint8_t flags = p.U8();
      const int bias = (flags & 0x02) ? p.U16() : 0;
      ClipGotoValue(vm, TimelineTarget(a), FrameValue(a, a.Pop()), flags & 0x01, bias);
      break;
    }
    case 0x9E:  // Call
      ClipCallFrame(vm, TimelineTarget(a), FrameValue(a, a.Pop()));
      a.TakeLeftovers();
      break;
    case 0x8E:    // DefineFunction2
    case 0x9B: {  // DefineFunction
      std::string name;
      FunctionObject* f = DefineFunction(a, p, op == 0x8E, next, name);
      if (!f) break;
      if (name.empty()) {
        a.Push(Value::Obj(f));
      } else if (!a.locals && HasPathChars(name)) {
        SetVariable(a, name, Value::Obj(f));
      } else {
        vm.Set(a.locals ? a.locals : static_cast<Object*>(TimelineTarget(a)), name, Value::Obj(f));
      }
      break;
    }
    case 0x8F:  // Try
      return RunTry(a, p, next);
    case 0x94: {  // With
      const uint16_t size = p.U16();
      const Value obj = a.Pop();
      const std::size_t end = std::min(next + size, a.code.size());
      Object* o = obj.IsObject() ? obj.object : vm.ToObject(obj);
      if (!o || a.scope.size() >= 15 || vm.depth >= vm.limits.callDepth) {
        a.pc = end;
        break;
      }
      a.scope.push_back(o);
      ++a.withs;
      ++vm.depth;
      const Flow f = Run(a, next, end);
      --vm.depth;
      --a.withs;
      a.scope.pop_back();
      if (f != Flow::Normal) return f;
      if (a.pc >= next && a.pc <= end) a.pc = end;
      break;
    }
    case 0x96:
      DoPush(a, p);
      break;
    case 0x99: {  // Jump
      const int16_t offset = static_cast<int16_t>(p.U16());
      a.pc = JumpTarget(a, next, offset);
      break;
    }
    case 0x9D: {  // If
      const int16_t offset = static_cast<int16_t>(p.U16());
      if (vm.ToBoolean(a.Pop())) a.pc = JumpTarget(a, next, offset);
      break;
    }
    default:
      break;  // unknown actions are skipped by their length
  }
  return Flow::Normal;
}

// The version of the movie a clip's code comes from: a movie loaded into a
// clip keeps its own.
int CodeVersion(Vm& vm, ClipObject* clip) {
  const auto t = clip ? clip->Instance() : nullptr;
  const int v = t ? t->GetMovie().header.version : 0;
  return v > 0 ? v : vm.version;
}

}  // namespace

void RunTopLevel(Vm& vm, std::span<const uint8_t> code, ClipObject* clip) {
  Activation a(vm);
  a.code = code;
  a.version = CodeVersion(vm, clip);
  a.scope = {vm.global, clip};
  a.clipSlot = 1;
  a.base = a.target = clip;
  a.self = Value::Obj(clip);
  a.locals = nullptr;
  a.registers.resize(4);
  if (vm.depth >= vm.limits.callDepth) {
    vm.aborted_ = true;
    return;
  }
  a.stack = std::exchange(vm.leftovers, {});
  a.constants = vm.lastPool;
  a.removalsSeen = vm.ctx.removals;
  // A button's state sprites go with the button and do not stop.
  auto t = clip ? clip->Instance() : nullptr;
  auto parent = t ? t->Parent() : nullptr;
  if (t && !t->Removed() && !(parent && parent->Button())) {
    a.liveClip = t;
    a.watchClip = true;
  }
  ++vm.depth;
  ClipObject* const outerTarget = vm.currentTarget;
  vm.currentTarget = clip;
  // The rules are those of the code's own movie, even in a movie loaded into
  // one of another version.
  const int outerVersion = std::exchange(vm.version, a.version);
  const Flow f = Run(a, 0, code.size());
  vm.version = outerVersion;
  vm.currentTarget = outerTarget;
  --vm.depth;
  vm.lastPool = a.constants;
  if (f != Flow::Abort) a.LeaveStack();
  if (f == Flow::Throw) {
    vm.thrown = {};
    vm.throwing = false;
  }
}

Value CallScript(Vm& vm, FunctionObject* fn, const Value& self, Args args) {
  const FunctionCode& code = *fn->code;
  Object* home = vm.callHome;
  vm.callHome = nullptr;
  Activation a(vm);
  a.code = code.body;
  a.scope = fn->scope;
  Object* locals = vm.NewObject();
  locals->proto = nullptr;
  a.scope.push_back(locals);
  a.locals = locals;
  a.base = static_cast<ClipObject*>(fn->clip);
  if (code.version < 6 && vm.currentTarget) {
    // Functions of SWF 5 and older keep no closure: they see the timeline
    // that calls them, or the clip they are called on.
    const bool onClip = self.IsObject() && self.object->IsClip();
    a.base = onClip ? static_cast<ClipObject*>(self.object) : vm.currentTarget;
    a.scope = {vm.global, a.base, locals};
  }
  a.target = a.base;
  a.self = self.type == Type::Null ? Value::Obj(a.base) : self;  // undefined stays
  a.constants = code.constants;
  a.version = code.version;
  a.callee = fn;
  a.home = home;
  if (code.v2) {
    // A preloaded `this` is not found by name either: the name falls
    // through the scope chain to the timeline.
    a.suppressThis = (code.flags & (kSuppressThis | kPreloadThis)) != 0;
    a.registers.resize(std::max<std::size_t>(code.registerCount, 1));
    std::size_t r = 1;
    const auto preload = [&](const Value& v) {
      if (r < a.registers.size()) a.registers[r] = v;
      ++r;
    };
    // Suppressing this or super still takes their register, left empty;
    // arguments is loaded even when also suppressed.
    if (code.flags & kPreloadThis) preload((code.flags & kSuppressThis) ? Value{} : a.self);
    if (code.flags & kPreloadArguments) preload(Value::Obj(MakeArguments(vm, args, fn)));
    if (code.flags & kPreloadSuper) {
      preload((code.flags & kSuppressSuper) ? Value{} : Value::Obj(MakeSuper(vm, a.self, home)));
    }
    if (code.flags & kPreloadRoot) preload(Value::Obj(vm.RootOf(a.base)));
    if (code.flags & kPreloadParent) {
      // The root has no parent, and then no register is used.
      Object* parent = a.base ? a.base->Parent(vm) : nullptr;
      if (parent) preload(Value::Obj(parent));
    }
    if (code.flags & kPreloadGlobal) preload(Value::Obj(vm.global));
    if (!(code.flags & (kSuppressArguments | kPreloadArguments)))
      locals->Define(vm, "arguments", Value::Obj(MakeArguments(vm, args, fn)));
    if (!(code.flags & (kSuppressSuper | kPreloadSuper)) && home)
      locals->Define(vm, "super", Value::Obj(MakeSuper(vm, a.self, home)));
  } else {
    a.registers.resize(4);
    locals->Define(vm, "arguments", Value::Obj(MakeArguments(vm, args, fn)));
    // SWF 5 knows no super.
    if (home && code.version >= 6)
      locals->Define(vm, "super", Value::Obj(MakeSuper(vm, a.self, home)));
  }
  for (std::size_t i = 0; i < code.params.size(); ++i) {
    const Value v = i < args.size() ? args[i] : Value{};
    const uint8_t reg = code.paramRegisters[i];
    if (reg != 0 && reg < a.registers.size()) {
      a.registers[reg] = v;
    } else {
      locals->Define(vm, code.params[i], v);
    }
  }
  ClipObject* const outerTarget = vm.currentTarget;
  vm.currentTarget = a.target;
  const int outerVersion = std::exchange(vm.version, a.version);
  const Flow f = Run(a, 0, a.code.size());
  vm.version = outerVersion;
  vm.currentTarget = outerTarget;
  if (f != Flow::Abort) a.LeaveStack();
  if (f == Flow::Return) return a.result;
  return {};
}

}  // namespace orrivel::swf::avm1
