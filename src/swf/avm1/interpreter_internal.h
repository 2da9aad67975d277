// What the interpreter's files share: a running block's state, the handler
// of each action, and the lookups several groups of actions need.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "swf/avm1/action_reader.h"
#include "swf/avm1/decoded_block.h"
#include "swf/avm1/object.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf {
class TimelineInstance;
}

namespace orrivel::swf::avm1 {

class ClipObject;

enum class Flow { Normal, Return, Throw, Abort };

// What the interpreter carries from one block or call to the next.
struct RunState {
  // The script function running now, for arguments.caller (null in frame code).
  FunctionObject* runningFunction = nullptr;
  // All code shares one stack: what a block or a function leaves on it
  // reaches the code that runs next (the caller, or the next block).
  std::vector<Value> leftovers;
  // The constant pool the last top-level block ended with; the next starts with it.
  std::shared_ptr<const std::vector<std::string>> lastPool;
  ClipObject* target = nullptr;  // the running code's target clip (setTarget changes it)
  // The four registers of the frame or event code running now: a
  // DefineFunction2 function reaches them past its own.
  std::vector<Value>* blockRegisters = nullptr;
};

// Runs code of one movie's version on a target clip; both are put back
// when it ends.
class CodeScope {
 public:
  CodeScope(Vm& vm, int version, ClipObject* target)
      : vm_(vm), version_(vm.version), target_(vm.Run().target) {
    vm.version = version;
    vm.Run().target = target;
  }
  ~CodeScope() {
    vm_.version = version_;
    vm_.Run().target = target_;
  }
  CodeScope(const CodeScope&) = delete;
  CodeScope& operator=(const CodeScope&) = delete;

 private:
  Vm& vm_;
  int version_;
  ClipObject* target_;
};

constexpr std::size_t kMaxStack = 1u << 14;

// `super` inside a method: members come from above the method's home, and
// calls keep the original `this`.
class SuperObject : public Object {
 public:
  void Trace(std::vector<Object*>& out) override {
    Object::Trace(out);
    if (self.object) out.push_back(self.object);
    if (home) out.push_back(home);
  }
  Value self;
  Object* home = nullptr;
};

// The object of a call's local variables. A function found there and
// called by its plain name gets it as `this`.
class ActivationObject : public Object {
 public:
  bool IsActivation() const override { return true; }
};

struct Activation {
  Vm& vm;
  std::shared_ptr<DecodedBlock> block;
  std::span<const uint8_t> code;  // the block's bytes
  std::size_t pc = 0;
  std::vector<Object*> scope;  // outermost first
  int clipSlot = -1;           // the scope entry a tell-target replaces
  std::size_t withs = 0;       // the innermost scope entries pushed by With
  ClipObject* base = nullptr;  // the clip the code belongs to
  ClipObject* target = nullptr;
  Value self;
  Object* locals = nullptr;  // where DefineLocal and new variables go
  std::vector<Value> registers;
  std::vector<Value>* outerRegisters = nullptr;  // reached past the end of registers
  std::shared_ptr<const std::vector<std::string>> constants;
  std::vector<Value> stack;
  FunctionObject* callee = nullptr;
  FunctionObject* caller = nullptr;  // the script function that called, if any
  // A frame or event block ends when a goto or removal takes its clip off
  // the stage; unset for functions and blocks of clips already removed.
  std::weak_ptr<TimelineInstance> liveClip;
  bool watchClip = false;
  uint64_t removalsSeen = 0;
  Object* home = nullptr;
  bool suppressThis = false;
  int version = 0;  // of the movie the code comes from
  Value result;

  explicit Activation(Vm& v) : vm(v) {}

  // Register i, or null when there is none by that number.
  Value* Register(std::size_t i) {
    if (i < registers.size()) return &registers[i];
    if (outerRegisters && i < outerRegisters->size()) return &(*outerRegisters)[i];
    return nullptr;
  }

  Value Pop() {
    if (stack.empty()) return {};
    Value v = std::move(stack.back());
    stack.pop_back();
    return v;
  }
  // What a finished call left on the shared stack goes below its result.
  void TakeLeftovers() {
    for (Value& v : vm.Run().leftovers) Push(std::move(v));
    vm.Run().leftovers.clear();
  }
  // The rest of this stack is left for whoever runs next.
  void LeaveStack() {
    for (Value& v : stack) vm.Run().leftovers.push_back(std::move(v));
    stack.clear();
    if (vm.Run().leftovers.size() > kMaxStack)
      vm.Run().leftovers.erase(vm.Run().leftovers.begin(), vm.Run().leftovers.end() - kMaxStack);
  }
  void Push(Value v) {
    // Copies of long text count against the frame's budget too.
    if (v.type == Type::String) vm.Charge(v.string.size());
    // A full stack drops its oldest values an eighth at a time, so a script
    // that only pushes costs a few moves per push, not the whole stack.
    if (stack.size() >= kMaxStack) stack.erase(stack.begin(), stack.begin() + kMaxStack / 8);
    stack.push_back(std::move(v));
  }
};

// One action's work. The action's operands were decoded when the block was.
using OpHandler = Flow (*)(Activation& a, const Action& act);
// Handlers by Op; every entry is set (unknown actions do nothing).
struct OpTable {
  OpHandler handlers[0x102] = {};
  void Set(Op op, OpHandler h) { handlers[static_cast<uint16_t>(op)] = h; }
};
// Each group of actions fills its entries (ops_*.cpp, interpreter.cpp).
void AddArithmeticOps(OpTable& t);
void AddVariableOps(OpTable& t);
void AddCallOps(OpTable& t);
void AddControlOps(OpTable& t);
void AddTimelineOps(OpTable& t);

// Runs [begin, end) of the block; the flow says how it ended.
Flow Run(Activation& a, std::size_t begin, std::size_t end);

// Shared lookups.
bool HasProperty(Vm& vm, Object* o, std::string_view name);
bool HasPathChars(std::string_view name);
bool LookupName(Activation& a, std::string_view name, Value& out);
Value GetVariable(Activation& a, const std::string& name);
void SetVariable(Activation& a, const std::string& name, const Value& v);
Object* CallFunctionThis(Activation& a, const std::string& name);
ClipObject* TimelineTarget(Activation& a);
// A frame given by an object is named by its text (toString, not valueOf).
Value FrameValue(Activation& a, const Value& v);
inline double Num(Activation& a, const Value& v) { return a.vm.ToNumber(v); }
// SWF 4 code prints booleans as 1 and 0.
std::string TextOf(Activation& a, const Value& v);
std::vector<Value> PopArgs(Activation& a);
Object* MakeArguments(Vm& vm, Args args, FunctionObject* callee, FunctionObject* caller);
Object* MakeSuper(Vm& vm, const Value& self, Object* home);
bool IsInstance(Vm& vm, const Value& obj, const Value& cls);

}  // namespace orrivel::swf::avm1
