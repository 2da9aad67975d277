// Rules of objects, scopes and conversions as scripts see them: the
// __proto__ slot and a function's own links, arguments.caller, `this` and
// `var` in scopes, and valueOf giving a clip.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;
using test::Asm;
using test::Null;
using test::PushArg;
using test::Reg;

// Every case: a movie of one version runs one frame of code, and traces.
struct Case {
  const char* name;
  int version;
  Asm code;
  std::vector<std::string> traces;
};

std::vector<std::string> Run(int version, const Asm& code) {
  Movie m = BaseMovie();
  m.header.version = static_cast<uint8_t>(version);
  m.timeline = MakeTimeline({MakeFrame({Act({code.Bytes()})})});
  std::vector<std::string> lines;
  MovieRunner runner(m, {}, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
  runner.Tick();
  return lines;
}

void ExpectCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_EQ(Run(c.version, c.code), c.traces) << c.name;
}

// name = new Object();
Asm NewObject(const char* name) {
  return Asm().Push({name, 0, "Object"}).Do(Op::NewObject).Do(Op::SetVariable);
}
// obj.member = value
Asm SetMember(const char* obj, const char* member, PushArg value) {
  return Asm().Push({obj}).Do(Op::GetVariable).Push({member, std::move(value)}).Do(Op::SetMember);
}
// obj.member, left on the stack
Asm GetMember(const char* obj, const char* member) {
  return Asm().Push({obj}).Do(Op::GetVariable).Push({member}).Do(Op::GetMember);
}
// ASSetPropFlags(obj, names, set, clear)
Asm SetFlags(const char* obj, PushArg names, int set, int clear) {
  return Asm()
      .Push({clear, set, std::move(names), obj})
      .Do(Op::GetVariable)
      .Push({4, "ASSetPropFlags"})
      .Do(Op::CallFunction)
      .Do(Op::Pop);
}
// obj.method(arg), left on the stack
Asm CallMethod(const char* obj, const char* method, PushArg arg) {
  return Asm().Push({std::move(arg), 1, obj}).Do(Op::GetVariable).Push({method}).Do(Op::CallMethod);
}
// for (k in obj) trace(k);
Asm TraceKeys(const char* obj) {
  return Asm()
      .Push({obj})
      .Do(Op::GetVariable)
      .Do(Op::Enumerate2)
      .Label("next")
      .StoreRegister(0)
      .Push({Null()})
      .Do(Op::Equals2)
      .If("done")
      .Push({Reg(0)})
      .Do(Op::Trace)
      .Jump("next")
      .Label("done");
}
Asm Traced(const Asm& value) { return Asm().Then(value).Do(Op::Trace); }
// `value` compared with what `name` holds, traced.
Asm TraceEquals(const Asm& value, const char* name) {
  return Asm().Then(value).Push({name}).Do(Op::GetVariable).Do(Op::StrictEquals).Do(Op::Trace);
}

TEST(ObjectRulesTest, ProtoIsAnOwnSlotWithFlags) {
  // p.x = 1; o.__proto__ = p: the link as ASSetPropFlags leaves it.
  const Asm chain = Asm()
                        .Then(NewObject("p"))
                        .Then(SetMember("p", "x", 1))
                        .Then(NewObject("o"))
                        .Push({"o"})
                        .Do(Op::GetVariable)
                        .Push({"__proto__", "p"})
                        .Do(Op::GetVariable)
                        .Do(Op::SetMember);
  // o.x; p.isPrototypeOf(o); o instanceof Object
  const Asm reads = Asm()
                        .Then(Traced(GetMember("o", "x")))
                        .Push({"o"})
                        .Do(Op::GetVariable)
                        .Push({1, "p"})
                        .Do(Op::GetVariable)
                        .Push({"isPrototypeOf"})
                        .Do(Op::CallMethod)
                        .Do(Op::Trace)
                        .Push({"o"})
                        .Do(Op::GetVariable)
                        .Push({"Object"})
                        .Do(Op::GetVariable)
                        .Do(Op::InstanceOf)
                        .Do(Op::Trace);
  // A slot hidden from SWF 6 (the SWF 7 bit) cuts inheritance there only.
  const Asm hidden = Asm().Then(chain).Then(SetFlags("o", "__proto__", 0x400, 0)).Then(reads);
  const Asm deleted = Asm()
                          .Then(chain)
                          .Push({"o"})
                          .Do(Op::GetVariable)
                          .Push({"__proto__"})
                          .Do(Op::Delete)
                          .Do(Op::Trace)
                          .Then(SetFlags("o", "__proto__", 0, 2))
                          .Push({"o"})
                          .Do(Op::GetVariable)
                          .Push({"__proto__"})
                          .Do(Op::Delete)
                          .Do(Op::Trace)
                          .Then(Traced(GetMember("o", "x")));
  ExpectCases({
      {"listed once shown",
       6,
       Asm()
           .Then(chain)
           .Then(SetMember("o", "a", 2))
           .Then(SetFlags("o", Null(), 0, 1))
           .Then(TraceKeys("o")),
       {"x", "a", "constructor", "__constructor__", "__proto__"}},
      {"hidden by default", 6, Asm().Then(chain).Then(TraceKeys("o")), {"x"}},
      {"enumerable once shown",
       6,
       Asm()
           .Then(chain)
           .Then(SetFlags("o", Null(), 0, 1))
           .Then(Traced(CallMethod("o", "isPropertyEnumerable", "__proto__"))),
       {"true"}},
      {"hidden from SWF 6", 6, hidden, {"undefined", "false", "false"}},
      {"seen by SWF 7", 7, hidden, {"1", "true", "true"}},
      {"deleted once deletable", 6, deleted, {"false", "true", "undefined"}},
  });
}

