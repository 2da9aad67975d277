#include "swf/avm1/interpreter.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "swf/avm1/clip_object.h"
#include "swf/avm1/interpreter_internal.h"
#include "swf/avm1/display_host.h"

namespace orrivel::swf::avm1 {

namespace {

// DefineFunction2 flags.
enum : uint16_t {
  kPreloadThis = 0x0001,
  kSuppressThis = 0x0002,
  kPreloadArguments = 0x0004,
  kSuppressArguments = 0x0008,
  kPreloadSuper = 0x0010,
  kSuppressSuper = 0x0020,
  kPreloadRoot = 0x0040,
  kPreloadParent = 0x0080,
  kPreloadGlobal = 0x0100,
};

// Every frame of a movie is loaded at once, so WaitForFrame only waits for a
// frame (0-based) past the most a timeline can hold.
constexpr int32_t kMaxLoadedFrame = 16000;

// WaitForFrame2's frame: a 1-based number written in digits (wrapping at 32
// bits); anything else names a label or nothing, which counts as loaded.
bool FrameLoaded(Vm& vm, const Value& v) {
  const std::string s = vm.ToString(v);
  if (s.empty() || s.size() > 32 ||
      !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return true;
  uint32_t n = 0;
  for (char c : s) n = n * 10 + static_cast<uint32_t>(c - '0');
  return static_cast<int32_t>(n - 1) <= kMaxLoadedFrame;
}

// The action at the activation's position, decoded once where the block
// keeps it, else into `scratch`.
const Action& ActionAt(Activation& a, Action& scratch) {
  if (const Action* kept = a.block->Find(a.pc)) return *kept;
  scratch = DecodeAction(a.code, a.pc);
  return scratch;
}

// Steps over the next count actions (WaitForFrame's skip).
void SkipActions(Activation& a, int count) {
  Action scratch;
  for (int i = 0; i < count && a.pc < a.code.size(); ++i) a.pc = ActionAt(a, scratch).next;
}

Flow WaitForFrame(Activation& a, const Action& act) {
  if (act.frame > kMaxLoadedFrame) SkipActions(a, act.skip);
  return Flow::Normal;
}

Flow WaitForFrame2(Activation& a, const Action& act) {
  if (!FrameLoaded(a.vm, a.Pop())) SkipActions(a, act.skip);
  return Flow::Normal;
}

Flow Jump(Activation& a, const Action& act) {
  a.pc = act.target;
  return Flow::Normal;
}

Flow If(Activation& a, const Action& act) {
  if (a.vm.ToBoolean(a.Pop())) a.pc = act.target;
  return Flow::Normal;
}

Flow Return(Activation& a, const Action&) {
  a.result = a.Pop();
  return Flow::Return;
}

Flow Throw(Activation& a, const Action&) {
  a.vm.Throw(a.Pop());
  return Flow::Throw;
}

Flow Nothing(Activation&, const Action&) { return Flow::Normal; }

Flow With(Activation& a, const Action& act) {
  Vm& vm = a.vm;
  const Value obj = a.Pop();
  const std::size_t next = act.next, end = act.target;
  Object* o = obj.IsObject() ? obj.object : vm.ToObject(obj);
  // Nested blocks count as calls: the native stack is finite.
  const DepthScope depth(vm);
  if (!o || a.scope.size() >= 15 || !depth.Entered()) {
    a.pc = end;
    return Flow::Normal;
  }
  a.scope.push_back(o);
  ++a.withs;
  const Flow f = Run(a, next, end);
  --a.withs;
  a.scope.pop_back();
  if (f != Flow::Normal) return f;
  if (a.pc >= next && a.pc <= end) a.pc = end;
  return Flow::Normal;
}

// Runs the finally block with the pending throw and result put aside; the
// flow is the block's own when it leaves by return, throw or abort.
Flow RunFinally(Activation& a, const TryHeader& t, std::size_t& after) {
  Vm& vm = a.vm;
  const bool wasThrowing = vm.Throwing();
  const Value pendingThrow = vm.Catch();
  const Value pendingResult = a.result;
  a.pc = t.catchEnd;
  const Flow f = Run(a, t.catchEnd, t.finallyEnd);
  if (f != Flow::Normal) return f;
  if (wasThrowing) vm.Throw(pendingThrow);
  a.result = pendingResult;
  if (a.pc < t.catchEnd || a.pc > t.finallyEnd) after = a.pc;
  return Flow::Normal;
}

Flow Try(Activation& a, const Action& act) {
  Vm& vm = a.vm;
  const TryHeader& t = act.data->tryBlock;
  const std::size_t next = act.next;
  const DepthScope depth(vm);
  if (!depth.Entered()) {
    vm.Abort();
    return Flow::Abort;
  }
  const std::size_t depthAtTry = a.stack.size();
  Flow flow = Run(a, next, t.tryEnd);
  // Leaving a block by a jump to the start of finally (compilers do that
  // to skip the catch) is the normal way out, not a jump past the finally.
  const auto inside = [&](std::size_t from) { return a.pc >= from && a.pc <= t.catchEnd; };
  std::size_t after = inside(next) ? t.finallyEnd : a.pc;
  if (flow == Flow::Throw && (t.flags & kTryHasCatch)) {
    const Value error = vm.Catch();
    // What the try block pushed is dropped; what it popped stays popped.
    if (a.stack.size() > depthAtTry) a.stack.resize(depthAtTry);
    if (t.flags & kTryCatchInRegister) {
      if (Value* r = a.Register(t.catchRegister)) *r = error;
    } else {
      SetVariable(a, t.catchName, error);
    }
    a.pc = t.tryEnd;
    flow = Run(a, t.tryEnd, t.catchEnd);
    after = inside(t.tryEnd) ? t.finallyEnd : a.pc;
  }
  if ((t.flags & kTryHasFinally) && flow != Flow::Abort) {
    const Flow f = RunFinally(a, t, after);
    if (f != Flow::Normal) return f;
  }
  a.pc = after;
  return flow;
}

OpTable MakeTable() {
  OpTable t;
  for (OpHandler& h : t.handlers) h = Nothing;  // unknown actions are skipped by their length
  AddArithmeticOps(t);
  AddVariableOps(t);
  AddCallOps(t);
  AddTimelineOps(t);
  AddControlOps(t);
  return t;
}

const OpTable kTable = MakeTable();

// Whether the clip of a frame or event block has left the stage since the
// block began.
bool ClipLeftStage(Activation& a) {
  a.removalsSeen = a.vm.display->Removals();
  if (!a.watchClip) return false;
  return a.vm.display->LeftStage(a.liveClip);
}

// The version of the movie a clip's code comes from: a movie loaded into a
// clip keeps its own.
int CodeVersion(Vm& vm, ClipObject* clip) {
  const int v = clip ? clip->MovieVersion() : 0;
  return v > 0 ? v : vm.version;
}

}  // namespace

void AddControlOps(OpTable& t) {
  t.Set(Op::Jump, Jump);
  t.Set(Op::If, If);
  t.Set(Op::Return, Return);
  t.Set(Op::Throw, Throw);
  t.Set(Op::With, With);
  t.Set(Op::Try, Try);
  t.Set(Op::WaitForFrame, WaitForFrame);
  t.Set(Op::WaitForFrame2, WaitForFrame2);
}

Flow Run(Activation& a, std::size_t begin, std::size_t end) {
  Vm& vm = a.vm;
  // Read after every action: kept at hand rather than found through vm.
  const DisplayHost* display = vm.display;
  Action scratch;
  while (a.pc >= begin && a.pc < end) {
    if (!vm.CountStep()) return Flow::Abort;
    const Action& act = ActionAt(a, scratch);
    if (act.op == Op::Truncated) return Flow::Normal;
    if (act.op == Op::End) {
      a.pc = a.code.size();
      return Flow::Normal;
    }
    a.pc = act.next;
    const Flow f = kTable.handlers[static_cast<uint16_t>(act.op)](a, act);
    if (f != Flow::Normal) return f;
    if (display && display->Removals() != a.removalsSeen && ClipLeftStage(a)) {
      a.pc = a.code.size();
      return Flow::Normal;
    }
    if (vm.Throwing()) return Flow::Throw;  // from a function called by this action
  }
  return Flow::Normal;
}

void RunTopLevel(Vm& vm, std::span<const uint8_t> code, ClipObject* clip, bool stopsWithClip) {
  Activation a(vm);
  a.block = vm.DecodedBlockOf(code);
  a.code = a.block->Code();
  a.version = CodeVersion(vm, clip);
  a.scope = {vm.global, clip};
  a.clipSlot = 1;
  a.base = a.target = clip;
  a.self = Value::Obj(clip);
  a.locals = nullptr;
  a.registers.resize(4);
  const DepthScope depth(vm);
  if (!depth.Entered()) {
    vm.Abort();
    return;
  }
  a.stack = std::exchange(vm.Run().leftovers, {});
  a.constants = vm.Run().lastPool;
  if (vm.display && stopsWithClip) {
    a.removalsSeen = vm.display->Removals();
    a.liveClip = vm.display->Watch(clip);
    a.watchClip = !a.liveClip.expired();
  }
  // The rules are those of the code's own movie, even in a movie loaded into
  // one of another version.
  Flow f;
  {
    const CodeScope scope(vm, a.version, clip);
    FunctionObject* const outer = std::exchange(vm.Run().runningFunction, nullptr);
    std::vector<Value>* const outerRegisters = std::exchange(vm.Run().blockRegisters, &a.registers);
    f = Run(a, 0, a.code.size());
    vm.Run().runningFunction = outer;
    vm.Run().blockRegisters = outerRegisters;
  }
  vm.Run().lastPool = a.constants;
  if (f != Flow::Abort) a.LeaveStack();
  if (f == Flow::Throw) {
    // The player reports what frame or event code threw and nobody caught.
    const Value thrown = vm.Catch();
    if (vm.traceSink) vm.traceSink("Warning: Uncaught exception, " + vm.ToString(thrown));
  }
}

namespace {

// DefineFunction2's registers: this, arguments, super, _root, _parent and
// _global in that order, each when asked for; the rest go to locals.
void Preload(Activation& a, const FunctionCode& code, Args args, Object* locals) {
  Vm& vm = a.vm;
  // A preloaded `this` is not found by name either: the name falls
  // through the scope chain to the timeline.
  a.suppressThis = (code.flags & (kSuppressThis | kPreloadThis)) != 0;
  a.registers.resize(std::max<std::size_t>(code.registerCount, 1));
  std::size_t r = 1;
  const auto preload = [&](const Value& v) {
    if (r < a.registers.size()) a.registers[r] = v;
    ++r;
  };
  // Suppressing this or super still takes their register, left empty;
  // arguments is loaded even when also suppressed.
  if (code.flags & kPreloadThis) preload((code.flags & kSuppressThis) ? Value{} : a.self);
  if (code.flags & kPreloadArguments)
    preload(Value::Obj(MakeArguments(vm, args, a.callee, a.caller)));
  if (code.flags & kPreloadSuper) {
    preload((code.flags & kSuppressSuper) ? Value{} : Value::Obj(MakeSuper(vm, a.self, a.home)));
  }
  if (code.flags & kPreloadRoot) preload(Value::Obj(vm.RootOf(a.base)));
  if (code.flags & kPreloadParent) {
    // The root has no parent, and then no register is used.
    Object* parent = a.base ? a.base->Parent(vm) : nullptr;
    if (parent) preload(Value::Obj(parent));
  }
  if (code.flags & kPreloadGlobal) preload(Value::Obj(vm.global));
  if (!(code.flags & (kSuppressArguments | kPreloadArguments)))
    locals->Define(vm, "arguments", Value::Obj(MakeArguments(vm, args, a.callee, a.caller)));
  if (!(code.flags & (kSuppressSuper | kPreloadSuper)) && a.home)
    locals->Define(vm, "super", Value::Obj(MakeSuper(vm, a.self, a.home)));
}

}  // namespace

Value CallScript(Vm& vm, FunctionObject* fn, const CallContext& call, Args args) {
  const FunctionCode& code = *fn->code;
  const Value& self = call.self;
  Object* const home = call.home;
  Activation a(vm);
  a.block = code.body;
  a.code = a.block->Code();
  a.scope = fn->scope;
  Object* locals = vm.New<ActivationObject>();
  locals->proto = nullptr;
  a.scope.push_back(locals);
  a.locals = locals;
  a.base = static_cast<ClipObject*>(fn->clip);
  int runVersion = code.version;
  if (call.version > 0 && call.version < 6 && vm.Run().target) {
    // Code of SWF 5 and older calls a function without its closure: it sees
    // the timeline that calls it, or the clip it is called on. (A call that
    // the player makes, such as a conversion's, keeps the closure.)
    const bool onClip = self.IsObject() && self.object->IsClip();
    a.base = onClip ? static_cast<ClipObject*>(self.object) : vm.Run().target;
    a.scope = {vm.global, a.base, locals};
    // Run on the caller's timeline, it also reads by the caller's version.
    if (!onClip) runVersion = std::min(runVersion, call.version);
  }
  a.target = a.base;
  a.self = self.type == Type::Null ? Value::Obj(a.base) : self;  // undefined stays
  a.constants = code.constants;
  a.version = runVersion;
  a.callee = fn;
  a.caller = vm.Run().runningFunction;
  a.home = home;
  if (code.v2) {
    // Registers past the function's own are those of the running block.
    a.outerRegisters = vm.Run().blockRegisters;
    Preload(a, code, args, locals);
  } else {
    a.registers.resize(4);
    locals->Define(vm, "arguments", Value::Obj(MakeArguments(vm, args, fn, a.caller)));
    // SWF 5 knows no super.
    if (home && code.version >= 6)
      locals->Define(vm, "super", Value::Obj(MakeSuper(vm, a.self, home)));
  }
  for (std::size_t i = 0; i < code.params.size(); ++i) {
    const Value v = i < args.size() ? args[i] : Value{};
    const uint8_t reg = code.paramRegisters[i];
    if (reg != 0 && reg < a.registers.size()) {
      a.registers[reg] = v;
    } else {
      locals->Define(vm, code.params[i], v);
    }
  }
  Flow f;
  {
    const CodeScope scope(vm, a.version, a.target);
    FunctionObject* const outer = std::exchange(vm.Run().runningFunction, fn);
    f = Run(a, 0, a.code.size());
    vm.Run().runningFunction = outer;
  }
  if (f != Flow::Abort) a.LeaveStack();
  if (f == Flow::Return) return a.result;
  return {};
}

}  // namespace orrivel::swf::avm1
