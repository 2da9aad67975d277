// A script value: undefined, null, boolean, number, string or object.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace orrivel::swf::avm1 {

class Object;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

struct Value {
  Type type = Type::Undefined;
  bool boolean = false;
  double number = 0;
  std::string string;
  Object* object = nullptr;

  static Value Null() {
    Value v;
    v.type = Type::Null;
    return v;
  }
  static Value Bool(bool b) {
    Value v;
    v.type = Type::Boolean;
    v.boolean = b;
    return v;
  }
  // A number made anew. Every NaN made is one of its own (as the player
  // keeps each number it computes apart): copies of it compare equal to it
  // and to nothing else, which its payload bits record.
  static Value Num(double n) {
    Value v;
    v.type = Type::Number;
    v.number = n != n ? FreshNaN() : n;
    return v;
  }
  static double FreshNaN();
  // Whether two numbers are the same NaN made once.
  static bool SameNaN(double a, double b);
  static Value Str(std::string s) {
    Value v;
    v.type = Type::String;
    v.string = std::move(s);
    return v;
  }
  static Value Obj(Object* o) {
    Value v;
    if (o) {
      v.type = Type::Object;
      v.object = o;
    }
    return v;
  }

  bool IsUndefined() const { return type == Type::Undefined; }
  bool IsNullish() const { return type == Type::Undefined || type == Type::Null; }
  bool IsObject() const { return type == Type::Object; }
};

// Numbers as the player prints them: 15 significant digits, "NaN",
// "Infinity", exponent forms such as 1e+21 and 1.5e-7.
std::string NumberToString(double n);
// Digits in another radix (2 to 36), as Number.toString(radix) gives them.
std::string NumberToRadix(double n, int radix);
// A string read as a number the way scripts do: decimal, hex (0x...),
// surrounding blanks; NaN when it does not parse.
double StringToNumber(const std::string& s, int version);
// ToInt32 of the language: wraps modulo 2^32.
int32_t ToInt32(double n);
// An index or depth from a number: truncated, NaN as 0, within +-1e9.
int ClampToInt(double n);

}  // namespace orrivel::swf::avm1
