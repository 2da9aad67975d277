#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../movie_builder.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

Object* GeomClass(Vm& vm, const char* name) {
  const Value flash = vm.Get(vm.global, "flash");
  const Value geom = flash.IsObject() ? vm.Get(flash.object, "geom") : Value{};
  const Value ctor = geom.IsObject() ? vm.Get(geom.object, name) : Value{};
  return ctor.IsObject() ? ctor.object : nullptr;
}

std::string Fields(Vm& vm, Object* o) {
  std::string out;
  for (const char* k : {"a", "b", "c", "d", "tx", "ty"})
    out += std::string(out.empty() ? "" : ",") + vm.ToString(vm.Get(o, k));
  return out;
}

// Matrix methods work through the object's own methods: copied onto a
// plain object without concat, rotate and scale do nothing; createBox sets
// only the offsets; invert reads the offsets back through deltaTransformPoint.
TEST(MatrixMethodsTest, StepsGoThroughTheObjectsOwnMethods) {
  const struct {
    int version;
    bool realMatrix;
    const char* method;
    std::vector<Value> args;
    const char* fields;
  } cases[] = {
      {8, false, "rotate", {Value::Num(2)}, "1,1,1,1,5,5"},
      {8, false, "scale", {Value::Num(4), Value::Num(5)}, "1,1,1,1,5,5"},
      {8, false, "translate", {Value::Num(200), Value::Num(400)}, "1,1,1,1,205,405"},
      {8,
       false,
       "createBox",
       {Value::Num(4), Value::Num(3), Value::Num(4), Value::Num(2)},
       "1,1,1,1,2,0"},
      {8, false, "createGradientBox", {Value::Num(4), Value::Num(3)}, "1,1,1,1,5,5"},
      {8, false, "invert", {}, "0.5,0,0,0.25,NaN,NaN"},
      {6, false, "invert", {}, "0.5,0,0,0.25,0,0"},
      {8, true, "translate", {Value::Str("s"), Value::Num(1)}, "1,1,1,1,5s,6"},
      {8, true, "invert", {}, "0.5,0,0,0.25,-2.5,-1.25"},
      {8, true, "createBox", {Value::Str("a"), Value::Num(2)}, "NaN,NaN,NaN,NaN,0,0"},
      {6, true, "createBox", {Value::Str("a"), Value::Num(2)}, "NaN,0,0,2,0,0"},
      {8,
       true,
       "createBox",
       {Value::Num(2), Value::Num(3), Value::Num(0), Value::Str("x")},
       "2,0,0,3,x,0"},
      {8,
       true,
       "createGradientBox",
       {Value::Num(40), Value::Num(49), Value::Num(0), Value::Str("s")},
       "0.0244140625,0,0,0.0299072265625,s20,24.5"},
      {8, true, "rotate", {Value::Num(0)}, "1,1,1,1,5,5"},
      {8, true, "scale", {Value::Num(2), Value::Num(3)}, "2,3,2,3,10,15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " v" + std::to_string(c.version));
    Movie movie = swf::test::BaseMovie();
    movie.header.version = static_cast<uint8_t>(c.version);
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    // Before SWF 8 the package is hidden until a script reveals it.
    const std::vector<Value> reveal{Value::Obj(vm.global), Value::Str("flash"), Value::Num(0),
                                    Value::Num(5248)};
    vm.CallMethod(vm.global, "ASSetPropFlags", reveal);
    Object* matrix = GeomClass(vm, "Matrix");
    ASSERT_TRUE(matrix);
    Object* o = nullptr;
    if (c.realMatrix) {
      o = vm.Construct(matrix, {}).object;
    } else {
      o = vm.NewObject();
      Object* proto = vm.Get(matrix, "prototype").object;
      vm.Set(o, c.method, vm.Get(proto, c.method));
    }
    // An invertible start for invert: (2, 0, 0, 4, 5, 5).
    const bool inv = std::string(c.method) == "invert";
    const double start[] = {inv ? 2.0 : 1, inv ? 0.0 : 1, inv ? 0.0 : 1, inv ? 4.0 : 1, 5, 5};
    const char* names[] = {"a", "b", "c", "d", "tx", "ty"};
    for (int i = 0; i < 6; ++i) vm.Set(o, names[i], Value::Num(start[i]));
    vm.CallMethod(o, c.method, c.args);
    EXPECT_EQ(Fields(vm, o), c.fields);
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1

namespace orrivel::swf::avm1 {
namespace {

// containsRectangle runs as the player's script does, so a NaN or missing
// field answers undefined where the comparison meets it; union lets NaN
// spread instead of calling the side empty.
TEST(RectangleMethodsTest, NaNAnswersAsTheScriptDoes) {
  Movie movie = swf::test::BaseMovie();
  MovieRunner runner(movie);
  Vm& vm = runner.Vm();
  Object* rect = GeomClass(vm, "Rectangle");
  ASSERT_TRUE(rect);
  const auto make = [&](std::vector<Value> v) { return vm.Construct(rect, v); };
  const Value self = make({Value::Num(1), Value::Num(3), Value::Num(5), Value::Num(7)});
  const auto num = [](double d) { return Value::Num(d); };
  const struct {
    const char* method;
    std::vector<Value> args;
    const char* result;
  } cases[] = {
      {"containsRectangle", {}, "undefined"},
      {"containsRectangle", {make({num(1), num(3), num(5), num(7)})}, "true"},
      {"containsRectangle", {make({num(0.9), num(2.9), num(5), num(7)})}, "false"},
      {"containsRectangle", {make({num(1), num(3), num(5.1), num(7.1)})}, "false"},
      {"containsRectangle", {make({num(2), Value{}, num(1), num(1)})}, "undefined"},
      {"containsRectangle", {make({num(5), num(5), num(NAN), num(1)})}, "undefined"},
      {"union", {}, "(x=NaN, y=NaN, w=NaN, h=NaN)"},
      {"union", {make({num(3), num(5), num(7), num(9)})}, "(x=1, y=3, w=9, h=11)"},
      {"union", {make({num(3), num(5), num(0), num(9)})}, "(x=1, y=3, w=5, h=7)"},
      {"union", {make({num(1), num(3), num(5), num(NAN)})}, "(x=1, y=3, w=5, h=NaN)"},
  };
  for (const auto& c : cases) {
    Value out;
    vm.CallMethod(self.object, c.method, c.args, &out);
    EXPECT_EQ(vm.ToString(out), c.result) << c.method << " case " << (&c - cases);
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1

namespace orrivel::swf::avm1 {
namespace {

// A Transform belongs to a clip (without one, `new` gives undefined); its
// colorTransform takes only a ColorTransform, and the root keeps one too.
TEST(TransformTest, BelongsToAClipAndTakesOnlyColorTransforms) {
  Movie movie = swf::test::BaseMovie();
  MovieRunner runner(movie);
  Vm& vm = runner.Vm();
  Object* transform = GeomClass(vm, "Transform");
  Object* color = GeomClass(vm, "ColorTransform");
  ASSERT_TRUE(transform && color && vm.RootClip());
  EXPECT_TRUE(vm.Construct(transform, {}).IsUndefined());
  const std::vector<Value> root{Value::Obj(vm.RootClip())};
  const Value t = vm.Construct(transform, root);
  ASSERT_TRUE(t.IsObject());
  const auto blue = [&] {
    const Value c = vm.Get(t.object, "colorTransform");
    return c.IsObject() ? vm.ToString(vm.Get(c.object, "blueMultiplier")) : "none";
  };
  vm.Set(t.object, "colorTransform", Value::Obj(vm.NewObject()));
  EXPECT_EQ(blue(), "1");
  const std::vector<Value> factors{Value::Num(1), Value::Num(1), Value::Num(127.5), Value::Num(1),
                                   Value::Num(0), Value::Num(0), Value::Num(0),     Value::Num(0)};
  const Value made = vm.Construct(color, factors);
  ASSERT_TRUE(made.IsObject());
  EXPECT_EQ(vm.ToString(vm.Get(made.object, "blueMultiplier")), "127.5");
  vm.Set(t.object, "colorTransform", made);
  EXPECT_EQ(blue(), "127.5");
}

// A clip keeps what transform sets in its own fields: colour factors cut to
// 16-bit integers (multipliers in 8.8) that wrap, the matrix in single
// precision, and the scale and rotation scripts read as they were.
TEST(TransformTest, ClipsKeepWhatTransformSetsInTheirOwnFields) {
  const struct {
    std::vector<double> factors;  // the ColorTransform's eight arguments
    const char* color;
  } colors[] = {
      {{1, 127.5, -0.5, 1, 40000, -40000, 65536 + 7, 255},
       "(redMultiplier=1, greenMultiplier=127.5, blueMultiplier=-0.5, alphaMultiplier=1, "
       "redOffset=-25536, greenOffset=25536, blueOffset=7, alphaOffset=255)"},
      {{2342341, 11234112, 5e-67, 128, 1222222, 2342343434, 0.9, -1.9},
       "(redMultiplier=-59, greenMultiplier=64, blueMultiplier=0, alphaMultiplier=-128, "
       "redOffset=-22962, greenOffset=21258, blueOffset=0, alphaOffset=-1)"},
  };
  for (const auto& c : colors) {
    Movie movie = swf::test::BaseMovie();
    movie.header.version = 8;
    MovieRunner runner(movie);
    Vm& vm = runner.Vm();
    Object* colorClass = GeomClass(vm, "ColorTransform");
    ASSERT_TRUE(colorClass && vm.RootClip());
    const Value args[2] = {Value::Str("c"), Value::Num(1)};
    Value clip;
    vm.CallMethod(vm.RootClip(), "createEmptyMovieClip", args, &clip);
    ASSERT_TRUE(clip.IsObject());
    const Value t = vm.Get(clip.object, "transform");
    ASSERT_TRUE(t.IsObject());
    std::vector<Value> factors;
    for (double f : c.factors) factors.push_back(Value::Num(f));
    vm.Set(t.object, "colorTransform", vm.Construct(colorClass, factors));
    EXPECT_EQ(vm.ToString(vm.Get(t.object, "colorTransform")), c.color);
  }
  Movie movie = swf::test::BaseMovie();
  movie.header.version = 8;
  MovieRunner runner(movie);
  Vm& vm = runner.Vm();
  const Value args[2] = {Value::Str("c"), Value::Num(1)};
  Value clip;
  vm.CallMethod(vm.RootClip(), "createEmptyMovieClip", args, &clip);
  ASSERT_TRUE(clip.IsObject());
  vm.Set(clip.object, "_rotation", Value::Num(1.5));
  const Value t = vm.Get(clip.object, "transform");
  ASSERT_TRUE(t.IsObject());
  const std::vector<Value> m{Value::Num(2), Value::Num(0.3), Value::Num(0.3),
                             Value::Num(2), Value::Num(10),  Value::Num(11)};
  vm.Set(t.object, "matrix", vm.Construct(GeomClass(vm, "Matrix"), m));
  EXPECT_EQ(vm.ToString(vm.Get(t.object, "matrix")),
            "(a=2, b=0.300000011920929, c=0.300000011920929, d=2, tx=10, ty=11)");
  EXPECT_EQ(vm.ToString(vm.Get(clip.object, "_xscale")), "100");
  EXPECT_EQ(vm.ToString(vm.Get(clip.object, "_rotation")), "1.5");
}

}  // namespace
}  // namespace orrivel::swf::avm1