TEST(ObjectRulesTest, FunctionsAndArgumentsCarryTheirLinks) {
  const Asm empty;
  const Asm childBody = Asm()
                            .Then(TraceEquals(GetMember("arguments", "caller"), "parent"))
                            .Then(Traced(GetMember("arguments", "caller").Do(Op::TypeOf)));
  const Asm callers = Asm()
                          .Function("child", {}, childBody)
                          .Function("parent", {}, Asm().CallFunction("child", 0).Do(Op::Pop))
                          .CallFunction("parent", 0)
                          .Do(Op::Pop)
                          .CallFunction("child", 0)
                          .Do(Op::Pop);
  // arguments lists its own links once ASSetPropFlags shows them.
  const Asm argumentKeys =
      Asm()
          .Function("f", {},
                    Asm().Then(SetFlags("arguments", Null(), 0, 1)).Then(TraceKeys("arguments")))
          .CallFunction("f", 0)
          .Do(Op::Pop);
  const Asm own = Asm()
                      .Function("f", {}, empty)
                      .Then(Traced(CallMethod("f", "hasOwnProperty", "constructor")))
                      .Then(Traced(CallMethod("f", "hasOwnProperty", "__proto__")))
                      .Then(TraceEquals(GetMember("f", "constructor"), "Function"))
                      .Push({"Math"})
                      .Do(Op::GetVariable)
                      .Push({"abs"})
                      .Do(Op::GetMember)
                      .Push({"m"})
                      .Do(Op::StackSwap)
                      .Do(Op::SetVariable)
                      .Then(Traced(CallMethod("m", "hasOwnProperty", "constructor")));
  // A number read as an object was made by `new Number`.
  const Asm boxed = Asm()
                        .Push({"n", 4})
                        .Do(Op::SetVariable)
                        .Then(TraceEquals(GetMember("n", "__constructor__"), "Number"))
                        .Then(Traced(CallMethod("n", "hasOwnProperty", "__constructor__")));
  // SWF 5 links `new`'s instance to its class out of its own sight.
  const Asm linked =
      Asm().Then(NewObject("o")).Then(Traced(GetMember("o", "__constructor__").Do(Op::TypeOf)));
  ExpectCases({
      {"new links in SWF 5", 5, linked, {"undefined"}},
      {"new links in SWF 6", 6, linked, {"function"}},
      {"caller in SWF 6", 6, callers, {"true", "function", "false", "null"}},
      {"caller in SWF 5", 5, callers, {"true", "function", "false", "null"}},
      {"arguments keys",
       6,
       argumentKeys,
       {"caller", "callee", "constructor", "__proto__", "length"}},
      {"function links", 6, own, {"true", "true", "true", "true"}},
      {"primitive box", 6, boxed, {"true", "true"}},
      // with ("caf\xC3\xA9") { trace(length); }: a String has its own length.
      {"string box SWF 6",
       6,
       Asm().Push({"caf\xC3\xA9"}).With(Asm().Push({"length"}).Do(Op::GetVariable).Do(Op::Trace)),
       {"4"}},
      {"string box SWF 5",
       5,
       Asm().Push({"caf\xC3\xA9"}).With(Asm().Push({"length"}).Do(Op::GetVariable).Do(Op::Trace)),
       {"5"}},
  });
}

TEST(ObjectRulesTest, ThisAndVarFollowTheScopeChain) {
  // function outer() { var inner = function () { return this; }; r = inner(); }
  const Asm innerBody = Asm().Push({"this"}).Do(Op::GetVariable).Do(Op::Return);
  const Asm outerBody = Asm()
                            .Push({"inner"})
                            .Function("", {}, innerBody)
                            .Do(Op::DefineLocal)
                            .Push({"r"})
                            .CallFunction("inner", 0)
                            .Do(Op::SetVariable)
                            .Push({"r"})
                            .Do(Op::GetVariable)
                            .Do(Op::TypeOf)
                            .Do(Op::Trace)
                            .Push({"r"})
                            .Do(Op::GetVariable)
                            .Push({"this"})
                            .Do(Op::GetVariable)
                            .Do(Op::StrictEquals)
                            .Do(Op::Trace);
  const Asm local = Asm().Function("outer", {}, outerBody).CallFunction("outer", 0).Do(Op::Pop);
  // this = "t" on the timeline; in f, this = 5 changes f's own this only.
  const Asm assigned = Asm()
                           .Push({"this", "t"})
                           .Do(Op::SetVariable)
                           .Trace(PushArg("this"))
                           .Push({"this"})
                           .Do(Op::GetVariable)
                           .Do(Op::Trace)
                           .Function("f", {},
                                     Asm()
                                         .Push({"this", 5})
                                         .Do(Op::SetVariable)
                                         .Push({"this"})
                                         .Do(Op::GetVariable)
                                         .Do(Op::Trace))
                           .CallFunction("f", 0)
                           .Do(Op::Pop)
                           .Push({"this"})
                           .Do(Op::GetVariable)
                           .Do(Op::Trace);
  // with (o) { var v = 3; } at the top level: v stays o's only when o has
  // it already; otherwise it is the timeline's.
  const auto withVar = [](const Asm& setup) {
    return Asm()
        .Then(NewObject("o"))
        .Then(setup)
        .Push({"o"})
        .Do(Op::GetVariable)
        .With(Asm().Push({"v", 3}).Do(Op::DefineLocal))
        .Then(Traced(GetMember("o", "v")))
        .Push({"v"})
        .Do(Op::GetVariable)
        .Do(Op::TypeOf)
        .Do(Op::Trace);
  };
  ExpectCases({
      {"local function's this", 6, local, {"object", "false"}},
      {"this assigned", 6, assigned, {"this", "t", "5", "t"}},
      {"var inside with, o lacking v", 6, withVar(Asm()), {"undefined", "number"}},
      {"var inside with, o holding v", 6, withVar(SetMember("o", "v", 1)), {"3", "undefined"}},
  });
}

