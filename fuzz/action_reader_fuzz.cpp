// Decodes arbitrary bytes as an action block: straight through, at every
// offset (where a branch may land), as the interpreter keeps them, and as
// text. An action written back and read again must write the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "swf/avm1/action_reader.h"
#include "swf/avm1/decoded_block.h"

using namespace orrivel::swf::avm1;

namespace {

void CheckRoundTrip(const Action& a) {
  if (a.op == Op::Truncated) return;
  const std::vector<uint8_t> once = EncodeAction(a);
  const Action again = DecodeAction(once, 0);
  if (EncodeAction(again) != once) std::abort();
  if (again.op != a.op) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> code(data, size);
  ActionReader reader(code);
  Action a;
  while (reader.Next(a)) {
    if (a.next > size || a.next <= a.offset) std::abort();
    if ((a.op == Op::Jump || a.op == Op::If) && !a.targetOutside && a.target > size) std::abort();
    CheckRoundTrip(a);
  }
  (void)Disassemble(code);
  auto budget = std::make_shared<DecodeBudget>();
  budget->limit = 1u << 20;
  auto block = DecodedBlock::Of(code, budget);
  for (std::size_t i = 0; i < size; ++i) {
    const Action* kept = block->Find(i);
    const Action& act = kept ? *kept : DecodeAction(code, i);
    if (act.offset != i || act.next > size) std::abort();
    if (act.op == Op::DefineFunction || act.op == Op::DefineFunction2) {
      auto body = block->Body(act);
      if (body->Size() > size - act.next) std::abort();
      for (std::size_t j = 0; j < body->Size(); j += 7) (void)body->Find(j);
    }
  }
  return 0;
}
