#include "swf/avm1/value.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orrivel::swf::avm1 {

std::string NumberToString(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n == 0) return "0";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", n);
  // buf: [-]d.dddddddddddddde[+-]xx
  std::string s = buf;
  const std::size_t e = s.find('e');
  const int exponent = std::atoi(s.c_str() + e + 1);
  std::string digits;
  const bool negative = s[0] == '-';
  for (std::size_t i = negative ? 1 : 0; i < e; ++i) {
    if (s[i] != '.') digits += s[i];
  }
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
  if (radix == 10 || radix < 2 || radix > 36 || !std::isfinite(n)) return NumberToString(n);
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

double StringToNumber(const std::string& s, int version) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  if (b == e) return version >= 5 ? NAN : 0;
  while (e > b && IsBlank(s[e - 1])) --e;
  const std::string t = s.substr(b, e - b);
  if (version >= 6 && t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    char* end = nullptr;
    const long long v = std::strtoll(t.c_str() + 2, &end, 16);
    if (*end != '\0') return NAN;
    return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(v)));
  }
  // Only plain decimal forms: no hex floats, "inf" or "nan" words.
  for (char c : t) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == 'E' ||
          c == '+' || c == '-'))
      return version >= 5 ? NAN : 0;
  }
  char* end = nullptr;
  const double v = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size() || end == t.c_str()) return version >= 5 ? NAN : 0;
  return v;
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
