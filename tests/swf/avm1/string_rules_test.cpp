// String, Array and Date rules that differ between movie versions: SWF 5
// strings are bytes, later ones UTF-16 text.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "action_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;

// Runs receiver.method(args) in a movie of the version; receiver "String"
// names the class, anything else is a string value.
class Calls {
 public:
  explicit Calls(int version) {
    movie_.header.version = static_cast<uint8_t>(version);
    runner_ = std::make_unique<MovieRunner>(movie_);
  }
  Vm& vm() { return runner_->Vm(); }
  Value Call(const std::string& receiver, const char* method, std::vector<Value> args) {
    Object* self = receiver == "String" ? vm().Get(vm().global, "String").object
                                        : vm().ToObject(Value::Str(receiver));
    Value r;
    vm().CallMethod(self, method, args, &r);
    return r;
  }
  std::string Text(const std::string& receiver, const char* method, std::vector<Value> args) {
    return vm().ToString(Call(receiver, method, std::move(args)));
  }

 private:
  Movie movie_ = BaseMovie();
  std::unique_ptr<MovieRunner> runner_;
};

Value N(double n) { return Value::Num(n); }
Value S(const char* s) { return Value::Str(s); }

// A method called on a receiver (a string, or a global's name) in a movie of
// one version, and the text of its result.
struct TextCase {
  int version;
  const char* receiver;
  const char* method;
  std::vector<Value> args;
  const char* result;
};

template <std::size_t N>
void ExpectTexts(const TextCase (&cases)[N]) {
  for (const auto& c : cases) {
    Calls calls(c.version);
    EXPECT_EQ(calls.Text(c.receiver, c.method, c.args), c.result)
        << "v" << c.version << " " << c.receiver << "." << c.method;
  }
}

TEST(StringRulesTest, Swf5StringsAreBytes) {
  const TextCase cases[] = {
      // "é" written as UTF-8 is two characters before version 6.
      {5, "\xC3\xA9x", "charAt", {N(1)}, "\xA9"},
      {6, "\xC3\xA9x", "charAt", {N(1)}, "x"},
      {5, "\xC3\xA9x", "charCodeAt", {N(0)}, "195"},
      {6, "\xC3\xA9x", "charCodeAt", {N(0)}, "233"},
      {5, "\xC3\xA9x", "indexOf", {S("x")}, "2"},
      {6, "\xC3\xA9x", "indexOf", {S("x")}, "1"},
      {5, "\xC3\xA9x", "substr", {N(1), N(1)}, "\xA9"},
      // fromCharCode keeps the low byte before version 6.
      {5, "String", "fromCharCode", {N(0x141), N(233)}, "A\xE9"},
      {6, "String", "fromCharCode", {N(0x141), N(233)}, "\xC5\x81\xC3\xA9"},
      {5, "String", "fromCharCode", {N(65), N(256), N(66)}, "A"},
      {6, "String", "fromCharCode", {N(65), N(0x10000), N(66)}, "A"},
  };
  ExpectTexts(cases);
  for (int version : {5, 6}) {
    Calls calls(version);
    Vm& vm = calls.vm();
    const Value s = calls.Call("String", "fromCharCode", {N(233), N(66)});
    EXPECT_EQ(vm.ToNumber(vm.GetMember(s, "length")), 2) << version;
    const Value codes = calls.Call(s.string, "charCodeAt", {N(0)});
    EXPECT_EQ(vm.ToNumber(codes), 233) << version;
  }
}

