// LocalConnection between the connections of one player: names, what the
// sender hears, and when a receiver gets the call.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/host_state.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace swf::test;

std::vector<std::string> heard;

Completion OnStatus(Vm& vm, const CallContext&, Args args) {
  heard.push_back("status " + vm.ToString(vm.Get(Arg(args, 0).object, "level")));
  return {};
}
Completion Receive(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  std::string line = vm.ToString(vm.Get(self, "who")) + " got";
  for (const Value& v : args) line += " " + vm.ToString(v);
  heard.push_back(line);
  return {};
}

struct Step {
  const char* who;  // "a" or "b"; the sender is always "s"
  const char* op;   // connect, close, send, deliver
  const char* name = "";
  bool result = true;
};

TEST(LocalConnectionTest, MessagesReachTheNameHolderBetweenFrames) {
  const struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> heard;
  } cases[] = {
      {"nobody there", {{"s", "send", "chan"}, {"", "deliver"}}, {"status error"}},
      {"a receiver, with the arguments",
       {{"a", "connect", "chan"}, {"s", "send", "chan"}, {"", "deliver"}},
       {"status status", "a got 1 two"}},
      {"names ignore case and may name the domain",
       {{"a", "connect", "Chan"}, {"s", "send", "LOCALHOST:chAN"}, {"", "deliver"}},
       {"status status", "a got 1 two"}},
      {"an underscore name takes no domain",
       {{"a", "connect", "_chan"}, {"s", "send", "localhost:_chan"}, {"", "deliver"}},
       {"status error"}},
      {"a name is held once",
       {{"a", "connect", "chan"}, {"b", "connect", "chan", false}, {"a", "connect", "x", false}},
       {}},
      {"connect refuses a domain", {{"a", "connect", "localhost:chan", false}}, {}},
      {"sent before anyone held the name",
       {{"s", "send", "chan"}, {"a", "connect", "chan"}, {"", "deliver"}},
       {"status error"}},
      {"closed before delivery",
       {{"a", "connect", "chan"}, {"s", "send", "chan"}, {"a", "close"}, {"", "deliver"}},
       {"status error"}},
      {"the holder at delivery receives",
       {{"a", "connect", "chan"},
        {"s", "send", "chan"},
        {"a", "close"},
        {"b", "connect", "chan"},
        {"", "deliver"}},
       {"status status", "b got 1 two"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    heard.clear();
    Movie m = BaseMovie();
    m.header.version = 8;
    MovieRunner runner(m);
    Vm& vm = runner.Vm();
    Object* cls = vm.Get(vm.global, "LocalConnection").object;
    ASSERT_NE(cls, nullptr);
    std::map<std::string, Object*> lc;
    for (const char* who : {"s", "a", "b"}) {
      lc[who] = vm.Construct(cls, {}).object;
      vm.Set(lc[who], "who", Value::Str(who));
      vm.Set(lc[who], "onStatus", Value::Obj(vm.NewNative(OnStatus)));
      vm.Set(lc[who], "test", Value::Obj(vm.NewNative(Receive)));
    }
    for (const Step& s : c.steps) {
      if (std::string(s.op) == "deliver") {
        DeliverLocalConnectionMessages(vm);
        continue;
      }
      std::vector<Value> args{Value::Str(s.name)};
      if (std::string(s.op) == "send")
        args.insert(args.end(), {Value::Str("test"), Value::Num(1), Value::Str("two")});
      Value out;
      ASSERT_TRUE(vm.CallMethod(lc[s.who], s.op, args, &out));
      if (std::string(s.op) != "close") {
        EXPECT_EQ(vm.ToBoolean(out), s.result) << s.op;
      }
    }
    EXPECT_EQ(heard, c.heard);
  }
}

// Sends past the queue's bound are refused, and what was queued is
// delivered once.
TEST(LocalConnectionTest, QueueStaysBounded) {
  Movie m = BaseMovie();
  m.header.version = 8;
  MovieRunner runner(m);
  Vm& vm = runner.Vm();
  Object* s = vm.Construct(vm.Get(vm.global, "LocalConnection").object, {}).object;
  ASSERT_NE(s, nullptr);
  int accepted = 0;
  for (int i = 0; i < 5000; ++i) {
    const Value args[] = {Value::Str("nowhere"), Value::Str("test")};
    Value out;
    vm.CallMethod(s, "send", args, &out);
    accepted += out.boolean ? 1 : 0;
  }
  EXPECT_EQ(accepted, 1024);
  DeliverLocalConnectionMessages(vm);
  EXPECT_TRUE(HostStateOf(vm).messages.empty());
}

}  // namespace
}  // namespace orrivel::swf::avm1
