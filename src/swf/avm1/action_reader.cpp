#include "swf/avm1/action_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <utility>

namespace orrivel::swf::avm1 {

namespace {

struct OpInfo {
  Op op;
  const char* name;
};

constexpr OpInfo kOps[] = {
    {Op::End, "End"},
    {Op::NextFrame, "NextFrame"},
    {Op::PrevFrame, "PrevFrame"},
    {Op::Play, "Play"},
    {Op::Stop, "Stop"},
    {Op::ToggleQuality, "ToggleQuality"},
    {Op::StopSounds, "StopSounds"},
    {Op::Add, "Add"},
    {Op::Subtract, "Subtract"},
    {Op::Multiply, "Multiply"},
    {Op::Divide, "Divide"},
    {Op::Equals, "Equals"},
    {Op::Less, "Less"},
    {Op::And, "And"},
    {Op::Or, "Or"},
    {Op::Not, "Not"},
    {Op::StringEquals, "StringEquals"},
    {Op::StringLength, "StringLength"},
    {Op::StringExtract, "StringExtract"},
    {Op::Pop, "Pop"},
    {Op::ToInteger, "ToInteger"},
    {Op::GetVariable, "GetVariable"},
    {Op::SetVariable, "SetVariable"},
    {Op::SetTarget2, "SetTarget2"},
    {Op::StringAdd, "StringAdd"},
    {Op::GetProperty, "GetProperty"},
    {Op::SetProperty, "SetProperty"},
    {Op::CloneSprite, "CloneSprite"},
    {Op::RemoveSprite, "RemoveSprite"},
    {Op::Trace, "Trace"},
    {Op::StartDrag, "StartDrag"},
    {Op::EndDrag, "EndDrag"},
    {Op::StringLess, "StringLess"},
    {Op::Throw, "Throw"},
    {Op::CastOp, "CastOp"},
    {Op::ImplementsOp, "ImplementsOp"},
    {Op::RandomNumber, "RandomNumber"},
    {Op::MBStringLength, "MBStringLength"},
    {Op::CharToAscii, "CharToAscii"},
    {Op::AsciiToChar, "AsciiToChar"},
    {Op::GetTime, "GetTime"},
    {Op::MBStringExtract, "MBStringExtract"},
    {Op::MBCharToAscii, "MBCharToAscii"},
    {Op::MBAsciiToChar, "MBAsciiToChar"},
    {Op::Delete, "Delete"},
    {Op::Delete2, "Delete2"},
    {Op::DefineLocal, "DefineLocal"},
    {Op::CallFunction, "CallFunction"},
    {Op::Return, "Return"},
    {Op::Modulo, "Modulo"},
    {Op::NewObject, "NewObject"},
    {Op::DefineLocal2, "DefineLocal2"},
    {Op::InitArray, "InitArray"},
    {Op::InitObject, "InitObject"},
    {Op::TypeOf, "TypeOf"},
    {Op::TargetPath, "TargetPath"},
    {Op::Enumerate, "Enumerate"},
    {Op::Add2, "Add2"},
    {Op::Less2, "Less2"},
    {Op::Equals2, "Equals2"},
    {Op::ToNumber, "ToNumber"},
    {Op::ToString, "ToString"},
    {Op::PushDuplicate, "PushDuplicate"},
    {Op::StackSwap, "StackSwap"},
    {Op::GetMember, "GetMember"},
    {Op::SetMember, "SetMember"},
    {Op::Increment, "Increment"},
    {Op::Decrement, "Decrement"},
    {Op::CallMethod, "CallMethod"},
    {Op::NewMethod, "NewMethod"},
    {Op::InstanceOf, "InstanceOf"},
    {Op::Enumerate2, "Enumerate2"},
    {Op::BitAnd, "BitAnd"},
    {Op::BitOr, "BitOr"},
    {Op::BitXor, "BitXor"},
    {Op::BitLShift, "BitLShift"},
    {Op::BitRShift, "BitRShift"},
    {Op::BitURShift, "BitURShift"},
    {Op::StrictEquals, "StrictEquals"},
    {Op::Greater, "Greater"},
    {Op::StringGreater, "StringGreater"},
    {Op::Extends, "Extends"},
    {Op::GotoFrame, "GotoFrame"},
    {Op::GetUrl, "GetUrl"},
    {Op::StoreRegister, "StoreRegister"},
    {Op::ConstantPool, "ConstantPool"},
    {Op::WaitForFrame, "WaitForFrame"},
    {Op::SetTarget, "SetTarget"},
    {Op::GotoLabel, "GotoLabel"},
    {Op::WaitForFrame2, "WaitForFrame2"},
    {Op::DefineFunction2, "DefineFunction2"},
    {Op::Try, "Try"},
    {Op::With, "With"},
    {Op::Push, "Push"},
    {Op::Jump, "Jump"},
    {Op::GetUrl2, "GetUrl2"},
    {Op::DefineFunction, "DefineFunction"},
    {Op::If, "If"},
    {Op::Call, "Call"},
    {Op::GotoFrame2, "GotoFrame2"},
};

// Names by code; null for codes no player knows.
constexpr std::array<const char*, 256> MakeNames() {
  std::array<const char*, 256> names{};
  for (const OpInfo& info : kOps) names[static_cast<uint16_t>(info.op)] = info.name;
  return names;
}
constexpr std::array<const char*, 256> kNames = MakeNames();

// Reads fields of one action's payload; reads past the end give zeros.
struct Payload {
  std::span<const uint8_t> data;
  std::size_t pos = 0;
  bool failed = false;
  uint8_t U8() {
    if (pos >= data.size()) {
      failed = true;
      return 0;
    }
    return data[pos++];
  }
  uint16_t U16() {
    const uint16_t lo = U8();
    return static_cast<uint16_t>(lo | U8() << 8);
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | static_cast<uint32_t>(U16()) << 16;
  }
  std::string String() {
    const std::size_t start = std::min(pos, data.size());
    const auto end = std::find(data.begin() + static_cast<std::ptrdiff_t>(start), data.end(), 0);
    std::string s(data.begin() + static_cast<std::ptrdiff_t>(start), end);
    pos = start + s.size();
    if (pos < data.size()) {
      ++pos;
    } else {
      failed = true;
    }
    return s;
  }
  bool AtEnd() const { return pos >= data.size(); }
};

// A Push stops at a value cut short (which is left out) or of an unknown type.
void ReadPushValues(Payload& p, std::vector<PushValue>& out) {
  using Kind = PushValue::Kind;
  while (!p.AtEnd() && !p.failed) {
    const uint8_t type = p.U8();
    if (type > 9) return;
    PushValue v;
    v.kind = static_cast<Kind>(type);
    switch (v.kind) {
      case Kind::String:
        v.string = p.String();
        break;
      case Kind::Float:
        v.number = std::bit_cast<float>(p.U32());
        break;
      case Kind::Null:
      case Kind::Undefined:
        break;
      case Kind::Register:
      case Kind::Constant8:
        v.index = p.U8();
        break;
      case Kind::Boolean:
        v.number = p.U8() != 0 ? 1 : 0;
        break;
      case Kind::Double: {
        const uint64_t hi = p.U32();
        v.number = std::bit_cast<double>(hi << 32 | p.U32());
        break;
      }
      case Kind::Integer:
        v.number = static_cast<int32_t>(p.U32());
        break;
      case Kind::Constant16:
        v.index = p.U16();
        break;
    }
    if (p.failed) return;
    out.push_back(std::move(v));
  }
}

void ReadFunction(Payload& p, bool v2, Action& a, ActionData& d) {
  FunctionHeader* f = &d.function;
  f->name = p.String();
  const uint16_t count = p.U16();
  f->v2 = v2;
  if (v2) {
    f->registerCount = p.U8();
    f->flags = p.U16();
  }
  for (uint16_t i = 0; i < count && !p.failed; ++i) {
    f->paramRegisters.push_back(v2 ? p.U8() : 0);
    f->params.push_back(p.String());
  }
  a.size = p.U16();
}

void ReadTry(Payload& p, std::size_t blockSize, Action& a, ActionData& d) {
  TryHeader* t = &d.tryBlock;
  t->flags = p.U8();
  t->trySize = p.U16();
  t->catchSize = p.U16();
  t->finallySize = p.U16();
  if (t->flags & kTryCatchInRegister) {
    t->catchRegister = p.U8();
  } else {
    t->catchName = p.String();
  }
  const std::size_t tryEnd = a.next + static_cast<std::size_t>(t->trySize);
  const std::size_t catchEnd = tryEnd + t->catchSize;
  const std::size_t finallyEnd = catchEnd + t->finallySize;
  a.targetOutside = finallyEnd > blockSize;
  t->tryEnd = static_cast<uint32_t>(std::min(tryEnd, blockSize));
  t->catchEnd = static_cast<uint32_t>(std::min(catchEnd, blockSize));
  t->finallyEnd = static_cast<uint32_t>(std::min(finallyEnd, blockSize));
}

bool HasData(Op op) {
  switch (op) {
    case Op::GetUrl:
    case Op::SetTarget:
    case Op::GotoLabel:
    case Op::Push:
    case Op::ConstantPool:
    case Op::DefineFunction:
    case Op::DefineFunction2:
    case Op::Try:
    case Op::Unknown:
      return true;
    default:
      return false;
  }
}

void ReadPayload(Payload& p, std::size_t blockSize, Action& a) {
  std::shared_ptr<ActionData> data = HasData(a.op) ? std::make_shared<ActionData>() : nullptr;
  ActionData unused;
  ActionData& d = data ? *data : unused;
  switch (a.op) {
    case Op::GotoFrame:
      a.frame = p.U16();
      break;
    case Op::GetUrl:
      d.text = p.String();
      d.text2 = p.String();
      break;
    case Op::StoreRegister:
      a.reg = p.U8();
      break;
    case Op::ConstantPool: {
      auto pool = std::make_shared<std::vector<std::string>>();
      const uint16_t count = p.U16();
      // A name cut short still counts; the pool ends there.
      for (uint16_t i = 0; i < count && !p.failed; ++i) pool->push_back(p.String());
      d.pool = std::move(pool);
      break;
    }
    case Op::WaitForFrame:
      a.frame = p.U16();
      a.skip = p.U8();
      break;
    case Op::WaitForFrame2:
      a.skip = p.U8();
      break;
    case Op::SetTarget:
    case Op::GotoLabel:
      d.text = p.String();
      break;
    case Op::GetUrl2:
      a.flags = p.U8();
      break;
    case Op::GotoFrame2:
      a.flags = p.U8();
      if (a.flags & 0x02) a.frame = p.U16();
      break;
    case Op::Push:
      ReadPushValues(p, d.values);
      break;
    case Op::Jump:
    case Op::If: {
      a.branch = static_cast<int16_t>(p.U16());
      // A branch before the block's start leaves the block: the bytes there
      // are not this block's code, so nothing of them runs.
      const int64_t to = static_cast<int64_t>(a.next) + a.branch;
      a.targetOutside = to < 0 || to > static_cast<int64_t>(blockSize);
      a.target = to < 0 ? static_cast<uint32_t>(blockSize) : static_cast<uint32_t>(to);
      break;
    }
    case Op::With:
      a.size = p.U16();
      a.targetOutside = a.next + std::size_t{a.size} > blockSize;
      a.target = static_cast<uint32_t>(std::min(a.next + std::size_t{a.size}, blockSize));
      break;
    case Op::DefineFunction:
    case Op::DefineFunction2:
      ReadFunction(p, a.op == Op::DefineFunction2, a, d);
      a.targetOutside = a.next + std::size_t{a.size} > blockSize;
      a.target = static_cast<uint32_t>(std::min(a.next + std::size_t{a.size}, blockSize));
      break;
    case Op::Try:
      ReadTry(p, blockSize, a, d);
      break;
    case Op::Unknown:  // kept as it is, for the disassembler and the encoder
      d.text.assign(p.data.begin(), p.data.end());
      break;
    default:
      break;
  }
  a.shortPayload = p.failed;
  a.data = std::move(data);
}

}  // namespace

const char* OpName(Op op) {
  if (op == Op::Unknown) return "Unknown";
  if (op == Op::Truncated) return "Truncated";
  const auto code = static_cast<uint16_t>(op);
  return code < kNames.size() && kNames[code] ? kNames[code] : "Unknown";
}

bool IsKnownCode(uint8_t code) { return kNames[code] != nullptr; }

Action DecodeAction(std::span<const uint8_t> code, std::size_t offset) {
  Action a;
  a.offset = static_cast<uint32_t>(offset);
  a.code = code[offset];
  std::size_t next = offset + 1;
  Payload p;
  if (a.code >= 0x80) {
    if (next + 2 > code.size()) {
      a.op = Op::Truncated;
      a.next = static_cast<uint32_t>(code.size());
      return a;
    }
    a.length = static_cast<uint16_t>(code[next] | code[next + 1] << 8);
    next += 2;
    if (next + a.length > code.size()) {
      a.op = Op::Truncated;
      a.next = static_cast<uint32_t>(code.size());
      return a;
    }
    p.data = code.subspan(next, a.length);
    next += a.length;
  }
  a.next = static_cast<uint32_t>(next);
  a.op = IsKnownCode(a.code) ? static_cast<Op>(a.code) : Op::Unknown;
  ReadPayload(p, code.size(), a);
  return a;
}

bool ActionReader::Next(Action& out) {
  if (done_ || pos_ >= code_.size()) return false;
  out = DecodeAction(code_, pos_);
  pos_ = out.next;
  if (out.op == Op::Unknown) ++unknown_;
  if (out.op == Op::End || out.op == Op::Truncated) done_ = true;
  return true;
}

BlockSummary Summarize(std::span<const uint8_t> code) {
  BlockSummary s;
  ActionReader reader(code);
  Action a;
  while (reader.Next(a)) {
    ++s.actions;
    if (a.op == Op::Truncated) s.truncated = true;
  }
  s.unknown = reader.Unknown();
  return s;
}

}  // namespace orrivel::swf::avm1
