#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

void AddMethods(Vm& vm, Object* obj, MethodList methods, uint8_t flags) {
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
                 uint8_t flags) {
  obj->Define(vm, name, Value{}, flags);
  Property* p = obj->FindProperty(vm, name);
  p->getter = vm.NewNative(get);
  p->setter = set ? vm.NewNative(set) : nullptr;
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
