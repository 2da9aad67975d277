// Global functions (parseInt, isNaN, escape, setInterval ...), Error, and
// the input objects Key, Mouse and Stage.
#include <cmath>
#include <cstdio>
#include <string_view>

#include "swf/avm1/vm.h"
#include "swf/avm1/registry.h"

namespace orrivel::swf::avm1 {

namespace {

bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A leading zero and only octal digits after it (a sign may come first):
// parseInt without a radix reads that as octal.
bool IsOctalLiteral(std::string_view s) {
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
  if (s.size() < 2 || s[0] != '0') return false;
  return s.find_first_not_of("01234567") == std::string_view::npos;
}

Completion ParseInt(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return {};
  const std::string s = vm.ToString(args[0]);
  int radix = 0;
  if (args.size() > 1) {
    const double r = vm.ToNumber(args[1]);
    if (!(r >= 2 && r < 37)) return Value::Num(NAN);
    radix = static_cast<int>(r);
  }
  std::size_t i = 0;
  // "0x" at the very start is a hex prefix, skipped whatever the radix; a
  // sign before it is dropped along with the zero.
  const auto hexAt = [&](std::size_t at) {
    return at + 1 < s.size() && s[at] == '0' && (s[at + 1] == 'x' || s[at + 1] == 'X');
  };
  if (hexAt(0)) {
    i = 2;
    if (radix == 0) radix = 16;
  } else if (!s.empty() && (s[0] == '-' || s[0] == '+') && hexAt(1)) {
    i = 2;
  } else if (radix == 0 && IsOctalLiteral(s)) {
    radix = 8;
  }
  if (radix == 0) radix = 10;
  while (i < s.size() && IsBlankChar(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  double v = 0;
  bool any = false;
  for (; i < s.size(); ++i) {
    const int c = std::tolower(static_cast<unsigned char>(s[i]));
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : 99;
    if (d >= radix) break;
    v = v * radix + d;
    any = true;
  }
  if (!any) return Value::Num(NAN);
  return Value::Num(negative ? -v : v);
}

// The player's number reader: digits with a point; a second point is passed
// over (its digits go on the fraction) and then no exponent is read; the
// exponent wraps at 32 bits.
Completion ParseFloat(Vm& vm, const CallContext&, Args args) {
  if (args.empty()) return {};
  const std::string s = vm.ToString(args[0]);
  std::size_t j = 0;
  while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
  std::string number;
  if (j < s.size() && (s[j] == '-' || s[j] == '+')) number += s[j++];
  bool digits = false;
  int dots = 0;
  while (j < s.size() && (std::isdigit(static_cast<unsigned char>(s[j])) || s[j] == '.')) {
    if (s[j] == '.') {
      if (++dots == 1) number += '.';
    } else {
      number += s[j];
      digits = true;
    }
    ++j;
  }
  if (!digits) return Value::Num(NAN);
  if (dots < 2 && j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
    std::size_t k = j + 1;
    const bool negative = k < s.size() && s[k] == '-';
    if (k < s.size() && (s[k] == '-' || s[k] == '+')) ++k;
    uint32_t exponent = 0;
    bool any = false;
    for (; k < s.size() && std::isdigit(static_cast<unsigned char>(s[k])); ++k) {
      exponent = exponent * 10 + static_cast<uint32_t>(s[k] - '0');
      any = true;
    }
    if (any) {
      const int64_t e = static_cast<int32_t>(exponent);
      number += "e" + std::to_string(negative ? -e : e);
    }
  }
  return Value::Num(std::strtod(number.c_str(), nullptr));
}

Completion IsNaN(Vm& vm, const CallContext&, Args args) {
  return Value::Bool(args.empty() || std::isnan(vm.ToNumber(args[0])));
}
Completion IsFinite(Vm& vm, const CallContext&, Args args) {
  return Value::Bool(!args.empty() && std::isfinite(vm.ToNumber(args[0])));
}

Completion Escape(Vm& vm, const CallContext&, Args args) {
  const std::string s = vm.ToString(Arg(args, 0));
  std::string out;
  for (unsigned char c : s) {
    if (std::isalnum(c)) {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return Value::Str(out);
}

// "+" is a space; "%" and two hex digits a byte. An escape that is not one
// is dropped: "%" with a character that is no hex digit, or with a digit
// and one more; one cut off at the end drops the rest.
Completion Unescape(Vm& vm, const CallContext&, Args args) {
  const std::string s = vm.ToString(Arg(args, 0));
  const auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] != '%') {
      out += s[i];
    } else if (i + 1 >= s.size()) {
      break;
    } else if (!hex(s[i + 1])) {
      ++i;
    } else if (i + 2 >= s.size()) {
      break;
    } else {
      if (hex(s[i + 2])) out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
  }
  return Value::Str(out);
}

Value AddTimer(Vm& vm, Args args, bool once) {
  Vm::Timer t;
  std::size_t i = 0;
  if (args.empty()) return {};
  if (args[0].IsObject() && args[0].object->IsFunction()) {
    t.target = args[0];
    i = 1;
  } else if (args.size() >= 2 && args[0].IsObject()) {
    t.target = args[0];
    t.method = vm.ToString(args[1]);
    i = 2;
  } else {
    return {};
  }
  // An interval left out or undefined sets nothing; null or text is 0.
  if (i >= args.size() || args[i].IsUndefined()) return {};
  t.intervalMs = vm.ToNumber(args[i]);
  if (!(t.intervalMs >= 0)) t.intervalMs = 0;
  for (std::size_t k = i + 1; k < args.size(); ++k) t.args.push_back(args[k]);
  t.dueMs = vm.timeMs + std::max(t.intervalMs, 1.0);
  t.once = once;
  t.id = vm.nextTimerId++;
  if (vm.timers.size() >= 4096) return {};
  vm.timers.push_back(std::move(t));
  return Value::Num(vm.timers.back().id);
}

Completion SetInterval(Vm& vm, const CallContext&, Args args) { return AddTimer(vm, args, false); }
Completion SetTimeout(Vm& vm, const CallContext&, Args args) { return AddTimer(vm, args, true); }

Completion ClearInterval(Vm& vm, const CallContext&, Args args) {
  const double id = vm.ToNumber(Arg(args, 0));
  std::erase_if(vm.timers, [id](const Vm::Timer& t) { return t.id == id; });
  return {};
}

Completion ErrorCtor(Vm& vm, const CallContext& call, Args args) {
  Object* const self = call.This();
  if (self && !args.empty() && !args[0].IsUndefined()) vm.Set(self, "message", args[0]);
  return {};
}

// The message as it is, even when it is not a string.
Completion ErrorToString(Vm& vm, const CallContext& call, Args) {
  Object* const self = call.This();
  return vm.Get(self, "message");
}

constexpr Member kGlobalFunctions[] = {
    Native(100, 2, Method("parseInt", ParseInt, kDontEnum | kDontDelete)),
    Native(100, 3, Method("parseFloat", ParseFloat, kDontEnum | kDontDelete)),
    Native(200, 18, Method("isNaN", IsNaN, kDontEnum | kDontDelete)),
    Native(200, 19, Method("isFinite", IsFinite, kDontEnum | kDontDelete)),
    Native(100, 0, Method("escape", Escape, kDontEnum | kDontDelete)),
    Native(100, 1, Method("unescape", Unescape, kDontEnum | kDontDelete)),
    Method("setInterval", SetInterval, kDontEnum | kDontDelete),
    Method("clearInterval", ClearInterval, kDontEnum | kDontDelete),
    Method("setTimeout", SetTimeout, kDontEnum | kDontDelete),
    Method("clearTimeout", ClearInterval, kDontEnum | kDontDelete),
};

constexpr Member kErrorProto[] = {
    ConstString("message", "Error", kDontEnum),
    ConstString("name", "Error", kDontEnum),
    Method("toString", ErrorToString),
};

}  // namespace

extern const ClassDecl kGlobalFunctionsDecl{
    .name = nullptr, .ctor = nullptr, .proto = {}, .statics = kGlobalFunctions};
extern const ClassDecl kErrorClass{
    .name = "Error", .ctor = ErrorCtor, .proto = kErrorProto, .keep = &Vm::errorProto};

}  // namespace orrivel::swf::avm1
