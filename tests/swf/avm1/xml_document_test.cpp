// XML documents as scripts see them: the status each malformed text gives
// and the tree kept up to the fault, the document members the prototype
// shows through accessors (and what a write converts to), the node members
// on XMLNode.prototype, and the request headers a document keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "action_builder.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;

Value Global(Vm& vm, const char* name) { return vm.Get(vm.global, name); }

Object* NewXml(Vm& vm, const Value& text) {
  const Value ctor = Global(vm, "XML");
  const Value args[1] = {text};
  const Value doc = ctor.IsObject() ? vm.Construct(ctor.object, args) : Value{};
  return doc.IsObject() ? doc.object : nullptr;
}

bool HasOwn(Vm& vm, Object* o, const char* name) { return o->FindProperty(vm, name) != nullptr; }

std::string Printed(Vm& vm, Object* o) {
  Value out;
  vm.CallMethod(o, "toString", {}, &out);
  return vm.ToString(out);
}

TEST(XmlDocumentTest, StatusAndKeptTree) {
  const struct {
    const char* text;
    int status;
    const char* kept;
  } cases[] = {
      {"<a><b/>t</a>", 0, "<a><b />t</a>"},
      {"<a><![CDATA[x</a>", -2, "<a />"},
      {"<?xml version='1.0'<a/>", -3, ""},
      {"<a/><!DOCTYPE a", -4, "<a />"},
      {"<a/><a><!-- x<b>", -5, "<a /><a />"},
      {"<a>&amp; '<", -6, "<a>&amp; &apos;</a>"},
      {"<a x='1", -8, ""},
      {"<a><b>", -9, "<a><b /></a>"},
      {"<a></b>", -10, "<a />"},
      {"</a><b>x</b>", -10, ""},
      {"<a><b></a>", -10, "<a><b /></a>"},
      {"<a>&#229e2;&#76x;&#ee1;</a>", 0, "<a>\xC3\xA5L&amp;#ee1;</a>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    MovieRunner runner(BaseMovie());
    Vm& vm = runner.Vm();
    Object* doc = NewXml(vm, Value::Str(c.text));
    ASSERT_TRUE(doc);
    EXPECT_EQ(vm.ToNumber(vm.Get(doc, "status")), c.status);
    EXPECT_EQ(Printed(vm, doc), c.kept);
  }
}

TEST(XmlDocumentTest, AccessorsComeWithTheFirstDocument) {
  MovieRunner runner(BaseMovie());
  Vm& vm = runner.Vm();
  Object* xmlProto = PrototypeOf(vm, Global(vm, "XML").object);
  Object* nodeProto = PrototypeOf(vm, Global(vm, "XMLNode").object);
  const char* docMembers[] = {"status",      "loaded",      "xmlDecl",
                              "docTypeDecl", "contentType", "ignoreWhite"};
  // The node members are there already: XML's prototype is itself a node.
  for (const char* m : {"nodeName", "nodeValue", "attributes", "firstChild", "prefix"})
    EXPECT_TRUE(HasOwn(vm, nodeProto, m)) << m;
  for (const char* m : docMembers) EXPECT_FALSE(HasOwn(vm, xmlProto, m)) << m;
  Object* doc = NewXml(vm, Value{});
  ASSERT_TRUE(doc);
  for (const char* m : docMembers) {
    EXPECT_TRUE(HasOwn(vm, xmlProto, m)) << m;
    EXPECT_FALSE(HasOwn(vm, doc, m)) << m;
  }
  // Read from the prototype itself they are undefined.
  EXPECT_TRUE(vm.Get(xmlProto, "status").IsUndefined());
  EXPECT_TRUE(vm.Get(nodeProto, "attributes").IsUndefined());
}

TEST(XmlDocumentTest, DocumentMembersConvertWrites) {
  const Value none;
  const struct {
    const char* member;
    Value write;
    const char* before;  // typeof, then the value
    const char* after;
  } cases[] = {
      {"status", Value::Str("12.7"), "number 0", "number 12"},
      {"status", Value::Str("x"), "number 0", "number 0"},
      {"status", Value::Num(3.4e46), "number 0", "number 0"},
      {"status", Value::Num(4294967295.0), "number 0", "number -1"},
      {"loaded", Value::Str("a"), "undefined undefined", "boolean true"},
      {"ignoreWhite", Value::Num(8), "boolean false", "boolean true"},
      {"xmlDecl", Value::Num(7), "undefined undefined", "string 7"},
      {"docTypeDecl", Value::Null(), "undefined undefined", "string null"},
      {"contentType", Value::Num(88), "string application/x-www-form-urlencoded", "string 88"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.member);
    MovieRunner runner(BaseMovie());
    Vm& vm = runner.Vm();
    Object* doc = NewXml(vm, none);
    ASSERT_TRUE(doc);
    const auto show = [&] {
      const Value v = vm.Get(doc, c.member);
      return vm.TypeOf(v) + " " + vm.ToString(v);
    };
    EXPECT_EQ(show(), c.before);
    vm.Set(doc, c.member, c.write);
    EXPECT_EQ(show(), c.after);
    EXPECT_FALSE(HasOwn(vm, doc, c.member));
  }
}

TEST(XmlDocumentTest, NamesAndNamespaces) {
  const struct {
    const char* text;
    const char* localName;
    const char* prefix;
    const char* namespaceUri;
  } cases[] = {
      {"<fr:pr:t/>", "pr:t", "fr", ""},  {"<:t/>", "t", "", ""},
      {"<t:/>", "t:", "", ""},           {"<t xmlns='a' xmlns='b'/>", "t", "", "a"},
      {"<t xmlns:='n'/>", "t", "", "n"}, {"<o xmlns:p='q'><p:t/></o>", "o", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    MovieRunner runner(BaseMovie());
    Vm& vm = runner.Vm();
    Object* doc = NewXml(vm, Value::Str(c.text));
    ASSERT_TRUE(doc);
    const Value first = vm.Get(doc, "firstChild");
    ASSERT_TRUE(first.IsObject());
    EXPECT_EQ(vm.ToString(vm.Get(first.object, "localName")), c.localName);
    EXPECT_EQ(vm.ToString(vm.Get(first.object, "prefix")), c.prefix);
    EXPECT_EQ(vm.ToString(vm.Get(first.object, "namespaceURI")), c.namespaceUri);
  }
}

TEST(XmlDocumentTest, RequestHeadersCollectInAnArray) {
  const struct {
    const char* name;
    std::vector<std::vector<Value>> calls;
    const char* headers;
  } cases[] = {
      {"a pair", {{Value::Str("h"), Value::Str("v")}}, "h,v"},
      {"no arguments make the list", {{}}, ""},
      {"only strings count",
       {{Value::Num(3), Value::Num(5)}, {Value::Str("s"), Value::Num(6)}},
       ""},
      {"pairs add up",
       {{Value::Str("a"), Value::Str("1")}, {Value::Str("b"), Value::Str("2")}},
       "a,1,b,2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MovieRunner runner(BaseMovie());
    Vm& vm = runner.Vm();
    Object* doc = NewXml(vm, Value{});
    ASSERT_TRUE(doc);
    EXPECT_FALSE(HasOwn(vm, doc, "_customHeaders"));
    for (const auto& args : c.calls) vm.CallMethod(doc, "addRequestHeader", args);
    EXPECT_TRUE(HasOwn(vm, doc, "_customHeaders"));
    EXPECT_EQ(vm.ToString(vm.Get(doc, "_customHeaders")), c.headers);
  }
}

// Inside with, an assignment to a name the object inherits (a node's
// nodeValue through its prototype's setter) goes to the object.
TEST(XmlDocumentTest, WithAssignsToAnInheritedMember) {
  using test::Asm;
  const Asm doc = Asm().Push({"d", "<a>t</a>", 1, "XML"}).Do(Op::NewObject).Do(Op::SetVariable);
  const Asm text = Asm()
                       .Push({"d"})
                       .Do(Op::GetVariable)
                       .Push({"firstChild"})
                       .Do(Op::GetMember)
                       .Push({"firstChild"})
                       .Do(Op::GetMember);
  const Asm code = Asm(doc)
                       .Then(text)
                       .With(Asm().Push({"nodeValue", "u"}).Do(Op::SetVariable))
                       .Then(text)
                       .Push({"nodeValue"})
                       .Do(Op::GetMember)
                       .Do(Op::Trace)
                       .Push({"nodeValue"})
                       .Do(Op::GetVariable)
                       .Do(Op::Trace);
  Movie m = BaseMovie();
  m.timeline = MakeTimeline({MakeFrame({Act({code.Bytes()})})});
  std::vector<std::string> lines;
  MovieRunner runner(m, {}, nullptr, [&lines](const std::string& s) { lines.push_back(s); });
  runner.Tick();
  EXPECT_EQ(lines, (std::vector<std::string>{"u", "undefined"}));
}

}  // namespace
}  // namespace orrivel::swf::avm1
