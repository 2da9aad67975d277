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

TEST(VmTest, WaitForFrameSkipsAndTheSharedStackStayBounded) {
  Bytes many;  // two pushes of 13000 numbers: more than a stack holds
  for (int half = 0; half < 2; ++half) {
    Bytes values;
    for (int i = 0; i < 13000; ++i)
      values.insert(values.end(), {7, uint8_t(i), uint8_t(i >> 8), 0, 0});
    many = Cat({many, Long(0x96, values)});
  }
  const struct {
    Bytes first;  // a block, then another that traces the top of the stack
    const char* traced;
  } cases[] = {
      // A frame past the most a timeline holds is not loaded; a skip past the end stops.
      {Cat({Long(0x8A, {0x81, 0x3E, 200}), PushString("skipped")}), "undefined"},
      {Cat({PushString("16002"), Long(0x8D, {1}), PushString("skipped")}), "undefined"},
      {Cat({PushString("16001"), Long(0x8D, {1}), PushString("loaded")}), "loaded"},
      // What a block leaves reaches the next one, within the stack's bound.
      {many, "12999"},
  };
  for (const auto& c : cases) {
    const auto lines = Play(7, {MakeFrame({Act({c.first}), Act({Trace(), kStop})})});
    EXPECT_EQ(lines, (std::vector<std::string>{c.traced}));
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

}  // namespace
}  // namespace orrivel::swf::avm1
