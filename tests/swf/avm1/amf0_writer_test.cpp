// AMF0 as remoting calls carry it, and the requests a movie makes reaching
// the host's log instead of the network.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/amf0_writer.h"
#include "swf/avm1/clip_object.h"
#include "swf/avm1/loader.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;

std::string Hex(const std::string& bytes) {
  std::string out;
  char b[4];
  for (unsigned char c : bytes) std::snprintf(b, sizeof b, "%02X ", c), out += b;
  if (!out.empty()) out.pop_back();
  return out;
}

TEST(Amf0WriterTest, ValuesEncodeAsAmf0) {
  Movie movie = BaseMovie();
  MovieRunner runner(movie, PlayerLimits{});
  Vm& vm = runner.Vm();
  Object* obj = vm.NewObject();
  vm.Set(obj, "a", Value::Num(1));
  vm.Set(obj, "f", Value::Obj(vm.NewFunction()));  // methods are left out
  ArrayObject* dense = vm.NewArray({Value::Str("x"), Value::Bool(true)});
  ArrayObject* named = vm.NewArray({Value::Null()});
  vm.Set(named, "k", Value{});
  ArrayObject* cyclic = vm.NewArray();
  vm.Set(cyclic, "0", Value::Obj(cyclic));
  // Inherited properties are written after the own ones; an addProperty
  // one is written undefined, a super() link not at all.
  Object* proto = vm.NewObject();
  vm.Set(proto, "p", Value::Num(2));
  const std::vector<Value> accessor{Value::Str("g"), Value::Obj(vm.NewFunction()), Value::Null()};
  vm.CallMethod(proto, "addProperty", accessor);
  Object* child = vm.NewObject();
  child->proto = proto;
  vm.Set(child, "a", Value::Num(1));
  vm.Set(child, "__constructor__", Value::Num(3));
  // A Date takes a place in the reference table.
  const Value date = vm.Construct(vm.Get(vm.global, "Date").object, std::vector{Value::Num(0)});
  ArrayObject* after = vm.NewArray({date, Value::Obj(obj), Value::Obj(obj)});
  struct Case {
    const char* what;
    Value v;
    const char* hex;
  } cases[] = {
      {"number", Value::Num(1.5), "00 3F F8 00 00 00 00 00 00"},
      {"boolean", Value::Bool(true), "01 01"},
      {"string", Value::Str("hi"), "02 00 02 68 69"},
      {"null", Value::Null(), "05"},
      {"undefined", Value{}, "06"},
      {"object, methods left out", Value::Obj(obj),
       "03 00 01 61 00 3F F0 00 00 00 00 00 00 00 00 09"},
      {"dense array", Value::Obj(dense), "0A 00 00 00 02 02 00 01 78 01 01"},
      {"array with a name", Value::Obj(named), "08 00 00 00 01 00 01 30 05 00 01 6B 06 00 00 09"},
      {"an array in itself", Value::Obj(cyclic), "0A 00 00 00 01 07 00 00"},
      {"inherited members", Value::Obj(child),
       "03 00 01 61 00 3F F0 00 00 00 00 00 00 00 01 70 00 40 00 00 00 00 00 00 00 00 01 67 06 "
       "00 00 09"},
      {"references count dates", Value::Obj(after),
       "0A 00 00 00 03 0B 00 00 00 00 00 00 00 00 00 00 03 00 01 61 00 3F F0 00 00 00 00 00 00 "
       "00 00 09 07 00 02"},
  };
  for (const Case& c : cases) {
    Amf0Writer w(vm);
    w.Value(c.v);
    EXPECT_EQ(Hex(w.Bytes()), c.hex) << c.what;
  }
}