TEST(ObjectRulesTest, ValueOfGivingAClipIsAPrimitive) {
  // o.valueOf = function () { return _root; }
  const Asm clipValue =
      Asm()
          .Then(NewObject("o"))
          .Push({"o"})
          .Do(Op::GetVariable)
          .Push({"valueOf"})
          .Function("", {}, Asm().Push({"_root"}).Do(Op::GetVariable).Do(Op::Return))
          .Do(Op::SetMember)
          .Then(SetMember("o", "toString", "text"));
  const Asm uses = Asm()
                       .Then(clipValue)
                       .Push({"<"})
                       .Push({"o"})
                       .Do(Op::GetVariable)
                       .Do(Op::Add2)
                       .Do(Op::Trace)
                       .Push({"o"})
                       .Do(Op::GetVariable)
                       .Push({1})
                       .Do(Op::Add2)
                       .Do(Op::Trace)
                       .Push({"o"})
                       .Do(Op::GetVariable)
                       .Push({1})
                       .Do(Op::Less2)
                       .Do(Op::Trace);
  // new flash.geom.Point(o, 2).toString(): its text is joined with +.
  const Asm point = Asm()
                        .Then(clipValue)
                        .Push({2, "o"})
                        .Do(Op::GetVariable)
                        .Push({2, "flash"})
                        .Do(Op::GetVariable)
                        .Push({"geom"})
                        .Do(Op::GetMember)
                        .Push({"Point"})
                        .Do(Op::NewMethod)
                        .Push({0})
                        .Do(Op::StackSwap)
                        .Push({"toString"})
                        .Do(Op::CallMethod)
                        .Do(Op::Trace);
  ExpectCases({
      {"SWF 6 operators", 6, uses, {"<_level0", "NaN", "undefined"}},
      {"SWF 5 operators", 5, uses, {"<_level0", "NaN", "undefined"}},
      {"SWF 8 point text", 8, point, {"(x=_level0, y=2)"}},
  });
}

TEST(ObjectRulesTest, ReadOnlyAccessorsKeepTheirSetterUncalled) {
  // o.addProperty("p", get, set) where set traces; o.p = 5 on o and on
  // an object inheriting from o.
  const Asm accessor = Asm()
                           .Then(NewObject("o"))
                           .Function("get", {}, Asm().Push({1}).Do(Op::Return))
                           .Function("set", {"v"}, Asm().Trace(PushArg("set")))
                           .Push({"set"})
                           .Do(Op::GetVariable)
                           .Push({"get"})
                           .Do(Op::GetVariable)
                           .Push({"p", 3, "o"})
                           .Do(Op::GetVariable)
                           .Push({"addProperty"})
                           .Do(Op::CallMethod)
                           .Do(Op::Pop);
  const Asm writes = Asm()
                         .Then(SetMember("o", "p", 5))
                         .Then(NewObject("c"))
                         .Push({"c"})
                         .Do(Op::GetVariable)
                         .Push({"__proto__", "o"})
                         .Do(Op::GetVariable)
                         .Do(Op::SetMember)
                         .Then(SetMember("c", "p", 5))
                         .Then(Traced(GetMember("c", "p")));
  ExpectCases({
      {"writable", 6, Asm().Then(accessor).Then(writes), {"set", "set", "1"}},
      {"read-only", 6, Asm().Then(accessor).Then(SetFlags("o", "p", 4, 0)).Then(writes), {"1"}},
      {"read-only SWF 7",
       7,
       Asm().Then(accessor).Then(SetFlags("o", "p", 4, 0)).Then(writes),
       {"1"}},
  });
}

// super() inside a method the object holds itself starts at the object's
// prototype: the object's own __constructor__ is not seen, __resolve is never
// asked, and a clip there offers nothing.
TEST(ObjectRulesTest, SuperOfAnOwnMethodStartsAtThePrototype) {
  // holder.member = function () { return <text>; }
  const auto setFunction = [](const char* holder, const char* member, const Asm& body) {
    return Asm()
        .Push({holder})
        .Do(Op::GetVariable)
        .Push({member})
        .Function("", {}, body)
        .Do(Op::SetMember);
  };
  const auto returns = [](const char* text) { return Asm().Push({text}).Do(Op::Return); };
  // o.__proto__ = <proto>; o.m = function () { return super(); }; trace(o.m());
  const auto run = [&](const char* proto, const Asm& setup) {
    return Asm()
        .Then(NewObject("o"))
        .Then(NewObject("p"))
        .Push({"o"})
        .Do(Op::GetVariable)
        .Push({"__proto__", proto})
        .Do(Op::GetVariable)
        .Do(Op::SetMember)
        .Then(setup)
        .Then(setFunction("o", "m", Asm().CallFunction("super", 0).Do(Op::Return)))
        .Then(Traced(Asm().Push({0, "o"}).Do(Op::GetVariable).Push({"m"}).Do(Op::CallMethod)));
  };
  // delete p.__constructor__ (new Object gave it one)
  const Asm bare =
      Asm().Push({"p"}).Do(Op::GetVariable).Push({"__constructor__"}).Do(Op::Delete).Do(Op::Pop);
  const Asm resolver = Asm().Function("", {}, returns("resolved")).Do(Op::Return);
  ExpectCases({
      {"own constructor",
       7,
       run("p", Asm().Then(bare).Then(setFunction("o", "__constructor__", returns("own")))),
       {"undefined"}},
      {"prototype's constructor",
       7,
       run("p", setFunction("p", "__constructor__", returns("base"))),
       {"base"}},
      {"never __resolve",
       7,
       run("p", Asm().Then(bare).Then(setFunction("p", "__resolve", resolver))),
       {"undefined"}},
      {"a clip as prototype",
       7,
       run("_root", setFunction("_root", "__constructor__", returns("clip"))),
       {"undefined"}},
  });
}

// obj.__proto__ = proto (both variables)
Asm Link(const char* obj, const char* proto) {
  return Asm()
      .Push({obj})
      .Do(Op::GetVariable)
      .Push({"__proto__", proto})
      .Do(Op::GetVariable)
      .Do(Op::SetMember);
}

// A method reached through super from SWF 7 takes its own super one step
// above where that lookup began, unless it was found right there.
TEST(ObjectRulesTest, SuperMethodsClimbOneStepAtATime) {
  // o -> c -> b -> a -> f; a.__constructor__ traces; f.m and c.m call up through super.
  const auto method = [](const char* holder, const char* name, const Asm& body) {
    return Asm()
        .Push({holder})
        .Do(Op::GetVariable)
        .Push({name})
        .Function("", {}, body)
        .Do(Op::SetMember);
  };
  const Asm superM = Asm().Push({0, "super"}).Do(Op::GetVariable).Push({"m"}).Do(Op::CallMethod);
  const Asm code =
      Asm()
          .Then(NewObject("f"))
          .Then(NewObject("a"))
          .Then(NewObject("b"))
          .Then(NewObject("c"))
          .Then(NewObject("o"))
          .Then(Link("o", "c"))
          .Then(Link("a", "f"))
          .Then(Link("b", "a"))
          .Then(Link("c", "b"))
          .Then(method("a", "__constructor__", Asm().Push({"F ctor"}).Do(Op::Trace)))
          .Then(method("f", "m",
                       Asm()
                           .CallFunction("super", 0)
                           .Do(Op::Pop)
                           .Then(superM)
                           .Push({"F"})
                           .Do(Op::Add2)
                           .Do(Op::Return)))
          .Then(method("c", "m", Asm().Then(superM).Push({"C"}).Do(Op::Add2).Do(Op::Return)))
          .Then(Traced(Asm().Push({0, "o"}).Do(Op::GetVariable).Push({"m"}).Do(Op::CallMethod)));
  ExpectCases({{"found above the start", 7, code, {"F ctor", "undefinedFFC"}}});
}

