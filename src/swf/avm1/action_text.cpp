// The disassembler's text and the encoder of decoded actions.
#include <bit>
#include <cstdio>
#include <string>
#include <vector>

#include "swf/avm1/action_reader.h"

namespace orrivel::swf::avm1 {

namespace {

std::string Hex(uint32_t v, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", digits, v);
  return buf;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += "\\x" + Hex(u, 2).substr(2);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Number(double n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", n);
  return buf;
}

std::string DescribeValue(const PushValue& v) {
  using Kind = PushValue::Kind;
  switch (v.kind) {
    case Kind::String:
      return Quote(v.string);
    case Kind::Float:
      return Number(v.number) + "f";
    case Kind::Null:
      return "null";
    case Kind::Undefined:
      return "undefined";
    case Kind::Register:
      return "r" + std::to_string(v.index);
    case Kind::Boolean:
      return v.number != 0 ? "true" : "false";
    case Kind::Double:
      return Number(v.number);
    case Kind::Integer:
      return Number(v.number) + "i";
    case Kind::Constant8:
    case Kind::Constant16:
      return "c" + std::to_string(v.index);
  }
  return "?";
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : ", ") + p;
  return out;
}

std::string DescribeFunction(const Action& a) {
  const FunctionHeader& f = a.data->function;
  std::vector<std::string> params;
  for (std::size_t i = 0; i < f.params.size(); ++i) {
    const uint8_t r = f.paramRegisters[i];
    params.push_back(r ? "r" + std::to_string(r) + ":" + f.params[i] : f.params[i]);
  }
  std::string s = " " + Quote(f.name) + " (" + Join(params) + ")";
  if (f.v2) s += " registers " + std::to_string(f.registerCount) + " flags " + Hex(f.flags, 4);
  return s + " size " + std::to_string(a.size);
}

std::string DescribeTry(const TryHeader& t) {
  std::string s = " try " + std::to_string(t.trySize);
  if (t.flags & kTryHasCatch) {
    s += " catch " + std::to_string(t.catchSize) + " into " +
         (t.flags & kTryCatchInRegister ? "r" + std::to_string(t.catchRegister)
                                        : Quote(t.catchName));
  }
  if (t.flags & kTryHasFinally) s += " finally " + std::to_string(t.finallySize);
  return s;
}

std::string Operands(const Action& a) {
  static const ActionData kNone;
  const ActionData& d = a.data ? *a.data : kNone;
  switch (a.op) {
    case Op::GotoFrame:
      return " " + std::to_string(a.frame);
    case Op::GetUrl:
      return " " + Quote(d.text) + ", " + Quote(d.text2);
    case Op::StoreRegister:
      return " r" + std::to_string(a.reg);
    case Op::ConstantPool: {
      std::vector<std::string> names;
      for (std::size_t i = 0; d.pool && i < d.pool->size(); ++i)
        names.push_back("c" + std::to_string(i) + "=" + Quote((*d.pool)[i]));
      return " " + Join(names);
    }
    case Op::WaitForFrame:
      return " " + std::to_string(a.frame) + " skip " + std::to_string(a.skip);
    case Op::WaitForFrame2:
      return " skip " + std::to_string(a.skip);
    case Op::SetTarget:
    case Op::GotoLabel:
      return " " + Quote(d.text);
    case Op::GetUrl2:
    case Op::GotoFrame2: {
      std::string s = " flags " + Hex(a.flags, 2);
      if (a.op == Op::GotoFrame2 && (a.flags & 0x02)) s += " bias " + std::to_string(a.frame);
      return s;
    }
    case Op::Push: {
      std::vector<std::string> values;
      for (const PushValue& v : d.values) values.push_back(DescribeValue(v));
      return " " + Join(values);
    }
    case Op::Jump:
    case Op::If:
      return " " + Hex(a.target, 4) + (a.targetOutside ? " (outside the block)" : "");
    case Op::With:
      return " size " + std::to_string(a.size) + (a.targetOutside ? " (past the block)" : "");
    case Op::DefineFunction:
    case Op::DefineFunction2:
      return DescribeFunction(a) + (a.targetOutside ? " (past the block)" : "");
    case Op::Try:
      return DescribeTry(d.tryBlock) + (a.targetOutside ? " (past the block)" : "");
    case Op::Unknown:
      return " code " + Hex(a.code, 2) + " length " + std::to_string(a.length);
    case Op::Truncated:
      return " code " + Hex(a.code, 2) + ": runs past the block";
    default:
      return "";
  }
}

void Put8(std::vector<uint8_t>& out, uint32_t v) { out.push_back(static_cast<uint8_t>(v)); }
void Put16(std::vector<uint8_t>& out, uint32_t v) {
  Put8(out, v);
  Put8(out, v >> 8);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}
void PutString(std::vector<uint8_t>& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

void EncodeValue(std::vector<uint8_t>& out, const PushValue& v) {
  using Kind = PushValue::Kind;
  Put8(out, static_cast<uint8_t>(v.kind));
  switch (v.kind) {
    case Kind::String:
      PutString(out, v.string);
      break;
    case Kind::Float:
      Put32(out, std::bit_cast<uint32_t>(static_cast<float>(v.number)));
      break;
    case Kind::Register:
    case Kind::Constant8:
      Put8(out, v.index);
      break;
    case Kind::Boolean:
      Put8(out, v.number != 0 ? 1 : 0);
      break;
    case Kind::Double: {
      const auto bits = std::bit_cast<uint64_t>(v.number);
      Put32(out, static_cast<uint32_t>(bits >> 32));
      Put32(out, static_cast<uint32_t>(bits));
      break;
    }
    case Kind::Integer:
      Put32(out, static_cast<uint32_t>(static_cast<int32_t>(v.number)));
      break;
    case Kind::Constant16:
      Put16(out, v.index);
      break;
    default:
      break;
  }
}

void EncodePayload(std::vector<uint8_t>& p, const Action& a) {
  static const ActionData kNone;
  const ActionData& d = a.data ? *a.data : kNone;
  switch (a.op) {
    case Op::GotoFrame:
      Put16(p, a.frame);
      break;
    case Op::GetUrl:
      PutString(p, d.text);
      PutString(p, d.text2);
      break;
    case Op::StoreRegister:
      Put8(p, a.reg);
      break;
    case Op::ConstantPool:
      Put16(p, d.pool ? static_cast<uint32_t>(d.pool->size()) : 0);
      if (d.pool)
        for (const std::string& s : *d.pool) PutString(p, s);
      break;
    case Op::WaitForFrame:
      Put16(p, a.frame);
      Put8(p, a.skip);
      break;
    case Op::WaitForFrame2:
      Put8(p, a.skip);
      break;
    case Op::SetTarget:
    case Op::GotoLabel:
      PutString(p, d.text);
      break;
    case Op::GetUrl2:
      Put8(p, a.flags);
      break;
    case Op::GotoFrame2:
      Put8(p, a.flags);
      if (a.flags & 0x02) Put16(p, a.frame);
      break;
    case Op::Push:
      for (const PushValue& v : d.values) EncodeValue(p, v);
      break;
    case Op::Jump:
    case Op::If:
      Put16(p, static_cast<uint16_t>(a.branch));
      break;
    case Op::With:
      Put16(p, a.size);
      break;
    case Op::DefineFunction:
    case Op::DefineFunction2: {
      const FunctionHeader& f = d.function;
      PutString(p, f.name);
      Put16(p, static_cast<uint32_t>(f.params.size()));
      if (f.v2) {
        Put8(p, f.registerCount);
        Put16(p, f.flags);
      }
      for (std::size_t i = 0; i < f.params.size(); ++i) {
        if (f.v2) Put8(p, i < f.paramRegisters.size() ? f.paramRegisters[i] : 0);
        PutString(p, f.params[i]);
      }
      Put16(p, a.size);
      break;
    }
    case Op::Try: {
      const TryHeader& t = d.tryBlock;
      Put8(p, t.flags);
      Put16(p, t.trySize);
      Put16(p, t.catchSize);
      Put16(p, t.finallySize);
      if (t.flags & kTryCatchInRegister) {
        Put8(p, t.catchRegister);
      } else {
        PutString(p, t.catchName);
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

std::string DescribeAction(const Action& a) { return OpName(a.op) + Operands(a); }

std::string Disassemble(std::span<const uint8_t> code) {
  std::string out;
  std::vector<uint32_t> ends;  // of the bodies the next action is inside
  ActionReader reader(code);
  Action a;
  std::size_t end = 0;
  while (reader.Next(a)) {
    while (!ends.empty() && a.offset >= ends.back()) ends.pop_back();
    out += Hex(a.offset, 4) + "  " + std::string(2 * ends.size(), ' ') + DescribeAction(a) + "\n";
    if (a.op == Op::With || a.op == Op::DefineFunction || a.op == Op::DefineFunction2) {
      if (a.target > a.next) ends.push_back(a.target);
    } else if (a.op == Op::Try && a.data->tryBlock.finallyEnd > a.next) {
      ends.push_back(a.data->tryBlock.finallyEnd);
    }
    end = a.next;
  }
  if (end < code.size()) out += "; " + std::to_string(code.size() - end) + " bytes after the end\n";
  if (reader.Unknown() > 0) out += "; " + std::to_string(reader.Unknown()) + " unknown actions\n";
  return out;
}

std::vector<uint8_t> EncodeAction(const Action& a) {
  std::vector<uint8_t> out;
  const uint8_t code = a.op == Op::Unknown || a.op == Op::Truncated
                           ? a.code
                           : static_cast<uint8_t>(static_cast<uint16_t>(a.op));
  Put8(out, code);
  if (code < 0x80) return out;
  std::vector<uint8_t> payload;
  EncodePayload(payload, a);
  if (a.op == Op::Unknown && a.data) payload.assign(a.data->text.begin(), a.data->text.end());
  Put16(out, static_cast<uint32_t>(payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

}  // namespace orrivel::swf::avm1
