// Script objects: named properties in creation order with their flags, a
// prototype link, and the kinds the built-in classes need (functions,
// arrays, boxed primitives, dates). Every object lives on the Vm's heap and
// is freed by its collector, never by reference counts, so cyclic graphs of
// closures and prototypes cannot leak.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "swf/avm1/value.h"

namespace orrivel::swf::avm1 {

class Vm;

// Property flags as ASSetPropFlags sets them. The higher bits tie a
// property to the movie versions that see it: elsewhere reads and writes
// pass it by as if absent, while enumeration, hasOwnProperty and delete
// still find it.
enum PropFlags : uint16_t {
  kDontEnum = 1,
  kDontDelete = 2,
  kReadOnly = 4,
  kSince6 = 0x80,
  kNot6 = 0x100,
  kSince7 = 0x400,
  kSince8 = 0x1000,
  kSince9 = 0x2000,
  kSince10 = 0x4000,
};

// Whether a property with these flags is out of sight for a movie version.
bool HiddenForVersion(uint16_t flags, int version);
// Whether obj's prototype link is out of sight for a movie version.
bool ProtoHidden(const Object* obj, int version);
// The same for assignments, which a version 6 movie makes as version 7 would.
inline bool HiddenForWrite(uint16_t flags, int version) {
  return HiddenForVersion(flags, version == 6 ? 7 : version);
}

struct Property {
  std::string name;
  Value value;
  uint16_t flags = 0;
  // When it was made on its object: for..in walks an object's properties
  // (an array's elements among them) newest first.
  uint32_t order = 0;
  Object* getter = nullptr;  // addProperty
  Object* setter = nullptr;
  // Nested calls of the getter and setter now running: past the version's
  // limit, reads and writes reach the plain value instead.
  uint8_t getting = 0, setting = 0;
};

// Object.watch: a callback run before the named property is assigned.
struct Watch {
  std::string name;
  Object* callback = nullptr;
  Value userData;
  uint8_t running = 0;  // nested runs, bounded like accessors
};

class Object {
 public:
  virtual ~Object() = default;

  Object* proto = nullptr;  // __proto__
  // The flags of the __proto__ slot every object has: ASSetPropFlags can
  // make it enumerable, deletable, or hide it (and inheritance through it)
  // from some versions.
  uint16_t protoFlags = kDontEnum | kDontDelete;
  std::vector<Object*> interfaces;  // ImplementsOp

  // Own properties only. GetOwn returns false when the object has none by
  // that name. Subclasses add computed properties (array elements, clip
  // properties) by overriding these.
  virtual bool GetOwn(Vm& vm, std::string_view name, Value& out);
  virtual bool SetOwn(Vm& vm, std::string_view name, const Value& v);  // false: read-only
  virtual bool DeleteOwn(Vm& vm, std::string_view name);
  virtual bool HasOwn(Vm& vm, std::string_view name);
  // Enumerable own names, oldest first.
  virtual void OwnKeys(Vm& vm, std::vector<std::string>& out);
  // Reports every object this one refers to, for the collector.
  virtual void Trace(std::vector<Object*>& out);
  virtual bool IsFunction() const { return false; }
  virtual bool IsClip() const { return false; }
  virtual bool IsTextField() const { return false; }
  // A video placed on a timeline: converts to its path as a field does.
  virtual bool IsVideo() const { return false; }
  // A text field whose display object is gone: typeof reads "movieclip".
  virtual bool IsRemovedField() const { return false; }
  // A function call's object of local variables.
  virtual bool IsActivation() const { return false; }
  // The text of Object.prototype.toString for this kind.
  virtual const char* TypeName() const { return "[object Object]"; }

  // The property, even when hidden from the movie's version (see
  // HiddenForVersion); reads through Vm::Get pass hidden ones by.
  Property* FindProperty(Vm& vm, std::string_view name);
  Property* FindAnyProperty(Vm& vm, std::string_view name);
  // Defines (or redefines) a plain property with flags, ignoring read-only.
  void Define(Vm& vm, std::string_view name, const Value& v, uint16_t flags = 0);
  std::size_t PropertyCount() const { return props_.size(); }
  std::vector<Property>& Properties() { return props_; }
  // Drops every own property, and the name index with them.
  void ClearProperties() {
    props_.clear();
    index_.clear();
  }
  // The next creation stamp of this object's properties.
  uint32_t TakeOrder() { return nextOrder_++; }
  // Whether a plain property named __proto__ shadows the link.
  bool ProtoShadowed() const { return index_.count("__proto__") != 0; }

  bool marked = false;
  std::vector<Watch> watches;
  // State a built-in class keeps for this object, never a property a script
  // could read or overwrite (host_state.h); each state may chain another.
  Object* state = nullptr;