// addProperty on a watched name runs the watcher as an assignment of
// undefined; what it gives back is the value the next watcher call sees.
TEST(ObjectRulesTest, AddPropertyRunsTheWatcher) {
  // function (p, old, v) { trace("w " + old + " " + v); return 7; }
  const Asm watcher = Asm()
                          .Push({"w ", "old"})
                          .Do(Op::GetVariable)
                          .Do(Op::Add2)
                          .Push({" "})
                          .Do(Op::Add2)
                          .Push({"v"})
                          .Do(Op::GetVariable)
                          .Do(Op::Add2)
                          .Do(Op::Trace)
                          .Push({7})
                          .Do(Op::Return);
  const Asm nothing = Asm();
  const Asm code = Asm()
                       .Then(NewObject("o"))
                       .Function("", {"p", "old", "v"}, watcher)
                       .Push({"v", 2, "o"})
                       .Do(Op::GetVariable)
                       .Push({"watch"})
                       .Do(Op::CallMethod)
                       .Do(Op::Pop)
                       .Function("", {}, nothing)
                       .Function("", {}, nothing)
                       .Push({"v", 3, "o"})
                       .Do(Op::GetVariable)
                       .Push({"addProperty"})
                       .Do(Op::CallMethod)
                       .Do(Op::Pop)
                       .Then(SetMember("o", "v", 1));
  // unwatch then leaves the watch on the accessor, and says so.
  const Asm unwatch =
      Asm().Then(code).Then(Traced(CallMethod("o", "unwatch", "v"))).Then(SetMember("o", "v", 2));
  ExpectCases({{"watched", 7, code, {"w undefined undefined", "w 7 1"}},
               {"unwatched", 7, unwatch, {"w undefined undefined", "w 7 1", "false", "w 7 2"}}});
}

// Object() called as a function makes an object, not the timeline it runs on.
TEST(ObjectRulesTest, ObjectCalledAsAFunctionMakesAnObject) {
  const Asm code = Asm().CallFunction("Object", 0).Do(Op::TypeOf).Do(Op::Trace);
  ExpectCases({{"frame code", 7, code, {"object"}}});
}

// instanceof walks the object's chain whatever the class is: a loop there
// stops the script.
TEST(ObjectRulesTest, InstanceofThroughAPrototypeLoopStopsTheScript) {
  const Asm code = Asm()
                       .Then(NewObject("a"))
                       .Then(NewObject("b"))
                       .Then(Link("a", "b"))
                       .Then(Link("b", "a"))
                       .Push({"before"})
                       .Do(Op::Trace)
                       .Push({"a"})
                       .Do(Op::GetVariable)
                       .Push({"b"})
                       .Do(Op::GetVariable)
                       .Do(Op::InstanceOf)
                       .Do(Op::Trace);
  ExpectCases({{"loop", 7, code, {"before"}}});
}

// A getter runs like a method found where it sits: its super starts one
// step up, and a getter read through super still runs on this.
TEST(ObjectRulesTest, GettersTakeSuperFromWhereTheySit) {
  // holder.addProperty("v", function () { return <body>; }, null)
  const auto addGetter = [](const char* holder, const Asm& body) {
    return Asm()
        .Push({Null()})
        .Function("", {}, Asm().Then(body).Do(Op::Return))
        .Push({"v", 3, holder})
        .Do(Op::GetVariable)
        .Push({"addProperty"})
        .Do(Op::CallMethod)
        .Do(Op::Pop);
  };
  const auto link = [](const char* from, const char* to) {
    return Asm()
        .Push({from})
        .Do(Op::GetVariable)
        .Push({"__proto__", to})
        .Do(Op::GetVariable)
        .Do(Op::SetMember);
  };
  // b.v gives "base" and this.n; c.v gives "c+" and super.v; o inherits c.
  const Asm code = Asm()
                       .Then(NewObject("b"))
                       .Then(NewObject("c"))
                       .Then(NewObject("o"))
                       .Then(link("c", "b"))
                       .Then(link("o", "c"))
                       .Then(SetMember("o", "n", "o"))
                       .Then(addGetter("b", Asm()
                                                .Push({"base", "this"})
                                                .Do(Op::GetVariable)
                                                .Push({"n"})
                                                .Do(Op::GetMember)
                                                .Do(Op::Add2)))
                       .Then(addGetter("c", Asm()
                                                .Push({"c+", "super"})
                                                .Do(Op::GetVariable)
                                                .Push({"v"})
                                                .Do(Op::GetMember)
                                                .Do(Op::Add2)))
                       .Then(Traced(GetMember("o", "v")));
  ExpectCases({
      {"version 6", 6, code, {"c+baseo"}},
      {"version 7", 7, code, {"c+baseo"}},
  });
}

// shift writes every element one place down, so the holes it moves become
// elements holding undefined, and enumerate.
TEST(ObjectRulesTest, ShiftFillsTheHolesItMoves) {
  const Asm code = Asm()
                       .Push({"a", 0, "Array"})
                       .Do(Op::NewObject)
                       .Do(Op::SetVariable)
                       .Then(SetMember("a", "3", 4))
                       .Push({"r"})
                       .Then(CallMethod("a", "shift", 0))
                       .Do(Op::SetVariable)
                       .Then(TraceKeys("a"))
                       .Push({"r"})
                       .Do(Op::GetVariable)
                       .Do(Op::Trace);
  ExpectCases({{"a hole at the front", 6, code, {"2", "1", "0", "undefined"}}});
}

// a = [1, 2, ..., n]
Asm NumberArray(const char* name, int n) {
  Asm a = Asm().Push({name});
  for (int v = n; v >= 1; --v) a.Push({v});
  return a.Push({n, "Array"}).Do(Op::NewObject).Do(Op::SetVariable);
}

