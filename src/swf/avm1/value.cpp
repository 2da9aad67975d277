#include "swf/avm1/value.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cctype>
#include <cmath>
#include <limits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace orrivel::swf::avm1 {

double Value::FreshNaN() {
  // A quiet NaN whose payload counts up, wrapping past its 51 bits.
  // Payload 0 is the NaN of the built-in constants.
  static std::atomic<uint64_t> next{1};
  uint64_t payload = 0;
  while (payload == 0)
    payload = next.fetch_add(1, std::memory_order_relaxed) & 0x0007FFFFFFFFFFFFull;
  return std::bit_cast<double>(0x7FF8000000000000ull | payload);
}

bool Value::SameNaN(double a, double b) {
  return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b);
}

namespace {

// n / 10^e as the player scales a number for printing: by the powers
// 10^(2^i) of e's bits, lowest first, each one squared from the last. The
// steps round, which can show in the 15th digit (Number.MAX_VALUE prints as
// 1.79769313486231e+308).
double ScaleDown(double n, int e) {
  const bool down = e > 0;
  double b = 10;
  for (unsigned k = static_cast<unsigned>(down ? e : -e); k != 0; k >>= 1, b *= b) {
    if (k & 1) n = down ? n / b : n * b;
  }
  return n;
}

// The 15 significant digits of n > 0 and the decimal exponent of the first:
// n is scaled into [1, 10) and that double is rounded to 15 digits.
std::string Digits15(double n, int& exponent) {
  int e = static_cast<int>(std::floor(std::log10(n)));
  double v = ScaleDown(n, e);
  for (int tries = 0; tries < 4 && (v >= 10 || v < 1); ++tries) {
    e += v >= 10 ? 1 : -1;
    v = ScaleDown(n, e);
  }
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", v);  // d.dddddddddddddde+xx
  const std::string s = buf;
  const std::size_t mark = s.find('e');
  exponent = e + std::atoi(s.c_str() + mark + 1);  // +1 when v rounds up to 10
  std::string digits;
  for (std::size_t i = 0; i < mark; ++i) {
    if (s[i] != '.') digits += s[i];
  }
  return digits;
}

}  // namespace

std::string NumberToString(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n == 0) return "0";
  const bool negative = n < 0;
  int exponent = 0;
  std::string digits = Digits15(std::fabs(n), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent < -5 || exponent >= 15) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent < 0 ? "e-" : "e+";
    out += std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    const std::size_t intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits + std::string(intDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  }
  return out;
}

std::string NumberToRadix(double n, int radix) {
  if (radix == 10 || radix < 2 || radix > 36) return NumberToString(n);
  if (!std::isfinite(n)) {
    // The player's integer of NaN or an infinity is the lowest one, whose
    // negation is itself: its remainders are negative, and each digit is
    // written as '0' plus the remainder.
    int32_t v = std::numeric_limits<int32_t>::min();
    std::string out;
    do {
      out.insert(out.begin(), static_cast<char>('0' + v % radix));
      v /= radix;
    } while (v != 0);
    return "-" + out;
  }
  const int32_t v = ToInt32(n);
  if (v == 0) return "0";
  const bool negative = v < 0;
  uint64_t u =
      negative ? static_cast<uint64_t>(-static_cast<int64_t>(v)) : static_cast<uint64_t>(v);
  std::string out;
  while (u > 0) {
    out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % radix]);
    u /= radix;
  }
  return negative ? "-" + out : out;
}

namespace {
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
}  // namespace

namespace {
// Digits in base 8 or 16 from s[i..], kept modulo 2^32 as the player does;
// false when a character is not a digit of the base or there are none.
bool WrappedDigits(std::string_view s, int base, uint32_t& out) {
  if (s.empty()) return false;
  uint32_t v = 0;
  for (char c : s) {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    if (d < 0 || d >= base) return false;
    v = v * static_cast<uint32_t>(base) + static_cast<uint32_t>(d);
  }
  out = v;
  return true;
}

// The longest decimal number at the start of t (sign, digits, fraction,
// exponent); its length, or 0 when there are no digits.
std::size_t DecimalPrefix(std::string_view t) {
  std::size_t i = 0, digits = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  if (i < t.size() && t[i] == '.') {
    ++i;
    while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < t.size() && (t[j] == '+' || t[j] == '-')) ++j;
    // An exponent mark with no digits after it counts as an exponent of 0.
    while (j < t.size() && std::isdigit(static_cast<unsigned char>(t[j]))) ++j;
    i = j;
  }
  return i;
}
}  // namespace

double StringToNumber(const std::string& s, int version) {
  std::size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  const std::string_view t = std::string_view(s).substr(b);
  // SWF 4 reads the number at the start and ignores the rest, like atof.
  if (version < 5) {
    const std::size_t n = DecimalPrefix(t);
    return n ? std::strtod(std::string(t.substr(0, n)).c_str(), nullptr) : 0;
  }
  if (t.empty()) return NAN;
  if (version >= 6 && b == 0) {
    uint32_t v = 0;
    // 0x... is hex; a leading 0 with only octal digits is octal (a sign
    // may come first). Both wrap to 32 bits. Blanks before turn both off.
    if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
      std::string_view h = t.substr(2);
      const bool minus = !h.empty() && h[0] == '-';
      if (!h.empty() && (h[0] == '-' || h[0] == '+')) h.remove_prefix(1);
      if (!WrappedDigits(h, 16, v)) return NAN;
      return minus ? -static_cast<double>(static_cast<int32_t>(v)) : static_cast<int32_t>(v);
    }
    const bool sign = t[0] == '+' || t[0] == '-';
    const std::string_view o = t.substr(sign ? 1 : 0);
    if (o.size() > 1 && o[0] == '0' && WrappedDigits(o, 8, v)) {
      const double r = static_cast<int32_t>(v);
      return t[0] == '-' ? -r : r;
    }
  }
  const std::size_t n = DecimalPrefix(t);
  if (n == 0 || n != t.size()) return NAN;
  return std::strtod(std::string(t).c_str(), nullptr);
}

int ClampToInt(double n) {
  if (std::isnan(n)) return 0;
  return static_cast<int>(std::clamp(std::trunc(n), -1e9, 1e9));
}

int32_t ToInt32(double n) {
  if (!std::isfinite(n)) return 0;
  double m = std::fmod(std::trunc(n), 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return static_cast<int32_t>(static_cast<uint32_t>(m));
}

}  // namespace orrivel::swf::avm1