// A registered class's instance is a typed object under the name it was
// last registered with; an object that only inherits the constructor is not.
TEST(Amf0WriterTest, OwnConstructorNamesTheTypedObject) {
  Movie movie = BaseMovie();
  movie.header.version = 8;
  MovieRunner runner(movie, PlayerLimits{});
  Vm& vm = runner.Vm();
  Object* cls = vm.NewFunction();
  Object* object = vm.Get(vm.global, "Object").object;
  for (const char* name : {"Z", "A"}) {
    const Value args[] = {Value::Str(name), Value::Obj(cls)};
    vm.CallMethod(object, "registerClass", args);
  }
  const Value instance = vm.Construct(cls, {});
  ASSERT_TRUE(instance.IsObject());
  Object* inherits = vm.NewObject();
  inherits->proto = instance.object;
  for (const auto& [v, hex] : {std::pair{instance, "10 00 01 41 00 00 09"},
                               std::pair{Value::Obj(inherits), "03 00 00 09"}}) {
    Amf0Writer w(vm);
    w.Value(v);
    EXPECT_EQ(Hex(w.Bytes()), hex);
  }
}

TEST(Amf0WriterTest, RequestHoldsOneMessageWithItsArguments) {
  Movie movie = BaseMovie();
  MovieRunner runner(movie, PlayerLimits{});
  const Value args[] = {Value::Num(0)};
  EXPECT_EQ(Hex(Amf0Request(runner.Vm(), "a.b", 2, args)),
            "00 00 00 00 00 01 00 03 61 2E 62 00 02 2F 32 00 00 00 0E "
            "0A 00 00 00 01 00 00 00 00 00 00 00 00 00");
}

TEST(Amf0WriterTest, FormEncodingKeepsOnlyTheSafeBytes) {
  EXPECT_EQ(FormEncode("a-Z_0.9*"), "a-Z_0.9*");
  EXPECT_EQ(FormEncode("[object Object]"), "%5Bobject+Object%5D");
  EXPECT_EQ(FormEncode("\xC3\xA9&="), "%C3%A9%26%3D");
}

}  // namespace
}  // namespace orrivel::swf::avm1

namespace orrivel::swf::avm1 {
namespace {

// What a LocalConnection receiver gets: values as AMF0 carries them.
TEST(Amf0ReaderTest, ArgumentsArriveAsAmf0CarriesThem) {
  Movie movie = swf::test::BaseMovie();
  MovieRunner runner(movie, PlayerLimits{});
  Vm& vm = runner.Vm();
  Object* obj = vm.NewObject();
  vm.Set(obj, "n", Value::Num(2));
  vm.Set(obj, "self", Value::Obj(obj));
  vm.Set(obj, "m", Value::Obj(vm.NewFunction()));
  FunctionObject* fn = vm.NewFunction();
  vm.Set(fn, "tag", Value::Str("t"));
  ArrayObject* list = vm.NewArray({Value::Str("a"), Value{}, Value::Num(3)});
  const std::vector<Value> args{Value::Num(1.5),  Value::Str("s"),          Value::Null(),
                                Value{},          Value::Obj(obj),          Value::Obj(fn),
                                Value::Obj(list), Value::Obj(vm.RootClip())};
  const std::vector<Value> got = CopyThroughAmf0(vm, args);
  ASSERT_EQ(got.size(), args.size());
  const struct {
    std::size_t index;
    const char* text;  // String(value)
  } cases[] = {
      {0, "1.5"},           {1, "s"},        {2, "null"}, {3, "undefined"}, {5, "[object Object]"},
      {6, "a,undefined,3"}, {7, "undefined"}};
  for (const auto& c : cases) EXPECT_EQ(vm.ToString(got[c.index]), c.text) << c.index;
  // A copy: its cycle kept, its method dropped; the function's data kept.
  ASSERT_TRUE(got[4].IsObject());
  EXPECT_NE(got[4].object, obj);
  EXPECT_EQ(vm.Get(got[4].object, "self").object, got[4].object);
  EXPECT_TRUE(vm.Get(got[4].object, "m").IsUndefined());
  EXPECT_EQ(vm.ToString(vm.Get(got[4].object, "n")), "2");
  EXPECT_FALSE(got[5].object->IsFunction());
  EXPECT_EQ(vm.ToString(vm.Get(got[5].object, "tag")), "t");
  // Damaged bytes give what came before the damage.
  EXPECT_EQ(ReadAmf0Values(vm, std::string("\x01\x01\x02\x00\x09x", 6)).size(), 1u);
  EXPECT_TRUE(ReadAmf0Values(vm, std::string("\x0A\xFF\xFF\xFF\xFF", 5)).empty());
}

}  // namespace
}  // namespace orrivel::swf::avm1