TEST(StringRulesTest, PiecesLimitsAndCase) {
  const TextCase cases[] = {
      {6, "abc", "substring", {N(2), N(0)}, "ab"},
      {6, "abc", "substring", {N(3), N(0)}, ""},  // start at the end
      {6, "abc", "substring", {N(7), N(1)}, ""},
      {5, "abc", "substring", {N(4294967297.0), N(0)}, "a"},  // 32-bit wrap
      {6, "a,b,c", "split", {S(","), N(2.7)}, "a,b"},
      {6, "a,b,c", "split", {S(","), N(-1)}, ""},
      {6, "a,b,c", "split", {S(","), N(4294967297.0)}, "a"},
      {6, "a,b,c", "split", {S(","), N(NAN)}, ""},
      {6, "a,b,c", "split", {S(","), S("2")}, "a,b"},
      {6,
       "\xC3\xAB\xC3\x9F\xCE\xB1\xD0\xB6\xC5\x93z",
       "toUpperCase",
       {},
       "\xC3\x8B\xC3\x9F\xCE\x91\xD0\x96\xC5\x92Z"},
      {6,
       "\xC3\x80\xCE\xA9\xD0\x81\xC5\xB8Z",
       "toLowerCase",
       {},
       "\xC3\xA0\xCF\x89\xD1\x91\xC3\xBFz"},
      {5, "\xC3\xABz", "toUpperCase", {}, "\xC3\xABZ"},  // bytes: ASCII only
      // The tables are not inverses: dotted I lowers to i, dotless i and
      // long s raise to I and S; Georgian capitals lower to the modern
      // letters; circled letters, Roman numerals and the Ohm sign change.
      {6,
       "\xC4\xB0\xE1\x82\xA0\xE2\x92\xB6\xE2\x85\xA0\xE2\x84\xA6",
       "toLowerCase",
       {},
       "i\xE1\x83\x90\xE2\x93\x90\xE2\x85\xB0\xCF\x89"},
      {6, "\xC4\xB1\xC5\xBF\xC9\x93\xE2\x93\x90", "toUpperCase", {}, "IS\xC6\x81\xE2\x92\xB6"},
      // Half of a surrogate pair cannot be held: it reads as U+FFFD.
      {6,
       "String",
       "fromCharCode",
       {N(0xD801), N(66)},
       "\xEF\xBF\xBD"
       "B"},
      {6, "String", "fromCharCode", {N(0xD83D), N(0xDE00)}, "\xF0\x9F\x98\x80"},
      {6, "a\xF0\x9F\x98\x80", "charAt", {N(1)}, "\xEF\xBF\xBD"},
      {6, "a\xF0\x9F\x98\x80", "substr", {N(2)}, "\xEF\xBF\xBD"},
  };
  ExpectTexts(cases);
}

TEST(StringRulesTest, ArraySortArgumentsAndFlags) {
  // Array constants: CASEINSENSITIVE 1, DESCENDING 2, UNIQUESORT 4,
  // RETURNINDEXEDARRAY 8, NUMERIC 16.
  const struct {
    std::vector<Value> elements;
    const char* method;
    std::vector<Value> args;
    const char* result;  // what the call returns, as text
    const char* after;   // the array afterwards
  } cases[] = {
      {{N(2), N(1)}, "sort", {Value{}}, "undefined", "2,1"},
      {{N(2), N(1)}, "sort", {Value::Bool(true), N(0)}, "undefined", "2,1"},
      {{N(2), N(1)}, "sort", {Value::Null(), N(0)}, "undefined", "2,1"},
      {{N(2), N(1)}, "sort", {N(NAN)}, "1,2", "1,2"},
      {{N(2), N(3), N(1)}, "sort", {N(2), N(16)}, "1,2,3", "1,2,3"},  // the second is the flags
      {{N(2), N(3), N(1)}, "sort", {N(2), Value{}}, "3,2,1", "3,2,1"},
      // NUMERIC compares numbers only; mixed pairs compare as text.
      {{S("test"), N(4), N(1), S("22"), Value{}, N(3), N(23), N(2), Value::Bool(true)},
       "sort",
       {N(16 | 1 | 2 | 4 | 8)},
       "4,8,0,6,1,5,3,7,2",
       "test,4,1,22,undefined,3,23,2,true"},
      {{S("h\xC3\xABllo"), S("H\xC3\x8BLLO"), S("a")},
       "sort",
       {N(1 | 4)},
       "0",
       "h\xC3\xABllo,H\xC3\x8BLLO,a"},  // equal once letters beyond ASCII fold
      {{S("test"), S("a"), S("bar")}, "sortOn", {S("length"), N(16)}, "a,bar,test", "a,bar,test"},
      // Descending turns the ascending order around, equal elements too.
      {{N(1), N(2), N(2), N(3)}, "sort", {N(2 | 8)}, "3,2,1,0", "1,2,2,3"},
      {{N(2), N(1), N(2)}, "sort", {N(4)}, "0", "2,1,2"},
  };
  for (const auto& c : cases) {
    Calls calls(7);
    Vm& vm = calls.vm();
    ArrayObject* array = vm.NewArray(c.elements);
    Value r;
    vm.CallMethod(array, c.method, c.args, &r);
    EXPECT_EQ(vm.ToString(r), c.result) << c.method << " " << c.after;
    EXPECT_EQ(vm.ToString(Value::Obj(array)), c.after) << c.method;
  }
  // Before version 9 a comparison function's ties do not fail UNIQUESORT
  // (isNaN finds every pair equal).
  Calls calls(8);
  Vm& vm = calls.vm();
  ArrayObject* array = vm.NewArray({N(2), N(2)});
  Value r;
  const std::vector<Value> args = {vm.Get(vm.global, "isNaN"), N(4)};
  vm.CallMethod(array, "sort", args, &r);
  EXPECT_TRUE(r.IsObject() && r.object == array);
}

