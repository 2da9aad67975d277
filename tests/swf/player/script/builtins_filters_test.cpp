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

// A gradient filter's colours set how many stops show, ratios can only
// lower that count, alphas fill in as many as show (a missing one opaque),
// and the values past the count come back when it grows.
TEST(FilterListsTest, GradientStopsKeepWhatIsHidden) {
  Movie movie = swf::test::BaseMovie();
  MovieRunner runner(movie);
  Vm& vm = runner.Vm();
  const auto array = [&](std::vector<Value> v) { return Value::Obj(vm.NewArray(std::move(v))); };
  const auto num = [](double d) { return Value::Num(d); };
  Object* glow = NewFilter(vm, "GradientGlowFilter");
  ASSERT_TRUE(glow);
  const struct {
    const char* member;
    Value value;
    std::vector<const char*> reads;  // colors, alphas, ratios
  } steps[] = {
      {"colors", array({num(0xFF0000), num(10)}), {"16711680,10", "0,0", "0,0"}},
      {"ratios", array({num(500), num(50.5), num(100)}), {"16711680,10", "0,0", "255,50"}},
      {"alphas", array({num(0.5)}), {"16711680,10", "0.501960784313725,1", "255,50"}},
      {"ratios", Value::Null(), {"16711680,10", "0.501960784313725,1", "255,50"}},
      {"ratios", array({num(7)}), {"16711680", "0.501960784313725", "7"}},
      {"colors", Value::Str("ABC"), {"0,0,0", "0.501960784313725,1,0", "7,50,0"}},
      {"colors", num(5), {"", "", ""}},
  };
  int n = 0;
  for (const auto& s : steps) {
    SCOPED_TRACE(n++);
    vm.Set(glow, s.member, s.value);
    const char* names[] = {"colors", "alphas", "ratios"};
    for (std::size_t i = 0; i < 3; ++i)
      EXPECT_EQ(vm.ToString(vm.Get(glow, names[i])), s.reads[i]) << names[i];
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
