// Helpers for the host classes (System, Sound, filters, stubs of devices the
// screen saver does not have): making a class with its prototype, defining
// the global names the player has, and values the stubs share.
#pragma once

#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {

inline constexpr uint16_t kHidden = kDontEnum | kDontDelete;
inline constexpr uint16_t kConstant = kDontEnum | kDontDelete | kReadOnly;

// One member of a built-in class's table: a method, an accessor pair as
// addProperty makes it, or a plain value. `flags` are the property's own
// (with the version bits of a member older movies do not see); `since` is
// the first movie version that has the member. A member `absentBefore`
// its version is not made at all for older movies. A member with a
// `category` is the player's native (category, index) for ASnative, an
// accessor's setter the next index.
struct Member {
  enum Kind : uint8_t { kMethod, kAccessor, kNumber, kBool, kString };
  const char* name;
  NativeFn fn = nullptr;  // the method, or the getter
  NativeFn set = nullptr;
  Kind kind = kMethod;
  uint16_t flags = kHidden;
  uint8_t since = 5;
  bool absentBefore = false;
  double number = 0;           // kNumber's value; kBool's, as 0 or 1
  const char* text = nullptr;  // kString's value
  int16_t category = -1;       // ASnative's numbers; -1 for none
  int16_t index = 0;
  bool ownPrototype = false;  // carries a prototype object, as script functions do
  bool emptyBefore = false;   // older movies see the name, reading undefined
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
constexpr Member ConstString(const char* name, const char* value, uint16_t flags = kHidden,
                             uint8_t since = 5) {
  return {name, nullptr, nullptr, Member::kString, flags, since, false, 0, value};
}
// The member is not made for movies older than its `since`.
constexpr Member AbsentBefore(Member m) {
  m.absentBefore = true;
  return m;
}
// Movies older than the member's `since` see its name, reading undefined.
constexpr Member EmptyBefore(Member m) {
  m.emptyBefore = true;
  return m;
}
// The member is the player's native function (category, index).
constexpr Member Native(int category, int index, Member m) {
  m.category = static_cast<int16_t>(category);
  m.index = static_cast<int16_t>(index);
  return m;
}
// The method has a prototype object of its own (the player writes these
// in ActionScript).
constexpr Member WithPrototype(Member m) {
  m.ownPrototype = true;
  return m;
}
using Members = std::span<const Member>;

// A built-in class: its constructor and the members of its prototype and
// of the constructor itself; or, with no constructor, a plain object (Math)
// holding the `statics`; or, with no name either, the statics alone, put
// on the owner (the global functions).
struct ClassDecl {
  const char* name;  // on _global, or on the `package` there
  NativeFn ctor;
  Members proto;
  Members statics = {};
  uint8_t since = 5;  // classes of newer versions are not made for older movies
  Object* (*construct)(Vm& vm) = nullptr;  // a typed instance for `new`
  const char* package = nullptr;           // dotted, from _global: "flash.geom"
  uint16_t flags = kDontEnum;              // of the name on its owner
  // Where the machine keeps the prototype (of a plain object: the object);
  // one already there is filled instead of a new one.
  Object* Vm::*keep = nullptr;
  bool instancePrototype = false;  // the prototype is an instance (Array's is an array)
  int16_t category = -1;           // the constructor's ASnative numbers
  int16_t index = 0;
  // What a table cannot say, run on the class (or object) once it is made.
  void (*finish)(Vm& vm, Object* made) = nullptr;
};

// Adds the members to obj, each a new function object, and numbers the
// natives among them for ASnative.
void Declare(Vm& vm, Object* obj, Members members);
// Declares the members on a class's prototype when its first instance is
// built, as the player's native getters appear; once only.
void DeclareOnFirstInstance(Vm& vm, Object* proto, Members members);
// Makes the class (or object) and defines it on its owner under _global;
// null when the movie's version is older than the class.
Object* DeclareClass(Vm& vm, const ClassDecl& decl);

// The object at a dotted path from _global ("flash.geom"), made (plain, not
// enumerable) where missing.
Object* Package(Vm& vm, std::string_view path);
// The prototype of a class.
Object* PrototypeOf(Vm& vm, Object* ctor);

// A native that does nothing; what the stubs of absent devices answer.
Completion ReturnUndefined(Vm& vm, const CallContext& call, Args args);
Completion ReturnNull(Vm& vm, const CallContext& call, Args args);
Completion ReturnFalse(Vm& vm, const CallContext& call, Args args);
Completion ReturnTrue(Vm& vm, const CallContext& call, Args args);
// A constructor that leaves the new object as it is.
Completion PlainCtor(Vm& vm, const CallContext& call, Args args);
// Reports a refused network, URL or program call to the host.
void Refuse(Vm& vm, std::string_view what);

// Called from the Vm when its root clip object is made.
void InitRootClip(Vm& vm, Object* root);

}  // namespace orrivel::swf::avm1
