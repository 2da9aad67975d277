// The script machine on its own, linked without the player: code runs, the
// timeline actions find no display and change nothing, and the collector
// keeps the built-ins by walking them, whatever scripts do to their names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "action_builder.h"
#include "swf/avm1/vm.h"

namespace orrivel::swf::avm1 {
namespace {

using test::Asm;

struct Machine {
  Vm vm{nullptr, nullptr, 8};
  std::vector<std::string> traces;
  Machine() {
    vm.traceSink = [this](const std::string& s) { traces.push_back(s); };
  }
  void Run(const Asm& code) {
    const std::vector<uint8_t> bytes = code.Bytes();
    vm.RunBlock(bytes, nullptr);
  }
};

TEST(MachineAloneTest, TimelineActionsWithoutDisplayChangeNothing) {
  const struct {
    const char* name;
    Asm code;
  } cases[] = {
      {"gotoAndStop", Asm().GotoFrame(3)},
      {"gotoAndPlay by label", Asm().Push({"label"}).GotoFrame2(true)},
      {"goto label", Asm().GotoLabel("x")},
      {"play, stop, next, prev",
       Asm().Do(Op::Play).Do(Op::Stop).Do(Op::NextFrame).Do(Op::PrevFrame)},
      {"setTarget", Asm().SetTarget("/a/b").SetTarget("")},
      {"setProperty", Asm().Push({"/a", 0, 5}).Do(Op::SetProperty)},
      {"duplicate and remove",
       Asm().Push({"/a", "b", 3}).Do(Op::CloneSprite).Push({"/b"}).Do(Op::RemoveSprite)},
      {"drag", Asm().Push({0, 0, "/a"}).Do(Op::StartDrag).Do(Op::EndDrag)},
      {"call frame", Asm().Push({"/a:2"}).Do(Op::Call)},
      {"stop sounds", Asm().Do(Op::StopSounds)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Machine m;
    m.Run(Asm(c.code).Push({"/a", 0}).Do(Op::GetProperty).Do(Op::Trace).Trace("done"));
    EXPECT_EQ(m.traces, (std::vector<std::string>{"undefined", "done"}));
  }
}

TEST(MachineAloneTest, ArithmeticAndObjectsRunWithoutDisplay) {
  Machine m;
  // new Object(), its n set to 2 + 3 and read back, all on the stack.
  m.Run(Asm()
            .Push({0, "Object"})
            .Do(Op::NewObject)
            .Do(Op::PushDuplicate)
            .Push({"n", 2, 3})
            .Do(Op::Add2)
            .Do(Op::SetMember)
            .Push({"n"})
            .Do(Op::GetMember)
            .Do(Op::Trace));
  EXPECT_EQ(m.traces, std::vector<std::string>{"5"});
}

TEST(MachineAloneTest, CollectorKeepsBuiltinsWhoseNamesScriptsDeleted) {
  Machine m;
  Vm& vm = m.vm;
  vm.Collect();
  const std::size_t installed = vm.HeapSize();
  // Scripts may delete every name _global has: the classes stay, since the
  // machine still makes its arrays, strings and functions from them.
  std::vector<std::string> names;
  vm.global->OwnKeys(vm, names);
  for (const std::string& n : names) vm.global->DeleteOwn(vm, n);
  vm.Collect();
  EXPECT_EQ(vm.HeapSize(), installed);
  ArrayObject* a = vm.NewArray({Value::Num(1)});
  const Value push = vm.Get(a, "push");
  ASSERT_TRUE(push.IsObject() && push.object->IsFunction());
  vm.Call(push, Value::Obj(a), std::vector<Value>{Value::Num(2)});
  EXPECT_EQ(a->elements.size(), 2u);
}

TEST(MachineAloneTest, CollectorFreesWhatNoRootReaches) {
  Machine m;
  Vm& vm = m.vm;
  vm.Collect();
  const std::size_t installed = vm.HeapSize();
  Object* kept = vm.NewObject();
  vm.global->Define(vm, "kept", Value::Obj(kept));
  kept->Define(vm, "child", Value::Obj(vm.NewObject()));
  for (int i = 0; i < 10; ++i) vm.NewObject();  // reachable from nothing
  vm.Collect();
  EXPECT_EQ(vm.HeapSize(), installed + 2);
  EXPECT_TRUE(vm.Get(kept, "child").IsObject());
}

}  // namespace
}  // namespace orrivel::swf::avm1