// The version 4 string actions: substring's operands wrap to 32 bits, and
// a character that is half of a surrogate pair reads and writes as U+FFFD.
TEST(StringRulesTest, StringActionsWrapAndReplaceHalves) {
  using test::Asm;
  using test::PushArg;
  const struct {
    std::vector<PushArg> operands;
    Op op;
    const char* trace;
  } cases[] = {
      {{"abcdef", 4294967298.0, -4294967293.0}, Op::StringExtract, "bcd"},
      {{"abcdef", NAN, 2}, Op::StringExtract, "ab"},
      {{"abcdef", 2, NAN}, Op::StringExtract, ""},
      {{"abcdef", -5, -100}, Op::StringExtract, "abcdef"},
      {{"\xF0\x9F\x98\x8Bx"}, Op::CharToAscii, "65533"},
      {{"\xE6\x84\x9B"}, Op::CharToAscii, "24859"},
      {{0xD801}, Op::AsciiToChar, "\xEF\xBF\xBD"},
      {{65616}, Op::AsciiToChar, "P"},
  };
  for (const auto& c : cases) {
    Movie m = BaseMovie();
    m.header.version = 6;
    const Asm code = Asm().PushAll(c.operands).Do(c.op).Do(Op::Trace);
    m.timeline = MakeTimeline({MakeFrame({Act({code.Bytes()})})});
    std::vector<std::string> lines;
    MovieRunner runner(m, {}, nullptr, [&lines](const std::string& t) { lines.push_back(t); });
    runner.Tick();
    EXPECT_EQ(lines, std::vector<std::string>{c.trace}) << c.trace;
  }
}

// sortOn compares each element's own stored field: a prototype's field and
// a getter count as missing (the getter is not called).
TEST(StringRulesTest, SortOnReadsOwnStoredFields) {
  Calls calls(7);
  Vm& vm = calls.vm();
  std::vector<Value> items;
  for (int n : {2, 1, 3}) {
    Object* o = vm.NewObject();
    vm.Set(o, "id", N(n));
    Object* proto = vm.NewObject();
    vm.Set(proto, "k", N(-n));
    o->proto = proto;
    items.push_back(Value::Obj(o));
  }
  // A getter on the middle one would sort it first if it were called.
  Object* withGetter = items[1].object;
  withGetter->Define(vm, "g", Value{});
  withGetter->FindProperty(vm, "g")->getter =
      vm.NewNative([](Vm&, const CallContext&, Args) -> Completion { return Value::Num(-100); });
  for (Object* o : {items[0].object, items[2].object}) vm.Set(o, "g", N(0));
  const struct {
    const char* field;
    const char* ids;
  } cases[] = {
      {"id", "1,2,3"},
      {"g", "2,3,1"},  // undefined sorts after 0 and 0; equal ones swap
      {"k", "2,1,3"},  // every one missing: the sort's order for equal items
  };
  for (const auto& c : cases) {
    ArrayObject* array = vm.NewArray(items);
    const Value args[2] = {S(c.field), N(16)};
    vm.CallMethod(array, "sortOn", args);
    std::string ids;
    for (const Value& v : array->elements)
      ids += (ids.empty() ? "" : ",") + vm.ToString(vm.Get(v.object, "id"));
    EXPECT_EQ(ids, c.ids) << c.field;
  }
}

