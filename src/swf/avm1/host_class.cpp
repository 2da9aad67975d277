#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

void AddMethods(Vm& vm, Object* obj, MethodList methods, uint16_t flags) {
  for (const auto& [name, fn] : methods) obj->Define(vm, name, Value::Obj(vm.NewNative(fn)), flags);
}

FunctionObject* HostClass(Vm& vm, Object* owner, std::string_view name, NativeFn ctor,
                          MethodList methods) {
  if (Property* p = owner->FindProperty(vm, name);
      p && p->value.IsObject() && p->value.object->IsFunction())
    return static_cast<FunctionObject*>(p->value.object);
  Object* proto = vm.NewObject();
  FunctionObject* cls = vm.NewNative(ctor, proto);
  AddMethods(vm, proto, methods);
  owner->Define(vm, name, Value::Obj(cls), kDontEnum);
  return cls;
}

Object* HostObject(Vm& vm, Object* owner, std::string_view name, MethodList methods) {
  if (Property* p = owner->FindProperty(vm, name); p && p->value.IsObject()) return p->value.object;
  Object* obj = vm.NewObject();
  AddMethods(vm, obj, methods, 0);
  owner->Define(vm, name, Value::Obj(obj), kDontEnum);
  return obj;
}

void AddAccessor(Vm& vm, Object* obj, std::string_view name, NativeFn get, NativeFn set,
                 uint16_t flags) {
  obj->Define(vm, name, Value{}, flags);
  Property* p = obj->FindProperty(vm, name);
  p->getter = vm.NewNative(get);
  p->setter = set ? vm.NewNative(set) : nullptr;
}

void Declare(Vm& vm, Object* obj, Members members) {
  for (const Member& m : members) {
    if (m.absentBefore && vm.version < m.since) continue;
    switch (m.kind) {
      case Member::kMethod:
        obj->Define(vm, m.name, Value::Obj(vm.NewNative(m.fn)), m.flags);
        break;
      case Member::kAccessor:
        AddAccessor(vm, obj, m.name, m.fn, m.set, m.flags);
        break;
      case Member::kNumber:
        obj->Define(vm, m.name, Value::Num(m.number), m.flags);
        break;
      case Member::kBool:
        obj->Define(vm, m.name, Value::Bool(m.number != 0), m.flags);
        break;
    }
  }
}

Object* DeclareClass(Vm& vm, Object* owner, const ClassDecl& decl) {
  if (vm.version < decl.since) return nullptr;
  if (!decl.ctor) {
    Object* obj = vm.NewObject();
    Declare(vm, obj, decl.statics);
    owner->Define(vm, decl.name, Value::Obj(obj), kDontEnum);
    return obj;
  }
  Object* proto = vm.NewObject();
  FunctionObject* cls = vm.NewNative(decl.ctor, proto);
  cls->construct = decl.construct;
  Declare(vm, proto, decl.proto);
  Declare(vm, cls, decl.statics);
  owner->Define(vm, decl.name, Value::Obj(cls), kDontEnum);
  return cls;
}

Object* PrototypeOf(Vm& vm, Object* ctor) {
  Property* p = ctor ? ctor->FindProperty(vm, "prototype") : nullptr;
  return p && p->value.IsObject() ? p->value.object : nullptr;
}

Completion ReturnUndefined(Vm&, Object*, Args) { return {}; }
Completion ReturnNull(Vm&, Object*, Args) { return Value::Null(); }
Completion ReturnFalse(Vm&, Object*, Args) { return Value::Bool(false); }
Completion ReturnTrue(Vm&, Object*, Args) { return Value::Bool(true); }
Completion PlainCtor(Vm&, Object*, Args) { return {}; }

void Refuse(Vm& vm, std::string_view what) {
  if (vm.refusalSink) vm.refusalSink(std::string(what) + " refused");
}

}  // namespace orrivel::swf::avm1
