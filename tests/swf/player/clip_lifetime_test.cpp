// How clips leave the stage and how new ones announce themselves, read off
// the trace lines of small movies: removal with unload handlers, references
// that find a clip again by its path, the events of a duplicated clip,
// SWF 5 objects that share a depth, and the clip a goto's frame text names.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "movie_builder.h"
#include "swf/player/player.h"
#include "swf/player/timeline_instance.h"
#include "swf/render/native_image_decoder.h"

namespace orrivel::swf {
namespace {

using namespace test;

constexpr uint16_t kClip = 20, kHolder = 21, kButton = 22, kQuietHolder = 23;

Bytes Trace(const Bytes& value) { return Cat({value, {0x26}}); }
Bytes Text(const std::string& s) { return Trace(PushString(s)); }
Bytes Call(const Bytes& object, const std::string& method, std::initializer_list<Bytes> args) {
  return Cat({CallMethod(object, method, args), {0x17}});
}
Bytes Depth(const std::string& clip) { return Trace(CallMethod(GetVar(clip), "getDepth", {})); }

ClipAction Handler(uint32_t events, const std::string& text) {
  return ClipAction{events, 0, Cat({Text(text), {0}})};
}

PlaceObject WithHandlers(PlaceObject p, std::vector<ClipAction> handlers) {
  p.hasClipActions = true;
  p.clipActionRecords = std::move(handlers);
  return p;
}

std::vector<std::string> Run(Movie movie, int frames) {
  NativeImageDecoder decoder;
  Player player(decoder);
  std::vector<std::string> lines;
  player.SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
  EXPECT_TRUE(player.LoadParsed(std::make_unique<Movie>(std::move(movie))));
  for (int i = 1; i < frames; ++i) player.StepFrame();
  return lines;
}

struct Case {
  const char* name;
  int version;
  std::vector<Frame> frames;
  std::vector<std::string> traces;
};

void RunCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Movie m = BaseMovie();
    m.header.version = static_cast<uint8_t>(c.version);
    AddSprite(m, kClip, {MakeFrame({})});
    m.exports["Clip"] = kClip;
    ButtonDefinition button;
    button.id = kButton;
    m.characters.emplace(kButton, button);
    m.exports["Button"] = kButton;
    // A clip whose only unload handler sits on a clip inside it.
    AddSprite(m, kHolder,
              {MakeFrame({WithHandlers(Place(1, kClip), {Handler(kClipEventUnload, "inner")})})});
    // A clip named "in" inside, with no handler of its own.
    AddSprite(m, kQuietHolder, {MakeFrame({Named(Place(1, kClip), "in")})});
    const int frames = static_cast<int>(c.frames.size());
    m.timeline = MakeTimeline(c.frames);
    EXPECT_EQ(Run(std::move(m), frames), c.traces) << c.name;
  }
}

