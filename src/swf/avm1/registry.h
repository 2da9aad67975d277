// The built-in classes and global functions, in the one order they are
// installed in. A step that needs an earlier one says why it comes after.
#pragma once

#include <span>

#include "swf/avm1/host_class.h"

namespace orrivel::swf::avm1 {

// A step with neither `install` nor `decl` works on the display (MovieClip,
// TextField, Key ...): the display host installs it by its name, so the
// machine builds and runs without a display.
struct Registration {
  const char* name;
  void (*install)(Vm& vm);          // code that installs it; null when `decl` is all there is
  const ClassDecl* decl = nullptr;  // the class's table, made after `install` runs
  const char* why = "";             // what it needs from the steps before it
  // Dotted paths from _global the step defines for a version 8 movie,
  // separated by spaces (a test checks that each is there).
  const char* defines = "";
};

std::span<const Registration> Registry();
// Runs every step of the registry on a new machine.
void InstallBuiltins(Vm& vm);

// The install step of each builtins_*.cpp file (the display's steps are
// defined in the player's library).
void InstallObjectBuiltins(Vm& vm);
void InstallArrayBuiltins(Vm& vm);
void InstallStringBuiltins(Vm& vm);
void InstallDateBuiltins(Vm& vm);
void InstallGlobalFunctions(Vm& vm);
void InstallClipBuiltins(Vm& vm);
void InstallBroadcasterBuiltins(Vm& vm);
void InstallInputBuiltins(Vm& vm);
void InstallTextFieldBuiltins(Vm& vm);
void InstallTextFormatBuiltins(Vm& vm);
void InstallTextSnapshotBuiltins(Vm& vm);
void InstallXmlBuiltins(Vm& vm);
void InstallLoaderBuiltins(Vm& vm);
void InstallGeomBuiltins(Vm& vm);
void InstallBitmapBuiltins(Vm& vm);
void InstallSystemBuiltins(Vm& vm);
void InstallDeviceBuiltins(Vm& vm);
void InstallFilterBuiltins(Vm& vm);
void InstallNativeBuiltins(Vm& vm);
void InstallLateGlobals(Vm& vm);

extern const ClassDecl kLocalConnectionClass;
extern const ClassDecl kMathObject;
extern const ClassDecl kColorClass;
extern const ClassDecl kSoundClass;
extern const ClassDecl kXmlSocketClass;
extern const ClassDecl kSharedObjectClass;
extern const ClassDecl kContextMenuClass;
extern const ClassDecl kContextMenuItemClass;

}  // namespace orrivel::swf::avm1
