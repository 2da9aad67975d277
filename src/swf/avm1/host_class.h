// Helpers for the host classes (System, Sound, filters, stubs of devices the
// screen saver does not have): making a class with its prototype, defining
// the global names the player has, and values the stubs share.
#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <vector>
#include <string_view>
#include <utility>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

inline constexpr uint16_t kHidden = kDontEnum | kDontDelete;
inline constexpr uint16_t kConstant = kDontEnum | kDontDelete | kReadOnly;

// One member of a built-in class's table: a method, an accessor pair as
// addProperty makes it, or a plain value. `flags` are the property's own
// (with the version bits of a member older movies do not see); `since` is
// the first movie version that has the member. A member `absentBefore`
// its version is not made at all for older movies.
struct Member {
  enum Kind : uint8_t { kMethod, kAccessor, kNumber, kBool };
  const char* name;
  NativeFn fn = nullptr;  // the method, or the getter
  NativeFn set = nullptr;
  Kind kind = kMethod;
  uint16_t flags = kHidden;
  uint8_t since = 5;
  bool absentBefore = false;
  double number = 0;  // kNumber's value; kBool's, as 0 or 1
};
constexpr Member Method(const char* name, NativeFn fn, uint16_t flags = kHidden,
                        uint8_t since = 5) {
  return {name, fn, nullptr, Member::kMethod, flags, since};
}
constexpr Member Accessor(const char* name, NativeFn get, NativeFn set, uint16_t flags = kHidden,
                          uint8_t since = 5) {
  return {name, get, set, Member::kAccessor, flags, since};
}
constexpr Member ConstBool(const char* name, bool value, uint16_t flags = kHidden,
                           uint8_t since = 5) {
  return {name, nullptr, nullptr, Member::kBool, flags, since, false, value ? 1.0 : 0.0};
}
constexpr Member ConstNumber(const char* name, double value, uint16_t flags = kHidden,
                             uint8_t since = 5) {
  return {name, nullptr, nullptr, Member::kNumber, flags, since, false, value};
}
// The member is not made for movies older than its `since`.
constexpr Member AbsentBefore(Member m) {
  m.absentBefore = true;
  return m;
}
using Members = std::span<const Member>;

// A built-in class: its constructor and the members of its prototype and
// of the constructor itself; or, with no constructor, a plain object (Math)
// holding the `statics`.
struct ClassDecl {
  const char* name;  // on _global
  NativeFn ctor;
  Members proto;
  Members statics = {};
  uint8_t since = 5;  // classes of newer versions are not made for older movies
  Object* (*construct)(Vm& vm) = nullptr;  // a typed instance for `new`
};

// Adds the members to obj, each a new function object.
void Declare(Vm& vm, Object* obj, Members members);
// Makes the class (or object) and defines it on `owner`, not enumerable;
// null when the movie's version is older than the class.
Object* DeclareClass(Vm& vm, Object* owner, const ClassDecl& decl);

using MethodList = std::initializer_list<std::pair<const char*, NativeFn>>;

// A constructor whose prototype holds `methods`; defined on `owner` (not
// enumerable) unless a class of that name is there already, in which case
// that one is returned untouched.
FunctionObject* HostClass(Vm& vm, Object* owner, std::string_view name, NativeFn ctor,
                          MethodList methods = {});
// A plain object holding `methods`, defined on `owner` unless present.
Object* HostObject(Vm& vm, Object* owner, std::string_view name, MethodList methods = {});
void AddMethods(Vm& vm, Object* obj, MethodList methods, uint16_t flags = kHidden);
// A getter (and setter, may be null) pair as addProperty makes it.
void AddAccessor(Vm& vm, Object* obj, std::string_view name, NativeFn get, NativeFn set,
                 uint16_t flags = kHidden);
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
// Returns the table's entries it found no function for (none, unless a
// class was dropped or renamed: a test checks).
std::vector<std::string> BindNativeTable(Vm& vm);

// Called from the Vm when its root clip object is made.
void InitRootClip(Vm& vm, Object* root);

}  // namespace orrivel::swf::avm1