// A removed clip with an unload handler, its own or inside it, moves to
// depth -32769 - depth and answers there for the rest of the frame; without
// one it goes at once. Either way a reference then finds whatever clip
// holds the path.
TEST(ClipLifetimeTest, RemovalKeepsClipsWithUnloadHandlersForTheFrame) {
  const Bytes made = CallRoot("createEmptyMovieClip", {PushString("c"), PushInt(5)});
  const Bytes onUnload = Asm()
                             .Push({"c"})
                             .Do(Op::GetVariable)
                             .Push({"onUnload"})
                             .Function("", {}, Asm().Trace("unload"))
                             .Do(Op::SetMember)
                             .Bytes();
  const Bytes noisyString = Asm()
                                .Push({"_global"})
                                .Do(Op::GetVariable)
                                .Push({"String"})
                                .Function("", {}, Asm().Trace("wrapped"))
                                .Do(Op::SetMember)
                                .Bytes();
  RunCases({
      {"a timeline removal with the clip's own handler",
       6,
       {MakeFrame({WithHandlers(Named(Place(1, kClip), "a"), {Handler(kClipEventUnload, "own")})}),
        MakeFrame({Remove(1), Act({Depth("a"), Trace(GetVar("a"))})}),
        MakeFrame({Act({Trace(GetVar("a")), kStop})})},
       {"own", "-16386", "_level0.a", "undefined"}},
      {"a handler on a clip inside keeps the outer clip too",
       6,
       {MakeFrame({Named(Place(1, kHolder), "a")}), MakeFrame({Remove(1), Act({Depth("a")})}),
        MakeFrame({Act({Trace(GetVar("a")), kStop})})},
       {"inner", "-16386", "undefined"}},
      {"removeMovieClip with an onUnload method",
       6,
       {MakeFrame({Act({made, onUnload, Call(GetVar("c"), "removeMovieClip", {}), Depth("c")})}),
        MakeFrame({Act({Trace(GetVar("c")), kStop})})},
       {"-32774", "unload", "undefined"}},
      {"the handler of a removed clip no longer finds the clips inside that have none",
       6,
       {MakeFrame({WithHandlers(
            Named(Place(1, kQuietHolder), "a"),
            {ClipAction{
                kClipEventUnload, 0,
                Cat({Trace(Cat({GetVar("this"), PushString("in"), {0x4E, 0x44}})), {0}})}})}),
        MakeFrame({Remove(1)}), MakeFrame({Act({kStop})})},
       {"undefined"}},
      {"a reference to a removed clip finds the clip now at its path",
       6,
       {MakeFrame({Act({made, SetVar("r", GetVar("c")), Call(GetVar("r"), "removeMovieClip", {}),
                        CallRoot("createEmptyMovieClip", {PushString("c"), PushInt(7)}), Depth("r"),
                        kStop})})},
       {"7"}},
      {"before SWF 7 clips from script depth 1048576 up stay",
       6,
       {MakeFrame({Act({CallRoot("createEmptyMovieClip", {PushString("c"), PushInt(1048576)}),
                        Call(GetVar("c"), "removeMovieClip", {}), Trace(GetVar("c")),
                        CallRoot("createEmptyMovieClip", {PushString("d"), PushInt(1048575)}),
                        Call(GetVar("d"), "removeMovieClip", {}), Trace(GetVar("d")), kStop})})},
       {"_level0.c", "undefined"}},
      {"clips removed from one depth in one frame all report its depth below the rest",
       6,
       {MakeFrame({WithHandlers(Named(Place(1, kClip), "a"), {Handler(kClipEventUnload, "ua")})}),
        MakeFrame({Remove(1),
                   WithHandlers(Named(Place(1, kClip), "b"), {Handler(kClipEventUnload, "ub")}),
                   Remove(1), Act({Depth("a"), Depth("b")})}),
        MakeFrame({Act({kStop})})},
       {"ua", "ub", "-16386", "-16386"}},
      {"a clip waiting on its unload handlers does not swap depths",
       6,
       {MakeFrame({WithHandlers(Named(Place(1, kClip), "a"), {Handler(kClipEventUnload, "ua")}),
                   WithHandlers(Named(Place(2, kClip), "b"), {Handler(kClipEventUnload, "ub")})}),
        MakeFrame({Remove(1), Remove(2),
                   Act({Call(GetVar("a"), "swapDepths", {GetVar("b")}),
                        Call(GetVar("a"), "swapDepths", {PushInt(5)}), Depth("a"), Depth("b")})}),
        MakeFrame({Act({kStop})})},
       {"ua", "ub", "-16386", "-16387"}},
      {"clips at the topmost script depths stay",
       7,
       {MakeFrame({Act({CallRoot("createEmptyMovieClip", {PushString("c"), PushInt(2130690032)}),
                        Call(GetVar("c"), "removeMovieClip", {}), Trace(GetVar("c")),
                        CallRoot("createEmptyMovieClip", {PushString("d"), PushInt(2130690031)}),
                        Call(GetVar("d"), "removeMovieClip", {}), Trace(GetVar("d")), kStop})})},
       {"_level0.c", "undefined"}},
      {"instanceof still wraps a primitive class for a removed clip",
       6,
       {MakeFrame({Act({made, noisyString, SetVar("r", GetVar("c")),
                        Call(GetVar("c"), "removeMovieClip", {}),
                        Trace(Cat({GetVar("r"), PushString("x"), {0x54}})), kStop})})},
       {"wrapped", "false"}},
      {"removeMovieClip takes a text field from a timeline depth",
       6,
       {MakeFrame({Act({CallRoot("createTextField", {PushString("t"), PushInt(-100), PushInt(0),
                                                     PushInt(0), PushInt(10), PushInt(10)}),
                        GetVar("t"),
                        {0x25},
                        Trace(GetVar("t")),
                        kStop})})},
       {"undefined"}},
  });
}