// Array elements are properties like any other: for..in walks them with
// the named ones newest first, and the array methods delete and write
// them again in their own order (reverse pair by pair from the ends, shift
// and unshift all at once), so protected elements stay where they were.
TEST(ObjectRulesTest, ArrayElementsEnumerateAsTheyWereMade) {
  struct ArrayCase {
    const char* name;
    int size;
    Asm before;  // run on a before the method
    const char* method;
    std::vector<std::string> traces;  // keys newest first, then a's text
  };
  const std::vector<ArrayCase> cases = {
      {"sets and names interleave",
       0,
       Asm()
           .Then(SetMember("a", "1", 1))
           .Then(SetMember("a", "foo", 2))
           .Then(SetMember("a", "0", 3)),
       nullptr,
       {"0", "foo", "1", "3,1"}},
      {"reverse, pair by pair", 5, Asm(), "reverse", {"3", "1", "4", "0", "2", "5,4,3,2,1"}},
      {"reverse keeps a protected element",
       5,
       SetFlags("a", "0", 6, 0),
       "reverse",
       {"3", "1", "4", "2", "0", "1,4,3,2,1"}},
      {"reverse leaves the middle",
       5,
       SetFlags("a", "2", 1, 0),
       "reverse",
       {"3", "1", "4", "0", "5,4,3,2,1"}},
      {"shift rewrites from the first", 3, Asm(), "shift", {"1", "0", "2,3"}},
      {"shift keeps an undeletable element",
       3,
       SetFlags("a", "1", 2, 0),
       "shift",
       {"0", "1", "2,3"}},
      {"unshift moves up from the last",
       3,
       SetFlags("a", "0", 1, 0),
       "unshift",
       {"0", "1", "2", "3", "9,1,2,3"}},
      {"hidden element", 3, SetFlags("a", "1", 1, 0), nullptr, {"2", "0", "1,2,3"}},
      {"read-only and undeletable element",
       3,
       Asm()
           .Then(SetFlags("a", "1", 6, 0))
           .Then(SetMember("a", "1", 7))
           .Push({"a"})
           .Do(Op::GetVariable)
           .Push({"1"})
           .Do(Op::Delete)
           .Do(Op::Trace),
       nullptr,
       {"false", "2", "1", "0", "1,2,3"}},
  };
  std::vector<Case> runs;
  for (const ArrayCase& c : cases) {
    Asm code = Asm().Then(NumberArray("a", c.size)).Then(c.before);
    if (c.method) code.Then(CallMethod("a", c.method, 9)).Do(Op::Pop);
    code.Then(TraceKeys("a")).Push({"a"}).Do(Op::GetVariable).Do(Op::Trace);
    runs.push_back({c.name, 6, code, c.traces});
  }
  ExpectCases(runs);
}

// The array methods work on any object through its own length: elements
// they move are deleted and written anew (newest of all), pop, shift and
// unshift leave the length be, and a splice writes every index in place.
TEST(ObjectRulesTest, ArrayMethodsWorkOnOtherObjects) {
  struct GenericCase {
    const char* name;
    const char* method;
    bool ownLength;  // o.length = 3, else only its prototype has one (and for..in shows it)
    std::vector<std::string> traces;  // the result, keys newest first, o.length
  };
  const std::vector<GenericCase> cases = {
      {"pop takes the last, length stays", "pop", true, {"2", "m", "length", "3", "1", "3"}},
      {"shift moves down, the last stays",
       "shift",
       true,
       {"undefined", "1", "0", "m", "length", "3", "2", "3"}},
      {"unshift moves up from the last",
       "unshift",
       true,
       {"4", "0", "1", "2", "3", "m", "length", "3"}},
      {"reverse writes pairs anew",
       "reverse",
       true,
       {"[object Object]", "2", "0", "m", "length", "3", "1", "3"}},
      {"splice writes in place and sets the length",
       "splice",
       true,
       {"1,2", "0", "m", "length", "3", "2", "1", "1"}},
      {"an inherited length is no length",
       "pop",
       false,
       {"undefined", "length", "m", "3", "2", "1", "3"}},
  };
  std::vector<Case> runs;
  for (const GenericCase& c : cases) {
    Asm code = Asm().Then(NewObject("o"));
    if (!c.ownLength)
      code.Then(NewObject("p"))
          .Then(SetMember("p", "length", 3))
          .Push({"o"})
          .Do(Op::GetVariable)
          .Push({"__proto__", "p"})
          .Do(Op::GetVariable)
          .Do(Op::SetMember);
    code.Then(SetMember("o", "1", 1)).Then(SetMember("o", "2", 2)).Then(SetMember("o", "3", 3));
    if (c.ownLength) code.Then(SetMember("o", "length", 3));
    code.Push({"o"})
        .Do(Op::GetVariable)
        .Push({"m", "Array"})
        .Do(Op::GetVariable)
        .Push({"prototype"})
        .Do(Op::GetMember)
        .Push({c.method})
        .Do(Op::GetMember)
        .Do(Op::SetMember)
        .Then(Traced(CallMethod("o", "m", 1)))
        .Then(TraceKeys("o"))
        .Then(Traced(GetMember("o", "length")));
    runs.push_back({c.name, 6, code, c.traces});
  }
  ExpectCases(runs);
}