// Several fields under one DESCENDING flag all descend (the ascending order
// turned around); a flags array turns each field on its own; an object that
// is no array names no field and leaves the order be.
TEST(StringRulesTest, SortOnFieldsDescendTogetherUnderOneFlag) {
  Calls calls(7);
  Vm& vm = calls.vm();
  std::vector<Value> items;
  for (auto [a, b] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{1, 2}}) {
    Object* o = vm.NewObject();
    vm.Set(o, "a", N(a));
    vm.Set(o, "b", N(b));
    items.push_back(Value::Obj(o));
  }
  const Value fields = Value::Obj(vm.NewArray({S("a"), S("b")}));
  const struct {
    const char* name;
    Value flags;
    const char* order;  // a and b of each, in the sorted order
  } cases[] = {
      {"one flag", N(2 | 16), "21 12 11"},
      {"per field", Value::Obj(vm.NewArray({N(2 | 16), N(16)})), "21 11 12"},
      {"an object for the fields names none", N(2), "11 21 12"},
  };
  for (const auto& c : cases) {
    ArrayObject* array = vm.NewArray(items);
    const bool none = std::string(c.name).starts_with("an object");
    const Value args[2] = {none ? Value::Obj(vm.NewObject()) : fields, c.flags};
    vm.CallMethod(array, "sortOn", args);
    std::string order;
    for (const Value& v : array->elements)
      order += (order.empty() ? "" : " ") + vm.ToString(vm.Get(v.object, "a")) +
               vm.ToString(vm.Get(v.object, "b"));
    EXPECT_EQ(order, c.order) << c.name;
  }
}

// An index at or past the length moves it to the index plus one, wrapped to
// 32 bits; a length below the elements drops them; none of it allocates
// past the element cap.
TEST(StringRulesTest, ArrayLengthWrapsAt32Bits) {
  const struct {
    std::vector<std::pair<const char*, Value>> sets;
    double length;
    std::size_t elements;  // element slots held afterwards
  } cases[] = {
      {{{"0", S("x")}, {"3", S("y")}}, 4, 4},
      {{{"0", S("x")}, {"-5", S("y")}}, 1, 1},  // a negative index leaves it
      {{{"0", S("x")}, {"2147483648", S("y")}}, 1, 1},
      {{{"0", S("x")}, {"2147483647", S("y")}}, -2147483648.0, 0},
      {{{"4294967296", S("y")}}, 1, 1},  // index 0 once wrapped
      {{{"0", S("x")}, {"length", N(-1)}}, -1, 0},
      {{{"length", N(4294967297.0)}}, 1, 1},
      {{{"length", N(3e9)}}, -1294967296.0, 0},
      {{{"length", N(2147483647)}}, 2147483647, 0},
      {{{"length", N(2147483647)}, {"1", S("z")}}, 2147483647, 2},
  };
  for (const auto& c : cases) {
    Calls calls(7);
    Vm& vm = calls.vm();
    ArrayObject* array = vm.NewArray();
    for (const auto& [name, v] : c.sets) vm.Set(array, name, v);
    EXPECT_EQ(vm.ToNumber(vm.Get(array, "length")), c.length) << c.elements;
    EXPECT_EQ(array->elements.size(), c.elements) << c.length;
  }
  Calls calls(5);
  Vm& vm = calls.vm();
  EXPECT_TRUE(vm.Get(vm.arrayProto, "length").IsUndefined());  // a plain object
}

