// Stack, arithmetic, comparison, text and conversion actions.
#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "base/utf8.h"
#include "swf/avm1/interpreter_internal.h"
#include "swf/avm1/text_units.h"

namespace orrivel::swf::avm1 {

namespace {

// Pops the operands of a binary operator and converts them left first, so
// that valueOf calls happen in source order.
struct Operands {
  double x, y;
};
Operands PopNumbers(Activation& a) {
  const Value rhs = a.Pop();
  const Value lhs = a.Pop();
  const double x = Num(a, lhs);
  return {x, Num(a, rhs)};
}
// Subtract, Divide and Equals convert the right side first.
Operands PopNumbersRightFirst(Activation& a) {
  const double y = Num(a, a.Pop());
  return {Num(a, a.Pop()), y};
}

Flow Add(Activation& a, const Action&) {
  const auto [x, y] = PopNumbers(a);
  a.Push(Value::Num(x + y));
  return Flow::Normal;
}

Flow Subtract(Activation& a, const Action&) {
  const auto [x, y] = PopNumbersRightFirst(a);
  a.Push(Value::Num(x - y));
  return Flow::Normal;
}

Flow Multiply(Activation& a, const Action&) {
  const auto [x, y] = PopNumbers(a);
  a.Push(Value::Num(x * y));
  return Flow::Normal;
}

Flow Divide(Activation& a, const Action&) {
  const auto [x, y] = PopNumbersRightFirst(a);
  if (y == 0 && a.version < 5) {
    a.Push(Value::Str("#ERROR#"));
  } else {
    a.Push(Value::Num(x / y));
  }
  return Flow::Normal;
}

Flow Modulo(Activation& a, const Action&) {
  const auto [x, y] = PopNumbers(a);
  a.Push(Value::Num(std::fmod(x, y)));
  return Flow::Normal;
}

Flow Equals(Activation& a, const Action&) {
  const auto [x, y] = PopNumbersRightFirst(a);
  a.Push(Value::Bool(x == y));
  return Flow::Normal;
}

Flow Less(Activation& a, const Action&) {
  const auto [x, y] = PopNumbers(a);
  a.Push(Value::Bool(x < y));
  return Flow::Normal;
}

Flow And(Activation& a, const Action&) {
  const bool y = a.vm.ToBoolean(a.Pop());
  const bool x = a.vm.ToBoolean(a.Pop());
  a.Push(Value::Bool(x && y));
  return Flow::Normal;
}

Flow Or(Activation& a, const Action&) {
  const bool y = a.vm.ToBoolean(a.Pop());
  const bool x = a.vm.ToBoolean(a.Pop());
  a.Push(Value::Bool(x || y));
  return Flow::Normal;
}

Flow Not(Activation& a, const Action&) {
  // SWF 4 code tests the number: an object (a clip) gives NaN, so false.
  const Value v = a.Pop();
  a.Push(Value::Bool(a.version < 5 && v.IsObject() ? true : !a.vm.ToBoolean(v)));
  return Flow::Normal;
}

Flow Increment(Activation& a, const Action&) {
  a.Push(Value::Num(Num(a, a.Pop()) + 1));
  return Flow::Normal;
}

Flow Decrement(Activation& a, const Action&) {
  a.Push(Value::Num(Num(a, a.Pop()) - 1));
  return Flow::Normal;
}

Flow Bitwise(Activation& a, const Action& act) {
  const auto [xn, yn] = PopNumbers(a);
  const int32_t x = ToInt32(xn), y = ToInt32(yn);
  double r = 0;
  switch (act.op) {
    case Op::BitAnd:
      r = x & y;
      break;
    case Op::BitOr:
      r = x | y;
      break;
    case Op::BitXor:
      r = x ^ y;
      break;
    case Op::BitLShift:
      r = static_cast<int32_t>(static_cast<uint32_t>(x) << (y & 31));
      break;
    case Op::BitRShift:
      r = x >> (y & 31);
      break;
    default:
      r = static_cast<int32_t>(static_cast<uint32_t>(x) >> (y & 31));
      break;
  }
  a.Push(Value::Num(r));
  return Flow::Normal;
}

// What Add2 adds for a value: a clip stays itself (its valueOf is not
// asked); from version 6 a Date gives what its toString returns (an object
// back means the Date itself); anything else gives its valueOf.
Value AddOperand(Activation& a, const Value& v) {
  Vm& vm = a.vm;
  if (!v.IsObject()) return v;
  if (v.object->IsClip()) return v;
  if (auto* box = dynamic_cast<BoxObject*>(v.object); box && box->isDate && a.version >= 6) {
    const Value fn = vm.Get(v.object, "toString");
    if (!fn.IsObject() || !fn.object->IsFunction()) return {};
    const Value r = vm.Call(fn, v, {});
    return r.IsObject() ? v : r;
  }
  return vm.ToPrimitive(v);
}

// Joins text within the element cap; false when the frame's budget is spent.
bool PushJoined(Activation& a, std::string s) {
  if (s.size() > a.vm.limits.maxElements) s.resize(a.vm.limits.maxElements);
  if (!a.vm.Charge(s.size())) return false;
  a.Push(Value::Str(std::move(s)));
  return true;
}

// What an operand of Add2 stands for once valueOf has run: a clip counts as
// a primitive (its path as text, NaN as a number); any other object given
// back leaves the operand itself to convert.
const Value& Settled(const Value& given, const Value& operand) {
  return given.IsObject() && !given.object->IsClip() ? operand : given;
}

Flow Add2(Activation& a, const Action&) {
  // valueOf runs on the right side first.
  Vm& vm = a.vm;
  const Value rhs = a.Pop();
  const Value lhs = a.Pop();
  const Value pb = AddOperand(a, rhs);
  const Value pa = AddOperand(a, lhs);
  if (pa.type == Type::String || pb.type == Type::String) {
    std::string s = TextOf(a, Settled(pa, lhs));
    s += TextOf(a, Settled(pb, rhs));
    return PushJoined(a, std::move(s)) ? Flow::Normal : Flow::Abort;
  }
  const double x = vm.ToNumber(Settled(pa, lhs));
  a.Push(Value::Num(x + vm.ToNumber(Settled(pb, rhs))));
  return Flow::Normal;
}

Flow Less2(Activation& a, const Action&) {
  const Value y = a.Pop();
  a.Push(a.vm.Less(a.Pop(), y));
  return Flow::Normal;
}

Flow Greater(Activation& a, const Action&) {
  const Value y = a.Pop();
  a.Push(a.vm.Less(y, a.Pop()));
  return Flow::Normal;
}

Flow Equals2(Activation& a, const Action&) {
  const Value y = a.Pop();
  a.Push(Value::Bool(a.vm.LooseEquals(a.Pop(), y)));
  return Flow::Normal;
}

Flow StrictEquals(Activation& a, const Action&) {
  const Value y = a.Pop();
  a.Push(Value::Bool(a.vm.StrictEquals(a.Pop(), y)));
  return Flow::Normal;
}

Flow StringCompare(Activation& a, const Action& act) {
  const std::string y = a.vm.ToString(a.Pop());
  const std::string x = a.vm.ToString(a.Pop());
  const bool r = act.op == Op::StringEquals ? x == y : act.op == Op::StringLess ? x < y : x > y;
  a.Push(Value::Bool(r));
  return Flow::Normal;
}

Flow StringAdd(Activation& a, const Action&) {
  const std::string y = TextOf(a, a.Pop());
  return PushJoined(a, TextOf(a, a.Pop()) + y) ? Flow::Normal : Flow::Abort;
}

Flow StringLength(Activation& a, const Action&) {
  const std::string s = a.vm.ToString(a.Pop());
  const bool units = a.version >= 6;
  a.Push(Value::Num(static_cast<double>(units ? UnitCount(s) : s.size())));
  return Flow::Normal;
}

Flow StringExtract(Activation& a, const Action&) {
  // Both operands wrap as 32-bit integers (NaN is 0).
  const double count = ToInt32(Num(a, a.Pop()));
  const double index = ToInt32(Num(a, a.Pop()));
  const std::string text = a.vm.ToString(a.Pop());
  // From version 6 positions count characters.
  const bool units = a.version >= 6;
  std::u16string s;
  if (units) {
    s = ToUnits(text);
  } else {
    s.assign(text.begin(), text.end());
  }
  const double from = std::max(index - 1, 0.0);
  if (from >= static_cast<double>(s.size()) || count == 0) {
    a.Push(Value::Str(""));
    return Flow::Normal;
  }
  const std::size_t f = static_cast<std::size_t>(from);
  const std::size_t n = count < 0 ? std::u16string::npos : static_cast<std::size_t>(count);
  a.Push(Value::Str(units ? FromUnits(std::u16string_view(s).substr(f, n)) : text.substr(f, n)));
  return Flow::Normal;
}

Flow CharToAscii(Activation& a, const Action&) {
  const std::string s = a.vm.ToString(a.Pop());
  if (a.version >= 6) {
    // A character beyond the 16-bit range (a surrogate pair) reads as U+FFFD.
    const std::u16string u = ToUnits(s);
    a.Push(Value::Num(u.empty() ? 0 : u[0] >= 0xD800 && u[0] < 0xE000 ? 0xFFFD : u[0]));
  } else {
    a.Push(s.empty() ? Value::Num(0) : Value::Num(static_cast<uint8_t>(s[0])));
  }
  return Flow::Normal;
}

Flow AsciiToChar(Activation& a, const Action&) {
  // From version 6 the code is a character.
  const bool units = a.version >= 6;
  const int c = ToInt32(Num(a, a.Pop())) & (units ? 0xFFFF : 0xFF);
  std::string out;
  if (c != 0 && units) out = FromUnits(std::u16string(1, static_cast<char16_t>(c)));
  if (c != 0 && !units) out = std::string(1, static_cast<char>(c));
  a.Push(Value::Str(std::move(out)));
  return Flow::Normal;
}

Flow ToInteger(Activation& a, const Action&) {
  a.Push(Value::Num(ToInt32(Num(a, a.Pop()))));  // wraps like a 32-bit integer
  return Flow::Normal;
}

Flow ToNumber(Activation& a, const Action&) {
  a.Push(Value::Num(Num(a, a.Pop())));
  return Flow::Normal;
}

Flow ToString(Activation& a, const Action&) {
  a.Push(Value::Str(a.vm.ToString(a.Pop())));
  return Flow::Normal;
}

Flow TypeOf(Activation& a, const Action&) {
  a.Push(Value::Str(a.vm.TypeOf(a.Pop())));
  return Flow::Normal;
}

Flow RandomNumber(Activation& a, const Action&) {
  const double max = Num(a, a.Pop());
  a.Push(Value::Num(max > 0 ? std::floor(a.vm.Random() * std::floor(max)) : 0));
  return Flow::Normal;
}

Flow GetTime(Activation& a, const Action&) {
  a.Push(Value::Num(std::floor(a.vm.timeMs)));
  return Flow::Normal;
}

Flow Push(Activation& a, const Action& act) {
  using Kind = PushValue::Kind;
  for (const PushValue& v : act.data->values) {
    switch (v.kind) {
      case Kind::String:
        a.Push(Value::Str(v.string));
        break;
      case Kind::Float:
      case Kind::Double:
      case Kind::Integer:
        a.Push(Value::Num(v.number));
        break;
      case Kind::Null:
        a.Push(Value::Null());
        break;
      case Kind::Undefined:
        a.Push({});
        break;
      case Kind::Register:
        a.Push(a.Register(v.index) ? *a.Register(v.index) : Value{});
        break;
      case Kind::Boolean:
        a.Push(Value::Bool(v.number != 0));
        break;
      case Kind::Constant8:
      case Kind::Constant16:
        a.Push(a.constants && v.index < a.constants->size() ? Value::Str((*a.constants)[v.index])
                                                            : Value{});
        break;
    }
  }
  return Flow::Normal;
}

Flow Pop(Activation& a, const Action&) {
  a.Pop();
  return Flow::Normal;
}

Flow PushDuplicate(Activation& a, const Action&) {
  a.Push(a.stack.empty() ? Value{} : a.stack.back());
  return Flow::Normal;
}

Flow StackSwap(Activation& a, const Action&) {
  // With one value, the missing one below is undefined and comes up.
  Value top = a.Pop();
  Value below = a.Pop();
  a.Push(std::move(top));
  a.Push(std::move(below));
  return Flow::Normal;
}

Flow StoreRegister(Activation& a, const Action& act) {
  if (Value* r = a.Register(act.reg)) *r = a.stack.empty() ? Value{} : a.stack.back();
  return Flow::Normal;
}

Flow ConstantPool(Activation& a, const Action& act) {
  a.constants = act.data->pool;
  return Flow::Normal;
}

}  // namespace

std::string TextOf(Activation& a, const Value& v) {
  if (a.version < 5 && v.type == Type::Boolean) return v.boolean ? "1" : "0";
  return a.vm.ToString(v);
}

void AddArithmeticOps(OpTable& t) {
  t.Set(Op::Add, Add);
  t.Set(Op::Subtract, Subtract);
  t.Set(Op::Multiply, Multiply);
  t.Set(Op::Divide, Divide);
  t.Set(Op::Modulo, Modulo);
  t.Set(Op::Equals, Equals);
  t.Set(Op::Less, Less);
  t.Set(Op::And, And);
  t.Set(Op::Or, Or);
  t.Set(Op::Not, Not);
  t.Set(Op::Increment, Increment);
  t.Set(Op::Decrement, Decrement);
  for (Op op : {Op::BitAnd, Op::BitOr, Op::BitXor, Op::BitLShift, Op::BitRShift, Op::BitURShift})
    t.Set(op, Bitwise);
  t.Set(Op::Add2, Add2);
  t.Set(Op::Less2, Less2);
  t.Set(Op::Greater, Greater);
  t.Set(Op::Equals2, Equals2);
  t.Set(Op::StrictEquals, StrictEquals);
  for (Op op : {Op::StringEquals, Op::StringLess, Op::StringGreater}) t.Set(op, StringCompare);
  t.Set(Op::StringAdd, StringAdd);
  t.Set(Op::StringLength, StringLength);
  t.Set(Op::MBStringLength, StringLength);
  t.Set(Op::StringExtract, StringExtract);
  t.Set(Op::MBStringExtract, StringExtract);
  t.Set(Op::CharToAscii, CharToAscii);
  t.Set(Op::MBCharToAscii, CharToAscii);
  t.Set(Op::AsciiToChar, AsciiToChar);
  t.Set(Op::MBAsciiToChar, AsciiToChar);
  t.Set(Op::ToInteger, ToInteger);
  t.Set(Op::ToNumber, ToNumber);
  t.Set(Op::ToString, ToString);
  t.Set(Op::TypeOf, TypeOf);
  t.Set(Op::RandomNumber, RandomNumber);
  t.Set(Op::GetTime, GetTime);
  t.Set(Op::Push, Push);
  t.Set(Op::Pop, Pop);
  t.Set(Op::PushDuplicate, PushDuplicate);
  t.Set(Op::StackSwap, StackSwap);
  t.Set(Op::StoreRegister, StoreRegister);
  t.Set(Op::ConstantPool, ConstantPool);
}

}  // namespace orrivel::swf::avm1
