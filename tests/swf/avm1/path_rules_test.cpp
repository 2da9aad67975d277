// Variable paths and target paths as GetVariable and SetTarget read them:
// which of "/", ":" and "." separate steps, where a variable's name starts,
// and where the owner's path is looked up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;
using test::Asm;
using test::PushArg;

std::vector<std::string> Traces(const Asm& code, int version = 8) {
  Movie m = BaseMovie();
  m.header.version = static_cast<uint8_t>(version);
  m.timeline = MakeTimeline({MakeFrame({Act({code.Bytes()})})});
  std::vector<std::string> lines;
  MovieRunner runner(m, {}, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
  runner.Tick();
  return lines;
}

// _root holds clips a > b > c, and variables a = "a var" (on the root) and
// b = "b var" (on a), each named like a clip beside it.
// owner.createEmptyMovieClip(name, 1), where owner is a dot path from _root.
Asm MakeClip(const std::vector<const char*>& owner, const char* name) {
  Asm a;
  a.Push({1, name, 2, "_root"}).Do(Op::GetVariable);
  for (const char* step : owner) a.Push({step}).Do(Op::GetMember);
  return a.Push({"createEmptyMovieClip"}).Do(Op::CallMethod).Do(Op::Pop);
}

Asm Stage() {
  return Asm()
      .Then(MakeClip({}, "a"))
      .Then(MakeClip({"a"}, "b"))
      .Then(MakeClip({"a", "b"}, "c"))
      .Push({"_root"})
      .Do(Op::GetVariable)
      .Push({"a"})
      .Do(Op::GetMember)
      .Push({"b", "b var"})
      .Do(Op::SetMember)
      .Push({"a", "a var"})
      .Do(Op::SetVariable);
}

TEST(PathRulesTest, VariablePathsSplitAtTheirLastDotOrColon) {
  const struct {
    const char* path;
    const char* value;
  } cases[] = {
      {"a", "a var"},              // a plain name: the variable
      {"a.b", "b var"},            // the owner's steps find clips first
      {"a.b.c", "_level0.a.b.c"},  // the last step finds a variable, else a clip
      {"a:b.c", "_level0.a.b.c"},
      {"a/b:c", "_level0.a.b.c"},
      {"a/b.c", "_level0.a.b.c"},   // the dot ends the owner's path
      {"/a.b.c", "undefined"},      // after a slash a dot separates nothing
      {"a/b/c/..", "undefined"},    // "/.." cuts at a dot
      {"_root:a:b/...b", "b var"},  // "a:b/.." then the variable b
      {".a", "undefined"},          // a leading single dot names nothing
  };
  for (const auto& c : cases) {
    const Asm code = Asm().Then(Stage()).Push({c.path}).Do(Op::GetVariable).Do(Op::Trace);
    EXPECT_EQ(Traces(code), std::vector<std::string>{c.value}) << c.path;
  }
}

TEST(PathRulesTest, TargetPathsStopSplittingAtDotsAfterASlash) {
  const struct {
    const char* path;
    const char* name;  // _name inside the target; undefined when none
  } cases[] = {
      {"a.b", "b"},
      {"a:b:c", "c"},
      {"a.b:c", "c"},
      {"/a/b:c", "c"},
      {"a/b/c/..", "b"},
      {"_root/a/b:..", "a"},
      {"a/b.c", "undefined"},
      {"a:b/.c", "undefined"},
      {"/a.b", "undefined"},
      {"this/a", "undefined"},  // no `this` step in a target path
      {"_root/a:b:...", "undefined"},
  };
  for (const auto& c : cases) {
    const Asm code = Asm()
                         .Then(Stage())
                         .SetTarget(c.path)
                         .Push({"", 13})  // _name
                         .Do(Op::GetProperty)
                         .Do(Op::Trace)
                         .SetTarget("");
    EXPECT_EQ(Traces(code), std::vector<std::string>{c.name}) << c.path;
  }
}

// Each version's separators: version 4 splits at slashes only, knows no
// _root and no variables as steps, and reads "_levelN" up to its digits;
// later ones skip empty steps after a dot and log a step reaching a
// primitive variable.
TEST(PathRulesTest, TargetPathsFollowTheMovieVersion) {
  constexpr const char* kWarn =
      "Parameters of primitive types are no longer coerced into the required type - Object.";
  const struct {
    int version;
    const char* path;
    std::vector<std::string> traces;  // the warnings, then the target's _name
  } cases[] = {
      {4, "_level0:a:b", {""}},  // level 0 itself
      {4, "_flash0/", {""}},           {4, "_root", {"undefined"}},
      {4, "/_level0", {"undefined"}},  {4, "/..:", {"undefined"}},
      {4, "x", {"undefined"}},         {6, "_flash0/a", {"a"}},
      {6, "a/_flash0:a", {"a"}},       {6, "_level0..", {""}},
      {6, "_level0..:a", {"a"}},       {6, "a..b", {"b"}},
      {6, "...:a", {"undefined"}},     {6, "_level0/../a", {"undefined"}},
      {6, "_level0/::a", {"a"}},       {6, "x", {kWarn, "undefined"}},
      {6, ":x", {kWarn, "undefined"}}, {6, "a.b.y", {kWarn, "undefined"}},
      {6, "a:u", {"undefined"}},
  };
  for (const auto& c : cases) {
    Asm code = Asm().Then(Stage()).Push({"x", 5}).Do(Op::SetVariable);
    code.Push({"a/b:y", "t"}).Do(Op::SetVariable);
    code.Push({c.path, 13}).Do(Op::GetProperty).Do(Op::Trace);
    EXPECT_EQ(Traces(code, c.version), c.traces) << c.version << " " << c.path;
  }
}

// The owner part of a variable path: empty, or ending in an empty colon
// step, it names nothing; version 4 splits at colons only.
TEST(PathRulesTest, VariablePathOwnersFollowTheMovieVersion) {
  const struct {
    int version;
    const char* path;
    const char* value;
  } cases[] = {
      {6, ":x", "undefined"},
      {6, "/:x", "5"},
      {6, "_root/::x", "undefined"},
      {6, "_root::x", "5"},
      {6, "_flash0:x", "5"},
      {6, "_level0.x", "5"},
      {4, "_level0:x", "5"},
      {4, "_level0.x", "undefined"},
      {4, ":x", "undefined"},
      {6, "_global.Math.PI", "3.14159265358979"},
      {5, "_global.Math.PI", "undefined"},
  };
  for (const auto& c : cases) {
    const Asm code = Asm()
                         .Then(Stage())
                         .Push({"x", 5})
                         .Do(Op::SetVariable)
                         .Push({c.path})
                         .Do(Op::GetVariable)
                         .Do(Op::Trace);
    EXPECT_EQ(Traces(code, c.version), std::vector<std::string>{c.value})
        << c.version << " " << c.path;
  }
}

// setProperty(_x) after _x = 1: version 4 takes only text that is wholly a
// number and finite values, leaving the property as it is otherwise.
TEST(PathRulesTest, SetPropertyConvertsByTheMovieVersion) {
  const struct {
    int version;
    PushArg value;
    int index;  // 0 _x, 13 _name
    const char* read;
  } cases[] = {
      {4, "10", 0, "10"},        {4, "10x", 0, "1"},     {4, "", 0, "1"},
      {4, true, 0, "1"},         {4, 1.0 / 0.0, 0, "1"}, {4, test::Undefined(), 0, "1"},
      {4, 2.5, 0, "2.5"},        {7, "", 0, "1"},        {7, 0.0 / 0.0, 13, "0"},
      {6, 0.0 / 0.0, 13, "NaN"}, {7, "n", 13, "n"},
  };
  for (const auto& c : cases) {
    const Asm code = Asm()
                         .Push({"", 0, 1})
                         .Do(Op::SetProperty)
                         .Push({"", c.index, c.value})
                         .Do(Op::SetProperty)
                         .Push({"", c.index})
                         .Do(Op::GetProperty)
                         .Do(Op::Trace);
    EXPECT_EQ(Traces(code, c.version), std::vector<std::string>{c.read})
        << c.version << " " << c.index << " " << c.read;
  }
}

// targetPath names clips and text fields, nothing else.
TEST(PathRulesTest, TargetPathNamesClipsAndFields) {
  // _root.createTextField("t", 5, 0, 0, 10, 10)
  const Asm field = Asm()
                        .Push({10, 10, 0, 0, 5, "t", 6, "_root"})
                        .Do(Op::GetVariable)
                        .Push({"createTextField"})
                        .Do(Op::CallMethod)
                        .Do(Op::Pop);
  const struct {
    const char* name;  // a variable whose value targetPath is given
    const char* path;
  } cases[] = {{"t", "_level0.t"}, {"a/b/c", "_level0.a.b.c"}, {"x", "undefined"}};
  for (const auto& c : cases) {
    const Asm code = Asm()
                         .Then(Stage())
                         .Then(field)
                         .Push({"x", "a"})
                         .Do(Op::SetVariable)
                         .Push({c.name})
                         .Do(Op::GetVariable)
                         .Do(Op::TargetPath)
                         .Do(Op::Trace);
    EXPECT_EQ(Traces(code), std::vector<std::string>{c.path}) << c.name;
  }
}

TEST(PathRulesTest, FunctionsCalledByNameRunOnTheObjectTheyAreFoundOn) {
  // a.b.f = function () { trace(this); }
  const Asm define = Asm()
                         .Then(Stage())
                         .Push({"a.b.f"})
                         .Function("", {}, Asm().Push({"this"}).Do(Op::GetVariable).Do(Op::Trace))
                         .Do(Op::SetVariable);
  const struct {
    const char* target;  // a tell-target around the call, or none
    const char* name;
  } cases[] = {
      {nullptr, "a.b.f"}, {nullptr, "a:b:f"}, {"a/b", "f"},  // found on the tell-target
  };
  for (const auto& c : cases) {
    Asm code = Asm().Then(define);
    if (c.target) code.SetTarget(c.target);
    code.CallFunction(c.name, 0).Do(Op::Pop);
    if (c.target) code.SetTarget("");
    EXPECT_EQ(Traces(code), std::vector<std::string>{"_level0.a.b"}) << c.name;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
