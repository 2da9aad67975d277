#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;
using test::PushArg;
using test::Undefined;

TEST(NumberToStringTest, FormatsAsThePlayerPrints) {
  const struct {
    double n;
    const char* text;
  } cases[] = {{0, "0"},
               {-0.0, "0"},
               {NAN, "NaN"},
               {-INFINITY, "-Infinity"},
               {1e21, "1e+21"},
               {1.5e-7, "1.5e-7"},
               {1.0 / 3, "0.333333333333333"},
               {123456789012345, "123456789012345"},
               {1e15, "1e+15"},
               {-2.5, "-2.5"},
               {0.1 + 0.2, "0.3"},
               {4294967296, "4294967296"}};
  for (const auto& c : cases) EXPECT_EQ(NumberToString(c.n), c.text) << c.n;
}

TEST(NumberToStringTest, RadixTextOfIntegersAndOfNoNumber) {
  const struct {
    double n;
    int radix;
    const char* text;
  } cases[] = {{255, 16, "ff"},
               {-123.1, 2, "-1111011"},
               {-2147483647.9, 16, "-7fffffff"},
               {NAN, 10, "NaN"},
               {NAN, 2, "-/0000000000000000000000000000000"},
               {NAN, 16, "-(0000000"},
               {INFINITY, 3, "-/.//./..././/0.0./0."},
               {5, 37, "5"}};
  for (const auto& c : cases)
    EXPECT_EQ(NumberToRadix(c.n, c.radix), c.text) << c.n << " " << c.radix;
}

