// String, Array and Date rules that differ between movie versions: SWF 5
// strings are bytes, later ones UTF-16 text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../player/movie_builder.h"
#include "swf/avm1/vm.h"
#include "swf/player/movie_runner.h"

namespace orrivel::swf::avm1 {
namespace {

using namespace test;

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

TEST(StringRulesTest, Swf5StringsAreBytes) {
  const struct {
    int version;
    const char* receiver;
    const char* method;
    std::vector<Value> args;
    const char* result;
  } cases[] = {
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
  for (const auto& c : cases) {
    Calls calls(c.version);
    EXPECT_EQ(calls.Text(c.receiver, c.method, c.args), c.result)
        << "v" << c.version << " " << c.method;
  }
  for (int version : {5, 6}) {
    Calls calls(version);
    Vm& vm = calls.vm();
    const Value s = calls.Call("String", "fromCharCode", {N(233), N(66)});
    EXPECT_EQ(vm.ToNumber(vm.GetMember(s, "length")), 2) << version;
    const Value codes = calls.Call(s.string, "charCodeAt", {N(0)});
    EXPECT_EQ(vm.ToNumber(codes), 233) << version;
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