// Holes of an array: reading one asks the prototypes and __resolve; concat
// and splice turn them into elements holding undefined; a sort that leaves
// the order as it was writes nothing; a protected element outlives a shorter
// length.
TEST(ObjectRulesTest, ArrayHolesAndCutsFollowThePlayer) {
  // a = []; a[2] = "x";
  const Asm holed =
      Asm().Push({"a", 0}).Do(Op::InitArray).Do(Op::SetVariable).Then(SetMember("a", "2", "x"));
  const Asm resolver =
      Asm()
          .Push({"a"})
          .Do(Op::GetVariable)
          .Push({"__resolve"})
          .Function("", {"n"},
                    Asm().Push({"r"}).Push({"n"}).Do(Op::GetVariable).Do(Op::Add2).Do(Op::Return))
          .Do(Op::SetMember);
  const Asm inherited = Asm()
                            .Push({"Array"})
                            .Do(Op::GetVariable)
                            .Push({"prototype"})
                            .Do(Op::GetMember)
                            .Push({"1", "p"})
                            .Do(Op::SetMember);
  ExpectCases({
      {"a hole asks __resolve",
       6,
       Asm().Then(holed).Then(resolver).Then(Traced(GetMember("a", "0"))),
       {"r0"}},
      {"a hole asks the prototype",
       5,
       Asm().Then(holed).Then(inherited).Then(Traced(GetMember("a", "1"))),
       {"p"}},
      {"concat fills holes",
       6,
       Asm()
           .Then(holed)
           .Push({"b"})
           .Push({0, "a"})
           .Do(Op::GetVariable)
           .Push({"concat"})
           .Do(Op::CallMethod)
           .Do(Op::SetVariable)
           .Then(TraceKeys("b")),
       {"2", "1", "0"}},
      {"splice fills holes",
       6,
       Asm().Then(holed).Then(CallMethod("a", "splice", 3)).Do(Op::Pop).Then(TraceKeys("a")),
       {"2", "1", "0"}},
      {"a sorted order writes nothing",
       6,
       Asm()
           .Then(NumberArray("a", 3))
           .Then(SetMember("a", "foo", 1))
           .Push({0, "a"})
           .Do(Op::GetVariable)
           .Push({"sort"})
           .Do(Op::CallMethod)
           .Do(Op::Pop)
           .Then(TraceKeys("a")),
       {"foo", "2", "1", "0"}},
      {"a decimal name counts for the length by its whole part",
       6,
       Asm()
           .Then(NumberArray("a", 1))
           .Then(SetMember("a", "2.5", "x"))
           .Then(SetMember("a", "7.", "y"))
           .Then(Traced(GetMember("a", "length")))
           .Then(Traced(GetMember("a", "2.5"))),
       {"3", "x"}},
      {"a protected element outlives the length",
       6,
       Asm()
           .Then(NumberArray("a", 3))
           .Then(SetFlags("a", "2", 2, 0))
           .Then(SetMember("a", "length", 1))
           .Then(Traced(GetMember("a", "2")))
           .Then(Traced(GetMember("a", "1")))
           .Then(Traced(GetMember("a", "length"))),
       {"3", "undefined", "1"}},
  });
}

// delete of a plain name walks the scope chain to _global and deletes the
// first holder's member, telling whether one went.
TEST(ObjectRulesTest, DeleteOfANameTakesTheFirstHolders) {
  const Asm global = Asm().Push({"_global"}).Do(Op::GetVariable).Push({"x", "g"}).Do(Op::SetMember);
  const Asm timeline = Asm().Push({"x", "t"}).Do(Op::SetVariable);
  const Asm del = Asm().Push({"x"}).Do(Op::Delete2).Do(Op::Trace);
  const Asm read = Asm().Push({"x"}).Do(Op::GetVariable).Do(Op::Trace);
  ExpectCases({
      {"a global", 6, Asm().Then(global).Then(del).Then(read), {"true", "undefined"}},
      {"the timeline's before the global's",
       6,
       Asm().Then(global).Then(timeline).Then(del).Then(read),
       {"true", "g"}},
      {"no holder", 6, Asm().Then(del), {"false"}},
  });
}

// Members of MovieClip.prototype newer than a movie are there all the
// same, out of its sight: hasOwnProperty finds them, and clearing their
// version bit with ASSetPropFlags shows them.
TEST(ObjectRulesTest, NewerClipMembersAreHiddenNotAbsent) {
  const Asm proto = Asm()
                        .Push({"p", "MovieClip"})
                        .Do(Op::GetVariable)
                        .Push({"prototype"})
                        .Do(Op::GetMember)
                        .Do(Op::SetVariable);
  const auto typeOf = [](const char* member) {
    return Asm().Then(GetMember("p", member)).Do(Op::TypeOf).Do(Op::Trace);
  };
  ExpectCases({
      {"a version 8 accessor in a version 6 movie",
       6,
       Asm()
           .Then(proto)
           .Then(typeOf("filters"))
           .Then(Traced(CallMethod("p", "hasOwnProperty", "filters"))),
       {"undefined", "true"}},
      {"revealed by ASSetPropFlags",
       6,
       Asm()
           .Then(proto)
           .Then(typeOf("beginMeshFill"))
           .Then(SetFlags("p", "beginMeshFill", 0, 0x1000))
           .Then(typeOf("beginMeshFill")),
       {"undefined", "function"}},
      {"version 6 methods",
       5,
       Asm().Then(proto).Then(typeOf("attachAudio")).Then(typeOf("meth")),
       {"undefined", "function"}},
      {"meth numbers the method",
       5,
       Asm()
           .Then(proto)
           .Then(Traced(CallMethod("p", "meth", "POST")))
           .Then(Traced(CallMethod("p", "meth", "get")))
           .Then(Traced(CallMethod("p", "meth", "put"))),
       {"2", "1", "0"}},
  });
}

// Every NaN computed is one of its own: it equals itself and its copies,
// and no other NaN; the built-in NaN constants are one and the same.
TEST(ObjectRulesTest, ANaNEqualsOnlyItself) {
  const Asm zeroByZero = Asm().Push({0, 0}).Do(Op::Divide);
  const Asm nan = Asm().Push({"NaN"}).Do(Op::GetVariable);
  const Asm numberNaN = Asm().Push({"Number"}).Do(Op::GetVariable).Push({"NaN"}).Do(Op::GetMember);
  const auto compare = [](const Asm& x, const Asm& y, Op op) {
    return Asm().Then(x).Then(y).Do(op).Do(Op::Trace);
  };
  const Asm copies = Asm()
                         .Push({"n"})
                         .Then(zeroByZero)
                         .Do(Op::SetVariable)
                         .Push({"m", "n"})
                         .Do(Op::GetVariable)
                         .Do(Op::SetVariable)
                         .Push({"n"})
                         .Do(Op::GetVariable)
                         .Push({"m"})
                         .Do(Op::GetVariable)
                         .Do(Op::StrictEquals)
                         .Do(Op::Trace);
  ExpectCases({
      {"two computed", 8, compare(zeroByZero, zeroByZero, Op::Equals2), {"false"}},
      {"the constants", 8, compare(nan, numberNaN, Op::Equals2), {"true"}},
      {"a computed one and the constant", 8, compare(nan, zeroByZero, Op::StrictEquals), {"false"}},
      {"copies of one", 8, copies, {"true"}},
  });
}

