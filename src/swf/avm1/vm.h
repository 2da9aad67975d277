// The script machine of one movie: the heap and its collector, the global
// object and the built-in classes, conversions that depend on the movie's
// version, and the entry points that run action blocks and call functions.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "swf/avm1/input_state.h"
#include "swf/avm1/object.h"
#include "swf/avm1/outgoing_request.h"
#include "swf/avm1/value.h"

namespace orrivel::swf {
struct Movie;
class TimelineInstance;  // opaque: only the display host looks inside
}  // namespace orrivel::swf

namespace orrivel::swf::avm1 {

class ClipObject;
class DisplayHost;
class HostState;
class BlockCache;
struct RunState;
class DecodedBlock;

struct VmLimits {
  uint64_t stepsPerFrame = 2'000'000;  // actions run per frame before scripts stop
  int callDepth = 256;
  std::size_t maxObjects = 1u << 19;   // live objects the heap may hold
  std::size_t maxElements = 1u << 20;  // array length and string size cap
  // Text and elements made per frame, and held in live objects: over either,
  // scripts stop (for the frame, or for good when the live cap is reached).
  std::size_t bytesPerFrame = 64u << 20;
  std::size_t liveBytes = 256u << 20;
  // Bitmap pixels made per frame, kept apart: a movie may make several
  // bitmaps of the largest size while it starts.
  std::size_t pixelBytesPerFrame = 256u << 20;
};

class Vm {
 public:
  // display: what the movie shows (null for a machine with no display);
  // movie: the first movie, whose version and stage the built-ins read.
  Vm(DisplayHost* display, const Movie* movie, int version, VmLimits limits = {});
  ~Vm();
  Vm(const Vm&) = delete;
  Vm& operator=(const Vm&) = delete;

  // ---- Running code -------------------------------------------------------
  // Runs a frame script (or a clip event's or button's block) on a clip. A
  // block stops where its clip leaves the stage, unless stopsWithClip is
  // false.
  void RunBlock(std::span<const uint8_t> code, ClipObject* clip, bool stopsWithClip = true);
  // The decoded actions of a block, kept for the next run of the same bytes.
  std::shared_ptr<DecodedBlock> DecodedBlockOf(std::span<const uint8_t> code);
  Value Call(const Value& fn, const CallContext& call, Args args);
  Value Call(const Value& fn, const Value& self, Args args) {
    return Call(fn, CallContext{self}, args);
  }
  // Calls obj[name](args) when it is a function; false when there is none.
  // The player's own calls (events, callbacks) never ask __resolve.
  bool CallMethod(Object* obj, std::string_view name, Args args, Value* result = nullptr);
  Value Construct(Object* ctor, Args args);
  // The links `new ctor` leaves on its instance (__constructor__, constructor).
  void LinkInstance(Object* obj, Object* ctor);
  // Called by a native constructor that refuses its arguments: `new` then
  // gives undefined instead of the object (new BitmapData(0, 0)).
  void RefuseConstruct() { constructRefused_ = true; }
  // Whether the running script function was called by `new` (ASnative 2,0).
  bool InNew() const { return inNew_; }
  // A value thrown and not caught yet: it unwinds through the running
  // scripts and the natives that called them.
  void Throw(Value v) {
    thrown_ = std::move(v);
    throwing_ = true;
  }
  bool Throwing() const { return throwing_; }
  // Ends the unwinding and gives the value (undefined when none was thrown).
  Value Catch() {
    throwing_ = false;
    return std::exchange(thrown_, Value{});
  }
  // Starts a new frame's budget of steps; clears an abort.
  void NewFrame();
  // The script that ran out of steps was stopped; later code still runs.
  bool Aborted() const { return aborted_; }
  // Stops the running scripts (a limit was hit).
  void Abort() { aborted_ = true; }
  // Counts one step of the frame's budget: false, and scripts stop, once
  // it is spent.
  bool CountStep() {
    if (aborted_ || ++steps_ > limits.stepsPerFrame) aborted_ = true;
    return !aborted_;
  }
  uint64_t StepsThisFrame() const { return steps_; }