// A copy's initialize and construct handlers run right after the script that made it,
// its load handlers at the end of the frame's queue; a depth that wraps
// replaces the clip at the depth it wraps to.
TEST(ClipLifetimeTest, ClipsPlacedByScripts) {
  // A constructor that traces this.p.
  const Bytes traceP =
      Asm()
          .Function(
              "", {},
              Asm().Push({"this"}).Do(Op::GetVariable).Push({"p"}).Do(Op::GetMember).Do(Op::Trace))
          .Bytes();
  const auto handlers = [] {
    return std::vector<ClipAction>{Handler(kClipEventInitialize, "init"),
                                   Handler(kClipEventConstruct, "construct"),
                                   Handler(kClipEventLoad, "load")};
  };
  RunCases({
      {"duplicateMovieClip",
       6,
       {MakeFrame({WithHandlers(Named(Place(1, kClip), "src"), handlers()),
                   Act({Call(GetVar("src"), "duplicateMovieClip", {PushString("copy"), PushInt(1)}),
                        Text("made"), Trace(GetVar("copy")), kStop}),
                   Act({Text("next block")})})},
       {"init", "construct", "load", "made", "_level0.copy", "init", "construct", "next block",
        "load"}},
      {"createEmptyMovieClip takes its depth as a 32-bit integer",
       6,
       {MakeFrame({Act(
           {CallRoot("createEmptyMovieClip", {PushString("a"), PushInt(0)}),
            CallRoot("createEmptyMovieClip", {PushString("b"), Asm().Push({4294967296.0}).Bytes()}),
            Trace(GetVar("a")), Trace(GetVar("b")), kStop})})},
       {"undefined", "_level0.b"}},
      {"createEmptyMovieClip takes depths the other ways refuse, and they cannot swap",
       6,
       {MakeFrame(
           {Act({CallRoot("createEmptyMovieClip", {PushString("a"), PushInt(-30000)}),
                 CallRoot("createEmptyMovieClip", {PushString("b"), PushInt(2130690045)}),
                 Call(GetVar("a"), "swapDepths", {PushInt(1)}),
                 Call(GetVar("b"), "swapDepths", {PushInt(2)}), Depth("a"), Depth("b"), kStop})})},
       {"-30000", "2130690045"}},
      {"an attached or copied button is a button, and takes nothing from an init object",
       6,
       {MakeFrame(
           {Act({CallRoot("attachMovie",
                          {PushString("Button"), PushString("b"), PushInt(1),
                           Cat({PushString("p"), PushString("set"), PushInt(1), {0x43}})}),
                 Trace(Cat({GetVar("b"), {0x44}})), Trace(CallMethod(GetVar("b"), "getDepth", {})),
                 Trace(Cat({GetVar("b"), PushString("p"), {0x4E}})), kStop})})},
       {"object", "1", "undefined"}},
      {"attachMovie finds a linkage name in any case",
       6,
       {MakeFrame({Act({CallRoot("attachMovie", {PushString("cLiP"), PushString("x"), PushInt(1)}),
                        Trace(GetVar("x")), kStop})})},
       {"_level0.x"}},
      {"attachMovie's init object is set before the class constructor runs",
       6,
       {MakeFrame({Act({Call(GetVar("Object"), "registerClass", {PushString("Clip"), traceP}),
                        CallRoot("attachMovie",
                                 {PushString("Clip"), PushString("x"), PushInt(1),
                                  Cat({PushString("p"), PushString("set"), PushInt(1), {0x43}})}),
                        kStop})})},
       {"set"}},
  });
}

