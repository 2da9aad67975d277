#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

Object* NewFilter(Vm& vm, const char* name) {
  const Value flash = vm.Get(vm.global, "flash");
  const Value filters = flash.IsObject() ? vm.Get(flash.object, "filters") : Value{};
  const Value ctor = filters.IsObject() ? vm.Get(filters.object, name) : Value{};
  return ctor.IsObject() ? vm.Construct(ctor.object, {}).object : nullptr;
}

// The list members of filters. A gradient filter's colours set how many
// stops show, ratios can only lower that count, alphas fill in as many as
// show (a missing one opaque), and values past the count come back when it
// grows. A convolution matrix takes a string as that many NaNs and is padded
// with zeros to matrixX by matrixY, never cut.
TEST(FilterListsTest, GradientStopsAndConvolutionMatrix) {
  Movie movie = swf::test::BaseMovie();
  MovieRunner runner(movie);
  Vm& vm = runner.Vm();
  const auto array = [&](std::vector<Value> v) { return Value::Obj(vm.NewArray(std::move(v))); };
  const auto num = [](double d) { return Value::Num(d); };
  Object* glow = NewFilter(vm, "GradientGlowFilter");
  Object* conv = NewFilter(vm, "ConvolutionFilter");
  ASSERT_TRUE(glow && conv);
  const struct {
    Object* filter;
    const char* member;
    Value value;
    std::vector<const char*> reads;  // colors, alphas, ratios; or matrix
  } steps[] = {
      {glow, "colors", array({num(0xFF0000), num(10)}), {"16711680,10", "0,0", "0,0"}},
      {glow, "ratios", array({num(500), num(50.5), num(100)}), {"16711680,10", "0,0", "255,50"}},
      {glow, "alphas", array({num(0.5)}), {"16711680,10", "0.501960784313725,1", "255,50"}},
      {glow, "ratios", Value::Null(), {"16711680,10", "0.501960784313725,1", "255,50"}},
      {glow, "ratios", array({num(7)}), {"16711680", "0.501960784313725", "7"}},
      {glow, "colors", Value::Str("ABC"), {"0,0,0", "0.501960784313725,1,0", "7,50,0"}},
      {glow, "colors", num(5), {"", "", ""}},
      {conv, "matrix", Value::Str("ABCD"), {"NaN,NaN,NaN,NaN"}},
      {conv, "matrixX", num(3), {"NaN,NaN,NaN,NaN"}},
      {conv, "matrixY", num(2.5), {"NaN,NaN,NaN,NaN,0,0"}},
      {conv, "matrix", array({num(1)}), {"1,0,0,0,0,0"}},
      {conv, "matrixX", num(1), {"1,0,0,0,0,0"}},
  };
  int n = 0;
  for (const auto& s : steps) {
    SCOPED_TRACE(n++);
    vm.Set(s.filter, s.member, s.value);
    const std::vector<const char*> names =
        s.filter == glow ? std::vector<const char*>{"colors", "alphas", "ratios"}
                         : std::vector<const char*>{"matrix"};
    for (std::size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(vm.ToString(vm.Get(s.filter, names[i])), s.reads[i]) << names[i];
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
