// The built-in classes and global functions, in the one order they are
// installed in. A step that needs an earlier one says why it comes after.
#pragma once

#include <span>

#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

// A step with no `decl` works on the display (MovieClip, TextField, Key
// ...): the display host installs it by its name, so the machine builds and
// runs without a display.
struct Registration {
  const char* name;
  const ClassDecl* decl;  // the class's table; null for a display step
  const char* why = "";   // what it needs from the steps before it
  // Dotted paths from _global the step defines for a version 8 movie,
  // separated by spaces (a test checks that each is there).
  const char* defines = "";
};

std::span<const Registration> Registry();
// Runs every step of the registry on a new machine.
void InstallBuiltins(Vm& vm);

extern const ClassDecl kObjectClass;
extern const ClassDecl kFunctionClass;
extern const ClassDecl kBooleanClass;
extern const ClassDecl kNumberClass;
extern const ClassDecl kObjectGlobalsDecl;
extern const ClassDecl kArrayClass;
extern const ClassDecl kStringClass;
extern const ClassDecl kMathObject;
extern const ClassDecl kDateClass;
extern const ClassDecl kGlobalFunctionsDecl;
extern const ClassDecl kErrorClass;
extern const ClassDecl kStageObject;
extern const ClassDecl kAsBroadcasterClass;
extern const ClassDecl kXmlNodeClass;
extern const ClassDecl kXmlClass;
extern const ClassDecl kLoadVarsClass;
extern const ClassDecl kMovieClipLoaderClass;
extern const ClassDecl kSystemObject;
extern const ClassDecl kCapabilitiesObject;
extern const ClassDecl kSecurityObject;
extern const ClassDecl kImeObject;
extern const ClassDecl kProductClass;
extern const ClassDecl kAccessibilityObject;
extern const ClassDecl kExternalInterfaceClass;
extern const ClassDecl kCameraClass;
extern const ClassDecl kMicrophoneClass;
extern const ClassDecl kPrintJobClass;
extern const ClassDecl kFileReferenceClass;
extern const ClassDecl kFileReferenceListClass;
extern const ClassDecl kLocalConnectionClass;
extern const ClassDecl kXmlSocketClass;
extern const ClassDecl kSharedObjectClass;
extern const ClassDecl kContextMenuClass;
extern const ClassDecl kContextMenuItemClass;
extern const ClassDecl kNativeTableDecl;
extern const ClassDecl kLateGlobalsDecl;

}  // namespace orrivel::swf::avm1