std::vector<std::string> Play(int version, std::vector<Frame> frames, int ticks = 0,
                              PlayerLimits limits = {}) {
  Movie m = BaseMovie();
  m.header.version = static_cast<uint8_t>(version);
  m.timeline = MakeTimeline(std::move(frames));
  std::vector<std::string> lines;
  MovieRunner runner(m, limits, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
  for (int i = 0; i < ticks; ++i) runner.Tick();
  return lines;
}

TEST(VmTest, VersionRulesForUndefinedAndNames) {
  // trace("" + undefined); x = 1; trace(X);
  const Frame f = MakeFrame({Act({Asm()
                                      .Push({"", Undefined()})
                                      .Do(Op::Add2)
                                      .Do(Op::Trace)
                                      .Push({"x", 1})
                                      .Do(Op::SetVariable)
                                      .Push({"X"})
                                      .Do(Op::GetVariable)
                                      .Do(Op::Trace)
                                      .Bytes()})});
  EXPECT_EQ(Play(6, {f}), (std::vector<std::string>{"", "1"}));
  EXPECT_EQ(Play(7, {f}), (std::vector<std::string>{"undefined", "undefined"}));
}

// Unknown actions are skipped by their length: a long one's payload never
// runs as actions, and a short one takes no payload.
TEST(VmTest, UnknownActionsAreSkippedByTheirLength) {
  const Bytes trace = Do(Op::Trace);
  const Bytes code = Asm()
                         .Push({"a", "b"})
                         .Raw(Cat({{0xC0, 2, 0}, trace, trace}))
                         .Raw({0x16})
                         .Do(Op::Trace)
                         .Bytes();
  EXPECT_EQ(Play(7, {MakeFrame({Act({code, kStop})})}), (std::vector<std::string>{"b"}));
}

// A value thrown by a native, or by a script a native called back, unwinds
// to the script's catch; the native stops calling back. A throw nothing
// catches ends only its own handler: the next frame's script runs whole.
TEST(VmTest, ThrownValuesUnwindThroughNatives) {
  const Asm caught = Asm().Push({"e"}).Do(Op::GetVariable).Do(Op::Trace);
  const Asm callBoom = Asm().CallFunction("boom", 0).Do(Op::Pop);
  // function f(a, b) { n = n + 1; throw "x"; }
  const Asm compare = Asm()
                          .Push({"n", "n"})
                          .Do(Op::GetVariable)
                          .Push({1})
                          .Do(Op::Add2)
                          .Do(Op::SetVariable)
                          .Trace("x")
                          .Push({"x"})
                          .Do(Op::Throw);
  const Asm sort = Asm()
                       .Push({"f"})
                       .Do(Op::GetVariable)
                       .Push({1, "arr"})
                       .Do(Op::GetVariable)
                       .Push({"sort"})
                       .Do(Op::CallMethod)
                       .Do(Op::Pop);
  const Bytes frame2 = Asm()
                           .Try(callBoom, &caught, "e", nullptr)
                           .Function("f", {"a", "b"}, compare)
                           .Push({"n", 0})
                           .Do(Op::SetVariable)
                           .Push({"arr", 1, 2, 3, 3})
                           .Do(Op::InitArray)
                           .Do(Op::SetVariable)
                           .Try(sort, &caught, "e", nullptr)
                           .Push({"n"})
                           .Do(Op::GetVariable)
                           .Do(Op::Trace)
                           .Push({"f", "boom"})
                           .Do(Op::GetVariable)
                           .Do(Op::SetVariable)
                           .Try(sort, &caught, "e", nullptr)
                           // onEnterFrame = function () { throw "y"; }
                           .Push({"onEnterFrame"})
                           .Function("", {}, Asm().Push({"y"}).Do(Op::Throw))
                           .Do(Op::SetVariable)
                           .Bytes();
  const Bytes frame3 = Asm().Trace("a").Trace("b").Do(Op::Stop).Bytes();
  Movie m = BaseMovie();
  m.header.version = 7;
  m.timeline =
      MakeTimeline({MakeFrame({}), MakeFrame({Act({frame2})}), MakeFrame({Act({frame3})})});
  std::vector<std::string> lines;
  MovieRunner runner(m, {}, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
  Vm& vm = runner.Vm();
  static int boomCalls = 0;
  const NativeFn boom = [](Vm&, const CallContext&, Args) {
    ++boomCalls;
    return Completion::Thrown(Value::Str("boom"));
  };
  vm.Set(vm.global, "boom", Value::Obj(vm.NewNative(boom)));
  runner.Tick();
  runner.Tick();
  EXPECT_EQ(lines, (std::vector<std::string>{"boom", "x", "x", "1", "boom", "a", "b"}));
  EXPECT_EQ(boomCalls, 2);  // sort stopped at its first comparison
}

TEST(VmTest, NativesGetTheirCallsContext) {
  // A native sees how it was called: `new` or not, its `this`, and the
  // version of the movie whose code called it.
  static std::vector<std::string> seen;
  const NativeFn probe = [](Vm& vm, const CallContext& call, Args) -> Completion {
    seen.push_back(std::string(call.isNew ? "new " : "call ") + std::to_string(call.version) + " " +
                   vm.TypeOf(call.self));
    return {};
  };
  // probe(); o = {}; o.p = probe; o.p(); new probe();
  const Bytes code = Asm()
                         .CallFunction("probe", 0)
                         .Do(Op::Pop)
                         .Push({"o", 0})
                         .Do(Op::InitObject)
                         .Do(Op::SetVariable)
                         .Push({"o"})
                         .Do(Op::GetVariable)
                         .Push({"p", "probe"})
                         .Do(Op::GetVariable)
                         .Do(Op::SetMember)
                         .Push({0, "o"})
                         .Do(Op::GetVariable)
                         .Push({"p"})
                         .Do(Op::CallMethod)
                         .Do(Op::Pop)
                         .Push({0, "probe"})
                         .Do(Op::NewObject)
                         .Do(Op::Pop)
                         .Bytes();
  for (const int version : {6, 8}) {
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(version);
    m.timeline = MakeTimeline({MakeFrame({}), MakeFrame({Act({code})})});
    MovieRunner runner(m, {}, nullptr, [](const std::string&) {});
    Vm& vm = runner.Vm();
    vm.Set(vm.global, "probe", Value::Obj(vm.NewNative(probe)));
    seen.clear();
    runner.Tick();
    ASSERT_EQ(seen.size(), 3u) << version;
    const std::string v = std::to_string(version);
    EXPECT_EQ(seen[0].substr(0, 6 + v.size()), "call " + v + " ") << seen[0];
    EXPECT_EQ(seen[1], "call " + v + " object");
    EXPECT_EQ(seen[2], "new " + v + " object");
  }
}

TEST(VmTest, RunawayScriptsStopAndTheMovieGoesOn) {
  PlayerLimits limits;
  limits.maxActionStepsPerTick = 5000;
  // Frame 1 loops for ever; frame 2 recurses without end; frame 3 still traces.
  const Asm recurse = Asm().Function("f", {}, Asm().CallFunction("f", 0)).CallFunction("f", 0);
  const auto lines = Play(8,
                          {MakeFrame({Act({Asm().Label("loop").Jump("loop").Bytes()})}),
                           MakeFrame({Act({recurse.Bytes()})}),
                           MakeFrame({Act({Asm().Trace("alive").Do(Op::Stop).Bytes()})})},
                          2, limits);
  EXPECT_EQ(lines, (std::vector<std::string>{"alive"}));
}

TEST(VmTest, WaitForFrameSkipsAndTheSharedStackStayBounded) {
  std::vector<PushArg> values;  // two pushes of 13000 numbers: more than a stack holds
  for (int i = 0; i < 13000; ++i) values.emplace_back(i);
  const Bytes many = Asm().PushAll(values).PushAll(values).Bytes();
  const struct {
    Bytes first;  // a block, then another that traces the top of the stack
    const char* traced;
  } cases[] = {
      // A frame past the most a timeline holds is not loaded; a skip past the end stops.
      {Asm().WaitForFrame(16001, 200).Push({"skipped"}).Bytes(), "undefined"},
      {Asm().Push({"16002"}).WaitForFrame2(1).Push({"skipped"}).Bytes(), "undefined"},
      {Asm().Push({"16001"}).WaitForFrame2(1).Push({"loaded"}).Bytes(), "loaded"},
      // What a block leaves reaches the next one, within the stack's bound.
      {many, "12999"},
  };
  for (const auto& c : cases) {
    const auto lines = Play(7, {MakeFrame({Act({c.first}), Act({Do(Op::Trace), kStop})})});
    EXPECT_EQ(lines, (std::vector<std::string>{c.traced}));
  }
  // The next frame starts on an empty stack.
  const auto lines = Play(
      7,
      {MakeFrame({Act({Asm().Push({"left"}).Bytes()})}), MakeFrame({Act({Do(Op::Trace), kStop})})},
      1);
  EXPECT_EQ(lines, (std::vector<std::string>{"undefined"}));
}

// SWF 5 code calls a function on its own timeline (or the clip it names);
// a call the player makes, like a conversion's, keeps the function's clip.
TEST(VmTest, Swf5CallsRunOnTheCallersTimeline) {
  Movie m = BaseMovie();
  m.header.version = 5;
  // In clip "a": function f() { trace(_target); }
  const Asm traceTarget = Asm().Push({"", 11}).Do(Op::GetProperty).Do(Op::Trace);
  AddSprite(m, 1, {MakeFrame({Act({Asm().Function("f", {}, traceTarget).Bytes(), kStop})})});
  // g = a.f; g(); a.f(); o = {}; o.toString = g; String(o);
  const Bytes calls = Asm()
                          .Push({"g", "a.f"})
                          .Do(Op::GetVariable)
                          .Do(Op::SetVariable)
                          .CallFunction("g", 0)
                          .Do(Op::Pop)
                          .Push({0, "a"})
                          .Do(Op::GetVariable)
                          .Push({"f"})
                          .Do(Op::CallMethod)
                          .Do(Op::Pop)
                          .Push({"o", 0})
                          .Do(Op::InitObject)
                          .Do(Op::SetVariable)
                          .Push({"o"})
                          .Do(Op::GetVariable)
                          .Push({"toString", "g"})
                          .Do(Op::GetVariable)
                          .Do(Op::SetMember)
                          .Push({"o"})
                          .Do(Op::GetVariable)
                          .Do(Op::ToString)
                          .Do(Op::Pop)
                          .Bytes();
  m.timeline =
      MakeTimeline({MakeFrame({Named(Place(1, 1), "a")}), MakeFrame({Act({calls, kStop})})});
  std::vector<std::string> lines;
  MovieRunner runner(m, {}, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
  runner.Tick();
  EXPECT_EQ(lines, (std::vector<std::string>{"/", "/a", "/a"}));
}

// The player's events look their handlers up without __resolve.
TEST(VmTest, EventsNeverAskResolve) {
  // this.__resolve = function (n) { trace(n); }
  const Bytes code = Asm()
                         .Push({"this"})
                         .Do(Op::GetVariable)
                         .Push({"__resolve"})
                         .Function("", {"n"}, Asm().Push({"n"}).Do(Op::GetVariable).Do(Op::Trace))
                         .Do(Op::SetMember)
                         .Bytes();
  EXPECT_EQ(Play(7, {MakeFrame({Act({code})}), MakeFrame({})}, 3), std::vector<std::string>{});
}

// A frame named "path.frame" (or "path:frame") belongs to the clip the
// path reaches; text whose path reaches none is one label.
TEST(VmTest, FramePathsSplitAtTheirLastDotOrColon) {
  const struct {
    const char* frame;
    std::vector<std::string> traced;
  } cases[] = {{"a.3", {"three"}},          {"_root.a.3", {"three"}},
               {"a:3", {"three"}},          {"b.3", {}},
               {"a:4294967299", {"three"}},  // frame numbers wrap at 32 bits
               {"a:-4294967293", {"three"}}};
  for (const auto& c : cases) {
    Movie m = BaseMovie();
    m.header.version = 7;
    AddSprite(m, 1,
              {MakeFrame({Act({kStop})}), MakeFrame({}),
               MakeFrame({Act({Asm().Trace("three").Bytes()})})});
    const Bytes call = Asm().Push({c.frame}).Do(Op::Call).Bytes();
    m.timeline =
        MakeTimeline({MakeFrame({Named(Place(1, 1), "a")}), MakeFrame({Act({call, kStop})})});
    std::vector<std::string> lines;
    MovieRunner runner(m, {}, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
    runner.Tick();
    EXPECT_EQ(lines, c.traced) << c.frame;
  }
}

// SWF 4 variable paths name variables only; from SWF 5 they reach a
// clip's properties too.
TEST(VmTest, Swf4PathsDoNotReadClipProperties) {
  for (const auto& [version, traced] : {std::pair{4, "undefined"}, std::pair{5, "100"}}) {
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(version);
    AddSprite(m, 1, {MakeFrame({Act({kStop})})});
    const Bytes read = Asm().Push({"/a:_xscale"}).Do(Op::GetVariable).Do(Op::Trace).Bytes();
    m.timeline = MakeTimeline({MakeFrame({Named(Place(1, 1), "a"), Act({read, kStop})})});
    std::vector<std::string> lines;
    MovieRunner runner(m, {}, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
    EXPECT_EQ(lines, std::vector<std::string>{traced}) << version;
  }
}

TEST(VmTest, CollectorFreesCyclesAndKeepsWhatIsReachable) {
  Movie m = BaseMovie();
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  vm.Collect();
  const std::size_t base = vm.HeapSize();
  for (int i = 0; i < 100; ++i) {
    Object* a = vm.NewObject();
    Object* b = vm.NewObject();
    vm.Set(a, "b", Value::Obj(b));
    vm.Set(b, "a", Value::Obj(a));
    FunctionObject* f = vm.NewFunction();
    f->scope.push_back(a);
    vm.Set(a, "f", Value::Obj(f));
  }
  Object* kept = vm.NewObject();
  vm.Set(vm.global, "kept", Value::Obj(kept));
  vm.Set(kept, "self", Value::Obj(kept));
  vm.Collect();
  EXPECT_EQ(vm.HeapSize(), base + 1);
  EXPECT_EQ(vm.Get(vm.global, "kept").object, kept);
}

// Built-ins fed cut-off or extreme input stay in range and give the player's
// answers.
// A timer needs its interval: left out or undefined, none is set; null and
// text count as 0.
TEST(VmTest, TimersNeedAnInterval) {
  Movie m = BaseMovie();
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  const Value fn = vm.Get(vm.global, "isNaN");
  const Value obj = Value::Obj(vm.NewObject());
  const struct {
    const char* name;
    std::vector<Value> args;
    bool set;
  } cases[] = {
      {"setInterval", {fn}, false},
      {"setInterval", {fn, Value{}}, false},
      {"setTimeout", {obj, Value::Num(5)}, false},
      {"setTimeout", {fn, Value::Null()}, true},
      {"setInterval", {fn, Value::Str("x")}, true},
      {"setInterval", {obj, Value::Str("m"), Value::Num(10)}, true},
  };
  for (const auto& c : cases) {
    Value r;
    vm.CallMethod(vm.global, c.name, c.args, &r);
    EXPECT_EQ(r.type == Type::Number, c.set) << c.name << " " << c.args.size();
  }
}

TEST(VmTest, GlobalsAndMathAtTheEdges) {
  Movie m = BaseMovie();
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  auto call = [&vm](const char* path, std::vector<Value> args) {
    Object* owner = vm.global;
    std::string name = path;
    if (const auto dot = name.find('.'); dot != std::string::npos) {
      owner = vm.Get(vm.global, name.substr(0, dot)).object;
      name = name.substr(dot + 1);
    }
    Value r;
    vm.CallMethod(owner, name, args, &r);
    return vm.ToString(r);
  };
  const struct {
    const char* fn;
    std::vector<Value> args;
    const char* result;
  } cases[] = {
      {"unescape", {Value::Str("%")}, ""},
      {"unescape", {Value::Str("a%4")}, "a"},
      {"unescape", {Value::Str("%41%")}, "A"},
      {"unescape", {Value::Str("a+b%2b")}, "a b+"},
      {"unescape", {Value::Str("%zz%4zz%_a")}, "zza"},
      {"unescape", {Value::Str("%u0041")}, "0041"},
      {"Math.pow", {Value::Num(2), Value::Num(0.5)}, "1.41421356237309"},
      {"Math.pow", {Value::Num(2), Value::Num(1023.5)}, "1.27116100615365e+308"},
      {"Math.pow", {Value::Num(2), Value::Num(1e300 + 0.5)}, "Infinity"},
      {"Math.pow", {Value::Num(0.5), Value::Num(1e15 + 0.5)}, "0"},
      {"Math.pow", {Value::Num(-8), Value::Num(1.0 / 3)}, "NaN"},
      {"Math.pow", {Value::Num(1), Value::Num(NAN)}, "NaN"},
      {"parseFloat", {}, "undefined"},
      {"parseFloat", {Value::Str(" -1.5e2x")}, "-150"},
      {"parseFloat", {Value::Str("1.2345.678")}, "1.2345678"},
      {"parseFloat", {Value::Str("1.5.5e3")}, "1.55"},
      {"parseFloat", {Value::Str("1e4294967297")}, "10"},
      {"parseFloat", {Value::Str("1e-4294967295")}, "10"},
      {"parseFloat", {Value::Str("10e")}, "10"},
      {"parseFloat", {Value::Str(".")}, "NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(call(c.fn, c.args), c.result) << c.fn;
}

// Version bits of ASSetPropFlags: which movie versions see a property.
TEST(VmTest, VersionBitsHideFromOlderMovies) {
  const struct {
    uint16_t flags;
    const char* seenBy;  // versions 5 to 10
  } cases[] = {{0, "yyyyyy"},        {kSince6, "-yyyyy"}, {kNot6, "y-yyyy"},
               {kSince7, "--yyyy"},  {kSince8, "---yyy"}, {kSince9, "----yy"},
               {kSince10, "-----y"}, {0x200, "yyyyyy"},   {kSince6 | kNot6, "--yyyy"},
               {kReadOnly, "yyyyyy"}};
  for (const auto& c : cases) {
    std::string seen;
    for (int v = 5; v <= 10; ++v) seen += HiddenForVersion(c.flags, v) ? '-' : 'y';
    EXPECT_EQ(seen, c.seenBy) << c.flags;
  }
}

TEST(VmTest, NamesBeforeSwf7FoldLettersBeyondAscii) {
  Movie m = BaseMovie();
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  vm.version = vm.rootVersion = 6;  // names follow the first movie's rule
  const struct {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {{"\xC3\x84", "\xC3\xA4", true},            // Latin-1
               {"\xC7\xB1", "\xC7\xB2", true},            // a digraph's forms
               {"\xD0\x96", "\xD0\xB6", true},            // Cyrillic
               {"\xC8\xBA", "\xE2\xB1\xA5", false},       // not in the older tables
               {"\xC1\x81", "a", false},                  // overlong: kept apart
               {"\xE2\x28\xA1x", "\xE2\x28\xA1X", true},  // broken UTF-8 stays bytes
               {"\xED\xA0\x80", "\xED\xA0\x80", true}};
  for (const auto& c : cases) EXPECT_EQ(vm.NamesEqual(c.a, c.b), c.same) << c.a << " " << c.b;
}

// Registering classes under ever new names stops growing the registry at
// its cap; the calls still answer as the player does.
TEST(VmTest, RegisteredClassesStayBounded) {
  Movie m = BaseMovie();
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  const Value object = vm.Get(vm.global, "Object");
  ASSERT_TRUE(object.IsObject());
  const Value cls = Value::Obj(vm.NewFunction());
  for (int i = 0; i < 20000; ++i) {
    vm.NewFrame();
    const Value args[2] = {Value::Str("name" + std::to_string(i)), cls};
    Value result;
    ASSERT_TRUE(vm.CallMethod(object.object, "registerClass", args, &result));
    ASSERT_TRUE(result.type == Type::Boolean && result.boolean) << i;
  }
  EXPECT_LE(vm.classByName.size(), 1u << 14);
}

TEST(VmTest, SortsOfHostileSizesFinish) {
  // Equal or already sorted elements are the quicksort's worst case; the
  // sort still finishes and keeps every element.
  Movie m = BaseMovie();
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  const struct {
    const char* name;
    bool equal;
  } cases[] = {{"equal", true}, {"sorted", false}};
  for (const auto& c : cases) {
    std::vector<Value> elements;
    for (int i = 0; i < 200000; ++i) elements.push_back(Value::Num(c.equal ? 7 : i));
    ArrayObject* a = vm.NewArray(std::move(elements));
    const Value numeric[1] = {Value::Num(16)};
    vm.NewFrame();
    ASSERT_TRUE(vm.CallMethod(a, "sort", numeric)) << c.name;
    ASSERT_EQ(a->elements.size(), 200000u) << c.name;
    for (std::size_t i = 1; i < a->elements.size(); ++i) {
      ASSERT_LE(a->elements[i - 1].number, a->elements[i].number) << c.name << " at " << i;
    }
  }
}

// Hostile BitmapData sizes make nothing (new gives undefined), and reads and
// writes off the grid or after dispose() touch nothing.
TEST(VmTest, BitmapDataStaysInsideItsLimits) {
  Movie m = BaseMovie();
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  const Value pkg = vm.Get(vm.Get(vm.global, "flash").object, "display");
  Object* cls = vm.Get(pkg.object, "BitmapData").object;
  ASSERT_NE(cls, nullptr);
  struct Case {
    double w, h;
    bool made;
  };
  const Case cases[] = {{10, 10, true},      {0, 10, false},      {-1, 5, false},
                        {2881, 1, false},    {1, 2880, true},     {NAN, 4, false},
                        {1e15, 1e15, false}, {INFINITY, 1, false}};
  for (const Case& c : cases) {
    const Value args[] = {Value::Num(c.w), Value::Num(c.h)};
    EXPECT_EQ(vm.Construct(cls, args).IsObject(), c.made) << c.w << "x" << c.h;
  }
  const Value size[] = {Value::Num(4), Value::Num(4), Value::Bool(false), Value::Num(0x123456)};
  Object* b = vm.Construct(cls, size).object;
  ASSERT_NE(b, nullptr);
  const auto call = [&](const char* name, std::vector<Value> args) {
    Value out;
    vm.CallMethod(b, name, args, &out);
    return out;
  };
  call("setPixel32", {Value::Num(-1), Value::Num(0), Value::Num(0)});
  call("setPixel32", {Value::Num(4), Value::Num(0), Value::Num(0)});
  EXPECT_EQ(vm.ToNumber(call("getPixel", {Value::Num(3), Value::Num(3)})), 0x123456);
  EXPECT_EQ(vm.ToNumber(call("getPixel", {Value::Num(99), Value::Num(0)})), 0);
  // An opaque bitmap keeps full alpha whatever is written.
  call("setPixel32", {Value::Num(1), Value::Num(1), Value::Num(0x00ABCDEF)});
  EXPECT_EQ(vm.ToNumber(call("getPixel32", {Value::Num(1), Value::Num(1)})),
            static_cast<int32_t>(0xFFABCDEF));
  call("dispose", {});
  EXPECT_EQ(vm.ToNumber(vm.Get(b, "width")), -1);
  // A disposed bitmap's methods answer -1, as the player's natives do.
  EXPECT_EQ(vm.ToNumber(call("getPixel", {Value::Num(0), Value::Num(0)})), -1);
}

// Style sheets parse what scripts hand them: broken text is refused and a
// sheet holds a bounded number of selectors whatever it is given.
TEST(VmTest, StyleSheetsRefuseBrokenTextAndStayBounded) {
  Movie m = BaseMovie();
  m.header.version = 8;
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  Object* cls = vm.Get(vm.Get(vm.global, "TextField").object, "StyleSheet").object;
  ASSERT_NE(cls, nullptr);
  std::string many;
  for (int i = 0; i < 5000; ++i) many += ".c" + std::to_string(i) + "{color:#FF0000}";
  const struct {
    std::string css;
    bool parsed;
    double names;
  } cases[] = {{"p { font-size: 12px; color: #00FF00 } .a, .b { text-align: right }", true, 3},
               {"p { color: red", false, 0},
               {"stray text", false, 0},
               {"", true, 0},
               {many, true, 1024}};
  for (const auto& c : cases) {
    Object* sheet = vm.Construct(cls, {}).object;
    ASSERT_NE(sheet, nullptr);
    Value parsed, names;
    const Value arg[1] = {Value::Str(c.css)};
    vm.NewFrame();
    ASSERT_TRUE(vm.CallMethod(sheet, "parseCSS", arg, &parsed));
    ASSERT_TRUE(vm.CallMethod(sheet, "getStyleNames", {}, &names));
    EXPECT_EQ(vm.ToBoolean(parsed), c.parsed) << c.css.substr(0, 40);
    EXPECT_EQ(vm.ToNumber(vm.Get(names.object, "length")), c.names) << c.css.substr(0, 40);
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
