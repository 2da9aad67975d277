#include "swf/avm1/text_units.h"

#include <cstdint>
#include <vector>

#include "base/utf8.h"

namespace orrivel::swf::avm1 {

namespace {

// The code point of the sequence at s[i], or the byte itself when no valid
// sequence starts there; `used` gets its length.
uint32_t DecodeAt(std::string_view s, std::size_t i, std::size_t& used) {
  const auto b = static_cast<uint8_t>(s[i]);
  used = 1;
  if (b < 0x80) return b;
  const int extra = b >= 0xF8 ? -1 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 ? 1 : -1;
  if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size()) return b;
  uint32_t c = extra == 3 ? b & 0x07 : extra == 2 ? b & 0x0F : b & 0x1F;
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<uint8_t>(s[i + static_cast<std::size_t>(k)]);
    if ((next & 0xC0) != 0x80) return b;
    c = (c << 6) | (next & 0x3F);
  }
  const uint32_t least = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
  if (c < least || c > 0x10FFFF) return b;  // overlong or out of range
  used = static_cast<std::size_t>(extra) + 1;
  return c;
}

void AppendUnits(std::u16string& out, uint32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
  }
}

std::vector<uint32_t> CodePoints(std::string_view s) {
  const std::u16string u = ToUnits(s);
  std::vector<uint32_t> out;
  out.reserve(u.size());
  for (std::size_t i = 0; i < u.size(); ++i) {
    const uint32_t c = u[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
      out.push_back(0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00u));
      ++i;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::u16string ToUnits(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    std::size_t used = 1;
    AppendUnits(out, DecodeAt(s, i, used));
    i += used;
  }
  return out;
}

std::size_t UnitCount(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<uint8_t>(s[i]) < 0x80) {  // the common case, one byte each
      ++n;
      ++i;
      continue;
    }
    std::size_t used = 1;
    n += DecodeAt(s, i, used) >= 0x10000 ? 2 : 1;
    i += used;
  }
  return n;
}

std::string FromUnits(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const uint32_t c = units[i];
    const bool pair = c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                      units[i + 1] < 0xE000;
    if (pair) {
      AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
      ++i;
    } else {
      // Text is held as UTF-8, which cannot hold half a pair: the player
      // keeps the replacement character in its place.
      AppendUtf8(out, c >= 0xD800 && c < 0xE000 ? 0xFFFD : c);
    }
  }
  return out;
}

int CompareCodePoints(std::string_view a, std::string_view b) {
  const auto ascii = [](std::string_view s) {
    for (char c : s) {
      if (static_cast<uint8_t>(c) >= 0x80) return false;
    }
    return true;
  };
  if (ascii(a) && ascii(b)) return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
  const std::vector<uint32_t> x = CodePoints(a), y = CodePoints(b);
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return x.size() == y.size() ? 0 : x.size() < y.size() ? -1 : 1;
}

}  // namespace orrivel::swf::avm1