  // ---- Objects ------------------------------------------------------------
  template <typename T>
  T* New() {
    auto owned = std::make_unique<T>();
    T* raw = owned.get();
    Adopt(std::move(owned));
    return raw;
  }
  Object* NewObject();
  ArrayObject* NewArray(std::vector<Value> elements = {});
  FunctionObject* NewNative(NativeFn fn, Object* prototype = nullptr);
  FunctionObject* NewFunction();  // a script function's object, with its prototype
  // Gives a function its own `constructor`, Function (once Function exists).
  void MarkMadeByFunction(Object* f);
  // Adds a native method to obj (not enumerable).
  void Method(Object* obj, std::string_view name, NativeFn fn);
  // Frees every object not reachable from the roots; between frames only.
  void Collect();
  std::size_t HeapSize() const { return heap_.size(); }
  // Counts bytes of text or elements a script makes; stops scripts over the
  // frame's budget. Returns false when the caller should not make them.
  bool Charge(std::size_t bytes);
  // The same for a bitmap's pixels, against their own budget.
  bool ChargePixels(std::size_t bytes);
  // Memory cap reached: allocation still works but scripts are stopped.
  bool OverBudget() const;

  // ---- Properties and conversions ------------------------------------------
  // The key a name is stored under: lower case before version 7.
  std::string Key(std::string_view name) const;
  bool NamesEqual(std::string_view a, std::string_view b) const;
  Value Get(Object* obj, std::string_view name);
  // What a read of a property no object in the chain has gives: __resolve's
  // answer, except during a plain read.
  Value ResolveMissing(Object* obj, std::string_view name);
  // A read that never asks __resolve (conversions looking for valueOf and
  // toString, the wrapper classes of primitives).
  Value GetPlain(Object* obj, std::string_view name);
  Value GetMember(const Value& obj, std::string_view name);
  void Set(Object* obj, std::string_view name, const Value& v);
  void SetMember(const Value& obj, std::string_view name, const Value& v);
  // Runs the addProperty getter or setter of owner's property `name` on
  // self, guarded against recursion as the player guards it.
  Value CallGetter(Object* owner, Object* self, std::string_view name);
  void CallSetter(Object* owner, Object* self, std::string_view name, const Value& v);
  // Nested accessor or watcher runs allowed: none before SWF 7.
  int AccessorDepth() const { return version >= 7 ? 65 : 1; }
  double ToNumber(const Value& v);
  std::string ToString(const Value& v);
  bool ToBoolean(const Value& v);
  // What valueOf gives: an object stays an object (then numbers are NaN
  // and text comes from toString); undefined when there is no valueOf.
  Value ToPrimitive(const Value& v);
  // What o.valueOf() gives (undefined when it has none).
  Value ValueOf(Object* o);
  Object* ToObject(const Value& v);
  std::string TypeOf(const Value& v);
  bool InstanceOf(Object* obj, Object* ctor);
  bool LooseEquals(const Value& a, const Value& b);
  bool StrictEquals(const Value& a, const Value& b);
  // a < b: true, false, or undefined when either is NaN.
  Value Less(const Value& a, const Value& b);

  // ---- Host ---------------------------------------------------------------
  // The version of the running code's movie (the first movie's between scripts).
  int version;
  // The first movie's version. Names compare by its rule in every movie (an
  // object keeps one key for each name).
  int rootVersion;
  DisplayHost* display;
  const Movie* movie;
  VmLimits limits;
  std::function<void(const std::string&)> traceSink;
  std::function<void(const std::string&)> refusalSink;  // refused network and program calls
  std::function<void()> quitMovie;                      // fscommand:quit
  std::function<void()> quitMovieAfterFrame;            // fscommand("quit") as a call
  double timeMs = 0;                                    // getTimer
  // Hears of each request a movie makes of the outside world (none is sent).
  std::function<void(const OutgoingRequest&)> requestSink;
  // Date's clock: this plus timeMs is "now" (the wall clock at the start,
  // unless the host fixes it for repeatable runs).
  double dateBaseMs = 0;
  uint32_t rngState = 0x2545F491u;
  double Random();  // 0 <= r < 1, repeatable

  Object* global = nullptr;
  Object* objectProto = nullptr;
  Object* functionProto = nullptr;
  Object* arrayProto = nullptr;
  Object* stringProto = nullptr;
  Object* numberProto = nullptr;
  Object* booleanProto = nullptr;
  Object* dateProto = nullptr;
  Object* clipProto = nullptr;
  Object* buttonProto = nullptr;  // from version 6; earlier buttons are plain clips
  Object* errorProto = nullptr;
  Object* keyObject = nullptr;
  Object* mouseObject = nullptr;
  Object* stageObject = nullptr;
  Object* selectionObject = nullptr;
  Object* textFieldProto = nullptr;
  Object* textFormatProto = nullptr;
  // The built-in classes' own state (host_state.h); made on first use.
  HostState* hostState = nullptr;