 private:
  void Reindex(Vm& vm);
  std::vector<Property> props_;
  std::unordered_map<std::string, uint32_t> index_;
  uint32_t nextOrder_ = 1;
};

// What a native function gives back: a value, a value thrown (it unwinds
// through the script that called), or an abort (a limit was hit, scripts
// stop). A returned Value is a normal completion.
struct Completion {
  enum class Kind : uint8_t { Normal, Throw, Abort };
  Value value;
  Kind kind = Kind::Normal;
  Completion() = default;
  Completion(Value v) : value(std::move(v)) {}  // NOLINT: natives return values
  static Completion Thrown(Value v) {
    Completion c(std::move(v));
    c.kind = Kind::Throw;
    return c;
  }
  static Completion Aborted() {
    Completion c;
    c.kind = Kind::Abort;
    return c;
  }
  bool Normal() const { return kind == Kind::Normal; }
};

// How a function is called: its `this`, the object `super` starts above
// (where the method was found), whether `new` runs it, and the version of
// the movie whose code calls it (a native answers by that movie's rules).
struct CallContext {
  Value self;
  Object* home = nullptr;
  bool isNew = false;
  int version = 0;  // 0 until the machine fills in the running code's version
  // `this` as an object (null for a primitive or a missing one).
  Object* This() const { return self.type == Type::Object ? self.object : nullptr; }
};

// A value call's arguments, and a native function's signature.
using Args = std::span<const Value>;
using NativeFn = Completion (*)(Vm& vm, const CallContext& call, Args args);

// Code of a script function; shared by every closure of one definition.
class DecodedBlock;

struct FunctionCode {
  std::shared_ptr<DecodedBlock> body;  // decoded, holding its bytes
  std::vector<std::string> params;
  std::vector<uint8_t> paramRegisters;  // DefineFunction2: 0 = by name
  uint8_t registerCount = 4;
  uint16_t flags = 0;  // DefineFunction2 preload/suppress flags
  bool v2 = false;
  std::string name;
  std::shared_ptr<const std::vector<std::string>> constants;
  int version = 0;
};

class FunctionObject : public Object {
 public:
  // SWF 5 movies do not see a function's link to Function.prototype
  // (functions inherit nothing there) unless ASSetPropFlags clears the bit.
  FunctionObject() { protoFlags = kDontEnum | kDontDelete | kSince6; }
  bool IsFunction() const override { return true; }
  const char* TypeName() const override { return "[type Function]"; }
  void Trace(std::vector<Object*>& out) override;

  NativeFn native = nullptr;
  // Makes a fresh instance for `new` (built-in classes whose instances are
  // special, like Array); null for a plain object.
  Object* (*construct)(Vm& vm) = nullptr;
  std::shared_ptr<const FunctionCode> code;
  std::vector<Object*> scope;  // the closure's scope chain, outermost first
  Object* clip = nullptr;      // the timeline the function was defined on
};

class ArrayObject : public Object {
 public:
  bool GetOwn(Vm& vm, std::string_view name, Value& out) override;
  bool SetOwn(Vm& vm, std::string_view name, const Value& v) override;
  bool DeleteOwn(Vm& vm, std::string_view name) override;
  bool HasOwn(Vm& vm, std::string_view name) override;
  void OwnKeys(Vm& vm, std::vector<std::string>& out) override;
  void Trace(std::vector<Object*>& out) override;
  // Grows or shrinks within the heap's element cap.
  void Resize(Vm& vm, double length);
  // The length scripts see: a 32-bit integer that may be negative or past
  // the element cap, when the elements then hold only what fits.
  double Length() const { return lengthApart ? lengthValue : static_cast<double>(elements.size()); }
  void SetLength(Vm& vm, int32_t length);
  // An index never set (grown over by length, or deleted) reads as
  // undefined but is no property: it is marked by the boolean field.
  static Value Hole();
  static bool IsHole(const Value& v) { return v.IsUndefined() && v.boolean; }

  // Element i as a property: PutAt assigns it (a hole becomes a new
  // property, newest of all; a read-only one keeps its value), EraseAt
  // deletes it unless it is protected. Both false when refused.
  bool PutAt(Vm& vm, std::size_t i, const Value& v);
  bool EraseAt(std::size_t i);
  // The flags ASSetPropFlags gave element i (0 past the end).
  uint16_t ElementFlags(std::size_t i) const { return i < slots_.size() ? slots_[i].flags : 0; }
  void SetElementFlags(std::size_t i, uint16_t flags);
  // Brings the per-element stamps in line with elements after it was
  // changed directly: elements added so are newest, in index order.
  void Sync();

  std::vector<Value> elements;
  uint16_t lengthFlags = kDontEnum | kDontDelete;  // of its own `length`
  bool lengthApart = false;                        // the length is lengthValue, not elements.size()
  int32_t lengthValue = 0;

 private:
  struct Slot {
    uint32_t order = 0;
    uint16_t flags = 0;
  };
  std::vector<Slot> slots_;  // one for each element
};

// Boolean, Number and String instances, and Date (whose value is its time).
class BoxObject : public Object {
 public:
  void Trace(std::vector<Object*>& out) override;
  Value primitive;
  bool isDate = false;
};

// A 0-based array index named by a property name, or -1.
int64_t ArrayIndex(std::string_view name);

}  // namespace orrivel::swf::avm1
