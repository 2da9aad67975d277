#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>
#include <vector>

#include "movie_builder.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf {
namespace {

using namespace test;

Bytes ConstantPool(const std::vector<std::string>& strings) {
  Bytes payload{static_cast<uint8_t>(strings.size()), 0};
  for (const auto& s : strings) payload = Cat({payload, Str(s)});
  return Long(0x88, payload);
}

Bytes PushDouble(double d) {
  const auto bits = std::bit_cast<uint64_t>(d);
  Bytes p{6};
  const uint32_t hi = bits >> 32, lo = static_cast<uint32_t>(bits);
  for (uint32_t w : {hi, lo})
    for (int i = 0; i < 4; ++i) p.push_back(static_cast<uint8_t>(w >> (8 * i)));
  return Long(0x96, p);
}

Bytes Jump(int16_t offset) {
  const auto u = static_cast<uint16_t>(offset);
  return Long(0x99, {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)});
}

// DefineFunction "f" with no parameters, followed by its body.
Bytes DefineFunction(const Bytes& body) {
  Bytes payload = Cat({Str("f"), {0, 0},
                       {static_cast<uint8_t>(body.size()), static_cast<uint8_t>(body.size() >> 8)}});
  return Cat({Long(0x9B, payload), body});
}

struct ActionCase {
  const char* name;
  Bytes actions;
  int frame;  // main timeline after loading
  bool playing;
};

class FrameActionTest : public ::testing::TestWithParam<ActionCase> {};

TEST_P(FrameActionTest, FirstFrameActions) {
  const ActionCase& c = GetParam();
  Movie m = BaseMovie();
  DoAction first;
  first.actions = c.actions;
  m.timeline = MakeTimeline({MakeFrame({first}), MakeFrame({}), MakeFrame({}, "two"),
                             MakeFrame({}), MakeFrame({}, "Four"), MakeFrame({})});
  MovieRunner runner(m);
  EXPECT_EQ(runner.Root().CurrentFrame(), c.frame);
  EXPECT_EQ(runner.Root().Playing(), c.playing);
}

