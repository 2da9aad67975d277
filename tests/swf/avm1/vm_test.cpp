#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace test;

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

Bytes Trace() { return {0x26}; }
Bytes Call(const std::string& fn, int args) { return Cat({PushInt(args), PushString(fn), {0x3D}}); }
Bytes Jump(int16_t offset) {
  const auto u = static_cast<uint16_t>(offset);
  return Long(0x99, {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)});
}
// function f() { f(); } with the body given.
Bytes DefineF(const Bytes& body) {
  const auto n = static_cast<uint16_t>(body.size());
  return Cat({Long(0x9B, Cat({Str("f"), {0, 0}, {uint8_t(n), uint8_t(n >> 8)}})), body});
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
  const Frame f = MakeFrame({Act({PushString(""),
                                  {0x96, 1, 0, 3},
                                  {0x47},
                                  Trace(),
                                  PushString("x"),
                                  PushInt(1),
                                  {0x1D},
                                  PushString("X"),
                                  {0x1C},
                                  Trace()})});
  EXPECT_EQ(Play(6, {f}), (std::vector<std::string>{"", "1"}));
  EXPECT_EQ(Play(7, {f}), (std::vector<std::string>{"undefined", "undefined"}));
}

TEST(VmTest, RunawayScriptsStopAndTheMovieGoesOn) {
  PlayerLimits limits;
  limits.maxActionStepsPerTick = 5000;
  // Frame 1 loops for ever; frame 2 recurses without end; frame 3 still traces.
  const auto lines =
      Play(8,
           {MakeFrame({Act({Jump(-5)})}), MakeFrame({Act({DefineF(Call("f", 0)), Call("f", 0)})}),
            MakeFrame({Act({PushString("alive"), Trace(), kStop})})},
           2, limits);
  EXPECT_EQ(lines, (std::vector<std::string>{"alive"}));
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
  EXPECT_TRUE(call("getPixel", {Value::Num(0), Value::Num(0)}).IsUndefined());
}

}  // namespace
}  // namespace orrivel::swf::avm1