// Before SWF 6 a second placement at an occupied depth keeps both objects,
// and scripts reach each by its name (later versions ignore the second).
TEST(ClipLifetimeTest, ObjectsSharingADepthAnswerByName) {
  RunCases({
      {"SWF 5",
       5,
       {MakeFrame({Named(Place(1, kClip), "a"), Named(Place(1, kClip), "b"),
                   Act({Trace(GetVar("a")), Trace(GetVar("b")), kStop})})},
       {"_level0.a", "_level0.b"}},
      {"a move keeps the name the object was placed with",
       6,
       {MakeFrame({Named(Place(1, kClip), "a")}),
        MakeFrame({Named(Move(1, 5), "b"), Act({Trace(GetVar("a")), Trace(GetVar("b")), kStop})})},
       {"_level0.a", "undefined"}},
      {"a placement named with an empty name uses up no made-up name",
       6,
       {MakeFrame({Named(Place(1, kClip), ""), Place(2, kClip),
                   Act({Trace(GetVar("instance1")), kStop})})},
       {"_level0.instance1"}},
  });
}

// A goto's frame text names its clip before a colon, or in dot syntax
// before the last dot when that much is a clip; a slash alone does not.
TEST(ClipLifetimeTest, FrameTextNamesItsClip) {
  Movie m = BaseMovie();
  m.header.version = 6;
  AddSprite(m, kClip, {MakeFrame({Act({kStop})}), MakeFrame({Act({Text("two"), kStop})})});
  const auto go = [](const std::string& frame) {
    return Cat({PushString(frame), GotoFrame2(false)});
  };
  m.timeline = MakeTimeline(
      {MakeFrame({Named(Place(1, kClip), "mc"),
                  Act({go("mc/2"), Text("slash"), go("_root.mc.2"), Text("dot"), kStop})})});
  EXPECT_EQ(orrivel::swf::Run(std::move(m), 1), (std::vector<std::string>{"slash", "dot", "two"}));
}

// A clip a script's goto places is built (its construct handlers run) once
// the next call that script makes returns, not when the script ends.
TEST(ClipLifetimeTest, GotoPlacedClipsAreBuiltAfterTheNextCall) {
  Movie m = BaseMovie();
  m.header.version = 7;
  AddSprite(m, kClip, {MakeFrame({})});
  const Bytes defineF =
      Asm().Push({"f"}).Function("", {}, Asm().Trace("called")).Do(Op::SetVariable).Bytes();
  const Bytes callF = Cat({PushInt(0), PushString("f"), {0x3D, 0x17}});
  m.timeline = MakeTimeline(
      {MakeFrame({Act({defineF, GotoFrame(1), Text("after"), callF, Text("end"), kStop})}),
       MakeFrame({WithHandlers(Place(1, kClip), {Handler(kClipEventConstruct, "built")})})});
  EXPECT_EQ(orrivel::swf::Run(std::move(m), 1),
            (std::vector<std::string>{"after", "called", "built", "end"}));

  // A clip such a goto takes away without unload handlers: a reference to it
  // finds the clip now at its path at once, and none of the old members.
  Movie n = BaseMovie();
  n.header.version = 7;
  AddSprite(n, kClip, {MakeFrame({})});
  const auto member = [](const std::string& name) {
    return Cat({GetVar("r"), PushString(name), {0x4E}});
  };
  const Bytes setMember = Cat({GetVar("a"), PushString("m"), PushString("old"), {0x4F}});
  n.timeline = MakeTimeline({MakeFrame({Named(Place(1, kClip), "a"),
                                        Act({SetVar("r", GetVar("a")), setMember, GotoFrame(1),
                                             Trace(member("_x")), Trace(member("m")), kStop})}),
                             MakeFrame({Remove(1), Named(Place(1, kClip, 100), "a")})});
  EXPECT_EQ(orrivel::swf::Run(std::move(n), 1), (std::vector<std::string>{"5", "undefined"}));
}

// A goto that takes away the clip whose handler made it: a clip still being
// built runs its construct handler to the end and, placed by the timeline,
// still has its load event; any other handler stops there.
TEST(ClipLifetimeTest, HandlersOfAClipAGotoTakesAway) {
  const auto gotoThen = [](int frame, const char* before, const char* after) {
    return Cat(
        {Text(before), Call(GetVar("_root"), "gotoAndStop", {PushInt(frame)}), Text(after), {0}});
  };
  RunCases({
      {"construct",
       7,
       {MakeFrame({WithHandlers(Place(1, kClip), {{kClipEventConstruct, 0, gotoThen(2, "c1", "c2")},
                                                  Handler(kClipEventLoad, "load"),
                                                  Handler(kClipEventUnload, "unload")})}),
        MakeFrame({Remove(1), Act({kStop})})},
       {"c1", "c2", "load", "unload"}},
      {"enterFrame",
       7,
       {MakeFrame(
            {WithHandlers(Place(1, kClip), {{kClipEventEnterFrame, 0, gotoThen(3, "e1", "e2")}})}),
        MakeFrame({}), MakeFrame({Remove(1), Act({kStop})})},
       {"e1"}},
  });
}

