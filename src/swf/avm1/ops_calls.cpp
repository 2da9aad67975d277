// Calls, construction and definitions: functions, objects, arrays, classes.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/display_host.h"
#include "swf/avm1/interpreter_internal.h"

namespace orrivel::swf::avm1 {

Object* MakeArguments(Vm& vm, Args args, FunctionObject* callee, FunctionObject* caller) {
  ArrayObject* arr = vm.NewArray(std::vector<Value>(args.begin(), args.end()));
  // Made as by `new Array`: it names its class, and the function that called.
  if (const Property* c = vm.arrayProto ? vm.arrayProto->FindProperty(vm, "constructor") : nullptr)
    arr->Define(vm, "constructor", c->value, kDontEnum);
  arr->Define(vm, "callee", Value::Obj(callee), kDontEnum);
  arr->Define(vm, "caller", caller ? Value::Obj(caller) : Value::Null(), kDontEnum);
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
// inherited nor read through a getter. A removed clip matches nothing, once
// the class and its prototype are converted.
bool IsInstance(Vm& vm, const Value& obj, const Value& cls) {
  const auto gone = [](Object* o) {
    return o->IsClip() && !static_cast<ClipObject*>(o)->Instance();
  };
  if (!obj.IsObject()) return false;
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
    // The object's chain is still walked: one that loops stops the script.
    int steps = 0;
    for (Object* o = obj.object->proto; o && steps < 256; o = o->proto) ++steps;
    if (steps >= 256) vm.Abort();
    return false;
  }
  // A removed clip still has the class and its prototype converted first.
  if (proto.object->IsClip() || gone(obj.object)) return false;
  return vm.InstanceOf(obj.object, c);
}

namespace {

// A value called or constructed itself: a primitive is wrapped first.
Value ObjectOf(Vm& vm, const Value& v) {
  if (v.IsObject() || v.IsNullish()) return v;
  Object* o = vm.ToObject(v);
  return o ? Value::Obj(o) : Value{};
}

bool NoName(const Value& nameV) {
  return nameV.IsUndefined() || (nameV.type == Type::String && nameV.string.empty());
}

// A method of super: the method's own super is one step up from where it
// was found; before SWF 7, from where this lookup began, wherever the
// method was found. No name runs the base class's constructor on this, read
// from where the method's own super starts.
Value CallSuper(Vm& vm, SuperObject* sup, const Value& nameV, Args args) {
  // A clip as the starting point offers super nothing.
  if (!sup->home || sup->home->IsClip()) return {};
  if (NoName(nameV)) {
    const Value ctor = vm.GetPlain(sup->home, "__constructor__");  // never __resolve
    Object* home = ctor.IsObject() ? vm.Get(ctor.object, "prototype").object : nullptr;
    // A built-in constructor reached so fills in this, as under new.
    const bool native = ctor.IsObject() && ctor.object->IsFunction() &&
                        static_cast<FunctionObject*>(ctor.object)->native;
    return vm.Call(ctor, CallContext{sup->self, home, native}, args);
  }
  const std::string name = vm.ToString(nameV);
  Object* found = sup->home->proto;
  int guard = 0;
  while (vm.version >= 7 && found && !found->HasOwn(vm, name) && guard++ < 256)
    found = found->proto;
  // From SWF 7 the method's super moves one step up from where this lookup
  // began (where the method was found, when it was found one step up).
  Object* home = found;
  if (vm.version >= 7 && found != sup->home->proto && sup->home->proto->proto)
    home = sup->home->proto->proto;
  return vm.Call(vm.Get(sup->home->proto, name), CallContext{sup->self, home}, args);
}

// Calls a value's method, or the value itself when the name is empty.
Value CallMethodValue(Activation& a, const Value& obj, const Value& nameV, Args args) {
  Vm& vm = a.vm;
  if (auto* sup = obj.IsObject() ? dynamic_cast<SuperObject*>(obj.object) : nullptr)
    return CallSuper(vm, sup, nameV, args);
  // A name that reads as empty text, even an object's, calls the value.
  const std::string name = nameV.IsUndefined() ? std::string() : vm.ToString(nameV);
  if (name.empty())
    return vm.Call(ObjectOf(vm, obj), CallContext{{}, nullptr, false, a.version}, args);
  Object* self = obj.IsObject() ? obj.object : vm.ToObject(obj);
  if (!self) return {};
  const Value fn = vm.Get(self, name);
  Object* found = self;
  int guard = 0;
  while (found && !found->HasOwn(vm, name) && guard++ < 256) found = found->proto;
  // Before SWF 7 a method inherited from deeper up still takes super from
  // the object's own prototype.
  // A method of the object's own starts super from its prototype as well.
  Object* home = vm.version < 7 || found == self ? self->proto : found;
  return vm.Call(fn, CallContext{Value::Obj(self), home, false, a.version}, args);
}

bool IsQuit(std::string_view command) {
  return command.size() == 4 &&
         std::equal(command.begin(), command.end(), "quit", [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == y;
         });
}

Flow CallFunction(Activation& a, const Action&) {
  Vm& vm = a.vm;
  const std::string name = vm.ToString(a.Pop());
  std::vector<Value> args = PopArgs(a);
  const Value fn = GetVariable(a, name);
  // Compilers that leave fscommand() a plain call get the command all the
  // same where no such function is defined; a quit so made ends the movie
  // once the frame's scripts have run.
  if (fn.IsUndefined() && name == "fscommand" && !args.empty() && vm.quitMovieAfterFrame &&
      IsQuit(vm.ToString(args[0])))
    vm.quitMovieAfterFrame();
  // super() runs the base class's constructor on this.
  auto* sup = fn.IsObject() ? dynamic_cast<SuperObject*>(fn.object) : nullptr;
  Value r =
      sup ? CallSuper(vm, sup, Value{}, args)
          : vm.Call(fn,
                    CallContext{Value::Obj(CallFunctionThis(a, name)), nullptr, false, a.version},
                    args);
  a.TakeLeftovers();
  if (vm.display) vm.display->CallReturned();
  a.Push(std::move(r));
  return Flow::Normal;
}

Flow CallMethod(Activation& a, const Action&) {
  const Value name = a.Pop();
  const Value obj = a.Pop();
  std::vector<Value> args = PopArgs(a);
  Value r = CallMethodValue(a, obj, name, args);
  a.TakeLeftovers();
  if (a.vm.display) a.vm.display->CallReturned();
  a.Push(std::move(r));
  return Flow::Normal;
}

void Construct(Activation& a, const Value& ctor, Args args) {
  Vm& vm = a.vm;
  Value r = vm.Construct(ctor.object, args);
  a.TakeLeftovers();
  a.Push(std::move(r));
}

Flow NewObject(Activation& a, const Action&) {
  const std::string name = a.vm.ToString(a.Pop());
  std::vector<Value> args = PopArgs(a);
  const Value ctor = GetVariable(a, name);
  // Version 4 has no constructors to find; the player says so.
  if (a.version < 5 && !(ctor.IsObject() && ctor.object->IsFunction()) && a.vm.traceSink)
    a.vm.traceSink("Warning: " + name + " is not a function");
  Construct(a, ctor, args);
  return Flow::Normal;
}

Flow NewMethod(Activation& a, const Action&) {
  Vm& vm = a.vm;
  const Value nameV = a.Pop();
  const Value obj = a.Pop();
  std::vector<Value> args = PopArgs(a);
  Construct(a, NoName(nameV) ? ObjectOf(vm, obj) : vm.GetMember(obj, vm.ToString(nameV)), args);
  return Flow::Normal;
}

Flow DefineFunction(Activation& a, const Action& act) {
  Vm& vm = a.vm;
  // A header cut short defines nothing, and its body runs in line.
  if (act.shortPayload) return Flow::Normal;
  const FunctionHeader& h = act.data->function;
  auto code = std::make_shared<FunctionCode>();
  code->v2 = h.v2;
  code->registerCount = h.registerCount;
  code->flags = h.flags;
  code->params = h.params;
  code->paramRegisters = h.paramRegisters;
  code->body = a.block->Body(act);
  code->name = h.name;
  code->constants = a.constants;
  code->version = std::max(a.version, 5);  // function bodies never run as SWF 4
  FunctionObject* f = vm.NewFunction();
  f->code = std::move(code);
  f->scope = a.scope;
  if (a.clipSlot >= 0) f->scope[static_cast<std::size_t>(a.clipSlot)] = a.base;
  f->clip = a.base;
  a.pc = act.target;
  if (h.name.empty()) {
    a.Push(Value::Obj(f));
  } else if (!a.locals && HasPathChars(h.name)) {
    SetVariable(a, h.name, Value::Obj(f));
  } else {
    vm.Set(a.locals ? a.locals : static_cast<Object*>(TimelineTarget(a)), h.name, Value::Obj(f));
  }
  return Flow::Normal;
}

Flow InitArray(Activation& a, const Action&) {
  // A count beyond the values on the stack makes nothing and takes nothing
  // but itself.
  const double n = Num(a, a.Pop());
  if (n > static_cast<double>(a.stack.size())) {
    a.Push({});
    return Flow::Normal;
  }
  a.Push(Value::Num(n));
  std::vector<Value> elems = PopArgs(a);
  if (!a.vm.Charge(elems.size() * sizeof(Value))) return Flow::Abort;
  a.Push(Value::Obj(a.vm.NewArray(std::move(elems))));
  return Flow::Normal;
}

Flow InitObject(Activation& a, const Action&) {
  Vm& vm = a.vm;
  const double n = Num(a, a.Pop());
  if (n > static_cast<double>(a.stack.size() / 2)) {
    a.Push({});
    return Flow::Normal;
  }
  Object* obj = vm.NewObject();
  const std::size_t count = n > 0 ? static_cast<std::size_t>(std::min(n, 1e6)) : 0;
  for (std::size_t i = 0; i < count && a.stack.size() >= 2; ++i) {
    Value v = a.Pop();
    vm.Set(obj, vm.ToString(a.Pop()), v);
  }
  a.Push(Value::Obj(obj));
  return Flow::Normal;
}

Flow Extends(Activation& a, const Action&) {
  Vm& vm = a.vm;
  const Value super = a.Pop();
  const Value sub = a.Pop();
  if (sub.IsObject() && super.IsObject()) {
    Object* proto = vm.NewObject();
    proto->proto = vm.Get(super.object, "prototype").object;
    // SWF 5 links no constructor here (a `new` does).
    if (a.version >= 6) proto->Define(vm, "__constructor__", super, kDontEnum);
    vm.Set(sub.object, "prototype", Value::Obj(proto));
  }
  return Flow::Normal;
}

Flow InstanceOf(Activation& a, const Action&) {
  const Value ctor = a.Pop();
  const Value obj = a.Pop();
  a.Push(Value::Bool(IsInstance(a.vm, obj, ctor)));
  return Flow::Normal;
}

Flow CastOp(Activation& a, const Action&) {
  const Value obj = a.Pop();
  const Value ctor = a.Pop();
  if (!obj.IsObject()) {
    if (!obj.IsNullish()) a.vm.ToObject(obj);  // wrapped, and still no instance
    a.Push(Value::Null());
  } else {
    a.Push(IsInstance(a.vm, obj, ctor) ? obj : Value::Null());
  }
  return Flow::Normal;
}

Flow ImplementsOp(Activation& a, const Action&) {
  const Value ctor = a.Pop();
  std::vector<Value> ifaces = PopArgs(a);
  if (!ctor.IsObject()) return Flow::Normal;
  const Value proto = a.vm.Get(ctor.object, "prototype");
  if (!proto.IsObject()) return Flow::Normal;
  for (const Value& i : ifaces) {
    if (i.IsObject()) proto.object->interfaces.push_back(i.object);
  }
  return Flow::Normal;
}

}  // namespace

void AddCallOps(OpTable& t) {
  t.Set(Op::CallFunction, CallFunction);
  t.Set(Op::CallMethod, CallMethod);
  t.Set(Op::NewObject, NewObject);
  t.Set(Op::NewMethod, NewMethod);
  t.Set(Op::DefineFunction, DefineFunction);
  t.Set(Op::DefineFunction2, DefineFunction);
  t.Set(Op::InitArray, InitArray);
  t.Set(Op::InitObject, InitObject);
  t.Set(Op::Extends, Extends);
  t.Set(Op::InstanceOf, InstanceOf);
  t.Set(Op::CastOp, CastOp);
  t.Set(Op::ImplementsOp, ImplementsOp);
}

}  // namespace orrivel::swf::avm1
