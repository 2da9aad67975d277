// ContextMenu and ContextMenuItem: the screen saver shows no menu, but
// movies build them.
#include <iterator>

#include "swf/avm1/host_class.h"
#include "swf/avm1/registry.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr const char* kBuiltInItems[] = {"save", "zoom",   "quality",      "play",
                                         "loop", "rewind", "forward_back", "print"};

Completion ContextMenuCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  Object* items = vm.NewObject();
  // Enumerated newest first: defined from the end.
  for (auto it = std::rbegin(kBuiltInItems); it != std::rend(kBuiltInItems); ++it)
    items->Define(vm, *it, Value::Bool(true));
  self->Define(vm, "onSelect", Arg(args, 0));
  self->Define(vm, "customItems", Value::Obj(vm.NewArray()));
  self->Define(vm, "builtInItems", Value::Obj(items));
  return {};
}

// Replaces the built-in items with a fresh set, all hidden.
Completion HideBuiltInItems(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return {};
  Object* items = vm.NewObject();
  for (auto it = std::rbegin(kBuiltInItems); it != std::rend(kBuiltInItems); ++it)
    items->Define(vm, *it, Value::Bool(false));
  vm.Set(self, "builtInItems", Value::Obj(items));
  return {};
}

// A new menu with the same handler and built-in items; each custom item is
// replaced by its own copy().
Completion ContextMenuCopy(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  if (!self) return {};
  Value ctor = vm.Get(vm.global, "ContextMenu");
  if (!ctor.IsObject()) return {};
  Value made = vm.Construct(ctor.object, {});
  if (!made.IsObject()) return {};
  Object* copy = made.object;
  vm.Set(copy, "onSelect", vm.Get(self, "onSelect"));
  vm.Set(copy, "builtInItems", vm.Get(self, "builtInItems"));
  ArrayObject* list = vm.NewArray();
  const Value custom = vm.Get(self, "customItems");
  if (custom.IsObject()) {
    const double n = vm.ToNumber(vm.Get(custom.object, "length"));
    for (int i = 0; i < n && i < 4096; ++i) {
      const Value item = vm.Get(custom.object, std::to_string(i));
      Value c;
      if (item.IsObject()) vm.CallMethod(item.object, "copy", {}, &c);
      list->elements.push_back(c);
    }
  }
  vm.Set(copy, "customItems", Value::Obj(list));
  return made;
}

Completion ContextMenuItemCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (!self) return {};
  auto flag = [&](std::size_t i, bool otherwise) {
    return Value::Bool(i < args.size() ? vm.ToBoolean(args[i]) : otherwise);
  };
  self->Define(vm, "caption", Arg(args, 0));
  self->Define(vm, "onSelect", Arg(args, 1));
  self->Define(vm, "separatorBefore", flag(2, false));
  self->Define(vm, "enabled", flag(3, true));
  self->Define(vm, "visible", flag(4, true));
  return {};
}

Completion ContextMenuItemCopy(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  Value ctor = vm.Get(vm.global, "ContextMenuItem");
  if (!self || !ctor.IsObject()) return {};
  const Value args[] = {vm.Get(self, "caption"), vm.Get(self, "onSelect"),
                        vm.Get(self, "separatorBefore"), vm.Get(self, "enabled"),
                        vm.Get(self, "visible")};
  return vm.Construct(ctor.object, args);
}

constexpr Member kContextMenuProto[] = {Method("copy", ContextMenuCopy),
                                        Method("hideBuiltInItems", HideBuiltInItems)};
constexpr Member kContextMenuItemProto[] = {Method("copy", ContextMenuItemCopy)};

}  // namespace

extern const ClassDecl kContextMenuClass{"ContextMenu", ContextMenuCtor, kContextMenuProto};
extern const ClassDecl kContextMenuItemClass{"ContextMenuItem", ContextMenuItemCtor,
                                             kContextMenuItemProto};

}  // namespace orrivel::swf::avm1
