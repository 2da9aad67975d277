// Action blocks as the interpreter runs them: decoded once, kept by the
// machine, and shared by every run of the same code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include "swf/avm1/action_reader.h"

namespace orrivel::swf::avm1 {

// What decoded actions may hold in memory, shared by the blocks of one
// machine: a hostile movie's code cannot make it grow without bound.
struct DecodeBudget {
  std::size_t used = 0;
  std::size_t limit = 64u << 20;
};

// The decoded actions of one block (a whole script or a function's body).
// Actions are decoded where the code reaches them: a branch into the middle
// of an action reads the bytes there as an action of their own, as the
// player does. Once the budget is spent, actions are no longer kept and
// Find gives null: the caller decodes them each time.
class DecodedBlock {
 public:
  // The block is bytes[begin, begin + size); the bytes are shared with the
  // blocks of the functions inside it.
  DecodedBlock(std::shared_ptr<const std::vector<uint8_t>> bytes, std::size_t begin,
               std::size_t size, std::shared_ptr<DecodeBudget> budget);
  ~DecodedBlock();
  DecodedBlock(const DecodedBlock&) = delete;
  DecodedBlock& operator=(const DecodedBlock&) = delete;
  static std::shared_ptr<DecodedBlock> Of(std::span<const uint8_t> code,
                                          std::shared_ptr<DecodeBudget> budget = nullptr);

  std::span<const uint8_t> Code() const { return {bytes_->data() + begin_, size_}; }
  std::size_t Size() const { return size_; }
  // The action at `offset` (< Size()); null when it is not kept. A pointer
  // stays valid as long as the block.
  const Action* Find(std::size_t offset) {
    if (index_.empty()) return nullptr;
    const Action* a = index_[offset];
    return a ? a : Decode(offset);
  }
  // The body of the DefineFunction `define`: [define.next, define.target).
  std::shared_ptr<DecodedBlock> Body(const Action& define);

 private:
  const Action* Decode(std::size_t offset);
  std::shared_ptr<const std::vector<uint8_t>> bytes_;
  std::size_t begin_, size_;
  std::shared_ptr<DecodeBudget> budget_;
  std::size_t charged_ = 0;
  std::deque<Action> actions_;        // stable addresses
  std::vector<const Action*> index_;  // by offset; null when not decoded
  std::map<uint32_t, std::shared_ptr<DecodedBlock>> bodies_;
};

// The blocks a movie's scripts ran, by their bytes: handlers copied to many
// clips share one decoded block, and memory reused by another movie never
// runs stale code. Bounded: over the cap it starts again.
class BlockCache {
 public:
  std::shared_ptr<DecodedBlock> Get(std::span<const uint8_t> code);
  std::size_t Blocks() const { return blocks_.size(); }
  const std::shared_ptr<DecodeBudget>& Budget() const { return budget_; }

 private:
  static constexpr std::size_t kMaxBytes = 32u << 20, kMaxBlocks = 1u << 14;
  std::unordered_multimap<std::size_t, std::shared_ptr<DecodedBlock>> blocks_;  // by hash
  std::size_t bytes_ = 0;
  std::shared_ptr<DecodeBudget> budget_ = std::make_shared<DecodeBudget>();
};

}  // namespace orrivel::swf::avm1
