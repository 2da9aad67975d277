#include "swf/avm1/action_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "action_builder.h"
#include "swf/avm1/decoded_block.h"

namespace orrivel::swf::avm1 {
namespace {

using test::Asm;
using Bytes = std::vector<uint8_t>;

// Each block's disassembly: operands decoded, branch targets and body
// lengths checked against the block, unknown and cut-off actions told.
TEST(ActionReaderTest, DisassemblesTypedActions) {
  const Asm body = Asm().Push({test::Reg(1)}).Do(Op::Return);
  const Asm onCatch = Asm().Do(Op::Pop);
  const struct {
    const char* name;
    Bytes code;
    const char* text;
  } cases[] = {
      {"push kinds",
       Asm()
           .Push({"a\"b\n", 7, 2.5, true, test::Null(), test::Undefined(), test::Reg(3),
                  test::Constant(2), test::Constant(300), test::Float(0.5f)})
           .Bytes(),
       "0x0000  Push \"a\\\"b\\x0A\", 7i, 2.5, true, null, undefined, r3, c2, c300, 0.5f\n"},
      {"pool and frames",
       Asm().Pool({"x", "y"}).GotoFrame2(true, 3).GetUrl2(0x81).WaitForFrame(4, 1).Bytes(),
       "0x0000  ConstantPool c0=\"x\", c1=\"y\"\n"
       "0x0009  GotoFrame2 flags 0x03 bias 3\n"
       "0x000F  GetUrl2 flags 0x81\n"
       "0x0013  WaitForFrame 4 skip 1\n"},
      {"function body indented",
       Asm().Function2("f", {{1, "a"}, {0, "b"}}, 3, 0x0005, body).Do(Op::Stop).Bytes(),
       "0x0000  DefineFunction2 \"f\" (r1:a, b) registers 3 flags 0x0005 size 6\n"
       "0x0012    Push r1\n"
       "0x0017    Return\n"
       "0x0018  Stop\n"},
      {"try", Asm().Try(Asm().Do(Op::Throw), &onCatch, "e", nullptr).Bytes(),
       "0x0000  Try try 1 catch 1 into \"e\"\n"
       "0x000C    Throw\n"
       "0x000D    Pop\n"},
      {"branches outside", Asm().JumpBy(-100).JumpBy(50).Bytes(),
       "0x0000  Jump 0x000A (outside the block)\n"
       "0x0005  Jump 0x003C (outside the block)\n"},
      {"with past the block", Bytes{0x94, 2, 0, 0x20, 0, 0x07},
       "0x0000  With size 32 (past the block)\n"
       "0x0005    Stop\n"},
      {"unknown short and long", Bytes{0x16, 0xC0, 2, 0, 0x26, 0x26, 0x07},
       "0x0000  Unknown code 0x16 length 0\n"
       "0x0001  Unknown code 0xC0 length 2\n"
       "0x0006  Stop\n"
       "; 2 unknown actions\n"},
      {"cut off", Bytes{0x07, 0x96, 9, 0, 0},
       "0x0000  Stop\n"
       "0x0001  Truncated code 0x96: runs past the block\n"},
      {"stops at end", Bytes{0x00, 0x07, 0x07},
       "0x0000  End\n"
       "; 2 bytes after the end\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(Disassemble(c.code), c.text) << c.name;
}

// Operands cut short by the action's length read as zeros, and the action
// says so; a Push keeps the values before the cut.
TEST(ActionReaderTest, ShortPayloadsReadAsZeros) {
  const struct {
    Bytes code;
    Op op;
    bool shortPayload;
    std::size_t values;
  } cases[] = {
      {{0x81, 1, 0, 5}, Op::GotoFrame, true, 0},
      {{0x96, 7, 0, 7, 1, 0, 0, 0, 7, 1}, Op::Push, true, 1},
      {{0x96, 2, 0, 5, 1}, Op::Push, false, 1},
      {{0x96, 3, 0, 5, 1, 99}, Op::Push, false, 1},  // an unknown type ends the values
      {{0x9B, 3, 0, 'f', 0, 1}, Op::DefineFunction, true, 0},
  };
  for (const auto& c : cases) {
    const Action a = DecodeAction(c.code, 0);
    EXPECT_EQ(a.op, c.op);
    EXPECT_EQ(a.shortPayload, c.shortPayload) << DescribeAction(a);
    if (c.op == Op::Push) EXPECT_EQ(a.data->values.size(), c.values);
  }
}

// A branch into the middle of an action reads the bytes there as an action
// of their own; the kept block answers the same as a fresh decode.
TEST(DecodedBlockTest, BranchIntoAnActionDecodesThere) {
  // Push "\x07" hides a Stop at offset 4.
  const Bytes code = Asm().Push({"\x07"}).Do(Op::Play).Bytes();
  auto block = DecodedBlock::Of(code);
  EXPECT_EQ(block->Find(0)->op, Op::Push);
  EXPECT_EQ(block->Find(6)->op, Op::Play);
  const Action* inside = block->Find(4);
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(inside->op, Op::Stop);
  EXPECT_EQ(block->Find(4), inside);  // decoded once
}

TEST(DecodedBlockTest, FunctionBodiesAreBlocksOfTheirOwn) {
  const Bytes code = Asm().Function("f", {}, Asm().JumpBy(-50).Do(Op::Stop)).Do(Op::Play).Bytes();
  auto block = DecodedBlock::Of(code);
  const Action* define = block->Find(0);
  ASSERT_EQ(define->op, Op::DefineFunction);
  auto body = block->Body(*define);
  EXPECT_EQ(body, block->Body(*define));
  ASSERT_EQ(body->Size(), 6u);
  // Inside the body a branch before its start leaves the body.
  EXPECT_EQ(body->Find(0)->target, 6u);
  EXPECT_TRUE(body->Find(0)->targetOutside);
}

// Once the budget is spent, no more actions are kept (the interpreter then
// decodes each time), and blocks that go give their share back.
TEST(DecodedBlockTest, KeptActionsStayWithinTheBudget) {
  auto budget = std::make_shared<DecodeBudget>();
  budget->limit = 4096;
  const Bytes many(300, 0x07);
  {
    auto big = DecodedBlock::Of(many, budget);
    EXPECT_LE(budget->used, budget->limit + 512);
    EXPECT_EQ(big->Find(299), nullptr);
    auto small = DecodedBlock::Of(Bytes{0x07}, budget);
    EXPECT_EQ(small->Find(0), nullptr);
  }
  EXPECT_EQ(budget->used, 0u);
  auto later = DecodedBlock::Of(Bytes{0x07}, budget);
  EXPECT_NE(later->Find(0), nullptr);
}

// The cache answers a block by its bytes: copies share one decoded block,
// and other bytes that took the same place in memory are decoded again.
TEST(BlockCacheTest, SameBytesShareABlockAndReusedMemoryIsDecodedAgain) {
  BlockCache cache;
  Bytes code = Asm().Do(Op::Stop).Bytes();
  const Bytes copy = code;
  auto first = cache.Get(code);
  EXPECT_EQ(cache.Get(copy), first);
  code[0] = static_cast<uint8_t>(Op::Play);
  auto second = cache.Get(code);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->Find(0)->op, Op::Play);
  EXPECT_EQ(first->Find(0)->op, Op::Stop);  // a running block keeps its own actions
}

// Writing a decoded action back gives its bytes again.
TEST(ActionReaderTest, EncodedActionsReadBackTheSame) {
  const Asm body = Asm().Do(Op::Stop);
  const Bytes blocks[] = {
      Asm().Push({"s", 1, 2.5, false, test::Reg(2), test::Constant(4)}).Bytes(),
      Asm().Pool({"a", "b", ""}).GotoLabel("x").SetTarget("/mc").GetUrl("u", "_self").Bytes(),
      Asm().Function2("g", {{2, "p"}}, 4, 0x2A, body).Bytes(),
      Asm().Try(body, &body, "", &body, 3).StoreRegister(1).WaitForFrame2(2).Bytes(),
      Bytes{0xC5, 3, 0, 1, 2, 3},
  };
  for (const Bytes& code : blocks) {
    Bytes again;
    ActionReader reader(code);
    Action a;
    while (reader.Next(a)) {
      const Bytes one = EncodeAction(a);
      again.insert(again.end(), one.begin(), one.end());
      // Skip the bodies: the reader walks into them as actions of their own.
    }
    EXPECT_EQ(again, code) << Disassemble(code);
  }
}

}  // namespace
}  // namespace orrivel::swf::avm1
