#include "swf/avm1/decoded_block.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>

namespace orrivel::swf::avm1 {

namespace {
// What one kept action costs, its operands counted roughly.
std::size_t Cost(const Action& a) {
  std::size_t n = sizeof(Action);
  if (a.data) {
    n += sizeof(ActionData) + a.data->values.size() * sizeof(PushValue) + a.data->text.size();
    for (const PushValue& v : a.data->values) n += v.string.size();
    if (a.data->pool)
      for (const std::string& s : *a.data->pool) n += sizeof(std::string) + s.size();
    for (const std::string& s : a.data->function.params) n += sizeof(std::string) + s.size();
  }
  return n;
}
}  // namespace

DecodedBlock::DecodedBlock(std::shared_ptr<const std::vector<uint8_t>> bytes, std::size_t begin,
                           std::size_t size, std::shared_ptr<DecodeBudget> budget)
    : bytes_(std::move(bytes)), begin_(begin), size_(size), budget_(std::move(budget)) {
  if (!budget_) budget_ = std::make_shared<DecodeBudget>();
  const std::size_t indexBytes = size_ * sizeof(const Action*);
  if (size_ == 0 || budget_->used + indexBytes > budget_->limit) return;
  index_.assign(size_, nullptr);
  charged_ = indexBytes;
  budget_->used += indexBytes;
  // Most code runs straight through: decode that path now.
  for (std::size_t pos = 0; pos < size_;) {
    const Action* a = Decode(pos);
    if (!a || a->op == Op::Truncated || a->next <= pos) break;
    pos = a->next;
  }
}

DecodedBlock::~DecodedBlock() { budget_->used -= charged_; }

std::shared_ptr<DecodedBlock> DecodedBlock::Of(std::span<const uint8_t> code,
                                               std::shared_ptr<DecodeBudget> budget) {
  auto bytes = std::make_shared<const std::vector<uint8_t>>(code.begin(), code.end());
  return std::make_shared<DecodedBlock>(std::move(bytes), 0, code.size(), std::move(budget));
}

const Action* DecodedBlock::Decode(std::size_t offset) {
  if (budget_->used >= budget_->limit) return nullptr;
  actions_.push_back(DecodeAction(Code(), offset));
  const std::size_t cost = Cost(actions_.back());
  charged_ += cost;
  budget_->used += cost;
  index_[offset] = &actions_.back();
  return &actions_.back();
}

std::shared_ptr<DecodedBlock> DecodedBlock::Body(const Action& define) {
  const std::size_t size = define.target > define.next ? define.target - define.next : 0;
  if (index_.empty())
    return std::make_shared<DecodedBlock>(bytes_, begin_ + define.next, size, budget_);
  auto& body = bodies_[define.offset];
  if (!body) body = std::make_shared<DecodedBlock>(bytes_, begin_ + define.next, size, budget_);
  return body;
}

std::shared_ptr<DecodedBlock> BlockCache::Get(std::span<const uint8_t> code) {
  const std::size_t hash = std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(code.data()), code.size()));
  const auto [first, last] = blocks_.equal_range(hash);
  for (auto it = first; it != last; ++it) {
    const auto held = it->second->Code();
    if (held.size() == code.size() && std::equal(held.begin(), held.end(), code.begin()))
      return it->second;
  }
  if (bytes_ + code.size() > kMaxBytes || blocks_.size() >= kMaxBlocks ||
      budget_->used >= budget_->limit) {
    blocks_.clear();
    bytes_ = 0;
  }
  auto block = DecodedBlock::Of(code, budget_);
  blocks_.emplace(hash, block);
  bytes_ += code.size();
  return block;
}

}  // namespace orrivel::swf::avm1