// A goto queues its frame's actions, except one past the last frame: it
// stops on the last frame without running them, going forward or back.
TEST(ClipLifetimeTest, GotoPastTheLastFrameRunsNoActions) {
  const struct {
    const char* name;
    Bytes second;  // the second frame's actions
    std::vector<std::string> traces;
  } cases[] = {
      {"ToLastFrame", Cat({GotoFrame(3), Text("two")}), {"one", "two", "four"}},
      {"PastTheEnd", Cat({GotoFrame(100), Text("two")}), {"one", "two"}},
      {"BackThenPastTheEnd",
       Cat({GotoFrame(0), GotoFrame(9999), Text("two")}),
       {"one", "two", "one"}},
  };
  for (const auto& c : cases) {
    Movie m = BaseMovie();
    m.header.version = 6;
    m.timeline = MakeTimeline({MakeFrame({Act({Text("one")})}), MakeFrame({Act({c.second})}),
                               MakeFrame({}), MakeFrame({Act({Text("four"), kStop})})});
    EXPECT_EQ(orrivel::swf::Run(std::move(m), 4), c.traces) << c.name;
  }
}

// Intervals due while a frame shows fire before the next frame's actions;
// a goto they make runs its frame's init actions after every due callback.
TEST(ClipLifetimeTest, IntervalsFireBeforeTheNextFrame) {
  Movie m = BaseMovie();
  m.header.version = 6;
  AddSprite(m, kClip, {MakeFrame({})});
  const Asm callback = Asm()
                           .Trace("tick")
                           .Push({"id"})
                           .Do(Op::GetVariable)
                           .CallFunction("clearInterval", 1)
                           .Do(Op::Pop)
                           .Push({3})
                           .CallFunction("gotoAndStop", 1)
                           .Do(Op::Pop)
                           .Trace("after goto");
  const Bytes start = Asm()
                          .Push({"id", 10})
                          .Function("", {}, callback)
                          .CallFunction("setInterval", 2)
                          .Do(Op::SetVariable)
                          .Trace("one")
                          .Bytes();
  DoAction init = Act({Text("init")});
  init.init = true;
  init.spriteId = kClip;
  init.spriteDefinedBefore = true;
  m.timeline = MakeTimeline({MakeFrame({Act({start})}), MakeFrame({Act({Text("two")})}),
                             MakeFrame({init, Act({Text("three")})})});
  EXPECT_EQ(orrivel::swf::Run(std::move(m), 3),
            (std::vector<std::string>{"one", "tick", "after goto", "init", "three"}));
}

// for..in over Button.prototype lists every member, the newest first, the
// display properties of later players included.
TEST(ClipLifetimeTest, ButtonPrototypeListsItsMembers) {
  Movie m = BaseMovie();
  m.header.version = 6;
  const Bytes list = Asm()
                         .Push({"Button"})
                         .Do(Op::GetVariable)
                         .Push({"prototype"})
                         .Do(Op::GetMember)
                         .Do(Op::Enumerate2)
                         .Label("next")
                         .StoreRegister(0)
                         .Push({avm1::test::Null()})
                         .Do(Op::Equals2)
                         .If("done")
                         .Push({avm1::test::Reg(0)})
                         .Do(Op::Trace)
                         .Jump("next")
                         .Label("done")
                         .Bytes();
  m.timeline = MakeTimeline({MakeFrame({Act({list, kStop})})});
  EXPECT_EQ(orrivel::swf::Run(std::move(m), 1),
            (std::vector<std::string>{"tabIndex", "blendMode", "cacheAsBitmap", "filters",
                                      "scale9Grid", "getDepth", "enabled", "useHandCursor"}));
}

}  // namespace
}  // namespace orrivel::swf