INSTANTIATE_TEST_SUITE_P(
    Actions, FrameActionTest,
    ::testing::Values(
        ActionCase{"Stop", Cat({kStop, kEnd}), 0, false},
        ActionCase{"GotoFrameStops", Cat({GotoFrame(3), kEnd}), 3, false},
        ActionCase{"GotoFramePastEndClamps", GotoFrame(100), 5, false},
        ActionCase{"GotoAndPlay", Cat({GotoFrame(3), kPlay}), 3, true},
        ActionCase{"GotoLabel", GotoLabel("two"), 2, false},
        ActionCase{"GotoLabelIgnoresCase", GotoLabel("FOUR"), 4, false},
        ActionCase{"GotoMissingLabel", GotoLabel("nope"), 0, true},
        ActionCase{"NextFrame", kNextFrame, 1, false},
        ActionCase{"PrevFrameAtStart", kPrevFrame, 0, false},
        ActionCase{"Frame2Number", Cat({PushInt(3), GotoFrame2(false)}), 2, false},
        ActionCase{"Frame2NumberPlay", Cat({PushInt(3), GotoFrame2(true)}), 2, true},
        ActionCase{"Frame2Label", Cat({PushString("four"), GotoFrame2(false)}), 4, false},
        ActionCase{"Frame2NumericString", Cat({PushString("6"), GotoFrame2(true)}), 5, true},
        ActionCase{"Frame2SceneBias", Cat({PushInt(2), GotoFrame2(false, 2)}), 3, false},
        ActionCase{"Frame2Double", Cat({PushDouble(5.0), GotoFrame2(false)}), 4, false},
        ActionCase{"Frame2Constant",
                   Cat({ConstantPool({"x", "two"}), Long(0x96, {8, 1}), GotoFrame2(false)}), 2,
                   false},
        ActionCase{"Frame2EmptyStack", GotoFrame2(false), 0, true},
        ActionCase{"Frame2AfterUnmodelledOp", Cat({PushInt(3), {0x0A}, GotoFrame2(false)}), 0,
                   true},
        ActionCase{"Frame2SelfPath", Cat({PushString("/:two"), GotoFrame2(false)}), 2, false},
        ActionCase{"ForwardJumpSkips", Cat({Jump(1), kStop}), 0, true},
        ActionCase{"BackwardJumpIgnored", Cat({kPlay, Jump(-4), kStop}), 0, false},
        ActionCase{"IfNotTaken", Cat({PushInt(1), Long(0x9D, {1, 0}), kStop}), 0, false},
        ActionCase{"FunctionBodySkipped", Cat({DefineFunction(Cat({kStop})), kEnd}), 0, true},
        ActionCase{"TruncatedAction", Bytes{0x81, 5, 0, 1}, 0, true},
        ActionCase{"UnknownTargetIgnored", Cat({SetTarget("nobody"), kStop}), 0, true},
        ActionCase{"EndStopsReading", Cat({kEnd, kStop}), 0, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ActionsTest, TellTargetAndPathGotoReachNamedSprites) {
  Movie m = BaseMovie();
  AddSprite(m, 20, {MakeFrame({}), MakeFrame({}), MakeFrame({}, "last")});
  AddSprite(m, 21, {MakeFrame({Named(Place(1, 20), "inner")})});
  m.timeline = MakeTimeline({MakeFrame({
      Named(Place(1, 21), "outer"),
      Act({SetTarget("/outer/inner"), kStop, SetTarget(""), PushString("_root.outer.inner:last"),
           GotoFrame2(true), SetTarget("outer/inner/.."), kStop}),
  })});
  MovieRunner runner(m);
  const auto outer = runner.Root().ChildByName("OUTER");
  ASSERT_TRUE(outer);
  const auto inner = outer->ChildByName("inner");
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->CurrentFrame(), 2);
  EXPECT_TRUE(inner->Playing());
  EXPECT_FALSE(outer->Playing());
  EXPECT_TRUE(runner.Root().Playing());
}

TEST(ActionsTest, MovieClipMethodCalls) {
  const Bytes getVariable{0x1C}, getMember{0x4E}, callMethod{0x52}, pop{0x17}, add{0x0A};
  struct Case {
    const char* name;
    Bytes actions;
    int frame;
    bool playing;
  };
  const Case cases[] = {
      // mc.gotoAndPlay(2), as compiled: args, count, object, method name.
      {"GotoAndPlay", Cat({PushInt(2), PushInt(1), PushString("mc"), getVariable,
                           PushString("gotoAndPlay"), callMethod, pop}), 1, true},
      {"GotoAndStopLabel", Cat({PushString("last"), PushInt(1), PushString("mc"), getVariable,
                                PushString("gotoAndStop"), callMethod, pop}), 2, false},
      // _root.mc.stop()
      {"StopThroughMember", Cat({PushInt(0), PushString("_root"), getVariable, PushString("mc"),
                                 getMember, PushString("stop"), callMethod, pop}), 0, false},
      {"NextFrame", Cat({PushInt(0), PushString("mc"), getVariable, PushString("nextFrame"),
                         callMethod}), 1, false},
      {"UnknownObject", Cat({PushInt(0), PushString("nobody"), getVariable, PushString("stop"),
                             callMethod}), 0, true},
      {"UnknownMethod", Cat({PushInt(0), PushString("mc"), getVariable, PushString("fly"),
                             callMethod}), 0, true},
      // An argument count the interpreter cannot trust: nothing happens.
      {"UntrustedCount", Cat({PushInt(1), PushInt(2), add, PushString("mc"), getVariable,
                              PushString("stop"), callMethod}), 0, true},
      {"HugeCount", Cat({PushInt(1000000), PushString("mc"), getVariable, PushString("stop"),
                         callMethod}), 0, true},
  };
  for (const Case& c : cases) {
    Movie m = BaseMovie();
    AddSprite(m, 20, {MakeFrame({}), MakeFrame({}), MakeFrame({}, "last")});
    m.timeline = MakeTimeline({MakeFrame({Named(Place(1, 20), "mc"), Act({c.actions})})});
    MovieRunner runner(m);
    const auto mc = runner.Root().ChildByName("mc");
    ASSERT_TRUE(mc);
    EXPECT_EQ(mc->CurrentFrame(), c.frame) << c.name;
    EXPECT_EQ(mc->Playing(), c.playing) << c.name;
  }
}

TEST(ActionsTest, PerFrameStepBudgetEndsLongBlocks) {
  Movie m = BaseMovie();
  // Twelve actions and one pushed value, then Stop.
  DoAction block;
  for (int i = 0; i < 12; ++i) block.actions.push_back(0x06);
  block.actions = Cat({block.actions, PushInt(1), kStop, kEnd});
  m.timeline = MakeTimeline({MakeFrame({block}), MakeFrame({})});
  for (const auto& [budget, stopped] : {std::pair{10u, false}, std::pair{14u, false},
                                        std::pair{15u, true}}) {
    PlayerLimits limits;
    limits.maxActionStepsPerTick = budget;
    MovieRunner runner(m, limits);
    EXPECT_EQ(!runner.Root().Playing(), stopped) << budget;
  }
}

TEST(ActionsTest, GarbageNeverHangsOrCrashes) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 500; ++round) {
    Movie m = BaseMovie();
    std::vector<Frame> spriteFrames;
    std::vector<Frame> mainFrames;
    for (int f = 0; f < 3; ++f) {
      DoAction a;
      a.actions.resize(rng() % 48);
      for (auto& b : a.actions) b = static_cast<uint8_t>(rng());
      // Lead with one of the modelled actions more often than chance would.
      if (!a.actions.empty() && rng() % 2) a.actions[0] = static_cast<uint8_t>(0x80 | (rng() % 32));
      spriteFrames.push_back(MakeFrame({a}));
      mainFrames.push_back(MakeFrame({Named(Place(1, 20), "a"), a}));
    }
    AddSprite(m, 20, spriteFrames);
    m.timeline = MakeTimeline(mainFrames);
    MovieRunner runner(m);
    for (int i = 0; i < 4; ++i) runner.Tick();
    EXPECT_LT(runner.Root().CurrentFrame(), 3);
  }
}

}  // namespace
}  // namespace orrivel::swf
