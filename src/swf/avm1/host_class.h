// Helpers for the host classes (System, Sound, filters, stubs of devices the
// screen saver does not have): making a class with its prototype, defining
// the global names the player has, and values the stubs share.
#pragma once

#include <initializer_list>
#include <string_view>
#include <utility>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

inline constexpr uint8_t kHidden = kDontEnum | kDontDelete;
inline constexpr uint8_t kConstant = kDontEnum | kDontDelete | kReadOnly;

using MethodList = std::initializer_list<std::pair<const char*, NativeFn>>;

// A constructor whose prototype holds `methods`; defined on `owner` (not
// enumerable) unless a class of that name is there already, in which case
// that one is returned untouched.
FunctionObject* HostClass(Vm& vm, Object* owner, std::string_view name, NativeFn ctor,
                          MethodList methods = {});
// A plain object holding `methods`, defined on `owner` unless present.
Object* HostObject(Vm& vm, Object* owner, std::string_view name, MethodList methods = {});
void AddMethods(Vm& vm, Object* obj, MethodList methods, uint8_t flags = kHidden);
// A getter (and setter, may be null) pair as addProperty makes it.
void AddAccessor(Vm& vm, Object* obj, std::string_view name, NativeFn get, NativeFn set,
                 uint8_t flags = kHidden);
// The prototype of a class made by HostClass.
Object* PrototypeOf(Vm& vm, Object* ctor);

// A native that does nothing; what the stubs of absent devices answer.
Completion ReturnUndefined(Vm& vm, Object* self, Args args);
Completion ReturnNull(Vm& vm, Object* self, Args args);
Completion ReturnFalse(Vm& vm, Object* self, Args args);
Completion ReturnTrue(Vm& vm, Object* self, Args args);
// A constructor that leaves the new object as it is.
Completion PlainCtor(Vm& vm, Object* self, Args args);
// Reports a refused network, URL or program call to the host.
void Refuse(Vm& vm, std::string_view what);

// flash.external.ExternalInterface (from InstallSystemBuiltins).
void InstallExternalBuiltins(Vm& vm);

// Numbers the installed built-ins for ASnative; after every class is in.
void BindNativeTable(Vm& vm);

// Called from the Vm when its root clip object is made.
void InitRootClip(Vm& vm, Object* root);

}  // namespace orrivel::swf::avm1
