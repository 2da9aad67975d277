#include "swf/avm1/registry.h"

#include "swf/avm1/display_host.h"

namespace orrivel::swf::avm1 {

namespace {

constexpr Registration kRegistry[] = {
    {"Object", &kObjectClass,
     "Object.prototype and Function.prototype: every later object links to them",
     "Object Object.prototype.watch"},
    {"Function", &kFunctionClass, "", "Function Function.prototype.call"},
    {"Boolean", &kBooleanClass, "", "Boolean"},
    {"Number", &kNumberClass, "", "Number Number.MAX_VALUE"},
    {"ASSetPropFlags, NaN, Infinity", &kObjectGlobalsDecl, "", "ASSetPropFlags NaN"},
    {"Array", &kArrayClass, "", "Array Array.prototype.push"},
    {"String", &kStringClass, "", "String String.fromCharCode"},
    {"Math", &kMathObject, "", "Math Math.sin Math.PI"},
    {"Date", &kDateClass, "", "Date Date.UTC"},
    {"global functions", &kGlobalFunctionsDecl, "",
     "escape unescape parseInt parseFloat isNaN isFinite setInterval clearInterval"},
    {"Error", &kErrorClass, "", "Error Error.prototype.message"},
    {"Stage", &kStageObject, "", "Stage Stage.align Stage.addListener"},
    {"MovieClip", nullptr,
     "makes MovieClip.prototype, which later steps read (Button shares getDepth)",
     "MovieClip MovieClip.prototype.attachMovie MovieClip.prototype.beginFill"},
    {"AsBroadcaster", &kAsBroadcasterClass, "", "AsBroadcaster AsBroadcaster.initialize"},
    {"Key", nullptr, "", "Key Key.isDown Key.addListener"},
    {"Mouse", nullptr, "", "Mouse Mouse.hide"},
    {"Selection", nullptr, "", "Selection Selection.getFocus"},
    {"Button", nullptr, "after MovieClip (Button shares getDepth)",
     "Button Button.prototype.getDepth"},
    {"TextFormat", nullptr, "", "TextFormat"},
    {"TextField", nullptr, "after TextFormat",
     "TextField TextField.getFontList TextField.prototype.filters"},
    {"TextField.StyleSheet", nullptr, "in TextField",
     "TextField.StyleSheet TextField.StyleSheet.prototype.parseCSS"},
    {"TextSnapshot", nullptr, "", "TextSnapshot"},
    {"XMLNode", &kXmlNodeClass, "", "XMLNode XMLNode.prototype.appendChild"},
    {"XML", &kXmlClass, "after XMLNode, whose prototype XML's inherits from",
     "XML XML.prototype.load"},
    {"LoadVars", &kLoadVarsClass, "", "LoadVars LoadVars.prototype.decode"},
    {"MovieClipLoader", &kMovieClipLoaderClass, "",
     "MovieClipLoader MovieClipLoader.prototype.loadClip"},
    {"XMLSocket", &kXmlSocketClass, "", "XMLSocket"},
    {"SharedObject", &kSharedObjectClass, "", "SharedObject SharedObject.getLocal"},
    {"LocalConnection", &kLocalConnectionClass, "", "LocalConnection"},
    {"Color", nullptr, "", "Color"},
    {"flash.geom.Point", nullptr, "", "flash.geom.Point flash.geom.Point.polar"},
    {"flash.geom.Rectangle", nullptr, "", "flash.geom.Rectangle"},
    {"flash.geom.Matrix", nullptr, "", "flash.geom.Matrix"},
    {"flash.geom.ColorTransform", nullptr, "",
     "flash.geom.ColorTransform flash.geom.ColorTransform.prototype.rgb"},
    {"flash.geom.Transform", nullptr, "", "flash.geom.Transform"},
    {"flash.display.BitmapData", nullptr, "after flash.geom, whose Rectangle and Point it makes",
     "flash.display.BitmapData"},
    {"System", &kSystemObject, "", "System System.setClipboard"},
    {"System.capabilities", &kCapabilitiesObject, "in System", "System.capabilities.version"},
    {"System.security", &kSecurityObject, "in System", "System.security.allowDomain"},
    {"System.IME", &kImeObject, "in System", "System.IME.doConversion"},
    {"System.Product", &kProductClass, "in System", "System.Product"},
    {"Accessibility", &kAccessibilityObject, "", "Accessibility.isActive"},
    {"flash.external.ExternalInterface", &kExternalInterfaceClass, "",
     "flash.external.ExternalInterface.call"},
    {"Sound", nullptr, "", "Sound"},
    {"Camera", &kCameraClass, "", "Camera Camera.get"},
    {"Microphone", &kMicrophoneClass, "", "Microphone Microphone.get"},
    {"NetConnection", nullptr, "", "NetConnection"},
    {"NetStream", nullptr, "", "NetStream"},
    {"Video", nullptr, "", "Video"},
    {"PrintJob", &kPrintJobClass, "", "PrintJob PrintJob.prototype.start"},
    {"flash.net.FileReference", &kFileReferenceClass, "", "flash.net.FileReference"},
    {"flash.net.FileReferenceList", &kFileReferenceListClass, "", "flash.net.FileReferenceList"},
    {"flash.filters.BitmapFilter", nullptr, "after flash.geom (filters use Point)",
     "flash.filters.BitmapFilter.prototype.clone"},
    {"flash.filters.BevelFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.BevelFilter"},
    {"flash.filters.BlurFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.BlurFilter"},
    {"flash.filters.ColorMatrixFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.ColorMatrixFilter"},
    {"flash.filters.ConvolutionFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.ConvolutionFilter"},
    {"flash.filters.DisplacementMapFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.DisplacementMapFilter"},
    {"flash.filters.DropShadowFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.DropShadowFilter"},
    {"flash.filters.GlowFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.GlowFilter"},
    {"flash.filters.GradientBevelFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.GradientBevelFilter"},
    {"flash.filters.GradientGlowFilter", nullptr, "after BitmapFilter, which it extends",
     "flash.filters.GradientGlowFilter"},
    {"ASnative", &kNativeTableDecl, "", "ASnative ASSetNative ASconstructor"},
    {"ContextMenu", &kContextMenuClass, "", "ContextMenu"},
    {"ContextMenuItem", &kContextMenuItemClass, "", "ContextMenuItem"},
    {"late globals", &kLateGlobalsDecl,
     "last: hides names from older movies, and stands in empty classes for them",
     "updateAfterEvent flash.text.TextRenderer"},
};

// Classes an older movie sees by name only: empty, for `typeof` and
// `instanceof` tests, where newer players have the real class.
struct EmptyClass {
  const char* package;  // dotted, from _global; null for _global itself
  const char* name;
  int until;  // the last version that has the empty class
};
constexpr EmptyClass kEmptyClasses[] = {
    {nullptr, "Button", 5},
    {"flash.display", "BitmapData", 7},
    {"flash.geom", "ColorTransform", 5},
    {"flash.geom", "Matrix", 5},
    {"flash.geom", "Point", 5},
    {"flash.geom", "Rectangle", 5},
    {"flash.geom", "Transform", 5},
    {"flash.text", "TextRenderer", 99},
};

void FinishGlobals(Vm& vm, Object* global) {
  for (const EmptyClass& c : kEmptyClasses) {
    if (vm.version > c.until) continue;
    Object* owner = c.package ? Package(vm, c.package) : global;
    Object* proto = vm.NewObject();
    owner->Define(vm, c.name, Value::Obj(vm.NewNative(PlainCtor, proto)), kDontEnum);
  }
  // The package older movies do not see (until ASSetPropFlags clears the bit).
  if (Property* p = global->FindProperty(vm, "flash")) p->flags |= kSince8;
  // _global is no Object: it has no prototype, so no toString or hasOwnProperty.
  global->proto = nullptr;
}

constexpr Member kLateGlobals[] = {
    Native(100, 5, Method("updateAfterEvent", ReturnUndefined, kDontEnum | kDontDelete)),
};

}  // namespace

extern const ClassDecl kLateGlobalsDecl{.name = nullptr,
                                        .ctor = nullptr,
                                        .proto = {},
                                        .statics = kLateGlobals,
                                        .finish = FinishGlobals};

std::span<const Registration> Registry() { return kRegistry; }

void InstallBuiltins(Vm& vm) {
  for (const Registration& r : kRegistry) {
    if (r.decl) {
      DeclareClass(vm, *r.decl);
    } else if (vm.display) {
      vm.display->InstallClasses(vm, r.name);
    }
  }
}

}  // namespace orrivel::swf::avm1
