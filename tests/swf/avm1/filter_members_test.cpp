// The list members of flash.filters objects as scripts write them: anything
// with a length is a list (a string one of NaNs), a convolution matrix is
// padded to matrixX * matrixY, and a gradient filter's colours, alphas and
// ratios keep one length.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/clip_object.h"
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

// Each filter member is an accessor on its class's prototype: the filter
// has none of its own, a write goes through the setter's conversion, and
// deleting the name from the filter changes nothing.
TEST(FilterMembersTest, MembersAreAccessorsOnThePrototype) {
  struct Member {
    const char* filter;
    const char* member;
    Value written;
    const char* read;  // after the write and a delete
  };
  const Member cases[] = {
      {"BlurFilter", "blurX", Value::Num(300), "255"},
      {"BlurFilter", "quality", Value::Num(2.5), "2"},
      {"DropShadowFilter", "angle", Value::Num(361), "1"},
      {"DropShadowFilter", "hideObject", Value::Str("x"), "true"},
      {"GlowFilter", "color", Value::Num(0x1FF0000), "16711680"},
      {"BevelFilter", "type", Value::Str("INNER"), "full"},
      {"GradientGlowFilter", "strength", Value::Num(-1), "0"},
      {"GradientBevelFilter", "colors", Value::Str("ab"), "0,0"},
      {"ColorMatrixFilter", "matrix", Value::Str("ab"),
       "NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,"
       "NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN,NaN"},
      {"ConvolutionFilter", "matrixX", Value::Num(20), "15"},
      {"DisplacementMapFilter", "mode", Value::Str("Clamp"), "wrap"},
  };
  Movie m = BaseMovie();
  m.header.version = 8;
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  const auto owns = [&](Object* o, const char* name) {
    Value r;
    vm.CallMethod(o, "hasOwnProperty", std::vector<Value>{Value::Str(name)}, &r);
    return vm.ToBoolean(r);
  };
  for (const Member& c : cases) {
    SCOPED_TRACE(std::string(c.filter) + "." + c.member);
    Value ctor = vm.Get(vm.global, "flash");
    for (const char* step : {"filters", c.filter}) ctor = vm.Get(ctor.object, step);
    ASSERT_TRUE(ctor.IsObject());
    const Value f = vm.Construct(ctor.object, {});
    ASSERT_TRUE(f.IsObject() && f.object->proto);
    EXPECT_FALSE(owns(f.object, c.member));
    EXPECT_TRUE(owns(f.object->proto, c.member));
    vm.Set(f.object, c.member, c.written);
    EXPECT_FALSE(owns(f.object, c.member));
    EXPECT_FALSE(f.object->DeleteOwn(vm, c.member));
    EXPECT_EQ(vm.ToString(vm.Get(f.object, c.member)), c.read);
  }
}

// A displacement map filter moves a bitmap's pixels by the map's channels,
// and a clip's filters give it back with its map and members.
TEST(FilterMembersTest, DisplacementMapMovesPixelsAndReadsBack) {
  Movie m = BaseMovie();
  m.header.version = 8;
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  auto cls = [&](const char* package, const char* name) {
    Value v = vm.Get(vm.global, "flash");
    for (const char* step : {package, name}) v = v.IsObject() ? vm.Get(v.object, step) : Value{};
    return v.IsObject() ? v.object : nullptr;
  };
  Object* bitmapData = cls("display", "BitmapData");
  Object* point = cls("geom", "Point");
  Object* rect = cls("geom", "Rectangle");
  Object* filterClass = cls("filters", "DisplacementMapFilter");
  ASSERT_TRUE(bitmapData && point && rect && filterClass);
  const auto num = [](double d) { return Value::Num(d); };
  const auto make = [&](Object* c, const std::vector<Value>& a) { return vm.Construct(c, a); };
  const auto call = [&](const Value& o, const char* name, const std::vector<Value>& a) {
    Value r;
    vm.CallMethod(o.object, name, a, &r);
    return r;
  };
  // The map: one pixel moving right (red 0xC0 at scale 4 is one pixel), one
  // pointing past the right edge (red 0xFF).
  const Value map = make(bitmapData, {num(2), num(1), Value::Bool(false), num(0xC08080)});
  ASSERT_TRUE(map.IsObject());
  call(map, "setPixel", {num(1), num(0), num(0xFF8080)});
  const Value origin = make(point, {num(1), num(0)});
  for (const char* mode : {"wrap", "clamp", "ignore", "color"}) {
    SCOPED_TRACE(mode);
    const Value filter = make(filterClass, {map, origin, num(1), num(2), num(4), num(4),
                                            Value::Str(mode), num(0x0000FF), num(1)});
    ASSERT_TRUE(filter.IsObject());
    const Value bitmap = make(bitmapData, {num(3), num(1), Value::Bool(false), num(0)});
    for (int x = 0; x < 3; ++x) call(bitmap, "setPixel", {num(x), num(0), num(x + 1)});
    const Value area = make(rect, {num(0), num(0), num(3), num(1)});
    call(bitmap, "applyFilter", {bitmap, area, make(point, {num(0), num(0)}), filter});
    std::string got;
    for (int x = 0; x < 3; ++x) {
      got += vm.ToString(call(bitmap, "getPixel", {num(x), num(0)})) + " ";
    }
    const std::string edge = std::string(mode) == "wrap"    ? "1"
                             : std::string(mode) == "color" ? "255"
                                                            : "3";
    EXPECT_EQ(got, "1 3 " + edge + " ");
  }
  // Through a clip's filters and back.
  const Value filter =
      make(filterClass, {map, origin, num(1), num(2), num(4), num(4), Value::Str("clamp")});
  const Value root = Value::Obj(vm.RootClip());
  const Value clip = call(root, "createEmptyMovieClip", {Value::Str("c"), num(1)});
  ASSERT_TRUE(clip.IsObject() && filter.IsObject());
  vm.Set(clip.object, "filters", Value::Obj(vm.NewArray(std::vector<Value>{filter})));
  const Value list = vm.Get(clip.object, "filters");
  ASSERT_TRUE(list.IsObject());
  const Value back = vm.Get(list.object, "0");
  ASSERT_TRUE(back.IsObject());
  const Value backMap = vm.Get(back.object, "mapBitmap");
  ASSERT_TRUE(backMap.IsObject());
  EXPECT_EQ(vm.ToString(call(backMap, "getPixel", {num(1), num(0)})), "16744576");  // 0xFF8080
  EXPECT_EQ(vm.ToString(vm.Get(vm.Get(back.object, "mapPoint").object, "x")), "1");
  for (const auto& [member, expected] :
       {std::pair{"mode", "clamp"}, {"componentX", "1"}, {"componentY", "2"}, {"scaleX", "4"}})
    EXPECT_EQ(vm.ToString(vm.Get(back.object, member)), expected) << member;
}

}  // namespace
}  // namespace orrivel::swf::avm1
