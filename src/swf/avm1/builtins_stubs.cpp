// ContextMenu and ContextMenuItem (the screen saver shows no menu, but
// movies build them), and the rest of the global names the player has for
// each movie version: classes no other file defines get an empty class, so
// that movies testing for them see what they would in the player.
#include <iterator>

#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr const char* kBuiltInItems[] = {"save", "zoom",   "quality",      "play",
                                         "loop", "rewind", "forward_back", "print"};

Completion ContextMenuCtor(Vm& vm, Object* self, Args args) {
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
Completion HideBuiltInItems(Vm& vm, Object* self, Args) {
  if (!self) return {};
  Object* items = vm.NewObject();
  for (auto it = std::rbegin(kBuiltInItems); it != std::rend(kBuiltInItems); ++it)
    items->Define(vm, *it, Value::Bool(false));
  vm.Set(self, "builtInItems", Value::Obj(items));
  return {};
}

// A new menu with the same handler and built-in items; each custom item is
// replaced by its own copy().
Completion ContextMenuCopy(Vm& vm, Object* self, Args) {
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

Completion ContextMenuItemCtor(Vm& vm, Object* self, Args args) {
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

Completion ContextMenuItemCopy(Vm& vm, Object* self, Args) {
  Value ctor = vm.Get(vm.global, "ContextMenuItem");
  if (!self || !ctor.IsObject()) return {};
  const Value args[] = {vm.Get(self, "caption"), vm.Get(self, "onSelect"),
                        vm.Get(self, "separatorBefore"), vm.Get(self, "enabled"),
                        vm.Get(self, "visible")};
  return vm.Construct(ctor.object, args);
}

// Classes other files may define; each gets an empty class when none has.
struct Name {
  const char* name;
  int since;  // first movie version that has it
};
constexpr Name kClasses[] = {
    {"Button", 5},          {"Color", 5},        {"LoadVars", 5},  {"LocalConnection", 6},
    {"MovieClipLoader", 5}, {"SharedObject", 5}, {"TextField", 5}, {"TextFormat", 5},
    {"TextSnapshot", 5},    {"XML", 5},          {"XMLNode", 5},   {"XMLSocket", 5},
    {"AsBroadcaster", 5}};
constexpr Name kObjects[] = {{"Selection", 5}, {"Key", 5}, {"Mouse", 5}};

void InstallAbsentGlobals(Vm& vm) {
  for (const Name& c : kClasses) {
    if (vm.version >= c.since) HostClass(vm, vm.global, c.name, PlainCtor);
  }
  for (const Name& o : kObjects) {
    if (vm.version >= o.since) HostObject(vm, vm.global, o.name);
  }
  Value tf = vm.Get(vm.global, "TextField");
  if (tf.IsObject()) {
    HostClass(vm, tf.object, "StyleSheet", PlainCtor);
    if (Property* p = tf.object->FindProperty(vm, "StyleSheet")) p->flags |= kSince7;
  }
  {
    Object* flash = HostObject(vm, vm.global, "flash");
    Object* display = HostObject(vm, flash, "display");
    HostClass(vm, display, "BitmapData", PlainCtor);
    Object* geom = HostObject(vm, flash, "geom");
    for (const char* name : {"ColorTransform", "Matrix", "Point", "Rectangle", "Transform"})
      HostClass(vm, geom, name, PlainCtor);
    Object* text = HostObject(vm, flash, "text");
    HostClass(vm, text, "TextRenderer", PlainCtor);
  }
}

}  // namespace

namespace {

// MovieClip methods newer than the first players: a movie of an older
// version does not see them (hasOwnProperty still does).
void HideNewClipMethods(Vm& vm) {
  Object* proto = vm.clipProto;
  if (!proto) return;
  const std::pair<const char*, uint16_t> names[] = {
      {"attachAudio", kSince6},
      {"attachVideo", kSince6},
      {"getDepth", kSince6},
      {"setMask", kSince6},
      {"createEmptyMovieClip", kSince6},
      {"beginFill", kSince6},
      {"beginGradientFill", kSince6},
      {"moveTo", kSince6},
      {"lineTo", kSince6},
      {"curveTo", kSince6},
      {"lineStyle", kSince6},
      {"endFill", kSince6},
      {"clear", kSince6},
      {"getTextSnapshot", kSince6},
      {"getNextHighestDepth", kSince7},
      {"getInstanceAtDepth", kSince7},
      {"attachBitmap", kSince8},
      {"getRect", kSince8},
      {"lineGradientStyle", kSince8},
      {"beginMeshFill", kSince8},
      {"beginBitmapFill", kSince8},
  };
  for (const auto& [name, bits] : names) {
    if (Property* p = proto->FindProperty(vm, name)) p->flags |= bits;
  }
}

}  // namespace

void InstallStubBuiltins(Vm& vm) {
  HostClass(vm, vm.global, "ContextMenu", ContextMenuCtor,
            {{"copy", ContextMenuCopy}, {"hideBuiltInItems", HideBuiltInItems}});
  HostClass(vm, vm.global, "ContextMenuItem", ContextMenuItemCtor, {{"copy", ContextMenuItemCopy}});
  InstallAbsentGlobals(vm);
  // Names older movies do not see (until ASSetPropFlags clears the bits).
  for (const auto& [name, bits] : {std::pair{"Function", kSince6}, std::pair{"flash", kSince8}}) {
    if (Property* p = vm.global->FindProperty(vm, name)) p->flags |= bits;
  }
  HideNewClipMethods(vm);
  if (!vm.global->FindProperty(vm, "updateAfterEvent"))
    vm.Method(vm.global, "updateAfterEvent", ReturnUndefined);
  BindNativeTable(vm);
  // _global is no Object: it has no prototype, so no toString or hasOwnProperty.
  vm.global->proto = nullptr;
}

}  // namespace orrivel::swf::avm1