// Reading "a.b.c" tries the path in each scope: a scope whose a.b lacks c
// passes the read on, here to _global.
TEST(ObjectRulesTest, PathReadsGoOnToScopesHoldingTheMember) {
  // {b: {c: value}}, or {b: {}} without a value
  const auto nested = [](const char* value) {
    Asm leaf = value ? Asm().Push({"c", value, 1}) : Asm().Push({0});
    return Asm().Push({"b"}).Then(leaf.Do(Op::InitObject)).Push({1}).Do(Op::InitObject);
  };
  const auto run = [&](const char* timeline, const char* global) {
    return Asm()
        .Push({"_global"})
        .Do(Op::GetVariable)
        .Push({"a"})
        .Then(nested(global))
        .Do(Op::SetMember)
        .Push({"a"})
        .Then(nested(timeline))
        .Do(Op::SetVariable)
        .Push({"a.b.c"})
        .Do(Op::GetVariable)
        .Do(Op::Trace);
  };
  ExpectCases({
      {"only _global has it", 6, run(nullptr, "global"), {"global"}},
      {"the timeline's comes first", 6, run("timeline", "global"), {"timeline"}},
      {"neither has it", 6, run(nullptr, nullptr), {"undefined"}},
  });
}

// Calls of built-ins at their edges: what splice, Function and addProperty
// give back for arguments left out or out of range, and names a script's
// own variable takes over.
TEST(ObjectRulesTest, BuiltinsAtTheirEdges) {
  // a = [1, 2, 3]; trace(a.splice(args...)); trace(a)
  const auto splice = [](std::vector<PushArg> args) {
    Asm code = Asm().Push({"a", 3, 2, 1, 3}).Do(Op::InitArray).Do(Op::SetVariable);
    std::vector<PushArg> pushed(args.rbegin(), args.rend());
    pushed.emplace_back(static_cast<int>(args.size()));
    pushed.emplace_back("a");
    code.PushAll(pushed).Do(Op::GetVariable).Push({"splice"}).Do(Op::CallMethod).Do(Op::Trace);
    return code.Push({"a"}).Do(Op::GetVariable).Do(Op::Trace);
  };
  // trace(name(args...))
  const auto function = [](std::vector<PushArg> args, const char* name = "Function") {
    std::vector<PushArg> pushed(args.rbegin(), args.rend());
    pushed.emplace_back(static_cast<int>(args.size()));
    pushed.emplace_back(name);
    return Asm().PushAll(pushed).Do(Op::CallFunction).Do(Op::Trace);
  };
  const Asm getter = Asm().Push({7}).Do(Op::Return);
  // trace(o.addProperty("p", getter[, setter])); trace(o.p)
  const auto addProperty = [&](bool withSetter) {
    Asm code = Asm().Then(NewObject("o"));
    if (withSetter) code.Push({Null()});
    code.Function("", {}, getter).Push({"p", withSetter ? 3 : 2, "o"}).Do(Op::GetVariable);
    code.Push({"addProperty"}).Do(Op::CallMethod).Do(Op::Trace);
    return code.Then(Traced(GetMember("o", "p")));
  };
  // _root = "mine"; trace(_root); _global = "ours"; trace(_global)
  const Asm shadow = Asm()
                         .Push({"_root", "mine"})
                         .Do(Op::SetVariable)
                         .Push({"_root"})
                         .Do(Op::GetVariable)
                         .Do(Op::Trace)
                         .Push({"_global", "ours"})
                         .Do(Op::SetVariable)
                         .Push({"_global"})
                         .Do(Op::GetVariable)
                         .Do(Op::Trace);
  // MovieClip.prototype.q = "inherited"; var q; trace(q)
  const Asm inherited = Asm()
                            .Push({"MovieClip"})
                            .Do(Op::GetVariable)
                            .Push({"prototype"})
                            .Do(Op::GetMember)
                            .Push({"q", "inherited"})
                            .Do(Op::SetMember)
                            .Push({"q"})
                            .Do(Op::DefineLocal2)
                            .Push({"q"})
                            .Do(Op::GetVariable)
                            .Do(Op::Trace);
  // a = ["a"]; trace(Array.call(a, "b")); trace(a)
  const Asm arrayCall = Asm()
                            .Push({"a", "a", 1})
                            .Do(Op::InitArray)
                            .Do(Op::SetVariable)
                            .Push({"b", "a"})
                            .Do(Op::GetVariable)
                            .Push({2, "Array"})
                            .Do(Op::GetVariable)
                            .Push({"call"})
                            .Do(Op::CallMethod)
                            .Do(Op::Trace)
                            .Push({"a"})
                            .Do(Op::GetVariable)
                            .Do(Op::Trace);
  // f = function () { trace("f"); }; n = { toString: function () { return ""; } }; f[n]()
  const Asm emptyName = Asm()
                            .Push({"f"})
                            .Function("", {}, Asm().Push({"f"}).Do(Op::Trace))
                            .Do(Op::SetVariable)
                            .Then(NewObject("n"))
                            .Push({"n"})
                            .Do(Op::GetVariable)
                            .Push({"toString"})
                            .Function("", {}, Asm().Push({""}).Do(Op::Return))
                            .Do(Op::SetMember)
                            .Push({0, "f"})
                            .Do(Op::GetVariable)
                            .Push({"n"})
                            .Do(Op::GetVariable)
                            .Do(Op::CallMethod)
                            .Do(Op::Pop);
  // trace(new Date(args...).method())
  const auto date = [](std::vector<PushArg> args, const char* method) {
    std::vector<PushArg> pushed(args.rbegin(), args.rend());
    pushed.emplace_back(static_cast<int>(args.size()));
    pushed.emplace_back("Date");
    return Asm()
        .Push({0})
        .PushAll(pushed)
        .Do(Op::NewObject)
        .Push({method})
        .Do(Op::CallMethod)
        .Do(Op::Trace);
  };
  // o = {0: "a", 1: "b", length: 2}; trace(Array.prototype.pop.call(o)); trace(o[1]);
  // trace(o.length): the length is left as it was
  const Asm genericPop = Asm()
                             .Push({"o", "0", "a", "1", "b", "length", 2, 3})
                             .Do(Op::InitObject)
                             .Do(Op::SetVariable)
                             .Push({"o"})
                             .Do(Op::GetVariable)
                             .Push({1, "Array"})
                             .Do(Op::GetVariable)
                             .Push({"prototype"})
                             .Do(Op::GetMember)
                             .Push({"pop"})
                             .Do(Op::GetMember)
                             .Push({"call"})
                             .Do(Op::CallMethod)
                             .Do(Op::Trace)
                             .Then(Traced(GetMember("o", "1")))
                             .Then(Traced(GetMember("o", "length")));
  // function A() { super(1, 2); }; A extends Array; a = new A(); trace(a.length); trace(a)
  const Asm superCall = Asm()
                            .Push({2, 1, 2, "super"})
                            .Do(Op::GetVariable)
                            .Push({test::Undefined()})
                            .Do(Op::CallMethod)
                            .Do(Op::Pop);
  const Asm subclass = Asm()
                           .Push({"A"})
                           .Function("", {}, superCall)
                           .Do(Op::SetVariable)
                           .Push({"A"})
                           .Do(Op::GetVariable)
                           .Push({"Array"})
                           .Do(Op::GetVariable)
                           .Do(Op::Extends)
                           .Push({"a", 0, "A"})
                           .Do(Op::NewObject)
                           .Do(Op::SetVariable)
                           .Then(Traced(GetMember("a", "length")))
                           .Push({"a"})
                           .Do(Op::GetVariable)
                           .Do(Op::Trace);
  // startDrag("", false, flag, 1, 2, 3, 4) where flag.valueOf() gives v; then
  // trace what the drag left on the stack
  const auto drag = [](int v) {
    return Asm()
        .Then(NewObject("flag"))
        .Push({"flag"})
        .Do(Op::GetVariable)
        .Push({"valueOf"})
        .Function("", {}, Asm().Push({v}).Do(Op::Return))
        .Do(Op::SetMember)
        .Push({"left", 1, 2, 3, 4, "flag"})
        .Do(Op::GetVariable)
        .Push({false, ""})
        .Do(Op::StartDrag)
        .Do(Op::EndDrag)
        .Do(Op::Trace);
  };
  ExpectCases({
      {"a drag constrained by an object giving 1", 8, drag(1), {"left"}},
      {"a drag constrained by an object giving 7", 8, drag(7), {"4"}},
      {"super() of an Array subclass", 7, subclass, {"2", "1,2"}},
      {"pop of an object with a length", 8, genericPop, {"b", "undefined", "2"}},
      {"a time past the fields' range", 8, date({8.64e15 + 2}, "getTime"), {"8.64e+15"}},
      {"a negative year", 8, date({-1, 0, 15}, "getFullYear"), {"1899"}},
      {"Array.call", 8, arrayCall, {"b", "a"}},
      {"a method named by empty text", 8, emptyName, {"f"}},
      {"splice(1, 1)", 8, splice({1, 1}), {"2", "1,3"}},
      {"splice(undefined)", 8, splice({test::Undefined()}), {"undefined", "1,2,3"}},
      {"splice(null)", 8, splice({Null()}), {"1,2,3", ""}},
      {"splice(1, undefined)", 8, splice({1, test::Undefined()}), {"undefined", "1,2,3"}},
      {"splice(1, -1, 9)", 8, splice({1, -1, 9}), {"undefined", "1,2,3"}},
      {"splice(1, 0, 9)", 8, splice({1, 0, 9}), {"", "1,9,2,3"}},
      {"Function()", 8, function({}), {"[type Object]"}},
      {"Function(true)", 8, function({true}), {"true"}},
      {"Function(1, 2)", 8, function({1, 2}), {"1"}},
      {"Object()", 8, function({}, "Object"), {"[type Object]"}},
      {"addProperty without a setter", 8, addProperty(false), {"false", "undefined"}},
      {"addProperty read-only", 8, addProperty(true), {"true", "7"}},
      {"variables named _root and _global", 8, shadow, {"mine", "ours"}},
      {"var of an inherited name", 8, inherited, {"inherited"}},
  });
}

