// Math: functions of numbers; random draws from the machine's repeatable generator.
#include <cmath>
#include <numbers>

#include "swf/avm1/vm.h"
#include "swf/avm1/host_class.h"
#include "swf/avm1/registry.h"

namespace orrivel::swf::avm1 {

namespace {

double N(Vm& vm, Args args, std::size_t i) { return i < args.size() ? vm.ToNumber(args[i]) : NAN; }

// Every Math function converts its first two arguments to numbers, used or
// not (their valueOf runs), and no more.
void ConvertSecond(Vm& vm, Args args) {
  if (args.size() > 1) vm.ToNumber(args[1]);
}

#define ORRIVEL_MATH1(name, expr)                          \
  Completion name(Vm& vm, const CallContext&, Args args) { \
    const double x = N(vm, args, 0);                       \
    ConvertSecond(vm, args);                               \
    return Value::Num(expr);                               \
  }
ORRIVEL_MATH1(Abs, std::fabs(x))
ORRIVEL_MATH1(Acos, std::acos(x))
// The player's arc sine is the arc tangent of x over sqrt(1 - x*x), whose
// last digit can differ from a correctly rounded one.
ORRIVEL_MATH1(Asin, std::fabs(x) > 1 ? NAN : std::atan2(x, std::sqrt(1 - x * x)))
ORRIVEL_MATH1(Atan, std::atan(x))
ORRIVEL_MATH1(Ceil, std::ceil(x))
ORRIVEL_MATH1(Cos, std::cos(x))
ORRIVEL_MATH1(Exp, std::exp(x))
ORRIVEL_MATH1(Floor, std::floor(x))
ORRIVEL_MATH1(Log, std::log(x))
ORRIVEL_MATH1(Round, std::floor(x + 0.5))
ORRIVEL_MATH1(Sin, std::sin(x))
ORRIVEL_MATH1(Sqrt, std::sqrt(x))
ORRIVEL_MATH1(Tan, std::tan(x))
#undef ORRIVEL_MATH1

Completion Atan2(Vm& vm, const CallContext&, Args args) {
  const double y = N(vm, args, 0), x = N(vm, args, 1);
  return Value::Num(std::atan2(y, x));
}
// x to a fractional power the way the player's floating-point unit does it:
// 2^(y*log2 x), the fraction's power rounded to a double before the 1 is
// added back, which can land one unit below the correctly rounded result.
double FractionalPow(double x, double y) {
  const double t = y * std::log2(x);
  if (!std::isfinite(t) || std::fabs(t) > 2000) return std::pow(x, y);
  const double whole = std::nearbyint(t);
  const double frac = std::expm1((t - whole) * std::numbers::ln2);
  return std::ldexp(1.0 + frac, static_cast<int>(whole));
}

Completion Pow(Vm& vm, const CallContext&, Args args) {
  const double x = N(vm, args, 0), y = N(vm, args, 1);
  // A NaN operand gives NaN, even for 1 to the power of NaN. (Newer players
  // give 1 there; the older answer is kept.)
  if (std::isnan(x) || std::isnan(y)) return Value::Num(NAN);
  if (x > 0 && std::isfinite(x) && std::isfinite(y) && y != std::trunc(y))
    return Value::Num(FractionalPow(x, y));
  return Value::Num(std::pow(x, y));
}

Completion Max(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return Value::Num(-INFINITY);
  const double a = N(vm, args, 0), b = args.size() > 1 ? N(vm, args, 1) : NAN;
  if (std::isnan(a) || std::isnan(b)) return Value::Num(NAN);
  return Value::Num(a > b ? a : b);
}

Completion Min(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return Value::Num(INFINITY);
  const double a = N(vm, args, 0), b = args.size() > 1 ? N(vm, args, 1) : NAN;
  if (std::isnan(a) || std::isnan(b)) return Value::Num(NAN);
  return Value::Num(a < b ? a : b);
}

Completion Random(Vm& vm, const CallContext&, Args args) {
  N(vm, args, 0);
  ConvertSecond(vm, args);
  return Value::Num(vm.Random());
}

// Read-only through and through; in the order the player defines them (it
// lists them newest first).
constexpr Member kMath[] = {
    ConstNumber("SQRT2", std::numbers::sqrt2, kConstant),
    ConstNumber("SQRT1_2", std::numbers::sqrt2 / 2, kConstant),  // halving is exact
    ConstNumber("PI", std::numbers::pi, kConstant),
    ConstNumber("LOG2E", std::numbers::log2e, kConstant),
    ConstNumber("LOG10E", std::numbers::log10e, kConstant),
    ConstNumber("LN2", std::numbers::ln2, kConstant),
    ConstNumber("LN10", std::numbers::ln10, kConstant),
    ConstNumber("E", std::numbers::e, kConstant),
    Native(200, 0, Method("abs", Abs, kConstant)),
    Native(200, 1, Method("min", Min, kConstant)),
    Native(200, 2, Method("max", Max, kConstant)),
    Native(200, 3, Method("sin", Sin, kConstant)),
    Native(200, 4, Method("cos", Cos, kConstant)),
    Native(200, 5, Method("atan2", Atan2, kConstant)),
    Native(200, 6, Method("tan", Tan, kConstant)),
    Native(200, 7, Method("exp", Exp, kConstant)),
    Native(200, 8, Method("log", Log, kConstant)),
    Native(200, 9, Method("sqrt", Sqrt, kConstant)),
    Native(200, 10, Method("round", Round, kConstant)),
    Native(200, 11, Method("random", Random, kConstant)),
    Native(200, 12, Method("floor", Floor, kConstant)),
    Native(200, 13, Method("ceil", Ceil, kConstant)),
    Native(200, 14, Method("atan", Atan, kConstant)),
    Native(200, 15, Method("asin", Asin, kConstant)),
    Native(200, 16, Method("acos", Acos, kConstant)),
    Native(200, 17, Method("pow", Pow, kConstant)),
};

}  // namespace

extern const ClassDecl kMathObject{"Math", nullptr, {}, kMath};

}  // namespace orrivel::swf::avm1
