// The list members of flash.filters objects as scripts write them: anything
// with a length is a list (a string one of NaNs), a convolution matrix is
// padded to matrixX * matrixY, and a gradient filter's colours, alphas and
// ratios keep one length.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;

struct Write {
  const char* member;
  Value value;
};

struct Case {
  const char* name;
  const char* filter;
  std::vector<Write> writes;
  std::vector<std::pair<const char*, const char*>> reads;  // member, as a string
};

TEST(FilterMembersTest, ListsFollowFlashsConversions) {
  const Value none, half = Value::Num(0.25);
  const Case cases[] = {
      {"a string is a list of NaN",
       "ConvolutionFilter",
       {{"matrix", Value::Str("abcdef")}},
       {{"matrix", "NaN,NaN,NaN,NaN,NaN,NaN"}}},
      {"the sides pad the matrix with zeros, never cut it",
       "ConvolutionFilter",
       {{"matrix", Value::Str("abc")}, {"matrixX", Value::Num(2)}, {"matrixY", Value::Num(2.5)}},
       {{"matrix", "NaN,NaN,NaN,0"}}},
      {"a number has no length",
       "ConvolutionFilter",
       {{"matrixX", Value::Num(1)}, {"matrixY", Value::Num(2)}, {"matrix", Value::Num(1234)}},
       {{"matrix", "0,0"}}},
      {"new colours resize alphas and ratios",
       "GradientGlowFilter",
       {{"colors", Value::Str("ab")}},
       {{"colors", "0,0"}, {"alphas", "0,0"}, {"ratios", "0,0"}}},
      {"alphas keep the colours' length",
       "GradientGlowFilter",
       {{"alphas", Value::Str("abc")}},
       {{"colors", ""}, {"alphas", ""}}},
      {"gradient alphas round to bytes",
       "GradientGlowFilter",
       {{"colors", Value::Str("ab")}, {"alphas", half}},
       {{"alphas", "0.501960784313725,1"}}},
      {"single alphas truncate to bytes",
       "DropShadowFilter",
       {{"alpha", Value::Num(0.5)}},
       {{"alpha", "0.498039215686275"}}},
      {"null ratios change nothing, shorter ratios shorten all",
       "GradientBevelFilter",
       {{"colors", Value::Str("abcd")}, {"ratios", none}, {"ratios", Value::Str("a")}},
       {{"colors", "0"}, {"alphas", "0"}, {"ratios", "0"}}},
  };
  // `half` in a write stands for the array [0.5, 2].
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Movie m = BaseMovie();
    m.header.version = 8;
    MovieRunner runner(m);
    Vm& vm = runner.Vm();
    Value ctor = vm.Get(vm.global, "flash");
    for (const char* step : {"filters", c.filter}) {
      ASSERT_TRUE(ctor.IsObject()) << step;
      ctor = vm.Get(ctor.object, step);
    }
    ASSERT_TRUE(ctor.IsObject());
    const Value f = vm.Construct(ctor.object, {});
    ASSERT_TRUE(f.IsObject());
    for (const Write& w : c.writes) {
      const bool list = w.value.type == Type::Number && w.value.number == 0.25;
      vm.Set(f.object, w.member,
             list ? Value::Obj(vm.NewArray({Value::Num(0.5), Value::Num(2)})) : w.value);
    }
    for (const auto& [member, expected] : c.reads)
      EXPECT_EQ(vm.ToString(vm.Get(f.object, member)), expected) << member;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