  // setInterval / setTimeout timers, fired between frames.
  struct Timer {
    int id = 0;
    Value target;  // function, or object with a method name
    std::string method;
    std::vector<Value> args;
    double intervalMs = 0, dueMs = 0;
    bool once = false;
  };
  std::vector<Timer> timers;
  int nextTimerId = 1;
  void RunTimers();

  // Files scripts asked for (XML.load, LoadVars.load, loadVariables ...),
  // answered after the frame's scripts by RunPendingLoads (movie_loader.h).
  struct PendingLoad {
    int kind = 0;  // a LoadKind (loader.h)
    Value target;  // the XML or LoadVars object, or the clip
    Value extra;   // a MovieClipLoader
    std::string url;
  };
  std::vector<PendingLoad> loads;
  // Reads a file for a URL relative to the movie into `out`; false when the
  // URL is refused or the file is missing (none is read when unset).
  std::function<bool(const std::string& url, std::string& out)> readFile;
  // The player lights up what Selection.setFocus focused (null: nothing).
  std::function<void(const std::shared_ptr<TimelineInstance>&)> focusHighlight;

  // The display's clips, through the display host (null without one).
  ClipObject* ClipFor(const std::shared_ptr<TimelineInstance>& t);
  ClipObject* RootClip();
  // What _root means to code in `clip`: the root of the level it is in.
  ClipObject* RootOf(ClipObject* clip);
  // "_level0", "_level1" ...: the root of a level; null when none is loaded.
  ClipObject* LevelClip(std::string_view name);
  // The level whose root is `top` (0 for the main timeline).
  int LevelOf(const TimelineInstance* top) const;
  // Object.registerClass: the class of each linkage name, by the version of
  // the movie that registered it (names ignore case before version 7).
  std::map<std::pair<int, std::string>, Object*> classByName;
  // Each name as registered, with the order of its registration.
  std::map<std::pair<int, std::string>, std::pair<std::string, uint64_t>> classSpelling;
  static std::pair<int, std::string> ClassKey(const swf::Movie& movie, std::string_view name);
  // The movie whose exports the running code names (attachMovie, registerClass).
  const swf::Movie& CodeMovie();
  bool cursorHidden = false;
  InputState input;  // keys, pointer, drag and focus, as the player reports them

  // Set once version 8 code has asked for a clip's bounds: from then on the
  // player maps empty bounds through single precision for every movie.
  bool singlePrecisionBounds = false;

  // ---- Run state ------------------------------------------------------------
  // The running code's target clip (null between scripts).
  ClipObject* CurrentTarget() const;
  // Scripts stopped for good: the live objects outgrew the memory cap.
  bool Disabled() const { return disabled_; }
  // What the interpreter carries between blocks and calls; only the
  // interpreter's files see inside (interpreter_internal.h).
  RunState& Run() { return *run_; }

 private:
  void Adopt(std::unique_ptr<Object> obj);
  void MarkRoots(std::vector<Object*>& work);
  std::vector<std::unique_ptr<Object>> heap_;
  // The objects the built-in classes were installed as: the first ones of
  // the heap, which the collector keeps (it frees in place, keeping order).
  std::size_t builtins_ = 0;
  std::unique_ptr<BlockCache> blocks_;
  std::unique_ptr<RunState> run_;
  bool disabled_ = false;  // held memory over the cap: scripts no longer run
  std::size_t bytesThisFrame_ = 0;
  std::size_t pixelBytesThisFrame_ = 0;
  friend class DepthScope;

 public:
  // How many calls deep the running script is.
  int CallDepth() const { return depth_; }

 private:
  uint64_t steps_ = 0;
  int depth_ = 0;
  bool aborted_ = false;
  int plainLookups_ = 0;
  bool constructRefused_ = false;
  bool inNew_ = false;
  Value thrown_;
  bool throwing_ = false;
};

// One more level of calls or nested blocks while it lives. At the limit
// nothing is entered (Entered() is false) and the caller stops.
class DepthScope {
 public:
  explicit DepthScope(Vm& vm) : vm_(vm), entered_(vm.depth_ < vm.limits.callDepth) {
    if (entered_) ++vm.depth_;
  }
  ~DepthScope() {
    if (entered_) --vm_.depth_;
  }
  DepthScope(const DepthScope&) = delete;
  DepthScope& operator=(const DepthScope&) = delete;
  bool Entered() const { return entered_; }

 private:
  Vm& vm_;
  bool entered_;
};

// Argument helpers for natives.
inline Value Arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value{}; }

}  // namespace orrivel::swf::avm1
