// Builds action blocks for tests from typed actions:
//
//   Asm().Push({"x", 1}).Do(Op::SetVariable).Label("top").Jump("top").Bytes()
//
// Branches name labels; function, With and Try bodies are blocks of their
// own. Hostile cases that need bytes no typed action makes use Raw().
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "swf/avm1/action_reader.h"

namespace orrivel::swf::avm1::test {

// One value of a Push: text, a number (an int is written as an integer, a
// double as a double), a boolean, or one of the named kinds below.
struct PushArg {
  PushValue v;
  PushArg(const char* s) { v.kind = PushValue::Kind::String, v.string = s; }
  PushArg(std::string s) { v.kind = PushValue::Kind::String, v.string = std::move(s); }
  PushArg(int n) { v.kind = PushValue::Kind::Integer, v.number = n; }
  PushArg(double n) { v.kind = PushValue::Kind::Double, v.number = n; }
  PushArg(bool b) { v.kind = PushValue::Kind::Boolean, v.number = b ? 1 : 0; }
  explicit PushArg(PushValue value) : v(std::move(value)) {}
};
inline PushArg Reg(uint8_t r) {
  PushValue v;
  v.kind = PushValue::Kind::Register;
  v.index = r;
  return PushArg(v);
}
// A constant pool entry, written with a 16-bit index when wide or past 255.
inline PushArg Constant(uint16_t i, bool wide = false) {
  PushValue v;
  v.kind = i < 256 && !wide ? PushValue::Kind::Constant8 : PushValue::Kind::Constant16;
  v.index = i;
  return PushArg(v);
}
inline PushArg Null() {
  PushValue v;
  v.kind = PushValue::Kind::Null;
  return PushArg(v);
}
inline PushArg Undefined() { return PushArg(PushValue{}); }
inline PushArg Float(float f) {
  PushValue v;
  v.kind = PushValue::Kind::Float;
  v.number = f;
  return PushArg(v);
}

class Asm {
 public:
  // An action without operands.
  Asm& Do(Op op) { return Put(Plain(op)); }
  Asm& Push(std::initializer_list<PushArg> values) {
    Action a = Plain(Op::Push);
    auto d = std::make_shared<ActionData>();
    for (const PushArg& p : values) d->values.push_back(p.v);
    a.data = std::move(d);
    return Put(a);
  }
  Asm& PushAll(const std::vector<PushArg>& values) {
    Action a = Plain(Op::Push);
    auto d = std::make_shared<ActionData>();
    for (const PushArg& p : values) d->values.push_back(p.v);
    a.data = std::move(d);
    return Put(a);
  }
  // push args..., count, name; CallFunction.
  Asm& CallFunction(const std::string& name, int argCount) {
    return Push({argCount, name}).Do(Op::CallFunction);
  }
  Asm& Trace(PushArg value) { return Push({std::move(value)}).Do(Op::Trace); }
  Asm& Pool(std::vector<std::string> names) {
    Action a = Plain(Op::ConstantPool);
    auto d = std::make_shared<ActionData>();
    d->pool = std::make_shared<const std::vector<std::string>>(std::move(names));
    a.data = std::move(d);
    return Put(a);
  }
  Asm& StoreRegister(uint8_t r) {
    Action a = Plain(Op::StoreRegister);
    a.reg = r;
    return Put(a);
  }
  Asm& GotoFrame(uint16_t frame0) {
    Action a = Plain(Op::GotoFrame);
    a.frame = frame0;
    return Put(a);
  }
  // GotoFrame2: play, and a scene bias when one is given.
  Asm& GotoFrame2(bool play, int bias = -1) {
    Action a = Plain(Op::GotoFrame2);
    a.flags = static_cast<uint8_t>((play ? 1 : 0) | (bias >= 0 ? 2 : 0));
    a.frame = static_cast<uint16_t>(bias >= 0 ? bias : 0);
    return Put(a);
  }
  Asm& GotoLabel(const std::string& label) { return Text(Op::GotoLabel, label); }
  Asm& SetTarget(const std::string& path) { return Text(Op::SetTarget, path); }
  Asm& GetUrl(const std::string& url, const std::string& window) {
    Action a = Plain(Op::GetUrl);
    auto d = std::make_shared<ActionData>();
    d->text = url;
    d->text2 = window;
    a.data = std::move(d);
    return Put(a);
  }
  Asm& GetUrl2(uint8_t flags) {
    Action a = Plain(Op::GetUrl2);
    a.flags = flags;
    return Put(a);
  }
  Asm& WaitForFrame(uint16_t frame0, uint8_t skip) {
    Action a = Plain(Op::WaitForFrame);
    a.frame = frame0;
    a.skip = skip;
    return Put(a);
  }
  Asm& WaitForFrame2(uint8_t skip) {
    Action a = Plain(Op::WaitForFrame2);
    a.skip = skip;
    return Put(a);
  }
  Asm& Label(const std::string& name) {
    labels_[name] = bytes_.size();
    return *this;
  }
  Asm& Jump(const std::string& label) { return Branch(Op::Jump, label); }
  Asm& If(const std::string& label) { return Branch(Op::If, label); }
  // A branch by a written offset (from the end of the branch).
  Asm& JumpBy(int16_t offset) {
    Action a = Plain(Op::Jump);
    a.branch = offset;
    return Put(a);
  }
  // DefineFunction with parameters by name.
  Asm& Function(const std::string& name, std::vector<std::string> params, const Asm& body) {
    FunctionHeader f;
    f.name = name;
    f.paramRegisters.assign(params.size(), 0);
    f.params = std::move(params);
    return Define(Op::DefineFunction, std::move(f), body);
  }
  // DefineFunction2: parameters as (register, name); register 0 keeps the name.
  Asm& Function2(const std::string& name, std::vector<std::pair<uint8_t, std::string>> params,
                 uint8_t registerCount, uint16_t flags, const Asm& body) {
    FunctionHeader f;
    f.name = name;
    f.v2 = true;
    f.registerCount = registerCount;
    f.flags = flags;
    for (auto& [r, n] : params) {
      f.paramRegisters.push_back(r);
      f.params.push_back(std::move(n));
    }
    return Define(Op::DefineFunction2, std::move(f), body);
  }
  Asm& With(const Asm& body) {
    const std::vector<uint8_t> b = body.Bytes();
    Action a = Plain(Op::With);
    a.size = static_cast<uint16_t>(b.size());
    return Put(a).Raw(b);
  }
  // try { body } catch (name) { onCatch } finally { onFinally }; an empty
  // name catches into register `reg`. Null blocks are left out.
  Asm& Try(const Asm& body, const Asm* onCatch, const std::string& name, const Asm* onFinally,
           uint8_t reg = 0) {
    const std::vector<uint8_t> t = body.Bytes();
    const std::vector<uint8_t> c = onCatch ? onCatch->Bytes() : std::vector<uint8_t>{};
    const std::vector<uint8_t> f = onFinally ? onFinally->Bytes() : std::vector<uint8_t>{};
    Action a = Plain(Op::Try);
    auto d = std::make_shared<ActionData>();
    TryHeader& h = d->tryBlock;
    h.flags = static_cast<uint8_t>((onCatch ? kTryHasCatch : 0) | (onFinally ? kTryHasFinally : 0) |
                                   (name.empty() ? kTryCatchInRegister : 0));
    h.trySize = static_cast<uint16_t>(t.size());
    h.catchSize = static_cast<uint16_t>(c.size());
    h.finallySize = static_cast<uint16_t>(f.size());
    h.catchName = name;
    h.catchRegister = reg;
    a.data = std::move(d);
    return Put(a).Raw(t).Raw(c).Raw(f);
  }
  Asm& Raw(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  Asm& Then(const Asm& more) { return Raw(more.Bytes()); }

  // The block's bytes, branches resolved (no End is added).
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out = bytes_;
    for (const auto& [at, label] : fixups_) {
      const auto it = labels_.find(label);
      const auto offset = static_cast<uint16_t>(
          it == labels_.end() ? 0 : static_cast<int>(it->second) - static_cast<int>(at + 2));
      out[at] = static_cast<uint8_t>(offset);
      out[at + 1] = static_cast<uint8_t>(offset >> 8);
    }
    return out;
  }

 private:
  static Action Plain(Op op) {
    Action a;
    a.op = op;
    return a;
  }
  Asm& Put(const Action& a) { return Raw(EncodeAction(a)); }
  Asm& Text(Op op, const std::string& text) {
    Action a = Plain(op);
    auto d = std::make_shared<ActionData>();
    d->text = text;
    a.data = std::move(d);
    return Put(a);
  }
  Asm& Branch(Op op, const std::string& label) {
    Put(Plain(op));
    fixups_.emplace_back(bytes_.size() - 2, label);
    return *this;
  }
  Asm& Define(Op op, FunctionHeader f, const Asm& body) {
    const std::vector<uint8_t> b = body.Bytes();
    Action a = Plain(op);
    auto d = std::make_shared<ActionData>();
    d->function = std::move(f);
    a.data = std::move(d);
    a.size = static_cast<uint16_t>(b.size());
    return Put(a).Raw(b);
  }
  std::vector<uint8_t> bytes_;
  std::map<std::string, std::size_t> labels_;
  std::vector<std::pair<std::size_t, std::string>> fixups_;  // where an offset goes, and its label
};

}  // namespace orrivel::swf::avm1::test
