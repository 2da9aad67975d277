#include "swf/avm1/registry.h"

#include "swf/avm1/display_host.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr Registration kRegistry[] = {
    {"Object", InstallObjectBuiltins, nullptr,
     "Object.prototype and Function.prototype: every later object links to them",
     "Object Function ASSetPropFlags"},
    {"Array", InstallArrayBuiltins, nullptr, "", "Array"},
    {"String", InstallStringBuiltins, nullptr, "", "String Number Boolean"},
    {"Math", nullptr, &kMathObject, "", "Math Math.sin Math.PI"},
    {"Date", InstallDateBuiltins, nullptr, "", "Date Date.UTC"},
    {"global functions", InstallGlobalFunctions, nullptr, "",
     "escape unescape parseInt parseFloat isNaN isFinite setInterval clearInterval"},
    {"MovieClip", nullptr, nullptr,
     "makes MovieClip.prototype, which later steps read (Button shares getDepth)",
     "MovieClip MovieClip.prototype.attachMovie MovieClip.prototype.beginFill"},
    {"AsBroadcaster", InstallBroadcasterBuiltins, nullptr, "",
     "AsBroadcaster AsBroadcaster.initialize"},
    {"Key, Mouse, Selection, Button", nullptr, nullptr,
     "after MovieClip (Button shares getDepth) and AsBroadcaster (they broadcast)",
     "Key Key.isDown Mouse Selection Button"},
    {"TextFormat", nullptr, nullptr, "", "TextFormat"},
    {"TextField", nullptr, nullptr, "after TextFormat", "TextField TextField.StyleSheet"},
    {"TextSnapshot", nullptr, nullptr, "", "TextSnapshot"},
    {"XMLNode, XML", InstallXmlBuiltins, nullptr, "", "XMLNode XML"},
    {"LoadVars, MovieClipLoader", InstallLoaderBuiltins, nullptr,
     "after XML, whose load methods LoadVars shares", "LoadVars MovieClipLoader"},
    {"XMLSocket", nullptr, &kXmlSocketClass, "", "XMLSocket"},
    {"SharedObject", nullptr, &kSharedObjectClass, "", "SharedObject SharedObject.getLocal"},
    {"LocalConnection", nullptr, &kLocalConnectionClass, "", "LocalConnection"},
    {"Color", nullptr, nullptr, "", "Color"},
    {"flash.geom", nullptr, nullptr, "",
     "flash.geom.Point flash.geom.Rectangle flash.geom.Matrix flash.geom.ColorTransform "
     "flash.geom.Transform"},
    {"flash.display.BitmapData", nullptr, nullptr,
     "after flash.geom, whose Rectangle and Point it makes", "flash.display.BitmapData"},
    {"System, Stage, ExternalInterface", InstallSystemBuiltins, nullptr,
     "after global functions, which make the Stage object it fills",
     "System System.capabilities Stage.align flash.external.ExternalInterface"},
    {"Sound", nullptr, nullptr, "", "Sound"},
    {"Camera, Microphone, NetConnection, NetStream, PrintJob, FileReference", InstallDeviceBuiltins,
     nullptr, "", "Camera Microphone NetConnection NetStream PrintJob flash.net.FileReference"},
    {"flash.filters", nullptr, nullptr, "after flash.geom (filters use Point)",
     "flash.filters.BlurFilter flash.filters.DropShadowFilter"},
    {"ASnative", InstallNativeBuiltins, nullptr, "", "ASnative ASSetNative ASconstructor"},
    {"ContextMenu", nullptr, &kContextMenuClass, "", "ContextMenu"},
    {"ContextMenuItem", nullptr, &kContextMenuItemClass, "", "ContextMenuItem"},
    {"late globals", InstallLateGlobals, nullptr,
     "last: numbers every installed built-in for ASnative, and hides names from older movies",
     "updateAfterEvent flash.text.TextRenderer"},
};

// Classes an older movie sees by name only: empty, for `typeof` and
// `instanceof` tests, where newer players have the real class.
struct EmptyClass {
  const char* package;  // under _global.flash; null for _global itself
  const char* name;
  int until;  // the last version that has the empty class
};
constexpr EmptyClass kEmptyClasses[] = {
    {nullptr, "Button", 5},   {"display", "BitmapData", 7}, {"geom", "ColorTransform", 5},
    {"geom", "Matrix", 5},    {"geom", "Point", 5},         {"geom", "Rectangle", 5},
    {"geom", "Transform", 5}, {"text", "TextRenderer", 99},
};

}  // namespace

void InstallLateGlobals(Vm& vm) {
  for (const EmptyClass& c : kEmptyClasses) {
    if (vm.version > c.until) continue;
    Object* owner = vm.global;
    if (c.package) owner = HostObject(vm, HostObject(vm, vm.global, "flash"), c.package);
    Object* proto = vm.NewObject();
    owner->Define(vm, c.name, Value::Obj(vm.NewNative(PlainCtor, proto)), kDontEnum);
  }
  // Names older movies do not see (until ASSetPropFlags clears the bits).
  for (const auto& [name, bits] : {std::pair{"Function", kSince6}, std::pair{"flash", kSince8}}) {
    if (Property* p = vm.global->FindProperty(vm, name)) p->flags |= bits;
  }
  vm.Method(vm.global, "updateAfterEvent", ReturnUndefined);
  BindNativeTable(vm);
  // _global is no Object: it has no prototype, so no toString or hasOwnProperty.
  vm.global->proto = nullptr;
}

std::span<const Registration> Registry() { return kRegistry; }

void InstallBuiltins(Vm& vm) {
  for (const Registration& r : kRegistry) {
    if (r.install) r.install(vm);
    if (r.decl) DeclareClass(vm, vm.global, *r.decl);
    if (!r.install && !r.decl && vm.display) vm.display->InstallClasses(vm, r.name);
  }
}

}  // namespace orrivel::swf::avm1