// A DefineFunction2 function with fewer than four registers reaches the
// rest in the frame code that runs it: it reads them and writes them.
TEST(ObjectRulesTest, RegistersPastAFunctionsOwnAreTheBlocks) {
  // r1 = r3 = "block"; f() traces r1 and r3, then sets r3 = "f"; trace(r3)
  const Asm body = Asm()
                       .Push({Reg(1)})
                       .Do(Op::Trace)
                       .Push({Reg(3)})
                       .Do(Op::Trace)
                       .Push({"f"})
                       .StoreRegister(3)
                       .Do(Op::Pop);
  const Asm code = Asm()
                       .Push({"block"})
                       .StoreRegister(1)
                       .StoreRegister(3)
                       .Do(Op::Pop)
                       .Function2("f", {}, 2, 0, body)
                       .CallFunction("f", 0)
                       .Do(Op::Pop)
                       .Push({Reg(3)})
                       .Do(Op::Trace)
                       .Push({Reg(1)})
                       .Do(Op::Trace);
  ExpectCases({{"two registers of its own", 8, code, {"undefined", "block", "f", "block"}}});
}

// A throw caught drops what its try block pushed but not what it popped;
// one nobody catches is reported.
TEST(ObjectRulesTest, ThrowsLeaveTheStackAsTheTryFoundIt) {
  const Asm catchBody = Asm().Do(Op::PushDuplicate).Do(Op::Trace);
  // push "below"; try { push "pushed"; throw "e" } catch { trace(top) }
  const Asm pushed = Asm().Push({"below"}).Try(Asm().Push({"pushed", "e"}).Do(Op::Throw),
                                               &catchBody, "e", nullptr);
  // push 1, 2; try { pop; throw "e" } catch { trace(top) }
  const Asm popped =
      Asm().Push({1, 2}).Try(Asm().Do(Op::Pop).Push({"e"}).Do(Op::Throw), &catchBody, "e", nullptr);
  const Asm uncaught = Asm().Push({"oops"}).Do(Op::Throw).Push({"after"}).Do(Op::Trace);
  ExpectCases({
      {"pushed in the try", 7, pushed, {"below"}},
      {"popped in the try", 7, popped, {"1"}},
      {"uncaught", 7, uncaught, {"Warning: Uncaught exception, oops"}},
  });
}

}  // namespace
}  // namespace orrivel::swf::avm1