TEST(StringRulesTest, SortOnFlagArraysAndDates) {
  Calls calls(7);
  Vm& vm = calls.vm();
  const auto objects = [&vm] {
    std::vector<Value> out;
    for (auto [n, b] : {std::pair{3, 1}, {2, 3}, {2, 2}, {1, 2}, {3, 1}}) {
      Object* o = vm.NewObject();
      vm.Set(o, "n", N(n));
      vm.Set(o, "b", N(b));
      out.push_back(Value::Obj(o));
    }
    return out;
  };
  const struct {
    std::vector<Value> flags;
    const char* result;
  } cases[] = {
      {{N(8), N(0)}, "3,2,1,0,4"},  // RETURNINDEXEDARRAY from the first entry
      {{N(4), N(0)}, "0"},          // UNIQUESORT from the first entry
      {{N(0), N(8 | 4)},
       "[object Object],[object Object],[object Object],[object Object],"
       "[object Object]"},              // later entries: no such options
      {{N(2 | 8), N(0)}, "0,4,2,1,3"},  // descending on the first field only
      {{N(2 | 8)},
       "[object Object],[object Object],[object Object],[object Object],"
       "[object Object]"},  // a wrong count of entries counts as none
  };
  for (const auto& c : cases) {
    ArrayObject* array = vm.NewArray(objects());
    const Value args[2] = {Value::Obj(vm.NewArray({S("n"), S("b")})),
                           Value::Obj(vm.NewArray(c.flags))};
    Value r;
    vm.CallMethod(array, "sortOn", args, &r);
    EXPECT_EQ(vm.ToString(r), c.result);
  }
  // A Date keeps fractions of a millisecond; its fields do not show them.
  const Value ms[1] = {N(5.5)};
  Object* date = vm.Construct(vm.Get(vm.global, "Date").object, ms).object;
  Value time, millis;
  vm.CallMethod(date, "getTime", {}, &time);
  vm.CallMethod(date, "getUTCMilliseconds", {}, &millis);
  EXPECT_EQ(time.number, 5.5);
  EXPECT_EQ(millis.number, 5);
}

// Sound.setTransform reads 32-bit integers and keeps them unclamped; the
// pan is derived from the ears' gains.
TEST(StringRulesTest, SoundTransformsAreIntegers) {
  const double kBig = 3000000000.0;
  const struct {
    std::vector<std::pair<const char*, Value>> members;
    const char* transform;  // ll lr rl rr afterwards
    double pan;
  } cases[] = {
      {{{"ll", N(100)}, {"lr", N(0)}, {"rl", N(0)}, {"rr", N(100)}}, "100 0 0 100", 0},
      {{{"ll", N(100)}, {"lr", N(999)}, {"rl", N(999)}, {"rr", N(999)}}, "100 999 999 999", 899},
      {{{"ll", N(101)}, {"rr", N(100)}}, "101 0 0 100", -1},
      {{{"ll", N(NAN)}, {"lr", N(INFINITY)}, {"rl", Value{}}, {"rr", N(-INFINITY)}},
       "0 0 0 0",
       100},
      {{{"ll", N(kBig)}, {"lr", N(kBig)}, {"rl", N(kBig)}, {"rr", N(kBig)}},
       "-1294967296 -1294967296 -1294967296 -1294967296",
       -1294967196},
      {{{"ll", N(-150)}, {"rr", N(50)}}, "-150 0 0 50", -50},
      {{{"ll", N(-100)}, {"rr", N(-150)}}, "-100 0 0 -150", 0},
      {{{"ll", N(33.3)}, {"rr", S("80")}}, "100 0 0 80", -20},  // a fraction is ignored
      {{}, "100 0 0 100", 0},                                   // so is a missing member
  };
  for (int version : {6, 8}) {
    for (const auto& c : cases) {
      Calls calls(version);
      Vm& vm = calls.vm();
      Object* sound = vm.Construct(vm.Get(vm.global, "Sound").object, {}).object;
      ASSERT_NE(sound, nullptr);
      Object* t = vm.NewObject();
      Object* inherited = vm.NewObject();  // members of a prototype are not read
      vm.Set(inherited, "ll", N(7));
      vm.Set(inherited, "rr", N(7));
      t->proto = inherited;
      for (const auto& [name, v] : c.members) vm.Set(t, name, v);
      const Value arg[1] = {Value::Obj(t)};
      vm.CallMethod(sound, "setTransform", arg);
      Value got, pan;
      vm.CallMethod(sound, "getTransform", {}, &got);
      vm.CallMethod(sound, "getPan", {}, &pan);
      std::string text;
      for (const char* name : {"ll", "lr", "rl", "rr"})
        text += (text.empty() ? "" : " ") + vm.ToString(vm.Get(got.object, name));
      EXPECT_EQ(text, c.transform) << "v" << version;
      EXPECT_EQ(pan.number, c.pan) << "v" << version << " " << c.transform;
    }
    Calls calls(version);
    Vm& vm = calls.vm();
    Object* sound = vm.Construct(vm.Get(vm.global, "Sound").object, {}).object;
    Value volume;
    vm.CallMethod(sound, "setVolume", {});
    vm.CallMethod(sound, "getVolume", {}, &volume);
    EXPECT_EQ(volume.number, 0) << "v" << version;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
