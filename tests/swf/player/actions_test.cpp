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

Bytes PushDouble(double d) { return Asm().Push({d}).Bytes(); }
Bytes Jump(int16_t offset) { return Asm().JumpBy(offset).Bytes(); }
// DefineFunction "f" with no parameters, followed by its body.
Bytes DefineFunction(const Bytes& body) { return Asm().Function("f", {}, Asm().Raw(body)).Bytes(); }

// mc.<method>(args...), as compiled: args, count, object, method name.
Bytes CallMethod(const Bytes& args, int count, const Bytes& object, const std::string& method) {
  return Cat({args, PushInt(count), object, PushString(method), Do(Op::CallMethod)});
}

const Bytes kGetVariable = Do(Op::GetVariable), kGetMember = Do(Op::GetMember), kPop = Do(Op::Pop),
            kAdd = Do(Op::Add);

// The first frame's actions run on a six-frame main timeline ("two" and
// "Four" label frames 2 and 4) that holds "mc", a three-frame sprite whose
// last frame is "last".
TEST(ActionsTest, FirstFrameActions) {
  const Bytes mc = Cat({PushString("mc"), kGetVariable});
  const struct {
    const char* name;
    Bytes actions;
    bool onClip;  // the expectation is about mc, not the main timeline
    int frame;
    bool playing;
  } cases[] = {
      {"Stop", Cat({kStop, kEnd}), false, 0, false},
      {"GotoFrameStops", Cat({GotoFrame(3), kEnd}), false, 3, false},
      {"GotoFramePastEndClamps", GotoFrame(100), false, 5, false},
      {"GotoLabel", GotoLabel("two"), false, 2, false},
      {"GotoLabelIgnoresCase", GotoLabel("FOUR"), false, 4, false},
      {"GotoMissingLabel", GotoLabel("nope"), false, 0, true},
      // GotoLabel never reads its text as a frame number.
      {"GotoLabelNumberIsNoFrame", GotoLabel("3"), false, 0, true},
      {"GotoUnterminatedLabel", Long(0x8C, {'t', 'w', 'o'}), false, 2, false},
      {"NextFrame", kNextFrame, false, 1, false},
      {"PrevFrameAtStart", kPrevFrame, false, 0, false},
      {"Frame2Number", Cat({PushInt(3), GotoFrame2(false)}), false, 2, false},
      {"Frame2NumberPlay", Cat({PushInt(3), GotoFrame2(true)}), false, 2, true},
      {"Frame2Label", Cat({PushString("four"), GotoFrame2(false)}), false, 4, false},
      {"Frame2NumericString", Cat({PushString("6"), GotoFrame2(true)}), false, 5, true},
      {"Frame2SceneBias", Cat({PushInt(2), GotoFrame2(false, 2)}), false, 3, false},
      {"Frame2Double", Cat({PushDouble(5.0), GotoFrame2(false)}), false, 4, false},
      {"Frame2Float", Asm().Push({avm1::test::Float(4)}).GotoFrame2(false).Bytes(), false, 3,
       false},
      // A number that is not whole names a label; here there is none.
      {"Frame2FractionIsNoFrame", Cat({PushDouble(2.5), GotoFrame2(false)}), false, 0, true},
      {"Frame2ZeroIsNoFrame", Cat({PushInt(0), GotoFrame2(false)}), false, 0, true},
      {"Frame2Boolean", Asm().Push({true}).GotoFrame2(false).Bytes(), false, 0, false},
      {"Frame2Constant",
       Asm().Pool({"x", "two"}).Push({avm1::test::Constant(1)}).GotoFrame2(false).Bytes(), false, 2,
       false},
      {"Frame2WideConstant",
       Asm().Pool({"x", "Four"}).Push({avm1::test::Constant(1, true)}).GotoFrame2(false).Bytes(),
       false, 4, false},
      // Several values in one push; the last one, a null, is what the goto sees.
      {"Frame2SeveralValues",
       Asm().Push({3, avm1::test::Reg(0), avm1::test::Null()}).GotoFrame2(false).Bytes(), false, 0,
       true},
      {"Frame2PushCutShort", Cat({Long(0x96, {7, 3, 0}), GotoFrame2(false)}), false, 0, true},
      {"Frame2EmptyStack", GotoFrame2(false), false, 0, true},
      {"Frame2AfterUnmodelledOp", Cat({PushInt(3), kAdd, GotoFrame2(false)}), false, 0, true},
      {"Frame2SelfPath", Cat({PushString("/:two"), GotoFrame2(false)}), false, 2, false},
      {"ForwardJumpSkips", Cat({Jump(1), kStop}), false, 0, true},
      {"JumpPastEndEndsBlock", Cat({Jump(5), kStop}), false, 0, true},
      {"IfTaken", Asm().Push({1}).If("end").Do(Op::Stop).Label("end").Bytes(), false, 0, true},
      {"IfNotTaken", Asm().Push({0}).If("end").Do(Op::Stop).Label("end").Bytes(), false, 0, false},
      {"FunctionBodySkipped", Cat({DefineFunction(Cat({kStop})), kEnd}), false, 0, true},
      {"TruncatedAction", Bytes{0x81, 5, 0, 1}, false, 0, true},
      // A target that names nothing leaves timeline actions to the root.
      {"UnknownTargetActsOnRoot", Cat({SetTarget("nobody"), kStop}), false, 0, false},
      {"EndStopsReading", Cat({kEnd, kStop}), false, 0, true},
      {"MethodGotoAndPlay", Cat({CallMethod(PushInt(2), 1, mc, "gotoAndPlay"), kPop}), true, 1,
       true},
      {"MethodGotoAndStopLabel", CallMethod(PushString("last"), 1, mc, "gotoAndStop"), true, 2,
       false},
      // _root.mc.stop()
      {"MethodThroughMember",
       CallMethod({}, 0, Cat({PushString("_root"), kGetVariable, PushString("mc"), kGetMember}),
                  "stop"),
       true, 0, false},
      {"MethodNextFrame", CallMethod({}, 0, mc, "nextFrame"), true, 1, false},
      {"MethodOnUnknownObject",
       CallMethod({}, 0, Cat({PushString("nobody"), kGetVariable}), "stop"), true, 0, true},
      {"UnknownMethod", CallMethod({}, 0, mc, "fly"), true, 0, true},
      {"ComputedArgument", CallMethod(Cat({PushInt(1), PushInt(2), kAdd}), 1, mc, "stop"), true, 0,
       false},
      // A count beyond the stack takes what the stack holds.
      {"HugeCount", CallMethod({}, 1000000, mc, "stop"), true, 0, false},
  };
  for (const auto& c : cases) {
    Movie m = BaseMovie();
    AddSprite(m, 20, {MakeFrame({}), MakeFrame({}), MakeFrame({}, "last")});
    DoAction first;
    first.actions = c.actions;
    m.timeline =
        MakeTimeline({MakeFrame({Named(Place(1, 20), "mc"), first}), MakeFrame({}),
                      MakeFrame({}, "two"), MakeFrame({}), MakeFrame({}, "Four"), MakeFrame({})});
    MovieRunner runner(m);
    const auto clip = runner.Root().ChildByName("mc");
    ASSERT_TRUE(clip);
    const TimelineInstance& t = c.onClip ? *clip : runner.Root();
    EXPECT_EQ(t.CurrentFrame(), c.frame) << c.name;
    EXPECT_EQ(t.Playing(), c.playing) << c.name;
  }
}

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

TEST(ActionsTest, PerFrameStepBudgetEndsLongBlocks) {
  Movie m = BaseMovie();
  // Twelve actions and one push, then Stop: the fourteenth action.
  DoAction block;
  for (int i = 0; i < 12; ++i) block.actions.push_back(0x06);
  block.actions = Cat({block.actions, PushInt(1), kStop, kEnd});
  m.timeline = MakeTimeline({MakeFrame({block}), MakeFrame({})});
  for (const auto& [budget, stopped] :
       {std::pair{10u, false}, std::pair{13u, false}, std::pair{14u, true}}) {
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
    PlayerLimits limits;
    limits.maxActionStepsPerTick = 1 << 14;  // backward jumps loop until this cap
    MovieRunner runner(m, limits);
    for (int i = 0; i < 4; ++i) runner.Tick();
    EXPECT_LT(runner.Root().CurrentFrame(), 3);
  }
}

}  // namespace
}  // namespace orrivel::swf
