#include "swf/avm1/host_class.h"

#include "swf/avm1/host_state.h"

namespace orrivel::swf::avm1 {

namespace {

// A getter (and setter, may be null) pair as addProperty makes it.
void AddAccessor(Vm& vm, Object* obj, std::string_view name, Object* get, Object* set,
                 uint16_t flags) {
  obj->Define(vm, name, Value{}, flags);
  Property* p = obj->FindProperty(vm, name);
  p->getter = get;
  p->setter = set;
}

Object* NewFunction(Vm& vm, const Member& m, NativeFn fn) {
  return vm.NewNative(fn, m.ownPrototype ? vm.NewObject() : nullptr);
}

}  // namespace

Object* Package(Vm& vm, std::string_view path) {
  Object* at = vm.global;
  while (!path.empty()) {
    const auto dot = path.find('.');
    const std::string_view part = path.substr(0, dot);
    Property* p = at->FindProperty(vm, part);
    if (!p || !p->value.IsObject()) {
      Object* made = vm.NewObject();
      at->Define(vm, part, Value::Obj(made), kDontEnum);
      at = made;
    } else {
      at = p->value.object;
    }
    path = dot == std::string_view::npos ? std::string_view{} : path.substr(dot + 1);
  }
  return at;
}

void Declare(Vm& vm, Object* obj, Members members) {
  auto* natives = &HostStateOf(vm).natives;
  for (const Member& m : members) {
    // An absent member is still the player's native under its number.
    const bool absent = m.absentBefore && vm.version < m.since;
    if (m.emptyBefore && vm.version < m.since) {
      obj->Define(vm, m.name, Value{}, m.flags);
      continue;
    }
    switch (m.kind) {
      case Member::kMethod: {
        Object* fn = NewFunction(vm, m, m.fn);
        if (m.category >= 0) (*natives)[{m.category, m.index}] = fn;
        if (!absent) obj->Define(vm, m.name, Value::Obj(fn), m.flags);
        break;
      }
      case Member::kAccessor: {
        Object* get = vm.NewNative(m.fn);
        Object* set = m.set ? vm.NewNative(m.set) : nullptr;
        if (m.category >= 0) {
          (*natives)[{m.category, m.index}] = get;
          if (set) (*natives)[{m.category, m.index + 1}] = set;
        }
        if (!absent) AddAccessor(vm, obj, m.name, get, set, m.flags);
        break;
      }
      case Member::kNumber:
        if (!absent) {
          // The tables' NaN is one and the same: Number.NaN == NaN.
          Value v = Value::Num(0);
          v.number = m.number;
          obj->Define(vm, m.name, v, m.flags);
        }
        break;
      case Member::kBool:
        if (!absent) obj->Define(vm, m.name, Value::Bool(m.number != 0), m.flags);
        break;
      case Member::kString:
        if (!absent) obj->Define(vm, m.name, Value::Str(m.text), m.flags);
        break;
    }
  }
}

void DeclareOnFirstInstance(Vm& vm, Object* proto, Members members) {
  if (!proto || members.empty() || proto->FindProperty(vm, members.front().name)) return;
  Declare(vm, proto, members);
}

Object* DeclareClass(Vm& vm, const ClassDecl& decl) {
  // Version 4 movies have the version 5 classes (movies they load use them).
  if (decl.since > 5 && vm.version < decl.since) return nullptr;
  Object* owner = decl.package ? Package(vm, decl.package) : vm.global;
  Object* made = nullptr;
  if (!decl.name) {
    made = owner;
    Declare(vm, owner, decl.statics);
  } else if (!decl.ctor) {
    // An object already there (a package made on the way) is filled in.
    Property* there = decl.keep ? nullptr : owner->FindProperty(vm, decl.name);
    if (decl.keep && vm.*decl.keep) {
      made = vm.*decl.keep;
    } else if (there && there->value.IsObject()) {
      made = there->value.object;
    } else {
      made = vm.NewObject();
    }
    if (decl.keep) vm.*decl.keep = made;
    Declare(vm, made, decl.statics);
  } else {
    Object* proto = decl.keep ? vm.*decl.keep : nullptr;
    if (!proto && decl.instancePrototype && decl.construct) {
      proto = decl.construct(vm);
      proto->proto = vm.objectProto;
    }
    if (!proto) proto = vm.NewObject();
    if (decl.keep) vm.*decl.keep = proto;
    FunctionObject* cls = vm.NewNative(decl.ctor, proto);
    cls->construct = decl.construct;
    if (decl.category >= 0) HostStateOf(vm).natives[{decl.category, decl.index}] = cls;
    Declare(vm, proto, decl.proto);
    Declare(vm, cls, decl.statics);
    made = cls;
  }
  if (decl.name) owner->Define(vm, decl.name, Value::Obj(made), decl.flags);
  if (decl.finish) decl.finish(vm, made);
  return made;
}

Object* PrototypeOf(Vm& vm, Object* ctor) {
  Property* p = ctor ? ctor->FindProperty(vm, "prototype") : nullptr;
  return p && p->value.IsObject() ? p->value.object : nullptr;
}

Completion ReturnUndefined(Vm&, const CallContext&, Args) { return {}; }
Completion ReturnNull(Vm&, const CallContext&, Args) { return Value::Null(); }
Completion ReturnFalse(Vm&, const CallContext&, Args) { return Value::Bool(false); }
Completion ReturnTrue(Vm&, const CallContext&, Args) { return Value::Bool(true); }
Completion PlainCtor(Vm&, const CallContext&, Args) { return {}; }

void Refuse(Vm& vm, std::string_view what) {
  if (vm.refusalSink) vm.refusalSink(std::string(what) + " refused");
}

}  // namespace orrivel::swf::avm1
